// Registered services that keep persistent settings, and the common part of
// those kept in a REGEDIT4 file: a table of free-form text values by key that
// carries every value of the "\settings" section, so that keys this version
// does not know survive a save.
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_hash.h"
#include "common/container/xr_string.h"

class XrConfiguration;

class XrSettingsProvider : public XrSingleton {
public:
    ~XrSettingsProvider() override = default;
    // Writes the provider's file and, unless silent, tells the listeners;
    // true when the file was written.
    virtual bool save(bool silent) = 0;
};

class XrFileSettingsProvider : public XrSettingsProvider {
public:
    XrFileSettingsProvider() : values(10, false, 80) {}
    ~XrFileSettingsProvider() override = default;

    // Stores every pair of the table into the configuration's current key.
    virtual bool write_to(XrConfiguration& config);
    // The stored value; an absent key first gets the default (so that a
    // later save writes it).
    virtual XrString get_string(const XrString& key, const XrString& default_value);
    // get_string of the decimal default, read as an optional '-' and digits
    // (0 for a text without digits).
    virtual int get_int(const XrString& key, int default_value);
    // Replaces the key's value; listeners are not told.
    virtual bool set_string(const XrString& key, const XrString& value);
    virtual bool set_int(const XrString& key, int value);

    // Copies every value of the configuration's current key into the table.
    bool load_values(XrConfiguration& config);

protected:
    XrHash<XrString, XrString> values;
};
