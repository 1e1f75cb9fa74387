#include "tools/probe/probe_mapsession.h"

#include <gtk/gtk.h>

#include <cstdio>

#include "common/base/xr_singleton.h"
#include "common/gdi/xr_gdi.h"

XrProbeMapSession::XrProbeMapSession(const char* name, const std::string& mapdir) : m_name(name), m_card(mapdir)
{
    if (m_card.root().empty()) {
        std::fprintf(stderr, "kestrova-probe %s: %s holds no mapdata folder\n", name, mapdir.c_str());
        return;
    }
    if (!m_display.ensure() || !gtk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "kestrova-probe %s: no display for the visual settings\n", name);
        return;
    }
    XrGDI::init_stock_objects();
    m_fonts = std::make_unique<XrFontRepositoryMaemo>();
    m_fonts->initialize();
    XrSingleton::set_instance(XrString(L"XrFontRepository"), m_fonts.get());
    m_root = XrString(m_card.root().c_str());
    m_resolver = std::make_unique<XrPathResolver>(m_root.c_str());
    set_path_resolver(m_resolver.get());
    m_maps = std::make_unique<XrMapProviderImpl>();
    XrSingleton::set_instance(XrString(L"XrMapProvider"), static_cast<XrMapProvider*>(m_maps.get()));
    m_ready = true;
}

XrProbeMapSession::~XrProbeMapSession()
{
    if (m_maps) {
        m_maps->close_map();
        XrSingleton::set_instance(XrString(L"XrMapProvider"), nullptr);
        m_maps.reset();
    }
    if (m_resolver)
        set_path_resolver(nullptr);
    if (m_fonts)
        XrSingleton::set_instance(XrString(L"XrFontRepository"), nullptr);
}

bool XrProbeMapSession::open_map()
{
    if (m_maps && m_maps->open_map())
        return true;
    std::fprintf(stderr, "kestrova-probe %s: the map cannot be opened\n", m_name.c_str());
    return false;
}
