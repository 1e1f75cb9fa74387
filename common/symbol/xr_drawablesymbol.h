// A symbol's drawing program bound to pens and brushes and to one scale
// factor per scale index, drawn at a point with a rotation.
#pragma once

#include <cstdint>

#include "common/container/xr_array.h"
#include "common/gdi/xr_gdi.h"
#include "common/geometry/xr_point.h"
#include "common/symbol/xr_symbollayout.h"

class XrMapView;

// What the symbol renderer selected last: the pair indices of its brush and
// pen (NO_INDEX: none) and the brush. Drawing records it and still selects
// every pair a program asks for, so a stale record never leaves a wrong pen.
struct XrSymbolDrawState {
    static constexpr std::uint8_t NO_INDEX = 255;
    std::uint8_t brush_index = NO_INDEX;
    std::uint8_t pen_index = NO_INDEX;
    XrBrushHandle brush{};
};

// The renderer's state, shared by all symbols (main thread only).
const XrSymbolDrawState& get_symbol_draw_state();
// Called before a layer draws and after other drawing between symbols:
// both indices become NO_INDEX and the brush the hollow stock brush.
void reset_draw_state();

class XrDrawableSymbol {
public:
    // Command codes of a drawing program (the layout is in xr_symbollayout.h).
    enum Command {
        END = xr_symbol_layout::CMD_END,
        POLYLINE = xr_symbol_layout::CMD_POLYLINE,
        POLYGON = xr_symbol_layout::CMD_POLYGON, // filled
        ELLIPSE = xr_symbol_layout::CMD_ELLIPSE,
        FILLED_ELLIPSE = xr_symbol_layout::CMD_FILLED_ELLIPSE,
        SELECT = xr_symbol_layout::CMD_SELECT,
    };
    // A SELECT index that keeps the current brush or pen.
    static constexpr std::uint16_t KEEP = xr_symbol_layout::KEEP;

    struct XrBrPenInfo {
        XrBrushHandle brush{};
        XrPenHandle pen{};
    };

    // Pairs brush i with pen i (the counts must match); the program is not
    // owned and must outlive the symbol.
    XrDrawableSymbol(const XrBrushHandle* brushes, int num_br, const XrPenHandle* pens, int num_pn, bool flag,
                     const double* scales, int num_scales, const BYTE* program, int length);
    ~XrDrawableSymbol() = default;
    XrDrawableSymbol(const XrDrawableSymbol&) = delete;
    XrDrawableSymbol& operator=(const XrDrawableSymbol&) = delete;

    // Draws at (x, y) rotated by angle degrees with the factor of the scale
    // index; nothing without a factor or with factor 0. view is not used.
    void draw(XrDCHandleRec* dc, int x, int y, int angle, int scale_index, XrMapView* view);
    // The box around the four rotated and scaled corners of the bounding box.
    XrRectangle get_screen_bbox(int angle, int scale_index) const;
    void get_screen_bbox(int angle, int scale_index, XrRectangle& out) const { out = get_screen_bbox(angle, scale_index); }
    // The bounding box of the program in symbol units.
    const XrRectangle& get_bbox() const { return m_bbox; }
    bool get_flag() const { return m_flag; }

    // The length of the sound head of a program: commands are walked up to
    // an END, the end of the data, a command cut short or an unknown code.
    // ok is false in the last two cases.
    static int check_program(const BYTE* program, int length, bool& ok);

private:
    void calc_bbox();
    // The scale factor of the index, 0 when there is none.
    float scale_of(int scale_index) const;

    XrArray<XrBrPenInfo> m_pairs;
    XrArray<XrPoint> m_points; // the points of the command being drawn
    XrArray<float> m_scales;
    const BYTE* m_program;
    int m_length; // the sound head of the program
    bool m_flag;
    XrRectangle m_bbox;
};
