#include "common/ber/xr_berrecord.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

#include "common/container/xr_bytearray.h"
#include "common/container/xr_string.h"
#include "common/misc/xr_utf8.h"
#include "common/types/xr_datetime.h"

namespace {

// Longest tag / length encodings: 1 + 4 groups of 7 bits; 1 + 4 octets.
constexpr int max_tag_octets = 5;
constexpr int max_length_octets = 5;
constexpr std::uint32_t max_tag_number = (1u << 28) - 1;

// Days since 1970-01-01 of a proleptic Gregorian date.
long long days_from_civil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

// The value of n decimal digits; -1 when one is not a digit.
int digits(const BYTE* p, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return -1;
        v = v * 10 + (p[i] - '0');
    }
    return v;
}

bool leap_year(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int days_in_month(int y, int m)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap_year(y) ? 29 : days[m - 1];
}

} // namespace

// ------------------------------------------------------------ octet helpers

int ber_tag_size(std::uint32_t number)
{
    if (number < 31)
        return 1;
    int n = 1;
    do {
        ++n;
        number >>= 7;
    } while (number != 0);
    return n;
}

int ber_encode_tag(int cls, bool constructed, std::uint32_t number, BYTE* out)
{
    const BYTE lead = static_cast<BYTE>(((cls & 3) << 6) | (constructed ? 0x20 : 0));
    if (number < 31) {
        out[0] = static_cast<BYTE>(lead | number);
        return 1;
    }
    const int size = ber_tag_size(number);
    out[0] = static_cast<BYTE>(lead | 31);
    for (int i = size - 1; i >= 1; --i) {
        out[i] = static_cast<BYTE>((number & 0x7F) | (i == size - 1 ? 0 : 0x80));
        number >>= 7;
    }
    return size;
}

int ber_decode_tag(const BYTE* p, std::uint32_t avail, int* cls, bool* constructed, std::uint32_t* number)
{
    if (avail < 1)
        return -1;
    std::uint32_t n = p[0] & 31;
    std::uint32_t used = 1;
    if (n == 31) {
        n = 0;
        for (;;) {
            if (used >= avail || used >= max_tag_octets)
                return -1;
            const BYTE b = p[used++];
            if (n > (max_tag_number >> 7))
                return -1;
            n = (n << 7) | (b & 0x7F);
            if ((b & 0x80) == 0)
                break;
        }
    }
    *cls = p[0] >> 6;
    *constructed = (p[0] & 0x20) != 0;
    *number = n;
    return static_cast<int>(used);
}

int ber_length_size(std::uint32_t length)
{
    if (length < 128)
        return 1;
    int n = 1;
    while (length != 0) {
        ++n;
        length >>= 8;
    }
    return n;
}

int ber_encode_length(std::uint32_t length, BYTE* out)
{
    if (length < 128) {
        out[0] = static_cast<BYTE>(length);
        return 1;
    }
    const int size = ber_length_size(length);
    out[0] = static_cast<BYTE>(0x80 | (size - 1));
    for (int i = size - 1; i >= 1; --i) {
        out[i] = static_cast<BYTE>(length);
        length >>= 8;
    }
    return size;
}

int ber_decode_length(const BYTE* p, std::uint32_t avail, std::uint32_t* length)
{
    if (avail < 1)
        return -1;
    if ((p[0] & 0x80) == 0) {
        *length = p[0];
        return 1;
    }
    const std::uint32_t n = p[0] & 0x7F;
    if (n == 0 || n > 4 || n >= avail)
        return -1;
    std::uint32_t v = 0;
    for (std::uint32_t i = 1; i <= n; ++i)
        v = (v << 8) | p[i];
    *length = v;
    return static_cast<int>(n + 1);
}

bool ber_decode_header(const BYTE* p, std::uint32_t avail, XrBerHeader& out)
{
    XrBerHeader h;
    const int t = ber_decode_tag(p, avail, &h.cls, &h.constructed, &h.tag);
    if (t < 0)
        return false;
    const int l = ber_decode_length(p + t, avail - static_cast<std::uint32_t>(t), &h.content_length);
    if (l < 0)
        return false;
    h.header_length = static_cast<std::uint32_t>(t + l);
    if (h.content_length > avail - h.header_length)
        return false;
    out = h;
    return true;
}

