// Loopback download of 100 MB: the HTTP client on the main loop against
// curl, both from the same in-process server. Reported per download: the
// throughput (MB/s) and the CPU time of the downloading side (the client's
// main thread, or the curl process).
#include "common/fsm/xr_fsm.h"
#include "common/os/xr_eventloop.h"
#include "common/os/xr_inet.h"
#include "common/update/xr_httpclient.h"
#include "platform/conic/conic.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr long long body_size = 100LL * 1000 * 1000;

// Answers every request on 127.0.0.1 with body_size bytes (Content-Length),
// keeping the connection.
class BulkServer {
public:
    BulkServer()
    {
        m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        listen(m_listen, 16);
        socklen_t len = sizeof(addr);
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_block.assign(1 << 20, 'k');
        m_thread = std::thread([this] { run(); });
    }
    ~BulkServer()
    {
        m_stop = true;
        m_thread.join();
        close(m_listen);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/bulk"; }

private:
    bool readable(int fd)
    {
        while (!m_stop) {
            pollfd p = {fd, POLLIN, 0};
            if (poll(&p, 1, 50) > 0)
                return true;
        }
        return false;
    }
    void run()
    {
        while (readable(m_listen)) {
            int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            serve(fd);
            close(fd);
        }
    }
    void serve(int fd)
    {
        std::string pending;
        char buf[4096];
        for (;;) {
            while (pending.find("\r\n\r\n") == std::string::npos) {
                if (!readable(fd))
                    return;
                ssize_t n = recv(fd, buf, sizeof(buf), 0);
                if (n <= 0)
                    return;
                pending.append(buf, static_cast<size_t>(n));
            }
            pending.erase(0, pending.find("\r\n\r\n") + 4);
            std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body_size) + "\r\n\r\n";
            if (send(fd, head.data(), head.size(), MSG_NOSIGNAL) < 0)
                return;
            for (long long left = body_size; left > 0;) {
                size_t n = left < static_cast<long long>(m_block.size()) ? static_cast<size_t>(left) : m_block.size();
                ssize_t sent = send(fd, m_block.data(), n, MSG_NOSIGNAL);
                if (sent <= 0)
                    return;
                left -= sent;
            }
        }
    }

    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::string m_block;
    std::thread m_thread;
};

class Sink : public XrHttpRequestListener {
public:
    void request_failed(XrHttpRequest*, XrHttpError e) override { error = e; }
    void status_received(XrHttpRequest*, int) override {}
    void data_received(XrHttpRequest*, const BYTE*, int length) override { bytes += length; }
    void request_done(XrHttpRequest*) override { done = true; }
    long long bytes = 0;
    int error = -1;
    bool done = false;
};

double thread_cpu_seconds()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

void report(benchmark::State& state, double wall, double cpu)
{
    state.counters["MB/s"] = benchmark::Counter(body_size / 1e6 * static_cast<double>(state.iterations()) / wall);
    state.counters["cpu_ms"] = benchmark::Counter(cpu * 1000 / static_cast<double>(state.iterations()));
}

void BM_HttpClientDownload(benchmark::State& state)
{
    BulkServer server;
    con_ic_standin_reset();
    XrEventLoop loop;
    XrFsm fsm;
    XrInet::create_inet(&loop);
    XrHttpClient* client = XrHttpClient::create(&fsm, &loop);
    double wall = 0, cpu = 0;
    for (auto _ : state) {
        Sink sink;
        auto start = std::chrono::steady_clock::now();
        double cpu_start = thread_cpu_seconds();
        XrHttpRequest* request = client->create_request(XrString(server.url().c_str()), XR_HTTP_GET, &sink, 0);
        request->start();
        while (!sink.done)
            g_main_context_iteration(nullptr, TRUE);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpu += thread_cpu_seconds() - cpu_start;
        wall += seconds;
        state.SetIterationTime(seconds);
        if (sink.error != -1 || sink.bytes != body_size) {
            state.SkipWithError("download failed");
            break;
        }
    }
    report(state, wall, cpu);
    client->destroy();
    XrInet::destroy_inet();
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}
BENCHMARK(BM_HttpClientDownload)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void BM_CurlDownload(benchmark::State& state)
{
    BulkServer server;
    std::string url = server.url();
    double wall = 0, cpu = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        pid_t pid = fork();
        if (pid == 0) {
            execlp("curl", "curl", "-s", "--noproxy", "*", "-o", "/dev/null", url.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        rusage usage = {};
        wait4(pid, &status, 0, &usage);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        wall += seconds;
        cpu += usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
               usage.ru_stime.tv_usec / 1e6;
        state.SetIterationTime(seconds);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("curl failed (is it installed?)");
            break;
        }
    }
    report(state, wall, cpu);
}
BENCHMARK(BM_CurlDownload)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

} // namespace
