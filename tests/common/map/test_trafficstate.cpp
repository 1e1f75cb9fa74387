// The traffic box's states walked by a fake clock.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>
#include <functional>
#include <vector>

#include "common/map/xr_trafficstate.h"

namespace {

struct FakeHost : XrTrafficHost {
    XrTrafficARecord a;
    XrTrafficCRecord c;
    std::uint32_t clock = 1000;
    int text_width = 300;
    int radius = 10;
    const XrTrafficARecord& get_a_event() const override { return a; }
    const XrTrafficCRecord& get_c_event() const override { return c; }
    std::uint32_t get_tick_ms() const override { return clock; }
    XrPoint layout_point_for_id(int key) const override { return key == 5 ? XrPoint(0, 37) : XrPoint(radius, 0); }
    int measure_text(const XrString&) const override { return text_width; }
};

std::string kind(const XrTrafficVisualization* s)
{
    if (dynamic_cast<const XrTrafficVisualizationClear*>(s))
        return "Clear";
    if (dynamic_cast<const XrTrafficVisualizationAI*>(s))
        return "AI";
    if (dynamic_cast<const XrTrafficVisualizationAS*>(s))
        return "AS";
    if (dynamic_cast<const XrTrafficVisualizationCI*>(s))
        return "CI";
    if (dynamic_cast<const XrTrafficVisualizationCS*>(s))
        return "CS";
    return "?";
}

struct TrafficTest : ::testing::Test {
    FakeHost host;
    XrTrafficVisualization* state = nullptr;
    bool a_shown = false;
    bool c_shown = false;
    TrafficTest()
    {
        host.a.shown = &a_shown;
        host.c.shown = &c_shown;
        state = XrTrafficVisualization::reset(nullptr, &host);
    }
    ~TrafficTest() override { delete state; }
    // Advances the clock and lets the state move on.
    std::string after(int ms)
    {
        host.clock += ms;
        state = XrTrafficVisualization::draw_state(state, nullptr);
        return kind(state);
    }
    bool draw(int width = 400)
    {
        return XrTrafficVisualization::draw_in_rect(state, nullptr, XrRectangle(0, 0, width, 40));
    }
    void a_event(int id, int distance)
    {
        host.a.present = true;
        host.a.id = id;
        host.a.distance = distance;
    }
    void c_event(int id)
    {
        host.c.present = true;
        host.c.id = id;
    }
};

} // namespace

TEST_F(TrafficTest, WalksClearAiAsCiCsAndBackToClear)
{
    EXPECT_EQ(kind(state), "Clear");
    EXPECT_EQ(state->get_value(), 0);
    // Not near: Clear stays.
    a_event(1, 2600);
    EXPECT_EQ(after(3001), "Clear");
    a_event(1, 2400);
    EXPECT_EQ(after(1), "AI");
    EXPECT_EQ(state->get_value(), 37);
    EXPECT_TRUE(draw());
    EXPECT_TRUE(a_shown);
    // The same A-event stays 10 s, then scrolls its text.
    EXPECT_EQ(after(9000), "AI");
    EXPECT_EQ(after(1001), "AS");
    EXPECT_TRUE(draw());
    EXPECT_EQ(state->get_value(), 37);
    // Text scrolled out: value 0; a C-event then wins.
    host.clock += 20000;
    host.text_width = 10;
    EXPECT_FALSE(draw());
    EXPECT_EQ(state->get_value(), 0);
    c_event(7);
    EXPECT_EQ(after(0), "CI");
    EXPECT_TRUE(draw());
    EXPECT_TRUE(c_shown);
    EXPECT_EQ(after(5000), "CI");
    EXPECT_EQ(after(5001), "CS");
    host.clock += 10001;
    EXPECT_TRUE(draw());
    host.clock += 20000;
    EXPECT_FALSE(draw());
    EXPECT_EQ(state->get_value(), 0);
    host.c.present = false;
    host.a.present = false;
    EXPECT_EQ(after(0), "Clear");
}

