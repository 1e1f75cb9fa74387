#include "common/ui/controls/xr_listctrlbase.h"

#include "common/misc/xr_locale_dummy.h"
#include "common/ui/controls/xr_listctrlimpl.h"

XrListCtrlBase::XrListCtrlBase() : m_listeners(8) {}

XrListCtrlBase::~XrListCtrlBase()
{
    XR_ASSERT(m_impl);
    XR_ASSERT(m_items);
    remove_all_items();
    delete m_impl;
    delete m_items;
}

void XrListCtrlBase::construct()
{
    m_rtl = XrLocale::get_text_direction() == XrLocale::RightToLeft ? 1 : 0;
    m_items = new XrPtrArray<XrListItem*>(8);
    m_impl = new XrListCtrlImplMaemo(this);
    XR_ASSERT(m_impl);
}

void XrListCtrlBase::set_model(XrListModel* model)
{
    XR_ASSERT(model);
    m_impl->set_model(model);
}

void XrListCtrlBase::set_renderer(int column, XrListRenderer* renderer)
{
    XR_ASSERT(renderer);
    m_impl->set_renderer(column, renderer);
}

void XrListCtrlBase::set_column_title(int column, const XrString& title)
{
    m_impl->set_column_title(column, title);
}

void XrListCtrlBase::add_item(XrListItem* item)
{
    XR_ASSERT(m_items);
    if (m_highlighted == -1 && m_items->get_num_items() == 0)
        m_highlighted = 0;
    m_items->append(item);
    m_impl->rows_changed(1, 1);
    const int count = m_items->get_num_items();
    notify([&](XrListCtrlListener* l) { l->item_added(item, count); });
    refresh();
}

void XrListCtrlBase::insert_item(XrListItem* item, int index)
{
    XR_ASSERT(m_items);
    XR_ASSERT(index >= 0 && index <= item_count());
    m_items->insert(item, index);
    // The highlight stays on its item: rows at or after the insertion move
    // down by one. The first item of an empty list becomes highlighted, as
    // with add_item.
    if (m_highlighted >= index)
        ++m_highlighted;
    else if (m_highlighted == -1 && m_items->get_num_items() == 1)
        m_highlighted = 0;
    m_impl->rows_changed(1, 1);
    notify([&](XrListCtrlListener* l) { l->item_added(item, index); });
    refresh();
}

void XrListCtrlBase::remove_item(int index)
{
    XR_ASSERT(m_items);
    XrListItem* item = m_items->get_item(index);
    XR_ASSERT(index >= 0 && index < m_items->get_num_items());
    m_items->remove_item(index);
    if (m_highlighted > m_items->get_num_items() - 1)
        m_highlighted = m_items->get_num_items() - 1;
    notify([&](XrListCtrlListener* l) { l->item_removed(item, index); });
    delete item;
    refresh();
}

void XrListCtrlBase::remove_all_items()
{
    XR_ASSERT(m_items);
    for (int i = m_items->get_num_items() - 1; i >= 0; --i) {
        XrListItem* item = m_items->get_item(i);
        m_items->remove_item(i);
        delete item;
    }
    m_highlighted = -1;
    m_scroll = 0;
    refresh();
}

void XrListCtrlBase::select_active_item()
{
    XR_ASSERT(m_items);
    if (m_highlighted < 0 || m_highlighted >= m_items->get_num_items())
        return;
    XrListItem* item = m_items->get_item(m_highlighted);
    const int index = m_highlighted;
    notify([&](XrListCtrlListener* l) { l->item_selected(*item, index); });
}

void XrListCtrlBase::set_selection(int) {}

int XrListCtrlBase::get_selection()
{
    return m_impl != nullptr ? m_impl->get_selection() : -1;
}

bool XrListCtrlBase::handle_key(int key)
{
    if (item_count() == 0)
        return false;
    if (key == KEY_UP)
        return move_highlight(MOVE_UP);
    if (key == KEY_DOWN)
        return move_highlight(MOVE_DOWN);
    return false;
}

int XrListCtrlBase::item_count()
{
    XR_ASSERT(m_items);
    return m_items->get_num_items();
}

void XrListCtrlBase::draw(XrDCHandleRec*) const {}

XrListItem* XrListCtrlBase::get_item_ptr(int index)
{
    XR_ASSERT(m_items);
    XR_ASSERT(index >= 0);
    XR_ASSERT(index < m_items->get_num_items());
    return m_items->get_item(index);
}

void XrListCtrlBase::size_changed()
{
    if (m_highlighted != -1) {
        const int old = m_highlighted;
        m_highlighted = -1;
        set_selection(old);
    }
}

bool XrListCtrlBase::handle_pointer_event(const XrPointerEvent& event)
{
    if (event.kind != XrPointerEvent::POINTER_DOWN)
        return false;
    const int row = hit_test(event.x, event.y);
    if (row < 0 || row == get_selection())
        return false;
    set_selection(row);
    return true;
}

int XrListCtrlBase::hit_test(int, int) const
{
    return -1;
}

void XrListCtrlBase::add_listener(XrListCtrlListener* listener)
{
    XR_ASSERT(listener);
    m_listeners.append(listener);
}

void XrListCtrlBase::remove_listener(XrListCtrlListener* listener)
{
    for (int i = 0; i < m_listeners.get_num_items(); ++i) {
        if (m_listeners.get_item(i) == listener) {
            m_listeners.remove_item(i);
            return;
        }
    }
    XR_ASSERT(false);
}

int XrListCtrlBase::next_item(int index)
{
    XR_ASSERT(m_items);
    XR_ASSERT(item_count() > 0);
    XR_ASSERT(index >= 0 && index < item_count());
    if (index + 1 < item_count())
        return index + 1;
    return m_wrap ? 0 : index;
}

int XrListCtrlBase::prev_item(int index)
{
    XR_ASSERT(m_items);
    XR_ASSERT(item_count() > 0);
    XR_ASSERT(index >= 0 && index < item_count());
    if (index > 0)
        return index - 1;
    return m_wrap ? item_count() - 1 : index;
}

bool XrListCtrlBase::move_highlight(MoveDirection direction)
{
    XR_ASSERT(m_items);
    const int count = item_count();
    if (count == 0)
        return false;
    int target;
    if (direction == MOVE_DOWN) {
        if (m_highlighted == -1) {
            set_selection(0);
            return true;
        }
        target = next_item(m_highlighted);
    } else {
        if (m_highlighted == -1) {
            set_selection(count - 1);
            return true;
        }
        target = prev_item(m_highlighted);
    }
    if (target == m_highlighted)
        return false;
    set_selection(target);
    invalidate();
    return true;
}
