#include "common/base/xr_memorynotifier.h"

namespace {

XrMemoryNotifier* g_memory_notifier = nullptr;
XrLowMemoryCallback g_low_memory_callback = nullptr;
void* g_low_memory_data = nullptr;

} // namespace

XrMemoryNotifierClient::~XrMemoryNotifierClient()
{
    if (m_notifier != nullptr)
        m_notifier->remove_client(this);
}

bool XrMemoryNotifierClient::register_client()
{
    XrMemoryNotifier* notifier = XrMemoryNotifier::get_instance();
    if (notifier == nullptr)
        return false;
    notifier->add_client(this);
    return true;
}

XrMemoryNotifier::~XrMemoryNotifier()
{
    for (int i = 0; i < get_listener_count(); ++i) {
        if (XrMemoryNotifierClient* client = get_listener(i))
            client->m_notifier = nullptr;
    }
    if (g_memory_notifier == this)
        g_memory_notifier = nullptr;
}

XrMemoryNotifier* XrMemoryNotifier::get_instance()
{
    return g_memory_notifier;
}

void XrMemoryNotifier::set_instance(XrMemoryNotifier* notifier)
{
    g_memory_notifier = notifier;
}

void XrMemoryNotifier::add_client(XrMemoryNotifierClient* client)
{
    if (client == nullptr || client->m_notifier == this)
        return;
    if (client->m_notifier != nullptr)
        client->m_notifier->remove_client(client);
    add_listener(client);
    client->m_notifier = this;
}

void XrMemoryNotifier::remove_client(XrMemoryNotifierClient* client)
{
    remove_listener(client);
    if (client != nullptr && client->m_notifier == this)
        client->m_notifier = nullptr;
}

void XrMemoryNotifier::notify_clients()
{
    notify_listeners(&XrMemoryNotifierClient::free_memory);
}

void set_low_memory_callback(XrLowMemoryCallback callback, void* user_data)
{
    g_low_memory_callback = callback;
    g_low_memory_data = user_data;
}

int call_low_memory_callback(int level)
{
    return g_low_memory_callback != nullptr ? g_low_memory_callback(g_low_memory_data, level) : 0;
}
