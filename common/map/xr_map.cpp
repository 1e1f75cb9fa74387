#include "common/map/xr_map.h"

#include "common/gdi/xr_gdi.h"
#include "common/map/xr_maplayer.h"
#include "common/map/xr_mapview.h"
#include "common/misc/xr_path_resolver.h"
#include "common/visualization/xr_visualsetting.h"

// --- XrMapItems ---------------------------------------------------------------

void XrMapItems::add_item(XrMapItem* data, bool owned)
{
    XrMapItemData entry;
    entry.owned = owned ? 1 : 0;
    entry.data = data;
    if (!items.append(entry) && owned)
        delete data;
}

XrMapItem* XrMapItems::take_item(int index)
{
    XrMapItemData* entry = items.get_item_ptr(index);
    entry->owned = 0;
    return entry->data;
}

void XrMapItems::clear()
{
    for (int i = 0; i < items.get_num_items(); ++i) {
        XrMapItemData* entry = items.get_item_ptr(i);
        if (entry->owned != 0 && entry->data != nullptr)
            delete entry->data;
    }
    items.remove_all();
}

// --- XrMap --------------------------------------------------------------------

XrMap::XrMap() : layers(16), draw_listeners(8), map_layers(8) {}

XrMap::~XrMap()
{
    // Placed-object layers may outlive the map: they must not leave its list later.
    for (int i = 0; i < map_layers.get_num_items(); ++i)
        map_layers.get_item(i)->map_destroyed();
    // A layer leaves the memory notifier in its own destructor.
    for (int i = 0; i < layers.get_num_items(); ++i)
        delete layers.get_item_ptr(i)->layer;
    layers.remove_all();
}

bool XrMap::add_layer(XrLayer* layer, const XrString& name, const int* position)
{
    if (get_layer_index(name) >= 0)
        return false;
    XR_ASSERT(position == nullptr || *position >= 0);
    XrLayerInfo info;
    info.layer = layer;
    info.name = name;
    if (position != nullptr && *position < layers.get_num_items())
        return layers.insert_item(info, *position);
    return layers.append(info);
}

XrLayer* XrMap::remove_layer(const XrString& name)
{
    const int index = get_layer_index(name);
    if (index < 0)
        return nullptr;
    XrLayer* layer = layers.get_item_ptr(index)->layer;
    layers.remove_item(index);
    return layer;
}

int XrMap::get_layer_index(const XrString& name) const
{
    for (int i = 0; i < layers.get_num_items(); ++i)
        if (layers.get_item_ptr(i)->name == name)
            return i;
    return -1;
}

XrLayer* XrMap::get_layer(const XrString& name) const
{
    const int index = get_layer_index(name);
    return index < 0 ? nullptr : layers.get_item_ptr(index)->layer;
}

XrMap::XrLayerInfo* XrMap::get_layer_info(const XrString& name) const
{
    const int index = get_layer_index(name);
    return index < 0 ? nullptr : layers.get_item_ptr(index);
}

const XrString* XrMap::get_layer_name(const XrLayer* layer) const
{
    for (int i = 0; i < layers.get_num_items(); ++i)
        if (layers.get_item_ptr(i)->layer == layer)
            return &layers.get_item_ptr(i)->name;
    return nullptr;
}

void XrMap::get_background_style(XrPenHandle& pen, XrBrushHandle& brush) const
{
    XR_ASSERT(background != nullptr);
    pen = background->get_background_pen();
    brush = background->get_background_brush();
}

bool XrMap::takes_part(const XrLayerInfo& info, int pass, std::uint32_t scale) const
{
    if (pass == BufferedLayers && !info.layer->is_double_bufferable())
        return false;
    if (pass == UnbufferedLayers && info.layer->is_double_bufferable())
        return false;
    return info.visible && info.in_range(scale);
}

