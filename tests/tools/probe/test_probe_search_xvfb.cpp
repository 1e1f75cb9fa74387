// kestrova-probe search on a map folder with an address database, a
// settlement layer and a POI set.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "probe_run.h"
#include "support/xr_temp_root.h"
#include "tests/common/corvanel_core/impl/map_folder.h"

namespace {

struct ProbeFiles {
    static std::string read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

class ProbeSearch : public ::testing::Test {
protected:
    void SetUp() override
    {
        card = root.dir() + "/card/";
        write_static_configuration(card);
        // The map's own POIs: the POI layer over a geometry file.
        std::string conf = ProbeFiles::read(card + "kestrova/maemo.reg");
        const std::string memory = "storage=memory";
        ASSERT_NE(conf.find(memory), std::string::npos);
        conf.replace(conf.find(memory), memory.size(), "storage=simple\nresource=?:/mapdata/poi.qt");
        write_bytes(card + "kestrova/maemo.reg", conf);
        write_test_map(card + "mapdata");
        XrTextGeomRec fuel(7, 200, 300, 5, 0, "Harbour Fuel");
        std::vector<XrGeomRec*> own = {&fuel};
        std::string err;
        ASSERT_TRUE(write_xrqt(card + "mapdata/poi.qt", own, XrGeomFileOptions(), err)) << err;
        write_bytes(root.dir() + "/usr/share/kestrova/poi.reg", "REGEDIT4\n[\\poi\\default]\n5=Fuel stations\n");
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

    // The map's own POI, of a class of the program's catalogue, found by its class name too.
    ProbeRun fuel = search("poi fuel");
    EXPECT_NE(fuel.out.find("Harbour Fuel"), std::string::npos) << fuel.out;

    EXPECT_EQ(search("nothing x").status, 2);
    EXPECT_EQ(run_probe("search /nonexistent poi x").status, 1);
}

} // namespace
