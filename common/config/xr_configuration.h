// The configuration store: a tree of keys addressed by backslash paths
// ("\settings", "\gps"; the root is the empty path), each holding an ordered
// list of named text values, with typed accessors on top.
#pragma once

#include "common/container/xr_array.h"
#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"

// Yields names one by one (sub-keys or value names).
class XrConfigurationIterator {
public:
    virtual ~XrConfigurationIterator() = default;
    // True and out filled, or false at the end.
    virtual bool get_next(XrString& out) = 0;
};

class XrConfiguration {
public:
    enum Status {
        OK = 0,
        FAILED = 1,     // no value and no default, a storage failure, or a name that cannot be stored
        READ_ONLY = 2,
        NOT_FOUND = 3,  // the key or the named value does not exist
        BAD_FORMAT = 4, // malformed REGEDIT4 text
        EXISTS = 5,     // the key to be created exists already
    };

    XrConfiguration() = default;
    virtual ~XrConfiguration();
    XrConfiguration(const XrConfiguration&) = delete;
    XrConfiguration& operator=(const XrConfiguration&) = delete;

    // Saves / restores the current key.
    virtual Status push_key();
    virtual Status pop_key();
    virtual bool get_state_flag();
    virtual const TCHAR* get_current_key();
    // An absolute path ("\a\b"; "\" alone is the root) or one relative to
    // the current key; NOT_FOUND (current key unchanged) when missing.
    virtual Status open_key(const TCHAR* path) = 0;
    // The first value of the name in the current key; default_value (may be
    // null) when there is none.
    virtual Status get_string(const TCHAR* name, XrString& out, const TCHAR* default_value = nullptr) = 0;
    // Typed reads: FAILED (not NOT_FOUND) when there is neither a value nor
    // a default. Integers: optional '-', then digits; booleans: integer != 0.
    virtual Status get_int(const TCHAR* name, int* out, const int* default_value = nullptr);
    virtual Status get_bool(const TCHAR* name, bool* out, const bool* default_value = nullptr);
    virtual Status get_double(const TCHAR* name, double* out, const double* default_value = nullptr);
    // Replaces the first value of the name or appends a new one.
    virtual Status set_string(const TCHAR* name, const TCHAR* value) = 0;
    virtual Status set_int(const TCHAR* name, int value);
    virtual Status set_bool(const TCHAR* name, bool value);
    virtual Status set_double(const TCHAR* name, double value);
    virtual Status delete_value(const TCHAR* name) = 0;
    // Creates every missing key of the path; the deepest becomes current.
    virtual Status create_key_path(const TCHAR* path);
    // Creates the sub-key name of the current key (which stays current).
    virtual Status create_key(const TCHAR* name) = 0;
    // Removes the sub-key name of the current key with all keys below it.
    virtual Status delete_key(const TCHAR* name) = 0;
    // New iterators over the current key (the caller deletes them).
    virtual XrConfigurationIterator* create_key_iterator() = 0;
    virtual XrConfigurationIterator* create_value_iterator() = 0;
    virtual Status save() = 0;

protected:
    XrArray<XrString>* m_key_stack = nullptr;
    int m_key_depth = 0;
    XrString m_current_key;
    bool m_state_flag = false;
    bool m_read_only = false;
};
