// The natives of Http, PropertyBag and ServCom.
//
// Http: one request record per operation call, completed from the client's
// request_done. A response that is not 2xx raises java/io/IOException (its
// status is in the Http object's field status); a body larger than the
// VM's largest object is not kept and raises java/io/IOException, so that
// the VM never runs out of heap for it.
//
// PropertyBag: a missing key or index raises
// java/lang/IndexOutOfBoundsException, a value of another type
// java/lang/ClassCastException. Bags nested in another bag are tracked, so
// that a Java object of a nested bag whose outer bag has gone, or of a bag
// sent over the channel, raises instead of reaching freed memory.
//
// ServCom: requests are numbered from 1 and never reuse a number; cancel
// takes the number, so a number whose reply has come cancels nothing.
#include "common/java/xr_java_net.h"

#include "common/ber/xr_propertybag.h"
#include "common/container/xr_bytearray.h"
#include "common/java/xr_java_dialogs_natives.h"
#include "common/java/xr_java_natives.h"
#include "common/types/xr_datetime.h"
#include "common/update/xr_httpclient.h"
#include "toolkit/javart/javart_app.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <unordered_map>
#include <vector>

using namespace xr_java;

namespace {

XrJavaNetEnv g_env;

constexpr const char* kNull = "java/lang/NullPointerException";
constexpr const char* kIllegal = "java/lang/IllegalArgumentException";
constexpr const char* kState = "java/lang/IllegalStateException";
constexpr const char* kOom = "java/lang/OutOfMemoryError";
constexpr const char* kIo = "java/io/IOException";

std::int64_t as_long(void* p) { return std::int64_t(reinterpret_cast<std::intptr_t>(p)); }

// ---- Http --------------------------------------------------------------------

const char* http_error_text(int code)
{
    switch (code) {
    case XR_HTTP_ERROR_NO_MEMORY:
        return "Out of memory";
    case XR_HTTP_ERROR_RESOLVE:
        return "DNS lookup failed";
    case XR_HTTP_ERROR_CONNECT:
        return "Connect failed";
    case XR_HTTP_ERROR_IO:
        return "I/O error";
    case XR_HTTP_ERROR_BAD_RESPONSE:
        return "Malformed response";
    case XR_HTTP_ERROR_TRANSFER_CODING:
        return "Unsupported transfer encoding";
    case XR_HTTP_ERROR_LINE_TOO_LONG:
        return "Header line too long";
    case XR_HTTP_ERROR_DESTROYED:
        return "Destroyed";
    case XR_HTTP_ERROR_REDIRECTS:
        return "Too many redirects";
    default:
        return nullptr;
    }
}

// One operation call: from start to request_done.
struct HttpCall {
    KoJvmRec* vm = nullptr;
    KoJvmCompletion complete = nullptr;
    KoJvmThread* thread = nullptr;
    KoJvmGlobalRef http{}; // the Java Http object, for its status
    std::vector<BYTE> body;
    std::vector<BYTE> response;
    std::size_t limit = 0; // the largest body a Java byte array can take
    bool too_large = false;
    std::size_t received = 0;
    bool failed = false;
    int error = 0;
    int status = 0;
};

class XrHttpContext : public XrHttpRequestListener {
public:
    XrHttpContext() : m_client(XrHttpClient::create(g_env.fsm, g_env.loop)) {}
    ~XrHttpContext() override
    {
        if (m_client)
            m_client->destroy();
    }
    XrHttpClient* client() const { return m_client; }
    void add(XrHttpRequest* request, HttpCall* call) { m_calls[request] = call; }
    // Gives every running request up (each completes with "Destroyed");
    // the context goes when the last one is done.
    void close()
    {
        m_closing = true;
        std::vector<XrHttpRequest*> running;
        for (auto& c : m_calls)
            running.push_back(c.first);
        // Destroying may end a request at once (request_done inside).
        ++m_busy;
        for (XrHttpRequest* r : running)
            r->destroy();
        --m_busy;
        if (m_calls.empty() && m_busy == 0)
            delete this;
    }

