// The application provider: version texts, the event loop and the exit
// handlers.
#pragma once

#include "common/container/xr_ptrarray.h"
#include "common/corvanel_core/interfaces/xr_applicationprovider.h"

class XrApplicationProviderImpl : public XrApplicationProvider {
public:
    // Ends the process; tests replace it.
    typedef void (*ExitFunction)(int status);

    XrApplicationProviderImpl(XrEventloopBase* event_loop, void* owner);
    ~XrApplicationProviderImpl() override = default;

    void get_version_info(XrVersionInfo& out) override;
    // Runs the exit handlers and ends the process with status.
    void exit(int status) override;
    void request_exit() override;
    void exit_if_requested() override;
    XrEventloopBase* get_event_loop() override { return event_loop; }
    void add_exit_handler(XrExitHandler* handler) override;
    void remove_exit_handler(XrExitHandler* handler) override;

    void* get_owner() const { return owner; }
    // Whether a dialog is open: the dialog manager installs its answer
    // (none: no dialog).
    static inline bool (*dialog_open)() = nullptr;
    // Replaces the function that ends the process (null: std::exit).
    static void set_exit_function(ExitFunction f);

private:
    // Calls every handler in order, then empties the list.
    void run_exit_handlers();

    XrEventloopBase* event_loop;
    bool exit_requested = false;
    void* owner;
    XrPtrArray<XrExitHandler*> exit_handlers{8};
};
