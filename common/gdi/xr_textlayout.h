// Word-wrapping text layout: breaks a text into lines that fit the width of
// a rectangle and places them from its top, left- or right-aligned, centred,
// or centred as a block both ways. XrFontTextLayout measures and draws with
// a font on a device context, optionally with a one-pixel halo.
#pragma once

#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"
#include "common/geometry/xr_point.h"
#include "common/gdi/xr_gdi.h"

template <class T>
class XrArray;
class XrTokenParser;

class XrTextLayout {
public:
    enum Mode {
        Left = 0,
        Right = 1,
        Centre = 2,
        CentreBlock = 3, // centred horizontally and vertically
    };

    enum Result {
        Ok = 0,
        Failed = 1,  // a measurement failed or the mode is unknown
        TooHigh = 2, // a centred block does not fit the rectangle's height
    };

    // What a layout covers: the total height (final y minus the top, every
    // line counted) and the rectangle of the lines placed inside.
    struct XrMeasurement {
        int height = 0;
        XrRectangle rect;
    };

    explicit XrTextLayout(const XrRectangle& rect);
    virtual ~XrTextLayout() = default;
    XrTextLayout(const XrTextLayout&) = delete;
    XrTextLayout& operator=(const XrTextLayout&) = delete;

    // The size of one line of text; false when it cannot be measured.
    virtual bool text_extent(const XrString& text, int& width, int& height) = 0;
    // Draws one line with its top-left corner at (x, y).
    virtual bool add_text(const XrString& text, int x, int y) = 0;

    // Lays the text out and draws it (a Result). extra_separators (may be
    // null) are further characters a line may break at.
    int draw(const XrString& text, const TCHAR* extra_separators, int mode);
    // The same layout without drawing, filling *bounds (may be null).
    int measure(const XrString& text, XrMeasurement* bounds, const TCHAR* extra_separators, int mode);

    // Centre a line even when it is wider than the rectangle.
    void set_centre_overflow(bool on) { m_centre_overflow = on; }

    // The next token: a word, or one separator character (pointing into
    // the parser or into this layout); null at the end of the text.
    const TCHAR* next_token(XrTokenParser& parser);

protected:
    int m_left;
    int m_top;
    int m_right;
    int m_bottom;

private:
    int layout(const XrString& text, const TCHAR* extra_separators, int mode);
    // Places one line at m_y and advances m_y; false when a measurement fails.
    bool place_line(XrString line, int mode);
    bool line_width(const XrString& line, int& width);

    TCHAR m_token[2] = {0, 0};
    XrMeasurement* m_bounds = nullptr;
    bool m_measure_only = false;
    bool m_centre_overflow = false;

    // State of the running layout.
    int m_y = 0;
    int m_line_height = 0;
    XrArray<XrString>* m_block = nullptr; // lines of a centred block
};

class XrFontTextLayout : public XrTextLayout {
public:
    // The font is not owned.
    XrFontTextLayout(XrFontHandleRec* font, const XrRectangle& rect);

    void set_dc(XrDCHandleRec* dc) { m_dc = dc; }
    // Draws every line on a one-pixel halo of halo_color, the text itself in
    // text_color.
    void set_halo(XrColorHandle halo_color, XrColorHandle text_color);

    bool text_extent(const XrString& text, int& width, int& height) override;
    bool add_text(const XrString& text, int x, int y) override;

private:
    XrFontHandleRec* m_font;
    XrDCHandleRec* m_dc = nullptr;
    bool m_halo = false;
    XrColorHandle m_halo_color = 0;
    XrColorHandle m_text_color = 0;
};
