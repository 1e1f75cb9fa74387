// REGEDIT4 files of the providers: opened (or made, with their folder) and
// parsed into a configuration that save() writes back whole through a
// temporary file; typed reads that tell whether the value was there.
#pragma once

#include <memory>

#include "common/config/xr_storageconfiguration.h"
#include "common/container/xr_string.h"

// The parsed file at a resolved path; null when it can be neither opened nor
// created, or its text is not REGEDIT4.
std::unique_ptr<XrStorageConfiguration> open_settings_file(const XrString& path, bool read_only);

// Reads of the current key: true and the value stored when the name is
// there; false and the value untouched otherwise.
bool read_setting(XrConfiguration& c, const TCHAR* name, int& value);
bool read_setting(XrConfiguration& c, const TCHAR* name, bool& value);
bool read_setting(XrConfiguration& c, const TCHAR* name, XrString& value);
