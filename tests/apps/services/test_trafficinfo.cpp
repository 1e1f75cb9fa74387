// Traffic data files: the index and penalty sections, record decoding, the
// decode cache, the unfinished-load marker and updates by GDIFF difference
// with their digest, against files made by the mapgen writer.
#include "apps/services/xr_trafficinfo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "apps/services/xr_service.h"
#include "apps/services/xr_trafficpenalty.h"
#include "common/container/xr_bytes.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/gdiff_writer.h"
#include "tools/mapgen/trafficdata_writer.h"

namespace {

namespace L = xr_trafficdata_layout;

std::string md5(const std::vector<BYTE>& bytes)
{
    char hex[33];
    XrServiceHelper::compute_md5_hex(bytes.data(), bytes.size(), hex);
    return hex;
}

XrString wide(const std::string& s) { return XrString(std::wstring(s.begin(), s.end()).c_str()); }

XrTrafficRecordDef jam(std::uint32_t id, const std::string& name = "A1 jam")
{
    XrTrafficRecordDef r;
    r.event_id = id;
    r.revision = 3;
    r.flags = L::FLAG_TMC;
    r.start = 1000;
    r.end = 5000;
    r.name = name;
    r.items = {{1, 101, 1, "", 0.0}, {2, 202, 0, "Q05", 12.75}};
    r.tmc_table = 0x0A05; // "A05"
    r.tmc_codes = {7, 8, 9};
    r.tmc_point = std::make_pair(traffic_coordinate(-24.0), traffic_coordinate(31.0));
    return r;
}

XrTrafficFileDef sample_file()
{
    XrTrafficFileDef f;
    f.header_value = 42;
    f.country = "ATL";
    XrTrafficPenaltyDef p;
    p.fade_threshold = 40;
    p.reference_speed = 90;
    p.max_speed = 130;
    p.rows = {{1, 50, 3}, {2, 0, 0}};
    p.multipliers = {{0x1F, 7, 9, 150}};
    f.penalty = p;
    f.records = {jam(30), jam(10), jam(20)}; // the writer sorts them
    return f;
}

class TrafficFile : public ::testing::Test {
protected:
    std::string path() const { return root.dir() + "/trafficdata_ATL.bin"; }
    void write(const std::vector<BYTE>& bytes)
    {
        std::ofstream out(path(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<BYTE> read()
    {
        std::ifstream in(path(), std::ios::binary);
        return std::vector<BYTE>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    bool exists() const { return std::filesystem::exists(path()); }

    XrTempRoot root;
    XrTrafficPenalty penalty;
};

TEST_F(TrafficFile, WrittenFileReadsBack)
{
    ASSERT_TRUE(write_traffic_file(path(), sample_file()));
    XrTrafficInfoFile file(wide(path()), &penalty);
    ASSERT_TRUE(file.parse());
    EXPECT_EQ(file.get_header_value(), 42u);
    EXPECT_EQ(file.get_data()->get_country(), XrString(L"ATL"));
    ASSERT_EQ(file.get_event_count(), 3);
    std::uint32_t id = 0;
    std::uint8_t revision = 0;
    std::vector<std::uint32_t> ids;
    for (int i = 0; file.get_event(i, id, revision); ++i) {
        ids.push_back(id);
        EXPECT_EQ(revision, 3);
    }
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{10, 20, 30}));

    // The penalty section reached the penalty.
    EXPECT_EQ(penalty.get_fade_threshold(), 40);
    EXPECT_EQ(penalty.get_reference_speed(), 90);
    EXPECT_EQ(penalty.get_max_speed(), 130);
    ASSERT_EQ(penalty.get_class_rows().size(), 2u);
    EXPECT_EQ(penalty.get_class_rows()[0].share, 50);
    ASSERT_EQ(penalty.get_multipliers().size(), 1u);
    EXPECT_EQ(penalty.get_multipliers()[0].percent, 150);

    XrTrafficInfoParams* r = file.get_record(20, true);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->event_id, 20u);
    EXPECT_EQ(r->name, XrString(L"A1 jam"));
    EXPECT_EQ(r->start_time, 1000u);
    EXPECT_EQ(r->end_time, 5000u);
    EXPECT_EQ(r->event_codes, (std::vector<std::uint16_t>{101, 202}));
    EXPECT_EQ(r->item_flags, (std::vector<std::uint8_t>{1, 0}));
    EXPECT_FLOAT_EQ(r->quantities[1], 12.75f);
    EXPECT_EQ(r->units[1], XrString(L"Q05"));
    EXPECT_TRUE(r->units[0].is_empty());
    EXPECT_EQ(r->tmc_table, XrString(L"A05"));
    EXPECT_EQ(r->tmc_codes, (std::vector<std::uint16_t>{7, 8, 9}));
    ASSERT_EQ(r->xs.size(), 1u);
    EXPECT_EQ(r->xs[0], traffic_coordinate(-24.0));
    EXPECT_EQ(file.get_record(99, true), nullptr);
}

TEST_F(TrafficFile, LengthFaultsFailTheFileAndDiscardIt)
{
    const std::vector<BYTE> good = build_traffic_file(sample_file());
    // The index section is the last: its head is at index_at.
    std::size_t index_at = 4;
    while (good[index_at] != L::SECTION_INDEX)
        index_at += L::SECTION_HEAD_SIZE + xr_bytes::get_u32_le(&good[index_at + 1]);
    const std::size_t first_entry = index_at + L::SECTION_HEAD_SIZE + L::INDEX_HEAD_SIZE;
    struct Case {
        const char* what;
        std::function<void(std::vector<BYTE>&)> damage;
    } cases[] = {
        {"entry length 0", [&](std::vector<BYTE>& b) { xr_bytes::put_u16_le(&b[first_entry], 0); }},
        {"entry length 1 (shorter than id and revision)",
         [&](std::vector<BYTE>& b) { xr_bytes::put_u16_le(&b[first_entry], 1); }},
        {"entry length 6", [&](std::vector<BYTE>& b) { xr_bytes::put_u16_le(&b[first_entry], 6); }},
        {"entry past the section", [&](std::vector<BYTE>& b) { xr_bytes::put_u16_le(&b[first_entry], 0xFFFF); }},
        {"section longer than the file",
         [&](std::vector<BYTE>& b) { xr_bytes::put_u32_le(&b[index_at + 1], 0x7FFFFFFF); }},
        {"a cut section head", [&](std::vector<BYTE>& b) { b.insert(b.end(), {7, 1, 0}); }},
        {"index section of 5 bytes",
         [&](std::vector<BYTE>& b) {
             b.resize(index_at + L::SECTION_HEAD_SIZE + 5);
             xr_bytes::put_u32_le(&b[index_at + 1], 5);
         }},
        {"penalty rows past the section", [&](std::vector<BYTE>& b) { b[4 + L::SECTION_HEAD_SIZE + 3] = 200; }},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> bytes = good;
        c.damage(bytes);
        write(bytes);
        XrTrafficInfoFile file(wide(path()), &penalty);
        EXPECT_FALSE(file.parse()) << c.what;
        EXPECT_FALSE(exists()) << c.what;
        EXPECT_EQ(file.get_header_value(), 0u) << c.what;
    }
}

TEST_F(TrafficFile, ShortFilesAndUnknownSections)
{
    struct Case {
        const char* what;
        std::vector<BYTE> bytes;
        int events;
    } cases[] = {
        {"header only", {9, 0, 0, 0}, 0},
        {"shorter than the header", {9, 0}, 0},
        {"an unknown section is skipped", {9, 0, 0, 0, 7, 2, 0, 0, 0, 0xAA, 0xBB}, 0},
    };
    for (const Case& c : cases) {
        write(c.bytes);
        XrTrafficInfoFile file(wide(path()), &penalty);
        EXPECT_TRUE(file.parse()) << c.what;
        EXPECT_EQ(file.get_event_count(), c.events) << c.what;
        EXPECT_EQ(file.get_header_value(), c.bytes.size() >= 4 ? 9u : 0u) << c.what;
    }
}

TEST(TrafficRecord, DecodingCases)
{
    auto with = [](auto change) {
        XrTrafficRecordDef r = jam(5);
        change(r);
        return build_traffic_record(r);
    };
    struct Case {
        const char* what;
        std::vector<BYTE> bytes;
        bool valid;
        const wchar_t* name;
        std::size_t codes;
        std::size_t points;
    } cases[] = {
        {"complete", with([](XrTrafficRecordDef&) {}), true, L"A1 jam", 3, 1},
        {"31 items", with([](XrTrafficRecordDef& r) { r.items.assign(31, XrTrafficItemDef{}); }), true, L"A1 jam", 3,
         1},
        {"32 items", with([](XrTrafficRecordDef& r) { r.items.assign(32, XrTrafficItemDef{}); }), false, L"", 0, 0},
        {"TMC without codes or point",
         with([](XrTrafficRecordDef& r) {
             r.tmc_codes.clear();
             r.tmc_point.reset();
         }),
         true, L"A1 jam", 0, 0},
        {"bad UTF-8 name", with([](XrTrafficRecordDef& r) { r.name = "\xC3"; }), true, L"NA", 3, 1},
        {"coordinates", with([](XrTrafficRecordDef& r) {
             r.flags = L::FLAG_COORDINATES;
             r.points = {{1, 2}, {3, 4}};
         }),
         true, L"A1 jam", 0, 2},
    };
    for (const Case& c : cases) {
        auto p = XrTrafficInfoParams::decode(c.bytes.data(), c.bytes.size(), true);
        ASSERT_EQ(p != nullptr, c.valid) << c.what;
        if (!p)
            continue;
        EXPECT_EQ(p->name, XrString(c.name)) << c.what;
        EXPECT_EQ(p->tmc_codes.size(), c.codes) << c.what;
        EXPECT_EQ(p->xs.size(), c.points) << c.what;
    }

    // A name of one NUL byte is empty; a name without its NUL is invalid.
    std::vector<BYTE> one_nul = with([](XrTrafficRecordDef& r) { r.name.clear(); });
    one_nul[L::REC_NAME_LENGTH] = 1;
    one_nul.insert(one_nul.begin() + L::REC_NAME, 0);
    auto p = XrTrafficInfoParams::decode(one_nul.data(), one_nul.size(), true);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(p->name.is_empty());
    std::vector<BYTE> unterminated = with([](XrTrafficRecordDef&) {});
    unterminated[L::REC_NAME + 6] = 'x'; // the NUL of "A1 jam"
    EXPECT_EQ(XrTrafficInfoParams::decode(unterminated.data(), unterminated.size(), true), nullptr);
    // Every cut of a record is refused, never read past.
    const std::vector<BYTE> whole = with([](XrTrafficRecordDef& r) {
        r.tmc_point.reset();
    });
    for (std::size_t n = 0; n < whole.size(); ++n)
        EXPECT_EQ(XrTrafficInfoParams::decode(whole.data(), n, true), nullptr) << n;
}

TEST_F(TrafficFile, CacheKeepsTenAndDecodesNamesAgain)
{
    XrTrafficFileDef def;
    def.country = "ATL";
    for (std::uint32_t id = 1; id <= 11; ++id)
        def.records.push_back(jam(id));
    ASSERT_TRUE(write_traffic_file(path(), def));
    XrTrafficInfoFile file(wide(path()), &penalty);
    XrTrafficInfoParams* first = file.get_record(1, false);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->name.is_empty());
    EXPECT_EQ(file.get_record(1, true)->name, XrString(L"A1 jam")); // decoded again with its name
    for (std::uint32_t id = 2; id <= 10; ++id)
        ASSERT_NE(file.get_record(id, false), nullptr);
    EXPECT_NE(file.get_data()->cached(1), nullptr);
    ASSERT_NE(file.get_record(11, false), nullptr); // the eleventh evicts the first
    EXPECT_EQ(file.get_data()->cached(1), nullptr);
    EXPECT_EQ(file.get_data()->cache_size(), 10u);

