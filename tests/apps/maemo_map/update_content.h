// The maps window's whole-program tests: the update server's content (a
// second map as a component), and the screen probes and clicks of the
// window filling the 800 x 480 screen.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "common/ber/xr_propertybag.h"
#include "common/misc/xr_md5.h"
#include "navigator_run.h"

namespace fs = std::filesystem;



inline void xdo(const std::string& args) { std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }
inline void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

inline bool window_shown(const std::string& title, bool wanted, int seconds = 10)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    do {
        const bool shown =
            std::system(("xdotool search --onlyvisible --name '^" + title + "$' >/dev/null 2>&1").c_str()) == 0;
        if (shown == wanted)
            return true;
        pause_ms(200);
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

inline std::string md5_hex(const std::string& bytes)
{
    XrMD5Context ctx;
    md5_init(ctx);
    md5_update(ctx, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
    BYTE digest[16];
    md5_final(ctx, digest);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (BYTE b : digest)
        out += std::string{hex[b >> 4], hex[b & 15]};
    return out;
}

inline void write(const std::string& path, const std::string& bytes)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// The server's content: the list of maps and the component "map_second",
// a copy of the demo map named "Second", installed into "mapdata_Second".
// extra_bytes: the size of an extra file "big.dat" (none when 0).
inline void write_content(const std::string& content, std::size_t extra_bytes = 0)
{
    const std::string shipped = XrTempRoot::stage_dir() + "/usr/share/kestrova/atlantis";
    const std::string files = content + "components/map_second/1.2.0.3/";
    fs::create_directories(files);
    XrPropertyBag list;
    auto* bag = new XrPropertyBag;
    bag->add_string(2, XrString("map_second"));
    bag->add_string(3, XrString("Second"));
    const int version[4] = {1, 2, 0, 3};
    for (int k = 0; k < 4; ++k)
        bag->add_int(4 + k, version[k]);
    bag->add_int(10, 0);
    bag->add_string(9, XrString("mapdata_Second"));
    std::int64_t total = 0;
    const std::string source = content + "source/";
    fs::create_directories(source);
    fs::copy(shipped, source, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    if (extra_bytes > 0) {
        std::string big(extra_bytes, '\0');
        for (std::size_t i = 0; i < big.size(); ++i)
            big[i] = char((i * 2654435761u) >> 13);
        write(source + "big.dat", big);
    }
    for (const auto& entry : fs::directory_iterator(source)) {
        const std::string name = entry.path().filename().string();
        std::string bytes = XrTempRoot::read_file(entry.path().string());
        if (name == "mapdata.ini") {
            const auto at = bytes.find("name=Atlantis");
            bytes.replace(at, 13, "name=Second");
        } else if (name == "version.txt") {
            bytes = "GUID: map_second\nVersion: 1.0\nMap version: 8\n";
        }
        write(files + name, bytes);
        auto* file = new XrPropertyBag;
        file->add_string(1, XrString(name.c_str()));
        file->add_string(2, XrString(md5_hex(bytes).c_str()));
        file->add_int(3, int(bytes.size()));
        file->add_int(5, 1);
        bag->add_bag(8, file);
        total += std::int64_t(bytes.size());
    }
    list.add_bag(1, bag);
    XrByteArray out;
    EXPECT_EQ(list.encode(out), XrPropertyBag::OK);
    write(content + "components/map_second.ber",
          std::string(reinterpret_cast<const char*>(out.get_items()), out.get_num_items()));
    write(content + "map.lst", "Second;map_second;" + std::to_string(total) + ";" + std::to_string(total * 2) +
                                   ";8\n");
}

inline bool white(GdkPixbuf* pb, int x, int y)
{
    const XrRgb c = xr_pixel(pb, x, y);
    return c.r > 250 && c.g > 250 && c.b > 250;
}

// Whether the list row around y shows text or its selection: a pixel
// clearly darker than the white list in its left half.
inline bool row_shown(GdkPixbuf* pb, int y)
{
    for (int yy = y - 6; yy <= y + 6; ++yy)
        for (int x = 18; x < 400; ++x) {
            const XrRgb c = xr_pixel(pb, x, yy);
            if (c.r + c.g + c.b < 600)
                return true;
        }
    return false;
}

// The progress window's bar and frame over the middle of the list.
inline bool progress_shown(GdkPixbuf* pb)
{
    return !white(pb, 300, 200) && !white(pb, 500, 280);
}

template <class F>
inline bool wait_for(F done, int seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        pause_ms(200);
    }
    return true;
}
