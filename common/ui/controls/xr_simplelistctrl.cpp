#include "common/ui/controls/xr_simplelistctrl.h"

#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_eventloop.h"
#include "common/ui/fonts/xr_fontrepository.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr int FONT_FIRST_LINE = 22;
constexpr int FONT_EMPTY_TEXT = 23;
constexpr int FONT_SECOND_LINE = 24;

void* timer_data(int timer)
{
    return reinterpret_cast<void*>(static_cast<intptr_t>(timer));
}

int line_height(XrFontRepository* fonts, int font)
{
    if (fonts == nullptr)
        return 0;
    XrFontHandleRec* handle = fonts->get_font(font);
    if (handle == nullptr)
        return 0;
    int width = 0, height = 0;
    XrGDI::get_text_size(handle, L"Ag", &width, &height);
    return height;
}

} // namespace

XrSimpleListCtrl::XrSimpleListCtrl(int style)
    : m_style(style),
      m_first_normal(XrGDI::rgb(0, 0, 0)),
      m_first_high(XrGDI::rgb(255, 255, 255)),
      m_second_normal(XrGDI::rgb(0, 0, 0)),
      m_second_high(XrGDI::rgb(255, 255, 255))
{
    m_fonts = static_cast<XrFontRepository*>(XrSingleton::get_instance(XrString(L"XrFontRepository")));
    m_loop = xr_global_event_loop;
}

XrSimpleListCtrl::~XrSimpleListCtrl()
{
    if (m_loop != nullptr) {
        for (int timer = TIMER_BLINK; timer <= TIMER_MARQUEE_RESET; ++timer)
            m_loop->remove_timeout(this, timer_data(timer));
    }
    for (auto& entry : m_pixbufs) {
        if (entry.second != nullptr)
            g_object_unref(entry.second);
    }
}

XrSimpleListItemBase& XrSimpleListCtrl::get_item(int index)
{
    auto* item = static_cast<XrSimpleListItemBase*>(get_item_ptr(index));
    XR_ASSERT(item);
    return *item;
}

void XrSimpleListCtrl::construct()
{
    XrListCtrlBase::construct();
    add_listener(this);
}

void XrSimpleListCtrl::add_item(XrSimpleListItemBase* item)
{
    add_item(static_cast<XrListItem*>(item));
}

void XrSimpleListCtrl::add_item(const XrString& text, const XrString& detail, int icon_index, int icon_id)
{
    add_item(new XrSimpleListItem(text, detail, icon_index, icon_id));
}

void XrSimpleListCtrl::insert_item(XrSimpleListItemBase* item, int index)
{
    insert_item(static_cast<XrListItem*>(item), index);
}

void XrSimpleListCtrl::insert_item(const XrString& text, const XrString& detail, int index, int icon_index,
                                   int icon_id)
{
    insert_item(new XrSimpleListItem(text, detail, icon_index, icon_id), index);
}

void XrSimpleListCtrl::set_background(const XrBitmap& bitmap)
{
    m_background = bitmap;
    XR_ASSERT_MSG(m_background.bitmap(), "bitmap.bitmap()");
}

void XrSimpleListCtrl::set_background_alpha(const XrBitmap& bitmap)
{
    m_background_alpha = bitmap;
    XR_ASSERT_MSG(m_background_alpha.bitmap(), "bitmap_alpha.bitmap()");
}

void XrSimpleListCtrl::set_style(int style)
{
    m_style = style;
    m_metrics_valid = false;
}

void XrSimpleListCtrl::set_icon_bitmap(const XrBitmap& bitmap)
{
    m_icons = bitmap;
    XR_ASSERT_MSG(m_icons.bitmap(), "bitmap.bitmap()");
    m_metrics_valid = false;
}

void XrSimpleListCtrl::set_move_icon_index(int index)
{
    XR_ASSERT_MSG(m_icons.bitmap(), "bm_icons.bitmap()");
    m_move_icon = index;
}

void XrSimpleListCtrl::set_first_line_colors(XrColorHandle normal, XrColorHandle highlighted)
{
    m_first_normal = normal;
    m_first_high = highlighted;
}

