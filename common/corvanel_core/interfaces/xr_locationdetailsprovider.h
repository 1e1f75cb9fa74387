// What lies at a map point or a coordinate: the nearest street address, or
// the coordinate texts, or the nearest labelled map record. Registered as
// "XrLocationDetailsProvider".
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_string.h"
#include "common/geometry/xr_point.h"
#include "common/types/xr_coordinate.h"

struct XrLocationDetails {
    XrString text;         // the address line, or the fallback text
    XrString county_part3; // the parts of the street's "a#b#c" county text
    XrString county_part1;
    XrString county_part2;
    XrString country;
};

class XrLocationDetailsProvider : public XrSingleton {
public:
    ~XrLocationDetailsProvider() override = default;

    // True when a street was found.
    virtual bool get_details(const XrPoint& map_point, XrLocationDetails& out) = 0;
    virtual bool get_details(const XrCoordinate& coordinate, XrLocationDetails& out) = 0;
    // Without a street: text = latitude text, a blank, longitude text.
    virtual void get_details_or_coordinates(const XrCoordinate& coordinate, XrLocationDetails& out) = 0;
    virtual void get_details_or_coordinates(const XrPoint& map_point, XrLocationDetails& out) = 0;
    // Without a street: the nearest label fills text and county_part1.
    virtual void get_details_or_nearest_label(const XrCoordinate& coordinate, XrLocationDetails& out) = 0;
    virtual void get_details_or_nearest_label(const XrPoint& map_point, XrLocationDetails& out) = 0;
    // The nearest label of the "sm" layer within 5000 map units (text), and
    // the part after its tab (second_text, may be null).
    virtual void get_nearest_label(const XrPoint& map_point, XrString& text, XrString* second_text) = 0;
};
