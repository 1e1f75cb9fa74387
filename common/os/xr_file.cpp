#include "common/os/xr_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <cwchar>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utime.h>

#include "common/misc/xr_path_resolver.h"
#include "common/types/xr_datetime.h"

namespace {

// Longest platform path, terminator included.
constexpr std::size_t platform_path_max = 4096;
constexpr std::uint32_t copy_chunk = 1024;

bool platform(const XrString& path, std::string& out)
{
    return to_platform_path(path, true, out);
}

// Moves all length bytes at offset with io(done, count, position) (pread or
// pwrite); PAST_END when the file ends first (it shrank behind our back).
template <class Io>
XrFile::Status transfer(std::uint32_t offset, std::uint32_t length, Io io)
{
    std::uint32_t done = 0;
    while (done < length) {
        ssize_t n = io(done, length - done, static_cast<off_t>(offset) + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno == EINVAL ? XrFile::BAD_OFFSET : XrFile::FAILED;
        if (n == 0)
            return XrFile::PAST_END;
        done += static_cast<std::uint32_t>(n);
    }
    return XrFile::OK;
}

} // namespace

// ---------------------------------------------------------------- XrFile

XrFile::~XrFile()
{
    close();
}

void XrFile::close()
{
    if (m_handle >= 0)
        ::close(m_handle);
    m_handle = -1;
    m_size = 0;
}

XrFile::Status XrFile::open(const XrString& path, bool open_existing, bool create, bool read_only)
{
    close();
    std::string p;
    if (!platform(path, p))
        return FAILED;
    int flags = (read_only ? O_RDONLY : O_RDWR) | O_CLOEXEC;
    int fd = ::open(p.c_str(), flags);
    if (fd < 0) {
        if (errno != ENOENT)
            return FAILED;
        if (!create)
            return NOT_FOUND;
        fd = ::open(p.c_str(), flags | O_CREAT | O_EXCL, 0600);
        if (fd < 0)
            return (errno == EEXIST && !open_existing) ? EXISTS : FAILED;
    } else if (!open_existing) {
        ::close(fd);
        return EXISTS;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || st.st_size > static_cast<off_t>(UINT32_MAX)) {
        ::close(fd);
        return FAILED;
    }
    m_handle = fd;
    m_read_only = read_only;
    m_size = static_cast<std::uint32_t>(st.st_size);
    m_name = path;
    return OK;
}

XrFile::Status XrFile::check_range(std::uint32_t offset, std::uint32_t length) const
{
    if (m_handle < 0)
        return FAILED;
    if (offset > m_size)
        return BAD_OFFSET;
    if (static_cast<std::uint64_t>(offset) + length > m_size)
        return PAST_END;
    return OK;
}

XrFile::Status XrFile::read(std::uint32_t offset, std::uint32_t length, BYTE* buffer)
{
    Status s = check_range(offset, length);
    if (s != OK)
        return s;
    return transfer(offset, length, [&](std::uint32_t done, std::uint32_t n, off_t at) {
        return pread(m_handle, buffer + done, n, at);
    });
}

XrFile::Status XrFile::read_alloc(std::uint32_t offset, std::uint32_t length, BYTE*& buffer)
{
    buffer = nullptr;
    Status s = check_range(offset, length);
    if (s != OK)
        return s;
    std::unique_ptr<BYTE[]> b(new (std::nothrow) BYTE[length > 0 ? length : 1]);
    if (b == nullptr)
        return FAILED;
    s = read(offset, length, b.get());
    if (s != OK)
        return s;
    buffer = b.release();
    return OK;
}

XrFile::Status XrFile::write(std::uint32_t offset, std::uint32_t length, const BYTE* bytes)
{
    Status s = check_range(offset, length);
    if (s != OK)
        return s;
    return transfer(offset, length, [&](std::uint32_t done, std::uint32_t n, off_t at) {
        return pwrite(m_handle, bytes + done, n, at);
    });
}

XrFile::Status XrFile::resize(std::uint32_t length)
{
    XR_ASSERT_MSG(m_handle >= 0, "file_handle >= 0");
    if (length == m_size)
        return OK;
    if (length < m_size) {
        if (ftruncate(m_handle, static_cast<off_t>(length)) != 0)
            return FAILED;
    } else {
        const BYTE zero = 0;
        if (pwrite(m_handle, &zero, 1, static_cast<off_t>(length) - 1) != 1)
            return FAILED;
    }
    m_size = length;
    return OK;
}

XrFile::Status XrFile::lock()
{
    if (m_handle < 0 || lseek(m_handle, 0, SEEK_SET) != 0 || lockf(m_handle, F_LOCK, m_size) != 0)
        return FAILED;
    return OK;
}

XrFile::Status XrFile::unlock()
{
    if (m_handle < 0 || lseek(m_handle, 0, SEEK_SET) != 0 || lockf(m_handle, F_ULOCK, m_size) != 0)
        return FAILED;
    return OK;
}

bool XrFile::flush()
{
    return m_handle < 0 || fsync(m_handle) == 0;
}

bool XrFile::delete_file()
{
    return ::delete_file(m_name);
}

XrFile::Status XrFile::get_modification_time(XrDatetime& out) const
{
    std::string p;
    struct stat st;
    if (!platform(m_name, p) || stat(p.c_str(), &st) != 0)
        return FAILED;
    out.set_utc(static_cast<int>(st.st_mtime));
    return OK;
}

XrFile* XrFile::make_temp(const XrString& directory, bool create_directory)
{
    if (create_directory)
        make_directories(directory + L"/xxx");
    std::string dir;
    if (!to_platform_path(directory, false, dir))
        return nullptr;
    std::string name = dir + "/XXXXXX";
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        name = dir + "/" + std::to_string(random()) + std::to_string(time(nullptr)) + std::to_string(getpid());
        fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            return nullptr;
    }
    XrFile* f = new XrFile();
    f->m_handle = fd;
    f->m_name = from_platform_path(name.c_str());
    return f;
}

