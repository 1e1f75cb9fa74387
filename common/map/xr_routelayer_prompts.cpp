// XrRouteLayer: voice prompt choice, prompt sentences and playback. The word
// choices are pure functions (xr_prompts); the members feed them the layer's
// state and play what they build.
#include "common/map/xr_routelayer_prompts.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <vector>

#include "common/audio/xr_audioplayer.h"
#include "common/container/xr_simplearray.h"
#include "common/graph/xr_routemode.h"
#include "common/map/xr_routelayer.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_dirtree.h"
#include "common/os/xr_file.h"

namespace xr_prompts {

int to_yards(int metres)
{
    return static_cast<int>(metres * 1.0936133 + 0.5);
}

int spoken_distance(int units, int metres)
{
    return units == UNITS_METRIC ? metres : to_yards(metres);
}

int detect_units(int setting, bool set_exists, bool has_01mile, bool has_100y)
{
    if (setting == 0)
        return UNITS_METRIC;
    if (!set_exists)
        return setting;
    if (has_01mile)
        return UNITS_MILES;
    if (has_100y)
        return UNITS_YARDS;
    return UNITS_METRIC;
}

namespace {

struct Row {
    int bound; // last distance of the row; INT_MAX for the rest
    const TCHAR* name;
};

constexpr int rest = 0x7FFFFFFF;

const TCHAR* pick(const Row* rows, int value)
{
    for (const Row* r = rows;; ++r) {
        if (value <= r->bound)
            return r->name;
    }
}

constexpr Row metric_rows[] = {{149, L"100.wav"}, {249, L"200.wav"}, {349, L"300.wav"}, {449, L"400.wav"},
                               {699, L"500.wav"}, {1499, L"1km.wav"}, {2399, L"2km.wav"}, {rest, L"prepare.wav"}};
constexpr Row yard_rows[] = {{149, L"100y.wav"}, {249, L"200y.wav"}, {349, L"300y.wav"}, {449, L"400y.wav"},
                             {699, L"500y.wav"}, {1499, L"1ky.wav"}, {2399, L"1mile.wav"}, {rest, L"prepare.wav"}};
constexpr Row mile_rows[] = {{249, L"01mile.wav"}, {349, L"02mile.wav"}, {499, L"qmile.wav"}, {699, L"04mile.wav"},
                             {1499, L"hmile.wav"}, {2399, L"1mile.wav"}, {rest, L"prepare.wav"}};

constexpr Row metric_first_rows[] = {{149, L"100.wav"}, {249, L"200.wav"}, {349, L"300.wav"}, {449, L"400.wav"},
                                     {549, L"500.wav"}, {849, L"700.wav"}, {1499, L"1km.wav"}, {2399, L"2km.wav"},
                                     {rest, L"prepare.wav"}};
constexpr Row yard_first_rows[] = {{149, L"100y.wav"}, {249, L"200y.wav"}, {349, L"300y.wav"}, {449, L"400y.wav"},
                                   {549, L"500y.wav"}, {849, L"700y.wav"}, {1499, L"1ky.wav"}, {2399, L"1mile.wav"},
                                   {rest, L"prepare.wav"}};
constexpr Row mile_first_rows[] = {{249, L"01mile.wav"}, {349, L"02mile.wav"}, {499, L"qmile.wav"},
                                   {599, L"04mile.wav"}, {849, L"prepare.wav"}, {1499, L"hmile.wav"},
                                   {2399, L"1mile.wav"}, {rest, L"prepare.wav"}};

// The word of a left (or right) turn in the distance sentence.
const TCHAR* turn_word(const Directive& d, bool left)
{
    const int variant = turn_variant(d);
    if (variant == 1)
        return left ? L"left2.wav" : L"right2.wav";
    if (variant == 2)
        return left ? L"left3.wav" : L"right3.wav";
    const int code = code_of(d);
    if (left)
        return code == D_SLIGHT_LEFT ? L"sleft.wav" : L"left.wav";
    return code == D_SLIGHT_RIGHT ? L"sright.wav" : L"right.wav";
}

} // namespace

const TCHAR* distance_phrase(int units, int m, int u, bool quiet_below_100, bool quiet_below_350, bool first,
                             bool has_700, bool has_700y)
{
    if (m <= 49)
        return nullptr;
    if (m <= 99 && quiet_below_100)
        return nullptr;
    if (m <= 349 && quiet_below_350)
        return nullptr;
    if (units == UNITS_METRIC) {
        const TCHAR* name = pick(first ? metric_first_rows : metric_rows, m);
        return (first && !has_700 && wcscmp(name, L"700.wav") == 0) ? L"prepare.wav" : name;
    }
    if (units == UNITS_YARDS) {
        const TCHAR* name = pick(first ? yard_first_rows : yard_rows, u);
        return (first && !has_700y && wcscmp(name, L"700y.wav") == 0) ? L"prepare.wav" : name;
    }
    return pick(first ? mile_first_rows : mile_rows, u);
}

const TCHAR* approach_phrase(int units, const Directive& d, int m, int u, bool quiet_below_350, bool after_allowed,
                             int speed, bool approach_words)
{
    const TCHAR* phrase = distance_phrase(units, m, u, true, quiet_below_350, false, false, false);
    if (!approach_words)
        return phrase;
    const int margin = speed <= 10 ? 10 : speed <= 20 ? 30 : 50;
    if (word(d, 3) == 1)
        return word(d, 5) - word(d, 4) > 29 ? L"end.wav" : phrase;
    const int l = junction_distance(d);
    const int a = after_distance(d);
    if (word(d, 10) != 0 && l <= m)
        return phrase;
    if (after_allowed && a != 0 && a >= m && l + margin < m && l <= 49)
        return L"after.wav";
    if (l >= m && (word(d, 2) == 0 || word(d, 2) == -1))
        return L"next.wav";
    return phrase;
}

const TCHAR* lane_word(int code)
{
    switch (code) {
    case D_LANE_LEFT:
        return L"llane.wav";
    case D_LANE_RIGHT:
        return L"rlane.wav";
    case D_KEEP_LEFT:
        return L"keepl.wav";
    case D_KEEP_RIGHT:
        return L"keepr.wav";
    default:
        return nullptr;
    }
}

const TCHAR* motorway_exit_phrase(int units, int d, int u)
{
    if (units == UNITS_METRIC)
        return d < 450 ? L"400.wav" : d < 750 ? L"500.wav" : d < 1500 ? L"1km.wav" : L"2km.wav";
    if (units == UNITS_YARDS)
        return u < 450 ? L"400y.wav" : u < 750 ? L"500y.wav" : u < 1500 ? L"1ky.wav" : L"1mile.wav";
    return u < 550 ? L"qmile.wav" : u < 650 ? L"04mile.wav" : u < 1500 ? L"hmile.wav" : L"1mile.wav";
}

void build_turn_prompt(const Directive& d, XrPromptList& list, bool first, bool allow_variants, XrPromptState& s)
{
    const int code = code_of(d);
    switch (code) {
    case D_KEEP:
        if (!first)
            add(list, L"course.wav");
        return;
    case D_SLIGHT_LEFT:
    case D_LEFT:
    case D_LANE_TURN_LEFT:
    case D_SLIGHT_RIGHT:
    case D_RIGHT:
    case D_LANE_TURN_RIGHT: {
        const bool left = code == D_SLIGHT_LEFT || code == D_LEFT || code == D_LANE_TURN_LEFT;
        const int variant = turn_variant(d);
        if (variant == 1) {
            add(list, left ? L"left2.wav" : L"right2.wav");
        } else if (variant == 2) {
            add(list, left ? L"left3.wav" : L"right3.wav");
        } else if (code == D_SLIGHT_LEFT) {
            add(list, L"sleft.wav");
        } else if (code == D_SLIGHT_RIGHT) {
            add(list, L"sright.wav");
        } else if (allow_variants && s.has_herel2) {
            static const TCHAR* const lefts[] = {L"herel.wav", L"herel2.wav", L"herel.wav", L"herel3.wav"};
            static const TCHAR* const rights[] = {L"herer.wav", L"herer2.wav", L"herer.wav", L"herer3.wav"};
            static const int weights[] = {4000, 1000, 4000, 1000};
            add(list, choose_prompt(left ? lefts : rights, 4, weights, s.tick));
        } else {
            add(list, left ? L"herel.wav" : L"herer.wav");
        }
        return;
    }
    case D_UTURN:
        if (!s.uturn_announced)
            add(list, L"uturn.wav");
        s.uturn_announced = false;
        return;
    case D_MOTORWAY_EXIT_LEFT:
    case D_RAMP_LEFT:
        add(list, L"exitl.wav");
        return;
    case D_MOTORWAY_EXIT_RIGHT:
    case D_RAMP_RIGHT:
        add(list, L"exitr.wav");
        return;
    case D_ROUNDABOUT: {
        static const TCHAR* const exits[] = {L"1e.wav", L"2e.wav", L"3e.wav", L"4e.wav", L"5e.wav",
                                             L"6e.wav", L"7e.wav", L"8e.wav", L"9e.wav"};
        const int exit = roundabout_exit(d);
        if (exit <= 8) {
            add(list, L"tc.wav");
            add(list, exits[exit]);
        } else {
            add(list, L"prepare.wav");
            add(list, L"tc.wav");
        }
        return;
    }
    case D_ROUNDABOUT_EXIT:
        add(list, L"tcexit.wav");
        return;
    case D_LANE_LEFT:
    case D_LANE_RIGHT:
    case D_KEEP_LEFT:
    case D_KEEP_RIGHT:
        add(list, lane_word(code));
        return;
    default:
        return;
    }
}

void build_distance_prompt(const Directive& d, XrPromptList& list, int dist, bool only_with_distance,
                           bool quiet_below_350, bool enabled, XrPromptState& s)
{
    const int u = spoken_distance(s.units, dist);
    const int code = code_of(d);
    const bool exit_rule = s.exit_announcement && dist >= 451 && &d == s.current;
    const TCHAR* phrase = nullptr;
    const TCHAR* what = nullptr;
    auto approach = [&] {
        return approach_phrase(s.units, d, dist, u, quiet_below_350, s.has_after, s.speed, enabled);
    };
    switch (code) {
    case D_KEEP:
        if (junction_distance(d) < dist) {
            phrase = distance_phrase(s.units, dist, u, true, quiet_below_350, false, false, false);
            what = L"course.wav";
        }
        break;
    case D_SLIGHT_LEFT:
    case D_LEFT:
    case D_SLIGHT_RIGHT:
    case D_RIGHT:
        phrase = exit_rule ? distance_phrase(s.units, dist, u, true, quiet_below_350, true, s.has_700, s.has_700y)
                           : approach();
        if (phrase == nullptr && only_with_distance)
            return;
        what = turn_word(d, code == D_SLIGHT_LEFT || code == D_LEFT);
        break;
    case D_UTURN:
        what = L"uturn.wav";
        s.uturn_announced = true;
        break;
    case D_MOTORWAY_EXIT_LEFT:
    case D_MOTORWAY_EXIT_RIGHT:
        phrase = motorway_exit_phrase(s.units, dist, u);
        what = code == D_MOTORWAY_EXIT_LEFT ? L"exitl.wav" : L"exitr.wav";
        break;
    case D_RAMP_LEFT:
    case D_RAMP_RIGHT:
        phrase = distance_phrase(s.units, dist, u, true, false, false, false, false);
        if (phrase == nullptr && only_with_distance)
            return;
        what = code == D_RAMP_LEFT ? L"exitl.wav" : L"exitr.wav";
        break;
    case D_LANE_LEFT:
    case D_LANE_RIGHT:
    case D_KEEP_LEFT:
    case D_KEEP_RIGHT:
        what = lane_word(code);
        if (junction_distance(d) < dist) {
            phrase = approach();
        } else if (dist < 500 && only_with_distance) {
            s.announced_far = true;
        } else {
            phrase = distance_phrase(s.units, dist, u, true, quiet_below_350, false, false, false);
        }
        break;
    case D_LANE_TURN_LEFT:
    case D_LANE_TURN_RIGHT: {
        const bool left = code == D_LANE_TURN_LEFT;
        if (junction_distance(d) < dist)
            add(list, approach());
        add(list, left ? L"llane.wav" : L"rlane.wav");
        if (dist >= 151) {
            add(list, L"then.wav");
            add(list, left ? L"left.wav" : L"right.wav");
        }
        return;
    }
    default:
        return;
    }
    add(list, phrase);
    add(list, what);
}

void build_near_sentence(const Directive& d, const XrFollowUp& f, XrPromptList& list, XrPromptState& s,
                         bool& follow_up_spoken)
{
    const bool follow_speakable = is_speakable(f.next);
    const bool variants = !(f.close && follow_speakable);
    const int before = list.get_num_items();
    build_turn_prompt(d, list, true, variants, s);
    if (list.get_num_items() == before || !f.announced || !f.close || !follow_speakable)
        return;
    const bool then2 = f.chain && f.gap < 200 && word(*f.next, 3) != 1;
    add(list, then2 ? L"then2.wav" : L"then.wav");
    if (code_of(*f.next) == D_ROUNDABOUT)
        build_turn_prompt(*f.next, list, false, false, s);
    else
        build_distance_prompt(*f.next, list, f.gap, false, then2, false, s);
    if (f.gap < 200)
        follow_up_spoken = true;
}

void build_far_sentence(const Directive& d, int dist, const XrFollowUp& f, XrPromptList& list, XrPromptState& s)
{
    const int code = code_of(d);
    const bool keep_then_other = code == D_KEEP && f.next != nullptr && code_of(*f.next) != D_KEEP && f.gap < 200;
    const bool chained = f.next != nullptr && (keep_then_other || (f.close && f.chain));
    if (!chained) {
        build_distance_prompt(d, list, dist, true, false, true, s);
        return;
    }
    build_distance_prompt(d, list, dist, dist < 200, false, true, s);
    const int next_code = code_of(*f.next);
    if (next_code == 0 || next_code == D_DESTINATION || next_code == D_ROUNDABOUT)
        return;
    const bool then = f.gap > 199 || code == D_KEEP || word(*f.next, 3) == 1;
    add(list, then ? L"then.wav" : L"then2.wav");
    build_distance_prompt(*f.next, list, f.gap, false, !then, false, s);
}

const TCHAR* choose_prompt(const TCHAR* const* names, int count, const int* weights, std::uint32_t tick)
{
    if (count <= 0)
        return nullptr;
    std::uint32_t sum = 0;
    for (int i = 0; i < count; ++i)
        sum += weights != nullptr ? static_cast<std::uint32_t>(std::max(weights[i], 0)) : 2000u;
    if (sum == 0)
        return names[count - 1];
    const std::uint32_t pick = tick % sum;
    std::uint32_t running = 0;
    for (int i = 0; i < count; ++i) {
        running += weights != nullptr ? static_cast<std::uint32_t>(std::max(weights[i], 0)) : 2000u;
        if (running > pick)
            return names[i];
    }
    return names[count - 1];
}

bool is_arrival_prompt_name(const TCHAR* name)
{
    if (name == nullptr)
        return false;
    const std::size_t n = wcslen(name);
    if (n != 9 && n != 10)
        return false;
    auto same = [](const TCHAR* a, const TCHAR* b) {
        for (; *b != 0; ++a, ++b) {
            if (std::towlower(static_cast<wint_t>(*a)) != static_cast<wint_t>(*b))
                return false;
        }
        return true;
    };
    return same(name, L"dest") && (same(name + n - 4, L".wav") || same(name + n - 4, L".ogg"));
}

bool lead_in_due(const XrLeadInInput& in)
{
    if (in.current == nullptr)
        return false;
    const int code = code_of(*in.current);
    if (code == D_ROUNDABOUT_EXIT)
        return true;
    if (code == D_ROUNDABOUT && in.stored_before != nullptr && code_of(*in.stored_before) == D_ROUNDABOUT_EXIT &&
        in.distance + (word(*in.stored_before, 5) - word(*in.current, 5)) < 200)
        return true;
    if (code == D_UTURN && in.uturn_announced)
        return false;
    const int ahead = std::max(in.distance - std::max(in.speed * 5, 60), 0);
    if (in.near_distance > ahead && !in.announced_near)
        return true;
    if (in.announce_distance <= ahead)
        return false;
    if ((in.announced_far && ahead >= in.near_distance) || in.announced_near)
        return false;
    if (in.second_far_pending)
        return ahead > 250;
    return !in.chain_before || in.chain;
}

} // namespace xr_prompts

