// Text helpers of the address search: county texts of up to three parts
// joined by "#" (first#second#third), address lines and path texts.
#pragma once

#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"

class XrAddrUtil {
public:
    // Splits a county text at its two "#"; false (outputs untouched) when
    // one is missing.
    static bool parse_county_name(const TCHAR* text, XrString& a, XrString& b, XrString& c);
    // The part before the first "#"; false when there is none.
    static bool parse_city_name(const TCHAR* text, XrString& a);
    // The last blank-separated word of the second part (empty when the text
    // has no second part).
    static void parse_county_last_word(const TCHAR* text, XrString& out);
    // The text after the last blank (the whole text without one); empty for
    // an empty text.
    static void get_last_word(const TCHAR* text, XrString& out);

    // Folded prefix comparison of prefix against the parts from_part + 1 to
    // 3 that are at least as long as the folded prefix; the number (1-3) of
    // the first that begins with it, else 0.
    static int compare_county_to_string(const TCHAR* text, const TCHAR* prefix, int from_part);
    // The same with whole folded equality.
    static int compare_county_to_string_exact(const TCHAR* text, const TCHAR* s, int from_part);
    // Whether part criteria (1-3) of two county texts is equal; false when
    // either text lacks the part.
    static bool compare_counties(const TCHAR* t1, const TCHAR* t2, int criteria);
    // "first (third second)" between direction marks: U+202A (U+202B for a
    // text with Arabic characters) before, U+202C after.
    static XrString format_county_name(const TCHAR* text);

    // Splits an address line into street and house number, trying "12 Main
    // Street" and "Main Street 12" (number_last: the second form first).
    static bool split_street_and_number(const TCHAR* line, bool number_last, XrString& street, XrString& number);
    // The text after the last ">" without the blanks that follow it; the
    // whole text without ">".
    static void get_last_path_part(const TCHAR* text, XrString& out);

    // Part i (1-3) of a county text; false when the text has fewer parts.
    static bool get_county_part(const TCHAR* text, int i, XrString& out);
};
