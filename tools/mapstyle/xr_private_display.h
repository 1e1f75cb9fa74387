// An Xvfb of the program's own for drawing without a display: started on a
// free display number (DISPLAY is set to it), ended with the object.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

class XrPrivateDisplay {
public:
    XrPrivateDisplay() = default;
    XrPrivateDisplay(const XrPrivateDisplay&) = delete;
    XrPrivateDisplay& operator=(const XrPrivateDisplay&) = delete;
    ~XrPrivateDisplay()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }

    // Starts Xvfb unless DISPLAY is set; false when it cannot be started.
    bool ensure()
    {
        const char* display = std::getenv("DISPLAY");
        return (display != nullptr && *display != '\0') || start();
    }

private:
    bool start()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        pid = fork();
        if (pid < 0) {
            close(fds[0]);
            close(fds[1]);
            return false;
        }
        if (pid == 0) {
            close(fds[0]);
            // Xvfb reports every display number it finds taken while it looks
            // for a free one; a failed start shows as no number on the pipe.
            const int null_fd = open("/dev/null", O_WRONLY);
            if (null_fd >= 0) {
                dup2(null_fd, STDERR_FILENO);
                close(null_fd);
            }
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                   "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char buf[16] = {};
        ssize_t got = 0;
        while (got < static_cast<ssize_t>(sizeof buf) - 1) {
            const ssize_t n = read(fds[0], buf + got, sizeof buf - 1 - got);
            if (n <= 0)
                break;
            got += n;
            if (buf[got - 1] == '\n')
                break;
        }
        close(fds[0]);
        if (got <= 0 || buf[0] < '0' || buf[0] > '9')
            return false;
        std::string display(1, ':');
        display.append(buf, std::strcspn(buf, "\n"));
        setenv("DISPLAY", display.c_str(), 1);
        return true;
    }

    pid_t pid = -1;
};
