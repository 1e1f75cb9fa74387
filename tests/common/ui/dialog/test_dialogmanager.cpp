#include "common/ui/dialog/xr_dialogmanager.h"

#include <gtest/gtest.h>

namespace {

class CountingListener : public XrDialogManagerListener {
public:
    void dialog_shown(XrDialogBase*) override { ++calls; }
    void dialog_closed() override { ++calls; }
    int calls = 0;
};

TEST(DialogManagerTest, ReportsAreDroppedAndNoDialogIsEverOpen)
{
    XrDialogManager manager;
    CountingListener listener;
    manager.add_listener(&listener);
    XrSingleton::set_instance(XrString(L"XrDialogManager"), &manager);
    ASSERT_EQ(XrDialogManager::get_instance(), &manager);

    auto* modal = reinterpret_cast<XrDialogBase*>(0x1000);
    auto* list = reinterpret_cast<XrDialogBase*>(0x2000);
    EXPECT_FALSE(manager.is_dialog_open());
    for (XrDialogBase* dialog : {modal, list}) {
        XrDialogManager::get_instance()->register_dialog(dialog);
        XrDialogManager::get_instance()->notify_dialog_shown(dialog);
        EXPECT_FALSE(manager.is_dialog_open());
    }
    for (XrDialogBase* dialog : {list, modal}) {
        XrDialogManager::get_instance()->unregister_dialog(dialog);
        XrDialogManager::get_instance()->notify_dialog_closed();
    }
    EXPECT_FALSE(manager.is_dialog_open());
    EXPECT_EQ(manager.get_stack_depth(), 0);
    EXPECT_EQ(listener.calls, 0);
    EXPECT_EQ(manager.get_listener_count(), 1);

    manager.remove_listener(&listener);
    XrSingleton::set_instance(XrString(L"XrDialogManager"), nullptr);
    EXPECT_EQ(XrDialogManager::get_instance(), nullptr);
}

} // namespace
