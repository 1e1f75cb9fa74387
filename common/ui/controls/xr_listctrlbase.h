// The platform-independent list control: it owns its items, keeps a
// highlighted position, tells its listeners of additions, removals,
// selections and moves, and leaves the platform's view to an
// XrListCtrlImpl created by construct().
#pragma once

#include "common/container/xr_ptrarray.h"
#include "common/container/xr_string.h"
#include "common/ui/controls/xr_controlbase.h"

class XrListCtrlImpl;
class XrListModel;
class XrListRenderer;

// The base of all items; a list control owns the items it holds.
class XrListItem {
public:
    virtual ~XrListItem() = default;
};

// Listeners are called in the order in which they were added.
class XrListCtrlListener {
public:
    virtual ~XrListCtrlListener() = default;
    // After add_item: the count after the append; after insert_item: the
    // insertion index.
    virtual void item_added(XrListItem* item, int position) = 0;
    // The item is deleted right after the call.
    virtual void item_removed(XrListItem* item, int index) = 0;
    virtual void item_changed(XrListItem* item, int index) = 0;
    // The user chose the highlighted item.
    virtual void item_selected(XrListItem& item, int index) = 0;
    virtual void moving_started(XrListItem& item, int index) = 0;
    virtual void moving_stopped(XrListItem& item, int index) = 0;
};

class XrListCtrlBase : public XrControlBase {
public:
    enum MoveDirection { MOVE_DOWN = 0, MOVE_UP = 1 };
    enum Key { KEY_UP = 0, KEY_DOWN = 1 };

    XrListCtrlBase();
    // Deletes the items and the platform view.
    ~XrListCtrlBase() override;

    // Must follow construction: items array and platform view.
    void construct();

    virtual void set_model(XrListModel* model);
    virtual void set_renderer(int column, XrListRenderer* renderer);
    virtual void set_column_title(int column, const XrString& title);
    virtual void add_item(XrListItem* item);
    virtual void insert_item(XrListItem* item, int index);
    virtual void remove_item(int index);
    // Listeners are not told.
    virtual void remove_all_items();
    // item_selected for the highlighted item, if any.
    virtual void select_active_item();
    // Makes the platform view select a row; nothing in the base.
    virtual void set_selection(int index);
    virtual int get_selection();
    // KEY_UP / KEY_DOWN move the highlight in a non-empty list.
    virtual bool handle_key(int key);
    virtual int item_count();
    virtual void draw(XrDCHandleRec* dc) const;
    virtual void list_hook() {}
    virtual XrListItem* get_item_ptr(int index);

    void size_changed() override;
    bool handle_pointer_event(const XrPointerEvent& event) override;

    void add_listener(XrListCtrlListener* listener);
    // The listener must have been added.
    void remove_listener(XrListCtrlListener* listener);
    int listener_count() const { return m_listeners.get_num_items(); }

    int next_item(int index);
    int prev_item(int index);
    bool move_highlight(MoveDirection direction);

    int get_highlighted() const { return m_highlighted; }
    void set_highlighted(int index) { m_highlighted = index; }
    bool get_wrap() const { return m_wrap; }
    void set_wrap(bool wrap) { m_wrap = wrap; }
    bool get_display_flag() const { return m_display; }
    void set_display_flag(bool display) { m_display = display; }
    int get_scroll_position() const { return m_scroll; }
    int is_right_to_left() const { return m_rtl; }
    XrListCtrlImpl* get_impl() const { return m_impl; }

protected:
    // The row under a point; -1 on this platform (GTK takes pointer input).
    virtual int hit_test(int x, int y) const;
    template <class F>
    void notify(F&& fn)
    {
        for (int i = 0; i < m_listeners.get_num_items(); ++i)
            fn(m_listeners.get_item(i));
    }
    XrPtrArray<XrListItem*>* items() const { return m_items; }

private:
    XrPtrArray<XrListItem*>* m_items = nullptr;
    int m_highlighted = -1;
    XrListCtrlImpl* m_impl = nullptr;
    XrPtrArray<XrListCtrlListener*> m_listeners;
    bool m_wrap = true;
    bool m_display = true;
    int m_scroll = 0;
    int m_rtl = 0;
};
