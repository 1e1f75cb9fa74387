// Natives of com/kestrovatech/map: layers of map objects (points and
// polylines) with their tap areas, and image layers whose tiles the add-on
// supplies.
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/java/xr_java_natives.h"
#include "common/map/xr_imagelayer.h"
#include "common/map/xr_map.h"
#include "common/map/xr_maplayer.h"
#include "common/map/xr_mapobject.h"
#include "common/map/xr_mapview.h"
#include "common/misc/xr_path_resolver.h"
#include "common/types/xr_coordinate.h"
#include "toolkit/javart/javart_app.h"

using namespace xr_java;

namespace {

// The Java ActionHandler of one object's areas.
class XrJavaActionCtx : public XrMapObjectActionContext, public XrJavaObject {
public:
    XrJavaActionCtx(KoJvmRec* vm, KoJvmObjectRec* handler) : XrJavaObject(vm, handler) {}
    bool run_action(int kind, int /*id*/, const XrCoordinate& position) override
    {
        KoJvmRec* vm = get_vm();
        int x = 0, y = 0;
        XrJavaHost* host = XrJava::of(vm)->get_host();
        if (XrMapView* view = host != nullptr ? host->java_map_view() : nullptr)
            if (const XrProjection* proj = projection()) {
                const XrPoint world = position.to_point(proj);
                view->world_to_screen_2d(world.x, world.y, x, y);
            }
        ko_jvm_invoke_virtual_async(XrJava::of(vm)->get_main_thread(), 0, get_object(), "mapAction", 9, "(IIIDD)V", 8,
                                    nullptr, &done, vm, kind, x, y, position.get_latitude(), position.get_longitude());
        return true;
    }

private:
    static void done(KoJvmCat1ValueUnion*, KoJvmObjectRec* e, void* data)
    {
        log_exception(static_cast<KoJvmRec*>(data), e, "map action");
    }
};

// Tile requests of an image layer, delivered to the Java listener one call
// at a time and in order; a new round of requests drops the queued ones.
class JavaImageLayerListener : public XrImageLayerObserver, public XrJavaObject {
public:
    JavaImageLayerListener(KoJvmRec* vm, KoJvmObjectRec* listener, KoJvmThread* thread)
        : XrJavaObject(vm, listener), thread(thread)
    {
    }
    void start_tile_requests() override
    {
        queue.clear();
        flush_pending = true;
        pump();
    }
    void request_tile(double longitude, double latitude, double tile_size, int tile_pixels) override
    {
        queue.push_back({latitude, longitude, tile_size, tile_pixels});
        pump();
    }

private:
    struct Tile {
        double lat, lon, size;
        int pixels;
    };
    void pump()
    {
        if (busy)
            return;
        if (flush_pending) {
            flush_pending = false;
            busy = true;
            ko_jvm_invoke_virtual_async(thread, 0, get_object(), "flushRequests", 13, "()V", 3, nullptr, &done, this);
        } else if (!queue.empty()) {
            const Tile t = queue.front();
            queue.erase(queue.begin());
            busy = true;
            ko_jvm_invoke_virtual_async(thread, 0, get_object(), "requestTile", 11, "(DDDI)V", 7, nullptr, &done, this,
                                        t.lat, t.lon, t.size, t.pixels);
        }
    }
    static void done(KoJvmCat1ValueUnion*, KoJvmObjectRec* e, void* data)
    {
        auto* self = static_cast<JavaImageLayerListener*>(data);
        log_exception(self->get_vm(), e, "tile request");
        self->busy = false;
        self->pump();
    }
    KoJvmThread* thread;
    bool busy = false;
    bool flush_pending = false;
    std::vector<Tile> queue;
};

std::vector<std::unique_ptr<JavaImageLayerListener>>& listeners()
{
    static std::vector<std::unique_ptr<JavaImageLayerListener>> all;
    return all;
}

int g_image_layers = 0;

void throw_npe(KoJvmRec* vm, KoJvmCompletion complete, KoJvmThread* thread)
{
    ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
}

// Operations this system does not provide: harmless, reported once each.
void not_provided(const char* what, bool& reported)
{
    if (!reported)
        std::fprintf(stderr, "kestrova-navigator: add-on called %s, which does nothing here\n", what);
    reported = true;
}

XrMap* current_map()
{
    XrMapProvider* maps = XrMapProvider::get_instance();
    return maps != nullptr ? maps->get_map() : nullptr;
}

bool finite(double a, double b) { return std::isfinite(a) && std::isfinite(b); }

// ---- Layer

KO_NATIVE(Layer_createLayer)
{
    KO_UNUSED_NATIVE_ARGS;
    KoJvmObjectRec* name = arg_obj(args[0]);
    XrMap* map = current_map();
    if (name == nullptr || map == nullptr) {
        ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
        return;
    }
    XrString text;
    XrJava::unwrap_string(vm, name, text);
    XrMapLayer* layer = XrMapLayer::create(map, text, args[1].i, args[2].i);
    set_handle(vm, ko_obj(self->ref), layer);
    ko_ret_void(complete, thread);
}

XrMapLayer* layer_of(KoJvmRec* vm, KoJvmCat1ValueUnion* self)
{
    return static_cast<XrMapLayer*>(handle(vm, ko_obj(self->ref)));
}

KO_NATIVE(Layer_redraw)
{
    KO_UNUSED_NATIVE_ARGS;
    if (layer_of(vm, self) == nullptr)
        return throw_npe(vm, complete, thread);
    if (XrJavaHost* host = XrJava::of(vm)->get_host())
        host->java_redraw_map();
    ko_ret_void(complete, thread);
}

KO_NATIVE(Layer_add)
{
    KO_UNUSED_NATIVE_ARGS;
    XrMapLayer* layer = layer_of(vm, self);
    KoJvmObjectRec* o = arg_obj(args[0]);
    XrMapObject* object = o != nullptr ? static_cast<XrMapObject*>(handle(vm, o)) : nullptr;
    if (layer == nullptr || object == nullptr)
        return throw_npe(vm, complete, thread);
    KoJvmFieldRec* contained = field(vm, o, "contained", "Z");
    if (ko_jvm_get_boolean_field(vm, o, contained)) {
        // Already owned by a layer: added once only.
        ko_ret_void(complete, thread);
        return;
    }
    layer->add_object(object);
    ko_jvm_set_boolean_field(vm, o, contained, 1);
    ko_ret_void(complete, thread);
}

KO_NATIVE(Layer_remove)
{
    KO_UNUSED_NATIVE_ARGS;
    static bool reported = false;
    not_provided("Layer.remove", reported);
    ko_ret_void(complete, thread);
}

KO_NATIVE(Layer_clear)
{
    KO_UNUSED_NATIVE_ARGS;
    XrMapLayer* layer = layer_of(vm, self);
    if (layer == nullptr)
        return throw_npe(vm, complete, thread);
    layer->clear();
    ko_ret_void(complete, thread);
}

KO_NATIVE(Layer_destroy)
{
    KO_UNUSED_NATIVE_ARGS;
    static bool reported = false;
    not_provided("Layer.destroy", reported);
    ko_ret_void(complete, thread);
}

// ---- MapObject, Point, Polyline

XrMapObject* object_of(KoJvmRec* vm, KoJvmCat1ValueUnion* self)
{
    return static_cast<XrMapObject*>(handle(vm, ko_obj(self->ref)));
}

KO_NATIVE(MapObject_setColor)
{
    KO_UNUSED_NATIVE_ARGS;
    XrMapObject* o = object_of(vm, self);
    if (o == nullptr)
        return throw_npe(vm, complete, thread);
    o->set_color(args[0].i, args[1].i, args[2].i);
    ko_ret_void(complete, thread);
}

KO_NATIVE(MapObject_setOutline)
{
    KO_UNUSED_NATIVE_ARGS;
    XrMapObject* o = object_of(vm, self);
    if (o == nullptr)
        return throw_npe(vm, complete, thread);
    o->set_outline(args[3].i, args[0].i, args[1].i, args[2].i);
    ko_ret_void(complete, thread);
}

// The context of a new area, or null after raising the exception.
XrJavaActionCtx* new_context(KoJvmRec* vm, XrMapObject* o, KoJvmObjectRec* handler, KoJvmCompletion complete,
                             KoJvmThread* thread)
{
    if (o == nullptr || handler == nullptr) {
        throw_npe(vm, complete, thread);
        return nullptr;
    }
    auto* ctx = new (std::nothrow) XrJavaActionCtx(vm, handler);
    if (ctx == nullptr)
        ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
    return ctx;
}

KO_NATIVE(MapObject_addActionAreaRect)
{
    KO_UNUSED_NATIVE_ARGS;
    XrMapObject* o = object_of(vm, self);
    const double lat1 = ko_arg_double(&args[0]), lon1 = ko_arg_double(&args[2]);
    const double lat2 = ko_arg_double(&args[4]), lon2 = ko_arg_double(&args[6]);
    XrJavaActionCtx* ctx = new_context(vm, o, arg_obj(args[8]), complete, thread);
    if (ctx == nullptr)
        return;
    o->add_action_area(XrCoordinate(lon1, lat1), XrCoordinate(lon2, lat2), 0, ctx);
    ko_ret_void(complete, thread);
}

KO_NATIVE(MapObject_addActionAreaPoint)
{
    KO_UNUSED_NATIVE_ARGS;
    XrMapObject* o = object_of(vm, self);
    const double lat = ko_arg_double(&args[0]), lon = ko_arg_double(&args[2]);
    XrJavaActionCtx* ctx = new_context(vm, o, arg_obj(args[5]), complete, thread);
    if (ctx == nullptr)
        return;
    o->add_hot_spot(XrCoordinate(lon, lat), args[4].i, 0, ctx);
    ko_ret_void(complete, thread);
}

KO_NATIVE(MapObject_addActionAreaScreen)
{
    KO_UNUSED_NATIVE_ARGS;
    XrMapObject* o = object_of(vm, self);
    XrJavaActionCtx* ctx = new_context(vm, o, arg_obj(args[4]), complete, thread);
    if (ctx == nullptr)
        return;
    const int a = args[0].i, b = args[1].i, c = args[2].i, d = args[3].i;
    o->add_screen_rect(XrRectangle(std::min(a, c), std::min(b, d), std::max(a, c), std::max(b, d)), 0, ctx);
    ko_ret_void(complete, thread);
}

KO_NATIVE(MapObject_clearActionAreas)
{
    KO_UNUSED_NATIVE_ARGS;
    XrMapObject* o = object_of(vm, self);
    if (o == nullptr)
        return throw_npe(vm, complete, thread);
    o->clear_areas();
    ko_ret_void(complete, thread);
}

KO_NATIVE(MapObject_destroy)
{
    KO_UNUSED_NATIVE_ARGS;
    KoJvmObjectRec* me = ko_obj(self->ref);
    XrMapObject* o = object_of(vm, self);
    // An object a layer owns stays the layer's.
    if (o != nullptr && !ko_jvm_get_boolean_field(vm, me, field(vm, me, "contained", "Z"))) {
        delete o;
        set_handle(vm, me, nullptr);
    }
    ko_ret_void(complete, thread);
}

KO_NATIVE(Point_createPoint)
{
    KO_UNUSED_NATIVE_ARGS;
    const double lat = ko_arg_double(&args[0]), lon = ko_arg_double(&args[2]);
    if (!finite(lat, lon)) {
        ko_ret_throw(vm, complete, thread, "java/lang/IllegalArgumentException");
        return;
    }
    auto* p = new (std::nothrow) XrMapPointObject(XrCoordinate(lon, lat), args[4].i, args[5].i, args[6].i, args[7].i);
    if (p == nullptr) {
        ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
        return;
    }
    set_handle(vm, ko_obj(self->ref), p);
    ko_ret_void(complete, thread);
}

KO_NATIVE(Polyline_createPolyline)
{
    KO_UNUSED_NATIVE_ARGS;
    auto* p = new (std::nothrow) XrMapPolyline(args[0].i, args[1].i, args[2].i, args[3].i);
    if (p == nullptr) {
        ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
        return;
    }
    set_handle(vm, ko_obj(self->ref), p);
    ko_ret_void(complete, thread);
}

KO_NATIVE(Polyline_addPointWGS84)
{
    KO_UNUSED_NATIVE_ARGS;
    XrMapObject* o = object_of(vm, self);
    if (o == nullptr)
        return throw_npe(vm, complete, thread);
    const double lat = ko_arg_double(&args[0]), lon = ko_arg_double(&args[2]);
    if (!finite(lat, lon)) {
        ko_ret_throw(vm, complete, thread, "java/lang/IllegalArgumentException");
        return;
    }
    o->add_coordinate(XrCoordinate(lon, lat));
    ko_ret_void(complete, thread);
}

KO_NATIVE(Polyline_clearPoints)
{
    KO_UNUSED_NATIVE_ARGS;
    XrMapObject* o = object_of(vm, self);
    if (o == nullptr)
        return throw_npe(vm, complete, thread);
    o->clear_points();
    ko_ret_void(complete, thread);
}

// ---- ImageLayer

XrImageLayer* image_layer_of(KoJvmRec* vm, KoJvmCat1ValueUnion* self)
{
    return static_cast<XrImageLayer*>(handle(vm, ko_obj(self->ref)));
}

KO_NATIVE(ImageLayer_createLayer)
{
    KO_UNUSED_NATIVE_ARGS;
    XrMap* map = current_map();
    XrJavaHost* host = XrJava::of(vm)->get_host();
    XrMapView* view = host != nullptr ? host->java_map_view() : nullptr;
    if (map == nullptr || view == nullptr) {
        ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
        return;
    }
    auto* layer = new (std::nothrow) XrImageLayer(0, *view);
    if (layer == nullptr) {
        ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
        return;
    }
    int position = map->get_layer_index(XrString(L"rr"));
    if (position < 0)
        position = 8;
    if (position > map->get_layer_count())
        position = map->get_layer_count();
    wchar_t name[32];
    std::swprintf(name, 32, L"image_layer_%i", ++g_image_layers);
    if (!map->add_layer(layer, XrString(name), &position)) {
        delete layer;
        ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
        return;
    }
    if (XrMap::XrLayerInfo* info = map->get_layer_info(XrString(name))) {
        info->lowest_scale = static_cast<std::uint32_t>(std::max(0, args[0].i));
        info->highest_scale = static_cast<std::uint32_t>(std::max(0, args[1].i));
    }
    set_handle(vm, ko_obj(self->ref), layer);
    ko_ret_void(complete, thread);
}

KO_NATIVE(ImageLayer_addListener)
{
    KO_UNUSED_NATIVE_ARGS;
    XrImageLayer* layer = image_layer_of(vm, self);
    KoJvmObjectRec* l = arg_obj(args[0]);
    if (layer == nullptr || l == nullptr)
        return throw_npe(vm, complete, thread);
    KoJvmThread* t = ko_jvm_new_thread(vm, 8192);
    l = arg_obj(args[0]);
    if (t == nullptr) {
        ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
        return;
    }
    listeners().push_back(std::make_unique<JavaImageLayerListener>(vm, l, t));
    layer->add_listener(listeners().back().get());
    ko_ret_void(complete, thread);
}

KO_NATIVE(ImageLayer_addTile)
{
    KO_UNUSED_NATIVE_ARGS;
    XrImageLayer* layer = image_layer_of(vm, self);
    KoJvmObjectRec* name = arg_obj(args[0]);
    if (layer == nullptr || name == nullptr)
        return throw_npe(vm, complete, thread);
    const double lat = ko_arg_double(&args[1]), lon = ko_arg_double(&args[3]);
    XrPathResolver* resolver = get_path_resolver();
    if (resolver == nullptr || !finite(lat, lon)) {
        ko_ret_throw(vm, complete, thread, "java/lang/IllegalArgumentException");
        return;
    }
    XrString file = resolver->resolve_path(XrString(L"?:/"));
    file.append(L"extensions/addons/data/");
    XrString tail;
    XrJava::unwrap_string(vm, name, tail);
    file.append(tail.c_str());
    layer->add_tile(file, lon, lat);
    ko_ret_void(complete, thread);
}

#define XR_NOT_PROVIDED(fn, what)                                                                                      \
    KO_NATIVE(fn)                                                                                                      \
    {                                                                                                                  \
        KO_UNUSED_NATIVE_ARGS;                                                                                         \
        static bool reported = false;                                                                                  \
        not_provided(what, reported);                                                                                  \
        ko_ret_void(complete, thread);                                                                                 \
    }
XR_NOT_PROVIDED(ImageLayer_removeTile, "ImageLayer.removeTile")
XR_NOT_PROVIDED(ImageLayer_addImage, "ImageLayer.addImage")
XR_NOT_PROVIDED(ImageLayer_removeImage, "ImageLayer.removeImage")
XR_NOT_PROVIDED(ImageLayer_destroy, "ImageLayer.destroy")
#undef XR_NOT_PROVIDED

KO_NATIVE(ImageLayer_redraw)
{
    KO_UNUSED_NATIVE_ARGS;
    if (XrJavaHost* host = XrJava::of(vm)->get_host())
        host->java_redraw_map();
    ko_ret_void(complete, thread);
}

} // namespace

