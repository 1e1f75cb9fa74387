// The contact search over a plain contacts file in the user folder,
// "~/.kestrova/contacts.txt": UTF-8 lines "NAME|ADDRESS" (a byte-order mark,
// empty lines and "#" lines are passed over). ADDRESS is "STREET NUMBER,
// CITY" (number and city may be left out) or decimal degrees "LAT,LON".
// Lines of one name are one contact with several addresses. A line that
// is not of this form is skipped with a message on standard error.
#pragma once

#include <string>
#include <vector>

#include "common/corvanel_core/interfaces/xr_contactsearchprovider.h"
#include "common/geometry/xr_point.h"

class XrContactSearchProviderImpl : public XrContactSearchProvider {
public:
    // The file read by default, under the root's home folder.
    static std::string default_path();

    explicit XrContactSearchProviderImpl(std::string path = default_path());

    void prepare() override;
    void search_contacts(const XrString& text, XrContactSearchProviderObserver* observer) override;
    void search_addresses(const XrString& text, int contact_id, XrContactSearchProviderObserver* observer) override;

    // One address of a contact as written in the file.
    struct Address {
        XrString text;
        bool is_point = false;  // decimal degrees
        double lat = 0, lon = 0;
        XrString street;        // else street, number (0: none) and city
        int number = 0;
        XrString city;
    };
    // Reads an address; false when it is neither form.
    static bool parse_address(const XrString& text, Address& out);

    int contact_count() const { return static_cast<int>(m_contacts.size()); }

private:
    struct Contact {
        XrString name;
        std::vector<Address> addresses;
    };
    void load();
    bool matches(const Contact& c, const XrString& folded) const;

    std::string m_path;
    bool m_loaded = false;
    std::vector<Contact> m_contacts;
};
