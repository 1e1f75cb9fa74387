// One-line text entries. XrEditCtrlBase keeps the text, a blinking cursor
// phase while focused, and observers; XrEditCtrl is the GTK entry, whose
// every edit signal tells the observers; XrCaptionedEditCtrl puts an
// optional icon and caption in front of the entry.
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_string.h"
#include "common/os/xr_eventhandler.h"
#include "common/ui/controls/xr_controlbase.h"

#include <gtk/gtk.h>

class XrEditCtrlBase;
class XrEventloopBase;

class XrEditCtrlObserver {
public:
    virtual ~XrEditCtrlObserver() = default;
    // Not called by the controls of this toolkit.
    virtual void edit_finished(XrEditCtrlBase* control) = 0;
    // After every edit; the observer reads the text with get_text.
    virtual void text_changed(XrEditCtrlBase* control) = 0;
};

class XrEditCtrlBase : public XrControlBase, public XrEventHandler, public XrObservable<XrEditCtrlObserver> {
public:
    static constexpr int BLINK_MS = 250;

    XrEditCtrlBase(XrEventloopBase* loop, int setting1, int setting2);
    // Cancels the cursor timer.
    ~XrEditCtrlBase() override;

    virtual void set_text(const XrString& text) { m_text = text; }
    virtual XrString get_text() const { return m_text; }
    virtual void hook1() {}
    virtual void hook2() {}
    virtual void hook3() {}
    virtual void hook4() {}
    // Gaining focus starts the cursor blinking.
    virtual void set_focus(bool focus);
    virtual void blink();

    // XrEventHandler: the cursor timer.
    void execute(XrEventloopBase*, void*) override { blink(); }

    bool has_focus() const { return m_focused; }
    bool get_cursor_phase() const { return m_phase; }

protected:
    void notify_text_changed();

private:
    int m_setting1;
    int m_setting2;
    XrEventloopBase* m_loop;
    int m_extra1 = 0;
    int m_extra2 = 1;
    XrString m_text;
    bool m_phase = false;
    bool m_focused = false;
};

class XrEditCtrl : public XrEditCtrlBase {
public:
    // Creates its own entry.
    XrEditCtrl(XrEventloopBase* loop, int setting1, int setting2);
    ~XrEditCtrl() override;

    // native: a GtkEntry, which replaces the one held.
    void set_native_control(void* native) override;
    void set_text(const XrString& text) override;
    XrString get_text() const override;

    GtkWidget* get_entry() const { return m_entry; }

private:
    static void edited(GtkWidget*, gpointer control);
    static void text_deleted(GtkEditable*, gint, gint, gpointer control);
    void release_entry();

    GtkWidget* m_entry = nullptr;
};

class XrCaptionedEditCtrl : public XrEditCtrl {
public:
    // An empty caption or icon path leaves that part out.
    XrCaptionedEditCtrl(XrEventloopBase* loop, const XrString& caption, const XrString& icon_path);
    ~XrCaptionedEditCtrl() override;

    GtkWidget* get_box() const { return m_box; }
    GtkWidget* get_caption() const { return m_caption; }
    GtkWidget* get_icon() const { return m_icon; }

private:
    GtkWidget* m_box;
    GtkWidget* m_caption = nullptr;
    GtkWidget* m_icon = nullptr;
};
