// Remote calls to the update server: a call is a server path and a list of
// named byte values, sent as one form-encoded POST body; the reply is a
// form-encoded list of named values. XrUpdateRpcClient performs the calls of
// one owner, one at a time.
#pragma once

#include "common/container/xr_bytearray.h"
#include "common/container/xr_string.h"
#include "common/fsm/xr_fsm.h"
#include "common/update/xr_httpclient.h"

class XrEventloopBase;

// One named value; a node of a singly linked list.
struct XrRpcParam {
    XrRpcParam* next = nullptr;
    XrString key;
    BYTE* value = nullptr; // length bytes and a terminating zero
    int length = 0;

    XrRpcParam() = default;
    XrRpcParam(const XrRpcParam&) = delete;
    XrRpcParam& operator=(const XrRpcParam&) = delete;
    ~XrRpcParam() { delete[] value; }
};

// One call: filled by the owner, completed by the client, read back by the
// owner. New parameters and reply values go to the head of their list; a key
// already in the list is refused.
class XrRpcCall {
public:
    explicit XrRpcCall(const XrString& path);
    XrRpcCall(const XrRpcCall&) = delete;
    XrRpcCall& operator=(const XrRpcCall&) = delete;
    ~XrRpcCall();

    const XrString& get_path() const { return path; }
    XrRpcParam* get_params() const { return params; }
    XrRpcParam* get_reply() const { return reply; }

    // Keys are zero-terminated narrow texts, kept widened byte by byte.
    // Every add is false when the key is present or memory runs out.
    bool add_string_param(const char* key, const char* value);
    bool add_binary_param(const char* key, const BYTE* bytes, int length);
    // Each character gives its low 8 bits as one byte.
    bool add_text_param(const char* key, const XrString& value);
    bool add_int_param(const char* key, int value);
    bool add_unsigned_param(const char* key, unsigned value);

    // Reply values by key; false when absent.
    bool get_reply_value(const char* key, const BYTE*& bytes, int& length) const;
    bool get_reply_string(const char* key, const char*& value) const;
    // Decimal digits only (empty: 0); false for any other byte or a number
    // beyond the range of unsigned.
    bool get_reply_unsigned(const char* key, unsigned& value) const;

    // Adds a decoded reply value; false when the key is already there.
    bool add_reply_value(const XrString& key, const BYTE* bytes, int length);

    // The form body of the parameters, head of the list first; false when
    // memory runs out.
    bool encode_params(XrByteArray& body) const;
    // Decodes a form-encoded reply into the reply list; false for a
    // malformed reply (values decoded before the fault stay in the list).
    bool decode_reply(const BYTE* bytes, int length);

    // Appends one key or value character, escaped as the form needs it.
    static bool encode_char(XrByteArray& out, int code);
    // Appends one "key=value" pair.
    static bool encode_param(XrByteArray& out, const XrString& key, const BYTE* value, int length);

private:
    static XrRpcParam* find(XrRpcParam* list, const XrString& key);
    static bool insert(XrRpcParam*& list, const XrString& key, const BYTE* bytes, int length);
    static void delete_list(XrRpcParam*& list);

    XrString path;
    XrRpcParam* params = nullptr;
    XrRpcParam* reply = nullptr;
};

class XrUpdateRpcListener {
public:
    virtual ~XrUpdateRpcListener() = default;
    // The call has ended; ok when it was sent, the status was 2xx and the
    // reply parsed (its values are then in the call's reply list).
    virtual void rpc_done(bool ok, XrRpcCall* call) = 0;
};

class XrUpdateRpcClient : public XrFsmThread, public XrHttpRequestListener {
public:
    static constexpr int max_url = 256;

    // Queued on the scheduler at once; it then waits for calls.
    XrUpdateRpcClient(XrFsm* fsm, XrEventloopBase* loop);

    void set_listener(XrUpdateRpcListener* l) { listener = l; }
    void set_server(const XrString& host, int port) { server_host = host, server_port = port; }
    void get_server(XrString& host, int& port) const { host = server_host, port = server_port; }
    // An empty host: no explicit proxy.
    void set_proxy(const XrString& host, int port) { proxy_host = host, proxy_port = port; }
    void get_proxy(XrString& host, int& port) const { host = proxy_host, port = proxy_port; }

    // Takes the call (the caller keeps owning it) and wakes the client; while
    // a call is under way the new one is refused with rpc_done(false) at once.
    void call(XrRpcCall* call);
    // The client deletes itself the next time it is idle.
    void quit();

    XrFsmResult step() override;
    void finished() override;

    void request_failed(XrHttpRequest* request, XrHttpError error) override;
    void status_received(XrHttpRequest* request, int status) override;
    void data_received(XrHttpRequest* request, const BYTE* bytes, int length) override;
    void request_done(XrHttpRequest* request) override;

private:
    typedef XrFsmResult (XrUpdateRpcClient::*State)();
    ~XrUpdateRpcClient() override;

    XrFsmResult st_idle();
    XrFsmResult st_call();
    XrFsmResult st_sent();
    XrFsmResult st_error();
    XrFsmResult st_complete();
    XrFsmResult st_final();
    // Lets the thread see a new call or the quit flag.
    void wake();

    XrEventloopBase* loop;
    XrUpdateRpcListener* listener = nullptr;
    XrHttpClient* http_client = nullptr;
    XrFsmWaitQueue wait_queue;
    XrString server_host;
    int server_port = 80;
    XrString proxy_host;
    int proxy_port = 80;
    bool quit_flag = false;
    XrRpcCall* current = nullptr;
    XrByteArray* body = nullptr;
    XrByteArray reply_buffer;
    bool ok = false;
    State state;
};
