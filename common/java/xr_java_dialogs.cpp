// The natives of CommonDialogs, BusyDlg and com/kestrovatech/ui. Every
// native object made for Java is remembered with its kind, so that a
// handle that is 0, already freed or made up by an add-on does nothing or
// raises an exception instead of reaching freed memory.
#include "common/java/xr_java_dialogs.h"

#include "common/java/xr_java_dialogs_natives.h"
#include "common/java/xr_java_natives.h"
#include "common/ui/controls/xr_command.h"
#include "common/ui/controls/xr_editctrl.h"
#include "common/ui/controls/xr_listctrlbase.h"
#include "common/ui/controls/xr_listmodel.h"
#include "common/ui/dialog/xr_busydlg_maemo.h"
#include "common/ui/dialog/xr_commondialogs.h"
#include "common/ui/dialog/xr_dialogbase.h"
#include "common/ui/dialog/xr_dialogimpl_maemo.h"
#include "common/ui/dialog/xr_dialogmanager.h"
#include "common/ui/dialog/xr_listdlg.h"
#include "common/ui/dialog/xr_maemocommon.h"
#include "toolkit/javart/javart_app.h"

#include <vector>

using namespace xr_java;

namespace {

XrJavaDialogsEnv g_env;

constexpr const char* kNull = "java/lang/NullPointerException";
constexpr const char* kIllegal = "java/lang/IllegalArgumentException";
constexpr const char* kState = "java/lang/IllegalStateException";
constexpr const char* kOom = "java/lang/OutOfMemoryError";
constexpr const char* kCancelled = "com/kestrovatech/UserCancelledException";

// The dialog of a Java Dialog: holds the Java object until close, and
// passes its commands to Java's handleCommand on a thread of their own.
class XrDialogJava : public XrDialogBase {
public:
    XrDialogJava(KoJvmRec* vm, KoJvmObjectRec* object) : m_vm(vm)
    {
        m_ref.object = object;
        ko_jvm_add_global_ref(vm, &m_ref);
        m_held = true;
    }
    ~XrDialogJava() override { release_java(); }

    // Drops the Java object: later commands do not reach Java.
    void release_java()
    {
        if (!m_held)
            return;
        ko_jvm_remove_global_ref(m_vm, &m_ref);
        m_ref.object = nullptr;
        m_held = false;
    }

