// One HTTP request as a state machine: it waits until the client has sent
// it, then parses its response from the client's connection and reports to
// its listener.
#pragma once

#include <memory>

#include "common/container/xr_array.h"
#include "common/container/xr_ownedptrarray.h"
#include "common/container/xr_string.h"
#include "common/fsm/xr_fsm.h"
#include "common/update/xr_httpclient.h"
#include "common/update/xr_url.h"

#include <cstdint>
#include <string>
#include <unordered_map>

class XrHttpClientImpl;

// A header field; the name is stored upper-cased.
struct XrHttpHeaderField {
    XrString name;
    XrString value;
};

class XrHttpRequestImpl : public XrHttpRequest, public XrFsmThread {
public:
    static constexpr int buffer_size = 4096;
    // Longest response head (all its lines together).
    static constexpr int max_head_bytes = 32768;
    // Interim (1xx) replies accepted before the final response; one more
    // ends the request like a time-out: no response came.
    static constexpr int max_interim_responses = 5;
    // Largest chunk a chunked body may announce.
    static constexpr std::int64_t max_chunk_size = 0x7FFFFFFF;

    // method must name a method; the URL is parsed by init.
    XrHttpRequestImpl(XrHttpClientImpl* client, XrFsm* fsm, XrHttpMethod method, XrHttpRequestListener* listener,
                      int user_data);
    ~XrHttpRequestImpl() override;

    // Takes the URL; false when it is unusable.
    bool init(const XrString& url);

    void destroy() override;
    bool set_header(const XrString& name, const XrString& value) override;
    bool get_request_header(const XrString& name, XrString& value) override;
    bool get_response_header(const XrString& name, XrString& value) override;
    bool set_body(const BYTE* bytes, int length) override;
    void start() override;
    int get_user_data() override { return user_data; }

    XrFsmResult step() override { return (this->*state)(); }

    // Wakes the machine when it waits.
    void wake() { wait_queue.wake_one(); }
    // Given up by its owner or timed out: the client stops working on it.
    bool is_aborted() const { return destroyed || timed_out; }
    // Ends the request with error: marks it done and wakes it.
    void abort(XrHttpError code);
    // Back to waiting to be sent, on the URL of the redirect it followed.
    void restart_redirected();

    // The first header field of that name (any case), or null.
    static XrHttpHeaderField* find_field(const XrPtrArray<XrHttpHeaderField*>& fields, const XrString& name);
    // Copies the value of the named field; false when there is none.
    static bool copy_value(const XrPtrArray<XrHttpHeaderField*>& fields, const XrString& name, XrString& value);

    // Read by the client.
    XrHttpRequestImpl* next = nullptr;
    XrHttpRequestImpl* prev = nullptr;
    XrString url_text;
    XrUrl url;
    XrHttpMethod method;
    XrHttpRequestListener* listener;
    XrOwnedPtrArray<XrHttpHeaderField> request_headers{8};
    const BYTE* body = nullptr;
    int body_length = 0;
    int body_sent = 0;
    XrHttpError error = XR_HTTP_ERROR_NO_MEMORY; // what a failure reports unless set
    bool started = false;
    bool destroyed = false;
    bool head_sent = false;
    bool done = false;
    bool redirected = false;
    bool finished = false;
    bool timed_out = false;

private:
    typedef XrFsmResult (XrHttpRequestImpl::*State)();

    enum LineResult { line_ok, line_wait, line_full, line_closed, line_error };

    XrFsmResult go(State next_state)
    {
        state = next_state;
        return XR_FSM_CONTINUE;
    }
    XrFsmResult wait();
    // Ends the request with the error.
    XrFsmResult fail(XrHttpError code)
    {
        error = code;
        return go(&XrHttpRequestImpl::st_failed);
    }
    // The opening of every state that reads: false with the step's result
    // when the request ended meanwhile or the client waits for input.
    bool ready_to_read(XrFsmResult& result);
    // One receive into the free buffer space, at most max bytes: the count,
    // 0 at the end of the connection, XR_SOCKET_WOULD_BLOCK (the client waits
    // for input) or XR_SOCKET_ERROR.
    // Moves at most max bytes into the buffer. Up to ahead bytes more (no
    // more than the stash holds) may be read from the socket at once and
    // kept for the next calls; ahead counts from what is already kept.
    int receive(int max, std::int64_t ahead = 0);
    // Makes sure a whole line (ending in LF) is buffered; its length with the LF.
    LineResult read_line(int& length);
    // The start of a state that reads a line: true with the line's length
    // when it is buffered, else false with the step's result (the request
    // failed meanwhile, it waits for input, or the line is cut: when_full
    // for a full buffer, st_bad_response for the end of the connection).
    bool take_line(int& length, XrFsmResult& result, State when_full);
    // Removes the first n buffered bytes.
    void consume_line(int n);
    void reset_response();
    bool parse_status_line(int length);
    // A head line that is not the status line; false for a malformed one.
    bool add_head_line(int length, bool& no_memory);
    // The framing of the body from the head: transfer codings, length,
    // persistence. False with the failure when the head cannot be used.
    bool read_framing(XrHttpError& failure);
    // For a status that redirects: true when the redirect is followed (its
    // body is then read and dropped), else false with the failure.
    bool take_redirect(XrHttpError& failure);
    void deliver(const BYTE* bytes, int length);

    XrFsmResult st_wait_sent();
    XrFsmResult st_read_head();
    XrFsmResult st_process_head();
    XrFsmResult st_deliver_body();
    XrFsmResult st_read_body();
    XrFsmResult st_chunk_size();
    XrFsmResult st_chunked_data();
    XrFsmResult st_chunked_read();
    XrFsmResult st_chunk_end();
    XrFsmResult st_chunk_trailer();
    XrFsmResult st_line_too_long();
    XrFsmResult st_bad_response();
    XrFsmResult st_out_of_memory();
    XrFsmResult st_failed();
    XrFsmResult st_done();

    State state;
    XrFsmWaitQueue wait_queue;
    XrHttpClientImpl* client;
    int user_data;

    BYTE buffer[buffer_size];
    int buffer_data = 0;
    // Body bytes read from the socket ahead of the buffer.
    static constexpr int stash_size = 65536;
    std::unique_ptr<BYTE[]> stash;
    int stash_pos = 0;
    int stash_data = 0;
    XrOwnedPtrArray<XrHttpHeaderField> response_headers{8};
    XrArray<int> transfer_codings{8};
    int head_lines = 0;
    int interim_responses = 0;
    int head_bytes = 0;
    XrHttpHeaderField* last_field = nullptr;
    // The response's fields by upper-case name, so that a head of thousands
    // of fields is read in time proportional to its length.
    std::unordered_map<std::wstring, XrHttpHeaderField*> response_index;
    int status = 0;
    int major = 0;
    int minor = 0;
    std::int64_t content_length = -1; // -1: unknown
    std::int64_t received = 0;
    std::int64_t chunk_size = 0;
    std::int64_t chunk_pos = 0;
    bool connection_ended = false; // the body ran to the end of the connection
    bool simple_response = false;  // HTTP/0.9: no status line, no head
    bool failure_reported = false;
    XrString redirect_url;         // where a followed redirect leads
};
