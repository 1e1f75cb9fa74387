#include "common/container/xr_string.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>

namespace {

int lc(const char* code)
{
    return code[0] | (code[1] << 8) | (code[2] << 16);
}

} // namespace

TEST(WideText, Compare)
{
    EXPECT_EQ(wide_strcmp(L"abc", L"abc"), 0);
    EXPECT_EQ(wide_strcmp(L"abc", L"abd"), -1);
    EXPECT_EQ(wide_strcmp(L"ab", L"abc"), -L'c');
    EXPECT_EQ(wide_strcmp(L"\u20AC", L"a"), 0x20AC - L'a');
    EXPECT_EQ(wide_strncmp(L"abcx", L"abcy", 3), 0);
    EXPECT_EQ(wide_strncmp(L"abcx", L"abcy", 4), -1);
    EXPECT_EQ(wide_strncmp(L"a", L"b", 0), 0);
}

TEST(WideText, NarrowFoldedCompare)
{
    EXPECT_EQ(narrow_strcmp_folded("\xE9" "a", "eb"), 0); // decided at the first difference
    EXPECT_EQ(narrow_strcmp_folded("abc", "abc"), 0);
    EXPECT_EQ(narrow_strcmp_folded("a", "b"), -1);
    EXPECT_EQ(narrow_strcmp_folded("\xC5", "Z"), 1);
    EXPECT_EQ(narrow_strcmp_folded("ab", "abc"), -'c');
    EXPECT_EQ(narrow_strncmp_folded("abx", "aby", 2), 0);
    EXPECT_EQ(narrow_strncmp_folded("abx", "aby", 3), -1);
}

TEST(WideText, SortFold)
{
    struct Case {
        int from, to, folded;
    };
    const Case cases[] = {
        {0xC0, 0xC3, 'A'}, {0xC4, 0xC4, 92},   {0xC5, 0xC5, 91},   {0xC6, 0xC6, 94},   {0xC7, 0xC7, 0xC7},
        {0xC8, 0xCB, 'E'}, {0xCC, 0xCF, 'I'},  {0xD0, 0xD1, -1},   {0xD2, 0xD5, 'O'},  {0xD6, 0xD6, 93},
        {0xD7, 0xD7, -1},  {0xD8, 0xD8, 95},   {0xD9, 0xDC, 'U'},  {0xDD, 0xDD, 'Y'},  {0xDE, 0xDF, -1},
        {0xE0, 0xE3, 'a'}, {0xE4, 0xE4, 124},  {0xE5, 0xE5, 123},  {0xE6, 0xE6, 126},  {0xE7, 0xE7, -1},
        {0xE8, 0xEB, 'e'}, {0xEC, 0xEF, 'i'},  {0xF0, 0xF1, -1},   {0xF2, 0xF5, 'o'},  {0xF6, 0xF6, 125},
        {0xF7, 0xF7, -1},  {0xF8, 0xF8, 127},  {0xF9, 0xFC, 'u'},  {0xFD, 0xFD, 'y'},  {0xFE, 0xFE, -1},
        {0xFF, 0xFF, 'y'}, {0xB0, 0xB0, 129},  {0x00, 0xAF, -1},   {0xB1, 0xBF, -1},   {0x100, 0x300, -1},
    };
    // -1: unchanged
    for (const Case& c : cases)
        for (int ch = c.from; ch <= c.to; ++ch)
            EXPECT_EQ(sort_fold_char(ch), c.folded < 0 ? ch : c.folded) << std::hex << ch;
}

