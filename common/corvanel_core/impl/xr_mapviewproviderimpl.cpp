#include "common/corvanel_core/impl/xr_mapviewproviderimpl.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <vector>

#include "common/container/xr_defs.h"
#include "common/corvanel_core/interfaces/xr_locationdetailsprovider.h"
#include "common/corvanel_core/interfaces/xr_maplayerparts.h"
#include "common/corvanel_core/interfaces/xr_mappoint.h"
#include "common/db/xr_geomstorage.h"
#include "common/geometry/xr_polygon.h"
#include "common/map/xr_geomlayer.h"
#include "common/map/xr_linelabellayer.h"
#include "common/map/xr_mapview.h"

namespace {

struct Preset {
    double factor;
    int first, second, third;
};
constexpr Preset presets[XrMapViewProviderImpl::PRESET_COUNT] = {
    {2.13, 1000, 1800, 100}, {1.88, 1000, 2100, 100}, {1.63, 1100, 2800, 100},
    {1.38, 1100, 3200, 200}, {1.25, 1500, 3500, 300}, {1.0, 1500, 3500, 400},
};
// The constants handed to the view's 3D set-up with every preset.
constexpr int PRESET_HALF_WIDTH = 1000, PRESET_CENTRE_HEIGHT = 200, PRESET_CENTRE_FROM_BOTTOM = 80;

XrProjection* projection()
{
    XrMapProvider* maps = XrMapProvider::get_instance();
    return maps != nullptr ? maps->find_projection() : nullptr;
}

template <class P>
P* find_provider(const wchar_t* name)
{
    return static_cast<P*>(XrSingleton::get_instance(XrString(name)));
}

// The POI record text: name (after its last ">"), phone number, web address.
void split_poi_text(const TCHAR* text, XrPoi& poi)
{
    const TCHAR* tab1 = text != nullptr ? std::wcschr(text, L'\t') : nullptr;
    if (tab1 == nullptr)
        return;
    XrString name(text, static_cast<int>(tab1 - text));
    const TCHAR* gt = std::wcsrchr(name.c_str(), L'>');
    if (gt != nullptr)
        name = XrString(gt + 1);
    poi.set_name(name);
    const TCHAR* tab2 = std::wcschr(tab1 + 1, L'\t');
    if (tab2 == nullptr) {
        poi.set_phone_number(XrString(tab1 + 1));
        return;
    }
    poi.set_phone_number(XrString(tab1 + 1, static_cast<int>(tab2 - tab1 - 1)));
    const TCHAR* tab3 = std::wcschr(tab2 + 1, L'\t');
    poi.set_url(tab3 != nullptr ? XrString(tab2 + 1, static_cast<int>(tab3 - tab2 - 1)) : XrString(tab2 + 1));
}

} // namespace

XrPoint xr_move_point_ahead(const XrMapView& view, const XrPoint& point)
{
    if (view.is_3d() || view.get_scale_value() >= XrMapView::NORTH_UP_SCALE)
        return point;
    const int length = view.pixels_to_world(view.get_screen_height() / 4);
    int angle = view.get_rotation() + 90;
    if (angle > 360)
        angle -= 360;
    const double rad = angle * M_PI / 180.0;
    return XrPoint(point.x + static_cast<int>(length * std::cos(rad)), point.y + static_cast<int>(length * std::sin(rad)));
}

XrMapViewProviderImpl::XrMapViewProviderImpl(XrMapViewHost* host, XrMapView* view) : host(host), view(view)
{
    if (XrMapProvider* maps = XrMapProvider::get_instance())
        maps->add_listener(this);
}

XrMapViewProviderImpl::~XrMapViewProviderImpl()
{
    forget_visible_items();
    forget_listeners();
    if (XrMapProvider* maps = XrMapProvider::get_instance())
        maps->remove_listener(this);
}

