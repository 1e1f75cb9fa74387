#include "common/container/xr_string.h"

#include <climits>
#include <cstring>
#include <cwchar>
#include <wchar.h>
#include <memory>
#include <new>

#include "common/container/xr_saturate.h"

namespace {

const TCHAR s_empty_text[1] = {0};

void widen(TCHAR* dst, const char* src, int n)
{
    for (int i = 0; i < n; ++i)
        dst[i] = static_cast<TCHAR>(static_cast<unsigned char>(src[i]));
}

bool is_separator(TCHAR c, const TCHAR* separators, int count)
{
    for (int i = 0; i < count; ++i)
        if (separators[i] == c)
            return true;
    return false;
}

// The byte <-> wide conversion buffer.
alignas(TCHAR) char s_conv_buf[XR_STATIC_CONV_BYTES];

TCHAR* conv_wide()
{
    return reinterpret_cast<TCHAR*>(s_conv_buf);
}

} // namespace

// ---------------------------------------------------------------------------
// Instances

XrString::XrStringInstance* XrString::XrStringInstance::create(const TCHAR* str, size_t alloc_extra, int str_l)
{
    if (str_l == -1)
        str_l = str != nullptr ? static_cast<int>(std::wcslen(str)) : 0;
    XR_ASSERT(str_l >= 0);
    size_t slots = static_cast<size_t>(str_l) + 1 + alloc_extra + 1;
    XR_ASSERT_MSG(alloc_extra < 65535 && slots < 65535, "str_l + 1 + alloc_extra < 65535");

    BYTE* block = new BYTE[sizeof(XrStringInstance) + slots * sizeof(TCHAR)]();
    XrStringInstance* inst = reinterpret_cast<XrStringInstance*>(block);
    inst->capacity = static_cast<std::uint16_t>(slots);
    inst->ref_count = 0;
    if (str != nullptr && str_l > 0)
        std::wmemcpy(inst->text(), str, static_cast<size_t>(str_l));
    return inst;
}

void XrString::XrStringInstance::destroy(XrStringInstance* inst)
{
    delete[] reinterpret_cast<BYTE*>(inst);
}

namespace {

using Instance = XrString::XrStringInstance;

// A new reference to inst; a private copy when its count is full.
Instance* share(Instance* inst)
{
    if (inst == nullptr)
        return nullptr;
    if (inst->ref_count >= XrString::max_shares) {
        Instance* copy = Instance::create(inst->text(), 0, -1);
        copy->ref_count = 1;
        return copy;
    }
    ++inst->ref_count;
    return inst;
}

void release(Instance* inst)
{
    if (inst == nullptr)
        return;
    if (inst->ref_count <= 1)
        Instance::destroy(inst);
    else
        --inst->ref_count;
}

} // namespace

// Takes the first reference of a new instance.
void XrString::attach(XrStringInstance* inst)
{
    ++inst->ref_count;
    m_inst = inst;
}

// Replaces the instance by a new one (not yet referenced).
void XrString::set_instance(XrStringInstance* inst)
{
    XrStringInstance* old = m_inst;
    m_inst = nullptr;
    if (inst != nullptr)
        attach(inst);
    release(old);
}

void XrString::make_private(size_t alloc_extra)
{
    if (m_inst != nullptr && m_inst->ref_count > 1)
        set_instance(XrStringInstance::create(m_inst->text(), alloc_extra, -1));
}

// Room for n more characters behind the current text of length cur (the
// instance is private afterwards). When a new instance is made, the old one
// is handed back through old, to be released once the caller has copied
// from it.
TCHAR* XrString::prepare_append(int cur, int n, XrStringInstance*& old)
{
    old = nullptr;
    // The spare slot is not for text: a string never exceeds max_length, so
    // that every string can still be copied.
    XR_ASSERT_MSG(cur + n <= max_length, "str_l + 1 + alloc_extra < 65535");
    if (m_inst->ref_count > 1 || cur + n + 1 > m_inst->capacity) {
        old = m_inst;
        m_inst = XrStringInstance::create(old->text(), static_cast<size_t>(n), cur);
        m_inst->ref_count = 1;
    }
    m_inst->text()[cur + n] = 0;
    return m_inst->text() + cur;
}

// ---------------------------------------------------------------------------
// Construction and assignment

XrString::XrString(const XrString& other) : m_inst(share(other.m_inst)) {}

XrString::XrString(const TCHAR* str, int len)
{
    if (str != nullptr && len != 0)
        attach(XrStringInstance::create(str, 0, len));
}

