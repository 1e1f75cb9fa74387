// The contacts file: the two address forms, lines that are skipped, one
// contact per name, and the name search by word beginnings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/base/xr_root.h"
#include "common/corvanel_core/impl/xr_contactsearchproviderimpl.h"
#include "support/xr_temp_root.h"

namespace {

// The contacts file's place below the test's root.
std::string contacts_file(const XrTempRoot& root)
{
    return XrRoot::home_dir().substr(root.dir().size()) + "/.kestrova/contacts.txt";
}

struct Collect : XrContactSearchProviderObserver {
    std::vector<XrContactSearchResult> got;
    void matching_contact_found(XrContactSearchResult* r) override { got.push_back(*r); }
    std::vector<std::wstring> names() const
    {
        std::vector<std::wstring> out;
        for (const auto& r : got)
            out.emplace_back(r.text1.c_str());
        return out;
    }
};

TEST(ContactAddress, FormsAndRefusals)
{
    struct Case {
        const wchar_t* text;
        bool ok;
        bool point;
        double lat, lon;
        const wchar_t* street;
        int number;
        const wchar_t* city;
    } cases[] = {
        {L"Harbour Road 12, Westfield", true, false, 0, 0, L"Harbour Road", 12, L"Westfield"},
        {L"Harbour Road, Westfield", true, false, 0, 0, L"Harbour Road", 0, L"Westfield"},
        {L"Harbour Road 12", true, false, 0, 0, L"Harbour Road", 12, L""},
        {L"  Rue 9 Mai 4 ,  Est ", true, false, 0, 0, L"Rue 9 Mai", 4, L"Est"},
        {L"30.995,-24.005", true, true, 30.995, -24.005, L"", 0, L""},
        {L"-12.5, 100", true, true, -12.5, 100, L"", 0, L""},
        {L"91.0,10.0", false, false, 0, 0, L"", 0, L""},  // no latitude
        {L"10.0,181", false, false, 0, 0, L"", 0, L""},   // no longitude
        {L"", false, false, 0, 0, L"", 0, L""},
        {L"12, Westfield", false, false, 0, 0, L"", 0, L""}, // a number without a street
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text, c.text + wcslen(c.text)));
        XrContactSearchProviderImpl::Address a;
        ASSERT_EQ(XrContactSearchProviderImpl::parse_address(XrString(c.text), a), c.ok);
        if (!c.ok)
            continue;
        EXPECT_EQ(a.is_point, c.point);
        if (c.point) {
            EXPECT_DOUBLE_EQ(a.lat, c.lat);
            EXPECT_DOUBLE_EQ(a.lon, c.lon);
        } else {
            EXPECT_EQ(std::wstring(a.street.c_str()), c.street);
            EXPECT_EQ(a.number, c.number);
            EXPECT_EQ(std::wstring(a.city.c_str()), c.city);
        }
    }
}

TEST(ContactSearch, BadLinesAreSkippedAndNamesGrouped)
{
    XrTempRoot root;
    const std::string path = root.write_file(contacts_file(root),
                                             "\xEF\xBB\xBF"
                                             "# the user's contacts\n"
                                             "Zoe Miller|Harbour Road 12, Westfield\r\n"
                                             "no separator on this line\n"
                                             "|Harbour Road 3\n"
                                             "Bad Address|   \n"
                                             "Anna M\xC3\xBCller-Smith|30.995,-24.005\n"
                                             "Zoe Miller|31.0,-24.0\n"
                                             "\xFF\xFE broken bytes|\n"
                                             "Bob Stone|Main Street\n");
    EXPECT_EQ(path, XrContactSearchProviderImpl::default_path());
    XrContactSearchProviderImpl provider;
    Collect all;
    provider.search_contacts(XrString(L""), &all);
    EXPECT_EQ(all.names(), (std::vector<std::wstring>{L"Anna M\u00fcller-Smith", L"Bob Stone", L"Zoe Miller"}));
    ASSERT_EQ(all.got.size(), 3u);
    EXPECT_EQ(std::wstring(all.got[2].text2.c_str()), L"Harbour Road 12, Westfield"); // the first address
    for (const auto& r : all.got)
        EXPECT_EQ(r.type, XrContactSearchResult::Contact);

    struct Case {
        const wchar_t* text;
        std::vector<std::wstring> names;
    } cases[] = {
        {L"mi", {L"Zoe Miller"}},
        {L"MUL", {L"Anna M\u00fcller-Smith"}},   // accents and case folded
        {L"smi", {L"Anna M\u00fcller-Smith"}},   // a later word of the name
        {L"zoe mil", {L"Zoe Miller"}},          // across words
        {L"iller", {}},                          // not a word beginning
        {L"x", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text, c.text + wcslen(c.text)));
        Collect got;
        provider.search_contacts(XrString(c.text), &got);
        EXPECT_EQ(got.names(), c.names);
    }
}

TEST(ContactSearch, MissingFileAndUnknownContactGiveNothing)
{
    XrTempRoot root;
    XrContactSearchProviderImpl provider;
    provider.prepare();
    Collect got;
    provider.search_contacts(XrString(L""), &got);
    provider.search_addresses(XrString(L""), 0, &got);
    provider.search_addresses(XrString(L""), -1, &got);
    EXPECT_TRUE(got.got.empty());
    EXPECT_EQ(provider.contact_count(), 0);
    // A file written later is read by the next prepare.
    root.write_file(contacts_file(root), "Ann|Main Street 1\n");
    provider.prepare();
    EXPECT_EQ(provider.contact_count(), 1);
}

} // namespace
