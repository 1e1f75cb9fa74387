#include "common/map/xr_linelabellayer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/addr/xr_addraccessor.h"
#include "common/geometry/xr_geometry.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapconfig.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_mapview.h"
#include "common/misc/xr_unicodeutil.h"
#include "common/visualization/xr_visualsetting.h"

namespace {

constexpr double kDegrees = 180.0 / XR_HALF_TURN;

// Measured sizes beyond these cannot be held by a label.
constexpr int kMaxLabelWidth = 32767;
constexpr int kMaxLabelHeight = 32766;

int scale_factor_int()
{
    const double f = get_map_engine_services().get_scale_factor();
    return f > 0 ? static_cast<int>(f) : 1;
}

void grow_box(XrRectangle& box, int by)
{
    box.left -= by;
    box.right += by;
    box.top -= by;
    box.bottom += by;
}

bool boxes_overlap(const XrRectangle& a, const XrRectangle& b)
{
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

XrColorHandle traffic_colour(int level)
{
    if (level <= 1)
        return XrGDI::rgb(0, 0, 0);
    if (level <= 3)
        return XrGDI::rgb(255, 0, 0);
    return XrGDI::rgb(255, 127, 0);
}

XrPenHandle solid_pen(int width, XrColorHandle c)
{
    return XrGDI::create_pen(XrGDI::PenSolid, width, XrGDI::get_r(c), XrGDI::get_g(c), XrGDI::get_b(c));
}

// Whole degrees 0..359 of a direction in radians.
int degrees_of(double radians) { return static_cast<int>(radians * kDegrees); }

int reduce_degrees(int a)
{
    a %= 360;
    return a < 0 ? a + 360 : a;
}

// The 3D row width tables: 64 entries each; entry 0 holds 127 while invalid.
signed char g_narrow[64] = {127};
signed char g_wide[64] = {127};
int g_row_shift = 3;

} // namespace

// --- Construction -----------------------------------------------------------------

XrLineLabelLayer::XrLineLabelLayer(const TCHAR* font_name, int font_size, XrMap* map, XrVisualSetting* visual_setting,
                                   bool owns_visual_setting, int type_override1, int type_override2)
    : XrGeomLayer(map, visual_setting, owns_visual_setting),
      street_font_name(font_name != nullptr ? font_name : L"arial"),
      street_font_size(font_size),
      type_override1(type_override1),
      type_override2(type_override2)
{
    labelled_pieces.reserve(128);
    plain_pieces.reserve(256);
    measurement_font =
        XrGDI::create_font_rotated(street_font_name.c_str(), street_font_size, 400, false, XrFontAngle(0));
    if (measurement_font == nullptr)
        xr_map_warning("street font cannot be created: no street names are written");
}

XrLineLabelLayer::~XrLineLabelLayer()
{
    if (measurement_font != nullptr)
        XrGDI::delete_font(measurement_font);
}

void XrLineLabelLayer::set_addr_accessor(XrAddrAccessor* accessor)
{
    own_names.reset(accessor != nullptr ? new XrAddrStreetNames(accessor) : nullptr);
    set_street_names(own_names.get());
}

void XrLineLabelLayer::set_street_names(XrStreetNameSource* source)
{
    addr_accessor = source;
    suffixes_fetched = false;
    suffix_long.clear();
    suffix_short.clear();
}

void XrAddrStreetNames::get_streets_by_gids(const std::vector<XrGid>& gids, int language,
                                            std::vector<XrString>& names)
{
    XrArray<XrAddrAccessor::XrStreetsByGidsRequest> requests(gids.empty() ? 1 : static_cast<int>(gids.size()));
    for (XrGid gid : gids) {
        XrAddrAccessor::XrStreetsByGidsRequest r;
        r.gid = gid;
        r.language = static_cast<XrLC>(language);
        requests.append(r);
    }
    // Names that could be read are used even when another lookup failed.
    accessor->get_streets_by_gids(requests);
    names.clear();
    for (int i = 0; i < requests.get_num_items(); ++i)
        names.push_back(requests.get_item_ptr(i)->name);
}

void XrAddrStreetNames::get_suffix_table(std::vector<std::pair<XrString, XrString>>& table)
{
    const TCHAR* const* strings = nullptr;
    const int* splits = nullptr;
    int count = 0;
    accessor->get_suffix_table(strings, splits, count);
    for (int i = 0; i < count && strings != nullptr && splits != nullptr; ++i) {
        if (strings[i] == nullptr || splits[i] <= 0)
            continue;
        table.emplace_back(XrString(strings[i], splits[i]), XrString(strings[i] + splits[i] + 1));
    }
}

void XrAddrStreetNames::flush_name_cache() { accessor->flush_name_cache(); }

// --- Routes and traffic --------------------------------------------------------------

void XrLineLabelLayer::set_route_edges(const XrRouteEdgeSource* const* routes, int count, int active)
{
    active_route_edges.reset();
    other_route_edges.reset();
    active_route = active;
    route_edge_index.clear();
    route_polylines.clear();
    if (routes == nullptr || count <= 0)
        return;
    size_t a = 0, b = 0;
    for (int r = 0; r < count; ++r) {
        if (routes[r] == nullptr)
            continue;
        (r == active ? a : b) += static_cast<size_t>(std::max(0, routes[r]->get_segment_count()));
    }
    active_route_edges = std::make_unique<std::unordered_set<XrGid>>(a + a / 2);
    other_route_edges = std::make_unique<std::unordered_set<XrGid>>(b + b / 2);
    if (traffic_roads)
        route_edge_index.resize(static_cast<size_t>(count));
    for (int r = 0; r < count; ++r) {
        const XrRouteEdgeSource* route = routes[r];
        if (route == nullptr) {
            route_polylines.emplace_back();
            route_polylines.emplace_back();
            continue;
        }
        const int first = std::max(0, route->get_driven_first());
        const int end = std::min(route->get_segment_count(), route->get_driven_end());
        for (int i = first; i < end; ++i) {
            const XrGid gid = route->get_segment_gid(i);
            (r == active ? *active_route_edges : *other_route_edges).insert(gid);
            if (traffic_roads && traffic_roads->count(gid) != 0)
                route_edge_index[static_cast<size_t>(r)].emplace(gid, i);
        }
        for (int which = 0; which < 2; ++which) {
            const XrPolygon* line = route->get_polyline(which);
            if (line == nullptr) {
                route_polylines.emplace_back();
                continue;
            }
            auto copy = std::make_unique<XrPolygon>(true);
            *copy = *line;
            route_polylines.push_back(std::move(copy));
        }
    }
}

void XrLineLabelLayer::reset_traffic(unsigned capacity)
{
    traffic_roads = std::make_unique<std::unordered_map<XrGid, std::uint8_t>>(capacity);
}

bool XrLineLabelLayer::add_traffic_road(unsigned gid, bool along, int level)
{
    if (!traffic_roads)
        reset_traffic(16);
    const int clamped = std::clamp(level, 0, MAX_TRAFFIC_LEVEL);
    const int value = (along ? 1 : 2) + (clamped << 4);
    auto it = traffic_roads->find(gid);
    if (it == traffic_roads->end()) {
        traffic_roads->emplace(gid, static_cast<std::uint8_t>(value));
    } else {
        const int old = it->second;
        const int bits = (old | value) & 3;
        const int top = std::max(old >> 4, clamped);
        it->second = static_cast<std::uint8_t>(bits | (top << 4));
    }
    return (active_route_edges && active_route_edges->count(gid) != 0) ||
           (other_route_edges && other_route_edges->count(gid) != 0);
}

void XrLineLabelLayer::clear_traffic_road(unsigned gid)
{
    if (!traffic_roads)
        return;
    auto it = traffic_roads->find(gid);
    if (it != traffic_roads->end())
        it->second = 0;
}

int XrLineLabelLayer::get_traffic_value(unsigned gid) const
{
    if (!traffic_roads)
        return 0;
    auto it = traffic_roads->find(gid);
    return it == traffic_roads->end() ? 0 : it->second;
}

bool XrLineLabelLayer::find_route_edge(unsigned gid, int route, int* position) const
{
    if (route >= 0 && static_cast<size_t>(route) < route_edge_index.size()) {
        auto it = route_edge_index[static_cast<size_t>(route)].find(gid);
        if (it != route_edge_index[static_cast<size_t>(route)].end()) {
            if (position != nullptr)
                *position = it->second;
            return true;
        }
    }
    if ((active_route_edges && active_route_edges->count(gid) != 0) ||
        (other_route_edges && other_route_edges->count(gid) != 0)) {
        if (position != nullptr)
            *position = -1;
        return true;
    }
    return false;
}

int XrLineLabelLayer::get_label_colors(XrColorHandle& colour, XrColorHandle* halo) const
{
    colour = 0;
    if (visual_setting == nullptr)
        return 1;
    if (halo != nullptr)
        *halo = visual_setting->get_text_halo_color();
    XrFontHandleRec* font = nullptr;
    return visual_setting->get_font_info(static_cast<short>(type_override1 + 1000), 0, font, colour);
}

// --- Helpers ----------------------------------------------------------------------------

int XrLineLabelLayer::piece_class(int drawing_type) const
{
    if (type_override1 != 0 && drawing_type == type_override1)
        return 0;
    if (type_override2 != 0 && drawing_type == type_override2)
        return 1;
    return std::min(2 + drawing_type, 15);
}

XrFontHandleRec* XrLineLabelLayer::label_font(int type, int scale_index, XrColorHandle* colour) const
{
    XrFontHandleRec* font = nullptr;
    XrColorHandle c = 0;
    if (visual_setting == nullptr ||
        visual_setting->get_font_info(static_cast<short>(type + 1000), scale_index, font, c) != 0)
        return nullptr;
    if (colour != nullptr)
        *colour = c;
    return font;
}

bool XrLineLabelLayer::measure(XrDCHandleRec* dc, const XrString& text, int& w, int& h) const
{
    w = h = 0;
    if (measurement_font == nullptr || text.is_empty())
        return false;
    XrGDI::get_dc_text_size(dc, text.c_str(), &w, &h, -1);
    if (w > kMaxLabelWidth || h > kMaxLabelHeight || w < 0 || h < 0) {
        xr_map_warning("street name of %d x %d pixels not written", w, h);
        return false;
    }
    return true;
}

void XrLineLabelLayer::fetch_suffix_table()
{
    if (suffixes_fetched || addr_accessor == nullptr)
        return;
    suffixes_fetched = true;
    std::vector<std::pair<XrString, XrString>> table;
    addr_accessor->get_suffix_table(table);
    for (auto& [long_form, short_form] : table) {
        if (long_form.is_empty())
            continue;
        suffix_long.push_back(long_form);
        suffix_short.push_back(short_form);
    }
}

void XrLineLabelLayer::store_piece(std::uint32_t first, std::uint32_t end, int own_type, int drawing_type,
                                   int attributes, int traffic, XrGid gid, bool labelled)
{
    XrDrawInfoBase base;
    base.first = first;
    base.end = end;
    base.order = static_cast<std::uint8_t>(((own_type & 15) << 4) | piece_class(drawing_type));
    base.attributes = static_cast<std::uint16_t>((attributes & ~(15 | 128) & 0xFFFF) | (drawing_type & 15));
    base.traffic = static_cast<std::uint8_t>(traffic);
    base.gid = gid;
    if (labelled) {
        labelled_pieces.emplace_back();
        static_cast<XrDrawInfoBase&>(labelled_pieces.back()) = base;
    } else {
        plain_pieces.push_back(base);
    }
}

// --- 2D drawing -----------------------------------------------------------------------------

void XrLineLabelLayer::collect_pieces(XrDCHandleRec* dc, XrMapView* view, const XrRectangle& world, int scale_index,
                                      const XrSize& screen)
{
    std::unique_ptr<XrGeomCursor> cursor(storage.get_cursor(&world, static_cast<int>(view->get_scale_value())));
    if (!cursor)
        return;
    const int tol = tolerance_to_world(5, world.right - world.left, screen.width);
    XrArray<XrPoint>& pts = scratch_points();
    static XrArray<XrPoint> thin(400, 400);
    const int sf = scale_factor_int();
    (void)sf;

    int last_type = NO_STYLE;
    bool style_ok = false;
    int width = 0;
    XrPenHandle outer{}, inner{};
    XrFontHandleRec* font = nullptr;
    std::unordered_set<XrGid> queued;

    const BYTE* record = nullptr;
    XrGeomStorage::XrRecordType kind{};
    while (cursor->get_next_record(record, kind) == XrGeomCursor::OK) {
        if (kind != XrGeomStorage::RecPolyline) {
            xr_map_warning("road record of kind %d skipped", static_cast<int>(kind));
            continue;
        }
        int id = 0, x = 0, y = 0;
        short rtype = 0, aux = 0;
        const BYTE* points = nullptr;
        const BYTE* attrs = nullptr;
        BYTE coding = 0;
        const int count = cursor->get_pp(record, id, x, y, rtype, aux, points, coding, attrs);
        if (count <= 0)
            continue;
        const int own_type = rtype & 15;
        int type = own_type;
        if (max_type != -1 && (type < min_type || type > max_type))
            continue;
        int traffic = 0;
        XrGid gid = 0;
        bool have_gid = false;
        if ((type_override1 != 0 && active_route_edges) || (type_override2 != 0 && other_route_edges) ||
            traffic_roads) {
            if (!cursor->get_current_record_geom_id(gid))
                continue;
            have_gid = true;
            if (active_route_edges && active_route_edges->count(gid) != 0)
                type = type_override1;
            else if (other_route_edges && other_route_edges->count(gid) != 0)
                type = type_override2;
            traffic = get_traffic_value(gid);
        }
        if (type != last_type) {
            last_type = type;
            short w = 0;
            style_ok = visual_setting->get_line_info(static_cast<short>(type), scale_index, outer, inner, w) == 0 &&
                       outer.style != XrPenHandle::Null && w != 0;
            width = std::abs(w);
            font = label_font(type, scale_index, nullptr);
        }
        if (!style_ok)
            continue;

        // Thinned world points.
        thin.remove_all();
        XrPoint last(x, y);
        thin.append(last);
        for (int i = 1; i < count; ++i) {
            cursor->get_pp_next_pt(coding, x, y, points);
            if (i < count - 1 && std::llabs(static_cast<long long>(x) - last.x) < tol &&
                std::llabs(static_cast<long long>(y) - last.y) < tol)
                continue;
            last = XrPoint(x, y);
            thin.append(last);
        }
        const int n = thin.get_num_items();
        const XrPoint* wp = thin.get_items();

        XrRectangle box(wp[0].x, wp[0].y, wp[0].x, wp[0].y);
        for (int i = 1; i < n; ++i) {
            box.left = std::min(box.left, wp[i].x);
            box.right = std::max(box.right, wp[i].x);
            box.top = std::min(box.top, wp[i].y);
            box.bottom = std::max(box.bottom, wp[i].y);
        }
        if (!boxes_overlap(box, world))
            continue;
        if (width <= 2 && font == nullptr) {
            // Drawn at once, in an array of its own: the scratch points hold
            // the pieces stored so far.
            static XrArray<XrPoint> direct(400, 400);
            direct.remove_all();
            for (int i = 0; i < n; ++i)
                direct.append(wp[i]);
            XrPoint* sp = direct.get_items();
            view->world_to_screen_2d_array(sp, static_cast<unsigned>(n));
            int distinct = 1;
            for (int i = 1; i < n && distinct < 2; ++i)
                if (!(sp[i] == sp[0]))
                    ++distinct;
            if (distinct >= 2) {
                XrGDI::select_pen(dc, outer, width);
                XrGDI::draw_polyline(dc, sp, n);
            }
            continue;
        }

        const bool labelled = font != nullptr && draw_labels;
        if (labelled && !have_gid && cursor->get_current_record_geom_id(gid))
            have_gid = true;
        const size_t stored_before = labelled_pieces.size();

        // Pieces of consecutive visible segments.
        bool open = false;
        std::uint32_t piece_first = 0;
        auto close_piece = [&]() {
            if (!open)
                return;
            open = false;
            const std::uint32_t end = static_cast<std::uint32_t>(pts.get_num_items());
            if (end - piece_first == 2 && *pts.get_item_ptr(static_cast<int>(piece_first)) ==
                                              *pts.get_item_ptr(static_cast<int>(piece_first + 1))) {
                pts.remove_item(pts.get_num_items() - 1);
                pts.remove_item(pts.get_num_items() - 1);
                return;
            }
            store_piece(piece_first, end, own_type, type, rtype, traffic, have_gid ? gid : 0, labelled);
        };
        XrPoint prev_screen;
        view->world_to_screen_2d(wp[0].x, wp[0].y, prev_screen.x, prev_screen.y);
        for (int i = 1; i < n; ++i) {
            XrPoint cur_screen;
            view->world_to_screen_2d(wp[i].x, wp[i].y, cur_screen.x, cur_screen.y);
            const XrRectangle seg_box(std::min(wp[i - 1].x, wp[i].x), std::min(wp[i - 1].y, wp[i].y),
                                      std::max(wp[i - 1].x, wp[i].x), std::max(wp[i - 1].y, wp[i].y));
            XrPoint a, b;
            const bool visible = boxes_overlap(seg_box, world) &&
                                 clip_line_to_screen(prev_screen.x, prev_screen.y, cur_screen.x, cur_screen.y,
                                                     screen, a.x, a.y, b.x, b.y);
            if (!visible) {
                close_piece();
            } else {
                if (!open) {
                    open = true;
                    piece_first = static_cast<std::uint32_t>(pts.get_num_items());
                    pts.append(a);
                } else if (!(*pts.get_item_ptr(pts.get_num_items() - 1) == a)) {
                    pts.append(a);
                }
                pts.append(b);
                if (!(b == cur_screen) || i == n - 1)
                    close_piece();
            }
            prev_screen = cur_screen;
        }
        close_piece();
        // Names are looked up only for roads with a visible piece.
        if (labelled && have_gid && !read_all_road_ids && labelled_pieces.size() > stored_before &&
            queued.insert(gid).second)
            lookup_gids.push_back(gid);
    }
}

void XrLineLabelLayer::resolve_names()
{
    if (lookup_gids.empty() || addr_accessor == nullptr)
        return;
    std::vector<XrString> found;
    addr_accessor->get_streets_by_gids(lookup_gids, text_language, found);
    std::unordered_map<XrGid, std::wstring> names;
    for (size_t i = 0; i < found.size() && i < lookup_gids.size(); ++i)
        if (!found[i].is_empty())
            names.emplace(lookup_gids[i], std::wstring(found[i].c_str()));
    // Street name -> its labelled pieces (at most 8), in collection order.
    std::unordered_map<std::wstring, std::vector<int>> streets(63);
    std::vector<std::wstring> street_order;
    for (size_t i = 0; i < labelled_pieces.size(); ++i) {
        auto it = names.find(labelled_pieces[i].gid);
        if (it == names.end())
            continue;
        auto [entry, fresh] = streets.try_emplace(it->second);
        if (fresh)
            street_order.push_back(it->second);
        if (entry->second.size() < static_cast<size_t>(MAX_PIECES_PER_STREET))
            entry->second.push_back(static_cast<int>(i));
    }
    const XrPoint* p = scratch_points().get_items();
    for (const std::wstring& name : street_order) {
        int best = -1;
        double best_len = MIN_LABEL_SEGMENT;
        for (int index : streets[name]) {
            const XrDrawInfo& piece = labelled_pieces[static_cast<size_t>(index)];
            for (std::uint32_t k = piece.first + 1; k < piece.end; ++k) {
                const double len = std::hypot(static_cast<double>(p[k].x) - p[k - 1].x,
                                              static_cast<double>(p[k].y) - p[k - 1].y);
                if (len > best_len) {
                    best_len = len;
                    best = index;
                }
            }
        }
        if (best >= 0)
            labelled_pieces[static_cast<size_t>(best)].name = XrString(name.c_str());
    }
}

void XrLineLabelLayer::add_route_pieces(XrMapView* view, const XrRectangle& world)
{
    XrArray<XrPoint>& pts = scratch_points();
    for (size_t i = 0; i < route_polylines.size(); ++i) {
        const XrPolygon* line = route_polylines[i].get();
        if (line == nullptr || line->get_point_count() < 2)
            continue;
        const XrRectangle* box = line->get_bounding_box();
        if (box == nullptr || !boxes_overlap(*box, world))
            continue;
        const std::uint32_t first = static_cast<std::uint32_t>(pts.get_num_items());
        for (int k = 0; k < line->get_point_count(); ++k) {
            XrPoint w;
            line->get_point(k, w);
            XrPoint s;
            view->world_to_screen_2d(w.x, w.y, s.x, s.y);
            pts.append(s);
        }
        const bool active = static_cast<int>(i / 2) == active_route;
        const int type = active ? type_override1 : type_override2;
        XrDrawInfo piece;
        piece.first = first;
        piece.end = static_cast<std::uint32_t>(pts.get_num_items());
        piece.order = static_cast<std::uint8_t>(((type_override1 & 15) << 4) | (active ? 0 : 1));
        piece.attributes = static_cast<std::uint16_t>(type & 15);
        labelled_pieces.push_back(std::move(piece));
    }
}

bool XrLineLabelLayer::draw(XrDCHandleRec* dc, XrMapView* view)
{
    fetch_suffix_table();
    const int language = get_map_engine_services().get_text_language();
    if (language != text_language) {
        if (addr_accessor != nullptr)
            addr_accessor->flush_name_cache();
        text_language = language;
    }
    XrRectangle world = view->get_draw_rect();
    grow_box(world, view->pixels_to_world(4));
    const XrSize screen(view->get_screen_width(), view->get_screen_height());
    if (visual_setting == nullptr)
        return true;
    if (screen.width <= 0 || screen.height <= 0) {
        xr_map_warning("road layer drawn on a screen of %d x %d skipped", screen.width, screen.height);
        return true;
    }
    const int scale_index = visual_setting->get_scale_index(view->get_scale_value());
    reset_draw_state();
    XrGDI::set_opaque_text(dc, false);
    const XrPenHandle saved_pen = XrGDI::get_pen(dc);
    const XrBrushHandle saved_brush = XrGDI::get_brush(dc);
    XrDCState saved_state;
    XrGDI::get_dc_state(dc, saved_state);

    XrArray<XrPoint>& pts = scratch_points();
    pts.remove_all();
    labelled_pieces.clear();
    plain_pieces.clear();
    lookup_gids.clear();
    placed.clear();

    collect_pieces(dc, view, world, scale_index, screen);
    resolve_names();
    add_route_pieces(view, world);

    // Drawing order: class, then shorter names first for pieces without flag
    // bits (a strict weak order: flagged pieces count as length 0).
    struct XrRef {
        const XrDrawInfoBase* piece;
        int name_length;
    };
    std::vector<XrRef> list;
    list.reserve(labelled_pieces.size() + plain_pieces.size());
    for (const XrDrawInfo& p : labelled_pieces)
        list.push_back({&p, (p.attributes & FLAG_BITS) != 0 ? 0 : p.name.length()});
    for (const XrDrawInfoBase& p : plain_pieces)
        list.push_back({&p, 0});
    std::stable_sort(list.begin(), list.end(), [](const XrRef& a, const XrRef& b) {
        if (a.piece->draw_class() != b.piece->draw_class())
            return a.piece->draw_class() < b.piece->draw_class();
        return a.name_length < b.name_length;
    });

    const XrPoint* p = pts.get_items();
    const int sf = scale_factor_int();
    // Road passes: casing, then core.
    for (int sweep = 0; sweep < 2; ++sweep) {
        int last = NO_STYLE;
        bool ok = false;
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            const XrDrawInfoBase& piece = *it->piece;
            if (piece.traffic != 0)
                continue;
            const int type = piece.drawing_type();
            if (type != last) {
                last = type;
                int r1 = 0, g1 = 0, b1 = 0, r2 = 0, g2 = 0, b2 = 0;
                short w = 0;
                ok = visual_setting->get_line_colors(static_cast<short>(type), scale_index, r1, g1, b1, r2, g2, b2,
                                                     w) == 0;
                if (ok) {
                    const int core = std::abs(w) - 2;
                    const XrPenHandle pen = sweep == 0 ? XrGDI::create_pen(XrGDI::PenSolid, core + 2 * sf, r1, g1, b1)
                                                       : XrGDI::create_pen(XrGDI::PenSolid, core, r2, g2, b2);
                    XrGDI::select_pen(dc, pen, pen.width);
                }
            }
            if (ok && piece.end > piece.first)
                XrGDI::draw_polyline(dc, p + piece.first, static_cast<int>(piece.end - piece.first));
        }
    }

