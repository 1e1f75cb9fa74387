// The address dialog's contacts page used as a person would, on the demo
// map while driving: the contacts file in the user folder is listed,
// searched by typing, and a contact's address is navigated to; a bad line
// of the file is skipped; Escape chooses nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "address_run.h"

extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

namespace {

class AddressContactsTest : public XrAddressDialogFixture {
protected:
    void SetUp() override
    {
        root.write_file("/home/user/.kestrova/contacts.txt",
                        "Ann Harbour|30.995,-24.005\n"
                        "this line has no address\n"
                        "Bob Orchard|Orchard Street 11, Atlantis\n"
                        "Bob Orchard|Nowhere Lane 3, Atlantis\n");
        XrAddressDialogFixture::SetUp();
    }
    void click(int x, int y) { xdo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1"); }
    void ok() { click(650, 384); }
    bool routed() const
    {
        return run.wait_screen(40, [](GdkPixbuf* pb) { return route_pixels(pb) > 300; });
    }
    void open_contacts()
    {
        open_dialog();
        shot("c0start");
        click(kContactsX, kContactsY);
        pause_ms(1000);
        shot("c1page");
    }
    static constexpr int kContactsX = 393, kContactsY = 350;
};

TEST_F(AddressContactsTest, ContactsAreListedSearchedAndNavigatedTo)
{
    open_contacts();
    ok(); // the start row reads the contacts: both are listed
    pause_ms(1000);
    shot("c2all");
    EXPECT_TRUE(wait_output("contacts: line without \"NAME|ADDRESS\" skipped: \"this line has no address\""))
        << run.output();
    click(590, 88); // the search text
    type_and_wait("orch");
    shot("c3bob");
    ok(); // the one contact found: Bob's addresses behind the back row
    pause_ms(1000);
    shot("c4addresses");
    // The address that is not on the map is left out.
    EXPECT_TRUE(wait_output("contacts: address not on the map: \"Nowhere Lane 3, Atlantis\"")) << run.output();
    click(400, 175); // the row below the back row
    pause_ms(300);
    ok();
    EXPECT_TRUE(wait_output("address dialog: chosen \"Bob Orchard\" from the contacts")) << run.output();
    EXPECT_TRUE(wait_output("address dialog: place chosen")) << run.output();
    EXPECT_TRUE(routed()) << run.output();

    // Ann's place is given in degrees; back from Bob's addresses first.
    open_contacts();
    ok();
    pause_ms(1000);
    ok(); // Ann, the first contact
    pause_ms(1000);
    ok(); // the back row
    pause_ms(1000);
    shot("c5back");
    ok(); // Ann again
    pause_ms(1000);
    click(400, 175);
    pause_ms(300);
    ok();
    EXPECT_TRUE(wait_output("address dialog: chosen \"Ann Harbour\" from the contacts")) << run.output();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (count("address dialog: place chosen") < 2 && std::chrono::steady_clock::now() < end)
        pause_ms(100);
    EXPECT_EQ(count("address dialog: place chosen"), 2) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

// Escape on the contacts page, on the contacts and on the addresses, ends
// the dialog with nothing chosen.
TEST_F(AddressContactsTest, EscapeChoosesNothing)
{
    for (int oks : {0, 1, 2}) {
        SCOPED_TRACE(oks);
        const int before = count("address dialog: nothing chosen");
        open_contacts();
        for (int i = 0; i < oks; ++i) {
            ok();
            pause_ms(1000);
        }
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