    void handle_command(int id) override
    {
        if (!m_held)
            return;
        KoJvmObjectRec* obj = m_ref.object;
        KoJvmThread* thread = new_call_thread(m_vm, &obj);
        if (!thread)
            return;
        ko_jvm_invoke_virtual_async(thread, 0, obj, "handleCommand", 0, "(I)V", 0, nullptr, end_call, thread, id);
        ko_jvm_run(m_vm);
    }

private:
    KoJvmRec* m_vm;
    KoJvmGlobalRef m_ref{};
    bool m_held = false;
};

// A pending listQueryDlg: the items and the waiting Java thread.
class XrListQueryDlgListener : public XrListDlgListener {
public:
    XrListQueryDlgListener(KoJvmCompletion complete, KoJvmThread* thread) : m_complete(complete), m_thread(thread) {}
    void item_chosen(int index) override
    {
        KoJvmCompletion complete = m_complete;
        KoJvmThread* thread = m_thread;
        delete this;
        ko_ret_int(complete, thread, index);
    }
    XrArray<XrListDlgItem> items{8, 8};

private:
    KoJvmCompletion m_complete;
    KoJvmThread* m_thread;
};

void toolkit_list_dialog(const XrString& title, XrArray<XrListDlgItem>& items, int, XrListDlgListener* listener)
{
    auto* dialog = new XrListDlgMaemo(title, items, -1, listener);
    dialog->open(1, false);
}

KoJvmObjectRec* self_of(KoJvmCat1ValueUnion* self) { return receiver(self); }

// ---- BusyDlg -------------------------------------------------------------

KO_NATIVE(BusyDlg_setMessage)
{
    (void)clazz, (void)data;
    KoJvmObjectRec* text = arg_object(args, 0);
    if (!text)
        return ko_ret_throw(vm, complete, thread, kNull);
    if (auto* busy = static_cast<XrBusyDlg*>(live_handle(vm, self_of(self), KIND_BUSY)))
        busy->set_text(to_xr(vm, text));
    ko_ret_void(complete, thread);
}

KO_NATIVE(BusyDlg_close)
{
    (void)clazz, (void)args, (void)data;
    KoJvmObjectRec* obj = self_of(self);
    if (auto* busy = static_cast<XrBusyDlg*>(live_handle(vm, obj, KIND_BUSY))) {
        forget(busy);
        delete busy;
    }
    set_handle(vm, obj, nullptr);
    ko_ret_void(complete, thread);
}

// ---- CommonDialogs ---------------------------------------------------------

KO_NATIVE(CommonDialogs_boolQueryDialog)
{
    (void)clazz, (void)self, (void)data;
    KoJvmObjectRec* title = arg_object(args, 0);
    KoJvmObjectRec* message = arg_object(args, 1);
    if (!title || !message)
        return ko_ret_throw(vm, complete, thread, kNull);
    const bool yes = XrCommonDialogs::show_query_msg(to_xr(vm, title), to_xr(vm, message));
    ko_ret_int(complete, thread, yes ? 1 : 0);
}

KO_NATIVE(CommonDialogs_intQueryDialog)
{
    (void)clazz, (void)self, (void)data;
    KoJvmObjectRec* title = arg_object(args, 0);
    KoJvmObjectRec* message = arg_object(args, 1);
    if (!title || !message)
        return ko_ret_throw(vm, complete, thread, kNull);
    int value = args[2].i;
    if (!XrCommonDialogs::show_number_dlg(to_xr(vm, title), to_xr(vm, message), value, args[3].i, args[4].i))
        return ko_ret_throw(vm, complete, thread, kCancelled);
    ko_ret_int(complete, thread, value);
}

KO_NATIVE(CommonDialogs_stringQueryDialog)
{
    (void)clazz, (void)self, (void)data;
    KoJvmObjectRec* title = arg_object(args, 0);
    KoJvmObjectRec* message = arg_object(args, 1);
    if (!title || !message)
        return ko_ret_throw(vm, complete, thread, kNull);
    XrString text = to_xr(vm, arg_object(args, 2));
    if (!XrCommonDialogs::show_input_dlg(to_xr(vm, title), to_xr(vm, message), text, 256, args[3].i != 0))
        return ko_ret_throw(vm, complete, thread, kCancelled);
    KoJvmObjectRec* result = to_java(vm, text);
    if (!result)
        return ko_ret_throw(vm, complete, thread, kOom);
    ko_ret_ref(complete, thread, result);
}

KO_NATIVE(CommonDialogs_infoMessageDlg)
{
    (void)clazz, (void)self, (void)data;
    KoJvmObjectRec* title = arg_object(args, 0);
    KoJvmObjectRec* message = arg_object(args, 1);
    if (!title || !message)
        return ko_ret_throw(vm, complete, thread, kNull);
    XrCommonDialogs::show_info_msg(to_xr(vm, title), to_xr(vm, message));
    ko_ret_void(complete, thread);
}

KO_NATIVE(CommonDialogs_listQueryDlg)
{
    (void)clazz, (void)self, (void)data;
    KoJvmObjectRec* title = arg_object(args, 0);
    KoJvmObjectRec* items = arg_object(args, 1);
    if (!title || !items)
        return ko_ret_throw(vm, complete, thread, kNull);
    const char* item_class = "com/kestrovatech/CommonDialogs$ListItem";
    KoJvmClassRec* c = ko_jvm_find_class(vm, item_class, std::strlen(item_class));
    KoJvmFieldRec* f1 = c ? ko_jvm_find_field(vm, c, "str1", "Ljava/lang/String;") : nullptr;
    KoJvmFieldRec* f2 = c ? ko_jvm_find_field(vm, c, "str2", "Ljava/lang/String;") : nullptr;
    const std::int32_t n = ko_jvm_array_length(vm, items);
    std::vector<std::pair<XrString, XrString>> texts;
    for (std::int32_t i = 0; i < n; ++i) {
        KoJvmObjectRec* item = ko_jvm_get_array_ref(vm, items, i);
        if (!item)
            return ko_ret_throw(vm, complete, thread, kNull);
        // The array's type makes every element a ListItem, so its class is loaded.
        if (!f1 || !f2 || !ko_jvm_instance_of(vm, item, c))
            return ko_ret_throw(vm, complete, thread, kIllegal);
        texts.emplace_back(to_xr(vm, ko_jvm_get_ref_field(vm, item, f1)), to_xr(vm, ko_jvm_get_ref_field(vm, item, f2)));
    }
    auto* listener = new (std::nothrow) XrListQueryDlgListener(complete, thread);
    if (!listener)
        return ko_ret_throw(vm, complete, thread, kOom);
    for (auto& t : texts) {
        XrListDlgItem item;
        item.text = t.first;
        item.detail_text = t.second;
        item.icon_index = -1;
        listener->items.append(item);
    }
    // The Java thread waits for the listener.
    XrJavaListDialogFn show = g_env.show_list_dialog ? g_env.show_list_dialog : toolkit_list_dialog;
    show(to_xr(vm, title), listener->items, -1, listener);
}

KO_NATIVE(CommonDialogs_createBusyDlg)
{
    (void)clazz, (void)self, (void)data;
    KoJvmObjectRec* title = arg_object(args, 0);
    KoJvmObjectRec* text = arg_object(args, 1);
    if (!title || !text)
        return ko_ret_throw(vm, complete, thread, kNull);
    XrBusyDlg* busy = XrBusyDlgMaemo::create(to_xr(vm, title), to_xr(vm, text), nullptr);
    remember(busy, KIND_BUSY);
    ko_ret_long(complete, thread, std::int64_t(reinterpret_cast<std::intptr_t>(busy)));
}

// ---- ui/Command ------------------------------------------------------------

KO_NATIVE(Command_createNativeCommand)
{
    (void)clazz, (void)self, (void)data;
    KoJvmObjectRec* text = arg_object(args, 1);
    KoJvmObjectRec* secondary = arg_object(args, 2);
    if (!text || !secondary)
        return ko_ret_throw(vm, complete, thread, kNull);
    auto* command = new XrCommand(args[0].i, to_xr(vm, text), to_xr(vm, secondary));
    remember(command, KIND_COMMAND);
    ko_ret_long(complete, thread, std::int64_t(reinterpret_cast<std::intptr_t>(command)));
}

KO_NATIVE(Command_freeNativeCommand)
{
    (void)clazz, (void)args, (void)data;
    KoJvmObjectRec* obj = self_of(self);
    if (auto* command = static_cast<XrCommand*>(live_handle(vm, obj, KIND_COMMAND))) {
        forget(command);
        delete command;
    }
    set_handle(vm, obj, nullptr);
    ko_ret_void(complete, thread);
}

// ---- ui/Control and its subclasses -------------------------------------------

XrControlBase* control_of(KoJvmRec* vm, KoJvmObjectRec* obj)
{
    void* h = get_handle(vm, obj);
    return is_live(h, KIND_EDIT) || is_live(h, KIND_LIST) ? static_cast<XrControlBase*>(h) : nullptr;
}

KO_NATIVE(Control_freeNativeControl)
{
    (void)clazz, (void)args, (void)data;
    KoJvmObjectRec* obj = self_of(self);
    if (XrControlBase* control = control_of(vm, obj)) {
        forget(control);
        delete control;
    }
    set_handle(vm, obj, nullptr);
    ko_ret_void(complete, thread);
}

KO_NATIVE(EditControl_nativeEditControl)
{
    (void)clazz, (void)self, (void)data;
    auto* edit = new XrCaptionedEditCtrl(g_env.loop, to_xr(vm, arg_object(args, 0)), XrString());
    edit->set_text(to_xr(vm, arg_object(args, 1)));
    XrControlBase* control = edit;
    remember(control, KIND_EDIT);
    ko_ret_long(complete, thread, std::int64_t(reinterpret_cast<std::intptr_t>(control)));
}

XrCaptionedEditCtrl* edit_of(KoJvmRec* vm, KoJvmObjectRec* obj)
{
    void* h = live_handle(vm, obj, KIND_EDIT);
    return h ? static_cast<XrCaptionedEditCtrl*>(static_cast<XrControlBase*>(h)) : nullptr;
}

KO_NATIVE(EditControl_getText)
{
    (void)clazz, (void)args, (void)data;
    XrCaptionedEditCtrl* edit = edit_of(vm, self_of(self));
    if (!edit)
        return ko_ret_throw(vm, complete, thread, kState);
    KoJvmObjectRec* s = to_java(vm, edit->get_text());
    if (!s)
        return ko_ret_throw(vm, complete, thread, kOom);
    ko_ret_ref(complete, thread, s);
}

KO_NATIVE(EditControl_setText)
{
    (void)clazz, (void)data;
    KoJvmObjectRec* text = arg_object(args, 0);
    if (!text)
        return ko_ret_throw(vm, complete, thread, kNull);
    XrCaptionedEditCtrl* edit = edit_of(vm, self_of(self));
    if (!edit)
        return ko_ret_throw(vm, complete, thread, kState);
    edit->set_text(to_xr(vm, text));
    ko_ret_void(complete, thread);
}

KO_NATIVE(ListControl_nativeListControl)
{
    (void)vm, (void)clazz, (void)self, (void)args, (void)data;
    auto* list = new XrListCtrlBase();
    list->construct();
    XrControlBase* control = list;
    remember(control, KIND_LIST);
    ko_ret_long(complete, thread, std::int64_t(reinterpret_cast<std::intptr_t>(control)));
}

XrListCtrlBase* list_of(KoJvmRec* vm, KoJvmObjectRec* obj)
{
    void* h = live_handle(vm, obj, KIND_LIST);
    return h ? static_cast<XrListCtrlBase*>(static_cast<XrControlBase*>(h)) : nullptr;
}

// Columns of a list: a GtkListStore has few; anything beyond is a mistake.
constexpr int kMaxColumns = 16;

KO_NATIVE(ListControl_getSelectionIndex)
{
    (void)clazz, (void)args, (void)data;
    XrListCtrlBase* list = list_of(vm, self_of(self));
    if (!list)
        return ko_ret_throw(vm, complete, thread, kState);
    ko_ret_int(complete, thread, list->get_selection());
}

KO_NATIVE(ListControl_setColumnRenderer)
{
    (void)clazz, (void)data;
    KoJvmObjectRec* renderer_obj = arg_object(args, 1);
    if (!renderer_obj)
        return ko_ret_throw(vm, complete, thread, kNull);
    if (args[0].i < 0 || args[0].i >= kMaxColumns)
        return ko_ret_throw(vm, complete, thread, kIllegal, "Invalid column");
    XrListCtrlBase* list = list_of(vm, self_of(self));
    auto* renderer = static_cast<XrListRenderer*>(live_handle(vm, renderer_obj, KIND_RENDERER));
    if (!list || !renderer)
        return ko_ret_throw(vm, complete, thread, kState);
    list->set_renderer(args[0].i, renderer);
    ko_ret_void(complete, thread);
}

KO_NATIVE(ListControl_setColumnHeader)
{
    (void)clazz, (void)data;
    KoJvmObjectRec* header = arg_object(args, 1);
    if (!header)
        return ko_ret_throw(vm, complete, thread, kNull);
    if (args[0].i < 0 || args[0].i >= kMaxColumns)
        return ko_ret_throw(vm, complete, thread, kIllegal, "Invalid column");
    XrListCtrlBase* list = list_of(vm, self_of(self));
    if (!list)
        return ko_ret_throw(vm, complete, thread, kState);
    list->set_column_title(args[0].i, to_xr(vm, header));
    ko_ret_void(complete, thread);
}

KO_NATIVE(ListControl_setModel)
{
    (void)clazz, (void)data;
    KoJvmObjectRec* model_obj = arg_object(args, 0);
    if (!model_obj)
        return ko_ret_throw(vm, complete, thread, kNull);
    XrListCtrlBase* list = list_of(vm, self_of(self));
    auto* model = static_cast<XrListModel*>(live_handle(vm, model_obj, KIND_MODEL));
    if (!list || !model)
        return ko_ret_throw(vm, complete, thread, kState);
    list->set_model(model);
    ko_ret_void(complete, thread);
}

// ---- ui/ListModel ----------------------------------------------------------------

KoJvmFieldRec* column_types_field(KoJvmRec* vm, KoJvmObjectRec* model)
{
    return ko_jvm_find_field(vm, ko_jvm_class(model), "columnTypes", "[I");
}

KO_NATIVE(ListModel_addToModel)
{
    (void)clazz, (void)data;
    KoJvmObjectRec* model_obj = self_of(self);
    KoJvmObjectRec* row = arg_object(args, 0);
    if (!row)
        return ko_ret_throw(vm, complete, thread, kNull);
    auto* model = static_cast<XrListModel*>(live_handle(vm, model_obj, KIND_MODEL));
    KoJvmFieldRec* f = column_types_field(vm, model_obj);
    KoJvmObjectRec* types = f ? ko_jvm_get_ref_field(vm, model_obj, f) : nullptr;
    if (!model || !types)
        return ko_ret_throw(vm, complete, thread, kState);
    const std::int32_t columns = ko_jvm_array_length(vm, types);
    if (ko_jvm_array_length(vm, row) != columns || columns != model->column_count())
        return ko_ret_throw(vm, complete, thread, kIllegal, "Wrong number of arguments");
    const auto* type = static_cast<const std::int32_t*>(ko_jvm_array_data(vm, types));
    std::vector<void*> values(std::size_t(columns), nullptr);
    std::vector<XrString> strings(static_cast<std::size_t>(columns));
    const char* integer = "java/lang/Integer";
    KoJvmClassRec* integer_class = ko_jvm_find_class(vm, integer, std::strlen(integer));
    KoJvmClassRec* string_class = ko_jvm_find_class(vm, "java/lang/String", 16);
    for (std::int32_t i = 0; i < columns; ++i) {
        KoJvmObjectRec* cell = ko_jvm_get_array_ref(vm, row, i);
        if (!cell)
            return ko_ret_throw(vm, complete, thread, kNull);
        if (type[i] == XrListModel::COLUMN_INT) {
            std::int32_t v = 0;
            if (!integer_class || !ko_jvm_unbox_int(vm, cell, &v))
                return ko_ret_throw(vm, complete, thread, kIllegal, "Integer expected");
            values[std::size_t(i)] = reinterpret_cast<void*>(static_cast<std::intptr_t>(v));
        } else if (type[i] == XrListModel::COLUMN_STRING || type[i] == XrListModel::COLUMN_IMAGE) {
            if (!ko_jvm_instance_of(vm, cell, string_class))
                return ko_ret_throw(vm, complete, thread, kIllegal, "String expected");
            strings[std::size_t(i)] = to_xr(vm, cell);
            values[std::size_t(i)] = &strings[std::size_t(i)];
        } else {
            return ko_ret_throw(vm, complete, thread, kIllegal, "Invalid column type");
        }
    }
    model->append_row(values.data());
    ko_ret_void(complete, thread);
}

KO_NATIVE(ListModel_getFromModel)
{
    (void)clazz, (void)self, (void)args, (void)data;
    ko_ret_throw(vm, complete, thread, "java/lang/UnsupportedOperationException");
}

KO_NATIVE(ListModel_nativeListModel)
{
    (void)clazz, (void)self, (void)data;
    KoJvmObjectRec* types = arg_object(args, 0);
    if (!types)
        return ko_ret_throw(vm, complete, thread, kNull);
    const std::int32_t n = ko_jvm_array_length(vm, types);
    if (n < 1 || n > kMaxColumns)
        return ko_ret_throw(vm, complete, thread, kIllegal, "Invalid number of columns");
    const auto* type = static_cast<const std::int32_t*>(ko_jvm_array_data(vm, types));
    std::vector<XrListModel::ColumnType> columns;
    for (std::int32_t i = 0; i < n; ++i) {
        if (type[i] < XrListModel::COLUMN_INT || type[i] > XrListModel::COLUMN_IMAGE)
            return ko_ret_throw(vm, complete, thread, kIllegal, "Invalid column type");
        columns.push_back(static_cast<XrListModel::ColumnType>(type[i]));
    }
    auto* model = new XrListModel(n, columns.data());
    remember(model, KIND_MODEL);
    ko_ret_long(complete, thread, std::int64_t(reinterpret_cast<std::intptr_t>(model)));
}

KO_NATIVE(ListModel_freeNativeListModel)
{
    (void)clazz, (void)args, (void)data;
    KoJvmObjectRec* obj = self_of(self);
    if (auto* model = static_cast<XrListModel*>(live_handle(vm, obj, KIND_MODEL))) {
        forget(model);
        delete model;
    }
    set_handle(vm, obj, nullptr);
    ko_ret_void(complete, thread);
}

// ---- ui/ListRenderer ---------------------------------------------------------------

KO_NATIVE(ListRenderer_freeNativeListRenderer)
{
    (void)clazz, (void)args, (void)data;
    KoJvmObjectRec* obj = self_of(self);
    if (auto* renderer = static_cast<XrListRenderer*>(live_handle(vm, obj, KIND_RENDERER))) {
        forget(renderer);
        delete renderer;
    }
    set_handle(vm, obj, nullptr);
    ko_ret_void(complete, thread);
}

template <class R>
KO_NATIVE(ListRenderer_create)
{
    (void)vm, (void)clazz, (void)self, (void)args, (void)data;
    XrListRenderer* renderer = new R();
    remember(renderer, KIND_RENDERER);
    ko_ret_long(complete, thread, std::int64_t(reinterpret_cast<std::intptr_t>(renderer)));
}

// ---- ui/Dialog ----------------------------------------------------------------

XrDialogJava* dialog_of(KoJvmRec* vm, KoJvmObjectRec* obj)
{
    return static_cast<XrDialogJava*>(static_cast<XrDialogBase*>(live_handle(vm, obj, KIND_DIALOG)));
}

KO_NATIVE(Dialog_nativeDialog)
{
    (void)clazz, (void)data;
    KoJvmObjectRec* title = arg_object(args, 0);
    if (!title)
        return ko_ret_throw(vm, complete, thread, kNull);
    auto* dialog = new XrDialogJava(vm, self_of(self));
    dialog->construct(nullptr);
    dialog->set_title(to_xr(vm, title));
    XrDialogBase* base = dialog;
    remember(base, KIND_DIALOG);
    ko_ret_long(complete, thread, std::int64_t(reinterpret_cast<std::intptr_t>(base)));
}

KO_NATIVE(Dialog_addNativeControl)
{
    (void)clazz, (void)data;
    KoJvmObjectRec* control_obj = arg_object(args, 0);
    if (!control_obj)
        return ko_ret_throw(vm, complete, thread, kNull);
    XrDialogJava* dialog = dialog_of(vm, self_of(self));
    XrControlBase* control = control_of(vm, control_obj);
    if (!dialog || !control)
        return ko_ret_throw(vm, complete, thread, kState);
    dialog->add_control(0, control, false);
    ko_ret_void(complete, thread);
}

KO_NATIVE(Dialog_show)
{
    (void)clazz, (void)args, (void)data;
    XrDialogJava* dialog = dialog_of(vm, self_of(self));
    if (!dialog)
        return ko_ret_throw(vm, complete, thread, kState);
    dialog->set_display_mode(1);
    dialog->show(false);
    // The window shows the title also when it is not modal.
    if (auto* impl = dynamic_cast<XrDialogImplMaemo*>(dialog->get_impl()))
        XrMaemoCommon::set_dialog_title(impl->get_widget(), impl->get_title(), false);
    ko_ret_void(complete, thread);
}

KO_NATIVE(Dialog_close)
{
    (void)clazz, (void)args, (void)data;
    if (XrDialogJava* dialog = dialog_of(vm, self_of(self))) {
        dialog->release_java();
        dialog->hide();
    }
    ko_ret_void(complete, thread);
}

KO_NATIVE(Dialog_addNativeCommand)
{
    (void)clazz, (void)data;
    KoJvmObjectRec* command_obj = arg_object(args, 0);
    if (!command_obj)
        return ko_ret_throw(vm, complete, thread, kNull);
    XrDialogJava* dialog = dialog_of(vm, self_of(self));
    auto* command = static_cast<XrCommand*>(live_handle(vm, command_obj, KIND_COMMAND));
    if (!dialog || !command)
        return ko_ret_throw(vm, complete, thread, kState);
    dialog->add_command(*command);
    ko_ret_void(complete, thread);
}

KO_NATIVE(Dialog_freeNativeDialog)
{
    (void)clazz, (void)args, (void)data;
    KoJvmObjectRec* obj = self_of(self);
    if (XrDialogJava* dialog = dialog_of(vm, obj)) {
        XrDialogBase* base = dialog;
        forget(base);
        dialog->release_java();
        dialog->destroy();
    }
    set_handle(vm, obj, nullptr);
    ko_ret_void(complete, thread);
}

} // namespace

