// The progress window of a list fetch or a component update: the stage's
// text, a bar over the four stages and a cancel button. Its modal run starts
// from a zero-delay timeout, so its creator returns first and the update
// manager's reports move it while it is shown.
#pragma once

#include "common/container/xr_string.h"
#include "common/os/xr_eventhandler.h"

#include <gtk/gtk.h>

class XrUpdateProgressOwner {
public:
    virtual ~XrUpdateProgressOwner() = default;
    // The user ended the window (its cancel button or the window manager).
    virtual void cancel_operation() = 0;
    virtual GtkWidget* get_window() const = 0;
};

class XrUpdateProgress : public XrEventHandler {
public:
    XrUpdateProgress(XrUpdateProgressOwner* owner, int title_text_id);
    ~XrUpdateProgress() override;
    XrUpdateProgress(const XrUpdateProgress&) = delete;
    XrUpdateProgress& operator=(const XrUpdateProgress&) = delete;

    void execute(XrEventloopBase* loop, void* data) override;

    // Ends the window with the response; GTK_RESPONSE_ACCEPT is the
    // program's own close and calls nobody.
    void close(int response);
    // The stage by name: "prepare", "download", "construct", "install"; any
    // other name is shown as it is and weighs like "install".
    void set_status(const XrString& stage);
    void set_cancel_sensitive(bool sensitive);
    // The fraction (0 to 1) of the current stage.
    void set_fraction(double fraction);
    int get_response() const { return response; }
    int get_stage() const { return stage; }
    bool is_open() const { return window != nullptr; }
    // The bar's value over all four stages.
    static double overall_fraction(int stage, double fraction);

private:
    static void on_cancel_clicked(GtkButton*, gpointer window);

    XrUpdateProgressOwner* owner;
    GtkWidget* window = nullptr;
    bool running = false;
    int response = 0;
    int stage = 0;
    XrEventloopBase* loop = nullptr;
};
