// The point index reader on arbitrary files. Input: u16 length n, n bytes of
// index file, the rest is the ".data" file. Every query is read to its end.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "common/container/xr_bytes.h"
#include "common/db/qt/xr_geodata.h"
#include "common/db/qt/xr_geodatasearcher.h"
#include "common/db/qt/xr_geodatalayout.h"

namespace {

std::string g_folder;

void remove_files()
{
    std::remove((g_folder + "/index").c_str());
    std::remove((g_folder + "/index" + SSGEO_DATA_SUFFIX).c_str());
    rmdir(g_folder.c_str());
}

const std::string& index_name()
{
    static const std::string name = [] {
        char folder[] = "/tmp/fuzz-qtindex-XXXXXX";
        if (mkdtemp(folder) == nullptr)
            std::abort();
        g_folder = folder;
        std::atexit(remove_files);
        return g_folder + "/index";
    }();
    return name;
}

void write_file(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        std::abort();
    if (size > 0)
        std::fwrite(data, 1, size, f);
    std::fclose(f);
}

void drain(SSGeoDataSearcher* searcher, const SSRect& area, const SSRect* exclude)
{
    SSPointCursor* cursor = searcher->query(area, exclude);
    char buffer[64];
    SSPoint point;
    point.data = buffer;
    point.capacity = sizeof(buffer);
    while (cursor->get_next_point(&point) == SSGEO_OK) {
    }
    cursor->release();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    std::size_t index_size = xr_bytes::get_u16_le(data);
    if (index_size > size - 2)
        index_size = size - 2;
    const std::string& name = index_name();
    write_file(name, data + 2, index_size);
    write_file(name + SSGEO_DATA_SUFFIX, data + 2 + index_size, size - 2 - index_size);

    SSGeoDataSearcher* searcher = create_geo_data_searcher();
    if (searcher->open(name.c_str()) == SSGEO_OK) {
        std::int32_t b[4];
        searcher->get_bounds(b);
        const SSRect everything{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
        const std::int32_t mx = static_cast<std::int32_t>((static_cast<std::int64_t>(b[0]) + b[2]) / 2);
        const std::int32_t my = static_cast<std::int32_t>((static_cast<std::int64_t>(b[1]) + b[3]) / 2);
        const SSRect part{b[0], b[1], mx, b[3]};
        const SSRect hole{b[0], my, mx, my};
        drain(searcher, everything, nullptr);
        drain(searcher, part, &hole);
    }
    searcher->release();
    return 0;
}