    // Traffic passes.
    for (int sweep = 0; sweep < 3; ++sweep) {
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            const XrDrawInfoBase& piece = *it->piece;
            if (piece.traffic == 0 || piece.end <= piece.first)
                continue;
            const int type = piece.drawing_type();
            int r1 = 0, g1 = 0, b1 = 0, r2 = 0, g2 = 0, b2 = 0;
            short w = 0;
            if (visual_setting->get_line_colors(static_cast<short>(type), scale_index, r1, g1, b1, r2, g2, b2, w) !=
                0)
                continue;
            const int core = std::abs(w) - 2;
            const bool route = type_override1 != 0 && type == type_override1;
            const XrColorHandle inner = XrGDI::rgb(r2, g2, b2);
            const XrPoint* pp = p + piece.first;
            const int n = static_cast<int>(piece.end - piece.first);
            if (sweep == 0) {
                XrGDI::select_pen(dc, solid_pen(core + 8, route ? inner : XrGDI::rgb(0, 0, 0)), core + 8);
                XrGDI::draw_polyline(dc, pp, n);
            } else if (sweep == 1) {
                const int width = route ? core + 2 : core + 4;
                XrGDI::select_pen(dc, solid_pen(width, XrGDI::rgb(255, 255, 255)), width);
                XrGDI::draw_polyline(dc, pp, n);
            } else {
                const XrColorHandle colour = traffic_colour(piece.traffic >> 4);
                if (scale_index >= 7 && !route) {
                    XrGDI::select_pen(dc, solid_pen(2, colour), 2);
                    XrGDI::draw_polyline(dc, pp, n);
                } else {
                    int direction = piece.traffic & 3;
                    if ((piece.attributes & (ONEWAY_ALONG | ONEWAY_AGAINST)) != 0)
                        direction = (piece.attributes & ONEWAY_AGAINST) != 0 ? 2 : 1;
                    draw_direction_arrows(dc, pp, n, direction, core + 3, route ? inner : colour, colour, false);
                }
            }
        }
    }

    place_labels(dc, scale_index);

    // Centre dashes of the own types whose style has a negative width.
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        const XrDrawInfoBase& piece = *it->piece;
        XrPenHandle o{}, i{};
        short w = 0;
        if (visual_setting->get_line_info(static_cast<short>(piece.own_type()), scale_index, o, i, w) != 0 || w >= 0)
            continue;
        int r1 = 0, g1 = 0, b1 = 0, r2 = 0, g2 = 0, b2 = 0;
        short w2 = 0;
        if (visual_setting->get_line_colors(static_cast<short>(piece.drawing_type()), scale_index, r1, g1, b1, r2, g2,
                                            b2, w2) != 0 ||
            piece.end <= piece.first)
            continue;
        XrGDI::select_pen(dc, XrGDI::create_pen(XrGDI::PenDash, 1, r1, g1, b1), 1);
        XrGDI::draw_polyline(dc, p + piece.first, static_cast<int>(piece.end - piece.first));
    }

    // One-way markers.
    if (draw_oneway_markers) {
        XrGDI::select_pen(dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 25, 25, 50), 1);
        XrGDI::select_brush(dc, XrGDI::create_brush(XrGDI::BrushSolid, 80, 80, 160));
        const XrPoint shape[3] = {XrPoint(-3 * sf, 0), XrPoint(0, 7 * sf), XrPoint(3 * sf, 0)};
        for (const XrDrawInfo& piece : labelled_pieces) {
            if ((piece.attributes & (ONEWAY_ALONG | ONEWAY_AGAINST)) == 0 || piece.marker_angle == NO_MARKER)
                continue;
            XrPoint tri[4];
            for (int k = 0; k < 3; ++k) {
                tri[k] = shape[k];
                rotate_point(tri[k], piece.marker_angle);
                tri[k].x += piece.marker_x;
                tri[k].y += piece.marker_y;
            }
            tri[3] = tri[0];
            const int ring = 4;
            XrGDI::draw_polygon_outlined(dc, tri, &ring, 1, true);
        }
    }

    // Labels.
    XrGDI::set_text_color(dc, XrGDI::rgb(0, 0, 0));
    for (XrDrawInfo& piece : labelled_pieces) {
        if (!piece.name.is_empty()) {
            XrColorHandle colour = 0;
            XrFontHandleRec* font = label_font(piece.drawing_type(), scale_index, &colour);
            if (font != nullptr) {
                draw_label(dc, piece.name, piece.centre_x, piece.centre_y, piece.angle, font, colour);
                placed.push_back({piece.name.c_str(), piece.centre_x, piece.centre_y, piece.angle, piece.width,
                                  piece.height});
            }
        }
        piece.box.reset();
    }

    XrGDI::restore_pen(dc, saved_pen);
    XrGDI::restore_brush(dc, saved_brush);
    XrGDI::set_dc_state(dc, saved_state);
    labelled_pieces.clear();
    plain_pieces.clear();
    return true;
}

