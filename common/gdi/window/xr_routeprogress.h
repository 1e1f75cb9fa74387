// XrRouteProgress: the route progress panel drawn over the map: the widest
// registered background that fits the available size, two state icons, a
// title line, a bar of the route distance already driven and the remaining
// distance as text.
#pragma once

#include "common/bmloader/xr_bitmap.h"
#include "common/container/xr_array.h"
#include "common/geometry/xr_point.h"
#include "common/types/xr_distance.h"

struct XrDCHandleRec;

struct XrRouteProgressBitmapDef {
    unsigned int background_id;
    unsigned int strip_id;
};

class XrRouteProgress {
public:
    XrRouteProgress();
    virtual ~XrRouteProgress();
    XrRouteProgress(const XrRouteProgress&) = delete;
    XrRouteProgress& operator=(const XrRouteProgress&) = delete;

    // Registers a background and its icon strip (icon ids of the bitmap
    // loader); both stay loaded while the panel exists.
    void add_bitmap_def(int background_id, int strip_id);
    // Strip columns of the first state (values 0 to 2) and the second (0, 1).
    void set_icon_indices(int a0, int a1, int a2, int b0, int b1);
    // Chooses the bitmaps for a size (only when the size changed).
    void load_bitmaps(const XrSize& size);
    void free_bitmaps();
    // Draws the panel centred in size on target over the picture. Nothing is
    // drawn when no background fits.
    void draw(XrDCHandleRec* target, XrDCHandleRec* picture, const XrSize& size, int state_a, int state_b,
              const XrDistance& remaining, const XrDistance& total);

    // The chosen background's id (0 for none) and the load count (tests).
    unsigned int get_background_id() const { return m_has_background ? m_background.get_id() : 0; }
    int get_load_count() const { return m_load_count; }
    // Width in pixels of the driven part of a bar of inner width.
    static int driven_width(int inner_width, const XrDistance& remaining, const XrDistance& total);

private:
    XrArray<XrRouteProgressBitmapDef> m_defs;
    XrBitmap m_background;
    XrBitmap m_strip;
    bool m_has_background = false;
    XrSize m_size;
    int m_icons_a[3] = {0, 0, 0};
    int m_icons_b[2] = {0, 0};
    XrDCHandleRec* m_panel_dc = nullptr;
    int m_load_count = 0;
};
