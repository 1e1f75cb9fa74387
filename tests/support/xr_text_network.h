// Road networks drawn as text, for tests. A map is a grid of letters and a
// table of ways:
//
//     cell 250 50
//     1000 |        I
//      500 |        H
//       50 |  J-K-L
//        0 |A-B-C-D-E-F-G
//     way  type  category  oneway
//     AB   4     3         -
//     EHI  -     -         1
//
// Every letter of the grid is a point: x is its column times the first cell
// size (metres per character), y its line's number before the bar or, without
// numbers, its line counted from the bottom times the second cell size (the
// first when only one is given). Other characters are drawing. A way is the
// polyline through its letters, in order (direction 1 runs from the first to
// the last); its edge index is its row in the table. The header line names
// the tag columns: type, category, speed, oneway (0, 1, 2), restricted,
// tile, named (0 or 1) and level (main level: 1, 0 or -1); "-" keeps the
// default edge's value. Blank lines and lines from "#" on are ignored.
#pragma once

#include <map>
#include <string>

#include "tools/mapgen/graph_writer.h"

struct XrTextNetwork {
    XrNetwork net;
    std::map<char, XrPoint> points;
    std::map<std::string, size_t> ways;

    // The point of a letter and the edge index of a way; both throw
    // std::out_of_range for a name the map does not have.
    XrPoint at(char letter) const { return points.at(letter); }
    size_t way(const std::string& letters) const { return ways.at(letters); }
};

// Parses text into out; false with a message naming the line on bad input.
// Points are shifted by origin; tags not given come from defaults.
bool xr_parse_text_network(const std::string& text, const XrPoint& origin, const XrNetworkEdge& defaults,
                           XrTextNetwork& out, std::string& error);

// The same for tests: a parse error fails the test and gives an empty map.
XrTextNetwork xr_text_network(const std::string& text, const XrPoint& origin = XrPoint(0, 0),
                              const XrNetworkEdge& defaults = XrNetworkEdge());
