// Turns house numbers into map positions and back, from the streets,
// segments and house-number ranges of the address database and the road
// polylines of the road data source (records found by their XrGid).
#pragma once

#include "common/addr/xr_addraccessor.h"
#include "common/container/xr_string.h"
#include "common/db/xr_gid.h"
#include "common/geometry/xr_point.h"

class XrGeomStorage;
class XrPolygon;

class XrHouseNumberLocator {
public:
    // Results of the locate operations.
    enum Result {
        EXACT = 0,      // the number was found: point, gid and first_half are set
        FAILED = 1,     // no such street, or its data cannot be read
        CLOSEST = 2,    // the number is not on the street: closest is the nearest one
        NO_NUMBERS = 3, // the street has no house numbers: the middle of its last edge
    };

    // offset: how far beside its road a house is placed, in map units. The
    // data source and the address reader are not owned.
    XrHouseNumberLocator(XrGeomStorage* data_source, XrAddrAccessor* addr, int offset);

    // 1 when n belongs to the side (from, to, number type); otherwise 0 with
    // the nearest usable number in out (0 for a side without numbers).
    static int match_house_number(int n, int from, int to, int type, int& out);

    // The map point of number n on edge gid (left or right side of the range
    // from-to); first_half tells whether it lies in the edge's first half.
    bool get_house_position(XrGid gid, bool left, int from, int to, int n, XrPoint& point, bool& first_half);

    // Number n on the street whose record is at street_position (block << 16
    // | offset).
    int locate_by_position(unsigned int street_position, int n, XrPoint& point, XrGid& gid, bool& first_half,
                           int& closest);
    // Number n on the first street of that name in the county (by id when
    // county_id is given, else by its county name).
    int locate_by_name(const XrString& county_name, const unsigned int* county_id, const XrString& name, int n,
                       XrPoint& point, XrGid& gid, bool& first_half, int& closest);

    // The house numbers on both sides at a distance along edge gid of the
    // street with that key, and the street's name (and county id).
    bool get_house_numbers_at(XrGid street_key, XrGid gid, double distance, XrString& name, int& left, int& right,
                              unsigned int* county_id);

private:
    bool read_edge(XrGid gid, XrPolygon& line);
    // Number n on the street the address cursor has just read.
    int locate_on_street(int n, XrPoint& point, XrGid& gid, bool& first_half, int& closest);

    XrGeomStorage* m_data_source;
    XrAddrAccessor* m_addr;
    int m_offset;
};
