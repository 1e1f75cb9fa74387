// What the geometry writers share: the coding options of a geometry file and
// the quadtree that distributes records over buckets.
#pragma once

#include <string>
#include <vector>

#include "common/container/xr_bytes.h"
#include "common/db/xr_datasource.h"

struct XrGeomFileOptions {
    int version = 0x10007;      // 0x10004 .. 0x10007
    int kind = 0;               // 1 points, 2 polylines, 3 polygons, 4 texts, 5 mixed; 0: from the records
    bool with_id = true;        // ids of 30 bits; the file needs them for mixed records
    bool three_byte_coords = false;
    int aux_width = 2;          // 0 .. 2; aux width 1 keeps even values 0 .. 510
    int default_aux = 0;        // the aux of every record when aux_width is 0
    int type_width = 2;         // 0 .. 2
    int default_type = 0;       // the type of every record when type_width is 0
    int attr_count = 0;         // attribute bytes of the records that have them
    std::string name;           // 8-bit text: the storage name (geometry file) or layer name (heap)
    int bucket_bytes = 8192;    // records per bucket, in bytes before compression
    bool format_table = true;   // compact headers for common polylines (0x10005 on)
    bool share_first_points = true;
    int zlib_level = 9;         // of the buckets
};

// The coding options of the records.
XrRecDataOption xr_record_options(const XrGeomFileOptions& options);

// Checks records against the options and settles the kind (0 becomes the
// records' common kind, or 5). Error texts name the record by its index.
bool xr_check_geom_records(const std::vector<XrGeomRec*>& records, XrGeomFileOptions& options, std::string& error);

// A node of the bucket tree: its records, its children by quarter (0 left
// top, 1 right top, 2 left bottom, 3 right bottom; -1 none) and the box of
// everything below it.
struct XrGeomTreeNode {
    XrRectangle box;
    std::vector<int> records;
    int children[4] = {-1, -1, -1, -1};
    int parent = -1;
    bool has_children() const;
};

// Deeper trees are refused (and never read).
constexpr int XR_GEOM_TREE_MAX_DEPTH = 120;

// Splits the records over a quadtree whose buckets hold at most
// bucket_bytes of blobs (sizes[i] for record i) where records can be told
// apart; nodes[0] is the root. boxes[i] is the box of record i.
bool xr_build_geom_tree(const std::vector<XrRectangle>& boxes, const std::vector<int>& sizes, int bucket_bytes,
                        std::vector<XrGeomTreeNode>& nodes, std::string& error);

// Appends the blob of records[index] to a bucket and, with ids, puts the
// record kind into the id's top bits.
bool xr_append_record(const std::vector<XrGeomRec*>& records, int index, const XrRecDataOption& options,
                      const XrPoint& origin, XrByteArray& bucket, XrHash<XrPoint, int>* first_points,
                      const int* format_words, int format_word_count, std::string& error);

// Appends the coding block of a geometry header and the attribute byte
// count (xrqt::coding).
void xr_put_geom_coding(XrByteWriter& w, const XrGeomFileOptions& options);

// Writes bytes to a new file at path (in a folder that is itself moved into
// place once complete); a failed write leaves no file.
bool xr_write_file(const std::string& path, const std::vector<BYTE>& bytes, std::string& error);
// Writes bytes to path through a temporary file renamed over it.
bool xr_write_file_atomic(const std::string& path, const std::vector<BYTE>& bytes, std::string& error);