void XrLineLabelLayer::draw_direction_arrows(XrDCHandleRec* dc, const XrPoint* points, int n, int direction, int size,
                                             XrColorHandle outline, XrColorHandle fill, bool is_3d)
{
    if (n < 2)
        return;
    double total = 0;
    for (int i = 1; i < n; ++i)
        total += std::hypot(static_cast<double>(points[i].x) - points[i - 1].x,
                            static_cast<double>(points[i].y) - points[i - 1].y);
    if (total < 2.0)
        return;
    const int spacing = is_3d ? size * 2 : size;
    if (spacing <= 0)
        return;
    XrGDI::select_pen(dc, solid_pen(1, outline), 1);
    XrGDI::select_brush(dc, XrGDI::create_brush(XrGDI::BrushSolid, XrGDI::get_r(fill), XrGDI::get_g(fill), XrGDI::get_b(fill)));
    const int count = static_cast<int>(total / spacing + 1.0);
    const double step = total / count;
    const bool backwards = direction == 2;
    auto head = [&](double x, double y, double a) {
        const double half = size / 2.0;
        XrPoint tri[3] = {
            XrPoint(static_cast<int>(x + std::sin(a) * half), static_cast<int>(y - std::cos(a) * half)),
            XrPoint(static_cast<int>(x - std::sin(a) * half), static_cast<int>(y + std::cos(a) * half)),
            XrPoint(static_cast<int>(x + std::cos(a) * half), static_cast<int>(y + std::sin(a) * half)),
        };
        const int ring = 3;
        XrGDI::draw_polygon(dc, tri, &ring, 1);
    };
    double target = step / 2;
    double walked = 0;
    int placed_count = 0;
    for (int k = 1; k < n && placed_count < count; ++k) {
        const XrPoint& a = backwards ? points[n - k] : points[k - 1];
        const XrPoint& b = backwards ? points[n - k - 1] : points[k];
        const double len = std::hypot(static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y);
        while (placed_count < count && target <= walked + len) {
            const double t = len > 0 ? (target - walked) / len : 0;
            const double x = a.x + (b.x - a.x) * t, y = a.y + (b.y - a.y) * t;
            const double angle = get_angle(a, b);
            head(x, y, angle);
            if (direction == 3)
                head(x, y, angle + XR_HALF_TURN);
            ++placed_count;
            target += step;
        }
        walked += len;
    }
}

