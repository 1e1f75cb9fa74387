// The maps window's list files and sizes: records of the update server's
// map and voice lists as the window shows them, and the progress bar's
// weighting of the four update stages.
#include "apps/maemo_map/xr_maemomapsdlg.h"
#include "apps/maemo_map/xr_updateprogress.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string n(const XrString& s)
{
    std::string out;
    for (int i = 0; i < s.length(); ++i) {
        const unsigned c = unsigned(s.char_at(i));
        out += c < 0x80 ? char(c) : '?';
    }
    return out;
}

TEST(MapsList, RecordsOfMapAndVoiceLists)
{
    const struct {
        const char* what;
        std::string bytes;
        bool maps;
        // name|guid|version|size|need for each record, ';'-joined
        std::string expected;
    } cases[] = {
        {"map with need and version", "North;g1;1000;2000;1.2\n", true, "North|g1|1.2|1000|2000"},
        {"three fields need 1.3 times the size", "North;g1;2097152\n", true, "North|g1||2097152|2726297"},
        {"voice record has no version", "Eve;v1;10;20;ignored\n", false, "Eve|v1||10|20"},
        {"over 2 GiB stays exact", "Big;g;3000000000\n", true, "Big|g||3000000000|3900000000"},
        {"empty line ends the list", "A;a;1\n\nB;b;2\n", true, "A|a||1|1"},
        {"short record ends the list", "A;a;1\nB;b\nC;c;3\n", true, "A|a||1|1"},
        {"bytes after the last line feed", "A;a;1\nB;b;2", true, "A|a||1|1"},
        {"bad sizes are skipped", "A;a;x1\nB;b;-5\nC;c;12;y\nD;d;4\n", true, "D|d||4|5"},
        {"too many digits", "A;a;1234567890123456789\nD;d;4\n", true, "D|d||4|5"},
        {"no guid", "A;;1\nD;d;4\n", true, "D|d||4|5"},
        {"nothing", "", true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string got;
        for (const auto& r : xr_parse_content_list(c.bytes, c.maps)) {
            if (!got.empty())
                got += ";";
            got += n(r.name) + "|" + n(r.guid) + "|" + n(r.version) + "|" + std::to_string(r.size) + "|" +
                   std::to_string(r.need);
        }
        EXPECT_EQ(got, c.expected);
    }
}

TEST(MapsList, NamesAreLatin1)
{
    const auto records = xr_parse_content_list("Gen\xe8ve;g;1\n", true);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].name.length(), 6);
    EXPECT_EQ(unsigned(records[0].name.char_at(3)), 0xe8u);
}

TEST(MapsList, SizesInKilobytesUpToOneMegabyte)
{
    const struct {
        std::uint64_t bytes;
        const char* text;
    } cases[] = {
        {0, "0 kB"}, {1023, "0 kB"}, {1048576, "1024 kB"}, {2097152, "2 MB"}, {5000000000ULL, "4768 MB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(n(xr_format_content_size(c.bytes)), c.text) << c.bytes;
}

TEST(UpdateProgressBar, StagesShareTheBar)
{
    const struct {
        int stage;
        double fraction, bar;
    } cases[] = {
        {0, 0.0, 0.0}, {0, 1.0, 0.1}, {1, 0.5, 0.35}, {2, 1.0, 0.7}, {3, 1.0, 1.0}, {3, 2.0, 1.0}, {1, -1.0, 0.1},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(XrUpdateProgress::overall_fraction(c.stage, c.fraction), c.bar, 1e-9)
            << c.stage << " " << c.fraction;
}

} // namespace
