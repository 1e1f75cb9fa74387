#include "common/addr/xr_housenumberlocator.h"

#include <cmath>
#include <cstdlib>
#include <memory>

#include "common/db/xr_geomstorage.h"
#include "common/geometry/xr_polygon.h"
#include "common/misc/xr_unicodeutil.h"
#include "common/types/xr_trig.h"

namespace {

// The number at fraction t of a side's range, with the side's parity.
int number_at(int from, int to, int type, double t)
{
    if (type == XrAddrAccessor::NUM_NONE)
        return 0;
    const int v = from + static_cast<int>(std::trunc(t * (to - from) + 0.5));
    if (type == XrAddrAccessor::NUM_EVEN)
        return v & ~1;
    if (type == XrAddrAccessor::NUM_ODD)
        return v | 1;
    return v;
}

} // namespace

XrHouseNumberLocator::XrHouseNumberLocator(XrGeomStorage* data_source, XrAddrAccessor* addr, int offset)
    : m_data_source(data_source), m_addr(addr), m_offset(offset)
{
}

int XrHouseNumberLocator::match_house_number(int n, int from, int to, int type, int& out)
{
    const int lo = from < to ? from : to;
    const int hi = from < to ? to : from;
    if (type == XrAddrAccessor::NUM_NONE) {
        out = 0;
        return 0;
    }
    if (n < lo) {
        out = lo;
        return 0;
    }
    if (n > hi) {
        out = hi;
        return 0;
    }
    const bool odd = (n & 1) != 0;
    if (type == XrAddrAccessor::NUM_MIXED || (odd && type == XrAddrAccessor::NUM_ODD) ||
        (!odd && type == XrAddrAccessor::NUM_EVEN)) {
        out = n;
        return 1;
    }
    if (n + 1 >= lo && n + 1 <= hi)
        out = n + 1;
    else if (n - 1 >= lo && n - 1 <= hi)
        out = n - 1;
    else
        out = n;
    return 0;
}

bool XrHouseNumberLocator::read_edge(XrGid gid, XrPolygon& line)
{
    if (m_data_source == nullptr)
        return false;
    std::unique_ptr<XrGeomCursor> cursor(m_data_source->get_cursor(nullptr, 0));
    if (cursor == nullptr)
        return false;
    XrGeomStorage::XrRecordType type;
    const BYTE* data = nullptr;
    if (cursor->get_record_by_geom_id(gid, type, data) != XrGeomCursor::OK || type != XrGeomStorage::RecPolyline)
        return false;
    return read_polygon_from_cursor(line, type, data, cursor.get(), false) && line.get_point_count() >= 2;
}

bool XrHouseNumberLocator::get_house_position(XrGid gid, bool left, int from, int to, int n, XrPoint& point,
                                              bool& first_half)
{
    XrPolygon line(true);
    if (!read_edge(gid, line))
        return false;
    double t = 0.5;
    if (from < to)
        t = ((n - from) / 2.0 + 1) / ((to - from) / 2.0 + 2);
    else if (from > to)
        t = 1 - ((n - to) / 2.0 + 1) / ((from - to) / 2.0 + 2);
    const double length = line.get_length();
    double along = t * length;
    if (along > length)
        along = length;
    if (along < 0)
        along = 0;
    XrPoint on;
    std::int16_t direction = 0;
    double x = 0, y = 0;
    if (!line.get_point_at_distance(along, on, direction, &x, &y))
        return false;
    const int side = left ? direction + 90 : direction - 90;
    point = XrPoint(xr_trunc_coord(x + cos_deg(side) * m_offset), xr_trunc_coord(y + sin_deg(side) * m_offset));
    first_half = t <= 0.5;
    return true;
}

