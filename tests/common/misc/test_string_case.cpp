// Case mapping and case-insensitive comparison of XrString and the wide
// text functions, through the Unicode tables.
#include "common/container/xr_string.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int sign(int v)
{
    return (v > 0) - (v < 0);
}

std::wstring str(const XrString& s)
{
    return std::wstring(s.c_str());
}

} // namespace

TEST(WideText, CaseInsensitiveCompare)
{
    struct Case {
        const TCHAR* a;
        const TCHAR* b;
        int sign;
    };
    const Case cases[] = {
        {L"\u00C9", L"E", 0}, // É and E
        {L"hello", L"HELLO", 0},
        {L"Caf\u00C9", L"CAFE", 0},
        {L"a", L"b", -1},
        {L"ab", L"a", 1},
        {L"a", L"ab", -1},
        {L"\u00C5", L"Z", 1},   // Å sorts behind Z
        {L"\u0141", L"A", 1},   // Ł is not a folded A
        {L"A\u0100", L"A", 1},  // a wide character never folds to the terminator
        {L"", L"", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(wide_stricmp(c.a, c.b)), c.sign) << "stricmp " << c.a << " / " << c.b;
        EXPECT_EQ(sign(wide_stricmp(c.b, c.a)), -c.sign) << "stricmp " << c.b << " / " << c.a;
    }
    EXPECT_EQ(wide_stricmp(L"a", L"B"), 'A' - 'B');
    EXPECT_EQ(wide_strnicmp(L"abcX", L"ABCy", 3), 0);
    EXPECT_NE(wide_strnicmp(L"abcX", L"ABCy", 4), 0);
}

TEST(WideText, CaseMapping)
{
    EXPECT_EQ(to_upper_char(L'a'), L'A');
    EXPECT_EQ(to_upper_char(L'Z'), L'Z');
    EXPECT_EQ(to_upper_char(L'1'), L'1');
    EXPECT_EQ(to_lower_char(L'Q'), L'q');
    EXPECT_EQ(to_lower_char(0x1F600), 0x1F600);
    TCHAR buf[] = L"MiXeD 42";
    EXPECT_EQ(wide_strupr(buf), buf);
    EXPECT_EQ(std::wstring(buf), L"MIXED 42");
    wide_strlwr(buf);
    EXPECT_EQ(std::wstring(buf), L"mixed 42");
}

TEST(WideText, CaseMappingGoesThroughTheUnicodeTables)
{
    EXPECT_EQ(to_upper_char(L'\u00e9'), L'\u00c9');
    EXPECT_EQ(to_lower_char(L'\u0416'), L'\u0436');
    EXPECT_EQ(to_upper_char(L'a'), L'A');
    EXPECT_EQ(to_upper_char(L'1'), L'1');
    XrString s(L"stra\u00dfe \u00e9t\u00e9");
    s.to_upper();
    EXPECT_EQ(s, L"STRA\u00dfE \u00c9T\u00c9");
    EXPECT_EQ(wide_stricmp(L"\u00e9cole", L"\u00c9COLE"), 0);
}

TEST(XrString, CaseMapping)
{
    XrString s(L"Hello, World 1\u00E9");
    s.to_upper();
    EXPECT_EQ(str(s), L"HELLO, WORLD 1\u00C9");
    s.to_lower();
    EXPECT_EQ(str(s), L"hello, world 1\u00E9");
    XrString null;
    null.to_upper();
    EXPECT_EQ(null.length(), 0);
}