void XrSimpleListCtrl::set_second_line_colors(XrColorHandle normal, XrColorHandle highlighted)
{
    m_second_normal = normal;
    m_second_high = highlighted;
}

void XrSimpleListCtrl::arm(int timer, int ms)
{
    if (m_loop != nullptr)
        m_loop->add_timeout(ms / 1000, ms % 1000, this, timer_data(timer));
}

void XrSimpleListCtrl::disarm(int timer)
{
    if (m_loop != nullptr)
        m_loop->remove_timeout(this, timer_data(timer));
}

void XrSimpleListCtrl::blink_and_select(bool select)
{
    m_blink_count = 0;
    if (m_loop == nullptr) {
        // No loop to blink on: the choice is made at once.
        if (select)
            XrListCtrlBase::select_active_item();
        m_selecting = false;
        return;
    }
    arm(select ? TIMER_BLINK_SELECT : TIMER_BLINK, BLINK_MS);
}

void XrSimpleListCtrl::select_active_item()
{
    m_selecting = true;
    if (!m_select_on_activate) {
        XrListCtrlBase::select_active_item();
        m_selecting = false;
        return;
    }
    blink_and_select(true);
}

void XrSimpleListCtrl::execute(XrEventloopBase*, void* data)
{
    const int timer = static_cast<int>(reinterpret_cast<intptr_t>(data));
    switch (timer) {
    case TIMER_BLINK:
    case TIMER_BLINK_SELECT:
        if (m_blink_count < BLINK_TOGGLES) {
            m_blink_phase = !m_blink_phase;
            ++m_blink_count;
            invalidate();
            refresh();
            arm(timer, BLINK_MS);
            return;
        }
        m_blink_phase = true;
        m_blink_count = 0;
        invalidate();
        refresh();
        if (timer == TIMER_BLINK_SELECT) {
            XrListCtrlBase::select_active_item();
            m_selecting = false;
        }
        return;
    case TIMER_MARQUEE_STEP: {
        m_marquee_active = true;
        m_marquee_offset += MARQUEE_STEP_PX;
        // Scrolls until the end of the text is in view, rests, starts over.
        if (m_marquee_offset >= marquee_overflow())
            arm(TIMER_MARQUEE_RESET, MARQUEE_DELAY_MS);
        else
            arm(TIMER_MARQUEE_STEP, MARQUEE_STEP_MS);
        refresh();
        return;
    }
    case TIMER_MARQUEE_RESET:
        m_marquee_active = true;
        m_marquee_offset = 0;
        arm(TIMER_MARQUEE_STEP, MARQUEE_DELAY_MS);
        refresh();
        return;
    default:
        return;
    }
}

int XrSimpleListCtrl::marquee_overflow()
{
    const int highlighted = get_highlighted();
    if (highlighted < 0 || highlighted >= item_count() || m_fonts == nullptr)
        return 0;
    XrFontHandleRec* font = m_fonts->get_font(FONT_FIRST_LINE);
    XrFontHandleRec* arrow_font = m_fonts->get_font(FONT_SECOND_LINE);
    if (font == nullptr)
        return 0;
    const XrString text = get_item(highlighted).get_text();
    int width = 0, height = 0, arrow = 0;
    XrGDI::get_text_size(font, text.c_str(), &width, &height);
    if (arrow_font != nullptr)
        XrGDI::get_text_size(arrow_font, L"\u00bb", &arrow, &height);
    const XrRectangle rect = get_rectangle();
    const int room = (rect.right - rect.left) - static_cast<int>(1.1 * arrow);
    return width > room ? width - room : 0;
}

void XrSimpleListCtrl::restart_marquee()
{
    m_marquee_offset = 0;
    m_marquee_active = false;
    disarm(TIMER_MARQUEE_STEP);
    disarm(TIMER_MARQUEE_RESET);
    if (marquee_overflow() > 0)
        arm(TIMER_MARQUEE_STEP, MARQUEE_DELAY_MS);
}

void XrSimpleListCtrl::set_selection(int index)
{
    set_highlighted(index);
    restart_marquee();
    invalidate();
}

