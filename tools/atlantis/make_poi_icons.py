#!/usr/bin/env python3
"""Writes the image description of the POI icon strips (data/images/poi.img)
and the ids of the map bitmaps (data/images/map.ids).

Each strip holds one square icon per POI class, icon n at x = n * side: a
coloured rounded square with a white letter. Class 0 (none) is a grey dot;
classes without a row are left empty (the strips cover classes 0 to 92).
A second set of strips holds the user's points: icon 0 a roadblock, icon 1
a favourite.
    make_poi_icons.py OUT.img OUT.ids
"""
import sys

# Class id, colour, letter (the classes of the map compiler's poi.reg).
CLASSES = [
    (0, (120, 120, 120), ""),
    (1, (200, 60, 40), "F"),     # petrol station
    (2, (40, 90, 200), "P"),     # parking
    (3, (210, 120, 30), "R"),    # restaurant
    (4, (150, 90, 50), "C"),     # cafe
    (5, (120, 60, 160), "H"),    # hotel
    (6, (220, 30, 30), "+"),     # hospital
    (7, (30, 150, 80), "Rx"),    # pharmacy
    (8, (190, 50, 140), "S"),    # shop
    (9, (90, 110, 40), "Sc"),    # school
    (10, (170, 130, 20), "*"),   # sight
    (11, (70, 80, 110), "i"),    # public building
    (12, (30, 120, 130), "$"),   # bank
    (69, (0, 150, 150), "Car"),  # the parked car
]
CLASS_COUNT = 93

STRIPS = [("poi_small.png", 20), ("poi_normal.png", 24), ("poi_large.png", 32)]

# Icon ids of the bitmap loader: the strips, the note symbol and the dot.
IDS = [
    ("0x49A7006B", "poi_small.png"),
    ("0x49A70069", "poi_normal.png"),
    ("0x49A7006E", "poi_large.png"),
    ("0x49A70068", "poi_note.png"),
    ("0x49A7006D", "poi_dot.png"),
    ("0x49A70073", "poi_user_small.png"),
    ("0x49A70071", "poi_user_normal.png"),
    ("0x49A70072", "poi_user_large.png"),
]
USER_STRIPS = [("poi_user_small.png", 20), ("poi_user_normal.png", 24), ("poi_user_large.png", 32)]


def f(v):
    return ("%.2f" % v).rstrip("0").rstrip(".")


def strip(name, side):
    out = ["image %s %d %d" % (name, side * CLASS_COUNT, side)]
    at = 0
    for n, (r, g, b), letter in CLASSES:
        out.append("translate %d 0" % (side * (n - at)))
        at = n
        if not letter:
            out.append("color %d %d %d" % (r, g, b))
            out.append("fill circle %s %s %s" % (f(side / 2), f(side / 2), f(side / 5)))
            continue
        out.append("color 255 255 255")
        out.append("fill rrect 0 0 %d %d %s" % (side, side, f(side / 5)))
        out.append("color %d %d %d" % (r, g, b))
        out.append("fill rrect 1 1 %d %d %s" % (side - 2, side - 2, f(side / 5 - 1)))
        size = side * (0.62 if len(letter) == 1 else 0.46)
        out.append("color 255 255 255")
        out.append('textc %s %s %s "%s"' % (f(side / 2), f(side / 2 + size * 0.36), f(size), letter))
    return out


def user_strip(name, side):
    """Icon 0: a no-entry sign (roadblock); icon 1: a gold star (favourite)."""
    h = side / 2
    out = ["image %s %d %d" % (name, side * 2, side),
           "color 255 255 255", "fill circle %s %s %s" % (f(h), f(h), f(h)),
           "color 220 0 0", "fill circle %s %s %s" % (f(h), f(h), f(h - 1.5)),
           "color 255 255 255",
           "fill rrect %s %s %s %s 1" % (f(side * 0.2), f(h - side * 0.1), f(side * 0.6), f(side * 0.2)),
           "translate %d 0" % side,
           "color 255 255 255", "fill rrect 0 0 %d %d %s" % (side, side, f(side / 5)),
           "color 235 170 0", "fill rrect 1 1 %d %d %s" % (side - 2, side - 2, f(side / 5 - 1)),
           "color 255 255 255"]
    import math
    star = []
    for k in range(10):
        radius = side * (0.38 if k % 2 == 0 else 0.16)
        angle = -math.pi / 2 + k * math.pi / 5
        star += [f(h + radius * math.cos(angle)), f(h + 0.04 * side + radius * math.sin(angle))]
    out.append("fill poly " + " ".join(star))
    return out


def main():
    lines = ["# POI icons of the map, drawn at build time (written by",
             "# tools/atlantis/make_poi_icons.py): one strip per size, icon n",
             "# for POI class n.", ""]
    for name, side in STRIPS:
        lines += strip(name, side) + [""]
    lines += ["# The user's points: a roadblock and a favourite."]
    for name, side in USER_STRIPS:
        lines += user_strip(name, side) + [""]
    lines += ["# The symbol of a POI's note bubble: a white speech bubble.",
              "image poi_note.png 24 24", "color 60 60 60",
              "fill rrect 1 1 22 16 4", "fill poly 6 16 12 16 6 23",
              "color 255 255 255", "fill rrect 2 2 20 14 3", "",
              "# A POI drawn at small scales: a dark dot.",
              "image poi_dot.png 6 6", "color 255 255 255", "fill circle 3 3 3",
              "color 60 60 60", "fill circle 3 3 2", ""]
    with open(sys.argv[1], "w") as out:
        out.write("\n".join(lines))
    with open(sys.argv[2], "w") as out:
        out.write("".join("%s %s mask\n" % row for row in IDS))


if __name__ == "__main__":
    main()
