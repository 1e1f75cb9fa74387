#include "common/os/xr_inetmaemo.h"

#include "platform/conic/conic.h"

#include <new>

namespace {
// Kept for proxy queries from anywhere in the process.
ConIcConnection* process_connection = nullptr;

bool is_any_iap(const XrString& name)
{
    return name == xr_any_iap_id;
}
} // namespace

XrInetMaemo::XrInetMaemo(XrEventloopBase* loop_) : XrInetImpl(loop_)
{
    connection = con_ic_connection_new();
    if (connection == nullptr)
        return;
    g_object_set(connection, "automatic-connection-events", TRUE, nullptr);
    g_signal_connect(connection, "connection-event", G_CALLBACK(connection_event), this);
    con_ic_connection_connect(connection, CON_IC_CONNECT_FLAG_AUTOMATICALLY_TRIGGERED);
    process_connection = connection;
}

XrInetMaemo::~XrInetMaemo()
{
    if (connection == nullptr)
        return;
    // Events still on their way must not reach this object.
    g_signal_handlers_disconnect_by_data(connection, this);
    if (process_connection == connection)
        process_connection = nullptr;
    g_object_unref(connection);
}

void XrInetMaemo::connection_event(ConIcConnection*, ConIcConnectionEvent* event, void* self)
{
    auto* inet = static_cast<XrInetMaemo*>(self);
    const gchar* raw_id = con_ic_event_get_iap_id(CON_IC_EVENT(event));
    XrString id;
    if (raw_id != nullptr)
        id.assign_latin1(raw_id);
    else
        id = xr_any_iap_id;
    switch (con_ic_connection_event_get_status(event)) {
    case CON_IC_STATUS_CONNECTED:
        inet->on_connected(id);
        break;
    case CON_IC_STATUS_DISCONNECTED:
        inet->on_disconnected(id);
        break;
    default:
        break;
    }
}

void XrInetMaemo::list_iaps(XrPtrArray<XrIap*>& out)
{
    GSList* list = con_ic_connection_get_all_iaps(connection);
    for (GSList* l = list; l != nullptr; l = l->next) {
        auto* platform_iap = static_cast<ConIcIap*>(l->data);
        XrIapInternal* iap = new_iap();
        if (iap != nullptr) {
            iap->name.assign_latin1(con_ic_iap_get_id(platform_iap));
            iap->id = iap->name;
            iap->state = find_by_name(in_use, iap->name) != nullptr ? XrIap::state_connected : XrIap::state_none;
            if (!out.append(iap))
                delete iap;
        }
        g_object_unref(platform_iap);
    }
    g_slist_free(list);
}

bool XrInetMaemo::connect_iap(XrIapInternal* iap)
{
    if (is_any_iap(iap->name))
        return con_ic_connection_connect(connection, CON_IC_CONNECT_FLAG_NONE);
    return con_ic_connection_connect_by_id(connection, wide_to_narrow_static(iap->name.c_str()),
                                           CON_IC_CONNECT_FLAG_NONE);
}

void XrInetMaemo::disconnect_iap(XrIapInternal* iap)
{
    if (iap->state != XrIap::state_connected) {
        XrInetImpl::disconnect_iap(iap);
        return;
    }
    if (is_any_iap(iap->name))
        con_ic_connection_disconnect(connection);
    else
        con_ic_connection_disconnect_by_id(connection, wide_to_narrow_static(iap->name.c_str()));
    delete iap;
}

std::unique_ptr<XrInetProxy> XrInetMaemo::get_proxy(const XrString&)
{
    ConIcConnection* c = process_connection != nullptr ? process_connection : connection;
    if (con_ic_connection_get_proxy_mode(c) != CON_IC_PROXY_MODE_MANUAL)
        return nullptr;
    const gchar* host = con_ic_connection_get_proxy_host(c, CON_IC_PROXY_PROTOCOL_HTTP);
    if (host == nullptr || *host == '\0')
        return nullptr;
    auto proxy = std::unique_ptr<XrInetProxy>(new (std::nothrow) XrInetProxy);
    if (proxy == nullptr)
        return nullptr;
    proxy->host.assign_latin1(host);
    proxy->port = con_ic_connection_get_proxy_port(c, CON_IC_PROXY_PROTOCOL_HTTP);
    return proxy;
}
