// What the traffic box states draw, through the recording backend.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/gdi/recording/xr_gdi_recording.h"
#include "common/map/xr_trafficstate.h"
#include "common/types/xr_distance.h"
#include "map_test_support.h"

namespace {

XrBitmapHandleRec g_strip{};
XrBitmapHandleRec g_mask{};

// Layout: disc radius u 10, gap g 4, chevrons 6 x 8 spaced 12; icons 16 x 16.
struct DrawHost : XrTrafficHost {
    XrTrafficARecord a;
    XrTrafficCRecord c;
    std::uint32_t clock = 1000;
    int text_width = 300;
    bool has_icons = true;
    int delay_ahead = 0;
    std::vector<int> delay_queries;
    std::vector<int> timers;
    bool playing = false;
    bool loads = true;
    std::vector<std::wstring> loaded_paths;
    std::vector<std::wstring> played;

    const XrTrafficARecord& get_a_event() const override { return a; }
    const XrTrafficCRecord& get_c_event() const override { return c; }
    std::uint32_t get_tick_ms() const override { return clock; }
    XrPoint layout_point_for_id(int key) const override
    {
        switch (key) {
        case 5: return XrPoint(0, 37);
        case 6: return XrPoint(10, 0);
        case 7: return XrPoint(4, 0);
        case 8: return XrPoint(6, 8);
        case 9: return XrPoint(12, 0);
        default: return XrPoint(0, 0);
        }
    }
    int measure_text(const XrString&) const override { return text_width; }
    bool get_poi_icon(int type_key, XrBitmapHandleRec*& bitmap, XrBitmapHandleRec*& mask, int& offset, int& width,
                      int& height) override
    {
        if (!has_icons)
            return false;
        bitmap = &g_strip;
        mask = &g_mask;
        offset = 16 * (type_key - 51);
        width = height = 16;
        return true;
    }
    int get_traffic_delay_ahead(int metres) override
    {
        delay_queries.push_back(metres);
        return delay_ahead;
    }
    void set_box_timer(int ms) override { timers.push_back(ms); }
    XrString get_voice_root() const override { return XrString(L"/voices"); }
    XrString get_voice_set() const override { return XrString(L"en"); }
    bool is_audio_playing() const override { return playing; }
    bool prompt_file_loads(const XrString& path) override
    {
        loaded_paths.emplace_back(path.c_str());
        return loads;
    }
    void play_prompt(const XrString& file) override { played.emplace_back(file.c_str()); }
};

const XrPoint kTopLeft(100, 50);
const XrPoint kBottomRight(300, 70);

struct TrafficDrawTest : ::testing::Test {
    DrawHost host;
    bool a_shown = false, a_played = false, c_shown = false;
    XrDCHandleRec* dc = xr_recording_dc(800, 480);

    TrafficDrawTest()
    {
        host.a.shown = &a_shown;
        host.a.played = &a_played;
        host.a.sound = XrString(L"jam.wav");
        host.a.fallback_sound = XrString(L"ding.wav");
        host.c.shown = &c_shown;
        xr_map_test::register_fonts();
        XrGdiRecording::instance().clear();
    }
    ~TrafficDrawTest() override { XrGDI::delete_dc(dc); }

    void a_event(int id, int distance, int delay = 0, int kind = 2)
    {
        host.a.present = true;
        host.a.id = id;
        host.a.distance = distance;
        host.a.delay = delay;
        host.a.icon_kind = kind;
    }
    void c_event(int id, int distance, int kind = 3)
    {
        host.c.present = true;
        host.c.id = id;
        host.c.distance = distance;
        host.c.icon_kind = kind;
    }
    bool draw(XrTrafficVisualization& state)
    {
        XrGdiRecording::instance().clear();
        XrPoint tl = kTopLeft, br = kBottomRight;
        return state.draw(dc, tl, br);
    }
    static const XrGdiCall* first(const char* name)
    {
        auto calls = XrGdiRecording::instance().find(name);
        return calls.empty() ? nullptr : calls.front();
    }
};

std::wstring display(int metres)
{
    return XrDistance(metres, XrDistance::Metres).to_display_string(XrDistance::Metric, 1).c_str();
}

} // namespace

