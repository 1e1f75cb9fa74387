// The natives of the add-on dialog classes: com/kestrovatech/CommonDialogs,
// BusyDlg and the com/kestrovatech/ui package (dialogs of their own with
// edit and list controls, list models and renderers, commands).
#pragma once

#include "common/container/xr_array.h"
#include "common/container/xr_string.h"

class XrEventloopBase;
class XrListDlgItem;
class XrListDlgListener;

// Opens a list dialog without waiting: the listener hears the chosen index
// (-1 for none) exactly once, later, from the main loop. The items stay
// valid until the listener has heard. preselected: -1 for none.
typedef void (*XrJavaListDialogFn)(const XrString& title, XrArray<XrListDlgItem>& items, int preselected,
                                   XrListDlgListener* listener);

struct XrJavaDialogsEnv {
    // The application's event loop (the edit controls' cursor timer).
    XrEventloopBase* loop = nullptr;
    // The application's list dialog (its dialog facade); null: the
    // toolkit's own list dialog over the map window.
    XrJavaListDialogFn show_list_dialog = nullptr;
};

// Binds every native of CommonDialogs, BusyDlg and com/kestrovatech/ui/*
// (ko_jvm_bind_application_native). Call once before the VM's
// ko_jvm_define_application_classes and ko_jvm_define_ui_classes; the
// environment is kept for every later native call. False when a binding
// was refused (a class list that does not match these natives).
bool xr_java_bind_dialogs(const XrJavaDialogsEnv& env);
