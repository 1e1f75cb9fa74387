// UTF-8 conversions of wide text: sequences of 1 to 3 bytes, characters
// below 65536. Overlong forms and surrogate values are accepted when decoding.
#pragma once

#include "common/container/xr_defs.h"

class XrString;
class XrByteArray;

class XrUTF8 {
public:
    // The character that stands for undecodable input and for characters
    // that cannot be encoded where the caller cannot fail.
    static constexpr unsigned int replacement_char = 0xFFFD;

    // Appends the UTF-8 bytes of len characters (-1: up to the terminator);
    // false at the first character of 65536 or above (the bytes before stay).
    static bool encode_utf8(const wchar_t* str, int len, XrByteArray& out);
    // Appends the characters of len bytes (-1: strlen) to out; false at the
    // first byte that starts no valid sequence or whose sequence is cut by
    // the end (the characters before stay).
    static bool decode_utf8(const BYTE* str, int len, XrString& out);

    // Decodes one character of a zero-terminated text and advances the
    // pointer. A continuation byte without a lead is returned unchanged; other
    // invalid input (a 4-byte lead, a cut sequence) gives replacement_char and
    // advances past the bytes read; the pointer never moves past a 0 byte.
    static unsigned int read_utf8(const BYTE*& in);
    // The same over 16-bit units that each carry one byte; a unit above 0xFF
    // is invalid.
    static unsigned int read_utf8(const unsigned short*& in);
    // Writes 1 to 3 units and advances the pointer.
    static void write_utf8(unsigned short c, BYTE*& out);
    static void write_utf8(unsigned short c, unsigned short*& out);

    // Number of characters in a zero-terminated UTF-8 text.
    static int utf8_length(const BYTE* str);
    // Number of UTF-8 bytes of a string (a character of 65536 or above counts
    // as replacement_char).
    static int utf8_byte_length(const XrString& str);
    // new[] zero-terminated conversions handed to the caller; return the
    // number of characters / bytes without the terminator.
    static int utf8_to_wide_alloc(const BYTE* str, TCHAR** out);
    static int wide_to_utf8_alloc(const XrString& str, BYTE** out);

    // len -1: strlen. True when every byte above 127 starts a complete 2- or
    // 3-byte sequence.
    static bool is_valid_utf8(const BYTE* str, int len);
};
