#include "common/update/xr_updaterpcclient.h"

#include "common/os/xr_eventloopbase.h"
#include "common/misc/xr_textutil.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

XrString widen(const char* text)
{
    return XrString(text != nullptr ? text : "");
}

// Decodes one form-encoded key or value: "+" is a space, "%" takes exactly
// two hexadecimal digits; false for a broken escape.
bool form_decode(const BYTE* bytes, int length, XrByteArray& out)
{
    out.remove_all();
    for (int i = 0; i < length; ++i) {
        BYTE c = bytes[i];
        if (c == '+') {
            c = ' ';
        } else if (c == '%') {
            if (length - i < 3)
                return false;
            int high = hex_value(bytes[i + 1]);
            int low = hex_value(bytes[i + 2]);
            if (high < 0 || low < 0)
                return false;
            c = static_cast<BYTE>(high * 16 + low);
            i += 2;
        }
        if (!out.append_byte(c))
            return false;
    }
    return true;
}

} // namespace

// ---- XrRpcCall

XrRpcCall::XrRpcCall(const XrString& path_) : path(path_) {}

XrRpcCall::~XrRpcCall()
{
    delete_list(params);
    delete_list(reply);
}

void XrRpcCall::delete_list(XrRpcParam*& list)
{
    while (list != nullptr) {
        XrRpcParam* next = list->next;
        delete list;
        list = next;
    }
}

XrRpcParam* XrRpcCall::find(XrRpcParam* list, const XrString& key)
{
    for (XrRpcParam* p = list; p != nullptr; p = p->next) {
        if (p->key == key)
            return p;
    }
    return nullptr;
}

bool XrRpcCall::insert(XrRpcParam*& list, const XrString& key, const BYTE* bytes, int length)
{
    if (length < 0 || (length > 0 && bytes == nullptr) || find(list, key) != nullptr)
        return false;
    XrRpcParam* param = new (std::nothrow) XrRpcParam;
    if (param == nullptr)
        return false;
    param->value = new (std::nothrow) BYTE[static_cast<size_t>(length) + 1];
    if (param->value == nullptr) {
        delete param;
        return false;
    }
    if (length > 0)
        std::memcpy(param->value, bytes, static_cast<size_t>(length));
    param->value[length] = 0;
    param->length = length;
    param->key = key;
    param->next = list;
    list = param;
    return true;
}

bool XrRpcCall::add_string_param(const char* key, const char* value)
{
    const char* v = value != nullptr ? value : "";
    return insert(params, widen(key), reinterpret_cast<const BYTE*>(v), static_cast<int>(std::strlen(v)));
}

bool XrRpcCall::add_binary_param(const char* key, const BYTE* bytes, int length)
{
    return insert(params, widen(key), bytes, length);
}

bool XrRpcCall::add_text_param(const char* key, const XrString& value)
{
    int n = value.length();
    BYTE* bytes = new (std::nothrow) BYTE[static_cast<size_t>(n) + 1];
    if (bytes == nullptr)
        return false;
    const TCHAR* text = value.c_str();
    for (int i = 0; i < n; ++i)
        bytes[i] = static_cast<BYTE>(text[i] & 0xFF);
    bool ok = insert(params, widen(key), bytes, n);
    delete[] bytes;
    return ok;
}

bool XrRpcCall::add_int_param(const char* key, int value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%d", value);
    return add_string_param(key, text);
}

bool XrRpcCall::add_unsigned_param(const char* key, unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%u", value);
    return add_string_param(key, text);
}

bool XrRpcCall::add_reply_value(const XrString& key, const BYTE* bytes, int length)
{
    return insert(reply, key, bytes, length);
}

bool XrRpcCall::get_reply_value(const char* key, const BYTE*& bytes, int& length) const
{
    XrRpcParam* p = find(reply, widen(key));
    if (p == nullptr)
        return false;
    bytes = p->value;
    length = p->length;
    return true;
}

bool XrRpcCall::get_reply_string(const char* key, const char*& value) const
{
    XrRpcParam* p = find(reply, widen(key));
    if (p == nullptr)
        return false;
    value = reinterpret_cast<const char*>(p->value);
    return true;
}

