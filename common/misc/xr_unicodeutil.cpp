#include "common/misc/xr_unicodeutil.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <memory>

#include "common/container/xr_bytes.h"
#include "common/container/xr_string.h"
#include "common/misc/xr_path_resolver.h"

namespace xr_unicode_builtin {
extern const unsigned int table_size;
extern const XrUnicodeUtil::Entry fold_table[];
extern const XrUnicodeUtil::Entry upper_table[];
extern const XrUnicodeUtil::Entry lower_table[];
} // namespace xr_unicode_builtin

namespace {

XrUnicodeUtil* g_instance = nullptr;
bool g_file_tried = false;

bool strictly_sorted(const XrUnicodeUtil::Entry* e, unsigned int n)
{
    for (unsigned int i = 1; i < n; ++i) {
        if (e[i - 1].c >= e[i].c)
            return false;
    }
    return true;
}

int diff(TCHAR a, TCHAR b)
{
    return static_cast<int>(a) - static_cast<int>(b);
}

} // namespace

XrUnicodeUtil::XrUnicodeUtil()
{
    use_built_in();
}

XrUnicodeUtil* XrUnicodeUtil::get_instance()
{
    if (g_instance == nullptr)
        g_instance = new XrUnicodeUtil();
    // The table file lies below the storage root, known once a resolver exists.
    if (!g_file_tried && get_path_resolver() != nullptr) {
        g_file_tried = true;
        g_instance->read_table_bin(L"?:\\mapdata\\unicode.binmap");
    }
    return g_instance;
}

void XrUnicodeUtil::get_built_in_tables(const Entry*& fold, const Entry*& upper, const Entry*& lower,
                                        unsigned int& n)
{
    fold = xr_unicode_builtin::fold_table;
    upper = xr_unicode_builtin::upper_table;
    lower = xr_unicode_builtin::lower_table;
    n = xr_unicode_builtin::table_size;
}

bool XrUnicodeUtil::read_table_bin(const TCHAR* path)
{
    XrString file = XrPathResolver::resolve(XrString(path));
    BYTE* data = nullptr;
    int size = 0;
    const bool read = read_whole_file(file, &data, &size, static_cast<int>(file_size(max_table_size - 1)));
    const std::unique_ptr<BYTE[]> owned(data);
    if (!read) {
        use_built_in();
        return false;
    }
    return load_table_data(owned.get(), static_cast<std::size_t>(size));
}

bool XrUnicodeUtil::load_table_data(const BYTE* data, std::size_t size)
{
    namespace L = xr_unicode_layout;
    XrByteCursor c(data, size);
    const std::uint32_t n = c.u32_le_at(L::COUNT_OFFSET);
    if (!c.ok() || n >= max_table_size || size != file_size(n)) {
        use_built_in();
        return false;
    }
    std::size_t total = 3 * static_cast<std::size_t>(n) + extra_fold_entries;
    std::vector<Entry> entries(total);
    c.seek(L::TABLES_OFFSET);
    for (std::size_t i = 0; i < total; ++i) {
        const std::uint16_t ch = c.u16_le();
        entries[i] = Entry{ch, c.u16_le()};
    }
    const Entry* fold = entries.data();
    const Entry* upper = fold + n + extra_fold_entries;
    const Entry* lower = upper + n;
    // Lookups search by character: unsorted tables would silently miss.
    if (!strictly_sorted(fold, n + extra_fold_entries) || !strictly_sorted(upper, n) ||
        !strictly_sorted(lower, n)) {
        use_built_in();
        return false;
    }
    m_file_entries.swap(entries);
    fold = m_file_entries.data();
    use_tables(fold, fold + n + extra_fold_entries, fold + 2 * n + extra_fold_entries, n);
    m_built_in = false;
    return true;
}

void XrUnicodeUtil::use_built_in()
{
    const Entry* fold;
    const Entry* upper;
    const Entry* lower;
    unsigned int n;
    get_built_in_tables(fold, upper, lower, n);
    use_tables(fold, upper, lower, n);
    m_built_in = true;
    m_file_entries.clear();
}

void XrUnicodeUtil::use_tables(const Entry* fold, const Entry* upper, const Entry* lower, unsigned int n)
{
    set_table(m_fold, fold, n + extra_fold_entries, false);
    set_table(m_upper, upper, n, true);
    set_table(m_lower, lower, n, true);
}

