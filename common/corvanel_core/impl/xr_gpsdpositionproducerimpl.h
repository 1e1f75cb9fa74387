// The "GPSD" producer: runs kestrova-gpsd-helper as a child whose standard
// output is a pipe, reads the pipe from the main loop as text lines and
// feeds them to the NMEA producer (dead reckoning allowed). A cooperative
// state machine, so starting, reading and stopping never block.
#pragma once

#include "common/corvanel_core/impl/xr_nmeapositionproducerimpl.h"
#include "common/fsm/xr_fsm.h"
#include "common/os/xr_eventloopbase.h"
#include "common/os/xr_linewatch.h"

#include <sys/types.h>

class XrGpsdPositionProducerImpl : public XrFsmThread,
                                   public XrNmeaPositionProducerImpl,
                                   public XrChildHandler,
                                   public XrLineWatchListener {
public:
    // The helper's exit status when the user cancelled the receiver choice:
    // connection attempts stop.
    static constexpr int exit_cancelled = 42;
    // Longest line taken, its line end included; a longer one ends the
    // connection.
    static constexpr int max_line_bytes = 1024;
    // A helper that closed its output may still be ending with its status:
    // it gets this long before it is terminated.
    static constexpr int exit_grace_ms = 2000;

    static XrGpsdPositionProducerImpl* create(XrFsm* fsm, XrEventloopBase* loop);
    XrGpsdPositionProducerImpl(XrFsm* fsm, XrEventloopBase* loop);
    // Stops watching the pipe, closes it, sends the helper SIGTERM and
    // forgets its child handler.
    ~XrGpsdPositionProducerImpl() override;

    void connect() override;
    void disconnect() override;
    void reconnect() override;

    // data == this wakes the machine; other data are dead-reckoning steps.
    void execute(XrEventloopBase* loop, void* data) override;
    void child_exited(pid_t pid, int exit_status, void* data) override;

    XrFsmResult step() override { return (this->*state)(); }

    // The helper's pid while it runs, else -1.
    pid_t get_helper_pid() const { return helper_pid; }
    bool is_reading() const { return pipe_fd >= 0; }

    // The pipe's lines.
    bool filter_byte(BYTE b) override;
    void line_received(const TCHAR* line) override;
    void state_changed(int state) override;

private:
    using State = XrFsmResult (XrGpsdPositionProducerImpl::*)();
    XrFsmResult st_idle();
    XrFsmResult st_start_helper();
    XrFsmResult st_read();
    XrFsmResult st_close();
    XrFsmResult st_stopped();
    XrFsmResult wait();
    void wake();
    void stop_helper();
    void close_pipe();

    State state = &XrGpsdPositionProducerImpl::st_idle;
    XrFsmWaitQueue wait_queue;
    bool connect_requested = false;
    bool disconnect_requested = false;
    XrFsm* scheduler;
    int pipe_fd = -1;
    XrLineWatch watch;
    bool watching = false;
    bool end_of_data = false; // end of file, a read error or an overlong line
    bool overlong_line = false;
    int line_bytes = 0;
    pid_t helper_pid = -1;
};
