#include <sstream>

#include "common/storage/xr_heapstorage.h"
#include "geom_test_util.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/geom_text.h"
#include "tools/mapgen/heapgeom_writer.h"

namespace {

struct Parsed {
    std::vector<XrGeomRec*> records;
    XrGeomFileOptions options;
    std::string error;
    bool ok = false;

    explicit Parsed(const std::string& text)
    {
        std::istringstream in(text);
        ok = xr_parse_geom_text(in, records, options, error);
    }
    ~Parsed()
    {
        for (XrGeomRec* r : records)
            delete r;
    }
};

const char* const sample = R"(# a small map
name Harbour
attributes 2
bucket 1024
point 1 5 90 1000 2000
point 2 6 -4 -5000 300 attr=a1b2
text 3 2 7 1500 2500 attr=0001 Kauppatori  Market
polyline 4 3 100,100 200,200 400,250 1000,1000
polygon 5 7 attr=ffee 0,0 1000,0 1000,1000 0,1000 0,0
polyline 6 3 100,100 50,50
)";

} // namespace

TEST(GeomText, ParsesRecordsAndOptions)
{
    Parsed p(sample);
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.name, "Harbour");
    EXPECT_EQ(p.options.attr_count, 2);
    EXPECT_EQ(p.options.bucket_bytes, 1024);
    ASSERT_EQ(p.records.size(), 6u);
    auto* text = dynamic_cast<XrTextGeomRec*>(p.records[2]);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text->text.c_str(), L"Kauppatori  Market") << "the text runs to the line end";
    EXPECT_EQ(text->get_attributes_size(), 2);
    auto* polygon = dynamic_cast<XrPolypointGeomRec*>(p.records[4]);
    ASSERT_NE(polygon, nullptr);
    EXPECT_EQ(polygon->get_rec_type(), XrGeomStorage::RecPolygon);
    EXPECT_EQ(polygon->get_point_count(), 5);
    EXPECT_EQ(polygon->get_attributes()[0], 0xFF);
}

TEST(GeomText, BadLinesAreNamed)
{
    struct Case {
        std::string text;
        std::string error;
    } cases[] = {
        {"point 1 2 3 4", "line 1: point takes an id, a type, an aux value, x and y"},
        {"\npoint 1 2 3 4 5 6", "line 2: unexpected \"6\""},
        {"point 1 70000 0 4 5", "line 1: point takes an id, a type, an aux value, x and y"},
        {"polyline 1 2", "line 1: polyline without points"},
        {"polygon 1", "line 1: polygon takes an id, a type and points x,y"},
        {"polyline 1 2 3", "line 1: \"3\" is not a point x,y"},
        {"polygon 1 2 attr=xyz 1,1", "line 1: attr= takes hexadecimal bytes"},
        {"kind lines", "line 1: kind is points, polylines, polygons, texts or mixed"},
        {"version 0x10008", "line 1: version takes a number from 0x10004 to 0x10007"},
        {"ids maybe", "line 1: ids on or off"},
        {"colour red", "line 1: unknown item \"colour\""},
    };
    for (const Case& c : cases) {
        Parsed p(c.text);
        EXPECT_FALSE(p.ok) << c.text;
        EXPECT_EQ(p.error, c.error);
    }
}

