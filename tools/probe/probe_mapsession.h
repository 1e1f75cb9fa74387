// What the subcommands that open a map through the map provider share: the
// card root of MAPDIR, a display for the visual settings (a private Xvfb when
// there is none), the font repository, the path resolver and the registered
// map provider. Everything is undone by the destructor.
#pragma once

#include <memory>
#include <string>

#include "common/corvanel_core/impl/xr_mapproviderimpl.h"
#include "common/misc/xr_path_resolver.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "tools/mapstyle/xr_private_display.h"
#include "tools/probe/probe.h"

class XrProbeMapSession {
public:
    // name: the subcommand, for messages on standard error.
    XrProbeMapSession(const char* name, const std::string& mapdir);
    ~XrProbeMapSession();
    XrProbeMapSession(const XrProbeMapSession&) = delete;
    XrProbeMapSession& operator=(const XrProbeMapSession&) = delete;

    // False (with the reason printed) when there is no map folder or display.
    bool ready() const { return m_ready; }
    // The registered map provider (no map open yet); null unless ready().
    XrMapProviderImpl* maps() { return m_maps.get(); }
    // Opens the map; prints why when it cannot.
    bool open_map();

private:
    std::string m_name;
    XrProbeCardRoot m_card;
    XrPrivateDisplay m_display;
    std::unique_ptr<XrFontRepositoryMaemo> m_fonts;
    XrString m_root;
    std::unique_ptr<XrPathResolver> m_resolver;
    std::unique_ptr<XrMapProviderImpl> m_maps;
    bool m_ready = false;
};
