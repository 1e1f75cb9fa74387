// kestrova-probe search: runs the POI, street, house-number, city or
// continuation search on a map folder and prints the results one per line.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/addr/xr_addrutil.h"
#include "common/base/xr_singleton.h"
#include "common/corvanel_core/impl/xr_addrsearchproviderimpl.h"
#include "common/corvanel_core/impl/xr_citysearchproviderimpl.h"
#include "common/corvanel_core/impl/xr_mapproviderimpl.h"
#include "common/corvanel_core/impl/xr_poiproviderimpl.h"
#include "common/corvanel_core/impl/xr_poisearchproviderimpl.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/geometry/xr_projection.h"
#include "common/misc/xr_utf8.h"
#include "common/misc/xr_path_resolver.h"
#include "tools/probe/probe.h"
#include "tools/probe/probe_mapsession.h"

namespace {

int run_search(const std::vector<std::string>& args);
XrProbeCommand search_cmd("search", "MAPDIR poi|street|housenumber|city|continuations TEXT [--at LAT,LON] [--max N]",
                          "runs a search on a map folder and prints the results", run_search);

// A result text as UTF-8, without its direction marks.
std::string utf8(const XrString& s)
{
    XrString shown;
    for (const TCHAR* p = s.c_str(); *p != 0; ++p)
        if (*p != 0x202A && *p != 0x202B && *p != 0x202C)
            shown += *p;
    std::string out;
    xr_userfile::append_utf8(out, shown);
    return out;
}

// The command line's UTF-8 text.
XrString wide(const std::string& s)
{
    XrString out;
    XrUTF8::decode_utf8(reinterpret_cast<const BYTE*>(s.data()), static_cast<int>(s.size()), out);
    return out;
}

struct Printer : XrPoiSearchProviderObserver, XrAddrSearchProviderObserver, XrCitySearchProviderObserver {
    XrProjection* projection = nullptr;
    int count = 0;

