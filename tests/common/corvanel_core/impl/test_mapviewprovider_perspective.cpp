// A perspective preset of the map-view provider: the 3D set-up of the view
// changes, and the label layers' width tables made for the old one are
// dropped; a preset outside 0..5 changes nothing.
#include <gtest/gtest.h>

#include "common/corvanel_core/impl/xr_mapviewproviderimpl.h"
#include "common/map/xr_linelabellayer.h"
#include "common/map/xr_mapview.h"

TEST(MapViewPerspective, PresetDropsTheLabelWidthTablesAndUnknownOnesChangeNothing)
{
    XrMapView view(nullptr);
    view.set_screen_size(XrSize(800, 480));
    XrMapViewProviderImpl provider(nullptr, &view);
    const struct {
        int preset;
        int stored;
        bool dropped;
    } cases[] = {{3, 3, true}, {6, 3, false}, {-1, 3, false}, {0, 0, true}, {5, 5, true}};
    for (const auto& c : cases) {
        XrLineLabelLayer::compute_3d_width_tables(&view);
        ASSERT_TRUE(XrLineLabelLayer::width_tables_valid());
        provider.set_perspective(c.preset);
        EXPECT_EQ(provider.get_perspective(), c.stored) << c.preset;
        EXPECT_EQ(XrLineLabelLayer::width_tables_valid(), !c.dropped) << c.preset;
    }
}
