#include "common/map/xr_poilayer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "common/bmloader/xr_bitmap_loader.h"
#include "common/geometry/xr_geometry.h"
#include "common/geometry/xr_polygon.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapconfig.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_mapview.h"
#include "common/map/xr_poinotedrawer.h"
#include "common/types/xr_trig.h"

namespace {

// A number: an optional "-" and decimal digits; 0 without digits.
int read_number(const wchar_t* p)
{
    bool negative = false;
    if (*p == L'-') {
        negative = true;
        ++p;
    }
    long long v = 0;
    while (*p >= L'0' && *p <= L'9' && v < 1000000000) {
        v = v * 10 + (*p - L'0');
        ++p;
    }
    return static_cast<int>(negative ? -v : v);
}

const wchar_t* find_char(const wchar_t* from, const wchar_t* end, wchar_t c)
{
    for (const wchar_t* p = from; p < end && *p != 0; ++p)
        if (*p == c)
            return p;
    return nullptr;
}

bool on_screen(int x, int y, int side, int width, int height)
{
    return x >= -side && x <= width + side && y >= -side && y <= height + side;
}

// Calls fn(member, cursor, x, y, type, text) for each text record the members of storage hold in box;
// records of other kinds are skipped with a warning.
template <class Storage, class Fn>
void for_each_poi(Storage& storage, const XrRectangle* box, int scale, int language, Fn fn)
{
    for (int m = 0; m < storage.get_member_count(); ++m) {
        XrGeomStorage* member = storage.get_member(m);
        std::unique_ptr<XrGeomCursor> cursor(member->get_cursor(box, scale));
        const BYTE* record = nullptr;
        XrGeomStorage::XrRecordType kind{};
        while (cursor && cursor->get_next_record(record, kind) == XrGeomCursor::OK) {
            if (kind != XrGeomStorage::RecText) {
                xr_map_warning("POI record of kind %d skipped", static_cast<int>(kind));
                continue;
            }
            int id = 0, x = 0, y = 0;
            short type = 0, aux = 0;
            const TCHAR* text = nullptr;
            const BYTE* attributes = nullptr;
            if (cursor->get_txt(record, id, x, y, type, aux, text, attributes, language, nullptr))
                fn(member, *cursor, x, y, type, text);
        }
    }
}

} // namespace

XrPoiLayer::XrPoiLayer(XrMap* map, XrVisualSetting* visual_setting, bool owns_visual_setting)
    : XrGeomLayer(map, visual_setting, owns_visual_setting), dot(DOT_ID, false), note_symbol(NOTE_SYMBOL_ID, false)
{
    icon_sets.reserve(8);
    alerted.reserve(16);
    load_icons();
}

XrPoiLayer::~XrPoiLayer()
{
    release_icons();
    for (XrPoiLayerIconSet& set : icon_sets)
        if (set.storage_owned)
            delete set.storage;
}

void XrPoiLayer::free_memory()
{
    scratch_points().remove_all();
    scratch_points().set_capacity(100);
    scratch_ring_sizes().remove_all();
    scratch_ring_sizes().set_capacity(100);
}

// --- Visibility -----------------------------------------------------------------------

void XrPoiLayer::set_visibility(int type_key, int value)
{
    for (auto& [key, v] : visibility)
        if (key == type_key) {
            v = value;
            return;
        }
    visibility.emplace_back(type_key, value);
}

void XrPoiLayer::clear_visibility() { visibility.clear(); }

bool XrPoiLayer::get_visibility(int type_key, int& value) const
{
    for (const auto& [key, v] : visibility)
        if (key == type_key) {
            value = v;
            return true;
        }
    return false;
}

// --- Icon sets ---------------------------------------------------------------------------

void XrPoiLayer::load_icons()
{
    if (icons_loaded)
        return;
    XrBitmapLoader::set_pinned(NOTE_SYMBOL_ID, true);
    XrBitmapLoader::set_pinned(DOT_ID, true);
    if (client != nullptr)
        for (XrPoiLayerIconSet& set : icon_sets)
            client->load_icon_set(set);
    icons_loaded = true;
}

