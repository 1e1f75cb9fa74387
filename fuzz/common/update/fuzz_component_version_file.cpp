// Version files of installed components ("GUID", "Version") and a map
// folder's "mapdata.ver", read by the component inventory.
#include "common/update/xr_componentinventory.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const XrInventoryTables::MapRegion regions[] = {{L"Fuzz", "MAP-FUZZ"}};

bool write_file(const std::string& path, const uint8_t* data, size_t size)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    if (size > 0)
        std::fwrite(data, 1, size, f);
    return std::fclose(f) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string card = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string dir = std::string(tmp != nullptr ? tmp : "/tmp") + "/fuzz_component_version_file." +
                          std::to_string(getpid()) + "/";
        mkdir(dir.c_str(), 0700);
        mkdir((dir + "mapdata").c_str(), 0700);
        std::FILE* f = std::fopen((dir + "mapdata/mapdata.ini").c_str(), "wb");
        if (f != nullptr) {
            std::fputs("REGEDIT4\n\n[\\general]\nname=\"Fuzz\"\n", f);
            std::fclose(f);
        }
        return dir;
    }();
    if (!write_file(card + "mapdata/mapdata.ver", data, size) || !write_file(card + "mapdata/version.txt", data, size))
        return 0;
    XrInventoryTables tables;
    tables.map_regions = regions;
    tables.num_map_regions = 1;
    XrComponentInventory inventory(tables);
    inventory.build_inventory(XrString(card.c_str()));
    XrByteArray out;
    inventory.format_components(out);
    return 0;
}