// --- Placement ---------------------------------------------------------------------------

void XrLineLabelLayer::place_labels(XrDCHandleRec* dc, int scale_index)
{
    if (measurement_font != nullptr) {
        XrGDI::set_font_angle(measurement_font, 0);
        XrGDI::select_font(dc, measurement_font);
    }
    for (XrDrawInfo& piece : labelled_pieces) {
        if (!piece.name.is_empty()) {
            if (label_font(piece.drawing_type(), scale_index, nullptr) == nullptr)
                continue;
            int w = 0, h = 0;
            if (!measure(dc, piece.name, w, h)) {
                piece.name.clear();
                continue;
            }
            piece.width = w + LABEL_MARGIN;
            piece.height = h;
        }
        place_label(piece, dc);
    }
}

void XrLineLabelLayer::make_label_box(XrPolygon& box, int centre_x, int centre_y, int width, int height, int angle)
{
    box.clear();
    box.set_open(false);
    const int hw = width / 2, hh = height / 2;
    const XrPoint corners[4] = {XrPoint(-hw, -hh), XrPoint(width - hw, -hh), XrPoint(width - hw, height - hh),
                                XrPoint(-hw, height - hh)};
    for (XrPoint c : corners) {
        rotate_point(c, angle);
        box.add_point(XrPoint(c.x + centre_x, c.y + centre_y));
    }
}

