// The address page's choice and its result over a small address search of
// the test's own: one street with numbers 2-20, one without numbers, and one
// whose number lookup answers (0, 0) for every number.
#include "apps/corvanel/ui/dialogs/xr_addrdlg.h"

#include "common/base/xr_singleton.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr std::uint32_t NUMBERED = 1, UNNUMBERED = 2, BROKEN = 3;

class FakeSearch : public XrAddrSearchProvider {
public:
    FakeSearch() { XrSingleton::set_instance(XrString(L"XrAddrSearchProvider"), static_cast<XrAddrSearchProvider*>(this)); }
    ~FakeSearch() override { XrSingleton::set_instance(XrString(L"XrAddrSearchProvider"), nullptr); }

    void clear_upper_county_filter() override {}
    void set_upper_county_filter(const XrString&) override {}
    bool get_upper_county_filter(XrString&) override { return false; }
    void get_upper_county_name(const XrString&, XrString&) override {}
    // Every search finds the one street of the test (a street in one city).
    void search_streets(const XrString*, const XrPoint*, XrBinaryString<XrAddrSearchStreet>*,
                        XrAddrSearchProviderObserver* observer, int) override
    {
        XrAddrSearchResult r;
        r.kind = XrAddrSearchResult::Street;
        r.name = XrString(L"Mill Lane");
        r.streets.append(XrAddrSearchStreet{7, street});
        r.street_count = 1;
        observer->matching_address_found(&r);
    }
    void search_exact_streets(int, int, XrPoint*, XrBinaryString<XrAddrSearchStreet>*,
                              XrAddrSearchProviderObserver*) override
    {
    }
    XrArray<XrString>* get_upper_counties() override { return nullptr; }
    void search_counties_by_uppercounty(XrString, XrAddrSearchProviderObserver*, int) override {}
    void search_counties(XrString, XrPoint*, XrBinaryString<XrAddrSearchStreet>* allowed,
                         XrAddrSearchProviderObserver* observer, int) override
    {
        XrAddrSearchResult r;
        r.kind = allowed != nullptr ? XrAddrSearchResult::AllowedCounty : XrAddrSearchResult::County;
        r.name = XrString(L"Westfield");
        r.streets.append(XrAddrSearchStreet{7, 0});
        r.street_count = 1;
        observer->matching_address_found(&r);
    }
    void get_house_number_range(int position, int& low, int& high) override
    {
        low = position == NUMBERED ? 2 : -1;
        high = position == NUMBERED ? 20 : -1;
    }
    // Even numbers 2-20 on the numbered street; the closest one otherwise.
    XrPoint get_house_number_position(int position, int& number, bool exact_only) override
    {
        ++lookups;
        if (position == BROKEN)
            return XrPoint(0, 0);
        if (position == UNNUMBERED) {
            if (number < 0 && !exact_only)
                return XrPoint(500, 600);
            number = -1;
            return XrPoint(0, 0);
        }
        if (number >= 2 && number <= 20 && number % 2 == 0)
            return XrPoint(1000 + number, 2000);
        const int closest = number < 2 ? 2 : number > 20 ? 20 : number + 1;
        if (exact_only) {
            number = closest;
            return XrPoint(0, 0);
        }
        number = closest;
        return XrPoint(1000 + closest, 2000);
    }
    bool get_continuations(XrString, XrBinaryString<XrAddrSearchStreet>*, XrArray<XrString>&, int&, int&) override
    {
        return false;
    }
    bool find_street_in_county(const XrString&, const XrString&, int, XrPoint&) override { return false; }

    std::uint32_t street = NUMBERED;
    int lookups = 0;
};

// The dialog without a window: ending it only records that it ended.
class TestDlg : public XrAddrDlg {
public:
    using XrAddrDlg::XrAddrDlg;
    void close_dialog() override { ++closed; }
    int closed = 0;
};