TEST_F(TrafficDrawTest, EventBoxShowsIconDiscAndCentredDistance)
{
    a_event(7, 1200, 600, 2);
    XrTrafficVisualizationAI state(&host, 0, false, false);
    EXPECT_TRUE(draw(state));

    const XrGdiCall* box = first("draw_rectangle");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->args, (std::vector<long long>{0, 50, 400, 70})); // 100 pixels beyond each side
    EXPECT_EQ(box->brush_rgb(), XrGDI::rgb(255, 255, 105));
    EXPECT_EQ(box->pen_rgb(), 0);

    const XrGdiCall* icon = first("draw_bitmap_masked");
    ASSERT_NE(icon, nullptr);
    // x = left + 1, y = top + (20 - 16) / 2 - 1; the strip's cell of type 51 + kind.
    EXPECT_EQ(icon->args, (std::vector<long long>{101, 51, 117, 67, 32, 0, 1}));

    const XrGdiCall* disc = first("draw_ellipse");
    ASSERT_NE(disc, nullptr);
    EXPECT_EQ(disc->args, (std::vector<long long>{116, 50, 136, 70})); // centre (left + 16 + u, middle)
    EXPECT_EQ(disc->brush_rgb(), XrGDI::rgb(255, 255, 255));

    const XrGdiCall* text = first("draw_text_rect");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text, display(1200));
    ASSERT_NE(text->font, nullptr);
    const XrSize size = xr_recording_text_size(text->font, text->text.c_str(), -1);
    const int a = 16 + 2 * 10 + 4;
    EXPECT_EQ(text->args[0], 100 + a + (200 - a - size.width - 4) / 2);
    EXPECT_EQ(text->args[1], 50 + (20 - size.height) / 2);
    EXPECT_EQ(text->text_color, 0u);

    EXPECT_TRUE(a_shown);
    EXPECT_EQ(host.timers, (std::vector<int>{0, 800})); // cancelled by the slide, re-armed by the box
}

TEST_F(TrafficDrawTest, DelayDiscSectorFollowsTheClock)
{
    // delay seconds -> disc colour, the sector's last point (none: 0, 0)
    struct Case {
        int delay;
        XrColorHandle disc;
        bool sector;
        XrPoint end;
    };
    const XrColorHandle white = XrGDI::rgb(255, 255, 255), red = XrGDI::rgb(192, 0, 0);
    const Case cases[] = {
        {0, white, false, {}},
        {900, white, true, XrPoint(136, 60)},   // a quarter: 3 o'clock
        {1800, white, true, XrPoint(126, 70)},  // a half: 6 o'clock
        {3600, white, true, XrPoint(126, 50)},  // the full circle back at 12
        {3601, red, false, {}},                 // above an hour: dark red, no sector
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.delay);
        a_event(7, 1200, k.delay);
        XrTrafficVisualizationAI state(&host, 0, false, false);
        draw(state);
        const XrGdiCall* disc = first("draw_ellipse");
        ASSERT_NE(disc, nullptr);
        EXPECT_EQ(disc->brush_rgb(), static_cast<int>(k.disc));
        const XrGdiCall* sector = first("draw_polygon");
        ASSERT_EQ(sector != nullptr, k.sector);
        if (!k.sector)
            continue;
        EXPECT_EQ(sector->brush_rgb(), static_cast<int>(red));
        EXPECT_EQ(sector->points.front(), XrPoint(126, 60)); // closed at the centre
        EXPECT_EQ(sector->points[1], XrPoint(126, 50));      // starting at 12 o'clock
        EXPECT_EQ(sector->points.back(), k.end);
        // A point every 8 degrees plus the end.
        EXPECT_EQ(static_cast<int>(sector->points.size()), 1 + (k.delay / 10 + 7) / 8 + 1);
    }
}

TEST_F(TrafficDrawTest, CurrentRoadEventDrawsChevronsAndAsksTheDelayAhead)
{
    c_event(4, 800);
    host.delay_ahead = 1800;
    XrTrafficVisualizationCI state(&host, 0);
    EXPECT_TRUE(draw(state));
    EXPECT_EQ(host.delay_queries, (std::vector<int>{800}));
    EXPECT_EQ(first("draw_text_rect")->text, display(800));
    EXPECT_TRUE(c_shown);

    auto polygons = XrGdiRecording::instance().find("draw_polygon");
    ASSERT_EQ(polygons.size(), 7u); // the delay sector and six chevrons
    std::vector<int> xs;
    for (size_t i = 1; i < polygons.size(); ++i) {
        const XrGdiCall* p = polygons[i];
        ASSERT_EQ(p->points.size(), 3u);
        const int x = p->points[0].x;
        EXPECT_EQ(p->points[0], XrPoint(x, 56));
        EXPECT_EQ(p->points[1], XrPoint(x, 64));
        EXPECT_EQ(p->points[2], XrPoint(x + 5, 60));
        EXPECT_EQ(p->brush_rgb(), XrGDI::rgb(192, 0, 0));
        xs.push_back(x);
    }
    // Left: left + A + i * 12 - g / 2 with A = 40; right: right - i * 12 - 6 - 6.
    EXPECT_EQ(xs, (std::vector<int>{138, 288, 150, 276, 162, 264}));
}

TEST_F(TrafficDrawTest, BoxSlidesUpIntoPlaceOverTwoSeconds)
{
    a_event(7, 1200);
    XrTrafficVisualizationAI state(&host, 0, true, false);
    // ms after the start -> how far the box still hangs below its place
    const std::pair<int, int> steps[] = {{0, 20}, {1000, 14}, {1500, 7}, {2000, 0}, {2500, 0}};
    std::uint32_t start = host.clock;
    for (auto [ms, offset] : steps) {
        SCOPED_TRACE(ms);
        host.clock = start + ms;
        draw(state);
        const XrGdiCall* box = first("draw_rectangle");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->args[1], 50 + offset);
        EXPECT_EQ(box->args[3], 70 + offset);
    }
}

