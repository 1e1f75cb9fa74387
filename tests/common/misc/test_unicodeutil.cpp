#include "common/misc/xr_unicodeutil.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

#include "common/container/xr_string.h"
#include "common/misc/xr_path_resolver.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/unicode_binmap.h"

namespace {

int sign(int v)
{
    return (v > 0) - (v < 0);
}

struct CompareCase {
    const wchar_t* a;
    const wchar_t* b;
    int expected_sign;
};

// A test-name-safe label of a wide text: letters and digits kept, others '_'.
std::string label(const wchar_t* s)
{
    std::string out;
    for (; *s != 0; ++s)
        out += (*s < 128 && std::isalnum(static_cast<int>(*s))) ? static_cast<char>(*s) : '_';
    return out;
}

void PrintTo(const CompareCase& c, std::ostream* os)
{
    *os << label(c.a) << "_vs_" << label(c.b);
}

class UnicodeUtilCompare : public ::testing::TestWithParam<CompareCase> {};

TEST_P(UnicodeUtilCompare, FoldedComparison)
{
    XrUnicodeUtil u;
    const CompareCase& c = GetParam();
    EXPECT_EQ(sign(u.compare(c.a, c.b)), c.expected_sign) << "a=" << (const void*)c.a;
    EXPECT_EQ(sign(u.compare(c.b, c.a)), -c.expected_sign);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnicodeUtilCompare,
    ::testing::Values(CompareCase{L"St. Peter", L"st peter", 0}, CompareCase{L"Müller-Straße", L"MULLERSTRASSE", -1},
                      CompareCase{L"Muller Strase", L"MÜLLERSTRASE", 0}, CompareCase{L"Ålesund", L"alesund", 0},
                      CompareCase{L"Łódź", L"LODZ", 0}, CompareCase{L"Øresund", L"oresund", 0},
                      CompareCase{L"Crème brûlée", L"CREME-BRULEE", 0}, CompareCase{L"Ελλάδα", L"ΕΛΛΑΔΑ", 0},
                      CompareCase{L"Ёлка", L"ЕЛКА", 0}, CompareCase{L"москва", L"МОСКВА", 0},
                      CompareCase{L"\uFEFB", L"\u0644", 0}, CompareCase{L"12", L"\u06F1\u06F2", 0},
                      CompareCase{L"\u0661\u0662", L"12", 0}, CompareCase{L"", L" .- ", 0},
                      CompareCase{L"abc", L"abd", -1}, CompareCase{L"ab", L"abc", -1},
                      CompareCase{L"Hauptstraße 5", L"Hauptstrasse 6", -1}));

TEST(UnicodeUtil, CaseMappingAndFolding)
{
    XrUnicodeUtil u;
    EXPECT_EQ(u.to_upper(L'é'), L'É');
    EXPECT_EQ(u.to_lower(L'A'), L'a');
    EXPECT_EQ(u.to_lower(L'Ω'), L'ω');
    EXPECT_EQ(u.to_upper(L'я'), L'Я');
    EXPECT_EQ(u.to_upper(L'ß'), L'ß'); // no single upper-case letter
    EXPECT_EQ(u.to_upper(L'€'), L'€'); // no entry: unchanged
    EXPECT_EQ(u.to_upper(0), 0);
    EXPECT_EQ(u.to_upper(0x10061), 0x10061); // not taken modulo 65536
    EXPECT_EQ(u.fold_char(L' '), 0);
    EXPECT_EQ(u.fold_char(L'-'), 0);
    EXPECT_EQ(u.fold_char(0), 0);
    EXPECT_EQ(u.fold_char(0x10041), 0);
    EXPECT_EQ(u.fold_char(L'ä'), L'A');
    EXPECT_EQ(u.fold_char(L'ß'), L'S');
    EXPECT_EQ(u.fold_char(L'а'), L'А');
    EXPECT_EQ(u.fold_char(L'7'), 0x06F7);
    EXPECT_EQ(u.fold_char(0xFEFB), 0x0644);
    EXPECT_TRUE(u.uses_built_in_tables());
}

TEST(UnicodeUtil, BuiltInTablesAreConsistent)
{
    const XrUnicodeUtil::Entry* fold;
    const XrUnicodeUtil::Entry* upper;
    const XrUnicodeUtil::Entry* lower;
    unsigned int n;
    XrUnicodeUtil::get_built_in_tables(fold, upper, lower, n);
    ASSERT_GT(n, 1000u);
    for (unsigned int i = 1; i < n; ++i) {
        ASSERT_LT(upper[i - 1].c, upper[i].c);
        ASSERT_LT(lower[i - 1].c, lower[i].c);
    }
    for (unsigned int i = 1; i < n + XrUnicodeUtil::extra_fold_entries; ++i)
        ASSERT_LT(fold[i - 1].c, fold[i].c);
    // Every character with a case entry folds to something.
    XrUnicodeUtil u;
    for (unsigned int i = 0; i < n; ++i)
        EXPECT_NE(u.fold_char(upper[i].c), 0) << std::hex << upper[i].c;
}

TEST(UnicodeUtil, PartialComparisons)
{
    XrUnicodeUtil u;
    EXPECT_EQ(u.compare_n(L"Hauptstraße", L"HAUPTBAHNHOF", 5), 0);
    EXPECT_GT(u.compare_n(L"Hauptstraße", L"HAUPTBAHNHOF", 6), 0); // S > B
    EXPECT_EQ(u.compare_n(L"a", L"b", 0), 0);

    XrString key(L"St-Pé");
    u.fold_string(key);
    EXPECT_EQ(key, XrString(L"STPE"));
    XrString blank(L" - ");
    u.fold_string(blank);
    EXPECT_EQ(blank.length(), 0);

    EXPECT_EQ(u.compare_prefix(L"St. Petersburg", key.c_str(), 4), 0);
    EXPECT_GT(u.compare_prefix(L"St. Petersburg", key.c_str(), 5), 0); // text goes on, key ends
    EXPECT_EQ(u.compare_prefix(L"st pe", key.c_str(), 5), 0);           // both end
    EXPECT_LT(u.compare_prefix(L"St. Pa", key.c_str(), 4), 0);

    EXPECT_EQ(u.compare_upper_n(L"straße", L"STRAßE", 10), 0);
    EXPECT_NE(u.compare_upper_n(L"strasse", L"STRAßE", 10), 0);
    EXPECT_EQ(u.compare_upper_n(L"abcx", L"ABCY", 3), 0);

    EXPECT_EQ(u.get_folded_length(L"St. Peter"), 7);
    EXPECT_EQ(u.folded_char_at(L"St. Peter", 2), L'P');
    EXPECT_EQ(u.folded_char_at(L"St. Peter", 7), 0);
    EXPECT_EQ(u.folded_char_at(L"St. Peter", -1), 0);
    const TCHAR* p = L" .a";
    EXPECT_EQ(u.next_folded(p), L'A');
    EXPECT_EQ(*p, 0);
    EXPECT_EQ(u.next_folded(p), 0);
}

TEST(UnicodeUtil, WordComparison)
{
    XrUnicodeUtil u;
    const TCHAR st_peter[] = {L'S', L'T', 1, L'P', L'E', L'T', L'E', L'R', 0};
    const TCHAR stpeter[] = {L'S', L'T', L'P', L'E', L'T', L'E', L'R', 0};
    struct {
        const wchar_t* text;
        const TCHAR* key;
        int n;
        int expected;
    } cases[] = {
        {L"St. Peter", st_peter, 9, 0},    // separator met, both end
        {L"St Peter ", st_peter, 9, 0},    // trailing separator passed over
        {L"StPeter", st_peter, 9, -42},    // key wants a separator
        {L"St. Peter", stpeter, 8, 0},     // unexpected separator passed over
        {L"  St.Peter", st_peter, 3, 0},   // leading blanks make no separator
        {L"St. Pan", st_peter, 4, 0},      // the first 4 key characters
        {L"St. Pan", st_peter, 5, L'A' - L'E'},
    };
    for (const auto& c : cases)
        EXPECT_EQ(u.compare_words(c.text, c.key, c.n), c.expected) << c.n;
}

TEST(UnicodeUtil, ArabicDetection)
{
    EXPECT_FALSE(XrUnicodeUtil::contains_arabic_characters(L"Helsinki"));
    EXPECT_TRUE(XrUnicodeUtil::contains_arabic_characters(L"x\u0627"));
    EXPECT_TRUE(XrUnicodeUtil::contains_arabic_characters(L"\u0750"));
    EXPECT_TRUE(XrUnicodeUtil::contains_arabic_characters(L"\uFB50"));
    EXPECT_TRUE(XrUnicodeUtil::contains_arabic_characters(L"\uFEFF"));
    EXPECT_FALSE(XrUnicodeUtil::contains_arabic_characters(L"\u0780\uFE00"));
}

// Tables of the file format, written by the map data writer.
class UnicodeBinmap : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_dir = root.make_dirs("/media/mmc1/map");
        card_root = from_platform_path((root_dir + "/").c_str());
        resolver = std::make_unique<XrPathResolver>(card_root.c_str());
        file = root_dir + "/mapdata/unicode.binmap";
        root.make_dirs("/media/mmc1/map/mapdata");
    }

    void write_bytes(const std::vector<BYTE>& bytes)
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    bool load(XrUnicodeUtil& u)
    {
        set_path_resolver(resolver.get());
        bool ok = u.read_table_bin(L"?:\\mapdata\\unicode.binmap");
        set_path_resolver(nullptr);
        return ok;
    }

    XrTempRoot root;
    std::string root_dir;
    XrString card_root;
    std::unique_ptr<XrPathResolver> resolver;
    std::string file;
};

