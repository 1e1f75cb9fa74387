#include "common/corvanel_core/impl/xr_parkingproviderimpl.h"
#include "common/corvanel_core/impl/map_doubles.h"
#include "common/corvanel_core/impl/provider_files.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Counter : public XrParkingListener {
public:
    void parking_changed() override { ++calls; }
    int calls = 0;
};

class ParkingTest : public ::testing::Test {
protected:
    ParkingTest() { parking.add_listener(&counter); }
    std::string path() const { return files.map_file("parking.txt"); }

    ProviderFiles files;
    FakeMapProvider maps;
    XrParkingProviderImpl parking{nullptr};
    Counter counter;
};

} // namespace

TEST_F(ParkingTest, ParkingWritesTheThreeValues)
{
    maps.open();
    const XrDatetime when(1700000000);
    ASSERT_TRUE(parking.park_car(XrCoordinate(24.9, 60.1), &when));
    EXPECT_EQ(counter.calls, 1);
    const std::string text = ProviderFiles::read(path());
    EXPECT_NE(text.find("parked=1"), std::string::npos);
    EXPECT_NE(text.find("position=60.1000000000|24.9000000000"), std::string::npos);
    EXPECT_NE(text.find("time=1700000000"), std::string::npos);

    auto records = maps.records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].type, 69);
}

TEST_F(ParkingTest, TheParkTimeSurvivesRoundTrips)
{
    maps.open();
    const XrDatetime when(1700000000);
    ASSERT_TRUE(parking.park_car(XrCoordinate(24.9, 60.1), &when));
    for (int i = 0; i < 3; ++i) {
        maps.close();
        maps.open();
        ASSERT_TRUE(parking.write_data());
    }
    XrDatetime back;
    parking.get_park_datetime(back);
    EXPECT_TRUE(parking.is_parked());
    EXPECT_EQ(back.get_utc(), when.get_utc());
    XrCoordinate c;
    ASSERT_TRUE(parking.get_car_coordinate(c));
    EXPECT_DOUBLE_EQ(c.get_latitude(), 60.1);
}

TEST_F(ParkingTest, AFileWithoutPositionIsNotParked)
{
    files.write(path(), "REGEDIT4\r\n[\\parking]\r\nparked=1\r\ntime=1700000000\r\n");
    maps.open();
    EXPECT_FALSE(parking.is_parked());
    EXPECT_TRUE(maps.records().empty());
}

TEST_F(ParkingTest, UnparkingKeepsTimeAndPosition)
{
    maps.open();
    ASSERT_TRUE(parking.park_car(XrCoordinate(24.9, 60.1), nullptr));
    ASSERT_TRUE(parking.unpark_car());
    const std::string text = ProviderFiles::read(path());
    EXPECT_NE(text.find("parked=0"), std::string::npos);
    EXPECT_NE(text.find("position=60.1000000000|24.9000000000"), std::string::npos);
    EXPECT_NE(text.find("time="), std::string::npos);
    EXPECT_TRUE(maps.records().empty());
    EXPECT_EQ(counter.calls, 2);
}

TEST_F(ParkingTest, NotParked)
{
    XrString address(L"unchanged");
    EXPECT_FALSE(parking.get_car_address(address));
    EXPECT_EQ(address, L"unchanged");
    int h, m, s, d, mo, y, e;
    EXPECT_FALSE(parking.get_park_time(h, m, s, d, mo, y, e));
}

TEST_F(ParkingTest, ParkTimeFields)
{
    XrDatetime when;
    when.add_seconds(-120);
    ASSERT_TRUE(parking.park_car(XrCoordinate(24.9, 60.1), &when));
    int h, m, s, d, mo, y, e = 0;
    ASSERT_TRUE(parking.get_park_time(h, m, s, d, mo, y, e));
    EXPECT_GE(e, 119);
    EXPECT_LE(e, 125);
    EXPECT_GE(y, 2000);
}
