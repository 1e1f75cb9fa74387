#include "common/gdi/xr_textlayout.h"

#include <algorithm>

#include "common/container/xr_array.h"
#include "common/misc/xr_tokenparser.h"

namespace {

// Separators that never start a new line by themselves.
bool is_blank_token(const TCHAR* token)
{
    return token[1] == 0 && (token[0] == L' ' || token[0] == L'\t' || token[0] == L'\n');
}

} // namespace

XrTextLayout::XrTextLayout(const XrRectangle& rect)
    : m_left(rect.left), m_top(rect.top), m_right(rect.right), m_bottom(rect.bottom)
{
}

int XrTextLayout::draw(const XrString& text, const TCHAR* extra_separators, int mode)
{
    return layout(text, extra_separators, mode);
}

int XrTextLayout::measure(const XrString& text, XrMeasurement* bounds, const TCHAR* extra_separators, int mode)
{
    m_measure_only = true;
    m_bounds = bounds;
    const int result = layout(text, extra_separators, mode);
    m_bounds = nullptr;
    m_measure_only = false;
    return result;
}

const TCHAR* XrTextLayout::next_token(XrTokenParser& parser)
{
    // The delimiter that ended the previous word comes as a token of its own.
    TCHAR sep = parser.get_last_delimiter();
    if (sep != 0) {
        m_token[0] = sep;
        return m_token;
    }
    const TCHAR* piece = parser.parse_next(false, false);
    if (piece == nullptr)
        return nullptr;
    if (piece[0] != 0)
        return piece;
    // An empty piece: the parser stood on a delimiter.
    const TCHAR last_sep = parser.get_last_delimiter();
    XR_ASSERT_MSG(last_sep != 0, "last_sep != 0");
    m_token[0] = last_sep;
    return m_token;
}

int XrTextLayout::layout(const XrString& text, const TCHAR* extra_separators, int mode)
{
    m_y = m_top;
    if (m_bounds != nullptr) {
        m_bounds->height = 0;
        m_bounds->rect = XrRectangle(m_right, m_top, m_left, m_top);
    }
    if (mode < Left || mode > CentreBlock)
        return Failed;

    int w = 0;
    int h = 0;
    if (!text_extent(XrString(L"Xij"), w, h))
        return Failed;
    const int plain_height = h;
    m_line_height = static_cast<int>(h * 1.2);

    XrArray<XrString> block(5);
    m_block = mode == CentreBlock ? &block : nullptr;

    XrTokenParser parser(text, L',');
    parser.add_delimiter(L' ');
    parser.add_delimiter(L'\n');
    parser.add_delimiter(L'\t');
    for (const TCHAR* p = extra_separators; p != nullptr && *p != 0; ++p)
        parser.add_delimiter(*p);

    const int width = m_right - m_left;
    int result = Ok;
    XrString line;
    while (const TCHAR* token = next_token(parser)) {
        XrString candidate = line + token;
        if (!text_extent(candidate, w, h)) {
            result = Failed;
            break;
        }
        if (token[0] == L'\n' && token[1] == 0) {
            // A newline that would not fit is dropped and the line goes on.
            if (w >= width)
                continue;
            if (!place_line(line, mode)) {
                result = Failed;
                break;
            }
            line.clear();
            continue;
        }
        if (!is_blank_token(token) && w > width && !line.is_empty()) {
            if (!place_line(line, mode)) {
                result = Failed;
                break;
            }
            line.clear();
        }
        line += token;
    }
    if (result == Ok && !place_line(line, mode))
        result = Failed;

    if (result == Ok && mode == CentreBlock) {
        const int lines = block.get_num_items();
        const long long free_space = (long long)m_bottom - m_top - (long long)plain_height * lines;
        if (free_space < 0) {
            result = TooHigh;
        } else {
            m_y = m_top + static_cast<int>(free_space / 2);
            for (int i = 0; i < lines && result == Ok; ++i) {
                if (!place_line(*block.get_item_ptr(i), Centre))
                    result = Failed;
            }
        }
    }
    if (m_bounds != nullptr) {
        // A block too high for the rectangle measures the height its lines need.
        m_bounds->height = result == TooHigh ? block.get_num_items() * m_line_height : m_y - m_top;
    }
    m_block = nullptr;
    return result;
}

