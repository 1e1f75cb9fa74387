// The start-up picture of the navigator as a person sees it: shown when the
// GConf settings ask for it, gone once the map is drawn; never shown
// otherwise. The screen is read pixel by pixel every few milliseconds, as
// the picture stays only while the map opens.
#include <gdk/gdk.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "navigator_run.h"

namespace {

// The sky of the shipped start-up picture.
bool is_splash(const XrRgb& c) { return c.r == 18 && c.g == 44 && c.b == 86; }

// Reads single pixels of the screen of DISPLAY.
class XrPixelReader {
public:
    XrPixelReader()
    {
        // A connection of its own that ends before the display does (a
        // default display would outlive this test's X server).
        gdk_parse_args(nullptr, nullptr);
        display = gdk_display_open(std::getenv("DISPLAY"));
    }
    ~XrPixelReader()
    {
        if (display != nullptr)
            gdk_display_close(display);
    }
    bool ok() const { return display != nullptr; }
    XrRgb at(int x, int y) const
    {
        GdkScreen* screen = gdk_display_get_default_screen(display);
        GdkPixbuf* pb = gdk_pixbuf_get_from_drawable(nullptr, gdk_screen_get_root_window(screen),
                                                     gdk_screen_get_system_colormap(screen), x, y, 0, 0, 1, 1);
        if (pb == nullptr)
            return XrRgb{-1, -1, -1};
        const XrRgb c = xr_pixel(pb, 0, 0);
        g_object_unref(pb);
        return c;
    }

private:
    GdkDisplay* display = nullptr;
};

// False once the process has ended (it stays a zombie until waited for).
bool is_running(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line) || line.rfind(')') == std::string::npos)
        return false;
    const std::size_t state = line.rfind(')') + 2;
    return state < line.size() && line[state] != 'Z' && line[state] != 'X';
}

// When the picture was first seen, when the map was, and whether the
// picture came back after the map (milliseconds since the start; -1 never).
struct XrStartScreens {
    long splash = -1, map = -1;
    bool splash_after_map = false;
};

XrStartScreens watch_start(const XrPixelReader& screen, XrNavigatorRun& run)
{
    XrStartScreens seen;
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    };
    // Until a second after the map showed (at most a minute).
    while (elapsed() < 60000 && (seen.map < 0 || elapsed() < seen.map + 1000)) {
        const bool splash = is_splash(screen.at(20, 20));
        if (splash && seen.splash < 0)
            seen.splash = elapsed();
        if (splash && seen.map >= 0)
            seen.splash_after_map = true;
        if (!splash && seen.map < 0 && xr_is_land(screen.at(300, 150)))
            seen.map = elapsed();
        if (!is_running(run.pid))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    return seen;
}

class SplashTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.ok());
        ASSERT_TRUE(screen.ok());
        std::filesystem::create_directories(root.dir() + "/gconf-home");
        ASSERT_FALSE(bus.address.empty());
        root.make_dirs("/media/mmc2");
    }
    // Through the settings tool, on this test's own session bus (a GConf
    // client of this process would stay bound to the first test's bus).
    void set_gconf(const char* key, int value)
    {
        const std::string cmd = "gconftool-2 --type int --set " + std::string(key) + " " + std::to_string(value);
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }

    XrOwnDisplay display;
    XrPixelReader screen;
    XrTempRoot root;
    XrSessionBus bus{root.dir() + "/gconf-home"};
    XrNavigatorRun run{root};
};

TEST_F(SplashTest, ShownWhileStartingThenTheMap)
{
    set_gconf("/apps/kestrova/show_splash", 1);
    run.start();
    const XrStartScreens seen = watch_start(screen, run);
    ASSERT_GE(seen.splash, 0) << run.output();
    ASSERT_GE(seen.map, 0) << run.output();
    EXPECT_LT(seen.splash, seen.map);
    EXPECT_FALSE(seen.splash_after_map);
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

TEST_F(SplashTest, NotShownUnlessTheSettingsAskForIt)
{
    struct {
        int show, disable;
    } cases[] = {{0, 0}, {1, 1}};
    for (const auto& c : cases) {
        set_gconf("/apps/kestrova/show_splash", c.show);
        set_gconf("/apps/kestrova/disable_splash", c.disable);
        run.start();
        const XrStartScreens seen = watch_start(screen, run);
        EXPECT_GE(seen.map, 0) << run.output();
        EXPECT_EQ(seen.splash, -1) << c.show << " " << c.disable;
        EXPECT_EQ(run.terminate(), 0) << run.output();
    }
}

// The command line wins over the settings, in any letter case.
TEST_F(SplashTest, NoSplashOptionOverridesTheSettings)
{
    set_gconf("/apps/kestrova/show_splash", 1);
    run.pid = fork();
    if (run.pid == 0) {
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        const int fd = ::open((root.dir() + "/navigator.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
        dup2(fd, 2);
        const std::string path = XrNavigatorRun::binary("apps/maemo_map/kestrova-navigator");
        execl(path.c_str(), path.c_str(), "--NO-SPLASH", static_cast<char*>(nullptr));
        _exit(127);
    }
    const XrStartScreens seen = watch_start(screen, run);
    EXPECT_GE(seen.map, 0) << XrTempRoot::read_file(root.dir() + "/navigator.log");
    EXPECT_EQ(seen.splash, -1);
    EXPECT_EQ(run.terminate(), 0);
}

} // namespace
