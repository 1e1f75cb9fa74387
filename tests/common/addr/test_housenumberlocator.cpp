#include "addr_test_util.h"
#include "common/addr/xr_housenumberlocator.h"
#include "common/container/xr_bytearray.h"
#include "common/db/xr_memorygeomstorage.h"
#include "common/db/memory_records.h"

namespace {

using L = XrHouseNumberLocator;
constexpr int EVEN = XrAddrAccessor::NUM_EVEN, ODD = XrAddrAccessor::NUM_ODD, MIXED = XrAddrAccessor::NUM_MIXED,
              NONE = XrAddrAccessor::NUM_NONE;

// A polyline in the in-memory record layout.
std::vector<BYTE> polyline(const std::vector<XrPoint>& pts)
{
    return xr_test::polyline_record(1, pts, 3, 0);
}

TEST(HouseNumberLocator, MatchHouseNumber)
{
    const struct {
        int n, from, to, type, result, out;
    } cases[] = {
        {7, 2, 10, EVEN, 0, 8},  {8, 2, 10, EVEN, 1, 8},  {7, 10, 2, EVEN, 0, 8},  {1, 1, 1, ODD, 1, 1},
        {11, 1, 9, ODD, 0, 9},   {0, 1, 9, ODD, 0, 1},    {5, 2, 10, MIXED, 1, 5}, {4, 3, 5, ODD, 0, 5},
        {10, 1, 10, ODD, 0, 9},  {4, 4, 4, ODD, 0, 4},    {5, 1, 9, NONE, 0, 0},
    };
    for (const auto& c : cases) {
        int out = -1;
        EXPECT_EQ(L::match_house_number(c.n, c.from, c.to, c.type, out), c.result)
            << c.n << " in " << c.from << "-" << c.to << " type " << c.type;
        EXPECT_EQ(out, c.out) << c.n << " in " << c.from << "-" << c.to << " type " << c.type;
    }
}

class Locator : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto add = [&](const std::vector<XrPoint>& pts) {
            std::vector<BYTE> b = polyline(pts);
            ASSERT_EQ(roads.add_record(XrGeomStorage::RecPolyline, b.data(), b.size()), XrGeomStorage::OK);
        };
        add({{0, 0}, {1000, 0}});                 // edge 0
        add({{1000, 0}, {1000, 1000}});           // edge 1
        add({{0, 0}, {600, 0}, {600, 800}});      // edge 2, 1400 long
        std::vector<BYTE> point(16, 0);
        ASSERT_EQ(roads.add_record(XrGeomStorage::RecPoint, point.data(), point.size()), XrGeomStorage::OK);

        XrAddrWriter w;
        town = w.add_county("Town#Region#Country");
        village = w.add_county("Village#Region#Country");
        main_town = w.add_street(street("Main Street", town, {seg(0, 1, 9, 2, 10), seg(1, 11, 19, 12, 20)}));
        main_village = w.add_street(street("Main Street", village, {seg(2, 1, 1, 2, 2)}));
        quiet = w.add_street(street("Quiet Lane", town, {seg_without_numbers(0), seg_without_numbers(2)}));
        broken = w.add_street(street("Broken Way", town, {seg(3, 1, 5, 2, 6)}));
        ghost = w.add_street(street("Ghost Road", town, {seg(99, 1, 5, 2, 6)}));
        XrAddrSegmentDef m = seg(0, 1, 10, 2, 2);
        m.left_mixed = true;
        mixed = w.add_street(street("Mixed Row", town, {m}));
        addr = open_db(build_db(w));
        for (int i : {main_town, main_village, quiet, broken, ghost, mixed})
            keys[i] = w.get_street_position(i);
    }

    XrMemoryGeomStorage roads;
    std::unique_ptr<XrAddrAccessor> addr;
    std::uint32_t town = 0, village = 0;
    int main_town = 0, main_village = 0, quiet = 0, broken = 0, ghost = 0, mixed = 0;
    std::uint32_t keys[8] = {};
};

TEST_F(Locator, HousePositionOnAnEdge)
{
    L loc(&roads, addr.get(), 10);
    const struct {
        XrGid gid;
        bool left;
        int from, to, n;
        XrPoint point;
        bool first_half;
    } cases[] = {
        {0, true, 1, 1, 1, {500, 10}, true},    // the middle
        {0, false, 1, 9, 1, {166, -10}, true},
        {0, true, 1, 9, 1, {166, 10}, true},    // t = 1/6
        {0, true, 1, 9, 9, {833, 10}, false},
        {0, true, 9, 1, 1, {833, 10}, false},   // numbers against the edge
        // Upward legs: their angle in radians turns into 89 whole degrees.
        {2, true, 1, 1, 1, {590, 100}, true}, // on the second leg
        {1, false, 12, 20, 12, {1009, 166}, true},
    };
    for (const auto& c : cases) {
        XrPoint p;
        bool first = !c.first_half;
        ASSERT_TRUE(loc.get_house_position(c.gid, c.left, c.from, c.to, c.n, p, first));
        EXPECT_EQ(p, c.point) << c.gid << " " << c.from << "-" << c.to << " " << c.n;
        EXPECT_EQ(first, c.first_half);
    }
    XrPoint p(7, 7);
    bool first = false;
    EXPECT_FALSE(loc.get_house_position(3, true, 1, 1, 1, p, first)); // a point record
    EXPECT_FALSE(loc.get_house_position(99, true, 1, 1, 1, p, first));
    EXPECT_EQ(p, XrPoint(7, 7));
    L without_roads(nullptr, addr.get(), 10);
    EXPECT_FALSE(without_roads.get_house_position(0, true, 1, 1, 1, p, first));
}

