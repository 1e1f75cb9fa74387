#include "apps/apps_common/xr_naviapp.h"
#include "apps/apps_common/xr_naviapp_java.h"

#include "apps/apps_common/xr_commandhandler.h"
#include "apps/apps_common/xr_naviapphandler.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "apps/apps_common/xr_appmaplayers.h"
#include "apps/apps_common/xr_appservices.h"
#include "apps/apps_common/xr_commandhandler.h"
#include "apps/apps_common/xr_naviapphandler.h"
#include "apps/apps_common/xr_serviceaggregate.h"
#include "apps/apps_common/xr_maprecovery.h"
#include "apps/services/xr_servcom.h"
#include "common/base/xr_root.h"
#include "common/bmloader/xr_bitmap_loader.h"
#include "common/config/xr_storageconfiguration.h"
#include "common/corvanel_core/impl/xr_addrsearchproviderimpl.h"
#include "common/corvanel_core/impl/xr_applicationproviderimpl.h"
#include "common/corvanel_core/impl/xr_appsettingsproviderimpl.h"
#include "common/corvanel_core/impl/xr_citysearchproviderimpl.h"
#include "common/corvanel_core/impl/xr_contactsearchproviderimpl.h"
#include "common/corvanel_core/impl/xr_favouritesproviderimpl.h"
#include "common/corvanel_core/impl/xr_gpsproviderimpl.h"
#include "common/corvanel_core/impl/xr_historyproviderimpl.h"
#include "common/corvanel_core/impl/xr_locationdetailsproviderimpl.h"
#include "common/corvanel_core/impl/xr_mapproviderimpl.h"
#include "common/corvanel_core/impl/xr_mapsettingsproviderimpl.h"
#include "common/corvanel_core/impl/xr_parkingproviderimpl.h"
#include "common/corvanel_core/impl/xr_poiproviderimpl.h"
#include "common/corvanel_core/impl/xr_poisearchproviderimpl.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/impl/xr_roadblocksproviderimpl.h"
#include "common/corvanel_core/impl/xr_routeproviderimpl.h"
#include "common/corvanel_core/impl/xr_serviceproviderimpl.h"
#include "common/corvanel_core/impl/xr_userpositionproviderimpl.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/gdi/xr_gdi.h"
#include "common/map/xr_autozoom.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_inet.h"
#include "common/os/xr_systemmaemo.h"
#include "common/storage/xr_storageaccessor.h"
#include "common/types/xr_trig.h"

namespace {

// The providers made by construct, with the deleters that undo their
// registration; destroy_providers takes them in its own order.
struct Registered {
    const TCHAR* name;
    std::function<void()> destroy;
};
std::vector<Registered>& registered()
{
    static std::vector<Registered> list;
    return list;
}

// What the controller registered (and acquired), in order: the name and the
// registered pointer (null for the service channel, which is no registry
// entry).
struct Logged {
    std::wstring name;
    const void* instance;
};
std::vector<Logged>& registration_log()
{
    static std::vector<Logged> log;
    return log;
}

// The name under which the service channel appears in the log.
const TCHAR* const servcom_log_name = L"XrServCom";

// Registers instance under name and logs it.
void register_logged(const TCHAR* name, void* instance)
{
    XrSingleton::set_instance(XrString(name), instance);
    registration_log().push_back(Logged{name, instance});
}

// Unregisters name when instance is what it holds.
void unregister_if(const TCHAR* name, const void* instance)
{
    if (instance != nullptr && XrSingleton::get_instance(XrString(name)) == instance)
        XrSingleton::set_instance(XrString(name), nullptr);
}

// Registers p under name as its interface I and remembers how to delete it.
template <class I, class T>
T* register_provider(const TCHAR* name, T* p)
{
    register_logged(name, static_cast<I*>(p));
    registered().push_back(Registered{name, [name, p]() {
                                          XrSingleton::set_instance(XrString(name), nullptr);
                                          delete p;
                                      }});
    return p;
}

XrMapProviderImpl* map_provider_impl() { return xr_registered<XrMapProviderImpl>(L"XrMapProvider"); }

XrMapProvider* map_provider() { return xr_registered<XrMapProvider>(L"XrMapProvider"); }

XrPositionProvider* position_provider() { return xr_registered<XrPositionProvider>(L"XrPositionProvider"); }

bool before(std::uint32_t a, std::uint32_t b) { return static_cast<std::int32_t>(a - b) < 0; }

XrString message_text(int id)
{
    XrString text;
    text.load_text(id);
    return text;
}

} // namespace

// Hands the route provider's notifications on to the map window.
class XrMapWindowRouteForwarder : public XrRouteListener {
public:
    explicit XrMapWindowRouteForwarder(XrMapWindow* window) : window(window) {}
    void route_changed() override { window->route_changed(); }

private:
    XrMapWindow* window;
};

// The route preview: the first run fits the view to the new route, the
// second (2.5 s later) puts the map back on the position.
class XrCrosshairTimer : public XrEventHandler {
public:
    static constexpr int EVENT_ID = 5;
    XrCrosshairTimer(XrNaviApp* owner, bool keep_scale, int mode, int scale)
        : owner(owner), keep_scale(keep_scale), mode(mode), scale(scale)
    {
    }
    void execute(XrEventloopBase* loop, void* data) override;
    void set_keep_scale(bool value) { keep_scale = value; }
    int get_scale() const { return scale; }

private:
    XrNaviApp* owner;
    bool first_run = true;
    bool keep_scale;
    int mode;
    int scale;
};

