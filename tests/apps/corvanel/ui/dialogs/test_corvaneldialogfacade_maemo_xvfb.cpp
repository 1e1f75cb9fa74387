// The tablet facade opens the list dialog: the request returns at once, and
// the listener hears the choice later, once.
#include "apps/corvanel/ui/dialogs/xr_corvaneldialogfacade_maemo.h"

#include "common/ui/dialog/xr_listdlg.h"
#include "common/ui/dialog/xr_maemocommon.h"
#include "common/ui/ui_test_support.h"

#include <vector>

namespace {

class Chooser : public XrListDlgListener {
public:
    void item_chosen(int index) override { chosen.push_back(index); }
    std::vector<int> chosen;
};

GtkWidget* list_window()
{
    for (GtkWidget* dialog : xr_ui_dialogs())
        if (g_strcmp0(gtk_window_get_title(GTK_WINDOW(dialog)), "Results") == 0)
            return dialog;
    return nullptr;
}

TEST(CorvanelDialogFacadeMaemo, ListDialogOpensAndReportsLater)
{
    if (!xr_ui_display_ready())
        GTEST_SKIP() << "no X display";
    XrCorvanelDialogFacadeMaemo facade;
    XrSingleton::set_instance(XrString(L"XrCorvanelDialogFacade"), &facade);
    Chooser chooser;
    {
        XrArray<XrListDlgItem> items(8);
        for (const wchar_t* name : {L"Harbour", L"Station", L"Museum"}) {
            XrListDlgItem item;
            item.text = XrString(name);
            items.append(item);
        }
        XrCorvanelDialogFacade::get_instance()->show_list_dlg(XrString(L"Results"), items, -1, &chooser);
    } // the items may go once the request returned
    EXPECT_TRUE(chooser.chosen.empty()) << "nothing chosen yet";
    GtkWidget* window = list_window();
    ASSERT_NE(window, nullptr);
    GtkWidget* view = XrMaemoCommon::lookup_widget(window, "base_list");
    GtkTreePath* path = gtk_tree_path_new_from_indices(1, -1);
    gtk_tree_view_row_activated(GTK_TREE_VIEW(view), path, gtk_tree_view_get_column(GTK_TREE_VIEW(view), 0));
    gtk_tree_path_free(path);
    EXPECT_EQ(chooser.chosen, std::vector<int>{1});
    EXPECT_EQ(list_window(), nullptr);
    XrSingleton::set_instance(XrString(L"XrCorvanelDialogFacade"), nullptr);
}

} // namespace
