#include "tools/mapgen/unicode_binmap.h"

#include <fstream>

namespace {

void put_u16(std::vector<BYTE>& out, unsigned int v)
{
    out.push_back(static_cast<BYTE>(v & 0xFF));
    out.push_back(static_cast<BYTE>((v >> 8) & 0xFF));
}

void put_table(std::vector<BYTE>& out, const XrUnicodeEntries& table)
{
    for (const XrUnicodeUtil::Entry& e : table) {
        put_u16(out, e.c);
        put_u16(out, e.m);
    }
}

} // namespace

std::vector<BYTE> build_unicode_binmap(const XrUnicodeEntries& fold, const XrUnicodeEntries& upper,
                                       const XrUnicodeEntries& lower)
{
    std::size_t n = upper.size();
    if (lower.size() != n || fold.size() != n + XrUnicodeUtil::extra_fold_entries ||
        n >= XrUnicodeUtil::max_table_size)
        return {};
    std::vector<BYTE> out;
    out.reserve(XrUnicodeUtil::file_size(static_cast<unsigned int>(n)));
    put_u16(out, static_cast<unsigned int>(n & 0xFFFF));
    put_u16(out, static_cast<unsigned int>(n >> 16));
    put_table(out, fold);
    put_table(out, upper);
    put_table(out, lower);
    return out;
}

void built_in_unicode_tables(XrUnicodeEntries& fold, XrUnicodeEntries& upper, XrUnicodeEntries& lower)
{
    const XrUnicodeUtil::Entry* f;
    const XrUnicodeUtil::Entry* u;
    const XrUnicodeUtil::Entry* l;
    unsigned int n;
    XrUnicodeUtil::get_built_in_tables(f, u, l, n);
    fold.assign(f, f + n + XrUnicodeUtil::extra_fold_entries);
    upper.assign(u, u + n);
    lower.assign(l, l + n);
}

bool write_unicode_binmap(const std::string& path, const XrUnicodeEntries& fold, const XrUnicodeEntries& upper,
                          const XrUnicodeEntries& lower)
{
    std::vector<BYTE> bytes = build_unicode_binmap(fold, upper, lower);
    if (bytes.empty())
        return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

bool write_unicode_binmap(const std::string& path)
{
    XrUnicodeEntries fold, upper, lower;
    built_in_unicode_tables(fold, upper, lower);
    return write_unicode_binmap(path, fold, upper, lower);
}
