#include "lib/unicode/kounicode.h"

#include "lib/io/kohandle.h"
#include "lib/rt/kolib.h"
#include "lib/unicode/kounicode_tables.h"

#include <cstring>

namespace {

// Binary search of a table sorted by key(row); null when c is not there.
template <class Row, class Key>
const Row* find_exact(const Row* rows, int count, std::int32_t c, Key key)
{
    int lo = 0, hi = count;
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (key(rows[mid]) == c)
            return &rows[mid];
        if (key(rows[mid]) < c)
            lo = mid + 1;
        else
            hi = mid;
    }
    return nullptr;
}

// Binary search of sorted, disjoint [first, last] rows; null when no row holds c.
template <class Row>
const Row* find_range(const Row* rows, int count, std::int32_t c)
{
    int lo = 0, hi = count;
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (rows[mid].first > c)
            hi = mid;
        else if (rows[mid].last < c)
            lo = mid + 1;
        else
            return &rows[mid];
    }
    return nullptr;
}

constexpr auto single_from = [](const auto& s) { return s.from; };

} // namespace

std::int32_t ko_unicode_to_case(std::int32_t c, int mapping)
{
    const KoCaseTables& t = mapping ? ko_unicode_upper_tables : ko_unicode_lower_tables;
    if (c < 0x10000) {
        if (const KoCaseSingle16* s = find_exact(t.bmp_singles, t.bmp_single_count, c, single_from))
            return s->to;
        if (const KoCaseRange16* r = find_range(t.bmp_ranges, t.bmp_range_count, c))
            return static_cast<std::uint16_t>(c + r->delta);
        return c;
    }
    if (const KoCaseSingle32* s = find_exact(t.sup_singles, t.sup_single_count, c, single_from))
        return s->to;
    if (const KoCaseRange32* r = find_range(t.sup_ranges, t.sup_range_count, c))
        return c + r->delta;
    return c;
}

bool ko_unicode_in_category(std::int32_t c, int category)
{
    if (category >= 30 || category < 0)
        ko_fatal("%s:%d: Unreachable code reached", "lib/unicode/kounicode_ucd_general", 1006);
    if (category == 0 || c < 0 || c > 0xFFFF)
        return false;
    const KoCategoryTable& t = ko_unicode_categories[category];
    return find_exact(t.singles, t.single_count, c, [](std::uint16_t v) { return v; })
        || find_range(t.ranges, t.range_count, c);
}

int ko_unicode_category(std::int32_t c)
{
    for (int k = 1; k < 30; ++k)
        if (ko_unicode_in_category(c, k))
            return k;
    return 0;
}

int ko_unicode_numeric_value(std::int32_t c)
{
    const KoNumericRow* r = find_range(ko_unicode_numeric, ko_unicode_numeric_count, c);
    if (!r)
        return -1;
    if (r->value == -2)
        return -2;
    if (r->value < 0)
        return -r->value;
    return r->value + (c - r->first);
}

std::int32_t ko_utf8_decode(const unsigned char* b, std::size_t length, int* seq_len)
{
    if (length == 0) {
        if (seq_len)
            *seq_len = 0;
        return 0;
    }
    unsigned lead = b[0];
    int n = lead < 0x80 ? 1 : lead < 0xC0 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : lead < 0xFC ? 5 : lead < 0xFE ? 6 : 0;
    std::int32_t c = n <= 1 ? (n == 1 ? lead : lead & 0x3F) : static_cast<std::int32_t>(lead & (0xFFu >> (n + 1)));
    for (int i = 1; i < n && std::size_t(i) < length; ++i)
        c = (c << 6) | (b[i] & 0x3F);
    if (seq_len)
        *seq_len = n;
    return c;
}

bool ko_utf8_check(const unsigned char* b, std::size_t length, std::int32_t max_cp, std::size_t* count)
{
    std::size_t i = 0, n = 0;
    while (i < length) {
        unsigned lead = b[i];
        if (lead == 0xFE || lead == 0xFF || (lead & 0xC0) == 0x80)
            return false;
        int len = 0;
        std::int32_t c = ko_utf8_decode(b + i, length - i, &len);
        if (len == 0 || std::size_t(len) > length - i)
            return false;
        for (int k = 1; k < len; ++k)
            if ((b[i + k] & 0xC0) != 0x80)
                return false;
        if (max_cp && c > max_cp)
            return false;
        i += len;
        ++n;
    }
    if (count)
        *count = n;
    return true;
}

