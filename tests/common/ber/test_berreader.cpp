#include "common/ber/xr_berreader.h"

#include <gtest/gtest.h>

#include "common/ber/xr_berrecord.h"
#include "common/storage/xr_storageaccessor.h"
#include "tests/common/ber/ber_test_util.h"

namespace {

XrMemoryStorageAccessor over(Bytes& b)
{
    return XrMemoryStorageAccessor(true, b.data(), static_cast<std::uint32_t>(b.size()), false);
}

} // namespace

TEST(XrStorageReader, BytesAndWords)
{
    Bytes b = hex("01 44 33 22 11 AA BB");
    XrMemoryStorageAccessor a = over(b);
    XrStorageReader r(&a);
    BYTE one = 0;
    EXPECT_EQ(r.read_byte(one), XrStorageReader::OK);
    EXPECT_EQ(one, 1);
    std::uint32_t word = 0;
    EXPECT_EQ(r.read_u32(word), XrStorageReader::OK);
    EXPECT_EQ(word, 0x11223344u);
    EXPECT_EQ(r.get_position(), 5u);
    BYTE rest[4] = {};
    EXPECT_EQ(r.read_bytes(rest, 3), XrStorageReader::END);
    EXPECT_EQ(r.get_position(), 5u);
    EXPECT_EQ(r.read_bytes(rest, 2), XrStorageReader::OK);
    EXPECT_EQ(rest[1], 0xBB);
    EXPECT_EQ(r.read_byte(one), XrStorageReader::END);
}

TEST(XrBerReader, Items)
{
    struct Case {
        const char* what;
        Bytes storage;
        std::vector<Bytes> items; // read in order
        int last;                 // result after them
    } cases[] = {
        {"empty storage", hex(""), {}, XrBerReader::END},
        {"two items", hex("02 01 07 04 02 41 42"), {hex("02 01 07"), hex("04 02 41 42")}, XrBerReader::END},
        {"short length past the end", hex("04 05 41"), {}, XrBerReader::END},
        {"long length past the end", hex("04 81 05 41"), {}, XrBerReader::FAILED},
        {"long form length", hex("04 82 00 03 41 42 43"), {hex("04 82 00 03 41 42 43")}, XrBerReader::END},
        {"high tag number", hex("1F 81 48 01 09"), {hex("1F 81 48 01 09")}, XrBerReader::END},
        {"indefinite length", hex("30 80 02 01 01 00 00"), {}, XrBerReader::FAILED},
        {"five length octets", hex("04 85 00 00 00 00 01 41"), {}, XrBerReader::FAILED},
        {"huge length", hex("04 84 FF FF FF FF 00"), {}, XrBerReader::FAILED},
        {"tag cut by the end", hex("02 01 01 1F 81"), {hex("02 01 01")}, XrBerReader::END},
        {"tag number too long", hex("1F 81 81 81 81 81 01 00"), {}, XrBerReader::FAILED},
        {"length octets cut", hex("04 82 00"), {}, XrBerReader::FAILED},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        XrMemoryStorageAccessor a = over(c.storage);
        XrBerReader reader(&a);
        for (const Bytes& expected : c.items) {
            XrBerRecord* rec = nullptr;
            ASSERT_EQ(reader.read_record(&rec), XrBerReader::OK);
            EXPECT_EQ(bytes_of(rec), expected);
            EXPECT_TRUE(rec->owns_data());
            delete rec;
        }
        XrBerRecord* rec = nullptr;
        EXPECT_EQ(reader.read_record(&rec), c.last);
        EXPECT_EQ(rec, nullptr);
    }
}

TEST(XrBerReader, ChildrenOfARecordRead)
{
    Bytes b = hex("31 06 02 01 05 02 01 07");
    XrMemoryStorageAccessor a = over(b);
    XrBerReader reader(&a);
    XrBerRecord* set = nullptr;
    ASSERT_EQ(reader.read_record(&set), XrBerReader::OK);
    EXPECT_TRUE(set->is(XR_BER_UNIVERSAL, true, XR_BER_SET));
    XrBerRecord* child = nullptr;
    ASSERT_EQ(set->read_next(&child), XR_BER_OK);
    EXPECT_EQ(bytes_of(child), hex("02 01 05"));
    delete child;
    delete set;
}
