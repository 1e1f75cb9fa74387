// The contact search ("XrContactSearchProvider"): the user's contacts whose
// name matches the typed text, and the addresses of one contact, each with
// its place on the map.
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_string.h"

struct XrContactSearchResult {
    enum Type : int {
        Contact = 0,        // a contact (texts: name, first address)
        AddressPoint = 1,   // an address with its place (x, y)
        AddressNumber = 2,  // an address by street record and house number
    };
    int type = Contact;
    XrString text1;
    XrString text2;
    int contact_id = -1;
    int x = 0; // map units
    int y = 0;
    int street_id = 0;
    int house_number = 0;
};

class XrContactSearchProviderObserver {
public:
    // One result, valid during the call; never null.
    virtual void matching_contact_found(XrContactSearchResult* result) = 0;

protected:
    ~XrContactSearchProviderObserver() = default;
};

class XrContactSearchProvider : public XrSingleton {
public:
    ~XrContactSearchProvider() override = default;
    // Reads the address book again before a search session.
    virtual void prepare() = 0;
    // The contacts one of whose name words begins with the text (empty:
    // all), in name order.
    virtual void search_contacts(const XrString& text, XrContactSearchProviderObserver* observer) = 0;
    // The addresses of the contact that lie on the map.
    virtual void search_addresses(const XrString& text, int contact_id, XrContactSearchProviderObserver* observer) = 0;
};
