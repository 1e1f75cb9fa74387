#include "launcher/xr_helper_test_support.h"
#include "support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <netinet/in.h>
#include <pty.h>
#include <regex>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>

using namespace xr_test;

namespace {

const std::vector<std::string> kSentences = {kRmc, kGga, kGsa};

// Every line of `text` is one of the sentences, whole.
::testing::AssertionResult whole_sentences(const std::string& text)
{
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (std::find(kSentences.begin(), kSentences.end(), line + "\n") == kSentences.end())
            return ::testing::AssertionFailure() << "unexpected line '" << line << "' in\n" << text;
    }
    return ::testing::AssertionSuccess();
}

int free_tcp_port()
{
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    close(s);
    return ntohs(addr.sin_port);
}

bool can_connect_tcp(int port)
{
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
    close(s);
    return ok;
}

bool can_connect_unix(const std::string& path)
{
    const int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    path.copy(addr.sun_path, sizeof(addr.sun_path) - 1);
    const bool ok = connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
    close(s);
    return ok;
}

// A private D-Bus "system" bus on a socket in `dir`.
class PrivateBus {
public:
    explicit PrivateBus(const std::string& dir) : m_socket(dir + "/system_bus_socket")
    {
        const std::string config = dir + "/bus.conf";
        std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                                 " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                 "<busconfig>\n"
                                 "  <type>system</type>\n"
                                 "  <listen>unix:path=" << m_socket << "</listen>\n"
                                 "  <auth>EXTERNAL</auth>\n"
                                 "  <policy context=\"default\">\n"
                                 "    <allow user=\"*\"/>\n"
                                 "    <allow own=\"*\"/>\n"
                                 "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                                 "    <allow eavesdrop=\"true\"/>\n"
                                 "  </policy>\n"
                                 "</busconfig>\n";
        const int log = open((dir + "/bus.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        m_daemon.start(dies_with_test({"dbus-daemon", "--config-file=" + config, "--nofork", "--nopidfile",
                                       "--nosyslog"}),
                       {}, -1, log, log);
        close(log);
        wait_for([&] { return can_connect_unix(m_socket); });
    }

    std::string address() const { return "unix:path=" + m_socket; }

    // Runs dbus-send on the bus; its standard output.
    std::string send(const std::vector<std::string>& args) const
    {
        std::vector<std::string> argv{"dbus-send", "--system"};
        argv.insert(argv.end(), args.begin(), args.end());
        Pipe out;
        Process p;
        EXPECT_TRUE(p.start(argv, {"DBUS_SYSTEM_BUS_ADDRESS=" + address()}, -1, out.write_fd));
        out.close_write();
        std::string text;
        read_all(out.read_fd, text);
        EXPECT_EQ(p.exit_status(), 0);
        return text;
    }

    void status_changed(const std::string& value) const
    {
        send({"--type=signal", "/org/gpsd", "org.gpsd.status_changed", "string:gps", "double:" + value});
    }

    bool name_has_owner(const std::string& name) const
    {
        return send({"--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                     "org.freedesktop.DBus.NameHasOwner", "string:" + name})
                   .find("boolean true") != std::string::npos;
    }

private:
    std::string m_socket;
    Process m_daemon;
};

// gpsd on a private loopback port, reading a receiver on a pty that sends
// the sentences every 100 ms. Its shared memory stays in a namespace of its
// own where the machine allows one.
class Gpsd {
public:
    Gpsd(const std::string& dir, const std::string& bus_address) : m_port(free_tcp_port())
    {
        if (openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0)
            return;
        fcntl(m_master, F_SETFD, FD_CLOEXEC);
        fcntl(m_slave, F_SETFD, FD_CLOEXEC);
        termios tio;
        tcgetattr(m_slave, &tio);
        cfmakeraw(&tio);
        tcsetattr(m_slave, TCSANOW, &tio);
        const std::string device = ttyname(m_slave);
        m_feeder = std::thread([this] { feed(); });

        static const bool ipc_namespace = Process::run_ok({"unshare", "--ipc", "true"});
        std::vector<std::string> argv;
        if (ipc_namespace)
            argv = {"unshare", "--ipc"};
        m_shm_key = ipc_namespace ? 0 : 0x58520000 + (getpid() & 0xffff);
        const std::vector<std::string> gpsd = {"gpsd", "-N", "-n", "-b", "-p", "-S", std::to_string(m_port), device};
        argv.insert(argv.end(), gpsd.begin(), gpsd.end());
        const int log = open((dir + "/gpsd.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        m_daemon.start(dies_with_test(argv),
                       {"DBUS_SYSTEM_BUS_ADDRESS=" + bus_address, "GPSD_SHM_KEY=" + std::to_string(m_shm_key)},
                       -1, log, log);
        close(log);
        m_ready = wait_for([&] { return can_connect_tcp(m_port); });
    }

    ~Gpsd()
    {
        stop();
        m_feeding = false;
        if (m_feeder.joinable())
            m_feeder.join();
        if (m_master >= 0)
            close(m_master);
        if (m_slave >= 0)
            close(m_slave);
    }

    bool ready() const { return m_ready; }
    int port() const { return m_port; }

    void stop()
    {
        m_daemon.signal(SIGTERM);
        if (m_daemon.running() && m_daemon.wait(5s) < 0)
            m_daemon.kill_now();
        if (m_shm_key != 0)
            remove_shared_memory();
    }

private:
    void feed()
    {
        const int flags = fcntl(m_master, F_GETFL);
        fcntl(m_master, F_SETFL, flags | O_NONBLOCK);
        char dropped[256];
        while (m_feeding) {
            for (const auto& s : kSentences) {
                const ssize_t n = write(m_master, s.data(), s.size());
                (void)n;
            }
            // Whatever gpsd sends to the receiver is dropped.
            while (read(m_master, dropped, sizeof(dropped)) > 0) {
            }
            std::this_thread::sleep_for(100ms);
        }
    }

    // gpsd's segments (its own key, and the time service's "NTP0".."NTP7"),
    // once nobody has them attached.
    void remove_shared_memory() const
    {
        std::vector<key_t> keys{static_cast<key_t>(m_shm_key)};
        for (key_t k = 0x4e545030; k <= 0x4e545037; ++k)
            keys.push_back(k);
        for (key_t k : keys) {
            const int id = shmget(k, 0, 0);
            shmid_ds ds;
            if (id >= 0 && shmctl(id, IPC_STAT, &ds) == 0 && ds.shm_nattch == 0)
                shmctl(id, IPC_RMID, nullptr);
        }
    }

    int m_port;
    int m_master = -1;
    int m_slave = -1;
    int m_shm_key = 0;
    std::atomic<bool> m_feeding{true};
    std::thread m_feeder;
    Process m_daemon;
    bool m_ready = false;
};

// A server on a loopback port that takes one connection, reads the client's
// request and answers it with `reply` (nothing when empty) before it hangs up.
class OneReplyServer {
public:
    explicit OneReplyServer(const std::string& reply)
    {
        m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(addr);
        if (bind(m_listener, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(m_listener, 1) != 0 ||
            getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return;
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this, reply] {
            pollfd p{m_listener, POLLIN, 0};
            if (poll(&p, 1, 10000) <= 0)
                return;
            const int client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                return;
            std::string request;
            read_until(client, request, [](const std::string& r) { return !r.empty(); });
            if (!reply.empty()) {
                const ssize_t n = write(client, reply.data(), reply.size());
                (void)n;
            }
            close(client);
        });
    }

    ~OneReplyServer()
    {
        if (m_thread.joinable())
            m_thread.join();
        close(m_listener);
    }

    int port() const { return m_port; }

private:
    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
};

class GpsdHelperTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = root.make_dirs("/tmp");
        bus = std::make_unique<PrivateBus>(dir);
    }

    void insert_card()
    {
        root.make_dirs("/media/mmc1/kestrova-logs/debug");
    }

    // Starts the helper; its standard output is `output`.
    void start_helper(int port, const std::vector<std::string>& env = {})
    {
        std::vector<std::string> all{"DBUS_SYSTEM_BUS_ADDRESS=" + bus->address(),
                                     "KESTROVA_GPSD_PORT=" + std::to_string(port)};
        all.insert(all.end(), env.begin(), env.end());
        ASSERT_TRUE(helper.start({XR_GPSD_HELPER_PROGRAM}, all, -1, output.write_fd));
        output.close_write();
    }

    // Starts gpsd and the helper on it, and reads the helper's first lines.
    void run_on_gpsd(int lines)
    {
        gpsd = std::make_unique<Gpsd>(dir, bus->address());
        ASSERT_TRUE(gpsd->ready());
        start_helper(gpsd->port());
        ASSERT_TRUE(read_lines(lines)) << text;
    }

    // Reads the helper's output until it holds `lines` lines.
    bool read_lines(int lines)
    {
        return read_until(output.read_fd, text, [&](const std::string& t) { return count_lines(t) >= lines; });
    }

    // The name of the one log in `folder` that starts with `prefix`, or "".
    std::string log_name(const std::string& folder, const std::string& prefix) const
    {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(root.dir() + folder, ec))
            if (e.is_regular_file() && e.path().filename().string().rfind(prefix, 0) == 0)
                return e.path().filename().string();
        return std::string();
    }

    // The content of that log.
    std::string log_file(const std::string& folder, const std::string& prefix) const
    {
        const std::string name = log_name(folder, prefix);
        return name.empty() ? std::string() : read_file(root.dir() + folder + "/" + name);
    }

    std::string nmea_log() const { return log_file("/media/mmc1/kestrova-logs", "nmea-"); }
    std::string debug_log() const { return log_file("/media/mmc1/kestrova-logs/debug", "gpsd-"); }

    XrTempRoot root;
    std::string dir;
    std::unique_ptr<PrivateBus> bus;
    std::unique_ptr<Gpsd> gpsd;
    Pipe output;
    Process helper;
    std::string text;
};

