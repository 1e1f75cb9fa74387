// The address dialog's contacts page over a contact search of the test's
// own: the start row, the contacts, one contact's addresses behind the back
// row, and the place an address gives.
#include "apps/corvanel/ui/dialogs/xr_addrdlg.h"

#include "common/base/xr_singleton.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Two contacts; Ann has a place, a street address and an address that is
// nowhere; Bob has none. Street addresses are located by FakeStreets.
class FakeContacts : public XrContactSearchProvider {
public:
    FakeContacts() { XrSingleton::set_instance(XrString(L"XrContactSearchProvider"), this); }
    ~FakeContacts() override { XrSingleton::set_instance(XrString(L"XrContactSearchProvider"), nullptr); }
    void prepare() override { ++prepared; }
    void search_contacts(const XrString& text, XrContactSearchProviderObserver* observer) override
    {
        ++searches;
        const wchar_t* names[] = {L"Ann", L"Bob"};
        for (int i = 0; i < 2; ++i) {
            if (std::wstring(names[i]).rfind(text.c_str(), 0) != 0)
                continue;
            XrContactSearchResult r;
            r.text1 = XrString(names[i]);
            r.contact_id = 10 + i;
            observer->matching_contact_found(&r);
        }
    }
    void search_addresses(const XrString&, int contact_id, XrContactSearchProviderObserver* observer) override
    {
        last_contact = contact_id;
        if (contact_id != 10)
            return;
        XrContactSearchResult a;
        a.type = XrContactSearchResult::AddressPoint;
        a.text1 = XrString(L"Harbour");
        a.x = 500;
        a.y = 600;
        observer->matching_contact_found(&a);
        XrContactSearchResult b;
        b.type = XrContactSearchResult::AddressNumber;
        b.text1 = XrString(L"Main Street 7");
        b.street_id = 77;
        b.house_number = 7;
        observer->matching_contact_found(&b);
        XrContactSearchResult c = b;
        c.text1 = XrString(L"Nowhere Lane 1");
        c.street_id = 88;
        observer->matching_contact_found(&c);
    }
    int prepared = 0;
    int searches = 0;
    int last_contact = -1;
};

// The house-number place: street 77 has its numbers, street 88 answers
// (0, 0) however asked.
class FakeStreets : public XrAddrSearchProvider {
public:
    FakeStreets() { XrSingleton::set_instance(XrString(L"XrAddrSearchProvider"), this); }
    ~FakeStreets() override { XrSingleton::set_instance(XrString(L"XrAddrSearchProvider"), nullptr); }
    void clear_upper_county_filter() override {}
    void set_upper_county_filter(const XrString&) override {}
    bool get_upper_county_filter(XrString&) override { return false; }
    void get_upper_county_name(const XrString&, XrString&) override {}
    void search_streets(const XrString*, const XrPoint*, XrBinaryString<XrAddrSearchStreet>*,
                        XrAddrSearchProviderObserver*, int) override {}
    void search_exact_streets(int, int, XrPoint*, XrBinaryString<XrAddrSearchStreet>*,
                              XrAddrSearchProviderObserver*) override {}
    XrArray<XrString>* get_upper_counties() override { return nullptr; }
    void search_counties_by_uppercounty(XrString, XrAddrSearchProviderObserver*, int) override {}
    void search_counties(XrString, XrPoint*, XrBinaryString<XrAddrSearchStreet>*, XrAddrSearchProviderObserver*,
                         int) override {}
    void get_house_number_range(int, int& low, int& high) override { low = high = -1; }
    XrPoint get_house_number_position(int street, int& number, bool) override
    {
        return street == 77 ? XrPoint(700 + number, 800) : XrPoint(0, 0);
    }
    bool get_continuations(XrString, XrBinaryString<XrAddrSearchStreet>*, XrArray<XrString>&, int&, int&) override
    {
        return false;
    }
    bool find_street_in_county(const XrString&, const XrString&, int, XrPoint&) override { return false; }
};

class TestDlg : public XrAddrDlg {
public:
    using XrAddrDlg::XrAddrDlg;
    void close_dialog() override { ++closed; }
    int closed = 0;
};

std::vector<int> kinds(const std::vector<XrAddrDlg::ContactRow>& rows)
{
    std::vector<int> out;
    for (const auto& r : rows)
        out.push_back(r.kind);
    return out;
}

