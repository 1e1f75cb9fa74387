// launcher: runs the main program as its only child, passes SIGTERM on to
// it and starts it again, with the same arguments, whenever it ends with the
// restart status 42.

#include "common/base/xr_root.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int RESTART_STATUS = 42;
constexpr int EXEC_FAILED_STATUS = 2;

// The current child; 0 while there is none (before the first fork, after a
// failed one, and once a child has ended).
volatile sig_atomic_t g_child_pid = 0;

void on_sigterm(int sig)
{
    const pid_t pid = g_child_pid;
    if (pid > 0)
        kill(pid, sig);
}

void set_sigterm_blocked(bool blocked)
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigprocmask(blocked ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

// Reads the errno that a child whose execv failed sent through the
// close-on-exec pipe; 0 when the program was executed.
int read_exec_error(int fd)
{
    int err = 0;
    for (;;) {
        const ssize_t n = read(fd, &err, sizeof(err));
        if (n < 0 && errno == EINTR)
            continue;
        return n == static_cast<ssize_t>(sizeof(err)) ? err : 0;
    }
}

// Waits for the child to end; false with errno set when waiting fails. The
// child is first waited for without being reaped: until it is, its id cannot
// pass to another process, so a SIGTERM forwarded meanwhile reaches only it.
bool wait_for_child(pid_t pid, int& status)
{
    siginfo_t info;
    int rc;
    while ((rc = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT)) < 0 && errno == EINTR) {
    }
    if (rc < 0)
        return false;
    set_sigterm_blocked(true);
    g_child_pid = 0;
    pid_t waited;
    while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    const int err = errno;
    set_sigterm_blocked(false);
    errno = err;
    return waited == pid;
}

[[noreturn]] void run_child(const std::string& program, char** argv, int error_fd)
{
    signal(SIGTERM, SIG_DFL);
    set_sigterm_blocked(false);
    execv(program.c_str(), argv);
    const int err = errno;
    ssize_t ignored = write(error_fd, &err, sizeof(err));
    (void)ignored;
    _exit(EXEC_FAILED_STATUS);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string program = XrRoot::path("/usr/libexec/kestrova-navigator");

    // The main program gets our arguments; only the first is replaced.
    std::vector<char*> child_argv;
    child_argv.push_back(const_cast<char*>(program.c_str()));
    for (int i = 1; i < argc; ++i)
        child_argv.push_back(argv[i]);
    child_argv.push_back(nullptr);

    signal(SIGTERM, on_sigterm);

    for (;;) {
        int error_pipe[2];
        if (pipe2(error_pipe, O_CLOEXEC) != 0) {
            std::fprintf(stderr, "fork failed: %s\n", std::strerror(errno));
            return 1;
        }

        // SIGTERM waits until the new child's id is stored.
        set_sigterm_blocked(true);
        const pid_t pid = fork();
        if (pid == 0) {
            close(error_pipe[0]);
            run_child(program, child_argv.data(), error_pipe[1]);
        }
        const int fork_errno = errno;
        g_child_pid = pid > 0 ? pid : 0;
        set_sigterm_blocked(false);
        close(error_pipe[1]);

        if (pid < 0) {
            close(error_pipe[0]);
            std::fprintf(stderr, "fork failed: %s\n", std::strerror(fork_errno));
            return 1;
        }

        const int exec_error = read_exec_error(error_pipe[0]);
        close(error_pipe[0]);

        int status = 0;
        if (!wait_for_child(pid, status)) {
            std::fprintf(stderr, "waitpid failed: %s\n", std::strerror(errno));
            return 0;
        }

        if (exec_error != 0) {
            std::fprintf(stderr, "exec failed: %s: %s\n", program.c_str(), std::strerror(exec_error));
            return EXEC_FAILED_STATUS;
        }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != RESTART_STATUS)
            return 0;
    }
}
