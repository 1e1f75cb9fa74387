// XrLineLabelLayer: the road network. Every road is a polyline record drawn
// as a cased line in the pens of its road type, the important roads and the
// roads of the current routes on top; roads with traffic get a traffic look;
// one-way roads get direction markers; street names are written along the
// roads, once per street, never over another name. In 3D the roads are cut at
// the near plane and drawn with widths that grow towards the viewer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/container/xr_string.h"
#include "common/db/xr_gid.h"
#include "common/geometry/xr_polygon.h"
#include "common/map/xr_geomlayer.h"
#include "common/map/xr_linelabellayer_roadindex.h"
#include "common/map/xr_roadpainter.h"

class XrAddrAccessor;
class XrStreetLabelPlacer;

// Where street names come from: the address database (XrAddrStreetNames)
// or, in tests, a double.
class XrStreetNameSource {
public:
    virtual ~XrStreetNameSource() = default;
    // Fills names[i] for gids[i] (empty when unknown).
    virtual void get_streets_by_gids(const std::vector<XrGid>& gids, int language, std::vector<XrString>& names) = 0;
    // Pairs of long and short street-type suffixes, in table order.
    virtual void get_suffix_table(std::vector<std::pair<XrString, XrString>>& table) = 0;
    virtual void flush_name_cache() {}
};

// The address database as a street name source (not owned).
class XrAddrStreetNames : public XrStreetNameSource {
public:
    explicit XrAddrStreetNames(XrAddrAccessor* accessor) : accessor(accessor) {}
    void get_streets_by_gids(const std::vector<XrGid>& gids, int language, std::vector<XrString>& names) override;
    void get_suffix_table(std::vector<std::pair<XrString, XrString>>& table) override;
    void flush_name_cache() override;

private:
    XrAddrAccessor* accessor;
};

// One computed route as the road layer needs it: the road ids of its driven
// segments and its two polylines.
class XrRouteEdgeSource {
public:
    virtual ~XrRouteEdgeSource() = default;
    virtual int get_segment_count() const = 0;
    // The driven range [first, end) of the segments.
    virtual int get_driven_first() const { return 0; }
    virtual int get_driven_end() const { return get_segment_count(); }
    virtual XrGid get_segment_gid(int index) const = 0;
    // Polyline 0 or 1 (world units); null when the route has none.
    virtual const XrPolygon* get_polyline(int which) const = 0;
};

class XrLineLabelLayer : public XrGeomLayer {
public:
    static constexpr int LABEL_MARGIN = 8;
    static constexpr int FIT_TOLERANCE = 4;
    static constexpr int MARKER_DISTANCE = 20;
    static constexpr int MIN_LABEL_SEGMENT = 10;
    static constexpr int MAX_PIECES_PER_STREET = 8;
    static constexpr std::uint16_t NO_MARKER = 65535;
    static constexpr int MAX_TRAFFIC_LEVEL = XrRoadIndex::MAX_TRAFFIC_LEVEL;
    // Bits of a piece's attribute word.
    static constexpr int ONEWAY_ALONG = 32;
    static constexpr int ONEWAY_AGAINST = 64;
    static constexpr int FLAG_BITS = 16 | 32 | 64 | 128;

    // A visible run of screen points of one road (indices into the shared
    // scratch points; 32-bit so that long views do not wrap).
    struct XrDrawInfoBase {
        std::uint32_t first = 0;
        std::uint32_t end = 0;
        std::uint8_t order = 0;       // own type << 4 | class
        std::uint16_t attributes = 0; // record attributes without bit 128, drawing type in the low 4 bits
        std::uint8_t traffic = 0;     // direction bits 0-1, level in bits 4-7
        XrGid gid = 0;

        int draw_class() const { return order & 15; }
        int own_type() const { return order >> 4; }
        int drawing_type() const { return attributes & 15; }
    };

    // A piece that may carry a label.
    struct XrDrawInfo : XrDrawInfoBase {
        std::unique_ptr<XrPolygon> box;
        XrString name;
        int width = 0;
        int height = 0;
        int marker_x = 0;
        int marker_y = 0;
        std::uint16_t marker_angle = NO_MARKER;
        int centre_x = 0;
        int centre_y = 0;
        int angle = 0;
    };

    XrLineLabelLayer(const TCHAR* font_name, int font_size, XrMap* map, XrVisualSetting* visual_setting,
                     bool owns_visual_setting, int type_override1, int type_override2);
    ~XrLineLabelLayer() override;
    XrLineLabelLayer(const XrLineLabelLayer&) = delete;
    XrLineLabelLayer& operator=(const XrLineLabelLayer&) = delete;

    bool draw(XrDCHandleRec* dc, XrMapView* view) override;
    bool draw_3d(XrDCHandleRec* dc, XrMapView* view) override;

