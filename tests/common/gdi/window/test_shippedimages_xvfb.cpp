// The images the window and its menus ship, as the build drew them into the
// staged program data, load from where the code looks for them.
#include <cstdlib>

#include "common/bmloader/xr_bitmap.h"
#include "common/misc/xr_path_resolver.h"
#include "window_test_support.h"

namespace {

TEST(ShippedImages, LoadWithTheSizesTheMenusExpect)
{
    if (!xr_window_test_display())
        GTEST_SKIP() << "no X display";
    const char* old = std::getenv("KESTROVA_ROOT");
    const std::string saved = old != nullptr ? old : "";
    setenv("KESTROVA_ROOT", XrTempRoot::stage_dir().c_str(), 1);
    struct {
        const TCHAR* path;
        int width, height; // -1: any; width_step: a multiple of it
        int width_step;
    } cases[] = {
        {L"?:/kestrova/images/grip.png", 55, 114, 0},
        {L"?:/kestrova/images/down.png", -1, -1, 0},
        {L"?:/kestrova/images/right.png", -1, -1, 0},
        {L"?:/kestrova/images/right_half.png", -1, -1, 0},
        {L"?:/kestrova/images/rmactions_maemo.png", -1, 40, 40},
        {L"?:/kestrova/images/canvas.png", 800, 480, 0},
        {L"?:/kestrova/images/maemo_menuscreen.png", 800, 480, 0},
        {L"?:/kestrova/images/maemo_menuscreen_route.png", 800, 480, 0},
        {L"?:/kestrova/images/maemo_menuscreen_half.png", 800, 480, 0},
        {L"?:/kestrova/images/maemo_menuscreen_route_half.png", 800, 480, 0},
        {L"?:/kestrova/images/maemo_menufocus.png", -1, -1, 0},
        {L"?:/kestrova/images/maemo_menuicons.png", 16 * 137, 137, 137},
        {L"?:/kestrova/images/maemo_menuicons_half.png", 16 * 115, 115, 115},
        {L"?:/kestrova/images/message.png", 400, 100, 0},
    };
    for (const auto& c : cases) {
        XrBitmap* b = XrGDI::load_bitmap_file(XrPathResolver::resolve(XrString(c.path)).c_str());
        ASSERT_NE(b, nullptr) << XrString(c.path).c_str_at(0);
        EXPECT_GT(b->width(), 0);
        if (c.width >= 0) {
            EXPECT_EQ(b->width(), c.width);
        }
        if (c.height >= 0) {
            EXPECT_EQ(b->height(), c.height);
        }
        if (c.width_step > 0) {
            EXPECT_EQ(b->width() % c.width_step, 0);
        }
        delete b;
    }
    if (old != nullptr)
        setenv("KESTROVA_ROOT", saved.c_str(), 1);
    else
        unsetenv("KESTROVA_ROOT");
}

} // namespace
