// 16-byte identifiers of user records, made by hashing with MD5.
#pragma once

#include "common/container/xr_string.h"
#include "common/misc/xr_md5.h"

class XrUid {
public:
    XrUid() { clear(); }

    void clear();
    // True when any byte is non-zero (all zero means "not set").
    bool is_set() const;
    void set(const BYTE bytes[16]);
    void get(BYTE bytes[16]) const;

    bool operator==(const XrUid& o) const;
    bool operator!=(const XrUid& o) const { return !(*this == o); }

private:
    BYTE m_bytes[16];
};

// Makes an identifier from the MD5 of the start time and whatever the caller
// adds. The start state mixes the millisecond tick count, the wall clock,
// the process id and a per-process counter, so generators never repeat an
// identifier across runs or within one millisecond.
class XrUidGenerator {
public:
    XrUidGenerator();

    // The 4 bytes of an integer in memory order.
    void add_int(int value);
    // The characters of the text, 4 bytes each in memory order, no terminator.
    void add_string(const XrString& text);
    // Finishes the digest into uid; the generator is spent afterwards.
    void get_uid(XrUid& uid);

private:
    void add_bytes(const void* data, std::size_t size);

    XrMD5Context m_ctx;
};
