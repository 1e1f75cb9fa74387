// kestrova-probe drive: searches a route on a map folder, hands it to a
// route layer and feeds the layer one position fix a second, from a track
// file or by following the route at a speed (optionally leaving it at a
// point), printing the guidance it gives: instructions, distances, prompts
// played, reroute requests and arrivals, one event a line. With --png DIR it
// also draws a frame a fix (the roads and the route layer) into DIR, under a
// private Xvfb when there is no display.
#include <gtk/gtk.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/addr/xr_streetfinder.h"
#include "common/audio/xr_audioplayer.h"
#include "common/base/xr_singleton.h"
#include "common/bmloader/xr_bitmap_loader.h"
#include "common/container/xr_hash.h"
#include "common/db/xr_simplegeomstorage.h"
#include "common/geometry/xr_projection.h"
#include "common/graph/xr_dijkstrapath.h"
#include "common/graph/xr_graphaccessor.h"
#include "common/map/xr_mapview.h"
#include "common/map/xr_routelayer.h"
#include "common/os/xr_file.h"
#include "common/misc/xr_utf8.h"
#include "common/container/xr_bytearray.h"
#include "common/storage/xr_storageaccessor.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "tools/imagegen/imagegen.h"
#include "tools/mapstyle/xr_pixmap_dc.h"
#include "tools/mapstyle/xr_private_display.h"
#include "tools/mapstyle/xr_routelayer_pictures.h"
#include "tools/probe/probe.h"
#include "tools/probe/probe_roads.h"

namespace {

int run_drive(const std::vector<std::string>& args);

XrProbeCommand drive_cmd("drive",
                         "MAPDIR --from LAT,LON --to LAT,LON (--track FILE.csv | --speed KMH [--leave-at M]) "
                         "[--voice DIR] [--png DIR]",
                         "drives a route with one fix a second and prints the guidance given; --png saves a frame a fix",
                         run_drive);

std::uint32_t g_clock = 1000000;
std::uint32_t sim_clock() { return g_clock; }
int g_second = 0;

std::string narrow(const XrString& s)
{
    XrByteArray bytes;
    XrUTF8::encode_utf8(s.c_str(), -1, bytes);
    return std::string(reinterpret_cast<const char*>(bytes.get_items()), static_cast<size_t>(bytes.get_num_items()));
}

// The prompts the layer plays are printed instead of heard.
class PrintingPlayer : public XrAudioPlayer {
public:
    PrintingPlayer() : XrAudioPlayer(1) {}
    bool is_playing() override { return false; }
    bool make_wav_buffer(const XrSimpleArray<XrString>& names, std::unique_ptr<BYTE[]>& buffer,
                         std::uint32_t& size) override
    {
        std::string line;
        for (int i = 0; i < names.get_count(); ++i) {
            std::string name = narrow(names.get_items()[i]);
            const size_t slash = name.find_last_of("/\\");
            if (slash != std::string::npos)
                name = name.substr(slash + 1);
            line += " " + name;
        }
        std::printf("%d prompt%s\n", g_second, line.c_str());
        return XrAudioPlayerBase::make_wav_buffer(names, buffer, size);
    }
    Status play_buffer(std::unique_ptr<BYTE[]> /*image*/, std::uint32_t /*size*/) override { return PLAYED; }
    void stop() override {}
};

struct Roads : XrProbeRoadData {

    bool snap(const XrPoint& p, XrGid& gid, XrPoint& on_road)
    {
        XrStreetFinder finder(roads.get());
        size_t found = 0;
        for (int radius : {200, 1000, 5000}) {
            if (finder.find_street(p, radius, 1, found, nullptr, nullptr, -1, nullptr, -1.0) == XrStreetFinder::OK &&
                found > 0) {
                bool first_half = false;
                int segment = 0;
                double distance = 0;
                return finder.get_result(0, gid, first_half, segment, on_road, distance);
            }
        }
        return false;
    }

