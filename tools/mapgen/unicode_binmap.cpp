#include "tools/mapgen/unicode_binmap.h"

#include "common/container/xr_bytes.h"
#include "tools/mapgen/geom_tree.h"

namespace {

void put_table(XrByteWriter& out, const XrUnicodeEntries& table)
{
    for (const XrUnicodeUtil::Entry& e : table) {
        out.u16_le(e.c);
        out.u16_le(e.m);
    }
}

} // namespace

std::vector<BYTE> build_unicode_binmap(const XrUnicodeEntries& fold, const XrUnicodeEntries& upper,
                                       const XrUnicodeEntries& lower)
{
    namespace L = xr_unicode_layout;
    std::size_t n = upper.size();
    if (lower.size() != n || fold.size() != n + L::EXTRA_FOLD_ENTRIES || n >= L::MAX_TABLE_SIZE)
        return {};
    XrByteWriter out;
    out.bytes().reserve(L::file_size(static_cast<unsigned int>(n)));
    out.u32_le(static_cast<std::uint32_t>(n));
    put_table(out, fold);
    put_table(out, upper);
    put_table(out, lower);
    return out.take();
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
    std::string error;
    return !bytes.empty() && xr_write_file_atomic(path, bytes, error);
}

std::vector<BYTE> built_in_unicode_binmap()
{
    XrUnicodeEntries fold, upper, lower;
    built_in_unicode_tables(fold, upper, lower);
    return build_unicode_binmap(fold, upper, lower);
}

bool write_unicode_binmap(const std::string& path)
{
    const std::vector<BYTE> bytes = built_in_unicode_binmap();
    std::string error;
    return !bytes.empty() && xr_write_file_atomic(path, bytes, error);
}
