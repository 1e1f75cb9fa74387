// Drive-letter paths of the data layout ("?:\mapdata\poi.reg") and the
// storage roots they resolve to: a few well-known files live in the
// installed program data or the per-user directory, everything else below
// the map folder of the memory card. Plus small whole-file helpers.
#pragma once

#include <cstdint>
#include <string>

#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"

class XrPathResolver {
public:
    // root: the storage root, ending with a separator ("/media/mmc1/map/");
    // not owned, it must outlive the resolver.
    explicit XrPathResolver(const TCHAR* root) : m_root(root) {}
    ~XrPathResolver() = default;

    // Maps a "?:" path to its platform path; any other path is returned
    // unchanged.
    XrString resolve_path(const XrString& path) const;
    // resolve_path through the global resolver; a path that needs the storage
    // root before a resolver exists is a fatal assertion.
    static XrString resolve(const XrString& path);

    const TCHAR* get_root() const { return m_root; }

private:
    static XrString resolve_with_root(const XrString& path, const TCHAR* root);

    const TCHAR* m_root;
};

XrPathResolver* get_path_resolver();
void set_path_resolver(XrPathResolver* resolver);

// The root of the memory card that holds the map ("/media/mmcN/map/", searched
// from card 9 down to 0), or null when there is none. Cached once found.
const TCHAR* find_map_card_root();
// True when the card found is not card number 2 (false before a card is found).
bool get_map_card_flag();
// Forgets a cached card root: the next find_map_card_root searches again.
void forget_map_card_root();

// A copy with every '\' turned into '/'.
XrString backslashes_to_slashes(const XrString& path);
// The path in the platform's form (separators are kept; the file layer turns
// '\' into '/' when it opens a file).
XrString to_native_path(const XrString& path);

// The platform byte path of a wide path: UTF-8, or the low 8 bits of each
// character when only that form exists (for must_exist) or its folder does;
// every '\' becomes '/'. False when neither form can be made or the result
// would not fit a platform path (4096 bytes with the terminator).
bool to_platform_path(const XrString& path, bool must_exist, std::string& out);
// The wide form of a platform byte path or name: UTF-8 when it is valid
// UTF-8, else each byte widened.
XrString from_platform_path(const char* path);

// Milliseconds since the first call (which returns 0).
std::uint32_t get_tick_count_ms();
// The size of a file, -1 when it does not exist.
std::int64_t get_file_size(const XrString& path);
// Deletes a directory with everything below it (symbolic links are removed,
// not followed); false at the first failure.
bool remove_directory_tree(const XrString& path);
// Called before a file is opened, copied or removed; nothing to do here.
int prepare_file_access(const XrString& path);
// Reads a whole file into a new[] buffer handed to the caller; false when it
// cannot be opened or read, or is larger than max_size (0: no limit).
bool read_whole_file(const XrString& path, BYTE** data, int* size, int max_size);
// Creates or replaces a file with the given bytes: written to a temporary
// file "path.XXXXXX" and synced, renamed over path, and the folder synced.
// Temporary files left by earlier writes of path that were cut off are
// removed first. False on any failure (the old file is then kept).
bool write_whole_file(const XrString& path, const BYTE* data, int size);
// Syncs the folder holding path, so that a rename into it survives a power
// loss; false when it cannot be opened or synced.
bool sync_folder_of(const XrString& path);
