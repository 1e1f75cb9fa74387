// The address reader on arbitrary bytes. The first byte picks the input:
// bit 0 set, a database made here around the rest taken as its one block
// (the block is compressed here, so that the street records are what
// varies), with the version 6.0 to 6.3 from bits 1-2; bit 0 clear, the rest
// is the file itself.
#include <cstdint>
#include <cstring>
#include <vector>

#include <zlib.h>

#include "common/addr/xr_addraccessor.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

using Bytes = std::vector<BYTE>;

void put(Bytes& b, std::uint32_t v, int n)
{
    for (int i = 0; i < n; ++i)
        b.push_back(static_cast<BYTE>(v >> (8 * i)));
}

// A file of one block holding the records, a county area, two countries,
// two languages, a suffix table and a tree of one entry over the block.
Bytes wrap(const BYTE* records, size_t size, unsigned int minor)
{
    if (size > 65535)
        size = 65535;
    Bytes block(compressBound(size));
    uLongf zlen = block.size();
    if (compress(block.data(), &zlen, records, size) != Z_OK || zlen > 0xFFFF)
        return {};
    block.resize(zlen);
    const unsigned int header = minor >= 2 ? 52 : minor == 1 ? 50 : 48;
    const unsigned int languages = minor >= 2 ? 2 : 0;
    const Bytes counties = {'A', 0, 7, 0, 'B', '#', 'C', 0, 250, 0, 0, 0};
    const unsigned int tree = header + 4 * languages + counties.size() + 2 * 32 + 8;
    const unsigned int tree_size = 2 + 2 * 15;
    const unsigned int lists = tree + tree_size;
    const unsigned int blocks = lists + 8;
    const unsigned int suffixes = blocks + zlen;

    Bytes f;
    put(f, 'X' | 'R' << 8 | 'A' << 16 | 'L' << 24, 4);
    put(f, 6, 2);
    put(f, minor, 2);
    put(f, 1, 4);
    put(f, 2, 4);
    put(f, 1, 4);
    put(f, counties.size(), 4);
    put(f, tree_size, 4);
    put(f, suffixes, 4);
    put(f, 0, 4);
    put(f, 0, 4);
    put(f, 4, 2);
    put(f, languages, 2);
    f.resize(header, 0);
    if (languages > 0) {
        put(f, 'f' | 'i' << 8 | 'n' << 16, 4);
        put(f, 0x617261, 4);
    }
    f.insert(f.end(), counties.begin(), counties.end());
    for (const char* c : {"Suomi", "Sverige"}) {
        Bytes field(32, 0);
        std::memcpy(field.data(), c, std::strlen(c));
        f.insert(f.end(), field.begin(), field.end());
    }
    put(f, size, 2);
    put(f, zlen, 2);
    put(f, blocks | 0x80000000u, 4);
    // Root: "A" -> a child node, "B" -> the block's first record.
    put(f, 2, 2);
    put(f, 'A', 2);
    put(f, 0xFFFF, 2);
    put(f, tree, 4);
    put(f, 0, 4);
    put(f, 3, 3);
    put(f, 'B', 2);
    put(f, 0, 4);
    put(f, 0, 2);
    put(f, 0xFFFFFFFF, 4);
    put(f, 1, 3);
    // One county-id list: 0 and 1.
    put(f, 0x800000 | 2, 3);
    put(f, 2, 3);
    put(f, 0 << 2 | 1, 1);
    put(f, 1 << 2 | 1, 1);
    f.insert(f.end(), block.begin(), block.end());
    Bytes table(640, 0);
    const char16_t* entries[] = {u" Street\0St", u" Road\0Rd"};
    const size_t units[] = {10, 8};
    for (int i = 0; i < 2; ++i)
        std::memcpy(table.data() + 40 * i, entries[i], 2 * units[i]);
    f.insert(f.end(), table.begin(), table.end());
    return f;
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
