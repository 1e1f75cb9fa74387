// The scroll menu in place of the map: keys, taps, drawing, cancel.
#include <gdk/gdkkeysyms.h>

#include <functional>

#include "common/bmloader/xr_bitmap_loader.h"
#include "common/gdi/window/xr_newscrollmenu.h"
#include "tools/mapgen/mbm_writer.h"
#include "window_test_support.h"

namespace {

constexpr XrColorHandle kCanvas = 0x402020;
constexpr XrColorHandle kCurrent = 0x00FFFF; // yellow highlight
constexpr XrColorHandle kOther = 0xFFFF00;   // cyan highlight
constexpr XrColorHandle kButton = 0xFF00FF;  // magenta confirm button

std::vector<std::uint32_t> solid(int w, int h, std::uint32_t rgb)
{
    return std::vector<std::uint32_t>(static_cast<size_t>(w) * h, rgb);
}

class ScrollMenuTest : public XrWindowFixture {
protected:
    void SetUp() override
    {
        XrWindowFixture::SetUp();
        if (IsSkipped())
            return;
        const std::string images = root->make_dirs("/usr/share/kestrova/images");
        xr_write_png(images + "/canvas.png", 800, 480, kCanvas);
        // Highlights 30 x 30, buttons strip 300 x 20 (confirm cells magenta),
        // item strip of three 24 x 24 icons: red, green, blue.
        std::vector<std::uint32_t> strip(72 * 24);
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 72; ++x)
                strip[y * 72 + x] = x < 24 ? 0xFF0000 : x < 48 ? 0x00FF00 : 0x0000FF;
        std::string error;
        const std::string mbm = root->dir() + "/menu.mbm";
        ASSERT_TRUE(write_mbm_file(mbm,
                                   {mbm_make_rgb(30, 30, solid(30, 30, 0xFFFF00)),
                                    mbm_make_rgb(30, 30, solid(30, 30, 0x00FFFF)),
                                    mbm_make_rgb(300, 20, solid(300, 20, 0xFF00FF)), mbm_make_rgb(72, 24, strip)},
                                   false, error))
            << error;
        XrBitmapLoader::initialize(XrString(L"/nonexistent"), XrString(L"maemo"));
        const std::string index = "BITMAP " + mbm + "\n" + std::to_string(XrNewScrollMenu::HIGHLIGHT_CURRENT_FULL) +
                                  ",0\n" + std::to_string(XrNewScrollMenu::HIGHLIGHT_CURRENT_WINDOWED) + ",0\n" +
                                  std::to_string(XrNewScrollMenu::HIGHLIGHT_OTHER_FULL) + ",1\n" +
                                  std::to_string(XrNewScrollMenu::HIGHLIGHT_OTHER_WINDOWED) + ",1\n" +
                                  std::to_string(XrNewScrollMenu::BUTTONS_FULL) + ",2\n" +
                                  std::to_string(XrNewScrollMenu::BUTTONS_WINDOWED) + ",2\n" + "5000,3\n";
        ASSERT_TRUE(XrBitmapLoader::load_index_text(reinterpret_cast<const BYTE*>(index.data()),
                                                    static_cast<int>(index.size())));

        // Row 0: A B (C hidden) D; row 1 disabled; row 2: E F.
        row0[2].visible = false;
        for (int i = 0; i < 4; ++i)
            row0[i].icon_index = i % 3;
        rows[0].items = row0;
        rows[0].item_count = 4;
        rows[1].items = row1;
        rows[1].item_count = 2;
        rows[1].enabled = false;
        rows[2].items = row2;
        rows[2].item_count = 2;
        rows[2].selected = 1;
        row2[0].icon_index = 2;
        data.strip_id = 5000;
        data.row_count = 3;
        data.rows = rows;
    }
    void TearDown() override
    {
        XrNewScrollMenu::free_bitmaps();
        XrBitmapLoader::shutdown();
        XrWindowFixture::TearDown();
    }

    // Runs the menu; each step runs once the menu has drawn, 30 ms apart.
    bool run(std::vector<std::function<void(XrNewScrollMenu*)>> steps)
    {
        script = std::move(steps);
        g_timeout_add(
            30,
            [](gpointer p) -> gboolean {
                auto* self = static_cast<ScrollMenuTest*>(p);
                XrNewScrollMenu* menu = XrNewScrollMenu::get_running();
                if (menu == nullptr || menu->get_area()->window == nullptr)
                    return TRUE;
                if (self->next_step >= self->script.size())
                    return FALSE;
                self->script[self->next_step++](menu);
                return self->next_step < self->script.size();
            },
            this);
        return XrNewScrollMenu::execute(window.get(), &data, 0, 0, 0);
    }
    void key(guint keyval)
    {
        xr_put_key(toplevel, GDK_KEY_PRESS, keyval);
        xr_put_key(toplevel, GDK_KEY_RELEASE, keyval);
    }

