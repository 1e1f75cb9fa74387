#!/bin/sh
# Installs the build into a DESTDIR of its own and checks the layout a
# package gives; then starts the installed launcher with that folder as the
# root (an empty memory card in /media/mmc2, a private Xvfb): start-up
# finds the program and its shipped files and prepares the card from them.
set -u
build=$1
dest=$(mktemp -d)
xvfb=""
launcher=""
cleanup() {
    [ -n "$launcher" ] && kill -KILL "$launcher" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$dest"
}
trap cleanup EXIT
failures=0
check() {
    if ! eval "$2"; then
        echo "FAIL: $1"
        failures=$((failures + 1))
    fi
}

DESTDIR="$dest" cmake --install "$build" >"$dest.log" 2>&1 || { cat "$dest.log"; rm -f "$dest.log"; exit 1; }
rm -f "$dest.log"

for p in usr/libexec/kestrova-navigator usr/libexec/kestrova-gpsd-helper usr/bin/launcher \
    usr/bin/serial-nmea-helper; do
    check "$p is an installed program" "[ -f '$dest/$p' ] && [ -x '$dest/$p' ]"
done
share=$dest/usr/share/kestrova
for f in settings.txt penaltymap_DEFAULT.txt poi.reg version.txt atlantis/graph.bin atlantis/maemo.reg \
    atlantis/mapdata.ini images/splash.png images/grip.png images/map.mbm images/map_bitmaps.def \
    sounds/english/dest.ogg; do
    check "shipped $f" "[ -s '$share/$f' ]"
done
check "legal texts" "ls '$share'/legal/*.txt >/dev/null 2>&1"
check "fonts" "ls '$share'/fonts/* >/dev/null 2>&1"
check "message catalogue" "[ -s '$dest/usr/share/locale/en/LC_MESSAGES/kestrova.mo' ]"
# Every file installed lies below /usr and went below DESTDIR; nothing of
# the build's own staging came along.
manifest=$build/install_manifest.txt
missing=0
while read -r f; do
    [ -f "$dest$f" ] || missing=$((missing + 1))
done <"$manifest"
check "the install manifest lists files below /usr" "[ -s '$manifest' ] && ! grep -v '^/usr/' '$manifest'"
check "every installed file is below DESTDIR ($missing missing)" "[ $missing -eq 0 ]"
check "no build-only files" "[ ! -e '$dest/usr/share/kojvm-rt.jar' ] && [ ! -e '$dest/kojvm-rt.jar' ]"

# The installed program starts from there.
mkdir -p "$dest/media/mmc2" "$dest/home/user"
Xvfb -displayfd 9 -screen 0 800x480x24 -nolisten tcp -noreset 9>"$dest/display" >/dev/null 2>&1 &
xvfb=$!
i=0
while [ ! -s "$dest/display" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
DISPLAY=":$(head -1 "$dest/display")" KESTROVA_ROOT="$dest" HOME=/home/user ASAN_OPTIONS=detect_leaks=0 \
    "$dest/usr/bin/launcher" >"$dest/navigator.log" 2>&1 &
launcher=$!
card=$dest/media/mmc2/map
i=0
while [ $i -lt 600 ] && ! { [ -s "$card/kestrova/maemo.reg" ] && [ -s "$card/mapdata/graph.bin" ]; }; do
    kill -0 "$launcher" 2>/dev/null || break
    sleep 0.1
    i=$((i + 1))
done
sleep 2
check "the launcher started the installed navigator" "kill -0 $launcher 2>/dev/null"
check "start-up put the demo map on the card" "cmp -s '$card/mapdata/graph.bin' '$share/atlantis/graph.bin'"
check "start-up put the shipped files on the card" "[ -s '$card/kestrova/maemo.reg' ] && ls '$card'/kestrova/legal/*.txt >/dev/null 2>&1"
# (the navigator saves them once it has chosen the voice set: every other
# installed line is kept)
check "the user's settings came from the installed default" "[ -s '$dest/home/user/.kestrova/settings.txt' ] && ! grep -Fxv -f '$dest/home/user/.kestrova/settings.txt' '$share/settings.txt' | grep -v '^soundset=' | grep -q ."
kill -TERM "$launcher" 2>/dev/null
status=0
wait "$launcher" || status=$?
launcher=""
check "SIGTERM ends it with status 0 (was $status)" "[ $status -eq 0 ]"
if [ $failures -ne 0 ]; then
    echo "--- navigator output"
    cat "$dest/navigator.log"
    exit 1
fi
echo "installed layout and start-up from it: ok"
