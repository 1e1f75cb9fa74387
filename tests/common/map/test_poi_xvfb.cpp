// The POI layer drawn into real pixels with the generated icon strips: icons
// by scale and visibility table, and the note bubble of a tapped POI.
#include <gtest/gtest.h>

#include <string>

#include "common/gdi/gdi_test_dc.h"
#include "common/geometry/xr_polygon.h"
#include "common/map/xr_poilayer.h"
#include "map_test_support.h"

using namespace xr_map_test;

namespace {

constexpr XrColorHandle kGround = 0xC0C0C0;
constexpr XrColorHandle kNote = 0xC0FFFF; // 255, 255, 192

// The colour of an icon's group of ten, as the icon description draws it.
XrColorHandle icon_colour(int index)
{
    static const XrColorHandle groups[] = {
        XrGDI::rgb(40, 90, 200), XrGDI::rgb(30, 150, 60), XrGDI::rgb(200, 40, 40), XrGDI::rgb(230, 130, 20),
        XrGDI::rgb(130, 60, 170), XrGDI::rgb(0, 140, 150), XrGDI::rgb(130, 90, 50),
    };
    return groups[(index / 10) % 7];
}

// Loads the generated strips of the first built-in set, as the
// application does, privately (deleted by the layer's release).
struct StripClient : XrPoiLayerClient {
    int loads = 0;
    bool has_rects = false;
    XrRectangle icon, note;

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
        if (set.kind != 1)
            return;
        load("poi_small", set.small, set.small_mask);
        load("poi_medium", set.medium, set.medium_mask);
        load("poi_large", set.large, set.large_mask);
    }
    static void load(const char* name, XrBitmapHandleRec*& image, XrBitmapHandleRec*& mask)
    {
        if (image != nullptr)
            return;
        const std::string path = std::string(XR_POI_IMAGES) + "/" + name + ".png";
        const std::wstring wide(path.begin(), path.end());
        EXPECT_TRUE(XrGDI::load_image_file(wide.c_str(), image, mask)) << path;
    }
};

struct PixelPois : ::testing::Test {
    PixelPois() : view(&map) {}
    void SetUp() override
    {
        XR_REQUIRE_DISPLAY();
        register_fonts();
        layer = new XrPoiLayer(&map, nullptr, false);
        storage = new XrMemoryGeomStorage();
        layer->get_storage()->add_storage(storage, 0);
        layer->set_client(&client);
        XrPoiLayerIconSet set;
        set.kind = 1;
        set.count = 70;
        layer->add_icon_set(set, true);
        map.add_layer(layer, XrString(L"poi"));
        set_up_view(view);
        target = std::make_unique<XrTestDC>(800, 480, kGround);
    }
    XrTestPixels draw(std::uint32_t scale)
    {
        set_up_view(view, scale);
        target->clear(kGround);
        layer->draw(target->dc, &view);
        return XrTestPixels(target->dc);
    }
    XrPoint screen(const XrPoint& w) const
    {
        XrPoint s;
        view.world_to_screen_2d(w.x, w.y, s.x, s.y);
        return s;
    }

    XrMap map;
    XrMapView view;
    XrPoiLayer* layer = nullptr;
    XrMemoryGeomStorage* storage = nullptr;
    StripClient client;
    std::unique_ptr<XrTestDC> target;
};

TEST_F(PixelPois, IconsAtThreeScalesWithTheVisibilityTable)
{
    // Types 3 (a blue diamond), 4 (hidden), 55 (a teal post, an airport
    // class that keeps its icon at every scale).
    add_text(*storage, 3, at(0, 0), "Fuel\t\t");
    add_text(*storage, 4, at(40, 0), "Hidden\t\t");
    add_text(*storage, 55, at(-40, 0), "Airport\t\t");
    layer->set_visibility(3, 1);
    layer->set_visibility(4, -1);
    layer->set_visibility(55, 1);
    struct Case {
        std::uint32_t scale;
        bool ordinary; // type 3 drawn as an icon
    };
    for (const Case& c : {Case{4000, true}, Case{10000, true}, Case{30000, false}}) {
        SCOPED_TRACE(c.scale);
        const XrTestPixels px = draw(c.scale);
        const XrPoint fuel = screen(at(0, 0)), hidden = screen(at(40, 0)), airport = screen(at(-40, 0));
        // A 16-pixel icon from the small strip, centred on its point: the
        // glyph white in the middle, the group's colour near the corners.
        EXPECT_EQ(px.at(airport.x, airport.y), kWhite);
        EXPECT_EQ(px.at(airport.x - 5, airport.y - 5), icon_colour(55));
        EXPECT_EQ(px.at(airport.x - 10, airport.y), kGround);
        EXPECT_EQ(px.at(airport.x + 9, airport.y), kGround);
        if (c.ordinary) {
            EXPECT_EQ(px.at(fuel.x, fuel.y), kWhite);
            EXPECT_EQ(px.at(fuel.x - 5, fuel.y - 5), icon_colour(3));
        } else {
            // From 20000 ordinary POIs are dots (there is no dot picture).
            EXPECT_EQ(px.count(kGround, fuel.x - 8, fuel.y - 8, fuel.x + 8, fuel.y + 8), 256);
        }
        // The hidden type is never drawn; the masks keep the corners clear.
        EXPECT_EQ(px.count(kGround, hidden.x - 8, hidden.y - 8, hidden.x + 8, hidden.y + 8), 256);
        EXPECT_EQ(px.at(airport.x - 8, airport.y - 8), kGround);
    }
}

TEST_F(PixelPois, TappedPoiShowsItsNote)
{
    add_text(*storage, 21, at(0, 60), "Fuel Station\tOpen 24h.\t");
    XrPolygon area;
    for (const XrPoint& p : {at(-2, 58), at(2, 58), at(2, 62), at(-2, 62), at(-2, 58)})
        area.add_point(p);
    XrMapItems items;
    EXPECT_TRUE(layer->pick(area, &view, &items));
    ASSERT_EQ(items.get_count(), 1);
    target->clear(kGround);
    EXPECT_EQ(layer->draw_picked_item(target->dc, &view, items.get_item(0)), 1);
    ASSERT_TRUE(client.has_rects);
    const XrTestPixels px(target->dc);

    // The icon from the medium strip (24 pixels) on the POI at (400, 144):
    // a red square.
    EXPECT_EQ(client.icon, XrRectangle(388, 132, 412, 156));
    EXPECT_EQ(px.at(400, 144), kWhite);
    EXPECT_EQ(px.at(392, 136), icon_colour(21));
    // The pale yellow bubble below it, with the name and the second line in
    // black, and its shadow.
    const XrRectangle& n = client.note;
    EXPECT_GT(n.top, client.icon.bottom);
    EXPECT_GT(px.count(kNote, n.left, n.top, n.right, n.bottom), (n.right - n.left) * (n.bottom - n.top) / 2);
    const int text = px.count(kBlack, n.left + 2, n.top + 2, n.right - 2, n.bottom - 2);
    EXPECT_GT(text, 100);
    EXPECT_GT(px.count(kBlack, n.right, n.top, n.right + 6, n.bottom + 6) +
                  px.count(kBlack, n.left, n.bottom, n.right + 6, n.bottom + 6),
              0);
    // Nothing of the bubble above the icon.
    EXPECT_EQ(px.count(kGround, 0, 0, 800, client.icon.top), 800 * client.icon.top);
}

} // namespace
