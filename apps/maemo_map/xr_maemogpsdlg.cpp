#include "apps/maemo_map/xr_maemogpsdlg.h"

#include "apps/corvanel/ui/controls/xr_gpspositionctrl.h"
#include "apps/corvanel/ui/controls/xr_signalctrl.h"
#include "common/base/xr_singleton.h"
#include "common/corvanel_core/interfaces/xr_positionprovider.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/gdi/xr_gdi.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "common/ui/dialog/xr_builders.h"
#include "common/ui/dialog/xr_maemocommon.h"

namespace {

XrPositionProvider* position_provider()
{
    return static_cast<XrPositionProvider*>(XrSingleton::get_instance(XrString(L"XrPositionProvider")));
}

XrString text_of(int id)
{
    XrString out;
    get_translated_text(out, id);
    return out;
}

} // namespace

XrMaemoGpsDlg::XrMaemoGpsDlg(XrMapWindow* map_window) : map_window(map_window) {}

XrMaemoGpsDlg::~XrMaemoGpsDlg()
{
    if (dc != nullptr) {
        g_object_unref(dc->layout);
        delete dc;
    }
}

bool XrMaemoGpsDlg::open(XrMapWindow* map_window)
{
    if (map_window != nullptr) {
        if (map_window->is_busy())
            return false;
        map_window->set_busy(true);
    }
    (new XrMaemoGpsDlg(map_window))->show();
    return true;
}

void XrMaemoGpsDlg::show()
{
    dialog = create_compass_dlg();
    if (GtkWidget* top = XrMapWindow::get_toplevel())
        gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(top));
    XrMaemoCommon::set_dialog_title(dialog, text_of(R_MENU_GPS_STATUS), true);

    GtkWidget* area = XrMaemoCommon::lookup_widget(dialog, "drawingarea");
    gtk_widget_set_events(area, GDK_EXPOSURE_MASK);
    g_signal_connect(area, "expose_event", G_CALLBACK(on_expose), this);

    GtkWidget* spacer = gtk_label_new("         ");
    GtkWidget* check = gtk_check_button_new_with_label("Connect to GPS");
    g_object_set_data_full(G_OBJECT(dialog), "connect_gps_button", g_object_ref(check), g_object_unref);
    XrMaemoCommon::set_button_label(dialog, "connect_gps_button", text_of(R_STR_CONNECT_GPS));
    XrPositionProvider* positions = position_provider();
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), positions != nullptr && positions->is_connect_enabled());

    GtkWidget* actions = GTK_DIALOG(dialog)->action_area;
    gtk_button_box_set_layout(GTK_BUTTON_BOX(actions), GTK_BUTTONBOX_EDGE);
    gtk_box_set_spacing(GTK_BOX(actions), 40);
    gtk_container_add(GTK_CONTAINER(actions), check);
    gtk_container_add(GTK_CONTAINER(actions), spacer);
    GtkWidget* close_button = XrMaemoCommon::lookup_widget(dialog, "close_button");
    XrMaemoCommon::set_button_label(dialog, "close_button", text_of(R_STR_DLG_CLOSE));
    gtk_box_reorder_child(GTK_BOX(actions), check, 0);
    gtk_box_reorder_child(GTK_BOX(actions), close_button, 1);
    gtk_box_reorder_child(GTK_BOX(actions), spacer, 2);

    // Connected after the initial state: only the user's toggles act.
    g_signal_connect(check, "toggled", G_CALLBACK(on_connect_toggled), this);
    g_signal_connect(close_button, "clicked", G_CALLBACK(on_close_clicked), this);
    g_signal_connect(dialog, "response", G_CALLBACK(on_response), this);
    gtk_widget_show_all(dialog);
    g_printerr("GPS status window shown\n");
}

gboolean XrMaemoGpsDlg::on_expose(GtkWidget*, GdkEventExpose*, gpointer data)
{
    static_cast<XrMaemoGpsDlg*>(data)->draw();
    return FALSE;
}

