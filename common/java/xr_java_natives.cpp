#include "common/java/xr_java_natives.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/types/xr_coordinate.h"
#include "toolkit/javart/javart_app.h"

namespace xr_java {

KoJvmFieldRec* field(KoJvmRec* vm, KoJvmObjectRec* obj, const char* name, const char* desc)
{
    KoJvmFieldRec* f = ko_jvm_find_field(vm, ko_jvm_class(obj), name, desc);
    if (f == nullptr)
        ko_fatal("ctx->f_%s", name);
    return f;
}

void* handle(KoJvmRec* vm, KoJvmObjectRec* obj)
{
    return ko_jvm_get_field_pointer(vm, obj, field(vm, obj, "nativeHandle", "J"));
}

const XrProjection* projection()
{
    XrMapProvider* maps = XrMapProvider::get_instance();
    return maps != nullptr ? maps->get_projection() : nullptr;
}

KoJvmObjectRec* new_location(KoJvmRec* vm, double lat, double lon)
{
    static const char kName[] = "com/kestrovatech/Location";
    KoJvmClassRec* c = ko_jvm_find_class(vm, kName, sizeof kName - 1);
    KoJvmObjectRec* o = c != nullptr ? ko_jvm_new_object(vm, c) : nullptr;
    if (o == nullptr)
        return nullptr;
    ko_jvm_set_double_field(vm, o, field(vm, o, "lat", "D"), lat);
    ko_jvm_set_double_field(vm, o, field(vm, o, "lon", "D"), lon);
    return o;
}

void location_of(KoJvmRec* vm, KoJvmObjectRec* location, double& lat, double& lon)
{
    lat = ko_jvm_get_double_field(vm, location, field(vm, location, "lat", "D"));
    lon = ko_jvm_get_double_field(vm, location, field(vm, location, "lon", "D"));
}

bool world_point_of(KoJvmRec* vm, KoJvmObjectRec* location, XrPoint& out)
{
    double lat, lon;
    location_of(vm, location, lat, lon);
    const XrProjection* proj = projection();
    if (proj == nullptr || !std::isfinite(lat) || !std::isfinite(lon))
        return false;
    out = XrCoordinate(lon, lat).to_point(proj);
    return true;
}

void log_exception(KoJvmRec* vm, KoJvmObjectRec* exception, const char* where)
{
    if (exception == nullptr)
        return;
    KoJvmSymbol* n = ko_jvm_class_name(ko_jvm_class(exception));
    std::string name(ko_sym_bytes(n), ko_sym_len(n));
    for (char& c : name)
        if (c == '/')
            c = '.';
    char* msg = ko_jvm_exception_message(vm, exception);
    std::fprintf(stderr, "kestrova-navigator: add-on %s ended with %s%s%s\n", where, name.c_str(), msg ? ": " : "",
                 msg ? msg : "");
    ko_jvm_free_utf8(msg);
}

} // namespace xr_java

bool xr_java_bind_natives(const std::vector<XrJavaNative>& natives)
{
    bool ok = true;
    const char* current = nullptr;
    int position = 0;
    for (const XrJavaNative& n : natives) {
        if (current == nullptr || std::strcmp(current, n.class_name) != 0) {
            current = n.class_name;
            position = 0;
        }
        ok = ko_jvm_bind_application_native(n.class_name, position++, n.fn) && ok;
    }
    return ok;
}