TEST_F(GpsdHelperTest, WritesWholeSentencesUntilGpsdReportsTheReceiverGone)
{
    insert_card();
    ASSERT_NO_FATAL_FAILURE(run_on_gpsd(3));
    EXPECT_TRUE(bus->name_has_owner("com.kestrovatech.gpsd-helper"));

    // Only a status_changed of gpsd's interface with the value 0 ends it.
    bus->status_changed("1.0");
    bus->send({"--type=signal", "/org/gpsd", "org.gpsd.status_changed", "string:gps", "int32:0"});
    bus->send({"--type=signal", "/org/gpsd", "org.example.status_changed", "string:gps", "double:0"});
    const int seen = count_lines(text);
    ASSERT_TRUE(read_lines(seen + 3)) << text;
    ASSERT_TRUE(helper.running());
    const pid_t pid = helper.pid();
    bus->status_changed("0.0");
    EXPECT_EQ(helper.exit_status(), 0);

    read_all(output.read_fd, text);
    EXPECT_TRUE(whole_sentences(text));
    const std::string debug = debug_log();
    EXPECT_NE(debug.find("kestrova-gpsd-helper: status_changed: gps=1.000000\n"), std::string::npos) << debug;
    EXPECT_NE(debug.find("kestrova-gpsd-helper: status_changed: gps=0.000000\n"
                         "kestrova-gpsd-helper: GPSD disconnected\n"),
              std::string::npos)
        << debug;
    EXPECT_NE(debug.find("kestrova-gpsd-helper:   interface:   org.gpsd\n"), std::string::npos);
    EXPECT_NE(debug.find("kestrova-gpsd-helper: D-BUS error: org.freedesktop.DBus.Error.InvalidArgs / "),
              std::string::npos)
        << debug;
    EXPECT_EQ(debug.find("org.example"), std::string::npos) << debug;
    // Both logs are named by the start time and the process id.
    const std::string numbers = "-([0-9]+)-" + std::to_string(pid);
    const std::string nmea_name = log_name("/media/mmc1/kestrova-logs", "nmea-");
    const std::string debug_name = log_name("/media/mmc1/kestrova-logs/debug", "gpsd-");
    std::smatch nmea_match, debug_match;
    ASSERT_TRUE(std::regex_match(nmea_name, nmea_match, std::regex("nmea" + numbers))) << nmea_name;
    ASSERT_TRUE(std::regex_match(debug_name, debug_match, std::regex("gpsd" + numbers))) << debug_name;
    EXPECT_EQ(nmea_match[1], debug_match[1]);
    EXPECT_LE(std::abs(std::stol(nmea_match[1]) - static_cast<long>(time(nullptr))), 60);
    // The log holds every byte read: the output's lines, then perhaps a part line.
    const std::string nmea = nmea_log();
    EXPECT_EQ(nmea.compare(0, text.size(), text), 0) << nmea;
    EXPECT_EQ(nmea.find("PKSTT"), std::string::npos);
}

