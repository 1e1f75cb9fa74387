// What the content catalogues need of the application: the voice folder name
// of the settings and the modal error note. The application installs its
// implementation; without one there is no note and no voice folder name.
#pragma once

#include "common/container/xr_string.h"

class XrCatalogueHost {
public:
    virtual ~XrCatalogueHost() = default;
    // The voice folder name kept in the application settings.
    virtual XrString get_voice_folder_name() = 0;
    // A modal error note with an OK button.
    virtual void show_error_msg(const XrString& title, const XrString& message) = 0;

    // Not owned; null removes it.
    static void set_instance(XrCatalogueHost* host);
    static XrCatalogueHost* get_instance();
};
