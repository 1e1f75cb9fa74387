// The map compiler on arbitrary OSM input. The first byte picks the form:
// 'P' the rest is a PBF file, anything else an XML file. Whatever the input,
// the compile either succeeds or fails with an error, leaving no folder.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "tools/mapgen/compile_osm.h"

namespace {

const std::string& work_dir()
{
    static const std::string dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "fuzz-osm-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        return pattern;
    }();
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool pbf = data[0] == 'P';
    const std::string in = work_dir() + (pbf ? "/in.osm.pbf" : "/in.osm");
    const std::string out = work_dir() + "/map";
    std::FILE* f = std::fopen(in.c_str(), "wb");
    if (f == nullptr)
        return 0;
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
    XrCompileStats stats;
    std::string error;
    const bool ok = xr_compile_osm_file(in, out, XrCompileOptions(), stats, error);
    std::error_code ec;
    if (!ok && std::filesystem::exists(out, ec))
        std::abort(); // a failed compile left a folder
    if (ok != error.empty() && !ok)
        std::abort(); // a failure without its reason
    std::filesystem::remove_all(out, ec);
    return 0;
}
