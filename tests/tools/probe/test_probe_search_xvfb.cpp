// kestrova-probe search on a map folder with an address database, a
// settlement layer and a POI set.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "probe_run.h"
#include "support/xr_temp_root.h"
#include "tests/common/corvanel_core/impl/map_folder.h"

namespace {

class ProbeSearch : public ::testing::Test {
protected:
    void SetUp() override
    {
        card = root.dir() + "/card/";
        write_static_configuration(card);
        write_test_map(card + "mapdata");
        const std::string set = card + "mapdata/poi/shops";
        write_bytes(set + "/shops.poi", "REGEDIT4\n[\\data]\ndata=data.qt\ninternal_type=1\n"
                                        "[\\data\\name\\ENG]\n0=Shops\n");
        XrTextGeomRec a(1, 100, 100, 0, 0, "Corner Shop");
        XrTextGeomRec b(2, 5000, 100, 0, 0, "Book Shop");
        XrTextGeomRec c(3, 300, 100, 0, 0, "Bakery");
        std::vector<XrGeomRec*> recs = {&a, &b, &c};
        std::string error;
        ASSERT_TRUE(write_xrqt(set + "/data.qt", recs, XrGeomFileOptions(), error)) << error;
    }

    ProbeRun search(const std::string& args) { return run_probe("search " + card + " " + args); }

    XrTempRoot root;
    std::string card;
};

TEST_F(ProbeSearch, EachKindPrintsItsResults)
{
    ProbeRun poi = search("poi book");
    EXPECT_EQ(poi.status, 0) << poi.out;
    EXPECT_NE(poi.out.find("Book Shop"), std::string::npos) << poi.out;
    EXPECT_EQ(poi.out.find("Corner Shop"), std::string::npos) << poi.out;
    // "shop" is also the class name of the set: all three, nearest first.
    ProbeRun near = search("poi shop --at 0.001,0.001");
    EXPECT_EQ(near.status, 0) << near.out;
    EXPECT_LT(near.out.find("Corner Shop"), near.out.find("Bakery")) << near.out;
    EXPECT_LT(near.out.find("Bakery"), near.out.find("Book Shop")) << near.out;

    ProbeRun street = search("street main");
    EXPECT_EQ(street.status, 0) << street.out;
    EXPECT_NE(street.out.find("Main Street"), std::string::npos) << street.out;

    ProbeRun city = search("city main");
    EXPECT_EQ(city.status, 0) << city.out;
    EXPECT_NE(city.out.find("Main square"), std::string::npos) << city.out;

    ProbeRun more = search("continuations ma");
    EXPECT_EQ(more.status, 0) << more.out;

    EXPECT_EQ(search("nothing x").status, 2);
    EXPECT_EQ(run_probe("search /nonexistent poi x").status, 1);
}

} // namespace
