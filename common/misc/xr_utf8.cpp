#include "common/misc/xr_utf8.h"

#include <cstring>
#include <cwchar>

#include "common/container/xr_bytearray.h"
#include "common/container/xr_string.h"

namespace {

// Decodes one sequence of at most avail units at p (avail >= 1). Returns the
// units consumed; ok is false for invalid input, c is then the replacement
// character (a lone continuation byte: the byte itself). A unit above 0xFF is
// invalid. Never reads a unit behind one
// that ends the sequence, so a terminator is never passed.
template <class Unit>
size_t decode_seq(const Unit* p, size_t avail, unsigned int& c, bool& ok)
{
    ok = false;
    c = XrUTF8::replacement_char;
    unsigned int b0 = p[0];
    if (b0 > 0xFF)
        return 1;
    if (b0 < 0x80) {
        c = b0;
        ok = true;
        return 1;
    }
    size_t need;
    unsigned int v;
    if (b0 < 0xC0) {
        // A continuation byte without a lead: invalid, but the one-character
        // reader hands it back unchanged.
        c = b0;
        return 1;
    } else if (b0 < 0xE0) {
        need = 2;
        v = b0 & 0x1F;
    } else if (b0 < 0xF0) {
        need = 3;
        v = b0 & 0x0F;
    } else if (b0 < 0xF8) {
        need = 4; // read over as one invalid character
        v = 0;
    } else {
        return 1;
    }
    size_t n = 1;
    for (; n < need; ++n) {
        if (n >= avail)
            return n;
        unsigned int b = p[n];
        if ((b & ~0x3Fu) != 0x80)
            return n;
        v = (v << 6) | (b & 0x3F);
    }
    if (need == 4)
        return n;
    c = v;
    ok = true;
    return n;
}

template <class Unit>
unsigned int read_one(const Unit*& in)
{
    unsigned int c;
    bool ok;
    in += decode_seq(in, SIZE_MAX, c, ok);
    return c;
}

template <class Unit>
void write_one(unsigned short ch, Unit*& out)
{
    unsigned int c = ch;
    if (c < 0x80) {
        *out++ = static_cast<Unit>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<Unit>(0xC0 | (c >> 6));
        *out++ = static_cast<Unit>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<Unit>(0xE0 | (c >> 12));
        *out++ = static_cast<Unit>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<Unit>(0x80 | (c & 0x3F));
    }
}

// The character to write for c: outside the 16-bit range it cannot be
// encoded and stands as the replacement character.
unsigned short encodable(TCHAR c)
{
    unsigned int u = static_cast<unsigned int>(c);
    return static_cast<unsigned short>(u < 0x10000 ? u : XrUTF8::replacement_char);
}

int encoded_length(unsigned short c)
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
}

} // namespace

bool XrUTF8::encode_utf8(const wchar_t* str, int len, XrByteArray& out)
{
    if (len < 0)
        len = static_cast<int>(std::wcslen(str));
    for (int i = 0; i < len; ++i) {
        unsigned int c = static_cast<unsigned int>(str[i]);
        if (c >= 0x10000)
            return false;
        BYTE bytes[3];
        BYTE* end = bytes;
        write_one(static_cast<unsigned short>(c), end);
        for (BYTE* p = bytes; p < end; ++p)
            if (!out.append_byte(*p))
                return false;
    }
    return true;
}

bool XrUTF8::decode_utf8(const BYTE* str, int len, XrString& out)
{
    if (len < 0)
        len = static_cast<int>(std::strlen(reinterpret_cast<const char*>(str)));
    if (len == 0)
        return true;
    // The text cannot outgrow a string: reserve only what fits, and stop
    // with an error when the string is full.
    int room = XrString::max_length - out.length();
    if (static_cast<long>(len) + 2L * out.length() + 3 <= XrString::max_length + 2)
        out.reserve(len);

    const BYTE* p = str;
    const BYTE* end = str + len;
    TCHAR chunk[256];
    int n = 0;
    bool ok = true;
    while (p < end) {
        unsigned int c;
        p += decode_seq(p, static_cast<size_t>(end - p), c, ok);
        if (!ok)
            break;
        if (c == 0)
            continue; // a 0 byte would end the text; it is left out
        if (room == 0) {
            ok = false;
            break;
        }
        --room;
        chunk[n++] = static_cast<TCHAR>(c);
        if (n == static_cast<int>(sizeof(chunk) / sizeof(chunk[0]))) {
            out.append(chunk, n);
            n = 0;
        }
    }
    out.append(chunk, n);
    return ok;
}

unsigned int XrUTF8::read_utf8(const BYTE*& in)
{
    return read_one(in);
}

unsigned int XrUTF8::read_utf8(const unsigned short*& in)
{
    return read_one(in);
}

void XrUTF8::write_utf8(unsigned short c, BYTE*& out)
{
    write_one(c, out);
}

void XrUTF8::write_utf8(unsigned short c, unsigned short*& out)
{
    write_one(c, out);
}

int XrUTF8::utf8_length(const BYTE* str)
{
    int n = 0;
    while (*str != 0) {
        read_utf8(str);
        ++n;
    }
    return n;
}

int XrUTF8::utf8_byte_length(const XrString& str)
{
    int n = 0;
    for (const TCHAR* p = str.c_str(); *p != 0; ++p)
        n += encoded_length(encodable(*p));
    return n;
}

int XrUTF8::utf8_to_wide_alloc(const BYTE* str, TCHAR** out)
{
    int n = str != nullptr ? utf8_length(str) : 0;
    TCHAR* w = new TCHAR[static_cast<size_t>(n) + 1];
    for (int i = 0; i < n; ++i)
        w[i] = static_cast<TCHAR>(read_utf8(str));
    w[n] = 0;
    *out = w;
    return n;
}

int XrUTF8::wide_to_utf8_alloc(const XrString& str, BYTE** out)
{
    int n = utf8_byte_length(str);
    BYTE* b = new BYTE[static_cast<size_t>(n) + 1];
    BYTE* o = b;
    for (const TCHAR* p = str.c_str(); *p != 0; ++p)
        write_utf8(encodable(*p), o);
    *o = 0;
    *out = b;
    return n;
}

bool XrUTF8::is_valid_utf8(const BYTE* str, int len)
{
    if (len < 0)
        len = static_cast<int>(std::strlen(reinterpret_cast<const char*>(str)));
    const BYTE* end = str + len;
    while (str < end) {
        unsigned int c;
        bool ok;
        str += decode_seq(str, static_cast<size_t>(end - str), c, ok);
        if (!ok)
            return false;
    }
    return true;
}
