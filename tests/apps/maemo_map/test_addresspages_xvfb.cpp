// The address dialog's list pages used as a person would, on the demo map
// while driving: a town from the city page, a POI by class and by name, a
// favourite from the user's favourites file. Each choice is routed to from
// the current position; Escape on each page chooses nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "address_run.h"

extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

namespace {

class AddressPagesTest : public XrAddressDialogFixture {
protected:
    void click(int x, int y) { xdo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1"); }
    void ok() { click(650, 384); }
    bool routed() const
    {
        return run.wait_screen(40, [](GdkPixbuf* pb) { return route_pixels(pb) > 300; });
    }
};

// Start-page buttons.
constexpr int kCityX = 399, kCityY = 145, kFavX = 136, kFavY = 294, kPoiX = 399, kPoiY = 294;

TEST_F(AddressPagesTest, TownFromTheCityPageIsNavigatedTo)
{
    open_dialog();
    shot("p0start");
    click(kCityX, kCityY);
    pause_ms(1000);
    shot("p1city");
    type_and_wait("Westf");
    shot("p2cities");
    ok();
    EXPECT_TRUE(wait_output("address dialog: chosen \"Westfield\" from the cities")) << run.output();
    EXPECT_TRUE(wait_output("address dialog: place chosen")) << run.output();
    EXPECT_TRUE(routed()) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

TEST_F(AddressPagesTest, FavouriteIsNavigatedTo)
{
    root.write_file("/media/mmc2/map/mapdata/favourites.txt",
                    "\xEF\xBB\xBF" "30.9950000000|-24.0050000000|0|Harbour view|\r\n");
    open_dialog();
    click(kFavX, kFavY);
    pause_ms(1000);
    shot("p3favourites");
    ok();
    EXPECT_TRUE(wait_output("address dialog: chosen \"Harbour view\" from the favourites")) << run.output();
    EXPECT_TRUE(wait_output("address dialog: place chosen")) << run.output();
    EXPECT_TRUE(routed()) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

// A class from the class list, then a POI of it; and a POI by its name.
TEST_F(AddressPagesTest, PoiByClassAndByNameIsNavigatedTo)
{
    open_dialog();
    click(kPoiX, kPoiY);
    pause_ms(1000);
    shot("p4classes");
    ok(); // the all-types row: the POIs near the map's cursor
    pause_ms(1000);
    shot("p5pois");
    click(450, 300); // below the back row, the nearest POI
    pause_ms(300);
    ok();
    EXPECT_TRUE(wait_output("from the POIs")) << run.output();
    EXPECT_TRUE(wait_output("address dialog: place chosen")) << run.output();
    EXPECT_TRUE(routed()) << run.output();

    open_dialog();
    click(kPoiX, kPoiY);
    pause_ms(1000);
    type_and_wait("Trident");
    shot("p6named");
    click(450, 300); // the row below the back row
    pause_ms(300);
    ok();
    EXPECT_TRUE(wait_output("address dialog: chosen \"The Golden Trident\" from the POIs")) << run.output();
    EXPECT_EQ(count("address dialog: place chosen"), 2) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

// Decimal degrees, and degrees with decimal minutes, on the coordinates page.
TEST_F(AddressPagesTest, DecimalCoordinatesAreNavigatedTo)
{
    struct Case {
        const char *lat_d, *lat_m, *lon_d, *lon_m, *name;
    } cases[] = {
        {"30.995", "", "024.005", "", "(30.995\u00b0 N,024.005\u00b0 W)"},
        {"30", "59.7", "24", "0.3", "(30\u00b059.7' N,024\u00b00.3' W)"},
    };
    int chosen = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open_dialog();
        click(662, 294); // "Coordinates"
        pause_ms(1000);
        xdo(std::string("type --delay 120 '") + c.lat_d + "'");
        xdo("key Tab");
        if (*c.lat_m != 0)
            xdo(std::string("type --delay 120 '") + c.lat_m + "'");
        click(157, 119); // the longitude's degrees
        pause_ms(300);
        xdo(std::string("type --delay 120 '") + c.lon_d + "'");
        xdo("key Tab");
        if (*c.lon_m != 0)
            xdo(std::string("type --delay 120 '") + c.lon_m + "'");
        xdo("key Tab Tab Down"); // West
        pause_ms(500);
        shot("p8decimal");
        ok();
        ++chosen;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (count("address dialog: place chosen") < chosen && std::chrono::steady_clock::now() < end)
            pause_ms(100);
        EXPECT_EQ(count("address dialog: place chosen"), chosen) << run.output();
        EXPECT_EQ(count(std::string("address dialog: chosen \"") + c.name + "\""), 1) << run.output();
        EXPECT_TRUE(routed()) << run.output();
    }
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

// Escape on each list page ends the dialog with nothing chosen.
TEST_F(AddressPagesTest, EscapeOnEveryListPageChoosesNothing)
{
    const std::pair<int, int> pages[] = {{kCityX, kCityY}, {kFavX, kFavY}, {kPoiX, kPoiY}};
    for (const auto& page : pages) {
        SCOPED_TRACE(page.first * 1000 + page.second);
        const int before = count("address dialog: nothing chosen");
        open_dialog();
        click(page.first, page.second);
        pause_ms(1000);
        xdo("type --delay 120 'Wes'");
        pause_ms(2500);
        xdo("key Escape");
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (count("address dialog: nothing chosen") == before && std::chrono::steady_clock::now() < end)
            pause_ms(100);
        EXPECT_EQ(count("address dialog: nothing chosen"), before + 1) << run.output();
        pause_ms(300);
    }
    EXPECT_EQ(count("address dialog: place chosen"), 0) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