// ---------------------------------------------------------------- members

namespace {

using Directive = XrRouteInstructions::XrRouteDirective;

// A prompt of the voice set exists under any extension (WAV or its Ogg
// Vorbis twin).
bool prompt_exists(const XrString& path) { return file_exists_ignoring_extension(path.c_str()); }

bool directory_exists(const XrString& path)
{
    XrFileFinder finder;
    return !path.is_empty() && finder.open(path, XrFileFinder::FILES);
}

} // namespace

XrString XrRouteLayer::voice_path(const XrString& name) const
{
    return speaker.path(name);
}

void XrRouteLayer::fill_prompt_state(xr_prompts::XrPromptState& state) const
{
    const XrPromptSpeaker::XrVoiceFlags& flags = speaker.get_flags();
    state.units = prompt_units;
    state.has_after = flags.has_after;
    state.has_herel2 = flags.has_herel2;
    state.has_700 = flags.has_700;
    state.has_700y = flags.has_700y;
    state.speed = static_cast<int>(current_speed);
    state.exit_announcement = exit_announcement;
    state.current = current_directive;
    state.tick = now();
    state.uturn_announced = uturn_announced;
    state.announced_far = announced_far;
}

void XrRouteLayer::keep_prompt_state(const xr_prompts::XrPromptState& state)
{
    uturn_announced = state.uturn_announced;
    announced_far = state.announced_far;
}

