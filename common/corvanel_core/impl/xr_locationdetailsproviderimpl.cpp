#include "common/corvanel_core/impl/xr_locationdetailsproviderimpl.h"

#include <cmath>
#include <cwchar>
#include <memory>

#include "common/addr/xr_addraccessor.h"
#include "common/addr/xr_addrutil.h"
#include "common/addr/xr_housenumberlocator.h"
#include "common/addr/xr_streetfinder.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/db/xr_geomstorage.h"
#include "common/geometry/xr_polygon.h"
#include "common/map/xr_geomlayer.h"

namespace {

XrProjection* projection()
{
    XrMapProvider* maps = XrMapProvider::get_instance();
    return maps != nullptr ? maps->find_projection() : nullptr;
}

// The zoom ratio of the view; an unscaled view's without a map view.
double zoom_ratio()
{
    XrMapViewProvider* view = XrMapViewProvider::get_instance();
    return view != nullptr ? view->get_zoom_ratio() : 1.0;
}

// The side of the segment of the line that the point lies on.
int side_of(const XrPolygon& line, int segment, const XrPoint& p)
{
    XrPoint a, b;
    if (!line.get_point(segment, a) || !line.get_point(segment + 1, b))
        return XrLocationDetailsProviderImpl::SideOnLine;
    // World y grows northwards: a positive cross product is left of a -> b.
    const double cross = static_cast<double>(b.x - a.x) * (p.y - a.y) - static_cast<double>(b.y - a.y) * (p.x - a.x);
    if (cross > 0)
        return XrLocationDetailsProviderImpl::SideLeft;
    if (cross < 0)
        return XrLocationDetailsProviderImpl::SideRight;
    return XrLocationDetailsProviderImpl::SideOnLine;
}

void set_coordinate_text(const XrCoordinate& coordinate, XrLocationDetails& out)
{
    XrString latitude, longitude;
    coordinate.to_strings(latitude, longitude);
    out.text = latitude;
    out.text.append(L" ");
    out.text.append(longitude.c_str());
}

} // namespace

XrString XrLocationDetailsProviderImpl::format_address(const XrString& street, int first, int second, int side)
{
    XrString text;
    if (first == 0 && second == 0)
        text.format(MAX_TEXT, L"%s", street.c_str());
    else if (first == 0)
        text.format(MAX_TEXT, L"%s %d", street.c_str(), second);
    else if (second == 0 || side == SideLeft)
        text.format(MAX_TEXT, L"%s %d", street.c_str(), first);
    else if (side == SideRight)
        text.format(MAX_TEXT, L"%s %d", street.c_str(), second);
    else
        text.format(MAX_TEXT, L"%s %d/%d", street.c_str(), first, second);
    return text;
}

void XrLocationDetailsProviderImpl::split_label(const TCHAR* label, XrString& proper, XrString& tail)
{
    tail.clear();
    const TCHAR* tab = label != nullptr ? std::wcschr(label, L'\t') : nullptr;
    if (tab == nullptr) {
        proper = label != nullptr ? XrString(label) : XrString();
        return;
    }
    proper.assign(label, static_cast<int>(tab - label));
    const int rest = static_cast<int>(std::wcslen(tab + 1));
    if (rest > 1)
        tail.assign(tab + 1, rest - 1);
}

