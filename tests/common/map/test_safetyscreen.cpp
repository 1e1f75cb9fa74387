// The safety screen drawn from a route layer's state: which elements appear
// where, the countdown bars by distance and units, the off-route screen and
// the alternating picture and time line.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/types/xr_datetime.h"
#include "common/types/xr_distance.h"
#include "common/types/xr_duration.h"
#include "map_test_support.h"
#include "safetyscreen_host.h"

using namespace xr_map_test;

namespace {

// 2026-12-10 23:00 UTC.
constexpr int kNow = 1796943600;

struct SafetyScreenTest : ::testing::Test {
    SafetyScreenTest()
    {
        register_fonts();
        dc = xr_recording_dc(800, 480);
    }
    ~SafetyScreenTest() override { XrGDI::delete_dc(dc); }
    void draw(int width = 800, std::uint32_t ms = 0)
    {
        XrGdiRecording::instance().clear();
        host.log.clear();
        xr_draw_safety_screen(dc, XrPoint(width, 480), host, ms, kNow);
    }
    // The bars from the lowest up: 1 bright, 0 dark; empty without bars.
    static std::string bars()
    {
        std::string out;
        for (const XrGdiCall& c : XrGdiRecording::instance().get_calls())
            if (c.name == "draw_round_rect")
            {
                const auto rgb = static_cast<XrColorHandle>(c.brush_rgb());
                out += rgb == XrGDI::rgb(255, 0, 0) ? '1' : rgb == XrGDI::rgb(100, 0, 0) ? '0' : '?';
            }
        return out;
    }
    // The text call of the text; null when it was not drawn.
    static const XrGdiCall* text(const XrString& s)
    {
        for (const XrGdiCall& c : XrGdiRecording::instance().get_calls())
            if (c.name == "draw_text" && c.text == s.c_str())
                return &c;
        return nullptr;
    }
    // The right edge of a drawn text.
    static long long right_of(const XrGdiCall* c)
    {
        return c->args[0] + XrGDI::measure_text(const_cast<XrFontHandleRec*>(c->font), c->text.c_str()).width;
    }
    bool logged(const std::string& line) const
    {
        return std::find(host.log.begin(), host.log.end(), line) != host.log.end();
    }
    // The top left corners and widths of the pictures drawn.
    static std::vector<std::string> pictures()
    {
        std::vector<std::string> out;
        for (const XrGdiCall& c : XrGdiRecording::instance().get_calls())
            if (c.name == "draw_bitmap_masked")
                out.push_back(std::to_string(c.args[0]) + "," + std::to_string(c.args[1]) + " w" +
                              std::to_string(c.args[2] - c.args[0]));
        return out;
    }

    FakeSafetyHost host;
    XrDCHandleRec* dc;
};

} // namespace

TEST_F(SafetyScreenTest, NothingWithoutAnActiveRoute)
{
    host.route = false;
    draw();
    EXPECT_TRUE(XrGdiRecording::instance().get_calls().empty());
    EXPECT_TRUE(host.log.empty());
}

TEST_F(SafetyScreenTest, CountdownSignAndStreetsByDistance)
{
    struct Case {
        const char* name;
        int metres;
        int units;
        const char* bars;
        int sign_icon;       // the direction icon 3 within the announcement distance, else the bend icon 17
        bool next_street;    // shown up to 1000 m
    };
    const Case cases[] = {
        {"1200 m", 1200, 0, "000000", 17, false},
        {"700 m", 700, 0, "011111", 3, true},
        {"75 m", 75, 0, "000001", 3, true},
        // 274 m are 300 yd.
        {"300 yd", 274, 1, "000111", 3, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host.distance = c.metres;
        host.units = c.units;
        draw();
        EXPECT_EQ(bars(), c.bars);
        EXPECT_TRUE(logged("sign " + std::to_string(c.sign_icon) + " at 590,94"));
        // The bend icon takes the current direction icon's place: the next one is shown.
        EXPECT_TRUE(logged(c.sign_icon == 17 ? "direction icon of the next" : "direction icon"));
        EXPECT_FALSE(logged(c.sign_icon == 17 ? "direction icon" : "direction icon of the next"));
        // The distance under the sign, right-aligned at x 749.
        const XrGdiCall* d = text(XrDistance(c.metres, XrDistance::Metres).to_display_string(c.units, 1));
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(right_of(d), 749);
        EXPECT_EQ(d->args[1], 242);
        // The driven street at (23, 433); the next street in its box.
        const XrGdiCall* street = text(L"Harbour Road");
        ASSERT_NE(street, nullptr);
        EXPECT_EQ(street->args[0], 23);
        EXPECT_EQ(street->args[1], 433);
        EXPECT_EQ(logged("street box 5,10 602,54"), c.next_street);
        const XrGdiCall* next = text(L"Main Street");
        EXPECT_EQ(next != nullptr, c.next_street);
        if (next != nullptr) {
            EXPECT_EQ(next->args[0], 10);
            EXPECT_EQ(next->args[1], 15);
        }
        EXPECT_EQ(host.log.back(), "signpost height");
    }
}

TEST_F(SafetyScreenTest, SmallScreenLayout)
{
    host.distance = 500;
    draw(600);
    // The half pictures (13 and 14 pixels wide) at the small places.
    EXPECT_EQ(pictures(), (std::vector<std::string>{"525,243 w13", "525,295 w14"}));
    EXPECT_TRUE(logged("sign 3 at 517,61"));
    EXPECT_TRUE(logged("street box 5,10 430,48"));
    const XrGdiCall* next = text(L"Main Street");
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->args[1], 11);
    EXPECT_EQ(text(L"Harbour Road")->args[1], 352);
    EXPECT_EQ(bars(), "001111");
}

