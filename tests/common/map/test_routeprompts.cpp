// Word choices and sentences of spoken guidance.
#include "common/map/xr_routelayer_prompts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace xr_prompts;

namespace {

std::string narrow(const TCHAR* w)
{
    if (w == nullptr)
        return "-";
    std::string s;
    for (; *w != 0; ++w)
        s += static_cast<char>(*w);
    return s;
}

std::string join(const XrPromptList& list)
{
    std::string out;
    for (int i = 0; i < list.get_num_items(); ++i) {
        if (!out.empty())
            out += ' ';
        std::string n = narrow(list.get_item_ptr(i)->c_str());
        out += n.substr(0, n.size() - 4); // without ".wav"
    }
    return out;
}

// A directive: code, word 2, word 3, words 4 and 5, word 8 (L), word 9 (A),
// flag byte.
Directive dir(int code, int w2 = 0, int w3 = 0, int w4 = 0, int w5 = 0, int l = 0, int a = 0, int flag = 0)
{
    Directive d;
    d.words[0] = static_cast<std::uint32_t>(code);
    d.words[1] = static_cast<std::uint32_t>(w2);
    d.words[2] = static_cast<std::uint32_t>(w3);
    d.words[3] = static_cast<std::uint32_t>(w4);
    d.words[4] = static_cast<std::uint32_t>(w5);
    d.words[7] = static_cast<std::uint32_t>(l);
    d.words[8] = static_cast<std::uint32_t>(a);
    d.words[9] = static_cast<std::uint32_t>(flag);
    return d;
}

struct PhraseCase {
    int units;
    int m;
    bool quiet100, quiet350, first, has700, has700y;
    const char* want;
};

TEST(RoutePrompts, DistancePhraseTables)
{
    const PhraseCase cases[] = {
        // Quiet ranges.
        {UNITS_METRIC, 49, false, false, false, false, false, "-"},
        {UNITS_METRIC, 50, false, false, false, false, false, "100.wav"},
        {UNITS_METRIC, 99, true, false, false, false, false, "-"},
        {UNITS_METRIC, 100, true, false, false, false, false, "100.wav"},
        {UNITS_METRIC, 349, true, true, false, false, false, "-"},
        {UNITS_METRIC, 350, true, true, false, false, false, "400.wav"},
        // Metric, regular table: every bound.
        {UNITS_METRIC, 149, true, false, false, false, false, "100.wav"},
        {UNITS_METRIC, 150, true, false, false, false, false, "200.wav"},
        {UNITS_METRIC, 250, true, false, false, false, false, "300.wav"},
        {UNITS_METRIC, 449, true, false, false, false, false, "400.wav"},
        {UNITS_METRIC, 699, true, false, false, false, false, "500.wav"},
        {UNITS_METRIC, 700, true, false, false, false, false, "1km.wav"},
        {UNITS_METRIC, 1499, true, false, false, false, false, "1km.wav"},
        {UNITS_METRIC, 1500, true, false, false, false, false, "2km.wav"},
        {UNITS_METRIC, 2399, true, false, false, false, false, "2km.wav"},
        {UNITS_METRIC, 2400, true, false, false, false, false, "prepare.wav"},
        // Metric, first announcement.
        {UNITS_METRIC, 549, true, false, true, true, false, "500.wav"},
        {UNITS_METRIC, 600, true, false, true, true, false, "700.wav"},
        {UNITS_METRIC, 600, true, false, true, false, true, "prepare.wav"},
        {UNITS_METRIC, 849, true, false, true, true, false, "700.wav"},
        {UNITS_METRIC, 850, true, false, true, true, false, "1km.wav"},
        // Yards (u compared): 600 m = 656 yd, 900 m = 984 yd, 2200 m = 2406 yd.
        {UNITS_YARDS, 100, true, false, false, false, false, "100y.wav"},
        {UNITS_YARDS, 600, true, false, false, false, false, "500y.wav"},
        {UNITS_YARDS, 900, true, false, false, false, false, "1ky.wav"},
        {UNITS_YARDS, 2000, true, false, false, false, false, "1mile.wav"},
        {UNITS_YARDS, 2200, true, false, false, false, false, "prepare.wav"},
        {UNITS_YARDS, 600, true, false, true, false, true, "700y.wav"},
        {UNITS_YARDS, 600, true, false, true, true, false, "prepare.wav"},
        // Miles: 480 m = 525 yd; 560 m = 612 yd; 700 m = 766 yd; 1000 m = 1094 yd.
        {UNITS_MILES, 200, true, false, false, false, false, "01mile.wav"},
        {UNITS_MILES, 300, true, false, false, false, false, "02mile.wav"},
        {UNITS_MILES, 400, true, false, false, false, false, "qmile.wav"},
        {UNITS_MILES, 480, true, false, false, false, false, "04mile.wav"},
        {UNITS_MILES, 1000, true, false, false, false, false, "hmile.wav"},
        {UNITS_MILES, 480, true, false, true, false, false, "04mile.wav"},
        {UNITS_MILES, 560, true, false, true, true, true, "prepare.wav"},
        {UNITS_MILES, 700, true, false, true, true, true, "prepare.wav"},
        {UNITS_MILES, 1000, true, false, true, true, true, "hmile.wav"},
        // Any other unit code counts as miles.
        {7, 480, true, false, false, false, false, "04mile.wav"},
    };
    for (const auto& c : cases) {
        const int u = spoken_distance(c.units, c.m);
        EXPECT_EQ(narrow(distance_phrase(c.units, c.m, u, c.quiet100, c.quiet350, c.first, c.has700, c.has700y)),
                  c.want)
            << "units " << c.units << " m " << c.m << " first " << c.first;
    }
}

TEST(RoutePrompts, SpokenDistanceIsYardsOutsideMetric)
{
    EXPECT_EQ(spoken_distance(UNITS_METRIC, 480), 480);
    EXPECT_EQ(spoken_distance(UNITS_YARDS, 480), 525);
    EXPECT_EQ(spoken_distance(UNITS_MILES, 480), 525);
    EXPECT_EQ(to_yards(0), 0);
}

TEST(RoutePrompts, ApproachWords)
{
    struct Case {
        Directive d;
        int m;
        bool after_allowed;
        int speed;
        bool approach;
        const char* want;
    };
    const Case cases[] = {
        // Approach words off: the distance phrase.
        {dir(3, 0, 1, 0, 100), 300, true, 10, false, "300.wav"},
        // Word 3 is 1: "end" when words 5 - 4 exceed 29, else the phrase.
        {dir(3, 0, 1, 100, 130), 300, true, 10, true, "end.wav"},
        {dir(3, 0, 1, 100, 129), 300, true, 10, true, "300.wav"},
        {dir(3, 0, 1, 100, 130), 2000, true, 10, true, "end.wav"},
        // Flag byte with L <= m: the phrase, even where "next" would apply.
        {dir(3, 0, 0, 0, 0, 300, 0, 1), 300, true, 10, true, "300.wav"},
        // "after": A >= m, L + margin < m, L <= 49.
        {dir(3, 0, 0, 0, 0, 40, 400), 300, true, 10, true, "after.wav"},
        {dir(3, 0, 0, 0, 0, 40, 400), 300, false, 10, true, "300.wav"},
        {dir(3, 0, 0, 0, 0, 40, 299), 300, true, 10, true, "300.wav"},
        // Margin 10 / 30 / 50 by speed: L = 40.
        {dir(3, 0, 0, 0, 0, 40, 400), 65, true, 10, true, "after.wav"},
        {dir(3, 0, 0, 0, 0, 40, 400), 65, true, 11, true, "-"},
        {dir(3, 0, 0, 0, 0, 40, 400), 85, true, 20, true, "after.wav"},
        {dir(3, 0, 0, 0, 0, 40, 400), 85, true, 21, true, "-"},
        // "next": L >= m and word 2 is 0 or -1.
        {dir(3, 0, 0, 0, 0, 300), 300, true, 10, true, "next.wav"},
        {dir(3, -1, 0, 0, 0, 300), 300, true, 10, true, "next.wav"},
        {dir(3, 1, 0, 0, 0, 300), 300, true, 10, true, "300.wav"},
        {dir(3, 0, 0, 0, 0, 299), 300, true, 10, true, "300.wav"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(narrow(approach_phrase(UNITS_METRIC, c.d, c.m, c.m, false, c.after_allowed, c.speed, c.approach)),
                  c.want)
            << "m " << c.m << " speed " << c.speed << " L " << junction_distance(c.d);
    }
}

TEST(RoutePrompts, LaneWords)
{
    const struct {
        int code;
        const char* want;
    } cases[] = {{14, "-"}, {15, "llane.wav"}, {16, "rlane.wav"}, {17, "keepl.wav"}, {18, "keepr.wav"}, {19, "-"}};
    for (const auto& c : cases)
        EXPECT_EQ(narrow(lane_word(c.code)), c.want) << c.code;
}

TEST(RoutePrompts, PromptUnitsFollowTheVoiceSet)
{
    EXPECT_EQ(detect_units(0, true, true, true), UNITS_METRIC);
    EXPECT_EQ(detect_units(1, false, false, false), 1);
    EXPECT_EQ(detect_units(2, false, false, false), 2);
    EXPECT_EQ(detect_units(1, true, true, true), UNITS_MILES);
    EXPECT_EQ(detect_units(2, true, false, true), UNITS_YARDS); // "100y" without "01mile": yards
    EXPECT_EQ(detect_units(2, true, false, false), UNITS_METRIC); // no imperial prompts: metres
}

TEST(RoutePrompts, TurnSentences)
{
    struct Case {
        Directive d;
        bool first;
        bool has_herel2;
        const char* want;
    };
    const Case cases[] = {
        {dir(1), true, false, ""},
        {dir(1), false, false, "course"},
        {dir(3), true, false, "herel"},
        {dir(19), true, false, "herel"},
        {dir(5), true, false, "herer"},
        {dir(2), true, true, "sleft"},
        {dir(4), true, true, "sright"},
        {dir(3, 1), true, true, "left2"},
        {dir(3, 2), true, true, "left3"},
        {dir(5, 1), true, false, "right2"},
        {dir(20, 2), true, false, "right3"},
        {dir(6), true, false, "uturn"},
        {dir(8), true, false, "exitl"},
        {dir(10), true, false, "exitl"},
        {dir(9), true, false, "exitr"},
        {dir(11), true, false, "exitr"},
        {dir(13, 0), true, false, "tc 1e"},
        {dir(13, 2), true, false, "tc 3e"},
        {dir(13, 8 | (90 << 16)), true, false, "tc 9e"},
        {dir(13, 9), true, false, "prepare tc"},
        {dir(14), true, false, "tcexit"},
        {dir(15), true, false, "llane"},
        {dir(18), true, false, "keepr"},
        {dir(7), true, false, ""},
        {dir(12), true, false, ""},
    };
    for (const auto& c : cases) {
        XrPromptState s;
        s.has_herel2 = c.has_herel2;
        XrPromptList list;
        build_turn_prompt(c.d, list, c.first, true, s);
        EXPECT_EQ(join(list), c.want) << "code " << code_of(c.d);
    }
}

TEST(RoutePrompts, TurnVariantsNeedTheVoiceSetAndPermission)
{
    // Weights 4000, 1000, 4000, 1000: tick % 10000 picks.
    const struct {
        bool has_herel2;
        bool allow;
        std::uint32_t tick;
        const char* want;
    } cases[] = {
        {true, true, 0, "herel"},        {true, true, 3999, "herel"},    {true, true, 4000, "herel2"},
        {true, true, 4999, "herel2"},    {true, true, 5000, "herel"},    {true, true, 9000, "herel3"},
        {true, true, 19999, "herel3"},   {false, true, 4500, "herel"},   {true, false, 4500, "herel"},
    };
    for (const auto& c : cases) {
        XrPromptState s;
        s.has_herel2 = c.has_herel2;
        s.tick = c.tick;
        XrPromptList list;
        build_turn_prompt(dir(3), list, true, c.allow, s);
        EXPECT_EQ(join(list), c.want) << c.tick;
    }
}

TEST(RoutePrompts, UturnIsNotRepeatedRightAfterItsAnnouncement)
{
    XrPromptState s;
    XrPromptList far;
    build_distance_prompt(dir(6), far, 300, true, false, true, s);
    EXPECT_EQ(join(far), "uturn");
    EXPECT_TRUE(s.uturn_announced);
    XrPromptList at;
    build_turn_prompt(dir(6), at, true, true, s);
    EXPECT_EQ(join(at), "");
    EXPECT_FALSE(s.uturn_announced);
    XrPromptList again;
    build_turn_prompt(dir(6), again, true, true, s);
    EXPECT_EQ(join(again), "uturn");
}

TEST(RoutePrompts, DistanceSentences)
{
    struct Case {
        int units;
        Directive d;
        int dist;
        bool only_with_distance;
        bool quiet350;
        const char* want;
    };
    const Case cases[] = {
        // Keep: only where a side road lies before the instruction.
        {UNITS_METRIC, dir(1, 0, 0, 0, 0, 100), 300, true, false, "300 course"},
        {UNITS_METRIC, dir(1, 0, 0, 0, 0, 300), 300, true, false, ""},
        // Turns.
        {UNITS_METRIC, dir(3), 300, true, false, "300 left"},
        {UNITS_METRIC, dir(2), 300, true, false, "300 sleft"},
        {UNITS_METRIC, dir(5), 1000, true, false, "1km right"},
        {UNITS_METRIC, dir(4, 1), 200, true, false, "200 right2"},
        {UNITS_METRIC, dir(3), 40, true, false, ""},
        {UNITS_METRIC, dir(3), 40, false, false, "left"},
        {UNITS_METRIC, dir(3), 300, true, true, ""},
        {UNITS_METRIC, dir(3, 0, 0, 0, 0, 300), 250, true, false, "next left"},
        // Motorway exits by unit system: 600 yd = 549 m, 1600 m.
        {UNITS_METRIC, dir(9), 1600, true, false, "2km exitr"},
        {UNITS_METRIC, dir(8), 449, true, false, "400 exitl"},
        {UNITS_METRIC, dir(8), 700, true, false, "500 exitl"},
        {UNITS_METRIC, dir(8), 1000, true, false, "1km exitl"},
        {UNITS_YARDS, dir(9), 549, true, false, "500y exitr"},
        {UNITS_YARDS, dir(9), 1500, true, false, "1mile exitr"},
        {UNITS_MILES, dir(9), 400, true, false, "qmile exitr"},
        {UNITS_MILES, dir(9), 560, true, false, "04mile exitr"},
        {UNITS_MILES, dir(9), 1000, true, false, "hmile exitr"},
        {UNITS_MILES, dir(9), 1400, true, false, "1mile exitr"},
        // Ramps: no approach words, no quiet below 350.
        {UNITS_METRIC, dir(10), 300, true, true, "300 exitl"},
        {UNITS_METRIC, dir(11), 60, true, false, ""},
        {UNITS_METRIC, dir(11), 60, false, false, "exitr"},
        // Lanes.
        {UNITS_METRIC, dir(15, 0, 0, 0, 0, 100), 300, true, false, "300 llane"},
        {UNITS_METRIC, dir(17, 0, 0, 0, 0, 400), 300, true, false, "keepl"},
        {UNITS_METRIC, dir(18, 0, 0, 0, 0, 600), 550, true, false, "500 keepr"},
        {UNITS_METRIC, dir(16, 0, 0, 0, 0, 600), 300, false, false, "300 rlane"},
        {UNITS_METRIC, dir(19, 0, 0, 0, 0, 100), 300, true, false, "300 llane then left"},
        {UNITS_METRIC, dir(20, 0, 0, 0, 0, 100), 150, true, false, "200 rlane"},
        {UNITS_METRIC, dir(20, 0, 0, 0, 0, 400), 300, true, false, "rlane then right"},
        // Nothing to say before these.
        {UNITS_METRIC, dir(7), 300, true, false, ""},
        {UNITS_METRIC, dir(13, 2), 300, true, false, ""},
        {UNITS_METRIC, dir(14), 300, true, false, ""},
    };
    for (const auto& c : cases) {
        XrPromptState s;
        s.units = c.units;
        XrPromptList list;
        build_distance_prompt(c.d, list, c.dist, c.only_with_distance, c.quiet350, true, s);
        EXPECT_EQ(join(list), c.want) << "code " << code_of(c.d) << " at " << c.dist;
    }
}

TEST(RoutePrompts, LaneAnnouncedAloneCloseToItEndsTheFarAnnouncements)
{
    XrPromptState s;
    XrPromptList list;
    build_distance_prompt(dir(17, 0, 0, 0, 0, 400), list, 300, true, false, true, s);
    EXPECT_EQ(join(list), "keepl");
    EXPECT_TRUE(s.announced_far);
}

TEST(RoutePrompts, ExitRuleUsesTheFirstAnnouncementTableForTheCurrentDirective)
{
    const Directive current = dir(3);
    const Directive other = dir(3);
    const struct {
        const Directive* d;
        bool exit_rule;
        int dist;
        bool has700;
        const char* want;
    } cases[] = {
        {&current, true, 600, true, "700 left"},  {&current, true, 600, false, "prepare left"},
        {&current, false, 600, true, "500 left"}, {&other, true, 600, true, "500 left"},
        {&current, true, 450, true, "500 left"},  {&current, true, 451, true, "500 left"},
    };
    for (const auto& c : cases) {
        XrPromptState s;
        s.current = &current;
        s.exit_announcement = c.exit_rule;
        s.has_700 = c.has700;
        XrPromptList list;
        build_distance_prompt(*c.d, list, c.dist, true, false, true, s);
        EXPECT_EQ(join(list), c.want) << c.dist;
    }
}

TEST(RoutePrompts, NearSentenceChainsACloseFollowUp)
{
    struct Case {
        Directive cur;
        Directive next;
        int gap;
        bool close, announced, chain;
        const char* want;
        bool spoken;
    };
    const Case cases[] = {
        // No follow-up announced: the turn alone.
        {dir(3), dir(5), 150, true, false, false, "herel", false},
        // Close follow-up: "then" and the next turn's distance sentence.
        {dir(3), dir(5), 150, true, true, false, "herel then 200 right", true},
        // Chaining on and close: "then2", quiet below 350.
        {dir(3), dir(5), 150, true, true, true, "herel then2 right", true},
        {dir(3), dir(5, 0, 1), 150, true, true, true, "herel then 200 right", true},
        {dir(3), dir(5), 250, true, true, true, "herel then 300 right", false},
        // A roundabout is said by its turn sentence.
        {dir(5), dir(13, 1), 120, true, true, false, "herer then tc 2e", true},
        // Nothing to chain after the destination (and variants are offered).
        {dir(3), dir(7), 120, true, true, false, "herel2", false},
        // A keep says nothing at the instruction, so nothing is chained.
        {dir(1), dir(3), 120, true, true, false, "", false},
    };
    for (const auto& c : cases) {
        XrPromptState s;
        s.has_herel2 = true;
        s.tick = 4500; // would pick "herel2" where variants are allowed
        XrFollowUp f;
        f.next = &c.next;
        f.gap = c.gap;
        f.close = c.close;
        f.announced = c.announced;
        f.chain = c.chain;
        bool spoken = false;
        XrPromptList list;
        build_near_sentence(c.cur, f, list, s, spoken);
        EXPECT_EQ(join(list), c.want) << "gap " << c.gap;
        EXPECT_EQ(spoken, c.spoken) << "gap " << c.gap;
    }
}

TEST(RoutePrompts, NearSentenceOffersVariantsWithoutAFollowUp)
{
    XrPromptState s;
    s.has_herel2 = true;
    s.tick = 4500;
    XrFollowUp f; // no directive after
    bool spoken = false;
    XrPromptList list;
    build_near_sentence(dir(3), f, list, s, spoken);
    EXPECT_EQ(join(list), "herel2");
}

TEST(RoutePrompts, FarSentence)
{
    struct Case {
        Directive cur;
        int dist;
        const Directive* next;
        int gap;
        bool close, chain;
        const char* want;
    };
    const Directive right = dir(5);
    const Directive right_end = dir(5, 0, 1);
    const Directive keep = dir(1, 0, 0, 0, 0, 10);
    const Directive roundabout = dir(13, 1);
    const Directive dest = dir(7);
    const Case cases[] = {
        // Alone.
        {dir(3), 300, &right, 500, false, false, "300 left"},
        {dir(3), 300, nullptr, 0, true, true, "300 left"},
        {dir(3), 300, &right, 150, true, false, "300 left"},
        // Close follow-up with chaining: "then2" under 200 m, "then" above.
        {dir(3), 300, &right, 150, true, true, "300 left then2 right"},
        {dir(3), 300, &right, 250, true, true, "300 left then 300 right"},
        {dir(3), 300, &right_end, 150, true, true, "300 left then 200 right"},
        // A keep followed within 200 m by another code: always "then".
        {dir(1, 0, 0, 0, 0, 100), 300, &right, 150, false, false, "300 course then 200 right"},
        {dir(1, 0, 0, 0, 0, 100), 300, &keep, 150, false, false, "300 course"},
        {dir(1, 0, 0, 0, 0, 100), 300, &right, 200, false, false, "300 course"},
        // No "then" before a roundabout or the destination.
        {dir(3), 300, &roundabout, 150, true, true, "300 left"},
        {dir(3), 300, &dest, 150, true, true, "300 left"},
        // Close to the instruction: the chained form speaks without a distance.
        {dir(3), 120, &right, 150, true, true, "100 left then2 right"},
        {dir(3), 40, &right, 150, true, true, "then2 right"},
    };
    for (const auto& c : cases) {
        XrPromptState s;
        XrFollowUp f;
        f.next = c.next;
        f.gap = c.gap;
        f.close = c.close;
        f.chain = c.chain;
        XrPromptList list;
        build_far_sentence(c.cur, c.dist, f, list, s);
        EXPECT_EQ(join(list), c.want) << "code " << code_of(c.cur) << " at " << c.dist << " gap " << c.gap;
    }
}

TEST(RoutePrompts, WeightedChoice)
{
    const TCHAR* names[] = {L"a", L"b", L"c"};
    const int weights[] = {1, 2, 3};
    const struct {
        const int* weights;
        std::uint32_t tick;
        const char* want;
    } cases[] = {
        {weights, 0, "a"},    {weights, 1, "b"},    {weights, 2, "b"},    {weights, 3, "c"},
        {weights, 5, "c"},    {weights, 6, "a"},    {nullptr, 1999, "a"}, {nullptr, 2000, "b"},
        {nullptr, 5999, "c"}, {nullptr, 6000, "a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(narrow(choose_prompt(names, 3, c.weights, c.tick)), c.want) << c.tick;
    EXPECT_EQ(choose_prompt(names, 0, nullptr, 5), nullptr);
    const int zero[] = {0, 0, 0};
    EXPECT_EQ(narrow(choose_prompt(names, 3, zero, 5)), "c");
}

TEST(RoutePrompts, ArrivalPromptNames)
{
    const struct {
        const TCHAR* name;
        bool want;
    } cases[] = {
        {L"dest01.wav", true}, {L"DEST01.WAV", true}, {L"dest01.ogg", true}, {L"dest2.wav", true},
        {L"Dest9.Ogg", true},  {L"dest.wav", false},  {L"dest001.wav", false}, {L"dest01.mp3", false},
        {L"rest01.wav", false}, {L"", false},         {nullptr, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(is_arrival_prompt_name(c.name), c.want) << narrow(c.name);
}

TEST(RoutePrompts, LeadIn)
{
    const Directive left = dir(3, 0, 0, 0, 1000);
    const Directive uturn = dir(6);
    const Directive entry = dir(13, 1, 0, 0, 1000);
    const Directive exit_near = dir(14, 0, 0, 0, 1080);
    const Directive exit_far = dir(14, 0, 0, 0, 1150);
    auto base = [&] {
        XrLeadInInput in;
        in.current = &left;
        in.distance = 1000;
        in.speed = 10;
        in.near_distance = 65;
        in.announce_distance = 250;
        return in;
    };
    struct Case {
        const char* what;
        XrLeadInInput in;
        bool want;
    };
    std::vector<Case> cases;
    cases.push_back({"far from everything", base(), false});
    {
        auto in = base();
        in.current = &exit_near;
        cases.push_back({"roundabout exit", in, true});
    }
    {
        auto in = base();
        in.current = &entry;
        in.stored_before = &exit_near;
        in.distance = 110; // 110 + 80 < 200
        in.announced_near = true;
        cases.push_back({"entry close to its exit", in, true});
        in.stored_before = &exit_far; // 110 + 150
        cases.push_back({"entry far from its exit", in, false});
    }
    {
        auto in = base();
        in.distance = 110; // ahead = 110 - 60 = 50 < 65
        cases.push_back({"near announcement coming", in, true});
        in.announced_near = true;
        cases.push_back({"near announcement done", in, false});
        in.announced_near = false;
        in.current = &uturn;
        in.uturn_announced = true;
        cases.push_back({"U-turn already announced", in, false});
    }
    {
        auto in = base();
        in.distance = 300; // ahead = 240 < 250
        cases.push_back({"far announcement coming", in, true});
        in.announced_far = true;
        cases.push_back({"far announcement done", in, false});
        in.announced_far = false;
        in.chain_before = true;
        cases.push_back({"chain just ended", in, false});
        in.chain = true;
        cases.push_back({"chain goes on", in, true});
        in.chain = false;
        in.chain_before = false;
        in.second_far_pending = true;
        cases.push_back({"second far announcement under 250 m", in, false});
        in.distance = 330; // ahead 270
        in.announce_distance = 300;
        cases.push_back({"second far announcement over 250 m", in, true});
    }
    {
        auto in = base();
        in.speed = 30; // ahead = 900 - 150
        in.distance = 900;
        in.announce_distance = 800;
        cases.push_back({"speed pushes the lead-in ahead", in, true});
    }
    for (const auto& c : cases)
        EXPECT_EQ(lead_in_due(c.in), c.want) << c.what;
}

} // namespace
