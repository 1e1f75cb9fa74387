#include "common/container/xr_string.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

namespace {

// The instance header in front of the text: capacity, reference count.
std::uint16_t capacity_of(const XrString& s)
{
    return reinterpret_cast<const std::uint16_t*>(s.c_str())[-2];
}

std::uint16_t refs_of(const XrString& s)
{
    return reinterpret_cast<const std::uint16_t*>(s.c_str())[-1];
}

std::wstring str(const XrString& s)
{
    return std::wstring(s.c_str());
}

} // namespace

TEST(XrString, EmptyFormsAreEqual)
{
    XrString def;
    XrString from_empty(L"");
    XrString cleared(L"abc");
    cleared.clear();
    XrString zero_len(L"abc", 0);
    XrString zero_bytes("abc", 0);
    XrString null_text(static_cast<const TCHAR*>(nullptr));

    const XrString* all[] = {&def, &from_empty, &cleared, &zero_len, &zero_bytes, &null_text};
    for (const XrString* a : all) {
        ASSERT_NE(a->c_str(), nullptr);
        EXPECT_EQ(a->c_str()[0], 0);
        EXPECT_EQ(a->length(), 0);
        EXPECT_TRUE(*a == L"");
        for (const XrString* b : all)
            EXPECT_TRUE(*a == *b);
    }
    EXPECT_EQ(def.c_str(), zero_len.c_str()); // both null handles: the shared empty text
    EXPECT_EQ(def.c_str(), cleared.c_str());
}

TEST(XrString, InstanceLayout)
{
    XrString s(L"abc");
    // text 3 + terminator + spare slot
    EXPECT_EQ(capacity_of(s), 5);
    EXPECT_EQ(refs_of(s), 1);
    EXPECT_EQ(s.c_str()[4], 0);
    {
        XrString t(s);
        EXPECT_EQ(refs_of(s), 2);
        XrString u;
        u = t;
        EXPECT_EQ(refs_of(s), 3);
    }
    EXPECT_EQ(refs_of(s), 1);

    XrString c;
    c = L'x';
    EXPECT_EQ(str(c), L"x");
    EXPECT_EQ(capacity_of(c), 5); // character, terminator, reserve 2, spare
}

TEST(XrString, ConstructionFromText)
{
    EXPECT_EQ(str(XrString(L"hello", 3)), L"hel");
    EXPECT_EQ(str(XrString("hello")), L"hello");
    EXPECT_EQ(str(XrString("hello", 4)), L"hell");
    EXPECT_EQ(str(XrString("\xE9t\xE9")), L"\u00E9t\u00E9"); // Latin-1 widening

    // Longer than the static conversion buffer: nothing is cut.
    std::string long_bytes(5000, 'q');
    XrString big(long_bytes.c_str());
    EXPECT_EQ(big.length(), 5000);
    XrString assigned;
    assigned = long_bytes.c_str();
    EXPECT_EQ(assigned.length(), 5000);
}

TEST(XrString, AssignLatin1StopsAtZeroByte)
{
    XrString s(L"old");
    s.assign_latin1("ab\0cd", 5);
    EXPECT_EQ(str(s), L"ab");
    EXPECT_EQ(capacity_of(s), 7); // reserve 5 + terminator + spare
    s.assign_latin1("xyz", 2);
    EXPECT_EQ(str(s), L"xy");
    s.assign_latin1(nullptr);
    EXPECT_TRUE(s == L"");
}

TEST(XrString, AssignFromOwnText)
{
    XrString s(L"abcdef");
    s = s.c_str_at(2);
    EXPECT_EQ(str(s), L"cdef");
    s.assign(s.c_str() + 1, 2);
    EXPECT_EQ(str(s), L"de");
    XrString& same = s;
    s = same; // self-assignment
    EXPECT_EQ(str(s), L"de");
    s.assign(nullptr);
    EXPECT_EQ(s.length(), 0);
}

