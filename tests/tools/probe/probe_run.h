// Runs kestrova-probe with arguments and collects its output and status.
#pragma once

#include <string>

#include "support/xr_command_run.h"

using ProbeRun = XrCommandRun;

inline ProbeRun run_probe(const std::string& args)
{
    return xr_run_command(std::string(XR_TEST_BINARY_DIR) + "/tools/probe/kestrova-probe " + args);
}
