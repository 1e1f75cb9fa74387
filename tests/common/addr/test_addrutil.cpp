#include <string>

#include <gtest/gtest.h>

#include "common/addr/xr_addrutil.h"

namespace {

std::wstring ws(const XrString& s)
{
    return std::wstring(s.c_str());
}

TEST(AddrUtil, CountyParts)
{
    XrString a = L"x", b = L"y", c = L"z";
    EXPECT_TRUE(XrAddrUtil::parse_county_name(L"Espoo#Uusimaa#Suomi", a, b, c));
    EXPECT_EQ(ws(a), L"Espoo");
    EXPECT_EQ(ws(b), L"Uusimaa");
    EXPECT_EQ(ws(c), L"Suomi");
    EXPECT_TRUE(XrAddrUtil::parse_county_name(L"##", a, b, c));
    EXPECT_EQ(ws(a) + ws(b) + ws(c), L"");
    a = L"kept";
    EXPECT_FALSE(XrAddrUtil::parse_county_name(L"Espoo#Uusimaa", a, b, c));
    EXPECT_FALSE(XrAddrUtil::parse_county_name(L"", a, b, c));
    EXPECT_EQ(ws(a), L"kept");

    EXPECT_TRUE(XrAddrUtil::parse_city_name(L"Espoo#Uusimaa#Suomi", a));
    EXPECT_EQ(ws(a), L"Espoo");
    EXPECT_FALSE(XrAddrUtil::parse_city_name(L"Espoo", a));

    XrString out;
    XrAddrUtil::parse_county_last_word(L"Springfield#Sangamon County IL#USA", out);
    EXPECT_EQ(ws(out), L"IL");
    XrAddrUtil::parse_county_last_word(L"Springfield", out);
    EXPECT_EQ(ws(out), L"");

    const struct {
        const TCHAR* text;
        const TCHAR* last;
    } words[] = {{L"Main Street", L"Street"}, {L"Word", L"Word"}, {L"", L""}, {L"Ends with ", L""}};
    for (const auto& c : words) {
        XrAddrUtil::get_last_word(c.text, out);
        EXPECT_EQ(ws(out), c.last) << testing::PrintToString(std::wstring(c.text));
    }
}

TEST(AddrUtil, CountyComparisons)
{
    const TCHAR* county = L"Espoo#Uusimaa#Suomi";
    const struct {
        const TCHAR* prefix;
        int from;
        int part;
        int exact_part;
    } cases[] = {
        {L"uusi", 0, 2, 0},   {L"esp", 0, 1, 0},    {L"esp", 1, 0, 0},     {L"Suomi!", 0, 3, 3},
        {L"Espooo", 0, 0, 0}, {L"s\u00FC", 0, 3, 0}, {L"E-S-P-O-O", 0, 1, 1}, {L"uusimaa", 2, 0, 0},
        {L"UUSIMAA", 1, 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.prefix)));
        EXPECT_EQ(XrAddrUtil::compare_county_to_string(county, c.prefix, c.from), c.part);
        EXPECT_EQ(XrAddrUtil::compare_county_to_string_exact(county, c.prefix, c.from), c.exact_part);
    }
    EXPECT_EQ(XrAddrUtil::compare_county_to_string(L"Espoo", L"uusi", 0), 0);

    EXPECT_TRUE(XrAddrUtil::compare_counties(L"A#B#C", L"X#B#Y", 2));
    EXPECT_FALSE(XrAddrUtil::compare_counties(L"A#B#C", L"X#B#Y", 1));
    EXPECT_TRUE(XrAddrUtil::compare_counties(L"A#B#C", L"A#Q#C", 3));
    EXPECT_FALSE(XrAddrUtil::compare_counties(L"A", L"A#B", 2));
}

TEST(AddrUtil, FormatCountyName)
{
    const struct {
        const TCHAR* text;
        const TCHAR* shown;
    } cases[] = {
        {L"Espoo#Uusimaa#Suomi", L"\u202AEspoo (Suomi Uusimaa)\u202C"},
        {L"Espoo##", L"\u202AEspoo\u202C"},
        {L"Espoo#Uusimaa#", L"\u202AEspoo (Uusimaa)\u202C"},
        {L"Espoo##Suomi", L"\u202AEspoo (Suomi)\u202C"},
        {L"Espoo", L"\u202AEspoo\u202C"},
        {L"\u062F\u0628\u064A#Dubai#UAE", L"\u202B\u062F\u0628\u064A (UAE Dubai)\u202C"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ws(XrAddrUtil::format_county_name(c.text)), c.shown);
}

TEST(AddrUtil, SplitStreetAndNumber)
{
    const struct {
        const TCHAR* line;
        bool number_last;
        bool ok;
        const TCHAR* street;
        const TCHAR* number;
    } cases[] = {
        {L"12 Main Street", false, true, L"Main Street", L"12"},
        {L"12 Main Street", true, true, L"Main Street", L"12"},
        {L"Main Street 12", false, true, L"Main Street", L"12"},
        {L"12 Main 7", true, true, L"12 Main", L"7"},
        {L"12 Main 7", false, true, L"Main 7", L"12"},
        {L"  Main Street\t12\r\n", true, true, L"Main Street", L"12"},
        {L"\v12\f  Main Street ", false, true, L"Main Street", L"12"},
        {L"Main Street 12a", false, false, L"", L""},
        {L"12", false, false, L"", L""},
        {L"Main", true, false, L"", L""},
        {L"", true, false, L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.line)));
        XrString street, number;
        EXPECT_EQ(XrAddrUtil::split_street_and_number(c.line, c.number_last, street, number), c.ok);
        EXPECT_EQ(ws(street), c.street);
        EXPECT_EQ(ws(number), c.number);
    }
}

TEST(AddrUtil, LastPathPart)
{
    const struct {
        const TCHAR* text;
        const TCHAR* last;
    } cases[] = {{L"Europe > Finland >  Espoo", L"Espoo"}, {L"Espoo", L"Espoo"}, {L"A>", L""}, {L">\tB c", L"B c"}};
    for (const auto& c : cases) {
        XrString out;
        XrAddrUtil::get_last_path_part(c.text, out);
        EXPECT_EQ(ws(out), c.last);
    }
}

} // namespace