int XrMap::draw(XrDCHandleRec* dc, XrMapView* view, int hook_arg, int pass, int first, int end)
{
    const std::uint32_t start = get_tick_count_ms();
    XrGDI::map_draw_hook(dc, &palette, hook_arg);
    XR_ASSERT(first >= -1);
    const int count = layers.get_num_items();
    const std::uint32_t scale = view->get_scale_value();

    bool background_drawn = false;
    for (int i = 0; i < count; ++i) {
        const XrLayerInfo& info = *layers.get_item_ptr(i);
        if (takes_part(info, pass, scale) && info.layer->pre_draw(dc, view) == 1)
            background_drawn = true;
    }

    if (pass != UnbufferedLayers && !background_drawn && background != nullptr && first <= 0) {
        XrGDI::select_brush(dc, background->get_background_brush());
        XrGDI::select_pen(dc, background->get_background_pen(), -1);
        XrGDI::draw_rectangle(dc, -1, -1, view->get_screen_width() + 1, view->get_screen_height() + 1);
    }

    const int from = first == -1 ? 0 : first;
    const int to = end == -1 || end > count ? count : end;
    for (int i = from; i < to; ++i) {
        const XrLayerInfo& info = *layers.get_item_ptr(i);
        if (!takes_part(info, pass, scale))
            continue;
        if (is_3d_view)
            info.layer->draw_3d(dc, view);
        else
            info.layer->draw(dc, view);
    }

    for (int i = 0; i < count; ++i) {
        const XrLayerInfo& info = *layers.get_item_ptr(i);
        if (takes_part(info, pass, scale))
            info.layer->post_draw(dc, view);
    }

    if (pass == AllLayers || pass == UnbufferedLayers) {
        static const XrString poi_name(L"poi");
        XrLayer* poi = get_layer(poi_name);
        bool poi_drawn = false;
        // A layer may add or remove picked items while drawing one.
        for (int i = 0; i < picked_items.get_count(); ++i) {
            XrMapItem* item = picked_items.get_item(i);
            XrLayer* layer = xr_item_layer(item);
            if (layer == nullptr)
                continue;
            if (layer == poi) {
                if (poi_drawn)
                    continue;
                poi_drawn = true;
            }
            layer->draw_picked_item(dc, view, item);
        }
    }

    for (int i = 0; i < map_layers.get_num_items(); ++i)
        map_layers.get_item(i)->draw(dc, view);

    last_draw_ms = static_cast<int>(get_tick_count_ms() - start);
    return 0;
}

bool XrMap::pick(const XrPolygon& area, XrMapView* view, XrMapItems* items)
{
    XrMapItems* target = items != nullptr ? items : &picked_items;
    const std::uint32_t scale = view->get_scale_value();
    for (int i = 0; i < layers.get_num_items(); ++i) {
        const XrLayerInfo& info = *layers.get_item_ptr(i);
        if (!info.pickable || !info.in_range(scale))
            continue;
        if (!info.layer->pick(area, view, target))
            return false;
    }
    return true;
}

void XrMap::notify_draw(XrDCHandleRec* dc, XrMapView* view)
{
    for (int i = 0; i < draw_listeners.get_num_items(); ++i) {
        XrMapDrawListener* lstnr = draw_listeners.get_item(i);
        XR_ASSERT(lstnr);
        lstnr->on_map_draw(dc, view);
    }
}

void XrMap::add_draw_listener(XrMapDrawListener* listener)
{
    XR_ASSERT(listener != nullptr);
    for (int i = 0; i < draw_listeners.get_num_items(); ++i)
        if (draw_listeners.get_item(i) == listener)
            return;
    draw_listeners.append(listener);
}

bool XrMap::remove_draw_listener(XrMapDrawListener* listener)
{
    for (int i = 0; i < draw_listeners.get_num_items(); ++i)
        if (draw_listeners.get_item(i) == listener) {
            draw_listeners.remove_item(i);
            return true;
        }
    return false;
}

void XrMap::add_map_layer(XrMapLayerBase* layer)
{
    if (layer == nullptr)
        return;
    for (int i = 0; i < map_layers.get_num_items(); ++i)
        if (map_layers.get_item(i) == layer)
            return;
    map_layers.append(layer);
}

bool XrMap::remove_map_layer(XrMapLayerBase* layer) { return map_layers.remove(layer); }

bool XrMap::dispatch_map_layer_event(int kind, int x, int y, XrMapView* view)
{
    for (int i = 0; i < map_layers.get_num_items(); ++i)
        if (map_layers.get_item(i)->handle_event(kind, x, y, view))
            return true;
    return false;
}
