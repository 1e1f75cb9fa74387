#include "lib/io/kohandle.h"

#include "lib/rt/kolib.h"
#include "lib/unicode/kounicode.h"

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const std::int32_t kBufferSize = 1024;
}

KoHandle* ko_handle_create(const KoHandleOps* ops, void* user)
{
    KoHandle* h = static_cast<KoHandle*>(ko_calloc(1, sizeof(KoHandle)));
    if (!h)
        return nullptr;
    h->buffer = static_cast<unsigned char*>(ko_malloc(kBufferSize));
    if (!h->buffer) {
        ko_free(h);
        return nullptr;
    }
    h->capacity = kBufferSize;
    h->pushed_back = -1;
    h->refs = 1;
    h->ops = ops;
    h->user = user;
    return h;
}

KoHandle* ko_handle_ref(KoHandle* h)
{
    if (!(h->flags & KO_HANDLE_F_PERMANENT))
        ++h->refs;
    return h;
}

namespace {
void destroy(KoHandle* h)
{
    ko_handle_flush(h);
    if (h->ops->close)
        h->ops->close(h->user);
    ko_free(h->buffer);
    ko_free(h);
}
}

void ko_handle_release(KoHandle* h)
{
    if (!h || (h->flags & KO_HANDLE_F_PERMANENT))
        return;
    if (--h->refs == 0)
        destroy(h);
}

void ko_handle_set_permanent(KoHandle* h) { h->flags |= KO_HANDLE_F_PERMANENT; }
void ko_handle_set_line_flush(KoHandle* h, bool on)
{
    if (on)
        h->flags |= KO_HANDLE_F_LINE_FLUSH;
    else
        h->flags &= ~KO_HANDLE_F_LINE_FLUSH;
}

namespace {
// Passes the dirty bytes on; false keeps the rest.
bool drain(KoHandle* h)
{
    while (h->cursor < h->fill) {
        long n = h->ops->write ? h->ops->write(h->user, h->buffer + h->cursor, h->fill - h->cursor) : -1;
        if (n < 1)
            return false;
        h->cursor += static_cast<std::int32_t>(n);
    }
    h->position += h->fill;
    h->fill = h->cursor = 0;
    h->flags &= ~KO_HANDLE_F_DIRTY;
    return true;
}
}

bool ko_handle_flush(KoHandle* h)
{
    if ((h->flags & KO_HANDLE_F_DIRTY) && !drain(h))
        return false;
    if (h->ops->flush)
        return h->ops->flush(h->user) >= 0;
    return true;
}

int ko_handle_sync(KoHandle* h)
{
    if (!ko_handle_flush(h))
        return -1;
    return h->ops->sync ? h->ops->sync(h->user) : 0;
}

long ko_handle_read(KoHandle* h, void* buffer, std::size_t count)
{
    if (!h->ops->read)
        return -1;
    if ((h->flags & KO_HANDLE_F_DIRTY) && !ko_handle_flush(h))
        return -1;
    unsigned char* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    if (h->pushed_back >= 0 && count > 0) {
        out[done++] = static_cast<unsigned char>(h->pushed_back);
        h->pushed_back = -1;
    }
    while (done < count) {
        std::size_t have = std::size_t(h->fill - h->cursor);
        std::size_t take = have < count - done ? have : count - done;
        if (take) {
            std::memcpy(out + done, h->buffer + h->cursor, take);
            h->cursor += static_cast<std::int32_t>(take);
            done += take;
            continue;
        }
        h->position += h->cursor;
        h->fill = h->cursor = 0;
        std::size_t want = count - done;
        if (want >= std::size_t(h->capacity)) {
            long n = h->ops->read(h->user, out + done, want);
            if (n < 1)
                return done ? long(done) : n;
            h->position += n;
            return long(done) + n;
        }
        long n = h->ops->read(h->user, h->buffer, h->capacity);
        if (n < 1)
            return done ? long(done) : n;
        h->fill = static_cast<std::int32_t>(n);
    }
    return long(done);
}

long ko_handle_write(KoHandle* h, const void* bytes, std::size_t count)
{
    if (!h->ops->write)
        return -1;
    bool lf = (h->flags & KO_HANDLE_F_LINE_FLUSH) && std::memchr(bytes, 10, count);
    if (!(h->flags & KO_HANDLE_F_DIRTY)) {
        h->position += h->cursor;
        h->fill = h->cursor = 0;
        h->flags |= KO_HANDLE_F_DIRTY;
    }
    if (count <= std::size_t(h->capacity - h->fill)) {
        std::memcpy(h->buffer + h->fill, bytes, count);
        h->fill += static_cast<std::int32_t>(count);
        if (lf && !ko_handle_flush(h))
            return -1;
        return long(count);
    }
    while (h->cursor < h->fill) {
        long n = h->ops->write(h->user, h->buffer + h->cursor, h->fill - h->cursor);
        if (n < 1)
            return n;
        h->cursor += static_cast<std::int32_t>(n);
    }
    h->position += h->fill;
    h->fill = h->cursor = 0;
    if (count > std::size_t(h->capacity)) {
        h->flags &= ~KO_HANDLE_F_DIRTY;
        long n = h->ops->write(h->user, bytes, count);
        if (n > 0)
            h->position += n;
        return n;
    }
    std::memcpy(h->buffer, bytes, count);
    h->fill = static_cast<std::int32_t>(count);
    h->flags |= KO_HANDLE_F_DIRTY;
    if (lf && !ko_handle_flush(h))
        return -1;
    return long(count);
}

