#include "common/corvanel_core/impl/nmea_track.h"
#include "launcher/xr_helper_test_support.h"
#include "support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace xr_test;

namespace {

struct Result {
    int status;
    std::vector<std::string> lines;
    std::string err;
};

// Runs "kestrova-probe nmea args..." with `input` on its standard input.
Result run_probe(const std::vector<std::string>& args, const std::string& input)
{
    XrTempRoot root;
    const std::string in_path = root.write_file("/tmp/in.nmea", input);
    const int in = open(in_path.c_str(), O_RDONLY | O_CLOEXEC);
    Pipe out, err;
    Process p;
    std::vector<std::string> argv{XR_PROBE_PROGRAM, "nmea"};
    argv.insert(argv.end(), args.begin(), args.end());
    EXPECT_TRUE(p.start(argv, {}, in, out.write_fd, err.write_fd));
    close(in);
    out.close_write();
    err.close_write();
    std::string text, error;
    read_all(out.read_fd, text);
    read_all(err.read_fd, error);
    Result r{p.exit_status(), {}, error};
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        r.lines.push_back(line);
    return r;
}

} // namespace

TEST(ProbeNmea, PrintsEachFixAndSatelliteView)
{
    const Result r = run_probe({}, nmea_track::log(12));
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.lines.size(), 4u);
    // The first fix comes before any "$GPGSA": the satellite count is unknown.
    EXPECT_EQ(r.lines[0], "{\"class\":\"fix\",\"time\":\"2026-12-10T14:00:00Z\",\"lat\":60.2000000,\"lon\":24.9000000,"
                          "\"speed\":15.000,\"course\":45.0,\"valid\":true}");
    // The view of the first epoch: ten satellites, eight of them used.
    EXPECT_EQ(r.lines[1].rfind("{\"class\":\"sky\",\"satellites\":[{\"PRN\":2,\"el\":10,\"az\":0,\"ss\":20,\"used\":true},",
                               0),
              0u)
        << r.lines[1];
    EXPECT_NE(r.lines[1].find("{\"PRN\":27,\"el\":73,\"az\":333,\"ss\":38,\"used\":false}]}"), std::string::npos)
        << r.lines[1];
    EXPECT_EQ(r.lines[2], "{\"class\":\"fix\",\"time\":\"2026-12-10T14:00:01Z\",\"lat\":60.2000950,\"lon\":24.9001917,"
                          "\"speed\":15.000,\"course\":45.0,\"valid\":true,\"sats\":8}");
}

TEST(ProbeNmea, BadLinesAreSkippedAndUnknownValuesLeftOut)
{
    std::string input = nmea_text::sentence("GPRMC,140000,V,,,,,,,101226,,");
    std::string bad = nmea_text::sentence("GPRMC,140001,A,6012.000,N,02454.000,E,1.0,10.0,101226,,");
    bad[bad.find('*') + 2] ^= 1;
    input += bad;
    input += "$GPRMC,140002,A,6060.000,N,02454.000,E,1.0,10.0,101226,,\r\n"; // minutes of 60
    input += "no NMEA at all\n";
    input += "$GPRMC,140003,A,6012.000,N,02454.000,E,,,,,"; // no line end, no date
    const Result r = run_probe({}, input);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_EQ(r.lines[0], "{\"class\":\"fix\",\"time\":\"2026-12-10T14:00:00Z\",\"speed\":0.000,\"course\":0.0,"
                          "\"valid\":false}");
    EXPECT_EQ(r.lines[1], "{\"class\":\"fix\",\"time\":\"2026-12-10T14:00:03Z\",\"lat\":60.2000000,\"lon\":24.9000000,"
                          "\"speed\":0.000,\"course\":0.0,\"valid\":true}");
}

TEST(ProbeNmea, ReadsAFileAndRefusesBadUsage)
{
    XrTempRoot root;
    const std::string path = root.write_file("/tmp/track.nmea", nmea_track::log(60));
    Result r = run_probe({path}, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.lines.size(), 20u);
    r = run_probe({root.dir() + "/missing.nmea"}, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot open"), std::string::npos);
    r = run_probe({"a", "b"}, "");
    EXPECT_EQ(r.status, 2);
}
