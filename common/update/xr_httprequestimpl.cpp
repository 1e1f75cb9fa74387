#include "common/update/xr_httprequestimpl.h"

#include <algorithm>
#include <cwchar>

#include "common/container/xr_defs.h"
#include "common/update/xr_httpclientimpl.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr int coding_chunked = 1;
const TCHAR white_space[] = L"\b\t\n\v\f\r ";

bool is_redirect_status(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Calls fn(token) for every comma-separated, trimmed, non-empty token.
template <class F>
void for_each_token(const XrString& list, F&& fn)
{
    const TCHAR* p = list.c_str();
    while (*p != 0) {
        const TCHAR* end = p;
        while (*end != 0 && *end != L',')
            ++end;
        XrString token(p, static_cast<int>(end - p));
        token.trim(white_space);
        if (!token.is_empty())
            fn(token);
        p = *end == L',' ? end + 1 : end;
    }
}

bool token_is(const XrString& token, const TCHAR* word)
{
    return wide_stricmp(token.c_str(), word) == 0;
}

// A Content-Length value: decimal digits; a list of equal values counts as
// one. False for anything else.
bool parse_content_length(const XrString& text, std::int64_t& length)
{
    bool ok = true;
    int count = 0;
    std::int64_t value = -1;
    for_each_token(text, [&](const XrString& token) {
        std::int64_t v = 0;
        int n = token.length();
        if (n > 18)
            ok = false;
        for (int i = 0; ok && i < n; ++i) {
            TCHAR c = token.char_at(i);
            if (c < L'0' || c > L'9')
                ok = false;
            v = v * 10 + (c - L'0');
        }
        if (count > 0 && v != value)
            ok = false;
        value = v;
        ++count;
    });
    if (!ok || count == 0)
        return false;
    length = value;
    return true;
}

} // namespace

XrHttpRequestImpl::XrHttpRequestImpl(XrHttpClientImpl* client_, XrFsm* fsm_, XrHttpMethod method_,
                                     XrHttpRequestListener* listener_, int user_data_)
    : XrFsmThread(fsm_, "HttpReq"), method(method_), listener(listener_), state(&XrHttpRequestImpl::st_wait_sent),
      wait_queue(fsm_), client(client_), user_data(user_data_)
{
}

XrHttpRequestImpl::~XrHttpRequestImpl() = default;

bool XrHttpRequestImpl::init(const XrString& text)
{
    XrUrl parsed;
    if (!url_text_is_safe(text) || !parse_url(text, parsed) || parsed.host.is_empty())
        return false;
    if (parsed.port == 0)
        parsed.port = 80;
    url_text = text;
    url = parsed;
    return true;
}

// ---- owner's operations

void XrHttpRequestImpl::destroy()
{
    if (destroyed)
        return;
    destroyed = true;
    error = XR_HTTP_ERROR_DESTROYED;
    if (started)
        done = true;
    // Both machines are made runnable before the scheduler runs: running it
    // may end and delete this request.
    XrFsm* scheduler = fsm;
    if (started && thread_queue == &wait_queue) {
        wait_queue.remove(this);
        activate();
    }
    client->make_runnable();
    scheduler->run();
}

XrHttpHeaderField* XrHttpRequestImpl::find_field(const XrPtrArray<XrHttpHeaderField*>& fields, const XrString& name)
{
    XrString wanted = name;
    wanted.to_upper();
    for (int i = 0; i < fields.get_num_items(); ++i) {
        if (fields.get_item(i)->name == wanted)
            return fields.get_item(i);
    }
    return nullptr;
}

bool XrHttpRequestImpl::copy_value(const XrPtrArray<XrHttpHeaderField*>& fields, const XrString& name,
                                   XrString& value)
{
    XrHttpHeaderField* field = find_field(fields, name);
    if (field == nullptr)
        return false;
    value = field->value;
    return true;
}

