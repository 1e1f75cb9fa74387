/* The application-framework stand-in: see hildon.h. */
#include "platform/hildon/hildon.h"

#include <stdarg.h>
#include <stdlib.h>

/* --- Windows ------------------------------------------------------------- */

G_DEFINE_TYPE(HildonWindow, hildon_window, GTK_TYPE_WINDOW)

/* The toolbar box is an internal child placed above the window's one
 * ordinary child (the content). */

static void hildon_window_forall(GtkContainer* container, gboolean include_internals, GtkCallback callback,
                                 gpointer data)
{
    HildonWindow* self = HILDON_WINDOW(container);
    GTK_CONTAINER_CLASS(hildon_window_parent_class)->forall(container, include_internals, callback, data);
    if (include_internals && self->vbox != NULL)
        callback(self->vbox, data);
}

static void hildon_window_size_request(GtkWidget* widget, GtkRequisition* requisition)
{
    HildonWindow* self = HILDON_WINDOW(widget);
    GTK_WIDGET_CLASS(hildon_window_parent_class)->size_request(widget, requisition);
    if (self->vbox != NULL && GTK_WIDGET_VISIBLE(self->vbox)) {
        GtkRequisition box;
        gtk_widget_size_request(self->vbox, &box);
        requisition->height += box.height;
        if (box.width > requisition->width)
            requisition->width = box.width;
    }
}

static void hildon_window_size_allocate(GtkWidget* widget, GtkAllocation* allocation)
{
    HildonWindow* self = HILDON_WINDOW(widget);
    GtkWidget* child = GTK_BIN(widget)->child;
    GtkAllocation box = {0, 0, allocation->width, 0};
    GTK_WIDGET_CLASS(hildon_window_parent_class)->size_allocate(widget, allocation);
    if (self->vbox != NULL && GTK_WIDGET_VISIBLE(self->vbox)) {
        GtkRequisition req;
        gtk_widget_get_child_requisition(self->vbox, &req);
        box.height = req.height < allocation->height ? req.height : allocation->height;
        /* The toolbars stand under the content, at the window's foot. */
        box.y = allocation->height - box.height;
        gtk_widget_size_allocate(self->vbox, &box);
    }
    if (child != NULL && GTK_WIDGET_VISIBLE(child)) {
        GtkAllocation c = {0, 0, allocation->width, allocation->height - box.height};
        if (c.height < 1)
            c.height = 1;
        gtk_widget_size_allocate(child, &c);
    }
}

/* The toolbars are an internal child: the container's expose reaches only
 * the window's own child, so they are exposed here. */
static gboolean hildon_window_expose(GtkWidget* widget, GdkEventExpose* event)
{
    HildonWindow* self = HILDON_WINDOW(widget);
    gboolean handled = GTK_WIDGET_CLASS(hildon_window_parent_class)->expose_event(widget, event);
    if (self->vbox != NULL && GTK_WIDGET_DRAWABLE(self->vbox))
        gtk_container_propagate_expose(GTK_CONTAINER(widget), self->vbox, event);
    return handled;
}

/* The toolbars are mapped with the window (its own map reaches only its child). */
static void hildon_window_map(GtkWidget* widget)
{
    HildonWindow* self = HILDON_WINDOW(widget);
    if (self->vbox != NULL && GTK_WIDGET_VISIBLE(self->vbox) && !GTK_WIDGET_MAPPED(self->vbox))
        gtk_widget_map(self->vbox);
    GTK_WIDGET_CLASS(hildon_window_parent_class)->map(widget);
}

static void hildon_window_show_all(GtkWidget* widget)
{
    HildonWindow* self = HILDON_WINDOW(widget);
    if (self->vbox != NULL)
        gtk_widget_show_all(self->vbox);
    GTK_WIDGET_CLASS(hildon_window_parent_class)->show_all(widget);
}

