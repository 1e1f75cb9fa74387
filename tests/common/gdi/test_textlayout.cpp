// Line breaking and placement of XrTextLayout with a layout whose
// characters are all 10 pixels wide and 10 pixels high (line distance 12).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/gdi/xr_textlayout.h"
#include "common/misc/xr_tokenparser.h"

namespace {

struct Placed {
    std::wstring text;
    int x;
    int y;
    bool operator==(const Placed& o) const = default;
};

std::ostream& operator<<(std::ostream& os, const Placed& p)
{
    os << '"';
    for (wchar_t c : p.text)
        os << (c == L'\n' ? '|' : static_cast<char>(c));
    return os << "\" at " << p.x << "," << p.y;
}

class FixedLayout : public XrTextLayout {
public:
    explicit FixedLayout(const XrRectangle& r) : XrTextLayout(r) {}

    bool text_extent(const XrString& text, int& width, int& height) override
    {
        ++measured;
        if (fail_on != 0 && XrString::contains_char(fail_on, text.c_str()))
            return false;
        width = 10 * text.length();
        height = 10;
        return true;
    }
    bool add_text(const XrString& text, int x, int y) override
    {
        placed.push_back({text.c_str(), x, y});
        return true;
    }

    std::vector<Placed> placed;
    int measured = 0;
    TCHAR fail_on = 0;
};

std::vector<std::wstring> tokens(const TCHAR* text, const TCHAR* extra = nullptr)
{
    FixedLayout layout(XrRectangle(0, 0, 100, 100));
    XrTokenParser parser(text, L',');
    for (TCHAR c : std::wstring(L" \n\t") + (extra ? extra : L""))
        parser.add_delimiter(c);
    std::vector<std::wstring> out;
    while (const TCHAR* t = layout.next_token(parser))
        out.push_back(t);
    return out;
}

TEST(TextLayoutTokens, WordsSeparatorsAndRuns)
{
    using V = std::vector<std::wstring>;
    EXPECT_EQ(tokens(L"ab,cd"), (V{L"ab", L",", L"cd"}));
    EXPECT_EQ(tokens(L"a  b"), (V{L"a", L" ", L" ", L"b"}));
    EXPECT_EQ(tokens(L" a\n"), (V{L" ", L"a", L"\n"}));
    EXPECT_EQ(tokens(L"x-y/z", L"-/"), (V{L"x", L"-", L"y", L"/", L"z"}));
    EXPECT_EQ(tokens(L""), V{});
}

struct BreakCase {
    const wchar_t* name;
    const wchar_t* text;
    int mode;
    std::vector<Placed> lines;
};

class TextLayoutBreak : public ::testing::TestWithParam<BreakCase> {};

TEST_P(TextLayoutBreak, PlacesLines)
{
    const BreakCase& c = GetParam();
    FixedLayout layout(XrRectangle(0, 0, 100, 200));
    EXPECT_EQ(layout.draw(XrString(c.text), nullptr, c.mode), XrTextLayout::Ok);
    EXPECT_EQ(layout.placed, c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextLayoutBreak,
    ::testing::Values(
        BreakCase{L"wraps_before_word", L"hello world foo", 0, {{L"hello ", 0, 0}, {L"world foo", 0, 12}}},
        BreakCase{L"break_before_comma", L"abcdefghij,k", 0, {{L"abcdefghij", 0, 0}, {L",k", 0, 12}}},
        BreakCase{L"right_drops_trailing_space", L"word ", 1, {{L"word", 60, 0}}},
        BreakCase{L"right_wrapped", L"hello world foo", 1, {{L"hello", 50, 0}, {L"world foo", 10, 12}}},
        BreakCase{L"centre", L"abcd", 2, {{L"abcd", 30, 0}}},
        BreakCase{L"long_word_alone", L"ab abcdefghijklm cd", 0,
                  {{L"ab ", 0, 0}, {L"abcdefghijklm ", 0, 12}, {L"cd", 0, 24}}},
        BreakCase{L"long_word_centred_starts_left", L"abcdefghijklmno", 2, {{L"abcdefghijklmno", 0, 0}}},
        BreakCase{L"paragraphs", L"a\n\nb", 0, {{L"a", 0, 0}, {L"", 0, 12}, {L"b", 0, 24}}},
        // Line plus newline is as wide as the rectangle: the newline is dropped.
        BreakCase{L"wide_newline_dropped", L"012345678\na", 0, {{L"012345678a", 0, 0}}},
        BreakCase{L"empty_text", L"", 0, {{L"", 0, 0}}}),
    [](const ::testing::TestParamInfo<BreakCase>& info) {
        std::string s;
        for (const wchar_t* p = info.param.name; *p; ++p)
            s += static_cast<char>(*p);
        return s;
    });

TEST(TextLayout, CentreOverflowCentresWideWord)
{
    FixedLayout layout(XrRectangle(0, 0, 100, 200));
    layout.set_centre_overflow(true);
    EXPECT_EQ(layout.draw(XrString(L"abcdefghijklmno"), nullptr, 2), XrTextLayout::Ok);
    EXPECT_EQ(layout.placed, (std::vector<Placed>{{L"abcdefghijklmno", -25, 0}}));
}

TEST(TextLayout, ExtraSeparatorsBreakLines)
{
    FixedLayout layout(XrRectangle(0, 0, 100, 200));
    EXPECT_EQ(layout.draw(XrString(L"abcdefg-hijk"), L"-", 0), XrTextLayout::Ok);
    EXPECT_EQ(layout.placed, (std::vector<Placed>{{L"abcdefg-", 0, 0}, {L"hijk", 0, 12}}));
}

TEST(TextLayout, LinesBelowTheRectangleAreCountedNotDrawn)
{
    FixedLayout layout(XrRectangle(5, 10, 105, 40));
    XrTextLayout::XrMeasurement m;
    EXPECT_EQ(layout.measure(XrString(L"aaaaaaa bbbbbbb ccccccc"), &m, nullptr, 0), XrTextLayout::Ok);
    EXPECT_TRUE(layout.placed.empty()); // measuring draws nothing
    EXPECT_EQ(m.height, 36);
    EXPECT_EQ(m.rect, XrRectangle(5, 10, 85, 34)); // two lines fit

    EXPECT_EQ(layout.draw(XrString(L"aaaaaaa bbbbbbb ccccccc"), nullptr, 0), XrTextLayout::Ok);
    EXPECT_EQ(layout.placed, (std::vector<Placed>{{L"aaaaaaa ", 5, 10}, {L"bbbbbbb ", 5, 22}}));
}

TEST(TextLayout, EmptyTextMeasuresOneLine)
{
    FixedLayout layout(XrRectangle(0, 0, 100, 100));
    XrTextLayout::XrMeasurement m;
    EXPECT_EQ(layout.measure(XrString(), &m, nullptr, 2), XrTextLayout::Ok);
    EXPECT_EQ(m.height, 12);
    EXPECT_EQ(m.rect.top, 0);
    EXPECT_EQ(m.rect.bottom, 12);
}

TEST(TextLayout, CentredBlock)
{
    FixedLayout layout(XrRectangle(0, 0, 100, 100));
    EXPECT_EQ(layout.draw(XrString(L"hello world"), nullptr, 3), XrTextLayout::Ok);
    // free = 100 - 2 x 10, the block starts 40 down, lines 12 apart.
    EXPECT_EQ(layout.placed, (std::vector<Placed>{{L"hello ", 20, 40}, {L"world", 25, 52}}));
}

TEST(TextLayout, CentredBlockTooHighDrawsNothing)
{
    FixedLayout layout(XrRectangle(0, 0, 100, 25));
    XrTextLayout::XrMeasurement m;
    EXPECT_EQ(layout.measure(XrString(L"aa bb cc"), &m, L"", 3), XrTextLayout::Ok); // one line fits
    EXPECT_EQ(layout.draw(XrString(L"aaaaaaa bbbbbbb ccccccc"), nullptr, 3), XrTextLayout::TooHigh);
    EXPECT_TRUE(layout.placed.empty());
    // Measured, it reports the height its three lines need.
    m.height = -1;
    EXPECT_EQ(layout.measure(XrString(L"aaaaaaa bbbbbbb ccccccc"), &m, nullptr, 3), XrTextLayout::TooHigh);
    EXPECT_EQ(m.height, 3 * 12);
    EXPECT_TRUE(layout.placed.empty());
}

TEST(TextLayout, FailedMeasurementOrBadModeFails)
{
    FixedLayout layout(XrRectangle(0, 0, 100, 100));
    layout.fail_on = L'!';
    EXPECT_EQ(layout.draw(XrString(L"ok then!"), nullptr, 0), XrTextLayout::Failed);
    EXPECT_EQ(layout.placed.size(), 0u);
    EXPECT_EQ(layout.draw(XrString(L"ok"), nullptr, 4), XrTextLayout::Failed);
    EXPECT_EQ(layout.draw(XrString(L"ok"), nullptr, -1), XrTextLayout::Failed);
    EXPECT_TRUE(layout.placed.empty());

    layout.fail_on = L'X'; // the line height cannot be measured
    EXPECT_EQ(layout.draw(XrString(L"ok"), nullptr, 0), XrTextLayout::Failed);
}

} // namespace