void XrPoiLayer::release_icons()
{
    if (!icons_loaded)
        return;
    XrBitmapLoader::set_pinned(NOTE_SYMBOL_ID, false);
    XrBitmapLoader::set_pinned(DOT_ID, false);
    for (XrPoiLayerIconSet& set : icon_sets) {
        if (set.mode == 2)
            continue;
        if (set.mode == 1) {
            set.medium = set.medium_mask = set.small = set.small_mask = nullptr;
            continue;
        }
        // Handles that the client does not load again (the sets of the POI
        // provider) are kept: releasing them would lose their icons.
        if (client == nullptr || (set.kind != 1 && set.kind != 2))
            continue;
        const unsigned int ids[3] = {set.small_id, set.medium_id, set.large_id};
        for (unsigned int id : ids)
            if (id != XrPoiLayerIconSet::PRIVATE_ID)
                XrBitmapLoader::set_pinned(id, false);
        XrBitmapHandleRec** handles[3][2] = {
            {&set.small, &set.small_mask}, {&set.medium, &set.medium_mask}, {&set.large, &set.large_mask}};
        for (int i = 0; i < 3; ++i)
            for (XrBitmapHandleRec** h : handles[i]) {
                if (ids[i] == XrPoiLayerIconSet::PRIVATE_ID)
                    XrGDI::delete_bitmap(*h);
                *h = nullptr;
            }
        set.small_height = set.medium_height = set.large_height = -1;
    }
    icons_loaded = false;
}

void XrPoiLayer::add_icon_set(const XrPoiLayerIconSet& set, bool make_current)
{
    icon_sets.push_back(set);
    if (make_current)
        current_index = static_cast<int>(icon_sets.size()) - 1;
    release_icons();
}

void XrPoiLayer::remove_icon_set(const XrPoiLayerIconSet& set)
{
    for (size_t i = 0; i < icon_sets.size(); ++i) {
        if (!icon_sets[i].same_set(set))
            continue;
        const int index = static_cast<int>(i);
        if (current_index == index)
            current_index = -1;
        else if (current_index > index)
            --current_index;
        icon_sets.erase(icon_sets.begin() + static_cast<long>(i));
        return;
    }
}

XrPoiLayerIconSet* XrPoiLayer::find_icon_set(const XrGeomStorage* storage, int type, bool shifted)
{
    auto covers = [&](const XrPoiLayerIconSet& s) {
        const long long t = shifted ? static_cast<long long>(type) - s.type_shift : type;
        return t >= 0 && t >= s.first_type && t < static_cast<long long>(s.first_type) + s.count;
    };
    for (XrPoiLayerIconSet& s : icon_sets)
        if (s.storage == storage && covers(s))
            return &s;
    for (XrPoiLayerIconSet& s : icon_sets)
        if (covers(s) && (storage == nullptr || s.storage == nullptr || s.storage == storage))
            return &s;
    if (current_index >= 0 && current_index < static_cast<int>(icon_sets.size()) &&
        covers(icon_sets[static_cast<size_t>(current_index)]))
        return &icon_sets[static_cast<size_t>(current_index)];
    return nullptr;
}

int XrPoiLayer::icon_index(const XrPoiLayerIconSet& set, int type)
{
    return set.mode == 1 ? 62 : static_cast<std::int16_t>(type - set.first_type);
}

int XrPoiLayer::strip_height(XrBitmapHandleRec* strip, int& cached)
{
    if (cached >= 0)
        return cached;
    int w = 0, h = 0;
    cached = strip != nullptr && XrGDI::get_bitmap_size(strip, &w, &h) ? h : 0;
    return cached;
}

bool XrPoiLayer::get_poi_icon(int type_key, int size, XrBitmapHandleRec*& bitmap, XrBitmapHandleRec*& mask,
                              int& offset, int& width, int& height)
{
    load_icons();
    XrPoiLayerIconSet* set = find_icon_set(nullptr, type_key, true);
    if (set == nullptr)
        return false;
    if (size == 0) {
        bitmap = set->small;
        mask = set->small_mask;
        height = strip_height(set->small, set->small_height);
    } else if (size == 1) {
        bitmap = set->medium;
        mask = set->medium_mask;
        height = strip_height(set->medium, set->medium_height);
    } else {
        bitmap = set->large;
        mask = set->large_mask;
        height = strip_height(set->large, set->large_height);
    }
    width = height;
    offset = set->mode == 0 || set->mode == 2 ? height * (type_key - set->first_type - set->type_shift)
                                              : height * icon_index(*set, type_key);
    return true;
}