    file.set_load_all(true); // every record at once, no limit
    EXPECT_EQ(file.get_data()->cache_size(), 11u);
    file.set_load_all(false);
    EXPECT_EQ(file.get_data()->cache_size(), 0u);
}

TEST_F(TrafficFile, AMarkerLeftByAnUnfinishedLoadCostsTheFile)
{
    ASSERT_TRUE(write_traffic_file(path(), sample_file()));
    std::ofstream(path() + ".wd").put('x');
    XrTrafficInfoFile file(wide(path()), &penalty);
    EXPECT_FALSE(file.parse());
    EXPECT_FALSE(exists());
    EXPECT_FALSE(std::filesystem::exists(path() + ".wd"));
}

TEST_F(TrafficFile, UpdatesReplaceTheFileOnlyWhenVerified)
{
    const XrTrafficFileDef old_def = sample_file();
    XrTrafficFileDef new_def = old_def;
    new_def.header_value = 43;
    new_def.records.push_back(jam(40, "New jam"));
    const std::vector<BYTE> old_bytes = build_traffic_file(old_def);
    const std::vector<BYTE> new_bytes = build_traffic_file(new_def);
    const std::vector<BYTE> diff = make_gdiff(old_bytes, new_bytes);
    std::vector<BYTE> bad_diff = diff;
    bad_diff.resize(bad_diff.size() - 1); // no end command
    const XrString right = wide(md5(new_bytes));
    const XrString short_digest = wide(md5(new_bytes).substr(0, 31));
    const XrString wrong = wide(md5(old_bytes));
    struct Case {
        const char* what;
        const std::vector<BYTE>* difference;
        const XrString* digest;
        bool ok;
    } cases[] = {
        {"verified", &diff, &right, true},
        {"without digest", &diff, nullptr, true},
        {"digest of 31 characters", &diff, &short_digest, false},
        {"digest of other bytes", &diff, &wrong, false},
        {"a difference without its end", &bad_diff, &right, false},
    };
    for (const Case& c : cases) {
        write(old_bytes);
        XrTrafficInfoFile file(wide(path()), &penalty);
        ASSERT_TRUE(file.parse()) << c.what;
        EXPECT_EQ(file.update(c.difference->data(), c.difference->size(), c.digest), c.ok) << c.what;
        // The old file stays whole unless the new one was verified.
        EXPECT_EQ(read(), c.ok ? new_bytes : old_bytes) << c.what;
        EXPECT_EQ(file.get_header_value(), c.ok ? 43u : 42u) << c.what;
        EXPECT_EQ(file.get_event_count(), c.ok ? 4 : 3) << c.what;
        ASSERT_NE(file.get_record(10, true), nullptr) << c.what;
    }

    // A first update has no old file: the difference holds everything.
    std::filesystem::remove(path());
    XrTrafficInfoFile fresh(wide(path()), &penalty);
    const std::vector<BYTE> whole = make_gdiff({}, new_bytes);
    EXPECT_TRUE(fresh.update(whole.data(), whole.size(), &right));
    EXPECT_EQ(read(), new_bytes);
    ASSERT_NE(fresh.get_record(40, true), nullptr);
    EXPECT_EQ(fresh.get_record(40, true)->name, XrString(L"New jam"));
}

} // namespace