struct Result {
    bool chosen = true; // the dialog must clear it
    XrPoint point{-1, -1};
    XrString name{L"untouched"};
};

// Types a street, lets its search run, chooses it: the city follows and
// the number row has the focus.
void choose_street(TestDlg& dlg, const wchar_t* number)
{
    dlg.text_changed(XrAddrDlg::ROW_STREET, XrString(L"Mil"));
    dlg.search_address();
    dlg.choose_item(0, true);
    dlg.text_changed(XrAddrDlg::ROW_NUMBER, XrString(number));
}

TEST(AddrDlg, CheckingThePageWritesNothingAndLeavingChoosesNothing)
{
    FakeSearch search;
    Result r;
    {
        TestDlg dlg(XrString(L"t"), XrCorvanelDialogFacade::ADDRESS_DESTINATION, nullptr, nullptr, r.chosen, r.point,
                    r.name, nullptr);
        EXPECT_FALSE(r.chosen);
        choose_street(dlg, L"12");
        EXPECT_EQ(dlg.get_focus_row(), XrAddrDlg::ROW_NUMBER);
        EXPECT_EQ(std::wstring(dlg.get_text(XrAddrDlg::ROW_CITY).c_str()), L"Westfield");
        const std::wstring label(dlg.number_label().c_str());
        EXPECT_EQ(label.substr(label.size() - 7), L" (2-20)");
        // The OK button's check, many times over: a place, nothing written.
        for (int i = 0; i < 3; ++i) {
            const XrAddrDlg::AddrOutcome o = dlg.addrcity_check(true);
            EXPECT_TRUE(o.point_produced);
            EXPECT_EQ(o.point.x, 1012);
        }
        EXPECT_FALSE(r.chosen);
        EXPECT_EQ(r.point.x, -1);
        EXPECT_EQ(std::wstring(r.name.c_str()), L"untouched");
        EXPECT_EQ(dlg.closed, 0);
    }
    // Escape or closing the window: the dialog goes without accepting.
    EXPECT_FALSE(r.chosen);
    EXPECT_EQ(r.point.x, -1);
}

TEST(AddrDlg, AcceptedPlaceIsWrittenOnce)
{
    FakeSearch search;
    Result r;
    {
        TestDlg dlg(XrString(L"t"), XrCorvanelDialogFacade::ADDRESS_DESTINATION, nullptr, nullptr, r.chosen, r.point,
                    r.name, nullptr);
        choose_street(dlg, L"12");
        const XrAddrDlg::AddrOutcome o = dlg.addrcity_check(false);
        ASSERT_TRUE(o.point_produced);
        dlg.accept_place(o.point, o.name);
    }
    EXPECT_TRUE(r.chosen);
    EXPECT_EQ(r.point.x, 1012);
    EXPECT_EQ(r.point.y, 2000);
    EXPECT_EQ(std::wstring(r.name.c_str()), L"Mill Lane 12");
}

TEST(AddrDlg, HouseNumberOutcomes)
{
    struct Case {
        std::uint32_t street;
        const wchar_t* typed;
        bool allow_closest;
        bool produced;
        bool exact;
        int number;
        const wchar_t* name;
    } cases[] = {
        {NUMBERED, L"12", false, true, true, 12, L"Mill Lane 12"},
        {NUMBERED, L"", false, true, false, 2, L"Mill Lane 2"}, // empty: 1, quietly the closest
        {NUMBERED, L"13", false, false, false, 14, L""},           // asks first
        {NUMBERED, L"13", true, true, false, 14, L"Mill Lane 14"},
        {NUMBERED, L"12a", true, false, false, 0, L""}, // not a number
        {UNNUMBERED, L"5", false, false, false, -1, L""},
        {UNNUMBERED, L"5", true, true, false, -1, L"Mill Lane"}, // any point of the street
        {BROKEN, L"5", true, false, false, 0, L""},              // (0, 0) is not a place
        {BROKEN, L"", false, false, false, 0, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.street) + " " + std::string(c.typed, c.typed + std::wcslen(c.typed)));
        FakeSearch search;
        search.street = c.street;
        Result r;
        TestDlg dlg(XrString(L"t"), XrCorvanelDialogFacade::ADDRESS_DESTINATION, nullptr, nullptr, r.chosen, r.point,
                    r.name, nullptr);
        choose_street(dlg, c.typed);
        const XrAddrDlg::AddrOutcome o = dlg.addrcity_check(c.allow_closest);
        EXPECT_TRUE(o.complete);
        EXPECT_EQ(o.point_produced, c.produced);
        EXPECT_EQ(o.exact, c.exact);
        if (c.produced || c.number != 0) {
            EXPECT_EQ(o.number, c.number);
        }
        if (c.produced) {
            EXPECT_EQ(std::wstring(o.name.c_str()), c.name);
        }
        EXPECT_FALSE(r.chosen);
    }
}