bool XrRpcCall::get_reply_unsigned(const char* key, unsigned& value) const
{
    const BYTE* bytes;
    int length;
    if (!get_reply_value(key, bytes, length))
        return false;
    unsigned result = 0;
    for (int i = 0; i < length; ++i) {
        if (bytes[i] < '0' || bytes[i] > '9')
            return false;
        unsigned digit = bytes[i] - '0';
        if (result > (UINT_MAX - digit) / 10)
            return false;
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

bool XrRpcCall::encode_char(XrByteArray& out, int code)
{
    // Characters with a meaning in URLs, forms or markup; "%" and "&" too, as
    // the reply decoder and the server's form decoder read them as an escape
    // and a separator.
    static const char escaped[] = "\t \"%&()+,/:;<=>?@[]\\{}";
    char text[16];
    if (code < 0)
        code &= 0xFF;
    if (code >= 256) {
        std::snprintf(text, sizeof(text), "%%u%04X", static_cast<unsigned>(code));
        return out.append(text);
    }
    if (code < 32 || std::strchr(escaped, code) != nullptr) {
        std::snprintf(text, sizeof(text), "%%%02X", static_cast<unsigned>(code));
        return out.append(text);
    }
    return out.append_byte(static_cast<BYTE>(code));
}

bool XrRpcCall::encode_param(XrByteArray& out, const XrString& key, const BYTE* value, int length)
{
    const TCHAR* k = key.c_str();
    for (int i = 0, n = key.length(); i < n; ++i) {
        if (!encode_char(out, static_cast<int>(k[i])))
            return false;
    }
    if (!out.append_byte('='))
        return false;
    for (int i = 0; i < length; ++i) {
        if (!encode_char(out, value[i]))
            return false;
    }
    return true;
}

bool XrRpcCall::encode_params(XrByteArray& body) const
{
    for (XrRpcParam* p = params; p != nullptr; p = p->next) {
        if (p != params && !body.append_byte('&'))
            return false;
        if (!encode_param(body, p->key, p->value, p->length))
            return false;
    }
    return true;
}

bool XrRpcCall::decode_reply(const BYTE* bytes, int length)
{
    XrByteArray key_bytes;
    XrByteArray value_bytes;
    int pos = 0;
    while (pos < length) {
        const BYTE* start = bytes + pos;
        int rest = length - pos;
        const BYTE* eq = static_cast<const BYTE*>(std::memchr(start, '=', static_cast<size_t>(rest)));
        if (eq == nullptr)
            return false;
        int key_len = static_cast<int>(eq - start);
        const BYTE* value = eq + 1;
        int value_rest = rest - key_len - 1;
        const BYTE* amp = static_cast<const BYTE*>(std::memchr(value, '&', static_cast<size_t>(value_rest)));
        int value_len = amp != nullptr ? static_cast<int>(amp - value) : value_rest;
        if (!form_decode(start, key_len, key_bytes) || !form_decode(value, value_len, value_bytes))
            return false;
        XrString key(reinterpret_cast<const char*>(key_bytes.get_items()), key_bytes.get_num_items());
        if (!add_reply_value(key, value_bytes.get_items(), value_bytes.get_num_items()))
            return false;
        pos += key_len + 1 + value_len + (amp != nullptr ? 1 : 0);
    }
    return true;
}

// ---- XrUpdateRpcClient

XrUpdateRpcClient::XrUpdateRpcClient(XrFsm* fsm_, XrEventloopBase* loop_)
    : XrFsmThread(fsm_, "UpdateRpcClient"), loop(loop_), wait_queue(fsm_), reply_buffer(16, 0),
      state(&XrUpdateRpcClient::st_idle)
{
    activate();
}

XrUpdateRpcClient::~XrUpdateRpcClient()
{
    delete body;
    if (http_client != nullptr)
        http_client->destroy();
}

void XrUpdateRpcClient::call(XrRpcCall* c)
{
    if (current != nullptr) {
        if (listener != nullptr)
            listener->rpc_done(false, c);
        return;
    }
    current = c;
    wake();
}

void XrUpdateRpcClient::quit()
{
    quit_flag = true;
    wake();
}

void XrUpdateRpcClient::wake()
{
    if (thread_queue == &wait_queue)
        wait_queue.wake_one();
    else if (thread_queue != nullptr)
        fsm->run(); // not stepped yet since construction
}

XrFsmResult XrUpdateRpcClient::step()
{
    return (this->*state)();
}

void XrUpdateRpcClient::finished()
{
    delete this;
}

XrFsmResult XrUpdateRpcClient::st_idle()
{
    if (quit_flag) {
        // A call handed over together with quit is dropped.
        current = nullptr;
        state = &XrUpdateRpcClient::st_final;
        return XR_FSM_CONTINUE;
    }
    if (current == nullptr) {
        wait_queue.add(this);
        return XR_FSM_SUSPEND;
    }
    if (http_client == nullptr) {
        http_client = XrHttpClient::create(fsm, loop);
        if (http_client == nullptr) {
            state = &XrUpdateRpcClient::st_error;
            return XR_FSM_CONTINUE;
        }
        if (proxy_host.length() > 0)
            http_client->set_proxy(proxy_host, proxy_port);
    }
    state = &XrUpdateRpcClient::st_call;
    return XR_FSM_CONTINUE;
}

XrFsmResult XrUpdateRpcClient::st_call()
{
    state = &XrUpdateRpcClient::st_error;
    // A path that does not fit is an error, not a shortened path.
    XrString url;
    url.format(max_url + 2, L"http://%ls:%u%ls", server_host.c_str(), static_cast<unsigned>(server_port),
               current->get_path().c_str());
    if (url.length() > max_url)
        return XR_FSM_CONTINUE;
    body = new (std::nothrow) XrByteArray(64, 0);
    if (body == nullptr || !current->encode_params(*body))
        return XR_FSM_CONTINUE;
    XrHttpRequest* request = http_client->create_request(url, XR_HTTP_POST, this, 0);
    if (request == nullptr)
        return XR_FSM_CONTINUE;
    if (!request->set_header(XrString("Connection"), XrString("close")) ||
        !request->set_body(body->get_items(), body->get_num_items())) {
        request->destroy();
        return XR_FSM_CONTINUE;
    }
    set_in_async_call(true);
    thread_async_wait = true;
    state = &XrUpdateRpcClient::st_sent;
    ok = true;
    request->start();
    return take_wait_result();
}

XrFsmResult XrUpdateRpcClient::st_sent()
{
    state = &XrUpdateRpcClient::st_complete;
    return XR_FSM_CONTINUE;
}

XrFsmResult XrUpdateRpcClient::st_error()
{
    ok = false;
    state = &XrUpdateRpcClient::st_complete;
    return XR_FSM_CONTINUE;
}

XrFsmResult XrUpdateRpcClient::st_complete()
{
    XrRpcCall* done = current;
    bool result = ok;
    current = nullptr;
    delete body;
    body = nullptr;
    reply_buffer.remove_all();
    state = &XrUpdateRpcClient::st_idle;
    if (listener != nullptr)
        listener->rpc_done(result, done);
    return XR_FSM_CONTINUE;
}

XrFsmResult XrUpdateRpcClient::st_final()
{
    return XR_FSM_FINISH;
}

void XrUpdateRpcClient::request_failed(XrHttpRequest*, XrHttpError)
{
    ok = false;
}

void XrUpdateRpcClient::status_received(XrHttpRequest*, int status)
{
    if (status < 200 || status > 299)
        ok = false;
}

void XrUpdateRpcClient::data_received(XrHttpRequest*, const BYTE* bytes, int length)
{
    if (!reply_buffer.append(bytes, length))
        ok = false;
}

void XrUpdateRpcClient::request_done(XrHttpRequest*)
{
    if (ok && reply_buffer.get_num_items() > 0 &&
        !current->decode_reply(reply_buffer.get_items(), reply_buffer.get_num_items()))
        ok = false;
    // Resumed from the main loop, once the http client has deleted the
    // request: the owner may quit from rpc_done, which destroys the client.
    if (loop != nullptr)
        post_async_callback(loop);
    else
        thread_async_callback();
}
