// The strips of the window right of and below the map view: whatever the
// map's passes leave there is cleared on every rebuilt picture, under the
// decorations.
#include "window_test_support.h"

namespace {

using MapWindowStripsTest = XrWindowFixture;

TEST_F(MapWindowStripsTest, StripsAreClearedOnEveryPicture)
{
    struct {
        bool fullscreen, route;
        int layout;
    } layouts[] = {{false, false, 1}, {true, true, 2}, {true, false, 0}, {false, true, 3}};
    for (const auto& l : layouts) {
        window->set_fullscreen(l.fullscreen);
        services.route = l.route;
        window->update_layout();
        ASSERT_EQ(window->get_current_layout(), l.layout);
        const XrSize size = view.size;
        int bw = 0, bh = 0;
        XrGDI::get_dc_size(window->get_composite_buffer(), &bw, &bh);
        // Two pictures: the first one's pixels in the strips must not survive
        // into the second (the test view fills the whole buffer in pass 1).
        for (XrColorHandle colour : {XrColorHandle(0x0000C0), XrColorHandle(0x00A000)}) {
            view.pass1_color = colour;
            window->redraw(false, false, -1, -1);
            XrTestPixels composite(window->get_composite_buffer());
            EXPECT_EQ(composite.at(size.width / 2, size.height / 2), colour) << "layout " << l.layout;
            if (size.width < bw) {
                EXPECT_EQ(composite.at(size.width + (bw - size.width) / 2, size.height / 2), 0x000000u)
                    << "right strip, layout " << l.layout;
            }
            if (size.height < bh) {
                EXPECT_EQ(composite.at(size.width / 2, size.height + (bh - size.height) / 2), 0x000000u)
                    << "bottom strip, layout " << l.layout;
            }
            EXPECT_EQ(composite.at(size.width - 1, size.height - 1), colour) << "layout " << l.layout;
        }
    }
}

TEST_F(MapWindowStripsTest, DecorationsStayOverTheClearedStrips)
{
    window->set_fullscreen(true);
    services.route = true;
    window->update_layout();
    ASSERT_EQ(window->get_current_layout(), 2);
    const int overlays = services.overlays;
    window->redraw(false, false, -1, -1);
    XrTestPixels composite(window->get_composite_buffer());
    EXPECT_EQ(composite.at(5, 480 - 5), 0xFF00FFu); // down arrow in the bottom strip
    EXPECT_EQ(composite.at(795, 5), 0x00FFFFu);     // right arrow in the right strip
    EXPECT_EQ(composite.at(785, 110), 0x0000FFu);   // grip
    EXPECT_EQ(services.overlays, overlays + 1);
}

} // namespace