void XrMapViewProviderImpl::initialize()
{
    if (view != nullptr) {
        view->set_scale_reference(50, view->get_screen_width() != 0 ? view->get_screen_width() : 800);
        view->set_min_scale(2500);
        view->set_max_scale(100000000);
    }
    if (registered)
        return;
    registered = true;
    if (auto* p = find_provider<XrAppSettingsProvider>(L"XrAppSettingsProvider"))
        p->add_listener(this);
    if (auto* p = find_provider<XrMapSettingsProvider>(L"XrMapSettingsProvider"))
        p->add_listener(this);
    if (auto* p = find_provider<XrPoiProvider>(L"XrPoiProvider"))
        p->add_listener(this);
    if (auto* p = find_provider<XrFavouritesProvider>(L"XrFavouritesProvider"))
        p->add_listener(this);
    if (auto* p = find_provider<XrParkingProvider>(L"XrParkingProvider"))
        p->add_listener(this);
    if (auto* p = find_provider<XrRoadblocksProvider>(L"XrRoadblocksProvider"))
        p->add_listener(this);
}

void XrMapViewProviderImpl::forget_listeners()
{
    if (!registered)
        return;
    registered = false;
    if (auto* p = find_provider<XrAppSettingsProvider>(L"XrAppSettingsProvider"))
        p->remove_listener(this);
    if (auto* p = find_provider<XrMapSettingsProvider>(L"XrMapSettingsProvider"))
        p->remove_listener(this);
    if (auto* p = find_provider<XrPoiProvider>(L"XrPoiProvider"))
        p->remove_listener(this);
    if (auto* p = find_provider<XrFavouritesProvider>(L"XrFavouritesProvider"))
        p->remove_listener(this);
    if (auto* p = find_provider<XrParkingProvider>(L"XrParkingProvider"))
        p->remove_listener(this);
    if (auto* p = find_provider<XrRoadblocksProvider>(L"XrRoadblocksProvider"))
        p->remove_listener(this);
}

XrCoordinate XrMapViewProviderImpl::get_center_coordinate()
{
    return XrCoordinate(view->get_centre(), projection());
}

void XrMapViewProviderImpl::show_coordinate(const XrCoordinate& coordinate)
{
    show_point(coordinate.to_point(projection()));
}

void XrMapViewProviderImpl::show_point(const XrPoint& point)
{
    view->set_rotation(0);
    if (host != nullptr)
        host->set_map_scale(point, DETAIL_SCALE);
}

int XrMapViewProviderImpl::get_rotation()
{
    return view->get_rotation();
}

void XrMapViewProviderImpl::set_rotation(int degrees)
{
    view->set_rotation(degrees);
}

int XrMapViewProviderImpl::get_scale()
{
    return static_cast<int>(view->get_scale_value());
}

void XrMapViewProviderImpl::set_scale(int scale)
{
    view->set_center_and_scale(nullptr, static_cast<std::uint32_t>(scale), true);
}

bool XrMapViewProviderImpl::is_3d()
{
    XrMap* map = view->get_map();
    return map != nullptr && map->is_3d();
}

void XrMapViewProviderImpl::set_view_mode(int mode)
{
    if (XrMap* map = view->get_map())
        map->set_3d(mode == 1);
    if (auto* settings = find_provider<XrMapSettingsProvider>(L"XrMapSettingsProvider")) {
        settings->set_default_view_flag(mode);
        settings->save(false);
    }
}

void XrMapViewProviderImpl::get_label_colors(unsigned int& first, unsigned int& second)
{
    first = 0x000000;
    second = 0xffffff;
    XrMapProvider* maps = XrMapProvider::get_instance();
    auto* road = dynamic_cast<XrLineLabelLayer*>(maps != nullptr ? maps->get_road_layer() : nullptr);
    if (road == nullptr)
        return;
    XrColorHandle colour = 0, halo = 0;
    road->get_label_colors(colour, &halo);
    first = colour;
    second = halo;
}

double XrMapViewProviderImpl::get_zoom_ratio()
{
    const int base = view->get_scale_base();
    return base != 0 ? 1000.0 / base : 0.0;
}

void XrMapViewProviderImpl::set_perspective(int preset)
{
    if (preset < 0 || preset >= PRESET_COUNT)
        return;
    const Preset& p = presets[preset];
    // The label layers' cached widths belong to the old 3D set-up.
    XrLineLabelLayer::invalidate_3d_width_tables();
    view->set_factor_3d(p.factor);
    view->set_3d_parameters(p.first, PRESET_CENTRE_HEIGHT, PRESET_CENTRE_FROM_BOTTOM, PRESET_HALF_WIDTH, p.second,
                            p.third);
    XrLineLabelLayer::invalidate_3d_width_tables();
    perspective = preset;
}

