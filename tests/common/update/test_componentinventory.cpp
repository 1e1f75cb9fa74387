#include "common/update/xr_componentinventory.h"
#include "tests/support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

const XrInventoryTables::RootPrefix root_prefixes[] = {
    {"KESTROVA-OLD", L"old/", L"kestrova/version/version.txt"},
    {"KESTROVA-NEW", L"", L"kestrova/version/version.txt"},
};
const XrInventoryTables::PartnerExtension partners[] = {{L"fuel.nce", "PARTNER-FUEL"}};
const XrInventoryTables::Voice voices[] = {{L"sound_cze", L"eva", "VOICE-EVA"}};
const XrInventoryTables::MapRegion regions[] = {{L"Atlantis", "MAP-ATLANTIS"}};

XrInventoryTables tables()
{
    XrInventoryTables t;
    t.root_prefixes = root_prefixes;
    t.num_root_prefixes = 2;
    t.partner_extensions = partners;
    t.num_partner_extensions = 1;
    t.voices = voices;
    t.num_voices = 1;
    t.map_regions = regions;
    t.num_map_regions = 1;
    return t;
}

class Inventory : public XrComponentInventory {
public:
    using XrComponentInventory::XrComponentInventory;
    std::vector<std::string> statuses;

protected:
    void report_status(const XrString& text) override { statuses.push_back(wide_to_narrow_static(text.c_str())); }
};

std::string text_of(const XrComponentInventory& inv)
{
    XrByteArray out;
    EXPECT_TRUE(inv.format_components(out));
    return std::string(reinterpret_cast<const char*>(out.get_items()), (size_t)out.get_num_items());
}

std::string version_file(const std::string& guid, const std::string& version)
{
    return "GUID: " + guid + "\r\nVersion: " + version + "\r\n";
}

std::string ini(const std::string& name)
{
    return "REGEDIT4\n\n[\\general]\nname=\"" + name + "\"\n";
}

TEST(ComponentInventory, RegisterKeepsHighestVersion)
{
    struct Case {
        unsigned second[4];
        const char* expected;
    };
    const Case cases[] = {
        {{1, 2, 3, 3}, "Map|1.2.3.4"},
        {{1, 2, 3, 4}, "Map|1.2.3.4"},
        {{1, 2, 3, 5}, "MAP|1.2.3.5"},
        {{2, 0, 0, 0}, "MAP|2.0.0.0"},
        {{0, 9, 9, 9}, "Map|1.2.3.4"},
    };
    const XrInventoryTables none;
    for (const Case& c : cases) {
        XrComponentInventory inv(none);
        ASSERT_TRUE(inv.register_component("Map", 1, 2, 3, 4));
        ASSERT_TRUE(inv.register_component("MAP", c.second[0], c.second[1], c.second[2], c.second[3]));
        EXPECT_EQ(text_of(inv), c.expected);
    }
    XrComponentInventory inv(none);
    const std::string long_id(80, 'x');
    inv.register_component(long_id.c_str(), 1, 0, 0, 0);
    inv.register_component("other", 1, 0, 0, 0);
    inv.register_component("Kart\xe9", 1, 0, 0, 0);
    inv.register_component("KARTE", 2, 0, 0, 0); // accents and case do not count
    EXPECT_EQ(text_of(inv), std::string(63, 'x') + "|1.0.0.0\nother|1.0.0.0\nKARTE|2.0.0.0");
}

TEST(ComponentInventory, ReadVersionFile)
{
    XrTempRoot root;
    struct Case {
        const char* content;
        bool ok;
    };
    const Case cases[] = {
        {"GUID: G1\nVersion: 1.2.3.4\n", true},
        {"Version: 1.2.3.4\n", false},
        {"GUID: G1\n", false},
        {"GUID: G1\nVersion: 1.2.3\n", false},
        {"GUID: G1\nVersion: 1.2.3.x\n", false},
    };
    const XrInventoryTables none;
    for (const Case& c : cases) {
        XrComponentInventory inv(none);
        std::string path = root.write_file("/v/version.txt", c.content);
        EXPECT_EQ(inv.read_version_file(XrString(path.c_str())), c.ok) << c.content;
        EXPECT_EQ(inv.get_components().get_num_items(), c.ok ? 1 : 0);
    }
    XrComponentInventory inv(none);
    EXPECT_FALSE(inv.read_version_file(XrString(L"/nonexistent/version.txt")));
}

class InventoryPass : public ::testing::Test {
protected:
    void put(const std::string& rel, const std::string& content) { root.write_file(map + rel, content); }
    bool exists(const std::string& rel) const
    {
        struct stat st;
        return stat((root.dir() + map + rel).c_str(), &st) == 0;
    }
    bool build() { return inv.build_inventory(XrString((root.dir() + map).c_str())); }

