// The toolkit's runtime library: allocation, a growable byte buffer, string
// duplication, UTF-8 comparison, integer and decimal conversions and a
// bounded printf-style formatter.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// ---- Memory ---------------------------------------------------------------
void* ko_malloc(std::size_t n);
void* ko_calloc(std::size_t count, std::size_t size);
// A null pointer allocates anew; old_size is not used.
void* ko_realloc(void* p, std::size_t old_size, std::size_t n);
void ko_free(void* p);
char* ko_strdup(const char* s);
char* ko_strndup(const char* s, std::size_t n);
// 1: ko_handle_printf formats into a heap buffer grown by 1024 bytes.
int ko_printf_uses_heap();
void ko_stream_hook(void* stream);

// Process-wide clean-ups, run by ko_run_cleanups (and at exit).
void ko_add_cleanup(void (*fn)());
void ko_run_cleanups();

// ---- Byte buffer ------------------------------------------------------------
struct KoBuffer {
    unsigned char* data;
    std::size_t capacity;
    std::size_t length;
};
void ko_buffer_init(KoBuffer* b);
void ko_buffer_release(KoBuffer* b);
inline unsigned char* ko_buffer_data(KoBuffer* b) { return b->data; }
inline std::size_t ko_buffer_length(const KoBuffer* b) { return b->length; }
// n new bytes at the end (length grown by n), or null when memory is short.
unsigned char* ko_buffer_reserve(KoBuffer* b, std::size_t n);
// n = 0: the length of the NUL-terminated text.
bool ko_buffer_append(KoBuffer* b, const void* bytes, std::size_t n);
void ko_buffer_drop(KoBuffer* b, std::size_t n);
void ko_buffer_clear(KoBuffer* b);
void ko_buffer_remove_front(KoBuffer* b, std::size_t n);

// ---- Text and numbers -------------------------------------------------------
// Case-insensitive code-point comparison; a length of -1 means NUL-terminated.
int ko_utf8_casecmp(const char* a, long alen, const char* b, long blen);
long long ko_strtoll(const char* s, char** end, int base);
std::int32_t ko_strtol(const char* s, char** end, int base);
double ko_strtod(const char* s, char** end);
// Decimal digits of x: mode 0 shortest round-trip, mode 2 ndigits significant
// digits, mode 3 ndigits after the point. Writes the digits (NUL-terminated,
// no trailing zeros) into buf (at least 400 bytes) and returns their count.
int ko_dtoa(double x, int mode, int ndigits, int* decpt, int* sign, char* buf);

// ---- Formatting -------------------------------------------------------------
int ko_vsnprintf(char* buf, std::size_t size, const char* fmt, va_list ap);
int ko_snprintf(char* buf, std::size_t size, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
