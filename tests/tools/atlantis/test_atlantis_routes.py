#!/usr/bin/env python3
"""Atlantis: the generator reproduces the committed OSM file, and the lengths
of kestrova-probe routes between ten pairs of addresses equal those of a
shortest-path search made here directly over the OSM ways.

The reference uses the route search's costs of mode 3: every metre costs the
same, except on motorways with a speed of 110 km/h or more (four times) and
on slip roads (1.1 times); one-ways and turn restrictions are kept.

Usage: test_atlantis_routes.py MAKE_ATLANTIS ATLANTIS_OSM MAPDIR PROBE
"""
import heapq
import math
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

CAR_ROADS = {"motorway", "motorway_link", "trunk", "trunk_link", "primary", "primary_link", "secondary",
             "secondary_link", "tertiary", "tertiary_link", "unclassified", "residential", "living_street",
             "service", "road"}

# WGS84: metres per degree at a latitude.
A = 6378137.0
E2 = 0.00669437999014


def metres_per_degree(lat):
    s = math.sin(math.radians(lat))
    w = 1 - E2 * s * s
    m = A * (1 - E2) / w ** 1.5
    n = A / math.sqrt(w)
    return math.radians(1) * n * math.cos(math.radians(lat)), math.radians(1) * m


class Map:
    def __init__(self, path):
        root = ET.parse(path).getroot()
        self.nodes = {}
        self.tags = {}
        for n in root.iter("node"):
            nid = int(n.get("id"))
            self.nodes[nid] = (float(n.get("lon")), float(n.get("lat")))
            self.tags[nid] = {t.get("k"): t.get("v") for t in n.iter("tag")}
        lon0 = sum(p[0] for p in self.nodes.values()) / len(self.nodes)
        lat0 = sum(p[1] for p in self.nodes.values()) / len(self.nodes)
        self.kx, self.ky = metres_per_degree(lat0)
        self.lon0, self.lat0 = lon0, lat0
        # Directed arcs: node -> [(node, metres, weight factor, way id)].
        self.arcs = {}
        self.segments = []  # (a, b, forward allowed, backward allowed, factor)
        self.way_nodes = {}
        for w in root.iter("way"):
            tags = {t.get("k"): t.get("v") for t in w.iter("tag")}
            hw = tags.get("highway")
            if hw not in CAR_ROADS or tags.get("access") in ("no", "private"):
                continue
            refs = [int(nd.get("ref")) for nd in w.iter("nd")]
            wid = int(w.get("id"))
            self.way_nodes[wid] = refs
            oneway = tags.get("oneway")
            fwd, back = True, True
            if oneway in ("yes", "1", "true") or (oneway is None and (hw == "motorway" or
                                                                      tags.get("junction") == "roundabout")):
                back = False
            elif oneway == "-1":
                fwd = False
            speed = int(tags.get("maxspeed", "0").split()[0] or 0)
            if hw == "motorway" and (speed or 120) >= 110:
                factor = 4.0
            elif hw in ("motorway_link", "trunk_link"):
                factor = 1.1
            else:
                factor = 1.0
            for a, b in zip(refs, refs[1:]):
                d = self.dist(a, b)
                if fwd:
                    self.arcs.setdefault(a, []).append((b, d, factor, wid))
                if back:
                    self.arcs.setdefault(b, []).append((a, d, factor, wid))
                self.segments.append((a, b, fwd, back, factor, wid))
        # Forbidden turns: (from node, via node, to node).
        self.forbidden = set()
        for r in root.iter("relation"):
            tags = {t.get("k"): t.get("v") for t in r.iter("tag")}
            if tags.get("type") != "restriction":
                continue
            members = {m.get("role"): int(m.get("ref")) for m in r.iter("member")}
            via = members["via"]
            before = self.neighbour(members["from"], via)
            after = self.neighbour(members["to"], via)
            kind = tags["restriction"]
            if kind.startswith("no_"):
                self.forbidden.add((before, via, after))
            else:
                for nxt, _, _, _ in self.arcs.get(via, []):
                    if nxt != after and nxt != before:
                        self.forbidden.add((before, via, nxt))

    def neighbour(self, way, via):
        refs = self.way_nodes[way]
        i = refs.index(via)
        return refs[i - 1] if i > 0 else refs[i + 1]

    def xy(self, nid):
        lon, lat = self.nodes[nid]
        return (lon - self.lon0) * self.kx, (lat - self.lat0) * self.ky

    def dist(self, a, b):
        (ax, ay), (bx, by) = self.xy(a), self.xy(b)
        return math.hypot(ax - bx, ay - by)

    def snap(self, nid):
        """The nearest road segment to a node: (segment, metres from its start)."""
        px, py = self.xy(nid)
        best = None
        for seg in self.segments:
            (ax, ay), (bx, by) = self.xy(seg[0]), self.xy(seg[1])
            dx, dy = bx - ax, by - ay
            t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
            d = math.hypot(ax + t * dx - px, ay + t * dy - py)
            if best is None or d < best[0]:
                best = (d, seg, t * math.hypot(dx, dy))
        return best[1], best[2]

    def route(self, start_node, end_node):
        """Length in metres of the cheapest route between two snapped places."""
        (sa, sb, sf, sbk, sfac, _), s_at = self.snap(start_node)
        (ea, eb, ef, ebk, efac, _), e_at = self.snap(end_node)
        s_len = self.dist(sa, sb)
        e_len = self.dist(ea, eb)
        # States: (node, previous node); cost, length.
        heap = []
        if sf:
            heapq.heappush(heap, ((s_len - s_at) * sfac, s_len - s_at, sb, sa))
        if sbk:
            heapq.heappush(heap, (s_at * sfac, s_at, sa, sb))
        best = None
        if (sa, sb) == (ea, eb) and ((sf and e_at >= s_at) or (sbk and e_at <= s_at)):
            best = (abs(e_at - s_at) * sfac, abs(e_at - s_at))
        done = set()
        while heap:
            cost, length, node, prev = heapq.heappop(heap)
            if best is not None and cost >= best[0]:
                break
            if (node, prev) in done:
                continue
            done.add((node, prev))
            # Onto the end segment.
            if node == ea and ef and (prev, node, eb) not in self.forbidden:
                cand = (cost + e_at * efac, length + e_at)
                if best is None or cand < best:
                    best = cand
            if node == eb and ebk and (prev, node, ea) not in self.forbidden:
                cand = (cost + (e_len - e_at) * efac, length + e_len - e_at)
                if best is None or cand < best:
                    best = cand
            for nxt, d, factor, _ in self.arcs.get(node, []):
                if nxt == prev or (prev, node, nxt) in self.forbidden:
                    continue
                heapq.heappush(heap, (cost + d * factor, length + d, nxt, node))
        return None if best is None else best[1]

    def address(self, street, number):
        for nid, tags in self.tags.items():
            if tags.get("addr:street") == street and tags.get("addr:housenumber") == str(number):
                return nid
        raise KeyError("%s %s" % (street, number))


