// The map's language list "maplcs.dat" as the map provider reads it, under a
// private root: either the single "no language" entry or three-byte codes of
// the file, none starting with a separator.
#include "common/corvanel_core/impl/xr_mapproviderimpl.h"
#include "common/misc/xr_path_resolver.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

std::string g_card;
std::unique_ptr<XrPathResolver> g_resolver;
XrString g_wide_card;

void set_up()
{
    if (!g_card.empty())
        return;
    char pattern[] = "/tmp/fuzz_map_languages.XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        std::abort();
    const std::string root = pattern;
    setenv("KESTROVA_ROOT", root.c_str(), 1);
    setenv("HOME", "/home/user", 1);
    std::filesystem::create_directories(root + "/home/user/.kestrova");
    g_card = root + "/media/mmc1/map/";
    std::filesystem::create_directories(g_card + "mapdata");
    g_wide_card = XrString(from_platform_path(g_card.c_str()));
    g_resolver = std::make_unique<XrPathResolver>(g_wide_card.c_str());
    set_path_resolver(g_resolver.get());
}

bool separator(unsigned b)
{
    return b == '\r' || b == '\n' || b == ' ' || b == '\t';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 4096)
        return 0;
    set_up();
    {
        std::ofstream out(g_card + "mapdata/maplcs.dat", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    XrMapProviderImpl maps;
    XrArray<XrLC> got(8, 0);
    maps.get_map_languages(got);
    if (got.get_num_items() < 1 || static_cast<std::size_t>(got.get_num_items()) > size / 3 + 1)
        std::abort();
    if (got.get_num_items() == 1 && *got.get_item_ptr(0) == 0)
        return 0;
    for (int i = 0; i < got.get_num_items(); ++i) {
        const XrLC lc = *got.get_item_ptr(i);
        if (separator(lc & 0xff))
            std::abort();
    }
    return 0;
}