    XrScrollMenuItem row0[4], row1[2], row2[2];
    XrScrollMenuRow rows[3];
    XrScrollMenuData data;
    std::vector<std::function<void(XrNewScrollMenu*)>> script;
    size_t next_step = 0;
};

TEST_F(ScrollMenuTest, KeysMoveAndEscapeCancelsKeepingChoices)
{
    std::vector<int> rows_seen;
    const bool confirmed = run({
        [&](XrNewScrollMenu*) {
            key(GDK_Right);
            key(GDK_Right); // skips the hidden C
            key(GDK_Right); // nothing further right
            key(GDK_Up);    // already the first row
        },
        [&](XrNewScrollMenu* m) {
            rows_seen.push_back(m->get_current_row());
            key(GDK_Down); // skips the disabled row
            key(GDK_Down); // no row below
            key(GDK_Left);
        },
        [&](XrNewScrollMenu* m) {
            rows_seen.push_back(m->get_current_row());
            key(GDK_Escape);
        },
    });
    EXPECT_FALSE(confirmed);
    EXPECT_EQ(rows_seen, (std::vector<int>{0, 2}));
    EXPECT_EQ(rows[0].selected, 3);
    EXPECT_EQ(rows[2].selected, 0);
    EXPECT_TRUE(window->is_ready());
    EXPECT_EQ(hildon_window_get_content(window->get_window()), area());
}

TEST_F(ScrollMenuTest, ReturnConfirms)
{
    EXPECT_TRUE(run({[&](XrNewScrollMenu*) { key(GDK_Return); }}));
}

TEST_F(ScrollMenuTest, DrawnRowsAtKnownPlaces)
{
    std::vector<XrColorHandle> probes;
    run({
        [&](XrNewScrollMenu*) { key(GDK_Right); }, // B of row 0
        [&](XrNewScrollMenu* m) {
            xr_pump(60);
            XrTestPixels px(m->get_area()->window);
            probes = {
                px.at(5, 5),     // canvas
                px.at(298, 58),  // A: not selected, no highlight
                px.at(348, 58),  // B: current-row highlight
                px.at(360, 70),  // B's icon (green)
                px.at(310, 70),  // A's icon (red)
                px.at(410, 70),  // D's icon (red: icon index 0)
                px.at(348, 88),  // F on row 2 (y 90): other-row highlight
                px.at(18, 85),   // marker of the current row
                px.at(18, 115),  // no marker on row 2
                px.at(570, 345), // confirm button (windowed)
            };
            key(GDK_Escape);
        },
    });
    EXPECT_EQ(probes, (std::vector<XrColorHandle>{kCanvas, kCanvas, kCurrent, kGreen, kRed, kRed, kOther, kWhite,
                                                  kCanvas, kButton}));
}

TEST_F(ScrollMenuTest, TapsSelectItemsAndConfirm)
{
    const bool confirmed = run({
        [&](XrNewScrollMenu*) { xr_pump(60); }, // drawn: the hit rectangles are known
        [&](XrNewScrollMenu* m) {
            xr_put_button(m->get_area(), GDK_BUTTON_RELEASE, 5, 5, GDK_BUTTON1_MASK);     // on nothing
            xr_put_button(m->get_area(), GDK_BUTTON_RELEASE, 312, 100, GDK_BUTTON1_MASK); // E on row 2
        },
        [&](XrNewScrollMenu* m) {
            EXPECT_EQ(m->get_current_row(), 2);
            EXPECT_EQ(rows[2].selected, 0);
            EXPECT_EQ(rows[0].selected, 0);
            const XrRectangle confirm = m->get_confirm_rect();
            xr_put_button(m->get_area(), GDK_BUTTON_RELEASE, confirm.left, confirm.bottom, GDK_BUTTON1_MASK);
        },
    });
    EXPECT_TRUE(confirmed);
}

TEST_F(ScrollMenuTest, MissingCanvasFailsWithoutTakingTheWindow)
{
    std::remove((root->dir() + "/usr/share/kestrova/images/canvas.png").c_str());
    EXPECT_FALSE(XrNewScrollMenu::execute(window.get(), &data, 0, 0, 0));
    EXPECT_TRUE(window->is_ready());
    EXPECT_EQ(hildon_window_get_content(window->get_window()), area());
}

} // namespace