bool XrHttpRequestImpl::set_header(const XrString& name, const XrString& value)
{
    // Nothing may break the request's lines: no control characters, and a
    // name is one token.
    if (name.is_empty())
        return false;
    for (int i = 0; i < name.length(); ++i) {
        TCHAR c = name.char_at(i);
        if (c <= 0x20 || c >= 0x7F || c == L':')
            return false;
    }
    for (int i = 0; i < value.length(); ++i) {
        TCHAR c = value.char_at(i);
        if ((c < 0x20 && c != L'\t') || c == 0x7F || c > 0xFF)
            return false;
    }
    if (XrHttpHeaderField* field = find_field(request_headers, name)) {
        field->value = value;
        return true;
    }
    std::unique_ptr<XrHttpHeaderField> field(new (std::nothrow) XrHttpHeaderField);
    if (field == nullptr)
        return false;
    field->name = name;
    field->name.to_upper();
    field->value = value;
    return request_headers.append(std::move(field));
}

bool XrHttpRequestImpl::get_request_header(const XrString& name, XrString& value)
{
    return copy_value(request_headers, name, value);
}

bool XrHttpRequestImpl::get_response_header(const XrString& name, XrString& value)
{
    return copy_value(response_headers, name, value);
}

bool XrHttpRequestImpl::set_body(const BYTE* bytes, int length)
{
    if (started)
        return false;
    body = bytes;
    body_length = bytes != nullptr || length <= 0 ? length : 0;
    body_sent = 0;
    return true;
}

void XrHttpRequestImpl::start()
{
    if (started || destroyed)
        return;
    started = true;
    client->wake();
}

// ---- for the client

void XrHttpRequestImpl::abort(XrHttpError code)
{
    if (finished || done)
        return;
    error = code;
    timed_out = true;
    done = true;
    wake();
}

void XrHttpRequestImpl::restart_redirected()
{
    url_text = redirect_url;
    parse_url(url_text, url);
    if (url.port == 0)
        url.port = 80;
    if (status == 303 && method != XR_HTTP_HEAD) {
        method = XR_HTTP_GET;
        body = nullptr;
        body_length = 0;
    }
    body_sent = 0;
    // Destroyed by its owner since the redirect came: it still ends with 8.
    error = destroyed ? XR_HTTP_ERROR_DESTROYED : XR_HTTP_ERROR_NO_MEMORY;
    head_sent = false;
    done = destroyed;
    redirected = false;
    finished = false;
    failure_reported = false;
    reset_response();
    interim_responses = 0;
    buffer_data = 0;
    state = &XrHttpRequestImpl::st_wait_sent;
    activate();
}

// ---- reading

XrFsmResult XrHttpRequestImpl::wait()
{
    wait_queue.add(this);
    return XR_FSM_SUSPEND;
}

bool XrHttpRequestImpl::ready_to_read(XrFsmResult& result)
{
    if (done) {
        result = go(&XrHttpRequestImpl::st_failed);
        return false;
    }
    if (client->waiting_readable) {
        result = wait();
        return false;
    }
    return true;
}

int XrHttpRequestImpl::receive(int max, std::int64_t ahead)
{
    XrStreamSocketObs* socket = client->socket.get();
    if (socket == nullptr)
        return XR_SOCKET_ERROR;
    int room = buffer_size - buffer_data;
    if (max < room)
        room = max;
    XR_ASSERT(room > 0);
    int n = 0;
    if (stash_data > 0) {
        n = std::min(room, stash_data);
        std::memcpy(buffer + buffer_data, stash.get() + stash_pos, static_cast<size_t>(n));
        stash_pos += n;
        stash_data -= n;
        buffer_data += n;
        return n;
    }
    if (ahead > room) {
        // One read for several buffers of a long body.
        if (!stash)
            stash.reset(new BYTE[stash_size]);
        const int want = static_cast<int>(std::min<std::int64_t>(ahead, stash_size));
        n = socket->receive(stash.get(), want, nullptr);
        if (n > 0) {
            client->note_activity();
            if (listener != nullptr)
                listener->bytes_arrived(this, n);
            stash_pos = 0;
            stash_data = n;
            return receive(max);
        }
    } else {
        n = socket->receive(buffer + buffer_data, room, nullptr);
    }
    if (n == XR_SOCKET_WOULD_BLOCK) {
        client->waiting_readable = true;
        return n;
    }
    if (n > 0) {
        buffer_data += n;
        client->note_activity();
        if (listener != nullptr)
            listener->bytes_arrived(this, n);
    }
    return n;
}

