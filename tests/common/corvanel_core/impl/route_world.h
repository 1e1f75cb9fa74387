// A headless world for the route provider: a generated road network written
// as the map folder's "graph.bin" under the current KESTROVA_ROOT, a map
// provider that hands out its road geometry, the GLib event loop behind an
// application provider, the real settings provider, a route layer, and a
// user interface whose answers a test scripts.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <glib.h>

#include "common/corvanel_core/impl/xr_appsettingsproviderimpl.h"
#include "common/corvanel_core/impl/xr_routeproviderimpl.h"
#include "common/corvanel_core/interfaces/xr_applicationprovider.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/db/xr_simplegeomstorage.h"
#include "common/geometry/xr_projection.h"
#include "common/map/xr_routelayer.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_eventloop.h"
#include "common/storage/xr_storageaccessor.h"
#include "tools/mapgen/graph_writer.h"

namespace xr_route_world {

// The platform path of a "?:" file under the current root.
inline std::string card_path(const TCHAR* path)
{
    std::string out;
    to_platform_path(XrPathResolver::resolve(XrString(path)), false, out);
    return out;
}

// Writes graph.bin and its road geometry into the map folder.
inline bool write_map(const XrNetwork& net, XrGraphWriterResult& result)
{
    const std::string graph = card_path(L"?:\\mapdata\\graph.bin");
    std::string dir = graph.substr(0, graph.rfind('/'));
    g_mkdir_with_parents(dir.c_str(), 0755);
    std::string error;
    return write_graph(graph, dir + "/roads.qt", net, XrGraphWriterOptions(), result, error);
}

class MapDouble : public XrMapProvider {
public:
    MapDouble() { XrSingleton::set_instance(XrString(L"XrMapProvider"), static_cast<XrMapProvider*>(this)); }
    ~MapDouble() override { XrSingleton::set_instance(XrString(L"XrMapProvider"), nullptr); }
    bool open()
    {
        const std::string roads_path = card_path(L"?:\\mapdata\\roads.qt");
        auto* file = new XrFileStorageAccessor();
        if (!file->open(XrString(roads_path.c_str()), true)) {
            delete file;
            return false;
        }
        roads = std::make_unique<XrSimpleGeomStorage>(file, true, false, nullptr);
        return roads->open() == 0;
    }
    XrProjection* get_projection() override { return projection.get(); }
    XrGeomStorage* get_road_geometry() override { return roads.get(); }

    std::unique_ptr<XrProjection> projection{create_projection(XrString(L"simple://100000,0,0"))};
    std::unique_ptr<XrSimpleGeomStorage> roads;
};

class AppDouble : public XrApplicationProvider {
public:
    AppDouble()
    {
        XrSingleton::set_instance(XrString(L"XrApplicationProvider"), static_cast<XrApplicationProvider*>(this));
    }
    ~AppDouble() override { XrSingleton::set_instance(XrString(L"XrApplicationProvider"), nullptr); }
    void exit(int) override {}
    void get_version_info(XrVersionInfo&) override {}
    void request_exit() override {}
    void exit_if_requested() override {}
    XrEventloopBase* get_event_loop() override { return &loop; }
    void add_exit_handler(XrExitHandler*) override {}
    void remove_exit_handler(XrExitHandler*) override {}

