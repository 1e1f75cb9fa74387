// System services on libosso.
#pragma once

#include "common/os/xr_system.h"

class XrSystemMaemo : public XrSystem {
public:
    XrSystemMaemo() = default;
    // Stops the hardware-event callback: delete the object before the osso
    // context is ended.
    ~XrSystemMaemo() override;

    // Keeps the context and asks it for every hardware event.
    bool start(osso_context_t* osso) override;
    int get_device_mode() override { return device_mode; }
    unsigned long get_free_ram() override;
    unsigned long get_total_ram() override;

    // A hardware event: flags of XrSystemObserver, and whether the device is
    // in normal mode. The observers of the registered "XrSystem" are told
    // (when any flag is set); a shutdown then ends the application with
    // status 0.
    void handle_hw_event(int flags, bool normal_mode);

private:
    osso_context_t* osso = nullptr;
    int device_mode = device_mode_unknown;
};

// The process's system object (not started, no observers); the caller owns
// it.
XrSystem* create_system();
