#include "common/corvanel_core/impl/xr_mapproviderimpl.h"

#include "common/addr/xr_addraccessor.h"
#include "common/addr/xr_signpostacc.h"
#include "common/audio/xr_audioplayer.h"
#include "common/base/xr_memorynotifier.h"
#include "common/config/xr_storageconfiguration.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_historyprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/geometry/xr_projection.h"
#include "common/map/xr_geomlayer.h"
#include "common/map/xr_linelabellayer.h"
#include "common/map/xr_maplayerkinds.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapconfig.h"
#include "common/map/xr_roadnumberlayer.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_path_resolver.h"
#include "common/misc/xr_tokenparser.h"
#include "common/misc/xr_unicodeutil.h"
#include "common/os/xr_file.h"
#include "common/storage/xr_storageaccessor.h"
#include "common/update/xr_mapcatalogue.h"
#include "common/update/xr_soundsetcatalogue.h"
#include "common/visualization/xr_visualsetting.h"

namespace {

constexpr const TCHAR* mapdata_ini = L"?:\\mapdata\\mapdata.ini";
constexpr const TCHAR* static_conf = L"?:/kestrova/maemo.reg";
constexpr const TCHAR* static_root = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Varnok";
constexpr const TCHAR* theme_key = L"\\visual_settings\\gt_vs";
constexpr const TCHAR* theme_setting = L"gt_vs";

// The visual setting reads itself again with the theme; what it could not
// read stays empty and the map draws what it has.
bool read_theme(XrVisualSetting* setting, int theme, XrPalette& palette, XrConfiguration& config)
{
    int applied = 0;
    setting->read_themes(theme, palette, config, nullptr, applied);
    return true;
}

XrThemeReader g_theme_reader = read_theme;

// mapdata.ini, parsed; null when it cannot be opened.
std::unique_ptr<XrStorageConfiguration> open_mapdata_ini()
{
    XrStorageAccessor* accessor = open_storage_accessor(XrString(mapdata_ini), true);
    if (accessor == nullptr)
        return nullptr;
    auto config = std::make_unique<XrStorageConfiguration>(accessor, L"");
    if (config->open(true) != XrConfiguration::OK)
        return nullptr;
    return config;
}

bool mapdata_value(const TCHAR* name, XrString& out)
{
    std::unique_ptr<XrStorageConfiguration> ini = open_mapdata_ini();
    return ini && ini->open_key(L"\\general") == XrConfiguration::OK &&
           ini->get_string(name, out) == XrConfiguration::OK;
}

XrAppSettingsProvider* app_settings()
{
    return static_cast<XrAppSettingsProvider*>(XrSingleton::get_instance(XrString(L"XrAppSettingsProvider")));
}

} // namespace

void xr_set_theme_reader(XrThemeReader reader)
{
    g_theme_reader = reader != nullptr ? reader : read_theme;
}

XrMapProviderImpl::XrMapProviderImpl()
{
    XrPositionMap::set_instance(this);
}

XrMapProviderImpl::~XrMapProviderImpl()
{
    close_map();
    if (XrPositionMap::get_instance() == this)
        XrPositionMap::set_instance(nullptr);
}

bool XrMapProviderImpl::initialize(XrEventloopBase* loop, XrAudioPlayer* audio, XrPoiLayerClient* poi_client,
                                   XrMemoryNotifier* notifier)
{
    XR_ASSERT_MSG(loop != nullptr, "event_loop");
    event_loop = loop;
    audio_player = audio;
    poi_layer_client = poi_client;
    memory_notifier = notifier;
    block_cache.set_budget(BLOCK_CACHE_BUDGET);
    return open_map();
}

XrStorageConfiguration* XrMapProviderImpl::open_map_static_conf()
{
    XrStorageAccessor* accessor = open_storage_accessor(XrString(static_conf), true);
    if (accessor == nullptr)
        accessor = create_storage_accessor(XrString(static_conf));
    if (accessor == nullptr)
        return nullptr;
    auto config = std::make_unique<XrStorageConfiguration>(accessor, static_root);
    if (config->open(true) != XrConfiguration::OK)
        return nullptr;
    return config.release();
}

