// A start on a prepared card reads the application settings and applies
// the stored map orientation without writing the settings file again.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "navigator_run.h"

namespace {

namespace fs = std::filesystem;

TEST(StartSettingsTest, SecondStartLeavesTheSettingsFileAlone)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    XrTempRoot root;
    root.make_dirs("/media/mmc2");
    const fs::path settings = root.dir() + "/home/user/.kestrova/settings.txt";

    for (const char* stored : {"map_orientation_to_north=0", "map_orientation_to_north=1"}) {
        // The card as an earlier start left it, with a chosen orientation.
        {
            XrNavigatorRun first(root);
            first.start();
            ASSERT_TRUE(xr_wait_map(first)) << first.output();
            EXPECT_EQ(first.terminate(), 0) << first.output();
        }
        ASSERT_TRUE(fs::exists(settings));
        std::string text = XrTempRoot::read_file(settings.string());
        const std::string key = "map_orientation_to_north=";
        const std::size_t at = text.find(key);
        if (at != std::string::npos)
            text.replace(at, text.find('\n', at) - at, stored);
        else
            text += std::string(stored) + "\n";
        {
            std::ofstream out(settings, std::ios::trunc);
            out << text;
        }
        const auto old_time = fs::file_time_type::clock::now() - std::chrono::hours(24);
        fs::last_write_time(settings, old_time);

        XrNavigatorRun second(root);
        second.start();
        ASSERT_TRUE(xr_wait_map(second)) << second.output();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        EXPECT_EQ(fs::last_write_time(settings), old_time) << stored;
        EXPECT_EQ(XrTempRoot::read_file(settings.string()), text) << stored;
        EXPECT_EQ(second.terminate(), 0) << second.output();
    }
}

} // namespace