TEST_F(UnicodeBinmap, BuiltInTablesRoundTrip)
{
    ASSERT_TRUE(write_unicode_binmap(file));
    XrUnicodeUtil u;
    ASSERT_TRUE(load(u));
    EXPECT_FALSE(u.uses_built_in_tables());
    unsigned int n;
    const XrUnicodeUtil::Entry *f, *up, *lo;
    XrUnicodeUtil::get_built_in_tables(f, up, lo, n);
    EXPECT_EQ(u.get_table_size(), n);
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    EXPECT_EQ(static_cast<std::size_t>(in.tellg()), XrUnicodeUtil::file_size(n));
    EXPECT_EQ(u.compare(L"St. Peter", L"st peter"), 0);
    EXPECT_EQ(u.to_upper(L'é'), L'É');
    EXPECT_EQ(u.to_lower(L'Ж'), L'ж');
    EXPECT_EQ(u.fold_char(0x1390), 0x1390);
}

TEST_F(UnicodeBinmap, OwnTablesAreUsed)
{
    // A tiny table: a and b fold to B, upper/lower swap a and b.
    XrUnicodeEntries fold = {{'a', 'B'}, {'b', 'B'}};
    for (unsigned int c = 0x1390; c < 0x139A; ++c)
        fold.push_back({static_cast<std::uint16_t>(c), static_cast<std::uint16_t>(c)});
    XrUnicodeEntries upper = {{'a', 'B'}, {'b', 'A'}};
    XrUnicodeEntries lower = {{'A', 'b'}, {'B', 'a'}};
    ASSERT_TRUE(write_unicode_binmap(file, fold, upper, lower));
    XrUnicodeUtil u;
    ASSERT_TRUE(load(u));
    EXPECT_EQ(u.get_table_size(), 2u);
    EXPECT_EQ(u.compare(L"ab", L"bb"), 0);
    EXPECT_EQ(u.compare(L"abc", L"ba"), 0); // c is not in the table: ignored
    EXPECT_EQ(u.to_upper(L'a'), L'B');
    EXPECT_EQ(u.to_lower(L'B'), L'a');
    EXPECT_EQ(u.to_upper(L'c'), L'c');
}