TEST_F(GpsdHelperTest, TimingLinesGoToTheNmeaLogOnly)
{
    insert_card();
    root.write_file("/media/mmc1/kestrova_rd_mode/nmea_timing", "");
    ASSERT_NO_FATAL_FAILURE(run_on_gpsd(6));
    bus->status_changed("0");
    EXPECT_EQ(helper.exit_status(), 0);
    read_all(output.read_fd, text);
    EXPECT_TRUE(whole_sentences(text));

    const std::string nmea = nmea_log();
    const std::regex timing("\\$PKSTT,([0-9]+\\.[0-9]{6})\\*([0-9A-F]{2})\r\n");
    int lines = 0;
    for (auto it = std::sregex_iterator(nmea.begin(), nmea.end(), timing); it != std::sregex_iterator(); ++it) {
        unsigned sum = 0;
        for (char c : "PKSTT," + (*it)[1].str())
            sum ^= static_cast<unsigned char>(c);
        EXPECT_EQ(std::stoul((*it)[2].str(), nullptr, 16), sum);
        // Each stands before a sentence.
        EXPECT_EQ(nmea[static_cast<size_t>(it->position() + it->length())], '$');
        ++lines;
    }
    EXPECT_GE(lines, 1);
    const std::string stripped = std::regex_replace(nmea, timing, "");
    EXPECT_EQ(stripped.compare(0, text.size(), text), 0) << nmea;
}

