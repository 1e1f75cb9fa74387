#include "common/corvanel_core/impl/xr_settingsfile.h"

#include "common/os/xr_file.h"
#include "common/storage/xr_storageaccessor.h"

std::unique_ptr<XrStorageConfiguration> open_settings_file(const XrString& path, bool read_only)
{
    auto accessor = std::make_unique<XrFileStorageAccessor>();
    if (!accessor->open(path, read_only)) {
        make_directories(path);
        if (!accessor->create(path))
            return nullptr;
    }
    auto config = std::make_unique<XrStorageConfiguration>(accessor.release(), L"");
    if (config->open(read_only) != XrConfiguration::OK)
        return nullptr;
    return config;
}

bool read_setting(XrConfiguration& c, const TCHAR* name, int& value)
{
    int v = 0;
    if (c.get_int(name, &v) != XrConfiguration::OK)
        return false;
    value = v;
    return true;
}

bool read_setting(XrConfiguration& c, const TCHAR* name, bool& value)
{
    bool v = false;
    if (c.get_bool(name, &v) != XrConfiguration::OK)
        return false;
    value = v;
    return true;
}

bool read_setting(XrConfiguration& c, const TCHAR* name, XrString& value)
{
    XrString v;
    if (c.get_string(name, v) != XrConfiguration::OK)
        return false;
    value = v;
    return true;
}