XrHttpRequestImpl::LineResult XrHttpRequestImpl::read_line(int& length)
{
    for (;;) {
        const void* lf = std::memchr(buffer, '\n', static_cast<size_t>(buffer_data));
        if (lf != nullptr) {
            length = static_cast<int>(static_cast<const BYTE*>(lf) - buffer) + 1;
            return line_ok;
        }
        if (buffer_data == buffer_size)
            return line_full;
        int n = receive(buffer_size);
        if (n == XR_SOCKET_WOULD_BLOCK)
            return line_wait;
        if (n == 0)
            return line_closed;
        if (n < 0)
            return line_error;
    }
}

void XrHttpRequestImpl::consume_line(int pos)
{
    XR_ASSERT_MSG(pos > 0, "pos > 0");
    XR_ASSERT_MSG(pos <= buffer_data, "(size_t) pos <= buffer_data");
    std::memmove(buffer, buffer + pos, static_cast<size_t>(buffer_data - pos));
    buffer_data -= pos;
}

void XrHttpRequestImpl::reset_response()
{
    stash_pos = 0;
    stash_data = 0;
    response_headers.delete_all();
    response_index.clear();
    transfer_codings.remove_all();
    head_lines = 0;
    head_bytes = 0;
    last_field = nullptr;
    status = 0;
    major = 0;
    minor = 0;
    content_length = -1;
    received = 0;
    chunk_size = 0;
    chunk_pos = 0;
    connection_ended = false;
    simple_response = false;
}

bool XrHttpRequestImpl::parse_status_line(int length)
{
    // "HTTP/" major "." minor, white space, three status digits.
    int p = 5;
    auto number = [&](int& value) {
        int start = p;
        value = 0;
        while (p < length && buffer[p] >= '0' && buffer[p] <= '9') {
            if (value < 1000)
                value = value * 10 + (buffer[p] - '0');
            ++p;
        }
        return p > start;
    };
    if (!number(major) || p >= length || buffer[p] != '.')
        return false;
    ++p;
    if (!number(minor))
        return false;
    int space_start = p;
    while (p < length && is_space(buffer[p]))
        ++p;
    if (p == space_start)
        return false;
    int digits_start = p;
    return number(status) && p - digits_start == 3 && status >= 100;
}

namespace {

// Appends separator and text to a field's value, growing its room by at
// least the value's length, so that many appends cost time in proportion to
// the value's final length.
void append_to_value(XrString& value, const TCHAR* separator, const XrString& text)
{
    const int more = static_cast<int>(std::wcslen(separator)) + text.length();
    const int length = value.length();
    // A string holds at most 65534 characters; a head is far shorter.
    const int room = std::min(std::max(more, length), 65000 - length);
    if (room >= more)
        value.reserve(room);
    value += separator;
    value += text;
}

} // namespace

bool XrHttpRequestImpl::add_head_line(int length, bool& no_memory)
{
    const char* line = reinterpret_cast<const char*>(buffer);
    if (is_space(buffer[0])) {
        // A continuation of the last field.
        if (last_field == nullptr)
            return false;
        XrString text;
        text.assign_latin1(line, length);
        text.trim(white_space);
        append_to_value(last_field->value, L" ", text);
        return true;
    }
    const void* colon = std::memchr(buffer, ':', static_cast<size_t>(length));
    if (colon == nullptr)
        return false;
    int name_length = static_cast<int>(static_cast<const BYTE*>(colon) - buffer);
    XrString name;
    name.assign_latin1(line, name_length);
    XrString value;
    value.assign_latin1(line + name_length + 1, length - name_length - 1);
    value.trim(white_space);
    name.to_upper();
    const std::wstring key(name.c_str(), static_cast<size_t>(name.length()));
    const auto known = response_index.find(key);
    if (known != response_index.end()) {
        append_to_value(known->second->value, L", ", value);
        last_field = known->second;
        return true;
    }
    std::unique_ptr<XrHttpHeaderField> field(new (std::nothrow) XrHttpHeaderField);
    if (field == nullptr) {
        no_memory = true;
        return false;
    }
    field->name = name;
    field->value = value;
    XrHttpHeaderField* added = field.get();
    if (!response_headers.append(std::move(field))) {
        no_memory = true;
        return false;
    }
    response_index.emplace(key, added);
    last_field = added;
    return true;
}