TEST_F(Locator, LocateByPosition)
{
    L loc(&roads, addr.get(), 10);
    const struct {
        int street;
        int n;
        int result;
        XrPoint point;
        XrGid gid;
        bool first_half;
        int closest;
    } cases[] = {
        {main_town, 12, L::EXACT, {1009, 166}, 1, true, 12},
        {main_town, 7, L::EXACT, {666, 10}, 0, false, 7},
        {main_town, 25, L::CLOSEST, {-1, -1}, 77, false, 20},
        {main_town, 0, L::CLOSEST, {-1, -1}, 77, false, 1},
        {quiet, 5, L::NO_NUMBERS, {600, 100}, 2, true, 0},
        {broken, 3, L::FAILED, {-1, -1}, 77, false, -1},
        {ghost, 3, L::FAILED, {-1, -1}, 77, false, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.street << " " << c.n);
        XrPoint p(-1, -1);
        XrGid gid = 77;
        bool first = false;
        int closest = -1;
        EXPECT_EQ(loc.locate_by_position(keys[c.street], c.n, p, gid, first, closest), c.result);
        EXPECT_EQ(p, c.point);
        EXPECT_EQ(gid, c.gid);
        EXPECT_EQ(first, c.first_half);
        EXPECT_EQ(closest, c.closest);
    }
    XrPoint p;
    XrGid gid = 0;
    bool first = false;
    int closest = 0;
    EXPECT_EQ(loc.locate_by_position(0x70000000, 1, p, gid, first, closest), L::FAILED);
}

TEST_F(Locator, LocateByName)
{
    L loc(&roads, addr.get(), 10);
    XrPoint p;
    XrGid gid = 77;
    bool first = false;
    int closest = 0;
    // By county name: the street of the village.
    EXPECT_EQ(loc.locate_by_name(L"Village#Region#Country", nullptr, L"main street", 2, p, gid, first, closest),
              L::EXACT);
    EXPECT_EQ(gid, 2u);
    EXPECT_EQ(p, XrPoint(609, 99)); // right of the upward second leg
    // By county id, spelled otherwise.
    EXPECT_EQ(loc.locate_by_name(L"", &town, L"MAIN-STREET", 2, p, gid, first, closest), L::EXACT);
    EXPECT_EQ(gid, 0u);
    EXPECT_EQ(loc.locate_by_name(L"", &town, L"Main Street", 40, p, gid, first, closest), L::CLOSEST);
    EXPECT_EQ(closest, 20);
    EXPECT_EQ(loc.locate_by_name(L"", &town, L"Quiet Lane", 1, p, gid, first, closest), L::NO_NUMBERS);
    const unsigned int nowhere = 999;
    EXPECT_EQ(loc.locate_by_name(L"", &nowhere, L"Main Street", 2, p, gid, first, closest), L::FAILED);
    EXPECT_EQ(loc.locate_by_name(L"Town#Region#Country", nullptr, L"Mian Street", 2, p, gid, first, closest),
              L::FAILED);
    EXPECT_EQ(loc.locate_by_name(L"City#Region#Country", nullptr, L"Main Street", 2, p, gid, first, closest),
              L::FAILED);
}

TEST_F(Locator, HouseNumbersAtADistance)
{
    L loc(&roads, addr.get(), 10);
    const struct {
        int street;
        XrGid gid;
        double distance;
        int left, right;
    } cases[] = {
        {main_town, 0, 0, 1, 2},  {main_town, 0, 500, 5, 6},  {main_town, 0, 1000, 9, 10},
        {main_town, 1, 250, 13, 14}, {main_town, 0, 3000, 9, 10}, {quiet, 2, 700, 0, 0},
        {mixed, 0, 500, 6, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.street << " " << c.gid << " " << c.distance);
        XrString name;
        int left = -1, right = -1;
        unsigned int county = 99;
        ASSERT_TRUE(loc.get_house_numbers_at(keys[c.street], c.gid, c.distance, name, left, right, &county));
        EXPECT_EQ(left, c.left);
        EXPECT_EQ(right, c.right);
        EXPECT_EQ(county, town);
    }
    XrString name;
    int left = 0, right = 0;
    ASSERT_TRUE(loc.get_house_numbers_at(keys[main_village], 2, 0, name, left, right, nullptr));
    EXPECT_EQ(wstr(name), L"Main Street");
    EXPECT_FALSE(loc.get_house_numbers_at(keys[main_town], 2, 0, name, left, right, nullptr));
    EXPECT_FALSE(loc.get_house_numbers_at(keys[ghost], 99, 0, name, left, right, nullptr));
    EXPECT_FALSE(loc.get_house_numbers_at(0x70000000, 0, 0, name, left, right, nullptr));
}

} // namespace
