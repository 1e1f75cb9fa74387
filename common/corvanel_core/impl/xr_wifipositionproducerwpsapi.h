// The "Wifi" producer: positions from the outside Wi-Fi positioning helper
// "/usr/libexec/kestrova-wpsapi-helper", started with the account settings of
// section "\wpsapi" on its command line. One request line "p <period> 0" goes
// to its standard input; its standard output sends reply lines: "+" and six
// fields (latitude, longitude, unused, satellites, speed, heading) for a fix,
// "-" and an error code and text for an error (codes 0, 3, 5 and 6 keep the
// connection).
#pragma once

#include "common/corvanel_core/interfaces/xr_positionproducer.h"
#include "common/fsm/xr_fsm.h"
#include "common/os/xr_eventloopbase.h"
#include "common/os/xr_linewatch.h"

#include <deque>
#include <string>
#include <vector>

#include <sys/types.h>

class XrWifiPositionProducerWpsApi : public XrFsmThread,
                                     public XrPositionProducer,
                                     public XrChildHandler,
                                     public XrLineWatchListener,
                                     public XrEventHandler {
public:
    static constexpr int max_request_bytes = 512;
    // A reply line this long (its line end included) ends the connection.
    static constexpr int max_reply_bytes = 1024;
    // Most satellites a fix may report.
    static constexpr int max_satellites = 64;

    static XrWifiPositionProducerWpsApi* create(XrFsm* fsm, XrEventloopBase* loop);
    XrWifiPositionProducerWpsApi(XrFsm* fsm, XrEventloopBase* loop);
    // Closes the pipes, removes the watch, sends the helper SIGTERM and
    // forgets its child handler.
    ~XrWifiPositionProducerWpsApi() override;

    void connect() override;
    void disconnect() override;
    void reconnect() override { connect(); }
    int get_status() override { return status; }
    XrPositionInfo& get_position_info() override { return position_info; }
    // Stores the status and tells every listener (also when unchanged).
    void set_status(int s);

    XrFsmResult step() override { return (this->*state)(); }

    void child_exited(pid_t pid, int exit_status, void* data) override;
    bool filter_byte(BYTE b) override;
    void line_received(const TCHAR* line) override;
    void state_changed(int state) override;
    // A retry of a write that found the pipe full.
    void execute(XrEventloopBase* loop, void* data) override;

    pid_t get_helper_pid() const { return helper_pid; }
    bool is_open() const { return reply_fd >= 0; }
    // The command line of the last start.
    const std::vector<std::string>& get_arguments() const { return arguments; }

private:
    using State = XrFsmResult (XrWifiPositionProducerWpsApi::*)();
    XrFsmResult st_idle();
    XrFsmResult st_start_helper();
    XrFsmResult st_request();
    XrFsmResult st_write();
    XrFsmResult st_wait_write();
    XrFsmResult st_read();
    XrFsmResult st_reply();
    XrFsmResult st_close();
    XrFsmResult st_settings_failed();
    XrFsmResult st_start_failed();
    XrFsmResult go(State next);
    bool read_settings();
    void close_pipes();
    // A "+" reply: false when a field is missing or does not parse.
    bool take_fix(const std::vector<std::wstring>& fields);

    State state = &XrWifiPositionProducerWpsApi::st_idle;
    int status = status_not_connected;
    XrPositionInfo position_info;
    XrFsmWaitQueue request_queue;
    XrFsmWaitQueue io_queue;
    bool connect_requested = false;
    bool disconnect_requested = false;
    XrFsm* scheduler;
    XrEventloopBase* event_loop;

    XrString username, realm, server_url, local_file_path;
    unsigned long location_period = 1000;
    std::vector<std::string> arguments;

    int reply_fd = -1;
    int request_fd = -1;
    pid_t helper_pid = -1;
    XrLineWatch watch;
    bool watching = false;
    bool end_of_data = false;
    int reply_bytes = 0;
    bool writable_wait = false;
    char request[max_request_bytes];
    int request_length = 0;
    int request_written = 0;
    std::deque<std::wstring> replies;
    std::wstring reply;
};