TEST_F(UnicodeBinmap, MalformedFileFallsBackToBuiltIn)
{
    XrUnicodeEntries fold, upper, lower;
    built_in_unicode_tables(fold, upper, lower);
    std::vector<BYTE> good = build_unicode_binmap(fold, upper, lower);
    ASSERT_FALSE(good.empty());

    std::vector<std::vector<BYTE>> bad;
    bad.push_back(std::vector<BYTE>(good.begin(), good.end() - 1));  // one byte short
    bad.push_back(good);
    bad.back().push_back(0);                                          // one byte more
    bad.push_back({});                                                // empty
    bad.push_back({1, 0});                                            // shorter than N
    bad.push_back({0xFF, 0xFF, 0, 0});                                // N = 65535
    bad.push_back({0xFF, 0xFF, 0xFF, 0xFF});                          // huge N
    std::vector<BYTE> unsorted = good;
    const std::size_t entry = xr_unicode_layout::TABLES_OFFSET + xr_unicode_layout::ENTRY_SIZE * 20;
    std::swap(unsorted[entry], unsorted[entry + xr_unicode_layout::ENTRY_SIZE]); // two fold entries swapped
    bad.push_back(unsorted);

    for (std::size_t i = 0; i < bad.size(); ++i) {
        write_bytes(bad[i]);
        XrUnicodeUtil u;
        // Load a file's tables first, so the fallback really replaces them.
        ASSERT_TRUE(u.load_table_data(good.data(), good.size()));
        EXPECT_FALSE(load(u)) << i;
        EXPECT_TRUE(u.uses_built_in_tables()) << i;
        EXPECT_EQ(u.compare(L"Müller", L"MULLER"), 0) << i;
    }
}

