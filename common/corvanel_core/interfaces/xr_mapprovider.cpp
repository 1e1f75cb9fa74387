#include "common/corvanel_core/interfaces/xr_mapprovider.h"

#include "common/base/xr_singleton.h"

XrMapProvider* XrMapProvider::get_instance()
{
    return static_cast<XrMapProvider*>(XrSingleton::get_instance(XrString(L"XrMapProvider")));
}