int XrPoiLayer::size_class(int type_key, std::uint32_t scale)
{
    if ((type_key >= 51 && type_key <= 61) || type_key == 69)
        return scale <= 499999 ? 32 : 16;
    if (scale < LARGE_ICON_SCALE)
        return 32;
    return scale < SMALL_ICON_SCALE ? 16 : 8;
}

// --- Drawing and picking ---------------------------------------------------------------------

bool XrPoiLayer::draw(XrDCHandleRec* dc, XrMapView* view)
{
    if (client != nullptr)
        client->set_note_rects(nullptr, nullptr);
    const bool is_3d = map_is_3d(view);
    XrRectangle world = is_3d ? view->get_world_rect_3d() : view->get_draw_rect();
    const std::uint32_t scale = view->get_scale_value();
    const int width = view->get_screen_width(), height = view->get_screen_height();
    load_icons();
    const XrRectangle query = world;
    const int grow = view->pixels_to_world(8);
    world.left -= grow;
    world.right += grow;
    world.top -= grow;
    world.bottom += grow;
    XrGDI::select_brush(dc, XrGDI::get_stock_brush(XrGDI::StockHollowBrush));
    const int language = get_map_engine_services().get_text_language();

    XrPoiLayerIconSet* set = nullptr;
    const XrGeomStorage* set_member = nullptr;
    for_each_poi(storage, &query, static_cast<int>(scale), language, [&](XrGeomStorage* member, XrGeomCursor&, int x,
                                                                          int y, short type, const TCHAR*) {
        if (member != set_member) {
            set = nullptr;
            set_member = member;
        }
        if (!world.contains(x, y))
            return;
        if (set == nullptr || type < set->first_type || type >= set->first_type + set->count)
            set = find_icon_set(member, type, false);
        if (set == nullptr)
            return;
        const int key = type + set->type_shift;
        int value = 0;
        if (get_visibility(key, value) && value < 1)
            return;
        const int cls = size_class(key, scale);
        int side = cls == 8 ? dot.width() : 16;
        int sx = 0, sy = 0;
        if (is_3d)
            view->world_to_screen_3d(x, y, XrMapView::POINT_HEIGHT, sx, sy);
        else
            view->world_to_screen_2d(x, y, sx, sy);
        if (!on_screen(sx, sy, side, width, height))
            return;
        if (cls == 8) {
            if (dot.bitmap() != nullptr)
                XrGDI::draw_bitmap(dc, sx - side / 2, sy - side / 2, sx - side / 2 + side, sy - side / 2 + side,
                                   dot.bitmap(), 0, 0);
            return;
        }
        const bool medium = set->type_shift >= 1000;
        XrBitmapHandleRec* strip = medium ? set->medium : set->small;
        XrBitmapHandleRec* mask = medium ? set->medium_mask : set->small_mask;
        side = medium ? strip_height(set->medium, set->medium_height) : strip_height(set->small, set->small_height);
        if (strip == nullptr || side == 0)
            return;
        const int left = sx - side / 2, top = sy - side / 2;
        XrGDI::draw_bitmap_masked(dc, left, top, left + side, top + side, strip, side * icon_index(*set, type), 0,
                                  mask);
    });
    return true;
}

