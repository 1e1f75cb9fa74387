#include "apps/services/xr_servcom.h"

#include "apps/services/xr_servcommessage.h"
#include "common/base/xr_singleton.h"
#include "common/ber/xr_propertybag.h"
#include "common/fsm/xr_fsm.h"
#include "common/misc/xr_msgids.h"
#include "common/update/xr_httpclient.h"

#include <vector>

namespace {

XrServComImplementation* the_channel = nullptr;

// The client version text until the application sets its own: the
// application's built-in title, version and build, with no map.
const char* const default_version_text = "Kestrova Corvanel  App 2.2.7.436 Map  ";

XrString& version_text()
{
    static XrString text(default_version_text);
    return text;
}

XrGlobalBusyDialog* busy_dialog()
{
    return XrGlobalBusyDialog::get_instance();
}

} // namespace

XrServCom* XrServComImplementation::acquire(XrFsm* fsm, XrEventloopBase* loop)
{
    if (the_channel == nullptr)
        the_channel = new XrServComImplementation(fsm, loop);
    else
        ++the_channel->ref_count;
    return the_channel;
}

XrServCom* XrServComImplementation::ref_existing()
{
    if (the_channel != nullptr)
        ++the_channel->ref_count;
    return the_channel;
}

void XrServComImplementation::set_version_text(const XrString& version)
{
    version_text() = version.is_empty() ? XrString(default_version_text) : version;
}

const XrString& XrServComImplementation::get_version_text()
{
    return version_text();
}

XrServComImplementation::XrServComImplementation(XrFsm* fsm_, XrEventloopBase* loop_)
    : fsm(fsm_), loop(loop_), http_client(XrHttpClient::create(fsm_, loop_))
{
}

XrServComImplementation::~XrServComImplementation()
{
    if (the_channel == this)
        the_channel = nullptr;
    closing = true;
    while (pending.get_num_items() > 0)
        cancel_pending();
    fsm->run();
    if (http_client != nullptr)
        http_client->destroy();
}

void XrServComImplementation::release()
{
    if (--ref_count <= 0)
        delete this;
}

void XrServComImplementation::add_client(XrServComClient* client)
{
    clients.append(client);
}

void XrServComImplementation::remove_client(XrServComClient* client)
{
    for (int i = clients.get_num_items() - 1; i >= 0; --i) {
        if (*clients.get_item_ptr(i) == client)
            clients.remove_item(i);
    }
}

XrServComMessage* XrServComImplementation::send_request(const XrString& url, int service_id, int value_a,
                                                        int value_b, XrPropertyBag* payload,
                                                        const XrString* busy_text, XrServComClient* client)
{
    XrPropertyBag* bag = new XrPropertyBag();
    bag->add_int(0, service_id);
    bag->add_int(1, value_a);
    bag->add_int(2, value_b);
    if (payload != nullptr)
        bag->add_bag(4, payload);
    bag->add_string(3, XrString(static_cast<int>(R_STR_LANGUAGE)));
    bag->add_string(109, version_text() + " Linux");

    XrServComMessage* message = new XrServComMessage(fsm, url, bag, this, http_client, client, busy_text);
    message->activate();
    fsm->run();
    pending.append(message);
    start_next();
    return message;
}

bool XrServComImplementation::is_pending(XrServComMessage* message) const
{
    for (int i = 0; i < pending.get_num_items(); ++i) {
        if (pending.get_item(i) == message)
            return true;
    }
    return false;
}

bool XrServComImplementation::remove_pending(XrServComMessage* message)
{
    return pending.remove(message);
}

void XrServComImplementation::start_next()
{
    XrServComMessage* first = pending.get_item(0);
    if (first == nullptr || first->is_started() || closing)
        return;
    notify_clients(XR_SERVCOM_EXCHANGE_STARTED);
    first->start();
}

void XrServComImplementation::notify_clients(int event)
{
    // A client may add or remove clients while it is told.
    std::vector<XrServComClient*> told(clients.get_items(), clients.get_items() + clients.get_num_items());
    for (XrServComClient* client : told)
        client->state_changed(event);
    if (event != XR_SERVCOM_EXCHANGE_ENDED)
        return;
    if (XrGlobalBusyDialog* busy = busy_dialog())
        busy->hide();
    start_next();
}

void XrServComImplementation::show_busy(const XrString& text)
{
    // Exchanges started only to be cancelled do not bring the indicator back.
    if (cancelling)
        return;
    if (XrGlobalBusyDialog* busy = busy_dialog())
        busy->show(text, XrString(), this);
}

void XrServComImplementation::cancel_request(XrServComMessage** handle, bool notify, int status,
                                             const XrString* title, const XrString* details)
{
    if (handle == nullptr)
        return;
    XrServComMessage* message = *handle;
    *handle = nullptr;
    if (message == nullptr || !is_pending(message))
        return;
    // A started exchange has told the clients 10 and ends with 11.
    const bool was_started = message->is_started();
    XrServComClient* client = message->get_client();
    pending.remove(message);
    message->abort(); // may delete the message
    if (was_started)
        notify_clients(XR_SERVCOM_EXCHANGE_ENDED);
    if (notify && client != nullptr)
        client->reply_received(status, 18, title != nullptr ? *title : XrString(),
                               details != nullptr ? *details : XrString(), 0, 0, 0, nullptr);
}

void XrServComImplementation::cancel_pending()
{
    // Exchanges queued while the replies are delivered are not among them.
    std::vector<XrServComMessage*> queued(static_cast<size_t>(pending.get_num_items()));
    for (int i = 0; i < pending.get_num_items(); ++i)
        queued[static_cast<size_t>(i)] = pending.get_item(i);
    const bool was_cancelling = cancelling;
    cancelling = true;
    for (XrServComMessage* message : queued)
        cancel_request(&message, true, XR_SERVCOM_CANCELLED, nullptr, nullptr);
    cancelling = was_cancelling;
}

void XrServComImplementation::cancel_all()
{
    // Each cancelled exchange that was started ends with 11, which starts
    // the next one (10): clients see every queued exchange start and end.
    cancel_pending();
}
