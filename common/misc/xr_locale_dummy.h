// Locale services of this build: unit labels, number formatting and the
// separators are fixed (no platform locale is consulted).
#pragma once

#include "common/container/xr_string.h"

class XrLocale {
public:
    enum XrLocaleUnit {
        Metres = 0,
        Kilometres = 1,
        Miles = 2,
        Yards = 3,
        Feet = 4,
        Hours = 5,
        Minutes = 6,
        Seconds = 7,
        Days = 8,
        MetresPerSecond = 9,
        KilometresPerHour = 10,
        MilesPerHour = 11,
    };

    enum XrTextDirection { LeftToRight = 0, RightToLeft = 1 };

    // The label of a unit ("m", "km", ...); any other value is fatal.
    static const TCHAR* get_unit(XrLocaleUnit unit);

    // "%d", then "0" in front until the text has at least min_width characters.
    static void format_int(XrString& out, int value, int min_width);
    // Rounded half away from zero to the given decimals: integer part, ".",
    // zero-padded fraction; 0 decimals gives the rounded integer.
    static void format_double(XrString& out, double value, int decimals);

    static int get_text_direction() { return LeftToRight; }
    static const TCHAR* get_hour_minute_separator() { return L":"; }
    static const TCHAR* get_minute_second_separator() { return L":"; }

    // Hook for formatted number text; changes nothing in this build.
    static void localize_number_string(XrString&) {}
};

// The locale name ("en_GB", "fr_FR", ...) that matches the language code of
// the translated texts (message 357); "en_GB" when none matches.
const char* get_locale_name();
// The locale name of a language code such as "ENGUS"; "en_GB" when unknown.
const char* get_locale_name_for_code(const XrString& code);

// A language code: up to three lower-case ASCII letters, the first in the
// lowest byte ("ara" is 0x617261); 0 = no language.
typedef unsigned int XrLC;

// Three-letter language codes packed first letter in the low byte
// (c0 | c1 << 8 | c2 << 16); a shorter text packs what it has.
unsigned int pack_language_code(const TCHAR* code, bool lower_case);
unsigned int pack_language_code(const char* code, bool lower_case);
// The three characters of a packed code (fewer when it holds 0 bytes).
XrString unpack_language_code(unsigned int packed);
