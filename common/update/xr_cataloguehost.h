// What the content catalogues need of the application: the voice folder name
// of the settings and the modal error note. The application installs its
// implementation (over its settings and dialogs) when it starts; until then,
// and whenever none is installed, a default host serves: the voice folder is
// that of the default voice set ("sound_eng") and a note goes to standard
// error as "title: message".
#pragma once

#include "common/container/xr_string.h"

class XrCatalogueHost {
public:
    virtual ~XrCatalogueHost() = default;
    // The voice folder name kept in the application settings.
    virtual XrString get_voice_folder_name() = 0;
    // A modal error note with an OK button.
    virtual void show_error_msg(const XrString& title, const XrString& message) = 0;

    // Not owned; null brings the default host back.
    static void set_instance(XrCatalogueHost* host);
    // The installed host, else the default one; never null.
    static XrCatalogueHost* get_instance();
    static XrCatalogueHost* get_default();
};