void XrLineLabelLayer::place_label(XrDrawInfo& piece, XrDCHandleRec* dc)
{
    piece.marker_angle = NO_MARKER;
    const XrPoint* pts = scratch_points().get_items();
    const bool forward = (piece.attributes & ONEWAY_AGAINST) != 0;
    double best_len = -1;
    XrPoint best_a, best_b; // earlier and later point in walk order
    bool marker_done = !draw_oneway_markers;
    double remaining = MARKER_DISTANCE;
    const std::int64_t n = static_cast<std::int64_t>(piece.end) - piece.first;
    for (std::int64_t k = 1; k < n; ++k) {
        const XrPoint& prev = forward ? pts[piece.first + k - 1] : pts[piece.end - k];
        const XrPoint& cur = forward ? pts[piece.first + k] : pts[piece.end - k - 1];
        const double len =
            std::hypot(static_cast<double>(cur.x) - prev.x, static_cast<double>(cur.y) - prev.y);
        if (len > best_len) {
            best_len = len;
            best_a = prev;
            best_b = cur;
        }
        if (!marker_done) {
            if (remaining < len) {
                const double f = remaining / len;
                piece.marker_x = static_cast<int>(cur.x + (prev.x - cur.x) * f);
                piece.marker_y = static_cast<int>(cur.y + (prev.y - cur.y) * f);
                int a = (360 - degrees_of(get_angle(cur, prev))) + 90;
                if (a >= 360)
                    a -= 360;
                piece.marker_angle = static_cast<std::uint16_t>(a);
                marker_done = true;
            } else {
                remaining -= std::trunc(len);
            }
        }
    }
    if (piece.name.is_empty())
        return;
    if (best_len < 0) {
        piece.name.clear();
        return;
    }
    piece.centre_x = static_cast<int>((static_cast<std::int64_t>(best_a.x) + best_b.x) / 2);
    piece.centre_y = static_cast<int>((static_cast<std::int64_t>(best_a.y) + best_b.y) / 2);
    int angle = reduce_degrees(360 - degrees_of(get_angle(best_b, best_a)));
    if (angle >= 91 && angle <= 269)
        angle = reduce_degrees(angle + 180);
    piece.angle = angle;

    auto collides = [&]() {
        for (const XrDrawInfo& other : labelled_pieces)
            if (&other != &piece && other.box && piece.box->intersects(*other.box))
                return true;
        return false;
    };
    auto try_place = [&]() {
        piece.box = std::make_unique<XrPolygon>();
        make_label_box(*piece.box, piece.centre_x, piece.centre_y, piece.width, piece.height, piece.angle);
        if (!collides())
            return true;
        piece.box.reset();
        return false;
    };
    if (best_len + FIT_TOLERANCE >= piece.width) {
        if (try_place())
            return;
        shorten_text(piece, dc);
        if (try_place())
            return;
        piece.name.clear();
        return;
    }
    shorten_text(piece, dc);
    if (piece.name.is_empty() || !try_place())
        piece.name.clear();
}

