#include "common/misc/xr_textutil.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/container/xr_bytearray.h"
#include "common/container/xr_string.h"

namespace {

std::vector<BYTE> bytes_of(const XrByteArray& a)
{
    return std::vector<BYTE>(a.get_items(), a.get_items() + a.get_num_items());
}

} // namespace

TEST(TextUtil, ParsesVersionStrings)
{
    const struct {
        const TCHAR* text;
        bool ok;
        int major, minor, build, revision;
    } cases[] = {
        {L"2.2.7", true, 2, 2, 7, 0},
        {L"1.0", true, 1, 0, 0, 0},
        {L"10.20.30.40", true, 10, 20, 30, 40},
        {L"1.2.3.4.5", true, 1, 2, 3, 4},
        {L" 3 . +4 ", true, 3, 4, 0, 0},
        {L"1.-2", true, 1, -2, 0, 0},
        {L"1.2.x", true, 1, 2, 0, 0},
        {L"1.2.", true, 1, 2, 0, 0},
        {L"2", false, 2, 0, 0, 0},
        {L"2.", false, 2, 0, 0, 0},
        {L"2.a", false, 2, 0, 0, 0},
        {L"x.1", false, 0, 0, 0, 0},
        {L"", false, 0, 0, 0, 0},
        {L"1.99999999999", false, 1, 0, 0, 0},
    };
    for (const auto& c : cases) {
        int v[4] = {-9, -9, -9, -9};
        EXPECT_EQ(parse_version_string(c.text, &v[0], &v[1], &v[2], &v[3]), c.ok) << std::wstring(c.text).size();
        EXPECT_EQ(v[0], c.major);
        EXPECT_EQ(v[1], c.minor);
        EXPECT_EQ(v[2], c.build);
        EXPECT_EQ(v[3], c.revision);
    }
    int major = -1, minor = -1, revision = -1;
    EXPECT_TRUE(parse_version_string(L"5.6.7.8", &major, &minor, nullptr, &revision));
    EXPECT_EQ(major * 100 + minor * 10 + revision, 568) << "pieces keep their places without build";
    EXPECT_FALSE(parse_version_string(nullptr, &major, &minor, nullptr, nullptr));
    EXPECT_EQ(major + minor, 0);
}

TEST(TextUtil, HexTextOfBytes)
{
    const BYTE bytes[] = {0x00, 0x0F, 0xA0};
    XrString out(L"old");
    bytes_to_hex(out, bytes, 3);
    EXPECT_TRUE(out == L"000fa0");
    bytes_to_hex(out, bytes, 0);
    EXPECT_EQ(out.length(), 0);

    BYTE all[256];
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<BYTE>(i);
    bytes_to_hex(out, all, 256);
    ASSERT_EQ(out.length(), 512);
    XrByteArray back;
    ASSERT_TRUE(hex_to_bytes(out.c_str(), back));
    EXPECT_EQ(bytes_of(back), std::vector<BYTE>(all, all + 256));
}

TEST(TextUtil, HexDigitValues)
{
    const struct {
        TCHAR c;
        int value;
    } cases[] = {
        {L'0', 0}, {L'9', 9}, {L'a', 10}, {L'f', 15}, {L'A', 10}, {L'F', 15}, {L'g', 0}, {L'G', 0}, {L' ', 0},
        // A character whose low byte is a digit is no digit.
        {static_cast<TCHAR>(0x100 + '7'), 0}, {L'\u0660', 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hex_digit_value(c.c), c.value) << static_cast<int>(c.c);
}

TEST(TextUtil, BytesOfHexText)
{
    const struct {
        const TCHAR* text;
        std::vector<BYTE> bytes;
    } cases[] = {
        {L"0f:a0", {0x0F, 0xA0}},
        {L"fa0", {0x0F, 0xA0}},
        {L"ABCDEF", {0xAB, 0xCD, 0xEF}},
        {L" 1 ", {0x01}},
        {L"de ad-be:ef", {0xDE, 0xAD, 0xBE, 0xEF}},
        {L"", {}},
        {L"xyz", {}},
    };
    for (const auto& c : cases) {
        XrByteArray out;
        out.append_byte(0x55);
        EXPECT_TRUE(hex_to_bytes(c.text, out));
        EXPECT_EQ(bytes_of(out), c.bytes) << std::wstring(c.text).size();
    }
}

TEST(TextUtil, HexDumpLines)
{
    BYTE data[20];
    for (int i = 0; i < 16; ++i)
        data[i] = static_cast<BYTE>(i);
    data[16] = 'A';
    data[17] = 127;
    data[18] = 128;
    data[19] = 31;

    char line[XR_HEX_DUMP_LINE];
    std::memset(line, 'x', sizeof line);
    format_hex_dump_line(data, data + 20, data, line);
    EXPECT_STREQ(line, "00000000:0001 0203 0405 0607 0809 0a0b 0c0d 0e0f   ................");

    std::memset(line, 'x', sizeof line);
    format_hex_dump_line(data, data + 20, data + 16, line);
    std::string expected = "00000010:417f 801f";
    expected.resize(51, ' ');
    EXPECT_EQ(std::string(line), expected + "A\x7f..");

    std::memset(line, 'x', sizeof line);
    format_hex_dump_line(data, data + 17, data + 16, line);
    expected = "00000010:41";
    expected.resize(51, ' ');
    EXPECT_EQ(std::string(line), expected + "A");

    std::memset(line, 'x', sizeof line);
    format_hex_dump_line(data, data + 20, data + 20, line);
    EXPECT_EQ(std::strlen(line), 51u);
    EXPECT_EQ(std::string(line, 9), "00000014:");
}

TEST(TextUtil, FileNameOfAPath)
{
    const struct {
        const TCHAR* path;
        int offset;
    } cases[] = {
        {L"a/b\\c.txt", 4}, {L"/abc", 0}, {L"\\abc", 0}, {L"//abc", 2}, {L"abc", 0}, {L"a/", 2}, {L"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(path_file_name(c.path), c.path + c.offset) << std::wstring(c.path).size();
}

TEST(TextUtil, FolderOfAPath)
{
    const struct {
        const TCHAR* path;
        const TCHAR* folder;
    } cases[] = {
        {L"a/b\\c.txt", L"a/b\\"}, {L"abc", L""}, {L"/abc", L"/"}, {L"a/b/", L"a/b/"}, {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(path_folder(c.path), c.folder);

    // Longer than any fixed buffer a path helper might have had.
    const std::wstring deep = std::wstring(6000, L'd') + L"/" + std::wstring(3000, L'e') + L"/name.ext";
    EXPECT_EQ(std::wstring(path_folder(deep.c_str())), deep.substr(0, 9002));
}

TEST(TextUtil, PathWithoutItsExtension)
{
    const struct {
        const TCHAR* path;
        const TCHAR* stem;
    } cases[] = {
        {L"a/b.c/d", L"a/b"}, {L"a/b.tar.gz", L"a/b.tar"}, {L".profile", L""}, {L"x.", L"x"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(path_without_extension(c.path), c.stem);

    const TCHAR* plain = L"a/b/c";
    EXPECT_EQ(path_without_extension(plain), plain) << "the path itself, not copied";

    const std::wstring deep = std::wstring(9000, L'p') + L".bin";
    EXPECT_EQ(std::wstring(path_without_extension(deep.c_str())), std::wstring(9000, L'p'));

    // The last result may be handed straight back.
    EXPECT_STREQ(path_without_extension(path_without_extension(L"a/b.tar.gz")), L"a/b");
    EXPECT_STREQ(path_folder(path_folder(L"a/b/c")), L"a/b/");
}
