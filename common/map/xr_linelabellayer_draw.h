// Small helpers shared by the road layer's 2D pass, its 3D pass and its
// label placement.
#pragma once

#include "common/db/xr_geomstorage.h"
#include "common/gdi/xr_gdi.h"
#include "common/geometry/xr_geometry.h"
#include "common/geometry/xr_point.h"
#include "common/map/xr_mapservices.h"

namespace xr_road_drawing {

// The map engine's display scale factor, truncated (at least 1).
inline int scale_factor_int()
{
    const double f = get_map_engine_services().get_scale_factor();
    return f > 0 ? static_cast<int>(f) : 1;
}

inline void grow_box(XrRectangle& box, int by)
{
    box.left -= by;
    box.right += by;
    box.top -= by;
    box.bottom += by;
}

inline bool boxes_overlap(const XrRectangle& a, const XrRectangle& b)
{
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

inline XrColorHandle traffic_colour(int level)
{
    if (level <= 1)
        return XrGDI::rgb(0, 0, 0);
    if (level <= 3)
        return XrGDI::rgb(255, 0, 0);
    return XrGDI::rgb(255, 127, 0);
}

inline XrPenHandle solid_pen(int width, XrColorHandle c)
{
    return XrGDI::create_pen(XrGDI::PenSolid, width, XrGDI::get_r(c), XrGDI::get_g(c), XrGDI::get_b(c));
}

// Whole degrees 0..359 of a direction in radians.
inline int degrees_of(double radians) { return static_cast<int>(radians * (180.0 / XR_HALF_TURN)); }

// Walks the polyline records of a road cursor: records of another kind are
// skipped with a warning, records without points silently. After next() the
// record's first point, type and point count are read; next_point() decodes
// the following points, count - 1 times.
class XrRoadRecordCursor {
public:
    explicit XrRoadRecordCursor(XrGeomCursor& cursor) : cursor(cursor) {}

    bool next()
    {
        const BYTE* record = nullptr;
        XrGeomStorage::XrRecordType kind{};
        while (cursor.get_next_record(record, kind) == XrGeomCursor::OK) {
            if (kind != XrGeomStorage::RecPolyline) {
                xr_map_warning("road record of kind %d skipped", static_cast<int>(kind));
                continue;
            }
            int id = 0;
            short aux = 0;
            const BYTE* attributes = nullptr;
            count = cursor.get_pp(record, id, x, y, record_type, aux, points, coding, attributes);
            if (count > 0)
                return true;
        }
        return false;
    }

    // Point count, first point and type word of the current record.
    int get_count() const { return count; }
    XrPoint get_first() const { return XrPoint(x, y); }
    short get_record_type() const { return record_type; }
    int get_own_type() const { return record_type & 15; }

    // The next point of the current record.
    XrPoint next_point()
    {
        cursor.get_pp_next_pt(coding, x, y, points);
        return XrPoint(x, y);
    }

    bool get_gid(XrGid& gid) { return cursor.get_current_record_geom_id(gid); }

private:
    XrGeomCursor& cursor;
    int count = 0;
    int x = 0;
    int y = 0;
    short record_type = 0;
    const BYTE* points = nullptr;
    BYTE coding = 0;
};

inline int reduce_degrees(int a)
{
    a %= 360;
    return a < 0 ? a + 360 : a;
}

} // namespace xr_road_drawing