double XrMapViewProviderImpl::get_scale_factor()
{
    XR_ASSERT_MSG(scale_factor > 0, "scale_factor > 0");
    return scale_factor;
}

void XrMapViewProviderImpl::set_cursor_coordinate(const XrCoordinate& coordinate)
{
    XR_ASSERT_MSG(is_cursor_visible(), "is_cursor_visible()");
    cursor_coordinate = coordinate;
    if (host != nullptr)
        host->suspend_auto_follow(FOLLOW_PAUSE_MS, FOLLOW_PAUSE_MS);
}

void XrMapViewProviderImpl::set_cursor_visible(bool value)
{
    cursor_visible = value;
    if (!value)
        cursor_coordinate = XrCoordinate();
}

// --- Visible items -----------------------------------------------------------------------

void XrMapViewProviderImpl::forget_visible_items()
{
    // The map's highlighted item is one of ours, not owned there.
    if (XrMap* map = view->get_map())
        map->get_picked_items().clear();
    visible.clear();
    hilight_index = -1;
}

XrGeomLayer* XrMapViewProviderImpl::poi_layer() const
{
    XrMap* map = view->get_map();
    return map != nullptr ? dynamic_cast<XrGeomLayer*>(map->get_layer(XrString(L"poi"))) : nullptr;
}

XrRectangle XrMapViewProviderImpl::visible_rect() const
{
    if (view->get_map() != nullptr && view->get_map()->is_3d())
        return view->get_world_rect_3d();
    return view->get_world_rect();
}

bool XrMapViewProviderImpl::to_screen(int x, int y, XrPoint& out) const
{
    int sx = 0, sy = 0;
    if (view->get_map() != nullptr && view->get_map()->is_3d())
        view->world_to_screen_3d(x, y, XrMapView::POINT_HEIGHT, sx, sy);
    else
        view->world_to_screen_2d(x, y, sx, sy);
    out = XrPoint(sx, sy);
    return sx >= 0 && sx < view->get_screen_width() && sy >= 0 && sy < view->get_screen_height();
}

bool XrMapViewProviderImpl::read_item(XrGeomCursor* cursor, XrMapItem* item, int& id, XrPoint& point, int& type)
{
    auto* own = dynamic_cast<XrLayerMapItem*>(item);
    const XrMapItem* inner = own != nullptr ? own->inner : item;
    XrGeomStorage::XrRecordType kind{};
    const BYTE* data = nullptr;
    if (cursor == nullptr || inner == nullptr || cursor->get_record(inner, kind, data) != XrGeomCursor::OK ||
        kind != XrGeomStorage::RecText)
        return false;
    short rec_type = 0, aux = 0;
    const TCHAR* text = nullptr;
    const BYTE* attributes = nullptr;
    if (!cursor->get_txt(data, id, point.x, point.y, rec_type, aux, text, attributes, 0, nullptr))
        return false;
    type = rec_type;
    return true;
}

void XrMapViewProviderImpl::collect_visible_items()
{
    const XrRectangle rect = visible_rect();
    if (rect == cached_rect)
        return;
    cached_rect = rect;
    XrGeomLayer* layer = poi_layer();
    if (layer == nullptr)
        return;
    XrPolygon area(false);
    area.add_point(XrPoint(rect.left, rect.top));
    area.add_point(XrPoint(rect.right, rect.top));
    area.add_point(XrPoint(rect.right, rect.bottom));
    area.add_point(XrPoint(rect.left, rect.bottom));
    XrMapItems picked;
    layer->pick(area, view, &picked);

    std::unique_ptr<XrGeomCursor> cursor(layer->get_storage()->get_cursor(nullptr, 0));
    // The highlighted item's record, to recognise it again.
    int hid = 0, htype = 0;
    XrPoint hpoint;
    const bool had = hilight_index >= 0 && hilight_index < visible.get_count() &&
                     read_item(cursor.get(), visible.get_item(hilight_index), hid, hpoint, htype);

    struct Entry {
        long long key;
        int index;
    };
    std::vector<Entry> entries;
    int remembered = -1;
    const int width = view->get_screen_width();
    for (int i = 0; i < picked.get_count(); ++i) {
        int id = 0, type = 0;
        XrPoint point, screen;
        if (!read_item(cursor.get(), picked.get_item(i), id, point, type) || !to_screen(point.x, point.y, screen))
            continue;
        entries.push_back({screen.x + static_cast<long long>(screen.y) * width, i});
        if (had && id == hid && point == hpoint && type == htype && remembered < 0)
            remembered = i;
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });

    forget_visible_items();
    // Take the items out of the pick list in display order.
    for (const Entry& e : entries) {
        if (e.index == remembered)
            hilight_index = visible.get_count();
        visible.add_item(picked.take_item(e.index), true);
    }
    if (XrMap* map = view->get_map()) {
        map->get_picked_items().clear();
        if (hilight_index >= 0)
            map->get_picked_items().add_item(visible.get_item(hilight_index), false);
    }
}

