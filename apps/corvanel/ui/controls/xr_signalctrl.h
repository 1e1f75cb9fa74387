// What the GPS receiver sees: a sky plot of the satellites in view (one
// numbered box per satellite at its elevation and azimuth) above a chart of
// up to twelve signal bars, strongest first; satellites used in the fix are
// green, the others grey. Reads the position provider when it draws.
#pragma once

#include <vector>

#include "common/bmloader/xr_bitmap.h"
#include "common/gdi/xr_gdi.h"
#include "common/types/xr_positioninfo.h"
#include "common/ui/controls/xr_controlbase.h"

class XrSatellitePositions {
public:
    // Icon ids of the backgrounds without and with a fix; -1 for none.
    XrSatellitePositions(int no_fix_icon, int fix_icon);
    virtual ~XrSatellitePositions() = default;

    void set_center(const XrPoint& center) { m_cx = center.x; m_cy = center.y; }
    // The fix background's height.
    int get_height();
    // With snr_fill the used satellites' boxes show their signal as a green
    // part growing from the bottom.
    void draw(XrDCHandleRec& dc, bool snr_fill);

    // Where a satellite's box is centred, for a plot of radius r.
    static XrPoint satellite_point(int cx, int cy, int r, const XrSVData& sv);
    // The green height of a box whose inner height is inner_height.
    static int snr_fill_height(int snr, int inner_height);

private:
    int m_cx = 0;
    int m_cy = 0;
    XrBitmap m_no_fix_background;
    XrBitmap m_fix_background;
};

class XrSignalStrengthIndicator {
public:
    static constexpr int kBars = 12;

    // Icon id of the picture at the left of the bars; -1 for none.
    explicit XrSignalStrengthIndicator(int icon);
    virtual ~XrSignalStrengthIndicator() = default;

    void set_rect(const XrRectangle& rect) { m_rect = rect; }
    void set_text_color(XrColorHandle color) { m_text_color = color; }
    // The height with the satellite numbers under the bars.
    int get_height();
    // The height of the bar area alone.
    int get_min_height();
    void draw(XrDCHandleRec& dc, bool numbers, bool mirrored);

    // The height of a bar of a satellite with that ratio (absent: nullptr)
    // when a full bar is full_height high.
    static int bar_height(const XrSVData* sv, int full_height);
    // The satellites in view, strongest first.
    static std::vector<const XrSVData*> sorted_by_snr(const XrStaticArray<XrSVData>& satellites);

private:
    XrBitmap m_icon;
    XrRectangle m_rect;
    XrColorHandle m_text_color;
};

class XrSignalCtrl : public XrControlBase {
public:
    // The control, constructed; the caller owns it.
    static XrSignalCtrl* create();
    ~XrSignalCtrl() override;

    // Makes the off-screen context of the control's size.
    void size_changed() override;
    // The context the off-screen one is made like (not owned); without one,
    // the map window's.
    void set_reference_dc(XrDCHandleRec* dc) { m_reference = dc; }
    // Draws into target at the control's rectangle.
    void draw(XrDCHandleRec* target);
    void set_background(const XrBitmap& bitmap) { m_background = bitmap; }
    void set_text_color(XrColorHandle color) { m_text_color = color; }

private:
    XrSignalCtrl();
    void construct();

    XrBitmap m_background;
    XrSatellitePositions* m_sky = nullptr;
    XrSignalStrengthIndicator* m_bars = nullptr;
    XrDCHandleRec* m_dc = nullptr;
    XrDCHandleRec* m_reference = nullptr;
    XrColorHandle m_text_color;
};

// Whether number is among the satellites used in the fix.
bool xr_satellite_used(const XrStaticArray<int>& used, int number);
