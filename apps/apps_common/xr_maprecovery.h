// Recovery from an active map that cannot be opened: the damaged folder is
// marked (a marker file beside its own files, which stay as they are) and
// the demo map "Atlantis" takes its place, activated when installed or
// copied in whole (temporary name, sync, rename). A demo put in place this
// way carries a marker of its own until it has opened once, so that a demo
// that cannot open either ends the recovery instead of starting it again.
#pragma once

#include <string>

// Marker file names inside a map folder.
inline constexpr const char* xr_corrupted_marker = ".corrupted";
inline constexpr const char* xr_recovered_marker = ".recovered";

enum class XrMapRecoveryResult {
    RESTART,  // the demo map is in place: start again
    GAVE_UP,  // no usable map: end without a restart (reason says why)
};

// card_root: the card's map root, ending in '/'; demo: the shipped demo map
// folder. Every step is checked; a failed one gives GAVE_UP.
XrMapRecoveryResult xr_recover_corrupted_map(const std::string& card_root, const std::string& demo,
                                             std::string& reason);

// The active map has opened: it is no longer a fresh recovery.
void xr_map_recovery_confirm(const std::string& card_root);

// True when the map folder is marked damaged.
bool xr_map_marked_corrupted(const std::string& folder);
