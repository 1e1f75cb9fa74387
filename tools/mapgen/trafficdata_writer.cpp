#include "tools/mapgen/trafficdata_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "common/container/xr_bytes.h"

namespace L = xr_trafficdata_layout;

std::uint32_t traffic_coordinate(double degrees)
{
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(degrees * L::COORDINATE_SCALE)));
}

std::vector<BYTE> build_traffic_record(const XrTrafficRecordDef& r)
{
    XrByteWriter w;
    w.u32_le(r.event_id);
    w.u8(r.revision);
    w.u8(r.flags);
    w.u32_le(r.start);
    w.u32_le(r.end);
    if (r.name.empty()) {
        w.u8(0);
    } else {
        w.u8(static_cast<BYTE>(r.name.size() + 1));
        w.bytes(r.name.data(), r.name.size());
        w.u8(0);
    }
    w.u8(static_cast<BYTE>(r.items.size()));
    for (const XrTrafficItemDef& item : r.items) {
        w.u8(item.kind);
        w.u16_le(item.event_code);
        w.u8(item.flags);
        if (item.unit.empty()) {
            w.u8(0);
        } else {
            BYTE unit[L::UNIT_TEXT_SIZE] = {};
            std::copy_n(item.unit.begin(), std::min<std::size_t>(item.unit.size(), 3), unit);
            w.bytes(unit, sizeof unit);
            w.u32_le(static_cast<std::uint32_t>(std::lround(item.quantity * L::QUANTITY_SCALE)));
        }
    }
    if ((r.flags & L::FLAG_TMC) != 0) {
        w.u16_le(static_cast<std::uint16_t>(r.tmc_codes.size()));
        if (!r.tmc_codes.empty()) {
            w.u16_le(r.tmc_table);
            for (std::uint16_t code : r.tmc_codes)
                w.u16_le(code);
        }
        if (r.tmc_point) {
            w.u32_le(r.tmc_point->first);
            w.u32_le(r.tmc_point->second);
        }
    } else if ((r.flags & L::FLAG_COORDINATES) != 0) {
        w.u16_le(static_cast<std::uint16_t>(r.points.size()));
        for (const auto& p : r.points) {
            w.u32_le(p.first);
            w.u32_le(p.second);
        }
    } else {
        w.u16_le(0);
    }
    return w.take();
}

std::vector<BYTE> build_traffic_file(const XrTrafficFileDef& file)
{
    XrByteWriter w;
    w.u32_le(file.header_value);
    if (file.penalty) {
        const XrTrafficPenaltyDef& p = *file.penalty;
        XrByteWriter s;
        s.u8(p.fade_threshold);
        s.u8(p.reference_speed);
        s.u8(p.max_speed);
        s.u8(static_cast<BYTE>(p.rows.size()));
        for (const auto& row : p.rows) {
            s.u8(row.cls);
            s.u8(row.share);
            s.u8(row.delay);
        }
        s.u8(static_cast<BYTE>(p.multipliers.size()));
        for (const auto& m : p.multipliers) {
            s.u8(m.weekdays);
            s.u8(m.from_hour);
            s.u8(m.to_hour);
            s.u8(m.percent);
        }
        w.u8(L::SECTION_PENALTY);
        w.u32_le(static_cast<std::uint32_t>(s.size()));
        w.bytes(s.bytes());
    }
    std::vector<const XrTrafficRecordDef*> sorted;
    for (const XrTrafficRecordDef& r : file.records)
        sorted.push_back(&r);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const XrTrafficRecordDef* a, const XrTrafficRecordDef* b) { return a->event_id < b->event_id; });
    XrByteWriter s;
    BYTE country[L::COUNTRY_TEXT_SIZE] = {};
    std::copy_n(file.country.begin(), std::min<std::size_t>(file.country.size(), 3), country);
    s.bytes(country, sizeof country);
    s.u16_le(static_cast<std::uint16_t>(sorted.size()));
    for (const XrTrafficRecordDef* r : sorted) {
        const std::vector<BYTE> record = build_traffic_record(*r);
        s.u16_le(static_cast<std::uint16_t>(record.size() + L::ENTRY_LENGTH_SIZE));
        s.bytes(record);
    }
    w.u8(L::SECTION_INDEX);
    w.u32_le(static_cast<std::uint32_t>(s.size()));
    w.bytes(s.bytes());
    return w.take();
}

bool write_traffic_file(const std::string& path, const XrTrafficFileDef& file)
{
    const std::vector<BYTE> bytes = build_traffic_file(file);
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    const bool ok = done == bytes.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