const std::vector<XrJavaNative>& xr_java_map_natives()
{
    static const char* const kLayer = "com/kestrovatech/map/Layer";
    static const char* const kObject = "com/kestrovatech/map/MapObject";
    static const char* const kPolyline = "com/kestrovatech/map/Polyline";
    static const char* const kImage = "com/kestrovatech/map/ImageLayer";
    static const std::vector<XrJavaNative> natives = {
        {kObject, "setColor(III)V", MapObject_setColor},
        {kObject, "setOutline(IIII)V", MapObject_setOutline},
        {kObject, "addActionArea(DDDDLcom/kestrovatech/map/ActionHandler;)V", MapObject_addActionAreaRect},
        {kObject, "addActionArea(DDILcom/kestrovatech/map/ActionHandler;)V", MapObject_addActionAreaPoint},
        {kObject, "addActionArea(IIIILcom/kestrovatech/map/ActionHandler;)V", MapObject_addActionAreaScreen},
        {kObject, "clearActionAreas()V", MapObject_clearActionAreas},
        {kObject, "destroy()V", MapObject_destroy},
        {kImage, "createLayer(III)V", ImageLayer_createLayer},
        {kImage, "addListener(Lcom/kestrovatech/map/ImageLayerListener;)V", ImageLayer_addListener},
        {kImage, "addTile(Ljava/lang/String;DD)V", ImageLayer_addTile},
        {kImage, "removeTile(Ljava/lang/String;)V", ImageLayer_removeTile},
        {kImage, "addImage(Ljava/lang/String;DDDD)V", ImageLayer_addImage},
        {kImage, "removeImage(Ljava/lang/String;)V", ImageLayer_removeImage},
        {kImage, "redraw()V", ImageLayer_redraw},
        {kImage, "destroy()V", ImageLayer_destroy},
        {kPolyline, "createPolyline(IIII)V", Polyline_createPolyline},
        {kPolyline, "addPointWGS84(DD)V", Polyline_addPointWGS84},
        {kPolyline, "clearPoints()V", Polyline_clearPoints},
        {"com/kestrovatech/map/Point", "createPoint(DDIIII)V", Point_createPoint},
        {kLayer, "createLayer(Ljava/lang/String;II)V", Layer_createLayer},
        {kLayer, "redraw()V", Layer_redraw},
        {kLayer, "add(Lcom/kestrovatech/map/MapObject;)V", Layer_add},
        {kLayer, "remove(Lcom/kestrovatech/map/MapObject;)V", Layer_remove},
        {kLayer, "clear()V", Layer_clear},
        {kLayer, "destroy()V", Layer_destroy},
    };
    return natives;
}

void xr_java_release_map_listeners() { listeners().clear(); }
