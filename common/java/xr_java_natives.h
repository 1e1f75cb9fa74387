// Shared helpers of the add-on bindings' natives.
#pragma once

#include "common/java/xr_java.h"
#include "toolkit/javart/javart_natives.h"

class XrProjection;

namespace xr_java {

inline KoJvmObjectRec* arg_obj(const KoJvmCat1ValueUnion& v) { return ko_obj(v.ref); }

// The field of that name and descriptor of the object's class (or a
// superclass); a missing field is a fatal error naming it.
KoJvmFieldRec* field(KoJvmRec* vm, KoJvmObjectRec* obj, const char* name, const char* desc);
// The native object of a binding object (its long field nativeHandle).
void* handle(KoJvmRec* vm, KoJvmObjectRec* obj);
void set_handle(KoJvmRec* vm, KoJvmObjectRec* obj, void* p);

// The map provider's projection, or null.
const XrProjection* projection();

// A new com/kestrovatech/Location; null when out of memory or undefined.
KoJvmObjectRec* new_location(KoJvmRec* vm, double lat, double lon);
// The latitude and longitude of a Location.
void location_of(KoJvmRec* vm, KoJvmObjectRec* location, double& lat, double& lon);

// Logs an exception that ended a call into Java (class and message).
void log_exception(KoJvmRec* vm, KoJvmObjectRec* exception, const char* where);

} // namespace xr_java

// Binds the natives of the navigator, location, locale and connector classes.
void xr_java_bind_navigator_natives();
// Binds the natives of the map classes.
void xr_java_bind_map_natives();
// Drops the image-layer listeners (before the VM goes).
void xr_java_release_map_listeners();