bool XrHttpRequestImpl::take_redirect(XrHttpError& failure)
{
    if (client->redirect_count >= XrHttpClientImpl::max_redirects) {
        failure = XR_HTTP_ERROR_REDIRECTS;
        return false;
    }
    failure = XR_HTTP_ERROR_BAD_RESPONSE;
    XrHttpHeaderField* location = find_field(response_headers, XrString(L"Location"));
    if (location == nullptr || location->value.is_empty())
        return false;
    XrString target;
    XrUrl parsed;
    if (!resolve_url(url_text, location->value, target) || !url_text_is_safe(target) || !parse_url(target, parsed) ||
        parsed.host.is_empty() || !token_is(parsed.scheme, L"http"))
        return false;
    redirect_url = target;
    redirected = true;
    return true;
}

bool XrHttpRequestImpl::read_framing(XrHttpError& failure)
{
    if (simple_response) {
        // HTTP/0.9: the body runs to the end of the connection.
        client->close_after_request = true;
        content_length = -1;
        return true;
    }
    bool usable = true;
    if (XrHttpHeaderField* codings = find_field(response_headers, XrString(L"Transfer-Encoding"))) {
        for_each_token(codings->value, [&](const XrString& token) {
            if (token_is(token, L"chunked")) {
                if (!transfer_codings.append(coding_chunked) && usable) {
                    failure = XR_HTTP_ERROR_NO_MEMORY;
                    usable = false;
                }
            } else if (!token_is(token, L"identity")) {
                failure = XR_HTTP_ERROR_TRANSFER_CODING;
                usable = false;
            }
        });
    }
    if (!usable)
        return false;
    bool persistent = major > 1 || (major == 1 && minor >= 1);
    if (XrHttpHeaderField* connection = find_field(response_headers, XrString(L"Connection"))) {
        for_each_token(connection->value, [&](const XrString& token) {
            if (token_is(token, L"close"))
                persistent = false;
            else if (token_is(token, L"keep-alive"))
                persistent = true;
        });
    }
    if (!persistent)
        client->close_after_request = true;
    // Responses that never carry a body, whatever their head says.
    if (method == XR_HTTP_HEAD || status == 204 || status == 304) {
        transfer_codings.remove_all();
        content_length = 0;
        return true;
    }
    if (transfer_codings.get_num_items() == 0) {
        if (XrHttpHeaderField* length = find_field(response_headers, XrString(L"Content-Length"))) {
            if (!parse_content_length(length->value, content_length)) {
                failure = XR_HTTP_ERROR_BAD_RESPONSE;
                return false;
            }
        } else {
            content_length = -1;
            client->close_after_request = true;
        }
    }
    return true;
}

void XrHttpRequestImpl::deliver(const BYTE* bytes, int length)
{
    // The body of a redirect that is followed is read and dropped.
    if (!redirected && length > 0)
        listener->data_received(this, bytes, length);
}

// ---- states

XrFsmResult XrHttpRequestImpl::st_wait_sent()
{
    if (destroyed || done)
        return go(&XrHttpRequestImpl::st_failed);
    if (!head_sent)
        return wait();
    return go(&XrHttpRequestImpl::st_read_head);
}

bool XrHttpRequestImpl::take_line(int& length, XrFsmResult& result, State when_full)
{
    if (!ready_to_read(result))
        return false;
    switch (read_line(length)) {
    case line_ok:
        return true;
    case line_wait:
        result = XR_FSM_CONTINUE;
        return false;
    case line_full:
        result = go(when_full);
        return false;
    case line_closed:
    case line_error:
        break;
    }
    result = go(&XrHttpRequestImpl::st_bad_response);
    return false;
}

