#include "common/corvanel_core/impl/xr_gpsdpositionproducerimpl.h"

#include "common/corvanel_core/interfaces/xr_positionprovider.h"
#include "common/base/xr_root.h"

#include <csignal>
#include <string>

#include <fcntl.h>
#include <unistd.h>

XrGpsdPositionProducerImpl* XrGpsdPositionProducerImpl::create(XrFsm* fsm, XrEventloopBase* loop)
{
    return new XrGpsdPositionProducerImpl(fsm, loop);
}

XrGpsdPositionProducerImpl::XrGpsdPositionProducerImpl(XrFsm* fsm_, XrEventloopBase* loop)
    : XrFsmThread(fsm_, "GPSD"), XrNmeaPositionProducerImpl(true, loop), wait_queue(fsm_), scheduler(fsm_)
{
    watch.listener = this;
    XrFsmThread::activate();
    scheduler->run();
}

XrGpsdPositionProducerImpl::~XrGpsdPositionProducerImpl()
{
    close_pipe();
    stop_helper();
    if (event_loop != nullptr) {
        event_loop->remove_timeout(this, &helper_pid);
        event_loop->remove_child_handler(this, nullptr);
    }
}

void XrGpsdPositionProducerImpl::wake()
{
    wait_queue.wake_one();
}

XrFsmResult XrGpsdPositionProducerImpl::wait()
{
    wait_queue.add(this);
    return XR_FSM_SUSPEND;
}

void XrGpsdPositionProducerImpl::connect()
{
    connect_requested = true;
    wake();
}

void XrGpsdPositionProducerImpl::disconnect()
{
    connect_requested = false;
    disconnect_requested = true;
    wake();
}

void XrGpsdPositionProducerImpl::reconnect()
{
    if (connect_requested)
        return;
    connect_requested = true;
    wake();
}

void XrGpsdPositionProducerImpl::execute(XrEventloopBase* loop, void* data)
{
    if (data == static_cast<XrFsmThread*>(this))
        wake();
    else if (data == &helper_pid)
        stop_helper(); // still running after its grace
    else
        XrNmeaPositionProducerImpl::execute(loop, data);
}

void XrGpsdPositionProducerImpl::child_exited(pid_t pid, int exit_status, void*)
{
    if (pid == helper_pid) {
        helper_pid = -1;
        if (event_loop != nullptr)
            event_loop->remove_timeout(this, &helper_pid);
    }
    if (exit_status != exit_cancelled)
        return;
    auto* provider = static_cast<XrPositionProvider*>(XrSingleton::get_instance(XrString("XrPositionProvider")));
    if (provider != nullptr)
        provider->set_connect_enabled(false);
}

bool XrGpsdPositionProducerImpl::filter_byte(BYTE b)
{
    if (end_of_data)
        return false;
    if (get_status() != status_connected)
        set_status(status_connected);
    if (b == '\n') {
        line_bytes = 0;
    } else if (++line_bytes >= max_line_bytes) {
        end_of_data = true;
        overlong_line = true;
        wake();
        return false;
    }
    return true;
}

void XrGpsdPositionProducerImpl::line_received(const TCHAR* line)
{
    handle_nmea_line(line);
}

void XrGpsdPositionProducerImpl::state_changed(int s)
{
    if (s == 0) {
        end_of_data = true;
        wake();
    }
}

XrFsmResult XrGpsdPositionProducerImpl::st_idle()
{
    if (connect_requested) {
        connect_requested = false;
        disconnect_requested = false;
        state = &XrGpsdPositionProducerImpl::st_start_helper;
        return XR_FSM_CONTINUE;
    }
    if (!disconnect_requested)
        return wait();
    disconnect_requested = false;
    return XR_FSM_CONTINUE;
}

XrFsmResult XrGpsdPositionProducerImpl::st_start_helper()
{
    // A helper still ending from the last connection goes first.
    if (event_loop != nullptr)
        event_loop->remove_timeout(this, &helper_pid);
    stop_helper();
    const std::string path = XrRoot::path("/usr/libexec/kestrova-gpsd-helper");
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        state = &XrGpsdPositionProducerImpl::st_stopped;
        return XR_FSM_CONTINUE;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        state = &XrGpsdPositionProducerImpl::st_stopped;
        return XR_FSM_CONTINUE;
    }
    if (pid == 0) {
        if (dup2(fds[1], STDOUT_FILENO) < 0)
            _exit(1);
        char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
        execv(path.c_str(), argv);
        _exit(2);
    }
    close(fds[1]);
    pipe_fd = fds[0];
    helper_pid = pid;
    end_of_data = false;
    overlong_line = false;
    line_bytes = 0;
    if (event_loop != nullptr)
        event_loop->add_child_handler(pid, this, nullptr);
    watch.fd = pipe_fd;
    watch.line.set(nullptr, 0);
    watch.last_break = 0;
    watch.started = false;
    if (event_loop == nullptr || !event_loop->add_fd_watch(&watch)) {
        state = &XrGpsdPositionProducerImpl::st_close;
        return XR_FSM_CONTINUE;
    }
    watching = true;
    state = &XrGpsdPositionProducerImpl::st_read;
    return XR_FSM_CONTINUE;
}

XrFsmResult XrGpsdPositionProducerImpl::st_read()
{
    if (disconnect_requested || end_of_data) {
        state = &XrGpsdPositionProducerImpl::st_close;
        return XR_FSM_CONTINUE;
    }
    return wait();
}

XrFsmResult XrGpsdPositionProducerImpl::st_close()
{
    close_pipe();
    // A helper left running would be a second one after the next connect.
    // One that closed its output on its own is ending: its exit status
    // (42 stops the retries) must not be lost to an early SIGTERM.
    if (disconnect_requested || overlong_line || event_loop == nullptr || helper_pid <= 0 ||
        !event_loop->add_timeout(0, exit_grace_ms, this, &helper_pid))
        stop_helper();
    state = &XrGpsdPositionProducerImpl::st_stopped;
    return XR_FSM_CONTINUE;
}

XrFsmResult XrGpsdPositionProducerImpl::st_stopped()
{
    set_status(status_not_connected);
    disconnect_requested = false;
    state = &XrGpsdPositionProducerImpl::st_idle;
    return XR_FSM_CONTINUE;
}

void XrGpsdPositionProducerImpl::close_pipe()
{
    if (watching && event_loop != nullptr)
        event_loop->remove_fd_watch(&watch);
    watching = false;
    if (pipe_fd >= 0)
        close(pipe_fd);
    pipe_fd = -1;
    watch.fd = -1;
}

void XrGpsdPositionProducerImpl::stop_helper()
{
    // The child handler stays: it reports the exit (and clears the pid).
    if (helper_pid > 0)
        kill(helper_pid, SIGTERM);
}
