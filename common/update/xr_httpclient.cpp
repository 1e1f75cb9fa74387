// The HTTP client of the platform: the socket-based implementation.
#include "common/update/xr_httpclient.h"

#include <new>

#include "common/update/xr_httpclientimpl.h"

XrHttpClient* XrHttpClient::create(XrFsm* fsm, XrEventloopBase* loop)
{
    auto* client = new (std::nothrow) XrHttpClientImpl(fsm, loop);
    if (client == nullptr)
        return nullptr;
    client->activate();
    fsm->run();
    return client;
}
