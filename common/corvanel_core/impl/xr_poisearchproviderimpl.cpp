#include "common/corvanel_core/impl/xr_poisearchproviderimpl.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <unordered_map>

#include "common/container/xr_sortedlist.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/impl/xr_searchpasses.h"
#include "common/corvanel_core/interfaces/xr_addrsearchprovider.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_mapsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_poiprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/db/xr_aggregategeomstorage.h"
#include "common/geometry/xr_geometry.h"
#include "common/graph/xr_routeinstructions.h"
#include "common/map/xr_poilayer.h"
#include "common/map/xr_routelayer.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_unicodeutil.h"

namespace {

// The route layer of the registered route provider: its routes are the
// parts, the active one is the part the car is on.
class XrRouteLayerRoute : public XrPoiSearchRoute {
public:
    explicit XrRouteLayerRoute(XrRouteLayer* layer) : layer(layer) {}
    int get_route_part_count() override { return layer != nullptr ? layer->get_route_count() : 0; }
    const XrRouteInstructions* get_route_part(int index) override { return layer->get_route(index); }
    int get_current_part() override { return layer != nullptr ? layer->get_active_index() : -1; }
    int get_current_segment() override { return layer != nullptr ? layer->get_current_segment() : -1; }

private:
    XrRouteLayer* layer;
};

constexpr int NAME_CHARS = 255;
constexpr int DESCRIPTION_CHARS = 128;

int compare_by_distance(const XrPoiSearchResult& a, const XrPoiSearchResult& b)
{
    return a.distance < b.distance ? -1 : 1;
}

int compare_by_name(const XrPoiSearchResult& a, const XrPoiSearchResult& b)
{
    const XrUnicodeUtil* uu = XrUnicodeUtil::get_instance();
    int c = uu->compare(a.name.c_str(), b.name.c_str());
    return c != 0 ? c : uu->compare(a.description.c_str(), b.description.c_str());
}

// Strict overlap of two rectangles on all four sides.
bool overlaps(const XrRectangle& a, const XrRectangle& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

XrString distance_text(double map_units, int system)
{
    return XrDistance(map_units, XrDistance::Metres).to_display_string(system, 1);
}

// Every query word begins a word of the name or, failing that, of the class name.
bool matches(const xr_search::XrFoldedWords& query, const xr_search::XrFoldedWords& name,
             const xr_search::XrFoldedWords& class_words)
{
    for (int i = 0; i < query.count(); ++i)
        if (!name.has_prefix(query.word(i), query.length(i)) &&
            !class_words.has_prefix(query.word(i), query.length(i)))
            return false;
    return true;
}

// One class as the search knows it: its folded name words and settings.
struct ClassEntry {
    xr_search::XrFoldedWords words;
    XrPoiSettings* settings = nullptr;
};

} // namespace

XrString XrPoiSearchProviderImpl::display_name(const TCHAR* text)
{
    XrString out;
    if (text == nullptr)
        return out;
    TCHAR buf[NAME_CHARS + 1];
    int n = 0;
    bool in_tag = false;
    for (const TCHAR* p = text; *p != 0 && *p != L'\t' && n < NAME_CHARS; ++p) {
        if (in_tag) {
            in_tag = *p != L'>';
            continue;
        }
        if (*p == L'<') {
            in_tag = true;
            continue;
        }
        buf[n++] = *p;
    }
    out.assign(buf, n);
    return out;
}

XrString XrPoiSearchProviderImpl::upper_county_tag(const TCHAR* text)
{
    XrString out;
    if (text == nullptr)
        return out;
    const TCHAR* p = std::wcschr(text, L'<');
    if (p == nullptr)
        return out;
    for (++p; *p != 0; ++p)
        if (p[0] == L'c' && p[1] == L'=')
            break;
    if (*p == 0)
        return out;
    const TCHAR* value = p + 2;
    const TCHAR* end = value;
    while (*end != 0 && *end != L' ' && *end != L'>')
        ++end;
    if (*end == 0 || end == value)
        return out;
    out.assign(value, static_cast<int>(end - value));
    out.to_upper();
    return out;
}

bool XrPoiSearchProviderImpl::is_near_route(XrPoiSearchRoute* route, const XrPoint& p, int distance)
{
    if (route == nullptr)
        return false;
    const int parts = route->get_route_part_count();
    const int m = route->get_current_part();
    if (parts <= 0 || m < 0 || m >= parts)
        return false;
    const int j = route->get_current_segment();
    const double d2 = static_cast<double>(distance) * distance;
    auto sq = [&](int x, int y) {
        const double dx = static_cast<double>(p.x) - x, dy = static_cast<double>(p.y) - y;
        return dx * dx + dy * dy;
    };
    for (int part = m; part < parts; ++part) {
        const XrRouteInstructions* ri = route->get_route_part(part);
        if (ri == nullptr)
            continue;
        const int n = ri->segments.items();
        int k = part == m && j >= 0 ? j - 1 : n - 2;
        k = std::max(k, 0);
        auto point = [&](int i, XrPoint& out) {
            if (i < 0 || i >= n)
                return false;
            const XrRouteSegment* s = ri->segments.get_item_ptr(i);
            out = XrPoint(s->x, s->y);
            return true;
        };
        for (int i = k; i >= 0; --i) {
            XrPoint a, b;
            if (!point(i + 1, b) || !point(i, a))
                continue;
            const long long l = std::min(a.x, b.x) - static_cast<long long>(distance);
            const long long r = std::max(a.x, b.x) + static_cast<long long>(distance);
            const long long t = std::min(a.y, b.y) - static_cast<long long>(distance);
            const long long bt = std::max(a.y, b.y) + static_cast<long long>(distance);
            if (p.x < l || p.x > r || p.y < t || p.y > bt)
                continue;
            int fx = 0, fy = 0;
            if (project_point_on_segment(p.x, p.y, b.x, b.y, a.x, a.y, fx, fy) && sq(fx, fy) < d2)
                return true;
        }
        for (int i = k; i >= 0; --i) {
            XrPoint a;
            if (!point(i, a))
                continue;
            if (std::llabs(static_cast<long long>(p.x) - a.x) <= distance &&
                std::llabs(static_cast<long long>(p.y) - a.y) <= distance && sq(a.x, a.y) < d2)
                return true;
        }
    }
    return false;
}

void XrPoiSearchProviderImpl::search_pois(const XrString& words, bool along_route, const XrPoint* position,
                                          int radius, const XrString* reference_name,
                                          const XrPoint* reference_point, int class_id,
                                          XrPoiSearchProviderObserver* observer, int last, int note_limit,
                                          int first, bool same_upper_county)
{
    if (last < 0)
        return; // nothing can be kept or delivered
    XrMapProvider* maps = xr_map_provider();
    auto* layer = maps != nullptr ? dynamic_cast<XrPoiLayer*>(maps->get_poi_layer()) : nullptr;
    if (layer == nullptr)
        return;
    XrAggregateGeomStorage* storage = layer->get_storage();
    auto* pois = xr_registered<XrPoiProvider>(L"XrPoiProvider");
    auto* map_settings = xr_registered<XrMapSettingsProvider>(L"XrMapSettingsProvider");
    const int system = map_settings != nullptr ? map_settings->get_measurement_system() : XrDistance::Metric;
    XrString county_filter;
    bool has_county_filter = false;
    if (same_upper_county)
        if (auto* addr = xr_registered<XrAddrSearchProvider>(L"XrAddrSearchProvider"))
            has_county_filter = addr->get_upper_county_filter(county_filter) && !county_filter.is_empty();

    // The route ahead: the one given, else the route provider's, looked up
    // for this call.
    XrRouteProvider* routes = route_source == nullptr && along_route ? XrRouteProvider::get_instance() : nullptr;
    XrRouteLayerRoute provider_route(routes != nullptr ? routes->get_route_layer2() : nullptr);
    XrPoiSearchRoute* route_ahead = route_source != nullptr ? route_source : &provider_route;

    XrRectangle route_bounds;
    bool has_route_bounds = false;
    if (along_route) {
        const int parts = route_ahead->get_route_part_count();
        for (int i = std::max(route_ahead->get_current_part(), 0); i < parts; ++i) {
            const XrRouteInstructions* ri = route_ahead->get_route_part(i);
            if (ri == nullptr || ri->segments.items() == 0)
                continue;
            XrRectangle b;
            ri->get_bounds(b);
            if (!has_route_bounds) {
                route_bounds = b;
                has_route_bounds = true;
            } else {
                route_bounds = XrRectangle(std::min(route_bounds.left, b.left), std::min(route_bounds.top, b.top),
                                           std::max(route_bounds.right, b.right),
                                           std::max(route_bounds.bottom, b.bottom));
            }
        }
        // A POI near the route may lie up to the route distance outside its box.
        if (has_route_bounds)
            route_bounds = XrRectangle(xr_trunc_coord(route_bounds.left - double(ROUTE_DISTANCE)),
                                       xr_trunc_coord(route_bounds.top - double(ROUTE_DISTANCE)),
                                       xr_trunc_coord(route_bounds.right + double(ROUTE_DISTANCE)),
                                       xr_trunc_coord(route_bounds.bottom + double(ROUTE_DISTANCE)));
    }

    xr_search::XrFoldedWords query;
    query.split(words.c_str(), false);
    xr_search::XrFoldedWords poi_words;
    std::unordered_map<int, ClassEntry> classes;
    XrSortedList<XrPoiSearchResult> list(last + 1, position != nullptr ? compare_by_distance : compare_by_name);
    XrString description_format;
    if (reference_name != nullptr) {
        XrString text838;
        text838.load_text(R_STR_POSDLG_DISTANCE_TO);
        description_format = reference_point != nullptr ? XrString(L"%s, ") + text838 : text838;
    }

    const XrGeomStorage* remembered_member = nullptr;
    int class_offset = 0;
    bool note_shown = false;
    long long r = radius != 0 ? radius : DEFAULT_RADIUS;
    for (bool first_pass = true;; first_pass = false) {
        XrRectangle rects[4];
        int nrects = 1;
        if (position != nullptr)
            nrects = xr_search::pass_rectangles(position->x, position->y, r, first_pass, rects);
        const double r2 = static_cast<double>(r) * static_cast<double>(r);
        int accepted = 0;
        for (int ri = 0; ri < nrects; ++ri) {
            const XrRectangle* rect = position != nullptr ? &rects[ri] : nullptr;
            if (along_route && rect != nullptr && !first_pass && (!has_route_bounds || !overlaps(*rect, route_bounds)))
                continue;
            bool rect_ended = false;
            for (int m = 0; m < storage->get_member_count() && !rect_ended; ++m) {
                XrGeomStorage* member = storage->get_member(m);
                std::unique_ptr<XrGeomCursor> cursor(member->get_cursor(rect, 0));
                if (!cursor)
                    continue;
                xr_for_each_text_record(*cursor, 0, [&](const XrTextRecord& rec) {
                    const int x = rec.x, y = rec.y;
                    const TCHAR* text = rec.text;
                    double distance = -1.0;
                    if (position != nullptr) {
                        const double dx = static_cast<double>(x) - position->x;
                        const double dy = static_cast<double>(y) - position->y;
                        const double d2 = dx * dx + dy * dy;
                        if (d2 > r2 || (!first_pass && d2 <= r2 / 4))
                            return true;
                        if (!xr_search::in_pass_rectangle(*rect, x, y))
                            return true;
                        distance = std::sqrt(d2);
                    }
                    if (member != remembered_member) {
                        remembered_member = member;
                        XrPoiLayerIconSet* set = layer->find_icon_set(member, rec.type, false);
                        class_offset = set != nullptr ? set->type_shift : 0;
                    }
                    const int cls = static_cast<unsigned short>(rec.type) + class_offset;
                    if (class_id != -1 && cls != class_id)
                        return true;
                    auto found = classes.find(cls);
                    if (found == classes.end()) {
                        ClassEntry entry;
                        if (pois != nullptr) {
                            XrArray<XrPoiSettings*>& all = pois->get_poi_settings();
                            for (int i = 0; i < all.get_num_items(); ++i) {
                                XrPoiSettings* s = *all.get_item_ptr(i);
                                if (s != nullptr && s->get_class_id() == cls) {
                                    entry.settings = s;
                                    entry.words.split(s->get_name().c_str(), false);
                                    break;
                                }
                            }
                        }
                        found = classes.emplace(cls, std::move(entry)).first;
                    }
                    const ClassEntry& cls_entry = found->second;
                    const XrString county_tag = has_county_filter ? upper_county_tag(text) : XrString();
                    poi_words.split(text, true);
                    if (!matches(query, poi_words, cls_entry.words))
                        return true;
                    if (along_route && !is_near_route(route_ahead, XrPoint(x, y), ROUTE_DISTANCE))
                        return true;
                    if (cls_entry.settings == nullptr)
                        return true;
                    if (has_county_filter && !county_tag.is_empty() && county_tag != county_filter)
                        return true;

                    XrPoiSearchResult result;
                    result.name = display_name(text);
                    result.position = XrPoint(x, y);
                    result.distance = distance;
                    cursor->get_current_record_geom_id(result.gid);
                    result.bm_data = cls_entry.settings->get_small_bm_data();
                    if (position != nullptr) {
                        const XrString dist = distance_text(distance, system);
                        if (reference_name == nullptr) {
                            result.description = dist;
                        } else if (reference_point == nullptr) {
                            result.description.format(DESCRIPTION_CHARS, description_format.c_str(), dist.c_str(),
                                                      reference_name->c_str());
                        } else {
                            const XrString ref = distance_text(reference_point->distance(x, y), system);
                            result.description.format(DESCRIPTION_CHARS, description_format.c_str(), ref.c_str(),
                                                      dist.c_str(), reference_name->c_str());
                        }
                    }
                    list.add_item(result);
                    ++accepted;
                    if (note_limit >= 0 && accepted >= note_limit && list.get_count() > 0 && !note_shown) {
                        // Shown once a search: the rest of the pass goes on quietly.
                        note_shown = true;
                        xr_show_note(R_STR_OVER_200_POI_FOUND);
                        rect_ended = true;
                        return false;
                    }
                    return true;
                });
            }
        }
        if (position == nullptr || list.get_count() == list.get_size() || r >= LAST_RADIUS || radius != 0)
            break;
        r *= 2;
    }

    if (observer == nullptr)
        return;
    int index = 0;
    for (int i = 0; i < list.get_count(); ++i) {
        XrPoiSearchResult* item = list.get_item_ptr(i);
        if (index < first) {
            ++index;
            continue;
        }
        if (index == last) {
            observer->matching_poi_found(nullptr);
            return;
        }
        ++index;
        observer->matching_poi_found(item);
    }
}
