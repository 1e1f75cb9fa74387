#include "apps/apps_common/xr_appmaplayers.h"

#include "common/corvanel_core/interfaces/xr_positionprovider.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapview.h"

namespace {

XrPositionProvider* position_provider()
{
    return static_cast<XrPositionProvider*>(XrSingleton::get_instance(XrString(L"XrPositionProvider")));
}

} // namespace

XrMapRouteLayer* XrAppMapLayers::create_route_layer(XrEventloopBase*, XrMap*, XrAudioPlayer*) { return nullptr; }

bool XrAppMapWindowView::has_map() { return view->get_map() != nullptr; }

void XrAppMapWindowView::draw_map(XrDCHandleRec* dc, int pass, int arg1, int arg2)
{
    view->draw(dc, nullptr, pass == 1 ? XrMap::BufferedLayers : XrMap::UnbufferedLayers, arg1, arg2);
}

void XrAppMapWindowView::notify_draw(XrDCHandleRec* dc) { view->notify_draw(dc); }

void XrAppMapWindowView::set_screen_size(const XrSize& size)
{
    if (size.width != 0 || size.height != 0)
        view->set_screen_size(size);
}

XrSize XrAppMapWindowView::get_screen_size() { return XrSize(view->get_screen_width(), view->get_screen_height()); }

void XrAppMapWindowView::set_update_rect(const XrRectangle* rect)
{
    if (rect == nullptr)
        view->set_override_rect(nullptr);
}

void XrAppMapWindowView::set_visible_rect(const XrRectangle& rect) { view->set_visible_rect(rect); }

bool XrAppMapWindowView::has_position_provider() { return position_provider() != nullptr; }

bool XrAppMapWindowView::is_position_active()
{
    XrPositionProvider* p = position_provider();
    return p != nullptr && p->is_active();
}

bool XrAppMapWindowView::position_has_fix()
{
    XrPositionProvider* p = position_provider();
    return p != nullptr && p->get_position_info().has_fix();
}
