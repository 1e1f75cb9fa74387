#include "common/corvanel_core/impl/xr_addrsearchproviderimpl.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/addr/xr_addraccessor.h"
#include "common/addr/xr_addrutil.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/impl/xr_streettypes.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_mapsettingsprovider.h"
#include "common/db/xr_geomstorage.h"
#include "common/db/xr_simplegeomstorage.h"
#include "common/geometry/xr_geometry.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_unicodeutil.h"
#include "common/types/xr_trig.h"
#include "common/types/xr_unitutil.h"

namespace {

constexpr TCHAR MARK_LTR = 0x202A;
constexpr TCHAR MARK_RTL = 0x202B;
constexpr TCHAR MARK_POP = 0x202C;
constexpr TCHAR WORD_END = 1; // a word boundary in a folded search text
constexpr int DIGIT_CODE = 5008;     // tree key of '0'; '9' is 5017
constexpr int FOLDED_DIGIT = 0x06F0; // folded '0'
constexpr int PLACE_SIDE = 20000; // area of a place without its own size
constexpr int PLACE_SIZE_BYTES = 3;

XrMapSettingsProvider* map_settings()
{
    return xr_registered<XrMapSettingsProvider>(L"XrMapSettingsProvider");
}

const XrUnicodeUtil* uu()
{
    return XrUnicodeUtil::get_instance();
}

int compare_results(const XrAddrSearchResult& a, const XrAddrSearchResult& b)
{
    int c = uu()->compare(a.name.c_str(), b.name.c_str());
    return c != 0 ? c : uu()->compare(a.details.c_str(), b.details.c_str());
}

XrString distance_text(double map_units)
{
    XrMapSettingsProvider* s = map_settings();
    const bool metric = s == nullptr || s->get_measurement_system() == 0;
    TCHAR buf[64];
    format_distance_text(buf, 64, map_units, metric, false, 1, true);
    return XrString(buf);
}

// Delivers at most max results of the list, then null when there are more.
void deliver(XrSortedList<XrAddrSearchResult>& list, XrAddrSearchProviderObserver* observer, int max)
{
    if (observer == nullptr)
        return;
    for (int i = 0; i < list.get_count(); ++i) {
        if (i == max) {
            observer->matching_address_found(nullptr);
            return;
        }
        observer->matching_address_found(list.get_item_ptr(i));
    }
}

bool contains_county(const XrBinaryString<XrAddrSearchStreet>& allowed, unsigned int county)
{
    int lo = 0, hi = allowed.items();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (allowed.get(mid).county < county)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < allowed.items() && allowed.get(lo).county == county;
}

// Calls fn(id, text) for every county entry in id order.
template <class Fn>
void for_each_county(XrAddrAccessor* acc, Fn fn)
{
    acc->set_name_caching(true);
    XrString name;
    BYTE attribute = 0;
    unsigned int next = 0;
    for (unsigned int id = 0; acc->get_county(id, name, &attribute, &next) == XrAddrAccessor::OK; id = next) {
        fn(id, name);
        if (next <= id)
            break;
    }
    acc->set_name_caching(false);
}

XrString folded(const XrString& text)
{
    XrString f = text;
    uu()->fold_string(f);
    return f;
}

// The folded text without word boundaries, as the name tree knows it.
XrString tree_prefix(const XrString& key)
{
    XrString out;
    for (int i = 0; i < key.length(); ++i)
        if (key.char_at(i) != WORD_END)
            out += key.char_at(i);
    return out;
}

} // namespace

XrAddrAccessor* XrAddrSearchProviderImpl::accessor()
{
    XrMapProvider* maps = xr_map_provider();
    return maps != nullptr ? maps->get_addr_accessor() : nullptr;
}

// ---------------------------------------------------------------- filter

void XrAddrSearchProviderImpl::clear_upper_county_filter()
{
    upper_county_filter.clear();
    if (XrMapSettingsProvider* s = map_settings()) {
        s->set_last_filter(XrString());
        s->save(false);
    }
}

void XrAddrSearchProviderImpl::set_upper_county_filter(const XrString& upper_county)
{
    upper_county_filter = upper_county;
    if (XrMapSettingsProvider* s = map_settings()) {
        s->set_last_filter(upper_county);
        s->save(false);
    }
}

