// XrStreetLabelPlacer: placement of the street names along their roads
// (measuring, collisions, suffix shortening) and their drawing, and the road
// layer's pass that places the labels of one draw.
#include "common/map/xr_streetlabelplacer.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "common/map/xr_linelabellayer.h"
#include "common/map/xr_linelabellayer_draw.h"
#include "common/misc/xr_unicodeutil.h"
#include "common/visualization/xr_visualsetting.h"

using namespace xr_road_drawing;

namespace {

// Measured sizes beyond these cannot be held by a label.
constexpr int kMaxLabelWidth = 32767;
constexpr int kMaxLabelHeight = 32766;

} // namespace

XrStreetLabelPlacer::XrStreetLabelPlacer(const XrString& font_name, int font_size)
{
    font = XrGDI::create_font_rotated(font_name.c_str(), font_size, 400, false, XrFontAngle(0));
    if (font == nullptr)
        xr_map_warning("street font cannot be created: no street names are written");
}

XrStreetLabelPlacer::~XrStreetLabelPlacer()
{
    if (font != nullptr)
        XrGDI::delete_font(font);
}

void XrStreetLabelPlacer::forget_suffixes()
{
    suffixes_fetched = false;
    suffix_long.clear();
    suffix_short.clear();
}

void XrStreetLabelPlacer::begin_measuring(XrDCHandleRec* dc)
{
    if (font != nullptr) {
        XrGDI::set_font_angle(font, 0);
        XrGDI::select_font(dc, font);
    }
}

bool XrStreetLabelPlacer::measure(XrDCHandleRec* dc, const XrString& text, int& w, int& h) const
{
    w = h = 0;
    if (font == nullptr || text.is_empty())
        return false;
    XrGDI::get_dc_text_size(dc, text.c_str(), &w, &h, -1);
    if (w > kMaxLabelWidth || h > kMaxLabelHeight || w < 0 || h < 0) {
        xr_map_warning("street name of %d x %d pixels not written", w, h);
        return false;
    }
    return true;
}

void XrStreetLabelPlacer::fetch_suffix_table(XrStreetNameSource* source)
{
    if (suffixes_fetched || source == nullptr)
        return;
    suffixes_fetched = true;
    std::vector<std::pair<XrString, XrString>> table;
    source->get_suffix_table(table);
    for (auto& [long_form, short_form] : table) {
        if (long_form.is_empty())
            continue;
        suffix_long.push_back(long_form);
        suffix_short.push_back(short_form);
    }
}

// --- Placement ---------------------------------------------------------------------------

void XrLineLabelLayer::place_labels(XrDCHandleRec* dc, int scale_index)
{
    placer->begin_measuring(dc);
    for (XrDrawInfo& piece : labelled_pieces) {
        if (!piece.name.is_empty()) {
            if (label_font(piece.drawing_type(), scale_index, nullptr) == nullptr)
                continue;
            int w = 0, h = 0;
            if (!placer->measure(dc, piece.name, w, h)) {
                piece.name.clear();
                continue;
            }
            piece.width = w + LABEL_MARGIN;
            piece.height = h;
        }
        place_label(piece, dc);
    }
}

void XrStreetLabelPlacer::make_label_box(XrPolygon& box, int centre_x, int centre_y, int width, int height, int angle)
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

void XrStreetLabelPlacer::place_label(XrDrawInfo& piece, const std::vector<XrDrawInfo>& placed,
                                      const XrPoint* pts, bool markers, XrDCHandleRec* dc) const
{
    using Layer = XrLineLabelLayer;
    piece.marker_angle = Layer::NO_MARKER;
    const bool forward = (piece.attributes & Layer::ONEWAY_AGAINST) != 0;
    double best_len = -1;
    XrPoint best_a, best_b; // earlier and later point in walk order
    bool marker_done = !markers;
    double remaining = Layer::MARKER_DISTANCE;
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
        for (const XrDrawInfo& other : placed)
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
    if (best_len + Layer::FIT_TOLERANCE >= piece.width) {
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

bool XrStreetLabelPlacer::apply_suffix(XrString& name, const TCHAR* const* suffixes, const int* lengths, int count)
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

bool XrStreetLabelPlacer::shorten_text(XrDrawInfo& piece, XrDCHandleRec* dc) const
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

void XrStreetLabelPlacer::draw_label(XrDCHandleRec* dc, const XrString& name, int centre_x, int centre_y, int angle,
                                     XrFontHandleRec* style_font, XrColorHandle colour, XrColorHandle halo)
{
    if (font == nullptr)
        return;
    XrGDI::set_font_angle(font, static_cast<unsigned>(angle));
    XrGDI::select_font(dc, font);
    int w = 0, h = 0;
    XrGDI::get_dc_text_size(dc, name.c_str(), &w, &h, -1);
    XrPoint offset((w + 2) / 2, h / 2);
    rotate_point(offset, angle);
    const XrPoint origin(centre_x - offset.x, centre_y - offset.y);
    XrGDI::set_text_color(dc, halo);
    XrGDI::draw_bidi_text(dc, name.c_str(), XrPoint(origin.x - 1, origin.y - 1), 0);
    XrGDI::draw_bidi_text(dc, name.c_str(), XrPoint(origin.x + 1, origin.y + 1), 0);
    XrGDI::set_text_color(dc, colour);
    XrGDI::draw_bidi_text(dc, name.c_str(), origin, 0);
    XrGDI::set_font_angle(font, 0);
    if (style_font != nullptr)
        XrGDI::select_font(dc, style_font);
}

// --- The layer's names for its placer --------------------------------------------------------

void XrLineLabelLayer::place_label(XrDrawInfo& piece, XrDCHandleRec* dc)
{
    placer->place_label(piece, labelled_pieces, scratch_points().get_items(), draw_oneway_markers, dc);
}

void XrLineLabelLayer::make_label_box(XrPolygon& box, int centre_x, int centre_y, int width, int height, int angle)
{
    XrStreetLabelPlacer::make_label_box(box, centre_x, centre_y, width, height, angle);
}

bool XrLineLabelLayer::shorten_text(XrDrawInfo& piece, XrDCHandleRec* dc) const
{
    return placer->shorten_text(piece, dc);
}

bool XrLineLabelLayer::apply_suffix(XrString& name, const TCHAR* const* suffixes, const int* lengths, int count)
{
    return XrStreetLabelPlacer::apply_suffix(name, suffixes, lengths, count);
}

void XrLineLabelLayer::fetch_suffix_table() { placer->fetch_suffix_table(addr_accessor); }

void XrLineLabelLayer::draw_label(XrDCHandleRec* dc, const XrString& name, int centre_x, int centre_y, int angle,
                                  XrFontHandleRec* style_font, XrColorHandle colour)
{
    placer->draw_label(dc, name, centre_x, centre_y, angle, style_font, colour, visual_setting->get_text_halo_color());
}