void XrUnicodeUtil::set_table(Table& t, const Entry* entries, unsigned int n, bool identity)
{
    t.entries = entries;
    t.n = n;
    for (unsigned int c = 0; c < direct_limit; ++c)
        t.direct[c] = identity ? static_cast<std::uint16_t>(c) : 0;
    for (unsigned int i = 0; i < n && entries[i].c < direct_limit; ++i)
        t.direct[entries[i].c] = entries[i].m;
    if (identity)
        t.direct[0] = 0;
}

const XrUnicodeUtil::Entry* XrUnicodeUtil::find(const Table& t, std::uint16_t c)
{
    const Entry* end = t.entries + t.n;
    const Entry* e = std::lower_bound(t.entries, end, c, [](const Entry& a, std::uint16_t v) { return a.c < v; });
    return (e != end && e->c == c) ? e : nullptr;
}

TCHAR XrUnicodeUtil::next_folded(const TCHAR*& p) const
{
    while (*p != 0) {
        TCHAR f = fold_char(*p++);
        if (f != 0)
            return f;
    }
    return 0;
}

int XrUnicodeUtil::compare(const TCHAR* a, const TCHAR* b) const
{
    return compare_n(a, b, INT_MAX);
}

int XrUnicodeUtil::compare_n(const TCHAR* a, const TCHAR* b, int n) const
{
    for (int i = 0; i < n; ++i) {
        TCHAR fa = next_folded(a);
        TCHAR fb = next_folded(b);
        if (fa != fb)
            return diff(fa, fb);
        if (fa == 0)
            return 0;
    }
    return 0;
}

int XrUnicodeUtil::compare_prefix(const TCHAR* text, const TCHAR* folded_key, int n) const
{
    for (int i = 0; i < n; ++i) {
        TCHAR t = next_folded(text);
        if (t != folded_key[i])
            return diff(t, folded_key[i]);
        if (t == 0)
            return 0;
    }
    return 0;
}

TCHAR XrUnicodeUtil::next_word_item(const TCHAR*& p, bool& after_significant) const
{
    if (*p == 0) {
        bool sep = after_significant;
        after_significant = false;
        return sep ? 1 : 0;
    }
    TCHAR f = fold_char(*p);
    if (f != 0) {
        ++p;
        after_significant = true;
        return f;
    }
    while (*p != 0 && fold_char(*p) == 0)
        ++p;
    if (after_significant) {
        after_significant = false;
        return 1;
    }
    return next_word_item(p, after_significant);
}

int XrUnicodeUtil::compare_words(const TCHAR* text, const TCHAR* folded_key, int n) const
{
    bool after_significant = false;
    for (int i = 0; i < n; ++i) {
        TCHAR k = folded_key[i];
        TCHAR t = next_word_item(text, after_significant);
        if (k == 1) {
            if (t != 1)
                return -42;
            continue;
        }
        if (t == 1)
            t = next_word_item(text, after_significant);
        if (t != k)
            return diff(t, k);
        if (t == 0)
            return 0;
    }
    return 0;
}

int XrUnicodeUtil::compare_upper_n(const TCHAR* a, const TCHAR* b, int n) const
{
    for (int i = 0; i < n; ++i) {
        TCHAR ca = to_upper(a[i]);
        TCHAR cb = to_upper(b[i]);
        if (ca != cb)
            return diff(ca, cb);
        if (ca == 0)
            return 0;
    }
    return 0;
}

TCHAR XrUnicodeUtil::folded_char_at(const TCHAR* text, int i) const
{
    if (i < 0)
        return 0;
    for (;;) {
        TCHAR f = next_folded(text);
        if (f == 0 || i-- == 0)
            return f;
    }
}

int XrUnicodeUtil::get_folded_length(const TCHAR* text) const
{
    int n = 0;
    while (next_folded(text) != 0)
        ++n;
    return n;
}

void XrUnicodeUtil::fold_string(XrString& s) const
{
    std::vector<TCHAR> folded;
    folded.reserve(static_cast<std::size_t>(s.length()) + 1);
    const TCHAR* p = s.c_str();
    while (TCHAR f = next_folded(p))
        folded.push_back(f);
    s.assign(folded.empty() ? nullptr : folded.data(), static_cast<int>(folded.size()));
}

bool XrUnicodeUtil::contains_arabic_characters(const TCHAR* text)
{
    for (; *text != 0; ++text) {
        std::uint32_t c = static_cast<std::uint32_t>(*text);
        if ((c >= 0x0600 && c <= 0x06FF) || (c >= 0x0750 && c <= 0x077F) || (c >= 0xFB50 && c <= 0xFDFF) ||
            (c >= 0xFE70 && c <= 0xFEFF))
            return true;
    }
    return false;
}
