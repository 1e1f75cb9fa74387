// The content catalogues' window onto the tablet application: the voice
// folder name the application settings keep (the default voice folder's
// name while none is stored) and the error note over the map window.
#pragma once

#include "common/update/xr_cataloguehost.h"

class XrMaemoCatalogueHost : public XrCatalogueHost {
public:
    XrString get_voice_folder_name() override;
    void show_error_msg(const XrString& title, const XrString& message) override;
};
