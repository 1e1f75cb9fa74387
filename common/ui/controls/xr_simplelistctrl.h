// The list control with two-line text items and icons, a background,
// moving items (reordering by drag or keys), a blink on selection, a
// scrolling first line on the highlighted row and its own drawing through
// the system's GDI. It listens to itself.
#pragma once

#include "common/os/xr_eventhandler.h"
#include "common/ui/controls/xr_listctrlbase.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <map>
#include <memory>
#include <unordered_map>

class XrEventloopBase;
class XrFontRepository;

class XrSimpleListItemBase : public XrListItem {
public:
    virtual XrString get_text() const = 0;
    virtual XrString get_detail_text() const = 0;
    // Position of the icon in its strip, -1 for none.
    virtual int get_icon_index() const = 0;
    // The icon set; 0 or -1 for the list's own strip.
    virtual int get_icon_id() const = 0;
    virtual void draw_extra(XrDCHandleRec*) const {}
};

class XrSimpleListItem : public XrSimpleListItemBase {
public:
    XrSimpleListItem(const XrString& text, const XrString& detail, int icon_index, int icon_id)
        : m_text(text), m_detail(detail), m_icon_index(icon_index), m_icon_id(icon_id)
    {
    }
    XrString get_text() const override { return m_text; }
    XrString get_detail_text() const override { return m_detail; }
    int get_icon_index() const override { return m_icon_index; }
    int get_icon_id() const override { return m_icon_id; }
    void set_text(const XrString& text) { m_text = text; }
    void set_detail_text(const XrString& detail) { m_detail = detail; }
    void set_icon_index(int index) { m_icon_index = index; }
    void set_icon_id(int id) { m_icon_id = id; }

private:
    XrString m_text;
    XrString m_detail;
    int m_icon_index;
    int m_icon_id;
};

class XrSimpleListCtrl : public XrListCtrlBase, public XrEventHandler, public XrListCtrlListener {
public:
    // Rows: 0 = one line, both texts side by side; 1 = the highlighted row
    // shows two lines; 2 = every row shows two lines.
    enum Style { STYLE_ONE_LINE = 0, STYLE_HIGHLIGHT_TWO_LINES = 1, STYLE_TWO_LINES = 2 };
    // Keys besides XrListCtrlBase's up and down.
    enum { KEY_TOGGLE_MOVE = 2, KEY_TOGGLE_MOVE_2 = 3, KEY_STOP_MOVE = 4 };
    enum PointerKind { POINTER_DOWN = 0, POINTER_UP = 1, POINTER_DRAG = 2 };
    // Timers on the application's event loop.
    enum Timer { TIMER_BLINK = 1, TIMER_BLINK_SELECT = 2, TIMER_MARQUEE_STEP = 3, TIMER_MARQUEE_RESET = 4 };
    static constexpr int BLINK_MS = 100;
    static constexpr int BLINK_TOGGLES = 5;
    static constexpr int MARQUEE_DELAY_MS = 1500;
    static constexpr int MARQUEE_STEP_MS = 100;
    static constexpr int MARQUEE_STEP_PX = 2;
    static constexpr double TAP_RADIUS = 7.0;

    struct RowMetrics {
        int first_y = 0, second_y = 0, first_height = 0, second_height = 0;
        int icon_x = 0, icon_y = 0, row_height = 0, text_width = 0;
    };

    explicit XrSimpleListCtrl(int style);
    // Stops the timers; frees the cached icons.
    ~XrSimpleListCtrl() override;

    XrSimpleListItemBase& get_item(int index);

    virtual void construct();
    using XrListCtrlBase::add_item;
    using XrListCtrlBase::insert_item;
    virtual void add_item(XrSimpleListItemBase* item);
    virtual void add_item(const XrString& text, const XrString& detail, int icon_index, int icon_id);
    virtual void insert_item(XrSimpleListItemBase* item, int index);
    virtual void insert_item(const XrString& text, const XrString& detail, int index, int icon_index, int icon_id);
    virtual void set_background(const XrBitmap& bitmap);
    virtual void set_background_alpha(const XrBitmap& bitmap);
    virtual void set_style(int style);
    virtual void set_icon_bitmap(const XrBitmap& bitmap);
    virtual void set_third_bitmap(const XrBitmap& bitmap) { m_third = bitmap; }
    virtual XrBitmap get_third_bitmap() const { return m_third; }
    virtual void set_move_icon_index(int index);
    // Blinks the highlight; then, with select, tells the listeners.
    virtual void blink_and_select(bool select);
    virtual void draw_item(XrDCHandleRec* dc, int index, const XrRectangle& rect) const;
    virtual void compute_metrics();
    virtual int get_icon_size();
    virtual void restart_marquee();