TEST_F(TrafficDrawTest, TickerScrollsTextWithIconAndDiscAhead)
{
    a_event(7, 1200, 600);
    host.a.text = XrString(L"Jam");
    XrTrafficVisualizationAS state(&host, false);
    const std::uint32_t start = host.clock;
    // 40 ms a pixel (u = 10); x0 = ms / 40 - 198; A = 40.
    struct Step {
        int ms;
        int text_x;
        int icon_x; // -1: not drawn
    };
    const Step steps[] = {
        {0, 300, 101},        // enters at the right edge, icon in its place
        {40 * 158, 142, 101}, // x0 = -40 = -A: still in place
        {40 * 178, 122, 81},  // x0 = -20: moved left by x0 + A
        {40 * 198, 102, 61},  // x0 = 0
        {40 * 199, 101, -1},  // x0 = 1: scrolled out ahead of the text
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.ms);
        host.clock = start + s.ms;
        EXPECT_TRUE(draw(state));
        const XrGdiCall* clip = first("set_clip_rect");
        ASSERT_NE(clip, nullptr);
        EXPECT_EQ(clip->args, (std::vector<long long>{102, 50, 298, 70}));
        const XrGdiCall* text = first("draw_text_rect");
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->args[0], s.text_x);
        EXPECT_EQ(text->args[4], XrGDI::LeftMiddle);
        const XrGdiCall* icon = first("draw_bitmap_masked");
        EXPECT_EQ(icon != nullptr, s.icon_x >= 0);
        if (icon != nullptr) {
            EXPECT_EQ(icon->args[0], s.icon_x);
            EXPECT_EQ(first("draw_ellipse")->args[0], s.icon_x - 1 + 16); // disc centre - u
        }
        EXPECT_EQ(XrGdiRecording::instance().count("clear_clip_rect"), 1);
    }
    // Scrolled out past its width (300): nothing is drawn and the value is 0.
    host.clock = start + 40 * (198 + 301);
    EXPECT_FALSE(draw(state));
    EXPECT_EQ(XrGdiRecording::instance().count("draw_text_rect"), 0);
    EXPECT_EQ(XrGdiRecording::instance().count("draw_rectangle"), 0);
    EXPECT_EQ(state.get_value(), 0);
}

TEST_F(TrafficDrawTest, ScrollingTextCarriesTheDistanceOfTheShownEvent)
{
    struct Case {
        const wchar_t* name;
        int a_distance;
        int c_id; // 0: no C-event
        int c_distance;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"A distance", 1200, 0, 0, L"Jam ahead --- " + display(1200)},
        {L"no distance", 0, 0, 0, L"Jam ahead"},
        {L"C-event with the shown id", 1200, 7, 500, L"Jam ahead --- " + display(500)},
        {L"C-event of another id", 1200, 8, 500, L"Jam ahead --- " + display(1200)},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.name, k.name + wcslen(k.name)));
        a_event(7, k.a_distance);
        host.a.text = XrString(L"Jam\nahead"); // control characters become spaces
        host.c.present = k.c_id != 0;
        host.c.id = k.c_id;
        host.c.distance = k.c_distance;
        XrTrafficVisualizationAS state(&host, false);
        draw(state);
        const XrGdiCall* text = first("draw_text_rect");
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->text, k.expected);
    }
}

TEST_F(TrafficDrawTest, EventSoundPlaysOnceWithFallback)
{
    struct Case {
        const char* name;
        bool already_played;
        bool playing;
        bool loads;
        std::vector<std::wstring> played;
    };
    const Case cases[] = {
        {"prompt file loads", false, false, true, {L"jam.wav"}},
        {"prompt file missing", false, false, false, {L"ding.wav"}},
        {"another prompt playing", false, true, true, {}},
        {"already played", true, false, true, {}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        host.played.clear();
        host.loaded_paths.clear();
        a_event(7, 1200);
        a_played = k.already_played;
        host.playing = k.playing;
        host.loads = k.loads;
        XrTrafficVisualizationAI state(&host, 0, false, false);
        draw(state);
        draw(state);
        EXPECT_EQ(host.played, k.played);
        EXPECT_EQ(a_played, k.already_played || !k.playing);
        if (!k.played.empty()) {
            EXPECT_EQ(host.loaded_paths, (std::vector<std::wstring>{L"/voices/en/jam.wav"}));
        }
    }
}

TEST_F(TrafficDrawTest, WithoutIconsTheDiscMovesToTheLeftEdge)
{
    host.has_icons = false;
    a_event(7, 1200, 600);
    XrTrafficVisualizationAI state(&host, 0, false, false);
    draw(state);
    EXPECT_EQ(XrGdiRecording::instance().count("draw_bitmap_masked"), 0);
    EXPECT_EQ(first("draw_ellipse")->args, (std::vector<long long>{100, 50, 120, 70}));
}

TEST_F(TrafficDrawTest, ClearDrawsNothing)
{
    XrTrafficVisualizationClear state(&host);
    EXPECT_FALSE(draw(state));
    EXPECT_TRUE(XrGdiRecording::instance().get_calls().empty());
    EXPECT_EQ(host.timers, (std::vector<int>{0}));
}