int ko_handle_getc(KoHandle* h)
{
    if (h->pushed_back >= 0) {
        int c = h->pushed_back;
        h->pushed_back = -1;
        return c;
    }
    if (h->ops->read_byte)
        return h->ops->read_byte(h->user, nullptr, h->ops);
    if ((h->flags & KO_HANDLE_F_DIRTY) && !ko_handle_flush(h))
        return -1;
    if (h->cursor >= h->fill) {
        if (!h->ops->read)
            return -1;
        h->position += h->cursor;
        h->fill = h->cursor = 0;
        long n = h->ops->read(h->user, h->buffer, h->capacity);
        if (n == 0)
            return -1;
        if (n < 0)
            return static_cast<int>(n);
        h->fill = static_cast<std::int32_t>(n);
    }
    return h->buffer[h->cursor++];
}

int ko_handle_read_byte(KoHandle* h)
{
    unsigned char b;
    return ko_handle_read(h, &b, 1) == 1 ? b : -1;
}

char* ko_handle_gets(char* buffer, int size, KoHandle* h)
{
    int n = 0;
    while (n < size - 1) {
        int c = ko_handle_getc(h);
        if (c < 0)
            break;
        buffer[n++] = static_cast<char>(c);
        if (c == 10)
            break;
    }
    if (size > 0)
        buffer[n] = 0;
    return n ? buffer : nullptr;
}

bool ko_handle_seek(KoHandle* h, int whence, std::int64_t offset)
{
    if (!h->ops->seek || !h->ops->tell)
        return false;
    if (whence == 2) {
        if ((h->flags & KO_HANDLE_F_DIRTY) && !ko_handle_flush(h))
            return false;
        bool ok = h->ops->seek(h->user, 2, offset);
        std::int64_t pos = h->ops->tell(h->user);
        h->pushed_back = -1;
        h->fill = h->cursor = 0;
        if (pos < 0) {
            h->position = 0;
            return false;
        }
        h->position = pos;
        return ok;
    }
    std::int64_t target = whence == 0 ? offset : h->position + h->cursor + offset;
    if (!(h->flags & KO_HANDLE_F_DIRTY) && target >= h->position && target <= h->position + h->fill) {
        h->cursor = static_cast<std::int32_t>(target - h->position);
        return true;
    }
    if ((h->flags & KO_HANDLE_F_DIRTY) && !ko_handle_flush(h))
        return false;
    if (!h->ops->seek(h->user, 0, target))
        return false;
    h->position = target;
    h->pushed_back = -1;
    h->fill = h->cursor = 0;
    return true;
}

std::int64_t ko_handle_tell(KoHandle* h) { return h->position + h->cursor; }
int ko_handle_descriptor(KoHandle* h) { return h->ops->descriptor ? h->ops->descriptor(h->user, nullptr, -1) : -1; }
const char* ko_handle_error_text(KoHandle* h, int code)
{
    return h->ops->error_text ? h->ops->error_text(h->user, code, "{unknown error}") : "{unknown error}";
}
long ko_handle_available(KoHandle* h)
{
    long buffered = (h->flags & KO_HANDLE_F_DIRTY) ? 0 : h->fill - h->cursor;
    if (!h->ops->available)
        return buffered;
    long n = h->ops->available(h->user);
    if (n < 0)
        return buffered ? buffered : n;
    return buffered + n;
}

int ko_handle_printf(KoHandle* h, const char* fmt, ...)
{
    for (std::size_t size = 1024; size <= 103424; size += 1024) {
        char* buf = static_cast<char*>(ko_malloc(size));
        if (!buf)
            return -1;
        va_list ap;
        va_start(ap, fmt);
        int n = ko_vsnprintf(buf, size, fmt, ap);
        va_end(ap);
        if (n < 1) {
            ko_free(buf);
            return -1;
        }
        if (std::size_t(n) < size) {
            long w = ko_handle_write(h, buf, n);
            ko_free(buf);
            return w < 0 ? -1 : static_cast<int>(w);
        }
        ko_free(buf);
    }
    return -1;
}

// ---- File handles -----------------------------------------------------------