bool XrMapProviderImpl::find_projection_name(XrString& out)
{
    std::unique_ptr<XrStorageConfiguration> ini = open_mapdata_ini();
    if (!ini)
        return false;
    if (ini->open_key(L"\\general") == XrConfiguration::OK && ini->get_string(L"projection", out) == XrConfiguration::OK)
        return true;
    std::unique_ptr<XrStorageConfiguration> conf(open_map_static_conf());
    return conf && conf->open_key(L"\\positioning") == XrConfiguration::OK &&
           conf->get_string(L"projection", out) == XrConfiguration::OK;
}

bool XrMapProviderImpl::open_map()
{
    XR_ASSERT_MSG(projection_name.is_empty(), "!projection_str.len()");
    XR_ASSERT_MSG(!projection, "!projection");
    if (open_map_steps())
        return true;
    release_map(); // a half-open map is never left behind
    return false;
}

bool XrMapProviderImpl::open_map_steps()
{
    XrString name;
    if (!find_projection_name(name) || name.is_empty())
        return false;
    projection_name = name;
    projection.reset(create_projection(name));
    if (!projection)
        return false;

    XR_ASSERT_MSG(!map, "!map");
    map = std::make_unique<XrMap>();
    XR_ASSERT_MSG(!route_layer, "!route_layer");
    if (layer_maker != nullptr) {
        route_layer = layer_maker->create_route_layer(event_loop, map.get(), audio_player);
        if (route_layer != nullptr)
            route_layer_owned.reset(route_layer->as_layer());
        overlay_layer = layer_maker->create_overlay_layer();
        if (overlay_layer != nullptr) {
            overlay_layer_owned.reset(overlay_layer->as_layer());
            overlay_layer->load_images();
        }
        if (route_layer != nullptr)
            route_layer->load_images();
    }
    apply_voice_settings(true);
    if (route_layer != nullptr)
        route_layer->as_layer()->set_double_bufferable(false);

    // Signposts: optional. The route layer owns the reader once it has it;
    // this provider keeps a borrowed pointer while the map is open.
    if (XrStorageAccessor* signs = open_storage_accessor(XrString(L"?:\\mapdata\\signs.bin"), true)) {
        auto reader = std::make_unique<XrSignpostAccessor>();
        if (reader->open(signs)) {
            signposts = reader.get();
            if (route_layer != nullptr)
                route_layer->set_signpost_accessor(reader.release());
            else
                signposts_owned = std::move(reader);
        }
    }

    // The two quadtree storages; a missing or unreadable one stays empty.
    const struct {
        const TCHAR* path;
        std::unique_ptr<XrSimpleGeomStorage>& storage;
    } qt[] = {{L"?:\\mapdata\\pc.qt", pc_storage}, {L"?:\\mapdata\\pb.qt", pb_storage}};
    for (const auto& q : qt) {
        XrStorageAccessor* accessor = open_storage_accessor(XrString(q.path), true);
        if (accessor == nullptr)
            continue;
        q.storage = std::make_unique<XrSimpleGeomStorage>(accessor, false, false, &block_cache);
        if (q.storage->open() != 0)
            q.storage.reset();
    }

    std::unique_ptr<XrStorageConfiguration> conf(open_map_static_conf());
    XR_ASSERT_MSG(conf != nullptr, "map_static_conf");
    context = std::make_unique<XrMapConfigContext>();
    context->notifier = memory_notifier;
    context->poi_client = poi_layer_client;
    conf->open_key(L"\\");
    XrString resource_key;
    resource_key.load_text(R_STR_RESOURCE_KEY_NAME);
    register_map_layer_kinds();
    if (read_map_configuration(map.get(), conf.get(), *context, resource_key.is_empty() ? nullptr : &resource_key) !=
        MapConfigOk)
        return false;
    conf.reset();
    apply_voice_settings(false);

    // The address database.
    XrString addr_path;
    if (!addr_path.load_text(R_STR_ADDR_DB_RESOURCE) || addr_path.is_empty())
        addr_path = L"?:\\mapdata\\addr.dat";
    XrStorageAccessor* addr = open_storage_accessor(addr_path, true);
    if (addr == nullptr)
        addr = open_storage_accessor(XrString(L"?:\\mapdata\\addr.dat"), true);
    if (addr == nullptr)
        return false;
    addr_accessor = std::make_unique<XrAddrAccessor>();
    addr_accessor->set_storage(addr);
    if (addr_accessor->open() != XrAddrAccessor::OK) {
        addr_accessor.reset();
        return false;
    }
    if (memory_notifier != nullptr)
        memory_notifier->add_client(addr_accessor.get());

    XrLayer* road = map->get_layer(XrString(L"road"));
    if (road == nullptr) {
        xr_show_note(R_STR_MSG_CONFIG_NO_ROAD);
        return false;
    }
    if (route_layer != nullptr)
        route_layer->take_road_layer_values(road);
    if (!prepare_layers())
        return false;
    if (route_layer != nullptr && !route_layer->set_road_data(get_road_geometry(), addr_accessor.get()))
        return false;
    // Both go on top of the map's own layers; the map owns them from now on.
    if (route_layer != nullptr && map->add_layer(route_layer_owned.get(), XrString(L"route_layer")))
        route_layer_owned.release();
    if (overlay_layer != nullptr && map->add_layer(overlay_layer_owned.get(), XrString(L"overlay_layer")))
        overlay_layer_owned.release();

    XR_ASSERT_MSG(poi_layer == nullptr, "!poi_layer");
    poi_layer = map->get_layer(XrString(L"poi"));
    XR_ASSERT_MSG(poi_layer != nullptr, "poi_layer");

    for (int i = 0; i < draw_listeners.get_num_items(); ++i)
        map->add_draw_listener(draw_listeners.get_item(i));

    if (auto* history = static_cast<XrHistoryProvider*>(XrSingleton::get_instance(XrString(L"XrHistoryProvider"))))
        history->load();
    notify_listeners(&XrMapListener::map_initialized);
    return true;
}