int XrRouteLayer::detect_prompt_units()
{
    const int setting = host->get_distance_units();
    XrString folder = backslashes_to_slashes(speaker.get_root());
    folder += L'/';
    folder += backslashes_to_slashes(speaker.get_set());
    // Metric needs no look at the set.
    prompt_units = setting == 0 ? xr_prompts::detect_units(0, false, false, false)
                                : xr_prompts::detect_units(setting, directory_exists(folder),
                                                           prompt_exists(voice_path(XrString(L"01mile.wav"))),
                                                           prompt_exists(voice_path(XrString(L"100y.wav"))));
    return setting != 0 ? 1 : 0;
}

void XrRouteLayer::update_prompt_units(int units)
{
    display_units = units;
    detect_prompt_units();
    display_units = prompt_units;
}

const wchar_t* XrRouteLayer::choose_distance_prompt(int m, int u, bool quiet_below_100, bool quiet_below_350,
                                                    bool first_announcement, bool has_700_prompt,
                                                    bool has_700y_prompt)
{
    return xr_prompts::distance_phrase(prompt_units, m, u, quiet_below_100, quiet_below_350, first_announcement,
                                       has_700_prompt, has_700y_prompt);
}

const wchar_t* XrRouteLayer::choose_approach_prompt(const Directive* directive, int m, int u, bool quiet_below_350,
                                                    bool after_allowed, int speed, bool approach_words)
{
    if (directive == nullptr)
        return xr_prompts::distance_phrase(prompt_units, m, u, true, quiet_below_350, false, false, false);
    return xr_prompts::approach_phrase(prompt_units, *directive, m, u, quiet_below_350, after_allowed, speed,
                                       approach_words);
}