bool XrAddrSearchProviderImpl::get_upper_county_filter(XrString& out)
{
    if (!upper_county_filter.is_empty()) {
        out = upper_county_filter;
        return true;
    }
    XrMapSettingsProvider* s = map_settings();
    if (s == nullptr)
        return false;
    const XrString stored = s->get_last_filter();
    if (stored.is_empty())
        return false;
    XrArray<XrString>* names = get_upper_counties();
    for (int i = 0; names != nullptr && i < names->get_num_items(); ++i) {
        if (*names->get_item_ptr(i) == stored) {
            out = stored;
            upper_county_filter = stored;
            return true;
        }
    }
    return false;
}

void XrAddrSearchProviderImpl::get_upper_county_name(const XrString& county_text, XrString& out)
{
    out.clear();
    XrAddrAccessor* acc = accessor();
    XrMapProvider* maps = xr_map_provider();
    bool last_word = maps != nullptr && maps->are_country_names_included();
    if (!last_word && acc != nullptr && acc->get_country_count() == 1) {
        XrString country;
        last_word = acc->get_country_name(0, country) == XrAddrAccessor::OK && country == L"USA";
    }
    if (last_word)
        XrAddrUtil::parse_county_last_word(county_text.c_str(), out);
    else
        XrAddrUtil::get_county_part(county_text.c_str(), 2, out);
}

bool XrAddrSearchProviderImpl::upper_county_of(unsigned int county_id, XrString& out)
{
    XrAddrAccessor* acc = accessor();
    XrString text;
    if (acc == nullptr || acc->get_county(county_id, text, nullptr, nullptr) != XrAddrAccessor::OK)
        return false;
    get_upper_county_name(text, out);
    return true;
}

XrArray<XrString>* XrAddrSearchProviderImpl::get_upper_counties()
{
    XrMapSettingsProvider* s = map_settings();
    if (s == nullptr)
        return nullptr;
    XrArray<XrString>* cached = s->get_abbreviations();
    if (cached != nullptr && cached->get_num_items() > 0)
        return cached;
    XrAddrAccessor* acc = accessor();
    if (acc == nullptr)
        return cached;
    std::unordered_map<std::wstring, unsigned int> seen;
    std::vector<XrString> names;
    for_each_county(acc, [&](unsigned int id, const XrString& text) {
        if (text.find(L"#") < 0)
            return;
        XrString upper;
        get_upper_county_name(text, upper);
        if (!upper.is_empty() && seen.emplace(upper.c_str(), id).second)
            names.push_back(upper);
    });
    std::stable_sort(names.begin(), names.end(),
                     [](const XrString& a, const XrString& b) { return uu()->compare(a.c_str(), b.c_str()) < 0; });
    auto list = std::make_unique<XrArray<XrString>>(static_cast<int>(names.size()) + 1);
    for (const XrString& n : names)
        list->append(n);
    s->set_abbreviations(list.release());
    s->save(true);
    return s->get_abbreviations();
}

// ---------------------------------------------------------------- counties

bool XrAddrSearchProviderImpl::county_lines(const XrString& county_text, int m, bool by_upper_county,
                                            XrString& first, XrString& second)
{
    const TCHAR* t = county_text.c_str();
    if (t[0] == L'#' && t[1] == L'#')
        return false;
    XrString p1, p2, p3;
    if (!XrAddrUtil::parse_county_name(t, p1, p2, p3))
        return false;
    const TCHAR mark = XrUnicodeUtil::contains_arabic_characters(t) ? MARK_RTL : MARK_LTR;
    auto line = [&](const XrString& body) {
        XrString s;
        s += mark;
        s += body;
        s += MARK_POP;
        return s;
    };
    auto paren = [](const XrString& a, const XrString& b) { // "(a b)", or "(b)" without a
        XrString s(L"(");
        if (!a.is_empty()) {
            s += a;
            s += L" ";
        }
        s += b;
        s += L")";
        return s;
    };
    switch (m) {
    case 1:
        first = line(p1);
        second = line(by_upper_county ? paren(XrString(), p2) : paren(p3, p2));
        return true;
    case 2:
        first = line(p2);
        second = line(by_upper_county ? paren(XrString(), p1) : paren(p3, p1));
        return true;
    case 3: {
        first = line(p3);
        XrString s = p1;
        s += L" ";
        s += paren(XrString(), p2);
        second = line(s);
        return true;
    }
    default:
        return false;
    }
}