void XrMaemoGpsDlg::draw()
{
    GtkWidget* area = XrMaemoCommon::lookup_widget(dialog, "drawingarea");
    if (area->window == nullptr)
        return;
    if (dc == nullptr) {
        dc = new XrDCHandleRec{};
        dc->drawable = area->window;
        dc->owns_drawable = 0;
        dc->gc = area->style->fg_gc[GTK_WIDGET_STATE(area)];
        dc->layout = gtk_widget_create_pango_layout(area, nullptr);
        dc->context = gtk_widget_get_pango_context(area);
        dc->brush = XrBrushHandle{0, XrBrushHandle::NullMarker, {0, 0, 0, 0}};
        dc->pen = XrPenHandle{{0, 0, 0, 0}, 1, XrPenHandle::Null};
        dc->font = nullptr;
        dc->text_color = GdkColor{0, 0, 0, 0};
        dc->transparent_text = 1;
    }
    const bool full = XrMapWindow::is_fullscreen();
    const int W = full ? 800 : 672, H = full ? 360 : 290, m = full ? 10 : 5;

    GdkGCValues saved;
    gdk_gc_get_values(dc->gc, &saved);
    if (signal_ctrl == nullptr) {
        signal_ctrl = XrSignalCtrl::create();
        signal_ctrl->set_reference_dc(dc);
    }
    if (position_ctrl == nullptr) {
        position_ctrl = XrGpsPositionCtrl::create();
        position_ctrl->set_reference_dc(dc);
    }

    XrPositionProvider* positions = position_provider();
    const bool fix = positions != nullptr && positions->get_position_info().has_fix();
    // A control re-creates its off-screen pixmap when placed: only when its
    // place changes (a fix found or lost, the window mode switched).
    auto place = [](XrControlBase* ctrl, const XrRectangle& rect) {
        if (!(ctrl->get_rectangle() == rect))
            ctrl->set_rectangle(rect);
    };
    if (!fix) {
        place(signal_ctrl, XrRectangle(m, m, W - m, H - m));
        signal_ctrl->draw(dc);
    } else {
        place(signal_ctrl, XrRectangle(W / 2 + m, m, W - m, H - m));
        place(position_ctrl, XrRectangle(m, m, W / 2 - m, H - m));
        signal_ctrl->draw(dc);
        position_ctrl->draw(dc);
    }
    gdk_gc_set_values(dc->gc, &saved, GDK_GC_FOREGROUND);

    if (refresh_timer != 0)
        g_source_remove(refresh_timer);
    refresh_timer = g_timeout_add(kRefreshMs, on_refresh_timer, this);
}

gboolean XrMaemoGpsDlg::on_refresh_timer(gpointer data)
{
    auto* self = static_cast<XrMaemoGpsDlg*>(data);
    self->refresh_timer = 0;
    gtk_widget_queue_draw(XrMaemoCommon::lookup_widget(self->dialog, "drawingarea"));
    return FALSE;
}

void XrMaemoGpsDlg::on_connect_toggled(GtkToggleButton* button, gpointer)
{
    if (XrPositionProvider* positions = position_provider())
        positions->set_connect_enabled(gtk_toggle_button_get_active(button) != FALSE);
}

gboolean XrMaemoGpsDlg::on_close_clicked(GtkButton*, gpointer data)
{
    static_cast<XrMaemoGpsDlg*>(data)->close();
    return TRUE;
}

void XrMaemoGpsDlg::on_response(GtkDialog*, gint response, gpointer data)
{
    if (response == GTK_RESPONSE_DELETE_EVENT)
        static_cast<XrMaemoGpsDlg*>(data)->close();
}

void XrMaemoGpsDlg::close()
{
    delete signal_ctrl;
    signal_ctrl = nullptr;
    delete position_ctrl;
    position_ctrl = nullptr;
    if (refresh_timer != 0) {
        g_source_remove(refresh_timer);
        refresh_timer = 0;
    }
    gtk_widget_destroy(dialog);
    dialog = nullptr;
    if (XrMapWindow* window = XrMapWindow::get_instance())
        window->set_busy(false);
    g_printerr("GPS status window closed\n");
    delete this;
}
