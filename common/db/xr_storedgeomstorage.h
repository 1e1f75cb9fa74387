// Geometry storages on file data: records in compressed buckets hung on a
// quadtree of nodes. The node back ends (XrSimpleGeomStorage for geometry
// files, XrHeapGeomStorage for heap storages) derive from
// XrStoredGeomStorage; XrStoredGeomStorageCursor walks them.
//
// All stored storages share one working buffer: a record handed out by a
// cursor stays valid only until any stored storage loads another bucket.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/container/xr_array.h"
#include "common/db/xr_geomstorage.h"
#include "common/db/xr_geomworkingbuffer.h"
#include "common/db/xr_storedgeomcoding.h"

class XrStoredGeomStorage : public XrGeomStorage {
public:
    // Decompressed buckets (size word included) hold at most this.
    static constexpr int MAX_BUCKET_BYTES = 65537;
    // Deeper node paths are taken as a damaged file.
    static constexpr int MAX_TREE_DEPTH = 128;
    // Longest chain of shared first points.
    static constexpr int MAX_SHARED_DEPTH = XrStoredGeomCoding::MAX_SHARED_DEPTH;

    // What open() of the back ends answers.
    enum OpenResult : int {
        OPENED = 0,
        OPEN_FAILED = 1,
    };

    // Decompressed buckets shared by the stored storages, with their side
    // tables: least recently used eviction within a byte budget.
    class XrBlockCache {
    public:
        struct XrDataBlock {
            std::unique_ptr<BYTE[]> data; // size word and records
            int data_size = 0;
            std::unique_ptr<XrGeomSideEntry[]> index; // the side table, or null
            int index_size = 0;                       // bytes
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
        // Keeps data and index; false when the block cannot be kept (it is
        // already cached or larger than the budget), and they are freed.
        bool insert_block(const void* storage, std::uint32_t offset, std::uint32_t length,
                          std::unique_ptr<BYTE[]> data, int size, std::unique_ptr<XrGeomSideEntry[]> index,
                          int index_size);
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

    using XrPointFields = XrStoredGeomCoding::XrPointFields;
    using XrPolyHeader = XrStoredGeomCoding::XrPolyHeader;

    // flag2 is kept for the callers that pass it; nothing reads it.
    XrStoredGeomStorage(bool polyline_only, bool flag2, XrBlockCache* cache);
    ~XrStoredGeomStorage() override;

    // StorageMixed makes a storage whose records name their kinds.
    void set_type(StorageType type) override;
    XrGeomCursor* get_cursor(const XrRectangle* rect, int scale) override;
    Status get_description(XrString& out) override;
    const XrRectangle& get_bounding_box() override { return header_box; }

    void set_description(const XrString& text);
    void set_convert_texts(bool value) { coding.set_convert_texts(value); }
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
    const XrGeomBucket* get_loaded_bucket(size_t handle) const { return XrGeomWorkingBuffer::get().find(this, handle); }

    // Decoders of the stored record layouts (the record must be one of the
    // bucket's); see XrGeomCursor.
    bool decode_point(const XrGeomBucket& bucket, const XrGeomSideEntry& entry, XrPointFields& out) const
    {
        return coding.decode_point(bucket, entry, out);
    }
    bool decode_poly(const XrGeomBucket& bucket, const XrGeomSideEntry& entry, XrPolyHeader& out) const
    {
        return coding.decode_poly(bucket, entry, out);
    }

    // The coding parameters.
    const XrStoredGeomCoding& get_coding() const { return coding; }
    bool has_ids() const { return coding.has_ids(); }
    bool has_three_byte_coords() const { return coding.has_three_byte_coords(); }
    int get_type_width() const { return coding.get_type_width(); }
    int get_default_type() const { return coding.get_default_type(); }
    int get_aux_width() const { return coding.get_aux_width(); }
    int get_default_aux() const { return coding.get_default_aux(); }
    int get_attr_count() const { return coding.get_attr_count(); }
    bool has_half_unit_deltas() const { return coding.has_half_unit_deltas(); }
    bool has_utf8_texts() const { return coding.has_utf8_texts(); }
    bool has_convert_texts() const { return coding.has_convert_texts(); }

protected:
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
    // The ending of load_node_into_wb: loaded tells whether the bucket is now
    // the working buffer. On success the outputs describe it; on failure the
    // working buffer is emptied.
    bool answer_wb(bool loaded, int& size, XrPoint& origin, int& compact_end, int& side_start) const;
    // Empties the working buffer when it holds one of this storage's buckets.
    void release_wb() const;

    XrStoredGeomCoding coding;
    XrRectangle header_box;
    XrBlockCache* block_cache;
    BYTE polyline_only;
    BYTE flag2; // unused
    BYTE has_description = 0;
    XrString description;
};
