#include "common/update/xr_packagereader.h"
#include "common/update/xr_packagelayout.h"
#include "tests/support/xr_temp_root.h"
#include "tools/mapgen/package_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace L = xr_package_layout;

class PackageReaderTest : public ::testing::Test {
protected:
    std::string write(const std::vector<BYTE>& bytes)
    {
        std::string path = root.dir() + "/pkg" + std::to_string(count++) + ".gz";
        XrPackageWriter().raw(bytes).save(path);
        return path;
    }

    // Everything the reader delivers, in reads of the given size; the last
    // result (0 or -1) goes to last.
    std::string read_all(const std::string& path, int chunk, int& last)
    {
        XrPackageReader reader;
        EXPECT_TRUE(reader.open(XrString(path.c_str())));
        std::string out;
        std::vector<BYTE> buf(chunk);
        for (;;) {
            last = reader.read(buf.data(), chunk);
            if (last <= 0)
                break;
            out.append(buf.begin(), buf.begin() + last);
        }
        return out;
    }

    XrTempRoot root;
    int count = 0;
};

std::string pattern_text(int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += (char)('a' + (i * 7 + i / 13) % 26);
    return s;
}

TEST_F(PackageReaderTest, ReadsMembersBackToBackInAnyChunkSize)
{
    std::string a = pattern_text(10000), b = "second member", c;
    XrPackageWriter::Member header_fields;
    header_fields.data.assign(b.begin(), b.end());
    header_fields.name = "file.bin";
    header_fields.comment = "a comment";
    header_fields.extra = {1, 2, 3, 4, 5};
    header_fields.header_crc = true;
    XrPackageWriter w;
    w.add(a).add(header_fields).add(c);
    std::string path = write(w.bytes());
    for (int chunk : {1, 7, 4096, 100000}) {
        int last = 1;
        EXPECT_EQ(read_all(path, chunk, last), a + b) << chunk;
        EXPECT_EQ(last, 0) << chunk;
    }
}

TEST_F(PackageReaderTest, PlainAndEmptyFilesAreDeliveredAsTheyAre)
{
    struct Case {
        std::string content;
        bool transparent;
    } cases[] = {{"plain text\nover lines\n", true}, {"x", true}, {"", false}, {pattern_text(9000), true}};
    for (const Case& c : cases) {
        std::string path = write(std::vector<BYTE>(c.content.begin(), c.content.end()));
        XrPackageReader reader;
        ASSERT_TRUE(reader.open(XrString(path.c_str())));
        EXPECT_EQ(reader.is_transparent(), c.transparent);
        int last = 1;
        EXPECT_EQ(read_all(path, 1000, last), c.content);
        EXPECT_EQ(last, 0);
    }
}

TEST_F(PackageReaderTest, WrongCrcGivesTheBytesThenAnError)
{
    XrPackageWriter::Member m;
    std::string text = "payload";
    m.data.assign(text.begin(), text.end());
    m.crc_xor = 1;
    std::string path = write(XrPackageWriter().add(m).bytes());
    XrPackageReader reader;
    ASSERT_TRUE(reader.open(XrString(path.c_str())));
    BYTE buf[64];
    EXPECT_EQ(reader.read(buf, sizeof buf), (int)text.size());
    EXPECT_EQ(std::string(buf, buf + text.size()), text);
    EXPECT_EQ(reader.read(buf, sizeof buf), -1);
    EXPECT_EQ(reader.get_state(), XrPackageReader::STATE_DATA_ERROR);
    EXPECT_EQ(reader.read(buf, sizeof buf), -1);
}

TEST_F(PackageReaderTest, DamagedFilesAreDataErrors)
{
    std::vector<BYTE> good = XrPackageWriter().add(pattern_text(3000)).bytes();
    std::vector<BYTE> cut_body(good.begin(), good.begin() + good.size() / 2);
    std::vector<BYTE> cut_trailer(good.begin(), good.end() - 6);
    std::vector<BYTE> bad_method = good;
    bad_method[L::METHOD_OFFSET] = 7;
    std::vector<BYTE> reserved_flag = good;
    reserved_flag[L::FLAGS_OFFSET] = 0x20;
    std::vector<BYTE> cut_header(good.begin(), good.begin() + 6);
    std::vector<BYTE> huge_extra = {L::MAGIC_0, L::MAGIC_1, L::METHOD_DEFLATE, L::FLAG_EXTRA, 0, 0, 0, 0, 0, L::OS_UNIX,
                                    0xff, 0xff, 1, 2};
    std::vector<BYTE> garbage_body = {L::MAGIC_0, L::MAGIC_1, L::METHOD_DEFLATE, 0, 0, 0, 0, 0, 0, L::OS_UNIX,
                                      0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0};
    for (const auto& bytes : {cut_body, cut_trailer, bad_method, reserved_flag, cut_header, huge_extra, garbage_body}) {
        int last = 0;
        std::string path = write(bytes);
        read_all(path, 512, last);
        EXPECT_EQ(last, -1) << bytes.size();
    }
}

TEST_F(PackageReaderTest, BytesAfterTheLastMemberAreIgnored)
{
    std::string path = write(XrPackageWriter().add(std::string("data")).raw({'j', 'u', 'n', 'k'}).bytes());
    int last = 1;
    EXPECT_EQ(read_all(path, 3, last), "data");
    EXPECT_EQ(last, 0);
}

TEST_F(PackageReaderTest, ByteReadsAndClosedReader)
{
    std::string path = write(XrPackageWriter().add(std::string("ab")).bytes());
    XrPackageReader reader;
    BYTE b;
    EXPECT_EQ(reader.read(&b, 1), -1);
    EXPECT_EQ(reader.get_state(), XrPackageReader::STATE_NOT_OPEN);
    EXPECT_FALSE(reader.open(XrString((root.dir() + "/missing.gz").c_str())));
    ASSERT_TRUE(reader.open(XrString(path.c_str())));
    EXPECT_EQ(reader.read(&b, 0), 0);
    EXPECT_EQ(reader.read_byte(), 'a');
    EXPECT_EQ(reader.read_byte(), 'b');
    EXPECT_EQ(reader.read_byte(), -1);
    EXPECT_EQ(reader.read(&b, 1), 0);
    reader.close();
    EXPECT_EQ(reader.read(&b, 1), -1);
}

} // namespace