    void request_failed(XrHttpRequest* request, XrHttpError error) override
    {
        if (HttpCall* c = find(request)) {
            c->failed = true;
            c->error = error;
        }
    }
    void status_received(XrHttpRequest* request, int status) override
    {
        if (HttpCall* c = find(request))
            c->status = status;
    }
    void data_received(XrHttpRequest* request, const BYTE* bytes, int length) override
    {
        HttpCall* c = find(request);
        if (!c || length <= 0)
            return;
        c->received += std::size_t(length);
        if (c->received > c->limit) {
            // Not kept: the rest arrives and is dropped.
            c->too_large = true;
            std::vector<BYTE>().swap(c->response);
            return;
        }
        c->response.insert(c->response.end(), bytes, bytes + length);
    }
    void request_done(XrHttpRequest* request) override
    {
        HttpCall* c = find(request);
        if (!c)
            return;
        m_calls.erase(request);
        // Completing runs the VM, and Java may destroy the Http object
        // meanwhile: the context is deleted only once nothing of it is in use.
        ++m_busy;
        finish(c);
        --m_busy;
        if (m_closing && m_calls.empty() && m_busy == 0)
            delete this;
    }

private:
    HttpCall* find(XrHttpRequest* r)
    {
        auto it = m_calls.find(r);
        return it == m_calls.end() ? nullptr : it->second;
    }
    static void finish(HttpCall* c)
    {
        KoJvmRec* vm = c->vm;
        KoJvmCompletion complete = c->complete;
        KoJvmThread* thread = c->thread;
        KoJvmObjectRec* http = c->http.object;
        if (KoJvmFieldRec* f = http ? ko_jvm_find_field(vm, ko_jvm_class(http), "status", "I") : nullptr)
            ko_jvm_set_int_field(vm, http, f, c->status);
        ko_jvm_remove_global_ref(vm, &c->http);
        char text[512];
        KoJvmObjectRec* exception = nullptr;
        KoJvmObjectRec* result = nullptr;
        if (c->failed) {
            exception = ko_jvm_throw_by_name(vm, thread, kIo, http_error_text(c->error));
        } else if (c->too_large) {
            std::snprintf(text, sizeof text, "Response of %zu bytes is larger than the largest array (%zu bytes)",
                          c->received, c->limit);
            exception = ko_jvm_throw_by_name(vm, thread, kIo, text);
        } else if (c->status < 200 || c->status > 299) {
            std::snprintf(text, sizeof text, "HTTP status %d", c->status);
            exception = ko_jvm_throw_by_name(vm, thread, kIo, text);
        } else {
            result = ko_jvm_new_byte_array(vm, std::int32_t(c->response.size()));
            if (!result) {
                std::snprintf(text, sizeof text, "Could not allocate content data buffer of size %u",
                              unsigned(c->response.size()));
                exception = ko_jvm_throw_by_name(vm, thread, kOom, text);
            } else if (!c->response.empty()) {
                std::memcpy(ko_jvm_byte_array_data(vm, result), c->response.data(), c->response.size());
            }
        }
        delete c;
        if (exception)
            complete(nullptr, exception, thread);
        else
            ko_ret_ref(complete, thread, result);
    }