static void hildon_window_destroy(GtkObject* object)
{
    HildonWindow* self = HILDON_WINDOW(object);
    if (self->menu != NULL) {
        g_object_unref(self->menu);
        self->menu = NULL;
    }
    if (self->vbox != NULL) {
        GtkWidget* box = self->vbox;
        self->vbox = NULL;
        gtk_widget_unparent(box);
    }
    hildon_program_remove_window(hildon_program_get_instance(), self);
    GTK_OBJECT_CLASS(hildon_window_parent_class)->destroy(object);
}

static void hildon_window_class_init(HildonWindowClass* klass)
{
    GTK_CONTAINER_CLASS(klass)->forall = hildon_window_forall;
    GTK_WIDGET_CLASS(klass)->size_request = hildon_window_size_request;
    GTK_WIDGET_CLASS(klass)->size_allocate = hildon_window_size_allocate;
    GTK_WIDGET_CLASS(klass)->show_all = hildon_window_show_all;
    GTK_WIDGET_CLASS(klass)->expose_event = hildon_window_expose;
    GTK_WIDGET_CLASS(klass)->map = hildon_window_map;
    GTK_OBJECT_CLASS(klass)->destroy = hildon_window_destroy;
}

static void hildon_window_init(HildonWindow* self)
{
    self->menu = NULL;
    self->vbox = gtk_vbox_new(FALSE, 0);
    gtk_widget_set_parent(self->vbox, GTK_WIDGET(self));
    gtk_widget_show(self->vbox);
}

GtkWidget* hildon_window_new(void)
{
    return GTK_WIDGET(g_object_new(HILDON_TYPE_WINDOW, NULL));
}

void hildon_window_add_toolbar(HildonWindow* window, GtkToolbar* toolbar)
{
    g_return_if_fail(HILDON_IS_WINDOW(window) && toolbar != NULL && window->vbox != NULL);
    gtk_box_pack_start(GTK_BOX(window->vbox), GTK_WIDGET(toolbar), FALSE, FALSE, 0);
    if (GTK_WIDGET_MAPPED(window) && GTK_WIDGET_VISIBLE(window->vbox) && !GTK_WIDGET_MAPPED(window->vbox))
        gtk_widget_map(window->vbox);
    gtk_widget_queue_resize(GTK_WIDGET(window));
}

void hildon_window_remove_toolbar(HildonWindow* window, GtkToolbar* toolbar)
{
    g_return_if_fail(HILDON_IS_WINDOW(window) && toolbar != NULL && window->vbox != NULL);
    if (gtk_widget_get_parent(GTK_WIDGET(toolbar)) == window->vbox) {
        gtk_container_remove(GTK_CONTAINER(window->vbox), GTK_WIDGET(toolbar));
        gtk_widget_queue_resize(GTK_WIDGET(window));
    }
}

void hildon_window_set_menu(HildonWindow* window, GtkMenu* menu)
{
    g_return_if_fail(HILDON_IS_WINDOW(window));
    if (menu != NULL)
        g_object_ref_sink(menu);
    if (window->menu != NULL)
        g_object_unref(window->menu);
    window->menu = menu;
}

GtkMenu* hildon_window_get_menu(HildonWindow* window)
{
    g_return_val_if_fail(HILDON_IS_WINDOW(window), NULL);
    return window->menu;
}

GtkWidget* hildon_window_get_content(HildonWindow* window)
{
    g_return_val_if_fail(HILDON_IS_WINDOW(window), NULL);
    return GTK_BIN(window)->child;
}

/* --- Program ------------------------------------------------------------- */

struct _HildonProgram {
    GList* windows;
    GtkMenu* common_menu;
};

HildonProgram* hildon_program_get_instance(void)
{
    static HildonProgram program = {NULL, NULL};
    return &program;
}

void hildon_program_add_window(HildonProgram* program, HildonWindow* window)
{
    g_return_if_fail(program != NULL && HILDON_IS_WINDOW(window));
    if (g_list_find(program->windows, window) == NULL)
        program->windows = g_list_append(program->windows, window);
}

void hildon_program_remove_window(HildonProgram* program, HildonWindow* window)
{
    g_return_if_fail(program != NULL);
    program->windows = g_list_remove(program->windows, window);
}

GList* hildon_program_get_windows(HildonProgram* program)
{
    g_return_val_if_fail(program != NULL, NULL);
    return program->windows;
}

