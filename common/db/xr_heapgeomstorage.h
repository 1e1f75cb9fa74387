// Geometry storages on file data: records in compressed buckets hung on a
// quadtree of nodes. XrSimpleGeomStorage reads a geometry file ("XRQT") with
// its node table in memory; XrHeapGeomStorage reads nodes and buckets as
// blocks of a heap storage file.
//
// All stored storages share one working buffer: a record handed out by a
// cursor stays valid only until any stored storage loads another bucket.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_set>

#include "common/container/xr_array.h"
#include "common/db/xr_geomstorage.h"

class XrStorageAccessor;
class XrHeapStorage;

// One record of a loaded bucket: where it lies, its kind and its box.
struct XrGeomSideEntry {
    std::uint16_t offset = 0;
    std::uint16_t length = 0;
    BYTE kind = 0;
    XrRectangle box;
};

// The bucket that the working buffer holds.
struct XrGeomBucket {
    const BYTE* data = nullptr; // the records
    int size = 0;
    int compact_end = 0; // records before this offset have compact headers
    const XrGeomSideEntry* side = nullptr;
    int side_count = 0;
    int side_start = 0; // first entry at or after compact_end
    XrPoint origin;

    // The entry of the record that starts at offset, or null.
    const XrGeomSideEntry* find_entry(int offset) const;
};

class XrStoredGeomStorage : public XrGeomStorage {
public:
    // Decompressed bucket buffers (size word included) hold at most this.
    static constexpr int MAX_BUCKET_BYTES = 65537;
    // Deeper node paths are taken as a damaged file.
    static constexpr int MAX_TREE_DEPTH = 128;
    // Longest chain of shared first points.
    static constexpr int MAX_SHARED_DEPTH = 64;

    // Decompressed buckets shared by the stored storages, with their side
    // tables: least recently used eviction within a byte budget.
    class XrBlockCache {
    public:
        struct XrDataBlock {
            BYTE* data = nullptr; // owned: size word and records
            int data_size = 0;
            XrGeomSideEntry* index = nullptr; // owned
            int index_size = 0;               // bytes
            const void* storage = nullptr;
            std::uint32_t offset = 0;
            std::uint32_t length = 0;
            unsigned int last_used = 0;
        };

        explicit XrBlockCache(int budget);
        XrBlockCache(const XrBlockCache&) = delete;
        XrBlockCache& operator=(const XrBlockCache&) = delete;
        ~XrBlockCache();

        XrDataBlock* find_block(const void* storage, std::uint32_t offset, std::uint32_t length);
        // Takes data and index; frees them and returns false when the block
        // cannot be kept (it is already cached or larger than the budget).
        bool insert_block(const void* storage, std::uint32_t offset, std::uint32_t length, BYTE* data, int size,
                          XrGeomSideEntry* index, int index_size);
        // Called once per query (hit: the query missed nothing); drops the
        // blocks unused since the last round.
        void age(bool hit);
        void set_budget(int n);
        void drop_all();
        // Drops the blocks of one storage.
        void drop_storage(const void* storage);

        int get_budget() const { return budget; }
        int get_used() const { return used; }
        int get_block_count() const { return blocks.get_num_items(); }
        // Lookups and hits since construction.
        long long get_lookups() const { return lookups; }
        long long get_hits() const { return hits; }

    private:
        void free_block(int index);

        int budget;
        int used = 0;
        unsigned int clock = 1;
        XrArray<XrDataBlock> blocks;
        unsigned int threshold = 0;
        int ticks = 0;
        long long lookups = 0;
        long long hits = 0;
    };

    XrStoredGeomStorage(bool polyline_only, bool flag2, XrBlockCache* cache);
    ~XrStoredGeomStorage() override;

    // StorageMixed makes a storage whose records name their kinds.
    void set_type(StorageType type) override;
    XrGeomCursor* get_cursor(const XrRectangle* rect, int scale) override;
    Status get_description(XrString& out) override;
    const XrRectangle& get_bounding_box() override { return header_box; }

    void set_description(const XrString& text);
    void set_convert_texts(bool value) { convert_texts = value; }
    bool is_polyline_only() const { return polyline_only != 0; }

