// The address, signpost and TMC texts of mapgen: what the readers find in
// the files written from them, the errors of bad lines, and the command line.
#include "tools/mapgen/map_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sys/wait.h>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "apps/apps_common/xr_tmctablefile.h"
#include "common/addr/xr_addraccessor.h"
#include "common/addr/xr_signpostacc.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"

namespace {

XrStorageAccessor* memory(const std::vector<BYTE>& bytes)
{
    BYTE* copy = new BYTE[bytes.size() + 1];
    if (!bytes.empty())
        std::memcpy(copy, bytes.data(), bytes.size());
    return new XrMemoryStorageAccessor(true, copy, static_cast<std::uint32_t>(bytes.size()), true);
}

std::wstring wstr(const XrString& s)
{
    return std::wstring(s.c_str());
}

const char* const ADDR_TEXT = R"(# two countries, Helsinki in the first
version 6.3
country Suomi
country Sverige
language fin
suffix katu | k.
county hki 0 Helsinki#Helsingfors
county sto 1 Stockholm
street hki 3 Mannerheimintie | 0x10001 1 9 2 10 | 0x10002
street sto 0 Drottninggatan | 7 1 21 2 22
)";

const char* const SIGNS_TEXT = R"(buckets 2
scheme 1 1 2 3 4 5 6 7 8 9 2
sign 0x20005 0x20006 0x30001 | 1 eng\tCentre\tdeu\tZentrum | 2 A7
sign 0x20005 | 3 Exit 12
sign 7 8 | 1 Nord
)";

const char* const TMC_TEXT = R"(buckets 3
path 100 101 102 103 | 10 30 40, 0 10 20
path 200
on 3 1 | 0 1 10 | 1 0 2
on 3 9 | 0 3 20
location 3 1 -5 7 11 12
)";

TEST(MapText, AddressText)
{
    std::istringstream in(ADDR_TEXT);
    XrAddrWriter w;
    std::string error;
    ASSERT_TRUE(xr_parse_addr_text(in, w, error)) << error;
    std::vector<BYTE> bytes;
    ASSERT_TRUE(w.build(bytes, error)) << error;
    XrAddrAccessor a;
    a.set_storage(memory(bytes));
    ASSERT_EQ(a.open(), XrAddrAccessor::OK);
    EXPECT_EQ(a.get_version(), XrAddrAccessor::VERSION_6_3);
    EXPECT_EQ(a.get_country_count(), 2u);

    ASSERT_EQ(a.find_first_street(L"", false), XrAddrAccessor::OK);
    struct Street {
        std::wstring name;
        std::wstring county;
        int type;
        unsigned int country;
        std::vector<XrGid> gids;
    };
    std::vector<Street> read;
    for (int i = 0; i < 5; ++i) {
        Street s;
        XrString name;
        unsigned int county = 0;
        if (a.get_next_street(&name, &county, &s.type, nullptr, nullptr) != XrAddrAccessor::OK)
            break;
        s.name = wstr(name);
        XrGid gid = 0;
        short lf, lt, rf, rt;
        XrAddrAccessor::NumType ltype, rtype;
        while (a.get_next_segment(gid, lf, lt, ltype, rf, rt, rtype) == XrAddrAccessor::OK)
            s.gids.push_back(gid);
        XrString county_name;
        BYTE attribute = 0;
        int next = 0;
        EXPECT_EQ(a.get_county(county, county_name, attribute, next), XrAddrAccessor::OK);
        s.county = wstr(county_name);
        s.country = attribute;
        read.push_back(s);
    }
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].name, L"Drottninggatan");
    EXPECT_EQ(read[0].county, L"Stockholm");
    EXPECT_EQ(read[0].country, 1u);
    EXPECT_EQ(read[0].gids, (std::vector<XrGid>{7}));
    EXPECT_EQ(read[1].name, L"Mannerheimintie");
    EXPECT_EQ(read[1].county, L"Helsinki#Helsingfors");
    EXPECT_EQ(read[1].type, 3);
    EXPECT_EQ(read[1].gids, (std::vector<XrGid>{0x10001, 0x10002}));
    const TCHAR* const* strings = nullptr;
    const int* splits = nullptr;
    int count = 0;
    a.get_suffix_table(strings, splits, count);
    EXPECT_EQ(count, 1);
}

