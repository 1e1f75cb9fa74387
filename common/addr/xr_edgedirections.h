// What the street finder asks of the road graph: the driving directions of
// an edge found by its global identifier. The graph reader answers it; tests
// answer it with a table.
#pragma once

#include "common/db/xr_gid.h"

class XrEdgeDirections {
public:
    // Driving states of an edge.
    enum EdgeEndState : int {
        ForwardOnly = 0,  // in the edge's own direction only
        BackwardOnly = 1, // against it only
        BothWays = 2,
        Unknown = 3, // neither, or the edge cannot be read
    };

    virtual ~XrEdgeDirections() = default;

    // The handle of the edge gid in the tile that holds (x, y), the main
    // level first, then the detail level; -1 when not found.
    virtual int get_edge_handle_by_gid(int x, int y, XrGid gid) = 0;
    // An EdgeEndState; Unknown for the handle -1.
    virtual int get_edge_end_state(int handle) = 0;
};
