// Application-wide services without a dependency on the application object:
// the version texts, the event loop, and an orderly exit that first runs
// every registered exit handler. Registered as "XrApplicationProvider"; the
// registered pointer is one to this interface (which begins with the exit
// that the system's shutdown event calls).
#pragma once

#include "common/corvanel_core/interfaces/xr_mappoint.h"
#include "common/os/xr_system.h"

class XrEventloopBase;

// Run in order at process exit.
class XrExitHandler {
public:
    virtual ~XrExitHandler() = default;
    virtual void handle_exit() = 0;
};

class XrApplicationProvider : public XrApplicationExit {
public:
    ~XrApplicationProvider() override = default;

    virtual void get_version_info(XrVersionInfo& out) = 0;
    // Marks the exit requested; exits at once unless a dialog is open (then
    // exit_if_requested does it later).
    virtual void request_exit() = 0;
    // Runs the exit handlers and ends the process with status 0 when an exit
    // was requested; otherwise nothing.
    virtual void exit_if_requested() = 0;
    virtual XrEventloopBase* get_event_loop() = 0;
    // Null is not added.
    virtual void add_exit_handler(XrExitHandler* handler) = 0;
    // Removes the first entry equal to the handler, if any.
    virtual void remove_exit_handler(XrExitHandler* handler) = 0;
};
