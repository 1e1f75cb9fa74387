// The bitmap loader: text index files map icon ids to bitmaps of
// multi-bitmap files; pictures are loaded on demand, one shared copy per id
// counted by reference, pinned ids kept loaded. One process-wide instance.
#pragma once

#include <cstdint>

#include "common/bmloader/xr_bitmap.h"
#include "common/container/xr_hash.h"
#include "common/container/xr_string.h"

class XrBitmapLoader {
public:
    // One index row: the bitmap file (a full path once the index is read),
    // whether bitmap_number + 1 of the file is the picture's mask, and the
    // number of the bitmap in the file.
    struct XrIconIdMap {
        XrString bitmap_file;
        std::uint8_t masked = 0;
        int bitmap_number = 0;
    };

    // A cached picture (owned by the cache) and its reference count.
    struct XrLoadedBitmap {
        XrIcon* icon = nullptr;
        int ref_count = 0;
    };

    // The token of bitmap file names replaced by "_" + the platform word.
    static constexpr const TCHAR* PLATFORM_TOKEN = L"_$$$PLAT$$$";

    // The static operations act on the global instance and do nothing (or
    // return -1 or false) while there is none.

    // Creates the instance once (a second call changes nothing); true.
    static bool initialize(const XrString& base_directory, const XrString& platform);
    // Reads an index file: a name without "/" lies in the base directory.
    // False when the file cannot be read.
    static bool load_index(const XrString& file_name);
    // Reads the rows of index text already in memory (what load_index does
    // with a file's bytes); false without instance.
    static bool load_index_text(const BYTE* data, int size);
    // Loads the picture of an id into out: from the cache (taking a
    // reference) unless is_private; a private picture is loaded for out
    // alone and owned by it. False when the id is unknown or its bitmap
    // cannot be loaded.
    static bool load_bitmap_internal(unsigned int id, XrIcon& out, bool is_private);
    // The size of an id's picture, read from its bitmap header without
    // decoding the pixels (the cached picture's size when it is loaded).
    // False when the id is unknown or its bitmap cannot be read.
    static bool get_bitmap_size(unsigned int id, int& width, int& height);
    // Enters two existing handles (owned by the cache from now on) as a
    // loaded, pinned picture under the next free id, with reference count 1
    // (the pin's); -1 without instance.
    static int add_bitmap(XrBitmapHandleRec* image, XrBitmapHandleRec* mask);
    // Enters an index row under the next free id; -1 without instance.
    static int add_icon(const XrIconIdMap& row);
    // A pinned id stays loaded without users. Pinning a loaded id takes a
    // reference for the pin; unpinning gives it back (or unloads an unused
    // picture that was pinned before it was loaded).
    static void set_pinned(unsigned int id, bool pinned);
    // Clears the global instance and drops every pin. The loader is destroyed
    // at once when nothing is loaded, otherwise by the release that empties
    // its cache.
    static void shutdown();
    static XrBitmapLoader* get_instance();

    // Reference counting of cache entries. release never goes below 0; an
    // entry at 0 that is not pinned is unloaded (both handles deleted).
    void add_reference(unsigned int id);
    void release(unsigned int id);

    // The reference count of a cached id, -1 when it is not cached.
    int get_reference_count(unsigned int id) const;
    bool is_pinned(unsigned int id) const;
    unsigned int get_next_free_id() const { return m_next_free_id; }
    // The row of an id, or null.
    const XrIconIdMap* find_row(unsigned int id) const;

private:
    XrBitmapLoader(const XrString& base_directory, const XrString& platform);
    ~XrBitmapLoader();
    XrBitmapLoader(const XrBitmapLoader&) = delete;
    XrBitmapLoader& operator=(const XrBitmapLoader&) = delete;

    // A name without "/" becomes base directory + "/" + name.
    XrString full_path(const XrString& name) const;
    void parse_index(const BYTE* data, int size);
    void parse_line(const char* line, int length, XrString& current_file);
    bool add_row(unsigned int id, const XrIconIdMap& row);
    bool load(unsigned int id, XrIcon& out, bool is_private);
    // The files a row's bitmap is looked for in, in order (their count): the
    // file itself, or for a name with the platform token the platform's own
    // file (token replaced by the platform suffix), then the plain one
    // (token removed).
    int candidate_files(const XrString& file, XrString (&out)[2]) const;
    // Bitmap number of the first candidate file that has it.
    XrBitmapHandleRec* load_handle(const XrString& file, int number) const;
    bool size_of(unsigned int id, int& width, int& height);
    unsigned int take_free_id();
    // Unloads an entry at reference count 0 that is not pinned; when that
    // empties the cache of a loader being shut down, destroys the loader.
    void unload_if_unused(unsigned int id);

    std::uint8_t m_shutdown_pending = 0;
    unsigned int m_next_free_id = 1;
    XrString m_base_directory;
    XrString m_platform_suffix;
    XrHash<unsigned int, XrIconIdMap> m_ids;
    XrHash<unsigned int, XrLoadedBitmap> m_cache;
    // Pinned ids; the value is 1 when the pin holds a reference.
    XrHash<unsigned int, unsigned char> m_pinned;
};