void XrMapProviderImpl::apply_voice_settings(bool folder)
{
    XrAppSettingsProvider* settings = app_settings();
    if (settings == nullptr)
        return;
    if (folder) {
        // The voice set the settings name, while the card holds its prompts;
        // else the content search (the default voice set, or the first one).
        XrString name = settings->get_soundset();
        bool found = false;
        if (!name.is_empty()) {
            for_each_folder_entry(XrSoundsetCatalogue::get_voice_root() + L"/" + name, XrFileFinder::FILES,
                                  [&](const XrString&) {
                                      found = true;
                                      return false;
                                  });
        }
        if (found || XrSoundsetCatalogue::find_voice_folder(name, true)) {
            settings->set_soundset(name);
            if (route_layer != nullptr)
                route_layer->set_voice_folder(settings->get_soundset());
        }
        return;
    }
    if (route_layer != nullptr)
        route_layer->set_handsfree(settings->get_handsfree_invoke());
    const int volume = settings->get_volume();
    if (volume < XrAppSettingsProvider::VolumeOff || volume > XrAppSettingsProvider::VolumeHigh)
        return;
    if (audio_player != nullptr)
        audio_player->set_volume_level(volume);
    if (route_layer != nullptr)
        route_layer->set_prompts_on(volume != XrAppSettingsProvider::VolumeOff);
}

bool XrMapProviderImpl::prepare_layers()
{
    XR_ASSERT_MSG(map != nullptr, "map");
    if (route_layer != nullptr) {
        for (int i = 0; i < map->get_layer_count(); ++i) {
            XrMap::XrLayerInfo* info = map->get_layer_info_at(i);
            if ((info->kind == 4 && info->layer != nullptr) || info->kind == 1)
                route_layer->attach_layer(*info);
        }
    }
    XrLayer* road = map->get_layer(XrString(L"road"));
    XR_ASSERT_MSG(road != nullptr, "gll");
    XR_ASSERT_MSG(addr_accessor != nullptr, "aa");
    if (auto* labels = dynamic_cast<XrLineLabelLayer*>(road))
        labels->set_addr_accessor(addr_accessor.get());
    if (route_layer != nullptr)
        route_layer->set_road_layer(road, get_road_geometry());
    // The road-number shields take the signposts' colour schemes.
    for (int i = 0; i < map->get_layer_count(); ++i) {
        if (auto* numbers = dynamic_cast<XrRoadNumberLayer*>(map->get_layer_info_at(i)->layer))
            numbers->set_sign_colors(signposts);
    }
    XrAppSettingsProvider* settings = app_settings();
    return set_theme(settings != nullptr ? settings->get_theme() : 0);
}

bool XrMapProviderImpl::set_theme(int theme)
{
    if (!map || !context)
        return false;
    std::unique_ptr<XrStorageConfiguration> conf(open_map_static_conf());
    XrVisualSetting* setting = nullptr;
    if (!conf || conf->open_key(theme_key) != XrConfiguration::OK ||
        !context->visual_settings.find(XrString(theme_setting), setting) || setting == nullptr)
        return false;
    return g_theme_reader == nullptr || g_theme_reader(setting, theme, map->get_palette(), *conf);
}

