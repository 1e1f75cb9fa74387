// A preloaded library that counts the write points of one program below the
// test's root and kills the program at a chosen one, before it happens.
//
// Write points: a folder made (mkdir), a name changed (rename), a file
// created (open with O_CREAT) and a write to a regular file, each only when
// its path lies below KESTROVA_ROOT. Environment:
//   XR_KILL_PROGRAM  the program's file name; other programs are left alone
//   XR_KILL_LOG      a file that gets one line per write point ("m path"),
//                    shared by the program's processes: its line count is
//                    the number of the point
//   XR_KILL_AT       the number (from 1) of the point at which SIGKILL comes
//                    (counted in XR_KILL_LOG, which it therefore needs)
// The library calls the system directly for its own output, so that it
// never counts itself.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool g_active = false;
char g_root[512];
size_t g_root_len = 0;
long g_kill_at = 0;
int g_log = -1;

__attribute__((constructor)) void shim_init()
{
    const char* program = std::getenv("XR_KILL_PROGRAM");
    const char* root = std::getenv("KESTROVA_ROOT");
    if (program == nullptr || root == nullptr || std::strlen(root) + 1 >= sizeof g_root)
        return;
    char exe[512];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0)
        return;
    exe[n] = 0;
    const char* base = std::strrchr(exe, '/');
    if (std::strcmp(base != nullptr ? base + 1 : exe, program) != 0)
        return;
    std::strcpy(g_root, root);
    g_root_len = std::strlen(g_root);
    if (const char* at = std::getenv("XR_KILL_AT"))
        g_kill_at = std::atol(at);
    if (const char* log = std::getenv("XR_KILL_LOG"))
        g_log = static_cast<int>(syscall(SYS_open, log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    g_active = true;
}

bool below_root(const char* path)
{
    return g_active && path != nullptr && std::strncmp(path, g_root, g_root_len) == 0 &&
           (path[g_root_len] == '/' || path[g_root_len] == 0);
}

// Counts one write point; kills the process when it is the chosen one.
void point(char kind, const char* path)
{
    char line[600];
    const int len = std::snprintf(line, sizeof line, "%c %s\n", kind, path);
    long number = 0;
    if (g_log >= 0 && len > 0) {
        // The log's lines are the points so far, of every process.
        const size_t size = static_cast<size_t>(len) < sizeof line ? static_cast<size_t>(len) : sizeof line - 1;
        syscall(SYS_write, g_log, line, size);
        char buffer[4096];
        char fdpath[64];
        std::snprintf(fdpath, sizeof fdpath, "/proc/self/fd/%d", g_log);
        const int rd = static_cast<int>(syscall(SYS_open, fdpath, O_RDONLY | O_CLOEXEC));
        if (rd >= 0) {
            ssize_t n;
            while ((n = syscall(SYS_read, rd, buffer, sizeof buffer)) > 0) {
                for (ssize_t i = 0; i < n; ++i)
                    number += buffer[i] == '\n';
            }
            syscall(SYS_close, rd);
        }
    }
    if (g_kill_at > 0 && number == g_kill_at)
        syscall(SYS_kill, getpid(), SIGKILL);
}

bool fd_below_root(int fd, char* path, size_t size)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, size - 1);
    if (n <= 0)
        return false;
    path[n] = 0;
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && below_root(path);
}

// O_TMPFILE holds the bits of O_DIRECTORY: all of them must be set.
bool creates(int flags)
{
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

template <class F>
F next(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// The absolute form of a path relative to a folder descriptor.
const char* at_path(int dirfd, const char* path, char* out, size_t size)
{
    if (path == nullptr || path[0] == '/' || dirfd == AT_FDCWD) {
        if (path != nullptr && path[0] != '/' && getcwd(out, size) != nullptr) {
            const size_t used = std::strlen(out);
            std::snprintf(out + used, size - used, "/%s", path);
            return out;
        }
        return path;
    }
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", dirfd);
    const ssize_t n = readlink(link, out, size - 1);
    if (n <= 0)
        return path;
    out[n] = 0;
    std::snprintf(out + n, size - static_cast<size_t>(n), "/%s", path);
    return out;
}

void check_path(char kind, int dirfd, const char* path)
{
    if (!g_active)
        return;
    char full[1024];
    const char* p = at_path(dirfd, path, full, sizeof full);
    if (below_root(p))
        point(kind, p);
}

} // namespace

extern "C" {

int mkdir(const char* path, mode_t mode)
{
    check_path('m', AT_FDCWD, path);
    return next<int (*)(const char*, mode_t)>("mkdir")(path, mode);
}

int mkdirat(int dirfd, const char* path, mode_t mode)
{
    check_path('m', dirfd, path);
    return next<int (*)(int, const char*, mode_t)>("mkdirat")(dirfd, path, mode);
}

int rename(const char* from, const char* to)
{
    check_path('r', AT_FDCWD, to);
    return next<int (*)(const char*, const char*)>("rename")(from, to);
}

int renameat(int fromfd, const char* from, int tofd, const char* to)
{
    check_path('r', tofd, to);
    return next<int (*)(int, const char*, int, const char*)>("renameat")(fromfd, from, tofd, to);
}

int renameat2(int fromfd, const char* from, int tofd, const char* to, unsigned flags)
{
    check_path('r', tofd, to);
    return next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2")(fromfd, from, tofd, to, flags);
}

int open(const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (creates(flags)) {
        va_list ap;
        va_start(ap, flags);
        mode = static_cast<mode_t>(va_arg(ap, int));
        va_end(ap);
        check_path('c', AT_FDCWD, path);
    }
    return next<int (*)(const char*, int, ...)>("open")(path, flags, mode);
}

int open64(const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (creates(flags)) {
        va_list ap;
        va_start(ap, flags);
        mode = static_cast<mode_t>(va_arg(ap, int));
        va_end(ap);
    }
    // open and open64 are one function: a call through both counts once.
    return next<int (*)(const char*, int, ...)>("open64")(path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (creates(flags)) {
        va_list ap;
        va_start(ap, flags);
        mode = static_cast<mode_t>(va_arg(ap, int));
        va_end(ap);
        check_path('c', dirfd, path);
    }
    return next<int (*)(int, const char*, int, ...)>("openat")(dirfd, path, flags, mode);
}

ssize_t write(int fd, const void* data, size_t size)
{
    char path[1024];
    if (g_active && fd_below_root(fd, path, sizeof path))
        point('w', path);
    return next<ssize_t (*)(int, const void*, size_t)>("write")(fd, data, size);
}

} // extern "C"
