// The GTK side of a dialog. Only show, hide, the title, adding controls,
// adding commands (buttons of an own window) and responses act; the rest
// is accepted and ignored, since GTK boxes and the builders lay the
// windows out.
#pragma once

#include "common/container/xr_ptrarray.h"
#include "common/ui/dialog/xr_dialogbase.h"

#include <gtk/gtk.h>

class XrDialogImplMaemo : public XrDialogImpl {
public:
    // widget: a builder-made window (external), or null for an own one.
    explicit XrDialogImplMaemo(GtkWidget* widget);
    // Deletes the controls added to an external window, destroys the window.
    ~XrDialogImplMaemo() override;

    void set_display_mode(const int&) override {}
    // Not modal: shown, returns. Modal: runs the window; an external one
    // then destroys its dialog.
    void show(bool modal) override;
    void hide() override;
    // Applied to an own window when it is shown modally.
    void set_title(const XrString& title) override { m_title = title; }
    void set_icon(int) override {}
    void set_focused_control(void*) override {}
    void add_control(const int& page, XrControlBase* control, bool owned) override;
    void add_page(int, const XrString&, int) override {}
    int get_active_page() override { return 0; }
    void set_active_page(int) override {}
    void set_bitmap(int) override {}
    void set_page_mode(int) override {}
    void set_draw_focus_rect(bool) override {}
    void relayout() override {}
    void redraw() override {}
    void set_scrolling_enabled(bool) override {}
    void add_command_group(int, const XrString&) override {}
    void set_command_group_name(int, const XrString&) override {}
    // A button of an own window answering with the id.
    void add_command(int id, const XrString& text, const XrString& secondary, XrCommand::CommandType type,
                     int parameter) override;
    void add_close_command(int, XrCommand::CommandType) override {}
    void remove_command(int) override {}
    void set_command_text(int, const XrString&, const XrString&) override {}
    void set_default_command(int) override {}
    void set_command_disabled(int, bool) override {}
    void set_command_available(int, bool) override {}

    GtkWidget* get_widget() const { return m_widget; }
    bool is_external() const { return m_external; }
    // True while a modal show runs the window.
    bool is_running() const { return m_running; }
    int control_count() const { return m_controls.get_num_items(); }
    const XrString& get_title() const { return m_title; }

private:
    static void response(GtkDialog* dialog, gint id, gpointer impl);

    bool m_external = false;
    GtkWidget* m_widget = nullptr;
    XrPtrArray<XrControlBase*> m_controls;
    XrString m_title;
    gulong m_response_handler = 0;
    bool m_running = false;
    // Set by the destructor while a modal show runs: the dialog went away
    // during the run and must not be destroyed again.
    bool* m_gone = nullptr;
};
