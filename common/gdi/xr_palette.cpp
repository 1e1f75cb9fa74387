#include "common/gdi/xr_palette.h"

#include <cstdlib>

int XrPalette::distance(int i, int r, int g, int b) const
{
    return std::abs(m_colors[i][0] - r) + std::abs(m_colors[i][1] - g) + std::abs(m_colors[i][2] - b);
}

int XrPalette::find_nearest(int r, int g, int b)
{
    if (m_count == 0) {
        m_colors[0][0] = std::uint8_t(r);
        m_colors[0][1] = std::uint8_t(g);
        m_colors[0][2] = std::uint8_t(b);
        m_count = 1;
        return 0;
    }
    int best = 0;
    int best_distance = distance(0, r, g, b);
    for (int i = 1; i < int(m_count); ++i) {
        int d = distance(i, r, g, b);
        if (d < best_distance) {
            best = i;
            best_distance = d;
        }
    }
    return best;
}

int XrPalette::add_color(int r, int g, int b)
{
    if (m_count >= MAX_COLORS)
        return find_nearest(r, g, b);
    if (m_count > 0) {
        int nearest = find_nearest(r, g, b);
        if (distance(nearest, r, g, b) < 6)
            return nearest;
    }
    m_colors[m_count][0] = std::uint8_t(r);
    m_colors[m_count][1] = std::uint8_t(g);
    m_colors[m_count][2] = std::uint8_t(b);
    return int(m_count++);
}

XrColorHandle XrPalette::get_color(int index) const
{
    if (index < 0 || std::uint32_t(index) >= m_count)
        return 0;
    return XrGDI::rgb(m_colors[index][0], m_colors[index][1], m_colors[index][2]);
}

XrPaletteHandle XrPalette::handle()
{
    XR_ASSERT_MSG(false, "0");
    return nullptr;
}
