#include "common/ui/layout/xr_layout.h"

#include "common/container/xr_defs.h"
#include "common/ui/controls/xr_controlbase.h"

XrLayoutItem::XrLayoutItem(void* native)
{
    XR_ASSERT_MSG(native, "_control");
    m_control = new XrControlBase(native);
    m_owns_control = true;
}

XrLayoutItem::XrLayoutItem(XrControlBase* control)
{
    XR_ASSERT_MSG(control, "_control");
    XR_ASSERT_MSG(control->get_control(), "_control->get_control()");
    m_control = control;
}

XrLayoutItem::XrLayoutItem(XrLayout* layout)
{
    XR_ASSERT(layout);
    m_layout = layout;
}

XrLayoutItem::~XrLayoutItem()
{
    if (m_owns_control) {
        XR_ASSERT(m_control);
        delete m_control;
    }
}

void XrLayoutItem::drop_owned_control()
{
    if (m_owns_control)
        delete m_control;
    m_control = nullptr;
    m_owns_control = false;
}

void XrLayoutItem::init(void* native)
{
    XR_ASSERT_MSG(native, "_control");
    XR_ASSERT_MSG(!m_layout, "!layout");
    drop_owned_control();
    m_control = new XrControlBase(native);
    m_owns_control = true;
}

void XrLayoutItem::init(XrControlBase* control)
{
    XR_ASSERT_MSG(control, "_control");
    XR_ASSERT_MSG(!m_layout, "!layout");
    drop_owned_control();
    m_control = control;
}

void XrLayoutItem::init(XrLayout* layout)
{
    XR_ASSERT_MSG(layout, "_layout");
    XR_ASSERT_MSG(!m_control, "!control");
    m_layout = layout;
}

void XrLayoutItem::layout_item(const XrRectangle& rect)
{
    XR_ASSERT_MSG(!(m_control && m_layout), "!(control && layout)");
    XR_ASSERT_MSG(m_control || m_layout, "control || layout");
    if (m_control != nullptr)
        m_control->set_rectangle(rect);
    else
        m_layout->layout_controls(rect);
}

XrSize XrLayoutItem::minimum_size() const
{
    XR_ASSERT_MSG(m_control || m_layout, "control || layout");
    if (m_control != nullptr)
        return m_control->get_minimum_size();
    return XrSize(m_layout->minimum_width(), m_layout->minimum_height());
}