bool XrTextLayout::line_width(const XrString& line, int& width)
{
    int h = 0;
    return text_extent(line, width, h);
}

bool XrTextLayout::place_line(XrString line, int mode)
{
    int width = 0;
    int x = m_left;
    switch (mode) {
    case Left:
        if (!line_width(line, width))
            return false;
        break;
    case Right: {
        const int n = line.length();
        if (n > 0 && line.char_at(n - 1) == L' ')
            line.truncate(n - 1);
        if (!line_width(line, width))
            return false;
        x = m_right - width;
        break;
    }
    case Centre:
        if (!line_width(line, width))
            return false;
        if (width <= m_right - m_left || m_centre_overflow)
            x = m_left + (m_right - m_left - width) / 2;
        break;
    default:
        // A centred block is placed once all its lines are known.
        return m_block->append(line);
    }

    if (m_y + m_line_height <= m_bottom) {
        if (!m_measure_only)
            add_text(line, x, m_y);
        if (m_bounds != nullptr) {
            XrRectangle& r = m_bounds->rect;
            if (x < r.left)
                r.left = x;
            if (x + width > r.right)
                r.right = x + width;
            r.bottom += m_line_height;
        }
    }
    m_y += m_line_height;
    return true;
}

XrFontTextLayout::XrFontTextLayout(XrFontHandleRec* font, const XrRectangle& rect) : XrTextLayout(rect), m_font(font)
{
}

void XrFontTextLayout::set_halo(XrColorHandle halo_color, XrColorHandle text_color)
{
    m_halo = true;
    m_halo_color = halo_color;
    m_text_color = text_color;
}

bool XrFontTextLayout::text_extent(const XrString& text, int& width, int& height)
{
    XrGDI::get_text_size(m_font, text.c_str(), &width, &height, -1);
    return true;
}

bool XrFontTextLayout::add_text(const XrString& text, int x, int y)
{
    XR_ASSERT_MSG(m_dc != nullptr, "dc");
    XrGDI::select_font(m_dc, m_font);
    // Clipped to the layout's right and bottom (within the DC's own clip);
    // the halo reaches one pixel left of and above the line.
    const XrRectangle saved = m_dc->clip;
    const bool had_clip = saved.left != saved.right; // all zero: none too
    XrRectangle clip(std::min(x - 1, m_left), std::min(y - 1, m_top), m_right, m_bottom);
    if (had_clip) {
        clip.left = std::max(clip.left, saved.left);
        clip.top = std::max(clip.top, saved.top);
        clip.right = std::min(clip.right, saved.right);
        clip.bottom = std::min(clip.bottom, saved.bottom);
    }
    if (clip.left >= clip.right || clip.top >= clip.bottom)
        return true; // nothing of the line is visible
    XrGDI::set_clip_rect(m_dc, clip);
    if (m_halo) {
        static const int offsets[4][2] = {{-1, -1}, {1, 1}, {-1, 1}, {1, -1}};
        XrGDI::set_text_color(m_dc, m_halo_color);
        for (const auto& d : offsets)
            XrGDI::draw_text_rect(m_dc, text.c_str(), x + d[0], y + d[1], m_right, m_bottom, XrGDI::LeftTop, -1);
        XrGDI::set_text_color(m_dc, m_text_color);
    }
    XrGDI::draw_text_rect(m_dc, text.c_str(), x, y, m_right, m_bottom, XrGDI::LeftTop, -1);
    if (had_clip)
        XrGDI::set_clip_rect(m_dc, saved);
    else
        XrGDI::clear_clip_rect(m_dc);
    return true;
}
