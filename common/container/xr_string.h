// XrString: the text type of the system. A handle to a shared,
// reference-counted, NUL-terminated buffer of wide characters, copied by
// sharing and changed by copy-on-write. Plus the wide text functions on raw
// TCHAR arrays and the byte <-> wide conversions through one static buffer.
//
// The members and functions that need the message table or the Unicode
// tables (marked "misc" below) are defined in common/misc, which users of
// them link.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "common/container/xr_defs.h"

class XrString {
public:
    // One heap block: this 4-byte header, then `capacity` characters.
    struct XrStringInstance {
        std::uint16_t capacity;  // character slots behind the header, terminator included
        std::uint16_t ref_count; // handles sharing the instance

        TCHAR* text() { return reinterpret_cast<TCHAR*>(this + 1); }
        const TCHAR* text() const { return reinterpret_cast<const TCHAR*>(this + 1); }

        // A new zero-filled instance with reference count 0 holding str_l
        // characters of str (-1: up to its terminator; null str: empty text),
        // with room for alloc_extra more characters and one spare slot.
        static XrStringInstance* create(const TCHAR* str, size_t alloc_extra, int str_l);
        static void destroy(XrStringInstance* inst);
    };

    // Most handles that may share one instance; a further copy gets its own.
    static constexpr unsigned max_shares = 0xFFFF;
    // Longest text an instance can hold (without reserve).
    static constexpr int max_length = 65532;

    XrString() = default;
    XrString(const XrString& other);
    XrString(XrString&& other) noexcept : m_inst(other.m_inst) { other.m_inst = nullptr; }
    XrString(const TCHAR* str, int len = -1);
    XrString(const char* str, int len = -1);
    // The translated text of a message identifier; null when unknown (misc).
    explicit XrString(int text_id);
    ~XrString();

    XrString& operator=(const XrString& other);
    XrString& operator=(XrString&& other) noexcept;
    XrString& operator=(const TCHAR* str);
    XrString& operator=(TCHAR c);
    XrString& operator=(const char* str);
    // Replaces the text by len characters of str (-1: up to the terminator).
    // A null str leaves the null handle; str may point into this string.
    void assign(const TCHAR* str, int len = -1);
    // Replaces the text by at most n bytes of str (-1: strlen), stopping at a
    // 0 byte, each byte widened to one character.
    void assign_latin1(const char* str, int n = -1);
    void clear();

    // Reading; a null handle reads as the empty text.
    const TCHAR* c_str() const;
    const TCHAR* c_str_at(int i) const;
    TCHAR char_at(int i) const;
    int length() const;
    bool is_empty() const { return m_inst == nullptr || m_inst->text()[0] == 0; }
    bool operator==(const XrString& other) const;
    bool operator==(const TCHAR* str) const;
    bool operator!=(const XrString& other) const { return !(*this == other); }
    bool operator!=(const TCHAR* str) const { return !(*this == str); }
    // Index of the first occurrence of str, -1 when absent.
    int find(const TCHAR* str) const;
    // True when c is one of the characters of set.
    static bool contains_char(TCHAR c, const TCHAR* set);

    // Changing; a shared instance is copied first.
    void append(const TCHAR* s, int len = -1);
    void append(const char* s, int n = -1);
    XrString& operator+=(const TCHAR* s);
    XrString& operator+=(const XrString& other);
    XrString& operator+=(TCHAR c);
    // Makes room for n more characters.
    void reserve(int n);
    // Removes and returns the last character; 0 when empty.
    TCHAR remove_last_char();
    // Cuts the text to n characters; false when n exceeds the length.
    bool truncate(int n);
    // Drops the first n characters; false when n exceeds the length.
    bool remove_head(int n);
    // Replaces every occurrence of from (not empty) by to, left to right
    // without overlap; returns the number of replacements.
    int replace(const TCHAR* from, const TCHAR* to);
    // Case mapping through the Unicode tables (misc).
    void to_upper();
    void to_lower();
    // Remove the run of characters of set at the start / end / both; return
    // how many were removed.
    int trim_left(const TCHAR* set);
    int trim_right(const TCHAR* set);
    int trim(const TCHAR* set);
    // printf-style formatting of at most max_len characters (terminator
    // included); every "%s" takes a wide string.
    void format(int max_len, const TCHAR* fmt, ...);
    // format() with the translated text of text_id as the format; false (and
    // the string unchanged) when the identifier is unknown (misc).
    bool format_text(int max_len, int text_id, ...);
    // Sets the string to the translated text of text_id; false (string
    // emptied) when the identifier is unknown (misc).
    bool load_text(int text_id);

    // Splits the text: returns a new[] copy of the head and hands the rest in
    // a second new[] buffer through tail (null when there is none). The split
    // point is behind the last separator at or before max_index (-1: half the
    // length), or at max_index when there is none.
    TCHAR* split_at_separator(TCHAR** tail, const TCHAR* separators, int separator_count,
                              int max_index = -1) const;

private:
    void attach(XrStringInstance* inst);
    void set_instance(XrStringInstance* inst);
    void make_private(size_t alloc_extra);
    TCHAR* prepare_append(int cur, int n, XrStringInstance*& old);
    void vformat(int max_len, const TCHAR* fmt, va_list args);

