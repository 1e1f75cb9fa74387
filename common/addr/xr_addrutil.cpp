#include "common/addr/xr_addrutil.h"

#include <cwchar>

#include "common/misc/xr_unicodeutil.h"

namespace {

constexpr TCHAR SEPARATOR = L'#';
const TCHAR BLANKS[] = L" \t\r\n\v\f";

bool is_blank(TCHAR c)
{
    return c != 0 && std::wcschr(BLANKS, c) != nullptr;
}

bool all_digits(const XrString& s)
{
    if (s.is_empty())
        return false;
    for (int i = 0; i < s.length(); ++i) {
        if (!is_digit(s.char_at(i)))
            return false;
    }
    return true;
}

// The text between two positions, blanks around it trimmed.
XrString trimmed(const TCHAR* from, const TCHAR* to)
{
    while (from < to && is_blank(*from))
        ++from;
    while (to > from && is_blank(to[-1]))
        --to;
    return XrString(from, static_cast<int>(to - from));
}

// Takes the two parts when the number is all digits and a street remains.
bool take_parts(const XrString& n, const XrString& s, XrString& street, XrString& number)
{
    if (!all_digits(n) || s.is_empty())
        return false;
    street = s;
    number = n;
    return true;
}

bool split_number_first(const TCHAR* line, XrString& street, XrString& number)
{
    const TCHAR* end = line + std::wcslen(line);
    while (line < end && is_blank(*line))
        ++line;
    const TCHAR* blank = line;
    while (blank < end && !is_blank(*blank))
        ++blank;
    if (blank == end)
        return false;
    return take_parts(XrString(line, static_cast<int>(blank - line)), trimmed(blank, end), street, number);
}

bool split_number_last(const TCHAR* line, XrString& street, XrString& number)
{
    const TCHAR* end = line + std::wcslen(line);
    while (end > line && is_blank(end[-1]))
        --end;
    const TCHAR* blank = end;
    while (blank > line && !is_blank(blank[-1]))
        --blank;
    if (blank == line)
        return false;
    return take_parts(XrString(blank, static_cast<int>(end - blank)), trimmed(line, blank), street, number);
}

} // namespace

bool XrAddrUtil::get_county_part(const TCHAR* text, int i, XrString& out)
{
    if (text == nullptr || i < 1 || i > 3)
        return false;
    const TCHAR* start = text;
    for (int k = 1; k < i; ++k) {
        const TCHAR* s = std::wcschr(start, SEPARATOR);
        if (s == nullptr)
            return false;
        start = s + 1;
    }
    const TCHAR* end = std::wcschr(start, SEPARATOR);
    if (end == nullptr)
        end = start + std::wcslen(start);
    out.assign(start, static_cast<int>(end - start));
    return true;
}

bool XrAddrUtil::parse_county_name(const TCHAR* text, XrString& a, XrString& b, XrString& c)
{
    if (text == nullptr)
        return false;
    const TCHAR* first = std::wcschr(text, SEPARATOR);
    const TCHAR* second = first != nullptr ? std::wcschr(first + 1, SEPARATOR) : nullptr;
    if (second == nullptr)
        return false;
    a.assign(text, static_cast<int>(first - text));
    b.assign(first + 1, static_cast<int>(second - first - 1));
    c.assign(second + 1);
    return true;
}

bool XrAddrUtil::parse_city_name(const TCHAR* text, XrString& a)
{
    const TCHAR* first = text != nullptr ? std::wcschr(text, SEPARATOR) : nullptr;
    if (first == nullptr)
        return false;
    a.assign(text, static_cast<int>(first - text));
    return true;
}

void XrAddrUtil::get_last_word(const TCHAR* text, XrString& out)
{
    out.clear();
    if (text == nullptr || *text == 0)
        return;
    const TCHAR* word = text;
    for (const TCHAR* p = text; *p != 0; ++p) {
        if (is_blank(*p))
            word = p + 1;
    }
    out.assign(word);
}

void XrAddrUtil::parse_county_last_word(const TCHAR* text, XrString& out)
{
    XrString second;
    out.clear();
    if (get_county_part(text, 2, second))
        get_last_word(second.c_str(), out);
}

int XrAddrUtil::compare_county_to_string(const TCHAR* text, const TCHAR* prefix, int from_part)
{
    const XrUnicodeUtil* u = XrUnicodeUtil::get_instance();
    XrString folded(prefix);
    u->fold_string(folded);
    const int n = folded.length();
    for (int i = from_part + 1; i <= 3; ++i) {
        XrString part;
        if (!get_county_part(text, i, part))
            break;
        if (u->get_folded_length(part.c_str()) >= n && u->compare_prefix(part.c_str(), folded.c_str(), n) == 0)
            return i;
    }
    return 0;
}

int XrAddrUtil::compare_county_to_string_exact(const TCHAR* text, const TCHAR* s, int from_part)
{
    const XrUnicodeUtil* u = XrUnicodeUtil::get_instance();
    for (int i = from_part + 1; i <= 3; ++i) {
        XrString part;
        if (!get_county_part(text, i, part))
            break;
        if (u->compare(part.c_str(), s != nullptr ? s : L"") == 0)
            return i;
    }
    return 0;
}

bool XrAddrUtil::compare_counties(const TCHAR* t1, const TCHAR* t2, int criteria)
{
    XR_ASSERT(criteria > 0 && criteria < 4);
    XrString a, b;
    if (!get_county_part(t1, criteria, a) || !get_county_part(t2, criteria, b))
        return false;
    return a == b;
}

XrString XrAddrUtil::format_county_name(const TCHAR* text)
{
    XrString a, b, c;
    get_county_part(text, 1, a);
    get_county_part(text, 2, b);
    get_county_part(text, 3, c);
    XrString out;
    out += static_cast<TCHAR>(text != nullptr && XrUnicodeUtil::contains_arabic_characters(text) ? 0x202B : 0x202A);
    out += a;
    if (!b.is_empty() || !c.is_empty()) {
        out += L" (";
        out += c;
        if (!b.is_empty() && !c.is_empty())
            out += L" ";
        out += b;
        out += L")";
    }
    out += static_cast<TCHAR>(0x202C);
    return out;
}

bool XrAddrUtil::split_street_and_number(const TCHAR* line, bool number_last, XrString& street, XrString& number)
{
    if (line == nullptr)
        return false;
    if (number_last)
        return split_number_last(line, street, number) || split_number_first(line, street, number);
    return split_number_first(line, street, number) || split_number_last(line, street, number);
}

void XrAddrUtil::get_last_path_part(const TCHAR* text, XrString& out)
{
    out.clear();
    if (text == nullptr)
        return;
    const TCHAR* gt = std::wcsrchr(text, L'>');
    if (gt == nullptr) {
        out.assign(text);
        return;
    }
    const TCHAR* p = gt + 1;
    while (is_blank(*p))
        ++p;
    out.assign(p);
}
