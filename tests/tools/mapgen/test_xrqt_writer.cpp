// The geometry file writer's record places: the gids it reports are where a
// reader finds the records, and records renumbered once laid out stay there.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "common/db/geom_test_util.h"
#include "tools/mapgen/xrqt_writer.h"

namespace {

// Short polylines on a 60 x 60 grid, 400 map units apart: many buckets.
std::vector<GeomItem> grid_lines()
{
    std::vector<GeomItem> items;
    int id = 1;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x) {
            GeomItem g;
            g.kind = XrGeomStorage::RecPolyline;
            g.id = id++;
            g.type = 3;
            g.points = {XrPoint(x * 400, y * 400), XrPoint(x * 400 + 150, y * 400 + 40 * (x % 3)),
                        XrPoint(x * 400 + 300, y * 400 + 10)};
            g.attributes = {0, 0, 0, 0};
            items.push_back(g);
        }
    return items;
}

XrGeomFileOptions with_attributes()
{
    XrGeomFileOptions o;
    o.attr_count = 4;
    o.share_first_points = false;
    o.zlib_level = 1;
    return o;
}

// Every record of the file by its gid.
std::map<XrGid, GeomItem> by_gid(const std::vector<BYTE>& bytes)
{
    std::map<XrGid, GeomItem> out;
    std::unique_ptr<XrSimpleGeomStorage> s(open_bytes(bytes));
    EXPECT_NE(s, nullptr);
    if (!s)
        return out;
    std::unique_ptr<XrGeomCursor> c(s->get_cursor(nullptr, 0));
    const BYTE* rec = nullptr;
    XrGeomStorage::XrRecordType kind;
    while (c->get_next_record(rec, kind) == XrGeomCursor::OK) {
        XrGid gid = 0;
        EXPECT_TRUE(c->get_current_record_geom_id(gid));
        out[gid] = decode(*c, rec, kind, 4);
    }
    return out;
}

// The grid's records, built once plainly.
class XrqtWriter : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(build_xrqt(set.records, with_attributes(), bytes, error, {}, &gids)) << error; }

    const std::vector<GeomItem> items = grid_lines();
    RecordSet set{items};
    std::vector<BYTE> bytes;
    std::vector<XrGid> gids;
    std::string error;
};

} // namespace

TEST_F(XrqtWriter, GidsAreWhereTheReaderFindsTheRecords)
{
    ASSERT_EQ(gids.size(), items.size());

    const std::map<XrGid, GeomItem> found = by_gid(bytes);
    ASSERT_EQ(found.size(), items.size());
    std::map<int, int> buckets;
    for (size_t i = 0; i < items.size(); ++i) {
        auto it = found.find(gids[i]);
        ASSERT_NE(it, found.end()) << "record " << i;
        EXPECT_EQ(it->second.id, items[i].id);
        ++buckets[static_cast<int>(gids[i] >> 16)];
    }
    EXPECT_GT(buckets.size(), 4u);

    // The same records give the same bytes (the buckets are compressed side
    // by side).
    std::vector<BYTE> again;
    ASSERT_TRUE(build_xrqt(set.records, with_attributes(), again, error)) << error;
    EXPECT_EQ(again, bytes);
}

TEST_F(XrqtWriter, RecordsRenumberedOnceLaidOutKeepTheirPlaces)
{
    const std::vector<XrGid> placed = gids;
    // Each record takes its own gid as id and in its attribute bytes.
    std::vector<XrGid> seen;
    auto rekey = [&](const std::vector<XrGid>& gids, std::string&) {
        seen = gids;
        for (size_t i = 0; i < gids.size(); ++i) {
            set.records[i]->id = static_cast<int>(gids[i]);
            const BYTE a[4] = {BYTE(gids[i]), BYTE(gids[i] >> 8), BYTE(gids[i] >> 16), BYTE(gids[i] >> 24)};
            set.records[i]->set_attributes(a, 4);
        }
        return true;
    };
    std::vector<BYTE> keyed;
    std::vector<XrGid> keyed_gids;
    ASSERT_TRUE(build_xrqt(set.records, with_attributes(), keyed, error, rekey, &keyed_gids)) << error;
    EXPECT_EQ(seen, placed);
    EXPECT_EQ(keyed_gids, placed);
    for (const auto& [gid, item] : by_gid(keyed)) {
        EXPECT_EQ(static_cast<XrGid>(item.id), gid);
        ASSERT_EQ(item.attributes.size(), 4u);
        EXPECT_EQ(xr_bytes::get_u32_le(item.attributes.data()), gid);
    }
}

TEST(XrqtWriterRenumbering, ThatMovesRecordsOrFailsStopsTheBuild)
{
    const std::vector<GeomItem> items = grid_lines();
    struct Case {
        const char* name;
        bool (*rekey)(const std::vector<XrGeomRec*>&, std::string&);
        const char* error;
    };
    const Case cases[] = {
        // A point more changes the record's size: the records after it move.
        {"grows",
         [](const std::vector<XrGeomRec*>& recs, std::string&) {
             return static_cast<XrPolypointGeomRec*>(recs[0])->add_point(XrPoint(320, 20));
         },
         "moved"},
        {"refuses",
         [](const std::vector<XrGeomRec*>&, std::string& error) {
             error = "no ids for these";
             return false;
         },
         "no ids for these"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordSet set(items);
        std::vector<BYTE> bytes;
        std::string error;
        auto rekey = [&](const std::vector<XrGid>&, std::string& err) { return c.rekey(set.records, err); };
        EXPECT_FALSE(build_xrqt(set.records, with_attributes(), bytes, error, rekey));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}