bool XrPoiLayer::pick(const XrPolygon& area, XrMapView* view, XrMapItems* items)
{
    const XrRectangle* box = area.get_bounding_box();
    if (box == nullptr || items == nullptr)
        return true;
    const int language = get_map_engine_services().get_text_language();
    const int scale = static_cast<int>(view->get_scale_value());
    for_each_poi(storage, box, scale, language, [&](XrGeomStorage* member, XrGeomCursor& cursor, int x, int y, short type,
                                                     const TCHAR*) {
        XrPoiLayerIconSet* set = find_icon_set(member, type, false);
        if (set == nullptr)
            return;
        const int key = type + set->type_shift;
        int value = 0;
        if (get_visibility(key, value) && value < 1)
            return;
        const int h = view->pixels_to_world(size_class(key, view->get_scale_value()) / 2);
        // An item of the layer's (aggregate) storage, so that a cursor on
        // that storage reads it back whichever member holds the record.
        if (area.intersects(XrRectangle(x - h, y - h, x + h, y + h)))
            items->add_item(new XrLayerMapItem(this, new XrAggregateGeomStorageCursor::XrAggerateGeomStorageMapItem(
                                                         member, cursor.get_current_map_item())),
                            true);
    });
    return true;
}

int XrPoiLayer::draw_picked_item(XrDCHandleRec* dc, XrMapView* view, const XrMapItem* item)
{
    if (client != nullptr)
        client->set_note_rects(nullptr, nullptr);
    const auto* own = dynamic_cast<const XrLayerMapItem*>(item);
    if (own == nullptr || own->layer != this || own->inner == nullptr)
        return 0;
    // The item names its member storage (items of a pick); another item is
    // looked for in every member.
    const auto* in_member = dynamic_cast<const XrAggregateGeomStorageCursor::XrAggerateGeomStorageMapItem*>(own->inner);
    const XrMapItem* inner = in_member != nullptr ? in_member->inner : own->inner;
    for (int m = 0; m < storage.get_member_count(); ++m) {
        XrGeomStorage* member = storage.get_member(m);
        if (in_member != nullptr && member != in_member->member)
            continue;
        std::unique_ptr<XrGeomCursor> cursor(member->get_cursor(nullptr, 0));
        const BYTE* record = nullptr;
        XrGeomStorage::XrRecordType kind{};
        if (!cursor || cursor->get_record(inner, kind, record) != XrGeomCursor::OK)
            continue;
        load_icons();
        if (kind != XrGeomStorage::RecText)
            return 0;
        int id = 0, x = 0, y = 0;
        short type = 0, aux = 0;
        const TCHAR* text = nullptr;
        const BYTE* attributes = nullptr;
        if (!cursor->get_txt(record, id, x, y, type, aux, text, attributes,
                             get_map_engine_services().get_text_language(), nullptr) ||
            text == nullptr)
            return 0;
        const std::wstring whole(text, std::min<size_t>(std::wcslen(text), NOTE_MAX_CHARS));
        XrPoiLayerIconSet* set = find_icon_set(member, type, false);
        if (set == nullptr)
            return 0;
        double speed = 0;
        int angle = 0, alert_kind = 0;
        const wchar_t* rest = whole.c_str();
        parse_poi_attributes(whole.c_str(), speed, angle, alert_kind, &rest);
        const int index = icon_index(*set, type);
        const int side = strip_height(set->medium, set->medium_height);
        int sx = 0, sy = 0;
        if (map_is_3d(view))
            view->world_to_screen_3d(x, y, XrMapView::POINT_HEIGHT, sx, sy);
        else
            view->world_to_screen_2d(x, y, sx, sy);
        if (!on_screen(sx, sy, side, view->get_screen_width(), view->get_screen_height()))
            return 0;
        const wchar_t* tab1 = std::wcschr(rest, L'\t');
        const std::wstring name = tab1 != nullptr ? std::wstring(rest, tab1) : std::wstring(rest);
        XrString second, third;
        if (tab1 != nullptr) {
            const wchar_t* tab2 = std::wcschr(tab1 + 1, L'\t');
            const std::wstring field = tab2 != nullptr ? std::wstring(tab1 + 1, tab2) : std::wstring(tab1 + 1);
            if (field.size() >= 2)
                second = XrString(field.c_str(), static_cast<int>(field.size()) - 1);
            if (tab2 != nullptr && tab2[1] != 0)
                third = XrString(tab2 + 1);
        }
        XrPoiNoteDrawer note(name.c_str());
        note.set_second_line(second);
        note.set_third_line(third);
        note.set_screen_size(XrSize(view->get_screen_width(), view->get_screen_height()));
        note.set_anchor(XrPoint(sx, sy));
        note.set_icon(set->medium, index, set->medium_mask);
        note.set_symbol(NOTE_SYMBOL_ID);
        XrRectangle icon_rect, note_rect;
        if (!note.draw(dc, icon_rect, note_rect))
            return 0;
        if (client != nullptr)
            client->set_note_rects(&icon_rect, &note_rect);
        return 1;
    }
    return 0;
}

