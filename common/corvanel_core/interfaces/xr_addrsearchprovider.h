// The address search ("XrAddrSearchProvider"): counties, upper counties,
// streets, continuation letters and house numbers of the map's address
// database, and the upper-county filter the user chose.
#pragma once

#include <cstdint>
#include <vector>

#include "common/base/xr_singleton.h"
#include "common/container/xr_array.h"
#include "common/container/xr_string.h"
#include "common/geometry/xr_point.h"

// One county entry, with the packed position (block * 65536 + offset) of a
// street record in street results, 0 in county results.
struct XrAddrSearchStreet {
    std::uint32_t county = 0;
    std::uint32_t position = 0;
};

// A sequence of records (county entries or street positions) that a result
// stands for.
template <class T>
class XrBinaryString {
public:
    int items() const { return static_cast<int>(records.size()); }
    const T& get(int i) const { return records[static_cast<size_t>(i)]; }
    void append(const T& item) { records.push_back(item); }
    void clear() { records.clear(); }

private:
    std::vector<T> records;
};

// One result of an address search.
struct XrAddrSearchResult {
    enum Kind : int {
        Street = 0,         // one street
        MergedStreets = 1,  // several streets of one name
        County = 2,         // a county found by name or by upper county
        AllowedCounty = 3,  // a county of a given list
        Place = 4,          // a place of the place search
    };
    int kind = Street;
    XrString name;
    XrString details;
    double distance = -1.0; // map units; negative when unknown
    int reserved1 = 0;
    int reserved2 = 0;
    XrPoint position; // places only
    XrBinaryString<XrAddrSearchStreet> streets;
    int street_count = 0;
};

class XrAddrSearchProviderObserver {
public:
    // One result (valid during the call), or null once when more exist.
    virtual void matching_address_found(XrAddrSearchResult* result) = 0;

protected:
    ~XrAddrSearchProviderObserver() = default;
};

class XrAddrSearchProvider : public XrSingleton {
public:
    ~XrAddrSearchProvider() override = default;

    virtual void clear_upper_county_filter() = 0;
    virtual void set_upper_county_filter(const XrString& upper_county) = 0;
    // True (and the filter in out) when a filter is set.
    virtual bool get_upper_county_filter(XrString& out) = 0;
    virtual void get_upper_county_name(const XrString& county_text, XrString& out) = 0;
    // Streets whose name begins with the typed text, in the allowed counties
    // (sorted by id; null: all); at most max results, then null.
    virtual void search_streets(const XrString* text, const XrPoint* position,
                                XrBinaryString<XrAddrSearchStreet>* allowed_counties,
                                XrAddrSearchProviderObserver* observer, int max) = 0;
    // The streets of the name of the street record at block/offset.
    virtual void search_exact_streets(int block, int offset, XrPoint* position,
                                      XrBinaryString<XrAddrSearchStreet>* allowed_counties,
                                      XrAddrSearchProviderObserver* observer) = 0;
    // The upper-county names, sorted (owned by the map settings provider).
    virtual XrArray<XrString>* get_upper_counties() = 0;
    virtual void search_counties_by_uppercounty(XrString upper_county, XrAddrSearchProviderObserver* observer,
                                                int max) = 0;
    virtual void search_counties(XrString text, XrPoint* position,
                                 XrBinaryString<XrAddrSearchStreet>* allowed_counties,
                                 XrAddrSearchProviderObserver* observer, int max) = 0;
    // Lowest and highest house number of the street; -1 when it has none.
    virtual void get_house_number_range(int street_position, int& lowest, int& highest) = 0;
    // The number's position. With exact_only a number the street lacks gives
    // (0, 0) and house_number becomes the closest number it has (-1 when it
    // has none); without, the closest number's position (any point of the
    // street for -1 or a street without numbers), house_number set to it.
    virtual XrPoint get_house_number_position(int street_position, int& house_number, bool exact_only) = 0;
    // The texts that can follow the typed street prefix ("..." appended);
    // false when the prefix matches nothing or the database fails.
    virtual bool get_continuations(XrString text, XrBinaryString<XrAddrSearchStreet>* counties,
                                   XrArray<XrString>& out, int& first, int& second) = 0;
    // The place of the house number on the street of that name in a county
    // one of whose names begins with county (empty: any): the number, else
    // the closest one, else any point of the street. False when not found.
    virtual bool find_street_in_county(const XrString& street, const XrString& county, int house_number,
                                       XrPoint& out) = 0;
    virtual XrAddrSearchProvider* self() { return this; }
};
