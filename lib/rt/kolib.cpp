#include "lib/rt/kolib.h"

#include "lib/unicode/kounicode.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void* ko_malloc(std::size_t n) { return std::malloc(n ? n : 1); }
void* ko_calloc(std::size_t count, std::size_t size) { return std::calloc(count ? count : 1, size ? size : 1); }
void* ko_realloc(void* p, std::size_t, std::size_t n) { return std::realloc(p, n ? n : 1); }
void ko_free(void* p) { std::free(p); }

char* ko_strdup(const char* s) { return ko_strndup(s, std::strlen(s)); }
char* ko_strndup(const char* s, std::size_t n)
{
    char* d = static_cast<char*>(ko_malloc(n + 1));
    if (!d)
        return nullptr;
    std::memcpy(d, s, n);
    d[n] = 0;
    return d;
}
int ko_printf_uses_heap() { return 1; }
void ko_stream_hook(void*) {}

namespace {
struct Cleanups {
    void (*fn[64])();
    int count;
    bool registered;
} g_cleanups;
void run_at_exit() { ko_run_cleanups(); }
}

void ko_add_cleanup(void (*fn)())
{
    if (!g_cleanups.registered) {
        g_cleanups.registered = true;
        std::atexit(run_at_exit);
    }
    if (g_cleanups.count < 64)
        g_cleanups.fn[g_cleanups.count++] = fn;
}
void ko_run_cleanups()
{
    while (g_cleanups.count > 0)
        g_cleanups.fn[--g_cleanups.count]();
}

// ---- Byte buffer ----------------------------------------------------------

void ko_buffer_init(KoBuffer* b) { b->data = nullptr, b->capacity = 0, b->length = 0; }
void ko_buffer_release(KoBuffer* b)
{
    ko_free(b->data);
    ko_buffer_init(b);
}
unsigned char* ko_buffer_reserve(KoBuffer* b, std::size_t n)
{
    if (b->length + n > b->capacity) {
        std::size_t cap = b->capacity ? b->capacity : 1024;
        unsigned char* data = b->data;
        std::size_t have = b->capacity;
        if (!b->capacity) {
            data = static_cast<unsigned char*>(ko_realloc(data, have, cap));
            if (!data)
                return nullptr;
            b->data = data, b->capacity = have = cap;
        }
        while (b->length + n > cap) {
            if (cap > (SIZE_MAX >> 1))
                return nullptr;
            cap *= 2;
            data = static_cast<unsigned char*>(ko_realloc(b->data, have, cap));
            if (!data)
                return nullptr;
            b->data = data, b->capacity = have = cap;
        }
    }
    unsigned char* p = b->data + b->length;
    b->length += n;
    return p;
}
bool ko_buffer_append(KoBuffer* b, const void* bytes, std::size_t n)
{
    if (n == 0)
        n = std::strlen(static_cast<const char*>(bytes));
    unsigned char* p = ko_buffer_reserve(b, n);
    if (!p)
        return false;
    if (n)
        std::memcpy(p, bytes, n);
    return true;
}
void ko_buffer_drop(KoBuffer* b, std::size_t n) { b->length = n > b->length ? 0 : b->length - n; }
void ko_buffer_clear(KoBuffer* b) { b->length = 0; }
void ko_buffer_remove_front(KoBuffer* b, std::size_t n)
{
    if (n >= b->length) {
        b->length = 0;
        return;
    }
    std::memmove(b->data, b->data + n, b->length - n);
    b->length -= n;
}

// ---- Text and numbers -----------------------------------------------------

int ko_utf8_casecmp(const char* a, long alen, const char* b, long blen)
{
    std::size_t na = alen < 0 ? std::strlen(a) : std::size_t(alen);
    std::size_t nb = blen < 0 ? std::strlen(b) : std::size_t(blen);
    std::size_t ia = 0, ib = 0;
    while (ia < na && ib < nb) {
        int la = 0, lb = 0;
        std::int32_t ca = ko_utf8_decode(reinterpret_cast<const unsigned char*>(a) + ia, na - ia, &la);
        std::int32_t cb = ko_utf8_decode(reinterpret_cast<const unsigned char*>(b) + ib, nb - ib, &lb);
        ca = ko_unicode_to_case(ca, 0);
        cb = ko_unicode_to_case(cb, 0);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ia += la > 0 ? la : 1;
        ib += lb > 0 ? lb : 1;
    }
    if (ia < na)
        return 1;
    if (ib < nb)
        return -1;
    return 0;
}

