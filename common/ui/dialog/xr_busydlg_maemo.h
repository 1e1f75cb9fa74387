// The busy indication: a banner with an animation while a long operation
// runs or, when the operation can be cancelled (an observer is given), a
// modal message box with a Cancel button. There is at most one on screen:
// showing a new one removes the old. Each busy object closes only the
// widget it showed, so ending an older operation leaves a newer one's
// indication (and its Cancel) alone.
#pragma once

#include "common/corvanel_core/interfaces/xr_globalbusydialog.h"

#include <gtk/gtk.h>

class XrBusyDlgMaemo : public XrBusyDlg {
public:
    XrBusyDlgMaemo() = default;
    XrBusyDlgMaemo(const XrBusyDlgMaemo&) = delete;
    XrBusyDlgMaemo& operator=(const XrBusyDlgMaemo&) = delete;
    // Removes the busy widget this object showed, if it is still shown.
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
    // True while the current busy widget is the one this object showed.
    bool is_current() const { return s_current != nullptr && s_owner == this; }

    // Makes and shows one; the title is not shown on this platform. The
    // application installs it with XrBusyDlg::set_factory.
    static XrBusyDlg* create(const XrString& title, const XrString& text, XrBusyDlgObserver* observer);

private:
    static void response_callback(GtkDialog* dialog, gint response, XrBusyDlgMaemo* busy);

    XrBusyDlgObserver* m_observer = nullptr;

    static GtkWidget* s_current;
    // The busy object that showed the current widget.
    static const XrBusyDlgMaemo* s_owner;
};