// While a row's list is open, the page is not complete.
TEST(AddrDlg, OpenListKeepsThePageIncomplete)
{
    FakeSearch search;
    Result r;
    TestDlg dlg(XrString(L"t"), XrCorvanelDialogFacade::ADDRESS_DESTINATION, nullptr, nullptr, r.chosen, r.point,
                r.name, nullptr);
    dlg.text_changed(XrAddrDlg::ROW_STREET, XrString(L"Mil"));
    EXPECT_TRUE(dlg.in_list_mode());
    EXPECT_FALSE(dlg.addrcity_check(true).complete);
    dlg.search_address();
    ASSERT_EQ(dlg.get_rows(XrAddrDlg::ROW_STREET).size(), 1u);
    EXPECT_EQ(std::wstring(dlg.get_rows(XrAddrDlg::ROW_STREET)[0].title.c_str()), L"Mill Lane");
    EXPECT_FALSE(dlg.addrcity_check(true).complete);
}

} // namespace

namespace {

// The coordinates page's fields: degrees are required (an untouched page is
// no place at 0°N 0°E), minutes and seconds default to 0.
TEST(AddrDlg, CoordinateFields)
{
    struct Case {
        const wchar_t *d, *m, *s;
        int max;
        bool ok;
        double value;
    } cases[] = {
        {L"30", L"59", L"42", 90, true, 30 + 59 / 60.0 + 42 / 3600.0},
        {L"24", L"", L"", 180, true, 24},
        {L"0", L"0", L"0", 90, true, 0},
        {L"179", L"30", L"", 180, true, 179.5},
        {L"", L"", L"", 90, false, 0},
        {L"", L"10", L"5", 90, false, 0},
        {L"91", L"", L"", 90, false, 0},
        {L"90", L"1", L"", 90, false, 0},
        {L"12", L"60", L"", 90, false, 0},
        {L"12", L"1", L"60", 90, false, 0},
        {L"1a", L"", L"", 90, false, 0},
        // Decimal degrees and decimal minutes.
        {L"30.995", L"", L"", 90, true, 30.995},
        {L"024,005", L"", L"", 180, true, 24.005},
        {L"30", L"59.7", L"", 90, true, 30 + 59.7 / 60.0},
        {L"90.0001", L"", L"", 90, false, 0},
        {L"30.5", L"10", L"", 90, false, 0},
        {L"30", L"10.5", L"3", 90, false, 0},
        {L"30.9.9", L"", L"", 90, false, 0},
        {L".", L"", L"", 90, false, 0},
        {L"12", L"59.99", L"", 90, true, 12 + 59.99 / 60.0},
    };
    for (const Case& c : cases) {
        double out = -1;
        EXPECT_EQ(XrAddrDlg::degrees_of(XrString(c.d), XrString(c.m), XrString(c.s), c.max, out), c.ok)
            << std::wstring(c.d).size() << " " << c.max;
        if (c.ok) {
            EXPECT_NEAR(out, c.value, 1e-9);
        }
    }
}

} // namespace