TEST(WideText, Search)
{
    const TCHAR* s = L"abcabc";
    EXPECT_EQ(wide_strchr(s, L'b'), s + 1);
    EXPECT_EQ(wide_strrchr(s, L'b'), s + 4);
    EXPECT_EQ(wide_strchr(s, L'x'), nullptr);
    EXPECT_EQ(wide_strrchr(s, L'x'), nullptr);
    EXPECT_EQ(wide_strstr(s, L"ca"), s + 2);
    EXPECT_EQ(wide_strstr(s, L"cb"), nullptr);
    EXPECT_EQ(wide_strrstr(s, L"bc"), s + 4);
    EXPECT_EQ(wide_strrstr(s, L"abca"), s);
    EXPECT_EQ(wide_strrstr(s, L"x"), nullptr);
    const TCHAR* aaa = L"aaa";
    EXPECT_EQ(wide_strrstr(aaa, L"aa"), aaa + 1);
    EXPECT_EQ(wide_strpbrk(s, L"xc"), s + 2);
    EXPECT_EQ(wide_strpbrk(s, L"xy"), nullptr);

    TCHAR buf[] = L"key=value";
    TCHAR* eq = wide_strchr(buf, L'=');
    ASSERT_NE(eq, nullptr);
    *eq = 0;
    EXPECT_EQ(std::wstring(buf), L"key");
}

TEST(WideText, Copies)
{
    TCHAR* d = wide_strdup(L"copy");
    EXPECT_EQ(std::wstring(d), L"copy");
    delete[] d;
    EXPECT_EQ(wide_strdup(nullptr), nullptr);
    const char bytes[] = {1, 2, 0, 4};
    BYTE* m = memdup(bytes, 4);
    EXPECT_EQ(std::memcmp(m, bytes, 4), 0);
    delete[] m;
}

TEST(WideText, CharacterClasses)
{
    for (int c = 0; c < 300; ++c) {
        bool digit = c >= '0' && c <= '9';
        bool hex = digit || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        bool space = (c >= 8 && c <= 13) || c == 32;
        EXPECT_EQ(is_digit(c), digit) << c;
        EXPECT_EQ(is_hex_digit(c), hex) << c;
        EXPECT_EQ(is_space(c), space) << c;
        int v = -1;
        EXPECT_EQ(hex_digit_value(c, v), hex) << c;
        if (hex) {
            EXPECT_EQ(v, digit ? c - '0' : (c | 0x20) - 'a' + 10);
        }
    }
    EXPECT_FALSE(is_digit(0x130)); // judged by the whole character
    EXPECT_FALSE(is_hex_digit(0x141));
}

TEST(WideText, NumberParsing)
{
    struct IntCase {
        const TCHAR* text;
        int n;
        int value;
    };
    const IntCase ints[] = {
        {L"123", -1, 123},         {L"-45", -1, -45},          {L"+5", -1, 0},
        {L" 5", -1, 0},            {L"12ab", -1, 12},          {L"-", -1, 0},
        {L"", -1, 0},              {L"99999999999", -1, INT_MAX}, {L"-2147483648", -1, INT_MIN},
        {L"-99999999999", -1, INT_MIN}, {L"12345", 3, 123},    {L"-12", 1, 0},
        {L"-12", 2, -1},           {L"42", 0, 0},
    };
    for (const IntCase& c : ints) {
        EXPECT_EQ(wide_atoi_n(c.text, c.n), c.value) << c.text << " n=" << c.n;
        if (c.n == -1) {
            EXPECT_EQ(wide_atoi(c.text), c.value) << c.text;
        }
    }

    struct HexCase {
        const TCHAR* text;
        unsigned int value;
    };
    const HexCase hexes[] = {
        {L"0x1F", 0x1F}, {L"0XfF", 0xFF}, {L"1g", 1},  {L"", 0},         {L"x1", 0},
        {L"0x", 0},      {L"ffffffff", 0xFFFFFFFFu},  {L"7fz", 0x7F}, {L"\u0141", 0},
    };
    for (const HexCase& c : hexes)
        EXPECT_EQ(parse_hex(c.text), c.value) << c.text;

    struct FloatCase {
        const TCHAR* text;
        double value;
    };
    const FloatCase floats[] = {
        {L"-12.25", -12.25}, {L".5", 0.5},   {L"-.5", -0.5}, {L"3", 3.0},     {L"1e5", 1.0},
        {L"2.50x", 2.5},     {L"", 0.0},     {L"abc", 0.0},  {L"+1", 0.0},    {L"0.1", 0.1},
        {L"60.1699", 60.1699}, {L"24.9384", 24.9384},
    };
    for (const FloatCase& c : floats)
        EXPECT_DOUBLE_EQ(wide_atof(c.text), c.value) << c.text;
    EXPECT_EQ(wide_atof(L"-12.25"), -12.25);

    // A fraction longer than double precision still reads as its value.
    std::wstring long_fraction = L"1." + std::wstring(400, L'5');
    EXPECT_NEAR(wide_atof(long_fraction.c_str()), 1.5555555555555556, 1e-15);
}

