// Detour penalties: the road just ahead of the vehicle made expensive for the
// next searches. The penalties of the two latest detours are active together.
#pragma once

#include <vector>

#include "common/db/xr_gid.h"

class XrDijkstraPath2;
class XrRouteInstructions;

class XrDetourState {
public:
    struct XrPenalty {
        XrGid gid = 0;
        int penalty = 0;
    };
    enum Kind : int { KIND_SHORT = 0, KIND_MEDIUM = 1, KIND_LONG = 2, KIND_CLEAR = 3 };

    XrDetourState();

    // Kind 3 or a null route clears every penalty and the request count;
    // kinds 0-2 fill the older of the two sets with penalties falling off
    // along the route ahead of segment (-1: the route's first segment to
    // drive).
    void add_detour(const XrRouteInstructions* route, int segment, int kind);
    // Adds every penalty to the search, first set first.
    void apply(XrDijkstraPath2& search) const;
    int get_request_count() const { return request_count; }
    const std::vector<XrPenalty>& get_penalties(bool second) const { return second ? penalties_b : penalties_a; }

private:
    int use_second = 0;
    std::vector<XrPenalty> penalties_a;
    std::vector<XrPenalty> penalties_b;
    int request_count = 0;
};
