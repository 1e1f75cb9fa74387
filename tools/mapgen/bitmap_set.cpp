#include "tools/mapgen/bitmap_set.h"

#include <cairo.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "tools/mapgen/geom_tree.h"
#include "tools/mapgen/mbm_writer.h"

namespace {

// The picture and its mask from a PNG; false when it cannot be read.
bool read_png(const std::string& path, std::vector<XrMbmBitmap>& out, bool masked)
{
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return false;
    }
    cairo_surface_flush(s);
    const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    const int stride = cairo_image_surface_get_stride(s);
    const cairo_format_t format = cairo_image_surface_get_format(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    std::vector<std::uint32_t> rgb(static_cast<size_t>(w) * h);
    std::vector<bool> set(rgb.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint32_t px = 0;
            if (format == CAIRO_FORMAT_ARGB32 || format == CAIRO_FORMAT_RGB24)
                px = *reinterpret_cast<const std::uint32_t*>(data + static_cast<size_t>(y) * stride + 4 * x);
            unsigned a = format == CAIRO_FORMAT_ARGB32 ? px >> 24 : 255;
            unsigned r = px >> 16 & 255, g = px >> 8 & 255, b = px & 255;
            if (a > 0 && a < 255) { // premultiplied
                r = r * 255 / a;
                g = g * 255 / a;
                b = b * 255 / a;
            }
            const size_t i = static_cast<size_t>(y) * w + x;
            rgb[i] = r << 16 | g << 8 | b;
            set[i] = a >= 128;
        }
    cairo_surface_destroy(s);
    out.push_back(mbm_make_rgb(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), rgb, 24, 1));
    if (masked)
        out.push_back(mbm_make_mono(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), set, 1));
    return true;
}

std::string base_name(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

bool xr_write_bitmap_set(const std::string& ids_path, const std::string& png_dir, const std::string& def_path,
                         const std::string& mbm_path, std::string& error)
{
    std::ifstream ids(ids_path);
    if (!ids) {
        error = "cannot read " + ids_path;
        return false;
    }
    std::vector<XrMbmBitmap> bitmaps;
    std::string index = "BITMAP " + base_name(mbm_path) + "\n";
    std::string line;
    for (int number = 1; std::getline(ids, line); ++number) {
        const std::string where = ids_path + ":" + std::to_string(number) + ": ";
        line = line.substr(0, line.find('#'));
        std::istringstream in(line);
        std::string id_text, name, flag, rest;
        if (!(in >> id_text))
            continue;
        char* end = nullptr;
        const unsigned long id = std::strtoul(id_text.c_str(), &end, 0);
        if (!(in >> name) || *end != 0 || id == 0 || id > 0xFFFFFFFFul || ((in >> flag) && flag != "mask") ||
            (in >> rest)) {
            error = where + "expected \"ID NAME.png [mask]\"";
            return false;
        }
        const size_t first = bitmaps.size();
        if (!read_png(png_dir + "/" + name, bitmaps, flag == "mask")) {
            error = where + "cannot read the image " + png_dir + "/" + name;
            return false;
        }
        index += std::to_string(id) + "," + std::to_string(first) + (flag == "mask" ? ",masked" : "") + "\n";
    }
    return write_mbm_file(mbm_path, bitmaps, false, error) &&
           xr_write_file_atomic(def_path, std::vector<BYTE>(index.begin(), index.end()), error);
}