    // The node back end. Handles name nodes; a child handle of 0 is none.
    // Makes the bucket of the handle the working buffer.
    virtual bool load_node_into_wb(size_t handle, int& size, XrPoint& origin, int& compact_end, int& side_start) = 0;
    virtual bool get_node(size_t handle, const BYTE*& node) = 0;
    virtual void release_node(const BYTE* node) = 0;
    // The rectangle of a child (quarter 0 to 3) of node.
    virtual bool get_node_rect(const BYTE* node, const BYTE* child_node, XrRectangle& child,
                               const XrRectangle& node_rect, int quarter) = 0;
    virtual size_t get_child_handle(const BYTE* node, size_t quarter) = 0;
    virtual size_t get_bucket_handle(const BYTE* node) = 0;
    // 0 when the storage has no nodes.
    virtual size_t get_root_handle() = 0;
    virtual XrGeomCursor::Status get_approximated_point_for_geom_id(int geom_id, XrPoint& point) = 0;

    // Cache lookups that missed so far (0 without a cache).
    long long get_cache_misses() const;
    // Ages the block cache once per query: hit when the query missed nothing.
    void age_cache(bool hit);

    // The bucket in the working buffer when it is this storage's bucket of
    // the handle; null otherwise.
    const XrGeomBucket* get_loaded_bucket(size_t handle) const;

    // Decoders of the stored record layouts (the record must be one of the
    // bucket's); see XrGeomCursor.
    struct XrPointFields {
        int id = 0;
        int x = 0;
        int y = 0;
        int type = 0;
        int aux = 0;
        const BYTE* attributes = nullptr;
        const BYTE* text = nullptr; // texts: the text bytes, text_len of them
        int text_len = 0;
        int length = 0; // of the whole record
    };
    bool decode_point(const XrGeomBucket& bucket, const XrGeomSideEntry& entry, XrPointFields& out) const;
    struct XrPolyHeader {
        int id = 0;
        int count = 0;
        int type = 0;
        bool byte_deltas = false;
        const BYTE* attributes = nullptr;
        const BYTE* points = nullptr; // the second point's difference
        const BYTE* end = nullptr;    // the end of the record
        XrPoint first;
    };
    bool decode_poly(const XrGeomBucket& bucket, const XrGeomSideEntry& entry, XrPolyHeader& out) const;

    // The coding parameters.
    bool has_ids() const { return with_id != 0; }
    bool has_three_byte_coords() const { return three_byte_coords != 0; }
    int get_type_width() const { return type_width; }
    int get_default_type() const { return default_type; }
    int get_aux_width() const { return aux_width; }
    int get_default_aux() const { return default_aux; }
    int get_attr_count() const { return attr_count; }
    bool has_half_unit_deltas() const { return half_unit_deltas != 0; }
    bool has_utf8_texts() const { return utf8_texts != 0; }
    bool has_convert_texts() const { return convert_texts != 0; }

protected:
    // Reads the coding parameters of a header: aux width (1), default aux
    // (2), type width (1), default type (1), flags (1), attribute count (1).
    bool set_coding(const BYTE* p, int attributes, int version);
    // Checks the records of a decompressed bucket and builds its side table;
    // false for a damaged bucket.
    bool build_len_and_bbox(const BYTE* data, int size, int compact_end, const XrPoint& origin,
                            XrArray<XrGeomSideEntry>& side) const;
    // Inflates a bucket (the records after prefix bytes) into the working
    // buffer, or into a cache block when the storage has a cache; the
    // working buffer then holds it. raw_size: the exact decompressed size, or
    // -1 when the stream tells it.
    bool load_bucket(size_t handle, std::uint32_t offset, std::uint32_t length, const BYTE* stream, int stream_len,
                     int raw_size, bool has_compact_end, const XrPoint& origin);
    // Makes an empty bucket the working buffer.
    bool use_empty(size_t handle, const XrPoint& origin);
    // Makes a cached block the working buffer (when it is one of this
    // storage's), returning true.
    bool use_cached(size_t handle, std::uint32_t offset, std::uint32_t length, const XrPoint& origin);
    void fill_outputs(int& size, XrPoint& origin, int& compact_end, int& side_start) const;
    // Empties the working buffer when it holds one of this storage's buckets.
    void release_wb() const;

