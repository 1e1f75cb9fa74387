// XrLineLabelLayer: construction, the routes and traffic of the road index,
// and the 2D pass: collecting the visible road pieces and drawing them.
#include "common/map/xr_linelabellayer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/addr/xr_addraccessor.h"
#include "common/geometry/xr_geometry.h"
#include "common/map/xr_linelabellayer_draw.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapconfig.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_mapview.h"
#include "common/map/xr_streetlabelplacer.h"
#include "common/misc/xr_unicodeutil.h"
#include "common/visualization/xr_visualsetting.h"

using namespace xr_road_drawing;

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
    placer = std::make_unique<XrStreetLabelPlacer>(street_font_name, street_font_size);
}

XrLineLabelLayer::~XrLineLabelLayer() = default;

void XrLineLabelLayer::set_addr_accessor(XrAddrAccessor* accessor)
{
    own_names.reset(accessor != nullptr ? new XrAddrStreetNames(accessor) : nullptr);
    set_street_names(own_names.get());
}

void XrLineLabelLayer::set_street_names(XrStreetNameSource* source)
{
    addr_accessor = source;
    placer->forget_suffixes();
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
    road_index.set_route_edges(routes, count, active);
}

void XrLineLabelLayer::reset_traffic(unsigned capacity) { road_index.reset_traffic(capacity); }

bool XrLineLabelLayer::add_traffic_road(unsigned gid, bool along, int level)
{
    return road_index.add_traffic_road(gid, along, level);
}

void XrLineLabelLayer::clear_traffic_road(unsigned gid) { road_index.clear_traffic_road(gid); }

int XrLineLabelLayer::get_traffic_value(unsigned gid) const { return road_index.get_traffic_value(gid); }

bool XrLineLabelLayer::find_route_edge(unsigned gid, int route, int* position) const
{
    return road_index.find_route_edge(gid, route, position);
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

    XrRoadRecordCursor roads(*cursor);
    while (roads.next()) {
        const int count = roads.get_count();
        const short rtype = roads.get_record_type();
        const int own_type = roads.get_own_type();
        int type = own_type;
        if (max_type != -1 && (type < min_type || type > max_type))
            continue;
        int traffic = 0;
        XrGid gid = 0;
        bool have_gid = false;
        if ((type_override1 != 0 && road_index.has_active_route_edges()) ||
            (type_override2 != 0 && road_index.has_other_route_edges()) || road_index.has_traffic()) {
            if (!roads.get_gid(gid))
                continue;
            have_gid = true;
            if (road_index.on_active_route(gid))
                type = type_override1;
            else if (road_index.on_other_route(gid))
                type = type_override2;
            traffic = road_index.get_traffic_value(gid);
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
        XrPoint last = roads.get_first();
        thin.append(last);
        for (int i = 1; i < count; ++i) {
            const XrPoint next = roads.next_point();
            if (i < count - 1 && std::llabs(static_cast<long long>(next.x) - last.x) < tol &&
                std::llabs(static_cast<long long>(next.y) - last.y) < tol)
                continue;
            last = next;
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
        if (labelled && !have_gid && roads.get_gid(gid))
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
    const auto& route_polylines = road_index.get_route_polylines();
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
        const bool active = static_cast<int>(i / 2) == road_index.get_active_route();
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
