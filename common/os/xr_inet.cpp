#include "common/os/xr_inet.h"

#include "common/container/xr_defs.h"
#include "common/os/xr_eventloopbase.h"
#include "common/os/xr_inetconfiglistener.h"
#include "common/os/xr_inetmaemo.h"

#include <new>
#include <vector>

const TCHAR xr_any_iap_id[] = L"{Internet}";

bool XrIapInternal::has_listener(XrIapListener* listener) const
{
    for (int i = 0; i < listeners.get_num_items(); ++i) {
        if (listeners.get_item(i) == listener)
            return true;
    }
    return false;
}

XrInetImpl::XrInetImpl(XrEventloopBase* loop_) : loop(loop_) {}

XrInetImpl::~XrInetImpl()
{
    // Only access points waiting for their disconnect have timeouts.
    if (loop != nullptr && waiting.get_num_items() > 0)
        loop->remove_timeout(this, nullptr);
    for (XrPtrArray<XrIapInternal*>* list : {&in_use, &waiting}) {
        for (int i = 0; i < list->get_num_items(); ++i)
            delete list->get_item(i);
    }
}

XrIapInternal* XrInetImpl::new_iap()
{
    return new (std::nothrow) XrIapInternal;
}

void XrInetImpl::default_iap(XrString& name, XrString& id)
{
    if (name.is_empty())
        name = xr_any_iap_id;
    if (XrIapInternal* first = in_use.get_item(0))
        id = first->name;
    else if (XrIapInternal* first_waiting = waiting.get_item(0))
        id = first_waiting->name;
    else
        id = xr_any_iap_id;
}

void XrInetImpl::list_iaps(XrPtrArray<XrIap*>&) {}

bool XrInetImpl::connect_iap(XrIapInternal*)
{
    return false;
}

void XrInetImpl::disconnect_iap(XrIapInternal* iap)
{
    if (iap->state != XrIap::state_connected)
        report(XrIapListener::event_disconnected, iap);
    delete iap;
}

std::unique_ptr<XrInetProxy> XrInetImpl::get_proxy(const XrString&)
{
    return nullptr;
}

XrIapInternal* XrInetImpl::find_iap_by_id(const XrString& id)
{
    for (int i = 0; i < in_use.get_num_items(); ++i) {
        if (in_use.get_item(i)->id == id)
            return in_use.get_item(i);
    }
    return nullptr;
}

XrIapInternal* XrInetImpl::find_by_name(const XrPtrArray<XrIapInternal*>& list, const XrString& name) const
{
    for (int i = 0; i < list.get_num_items(); ++i) {
        if (list.get_item(i)->name == name)
            return list.get_item(i);
    }
    return nullptr;
}

XrIapInternal* XrInetImpl::find_for_event(const XrString& id, bool& waiting_list)
{
    waiting_list = false;
    if (XrIapInternal* iap = find_by_name(in_use, id))
        return iap;
    if (XrIapInternal* iap = find_by_name(waiting, id)) {
        waiting_list = true;
        return iap;
    }
    for (int i = 0; i < in_use.get_num_items(); ++i) {
        if (in_use.get_item(i)->state == XrIap::state_connecting)
            return in_use.get_item(i);
    }
    return nullptr;
}

void XrInetImpl::report(int event, XrIapInternal* iap, XrIapListener* only)
{
    if (event == XrIapListener::event_disconnected && iap != nullptr && waiting.remove(iap) && loop != nullptr)
        loop->remove_timeout(this, iap);
    if (iap == nullptr) {
        if (only != nullptr)
            only->iap_event(event, nullptr);
    } else {
        // A listener may release itself or others while it is told: each
        // one is told only while it still waits on the access point.
        std::vector<XrIapListener*> told;
        for (int i = 0; i < iap->listeners.get_num_items(); ++i)
            told.push_back(iap->listeners.get_item(i));
        for (XrIapListener* listener : told) {
            if (iap->has_listener(listener))
                listener->iap_event(event, iap);
        }
    }
    if (config_listener != nullptr)
        config_listener->iap_state_changed(event, iap);
}

XrIapInternal* XrInetImpl::add_record()
{
    std::unique_ptr<XrIapInternal> iap(new_iap());
    if (iap == nullptr || !in_use.append(iap.get()))
        return nullptr;
    return iap.release();
}

std::unique_ptr<XrIapInternal> XrInetImpl::take_record(XrIapInternal* iap)
{
    in_use.remove(iap);
    if (waiting.remove(iap) && loop != nullptr)
        loop->remove_timeout(this, iap);
    return std::unique_ptr<XrIapInternal>(iap);
}

void XrInetImpl::on_connected(const XrString& id)
{
    bool in_waiting;
    XrIapInternal* iap = find_for_event(id, in_waiting);
    if (iap == nullptr)
        iap = add_record();
    if (iap == nullptr)
        return;
    iap->name = id;
    iap->id = id;
    iap->state = XrIap::state_connected;
    report(XrIapListener::event_connected, iap);
}

void XrInetImpl::on_disconnected(const XrString& id)
{
    bool in_waiting;
    XrIapInternal* iap = find_for_event(id, in_waiting);
    if (iap == nullptr)
        return;
    std::unique_ptr<XrIapInternal> record = take_record(iap);
    report(XrIapListener::event_disconnected, record.get());
}

void XrInetImpl::on_connect_failed(const XrString& id)
{
    if (XrIapInternal* iap = find_iap_by_id(id)) {
        std::unique_ptr<XrIapInternal> record = take_record(iap);
        report(XrIapListener::event_connect_failed, record.get());
        return;
    }
    while (XrIapInternal* iap = in_use.get_item(0)) {
        std::unique_ptr<XrIapInternal> record = take_record(iap);
        report(XrIapListener::event_connect_failed, record.get());
    }
}

