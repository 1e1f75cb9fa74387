// The POI layer: icons by scale and visibility table, picks and the note
// bubble, proximity alerts, attribute texts and icon sets.
#include <gtest/gtest.h>

#include <cmath>

#include "common/geometry/xr_polygon.h"
#include "common/map/xr_poilayer.h"
#include "common/map/xr_poinotedrawer.h"
#include "map_test_support.h"

using namespace xr_map_test;

namespace {

// Loads the built-in sets: strips of 16 (small), 24 (medium), 32 (large).
struct Client : XrPoiLayerClient {
    int loads = 0;
    bool has_rects = false;
    XrRectangle icon, note;
    XrDCHandleRec* dc = nullptr;

    void set_note_rects(const XrRectangle* i, const XrRectangle* n) override
    {
        has_rects = i != nullptr && n != nullptr;
        if (has_rects) {
            icon = *i;
            note = *n;
        }
    }
    void load_icon_set(XrPoiLayerIconSet& set) override
    {
        ++loads;
        if (set.kind != 1 && set.kind != 2)
            return;
        if (set.small == nullptr)
            set.small = XrGDI::create_bitmap(dc, 16 * 100, 16);
        if (set.medium == nullptr)
            set.medium = XrGDI::create_bitmap(dc, 24 * 100, 24);
        if (set.large == nullptr)
            set.large = XrGDI::create_bitmap(dc, 32 * 100, 32);
    }
};

struct Settings : XrPoiAlertSettings {
    bool on = true;
    bool trafficcam_alert() override { return on; }
};

XrPoiLayerIconSet builtin()
{
    XrPoiLayerIconSet s;
    s.kind = 1;
    s.first_type = 0;
    s.count = 93;
    return s;
}

struct PoiFixture : ::testing::Test {
    PoiFixture() : view(&map)
    {
        register_fonts();
        dc = xr_recording_dc(800, 480);
        client.dc = dc;
        layer = new XrPoiLayer(&map, nullptr, false);
        storage = new XrMemoryGeomStorage();
        layer->get_storage()->add_storage(storage, 0);
        layer->set_client(&client);
        layer->set_alert_settings(&settings);
        layer->add_icon_set(builtin(), true);
        map.add_layer(layer, XrString(L"poi"));
        set_up_view(view);
    }
    ~PoiFixture() override { XrGDI::delete_dc(dc); }

    std::vector<const XrGdiCall*> icons_drawn(std::uint32_t scale)
    {
        set_up_view(view, scale);
        XrGdiRecording::instance().clear();
        layer->draw(dc, &view);
        return XrGdiRecording::instance().find("draw_bitmap_masked");
    }

    XrMap map;
    XrMapView view;
    XrPoiLayer* layer;
    XrMemoryGeomStorage* storage;
    Client client;
    Settings settings;
    XrDCHandleRec* dc;
};

} // namespace

TEST(PoiSizeClass, ByScaleAndTypeKey)
{
    struct Case {
        int key;
        std::uint32_t scale;
        int want;
    };
    const Case cases[] = {
        {3, 4000, 32},   {3, 4999, 32},  {3, 5000, 16},   {3, 10000, 16},  {3, 19999, 16},
        {3, 20000, 8},   {3, 30000, 8},  {51, 30000, 32}, {61, 499999, 32}, {69, 500000, 16},
        {62, 30000, 8},  {50, 30000, 8},
    };
    for (const Case& c : cases)
        EXPECT_EQ(XrPoiLayer::size_class(c.key, c.scale), c.want) << c.key << " " << c.scale;
}

TEST_F(PoiFixture, IconsAtThreeScalesWithTheVisibilityTable)
{
    add_text(*storage, 3, at(0, 0), "Fuel\t\t");
    add_text(*storage, 4, at(20, 0), "Hidden\t\t");
    add_text(*storage, 55, at(-20, 0), "Airport\t\t");
    layer->set_visibility(3, 1);
    layer->set_visibility(4, -1);
    layer->set_visibility(55, 1);
    for (std::uint32_t scale : {4000u, 10000u}) {
        const auto calls = icons_drawn(scale);
        ASSERT_EQ(calls.size(), 2u) << scale;
        // Centred 16-pixel squares from the small strip at x = 16 x type.
        EXPECT_EQ(calls[0]->args, (std::vector<long long>{392, 232, 408, 248, 48, 0, 0}));
        EXPECT_EQ(calls[1]->args[4], 16 * 55);
    }
    // From 20000 ordinary POIs are dots (no dot picture here): only the
    // airport keeps its icon.
    const auto far = icons_drawn(30000);
    ASSERT_EQ(far.size(), 1u);
    EXPECT_EQ(far[0]->args[4], 16 * 55);
}

