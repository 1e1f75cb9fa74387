// Traffic penalties: penalty maps, item effects, penalty codes of records
// and the weight that fades an event with time and distance.
#include "apps/services/xr_trafficpenalty.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "apps/services/xr_trafficinfo.h"
#include "common/config/xr_storageconfiguration.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/penaltymap_writer.h"

namespace {

XrString wide(const std::string& s) { return XrString(std::wstring(s.begin(), s.end()).c_str()); }

std::unique_ptr<XrStorageConfiguration> open_config(const std::string& path)
{
    auto accessor = std::make_unique<XrFileStorageAccessor>();
    if (!accessor->open(wide(path), false))
        return nullptr;
    auto config = std::make_unique<XrStorageConfiguration>(accessor.release(), L"");
    if (config->open(false) != XrConfiguration::OK)
        return nullptr;
    return config;
}

XrTrafficPenalty with_rows()
{
    XrTrafficPenalty p;
    p.add_table_row(1, 2);
    p.add_table_row(2, 3);
    p.add_table_row(3, 4);
    p.add_class_row(2, 50, 3);
    p.add_class_row(3, 0, 0);   // closes
    p.add_class_row(4, 100, 5); // delay only
    return p;
}

XrTrafficInfoParams record(std::vector<std::uint16_t> codes, std::vector<std::uint8_t> flags = {},
                           std::vector<const wchar_t*> units = {}, std::vector<float> quantities = {})
{
    XrTrafficInfoParams r;
    r.event_codes = codes;
    r.item_flags = flags.empty() ? std::vector<std::uint8_t>(codes.size(), 0) : flags;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        r.units.push_back(i < units.size() ? XrString(units[i]) : XrString());
        r.quantities.push_back(i < quantities.size() ? quantities[i] : 0.0f);
    }
    return r;
}

TEST(TrafficPenalty, PenaltyMapFromTheWriter)
{
    XrTempRoot root;
    const std::string path = root.dir() + "/penaltymap_ATL.txt";
    ASSERT_TRUE(write_penalty_map(path, {{1, 2}, {2, 3}, {-7, 1}}));
    auto config = open_config(path);
    ASSERT_NE(config, nullptr);
    XrTrafficPenalty p;
    ASSERT_TRUE(p.load_penalty_map(*config));
    EXPECT_EQ(p.class_of(1), 2);
    EXPECT_EQ(p.class_of(2), 3);
    EXPECT_EQ(p.class_of(static_cast<std::uint16_t>(-7)), 1);
    EXPECT_EQ(p.class_of(99), XrTrafficPenalty::NO_CLASS);

    // A file without the key gets it, empty, and is saved.
    const std::string bare = root.dir() + "/penaltymap_XX.txt";
    std::ofstream(bare) << "REGEDIT4\r\n\r\n[\\other]\r\na=1\r\n";
    auto bare_config = open_config(bare);
    ASSERT_NE(bare_config, nullptr);
    XrTrafficPenalty empty;
    EXPECT_TRUE(empty.load_penalty_map(*bare_config));
    EXPECT_EQ(empty.class_of(1), XrTrafficPenalty::NO_CLASS);
    std::ifstream in(bare);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("[\\penalty_table]"), std::string::npos);
}

TEST(TrafficPenalty, ItemEffects)
{
    const XrTrafficPenalty p = with_rows();
    struct Case {
        std::uint16_t code;
        const wchar_t* unit;
        float quantity;
        bool found;
        int delay;
        int share;
    } cases[] = {
        {1, L"Q05", 12.75f, true, 12, 100}, // a stated delay, whatever the code
        {1, L"", 0, true, 3, 50},
        {2, L"", 0, true, 0, 0},
        {99, L"", 0, false, 0, 100}, // class 6 has no row
        {1, L"Q06", 4, true, 3, 50}, // another unit: by class
    };
    for (const Case& c : cases) {
        const XrTrafficPenalty::Effect e = p.item_effect(c.code, XrString(c.unit), c.quantity);
        EXPECT_EQ(e.found, c.found) << c.code;
        EXPECT_EQ(e.delay, c.delay) << c.code;
        EXPECT_EQ(e.share, c.share) << c.code;
    }
}

TEST(TrafficPenalty, PenaltyCodesOfRecords)
{
    const XrTrafficPenalty p = with_rows();
    XrTrafficInfoParams doubled = record({3});
    doubled.flags = 0x04;
    struct Case {
        const char* what;
        XrTrafficInfoParams rec;
        int edges;
        std::int32_t code;
        bool fades;
    } cases[] = {
        {"no items", record({}), 10, 0, false},
        {"share 0 closes", record({2}), 10, -1, false},
        {"share 50, no delay per edge", record({1}), 0, 128, false},
        {"delay 3 over 10 edges, share 50", record({1}), 10, 600 * 256 + 128, false},
        {"delay 5 over 10 edges", record({3}), 10, 1000 * 256, false},
        {"doubled by flag bit 2", doubled, 10, 2000 * 256, false},
        {"a fading item", record({99}, {1}), 10, 0, true},
        {"unknown code", record({99}), 10, 0, false},
    };
    for (const Case& c : cases) {
        bool fades = !c.fades;
        EXPECT_EQ(p.event_penalty(c.rec, c.edges, fades), c.code) << c.what;
        EXPECT_EQ(fades, c.fades) << c.what;
    }
    EXPECT_EQ(XrTrafficPenalty::penalty_code(3, 50), 896);
    EXPECT_EQ(XrTrafficPenalty::penalty_code(0, 100), 0);
    EXPECT_EQ(p.event_class(record({99, 2, 1})), 2);
    EXPECT_EQ(p.event_class(record({})), XrTrafficPenalty::NO_CLASS);
}

TEST(TrafficPenalty, WeightOverTimeAndDistance)
{
    XrTrafficPenalty p; // limits 50 %, 80 km/h, 150 km/h
    const std::int64_t now = 1'700'000'000;
    struct Case {
        const char* what;
        bool fades;
        double distance;
        std::int64_t start, end;
        int weight;
    } cases[] = {
        {"ended an hour ago (signed times)", false, 0, now - 7200, now - 3600, 0},
        {"ends now", false, 0, now - 60, now, 0},
        {"no time span", false, 0, now + 60, now + 60, 0},
        {"10 km away, ends in 5 minutes", false, 10000, now - 60, now + 300, 0},
        {"near, long", false, 100, now - 60, now + 3600, 100},
        {"fading, early in its span", true, 100, now - 60, now + 3600, 100},
        {"fading, late in its span", true, 100, now - 3600, now + 60, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(p.weight(c.fades, c.distance, c.start, c.end, now), c.weight) << c.what;

    // A multiplier row for the arrival's weekday and hour.
    std::time_t t = static_cast<std::time_t>(now);
    std::tm local{};
    localtime_r(&t, &local);
    const int weekday = (local.tm_wday + 6) % 7;
    p.add_multiplier(1u << weekday, static_cast<std::uint32_t>(local.tm_hour),
                     static_cast<std::uint32_t>(local.tm_hour + 1), 150);
    EXPECT_EQ(p.weight(false, 0, now - 60, now + 86400, now), 150);
    p.clear_section();
    EXPECT_EQ(p.weight(false, 0, now - 60, now + 86400, now), 100);
}

} // namespace
