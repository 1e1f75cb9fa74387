// The natives of the add-on network classes: com/kestrovatech/Http (one
// HTTP request per call), PropertyBag (XrPropertyBag for Java) and ServCom
// (property-bag requests over the service channel).
//
// The service channel lives in the application; the binding reaches it
// through XrJavaServiceChannel. XrJavaServComBridge adapts the
// application's channel classes to it:
//
//     static XrJavaServComBridge<XrServComImplementation, XrServCom, XrServComClient> bridge(fsm, loop);
//     XrJavaNetEnv env;
//     env.fsm = fsm; env.loop = loop; env.channel = &bridge;
//     xr_java_bind_net(env);
#pragma once

#include "common/container/xr_string.h"

#include <utility>

class XrEventloopBase;
class XrFsm;
class XrPropertyBag;

// The end of one request sent through XrJavaServiceChannel::send: heard
// exactly once (also when the request is cancelled). The payload, when not
// null, is the receiver's to delete.
class XrJavaServiceReply {
public:
    virtual ~XrJavaServiceReply() = default;
    virtual void reply(int status, int error_code, const XrString& title, const XrString& details, int service_id,
                       int command_id, int command_version, XrPropertyBag* payload) = 0;
};

// The process-wide service channel, seen from the binding.
class XrJavaServiceChannel {
public:
    virtual ~XrJavaServiceChannel() = default;
    // One more reference to the channel (made at first use); null when
    // there is none.
    virtual void* acquire() = 0;
    // Drops a reference acquire() gave.
    virtual void release(void* channel) = 0;
    // Queues a request: the channel takes the payload over; text (may be
    // null) is the busy text. The request's handle, valid until its reply
    // has been heard; null when it could not be queued (no reply then).
    virtual void* send(void* channel, const XrString& url, int service_id, int command_id, int command_version,
                       XrPropertyBag* payload, const XrString* text, XrJavaServiceReply* reply) = 0;
    // Cancels a request whose reply has not been heard yet: its reply comes
    // with status 1 (cancelled).
    virtual void cancel(void* channel, void* request) = 0;
};

// XrJavaServiceChannel over the application's channel: Impl has the static
// acquire(fsm, loop); Channel has send_request, cancel_request and release;
// Client is the channel's client base with the virtual reply_received.
template <class Impl, class Channel, class Client>
class XrJavaServComBridge : public XrJavaServiceChannel {
public:
    XrJavaServComBridge(XrFsm* fsm, XrEventloopBase* loop) : m_fsm(fsm), m_loop(loop) {}

    void* acquire() override { return Impl::acquire(m_fsm, m_loop); }
    void release(void* channel) override { static_cast<Channel*>(channel)->release(); }
    void* send(void* channel, const XrString& url, int service_id, int command_id, int command_version,
               XrPropertyBag* payload, const XrString* text, XrJavaServiceReply* reply) override
    {
        auto* client = new Forward(reply);
        client->message = static_cast<Channel*>(channel)->send_request(url, service_id, command_id, command_version,
                                                                       payload, text, client);
        if (!client->message) {
            delete client;
            return nullptr;
        }
        return client;
    }
    void cancel(void* channel, void* request) override
    {
        auto* client = static_cast<Forward*>(request);
        static_cast<Channel*>(channel)->cancel_request(&client->message, true, 1, nullptr, nullptr);
    }

private:
    // One request: forwards its reply and goes.
    class Forward : public Client {
    public:
        explicit Forward(XrJavaServiceReply* r) : reply(r) {}
        void reply_received(int status, int error_code, const XrString& title, const XrString& details,
                            int service_id, int command_id, int command_version, XrPropertyBag* payload) override
        {
            XrJavaServiceReply* r = reply;
            delete this;
            r->reply(status, error_code, title, details, service_id, command_id, command_version, payload);
        }
        XrJavaServiceReply* reply;
        decltype(std::declval<Channel&>().send_request(XrString(), 0, 0, 0, nullptr, nullptr, nullptr)) message = nullptr;
    };

    XrFsm* m_fsm;
    XrEventloopBase* m_loop;
};

struct XrJavaNetEnv {
    // The scheduler and event loop of the HTTP clients (one per Java Http
    // object) and of the service channel.
    XrFsm* fsm = nullptr;
    XrEventloopBase* loop = nullptr;
    // The service channel; null: ServCom objects raise
    // java/lang/IllegalStateException.
    XrJavaServiceChannel* channel = nullptr;
};

// Binds every native of Http, PropertyBag and ServCom
// (ko_jvm_bind_application_native). Call once before the VM's
// ko_jvm_define_application_classes; the environment is kept for every
// later native call. False when a binding was refused.
bool xr_java_bind_net(const XrJavaNetEnv& env);

// Before the VM is destroyed: replies of pending service requests are
// dropped and every channel reference Java holds is released.
void xr_java_release_net();