XrString::XrString(const char* str, int len)
{
    if (str == nullptr || len == 0)
        return;
    if (len < 0)
        len = static_cast<int>(std::strlen(str));
    attach(XrStringInstance::create(nullptr, static_cast<size_t>(len), 0));
    widen(m_inst->text(), str, len);
}

XrString::~XrString()
{
    release(m_inst);
}

XrString& XrString::operator=(const XrString& other)
{
    if (other.m_inst != m_inst) {
        XrStringInstance* inst = share(other.m_inst);
        release(m_inst);
        m_inst = inst;
    }
    return *this;
}

XrString& XrString::operator=(XrString&& other) noexcept
{
    if (this != &other) {
        release(m_inst);
        m_inst = other.m_inst;
        other.m_inst = nullptr;
    }
    return *this;
}

void XrString::assign(const TCHAR* str, int len)
{
    if (str == nullptr) {
        clear();
        return;
    }
    // The new text is made before the old instance goes: str may point into it.
    XrString tmp(str, len);
    *this = std::move(tmp);
}

XrString& XrString::operator=(const TCHAR* str)
{
    assign(str);
    return *this;
}

XrString& XrString::operator=(TCHAR c)
{
    set_instance(XrStringInstance::create(&c, 2, 1));
    return *this;
}

XrString& XrString::operator=(const char* str)
{
    XrString tmp(str);
    *this = std::move(tmp);
    return *this;
}

void XrString::assign_latin1(const char* str, int n)
{
    if (str == nullptr) {
        clear();
        return;
    }
    if (n < 0)
        n = static_cast<int>(std::strlen(str));
    XrStringInstance* inst = XrStringInstance::create(nullptr, static_cast<size_t>(n), 0);
    for (int i = 0; i < n && str[i] != 0; ++i)
        inst->text()[i] = static_cast<TCHAR>(static_cast<unsigned char>(str[i]));
    set_instance(inst);
}

void XrString::clear()
{
    release(m_inst);
    m_inst = nullptr;
}

// ---------------------------------------------------------------------------
// Reading

const TCHAR* XrString::c_str() const
{
    return m_inst != nullptr ? m_inst->text() : s_empty_text;
}

const TCHAR* XrString::c_str_at(int i) const
{
    if (m_inst == nullptr || i < 0 || i >= length())
        return s_empty_text;
    return m_inst->text() + i;
}

TCHAR XrString::char_at(int i) const
{
    if (m_inst == nullptr || i < 0 || i >= length())
        return 0;
    return m_inst->text()[i];
}

int XrString::length() const
{
    return m_inst != nullptr ? static_cast<int>(std::wcslen(m_inst->text())) : 0;
}

bool XrString::operator==(const XrString& other) const
{
    return m_inst == other.m_inst || std::wcscmp(c_str(), other.c_str()) == 0;
}

bool XrString::operator==(const TCHAR* str) const
{
    return std::wcscmp(c_str(), str != nullptr ? str : s_empty_text) == 0;
}

int XrString::find(const TCHAR* str) const
{
    if (m_inst == nullptr)
        return -1;
    const TCHAR* p = std::wcsstr(m_inst->text(), str);
    return p != nullptr ? static_cast<int>(p - m_inst->text()) : -1;
}

bool XrString::contains_char(TCHAR c, const TCHAR* set)
{
    return c != 0 && std::wcschr(set, c) != nullptr;
}

// ---------------------------------------------------------------------------
// Changing

void XrString::append(const TCHAR* s, int len)
{
    if (s == nullptr)
        return;
    int n = static_cast<int>(len < 0 ? std::wcslen(s) : ::wcsnlen(s, static_cast<size_t>(len)));
    if (n == 0)
        return;
    if (m_inst == nullptr) {
        attach(XrStringInstance::create(s, 0, n));
        return;
    }
    XrStringInstance* old;
    TCHAR* dst = prepare_append(length(), n, old);
    std::wmemmove(dst, s, static_cast<size_t>(n));
    release(old);
}

void XrString::append(const char* s, int n)
{
    if (s == nullptr)
        return;
    if (n < 0)
        n = static_cast<int>(std::strlen(s));
    if (n == 0)
        return;
    if (m_inst == nullptr) {
        attach(XrStringInstance::create(nullptr, static_cast<size_t>(n), 0));
        widen(m_inst->text(), s, n);
        return;
    }
    XrStringInstance* old;
    widen(prepare_append(length(), n, old), s, n);
    release(old);
}

