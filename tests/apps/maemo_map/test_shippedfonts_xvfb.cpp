// The navigator draws its texts with the shipped fonts, whatever font
// configuration the environment names.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <fstream>
#include <set>

#include "navigator_run.h"

namespace {

// The font files the process has mapped.
std::set<std::string> mapped_fonts(pid_t pid)
{
    std::set<std::string> fonts;
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    for (std::string line; std::getline(maps, line);) {
        const std::size_t slash = line.find('/');
        if (slash == std::string::npos)
            continue;
        const std::string path = line.substr(slash);
        if (path.size() > 4 && (path.compare(path.size() - 4, 4, ".ttf") == 0 ||
                                path.compare(path.size() - 4, 4, ".otf") == 0 ||
                                path.compare(path.size() - 4, 4, ".pfb") == 0))
            fonts.insert(path);
    }
    return fonts;
}

TEST(ShippedFontsTest, TextsUseTheShippedFacesNotTheMachines)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    XrTempRoot root;
    root.make_dirs("/media/mmc2");
    // A configuration of the machine's fonts, as a desktop session has.
    root.write_file("/machine-fonts.conf", "<?xml version=\"1.0\"?>\n<fontconfig>\n"
                                           "  <dir>/usr/share/fonts</dir>\n</fontconfig>\n");
    XrNavigatorRun run(root);
    run.start({"FONTCONFIG_FILE=" + root.dir() + "/machine-fonts.conf"});
    ASSERT_TRUE(run.wait_screen(30, [](GdkPixbuf* pb) { return xr_is_land(xr_pixel(pb, 300, 150)); }))
        << run.output();
    const std::set<std::string> fonts = mapped_fonts(run.pid);
    ASSERT_FALSE(fonts.empty()) << "no font file mapped";
    const std::string shipped = root.dir() + "/usr/share/kestrova/fonts/";
    for (const std::string& f : fonts)
        EXPECT_EQ(f.rfind(shipped, 0), 0u) << f;
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