void hildon_program_set_common_menu(HildonProgram* program, GtkMenu* menu)
{
    g_return_if_fail(program != NULL);
    if (menu != NULL)
        g_object_ref_sink(menu);
    if (program->common_menu != NULL)
        g_object_unref(program->common_menu);
    program->common_menu = menu;
}

GtkMenu* hildon_program_get_common_menu(HildonProgram* program)
{
    g_return_val_if_fail(program != NULL, NULL);
    return program->common_menu;
}

GtkMenu* hildon_program_get_menu_for(HildonProgram* program, HildonWindow* window)
{
    g_return_val_if_fail(program != NULL, NULL);
    if (window != NULL && window->menu != NULL)
        return window->menu;
    return program->common_menu;
}

/* --- Banners and notes --------------------------------------------------- */

static gboolean banner_timeout(gpointer data)
{
    gtk_widget_destroy(GTK_WIDGET(data));
    return FALSE;
}

static void banner_destroyed(GtkWidget* banner, gpointer data)
{
    (void)data;
    guint id = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(banner), "hildon-timer"));
    if (id != 0)
        g_source_remove(id);
}

static GtkWidget* banner_new(GtkWidget* widget, const char* text)
{
    GtkWidget* banner = gtk_window_new(GTK_WINDOW_POPUP);
    GtkWidget* label = gtk_label_new(text != NULL ? text : "");
    gtk_widget_set_name(banner, HILDON_BANNER_NAME);
    /* Found and read through the X server: its role and its text as title. */
    gtk_window_set_role(GTK_WINDOW(banner), HILDON_BANNER_NAME);
    gtk_window_set_title(GTK_WINDOW(banner), text != NULL ? text : "");
    if (widget != NULL) {
        GtkWidget* top = gtk_widget_get_toplevel(widget);
        if (GTK_IS_WINDOW(top))
            gtk_window_set_transient_for(GTK_WINDOW(banner), GTK_WINDOW(top));
    }
    g_object_set_data_full(G_OBJECT(banner), "hildon-text", g_strdup(text != NULL ? text : ""), g_free);
    g_object_set_data(G_OBJECT(banner), "hildon-label", label);
    gtk_container_set_border_width(GTK_CONTAINER(banner), 8);
    gtk_container_add(GTK_CONTAINER(banner), label);
    gtk_window_set_position(GTK_WINDOW(banner), GTK_WIN_POS_CENTER);
    return banner;
}

GtkWidget* hildon_banner_show_information(GtkWidget* widget, const char* icon, const char* text)
{
    GtkWidget* banner = banner_new(widget, text);
    guint id;
    if (icon != NULL)
        g_object_set_data_full(G_OBJECT(banner), "icon-name", g_strdup(icon), g_free);
    gtk_widget_show_all(banner);
    id = g_timeout_add(HILDON_BANNER_MS, banner_timeout, banner);
    g_object_set_data(G_OBJECT(banner), "hildon-timer", GUINT_TO_POINTER(id));
    g_signal_connect(banner, "destroy", G_CALLBACK(banner_destroyed), NULL);
    return banner;
}

GtkWidget* hildon_banner_show_animation(GtkWidget* widget, const char* animation_name, const char* text)
{
    GtkWidget* banner = banner_new(widget, text);
    if (animation_name != NULL)
        g_object_set_data_full(G_OBJECT(banner), "animation-name", g_strdup(animation_name), g_free);
    gtk_widget_show_all(banner);
    return banner;
}

void hildon_banner_set_text(GtkWidget* banner, const char* text)
{
    GtkWidget* label;
    if (banner == NULL || g_strcmp0(gtk_widget_get_name(banner), HILDON_BANNER_NAME) != 0)
        return;
    label = GTK_WIDGET(g_object_get_data(G_OBJECT(banner), "hildon-label"));
    g_object_set_data_full(G_OBJECT(banner), "hildon-text", g_strdup(text != NULL ? text : ""), g_free);
    if (label != NULL)
        gtk_label_set_text(GTK_LABEL(label), text != NULL ? text : "");
    gtk_window_set_title(GTK_WINDOW(banner), text != NULL ? text : "");
}