    // A route (owned by the caller) or null; blocked edges are not used.
    XrRouteInstructions* route(const XrPoint& from, const XrPoint& to, int heading,
                               const std::vector<XrGid>& blocked = {}, XrHash<int, int>* targets = nullptr)
    {
        XrGid g1 = 0, g2 = 0;
        XrPoint p1, p2;
        if (!snap(from, g1, p1) || !snap(to, g2, p2))
            return nullptr;
        XrDijkstraPath2 search(graph.get(), roads.get(), XrString(), nullptr);
        for (XrGid g : blocked)
            search.add_edge_penalty(g, -1);
        XrRouteInstructions* res = nullptr;
        if (!search.find_route(p1, g1, p2, g2, &res, nullptr, heading, -1, false, false, targets))
            return nullptr;
        return res;
    }
};

// The route provider's part: a new route from the position, joined onto
// the rest of the old one.
class Provider : public XrRouteLayerObserver {
public:
    explicit Provider(Roads* roads) : roads(roads) {}
    bool reroute(XrRouteLayer* layer) override
    {
        std::printf("%d reroute\n", g_second);
        XrRouteInstructions* old_route = layer->get_active_route();
        if (old_route == nullptr)
            return false;
        const XrPoint target(old_route->target_x, old_route->target_y);
        // First back onto the old route still ahead (its edges up to the
        // one last matched), joined onto its rest; else a route of its own.
        XrHash<int, int> ahead(static_cast<std::size_t>(old_route->segments.items() * 5 / 4 + 1), true, 80);
        for (int i = 0; i <= layer->get_current_segment() && i < old_route->segments.items(); ++i)
            ahead.insert(static_cast<int>(old_route->segments.get_item_ptr(i)->gid), i);
        XrRouteInstructions* fresh =
            roads->route(layer->get_last_position(), target, layer->get_heading(), {}, &ahead);
        if (fresh != nullptr && fresh->end_geometry == nullptr &&
            layer->join_routes(roads->graph.get(), fresh, old_route, nullptr)) {
            std::printf("%d route joined\n", g_second);
        } else {
            delete fresh;
            fresh = roads->route(layer->get_last_position(), target, layer->get_heading());
            if (fresh == nullptr) {
                std::printf("%d reroute failed\n", g_second);
                return false;
            }
            std::printf("%d route replaced\n", g_second);
        }
        layer->replace_active_route(fresh);
        std::printf("%d route length %d\n", g_second, layer->get_route_length());
        rerouted = true;
        // The search is done: nothing to wait for.
        return false;
    }
    void waypoint_reached(int index, bool /*hold*/) override
    {
        if (index < 0)
            std::printf("%d arrived\n", g_second);
        else
            std::printf("%d waypoint %d\n", g_second, index);
    }

    // Set by every new route; the simulated driver then follows it.
    bool rerouted = false;

private:
    Roads* roads;
};

// The voice sets' folder given on the command line.
struct VoiceHost : XrRouteLayerHost {
    ~VoiceHost() override { set_route_layer_host(nullptr); }
    XrString get_sounds_path() override { return root; }
    XrString root;
};

struct TrackPoint {
    double t;
    XrPoint p;
};

// "seconds,lat,lon" lines; other lines are skipped.
bool read_track(const std::string& path, const XrProjection& proj, std::vector<TrackPoint>& out)
{
    std::ifstream in(path);
    if (!in)
        return false;
    std::string line;
    while (std::getline(in, line)) {
        double t = 0, lat = 0, lon = 0;
        char c1 = 0, c2 = 0;
        std::istringstream ss(line);
        if (!(ss >> t >> c1 >> lat >> c2 >> lon) || c1 != ',' || c2 != ',' || !std::isfinite(t) ||
            !std::isfinite(lat) || !std::isfinite(lon))
            continue;
        int x = 0, y = 0;
        if (!proj.to_map(lon, lat, x, y))
            return false;
        if (!out.empty() && t <= out.back().t)
            continue;
        out.push_back({t, XrPoint(x, y)});
    }
    return !out.empty();
}

XrPoint track_at(const std::vector<TrackPoint>& track, double t)
{
    size_t i = 1;
    while (i < track.size() && track[i].t < t)
        ++i;
    if (i >= track.size())
        return track.back().p;
    const TrackPoint& a = track[i - 1];
    const TrackPoint& b = track[i];
    const double f = (t - a.t) / (b.t - a.t);
    return XrPoint(a.p.x + static_cast<int>(std::lround((b.p.x - a.p.x) * f)),
                   a.p.y + static_cast<int>(std::lround((b.p.y - a.p.y) * f)));
}

// A layer that only answers where a point lies along a route.
struct Driver {
    explicit Driver(XrGeomStorage* roads) : layer(nullptr, nullptr, 1, nullptr, nullptr)
    {
        layer.initialize(roads, nullptr);
    }
    void set(XrRouteInstructions* route)
    {
        XrPtrArray<XrRouteInstructions*> list;
        list.append(route);
        layer.set_routes(&list, 0);
    }
    XrRouteLayer layer;
};

// Draws a frame a fix: the roads of the map in grey and the route layer
// on top, 800 x 480 pixels around the vehicle, saved as DIR/fix-NNNNN.png.
class FrameWriter {
public:
    static constexpr int kWidth = 800, kHeight = 480;
    // Route line, flags and arrow all show at this scale value.
    static constexpr unsigned kScale = 100000;