XrString& XrString::operator+=(const TCHAR* s)
{
    append(s);
    return *this;
}

XrString& XrString::operator+=(const XrString& other)
{
    if (m_inst == nullptr)
        *this = other;
    else
        append(other.c_str(), other.length());
    return *this;
}

XrString& XrString::operator+=(TCHAR c)
{
    const TCHAR text[2] = {c, 0};
    append(text, -1);
    return *this;
}

void XrString::reserve(int n)
{
    if (n < 0)
        return;
    if (m_inst == nullptr) {
        attach(XrStringInstance::create(nullptr, static_cast<size_t>(n), 0));
        return;
    }
    make_private(static_cast<size_t>(n));
    int len = length();
    if (n + len + 1 > m_inst->capacity)
        set_instance(XrStringInstance::create(m_inst->text(), static_cast<size_t>(n + len + 1), len));
}

TCHAR XrString::remove_last_char()
{
    int len = length();
    if (len == 0)
        return 0;
    make_private(0);
    TCHAR c = m_inst->text()[len - 1];
    m_inst->text()[len - 1] = 0;
    return c;
}

bool XrString::truncate(int n)
{
    int len = length();
    if (n < 0 || n > len)
        return false;
    if (n < len) {
        make_private(0);
        m_inst->text()[n] = 0;
    }
    return true;
}

bool XrString::remove_head(int n)
{
    int len = length();
    if (n < 0 || n > len)
        return false;
    if (n > 0) {
        XrString rest(m_inst->text() + n);
        *this = std::move(rest);
    }
    return true;
}

int XrString::replace(const TCHAR* from, const TCHAR* to)
{
    int from_len = static_cast<int>(std::wcslen(from));
    int len = length();
    if (from_len == 0 || len < from_len)
        return 0;
    const TCHAR* text = m_inst->text();
    int to_len = static_cast<int>(std::wcslen(to));
    XrString result;
    int count = 0;
    int kept = 0; // start of the text not yet copied
    for (int i = 0; i <= len - from_len;) {
        if (std::wmemcmp(text + i, from, static_cast<size_t>(from_len)) == 0) {
            result.append(text + kept, i - kept);
            result.append(to, to_len);
            ++count;
            i += from_len;
            kept = i;
        } else {
            ++i;
        }
    }
    if (count > 0) {
        result.append(text + kept, len - kept);
        *this = std::move(result);
    }
    return count;
}

int XrString::trim_left(const TCHAR* set)
{
    int len = length();
    int n = 0;
    while (n < len && contains_char(m_inst->text()[n], set))
        ++n;
    if (n > 0) {
        make_private(0);
        std::wmemmove(m_inst->text(), m_inst->text() + n, static_cast<size_t>(len - n + 1));
    }
    return n;
}

int XrString::trim_right(const TCHAR* set)
{
    int len = length();
    int n = 0;
    while (n < len && contains_char(m_inst->text()[len - 1 - n], set))
        ++n;
    if (n > 0) {
        make_private(0);
        m_inst->text()[len - n] = 0;
    }
    return n;
}

int XrString::trim(const TCHAR* set)
{
    int n = trim_left(set);
    return n + trim_right(set);
}

void XrString::vformat(int max_len, const TCHAR* fmt, va_list args)
{
    if (max_len <= 0) {
        clear();
        return;
    }
    std::unique_ptr<TCHAR[]> buf(new TCHAR[static_cast<size_t>(max_len)]);
    buf[0] = 0;
    wide_vsnprintf(buf.get(), max_len, fmt, args);
    assign(buf.get());
}

void XrString::format(int max_len, const TCHAR* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    vformat(max_len, fmt, args);
    va_end(args);
}

TCHAR* XrString::split_at_separator(TCHAR** tail, const TCHAR* separators, int separator_count,
                                    int max_index) const
{
    const TCHAR* text = c_str();
    int len = length();
    int limit = max_index == -1 ? len / 2 : max_index;
    if (limit < 0)
        limit = 0;
    if (limit > len)
        limit = len;

    int split = -1;
    for (int i = 0; i < len; ++i) {
        if (!is_separator(text[i], separators, separator_count))
            continue;
        if (i > limit)
            break;
        split = i + 1;
    }
    if (split < 0)
        split = limit;

    TCHAR* head = wide_strdup(text);
    if (split >= len) {
        if (tail != nullptr)
            *tail = nullptr;
    } else {
        if (tail != nullptr)
            *tail = wide_strdup(text + split);
        head[split] = 0;
    }
    return head;
}

