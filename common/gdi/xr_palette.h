// The map's colour table of up to 256 entries, through which font colours
// are quantised.
#pragma once

#include <cstdint>

#include "common/gdi/xr_gdi.h"

// The platform palette type; this platform has none.
typedef void* XrPaletteHandle;

class XrPalette {
public:
    static constexpr int MAX_COLORS = 256;

    XrPalette() = default;

    // The entry of a close colour (distance below 6) or a new entry; a full
    // palette gives the nearest entry.
    int add_color(int r, int g, int b);
    // The entry of the smallest distance (the first on ties). An empty
    // palette takes the colour as entry 0.
    int find_nearest(int r, int g, int b);
    // The colour of an entry; 0 for an index at or past the count.
    XrColorHandle get_color(int index) const;
    std::uint32_t get_count() const { return m_count; }
    // Not available on this platform (fatal).
    XrPaletteHandle handle();

private:
    // The sum of the absolute channel differences to entry i.
    int distance(int i, int r, int g, int b) const;

    std::uint8_t m_colors[MAX_COLORS][3] = {};
    std::uint32_t m_count = 0;
};
