// The application's built-in classes: definition at start-up and the binding
// of their natives.
#pragma once

#include "toolkit/jvm/kojvm.h"

// Registration function name, class name, number of natives; in the application's order, then
// the UI classes.
#define KO_JVM_APP_CLASSES(X)                                                                                    \
    X(com_kestrovatech_CommonDialogs, "com/kestrovatech/CommonDialogs", 6)                                         \
    X(com_kestrovatech_BusyDlg, "com/kestrovatech/BusyDlg", 2)                                                     \
    X(com_kestrovatech_Http, "com/kestrovatech/Http", 2)                                                           \
    X(com_kestrovatech_PropertyBag, "com/kestrovatech/PropertyBag", 17)                                             \
    X(com_kestrovatech_ServCom, "com/kestrovatech/ServCom", 4)                                                     \
    X(com_kestrovatech_Locale, "com/kestrovatech/Locale", 1)                                                       \
    X(com_kestrovatech_Location, "com/kestrovatech/Location", 0)                                                   \
    X(com_kestrovatech_GPSLocation, "com/kestrovatech/GPSLocation", 1)                                             \
    X(com_kestrovatech_Navigator, "com/kestrovatech/Navigator", 11)                                                 \
    X(com_kestrovatech_map_MapObject, "com/kestrovatech/map/MapObject", 7)                                         \
    X(com_kestrovatech_map_ImageLayer, "com/kestrovatech/map/ImageLayer", 8)                                       \
    X(com_kestrovatech_map_Polyline, "com/kestrovatech/map/Polyline", 3)                                           \
    X(com_kestrovatech_map_Point, "com/kestrovatech/map/Point", 1)                                                 \
    X(com_kestrovatech_map_Layer, "com/kestrovatech/map/Layer", 6)                                                 \
    X(javax_microedition_io_Connector, "javax/microedition/io/Connector", 1)
#define KO_JVM_UI_CLASSES(X)                                                                                     \
    X(com_kestrovatech_ui_Dialog, "com/kestrovatech/ui/Dialog", 6)                                                 \
    X(com_kestrovatech_ui_Control, "com/kestrovatech/ui/Control", 1)                                               \
    X(com_kestrovatech_ui_EditControl, "com/kestrovatech/ui/EditControl", 3)                                       \
    X(com_kestrovatech_ui_ListControl, "com/kestrovatech/ui/ListControl", 5)                                       \
    X(com_kestrovatech_ui_ListModel, "com/kestrovatech/ui/ListModel", 4)                                           \
    X(com_kestrovatech_ui_ListModelString, "com/kestrovatech/ui/ListModelString", 0)                               \
    X(com_kestrovatech_ui_ListRenderer, "com/kestrovatech/ui/ListRenderer", 1)                                     \
    X(com_kestrovatech_ui_ListRendererString, "com/kestrovatech/ui/ListRendererString", 1)                         \
    X(com_kestrovatech_ui_ListRendererImage, "com/kestrovatech/ui/ListRendererImage", 1)                           \
    X(com_kestrovatech_ui_Command, "com/kestrovatech/ui/Command", 2)

#define KO_JVM_DECLARE_BUILT_IN(fn, name, natives) bool ko_jvm_built_in_##fn(KoJvmRec* vm);
KO_JVM_APP_CLASSES(KO_JVM_DECLARE_BUILT_IN)
KO_JVM_UI_CLASSES(KO_JVM_DECLARE_BUILT_IN)
#undef KO_JVM_DECLARE_BUILT_IN

// Every application class, then every UI class, in the lists' order; the
// first failure makes the step fail.
bool ko_jvm_define_application_classes(KoJvmRec* vm);
bool ko_jvm_define_ui_classes(KoJvmRec* vm);

// Puts fn at position index (class-file order of the class's natives) of
// the class's native table; takes effect for classes defined afterwards.
// False for an unknown class or a position the class does not have.
bool ko_jvm_bind_application_native(const char* class_name, int index, KoJvmNative fn);
