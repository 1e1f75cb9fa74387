#include "common/corvanel_core/impl/xr_citysearchproviderimpl.h"

#include <cmath>
#include <cwchar>
#include <map>
#include <string>
#include <memory>

#include "common/addr/xr_addrutil.h"
#include "common/container/xr_sortedlist.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/impl/xr_searchpasses.h"
#include "common/corvanel_core/interfaces/xr_addrsearchprovider.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_mapsettingsprovider.h"
#include "common/db/xr_geomstorage.h"
#include "common/map/xr_geomlayer.h"
#include "common/misc/xr_unicodeutil.h"
#include "common/types/xr_distance.h"

namespace {

int compare_by_distance(const XrCitySearchResult& a, const XrCitySearchResult& b)
{
    return a.distance < b.distance ? -1 : 1;
}

int compare_by_name(const XrCitySearchResult& a, const XrCitySearchResult& b)
{
    const XrUnicodeUtil* uu = XrUnicodeUtil::get_instance();
    int c = uu->compare(a.name.c_str(), b.name.c_str());
    return c != 0 ? c : uu->compare(a.details.c_str(), b.details.c_str());
}

} // namespace

bool XrCitySearchProviderImpl::name_matches(const TCHAR* record, const TCHAR* folded, int n)
{
    const XrUnicodeUtil* uu = XrUnicodeUtil::get_instance();
    const TCHAR* seg = record;
    TCHAR buf[XrGeomCursor::TEXT_BUFFER_CHARS];
    for (;;) {
        const TCHAR* end = seg;
        while (*end != 0 && *end != L'/' && *end != L'\t')
            ++end;
        // Every segment counts, also the last one of a record without '/' or TAB.
        const int len = static_cast<int>(std::min<std::ptrdiff_t>(end - seg, XrGeomCursor::TEXT_BUFFER_CHARS - 1));
        std::wmemcpy(buf, seg, static_cast<size_t>(len));
        buf[len] = 0;
        if (uu->get_folded_length(buf) >= n && uu->compare_prefix(buf, folded, n) == 0)
            return true;
        if (*end != L'/')
            return false;
        seg = end + 1;
    }
}

void XrCitySearchProviderImpl::search_cities(const XrString& text, const XrPoint* position,
                                             XrCitySearchProviderObserver* observer, int max)
{
    if (max < 0)
        return;
    XrMapProvider* maps = xr_map_provider();
    auto* layer = maps != nullptr ? dynamic_cast<XrGeomLayer*>(maps->get_sm_layer()) : nullptr;
    if (layer == nullptr)
        return;
    XrGeomStorage* storage = layer->get_storage();
    auto* map_settings = xr_registered<XrMapSettingsProvider>(L"XrMapSettingsProvider");
    const int system = map_settings != nullptr ? map_settings->get_measurement_system() : XrDistance::Metric;
    XrString filter;
    bool has_filter = false;
    if (auto* addr = xr_registered<XrAddrSearchProvider>(L"XrAddrSearchProvider"))
        has_filter = addr->get_upper_county_filter(filter) && !filter.is_empty();

    const XrUnicodeUtil* uu = XrUnicodeUtil::get_instance();
    XrString folded = text;
    uu->fold_string(folded);
    const int n = folded.length();

    XrSortedList<XrCitySearchResult> list(max + 1, position != nullptr ? compare_by_distance : compare_by_name);
    // The places taken, by name and region: the first record of a town
    // (the nearest, as the passes widen) stands for the others close to it.
    std::multimap<std::wstring, XrPoint> kept;
    long long r = FIRST_RADIUS;
    long long covered = 0; // radius of the circle the earlier passes read
    bool whole = position == nullptr;
    for (bool first_pass = true;; first_pass = false) {
        if (!first_pass)
            r *= 2;
        if (position != nullptr && r > WHOLE_STORAGE_RADIUS)
            whole = true;
        XrRectangle rects[4];
        const int nrects = whole ? 1 : xr_search::pass_rectangles(position->x, position->y, r, first_pass, rects);
        for (int ri = 0; ri < nrects; ++ri) {
            const XrRectangle* rect = whole ? nullptr : &rects[ri];
            std::unique_ptr<XrGeomCursor> cursor(storage->get_cursor(rect, 0));
            if (!cursor)
                continue;
            xr_for_each_text_record(*cursor, 0, [&](const XrTextRecord& rec) {
                double d = -1.0;
                if (position != nullptr) {
                    d = position->distance(rec.x, rec.y);
                    if (whole) {
                        if (d <= static_cast<double>(covered))
                            return true; // read by an earlier pass
                    } else {
                        if (d > static_cast<double>(r) || (!first_pass && d <= static_cast<double>(r) / 2))
                            return true;
                        if (!xr_search::in_pass_rectangle(*rect, rec.x, rec.y))
                            return true;
                    }
                }
                if (!name_matches(rec.text, folded.c_str(), n))
                    return true;
                XrCitySearchResult result;
                const TCHAR* tab = std::wcschr(rec.text, L'\t');
                result.name.assign(rec.text, tab != nullptr ? static_cast<int>(tab - rec.text) : -1);
                XrString region;
                if (tab != nullptr) {
                    const int len = static_cast<int>(std::wcslen(tab + 1));
                    if (len > 0)
                        region.assign(tab + 1, len - 1);
                }
                if (position == nullptr) {
                    result.details = region;
                } else {
                    const XrString dist = XrDistance(d, XrDistance::Metres).to_display_string(system, 1);
                    if (region.is_empty()) {
                        result.details = dist;
                    } else {
                        result.details = dist;
                        result.details += L" ";
                        result.details += region;
                    }
                }
                result.distance = d;
                if (has_filter) {
                    XrString word;
                    XrAddrUtil::get_last_word(result.details.c_str(), word);
                    if (word != filter)
                        return true;
                }
                result.position = XrPoint(rec.x, rec.y);
                // One town with several place records is one result: the
                // nearest (or first) of its name and region.
                const std::wstring key = std::wstring(result.name.c_str()) + L'\t' + region.c_str();
                auto [from, to] = kept.equal_range(key);
                for (auto it = from; it != to; ++it)
                    if (it->second.distance(rec.x, rec.y) <= SAME_TOWN_RADIUS)
                        return true;
                kept.emplace(key, XrPoint(rec.x, rec.y));
                list.add_item(result);
                return true;
            });
        }
        if (whole || list.get_count() >= max)
            break;
        covered = r;
    }

    if (observer == nullptr)
        return;
    for (int i = 0; i < list.get_count(); ++i) {
        if (i == max) {
            observer->matching_city_found(nullptr);
            return;
        }
        observer->matching_city_found(list.get_item_ptr(i));
    }
}
