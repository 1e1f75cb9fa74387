// What lies at a map point or a coordinate: the nearest street with its
// house numbers, county parts and country; else the coordinate texts or the
// nearest label of the "sm" layer. Keeps no state; reaches the map through
// the registered map, route and map-view providers.
#pragma once

#include "common/corvanel_core/interfaces/xr_locationdetailsprovider.h"

class XrLocationDetailsProviderImpl : public XrLocationDetailsProvider {
public:
    // Street search radius and label search square, in map units at zoom
    // ratio 1.
    static constexpr int STREET_RADIUS = 100;
    static constexpr int LABEL_HALF_SIDE = 5000;
    static constexpr int LABEL_LIMIT = 2000000;
    static constexpr int MAX_TEXT = 128;

    // Which house number of the street's two sides belongs to a point.
    enum Side : int { SideLeft = 0, SideRight = 1, SideOnLine = 2 };

    bool get_details(const XrPoint& map_point, XrLocationDetails& out) override;
    bool get_details(const XrCoordinate& coordinate, XrLocationDetails& out) override;
    void get_details_or_coordinates(const XrCoordinate& coordinate, XrLocationDetails& out) override;
    void get_details_or_coordinates(const XrPoint& map_point, XrLocationDetails& out) override;
    void get_details_or_nearest_label(const XrCoordinate& coordinate, XrLocationDetails& out) override;
    void get_details_or_nearest_label(const XrPoint& map_point, XrLocationDetails& out) override;
    void get_nearest_label(const XrPoint& map_point, XrString& text, XrString* second_text) override;

    // The address line of a street name, its two house numbers (0 = none)
    // and the side of the street the point lies on.
    static XrString format_address(const XrString& street, int first, int second, int side);
    // Splits a label at its first tab: the part before it, and the part
    // after it without its last character (empty when nothing follows).
    static void split_label(const TCHAR* label, XrString& proper, XrString& tail);

private:
    bool lookup_street(const XrPoint& map_point, XrLocationDetails& out);
};
