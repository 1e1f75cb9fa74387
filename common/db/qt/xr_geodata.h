// Quadtree point index: a large set of points, each with an opaque payload,
// stored in an index file (node table) and its ".data" companion (compressed
// point blocks), searched by rectangle.
//
// Interfaces begin with SS or I, implementations with C. Every operation
// answers an SSGeoDataStatus; the objects are reference counted.
#pragma once

#include <cstdint>

enum SSGeoDataStatus {
    SSGEO_OK = 0,
    // A point outside the builder's area or an unusable payload; an index
    // file whose size is not a multiple of 4.
    SSGEO_OUTSIDE = 1,
    SSGEO_NO_MORE_POINTS = 2,
    // A file cannot be opened or read, or its contents are damaged.
    SSGEO_READ_ERROR = 3,
    // An allocation failed or the memory limit forbids the step.
    SSGEO_NO_MEMORY = 4,
    // A file cannot be created or written.
    SSGEO_CREATE_ERROR = 5,
};

// A point with its payload. Writers set data and length; readers set data and
// capacity, and get x, y and the number of bytes copied in length.
struct SSPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    void* data = nullptr;
    std::uint32_t length = 0;
    std::uint32_t capacity = 0;
};

// A rectangle with inclusive corners, x0 <= x1 and y0 <= y1.
struct SSRect {
    std::int32_t x0 = 0;
    std::int32_t y0 = 0;
    std::int32_t x1 = 0;
    std::int32_t y1 = 0;
};

struct SSGeoDataParams {
    // The area points may lie in (any two opposite corners).
    SSRect area;
    // Bytes the library may hold at once; 0 = no limit.
    std::uint32_t memory_limit = 0;
};

// Largest payload of one point.
constexpr std::uint32_t SSGEO_MAX_PAYLOAD = 65535;

class SSGeoDataBuilder {
public:
    // Prepares a build of index_name (and index_name + ".data"), with work
    // files in a private folder made inside temp_dir (the string is prefixed
    // as is, so it normally ends with '/'). An empty or null index_name sorts
    // and splits but writes no output. Sets the process-wide memory limit.
    virtual SSGeoDataStatus create(const char* index_name, const char* temp_dir, const SSGeoDataParams& params) = 0;
    // Adds a point of the area with its payload (at most SSGEO_MAX_PAYLOAD
    // bytes): 1 when the point lies outside the area or the payload is too
    // long, 5 once the builder has built (its work files are gone).
    virtual SSGeoDataStatus add_point(const SSPoint* point) = 0;
    // Writes the index files (to temporary names, renamed when complete) and
    // deletes the work files. A builder builds once.
    virtual SSGeoDataStatus build() = 0;
    // Destroys the builder and its remaining work files.
    virtual void release() = 0;

protected:
    virtual ~SSGeoDataBuilder() = default;
};

class SSPointCursor {
public:
    // The next point: 0 a point, 2 no more points, 3 read error (the cursor
    // is finished after 2 or 3).
    virtual SSGeoDataStatus get_next_point(SSPoint* point) = 0;
    // Drops one reference; destroyed at zero.
    virtual void release() = 0;
    // Reads from the data file since the query began.
    virtual std::uint32_t get_read_count() const = 0;

protected:
    virtual ~SSPointCursor() = default;
};

class SSGeoDataSearcher {
public:
    // 0, or 3 when a file cannot be opened or read or is damaged, 1 when the
    // index size is not a multiple of 4, 4 when the node table cannot be
    // allocated. A searcher opens once: a second open answers 3.
    virtual SSGeoDataStatus open(const char* index_name) = 0;
    // A cursor over the points in area, leaving out those in exclude (may be
    // null). Never null; release it when done.
    virtual SSPointCursor* query(const SSRect& area, const SSRect* exclude) = 0;
    // The index area: min x, min y, max x, max y.
    virtual void get_bounds(std::int32_t out[4]) const = 0;
    // Drops the caller's reference; true when the searcher was destroyed
    // (its cursors keep it alive until they are released).
    virtual bool release() = 0;

protected:
    virtual ~SSGeoDataSearcher() = default;
};
