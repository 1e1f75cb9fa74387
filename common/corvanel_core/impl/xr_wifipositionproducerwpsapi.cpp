#include "common/corvanel_core/impl/xr_wifipositionproducerwpsapi.h"

#include "common/config/xr_storageconfiguration.h"
#include "common/base/xr_root.h"
#include "common/storage/xr_storageaccessor.h"

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cwchar>
#include <memory>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {

void* const write_retry = reinterpret_cast<void*>(1);
constexpr int write_retry_ms = 20;

std::string narrow(const XrString& s)
{
    std::string out;
    for (int i = 0; i < s.length(); ++i)
        out.push_back(static_cast<char>(s.char_at(i) & 0xFF));
    return out;
}

// A decimal number: optional '-', digits and at most one '.'.
bool parse_number(const std::wstring& text, double& out)
{
    size_t i = text.size() > 0 && text[0] == L'-' ? 1 : 0;
    bool digit = false, point = false;
    for (size_t j = i; j < text.size(); ++j) {
        if (text[j] >= L'0' && text[j] <= L'9')
            digit = true;
        else if (text[j] == L'.' && !point)
            point = true;
        else
            return false;
    }
    if (!digit)
        return false;
    const double v = std::wcstod(text.c_str(), nullptr);
    if (!std::isfinite(v))
        return false;
    out = v;
    return true;
}

bool parse_integer(const std::wstring& text, long& out)
{
    double v = 0;
    if (!parse_number(text, v) || text.find(L'.') != std::wstring::npos || std::fabs(v) > 2147483647.0)
        return false;
    out = static_cast<long>(v);
    return true;
}

// write() that reports a helper gone as EPIPE instead of raising SIGPIPE,
// whatever the process does with that signal.
ssize_t write_no_sigpipe(int fd, const char* data, size_t n)
{
    sigset_t pipe_set, old_set;
    sigemptyset(&pipe_set);
    sigaddset(&pipe_set, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    const bool was_pending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_set, &old_set);
    const ssize_t written = write(fd, data, n);
    const int saved = errno;
    if (written < 0 && errno == EPIPE && !was_pending) {
        const timespec none = {0, 0};
        while (sigtimedwait(&pipe_set, nullptr, &none) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &old_set, nullptr);
    errno = saved;
    return written;
}

std::vector<std::wstring> split_fields(const std::wstring& line)
{
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (;;) {
        const size_t comma = line.find(L',', start);
        fields.push_back(line.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start));
        if (comma == std::wstring::npos)
            return fields;
        start = comma + 1;
    }
}

} // namespace

XrWifiPositionProducerWpsApi* XrWifiPositionProducerWpsApi::create(XrFsm* fsm, XrEventloopBase* loop)
{
    return new XrWifiPositionProducerWpsApi(fsm, loop);
}

XrWifiPositionProducerWpsApi::XrWifiPositionProducerWpsApi(XrFsm* fsm_, XrEventloopBase* loop)
    : XrFsmThread(fsm_, "WifiWpsApi"), request_queue(fsm_), io_queue(fsm_), scheduler(fsm_), event_loop(loop)
{
    watch.listener = this;
    XrFsmThread::activate();
    if (event_loop != nullptr)
        post_immediate_callback(scheduler, event_loop);
}

XrWifiPositionProducerWpsApi::~XrWifiPositionProducerWpsApi()
{
    close_pipes();
    if (helper_pid > 0)
        kill(helper_pid, SIGTERM);
    if (event_loop != nullptr) {
        event_loop->remove_child_handler(this, nullptr);
        event_loop->remove_timeout(this, nullptr);
    }
}

void XrWifiPositionProducerWpsApi::set_status(int s)
{
    status = s;
    notify_state_changed();
}

void XrWifiPositionProducerWpsApi::connect()
{
    connect_requested = true;
    disconnect_requested = false;
    request_queue.wake_one();
}

void XrWifiPositionProducerWpsApi::disconnect()
{
    connect_requested = false;
    disconnect_requested = true;
    request_queue.wake_one();
    io_queue.wake_one();
}

XrFsmResult XrWifiPositionProducerWpsApi::go(State next)
{
    state = next;
    return XR_FSM_CONTINUE;
}

void XrWifiPositionProducerWpsApi::child_exited(pid_t pid, int, void*)
{
    if (pid == helper_pid)
        helper_pid = -1;
}

bool XrWifiPositionProducerWpsApi::filter_byte(BYTE b)
{
    if (end_of_data)
        return false;
    if (b == '\n') {
        reply_bytes = 0;
    } else if (++reply_bytes >= max_reply_bytes) {
        end_of_data = true;
        io_queue.wake_one();
        return false;
    }
    return true;
}

void XrWifiPositionProducerWpsApi::line_received(const TCHAR* line)
{
    replies.emplace_back(line);
    io_queue.wake_one();
}

void XrWifiPositionProducerWpsApi::state_changed(int s)
{
    if (s == 0) {
        end_of_data = true;
        io_queue.wake_one();
    }
}

