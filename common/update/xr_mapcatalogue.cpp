#include "common/update/xr_mapcatalogue.h"

#include "common/config/xr_storageconfiguration.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_file.h"
#include "common/storage/xr_storageaccessor.h"
#include "common/update/xr_cataloguehost.h"
#include "common/update/xr_versionfile.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

constexpr int max_aside_suffix = 99; // the suffix is a text of two characters

bool path_exists(const XrString& path)
{
    return is_directory(path) || get_file_size(path) >= 0;
}

} // namespace

XrMapCatalogue::NameResult XrMapCatalogue::read_map_name(const XrString& folder, XrString& name)
{
    XrStorageAccessor* accessor = open_storage_accessor(folder + L"/mapdata.ini", true);
    if (accessor == nullptr)
        return NO_FILE;
    XrStorageConfiguration config(accessor, L"");
    if (config.open(true) != XrConfiguration::OK)
        return NO_FILE;
    if (config.open_key(L"\\general") != XrConfiguration::OK || config.get_string(L"name", name) != XrConfiguration::OK
        || name.length() == 0)
        return NO_NAME;
    return NAME_OK;
}

bool XrMapEntry::move_to(const XrString& path)
{
    if (!rename_file(m_path, path))
        return false;
    m_path = path;
    return true;
}

XrMapCatalogue::XrMapCatalogue(const XrString& folder, const XrString& prefix) : m_folder(folder), m_prefix(prefix)
{
    scan();
}

XrMapCatalogue::~XrMapCatalogue()
{
    for (int i = 0; i < m_entries.get_num_items(); ++i)
        delete m_entries.get_item(i);
}

XrMapEntry* XrMapCatalogue::read_entry(const XrString& name, bool active) const
{
    XrString path = m_folder + name;
    XrString map_name;
    if (read_map_name(path, map_name) != NAME_OK)
        map_name = L"Unknown";
    XrVersionFile version;
    XrString guid, map_version;
    if (version.load(path + L"/version.txt")) {
        guid = version.get(L"GUID");
        map_version = version.get(L"Map version");
    }
    return new (std::nothrow) XrMapEntry(path, active, map_name, guid, map_version);
}

void XrMapCatalogue::scan()
{
    std::vector<XrMapEntry*> found;
    const int prefix_len = m_prefix.length();
    for_each_folder_entry(m_folder, XrFileFinder::DIRECTORIES, [&](const XrString& name) {
        if (wide_strnicmp(name.c_str(), m_prefix.c_str(), prefix_len) == 0) {
            XrMapEntry* entry = read_entry(name, wide_stricmp(name.c_str(), m_prefix.c_str()) == 0);
            if (entry != nullptr)
                found.push_back(entry);
        }
        return true;
    });
    std::stable_sort(found.begin(), found.end(), [](const XrMapEntry* a, const XrMapEntry* b) {
        return wide_strcmp(a->get_name().c_str(), b->get_name().c_str()) < 0;
    });
    for (XrMapEntry* entry : found) {
        if (!m_entries.append(entry))
            delete entry;
    }
}

XrMapEntry* XrMapCatalogue::get_item(int i) const
{
    if (i < 0 || i >= m_entries.get_num_items())
        return nullptr;
    return m_entries.get_item(i);
}

int XrMapCatalogue::find_active_index() const
{
    for (int i = 0; i < m_entries.get_num_items(); ++i) {
        if (m_entries.get_item(i)->is_active())
            return i;
    }
    return -1;
}

XrMapEntry* XrMapCatalogue::get_active_entry() const
{
    return get_item(find_active_index());
}

bool XrMapCatalogue::find_aside_path(const XrMapEntry& entry, XrString& out) const
{
    // The name comes from the map's mapdata.ini: a separator in it would move
    // the map out of the folder, so each one becomes "_".
    XrString name = entry.get_name();
    name.replace(L"/", L"_");
    name.replace(L"\\", L"_");
    const XrString base = m_folder + m_prefix + L"_" + name;
    if (!path_exists(base)) {
        out = base;
        return true;
    }
    for (int n = 2; n <= max_aside_suffix; ++n) {
        XrString suffix;
        suffix.format(3, L"%d", n); // two characters and the terminator
        XrString candidate = base + suffix;
        if (!path_exists(candidate)) {
            out = candidate;
            return true;
        }
    }
    return false;
}

void XrMapCatalogue::report_failure(bool quiet)
{
    XrCatalogueHost* host = XrCatalogueHost::get_instance();
    if (quiet || host == nullptr)
        return;
    host->show_error_msg(XrString((int)R_STR_RENAME_MAPDATA_FAIL_TITLE), XrString((int)R_STR_RENAME_MAPDATA_FAIL));
}

bool XrMapCatalogue::activate_map(int index, bool quiet)
{
    XrMapEntry* chosen = get_item(index);
    if (chosen == nullptr)
        return false;
    if (chosen->is_active())
        return true;

    const XrString active_path = m_folder + m_prefix;
    XrMapEntry* previous = get_active_entry();
    if (previous != nullptr) {
        XrString aside;
        if (!find_aside_path(*previous, aside) || !previous->move_to(aside)) {
            report_failure(quiet);
            return false;
        }
        previous->set_active(false);
    }
    if (!chosen->move_to(active_path)) {
        if (previous != nullptr && previous->move_to(active_path))
            previous->set_active(true);
        report_failure(quiet);
        return false;
    }
    chosen->set_active(true);
    return true;
}
