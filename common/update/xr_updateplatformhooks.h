// The questions the update manager asks its platform at fixed points of its
// work. On this platform the answers are constant: nothing is installed
// directly, nothing is cleaned up at start, nothing is prepared before the
// memory cards are reported, and binary components count as installed.
#pragma once

#include "common/container/xr_string.h"

class XrUpdatePlatformHooks {
public:
    // Whether the components are installed at once on the named drive.
    bool installs_directly(char drive);
    // Called before the memory cards are reported to the server.
    void prepare_memory_card_report();
    // A file to delete when the manager starts; empty: none.
    XrString get_startup_cleanup_path();
    // Installs a binary component file; true when it counts as installed.
    // The manager's form names the component and the file only.
    bool install_binary(XrString component, XrString file, int size = 0, bool compressed = false);

    // The update manager's names of the same questions.
    bool confirm_drive(char drive) { return installs_directly(drive); }
    void scan_removable_drives() { prepare_memory_card_report(); }
    XrString stale_file_path() { return get_startup_cleanup_path(); }
};