namespace {
int digit_value(int c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

// Parses into a magnitude with saturation at limit; negative tells the sign.
const char* parse_integer(const char* s, int base, unsigned long long limit_pos, unsigned long long limit_neg,
                          unsigned long long* out, bool* neg, bool* any)
{
    const char* p = s;
    while (std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    *neg = false;
    if (*p == '+' || *p == '-')
        *neg = *p++ == '-';
    if ((base == 0 || base == 16) && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && digit_value(p[2]) < 16) {
        p += 2;
        base = 16;
    } else if (base == 0) {
        base = p[0] == '0' ? 8 : 10;
    }
    unsigned long long limit = *neg ? limit_neg : limit_pos;
    unsigned long long v = 0;
    bool sat = false;
    *any = false;
    while (digit_value(*p) < base) {
        *any = true;
        unsigned d = digit_value(*p++);
        if (!sat) {
            if (v > (limit - d) / unsigned(base))
                sat = true, v = limit;
            else
                v = v * base + d;
        }
    }
    *out = v;
    return p;
}
}

long long ko_strtoll(const char* s, char** end, int base)
{
    unsigned long long v;
    bool neg, any;
    const char* p = parse_integer(s, base, LLONG_MAX, 1ULL + LLONG_MAX, &v, &neg, &any);
    if (end)
        *end = const_cast<char*>(any ? p : s);
    return neg ? static_cast<long long>(0 - v) : static_cast<long long>(v);
}

std::int32_t ko_strtol(const char* s, char** end, int base)
{
    unsigned long long v;
    bool neg, any;
    const char* p = parse_integer(s, base, INT32_MAX, 1ULL + INT32_MAX, &v, &neg, &any);
    if (end)
        *end = const_cast<char*>(any ? p : s);
    return neg ? static_cast<std::int32_t>(0 - static_cast<std::uint32_t>(v)) : static_cast<std::int32_t>(v);
}

double ko_strtod(const char* s, char** end)
{
    // libc's conversion is correctly rounded; hexadecimal input is refused.
    const char* p = s;
    while (std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    if (*p == '+' || *p == '-')
        ++p;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        if (end)
            *end = const_cast<char*>(p + 1);
        return 0.0;
    }
    errno = 0;
    return std::strtod(s, end);
}

int ko_dtoa(double x, int mode, int ndigits, int* decpt, int* sign, char* buf)
{
    *sign = std::signbit(x) ? 1 : 0;
    x = std::fabs(x);
    if (std::isnan(x) || std::isinf(x)) {
        std::strcpy(buf, std::isnan(x) ? "NaN" : "Infinity");
        *decpt = 9999;
        return static_cast<int>(std::strlen(buf));
    }
    if (x == 0) {
        std::strcpy(buf, "0");
        *decpt = 1;
        return 1;
    }
    char tmp[420];
    if (mode == 3) {
        std::snprintf(tmp, sizeof tmp, "%.*e", 0, x);
        int e10 = std::atoi(std::strchr(tmp, 'e') + 1);
        int sig = e10 + 1 + ndigits;
        if (sig <= 0) {
            std::strcpy(buf, "0");
            *decpt = 1;
            return 1;
        }
        ndigits = sig > 400 ? 400 : sig;
        mode = 2;
    }
    int prec = 0;
    if (mode == 0) {
        for (prec = 1; prec <= 17; ++prec) {
            std::snprintf(tmp, sizeof tmp, "%.*e", prec - 1, x);
            if (std::strtod(tmp, nullptr) == x)
                break;
        }
    } else {
        prec = ndigits < 1 ? 1 : ndigits > 380 ? 380 : ndigits;
        std::snprintf(tmp, sizeof tmp, "%.*e", prec - 1, x);
    }
    int n = 0;
    const char* q = tmp;
    for (; *q && *q != 'e'; ++q)
        if (*q >= '0' && *q <= '9')
            buf[n++] = *q;
    *decpt = std::atoi(q + 1) + 1;
    while (n > 1 && buf[n - 1] == '0')
        --n;
    buf[n] = 0;
    return n;
}

// ---- Formatting -----------------------------------------------------------

namespace {
struct Out {
    char* buf;
    std::size_t size;
    std::size_t len;
    void put(const char* s, std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i, ++len)
            if (len + 1 < size)
                buf[len] = s[i];
    }
};
}

int ko_vsnprintf(char* buf, std::size_t size, const char* fmt, va_list ap)
{
    Out out{buf, size, 0};
    const char* p = fmt;
    while (*p) {
        if (*p != '%') {
            const char* q = std::strchr(p, '%');
            std::size_t n = q ? std::size_t(q - p) : std::strlen(p);
            out.put(p, n);
            p += n;
            continue;
        }
        const char* start = p++;
        char flags[8];
        int nflags = 0;
        while (*p && std::strchr("-+ #0", *p)) {
            if (nflags < 7)
                flags[nflags++] = *p;
            ++p;
        }
        flags[nflags] = 0;
        int width = -1, prec = -1;
        if (*p == '*') {
            width = va_arg(ap, int), ++p;
            if (width < 0) {
                width = -width;
                if (nflags < 7)
                    flags[nflags++] = '-', flags[nflags] = 0;
            }
        } else if (std::isdigit(static_cast<unsigned char>(*p))) {
            width = 0;
            while (std::isdigit(static_cast<unsigned char>(*p)))
                width = width * 10 + (*p++ - '0');
        }
        if (*p == '.') {
            ++p;
            prec = 0;
            if (*p == '*') {
                prec = va_arg(ap, int), ++p;
            } else {
                while (std::isdigit(static_cast<unsigned char>(*p)))
                    prec = prec * 10 + (*p++ - '0');
            }
        }
        int lng = 0; // 0 int, 1 long, 2 long long / intmax / ptrdiff / size, -1 short, 3 long double
        for (;;) {
            if (*p == 'h')
                lng = -1, ++p;
            else if (*p == 'l')
                lng = lng == 1 ? 2 : 1, ++p;
            else if (*p == 'j' || *p == 't' || *p == 'z' || *p == 'q')
                lng = 2, ++p;
            else if (*p == 'L')
                lng = 3, ++p;
            else
                break;
        }
        char conv = *p;
        if (!conv)
            break;
        ++p;
        char format[64];
        auto make = [&](const char* len, char c) {
            int n = std::snprintf(format, sizeof format, "%%%s", flags);
            if (width >= 0)
                n += std::snprintf(format + n, sizeof format - n, "%d", width);
            if (prec >= 0)
                n += std::snprintf(format + n, sizeof format - n, ".%d", prec);
            std::snprintf(format + n, sizeof format - n, "%s%c", len, c);
        };
        char small[512];
        char* tmp = small;
        int n = 0;
        switch (conv) {
        case 'd': case 'i': case 'D': {
            long long v = conv == 'D' ? va_arg(ap, long) : lng >= 2 ? va_arg(ap, long long) : lng == 1 ? va_arg(ap, long) : va_arg(ap, int);
            if (lng == -1 && conv != 'D')
                v = static_cast<short>(v);
            make("ll", 'd');
            n = std::snprintf(tmp, sizeof small, format, v);
            break;
        }
        case 'o': case 'O': case 'u': case 'U': case 'x': case 'X': {
            bool big = conv == 'O' || conv == 'U';
            unsigned long long v = big ? va_arg(ap, unsigned long)
                                       : lng >= 2 ? va_arg(ap, unsigned long long)
                                       : lng == 1 ? va_arg(ap, unsigned long) : va_arg(ap, unsigned);
            if (lng == -1 && !big)
                v = static_cast<unsigned short>(v);
            char c = conv == 'O' ? 'o' : conv == 'U' ? 'u' : conv;
            make("ll", c);
            n = std::snprintf(tmp, sizeof small, format, v);
            break;
        }
        case 'p': {
            void* v = va_arg(ap, void*);
            make("", 'p');
            n = std::snprintf(tmp, sizeof small, format, v);
            break;
        }
        case 'c': {
            int v = va_arg(ap, int);
            make("", 'c');
            n = std::snprintf(tmp, sizeof small, format, v);
            break;
        }
        case 's': {
            const char* v = va_arg(ap, const char*);
            if (!v)
                v = "(null)";
            make("", 's');
            int need = std::snprintf(nullptr, 0, format, v);
            if (need >= int(sizeof small))
                tmp = static_cast<char*>(std::malloc(need + 1));
            n = tmp ? std::snprintf(tmp, need + 1, format, v) : 0;
            break;
        }
        case 'n': {
            int* v = va_arg(ap, int*);
            if (v)
                *v = static_cast<int>(out.len);
            break;
        }
        case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': {
            double v = lng == 3 ? static_cast<double>(va_arg(ap, long double)) : va_arg(ap, double);
            if (std::isnan(v) || std::isinf(v)) {
                bool up = conv == 'E' || conv == 'F' || conv == 'G';
                const char* word = std::isnan(v) ? (up ? "NAN" : "nan") : (up ? "INF" : "inf");
                char w[8];
                int k = 0;
                if (std::signbit(v) && !std::isnan(v))
                    w[k++] = '-';
                else if (std::strchr(flags, '+'))
                    w[k++] = '+';
                else if (std::strchr(flags, ' '))
                    w[k++] = ' ';
                std::strcpy(w + k, word);
                prec = -1;
                char fl[8];
                int j = 0;
                for (int i = 0; flags[i]; ++i)
                    if (flags[i] == '-')
                        fl[j++] = '-';
                fl[j] = 0;
                std::strcpy(flags, fl);
                make("", 's');
                n = std::snprintf(tmp, sizeof small, format, w);
            } else {
                make("", conv);
                int need = std::snprintf(nullptr, 0, format, v);
                if (need >= int(sizeof small))
                    tmp = static_cast<char*>(std::malloc(need + 1));
                n = tmp ? std::snprintf(tmp, need + 1, format, v) : 0;
            }
            break;
        }
        default:
            // Unknown conversions (and "%%") print the character itself.
            (void)start;
            out.put(&conv, 1);
            continue;
        }
        if (tmp && n > 0)
            out.put(tmp, n);
        if (tmp != small)
            std::free(tmp);
    }
    if (size)
        buf[out.len < size ? out.len : size - 1] = 0;
    return static_cast<int>(out.len);
}

int ko_snprintf(char* buf, std::size_t size, const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int n = ko_vsnprintf(buf, size, fmt, ap);
    va_end(ap);
    return n;
}