// ---------------------------------------------------------- XrFileFinder

XrFileFinder::~XrFileFinder()
{
    if (m_dir != nullptr)
        closedir(static_cast<DIR*>(m_dir));
}

bool XrFileFinder::open(const XrString& path, int mode)
{
    if (m_dir != nullptr)
        closedir(static_cast<DIR*>(m_dir));
    m_dir = nullptr;
    m_mode = mode;
    std::string p;
    if (!platform(path, p))
        return false;
    m_dir = opendir(p.c_str());
    return m_dir != nullptr;
}

bool XrFileFinder::get_next(TCHAR* buffer, int capacity)
{
    DIR* d = static_cast<DIR*>(m_dir);
    if (d == nullptr)
        return false;
    while (struct dirent* e = readdir(d)) {
        bool dir = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN) {
            struct stat st;
            dir = fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        }
        if (dir != (m_mode == DIRECTORIES))
            continue;
        if (dir && (std::string_view(e->d_name) == "." || std::string_view(e->d_name) == ".."))
            continue;
        if (capacity > 0) {
            XrString name = from_platform_path(e->d_name);
            int n = std::min(name.length(), capacity - 1);
            wmemcpy(buffer, name.c_str(), static_cast<std::size_t>(n));
            buffer[n] = 0;
        }
        return true;
    }
    return false;
}

// ------------------------------------------------------- free functions

bool rename_file(const XrString& from, const XrString& to)
{
    std::string f, t;
    if (!platform(from, f) || f.size() >= platform_path_max || !platform(to, t))
        return false;
    return rename(f.c_str(), t.c_str()) == 0;
}

bool make_directories(const XrString& path)
{
    std::string p;
    if (!platform(path, p))
        return false;
    for (std::size_t i = 1; i < p.size(); ++i) {
        if (p[i] != '/')
            continue;
        if (mkdir(p.substr(0, i).c_str(), 0777) != 0 && errno != EEXIST && errno != EPERM)
            return false;
    }
    return true;
}

bool delete_file(const XrString& path)
{
    std::string p;
    return platform(path, p) && unlink(p.c_str()) == 0;
}

bool remove_directory(const XrString& path)
{
    std::string p;
    return platform(path, p) && rmdir(p.c_str()) == 0;
}

XrFile::Status touch_file(const XrString& path)
{
    std::string p;
    if (!platform(path, p) || utime(p.c_str(), nullptr) != 0)
        return XrFile::FAILED;
    return XrFile::OK;
}

XrFile::Status set_file_times(const XrString& path, const XrDatetime& access, const XrDatetime& modification)
{
    std::string p;
    if (!platform(path, p))
        return XrFile::FAILED;
    struct utimbuf times;
    times.actime = static_cast<time_t>(access.get_utc());
    times.modtime = static_cast<time_t>(modification.get_utc());
    return utime(p.c_str(), &times) == 0 ? XrFile::OK : XrFile::FAILED;
}

bool is_directory(const XrString& path)
{
    std::string p;
    struct stat st;
    return platform(path, p) && stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::int64_t free_space(const XrString& path)
{
    std::string p;
    struct statvfs st;
    if (!platform(path, p) || statvfs(p.c_str(), &st) != 0)
        return -1;
    return static_cast<std::int64_t>(st.f_frsize) * static_cast<std::int64_t>(st.f_bavail);
}

bool copy_file(const XrString& from, const XrString& to)
{
    prepare_file_access(from);
    XrFile src;
    XrFile dst;
    if (src.open_existing(from, true) != XrFile::OK || dst.open(to, true, true, false) != XrFile::OK)
        return false;
    std::uint32_t size = src.get_size();
    if (dst.resize(size) != XrFile::OK)
        return false;
    BYTE chunk[copy_chunk];
    for (std::uint32_t offset = 0; offset < size; offset += copy_chunk) {
        std::uint32_t n = std::min(copy_chunk, size - offset);
        if (src.read(offset, n, chunk) != XrFile::OK || dst.write(offset, n, chunk) != XrFile::OK)
            return false;
    }
    return true;
}

