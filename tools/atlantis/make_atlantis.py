#!/usr/bin/env python3
"""Writes the OpenStreetMap XML of the demo map "Atlantis".

Atlantis is a fictional town in the Atlantic: a grid of streets inside a ring
road, four boulevards from a central roundabout, one-way streets, a river with
bridges, parks, house numbers and points of interest; the village Westfield
west of it; the motorway A1 south of it with exits and destination signs; and
the town Nova Thera in a second county to the east.

Usage: make_atlantis.py OUT.osm   (the output is the same on every run)
"""
import math
import sys

LAT0 = 31.0
LON0 = -24.0
M_PER_DEG_LAT = 111320.0
M_PER_DEG_LON = 111320.0 * math.cos(math.radians(LAT0))


class Osm:
    def __init__(self):
        self.nodes = []  # (id, x, y, tags)
        self.ways = []  # (id, refs, tags)
        self.relations = []  # (id, members, tags)
        self.by_pos = {}
        self.next_node = 1
        self.next_way = 1
        self.next_rel = 1

    def node(self, x, y, tags=None, share=True):
        """A node at x, y metres from the centre; shared by position."""
        key = (round(x, 2), round(y, 2))
        if share and not tags and key in self.by_pos:
            return self.by_pos[key]
        nid = self.next_node
        self.next_node += 1
        self.nodes.append((nid, x, y, dict(tags or {})))
        if share and not tags:
            self.by_pos[key] = nid
        return nid

    def way(self, refs, tags):
        wid = self.next_way
        self.next_way += 1
        self.ways.append((wid, list(refs), dict(tags)))
        return wid

    def relation(self, members, tags):
        rid = self.next_rel
        self.next_rel += 1
        self.relations.append((rid, members, dict(tags)))
        return rid

    def write(self, path):
        def esc(s):
            return (str(s).replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
                    .replace('"', "&quot;"))

        def tags_xml(tags, out):
            for k in sorted(tags):
                out.append('    <tag k="%s" v="%s"/>' % (esc(k), esc(tags[k])))

        out = ['<?xml version="1.0" encoding="UTF-8"?>',
               '<osm version="0.6" generator="make_atlantis.py">']
        lats = [LAT0 + y / M_PER_DEG_LAT for _, _, y, _ in self.nodes]
        lons = [LON0 + x / M_PER_DEG_LON for _, x, _, _ in self.nodes]
        out.append('  <bounds minlat="%.7f" minlon="%.7f" maxlat="%.7f" maxlon="%.7f"/>'
                   % (min(lats), min(lons), max(lats), max(lons)))
        for nid, x, y, tags in self.nodes:
            lat = LAT0 + y / M_PER_DEG_LAT
            lon = LON0 + x / M_PER_DEG_LON
            if tags:
                out.append('  <node id="%d" version="1" lat="%.7f" lon="%.7f">' % (nid, lat, lon))
                tags_xml(tags, out)
                out.append('  </node>')
            else:
                out.append('  <node id="%d" version="1" lat="%.7f" lon="%.7f"/>' % (nid, lat, lon))
        for wid, refs, tags in self.ways:
            out.append('  <way id="%d" version="1">' % wid)
            for r in refs:
                out.append('    <nd ref="%d"/>' % r)
            tags_xml(tags, out)
            out.append('  </way>')
        for rid, members, tags in self.relations:
            out.append('  <relation id="%d" version="1">' % rid)
            for kind, ref, role in members:
                out.append('    <member type="%s" ref="%d" role="%s"/>' % (kind, ref, role))
            tags_xml(tags, out)
            out.append('  </relation>')
        out.append('</osm>')
        with open(path, "w", encoding="utf-8") as f:
            f.write("\n".join(out) + "\n")


RING_R = 900.0
GRID = [-525.0, -375.0, -225.0, -75.0, 75.0, 225.0, 375.0, 525.0]
AVENUES = ["Harbour Avenue", "Temple Avenue", "Trident Avenue", "Pearl Avenue",
           "Coral Avenue", "Dolphin Avenue", "Lagoon Avenue", "Sunrise Avenue"]
STREETS = ["Marble Street", "Olive Street", "Cypress Street", "Bronze Street",
           "Amber Street", "Laurel Street", "Mosaic Street", "Orchard Street"]
RIVER_X = 640.0


def ring_point(x, y):
    """The ring road point in the direction of x, y."""
    a = math.atan2(y, x)
    return RING_R * math.cos(a), RING_R * math.sin(a)