void XrCrosshairTimer::execute(XrEventloopBase* loop, void* data)
{
    if (!first_run) {
        if (!keep_scale)
            owner->end_route_preview(true);
        return;
    }
    // The map's keys wait until the preview has ended.
    owner->set_map_handler_busy(true);
    XrRouteLayer* layer = owner->get_route_layer();
    XrRectangle box;
    bool have = false;
    if (layer != nullptr) {
        if (mode == 0) {
            for (int i = 0; i < layer->get_route_count(); ++i) {
                XrRectangle r;
                if (layer->get_route(i)->segments.items() == 0)
                    continue;
                layer->get_route(i)->get_bounds(r);
                box = have ? XrRectangle(std::min(box.left, r.left), std::min(box.top, r.top),
                                         std::max(box.right, r.right), std::max(box.bottom, r.bottom))
                           : r;
                have = true;
            }
        } else {
            // 1: the next instruction, 2: the next waypoint.
            XrPoint p, from;
            short heading = 0;
            if (mode == 1 && layer->get_current_directive() != nullptr)
                have = layer->get_point_on_route(&p, &heading,
                                                 layer->get_distance_travelled() + layer->get_distance_to_directive()) == 0;
            else if (mode == 2) {
                if (XrRouteProvider* route = XrRouteProvider::get_instance())
                    have = route->get_current_leg(from, p);
            }
            const int d = mode == 1 ? 500 : 300;
            box = XrRectangle(p.x - d, p.y - d, p.x + d, p.y + d);
        }
    }
    if (!have) {
        owner->end_route_preview(false);
        return;
    }
    XrMapView& view = owner->get_map_view();
    // 40 pixels round the route (80 more on the right, under the buttons),
    // in world units at the view's scale.
    const int r = view.get_reference_pixels();
    const int margin = r > 0 ? static_cast<int>(40.0 * 1000.0 / r) : 40;
    box = XrRectangle(box.left - margin, box.top - margin, box.right + 3 * margin, box.bottom + margin);
    view.set_rotation(0);
    view.zoom_to_rect(box);
    owner->redraw_map_window();
    first_run = false;
    loop->add_timeout(2, 500, this, data);
}

// A platform path (one character a byte) as bytes.
static std::string narrow_path(const XrString& path)
{
    std::string out;
    for (const TCHAR* p = path.c_str(); *p != 0; ++p)
        out.push_back(static_cast<char>(*p));
    return out;
}

XrNaviApp::XrNaviApp(int start_mode) : start_mode(start_mode)
{
    if (const TCHAR* root = find_map_card_root()) {
        card_root = XrString(root);
        resolver = std::make_unique<XrPathResolver>(card_root.c_str());
        set_path_resolver(resolver.get());
    }
    // Without the platform's connection service the program runs offline.
    if (!XrInet::has_inet() && XrInet::create_inet(&event_loop))
        own_inet = true;
    if (XrInet::has_inet())
        XrInet::set_inet_listener(this);
    set_low_memory_callback(on_low_memory, this);
    XrGDI::init_stock_objects();
    busy_dialog = std::make_unique<XrGlobalBusyDialogImpl>();
    register_logged(L"XrGlobalBusyDialog", static_cast<XrGlobalBusyDialog*>(busy_dialog.get()));
    dialog_manager = std::make_unique<XrDialogManager>();
    dialog_manager->add_listener(this);
    register_logged(L"XrDialogManager", dialog_manager.get());
    if (XrBitmapLoader::get_instance() == nullptr && get_path_resolver() != nullptr) {
        // A missing index leaves its pictures out; what draws them copes.
        XrBitmapLoader::initialize(XrPathResolver::resolve(XrString(L"?:/kestrova/images")), XrString(L"maemo"));
        own_bitmap_loader = true;
        for (const TCHAR* index : {L"corvanel_bitmaps.def", L"gdi_bitmaps.def", L"map_bitmaps.def"})
            XrBitmapLoader::load_index(XrString(index));
    }
    window_view = std::make_unique<XrAppMapWindowView>(&map_view, &guidance_active);
    set_map_window_services(window_view.get());
    route_host = std::make_unique<XrAppRouteLayerHost>(
        &map_view, [](void* app) { return static_cast<XrNaviApp*>(app)->get_map_window(); }, this);
    set_route_layer_host(route_host.get());
}

XrNaviApp::~XrNaviApp()
{
    shutdown_java();
    // The handler's timers live on the event loop, which goes first.
    forget_touch_layer();
    if (map_handler != nullptr && window_manager.top_handler() == map_handler)
        delete window_manager.pop_handler();
    map_handler = nullptr;
    set_map_engine_services(nullptr);
    if (route_layer_settings)
        route_layer_settings->detach();
    end_route_preview(false);
    event_loop.remove_timeout(this, reinterpret_cast<void*>(static_cast<std::intptr_t>(DEFERRED_REFRESH)));
    if (XrInet::has_inet())
        XrInet::set_inet_listener(nullptr);
    destroy_service_aggregate();
    destroy_providers();
    set_low_memory_callback(nullptr, nullptr);
    set_map_window_services(nullptr);
    set_route_layer_host(nullptr);
    if (trig_ready)
        free_trig_table();
    XrGDI::free_stock_objects();
    if (dialog_manager) {
        dialog_manager->remove_listener(this);
        unregister_if(L"XrDialogManager", dialog_manager.get());
        dialog_manager.reset();
    }
    // The channel's exchanges end on the scheduler, which goes with the
    // members.
    if (servcom != nullptr) {
        servcom->release();
        servcom = nullptr;
    }
    if (own_inet)
        XrInet::destroy_inet();
    if (own_bitmap_loader)
        XrBitmapLoader::shutdown();
    if (resolver && get_path_resolver() == resolver.get())
        set_path_resolver(nullptr);
    if (system) {
        unregister_if(L"XrSystem", system.get());
        system.reset();
    }
    if (busy_dialog) {
        busy_dialog->end();
        unregister_if(L"XrGlobalBusyDialog", static_cast<XrGlobalBusyDialog*>(busy_dialog.get()));
        busy_dialog.reset();
    }
    registration_log().clear();
}

