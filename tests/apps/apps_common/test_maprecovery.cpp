// The map recovery on a card below a temporary root: which folder becomes
// the active map, what is moved aside and marked, and when it gives up.
#include "apps/apps_common/xr_maprecovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/xr_temp_root.h"

namespace fs = std::filesystem;

namespace {

std::string ini(const char* name)
{
    return std::string("REGEDIT4\n\n[\\general]\nprojection=wgs84://0,1,0,0\nname=") + name + "\n";
}

class MapRecoveryUnitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.write_file("/usr/share/kestrova/atlantis/mapdata.ini", ini("Atlantis"));
        root.write_file("/usr/share/kestrova/atlantis/graph.bin", "demo graph");
        root.make_dirs("/media/mmc1/map/kestrova");
    }
    std::string card() const { return root.dir() + "/media/mmc1/map/"; }
    std::string demo() const { return root.dir() + "/usr/share/kestrova/atlantis"; }
    void map(const std::string& folder, const char* name)
    {
        root.write_file("/media/mmc1/map/" + folder + "/mapdata.ini", ini(name));
        root.write_file("/media/mmc1/map/" + folder + "/graph.bin", std::string(name) + " graph");
    }
    std::string names() const
    {
        std::vector<std::string> found;
        for (const auto& e : fs::directory_iterator(card()))
            found.push_back(e.path().filename().string());
        std::sort(found.begin(), found.end());
        std::string out;
        for (const std::string& n : found)
            out += n + " ";
        return out;
    }
    std::string read(const std::string& relative) const { return XrTempRoot::read_file(card() + relative); }

    XrTempRoot root;
};

TEST_F(MapRecoveryUnitTest, InstalledDemoMapIsActivatedAndTheBrokenMapKeptWhole)
{
    map("mapdata", "Region");
    map("mapdata_Atlantis", "Atlantis");
    std::string reason;
    ASSERT_EQ(xr_recover_corrupted_map(card(), demo(), reason), XrMapRecoveryResult::RESTART) << reason;
    EXPECT_EQ(read("mapdata/graph.bin"), "Atlantis graph");
    EXPECT_TRUE(fs::exists(card() + "mapdata/.recovered"));
    // The broken map is aside under its name, with its files and a marker.
    EXPECT_EQ(read("mapdata_Region/mapdata.ini"), ini("Region"));
    EXPECT_TRUE(xr_map_marked_corrupted(card() + "mapdata_Region"));
    // Once it opened, the demo map is no longer a fresh recovery.
    xr_map_recovery_confirm(card());
    EXPECT_FALSE(fs::exists(card() + "mapdata/.recovered"));
}

TEST_F(MapRecoveryUnitTest, BrokenDemoMapMovesAsideUnderTheNextFreeNameAndACopyComesIn)
{
    map("mapdata", "Atlantis");
    map("mapdata_Corrupted", "Atlantis");
    root.write_file("/media/mmc1/map/mapdata_Corrupted/.corrupted", "earlier\n");
    std::string reason;
    ASSERT_EQ(xr_recover_corrupted_map(card(), demo(), reason), XrMapRecoveryResult::RESTART) << reason;
    // The earlier damaged Atlantis is not taken for an installed demo map.
    EXPECT_EQ(names(), "kestrova mapdata mapdata_Corrupted mapdata_Corrupted2 ");
    EXPECT_EQ(read("mapdata_Corrupted2/graph.bin"), "Atlantis graph");
    EXPECT_TRUE(xr_map_marked_corrupted(card() + "mapdata_Corrupted2"));
    EXPECT_EQ(read("mapdata/graph.bin"), "demo graph");
}

TEST_F(MapRecoveryUnitTest, EndsWithoutRestartWhenNoUsableMapCanBeMade)
{
    struct Case {
        const char* what;
        bool recovered_demo; // the active map was put in place by a recovery
        bool demo_shipped;
        const char* reason;
    };
    const Case cases[] = {
        {"the recovered demo cannot open", true, true, "cannot be opened either"},
        {"no shipped demo map", false, false, "no demo map"},
    };
    for (const Case& c : cases) {
        fs::remove_all(card());
        root.make_dirs("/media/mmc1/map/kestrova");
        map("mapdata", "Atlantis");
        if (c.recovered_demo)
            root.write_file("/media/mmc1/map/mapdata/.recovered", "");
        if (!c.demo_shipped)
            fs::remove_all(demo());
        std::string reason;
        EXPECT_EQ(xr_recover_corrupted_map(card(), demo(), reason), XrMapRecoveryResult::GAVE_UP) << c.what;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.what << ": " << reason;
    }
}

TEST_F(MapRecoveryUnitTest, NoActiveMapGetsTheDemoCopy)
{
    std::string reason;
    ASSERT_EQ(xr_recover_corrupted_map(card(), demo(), reason), XrMapRecoveryResult::RESTART) << reason;
    EXPECT_EQ(names(), "kestrova mapdata ");
    EXPECT_EQ(read("mapdata/mapdata.ini"), ini("Atlantis"));
}

} // namespace