XrFsmResult XrHttpRequestImpl::st_read_head()
{
    int length = 0;
    XrFsmResult result;
    if (!take_line(length, result, &XrHttpRequestImpl::st_line_too_long))
        return result;
    client->head_begun();
    head_bytes += length;
    if (head_bytes > max_head_bytes)
        return go(&XrHttpRequestImpl::st_line_too_long);
    if (head_lines == 0) {
        if (length < 5 || std::memcmp(buffer, "HTTP/", 5) != 0) {
            // HTTP/0.9: no status line; what came is already the body.
            simple_response = true;
            status = 200;
            major = 0;
            minor = 9;
            received = buffer_data;
            ++head_lines;
            return go(&XrHttpRequestImpl::st_process_head);
        }
        if (!parse_status_line(length))
            return go(&XrHttpRequestImpl::st_bad_response);
        consume_line(length);
        ++head_lines;
        return XR_FSM_CONTINUE;
    }
    if (length < 3) {
        consume_line(length);
        received = buffer_data;
        return go(&XrHttpRequestImpl::st_process_head);
    }
    bool no_memory = false;
    if (!add_head_line(length, no_memory))
        return go(no_memory ? &XrHttpRequestImpl::st_out_of_memory : &XrHttpRequestImpl::st_bad_response);
    consume_line(length);
    ++head_lines;
    return XR_FSM_CONTINUE;
}

XrFsmResult XrHttpRequestImpl::st_process_head()
{
    if (!simple_response && status < 200) {
        // An interim response (100 Continue and the like): the real one follows.
        if (++interim_responses > max_interim_responses)
            return fail(XR_HTTP_ERROR_IO);
        reset_response();
        return go(&XrHttpRequestImpl::st_read_head);
    }
    client->head_ended();
    XrHttpError failure = XR_HTTP_ERROR_BAD_RESPONSE;
    if ((!simple_response && is_redirect_status(status) && !take_redirect(failure)) || !read_framing(failure))
        return fail(failure);
    if (!redirected)
        listener->status_received(this, status);
    if (done)
        return go(&XrHttpRequestImpl::st_failed);
    int codings = transfer_codings.get_num_items();
    if (codings > 0 && *transfer_codings.get_item_ptr(codings - 1) == coding_chunked) {
        transfer_codings.remove_item(codings - 1);
        return go(&XrHttpRequestImpl::st_chunk_size);
    }
    return go(&XrHttpRequestImpl::st_deliver_body);
}

XrFsmResult XrHttpRequestImpl::st_deliver_body()
{
    if (buffer_data > 0) {
        int n = buffer_data;
        if (content_length >= 0 && received > content_length) {
            // More came than announced: not this response's body, and the
            // connection can no longer be trusted.
            n -= static_cast<int>(received - content_length);
            received = content_length;
            client->close_after_request = true;
        }
        buffer_data = 0;
        deliver(buffer, n);
    }
    if (done)
        return go(&XrHttpRequestImpl::st_failed);
    if ((content_length >= 0 && received >= content_length) || connection_ended)
        return go(&XrHttpRequestImpl::st_done);
    return go(&XrHttpRequestImpl::st_read_body);
}

XrFsmResult XrHttpRequestImpl::st_read_body()
{
    XrFsmResult result;
    if (!ready_to_read(result))
        return result;
    for (;;) {
        std::int64_t room = buffer_size - buffer_data;
        if (content_length >= 0 && content_length - received < room)
            room = content_length - received;
        if (room <= 0)
            return go(&XrHttpRequestImpl::st_deliver_body);
        // A body of known length is read ahead, never past its end.
        const std::int64_t ahead = content_length >= 0 ? content_length - received - stash_data : 0;
        int n = receive(static_cast<int>(room), ahead);
        if (n == XR_SOCKET_WOULD_BLOCK)
            return XR_FSM_CONTINUE;
        if (n < 0)
            return fail(XR_HTTP_ERROR_IO);
        if (n == 0) {
            if (content_length >= 0)
                return go(&XrHttpRequestImpl::st_bad_response);
            client->server_closed = true;
            connection_ended = true;
            return go(&XrHttpRequestImpl::st_deliver_body);
        }
        received += n;
    }
}

