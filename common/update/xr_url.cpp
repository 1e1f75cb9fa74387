#include "common/update/xr_url.h"

#include <string>

namespace {

bool is_alpha(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// The length of a leading "scheme:" (ALPHA *(ALPHA / DIGIT / "+" / "-" /
// ".") ":"), 0 when there is none.
size_t scheme_length(const std::wstring& s)
{
    if (s.empty() || !is_alpha(s[0]))
        return 0;
    for (size_t i = 1; i < s.size(); ++i) {
        wchar_t c = s[i];
        if (c == L':')
            return i + 1;
        if (!is_alpha(c) && !(c >= L'0' && c <= L'9') && c != L'+' && c != L'-' && c != L'.')
            return 0;
    }
    return 0;
}

std::wstring without_fragment(const std::wstring& s)
{
    size_t hash = s.find(L'#');
    return hash == std::wstring::npos ? s : s.substr(0, hash);
}

// RFC 3986 section 5.2.4.
std::wstring remove_dot_segments(std::wstring in)
{
    std::wstring out;
    while (!in.empty()) {
        if (in.compare(0, 3, L"../") == 0)
            in.erase(0, 3);
        else if (in.compare(0, 2, L"./") == 0)
            in.erase(0, 2);
        else if (in.compare(0, 3, L"/./") == 0)
            in.erase(0, 2);
        else if (in == L"/.")
            in = L"/";
        else if (in.compare(0, 4, L"/../") == 0 || in == L"/..") {
            in = in.size() == 3 ? L"/" : in.substr(3);
            size_t last = out.rfind(L'/');
            out.erase(last == std::wstring::npos ? 0 : last);
        } else if (in == L"." || in == L"..")
            in.clear();
        else {
            size_t next = in.find(L'/', in[0] == L'/' ? 1 : 0);
            out += in.substr(0, next);
            in.erase(0, next == std::wstring::npos ? in.size() : next);
        }
    }
    return out;
}

} // namespace

void XrUrl::clear()
{
    *this = XrUrl();
}

bool parse_url(const XrString& text, XrUrl& url)
{
    url.clear();
    std::wstring s = without_fragment(text.c_str());
    XrUrl out;
    size_t colon = s.find(L':');
    if (colon == std::wstring::npos || s.compare(colon + 1, 2, L"//") != 0)
        return false;
    out.scheme = XrString(s.substr(0, colon).c_str());
    size_t p = colon + 3;
    // The authority ends at the path, the query or the end.
    size_t auth_end = s.find_first_of(L"/?", p);
    if (auth_end == std::wstring::npos)
        auth_end = s.size();
    size_t at = s.rfind(L'@', auth_end == 0 ? 0 : auth_end - 1);
    if (at != std::wstring::npos && at >= p && at < auth_end) {
        std::wstring userinfo = s.substr(p, at - p);
        size_t split = userinfo.find(L':');
        out.has_user = true;
        out.user = XrString(userinfo.substr(0, split).c_str());
        if (split != std::wstring::npos) {
            out.has_password = true;
            out.password = XrString(userinfo.substr(split + 1).c_str());
        }
        p = at + 1;
    }
    if (p < s.size() && s[p] == L'[') {
        size_t close = s.find(L']', p);
        if (close == std::wstring::npos || close > auth_end)
            return false;
        out.host = XrString(s.substr(p + 1, close - p - 1).c_str());
        p = close + 1;
    } else {
        size_t host_end = s.find(L':', p);
        if (host_end == std::wstring::npos || host_end > auth_end)
            host_end = auth_end;
        out.host = XrString(s.substr(p, host_end - p).c_str());
        p = host_end;
    }
    if (p < s.size() && s[p] == L':') {
        ++p;
        if (p >= s.size() || s[p] < L'0' || s[p] > L'9')
            return false;
        long port = 0;
        while (p < s.size() && s[p] >= L'0' && s[p] <= L'9') {
            port = port * 10 + (s[p] - L'0');
            if (port >= 65536)
                return false;
            ++p;
        }
        out.port = static_cast<int>(port);
    }
    if (p < s.size()) {
        if (s[p] == L'/')
            ++p;
        else if (s[p] != L'?')
            return false;
    }
    size_t question = s.find(L'?', p);
    out.path = XrString(s.substr(p, question == std::wstring::npos ? std::wstring::npos : question - p).c_str());
    if (question != std::wstring::npos) {
        out.has_query = true;
        out.query = XrString(s.substr(question + 1).c_str());
    }
    url = out;
    return true;
}

bool url_text_is_safe(const XrString& text)
{
    for (int i = 0; i < text.length(); ++i) {
        TCHAR c = text.char_at(i);
        if (c <= 0x20 || c == 0x7F || c > 0xFF)
            return false;
    }
    return true;
}

bool resolve_url(const XrString& base_text, const XrString& location, XrString& out)
{
    std::wstring ref = without_fragment(location.c_str());
    if (ref.size() > max_url_length)
        return false;
    if (scheme_length(ref) > 0) {
        out = XrString(ref.c_str());
        return true;
    }
    std::wstring base = without_fragment(base_text.c_str());
    size_t scheme_end = scheme_length(base);
    if (scheme_end == 0 || base.compare(scheme_end, 2, L"//") != 0)
        return false;
    size_t auth_start = scheme_end + 2;
    size_t auth_end = base.find_first_of(L"/?", auth_start);
    if (auth_end == std::wstring::npos)
        auth_end = base.size();
    std::wstring prefix = base.substr(0, auth_end); // scheme "://" authority
    size_t query_start = base.find(L'?', auth_end);
    std::wstring base_path = base.substr(auth_end, query_start == std::wstring::npos ? std::wstring::npos
                                                                                      : query_start - auth_end);
    std::wstring result;
    if (ref.compare(0, 2, L"//") == 0) {
        result = base.substr(0, scheme_end) + ref;
    } else if (ref.empty()) {
        result = base;
    } else if (ref[0] == L'?') {
        result = prefix + base_path + ref;
    } else {
        size_t ref_query = ref.find(L'?');
        std::wstring ref_path = ref.substr(0, ref_query);
        std::wstring ref_tail = ref_query == std::wstring::npos ? std::wstring() : ref.substr(ref_query);
        std::wstring merged;
        if (ref_path[0] == L'/') {
            merged = ref_path;
        } else if (base_path.empty()) {
            merged = L"/" + ref_path;
        } else {
            merged = base_path.substr(0, base_path.rfind(L'/') + 1) + ref_path;
        }
        result = prefix + remove_dot_segments(merged) + ref_tail;
    }
    if (result.size() > max_url_length)
        return false;
    out = XrString(result.c_str());
    return true;
}
