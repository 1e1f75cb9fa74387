#include "apps/maemo_map/xr_updateprogress.h"

#include "common/base/xr_singleton.h"
#include "common/corvanel_core/interfaces/xr_applicationprovider.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "common/os/xr_eventloopbase.h"
#include "common/ui/dialog/xr_builders.h"
#include "common/ui/dialog/xr_maemocommon.h"

#include <algorithm>

namespace {

XrString text_of(int id)
{
    XrString out;
    get_translated_text(out, id);
    return out;
}

struct Stage {
    const char* name;
    int text_id;
    double start, weight;
};

const Stage stages[] = {
    {"prepare", R_STR_MAP_DL_PREPARE, 0.0, 0.1},
    {"download", R_STR_MAP_DL_DOWNLOAD, 0.1, 0.5},
    {"construct", R_STR_MAP_DL_CONSTRUCT, 0.6, 0.1},
    {"install", R_STR_MAP_DL_INSTALL, 0.7, 0.3},
};

} // namespace

XrUpdateProgress::XrUpdateProgress(XrUpdateProgressOwner* o, int title_text_id) : owner(o)
{
    window = XrMaemoCommon::create_modal_dialog(create_download_progress, owner->get_window());
    XrMaemoCommon::set_dialog_title(window, text_of(title_text_id), false);
    XrMaemoCommon::set_button_label(window, "cancel", text_of(R_STR_DLG_CANCEL));
    g_signal_connect(XrMaemoCommon::lookup_widget(window, "cancel"), "clicked", G_CALLBACK(on_cancel_clicked),
                     window);
    if (auto* app = static_cast<XrApplicationProvider*>(
            XrSingleton::get_instance(XrString(L"XrApplicationProvider"))))
        loop = app->get_event_loop();
    if (loop != nullptr)
        loop->add_timeout(0, 0, this, nullptr);
}

XrUpdateProgress::~XrUpdateProgress()
{
    if (loop != nullptr)
        loop->remove_timeout(this, nullptr);
    if (window != nullptr)
        gtk_widget_destroy(window);
}

void XrUpdateProgress::on_cancel_clicked(GtkButton*, gpointer window)
{
    gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_CLOSE);
}

void XrUpdateProgress::execute(XrEventloopBase*, void*)
{
    if (window == nullptr)
        return;
    running = true;
    response = gtk_dialog_run(GTK_DIALOG(window));
    if (window != nullptr) {
        gtk_widget_destroy(window);
        window = nullptr;
    }
    // The owner may delete this window from cancel_operation: last.
    if (response != GTK_RESPONSE_ACCEPT)
        owner->cancel_operation();
}

void XrUpdateProgress::close(int r)
{
    if (window == nullptr)
        return;
    if (running) {
        gtk_dialog_response(GTK_DIALOG(window), r);
        return;
    }
    response = r;
    gtk_widget_destroy(window);
    window = nullptr;
}

void XrUpdateProgress::set_status(const XrString& name)
{
    if (window == nullptr)
        return;
    stage = 3;
    for (int i = 0; i < 4; ++i)
        if (name == XrString(stages[i].name)) {
            stage = i;
            XrMaemoCommon::set_label_text(window, "status", text_of(stages[i].text_id));
            return;
        }
    XrMaemoCommon::set_label_text(window, "status", name);
}

void XrUpdateProgress::set_cancel_sensitive(bool sensitive)
{
    if (window != nullptr)
        XrMaemoCommon::set_widget_sensitive(window, "cancel", sensitive);
}

double XrUpdateProgress::overall_fraction(int stage, double fraction)
{
    const Stage& s = stages[std::clamp(stage, 0, 3)];
    return s.start + s.weight * std::clamp(fraction, 0.0, 1.0);
}

void XrUpdateProgress::set_fraction(double fraction)
{
    if (window != nullptr)
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(XrMaemoCommon::lookup_widget(window, "progressbar1")),
                                      overall_fraction(stage, fraction));
}
