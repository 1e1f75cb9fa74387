// The address database's name tree: a walk by folded prefix to the first
// street under it, the county-id lists of the entries, and the letters that
// can follow a prefix.
#include <algorithm>
#include <cwchar>
#include <new>
#include <vector>

#include "common/addr/xr_addraccessor.h"
#include "common/container/xr_bytearray.h"
#include "common/container/xr_bytes.h"

namespace L = xr_addr_layout;

namespace {

// Bound of the walks over tree levels that bad data could make endless.
constexpr int MAX_TREE_DEPTH = 1024;
constexpr int CONTINUATION_THRESHOLD = 30;
// Tree entries the continuations of one get_next_letters call may read; a
// real tree needs a few thousand. Past it the letters stand alone.
constexpr long CONTINUATION_BUDGET = 1L << 18;

unsigned int tree_key(TCHAR c)
{
    if (c >= L'0' && c <= L'9')
        return L::DIGIT_KEY + (c - L'0');
    if (c >= 0x06F0 && c <= 0x06F9)
        return L::DIGIT_KEY + (c - 0x06F0);
    return static_cast<unsigned int>(c);
}

TCHAR key_letter(unsigned int key)
{
    if (key >= L::DIGIT_KEY && key < L::DIGIT_KEY + 10)
        return static_cast<TCHAR>(L'0' + (key - L::DIGIT_KEY));
    return static_cast<TCHAR>(key);
}

} // namespace

bool XrAddrAccessor::read_node(std::uint64_t node, XrArray<TreeEntry>& entries)
{
    entries.remove_all();
    const std::uint64_t tree_end = m_tree_area + m_tree_size;
    if (node < m_tree_area || node + L::NODE_HEAD_SIZE > tree_end)
        return false;
    unsigned int n = 0;
    {
        HeldBytes h = read_bytes(node, L::NODE_HEAD_SIZE);
        if (h == nullptr)
            return false;
        n = xr_bytes::get_u16_le(h.get());
    }
    if (node + L::NODE_HEAD_SIZE + static_cast<std::uint64_t>(L::ENTRY_SIZE) * n > tree_end)
        return false;
    if (n == 0)
        return true;
    HeldBytes p = read_bytes(node + L::NODE_HEAD_SIZE, L::ENTRY_SIZE * n);
    if (p == nullptr)
        return false;
    for (unsigned int i = 0; i < n; ++i) {
        const BYTE* e = p.get() + L::ENTRY_SIZE * i;
        TreeEntry t;
        t.key = xr_bytes::get_u16_le(e + L::ENTRY_KEY);
        if (xr_bytes::get_u16_le(e + L::ENTRY_CHILD_MARK) == L::CHILD_MARK) {
            t.child = true;
            t.child_node = xr_bytes::get_u32_le(e + L::ENTRY_CHILD);
        } else {
            t.block = xr_bytes::get_u32_le(e + L::ENTRY_BLOCK);
            t.offset = xr_bytes::get_u16_le(e + L::ENTRY_OFFSET);
        }
        t.cid_list = xr_bytes::get_u32_le(e + L::ENTRY_LIST);
        // A signed 24-bit count.
        t.count = static_cast<int>(xr_bytes::get_u24_le(e + L::ENTRY_COUNT) << 8) >> 8;
        entries.append(t);
    }
    return true;
}

XrAddrAccessor::Status XrAddrAccessor::find_first_street(const TCHAR* prefix, bool stop_at_node)
{
    m_current_node = 0;
    set_end_state();
    if (m_storage == nullptr || m_tree_area == 0)
        return FAILED;
    const int len = prefix != nullptr ? static_cast<int>(std::wcslen(prefix)) : 0;
    std::uint64_t node = m_tree_area;
    for (int depth = 0; depth < MAX_TREE_DEPTH; ++depth) {
        if (depth >= len && stop_at_node) {
            m_current_node = node;
            return PREFIX_AT_NODE;
        }
        const unsigned int ch = depth < len ? tree_key(prefix[depth]) : 0;
        if (!read_node(node, m_entries))
            return FAILED;
        const TreeEntry* taken = nullptr;
        for (int i = 0; i < m_entries.get_num_items(); ++i) {
            const TreeEntry* e = m_entries.get_item_ptr(i);
            if (e->key < ch)
                continue;
            if (e->key == ch || ch == 0)
                taken = e;
            break;
        }
        if (taken == nullptr)
            return OK;
        if (!taken->child)
            return seek_block(taken->block, taken->offset);
        node = taken->child_node;
    }
    return FAILED;
}

XrAddrAccessor::Status XrAddrAccessor::find_first_street(const TCHAR* prefix, TCHAR ch)
{
    XrString extended(prefix != nullptr ? prefix : L"");
    extended += ch;
    return find_first_street(extended.c_str(), false);
}

