// The root of every dialog, own or of a Java add-on. It forwards to a
// platform implementation created by construct(): on this platform a GTK
// dialog window, either one a builder made (external) or an empty
// gtk_dialog_new whose buttons are the dialog's commands (own).
//
// A dialog is created with new and deletes itself when it closes: a modal
// one when its run ends, a non-modal one from its response handler.
#pragma once

#include "common/container/xr_string.h"
#include "common/ui/controls/xr_command.h"
#include "common/ui/controls/xr_controlbase.h"

class XrDialogBase;

class XrUiEventHandler {
public:
    virtual ~XrUiEventHandler() = default;
    virtual void handle_command(int id) = 0;
    virtual bool handle_event_1() = 0;
    virtual bool handle_event_2() = 0;
    virtual bool handle_key_event(int key) = 0;
    virtual bool handle_pointer_event(const XrPointerEvent& event) = 0;
    virtual void handle_layout_change(const XrRectangle& rect) = 0;
    virtual void page_changed() = 0;
    virtual void handle_event_3() = 0;
};

class XrDialogImpl {
public:
    XrDialogImpl() = default;
    XrDialogImpl(const XrDialogImpl&) = delete;
    XrDialogImpl& operator=(const XrDialogImpl&) = delete;
    virtual ~XrDialogImpl() = default;

    virtual void set_display_mode(const int& mode) = 0;
    // Records the modal flag.
    virtual void show(bool modal) { m_modal = modal; }
    virtual void hide() = 0;
    virtual void set_title(const XrString& title) = 0;
    virtual void set_icon(int bitmap_id) = 0;
    virtual void set_focused_control(void* native) = 0;
    virtual void add_control(const int& page, XrControlBase* control, bool owned) = 0;
    virtual void add_page(int page, const XrString& title, int bitmap_id) = 0;
    virtual int get_active_page() = 0;
    virtual void set_active_page(int page) = 0;
    virtual void set_bitmap(int bitmap_id) = 0;
    virtual void set_page_mode(int mode) = 0;
    virtual void set_draw_focus_rect(bool draw) = 0;
    virtual void relayout() = 0;
    virtual void redraw() = 0;
    virtual void set_scrolling_enabled(bool enabled) = 0;
    virtual void add_command_group(int index, const XrString& name) = 0;
    virtual void set_command_group_name(int index, const XrString& name) = 0;
    virtual void add_command(int id, const XrString& text, const XrString& secondary, XrCommand::CommandType type,
                             int parameter) = 0;
    virtual void add_close_command(int id, XrCommand::CommandType type) = 0;
    virtual void remove_command(int id) = 0;
    virtual void set_command_text(int id, const XrString& text, const XrString& secondary) = 0;
    virtual void set_default_command(int id) = 0;
    virtual void set_command_disabled(int id, bool disabled) = 0;
    virtual void set_command_available(int id, bool available) = 0;

    void set_handler(XrUiEventHandler* handler) { m_handler = handler; }
    XrUiEventHandler* get_handler() const { return m_handler; }
    void set_dialog(XrDialogBase* dialog) { m_dialog = dialog; }
    XrDialogBase* get_dialog() const { return m_dialog; }
    bool is_modal() const { return m_modal; }

private:
    XrUiEventHandler* m_handler = nullptr;
    XrDialogBase* m_dialog = nullptr;
    bool m_modal = false;
};

class XrDialogBase : public XrUiEventHandler {
public:
    XrDialogBase() = default;
    XrDialogBase(const XrDialogBase&) = delete;
    XrDialogBase& operator=(const XrDialogBase&) = delete;
    // Deletes the implementation (and with it the window).
    ~XrDialogBase() override;

    void handle_command(int) override {}
    bool handle_event_1() override { return false; }
    bool handle_event_2() override { return false; }
    bool handle_key_event(int) override { return false; }
    bool handle_pointer_event(const XrPointerEvent&) override { return false; }
    void handle_layout_change(const XrRectangle&) override {}
    void page_changed() override {}
    void handle_event_3() override {}
    virtual int get_active_page();
    virtual void set_active_page(int page);
    virtual void set_command_disabled(int id, bool disabled);
    virtual void set_command_available(int id, bool available);
    // Builds the dialog's controls and commands; run by show().
    virtual void create_controls() {}
    // Only dialogs that receive hotkeys override it.
    virtual void handle_hotkey();

    // Once: the implementation for a builder-made window, or (null) for a
    // window of its own.
    void construct(void* widget);
    void set_display_mode(const int& mode);
    // create_controls, the dialog manager told, the platform shows. A modal
    // show of a builder-made window returns when the run has ended and the
    // dialog has deleted itself: the caller must not touch it afterwards.
    void show(bool modal);
    // Tells the dialog manager and deletes the dialog.
    void destroy();
    // Ends a running modal show.
    void hide();
    void set_title(const XrString& title);
    void set_icon(int bitmap_id);
    void set_focused_control(void** native);
    void set_focused_control(XrControlBase* control);
    void add_control(const int& page, XrControlBase* control, bool owned);
    void add_page(int page, const XrString& title, int bitmap_id);
    void set_bitmap(int bitmap_id);
    void set_page_mode(int mode);
    void set_draw_focus_rect(bool draw);
    void relayout();
    void redraw();
    void set_scrolling_enabled(bool enabled);
    void add_command_group(int index, const XrString& name);
    void set_command_group_name(int index, const XrString& name);
    void add_command(int id, const XrString& text, const XrString& secondary, XrCommand::CommandType type,
                     int parameter);
    void add_command(int id, const XrString& text, XrCommand::CommandType type, int parameter);
    void add_command(const XrCommand& command);
    void add_close_command(int id, XrCommand::CommandType type);
    void remove_command(int id);
    void set_command_text(int id, const XrString& text, const XrString& secondary);
    void set_default_command(int id);

    XrDialogImpl* get_impl() const { return m_impl; }

protected:
    // Deletes the implementation now (the window goes with it), for
    // dialogs that must report after their window has gone.
    void release_impl();

private:
    XrDialogImpl* m_impl = nullptr;
};