TEST_F(SafetyScreenTest, OffTheRouteAUturnSignAndOnePrompt)
{
    struct Case {
        const char* name;
        int travelled;
        bool right_hand;
        int prompts;
        const char* sign;
    };
    const Case cases[] = {
        {"just left the start", 20, true, 0, "sign 6 at 597,90"},
        {"after 21 m", 21, true, 1, "sign 6 at 597,90"},
        {"left-hand traffic", 500, false, 1, "sign 28 at 597,90"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host.uturn = false;
        host.state = 4;
        host.travelled = c.travelled;
        host.right_hand = c.right_hand;
        int prompts = 0;
        for (int i = 0; i < 2; ++i) {
            draw();
            prompts += static_cast<int>(std::count(host.log.begin(), host.log.end(), "play uturn.wav"));
            EXPECT_TRUE(logged(c.sign));
            // Only the driven street; no bars, no direction icon.
            EXPECT_NE(text(L"Harbour Road"), nullptr);
            EXPECT_EQ(text(L"Main Street"), nullptr);
            EXPECT_FALSE(logged("street box 5,10 602,54"));
            EXPECT_EQ(bars(), "");
            EXPECT_FALSE(logged("direction icon"));
            EXPECT_TRUE(logged("compass"));
        }
        EXPECT_EQ(prompts, c.prompts);
    }
}

TEST_F(SafetyScreenTest, PictureAndTimeLineAlternateEveryTenSeconds)
{
    // Phase 0: route_02 and the remaining time.
    draw(800, 9999);
    EXPECT_EQ(pictures(), (std::vector<std::string>{"595,302 w10", "595,372 w11"}));
    const XrGdiCall* remaining = text(XrDuration(75, XrDuration::Minutes).to_string(XrDuration::DisplayHoursMinutes));
    ASSERT_NE(remaining, nullptr);
    EXPECT_EQ(right_of(remaining), 746);
    EXPECT_EQ(remaining->args[1], 392);

    // Phase 1: route_03 and the arrival clock, its suffix apart.
    draw(800, 10000);
    EXPECT_EQ(pictures(), (std::vector<std::string>{"595,302 w10", "595,372 w12"}));
    XrDatetime arrival(kNow);
    arrival.add_seconds(75 * 60);
    XrString clock, suffix;
    arrival.to_string_12h(clock, suffix, false, true);
    const XrGdiCall* at = text(clock);
    ASSERT_NE(at, nullptr);
    EXPECT_EQ(right_of(at), 746 - 18);
    if (!suffix.is_empty()) {
        const XrGdiCall* s = text(suffix);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(right_of(s), 748);
        EXPECT_EQ(s->args[1], 396);
    }
    EXPECT_EQ(text(XrDuration(75, XrDuration::Minutes).to_string(XrDuration::DisplayHoursMinutes)), nullptr);
}

TEST_F(SafetyScreenTest, RemainingDistanceCountsTheLaterLegs)
{
    struct Case {
        int length, travelled, later, width;
        int font;
    };
    const Case cases[] = {
        {12000, 2000, 500, 800, 76},
        {1500000, 0, 0, 800, 81},
        {12000, 2000, 500, 600, 81},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        host.route_length = c.length;
        host.travelled = c.travelled;
        host.later_legs = c.later;
        draw(c.width);
        const XrGdiCall* t =
            text(XrDistance(c.length - c.travelled + c.later, XrDistance::Metres).to_display_string(0, 1));
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->font, host.get_font(c.font));
        EXPECT_EQ(right_of(t), c.width < 690 ? 653 : 746);
    }
}

TEST_F(SafetyScreenTest, SignpostBoxAndStreetNameFlag)
{
    host.signpost = true;
    host.street_names = false;
    draw();
    EXPECT_TRUE(logged("instructions 5,10 602,95"));
    EXPECT_TRUE(logged("box height 95"));
    EXPECT_EQ(text(L"Harbour Road"), nullptr);
    EXPECT_FALSE(logged("street box 5,10 602,54"));
    // Without a current directive the next one's icon is shown.
    host.has_current = false;
    draw();
    EXPECT_TRUE(logged("direction icon of the next"));
}
