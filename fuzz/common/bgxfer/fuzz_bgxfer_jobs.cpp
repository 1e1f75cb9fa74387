// Job control files found in the job directory at start-up: the input is
// split at 0xFF bytes into the files of two jobs, the service loads them
// and then drops every job.
#include "common/bgxfer/xr_bgxfer.h"
#include "common/fsm/xr_fsm.h"
#include "common/os/xr_eventloop.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const char* const names[] = {"0_alloc",       "0_start",       "0_done",        "0_file_0_info", "0_file_0_done",
                             "0_file_1_info", "0_file_1_done", "1_alloc",       "1_start",       "1_file_0_info"};

const std::string& job_dir()
{
    static const std::string dir = [] {
        char templ[] = "/tmp/fuzz_bgxfer_XXXXXX";
        const char* made = mkdtemp(templ);
        if (made == nullptr)
            std::abort();
        return std::string(made) + "/jobs";
    }();
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    namespace fs = std::filesystem;
    const std::string& dir = job_dir();
    fs::remove_all(dir);
    fs::create_directories(dir);
    size_t start = 0;
    for (const char* name : names) {
        if (start > size)
            break;
        size_t end = start;
        while (end < size && data[end] != 0xFF)
            ++end;
        if (FILE* f = std::fopen((dir + "/" + name).c_str(), "wb")) {
            std::fwrite(data + start, 1, end - start, f);
            std::fclose(f);
        }
        start = end + 1;
    }
    XrEventLoop loop;
    XrFsm fsm;
    XrBgxferService* service = XrBgxferService::create(&fsm, &loop, XrString(dir.c_str()));
    if (service == nullptr)
        return 0;
    if (service->init()) {
        long long received = 0, total = 0;
        service->get_progress(received, total);
        for (int i = 0; i < service->get_job_count(); ++i)
            (void)service->get_job(i)->get_file_count();
    }
    service->delete_all_jobs();
    service->stop();
    fsm.run();
    service->destroy();
    return 0;
}