const char* hildon_banner_get_text(GtkWidget* banner)
{
    if (banner == NULL || g_strcmp0(gtk_widget_get_name(banner), HILDON_BANNER_NAME) != 0)
        return NULL;
    return (const char*)g_object_get_data(G_OBJECT(banner), "hildon-text");
}

/* A note with the text and no buttons yet. */
static GtkWidget* note_base(GtkWindow* parent, const char* text)
{
    GtkWidget* note = gtk_dialog_new();
    GtkWidget* label = gtk_label_new(text != NULL ? text : "");
    gtk_widget_set_name(note, HILDON_NOTE_NAME);
    gtk_window_set_role(GTK_WINDOW(note), HILDON_NOTE_NAME);
    gtk_window_set_title(GTK_WINDOW(note), text != NULL ? text : "");
    gtk_window_set_modal(GTK_WINDOW(note), TRUE);
    if (parent != NULL)
        gtk_window_set_transient_for(GTK_WINDOW(note), parent);
    g_object_set_data_full(G_OBJECT(note), "hildon-text", g_strdup(text != NULL ? text : ""), g_free);
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_box_pack_start(GTK_BOX(GTK_DIALOG(note)->vbox), label, TRUE, TRUE, 8);
    gtk_widget_show(label);
    return note;
}

static GtkWidget* note_new(GtkWindow* parent, const char* text, gboolean confirm)
{
    GtkWidget* note = note_base(parent, text);
    gtk_dialog_add_button(GTK_DIALOG(note), GTK_STOCK_OK, GTK_RESPONSE_OK);
    if (confirm)
        gtk_dialog_add_button(GTK_DIALOG(note), GTK_STOCK_CANCEL, GTK_RESPONSE_CANCEL);
    return note;
}

GtkWidget* hildon_note_new_information(GtkWindow* parent, const char* text)
{
    return note_new(parent, text, FALSE);
}

GtkWidget* hildon_note_new_confirmation(GtkWindow* parent, const char* text)
{
    return note_new(parent, text, TRUE);
}

GtkWidget* hildon_note_new_confirmation_add_buttons(GtkWindow* parent, const char* text, ...)
{
    GtkWidget* note = note_base(parent, text);
    const char* button;
    va_list args;
    va_start(args, text);
    while ((button = va_arg(args, const char*)) != NULL) {
        int response = va_arg(args, int);
        gtk_dialog_add_button(GTK_DIALOG(note), button, response);
    }
    va_end(args);
    return note;
}

void hildon_note_set_button_text(GtkWidget* note, const char* text)
{
    GList* buttons;
    if (note == NULL || !GTK_IS_DIALOG(note))
        return;
    buttons = gtk_container_get_children(GTK_CONTAINER(GTK_DIALOG(note)->action_area));
    if (buttons != NULL && GTK_IS_BUTTON(buttons->data))
        gtk_button_set_label(GTK_BUTTON(buttons->data), text != NULL ? text : "");
    g_list_free(buttons);
}

const char* hildon_note_get_text(GtkWidget* note)
{
    if (note == NULL || g_strcmp0(gtk_widget_get_name(note), HILDON_NOTE_NAME) != 0)
        return NULL;
    return (const char*)g_object_get_data(G_OBJECT(note), "hildon-text");
}

GtkWidget* hildon_find_toplevel(const char* name)
{
    GList* all = gtk_window_list_toplevels();
    GList* l;
    GtkWidget* found = NULL;
    for (l = all; l != NULL && found == NULL; l = l->next)
        if (g_strcmp0(gtk_widget_get_name(GTK_WIDGET(l->data)), name) == 0)
            found = GTK_WIDGET(l->data);
    g_list_free(all);
    return found;
}

gboolean hildon_note_respond(int response)
{
    GtkWidget* note = hildon_find_toplevel(HILDON_NOTE_NAME);
    if (note == NULL || !GTK_IS_DIALOG(note))
        return FALSE;
    gtk_dialog_response(GTK_DIALOG(note), response);
    return TRUE;
}

