#include "common/graph/xr_detourstate.h"

#include <algorithm>

#include "common/graph/xr_dijkstrapath.h"
#include "common/graph/xr_routeinstructions.h"

XrDetourState::XrDetourState()
{
    penalties_a.reserve(128);
    penalties_b.reserve(128);
}

void XrDetourState::add_detour(const XrRouteInstructions* route, int segment, int kind)
{
    if (kind == KIND_CLEAR || route == nullptr || kind < KIND_SHORT || kind > KIND_CLEAR) {
        penalties_a.clear();
        penalties_b.clear();
        request_count = 0;
        return;
    }
    ++request_count;
    std::vector<XrPenalty>* target;
    if (use_second) {
        use_second = 0;
        target = &penalties_b;
    } else {
        use_second = 1;
        target = &penalties_a;
    }
    target->clear();
    const int count = route->segments.items();
    const int start = segment == -1 ? count - 1 : std::min(segment, count - 1);
    long long total = 0;
    for (int i = start; i >= 0; --i)
        total += route->segments.get_item_ptr(i)->length;
    long long maximum = 0;
    long long span = 0;
    switch (kind) {
    case KIND_SHORT:
        maximum = 10000;
        span = std::min(total / 4, 5000LL);
        break;
    case KIND_MEDIUM:
        maximum = 30000;
        span = std::min(total / 3, 25000LL);
        break;
    default:
        maximum = 100000;
        span = total / 2;
        break;
    }
    long long remaining = span;
    for (int i = start; i >= 0 && remaining > 0; --i) {
        const XrRouteSegment* s = route->segments.get_item_ptr(i);
        const long long penalty = maximum * ((remaining * 128) / span) / 128;
        target->push_back(XrPenalty{s->gid, static_cast<int>(penalty)});
        remaining -= s->length;
    }
}

void XrDetourState::apply(XrDijkstraPath2& search) const
{
    for (const XrPenalty& p : penalties_a)
        search.add_edge_penalty(p.gid, p.penalty);
    for (const XrPenalty& p : penalties_b)
        search.add_edge_penalty(p.gid, p.penalty);
}
