#include "apps/corvanel/ui/dialogs/xr_corvaneldialogfacade_maemo.h"

#include "apps/corvanel/ui/dialogs/xr_addrdlg_maemo.h"
#include "common/ui/dialog/xr_listdlg.h"

#include <cstdio>

void XrCorvanelDialogFacadeMaemo::show_list_dlg(XrString title, XrArray<XrListDlgItem>& items, int default_icon_id,
                                                XrListDlgListener* listener) const
{
    // The dialog deletes itself when the user answers.
    XrListDlgMaemo* dialog = new XrListDlgMaemo(title, items, default_icon_id, listener);
    dialog->open(1, false);
}

void XrCorvanelDialogFacadeMaemo::show_address_dlg(XrString title, AddressDlgType type, XrEventloopBase* loop,
                                                   XrProjection* projection, bool& ok, XrPoint& point, XrString& name,
                                                   const XrPoint* reference) const
{
    std::fprintf(stderr, "kestrova-navigator: show_address_dlg type %d\n", static_cast<int>(type));
    // The dialog deletes itself when its modal run ends.
    XrAddrDlgMaemo* dialog = new XrAddrDlgMaemo(title, type, loop, projection, ok, point, name, reference);
    dialog->create_dialog(0);
    std::fprintf(stderr, "kestrova-navigator: address dialog: %s\n", ok ? "place chosen" : "nothing chosen");
}