std::int32_t ber_decode_int_content(const BYTE* p, std::uint32_t n)
{
    std::uint32_t v = (p[0] & 0x80) ? 0xFFFFFFFFu : 0u;
    for (std::uint32_t i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return static_cast<std::int32_t>(v);
}

int ber_int_contents(std::int32_t value, BYTE out[4])
{
    BYTE b[4];
    const std::uint32_t u = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<BYTE>(u >> (24 - 8 * i));
    int first = 0;
    while (first < 3 && ((b[first] == 0x00 && b[first + 1] < 0x80) || (b[first] == 0xFF && b[first + 1] >= 0x80)))
        ++first;
    std::memcpy(out, b + first, static_cast<std::size_t>(4 - first));
    return 4 - first;
}

int ber_datetime_text(const XrDatetime& value, char out[32])
{
    const std::time_t t = static_cast<std::time_t>(value.get_utc());
    std::tm tm{};
    gmtime_r(&t, &tm);
    return std::snprintf(out, 32, "%04d%02d%02d%02d%02d%02dZ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                         tm.tm_hour, tm.tm_min, tm.tm_sec);
}

std::uint32_t ber_utf8_contents(const XrString& text, BYTE* out)
{
    BYTE* p = out;
    const TCHAR* s = text.c_str();
    for (; *s != 0; ++s) {
        const unsigned int c = static_cast<unsigned int>(*s);
        if (c < 0x80)
            *p++ = static_cast<BYTE>(c);
        else
            XrUTF8::write_utf8(static_cast<unsigned short>(c < 0x10000 ? c : XrUTF8::replacement_char), p);
    }
    return static_cast<std::uint32_t>(p - out);
}

bool ber_reserve(XrByteArray& out, int n)
{
    const int have = out.get_num_items();
    if (n < 0 || n > INT32_MAX - have)
        return false;
    if (have + n <= out.get_capacity())
        return true;
    const long long doubled = 2LL * out.get_capacity();
    const long long want = doubled > have + n ? (doubled < INT32_MAX ? doubled : INT32_MAX) : have + n;
    return out.set_capacity(static_cast<int>(want));
}

BYTE* ber_append_space(XrByteArray& out, int n)
{
    return ber_reserve(out, n) ? out.append_space(n) : nullptr;
}

bool ber_append_item(XrByteArray& out, int cls, bool constructed, std::uint32_t tag, const BYTE* contents,
                     std::uint32_t length)
{
    XR_ASSERT(tag <= max_tag_number);
    const int head = ber_tag_size(tag) + ber_length_size(length);
    if (length > static_cast<std::uint32_t>(INT32_MAX - head - out.get_num_items()))
        return false;
    BYTE* p = ber_append_space(out, head + static_cast<int>(length));
    if (p == nullptr)
        return false;
    const int t = ber_encode_tag(cls, constructed, tag, p);
    ber_encode_length(length, p + t);
    if (length > 0)
        std::memcpy(p + head, contents, length);
    return true;
}

int ber_begin_constructed(XrByteArray& out)
{
    const int start = out.get_num_items();
    // One tag octet and the longest length form.
    if (ber_append_space(out, max_length_octets + 1) == nullptr)
        return -1;
    return start;
}

bool ber_end_constructed(XrByteArray& out, int start, int cls, std::uint32_t tag)
{
    XR_ASSERT(tag < 31);
    const int reserved = max_length_octets + 1;
    const std::uint32_t length = static_cast<std::uint32_t>(out.get_num_items() - start - reserved);
    BYTE head[max_length_octets + 1];
    const int t = ber_encode_tag(cls, true, tag, head);
    const int n = t + ber_encode_length(length, head + t);
    if (n < reserved)
        out.remove_range(start + n, reserved - n);
    std::memcpy(out.get_items() + start, head, static_cast<std::size_t>(n));
    return true;
}

void ber_abandon_constructed(XrByteArray& out, int start)
{
    out.remove_range(start, out.get_num_items() - start);
}

// ------------------------------------------------------------ XrBerRecord

XrBerRecord::XrBerRecord(BYTE* data, std::uint32_t length, bool owns)
    : m_length(length), m_owns(owns), m_data(data), m_position(0)
{
    rewind();
}

XrBerRecord::~XrBerRecord()
{
    if (m_owns)
        delete[] m_data;
}

void XrBerRecord::replace_data(BYTE* data, std::uint32_t length, bool owns)
{
    if (m_owns)
        delete[] m_data;
    m_data = data;
    m_length = length;
    m_owns = owns;
}

bool XrBerRecord::get_header(XrBerHeader& out) const
{
    return m_data != nullptr && ber_decode_header(m_data, m_length, out);
}

bool XrBerRecord::is(int cls, bool constructed, std::uint32_t tag) const
{
    XrBerHeader h;
    return get_header(h) && h.cls == cls && h.constructed == constructed && h.tag == tag;
}

void XrBerRecord::rewind()
{
    XrBerHeader h;
    m_position = get_header(h) ? h.header_length : m_length;
}

// ------------------------------------------------------------ encoders

XrBerRecord* XrBerRecord::create(int cls, bool constructed, std::uint32_t tag, const BYTE* contents,
                                 std::uint32_t length)
{
    XR_ASSERT(tag <= max_tag_number);
    const std::uint32_t head = static_cast<std::uint32_t>(ber_tag_size(tag) + ber_length_size(length));
    XR_ASSERT(length <= UINT32_MAX - head);
    BYTE* data = new BYTE[head + length];
    int n = ber_encode_tag(cls, constructed, tag, data);
    ber_encode_length(length, data + n);
    if (length > 0)
        std::memcpy(data + head, contents, length);
    return new XrBerRecord(data, head + length, true);
}

XrBerRecord* XrBerRecord::create_bool(bool value)
{
    const BYTE b = value ? 0xFF : 0x00;
    return create(XR_BER_UNIVERSAL, false, XR_BER_BOOLEAN, &b, 1);
}

XrBerRecord* XrBerRecord::create_int(std::int32_t value)
{
    BYTE b[4];
    const int n = ber_int_contents(value, b);
    return create(XR_BER_UNIVERSAL, false, XR_BER_INTEGER, b, static_cast<std::uint32_t>(n));
}

XrBerRecord* XrBerRecord::create_octet_string(const BYTE* bytes, std::uint32_t length)
{
    return create(XR_BER_UNIVERSAL, false, XR_BER_OCTET_STRING, bytes, length);
}

XrBerRecord* XrBerRecord::create_octet_string(const XrByteArray& bytes)
{
    return create_octet_string(bytes.get_items(), static_cast<std::uint32_t>(bytes.get_num_items()));
}

XrBerRecord* XrBerRecord::create_octet_string(const XrString& text)
{
    const int n = text.length();
    BYTE* narrow = new BYTE[n > 0 ? n : 1];
    for (int i = 0; i < n; ++i)
        narrow[i] = static_cast<BYTE>(text.char_at(i));
    XrBerRecord* r = create_octet_string(narrow, static_cast<std::uint32_t>(n));
    delete[] narrow;
    return r;
}

XrBerRecord* XrBerRecord::create_utf8_string(const XrString& text)
{
    BYTE* utf8 = new BYTE[3 * text.length() + 1];
    const std::uint32_t n = ber_utf8_contents(text, utf8);
    XrBerRecord* r = create(XR_BER_UNIVERSAL, false, XR_BER_UTF8_STRING, utf8, n);
    delete[] utf8;
    return r;
}

XrBerRecord* XrBerRecord::create_visible_string(const char* text)
{
    return create(XR_BER_UNIVERSAL, false, XR_BER_VISIBLE_STRING, reinterpret_cast<const BYTE*>(text),
                  static_cast<std::uint32_t>(std::strlen(text)));
}

XrBerRecord* XrBerRecord::create_null()
{
    return create(XR_BER_UNIVERSAL, false, XR_BER_NULL, nullptr, 0);
}

XrBerRecord* XrBerRecord::create_sequence()
{
    return create(XR_BER_UNIVERSAL, true, XR_BER_SEQUENCE, nullptr, 0);
}

XrBerRecord* XrBerRecord::create_datetime(const XrDatetime& value)
{
    char text[32];
    const int n = ber_datetime_text(value, text);
    return create(XR_BER_UNIVERSAL, false, XR_BER_GENERALIZED_TIME, reinterpret_cast<const BYTE*>(text),
                  static_cast<std::uint32_t>(n));
}

void XrBerRecord::append_child(XrBerRecord* parent, XrBerRecord*& child)
{
    XR_ASSERT(parent != nullptr && child != nullptr);
    XrBerHeader h;
    const bool parsed = parent->get_header(h);
    XR_ASSERT(parsed);
    XR_ASSERT(h.constructed);
    const std::uint32_t tag_octets = h.header_length - static_cast<std::uint32_t>(ber_length_size(h.content_length));
    XR_ASSERT(child->m_length <= UINT32_MAX - 16 - h.header_length - h.content_length);
    const std::uint32_t contents = h.content_length + child->m_length;
    const std::uint32_t head = tag_octets + static_cast<std::uint32_t>(ber_length_size(contents));
    BYTE* data = new BYTE[head + contents];
    std::memcpy(data, parent->m_data, tag_octets);
    ber_encode_length(contents, data + tag_octets);
    std::memcpy(data + head, parent->m_data + h.header_length, h.content_length);
    std::memcpy(data + head + h.content_length, child->m_data, child->m_length);
    const std::uint32_t consumed = parent->m_position - h.header_length;
    parent->replace_data(data, head + contents, true);
    parent->m_position = head + consumed;
    delete child;
    child = nullptr;
}

void XrBerRecord::set_tag(XrBerRecord* record, std::uint32_t number, int cls, bool constructed)
{
    XR_ASSERT(record != nullptr);
    XR_ASSERT(number <= max_tag_number);
    int old_cls;
    bool old_constructed;
    std::uint32_t old_number;
    const int old_size = ber_decode_tag(record->m_data, record->m_length, &old_cls, &old_constructed, &old_number);
    XR_ASSERT(old_size > 0);
    BYTE tag[max_tag_octets];
    const int size = ber_encode_tag(cls, constructed, number, tag);
    if (size == old_size) {
        std::memcpy(record->m_data, tag, static_cast<std::size_t>(size));
        return;
    }
    const std::uint32_t rest = record->m_length - static_cast<std::uint32_t>(old_size);
    BYTE* data = new BYTE[static_cast<std::uint32_t>(size) + rest];
    std::memcpy(data, tag, static_cast<std::size_t>(size));
    std::memcpy(data + size, record->m_data + old_size, rest);
    const std::uint32_t position = record->m_position;
    record->replace_data(data, static_cast<std::uint32_t>(size) + rest, true);
    record->m_position = position - static_cast<std::uint32_t>(old_size) + static_cast<std::uint32_t>(size);
}

// ------------------------------------------------------------ decoders

int XrBerRecord::get_bool(bool& out) const
{
    if (m_data == nullptr || m_length == 0)
        return XR_BER_MISSING;
    XrBerHeader h;
    if (m_length < 3 || !get_header(h) || h.content_length < 1)
        return XR_BER_DAMAGED;
    out = m_data[h.header_length] != 0;
    return XR_BER_OK;
}

int XrBerRecord::get_int(std::int32_t& out) const
{
    if (m_data == nullptr || m_length == 0)
        return XR_BER_MISSING;
    XrBerHeader h;
    if (m_length < 2 || !get_header(h))
        return XR_BER_DAMAGED;
    if (h.content_length > 4)
        return XR_BER_UNSUPPORTED;
    // An INTEGER has at least one content octet.
    if (h.content_length == 0)
        return XR_BER_DAMAGED;
    out = ber_decode_int_content(m_data + h.header_length, h.content_length);
    return XR_BER_OK;
}

int XrBerRecord::get_content(const BYTE** out, std::uint32_t* length) const
{
    if (m_data == nullptr || m_length == 0)
        return XR_BER_MISSING;
    XrBerHeader h;
    if (!get_header(h))
        return XR_BER_DAMAGED;
    *out = m_data + h.header_length;
    *length = h.content_length;
    return XR_BER_OK;
}

int XrBerRecord::get_content(XrByteArray& out) const
{
    const BYTE* p;
    std::uint32_t n;
    const int r = get_content(&p, &n);
    if (r != XR_BER_OK)
        return r;
    if (n > static_cast<std::uint32_t>(INT32_MAX) || !out.append(p, static_cast<int>(n)))
        return XR_BER_UNSUPPORTED;
    return XR_BER_OK;
}

int XrBerRecord::get_utf8_string(XrString& out) const
{
    const BYTE* p;
    std::uint32_t n;
    const int r = get_content(&p, &n);
    if (r != XR_BER_OK)
        return r;
    if (n > static_cast<std::uint32_t>(INT32_MAX))
        return XR_BER_UNSUPPORTED;
    XrString text;
    if (!XrUTF8::decode_utf8(p, static_cast<int>(n), text))
        return XR_BER_UNSUPPORTED;
    out = text;
    return XR_BER_OK;
}

int XrBerRecord::get_datetime(XrDatetime& out) const
{
    const BYTE* p;
    std::uint32_t n;
    const int r = get_content(&p, &n);
    if (r != XR_BER_OK)
        return r;
    int year;
    if (n == 15) {
        year = digits(p, 4);
        p += 4;
    } else if (n == 13) {
        year = digits(p, 2);
        if (year >= 0)
            year += year <= 45 ? 2000 : 1900;
        p += 2;
    } else {
        return XR_BER_UNSUPPORTED;
    }
    const int month = digits(p, 2);
    const int day = digits(p + 2, 2);
    const int hour = digits(p + 4, 2);
    const int minute = digits(p + 6, 2);
    const int second = digits(p + 8, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > days_in_month(year, month) || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60)
        return XR_BER_UNSUPPORTED;
    const long long seconds = days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
                              hour * 3600LL + minute * 60LL + second;
    // 32-bit seconds: before 1970 they are negative; from 2038 to 2106 they
    // are kept as the unsigned value (as the date-time's text shows it).
    if (seconds < INT32_MIN || seconds > static_cast<long long>(UINT32_MAX))
        return XR_BER_UNSUPPORTED;
    out.set_utc(static_cast<int>(static_cast<std::uint32_t>(seconds)));
    return XR_BER_OK;
}

// ------------------------------------------------------------ children

int XrBerRecord::read_next(XrBerRecord** out)
{
    XrBerHeader parent;
    if (!get_header(parent))
        return m_data == nullptr ? XR_BER_MISSING : XR_BER_DAMAGED;
    const std::uint32_t end = parent.header_length + parent.content_length;
    if (m_position < parent.header_length || m_position > end)
        return XR_BER_DAMAGED;
    if (m_position == end)
        return XR_BER_MISSING;
    XrBerHeader child;
    if (!ber_decode_header(m_data + m_position, end - m_position, child))
        return XR_BER_DAMAGED;
    const std::uint32_t size = child.header_length + child.content_length;
    *out = new XrBerRecord(m_data + m_position, size, false);
    m_position += size;
    return XR_BER_OK;
}

int XrBerRecord::find(std::uint32_t tag, XrBerRecord** out, int index, int cls, int constructed)
{
    for (;;) {
        XrBerRecord* child = nullptr;
        const int r = read_next(&child);
        if (r != XR_BER_OK)
            return r;
        XrBerHeader h;
        child->get_header(h);
        const bool match = h.tag == tag && (cls == XR_BER_ANY_CLASS || h.cls == cls) &&
                           (constructed == XR_BER_ANY_FORM || h.constructed == (constructed != 0));
        if (match && index-- == 0) {
            *out = child;
            return XR_BER_OK;
        }
        delete child;
    }
}

// ------------------------------------------------------------ XrBerIntRecord

XrBerIntRecord::XrBerIntRecord(std::int32_t value) : XrBerRecord(nullptr, 0, false)
{
    XrBerRecord* r = create_int(value);
    BYTE* data = new BYTE[r->get_length()];
    std::memcpy(data, r->get_data(), r->get_length());
    replace_data(data, r->get_length(), true);
    delete r;
    rewind();
}

std::int32_t XrBerIntRecord::get_value() const
{
    std::int32_t v = 0;
    get_int(v);
    return v;
}
