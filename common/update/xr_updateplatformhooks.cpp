#include "common/update/xr_updateplatformhooks.h"

bool XrUpdatePlatformHooks::installs_directly(char)
{
    return false;
}

void XrUpdatePlatformHooks::prepare_memory_card_report() {}

XrString XrUpdatePlatformHooks::get_startup_cleanup_path()
{
    return XrString();
}

bool XrUpdatePlatformHooks::install_binary(XrString, XrString, int, bool)
{
    return true;
}