void XrMapProviderImpl::reload_layer_settings()
{
    if (!map)
        return;
    std::unique_ptr<XrStorageConfiguration> conf(open_map_static_conf());
    if (!conf || conf->open_key(theme_key) != XrConfiguration::OK)
        return;
    XrVisualSetting* setting = nullptr;
    if (!context->visual_settings.find(XrString(theme_setting), setting) || setting == nullptr)
        return;
    if (XrAppSettingsProvider* settings = app_settings()) {
        if (g_theme_reader != nullptr)
            g_theme_reader(setting, settings->get_theme(), map->get_palette(), *conf);
    }
    if (conf->open_key(L"layers") != XrConfiguration::OK)
        return;
    for (int i = 0; i < map->get_layer_count(); ++i) {
        XrMap::XrLayerInfo* info = map->get_layer_info_at(i);
        conf->push_key();
        if (conf->open_key(info->name.c_str()) == XrConfiguration::OK) {
            bool flag = false;
            if (conf->get_bool(L"visible", &flag) == XrConfiguration::OK)
                info->visible = flag;
            if (conf->get_bool(L"pickable", &flag) == XrConfiguration::OK)
                info->pickable = flag;
            int value = 0;
            info->lowest_scale = conf->get_int(L"visibility_low", &value) == XrConfiguration::OK ? value : 0;
            value = 0;
            info->highest_scale = conf->get_int(L"visibility_high", &value) == XrConfiguration::OK ? value : 0;
        }
        conf->pop_key();
    }
}

void XrMapProviderImpl::close_map()
{
    if (!map && !projection && projection_name.is_empty())
        return;
    if (XrRouteProvider* route = XrRouteProvider::get_instance())
        route->drop_route();
    if (map)
        notify_listeners(&XrMapListener::map_closing);
    release_map();
    // The character tables come with the map: the next map's are read now
    // (the built-in copy when it has none).
    XrUnicodeUtil::get_instance()->read_table_bin(L"?:\\mapdata\\unicode.binmap");
    if (memory_notifier != nullptr)
        memory_notifier->notify_clients();
}

void XrMapProviderImpl::release_map()
{
    // The signpost reader goes with the route layer that owns it.
    signposts = nullptr;
    route_layer_owned.reset(); // not added to the map yet
    overlay_layer_owned.reset();
    route_layer = nullptr;
    overlay_layer = nullptr;
    projection_name.clear();
    projection.reset();
    if (addr_accessor && memory_notifier != nullptr)
        memory_notifier->remove_client(addr_accessor.get());
    addr_accessor.reset();
    pc_storage.reset();
    pb_storage.reset();
    signposts_owned.reset();
    poi_layer = nullptr;
    map.reset(); // the layers go before the settings they point into
    context.reset();
    block_cache.drop_all();
}

XrString XrMapProviderImpl::maps_folder()
{
    XrPathResolver* resolver = get_path_resolver();
    const TCHAR* root = resolver != nullptr ? resolver->get_root() : find_map_card_root();
    return root != nullptr ? XrString(root) : XrString();
}

XrString XrMapProviderImpl::get_map_name()
{
    XrMapCatalogue catalogue(maps_folder(), XrString(L"mapdata"));
    XrMapEntry* entry = catalogue.get_active_entry();
    return entry != nullptr ? entry->get_name() : XrString();
}

bool XrMapProviderImpl::get_map_id(XrString& out)
{
    XrMapCatalogue catalogue(maps_folder(), XrString(L"mapdata"));
    XrMapEntry* entry = catalogue.get_active_entry();
    if (entry == nullptr || entry->get_guid().is_empty())
        return false;
    out = entry->get_guid();
    return true;
}

