// Growable byte buffer for file and wire data: appends of integers and text,
// access to single bits, and the zlib helpers on plain buffers.
#pragma once

#include "common/container/xr_array.h"

#include <cstdint>

class XrByteArray : public XrArray<BYTE> {
public:
    explicit XrByteArray(int initial_capacity = 16, int grow_step = 16);
    XrByteArray(const XrByteArray& other);
    // Empties this array and appends the other's bytes.
    XrByteArray& operator=(const XrByteArray& other);

    // Empties the array and appends n bytes.
    bool set(const BYTE* data, int n);
    // Makes the count at least n (never shrinks); new bytes are not initialised.
    bool grow_to(int n);

    // Raw bytes; false for a negative n or when growing fails.
    bool append(const void* data, int n);
    bool append(const XrByteArray& other);
    // A zero-terminated byte string without its terminator (null: nothing).
    bool append(const char* s);
    // A wide string narrowed to one byte per character (low 8 bits), without
    // terminator; it ends at the first character whose low 8 bits are 0.
    bool append(const wchar_t* s);
    // The first min(length, n) characters narrowed, then zero bytes up to n.
    bool append_fixed(const wchar_t* s, int n);
    bool append_byte(BYTE b);
    bool append_u16_le(std::uint16_t v);
    bool append_u24_le(std::uint32_t v);
    bool append_u32_le(std::uint32_t v);
    bool append_u64_le(std::uint64_t v);
    bool append_u32_be(std::uint32_t v);
    // Signed variable-length form of one to three bytes; false (nothing
    // appended) when the magnitude is 2^20 or more.
    bool append_varint(int value);
    // Grows the count by n and returns the n new, uninitialised bytes; null
    // when growing fails.
    BYTE* append_space(int n);

    // Inserts n bytes at pos (0 .. count); the bytes from pos move up by n.
    bool insert(int pos, const void* data, int n);
    // Removes n bytes at pos; false when pos + n exceeds the count.
    bool remove_range(int pos, int n);
    // Replaces a byte; an index at or beyond the count grows the array to
    // index + 1 (the bytes between stay uninitialised).
    bool set_item(int index, BYTE b);

    // Bit i: byte i / 8, bit i % 8, least significant first; 0 beyond the end.
    bool get_bit(int i) const;
    // Sets or clears bit i, first appending zero bytes until byte i / 8 exists.
    bool set_bit(int i, bool value);
    // Index of the highest set bit; -1 when none is set.
    int highest_set_bit() const;
    int count_set_bits() const;
    // Extends this array with zero bytes to the other's length and ORs the
    // other's bytes in; returns the number of bytes combined.
    int or_with(const XrByteArray& other);
};

// Compresses src_len bytes into dst, a buffer of dst_len bytes; dst_len
// becomes the compressed length. An empty source gives length 0 and true.
bool zlib_compress(const BYTE* src, int src_len, BYTE* dst, int& dst_len);

// Decompresses a zlib stream into dst, a buffer of dst_len bytes; dst_len
// becomes the length produced. A buffer too small for the whole output is
// accepted only when it is at most 8 bytes (the head of the stream) and the
// rest of the stream is sound; corrupt or cut data gives false. An empty
// source gives length 0 and true.
bool zlib_uncompress(const BYTE* src, int src_len, BYTE* dst, int& dst_len);

// Decompresses a whole zlib stream into dst, a buffer of dst_len bytes;
// dst_len becomes the length produced. False for an empty source, corrupt or
// cut data, or a stream whose output does not fit dst_len bytes.
bool zlib_uncompress_whole(const BYTE* src, int src_len, BYTE* dst, int& dst_len);
