// kestrova-probe drive on the shipped demo map: the transcript of what is
// said on the way onto the motorway A1 (a merge, never "take the exit") and
// off it again (an exit).
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "probe_run.h"
#include "support/xr_temp_root.h"

namespace {

std::string demo_map() { return XrTempRoot::stage_dir() + "/usr/share/kestrova/atlantis"; }

// The prompt lines of a transcript ("<second> prompt <files>"), the lead-in
// "delay.wav" left out.
std::string prompts(const std::string& out)
{
    std::istringstream in(out);
    std::string line, said;
    while (std::getline(in, line)) {
        const size_t at = line.find(" prompt ");
        if (at == std::string::npos || line.compare(at + 8, std::string::npos, "delay.wav") == 0)
            continue;
        said += line.substr(at + 8) + "\n";
    }
    return said;
}

ProbeRun drive(const std::string& from, const std::string& to)
{
    return run_probe("drive " + demo_map() + " --from " + from + " --to " + to + " --speed 60");
}

TEST(ProbeDriveDemo, OntoTheMotorwayIsAMergeNotAnExit)
{
    // From the ring road south to the junction, up the slip road onto A1 east.
    const ProbeRun r = drive("30.9945,-24.0000", "30.98832,-23.9620");
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string said = prompts(r.out);
    EXPECT_EQ(said.find("exitl.wav"), std::string::npos) << said;
    EXPECT_EQ(said.find("exitr.wav"), std::string::npos) << said;
    // The slip road is told as a turn to its side, and the drive arrives.
    EXPECT_NE(said.find("herel.wav"), std::string::npos) << said;
    EXPECT_EQ(r.out.find(" instruction 10 "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(" instruction 11 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" arrived"), std::string::npos) << r.out;
}

TEST(ProbeDriveDemo, OffTheMotorwayIsStillAnExit)
{
    const ProbeRun r = drive("30.98832,-24.0300", "30.9945,-24.0000");
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string said = prompts(r.out);
    EXPECT_NE(said.find("exitl.wav"), std::string::npos) << said;
    EXPECT_NE(r.out.find(" arrived"), std::string::npos) << r.out;
}

} // namespace
