// Pieces shared by the POI and city searches: the rectangles of the widening
// passes around a search position, and texts split into folded words.
#pragma once

#include <vector>

#include "common/container/xr_defs.h"
#include "common/geometry/xr_point.h"

namespace xr_search {

// Half side of the square inscribed in the previous pass's circle, as a
// fraction of the new radius (1 / (2 sqrt 2)).
constexpr double INNER_SQUARE = 0.35355339059327373;

// The rectangles of one pass around (x, y) with radius r: the first pass is
// the square of side 2r, a ring pass the four bands around the square
// inscribed in the circle of radius r / 2. Each rectangle is half open
// (left <= x < right, top <= y < bottom) so that a point on an edge shared by
// two bands is taken once; the outer right and bottom edges of a pass are
// moved out by one unit so that points exactly at distance r on an axis
// belong to the pass whose circle they lie on. Returns the count (1 or 4).
int pass_rectangles(int x, int y, long long r, bool first, XrRectangle out[4]);

// Whether (px, py) lies in a half-open pass rectangle.
inline bool in_pass_rectangle(const XrRectangle& rect, int px, int py)
{
    return rect.left <= px && px < rect.right && rect.top <= py && py < rect.bottom;
}

// A text split into folded words, all in one buffer. Blanks (U+0020 only)
// separate words; characters whose folded form is 0 are dropped. With tags,
// a TAB ends the text and '<' ... '>' is dropped (also across blanks).
class XrFoldedWords {
public:
    void split(const TCHAR* text, bool with_tags);
    int count() const { return static_cast<int>(starts.size()); }
    const TCHAR* word(int i) const { return chars.data() + starts[static_cast<size_t>(i)]; }
    int length(int i) const { return lengths[static_cast<size_t>(i)]; }
    // Some word begins with the given folded word.
    bool has_prefix(const TCHAR* w, int len) const;

private:
    std::vector<TCHAR> chars;
    std::vector<int> starts;
    std::vector<int> lengths;
};

} // namespace xr_search
