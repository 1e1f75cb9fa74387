#include "common/misc/xr_path_resolver.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cctype>
#include <ctime>
#include <cwchar>
#include <new>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/misc/xr_utf8.h"
#include "common/base/xr_root.h"

namespace {

XrPathResolver* g_resolver = nullptr;

// The card search result.
constexpr int card_root_capacity = 1024;
TCHAR g_card_root[card_root_capacity];
bool g_card_found = false;
bool g_card_flag = false;

// Longest platform path, terminator included.
constexpr std::size_t platform_path_max = 4096;

bool is_separator(TCHAR c)
{
    return c == L'/' || c == L'\\';
}

bool platform_exists(const std::string& p)
{
    struct stat st;
    return lstat(p.c_str(), &st) == 0;
}

bool platform_is_directory(const std::string& p)
{
    struct stat st;
    return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool parent_exists(const std::string& p)
{
    std::size_t slash = p.rfind('/');
    if (slash == std::string::npos)
        return false;
    return platform_exists(slash == 0 ? std::string("/") : p.substr(0, slash));
}

XrString platform_string(const std::string& p)
{
    return from_platform_path(p.c_str());
}

bool write_all(int fd, const BYTE* data, std::size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool remove_tree(const std::string& dir)
{
    DIR* d = opendir(dir.c_str());
    if (d == nullptr)
        return false;
    std::vector<std::string> files;
    std::vector<std::string> dirs;
    while (struct dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        std::string p = dir + "/" + name;
        struct stat st;
        if (lstat(p.c_str(), &st) != 0) {
            closedir(d);
            return false;
        }
        (S_ISDIR(st.st_mode) ? dirs : files).push_back(p);
    }
    closedir(d);
    for (const std::string& f : files) {
        if (unlink(f.c_str()) != 0)
            return false;
    }
    for (const std::string& sub : dirs) {
        if (!remove_tree(sub))
            return false;
    }
    return rmdir(dir.c_str()) == 0;
}

// The folder part of a platform path ("." for a bare name).
std::string folder_of(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes a rename or removal in the folder of path durable.
bool sync_parent(const std::string& path)
{
    int fd = open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = fsync(fd) == 0 || errno == EINVAL; // some file systems cannot sync folders
    close(fd);
    return ok;
}

// Removes the temporary files of earlier writes of path that never reached
// their rename ("name.XXXXXX": six letters or digits).
void remove_stale_temporaries(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    DIR* dir = opendir(folder_of(path).c_str());
    if (dir == nullptr)
        return;
    std::vector<std::string> stale;
    while (dirent* entry = readdir(dir)) {
        const char* e = entry->d_name;
        std::size_t len = std::strlen(e);
        if (len != name.size() + 7 || name.compare(0, name.size(), e, name.size()) != 0 || e[name.size()] != '.')
            continue;
        bool temporary = true;
        for (std::size_t i = name.size() + 1; i < len; ++i)
            temporary = temporary && std::isalnum(static_cast<unsigned char>(e[i])) != 0;
        if (temporary)
            stale.push_back(folder_of(path) + "/" + e);
    }
    closedir(dir);
    for (const std::string& file : stale) {
        struct stat st;
        if (lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            unlink(file.c_str());
    }
}

} // namespace

XrString XrPathResolver::resolve(const XrString& path)
{
    const XrPathResolver none(nullptr);
    return (g_resolver != nullptr ? g_resolver : &none)->resolve_path(path);
}

XrString XrPathResolver::resolve_path(const XrString& path) const
{
    if (path.length() < 3)
        return path;
    if (path == L"?:\\mapdata\\poi.reg" || path == L"?:\\Kestrova\\poi.reg")
        return platform_string(XrRoot::path("/usr/share/kestrova/poi.reg"));
    const TCHAR* images = L"?:/kestrova/images";
    if (wide_strncmp(path.c_str(), images, static_cast<int>(wcslen(images))) == 0)
        return platform_string(XrRoot::path("/usr/share")) + path.c_str_at(2);
    if (path == L"?:\\kestrova\\settings.txt")
        return platform_string(XrRoot::home_dir() + "/.kestrova/settings.txt");

    const TCHAR* text = path.c_str();
    for (int i = 0; text[i] != 0; ++i) {
        if (text[i] != L'?' || text[i + 1] != L':' || !is_separator(text[i + 2]))
            continue;
        if (i > 0 && !is_separator(text[i - 1]))
            continue;
        XR_ASSERT_MSG(m_root != nullptr, "!\"xr_path_resolver is not instantiated yet\"");
        return XrString(text, i) + m_root + to_native_path(XrString(text + i + 3));
    }
    return path;
}

XrPathResolver* get_path_resolver()
{
    return g_resolver;
}

void set_path_resolver(XrPathResolver* resolver)
{
    g_resolver = resolver;
}

const TCHAR* find_map_card_root()
{
    if (g_card_found)
        return g_card_root;
    for (int card = 9; card >= 0; --card) {
        std::string map = XrRoot::path("/media/mmc" + std::to_string(card) + "/map");
        if (!platform_is_directory(map + "/kestrova") || !platform_is_directory(map))
            continue;
        XrString root = platform_string(map + "/");
        if (root.length() >= card_root_capacity)
            continue; // no room for the whole path: never a cut one
        wcscpy(g_card_root, root.c_str());
        g_card_found = true;
        g_card_flag = card != 2;
        return g_card_root;
    }
    return nullptr;
}

bool get_map_card_flag()
{
    return g_card_flag;
}

void forget_map_card_root()
{
    g_card_found = false;
    g_card_flag = false;
    g_card_root[0] = 0;
}

XrString backslashes_to_slashes(const XrString& path)
{
    XrString s(path);
    if (s.find(L"\\") >= 0)
        s.replace(L"\\", L"/");
    return s;
}

XrString to_native_path(const XrString& path)
{
    return path;
}

bool to_platform_path(const XrString& path, bool must_exist, std::string& out)
{
    const TCHAR* text = path.c_str();
    std::string utf8;
    std::string latin1;
    bool utf8_ok = true;
    bool latin1_ok = true;
    bool ascii = true;
    for (const TCHAR* p = text; *p != 0; ++p) {
        std::uint32_t c = static_cast<std::uint32_t>(*p);
        if (c == '\\')
            c = '/';
        if (c >= 0x80)
            ascii = false;
        if (c > 0xFF)
            latin1_ok = false;
        else
            latin1 += static_cast<char>(c);
        if (c > 0xFFFF) {
            utf8_ok = false;
        } else if (utf8_ok) {
            BYTE buf[3];
            BYTE* w = buf;
            XrUTF8::write_utf8(static_cast<unsigned short>(c), w);
            utf8.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(w - buf));
        }
    }
    utf8_ok = utf8_ok && utf8.size() < platform_path_max;
    latin1_ok = latin1_ok && latin1.size() < platform_path_max;

    const std::string* pick = nullptr;
    if (ascii || !must_exist) {
        pick = utf8_ok ? &utf8 : (latin1_ok ? &latin1 : nullptr);
    } else if (utf8_ok && platform_exists(utf8)) {
        pick = &utf8;
    } else if (latin1_ok && (!utf8_ok || platform_exists(latin1))) {
        pick = &latin1;
    } else if (utf8_ok && parent_exists(utf8)) {
        pick = &utf8;
    } else if (latin1_ok && parent_exists(latin1)) {
        pick = &latin1;
    } else if (utf8_ok) {
        pick = &utf8;
    }
    if (pick == nullptr)
        return false;
    out = *pick;
    return true;
}

XrString from_platform_path(const char* path)
{
    XrString s;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(path);
    if (XrUTF8::is_valid_utf8(bytes, -1) && XrUTF8::decode_utf8(bytes, -1, s))
        return s;
    s.clear();
    s.append(path);
    return s;
}

std::uint32_t get_tick_count_ms()
{
    static bool started = false;
    static struct timespec base;
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (!started) {
        base = now;
        started = true;
        return 0;
    }
    std::int64_t ms = static_cast<std::int64_t>(now.tv_sec - base.tv_sec) * 1000 +
                      (now.tv_nsec - base.tv_nsec) / 1000000;
    return static_cast<std::uint32_t>(ms);
}

std::int64_t get_file_size(const XrString& path)
{
    std::string p;
    struct stat st;
    if (!to_platform_path(path, true, p) || stat(p.c_str(), &st) != 0)
        return -1;
    return static_cast<std::int64_t>(st.st_size);
}

bool remove_directory_tree(const XrString& path)
{
    std::string p;
    if (!to_platform_path(path, true, p))
        return false;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    struct stat st;
    if (lstat(p.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    return remove_tree(p);
}

int prepare_file_access(const XrString&)
{
    return 0;
}

bool read_whole_file(const XrString& path, BYTE** data, int* size, int max_size)
{
    std::string p;
    if (!to_platform_path(path, true, p))
        return false;
    int fd = open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= INT_MAX &&
              (max_size <= 0 || st.st_size <= max_size);
    std::size_t total = ok ? static_cast<std::size_t>(st.st_size) : 0;
    BYTE* buf = ok ? new (std::nothrow) BYTE[total > 0 ? total : 1] : nullptr;
    std::size_t done = 0;
    while (buf != nullptr && done < total) {
        ssize_t n = ::read(fd, buf + done, total - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // read error, or the file shrank meanwhile
        done += static_cast<std::size_t>(n);
    }
    close(fd);
    if (buf == nullptr || done != total) {
        delete[] buf;
        return false;
    }
    *data = buf;
    *size = static_cast<int>(total);
    return true;
}

bool sync_folder_of(const XrString& path)
{
    std::string p;
    return to_platform_path(path, true, p) && sync_parent(p);
}

bool write_whole_file(const XrString& path, const BYTE* data, int size)
{
    // An existing file is replaced under the form its name has on disk.
    std::string p;
    if (size < 0 || !to_platform_path(path, true, p))
        return false;
    remove_stale_temporaries(p);
    std::string tmp = p + ".XXXXXX";
    int fd = mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    mode_t mode = stat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    // On disk before the rename, and the rename on disk before success: a
    // power loss leaves the old or the new content, never an empty file.
    bool ok = fchmod(fd, mode) == 0 && write_all(fd, data, static_cast<std::size_t>(size)) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok && rename(tmp.c_str(), p.c_str()) == 0)
        return sync_parent(p);
    unlink(tmp.c_str());
    return false;
}
