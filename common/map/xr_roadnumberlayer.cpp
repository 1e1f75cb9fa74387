#include "common/map/xr_roadnumberlayer.h"

#include <algorithm>
#include <cstdlib>

#include "common/addr/xr_signpostacc.h"
#include "common/base/xr_singletonref.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapconfig.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_mapview.h"
#include "common/map/xr_roadsign.h"
#include "common/ui/fonts/xr_fontrepository.h"

XrRoadNumberLayer::XrRoadNumberLayer(XrMap* map, XrVisualSetting* visual_setting, bool owns_visual_setting)
    : XrGeomLayer(map, visual_setting, owns_visual_setting)
{
    for (XrScheme& s : schemes) {
        s.pen = XrGDI::create_pen(XrGDI::PenNull, 1, 0, 0, 0);
        s.brush = XrGDI::create_brush(XrGDI::BrushNull, 0, 0, 0);
    }
}

void XrRoadNumberLayer::set_scheme(int number, const XrScheme& scheme)
{
    if (number >= 1 && number <= SCHEME_COUNT)
        schemes[number - 1] = scheme;
}

void XrRoadNumberLayer::set_sign_colors(XrSignpostAccessor* accessor)
{
    if (accessor == nullptr)
        return;
    const int n = std::min(accessor->get_num_sp_colors(), SCHEME_COUNT);
    for (int i = 0; i < n; ++i) {
        BYTE c[9] = {};
        XrSignpostAccessor::Shape shape{};
        if (!accessor->get_sp_colors(i + 1, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], shape))
            continue;
        XrScheme& s = schemes[i];
        if (shape == 0) {
            s.pen = XrGDI::create_pen(XrGDI::PenNull, 1, 0, 0, 0);
            s.brush = XrGDI::create_brush(XrGDI::BrushNull, 0, 0, 0);
            s.shape = 0;
            s.read = true;
        } else if (shape != 19) {
            s.pen = XrGDI::create_pen(XrGDI::PenSolid, 1, c[0], c[1], c[2]);
            s.brush = XrGDI::create_brush(XrGDI::BrushSolid, c[3], c[4], c[5]);
            s.text_colour = XrGDI::rgb(c[6], c[7], c[8]);
            s.shape = shape;
            s.read = true;
        }
    }
}

int XrRoadNumberLayer::get_sign_count() const
{
    int n = 0;
    for (const auto& [text, list] : signs)
        n += static_cast<int>(list.size());
    return n;
}

bool XrRoadNumberLayer::draw(XrDCHandleRec* dc, XrMapView* view)
{
    const XrSize size = window.width > 0 && window.height > 0
                            ? window
                            : XrSize(view->get_screen_width(), view->get_screen_height());
    if (size.width <= 0 || size.height <= 0)
        return true;
    const int ww = view->pixels_to_world(size.width), hw = view->pixels_to_world(size.height);
    const int half = std::min(ww, hw) / 2;
    if (std::abs(static_cast<long long>(half) - cached_half) > ZOOM_TOLERANCE) {
        cached_half = half;
        signs.clear();
    }
    const bool is_3d = map_is_3d(view);
    XrRectangle search;
    int spacing = half;
    if (is_3d) {
        search = view->get_world_rect_3d();
        search.left -= MARGIN_3D;
        search.right += MARGIN_3D;
        search.top -= MARGIN_3D;
        search.bottom += MARGIN_3D;
        spacing = MARGIN_3D;
    } else {
        const XrPoint c = view->get_centre();
        search = XrRectangle(c.x - half - ww / 2, c.y - half - hw / 2, c.x + half + ww / 2, c.y + half + hw / 2);
    }
    const int sw = search.right - search.left, sh = search.bottom - search.top;
    const int language = get_map_engine_services().get_text_language();

    std::unique_ptr<XrGeomCursor> cursor(storage.get_cursor(&search, static_cast<int>(view->get_scale_value())));
    const BYTE* record = nullptr;
    XrGeomStorage::XrRecordType kind{};
    while (cursor && cursor->get_next_record(record, kind) == XrGeomCursor::OK) {
        if (kind != XrGeomStorage::RecText)
            continue;
        int id = 0, x = 0, y = 0;
        short cls = 0, aux = 0;
        const TCHAR* text = nullptr;
        const BYTE* attributes = nullptr;
        if (!cursor->get_txt(record, id, x, y, cls, aux, text, attributes, language, nullptr) || text == nullptr)
            continue;
        std::wstring cut(text);
        const size_t tab = cut.find(L'\t');
        if (tab != std::wstring::npos)
            cut.resize(tab);
        if (search.contains(x, y)) {
            // Class 0 and 1 share the first scheme; numbers beyond the table
            // have no scheme.
            const int scheme = cls > 0 ? cls - 1 : 0;
            if (scheme >= SCHEME_COUNT)
                continue;
            std::vector<XrSignRecord>& list = signs[cut];
            const XrPoint p(x, y);
            bool keep = true;
            for (const XrSignRecord& r : list) {
                const long long d = static_cast<long long>(p.distance(r.x, r.y));
                if (d == 0 || d < spacing) {
                    keep = false;
                    break;
                }
            }
            if (keep)
                list.push_back({cut, x, y, sw, sh, scheme});
            else if (list.empty())
                signs.erase(cut);
        } else {
            auto it = signs.find(cut);
            if (it == signs.end())
                continue;
            auto& list = it->second;
            auto hit = std::find_if(list.begin(), list.end(), [&](const XrSignRecord& r) { return r.x == x && r.y == y; });
            if (hit != list.end())
                list.erase(hit);
            if (list.empty())
                signs.erase(it);
        }
    }
    cursor.reset();

    draw_shields(dc, view, is_3d, size);

    const long long cx = (static_cast<long long>(search.left) + search.right) / 2;
    const long long cy = (static_cast<long long>(search.top) + search.bottom) / 2;
    for (auto it = signs.begin(); it != signs.end();) {
        auto& list = it->second;
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](const XrSignRecord& r) {
                                      return sw > sh ? std::llabs(r.x - cx) > r.search_width
                                                     : std::llabs(r.y - cy) > r.search_height;
                                  }),
                   list.end());
        it = list.empty() ? signs.erase(it) : std::next(it);
    }
    return true;
}