void XrSimpleListCtrl::size_changed()
{
    XrListCtrlBase::size_changed();
    m_metrics_valid = false;
    compute_metrics();
}

int XrSimpleListCtrl::get_icon_size()
{
    return m_icons.bitmap() != nullptr ? m_icons.height() : 0;
}

void XrSimpleListCtrl::compute_metrics()
{
    if (m_metrics_valid)
        return;
    const int first = line_height(m_fonts, FONT_FIRST_LINE);
    const int second = line_height(m_fonts, FONT_SECOND_LINE);
    m_spacing = first / 5;
    m_double_spacing = 2 * m_spacing;
    const int one_line = m_double_spacing + (first > second ? first : second);
    const int two_lines = m_double_spacing + first + second + 2;
    RowMetrics* rows[2] = {&m_normal, &m_high};
    for (RowMetrics* row : rows) {
        const bool two = m_style == STYLE_TWO_LINES || (m_style == STYLE_HIGHLIGHT_TWO_LINES && row == &m_high);
        *row = RowMetrics();
        row->first_height = first;
        row->second_height = two ? second : 0;
        row->row_height = two ? two_lines : one_line;
        const int icon = get_icon_size();
        if (row->row_height < icon + m_double_spacing)
            row->row_height = icon + m_double_spacing;
        row->first_y = (row->row_height - (two ? first + second + 2 : first)) / 2;
        row->second_y = two ? row->first_y + first + 2 : row->first_y;
        row->icon_x = m_spacing;
        row->icon_y = (row->row_height - icon) / 2;
    }
    m_metrics_valid = true;
}

int XrSimpleListCtrl::total_height()
{
    const int count = item_count();
    if (count == 0)
        return 0;
    compute_metrics();
    if (get_highlighted() >= 0)
        return (count - 1) * m_normal.row_height + m_high.row_height;
    return count * m_normal.row_height;
}

bool XrSimpleListCtrl::tapped_within_radius(int x, int y) const
{
    if (m_press_x < 0 && m_press_y < 0)
        return false;
    const double dx = x - m_press_x, dy = y - m_press_y;
    return std::sqrt(dx * dx + dy * dy) < TAP_RADIUS;
}

bool XrSimpleListCtrl::handle_pointer_event(const XrPointerEvent& event)
{
    if (m_selecting)
        return true;
    switch (event.kind) {
    case POINTER_DOWN: {
        const int row = hit_test(event.x, event.y);
        if (row < 0)
            return false;
        m_pressed = row;
        m_press_x = event.x;
        m_press_y = event.y;
        if (row == get_highlighted())
            m_tap_on_highlight = true;
        else
            set_selection(row);
        return true;
    }
    case POINTER_UP: {
        m_pressed = -1;
        if (m_moving)
            stop_moving();
        const bool tap = m_tap_on_highlight && tapped_within_radius(event.x, event.y);
        m_press_x = m_press_y = -1;
        m_tap_on_highlight = false;
        if (tap)
            select_active_item();
        return false;
    }
    case POINTER_DRAG: {
        if (m_pressed < 0)
            return false;
        if (!m_moving && !tapped_within_radius(event.x, event.y)) {
            if (m_moving_enabled && item_count() >= 2)
                start_moving();
            m_tap_on_highlight = false;
        }
        const int row = hit_test(event.x, event.y);
        if (row != m_pressed + 1 && row != m_pressed - 1)
            return false;
        const bool down = row == m_pressed + 1;
        if (!m_moving && m_moving_enabled)
            start_moving();
        move_highlight(down ? MOVE_DOWN : MOVE_UP);
        const bool blocked = m_first_fixed && (down ? m_pressed == 0 : row == 0);
        if (m_moving_enabled && !blocked)
            swap_items(m_pressed, row);
        m_tap_on_highlight = false;
        m_pressed = row;
        return true;
    }
    default:
        return false;
    }
}

