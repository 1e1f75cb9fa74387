// The "version.txt" description of an installed content folder: lines of a
// key, a colon and a value ("GUID", "Map version", "Title", "Language").
#pragma once

#include "common/container/xr_defs.h"
#include "common/container/xr_ptrarray.h"
#include "common/container/xr_string.h"

class XrVersionFile {
public:
    XrVersionFile() = default;
    ~XrVersionFile();
    XrVersionFile(const XrVersionFile&) = delete;
    XrVersionFile& operator=(const XrVersionFile&) = delete;

    // Reads and parses the file; false when it cannot be read.
    bool load(const XrString& path);
    // Bytes widened one by one; lines split at line feeds, each at ':' (a
    // value ends at a second ':'); blanks around key and value are trimmed.
    // Lines without ':' are ignored.
    void parse(const BYTE* data, int length);
    // The value of the first line with the key; empty when there is none.
    XrString get(const TCHAR* key) const;
    int get_count() const { return m_entries.get_num_items(); }

private:
    struct Entry {
        XrString key;
        XrString value;
    };
    void clear();

    XrPtrArray<Entry*> m_entries{8};
};