bool XrLineLabelLayer::apply_suffix(XrString& name, const TCHAR* const* suffixes, const int* lengths, int count)
{
    const int len = name.length();
    for (int i = 0; i < count; ++i) {
        const int n = lengths[i];
        if (n <= 0 || n > len)
            continue;
        if (wide_stricmp(name.c_str() + (len - n), suffixes[i]) != 0)
            continue;
        const int start = len - n;
        XrString out(name.c_str(), start);
        const TCHAR* short_form = suffixes[i] + n + 1;
        XrString tail(short_form);
        if (start > 0 && name.char_at(start - 1) == L' ' && !tail.is_empty()) {
            XrUnicodeUtil* unicode = XrUnicodeUtil::get_instance();
            TCHAR first = tail.char_at(0);
            first = unicode != nullptr ? unicode->to_upper(first) : first;
            out += first;
            out += tail.c_str() + 1;
        } else {
            out += tail;
        }
        name = out;
        return true;
    }
    return false;
}

bool XrLineLabelLayer::shorten_text(XrDrawInfo& piece, XrDCHandleRec* dc) const
{
    if (suffix_long.empty() || piece.name.is_empty())
        return false;
    // Entries as the long form followed by the short form.
    std::vector<std::wstring> joined;
    std::vector<const TCHAR*> table;
    std::vector<int> lengths;
    joined.reserve(suffix_long.size());
    for (size_t i = 0; i < suffix_long.size(); ++i) {
        std::wstring e(suffix_long[i].c_str());
        e.push_back(L'\0');
        e += suffix_short[i].is_empty() ? L"" : suffix_short[i].c_str();
        joined.push_back(std::move(e));
        lengths.push_back(suffix_long[i].length());
    }
    for (const std::wstring& e : joined)
        table.push_back(e.c_str());
    if (!apply_suffix(piece.name, table.data(), lengths.data(), static_cast<int>(table.size())))
        return false;
    int w = 0, h = 0;
    if (!measure(dc, piece.name, w, h)) {
        piece.name.clear();
        return true;
    }
    piece.width = w;
    piece.height = h;
    return true;
}

void XrLineLabelLayer::draw_label(XrDCHandleRec* dc, const XrString& name, int centre_x, int centre_y, int angle,
                                  XrFontHandleRec* style_font, XrColorHandle colour)
{
    if (measurement_font == nullptr)
        return;
    XrGDI::set_font_angle(measurement_font, static_cast<unsigned>(angle));
    XrGDI::select_font(dc, measurement_font);
    int w = 0, h = 0;
    XrGDI::get_dc_text_size(dc, name.c_str(), &w, &h, -1);
    XrPoint offset((w + 2) / 2, h / 2);
    rotate_point(offset, angle);
    const XrPoint origin(centre_x - offset.x, centre_y - offset.y);
    XrGDI::set_text_color(dc, visual_setting->get_text_halo_color());
    XrGDI::draw_bidi_text(dc, name.c_str(), XrPoint(origin.x - 1, origin.y - 1), 0);
    XrGDI::draw_bidi_text(dc, name.c_str(), XrPoint(origin.x + 1, origin.y + 1), 0);
    XrGDI::set_text_color(dc, colour);
    XrGDI::draw_bidi_text(dc, name.c_str(), origin, 0);
    XrGDI::set_font_angle(measurement_font, 0);
    if (style_font != nullptr)
        XrGDI::select_font(dc, style_font);
}

// --- Configured kind -----------------------------------------------------------------------------

namespace {

XrGeomLayer* create_line_label_layer(XrMap* map, XrVisualSetting* vs, XrConfiguration& config, XrMapConfigContext&)
{
    XrString font_name;
    if (config.get_string(L"street_font_name", font_name) != XrConfiguration::OK || font_name.is_empty())
        font_name = L"arial";
    auto get_int = [&](const TCHAR* key, int fallback) {
        int v = fallback;
        if (config.get_int(key, &v, &fallback) != XrConfiguration::OK)
            return fallback;
        return v;
    };
    const int size = get_int(L"street_font_size", 12);
    return new XrLineLabelLayer(font_name.c_str(), size, map, vs, false, get_int(L"type_override1", 0),
                                get_int(L"type_override2", 0));
}

} // namespace

void register_line_label_layer_kind() { register_configured_layer_kind(LayerLineLabel, create_line_label_layer); }

// --- 3D ----------------------------------------------------------------------------------------

void XrLineLabelLayer::invalidate_3d_width_tables()
{
    g_narrow[0] = 127;
    g_wide[0] = 127;
}

bool XrLineLabelLayer::width_tables_valid() { return g_narrow[0] != 127 && g_wide[0] != 127; }
int XrLineLabelLayer::narrow_width(int index) { return g_narrow[std::clamp(index, 0, 63)]; }
int XrLineLabelLayer::wide_width(int index) { return g_wide[std::clamp(index, 0, 63)]; }

