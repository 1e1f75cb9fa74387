// A configuration bound to a storage accessor (normally a file): read from
// and saved back as REGEDIT4 text.
#pragma once

#include "common/config/xr_memoryconfiguration.h"

class XrStorageAccessor;

class XrStorageConfiguration : public XrMemoryConfiguration {
public:
    // Takes ownership of the accessor.
    XrStorageConfiguration(XrStorageAccessor* accessor, const TCHAR* root);
    ~XrStorageConfiguration() override;

    // Reads the whole storage as REGEDIT4 text; FAILED when it cannot be read.
    Status open(bool read_only);
    using XrMemoryConfiguration::open;
    // Replaces the storage with the text of the store (a file through a
    // temporary file renamed over it); READ_ONLY for a read-only store,
    // FAILED when the storage cannot be written.
    Status save() override;

    XrStorageAccessor* get_storage_accessor() { return m_accessor; }

private:
    XrStorageAccessor* m_accessor;
};