namespace {
int fd_of(void* user) { return static_cast<int>(reinterpret_cast<std::intptr_t>(user)); }
int file_close(void* u) { return ::close(fd_of(u)); }
long file_read(void* u, void* b, std::size_t n) { return ::read(fd_of(u), b, n); }
long file_write(void* u, const void* b, std::size_t n) { return ::write(fd_of(u), b, n); }
bool file_seek(void* u, int whence, std::int64_t off)
{
    int w = whence == 1 ? SEEK_CUR : whence == 2 ? SEEK_END : SEEK_SET;
    return ::lseek(fd_of(u), off, w) >= 0;
}
std::int64_t file_tell(void* u) { return ::lseek(fd_of(u), 0, SEEK_CUR); }
int file_descriptor(void* u, void*, int) { return fd_of(u); }
long file_available(void* u)
{
    struct stat st;
    if (::fstat(fd_of(u), &st) != 0)
        return -1;
    long long left = static_cast<long long>(st.st_size) - ::lseek(fd_of(u), 0, SEEK_CUR);
    if (left < 0)
        left = 0;
    return left > INT_MAX ? INT_MAX : static_cast<long>(left);
}
const KoHandleOps kFileOps = {file_close, file_read, file_write, nullptr, file_seek, file_tell,
                              nullptr, nullptr, file_descriptor, nullptr, nullptr, file_available};
const KoHandleOps kStdOps = {nullptr, file_read, file_write, nullptr, nullptr, nullptr,
                             nullptr, nullptr, file_descriptor, nullptr, nullptr, nullptr};

struct MemoryFile {
    unsigned char* bytes;
    std::size_t length;
    std::size_t cursor;
    bool not_owned;
};
int mem_close(void* u)
{
    MemoryFile* m = static_cast<MemoryFile*>(u);
    if (!m->not_owned)
        ko_free(m->bytes);
    ko_free(m);
    return 0;
}
long mem_read(void* u, void* b, std::size_t n)
{
    MemoryFile* m = static_cast<MemoryFile*>(u);
    std::size_t k = m->length - m->cursor < n ? m->length - m->cursor : n;
    std::memcpy(b, m->bytes + m->cursor, k);
    m->cursor += k;
    return long(k);
}
bool mem_seek(void* u, int whence, std::int64_t off)
{
    MemoryFile* m = static_cast<MemoryFile*>(u);
    std::int64_t t = whence == 0 ? off : whence == 1 ? std::int64_t(m->cursor) + off : std::int64_t(m->length) + off;
    if (t < 0 || t > std::int64_t(m->length))
        return false;
    m->cursor = std::size_t(t);
    return true;
}
std::int64_t mem_tell(void* u) { return std::int64_t(static_cast<MemoryFile*>(u)->cursor); }
const KoHandleOps kMemoryOps = {mem_close, mem_read, nullptr, nullptr, mem_seek, mem_tell,
                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

KoHandle* g_std[3];
void release_std()
{
    for (KoHandle*& h : g_std) {
        if (h) {
            ko_handle_flush(h);
            ko_free(h->buffer);
            ko_free(h);
            h = nullptr;
        }
    }
}
void make_std()
{
    if (g_std[0])
        return;
    for (int i = 0; i < 3; ++i) {
        g_std[i] = ko_handle_create(&kStdOps, reinterpret_cast<void*>(std::intptr_t(i)));
        if (!g_std[i])
            std::abort();
        ko_handle_set_permanent(g_std[i]);
        ko_handle_set_line_flush(g_std[i], true);
    }
    ko_add_cleanup(release_std);
}
}

KoHandle* ko_file_open(const char* path, bool read, bool write, bool truncate)
{
    if (!read && !write)
        return nullptr;
    char* narrow = ko_utf8_to_8bit(reinterpret_cast<const unsigned char*>(path), std::strlen(path), 0, nullptr);
    if (!narrow)
        return nullptr;
    int flags = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    if (truncate && write)
        flags |= O_CREAT | O_TRUNC;
    int fd = ::open(narrow, flags | O_CLOEXEC, 0666);
    ko_free(narrow);
    if (fd < 0)
        return nullptr;
    KoHandle* h = ko_handle_create(&kFileOps, reinterpret_cast<void*>(std::intptr_t(fd)));
    if (!h)
        ::close(fd);
    return h;
}

KoHandle* ko_memory_open(void* bytes, std::size_t length, bool not_owned)
{
    MemoryFile* m = static_cast<MemoryFile*>(ko_calloc(1, sizeof(MemoryFile)));
    if (!m)
        return nullptr;
    m->bytes = static_cast<unsigned char*>(bytes);
    m->length = length;
    m->not_owned = not_owned;
    KoHandle* h = ko_handle_create(&kMemoryOps, m);
    if (!h)
        ko_free(m);
    return h;
}

KoHandle* ko_stdin() { make_std(); return g_std[0]; }
KoHandle* ko_stdout() { make_std(); return g_std[1]; }
KoHandle* ko_stderr() { make_std(); return g_std[2]; }

void ko_fatal(const char* fmt, ...)
{
    char msg[1024];
    va_list ap;
    va_start(ap, fmt);
    ko_vsnprintf(msg, sizeof msg, fmt, ap);
    va_end(ap);
    KoHandle* err = ko_stderr();
    if (g_std[1])
        ko_handle_flush(g_std[1]);
    ko_handle_printf(err, "*** FATAL: %s\n", msg);
    ko_handle_flush(err);
    std::abort();
}
