// A configuration held in memory, filled from REGEDIT4 text:
//   REGEDIT4
//   [\settings]
//   name=value
// Lines end at CR or LF; '#' starts a comment line. Values are trimmed, then
// the escapes \n, \t, \r and \\ are resolved (a backslash before any other
// character drops both), then one leading and one trailing double quote
// are removed.
#pragma once

#include <cstddef>

#include "common/config/xr_configuration.h"
#include "common/container/xr_hash.h"
#include "common/container/xr_simplearray.h"

class XrByteArray;

class XrMemoryConfiguration : public XrConfiguration {
public:
    struct XrValueEntry {
        XrString name;
        XrString value;
    };
    typedef XrSimpleArray<XrValueEntry> XrValueList;
    typedef XrHash<XrString, XrValueList*> XrKeyTable;

    // root: text that every key line starts with (normally empty).
    explicit XrMemoryConfiguration(const TCHAR* root);
    ~XrMemoryConfiguration() override;

    // Adds the keys and values of REGEDIT4 text to the store; BAD_FORMAT at
    // the first malformed line (what was read before stays). The read-only
    // flag is set from the argument.
    Status open(const BYTE* data, std::size_t size, bool read_only);

    Status open_key(const TCHAR* path) override;
    Status get_string(const TCHAR* name, XrString& out, const TCHAR* default_value = nullptr) override;
    using XrConfiguration::get_bool;
    using XrConfiguration::get_double;
    using XrConfiguration::get_int;
    // FAILED for a name that a saved file could not give back: one with a
    // line break or '=', blanks at either end, or a leading '#' or '['.
    Status set_string(const TCHAR* name, const TCHAR* value) override;
    Status delete_value(const TCHAR* name) override;
    // FAILED for a name with a line break.
    Status create_key(const TCHAR* name) override;
    Status delete_key(const TCHAR* name) override;
    XrConfigurationIterator* create_key_iterator() override;
    XrConfigurationIterator* create_value_iterator() override;
    // Nothing to write for a store in memory.
    Status save() override;

protected:
    // Appends the REGEDIT4 text of the whole store: UTF-8, values escaped
    // (and quoted where a blank or a quote stands at an end) so that they
    // read back unchanged. False when the array cannot grow.
    bool write_text(XrByteArray& out);

private:
    XrValueList* find_list(const XrString& path) const;
    XrValueList* add_key(const XrString& path);
    Status parse_line(const TCHAR* line, int length, XrValueList*& current);

    XrString m_root;
    XrKeyTable* m_keys;
};

// Iterators hold a copy of the names they yield, taken at creation.
class XrConfigurationNameIterator : public XrConfigurationIterator {
public:
    bool get_next(XrString& out) override;

protected:
    XrConfigurationNameIterator() : m_names(8, 0) {}
    XrArray<XrString> m_names;
    int m_next = 0;
};

// The names of the direct sub-keys of a key, in table order.
class XrMemoryConfigurationKeyIterator : public XrConfigurationNameIterator {
public:
    XrMemoryConfigurationKeyIterator(XrMemoryConfiguration::XrKeyTable& keys, const XrString& path);
};

// The value names of a key (null: none), in list order.
class XrMemoryConfigurationValueIterator : public XrConfigurationNameIterator {
public:
    explicit XrMemoryConfigurationValueIterator(const XrMemoryConfiguration::XrValueList* list);
};