const wchar_t* XrRouteLayer::get_lane_prompt(int code)
{
    return xr_prompts::lane_word(code);
}

void XrRouteLayer::play_prompt_list(const XrPromptList& list)
{
    speaker.play_list(list, now());
}

void XrRouteLayer::play_prompts(const wchar_t* first, const wchar_t* second, const wchar_t* third)
{
    XrPromptList list(8, 8);
    xr_prompts::add(list, first);
    xr_prompts::add(list, second);
    xr_prompts::add(list, third);
    play_prompt_list(list);
}

void XrRouteLayer::build_turn_prompt(const Directive* directive, XrPromptList& list, bool first,
                                     bool allow_variants)
{
    if (directive == nullptr)
        return;
    xr_prompts::XrPromptState state;
    fill_prompt_state(state);
    xr_prompts::build_turn_prompt(*directive, list, first, allow_variants, state);
    keep_prompt_state(state);
}

void XrRouteLayer::build_distance_prompt(const Directive* directive, XrPromptList& list, int d,
                                         bool only_with_distance, bool quiet_below_350, bool enabled)
{
    if (directive == nullptr)
        return;
    xr_prompts::XrPromptState state;
    fill_prompt_state(state);
    xr_prompts::build_distance_prompt(*directive, list, d, only_with_distance, quiet_below_350, enabled, state);
    keep_prompt_state(state);
}

