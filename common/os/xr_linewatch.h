// A text-line watch on a pipe or character device: the event loop reads the
// fd as data arrives and cuts it into lines for the watch's listener.
#pragma once

#include "common/container/xr_bytearray.h"
#include "common/container/xr_defs.h"

class XrLineWatchListener {
public:
    virtual ~XrLineWatchListener() = default;
    // Asked for every byte read; false drops the byte.
    virtual bool filter_byte(BYTE /*b*/) { return true; }
    // One complete line, Latin-1 widened, without its line break.
    virtual void line_received(const TCHAR* line) = 0;
    // 1 on the first readable callback, 0 at end of file or on a read error.
    virtual void state_changed(int /*state*/) {}
};

struct XrLineWatch {
    // Longest line delivered; longer lines are cut.
    static constexpr int max_line_chars = 2047;

    explicit XrLineWatch(int fd_ = -1, XrLineWatchListener* listener_ = nullptr) : listener(listener_), fd(fd_) {}
    XrLineWatch(const XrLineWatch&) = delete;
    XrLineWatch& operator=(const XrLineWatch&) = delete;

    // Cuts bytes into lines: CR, LF, CR LF and LF CR each end one line, NUL
    // bytes are dropped, lines are cut at max_line_chars. Returns false when
    // a listener call removed the watch from its loop (the watch must not be
    // touched then: its owner may have deleted it).
    bool feed(const BYTE* data, int n);
    // Tells the listener (if any) of a state change; false as for feed.
    bool report_state(int state);

    XrLineWatchListener* listener;
    XrByteArray line;        // the line being collected
    BYTE last_break = 0;     // CR or LF of the last line break, 0 after other bytes
    int fd;
    int read_tag = -1;       // main-loop source of the read watch, -1 = none
    int write_tag = -1;      // unused by the loop's reader; removed with the watch
    bool started = false;    // state 1 reported

    // Set by the event loop while it calls the listener; remove_fd_watch
    // raises the flag it points to.
    bool* removed_flag = nullptr;

private:
    bool deliver_line(const bool* removed);
};