def add_houses(osm, street, points, city, postcode, even_side=True):
    """House numbers along a street: odd on the left, even on the right."""
    first_odd, first_even = 1, 2
    odd, even = first_odd, first_even
    for (ax, ay), (bx, by) in zip(points, points[1:]):
        dx, dy = bx - ax, by - ay
        length = math.hypot(dx, dy)
        if length < 60:
            continue
        nx, ny = -dy / length * 14, dx / length * 14
        for t in (0.3, 0.7):
            px, py = ax + dx * t, ay + dy * t
            for side, number in ((1, odd), (-1, even)):
                if side < 0 and not even_side:
                    continue
                osm.node(px + side * nx, py + side * ny,
                         {"addr:housenumber": str(number), "addr:street": street, "addr:city": city,
                          "addr:postcode": postcode})
            odd += 2
            even += 2


def build():
    osm = Osm()

    # Places.
    osm.node(0, 60, {"place": "town", "name": "Atlantis", "is_in:county": "Poseidonia",
                     "is_in:country": "Atlantis", "population": "24000"})
    osm.node(-300, 300, {"place": "suburb", "name": "Temple Hill"})
    osm.node(300, -300, {"place": "suburb", "name": "Old Harbour"})
    osm.node(-2500, 60, {"place": "village", "name": "Westfield", "is_in:county": "Poseidonia",
                         "is_in:country": "Atlantis"})
    osm.node(3000, -300, {"place": "town", "name": "Nova Thera", "is_in:county": "Eastmarch",
                          "is_in:country": "Atlantis", "population": "9000"})

    # Central roundabout with four boulevards out to the ring.
    rb = [osm.node(40 * math.cos(math.radians(a)), 40 * math.sin(math.radians(a))) for a in range(0, 360, 45)]
    osm.way(rb + [rb[0]], {"highway": "primary", "junction": "roundabout", "name": "Poseidon Circle"})

    # Ring road: a node wherever a street meets it, and every 10 degrees.
    ends = []
    for g in GRID:
        h = math.sqrt(RING_R ** 2 - g ** 2)
        ends += [(g, h), (g, -h), (h, g), (-h, g)]
    for a in (45, 135, 225, 315):
        ends.append((RING_R * math.cos(math.radians(a)), RING_R * math.sin(math.radians(a))))
    ends += [(-RING_R, 0.0), (0.0, -RING_R), (RING_R, 0.0)]
    for a in range(0, 360, 10):
        ends.append((RING_R * math.cos(math.radians(a)), RING_R * math.sin(math.radians(a))))
    angles = sorted({round(math.atan2(y, x), 6): (x, y) for x, y in ends}.items())
    ring = [osm.node(x, y) for _, (x, y) in angles]
    osm.way(ring + [ring[0]], {"highway": "primary", "name": "Ring Road", "ref": "R1", "maxspeed": "60"})

    # The river runs north to south east of the grid, under the ring and the avenues.
    osm.way([osm.node(RIVER_X + 30 * math.sin(y / 400.0), y, share=False) for y in range(1800, -1801, -150)],
            {"waterway": "river", "name": "Azure River"})
    bank = ([(RIVER_X - 18 + 30 * math.sin(y / 400.0), y) for y in range(1800, -1801, -150)]
            + [(RIVER_X + 18 + 30 * math.sin(y / 400.0), y) for y in range(-1800, 1801, 150)])
    refs = [osm.node(x, y, share=False) for x, y in bank]
    osm.way(refs + [refs[0]], {"natural": "water", "water": "river"})

    # Grid avenues (west to east) and streets (south to north), each from ring to ring.
    avenue_ways = {}
    street_ways = {}
    for j, y in enumerate(GRID):
        h = math.sqrt(RING_R ** 2 - y ** 2)
        xs = [-h] + GRID + [h]
        pts = [(x, y) for x in xs]
        tags = {"highway": "tertiary" if j in (1, 3) else "residential", "name": AVENUES[j]}
        if j in (1, 3):
            tags["maxspeed"] = "50"
        if AVENUES[j] == "Dolphin Avenue":
            tags["oneway"] = "yes"
        if AVENUES[j] == "Harbour Avenue":
            # Split at Amber Street for the turn restriction there.
            cut = xs.index(75.0)
            avenue_ways["west"] = osm.way([osm.node(x, y) for x, y in pts[:cut + 1]], tags)
            avenue_ways["east"] = osm.way([osm.node(x, y) for x, y in pts[cut:]], tags)
        else:
            refs = [osm.node(x, y) for x, y in pts]
            osm.way(refs, tags)
        add_houses(osm, AVENUES[j], pts[1:-1], "Atlantis", "10%02d" % j)
    for i, x in enumerate(GRID):
        h = math.sqrt(RING_R ** 2 - x ** 2)
        ys = [-h] + GRID + [h]
        pts = [(x, y) for y in ys]
        tags = {"highway": "residential", "name": STREETS[i]}
        if STREETS[i] == "Olive Street":
            tags["oneway"] = "yes"
        if STREETS[i] == "Bronze Street":
            tags["oneway"] = "-1"
        if STREETS[i] == "Amber Street":
            cut = ys.index(-525.0)
            street_ways["south"] = osm.way([osm.node(x, y) for x, y in pts[:cut + 1]], tags)
            street_ways["north"] = osm.way([osm.node(x, y) for x, y in pts[cut:]], tags)
        else:
            osm.way([osm.node(x, y) for x, y in pts], tags)
        if STREETS[i] == "Orchard Street":
            # Even numbers by interpolation between two address nodes.
            a = osm.node(x + 14, -500, {"addr:housenumber": "2", "addr:street": STREETS[i],
                                        "addr:city": "Atlantis", "addr:postcode": "1020"})
            b = osm.node(x + 14, 500, {"addr:housenumber": "40", "addr:street": STREETS[i],
                                       "addr:city": "Atlantis", "addr:postcode": "1020"})
            osm.way([a, b], {"addr:interpolation": "even", "addr:street": STREETS[i]})
            add_houses(osm, STREETS[i], pts[1:-1], "Atlantis", "1020", even_side=False)
        else:
            add_houses(osm, STREETS[i], pts[1:-1], "Atlantis", "11%02d" % i)

    # No left turn from Harbour Avenue (eastbound) into Amber Street (north).
    via = osm.node(75.0, -525.0)
    osm.relation([("way", avenue_ways["west"], "from"), ("node", via, "via"), ("way", street_ways["north"], "to")],
                 {"type": "restriction", "restriction": "no_left_turn"})

    # Boulevards: roundabout -> grid corners on the diagonals -> ring.
    names = {45: "North-East Boulevard", 135: "North-West Boulevard", 225: "South-West Boulevard",
             315: "South-East Boulevard"}
    for a, name in names.items():
        sx, sy = math.copysign(1, math.cos(math.radians(a))), math.copysign(1, math.sin(math.radians(a)))
        refs = [rb[a // 45]] + [osm.node(sx * g, sy * g) for g in GRID if g > 0]
        refs.append(osm.node(*ring_point(sx, sy)))
        osm.way(refs, {"highway": "secondary", "name": name, "maxspeed": "50"})

    # Parks.
    for name, (x0, y0, x1, y1) in {"Temple Park": (-365, 235, -235, 365),
                                   "Harbour Gardens": (235, -365, 365, -235),
                                   "Riverside Park": (540, 100, 625, 500)}.items():
        refs = [osm.node(x, y, share=False) for x, y in ((x0, y0), (x1, y0), (x1, y1), (x0, y1))]
        osm.way(refs + [refs[0]], {"leisure": "park", "name": name})

    # Westfield: a road west from the ring, a few streets.
    west_end = osm.node(-2500, 0)
    wf = [osm.node(-RING_R, 0.0)] + [osm.node(x, 0) for x in (-1200, -1600, -2000)] + [west_end]
    osm.way(wf, {"highway": "secondary", "name": "Westfield Road", "ref": "B12", "maxspeed": "80"})
    osm.way([osm.node(-2500, -300), west_end, osm.node(-2500, 300)],
            {"highway": "residential", "name": "Mill Lane"})
    add_houses(osm, "Mill Lane", [(-2500, -300), (-2500, 0), (-2500, 300)], "Westfield", "2000")

    # Nova Thera: a small grid around (3000, -300).
    nt = [-225.0, -75.0, 75.0, 225.0]
    nt_avenues = ["Vine Street", "Harvest Street", "Market Street", "Lighthouse Street"]
    nt_roads = ["Quay Road", "Mill Road", "Chapel Road", "Fountain Road"]
    for j, y in enumerate(nt):
        pts = [(3000 + x, -300 + y) for x in nt]
        osm.way([osm.node(*p) for p in pts], {"highway": "residential", "name": nt_avenues[j]})
        add_houses(osm, nt_avenues[j], pts, "Nova Thera", "3000")
    for i, x in enumerate(nt):
        pts = [(3000 + x, -300 + y) for y in nt]
        osm.way([osm.node(*p) for p in pts], {"highway": "residential", "name": nt_roads[i]})
        add_houses(osm, nt_roads[i], pts, "Nova Thera", "3001")
    # East Road: from the ring east point to Nova Thera's west side.
    osm.way([osm.node(RING_R, 0.0), osm.node(1500, -100), osm.node(2200, -225), osm.node(3000 - 225, -300 - 75)],
            {"highway": "secondary", "name": "East Road", "ref": "B14", "maxspeed": "70"})

    # Motorway A1: two carriageways south of town.
    ys_e, ys_w = -1300.0, -1330.0
    xs = [-3600, -2500, -2300, -200, 0, 200, 2800, 3000, 4000]
    east = [osm.node(x, ys_e) for x in xs]
    west = [osm.node(x, ys_w) for x in reversed(xs)]
    osm.way(east, {"highway": "motorway", "ref": "A1", "name": "Atlantic Motorway", "oneway": "yes",
                   "maxspeed": "120"})
    osm.way(west, {"highway": "motorway", "ref": "A1", "name": "Atlantic Motorway", "oneway": "yes",
                   "maxspeed": "120"})
    for nid_x, ref, name in ((-2500, "1", "Westfield"), (-200, "2", "Atlantis"), (2800, "3", "Nova Thera")):
        osm.node(nid_x, ys_e - 8, {"highway": "motorway_junction", "ref": ref, "name": name}, share=False)

    def link(points, tags):
        osm.way([osm.node(*p) for p in points], dict({"highway": "motorway_link", "oneway": "yes"}, **tags))

    south = (0.0, -RING_R)
    # Atlantis: exits from both carriageways to the ring's south point, ramps back.
    link([(-200, ys_e), (-100, -1150), south], {"destination": "Atlantis Centre;Old Harbour",
                                                "destination:ref": "R1"})
    link([south, (100, -1150), (200, ys_e)], {"destination": "Nova Thera", "destination:ref": "A1"})
    link([(200, ys_w), (60, -1180), south], {"destination": "Atlantis Centre", "destination:ref": "R1"})
    link([south, (-60, -1180), (-200, ys_w)], {"destination": "Westfield", "destination:ref": "A1"})
    # Westfield.
    link([(-2500, ys_e), (-2500, -700), (-2500, -300)], {"destination": "Westfield", "destination:ref": "B12"})
    link([(-2500, -300), (-2450, -700), (-2300, ys_e)], {"destination": "Nova Thera", "destination:ref": "A1"})
    link([(-2300, ys_w), (-2420, -900), (-2500, -300)], {"destination": "Westfield"})
    # Nova Thera.
    link([(2800, ys_e), (2780, -900), (3000 - 225, -300 - 225)], {"destination": "Nova Thera",
                                                                   "destination:ref": "B14"})
    link([(3000 - 225, -300 - 225), (2850, -900), (3000, ys_w)], {"destination": "Atlantis;Westfield",
                                                                   "destination:ref": "A1"})

    # Points of interest.
    pois = [
        (-60, 120, {"amenity": "townhall", "name": "Atlantis Town Hall"}),
        (150, -450, {"amenity": "fuel", "name": "Poseidon Fuel", "brand": "Poseidon"}),
        (-450, 150, {"amenity": "hospital", "name": "St. Nereus Hospital"}),
        (300, 150, {"amenity": "restaurant", "name": "The Golden Trident", "cuisine": "seafood"}),
        (-150, -150, {"amenity": "cafe", "name": "Coral Cafe"}),
        (450, 300, {"tourism": "hotel", "name": "Hotel Oceanus"}),
        (-300, -450, {"shop": "supermarket", "name": "Tidal Market"}),
        (150, 450, {"amenity": "school", "name": "Plato School"}),
        (-320, 300, {"tourism": "museum", "name": "Museum of the Deep"}),
        (450, -150, {"amenity": "parking", "name": "Harbour Parking"}),
        (-2450, 60, {"amenity": "fuel", "name": "Westfield Fuel"}),
        (3050, -250, {"amenity": "restaurant", "name": "Lighthouse Grill"}),
        (2950, -380, {"tourism": "hotel", "name": "Nova Inn"}),
        (3100, -150, {"amenity": "pharmacy", "name": "Thera Pharmacy"}),
    ]
    for x, y, tags in pois:
        osm.node(x, y, tags, share=False)
    return osm


def main():
    if len(sys.argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    build().write(sys.argv[1])
    return 0


if __name__ == "__main__":
    sys.exit(main())
