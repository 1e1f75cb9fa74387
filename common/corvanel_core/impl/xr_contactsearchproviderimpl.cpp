#include "common/corvanel_core/impl/xr_contactsearchproviderimpl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <cwctype>

#include "common/base/xr_root.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_addrsearchprovider.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/misc/xr_unicodeutil.h"
#include "common/types/xr_coordinate.h"

namespace {

void log_line(const char* what, const XrString& line)
{
    std::string text;
    xr_userfile::append_utf8(text, line);
    std::fprintf(stderr, "kestrova-navigator: contacts: %s: \"%s\"\n", what, text.c_str());
}

// A decimal number with an optional sign and fraction, the whole text.
bool parse_decimal(const XrString& text, double& out)
{
    const wchar_t* s = text.c_str();
    if (s == nullptr)
        return false;
    bool negative = false;
    if (*s == L'-' || *s == L'+')
        negative = *s++ == L'-';
    double value = 0, scale = 1;
    int digits = 0;
    bool fraction = false;
    for (; *s != 0; ++s) {
        if (*s == L'.' && !fraction) {
            fraction = true;
            continue;
        }
        if (*s < L'0' || *s > L'9' || digits > 15)
            return false;
        ++digits;
        if (fraction)
            value += (*s - L'0') * (scale /= 10);
        else
            value = value * 10 + (*s - L'0');
    }
    if (digits == 0)
        return false;
    out = negative ? -value : value;
    return true;
}

} // namespace

std::string XrContactSearchProviderImpl::default_path() { return XrRoot::home_dir() + "/.kestrova/contacts.txt"; }

XrContactSearchProviderImpl::XrContactSearchProviderImpl(std::string path) : m_path(std::move(path)) {}

bool XrContactSearchProviderImpl::parse_address(const XrString& text, Address& out)
{
    out = Address();
    out.text = xr_userfile::trimmed(text);
    std::wstring all(out.text.c_str());
    if (all.empty())
        return false;
    const size_t comma = all.find(L',');
    double lat = 0, lon = 0;
    if (comma != std::wstring::npos &&
        parse_decimal(xr_userfile::trimmed(XrString(all.substr(0, comma).c_str())), lat) &&
        parse_decimal(xr_userfile::trimmed(XrString(all.substr(comma + 1).c_str())), lon)) {
        if (std::fabs(lat) > 90 || std::fabs(lon) > 180)
            return false;
        out.is_point = true;
        out.lat = lat;
        out.lon = lon;
        return true;
    }
    std::wstring street = comma == std::wstring::npos ? all : all.substr(0, comma);
    if (comma != std::wstring::npos)
        out.city = xr_userfile::trimmed(XrString(all.substr(comma + 1).c_str()));
    // A trailing word of digits is the house number.
    while (!street.empty() && street.back() == L' ')
        street.pop_back();
    const size_t blank = street.find_last_of(L' ');
    if (blank != std::wstring::npos) {
        int number = 0;
        if (xr_userfile::parse_int(XrString(street.substr(blank + 1).c_str()), number) && number > 0) {
            out.number = number;
            street.resize(blank);
        }
    }
    out.street = xr_userfile::trimmed(XrString(street.c_str()));
    // A street name holds a letter; a bare number is no street.
    int letters = 0;
    for (const wchar_t* c = out.street.c_str(); c != nullptr && *c != 0; ++c)
        letters += std::iswalpha(static_cast<wint_t>(*c)) != 0;
    return letters > 0;
}

void XrContactSearchProviderImpl::load()
{
    m_contacts.clear();
    m_loaded = true;
    std::vector<XrString> lines;
    if (!xr_userfile::read_lines(XrString(m_path.c_str()), lines))
        return; // no address book: no contacts
    for (const XrString& line : lines) {
        const std::vector<XrString> fields = xr_userfile::split_fields(line, 2);
        if (fields.size() != 2) {
            log_line("line without \"NAME|ADDRESS\" skipped", line);
            continue;
        }
        const XrString name = xr_userfile::trimmed(xr_userfile::unescape(fields[0]));
        Address address;
        if (name.is_empty() || !parse_address(xr_userfile::unescape(fields[1]), address)) {
            log_line(name.is_empty() ? "line without a name skipped" : "line with an unreadable address skipped", line);
            continue;
        }
        auto same = std::find_if(m_contacts.begin(), m_contacts.end(),
                                 [&](const Contact& c) { return c.name == name; });
        if (same == m_contacts.end()) {
            m_contacts.push_back(Contact{name, {}});
            same = m_contacts.end() - 1;
        }
        same->addresses.push_back(address);
    }
    const XrUnicodeUtil* uu = XrUnicodeUtil::get_instance();
    std::stable_sort(m_contacts.begin(), m_contacts.end(), [uu](const Contact& a, const Contact& b) {
        return uu->compare(a.name.c_str(), b.name.c_str()) < 0;
    });
}

void XrContactSearchProviderImpl::prepare() { load(); }

bool XrContactSearchProviderImpl::matches(const Contact& c, const XrString& folded) const
{
    const int n = folded.length();
    if (n == 0)
        return true;
    const XrUnicodeUtil* uu = XrUnicodeUtil::get_instance();
    const wchar_t* name = c.name.c_str();
    for (const wchar_t* p = name; *p != 0; ++p) {
        const bool word_start = p == name || p[-1] == L' ' || p[-1] == L'-';
        if (word_start && uu->get_folded_length(p) >= n && uu->compare_prefix(p, folded.c_str(), n) == 0)
            return true;
    }
    return false;
}

void XrContactSearchProviderImpl::search_contacts(const XrString& text, XrContactSearchProviderObserver* observer)
{
    if (!m_loaded)
        load();
    if (observer == nullptr)
        return;
    XrString folded(text);
    XrUnicodeUtil::get_instance()->fold_string(folded);
    for (size_t i = 0; i < m_contacts.size(); ++i) {
        const Contact& c = m_contacts[i];
        if (!matches(c, folded))
            continue;
        XrContactSearchResult result;
        result.type = XrContactSearchResult::Contact;
        result.text1 = c.name;
        result.text2 = c.addresses.front().text;
        result.contact_id = static_cast<int>(i);
        observer->matching_contact_found(&result);
    }
}

void XrContactSearchProviderImpl::search_addresses(const XrString&, int contact_id,
                                                   XrContactSearchProviderObserver* observer)
{
    if (!m_loaded)
        load();
    if (observer == nullptr || contact_id < 0 || contact_id >= static_cast<int>(m_contacts.size()))
        return;
    XrMapProvider* map = xr_map_provider();
    XrProjection* projection = map != nullptr ? map->get_projection() : nullptr;
    auto* streets = xr_registered<XrAddrSearchProvider>(L"XrAddrSearchProvider");
    for (const Address& a : m_contacts[static_cast<size_t>(contact_id)].addresses) {
        XrContactSearchResult result;
        result.type = XrContactSearchResult::AddressPoint;
        result.text1 = a.text;
        result.contact_id = contact_id;
        XrPoint point(0, 0);
        if (a.is_point && projection != nullptr)
            point = XrCoordinate(a.lon, a.lat).to_point(projection);
        else if (!a.is_point && streets != nullptr)
            streets->find_street_in_county(a.street, a.city, a.number > 0 ? a.number : 1, point);
        if (point.x == 0 && point.y == 0) {
            log_line("address not on the map", a.text);
            continue;
        }
        result.x = point.x;
        result.y = point.y;
        observer->matching_contact_found(&result);
    }
}
