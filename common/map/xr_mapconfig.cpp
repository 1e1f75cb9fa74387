#include "common/map/xr_mapconfig.h"

#include "common/db/xr_heapgeomlayout.h"

#include <dirent.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "common/base/xr_memorynotifier.h"
#include "common/db/xr_heapgeomstorage.h"
#include "common/db/xr_memorygeomstorage.h"
#include "common/map/xr_geomlayer.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_maptxtlayer.h"
#include "common/misc/xr_path_resolver.h"
#include "common/storage/xr_heapstorage.h"
#include "common/storage/xr_storageaccessor.h"
#include "common/symbol/xr_symbol.h"
#include "common/visualization/xr_visualsetting.h"

namespace {

// Saves the configuration's current key and restores it on leaving.
class XrKeyGuard {
public:
    explicit XrKeyGuard(XrConfiguration& config) : config(config) { config.push_key(); }
    ~XrKeyGuard() { config.pop_key(); }
    XrKeyGuard(const XrKeyGuard&) = delete;
    XrKeyGuard& operator=(const XrKeyGuard&) = delete;

private:
    XrConfiguration& config;
};

const TCHAR* const kKindNames[LayerKindCount] = {L"geom", L"linelabel", L"poi", L"maptxt", L"roadnumber"};

XrConfiguredLayerFactory g_factories[LayerKindCount] = {};

XrGeomLayer* create_geom(XrMap* map, XrVisualSetting* vs, XrConfiguration&, XrMapConfigContext&)
{
    return new XrGeomLayer(map, vs, false);
}

XrGeomLayer* create_map_text(XrMap* map, XrVisualSetting* vs, XrConfiguration&, XrMapConfigContext&)
{
    return new XrMapTxtLayer(map, vs, false);
}

XrConfiguredLayerFactory factory_of(int kind)
{
    if (kind == LayerGeom)
        return g_factories[kind] != nullptr ? g_factories[kind] : create_geom;
    if (kind == LayerMapText)
        return g_factories[kind] != nullptr ? g_factories[kind] : create_map_text;
    return kind >= 0 && kind < LayerKindCount ? g_factories[kind] : nullptr;
}

bool get_text(XrConfiguration& config, const TCHAR* name, XrString& out)
{
    return config.get_string(name, out) == XrConfiguration::OK;
}

int get_int_or(XrConfiguration& config, const TCHAR* name, int fallback)
{
    int v = fallback;
    if (config.get_int(name, &v, &fallback) != XrConfiguration::OK)
        return fallback;
    return v;
}

// The storage name: the part of the path behind "://", else the whole path.
XrString storage_name(const XrString& path)
{
    const TCHAR* text = path.c_str();
    const TCHAR* cut = text != nullptr ? wcsstr(text, L"://") : nullptr;
    return cut != nullptr ? XrString(cut + 3) : path;
}

void note_missing(XrMapConfigContext& context, const XrString& path, const char* why)
{
    context.missing_files.append(path);
    std::string narrow;
    for (const TCHAR* p = path.c_str(); p != nullptr && *p != 0; ++p)
        narrow += *p < 128 ? static_cast<char>(*p) : '?';
    xr_map_warning("layer file %s: %s", narrow.c_str(), why);
}

void add_member(XrGeomLayer* layer, XrGeomStorage* storage, const XrString& path, XrMapConfigContext& context)
{
    if (context.notifier != nullptr)
        context.notifier->add_client(storage);
    storage->set_name(storage_name(path));
    // Layers show at any scale their visibility range allows.
    layer->get_storage()->add_storage(storage, 0);
}

// The layer name stored in a heap geometry storage's header (after the
// fixed header fields); empty when there is none.
XrString heap_layer_name(XrHeapStorage& heap)
{
    const unsigned int root = heap.get_root();
    const std::uint32_t size = heap.get_block_size(root);
    constexpr std::uint32_t name_offset = xrqt_heap::OFF_NAME;
    if (size <= name_offset)
        return XrString();
    const BYTE* data = nullptr;
    if (heap.read_block_data(root, name_offset, size - name_offset, &data) != XrHeapStorage::OK || data == nullptr)
        return XrString();
    std::wstring name;
    for (std::uint32_t i = 0; i < size - name_offset && data[i] != 0; ++i)
        name += static_cast<wchar_t>(data[i]);
    heap.release_data(data);
    return XrString(name.c_str());
}

// A heap geometry storage over a file; null when it cannot be opened.
// layer_name, when given, receives the name stored in the file.
XrHeapGeomStorage* open_heap_storage(const XrString& path, XrString* layer_name)
{
    XrStorageAccessor* accessor = open_storage_accessor(path, true);
    if (accessor == nullptr)
        return nullptr;
    auto heap = std::make_unique<XrHeapStorage>(0);
    heap->set_storage_accessor(accessor);
    if (heap->open(false) != XrHeapStorage::OK)
        return nullptr;
    if (layer_name != nullptr)
        *layer_name = heap_layer_name(*heap);
    auto storage = std::make_unique<XrHeapGeomStorage>(heap.release(), false, false);
    if (storage->open() != XrStoredGeomStorage::OPENED)
        return nullptr;
    return storage.release();
}

void apply_draw_options(XrGeomLayer* layer, XrConfiguration& config)
{
    const int outline = get_int_or(config, L"outline_polygons", 0);
    const int two_phase = get_int_or(config, L"lines_in_2phases", 0);
    const int tolerance = get_int_or(config, L"draw_opt", 5);
    if (outline != -1)
        layer->set_outline_polygons(outline != 0);
    if (two_phase != -1)
        layer->set_lines_in_2phases(two_phase != 0);
    if (tolerance != -1)
        layer->set_tolerances(tolerance, tolerance);
    layer->save_options();
}

// The layer files of a directory, sorted.
std::vector<XrString> list_files(const XrString& directory)
{
    std::vector<XrString> out;
    std::string dir;
    if (!to_platform_path(directory, true, dir))
        return out;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr)
        return out;
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != ".." && e->d_type != DT_DIR)
            names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
        XrString path = directory;
        path += L"/";
        path += from_platform_path(n.c_str());
        out.push_back(path);
    }
    return out;
}

} // namespace