void XrAddrSearchProviderImpl::search_counties_by_uppercounty(XrString upper_county,
                                                              XrAddrSearchProviderObserver* observer, int max)
{
    XrAddrAccessor* acc = accessor();
    if (acc == nullptr || max < 0)
        return;
    ResultList list(max + 1, compare_results);
    for_each_county(acc, [&](unsigned int id, const XrString& text) {
        if (list.get_count() > max) // one more than asked tells that more exist
            return;
        XrString upper;
        get_upper_county_name(text, upper);
        if (upper != upper_county)
            return;
        XrAddrSearchResult r;
        if (!county_lines(text, 1, true, r.name, r.details))
            return;
        r.kind = XrAddrSearchResult::County;
        r.streets.append(XrAddrSearchStreet{id, 0});
        r.street_count = 1;
        list.add_item(r);
    });
    deliver(list, observer, max);
}

void XrAddrSearchProviderImpl::search_counties(XrString text, XrPoint* position,
                                               XrBinaryString<XrAddrSearchStreet>* allowed_counties,
                                               XrAddrSearchProviderObserver* observer, int max)
{
    XrAddrAccessor* acc = accessor();
    if (acc == nullptr || max < 0)
        return;
    const XrString typed = folded(text);
    if (allowed_counties != nullptr) {
        int delivered = 0;
        for (int i = 0; i < allowed_counties->items(); ++i) {
            const unsigned int id = allowed_counties->get(i).county;
            XrString county;
            if (acc->get_county(id, county, nullptr, nullptr) != XrAddrAccessor::OK)
                continue;
            const int m = XrAddrUtil::compare_county_to_string(county.c_str(), typed.c_str(), 0);
            if (m == 0)
                continue;
            XrAddrSearchResult r;
            if (!county_lines(county, m, false, r.name, r.details))
                continue;
            if (delivered == max) {
                if (observer != nullptr)
                    observer->matching_address_found(nullptr);
                return;
            }
            r.kind = XrAddrSearchResult::AllowedCounty;
            r.streets.append(XrAddrSearchStreet{id, 0});
            r.street_count = 1;
            ++delivered;
            if (observer != nullptr)
                observer->matching_address_found(&r);
        }
        return;
    }

    XrString filter;
    const bool has_filter = get_upper_county_filter(filter);
    std::vector<XrAddrSearchResult> found;
    std::unordered_map<std::wstring, size_t> by_name;
    bool any = false;
    for_each_county(acc, [&](unsigned int id, const XrString& county) {
        const int m = XrAddrUtil::compare_county_to_string(county.c_str(), typed.c_str(), 0);
        if (m == 0)
            return;
        if (has_filter) {
            XrString upper;
            get_upper_county_name(county, upper);
            if (upper != filter)
                return;
        }
        XrAddrSearchResult r;
        if (!county_lines(county, m, false, r.name, r.details))
            return;
        any = true;
        auto same = by_name.find(r.name.c_str());
        if (same != by_name.end()) {
            XrAddrSearchResult& merged = found[same->second];
            merged.streets.append(XrAddrSearchStreet{id, 0});
            merged.street_count = merged.streets.items();
            merged.details.clear();
            return;
        }
        if (static_cast<int>(found.size()) > max)
            return;
        r.kind = XrAddrSearchResult::County;
        r.streets.append(XrAddrSearchStreet{id, 0});
        r.street_count = 1;
        by_name.emplace(r.name.c_str(), found.size());
        found.push_back(r);
    });
    ResultList list(max + 1, compare_results);
    for (const XrAddrSearchResult& r : found)
        list.add_item(r);
    if (!any)
        place_search(typed, position, list);
    deliver(list, observer, max);
}

