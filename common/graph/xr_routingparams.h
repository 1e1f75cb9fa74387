// The routing parameters: the defaults of a route search, overwritten from
// the graph file's header.
#pragma once

#include <cstdint>

#include "common/container/xr_string.h"

struct XrRoutingParams {
    struct Row {
        std::uint32_t distance;
        std::uint32_t multiplier;
        std::uint32_t divisor;
    };

    XrRoutingParams();

    std::uint32_t level_mode;
    std::uint32_t level_distance;
    bool geom_opt;
    bool flag_b;
    bool flag_c;
    std::uint32_t rows_per_table;
    // The pruning tables in use, set by the search.
    const Row* table_a;
    const Row* table_b;
    const Row* table_c;
    Row a1[5], a2[5], b1[5], b2[5], c1[5], c2[5];
    int category_limits1[9];
    int category_limits2[9];
    int values[17]; // by xr_graph::XrRoutingValue
    XrString borders_file;
};