    XrHttpClient* m_client;
    std::unordered_map<XrHttpRequest*, HttpCall*> m_calls;
    bool m_closing = false;
    int m_busy = 0; // calls of close or request_done under way
};

KO_NATIVE(Http_operation)
{
    (void)clazz, (void)data;
    KoJvmObjectRec* http = receiver(self);
    const std::int32_t method = args[0].i;
    KoJvmObjectRec* url = arg_object(args, 1);
    KoJvmObjectRec* body = arg_object(args, 2);
    if (method < XR_HTTP_OPTIONS || method > XR_HTTP_CONNECT)
        return ko_ret_throw(vm, complete, thread, kIllegal, "Invalid method");
    if (!url)
        return ko_ret_throw(vm, complete, thread, kNull);
    void* handle = get_handle(vm, http);
    if (handle && !is_live(handle, KIND_HTTP))
        return ko_ret_throw(vm, complete, thread, kState);
    auto* context = static_cast<XrHttpContext*>(handle);
    if (!context) {
        if (!g_env.fsm || !g_env.loop)
            return ko_ret_throw(vm, complete, thread, kState, "No network");
        context = new XrHttpContext();
        if (!context->client()) {
            delete context;
            return ko_ret_throw(vm, complete, thread, kOom);
        }
        remember(context, KIND_HTTP);
        set_handle(vm, http, context);
    }
    auto* call = new HttpCall();
    call->vm = vm;
    call->complete = complete;
    call->thread = thread;
    // The body of a byte array of the largest size the heap can hold.
    const std::size_t header = sizeof(KoJvmArrayRec) + 4;
    call->limit = vm->area_size > header ? vm->area_size - header : 0;
    if (body) {
        const auto* bytes = reinterpret_cast<const BYTE*>(ko_jvm_byte_array_data(vm, body));
        call->body.assign(bytes, bytes + ko_jvm_array_length(vm, body));
    }
    XrHttpRequest* request = context->client()->create_request(to_xr(vm, url), method, context, 0);
    if (!request) {
        delete call;
        return ko_ret_throw(vm, complete, thread, kIllegal, "Invalid URL");
    }
    call->http.object = http;
    ko_jvm_add_global_ref(vm, &call->http);
    context->add(request, call);
    if (body)
        request->set_body(call->body.data(), int(call->body.size()));
    // The Java thread waits for request_done.
    request->start();
}

KO_NATIVE(Http_destroy)
{
    (void)clazz, (void)args, (void)data;
    KoJvmObjectRec* http = receiver(self);
    if (auto* context = static_cast<XrHttpContext*>(live_handle(vm, http, KIND_HTTP))) {
        forget(context);
        context->close();
    }
    set_handle(vm, http, nullptr);
    ko_ret_void(complete, thread);
}

// ---- PropertyBag -----------------------------------------------------------------

// Nested bags: child -> outer bag, for the bags Java can reach.
std::unordered_map<XrPropertyBag*, XrPropertyBag*>& outer_of()
{
    static std::unordered_map<XrPropertyBag*, XrPropertyBag*> map;
    return map;
}

// The bag and every bag nested in it (as far as Java reached them) are no
// longer Java's.
void forget_bag(XrPropertyBag* bag)
{
    forget(bag);
    outer_of().erase(bag);
    std::vector<XrPropertyBag*> inner;
    for (auto& e : outer_of())
        if (e.second == bag)
            inner.push_back(e.first);
    for (XrPropertyBag* b : inner)
        forget_bag(b);
}

bool nested(XrPropertyBag* bag) { return outer_of().count(bag) != 0; }

// The receiver's bag, or an exception raised (NullPointerException for a
// bag that is gone).
XrPropertyBag* bag_of(KoJvmRec* vm, KoJvmCat1ValueUnion* self)
{
    return static_cast<XrPropertyBag*>(live_handle(vm, receiver(self), KIND_BAG));
}

// The exception for a bag status (null for success).
void throw_status(KoJvmRec* vm, KoJvmCompletion complete, KoJvmThread* thread, int status, int key, int index)
{
    char text[96];
    if (status == XrPropertyBag::WRONG_TYPE) {
        std::snprintf(text, sizeof text, "Value %d of key %d has another type", index, key);
        return ko_ret_throw(vm, complete, thread, "java/lang/ClassCastException", text);
    }
    if (status == XrPropertyBag::NOT_FOUND || status == XrPropertyBag::NULL_VALUE) {
        std::snprintf(text, sizeof text, "No value %d of key %d", index, key);
        return ko_ret_throw(vm, complete, thread, "java/lang/IndexOutOfBoundsException", text);
    }
    ko_ret_throw(vm, complete, thread, kOom);
}

#define BAG_OR_THROW()                                                                                          \
    XrPropertyBag* bag = bag_of(vm, self);                                                                      \
    if (!bag)                                                                                                   \
    return ko_ret_throw(vm, complete, thread, kNull)

KO_NATIVE(Bag_getCount)
{
    (void)clazz, (void)data;
    BAG_OR_THROW();
    ko_ret_int(complete, thread, bag->get_value_count(args[0].i));
}

void added(KoJvmRec* vm, KoJvmCompletion complete, KoJvmThread* thread, int status, int key)
{
    if (status != XrPropertyBag::OK)
        return throw_status(vm, complete, thread, status, key, 0);
    ko_ret_void(complete, thread);
}

KO_NATIVE(Bag_addBoolean)
{
    (void)clazz, (void)data;
    BAG_OR_THROW();
    added(vm, complete, thread, bag->add_bool(args[0].i, args[1].i != 0), args[0].i);
}

KO_NATIVE(Bag_addInt)
{
    (void)clazz, (void)data;
    BAG_OR_THROW();
    added(vm, complete, thread, bag->add_int(args[0].i, args[1].i), args[0].i);
}

KO_NATIVE(Bag_addDouble)
{
    (void)clazz, (void)data;
    BAG_OR_THROW();
    added(vm, complete, thread, bag->add_double(args[0].i, ko_arg_double(args + 1)), args[0].i);
}

KO_NATIVE(Bag_addString)
{
    (void)clazz, (void)data;
    BAG_OR_THROW();
    KoJvmObjectRec* s = arg_object(args, 1);
    if (!s)
        return ko_ret_throw(vm, complete, thread, kNull);
    added(vm, complete, thread, bag->add_string(args[0].i, to_xr(vm, s)), args[0].i);
}

KO_NATIVE(Bag_addBytes)
{
    (void)clazz, (void)data;
    BAG_OR_THROW();
    KoJvmObjectRec* a = arg_object(args, 1);
    if (!a)
        return ko_ret_throw(vm, complete, thread, kNull);
    auto* blob = new XrByteArray();
    const std::int32_t n = ko_jvm_array_length(vm, a);
    if (n > 0)
        blob->set(reinterpret_cast<const BYTE*>(ko_jvm_byte_array_data(vm, a)), n);
    added(vm, complete, thread, bag->add_blob(args[0].i, blob), args[0].i);
}

KO_NATIVE(Bag_getBoolean)
{
    (void)clazz, (void)data;
    BAG_OR_THROW();
    bool v = false;
    int st = bag->get_bool(args[0].i, args[1].i, v);
    if (st != XrPropertyBag::OK)
        return throw_status(vm, complete, thread, st, args[0].i, args[1].i);
    ko_ret_int(complete, thread, v ? 1 : 0);
}

KO_NATIVE(Bag_getInt)
{
    (void)clazz, (void)data;
    BAG_OR_THROW();
    std::int32_t v = 0;
    int st = bag->get_int(args[0].i, args[1].i, v);
    if (st != XrPropertyBag::OK)
        return throw_status(vm, complete, thread, st, args[0].i, args[1].i);
    ko_ret_int(complete, thread, v);
}

KO_NATIVE(Bag_getDouble)
{
    (void)clazz, (void)data;
    BAG_OR_THROW();
    double v = 0;
    int st = bag->get_double(args[0].i, args[1].i, v);
    if (st != XrPropertyBag::OK)
        return throw_status(vm, complete, thread, st, args[0].i, args[1].i);
    ko_ret_double(complete, thread, v);
}

KO_NATIVE(Bag_getString)
{
    (void)clazz, (void)data;
    BAG_OR_THROW();
    XrString v;
    int st = bag->get_string(args[0].i, args[1].i, v);
    if (st != XrPropertyBag::OK)
        return throw_status(vm, complete, thread, st, args[0].i, args[1].i);
    KoJvmObjectRec* s = to_java(vm, v);
    if (!s)
        return ko_ret_throw(vm, complete, thread, kOom);
    ko_ret_ref(complete, thread, s);
}

KO_NATIVE(Bag_getBytes)
{
    (void)clazz, (void)data;
    BAG_OR_THROW();
    XrPropertyBagValue* value = nullptr;
    int st = bag->get_value(args[0].i, args[1].i, value);
    if (st == XrPropertyBag::OK && value && value->get_type() != XrPropertyBagValue::TYPE_BLOB)
        st = XrPropertyBag::WRONG_TYPE;
    if (st != XrPropertyBag::OK || !value)
        return throw_status(vm, complete, thread, st != XrPropertyBag::OK ? st : XrPropertyBag::NOT_FOUND, args[0].i,
                            args[1].i);
    const XrByteArray* bytes = static_cast<XrPropertyBagValueBlob*>(value)->get();
    const std::int32_t n = bytes ? bytes->get_num_items() : 0;
    KoJvmObjectRec* a = ko_jvm_new_byte_array(vm, n);
    if (!a)
        return ko_ret_throw(vm, complete, thread, kOom);
    if (n > 0)
        std::memcpy(ko_jvm_byte_array_data(vm, a), bytes->get_items(), std::size_t(n));
    ko_ret_ref(complete, thread, a);
}

KO_NATIVE(Bag_addReference)
{
    (void)clazz, (void)data;
    BAG_OR_THROW();
    KoJvmObjectRec* other_obj = arg_object(args, 1);
    if (!other_obj)
        return ko_ret_throw(vm, complete, thread, kNull);
    auto* other = static_cast<XrPropertyBag*>(live_handle(vm, other_obj, KIND_BAG));
    if (!other)
        return ko_ret_throw(vm, complete, thread, kNull);
    if (nested(other))
        return ko_ret_throw(vm, complete, thread, kIllegal, "Bag already nested");
    for (XrPropertyBag* b = bag; b; b = nested(b) ? outer_of()[b] : nullptr)
        if (b == other)
            return ko_ret_throw(vm, complete, thread, kIllegal, "Bag nested in itself");
    // The outer bag owns it now, whatever the Java side does.
    if (KoJvmFieldRec* f = ko_jvm_find_field(vm, ko_jvm_class(other_obj), "persistent", "Z"))
        ko_jvm_set_boolean_field(vm, other_obj, f, 1);
    const int st = bag->add_bag(args[0].i, other);
    if (st != XrPropertyBag::OK) {
        // The bag deleted it.
        forget_bag(other);
        return throw_status(vm, complete, thread, st, args[0].i, 0);
    }
    outer_of()[other] = bag;
    ko_ret_void(complete, thread);
}

KO_NATIVE(Bag_addEpoch)
{
    (void)clazz, (void)data;
    BAG_OR_THROW();
    const std::int64_t seconds = ko_arg_long(args + 1) / 1000; // toward zero
    if (seconds < std::numeric_limits<std::int32_t>::min() || seconds > std::numeric_limits<std::int32_t>::max())
        return ko_ret_throw(vm, complete, thread, kIllegal, "Date out of range");
    added(vm, complete, thread, bag->add_datetime(args[0].i, XrDatetime(static_cast<int>(seconds))), args[0].i);
}

KO_NATIVE(Bag_getEpoch)
{
    (void)clazz, (void)data;
    BAG_OR_THROW();
    XrDatetime v;
    int st = bag->get_datetime(args[0].i, args[1].i, v);
    if (st != XrPropertyBag::OK)
        return throw_status(vm, complete, thread, st, args[0].i, args[1].i);
    ko_ret_long(complete, thread, std::int64_t(std::int32_t(v.get_utc())) * 1000);
}

KO_NATIVE(Bag_getReference)
{
    (void)clazz, (void)data;
    BAG_OR_THROW();
    XrPropertyBag* inner = nullptr;
    int st = bag->get_bag(args[0].i, args[1].i, inner);
    if (st != XrPropertyBag::OK || !inner)
        return throw_status(vm, complete, thread, st != XrPropertyBag::OK ? st : XrPropertyBag::NOT_FOUND, args[0].i,
                            args[1].i);
    remember(inner, KIND_BAG);
    outer_of()[inner] = bag;
    ko_ret_long(complete, thread, as_long(inner));
}

KO_NATIVE(Bag_create)
{
    (void)vm, (void)clazz, (void)self, (void)args, (void)data;
    auto* bag = new XrPropertyBag();
    remember(bag, KIND_BAG);
    ko_ret_long(complete, thread, as_long(bag));
}

KO_NATIVE(Bag_destroy)
{
    (void)clazz, (void)args, (void)data;
    KoJvmObjectRec* obj = receiver(self);
    auto* bag = static_cast<XrPropertyBag*>(live_handle(vm, obj, KIND_BAG));
    // A nested bag is its outer bag's.
    if (bag && !nested(bag)) {
        forget_bag(bag);
        delete bag;
    }
    set_handle(vm, obj, nullptr);
    ko_ret_void(complete, thread);
}

// ---- ServCom -------------------------------------------------------------------------

// One Java ServCom object's reference to the channel.
struct ChannelRef {
    void* channel;
};

// The references Java holds, released when the VM ends.
std::vector<ChannelRef*>& channel_refs()
{
    static std::vector<ChannelRef*> refs;
    return refs;
}

void drop_channel_ref(ChannelRef* ref)
{
    auto& refs = channel_refs();
    refs.erase(std::remove(refs.begin(), refs.end(), ref), refs.end());
    forget(ref);
    g_env.channel->release(ref->channel);
    delete ref;
}

// A sent request, until its reply has reached Java.
class XrServComClientJava : public XrJavaServiceReply {
public:
    XrServComClientJava(KoJvmRec* vm, KoJvmObjectRec* listener, std::int64_t id) : m_vm(vm), m_id(id)
    {
        m_listener.object = listener;
        ko_jvm_add_global_ref(vm, &m_listener);
    }
    ~XrServComClientJava() override
    {
        if (m_vm)
            ko_jvm_remove_global_ref(m_vm, &m_listener);
    }
    // The VM ends before the reply: it is dropped when it comes.
    void orphan()
    {
        ko_jvm_remove_global_ref(m_vm, &m_listener);
        m_vm = nullptr;
    }

