#include "common/update/xr_updateloggerrpcadapter.h"

#include <new>

XrUpdateLoggerRpc* XrUpdateLoggerRpcAdapter::create(XrUpdateLogger* logger, XrFsm* fsm, XrEventloopBase* loop,
                                                    const XrString& host, int port, const XrString& proxy_host,
                                                    int proxy_port)
{
    XrUpdateRpcClient* client = new (std::nothrow) XrUpdateRpcClient(fsm, loop);
    if (client == nullptr)
        return nullptr;
    client->set_server(host, port);
    if (proxy_host.length() > 0)
        client->set_proxy(proxy_host, proxy_port);
    XrUpdateLoggerRpcAdapter* adapter = new (std::nothrow) XrUpdateLoggerRpcAdapter(logger, client);
    if (adapter == nullptr) {
        client->quit();
        return nullptr;
    }
    client->set_listener(adapter);
    return adapter;
}

XrUpdateLoggerRpcAdapter::XrUpdateLoggerRpcAdapter(XrUpdateLogger* logger_, XrUpdateRpcClient* client_)
    : logger(logger_), client(client_)
{
}

XrUpdateLoggerRpcAdapter::~XrUpdateLoggerRpcAdapter() = default;

void XrUpdateLoggerRpcAdapter::call(const XrString& path, const Params& params)
{
    XrRpcCall* c = new (std::nothrow) XrRpcCall(path);
    bool built = c != nullptr;
    // Parameters go to the head of the list: add the last one first.
    for (auto it = params.rbegin(); built && it != params.rend(); ++it)
        built = c->add_binary_param(it->first.c_str(), reinterpret_cast<const BYTE*>(it->second.data()),
                                    static_cast<int>(it->second.size()));
    if (!built || current != nullptr) {
        delete c;
        logger->rpc_done(false);
        return;
    }
    current = c;
    client->call(c);
}

void XrUpdateLoggerRpcAdapter::quit()
{
    logger = nullptr;
    // A call still under way keeps the adapter until it completes.
    if (current != nullptr) {
        client->quit();
        return;
    }
    client->set_listener(nullptr);
    client->quit(); // the client may be gone when this returns
    delete this;
}

void XrUpdateLoggerRpcAdapter::rpc_done(bool ok, XrRpcCall* call)
{
    if (call != current)
        return;
    current = nullptr;
    delete call;
    if (logger == nullptr) {
        delete this;
        return;
    }
    logger->rpc_done(ok);
}