TEST(MapText, SignpostText)
{
    std::istringstream in(SIGNS_TEXT);
    XrSignsFile file;
    std::string error;
    ASSERT_TRUE(xr_parse_signs_text(in, file, error)) << error;
    std::vector<BYTE> bytes;
    ASSERT_TRUE(build_signs(file, bytes, error)) << error;
    XrSignpostAccessor acc;
    ASSERT_TRUE(acc.open(memory(bytes)));
    BYTE c[9];
    XrSignpostAccessor::Shape shape;
    ASSERT_TRUE(acc.get_sp_colors(1, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], shape));
    EXPECT_EQ(c[8], 9);
    EXPECT_EQ(shape, XrSignpostAccessor::RoundRectangle);

    XrArray<XrGid> path;
    XrPtrArray<XrSignpostAccessor::XrInstruction*> lines(4);
    ASSERT_EQ(acc.get_first_path(0x20005, path), 3);
    EXPECT_EQ(*path.get_item_ptr(2), 0x30001u);
    ASSERT_TRUE(acc.get_instructions(lines, 0));
    ASSERT_EQ(lines.get_num_items(), 2);
    EXPECT_EQ(wstr(lines.get_item(0)->text), L"\u202aCentre"); // the first alternative
    EXPECT_EQ(wstr(lines.get_item(1)->text), L"A7");
    ASSERT_EQ(acc.get_next_path(path), 1);
    ASSERT_TRUE(acc.get_instructions(lines, 0));
    EXPECT_EQ(wstr(lines.get_item(0)->text), L"Exit 12");
    EXPECT_EQ(acc.get_next_path(path), 0);
    EXPECT_EQ(acc.get_first_path(7, path), 2);
    for (int i = 0; i < lines.get_num_items(); ++i)
        delete lines.get_item(i);
}

TEST(MapText, TmcText)
{
    std::istringstream in(TMC_TEXT);
    XrTmcTables tables;
    std::string error;
    ASSERT_TRUE(xr_parse_tmc_text(in, tables, error)) << error;
    XrTmcTableFile t;
    ASSERT_TRUE(t.open(memory(tmc_paths_file(tables.buckets, tables.path_records, tables.paths)),
                       memory(tmc_locations_file(tables.buckets, tables.locations))));
    EXPECT_EQ(t.get_bucket_count(), 3u);
    EXPECT_EQ(t.get_path_count(), 2u);
    std::uint32_t offset = 0;
    int count = 0;
    XrArray<XrTmcPathEntry> entries;
    ASSERT_TRUE(t.find_record_by_id(L"3", 1, false, offset));
    ASSERT_TRUE(t.read_record(offset, false, count, entries));
    ASSERT_EQ(count, 2);
    EXPECT_EQ(entries.get_item_ptr(1)->path_id, 1);
    EXPECT_EQ(entries.get_item_ptr(1)->extra, 2);
    XrArray<unsigned int> values;
    XrPoint p;
    ASSERT_TRUE(t.find_location(L"3", 1, values, p));
    EXPECT_EQ(p.x, -5);
    EXPECT_EQ(p.y, 7);
    ASSERT_EQ(values.get_num_items(), 2);
    EXPECT_EQ(*values.get_item_ptr(1), 12u);
    // The points were given out of order: the one at 10 is nearest to 12.
    ASSERT_TRUE(t.read_path_table());
    XrArray<unsigned int> edges;
    ASSERT_TRUE(t.resolve_segment(0, 1, 2, 12, edges, p));
    EXPECT_EQ(edges.get_num_items(), 2);
    EXPECT_EQ(p.x, 30);
}

