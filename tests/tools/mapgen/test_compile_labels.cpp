// Place labels of compiled maps: the text type (and so the scales that show
// it) from the place class, the population and how many places the map has.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "common/db/xr_simplegeomstorage.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/compile_osm.h"
#include "tools/mapgen/xr_osm_text_test.h"

namespace fs = std::filesystem;

namespace {

// Name (up to the TAB) -> text type of the map text layer's records.
std::map<std::string, int> label_types(const std::string& path)
{
    std::map<std::string, int> out;
    auto* file = new XrFileStorageAccessor();
    if (!file->open(XrString(path.c_str()), true)) {
        delete file;
        return out;
    }
    XrSimpleGeomStorage storage(file, true, false, nullptr);
    if (storage.open() != 0)
        return out;
    std::unique_ptr<XrGeomCursor> cur(storage.get_cursor(nullptr, 0));
    const BYTE* rec = nullptr;
    XrGeomStorage::XrRecordType kind;
    while (cur && cur->get_next_record(rec, kind) == XrGeomCursor::OK) {
        int id = 0, x = 0, y = 0;
        short type = 0, aux = 0;
        const TCHAR* text = nullptr;
        const BYTE* attributes = nullptr;
        if (kind != XrGeomStorage::RecText || !cur->get_txt(rec, id, x, y, type, aux, text, attributes, 0, nullptr))
            continue;
        std::string name;
        for (const TCHAR* p = text; p != nullptr && *p != 0 && *p != '\t'; ++p)
            name += static_cast<char>(*p);
        out[name] = type;
    }
    return out;
}

TEST(CompileLabels, PlacesNamedByClassPopulationAndHowManyTheMapHas)
{
    // A small country: its capital (a town), a village of 12,000 people,
    // fifteen more villages of 1,000 to 8,000 people (V1 the largest), two
    // hamlets, and a suburb of a city of 150,000 tagged as a town.
    OsmText o;
    o.node(1, 0, 0);
    o.node(2, 30000, 0);
    o.way(10, {1, 2}, {{"highway", "primary"}});
    int id = 100;
    auto place = [&](const std::string& kind, const std::string& name, int population) {
        std::map<std::string, std::string> tags = {{"place", kind}, {"name", name}};
        if (population > 0)
            tags["population"] = std::to_string(population);
        o.node(id, 1500.0 * (id - 100), 900, tags);
        ++id;
    };
    place("town", "Capital", 30000);
    place("village", "Big Village", 12000);
    for (int k = 1; k <= 15; ++k)
        place("village", "V" + std::to_string(k), 8500 - 500 * k);
    place("hamlet", "Hamlet A", 80);
    place("hamlet", "Hamlet B", 0);
    place("town", "Metropolis", 150000);
    place("suburb", "Old Town", 20000);

    XrTempRoot root;
    const std::string in = root.write_file("/in/country.osm", o.text());
    const std::string out = root.dir() + "/out/country";
    fs::create_directories(root.dir() + "/out");
    XrCompileOptions options;
    XrCompileStats stats;
    std::string error;
    ASSERT_TRUE(xr_compile_osm_file(in, out, options, stats, error)) << error;
    const std::map<std::string, int> types = label_types(out + "/labels.qt");
    ASSERT_EQ(types.size(), 21u);
    // 0 and 1 are named at every scale, 8 is a village named at every scale,
    // 2 a village, 3 a suburb, 5 a hamlet (the larger scales only).
    struct Case {
        const char* name;
        int type;
    };
    const Case cases[] = {
        {"Metropolis", 0}, {"Capital", 1}, {"Big Village", 1}, {"Old Town", 1},
        // Four places at every scale so far: the eight largest villages join them.
        {"V1", 8}, {"V8", 8}, {"V9", 2}, {"V15", 2}, {"Hamlet A", 5}, {"Hamlet B", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(types.count(c.name), 1u);
        EXPECT_EQ(types.at(c.name), c.type);
    }
}

} // namespace
