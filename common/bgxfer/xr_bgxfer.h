// Background transfers: jobs of files fetched over HTTP into target files,
// recorded in control files of one job directory so that a job survives a
// restart of the program and resumes its half-written files with Range
// requests. Everything runs as cooperative threads of one scheduler.
#pragma once

#include "common/container/xr_string.h"

class XrFsm;
class XrEventloopBase;
class XrBgxferJob;

// Told about the service and its jobs; both operations do nothing by default.
class XrBgxferListener {
public:
    virtual ~XrBgxferListener() = default;
    // The service has stopped and holds no job any more.
    virtual void service_stopped() {}
    // A job has reached status Completed, Failed or Cancelled (also a
    // finished job found again at start-up).
    virtual void job_ended(XrBgxferJob*) {}
};

class XrBgxferJob {
public:
    enum Status : int {
        UnderConstruction = 0, // files may be added
        Running = 1,           // queued or transferring
        Completed = 2,
        Failed = 3,
        Cancelled = 4,
    };

    virtual ~XrBgxferJob() = default;
    virtual int get_user_value() const = 0;
    virtual int get_status() const = 0;
    virtual XrString get_error_message() const = 0;
    virtual int get_id() const = 0;
    // Appends a file while the job is under construction (false otherwise);
    // a negative size means unknown.
    virtual bool add_file(const XrString& source, const XrString& target, int size) = 0;
    // Writes the job's control files and queues it; only once.
    virtual void start() = 0;
    // Cancels a job that has not ended.
    virtual void cancel() = 0;
    virtual int get_file_count() const = 0;
    // Bytes received and expected (-1 when a size is unknown).
    virtual void get_progress(long long& received, long long& total) const = 0;
};

class XrBgxferService {
public:
    // The service of the job directory on the scheduler; init() comes next.
    static XrBgxferService* create(XrFsm* fsm, XrEventloopBase* loop, const XrString& directory);

    // Only after stop(): the service deletes itself once it has stopped.
    virtual void destroy() = 0;
    // Creates the job directory and loads the jobs found in it; false when
    // the directory cannot be made or listed.
    virtual bool init() = 0;
    virtual void set_proxy(const XrString& host, int port) = 0;
    virtual void add_listener(XrBgxferListener* listener) = 0;
    virtual void remove_listener(XrBgxferListener* listener) = 0;
    virtual XrBgxferJob* create_job(int user_value) = 0;
    virtual XrBgxferJob* find_job(int id) = 0;
    virtual int get_job_count() const = 0;
    virtual XrBgxferJob* get_job(int index) = 0;
    // Drops the job and deletes its control files (its targets stay).
    virtual void delete_job(int id) = 0;
    virtual void delete_all_jobs() = 0;
    // Cancels every job; service_stopped follows once none is left.
    virtual void stop() = 0;
    virtual void cancel_all() = 0;
    // Sums over all jobs; total is -1 when any job's total is unknown.
    virtual void get_progress(long long& received, long long& total) const = 0;

protected:
    virtual ~XrBgxferService() = default;
};

// The receiver of one background HTTP transfer.
class XrBgxferHttpClient {
public:
    virtual ~XrBgxferHttpClient() = default;
    virtual void data_received(const void* data, int length) = 0;
    virtual void transfer_done() = 0;
    virtual void transfer_failed() = 0;
};

// One HTTP GET at a time, from a byte offset on, reused for later sources.
class XrBgxferHttp {
public:
    static XrBgxferHttp* create(XrFsm* fsm, XrEventloopBase* loop, const XrString& proxy_host, int proxy_port,
                                XrBgxferHttpClient* client);

    // Destroys the running request; its end reaches the client as a failure.
    virtual void cancel() = 0;
    // The owner is done: deleted once its thread has ended.
    virtual void release() = 0;
    // Fetches source from offset on ("Range: bytes=offset-" when offset > 0).
    virtual void start(const XrString& source, unsigned offset) = 0;

protected:
    virtual ~XrBgxferHttp() = default;
};

// Where a half-written target of the size resumes: the last block of 8192
// bytes (partial or whole) is fetched again.
unsigned xr_bgxfer_resume_offset(unsigned target_size);
