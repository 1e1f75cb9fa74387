// Decimal digits of doubles and floats as Java's Double.toString and
// Float.toString print them. Java's digit generation is not always the
// shortest one: integral values up to 2^62 print their exact digits (less a
// few insignificant ones past the type's precision), digits stop only when
// the remainder lies strictly inside half an ulp (a quarter below a power of
// two), and in the exponent form at least two digits are made.
#include "toolkit/javart/javart_natives.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Non-negative big integer, 32-bit words, least significant first.
struct Big {
    std::vector<std::uint32_t> w;

    explicit Big(std::uint64_t v = 0)
    {
        while (v) {
            w.push_back(static_cast<std::uint32_t>(v));
            v >>= 32;
        }
    }
    void trim()
    {
        while (!w.empty() && w.back() == 0)
            w.pop_back();
    }
    void mul(std::uint32_t k)
    {
        std::uint64_t carry = 0;
        for (std::uint32_t& x : w) {
            std::uint64_t t = std::uint64_t(x) * k + carry;
            x = static_cast<std::uint32_t>(t);
            carry = t >> 32;
        }
        if (carry)
            w.push_back(static_cast<std::uint32_t>(carry));
    }
    void shl(int n)
    {
        if (w.empty() || n <= 0)
            return;
        w.insert(w.begin(), std::size_t(n / 32), 0u);
        int r = n % 32;
        if (r) {
            std::uint32_t carry = 0;
            for (std::uint32_t& x : w) {
                std::uint32_t nx = (x << r) | carry;
                carry = x >> (32 - r);
                x = nx;
            }
            if (carry)
                w.push_back(carry);
        }
    }
    void mul_pow10(int n)
    {
        for (; n >= 9; n -= 9)
            mul(1000000000u);
        for (; n > 0; --n)
            mul(10);
    }
    void add(const Big& o)
    {
        if (w.size() < o.w.size())
            w.resize(o.w.size(), 0);
        std::uint64_t carry = 0;
        for (std::size_t i = 0; i < w.size(); ++i) {
            std::uint64_t t = std::uint64_t(w[i]) + (i < o.w.size() ? o.w[i] : 0) + carry;
            w[i] = static_cast<std::uint32_t>(t);
            carry = t >> 32;
        }
        if (carry)
            w.push_back(static_cast<std::uint32_t>(carry));
    }
    // Requires *this >= o.
    void sub(const Big& o)
    {
        std::int64_t borrow = 0;
        for (std::size_t i = 0; i < w.size(); ++i) {
            std::int64_t t = std::int64_t(w[i]) - (i < o.w.size() ? o.w[i] : 0) - borrow;
            borrow = t < 0;
            w[i] = static_cast<std::uint32_t>(t + (borrow ? (std::int64_t(1) << 32) : 0));
        }
        trim();
    }
};

int cmp(const Big& a, const Big& b)
{
    if (a.w.size() != b.w.size())
        return a.w.size() < b.w.size() ? -1 : 1;
    for (std::size_t i = a.w.size(); i-- > 0;)
        if (a.w[i] != b.w[i])
            return a.w[i] < b.w[i] ? -1 : 1;
    return 0;
}

// Increments the digit string; all nines become "1" and raise the exponent.
void round_up(char* digits, int* n, int* decpt)
{
    int i = *n - 1;
    while (i >= 0 && digits[i] == '9')
        --i;
    if (i < 0) {
        digits[0] = '1';
        *n = 1;
        ++*decpt;
        return;
    }
    ++digits[i];
    *n = i + 1;
}


// Bits of 5^i (none for i = 0), as the 64-bit digit loop below sizes its
// operands.
constexpr int kFiveBits[] = {0,  3,  5,  7,  10, 12, 14, 17, 19, 21, 24, 26, 28, 31,
                             33, 35, 38, 40, 42, 45, 47, 49, 52, 54, 56, 59, 61};
constexpr int kFiveBitsLen = int(sizeof kFiveBits / sizeof kFiveBits[0]);

std::int64_t wrap_mul(std::int64_t a, std::int64_t b)
{
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) * static_cast<std::uint64_t>(b));
}
std::int64_t wrap_add(std::int64_t a, std::int64_t b)
{
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}
std::int64_t wrap_shl(std::int64_t a, int n)
{
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) << n);
}
std::int64_t pow5(int n)
{
    std::int64_t p = 1;
    while (n-- > 0)
        p *= 5;
    return p;
}

