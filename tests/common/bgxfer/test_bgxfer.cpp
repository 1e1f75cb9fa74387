// Background transfers against the loopback update server: whole files,
// resumption with Range after the process was killed, hostile answers, and
// the job control files.
#include "common/bgxfer/updatesim_server.h"
#include "common/bgxfer/xr_bgxfer.h"
#include "common/fsm/xr_fsm.h"
#include "common/os/main_loop_pump.h"
#include "common/os/xr_eventloop.h"
#include "common/os/xr_inet.h"
#include "platform/conic/conic.h"
#include "support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void write(const std::string& path, const std::string& bytes)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

XrString x(const std::string& s)
{
    return XrString(s.c_str());
}

std::string random_bytes(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(gen());
    return s;
}

class BgxferTest : public ::testing::Test, public XrBgxferListener {
protected:
    void SetUp() override
    {
        con_ic_standin_reset();
        unsetenv("http_proxy");
        content = root.make_dirs("/srv/content/");
        work = root.make_dirs("/media/mmc1/kestrova/update/");
        jobs_dir = work + "bgxfer";
        ASSERT_TRUE(XrInet::create_inet(&loop));
    }
    void TearDown() override
    {
        close_service();
        XrInet::destroy_inet();
        pump_pending();
        con_ic_standin_reset();
    }

    void job_ended(XrBgxferJob* job) override { ended.push_back({job->get_id(), job->get_status()}); }
    void service_stopped() override { stopped = true; }

    XrBgxferService* open_service()
    {
        service = XrBgxferService::create(&fsm, &loop, XrString(jobs_dir.c_str()));
        service->add_listener(this);
        EXPECT_TRUE(service->init());
        return service;
    }
    void close_service()
    {
        if (service == nullptr)
            return;
        // The owner deletes ended jobs; the service stops once none is left.
        service->stop();
        fsm.run();
        service->delete_all_jobs();
        EXPECT_TRUE(pump_until([&] { return stopped; }, 10000));
        service->destroy();
        service = nullptr;
        pump_pending();
    }
    // Runs until a job has ended; its status (-1 when none ended in time).
    int run_to_end(int limit_ms = 20000)
    {
        const size_t before = ended.size();
        fsm.run();
        if (!pump_until([&] { return ended.size() > before; }, limit_ms))
            return -1;
        return ended.back().second;
    }
    XrBgxferJob* job_of(const UpdatesimServer& server, const std::vector<std::pair<std::string, int>>& files)
    {
        XrBgxferJob* job = service->create_job(7);
        if (job == nullptr)
            return nullptr;
        for (const auto& [name, size] : files)
            EXPECT_TRUE(job->add_file(XrString(server.url("/files/" + name).c_str()),
                                      XrString((work + "target/" + name).c_str()), size));
        return job;
    }

    XrTempRoot root;
    std::string content, work, jobs_dir;
    XrEventLoop loop;
    XrFsm fsm;
    XrBgxferService* service = nullptr;
    std::vector<std::pair<int, int>> ended;
    bool stopped = false;
};

TEST(BgxferResume, OffsetRefetchesTheLastBlock)
{
    const struct {
        unsigned size, offset;
    } cases[] = {{0, 0}, {1, 0}, {8192, 0}, {8193, 8192}, {20000, 16384}, {16384, 8192}};
    for (const auto& c : cases)
        EXPECT_EQ(xr_bgxfer_resume_offset(c.size), c.offset) << c.size;
}

