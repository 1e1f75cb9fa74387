#include "common/ui/controls/xr_controlbase.h"

#include "common/container/xr_defs.h"
#include "common/gdi/xr_gdi.h"

void XrControlBase::set_rectangle(const XrRectangle& rect)
{
    m_rect = rect;
    size_changed();
}

bool XrControlBase::handle_pointer_event(const XrPointerEvent&)
{
    return false;
}

void XrControlBase::set_native_control(void*) {}

void XrControlBase::activate_dc() const
{
    XR_ASSERT(false);
}

void XrControlBase::deactivate_dc() const
{
    XR_ASSERT(false);
}

XrDCHandleRec* XrControlBase::get_dc() const
{
    XrDCHandleRec* dc = m_dc;
    XR_ASSERT(dc);
    return dc;
}

void XrControlBase::draw_background(XrDCHandleRec* dc) const
{
    if (m_background == nullptr)
        return;
    XrBitmap image = m_background->get_background_bitmap(dc);
    XrBitmapHandleRec* handle = image.bitmap();
    if (handle == nullptr)
        return;
    XrGDI::draw_bitmap(dc, m_rect.left, m_rect.top, m_rect.right, m_rect.bottom, handle, m_rect.left, m_rect.top);
}