PAIRS = [
    (("Harbour Avenue", 3), ("Sunrise Avenue", 10)),
    (("Marble Street", 5), ("Orchard Street", 7)),
    (("Olive Street", 9), ("Olive Street", 1)),      # against the one-way street
    (("Bronze Street", 1), ("Bronze Street", 11)),   # one-way against the way's direction
    (("Dolphin Avenue", 12), ("Dolphin Avenue", 2)),  # one-way eastwards
    (("Harbour Avenue", 7), ("Amber Street", 9)),    # near the forbidden left turn
    (("Temple Avenue", 1), ("Mill Lane", 2)),        # to Westfield
    (("Coral Avenue", 4), ("Vine Street", 3)),       # to Nova Thera
    (("Mill Lane", 1), ("Quay Road", 4)),            # Westfield to Nova Thera
    (("Lighthouse Street", 5), ("Laurel Street", 13)),
]


def probe_length(probe, mapdir, m, a, b):
    def at(nid):
        lon, lat = m.nodes[nid]
        return "%.7f,%.7f" % (lat, lon)

    out = subprocess.run([probe, "route", mapdir, at(a), at(b), "--mode", "3"], capture_output=True, text=True)
    if out.returncode != 0:
        raise RuntimeError(out.stdout + out.stderr)
    length = None
    edges = 0
    for line in out.stdout.splitlines():
        if line.startswith("length_m "):
            length = int(line.split()[1])
        elif line.startswith("edge "):
            edges += 1
    if length is None:
        raise RuntimeError(out.stdout)
    return length, edges


def main():
    if len(sys.argv) != 5:
        sys.stderr.write(__doc__)
        return 2
    make, osm, mapdir, probe = sys.argv[1:]
    passed = failed = 0

    with tempfile.TemporaryDirectory() as tmp:
        fresh = os.path.join(tmp, "atlantis.osm")
        subprocess.run([sys.executable, make, fresh], check=True)
        with open(fresh, "rb") as f1, open(osm, "rb") as f2:
            same = f1.read() == f2.read()
    if same:
        passed += 1
    else:
        failed += 1
        print("FAIL: %s differs from what %s writes" % (osm, make))

    m = Map(osm)
    for (s1, n1), (s2, n2) in PAIRS:
        a, b = m.address(s1, n1), m.address(s2, n2)
        want = m.route(a, b)
        got, edges = probe_length(probe, mapdir, m, a, b)
        # The road graph keeps edge lengths in units of 4 m: each edge of the
        # route may be up to 2 m off, and the whole metres once more.
        ok = want is not None and abs(got - want) <= 2 * edges + 1
        print("%s %s %d -> %s %d: probe %d m over %d edges, reference %s m"
              % ("ok" if ok else "FAIL", s1, n1, s2, n2, got, edges, "none" if want is None else "%.1f" % want))
        if ok:
            passed += 1
        else:
            failed += 1
    print("%d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