void XrVisualSettingTable::free_item(XrString*, XrVisualSetting** value) { delete *value; }

XrMapConfigContext::~XrMapConfigContext()
{
    for (int i = 0; i < symbol_libraries.get_num_items(); ++i)
        delete symbol_libraries.get_item(i);
}

XrCfgLayerInfo::~XrCfgLayerInfo() { delete layer; }

void register_configured_layer_kind(int kind, XrConfiguredLayerFactory factory)
{
    if (kind >= 0 && kind < LayerKindCount)
        g_factories[kind] = factory;
}

int read_visual_settings(XrConfiguration& config, XrMapConfigContext& context, XrMap* map)
{
    XrKeyGuard guard(config);
    if (config.open_key(L"visual_settings") != XrConfiguration::OK)
        return 1;
    std::unique_ptr<XrConfigurationIterator> keys(config.create_key_iterator());
    XrString name;
    XrPalette scratch;
    while (keys && keys->get_next(name)) {
        auto setting = std::make_unique<XrVisualSetting>();
        XrKeyGuard inner(config);
        if (config.open_key(name.c_str()) != XrConfiguration::OK ||
            setting->read(config, map != nullptr ? map->get_palette() : scratch, context.symbol_libraries,
                          nullptr) != 0)
            return 1;
        XrVisualSetting* old = nullptr;
        if (context.visual_settings.find(name, old)) {
            context.visual_settings.remove(name);
            delete old;
        }
        if (!context.visual_settings.insert(name, setting.get()))
            return 1;
        setting.release();
    }
    return 0;
}