void XrWifiPositionProducerWpsApi::execute(XrEventloopBase*, void* data)
{
    if (data == write_retry) {
        writable_wait = false;
        io_queue.wake_one();
    }
}

XrFsmResult XrWifiPositionProducerWpsApi::st_idle()
{
    const bool start = connect_requested;
    connect_requested = false;
    if (start) {
        disconnect_requested = false;
        return go(&XrWifiPositionProducerWpsApi::st_start_helper);
    }
    if (!disconnect_requested) {
        request_queue.add(this);
        return XR_FSM_SUSPEND;
    }
    disconnect_requested = false;
    return XR_FSM_CONTINUE;
}

bool XrWifiPositionProducerWpsApi::read_settings()
{
    std::unique_ptr<XrStorageAccessor> accessor(open_storage_accessor(XrString(L"?:\\kestrova\\settings.txt"), true));
    if (!accessor)
        return false;
    XrStorageConfiguration config(accessor.release(), L"");
    if (config.open(true) != XrConfiguration::OK || config.open_key(L"\\wpsapi") != XrConfiguration::OK)
        return false;
    if (config.get_string(L"username", username) != XrConfiguration::OK ||
        config.get_string(L"realm", realm) != XrConfiguration::OK)
        return false;
    const TCHAR* none = L"";
    config.get_string(L"server_url", server_url, none);
    config.get_string(L"local_file_path", local_file_path, none);
    int period = 0;
    const int zero = 0;
    config.get_int(L"location_period", &period, &zero);
    location_period = period > 0 ? static_cast<unsigned long>(period) : 1000;
    return true;
}

