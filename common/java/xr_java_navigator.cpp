// Natives of com/kestrovatech/Navigator, GPSLocation, Locale and
// javax/microedition/io/Connector, and the Java menu items and key handler.
#include <cmath>
#include <cstring>
#include <memory>

#include "common/base/xr_singleton.h"
#include "common/corvanel_core/interfaces/xr_favouritesprovider.h"
#include "common/corvanel_core/interfaces/xr_positionprovider.h"
#include "common/gdi/window/xr_mapwindowmanager.h"
#include "common/java/xr_java_keys.h"
#include "common/java/xr_java_natives.h"
#include "common/map/xr_mapview.h"
#include "common/misc/xr_msgtable.h"
#include "common/misc/xr_path_resolver.h"
#include "common/types/xr_coordinate.h"
#include "toolkit/javart/javart_app.h"

using namespace xr_java;

namespace {

constexpr const char* kNavigator = "com/kestrovatech/Navigator";

// Runs Navigator.menuCommand(number) on the main VM thread.
class XrJavaMenuHandler : public XrMenuHandler {
public:
    XrJavaMenuHandler(KoJvmRec* vm, int number) : vm(vm), number(number) {}
    void command() override
    {
        XrJava* java = XrJava::of(vm);
        ko_jvm_invoke_static_async(java->get_main_thread(), 0, kNavigator, std::strlen(kNavigator), "menuCommand", 11,
                                   "(I)V", 4, nullptr, &done, vm, number);
    }

private:
    static void done(KoJvmCat1ValueUnion*, KoJvmObjectRec* e, void* data)
    {
        log_exception(static_cast<KoJvmRec*>(data), e, "menu command");
    }
    KoJvmRec* vm;
    int number;
};

XrString card_root()
{
    const TCHAR* root = find_map_card_root();
    return root != nullptr ? XrString(root) : XrString();
}

std::string narrow(const XrString& s)
{
    std::string out;
    to_platform_path(s, false, out);
    return out;
}

KO_NATIVE(Navigator_getMmcRoot)
{
    KO_UNUSED_NATIVE_ARGS;
    const XrString root = card_root();
    if (root.length() == 0) {
        ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
        return;
    }
    ko_ret_string(vm, complete, thread, narrow(root).c_str());
}

KO_NATIVE(Navigator_getPluginRoot)
{
    KO_UNUSED_NATIVE_ARGS;
    const XrString root = card_root();
    if (root.length() == 0) {
        ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
        return;
    }
    ko_ret_string(vm, complete, thread, (narrow(root) + "extensions/addons/").c_str());
}

KO_NATIVE(Navigator_getFavourites)
{
    KO_UNUSED_NATIVE_ARGS;
    XrArray<XrFavourite> list;
    auto* favourites = static_cast<XrFavouritesProvider*>(XrSingleton::get_instance(XrString(L"XrFavouritesProvider")));
    if (favourites != nullptr)
        favourites->get_favourites(list);
    static const char kFav[] = "com/kestrovatech/Favourite";
    KoJvmClassRec* c = ko_jvm_find_class(vm, kFav, sizeof kFav - 1);
    if (c == nullptr)
        ko_fatal("%s", "ctx->c_Favourite");
    KoJvmObjectRec* array = ko_jvm_alloc_object_array(vm, c, list.get_num_items());
    if (array == nullptr) {
        ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
        return;
    }
    const int mark = ko_jvm_push_handle(vm, &array);
    for (int i = 0; i < list.get_num_items(); ++i) {
        const XrFavourite& f = *list.get_item_ptr(i);
        KoJvmObjectRec* fav = ko_jvm_new_object(vm, c);
        if (fav == nullptr) {
            ko_jvm_pop_handles(vm, mark);
            ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
            return;
        }
        ko_jvm_set_array_ref(vm, array, i, fav);
        KoJvmObjectRec* guid = ko_jvm_new_byte_array(vm, 16);
        fav = ko_jvm_get_array_ref(vm, array, i);
        if (guid == nullptr) {
            ko_jvm_pop_handles(vm, mark);
            ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
            return;
        }
        BYTE bytes[16];
        f.get_uid().get(bytes);
        std::memcpy(ko_jvm_byte_array_data(vm, guid), bytes, 16);
        ko_jvm_set_ref_field(vm, fav, field(vm, fav, "guid", "[B"), guid);
        const XrCoordinate& co = f.get_coordinate();
        KoJvmObjectRec* loc = new_location(vm, co.get_latitude(), co.get_longitude());
        if (loc == nullptr) {
            ko_jvm_pop_handles(vm, mark);
            ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
            return;
        }
        fav = ko_jvm_get_array_ref(vm, array, i);
        ko_jvm_set_ref_field(vm, fav, field(vm, fav, "location", "Lcom/kestrovatech/Location;"), loc);
        KoJvmObjectRec* name = XrJava::wrap_string(vm, f.get_name());
        if (name == nullptr) {
            ko_jvm_pop_handles(vm, mark);
            ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
            return;
        }
        fav = ko_jvm_get_array_ref(vm, array, i);
        ko_jvm_set_ref_field(vm, fav, field(vm, fav, "name", "Ljava/lang/String;"), name);
    }
    ko_jvm_pop_handles(vm, mark);
    ko_ret_ref(complete, thread, array);
}

KO_NATIVE(Navigator_addMenuItem)
{
    KO_UNUSED_NATIVE_ARGS;
    KoJvmObjectRec* label = arg_obj(args[0]);
    if (label == nullptr) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    XrString text;
    XrJava::unwrap_string(vm, label, text);
    std::unique_ptr<XrMenuHandler> handler = std::make_unique<XrJavaMenuHandler>(vm, args[1].i);
    XrJavaHost* host = XrJava::of(vm)->get_host();
    if (host == nullptr || !host->java_add_menu_item(text, handler)) {
        ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
        return;
    }
    ko_ret_void(complete, thread);
}

KO_NATIVE(Navigator_findAddress)
{
    KO_UNUSED_NATIVE_ARGS;
    if (arg_obj(args[0]) == nullptr || arg_obj(args[1]) == nullptr) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    // The address search answers through its observers only: nothing is
    // found synchronously.
    ko_ret_ref(complete, thread, nullptr);
}

KO_NATIVE(Navigator_findRoute)
{
    KO_UNUSED_NATIVE_ARGS;
    KoJvmObjectRec* loc = arg_obj(args[0]);
    KoJvmObjectRec* name = arg_obj(args[1]);
    if (loc == nullptr || name == nullptr) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    XrString text;
    XrJava::unwrap_string(vm, name, text);
    XrPoint p;
    if (world_point_of(vm, loc, p))
        if (XrJavaHost* host = XrJava::of(vm)->get_host())
            host->java_navigate_to(p, text);
    ko_ret_void(complete, thread);
}

// The coordinate of a screen point of the map view, or of its centre.
XrCoordinate coordinate_at(XrMapView* view, const int* screen)
{
    if (view == nullptr)
        return XrCoordinate();
    XrPoint world = view->get_centre();
    if (screen != nullptr) {
        int x = 0, y = 0;
        view->screen_to_world_2d(screen[0], screen[1], x, y);
        world = XrPoint(x, y);
    }
    return XrCoordinate(world, projection());
}

KO_NATIVE(Navigator_getViewMidpoint)
{
    KO_UNUSED_NATIVE_ARGS;
    XrJavaHost* host = XrJava::of(vm)->get_host();
    const XrCoordinate c = coordinate_at(host != nullptr ? host->java_map_view() : nullptr, nullptr);
    KoJvmObjectRec* loc = new_location(vm, c.get_latitude(), c.get_longitude());
    if (loc == nullptr)
        ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
    else
        ko_ret_ref(complete, thread, loc);
}

KO_NATIVE(Navigator_getViewArea)
{
    KO_UNUSED_NATIVE_ARGS;
    XrJavaHost* host = XrJava::of(vm)->get_host();
    XrMapView* view = host != nullptr ? host->java_map_view() : nullptr;
    const int w = view != nullptr ? view->get_screen_width() : 0;
    const int h = view != nullptr ? view->get_screen_height() : 0;
    const int corners[4][2] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
    double min_lat = 0, min_lon = 0, max_lat = 0, max_lon = 0;
    for (int i = 0; i < 4; ++i) {
        const XrCoordinate c = coordinate_at(view, corners[i]);
        if (i == 0 || c.get_latitude() < min_lat)
            min_lat = c.get_latitude();
        if (i == 0 || c.get_longitude() < min_lon)
            min_lon = c.get_longitude();
        if (i == 0 || c.get_latitude() > max_lat)
            max_lat = c.get_latitude();
        if (i == 0 || c.get_longitude() > max_lon)
            max_lon = c.get_longitude();
    }
    static const char kLoc[] = "com/kestrovatech/Location";
    KoJvmClassRec* lc = ko_jvm_find_class(vm, kLoc, sizeof kLoc - 1);
    KoJvmObjectRec* array = lc != nullptr ? ko_jvm_alloc_object_array(vm, lc, 2) : nullptr;
    if (array == nullptr) {
        ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
        return;
    }
    const int mark = ko_jvm_push_handle(vm, &array);
    KoJvmObjectRec* sw = new_location(vm, min_lat, min_lon);
    if (sw != nullptr)
        ko_jvm_set_array_ref(vm, array, 0, sw);
    KoJvmObjectRec* ne = sw != nullptr ? new_location(vm, max_lat, max_lon) : nullptr;
    ko_jvm_pop_handles(vm, mark);
    if (ne == nullptr) {
        ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
        return;
    }
    ko_jvm_set_array_ref(vm, array, 1, ne);
    ko_ret_ref(complete, thread, array);
}

KO_NATIVE(Navigator_centerOnPoint)
{
    KO_UNUSED_NATIVE_ARGS;
    KoJvmObjectRec* loc = arg_obj(args[0]);
    if (loc == nullptr) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    const double value = ko_arg_double(&args[1]);
    XrPoint p;
    if (world_point_of(vm, loc, p))
        if (XrJavaHost* host = XrJava::of(vm)->get_host())
            host->java_center_on(p, value);
    ko_ret_void(complete, thread);
}

KO_NATIVE(Navigator_addMarker)
{
    KO_UNUSED_NATIVE_ARGS;
    KoJvmObjectRec* loc = arg_obj(args[0]);
    if (loc == nullptr) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    XrString label;
    if (KoJvmObjectRec* text = arg_obj(args[1]))
        XrJava::unwrap_string(vm, text, label);
    XrPoint p;
    if (world_point_of(vm, loc, p))
        if (XrJavaHost* host = XrJava::of(vm)->get_host())
            host->java_set_marker(&p, label);
    ko_ret_void(complete, thread);
}

KO_NATIVE(Navigator_removeMarker)
{
    KO_UNUSED_NATIVE_ARGS;
    if (XrJavaHost* host = XrJava::of(vm)->get_host())
        host->java_set_marker(nullptr, XrString());
    ko_ret_void(complete, thread);
}

KO_NATIVE(GPSLocation_fillLocationInfo)
{
    KO_UNUSED_NATIVE_ARGS;
    KoJvmObjectRec* me = ko_obj(self->ref);
    bool fix = false;
    double lat = 0, lon = 0, speed = 0, heading = 0;
    auto* positions = static_cast<XrPositionProvider*>(XrSingleton::get_instance(XrString(L"XrPositionProvider")));
    if (positions != nullptr && positions->get_position_producers().get_num_items() > 0) {
        XrPositionInfo& info = positions->get_position_info();
        if (info.has_fix() && info.get_coordinate().is_valid()) {
            fix = true;
            lat = info.get_coordinate().get_latitude();
            lon = info.get_coordinate().get_longitude();
            if (!info.get_velocity().get_value(speed, XrVelocity::MetresPerSecond))
                speed = 0;
            if (!info.get_heading().get_value(heading, XrAngle::Degrees))
                heading = 0;
        }
    } else {
        XrJavaHost* host = XrJava::of(vm)->get_host();
        const XrCoordinate c = coordinate_at(host != nullptr ? host->java_map_view() : nullptr, nullptr);
        if (c.is_valid())
            lat = c.get_latitude(), lon = c.get_longitude();
    }
    ko_jvm_set_boolean_field(vm, me, field(vm, me, "hasFix", "Z"), fix);
    ko_jvm_set_double_field(vm, me, field(vm, me, "velocity", "D"), speed);
    ko_jvm_set_double_field(vm, me, field(vm, me, "heading", "D"), heading);
    ko_jvm_set_double_field(vm, me, field(vm, me, "lat", "D"), lat);
    ko_jvm_set_double_field(vm, me, field(vm, me, "lon", "D"), lon);
    ko_ret_void(complete, thread);
}

KO_NATIVE(Locale_getString)
{
    KO_UNUSED_NATIVE_ARGS;
    const int id = xr_java_locale_message_id(args[0].i);
    XrString text;
    if (id < 0 || !get_translated_text(text, id)) {
        ko_ret_throw(vm, complete, thread, "java/lang/IllegalArgumentException");
        return;
    }
    KoJvmObjectRec* s = XrJava::wrap_string(vm, text);
    if (s == nullptr)
        ko_ret_throw(vm, complete, thread, "java/lang/OutOfMemoryError");
    else
        ko_ret_ref(complete, thread, s);
}

KO_NATIVE(Connector_getDefaultPath)
{
    KO_UNUSED_NATIVE_ARGS;
    XrPathResolver* resolver = get_path_resolver();
    if (resolver == nullptr) {
        ko_ret_throw(vm, complete, thread, "java/lang/IllegalStateException");
        return;
    }
    const XrString root = resolver->resolve_path(XrString(L"?:/"));
    ko_ret_string(vm, complete, thread, (narrow(root) + "extensions/addons/data/").c_str());
}

} // namespace

