#include "common/visualization/xr_visualsetting.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <numbers>
#include <type_traits>

#include "common/base/xr_singleton.h"
#include "common/container/xr_bytes.h"
#include "common/gdi/xr_palette.h"
#include "common/misc/xr_tokenparser.h"
#include "common/symbol/xr_drawablesymbol.h"
#include "common/symbol/xr_symbol.h"
#include "common/ui/fonts/xr_fontrepository.h"

namespace {

// Largest index of the pen and brush tables.
constexpr int kMaxTableIndex = 0xFFFF;

static_assert(std::is_trivially_copyable_v<XrPenHandle> && std::is_trivially_copyable_v<XrBrushHandle>,
              "style records are kept as bytes");

// Saves the configuration's current key and restores it on leaving.
class XrKeyScope {
public:
    explicit XrKeyScope(XrConfiguration& config) : m_config(config) { m_config.push_key(); }
    ~XrKeyScope() { m_config.pop_key(); }
    XrKeyScope(const XrKeyScope&) = delete;
    XrKeyScope& operator=(const XrKeyScope&) = delete;

private:
    XrConfiguration& m_config;
};

// The value names of the configuration's current key.
class XrValueNames {
public:
    explicit XrValueNames(XrConfiguration& config) : m_it(config.create_value_iterator()) {}
    bool next(XrString& name) { return m_it != nullptr && m_it->get_next(name); }

private:
    std::unique_ptr<XrConfigurationIterator> m_it;
};

// A decimal number with optional sign and one '.' when allow_point; blanks
// around it are ignored and an empty text reads as 0, as the token parser
// reads fields. Magnitudes beyond 2^40 are refused.
bool to_number(const TCHAR* s, bool allow_point, double& out)
{
    while (xr_bytes::is_blank(*s))
        ++s;
    bool negative = false;
    if (*s == L'+' || *s == L'-')
        negative = *s++ == L'-';
    double v = 0;
    double scale = 0; // > 0 after the point
    for (; *s != 0 && !xr_bytes::is_blank(*s); ++s) {
        if (*s >= L'0' && *s <= L'9') {
            if (scale > 0) {
                scale /= 10;
                v += (*s - L'0') * scale;
            } else {
                v = v * 10 + (*s - L'0');
                if (v > 1099511627776.0)
                    return false;
            }
        } else if (*s == L'.' && allow_point && scale == 0) {
            scale = 1;
        } else {
            return false;
        }
    }
    while (xr_bytes::is_blank(*s))
        ++s;
    if (*s != 0)
        return false;
    out = negative ? -v : v;
    return true;
}

bool to_int(const TCHAR* s, long long low, long long high, int& out)
{
    double v = 0;
    if (!to_number(s, false, v) || v < static_cast<double>(low) || v > static_cast<double>(high))
        return false;
    out = static_cast<int>(static_cast<long long>(v));
    return true;
}

bool to_int(const TCHAR* s, int& out)
{
    return to_int(s, INT32_MIN, INT32_MAX, out);
}

// The next comma-separated field as a number; false at the end.
bool next_int(XrTokenParser& p, int& out)
{
    const TCHAR* t = p.parse_next();
    return t != nullptr && to_int(t, out);
}

// A style or symbol id: a 16-bit number, signed or unsigned.
bool to_style_id(const XrString& name, short& id)
{
    int v = 0;
    if (!to_int(name.c_str(), -32768, 65535, v))
        return false;
    id = static_cast<short>(v);
    return true;
}

int clamp_channel(int v)
{
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// Three colour channels, each clamped to 0..255.
bool next_rgb(XrTokenParser& p, int& r, int& g, int& b)
{
    if (!next_int(p, r) || !next_int(p, g) || !next_int(p, b))
        return false;
    r = clamp_channel(r);
    g = clamp_channel(g);
    b = clamp_channel(b);
    return true;
}

bool read_rgb_value(XrConfiguration& config, const TCHAR* name, int& r, int& g, int& b)
{
    XrString text;
    if (config.get_string(name, text) != XrConfiguration::OK)
        return false;
    XrTokenParser p(text, L',');
    int rr = 0, gg = 0, bb = 0;
    if (!next_rgb(p, rr, gg, bb))
        return false;
    r = rr;
    g = gg;
    b = bb;
    return true;
}

template <class Style>
struct XrStyleWord {
    const TCHAR* word;
    Style style;
};

// The style of a word (any case); fallback for any other word.
template <class Style, std::size_t N>
Style style_of(const TCHAR* word, const XrStyleWord<Style> (&words)[N], Style fallback)
{
    for (const XrStyleWord<Style>& w : words) {
        if (wide_stricmp(word, w.word) == 0)
            return w.style;
    }
    return fallback;
}

const XrStyleWord<XrGDI::PenStyle> kPenStyles[] = {
    {L"SOLID", XrGDI::PenSolid}, {L"DASH", XrGDI::PenDash}, {L"DOT", XrGDI::PenDot}, {L"DASHDOT", XrGDI::PenDashDot}};
const XrStyleWord<XrGDI::BrushStyle> kBrushStyles[] = {
    {L"SOLID", XrGDI::BrushSolid},
    {L"NULL", XrGDI::BrushHollow},
    {L"HATCH_DIAGONAL", XrGDI::BrushHatchDiagonal},
    {L"HATCH_CROSS", XrGDI::BrushHatchCross},
    {L"HATCH_DIAGCROSS", XrGDI::BrushHatchDiagCross},
    {L"HATCH_FDIAGONAL", XrGDI::BrushHatchFDiagonal},
    {L"HATCH_HORIZONTAL", XrGDI::BrushHatchHorizontal},
    {L"HATCH_VERTICAL", XrGDI::BrushHatchVertical},
};

XrPenHandle null_pen()
{
    XrPenHandle pen{};
    pen.width = 1;
    pen.style = XrPenHandle::Null;
    return pen;
}

XrBrushHandle null_brush()
{
    XrBrushHandle brush{};
    brush.fill = XrBrushHandle::Hollow;
    brush.null_marker = XrBrushHandle::NullMarker;
    return brush;
}

// What an unset brush index holds: a hollow black brush.
XrBrushHandle unset_brush()
{
    XrBrushHandle brush{};
    brush.fill = XrBrushHandle::Hollow;
    return brush;
}

// Integer HSV model: hue in whole degrees (-1 for grey), saturation and
// value 0..255; conversions round to nearest.
void rgb_to_hsv(int r, int g, int b, int& h, int& s, int& v)
{
    int max = r;
    int which = 0;
    if (g > max) {
        max = g;
        which = 1;
    }
    if (b > max) {
        max = b;
        which = 2;
    }
    int min = r < g ? r : g;
    if (b < min)
        min = b;
    const int delta = max - min;
    v = max;
    s = max != 0 ? (max + delta * 510) / (2 * max) : 0;
    if (s == 0) {
        h = -1;
        return;
    }
    const int diff = which == 0 ? g - b : (which == 1 ? b - r : r - g);
    long long num = 60LL * diff + 120LL * which * delta; // hue x delta
    if (num < 0)
        num += 360LL * delta;
    h = static_cast<int>((2 * num + delta) / (2LL * delta));
}

// False (channels untouched) for a saturation or value outside 0..255 or a
// hue below -1.
bool hsv_to_rgb(int h, int s, int v, int& r, int& g, int& b)
{
    if (h < -1 || s < 0 || s > 255 || v < 0 || v > 255)
        return false;
    if (h == -1 || s == 0) {
        r = g = b = v;
        return true;
    }
    h %= 360;
    const int sector = h / 60;
    const int f = h % 60;
    // 15300 = 60 x 255: the ramps are v x (1 - s x f / 15300), rounded.
    const int p = ((255 - s) * v * 2 + 255) / 510;
    const int falling = (2 * v * (15300 - s * f) + 15300) / 30600;
    const int rising = (2 * v * (15300 - s * (60 - f)) + 15300) / 30600;
    switch (sector) {
    case 0: r = v; g = rising; b = p; break;
    case 1: r = falling; g = v; b = p; break;
    case 2: r = p; g = v; b = rising; break;
    case 3: r = p; g = falling; b = v; break;
    case 4: r = rising; g = p; b = v; break;
    default: r = v; g = p; b = falling; break;
    }
    return true;
}

} // namespace

void XrVisualSetting::XrSymbolTable::free_item(short*, XrDrawableSymbol** value)
{
    delete *value;
    *value = nullptr;
}

XrVisualSetting::XrVisualSetting()
    : m_polygon_records(4000, 4000), m_polygons(5, false, 80), m_font_entries(100), m_texts(5, false, 80),
      m_lines(5, false, 80), m_line_records(200, 200), m_text_halo(XrGDI::rgb(212, 212, 212)),
      m_bg_pen(null_pen()), m_bg_brush(null_brush())
{
}

XrVisualSetting::~XrVisualSetting()
{
    clear();
    XrGDI::delete_pen(m_bg_pen);
    XrGDI::delete_brush(m_bg_brush);
}

void XrVisualSetting::clear()
{
    m_symbols.clear();
    m_polygons.clear();
    m_texts.clear();
    m_lines.clear();
    m_font_entries.remove_all();
    m_polygon_records.remove_all();
    m_line_records.remove_all();
    delete[] m_fonts;
    m_fonts = nullptr;
    m_font_count = 0;
    for (int i = 0; i < m_pen_count; ++i)
        XrGDI::delete_pen(m_pens[i].pen);
    delete[] m_pens;
    m_pens = nullptr;
    m_pen_count = 0;
    for (int i = 0; i < m_brush_count; ++i)
        XrGDI::delete_brush(m_brushes[i]);
    delete[] m_brushes;
    m_brushes = nullptr;
    m_brush_count = 0;
    delete[] m_scales;
    m_scales = nullptr;
    m_scale_count = 0;
}

template <class T>
bool XrVisualSetting::put(XrHash<short, T>& table, short key, const T& value)
{
    if (T* old = table.find_ptr(key)) {
        *old = value;
        return true;
    }
    return table.insert(key, value);
}

int XrVisualSetting::read(XrConfiguration& config, XrPalette& palette, const XrPtrArray<XrSymbolLibrary*>& libraries,
                          const int* theme)
{
    clear();
    if (&libraries != &m_libraries) {
        m_libraries.remove_all();
        for (int i = 0; i < libraries.get_num_items(); ++i)
            m_libraries.XrArray<void*>::append(libraries.get_item(i)); // null entries keep their places
    }
    m_theme = -1;
    XrKeyScope home(config);

    if (config.open_key(L"themes") != XrConfiguration::OK)
        return 1;
    bool theme_open = false;
    if (theme != nullptr) {
        TCHAR name[16];
        wide_snprintf(name, 16, L"%d", *theme);
        theme_open = config.open_key(name) == XrConfiguration::OK;
    }
    if (theme_open)
        m_theme = *theme;
    else if (config.open_key(L"0") == XrConfiguration::OK) // else the values stand in "themes" itself
        m_theme = 0;

    const int zero = 0;
    if (config.get_int(L"contrast", &m_contrast, &zero) != XrConfiguration::OK)
        m_contrast = 0;
    if (config.get_int(L"brightness", &m_brightness, &zero) != XrConfiguration::OK)
        m_brightness = 0;
    int r = 212, g = 212, b = 212;
    read_rgb_value(config, L"txt_halo", r, g, b);
    m_text_halo = XrGDI::rgb(r, g, b);
    if (!read_rgb_value(config, L"map_bg_color", r, g, b)) {
        r = 200;
        g = 255;
        b = 154;
    }
    m_bg_color = XrGDI::rgb(r, g, b);
    XrGDI::delete_brush(m_bg_brush);
    XrGDI::delete_pen(m_bg_pen);
    m_bg_brush = XrGDI::create_brush(XrGDI::BrushSolid, r, g, b);
    m_bg_pen = XrGDI::create_pen(XrGDI::PenSolid, 1, r, g, b);

    if (!read_pens(config, palette) || !read_brushes(config, palette) || !read_fonts(config, palette))
        return 1;

    // Back to the visual-setting key.
    config.pop_key();
    config.push_key();
    if (!read_scales(config, palette) || !read_lines(config, palette) || !read_polygons(config, palette) ||
        !read_texts(config, palette) || !read_symbols(config, palette, libraries))
        return 1;
    return 0;
}

int XrVisualSetting::read_themes(int theme, XrPalette& palette, XrConfiguration& config, XrThemeColors* colors,
                                 int& applied)
{
    // Everything is read again: the styles refer to the pens and brushes of
    // the theme, which a new theme replaces.
    const int result = read(config, palette, m_libraries, &theme);
    applied = m_theme;
    if (colors != nullptr) {
        colors->background = m_bg_color;
        colors->text_halo = m_text_halo;
    }
    return result;
}

namespace {

// Calls fn(name, value) for every value of the sub-key of the current key;
// false when the sub-key is missing or fn fails. The current key stays.
template <class F>
bool for_each_value(XrConfiguration& config, const TCHAR* key, F&& fn)
{
    XrKeyScope scope(config);
    if (config.open_key(key) != XrConfiguration::OK)
        return false;
    XrValueNames names(config);
    XrString name;
    XrString value;
    while (names.next(name)) {
        config.get_string(name.c_str(), value);
        if (!fn(name, value))
            return false;
    }
    return true;
}

// The size of an indexed table (largest index + 1) from its value names;
// false for a name that is no index from 0 to max_index.
bool table_size(XrConfiguration& config, const TCHAR* key, int max_index, int& size)
{
    size = 0;
    return for_each_value(config, key, [&](const XrString& name, const XrString&) {
        int index = 0;
        if (!to_int(name.c_str(), 0, max_index, index))
            return false;
        if (index + 1 > size)
            size = index + 1;
        return true;
    });
}

// fn(index, fields) for every entry of an indexed table.
template <class F>
bool for_each_entry(XrConfiguration& config, const TCHAR* key, int max_index, F&& fn)
{
    return for_each_value(config, key, [&](const XrString& name, const XrString& value) {
        int index = 0;
        to_int(name.c_str(), 0, max_index, index); // checked by table_size
        XrTokenParser fields(value, L',');
        return fn(index, fields);
    });
}

// fn(id, fields) for every style of a style section.
template <class F>
bool for_each_style(XrConfiguration& config, const TCHAR* key, F&& fn)
{
    return for_each_value(config, key, [&](const XrString& name, const XrString& value) {
        short id = 0;
        if (!to_style_id(name, id))
            return false;
        XrTokenParser fields(value, L',');
        return fn(id, fields);
    });
}

// r, g, b and a style word.
bool next_styled_rgb(XrTokenParser& p, int& r, int& g, int& b, const TCHAR*& word)
{
    if (!next_rgb(p, r, g, b))
        return false;
    word = p.parse_next(true, true);
    return word != nullptr;
}

// An index below count; with zero_allowed also 0 (no entry), whatever the count.
bool valid_index(int index, int count, bool zero_allowed)
{
    return (zero_allowed && index == 0) || (index >= 0 && index < count);
}

} // namespace

void XrVisualSetting::theme_color(int& r, int& g, int& b) const
{
    if (m_contrast != 0)
        adjust_color(m_contrast, m_brightness, r, g, b);
}

bool XrVisualSetting::read_pens(XrConfiguration& config, XrPalette&)
{
    int size = 0;
    if (!table_size(config, L"pens", kMaxTableIndex, size))
        return false;

    // Line styles point into the pen table.
    m_lines.clear();
    m_line_records.remove_all();
    for (int i = 0; i < m_pen_count; ++i)
        XrGDI::delete_pen(m_pens[i].pen);
    delete[] m_pens;
    m_pens = new XrPenEntry[size > 0 ? size : 1];
    m_pen_count = size;
    for (int i = 0; i < size; ++i)
        m_pens[i] = XrPenEntry{null_pen(), 0, 0, 0};

    return for_each_entry(config, L"pens", kMaxTableIndex, [&](int index, XrTokenParser& p) {
        int r = 0, g = 0, b = 0;
        const TCHAR* word = nullptr;
        if (!next_styled_rgb(p, r, g, b, word))
            return false;
        theme_color(r, g, b);
        XrPenEntry& e = m_pens[index];
        XrGDI::delete_pen(e.pen);
        e.pen = XrGDI::create_pen(style_of(word, kPenStyles, XrGDI::PenSolid), 1, r, g, b);
        e.r = static_cast<std::uint8_t>(r);
        e.g = static_cast<std::uint8_t>(g);
        e.b = static_cast<std::uint8_t>(b);
        return true;
    });
}

bool XrVisualSetting::read_brushes(XrConfiguration& config, XrPalette&)
{
    int size = 0;
    if (!table_size(config, L"brushes", kMaxTableIndex, size))
        return false;

    for (int i = 0; i < m_brush_count; ++i)
        XrGDI::delete_brush(m_brushes[i]);
    delete[] m_brushes;
    m_brushes = new XrBrushHandle[size > 0 ? size : 1];
    m_brush_count = size;
    for (int i = 0; i < size; ++i)
        m_brushes[i] = unset_brush();

    return for_each_entry(config, L"brushes", kMaxTableIndex, [&](int index, XrTokenParser& p) {
        int r = 0, g = 0, b = 0;
        const TCHAR* word = nullptr;
        if (!next_styled_rgb(p, r, g, b, word))
            return false;
        theme_color(r, g, b);
        XrGDI::delete_brush(m_brushes[index]);
        m_brushes[index] = XrGDI::create_brush(style_of(word, kBrushStyles, XrGDI::BrushSolid), r, g, b);
        return true;
    });
}

bool XrVisualSetting::read_fonts(XrConfiguration& config, XrPalette& palette)
{
    int size = 0;
    if (!table_size(config, L"fonts", 3, size))
        return false;
    auto* repository = static_cast<XrFontRepository*>(XrSingleton::get_instance(XrString(L"XrFontRepository")));
    if (repository == nullptr && size > 0)
        return false;

    // Text styles point into the font table.
    m_texts.clear();
    m_font_entries.remove_all();
    delete[] m_fonts;
    m_fonts = new XrFontData[size > 0 ? size : 1];
    m_font_count = size;
    for (int i = 0; i < size; ++i)
        m_fonts[i] = XrFontData{0, nullptr};

    return for_each_entry(config, L"fonts", 3, [&](int index, XrTokenParser& p) {
        static const int contexts[4] = {0, 38, 39, 37};
        int r = 0, g = 0, b = 0;
        if (index == 0 || !next_rgb(p, r, g, b))
            return false; // only fonts 1, 2 and 3 exist
        theme_color(r, g, b);
        // Close colours share one palette entry.
        m_fonts[index].color = palette.get_color(palette.add_color(r, g, b));
        m_fonts[index].font = repository->get_font(contexts[index]);
        return true;
    });
}

bool XrVisualSetting::read_scales(XrConfiguration& config, XrPalette&)
{
    int count = 0;
    if (!for_each_value(config, L"scales", [&](const XrString&, const XrString&) {
            ++count;
            return true;
        }))
        return false;
    delete[] m_scales;
    m_scales = new XrScaleRange[count > 0 ? count : 1];
    m_scale_count = 0;

    return for_each_value(config, L"scales", [&](const XrString&, const XrString& value) {
        XrTokenParser p(value, L',');
        double bound[2];
        for (double& v : bound) {
            const TCHAR* t = p.parse_next();
            // Scales are unsigned 32-bit; a negative one stands for its bit pattern.
            if (t == nullptr || !to_number(t, false, v) || v < -2147483648.0 || v > 4294967295.0)
                return false;
        }
        if (m_scale_count < count)
            m_scales[m_scale_count++] = XrScaleRange{static_cast<std::uint32_t>(static_cast<long long>(bound[0])),
                                                     static_cast<std::uint32_t>(static_cast<long long>(bound[1]))};
        return true;
    });
}

bool XrVisualSetting::read_lines(XrConfiguration& config, XrPalette&)
{
    return for_each_style(config, L"lines", [&](short id, XrTokenParser& p) {
        XrLineInfo info;
        info.first = m_line_records.get_num_items();
        int outer = 0, inner = 0, v = 0;
        while (next_int(p, outer) && next_int(p, inner) && next_int(p, v)) {
            // Pen 0 is no pen.
            if (!valid_index(outer, m_pen_count, true) || !valid_index(inner, m_pen_count, true))
                return false;
            const XrLineRecord rec{outer != 0 ? &m_pens[outer] : nullptr, inner != 0 ? &m_pens[inner] : nullptr,
                                   static_cast<short>(v)};
            if (!m_line_records.append(&rec, sizeof rec))
                return false;
            ++info.count;
        }
        return put(m_lines, id, info);
    });
}

bool XrVisualSetting::read_polygons(XrConfiguration& config, XrPalette&)
{
    return for_each_style(config, L"polygons", [&](short id, XrTokenParser& p) {
        XrPolygonInfo info;
        info.first = m_polygon_records.get_num_items();
        int pen = 0, brush = 0;
        while (next_int(p, pen) && next_int(p, brush)) {
            if (!valid_index(pen, m_pen_count, true) || !valid_index(brush, m_brush_count, true))
                return false;
            XrPolygonRecord rec;
            if (brush == 0) {
                rec.brush = m_brush_count > 0 ? m_brushes[0] : unset_brush();
                rec.pen = null_pen();
            } else {
                rec.brush = m_brushes[brush];
                // Pen 0 of an empty pen table is unset: a null pen.
                rec.pen = pen < m_pen_count ? m_pens[pen].pen : null_pen();
            }
            if (!m_polygon_records.append(&rec, sizeof rec))
                return false;
            ++info.count;
        }
        return put(m_polygons, id, info);
    });
}

bool XrVisualSetting::read_texts(XrConfiguration& config, XrPalette&)
{
    return for_each_style(config, L"texts", [&](short id, XrTokenParser& p) {
        XrFontInfo info;
        info.first = m_font_entries.get_num_items();
        int index = 0;
        while (next_int(p, index)) {
            if (!valid_index(index, m_font_count, true))
                return false;
            // XrPtrArray refuses null: an entry without font goes in through the base.
            void* entry = index != 0 ? static_cast<void*>(&m_fonts[index]) : nullptr;
            if (!m_font_entries.XrArray<void*>::append(entry))
                return false;
            ++info.count;
        }
        return put(m_texts, id, info);
    });
}

bool XrVisualSetting::read_symbols(XrConfiguration& config, XrPalette&, const XrPtrArray<XrSymbolLibrary*>& libraries)
{
    return for_each_style(config, L"symbols", [&](short id, XrTokenParser& p) {
        int lib = 0, code = 0;
        if (!next_int(p, lib) || !next_int(p, code) || !valid_index(lib, libraries.get_num_items(), false))
            return false;
        const XrSymbol* symbol = libraries.get_item(lib)->find(static_cast<std::uint16_t>(code));
        if (symbol == nullptr)
            return false;

        XrArray<XrBrushHandle> brushes(4);
        XrArray<XrPenHandle> pens(4);
        for (;;) {
            const TCHAR* t = p.parse_next(true, true);
            if (t == nullptr)
                return false; // ended before "scales"
            if (wide_stricmp(t, L"scales") == 0)
                break;
            int pen = 0, brush = 0;
            if (!to_int(t, pen) || !next_int(p, brush) || !valid_index(pen, m_pen_count, false) ||
                !valid_index(brush, m_brush_count, false))
                return false;
            if (!pens.append(m_pens[pen].pen) || !brushes.append(m_brushes[brush]))
                return false;
        }
        XrArray<double> factors(8);
        while (const TCHAR* t = p.parse_next()) {
            double f = 0;
            if (!to_number(t, true, f) || !factors.append(f))
                return false;
        }

        int length = 0;
        const BYTE* program = symbol->get_data(length);
        auto* drawable = new XrDrawableSymbol(brushes.get_items(), brushes.get_num_items(), pens.get_items(),
                                              pens.get_num_items(), true, factors.get_items(),
                                              factors.get_num_items(), program, length);
        XrDrawableSymbol* old = nullptr;
        if (m_symbols.find(id, old)) {
            m_symbols.remove(id);
            delete old;
        }
        if (!m_symbols.insert(id, drawable)) {
            delete drawable;
            return false;
        }
        return true;
    });
}

int XrVisualSetting::get_scale_index(std::uint32_t scale) const
{
    if (m_scale_count == 0)
        return -1;
    for (int i = 0; i < m_scale_count; ++i) {
        if (m_scales[i].low <= scale && scale <= m_scales[i].high)
            return i;
    }
    int best = 0;
    for (int i = 1; i < m_scale_count; ++i) {
        if (static_cast<std::int32_t>(m_scales[i].high) > static_cast<std::int32_t>(m_scales[best].high))
            best = i;
    }
    return best;
}

bool XrVisualSetting::line_record(short style, int scale_index, XrLineRecord& out) const
{
    const XrLineInfo* info = m_lines.find_ptr(style);
    if (info == nullptr || scale_index < 0 || scale_index >= info->count)
        return false;
    const int offset = info->first + scale_index * static_cast<int>(sizeof(XrLineRecord));
    XR_ASSERT(offset + static_cast<int>(sizeof(XrLineRecord)) <= m_line_records.get_num_items());
    std::memcpy(&out, m_line_records.get_items() + offset, sizeof out);
    return true;
}

bool XrVisualSetting::polygon_record(short style, int scale_index, XrPolygonRecord& out) const
{
    const XrPolygonInfo* info = m_polygons.find_ptr(style);
    if (info == nullptr || scale_index < 0 || scale_index >= info->count)
        return false;
    const int offset = info->first + scale_index * static_cast<int>(sizeof(XrPolygonRecord));
    XR_ASSERT(offset + static_cast<int>(sizeof(XrPolygonRecord)) <= m_polygon_records.get_num_items());
    std::memcpy(&out, m_polygon_records.get_items() + offset, sizeof out);
    return true;
}

int XrVisualSetting::get_line_info(short style, int scale_index, XrPenHandle& outer, XrPenHandle& inner,
                                   short& value) const
{
    XrLineRecord rec;
    if (!line_record(style, scale_index, rec)) {
        outer = null_pen();
        inner = null_pen();
        value = 0;
        return 1;
    }
    outer = rec.outer != nullptr ? rec.outer->pen : null_pen();
    inner = rec.inner != nullptr ? rec.inner->pen : null_pen();
    value = rec.value;
    return 0;
}

int XrVisualSetting::get_line_colors(short style, int scale_index, int& r1, int& g1, int& b1, int& r2, int& g2,
                                     int& b2, short& value) const
{
    r1 = g1 = b1 = r2 = g2 = b2 = 0;
    value = 0;
    XrLineRecord rec;
    if (!line_record(style, scale_index, rec))
        return 1;
    if (rec.outer != nullptr) {
        r1 = rec.outer->r;
        g1 = rec.outer->g;
        b1 = rec.outer->b;
    }
    if (rec.inner != nullptr) {
        r2 = rec.inner->r;
        g2 = rec.inner->g;
        b2 = rec.inner->b;
    }
    value = rec.value;
    return 0;
}

int XrVisualSetting::get_polygon_info(short style, int scale_index, XrBrushHandle& brush, XrPenHandle& pen) const
{
    XrPolygonRecord rec;
    if (!polygon_record(style, scale_index, rec)) {
        brush = null_brush();
        pen = null_pen();
        return 1;
    }
    brush = rec.brush;
    pen = rec.pen;
    return 0;
}

int XrVisualSetting::get_font_info(short style, int scale_index, XrFontHandleRec*& font, XrColorHandle& color) const
{
    font = nullptr;
    const XrFontInfo* info = m_texts.find_ptr(style);
    if (info == nullptr || scale_index < 0 || scale_index >= info->count)
        return 1;
    const XrFontData* entry = m_font_entries.get_item(info->first + scale_index);
    if (entry != nullptr) {
        font = entry->font;
        color = entry->color;
    }
    return 0;
}

XrDrawableSymbol* XrVisualSetting::get_symbol(short id) const
{
    XrDrawableSymbol* symbol = nullptr;
    return m_symbols.find(id, symbol) ? symbol : nullptr;
}

void XrVisualSetting::adjust_color(int contrast, int brightness, int& r, int& g, int& b)
{
    if (contrast == 0)
        return;
    if (r < 0 || r > 255 || g < 0 || g > 255 || b < 0 || b > 255)
        return;
    const double sign = contrast < 0 ? -1.0 : 1.0;
    const long long magnitude = contrast < 0 ? -static_cast<long long>(contrast) : contrast;
    const double k = static_cast<double>(magnitude < 100 ? magnitude : 100) / 100.0;

    int h = 0, s = 0, value = 0;
    rgb_to_hsv(r, g, b, h, s, value);

    double v = value / 255.0;
    const double t = (std::sin((v - 0.5) * std::numbers::pi) + 1) * k - v;
    v += sign * t * k;
    if (v < 0)
        v = 0;
    if (v > 1)
        v = 1;
    const long long scaled = static_cast<long long>(static_cast<int>(v * 255)) * brightness / 100;
    if (scaled < 0 || scaled > 255)
        return; // out of range: the colour stays
    int nr = r, ng = g, nb = b;
    if (hsv_to_rgb(h, s, static_cast<int>(scaled), nr, ng, nb)) {
        r = nr;
        g = ng;
        b = nb;
    }
}