void XrNaviApp::destroy_service_aggregate()
{
    if (service_aggregate == nullptr)
        return;
    if (XrMapProvider* maps = map_provider())
        maps->remove_listener(service_aggregate);
    route_services = nullptr;
    service_aggregate->destroy_services();
    delete service_aggregate;
    service_aggregate = nullptr;
}

XrServCom* XrNaviApp::create_servcom()
{
    XrServCom* channel = XrServComImplementation::acquire(&fsm, &event_loop);
    auto* settings = xr_registered<XrAppSettingsProvider>(L"XrAppSettingsProvider");
    channel->set_timeout(settings != nullptr ? settings->get_timeout() : XrServComImplementation::default_timeout);
    return channel;
}

bool XrNaviApp::get_default_access_point(XrString& name, XrString& id)
{
    auto* settings = xr_registered<XrAppSettingsProvider>(L"XrAppSettingsProvider");
    if (settings == nullptr || settings->get_default_access_point().is_empty() || !XrInet::has_inet())
        return false;
    const XrString wanted = settings->get_default_access_point();
    XrPtrArray<XrIap*> iaps(8);
    XrInet::list_iaps(iaps);
    bool found = false;
    for (int i = 0; i < iaps.get_num_items() && !found; ++i) {
        XrIap* iap = iaps.get_item(i);
        if (iap != nullptr && iap->get_name() == wanted) {
            name = wanted;
            id = iap->get_id();
            found = true;
        }
    }
    XrInet::free_iaps(iaps);
    return found;
}

void XrNaviApp::on_inet_config_changed()
{
    // Access-point events need nothing of the controller but the busy
    // indication's lookup.
    (void)XrGlobalBusyDialog::get_instance();
}

void XrNaviApp::execute(XrEventloopBase*, void* data)
{
    if (reinterpret_cast<std::intptr_t>(data) == DEFERRED_REFRESH)
        on_deferred_refresh();
}

void XrNaviApp::on_dialog_opened()
{
    event_loop.remove_timeout(this, reinterpret_cast<void*>(static_cast<std::intptr_t>(DEFERRED_REFRESH)));
}

void XrNaviApp::on_dialog_closed()
{
    XrDialogManager* manager = XrDialogManager::get_instance();
    if (manager != nullptr && manager->is_dialog_open())
        return;
    event_loop.add_timeout(0, 0, this, reinterpret_cast<void*>(static_cast<std::intptr_t>(DEFERRED_REFRESH)));
    if (auto* app = xr_registered<XrApplicationProvider>(L"XrApplicationProvider"))
        app->exit_if_requested();
}

void XrNaviApp::write_registry_dump() const
{
    const char* path = std::getenv("KESTROVA_REGISTRY_DUMP");
    if (path == nullptr || *path == '\0')
        return;
    std::string text;
    for (const Logged& entry : registration_log()) {
        // Only what is still registered as logged (the channel: while it exists).
        const bool present = entry.name == servcom_log_name
                                 ? servcom != nullptr
                                 : XrSingleton::get_instance(XrString(entry.name.c_str())) == entry.instance;
        if (!present)
            continue;
        for (wchar_t c : entry.name)
            text += static_cast<char>(c);
        text += '\n';
    }
    // Written whole under a temporary name, then renamed.
    const std::string temp = std::string(path) + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "w");
    if (f == nullptr) {
        std::fprintf(stderr, "kestrova-navigator: cannot write %s\n", temp.c_str());
        return;
    }
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size() && std::fflush(f) == 0 &&
                    fsync(fileno(f)) == 0;
    if (std::fclose(f) != 0 || !ok || std::rename(temp.c_str(), path) != 0) {
        std::remove(temp.c_str());
        std::fprintf(stderr, "kestrova-navigator: cannot write %s\n", path);
    }
}

int XrNaviApp::on_low_memory(void* data, int level)
{
    auto* app = static_cast<XrNaviApp*>(data);
    if (level != 0) {
        app->low_memory_count = 0;
        return 0;
    }
    if (app->low_memory_count == 0) {
        app->low_memory_count = 1;
        app->notify_low_memory();
        return 1;
    }
    if (XrRouteProvider* route = XrRouteProvider::get_instance())
        route->delete_route_state();
    app->exit_application();
    return 0;
}

XrMapWindowView* XrNaviApp::get_window_view() { return window_view.get(); }

void XrNaviApp::register_position_provider(XrPositionProvider* provider)
{
    register_provider<XrPositionProvider>(L"XrPositionProvider", provider);
}

