// The POI search ("XrPoiSearchProvider"): the map's POIs whose name or class
// name matches the typed words, optionally near a position, of one class or
// along the route still ahead; nearest first with a position, else by name.
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_string.h"
#include "common/corvanel_core/interfaces/xr_mappoint.h"
#include "common/db/xr_gid.h"
#include "common/geometry/xr_point.h"

struct XrPoiSearchResult {
    XrString name;        // the POI text up to its first TAB, without tags
    XrString description; // the distance text; empty without a search position
    XrPoint position;     // map units
    double distance = -1.0; // map units from the search position; -1 without one
    XrGid gid = 0;
    XrPoiSettings::XrBitmapData bm_data; // the class's small icon
};

class XrPoiSearchProviderObserver {
public:
    virtual ~XrPoiSearchProviderObserver() = default;
    // One result (valid during the call), or null once when more exist.
    virtual void matching_poi_found(XrPoiSearchResult* result) = 0;
};

class XrPoiSearchProvider : public XrSingleton {
public:
    ~XrPoiSearchProvider() override = default;

    // Finds the POIs matching words (empty: all) and hands results first to
    // last - 1 to the observer. position null: one pass over the whole map,
    // ordered by name; else widening passes from radius (0: from 1000 map
    // units up to 128000), ordered by distance. class_id -1: any class.
    // note_limit >= 0 shows the "too many POIs" note when a pass accepts that
    // many. same_upper_county keeps only POIs of the address search's upper
    // county when both are known.
    virtual void search_pois(const XrString& words, bool along_route, const XrPoint* position, int radius,
                             const XrString* reference_name, const XrPoint* reference_point, int class_id,
                             XrPoiSearchProviderObserver* observer, int last, int note_limit, int first,
                             bool same_upper_county) = 0;
};
