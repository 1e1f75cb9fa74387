// Helpers of the address database tests: databases written with the
// address writer and opened over memory that counts its reads.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/addr/xr_addraccessor.h"
#include "common/addr/xr_addrlayout.h"
#include "common/container/xr_bytes.h"
#include "common/storage/xr_storageaccessor.h"
#include "tools/mapgen/addr_writer.h"

// Memory storage over a copy of the bytes that counts get_ptr calls.
class CountingAccessor : public XrMemoryStorageAccessor {
public:
    explicit CountingAccessor(const std::vector<BYTE>& bytes)
        : XrMemoryStorageAccessor(true, copy(bytes), static_cast<std::uint32_t>(bytes.size()), true)
    {
    }
    Status get_ptr(std::uint32_t offset, std::uint32_t length, const BYTE** out) override
    {
        ++reads;
        return XrMemoryStorageAccessor::get_ptr(offset, length, out);
    }
    int reads = 0;

private:
    static BYTE* copy(const std::vector<BYTE>& bytes)
    {
        BYTE* p = new BYTE[bytes.empty() ? 1 : bytes.size()];
        if (!bytes.empty())
            std::memcpy(p, bytes.data(), bytes.size());
        return p;
    }
};

inline XrAddrSegmentDef seg(std::uint32_t gid, int lf, int lt, int rf, int rt)
{
    XrAddrSegmentDef s;
    s.gid = gid;
    s.left_from = lf;
    s.left_to = lt;
    s.right_from = rf;
    s.right_to = rt;
    return s;
}

inline XrAddrSegmentDef seg_without_numbers(std::uint32_t gid)
{
    XrAddrSegmentDef s;
    s.gid = gid;
    s.numbers = false;
    return s;
}

inline XrAddrStreetDef street(const std::string& name, std::uint32_t county = 0,
                               std::vector<XrAddrSegmentDef> segments = {}, int type = 0)
{
    XrAddrStreetDef s;
    s.name = name;
    s.county = county;
    s.type = type;
    s.segments = std::move(segments);
    return s;
}

inline std::vector<BYTE> build_db(XrAddrWriter& w)
{
    std::vector<BYTE> out;
    std::string error;
    EXPECT_TRUE(w.build(out, error)) << error;
    return out;
}

// A reader opened over the bytes; counter (when given) receives its storage.
inline std::unique_ptr<XrAddrAccessor> open_db(const std::vector<BYTE>& bytes, CountingAccessor** counter = nullptr,
                                               XrAddrAccessor::Status expect = XrAddrAccessor::OK)
{
    auto a = std::make_unique<XrAddrAccessor>();
    CountingAccessor* s = new CountingAccessor(bytes);
    a->set_storage(s);
    EXPECT_EQ(a->open(), expect);
    if (counter != nullptr)
        *counter = s;
    return a;
}

inline std::wstring wstr(const XrString& s)
{
    return std::wstring(s.c_str());
}

// The names of the streets from the cursor on, up to the first status
// other than OK (returned in last).
inline std::vector<std::wstring> walk_names(XrAddrAccessor& a, XrAddrAccessor::Status* last = nullptr,
                                            int max = 100000)
{
    std::vector<std::wstring> names;
    XrAddrAccessor::Status st = XrAddrAccessor::OK;
    for (int i = 0; i < max; ++i) {
        XrString name;
        st = a.get_next_street(&name, nullptr, nullptr, nullptr, nullptr);
        if (st != XrAddrAccessor::OK)
            break;
        names.push_back(wstr(name));
    }
    if (last != nullptr)
        *last = st;
    return names;
}

struct SegmentRead {
    XrGid gid = 0;
    int lf = 0, lt = 0, rf = 0, rt = 0;
    int ltype = 0, rtype = 0;
    bool operator==(const SegmentRead&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const SegmentRead& s)
{
    return os << "{gid " << s.gid << " L " << s.lf << "-" << s.lt << "/" << s.ltype << " R " << s.rf << "-" << s.rt
              << "/" << s.rtype << "}";
}

inline std::vector<SegmentRead> read_segments(XrAddrAccessor& a, XrAddrAccessor::Status* last = nullptr)
{
    std::vector<SegmentRead> out;
    XrAddrAccessor::Status st = XrAddrAccessor::OK;
    for (int i = 0; i < 10000; ++i) {
        SegmentRead s;
        short lf, lt, rf, rt;
        XrAddrAccessor::NumType ltype, rtype;
        st = a.get_next_segment(s.gid, lf, lt, ltype, rf, rt, rtype);
        if (st != XrAddrAccessor::OK)
            break;
        s.lf = lf;
        s.lt = lt;
        s.rf = rf;
        s.rt = rt;
        s.ltype = ltype;
        s.rtype = rtype;
        out.push_back(s);
    }
    if (last != nullptr)
        *last = st;
    return out;
}

// The area offsets of a database's bytes.
struct AddrLayout {
    unsigned int version = 0, header = 0, languages = 0, counties = 0, countries = 0, blocks = 0, tree_size = 0;
    unsigned int index = 0, tree = 0, lists = 0;

    explicit AddrLayout(const std::vector<BYTE>& bytes)
    {
        using namespace xr_addr_layout;
        const BYTE* b = bytes.data();
        version = static_cast<unsigned int>(xr_bytes::get_u16_le(b + MAJOR_OFFSET)) << 16 |
                  xr_bytes::get_u16_le(b + MINOR_OFFSET);
        header = header_size(version);
        languages = version >= VERSION_6_2 ? xr_bytes::get_u16_le(b + LANGUAGE_COUNT_OFFSET) : 0;
        countries = xr_bytes::get_u32_le(b + COUNTRY_COUNT_OFFSET);
        blocks = xr_bytes::get_u32_le(b + BLOCK_COUNT_OFFSET);
        counties = xr_bytes::get_u32_le(b + COUNTY_SIZE_OFFSET);
        tree_size = xr_bytes::get_u32_le(b + TREE_SIZE_OFFSET);
        index = header + LANGUAGE_CODE_SIZE * languages + counties + COUNTRY_NAME_SIZE * countries;
        tree = index + INDEX_ENTRY_SIZE * blocks;
        lists = tree + tree_size;
    }
};
