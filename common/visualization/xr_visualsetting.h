// XrVisualSetting: the style sheet of the map. Reads one key of a
// configuration into pens, brushes, fonts, line, polygon and text styles per
// scale range, drawable symbols and the theme colours:
//
//   <key>\themes\<n>          contrast, brightness, txt_halo, map_bg_color
//   <key>\themes\<n>\pens     <index>=r,g,b,SOLID|DASH|DOT|DASHDOT
//   <key>\themes\<n>\brushes  <index>=r,g,b,SOLID|NULL|HATCH_...
//   <key>\themes\<n>\fonts    1|2|3=r,g,b
//   <key>\scales              <any>=low,high  (one scale range per value)
//   <key>\lines               <id>=outer pen,inner pen,value,...   (per scale index)
//   <key>\polygons            <id>=pen,brush,...                   (per scale index)
//   <key>\texts               <id>=font,...                        (per scale index)
//   <key>\symbols             <id>=library,code,pen,brush,...,scales,factor,...
#pragma once

#include <cstdint>

#include "common/config/xr_configuration.h"
#include "common/container/xr_bytearray.h"
#include "common/container/xr_hash.h"
#include "common/container/xr_ptrarray.h"
#include "common/gdi/xr_gdi.h"

class XrDrawableSymbol;
class XrPalette;
class XrSymbolLibrary;

class XrVisualSetting {
public:
    // A pen with the 8-bit channels of its (theme-adjusted) colour.
    struct XrPenEntry {
        XrPenHandle pen;
        std::uint8_t r;
        std::uint8_t g;
        std::uint8_t b;
    };

    // A font of the text styles: palette colour and repository font (not owned).
    struct XrFontData {
        XrColorHandle color;
        XrFontHandleRec* font;
    };

    // A style: its first record (a byte offset into the record array for
    // lines and polygons, an index into the font entries for texts) and the
    // number of its records, one per scale index.
    struct XrLineInfo {
        int first = 0;
        int count = 0;
    };
    typedef XrLineInfo XrPolygonInfo;
    typedef XrLineInfo XrFontInfo;

    // A scale range, bounds included.
    struct XrScaleRange {
        std::uint32_t low;
        std::uint32_t high;
    };

    XrVisualSetting();
    virtual ~XrVisualSetting();
    XrVisualSetting(const XrVisualSetting&) = delete;
    XrVisualSetting& operator=(const XrVisualSetting&) = delete;

    // Reads the style sheet below the configuration's current key (which is
    // current again afterwards). theme may be null (theme "0"). 0 on
    // success; 1 at the first missing key or malformed section, keeping
    // what was read before it.
    int read(XrConfiguration& config, XrPalette& palette, const XrPtrArray<XrSymbolLibrary*>& libraries,
             const int* theme);

    // The colours a theme gives the map.
    struct XrThemeColors {
        XrColorHandle background = 0; // "map_bg_color"
        XrColorHandle text_halo = 0;  // "txt_halo"
    };

    // Applies a theme: the style sheet is read again below the
    // configuration's current key with that theme (so line records point
    // into the new pen table and polygon records copy the new pens and
    // brushes), its symbols from the libraries of the last read (which the
    // symbols need anyway). colors (may be null) receive the theme's map
    // colours; applied the theme whose key was read: theme, 0 when that key
    // is missing, -1 when "0" is missing too. The result is read's.
    int read_themes(int theme, XrPalette& palette, XrConfiguration& config, XrThemeColors* colors, int& applied);
    // The theme of the last read (as read_themes' applied).
    int get_theme() const { return m_theme; }

    // Section readers: false when the section's key is missing or a value is
    // malformed. Each restores the configuration's current key.
    bool read_pens(XrConfiguration& config, XrPalette& palette);
    bool read_brushes(XrConfiguration& config, XrPalette& palette);
    bool read_fonts(XrConfiguration& config, XrPalette& palette);
    bool read_scales(XrConfiguration& config, XrPalette& palette);
    bool read_lines(XrConfiguration& config, XrPalette& palette);
    bool read_polygons(XrConfiguration& config, XrPalette& palette);
    bool read_texts(XrConfiguration& config, XrPalette& palette);
    bool read_symbols(XrConfiguration& config, XrPalette& palette, const XrPtrArray<XrSymbolLibrary*>& libraries);