TEST_F(BgxferTest, JobFetchesEveryFileWholeAndRecordsItsEnd)
{
    const std::string big = random_bytes(300000, 1), small = "voice prompt";
    write(content + "map/roads.qt", big);
    write(content + "small.txt", small);
    UpdatesimServer server(content, root.dir());
    ASSERT_GT(server.port(), 0);
    open_service();
    XrBgxferJob* job = job_of(server, {{"map/roads.qt", static_cast<int>(big.size())}, {"small.txt", -1}});
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(job->get_id(), 0);
    job->start();
    EXPECT_FALSE(job->add_file(XrString("http://127.0.0.1/x"), XrString("/tmp/x"), 1));
    EXPECT_EQ(run_to_end(), XrBgxferJob::Completed);
    EXPECT_EQ(read(work + "target/map/roads.qt"), big);
    EXPECT_EQ(read(work + "target/small.txt"), small);
    long long received = 0, total = 0;
    service->get_progress(received, total);
    EXPECT_EQ(total, -1); // one size was unknown
    EXPECT_EQ(received, static_cast<long long>(big.size() + small.size()));
    for (const auto& line : server.requests())
        EXPECT_EQ(line.substr(line.rfind(' ')), " -") << line; // fresh files: no Range
    EXPECT_NE(read(jobs_dir + "/0_done").find("status=2"), std::string::npos) << read(jobs_dir + "/0_done");

    // A finished job is found again and reported once more; its end stays as it was.
    const std::string done_before = read(jobs_dir + "/0_done");
    // The next start of the program finds the job directory as it is now.
    fs::copy(jobs_dir, work + "saved", fs::copy_options::recursive);
    close_service();
    fs::remove_all(jobs_dir);
    fs::rename(work + "saved", jobs_dir);
    stopped = false;
    ended.clear();
    open_service();
    ASSERT_EQ(service->get_job_count(), 1);
    EXPECT_EQ(run_to_end(), XrBgxferJob::Completed);
    EXPECT_EQ(read(jobs_dir + "/0_done"), done_before);
    service->delete_job(5); // no such job: nothing changes
    EXPECT_EQ(service->get_job_count(), 1);
    service->delete_all_jobs();
    EXPECT_FALSE(fs::exists(jobs_dir + "/0_alloc"));
    EXPECT_FALSE(fs::exists(jobs_dir + "/0_file_1_info"));
    EXPECT_TRUE(fs::exists(work + "target/small.txt")); // targets are the owner's
}

TEST_F(BgxferTest, ComponentUrlsReachWholeAndCompressedFiles)
{
    // The update manager's URLs: "/components/ID/a.b.c.d[/%2Bz]/NAME".
    write(content + "components/map_b/1.2.0.3/roads.qt", "whole");
    write(content + "components/map_b/1.2.0.3/+z/roads.qt", "packed");
    UpdatesimServer server(content, root.dir());
    ASSERT_GT(server.port(), 0);
    open_service();
    XrBgxferJob* job = service->create_job(0);
    ASSERT_NE(job, nullptr);
    for (const char* suffix : {"", "/%2Bz"})
        ASSERT_TRUE(job->add_file(x(server.url(std::string("/components/map_b/1.2.0.3") + suffix + "/roads.qt")),
                                  x(work + "target/map_b" + (*suffix ? "/+z" : "") + "/roads.qt"), -1));
    job->start();
    EXPECT_EQ(run_to_end(), XrBgxferJob::Completed);
    EXPECT_EQ(read(work + "target/map_b/roads.qt"), "whole");
    EXPECT_EQ(read(work + "target/map_b/+z/roads.qt"), "packed");
}

TEST_F(BgxferTest, KilledTransfersResumeFromTheirOffsetsWithRange)
{
    const std::string big = random_bytes(3 * 1024 * 1024 + 1234, 2);
    write(content + "comp/big.bin", big);
    UpdatesimServer server(content, root.dir(), {"--chunk-delay", "0.01"});
    ASSERT_GT(server.port(), 0);
    const std::string target = work + "target/comp/big.bin";
    // Each child opens the service, makes the job when there is none, and
    // runs it; it is killed at a random moment, until one finishes.
    std::mt19937 gen(38);
    int kills = 0;
    bool child_finished = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (!child_finished && kills < 12 && std::chrono::steady_clock::now() < deadline) {
        const pid_t pid = fork();
        if (pid == 0) {
            open_service();
            if (service->get_job_count() == 0) {
                XrBgxferJob* job = job_of(server, {{"comp/big.bin", static_cast<int>(big.size())}});
                if (job == nullptr)
                    _exit(3);
                job->start();
            }
            _exit(run_to_end(30000) == XrBgxferJob::Completed ? 0 : 4);
        }
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(30, 250)(gen)));
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
            child_finished = true;
        } else {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ++kills;
        }
    }
    EXPECT_GT(kills, 2);
    open_service();
    ASSERT_EQ(service->get_job_count(), 1);
    EXPECT_EQ(run_to_end(), XrBgxferJob::Completed);
    EXPECT_TRUE(read(target) == big) << "target differs from the server's file";
    int resumed = 0;
    for (const auto& line : server.requests()) {
        const std::string range = line.substr(line.rfind(' ') + 1);
        if (range == "-")
            continue;
        ASSERT_EQ(range.rfind("bytes=", 0), 0u) << line;
        const long offset = std::stol(range.substr(6));
        EXPECT_EQ(offset % 8192, 0) << line;
        if (offset > 0)
            ++resumed;
    }
    EXPECT_GT(resumed, 0);
}