TEST(GeomText, WriterChecksTheRecordsAgainstTheOptions)
{
    struct Case {
        std::string text;
        std::string error;
    } cases[] = {
        {"type_width 1\npoint 1 200 0 0 0", "record 1: the type does not fit the type width"},
        {"aux_width 1\npoint 1 2 3 0 0", "record 1: aux width 1 holds even values 0 to 510"},
        {"point 536870912 1 0 0 0", "record 1: ids take 30 bits (-536870912 to 536870911)"},
        {"kind texts\npoint 1 1 0 0 0", "record 1: is a point in a file of texts"},
        {"ids off\npoint 1 1 0 0 0\ntext 2 1 0 0 0 x", "mixed records need ids"},
        {"version 0x10004\npolyline 1 1 0,0 2,2", "record 1: version 0x10004 files hold points and texts only"},
        {"coords 3\npoint 1 1 0 9000000 0", "record 1: coordinates outside the coded range"},
        {"point 1 1 0 9000000 0", "record 1: node splits take 24-bit coordinates"},
        {"text 1 1 0 0 0 " + std::string(512, 'a'), "record 1: texts take at most 511 characters"},
    };
    for (const Case& c : cases) {
        Parsed p(c.text);
        ASSERT_TRUE(p.ok) << p.error;
        std::vector<BYTE> bytes;
        std::string error;
        EXPECT_FALSE(build_xrqt(p.records, p.options, bytes, error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
    // The longest text comes back whole.
    std::string longest(510, 'a');
    longest += "\xC3\xA4";
    Parsed p("text 1 1 0 0 0 " + longest);
    std::vector<BYTE> bytes;
    std::string error;
    ASSERT_TRUE(build_xrqt(p.records, p.options, bytes, error)) << error;
    std::unique_ptr<XrSimpleGeomStorage> s(open_bytes(bytes));
    ASSERT_NE(s, nullptr);
    std::vector<GeomItem> got = query(*s, nullptr);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].text, longest);
}

// A list written to a file and dumped again gives the same list.
TEST(GeomText, DumpRoundTrip)
{
    XrTempRoot root;
    Parsed p(sample);
    ASSERT_TRUE(p.ok);
    std::string qt = root.dir() + "/pb.qt";
    std::string heap = root.dir() + "/layer.heap";
    std::string error;
    ASSERT_TRUE(write_xrqt(qt, p.records, p.options, error)) << error;
    ASSERT_TRUE(write_heap_geom(heap, p.records, p.options, error)) << error;

    XrFileStorageAccessor* acc = new XrFileStorageAccessor();
    ASSERT_TRUE(acc->open(XrString(qt.c_str()), true));
    XrSimpleGeomStorage file(acc, false, false, nullptr);
    ASSERT_EQ(file.open(), XrStoredGeomStorage::OPENED);
    XrFileStorageAccessor* hacc = new XrFileStorageAccessor();
    ASSERT_TRUE(hacc->open(XrString(heap.c_str()), true));
    XrHeapStorage* h = new XrHeapStorage(0);
    h->set_storage_accessor(hacc);
    ASSERT_EQ(h->open(false), XrHeapStorage::OK);
    XrHeapGeomStorage layer(h, false, false);
    ASSERT_EQ(layer.open(), XrHeapGeomStorage::OPENED);

    for (XrStoredGeomStorage* s : {static_cast<XrStoredGeomStorage*>(&file), static_cast<XrStoredGeomStorage*>(&layer)}) {
        std::ostringstream out;
        ASSERT_TRUE(xr_dump_geom_storage(*s, nullptr, out, error)) << error;
        Parsed again(out.str());
        ASSERT_TRUE(again.ok) << again.error << "\n" << out.str();
        EXPECT_EQ(again.options.name, "Harbour");
        EXPECT_EQ(again.options.kind, 5);
        EXPECT_EQ(again.options.attr_count, 2);
        std::istringstream lines(sample);
        std::string dumped = out.str();
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("point", 0) == 0 || line.rfind("text", 0) == 0 || line.rfind("poly", 0) == 0) {
                EXPECT_NE(dumped.find(line + "\n"), std::string::npos) << line << "\n" << dumped;
            }
        }
    }
    // With a rectangle only what meets it.
    std::ostringstream part;
    XrRectangle r(-6000, 0, -4000, 1000);
    ASSERT_TRUE(xr_dump_geom_storage(file, &r, part, error));
    EXPECT_NE(part.str().find("point 2 6 -4 -5000 300 attr=a1b2\n"), std::string::npos);
    EXPECT_EQ(part.str().find("polyline"), std::string::npos);
}