TEST(WideText, Formatter)
{
    using Call = std::function<int(TCHAR*, int)>;
    struct Case {
        const char* name;
        Call call;
        const TCHAR* expected;
    };
    const Case cases[] = {
        {"string and int", [](TCHAR* b, int n) { return wide_snprintf(b, n, L"%s-%d", L"abc", 7); }, L"abc-7"},
        {"width", [](TCHAR* b, int n) { return wide_snprintf(b, n, L"[%5s]", L"ab"); }, L"[   ab]"},
        {"left", [](TCHAR* b, int n) { return wide_snprintf(b, n, L"[%-5s]", L"ab"); }, L"[ab   ]"},
        {"precision", [](TCHAR* b, int n) { return wide_snprintf(b, n, L"%.2s", L"abcdef"); }, L"ab"},
        {"star", [](TCHAR* b, int n) { return wide_snprintf(b, n, L"%*s", 4, L"ab"); }, L"  ab"},
        {"explicit ls", [](TCHAR* b, int n) { return wide_snprintf(b, n, L"%ls", L"wide"); }, L"wide"},
        {"capital S", [](TCHAR* b, int n) { return wide_snprintf(b, n, L"%S", L"wide"); }, L"wide"},
        {"percent", [](TCHAR* b, int n) { return wide_snprintf(b, n, L"%d%%s", 5); }, L"5%s"},
        {"char", [](TCHAR* b, int n) { return wide_snprintf(b, n, L"%c%lc", 'A', L'\u00E9'); }, L"A\u00E9"},
        {"hex", [](TCHAR* b, int n) { return wide_snprintf(b, n, L"%x/%04X", 255, 0xab); }, L"ff/00AB"},
        {"float", [](TCHAR* b, int n) { return wide_snprintf(b, n, L"%05.1f", 3.14159); }, L"003.1"},
        {"long", [](TCHAR* b, int n) { return wide_snprintf(b, n, L"%ld", 123456789012L); }, L"123456789012"},
        {"plus flag keeps s narrow", [](TCHAR* b, int n) { return wide_snprintf(b, n, L"%+s", "narrow"); },
         L"narrow"},
        {"trailing percent", [](TCHAR* b, int n) { return wide_snprintf(b, n, L"abc%"); }, nullptr},
        {"long format",
         [](TCHAR* b, int n) {
             std::wstring f(300, L'x');
             f += L"%s";
             return wide_snprintf(b, n, f.c_str(), L"!");
         },
         nullptr},
    };
    for (const Case& c : cases) {
        TCHAR buf[512];
        int r = c.call(buf, 512);
        if (c.expected != nullptr) {
            EXPECT_EQ(std::wstring(buf), c.expected) << c.name;
            EXPECT_EQ(r, static_cast<int>(std::wcslen(c.expected))) << c.name;
        }
        EXPECT_EQ(buf[511], 0) << c.name;
    }

    TCHAR longbuf[512];
    std::wstring f(300, L'x');
    f += L"%s";
    wide_snprintf(longbuf, 512, f.c_str(), L"!");
    EXPECT_EQ(std::wstring(longbuf), std::wstring(300, L'x') + L"!");

    // Cut output stays terminated.
    TCHAR small[4] = {1, 1, 1, 1};
    EXPECT_EQ(wide_snprintf(small, 4, L"%s-%d", L"abc", 7), -1);
    EXPECT_EQ(std::wstring(small), L"abc");

    // Size 0 writes nothing.
    TCHAR untouched[1] = {L'z'};
    EXPECT_EQ(wide_snprintf(untouched, 0, L"abc"), 0);
    EXPECT_EQ(untouched[0], L'z');
}