void XrAddrSearchProviderImpl::place_search(const XrString& typed, const XrPoint* position, ResultList& list)
{
    XrMapProvider* maps = xr_map_provider();
    XrSimpleGeomStorage* areas = maps != nullptr ? maps->get_pb_storage() : nullptr;
    XrSimpleGeomStorage* places = maps != nullptr ? maps->get_pc_storage() : nullptr;
    if (areas == nullptr || places == nullptr)
        return;
    const int typed_len = uu()->get_folded_length(typed.c_str());
    const bool sized = areas->get_attr_count() >= PLACE_SIZE_BYTES;
    std::unordered_map<std::wstring, bool> seen;
    std::unique_ptr<XrGeomCursor> cursor(areas->get_cursor(nullptr, 0));
    if (!cursor)
        return;
    xr_for_each_text_record(*cursor, 0, [&](const XrTextRecord& area) {
        const int n = uu()->get_folded_length(area.text);
        if (n == 0 || n > typed_len || uu()->compare_prefix(area.text, typed.c_str(), n) != 0)
            return true;
        if (typed_len - n >= 2) {
            const TCHAR after = typed.char_at(n), next = typed.char_at(n + 1);
            auto digit = [](TCHAR c) { return (c >= L'0' && c <= L'9') || (c >= DIGIT_CODE && c <= DIGIT_CODE + 9); };
            if (!digit(after) || digit(next))
                return true;
        }
        long long side = PLACE_SIDE;
        if (sized && area.attributes != nullptr)
            side = static_cast<long long>(area.attributes[0]) << 16 | area.attributes[1] << 8 | area.attributes[2];
        const XrRectangle square(xr_trunc_coord(area.x - side / 2.0), xr_trunc_coord(area.y - side / 2.0),
                                 xr_trunc_coord(area.x + side / 2.0), xr_trunc_coord(area.y + side / 2.0));
        std::unique_ptr<XrGeomCursor> inner(places->get_cursor(&square, 0));
        if (!inner)
            return true;
        xr_for_each_text_record(*inner, 0, [&](const XrTextRecord& place) {
            if (!square.contains(place.x, place.y) || uu()->get_folded_length(place.text) < typed_len ||
                uu()->compare_prefix(place.text, typed.c_str(), typed_len) != 0)
                return true;
            if (!seen.emplace(place.text, true).second)
                return true;
            XrAddrSearchResult r;
            r.kind = XrAddrSearchResult::Place;
            r.name = place.text;
            r.position = XrPoint(place.x, place.y);
            if (position != nullptr) {
                r.distance = position->distance(place.x, place.y);
                r.details = distance_text(r.distance);
            }
            list.add_item(r);
            return true;
        });
        return true;
    });
}

// ---------------------------------------------------------------- streets

void XrAddrSearchProviderImpl::search_streets(const XrString* text, const XrPoint* position,
                                              XrBinaryString<XrAddrSearchStreet>* allowed_counties,
                                              XrAddrSearchProviderObserver* observer, int max)
{
    if (max < 0 || accessor() == nullptr || (allowed_counties != nullptr && allowed_counties->items() == 0))
        return;
    ResultList list(max + 1, compare_results);
    taken_streets.clear();
    int scans = 0;
    do_search_streets(XrString(), text != nullptr ? text->c_str() : L"", position, allowed_counties, list, scans);
    // "Aeulestrasse" typed for "Äulestrasse": the umlauts written out.
    const XrString umlauts = text != nullptr ? umlaut_spelling(*text) : XrString();
    if (list.get_count() == 0 && text != nullptr && !(umlauts == *text)) {
        taken_streets.clear();
        scans = 0;
        do_search_streets(XrString(), umlauts.c_str(), position, allowed_counties, list, scans);
    }
    write_street_details(list);
    deliver(list, observer, max);
}

void XrAddrSearchProviderImpl::do_search_streets(const XrString& so_far, const TCHAR* rest, const XrPoint* position,
                                                 XrBinaryString<XrAddrSearchStreet>* allowed, ResultList& list,
                                                 int& scans)
{
    while (*rest == L' ' || *rest == L'\t')
        ++rest;
    if (*rest == 0) {
        if (scans >= MAX_STREET_SCANS)
            return;
        ++scans;
        XrAddrAccessor* acc = accessor();
        const XrString prefix = tree_prefix(so_far);
        if (acc->find_first_street(prefix.c_str(), false) == XrAddrAccessor::OK)
            search_streets_internal(&so_far, position, allowed, list);
        return;
    }
    const TCHAR* end = rest;
    while (*end != 0 && *end != L' ' && *end != L'\t')
        ++end;
    XrString word;
    for (const TCHAR* p = rest; p < end; ++p) {
        const TCHAR f = uu()->fold_char(*p);
        if (f != 0)
            word += f;
    }
    const int group = word.is_empty() ? -1 : XrStreetTypes::find_group(word.c_str());
    if (group < 0) {
        do_search_streets(so_far + word, end, position, allowed, list, scans);
        return;
    }
    const TCHAR* const* spellings = nullptr;
    const int n = XrStreetTypes::spellings(group, spellings);
    for (int i = 0; i < n && scans < MAX_STREET_SCANS; ++i) {
        XrString next = so_far + spellings[i];
        const int len = static_cast<int>(std::wcslen(spellings[i]));
        if (len < word.length() && std::wcsncmp(word.c_str(), spellings[i], static_cast<size_t>(len)) == 0)
            next += WORD_END;
        do_search_streets(next, end, position, allowed, list, scans);
    }
}

