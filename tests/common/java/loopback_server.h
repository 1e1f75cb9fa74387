// A loopback server process of the binding tests (Python's http.server),
// started with a port file and ended with the object.
#pragma once

#include <chrono>
#include <csignal>
#include <fstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

class LoopbackServer {
public:
    // args: the command; the last one is the port file it writes.
    explicit LoopbackServer(std::vector<std::string> args, const std::string& port_file)
    {
        pid = fork();
        if (pid == 0) {
            // Ends with the test even when the test dies: an orphan would
            // hold the test's output open and ctest would wait for it.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        for (int i = 0; i < 200 && port == 0; ++i) {
            std::ifstream in(port_file);
            in >> port;
            if (port == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~LoopbackServer()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }
    int port = 0;

private:
    pid_t pid = -1;
};