// ---------------------------------------------------------------------------
// Free operators

XrString operator+(const XrString& a, const XrString& b)
{
    // An empty operand, null or not, shares the other's instance.
    if (a.is_empty())
        return b;
    XrString r(a);
    r += b;
    return r;
}

XrString operator+(const XrString& a, const TCHAR* b)
{
    XrString r(a);
    r.append(b);
    return r;
}

XrString operator+(const XrString& a, const char* b)
{
    XrString r(a);
    r.append(b);
    return r;
}

// ---------------------------------------------------------------------------
// Wide text functions

int wide_strcmp(const TCHAR* a, const TCHAR* b)
{
    return wide_strncmp(a, b, INT_MAX);
}

int wide_strncmp(const TCHAR* a, const TCHAR* b, int n)
{
    for (int i = 0; i < n; ++i) {
        if (a[i] != b[i])
            return xr_saturate_int(static_cast<long long>(a[i]) - b[i]);
        if (a[i] == 0)
            break;
    }
    return 0;
}

int narrow_strcmp_folded(const char* a, const char* b)
{
    return narrow_strncmp_folded(a, b, INT_MAX);
}

int narrow_strncmp_folded(const char* a, const char* b, int n)
{
    for (int i = 0; i < n; ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if (ca != cb)
            return sort_fold_char(ca) - sort_fold_char(cb);
        if (ca == 0)
            break;
    }
    return 0;
}

int sort_fold_char(TCHAR c)
{
    // Only Latin-1 letters fold; a wider character keeps its value, so it
    // never compares equal to a Latin-1 one.
    if (c < 0 || c > 0xFF)
        return c;
    switch (c) {
    case 0xC5: return 91;  // Å
    case 0xC4: return 92;  // Ä
    case 0xD6: return 93;  // Ö
    case 0xC6: return 94;  // Æ
    case 0xD8: return 95;  // Ø
    case 0xE5: return 123; // å
    case 0xE4: return 124; // ä
    case 0xF6: return 125; // ö
    case 0xE6: return 126; // æ
    case 0xF8: return 127; // ø
    case 0xB0: return 129; // °
    case 0xDD: return 'Y';
    case 0xFD:
    case 0xFF: return 'y';
    default: break;
    }
    struct Range {
        TCHAR first, last, base;
    };
    static const Range ranges[] = {
        {0xC0, 0xC3, 'A'}, {0xC8, 0xCB, 'E'}, {0xCC, 0xCF, 'I'}, {0xD2, 0xD5, 'O'}, {0xD9, 0xDC, 'U'},
        {0xE0, 0xE3, 'a'}, {0xE8, 0xEB, 'e'}, {0xEC, 0xEF, 'i'}, {0xF2, 0xF5, 'o'}, {0xF9, 0xFC, 'u'},
    };
    for (const Range& r : ranges)
        if (c >= r.first && c <= r.last)
            return r.base;
    return c;
}

const TCHAR* wide_strchr(const TCHAR* s, TCHAR c)
{
    return std::wcschr(s, c);
}

const TCHAR* wide_strrchr(const TCHAR* s, TCHAR c)
{
    return std::wcsrchr(s, c);
}

const TCHAR* wide_strstr(const TCHAR* s, const TCHAR* find)
{
    return std::wcsstr(s, find);
}

const TCHAR* wide_strrstr(const TCHAR* s, const TCHAR* find)
{
    const TCHAR* last = nullptr;
    for (const TCHAR* p = std::wcsstr(s, find); p != nullptr; p = std::wcsstr(p + 1, find)) {
        last = p;
        if (*p == 0)
            break;
    }
    return last;
}

const TCHAR* wide_strpbrk(const TCHAR* s, const TCHAR* set)
{
    return std::wcspbrk(s, set);
}

TCHAR* wide_strdup(const TCHAR* s)
{
    if (s == nullptr)
        return nullptr;
    size_t n = std::wcslen(s) + 1;
    TCHAR* copy = new TCHAR[n];
    std::wmemcpy(copy, s, n);
    return copy;
}

BYTE* memdup(const void* data, int n)
{
    if (data == nullptr || n < 0)
        return nullptr;
    BYTE* copy = new BYTE[n > 0 ? static_cast<size_t>(n) : 1];
    std::memcpy(copy, data, static_cast<size_t>(n));
    return copy;
}

bool is_digit(TCHAR c)
{
    return c >= L'0' && c <= L'9';
}

