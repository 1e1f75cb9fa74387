#include "common/os/xr_resolver.h"

#include "common/container/xr_defs.h"

#include <gio/gio.h>

// One lookup on GLib's resolver. Outlives a cancelled resolver: the
// completion then only frees it.
struct XrResolver::Lookup {
    XrResolver* owner;
    GCancellable* cancellable;
};

XrResolver::XrResolver(XrResolverListener* listener_) : listener(listener_) {}

XrResolver::~XrResolver()
{
    cancel();
}

bool XrResolver::resolve(const XrString& host)
{
    if (is_busy() || host.is_empty()) {
        listener->resolved(-1, XrString());
        return false;
    }
    pending_host = host;
    XrInet::connect(this, XrString());
    return true;
}

void XrResolver::cancel()
{
    if (!pending_host.is_empty()) {
        pending_host.clear();
        XrInet::release(this);
    }
    if (lookup != nullptr) {
        lookup->owner = nullptr;
        g_cancellable_cancel(lookup->cancellable);
        lookup = nullptr;
    }
}

bool XrResolver::get_host_by_address(const XrString&, XrString&)
{
    XR_ASSERT_MSG(false, "false");
    return false;
}

void XrResolver::iap_event(int event, XrIap*)
{
    if (pending_host.is_empty() || event == event_created)
        return;
    XrString host = pending_host;
    pending_host.clear();
    XrInet::release(this);
    if (event != event_connected) {
        listener->resolved(-1, XrString());
        return;
    }
    start_lookup(host);
}

void XrResolver::start_lookup(const XrString& host)
{
    // Names are Latin-1 text; a character beyond it cannot be in a host name.
    for (int i = 0; i < host.length(); ++i) {
        if (host.char_at(i) > 0xFF || host.char_at(i) == 0) {
            listener->resolved(-1, XrString());
            return;
        }
    }
    lookup = new Lookup{this, g_cancellable_new()};
    GResolver* resolver = g_resolver_get_default();
    g_resolver_lookup_by_name_async(resolver, wide_to_narrow_static(host.c_str()), lookup->cancellable,
                                    lookup_done, lookup);
    g_object_unref(resolver);
}

void XrResolver::lookup_done(GObject* source, GAsyncResult* result, void* data)
{
    auto* done = static_cast<Lookup*>(data);
    GList* addresses = g_resolver_lookup_by_name_finish(G_RESOLVER(source), result, nullptr);
    XrResolver* self = done->owner;
    g_object_unref(done->cancellable);
    delete done;
    if (self == nullptr) {
        g_resolver_free_addresses(addresses);
        return;
    }
    self->lookup = nullptr;
    XrString text;
    for (GList* a = addresses; a != nullptr; a = a->next) {
        auto* address = static_cast<GInetAddress*>(a->data);
        if (g_inet_address_get_family(address) == G_SOCKET_FAMILY_IPV4) {
            gchar* dotted = g_inet_address_to_string(address);
            text.assign_latin1(dotted);
            g_free(dotted);
            break;
        }
    }
    g_resolver_free_addresses(addresses);
    // The listener may delete this resolver: nothing of it is touched after.
    if (text.is_empty())
        self->listener->resolved(-1, XrString());
    else
        self->listener->resolved(0, text);
}
