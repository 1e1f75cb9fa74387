// The words of spoken guidance: distance phrases, approach and lane words,
// the sentences of an instruction and of its far and near announcements, the
// weighted choice among prompt variants and the arrival prompt names. Pure
// functions over a directive and the voice set's state; the route layer owns
// the state and plays what these build.
#pragma once

#include <cstdint>

#include "common/container/xr_array.h"
#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"
#include "common/graph/xr_routeinstructions.h"

// A prompt list: file names of one announcement, in speaking order.
typedef XrArray<XrString> XrPromptList;

namespace xr_prompts {

using Directive = XrRouteInstructions::XrRouteDirective;

// Unit systems of spoken and drawn distances.
enum : int { UNITS_METRIC = 0, UNITS_YARDS = 1, UNITS_MILES = 2 };

// Directive codes named here (the turn codes run 2 to 5 and 19, 20).
enum : int {
    D_KEEP = 1, D_SLIGHT_LEFT = 2, D_LEFT = 3, D_SLIGHT_RIGHT = 4, D_RIGHT = 5, D_UTURN = 6, D_DESTINATION = 7,
    D_MOTORWAY_EXIT_LEFT = 8, D_MOTORWAY_EXIT_RIGHT = 9, D_RAMP_LEFT = 10, D_RAMP_RIGHT = 11,
    D_ROUNDABOUT = 13, D_ROUNDABOUT_EXIT = 14, D_LANE_LEFT = 15, D_LANE_RIGHT = 16, D_KEEP_LEFT = 17,
    D_KEEP_RIGHT = 18, D_LANE_TURN_LEFT = 19, D_LANE_TURN_RIGHT = 20,
};

// Appends a name to a list; a null name is left out.
inline void add(XrPromptList& list, const TCHAR* name)
{
    if (name != nullptr)
        list.append(XrString(name));
}

// Word n (1 to 11) of a directive.
inline int word(const Directive& d, int n)
{
    return static_cast<int>(d.words[n - 1]);
}
inline int code_of(const Directive& d)
{
    return word(d, 1);
}
// The road count that picks the "2" and "3" turn words (word 2 of a turn).
inline int turn_variant(const Directive& d)
{
    return word(d, 2);
}
// The exit number of a roundabout entry (bits 0-15 of word 2).
inline int roundabout_exit(const Directive& d)
{
    return static_cast<int>(d.words[1] & 0xFFFFu);
}
// Distance from the instruction back to the nearest side road (word 8) and
// to the second one (word 9); 0 = none.
inline int junction_distance(const Directive& d)
{
    return word(d, 8);
}
inline int after_distance(const Directive& d)
{
    return word(d, 9);
}
// A directive that the near announcement may chain: not "no instruction",
// not the destination.
inline bool is_speakable(const Directive* d)
{
    return d != nullptr && code_of(*d) != 0 && code_of(*d) != D_DESTINATION;
}

// Metres as whole yards (rounded).
int to_yards(int metres);
// The spoken-unit distance of m metres: m in metric units, else yards.
int spoken_distance(int units, int metres);

// The prompt units for a voice set: metric when the settings ask for metric
// (setting 0); the setting itself when the set's folder does not exist;
// otherwise miles with "01mile", yards with "100y", else metric.
int detect_units(int setting, bool set_exists, bool has_01mile, bool has_100y);

// The distance phrase for m metres (u in spoken units), or null.
const TCHAR* distance_phrase(int units, int m, int u, bool quiet_below_100, bool quiet_below_350, bool first,
                             bool has_700, bool has_700y);
// The distance phrase, or "after", "next" or "end" from the directive's side
// roads and the speed (m/s, truncated).
const TCHAR* approach_phrase(int units, const Directive& d, int m, int u, bool quiet_below_350, bool after_allowed,
                             int speed, bool approach_words);
// "llane", "rlane", "keepl" or "keepr" for codes 15 to 18, else null.
const TCHAR* lane_word(int code);
// The distance phrase before a motorway exit (codes 8 and 9).
const TCHAR* motorway_exit_phrase(int units, int d, int u);

// What the sentence builders read and change of the route layer.
struct XrPromptState {
    int units = UNITS_METRIC;
    bool has_after = false;
    bool has_herel2 = false;
    bool has_700 = false;
    bool has_700y = false;
    int speed = 0;                   // m/s, truncated
    bool exit_announcement = false;  // the exit rule applies to the current instruction
    const Directive* current = nullptr;
    std::uint32_t tick = 0;          // drives the choice among variants
    // Changed by the builders:
    bool uturn_announced = false;
    bool announced_far = false;
};

// Appends the sentence said at the instruction itself.
void build_turn_prompt(const Directive& d, XrPromptList& list, bool first, bool allow_variants, XrPromptState& s);
// Appends the sentence said d metres before the instruction.
void build_distance_prompt(const Directive& d, XrPromptList& list, int dist, bool only_with_distance,
                           bool quiet_below_350, bool enabled, XrPromptState& s);

// The chaining state of the instruction after the current one.
struct XrFollowUp {
    const Directive* next = nullptr; // the directive after the current one
    int gap = 0;                     // metres between the two instructions
    bool close = false;
    bool announced = false;
    bool chain = false;
    bool spoken = false;             // set by the near sentence when the gap is short
};

// The near announcement: the turn sentence, chained with "then" and the
// next instruction when that follows closely.
void build_near_sentence(const Directive& d, const XrFollowUp& f, XrPromptList& list, XrPromptState& s,
                         bool& follow_up_spoken);
// The far announcement at dist metres: the distance sentence, chained with
// "then" for a keep followed closely or a close follow-up with chaining.
void build_far_sentence(const Directive& d, int dist, const XrFollowUp& f, XrPromptList& list, XrPromptState& s);

// Weighted choice: the name whose running weight sum first exceeds
// tick % (sum of weights); every name weighs 2000 without weights. Null for
// an empty list; the last name when nothing is found.
const TCHAR* choose_prompt(const TCHAR* const* names, int count, const int* weights, std::uint32_t tick);

// An arrival prompt file name: "dest", then one or two characters, then
// ".wav" or ".ogg" (case ignored).
bool is_arrival_prompt_name(const TCHAR* name);

// Inputs of the lead-in test ("delay" before a prompt that is about to come).
struct XrLeadInInput {
    const Directive* current = nullptr;
    const Directive* stored_before = nullptr; // the next directive to be driven after it
    int distance = 0;      // metres to the current instruction
    int speed = 0;         // m/s, truncated
    int near_distance = 0;
    int announce_distance = 0;
    bool announced_far = false;
    bool announced_near = false;
    bool uturn_announced = false;
    bool second_far_pending = false;
    bool chain = false;
    bool chain_before = false; // its value at the previous fix
};
// True when the lead-in is due for a player that is idle.
bool lead_in_due(const XrLeadInInput& in);

} // namespace xr_prompts
