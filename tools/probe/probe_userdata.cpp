// kestrova-probe userdata: reads and writes the user files of a map folder
// through the providers: favourites, history, roadblocks (map units), the
// parked car. MAPDIR is the card's map folder or its "mapdata" folder.
//
//   userdata MAPDIR favourites|history|roadblocks|parking
//   userdata MAPDIR add-favourite LAT,LON NAME
//   userdata MAPDIR add-history LAT,LON NAME
//   userdata MAPDIR park LAT,LON | unpark
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/corvanel_core/impl/xr_favouritesproviderimpl.h"
#include "common/corvanel_core/impl/xr_historyproviderimpl.h"
#include "common/corvanel_core/impl/xr_parkingproviderimpl.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/graph/xr_dynpenaltymanager.h"
#include "common/misc/xr_path_resolver.h"
#include "common/misc/xr_utf8.h"
#include "tools/probe/probe.h"

namespace {

int run_userdata(const std::vector<std::string>& args);
XrProbeCommand userdata_cmd("userdata",
                            "MAPDIR favourites|history|roadblocks|parking | add-favourite LAT,LON NAME | "
                            "add-history LAT,LON NAME | park LAT,LON | unpark",
                            "reads and writes the user files of a map folder", run_userdata);

std::string utf8(const XrString& s)
{
    std::string out;
    xr_userfile::append_utf8(out, s);
    return out;
}

XrString wide(const std::string& s)
{
    XrString out;
    XrUTF8::decode_utf8(reinterpret_cast<const BYTE*>(s.c_str()), static_cast<int>(s.size()), out);
    return out;
}

bool coordinate(const std::string& text, XrCoordinate& out)
{
    double lat = 0, lon = 0;
    if (std::sscanf(text.c_str(), "%lf,%lf", &lat, &lon) != 2 || lat < -90 || lat > 90 || lon < -180 || lon > 180)
        return false;
    out = XrCoordinate(lon, lat);
    return true;
}

int list(const std::string& what)
{
    if (what == "favourites") {
        XrFavouritesProviderImpl favourites(nullptr);
        XrArray<XrFavourite> l(8, 0);
        favourites.get_favourites(l);
        for (int i = 0; i < l.get_num_items(); ++i) {
            const XrFavourite& f = *l.get_item_ptr(i);
            std::printf("%d %.10f,%.10f dial %d %s\n", f.get_id(), f.get_coordinate().get_latitude(),
                        f.get_coordinate().get_longitude(), f.get_speed_dial(), utf8(f.get_name()).c_str());
        }
        return 0;
    }
    if (what == "history") {
        XrHistoryProviderImpl history;
        XrArray<XrHistoryMapPoint> l(8, 0);
        history.get_history(l);
        for (int i = 0; i < l.get_num_items(); ++i) {
            const XrHistoryMapPoint& p = *l.get_item_ptr(i);
            std::printf("%.10f,%.10f %s\n", p.get_coordinate().get_latitude(), p.get_coordinate().get_longitude(),
                        utf8(p.get_name()).c_str());
        }
        return 0;
    }
    if (what == "roadblocks") {
        XrDynPenaltyManager blocks(XrPathResolver::resolve(XrString(L"?:\\mapdata\\blks.bin")));
        const int n = blocks.get_count();
        if (n < 0) {
            std::fprintf(stderr, "kestrova-probe userdata: blks.bin cannot be read\n");
            return 1;
        }
        for (int i = 0; i < n; ++i) {
            XrPoint p;
            blocks.get_point(i, p);
            std::printf("%d %d %d\n", i, p.x, p.y);
        }
        if (blocks.is_damaged())
            std::printf("damaged after %d records\n", n);
        return 0;
    }
    if (what == "parking") {
        XrParkingProviderImpl parking(nullptr);
        parking.initialize();
        XrCoordinate c;
        if (!parking.get_car_coordinate(c)) {
            std::printf("not parked\n");
            return 0;
        }
        XrDatetime when;
        parking.get_park_datetime(when);
        XrString text;
        when.to_string(text, true, true);
        std::printf("parked at %.10f,%.10f since %s\n", c.get_latitude(), c.get_longitude(), utf8(text).c_str());
        return 0;
    }
    return -1;
}

int run_userdata(const std::vector<std::string>& args)
{
    if (args.size() < 2)
        return probe_usage(userdata_cmd);
    namespace fs = std::filesystem;
    fs::path dir = fs::absolute(args[0]);
    if (dir.filename() == "mapdata")
        dir = dir.parent_path();
    if (!fs::is_directory(dir / "mapdata")) {
        std::fprintf(stderr, "kestrova-probe userdata: %s holds no mapdata folder\n", dir.c_str());
        return 1;
    }
    const XrString root((dir.string() + "/").c_str());
    XrPathResolver resolver(root.c_str());
    set_path_resolver(&resolver);

    int status = 2;
    const std::string& what = args[1];
    XrCoordinate c;
    if (args.size() == 2 && what != "unpark") {
        status = list(what);
        if (status < 0)
            status = probe_usage(userdata_cmd);
    } else if ((what == "add-favourite" || what == "add-history") && args.size() == 4 && coordinate(args[2], c)) {
        bool ok = false;
        if (what == "add-favourite") {
            XrFavouritesProviderImpl favourites(nullptr);
            ok = favourites.add_favourite(XrFavourite(c, 0, wide(args[3]), 0));
        } else {
            XrHistoryProviderImpl history;
            ok = history.add_history_point(XrHistoryMapPoint(c, wide(args[3])));
        }
        status = ok ? 0 : 1;
    } else if (what == "park" && args.size() == 3 && coordinate(args[2], c)) {
        XrParkingProviderImpl parking(nullptr);
        status = parking.park_car(c, nullptr) ? 0 : 1;
    } else if (what == "unpark" && args.size() == 2) {
        XrParkingProviderImpl parking(nullptr);
        status = parking.unpark_car() ? 0 : 1;
    } else {
        status = probe_usage(userdata_cmd);
    }
    if (status == 1)
        std::fprintf(stderr, "kestrova-probe userdata: the file could not be written\n");
    set_path_resolver(nullptr);
    return status;
}

} // namespace
