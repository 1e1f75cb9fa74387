// The character tables of the search: folding (case, accents, punctuation
// and blanks ignored), upper case and lower case. Loaded once from the map
// data file "?:\mapdata\unicode.binmap", or taken from the copy built into
// the program when that file is missing or malformed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/container/xr_defs.h"
#include "common/misc/xr_unicodelayout.h"

class XrString;

class XrUnicodeUtil {
public:
    // One table entry: a character and its mapped character. Tables are
    // sorted by character.
    struct Entry {
        std::uint16_t c;
        std::uint16_t m;
    };

    // The folding table holds this many entries more than the case tables.
    static constexpr unsigned int extra_fold_entries = xr_unicode_layout::EXTRA_FOLD_ENTRIES;
    // The table size of a file must be below this.
    static constexpr unsigned int max_table_size = xr_unicode_layout::MAX_TABLE_SIZE;

    // Size in bytes of a table file whose case tables hold n entries each
    // (the layout is in xr_unicodelayout.h).
    static constexpr std::size_t file_size(unsigned int n) { return xr_unicode_layout::file_size(n); }

    // A set of tables on the built-in copy.
    XrUnicodeUtil();
    XrUnicodeUtil(const XrUnicodeUtil&) = delete;
    XrUnicodeUtil& operator=(const XrUnicodeUtil&) = delete;

    // The process's tables, made on first use. The map's table file is read
    // as soon as a path resolver exists; before that the built-in copy serves.
    static XrUnicodeUtil* get_instance();

    // The built-in copy (the folding table holds n + 10 entries).
    static void get_built_in_tables(const Entry*& fold, const Entry*& upper, const Entry*& lower,
                                    unsigned int& n);

    // Loads the tables of a table file (a "?:" path is resolved first). True
    // when the file's tables are in use; false when the file cannot be read
    // or is malformed: the built-in copy is then in use.
    bool read_table_bin(const TCHAR* path);
    // Loads the tables from the bytes of a table file; false (built-in copy in
    // use) when they are malformed.
    bool load_table_data(const BYTE* data, std::size_t size);
    bool uses_built_in_tables() const { return m_built_in; }
    // N: the number of entries of each case table.
    unsigned int get_table_size() const { return m_upper.n; }

    // The mapped character, or c itself when the table has no entry.
    TCHAR to_upper(TCHAR c) const { return mapped(m_upper, c, true); }
    TCHAR to_lower(TCHAR c) const { return mapped(m_lower, c, true); }
    // The folded character, or 0 when the character is ignored.
    TCHAR fold_char(TCHAR c) const { return mapped(m_fold, c, false); }

    // Advances p past ignored characters and returns the next folded
    // character (p then points behind it); 0 at the end of the text.
    TCHAR next_folded(const TCHAR*& p) const;

    // Differences of the first differing folded characters; 0 when both
    // folded sequences end together.
    int compare(const TCHAR* a, const TCHAR* b) const;
    // The same over at most n folded characters.
    int compare_n(const TCHAR* a, const TCHAR* b, int n) const;
    // The folded text against the first n characters of an already folded
    // key; 0 when they match or both end.
    int compare_prefix(const TCHAR* text, const TCHAR* folded_key, int n) const;
    // Like compare_prefix, but a run of ignored characters after a significant
    // one (and the end after one) is the separator 1 once. A 1 in the key must
    // meet such a separator (else -42); an unexpected one is passed over.
    int compare_words(const TCHAR* text, const TCHAR* folded_key, int n) const;
    // At most n characters compared through the upper-case table.
    int compare_upper_n(const TCHAR* a, const TCHAR* b, int n) const;

    // The i-th folded character (ignored characters not counted); 0 beyond.
    TCHAR folded_char_at(const TCHAR* text, int i) const;
    // The number of characters that are not ignored.
    int get_folded_length(const TCHAR* text) const;
    // Replaces the string by its folded sequence.
    void fold_string(XrString& s) const;

    static bool contains_arabic_characters(const TCHAR* text);

private:
    // Characters below this are looked up in a direct array.
    static constexpr unsigned int direct_limit = 0x500;

    struct Table {
        const Entry* entries = nullptr;
        unsigned int n = 0;
        std::uint16_t direct[direct_limit] = {};
    };

    void use_built_in();
    void use_tables(const Entry* fold, const Entry* upper, const Entry* lower, unsigned int n);
    static void set_table(Table& t, const Entry* entries, unsigned int n, bool identity);
    static const Entry* find(const Table& t, std::uint16_t c);
    static TCHAR mapped(const Table& t, TCHAR c, bool identity)
    {
        std::uint32_t u = static_cast<std::uint32_t>(c);
        if (u < direct_limit)
            return static_cast<TCHAR>(t.direct[u]);
        if (u > 0xFFFF)
            return identity ? c : 0;
        const Entry* e = find(t, static_cast<std::uint16_t>(u));
        return e != nullptr ? static_cast<TCHAR>(e->m) : (identity ? c : 0);
    }
    // The next item of the folded sequence with word separators (1).
    TCHAR next_word_item(const TCHAR*& p, bool& after_significant) const;

    Table m_fold;
    Table m_upper;
    Table m_lower;
    bool m_built_in = true;
    std::vector<Entry> m_file_entries; // the three tables of a loaded file
};
