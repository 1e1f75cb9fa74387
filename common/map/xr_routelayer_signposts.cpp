// XrRouteLayer: signpost set-up: the accessor's colour schemes, the
// signpost drawer fed with the current signpost items, and the route
// arrow list.
#include "common/addr/xr_signpostacc.h"
#include "common/container/xr_defs.h"
#include "common/map/xr_routelayer.h"
#include "common/map/xr_routelayer_draw.h"

namespace {
constexpr int DEFAULT_SCHEME_SHAPE = 19;
constexpr int FIRST_SHIELD_SHAPE = 20;
} // namespace

void XrRouteLayer::set_signpost_accessor(XrSignpostAccessor* accessor)
{
    XR_ASSERT_MSG(signposts == nullptr, "signposts == 0");
    signposts.reset(accessor);
    signpost_pen = XrGDI::create_pen(XrGDI::PenSolid, line_width, 255, 255, 255);
    signpost_brush = XrGDI::create_brush(XrGDI::BrushSolid, 88, 112, 144);
    if (accessor == nullptr)
        return;
    const int count = std::min(accessor->get_num_sp_colors(), 20);
    for (int i = 0; i < count; ++i) {
        BYTE c[9] = {};
        XrSignpostAccessor::Shape shape = XrSignpostAccessor::Rectangle;
        if (!accessor->get_sp_colors(i + 1, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], shape))
            continue;
        XrSignpostScheme& scheme = schemes[i];
        scheme.shape = shape;
        if (shape == 0) {
            scheme.pen = XrGDI::create_pen(XrGDI::PenNull, 1, 0, 0, 0);
            scheme.brush = XrGDI::create_brush(XrGDI::BrushNull, 0, 0, 0);
        } else if (shape == DEFAULT_SCHEME_SHAPE) {
            signpost_pen = XrGDI::create_pen(XrGDI::PenSolid, 1, c[0], c[1], c[2]);
            signpost_brush = XrGDI::create_brush(XrGDI::BrushSolid, c[3], c[4], c[5]);
        } else {
            scheme.pen = XrGDI::create_pen(XrGDI::PenSolid, 1, c[0], c[1], c[2]);
            scheme.brush = XrGDI::create_brush(XrGDI::BrushSolid, c[3], c[4], c[5]);
            scheme.text_colour = XrGDI::rgb(c[6], c[7], c[8]);
        }
    }
}

void XrRouteLayer::initialize_signpost_drawer()
{
    signpost_drawer.flush();
    signpost_drawer.set_pen(signpost_pen);
    signpost_drawer.set_brush(signpost_brush);
    signpost_drawer.set_border_width(static_cast<int>(host->get_scale_factor()));
    const int count = signpost_items.get_num_items();
    const int d = active_route != nullptr ? directive_distance * units_per_metre : -1;
    for (int i = 0; i < count; ++i) {
        XrSignpostItemRec* item = signpost_items.get_item_ptr(i);
        switch (item->kind) {
        case 3:
            if (count >= 4 && d < signpost_distance / 2)
                break;
            {
                XrSignpostScheme& s = schemes[19];
                if (s.shape != XrSignpostAccessor::Rectangle && s.shape != XrSignpostAccessor::RoundRectangle) {
                    // Not expected in map data: a plain text instead.
                    signpost_drawer.add_road_name_sign(item->text, plain_text_colour);
                    break;
                }
                signpost_drawer.add_exit_number_sign(item->text, s.brush, s.pen, s.text_colour,
                                                     s.shape == XrSignpostAccessor::RoundRectangle);
            }
            break;
        case 2:
            break;
        case 0: {
            int start = 0, index = 0;
            parse_scheme_prefix(item->text, start, index);
            const XrString text(item->text.is_empty() ? L"" : item->text.c_str_at(start));
            XrSignpostScheme& s = schemes[index];
            switch (s.shape) {
            case XrSignpostAccessor::Rectangle:
            case XrSignpostAccessor::RoundRectangle:
                signpost_drawer.add_default_number_sign(text, s.brush, s.pen, s.text_colour,
                                                        s.shape == XrSignpostAccessor::RoundRectangle);
                break;
            case FIRST_SHIELD_SHAPE:
                signpost_drawer.add_usa_interstate_sign(text);
                break;
            case FIRST_SHIELD_SHAPE + 1:
                signpost_drawer.add_usa_highway_sign(text);
                break;
            case FIRST_SHIELD_SHAPE + 2:
            case FIRST_SHIELD_SHAPE + 3:
            case FIRST_SHIELD_SHAPE + 4:
                signpost_drawer.add_can_autoroute_sign(text);
                break;
            default:
                break;
            }
            break;
        }
        default:
            signpost_drawer.add_road_name_sign(item->text, plain_text_colour);
            break;
        }
    }
}

bool XrRouteLayer::parse_scheme_prefix(const XrString& text, int& text_start, int& scheme)
{
    xr_routelayer::parse_scheme_prefix(text, text_start, scheme);
    return text.length() >= 2;
}

void XrRouteLayer::clear_signpost_items() { signpost_items.remove_all(); }

void XrRouteLayer::clear_route_arrows()
{
    for (int i = 0; i < arrows.get_num_items(); ++i)
        delete arrows.get_item(i);
    arrows.remove_all();
}
