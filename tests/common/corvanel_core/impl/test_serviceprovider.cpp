#include "common/corvanel_core/impl/xr_serviceproviderimpl.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// The platform dialog: records its texts and counts its deletions.
class FakeDialog : public XrBusyDlg {
public:
    explicit FakeDialog(const XrString& text) { texts.push_back(text); }
    ~FakeDialog() override { ++closed; }
    void set_text(const XrString& text) override { texts.push_back(text); }
    std::vector<XrString> texts;
    static inline int created = 0;
    static inline int closed = 0;
    static inline FakeDialog* last = nullptr;
};

XrBusyDlg* make_dialog(const XrString&, const XrString& text, XrBusyDlgObserver*)
{
    ++FakeDialog::created;
    return FakeDialog::last = new FakeDialog(text);
}

class Observer : public XrBusyDlgObserver {
public:
    void cancelled() override { ++calls; }
    int calls = 0;
};

class BusyDialogTest : public ::testing::Test {
protected:
    BusyDialogTest()
    {
        FakeDialog::created = FakeDialog::closed = 0;
        XrBusyDlg::set_factory(make_dialog);
    }
    ~BusyDialogTest() override { XrBusyDlg::set_factory(nullptr); }
    XrGlobalBusyDialogImpl busy;
    Observer observer;
};

} // namespace

TEST(ServiceProvider, HandsOutTheAggregate)
{
    auto* aggregate = reinterpret_cast<XrServiceAggregate*>(0x1000);
    XrServiceProviderImpl services(aggregate);
    EXPECT_EQ(services.get_service_aggregate(), aggregate);
}

TEST_F(BusyDialogTest, ASecondBeginKeepsTheFirstTitle)
{
    busy.begin(XrString(L"first"), XrString(L"a"), &observer);
    busy.begin(XrString(L"second"), XrString(L"b"), nullptr);
    EXPECT_EQ(busy.get_title(), L"first");
    EXPECT_EQ(busy.get_text_count(), 1);
    EXPECT_TRUE(busy.is_active());
    EXPECT_FALSE(busy.is_shown());
}

TEST_F(BusyDialogTest, ShowTwiceMakesOneDialogWithTheTopText)
{
    busy.begin(XrString(L"t"), XrString(L"a"), nullptr);
    busy.push_text(XrString(L"b"));
    busy.show();
    busy.show();
    EXPECT_EQ(FakeDialog::created, 1);
    EXPECT_EQ(FakeDialog::last->texts.back(), L"b");
    busy.pop_text();
    EXPECT_EQ(FakeDialog::last->texts.back(), L"a");
    busy.end();
    EXPECT_EQ(FakeDialog::closed, 1);
    EXPECT_FALSE(busy.is_active());
}

TEST_F(BusyDialogTest, PopWithoutADialogStillPops)
{
    busy.begin(XrString(L"t"), XrString(L"a"), nullptr);
    busy.push_text(XrString(L"b"));
    busy.pop_text();
    EXPECT_EQ(busy.get_text_count(), 1);
    busy.show();
    EXPECT_EQ(FakeDialog::last->texts.back(), L"a");
}

TEST_F(BusyDialogTest, CancelTellsTheObserverOnceAndEnds)
{
    busy.begin(XrString(L"t"), XrString(L"a"), &observer);
    busy.show();
    busy.cancelled();
    EXPECT_EQ(observer.calls, 1);
    EXPECT_EQ(FakeDialog::closed, 1); // the answered dialog is deleted, not leaked
    EXPECT_FALSE(busy.is_active());
    EXPECT_EQ(busy.get_text_count(), 0);
    EXPECT_FALSE(busy.is_shown());
}