    std::string where(const XrPoint& p)
    {
        double lon = 0, lat = 0;
        char buf[64];
        if (projection != nullptr && projection->from_map(p.x, p.y, lon, lat))
            std::snprintf(buf, sizeof buf, "%.6f,%.6f", lat, lon);
        else
            std::snprintf(buf, sizeof buf, "%d,%d", p.x, p.y);
        return buf;
    }
    void more() { std::printf("(more)\n"); }
    void matching_poi_found(XrPoiSearchResult* r) override
    {
        if (r == nullptr)
            return more();
        ++count;
        std::printf("%s\t%s\t%s\n", utf8(r->name).c_str(), utf8(r->description).c_str(), where(r->position).c_str());
    }
    void matching_address_found(XrAddrSearchResult* r) override
    {
        if (r == nullptr)
            return more();
        ++count;
        std::printf("%s\t%s\tkind %d\tstreets", utf8(r->name).c_str(), utf8(r->details).c_str(), r->kind);
        for (int i = 0; i < r->streets.items(); ++i)
            std::printf(" %u:%u", r->streets.get(i).county, r->streets.get(i).position);
        std::printf("\n");
    }
    void matching_city_found(XrCitySearchResult* r) override
    {
        if (r == nullptr)
            return more();
        ++count;
        std::printf("%s\t%s\t%s\n", utf8(r->name).c_str(), utf8(r->details).c_str(), where(r->position).c_str());
    }
};

int search(XrMapProviderImpl& maps, const std::string& kind, const XrString& text, const XrPoint* at, int max)
{
    Printer out;
    out.projection = maps.get_projection();
    XrPoiSearchProviderImpl pois;
    XrAddrSearchProviderImpl addresses;
    XrCitySearchProviderImpl cities;
    XrSingleton::set_instance(XrString(L"XrAddrSearchProvider"), static_cast<XrAddrSearchProvider*>(&addresses));
    int status = 0;
    if (kind == "poi") {
        pois.search_pois(text, false, at, 0, nullptr, nullptr, -1, &out, max, -1, 0, false);
    } else if (kind == "street") {
        addresses.search_streets(&text, at, nullptr, &out, max);
    } else if (kind == "city") {
        cities.search_cities(text, at, &out, max);
    } else if (kind == "continuations") {
        XrArray<XrString> list(16);
        int first = -1, second = -1;
        if (!addresses.get_continuations(text, nullptr, list, first, second)) {
            std::fprintf(stderr, "kestrova-probe search: no street begins with that text\n");
            status = 1;
        }
        for (int i = 0; i < list.get_num_items(); ++i)
            std::printf("%s\n", utf8(*list.get_item_ptr(i)).c_str());
        out.count = list.get_num_items();
    } else if (kind == "housenumber") {
        XrString street, number;
        if (!XrAddrUtil::split_street_and_number(text.c_str(), true, street, number)) {
            std::fprintf(stderr, "kestrova-probe search: give a street and a house number\n");
            status = 2;
        } else {
            struct First : XrAddrSearchProviderObserver {
                XrAddrSearchResult result;
                bool found = false;
                void matching_address_found(XrAddrSearchResult* r) override
                {
                    if (r != nullptr && !found) {
                        result = *r;
                        found = true;
                    }
                }
            } first;
            addresses.search_streets(&street, at, nullptr, &first, 1);
            int n = std::atoi(utf8(number).c_str());
            if (!first.found || first.result.streets.items() == 0) {
                std::fprintf(stderr, "kestrova-probe search: no such street\n");
                status = 1;
            } else {
                // The street's records (one a town): the number where one
                // has it, else the nearest number of any of them.
                const int typed = n;
                XrPoint p(0, 0);
                int nearest = -1;
                for (int k = 0; k < first.result.streets.items() && p.x == 0 && p.y == 0; ++k) {
                    const int position = static_cast<int>(first.result.streets.get(k).position);
                    n = typed;
                    p = addresses.get_house_number_position(position, n, true);
                    if (p.x != 0 || p.y != 0)
                        break;
                    if (n > 0 && (nearest <= 0 || std::abs(n - typed) < std::abs(nearest - typed)))
                        nearest = n;
                }
                if (p.x == 0 && p.y == 0) {
                    std::printf("%s %d: not found; %s %d\n", utf8(first.result.name).c_str(), typed,
                                nearest > 0 ? "nearest number" : "the street has no numbers", nearest);
                    n = typed;
                } else {
                    std::printf("%s %d\t%s\n", utf8(first.result.name).c_str(), n, out.where(p).c_str());
                }
                out.count = 1;
            }
        }
    } else {
        status = 2;
    }
    XrSingleton::set_instance(XrString(L"XrAddrSearchProvider"), nullptr);
    if (status == 0 && out.count == 0)
        std::fprintf(stderr, "kestrova-probe search: nothing found\n");
    return status;
}

int run_search(const std::vector<std::string>& args)
{
    if (args.size() < 3)
        return probe_usage(search_cmd);
    const std::string kind = args[1];
    if (kind != "poi" && kind != "street" && kind != "housenumber" && kind != "city" && kind != "continuations")
        return probe_usage(search_cmd);
    double lat = 0, lon = 0;
    bool has_at = false;
    int max = 20;
    for (size_t i = 3; i < args.size(); ++i) {
        if (args[i] == "--at" && i + 1 < args.size() && probe_parse_lat_lon(args[i + 1], lat, lon)) {
            has_at = true;
            ++i;
        } else if (args[i] == "--max" && i + 1 < args.size() && std::atoi(args[i + 1].c_str()) > 0) {
            max = std::atoi(args[++i].c_str());
        } else {
            return probe_usage(search_cmd);
        }
    }
    XrProbeMapSession session("search", args[0]);
    if (!session.ready())
        return 1;
    XrMapProviderImpl* maps = session.maps();
    XrPoiProviderImpl classes(XrPathResolver::resolve(XrString(L"?:/mapdata/poi/")), nullptr);
    XrSingleton::set_instance(XrString(L"XrPoiProvider"), static_cast<XrPoiProvider*>(&classes));
    int status = 1;
    if (session.open_map()) {
        // The classes of the map's catalogue: a POI is found with its class.
        classes.initialize();
        XrPoint at;
        if (has_at && (maps->get_projection() == nullptr || !maps->get_projection()->to_map(lon, lat, at.x, at.y)))
            std::fprintf(stderr, "kestrova-probe search: the position lies outside the map's projection\n");
        else
            status = search(*maps, kind, wide(args[2]), has_at ? &at : nullptr, max);
        maps->close_map();
    }
    XrSingleton::set_instance(XrString(L"XrPoiProvider"), nullptr);
    return status;
}

} // namespace
