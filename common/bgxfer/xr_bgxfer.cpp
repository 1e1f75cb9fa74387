// The background transfer service of the platform.
#include "common/bgxfer/xr_bgxfer.h"

#include <new>

#include "common/bgxfer/xr_bgxferimpl.h"

XrBgxferService* XrBgxferService::create(XrFsm* fsm, XrEventloopBase* loop, const XrString& directory)
{
    return new (std::nothrow) XrBgxferServiceImpl(fsm, loop, directory);
}
