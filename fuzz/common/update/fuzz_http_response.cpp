// Arbitrary bytes as the server's answer to one HTTP request: the client
// must end the request within its time-outs and keep the listener contract
// (status at most once and before data, pieces of 1 to 4096 bytes, failure
// at most once with a known code, done once and last).
#include "common/fsm/xr_fsm.h"
#include "common/os/xr_eventloop.h"
#include "common/os/xr_inet.h"
#include "common/update/xr_httpclientimpl.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <glib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// The loop, the scheduler and a listening socket on 127.0.0.1, made once.
struct Environment {
    Environment()
    {
        XrInet::create_inet(&loop);
        listen_fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (listen_fd < 0 || bind(listen_fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
            listen(listen_fd, 16) != 0)
            std::abort();
        socklen_t len = sizeof(addr);
        getsockname(listen_fd, reinterpret_cast<sockaddr*>(&addr), &len);
        port = ntohs(addr.sin_port);
    }
    XrEventLoop loop;
    XrFsm fsm;
    int listen_fd = -1;
    int port = 0;
};

class CheckingListener : public XrHttpRequestListener {
public:
    void status_received(XrHttpRequest*, int status) override
    {
        if (statuses++ > 0 || pieces > 0 || failed || done || status < 100 || status > 999)
            std::abort();
    }
    void data_received(XrHttpRequest*, const BYTE*, int length) override
    {
        if (length < 1 || length > 4096 || statuses == 0 || failed || done)
            std::abort();
        ++pieces;
    }
    void request_failed(XrHttpRequest*, XrHttpError error) override
    {
        if (failed || done || error < XR_HTTP_ERROR_NO_MEMORY || error == XR_HTTP_ERROR_RESOLVER ||
            error > XR_HTTP_ERROR_REDIRECTS)
            std::abort();
        failed = true;
    }
    void request_done(XrHttpRequest*) override
    {
        if (done)
            std::abort();
        done = true;
    }
    int statuses = 0;
    int pieces = 0;
    bool failed = false;
    bool done = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Environment* env = new Environment;
    auto* client = static_cast<XrHttpClientImpl*>(XrHttpClient::create(&env->fsm, &env->loop));
    client->set_timeouts(2000, 300);
    // Through a proxy on the loopback: whatever a redirect names, nothing
    // but 127.0.0.1 is ever contacted.
    client->set_proxy(XrString("127.0.0.1"), env->port);
    CheckingListener listener;
    XrHttpRequest* request = client->create_request(XrString("http://fuzz.invalid/x"), XR_HTTP_GET, &listener, 0);
    if (request == nullptr)
        std::abort();
    request->start();

    int connection = -1;
    bool answered = false;
    size_t written = 0;
    gint64 deadline = g_get_monotonic_time() + 10 * G_USEC_PER_SEC;
    while (!listener.done) {
        g_main_context_iteration(nullptr, FALSE);
        int fd = accept4(env->listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            // The first connection gets the bytes; later ones (a redirect,
            // a reconnect) are closed at once.
            if (connection < 0 && !answered)
                connection = fd;
            else
                close(fd);
        }
        if (connection >= 0) {
            char sink[4096];
            while (recv(connection, sink, sizeof(sink), MSG_DONTWAIT) > 0) {
            }
            if (written < size) {
                ssize_t n = send(connection, data + written, size - written, MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n > 0)
                    written += static_cast<size_t>(n);
            } else {
                close(connection);
                connection = -1;
                answered = true;
            }
        }
        if (g_get_monotonic_time() > deadline)
            std::abort(); // the request never ended
    }
    if (connection >= 0)
        close(connection);
    client->destroy();
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    return 0;
}
