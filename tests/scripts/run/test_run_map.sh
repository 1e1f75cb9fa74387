#!/bin/sh
# `make run MAP=FILE.osm` through the script it calls: a small town of its
# own (a grid of streets in a residential area, none of them in the demo
# map) is compiled, installed on the run's card as the active map, and the
# navigator drives on it for RUN_SECONDS under a private Xvfb. Then: the
# card holds the compiled map untouched, the track lies on that map's
# roads, the run ended with status 0 and the screenshots show the map.
set -u
build=$1
src=$2
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
check() {
    if ! eval "$2"; then
        echo "FAIL: $1"
        failures=$((failures + 1))
    fi
}

# Streets every 200 m, 5 x 5, around 48.1 N 11.5 E (far from the demo map).
python3 - "$tmp/smalltown.osm" <<'PY'
import sys
lat0, lon0, step_lat, step_lon = 48.1, 11.5, 0.0018, 0.0027
out = ['<?xml version="1.0" encoding="UTF-8"?>', '<osm version="0.6">']
ids = {}
for i in range(5):
    for j in range(5):
        ids[i, j] = 1 + i * 5 + j
        out.append('  <node id="%d" lat="%.7f" lon="%.7f"/>' % (ids[i, j], lat0 + i * step_lat, lon0 + j * step_lon))
corners = [(0, 0), (0, 4), (4, 4), (4, 0), (0, 0)]
out.append('  <way id="100">' + "".join('<nd ref="%d"/>' % ids[c] for c in corners) +
           '<tag k="landuse" v="residential"/></way>')
way = 200
for i in range(5):
    for name, refs in (("Row %d" % i, [ids[i, j] for j in range(5)]), ("Column %d" % i, [ids[j, i] for j in range(5)])):
        out.append('  <way id="%d">' % way + "".join('<nd ref="%d"/>' % r for r in refs) +
                   '<tag k="highway" v="residential"/><tag k="name" v="%s"/></way>' % name)
        way += 1
out.append('</osm>')
open(sys.argv[1], "w").write("\n".join(out) + "\n")
PY

run=$tmp/run
status=0
env -u DISPLAY MAP="$tmp/smalltown.osm" RUN_SECONDS=12 RUN_DIR="$run" KESTROVA_DRIVE_DESTINATION= \
    "$src/scripts/run-navigator" "$build" >"$tmp/run.log" 2>&1 || status=$?
check "the run ended with status 0 (was $status)" "[ $status -eq 0 ]"
compiled=$run/maps/smalltown
card=$run/root/media/mmc2/map
check "the OSM file was compiled" "[ -s '$compiled/graph.bin' ]"
for f in graph.bin roads.qt mapdata.ini addr.dat; do
    check "the card's active map holds the compiled $f" "cmp -s '$compiled/$f' '$card/mapdata/$f'"
done
check "start-up added the rest of the card" "[ -s '$card/kestrova/maemo.reg' ]"
check "no demo map was put in its place" "[ ! -e '$card/mapdata_Atlantis' ]"
# The track runs inside the town, out and back.
check "the drive track lies on the town's streets" "awk -F, '\$2 < 48.0995 || \$2 > 48.1077 || \$3 < 11.4995 || \$3 > 11.5113 { bad = 1 } END { exit bad || NR < 3 }' '$run/track.csv'"
check "the track comes back to its start" "[ \"\$(head -1 '$run/track.csv' | cut -d, -f2,3)\" = \"\$(tail -1 '$run/track.csv' | cut -d, -f2,3)\" ]"
shots=$(ls "$run/screenshots"/*.png 2>/dev/null | wc -l)
check "screenshots were taken ($shots)" "[ $shots -ge 2 ]"
# The last one shows a drawn map: the light land colour over much of it,
# and darker street lines on it.
last=$(ls "$run/screenshots"/*.png 2>/dev/null | tail -1)
check "the last screenshot shows the map" "python3 '$here/shows_map.py' '$last'"
# A second run reuses the compiled map.
before=$(stat -c %Y "$compiled/graph.bin")
env -u DISPLAY MAP="$tmp/smalltown.osm" RUN_SECONDS=1 RUN_DIR="$run" "$src/scripts/run-navigator" "$build" \
    >"$tmp/run2.log" 2>&1
check "the compiled map is reused" "[ $before -eq \$(stat -c %Y '$compiled/graph.bin') ] && ! grep -q compiling '$tmp/run2.log'"
# A folder that is no map is refused before anything is touched.
mkdir "$tmp/notamap"
env -u DISPLAY MAP="$tmp/notamap" RUN_DIR="$run" "$src/scripts/run-navigator" "$build" >"$tmp/run3.log" 2>&1
code=$?
check "a folder without a map is refused (status $code)" "[ $code -eq 2 ] && grep -q 'not a compiled map folder' '$tmp/run3.log'"
check "the refused run left the last one as it was" "[ -s '$card/mapdata/graph.bin' ] && [ -s '$run/track.csv' ]"
if [ $failures -ne 0 ]; then
    echo "--- run output"
    cat "$tmp/run.log"
    exit 1
fi
echo "make run MAP= on a compiled OSM file: ok"
