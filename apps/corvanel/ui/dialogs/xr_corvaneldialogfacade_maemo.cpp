#include "apps/corvanel/ui/dialogs/xr_corvaneldialogfacade_maemo.h"

#include "common/ui/dialog/xr_listdlg.h"

void XrCorvanelDialogFacadeMaemo::show_list_dlg(XrString title, XrArray<XrListDlgItem>& items, int default_icon_id,
                                                XrListDlgListener* listener) const
{
    // The dialog deletes itself when the user answers.
    XrListDlgMaemo* dialog = new XrListDlgMaemo(title, items, default_icon_id, listener);
    dialog->open(1, false);
}