bool XrNaviApp::construct()
{
    XrMemoryNotifier::set_instance(&memory_notifier);
    init_trig_table();
    trig_ready = true;

    auto* settings = register_provider<XrAppSettingsProvider>(L"XrAppSettingsProvider", new XrAppSettingsProviderImpl());
    settings->read_app_settings_file();
    map_orientation_to_north = settings->get_int(XrString(L"map_orientation_to_north"), 1) != 0;
    route_orientation_to_north = settings->get_int(XrString(L"route_orientation_to_north"), 0) != 0;
    set_locale(settings->get_user_locale(), true);

    auto* maps = register_provider<XrMapProvider>(L"XrMapProvider", new XrMapProviderImpl());
    maps->add_listener(this);
    layers = std::make_unique<XrAppMapLayers>();
    maps->set_layer_maker(layers.get());
    register_provider<XrMapSettingsProvider>(L"XrMapSettingsProvider", new XrMapSettingsProviderImpl());
    register_provider<XrGpsProvider>(L"XrGpsProvider", new XrGpsProviderImpl());
    event_loop.init();
    if (servcom == nullptr) {
        servcom = create_servcom();
        registration_log().push_back(Logged{servcom_log_name, nullptr});
    }
    if (service_aggregate == nullptr) {
        service_aggregate = new XrServiceAggregate();
        service_aggregate->set_app(this);
        maps->add_listener(service_aggregate);
        route_services = service_aggregate;
    }
    register_provider<XrPoiProvider>(L"XrPoiProvider",
                                     new XrPoiProviderImpl(XrPathResolver::resolve(XrString(L"?:\\mapdata\\poi\\")),
                                                           static_cast<XrExtensionHandler*>(this)));
    register_provider<XrRoadblocksProvider>(L"XrRoadblocksProvider", new XrRoadblocksProviderImpl());
    if (!system) {
        system.reset(create_system());
        register_logged(L"XrSystem", static_cast<XrSystem*>(system.get()));
    }
    register_provider<XrLocationDetailsProvider>(L"XrLocationDetailsProvider", new XrLocationDetailsProviderImpl());
    create_providers();
    engine_services = std::make_unique<XrAppMapEngineServices>(
        [](void* app) { return static_cast<XrNaviApp*>(app)->get_map_window(); }, this);
    set_map_engine_services(engine_services.get());
    route_layer_settings = std::make_unique<XrAppRouteLayerSettings>();
    route_layer_settings->attach();

    // The map's touch controls are made for the handler as the map opens.
    install_map_handler();
    if (!maps->initialize(&event_loop, &audio_player, static_cast<XrPoiLayerClient*>(this), &memory_notifier)) {
        std::fprintf(stderr, "kestrova-navigator: the map provider could not be initialised: no valid map data\n");
        return false;
    }
    xr_map_recovery_confirm(narrow_path(card_root));
    // A route saved by an earlier run that did not end it is resumed.
    if (auto* route = xr_registered<XrRouteProvider>(L"XrRouteProvider"))
        route->restore_route_state();
    register_provider<XrUserPositionProvider>(L"XrUserPositionProvider", new XrUserPositionProviderImpl());
    create_position_provider();
    if (XrPositionProvider* position = position_provider())
        position->add_listener(this);
    read_tuning_settings();
    write_registry_dump();
    // A saved view outside this map (a new card) shows the map's middle.
    XrRectangle extent;
    if (!map_view.is_inside_limits(map_view.get_centre()) && map_view.get_map_extent(extent)) {
        const XrPoint middle((extent.left + extent.right) / 2, (extent.top + extent.bottom) / 2);
        XrCoordinate centre;
        int scale = 0, preset = 0, rotation = 0, mode = 0;
        if (auto* settings = xr_registered<XrMapSettingsProvider>(L"XrMapSettingsProvider"))
            settings->get_default_view(centre, scale, preset, rotation, mode);
        map_view.set_center_and_scale(&middle, static_cast<std::uint32_t>(scale > 0 ? scale : 7650), true);
    }
    return true;
}

int XrNaviApp::handle_corrupted_map()
{
    show_recovery_note(nullptr, "r_str_map_data_corrupted");
    std::string reason = "no memory card with map data";
    XrMapRecoveryResult result = XrMapRecoveryResult::GAVE_UP;
    if (!card_root.is_empty())
        result = xr_recover_corrupted_map(narrow_path(card_root), XrRoot::path("/usr/share/kestrova/atlantis"), reason);
    if (result == XrMapRecoveryResult::RESTART) {
        std::fprintf(stderr, "kestrova-navigator: the demo map is in place; starting again\n");
        return 42;
    }
    std::fprintf(stderr, "kestrova-navigator: the map provider could not be initialised: no valid map data (%s)\n",
                 reason.c_str());
    show_recovery_note("r_str_no_mmc_title", "r_str_no_mmc_message");
    return 1;
}

void XrNaviApp::show_recovery_note(const char*, const char* message_key)
{
    std::fprintf(stderr, "note: %s\n", translate_key(message_key));
}

bool XrNaviApp::create_providers()
{
    register_provider<XrFavouritesProvider>(L"XrFavouritesProvider", new XrFavouritesProviderImpl(this));
    register_provider<XrHistoryProvider>(L"XrHistoryProvider", new XrHistoryProviderImpl());
    auto* view = register_provider<XrMapViewProvider>(L"XrMapViewProvider", new XrMapViewProviderImpl(this, &map_view));
    register_provider<XrServiceProvider>(L"XrServiceProvider", new XrServiceProviderImpl(service_aggregate));
    notifier_holder = &memory_notifier;
    auto* route = register_provider<XrRouteProvider>(
        L"XrRouteProvider",
        new XrRouteProviderImpl(this, this, &guidance_active, &route_calculating, &route_status, &cancel_requested,
                                &guidance_flag_b, &route_services, &notifier_holder, &last_matched_point,
                                &last_matched_gid));
    route->add_listener(this);
    if (map_window != nullptr) {
        window_route_listener = std::make_unique<XrMapWindowRouteForwarder>(map_window);
        route->add_listener(window_route_listener.get());
    }
    register_provider<XrPoiSearchProvider>(L"XrPoiSearchProvider", new XrPoiSearchProviderImpl());
    register_provider<XrAddrSearchProvider>(L"XrAddrSearchProvider", new XrAddrSearchProviderImpl());
    register_provider<XrCitySearchProvider>(L"XrCitySearchProvider", new XrCitySearchProviderImpl());
    register_provider<XrContactSearchProvider>(L"XrContactSearchProvider", new XrContactSearchProviderImpl());
    register_provider<XrParkingProvider>(L"XrParkingProvider", new XrParkingProviderImpl(this));
    view->initialize();
    auto* application = register_provider<XrApplicationProvider>(
        L"XrApplicationProvider", new XrApplicationProviderImpl(&event_loop, this));
    application->add_exit_handler(&view_state_saver);
    return true;
}

