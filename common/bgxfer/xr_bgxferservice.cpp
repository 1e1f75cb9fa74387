#include "common/bgxfer/xr_bgxferimpl.h"
#include "common/config/xr_storageconfiguration.h"
#include "common/types/xr_datetime.h"
#include "common/storage/xr_storageaccessor.h"

#include <cstdlib>
#include <cwchar>
#include <new>

namespace {

int now_utc()
{
    XrDatetime t;
    t.set_now();
    return t.get_utc();
}

// The integer of a whole text of decimal digits; false for anything else.
bool parse_id(const XrString& text, int& out)
{
    const int n = text.length();
    if (n == 0 || n > 9)
        return false;
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const TCHAR c = text.char_at(i);
        if (c < L'0' || c > L'9')
            return false;
        v = v * 10 + static_cast<int>(c - L'0');
    }
    out = v;
    return true;
}

} // namespace

std::unique_ptr<XrConfiguration> xr_bgxfer_create_control(const XrString& path)
{
    XrStorageAccessor* accessor = create_storage_accessor(path);
    if (accessor == nullptr)
        return nullptr;
    auto config = std::unique_ptr<XrStorageConfiguration>(new (std::nothrow) XrStorageConfiguration(accessor, L""));
    if (config == nullptr) {
        delete accessor;
        return nullptr;
    }
    if (config->open(false) != XrConfiguration::OK || config->create_key(L"default") != XrConfiguration::OK ||
        config->open_key(L"\\default") != XrConfiguration::OK)
        return nullptr;
    return config;
}

std::unique_ptr<XrConfiguration> xr_bgxfer_open_control(const XrString& path)
{
    XrStorageAccessor* accessor = open_storage_accessor(path, true);
    if (accessor == nullptr)
        return nullptr;
    auto config = std::unique_ptr<XrStorageConfiguration>(new (std::nothrow) XrStorageConfiguration(accessor, L""));
    if (config == nullptr) {
        delete accessor;
        return nullptr;
    }
    if (config->open(true) != XrConfiguration::OK || config->open_key(L"\\default") != XrConfiguration::OK)
        return nullptr;
    return config;
}

unsigned xr_bgxfer_resume_offset(unsigned target_size)
{
    if (target_size == 0)
        return 0;
    return (target_size - 1) / XrBgxferJobImpl::buffer_size * XrBgxferJobImpl::buffer_size;
}

XrBgxferServiceImpl::XrBgxferServiceImpl(XrFsm* f, XrEventloopBase* l, const XrString& dir)
    : XrFsmThread(f, "BgxferService"), loop(l), directory(dir), slot_queue(f), stop_queue(f)
{
    activate();
}

XrBgxferServiceImpl::~XrBgxferServiceImpl()
{
    // Jobs still held (destroy before stop completed its work) are released.
    while (jobs.get_num_items() > 0) {
        XrBgxferJobImpl* job = jobs.get_item(0);
        jobs.remove_item(0);
        job->release();
    }
}

XrString XrBgxferServiceImpl::control_path(int id, const TCHAR* suffix) const
{
    XrString path;
    path.format(directory.length() + 64, L"%ls/%d_%ls", directory.c_str(), id, suffix);
    return path;
}

XrString XrBgxferServiceImpl::file_control_path(int id, int index, const TCHAR* suffix) const
{
    XrString path;
    path.format(directory.length() + 80, L"%ls/%d_file_%d_%ls", directory.c_str(), id, index, suffix);
    return path;
}

void XrBgxferServiceImpl::destroy()
{
    if (!stopping)
        std::abort(); // destroy() before stop()
    destroy_requested = true;
    if (stopped)
        delete this;
}

bool XrBgxferServiceImpl::init()
{
    if (!make_directories(directory + XrString("/")))
        return false;
    XrArray<int> found;
    const bool listed = for_each_folder_entry(directory, XrFileFinder::FILES, [&](const XrString& name) {
        const int cut = name.find(L"_");
        if (cut <= 0)
            return true;
        int id = 0;
        if (parse_id(XrString(name.c_str(), cut), id) && XrString(name.c_str_at(cut + 1)) == L"alloc")
            found.append(id);
        return true;
    });
    if (!listed)
        return false;
    for (int i = 0; i < found.get_num_items(); ++i) {
        int id = 0;
        found.get_item(i, id);
        auto* job = new (std::nothrow) XrBgxferJobImpl(this, id, 0);
        if (job == nullptr)
            return false;
        jobs.append(job);
        if (!job->load())
            delete_job(id);
    }
    return true;
}

void XrBgxferServiceImpl::set_proxy(const XrString& host, int port)
{
    proxy_host = host;
    proxy_port = port;
}

void XrBgxferServiceImpl::add_listener(XrBgxferListener* listener)
{
    listeners.append(listener);
}