TEST_F(BgxferTest, HostileAnswersFailTheJob)
{
    const std::string body = random_bytes(200000, 3);
    write(content + "f.bin", body);
    const struct {
        const char* what;
        std::vector<std::string> options;
        std::string file;
        int size;
    } cases[] = {
        {"connection dropped mid-body", {"--drop-after", "70000"}, "f.bin", 200000},
        {"connection dropped at once", {"--drop-after", "0"}, "f.bin", 200000},
        {"endless body", {"--endless", "/files/endless"}, "endless", 100000},
        {"missing file", {}, "absent.bin", 10},
        {"fewer bytes than announced", {}, "f.bin", 300000},
        {"more bytes than announced", {}, "f.bin", 100000},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UpdatesimServer server(content, root.dir(), c.options);
        ASSERT_GT(server.port(), 0);
        jobs_dir = work + "bgxfer" + std::to_string(index++);
        open_service();
        XrBgxferJob* job = job_of(server, {{c.file, c.size}});
        ASSERT_NE(job, nullptr);
        job->start();
        EXPECT_EQ(run_to_end(), XrBgxferJob::Failed);
        EXPECT_EQ(job->get_error_message(), XrString("File HTTP transfer failed."));
        EXPECT_NE(read(jobs_dir + "/0_file_0_done").find("success=0"), std::string::npos);
        close_service();
        stopped = false;
        fs::remove(work + "target/" + c.file);
    }
}

TEST_F(BgxferTest, CancelEndsTheJobCancelled)
{
    write(content + "slow.bin", random_bytes(1 << 20, 4));
    UpdatesimServer server(content, root.dir(), {"--chunk-delay", "0.05"});
    open_service();
    XrBgxferJob* job = job_of(server, {{"slow.bin", 1 << 20}});
    ASSERT_NE(job, nullptr);
    job->start();
    fsm.run();
    pump_for(150);
    job->cancel();
    EXPECT_EQ(run_to_end(), XrBgxferJob::Cancelled);
}

TEST_F(BgxferTest, JobIdsAndIncompleteJobsOnDisk)
{
    // Only well-formed "N_alloc" names make jobs; a job lacking its start
    // file is deleted with its control files; new ids take the first free N.
    fs::create_directories(jobs_dir);
    for (const char* name : {"1_alloc", "3_alloc_x", "x_alloc", "4_start"})
        write(jobs_dir + "/" + name, "REGEDIT4\n\n[\\default]\n\"time\"=\"1\"\n");
    open_service();
    EXPECT_EQ(service->get_job_count(), 0);
    EXPECT_FALSE(fs::exists(jobs_dir + "/1_alloc"));
    EXPECT_TRUE(fs::exists(jobs_dir + "/3_alloc_x"));
    XrBgxferJob* a = service->create_job(1);
    XrBgxferJob* b = service->create_job(2);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->get_id(), 0);
    EXPECT_EQ(b->get_id(), 1);
    EXPECT_EQ(service->find_job(1), b);
    service->delete_job(0);
    EXPECT_EQ(service->create_job(3)->get_id(), 0);
}

} // namespace
