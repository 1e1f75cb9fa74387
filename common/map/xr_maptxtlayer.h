// XrMapTxtLayer: the free-standing map texts (place and area names) as
// horizontal upper-case labels with a halo: at most 80 a pass, chosen by
// text class (0 most important), none overlapping another.
#pragma once

#include "common/map/xr_geomlayer.h"

class XrMapTxtLayer : public XrGeomLayer {
public:
    static constexpr int LABEL_BUDGET = 80;
    static constexpr int CLASS_COUNT = 16;
    static constexpr int CELL = 4;
    static constexpr int MAX_CHARS = 31;

    XrMapTxtLayer(XrMap* map, XrVisualSetting* visual_setting, bool owns_visual_setting)
        : XrGeomLayer(map, visual_setting, owns_visual_setting)
    {
    }

    bool draw(XrDCHandleRec* dc, XrMapView* view) override;

    // The label text of a record: cut at the first tab, or at a "/" before
    // that tab; at most 31 characters; upper case. Returns the length.
    static int label_text(const TCHAR* text, TCHAR (&out)[MAX_CHARS + 1]);
};