double XrAddrSearchProviderImpl::street_distance(XrGeomStorage* roads, unsigned int gid, const XrPoint& position)
{
    if (roads == nullptr)
        return -1.0;
    std::unique_ptr<XrGeomCursor> cursor(roads->get_cursor(nullptr, 0));
    if (!cursor)
        return -1.0;
    XrPoint approx;
    if (cursor->get_approximated_point_for_geom_id(static_cast<int>(gid), approx) != XrGeomCursor::OK)
        return -1.0;
    double d = position.distance(approx);
    if (d < NEAR_STREET) {
        XrGeomStorage::XrRecordType type{};
        const BYTE* data = nullptr;
        if (cursor->get_record_by_geom_id(gid, type, data) == XrGeomCursor::OK && type == XrGeomStorage::RecPolyline) {
            int id = 0, x = 0, y = 0;
            short t = 0, aux = 0;
            const BYTE* points = nullptr;
            const BYTE* attributes = nullptr;
            BYTE coding = 0;
            if (cursor->get_pp(data, id, x, y, t, aux, points, coding, attributes) > 0)
                d = position.distance(x, y);
        }
    }
    return d;
}

void XrAddrSearchProviderImpl::search_streets_internal(const XrString* search_text, const XrPoint* position,
                                                       XrBinaryString<XrAddrSearchStreet>* allowed, ResultList& list)
{
    XrAddrAccessor* acc = accessor();
    XrMapProvider* maps = xr_map_provider();
    XrGeomStorage* roads = position != nullptr && maps != nullptr ? maps->get_road_geometry() : nullptr;
    XrString filter;
    const bool has_filter = get_upper_county_filter(filter);
    const bool exact = search_text == nullptr;
    XrString key = exact ? XrString() : *search_text;
    int key_len = key.length();
    bool have_key = !exact;

    bool open = false;
    XrAddrSearchResult group;
    std::unordered_set<unsigned int>& taken = taken_streets;
    std::vector<XrAddrSearchStreet> records;
    bool stop = false;
    auto close = [&]() {
        if (!open)
            return;
        open = false;
        std::stable_sort(records.begin(), records.end(),
                         [](const XrAddrSearchStreet& a, const XrAddrSearchStreet& b) { return a.county < b.county; });
        group.streets.clear();
        for (const XrAddrSearchStreet& s : records)
            group.streets.append(s);
        group.street_count = static_cast<int>(records.size());
        if (!list.add_item(group))
            stop = true;
    };

    XrString name;
    unsigned int county = 0;
    XrGid gid = 0;
    while (!stop && acc->get_next_street(&name, &county, nullptr, &gid, nullptr) == XrAddrAccessor::OK) {
        const unsigned int packed = acc->get_current_position();
        if (!have_key) {
            key = folded(name);
            key_len = key.length();
            have_key = true;
        }
        const int cmp = uu()->compare_words(name.c_str(), key.c_str(), key_len);
        if (cmp > 0)
            break; // the names have passed the search text
        bool match = cmp == 0 && (!exact || uu()->get_folded_length(name.c_str()) == key_len);
        if (match && taken.count(packed) != 0)
            continue; // already found through another spelling of a street type
        if (match && has_filter) {
            XrString upper;
            match = upper_county_of(county, upper) && upper == filter;
        }
        if (!match) {
            close();
            if (exact)
                break;
            continue;
        }
        if (allowed != nullptr && !contains_county(*allowed, county)) {
            close();
            continue;
        }
        taken.insert(packed);
        const double distance = position != nullptr ? street_distance(roads, gid, *position) : -1.0;
        if (allowed == nullptr && open && group.name == name) {
            records.push_back(XrAddrSearchStreet{county, packed});
            group.kind = XrAddrSearchResult::MergedStreets;
            if (distance >= 0 && (group.distance < 0 || distance < group.distance))
                group.distance = distance;
            continue;
        }
        close();
        if (stop)
            break;
        open = true;
        group = XrAddrSearchResult();
        group.kind = XrAddrSearchResult::Street;
        group.name = name;
        group.distance = distance;
        records.assign(1, XrAddrSearchStreet{county, packed});
    }
    close();
}