void XrRoadNumberLayer::draw_shields(XrDCHandleRec* dc, XrMapView* view, bool is_3d, const XrSize& size)
{
    static XrSingletonRef<XrFontRepository> fonts(L"XrFontRepository");
    XrFontRepository* repository = fonts.get();
    XrFontHandleRec* font = repository != nullptr ? repository->get_font(FONT_CONTEXT) : nullptr;
    const double factor = get_map_engine_services().get_scale_factor();
    const int border = factor > 0 ? static_cast<int>(factor) : 1;
    for (const auto& [text, list] : signs) {
        for (const XrSignRecord& r : list) {
            XrScheme& scheme = schemes[r.scheme];
            if (!scheme.read)
                continue;
            int sx = 0, sy = 0;
            if (is_3d)
                view->world_to_screen_3d(r.x, r.y, XrMapView::POINT_HEIGHT, sx, sy);
            else
                view->world_to_screen_2d(r.x, r.y, sx, sy);
            if (sx < -OFF_SCREEN || sx > size.width + OFF_SCREEN || sy < -OFF_SCREEN || sy > size.height + OFF_SCREEN)
                continue;
            const XrString label(text.c_str());
            std::unique_ptr<XrRoadSign> sign;
            switch (scheme.shape) {
            case 20: sign = std::make_unique<XrRoadNumberSignUSAInterState>(label, border, font); break;
            case 21: sign = std::make_unique<XrRoadNumberSignUSAHighway>(label, border, font); break;
            case 22:
                sign = std::make_unique<XrRoadNumberSignCanTcHighway>(label, scheme.brush, scheme.pen, border,
                                                                      scheme.text_colour, font);
                break;
            case 23: sign = std::make_unique<XrRoadNumberSignCanAutoRoute>(label, border, font); break;
            case 24: sign = std::make_unique<XrRoadNumberSignCanHighway>(label, border, font); break;
            default:
                sign = std::make_unique<XrRoadNumberSignDefault>(label, scheme.brush, scheme.pen, border,
                                                                 scheme.text_colour, font, true, scheme.shape != 1);
                break;
            }
            const XrPoint s = sign->get_size();
            const int left = sx - s.x / 2, top = sy - s.y / 2;
            sign->set_rect(XrRectangle(left, top, left + s.x, top + s.y));
            sign->draw(dc);
        }
    }
}

namespace {

XrGeomLayer* create_road_number_layer(XrMap* map, XrVisualSetting* vs, XrConfiguration&, XrMapConfigContext&)
{
    return new XrRoadNumberLayer(map, vs, false);
}

} // namespace

void register_road_number_layer_kind() { register_configured_layer_kind(LayerRoadNumber, create_road_number_layer); }
