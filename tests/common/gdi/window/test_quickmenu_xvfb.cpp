// The quick menu over the map: slide-in, keyboard and stylus, images.
#include <gdk/gdkkeysyms.h>

#include <functional>

#include "common/gdi/window/xr_quickmenu_maemo.h"
#include "common/os/xr_eventloop.h"
#include "window_test_support.h"

namespace {

constexpr XrColorHandle kScreen = 0x303030;
constexpr XrColorHandle kScreenHalf = 0x505050;
constexpr XrColorHandle kFocus = 0x00FFFF;

class QuickMenuTest : public XrWindowFixture {
protected:
    void SetUp() override
    {
        XrWindowFixture::SetUp();
        if (IsSkipped())
            return;
        const std::string images = root->make_dirs("/usr/share/kestrova/images");
        xr_write_png(images + "/maemo_menuscreen_route.png", 800, 480, kScreen);
        xr_write_png(images + "/maemo_menuscreen_half.png", 800, 480, kScreenHalf);
        xr_write_png(images + "/maemo_menufocus.png", 300, 10, kFocus);
        // Icon columns of 137 pixels: column c has red = 10 * c.
        GdkPixbuf* pb = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 16 * 137, 137);
        for (int c = 0; c < 16; ++c) {
            GdkPixbuf* cell = gdk_pixbuf_new_subpixbuf(pb, c * 137, 0, 137, 137);
            gdk_pixbuf_fill(cell, (static_cast<guint32>(10 * c) << 24) | 0x0080FF);
            g_object_unref(cell);
        }
        // Column c: (10 c, 0, 128).
        gdk_pixbuf_save(pb, (images + "/maemo_menuicons.png").c_str(), "png", nullptr, nullptr);
        g_object_unref(pb);

        const XrRectangle rects[5] = {{100, 110, 300, 225}, {320, 110, 520, 225}, {540, 110, 740, 225},
                                      {100, 240, 300, 348}, {320, 240, 520, 348}};
        const int ids[5] = {0, 1, 2, 27, 3};
        for (int i = 0; i < 5; ++i) {
            desc.items[i].id = ids[i];
            desc.items[i].enabled = i != 2;
            desc.items[i].rect = rects[i];
        }
        desc.count = 5;
    }

    int run(std::vector<std::function<void(XrQuickMenuMaemo*)>> steps)
    {
        script = std::move(steps);
        g_timeout_add(
            30,
            [](gpointer p) -> gboolean {
                auto* self = static_cast<QuickMenuTest*>(p);
                XrQuickMenuMaemo* menu = XrQuickMenuMaemo::get_running();
                if (menu == nullptr || menu->get_state() != XrQuickMenuMaemo::Shown || self->next_step >= self->script.size())
                    return self->next_step < self->script.size();
                self->script[self->next_step++](menu);
                return self->next_step < self->script.size();
            },
            this);
        return XrQuickMenuMaemo::show_menu(window.get(), &loop, desc);
    }
    void key(guint keyval)
    {
        xr_put_key(toplevel, GDK_KEY_PRESS, keyval);
        xr_put_key(toplevel, GDK_KEY_RELEASE, keyval);
    }

public:
    XrEventLoop loop;
    XrQuickMenuDesc desc;
    std::vector<std::function<void(XrQuickMenuMaemo*)>> script;
    size_t next_step = 0;
};