void XrLineLabelLayer::compute_3d_width_tables(const XrMapView* view)
{
    g_row_shift = row_shift_for(view->get_screen_height());
    for (int i = 0; i < 64; ++i) {
        g_narrow[i] = 0;
        g_wide[i] = 0;
    }
    // The camera's axes in world units: scanning ahead along them is the
    // scan of a north-up view of the same set-up.
    const int r = 360 - view->get_rotation();
    const XrPoint centre = view->get_centre();
    int next_start = 0;
    for (int table = 0; table < 2; ++table) {
        const int h = table == 0 ? 18 : 26;
        signed char* out = table == 0 ? g_narrow : g_wide;
        const int start = table == 0 ? -10000 : next_start - 10000;
        int ended = 0;
        for (int t = start; t <= 9999; ++t) {
            XrPoint l(-h, t), rr(h, t);
            rotate_point(l, r);
            rotate_point(rr, r);
            int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
            view->world_to_screen_3d(centre.x + l.x, centre.y + l.y, XrMapView::POINT_HEIGHT, x1, y1);
            view->world_to_screen_3d(centre.x + rr.x, centre.y + rr.y, XrMapView::POINT_HEIGHT, x2, y2);
            if (y1 != y2)
                continue;
            const int index = y1 >> g_row_shift;
            if (index >= 0 && index <= 63) {
                out[index] = static_cast<signed char>(std::min(126.0, std::abs(x2 - x1) / 3.1));
            } else if (index == -1) {
                ended = t;
                break;
            }
        }
        next_start = ended;
    }
    int last = g_narrow[0];
    for (int i = 1; i < 63; ++i) {
        if (g_narrow[i] == 0)
            g_narrow[i] = static_cast<signed char>(last);
        else
            last = g_narrow[i];
    }
    // A computed table never reads as invalid.
    if (g_narrow[0] == 127)
        g_narrow[0] = 126;
    if (g_wide[0] == 127)
        g_wide[0] = 126;
}

int XrLineLabelLayer::slope_width_factor(int dx, int dy)
{
    if (dx == 0)
        return 1024;
    const int r = static_cast<int>((static_cast<std::int64_t>(dy) * 256) / dx);
    if (r < 128)
        return r * 342 / 128 + 512;
    if (r < 256)
        return (r * 134 - 17152) / 128 + 854;
    if (r < 384)
        return (r * 32 - 8192) / 128 + 989;
    return 1024;
}

void XrLineLabelLayer::draw_3d_segment(XrDCHandleRec* dc, const XrPoint& q1, const XrPoint& q2, const XrSize& screen,
                                       int width, bool clip)
{
    if (q1 == q2)
        return;
    const signed char* table = width < 0 ? g_wide : g_narrow;
    const int base = std::abs(width);
    XrPoint p1 = q1, p2 = q2;
    if (p2.y < p1.y)
        std::swap(p1, p2);
    if (clip) {
        XrPoint a, b;
        if (!clip_line_to_screen(p1.x, p1.y, p2.x, p2.y, screen, a.x, a.y, b.x, b.y))
            return;
        p1 = a;
        p2 = b;
        if (p2.y < p1.y)
            std::swap(p1, p2);
    }
    const int f = slope_width_factor(std::abs(p2.x - p1.x), std::abs(p2.y - p1.y));
    auto pen_width = [&](int end_row) {
        int t = table[std::clamp(end_row >> g_row_shift, 0, 63)];
        if (f != 1024)
            t = (f * t) / 1024;
        return std::max(1, t + base);
    };
    // Consecutive bands of one width are drawn as one line (the band ends
    // lie on it), and the pen width is set only when it changes.
    auto draw_run = [dc](const XrPoint& a, const XrPoint& b, int w) {
        if (XrGDI::get_pen(dc).width != w)
            XrGDI::set_pen_width(dc, w);
        const XrPoint seg[2] = {a, b};
        XrGDI::draw_polyline(dc, seg, 2);
    };
    XrPoint from = p1, run_start = p1;
    int run_width = -1;
    const std::int64_t dy = static_cast<std::int64_t>(p2.y) - p1.y;
    // Bands of 20 rows, aligned to multiples of 20.
    int band_end = p1.y >= 0 ? (p1.y / 20 + 1) * 20 - 1 : -((-p1.y - 1) / 20) * 20 - 1;
    for (int guard = 0; guard < 10000; ++guard) {
        XrPoint to = p2;
        if (band_end < p2.y && dy > 0) {
            const double t = static_cast<double>(band_end - p1.y) / static_cast<double>(dy);
            to = XrPoint(static_cast<int>(std::floor(p1.x + (p2.x - p1.x) * t + 0.5)), band_end);
        }
        const int w = pen_width(to.y);
        if (run_width >= 0 && w != run_width) {
            draw_run(run_start, from, run_width);
            run_start = from;
        }
        run_width = w;
        if (to == p2)
            break;
        from = to;
        band_end += 20;
    }
    draw_run(run_start, p2, run_width);
}

