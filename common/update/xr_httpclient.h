// The HTTP/1.1 client: a client owns one connection and a queue of requests
// that it runs one at a time, first to last, on cooperative state machines.
// Each request reports to its listener.
#pragma once

#include "common/container/xr_defs.h"

class XrString;
class XrFsm;
class XrEventloopBase;
class XrHttpRequest;

// Request methods.
typedef int XrHttpMethod;
enum : int {
    XR_HTTP_OPTIONS = 0,
    XR_HTTP_GET = 1,
    XR_HTTP_HEAD = 2,
    XR_HTTP_POST = 3,
    XR_HTTP_PUT = 4,
    XR_HTTP_DELETE = 5,
    XR_HTTP_TRACE = 6,
    XR_HTTP_CONNECT = 7,
};

// "GET", "POST", ...; "" for a value that names no method.
const char* xr_http_method_name(XrHttpMethod method);

// The error codes of XrHttpRequestListener::request_failed.
enum XrHttpError : int {
    XR_HTTP_ERROR_NO_MEMORY = 0,       // also: no Internet connection came up
    XR_HTTP_ERROR_RESOLVE = 1,         // the host name was not resolved
    XR_HTTP_ERROR_RESOLVER = 2,        // the resolver failed (known to listeners; this client never reports it)
    XR_HTTP_ERROR_CONNECT = 3,         // the connection was refused or not made in time
    XR_HTTP_ERROR_IO = 4,              // a send or receive failed, the peer fell silent or the head came too late
    XR_HTTP_ERROR_BAD_RESPONSE = 5,    // malformed or truncated response, unusable redirect
    XR_HTTP_ERROR_TRANSFER_CODING = 6, // a transfer coding other than chunked and identity
    XR_HTTP_ERROR_LINE_TOO_LONG = 7,   // a head line (or the whole head) too long
    XR_HTTP_ERROR_DESTROYED = 8,       // the owner destroyed the request
    XR_HTTP_ERROR_REDIRECTS = 9,       // more than 3 redirects
};

// The callbacks of a requester, for one started request in this order:
// status_received at most once (the final response's status), data_received
// any number of times with pieces of at most 4096 bytes, request_failed at
// most once, and request_done exactly once, last. The request is deleted
// after request_done returns.
class XrHttpRequestListener {
public:
    virtual ~XrHttpRequestListener() = default;
    virtual void request_failed(XrHttpRequest* request, XrHttpError error) = 0;
    virtual void status_received(XrHttpRequest* request, int status) = 0;
    virtual void data_received(XrHttpRequest* request, const BYTE* bytes, int length) = 0;
    virtual void request_done(XrHttpRequest* request) = 0;
    // Bytes of the response arrived from the server (count of them), before
    // they are parsed or handed on; any number of times. For listeners that
    // watch the connection's liveness.
    virtual void bytes_arrived(XrHttpRequest* /*request*/, int /*count*/) {}
};

class XrHttpRequest {
public:
    // Gives the request up. An unstarted one is dropped silently; a started
    // one reports request_failed(8) and request_done.
    virtual void destroy() = 0;
    // Sets a request header (replacing a value of the same name, names
    // compared without regard to case); false for a name or value that
    // cannot go on the wire (control characters, ':' or spaces in the name).
    virtual bool set_header(const XrString& name, const XrString& value) = 0;
    virtual bool get_request_header(const XrString& name, XrString& value) = 0;
    virtual bool get_response_header(const XrString& name, XrString& value) = 0;
    // The body to send; the caller keeps the bytes until the request is done.
    virtual bool set_body(const BYTE* bytes, int length) = 0;
    // Lets the client run the request.
    virtual void start() = 0;
    virtual int get_user_data() = 0;

protected:
    virtual ~XrHttpRequest() = default;
};

class XrHttpClient {
public:
    // A new client on the scheduler and loop.
    static XrHttpClient* create(XrFsm* fsm, XrEventloopBase* loop);

    // Closes the connection and deletes the client; every request must be
    // gone (fatal otherwise).
    virtual void destroy() = 0;
    // The proxy of every later request (an empty host: none); it takes
    // precedence over the proxy of the Internet connection.
    virtual void set_proxy(const XrString& host, int port) = 0;
    // A new request, queued but not started; null when the URL (or the
    // method) is unusable.
    virtual XrHttpRequest* create_request(const XrString& url, XrHttpMethod method, XrHttpRequestListener* listener,
                                          int user_data) = 0;

protected:
    virtual ~XrHttpClient() = default;
};
