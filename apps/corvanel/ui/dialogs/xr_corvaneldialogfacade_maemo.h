// The tablet's dialog facade: the dialogs the tablet provides open here;
// every other request keeps the base's answer (logged, nothing opened).
#pragma once

#include "apps/corvanel/ui/dialogs/xr_corvaneldialogfacade.h"

class XrCorvanelDialogFacadeMaemo : public XrCorvanelDialogFacade {
public:
    // A list dialog opened non-modally: returns at once; the choice (or -1)
    // reaches the listener once, when the dialog has gone. The items must
    // live until this returns.
    void show_list_dlg(XrString title, XrArray<XrListDlgItem>& items, int default_icon_id,
                       XrListDlgListener* listener) const override;
};