void XrNaviApp::destroy_providers()
{
    static const TCHAR* const order[] = {
        L"XrHistoryProvider",     L"XrLocationDetailsProvider", L"XrServiceProvider",      L"XrMapProvider",
        L"XrMapViewProvider",     L"XrFavouritesProvider",      L"XrRoadblocksProvider",   L"XrMapSettingsProvider",
        L"XrPoiProvider",         L"XrParkingProvider",         L"XrRouteProvider",        L"XrAppSettingsProvider",
        L"XrAddrSearchProvider",  L"XrPoiSearchProvider",       L"XrCitySearchProvider",   L"XrContactSearchProvider", L"XrUserPositionProvider",
        L"XrPositionProvider",    L"XrApplicationProvider",     L"XrGpsProvider",
    };
    auto& list = registered();
    if (list.empty())
        return;
    if (XrMapProviderImpl* maps = map_provider_impl()) {
        maps->remove_listener(this);
        maps->close_map();
    }
    if (XrPositionProvider* position = position_provider())
        position->remove_listener(this);
    for (const TCHAR* name : order) {
        for (size_t i = 0; i < list.size(); ++i) {
            if (XrString(list[i].name) == XrString(name)) {
                if (XrString(name) == XrString(L"XrRouteProvider")) {
                    XrRouteProvider* route = XrRouteProvider::get_instance();
                    route->remove_listener(this);
                    route->remove_listener(window_route_listener.get());
                }
                auto entry = std::move(list[i]);
                list.erase(list.begin() + static_cast<long>(i));
                entry.destroy();
                break;
            }
        }
    }
    while (!list.empty()) {
        auto entry = std::move(list.back());
        list.pop_back();
        entry.destroy();
    }
    map_view.set_map(nullptr);
}

void XrNaviApp::read_tuning_settings()
{
    XrStorageAccessor* accessor = open_storage_accessor(XrString(L"?:\\kestrova\\settings.txt"), true);
    if (accessor == nullptr)
        return;
    XrStorageConfiguration config(accessor, L"");
    if (config.open(true) != XrConfiguration::OK || config.open_key(L"\\settings") != XrConfiguration::OK)
        return;
    XrString text;
    if (config.get_string(L"fast_move_velocity", text) == XrConfiguration::OK)
        fast_move_velocity = wcstod(text.c_str(), nullptr);
    if (config.get_string(L"stalled_long_time", text) == XrConfiguration::OK)
        stalled_long_time = static_cast<int>(wcstol(text.c_str(), nullptr, 10));
}

void XrNaviApp::set_map_window(XrMapWindow* window)
{
    if (map_window != nullptr)
        memory_notifier.remove_client(map_window);
    map_window = window;
    if (window != nullptr)
        memory_notifier.add_client(window);
}

void XrNaviApp::redraw_map_window()
{
    if (XrMapWindow* w = get_map_window())
        w->redraw(true, false, -1, -1);
}

void XrNaviApp::redraw_map(bool immediate)
{
    if (XrMapWindow* w = get_map_window())
        w->redraw(!immediate, false, -1, -1);
}

void XrNaviApp::set_map_scale(const XrPoint& centre, int scale)
{
    map_view.set_center_and_scale(&centre, static_cast<std::uint32_t>(scale), false);
    redraw_map_window();
}

XrOverlayLayer* XrNaviApp::get_overlay_layer() const
{
    XrMapProvider* maps = map_provider();
    if (maps == nullptr)
        return nullptr;
    return dynamic_cast<XrOverlayLayer*>(maps->get_overlay_layer());
}

// ---- map life cycle

void XrNaviApp::map_initialized()
{
    map_ready = true;
    register_poi_icon_sets();
    create_touch_layer();
    suspend_auto_follow(4000, 4000);
    auto_scale_allowed = true;
    on_map_ready();
}

void XrNaviApp::map_closing()
{
    forget_touch_layer();
    if (map_handler != nullptr)
        map_handler->set_step_mode(false);
    save_view_state();
    end_route_preview(false);
    has_fix = false;
    map_ready = false;
    resume_auto_follow();
}

void XrNaviApp::save_view_state()
{
    auto* view = xr_registered<XrMapViewProvider>(L"XrMapViewProvider");
    auto* settings = xr_registered<XrMapSettingsProvider>(L"XrMapSettingsProvider");
    if (!map_ready || view == nullptr || settings == nullptr || map_view.get_map() == nullptr)
        return;
    settings->set_default_view(view->get_center_coordinate(), view->get_scale(), view->get_perspective(),
                               view->get_rotation(), map_view.is_3d() ? 1 : 0);
    settings->save(true);
}