    XrStringInstance* m_inst = nullptr;
};

XrString operator+(const XrString& a, const XrString& b);
XrString operator+(const XrString& a, const TCHAR* b);
XrString operator+(const XrString& a, const char* b);

// Wide text functions on zero-terminated TCHAR arrays. Comparisons return the
// difference of the deciding characters.
int wide_strcmp(const TCHAR* a, const TCHAR* b);
int wide_strncmp(const TCHAR* a, const TCHAR* b, int n);
// Case-insensitive, treating accented letters as their base letter (misc).
int wide_stricmp(const TCHAR* a, const TCHAR* b);
int wide_strnicmp(const TCHAR* a, const TCHAR* b, int n);
// Latin-1 byte strings compared through sort_fold_char at the first differing
// byte.
int narrow_strcmp_folded(const char* a, const char* b);
int narrow_strncmp_folded(const char* a, const char* b, int n);
// Latin-1 folding for sorting: accented vowels to their base letter; the
// Nordic letters behind Z and z; degree sign to 129. Other characters
// unchanged.
int sort_fold_char(TCHAR c);

const TCHAR* wide_strchr(const TCHAR* s, TCHAR c);
const TCHAR* wide_strrchr(const TCHAR* s, TCHAR c);
const TCHAR* wide_strstr(const TCHAR* s, const TCHAR* find);
const TCHAR* wide_strrstr(const TCHAR* s, const TCHAR* find);
const TCHAR* wide_strpbrk(const TCHAR* s, const TCHAR* set);
inline TCHAR* wide_strchr(TCHAR* s, TCHAR c) { return const_cast<TCHAR*>(wide_strchr(static_cast<const TCHAR*>(s), c)); }
inline TCHAR* wide_strrchr(TCHAR* s, TCHAR c) { return const_cast<TCHAR*>(wide_strrchr(static_cast<const TCHAR*>(s), c)); }
inline TCHAR* wide_strstr(TCHAR* s, const TCHAR* find) { return const_cast<TCHAR*>(wide_strstr(static_cast<const TCHAR*>(s), find)); }
inline TCHAR* wide_strrstr(TCHAR* s, const TCHAR* find) { return const_cast<TCHAR*>(wide_strrstr(static_cast<const TCHAR*>(s), find)); }
inline TCHAR* wide_strpbrk(TCHAR* s, const TCHAR* set) { return const_cast<TCHAR*>(wide_strpbrk(static_cast<const TCHAR*>(s), set)); }

// Case mapping in place (returns s) and of one character (misc).
TCHAR* wide_strupr(TCHAR* s);
TCHAR* wide_strlwr(TCHAR* s);
TCHAR to_upper_char(TCHAR c);
TCHAR to_lower_char(TCHAR c);

// new[] copies: the text with its terminator; n bytes.
TCHAR* wide_strdup(const TCHAR* s);
BYTE* memdup(const void* data, int n);

bool is_digit(TCHAR c);
bool is_hex_digit(TCHAR c);
bool is_space(TCHAR c); // 8 to 13 and 32
// The value of a hexadecimal digit; false for any other character.
bool hex_digit_value(TCHAR c, int& value);
// Optional "0x"/"0X", then hexadecimal digits up to the first other character.
unsigned int parse_hex(const TCHAR* s);
// Optional '-', then decimal digits up to the first other character.
int wide_atoi(const TCHAR* s);
// wide_atoi of at most the first n characters (-1: all).
int wide_atoi_n(const TCHAR* s, int n);
// Optional '-', digits, optional '.' and fraction digits; no exponent.
double wide_atof(const TCHAR* s);

// Wide printf into buf of size characters (terminator included); every
// "%s" takes a wide string. Returns vswprintf's result; -1 on failure.
int wide_vsnprintf(TCHAR* buf, int size, const TCHAR* fmt, va_list args);
int wide_snprintf(TCHAR* buf, int size, const TCHAR* fmt, ...);

// Byte <-> wide conversions through one shared static buffer (2048 wide
// characters / 8192 bytes): a result is valid only until the next call.
constexpr int XR_STATIC_CONV_CHARS = 2048;
constexpr int XR_STATIC_CONV_BYTES = 8192;
// Latin-1 widening of a zero-terminated byte string, at most 2047 characters.
TCHAR* narrow_to_wide_static(const char* s);
// Widening of n bytes (at most 2047; longer input is cut) followed by a
// terminator.
TCHAR* narrow_to_wide_n(const char* s, int n);
// Low 8 bits of each character up to the first whose low 8 bits are 0, at
// most 8191 bytes, zero-terminated.
char* wide_to_narrow_static(const TCHAR* s);

// Picks one language from a text of alternatives "cod<sep>text<sep>cod<sep>
// text<sep><sep>common" in place (see the map label readers). Language codes
// are packed three letters, first in the low byte; 0 = none. Reports the
// language taken through found_language (0 when none / not multi-language).
void select_language_variant(TCHAR*& text, TCHAR separator, int wanted_language, int* found_language);
