#include "common/update/xr_componentinventory.h"

#include "common/container/xr_bytes.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_file.h"
#include "common/update/xr_mapcatalogue.h"
#include "common/update/xr_match.h"

#include <cstring>
#include <new>
#include <string>

namespace {

const TCHAR map_prefix[] = L"mapdata";
constexpr int map_prefix_len = 7;

// The bytes of a value without trailing blanks, as 8-bit text.
std::string value_text(const BYTE* value, int len)
{
    while (len > 0 && xr_bytes::is_blank(value[len - 1]))
        --len;
    return std::string(reinterpret_cast<const char*>(value), (size_t)len);
}

// A name that stays one folder name when appended to a path.
bool is_plain_name(const XrString& name)
{
    return name.length() > 0 && wide_strpbrk(name.c_str(), L"/\\") == nullptr && name != L"." && name != L"..";
}

int compare_versions(const XrComponent& e, unsigned a, unsigned b, unsigned c, unsigned d)
{
    const unsigned x[4] = {e.a, e.b, e.c, e.d};
    const unsigned y[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) {
        if (x[i] != y[i])
            return x[i] < y[i] ? -1 : 1;
    }
    return 0;
}

} // namespace

XrComponentInventory::XrComponentInventory(const XrInventoryTables& tables) : m_tables(tables) {}

XrComponentInventory::~XrComponentInventory()
{
    clear_components();
}

void XrComponentInventory::report_status(const XrString&) {}

void XrComponentInventory::clear_components()
{
    for (int i = 0; i < components.get_num_items(); ++i)
        delete components.get_item(i);
    components.remove_all();
}

bool XrComponentInventory::register_component(const char* identifier, unsigned a, unsigned b, unsigned c,
                                              unsigned d)
{
    XrComponent probe;
    std::strncpy(probe.name, identifier, sizeof probe.name - 1);
    const XrString wanted(probe.name);
    for (int i = 0; i < components.get_num_items(); ++i) {
        XrComponent* e = components.get_item(i);
        if (wide_stricmp(XrString(e->name).c_str(), wanted.c_str()) != 0)
            continue;
        if (compare_versions(*e, a, b, c, d) >= 0)
            return true;
        components.remove_item(i);
        delete e;
        break;
    }
    XrComponent* entry = new (std::nothrow) XrComponent(probe);
    if (entry == nullptr)
        return false;
    entry->a = a;
    entry->b = b;
    entry->c = c;
    entry->d = d;
    if (!components.append(entry)) {
        delete entry;
        return false;
    }
    return true;
}

bool XrComponentInventory::read_version_file(const XrString& path)
{
    XrPtrArray<XrKeyValue*> records(8);
    bool ok = false;
    const BYTE* version = nullptr;
    const BYTE* guid = nullptr;
    int version_len = 0, guid_len = 0;
    unsigned a, b, c, d;
    if (xr_read_key_value_file(records, path) && xr_find_value(records, XrString(L"Version"), version, version_len)
        && xr_find_value(records, XrString(L"GUID"), guid, guid_len)) {
        std::string v = value_text(version, version_len);
        if (xr_match_capture(reinterpret_cast<const unsigned char*>(v.data()), v.size(), "~d.~d.~d.~d", &a, &b, &c,
                             &d))
            ok = register_component(value_text(guid, guid_len).c_str(), a, b, c, d);
    }
    xr_free_key_values(records);
    return ok;
}

void XrComponentInventory::find_root_prefix(const XrString& card_root)
{
    old_root_prefix.clear();
    for (int i = 0; i < m_tables.num_root_prefixes; ++i) {
        const XrInventoryTables::RootPrefix& row = m_tables.root_prefixes[i];
        XrPtrArray<XrKeyValue*> records(8);
        const BYTE* guid = nullptr;
        int guid_len = 0;
        bool found = false;
        if (xr_read_key_value_file(records, card_root + row.prefix + row.version_file)
            && xr_find_value(records, XrString(L"GUID"), guid, guid_len)) {
            std::string id = value_text(guid, guid_len);
            read_version_file(card_root + row.prefix + row.version_file);
            found = id == row.identifier;
        }
        xr_free_key_values(records);
        if (found) {
            old_root_prefix = row.prefix;
            return;
        }
    }
}

bool XrComponentInventory::read_versions_folder()
{
    bool ok = true;
    for_each_folder_entry(base + L"versions", XrFileFinder::FILES, [&](const XrString& name) {
        ok = read_version_file(base + L"versions\\" + name);
        return ok;
    });
    return ok;
}