XrLayer* create_configured_layer(XrMap* map, XrConfiguration& config, XrMapConfigContext& context,
                                 const XrString& key, int kind, const XrString* resource_key)
{
    XrString vs_name, storage_kind;
    XrVisualSetting* vs = nullptr;
    if (!get_text(config, L"visual_settings", vs_name) || !context.visual_settings.find(vs_name, vs) ||
        vs == nullptr)
        return nullptr;
    if (!get_text(config, L"storage", storage_kind))
        return nullptr;

    const bool memory = wide_stricmp(storage_kind.c_str(), L"memory") == 0;
    const bool simple = wide_stricmp(storage_kind.c_str(), L"simple") == 0;
    const bool heap = wide_stricmp(storage_kind.c_str(), L"heap") == 0;
    if (!memory && !simple && !heap)
        return nullptr;

    if (memory) {
        auto* layer = new XrGeomLayer(map, vs, false);
        layer->get_storage()->add_storage(new XrMemoryGeomStorage(), 0);
        apply_draw_options(layer, config);
        return layer;
    }

    XrConfiguredLayerFactory factory = factory_of(kind);
    XrGeomLayer* layer = factory != nullptr ? factory(map, vs, config, context) : nullptr;
    if (layer == nullptr)
        layer = new XrGeomLayer(map, vs, false);

    XrString path;
    const bool has_path = (resource_key != nullptr && get_text(config, resource_key->c_str(), path)) ||
                          get_text(config, L"resource", path);
    if (simple) {
        if (has_path) {
            XrStorageAccessor* accessor = open_storage_accessor(path, true);
            if (accessor == nullptr) {
                note_missing(context, path, "missing");
                return layer;
            }
            auto storage = std::make_unique<XrSimpleGeomStorage>(accessor, false, false, nullptr);
            if (storage->open() != XrStoredGeomStorage::OPENED) {
                note_missing(context, path, "not a geometry file");
                return layer;
            }
            add_member(layer, storage.release(), path, context);
        }
        apply_draw_options(layer, config);
        return layer;
    }

    // Heap storages: the named file and the files of the vector directory
    // whose stored layer name is this definition's name.
    bool found = false;
    if (has_path) {
        XrHeapGeomStorage* storage = open_heap_storage(path, nullptr);
        if (storage == nullptr) {
            note_missing(context, path, "missing or not a heap geometry storage");
            return layer;
        }
        add_member(layer, storage, path, context);
        found = true;
    }
    if (!context.vector_directory.is_empty()) {
        for (const XrString& file : list_files(context.vector_directory)) {
            XrString stored_name;
            XrHeapGeomStorage* storage = open_heap_storage(file, &stored_name);
            if (storage == nullptr)
                continue;
            if (stored_name == key) {
                add_member(layer, storage, file, context);
                found = true;
            } else {
                delete storage;
            }
        }
    }
    if (found)
        apply_draw_options(layer, config);
    return layer;
}

XrCfgLayerInfo* read_layer_definition(XrMap* map, XrConfiguration& config, XrMapConfigContext& context,
                                      const XrString& key, const XrString* resource_key)
{
    XrKeyGuard guard(config);
    if (config.open_key(key.c_str()) != XrConfiguration::OK)
        return nullptr;
    int number = 0;
    if (config.get_int(L"number", &number) != XrConfiguration::OK)
        return nullptr;
    auto info = std::make_unique<XrCfgLayerInfo>();
    info->number = number;
    info->name = key;
    XrString type;
    if (get_text(config, L"type", type)) {
        int kind = -1;
        for (int k = 0; k < LayerKindCount; ++k)
            if (wide_stricmp(type.c_str(), kKindNames[k]) == 0)
                kind = k;
        if (kind < 0) // "raster" and unknown kinds
            return nullptr;
        info->kind = kind;
        info->layer = create_configured_layer(map, config, context, key, kind, resource_key);
        if (info->layer == nullptr)
            return nullptr;
    }
    const bool yes = true;
    if (config.get_bool(L"visible", &info->visible, &yes) != XrConfiguration::OK)
        info->visible = true;
    if (config.get_bool(L"pickable", &info->pickable, &yes) != XrConfiguration::OK)
        info->pickable = true;
    info->visibility_low = get_int_or(config, L"visibility_low", 0);
    info->visibility_high = get_int_or(config, L"visibility_high", 0);
    if (info->layer != nullptr)
        info->layer->set_double_bufferable(get_int_or(config, L"double_bufferable", 0) != 0);
    return info.release();
}

