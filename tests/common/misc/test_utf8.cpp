#include "common/misc/xr_utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/container/xr_bytearray.h"
#include "common/container/xr_string.h"

namespace {

using Bytes = std::vector<BYTE>;

Bytes bytes_of(const XrByteArray& a)
{
    return Bytes(a.get_items(), a.get_items() + a.get_num_items());
}

std::string hex(const Bytes& b)
{
    std::string s;
    char buf[4];
    for (BYTE c : b) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        s += buf;
    }
    return s;
}

} // namespace

TEST(XrUTF8, Decode)
{
    struct Case {
        const char* name;
        Bytes in;
        bool ok;
        const TCHAR* text;
    };
    const Case cases[] = {
        {"euro", {0xE2, 0x82, 0xAC}, true, L"\u20AC"},
        {"ascii", {'a', 'b', 'c'}, true, L"abc"},
        {"two bytes", {0xC3, 0xA9, 'x'}, true, L"\u00E9x"},
        {"four-byte sequence", {0xF0, 0x9F, 0x98, 0x80}, false, L""},
        {"text before an error stays", {'a', 'b', 0xF0, 0x9F, 0x98, 0x80, 'c'}, false, L"ab"},
        {"lone continuation", {'a', 0x80}, false, L"a"},
        {"cut three-byte", {'a', 0xE2, 0x82}, false, L"a"},
        {"cut two-byte", {0xC3}, false, L""},
        {"bad continuation", {0xE2, 0x28, 0xA1}, false, L""},
        {"lead F8", {0xF8, 0x80}, false, L""},
        {"lead FF", {0xFF}, false, L""},
        {"overlong accepted", {0xC1, 0x81}, true, L"A"},
        {"surrogate accepted", {0xED, 0xA0, 0x80}, true, L"\xD800"},
        {"max", {0xEF, 0xBF, 0xBF}, true, L"\xFFFF"},
        {"zero byte left out", {'a', 0, 'b'}, true, L"ab"},
        {"empty", {}, true, L""},
    };
    for (const Case& c : cases) {
        XrString out;
        EXPECT_EQ(XrUTF8::decode_utf8(c.in.data(), static_cast<int>(c.in.size()), out), c.ok) << c.name;
        EXPECT_EQ(std::wstring(out.c_str()), c.text) << c.name;
        EXPECT_EQ(XrUTF8::is_valid_utf8(c.in.data(), static_cast<int>(c.in.size())), c.ok) << c.name;
    }
}

TEST(XrUTF8, DecodeAppendsAndHonoursLength)
{
    XrString out(L"x");
    XrString shared(out);
    EXPECT_TRUE(XrUTF8::decode_utf8(reinterpret_cast<const BYTE*>("yz!"), 2, out));
    EXPECT_EQ(std::wstring(out.c_str()), L"xyz");
    EXPECT_EQ(std::wstring(shared.c_str()), L"x");
    EXPECT_TRUE(XrUTF8::decode_utf8(reinterpret_cast<const BYTE*>("\xC3\xA4!"), -1, out));
    EXPECT_EQ(std::wstring(out.c_str()), L"xyz\u00E4!");
}

TEST(XrUTF8, DecodeNeverOutgrowsAString)
{
    std::string big(70000, 'a');
    XrString out;
    EXPECT_FALSE(XrUTF8::decode_utf8(reinterpret_cast<const BYTE*>(big.data()), 70000, out));
    EXPECT_EQ(out.length(), XrString::max_length);

    std::wstring almost(XrString::max_length - 2, L'x');
    XrString full(almost.c_str());
    EXPECT_FALSE(XrUTF8::decode_utf8(reinterpret_cast<const BYTE*>("abcdef"), -1, full));
    EXPECT_EQ(full.length(), XrString::max_length);
    EXPECT_EQ(full.char_at(XrString::max_length - 1), L'b');
}

TEST(XrUTF8, Encode)
{
    struct Case {
        const char* name;
        const TCHAR* text;
        int len;
        bool ok;
        Bytes out;
    };
    const Case cases[] = {
        {"mixed", L"a\u00E9\u20AC", -1, true, {'a', 0xC3, 0xA9, 0xE2, 0x82, 0xAC}},
        {"limits", L"\x7F\x80\x7FF\x800\xFFFF", -1, true,
         {0x7F, 0xC2, 0x80, 0xDF, 0xBF, 0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBF}},
        {"length", L"abc", 2, true, {'a', 'b'}},
        {"beyond 16 bits", L"a\U0001F600b", -1, false, {'a'}},
        {"empty", L"", -1, true, {}},
    };
    for (const Case& c : cases) {
        XrByteArray out;
        out.append_byte('>');
        EXPECT_EQ(XrUTF8::encode_utf8(c.text, c.len, out), c.ok) << c.name;
        Bytes expected{'>'};
        expected.insert(expected.end(), c.out.begin(), c.out.end());
        EXPECT_EQ(hex(bytes_of(out)), hex(expected)) << c.name;
    }
}