    ~FrameWriter()
    {
        target.reset();
        if (fonts != nullptr) {
            XrSingleton::set_instance(XrString(L"XrFontRepository"), nullptr);
            XrBitmapLoader::shutdown();
        }
        if (!work.empty())
            remove_tree(work);
    }

    // Opens the display, the fonts and the route layer's pictures; false
    // with the reason printed.
    bool open(const std::string& out_dir)
    {
        dir = out_dir;
        if (mkdir(dir.c_str(), 0755) != 0 && !probe_file_exists(dir)) {
            std::fprintf(stderr, "kestrova-probe drive: cannot make %s\n", dir.c_str());
            return false;
        }
        if (!display.ensure() || !gtk_init_check(nullptr, nullptr)) {
            std::fprintf(stderr, "kestrova-probe drive: no display and Xvfb could not be started\n");
            return false;
        }
        XrGDI::init_stock_objects();
        fonts = std::make_unique<XrFontRepositoryMaemo>();
        fonts->initialize();
        XrSingleton::set_instance(XrString(L"XrFontRepository"), fonts.get());
        char tmpl[] = "/tmp/kestrova-drive-XXXXXX";
        if (mkdtemp(tmpl) == nullptr)
            return false;
        work = tmpl;
        std::ifstream in(XR_ROUTELAYER_IMG);
        std::stringstream text;
        text << in.rdbuf();
        const XrImageGenResult drawn = xr_generate_images(text.str(), XR_ROUTELAYER_IMG, work);
        std::string error = drawn.error;
        if (!drawn.ok || !xr_register_route_layer_pictures(work, XR_ROUTELAYER_IDS, work, error)) {
            std::fprintf(stderr, "kestrova-probe drive: route layer pictures: %s\n", error.c_str());
            return false;
        }
        target = std::make_unique<XrPixmapDC>(kWidth, kHeight);
        road_pen = XrGDI::create_pen(XrGDI::PenSolid, 3, 150, 150, 150);
        ground = XrGDI::create_brush(XrGDI::BrushSolid, 236, 232, 222);
        view.set_screen_size(XrSize(kWidth, kHeight));
        view.set_visible_rect(XrRectangle(0, 0, kWidth, kHeight));
        view.set_default_scale_reference();
        view.set_limits(XrRectangle());
        return true;
    }

    bool write(XrRouteLayer& layer, XrGeomStorage* roads, const XrPoint& centre, int second)
    {
        XrPoint c = centre;
        if (!view.set_center_and_scale(&c, kScale, true))
            return false;
        XrDCHandleRec* dc = target->dc;
        XrGDI::select_brush(dc, ground);
        XrGDI::select_pen(dc, XrPenHandle{GdkColor{0, 0, 0, 0}, 1, XrPenHandle::Null});
        XrGDI::draw_rectangle(dc, -1, -1, kWidth + 1, kHeight + 1);
        draw_roads(dc, roads);
        layer.draw(dc, &view);
        gdk_display_sync(gdk_display_get_default());
        char name[32];
        std::snprintf(name, sizeof name, "/fix-%05d.png", second);
        if (!target->save_png(dir + name)) {
            std::fprintf(stderr, "kestrova-probe drive: cannot write %s%s\n", dir.c_str(), name);
            return false;
        }
        return true;
    }

private:
    void draw_roads(XrDCHandleRec* dc, XrGeomStorage* roads)
    {
        const XrRectangle world = view.get_world_rect();
        std::unique_ptr<XrGeomCursor> cursor(roads->get_cursor(&world, static_cast<int>(kScale)));
        if (cursor == nullptr)
            return;
        XrGDI::select_pen(dc, road_pen);
        const BYTE* record = nullptr;
        XrGeomStorage::XrRecordType type{};
        std::vector<XrPoint> points;
        while (cursor->get_next_record(record, type) == XrGeomCursor::OK) {
            if (type != XrGeomStorage::RecPolyline)
                continue;
            int id = 0, x = 0, y = 0;
            short t = 0, aux = 0;
            const BYTE* data = nullptr;
            const BYTE* attr = nullptr;
            BYTE coding = 0;
            const int count = cursor->get_pp(record, id, x, y, t, aux, data, coding, attr);
            points.clear();
            for (int i = 0; i < count; ++i) {
                if (i > 0)
                    cursor->get_pp_next_pt(coding, x, y, data);
                XrPoint s;
                view.world_to_screen_2d(x, y, s.x, s.y);
                points.push_back(s);
            }
            if (points.size() >= 2)
                XrGDI::draw_polyline(dc, points.data(), static_cast<int>(points.size()));
        }
    }