void XrAddrSearchProviderImpl::write_street_details(ResultList& list)
{
    XrAddrAccessor* acc = accessor();
    for (int i = 0; i < list.get_count(); ++i) {
        XrAddrSearchResult* r = list.get_item_ptr(i);
        const bool known = r->distance >= 0;
        const XrString dist = known ? distance_text(r->distance) : XrString();
        if (r->street_count == 1) {
            XrString county;
            if (acc->get_county(r->streets.get(0).county, county, nullptr, nullptr) != XrAddrAccessor::OK)
                county.clear();
            const XrString shown = XrAddrUtil::format_county_name(county.c_str());
            if (known)
                r->details.format(256, L"%s, %s", dist.c_str(), shown.c_str());
            else
                r->details = shown;
        } else {
            XrString count;
            count.format_text(64, R_STR_POSDLG_PCS, r->street_count);
            if (known)
                r->details.format(64, L"%s, %s", count.c_str(), dist.c_str());
            else
                r->details = count;
        }
    }
}

void XrAddrSearchProviderImpl::search_exact_streets(int block, int offset, XrPoint* position,
                                                    XrBinaryString<XrAddrSearchStreet>* allowed_counties,
                                                    XrAddrSearchProviderObserver* observer)
{
    XrAddrAccessor* acc = accessor();
    if (acc == nullptr || block < 0 || offset < 0)
        return;
    if (acc->seek_block(static_cast<unsigned int>(block), static_cast<unsigned int>(offset)) != XrAddrAccessor::OK)
        return;
    ResultList list(100, compare_results);
    taken_streets.clear();
    search_streets_internal(nullptr, position, allowed_counties, list);
    write_street_details(list);
    for (int i = 0; observer != nullptr && i < list.get_count(); ++i)
        observer->matching_address_found(list.get_item_ptr(i));
}

// ---------------------------------------------------------------- house numbers

void XrAddrSearchProviderImpl::get_house_number_range(int street_position, int& lowest, int& highest)
{
    lowest = highest = -1;
    XrAddrAccessor* acc = accessor();
    if (acc == nullptr || !acc->set_current_position(static_cast<unsigned int>(street_position)) ||
        acc->get_next_street(nullptr, nullptr, nullptr, nullptr, nullptr) != XrAddrAccessor::OK)
        return;
    XrGid gid = 0;
    short bounds[4];
    XrAddrAccessor::NumType lt{}, rt{};
    while (acc->get_next_segment(gid, bounds[0], bounds[1], lt, bounds[2], bounds[3], rt) == XrAddrAccessor::OK) {
        for (short b : bounds) {
            const int v = static_cast<unsigned short>(b);
            if (v == 0 || v == 65535)
                continue;
            if (lowest < 0 || v < lowest)
                lowest = v;
            if (v > highest)
                highest = v;
        }
    }
}

int XrAddrSearchProviderImpl::nearest_number(int n, int a, int b, int kind, bool& exact)
{
    exact = false;
    const int lo = std::min(a, b), hi = std::max(a, b);
    if (kind == 3)
        return 0;
    if (n < lo)
        return lo;
    if (n > hi)
        return hi;
    if (kind == 2 || (n % 2 == 0 ? kind == 0 : kind == 1)) {
        exact = true;
        return n;
    }
    if (n + 1 <= hi)
        return n + 1;
    if (n - 1 >= lo)
        return n - 1;
    return n;
}

XrPoint XrAddrSearchProviderImpl::point_on_polyline(const XrPoint* pts, int count, int a, int b, int n, bool left)
{
    if (count < 2)
        return XrPoint(0, 0);
    double t = 0.5;
    if (n > 0) {
        if (a < b)
            t = ((n - a) / 2.0 + 1) / ((b - a) / 2.0 + 2);
        else if (b < a)
            t = 1 - ((n - b) / 2.0 + 1) / ((a - b) / 2.0 + 2);
        t = std::clamp(t, 0.0, 1.0);
    }
    double total = 0;
    for (int i = 1; i < count; ++i)
        total += pts[i - 1].distance(pts[i]);
    double l = t * total;
    for (int i = 1; i < count; ++i) {
        const XrPoint& s = pts[i - 1];
        const XrPoint& e = pts[i];
        const double len = s.distance(e);
        if (l <= len || i == count - 1) {
            const double f = len == 0 ? 0 : l / len;
            double x = s.x + (static_cast<double>(e.x) - s.x) * f;
            double y = s.y + (static_cast<double>(e.y) - s.y) * f;
            if (n > 0) {
                const int deg = static_cast<int>(std::lround(get_angle(s, e) * 180.0 / M_PI));
                const int alpha = deg + (left ? 90 : -90);
                x += cos_deg(alpha);
                y += sin_deg(alpha);
            }
            return XrPoint(xr_trunc_coord(x), xr_trunc_coord(y));
        }
        l -= len;
    }
    return XrPoint(0, 0);
}

