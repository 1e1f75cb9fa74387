// The POI search over the POI layer's storage, in widening passes around a
// search position.
#pragma once

#include "common/corvanel_core/interfaces/xr_poisearchprovider.h"

class XrRouteInstructions;

// What the search needs of the route still ahead: the route parts, and the
// part and segment the car is on (segments run from the destination back).
class XrPoiSearchRoute {
public:
    virtual ~XrPoiSearchRoute() = default;
    virtual int get_route_part_count() = 0;
    virtual const XrRouteInstructions* get_route_part(int index) = 0;
    virtual int get_current_part() = 0;
    // -1 when not known.
    virtual int get_current_segment() = 0;
};

class XrPoiSearchProviderImpl : public XrPoiSearchProvider {
public:
    // Distance within which a POI counts as near the route (map units).
    static constexpr int ROUTE_DISTANCE = 5000;
    // First radius when none is given, and the radius that ends the widening.
    static constexpr int DEFAULT_RADIUS = 1000;
    static constexpr int LAST_RADIUS = 100000;

    XrPoiSearchProviderImpl() = default;
    ~XrPoiSearchProviderImpl() override = default;

    void search_pois(const XrString& words, bool along_route, const XrPoint* position, int radius,
                     const XrString* reference_name, const XrPoint* reference_point, int class_id,
                     XrPoiSearchProviderObserver* observer, int last, int note_limit, int first,
                     bool same_upper_county) override;

    // The route the "along the route" searches follow (not owned); null (the
    // default): the registered route provider's route layer, looked up at
    // each search (without one they find nothing).
    void set_route(XrPoiSearchRoute* route) { route_source = route; }

    // Whether p lies within distance of the route still ahead.
    static bool is_near_route(XrPoiSearchRoute* route, const XrPoint& p, int distance);
    // The display name of a POI text: up to the first TAB, tags dropped, at
    // most 255 characters.
    static XrString display_name(const TCHAR* text);
    // The value of the "c=" tag, upper-cased; empty when there is none.
    static XrString upper_county_tag(const TCHAR* text);

private:
    XrPoiSearchRoute* route_source = nullptr;
};
