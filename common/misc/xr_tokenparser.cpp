#include "common/misc/xr_tokenparser.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <cwchar>

#include "common/container/xr_bytes.h"
#include "common/container/xr_string.h"

namespace {

TCHAR* skip_blanks(TCHAR* p)
{
    while (xr_bytes::is_blank(*p))
        ++p;
    return p;
}

// Overwrites the blanks before end (down to start) with 0.
void trim_blanks(TCHAR* start, TCHAR* end)
{
    while (end > start && xr_bytes::is_blank(end[-1]))
        *--end = 0;
}

} // namespace

XrTokenParser::XrTokenParser(TCHAR delimiter) : delimiters(3)
{
    add_delimiter(delimiter);
}

XrTokenParser::XrTokenParser(const TCHAR* text, TCHAR delimiter) : XrTokenParser(delimiter)
{
    set_input(text);
}

XrTokenParser::XrTokenParser(const XrString& text, TCHAR delimiter) : XrTokenParser(delimiter)
{
    set_input(text);
}

XrTokenParser::XrTokenParser(const char* text, TCHAR delimiter) : XrTokenParser(delimiter)
{
    set_input(text);
}

XrTokenParser::~XrTokenParser()
{
    delete[] input;
}

void XrTokenParser::set_input(const TCHAR* text)
{
    const std::size_t n = text != nullptr ? std::wcslen(text) : 0;
    TCHAR* copy = new TCHAR[n + 1];
    if (n > 0)
        std::wmemcpy(copy, text, n);
    copy[n] = 0;
    take_input(copy);
}

void XrTokenParser::set_input(const XrString& text)
{
    set_input(text.c_str());
}

void XrTokenParser::set_input(const char* text)
{
    // Widened here rather than through the shared conversion buffer, which
    // would cut texts of 2048 bytes and more.
    const std::size_t n = text != nullptr ? std::strlen(text) : 0;
    TCHAR* copy = new TCHAR[n + 1];
    for (std::size_t i = 0; i < n; ++i)
        copy[i] = static_cast<unsigned char>(text[i]);
    copy[n] = 0;
    take_input(copy);
}

// The old copy goes only now: the new text may have come from it.
void XrTokenParser::take_input(TCHAR* copy)
{
    delete[] input;
    input = copy;
    curr = input;
    last_delimiter = 0;
    reversed = false;
}

void XrTokenParser::add_delimiter(TCHAR delimiter)
{
    delimiters.append(delimiter);
}

bool XrTokenParser::is_delimiter(TCHAR c) const
{
    const TCHAR* d = delimiters.get_items();
    for (int i = 0; i < delimiters.get_num_items(); ++i) {
        if (d[i] == c)
            return true;
    }
    return false;
}

const TCHAR* XrTokenParser::parse_next(bool skip_leading_blanks, bool trim_trailing_blanks)
{
    if (reversed) {
        XR_ASSERT_MSG(!skip_leading_blanks && !trim_trailing_blanks, "Not implemented!");
        return parse_next_reversed();
    }
    if (curr == nullptr || *curr == 0) {
        last_delimiter = 0;
        return nullptr;
    }
    TCHAR* start = skip_leading_blanks ? skip_blanks(curr) : curr;
    TCHAR* end = start;
    while (*end != 0 && !is_delimiter(*end))
        ++end;
    last_delimiter = *end;
    if (*end != 0) {
        *end = 0;
        curr = end + 1;
    } else {
        curr = end;
    }
    if (trim_trailing_blanks)
        trim_blanks(start, end);
    return start;
}

// curr marks the end of the text not yet taken; each token ends there.
const TCHAR* XrTokenParser::parse_next_reversed()
{
    if (curr == nullptr || curr == input) {
        last_delimiter = 0;
        return nullptr;
    }
    for (TCHAR* p = curr; p > input;) {
        --p;
        if (is_delimiter(*p)) {
            last_delimiter = *p;
            *p = 0;
            curr = p;
            return p + 1;
        }
    }
    last_delimiter = 0;
    curr = input;
    return input;
}

const TCHAR* XrTokenParser::get_rest(bool skip_leading_blanks, bool trim_trailing_blanks)
{
    XR_ASSERT_MSG(!reversed, "Not Implemented!");
    last_delimiter = 0;
    if (curr == nullptr)
        return nullptr;
    TCHAR* start = skip_leading_blanks ? skip_blanks(curr) : curr;
    TCHAR* end = start + std::wcslen(start);
    curr = end;
    if (trim_trailing_blanks)
        trim_blanks(start, end);
    return *start != 0 ? start : nullptr;
}

const TCHAR* XrTokenParser::next_number_token(bool allow_point, bool* negative)
{
    const TCHAR* token = parse_next(true, true);
    if (token == nullptr)
        return nullptr;
    *negative = false;
    if (*token == L'+' || *token == L'-') {
        *negative = *token == L'-';
        ++token;
    }
    bool point = false;
    for (const TCHAR* p = token; *p != 0; ++p) {
        if (*p >= L'0' && *p <= L'9')
            continue;
        if (allow_point && *p == L'.' && !point) {
            point = true;
            continue;
        }
        return nullptr;
    }
    return token;
}

bool XrTokenParser::parse_int(int& value)
{
    bool negative = false;
    const TCHAR* digits = next_number_token(false, &negative);
    if (digits == nullptr)
        return false;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long v = 0;
    for (const TCHAR* p = digits; *p != 0; ++p) {
        v = v * 10 + (*p - L'0');
        if (v > limit)
            return false;
    }
    value = static_cast<int>(negative ? -v : v);
    return true;
}

bool XrTokenParser::parse_double(double& value)
{
    bool negative = false;
    const TCHAR* digits = next_number_token(true, &negative);
    if (digits == nullptr)
        return false;
    const double v = wide_atof(digits);
    if (!std::isfinite(v))
        return false;
    value = (negative && v != 0.0) ? -v : v;
    return true;
}

void XrTokenParser::for_each_token(TokenCallback callback, void* user_data, bool skip_leading_blanks,
                                   bool trim_trailing_blanks)
{
    while (const TCHAR* token = parse_next(skip_leading_blanks, trim_trailing_blanks))
        callback(token, user_data);
}

TCHAR XrTokenParser::get_last_delimiter()
{
    const TCHAR d = last_delimiter;
    last_delimiter = 0;
    return d;
}

void XrTokenParser::set_reversed(bool reverse)
{
    XR_ASSERT(curr == input);
    reversed = reverse;
    if (reverse && input != nullptr)
        curr = input + std::wcslen(input);
}
