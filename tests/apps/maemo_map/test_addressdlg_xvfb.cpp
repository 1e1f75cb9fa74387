// The address dialog used as a person would, on the demo map while driving:
// the main menu's "Plan route", the address page, a city, a street and a
// house number typed letter by letter through the X server (xdotool), and
// the route to the chosen place drawn. Leaving the dialog in any state
// chooses nothing and starts no route.
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

class AddressDialogTest : public XrAddressDialogFixture {
protected:
    // The address page: city, street and house number.
    void enter_address()
    {
        shot("0start");
        xdo("key Return"); // the address page
        pause_ms(800);
        xdo("key Down"); // the city row
        type_and_wait("Atlan");
        shot("1city");        xdo("key Return"); // the city: the street row with the city's streets
        pause_ms(800);
        shot("2street0");
        type_and_wait("Orchard Str");
        shot("3street");        xdo("key Return"); // the street: the city follows, focus on the number
        pause_ms(800);
        shot("4number0");
        xdo("type --delay 120 '12'");
        pause_ms(800);
        shot("5number");    }
};

TEST_F(AddressDialogTest, CityStreetAndNumberTypedAreNavigatedTo)
{
    open_dialog();
    enter_address();
    xdo("key Return"); // OK
    ASSERT_TRUE(wait_output("address dialog: place chosen")) << run.output();
    EXPECT_EQ(count("address dialog: chosen \"Orchard Street 12\""), 1) << run.output();
    // The route from the current position is computed and drawn.
    EXPECT_TRUE(run.wait_screen(40, [](GdkPixbuf* pb) { return route_pixels(pb) > 300; })) << run.output();

    // The place is now the history's first row: tapping "History" on the
    // start page and then OK navigates there again.
    open_dialog();
    shot("6history0");
    xdo("mousemove 662 145 click 1");
    pause_ms(1000);
    shot("7history");
    xdo("mousemove 650 384 click 1");
    EXPECT_TRUE(wait_output("address dialog: chosen \"Orchard Street 12\" from the history")) << run.output();
    // The facade reports the second choice a moment after the dialog.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (count("address dialog: place chosen") < 2 && std::chrono::steady_clock::now() < end)
        pause_ms(100);
    EXPECT_EQ(count("address dialog: place chosen"), 2) << run.output();
    EXPECT_TRUE(run.wait_screen(40, [](GdkPixbuf* pb) { return route_pixels(pb) > 300; })) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

// Degrees, minutes and seconds typed on the coordinates page; empty
// fields are refused with the expected form, not taken as 0°N 0°E.
TEST_F(AddressDialogTest, TypedCoordinatesAreNavigatedTo)
{
    open_dialog();
    xdo("mousemove 662 294 click 1"); // "Coordinates"
    pause_ms(1000);
    xdo("key Return");
    EXPECT_TRUE(wait_output("address dialog: latitude refused")) << run.output();
    pause_ms(800);
    shot("8refused");
    xdo("key Escape"); // the note
    pause_ms(800);
    xdo("type --delay 120 '30'");
    xdo("key Tab");
    xdo("type --delay 120 '59'");
    xdo("key Tab");
    xdo("type --delay 120 '42'");
    xdo("mousemove 157 119 click 1"); // the longitude's degrees
    pause_ms(300);
    xdo("type --delay 120 '024'");
    xdo("key Tab");
    xdo("type --delay 120 '00'");
    xdo("key Tab");
    xdo("type --delay 120 '18'");
    xdo("key Tab Down"); // West
    pause_ms(500);
    shot("9coordinates");
    xdo("mousemove 650 384 click 1"); // OK
    EXPECT_TRUE(wait_output("address dialog: place chosen")) << run.output();
    EXPECT_EQ(count("address dialog: chosen \"(30\u00b059'42\" N,024\u00b000'18\" W)\""), 1) << run.output();
    EXPECT_TRUE(run.wait_screen(40, [](GdkPixbuf* pb) { return route_pixels(pb) > 300; })) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

// Escape ends the dialog with nothing chosen wherever the user is, also
// when the address is complete and OK could accept it.
TEST_F(AddressDialogTest, EscapeChoosesNothingAtEveryStage)
{
    enum Stage { START_PAGE, TYPING, COMPLETE, HISTORY, COORDINATES };
    for (Stage stage : {START_PAGE, TYPING, COMPLETE, HISTORY, COORDINATES}) {
        SCOPED_TRACE(stage);
        const int before = count("address dialog: nothing chosen");
        open_dialog();
        if (stage == HISTORY || stage == COORDINATES) {
            xdo(stage == HISTORY ? "mousemove 662 145 click 1" : "mousemove 662 294 click 1");
            pause_ms(1000);
            if (stage == COORDINATES)
                xdo("type --delay 120 '30'");
        } else if (stage == TYPING) {
            xdo("key Return");
            pause_ms(800);
            type_and_wait("Orch");
        } else if (stage == COMPLETE) {
            enter_address();
        }
        xdo("key Escape");
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (count("address dialog: nothing chosen") == before && std::chrono::steady_clock::now() < end)
            pause_ms(100);
        EXPECT_EQ(count("address dialog: nothing chosen"), before + 1) << run.output();
        pause_ms(300);
    }
    EXPECT_EQ(count("address dialog: place chosen"), 0) << run.output();
    // No route was started: none is drawn.
    pause_ms(3000);
    GdkPixbuf* pb = run.screenshot();
    ASSERT_NE(pb, nullptr);
    EXPECT_LT(route_pixels(pb), 50);
    g_object_unref(pb);
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