void XrRouteLayer::fill_follow_up(const Directive& directive, xr_prompts::XrFollowUp& follow) const
{
    follow.next = next_directive;
    follow.gap = next_directive != nullptr ? xr_prompts::word(*next_directive, 5) - xr_prompts::word(directive, 5) : 0;
    follow.close = close_follow_up;
    follow.announced = follow_up_announced;
    follow.chain = chain;
}

void XrRouteLayer::announce_near(const Directive* directive)
{
    if (directive == nullptr || options[OPTION_SPEAK_WAYPOINTS] == 0 || active_route == nullptr ||
        active_route->route_mode == ROUTE_MODE_PEDESTRIAN)
        return;
    xr_prompts::XrFollowUp follow;
    fill_follow_up(*directive, follow);
    xr_prompts::XrPromptState state;
    fill_prompt_state(state);
    XrPromptList list(8, 8);
    xr_prompts::build_near_sentence(*directive, follow, list, state, follow_up_spoken);
    keep_prompt_state(state);
    play_prompt_list(list);
}

void XrRouteLayer::announce_far(const Directive* directive, int distance)
{
    if (directive == nullptr || options[OPTION_SPEAK_WAYPOINTS] == 0 || active_route == nullptr ||
        active_route->route_mode == ROUTE_MODE_PEDESTRIAN || follow_up_spoken)
        return;
    uturn_announced = false;
    xr_prompts::XrFollowUp follow;
    fill_follow_up(*directive, follow);
    xr_prompts::XrPromptState state;
    fill_prompt_state(state);
    XrPromptList list(8, 8);
    xr_prompts::build_far_sentence(*directive, distance, follow, list, state);
    keep_prompt_state(state);
    play_prompt_list(list);
}