    void reply(int status, int error_code, const XrString&, const XrString& details, int service_id, int command_id,
               int command_version, XrPropertyBag* payload) override;

    std::int64_t id() const { return m_id; }
    void* channel = nullptr;
    void* request = nullptr;

private:
    KoJvmRec* m_vm;
    KoJvmGlobalRef m_listener{};
    std::int64_t m_id;
};

std::unordered_map<std::int64_t, XrServComClientJava*>& pending()
{
    static std::unordered_map<std::int64_t, XrServComClientJava*> map;
    return map;
}
std::int64_t g_last_id = 0;

void XrServComClientJava::reply(int status, int error_code, const XrString&, const XrString& details, int service_id,
                                int command_id, int command_version, XrPropertyBag* payload)
{
    pending().erase(m_id);
    KoJvmRec* vm = m_vm;
    if (!vm) {
        delete payload;
        delete this;
        return;
    }
    KoJvmObjectRec* text = to_java(vm, details);
    int mark = ko_jvm_push_handle(vm, &text);
    KoJvmObjectRec* message = nullptr;
    KoJvmObjectRec* bag = nullptr;
    ko_jvm_push_handle(vm, &message);
    ko_jvm_push_handle(vm, &bag);
    const char* message_name = "com/kestrovatech/ServComMessage";
    KoJvmClassRec* mc = ko_jvm_find_class(vm, message_name, std::strlen(message_name));
    KoJvmClassRec* bc = ko_jvm_find_class(vm, "com/kestrovatech/PropertyBag", 28);
    if (mc && (message = ko_jvm_new_object(vm, mc))) {
        if (KoJvmFieldRec* f = ko_jvm_find_field(vm, mc, "serviceId", "I"))
            ko_jvm_set_int_field(vm, message, f, service_id);
        if (KoJvmFieldRec* f = ko_jvm_find_field(vm, mc, "commandId", "I"))
            ko_jvm_set_int_field(vm, message, f, command_id);
        if (KoJvmFieldRec* f = ko_jvm_find_field(vm, mc, "commandVersion", "I"))
            ko_jvm_set_int_field(vm, message, f, command_version);
        if (payload && bc && (bag = ko_jvm_new_object(vm, bc))) {
            // Java owns the payload now.
            set_handle(vm, bag, payload);
            remember(payload, KIND_BAG);
            payload = nullptr;
            if (KoJvmFieldRec* f = ko_jvm_find_field(vm, mc, "bag", "Lcom/kestrovatech/PropertyBag;"))
                ko_jvm_set_ref_field(vm, message, f, bag);
        }
    }
    delete payload; // not handed to Java
    KoJvmObjectRec* listener = m_listener.object;
    KoJvmThread* thread = new_call_thread(vm, &listener);
    if (thread)
        ko_jvm_invoke_virtual_async(thread, 0, listener, "communicationComplete", 0,
                                    "(IILjava/lang/String;Lcom/kestrovatech/ServComMessage;)V", 0, nullptr, end_call,
                                    thread, status, error_code, text, message);
    ko_jvm_pop_handles(vm, mark);
    delete this;
    ko_jvm_run(vm);
}

KO_NATIVE(ServCom_cancel)
{
    (void)clazz, (void)data;
    auto* ref = static_cast<ChannelRef*>(live_handle(vm, receiver(self), KIND_CHANNEL));
    if (!ref)
        return ko_ret_throw(vm, complete, thread, kNull);
    auto it = pending().find(ko_arg_long(args));
    if (it != pending().end() && it->second->request && g_env.channel)
        g_env.channel->cancel(it->second->channel, it->second->request);
    ko_ret_void(complete, thread);
}

KO_NATIVE(ServCom_nativeSend)
{
    (void)clazz, (void)data;
    KoJvmObjectRec* url = arg_object(args, 0);
    KoJvmObjectRec* bag_obj = arg_object(args, 4);
    KoJvmObjectRec* text = arg_object(args, 5);
    KoJvmObjectRec* listener = arg_object(args, 6);
    if (!url || !bag_obj || !listener)
        return ko_ret_throw(vm, complete, thread, kNull);
    auto* ref = static_cast<ChannelRef*>(live_handle(vm, receiver(self), KIND_CHANNEL));
    auto* bag = static_cast<XrPropertyBag*>(live_handle(vm, bag_obj, KIND_BAG));
    if (!ref || !bag)
        return ko_ret_throw(vm, complete, thread, kNull);
    if (nested(bag))
        return ko_ret_throw(vm, complete, thread, kIllegal, "Bag nested in another bag");
    // The request takes the bag: its Java object keeps none.
    if (KoJvmFieldRec* f = ko_jvm_find_field(vm, ko_jvm_class(bag_obj), "persistent", "Z"))
        ko_jvm_set_boolean_field(vm, bag_obj, f, 1);
    forget_bag(bag);
    set_handle(vm, bag_obj, nullptr);
    const std::int64_t id = ++g_last_id;
    auto* client = new XrServComClientJava(vm, listener, id);
    client->channel = ref->channel;
    pending()[id] = client;
    const XrString busy = to_xr(vm, text);
    void* request = g_env.channel->send(ref->channel, to_xr(vm, url), args[1].i, args[2].i, args[3].i, bag,
                                        text ? &busy : nullptr, client);
    if (!request) {
        if (pending().erase(id))
            delete client;
        return ko_ret_throw(vm, complete, thread, kIo, "Request not queued");
    }
    if (pending().count(id))
        client->request = request;
    ko_ret_long(complete, thread, id);
}

KO_NATIVE(ServCom_create)
{
    (void)clazz, (void)self, (void)args, (void)data;
    void* channel = g_env.channel ? g_env.channel->acquire() : nullptr;
    if (!channel)
        return ko_ret_throw(vm, complete, thread, kState, "No service channel");
    auto* ref = new ChannelRef{channel};
    remember(ref, KIND_CHANNEL);
    channel_refs().push_back(ref);
    ko_ret_long(complete, thread, as_long(ref));
}

KO_NATIVE(ServCom_destroy)
{
    (void)clazz, (void)args, (void)data;
    KoJvmObjectRec* obj = receiver(self);
    if (auto* ref = static_cast<ChannelRef*>(live_handle(vm, obj, KIND_CHANNEL)))
        drop_channel_ref(ref);
    set_handle(vm, obj, nullptr);
    ko_ret_void(complete, thread);
}

} // namespace

