// The limits of the map view: taken from the map's areas, water and roads
// when it is attached, so that a car on a road outside the areas and water
// is still followed.
#include <gtest/gtest.h>

#include "common/db/xr_memorygeomstorage.h"
#include "common/map/xr_geomlayer.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapview.h"

namespace {

// A storage that reports a fixed data box, as the stored storages report
// the box of their file header.
class BoxedStorage : public XrMemoryGeomStorage {
public:
    explicit BoxedStorage(const XrRectangle& box) { bounding_box = box; }
};

struct Layer {
    const TCHAR* name;
    XrRectangle box;
};

// A map with one geometry layer per entry.
void build(XrMap& map, std::initializer_list<Layer> layers)
{
    for (const Layer& l : layers) {
        auto* layer = new XrGeomLayer(&map, nullptr, false);
        layer->get_storage()->add_storage(new BoxedStorage(l.box), 0);
        ASSERT_TRUE(map.add_layer(layer, XrString(l.name)));
    }
}

void size_view(XrMapView& view)
{
    view.set_screen_size(XrSize(800, 480));
    view.set_visible_rect(XrRectangle(0, 0, 800, 480));
    view.set_default_scale_reference();
}

TEST(MapViewLimits, CoverRoadsBeyondTheAreasAndWater)
{
    XrMap map;
    // Water in the south-west; the roads reach far north and east of it.
    // Other layers do not count (a POI layer's box may hold the origin).
    build(map, {{L"wa", XrRectangle(1000, 1000, 5000, 4000)},
                {L"road", XrRectangle(2000, 500, 9000, 12000)},
                {L"poi", XrRectangle(0, 0, 9500, 12000)}});
    XrMapView view(&map);
    view.set_map(&map);
    size_view(view);
    const XrRectangle& limits = view.get_limits();
    EXPECT_EQ(limits.left, 1000);
    EXPECT_EQ(limits.top, 500);
    EXPECT_EQ(limits.right, 9000);
    EXPECT_EQ(limits.bottom, 12000);
    // The areas-and-water extent is still only that of "wa".
    XrRectangle extent;
    ASSERT_TRUE(view.get_map_extent(extent));
    EXPECT_EQ(extent.right, 5000);

    // A car on a road north of the water: the view follows it.
    const XrPoint north(3000, 11000);
    EXPECT_TRUE(view.set_center_and_scale(&north, 5000, true));
    EXPECT_EQ(view.get_centre().x, north.x);
    EXPECT_EQ(view.get_centre().y, north.y);
    // Outside every layer's data the view stays where it is.
    const XrPoint away(20000, 11000);
    EXPECT_FALSE(view.set_center_and_scale(&away, 5000, true));
    EXPECT_EQ(view.get_centre().x, north.x);
}

TEST(MapViewLimits, MapWithoutDataHasNoLimits)
{
    XrMap map;
    build(map, {{L"road", XrRectangle()}});
    XrMapView view(&map);
    view.set_map(&map);
    size_view(view);
    XrRectangle extent;
    EXPECT_FALSE(view.get_data_extent(extent));
    const XrPoint anywhere(123456, 654321);
    EXPECT_TRUE(view.is_inside_limits(anywhere));
    EXPECT_TRUE(view.set_center_and_scale(&anywhere, 5000, true));
}

TEST(MapViewLimits, DetachingClearsThem)
{
    XrMap map;
    build(map, {{L"road", XrRectangle(0, 0, 10, 10)}});
    XrMapView view(&map);
    view.set_map(&map);
    EXPECT_FALSE(view.is_inside_limits(XrPoint(50, 50)));
    view.set_map(nullptr);
    EXPECT_TRUE(view.is_inside_limits(XrPoint(50, 50)));
}

} // namespace
