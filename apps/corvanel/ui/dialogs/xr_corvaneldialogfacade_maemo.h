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
    // The address dialog, run modally: returns when the user has chosen a
    // place (ok true, point and name set) or left the dialog (ok false).
    void show_address_dlg(XrString title, AddressDlgType type, XrEventloopBase* loop, XrProjection* projection,
                          bool& ok, XrPoint& point, XrString& name, const XrPoint* reference) const override;
};