TEST_F(PoiFixture, TappedPoiShowsItsNote)
{
    add_text(*storage, 3, at(0, 60), "<t0>Fuel Station\tOpen 24h.\thttp://x");
    add_text(*storage, 5, at(100, -100), "Far\t\t");
    XrPolygon area;
    for (const XrPoint& p : {at(-2, 58), at(2, 58), at(2, 62), at(-2, 62), at(-2, 58)})
        area.add_point(p);
    XrMapItems items;
    EXPECT_TRUE(layer->pick(area, &view, &items));
    ASSERT_EQ(items.get_count(), 1);
    XrGdiRecording::instance().clear();
    EXPECT_EQ(layer->draw_picked_item(dc, &view, items.get_item(0)), 1);
    ASSERT_TRUE(client.has_rects);
    // The icon (medium strip, 24) centred on the POI at (400, 144); upper
    // half: the box lies below it.
    EXPECT_EQ(client.icon, XrRectangle(388, 132, 412, 156));
    EXPECT_GT(client.note.top, client.icon.bottom);
    EXPECT_LT(client.note.left, 400);
    EXPECT_GT(client.note.right, 400);
    const auto texts = XrGdiRecording::instance().find("draw_bidi_text");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->text, L"Fuel Station");
    EXPECT_EQ(texts[0]->args[4], 27); // a third line: a link
    const auto second = XrGdiRecording::instance().find("draw_text_rect");
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0]->text, L"Open 24h");
    EXPECT_EQ(XrGdiRecording::instance().count("draw_round_rect"), 2); // shadow and body

    // Every draw clears the note's rectangles.
    layer->draw(dc, &view);
    EXPECT_FALSE(client.has_rects);
}

TEST(PoiNote, PlacementAndEdges)
{
    register_fonts();
    XrDCHandleRec* dc = xr_recording_dc(800, 480);
    struct Case {
        XrPoint anchor;
        bool below;
    };
    for (const Case& c : {Case{{400, 100}, true}, Case{{400, 240}, false}, Case{{5, 400}, false},
                          Case{{795, 100}, true}}) {
        XrPoiNoteDrawer note(L"A rather long title for a note");
        note.set_screen_size(XrSize(800, 480));
        note.set_anchor(c.anchor);
        XrRectangle icon, box;
        ASSERT_TRUE(note.draw(dc, icon, box));
        EXPECT_EQ(box.top > c.anchor.y, c.below) << c.anchor.x << "," << c.anchor.y;
        EXPECT_GE(box.left, 2);
        EXPECT_LE(box.right, 798);
    }
    // Nothing to draw: only the rectangles.
    XrPoiNoteDrawer empty(L"");
    empty.set_screen_size(XrSize(800, 480));
    XrRectangle icon, box;
    XrGdiRecording::instance().clear();
    EXPECT_TRUE(empty.draw(dc, icon, box));
    EXPECT_EQ(XrGdiRecording::instance().count("draw_round_rect"), 0);
    // A screen of 0 is refused, not fatal.
    XrPoiNoteDrawer zero(L"x");
    EXPECT_FALSE(zero.draw(dc, icon, box));
    XrGDI::delete_dc(dc);
}

TEST_F(PoiFixture, DrivingPastACameraAlertsOnceUntilLeft)
{
    add_text(*storage, 7, at(0, 0), "<t1@50>Camera\t\t");
    layer->set_visibility(7, 1);
    XrString text, sound;
    auto alert = [&](int dx) {
        const XrPoint p = at(dx, 0);
        return layer->get_proximity_alert(&p, 13.0, 0, text, sound, true);
    };
    EXPECT_FALSE(alert(-400)); // 50 km/h: 350 units
    EXPECT_FALSE(alert(-349));
    EXPECT_TRUE(alert(-340));
    EXPECT_EQ(std::wstring(text.c_str()), L"<t1@50>Camera\t\t");
    EXPECT_EQ(std::wstring(sound.c_str()), L"camera.wav");
    EXPECT_FALSE(alert(-100)); // already alerted
    EXPECT_FALSE(alert(200));
    EXPECT_EQ(layer->get_alerted_count(), 1);
    EXPECT_FALSE(alert(351)); // left: forgotten
    EXPECT_EQ(layer->get_alerted_count(), 0);
    EXPECT_TRUE(alert(300)); // coming back alerts again

    // Without "trafficcam_alert" the camera is an ordinary POI of value 1.
    settings.on = false;
    EXPECT_FALSE(alert(-1000));
    EXPECT_FALSE(alert(-1));
}

