#include "common/map/xr_safetyscreendrawer.h"

const XrSafetyScreenLayout& XrSafetyScreenLayout::for_width(int width)
{
    static const XrSafetyScreenLayout small = {
        XrPoint(525, 243), XrPoint(525, 295), XrPoint(517, 61), XrPoint(515, 60), XrPoint(645, 196),
        XrPoint(653, 259), XrPoint(653, 313), XrRectangle(540, 14, 653, 313), XrRectangle(620, 71, 648, 153),
        175, 81, 78,
        {L"?:/kestrova/images/route_01_half.png", L"?:/kestrova/images/route_02_half.png",
         L"?:/kestrova/images/route_03_half.png"}};
    static const XrSafetyScreenLayout large = {
        XrPoint(595, 302), XrPoint(595, 372), XrPoint(590, 94), XrPoint(597, 90), XrPoint(749, 242),
        XrPoint(746, 323), XrPoint(746, 392), XrRectangle(623, 30, 746, 392), XrRectangle(709, 102, 740, 187),
        203, 76, 71,
        {L"?:/kestrova/images/route_01.png", L"?:/kestrova/images/route_02.png", L"?:/kestrova/images/route_03.png"}};
    return width < LARGE_WIDTH ? small : large;
}

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
