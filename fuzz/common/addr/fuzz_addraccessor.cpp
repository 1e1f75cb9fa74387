// The address reader on arbitrary bytes. The first byte picks the input:
// bit 0 set, a database made here around the rest taken as its one block
// (the block is compressed here, so that the street records are what
// varies), with the version 6.0 to 6.3 from bits 1-2; bit 0 clear, the rest
// is the file itself.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/addr/xr_addraccessor.h"
#include "common/addr/xr_addrlayout.h"
#include "common/container/xr_bytes.h"
#include "common/storage/xr_storageaccessor.h"
#include "tools/mapgen/zlib_stream.h"

namespace {

namespace L = xr_addr_layout;

using Bytes = std::vector<BYTE>;

// A file of one block holding the records, a county area, two countries,
// two languages, a suffix table and a tree of one entry over the block.
Bytes wrap(const BYTE* records, size_t size, unsigned int minor)
{
    if (size > 65535)
        size = 65535;
    const Bytes block = xr_zlib_stream(Bytes(records, records + size));
    if (block.empty() || block.size() > 0xFFFF)
        return {};
    const unsigned int version = 6 << 16 | minor;
    const unsigned int header = L::header_size(version);
    const unsigned int languages = version >= L::VERSION_6_2 ? 2 : 0;
    const Bytes counties = {'A', 0, 7, 0, 'B', '#', 'C', 0, 250, 0, 0, 0};
    const unsigned int tree = header + L::LANGUAGE_CODE_SIZE * languages + counties.size() +
                              2 * L::COUNTRY_NAME_SIZE + L::INDEX_ENTRY_SIZE;
    const unsigned int tree_size = L::NODE_HEAD_SIZE + 2 * L::ENTRY_SIZE;
    const unsigned int lists = tree + tree_size;
    const unsigned int blocks = lists + 8;
    const unsigned int suffixes = blocks + static_cast<unsigned int>(block.size());

    XrByteWriter f;
    f.u32_le(L::MAGIC);
    f.u16_le(6);
    f.u16_le(static_cast<std::uint16_t>(minor));
    f.u32_le(1);
    f.u32_le(2);
    f.u32_le(1);
    f.u32_le(static_cast<std::uint32_t>(counties.size()));
    f.u32_le(tree_size);
    f.u32_le(suffixes);
    f.zeros(L::RESERVED_SIZE);
    f.u16_le(4);
    f.u16_le(static_cast<std::uint16_t>(languages));
    f.zeros(header - f.size());
    if (languages > 0) {
        f.u32_le('f' | 'i' << 8 | 'n' << 16);
        f.u32_le(0x617261);
    }
    f.bytes(counties);
    for (const char* c : {"Suomi", "Sverige"}) {
        f.bytes(c, std::strlen(c));
        f.zeros(L::COUNTRY_NAME_SIZE - std::strlen(c));
    }
    f.u16_le(static_cast<std::uint16_t>(size));
    f.u16_le(static_cast<std::uint16_t>(block.size()));
    f.u32_le(blocks | L::INDEX_LAST_BLOCK);
    // Root: "A" -> a child node, "B" -> the block's first record.
    f.u16_le(2);
    f.u16_le('A');
    f.u16_le(L::CHILD_MARK);
    f.u32_le(tree);
    f.u32_le(0);
    f.u24_le(3);
    f.u16_le('B');
    f.u32_le(0);
    f.u16_le(0);
    f.u32_le(L::NO_LIST);
    f.u24_le(1);
    // One county-id list: 0 and 1.
    f.u24_le(L::PLAIN_LIST | 2);
    f.u24_le(2);
    f.u8(0 << L::ID_TAG_BITS | L::ID_BYTE);
    f.u8(1 << L::ID_TAG_BITS | L::ID_BYTE);
    f.bytes(block);
    // Two suffix entries, each its two strings, and fourteen unused ones.
    const std::u16string suffix_texts[] = {u" Street", u"St", u" Road", u"Rd"};
    for (int i = 0; i < L::SUFFIX_ENTRIES; ++i) {
        const size_t entry = f.size();
        for (int k = 0; i < 2 && k < 2; ++k) {
            for (char16_t c : suffix_texts[2 * i + k])
                f.u16_le(c);
            f.u16_le(0);
        }
        f.zeros(entry + L::SUFFIX_ENTRY_SIZE - f.size());
    }
    return f.take();
}

void segments(XrAddrAccessor& a)
{
    for (int i = 0; i < 64; ++i) {
        XrGid gid = 0;
        short lf, lt, rf, rt;
        XrAddrAccessor::NumType ltype, rtype;
        if (a.get_next_segment(gid, lf, lt, ltype, rf, rt, rtype) != XrAddrAccessor::OK)
            break;
    }
}

void walk(XrAddrAccessor& a, const TCHAR* prefix, int limit)
{
    if (a.find_first_street(prefix, false) != XrAddrAccessor::OK)
        return;
    for (int i = 0; i < limit; ++i) {
        XrString name;
        unsigned int county = 0;
        int type = 0;
        XrGid gid = 0;
        XrLC lang = 0;
        if (a.get_next_street(&name, &county, &type, &gid, &lang) != XrAddrAccessor::OK)
            break;
        const unsigned int pos = a.get_current_position();
        segments(a);
        if (i % 3 == 0) {
            XrString again;
            a.get_street_by_gid(pos, again, nullptr, nullptr, i % 2 ? 0x617261 : 0, nullptr);
            segments(a);
            a.get_street_by_gid(gid, again, nullptr, nullptr, 0, nullptr);
            if (!a.set_current_position(pos))
                break;
            a.get_next_street(nullptr, nullptr, nullptr, nullptr, nullptr);
        }
        XrString county_name;
        a.get_county(county, county_name, nullptr, nullptr);
    }
}

void letters(XrAddrAccessor& a, const TCHAR* prefix)
{
    if (a.find_first_street(prefix, true) != XrAddrAccessor::PREFIX_AT_NODE)
        return;
    const unsigned int ids[] = {0, 1, 5, 70, 20000};
    for (int n : {0, 1, 5}) {
        XrArray<XrString> list(8);
        bool exact = false;
        unsigned int block = 0, offset = 0;
        a.get_next_letters(list, n > 0 ? ids : nullptr, n, exact, block, offset);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    Bytes file = (data[0] & 1) != 0 ? wrap(data + 1, size - 1, (data[0] >> 1) & 3) : Bytes(data + 1, data + size);
    BYTE* copy = new BYTE[file.size() + 1];
    if (!file.empty())
        std::memcpy(copy, file.data(), file.size());
    XrAddrAccessor a;
    a.set_storage(new XrMemoryStorageAccessor(true, copy, static_cast<std::uint32_t>(file.size()), true));
    if (a.open() != XrAddrAccessor::OK)
        return 0;

    walk(a, L"", 3000);
    walk(a, L"A", 50);
    walk(a, L"B\u06F1", 50);
    letters(a, L"");
    letters(a, L"A");

    for (bool window : {false, true}) {
        a.set_name_caching(window);
        unsigned int id = 0;
        for (int i = 0; i < 300; ++i) {
            XrString name;
            BYTE attribute = 0;
            if (a.get_county(id, name, &attribute, &id) != XrAddrAccessor::OK)
                break;
        }
    }
    for (unsigned int i = 0; i < a.get_country_count() && i < 64; ++i) {
        XrString name;
        a.get_country_name(i, name);
    }
    const TCHAR* const* strings = nullptr;
    const int* splits = nullptr;
    int count = 0;
    a.get_suffix_table(strings, splits, count);

    XrArray<XrAddrAccessor::XrStreetsByGidsRequest> requests(4);
    for (unsigned int gid : {0u, 3u, 0x10000u, 0u}) {
        XrAddrAccessor::XrStreetsByGidsRequest r;
        r.gid = gid;
        requests.append(r);
    }
    a.get_streets_by_gids(requests);
    a.free_memory();
    walk(a, L"B", 20);
    return 0;
}
