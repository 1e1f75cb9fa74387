#include "common/corvanel_core/interfaces/xr_mappoint.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/geometry/xr_projection.h"

#include <gtest/gtest.h>

#include <memory>

TEST(MapPoint, KindsCarryTheirTypeCodes)
{
    const XrCoordinate c(24.9, 60.1);
    EXPECT_EQ(XrCoordinateMapPoint(c).get_type(), 0);
    EXPECT_EQ(XrRoadblock(c).get_type(), 1);
    EXPECT_EQ(XrPoi(c, 7).get_type(), 2);
    EXPECT_EQ(XrCarParkMapPoint(c).get_type(), 3);
    EXPECT_EQ(XrFavourite().get_type(), 4);
    EXPECT_EQ(XrLocationMessage().get_type(), 5);
    EXPECT_EQ(XrHistoryMapPoint().get_type(), 9);
    EXPECT_FALSE(XrCoordinateMapPoint().get_coordinate().is_valid());
}

TEST(MapPoint, FavouritesCompareWithoutTheirCoordinates)
{
    XrUid uid;
    XrUidGenerator gen;
    gen.get_uid(uid);
    XrFavourite a(XrCoordinate(1, 2), 3, XrString(L"Home"), 5);
    XrFavourite b(XrCoordinate(9, 9), 3, XrString(L"Home"), 5);
    a.set_uid(uid);
    b.set_uid(uid);
    EXPECT_TRUE(a == b);
    b.set_speed_dial(0);
    EXPECT_TRUE(a != b);

    XrFavourite copy;
    copy = a;
    EXPECT_TRUE(copy == a);
    EXPECT_EQ(copy.get_coordinate().get_latitude(), 2);
    EXPECT_FALSE(XrFavourite().get_uid().is_set());
}

TEST(MapPoint, HistoryPointsIgnoreTheValidityFlag)
{
    XrHistoryMapPoint a(XrCoordinate(24.9, 60.1), XrString(L"Home"));
    XrHistoryMapPoint b(a);
    b.set_coordinate(XrCoordinate());
    b = XrHistoryMapPoint(XrCoordinate(24.9, 60.1), XrString(L"Home"));
    EXPECT_TRUE(a == b);
    XrHistoryMapPoint invalid;
    invalid = a;
    XrCoordinate raw; // same numbers, flag clear
    EXPECT_TRUE(XrHistoryMapPoint(XrCoordinate(0, 0), XrString(L"x")) == XrHistoryMapPoint(raw, XrString(L"x")));
    EXPECT_FALSE(a == XrHistoryMapPoint(XrCoordinate(24.9, 60.1), XrString(L"Work")));
}

TEST(MapPoint, RoadblockIdsAndPoiRecordPositions)
{
    XrRoadblock r;
    EXPECT_EQ(r.get_id(), -1);
    r.set_id(0);
    EXPECT_EQ(r.get_id(), 0);
    EXPECT_DEATH(r.set_id(-1), "id >= 0");

    XrPoi plain(XrCoordinate(1, 1), 4);
    EXPECT_FALSE(plain.has_record_position());
    EXPECT_EQ(plain.get_record_position(), 0);
    EXPECT_EQ(plain.get_class_id(), -1);
    XrPoi from_map(XrCoordinate(1, 1), 4, 0);
    EXPECT_TRUE(from_map.has_record_position());
}

TEST(MapPoint, PoiSettingsDefaults)
{
    XrStaticPoiSettings s;
    EXPECT_EQ(s.get_kind(), 0);
    EXPECT_EQ(s.get_class_id(), -1);
    EXPECT_EQ(s.is_visible(), 1);
    EXPECT_FALSE(s.get_distance().is_valid());
    XrDynamicPoiSettings d(3);
    EXPECT_EQ(d.get_kind(), 1);
    EXPECT_EQ(d.get_number(), 3);
    XrPoiSettings::XrBitmapData bm;
    bm.icon_index = 62;
    bm.file = L"icons.mbm";
    d.set_large_bm_data(bm);
    EXPECT_EQ(d.get_large_bm_data().icon_index, 62);
    EXPECT_EQ(d.get_large_bm_data().file, L"icons.mbm");
}

namespace {

class ProjectionMaps : public XrMapProvider {
public:
    XrProjection* get_projection() override { return projection.get(); }
    std::unique_ptr<XrProjection> projection{create_projection(XrString(L"simple://100000,0,0"))};
};

} // namespace

TEST(MapPoint, MapPointGoesThroughTheRegisteredProjection)
{
    ProjectionMaps maps;
    ASSERT_NE(maps.projection, nullptr);
    XrSingleton::set_instance(XrString(L"XrMapProvider"), static_cast<XrMapProvider*>(&maps));
    const XrCoordinate c(24.9, 60.1);
    const XrPoint p = XrCoordinateMapPoint(c).get_map_point();
    XrSingleton::set_instance(XrString(L"XrMapProvider"), nullptr);
    const XrPoint expected = c.to_point(maps.projection.get());
    EXPECT_EQ(p.x, expected.x);
    EXPECT_EQ(p.y, expected.y);
    EXPECT_NE(p.x, 0);
}
