#include "apps/apps_common/xr_versioninfo.h"

#include <memory>
#include <string>

#include "common/config/xr_storageconfiguration.h"
#include "common/misc/xr_path_resolver.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

const TCHAR* const default_version = L"2.2.7";
const TCHAR* const default_build = L"436";
const TCHAR* const default_title = L"Kestrova Corvanel";
constexpr int max_value = 63;
// Version files are a few lines; anything larger is not one.
constexpr int max_file = 64 * 1024;

// The file widened byte by byte; false when it cannot be read.
bool read_text(const TCHAR* path, std::wstring& out)
{
    BYTE* data = nullptr;
    int size = 0;
    if (!read_whole_file(XrPathResolver::resolve(XrString(path)), &data, &size, max_file))
        return false;
    out.assign(data, data + size);
    delete[] data;
    return true;
}

XrString value_of(const std::wstring& text, const TCHAR* key)
{
    return extract_version_value(XrString(text.c_str()), XrString(key));
}

} // namespace

XrString extract_version_value(const XrString& text, const XrString& key)
{
    const std::wstring t(text.c_str());
    const std::wstring k(key.c_str());
    const size_t at = k.empty() ? std::wstring::npos : t.find(k);
    if (at == std::wstring::npos)
        return XrString(L"");
    const size_t from = at + k.size();
    size_t end = t.find_first_of(L"\r\n", from);
    if (end == std::wstring::npos)
        end = t.size();
    return XrString(t.substr(from, std::min<size_t>(end - from, max_value)).c_str());
}

bool read_app_version_info(XrString& title, XrString& version, XrString& build, XrString& full_version)
{
    version = XrString(default_version);
    build = XrString(default_build);
    std::wstring text;
    if (!read_text(L"?:\\version.txt", text)) {
        full_version = version + L"." + build;
        title = XrString(default_title);
        return false;
    }
    full_version = value_of(text, L"Version: ");
    title = value_of(text, L"Title: ");
    return true;
}

bool read_map_name(XrString& name)
{
    XrStorageAccessor* accessor = open_storage_accessor(XrString(L"?:\\mapdata\\mapdata.ini"), true);
    if (accessor == nullptr)
        return false;
    XrStorageConfiguration config(accessor, L"");
    XrString value;
    if (config.open(true) != XrConfiguration::OK || config.open_key(L"\\general") != XrConfiguration::OK ||
        config.get_string(L"name", value) != XrConfiguration::OK)
        return false;
    name = value;
    return true;
}

bool read_map_version_info(XrString& map_name, XrString& version, XrString& year, XrString& map_version,
                           XrString& vendor)
{
    read_map_name(map_name);
    std::wstring text;
    if (!read_text(L"?:\\mapdata\\version.txt", text))
        return false;
    version = value_of(text, L"Version: ");
    year = value_of(text, L"Copyright year: ");
    map_version = value_of(text, L"Map version: ");
    vendor = value_of(text, L"Vendor: ");
    return true;
}

XrString format_version_string()
{
    XrString title, version, build, full, map_name, map_file_version, year, map_version, vendor;
    read_app_version_info(title, version, build, full);
    read_map_version_info(map_name, map_file_version, year, map_version, vendor);
    std::wstring s = std::wstring(title.c_str()) + L" " + map_name.c_str() + L" App " + version.c_str() + L"." +
                     build.c_str() + L" Map " + map_file_version.c_str() + L" " + map_version.c_str();
    if (s.size() > 99)
        s.resize(99);
    return XrString(s.c_str());
}

XrString get_platform_name() { return XrString(L"Linux"); }
