// Helpers of the add-on classes' natives (dialogs and network): handles of
// native objects kept in Java long fields, checked against the objects this
// process made; Java and XrString texts; calls into Java on a thread of
// their own.
#pragma once

#include "common/container/xr_string.h"
#include "toolkit/javart/javart_natives.h"

#include <cstdint>

namespace xr_java {

// Kinds of native objects behind a Java handle.
enum Kind : int {
    KIND_BUSY = 1,
    KIND_COMMAND,
    KIND_DIALOG,
    KIND_EDIT,
    KIND_LIST,
    KIND_MODEL,
    KIND_RENDERER,
    KIND_HTTP,
    KIND_BAG,
    KIND_CHANNEL,
};

// Native objects live until forgotten; a handle that names no live object
// of the kind (0, freed, or a number an add-on wrote) is no handle.
void remember(void* object, Kind kind);
void forget(void* object);
bool is_live(void* object, Kind kind);

// The receiver of an instance native (null for a static one).
inline KoJvmObjectRec* receiver(KoJvmCat1ValueUnion* self) { return self ? ko_obj(self[0].ref) : nullptr; }
inline KoJvmObjectRec* arg_object(KoJvmCat1ValueUnion* args, int slot) { return ko_obj(args[slot].ref); }

// The object's long field nativeHandle (declared by its class or a
// superclass), or null when it has none.
KoJvmFieldRec* handle_field(KoJvmRec* vm, KoJvmObjectRec* obj);
void* get_handle(KoJvmRec* vm, KoJvmObjectRec* obj);
void set_handle(KoJvmRec* vm, KoJvmObjectRec* obj, void* value);
// The live native object of the kind behind obj's handle, or null.
void* live_handle(KoJvmRec* vm, KoJvmObjectRec* obj, Kind kind);

// A Java string as an XrString (empty for null).
XrString to_xr(KoJvmRec* vm, KoJvmObjectRec* string);
// A new Java string, or null without memory.
KoJvmObjectRec* to_java(KoJvmRec* vm, const XrString& text);

// A new VM thread for a call into Java from native code (obj is kept where
// the collector sees it meanwhile), or null. Start the call with end_call
// as its completion and the thread as its data: the thread goes when the
// call has ended, an exception is logged.
KoJvmThread* new_call_thread(KoJvmRec* vm, KoJvmObjectRec** obj);
void end_call(KoJvmCat1ValueUnion* result, KoJvmObjectRec* exception, void* thread);

} // namespace xr_java