namespace {

void copy_flags(XrMap* map, const XrCfgLayerInfo& info)
{
    if (XrMap::XrLayerInfo* record = map->get_layer_info(info.name)) {
        record->visible = info.visible;
        record->pickable = info.pickable;
        record->lowest_scale = static_cast<std::uint32_t>(info.visibility_low);
        record->highest_scale = static_cast<std::uint32_t>(info.visibility_high);
        record->kind = info.kind;
    }
}

} // namespace

int read_map_configuration(XrMap* map, XrConfiguration* config, XrMapConfigContext& context,
                           const XrString* resource_key)
{
    if (map == nullptr || config == nullptr)
        return MapConfigFailed;
    XrKeyGuard guard(*config);
    context.missing_files.remove_all();
    if (!get_text(*config, L"vector_directory", context.vector_directory))
        context.vector_directory = XrString();

    {
        XrKeyGuard libs(*config);
        if (config->open_key(L"symbol_libs") != XrConfiguration::OK)
            return MapConfigFailed;
        context.symbol_libraries.XrArray<void*>::append(nullptr);
        std::unique_ptr<XrConfigurationIterator> values(config->create_value_iterator());
        XrString name, path;
        while (values && values->get_next(name)) {
            if (!get_text(*config, name.c_str(), path))
                return MapConfigFailed;
            std::unique_ptr<XrStorageAccessor> accessor(open_storage_accessor(path, true));
            if (!accessor)
                return MapConfigFailed;
            auto library = std::make_unique<XrSymbolLibrary>();
            if (library->load(accessor.get()) != 0)
                return MapConfigFailed;
            context.symbol_libraries.append(library.release());
        }
    }

    if (read_visual_settings(*config, context, map) != 0)
        return MapConfigFailed;
    XrString background;
    XrVisualSetting* vs = nullptr;
    if (get_text(*config, L"map_vs", background) && context.visual_settings.find(background, vs))
        map->set_background(vs);

    std::vector<std::unique_ptr<XrCfgLayerInfo>> records;
    {
        XrKeyGuard layers(*config);
        if (config->open_key(L"layers") != XrConfiguration::OK)
            return MapConfigFailed;
        std::unique_ptr<XrConfigurationIterator> keys(config->create_key_iterator());
        XrString key;
        while (keys && keys->get_next(key))
            if (XrCfgLayerInfo* info = read_layer_definition(map, *config, context, key, resource_key))
                records.emplace_back(info);
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const auto& a, const auto& b) { return a->number < b->number; });
    for (auto& info : records) {
        if (info->layer == nullptr)
            continue;
        if (!map->add_layer(info->layer, info->name)) {
            xr_map_warning("a second layer definition of one name was dropped");
            continue; // the record still owns and deletes the layer
        }
        info->layer = nullptr; // the map owns it now
        copy_flags(map, *info);
    }
    return context.missing_files.get_num_items() > 0 ? MapConfigMissingFiles : MapConfigOk;
}

int reload_layer(XrMap* map, const XrString& name, XrConfiguration* config, XrMapConfigContext& context,
                 const XrString* resource_key)
{
    if (map == nullptr || config == nullptr)
        return 1;
    const int index = map->get_layer_index(name);
    if (index < 0)
        return 1;
    std::unique_ptr<XrCfgLayerInfo> info;
    {
        XrKeyGuard guard(*config);
        if (config->open_key(L"layers") != XrConfiguration::OK)
            return 1;
        info.reset(read_layer_definition(map, *config, context, name, resource_key));
    }
    if (!info || info->layer == nullptr)
        return 1; // the old layer stays
    delete map->remove_layer(name);
    if (!map->add_layer(info->layer, name, &index))
        return 1;
    info->layer = nullptr;
    copy_flags(map, *info);
    return 0;
}
