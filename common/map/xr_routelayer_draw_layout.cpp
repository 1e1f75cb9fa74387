// Layout and text arithmetic of the route layer's drawing.
#include "common/map/xr_routelayer_draw.h"

#include <cmath>

#include "common/base/xr_singleton.h"
#include "common/base/xr_singletonref.h"
#include "common/misc/xr_locale_dummy.h"
#include "common/ui/fonts/xr_fontrepository.h"

namespace xr_routelayer {

XrString format_remaining_time(int minutes)
{
    XrString out;
    if (minutes <= 2) {
        out = L"<2 min";
        return out;
    }
    if (minutes <= 15) {
        out.format(32, L"%d min", minutes);
        return out;
    }
    const int rounded = (minutes + 2) / 5 * 5;
    if (minutes < 66)
        out.format(32, L"%d min", rounded);
    else
        out.format(32, L"%d h %d min", rounded / 60, rounded % 60);
    return out;
}

void parse_scheme_prefix(const XrString& text, int& start, int& index)
{
    const int len = text.length();
    const int c1 = len > 0 ? text.char_at(0) : 0;
    const int c2 = len > 1 ? text.char_at(1) : 0;
    const int d1 = c1 - 48;
    if (c2 == L'|') {
        index = d1 - 1;
        start = 2;
    } else {
        index = d1 * (c2 - 38) - 1;
        start = 3;
    }
    if (len < 2)
        index = 0;
    if (index < 0 || index > 19)
        index = 0;
    if (start > len)
        start = len;
}

namespace {

using U = XrDistance::XrDistanceUnit;
constexpr U M = XrDistance::Metres;
constexpr U KM = XrDistance::Kilometres;
constexpr U YD = XrDistance::Yards;
constexpr U FT = XrDistance::Feet;
constexpr U MI = XrDistance::Miles;

const XrScaleCandidate metric[] = {
    {5, M},    {10, M},   {20, M},   {30, M},  {50, M},  {75, M},  {100, M}, {150, M},
    {200, M},  {250, M},  {400, M},  {500, M}, {750, M}, {1, KM},  {2, KM},  {5, KM},
    {10, KM},  {20, KM},  {30, KM},  {50, KM}, {75, KM}, {100, KM}, {200, KM}, {250, KM},
};
const XrScaleCandidate yards[] = {
    {5, YD},    {10, YD},   {20, YD},   {30, YD},   {50, YD},  {75, YD},  {100, YD}, {150, YD},
    {200, YD},  {0.2f, MI}, {0.3f, MI}, {0.4f, MI}, {0.5f, MI}, {0.6f, MI}, {0.7f, MI}, {0.8f, MI},
    {1, MI},    {2, MI},    {3, MI},    {5, MI},    {8, MI},   {10, MI},  {15, MI},  {25, MI},
    {30, MI},   {40, MI},   {50, MI},   {75, MI},   {100, MI}, {150, MI}, {200, MI},
};
const XrScaleCandidate feet[] = {
    {5, FT},    {10, FT},   {20, FT},   {30, FT},   {50, FT},   {75, FT},   {100, FT},  {150, FT},
    {200, FT},  {250, FT},  {300, FT},  {400, FT},  {500, FT},  {750, FT},  {0.2f, MI}, {0.3f, MI},
    {0.4f, MI}, {0.5f, MI}, {0.6f, MI}, {0.7f, MI}, {0.8f, MI}, {1, MI},    {1.5f, MI}, {2, MI},
    {3, MI},    {5, MI},    {8, MI},    {10, MI},   {15, MI},   {25, MI},   {30, MI},   {40, MI},
    {50, MI},   {75, MI},   {100, MI},  {150, MI},  {200, MI},
};

} // namespace

const XrScaleCandidate* scale_bar_candidates(int units, int& count)
{
    if (units == XrDistance::YardsAndMiles) {
        count = static_cast<int>(std::size(yards));
        return yards;
    }
    if (units == XrDistance::FeetAndMiles) {
        count = static_cast<int>(std::size(feet));
        return feet;
    }
    count = static_cast<int>(std::size(metric));
    return metric;
}

double scale_candidate_metres(const XrScaleCandidate& c)
{
    double metres = 0;
    XrDistance(c.value, c.unit).get_value(metres, XrDistance::Metres);
    return metres;
}

double scale_metres_to_pixels(double metres, unsigned scale_value, int reference_units, int reference_pixels)
{
    if (scale_value == 0 || reference_units == 0)
        return 0;
    return metres * 1000.0 / scale_value * reference_pixels / reference_units;
}

int choose_scale_candidate(int units, double target_pixels, const std::function<double(double)>& to_pixels)
{
    int count = 0;
    const XrScaleCandidate* list = scale_bar_candidates(units, count);
    int best = 0;
    double best_gap = 0;
    for (int i = 0; i < count; ++i) {
        const double gap = std::fabs(to_pixels(scale_candidate_metres(list[i])) - target_pixels);
        if (i == 0 || gap < best_gap) {
            best = i;
            best_gap = gap;
        }
    }
    return best;
}

XrString scale_candidate_label(const XrScaleCandidate& c)
{
    const bool fraction = (c.unit == XrDistance::Kilometres || c.unit == XrDistance::Miles) &&
                          c.value != std::floor(c.value);
    return XrDistance(c.value, c.unit).to_string(c.unit, fraction ? 1 : 0);
}

int scale_bar_thickness(double factor)
{
    int t = static_cast<int>(4 * factor);
    if (t > 4 && (t & 1) != 0)
        ++t;
    return t;
}

double display_speed(double metres_per_second, int units)
{
    const double kmh = metres_per_second * 3.6;
    return units == XrDistance::Metric ? kmh : kmh / 1.609344;
}

const TCHAR* display_speed_unit(int units)
{
    return XrLocale::get_unit(units == XrDistance::Metric ? XrLocale::KilometresPerHour : XrLocale::MilesPerHour);
}

int alert_sign_icon(int kind, double speed_limit, int units, XrString& value_text)
{
    value_text.clear();
    switch (kind) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 11:
        if (!(speed_limit > 0))
            return -1;
        value_text.format(16, L"%.0lf", display_speed(speed_limit, units));
        return 8;
    case 5:
        return 18;
    case 6:
        return 14;
    case 7:
        return 15;
    case 9:
        value_text = L"2m";
        return 12;
    case 10:
        value_text = L"15t";
        return 8;
    case 12:
        return 7;
    case 13:
        return 16;
    default:
        return -1;
    }
}

