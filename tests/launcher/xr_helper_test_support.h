// Child processes, pipes, waiting and sample sentences for the helper
// programs' tests.
#pragma once

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace xr_test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Waits until `done` answers true; false after the timeout.
inline bool wait_for(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s)
{
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

inline bool file_exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Both ends of a pipe, closed when it goes.
struct Pipe {
    int read_fd = -1;
    int write_fd = -1;
    Pipe()
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) == 0) {
            read_fd = fds[0];
            write_fd = fds[1];
        }
    }
    ~Pipe()
    {
        close_read();
        close_write();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    void close_read()
    {
        if (read_fd >= 0)
            close(read_fd);
        read_fd = -1;
    }
    void close_write()
    {
        if (write_fd >= 0)
            close(write_fd);
        write_fd = -1;
    }
};

// Appends what fd has to `text`, waiting until the deadline: 1 when data
// came, 0 at the end of the data, -1 after the deadline.
inline int read_some(int fd, std::string& text, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return -1;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = read(fd, buf, sizeof(buf));
        if (n <= 0)
            return 0;
        text.append(buf, static_cast<size_t>(n));
        return 1;
    }
}

// Reads fd into `text` until `done(text)`; false at the end of the data or
// after the time-out without it.
inline bool read_until(int fd, std::string& text, const std::function<bool(const std::string&)>& done,
                       std::chrono::milliseconds timeout = 10s)
{
    const auto deadline = Clock::now() + timeout;
    while (!done(text))
        if (read_some(fd, text, deadline) <= 0)
            return false;
    return true;
}

// Everything up to the end of the data; false after the time-out.
inline bool read_all(int fd, std::string& text, std::chrono::milliseconds timeout = 10s)
{
    const auto deadline = Clock::now() + timeout;
    int got;
    while ((got = read_some(fd, text, deadline)) > 0) {
    }
    return got == 0;
}

inline std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Sentences of a receiver.
const std::string kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
const std::string kGsa = "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n";

inline int count_lines(const std::string& text)
{
    int n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

// `argv` run so that it is killed when the test process ends, even when it
// crashes or is killed itself (for daemons that would run on).
inline std::vector<std::string> dies_with_test(std::vector<std::string> argv)
{
    argv.insert(argv.begin(), {"setpriv", "--pdeathsig", "KILL"});
    return argv;
}

// A started program. The destructor kills it if it still runs.
class Process {
public:
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    Process(Process&& o) noexcept : m_pid(o.m_pid) { o.m_pid = -1; }
    ~Process() { kill_now(); }

    // Starts argv[0] (searched in PATH) with argv; `env` entries
    // ("NAME=value") replace or add to this process's environment; in, out
    // and err replace descriptors 0, 1, 2 unless -1. own_group puts the
    // child into a new process group.
    bool start(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
               int in = -1, int out = -1, int err = -1, bool own_group = false)
    {
        // Later entries win over earlier ones and over the environment.
        auto name_of = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
        std::vector<std::string> envs;
        for (char** e = environ; *e != nullptr; ++e)
            envs.emplace_back(*e);
        for (const auto& entry : env) {
            const std::string name = name_of(entry);
            std::erase_if(envs, [&](const std::string& old) { return name_of(old) == name; });
            envs.push_back(entry);
        }
        std::vector<char*> args, envp;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        for (const auto& e : envs)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const int fds[3] = {in, out, err};
        for (int i = 0; i < 3; ++i)
            if (fds[i] >= 0)
                posix_spawn_file_actions_adddup2(&actions, fds[i], i);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        if (own_group) {
            posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
            posix_spawnattr_setpgroup(&attr, 0);
        }
        const int rc = posix_spawnp(&m_pid, args[0], &actions, &attr, args.data(), envp.data());
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0)
            m_pid = -1;
        return rc == 0;
    }

    // Runs a command to its end, its output dropped; true when it exits with 0.
    static bool run_ok(const std::vector<std::string>& argv)
    {
        const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
        Process p;
        const bool started = p.start(argv, {}, null, null, null);
        close(null);
        return started && p.exit_status() == 0;
    }

    pid_t pid() const { return m_pid; }
    bool running() const { return m_pid > 0; }

    // The wait status once it has ended, -1 after the time-out.
    int wait(std::chrono::milliseconds timeout = 10s)
    {
        int status = -1;
        const bool ended = wait_for([&] { return waitpid(m_pid, &status, WNOHANG) == m_pid; }, timeout);
        if (!ended)
            return -1;
        m_pid = -1;
        return status;
    }

    // The exit status, or -1 when it did not end by exit in time.
    int exit_status(std::chrono::milliseconds timeout = 10s)
    {
        const int status = wait(timeout);
        return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void signal(int sig) const
    {
        if (m_pid > 0)
            ::kill(m_pid, sig);
    }

    void kill_now()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        int status;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

} // namespace xr_test
