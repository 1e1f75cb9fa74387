// The city search over the settlement layer's text records, in widening
// passes around a search position.
#pragma once

#include "common/corvanel_core/interfaces/xr_citysearchprovider.h"

class XrCitySearchProviderImpl : public XrCitySearchProvider {
public:
    static constexpr int FIRST_RADIUS = 1000;
    // Above this radius a pass reads the rest of the storage at once.
    static constexpr int WHOLE_STORAGE_RADIUS = 500000;
    // Records of one name and region closer than this are one town (a town
    // mapped with several place nodes).
    static constexpr int SAME_TOWN_RADIUS = 10000;

    void search_cities(const XrString& text, const XrPoint* position, XrCitySearchProviderObserver* observer,
                       int max) override;

    // Whether one of the '/'-separated names before the record's first TAB
    // begins with the folded text (of folded length n).
    static bool name_matches(const TCHAR* record, const TCHAR* folded, int n);
};
