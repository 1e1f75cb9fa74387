// XrRouteLayer: voice prompt choice, prompt sentences and playback.
// Placeholders until the prompts land.
#include "common/map/xr_routelayer.h"

int XrRouteLayer::detect_prompt_units()
{
    prompt_units = UNITS_METRIC;
    return 0;
}

void XrRouteLayer::update_prompt_units(int units)
{
    display_units = units;
    detect_prompt_units();
    display_units = prompt_units;
}

const wchar_t* XrRouteLayer::choose_distance_prompt(int /*m*/, int /*u*/, bool /*quiet_below_100*/,
                                                    bool /*quiet_below_350*/, bool /*first_announcement*/,
                                                    bool /*has_700*/, bool /*has_700y*/)
{
    return nullptr;
}

const wchar_t* XrRouteLayer::choose_approach_prompt(const XrRouteInstructions::XrRouteDirective* /*directive*/,
                                                    int /*m*/, int /*u*/, bool /*quiet_below_350*/,
                                                    bool /*after_allowed*/, int /*speed*/, bool /*approach_words*/)
{
    return nullptr;
}

const wchar_t* XrRouteLayer::get_lane_prompt(int /*code*/) { return nullptr; }

void XrRouteLayer::play_prompt_list(const XrPromptList& /*list*/) {}

void XrRouteLayer::play_prompts(const wchar_t* /*first*/, const wchar_t* /*second*/, const wchar_t* /*third*/) {}

void XrRouteLayer::build_turn_prompt(const XrRouteInstructions::XrRouteDirective* /*directive*/,
                                     XrPromptList& /*list*/, bool /*first*/, bool /*allow_variants*/)
{
}

void XrRouteLayer::build_distance_prompt(const XrRouteInstructions::XrRouteDirective* /*directive*/,
                                         XrPromptList& /*list*/, int /*d*/, bool /*only_with_distance*/,
                                         bool /*quiet_below_350*/, bool /*enabled*/)
{
}

void XrRouteLayer::announce_near(const XrRouteInstructions::XrRouteDirective* /*directive*/) {}

void XrRouteLayer::announce_far(const XrRouteInstructions::XrRouteDirective* /*directive*/, int /*distance*/) {}

void XrRouteLayer::check_lead_in() {}

void XrRouteLayer::collect_arrival_prompts() { arrival_prompts.remove_all(); }

const wchar_t* XrRouteLayer::choose_prompt(const XrArray<XrString>& /*names*/, const XrArray<int>* /*weights*/)
{
    return nullptr;
}

const wchar_t* XrRouteLayer::choose_variant(const wchar_t* a, const wchar_t* /*b*/, const wchar_t* /*c*/,
                                            const wchar_t* /*d*/, int /*wa*/, int /*wb*/, int /*wc*/, int /*wd*/)
{
    return a;
}

bool XrRouteLayer::set_gps_present(bool present, bool /*speak*/)
{
    if (gps_present == present)
        return false;
    gps_present = present;
    return true;
}

void XrRouteLayer::check_uturn() {}
