// A service request from the menu as a person makes it (menu key, arrows,
// Return through the X server): the request goes to the online service, and
// its result comes back as a banner over the map, read from the X server.
// Without a service server the request fails: the banner says so, with the
// stop icon, and the program goes on running.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "navigator_run.h"

extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

namespace {

void xdo(const std::string& args) { std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }

// What xdotool prints for the arguments.
std::string xdo_read(const std::string& args)
{
    std::string out;
    FILE* p = popen(("xdotool " + args + " 2>/dev/null").c_str(), "r");
    if (p == nullptr)
        return out;
    std::array<char, 256> buf{};
    while (std::fgets(buf.data(), buf.size(), p) != nullptr)
        out += buf.data();
    pclose(p);
    return out;
}

bool wait_output(const XrNavigatorRun& run, const std::string& text, int seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (run.output().find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

TEST(ServiceBannerTest, FailedSafetyCameraUpdateShowsStopBanner)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    XrSessionBus bus;
    XrTempRoot root;
    root.make_dirs("/media/mmc2");
    XrNavigatorRun run(root);
    // The service server is this machine, where nothing listens on its port.
    {
        std::string settings = XrTempRoot::read_file(XrNavigatorRun::source("data/settings.txt"));
        const auto set = [&](const std::string& key, const std::string& value) {
            const size_t at = settings.find("\n" + key + "=");
            ASSERT_NE(at, std::string::npos) << key;
            settings.replace(at + 1, settings.find('\n', at + 1) - at - 1, key + "=" + value);
        };
        set("address", "127.0.0.1");
        set("httpport", "1");
        root.make_dirs("/home/user/.kestrova");
        FILE* f = std::fopen((root.dir() + "/home/user/.kestrova/settings.txt").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(settings.c_str(), f);
        std::fclose(f);
    }
    run.start();
    ASSERT_TRUE(xr_wait_map(run)) << run.output();
    xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    // Services, then its third entry: "Update safety cameras".
    xdo("key F4");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    xdo("key --delay 80 Down Down Down Down Down Right Down Down");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    xdo("key Return");
    ASSERT_TRUE(wait_output(run, "service update 3 requested", 10)) << run.output();

    ASSERT_TRUE(wait_output(run, "banner service result 1 gtk-stop: ", 60)) << run.output();
    const std::string out = run.output();
    const size_t at = out.find("banner service result 1 gtk-stop: ");
    const std::string text = out.substr(at + 34, out.find('\n', at) - at - 34);
    EXPECT_FALSE(text.empty()) << out;
    EXPECT_EQ(text.find("r_str_"), std::string::npos) << text;

    // The banner is on screen with that text.
    const std::string windows = xdo_read("search --onlyvisible --name '.'");
    bool shown = false;
    std::string names;
    for (size_t from = 0; from < windows.size();) {
        const size_t end = windows.find('\n', from);
        const std::string id = windows.substr(from, end - from);
        from = end == std::string::npos ? windows.size() : end + 1;
        if (id.empty())
            continue;
        std::string name = xdo_read("getwindowname " + id);
        if (!name.empty() && name.back() == '\n')
            name.pop_back();
        names += name + "|";
        shown = shown || name == text;
    }
    EXPECT_TRUE(shown) << "windows: " << names << "\n" << out;

    // The program goes on and ends normally.
    EXPECT_EQ(run.wait_exit(2), -1) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