XrFsmResult XrWifiPositionProducerWpsApi::st_start_helper()
{
    if (!read_settings())
        return go(&XrWifiPositionProducerWpsApi::st_settings_failed);
    arguments = {XrRoot::path("/usr/libexec/kestrova-wpsapi-helper"), "-u", narrow(username), "-r", narrow(realm)};
    if (!server_url.is_empty()) {
        arguments.push_back("-s");
        arguments.push_back(narrow(server_url));
    }
    if (!local_file_path.is_empty()) {
        arguments.push_back("-l");
        arguments.push_back(narrow(local_file_path));
    }
    std::vector<char*> argv;
    for (auto& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int reply_pipe[2] = {-1, -1};
    int request_pipe[2] = {-1, -1};
    if (pipe2(reply_pipe, O_CLOEXEC) != 0)
        return go(&XrWifiPositionProducerWpsApi::st_start_failed);
    if (pipe2(request_pipe, O_CLOEXEC) != 0) {
        close(reply_pipe[0]);
        close(reply_pipe[1]);
        return go(&XrWifiPositionProducerWpsApi::st_start_failed);
    }
    const pid_t pid = fork();
    if (pid < 0) {
        for (int fd : {reply_pipe[0], reply_pipe[1], request_pipe[0], request_pipe[1]})
            close(fd);
        return go(&XrWifiPositionProducerWpsApi::st_start_failed);
    }
    if (pid == 0) {
        if (dup2(request_pipe[0], STDIN_FILENO) < 0)
            _exit(1);
        if (dup2(reply_pipe[1], STDOUT_FILENO) < 0)
            _exit(2);
        execv(argv[0], argv.data());
        _exit(4);
    }
    close(reply_pipe[1]);
    close(request_pipe[0]);
    reply_fd = reply_pipe[0];
    request_fd = request_pipe[1];
    helper_pid = pid;
    end_of_data = false;
    reply_bytes = 0;
    replies.clear();
    if (event_loop != nullptr)
        event_loop->add_child_handler(pid, this, nullptr);
    const int flags = fcntl(request_fd, F_GETFL);
    fcntl(request_fd, F_SETFL, flags | O_NONBLOCK);
    watch.fd = reply_fd;
    watch.line.set(nullptr, 0);
    watch.last_break = 0;
    watch.started = false;
    if (event_loop == nullptr || !event_loop->add_fd_watch(&watch))
        return go(&XrWifiPositionProducerWpsApi::st_close);
    watching = true;
    // Connected is told by the first reply, not by the fork: a helper that
    // cannot be started never looks connected.
    return go(&XrWifiPositionProducerWpsApi::st_request);
}

XrFsmResult XrWifiPositionProducerWpsApi::st_request()
{
    if (disconnect_requested)
        return go(&XrWifiPositionProducerWpsApi::st_close);
    const int n = std::snprintf(request, sizeof(request), "p %lu 0\r\n", location_period);
    request_length = n < 0 ? 0 : std::min(n, max_request_bytes - 1);
    request_written = 0;
    return go(&XrWifiPositionProducerWpsApi::st_write);
}

XrFsmResult XrWifiPositionProducerWpsApi::st_write()
{
    if (disconnect_requested)
        return go(&XrWifiPositionProducerWpsApi::st_close);
    if (request_written >= request_length)
        return go(&XrWifiPositionProducerWpsApi::st_read);
    const ssize_t n = write_no_sigpipe(request_fd, request + request_written,
                                       static_cast<size_t>(request_length - request_written));
    if (n < 0 && (errno == EAGAIN || errno == EINPROGRESS)) {
        writable_wait = true;
        if (event_loop != nullptr)
            event_loop->add_timeout(0, write_retry_ms, this, write_retry);
        return go(&XrWifiPositionProducerWpsApi::st_wait_write);
    }
    if (n <= 0)
        return go(&XrWifiPositionProducerWpsApi::st_close);
    request_written += static_cast<int>(n);
    return XR_FSM_CONTINUE;
}

XrFsmResult XrWifiPositionProducerWpsApi::st_wait_write()
{
    if (writable_wait && !disconnect_requested) {
        io_queue.add(this);
        return XR_FSM_SUSPEND;
    }
    return go(&XrWifiPositionProducerWpsApi::st_write);
}

XrFsmResult XrWifiPositionProducerWpsApi::st_read()
{
    if (disconnect_requested)
        return go(&XrWifiPositionProducerWpsApi::st_close);
    if (!replies.empty()) {
        reply = std::move(replies.front());
        replies.pop_front();
        return go(&XrWifiPositionProducerWpsApi::st_reply);
    }
    if (end_of_data)
        return go(&XrWifiPositionProducerWpsApi::st_close);
    io_queue.add(this);
    return XR_FSM_SUSPEND;
}

bool XrWifiPositionProducerWpsApi::take_fix(const std::vector<std::wstring>& f)
{
    if (f.size() < 7)
        return false;
    double lat = 0, lon = 0, speed = 0, heading = 0;
    long sats = 0;
    if (!parse_number(f[1], lat) || !parse_number(f[2], lon) || !parse_integer(f[4], sats) ||
        !parse_number(f[5], speed) || !parse_number(f[6], heading))
        return false;
    if (std::fabs(lat) > 90 || std::fabs(lon) > 180 || sats < 0 || sats > max_satellites || speed < 0)
        return false;
    position_info.set_coordinate(XrCoordinate(lon, lat));
    position_info.set_velocity(XrVelocity(speed, XrVelocity::MetresPerSecond));
    position_info.set_heading(XrAngle(heading, XrAngle::Degrees));
    XrArray<int> used(max_satellites);
    XrArray<XrSVData> in_view(max_satellites);
    for (int i = 0; i < sats; ++i) {
        used.append(i + 1);
        XrSVData sv;
        sv.number = static_cast<std::uint16_t>(i + 1);
        sv.elevation = static_cast<std::uint16_t>(i * 10);
        sv.azimuth = static_cast<std::uint16_t>(i * 10);
        sv.snr = 50;
        in_view.append(sv);
    }
    position_info.set_used_satellites(used);
    position_info.set_satellites_in_view(in_view);
    position_info.set_fix(true);
    return true;
}

XrFsmResult XrWifiPositionProducerWpsApi::st_reply()
{
    const std::vector<std::wstring> fields = split_fields(reply);
    const std::wstring& kind = fields[0];
    if (kind == L"+") {
        if (status != status_connected)
            set_status(status_connected);
        // A reply that does not parse makes no fix; the next one may.
        if (take_fix(fields))
            notify_position_updated();
        return go(&XrWifiPositionProducerWpsApi::st_read);
    }
    if (kind == L"-") {
        long code = -1;
        const bool keep = fields.size() >= 2 && parse_integer(fields[1], code) &&
                          (code == 0 || code == 3 || code == 5 || code == 6);
        if (keep) {
            if (status != status_connected)
                set_status(status_connected);
            return go(&XrWifiPositionProducerWpsApi::st_read);
        }
    }
    return go(&XrWifiPositionProducerWpsApi::st_close);
}

XrFsmResult XrWifiPositionProducerWpsApi::st_close()
{
    if (position_info.has_fix()) {
        position_info.set_fix(false);
        notify_position_updated();
    }
    close_pipes();
    // The helper is told to go: a reconnect must not leave two running.
    if (helper_pid > 0)
        kill(helper_pid, SIGTERM);
    disconnect_requested = false;
    set_status(status_not_connected);
    return go(&XrWifiPositionProducerWpsApi::st_idle);
}

XrFsmResult XrWifiPositionProducerWpsApi::st_settings_failed()
{
    return go(&XrWifiPositionProducerWpsApi::st_start_failed);
}

XrFsmResult XrWifiPositionProducerWpsApi::st_start_failed()
{
    return go(&XrWifiPositionProducerWpsApi::st_idle);
}

void XrWifiPositionProducerWpsApi::close_pipes()
{
    if (watching && event_loop != nullptr)
        event_loop->remove_fd_watch(&watch);
    watching = false;
    watch.fd = -1;
    if (reply_fd >= 0)
        close(reply_fd);
    if (request_fd >= 0)
        close(request_fd);
    reply_fd = -1;
    request_fd = -1;
    if (event_loop != nullptr)
        event_loop->remove_timeout(this, write_retry);
    writable_wait = false;
    replies.clear();
}