XrMapPoint* XrMapViewProviderImpl::create_mappoint_from_mapitem(XrMapItem* item, XrGeomCursor* cursor)
{
    std::unique_ptr<XrGeomCursor> own_cursor;
    if (cursor == nullptr) {
        XrGeomLayer* layer = poi_layer();
        if (layer == nullptr)
            return nullptr;
        own_cursor.reset(layer->get_storage()->get_cursor(nullptr, 0));
        cursor = own_cursor.get();
    }
    auto* own = dynamic_cast<XrLayerMapItem*>(item);
    const XrMapItem* inner = own != nullptr ? own->inner : item;
    XrGeomStorage::XrRecordType kind{};
    const BYTE* data = nullptr;
    if (cursor == nullptr || inner == nullptr || cursor->get_record(inner, kind, data) != XrGeomCursor::OK)
        return nullptr;
    int id = 0, x = 0, y = 0;
    short type = 0, aux = 0;
    const TCHAR* text = nullptr;
    const BYTE* attributes = nullptr;
    if (!cursor->get_txt(data, id, x, y, type, aux, text, attributes, 0, nullptr))
        return nullptr;
    const XrCoordinate c(XrPoint(x, y), projection());
    if (type == RecRoadblock) {
        XR_ASSERT_MSG(id >= 0, "id >= 0");
        auto* r = new XrRoadblock(c);
        r->set_id(id);
        return r;
    }
    if (type == RecFavourite)
        return new XrFavourite(c, id, XrString(text != nullptr ? text : L""), -1);
    if (type >= RecMessageFirst && type <= RecMessageLast)
        return new XrLocationMessage(c, id);
    if (type == RecCarPark)
        return new XrCarParkMapPoint(c);
    auto* poi = new XrPoi(c, id);
    poi->set_class_id(type);
    split_poi_text(text, *poi);
    XrGeomLayer* layer = poi_layer();
    poi->set_storage(layer != nullptr ? layer->get_storage() : nullptr);
    return poi;
}

// --- Hit test and highlight --------------------------------------------------------------

XrMapPoint* XrMapViewProviderImpl::get_mappoint_by_screen_coordinate(const XrPoint& p, int box)
{
    XR_ASSERT_MSG(box >= 0, "box_size_in_pixels >= 0");
    const int w = view->get_screen_width(), h = view->get_screen_height();
    int left = std::clamp(p.x - box, 0, w), right = std::clamp(p.x + box, 0, w);
    int top = std::clamp(p.y - box, 0, h), bottom = std::clamp(p.y + box, 0, h);
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    collect_visible_items();
    XrGeomLayer* layer = poi_layer();
    if (layer == nullptr)
        return nullptr;
    std::unique_ptr<XrGeomCursor> cursor(layer->get_storage()->get_cursor(nullptr, 0));
    for (int i = 0; i < visible.get_count(); ++i) {
        int id = 0, type = 0;
        XrPoint point, screen;
        if (!read_item(cursor.get(), visible.get_item(i), id, point, type))
            return nullptr;
        to_screen(point.x, point.y, screen);
        if (screen.x >= left && screen.x <= right && screen.y >= top && screen.y <= bottom)
            return create_mappoint_from_mapitem(visible.get_item(i), cursor.get());
    }
    return nullptr;
}

