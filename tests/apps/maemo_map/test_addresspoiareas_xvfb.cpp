// The address dialog's POI page used as a person would, on the demo map
// while driving: a POI of a class found by its name, and, once a route is
// driven, the where-choice's "en route" and recent-place rows.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "address_run.h"

extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

namespace {

class AddressPoiAreasTest : public XrAddressDialogFixture {
protected:
    void click(int x, int y) { xdo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1"); }
    void ok() { click(650, 384); }
    bool routed() const
    {
        return run.wait_screen(40, [](GdkPixbuf* pb) { return route_pixels(pb) > 300; });
    }
    void wait_chosen(int n)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (count("address dialog: place chosen") < n && std::chrono::steady_clock::now() < end)
            pause_ms(100);
        EXPECT_EQ(count("address dialog: place chosen"), n) << run.output();
    }
    static constexpr int kPoiX = 399, kPoiY = 280;
};

TEST_F(AddressPoiAreasTest, PoiOfAClassByNameThenAlongTheRoute)
{
    open_dialog();
    click(kPoiX, kPoiY);
    pause_ms(1000);
    shot("a0classes");
    click(450, 300); // the second row: the first class, "Restaurant"
    pause_ms(300);
    ok();
    pause_ms(1000);
    shot("a1restaurants");
    click(560, 114); // the search text
    type_and_wait("gold");
    shot("a2named");
    click(450, 300); // the row below the back row
    pause_ms(300);
    ok();
    EXPECT_TRUE(wait_output("address dialog: chosen \"The Golden Trident\" from the POIs")) << run.output();
    wait_chosen(1);
    EXPECT_TRUE(routed()) << run.output();

    // With a route, the where-choice offers the route and the recent place.
    open_dialog();
    click(kPoiX, kPoiY);
    pause_ms(1000);
    click(540, 194); // the where-choice
    pause_ms(800);
    shot("a3where");
    xdo("key --delay 150 Down Return"); // "en route", the row after the cursor's
    pause_ms(500);
    ok(); // all types: the POIs along the route still ahead
    pause_ms(1500);
    shot("a4enroute");
    EXPECT_EQ(count("address dialog: POIs along the route"), 1) << run.output();
    click(450, 300); // the first POI below the back row
    pause_ms(300);
    ok();
    // The route passes the fuel station on its way to the restaurant.
    EXPECT_TRUE(wait_output("address dialog: chosen \"Poseidon Fuel\" from the POIs")) << run.output();
    wait_chosen(2);
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
