// The list of installed components of a memory card, rebuilt from the version
// files and the map, voice and extension folders below the card's map root,
// as reported to the update server ("components").
#pragma once

#include "common/container/xr_bytearray.h"
#include "common/container/xr_ptrarray.h"
#include "common/container/xr_string.h"
#include "common/update/xr_keyvalue.h"

// One installed component: identifier (at most 63 bytes) and version a.b.c.d.
struct XrComponent : XrComponentVersion {};

// The maker's catalogue tables the pass consults; every table may be empty.
struct XrInventoryTables {
    struct RootPrefix {
        const char* identifier;
        const TCHAR* prefix;       // below the card root, "" or ending with a separator
        const TCHAR* version_file; // relative to card root + prefix
    };
    struct PartnerExtension {
        const TCHAR* file_name; // a ".nce" file
        const char* identifier;
    };
    struct Voice {
        const TCHAR* language_folder; // "sound_cze"
        const TCHAR* voice_folder;
        const char* identifier;
    };
    struct MapRegion {
        const TCHAR* map_name; // the "name" of a map's "mapdata.ini"
        const char* identifier;
    };
    const RootPrefix* root_prefixes = nullptr;
    int num_root_prefixes = 0;
    const PartnerExtension* partner_extensions = nullptr;
    int num_partner_extensions = 0;
    const Voice* voices = nullptr;
    int num_voices = 0;
    const MapRegion* map_regions = nullptr;
    int num_map_regions = 0;
};

class XrComponentInventory {
public:
    // tables is not copied and must outlive the inventory.
    explicit XrComponentInventory(const XrInventoryTables& tables);
    virtual ~XrComponentInventory();
    XrComponentInventory(const XrComponentInventory&) = delete;
    XrComponentInventory& operator=(const XrComponentInventory&) = delete;

    // Adds the component, or replaces an entry of the same identifier (8-bit
    // text, ignoring case and accents) whose version is lower; an entry with
    // an equal or higher version is kept. False only when out of memory.
    bool register_component(const char* identifier, unsigned a, unsigned b, unsigned c, unsigned d);
    // A key-value file with "Version" (a.b.c.d) and "GUID": registers it.
    // False when the file, a key or the version form is missing.
    bool read_version_file(const XrString& path);
    // Rebuilds the list from the card root (ending with a separator); false
    // when a step fails. Renames map folders to "mapdata_" + their name.
    bool build_inventory(const XrString& card_root);

    const XrPtrArray<XrComponent*>& get_components() const { return components; }
    // The components as "name|a.b.c.d" lines joined by line feeds.
    bool format_components(XrByteArray& out) const;
    const XrString& get_old_root_prefix() const { return old_root_prefix; }
    const XrString& get_active_mapdata_name() const { return active_mapdata_name; }

protected:
    // Status texts of the pass ("DEBUG: Failed to rename mapdata ...").
    virtual void report_status(const XrString& text);

private:
    void clear_components();
    void find_root_prefix(const XrString& card_root);
    bool read_versions_folder();
    bool scan_map_folders();
    bool scan_map_folder(const XrString& folder);
    void register_map_region(const XrString& folder, const XrString& name);
    void scan_extensions();
    void scan_voices();

    const XrInventoryTables& m_tables;
    XrPtrArray<XrComponent*> components{8};
    XrString old_root_prefix;
    XrString base;
    XrString active_mapdata_name;
};
