#include "common/misc/xr_tokenparser.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/container/xr_string.h"

namespace {

// Every token up to the end, as std::wstring.
std::vector<std::wstring> all_tokens(XrTokenParser& p, bool skip = false, bool trim = false)
{
    std::vector<std::wstring> out;
    while (const TCHAR* t = p.parse_next(skip, trim))
        out.emplace_back(t);
    return out;
}

using Tokens = std::vector<std::wstring>;

} // namespace

TEST(TokenParser, SplitsAtEveryDelimiter)
{
    const struct {
        const TCHAR* text;
        const TCHAR* extra_delimiters;
        bool skip;
        bool trim;
        Tokens tokens;
    } cases[] = {
        {L"a,,b", L"", false, false, {L"a", L"", L"b"}},
        {L" x , y", L"", true, true, {L"x", L"y"}},
        {L"", L"", false, false, {}},
        {L"a,", L"", false, false, {L"a"}},
        {L",a", L"", false, false, {L"", L"a"}},
        {L"a;b,c d", L";", false, false, {L"a", L"b", L"c d"}},
        {L"a;b,c d", L"; ", false, false, {L"a", L"b", L"c", L"d"}},
        {L" \t a  ", L"", true, false, {L"a  "}},
        {L" \t a \r\n", L"", false, true, {L" \t a"}},
        {L"\r\n", L"", true, true, {L""}},
    };
    for (const auto& c : cases) {
        XrTokenParser p(c.text, L',');
        for (const TCHAR* d = c.extra_delimiters; *d != 0; ++d)
            p.add_delimiter(*d);
        EXPECT_EQ(all_tokens(p, c.skip, c.trim), c.tokens) << "text \"" << std::wstring(c.text).size() << "\"";
        EXPECT_EQ(p.parse_next(), nullptr);
    }
}

TEST(TokenParser, ReportsTheDelimiterThatEndedEachToken)
{
    XrTokenParser p(L"a,b;c", L',');
    p.add_delimiter(L';');
    ASSERT_NE(p.parse_next(), nullptr);
    EXPECT_EQ(p.get_last_delimiter(), L',');
    EXPECT_EQ(p.get_last_delimiter(), 0) << "reading clears it";
    ASSERT_NE(p.parse_next(), nullptr);
    EXPECT_EQ(p.get_last_delimiter(), L';');
    ASSERT_NE(p.parse_next(), nullptr);
    EXPECT_EQ(p.get_last_delimiter(), 0);
    p.set_last_delimiter(L'x');
    EXPECT_EQ(p.get_last_delimiter(), L'x');
}

TEST(TokenParser, RestOfTheLine)
{
    XrTokenParser p(L"cmd  arg one \r\n", L' ');
    EXPECT_STREQ(p.parse_next(), L"cmd");
    EXPECT_STREQ(p.get_rest(true, true), L"arg one");
    EXPECT_EQ(p.parse_next(), nullptr) << "the parser stands at the end";
    EXPECT_EQ(p.get_rest(), nullptr);

    XrTokenParser untouched(L"k= v ", L'=');
    untouched.parse_next();
    EXPECT_STREQ(untouched.get_rest(), L" v ");

    XrTokenParser blank(L"k= \n\t ", L'=');
    blank.parse_next();
    EXPECT_EQ(blank.get_rest(true, false), nullptr);
    XrTokenParser lines(L"\n  \r\n x", L',');
    EXPECT_STREQ(lines.get_rest(true, false), L"x");
}

TEST(TokenParser, ParsesIntegers)
{
    const struct {
        const TCHAR* token;
        bool ok;
        int value;
    } cases[] = {
        {L"+5", true, 5},
        {L"-12", true, -12},
        {L" 42 ", true, 42},
        {L"007", true, 7},
        {L"1.5", false, 0},
        {L"12a", false, 0},
        {L"0x10", false, 0},
        {L"- 1", false, 0},
        {L"", true, 0},
        {L"-", true, 0},
        {L"+", true, 0},
        {L"2147483647", true, 2147483647},
        {L"-2147483648", true, -2147483647 - 1},
        {L"2147483648", false, 0},
        {L"-2147483649", false, 0},
        {L"99999999999999999999999", false, 0},
    };
    for (const auto& c : cases) {
        // The trailing delimiter makes an empty text an empty token.
        XrTokenParser p((std::wstring(c.token) + L",").c_str(), L',');
        int v = 777;
        EXPECT_EQ(p.parse_int(v), c.ok) << std::wstring(c.token).size();
        EXPECT_EQ(v, c.ok ? c.value : 777) << "a failed parse leaves the value";
    }
    XrTokenParser none(L"", L',');
    int v = 1;
    EXPECT_FALSE(none.parse_int(v)) << "no token at all";

    XrTokenParser list(L"1, 2 ,3", L',');
    int a = 0, b = 0, c = 0;
    EXPECT_TRUE(list.parse_int(a) && list.parse_int(b) && list.parse_int(c));
    EXPECT_EQ(a * 100 + b * 10 + c, 123);
    EXPECT_FALSE(list.parse_int(a));
}

