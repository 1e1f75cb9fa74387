// kestrova-probe screenshot: saves the whole screen of DISPLAY as a PNG.
#include <gtk/gtk.h>

#include <cstdio>

#include "tools/probe/probe.h"

namespace {

int run_screenshot(const std::vector<std::string>& args);

XrProbeCommand screenshot_cmd("screenshot", "OUT.png", "saves the screen of DISPLAY as a PNG", run_screenshot);

int run_screenshot(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return probe_usage(screenshot_cmd);
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "kestrova-probe screenshot: cannot open the display\n");
        return 1;
    }
    GdkWindow* root = gdk_get_default_root_window();
    int w = 0, h = 0;
    gdk_drawable_get_size(root, &w, &h);
    GdkPixbuf* pb = gdk_pixbuf_get_from_drawable(nullptr, root, gdk_colormap_get_system(), 0, 0, 0, 0, w, h);
    if (pb == nullptr) {
        std::fprintf(stderr, "kestrova-probe screenshot: cannot read the screen\n");
        return 1;
    }
    const gboolean ok = gdk_pixbuf_save(pb, args[0].c_str(), "png", nullptr, nullptr);
    g_object_unref(pb);
    if (!ok) {
        std::fprintf(stderr, "kestrova-probe screenshot: cannot write %s\n", args[0].c_str());
        return 1;
    }
    return 0;
}

} // namespace
