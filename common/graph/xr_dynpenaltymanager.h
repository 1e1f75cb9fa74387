// The user's roadblocks as the route search sees them: a list of map points
// kept in "blks.bin", their map records, and the road edges they block (each
// point snapped to its nearest road).
#pragma once

#include "common/container/xr_array.h"
#include "common/container/xr_simplearray.h"
#include "common/container/xr_string.h"
#include "common/db/xr_gid.h"
#include "common/geometry/xr_point.h"

class XrGeomStorage;

class XrDynPenaltyManager {
public:
    enum Status : int { Ok = 0, PastEnd = 1, OnEdge = 2, NotOnEdge = 3, NoList = 1 };

    // Largest file read (the list is small; anything bigger is not ours).
    static constexpr int MAX_FILE_SIZE = 9 * 65536;
    // Radius in map units within which a roadblock is snapped to a road: a
    // block closes the road it was put on, not one further away.
    static constexpr int SNAP_RADIUS = 30;

    // path: the resolved file; read on first use.
    explicit XrDynPenaltyManager(const XrString& path);

    // -1 when the file cannot be loaded.
    int get_count();
    // Ok, or PastEnd for an index outside the list.
    Status get_point(int index, XrPoint& out);
    Status add_point(const XrPoint& point);
    // Removes the point at index; PastEnd (nothing changed) when there is none.
    Status remove_point(int index);
    Status remove_all();
    // Writes the whole list; true when written.
    bool save();
    // True when the file held a record it could not read (the records before
    // it were kept).
    bool is_damaged() const { return damaged; }

    // Empties the storage and adds one text record of type 93 per point,
    // with the point's index as record id.
    void rebuild_storage(XrGeomStorage* storage);
    // The road edges nearest to the points (one per point, within radius).
    void collect_blocked_edges(XrSimpleArray<XrGid>& out, XrGeomStorage* roads, int radius);
    // OnEdge, NotOnEdge, or NoList when the list cannot be loaded.
    Status is_roadblock_on_edge(const XrGid& edge, XrGeomStorage* roads);

    // Decodes file bytes into points; false when a record is damaged (the
    // points before it are kept).
    static bool parse(const unsigned char* data, int size, XrArray<XrPoint>& out);

private:
    bool load();

    XrString path;
    XrArray<XrPoint> points{8, 0};
    bool loaded = false;
    bool load_failed = false;
    bool damaged = false;
};
