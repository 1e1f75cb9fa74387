// XrTokenParser: splits a wide text into tokens at any of a set of delimiter
// characters. The parser works on its own copy of the input and cuts it in
// place, so a token is a pointer into that copy, valid until the next
// set_input or the parser's end.
#pragma once

#include "common/container/xr_array.h"
#include "common/container/xr_defs.h"

class XrString;

class XrTokenParser {
public:
    typedef void (*TokenCallback)(const TCHAR* token, void* user_data);

    explicit XrTokenParser(TCHAR delimiter);
    XrTokenParser(const TCHAR* text, TCHAR delimiter);
    XrTokenParser(const XrString& text, TCHAR delimiter);
    // The byte text is widened one byte to one character (Latin-1).
    XrTokenParser(const char* text, TCHAR delimiter);
    XrTokenParser(const XrTokenParser&) = delete;
    XrTokenParser& operator=(const XrTokenParser&) = delete;
    virtual ~XrTokenParser();

    // Replaces the input by a copy of text (null: empty) and restarts at its
    // beginning, forwards.
    void set_input(const TCHAR* text);
    void set_input(const XrString& text);
    void set_input(const char* text);

    void add_delimiter(TCHAR delimiter);

    // The next token, or null when the input is used up. skip_leading_blanks
    // passes over tab, blank, line feed and carriage return before the token;
    // trim_trailing_blanks cuts them from its end. Two adjacent delimiters
    // give an empty token. Reversed parsing takes neither option.
    const TCHAR* parse_next(bool skip_leading_blanks = false, bool trim_trailing_blanks = false);

    // The rest of the input as one token (null when nothing remains); the
    // parser then stands at the end. Not available reversed.
    const TCHAR* get_rest(bool skip_leading_blanks = false, bool trim_trailing_blanks = false);

    // The next token, blanks skipped and trimmed, as an optional '+' or '-'
    // and decimal digits only. False when there is no token, it holds any
    // other character or its value does not fit an int (value unchanged
    // then); an empty token or a sign alone gives 0.
    bool parse_int(int& value);
    // The same with one '.' allowed among the digits (no exponent).
    bool parse_double(double& value);

    // Calls callback for every remaining token.
    void for_each_token(TokenCallback callback, void* user_data, bool skip_leading_blanks = false,
                        bool trim_trailing_blanks = false);

    // The delimiter that ended the last token (0 at the end of the input);
    // reading clears it.
    TCHAR get_last_delimiter();
    void set_last_delimiter(TCHAR delimiter) { last_delimiter = delimiter; }

    // Parsing from the end of the input; allowed only before the first token
    // was taken.
    void set_reversed(bool reversed);

private:
    void take_input(TCHAR* copy);
    bool is_delimiter(TCHAR c) const;
    const TCHAR* parse_next_reversed();
    // The next token as a sign and a run of digits (with one '.' when
    // allow_point), or null; *negative tells the sign.
    const TCHAR* next_number_token(bool allow_point, bool* negative);

    TCHAR* curr = nullptr;
    TCHAR* input = nullptr;
    XrArray<TCHAR> delimiters;
    TCHAR last_delimiter = 0;
    bool reversed = false;
};