bool XrMapProviderImpl::select_map(int index)
{
    XrMapCatalogue catalogue(maps_folder(), XrString(L"mapdata"));
    const int active = catalogue.find_active_index();
    XrMapEntry* chosen = catalogue.get_item(index);
    if (chosen == nullptr)
        return false;
    if (index == active)
        return true;
    // Indexes move when folders are renamed: find the previous map again
    // by its display name and path after the switch.
    XrMapEntry* previous = catalogue.get_item(active);
    const XrString previous_name = previous != nullptr ? previous->get_name() : XrString();
    if (!catalogue.activate_map(index, false)) {
        if (previous != nullptr && !previous->is_active())
            catalogue.activate_map(active, true);
        return false;
    }
    close_map();
    if (open_map())
        return true;
    // The chosen map cannot be opened: back to the previous one.
    if (previous != nullptr) {
        XrMapCatalogue again(maps_folder(), XrString(L"mapdata"));
        for (int i = 0; i < again.get_count(); ++i) {
            XrMapEntry* e = again.get_item(i);
            if (!e->is_active() && e->get_name() == previous_name) {
                again.activate_map(i, true);
                break;
            }
        }
    }
    return open_map();
}

XrLayer* XrMapProviderImpl::get_road_layer()
{
    return map ? map->get_layer(XrString(L"road")) : nullptr;
}

XrLayer* XrMapProviderImpl::get_sm_layer()
{
    return map ? map->get_layer(XrString(L"sm")) : nullptr;
}

XrGeomStorage* XrMapProviderImpl::get_road_geometry()
{
    auto* road = dynamic_cast<XrGeomLayer*>(get_road_layer());
    return road != nullptr ? road->get_storage() : nullptr;
}

void XrMapProviderImpl::tick_block_cache(bool light)
{
    block_cache.age(light);
}

XrArray<XrString>* XrMapProviderImpl::create_country_list()
{
    if (!addr_accessor)
        return nullptr;
    const unsigned int n = addr_accessor->get_country_count();
    auto* list = new XrArray<XrString>(n > 0 ? static_cast<int>(n) : 1, 0);
    for (unsigned int i = 0; i < n; ++i) {
        XrString name;
        addr_accessor->get_country_name(i, name);
        list->append(name);
    }
    return list;
}

bool XrMapProviderImpl::get_projection_name(XrString& out)
{
    if (projection_name.is_empty())
        return false;
    out = projection_name;
    return true;
}

bool XrMapProviderImpl::get_address_filter(XrArray<XrString>& out)
{
    XrString value;
    if (!mapdata_value(L"address_filter", value))
        return false;
    XrTokenParser parser(value, L',');
    while (const TCHAR* item = parser.parse_next(true, true))
        out.append(XrString(item));
    return true;
}

bool XrMapProviderImpl::are_country_names_included()
{
    if (addr_accessor && addr_accessor->get_country_count() == 1) {
        XrString name;
        if (addr_accessor->get_country_name(0, name) == XrAddrAccessor::OK && name == L"USA")
            return true;
    }
    XrString value;
    return mapdata_value(L"country_names_included", value) && value == L"1";
}

void XrMapProviderImpl::get_map_languages(XrArray<XrLC>& out)
{
    if (languages.get_num_items() == 0) {
        BYTE* raw = nullptr;
        int size = 0;
        if (read_whole_file(XrPathResolver::resolve(XrString(L"?:\\mapdata\\maplcs.dat")), &raw, &size,
                            MAX_LANGUAGE_FILE)) {
            std::unique_ptr<BYTE[]> data(raw);
            auto separator = [](BYTE b) { return b == '\r' || b == '\n' || b == ' ' || b == '\t'; };
            int pos = 0;
            while (pos < size && separator(data[pos]))
                ++pos;
            while (size - pos >= 3) {
                languages.append(xr_make_lc(static_cast<char>(data[pos]), static_cast<char>(data[pos + 1]),
                                            static_cast<char>(data[pos + 2])));
                pos += 3;
                while (pos < size && separator(data[pos]))
                    ++pos;
            }
        }
        if (languages.get_num_items() == 0)
            languages.append(0);
    }
    out.remove_all();
    for (int i = 0; i < languages.get_num_items(); ++i)
        out.append(*languages.get_item_ptr(i));
}

void XrMapProviderImpl::add_draw_listener(XrMapDrawListener* listener)
{
    if (listener == nullptr)
        return;
    for (int i = 0; i < draw_listeners.get_num_items(); ++i) {
        if (draw_listeners.get_item(i) == listener)
            return;
    }
    draw_listeners.append(listener);
    if (map)
        map->add_draw_listener(listener);
}

bool XrMapProviderImpl::remove_draw_listener(XrMapDrawListener* listener)
{
    const bool had = draw_listeners.remove(listener);
    if (map)
        map->remove_draw_listener(listener);
    return had;
}