/* --- Captions and input helpers ----------------------------------------- */

GtkWidget* hildon_caption_new(GtkSizeGroup* group, const char* value, GtkWidget* control, GtkWidget* icon,
                              HildonCaptionStatus flag)
{
    GtkWidget* caption = gtk_hbox_new(FALSE, 8);
    GtkWidget* label = gtk_label_new(value != NULL ? value : "");
    gtk_widget_set_name(caption, "hildon-caption");
    g_object_set_data_full(G_OBJECT(caption), "hildon-caption-label", g_strdup(value != NULL ? value : ""), g_free);
    g_object_set_data(G_OBJECT(caption), "hildon-caption-status", GINT_TO_POINTER((int)flag));
    g_object_set_data(G_OBJECT(caption), "hildon-caption-control", control);
    if (group != NULL)
        gtk_size_group_add_widget(group, label);
    gtk_box_pack_start(GTK_BOX(caption), label, FALSE, FALSE, 0);
    if (icon != NULL)
        gtk_box_pack_start(GTK_BOX(caption), icon, FALSE, FALSE, 0);
    if (control != NULL)
        gtk_box_pack_start(GTK_BOX(caption), control, TRUE, TRUE, 0);
    gtk_widget_show(label);
    return caption;
}

static gboolean is_caption(GtkWidget* caption)
{
    return caption != NULL && g_strcmp0(gtk_widget_get_name(caption), "hildon-caption") == 0;
}

const char* hildon_caption_get_label(GtkWidget* caption)
{
    return is_caption(caption) ? (const char*)g_object_get_data(G_OBJECT(caption), "hildon-caption-label") : NULL;
}

HildonCaptionStatus hildon_caption_get_status(GtkWidget* caption)
{
    if (!is_caption(caption))
        return HILDON_CAPTION_OPTIONAL;
    return (HildonCaptionStatus)GPOINTER_TO_INT(g_object_get_data(G_OBJECT(caption), "hildon-caption-status"));
}

GtkWidget* hildon_caption_get_control(GtkWidget* caption)
{
    return is_caption(caption) ? GTK_WIDGET(g_object_get_data(G_OBJECT(caption), "hildon-caption-control")) : NULL;
}

void hildon_gtk_entry_set_input_mode(GtkEntry* entry, int mode)
{
    g_return_if_fail(GTK_IS_ENTRY(entry));
    g_object_set_data(G_OBJECT(entry), "hildon-input-mode", GINT_TO_POINTER(mode));
}

int hildon_gtk_entry_get_input_mode(GtkEntry* entry)
{
    g_return_val_if_fail(GTK_IS_ENTRY(entry), HILDON_GTK_INPUT_MODE_FULL);
    return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(entry), "hildon-input-mode"));
}

void hildon_helper_set_thumb_scrollbar(GtkWidget* scrolled_window, gboolean thumb)
{
    g_return_if_fail(GTK_IS_SCROLLED_WINDOW(scrolled_window));
    g_object_set_data(G_OBJECT(scrolled_window), "hildon-thumb-scrollbar", GINT_TO_POINTER(thumb ? 1 : 0));
}

gboolean hildon_helper_get_thumb_scrollbar(GtkWidget* scrolled_window)
{
    g_return_val_if_fail(GTK_IS_SCROLLED_WINDOW(scrolled_window), FALSE);
    return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(scrolled_window), "hildon-thumb-scrollbar")) != 0;
}

/* --- Tap-and-hold -------------------------------------------------------- */

typedef struct {
    GtkWidget* widget;
    guint timer;
    GdkEvent* press; /* copy of the press being held, or NULL */
} TapAndHold;

static guint signal_query;
static guint signal_hold;

static void ensure_signals(void)
{
    if (signal_hold != 0)
        return;
    signal_query = g_signal_new("tap_and_hold_query", GTK_TYPE_WIDGET, G_SIGNAL_RUN_LAST, 0,
                                g_signal_accumulator_true_handled, NULL, NULL, G_TYPE_BOOLEAN, 1,
                                GDK_TYPE_EVENT | G_SIGNAL_TYPE_STATIC_SCOPE);
    signal_hold = g_signal_new("tap_and_hold", GTK_TYPE_WIDGET, G_SIGNAL_RUN_LAST, 0, NULL, NULL, NULL,
                               G_TYPE_NONE, 0);
}

