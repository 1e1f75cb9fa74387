#include "apps/services/xr_trafficpenalty.h"

#include <algorithm>
#include <memory>

#include "apps/services/xr_trafficinfo.h"
#include "common/config/xr_configuration.h"

namespace {

// A decimal integer with an optional leading '-'; false for anything else.
bool parse_decimal(const XrString& text, int& out)
{
    const TCHAR* p = text.c_str();
    bool negative = false;
    if (*p == L'-') {
        negative = true;
        ++p;
    }
    if (*p == 0)
        return false;
    long long value = 0;
    for (; *p != 0; ++p) {
        if (*p < L'0' || *p > L'9')
            return false;
        value = value * 10 + (*p - L'0');
        if (value > 0x7fffffffLL)
            return false;
    }
    out = static_cast<int>(negative ? -value : value);
    return true;
}

} // namespace

bool XrTrafficPenalty::load_penalty_map(XrConfiguration& config)
{
    if (config.open_key(TABLE_KEY) != XrConfiguration::OK) {
        if (config.open_key(L"\\") != XrConfiguration::OK)
            return false;
        config.create_key(L"penalty_table");
        if (config.open_key(TABLE_KEY) != XrConfiguration::OK)
            return false;
        config.save();
    }
    std::unique_ptr<XrConfigurationIterator> it(config.create_value_iterator());
    XrString name;
    while (it && it->get_next(name)) {
        XrString text;
        if (config.get_string(name.c_str(), text) != XrConfiguration::OK)
            return false;
        int code = 0, cls = 0;
        if (!parse_decimal(name, code) || !parse_decimal(text, cls))
            continue; // not a row
        add_table_row(static_cast<std::uint16_t>(code), cls);
    }
    return true;
}

void XrTrafficPenalty::set_limits(std::uint8_t threshold, std::uint8_t reference, std::uint8_t maximum)
{
    fade_threshold = threshold;
    reference_speed = reference;
    max_speed = maximum;
}

void XrTrafficPenalty::clear_section()
{
    class_rows.clear();
    multipliers.clear();
}

int XrTrafficPenalty::class_of(std::uint16_t event_code) const
{
    for (const TableRow& row : table)
        if (row.code == event_code)
            return row.cls;
    return NO_CLASS;
}

XrTrafficPenalty::Effect XrTrafficPenalty::item_effect(std::uint16_t event_code, const XrString& unit,
                                                      float quantity) const
{
    Effect effect;
    if (unit == XrString(L"Q05")) {
        effect.found = true;
        effect.delay = static_cast<int>(quantity);
        return effect;
    }
    const int cls = class_of(event_code);
    for (const ClassRow& row : class_rows) {
        if (row.cls == cls) {
            effect.found = true;
            effect.share = row.share;
            effect.delay = row.delay;
            break;
        }
    }
    return effect;
}

int XrTrafficPenalty::weight(bool fades, double distance, std::int64_t start, std::int64_t end,
                             std::int64_t now) const
{
    // Signed: an event that has already ended weighs nothing.
    const std::int64_t left = end - now;
    const std::int64_t total = end - start;
    if (total == 0 || left <= 0)
        return 0;
    if (distance / static_cast<double>(left) > max_speed / 3.6)
        return 0; // over before it can be reached
    if (reference_speed == 0)
        return 0;
    const std::int64_t arrival = now + static_cast<std::int64_t>(distance / (reference_speed / 3.6));
    const std::int64_t remaining = end - arrival;
    if (remaining < 1)
        return 0;
    if (!fades) {
        const std::time_t at = static_cast<std::time_t>(arrival);
        std::tm local{};
        localtime_r(&at, &local);
        const int weekday = (local.tm_wday + 6) % 7; // Monday 0
        const std::uint32_t hour = static_cast<std::uint32_t>(local.tm_hour);
        for (const XrStaticPenaltyMultiplier& m : multipliers)
            if ((m.weekdays & (1u << weekday)) != 0 && m.from_hour <= hour && hour < m.to_hour)
                return m.percent;
        return 100;
    }
    if (fade_threshold == 100)
        return 100;
    const std::int64_t elapsed = (total - remaining) * 100 / total;
    return elapsed <= fade_threshold ? 100 : 0;
}

int XrTrafficPenalty::event_class(const XrTrafficInfoParams& record) const
{
    int cls = NO_CLASS;
    for (std::uint16_t code : record.event_codes)
        cls = std::min(cls, class_of(code));
    return cls;
}

std::int32_t XrTrafficPenalty::penalty_code(int delay, int share)
{
    return delay * 256 + (share == 100 ? 0 : share * 256 / 100);
}

std::int32_t XrTrafficPenalty::event_penalty(const XrTrafficInfoParams& record, int edge_count, bool& fades) const
{
    fades = false;
    int delay = 0;
    int share = 100;
    for (std::size_t i = 0; i < record.event_codes.size(); ++i) {
        const Effect e = item_effect(record.event_codes[i], i < record.units.size() ? record.units[i] : XrString(),
                                     i < record.quantities.size() ? record.quantities[i] : 0.0f);
        if (i < record.item_flags.size() && record.item_flags[i] == 1)
            fades = true;
        if (e.delay == -1 || e.share == -1 || e.share == 0)
            return -1;
        if (e.delay > delay && edge_count > 0) {
            delay = e.delay * 2000 / edge_count;
            if ((record.flags & 0x04) != 0)
                delay *= 2;
        }
        share = std::min(share, e.share);
    }
    if (share > 99 && delay < 1)
        return 0;
    return penalty_code(delay, share);
}
