// Reader of the map folder's signpost file "signs.bin" (the layout is in
// xr_signslayout.h): the signpost colour schemes, and for a road edge the
// signposts that apply when a route runs along a given sequence of edges (a
// path), each with its instruction lines in several languages.
//
// Only the bucket index is held; a lookup reads one bucket, kept until the
// next lookup. Damaged data makes the operations fail; it never stops the
// program.
#pragma once

#include <cstdint>
#include <memory>

#include "common/addr/xr_signslayout.h"
#include "common/container/xr_array.h"
#include "common/container/xr_ptrarray.h"
#include "common/container/xr_string.h"
#include "common/db/xr_gid.h"
#include "common/misc/xr_locale_dummy.h"

class XrStorageAccessor;

class XrSignpostAccessor {
public:
    // Shapes of a colour scheme: 1 and 2 are the drawn ones; 0 and 19 to 25
    // are valid too.
    enum Shape : int {
        Rectangle = 1,
        RoundRectangle = 2,
    };

    struct XrInstruction {
        // 0 to 3 (the file's kinds 2, 1, 3, 4).
        int kind = 0;
        XrString text;
    };

    static constexpr int NUM_SP_COLORS = xr_signs_layout::NUM_SCHEMES;
    static constexpr std::uint32_t VERSION = xr_signs_layout::VERSION;
    static constexpr std::uint32_t INDEX_OFFSET = xr_signs_layout::INDEX_OFFSET;

    XrSignpostAccessor();
    ~XrSignpostAccessor();
    XrSignpostAccessor(const XrSignpostAccessor&) = delete;
    XrSignpostAccessor& operator=(const XrSignpostAccessor&) = delete;

    // Takes the storage (owned from now on, also on failure) and reads the
    // header and the bucket index. False for a missing storage, a wrong
    // magic or version, no buckets, or a failed read.
    bool open(XrStorageAccessor* storage);

    int get_num_sp_colors() const { return NUM_SP_COLORS; }
    // Colour scheme i (1 to 20): nine colour bytes in file order and the
    // shape. False for another i, a failed read or an unknown shape.
    bool get_sp_colors(int i, BYTE& c1, BYTE& c2, BYTE& c3, BYTE& c4, BYTE& c5, BYTE& c6, BYTE& c7, BYTE& c8,
                       BYTE& c9, Shape& shape);

    // Looks the gid up and decodes its first record: the path (the gid,
    // then the edges that follow it) replaces the array's contents. Gives
    // the number of path entries, 0 when the gid has no signpost (a gid
    // whose records end at once gives 0 with an empty path), so that the
    // result also reads as found / not found.
    int get_first_path(XrGid gid, XrArray<XrGid>& path);
    // The next record of the same gid: its number of path entries, 0 when
    // there is none.
    int get_next_path(XrArray<XrGid>& path);
    // Deletes the list's items, then appends the current record's
    // instructions in order, the text in the wanted language. False without
    // a current record or for a damaged one (the list is then empty).
    bool get_instructions(XrPtrArray<XrInstruction*>& list, XrLC language);
    // Frees the current bucket.
    void release();

    // The hash of a gid before the modulo by the bucket count.
    static std::uint32_t hash_gid(XrGid gid);
    static bool is_valid_shape(int shape);

private:
    enum Decoded { Record, NoMoreRecords, Damaged };
    // Decodes the record at offset of the current bucket into the path and
    // the record state.
    Decoded decode_record(int offset, XrArray<XrGid>& path);
    void clear_record();

    std::unique_ptr<XrStorageAccessor> storage;
    std::unique_ptr<BYTE[]> index;
    int num_ndx_items = 0;
    XrGid current_gid = 0;
    std::unique_ptr<BYTE[]> bucket;
    int bucket_len = 0;
    // The current record's instructions (-1: no current record), the next
    // record (-1: none) and the number of instruction bytes.
    int instr_offset = -1;
    int next_record = -1;
    int instr_len = 0;
};