TEST(XrString, Reading)
{
    XrString s(L"abc");
    EXPECT_EQ(s.char_at(0), L'a');
    EXPECT_EQ(s.char_at(2), L'c');
    EXPECT_EQ(s.char_at(3), 0);
    EXPECT_EQ(s.char_at(-1), 0);
    EXPECT_EQ(str(s.c_str_at(1)), L"bc");
    EXPECT_EQ(str(s.c_str_at(3)), L"");
    EXPECT_EQ(str(s.c_str_at(-1)), L"");
    XrString null;
    EXPECT_EQ(null.char_at(0), 0);
    EXPECT_EQ(str(null.c_str_at(0)), L"");

    struct Case {
        const TCHAR* text;
        const TCHAR* find;
        int index;
    };
    const Case cases[] = {
        {L"hello world", L"o", 4}, {L"hello world", L"world", 6}, {L"hello", L"x", -1},
        {L"hello", L"", 0},        {L"", L"a", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(XrString(c.text).find(c.find), c.index) << c.text << " / " << c.find;
    EXPECT_EQ(null.find(L""), -1);

    EXPECT_TRUE(XrString::contains_char(L'b', L"abc"));
    EXPECT_FALSE(XrString::contains_char(L'd', L"abc"));
    EXPECT_FALSE(XrString::contains_char(0, L"abc"));

    EXPECT_TRUE(XrString(L"x") != L"y");
    EXPECT_TRUE(XrString(L"x") != XrString(L"xx"));
    EXPECT_TRUE(XrString(L"x") == XrString(L"x"));
}

TEST(XrString, CopyOnWrite)
{
    using Change = void (*)(XrString&);
    const Change changes[] = {
        [](XrString& s) { s.append(L"!"); },
        [](XrString& s) { s += L'!'; },
        [](XrString& s) { s.append("!"); },
        [](XrString& s) { s.to_upper(); },
        [](XrString& s) { s.to_lower(); },
        [](XrString& s) { s.trim(L" "); },
        [](XrString& s) { s.trim_left(L" "); },
        [](XrString& s) { s.trim_right(L" "); },
        [](XrString& s) { s.truncate(2); },
        [](XrString& s) { s.remove_last_char(); },
        [](XrString& s) { s.remove_head(1); },
        [](XrString& s) { s.replace(L"Ab", L"x"); },
        [](XrString& s) { s.reserve(10); },
    };
    for (Change change : changes) {
        XrString original(L" AbcD ");
        XrString copy(original);
        ASSERT_EQ(copy.c_str(), original.c_str()); // shared
        change(copy);
        EXPECT_EQ(str(original), L" AbcD ");
        EXPECT_EQ(refs_of(original), 1);
    }
}

TEST(XrString, AppendGrowsExactlyPlusOneSlot)
{
    XrString s;
    s.append(L"ab");
    EXPECT_EQ(capacity_of(s), 4);
    const TCHAR* before = s.c_str();
    s += L'c'; // fits in the spare slot
    EXPECT_EQ(s.c_str(), before);
    s += L'd'; // does not fit: 4 + 1 + 1 slots
    EXPECT_EQ(capacity_of(s), 6);
    EXPECT_EQ(str(s), L"abcd");
    s.append(L"efgh", 2);
    EXPECT_EQ(str(s), L"abcdef");
    s.append(L"xy", 5); // stops at the terminator
    EXPECT_EQ(str(s), L"abcdefxy");
    s.append("12", -1);
    EXPECT_EQ(str(s), L"abcdefxy12");
    s.append(L"", -1);
    s.append(static_cast<const TCHAR*>(nullptr));
    EXPECT_EQ(str(s), L"abcdefxy12");
}

TEST(XrString, AppendOwnText)
{
    XrString s(L"abc");
    s += s;
    EXPECT_EQ(str(s), L"abcabc");
    s.append(s.c_str_at(4));
    EXPECT_EQ(str(s), L"abcabcbc");
    XrString t(s);
    t.append(t.c_str(), 2);
    EXPECT_EQ(str(t), L"abcabcbcab");
    EXPECT_EQ(str(s), L"abcabcbc");
    s.reserve(20);
    s.append(s.c_str()); // in place
    EXPECT_EQ(str(s), L"abcabcbcabcabcbc");
}

TEST(XrString, PlusEqualsSharesIntoNullHandle)
{
    XrString a(L"text");
    XrString b;
    b += a;
    EXPECT_EQ(b.c_str(), a.c_str());
    XrString empty;
    a += empty;
    EXPECT_EQ(str(a), L"text");
    EXPECT_EQ(b.c_str(), a.c_str());
}

TEST(XrString, Reserve)
{
    XrString n;
    n.reserve(5);
    EXPECT_EQ(capacity_of(n), 7);
    EXPECT_EQ(n.length(), 0);

    XrString s(L"abc"); // 5 slots
    s.reserve(1);       // 3 + 1 + 1 fits
    EXPECT_EQ(capacity_of(s), 5);
    s.reserve(4); // 2 * 3 + 4 + 3
    EXPECT_EQ(capacity_of(s), 13);
    EXPECT_EQ(str(s), L"abc");
    const TCHAR* p = s.c_str();
    s.append(L"defg");
    EXPECT_EQ(s.c_str(), p);
    EXPECT_EQ(str(s), L"abcdefg");
}

TEST(XrString, RemoveLastTruncateRemoveHead)
{
    XrString s(L"abc");
    EXPECT_FALSE(s.truncate(5));
    EXPECT_EQ(str(s), L"abc");
    EXPECT_FALSE(s.truncate(-1));
    EXPECT_TRUE(s.truncate(3));
    EXPECT_TRUE(s.truncate(2));
    EXPECT_EQ(str(s), L"ab");
    EXPECT_EQ(s.remove_last_char(), L'b');
    EXPECT_EQ(s.remove_last_char(), L'a');
    EXPECT_EQ(s.remove_last_char(), 0);

    XrString null;
    EXPECT_TRUE(null.truncate(0));
    EXPECT_FALSE(null.truncate(1));
    EXPECT_TRUE(null.remove_head(0));
    EXPECT_FALSE(null.remove_head(1));
    EXPECT_EQ(null.remove_last_char(), 0);

    XrString h(L"hello");
    EXPECT_FALSE(h.remove_head(6));
    EXPECT_TRUE(h.remove_head(2));
    EXPECT_EQ(str(h), L"llo");
    EXPECT_TRUE(h.remove_head(3));
    EXPECT_TRUE(h == L"");
}

TEST(XrString, Replace)
{
    struct Case {
        const TCHAR* text;
        const TCHAR* from;
        const TCHAR* to;
        const TCHAR* result;
        int count;
    };
    const Case cases[] = {
        {L"aabab", L"ab", L"x", L"axx", 2},
        {L"aaaa", L"aa", L"b", L"bb", 2},
        {L"aaa", L"aa", L"b", L"ba", 1},
        {L"abc", L"x", L"y", L"abc", 0},
        {L"abc", L"abc", L"", L"", 1},
        {L"a.b.c", L".", L"::", L"a::b::c", 2},
        {L"ab", L"abc", L"x", L"ab", 0},
        {L"abc", L"", L"x", L"abc", 0},
    };
    for (const Case& c : cases) {
        XrString s(c.text);
        EXPECT_EQ(s.replace(c.from, c.to), c.count) << c.text;
        EXPECT_EQ(str(s), c.result) << c.text;
    }
    XrString null;
    EXPECT_EQ(null.replace(L"a", L"b"), 0);
}

TEST(XrString, Trim)
{
    struct Case {
        const TCHAR* text;
        const TCHAR* left;
        const TCHAR* right;
        const TCHAR* both;
        int n_left, n_right;
    };
    const Case cases[] = {
        {L"  ab  ", L"ab  ", L"  ab", L"ab", 2, 2},
        {L"ab", L"ab", L"ab", L"ab", 0, 0},
        {L"   ", L"", L"", L"", 3, 3},
        {L"\t x \n", L"x \n", L"\t x", L"x", 2, 2},
        {L"", L"", L"", L"", 0, 0},
    };
    for (const Case& c : cases) {
        XrString l(c.text), r(c.text), b(c.text);
        EXPECT_EQ(l.trim_left(L" \t\n"), c.n_left) << c.text;
        EXPECT_EQ(str(l), c.left);
        EXPECT_EQ(r.trim_right(L" \t\n"), c.n_right) << c.text;
        EXPECT_EQ(str(r), c.right);
        int total = b.trim(L" \t\n");
        EXPECT_EQ(str(b), c.both);
        EXPECT_EQ(total, static_cast<int>(std::wcslen(c.text) - std::wcslen(c.both)));
    }
}

TEST(XrString, Format)
{
    XrString s;
    s.format(10, L"%s-%d", L"abc", 7);
    EXPECT_EQ(str(s), L"abc-7");
    s.format(4, L"%s", L"abcdef"); // at most 4 with the terminator
    EXPECT_EQ(str(s), L"abc");
    s.format(100, L"%d%% of %s", 50, L"all");
    EXPECT_EQ(str(s), L"50% of all");
    EXPECT_EQ(capacity_of(s), 12); // exact copy of the result
    s.format(0, L"%d", 1);
    EXPECT_EQ(s.length(), 0);
}

TEST(XrString, FreeOperators)
{
    XrString a(L"ab");
    XrString b(L"cd");
    XrString empty;
    EXPECT_EQ(str(a + b), L"abcd");
    EXPECT_EQ(str(a + L"x"), L"abx");
    EXPECT_EQ(str(a + "y"), L"aby");
    EXPECT_EQ((a + empty).c_str(), a.c_str());
    EXPECT_EQ((empty + b).c_str(), b.c_str());
    XrString empty_text(L""); // an instance, not the null handle
    EXPECT_EQ((empty_text + b).c_str(), b.c_str());
    EXPECT_EQ((a + empty_text).c_str(), a.c_str());
    EXPECT_EQ(str(empty + L"z"), L"z");
    EXPECT_EQ(str(a), L"ab");
}

TEST(XrString, SplitAtSeparator)
{
    struct Case {
        const TCHAR* text;
        int max_index;
        const TCHAR* head;
        const TCHAR* tail; // null: none
    };
    const Case cases[] = {
        {L"hello world foo", -1, L"hello ", L"world foo"}, // limit 7
        {L"one two three four", -1, L"one two ", L"three four"},
        {L"abcdefgh", -1, L"abcd", L"efgh"}, // no separator: cut at the limit
        {L"abc def", 100, L"abc ", L"def"},  // limit beyond the end
        {L"abc ", 3, L"abc ", nullptr},      // split point is the terminator
        {L"a-b c", 2, L"a-", L"b c"},        // either separator
        {L"", -1, L"", nullptr},
        {L"abcdef", 0, L"", L"abcdef"},
    };
    for (const Case& c : cases) {
        TCHAR* tail = reinterpret_cast<TCHAR*>(1);
        TCHAR* head = XrString(c.text).split_at_separator(&tail, L" -", 2, c.max_index);
        EXPECT_EQ(std::wstring(head), c.head) << c.text;
        if (c.tail == nullptr) {
            EXPECT_EQ(tail, nullptr) << c.text;
        } else {
            ASSERT_NE(tail, nullptr) << c.text;
            EXPECT_EQ(std::wstring(tail), c.tail) << c.text;
        }
        delete[] head;
        delete[] tail;
    }
}

TEST(XrString, LongestString)
{
    std::wstring text(XrString::max_length, L'x');
    XrString s(text.c_str());
    EXPECT_EQ(s.length(), 65532);
    EXPECT_EQ(capacity_of(s), 65534);
    XrString t(s);
    t.remove_last_char();
    t += L'y'; // fits again
    EXPECT_EQ(t.length(), 65532);
}

TEST(XrStringDeathTest, LengthLimit)
{
    std::wstring text(XrString::max_length + 1, L'x');
    EXPECT_DEATH(XrString s(text.c_str()), "str_l \\+ 1 \\+ alloc_extra < 65535");
    std::wstring full(XrString::max_length, L'x');
    EXPECT_DEATH(
        {
            XrString s(full.c_str());
            s += L'y';
        },
        "str_l \\+ 1 \\+ alloc_extra < 65535");
    EXPECT_DEATH(
        {
            XrString s(L"ab");
            s.reserve(65531);
        },
        "str_l \\+ 1 \\+ alloc_extra < 65535");
}

TEST(XrString, ReferenceCountNeverWraps)
{
    XrString original(L"shared");
    std::vector<XrString> copies;
    copies.reserve(XrString::max_shares);
    for (unsigned i = 1; i < XrString::max_shares; ++i)
        copies.push_back(original);
    EXPECT_EQ(refs_of(original), 0xFFFF);
    for (const XrString& c : copies)
        ASSERT_EQ(c.c_str(), original.c_str());

    // The count is full: further copies get their own instance.
    XrString extra(original);
    EXPECT_NE(extra.c_str(), original.c_str());
    EXPECT_EQ(str(extra), L"shared");
    EXPECT_EQ(refs_of(original), 0xFFFF);
    EXPECT_EQ(refs_of(extra), 1);
    XrString assigned;
    assigned = original;
    EXPECT_NE(assigned.c_str(), original.c_str());
    EXPECT_TRUE(assigned == original);

    // Releasing all copies brings the count down to the original alone.
    copies.clear();
    EXPECT_EQ(refs_of(original), 1);
    original.append(L"!");
    EXPECT_EQ(str(extra), L"shared");
}

TEST(XrString, MoveLeavesNullHandle)
{
    XrString a(L"abc");
    const TCHAR* p = a.c_str();
    XrString b(std::move(a));
    EXPECT_EQ(b.c_str(), p);
    EXPECT_EQ(refs_of(b), 1);
    XrString c;
    c = std::move(b);
    EXPECT_EQ(c.c_str(), p);
    EXPECT_EQ(refs_of(c), 1);
}