    // The index of the first scale range holding the scale; else the range
    // with the largest high bound; -1 when there are no ranges.
    int get_scale_index(std::uint32_t scale) const;

    // Style lookups: 0 when found, 1 when the style or its scale index is
    // missing (pens, brushes and fonts null then).
    int get_line_info(short style, int scale_index, XrPenHandle& outer, XrPenHandle& inner, short& value) const;
    int get_line_colors(short style, int scale_index, int& r1, int& g1, int& b1, int& r2, int& g2, int& b2,
                        short& value) const;
    int get_polygon_info(short style, int scale_index, XrBrushHandle& brush, XrPenHandle& pen) const;
    // A style's entry may have no font: 0 with a null font then. The style
    // comes first and the two must be passed as these types: any other pair
    // (such as a scale index first) does not compile.
    int get_font_info(short style, int scale_index, XrFontHandleRec*& font, XrColorHandle& color) const;
    template <class Style, class ScaleIndex>
    int get_font_info(Style, ScaleIndex, XrFontHandleRec*&, XrColorHandle&) const = delete;
    XrDrawableSymbol* get_symbol(short id) const;

    // Theme values read by the map engine.
    const XrPenHandle& get_background_pen() const { return m_bg_pen; }
    const XrBrushHandle& get_background_brush() const { return m_bg_brush; }
    XrColorHandle get_text_halo_color() const { return m_text_halo; }
    int get_contrast() const { return m_contrast; }
    int get_brightness() const { return m_brightness; }

    int get_pen_count() const { return m_pen_count; }
    int get_brush_count() const { return m_brush_count; }
    int get_font_count() const { return m_font_count; }
    int get_scale_count() const { return m_scale_count; }

    // The theme adjustment of a colour (channels 0-255) by contrast and
    // brightness in percent; nothing changes when contrast is 0.
    static void adjust_color(int contrast, int brightness, int& r, int& g, int& b);

    // Empties the style sheet.
    void clear();

private:
    struct XrLineRecord {
        const XrPenEntry* outer;
        const XrPenEntry* inner;
        short value;
    };
    struct XrPolygonRecord {
        XrBrushHandle brush;
        XrPenHandle pen;
    };

    class XrSymbolTable : public XrHash<short, XrDrawableSymbol*> {
    public:
        XrSymbolTable() : XrHash<short, XrDrawableSymbol*>(30, false, 80) {}
        ~XrSymbolTable() override { clear(); }

    protected:
        void free_item(short* key, XrDrawableSymbol** value) override;
    };

    // Enters value under key, replacing an entry of the same key.
    template <class T>
    static bool put(XrHash<short, T>& table, short key, const T& value);
    bool line_record(short style, int scale_index, XrLineRecord& out) const;
    bool polygon_record(short style, int scale_index, XrPolygonRecord& out) const;
    void theme_color(int& r, int& g, int& b) const;

    XrSymbolTable m_symbols;
    XrByteArray m_polygon_records;
    XrHash<short, XrPolygonInfo> m_polygons;
    XrPtrArray<XrFontData*> m_font_entries;
    XrHash<short, XrFontInfo> m_texts;
    XrHash<short, XrLineInfo> m_lines;
    XrByteArray m_line_records;
    XrFontData* m_fonts = nullptr;
    int m_font_count = 0;
    XrPenEntry* m_pens = nullptr;
    int m_pen_count = 0;
    XrBrushHandle* m_brushes = nullptr;
    int m_brush_count = 0;
    XrScaleRange* m_scales = nullptr;
    int m_scale_count = 0;
    int m_contrast = 0;
    int m_brightness = 0;
    XrColorHandle m_text_halo;
    XrPenHandle m_bg_pen;
    XrBrushHandle m_bg_brush;
    XrColorHandle m_bg_color = 0;
    int m_theme = -1;
    // The symbol libraries of the last read (not owned; they outlive the
    // symbols that point into them), for read_themes.
    XrPtrArray<XrSymbolLibrary*> m_libraries;
};
