// The POI class definitions of "poi.reg" as the POI provider reads them at
// start-up, under a private root: every class it takes has a class id and a
// name of the file.
#include "common/corvanel_core/impl/xr_poiproviderimpl.h"
#include "common/misc/xr_path_resolver.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

std::string g_root;
std::string g_card;
std::unique_ptr<XrPathResolver> g_resolver;
XrString g_wide_card;

void set_up()
{
    if (!g_root.empty())
        return;
    char pattern[] = "/tmp/fuzz_poi_classes.XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        std::abort();
    g_root = pattern;
    setenv("KESTROVA_ROOT", g_root.c_str(), 1);
    setenv("HOME", "/home/user", 1);
    std::filesystem::create_directories(g_root + "/home/user/.kestrova");
    std::filesystem::create_directories(g_root + "/usr/share/kestrova");
    g_card = g_root + "/media/mmc1/map/";
    std::filesystem::create_directories(g_card + "mapdata/poi");
    g_wide_card = XrString(from_platform_path(g_card.c_str()));
    g_resolver = std::make_unique<XrPathResolver>(g_wide_card.c_str());
    set_path_resolver(g_resolver.get());
}

void write(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 1 << 16)
        return 0;
    set_up();
    write(g_root + "/usr/share/kestrova/poi.reg", data, size);
    write(g_card + "mapdata/poi.reg", data, size);
    XrPoiProviderImpl provider(from_platform_path((g_card + "mapdata/poi").c_str()), nullptr);
    provider.initialize();
    XrArray<XrPoiSettings*>& classes = provider.get_poi_settings();
    if (static_cast<std::size_t>(classes.get_num_items()) > size)
        std::abort();
    for (int i = 0; i < classes.get_num_items(); ++i)
        if ((*classes.get_item_ptr(i)) == nullptr)
            std::abort();
    return 0;
}