void XrBgxferServiceImpl::remove_listener(XrBgxferListener* listener)
{
    while (listeners.remove(listener)) {
    }
}

XrBgxferJob* XrBgxferServiceImpl::create_job(int user_value)
{
    make_directories(directory + XrString("/"));
    const int now = now_utc();
    int id = 0;
    for (;; ++id) {
        XrFile probe;
        if (probe.open_existing(control_path(id, L"alloc"), true) != XrFile::OK)
            break;
    }
    const XrString alloc = control_path(id, L"alloc");
    auto config = xr_bgxfer_create_control(alloc);
    if (config == nullptr)
        return nullptr;
    XrBgxferJobImpl* job = nullptr;
    if (config->set_int(L"time", now) != XrConfiguration::OK || config->save() != XrConfiguration::OK ||
        (job = new (std::nothrow) XrBgxferJobImpl(this, id, user_value)) == nullptr || !jobs.append(job)) {
        delete job;
        config.reset();
        delete_file(alloc);
        return nullptr;
    }
    return job;
}

XrBgxferJob* XrBgxferServiceImpl::find_job(int id)
{
    for (int i = 0; i < jobs.get_num_items(); ++i)
        if (jobs.get_item(i)->get_id() == id)
            return jobs.get_item(i);
    return nullptr;
}

void XrBgxferServiceImpl::delete_control_files(int id)
{
    delete_file(control_path(id, L"alloc"));
    delete_file(control_path(id, L"start"));
    delete_file(control_path(id, L"done"));
    for (int k = 0;; ++k) {
        if (!delete_file(file_control_path(id, k, L"info")))
            break;
        delete_file(file_control_path(id, k, L"size"));
        delete_file(file_control_path(id, k, L"done"));
    }
}

bool XrBgxferServiceImpl::drop_job(int id)
{
    for (int i = 0; i < jobs.get_num_items(); ++i) {
        XrBgxferJobImpl* job = jobs.get_item(i);
        if (job->get_id() != id)
            continue;
        jobs.remove_item(i);
        delete_control_files(id);
        job->release();
        return true;
    }
    return false;
}

void XrBgxferServiceImpl::delete_job(int id)
{
    // The wake may run the scheduler and end (delete) the service: last.
    if (drop_job(id) && jobs.get_num_items() == 0)
        wake();
}

void XrBgxferServiceImpl::delete_all_jobs()
{
    if (jobs.get_num_items() == 0)
        return;
    while (jobs.get_num_items() > 0)
        drop_job(jobs.get_item(0)->get_id());
    wake();
}

void XrBgxferServiceImpl::job_thread_ended()
{
    --job_threads;
    // Called from a job's deletion, possibly inside one of the service's
    // own operations: the service runs later from the main loop, never here.
    if (thread_queue == &stop_queue) {
        stop_queue.remove(this);
        activate();
        post_immediate_callback(fsm, loop);
    }
}

void XrBgxferServiceImpl::stop()
{
    stopping = true;
    wake();
}

void XrBgxferServiceImpl::cancel_all()
{
    for (int i = 0; i < jobs.get_num_items(); ++i)
        jobs.get_item(i)->cancel();
}

void XrBgxferServiceImpl::get_progress(long long& received, long long& total) const
{
    received = 0;
    total = 0;
    for (int i = 0; i < jobs.get_num_items(); ++i) {
        long long r = 0, t = 0;
        jobs.get_item(i)->get_progress(r, t);
        received += r;
        if (t < 0 || total < 0)
            total = -1;
        else
            total += t;
    }
}

void XrBgxferServiceImpl::job_finished(XrBgxferJob* job)
{
    for (int i = 0; i < listeners.get_num_items(); ++i)
        listeners.get_item(i)->job_ended(job);
}

bool XrBgxferServiceImpl::take_slot()
{
    if (transfers >= max_transfers)
        return false;
    ++transfers;
    return true;
}

void XrBgxferServiceImpl::give_slot()
{
    if (transfers <= 0)
        std::abort(); // "transfer->num_transfers > 0"
    --transfers;
    slot_queue.wake_all();
}

void XrBgxferServiceImpl::wake()
{
    if (thread_queue == &stop_queue)
        stop_queue.wake_one();
}

XrFsmResult XrBgxferServiceImpl::step()
{
    if (!stopping) {
        stop_queue.add(this);
        return XR_FSM_SUSPEND;
    }
    cancel_all();
    // Released jobs still use the service (slots) until their threads end.
    if (jobs.get_num_items() > 0 || job_threads > 0) {
        stop_queue.add(this);
        return XR_FSM_SUSPEND;
    }
    for (int i = 0; i < listeners.get_num_items(); ++i)
        listeners.get_item(i)->service_stopped();
    return XR_FSM_FINISH;
}

void XrBgxferServiceImpl::finished()
{
    stopped = true;
    if (destroy_requested)
        delete this;
}