void XrRouteLayer::check_lead_in()
{
    if (!speaker.lead_in_allowed() || active_route == nullptr)
        return;
    const std::uint32_t t = now();
    if (speaker.is_playing()) {
        speaker.mark_busy(t);
        return;
    }
    xr_prompts::XrLeadInInput in;
    in.current = current_directive;
    in.stored_before = current_directive_index > 0
                           ? active_route->directives.get_item_ptr(current_directive_index - 1)
                           : nullptr;
    in.distance = directive_distance;
    in.speed = static_cast<int>(current_speed);
    in.near_distance = near_distance;
    in.announce_distance = announce_distance;
    in.announced_far = announced_far;
    in.announced_near = announced_near;
    in.uturn_announced = uturn_announced;
    in.second_far_pending = second_far_pending;
    in.chain = chain;
    in.chain_before = chain_before;
    if (!xr_prompts::lead_in_due(in))
        return;
    speaker.play_lead_in(t);
}

const wchar_t* XrRouteLayer::choose_prompt(const XrArray<XrString>& names, const XrArray<int>* weights)
{
    const int count = names.get_num_items();
    if (count == 0)
        return nullptr;
    const bool weighted = weights != nullptr && weights->get_num_items() >= count;
    std::vector<const TCHAR*> n;
    std::vector<int> wv;
    for (int i = 0; i < count; ++i) {
        n.push_back(names.get_item_ptr(i)->c_str());
        if (weighted)
            wv.push_back(*weights->get_item_ptr(i));
    }
    return xr_prompts::choose_prompt(n.data(), count, weighted ? wv.data() : nullptr, now());
}

const wchar_t* XrRouteLayer::choose_variant(const wchar_t* a, const wchar_t* b, const wchar_t* c, const wchar_t* d,
                                            int wa, int wb, int wc, int wd)
{
    const TCHAR* names[] = {a, b, c, d};
    const int weights[] = {wa, wb, wc, wd};
    const TCHAR* pick = xr_prompts::choose_prompt(names, 4, weights, now());
    for (const TCHAR* n : names) {
        if (n != nullptr && pick != nullptr && wcscmp(n, pick) == 0)
            return n;
    }
    return a;
}

bool XrRouteLayer::set_gps_present(bool present, bool speak)
{
    if (gps_present == present)
        return false;
    gps_present = present;
    if (!present) {
        gps_fix_valid = false;
        if (speak)
            play_prompts(L"nogps.wav", nullptr, nullptr);
    }
    update_gps_status();
    return true;
}

void XrRouteLayer::check_uturn()
{
    if (active_route == nullptr || guidance.get_state() != STATE_OFF_ROUTE || announced_far)
        return;
    if (odometer < 21.0 * units_per_metre)
        return;
    if (active_route->route_mode != ROUTE_MODE_PEDESTRIAN && options[OPTION_SPEAK_WAYPOINTS] != 0)
        play_prompts(L"uturn.wav", nullptr, nullptr);
    announced_far = true;
}
