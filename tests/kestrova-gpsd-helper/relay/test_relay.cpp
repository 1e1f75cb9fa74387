#include "kestrova-gpsd-helper/xr_gpsd_relay.h"
#include "launcher/xr_helper_test_support.h"
#include "support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <regex>
#include <sys/socket.h>
#include <unistd.h>

using namespace xr_test;

namespace {

// The read handler between a socket that stands for gpsd and a pipe that
// stands for standard output, both non-blocking on the relay's side.
class GpsdRelayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        signal(SIGPIPE, SIG_IGN);
        int sv[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv), 0);
        gpsd_fd = sv[0];
        input_fd = sv[1];
        int out[2];
        ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
        output_read_fd = out[0];
        output_fd = out[1];
        ASSERT_TRUE(xr_set_nonblocking(input_fd, true));
        ASSERT_TRUE(xr_set_nonblocking(output_fd, true));
        ASSERT_TRUE(xr_set_nonblocking(output_read_fd, true));
        debug.set_program_name("helper");
        ASSERT_TRUE(debug.open(root.dir() + "/debug"));
    }

    void TearDown() override
    {
        for (int fd : {gpsd_fd, input_fd, output_read_fd, output_fd})
            if (fd >= 0)
                close(fd);
    }

    XrGpsdRelay& relay(bool timing = false)
    {
        if (!m_relay) {
            if (timing) {
                EXPECT_TRUE(nmea_log.open(root.dir() + "/nmea"));
            }
            m_relay = std::make_unique<XrGpsdRelay>(input_fd, output_fd, nmea_log, timing, debug);
        }
        return *m_relay;
    }

    // gpsd sends `text`; the handler runs once.
    int send(const std::string& text)
    {
        EXPECT_EQ(write(gpsd_fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        return relay().on_input();
    }

    std::string output()
    {
        std::string text;
        char buf[4096];
        ssize_t n;
        while ((n = read(output_read_fd, buf, sizeof(buf))) > 0)
            text.append(buf, static_cast<size_t>(n));
        return text;
    }

    std::string debug_log() const { return read_file(root.dir() + "/debug"); }

    XrTempRoot root;
    int gpsd_fd = -1, input_fd = -1, output_read_fd = -1, output_fd = -1;
    XrNmeaLog nmea_log;
    XrDebugLog debug;

private:
    std::unique_ptr<XrGpsdRelay> m_relay;
};

TEST_F(GpsdRelayTest, CompleteLineGoesOutAtOnceAndTheStartOfTheNextWaits)
{
    EXPECT_EQ(send(kRmc + kGga.substr(0, 4)), XrGpsdRelay::KEEP_RUNNING);
    EXPECT_EQ(output(), kRmc);
    EXPECT_EQ(relay().buffer().fill(), 4);
    EXPECT_EQ(send(kGga.substr(4)), XrGpsdRelay::KEEP_RUNNING);
    EXPECT_EQ(output(), kGga);
    const std::string log = debug_log();
    EXPECT_NE(log.find("helper: Got " + std::to_string(kRmc.size() + 4) + " bytes of data\n"), std::string::npos);
    EXPECT_NE(log.find("helper: Wrote " + std::to_string(kRmc.size()) + " bytes of data\n"), std::string::npos);
}

TEST_F(GpsdRelayTest, RunOf128BytesWithoutLineEndIsDiscardedWhole)
{
    EXPECT_EQ(send(std::string(128, 'x')), XrGpsdRelay::KEEP_RUNNING);
    EXPECT_EQ(relay().buffer().fill(), 0);
    EXPECT_EQ(send("xxxx\r\n" + kRmc), XrGpsdRelay::KEEP_RUNNING);
    EXPECT_EQ(output(), kRmc);
    const std::string log = debug_log();
    EXPECT_NE(log.find("helper: Discarding 128 bytes of data\n"), std::string::npos);
    EXPECT_NE(log.find("helper: Discarding 6 bytes of data\n"), std::string::npos);
}

TEST_F(GpsdRelayTest, BlockedOutputKeepsThePendingLineAndDropsWhatDoesNotFit)
{
    // Fill the output pipe.
    fcntl(output_fd, F_SETPIPE_SZ, 4096);
    const std::string filler(4096, '.');
    while (write(output_fd, filler.data(), filler.size()) > 0) {
    }
    // 128 bytes fit: the first line waits, the start of the second is cut
    // off and its rest dropped.
    EXPECT_EQ(send(kRmc + kGga), XrGpsdRelay::KEEP_RUNNING);
    EXPECT_NE(debug_log().find("helper: Output would block\n"), std::string::npos);
    EXPECT_NE(debug_log().find("helper: Discarding " + std::to_string(128 - kRmc.size()) + " bytes of data\n"),
              std::string::npos);
    EXPECT_EQ(relay().buffer().pending(), static_cast<int>(kRmc.size()));
    EXPECT_EQ(relay().buffer().fill(), static_cast<int>(kRmc.size()));
    EXPECT_EQ(send(kGsa), XrGpsdRelay::KEEP_RUNNING);

    // Drained: the pending line goes out first, then whole lines.
    const std::string drained = output();
    EXPECT_EQ(drained.find_first_not_of('.'), std::string::npos);
    EXPECT_EQ(send(kGsa), XrGpsdRelay::KEEP_RUNNING);
    EXPECT_EQ(output(), kRmc + kGsa + kGsa);
}

TEST_F(GpsdRelayTest, TimingLineGoesToTheLogBeforeTheNextSentenceOncePerCall)
{
    relay(true);
    // One call, several reads (more than the buffer holds).
    const std::string first = kRmc.substr(50) + kGga + kGsa + kRmc;
    EXPECT_EQ(send(first), XrGpsdRelay::KEEP_RUNNING);
    EXPECT_EQ(send(kGga), XrGpsdRelay::KEEP_RUNNING);

    const std::string log = read_file(root.dir() + "/nmea");
    const std::regex timing("\\$PKSTT,[0-9]+\\.[0-9]{6}\\*[0-9A-F]{2}\r\n");
    const std::string stripped = std::regex_replace(log, timing, "");
    EXPECT_EQ(stripped, first + kGga);
    EXPECT_EQ(std::distance(std::sregex_iterator(log.begin(), log.end(), timing), std::sregex_iterator()), 2);
    // The first timing line follows the line end of the cut sentence.
    EXPECT_EQ(log.compare(0, kRmc.size() - 50 + 7, kRmc.substr(50) + "$PKSTT,"), 0) << log;
    EXPECT_EQ(output().find("PKSTT"), std::string::npos);
}

TEST_F(GpsdRelayTest, EndsWithTheStatusOfTheFailure)
{
    close(gpsd_fd);
    gpsd_fd = -1;
    EXPECT_EQ(relay().on_input(), 21);
    EXPECT_NE(debug_log().find("helper: GPSD input EOF\n"), std::string::npos);

    XrGpsdRelay unreadable(output_fd, output_fd, nmea_log, false, debug);
    EXPECT_EQ(unreadable.on_input(), 20);
    EXPECT_NE(debug_log().find("helper: I/O error occurred when reading GPSD: Bad file descriptor\n"),
              std::string::npos);
}

TEST_F(GpsdRelayTest, ClosedOutputIsAnOutputError)
{
    close(output_read_fd);
    output_read_fd = -1;
    EXPECT_EQ(send(kRmc), 22);
    EXPECT_NE(debug_log().find("helper: Output error: Broken pipe\n"), std::string::npos);
}

} // namespace