struct ContactsPage : ::testing::Test {
    FakeContacts contacts;
    FakeStreets streets;
    bool chosen = true;
    XrPoint point{-1, -1};
    XrString name{L"untouched"};
    TestDlg dlg{XrString(L"t"), XrCorvanelDialogFacade::ADDRESS_DESTINATION, nullptr, nullptr, chosen, point, name,
                nullptr};
};

TEST_F(ContactsPage, StartRowThenContactsThenAddressesAndBack)
{
    using K = XrAddrDlg::ContactKind;
    dlg.search_contacts();
    EXPECT_EQ(kinds(dlg.get_contact_rows()), (std::vector<int>{K::CONTACT_SEARCH}));
    EXPECT_EQ(contacts.searches, 0);
    // The start row reads the address book and lists every contact.
    EXPECT_FALSE(dlg.choose_contact(0));
    EXPECT_EQ(contacts.prepared, 1);
    EXPECT_EQ(kinds(dlg.get_contact_rows()), (std::vector<int>{K::CONTACT, K::CONTACT}));

    dlg.contact_text_changed(XrString(L"Zed"));
    dlg.search_contacts();
    EXPECT_EQ(kinds(dlg.get_contact_rows()), (std::vector<int>{K::CONTACT_INFO}));
    EXPECT_FALSE(dlg.choose_contact(0)); // the no-results row does nothing

    dlg.contact_text_changed(XrString(L"An"));
    dlg.search_contacts();
    ASSERT_EQ(kinds(dlg.get_contact_rows()), (std::vector<int>{K::CONTACT}));
    EXPECT_FALSE(dlg.choose_contact(0));
    EXPECT_TRUE(dlg.contact_addresses_shown());
    EXPECT_EQ(contacts.last_contact, 10);
    EXPECT_TRUE(dlg.get_contact_text().is_empty()); // the edit is emptied for the addresses
    EXPECT_EQ(kinds(dlg.get_contact_rows()),
              (std::vector<int>{K::CONTACT_BACK, K::CONTACT_ADDRESS, K::CONTACT_NUMBER, K::CONTACT_NUMBER}));

    // Back returns to the contacts with the text as it was.
    EXPECT_FALSE(dlg.choose_contact(0));
    EXPECT_FALSE(dlg.contact_addresses_shown());
    EXPECT_EQ(std::wstring(dlg.get_contact_text().c_str()), L"An");
    EXPECT_EQ(kinds(dlg.get_contact_rows()), (std::vector<int>{K::CONTACT}));

    // A contact without addresses on the map shows the no-results row.
    dlg.contact_text_changed(XrString(L"Bo"));
    dlg.search_contacts();
    EXPECT_FALSE(dlg.choose_contact(0));
    EXPECT_EQ(kinds(dlg.get_contact_rows()), (std::vector<int>{K::CONTACT_BACK, K::CONTACT_INFO}));
    EXPECT_FALSE(dlg.choose_contact(1));
    EXPECT_EQ(dlg.closed, 0);
    EXPECT_FALSE(chosen);
}

TEST_F(ContactsPage, AnAddressIsThePlaceNamedAfterTheContact)
{
    struct Case {
        int row;
        bool chosen;
        XrPoint point;
    } cases[] = {
        {3, false, XrPoint(-1, -1)}, // the street answers (0, 0): not found, nothing chosen
        {2, true, XrPoint(707, 800)},
        {1, true, XrPoint(500, 600)},
    };
    int closed = 0;
    dlg.search_contacts();
    dlg.choose_contact(0); // the start row
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        dlg.choose_contact(0); // Ann
        ASSERT_TRUE(dlg.contact_addresses_shown());
        EXPECT_EQ(dlg.choose_contact(c.row), c.chosen);
        closed += c.chosen;
        EXPECT_EQ(dlg.closed, closed);
        EXPECT_EQ(chosen, c.chosen);
        EXPECT_EQ(point.x, c.point.x);
        EXPECT_EQ(point.y, c.point.y);
        EXPECT_EQ(std::wstring(name.c_str()), c.chosen ? L"Ann" : L"untouched");
        dlg.choose_contact(0); // back to the contacts
    }
}

} // namespace