TEST(XrUTF8, ReadOne)
{
    struct Case {
        const char* name;
        Bytes in; // zero-terminated by the test
        unsigned int c;
        int advance;
    };
    const Case cases[] = {
        {"ascii", {'A'}, 'A', 1},
        {"two bytes", {0xC3, 0xA9}, 0xE9, 2},
        {"three bytes", {0xE2, 0x82, 0xAC}, 0x20AC, 3},
        {"terminator", {}, 0, 1},
        {"continuation returned unchanged", {0x80, 'a'}, 0x80, 1},
        {"last continuation value", {0xBF}, 0xBF, 1},
        {"four-byte lead", {0xF0, 0x9F, 0x98, 0x80, 'a'}, 0xFFFD, 4},
        {"four-byte lead alone", {0xF0, 'a'}, 0xFFFD, 1},
        {"F8", {0xF8, 0x80}, 0xFFFD, 1},
        {"cut at the terminator", {0xC3}, 0xFFFD, 1},
        {"cut three-byte", {0xE2, 0x82}, 0xFFFD, 2},
        {"bad continuation", {0xE2, 'a', 'b'}, 0xFFFD, 1},
    };
    for (const Case& c : cases) {
        Bytes in = c.in;
        in.push_back(0);
        const BYTE* p = in.data();
        EXPECT_EQ(XrUTF8::read_utf8(p), c.c) << c.name;
        EXPECT_EQ(p - in.data(), c.advance) << c.name;

        std::vector<unsigned short> units(in.begin(), in.end());
        const unsigned short* u = units.data();
        EXPECT_EQ(XrUTF8::read_utf8(u), c.c) << c.name << " (units)";
        EXPECT_EQ(u - units.data(), c.advance) << c.name << " (units)";
    }

    const unsigned short wide_unit[] = {0x141, 'a', 0};
    const unsigned short* u = wide_unit;
    EXPECT_EQ(XrUTF8::read_utf8(u), 0xFFFDu);
    EXPECT_EQ(XrUTF8::read_utf8(u), unsigned('a'));
    const unsigned short wide_continuation[] = {0xC3, 0x1A9, 0};
    u = wide_continuation;
    EXPECT_EQ(XrUTF8::read_utf8(u), 0xFFFDu);
    EXPECT_EQ(u, wide_continuation + 1);
}

TEST(XrUTF8, WriteAndReadBack)
{
    for (unsigned int c : {0x1u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xD800u, 0xFFFDu, 0xFFFFu}) {
        BYTE buf[4] = {};
        BYTE* o = buf;
        XrUTF8::write_utf8(static_cast<unsigned short>(c), o);
        int n = static_cast<int>(o - buf);
        EXPECT_EQ(n, c < 0x80 ? 1 : c < 0x800 ? 2 : 3) << c;
        const BYTE* in = buf;
        EXPECT_EQ(XrUTF8::read_utf8(in), c);
        EXPECT_EQ(in, o);

        unsigned short units[4] = {};
        unsigned short* uo = units;
        XrUTF8::write_utf8(static_cast<unsigned short>(c), uo);
        EXPECT_EQ(uo - units, n);
        for (int i = 0; i < n; ++i)
            EXPECT_EQ(units[i], buf[i]);
    }
}

TEST(XrUTF8, Lengths)
{
    EXPECT_EQ(XrUTF8::utf8_length(reinterpret_cast<const BYTE*>("a\xC3\xA9\xE2\x82\xAC")), 3);
    EXPECT_EQ(XrUTF8::utf8_length(reinterpret_cast<const BYTE*>("\x80\x80")), 2);
    EXPECT_EQ(XrUTF8::utf8_length(reinterpret_cast<const BYTE*>("\xF0\x9F\x98\x80!")), 2);
    EXPECT_EQ(XrUTF8::utf8_length(reinterpret_cast<const BYTE*>("ab\xE2")), 3);
    EXPECT_EQ(XrUTF8::utf8_length(reinterpret_cast<const BYTE*>("")), 0);

    EXPECT_EQ(XrUTF8::utf8_byte_length(XrString(L"a\u00E9\u20AC")), 6);
    EXPECT_EQ(XrUTF8::utf8_byte_length(XrString(L"\U0001F600")), 3);
    EXPECT_EQ(XrUTF8::utf8_byte_length(XrString()), 0);
}

TEST(XrUTF8, AllocatingConversions)
{
    TCHAR* w = nullptr;
    EXPECT_EQ(XrUTF8::utf8_to_wide_alloc(reinterpret_cast<const BYTE*>("K\xC3\xB6ln \xE2\x82\xAC"), &w), 6);
    EXPECT_EQ(std::wstring(w), L"K\u00F6ln \u20AC");
    delete[] w;
    EXPECT_EQ(XrUTF8::utf8_to_wide_alloc(reinterpret_cast<const BYTE*>("a\xF0\x9F\x98\x80" "b"), &w), 3);
    EXPECT_EQ(std::wstring(w), L"a\uFFFDb");
    delete[] w;

    BYTE* b = nullptr;
    EXPECT_EQ(XrUTF8::wide_to_utf8_alloc(XrString(L"K\u00F6ln"), &b), 5);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b)), "K\xC3\xB6ln");
    delete[] b;
    EXPECT_EQ(XrUTF8::wide_to_utf8_alloc(XrString(L"\U0001F600"), &b), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b)), "\xEF\xBF\xBD");
    delete[] b;
    EXPECT_EQ(XrUTF8::wide_to_utf8_alloc(XrString(), &b), 0);
    EXPECT_EQ(b[0], 0);
    delete[] b;
}

TEST(XrUTF8, Validity)
{
    struct Case {
        const char* text;
        int len;
        bool valid;
    };
    const Case cases[] = {
        {"plain", -1, true},
        {"\xC3\xA9\xE2\x82\xAC", -1, true},
        {"\xF0\x9F\x98\x80", -1, false},
        {"\x80", -1, false},
        {"\xC3", -1, false},
        {"\xC3\xA9", 1, false},
        {"\xE2\x82\xAC", 2, false},
        {"\xC3\x41", -1, false},
        {"", -1, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(XrUTF8::is_valid_utf8(reinterpret_cast<const BYTE*>(c.text), c.len), c.valid) << c.text;
}
