// The road number layer: shields placed once per road within the spacing,
// stable over a pan, cleared by a zoom, drawn in the scheme's shape.
#include <gtest/gtest.h>

#include <set>

#include "common/map/xr_roadnumberlayer.h"
#include "map_test_support.h"

using namespace xr_map_test;

namespace {

XrRoadNumberLayer::XrScheme scheme(int shape)
{
    XrRoadNumberLayer::XrScheme s;
    s.pen = XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 255, 255);
    s.brush = XrGDI::create_brush(XrGDI::BrushSolid, 0, 100, 0);
    s.text_colour = XrGDI::rgb(255, 255, 255);
    s.shape = shape;
    s.read = true;
    return s;
}

struct NumberFixture : ::testing::Test {
    NumberFixture() : view(&map)
    {
        register_fonts();
        layer = new XrRoadNumberLayer(&map, nullptr, false);
        storage = new XrMemoryGeomStorage();
        layer->get_storage()->add_storage(storage, 0);
        map.add_layer(layer, XrString(L"rn"));
        set_up_view(view);
        dc = xr_recording_dc(800, 480);
        for (int n = 1; n <= 5; ++n)
            layer->set_scheme(n, scheme(n == 2 ? 21 : 1));
    }
    ~NumberFixture() override { XrGDI::delete_dc(dc); }
    void draw()
    {
        XrGdiRecording::instance().clear();
        layer->draw(dc, &view);
    }
    std::vector<XrPoint> placed(const wchar_t* text) const
    {
        std::vector<XrPoint> out;
        auto it = layer->get_signs().find(text);
        if (it != layer->get_signs().end())
            for (const auto& r : it->second)
                out.push_back(XrPoint(r.x, r.y));
        return out;
    }

    XrMap map;
    XrMapView view;
    XrRoadNumberLayer* layer;
    XrMemoryGeomStorage* storage;
    XrDCHandleRec* dc;
};

} // namespace

TEST_F(NumberFixture, OneShieldPerRoadWithinTheSpacing)
{
    // Half the smaller window side: 150 units.
    add_text(*storage, 1, at(0, 0), "A1\tmore");
    add_text(*storage, 1, at(100, 0), "A1");
    add_text(*storage, 1, at(200, 0), "A1");
    add_text(*storage, 2, at(50, 50), "B7");
    draw();
    EXPECT_EQ(placed(L"A1"), (std::vector<XrPoint>{at(0, 0), at(200, 0)}));
    EXPECT_EQ(placed(L"B7"), (std::vector<XrPoint>{at(50, 50)}));
    // The same records next frame are not added again.
    draw();
    EXPECT_EQ(layer->get_sign_count(), 3);
    EXPECT_GE(XrGdiRecording::instance().count("draw_bidi_text"), 3);
}

TEST_F(NumberFixture, StableOverAPanClearedByAZoom)
{
    for (int i = 0; i < 8; ++i)
        add_text(*storage, 1, at(-200 + 60 * i, 0), "E45");
    draw();
    const std::vector<XrPoint> first = placed(L"E45");
    ASSERT_FALSE(first.empty());
    for (int step = 1; step <= 4; ++step) {
        const XrPoint c(kCentre.x + 20 * step, kCentre.y);
        ASSERT_TRUE(view.set_center_and_scale(&c, 10000, true));
        draw();
        EXPECT_EQ(placed(L"E45"), first) << step;
    }
    // A small zoom keeps the table; a larger one starts afresh.
    const XrPoint c = view.get_centre();
    ASSERT_TRUE(view.set_center_and_scale(&c, 10100, true));
    draw();
    EXPECT_EQ(placed(L"E45"), first);
    ASSERT_TRUE(view.set_center_and_scale(&c, 20000, true));
    draw();
    EXPECT_NE(placed(L"E45"), first);
}

TEST_F(NumberFixture, ClassesShareTheFirstSchemeAndBadClassesAreSkipped)
{
    add_text(*storage, 0, at(-100, 0), "X0");
    add_text(*storage, 1, at(100, 0), "X1");
    add_text(*storage, 250, at(0, 80), "BAD");
    add_text(*storage, 12, at(0, -80), "NOSCHEME");
    draw();
    ASSERT_EQ(layer->get_signs().at(L"X0").size(), 1u);
    EXPECT_EQ(layer->get_signs().at(L"X0")[0].scheme, 0);
    EXPECT_EQ(layer->get_signs().at(L"X1")[0].scheme, 0);
    EXPECT_EQ(layer->get_signs().count(L"BAD"), 0u);
    // A scheme that was never read draws nothing.
    for (const XrGdiCall* c : XrGdiRecording::instance().find("draw_bidi_text"))
        EXPECT_NE(c->text, L"NOSCHEME");
}

TEST_F(NumberFixture, ShieldsOffTheWindowByMoreThan100PixelsAreNotDrawn)
{
    // 100 pixels = 62.5 units left of the window's left edge (x = -250).
    add_text(*storage, 2, at(-250 - 62, 0), "IN");
    add_text(*storage, 2, at(-250 - 64, 100), "OUT");
    draw();
    std::set<std::wstring> drawn;
    for (const XrGdiCall* c : XrGdiRecording::instance().find("draw_bidi_text"))
        drawn.insert(c->text);
    EXPECT_EQ(drawn.count(L"IN"), 1u);
    EXPECT_EQ(drawn.count(L"OUT"), 0u);
}

TEST_F(NumberFixture, EveryShapeDrawsItsShield)
{
    struct Case {
        int shape;
        size_t polygons;
    };
    const Case cases[] = {{20, 2}, {21, 1}, {22, 2}, {23, 2}, {24, 1}, {1, 0}, {2, 0}};
    for (const Case& c : cases) {
        storage->clear();
        layer->set_scheme(9, scheme(c.shape));
        add_text(*storage, 9, at(0, 0), "99");
        draw();
        EXPECT_EQ(XrGdiRecording::instance().find("draw_polygon").size(), c.polygons) << c.shape;
        const size_t plates = XrGdiRecording::instance().find("draw_round_rect").size() +
                              XrGdiRecording::instance().find("draw_rectangle").size();
        EXPECT_EQ(plates, c.polygons == 0 ? 2u : 0u) << c.shape; // frame and plate
    }
}