bool is_hex_digit(TCHAR c)
{
    return is_digit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

bool is_space(TCHAR c)
{
    return (c >= 8 && c <= 13) || c == 32;
}

bool hex_digit_value(TCHAR c, int& value)
{
    if (is_digit(c))
        value = c - L'0';
    else if (c >= L'a' && c <= L'f')
        value = c - L'a' + 10;
    else if (c >= L'A' && c <= L'F')
        value = c - L'A' + 10;
    else
        return false;
    return true;
}

unsigned int parse_hex(const TCHAR* s)
{
    if (s[0] == L'0' && (s[1] == L'x' || s[1] == L'X'))
        s += 2;
    unsigned int v = 0;
    int d;
    for (; hex_digit_value(*s, d); ++s)
        v = (v << 4) | static_cast<unsigned int>(d);
    return v;
}

int wide_atoi(const TCHAR* s)
{
    return wide_atoi_n(s, -1);
}

int wide_atoi_n(const TCHAR* s, int n)
{
    size_t limit = n < 0 ? SIZE_MAX : static_cast<size_t>(n);
    size_t i = 0;
    bool neg = false;
    if (i < limit && s[i] == L'-') {
        neg = true;
        ++i;
    }
    // Saturates instead of overflowing.
    long long max = neg ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long v = 0;
    for (; i < limit && is_digit(s[i]); ++i) {
        v = v * 10 + (s[i] - L'0');
        if (v > max)
            v = max;
    }
    return static_cast<int>(neg ? -v : v);
}

double wide_atof(const TCHAR* s)
{
    bool neg = false;
    if (*s == L'-') {
        neg = true;
        ++s;
    }
    // Digits are gathered into an integer mantissa and scaled once, so that
    // short decimal texts convert exactly.
    double mantissa = 0;
    int frac_digits = 0;
    for (; is_digit(*s); ++s)
        mantissa = mantissa * 10 + (*s - L'0');
    // Fraction digits beyond double precision change nothing; skipping them
    // keeps the scale finite (a long fraction would otherwise give inf/inf).
    if (*s == L'.')
        for (++s; is_digit(*s); ++s) {
            if (mantissa >= 1e18)
                continue;
            mantissa = mantissa * 10 + (*s - L'0');
            ++frac_digits;
        }
    double scale = 1;
    for (int i = 0; i < frac_digits; ++i)
        scale *= 10;
    double v = mantissa / scale;
    return neg ? -v : v;
}

int wide_vsnprintf(TCHAR* buf, int size, const TCHAR* fmt, va_list args)
{
    if (size <= 0)
        return 0;
    // Each conversion grows by at most one character ("%s" -> "%ls").
    size_t fmt_len = std::wcslen(fmt);
    TCHAR local[256];
    std::unique_ptr<TCHAR[]> heap;
    TCHAR* wfmt = local;
    if (2 * fmt_len + 1 > sizeof(local) / sizeof(local[0])) {
        heap.reset(new (std::nothrow) TCHAR[2 * fmt_len + 1]);
        if (!heap) {
            buf[0] = 0;
            return -1;
        }
        wfmt = heap.get();
    }

    size_t o = 0;
    for (size_t i = 0; i < fmt_len;) {
        TCHAR c = fmt[i++];
        wfmt[o++] = c;
        if (c != L'%')
            continue;
        while (i < fmt_len && (is_digit(fmt[i]) || fmt[i] == L'.' || fmt[i] == L'*' || fmt[i] == L'-' ||
                               fmt[i] == L' '))
            wfmt[o++] = fmt[i++];
        if (i < fmt_len) {
            if (fmt[i] == L's')
                wfmt[o++] = L'l';
            wfmt[o++] = fmt[i++];
        }
    }
    wfmt[o] = 0;

    buf[size - 1] = 0;
    int r = std::vswprintf(buf, static_cast<size_t>(size), wfmt, args);
    buf[size - 1] = 0;
    return r;
}

int wide_snprintf(TCHAR* buf, int size, const TCHAR* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    int r = wide_vsnprintf(buf, size, fmt, args);
    va_end(args);
    return r;
}

// ---------------------------------------------------------------------------
// Static-buffer conversions

TCHAR* narrow_to_wide_static(const char* s)
{
    TCHAR* w = conv_wide();
    int n = 0;
    if (s != nullptr)
        while (n < XR_STATIC_CONV_CHARS - 1 && s[n] != 0)
            ++n;
    widen(w, s, n);
    w[n] = 0;
    return w;
}

TCHAR* narrow_to_wide_n(const char* s, int n)
{
    TCHAR* w = conv_wide();
    if (s == nullptr || n < 0)
        n = 0;
    if (n > XR_STATIC_CONV_CHARS - 1)
        n = XR_STATIC_CONV_CHARS - 1;
    widen(w, s, n);
    w[n] = 0;
    return w;
}

char* wide_to_narrow_static(const TCHAR* s)
{
    int n = 0;
    if (s != nullptr)
        for (; n < XR_STATIC_CONV_BYTES - 1 && (s[n] & 0xFF) != 0; ++n)
            s_conv_buf[n] = static_cast<char>(s[n] & 0xFF);
    s_conv_buf[n] = 0;
    return s_conv_buf;
}

// ---------------------------------------------------------------------------
// Multi-language texts

namespace {

constexpr int LANG_ARA = 'a' | ('r' << 8) | ('a' << 16);
constexpr TCHAR MARK_RTL_EMBEDDING = 0x202B;
constexpr TCHAR MARK_LTR_EMBEDDING = 0x202A;
constexpr TCHAR MARK_POP_DIRECTIONAL = 0x202C;

// Up to three characters of [p, end), first in the low byte.
int pack_language(const TCHAR* p, const TCHAR* end)
{
    int code = 0;
    for (int i = 0; i < 3 && p + i < end; ++i)
        code |= (p[i] & 0xFF) << (8 * i);
    return code;
}

const TCHAR* find_char(const TCHAR* p, const TCHAR* end, TCHAR c)
{
    while (p < end && *p != c)
        ++p;
    return p;
}

} // namespace

void select_language_variant(TCHAR*& text, TCHAR separator, int wanted_language, int* found_language)
{
    if (found_language != nullptr)
        *found_language = 0;
    if (text == nullptr || separator == 0)
        return;
    TCHAR* const end = text + std::wcslen(text);
    if (find_char(text, end, separator) == end)
        return;

    // Alternatives end at the doubled separator.
    const TCHAR* alt_end = end;
    for (const TCHAR* p = text; p + 1 < end; ++p)
        if (p[0] == separator && p[1] == separator) {
            alt_end = p;
            break;
        }

    const TCHAR* code_at = text;
    const TCHAR* sep = find_char(code_at, alt_end, separator);
    if (sep == alt_end)
        return; // no alternative in front of the doubled separator

    const TCHAR* first_start = nullptr;
    const TCHAR* first_end = nullptr;
    int first_code = 0;
    const TCHAR* take_start = nullptr;
    const TCHAR* take_end = nullptr;
    int take_code = 0;
    for (;;) {
        int code = pack_language(code_at, sep);
        const TCHAR* alt = sep + 1;
        const TCHAR* alt_stop = find_char(alt, alt_end, separator);
        if (first_start == nullptr) {
            first_start = alt;
            first_end = alt_stop;
            first_code = code;
        }
        if (wanted_language == 0 || code == wanted_language) {
            take_start = alt;
            take_end = alt_stop;
            take_code = code;
            break;
        }
        if (alt_stop >= alt_end)
            break; // no alternative left
        // The next one: three letters and a separator right behind this one.
        code_at = alt_stop + 1;
        if (alt_end - code_at < 4 || code_at[3] != separator ||
            find_char(code_at, code_at + 3, separator) != code_at + 3)
            return; // malformed
        sep = code_at + 3;
    }
    if (take_start == nullptr) {
        take_start = first_start;
        take_end = first_end;
        take_code = first_code;
    }

    // Build [mark] text [pop mark] common into a copy, then back in place.
    size_t text_len = static_cast<size_t>(end - text);
    std::unique_ptr<TCHAR[]> out(new TCHAR[text_len + 3]);
    size_t o = 0;
    if (take_code != 0)
        out[o++] = take_code == LANG_ARA ? MARK_RTL_EMBEDDING : MARK_LTR_EMBEDDING;
    for (const TCHAR* p = take_start; p < take_end; ++p)
        out[o++] = *p;
    if (alt_end != end) {
        if (take_code != 0)
            out[o++] = MARK_POP_DIRECTIONAL;
        for (const TCHAR* p = alt_end + 2; p < end; ++p)
            out[o++] = *p;
    }
    // The result never outgrows the text: the code and its separator (and the
    // doubled separator) make room for the marks.
    if (o > text_len)
        return;
    std::wmemcpy(text, out.get(), o);
    text[o] = 0;
    if (found_language != nullptr)
        *found_language = take_code;
}
