// URLs as the HTTP client takes them: scheme "://" [user [":" password] "@"]
// host [":" port] ["/" path] ["?" query], and the resolution of a redirect's
// Location against the URL of the request.
#pragma once

#include "common/container/xr_string.h"

#include <cstddef>

struct XrUrl {
    // Each part is absent or present; absent parts are empty.
    XrString scheme;
    XrString user;
    XrString password;
    XrString host;
    int port = 0; // 0 = none
    XrString path; // without its leading '/'
    XrString query;
    bool has_user = false;
    bool has_password = false;
    bool has_query = false;

    void clear();
};

// Splits text into url; false (every part cleared) when the text breaks a
// rule: no "://" after the scheme, no ']' after a '[' host, a ':' after the
// host without digits, a port of 65536 or more, or anything but '/', '?' or
// the end after host and port. A fragment ("#...") is dropped.
bool parse_url(const XrString& text, XrUrl& url);

// True when every character of a URL can go on the wire as it is: no
// control characters, spaces or characters beyond Latin-1.
bool url_text_is_safe(const XrString& text);

// Longest URL resolve_url makes.
constexpr size_t max_url_length = 16384;

// The absolute URL that location names, read relative to base (an absolute
// URL): an absolute location as it is, else a network-path, absolute-path,
// query-only or relative-path reference resolved the usual way, with "."
// and ".." segments removed. False when base cannot serve as a base or the
// result would be longer than max_url_length.
bool resolve_url(const XrString& base, const XrString& location, XrString& out);