XrFsmResult XrHttpRequestImpl::st_chunk_size()
{
    int length = 0;
    XrFsmResult result;
    if (!take_line(length, result, &XrHttpRequestImpl::st_line_too_long))
        return result;
    // Hex digits, then the end of the line or extensions after ';'.
    std::int64_t size = 0;
    int i = 0;
    int digit = 0;
    while (i < length && hex_digit_value(buffer[i], digit)) {
        size = size * 16 + digit;
        if (size > max_chunk_size)
            return go(&XrHttpRequestImpl::st_bad_response);
        ++i;
    }
    if (i == 0 || (buffer[i] != ';' && !is_space(buffer[i])))
        return go(&XrHttpRequestImpl::st_bad_response);
    consume_line(length);
    chunk_size = size;
    chunk_pos = 0;
    if (size == 0)
        return go(&XrHttpRequestImpl::st_chunk_trailer);
    return go(&XrHttpRequestImpl::st_chunked_data);
}

XrFsmResult XrHttpRequestImpl::st_chunked_data()
{
    if (buffer_data > 0) {
        std::int64_t left = chunk_size - chunk_pos;
        int n = left < buffer_data ? static_cast<int>(left) : buffer_data;
        chunk_pos += n;
        received += n;
        deliver(buffer, n);
        std::memmove(buffer, buffer + n, static_cast<size_t>(buffer_data - n));
        buffer_data -= n;
    }
    if (done)
        return go(&XrHttpRequestImpl::st_failed);
    if (chunk_pos == chunk_size)
        return go(&XrHttpRequestImpl::st_chunk_end);
    XR_ASSERT(buffer_data == 0);
    return go(&XrHttpRequestImpl::st_chunked_read);
}

XrFsmResult XrHttpRequestImpl::st_chunked_read()
{
    XrFsmResult result;
    if (!ready_to_read(result))
        return result;
    int n = receive(buffer_size);
    if (n == XR_SOCKET_WOULD_BLOCK)
        return XR_FSM_CONTINUE;
    if (n < 0)
        return fail(XR_HTTP_ERROR_IO);
    if (n == 0)
        return go(&XrHttpRequestImpl::st_bad_response);
    return go(&XrHttpRequestImpl::st_chunked_data);
}

XrFsmResult XrHttpRequestImpl::st_chunk_end()
{
    int length = 0;
    XrFsmResult result;
    if (!take_line(length, result, &XrHttpRequestImpl::st_bad_response))
        return result;
    if (length != 2 || buffer[0] != '\r')
        return go(&XrHttpRequestImpl::st_bad_response);
    consume_line(length);
    return go(&XrHttpRequestImpl::st_chunk_size);
}

XrFsmResult XrHttpRequestImpl::st_chunk_trailer()
{
    int length = 0;
    XrFsmResult result;
    if (!take_line(length, result, &XrHttpRequestImpl::st_line_too_long))
        return result;
    consume_line(length);
    if (length <= 2)
        return go(&XrHttpRequestImpl::st_done);
    head_bytes += length;
    if (head_bytes > max_head_bytes)
        return go(&XrHttpRequestImpl::st_line_too_long);
    return XR_FSM_CONTINUE;
}

XrFsmResult XrHttpRequestImpl::st_line_too_long()
{
    return fail(XR_HTTP_ERROR_LINE_TOO_LONG);
}

XrFsmResult XrHttpRequestImpl::st_bad_response()
{
    return fail(XR_HTTP_ERROR_BAD_RESPONSE);
}

XrFsmResult XrHttpRequestImpl::st_out_of_memory()
{
    return fail(XR_HTTP_ERROR_NO_MEMORY);
}

XrFsmResult XrHttpRequestImpl::st_failed()
{
    redirected = false;
    if (started) {
        // What is left on the connection belongs to no one.
        client->close_after_request = true;
        if (!failure_reported) {
            failure_reported = true;
            listener->request_failed(this, error);
        }
    }
    return go(&XrHttpRequestImpl::st_done);
}

XrFsmResult XrHttpRequestImpl::st_done()
{
    finished = true;
    client->wake();
    return XR_FSM_FINISH;
}