XrPoint XrAddrSearchProviderImpl::segment_point(unsigned int gid, int a, int b, int n, bool left)
{
    XrMapProvider* maps = xr_map_provider();
    XrGeomStorage* roads = maps != nullptr ? maps->get_road_geometry() : nullptr;
    if (roads == nullptr)
        return XrPoint(0, 0);
    std::unique_ptr<XrGeomCursor> cursor(roads->get_cursor(nullptr, 0));
    XrGeomStorage::XrRecordType type{};
    const BYTE* data = nullptr;
    if (!cursor || cursor->get_record_by_geom_id(gid, type, data) != XrGeomCursor::OK ||
        type != XrGeomStorage::RecPolyline)
        return XrPoint(0, 0);
    int id = 0, x = 0, y = 0;
    short t = 0, aux = 0;
    const BYTE* p = nullptr;
    const BYTE* attributes = nullptr;
    BYTE coding = 0;
    const int count = cursor->get_pp(data, id, x, y, t, aux, p, coding, attributes);
    if (count < 2)
        return XrPoint(0, 0);
    std::vector<XrPoint> pts;
    pts.reserve(static_cast<size_t>(count));
    pts.emplace_back(x, y);
    for (int i = 1; i < count; ++i) {
        cursor->get_pp_next_pt(coding, x, y, p);
        pts.emplace_back(x, y);
    }
    return point_on_polyline(pts.data(), count, a, b, n, left);
}

XrPoint XrAddrSearchProviderImpl::get_house_number_position(int street_position, int& house_number, bool exact_only)
{
    XrAddrAccessor* acc = accessor();
    if (acc == nullptr || street_position < 0)
        return XrPoint(0, 0);
    const unsigned int pos = static_cast<unsigned int>(street_position);
    if (acc->seek_block(pos / 65536, pos % 65536) != XrAddrAccessor::OK ||
        acc->get_next_street(nullptr, nullptr, nullptr, nullptr, nullptr) != XrAddrAccessor::OK)
        return XrPoint(0, 0);
    XrGid gid = 0;
    short lf = 0, lt = 0, rf = 0, rt = 0;
    XrAddrAccessor::NumType lk{}, rk{};
    bool any = false, exact = false;
    int best = 0;
    XrGid best_gid = 0, last_gid = 0;
    int best_a = 0, best_b = 0;
    bool best_left = true;
    while (acc->get_next_segment(gid, lf, lt, lk, rf, rt, rk) == XrAddrAccessor::OK) {
        any = true;
        if (house_number < 0)
            return segment_point(gid, 0, 0, 0, true);
        last_gid = gid;
        const int sides[2][3] = {{static_cast<unsigned short>(lf), static_cast<unsigned short>(lt), lk},
                                 {static_cast<unsigned short>(rf), static_cast<unsigned short>(rt), rk}};
        for (int s = 0; s < 2 && !exact; ++s) {
            bool is_exact = false;
            const int cand = nearest_number(house_number, sides[s][0], sides[s][1], sides[s][2], is_exact);
            if (is_exact) {
                exact = true;
                best = cand;
                best_gid = gid;
                best_a = sides[s][0];
                best_b = sides[s][1];
                best_left = s == 0;
            } else if (cand != 0 && (best == 0 || std::abs(cand - house_number) < std::abs(best - house_number))) {
                best = cand;
                best_gid = gid;
                best_a = sides[s][0];
                best_b = sides[s][1];
                best_left = s == 0;
            }
        }
        if (exact)
            break;
    }
    if (!any) {
        if (exact_only)
            house_number = -1; // a street without segments has no numbers
        return XrPoint(0, 0);
    }
    if (!exact && exact_only) {
        // The closest number, or -1 when the street has none (never 0).
        house_number = best != 0 ? best : -1;
        return XrPoint(0, 0);
    }
    if (best == 0) { // no side has numbers: the middle of the last segment
        house_number = -1;
        return segment_point(last_gid, 0, 0, 0, true);
    }
    house_number = best;
    return segment_point(best_gid, best_a, best_b, best, best_left);
}

// ---------------------------------------------------------------- continuations

