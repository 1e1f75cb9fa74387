#include "lib/io/kofs.h"
#include <cstdio>

#include "lib/rt/kolib.h"
#include "lib/unicode/kounicode.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

struct KoDir {
    DIR* dir;
};

KoDir* ko_dir_open(const char* path)
{
    DIR* d = ::opendir(path);
    if (!d)
        return nullptr;
    KoDir* k = static_cast<KoDir*>(ko_malloc(sizeof(KoDir)));
    if (!k) {
        ::closedir(d);
        return nullptr;
    }
    k->dir = d;
    return k;
}
const char* ko_dir_next(KoDir* dir)
{
    struct dirent* e = ::readdir(dir->dir);
    return e ? e->d_name : nullptr;
}
void ko_dir_close(KoDir* dir)
{
    if (dir) {
        ::closedir(dir->dir);
        ko_free(dir);
    }
}

namespace {
int map_errno(int e)
{
    switch (e) {
    case ENOTDIR: return KO_STAT_NOT_DIR;
    case ENAMETOOLONG: return KO_STAT_NAME_TOO_LONG;
    case ENOENT: return KO_STAT_NO_FILE;
    case EACCES: return KO_STAT_ACCESS;
    case ELOOP: return KO_STAT_LOOP;
    default: return KO_STAT_OTHER;
    }
}
std::int64_t us(const struct timespec& t) { return std::int64_t(t.tv_sec) * 1000000 + t.tv_nsec / 1000; }
int fill(int rc, const struct stat& st, KoStat* out)
{
    if (rc != 0)
        return map_errno(errno);
    out->device = st.st_dev;
    out->inode = st.st_ino;
    std::uint32_t type = S_ISFIFO(st.st_mode) ? 0x1000 : S_ISCHR(st.st_mode) ? 0x2000 : S_ISDIR(st.st_mode) ? 0x4000
                         : S_ISBLK(st.st_mode) ? 0x6000 : S_ISREG(st.st_mode) ? 0x8000 : S_ISLNK(st.st_mode) ? 0xA000 : 0xC000;
    out->mode = type | (st.st_mode & 0xFFF);
    out->links = static_cast<std::uint32_t>(st.st_nlink);
    out->size = st.st_size;
    out->atime_us = us(st.st_atim);
    out->mtime_us = us(st.st_mtim);
    out->ctime_us = us(st.st_ctim);
    return 0;
}
int do_stat(const char* path, KoStat* out, bool link)
{
    char* narrow = ko_utf8_to_8bit(reinterpret_cast<const unsigned char*>(path), std::strlen(path), 0, nullptr);
    if (!narrow)
        return KO_STAT_OTHER;
    struct stat st;
    int rc = link ? ::lstat(narrow, &st) : ::stat(narrow, &st);
    int saved = errno;
    ko_free(narrow);
    errno = saved;
    return fill(rc, st, out);
}
}

int ko_stat(const char* path, KoStat* out) { return do_stat(path, out, false); }
int ko_lstat(const char* path, KoStat* out) { return do_stat(path, out, true); }

std::int64_t ko_time_now()
{
    struct timeval tv;
    if (::gettimeofday(&tv, nullptr) == 0)
        return std::int64_t(tv.tv_sec) * 1000000 + tv.tv_usec;
    return std::int64_t(std::time(nullptr)) * 1000000;
}
int ko_memcmp(const void* a, const void* b, std::size_t n)
{
    int r = std::memcmp(a, b, n);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}
bool ko_chdir(const char* path) { return ::chdir(path) == 0; }
bool ko_getcwd(char* buf, std::size_t size) { return ::getcwd(buf, size) != nullptr; }
bool ko_mkdir(const char* path) { return ::mkdir(path, 0777) == 0; }
bool ko_remove(const char* path) { return ::unlink(path) == 0 || ::rmdir(path) == 0; }
bool ko_rename(const char* from, const char* to) { return ::rename(from, to) == 0; }
