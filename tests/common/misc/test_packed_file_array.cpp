#include "common/misc/xr_packed_file_array.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/container/xr_bytes.h"
#include "common/misc/xr_packedfilelayout.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/mbm_writer.h"

namespace {

std::vector<BYTE> bytes(const std::string& s)
{
    return std::vector<BYTE>(s.begin(), s.end());
}

class PackedFileArrayTest : public ::testing::Test {
protected:
    XrString write(const std::vector<BYTE>& data)
    {
        std::string path = root.write_file("/pfa.bin", std::string(data.begin(), data.end()));
        return XrString(path.c_str());
    }

    XrTempRoot root;
};

TEST_F(PackedFileArrayTest, ReadsEveryItemBehindAHead)
{
    std::vector<std::vector<BYTE>> items = {bytes("first item"), bytes(std::string(5000, 'x')), {}};
    XrString path = write(packed_file_array(bytes("HEADHEAD"), items));
    for (int i = 0; i < 3; ++i) {
        int size = -1;
        BYTE* item = XrPackedFileArray::read_item(path, 8, i, size);
        ASSERT_NE(item, nullptr) << i;
        EXPECT_EQ(std::vector<BYTE>(item, item + size), items[i]) << i;
        delete[] item;
    }
}

TEST_F(PackedFileArrayTest, IndexOutsideTheDirectoryOrMissingFileGivesNull)
{
    XrString path = write(packed_file_array({}, {bytes("only")}));
    int size = 7;
    EXPECT_EQ(XrPackedFileArray::read_item(path, 0, 1, size), nullptr);
    EXPECT_EQ(XrPackedFileArray::read_item(path, 0, -1, size), nullptr);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(XrPackedFileArray::read_item(XrString((root.dir() + "/none").c_str()), 0, 0, size), nullptr);
}

// Each case spoils one field of a one-item array (directory at 0, the entry
// behind it).
TEST_F(PackedFileArrayTest, CorruptDirectoriesAndEntriesGiveNull)
{
    namespace L = xr_packed_file_layout;
    struct Case {
        const char* what;
        std::size_t at;
        std::uint32_t value;
    };
    const std::size_t entry = L::DIRECTORY_HEAD + L::OFFSET_SIZE;
    const Case cases[] = {
        {"count past the file", L::DIRECTORY_COUNT, 0x40000000},
        {"entry offset past the file", L::DIRECTORY_HEAD, 0xFFFFFFF0},
        {"uncompressed length differs", entry + L::ENTRY_PLAIN_LENGTH, 3},
        {"huge uncompressed length", entry + L::ENTRY_PLAIN_LENGTH, 0xFFFFFFFF},
        {"compressed length past the file", entry + L::ENTRY_PACKED_LENGTH, 0x7FFFFFFF},
        {"stream damaged", entry + L::ENTRY_HEAD, 0xDEADBEEF},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> file = packed_file_array({}, {bytes("some text to pack, some text to pack")});
        xr_bytes::put_u32_le(file.data() + c.at, c.value);
        int size = 0;
        BYTE* item = XrPackedFileArray::read_item(write(file), 0, 0, size);
        EXPECT_EQ(item, nullptr) << c.what;
        delete[] item;
    }
}

TEST_F(PackedFileArrayTest, TruncatedFileGivesNull)
{
    std::vector<BYTE> file = packed_file_array({}, {bytes("some text to pack")});
    for (std::size_t cut : {std::size_t(2), std::size_t(6), std::size_t(12), file.size() - 1}) {
        std::vector<BYTE> part(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut));
        int size = 0;
        EXPECT_EQ(XrPackedFileArray::read_item(write(part), 0, 0, size), nullptr) << cut;
    }
}

TEST(PackedFileArrayDeathTest, AppendingIsNotAvailable)
{
    EXPECT_DEATH(XrPackedFileArray::append_data(XrString("x"), nullptr, 0), "false");
}

} // namespace