void XrInetImpl::connect(XrIapListener* listener, const XrString& name_)
{
    XrString name = name_;
    XrString id;
    if (config_listener == nullptr || config_listener->choose_iap(name, id) != 1)
        default_iap(name, id);
    if (id.is_empty()) {
        report(XrIapListener::event_no_iap, nullptr, listener);
        return;
    }
    XrIapInternal* iap = nullptr;
    for (int i = 0; i < waiting.get_num_items(); ++i) {
        if (waiting.get_item(i)->id == id) {
            iap = waiting.get_item(i);
            break;
        }
    }
    if (iap != nullptr) {
        // Taken back into use before its delayed disconnect.
        std::unique_ptr<XrIapInternal> record = take_record(iap);
        if (!in_use.append(iap)) {
            report(XrIapListener::event_connect_failed, nullptr, listener);
            return;
        }
        record.release(); // in use again
        if (iap->state != XrIap::state_connected) {
            iap->state = XrIap::state_connecting;
            if (!connect_iap(iap)) {
                iap->listeners.append(listener);
                on_connect_failed(iap->id);
                return;
            }
        }
    } else {
        refresh();
        iap = find_iap_by_id(id);
    }
    if (iap != nullptr) {
        if (!iap->has_listener(listener))
            iap->listeners.append(listener);
        if (iap->state == XrIap::state_connected)
            report(XrIapListener::event_connected, iap);
        else if (config_listener != nullptr)
            config_listener->iap_state_changed(XrIapListener::event_created, iap);
        return;
    }
    iap = add_record();
    if (iap == nullptr) {
        report(XrIapListener::event_connect_failed, nullptr, listener);
        return;
    }
    iap->name = name;
    iap->id = id;
    iap->state = XrIap::state_connecting;
    report(XrIapListener::event_created, iap);
    iap->listeners.append(listener);
    if (!connect_iap(iap))
        on_connect_failed(id);
}

void XrInetImpl::release(XrIapListener* listener)
{
    // Walks a copy: moving an access point to the waiting list changes the list.
    std::vector<XrIapInternal*> iaps;
    for (int i = 0; i < in_use.get_num_items(); ++i)
        iaps.push_back(in_use.get_item(i));
    for (XrIapInternal* iap : iaps) {
        if (!iap->listeners.remove(listener))
            continue;
        while (iap->listeners.remove(listener)) {
        }
        if (iap->listeners.get_num_items() > 0 || disconnect_delay <= 0 || loop == nullptr)
            continue;
        in_use.remove(iap);
        if (!waiting.append(iap)) {
            disconnect_iap(iap);
            continue;
        }
        if (!loop->add_timeout(disconnect_delay, 0, this, iap)) {
            waiting.remove(iap);
            disconnect_iap(iap);
        }
    }
}

void XrInetImpl::execute(XrEventloopBase*, void* data)
{
    auto* iap = static_cast<XrIapInternal*>(data);
    XR_ASSERT_MSG(iap != nullptr, "iap");
    waiting.remove(iap);
    disconnect_iap(iap);
}

int XrInetImpl::get_iap_state(const XrString& name) const
{
    XrIap* iap = find_iap(name);
    return iap != nullptr ? iap->get_state() : XrIap::state_none;
}

XrIap* XrInetImpl::find_iap(const XrString& name) const
{
    if (XrIapInternal* iap = find_by_name(in_use, name))
        return iap;
    for (int i = 0; i < in_use.get_num_items(); ++i) {
        if (in_use.get_item(i)->id == name)
            return in_use.get_item(i);
    }
    return nullptr;
}

void XrInetImpl::free_iaps(XrPtrArray<XrIap*>& iaps)
{
    for (int i = 0; i < iaps.get_num_items(); ++i)
        delete iaps.get_item(i);
    iaps.remove_all();
}

// ---- the process-wide object

namespace {
XrInetImpl* inet = nullptr;
}

namespace XrInet {

bool create_inet(XrEventloopBase* loop)
{
    if (inet != nullptr)
        return true;
    auto* made = new (std::nothrow) XrInetMaemo(loop);
    if (made != nullptr && !made->is_ready()) {
        delete made;
        made = nullptr;
    }
    inet = made;
    return inet != nullptr;
}

void destroy_inet()
{
    XrInetImpl* old = inet;
    inet = nullptr;
    delete old;
}

XrInetImpl* get_inet()
{
    XR_ASSERT_MSG(inet != nullptr, "inet");
    return inet;
}

bool has_inet()
{
    return inet != nullptr;
}

void set_inet_listener(XrInetConfigListener* listener)
{
    get_inet()->set_config_listener(listener);
}

void set_disconnect_delay(int seconds)
{
    get_inet()->set_disconnect_delay(seconds);
}

void connect(XrIapListener* listener, const XrString& name)
{
    get_inet()->connect(listener, name);
}

void release(XrIapListener* listener)
{
    if (inet != nullptr)
        inet->release(listener);
}

std::unique_ptr<XrInetProxy> get_proxy(const XrString& name)
{
    return get_inet()->get_proxy(name);
}

int get_iap_state(const XrString& name)
{
    return get_inet()->get_iap_state(name);
}

XrIap* find_iap(const XrString& name)
{
    return get_inet()->find_iap(name);
}

void list_iaps(XrPtrArray<XrIap*>& iaps)
{
    get_inet()->list_iaps(iaps);
}

void free_iaps(XrPtrArray<XrIap*>& iaps)
{
    get_inet()->free_iaps(iaps);
}

} // namespace XrInet