    BYTE with_id = 0;
    BYTE three_byte_coords = 0;
    int type_width = 2;
    int default_type = 0;
    int aux_width = 2;
    int default_aux = 0;
    int coord_bytes = 8;
    int kind = -1; // 0 points, 1 polylines, 2 polygons, 3 texts, -1 mixed
    int attr_count = 0;
    BYTE half_unit_deltas = 0;
    BYTE has_format_table = 0;
    std::uint16_t format_table[64] = {};
    XrRectangle header_box;
    XrBlockCache* block_cache;
    BYTE utf8_texts = 0;
    BYTE convert_texts = 0;
    BYTE polyline_only;
    BYTE flag2;
    BYTE has_description = 0;
    XrString description;

private:
    int record_kind(const BYTE* data, int offset) const;
    // Length of the record at offset (0 when damaged); first point and box
    // of polypoints are resolved against the entries before it.
    bool check_record(const BYTE* data, int size, int compact_end, const XrPoint& origin, int offset,
                      XrArray<XrGeomSideEntry>& side, XrArray<int>& depth, XrArray<XrPoint>& firsts) const;
    // Reads the id (when the records carry ids); false when no byte follows.
    bool take_id(const BYTE*& p, const BYTE* end, int& id) const;
    bool point_fields(const BYTE* rec, const BYTE* end, bool text, const XrPoint& origin, XrPointFields& out) const;
    bool poly_header(const BYTE* rec, const BYTE* end, bool compact, const XrPoint& origin, XrPolyHeader& out,
                     int& back) const;
    // Follows the points of a polyline from its first point; false when cut.
    bool walk_points(XrPolyHeader& hdr, XrRectangle& box) const;
};

class XrStoredGeomStorageCursor : public XrGeomCursor {
public:
    class XrHeapGeomStorageMapItem : public XrMapItem {
    public:
        XrHeapGeomStorageMapItem(size_t bucket_handle, int record_offset)
            : bucket_handle(bucket_handle), record_offset(record_offset)
        {
        }
        size_t bucket_handle;
        int record_offset;
    };

    struct XrGCState {
        size_t handle = 0;
        int quarter = 0;
        XrRectangle rect;
    };

    XrStoredGeomStorageCursor(const XrRectangle* rect, XrStoredGeomStorage* storage);
    ~XrStoredGeomStorageCursor() override;

    // The records of the nodes whose boxes meet the rectangle: every point
    // and text of such a node (callers test positions and label extents
    // themselves), its polylines and polygons only when their box meets the
    // rectangle (edges included); every record without a rectangle. A node's
    // records come after those of its children.
    Status get_next_record(const BYTE*& data, XrGeomStorage::XrRecordType& type) override;
    void skip_group() override;
    XrMapItem* get_current_map_item() override;
    // Bucket handle << 16 | record offset.
    bool get_current_record_geom_id(XrGid& id) override;
    Status get_record(const XrMapItem* item, XrGeomStorage::XrRecordType& type, const BYTE*& data) override;
    Status get_record_by_geom_id(XrGid id, XrGeomStorage::XrRecordType& type, const BYTE*& data) override;
    Status get_approximated_point_for_geom_id(int id, XrPoint& point) override;

    bool get_pt(const BYTE* record, int& id, int& x, int& y, short& type, short& aux,
                const BYTE*& attributes) override;
    bool get_txt(const BYTE* record, int& id, int& x, int& y, short& type, short& aux, const TCHAR*& text,
                 const BYTE*& attributes, int language, int* found_language) override;
    int get_pp(const BYTE* record, int& id, int& x, int& y, short& type, short& aux, const BYTE*& points,
               BYTE& coding, const BYTE*& attributes) override;
    void get_pp_next_pt(BYTE coding, int& x, int& y, const BYTE*& p) override;

private:
    // The loaded bucket and the entry of a record handed out from it.
    bool find_record(const BYTE* record, const XrGeomBucket*& bucket, const XrGeomSideEntry*& entry) const;
    // Loads the bucket of the handle unless the working buffer holds it.
    const XrGeomBucket* ensure_bucket(size_t handle);
    Status fetch(size_t handle, int offset, XrGeomStorage::XrRecordType& type, const BYTE*& data);
    // Ends the walk after a damaged node.
    Status fail_walk();

