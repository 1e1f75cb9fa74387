// Extension files from outside: arbitrary bytes as an extension file,
// installed under a private root. Whatever the items say, nothing may be
// written outside the map folder (items escaping two levels up land beside it).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <dirent.h>

#include "common/base/xr_singleton.h"
#include "common/config/xr_memoryconfiguration.h"
#include "common/extension/xr_extension.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_file.h"

namespace {

class FuzzMapProvider : public XrMapProvider {
public:
    bool get_map_id(XrString& out) override
    {
        out = L"MAP";
        return true;
    }
};

struct FuzzRoot {
    FuzzRoot()
    {
        char templ[] = "/tmp/xr-fuzz-ext-XXXXXX";
        if (mkdtemp(templ) == nullptr)
            std::abort();
        dir = templ;
        map_root = XrString((dir + "/map/").c_str());
        inbox = XrString((dir + "/map/inbox").c_str());
        make_directories(inbox + L"/");
        set_path_resolver(new XrPathResolver(map_root.c_str()));
        XrSingleton::set_instance(XrString(L"XrMapProvider"), static_cast<XrMapProvider*>(&maps));
    }
    ~FuzzRoot() { remove_directory_tree(XrString(dir.c_str())); }
    std::string dir;
    XrString map_root;
    XrString inbox;
    FuzzMapProvider maps;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzRoot root;
    const std::string file = root.dir + "/map/inbox/x.nce";
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (f == nullptr)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    XrExtensionHeader header;
    header.read(XrString(file.c_str()));

    XrMemoryConfiguration config(L"");
    config.open(reinterpret_cast<const BYTE*>(""), 0, false);
    XrExtensionHandler handler;
    const XrString path(file.c_str());
    if (install_extension_file(&handler, &config, path))
        uninstall_extension(&handler, &config, path);
    // Anything written beside the map folder is a fault.
    DIR* d = opendir(root.dir.c_str());
    while (struct dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != ".." && name != "map")
            std::abort();
    }
    closedir(d);
    return 0;
}
