// Layout of the road graph file "graph.bin": named offsets, sizes and bit
// fields shared by the reader, the writer and the tests. Little-endian except
// the connection words of edge records, which are big-endian.
#pragma once

#include <cstdint>

namespace xr_graph {

constexpr std::uint32_t VERSION = 6;
constexpr int HEADER_SIZE = 788;

// Header.
constexpr int OFF_VERSION = 0;
constexpr int OFF_NUM_INDEX_TILES = 8;   // u16: inner nodes plus leaves
constexpr int OFF_NUM_MANOEUVRE1 = 12;   // u16
constexpr int OFF_NUM_MANOEUVRE2 = 14;   // u16
constexpr int OFF_NUM_INNER_NODES = 20;  // u16
constexpr int OFF_DICTIONARY = 22;       // 128 pairs (head byte 1, head byte 0)
constexpr int DICTIONARY_ENTRIES = 128;
constexpr int OFF_LEVEL_MODE = 278;      // u8
constexpr int OFF_LEVEL_DISTANCE = 279;  // u32
constexpr int OFF_GEOM_OPT = 283;        // u8, true when 1
constexpr int OFF_FLAG_B = 284;          // u8
constexpr int OFF_FLAG_C = 285;          // u8
constexpr int PRUNING_ROWS = 5;
constexpr int PRUNING_TABLE_SIZE = PRUNING_ROWS * 12; // rows of (distance, multiplier, divisor)
constexpr int OFF_PRUNING_A1 = 286;
constexpr int OFF_PRUNING_B1 = 346;
constexpr int OFF_PRUNING_C1 = 406;
constexpr int OFF_PRUNING_A2 = 466;
constexpr int OFF_PRUNING_B2 = 526;
constexpr int OFF_PRUNING_C2 = 586;
constexpr int CATEGORY_LIMITS = 9;
constexpr int OFF_CATEGORY_LIMITS1 = 646; // nine u32
constexpr int OFF_CATEGORY_LIMITS2 = 682;
constexpr int ROUTING_VALUES = 17;
constexpr int OFF_ROUTING_VALUES_0 = 718;  // values 0 to 6
constexpr int OFF_ROUTING_VALUES_7 = 748;  // values 7 to 16 (746-747 unused)

// Roles of the routing values, by their place in the header.
enum XrRoutingValue : int {
    RV_START_RADIUS = 0,          // table pruning skipped near the start (not in far mode)
    RV_END_RADIUS = 1,            // the same near the target
    RV_RETRY_MAX_STRAIGHT = 2,    // largest straight distance for a repeated search
    RV_RETRY_MAX_SETTLED = 3,     // settled edges from which no repetition is tried
    RV_START_OPEN_RADIUS = 4,     // every edge usable this near the start
    RV_END_OPEN_RADIUS = 5,       // every edge usable this near the target
    RV_CATEGORY_UP_PENALTY = 6,   // entering a category above 2 and above the current one
    RV_ROUNDABOUT_PENALTY = 7,    // entering road type 5 from another type
    RV_MINOR_TURN_PENALTY = 8,    // class-1 turn where either edge has road type 2 or 3
    RV_TURN1_PENALTY = 9,         // other class-1 turn, wrong-way class-3 turn; start budget
    RV_TURN2_PENALTY = 10,        // class-2 turn; eight times the double-turn penalty
    RV_TURN3_PENALTY = 11,        // class-3 turn; manoeuvre penalty
    RV_TARGET_OPEN_RADIUS = 12,   // table pruning skipped near the target (0: never)
    RV_HASH_CAPACITY_C = 13,      // edge hash main table with flag C
    RV_HASH_CAPACITY = 14,        // the same without flag C
    RV_CROSS_CAPACITY_C = 15,     // edge hash cross-tile table with flag C
    RV_CROSS_CAPACITY = 16,       // the same without flag C
};

// Defaults of the routing values: the search's, and what the writer stores.
constexpr int ROUTING_VALUE_DEFAULTS[ROUTING_VALUES] = {
    3000, 3000, 4000000, 5000000, 1000, 1000, 200, 200, 60, 150, 300, 10000, 0, 22011, 22011, 12253, 12253,
};
constexpr int OFF_INDEX = HEADER_SIZE;

// Quadtree index.
constexpr int INNER_NODE_SIZE = 14; // centre x, y (signed 24-bit), four u16 children
constexpr int INNER_OFF_CENTRE_X = 0;
constexpr int INNER_OFF_CENTRE_Y = 3;
constexpr int INNER_OFF_CHILDREN = 6;
constexpr int LEAF_SIZE = 22;
constexpr int LEAF_OFF_GROUP = 0;        // u32: bits 0-30 file offset, bit 31 tile flag
constexpr std::uint32_t LEAF_TILE_FLAG = 0x80000000u;
constexpr int LEAF_OFF_LENGTHS = 4;      // five u16: main tile, quadrants 0-3
constexpr int LEAF_OFF_CODING = 14;      // u16: bit 15 12-bit deltas, bits 0-14 multiplier
constexpr std::uint16_t LEAF_CODING_12BIT = 0x8000;
constexpr int LEAF_OFF_ORIGIN_X = 16;    // signed 24-bit
constexpr int LEAF_OFF_ORIGIN_Y = 19;
constexpr int TILES_PER_LEAF = 5;        // main level, then quadrants 0-3

constexpr int MANOEUVRE1_SIZE = 16;      // four u32 references
constexpr int MANOEUVRE2_SIZE = 8;       // u32 A, u16 B, u16 C

// Inflated tile data.
constexpr int TILE_OFF_NUM_DICT_EDGES = 0; // u16
constexpr int TILE_OFF_LOOKUP_SIZE = 2;    // u16
constexpr int TILE_OFF_LOOKUP = 4;
constexpr int LOOKUP_GROUP_EDGES = 5;
constexpr int LOOKUP_GROUP_SIZE = 6;       // u16 base offset, four u8 increments
constexpr int MAX_TILE_EDGES = 2048;       // edge numbers have 11 bits
constexpr int MAX_NEIGHBOURS = 128;        // long connections index them in 7 bits
constexpr int MAX_GID_HIGHS = 255;

// Head bytes of edge records.
constexpr int HEAD0_CONNECTIONS = 0x0F;
constexpr int HEAD0_NOT_END = 0x10;        // clear: the edge's end flag is set
constexpr int HEAD0_CATEGORY_SHIFT = 5;
constexpr int HEAD1_SPEED = 0x07;
constexpr int HEAD1_GID_EXPLICIT = 0x08;   // gid low word only (high word 0 of the tile)
constexpr int HEAD1_LONG_LENGTH = 0x10;
constexpr int HEAD1_TYPE_SHIFT = 5;
constexpr int DICT_HEAD_EXPLICIT = 0x80;   // one-byte head: sets HEAD1_GID_EXPLICIT
constexpr int LENGTH_UNIT = 4;             // stored lengths count units of 4
constexpr int LENGTH_LARGE_BASE = 50000;   // u16 values above 49999: (v - 50000) * 1000
constexpr int LENGTH_LARGE_FACTOR = 1000;
constexpr std::uint16_t GID_RESTRICTED = 0x8000;

// Connection words (big-endian u16 after the neighbour byte of long ones).
constexpr int CONN_LONG = 0x80;            // first byte of a long connection
constexpr std::uint16_t CONN_EDGE = 0x07FF;
constexpr std::uint16_t CONN_WRONG_WAY = 0x0800;
constexpr std::uint16_t CONN_COMPACT = 0x3000; // both clear: a turn byte follows
constexpr std::uint16_t CONN_MAIN = 0x4000;

// Turn byte of a connection.
constexpr int TURN_CLASS = 0x03;
constexpr int TURN_KIND_SHIFT = 2;         // bits 2-4: junction kind
constexpr int TURN_KIND_MASK = 0x07;
constexpr int TURN_SIDE = 0x20;
constexpr int TURN_TARGET_DIR = 0x40;      // direction the target edge is travelled
constexpr int TURN_FROM_START = 0x80;      // set: at the first point of the from edge (direction 0)

// Edge handles (valid for one reader).
constexpr int HANDLE_EDGE = 0x07FF;
constexpr int HANDLE_DIRECTION = 0x0800;
constexpr int HANDLE_MAIN = 0x4000;
constexpr int HANDLE_PLACE_SHIFT = 16;
constexpr int NO_EDGE = -1;

// Stored edge references (manoeuvre tables) have the handle's layout with the
// tile number in bits 16-31 in place of the reader's tile-list place.

// Road types after decoding, the one table of their meanings:
//   1 motorway; 2, 3 slip roads and ramps (3 costs 1.1 times its speed);
//   5 roundabout;
//   6 a crossing charged by length alone (half-edge cost 5800 / 128 per unit
//     plus 5000; instructions do not offer it as another road);
//   7 ferry: stored type 7 with speed class 6 or 7; kept out of routes when
//     ferries are avoided (allow road type 7) and asked about by the route
//     provider's ferry question;
//   8 toll road: stored type 7 with any other speed class.
constexpr int ROAD_MOTORWAY = 1;
constexpr int ROAD_SLIP = 2;
constexpr int ROAD_RAMP = 3;
constexpr int ROAD_TYPE_4 = 4;
constexpr int ROAD_ROUNDABOUT = 5;
constexpr int ROAD_LENGTH_CHARGED = 6;
constexpr int ROAD_TYPE_7 = 7;
constexpr int ROAD_FERRY = ROAD_TYPE_7;
constexpr int ROAD_TYPE_8 = 8;
constexpr int ROAD_TOLL = ROAD_TYPE_8;

// Quadrant of a point against a split point, as the tree and the leaves use
// it: 0 when px <= cx and py <= cy, 1 when px >= cx and py <= cy, 2 when
// px <= cx and py >= cy, else 3 (ties go to the lower quadrant).
inline int quadrant(int px, int py, int cx, int cy)
{
    if (px <= cx && py <= cy)
        return 0;
    if (px >= cx && py <= cy)
        return 1;
    if (px <= cx && py >= cy)
        return 2;
    return 3;
}

// Signed 24-bit value of three little-endian bytes.
inline int sign24(std::uint32_t v)
{
    return (v & 0x800000u) ? static_cast<int>(v | 0xFF000000u) : static_cast<int>(v);
}

// Table-2 expansion: bits 18-31 of a, bits 16-17 from bits 12-13 of v, bits
// 0-11 and 14-15 of v.
inline std::uint32_t combine_reference(std::uint32_t a, std::uint16_t v)
{
    return (a & 0xFFFC0000u) | (static_cast<std::uint32_t>(v & 0x3000) << 4) | (v & 0xCFFFu);
}

// First probe slot of a manoeuvre table.
inline std::uint32_t manoeuvre_slot(std::uint32_t r0, std::uint32_t r1, std::uint32_t size)
{
    return (3u * r0 + 2u * r1) % size;
}

} // namespace xr_graph