// In class-file order of each class's natives: the position each is bound at.
const std::vector<XrJavaNative>& xr_java_dialog_natives()
{
    static const std::vector<XrJavaNative> natives = {
        {"com/kestrovatech/CommonDialogs", "boolQueryDialog(Ljava/lang/String;Ljava/lang/String;I)Z", CommonDialogs_boolQueryDialog},
        {"com/kestrovatech/CommonDialogs", "intQueryDialog(Ljava/lang/String;Ljava/lang/String;III)I", CommonDialogs_intQueryDialog},
        {"com/kestrovatech/CommonDialogs", "stringQueryDialog(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Z)Ljava/lang/String;", CommonDialogs_stringQueryDialog},
        {"com/kestrovatech/CommonDialogs", "infoMessageDlg(Ljava/lang/String;Ljava/lang/String;)V", CommonDialogs_infoMessageDlg},
        {"com/kestrovatech/CommonDialogs", "listQueryDlg(Ljava/lang/String;[Lcom/kestrovatech/CommonDialogs$ListItem;)I", CommonDialogs_listQueryDlg},
        {"com/kestrovatech/CommonDialogs", "createBusyDlg(Ljava/lang/String;Ljava/lang/String;)J", CommonDialogs_createBusyDlg},
        {"com/kestrovatech/BusyDlg", "setMessage(Ljava/lang/String;)V", BusyDlg_setMessage},
        {"com/kestrovatech/BusyDlg", "close()V", BusyDlg_close},
        {"com/kestrovatech/ui/Dialog", "nativeDialog(Ljava/lang/String;)J", Dialog_nativeDialog},
        {"com/kestrovatech/ui/Dialog", "addNativeControl(Lcom/kestrovatech/ui/Control;)V", Dialog_addNativeControl},
        {"com/kestrovatech/ui/Dialog", "show()V", Dialog_show},
        {"com/kestrovatech/ui/Dialog", "close()V", Dialog_close},
        {"com/kestrovatech/ui/Dialog", "addNativeCommand(Lcom/kestrovatech/ui/Command;)V", Dialog_addNativeCommand},
        {"com/kestrovatech/ui/Dialog", "freeNativeDialog()V", Dialog_freeNativeDialog},
        {"com/kestrovatech/ui/Control", "freeNativeControl()V", Control_freeNativeControl},
        {"com/kestrovatech/ui/EditControl", "nativeEditControl(Ljava/lang/String;Ljava/lang/String;)J", EditControl_nativeEditControl},
        {"com/kestrovatech/ui/EditControl", "getText()Ljava/lang/String;", EditControl_getText},
        {"com/kestrovatech/ui/EditControl", "setText(Ljava/lang/String;)V", EditControl_setText},
        {"com/kestrovatech/ui/ListControl", "nativeListControl()J", ListControl_nativeListControl},
        {"com/kestrovatech/ui/ListControl", "getSelectionIndex()I", ListControl_getSelectionIndex},
        {"com/kestrovatech/ui/ListControl", "setColumnRenderer(ILcom/kestrovatech/ui/ListRenderer;)V", ListControl_setColumnRenderer},
        {"com/kestrovatech/ui/ListControl", "setColumnHeader(ILjava/lang/String;)V", ListControl_setColumnHeader},
        {"com/kestrovatech/ui/ListControl", "setModel(Lcom/kestrovatech/ui/ListModel;)V", ListControl_setModel},
        {"com/kestrovatech/ui/ListModel", "addToModel([Ljava/lang/Object;)V", ListModel_addToModel},
        {"com/kestrovatech/ui/ListModel", "getFromModel()[Ljava/lang/Object;", ListModel_getFromModel},
        {"com/kestrovatech/ui/ListModel", "nativeListModel([I)J", ListModel_nativeListModel},
        {"com/kestrovatech/ui/ListModel", "freeNativeListModel()V", ListModel_freeNativeListModel},
        {"com/kestrovatech/ui/ListRenderer", "freeNativeListRenderer()V", ListRenderer_freeNativeListRenderer},
        {"com/kestrovatech/ui/ListRendererString", "nativeListRendererString()J", ListRenderer_create<XrListRendererString>},
        {"com/kestrovatech/ui/ListRendererImage", "nativeListRendererImage()J", ListRenderer_create<XrListRendererImage>},
        {"com/kestrovatech/ui/Command", "createNativeCommand(ILjava/lang/String;Ljava/lang/String;)J", Command_createNativeCommand},
        {"com/kestrovatech/ui/Command", "freeNativeCommand()V", Command_freeNativeCommand},
    };
    return natives;
}

namespace {

} // namespace

bool xr_java_bind_dialogs(const XrJavaDialogsEnv& env)
{
    g_env = env;
    return xr_java_bind_natives(xr_java_dialog_natives());
}