bool XrSimpleListCtrl::handle_key(int key)
{
    if (item_count() == 0 || m_selecting)
        return false;
    const int highlighted = get_highlighted();
    switch (key) {
    case KEY_UP:
    case KEY_DOWN: {
        if (!m_moving)
            return move_highlight(key == KEY_UP ? MOVE_UP : MOVE_DOWN);
        if (m_first_fixed && ((key == KEY_UP && highlighted == 1) || (key == KEY_DOWN && highlighted == item_count() - 1)))
            return true;
        const int neighbour = key == KEY_UP ? prev_item(highlighted) : next_item(highlighted);
        swap_items(highlighted, neighbour);
        move_highlight(key == KEY_UP ? MOVE_UP : MOVE_DOWN);
        return true;
    }
    case KEY_TOGGLE_MOVE:
    case KEY_TOGGLE_MOVE_2:
        if (m_moving_enabled && !(m_first_fixed && highlighted == 0)) {
            if (m_moving)
                stop_moving();
            else
                start_moving();
        }
        return true;
    case KEY_STOP_MOVE:
        if (m_moving)
            stop_moving();
        return true;
    default:
        return false;
    }
}

void XrSimpleListCtrl::start_moving()
{
    XR_ASSERT(m_moving_enabled);
    const int highlighted = get_highlighted();
    if (item_count() < (m_first_fixed ? 3 : 2) || highlighted < 0 || (m_first_fixed && highlighted == 0))
        return;
    m_moving = true;
    XrListItem* item = get_item_ptr(highlighted);
    notify([&](XrListCtrlListener* l) { l->moving_started(*item, highlighted); });
    refresh();
}

void XrSimpleListCtrl::stop_moving()
{
    XR_ASSERT(m_moving_enabled);
    m_moving = false;
    const int highlighted = get_highlighted();
    if (highlighted >= 0 && highlighted < item_count()) {
        XrListItem* item = get_item_ptr(highlighted);
        notify([&](XrListCtrlListener* l) { l->moving_stopped(*item, highlighted); });
    }
    refresh();
}

void XrSimpleListCtrl::swap_items(int index1, int index2)
{
    XR_ASSERT(items());
    XR_ASSERT(index1 >= 0 && index1 < item_count());
    XR_ASSERT(index2 >= 0 && index2 < item_count());
    if (item_count() == 1 || index1 == index2)
        return;
    XrListItem* first = items()->get_item(index1);
    XrListItem* second = items()->get_item(index2);
    items()->get_items()[index1] = second;
    items()->get_items()[index2] = first;
    items_swapped(index1, index2);
}

XrBitmap* XrSimpleListCtrl::icon_bitmap_of(const XrSimpleListItemBase& item)
{
    XrBitmap* bitmap = m_icons.bitmap() != nullptr ? &m_icons : nullptr;
    const int id = item.get_icon_id();
    if (item.get_icon_index() != -1 && id != 0 && id != -1) {
        auto found = m_icon_cache.find(id);
        if (found == m_icon_cache.end())
            found = m_icon_cache.emplace(id, std::make_unique<XrBitmap>(static_cast<unsigned int>(id), false)).first;
        if (found->second->bitmap() != nullptr)
            bitmap = found->second.get();
    }
    return bitmap;
}

GdkPixbuf* XrSimpleListCtrl::icon_pixbuf_of(const XrSimpleListItemBase& item)
{
    const int index = item.get_icon_index();
    if (index == -1)
        return nullptr;
    const std::pair<int, int> key(item.get_icon_id(), index);
    auto found = m_pixbufs.find(key);
    if (found != m_pixbufs.end())
        return found->second;
    GdkPixbuf* pixbuf = nullptr;
    if (item.get_icon_id() == FILE_ICON_ID) {
        wchar_t name[256];
        std::swprintf(name, 256, L"?:/kestrova/images/64x64_%02d.png", index + 1);
        const XrString path = XrPathResolver::resolve(XrString(name));
        std::string file;
        for (int i = 0; i < path.length(); ++i)
            file.push_back(static_cast<char>(path.c_str()[i]));
        pixbuf = gdk_pixbuf_new_from_file(file.c_str(), nullptr);
    } else if (XrBitmap* strip = icon_bitmap_of(item)) {
        const int side = strip->height();
        if (side > 0 && (index + 1) * side <= strip->width())
            pixbuf = XrGDI::bitmap_to_pixbuf(strip->bitmap(), index * side, 0, side, side);
    }
    m_pixbufs.emplace(key, pixbuf);
    return pixbuf;
}