    // Routes and traffic.
    void set_route_edges(const XrRouteEdgeSource* const* routes, int count, int active);
    void reset_traffic(unsigned capacity);
    // Level is clamped to 0..15. True when the road lies on a route.
    bool add_traffic_road(unsigned gid, bool along, int level);
    void clear_traffic_road(unsigned gid);
    // The traffic value of a road (0 without one).
    int get_traffic_value(unsigned gid) const;
    bool find_route_edge(unsigned gid, int route, int* position) const;
    int get_label_colors(XrColorHandle& colour, XrColorHandle* halo) const;

    // The address database used for street names (not owned; null: none).
    void set_addr_accessor(XrAddrAccessor* accessor);
    // Any other name source (not owned; null: none).
    void set_street_names(XrStreetNameSource* source);
    void set_draw_oneway_markers(bool value) { draw_oneway_markers = value; }
    void set_draw_labels(bool value) { draw_labels = value; }
    void set_read_all_road_ids(bool value) { read_all_road_ids = value; }
    void set_type_filter(int min, int max)
    {
        min_type = min;
        max_type = max;
    }
    int get_type_override1() const { return type_override1; }
    int get_type_override2() const { return type_override2; }
    const XrString& get_street_font_name() const { return street_font_name; }
    int get_street_font_size() const { return street_font_size; }

    // The pieces of the last 2D draw that carried a label (for tests and
    // the route layer's street box): name, centre, angle.
    struct XrPlacedLabel {
        std::wstring name;
        int centre_x;
        int centre_y;
        int angle;
        int width;
        int height;
    };
    const std::vector<XrPlacedLabel>& get_placed_labels() const { return placed; }

    // Placement (public for tests).
    void place_label(XrDrawInfo& piece, XrDCHandleRec* dc);
    static void make_label_box(XrPolygon& box, int centre_x, int centre_y, int width, int height, int angle);
    // Shortens the name by the suffix table (at most once); false when no
    // entry matched. Width and height become the new measured size.
    bool shorten_text(XrDrawInfo& piece, XrDCHandleRec* dc) const;
    // Replaces a matching suffix of name; false when none matched.
    static bool apply_suffix(XrString& name, const TCHAR* const* suffixes, const int* lengths, int count);

    // 3D width tables, shared by all road layers: the road painter's.
    static void invalidate_3d_width_tables() { XrRoadPainter::invalidate_3d_width_tables(); }
    static bool width_tables_valid() { return XrRoadPainter::width_tables_valid(); }
    static int narrow_width(int index) { return XrRoadPainter::narrow_width(index); }
    static int wide_width(int index) { return XrRoadPainter::wide_width(index); }
    static void compute_3d_width_tables(const XrMapView* view) { XrRoadPainter::compute_3d_width_tables(view); }
    static int slope_width_factor(int dx, int dy) { return XrRoadPainter::slope_width_factor(dx, dy); }
    static int row_shift_for(int screen_height) { return XrRoadPainter::row_shift_for(screen_height); }
    static void draw_3d_segment(XrDCHandleRec* dc, const XrPoint& p1, const XrPoint& p2, const XrSize& screen,
                                int width, bool clip)
    {
        XrRoadPainter::draw_3d_segment(dc, p1, p2, screen, width, clip);
    }

private:
    struct XrTrafficStyle;
    void fetch_suffix_table();
    void collect_pieces(XrDCHandleRec* dc, XrMapView* view, const XrRectangle& world, int scale_index,
                        const XrSize& screen);
    void resolve_names();
    void add_route_pieces(XrMapView* view, const XrRectangle& world);
    void place_labels(XrDCHandleRec* dc, int scale_index);
    void draw_label(XrDCHandleRec* dc, const XrString& name, int centre_x, int centre_y, int angle,
                    XrFontHandleRec* style_font, XrColorHandle colour);
    void draw_direction_arrows(XrDCHandleRec* dc, const XrPoint* points, int n, int direction, int size,
                               XrColorHandle outline, XrColorHandle fill, bool is_3d);
    int piece_class(int drawing_type) const;
    void store_piece(std::uint32_t first, std::uint32_t end, int own_type, int drawing_type, int attributes,
                     int traffic, XrGid gid, bool labelled);
    XrFontHandleRec* label_font(int type, int scale_index, XrColorHandle* colour) const;

    std::vector<XrDrawInfo> labelled_pieces;
    std::vector<XrDrawInfoBase> plain_pieces;
    XrString street_font_name;
    int street_font_size;
    std::unique_ptr<XrStreetLabelPlacer> placer;
    std::unique_ptr<XrAddrStreetNames> own_names;
    XrStreetNameSource* addr_accessor = nullptr;
    int type_override1;
    int type_override2;
    XrRoadIndex road_index;
    bool draw_oneway_markers = true;
    bool draw_labels = true;
    bool read_all_road_ids = false;
    int max_type = -1;
    int min_type = -1;
    int text_language = 0;
    std::vector<XrGid> lookup_gids;
    std::vector<XrPlacedLabel> placed;
};

// Registers the configured layer kind "linelabel".
void register_line_label_layer_kind();