TEST_F(UnicodeBinmap, MissingFileUsesBuiltIn)
{
    XrUnicodeUtil u;
    EXPECT_FALSE(load(u));
    EXPECT_TRUE(u.uses_built_in_tables());
    EXPECT_EQ(u.to_upper(L'ä'), L'Ä');
}

TEST_F(UnicodeBinmap, WriterRejectsMismatchedTables)
{
    XrUnicodeEntries fold = {{'a', 'A'}};
    XrUnicodeEntries upper = {{'a', 'A'}};
    EXPECT_TRUE(build_unicode_binmap(fold, upper, upper).empty());
    EXPECT_FALSE(write_unicode_binmap(file, fold, upper, upper));
}

TEST_F(UnicodeBinmap, InstanceReadsTheMapFileOnceAResolverExists)
{
    // Own tables where 'x' upper-cases to 'Y', to see which copy is in use.
    XrUnicodeEntries fold, upper, lower;
    for (unsigned int c = 0x1390; c < 0x139A; ++c)
        fold.push_back({static_cast<std::uint16_t>(c), static_cast<std::uint16_t>(c)});
    upper.push_back({'x', 'Y'});
    lower.push_back({'Y', 'x'});
    fold.insert(fold.begin(), {'x', 'X'});
    ASSERT_TRUE(write_unicode_binmap(file, fold, upper, lower));

    XrUnicodeUtil* u = XrUnicodeUtil::get_instance();
    EXPECT_EQ(u->to_upper(L'x'), L'X'); // no resolver yet: built-in copy
    set_path_resolver(resolver.get());
    u = XrUnicodeUtil::get_instance();
    set_path_resolver(nullptr);
    EXPECT_EQ(u->to_upper(L'x'), L'Y');
    EXPECT_EQ(XrUnicodeUtil::get_instance(), u);
    u->read_table_bin(L"/nonexistent/unicode.binmap"); // back to the built-in copy for the rest
    EXPECT_EQ(u->to_upper(L'x'), L'X');
}

} // namespace