TEST(QuickMenuIcons, IconTable)
{
    struct {
        int id;
        bool enabled;
        int index;
    } cases[] = {{0, true, 0},    {1, true, 1},     {1, false, 2},   {2, false, 4},  {27, true, 8},
                 {27, false, 9},  {26, false, 15},  {32, true, 14},  {5, true, -1},  {-3, false, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(XrQuickMenuMaemo::icon_index(c.id, c.enabled), c.index) << c.id;
}

TEST_F(QuickMenuTest, KeyboardNavigation)
{
    // Each row: keys from item 0, then the current item.
    struct {
        std::vector<guint> keys;
        int current;
    } cases[] = {
        {{GDK_Left}, 0},
        {{GDK_Right, GDK_Right, GDK_Right, GDK_Right, GDK_Right}, 4},
        {{GDK_Down}, 3},
        {{GDK_Right, GDK_Right, GDK_Down}, 4}, // down from 2 goes to 4
        {{GDK_Right, GDK_Down}, 4},
        {{GDK_Right, GDK_Right, GDK_Right, GDK_Right, GDK_Up}, 1}, // up from 4 goes to 1
        {{GDK_Up}, 0},
    };
    std::vector<int> seen;
    std::vector<std::function<void(XrQuickMenuMaemo*)>> steps;
    for (const auto& c : cases) {
        steps.push_back([&, keys = c.keys](XrQuickMenuMaemo*) {
            key(GDK_Left); // back to 0 through Up and Left
            key(GDK_Up);
            key(GDK_Left);
            key(GDK_Left);
            key(GDK_Left);
            key(GDK_Left);
            for (guint k : keys)
                key(k);
        });
        steps.push_back([&](XrQuickMenuMaemo* m) { seen.push_back(m->get_current()); });
    }
    steps.push_back([&](XrQuickMenuMaemo*) { key(GDK_Escape); });
    EXPECT_EQ(run(steps), -1);
    std::vector<int> expected;
    for (const auto& c : cases)
        expected.push_back(c.current);
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(window->is_ready());
}

TEST_F(QuickMenuTest, ReturnChoosesAnEnabledItemOnly)
{
    int state_on_disabled = -1;
    const int chosen = run({
        [&](XrQuickMenuMaemo*) {
            key(GDK_Right);
            key(GDK_Right);
            xr_put_key(toplevel, GDK_KEY_PRESS, GDK_Return); // item 2 is disabled
            xr_put_key(toplevel, GDK_KEY_RELEASE, GDK_Return);
        },
        [&](XrQuickMenuMaemo* m) {
            state_on_disabled = m->get_state();
            key(GDK_Down); // item 4 (id 3)
            key(GDK_Return);
        },
    });
    EXPECT_EQ(state_on_disabled, XrQuickMenuMaemo::Shown);
    EXPECT_EQ(chosen, 3);
}

TEST_F(QuickMenuTest, StylusPicksItemsAndTheBackStripCloses)
{
    struct {
        int x, y;
        int result;
    } cases[] = {
        {400, 300, 3},   // item 4
        {200, 150, 0},   // item 0
        {30, 200, -1},   // back strip: slides out without a choice
    };
    for (const auto& c : cases) {
        next_step = 0;
        const int chosen = run({
            [&](XrQuickMenuMaemo* m) {
                // Beside every item and on the disabled one: nothing.
                xr_put_button(m->get_area(), GDK_BUTTON_PRESS, 780, 20, 0);
                xr_put_button(m->get_area(), GDK_BUTTON_PRESS, 600, 150, 0);
            },
            [&](XrQuickMenuMaemo* m) {
                EXPECT_EQ(m->get_state(), XrQuickMenuMaemo::Shown);
                xr_put_button(m->get_area(), GDK_BUTTON_PRESS, c.x, c.y, 0);
                xr_put_button(m->get_area(), GDK_BUTTON_RELEASE, c.x, c.y, GDK_BUTTON1_MASK);
            },
        });
        EXPECT_EQ(chosen, c.result) << c.x << "," << c.y;
    }
}

TEST_F(QuickMenuTest, DrawsScreenFocusAndIcon)
{
    std::vector<XrColorHandle> probes;
    run({
        [&](XrQuickMenuMaemo*) { key(GDK_Down); }, // item 3 (id 27: column 8)
        [&](XrQuickMenuMaemo* m) {
            xr_pump(60);
            XrTestPixels px(m->get_area()->window);
            probes = {
                px.at(790, 470), // the route screen
                px.at(80, 346),  // focus (x 50 to 349) with its bottom at 348
                px.at(150, 235), // icon (137 square centred on the item; the label sits in the middle)
                px.at(200, 220), // item 0 has no focus
            };
            key(GDK_Escape);
        },
    });
    EXPECT_EQ(probes, (std::vector<XrColorHandle>{kScreen, kFocus, XrGDI::rgb(80, 0, 128), kScreen}));
}

TEST_F(QuickMenuTest, HalfScreenWithoutRoute)
{
    desc.mode = 1;
    desc.items[1].enabled = false;
    XrColorHandle screen = 0;
    run({[&](XrQuickMenuMaemo* m) {
        xr_pump(60);
        XrTestPixels px(m->get_area()->window);
        screen = px.at(790, 470);
        key(GDK_Escape);
    }});
    EXPECT_EQ(screen, kScreenHalf);
}

TEST_F(QuickMenuTest, MissingScreenImageGivesNoChoice)
{
    desc.items[1].enabled = false; // "maemo_menuscreen.png" does not exist
    EXPECT_EQ(XrQuickMenuMaemo::show_menu(window.get(), &loop, desc), -1);
    EXPECT_TRUE(window->is_ready());
}

} // namespace