int XrHouseNumberLocator::locate_on_street(int n, XrPoint& point, XrGid& gid, bool& first_half, int& closest)
{
    bool have_closest = false;
    int best = 0;
    bool any_segment = false;
    XrGid last_gid = 0;
    for (;;) {
        XrGid seg = 0;
        short lf = 0, lt = 0, rf = 0, rt = 0;
        XrAddrAccessor::NumType ltype, rtype;
        const XrAddrAccessor::Status st = m_addr->get_next_segment(seg, lf, lt, ltype, rf, rt, rtype);
        if (st == XrAddrAccessor::END)
            break;
        if (st != XrAddrAccessor::OK)
            return FAILED;
        any_segment = true;
        last_gid = seg;
        const int sides[2][3] = {{lf, lt, ltype}, {rf, rt, rtype}};
        for (int s = 0; s < 2; ++s) {
            int out = 0;
            if (match_house_number(n, sides[s][0], sides[s][1], sides[s][2], out) != 0) {
                if (!get_house_position(seg, s == 0, sides[s][0], sides[s][1], n, point, first_half))
                    return FAILED;
                gid = seg;
                closest = n;
                return EXACT;
            }
            if (sides[s][2] != XrAddrAccessor::NUM_NONE && (!have_closest || std::abs(out - n) < std::abs(best - n))) {
                best = out;
                have_closest = true;
            }
        }
    }
    if (have_closest) {
        closest = best;
        return CLOSEST;
    }
    if (!any_segment)
        return FAILED;
    // No numbers at all: the middle of the last edge.
    XrPolygon line(true);
    XrPoint middle;
    std::int16_t direction = 0;
    if (!read_edge(last_gid, line) || !line.get_point_at_distance(line.get_length() / 2, middle, direction))
        return FAILED;
    point = middle;
    gid = last_gid;
    first_half = true;
    closest = 0;
    return NO_NUMBERS;
}

int XrHouseNumberLocator::locate_by_position(unsigned int street_position, int n, XrPoint& point, XrGid& gid,
                                             bool& first_half, int& closest)
{
    if (m_addr == nullptr || m_addr->seek_block(street_position >> 16, street_position & 0xFFFF) != XrAddrAccessor::OK ||
        m_addr->get_next_street(nullptr, nullptr, nullptr, nullptr, nullptr) != XrAddrAccessor::OK)
        return FAILED;
    return locate_on_street(n, point, gid, first_half, closest);
}

int XrHouseNumberLocator::locate_by_name(const XrString& county_name, const unsigned int* county_id,
                                         const XrString& name, int n, XrPoint& point, XrGid& gid, bool& first_half,
                                         int& closest)
{
    if (m_addr == nullptr)
        return FAILED;
    const XrUnicodeUtil* u = XrUnicodeUtil::get_instance();
    XrString folded(name);
    u->fold_string(folded);
    if (m_addr->find_first_street(folded.c_str(), false) != XrAddrAccessor::OK)
        return FAILED;
    for (;;) {
        XrString street;
        unsigned int county = 0;
        if (m_addr->get_next_street(&street, &county, nullptr, nullptr, nullptr) != XrAddrAccessor::OK)
            return FAILED;
        if (u->compare(street.c_str(), name.c_str()) != 0)
            continue;
        if (county_id != nullptr) {
            if (county != *county_id)
                continue;
        } else {
            XrString county_text;
            if (m_addr->get_county(county, county_text, nullptr, nullptr) != XrAddrAccessor::OK ||
                county_text != county_name)
                continue;
        }
        return locate_on_street(n, point, gid, first_half, closest);
    }
}

bool XrHouseNumberLocator::get_house_numbers_at(XrGid street_key, XrGid gid, double distance, XrString& name,
                                                int& left, int& right, unsigned int* county_id)
{
    if (m_addr == nullptr)
        return false;
    XrString street;
    if (m_addr->get_street_by_gid(street_key, street, county_id, nullptr, 0, nullptr) != XrAddrAccessor::OK)
        return false;
    for (;;) {
        XrGid seg = 0;
        short lf = 0, lt = 0, rf = 0, rt = 0;
        XrAddrAccessor::NumType ltype, rtype;
        if (m_addr->get_next_segment(seg, lf, lt, ltype, rf, rt, rtype) != XrAddrAccessor::OK)
            return false;
        if (seg != gid)
            continue;
        XrPolygon line(true);
        if (!read_edge(gid, line))
            return false;
        const double length = line.get_length();
        double t = length > 0 ? distance / length : 0;
        if (t < 0)
            t = 0;
        if (t > 1)
            t = 1;
        left = number_at(lf, lt, ltype, t);
        right = number_at(rf, rt, rtype, t);
        name = street;
        return true;
    }
}
