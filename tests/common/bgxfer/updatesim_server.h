// Runs tools/updatesim (the loopback update server) over a content folder
// for one test: started with its options, its port read back, its request
// log readable, stopped (SIGTERM, then SIGKILL) when the object goes.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

class UpdatesimServer {
public:
    UpdatesimServer(const std::string& content, const std::string& work, std::vector<std::string> options = {})
        : port_file(work + "/updatesim.port"), log_file(work + "/updatesim.log")
    {
        ::unlink(port_file.c_str());
        std::vector<std::string> args = {"python3", XR_TEST_SOURCE_DIR "/tools/updatesim/updatesim.py", content,
                                         "--port-file", port_file, "--log", log_file};
        args.insert(args.end(), options.begin(), options.end());
        pid = ::fork();
        if (pid == 0) {
            std::vector<char*> argv;
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execvp("python3", argv.data());
            ::_exit(127);
        }
        for (int i = 0; i < 200 && port_ == 0; ++i) {
            std::ifstream in(port_file);
            in >> port_;
            if (port_ == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
    }
    ~UpdatesimServer()
    {
        if (pid <= 0)
            return;
        ::kill(pid, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(pid, nullptr, WNOHANG) == pid)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    UpdatesimServer(const UpdatesimServer&) = delete;
    UpdatesimServer& operator=(const UpdatesimServer&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    // "METHOD PATH RANGE" lines, RANGE "-" when none was sent.
    std::vector<std::string> requests() const
    {
        std::vector<std::string> lines;
        std::ifstream in(log_file);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

private:
    std::string port_file;
    std::string log_file;
    pid_t pid = -1;
    int port_ = 0;
};