XrString XrAddrSearchProviderImpl::umlaut_spelling(const XrString& text)
{
    std::wstring out;
    const wchar_t* p = text.c_str();
    for (; p != nullptr && *p != 0; ++p) {
        const wchar_t c = *p;
        if ((p[1] == L'e' || p[1] == L'E') && std::wcschr(L"AOUaou", c) != nullptr && c != 0) {
            const bool upper = c == L'A' || c == L'O' || c == L'U';
            const wchar_t* from = upper ? L"AOU" : L"aou";
            const wchar_t* to = upper ? L"\u00C4\u00D6\u00DC" : L"\u00E4\u00F6\u00FC";
            out += to[std::wcschr(from, c) - from];
            ++p;
            continue;
        }
        out += c;
    }
    return XrString(out.c_str());
}

bool XrAddrSearchProviderImpl::get_continuations(XrString text, XrBinaryString<XrAddrSearchStreet>* counties,
                                                 XrArray<XrString>& out, int& first, int& second)
{
    XrAddrAccessor* acc = accessor();
    if (acc == nullptr)
        return false;
    const XrString typed = folded(text);
    const XrAddrAccessor::Status st = acc->find_first_street(typed.c_str(), true);
    if (st == XrAddrAccessor::OK)
        return true;
    if (st != XrAddrAccessor::PREFIX_AT_NODE) {
        // The same umlaut spelling as the street search.
        const XrString umlauts = umlaut_spelling(text);
        return !(umlauts == text) && get_continuations(umlauts, counties, out, first, second);
    }
    std::vector<unsigned int> ids;
    for (int i = 0; counties != nullptr && i < counties->items(); ++i)
        ids.push_back(counties->get(i).county);
    XrArray<XrString> letters(16);
    bool exact = false;
    unsigned int block = 0, offset = 0;
    first = second = -1;
    if (acc->get_next_letters(letters, ids.empty() ? nullptr : ids.data(), static_cast<int>(ids.size()), exact, block,
                              offset) != XrAddrAccessor::OK)
        return false; // a damaged database: no continuations
    if (letters.get_num_items() == 0 && !exact) {
        const XrString umlauts = umlaut_spelling(text);
        if (!(umlauts == text))
            return get_continuations(umlauts, counties, out, first, second);
    }
    if (exact) {
        first = static_cast<int>(block);
        second = static_cast<int>(offset);
    }
    XrString shown;
    for (int i = 0; i < typed.length(); ++i) {
        const TCHAR c = typed.char_at(i);
        if (c >= DIGIT_CODE && c <= DIGIT_CODE + 9)
            shown += static_cast<TCHAR>(L'0' + (c - DIGIT_CODE));
        else if (c >= FOLDED_DIGIT && c <= FOLDED_DIGIT + 9)
            shown += static_cast<TCHAR>(L'0' + (c - FOLDED_DIGIT));
        else
            shown += c;
    }
    for (int i = 0; i < letters.get_num_items(); ++i) {
        XrString s = shown;
        s += *letters.get_item_ptr(i);
        s += L"...";
        out.append(s);
    }
    return true;
}

bool XrAddrSearchProviderImpl::find_street_in_county(const XrString& street, const XrString& county, int house_number,
                                                     XrPoint& out)
{
    XrAddrAccessor* acc = accessor();
    if (acc == nullptr)
        return false;
    const XrString name = folded(street);
    const XrString wanted = folded(county);
    if (acc->find_first_street(name.c_str(), false) != XrAddrAccessor::OK)
        return false;
    ResultList list(10, compare_results);
    taken_streets.clear();
    search_streets_internal(&name, nullptr, nullptr, list);
    for (int i = 0; i < list.get_count(); ++i) {
        XrAddrSearchResult* r = list.get_item_ptr(i);
        for (int j = 0; j < r->streets.items(); ++j) {
            XrString text;
            if (acc->get_county(r->streets.get(j).county, text, nullptr, nullptr) != XrAddrAccessor::OK)
                continue;
            if (XrAddrUtil::compare_county_to_string(text.c_str(), wanted.c_str(), 0) != 0) {
                // The number, else the closest one the street has, else any
                // point of the street; (0, 0) is no place.
                const int position = static_cast<int>(r->streets.get(j).position);
                int number = house_number;
                out = get_house_number_position(position, number, true);
                if (out.x == 0 && out.y == 0) {
                    number = house_number;
                    out = get_house_number_position(position, number, false);
                }
                if (out.x == 0 && out.y == 0) {
                    number = -1;
                    out = get_house_number_position(position, number, false);
                }
                if (out.x != 0 || out.y != 0)
                    return true;
            }
        }
    }
    return false;
}