int XrMapViewProviderImpl::find_visible(const XrMapPoint& point)
{
    XrGeomLayer* layer = poi_layer();
    XR_ASSERT_MSG(layer != nullptr, "poi_layer");
    std::unique_ptr<XrGeomCursor> cursor(layer->get_storage()->get_cursor(nullptr, 0));
    XR_ASSERT_MSG(cursor != nullptr || visible.get_count() == 0, "poi_layer_gs_c");
    const XrPoint target = point.get_coordinate().to_point(projection());
    for (int i = 0; i < visible.get_count(); ++i) {
        int id = 0, type = 0;
        XrPoint p;
        if (!read_item(cursor.get(), visible.get_item(i), id, p, type))
            continue;
        switch (point.get_type()) {
        case XrMapPoint::TypeFavourite:
            if (type == RecFavourite && id == static_cast<const XrFavourite&>(point).get_id())
                return i;
            break;
        case XrMapPoint::TypeRoadblock:
            if (type == RecRoadblock && id == static_cast<const XrRoadblock&>(point).get_id())
                return i;
            break;
        case XrMapPoint::TypeLocationMessage:
            if (type >= RecMessageFirst && type <= RecMessageLast &&
                id == static_cast<const XrLocationMessage&>(point).get_id())
                return i;
            break;
        case XrMapPoint::TypeCarPark:
            if (type == RecCarPark)
                return i;
            break;
        case XrMapPoint::TypePoi:
            if (id == static_cast<const XrPoi&>(point).get_id() && p == target)
                return i;
            break;
        default:
            break;
        }
    }
    return -1;
}

void XrMapViewProviderImpl::set_hilighted(int index, XrGeomCursor* cursor)
{
    hilight_index = index;
    XrMap* map = view->get_map();
    if (map != nullptr)
        map->get_picked_items().clear();
    if (index < 0 || index >= visible.get_count())
        return;
    if (map != nullptr)
        map->get_picked_items().add_item(visible.get_item(index), false);
    XR_ASSERT_MSG(!hilighted_point, "!hilighted_point");
    hilighted_point.reset(create_mappoint_from_mapitem(visible.get_item(index), cursor));
}

void XrMapViewProviderImpl::notify_hilighted()
{
    if (host != nullptr)
        host->suspend_auto_follow(FOLLOW_PAUSE_MS, FOLLOW_PAUSE_MS);
    if (hilighted_point) {
        XrMapPoint* p = hilighted_point.get();
        notify_listeners(&XrMapViewListener::mappoint_hilighted, p);
    }
}

void XrMapViewProviderImpl::hilight(const XrMapPoint& point)
{
    clear_hilight();
    collect_visible_items();
    switch (point.get_type()) {
    case XrMapPoint::TypePoi:
    case XrMapPoint::TypeFavourite:
    case XrMapPoint::TypeRoadblock:
    case XrMapPoint::TypeLocationMessage:
    case XrMapPoint::TypeCarPark:
        set_hilighted(find_visible(point), nullptr);
        break;
    case XrMapPoint::TypeCoordinate: {
        const XrPoint world = point.get_coordinate().to_point(projection());
        XrPoint screen;
        to_screen(world.x, world.y, screen);
        std::unique_ptr<XrMapPoint> there(get_mappoint_by_screen_coordinate(screen, 0));
        XrString label;
        if (there && there->get_type() != XrMapPoint::TypeCoordinate) {
            hilight(*there); // tells the listeners itself
            set_pin(world, label);
            return;
        } else {
            if (auto* details = find_provider<XrLocationDetailsProvider>(L"XrLocationDetailsProvider")) {
                XrLocationDetails d;
                details->get_details_or_coordinates(point.get_coordinate(), d);
                label = d.text;
                for (const XrString* part : {&d.county_part1, &d.country}) {
                    if (!part->is_empty()) {
                        label.append(L"\n");
                        label.append(part->c_str());
                    }
                }
            }
            hilighted_point = std::make_unique<XrCoordinateMapPoint>(point.get_coordinate());
        }
        set_pin(world, label);
        break;
    }
    default:
        XR_ASSERT_MSG(false, "false");
    }
    notify_hilighted();
}