    XrEventLoop loop;
};

// Records every call; questions are answered from answers (front first,
// yes when empty).
class ScriptUI : public XrRoutingUIDefinition {
public:
    void set_interaction_enabled(bool) override {}
    void show_route_status(int s) override { statuses.push_back(s); }
    void begin_calculation() override { log.push_back("begin"); }
    bool XrCommonDialogs_show_query_msg(XrRouteProvider::EnumStrSel which, bool ask) override
    {
        questions.push_back(static_cast<int>(which));
        if (!ask)
            return false;
        if (answers.empty())
            return true;
        const bool a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    void rerouting_started() override { log.push_back("rerouting"); }
    void reset_calculation_ui() override { ++resets; }
    void release_progress() override { ++releases; }
    void refresh_map() override {}
    void attach_search_progress(XrDijkstraPath2*) override {}
    void set_search_active(bool active) override { log.push_back(active ? "active" : "inactive"); }
    bool destination_reached(bool) override { return true; }
    void search_finished() override {}
    void route_ready(bool, int, int) override { log.push_back("ready"); }
    void ask_for_route() override { log.push_back("ask"); }

    std::vector<bool> answers;
    std::vector<int> questions;
    std::vector<int> statuses;
    std::vector<std::string> log;
    int resets = 0;
    int releases = 0;
};

class ListenerLog : public XrRouteListener {
public:
    void route_changed() override { log.push_back("changed"); }
    void calculation_started() override { log.push_back("started"); }
    void calculation_finished() override { log.push_back("finished"); }
    std::vector<std::string> log;
};

// Everything but the network (written before, under the current root).
struct World {
    World() : layer(&app.loop, nullptr, 1, nullptr, nullptr)
    {
        XrSingleton::set_instance(XrString(L"XrAppSettingsProvider"), static_cast<XrAppSettingsProvider*>(&settings));
        opened = maps.open();
        layer.initialize(maps.roads.get(), nullptr);
        layer.set_graph_path(XrPathResolver::resolve(XrString(L"?:\\mapdata\\graph.bin")));
        settings.set_tollroads(XrRouteProvider::POLICY_ASK);
        settings.set_ferry(XrRouteProvider::POLICY_ASK);
    }
    ~World() { XrSingleton::set_instance(XrString(L"XrAppSettingsProvider"), nullptr); }

    std::unique_ptr<XrRouteProviderImpl> make_provider(XrRouteServices** services = nullptr)
    {
        auto p = std::make_unique<XrRouteProviderImpl>(&ui, nullptr, &guidance, &calculating, &status, &cancel,
                                                       &guidance_b, services, nullptr, &last_point, &last_gid);
        p->set_route_layer(&layer);
        p->add_listener(&listener);
        return p;
    }

    // Runs the loop until done() holds or timeout_ms passed; done()'s value.
    static bool run_until(const std::function<bool()>& done, int timeout_ms = 20000)
    {
        const std::uint32_t start = get_tick_count_ms();
        while (!done()) {
            if (get_tick_count_ms() - start > static_cast<std::uint32_t>(timeout_ms))
                return false;
            g_main_context_iteration(nullptr, FALSE);
            g_usleep(1000);
        }
        return true;
    }

    // Runs the loop until a calculation told its listeners of the route.
    bool run_until_calculated(int timeout_ms = 20000)
    {
        return run_until([&] { return !listener.log.empty() && listener.log.back() == "changed"; }, timeout_ms);
    }

    static XrRouteProvider::XrWaypoint place(const XrPoint& p, const wchar_t* name)
    {
        XrRouteProvider::XrWaypoint w;
        w.used = 1;
        w.x = p.x;
        w.y = p.y;
        w.name = XrString(name);
        return w;
    }

    AppDouble app;
    MapDouble maps;
    XrAppSettingsProviderImpl settings;
    ScriptUI ui;
    ListenerLog listener;
    XrRouteLayer layer;
    bool opened = false;
    bool guidance = false, guidance_b = false, cancel = false;
    int calculating = 0, status = 0;
    XrPoint last_point;
    XrGid last_gid = 0;
};

// A town street: category 3, road type 4 (stored type 7 with a normal
// speed class is a toll road).
inline XrNetworkEdge street(std::vector<XrPoint> points, int type = 4)
{
    XrNetworkEdge e;
    e.points = std::move(points);
    e.category = 3;
    e.road_type = type;
    e.speed_class = 3;
    return e;
}

// A main road east in six 500 m edges from (100000, 200000); its edges 2 and
// 3 (x 101000 to 102000) are toll roads when toll is set. A detour leaves it
// at x 101000 north by 500 m, runs east 1000 m and comes back at x 102000.
inline XrNetwork toll_network(bool toll)
{
    XrNetwork net;
    for (int k = 0; k < 6; ++k)
        net.edges.push_back(street({XrPoint(100000 + 500 * k, 200000), XrPoint(100500 + 500 * k, 200000)},
                                   toll && (k == 2 || k == 3) ? 7 : 4));
    net.edges.push_back(street({XrPoint(101000, 200000), XrPoint(101000, 200500)}));
    net.edges.push_back(street({XrPoint(101000, 200500), XrPoint(102000, 200500)}));
    net.edges.push_back(street({XrPoint(102000, 200500), XrPoint(102000, 200000)}));
    return net;
}

inline bool route_has_gid(const XrRouteInstructions* r, XrGid gid)
{
    return r != nullptr && r->contains_gid(gid);
}

} // namespace xr_route_world
