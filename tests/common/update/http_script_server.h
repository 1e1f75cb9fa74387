// A scripted HTTP/1.1 server on 127.0.0.1 (a port the system chooses) for
// the HTTP client's tests: each connection runs on its own thread, reads
// requests (head and Content-length body) and answers each with the reply a
// handler makes: raw pieces written in order, each after its delay, and then
// the connection is kept for the next request, closed, or held open in
// silence until the client goes away.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class HttpScriptServer {
public:
    struct Request {
        std::string head;         // request line and header lines, CR LF ends
        std::string request_line; // without CR LF
        std::string body;
        int connection = 0;       // 0 for the first accepted connection, ...
        int index = 0;            // the request's number on its connection
    };
    struct Piece {
        std::string bytes;
        int delay_ms = 0; // waited before the bytes are written
    };
    enum After { keep, close_connection, hold };
    struct Reply {
        std::vector<Piece> pieces;
        After after = keep;
    };
    using Handler = std::function<Reply(const Request&)>;

    // A reply of one piece.
    static Reply reply(std::string bytes, After after = keep) { return Reply{{Piece{std::move(bytes), 0}}, after}; }

    explicit HttpScriptServer(Handler handler) : m_handler(std::move(handler))
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
            ::listen(m_listen, 64) != 0)
            return;
        socklen_t len = sizeof(addr);
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_acceptor = std::thread([this] { accept_loop(); });
    }

    ~HttpScriptServer()
    {
        m_stop = true;
        if (m_acceptor.joinable())
            m_acceptor.join();
        std::vector<std::thread> threads;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            threads.swap(m_threads);
        }
        for (std::thread& t : threads)
            t.join();
        if (m_listen >= 0)
            ::close(m_listen);
    }

    HttpScriptServer(const HttpScriptServer&) = delete;
    HttpScriptServer& operator=(const HttpScriptServer&) = delete;

    int port() const { return m_port; }
    std::string url(const std::string& path = "/") const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

    std::vector<Request> requests() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }
    int connection_count() const { return m_connections; }

private:
    // Waits until fd is readable, the server stops or timeout_ms passed.
    bool wait_readable(int fd, int timeout_ms = -1) const
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (!m_stop) {
            pollfd p = {fd, POLLIN, 0};
            if (poll(&p, 1, 20) > 0)
                return true;
            if (timeout_ms >= 0 && std::chrono::steady_clock::now() > end)
                return false;
        }
        return false;
    }

    void accept_loop()
    {
        while (wait_readable(m_listen)) {
            int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            int id = m_connections++;
            std::lock_guard<std::mutex> lock(m_mutex);
            m_threads.emplace_back([this, fd, id] {
                serve(fd, id);
                ::close(fd);
            });
        }
    }

    // Reads one request; false when the client closed or the server stops.
    bool read_request(int fd, std::string& pending, Request& request) const
    {
        size_t end;
        while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
            if (!read_more(fd, pending))
                return false;
        }
        request.head = pending.substr(0, end + 4);
        request.request_line = pending.substr(0, pending.find("\r\n"));
        pending.erase(0, end + 4);
        size_t length = 0;
        std::string lower = request.head;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        size_t at = lower.find("\r\ncontent-length:");
        if (at != std::string::npos)
            length = std::stoul(lower.substr(at + 17));
        while (pending.size() < length) {
            if (!read_more(fd, pending))
                return false;
        }
        request.body = pending.substr(0, length);
        pending.erase(0, length);
        return true;
    }

    bool read_more(int fd, std::string& pending) const
    {
        if (!wait_readable(fd))
            return false;
        char buf[65536];
        ssize_t n = ::recv(fd, buf, sizeof(buf), 0);
        if (n <= 0)
            return false;
        pending.append(buf, static_cast<size_t>(n));
        return true;
    }

    bool write_all(int fd, const std::string& bytes) const
    {
        size_t done = 0;
        while (done < bytes.size() && !m_stop) {
            ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                done += static_cast<size_t>(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                pollfd p = {fd, POLLOUT, 0};
                poll(&p, 1, 20);
            } else {
                return false;
            }
        }
        return done == bytes.size();
    }

    void serve(int fd, int id)
    {
        std::string pending;
        for (int index = 0;; ++index) {
            Request request;
            request.connection = id;
            request.index = index;
            if (!read_request(fd, pending, request))
                return;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests.push_back(request);
            }
            Reply reply = m_handler(request);
            for (const Piece& piece : reply.pieces) {
                if (piece.delay_ms > 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(piece.delay_ms));
                if (!write_all(fd, piece.bytes))
                    return;
            }
            if (reply.after == close_connection)
                return;
            if (reply.after == hold) {
                // Silent until the client goes away (or the server stops).
                char buf[4096];
                while (wait_readable(fd) && ::recv(fd, buf, sizeof(buf), 0) > 0) {
                }
                return;
            }
        }
    }

    Handler m_handler;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::thread m_acceptor;
    mutable std::mutex m_mutex;
    std::vector<std::thread> m_threads;
    std::vector<Request> m_requests;
};
