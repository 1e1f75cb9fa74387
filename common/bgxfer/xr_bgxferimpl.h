// The background transfer service and its jobs.
#pragma once

#include "common/bgxfer/xr_bgxfer.h"
#include "common/container/xr_ptrarray.h"
#include "common/fsm/xr_fsm.h"
#include "common/os/xr_file.h"

#include <memory>

class XrConfiguration;
class XrBgxferServiceImpl;

struct XrBgxferFile {
    enum State : int { Pending = 0, Succeeded = 1, Failed = 2 };
    int state = Pending;
    XrString source;
    XrString target;
    int index = 0;
    int size = -1;      // expected, -1 when unknown
    long long received = 0;
};

class XrBgxferJobImpl final : public XrBgxferJob, public XrFsmThread, public XrBgxferHttpClient {
public:
    // The block a resumed file fetches again (the last, partial or whole).
    static constexpr unsigned buffer_size = 8192;
    // Received bytes are written out in pieces of this size.
    static constexpr unsigned write_size = 64 * 1024;

    XrBgxferJobImpl(XrBgxferServiceImpl* service, int id, int user_value);
    ~XrBgxferJobImpl() override;

    int get_user_value() const override { return user_value; }
    int get_status() const override { return status; }
    XrString get_error_message() const override { return error_message; }
    int get_id() const override { return id; }
    bool add_file(const XrString& source, const XrString& target, int size) override;
    void start() override;
    void cancel() override;
    int get_file_count() const override;
    void get_progress(long long& received, long long& total) const override;

    // Reads the job's control files; false when one it needs is missing or bad.
    bool load();
    // The service has dropped the job: deleted once its thread has ended.
    void release();

    XrFsmResult step() override;
    void finished() override;

    void data_received(const void* data, int length) override;
    void transfer_done() override;
    void transfer_failed() override;

private:
    enum class State { start, wait_slot, next_file, transferring, file_ended, file_failed, finish };

    void wake();
    bool flush();
    bool write_file_done(const XrBgxferFile& file, bool success);
    XrFsmResult st_next_file();
    XrFsmResult st_file_ended();
    XrFsmResult st_file_failed();
    XrFsmResult st_finish();

    XrBgxferServiceImpl* service;
    int id;
    int user_value;
    int status = UnderConstruction;
    State state = State::start;
    XrFsmWaitQueue wait_queue;
    long long total = 0;
    long long received = 0;
    int start_time = 0;
    int end_time = 0;
    XrPtrArray<XrBgxferFile*> pending;
    XrPtrArray<XrBgxferFile*> finished_files;
    XrFile output;
    std::uint32_t offset = 0;
    XrBgxferHttp* transfer = nullptr;
    std::unique_ptr<BYTE[]> buffer;
    unsigned buffered = 0;
    bool transfer_ok = false;
    bool writes_ok = false;
    bool transfer_ended = false;
    bool holds_slot = false;
    bool released = false;
    bool thread_done = false;
    XrString error_message;
};

class XrBgxferServiceImpl final : public XrBgxferService, public XrFsmThread {
public:
    static constexpr int max_transfers = 5;

    XrBgxferServiceImpl(XrFsm* fsm, XrEventloopBase* loop, const XrString& directory);

    void destroy() override;
    bool init() override;
    void set_proxy(const XrString& host, int port) override;
    void add_listener(XrBgxferListener* listener) override;
    void remove_listener(XrBgxferListener* listener) override;
    XrBgxferJob* create_job(int user_value) override;
    XrBgxferJob* find_job(int id) override;
    int get_job_count() const override { return jobs.get_num_items(); }
    XrBgxferJob* get_job(int index) override { return jobs.get_item(index); }
    void delete_job(int id) override;
    void delete_all_jobs() override;
    void stop() override;
    void cancel_all() override;
    void get_progress(long long& received, long long& total) const override;

    XrFsmResult step() override;
    void finished() override;

    // For the jobs.
    void job_finished(XrBgxferJob* job);
    XrString control_path(int id, const TCHAR* suffix) const;
    XrString file_control_path(int id, int index, const TCHAR* suffix) const;
    XrFsm* get_scheduler() const { return fsm; }
    XrEventloopBase* get_loop() const { return loop; }
    void get_proxy(XrString& host, int& port) const
    {
        host = proxy_host;
        port = proxy_port;
    }
    bool take_slot();
    void give_slot();
    XrFsmWaitQueue& get_slot_queue() { return slot_queue; }
    // A job thread begins or ends (the job object goes).
    void job_thread_started() { ++job_threads; }
    void job_thread_ended();

private:
    ~XrBgxferServiceImpl() override;
    void delete_control_files(int id);
    bool drop_job(int id);
    void wake();

    XrEventloopBase* loop;
    XrString directory;
    XrString proxy_host;
    int proxy_port = 0;
    int transfers = 0;
    int job_threads = 0;
    XrFsmWaitQueue slot_queue;
    XrPtrArray<XrBgxferListener*> listeners;
    XrPtrArray<XrBgxferJobImpl*> jobs;
    XrFsmWaitQueue stop_queue;
    bool stopping = false;
    bool stopped = false;
    bool destroy_requested = false;
};

// A control file: a configuration whose key "\default" is current. Created
// (the key must not exist yet) or opened for reading; null on any failure.
std::unique_ptr<XrConfiguration> xr_bgxfer_create_control(const XrString& path);
std::unique_ptr<XrConfiguration> xr_bgxfer_open_control(const XrString& path);