// --- Texts ---------------------------------------------------------------------------------------

bool XrPoiLayer::parse_poi_attributes(const wchar_t* text, double& speed_limit, int& angle, int& kind,
                                      const wchar_t** rest)
{
    kind = 0;
    speed_limit = -1.0;
    angle = -1;
    if (rest != nullptr)
        *rest = text;
    if (text == nullptr)
        return false;
    const wchar_t* open = std::wcschr(text, L'<');
    const wchar_t* close = open != nullptr ? std::wcschr(open, L'>') : nullptr;
    if (open != nullptr && close != nullptr) {
        auto letter = [&](wchar_t c) { return find_char(open + 1, close, c); };
        if (const wchar_t* p = letter(L't'))
            kind = read_number(p + 1);
        if (const wchar_t* p = letter(L'@'))
            speed_limit = read_number(p + 1) / 3.6;
        if (const wchar_t* p = letter(L'm'))
            speed_limit = read_number(p + 1) * 1.609344 / 3.6;
        if (const wchar_t* p = letter(L'a')) {
            angle = read_number(p + 1);
        } else if (const wchar_t* p = letter(L'b')) {
            int b = read_number(p + 1);
            const bool reduced = b > 359;
            if (reduced)
                b -= 360;
            angle = 450 - b;
            if (angle > 359)
                angle -= 360;
            if (reduced)
                angle += 360;
        }
        const wchar_t* r = close + 1;
        while (*r == L' ')
            ++r;
        if (rest != nullptr)
            *rest = r;
        return true;
    }
    if (const wchar_t* p = std::wcschr(text, L'@')) {
        speed_limit = read_number(p + 1) / 3.6;
        return true;
    }
    return false;
}

bool XrPoiLayer::split_poi_name(const wchar_t* text, XrString& name, XrString& second)
{
    const wchar_t* tab1 = text != nullptr ? std::wcschr(text, L'\t') : nullptr;
    if (tab1 == nullptr) {
        second.clear();
        return false;
    }
    const wchar_t* tab2 = std::wcschr(tab1 + 1, L'\t');
    const size_t n = tab2 != nullptr ? static_cast<size_t>(tab2 - tab1 - 1) : std::wcslen(tab1 + 1);
    if (n > 0)
        second = XrString(tab1 + 1, static_cast<int>(n - 1));
    else
        second.clear();
    const wchar_t* start = text;
    if (const wchar_t* gt = std::wcsrchr(text, L'>'))
        start = gt + 1;
    name = start < tab1 ? XrString(start, static_cast<int>(tab1 - start)) : XrString();
    return true;
}

bool XrPoiLayer::get_poi_third_field(const wchar_t* text, XrString& third)
{
    if (text == nullptr)
        return false;
    const wchar_t* tab1 = std::wcschr(text, L'\t');
    const wchar_t* tab2 = tab1 != nullptr ? std::wcschr(tab1 + 1, L'\t') : nullptr;
    if (tab2 == nullptr) {
        third.clear();
        return false;
    }
    third = XrString(tab2 + 1);
    return true;
}

// --- Proximity alerts ---------------------------------------------------------------------------------