void XrMapViewProviderImpl::set_pin(const XrPoint& point, const XrString& label)
{
    XrMapProvider* maps = XrMapProvider::get_instance();
    if (XrMapOverlayLayer* overlay = maps != nullptr ? maps->get_overlay_layer() : nullptr)
        overlay->set_pin(point, label);
}

void XrMapViewProviderImpl::hilight_mapitem(XrMapItem* item)
{
    std::unique_ptr<XrMapPoint> point(create_mappoint_from_mapitem(item, nullptr));
    if (point)
        hilight(*point);
}

void XrMapViewProviderImpl::show_mappoint(const XrMapPoint& point)
{
    show_point(point.get_coordinate().to_point(projection()));
    hilight(point);
}

void XrMapViewProviderImpl::step_hilight(int direction)
{
    collect_visible_items();
    hilighted_point.reset();
    const int n = visible.get_count();
    if (n == 0)
        return;
    int index = hilight_index + direction;
    if (hilight_index < 0)
        index = direction > 0 ? 0 : n - 1;
    else if (index >= n)
        index = 0;
    else if (index < 0)
        index = n - 1;
    set_hilighted(index, nullptr);
    if (host != nullptr)
        host->redraw_map(false);
    notify_hilighted();
}

void XrMapViewProviderImpl::hilight_next()
{
    step_hilight(1);
}

void XrMapViewProviderImpl::hilight_previous()
{
    step_hilight(-1);
}

void XrMapViewProviderImpl::clear_hilight()
{
    XrMap* map = view->get_map();
    if (map != nullptr) {
        map->get_picked_items().clear();
        if (auto* addr = dynamic_cast<XrGeomLayer*>(map->get_layer(XrString(L"addr_pt"))))
            addr->get_storage()->clear();
    }
    hilight_index = -1;
    const bool had = hilighted_point != nullptr;
    hilighted_point.reset();
    if (had)
        notify_listeners(&XrMapViewListener::hilight_cleared);
}

void XrMapViewProviderImpl::clear_hilight_if_off_screen()
{
    if (!hilighted_point)
        return;
    const XrPoint world = hilighted_point->get_coordinate().to_point(projection());
    XrPoint screen;
    if (!to_screen(world.x, world.y, screen))
        clear_hilight();
}

// --- Listener sides ------------------------------------------------------------------------

void XrMapViewProviderImpl::settings_changed()
{
    // The POI layer's records may have changed: collect the items again.
    cached_rect = XrRectangle(0, 0, 0, 0);
    if (host != nullptr)
        host->redraw_map(true);
}

void XrMapViewProviderImpl::map_settings_changed()
{
    settings_changed();
}

void XrMapViewProviderImpl::favourites_changed()
{
    settings_changed();
}

void XrMapViewProviderImpl::parking_changed()
{
    settings_changed();
}

void XrMapViewProviderImpl::roadblocks_changed()
{
    settings_changed();
}

void XrMapViewProviderImpl::poi_settings_changed()
{
    settings_changed();
}

void XrMapViewProviderImpl::map_initialized()
{
    XrMapProvider* maps = XrMapProvider::get_instance();
    view->set_map(maps != nullptr ? maps->get_map() : nullptr);
    auto* settings = find_provider<XrMapSettingsProvider>(L"XrMapSettingsProvider");
    if (settings == nullptr)
        return;
    XrCoordinate centre;
    int scale = 0, preset = 2, rotation = 0, mode = 0;
    settings->get_default_view(centre, scale, preset, rotation, mode);
    set_perspective(preset);
    const XrPoint p = centre.to_point(projection());
    if (mode == 1) {
        view->set_center_and_scale(&p, DETAIL_SCALE, true);
        view->set_rotation(rotation);
    } else {
        view->set_center_and_scale(&p, static_cast<std::uint32_t>(scale), true);
        view->set_rotation(0);
    }
    if (XrMap* map = view->get_map())
        map->set_3d(mode == 1);
}

void XrMapViewProviderImpl::map_closing()
{
    forget_visible_items();
    cached_rect = XrRectangle(0, 0, 0, 0);
    hilighted_point.reset();
    cursor_coordinate = XrCoordinate();
    perspective = 2;
    cursor_visible = false;
    view->set_map(nullptr);
}