// Java sizes a float's operands with its decimal exponent estimate and, when
// they fit in 64 bits, generates the digits in signed 64-bit arithmetic,
// overflow included: the margin times 10^n wraps for long digit strings
// (ending them early) and so can the doubled remainder (suppressing a round
// up). Returns -1 when Java takes the exact path instead.
int float_digits_64(std::uint64_t odd, int n_fract_bits, int bin_exp, int precision, char* digits, int* decpt)
{
    const int n_tiny = n_fract_bits - bin_exp - 1 > 0 ? n_fract_bits - bin_exp - 1 : 0;
    // Fraction in [1, 2) from the leading bit down.
    const double frac = std::ldexp(static_cast<double>(odd), -(n_fract_bits - 1));
    int dec_exp = static_cast<int>(
        std::floor((frac - 1.5) * 0.289529654 + 0.176091259 + bin_exp * 0.301029995663981));
    const int b5 = dec_exp < 0 ? -dec_exp : 0;
    int b2 = b5 + n_tiny + bin_exp;
    const int s5 = dec_exp > 0 ? dec_exp : 0;
    int s2 = s5 + n_tiny;
    const int m5 = b5;
    int m2 = b2 - precision;
    b2 -= n_fract_bits - 1;
    const int common = b2 < s2 ? b2 : s2;
    b2 -= common;
    s2 -= common;
    m2 -= common;
    if (n_fract_bits == 1)
        m2 -= 1;
    if (m2 < 0) {
        b2 -= m2;
        s2 -= m2;
        m2 = 0;
    }
    const int b_bits = n_fract_bits + b2 + (b5 < kFiveBitsLen ? kFiveBits[b5] : b5 * 3);
    const int ten_s_bits = s2 + 1 + (s5 + 1 < kFiveBitsLen ? kFiveBits[s5 + 1] : (s5 + 1) * 3);
    if (!(b_bits < 64 && ten_s_bits < 64) || (b_bits < 32 && ten_s_bits < 32))
        return -1;
    std::int64_t b = wrap_shl(wrap_mul(static_cast<std::int64_t>(odd), pow5(b5)), b2);
    const std::int64_t s = wrap_shl(pow5(s5), s2);
    std::int64_t m = wrap_shl(pow5(m5), m2);
    const std::int64_t tens = wrap_mul(s, 10);
    int n = 0;
    std::int64_t q = b / s;
    b = wrap_mul(b % s, 10);
    m = wrap_mul(m, 10);
    bool low = b < m;
    bool high = wrap_add(b, m) > tens;
    if (q == 0 && !high)
        --dec_exp;
    else
        digits[n++] = char('0' + q);
    if (dec_exp < -3 || dec_exp >= 8)
        low = high = false;
    while (!low && !high) {
        q = b / s;
        b = wrap_mul(b % s, 10);
        m = wrap_mul(m, 10);
        if (m > 0) {
            low = b < m;
            high = wrap_add(b, m) > tens;
        } else
            low = high = true;
        digits[n++] = char('0' + q);
    }
    const std::int64_t low_diff = wrap_add(wrap_shl(b, 1), -tens);
    *decpt = dec_exp + 1;
    if (high && (!low || low_diff > 0 || (low_diff == 0 && ((digits[n - 1] - '0') & 1))))
        round_up(digits, &n, decpt);
    digits[n] = 0;
    return n;
}

} // namespace

int ko_jvm_java_digits(std::uint64_t mant, int e2, int ulp_e2, int precision, char* digits, int* decpt)
{
    // The value is mant * 2^e2 (mant > 0); its ulp is 2^ulp_e2.
    if (mant == 0) {
        digits[0] = '0';
        *decpt = 1;
        return 1;
    }
    int tz = 0;
    while (!((mant >> tz) & 1))
        ++tz;
    int bin_exp = 63;
    while (!((mant >> bin_exp) & 1))
        --bin_exp;
    bin_exp += e2;
    if (e2 + tz >= 0 && bin_exp <= 62) {
        std::uint64_t v = (mant >> tz) << (e2 + tz);
        int insignificant = 0;
        int p2 = bin_exp - precision - 1;
        if (p2 > 1)
            insignificant = static_cast<int>(std::floor(p2 * 0.30102999566398120));
        if (insignificant > 0) {
            std::uint64_t p10 = 1;
            for (int i = 0; i < insignificant; ++i)
                p10 *= 10;
            const std::uint64_t residue = v % p10;
            v /= p10;
            if (residue >= p10 / 2)
                ++v;
        }
        char tmp[24];
        int n = 0;
        while (v) {
            tmp[n++] = char('0' + v % 10);
            v /= 10;
        }
        *decpt = n + insignificant;
        int len = 0;
        for (int i = n - 1; i >= 0; --i)
            digits[len++] = tmp[i];
        while (len > 1 && digits[len - 1] == '0')
            --len;
        digits[len] = 0;
        return len;
    }
    if (precision == 24) {
        int n_fract_bits = 0;
        while ((mant >> tz) >> n_fract_bits)
            ++n_fract_bits;
        const int n = float_digits_64(mant >> tz, n_fract_bits, bin_exp, precision, digits, decpt);
        if (n >= 0)
            return n;
    }
    // Scaled by 4 so that the half (or quarter) ulp is integral:
    // value = b / s, margin = m / s.
    Big b(mant), s(4), m(mant >> tz == 1 ? 1 : 2);
    b.shl(2);
    int me = ulp_e2;
    if (e2 >= 0)
        b.shl(e2);
    else
        s.shl(-e2);
    if (me >= 0)
        m.shl(me);
    else if (e2 < 0)
        m.shl(me - e2);
    int k = static_cast<int>(std::floor(std::log10(std::ldexp(static_cast<double>(mant), e2))));
    if (k >= 0)
        s.mul_pow10(k);
    else {
        b.mul_pow10(-k);
        m.mul_pow10(-k);
    }
    for (;;) {
        Big s10 = s;
        s10.mul(10);
        if (cmp(b, s10) >= 0) {
            s = s10;
            ++k;
        } else if (cmp(b, s) < 0) {
            b.mul(10);
            m.mul(10);
            --k;
        } else
            break;
    }
    *decpt = k + 1;
    const bool sci = *decpt - 1 < -3 || *decpt - 1 >= 7;
    int n = 0;
    bool low = false, high = false;
    for (bool first = true; first || (!low && !high); first = false) {
        int q = 0;
        while (cmp(b, s) >= 0) {
            b.sub(s);
            ++q;
        }
        digits[n++] = char('0' + q);
        Big bm = b;
        bm.add(m);
        low = cmp(b, m) < 0;
        high = cmp(bm, s) > 0;
        if (first && sci)
            low = high = false;
        if (!low && !high) {
            b.mul(10);
            m.mul(10);
        }
    }
    if (high) {
        Big b2 = b;
        b2.shl(1);
        int d = cmp(b2, s);
        if (!low || d > 0 || (d == 0 && ((digits[n - 1] - '0') & 1)))
            round_up(digits, &n, decpt);
    }
    digits[n] = 0;
    return n;
}
