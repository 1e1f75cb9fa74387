#!/usr/bin/env python3
"""Writes a synthetic OpenStreetMap region for benchmarks: SIZE x SIZE km of
countryside crossed by secondary roads every 2 km and a motorway, with a
town of streets, house numbers and POIs every 10 km.

Usage: make_region.py OUT.osm [SIZE_KM]   (default 100; the same on every run)
"""
import math
import sys

LAT0 = 31.0
LON0 = -24.0
M_PER_DEG_LAT = 111320.0
M_PER_DEG_LON = 111320.0 * math.cos(math.radians(LAT0))


def main():
    if len(sys.argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    size = float(sys.argv[2]) * 1000 if len(sys.argv) == 3 else 100000.0
    out = open(sys.argv[1], "w", encoding="utf-8")
    nodes = {}
    node_lines = []
    way_lines = []
    next_id = [1]

    def node(x, y, tags=None):
        key = (round(x, 1), round(y, 1))
        if not tags and key in nodes:
            return nodes[key]
        nid = next_id[0]
        next_id[0] += 1
        lat = LAT0 + (y - size / 2) / M_PER_DEG_LAT
        lon = LON0 + (x - size / 2) / M_PER_DEG_LON
        if tags:
            node_lines.append('  <node id="%d" version="1" lat="%.7f" lon="%.7f">' % (nid, lat, lon))
            for k in sorted(tags):
                node_lines.append('    <tag k="%s" v="%s"/>' % (k, tags[k]))
            node_lines.append('  </node>')
        else:
            nodes[key] = nid
            node_lines.append('  <node id="%d" version="1" lat="%.7f" lon="%.7f"/>' % (nid, lat, lon))
        return nid

    wid = [1]

    def way(refs, tags):
        way_lines.append('  <way id="%d" version="1">' % wid[0])
        wid[0] += 1
        for r in refs:
            way_lines.append('    <nd ref="%d"/>' % r)
        for k in sorted(tags):
            way_lines.append('    <tag k="%s" v="%s"/>' % (k, tags[k]))
        way_lines.append('  </way>')

    step = 250.0
    count = int(size / step)
    # Country roads every 2 km, both directions, a node every 250 m.
    for i in range(0, count + 1, 8):
        c = i * step
        way([node(k * step, c) for k in range(count + 1)],
            {"highway": "secondary", "name": "East Road %d" % (i // 8), "ref": "B%d" % (i // 8), "maxspeed": "80"})
        way([node(c, k * step) for k in range(count + 1)],
            {"highway": "secondary", "name": "North Road %d" % (i // 8), "maxspeed": "80"})
    # A motorway along the middle, joined to every north road it crosses.
    mid = size / 2 + 1000
    way([node(k * step, mid) for k in range(count + 1)],
        {"highway": "motorway", "ref": "A1", "oneway": "no", "maxspeed": "120"})
    # Towns: a 2 km square of 100 m blocks every 10 km.
    town = 0
    for tx in range(5000, int(size), 10000):
        for ty in range(5000, int(size), 10000):
            town += 1
            name = "Town %d" % town
            node(tx, ty, {"place": "town", "name": name})
            for j in range(21):
                y = ty - 1000 + j * 100
                street = "%s Street %d" % (name, j)
                way([node(tx - 1000 + k * 100, y) for k in range(21)],
                    {"highway": "residential", "name": street})
                for k in range(0, 20, 4):
                    node(tx - 1000 + k * 100 + 50, y + 12,
                         {"addr:housenumber": str(k + 1), "addr:street": street})
            for k in range(21):
                x = tx - 1000 + k * 100
                way([node(x, ty - 1000 + j * 100) for j in range(21)],
                    {"highway": "residential", "name": "%s Avenue %d" % (name, k)})
            # The town's south edge lies on a country road and shares its nodes.
            node(tx + 30, ty + 30, {"amenity": "fuel", "name": "%s Fuel" % name})
    out.write('<?xml version="1.0" encoding="UTF-8"?>\n<osm version="0.6" generator="make_region.py">\n')
    out.write("\n".join(node_lines) + "\n")
    out.write("\n".join(way_lines) + "\n")
    out.write("</osm>\n")
    out.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
