#include "tools/mapgen/bitmap_set.h"

#include <png.h>

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
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    const std::uint32_t w = image.width, h = image.height;
    std::vector<std::uint32_t> rgb(static_cast<size_t>(w) * h);
    std::vector<bool> set(rgb.size());
    for (size_t i = 0; i < rgb.size(); ++i) {
        const unsigned char* q = &rgba[4 * i];
        rgb[i] = static_cast<std::uint32_t>(q[0]) << 16 | static_cast<std::uint32_t>(q[1]) << 8 | q[2];
        set[i] = q[3] >= 128;
    }
    out.push_back(mbm_make_rgb(w, h, rgb, 24, 1));
    if (masked)
        out.push_back(mbm_make_mono(w, h, set, 1));
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
