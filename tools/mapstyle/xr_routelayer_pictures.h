// The route layer's pictures for drawing without the program's image files:
// the PNGs drawn from "data/images/routelayer.img" are packed into one MBM
// file (each picture followed by its mask when the index asks for one) and
// registered with the bitmap loader under the ids of "routelayer.ids"
// ("0xID NAME.png [mask]" lines). Needs gdk-pixbuf.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/bmloader/xr_bitmap_loader.h"
#include "tools/mapgen/mbm_writer.h"

// png_dir: the drawn pictures; mbm_dir: an existing folder that receives
// "routelayer.mbm" and becomes the loader's folder. False with the reason
// in error.
inline bool xr_register_route_layer_pictures(const std::string& png_dir, const std::string& ids_path,
                                             const std::string& mbm_dir, std::string& error)
{
    std::ifstream ids(ids_path);
    if (!ids) {
        error = "cannot read " + ids_path;
        return false;
    }
    std::vector<XrMbmBitmap> bitmaps;
    std::ostringstream index;
    index << "BITMAP routelayer.mbm\n";
    std::string line;
    while (std::getline(ids, line)) {
        std::istringstream in(line);
        std::string id_text, name, mask;
        in >> id_text >> name >> mask;
        if (name.empty())
            continue;
        const std::string path = png_dir + "/" + name;
        GdkPixbuf* pb = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
        if (pb == nullptr) {
            error = "cannot read " + path;
            return false;
        }
        const int w = gdk_pixbuf_get_width(pb), h = gdk_pixbuf_get_height(pb);
        const int n = gdk_pixbuf_get_n_channels(pb), stride = gdk_pixbuf_get_rowstride(pb);
        const guchar* p = gdk_pixbuf_get_pixels(pb);
        std::vector<std::uint32_t> rgb(static_cast<size_t>(w) * h);
        std::vector<bool> set(static_cast<size_t>(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const guchar* q = p + y * stride + x * n;
                rgb[static_cast<size_t>(y) * w + x] = (q[0] << 16) | (q[1] << 8) | q[2];
                set[static_cast<size_t>(y) * w + x] = n < 4 || q[3] >= 128;
            }
        g_object_unref(pb);
        index << std::stoul(id_text, nullptr, 16) << "," << bitmaps.size() << (mask == "mask" ? ",masked" : "")
              << "\n";
        bitmaps.push_back(mbm_make_rgb(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), rgb));
        if (mask == "mask")
            bitmaps.push_back(mbm_make_mono(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), set));
    }
    if (!write_mbm_file(mbm_dir + "/routelayer.mbm", bitmaps, false, error))
        return false;
    const std::string text = index.str();
    XrBitmapLoader::initialize(XrString(mbm_dir.c_str()), XrString("maemo"));
    if (!XrBitmapLoader::load_index_text(reinterpret_cast<const BYTE*>(text.data()), static_cast<int>(text.size()))) {
        error = "the bitmap loader refused the picture index";
        return false;
    }
    return true;
}