bool XrLocationDetailsProviderImpl::lookup_street(const XrPoint& map_point, XrLocationDetails& out)
{
    XrRouteProvider* route = XrRouteProvider::get_instance();
    XrGeomStorage* roads = route != nullptr ? route->get_road_data() : nullptr;
    if (roads == nullptr)
        return false;
    const double v = zoom_ratio();

    XrStreetFinder finder(roads);
    size_t found = 0;
    if (finder.find_street(map_point, static_cast<int>(STREET_RADIUS * v), 1, found, nullptr, nullptr, -1, nullptr,
                           -1.0, 0) != XrStreetFinder::OK ||
        found == 0)
        return false;
    XrGid gid = 0;
    bool first_half = false;
    int segment = 0;
    XrPoint nearest;
    double distance = 0;
    double along = 0;
    if (!finder.get_result(0, gid, first_half, segment, nearest, distance, &along))
        return false;

    // The edge's record: its id is the street key of the address data.
    XrPolygon line(true);
    int key = 0;
    {
        std::unique_ptr<XrGeomCursor> cursor(roads->get_cursor(nullptr, 0));
        if (!cursor)
            return false;
        XrGeomStorage::XrRecordType type;
        const BYTE* data = nullptr;
        if (cursor->get_record_by_geom_id(gid, type, data) != XrGeomCursor::OK || data == nullptr)
            return false;
        int x = 0, y = 0;
        short rec_type = 0, aux = 0;
        const BYTE* points = nullptr;
        const BYTE* attributes = nullptr;
        BYTE coding = 0;
        if (cursor->get_pp(data, key, x, y, rec_type, aux, points, coding, attributes) == 0)
            return false;
        read_polygon_from_cursor(line, type, data, cursor.get(), false);
    }
    const int side = side_of(line, segment, map_point);

    XrAddrAccessor* addr = route->get_addr_accessor();
    if (addr == nullptr)
        return true;
    // The country: the index held by the street's county record.
    XrString street;
    unsigned int county = 0;
    if (addr->get_street_by_gid(static_cast<XrGid>(key), street, &county, nullptr, 0, nullptr) == XrAddrAccessor::OK) {
        XrString county_text;
        BYTE country = 0;
        if (addr->get_county(county, county_text, &country, nullptr) == XrAddrAccessor::OK)
            addr->get_country_name(country, out.country);
    }

    XrHouseNumberLocator lookup(roads, addr, static_cast<int>(8 * v));
    int first = 0, second = 0;
    XrString name;
    if (!lookup.get_house_numbers_at(static_cast<XrGid>(key), gid, along, name, first, second, &county))
        return true;
    XrString county_text;
    if (addr->get_county(county, county_text, nullptr, nullptr) == XrAddrAccessor::OK)
        XrAddrUtil::parse_county_name(county_text.c_str(), out.county_part1, out.county_part2, out.county_part3);
    out.text = format_address(name, first, second, side);
    return true;
}

bool XrLocationDetailsProviderImpl::get_details(const XrPoint& map_point, XrLocationDetails& out)
{
    return lookup_street(map_point, out);
}

bool XrLocationDetailsProviderImpl::get_details(const XrCoordinate& coordinate, XrLocationDetails& out)
{
    return lookup_street(coordinate.to_point(projection()), out);
}

void XrLocationDetailsProviderImpl::get_details_or_coordinates(const XrCoordinate& coordinate, XrLocationDetails& out)
{
    if (!lookup_street(coordinate.to_point(projection()), out))
        set_coordinate_text(coordinate, out);
}

void XrLocationDetailsProviderImpl::get_details_or_coordinates(const XrPoint& map_point, XrLocationDetails& out)
{
    if (!lookup_street(map_point, out))
        set_coordinate_text(XrCoordinate(map_point, projection()), out);
}

void XrLocationDetailsProviderImpl::get_details_or_nearest_label(const XrCoordinate& coordinate,
                                                                 XrLocationDetails& out)
{
    get_details_or_nearest_label(coordinate.to_point(projection()), out);
}

void XrLocationDetailsProviderImpl::get_details_or_nearest_label(const XrPoint& map_point, XrLocationDetails& out)
{
    if (!lookup_street(map_point, out))
        get_nearest_label(map_point, out.text, &out.county_part1);
}

void XrLocationDetailsProviderImpl::get_nearest_label(const XrPoint& map_point, XrString& text, XrString* second_text)
{
    text.clear();
    XrMapProvider* maps = XrMapProvider::get_instance();
    auto* sm = dynamic_cast<XrGeomLayer*>(maps != nullptr ? maps->get_sm_layer() : nullptr);
    if (sm == nullptr)
        return;
    const XrRectangle square(map_point.x - LABEL_HALF_SIDE, map_point.y - LABEL_HALF_SIDE,
                             map_point.x + LABEL_HALF_SIDE, map_point.y + LABEL_HALF_SIDE);
    std::unique_ptr<XrGeomCursor> cursor(sm->get_storage()->get_cursor(&square, 0));
    if (!cursor)
        return;
    double best = LABEL_LIMIT;
    const BYTE* data = nullptr;
    XrGeomStorage::XrRecordType type;
    while (cursor->get_next_record(data, type) == XrGeomCursor::OK) {
        int id = 0, x = 0, y = 0;
        short rec_type = 0, aux = 0;
        const TCHAR* label = nullptr;
        const BYTE* attributes = nullptr;
        if (!cursor->get_txt(data, id, x, y, rec_type, aux, label, attributes, 0, nullptr))
            continue;
        const double d = std::trunc(map_point.distance(XrPoint(x, y)));
        if (d >= best)
            continue;
        best = d;
        XrString proper, tail;
        split_label(label, proper, tail);
        if (second_text != nullptr && label != nullptr && std::wcschr(label, L'\t') != nullptr)
            *second_text = tail;
        if (d < LABEL_HALF_SIDE)
            text = proper;
    }
}
