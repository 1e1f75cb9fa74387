// The file manager's display names, from its library when the device has it.
// Kept apart from the file functions so that programs that never ask for a
// display name do not link the dynamic loader.
#include "common/os/xr_file.h"

#include <dlfcn.h>
#include <string>

#include "common/misc/xr_path_resolver.h"

bool get_display_name(const XrString& path, XrString& name)
{
    name = path;
    void* lib = dlopen("libhildonfm.so.2", RTLD_LAZY | RTLD_LOCAL);
    if (lib == nullptr)
        return false;
    using info_new_fn = void* (*)(const char* uri, void** error);
    using display_name_fn = const char* (*)(void* info);
    using info_free_fn = void (*)(void* info);
    auto info_new = reinterpret_cast<info_new_fn>(dlsym(lib, "hildon_file_system_info_new"));
    auto display_name = reinterpret_cast<display_name_fn>(dlsym(lib, "hildon_file_system_info_get_display_name"));
    auto info_free = reinterpret_cast<info_free_fn>(dlsym(lib, "hildon_file_system_info_free"));
    std::string p;
    void* info = nullptr;
    if (info_new != nullptr && display_name != nullptr && to_platform_path(path, true, p))
        info = info_new(p.c_str(), nullptr);
    bool ok = info != nullptr;
    if (ok) {
        const char* shown = display_name(info);
        if (shown != nullptr)
            name = from_platform_path(shown);
        if (info_free != nullptr)
            info_free(info);
    }
    dlclose(lib);
    return ok;
}
