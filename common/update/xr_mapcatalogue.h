// The installed maps: one folder per map below the card's map folder, the
// active one named with the plain prefix ("mapdata").
#pragma once

#include "common/container/xr_ptrarray.h"
#include "common/container/xr_string.h"

class XrMapEntry {
public:
    XrMapEntry(const XrString& path, bool active, const XrString& name, const XrString& guid,
               const XrString& version)
        : m_path(path), m_active(active), m_name(name), m_guid(guid), m_version(version)
    {
    }

    XrString get_path() const { return m_path; }
    bool is_active() const { return m_active; }
    void set_active(bool active) { m_active = active; }
    XrString get_name() const { return m_name; }
    XrString get_guid() const { return m_guid; }
    XrString get_version() const { return m_version; }
    // Renames the folder and takes the new path; false (unchanged) when the
    // rename fails.
    bool move_to(const XrString& path);

private:
    XrString m_path;
    bool m_active;
    XrString m_name;
    XrString m_guid;
    XrString m_version;
};

class XrMapCatalogue {
public:
    // folder ends with a separator ("/media/mmc1/map/"); prefix names the
    // map folders ("mapdata"). Scans the folder and sorts the maps by name.
    XrMapCatalogue(const XrString& folder, const XrString& prefix);
    ~XrMapCatalogue();
    XrMapCatalogue(const XrMapCatalogue&) = delete;
    XrMapCatalogue& operator=(const XrMapCatalogue&) = delete;

    int get_count() const { return m_entries.get_num_items(); }
    // Null when i is out of range.
    XrMapEntry* get_item(int i) const;
    // The first active entry, -1 / null when there is none.
    int find_active_index() const;
    XrMapEntry* get_active_entry() const;
    // Makes map index the active one by renaming folders: the active map
    // moves aside to folder + prefix + "_" + its name (+ 2 .. 99 when taken),
    // the chosen one becomes folder + prefix. Unless quiet, a failed rename
    // shows an error note.
    bool activate_map(int index, bool quiet);

    enum NameResult { NAME_OK, NO_FILE, NO_NAME };
    // The "name" of section "\general" of the folder's "mapdata.ini":
    // NO_FILE when the file cannot be opened, NO_NAME when it has no name.
    static NameResult read_map_name(const XrString& folder, XrString& name);

private:
    void scan();
    XrMapEntry* read_entry(const XrString& name, bool active) const;
    // A free name for moving the active map aside; false when none is left.
    bool find_aside_path(const XrMapEntry& entry, XrString& out) const;
    static void report_failure(bool quiet);

    XrPtrArray<XrMapEntry*> m_entries{8};
    XrString m_folder;
    XrString m_prefix;
};