// ---- following the position

void XrNaviApp::suspend_auto_follow(int centre_ms, int scale_ms)
{
    const std::uint32_t now = get_tick_count_ms();
    auto apply = [&](int ms, std::uint32_t& until) {
        if (ms < 0) {
            until = now;
        } else if (ms > 0) {
            suspend_started = now;
            if (before(until, now + static_cast<std::uint32_t>(ms)))
                until = now + static_cast<std::uint32_t>(ms);
        }
    };
    apply(centre_ms, follow_suspended_until);
    apply(scale_ms, scale_suspended_until);
    if (scale_ms > 0 || centre_ms > 0) {
        if (XrMapProvider* maps = map_provider())
            maps->tick_block_cache(false);
    }
}

void XrNaviApp::resume_auto_follow() { follow_suspended_until = scale_suspended_until = 0; }

bool XrNaviApp::is_follow_suspended() const { return before(get_tick_count_ms(), follow_suspended_until); }

bool XrNaviApp::is_heading_up() const
{
    XrRouteProvider* route = XrRouteProvider::get_instance();
    if (route != nullptr && route->has_route())
        return !route_orientation_to_north;
    return !map_orientation_to_north;
}

void XrNaviApp::reset_activity_time() { fix_history.set_active_since(get_tick_count_ms()); }

unsigned XrNaviApp::get_idle_seconds() const
{
    if (!fix_history.is_valid())
        return 0;
    return (get_tick_count_ms() - fix_history.get_active_since()) / 1000;
}

void XrNaviApp::provider_state_changed()
{
    XrPositionProvider* position = position_provider();
    if (position == nullptr)
        return;
    has_fix = position->get_position_info().has_fix();
    const bool running = position->is_active();
    if (running) {
        on_status_update();
        position_state_shown = 0;
    }
    // The route layer shows the state; a receiver lost is announced once.
    if (XrRouteLayer* layer = get_route_layer())
        layer->set_gps_present(running, position_state_shown < 1);
    if (!running)
        position_state_shown = 1;
    redraw_map_window();
    if (position->is_active() && has_fix)
        on_view_changed();
}

void XrNaviApp::provider_position_changed(bool* redrawn)
{
    XrPositionProvider* position = position_provider();
    if (position == nullptr)
        return;
    const bool fix = position->get_position_info().has_fix();
    const bool first = fix && !has_fix;
    has_fix = fix;
    if (first) {
        center_on_first_fix();
        resume_route_waiting_for_fix();
    } else {
        update_position(false, redrawn);
    }
}

// A route resumed at start (or asked for) before the receiver had a fix
// ended with "no fix"; the first fix searches it again instead of losing it.
void XrNaviApp::resume_route_waiting_for_fix()
{
    auto* route = xr_registered<XrRouteProvider>(L"XrRouteProvider");
    if (route == nullptr || route->has_route() || route->get_route_status() != XrRouteProvider::STATUS_NO_FIX)
        return;
    XrArray<XrRouteProvider::XrWaypoint> waypoints(8, 8);
    route->copy_waypoints(waypoints);
    if (waypoints.get_num_items() >= 2)
        route->recalculate_from_position(false);
}

void XrNaviApp::center_on_first_fix()
{
    XrPositionProvider* position = position_provider();
    XrMapProvider* maps = map_provider();
    if (position == nullptr || maps == nullptr || maps->get_projection() == nullptr)
        return;
    XrPositionInfo& info = position->get_position_info();
    double speed = 0;
    info.get_velocity().get_value(speed, XrVelocity::MetresPerSecond);
    const XrPoint point = info.get_coordinate().to_point(maps->get_projection());
    if (!map_view.is_inside_limits(point)) {
        auto_scale_allowed = false;
        return;
    }
    follow_enabled = auto_scale_allowed = true;
    suspend_auto_follow(-1, -1);
    browsing = rotation_frozen = false;
    bool redrawn = false;
    update_position(true, &redrawn);
    apply_auto_zoom(speed);
}

int XrNaviApp::apply_auto_zoom(double speed)
{
    const int scale = calculate_autozoom_scale(1, speed, -1, -1);
    if (scale > 0)
        map_view.set_center_and_scale(nullptr, static_cast<std::uint32_t>(scale), false);
    return scale;
}

