// Shared helpers of the add-on bindings' natives.
#pragma once

#include <vector>

#include "common/java/xr_java.h"
#include "common/geometry/xr_point.h"
#include "common/java/xr_java_dialogs_natives.h"
#include "toolkit/javart/javart_natives.h"

class XrProjection;

namespace xr_java {

inline KoJvmObjectRec* arg_obj(const KoJvmCat1ValueUnion& v) { return ko_obj(v.ref); }

// The field of that name and descriptor of the object's class (or a
// superclass); a missing field is a fatal error naming it.
KoJvmFieldRec* field(KoJvmRec* vm, KoJvmObjectRec* obj, const char* name, const char* desc);
// The native object of a binding object (its long field nativeHandle).
// (set_handle: xr_java_dialogs_natives.h)
void* handle(KoJvmRec* vm, KoJvmObjectRec* obj);

// The map provider's projection, or null.
const XrProjection* projection();

// A new com/kestrovatech/Location; null when out of memory or undefined.
KoJvmObjectRec* new_location(KoJvmRec* vm, double lat, double lon);
// The latitude and longitude of a Location.
void location_of(KoJvmRec* vm, KoJvmObjectRec* location, double& lat, double& lon);
// The map point of a Location; false without a map or with a coordinate
// that is not finite.
bool world_point_of(KoJvmRec* vm, KoJvmObjectRec* location, XrPoint& out);

// Logs an exception that ended a call into Java (class and message).
void log_exception(KoJvmRec* vm, KoJvmObjectRec* exception, const char* where);

} // namespace xr_java

// One native of an add-on API class: the class, the method's name and
// descriptor, and its function; a class's entries are in the order of its
// class file's natives, the position the function is bound at.
struct XrJavaNative {
    const char* class_name;
    const char* method; // name and descriptor, "getMmcRoot()Ljava/lang/String;"
    KoJvmNative fn;
};
// The natives of the navigator, location, locale and connector classes, and
// those of the map classes.
const std::vector<XrJavaNative>& xr_java_navigator_natives();
const std::vector<XrJavaNative>& xr_java_map_natives();
// Those of Http, PropertyBag and ServCom (bound by xr_java_bind_net).
const std::vector<XrJavaNative>& xr_java_net_natives();
// Those of CommonDialogs, BusyDlg and the ui package (xr_java_bind_dialogs).
const std::vector<XrJavaNative>& xr_java_dialog_natives();
// Binds a table's natives by position; false when a position was refused.
bool xr_java_bind_natives(const std::vector<XrJavaNative>& natives);
// Drops the image-layer listeners (before the VM goes).
void xr_java_release_map_listeners();
