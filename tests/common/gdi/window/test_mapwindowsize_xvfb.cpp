// The map window tells its size hook the drawing area's real size each time
// the area is resized (the traffic layout's reference size follows it).
#include "window_test_support.h"

namespace {

std::vector<std::pair<int, int>> g_sizes;

void record_size(int width, int height) { g_sizes.emplace_back(width, height); }

class MapWindowSizeTest : public XrWindowFixture {
protected:
    void SetUp() override
    {
        g_sizes.clear();
        XrMapWindow::set_size_hook(record_size);
        XrWindowFixture::SetUp();
    }
    void TearDown() override
    {
        XrWindowFixture::TearDown();
        XrMapWindow::set_size_hook(nullptr);
    }
};

TEST_F(MapWindowSizeTest, HookFollowsTheDrawingAreaAtEverySize)
{
    ASSERT_FALSE(g_sizes.empty());
    EXPECT_EQ(g_sizes.back(), std::make_pair(window->get_width(), window->get_height()));
    EXPECT_GT(g_sizes.back().first, 0);

    struct Case {
        int width, height;
    };
    for (const Case c : {Case{640, 400}, Case{1000, 600}}) {
        g_sizes.clear();
        gtk_window_resize(GTK_WINDOW(toplevel), c.width, c.height);
        ASSERT_TRUE(xr_pump_until([&] { return !g_sizes.empty() && window->get_width() != 0 &&
                                               g_sizes.back().first == area()->allocation.width &&
                                               g_sizes.back().second == area()->allocation.height &&
                                               area()->allocation.width <= c.width &&
                                               area()->allocation.width > c.width - 100; }))
            << c.width << "x" << c.height;
        EXPECT_EQ(g_sizes.back(), std::make_pair(window->get_width(), window->get_height()));
    }
}

} // namespace
