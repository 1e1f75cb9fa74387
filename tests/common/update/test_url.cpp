#include "common/update/xr_url.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string narrow(const XrString& s)
{
    return wide_to_narrow_static(s.c_str());
}

// The parts as one text: scheme|user|password|host|port|path|query, with
// "-" for an absent user, password or query.
std::string parts(const XrUrl& u)
{
    return narrow(u.scheme) + "|" + (u.has_user ? narrow(u.user) : "-") + "|" +
           (u.has_password ? narrow(u.password) : "-") + "|" + narrow(u.host) + "|" + std::to_string(u.port) + "|" +
           narrow(u.path) + "|" + (u.has_query ? narrow(u.query) : "-");
}

} // namespace

TEST(ParseUrl, Table)
{
    struct Case {
        const char* text;
        const char* parts; // null: rejected
    } cases[] = {
        {"http://host", "http|-|-|host|0||-"},
        {"http://host/", "http|-|-|host|0||-"},
        {"http://u:p@h:8080/a/b?x=1", "http|u|p|h|8080|a/b|x=1"},
        {"http://u@h/", "http|u|-|h|0||-"},
        {"http://host:0/x", "http|-|-|host|0|x|-"},
        {"http://host:65535/x", "http|-|-|host|65535|x|-"},
        {"http://[fe80::1]:81/v6", "http|-|-|fe80::1|81|v6|-"},
        {"http://host/a:b", "http|-|-|host|0|a:b|-"},
        {"http://host/a@b", "http|-|-|host|0|a@b|-"},
        {"http://host/p?", "http|-|-|host|0|p|"},
        {"http://host?q=1", "http|-|-|host|0||q=1"},
        {"http://host/p#frag", "http|-|-|host|0|p|-"},
        {"ftp://files.example/pub", "ftp|-|-|files.example|0|pub|-"},
        {"http://host:", nullptr},
        {"http://host:x/", nullptr},
        {"http://host:70000/", nullptr},
        {"http://host:65536/", nullptr},
        {"http://[fe80::1/", nullptr},
        {"http://host:80x/", nullptr},
        {"http:/host", nullptr},
        {"host/path", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        XrUrl url;
        url.host = L"stale";
        bool ok = parse_url(XrString(c.text), url);
        EXPECT_EQ(ok, c.parts != nullptr);
        EXPECT_EQ(parts(url), c.parts != nullptr ? c.parts : "|-|-||0||-");
    }
}

TEST(ResolveUrl, Table)
{
    const char* base = "http://u@h:81/a/b/c?q#f";
    struct Case {
        const char* location;
        const char* expected; // null: refused
    } cases[] = {
        {"http://other/x", "http://other/x"},
        {"HTTPS://other/x", "HTTPS://other/x"},
        {"//other:82/y", "http://other:82/y"},
        {"/abs/path?z=1", "http://u@h:81/abs/path?z=1"},
        {"?only", "http://u@h:81/a/b/c?only"},
        {"d", "http://u@h:81/a/b/d"},
        {"./d/", "http://u@h:81/a/b/d/"},
        {"../d", "http://u@h:81/a/d"},
        {"../../../../d", "http://u@h:81/d"},
        {"/a/./b/../c", "http://u@h:81/a/c"},
        {"d#frag", "http://u@h:81/a/b/d"},
        {"", "http://u@h:81/a/b/c?q"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.location);
        XrString out;
        EXPECT_TRUE(resolve_url(XrString(base), XrString(c.location), out));
        EXPECT_EQ(narrow(out), c.expected);
    }
    XrString out;
    EXPECT_TRUE(resolve_url(XrString("http://h"), XrString("x"), out));
    EXPECT_EQ(narrow(out), "http://h/x");
    EXPECT_FALSE(resolve_url(XrString("not a url"), XrString("x"), out));
    EXPECT_FALSE(resolve_url(XrString("http://h/"), XrString(std::string(max_url_length + 1, 'a').c_str()), out));
}

TEST(UrlText, SafeCharacters)
{
    EXPECT_TRUE(url_text_is_safe(XrString("http://h/a%20b?x=\xe9")));
    EXPECT_FALSE(url_text_is_safe(XrString("http://h/a b")));
    EXPECT_FALSE(url_text_is_safe(XrString("http://h/a\tb")));
    EXPECT_FALSE(url_text_is_safe(XrString("http://h/\x7f")));
    const TCHAR wide[] = {L'h', 0x0100, 0};
    EXPECT_FALSE(url_text_is_safe(XrString(wide)));
}