    XrStoredGeomStorage* storage;
    XrArray<XrGCState> stack;
    std::unordered_set<size_t> visited;
    bool in_bucket = false;
    size_t bucket_handle = 0;
    int side_pos = 0;
    // The record last returned.
    bool has_record = false;
    size_t record_bucket = 0;
    int record_offset = 0;
    // The end of the polyline that get_pp decoded last.
    const BYTE* pp_end = nullptr;
    long long misses_at_start;
};

class XrSimpleGeomStorage : public XrStoredGeomStorage {
public:
    // Takes the accessor (deleted with the storage); cache may be null.
    XrSimpleGeomStorage(XrStorageAccessor* accessor, bool polyline_only, bool flag2, XrBlockCache* cache);
    ~XrSimpleGeomStorage() override;

    // 0 when the header is sound and the node table was read, else 1.
    int open();

    void free_memory() override;
    XrGeomCursor* get_cursor(const XrRectangle* rect, int scale) override;

    bool load_node_into_wb(size_t handle, int& size, XrPoint& origin, int& compact_end, int& side_start) override;
    bool get_node(size_t handle, const BYTE*& node) override;
    void release_node(const BYTE* node) override;
    bool get_node_rect(const BYTE* node, const BYTE* child_node, XrRectangle& child, const XrRectangle& node_rect,
                       int quarter) override;
    size_t get_child_handle(const BYTE* node, size_t quarter) override;
    size_t get_bucket_handle(const BYTE* node) override;
    size_t get_root_handle() override { return 0; }
    // The centre of the bucket of node id >> 16.
    XrGeomCursor::Status get_approximated_point_for_geom_id(int geom_id, XrPoint& point) override;

    int get_node_count() const { return inner_count + leaf_count; }
    int get_version() const { return version; }

private:
    bool load_tree();
    void release_tree();
    bool is_inner(const BYTE* node) const { return node < tree + inner_size; }
    // The origin of a node's bucket: the centre of its split values, or of
    // its parent's for a leaf.
    bool bucket_origin(const BYTE* node, XrPoint& origin);

    XrStorageAccessor* accessor;
    const BYTE* tree = nullptr;
    std::uint32_t tree_size = 0;
    std::uint32_t tree_offset = 0;
    std::uint32_t inner_size = 0;
    int inner_count = 0;
    int leaf_count = 0;
    int version = 0;
    bool opened = false;
};

class XrHeapGeomStorage : public XrStoredGeomStorage {
public:
    // open() results.
    static constexpr int OPENED = 1;
    static constexpr int OPEN_FAILED = -1;

    // The root block of the heap holds the geometry header:
    //   0 "XRQT", 4 version, 8 record kind (1-5), 12 root node block,
    //   16 aux width, 17 default aux (2), 19 type width, 20 default type,
    //   21 flags (bit 0 ids, bit 1 three-byte coordinates),
    //   22 attribute byte count (optional), 23 the layer name (optional,
    //   8-bit text up to a 0 byte or the block end).
    // A node block: two corners (4 x 32-bit), four child blocks, the bucket
    // block; a bucket block is one zlib stream of full-header records.
    static constexpr int HEADER_SIZE = 22;
    static constexpr int NODE_SIZE = 36;

    // Takes the heap storage (deleted with the storage); no block cache.
    XrHeapGeomStorage(XrHeapStorage* heap, bool polyline_only, bool flag2);
    ~XrHeapGeomStorage() override;

    // OPENED when the heap holds a readable geometry header, else OPEN_FAILED.
    int open();
    bool is_open() const { return opened; }

    bool load_node_into_wb(size_t handle, int& size, XrPoint& origin, int& compact_end, int& side_start) override;
    bool get_node(size_t handle, const BYTE*& node) override;
    void release_node(const BYTE* node) override;
    bool get_node_rect(const BYTE* node, const BYTE* child_node, XrRectangle& child, const XrRectangle& node_rect,
                       int quarter) override;
    size_t get_child_handle(const BYTE* node, size_t quarter) override;
    size_t get_bucket_handle(const BYTE* node) override;
    size_t get_root_handle() override { return opened ? root : 0; }
    // Not kept by heap storages.
    XrGeomCursor::Status get_approximated_point_for_geom_id(int geom_id, XrPoint& point) override;

private:
    XrHeapStorage* heap;
    size_t root = 0;
    bool opened = false;
};
