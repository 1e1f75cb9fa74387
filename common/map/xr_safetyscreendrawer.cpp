#include "common/map/xr_safetyscreendrawer.h"

void XrSafetyScreenDrawer::draw_distance_bars(XrDCHandleRec* dc, const XrRectangle& rect, const XrDistance& distance,
                                              int gap, int corner_radius)
{
    if (dc == nullptr)
        return;
    double value = NO_DISTANCE;
    if (!distance.get_value(value, units == 0 ? XrDistance::Metres : XrDistance::Yards))
        value = NO_DISTANCE;
    const int bar = (rect.bottom - rect.top - BAR_COUNT * gap) / BAR_COUNT;
    for (int i = 0; i < BAR_COUNT; ++i) {
        const bool bright = value <= LIGHT_DISTANCE && value >= THRESHOLDS[i];
        const int r = bright ? 255 : 100;
        XrGDI::select_pen(dc, XrGDI::create_pen(XrGDI::PenSolid, 1, r, 0, 0));
        XrGDI::select_brush(dc, XrGDI::create_brush(XrGDI::BrushSolid, r, 0, 0));
        const int top = rect.top + (BAR_COUNT - 1 - i) * (bar + gap);
        XrGDI::draw_round_rect(dc, rect.left, top, rect.right, top + bar, 1, corner_radius);
    }
}
