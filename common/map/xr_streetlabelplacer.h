// The street-name placer of the road layer: measures names in the street
// font, finds each labelled piece's longest segment, places the name there
// unless it collides with a name already placed (shortening it by the
// suffix table first when it does not fit), and writes it with its halo.
#pragma once

#include <vector>

#include "common/map/xr_linelabellayer.h"

class XrStreetLabelPlacer {
public:
    using XrDrawInfo = XrLineLabelLayer::XrDrawInfo;

    XrStreetLabelPlacer(const XrString& font_name, int font_size);
    ~XrStreetLabelPlacer();
    XrStreetLabelPlacer(const XrStreetLabelPlacer&) = delete;
    XrStreetLabelPlacer& operator=(const XrStreetLabelPlacer&) = delete;

    // The suffix table is read from the name source once, on first use.
    void forget_suffixes();
    void fetch_suffix_table(XrStreetNameSource* source);

    // Selects the unrotated street font for measuring.
    void begin_measuring(XrDCHandleRec* dc);
    bool measure(XrDCHandleRec* dc, const XrString& text, int& w, int& h) const;
    // Places piece among placed (the pieces of one draw, points their screen
    // points); also sets its one-way marker when markers are drawn.
    void place_label(XrDrawInfo& piece, const std::vector<XrDrawInfo>& placed, const XrPoint* points,
                     bool markers, XrDCHandleRec* dc) const;
    bool shorten_text(XrDrawInfo& piece, XrDCHandleRec* dc) const;
    void draw_label(XrDCHandleRec* dc, const XrString& name, int centre_x, int centre_y, int angle,
                    XrFontHandleRec* style_font, XrColorHandle colour, XrColorHandle halo);

    static void make_label_box(XrPolygon& box, int centre_x, int centre_y, int width, int height, int angle);
    static bool apply_suffix(XrString& name, const TCHAR* const* suffixes, const int* lengths, int count);

private:
    XrFontHandleRec* font = nullptr;
    bool suffixes_fetched = false;
    std::vector<XrString> suffix_long;
    std::vector<XrString> suffix_short;
};