    static void remove_tree(const std::string& path)
    {
        XrFileFinder finder;
        TCHAR name[256];
        if (finder.open(XrString(path.c_str()), XrFileFinder::FILES)) {
            while (finder.get_next(name, 256)) {
                const std::string file = path + "/" + narrow(XrString(name));
                unlink(file.c_str());
            }
        }
        rmdir(path.c_str());
    }

    std::string dir;
    std::string work;
    XrPrivateDisplay display;
    std::unique_ptr<XrFontRepositoryMaemo> fonts;
    std::unique_ptr<XrPixmapDC> target;
    XrPenHandle road_pen{};
    XrBrushHandle ground{};
    XrMapView view{nullptr};
};

int run_drive(const std::vector<std::string>& args)
{
    std::string png_dir, dir, from_text, to_text, track_path, voice;
    double kmh = -1;
    int leave_at = -1;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--from") {
            if (!value(from_text))
                return probe_usage(drive_cmd);
        } else if (a == "--to") {
            if (!value(to_text))
                return probe_usage(drive_cmd);
        } else if (a == "--track") {
            if (!value(track_path))
                return probe_usage(drive_cmd);
        } else if (a == "--voice") {
            if (!value(voice))
                return probe_usage(drive_cmd);
        } else if (a == "--png") {
            if (!value(png_dir) || png_dir.empty())
                return probe_usage(drive_cmd);
        } else if (a == "--speed") {
            char* end = nullptr;
            if (!value(v) || (kmh = std::strtod(v.c_str(), &end), *end != '\0') || !(kmh > 0 && kmh < 400))
                return probe_usage(drive_cmd);
        } else if (a == "--leave-at") {
            char* end = nullptr;
            long m = 0;
            if (!value(v) || (m = std::strtol(v.c_str(), &end, 10), *end != '\0') || m < 0 || m > 10000000)
                return probe_usage(drive_cmd);
            leave_at = static_cast<int>(m);
        } else if (dir.empty() && a.compare(0, 2, "--") != 0) {
            dir = a;
        } else
            return probe_usage(drive_cmd);
    }
    double lat1, lon1, lat2, lon2;
    if (dir.empty() || !probe_parse_lat_lon(from_text, lat1, lon1) || !probe_parse_lat_lon(to_text, lat2, lon2) ||
        (track_path.empty() == (kmh < 0)) || (leave_at >= 0 && kmh < 0))
        return probe_usage(drive_cmd);
    Roads roads;
    int x1, y1, x2, y2;
    if (!roads.open(dir, "drive") || !roads.to_map(lat1, lon1, x1, y1, "drive") ||
        !roads.to_map(lat2, lon2, x2, y2, "drive"))
        return 1;
    std::vector<TrackPoint> track;
    if (!track_path.empty() && !read_track(track_path, *roads.projection, track)) {
        std::fprintf(stderr, "kestrova-probe drive: no track in %s\n", track_path.c_str());
        return 1;
    }
    const XrPoint from(x1, y1), to(x2, y2);
    XrRouteInstructions* route = roads.route(from, to, -1);
    if (route == nullptr) {
        std::fprintf(stderr, "kestrova-probe drive: no route found\n");
        return 1;
    }

    // The display and pictures come before the layer, which makes its pens
    // and loads its icons when it is initialised.
    std::unique_ptr<FrameWriter> frames;
    if (!png_dir.empty()) {
        frames = std::make_unique<FrameWriter>();
        if (!frames->open(png_dir))
            return 1;
    }
    // The layer asks the host for the voice root when it is made.
    VoiceHost host;
    std::string voice_set;
    if (!voice.empty()) {
        while (voice.size() > 1 && voice.back() == '/')
            voice.pop_back();
        const size_t slash = voice.find_last_of('/');
        host.root = XrString(slash == std::string::npos ? "." : voice.substr(0, slash).c_str());
        voice_set = voice.substr(slash == std::string::npos ? 0 : slash + 1);
        set_route_layer_host(&host);
    }
    PrintingPlayer player;
    XrRouteLayer layer(nullptr, nullptr, 1, &player, nullptr);
    layer.set_tick_source(sim_clock);
    if (!layer.initialize(roads.roads.get(), nullptr) && frames) {
        std::fprintf(stderr, "kestrova-probe drive: the route layer's icons did not load\n");
        return 1;
    }
    layer.set_graph_path(XrString(roads.graph_path.c_str()));
    if (!voice_set.empty())
        layer.set_voice_folder(XrString(voice_set.c_str()));
    Provider provider(&roads);
    layer.set_route_observer(&provider);
    {
        XrPtrArray<XrRouteInstructions*> list;
        list.append(route);
        layer.set_routes(&list, 0);
    }
    layer.set_fix_valid(true);
    std::printf("0 route length %d\n", layer.get_route_length());

    // The way driven: the route, from the leaving point a way that avoids
    // the route's next road, and after a new route that one.
    Driver driver(roads.roads.get());
    if (kmh > 0)
        driver.set(roads.route(from, to, -1));
    const double speed = kmh > 0 ? kmh / 3.6 : 0;
    double along = 0;     // metres along the driver's way
    // The layer whose route is driven: the driver's own, or the guidance
    // layer's after a new route.
    XrRouteLayer* way = &driver.layer;
    bool left = false;
    int last_directive = -1;
    int last_state = layer.get_guidance_state();
    const double end_time = track.empty() ? 1e9 : track.back().t;
    XrPoint last;
    bool have_last = false;
    for (g_second = 1; g_second < 36000; ++g_second) {
        XrPoint p;
        double v = speed;
        if (track.empty()) {
            along += speed;
            if (!left && leave_at >= 0 && along >= leave_at) {
                XrPoint at;
                short h = 0;
                driver.layer.get_point_on_route(&at, &h, static_cast<int>(along));
                const XrRouteInstructions* driven = driver.layer.get_active_route();
                std::vector<XrGid> blocked;
                // The next road of the route beyond the leaving point.
                int rest = static_cast<int>(along);
                for (int i = driven->segments.items() - 1; i >= 0; --i) {
                    const XrRouteSegment* s = driven->segments.get_item_ptr(i);
                    if (rest < s->length) {
                        if (const XrRouteSegment* n = driven->segments.get_item_ptr(i - 1))
                            blocked.push_back(n->gid);
                        break;
                    }
                    rest -= s->length;
                }
                XrRouteInstructions* detour = roads.route(at, to, h, blocked);
                left = true;
                if (detour != nullptr) {
                    std::printf("%d leave route\n", g_second);
                    driver.set(detour);
                    along = 0;
                }
            }
            short h = 0;
            if (way->get_point_on_route(&p, &h, static_cast<int>(along)) != 0)
                break;
            if (along > way->get_route_length() + speed)
                break;
        } else {
            if (g_second > end_time)
                break;
            p = track_at(track, g_second);
            v = have_last ? last.distance(p) : -1.0;
        }
        g_clock += 1000;
        layer.update_position(p, -1, v, false, nullptr, nullptr, 0);
        // Having left the route, the driver follows the new one, which
        // starts where the vehicle is.
        if (provider.rerouted && track.empty()) {
            provider.rerouted = false;
            way = &layer;
            along = 0;
        }
        last = p;
        have_last = true;
        const int state = layer.get_guidance_state();
        if (layer.get_current_directive_index() != last_directive && layer.get_current_directive() != nullptr) {
            last_directive = layer.get_current_directive_index();
            std::printf("%d instruction %u at %d\n", g_second, layer.get_current_directive()->code(),
                        static_cast<int>(layer.get_current_directive()->words[4]));
        }
        if (state != last_state) {
            std::printf("%d state %d\n", g_second, state);
            last_state = state;
        }
        std::printf("%d distance %d\n", g_second, layer.get_distance_to_directive());
        if (frames && !frames->write(layer, roads.roads.get(), layer.get_matched_point(), g_second))
            return 1;
        if (state == XrRouteLayer::STATE_ARRIVED)
            break;
    }
    return 0;
}

} // namespace
