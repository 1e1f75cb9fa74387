// The city search ("XrCitySearchProvider"): settlements of the map's
// settlement layer one of whose names begins with the typed text, nearest
// first with a position, else by name.
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_string.h"
#include "common/geometry/xr_point.h"

struct XrCitySearchResult {
    XrString name;    // the record's names ("a/b") up to its first TAB
    XrString details; // region and distance text
    XrPoint position; // map units
    double distance = -1.0; // map units; -1 without a search position
};

class XrCitySearchProviderObserver {
public:
    virtual ~XrCitySearchProviderObserver() = default;
    // One result (valid during the call), or null once when more exist.
    virtual void matching_city_found(XrCitySearchResult* result) = 0;
};

class XrCitySearchProvider : public XrSingleton {
public:
    ~XrCitySearchProvider() override = default;
    // Delivers at most max results, then null when there are more.
    virtual void search_cities(const XrString& text, const XrPoint* position, XrCitySearchProviderObserver* observer,
                               int max) = 0;
};