void XrSimpleListCtrl::draw(XrDCHandleRec* dc) const
{
    const XrRectangle area = list_rect();
    auto* self = const_cast<XrSimpleListCtrl*>(this);
    if (self->m_background.bitmap() != nullptr)
        XrGDI::draw_bitmap(dc, area.left, area.top, area.right, area.bottom, self->m_background.bitmap(), area.left,
                           area.top);
    if (self->item_count() == 0 && m_empty_text.length() > 0) {
        XrGDI::set_text_color(dc, XrGDI::rgb(0, 0, 0));
        XrFontRepository::select_font(dc, FONT_EMPTY_TEXT);
        XrGDI::draw_bidi_text(dc, m_empty_text.c_str(), area, 15);
        return;
    }
    XrListCtrlBase::draw(dc);
}

void XrSimpleListCtrl::draw_item(XrDCHandleRec* dc, int index, const XrRectangle& rect) const
{
    auto* self = const_cast<XrSimpleListCtrl*>(this);
    const int rtl = is_right_to_left();
    XR_ASSERT_MSG(rtl == 0 || rtl == 1, "!\"Unsupported alignment!\"");
    const bool highlighted = index == get_highlighted() && m_blink_phase;
    const RowMetrics& m = highlighted ? m_high : m_normal;
    XrBitmap& back = highlighted ? self->m_background_alpha : self->m_background;
    if (back.bitmap() != nullptr) {
        XrGDI::draw_bitmap(dc, rect.left, rect.top, rect.right, rect.bottom, back.bitmap(), rect.left, rect.top);
    } else {
        XrGDI::select_pen(dc, XrGDI::get_stock_pen(XrGDI::StockBlackPen));
        if (highlighted)
            XrGDI::set_brush_color(dc, 100, 100, 255);
        else
            XrGDI::set_brush_color(dc, 255, 255, 150);
        XrGDI::draw_rectangle(dc, rect);
    }
    const XrSimpleListItemBase& item = self->get_item(index);
    XrBitmap* strip = nullptr;
    int cell = -1;
    if (index == get_highlighted() && m_moving && !(m_first_fixed && index == 0)) {
        XR_ASSERT_MSG(self->m_icons.bitmap(), "bm_icons.bitmap()");
        strip = &self->m_icons;
        cell = m_move_icon;
    } else if (item.get_icon_index() != -1) {
        strip = self->icon_bitmap_of(item);
        cell = item.get_icon_index();
    }
    int text_left = rect.left + m_spacing;
    if (strip != nullptr && cell >= 0 && strip->bitmap() != nullptr) {
        const int side = strip->height();
        const int x = rtl == 0 ? rect.left + m.icon_x : rect.right - m.icon_x - side;
        XrGDI::draw_bitmap_masked(dc, x, rect.top + m.icon_y, x + side, rect.top + m.icon_y + side, strip->bitmap(),
                                  cell * side, 0, strip->mask());
        text_left += side + m_spacing;
    }
    const XrColorHandle grey = XrGDI::rgb(192, 192, 192);
    const bool others_grey = m_moving && index != get_highlighted();
    XrGDI::set_opaque_text(dc, false);
    XrGDI::set_text_color(dc, others_grey ? grey : highlighted ? m_first_high : m_first_normal);
    XrFontRepository::select_font(dc, FONT_FIRST_LINE);
    const int shift = index == get_highlighted() ? (rtl == 0 ? -m_marquee_offset : m_marquee_offset) : 0;
    XrGDI::draw_text(dc, item.get_text().c_str(), XrPoint(text_left + shift, rect.top + m.first_y));
    if (m.second_height > 0) {
        XrGDI::set_text_color(dc, others_grey ? grey : highlighted ? m_second_high : m_second_normal);
        XrFontRepository::select_font(dc, FONT_SECOND_LINE);
        XrGDI::draw_text(dc, item.get_detail_text().c_str(), XrPoint(text_left, rect.top + m.second_y));
    }
    item.draw_extra(dc);
}