TEST(WideText, StaticConversions)
{
    EXPECT_EQ(std::wstring(narrow_to_wide_static("ab\xE9")), L"ab\u00E9");
    EXPECT_EQ(std::wstring(narrow_to_wide_static(nullptr)), L"");
    EXPECT_EQ(std::wstring(narrow_to_wide_n("abcdef", 3)), L"abc");
    EXPECT_EQ(std::string(wide_to_narrow_static(L"ab\u00E9")), "ab\xE9");
    EXPECT_EQ(std::string(wide_to_narrow_static(L"ab\u0100cd")), "ab"); // low 8 bits are 0
    EXPECT_EQ(std::string(wide_to_narrow_static(L"\u0141")), "A");

    // Longer texts are cut at the buffer, never written past it.
    std::string big(10000, 'n');
    EXPECT_EQ(std::wcslen(narrow_to_wide_static(big.c_str())), 2047u);
    EXPECT_EQ(std::wcslen(narrow_to_wide_n(big.c_str(), 10000)), 2047u);
    std::wstring wbig(10000, L'w');
    EXPECT_EQ(std::strlen(wide_to_narrow_static(wbig.c_str())), 8191u);

    // One shared buffer: the next conversion overwrites the last.
    TCHAR* first = narrow_to_wide_static("one");
    narrow_to_wide_static("two");
    EXPECT_EQ(std::wstring(first), L"two");
}

TEST(WideText, SelectLanguageVariant)
{
    struct Case {
        const TCHAR* text;
        const char* wanted; // null: none
        const TCHAR* result;
        const char* found;  // null: 0
    };
    const Case cases[] = {
        {L"plain", "eng", L"plain", nullptr},
        {L"eng|Hello|fin|Hei", "fin", L"\u202AHei", "fin"},
        {L"eng|Hello|fin|Hei", "eng", L"\u202AHello", "eng"},
        {L"eng|Hello|fin|Hei", nullptr, L"\u202AHello", "eng"},
        {L"eng|Hello|fin|Hei", "swe", L"\u202AHello", "eng"},
        {L"eng|Hello|fin|Hei||E18", "fin", L"\u202AHei\u202CE18", "fin"},
        {L"eng|Hello||", "eng", L"\u202AHello\u202C", "eng"},
        {L"ara|\u0645\u0631|eng|Hi", "ara", L"\u202B\u0645\u0631", "ara"},
        {L"eng|Hello|swe|Hej|fin|Hei", "fin", L"\u202AHei", "fin"},
        {L"eng|Hello|fi|Hei", "fin", L"eng|Hello|fi|Hei", nullptr}, // malformed
        {L"eng|Hello|fi", "fin", L"eng|Hello|fi", nullptr},         // cut
        {L"eng|Hello|f|n|Hei", "fin", L"eng|Hello|f|n|Hei", nullptr},
        {L"||E18", "fin", L"||E18", nullptr},
        {L"|", "fin", L"", nullptr},
    };
    for (const Case& c : cases) {
        std::wstring buf(c.text);
        buf.push_back(0);
        TCHAR* text = buf.data();
        int found = -1;
        select_language_variant(text, L'|', c.wanted ? lc(c.wanted) : 0, &found);
        EXPECT_EQ(text, buf.data());
        EXPECT_EQ(std::wstring(text), c.result) << c.text;
        EXPECT_EQ(found, c.found ? lc(c.found) : 0) << c.text;
    }
}