/* Query, then the gesture; TRUE when the gesture ran. */
static gboolean emit_gesture(GtkWidget* widget, GdkEvent* press)
{
    gboolean suppressed = FALSE;
    ensure_signals();
    g_signal_emit(widget, signal_query, 0, press, &suppressed);
    if (suppressed)
        return FALSE;
    g_signal_emit(widget, signal_hold, 0);
    return TRUE;
}

static void tah_cancel(TapAndHold* t)
{
    if (t->timer != 0) {
        g_source_remove(t->timer);
        t->timer = 0;
    }
    if (t->press != NULL) {
        gdk_event_free(t->press);
        t->press = NULL;
    }
}

static gboolean tah_timeout(gpointer data)
{
    TapAndHold* t = (TapAndHold*)data;
    GdkEvent* press = t->press;
    t->timer = 0;
    t->press = NULL;
    if (press != NULL) {
        emit_gesture(t->widget, press);
        gdk_event_free(press);
    }
    return FALSE;
}

static gboolean tah_press(GtkWidget* widget, GdkEventButton* event, gpointer data)
{
    TapAndHold* t = (TapAndHold*)data;
    (void)widget;
    tah_cancel(t);
    if (event->type == GDK_BUTTON_PRESS && event->button == 1) {
        t->press = gdk_event_copy((GdkEvent*)event);
        t->timer = g_timeout_add(HILDON_TAP_AND_HOLD_MS, tah_timeout, t);
    }
    return FALSE;
}

static gboolean tah_release(GtkWidget* widget, GdkEventButton* event, gpointer data)
{
    (void)widget;
    (void)event;
    tah_cancel((TapAndHold*)data);
    return FALSE;
}

static gboolean tah_motion(GtkWidget* widget, GdkEventMotion* event, gpointer data)
{
    TapAndHold* t = (TapAndHold*)data;
    (void)widget;
    if (t->press != NULL && (abs((int)event->x - (int)t->press->button.x) > HILDON_TAP_AND_HOLD_SLACK ||
                             abs((int)event->y - (int)t->press->button.y) > HILDON_TAP_AND_HOLD_SLACK))
        tah_cancel(t);
    return FALSE;
}

static void tah_free(gpointer data)
{
    TapAndHold* t = (TapAndHold*)data;
    tah_cancel(t);
    g_free(t);
}

void gtk_widget_tap_and_hold_setup(GtkWidget* widget, GtkWidget* menu, GtkCallback func, int flags)
{
    TapAndHold* t;
    (void)menu;
    (void)func;
    (void)flags;
    g_return_if_fail(GTK_IS_WIDGET(widget));
    ensure_signals();
    if (g_object_get_data(G_OBJECT(widget), "hildon-tap-and-hold") != NULL)
        return;
    t = g_new0(TapAndHold, 1);
    t->widget = widget;
    g_object_set_data_full(G_OBJECT(widget), "hildon-tap-and-hold", t, tah_free);
    g_signal_connect(widget, "button_press_event", G_CALLBACK(tah_press), t);
    g_signal_connect(widget, "button_release_event", G_CALLBACK(tah_release), t);
    g_signal_connect(widget, "motion_notify_event", G_CALLBACK(tah_motion), t);
}

gboolean hildon_tap_and_hold_fire(GtkWidget* widget, int x, int y)
{
    GdkEvent* press;
    gboolean held;
    g_return_val_if_fail(GTK_IS_WIDGET(widget), FALSE);
    press = gdk_event_new(GDK_BUTTON_PRESS);
    press->button.window = widget->window != NULL ? (GdkWindow*)g_object_ref(widget->window) : NULL;
    press->button.x = x;
    press->button.y = y;
    press->button.button = 1;
    press->button.state = 0;
    held = emit_gesture(widget, press);
    gdk_event_free(press);
    return held;
}
