#include "common/graph/xr_routingparams.h"

#include <algorithm>
#include <iterator>

#include "common/graph/xr_graphlayout.h"

namespace {

const XrRoutingParams::Row DEF_A1[5] = {{5000, 2, 1}, {25000, 25, 16}, {100000, 22, 16}, {200000, 21, 16}, {400000, 38, 32}};
const XrRoutingParams::Row DEF_A2[5] = {{5000, 2, 1}, {25000, 30, 16}, {100000, 24, 16}, {250000, 19, 16}, {400000, 37, 32}};
const XrRoutingParams::Row DEF_B1[5] = {{5000, 2, 1}, {25000, 22, 16}, {100000, 19, 16}, {200000, 34, 32}, {400000, 33, 32}};
const XrRoutingParams::Row DEF_B2[5] = {{5000, 2, 1}, {25000, 22, 16}, {100000, 19, 16}, {250000, 35, 32}, {400000, 34, 32}};
const XrRoutingParams::Row DEF_C1[5] = {{5000, 2, 1}, {25000, 23, 16}, {100000, 22, 16}, {200000, 70, 64}, {400000, 66, 64}};
const XrRoutingParams::Row DEF_C2[5] = {{5000, 2, 1}, {25000, 23, 16}, {100000, 22, 16}, {250000, 71, 64}, {400000, 68, 64}};
const int DEF_LIMITS[9] = {-1, 200000, 50000, 10000, 5000, 3000, 2000, 500, 0};

} // namespace

XrRoutingParams::XrRoutingParams()
    : level_mode(2), level_distance(200000), geom_opt(true), flag_b(false), flag_c(true), rows_per_table(5),
      table_a(a1), table_b(b1), table_c(c1), borders_file("borders.pts")
{
    std::copy(DEF_A1, DEF_A1 + 5, a1);
    std::copy(DEF_A2, DEF_A2 + 5, a2);
    std::copy(DEF_B1, DEF_B1 + 5, b1);
    std::copy(DEF_B2, DEF_B2 + 5, b2);
    std::copy(DEF_C1, DEF_C1 + 5, c1);
    std::copy(DEF_C2, DEF_C2 + 5, c2);
    std::copy(DEF_LIMITS, DEF_LIMITS + 9, category_limits1);
    std::copy(DEF_LIMITS, DEF_LIMITS + 9, category_limits2);
    std::copy(std::begin(xr_graph::ROUTING_VALUE_DEFAULTS), std::end(xr_graph::ROUTING_VALUE_DEFAULTS), values);
}