bool XrPoiLayer::get_proximity_alert(const XrPoint* position, double speed, int heading, XrString& text,
                                     XrString& sound, bool special)
{
    if (position == nullptr)
        return false;
    const bool cameras = alert_settings != nullptr && alert_settings->trafficcam_alert();
    const XrPoint pos = *position;
    const XrRectangle box(pos.x - ALERT_SEARCH_RADIUS, pos.y - ALERT_SEARCH_RADIUS, pos.x + ALERT_SEARCH_RADIUS,
                          pos.y + ALERT_SEARCH_RADIUS);
    alerted.erase(std::remove_if(alerted.begin(), alerted.end(),
                                 [&](const XrPoiAlertRecord& r) {
                                     const long long dx = std::llabs(static_cast<long long>(pos.x) - r.x);
                                     const long long dy = std::llabs(static_cast<long long>(pos.y) - r.y);
                                     if (dx > r.radius || dy > r.radius)
                                         return true;
                                     return static_cast<long long>(pos.distance(r.x, r.y)) > r.radius;
                                 }),
                  alerted.end());
    sound.clear();
    load_icons();
    bool result = false;
    const int language = get_map_engine_services().get_text_language();
    for_each_poi(storage, &box, 0, language, [&](XrGeomStorage* member, XrGeomCursor&, int x, int y, short type,
                                                  const TCHAR* poi_text) {
        if (poi_text == nullptr || !box.contains(x, y))
            return;
        XrPoiLayerIconSet* set = find_icon_set(member, type, false);
        if (set == nullptr)
            return;
        const int key = type + set->type_shift;
        int value = 0;
        if (!get_visibility(key, value) || (value < 1 && !cameras))
            return;
        if (std::any_of(alerted.begin(), alerted.end(),
                        [&](const XrPoiAlertRecord& r) { return r.x == x && r.y == y; }))
            return;
        const int d = static_cast<int>(pos.distance(x, y));
        double limit = -1.0;
        int angle = -1, alert_kind = 0;
        parse_poi_attributes(poi_text, limit, angle, alert_kind, nullptr);
        if (!cameras)
            alert_kind = 0;
        if (!special && alert_kind != 0)
            return;
        const TCHAR* chosen = nullptr;
        int distance = value;
        switch (alert_kind) {
        case 0: chosen = L"ding.wav"; break;
        case 1:
        case 2:
            chosen = L"camera.wav";
            distance = limit <= 14.0 ? 350 : limit <= 19.5 ? 500 : 800;
            break;
        case 3: chosen = L"camera.wav"; distance = 400; break;
        case 4: distance = 400; break;
        case 5: case 6: case 7: case 8: case 9: case 10: case 13: chosen = L"ding.wav"; distance = 200; break;
        case 11: chosen = speed > 14.0 ? L"camera.wav" : L"ding.wav"; distance = 250; break;
        case 12: chosen = L"ding.wav"; distance = 250; break;
        default: break;
        }
        if (!(d + 2 < distance))
            return;
        if (angle != -1) {
            if (get_angle_between(((heading % 360) + 360) % 360, ((angle % 360) + 360) % 360) > 59)
                return;
            const int c = static_cast<int>(std::lround(cos_deg(heading) * 1000));
            const int s = static_cast<int>(std::lround(sin_deg(heading) * 1000));
            int fx = 0, fy = 0;
            if (!project_point_on_segment(x, y, pos.x - c, pos.y - s, pos.x + c, pos.y + s, fx, fy) ||
                XrPoint(fx, fy).distance(x, y) > 50)
                return;
        }
        alerted.push_back({x, y, distance, key});
        result = true;
        text = XrString(poi_text);
        if (chosen != nullptr)
            sound = XrString(chosen);
        else
            sound.clear();
    });
    return result;
}

bool XrPoiLayer::get_alert_icon(XrBitmapHandleRec*& bitmap, XrBitmapHandleRec*& mask, int& offset, int& width,
                                int& height)
{
    if (alerted.empty())
        return false;
    get_poi_icon(alerted.back().type_key, 2, bitmap, mask, offset, width, height);
    return true;
}

// --- Configured kind --------------------------------------------------------------------------------------

namespace {

XrGeomLayer* create_poi_layer(XrMap* map, XrVisualSetting* vs, XrConfiguration&, XrMapConfigContext& context)
{
    auto* layer = new XrPoiLayer(map, vs, false);
    layer->set_client(context.poi_client);
    if (context.notifier != nullptr)
        context.notifier->add_client(layer);
    return layer;
}

} // namespace

void register_poi_layer_kind() { register_configured_layer_kind(LayerPoi, create_poi_layer); }
