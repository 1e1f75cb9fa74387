// The compiled catalogue reader: the catalogue msgfmt makes, and bytes that
// are not one.
#include "common/misc/xr_mocatalogue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/container/xr_bytes.h"
#include "common/misc/xr_molayout.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/mo_writer.h"

namespace {

namespace L = xr_mo_layout;

TEST(MoCatalogueTest, ReadsBothByteOrders)
{
    for (bool big : {false, true}) {
        const std::vector<BYTE> bytes =
            write_mo_catalogue({{"", "Content-Type: text/plain; charset=UTF-8\n"}, {"r_str_a", "A text"},
                            {"r_str_b", "Caf\xC3\xA9"}, {"r_str_empty", ""}},
                           big);
        XrMoCatalogue c;
        ASSERT_TRUE(c.parse(bytes.data(), bytes.size())) << big;
        EXPECT_STREQ(c.find("r_str_a"), "A text");
        EXPECT_STREQ(c.find("r_str_b"), "Caf\xC3\xA9");
        // The header entry and an empty text give nothing.
        EXPECT_EQ(c.find(""), nullptr);
        EXPECT_EQ(c.find("r_str_empty"), nullptr);
        EXPECT_EQ(c.find("r_str_missing"), nullptr);
        EXPECT_EQ(c.size(), 2u);
    }
}

TEST(MoCatalogueTest, RefusesBytesThatAreNoCatalogue)
{
    const std::vector<BYTE> good = write_mo_catalogue({{"r_str_a", "A"}}, false);
    struct Case {
        const char* what;
        std::size_t offset; // where the damage goes
        std::uint32_t value;
        std::size_t keep; // bytes kept (0: all)
    };
    const Case cases[] = {
        {"wrong magic", L::HEADER_MAGIC, 0x12345678u, 0},
        {"count beyond the bytes", L::HEADER_COUNT, 0x10000000u, 0},
        {"table beyond the bytes", L::HEADER_TRANSLATIONS, 0xFFFFFFF0u, 0},
        {"string beyond the bytes", L::HEADER_SIZE + L::DESCRIPTOR_OFFSET, 0x7FFFFFFFu, 0},
        {"string longer than the bytes", L::HEADER_SIZE + L::DESCRIPTOR_LENGTH, 0xFFFFFFFFu, 0},
        {"cut in the header", 0, 0, 20},
        {"cut before the last NUL", 0, 0, good.size() - 1},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> bytes = good;
        if (c.keep != 0)
            bytes.resize(c.keep);
        else
            xr_bytes::put_u32_le(bytes.data() + c.offset, c.value);
        XrMoCatalogue catalogue;
        EXPECT_FALSE(catalogue.parse(bytes.data(), bytes.size())) << c.what;
        EXPECT_EQ(catalogue.find("r_str_a"), nullptr) << c.what;
    }
    XrMoCatalogue none;
    EXPECT_FALSE(none.parse(nullptr, 0));
}

// The catalogue the build compiles from po/en.po reads through the same
// reader (the program's English fallback).
TEST(MoCatalogueTest, LoadsTheBuiltEnglishCatalogue)
{
    XrTempRoot root;
    XrMoCatalogue c;
    ASSERT_TRUE(c.load(root.dir() + "/usr/share/locale/en/LC_MESSAGES/kestrova.mo"))
        << "compiled catalogue missing (build target xr_catalogue)";
    EXPECT_STREQ(c.find("r_str_app_name"), "Kestrova Navigator");
    EXPECT_STREQ(c.find("r_str_msg_no_route_found"), "No route found");
    EXPECT_GT(c.size(), 300u);
    XrMoCatalogue missing;
    EXPECT_FALSE(missing.load(root.dir() + "/no/such.mo"));
}

} // namespace