TEST_F(PoiFixture, AlertDistancesByKindAndTable)
{
    struct Case {
        const char* text;
        int value;      // table value of the type
        bool special;
        int inside;     // alerts at this distance
        int outside;    // but not at this one
        const wchar_t* sound;
    };
    const Case cases[] = {
        {"Fuel\t\t", 120, false, 117, 118, L"ding.wav"},
        {"Fuel\t\t", 1, false, -1, 0, L""},          // shown, never alerts
        {"<t1@60>C\t\t", 1, true, 497, 498, L"camera.wav"},
        {"<t1@90>C\t\t", 1, true, 797, 798, L"camera.wav"},
        {"<t1@90>C\t\t", -1, true, 797, 798, L"camera.wav"}, // hidden type, special alert
        {"<t1@90>C\t\t", 1, false, -1, 0, L""},      // not special: skipped
        {"<t4>X\t\t", 1, true, 397, 398, L""},
        {"<t7>X\t\t", 1, true, 197, 198, L"ding.wav"},
        {"<t12>X\t\t", 1, true, 247, 248, L"ding.wav"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        storage->clear();
        add_text(*storage, 7, at(0, 0), c.text);
        layer->set_visibility(7, c.value);
        XrString text, sound;
        if (c.inside >= 0) {
            const XrPoint in = at(-c.inside, 0);
            EXPECT_TRUE(layer->get_proximity_alert(&in, 10.0, 0, text, sound, c.special));
            EXPECT_EQ(std::wstring(sound.c_str()), c.sound);
            const XrPoint away = at(-5000, 0);
            layer->get_proximity_alert(&away, 10.0, 0, text, sound, c.special);
        }
        const XrPoint out = at(-c.outside, 0);
        EXPECT_FALSE(layer->get_proximity_alert(&out, 10.0, 0, text, sound, c.special));
        const XrPoint away = at(-5000, 0);
        layer->get_proximity_alert(&away, 10.0, 0, text, sound, c.special);
    }
}

TEST_F(PoiFixture, DirectedAlertWantsAMatchingHeading)
{
    add_text(*storage, 7, at(0, 0), "<t3a90>Camera\t\t");
    layer->set_visibility(7, 1);
    struct Case {
        int heading;
        bool alerts;
    };
    for (const Case& c : {Case{150, false}, Case{30, false}, Case{149, true}, Case{31, true}}) {
        XrString text, sound;
        const XrPoint p = at(0, 0);
        EXPECT_EQ(layer->get_proximity_alert(&p, 10.0, c.heading, text, sound, true), c.alerts) << c.heading;
        const XrPoint away = at(-5000, 0);
        layer->get_proximity_alert(&away, 10.0, 0, text, sound, true);
    }
}

TEST_F(PoiFixture, AlertIconIsTheLargeIconOfTheLastAlert)
{
    XrBitmapHandleRec *bitmap = nullptr, *mask = nullptr;
    int offset = 0, w = 0, h = 0;
    EXPECT_FALSE(layer->get_alert_icon(bitmap, mask, offset, w, h));
    add_text(*storage, 9, at(0, 0), "Fuel\t\t");
    layer->set_visibility(9, 100);
    XrString text, sound;
    const XrPoint p = at(10, 0);
    ASSERT_TRUE(layer->get_proximity_alert(&p, 10.0, 0, text, sound, false));
    ASSERT_TRUE(layer->get_alert_icon(bitmap, mask, offset, w, h));
    EXPECT_NE(bitmap, nullptr);
    EXPECT_EQ(h, 32);
    EXPECT_EQ(w, 32);
    EXPECT_EQ(offset, 32 * 9);
}

TEST(PoiText, Attributes)
{
    struct Case {
        const wchar_t* text;
        bool result;
        double speed;
        int angle;
        int kind;
        const wchar_t* rest;
    };
    const Case cases[] = {
        {L"Speed @30 here", true, 30 / 3.6, -1, 0, L"Speed @30 here"},
        {L"Plain", false, -1.0, -1, 0, L"Plain"},
        {L"<t1@50>  Cam\tx", true, 50 / 3.6, -1, 1, L"Cam\tx"},
        {L"<m30>Cam", true, 30 * 1.609344 / 3.6, -1, 0, L"Cam"},
        {L"<a-5t2>Cam", true, -1.0, -5, 2, L"Cam"},
        {L"<b90>Cam", true, -1.0, 0, 0, L"Cam"},
        {L"<b0>Cam", true, -1.0, 90, 0, L"Cam"},
        {L"<b400>Cam", true, -1.0, 410, 0, L"Cam"},
        {L"<t5>x@40", true, -1.0, -1, 5, L"x@40"}, // letters after ">" do not count
    };
    for (const Case& c : cases) {
        double speed = 0;
        int angle = 0, kind = 0;
        const wchar_t* rest = nullptr;
        EXPECT_EQ(XrPoiLayer::parse_poi_attributes(c.text, speed, angle, kind, &rest), c.result);
        EXPECT_NEAR(speed, c.speed, 1e-9);
        EXPECT_EQ(angle, c.angle);
        EXPECT_EQ(kind, c.kind);
        EXPECT_EQ(std::wstring(rest), c.rest);
    }
    XrString name, second, third;
    EXPECT_TRUE(XrPoiLayer::split_poi_name(L"<t1>Name\tSecond.\tThird", name, second));
    EXPECT_EQ(std::wstring(name.c_str()), L"Name");
    EXPECT_EQ(std::wstring(second.c_str()), L"Second");
    EXPECT_FALSE(XrPoiLayer::split_poi_name(L"Name", name, second));
    EXPECT_TRUE(second.is_empty());
    EXPECT_TRUE(XrPoiLayer::get_poi_third_field(L"a\tb\tc", third));
    EXPECT_EQ(std::wstring(third.c_str()), L"c");
    EXPECT_FALSE(XrPoiLayer::get_poi_third_field(L"a\tb", third));
    third = XrString(L"kept");
    EXPECT_FALSE(XrPoiLayer::get_poi_third_field(nullptr, third));
    EXPECT_EQ(std::wstring(third.c_str()), L"kept");
}

TEST_F(PoiFixture, RemovingASetKeepsTheCurrentOneValid)
{
    XrPoiLayerIconSet second = builtin();
    second.kind = 2;
    second.first_type = 93;
    second.count = 2;
    layer->add_icon_set(second, true);
    ASSERT_EQ(layer->get_current_icon_set()->kind, 2);
    layer->remove_icon_set(builtin());
    ASSERT_NE(layer->get_current_icon_set(), nullptr);
    EXPECT_EQ(layer->get_current_icon_set()->kind, 2);
    layer->remove_icon_set(second);
    EXPECT_EQ(layer->get_current_icon_set(), nullptr);
    EXPECT_EQ(layer->find_icon_set(nullptr, 93, false), nullptr);
}

TEST_F(PoiFixture, ProviderIconsSurviveARelease)
{
    XrPoiLayerIconSet dynamic;
    dynamic.kind = 7;
    dynamic.first_type = 0;
    dynamic.count = 10;
    dynamic.type_shift = 200;
    dynamic.storage = storage;
    dynamic.small = XrGDI::create_bitmap(dc, 160, 16);
    layer->add_icon_set(dynamic, false);
    add_text(*storage, 2, at(0, 0), "Dynamic\t\t");
    EXPECT_EQ(icons_drawn(10000).size(), 1u);
    // A further set releases the icons; the provider's set keeps its strip.
    XrPoiLayerIconSet other = builtin();
    other.kind = 2;
    other.first_type = 93;
    other.count = 2;
    layer->add_icon_set(other, false);
    EXPECT_FALSE(layer->icons_are_loaded());
    EXPECT_EQ(icons_drawn(10000).size(), 1u);
    XrGDI::delete_bitmap(dynamic.small);
}