TEST(MapText, BadLinesAreNamed)
{
    struct Case {
        int format; // 0 addr, 1 signs, 2 tmc
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {0, "version 7.0\n", "line 1: version is 6.0 to 6.3"},
        {0, "county a 1 A\nstreet b 0 Main\n", "line 2: no county b"},
        {0, "county a 1 A\ncounty a 2 B\n", "line 2: county a given twice"},
        {0, "county a 256 A\n", "line 1: county <label> <attribute 0-255> <name>"},
        {0, "county a 0 A\n# comment\nstreet a 9 Main\n", "line 3: street <county label> <type 0-7> <name> [| <segment>]..."},
        {0, "county a 0 A\nstreet a 0 Main | 1 2 3\n",
         "line 2: a segment is <gid> or <gid> <left from> <left to> <right from> <right to>"},
        {0, "country ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456\n", "line 1: a country name has 1 to 32 bytes"},
        {1, "scheme 21 1 2 3 4 5 6 7 8 9 1\n", "line 1: scheme <1-20> <nine colour bytes> <shape>"},
        {1, "sign 5 | 7 text\n", "line 1: an instruction is <kind 1-4> <text>"},
        {1, "sign 0x100000000\n", "line 1: sign <gid> [<following gid>]... [| <kind 1-4> <text>]..."},
        {2, "path\n", "line 1: a path has 1 to 65535 edges"},
        {2, "path 1 | 0 1\n", "line 1: a point is <position> <x> <y>"},
        {2, "on 3 70000 | 0 1 2\n", "line 1: on <table> <code> | <path id> <position> <extra> [| ...]"},
        {2, "location 3 1 5\n", "line 1: location <table> <code> <x> <y> [<value>]..."},
        {2, "bogus 1\n", "line 1: unknown item bogus"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::istringstream in(c.text);
        std::string error;
        bool ok = true;
        if (c.format == 0) {
            XrAddrWriter w;
            ok = xr_parse_addr_text(in, w, error);
        } else if (c.format == 1) {
            XrSignsFile f;
            ok = xr_parse_signs_text(in, f, error);
        } else {
            XrTmcTables t;
            ok = xr_parse_tmc_text(in, t, error);
        }
        EXPECT_FALSE(ok);
        EXPECT_EQ(error, c.error);
    }
}

// Runs mapgen with the text on its standard input; its exit status.
int run_mapgen(const XrTempRoot& root, const std::string& args, const std::string& input, std::string* out = nullptr)
{
    const std::string in = root.write_file("/tmp/mapgen.in", input);
    const std::string captured = root.dir() + "/tmp/mapgen.out";
    const std::string cmd = std::string(XR_MAPGEN_PROGRAM) + " " + args + " < " + in + " > " + captured + " 2>&1";
    const int status = std::system(cmd.c_str());
    if (out != nullptr)
        *out = XrTempRoot::read_file(captured);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(MapText, CommandLineWritesTheFiles)
{
    XrTempRoot root;
    const std::string dir = root.make_dirs("/mapdata/");
    ASSERT_EQ(run_mapgen(root, "addr " + dir + "addr.dat", ADDR_TEXT), 0);
    ASSERT_EQ(run_mapgen(root, "signs " + dir + "signs.bin", SIGNS_TEXT), 0);
    ASSERT_EQ(run_mapgen(root, "tmc " + dir, TMC_TEXT), 0);

    XrAddrAccessor a;
    a.set_storage(memory([&] {
        const std::string s = XrTempRoot::read_file(dir + "addr.dat");
        return std::vector<BYTE>(s.begin(), s.end());
    }()));
    ASSERT_EQ(a.open(), XrAddrAccessor::OK);
    XrSignpostAccessor signs;
    const std::string sb = XrTempRoot::read_file(dir + "signs.bin");
    ASSERT_TRUE(signs.open(memory(std::vector<BYTE>(sb.begin(), sb.end()))));
    XrTmcTableFile tmc;
    EXPECT_TRUE(tmc.open(XrString((dir + "tmc_paths.bin").c_str()), XrString((dir + "tmc_locations.bin").c_str())));

    // A bad line: a message naming it, a failure status and no file.
    std::string out;
    EXPECT_EQ(run_mapgen(root, "signs " + dir + "bad.bin", "sign x\n", &out), 1);
    EXPECT_NE(out.find("line 1: sign <gid>"), std::string::npos) << out;
    EXPECT_FALSE(std::ifstream(dir + "bad.bin").good());

    EXPECT_EQ(run_mapgen(root, "--help", "", &out), 0);
    for (const char* item : {"addr ", "signs ", "tmc ", "street <county label>", "sign <gid>", "location <table>"})
        EXPECT_NE(out.find(item), std::string::npos) << item;
}

} // namespace
