// Kills a writer at random moments and checks what it leaves: a child
// process runs the writer's save over and over until it is killed with
// SIGKILL after a random delay; after each kill (and the writer's recovery,
// when it has one) the file must hold the old or the new content in full,
// never something torn, and must exist.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct XrKillTestOptions {
    int max_kills = 60;     // kills at most
    int max_ms = 6000;      // and stops after this long (a loaded machine gets fewer kills)
    int max_delay_ms = 40;  // kill delay is random in [0, max_delay_ms]
    unsigned seed = 12345;  // of the delays, so that a failure can be rerun
};

struct XrKillTestWriter {
    // Run once in each child before the saves (may be empty).
    std::function<void()> setup;
    // One save of the new content; false when it failed.
    std::function<bool()> save;
    // Run in the test's process after each kill, before the file is checked
    // (may be empty): what the program does on its next start.
    std::function<void()> recover;
};

struct XrKillTestResult {
    int kills = 0;
    int saves_failed = 0;            // children that ended on their own
    std::vector<std::string> faults; // what the file held when it was wrong
    int leftovers = 0;               // other files named "<file>.*" at the end
};

// path: the file written; reset: puts the old content back before each run
// (no child runs then).
XrKillTestResult xr_kill_test(const std::string& path, const std::string& old_content,
                              const std::string& new_content, const std::function<void()>& reset,
                              const XrKillTestWriter& writer, const XrKillTestOptions& options = {});