void XrComponentInventory::register_map_region(const XrString& folder, const XrString& name)
{
    for (int i = 0; i < m_tables.num_map_regions; ++i) {
        const XrInventoryTables::MapRegion& row = m_tables.map_regions[i];
        if (name != row.map_name)
            continue;
        BYTE* data = nullptr;
        int size = 0;
        if (!read_whole_file(base + folder + L"\\mapdata.ver", &data, &size, 65536))
            return;
        unsigned a, b, c, d, e, f;
        const unsigned char* rest = nullptr;
        size_t rest_len = 0;
        if (xr_match_capture(data, (size_t)size, "~d.~d.~d.~d#~d#~d#~s", &a, &b, &c, &d, &e, &f, &rest, &rest_len))
            register_component(row.identifier, a, b, c, d);
        delete[] data;
        return;
    }
}

bool XrComponentInventory::scan_map_folder(const XrString& folder)
{
    XrString name;
    switch (XrMapCatalogue::read_map_name(base + folder, name)) {
    case XrMapCatalogue::NO_FILE:
        return true;
    case XrMapCatalogue::NO_NAME:
        return false;
    case XrMapCatalogue::NAME_OK:
        break;
    }
    const XrString target = XrString(L"mapdata_") + name;
    XrString current = folder;
    if (folder == map_prefix) {
        active_mapdata_name = target;
    } else if (folder != target) {
        // A name that is no plain folder name would move the map elsewhere.
        if (is_plain_name(name) && rename_file(base + folder, base + target)) {
            current = target;
        } else {
            XrString status;
            status.format(200, L"DEBUG: Failed to rename mapdata %s to %s", (base + folder).c_str(),
                          (base + target).c_str());
            report_status(status);
        }
    }
    if (read_version_file(base + current + L"/version.txt"))
        return true;
    register_map_region(current, name);
    return true;
}

bool XrComponentInventory::scan_map_folders()
{
    // The folders are listed first: renaming while listing could list one twice.
    XrArray<XrString> folders(8);
    for_each_folder_entry(base, XrFileFinder::DIRECTORIES, [&](const XrString& name) {
        if (wide_strncmp(name.c_str(), map_prefix, map_prefix_len) == 0)
            folders.append(name);
        return true;
    });
    for (int i = 0; i < folders.get_num_items(); ++i) {
        if (!scan_map_folder(*folders.get_item_ptr(i)))
            return false;
    }
    return true;
}

void XrComponentInventory::scan_extensions()
{
    const XrString folders[] = {base + L"extensions", base + L"extensions/installed"};
    for (const XrString& folder : folders) {
        for_each_folder_entry(folder, XrFileFinder::FILES, [&](const XrString& name) {
            const int len = name.length();
            if (len < 4 || wide_stricmp(name.c_str_at(len - 4), L".nce") != 0)
                return true;
            for (int i = 0; i < m_tables.num_partner_extensions; ++i) {
                if (name == m_tables.partner_extensions[i].file_name)
                    register_component(m_tables.partner_extensions[i].identifier, 1, 0, 0, 0);
            }
            return true;
        });
    }
}

void XrComponentInventory::scan_voices()
{
    const XrString sounds = base + L"kestrova\\sounds";
    for_each_folder_entry(sounds, XrFileFinder::DIRECTORIES, [&](const XrString& language) {
        for_each_folder_entry(sounds + L"\\" + language, XrFileFinder::DIRECTORIES, [&](const XrString& voice) {
            const XrString version = sounds + L"\\" + language + L"\\" + voice + L"\\version.txt";
            if (get_file_size(version) >= 0) {
                read_version_file(version);
                return true;
            }
            for (int i = 0; i < m_tables.num_voices; ++i) {
                const XrInventoryTables::Voice& row = m_tables.voices[i];
                if (language == row.language_folder && voice == row.voice_folder)
                    register_component(row.identifier, 2, 0, 0, 0);
            }
            return true;
        });
        return true;
    });
}

bool XrComponentInventory::build_inventory(const XrString& card_root)
{
    clear_components();
    active_mapdata_name.clear();
    find_root_prefix(card_root);
    base = card_root + old_root_prefix;
    if (!read_versions_folder())
        return false;
    read_version_file(base + L"/kestrova/version/version.txt");
    if (!scan_map_folders())
        return false;
    scan_extensions();
    scan_voices();
    return true;
}

bool XrComponentInventory::format_components(XrByteArray& out) const
{
    for (int i = 0; i < components.get_num_items(); ++i) {
        if (i > 0 && !out.append_byte(10))
            return false;
        if (!xr_format_component_version(*components.get_item(i), out))
            return false;
    }
    return true;
}
