// The POSIX file layer: files with offset-addressed reads and writes and a
// status result, a directory iterator, and free functions for directories,
// renames, deletion, times and free space. Every path is a wide string;
// either slash is accepted ("?:" paths are resolved by the callers).
#pragma once

#include <cstdint>

#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"

class XrDatetime;

class XrFile {
public:
    enum Status {
        OK = 0,
        NOT_FOUND = 1,
        BAD_OFFSET = 3, // offset beyond the size, or the seek failed
        PAST_END = 4,   // the access would run past the end of the file
        FAILED = 6,
        EXISTS = 7,
    };

    XrFile() = default;
    ~XrFile();
    XrFile(const XrFile&) = delete;
    XrFile& operator=(const XrFile&) = delete;

    // Opens a file. A missing file is NOT_FOUND unless create is set (it is
    // then made with mode 0600); an existing one is EXISTS unless
    // open_existing is set. FAILED for any other failure (a folder, a file
    // of 4 GiB or more, no permission).
    Status open(const XrString& path, bool open_existing, bool create, bool read_only);
    Status create(const XrString& path, bool open_existing, bool read_only = false)
    {
        return open(path, open_existing, true, read_only);
    }
    Status open_existing(const XrString& path, bool read_only)
    {
        return open(path, true, false, read_only);
    }
    void close();

    // Reads length bytes at offset: BAD_OFFSET when the offset lies beyond
    // the size, PAST_END when the bytes run past the end, FAILED when the
    // read fails.
    Status read(std::uint32_t offset, std::uint32_t length, BYTE* buffer);
    // read into a new[] buffer handed to the caller (null on failure).
    Status read_alloc(std::uint32_t offset, std::uint32_t length, BYTE*& buffer);
    // Writes within the current size (grow it first with resize): BAD_OFFSET
    // when the offset lies beyond the size, PAST_END when the bytes would run
    // past it, FAILED when the write fails.
    Status write(std::uint32_t offset, std::uint32_t length, const BYTE* bytes);

    std::uint32_t get_size() const { return m_size; }
    bool is_read_only() const { return m_read_only; }
    bool is_open() const { return m_handle >= 0; }
    const XrString& get_name() const { return m_name; }

    // Shrinks or grows the file (grown bytes are zero).
    Status resize(std::uint32_t length);
    // Locks / unlocks the whole file (lockf).
    Status lock();
    Status unlock();
    // fsync; true when closed or on success.
    bool flush();
    // Unlinks the file by the name it was opened with.
    bool delete_file();
    Status get_modification_time(XrDatetime& out) const;

    // A new open file with a unique name in the directory (created first
    // when create_directory is set); null on failure.
    static XrFile* make_temp(const XrString& directory, bool create_directory);

private:
    // OK when length bytes at offset lie within the size.
    Status check_range(std::uint32_t offset, std::uint32_t length) const;

    int m_handle = -1;
    bool m_read_only = false;
    std::uint32_t m_size = 0;
    XrString m_name;
};

// Iterates the entries of a directory.
class XrFileFinder {
public:
    enum Mode {
        FILES = 0,       // entries that are not directories (symbolic links included)
        DIRECTORIES = 1, // directories, without "." and ".."
    };

    XrFileFinder() = default;
    virtual ~XrFileFinder();
    XrFileFinder(const XrFileFinder&) = delete;
    XrFileFinder& operator=(const XrFileFinder&) = delete;

    bool open(const XrString& path, int mode);
    // The next entry of the mode: its name (UTF-8 decoded when valid, else
    // widened byte by byte) cut to capacity - 1 characters and terminated.
    // False at the end of the directory.
    bool get_next(TCHAR* buffer, int capacity);

private:
    void* m_dir = nullptr; // DIR*
    int m_mode = FILES;
};

// Calls visit(name) with the name of every entry of the mode in the folder,
// names cut to 259 characters; visit returning false ends the pass. False
// when the folder cannot be listed.
template <class F>
bool for_each_folder_entry(const XrString& folder, XrFileFinder::Mode mode, F visit)
{
    constexpr int name_capacity = 260;
    XrFileFinder finder;
    if (!finder.open(folder, mode))
        return false;
    TCHAR name[name_capacity];
    while (finder.get_next(name, name_capacity)) {
        if (!visit(XrString(name)))
            break;
    }
    return true;
}

// false when from is too long for a platform path or rename fails.
bool rename_file(const XrString& from, const XrString& to);
// Makes every missing folder of the path; the last component only when the
// path ends with a separator.
bool make_directories(const XrString& path);
bool delete_file(const XrString& path);
// Removes an empty directory.
bool remove_directory(const XrString& path);
// Sets the access and modification times to now / to the given times.
XrFile::Status touch_file(const XrString& path);
XrFile::Status set_file_times(const XrString& path, const XrDatetime& access, const XrDatetime& modification);
bool is_directory(const XrString& path);
// Free bytes for the user on the file system of the path, -1 on failure.
std::int64_t free_space(const XrString& path);
// Copies a file into a destination that is created or reused.
bool copy_file(const XrString& from, const XrString& to);
// The name to show for a path: the file manager's display name when its
// library is present (true), else the path itself (false).
bool get_display_name(const XrString& path, XrString& name);
