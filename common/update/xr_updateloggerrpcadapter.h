// The update logger's RPC client over XrUpdateRpcClient.
#pragma once

#include "common/update/xr_updatelogger.h"
#include "common/update/xr_updaterpcclient.h"

class XrUpdateLoggerRpcAdapter : public XrUpdateLoggerRpc, public XrUpdateRpcListener {
public:
    // The XrUpdateLogger's default XrUpdateLoggerRpcFactory.
    static XrUpdateLoggerRpc* create(XrUpdateLogger* logger, XrFsm* fsm, XrEventloopBase* loop, const XrString& host,
                                     int port, const XrString& proxy_host, int proxy_port);

    // Sends the parameters in the given order; a call that cannot be built is
    // completed with false at once.
    void call(const XrString& path, const Params& params) override;
    // Lets the client go (it deletes itself once idle) and deletes this adapter.
    void quit() override;

    void rpc_done(bool ok, XrRpcCall* call) override;

private:
    XrUpdateLoggerRpcAdapter(XrUpdateLogger* logger, XrUpdateRpcClient* client);
    ~XrUpdateLoggerRpcAdapter() override;

    XrUpdateLogger* logger;
    XrUpdateRpcClient* client;
    XrRpcCall* current = nullptr;
};
