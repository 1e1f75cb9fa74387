#include "tools/mapgen/ogg_writer.h"

#include <cerrno>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

bool write_ogg_file(const std::string& path, const XrWavDef& def, int quality)
{
    const std::string source = path + ".source.wav";
    if (!write_wav_file(source, def))
        return false;
    const std::string q = std::to_string(quality);
    std::vector<std::string> args = {"oggenc", "-Q", "-q", q, "-o", path, source};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = -1;
    if (posix_spawnp(&pid, "oggenc", nullptr, nullptr, argv.data(), environ) == 0) {
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    unlink(source.c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