void XrNaviApp::update_position(bool force, bool* redrawn)
{
    bool drew = false;
    if (redrawn != nullptr)
        *redrawn = false;
    XrPositionProvider* position = position_provider();
    XrMapProvider* maps = map_provider();
    if (!map_ready || preview_timer != nullptr || position == nullptr || maps == nullptr ||
        maps->get_projection() == nullptr)
        return;

    auto* settings = xr_registered<XrAppSettingsProvider>(L"XrAppSettingsProvider");
    XrPositionInfo& info = position->get_position_info();
    const XrPoint point = info.get_coordinate().to_point(maps->get_projection());
    const bool fix = info.has_fix();
    double speed = 0, heading = 0;
    info.get_velocity().get_value(speed, XrVelocity::MetresPerSecond);
    info.get_heading().get_value(heading, XrAngle::Degrees);

    if (!fix)
        last_good_heading = 0;
    if (speed > heading_speed_threshold)
        last_good_heading = heading;
    else if (settings == nullptr || settings->get_route_type() < 2)
        heading = last_good_heading;
    const std::uint32_t now = get_tick_count_ms();
    if (fix)
        fix_history.add(speed, heading, point, now, fast_move_velocity);
    else
        fix_history.clear();
    if (speed > heading_speed_threshold)
        heading = fix_history.filtered_heading(heading_window, heading_median);

    XrRouteLayer* layer = get_route_layer();
    const bool with_route = layer != nullptr && layer->get_active_route() != nullptr;
    if (!with_route)
        browsing = false;
    const int steps = with_route ? 5 : 3;
    const bool follow = !before(now, follow_suspended_until);
    const bool auto_scale = !before(now, scale_suspended_until) && auto_scale_allowed;
    // Once following resumes, a browsed route gives the view back to the car.
    if (follow && !highlight_done) {
        highlight_done = true;
        browsing = rotation_frozen = false;
    }

    XrOverlayLayer* overlay = get_overlay_layer();
    if (overlay != nullptr)
        overlay->set_position(point, fix ? 1 : 0);
    maps->tick_block_cache(true);
    std::uint32_t scale = map_view.get_scale_value();

    if (!fix) {
        const bool changed = layer != nullptr && layer->set_fix_valid(false);
        if (overlay != nullptr || (changed && layer->has_last_position())) {
            redraw_map_window();
            drew = true;
        }
        if (redrawn != nullptr)
            *redrawn = drew;
        return;
    }
    const bool guidance_changed = layer != nullptr && layer->set_fix_valid(true);
    const double d = std::hypot(static_cast<double>(point.x) - last_point.x, static_cast<double>(point.y) - last_point.y);
    const bool powersave = settings != nullptr && settings->get_powersave();
    if (follow == last_follow && !force && speed < 3.0) {
        const int r = map_view.get_reference_pixels();
        const double threshold = r != 0 ? steps * (1000.0 / r) : 0;
        if (d < threshold) {
            if (layer != nullptr && layer->get_current_speed() != speed && follow) {
                layer->set_current_speed(speed);
                redraw_map_window();
            }
            if (!powersave)
                on_status_update();
            last_follow = follow;
            return;
        }
    } else if (follow != last_follow) {
        force = true;
    }
    if (!powersave || (with_route ? layer->is_guidance_busy() : d >= 5.0))
        on_status_update();
    last_point = point;
    // The route layer's heading: counter-clockwise from east.
    const int display_heading = static_cast<int>(std::fmod(360.0 - heading + 90.0 + 720.0, 360.0));
    auto update_route_layer = [&]() {
        if (layer != nullptr)
            layer->update_position(point, display_heading, speed, false, &last_matched_gid, &last_matched_point, 0);
    };

    if (!follow_enabled || !auto_scale_allowed || browsing) {
        if (follow || !browsing)
            update_route_layer();
    } else {
        if (auto_scale && (settings == nullptr || settings->get_autozoom())) {
            const int s = apply_auto_zoom(std::max(0.0, mean_history_speed()));
            if (s > 0)
                scale = static_cast<std::uint32_t>(s);
        }
        update_route_layer();
        if (layer != nullptr)
            layer->set_current_speed(follow ? speed : -1.0);
        if (!is_heading_up())
            map_view.set_rotation(0);
        else if (follow && scale < XrMapView::NORTH_UP_SCALE && !rotation_frozen) {
            const double h = layer != nullptr && layer->has_last_position() ? layer->get_heading() : display_heading;
            map_view.set_rotation(static_cast<int>(std::fmod(h - 90 + 720, 360)));
        }
        turn_with_route = with_route && (settings == nullptr || settings->get_route_type() != 2) && is_heading_up();
        if (follow)
            map_view.set_center_and_scale(&point, scale, false);
    }
    if (force || follow || guidance_changed) {
        redraw_map_window();
        drew = true;
    }
    if (redrawn != nullptr)
        *redrawn = drew;
    last_follow = follow;
}

// ---- routing

XrRouteLayer* XrNaviApp::get_route_layer() const
{
    XrRouteProvider* route = XrRouteProvider::get_instance();
    return route != nullptr ? route->get_route_layer2() : nullptr;
}

bool XrNaviApp::is_navigating()
{
    XrRouteLayer* layer = get_route_layer();
    return layer != nullptr && layer->get_active_route() != nullptr &&
           layer->get_guidance_state() != XrRouteLayer::STATE_ARRIVED;
}

bool XrNaviApp::show_address_dialog(const XrString& title_key, int page, XrPoint&, XrString&, const XrPoint*)
{
    std::fprintf(stderr, "kestrova-navigator: address dialog \"%ls\" (page %d): none on this platform\n",
                 title_key.c_str(), page);
    return false;
}

bool XrNaviApp::show_route_query(const char* title_key, const char* text_key, bool ask)
{
    std::fprintf(stderr, "kestrova-navigator: %s %s: %s\n", ask ? "query" : "note", title_key != nullptr ? title_key : "",
                 text_key);
    return false;
}

bool XrNaviApp::ask_waypoint(XrRouteProvider::XrWaypoint& wpt, int mode, const XrPoint* centre)
{
    XrRouteLayer* layer = get_route_layer();
    if (centre == nullptr && layer != nullptr && layer->has_last_position())
        centre = &layer->get_last_position();
    const bool guard = dialog_guard;
    dialog_guard = false;
    XrPoint point;
    XrString name;
    const bool ok = show_address_dialog(message_text(mode == 0 ? R_STR_POSDLG_TITLE_SOURCE : R_STR_POSDLG_TITLE_DESTINATION),
                                        mode == 0 ? 1 : 2, point, name, centre);
    dialog_guard = guard;
    if (!ok)
        return false;
    wpt = XrRouteProvider::XrWaypoint();
    wpt.used = 1;
    wpt.x = point.x;
    wpt.y = point.y;
    wpt.name = name;
    return true;
}