    XrTempRoot root;
    const std::string map = "/media/mmc1/map/";
    XrInventoryTables t = tables();
    Inventory inv{t};
};

TEST_F(InventoryPass, BuildsFromCardContent)
{
    put("kestrova/version/version.txt", version_file("KESTROVA-NEW", "3.0.0.1"));
    put("versions/a.txt", version_file("EXTRA", "1.0.0.0"));
    put("mapdata/mapdata.ini", ini("Nordic"));
    put("mapdata/version.txt", version_file("MAP-NORDIC", "5.1.0.0"));
    put("mapdata2/mapdata.ini", ini("Atlantis"));
    put("mapdata2/mapdata.ver", "4.3.2.1#7#8#rest");
    put("mapdata3/readme", "no mapdata.ini: skipped");
    put("extensions/fuel.nce", "x");
    put("extensions/installed/other.nce", "x");
    put("kestrova/sounds/sound_cze/eva/voice.ogg", "x");
    put("kestrova/sounds/sound_eng/john/version.txt", version_file("VOICE-JOHN", "2.1.0.0"));
    put("kestrova/sounds/sound_eng/nobody/voice.ogg", "x");

    ASSERT_TRUE(build());
    EXPECT_EQ(inv.get_old_root_prefix(), XrString(L""));
    EXPECT_EQ(inv.get_active_mapdata_name(), XrString(L"mapdata_Nordic"));
    EXPECT_TRUE(exists("mapdata/mapdata.ini"));
    EXPECT_TRUE(exists("mapdata_Atlantis/mapdata.ver"));
    EXPECT_FALSE(exists("mapdata2"));
    EXPECT_TRUE(inv.statuses.empty());

    std::string text = text_of(inv);
    for (const char* line : {"KESTROVA-NEW|3.0.0.1", "EXTRA|1.0.0.0", "MAP-NORDIC|5.1.0.0", "MAP-ATLANTIS|4.3.2.1",
                             "PARTNER-FUEL|1.0.0.0", "VOICE-EVA|2.0.0.0", "VOICE-JOHN|2.1.0.0"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
    EXPECT_EQ(inv.get_components().get_num_items(), 7) << text;

    // A second pass starts afresh and finds the renamed folder.
    ASSERT_TRUE(build());
    EXPECT_EQ(text_of(inv), text);
}

TEST_F(InventoryPass, OldRootPrefix)
{
    put("old/kestrova/version/version.txt", version_file("KESTROVA-OLD", "1.0.0.0"));
    put("old/mapdata/mapdata.ini", ini("Nordic"));
    ASSERT_TRUE(build());
    EXPECT_EQ(inv.get_old_root_prefix(), XrString(L"old/"));
    EXPECT_EQ(inv.get_active_mapdata_name(), XrString(L"mapdata_Nordic"));
    EXPECT_EQ(text_of(inv), "KESTROVA-OLD|1.0.0.0");
}

TEST_F(InventoryPass, FailingSteps)
{
    put("versions/bad.txt", "GUID: X\n");
    EXPECT_FALSE(build());
    ASSERT_EQ(remove((root.dir() + map + "versions/bad.txt").c_str()), 0);
    put("mapdata5/mapdata.ini", "REGEDIT4\n\n[\\general]\nother=\"x\"\n");
    EXPECT_FALSE(build());
}

TEST_F(InventoryPass, UnsafeOrTakenNameIsNotRenamed)
{
    put("mapdata2/mapdata.ini", ini("../../escape"));
    put("mapdata2/version.txt", version_file("MAP-2", "1.0.0.0"));
    put("mapdata3/mapdata.ini", ini("Taken"));
    put("mapdata3/version.txt", version_file("MAP-3", "1.0.0.0"));
    put("mapdata_Taken/keep/file", "x"); // a non-empty folder cannot be replaced
    ASSERT_TRUE(build());
    EXPECT_TRUE(exists("mapdata2/mapdata.ini"));
    EXPECT_TRUE(exists("mapdata3/mapdata.ini"));
    ASSERT_EQ(inv.statuses.size(), 2u);
    EXPECT_EQ(inv.statuses[0].rfind("DEBUG: Failed to rename mapdata ", 0), 0u) << inv.statuses[0];
    // The folders are still reported under their old names.
    std::string text = text_of(inv);
    EXPECT_NE(text.find("MAP-2|1.0.0.0"), std::string::npos) << text;
    EXPECT_NE(text.find("MAP-3|1.0.0.0"), std::string::npos) << text;
}

} // namespace
