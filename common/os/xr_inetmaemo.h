// The Internet-access object on libconic: connections through the
// platform's access points, their events and the platform's proxy settings.
#pragma once

#include "common/os/xr_inet.h"

typedef struct _ConIcConnection ConIcConnection;
typedef struct _ConIcConnectionEvent ConIcConnectionEvent;

class XrInetMaemo : public XrInetImpl {
public:
    // Makes the libconic connection object, hears of every connection
    // event and reports a link that is already up.
    explicit XrInetMaemo(XrEventloopBase* loop);
    ~XrInetMaemo() override;

    // False when the connection object could not be made.
    bool is_ready() const { return connection != nullptr; }

    void list_iaps(XrPtrArray<XrIap*>& out) override;
    bool connect_iap(XrIapInternal* iap) override;
    void disconnect_iap(XrIapInternal* iap) override;
    std::unique_ptr<XrInetProxy> get_proxy(const XrString& name) override;

private:
    static void connection_event(ConIcConnection* connection, ConIcConnectionEvent* event, void* self);

    ConIcConnection* connection = nullptr;
};