int XrNaviApp::app_navigate_to(const XrPoint* start, const XrPoint* destination, const XrString& destination_name)
{
    XrRouteProvider* route = XrRouteProvider::get_instance();
    if (route == nullptr)
        return 0;
    dialog_guard = false;
    follow_enabled = false;
    XrRouteProvider::XrWaypoint from, to;
    bool go = true;
    if (start != nullptr) {
        from.x = start->x;
        from.y = start->y;
    } else {
        XrPositionProvider* position = position_provider();
        auto* settings = xr_registered<XrAppSettingsProvider>(L"XrAppSettingsProvider");
        XrRouteLayer* layer = get_route_layer();
        if (position == nullptr || !position->is_active() ||
            (settings != nullptr && settings->get_route_type() == 4 &&
             (layer == nullptr || !layer->has_last_position()))) {
            go = ask_waypoint(from, 0, nullptr);
        } else {
            from.used = 0;
            from.name = message_text(R_STR_MSG_CURRENT_LOCATION);
        }
    }
    if (go) {
        if (from.used == 0)
            route->clear_pending_start();
        else
            route->set_pending_start(from);
        if (destination != nullptr) {
            to.x = destination->x;
            to.y = destination->y;
            to.name = destination_name;
        } else {
            XrRouteLayer* layer = get_route_layer();
            const XrPoint from_point(from.x, from.y);
            const XrPoint* centre = from.used != 0                                      ? &from_point
                                    : layer != nullptr && layer->has_last_position() ? &layer->get_last_position()
                                                                                     : nullptr;
            if (!ask_waypoint(to, 1, centre)) {
                route->clear_pending_start();
                go = false;
            }
        }
    }
    if (go) {
        route->clear_pending_start();
        route->set_start_and_destination(from, to);
    }
    dialog_guard = true;
    follow_enabled = true;
    return 0;
}

void XrNaviApp::end_navigation()
{
    end_route_preview(false);
    if (XrRouteProvider* route = XrRouteProvider::get_instance())
        route->clear_route();
    redraw_map_window();
    resume_auto_follow();
    if (XrRouteProvider* route = XrRouteProvider::get_instance())
        route->delete_route_state();
    center_on_first_fix();
}

void XrNaviApp::clear_route_with_query()
{
    XrRouteProvider* route = XrRouteProvider::get_instance();
    if (route != nullptr && route->has_waypoints() && show_route_query("r_str_clear_route_title", "r_str_clear_route", true))
        end_navigation();
    redraw_map_window();
}

bool XrNaviApp::XrCommonDialogs_show_query_msg(XrRouteProvider::EnumStrSel which, bool ask)
{
    static const char* const texts[][2] = {
        {"r_str_destination_charge_title", "r_str_destination_charge"},
        {"r_str_allow_tollroads_title", "r_str_allow_tollroads"},
        {"r_str_allow_ferry_title", "r_str_allow_ferry"},
        {"r_str_msg_no_route_found", "r_str_msg_no_route_found"},
        {"r_str_allow_charge_title", "r_str_allow_charge"},
    };
    XR_ASSERT_MSG(which >= 0 && which <= 4, "0");
    if (ask)
        return show_route_query(texts[which][0], texts[which][1], true);
    show_route_query(nullptr, texts[which][1], false);
    return false;
}

void XrNaviApp::show_route_event(int kind)
{
    if (kind != 2 && kind != 3)
        return;
    redraw_map_window();
    XrString text;
    text.load_text(get_message_id(kind == 2 ? "r_str_drive_to_road" : "r_str_gps_not_yet_active"));
    show_map_message(text, 3000, 1);
}

bool XrNaviApp::destination_reached(bool hold)
{
    if (!hold)
        end_navigation();
    return true;
}

void XrNaviApp::route_changed()
{
    // The route still to be driven survives a kill or a crash.
    if (auto* route = xr_registered<XrRouteProvider>(L"XrRouteProvider"))
        route->save_route_state();
    on_view_changed();
    redraw_map_window();
}

void XrNaviApp::start_route_preview(bool enable, bool keep_scale, int mode)
{
    if (!enable)
        return;
    end_route_preview(false);
    preview_timer =
        new XrCrosshairTimer(this, keep_scale, mode, keep_scale ? static_cast<int>(map_view.get_scale_value()) : 6250);
    event_loop.add_timeout(0, 0, preview_timer, reinterpret_cast<void*>(static_cast<std::intptr_t>(XrCrosshairTimer::EVENT_ID)));
}

void XrNaviApp::end_route_preview(bool redraw)
{
    if (preview_timer == nullptr)
        return;
    XrCrosshairTimer* timer = preview_timer;
    preview_timer = nullptr;
    XrRouteLayer* layer = get_route_layer();
    if (layer != nullptr && layer->has_last_position()) {
        const XrPoint p = layer->get_last_position();
        map_view.set_center_and_scale(&p, static_cast<std::uint32_t>(timer->get_scale()), false);
        map_view.set_rotation(route_orientation_to_north ? 0 : static_cast<int>(std::fmod(layer->get_heading() - 90 + 720, 360)));
    }
    if (redraw)
        redraw_map_window();
    // The keys browse the new route from now on.
    if (map_handler != nullptr) {
        map_handler->set_busy(false);
        if (!map_handler->is_step_mode())
            map_handler->toggle_step_mode();
    }
    dialog_guard = true;
    follow_enabled = true;
    event_loop.remove_timeout(timer, nullptr);
    delete timer;
}