TEST_F(GpsdHelperTest, FailedStartsEndWithTheirStatus)
{
    insert_card();
    const struct {
        std::vector<std::string> env;
        int status;
        std::string log;
    } cases[] = {
        {{"KESTROVA_GPSBT_START=cancel"}, 42,
         "kestrova-gpsd-helper: Failed to start GPSBT: Receiver selection cancelled, ret=-1, "
         "errno=Operation canceled(125)\n"
         "kestrova-gpsd-helper: Got dialog cancel errno 125: exiting with magic value 42\n"},
        {{"KESTROVA_GPSBT_START=nodata"}, 42, "Got dialog cancel errno 61: exiting with magic value 42\n"},
        {{"KESTROVA_GPSBT_START=No adapter"}, 14,
         "kestrova-gpsd-helper: Failed to start GPSBT: No adapter, ret=-1, errno=Input/output error(5)\n"},
        {{"DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + dir + "/no-bus"}, 12,
         "kestrova-gpsd-helper: Failed to initialize D-BUS connection\n"
         "kestrova-gpsd-helper: D-BUS error: org.freedesktop.DBus.Error."},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(root.dir() + "/media/mmc1/kestrova-logs/debug");
        insert_card();
        Pipe out;
        Process p;
        std::vector<std::string> env{"DBUS_SYSTEM_BUS_ADDRESS=" + bus->address()};
        env.insert(env.end(), c.env.begin(), c.env.end());
        ASSERT_TRUE(p.start({XR_GPSD_HELPER_PROGRAM}, env, -1, out.write_fd));
        EXPECT_EQ(p.exit_status(), c.status) << c.log;
        EXPECT_NE(debug_log().find(c.log), std::string::npos) << debug_log();
    }
}

TEST_F(GpsdHelperTest, RawModeRefusedEndsWith0)
{
    insert_card();
    // gpsd's answer to a request it does not take, and a hang-up.
    for (const std::string reply : {"{\"class\":\"ERROR\",\"message\":\"Unrecognized request\"}\r\n", ""}) {
        std::filesystem::remove_all(root.dir() + "/media/mmc1/kestrova-logs/debug");
        insert_card();
        OneReplyServer server(reply);
        ASSERT_NE(server.port(), 0);
        Pipe out;
        Process p;
        ASSERT_TRUE(p.start({XR_GPSD_HELPER_PROGRAM},
                            {"DBUS_SYSTEM_BUS_ADDRESS=" + bus->address(),
                             "KESTROVA_GPSD_PORT=" + std::to_string(server.port())},
                            -1, out.write_fd));
        EXPECT_EQ(p.exit_status(), 0) << reply;
        EXPECT_NE(debug_log().find("kestrova-gpsd-helper: Failed to set GPSD into raw mode\n"), std::string::npos)
            << debug_log();
    }
}

TEST_F(GpsdHelperTest, OutputThatCannotBeMadeNonBlockingEndsWith10)
{
    insert_card();
    Process p;
    ASSERT_TRUE(p.start({"sh", "-c", "exec \"$0\" >&-", XR_GPSD_HELPER_PROGRAM},
                        {"DBUS_SYSTEM_BUS_ADDRESS=" + bus->address()}));
    EXPECT_EQ(p.exit_status(), 10);
    // It ends before the logs are opened.
    EXPECT_EQ(log_name("/media/mmc1/kestrova-logs", "nmea-"), "");
    EXPECT_EQ(log_name("/media/mmc1/kestrova-logs/debug", "gpsd-"), "");
}

TEST_F(GpsdHelperTest, NoGpsdAfterThreeAttemptsEndsWith15)
{
    insert_card();
    start_helper(free_tcp_port());
    EXPECT_EQ(helper.exit_status(8s), 15);
    EXPECT_NE(debug_log().find("Failed to connect to GPSD: retries=3, errno=Connection refused(111)\n"),
              std::string::npos)
        << debug_log();
}

TEST_F(GpsdHelperTest, WorksWithoutCardAndEndsWith21WhenGpsdGoes)
{
    ASSERT_NO_FATAL_FAILURE(run_on_gpsd(3));
    gpsd->stop();
    EXPECT_EQ(helper.exit_status(), 21);
    read_all(output.read_fd, text);
    EXPECT_TRUE(whole_sentences(text));
    EXPECT_FALSE(file_exists(root.dir() + "/media"));
}

TEST_F(GpsdHelperTest, ClosedOutputEndsWith22)
{
    insert_card();
    ASSERT_NO_FATAL_FAILURE(run_on_gpsd(1));
    output.close_read();
    EXPECT_EQ(helper.exit_status(), 22);
    EXPECT_NE(debug_log().find("kestrova-gpsd-helper: Output error: Broken pipe\n"), std::string::npos);
}

} // namespace