int ko_utf8_encode(std::int32_t c, unsigned char* buf, std::size_t capacity)
{
    if (c < 0)
        return 0;
    int n = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : c < 0x200000 ? 4 : c < 0x4000000 ? 5 : 6;
    if (std::size_t(n) > capacity)
        return 0;
    if (n == 1) {
        buf[0] = static_cast<unsigned char>(c);
        return 1;
    }
    static const unsigned char marks[7] = {0, 0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
    for (int i = n - 1; i > 0; --i) {
        buf[i] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        c >>= 6;
    }
    buf[0] = static_cast<unsigned char>(marks[n] | c);
    return n;
}

bool ko_utf8_append(KoBuffer* buffer, std::int32_t c)
{
    unsigned char tmp[6];
    int n = ko_utf8_encode(c, tmp, sizeof tmp);
    return n > 0 && ko_buffer_append(buffer, tmp, n);
}

char* ko_utf8_to_8bit(const unsigned char* b, std::size_t length, char substitute, std::size_t* count)
{
    std::size_t n = 0;
    if (!ko_utf8_check(b, length, 0, &n))
        return nullptr;
    char* out = static_cast<char*>(ko_malloc(n + 1));
    if (!out)
        return nullptr;
    std::size_t i = 0, k = 0;
    while (i < length) {
        int len = 0;
        std::int32_t c = ko_utf8_decode(b + i, length - i, &len);
        out[k++] = c < 256 ? static_cast<char>(c) : substitute;
        i += len;
    }
    out[k] = 0;
    if (count)
        *count = n;
    return out;
}

double ko_double_from_int(std::int64_t i) { return static_cast<double>(i); }
float ko_float_from_int(std::int32_t i) { return static_cast<float>(i); }
namespace {
volatile double g_zero = 0.0;
volatile float g_fzero = 0.0f;
}
double ko_double_positive_infinity() { return 1.0 / g_zero; }
double ko_double_negative_infinity() { return -1.0 / g_zero; }
double ko_double_nan() { return g_zero / g_zero; }
float ko_float_positive_infinity() { return 1.0f / g_fzero; }
float ko_float_negative_infinity() { return -1.0f / g_fzero; }
float ko_float_nan() { return g_fzero / g_fzero; }
bool ko_double_is_nan(double x) { return x != x; }
bool ko_double_is_infinite(double x) { return x == ko_double_positive_infinity() || x == ko_double_negative_infinity(); }
bool ko_float_is_nan(float x) { return x != x; }
bool ko_float_is_infinite(float x) { return x == ko_float_positive_infinity() || x == ko_float_negative_infinity(); }

namespace {
// IEEE encoding by arithmetic alone: bias, exponent limits, fraction bits.
std::uint64_t encode(long double x, int bias, int emax, int emin, int fbits)
{
    int ebits = bias == 1023 ? 11 : 8;
    std::uint64_t sign = 0;
    if (x < 0)
        sign = 1, x = -x;
    std::uint64_t e = 0, frac = 0;
    if (x == 0) {
        // zero
    } else if (x >= 1) {
        int k = 0;
        while (x >= 2 && k < emax)
            x /= 2, ++k;
        if (x >= 2) {
            e = (1u << ebits) - 1;
        } else {
            e = k + bias;
            x -= 1;
            for (int i = 0; i < fbits; ++i) {
                x *= 2;
                frac <<= 1;
                if (x >= 1)
                    frac |= 1, x -= 1;
            }
        }
    } else {
        int k = 0;
        while (x < 1 && k > emin)
            x *= 2, --k;
        bool subnormal = x < 1;
        if (subnormal) {
            e = 0;
        } else {
            e = k + bias;
            x -= 1;
        }
        for (int i = 0; i < fbits; ++i) {
            x *= 2;
            frac <<= 1;
            if (x >= 1)
                frac |= 1, x -= 1;
        }
    }
    return (sign << (ebits + fbits)) | (e << fbits) | frac;
}

long double decode(std::uint64_t bits, int bias, int ebits, int fbits)
{
    bool neg = (bits >> (ebits + fbits)) & 1;
    int e = static_cast<int>((bits >> fbits) & ((1u << ebits) - 1));
    std::uint64_t frac = bits & ((1ull << fbits) - 1);
    long double v;
    if (e == (1 << ebits) - 1) {
        if (frac)
            return ko_double_nan();
        v = ko_double_positive_infinity();
        return neg ? -v : v;
    }
    v = 0;
    for (int i = 0; i < fbits; ++i) {
        if (frac & (1ull << i))
            v += 1;
        v /= 2;
    }
    int exp = e ? e - bias : 1 - bias;
    if (e)
        v += 1;
    while (exp > 0)
        v *= 2, --exp;
    while (exp < 0)
        v /= 2, ++exp;
    return neg ? -v : v;
}
}

void ko_double_to_bytes(double x, unsigned char out[8])
{
    if (ko_double_is_nan(x)) {
        std::memset(out, 0xFF, 8);
        return;
    }
    std::uint64_t b = encode(x, 1023, 1023, -1022, 52);
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<unsigned char>(b >> (56 - 8 * i));
}
double ko_double_from_bytes(const unsigned char in[8])
{
    std::uint64_t b = 0;
    for (int i = 0; i < 8; ++i)
        b = (b << 8) | in[i];
    return static_cast<double>(decode(b, 1023, 11, 52));
}
void ko_float_to_bytes(float x, unsigned char out[4])
{
    if (ko_float_is_nan(x)) {
        std::memset(out, 0xFF, 4);
        return;
    }
    std::uint64_t b = encode(x, 127, 127, -126, 23);
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<unsigned char>(b >> (24 - 8 * i));
}
float ko_float_from_bytes(const unsigned char in[4])
{
    std::uint64_t b = 0;
    for (int i = 0; i < 4; ++i)
        b = (b << 8) | in[i];
    return static_cast<float>(decode(b, 127, 8, 23));
}
