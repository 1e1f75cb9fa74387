// The busy indication: a banner with an animation while a long operation
// runs or, when the operation can be cancelled (an observer is given), a
// modal message box with a Cancel button. There is at most one on screen:
// every busy object works on the one current widget, and showing a new one
// removes the old.
#pragma once

#include "common/corvanel_core/interfaces/xr_globalbusydialog.h"

#include <gtk/gtk.h>

class XrBusyDlgMaemo : public XrBusyDlg {
public:
    XrBusyDlgMaemo() = default;
    XrBusyDlgMaemo(const XrBusyDlgMaemo&) = delete;
    XrBusyDlgMaemo& operator=(const XrBusyDlgMaemo&) = delete;
    // Removes whatever busy widget is current.
    ~XrBusyDlgMaemo() override;

    // Replaces the current busy widget by a banner (no observer; drawn
    // before this returns) or by a message box whose Cancel calls the
    // observer's cancelled() once.
    void show(const XrString& text, XrBusyDlgObserver* observer);
    // New text on the current busy widget; nothing when none is shown.
    void set_text(const XrString& text) override;

    // Removes the current busy widget, if any.
    static void close_current();
    // The current busy widget, or null.
    static GtkWidget* get_current() { return s_current; }

    // Makes and shows one; the title is not shown on this platform. The
    // application installs it with XrBusyDlg::set_factory.
    static XrBusyDlg* create(const XrString& title, const XrString& text, XrBusyDlgObserver* observer);

private:
    static void response_callback(GtkDialog* dialog, gint response, XrBusyDlgMaemo* busy);

    XrBusyDlgObserver* m_observer = nullptr;

    static GtkWidget* s_current;
};
