// XrTrafficPenalty: turns the items of a traffic record into the numbers of
// routing and guidance: a class per event code (from a country's penalty
// map), a delay and a speed share per class (from the server's penalty
// section), and a weight that fades an event's penalty with time and
// distance. Penalty code of an event: 0 no effect, -1 road closed, else
// delay * 256 plus the share part ((share * 256) / 100, 0 for 100).
#pragma once

#include <cstdint>
#include <vector>

#include "common/container/xr_string.h"

class XrConfiguration;
struct XrTrafficInfoParams;

class XrTrafficPenalty {
public:
    struct ClassRow {
        std::int32_t cls = 0;
        std::int32_t share = 100;
        std::int32_t delay = 0;
    };
    struct XrStaticPenaltyMultiplier {
        std::uint32_t weekdays = 0; // bit 0 Monday ... bit 6 Sunday
        std::uint32_t from_hour = 0;
        std::uint32_t to_hour = 0;
        std::uint8_t percent = 100;
    };
    struct Effect {
        bool found = false;
        int delay = 0;
        int share = 100;
    };

    // The class of an event code the penalty table does not list.
    static constexpr int NO_CLASS = 6;
    static constexpr const TCHAR* TABLE_KEY = L"\\penalty_table";

    // Loads the "penalty_table" key (made, empty, and the file saved when
    // missing); false when a value cannot be read (the rows before it stay).
    bool load_penalty_map(XrConfiguration& config);

    void set_limits(std::uint8_t fade_threshold, std::uint8_t reference_speed, std::uint8_t max_speed);
    void add_class_row(int cls, int share, int delay) { class_rows.push_back({cls, share, delay}); }
    void add_multiplier(std::uint32_t weekdays, std::uint32_t from, std::uint32_t to, std::uint8_t percent)
    {
        multipliers.push_back({weekdays, from, to, percent});
    }
    void add_table_row(std::uint16_t code, int cls) { table.push_back({code, cls}); }
    // Empties the class rows and multipliers (the penalty table stays).
    void clear_section();

    int class_of(std::uint16_t event_code) const;
    Effect item_effect(std::uint16_t event_code, const XrString& unit, float quantity) const;
    // Percent 0 to 255 of an event's penalty for a car d map units away at
    // the time now (seconds since 1970).
    int weight(bool fades, double distance, std::int64_t start, std::int64_t end, std::int64_t now) const;

    // The smallest class of the record's items (6 without items).
    int event_class(const XrTrafficInfoParams& record) const;
    // The penalty code of the record on an event of edge_count road edges;
    // fades tells whether an item's penalty fades with the event's age.
    std::int32_t event_penalty(const XrTrafficInfoParams& record, int edge_count, bool& fades) const;

    static std::int32_t penalty_code(int delay, int share);

    std::uint8_t get_reference_speed() const { return reference_speed; }
    std::uint8_t get_max_speed() const { return max_speed; }
    std::uint8_t get_fade_threshold() const { return fade_threshold; }
    const std::vector<ClassRow>& get_class_rows() const { return class_rows; }
    const std::vector<XrStaticPenaltyMultiplier>& get_multipliers() const { return multipliers; }

private:
    struct TableRow {
        std::uint16_t code;
        int cls;
    };
    std::vector<ClassRow> class_rows;
    std::vector<TableRow> table;
    std::vector<XrStaticPenaltyMultiplier> multipliers;
    std::uint8_t reference_speed = 80;
    std::uint8_t max_speed = 150;
    std::uint8_t fade_threshold = 50;
};
