// Directories, file status, time and a few C library wrappers.
#pragma once

#include <cstddef>
#include <cstdint>

struct KoDir;
struct KoStat {
    std::uint64_t device;
    std::uint64_t inode;
    std::uint32_t mode; // type (0x1000 FIFO ... 0xC000 socket) and permission bits
    std::uint32_t links;
    std::int64_t size;
    std::int64_t atime_us;
    std::int64_t mtime_us;
    std::int64_t ctime_us;
};
enum {
    KO_STAT_NOT_DIR = 1,
    KO_STAT_NAME_TOO_LONG = 2,
    KO_STAT_NO_FILE = 3,
    KO_STAT_ACCESS = 4,
    KO_STAT_LOOP = 5,
    KO_STAT_OTHER = 6,
};

KoDir* ko_dir_open(const char* path);
const char* ko_dir_next(KoDir* dir);
void ko_dir_close(KoDir* dir);
int ko_stat(const char* path, KoStat* out);
int ko_lstat(const char* path, KoStat* out);
std::int64_t ko_time_now();
int ko_memcmp(const void* a, const void* b, std::size_t n);
bool ko_chdir(const char* path);
bool ko_getcwd(char* buf, std::size_t size);
bool ko_mkdir(const char* path);
// Removes a file or an empty folder.
bool ko_remove(const char* path);
bool ko_rename(const char* from, const char* to);