TEST_F(TrafficTest, Successors)
{
    struct Step {
        const char* what;
        std::function<void(TrafficTest&)> change;
        int ms;
        const char* expected;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"a C-event wins over an A-event from Clear",
         {{"both", [](TrafficTest& t) { t.a_event(1, 100); t.c_event(2); }, 3001, "CI"}}},
        {"a new A-event replaces the shown one",
         {{"a", [](TrafficTest& t) { t.a_event(1, 100); }, 3001, "AI"},
          {"other a", [](TrafficTest& t) { t.a_event(2, 100); }, 3001, "AI"},
          {"same a stays", [](TrafficTest&) {}, 3001, "AI"}}},
        {"an A-event gone far clears AI",
         {{"a", [](TrafficTest& t) { t.a_event(1, 100); }, 3001, "AI"},
          {"far", [](TrafficTest& t) { t.a_event(1, 3000); }, 3001, "Clear"}}},
        {"a new C-event replaces AI",
         {{"a", [](TrafficTest& t) { t.a_event(1, 100); }, 3001, "AI"},
          {"c", [](TrafficTest& t) { t.c_event(5); }, 3001, "CI"},
          {"other c", [](TrafficTest& t) { t.c_event(6); }, 1, "CI"}}},
        {"CI without its C-event goes to the near A-event or Clear",
         {{"c", [](TrafficTest& t) { t.c_event(1); }, 3001, "CI"},
          {"c gone, a near", [](TrafficTest& t) { t.host.c.present = false; t.a_event(9, 100); }, 1, "AI"},
          {"a gone", [](TrafficTest& t) { t.host.a.present = false; }, 3001, "Clear"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        delete state;
        host = FakeHost();
        state = XrTrafficVisualization::reset(nullptr, &host);
        for (const Step& s : c.steps) {
            SCOPED_TRACE(s.what);
            s.change(*this);
            EXPECT_EQ(after(s.ms), s.expected);
        }
    }
}

TEST_F(TrafficTest, CiGivesTheSameAEventTheTimeAlreadyShown)
{
    // A C-event shown as CI whose id matches the A-event: when the C-event
    // goes, AI has only the rest of its 3 s.
    c_event(4);
    EXPECT_EQ(after(3001), "CI");
    host.c.present = false;
    a_event(4, 100);
    EXPECT_EQ(after(1000), "AI");
    EXPECT_EQ(state->get_duration_ms(), 2000);
    EXPECT_EQ(after(2001), "AI"); // done, same id, within 10 s: stays
    state = XrTrafficVisualization::reset(state, nullptr);
    EXPECT_EQ(kind(state), "Clear");
}

TEST(TrafficTicker, GuardsAndScrolling)
{
    struct Case {
        const char* name;
        std::uint32_t now, start;
        int u, width, text_width;
        int x0;
        bool visible, restarted;
    };
    // 10 / u * 40 ms a pixel: u 10 gives 40.
    const Case cases[] = {
        {"starts at the right edge", 5000, 0, 10, 402, 100, -400, true, false},
        {"scrolls one pixel per 40 ms", 5400, 5000, 10, 402, 100, -390, true, false},
        {"scrolled out, shortly after", 5000 + 40 * 600, 5000, 10, 402, 100, 200, false, false},
        {"scrolled out over two minutes ago restarts", 5000 + 40 * 100 + 120001, 5000, 10, 402, 100, 0, true, true},
        {"radius 0 is taken as 1", 5400, 5000, 0, 402, 100, -399, true, false},
        {"a rate below 1 ms is taken as 1", 5400, 5000, 1000, 402, 100, 0, true, false},
        {"negative radius", 5400, 5000, -3, 402, 100, -399, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint32_t start = c.start;
        const XrTickerPosition p = xr_traffic_ticker(c.now, start, c.u, c.width, c.text_width);
        EXPECT_EQ(p.x0, c.x0);
        EXPECT_EQ(p.visible, c.visible);
        EXPECT_EQ(p.restarted, c.restarted);
    }
}

TEST_F(TrafficTest, ScrollingStatesMoveOnOnceTheirTextHasGone)
{
    struct Step {
        std::function<void(TrafficTest&)> change;
        int ms;
        const char* expected;
    };
    struct Case {
        const char* name;
        bool current_road; // CS, else AS
        std::vector<Step> steps;
    };
    auto none = [](TrafficTest&) {};
    const Case cases[] = {
        {"AS: a C-event gives CI", false, {{[](TrafficTest& t) { t.c_event(3); }, 0, "CI"}}},
        {"AS: the A-event gone gives Clear", false, {{[](TrafficTest& t) { t.host.a.present = false; }, 0, "Clear"}}},
        {"AS: the A-event far stays", false, {{[](TrafficTest& t) { t.a_event(1, 3000); }, 0, "AS"}}},
        {"AS: the same near A-event stays 30 s, then AI", false,
         {{none, 0, "AS"}, {none, 30000, "AS"}, {none, 1, "AI"}}},
        {"AS: another near A-event gives AI", false, {{[](TrafficTest& t) { t.a_event(2, 100); }, 0, "AI"}}},
        {"CS: another C-event gives CI", true, {{[](TrafficTest& t) { t.c_event(2); }, 0, "CI"}}},
        {"CS: a near A-event gives AI", true, {{[](TrafficTest& t) { t.a_event(5, 100); }, 0, "AI"}}},
        {"CS: the same C-event stays 30 s, then CI", true,
         {{none, 0, "CS"}, {none, 30000, "CS"}, {none, 1, "CI"}}},
        {"CS: the C-event gone gives Clear", true, {{[](TrafficTest& t) { t.host.c.present = false; }, 0, "Clear"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        delete state;
        host = FakeHost();
        state = XrTrafficVisualization::reset(nullptr, &host);
        if (c.current_road) {
            c_event(1);
            ASSERT_EQ(after(3001), "CI");
            ASSERT_EQ(after(10001), "CS");
        } else {
            a_event(1, 100);
            ASSERT_EQ(after(3001), "AI");
            ASSERT_EQ(after(10001), "AS");
        }
        // While the text scrolls the state stays, even past its time.
        ASSERT_TRUE(draw());
        EXPECT_EQ(after(10001), c.current_road ? "CS" : "AS");
        host.text_width = 10;
        host.clock += 20000;
        ASSERT_FALSE(draw());
        for (const Step& s : c.steps) {
            s.change(*this);
            EXPECT_EQ(after(s.ms), s.expected);
        }
    }
}