// In class-file order of each class's natives: the position each is bound at.
const std::vector<XrJavaNative>& xr_java_net_natives()
{
    static const std::vector<XrJavaNative> natives = {
        {"com/kestrovatech/Http", "operation(ILjava/lang/String;[B)[B", Http_operation},
        {"com/kestrovatech/Http", "destroy()V", Http_destroy},
        {"com/kestrovatech/PropertyBag", "getCount(I)I", Bag_getCount},
        {"com/kestrovatech/PropertyBag", "add(IZ)V", Bag_addBoolean},
        {"com/kestrovatech/PropertyBag", "add(II)V", Bag_addInt},
        {"com/kestrovatech/PropertyBag", "add(ID)V", Bag_addDouble},
        {"com/kestrovatech/PropertyBag", "add(ILjava/lang/String;)V", Bag_addString},
        {"com/kestrovatech/PropertyBag", "add(I[B)V", Bag_addBytes},
        {"com/kestrovatech/PropertyBag", "getBoolean(II)Z", Bag_getBoolean},
        {"com/kestrovatech/PropertyBag", "getInt(II)I", Bag_getInt},
        {"com/kestrovatech/PropertyBag", "getDouble(II)D", Bag_getDouble},
        {"com/kestrovatech/PropertyBag", "getString(II)Ljava/lang/String;", Bag_getString},
        {"com/kestrovatech/PropertyBag", "getByteArray(II)[B", Bag_getBytes},
        {"com/kestrovatech/PropertyBag", "addReference(ILcom/kestrovatech/PropertyBag;)V", Bag_addReference},
        {"com/kestrovatech/PropertyBag", "addEpoch(IJ)V", Bag_addEpoch},
        {"com/kestrovatech/PropertyBag", "getEpoch(II)J", Bag_getEpoch},
        {"com/kestrovatech/PropertyBag", "getReference(II)J", Bag_getReference},
        {"com/kestrovatech/PropertyBag", "create()J", Bag_create},
        {"com/kestrovatech/PropertyBag", "destroy()V", Bag_destroy},
        {"com/kestrovatech/ServCom", "cancel(J)V", ServCom_cancel},
        {"com/kestrovatech/ServCom", "nativeSend(Ljava/lang/String;IIILcom/kestrovatech/PropertyBag;Ljava/lang/String;Lcom/kestrovatech/ServComListener;)J", ServCom_nativeSend},
        {"com/kestrovatech/ServCom", "create()J", ServCom_create},
        {"com/kestrovatech/ServCom", "destroy()V", ServCom_destroy},
    };
    return natives;
}


bool xr_java_bind_net(const XrJavaNetEnv& env)
{
    g_env = env;
    return xr_java_bind_natives(xr_java_net_natives());
}

void xr_java_release_net()
{
    // Replies still to come go nowhere; then the channel references go
    // (the last one cancels what is pending).
    for (auto& p : pending())
        p.second->orphan();
    while (!channel_refs().empty())
        drop_channel_ref(channel_refs().back());
}
