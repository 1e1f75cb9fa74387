// The address search over the map's address database.
#pragma once

#include <unordered_set>

#include "common/container/xr_sortedlist.h"
#include "common/corvanel_core/interfaces/xr_addrsearchprovider.h"

class XrAddrAccessor;
class XrGeomStorage;

class XrAddrSearchProviderImpl : public XrAddrSearchProvider {
public:
    // The text with "ae", "oe", "ue" read as the umlauts "ä", "ö", "ü" (as
    // German names are typed without them); the streets and continuations
    // of a text that matches nothing are looked up in this spelling.
    static XrString umlaut_spelling(const XrString& text);

    // Street scans one typed text may start through street-type spellings;
    // the forks stop there (each word could fork eight ways).
    static constexpr int MAX_STREET_SCANS = 64;
    // A street's approximate point closer than this is refined to its first point.
    static constexpr int NEAR_STREET = 50000;

    void clear_upper_county_filter() override;
    void set_upper_county_filter(const XrString& upper_county) override;
    bool get_upper_county_filter(XrString& out) override;
    void get_upper_county_name(const XrString& county_text, XrString& out) override;
    void search_streets(const XrString* text, const XrPoint* position,
                        XrBinaryString<XrAddrSearchStreet>* allowed_counties,
                        XrAddrSearchProviderObserver* observer, int max) override;
    void search_exact_streets(int block, int offset, XrPoint* position,
                              XrBinaryString<XrAddrSearchStreet>* allowed_counties,
                              XrAddrSearchProviderObserver* observer) override;
    XrArray<XrString>* get_upper_counties() override;
    void search_counties_by_uppercounty(XrString upper_county, XrAddrSearchProviderObserver* observer,
                                        int max) override;
    void search_counties(XrString text, XrPoint* position, XrBinaryString<XrAddrSearchStreet>* allowed_counties,
                         XrAddrSearchProviderObserver* observer, int max) override;
    void get_house_number_range(int street_position, int& lowest, int& highest) override;
    XrPoint get_house_number_position(int street_position, int& house_number, bool exact_only) override;
    bool get_continuations(XrString text, XrBinaryString<XrAddrSearchStreet>* counties, XrArray<XrString>& out,
                           int& first, int& second) override;
    bool find_street_in_county(const XrString& street, const XrString& county, int house_number,
                               XrPoint& out) override;

    // The two display lines of a county text found by part m (1-3); false
    // for a text without them. by_upper_county selects the shorter second line.
    static bool county_lines(const XrString& county_text, int m, bool by_upper_county, XrString& first,
                             XrString& second);
    // The nearest valid number of a segment side (bounds a, b in any order,
    // parity kind 0 even, 1 odd, 2 all, 3 none); exact tells whether n itself.
    static int nearest_number(int n, int a, int b, int kind, bool& exact);
    // The point for number n on a polyline side (bounds a first, b last);
    // n <= 0: the middle, unmoved.
    static XrPoint point_on_polyline(const XrPoint* points, int count, int a, int b, int n, bool left);

private:
    using ResultList = XrSortedList<XrAddrSearchResult>;

    XrAddrAccessor* accessor();
    void do_search_streets(const XrString& so_far, const TCHAR* rest, const XrPoint* position,
                           XrBinaryString<XrAddrSearchStreet>* allowed, ResultList& list, int& scans);
    void search_streets_internal(const XrString* search_text, const XrPoint* position,
                                 XrBinaryString<XrAddrSearchStreet>* allowed, ResultList& list);
    void write_street_details(ResultList& list);
    bool upper_county_of(unsigned int county_id, XrString& out);
    double street_distance(XrGeomStorage* roads, unsigned int gid, const XrPoint& position);
    XrPoint segment_point(unsigned int gid, int a, int b, int n, bool left);
    void place_search(const XrString& folded, const XrPoint* position, ResultList& list);

    XrString upper_county_filter;
    // Street records taken by the scans of one search.
    std::unordered_set<unsigned int> taken_streets;
};
