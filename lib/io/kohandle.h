// Reference-counted, buffered byte streams over a table of operations, and
// the toolkit's fatal error.
#pragma once

#include <cstddef>
#include <cstdint>

struct KoHandle;
typedef int (*KoHandleCallback)(KoHandle* handle, void* data);

struct KoHandleOps {
    int (*close)(void* user);
    long (*read)(void* user, void* buffer, std::size_t count);
    long (*write)(void* user, const void* bytes, std::size_t count);
    int (*read_byte)(void* user, void* argument, const KoHandleOps* table);
    bool (*seek)(void* user, int whence, std::int64_t offset);
    std::int64_t (*tell)(void* user);
    int (*flush)(void* user);
    int (*sync)(void* user);
    int (*descriptor)(void* user, void* argument, int none);
    bool (*ready)(void* user, int direction, const KoHandleOps* table);
    const char* (*error_text)(void* user, int code, const char* fallback);
    long (*available)(void* user);
};

enum {
    KO_HANDLE_F_LINKED = 0x01,
    KO_HANDLE_F_PERMANENT = 0x02,
    KO_HANDLE_F_DIRTY = 0x04,
    KO_HANDLE_F_LINE_FLUSH = 0x08,
};

struct KoHandle {
    KoHandle* next;
    std::uint16_t refs;
    std::uint8_t flags;
    std::int32_t pushed_back;
    unsigned char* buffer;
    std::int32_t capacity;
    std::int32_t fill;
    std::int32_t cursor;
    std::int64_t position;
    const KoHandleOps* ops;
    void* user;
    KoHandleCallback read_cb;
    void* read_data;
    KoHandleCallback write_cb;
    void* write_data;
};

KoHandle* ko_handle_create(const KoHandleOps* ops, void* user);
KoHandle* ko_handle_ref(KoHandle* h);
void ko_handle_release(KoHandle* h);
void ko_handle_set_permanent(KoHandle* h);
void ko_handle_set_line_flush(KoHandle* h, bool on);
long ko_handle_read(KoHandle* h, void* buffer, std::size_t count);
long ko_handle_write(KoHandle* h, const void* bytes, std::size_t count);
bool ko_handle_flush(KoHandle* h);
int ko_handle_sync(KoHandle* h);
int ko_handle_getc(KoHandle* h);
int ko_handle_read_byte(KoHandle* h);
char* ko_handle_gets(char* buffer, int size, KoHandle* h);
bool ko_handle_seek(KoHandle* h, int whence, std::int64_t offset);
std::int64_t ko_handle_tell(KoHandle* h);
int ko_handle_descriptor(KoHandle* h);
const char* ko_handle_error_text(KoHandle* h, int code);
long ko_handle_available(KoHandle* h);
int ko_handle_printf(KoHandle* h, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

KoHandle* ko_file_open(const char* path, bool read, bool write, bool truncate);
KoHandle* ko_memory_open(void* bytes, std::size_t length, bool not_owned);
KoHandle* ko_stdin();
KoHandle* ko_stdout();
KoHandle* ko_stderr();

[[noreturn]] void ko_fatal(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