    // XrListCtrlBase
    void set_selection(int index) override;
    void size_changed() override;
    bool handle_pointer_event(const XrPointerEvent& event) override;
    void select_active_item() override;
    bool handle_key(int key) override;
    void draw(XrDCHandleRec* dc) const override;

    // XrEventHandler: the timers.
    void execute(XrEventloopBase* loop, void* data) override;

    // XrListCtrlListener: the control hears itself; nothing to do.
    void item_added(XrListItem*, int) override {}
    void item_removed(XrListItem*, int) override {}
    void item_changed(XrListItem*, int) override {}
    void item_selected(XrListItem&, int) override {}
    void moving_started(XrListItem&, int) override {}
    void moving_stopped(XrListItem&, int) override {}

    void start_moving();
    void stop_moving();
    void swap_items(int index1, int index2);
    void set_moving_enabled(bool enabled) { m_moving_enabled = enabled; }
    bool get_moving_enabled() const { return m_moving_enabled; }
    bool is_moving() const { return m_moving; }
    void set_first_item_fixed(bool fixed) { m_first_fixed = fixed; }
    void set_select_on_activate(bool select) { m_select_on_activate = select; }
    void set_first_line_colors(XrColorHandle normal, XrColorHandle highlighted);
    void set_second_line_colors(XrColorHandle normal, XrColorHandle highlighted);
    void set_empty_text(const XrString& text) { m_empty_text = text; }
    int total_height();

    bool get_blink_phase() const { return m_blink_phase; }
    bool is_selecting() const { return m_selecting; }
    int get_marquee_offset() const { return m_marquee_offset; }
    bool is_marquee_active() const { return m_marquee_active; }
    int get_style() const { return m_style; }
    const RowMetrics& get_metrics(bool highlighted) const { return highlighted ? m_high : m_normal; }

    // The strip an item's icon comes from: the id's strip from the icon
    // cache when the item names one, else the list's own; null when none.
    XrBitmap* icon_bitmap_of(const XrSimpleListItemBase& item);
    // The item's icon as a pixbuf (not referenced for the caller), cached by
    // icon id and index: a file icon or a square of its strip. Null when
    // the item has none.
    GdkPixbuf* icon_pixbuf_of(const XrSimpleListItemBase& item);

    // Icons of this id are numbered image files rather than a strip.
    static constexpr int FILE_ICON_ID = 0x49A70015;

protected:
    // The area the rows are drawn in; empty here (GTK draws the rows).
    virtual XrRectangle list_rect() const { return XrRectangle(); }
    // The first line's width beyond the row: how far the marquee scrolls.
    int marquee_overflow();
    // Two items changed places (the platform view follows).
    virtual void items_swapped(int, int) {}

private:
    void arm(int timer, int ms);
    void disarm(int timer);
    bool tapped_within_radius(int x, int y) const;

    int m_style;
    XrFontRepository* m_fonts = nullptr;
    XrEventloopBase* m_loop = nullptr;
    RowMetrics m_high, m_normal;
    int m_spacing = 0;
    int m_double_spacing = 0;
    XrString m_empty_text;
    XrBitmap m_background, m_background_alpha, m_third;
    std::unordered_map<int, std::unique_ptr<XrBitmap>> m_icon_cache;
    std::map<std::pair<int, int>, GdkPixbuf*> m_pixbufs;
    XrBitmap m_icons;
    int m_blink_count = 0;
    bool m_blink_phase = true;
    bool m_metrics_valid = false;
    bool m_moving_enabled = false;
    bool m_first_fixed = false;
    bool m_moving = false;
    int m_move_icon = -1;
    int m_marquee_offset = 0;
    bool m_marquee_active = false;
    bool m_select_on_activate = true;
    int m_pressed = -1;
    int m_press_x = -1, m_press_y = -1;
    bool m_tap_on_highlight = false;
    XrColorHandle m_first_normal, m_first_high, m_second_normal, m_second_high;
    bool m_selecting = false;
};
