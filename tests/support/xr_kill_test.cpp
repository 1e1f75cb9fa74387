#include "support/xr_kill_test.h"

#include "support/xr_temp_root.h"

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string describe(const std::string& content, bool exists)
{
    if (!exists)
        return "missing";
    std::string shown = content.substr(0, 40);
    return std::to_string(content.size()) + " bytes: \"" + shown + (content.size() > 40 ? "...\"" : "\"");
}

} // namespace

XrKillTestResult xr_kill_test(const std::string& path, const std::string& old_content,
                              const std::string& new_content, const std::function<void()>& reset,
                              const XrKillTestWriter& writer, const XrKillTestOptions& options)
{
    XrKillTestResult result;
    std::mt19937 random(options.seed);
    std::uniform_int_distribution<int> delay(0, options.max_delay_ms * 1000);
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.max_ms);
    while (result.kills < options.max_kills && std::chrono::steady_clock::now() < end) {
        reset();
        pid_t child = fork();
        if (child < 0) {
            result.faults.push_back("fork failed");
            break;
        }
        if (child == 0) {
            if (writer.setup)
                writer.setup();
            for (;;) {
                if (!writer.save())
                    _exit(2);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        kill(child, SIGKILL);
        int status = 0;
        while (waitpid(child, &status, 0) < 0) {
        }
        if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            ++result.kills;
        else
            ++result.saves_failed;
        if (writer.recover)
            writer.recover();
        struct stat st;
        bool exists = stat(path.c_str(), &st) == 0;
        std::string content = exists ? XrTempRoot::read_file(path) : std::string();
        if (!exists || (content != old_content && content != new_content))
            result.faults.push_back(describe(content, exists));
    }
    namespace fs = std::filesystem;
    fs::path file(path);
    std::string prefix = file.filename().string() + ".";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(file.parent_path(), ec)) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            ++result.leftovers;
    }
    return result;
}
