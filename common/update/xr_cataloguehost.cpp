#include "common/update/xr_cataloguehost.h"

namespace {
XrCatalogueHost* g_host = nullptr;
}

void XrCatalogueHost::set_instance(XrCatalogueHost* host)
{
    g_host = host;
}

XrCatalogueHost* XrCatalogueHost::get_instance()
{
    return g_host;
}