int xr_java_locale_message_id(int number)
{
    if (number < 0 || number > 735)
        return -1;
    static const int kJumps[][2] = {{11, 13},   {45, 50},   {186, 209}, {208, 238}, {213, 247}, {215, 253},
                                    {229, 331}, {231, 334}, {232, 336}, {252, 357}, {370, 485}, {375, 499},
                                    {432, 563}, {443, 577}, {522, 669}, {732, 24},  {733, 64},  {734, 80},
                                    {735, 3905}};
    int value = number;
    for (const auto& j : kJumps)
        if (j[0] <= number)
            value = j[1] + (number - j[0]);
    return value;
}

const std::vector<XrJavaNative>& xr_java_navigator_natives()
{
    static const std::vector<XrJavaNative> natives = {
        {kNavigator, "getMmcRoot()Ljava/lang/String;", Navigator_getMmcRoot},
        {kNavigator, "getPluginRoot()Ljava/lang/String;", Navigator_getPluginRoot},
        {kNavigator, "getFavourites()[Lcom/kestrovatech/Favourite;", Navigator_getFavourites},
        {kNavigator, "addMenuItem(Ljava/lang/String;I)V", Navigator_addMenuItem},
        {kNavigator, "findAddress(Ljava/lang/String;Ljava/lang/String;I)Lcom/kestrovatech/Location;",
         Navigator_findAddress},
        {kNavigator, "findRoute(Lcom/kestrovatech/Location;Ljava/lang/String;)V", Navigator_findRoute},
        {kNavigator, "getViewMidpoint()Lcom/kestrovatech/Location;", Navigator_getViewMidpoint},
        {kNavigator, "getViewArea()[Lcom/kestrovatech/Location;", Navigator_getViewArea},
        {kNavigator, "centerOnPoint(Lcom/kestrovatech/Location;D)V", Navigator_centerOnPoint},
        {kNavigator, "addMarker(Lcom/kestrovatech/Location;Ljava/lang/String;)V", Navigator_addMarker},
        {kNavigator, "removeMarker()V", Navigator_removeMarker},
        {"com/kestrovatech/GPSLocation", "fillLocationInfo()V", GPSLocation_fillLocationInfo},
        {"com/kestrovatech/Locale", "getString(I)Ljava/lang/String;", Locale_getString},
        {"javax/microedition/io/Connector", "getDefaultPath()Ljava/lang/String;", Connector_getDefaultPath},
    };
    return natives;
}