TEST(TokenParser, ParsesDecimals)
{
    const struct {
        const TCHAR* token;
        bool ok;
        double value;
    } cases[] = {
        {L"2.75", true, 2.75},  {L"-0.5", true, -0.5}, {L"+.5", true, 0.5}, {L"3", true, 3.0},
        {L"", true, 0.0},       {L"-", true, 0.0},     {L"1e3", false, 0},  {L"1.2.3", false, 0},
        {L"1,5", false, 0},     {L"abc", false, 0},
    };
    for (const auto& c : cases) {
        XrTokenParser p((std::wstring(c.token) + L";").c_str(), L';');
        double v = 9.5;
        EXPECT_EQ(p.parse_double(v), c.ok) << std::wstring(c.token).size();
        EXPECT_DOUBLE_EQ(v, c.ok ? c.value : 9.5);
    }
    // So many digits that the value is no finite number.
    XrTokenParser huge(std::wstring(400, L'9').c_str(), L';');
    double v = 1.0;
    EXPECT_FALSE(huge.parse_double(v));
    EXPECT_EQ(v, 1.0);
}

TEST(TokenParser, WalksBackwardsWhenReversed)
{
    const struct {
        const TCHAR* text;
        Tokens tokens;
        std::vector<TCHAR> delimiters;
    } cases[] = {
        {L"a,b,c", {L"c", L"b", L"a"}, {L',', L',', 0}},
        {L"a,", {L"", L"a"}, {L',', 0}},
        {L",a", {L"a"}, {L','}},
        {L"abc", {L"abc"}, {0}},
        {L"", {}, {}},
    };
    for (const auto& c : cases) {
        XrTokenParser p(c.text, L',');
        p.set_reversed(true);
        Tokens tokens;
        std::vector<TCHAR> delimiters;
        while (const TCHAR* t = p.parse_next()) {
            tokens.emplace_back(t);
            delimiters.push_back(p.get_last_delimiter());
        }
        EXPECT_EQ(tokens, c.tokens);
        EXPECT_EQ(delimiters, c.delimiters);
    }
}

TEST(TokenParser, NewInputRestartsForwards)
{
    XrTokenParser p(L'/');
    EXPECT_EQ(p.parse_next(), nullptr) << "no input yet";
    EXPECT_EQ(p.get_rest(), nullptr);

    p.set_input(L"x/y");
    p.set_reversed(true);
    EXPECT_STREQ(p.parse_next(), L"y");
    // The new text may come from the old copy.
    p.set_input(p.parse_next());
    EXPECT_STREQ(p.parse_next(), L"x");
    EXPECT_EQ(p.parse_next(), nullptr);

    p.set_input(XrString(L"p/q"));
    EXPECT_EQ(all_tokens(p), (Tokens{L"p", L"q"}));
    p.set_input(static_cast<const TCHAR*>(nullptr));
    EXPECT_EQ(p.parse_next(), nullptr);
}

TEST(TokenParser, WidensByteTextWithoutLimit)
{
    XrTokenParser p("caf\xE9;\xFF", L';');
    EXPECT_EQ(all_tokens(p), (Tokens{L"caf\u00E9", L"\u00FF"}));

    std::string longer(5000, 'a');
    longer += ";end";
    p.set_input(longer.c_str());
    EXPECT_EQ(all_tokens(p), (Tokens{std::wstring(5000, L'a'), L"end"}));
}

TEST(TokenParser, CallsBackForEachRemainingToken)
{
    XrTokenParser p(L"skip| a | b |c", L'|');
    p.parse_next();
    Tokens seen;
    p.for_each_token([](const TCHAR* t, void* user) { static_cast<Tokens*>(user)->emplace_back(t); }, &seen, true,
                     true);
    EXPECT_EQ(seen, (Tokens{L"a", L"b", L"c"}));
}

TEST(TokenParserDeathTest, MisuseIsFatal)
{
    EXPECT_DEATH(
        {
            XrTokenParser p(L"a,b", L',');
            p.parse_next();
            p.set_reversed(true);
        },
        "curr == input");
    EXPECT_DEATH(
        {
            XrTokenParser p(L"a,b", L',');
            p.set_reversed(true);
            p.parse_next(true, false);
        },
        "Not implemented!");
    EXPECT_DEATH(
        {
            XrTokenParser p(L"a,b", L',');
            p.set_reversed(true);
            p.get_rest();
        },
        "Not Implemented!");
}
