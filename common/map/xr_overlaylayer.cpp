#include "common/map/xr_overlaylayer.h"

#include <cmath>

#include "common/base/xr_singletonref.h"
#include "common/geometry/xr_geometry.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_mapview.h"
#include "common/map/xr_poinotedrawer.h"
#include "common/map/xr_routelayer.h"
#include "common/misc/xr_path_resolver.h"
#include "common/types/xr_distance.h"
#include "common/ui/fonts/xr_fontrepository.h"

namespace {

constexpr int kIndicatorFont = 39;

// Loads one image of the images folder into out; false when it cannot.
bool load_image(const TCHAR* path, std::unique_ptr<XrBitmap>& out)
{
    const XrString file = XrPathResolver::resolve(XrString(path));
    out.reset(XrGDI::load_bitmap_file(file.c_str()));
    return out != nullptr;
}

void draw_image(XrDCHandleRec* dc, int x, int y, XrBitmap* image)
{
    if (image != nullptr)
        XrGDI::draw_bitmap_object(dc, x, y, image, true);
}

void draw_centred(XrDCHandleRec* dc, const XrPoint& at, XrBitmap* image)
{
    if (image != nullptr)
        draw_image(dc, at.x - image->width() / 2, at.y - image->height() / 2, image);
}

// Whether a route is shown: the route provider's answer through the engine
// services, or else the routes of the map's own route layer (the route
// provider's has_route answers from that layer).
bool route_shown(const XrMapView* view)
{
    if (get_map_engine_services().has_route())
        return true;
    XrMap* map = view->get_map();
    if (map == nullptr)
        return false;
    static const XrString name(L"route_layer");
    const auto* routes = dynamic_cast<const XrRouteLayer*>(map->get_layer(name));
    return routes != nullptr && routes->get_route_count() > 0;
}

} // namespace

XrOverlayLayer::XrOverlayLayer() = default;

bool XrOverlayLayer::load_images()
{
    bool ok = load_image(L"?:/kestrova/images/position.png", position_image);
    ok = load_image(L"?:/kestrova/images/center_point.png", centre_image) && ok;
    ok = load_image(L"?:/kestrova/images/pin.png", pin_image) && ok;
    ok = load_image(L"?:/kestrova/images/indicator_highlight.png", highlight_image) && ok;
    pin_arrow = XrBitmap(PIN_ARROW_ID, false);
    position_arrow = XrBitmap(POSITION_ARROW_ID, false);
    return ok;
}

bool XrOverlayLayer::draw(XrDCHandleRec* dc, XrMapView* view)
{
    if (dc == nullptr || view == nullptr)
        return true;
    const bool route = route_shown(view);
    const int width = view->get_screen_width(), height = view->get_screen_height();
    auto on_screen = [&](const XrPoint& p) { return p.x >= 0 && p.x <= width && p.y >= 0 && p.y <= height; };

    if (!route) {
        XrPoint centre;
        view->world_to_screen(view->get_centre(), centre);
        draw_centred(dc, centre, centre_image.get());
        if (position_valid != 0) {
            XrPoint at;
            view->world_to_screen(position, at);
            if (on_screen(at))
                draw_centred(dc, at, position_image.get());
            else
                draw_indicator(dc, view, position, position_arrow);
        }
    }

    if (pin_set && pin_image != nullptr) {
        XrPoint at;
        view->world_to_screen(pin, at);
        if (on_screen(at)) {
            if (!pin_label.is_empty()) {
                XrPoiNoteDrawer note(pin_label.c_str());
                note.set_screen_size(XrSize(width, height));
                note.set_anchor(at);
                XrRectangle icon_rect, note_rect;
                note.draw(dc, icon_rect, note_rect);
            }
            draw_image(dc, at.x - PIN_TIP_X, at.y - PIN_TIP_Y, pin_image.get());
        } else {
            if (!route)
                draw_indicator(dc, view, pin, pin_arrow);
            // A pin that has left the screen loses its label.
            pin_label = XrString();
        }
    }

    if (progress > 0 && progress < 1)
        draw_progress(dc, view);
    return true;
}

void XrOverlayLayer::draw_indicator(XrDCHandleRec* dc, XrMapView* view, const XrPoint& target, XrBitmap& arrow)
{
    const XrRectangle r(0, 0, view->get_screen_width(), view->get_screen_height());
    XrPoint s;
    view->world_to_screen_2d(target.x, target.y, s.x, s.y);
    const XrPoint e = get_edge_point(r, s);

    XrPoint world;
    view->screen_to_world_2d(e.x, e.y, world.x, world.y);
    const double metres = std::hypot(static_cast<double>(target.x) - world.x, static_cast<double>(target.y) - world.y);
    const XrString text =
        XrDistance(metres, XrDistance::Metres).to_display_string(get_map_engine_services().get_distance_units(), 1);
    static XrSingletonRef<XrFontRepository> repository(L"XrFontRepository");
    XrFontRepository* fonts = repository.get();
    XrFontHandleRec* font = fonts != nullptr ? fonts->get_font(kIndicatorFont) : nullptr;
    if (font != nullptr)
        XrGDI::select_font(dc, font);
    int tw = 0, th = 0;
    XrGDI::get_text_size(font, text.c_str(), &tw, &th);

    const int aw = arrow.width(), ah = arrow.height();
    const int hh = highlight_image != nullptr ? highlight_image->height() : 0;
    int dx = 0, dy = 0;
    int align = XrGDI::LeftMiddle;
    if (r.right - aw - tw < e.x) {
        // No room for the text on the right.
        dx = -aw;
        dy = -ah / 2;
        align = XrGDI::RightMiddle;
    }
    if (e.y == r.bottom) {
        dy = -ah;
        dx -= aw / 2;
    } else if (e.y == r.top) {
        dy = 0;
        if (dx == 0)
            dx = -aw / 2;
    } else if (e.x == r.left) {
        dx = 0;
        dy = -ah / 2;
    }
    if (e.y + dy + ah > r.bottom)
        dy = r.bottom - (ah + e.y);
    if (e.y + dy < 0)
        dy = 0;
    if (e.x + dx < 0)
        dx = 0;

    const bool text_left = align == XrGDI::RightMiddle;
    const int k = hh - ah + (text_left ? tw : 0);
    draw_image(dc, e.x + dx - k, e.y + dy - (hh - ah) / 2, highlight_image.get());
    draw_image(dc, e.x + dx, e.y + dy, &arrow);

    XrGDI::set_text_color(dc, XrGDI::rgb(0, 0, 0));
    XrGDI::set_opaque_text(dc, false);
    const int x = e.x + dx + (text_left ? 0 : aw), y = e.y + dy + ah / 2;
    XrGDI::draw_text_rect(dc, text.c_str(), x, y, x, y, align, -1);
}

void XrOverlayLayer::draw_progress(XrDCHandleRec* dc, XrMapView* view)
{
    const int w = view->get_visible_rect().right - view->get_visible_rect().left;
    const int y = view->get_screen_height() - 3;
    XrGDI::select_pen(dc, XrGDI::get_stock_pen(XrGDI::StockBlackPen), 5);
    XrGDI::draw_line(dc, 70, y, w - 70, y);
    XrGDI::select_pen(dc, XrGDI::get_stock_pen(XrGDI::StockWhitePen), 3);
    XrGDI::draw_line(dc, 71, y, 70 + static_cast<int>((w - 141) * progress), y);
}