bool XrLineLabelLayer::draw_3d(XrDCHandleRec* dc, XrMapView* view)
{
    if (visual_setting == nullptr)
        return true;
    const XrSize screen(view->get_screen_width(), view->get_screen_height());
    if (screen.width <= 0 || screen.height <= 0) {
        xr_map_warning("road layer drawn on a screen of %d x %d skipped", screen.width, screen.height);
        return true;
    }
    if (!width_tables_valid() || g_row_shift != row_shift_for(screen.height))
        compute_3d_width_tables(view);
    placed.clear(); // no names in 3D
    const int language = get_map_engine_services().get_text_language();
    if (language != text_language) {
        if (addr_accessor != nullptr)
            addr_accessor->flush_name_cache();
        text_language = language;
    }
    const XrRectangle world = view->get_world_rect_3d();
    const int scale_index = visual_setting->get_scale_index(view->get_scale_value());
    reset_draw_state();
    const XrPenHandle saved_pen = XrGDI::get_pen(dc);
    const XrBrushHandle saved_brush = XrGDI::get_brush(dc);
    XrDCState saved_state;
    XrGDI::get_dc_state(dc, saved_state);

    struct Xr3DDrawInfo {
        std::uint32_t first;
        std::uint32_t count;
        std::uint16_t attributes;
        std::int16_t draw_class;
        std::uint8_t traffic;
    };
    static std::vector<Xr3DDrawInfo> pieces;
    pieces.clear();
    XrArray<XrPoint>& pts = scratch_points();
    pts.remove_all();
    static XrArray<XrPoint> camera(400, 400);

    std::unique_ptr<XrGeomCursor> cursor(storage.get_cursor(&world, static_cast<int>(view->get_scale_value())));
    const int near = -view->get_eye_distance();
    const BYTE* record = nullptr;
    XrGeomStorage::XrRecordType kind{};
    int last_type = NO_STYLE;
    bool style_ok = false;
    while (cursor && cursor->get_next_record(record, kind) == XrGeomCursor::OK) {
        if (kind != XrGeomStorage::RecPolyline) {
            xr_map_warning("road record of kind %d skipped", static_cast<int>(kind));
            continue;
        }
        int id = 0, x = 0, y = 0;
        short rtype = 0, aux = 0;
        const BYTE* points = nullptr;
        const BYTE* attrs = nullptr;
        BYTE coding = 0;
        const int count = cursor->get_pp(record, id, x, y, rtype, aux, points, coding, attrs);
        if (count <= 0)
            continue;
        int type = rtype & 15;
        if (max_type != -1 && (type < min_type || type > max_type))
            continue;
        int traffic = 0;
        if ((type_override1 != 0 && active_route_edges) || (type_override2 != 0 && other_route_edges) ||
            traffic_roads) {
            XrGid gid = 0;
            if (!cursor->get_current_record_geom_id(gid))
                continue;
            if (active_route_edges && active_route_edges->count(gid) != 0)
                type = type_override1;
            else if (other_route_edges && other_route_edges->count(gid) != 0)
                type = type_override2;
            traffic = get_traffic_value(gid);
        }
        if (type != last_type) {
            last_type = type;
            XrPenHandle o{}, i{};
            short w = 0;
            style_ok = visual_setting->get_line_info(static_cast<short>(type), scale_index, o, i, w) == 0 &&
                       o.style != XrPenHandle::Null && w != 0;
        }
        if (!style_ok)
            continue;
        camera.remove_all();
        XrRectangle box(x, y, x, y);
        camera.append(XrPoint(x, y));
        for (int i = 1; i < count; ++i) {
            cursor->get_pp_next_pt(coding, x, y, points);
            camera.append(XrPoint(x, y));
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x);
            box.top = std::min(box.top, y);
            box.bottom = std::max(box.bottom, y);
        }
        if (!boxes_overlap(box, world))
            continue;
        const int n = view->to_camera_space(camera.get_items(), camera.get_num_items());
        const XrPoint* c = camera.get_items();
        const std::uint16_t attributes =
            static_cast<std::uint16_t>((rtype & ~(15 | 128) & 0xFFFF) | (type & 15));
        bool open = false;
        std::uint32_t first = 0;
        auto close = [&]() {
            if (!open)
                return;
            open = false;
            const std::uint32_t end = static_cast<std::uint32_t>(pts.get_num_items());
            pieces.push_back({first, end - first, attributes, static_cast<std::int16_t>(piece_class(type)),
                              static_cast<std::uint8_t>(traffic)});
        };
        for (int i = 1; i < n; ++i) {
            XrPoint a = c[i - 1], b = c[i];
            const bool a_front = a.y >= near, b_front = b.y >= near;
            if (!a_front && !b_front) {
                close();
                continue;
            }
            int cx = 0, cd = 0;
            if (!a_front) {
                view->zclip(b, a, cx, cd);
                a = XrPoint(cx, cd);
            } else if (!b_front) {
                view->zclip(a, b, cx, cd);
                b = XrPoint(cx, cd);
            }
            XrPoint sa, sb;
            view->project_camera_point(a.x, a.y, XrMapView::POINT_HEIGHT, sa.x, sa.y);
            view->project_camera_point(b.x, b.y, XrMapView::POINT_HEIGHT, sb.x, sb.y);
            XrPoint ca, cb;
            if (!clip_line_to_screen(sa.x, sa.y, sb.x, sb.y, screen, ca.x, ca.y, cb.x, cb.y)) {
                close();
                continue;
            }
            if (!open) {
                open = true;
                first = static_cast<std::uint32_t>(pts.get_num_items());
                pts.append(ca);
            } else if (!(*pts.get_item_ptr(pts.get_num_items() - 1) == ca)) {
                pts.append(ca);
            }
            pts.append(cb);
            if (!(cb == sb) || !b_front)
                close();
        }
        close();
    }
    cursor.reset();

    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const Xr3DDrawInfo& a, const Xr3DDrawInfo& b) { return a.draw_class < b.draw_class; });
    const int sf = scale_factor_int();
    const XrPoint* p = pts.get_items();
    for (int sweep = 0; sweep < 2; ++sweep) {
        int last = NO_STYLE;
        bool ok = false;
        for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
            if (it->traffic != 0)
                continue;
            const int type = it->attributes & 15;
            if (type != last) {
                last = type;
                XrPenHandle o{}, i{};
                short w = 0;
                ok = visual_setting->get_line_info(static_cast<short>(type), scale_index, o, i, w) == 0;
                if (ok)
                    XrGDI::select_pen(dc, sweep == 0 ? o : i, -1);
            }
            if (!ok)
                continue;
            const int base = sweep == 0 ? 3 * sf : sf;
            const int width = static_cast<std::int16_t>(it->attributes) <= 3 ? base : -base;
            for (std::uint32_t k = 1; k < it->count; ++k)
                draw_3d_segment(dc, p[it->first + k - 1], p[it->first + k], screen, width, false);
        }
    }
    for (int sweep = 0; sweep < 3; ++sweep) {
        for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
            if (it->traffic == 0)
                continue;
            const int type = it->attributes & 15;
            int r1 = 0, g1 = 0, b1 = 0, r2 = 0, g2 = 0, b2 = 0;
            short w = 0;
            if (visual_setting->get_line_colors(static_cast<short>(type), scale_index, r1, g1, b1, r2, g2, b2, w) !=
                0)
                continue;
            const bool route = type_override1 != 0 && type == type_override1;
            const XrColorHandle inner = XrGDI::rgb(r2, g2, b2);
            const XrColorHandle colour = traffic_colour(it->traffic >> 4);
            XrColorHandle pen_colour = sweep == 0 ? (route ? inner : XrGDI::rgb(0, 0, 0))
                                       : sweep == 1 ? XrGDI::rgb(255, 255, 255)
                                                    : colour;
            const int base = sweep == 0 ? 4 * sf : sweep == 1 ? 2 * sf : sf;
            XrGDI::select_pen(dc, solid_pen(1, pen_colour), 1);
            const int width = static_cast<std::int16_t>(it->attributes) <= 3 ? base : -base;
            for (std::uint32_t k = 1; k < it->count; ++k)
                draw_3d_segment(dc, p[it->first + k - 1], p[it->first + k], screen, width, false);
            if (sweep == 2) {
                int direction = it->traffic & 3;
                if ((it->attributes & (ONEWAY_ALONG | ONEWAY_AGAINST)) != 0)
                    direction = (it->attributes & ONEWAY_AGAINST) != 0 ? 2 : 1;
                draw_direction_arrows(dc, p + it->first, static_cast<int>(it->count), direction,
                                      std::abs(w) - 2 + 3, route ? inner : colour, colour, true);
            }
        }
    }
    XrGDI::restore_pen(dc, saved_pen);
    XrGDI::restore_brush(dc, saved_brush);
    XrGDI::set_dc_state(dc, saved_state);
    pieces.clear();
    return true;
}
