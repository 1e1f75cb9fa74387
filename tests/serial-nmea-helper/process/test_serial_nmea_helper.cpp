#include "launcher/xr_helper_test_support.h"
#include "support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <pty.h>
#include <regex>
#include <termios.h>

using namespace xr_test;

namespace {

// The helper on the slave side of a pty; the test is the receiver on the
// master side.
class SerialHelperTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.make_dirs("/media/mmc1/kestrova-logs");
        ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        // Only the helper's descriptor 0 may keep the line open.
        fcntl(master, F_SETFD, FD_CLOEXEC);
        fcntl(slave, F_SETFD, FD_CLOEXEC);
        termios tio;
        tcgetattr(slave, &tio);
        cfsetspeed(&tio, B9600);
        tcsetattr(slave, TCSANOW, &tio);
    }

    void TearDown() override
    {
        hang_up();
        if (slave >= 0)
            close(slave);
    }

    void start(const std::vector<std::string>& args = {})
    {
        std::vector<std::string> argv{XR_SERIAL_HELPER_PROGRAM};
        argv.insert(argv.end(), args.begin(), args.end());
        ASSERT_TRUE(helper.start(argv, {}, slave, output.write_fd));
        output.close_write();
        // Nothing is sent before the line is raw.
        ASSERT_TRUE(wait_for([&] {
            termios tio;
            return tcgetattr(slave, &tio) == 0 && (tio.c_lflag & ICANON) == 0;
        }));
    }

    // What the helper sent to the receiver, once `length` bytes have come.
    std::string received(size_t length)
    {
        std::string text;
        read_until(master, text, [&](const std::string& t) { return t.size() >= length; });
        return text;
    }

    // The receiver sends each piece in a read of its own.
    void send(const std::vector<std::string>& pieces)
    {
        for (const auto& p : pieces) {
            ASSERT_EQ(write(master, p.data(), p.size()), static_cast<ssize_t>(p.size()));
            tcdrain(master);
            std::this_thread::sleep_for(30ms);
        }
    }

    void hang_up()
    {
        if (master >= 0)
            close(master);
        master = -1;
    }

    // Everything the helper wrote to standard output, once it has ended.
    std::string all_output()
    {
        std::string text;
        read_all(output.read_fd, text);
        return text;
    }

    // The name of the NMEA log, or "".
    std::string nmea_log_name() const
    {
        for (const auto& e : std::filesystem::directory_iterator(root.dir() + "/media/mmc1/kestrova-logs"))
            if (e.path().filename().string().rfind("nmea-bt-", 0) == 0)
                return e.path().filename().string();
        return std::string();
    }

    std::string nmea_log() const
    {
        const std::string name = nmea_log_name();
        return name.empty() ? std::string() : read_file(root.dir() + "/media/mmc1/kestrova-logs/" + name);
    }

    XrTempRoot root;
    int master = -1;
    int slave = -1;
    Pipe output;
    Process helper;
};

TEST_F(SerialHelperTest, SendsItsArgumentsThenCopiesLinesUntilHangUp)
{
    const std::string command = "$PSRF103,00,00,01,01*25";
    start({command, "\r\n"});
    EXPECT_EQ(received(command.size() + 2), command + "\r\n");

    // Raw mode on the device's own settings: its speed stays.
    termios tio;
    ASSERT_EQ(tcgetattr(slave, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(tio.c_cc[VMIN], 1);

    send({kRmc, kGga, kGsa});
    hang_up();
    const pid_t pid = helper.pid();
    EXPECT_EQ(helper.exit_status(), 0);
    EXPECT_EQ(all_output(), kRmc + kGga + kGsa);
    EXPECT_EQ(nmea_log(), kRmc + kGga + kGsa);
    // The log is named by the start time and the process id.
    std::smatch name;
    const std::string file = nmea_log_name();
    ASSERT_TRUE(std::regex_match(file, name, std::regex("nmea-bt-([0-9]+)-" + std::to_string(pid)))) << file;
    EXPECT_LE(std::abs(std::stol(name[1]) - static_cast<long>(time(nullptr))), 60);
}

TEST_F(SerialHelperTest, ClosedOutputEndsItQuietly)
{
    start();
    output.close_read();
    send({kRmc});
    EXPECT_EQ(helper.exit_status(), 0);
}

TEST_F(SerialHelperTest, OutputThatCannotBeMadeNonBlockingEndsWith10)
{
    Process p;
    ASSERT_TRUE(p.start({"sh", "-c", "exec \"$0\" >&-", XR_SERIAL_HELPER_PROGRAM}, {}, slave));
    EXPECT_EQ(p.exit_status(), 10);
    EXPECT_EQ(nmea_log_name(), "");
}

TEST_F(SerialHelperTest, PartLineAtTheEndAndOverlongLinesAreDropped)
{
    start();
    const std::string overlong = "$GPTXT," + std::string(200, 'x') + "\r\n";
    send({kRmc.substr(0, 20), kRmc.substr(20), overlong, kGga, kGsa.substr(0, 12)});
    hang_up();
    EXPECT_EQ(helper.exit_status(), 0);
    EXPECT_EQ(all_output(), kRmc + kGga);
    EXPECT_EQ(nmea_log(), kRmc + overlong + kGga + kGsa.substr(0, 12));
}

TEST_F(SerialHelperTest, TimingLinesGoToTheLogBeforeEachReadsFirstSentence)
{
    root.write_file("/media/mmc1/kestrova_rd_mode/nmea_timing", "");
    start();
    send({kRmc.substr(0, 30), kRmc.substr(30) + kGga, kGsa});
    hang_up();
    EXPECT_EQ(helper.exit_status(), 0);
    EXPECT_EQ(all_output(), kRmc + kGga + kGsa);

    const std::string log = nmea_log();
    const std::regex timing("\\$PKSTT,[0-9]+\\.[0-9]{6}\\*[0-9A-F]{2}\r\n");
    EXPECT_EQ(std::regex_replace(log, timing, ""), kRmc + kGga + kGsa);
    // One before each read's first '$'; the second read has its '$' after
    // the line end of the first sentence.
    const std::regex shape("\\$PKSTT[^\n]*\n\\$GPRMC,123519,A,4807.0[^\n]*\n"
                           "\\$PKSTT[^\n]*\n\\$GPGGA[^\n]*\n"
                           "\\$PKSTT[^\n]*\n\\$GPGSA[^\n]*\n");
    EXPECT_TRUE(std::regex_match(log, shape)) << log;
}

TEST_F(SerialHelperTest, WithoutCardItWorksTheSame)
{
    std::filesystem::remove_all(root.dir() + "/media");
    start();
    send({kRmc, kGga});
    hang_up();
    EXPECT_EQ(helper.exit_status(), 0);
    EXPECT_EQ(all_output(), kRmc + kGga);
}

} // namespace