int alert_value_offset(const XrString& value_text) { return value_text.length() < 3 ? 16 : 25; }

int turn_arrow_width_factor(unsigned scale_value)
{
    if (scale_value < 8000)
        return 8;
    if (scale_value < 16000)
        return 7;
    if (scale_value < 30000)
        return 6;
    if (scale_value < 50000)
        return 5;
    if (scale_value < 100000)
        return 4;
    return 3;
}

XrFontHandleRec* font_of(int context)
{
    static XrSingletonRef<XrFontRepository> fonts(L"XrFontRepository");
    XrFontRepository* repository = fonts.get();
    return repository != nullptr ? repository->get_font(context) : nullptr;
}

void draw_halo_text(XrDCHandleRec* dc, const XrString& text, int x, int y, XrColorHandle colour, XrColorHandle halo)
{
    if (text.is_empty())
        return;
    XrGDI::set_opaque_text(dc, false);
    XrGDI::set_text_color(dc, halo);
    XrGDI::draw_text(dc, text.c_str(), XrPoint(x, y));
    XrGDI::draw_text(dc, text.c_str(), XrPoint(x - 2, y - 2));
    XrGDI::set_text_color(dc, colour);
    XrGDI::draw_text(dc, text.c_str(), XrPoint(x - 1, y - 1));
}

int guidance_box_height(bool next_street, int distance_m, int screen_width, bool signpost)
{
    if (signpost)
        return 95;
    if (next_street && distance_m <= 1000)
        return screen_width < 690 ? 49 : 56;
    return 0;
}

} // namespace xr_routelayer