bool XrAddrAccessor::read_cid_list(unsigned int offset, XrArray<unsigned int>& ids)
{
    ids.remove_all();
    const std::uint64_t at = m_cid_area + offset;
    std::uint32_t head = 0;
    std::uint32_t second = 0;
    {
        HeldBytes h = read_bytes(at, L::LIST_HEAD_SIZE);
        if (h == nullptr)
            return false;
        head = xr_bytes::get_u24_le(h.get());
        second = xr_bytes::get_u24_le(h.get() + 3);
    }

    unsigned int count = 0;
    HeldBytes plain;
    std::unique_ptr<BYTE[]> inflated;
    const BYTE* items = nullptr;
    unsigned int size = 0;
    if ((head & L::PLAIN_LIST) != 0) {
        // Plain: size, count, ids.
        count = second;
        size = head & L::LIST_SIZE_MASK;
        if (size > 0)
            plain = read_bytes(at + L::LIST_HEAD_SIZE, size);
        if (plain == nullptr)
            return false;
        items = plain.get();
    } else {
        // Compressed: stored size, inflated size, count, stream.
        {
            HeldBytes c = read_bytes(at + L::LIST_HEAD_SIZE, 3);
            if (c == nullptr)
                return false;
            count = xr_bytes::get_u24_le(c.get());
        }
        HeldBytes z;
        if (head > 0)
            z = read_bytes(at + L::PACKED_LIST_HEAD_SIZE, head);
        if (z == nullptr || second == 0)
            return false;
        inflated.reset(new (std::nothrow) BYTE[second]);
        int produced = static_cast<int>(second);
        if (inflated == nullptr ||
            !zlib_uncompress_whole(z.get(), static_cast<int>(head), inflated.get(), produced))
            return false;
        size = static_cast<unsigned int>(produced);
        items = inflated.get();
    }
    // Every id takes at least one byte.
    if (count == 0 || count > size)
        return false;
    XrByteCursor c(items, size);
    unsigned int value = 0;
    for (unsigned int k = 0; k < count; ++k) {
        if (c.at_end())
            return false;
        switch (*c.here() & ((1u << L::ID_TAG_BITS) - 1)) {
        case L::ID_BYTE:
            value += c.u8() >> L::ID_TAG_BITS;
            break;
        case L::ID_WORD:
            value += c.u16_le() >> L::ID_TAG_BITS;
            break;
        case L::ID_ABSOLUTE:
            value = c.u24_le() >> L::ID_TAG_BITS;
            break;
        default:
            return false;
        }
        if (!c.ok())
            return false;
        ids.append(value);
    }
    return true;
}

bool XrAddrAccessor::check_cids(const TreeEntry& e, const unsigned int* county_ids, int n, bool& match)
{
    match = true;
    if (county_ids == nullptr || n <= 0 || e.cid_list == L::NO_LIST)
        return true;
    XrArray<unsigned int> list(16);
    if (!read_cid_list(e.cid_list, list))
        return false;
    const unsigned int* a = list.get_items();
    const int na = list.get_num_items();
    const unsigned int* b = county_ids;
    // Both lists ascend: each side's next id is searched in the other.
    int i = 0, j = 0;
    match = false;
    while (i < na && j < n) {
        j = static_cast<int>(std::lower_bound(b + j, b + n, a[i]) - b);
        if (j == n)
            break;
        if (b[j] == a[i]) {
            match = true;
            break;
        }
        i = static_cast<int>(std::lower_bound(a + i, a + na, b[j]) - a);
        if (i < na && a[i] == b[j]) {
            match = true;
            break;
        }
    }
    return true;
}

void XrAddrAccessor::store_continuation(const XrString& text, XrArray<XrString>& list, int& stores)
{
    if (stores < 2 || list.get_num_items() == 0)
        list.append(text);
    else
        *list.get_item_ptr(list.get_num_items() - 1) = text;
    ++stores;
}

void XrAddrAccessor::predict_continuation(std::uint64_t node, XrString text, int threshold, XrArray<XrString>& list,
                                          long& budget)
{
    int stores = 0;
    XrArray<TreeEntry> entries(16);
    // The nodes of this walk: one met again closes a cycle in bad data.
    std::vector<std::uint64_t> path;
    for (int depth = 0; depth < MAX_TREE_DEPTH; ++depth) {
        if (budget <= 0 || std::find(path.begin(), path.end(), node) != path.end())
            break;
        path.push_back(node);
        if (!read_node(node, entries))
            break;
        budget -= entries.get_num_items() + 1;
        long long total = 0;
        int best = -1;
        for (int i = 0; i < entries.get_num_items(); ++i) {
            const int c = entries.get_item_ptr(i)->count;
            if (c <= 0)
                continue;
            total += c;
            if (best < 0 || c > entries.get_item_ptr(best)->count)
                best = i;
        }
        if (best < 0)
            break;
        const TreeEntry e = *entries.get_item_ptr(best);
        const bool all = e.count == total;
        if (!e.child) {
            if (all && e.key != 0)
                text += key_letter(e.key);
            break;
        }
        if (!all) {
            store_continuation(text, list, stores);
            if (e.count * 100LL / total < threshold)
                return;
            threshold += (100 - threshold) / 2;
        }
        if (e.key != 0)
            text += key_letter(e.key);
        node = e.child_node;
    }
    store_continuation(text, list, stores);
}

XrAddrAccessor::Status XrAddrAccessor::get_next_letters(XrArray<XrString>& list, const unsigned int* county_ids,
                                                        int n, bool& exact, unsigned int& block, unsigned int& offset)
{
    exact = false;
    if (m_current_node == 0)
        return FAILED;
    XrArray<TreeEntry> entries(16);
    if (!read_node(m_current_node, entries))
        return FAILED;
    const bool any_county = county_ids == nullptr || n <= 0;
    long budget = CONTINUATION_BUDGET;
    for (int i = 0; i < entries.get_num_items(); ++i) {
        const TreeEntry e = *entries.get_item_ptr(i);
        if (e.key == 0) {
            if (!e.child) {
                exact = true;
                block = e.block;
                offset = e.offset;
            }
            continue;
        }
        bool match = true;
        if (!check_cids(e, county_ids, n, match))
            return FAILED;
        if (!match)
            continue;
        XrString letter;
        letter += key_letter(e.key);
        if (e.child && any_county && budget > 0)
            predict_continuation(e.child_node, letter, CONTINUATION_THRESHOLD, list, budget);
        else
            list.append(letter);
    }
    return OK;
}
