#include "common/bgxfer/xr_updatemanager.h"

#include "common/ber/xr_propertybag.h"
#include "common/bgxfer/xr_bgxfer.h"
#include "common/fsm/xr_fsm.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_eventloopbase.h"
#include "common/os/xr_file.h"
#include "common/os/xr_system.h"
#include "common/storage/xr_storageaccessor.h"
#include "common/update/xr_listdownloads.h"
#include "common/update/xr_updatefiles.h"
#include "common/update/xr_updatemanagerlistener.h"
#include "common/update/xr_updateplatformhooks.h"
#include "common/update/xr_updaterpcclient.h"
#include "common/update/xr_versionfile.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

XrMaemoUpdateParams::XrMaemoUpdateParams()
{
    const TCHAR* root = find_map_card_root();
    // Without a card there is no working folder: the update cannot run.
    if (root != nullptr && root[0] != 0) {
        work_dir = XrString(root);
        if (work_dir.char_at(work_dir.length() - 1) != L'/')
            work_dir += L"/";
        work_dir += XrString("kestrova/update/");
    }
}

bool xr_update_card_page_url(const XrString& host, int port, const char* page, const XrString& cookie,
                             XrString& url)
{
    XrByteArray escaped;
    for (int i = 0; i < cookie.length(); ++i)
        if (!XrRpcCall::encode_char(escaped, cookie.char_at(i) & 0xff))
            return false;
    XrString text;
    text.format(300, L"http://%ls:%d/update/%ls?cookie=", host.c_str(), port, XrString(page).c_str());
    text.append(reinterpret_cast<const char*>(escaped.get_items()), escaped.get_num_items());
    if (text.length() > XrUpdateRpcClient::max_url)
        return false;
    url = text;
    return true;
}

namespace {

// Keeps the private scheduler, and whatever still runs on it, alive after
// the manager was deleted: the transfer service stopping with its released
// jobs and their HTTP requests, the RPC client ending its call. The
// scheduler goes only once no thread of it is left, then the reaper itself.
class Reaper : public XrEventHandler, public XrBgxferListener {
public:
    Reaper(XrEventloopBase* l, XrFsm* f, XrBgxferService* s, XrRpcCall* c) : loop(l), fsm(f), service(s), call(c)
    {
        if (service != nullptr) {
            service->add_listener(this);
            service->delete_all_jobs();
            service->stop(); // may report service_stopped at once
        }
        // The manager being deleted is still a thread of the scheduler:
        // the first look comes from the main loop.
        loop->add_timeout(0, 0, this, nullptr);
    }
    void service_stopped() override
    {
        service->remove_listener(this);
        service->destroy();
        service = nullptr;
    }
    void job_ended(XrBgxferJob* job) override
    {
        if (service != nullptr)
            service->delete_job(job->get_id());
    }
    void execute(XrEventloopBase*, void*) override { check(); }

private:
    void check()
    {
        fsm->run();
        if (service == nullptr && fsm->get_thread_count() == 0 && !fsm->is_running()) {
            delete call;
            delete fsm;
            delete this;
            return;
        }
        // A part that never ends is left alive rather than freed under it.
        if (++rounds < 1200)
            loop->add_timeout(0, 50, this, nullptr);
    }

    XrEventloopBase* loop;
    XrFsm* fsm;
    XrBgxferService* service;
    XrRpcCall* call;
    int rounds = 0;
};

struct FileInfo {
    XrString name, md5, diff;
    int type = 1;
    std::int32_t size = 0, stored = 0, diff_size = 0;
};

struct ComponentInfo {
    XrString id, second, folder;
    std::int32_t version[4] = {0, 0, 0, 0};
    std::int32_t flags = 0;
    int files = 0;
};

class XrUpdateManagerImpl : public XrUpdateManager,
                            public XrFsmThread,
                            public XrFsmListener,
                            public XrUpdateRpcListener,
                            public XrEventHandler,
                            public XrBgxferListener {
public:
    XrUpdateManagerImpl(XrEventloopBase* l, XrUpdateParamsBase* p)
        : XrFsmThread(new XrFsm, "UpdateManager"), loop(l), params(p), wait_queue(fsm)
    {
        fsm->set_idle_listener(this);
        rpc = new XrUpdateRpcClient(fsm, loop);
        rpc->set_listener(this);
        lists = std::make_unique<XrListDownloads>(fsm, loop, *rpc);
        download_list_path = params->work_dir + "download_list.ber";
        state = &XrUpdateManagerImpl::st_cleanup;
        activate();
        fsm->run();
    }

    ~XrUpdateManagerImpl() override
    {
        lists.reset();
        loop->remove_timeout(this, nullptr);
        if (timer_pending)
            timer_pending = false;
        delete list_bag;
        if (thread_queue != nullptr)
            thread_queue->remove(this);
        if (transfers != nullptr)
            transfers->remove_listener(this);
        // The call in flight stays with the client until it ends.
        XrRpcCall* in_flight = request;
        request = nullptr;
        rpc->set_listener(nullptr);
        rpc->quit();
        XrFsm* scheduler = fsm;
        scheduler->set_idle_listener(nullptr);
        XrBgxferService* service = transfers;
        transfers = nullptr;
        new Reaper(loop, scheduler, service, in_flight);
    }

    void set_server(const XrString& host, int port) override { rpc->set_server(host, port); }
    void set_proxy(const XrString& host, int port) override
    {
        rpc->set_proxy(host, port);
        proxy_host = host;
        proxy_port = port;
    }
    void set_listener(XrUpdateManagerListener* l) override
    {
        listener = l;
        lists->set_listener(l);
    }
    void use_download_list(const XrString& path) override { restore_list_path = path; }
    bool start() override
    {
        if (start_requested)
            return false;
        start_requested = true;
        wake();
        return true;
    }
    void cancel() override
    {
        cancel_requested = true;
        wake();
    }
    bool is_running() const override { return start_requested && !done; }
    void download_list(int kind, const XrString& file) override { lists->download_list(kind, file); }
    void download_component_files(const XrString& guid, const XrString& file) override
    {
        lists->download_component_files(guid, file);
    }
    void cancel_list_download() override { lists->cancel_list_download(); }
    bool is_downloading_list() const override { return lists->is_downloading(); }

    XrFsmResult step() override { return (this->*state)(); }
    void finished() override { done = true; }
    void fsm_idle() override
    {
        if (done && !finish_reported) {
            finish_reported = true;
            // Without a listener the update just ends; the program goes on.
            if (listener != nullptr)
                listener->on_finished();
        }
    }
    void rpc_done(bool ok, XrRpcCall*) override
    {
        rpc_ok = ok;
        thread_async_callback();
    }
    void execute(XrEventloopBase*, void*) override
    {
        timer_pending = false;
        wake();
    }
    void cancelled(XrEventloopBase*, void*) override { timer_pending = false; }
    void job_ended(XrBgxferJob* job) override
    {
        const int status = job->get_status();
        if (status != XrBgxferJob::Completed) {
            ++failed_jobs;
            if (status != XrBgxferJob::Cancelled) {
                XrString text;
                text.format(400, L"Download job %u failed: status=%u, error=%ls", unsigned(job->get_id()),
                            unsigned(status), job->get_error_message().c_str());
                report_status(text);
            }
        }
        if (pending_jobs > 0)
            --pending_jobs;
        wake();
        if (transfers != nullptr)
            transfers->delete_job(job->get_id());
    }
    void service_stopped() override
    {
        transfers->remove_listener(this);
        transfers->destroy();
        transfers = nullptr;
        wake();
    }

private:
    typedef XrFsmResult (XrUpdateManagerImpl::*State)();

    void wake()
    {
        if (thread_queue == &wait_queue)
            wait_queue.wake_one();
    }
    XrFsmResult park()
    {
        wait_queue.add(this);
        return XR_FSM_SUSPEND;
    }
    XrFsmResult go(State next)
    {
        state = next;
        return XR_FSM_CONTINUE;
    }
    void arm_timer(int seconds, int ms)
    {
        if (loop->add_timeout(seconds, ms, this, nullptr))
            timer_pending = true;
    }
    void drop_timer()
    {
        loop->remove_timeout(this, nullptr);
        timer_pending = false;
    }
    void report_status(const XrString& text)
    {
        if (listener != nullptr)
            listener->on_status(text);
    }
    void report_error(const XrString& text)
    {
        if (listener != nullptr)
            listener->on_error(text);
    }
    void progress(const char* stage, long long done_, long long total)
    {
        if (listener == nullptr)
            return;
        // Byte counts beyond 32 bits are scaled so that the ratio stays.
        while (total > 0xffffffffLL || done_ > 0xffffffffLL) {
            done_ >>= 10;
            total >>= 10;
        }
        listener->on_progress(XrString(stage), unsigned(done_ < 0 ? 0 : done_), unsigned(total < 0 ? 0 : total));
    }
    // Sends the request; the step then waits for rpc_done.
    XrFsmResult call(XrRpcCall* c, State next)
    {
        delete request;
        request = c;
        state = next;
        set_in_async_call(true);
        thread_async_wait = true;
        rpc->call(c);
        return take_wait_result();
    }
    bool reply_int(const char* key, unsigned& value) { return request->get_reply_unsigned(key, value); }
    bool reply_text(const char* key, XrString& value)
    {
        const BYTE* bytes = nullptr;
        int length = 0;
        if (!request->get_reply_value(key, bytes, length))
            return false;
        value.assign_latin1(reinterpret_cast<const char*>(bytes), length);
        return true;
    }
    void end_request()
    {
        delete request;
        request = nullptr;
    }
    // Everything below the working folder except the transfer jobs and
    // their half-written targets, which resume.
    void clear_work_dir() { remove_directory_tree(params->work_dir); }

    XrFsmResult st_cleanup()
    {
        const XrString stale = hooks.stale_file_path();
        if (!stale.is_empty() && get_file_size(stale) >= 0)
            delete_file(stale);
        return go(&XrUpdateManagerImpl::st_wait_start);
    }
    XrFsmResult st_wait_start()
    {
        if (!start_requested)
            return park();
        // The working folder stays: its transfer jobs resume.
        delete_file(download_list_path);
        transfers = XrBgxferService::create(fsm, loop, params->work_dir + "bgxfer/");
        if (transfers == nullptr || !make_directories(params->work_dir + "bgxfer/") || !transfers->init()) {
            report_status(XrString("Failed to start the transfer service."));
            return go(&XrUpdateManagerImpl::st_failed);
        }
        transfers->add_listener(this);
        if (!proxy_host.is_empty())
            transfers->set_proxy(proxy_host, proxy_port);
        if (!restore_list_path.is_empty()) {
            if (!make_directories(download_list_path) || !copy_file(restore_list_path, download_list_path))
                return go(&XrUpdateManagerImpl::st_failed);
            return go(&XrUpdateManagerImpl::st_start_file_download);
        }
        return go(&XrUpdateManagerImpl::st_report_version);
    }
    XrFsmResult st_report_version()
    {
        auto* c = new XrRpcCall(XrString("/rpc/report_version"));
        c->add_text_param("version", params->version);
        return call(c, &XrUpdateManagerImpl::st_report_version_done);
    }
    static bool decimal(const XrString& text, unsigned long long& value)
    {
        if (text.is_empty() || text.length() > 18)
            return false;
        value = 0;
        for (int i = 0; i < text.length(); ++i) {
            const TCHAR c = text.char_at(i);
            if (c < L'0' || c > L'9')
                return false;
            value = value * 10 + unsigned(c - L'0');
        }
        return true;
    }
    XrFsmResult st_report_version_done()
    {
        if (!rpc_ok) {
            end_request();
            if (listener != nullptr)
                listener->on_message(XrString("Failed to contact update server."));
            return go(&XrUpdateManagerImpl::st_failed);
        }
        XrString server;
        const bool has = reply_text("version", server);
        end_request();
        if (!has)
            return go(&XrUpdateManagerImpl::st_failed);
        unsigned long long ours = 0, theirs = 0;
        // A program without a version (or a server version that is no
        // number) never takes the installer road.
        if (decimal(params->version, ours) && decimal(server, theirs) && theirs > ours) {
            installer_update = true;
            report_status(XrString("Downloading installer update."));
            return go(&XrUpdateManagerImpl::st_get_download_list);
        }
        return go(&XrUpdateManagerImpl::st_session_create);
    }
    XrFsmResult st_session_create()
    {
        return call(new XrRpcCall(XrString("/rpc/session_create")), &XrUpdateManagerImpl::st_session_created);
    }
    XrFsmResult st_session_created()
    {
        XrString value;
        const bool ok = rpc_ok && reply_text("cookie", value) && !value.is_empty() && value.length() < 257;
        end_request();
        if (!ok)
            return go(&XrUpdateManagerImpl::st_failed);
        cookie = value;
        return go(&XrUpdateManagerImpl::st_wait_card);
    }
    XrFsmResult st_wait_card()
    {
        if (timer_pending)
            return park();
        if (cancel_requested)
            return go(&XrUpdateManagerImpl::st_cancelled);
        if (++card_rounds > xr_update_max_card_rounds) {
            report_status(XrString("No memory card was chosen."));
            return go(&XrUpdateManagerImpl::st_failed);
        }
        drive_letter = 0;
        hooks.scan_removable_drives();
        auto* c = new XrRpcCall(XrString("/rpc/report_mmcs"));
        c->add_int_param("bps", step_budget);
        c->add_string_param("removable_drives", "");
        c->add_text_param("cookie", cookie);
        return call(c, &XrUpdateManagerImpl::st_report_mmcs_done);
    }
    XrFsmResult st_report_mmcs_done()
    {
        unsigned cancel_flag = 0;
        XrString drive;
        const bool ok = rpc_ok;
        if (ok) {
            reply_int("cancel", cancel_flag);
            reply_text("mmc_drive", drive);
        }
        end_request();
        if (!ok)
            return go(&XrUpdateManagerImpl::st_failed);
        if (cancel_flag != 0)
            return go(&XrUpdateManagerImpl::st_cancelled);
        if (drive.length() == 1 && hooks.confirm_drive(char(drive.char_at(0)))) {
            drive_letter = char(drive.char_at(0));
            return go(&XrUpdateManagerImpl::st_mmc_info);
        }
        if (!browser_opened) {
            XrString url;
            if (!xr_update_card_page_url(server_host(), server_port(), "mmc_query", cookie, url) ||
                !open_url_in_browser(url))
                return go(&XrUpdateManagerImpl::st_failed);
            browser_opened = true;
        }
        arm_timer(1, 0);
        return go(&XrUpdateManagerImpl::st_wait_card);
    }
    XrString server_host() const
    {
        XrString host;
        int port = 0;
        rpc->get_server(host, port);
        return host;
    }
    int server_port() const
    {
        XrString host;
        int port = 0;
        rpc->get_server(host, port);
        return port;
    }
    XrFsmResult st_mmc_info()
    {
        auto* c = new XrRpcCall(XrString("/rpc/mmc_info"));
        c->add_text_param("cookie", cookie);
        c->add_unsigned_param("bps", step_budget);
        return call(c, &XrUpdateManagerImpl::st_mmc_info_done);
    }
    XrFsmResult st_mmc_info_done()
    {
        unsigned cancel_flag = 0;
        const bool ok = rpc_ok;
        if (ok)
            reply_int("cancel", cancel_flag);
        end_request();
        if (!ok)
            return go(&XrUpdateManagerImpl::st_failed);
        return go(cancel_flag != 0 ? &XrUpdateManagerImpl::st_cancelled : &XrUpdateManagerImpl::st_get_server_command);
    }
    XrFsmResult st_get_server_command()
    {
        if (timer_pending)
            return park();
        auto* c = new XrRpcCall(XrString("/rpc/get_server_command"));
        c->add_text_param("cookie", cookie);
        return call(c, &XrUpdateManagerImpl::st_server_command_done);
    }
    XrFsmResult st_server_command_done()
    {
        unsigned cancel_flag = 0;
        XrString command, message;
        const bool ok = rpc_ok;
        bool has_command = false;
        if (ok) {
            reply_int("cancel", cancel_flag);
            has_command = reply_text("client_command", command);
            reply_text("message", message);
        }
        end_request();
        if (!ok)
            return go(&XrUpdateManagerImpl::st_failed);
        if (cancel_requested)
            return go(&XrUpdateManagerImpl::st_cancelled);
        if (cancel_flag != 0 || command == L"cancel" || command == L"abort")
            return go(&XrUpdateManagerImpl::st_cancelled);
        if (has_command && command == L"reselect_mmc")
            return go(&XrUpdateManagerImpl::st_wait_card);
        if (has_command && command == L"poll_download_list")
            return go(&XrUpdateManagerImpl::st_poll_download_list);
        arm_timer(5, 0);
        return go(&XrUpdateManagerImpl::st_get_server_command);
    }
    XrFsmResult st_poll_download_list()
    {
        if (timer_pending)
            return park();
        auto* c = new XrRpcCall(XrString("/rpc/poll_download_list"));
        c->add_text_param("cookie", cookie);
        return call(c, &XrUpdateManagerImpl::st_poll_done);
    }
    XrFsmResult st_poll_done()
    {
        unsigned cancel_flag = 0, ready = 0;
        XrString status;
        const bool ok = rpc_ok;
        if (ok) {
            reply_int("cancel", cancel_flag);
            reply_int("download_list", ready);
            reply_text("status", status);
        }
        end_request();
        if (!ok)
            return go(&XrUpdateManagerImpl::st_failed);
        if (status == L"A" || cancel_flag != 0 || cancel_requested)
            return go(&XrUpdateManagerImpl::st_cancelled);
        if (ready == 0) {
            arm_timer(2, 0);
            return go(&XrUpdateManagerImpl::st_poll_download_list);
        }
        return go(&XrUpdateManagerImpl::st_get_download_list);
    }
    XrFsmResult st_get_download_list()
    {
        report_status(XrString("Getting download list."));
        pending_jobs = failed_jobs = 0;
        XrBgxferJob* job = transfers->create_job(0);
        if (job == nullptr)
            return go(&XrUpdateManagerImpl::st_failed);
        XrString url;
        if (installer_update) {
            url.format(300, L"http://%ls:%d/rpc/get_newest_client", server_host().c_str(), server_port());
        } else {
            XrByteArray escaped;
            for (int i = 0; i < cookie.length(); ++i)
                XrRpcCall::encode_char(escaped, cookie.char_at(i) & 0xff);
            url.format(300, L"http://%ls:%d/rpc/get_download_list?cookie=", server_host().c_str(), server_port());
            url.append(reinterpret_cast<const char*>(escaped.get_items()), escaped.get_num_items());
        }
        if (!job->add_file(url, download_list_path, -1)) {
            job->cancel();
            return go(&XrUpdateManagerImpl::st_failed);
        }
        ++pending_jobs;
        job->start();
        return go(&XrUpdateManagerImpl::st_wait_download_list);
    }
    XrFsmResult st_wait_download_list()
    {
        if (pending_jobs != 0)
            return park();
        return go(failed_jobs != 0 ? &XrUpdateManagerImpl::st_failed : &XrUpdateManagerImpl::st_start_file_download);
    }

    // ---- the download list and its components ----

    bool load_list()
    {
        delete list_bag;
        list_bag = new XrPropertyBag;
        std::unique_ptr<XrStorageAccessor> in(create_storage_accessor(XrString("file://") + download_list_path));
        return in != nullptr && list_bag->decode(in.get()) == XrPropertyBag::OK;
    }
    bool load_component(int index, ComponentInfo& info, XrPropertyBag*& bag)
    {
        if (list_bag->get_bag(1, index, bag) != XrPropertyBag::OK)
            return false;
        if (bag->get_string(2, 0, info.id) != XrPropertyBag::OK || !xr_update_name_is_safe(info.id))
            return false;
        bag->get_string(3, 0, info.second);
        for (int k = 0; k < 4; ++k)
            if (bag->get_int(4 + k, 0, info.version[k]) != XrPropertyBag::OK)
                return false;
        if (bag->get_int(10, 0, info.flags) != XrPropertyBag::OK)
            return false;
        info.folder.clear();
        if (bag->get_string(9, 0, info.folder) == XrPropertyBag::OK) {
            if (!xr_update_name_is_safe(info.folder, true))
                return false;
        }
        info.files = bag->get_value_count(8);
        return true;
    }
    bool load_file(XrPropertyBag* component, int index, FileInfo& f)
    {
        XrPropertyBag* bag = nullptr;
        if (component->get_bag(8, index, bag) != XrPropertyBag::OK)
            return false;
        if (bag->get_string(1, 0, f.name) != XrPropertyBag::OK || !xr_update_name_is_safe(f.name) ||
            bag->get_string(2, 0, f.md5) != XrPropertyBag::OK || bag->get_int(3, 0, f.size) != XrPropertyBag::OK ||
            f.size < 0)
            return false;
        if (bag->get_int(4, 0, f.stored) != XrPropertyBag::OK)
            f.stored = f.size;
        std::int32_t type = 1;
        if (bag->get_int(5, 0, type) != XrPropertyBag::OK)
            type = 1;
        f.type = type;
        f.diff.clear();
        f.diff_size = 0;
        if (bag->get_string(6, 0, f.diff) == XrPropertyBag::OK) {
            if (!xr_update_name_is_safe(f.diff) || bag->get_int(7, 0, f.diff_size) != XrPropertyBag::OK)
                return false;
        }
        return true;
    }
    XrString version_text(const ComponentInfo& c) const
    {
        XrString v;
        v.format(64, L"%d.%d.%d.%d", c.version[0], c.version[1], c.version[2], c.version[3]);
        return v;
    }
    XrString target(const ComponentInfo& c, bool compressed, const XrString& name) const
    {
        return params->work_dir + "target/" + c.id + (compressed ? "/+z/" : "/") + name;
    }
    bool queue_component(int index)
    {
        ComponentInfo c;
        XrPropertyBag* bag = nullptr;
        if (!load_component(index, c, bag))
            return false;
        XrBgxferJob* job = transfers->create_job(index);
        if (job == nullptr)
            return false;
        for (int i = 0; i < c.files; ++i) {
            FileInfo f;
            if (!load_file(bag, i, f)) {
                job->cancel();
                return false;
            }
            ++construct_total;
            if (f.type == 2) {
                install_total += 1024;
                continue;
            }
            if (f.type == 4) {
                construct_total += f.size;
                continue;
            }
            if (f.type != 1 && f.type != 3 && f.type != 5) {
                job->cancel();
                return false;
            }
            install_total += f.size;
            XrString url, local;
            int expected = 0;
            if (f.diff.is_empty()) {
                const bool packed = f.stored < f.size;
                url.format(600, L"http://%ls:%d/components/%ls/%ls%ls/", server_host().c_str(), server_port(),
                           c.id.c_str(), version_text(c).c_str(), packed ? L"/%2Bz" : L"");
                url += f.name;
                local = target(c, packed, f.name);
                expected = packed ? f.stored : f.size;
            } else {
                construct_total += f.size;
                url.format(600, L"http://%ls:%d/", server_host().c_str(), server_port());
                url += f.diff;
                local = params->work_dir + "target/diffs/" + f.diff;
                expected = f.diff_size;
            }
            if (!make_directories(local) || !job->add_file(url, local, expected)) {
                job->cancel();
                return false;
            }
        }
        ++pending_jobs;
        job->start();
        return true;
    }
    XrFsmResult st_start_file_download()
    {
        report_status(XrString("Starting file download."));
        pending_jobs = failed_jobs = 0;
        if (!load_list())
            return go(&XrUpdateManagerImpl::st_failed);
        const int count = list_bag->get_value_count(1);
        construct_total = construct_done = install_total = install_done = 0;
        if (transfers->get_job_count() > 0) {
            // Jobs of an earlier run of this update resume where they stopped.
            pending_jobs = transfers->get_job_count();
            for (int i = 0; i < count; ++i) {
                ComponentInfo c;
                XrPropertyBag* bag = nullptr;
                if (!load_component(i, c, bag))
                    return go(&XrUpdateManagerImpl::st_failed);
            }
        } else {
            for (int i = 0; i < count; ++i)
                if (!queue_component(i))
                    return go(&XrUpdateManagerImpl::st_failed);
        }
        arm_timer(0, 500);
        report_status(XrString("Downloading files."));
        return go(&XrUpdateManagerImpl::st_download);
    }
    XrFsmResult st_download()
    {
        long long received = 0, total = 0;
        if (cancel_requested) {
            transfers->cancel_all();
            transfers->stop();
            return go(&XrUpdateManagerImpl::st_download_cancelled);
        }
        if (pending_jobs == 0) {
            transfers->get_progress(received, total);
            progress("download", received, total);
            transfers->delete_all_jobs();
            drop_timer();
            return go(failed_jobs != 0 ? &XrUpdateManagerImpl::st_failed : &XrUpdateManagerImpl::st_construct);
        }
        if (!timer_pending) {
            transfers->get_progress(received, total);
            progress("download", received, total);
            arm_timer(0, download_report_ms);
        }
        return park();
    }

    // ---- construction: differences applied against the installed files ----

    XrString card_base() const
    {
        const TCHAR* root = find_map_card_root();
        XrString base = root != nullptr ? XrString(root) : XrString();
        if (!base.is_empty() && base.char_at(base.length() - 1) != L'/')
            base += L"/";
        return base;
    }
    XrString installed_path(const ComponentInfo& c, const FileInfo& f) const
    {
        XrString out;
        if (!xr_update_join(card_base(), c.folder, f.name, out))
            return XrString();
        return out;
    }
    XrFsmResult st_construct()
    {
        report_status(XrString("Constructing updates."));
        progress("construct", construct_done, construct_total);
        component_count = list_bag->get_value_count(1);
        component_index = 0;
        return go(&XrUpdateManagerImpl::st_construct_component);
    }
    XrFsmResult st_construct_component()
    {
        if (timer_pending)
            return park();
        if (cancel_requested)
            return go(&XrUpdateManagerImpl::st_cancelled);
        if (component_index >= component_count) {
            report_status(XrString("Updates constructed."));
            return go(&XrUpdateManagerImpl::st_install);
        }
        ComponentInfo c;
        XrPropertyBag* bag = nullptr;
        if (!load_component(component_index, c, bag))
            return construct_failed(XrString());
        for (int i = 0; i < c.files; ++i) {
            FileInfo f;
            if (!load_file(bag, i, f))
                return construct_failed(XrString());
            if ((f.type == 1 || f.type == 3 || f.type == 5) && !f.diff.is_empty()) {
                const XrString installed = installed_path(c, f);
                const XrUpdateFileResult r = xr_update_apply_difference(
                    installed, params->work_dir + "target/diffs/" + f.diff, target(c, false, f.name),
                    std::uint32_t(f.size), f.md5);
                if (r != XrUpdateFileResult::ok)
                    return construct_failed(f.name);
                construct_done += f.diff_size;
            }
            ++construct_done;
            progress("construct", construct_done, construct_total);
        }
        ++component_index;
        arm_timer(0, params->keep_downloads ? 10 : 0);
        return XR_FSM_CONTINUE;
    }
    XrFsmResult construct_failed(const XrString& name)
    {
        if (!name.is_empty()) {
            XrString text;
            text.format(400, L"Failed to construct file `%ls'", name.c_str());
            report_status(text);
        }
        report_error(XrString("Failed to construct components."));
        return go(&XrUpdateManagerImpl::st_failed);
    }

    // ---- installation ----

    XrFsmResult st_install()
    {
        report_status(XrString("Installing updates."));
        progress("install", install_done, install_total);
        component_index = 0;
        file_index = 0;
        return go(&XrUpdateManagerImpl::st_install_file);
    }
    // The installed folder of the component and the staging folder its
    // files are built in; false for a component without a folder (its
    // files go straight to the card).
    bool component_folders(const ComponentInfo& c, XrString& live, XrString& staging) const
    {
        if (c.folder.is_empty() || !xr_update_join(card_base(), XrString(), c.folder, live))
            return false;
        staging = xr_update_staging_path(live);
        return true;
    }
    XrString install_path(const ComponentInfo& c, const FileInfo& f) const
    {
        XrString live, staging, out;
        if (!component_folders(c, live, staging))
            return installed_path(c, f);
        if (!xr_update_join(staging, XrString(), f.name, out))
            return XrString();
        return out;
    }
    XrFsmResult install_failed(const XrString& text)
    {
        if (!staging_folder.is_empty()) {
            remove_directory_tree(staging_folder);
            staging_folder = XrString();
        }
        if (!text.is_empty())
            report_status(text);
        report_error(XrString("Failed to install components."));
        return go(&XrUpdateManagerImpl::st_failed);
    }
    XrFsmResult st_install_file()
    {
        if (timer_pending)
            return park();
        if (component_index >= component_count) {
            report_status(XrString("Update completed."));
            return go(&XrUpdateManagerImpl::st_completed);
        }
        ComponentInfo c;
        XrPropertyBag* bag = nullptr;
        if (!load_component(component_index, c, bag))
            return install_failed(XrString("Failed to get component information."));
        if (file_index == 0 && staging_folder.is_empty()) {
            XrString live, staging;
            if (component_folders(c, live, staging)) {
                if (!xr_update_stage_folder(live, staging))
                    return install_failed(XrString("Failed to prepare the component folder."));
                staging_folder = staging;
            }
        }
        if (file_index >= c.files)
            return register_component(c);
        FileInfo f;
        if (!load_file(bag, file_index, f))
            return install_failed(XrString("Failed to get file information."));
        ++file_index;
        XrString failure;
        failure.format(400, L"Failed to install file `%ls'", f.name.c_str());
        if (f.name.length() >= 7 && wide_strncmp(f.name.c_str(), L"system/", 7) == 0)
            return XR_FSM_CONTINUE;
        const XrString destination = install_path(c, f);
        if (destination.is_empty())
            return install_failed(failure);
        switch (f.type) {
        case 1:
        case 3:
        case 4:
        case 5: {
            const XrString whole = target(c, false, f.name), packed = target(c, true, f.name);
            const bool have_whole = get_file_size(whole) >= 0, have_packed = get_file_size(packed) >= 0;
            if (f.type == 4 && !have_whole && !have_packed)
                break;
            if (f.type == 5 && get_file_size(destination) >= 0)
                break;
            if (!have_whole && !have_packed)
                return install_failed(failure);
            const XrString& source = have_whole ? whole : packed;
            const XrUpdateFileResult r =
                xr_update_install_file(source, !have_whole, destination, std::uint32_t(f.size), f.md5, f.type != 5);
            if (!params->keep_downloads)
                delete_file(source);
            if (r != XrUpdateFileResult::ok) {
                XrString text;
                text.format(400, XrString(xr_update_file_result_text(r)).c_str(), f.name.c_str());
                report_status(text);
                return install_failed(failure);
            }
            install_done += f.size;
            break;
        }
        case 2:
            if (get_file_size(destination) >= 0 && !delete_file(destination)) {
                XrString text;
                text.format(400, L"Failed to delete file `%ls'.", f.name.c_str());
                return install_failed(text);
            }
            install_done += 1024;
            break;
        default: {
            XrString text;
            text.format(100, L"Unknown transform type %u", unsigned(f.type));
            return install_failed(text);
        }
        }
        progress("install", install_done, install_total);
        arm_timer(0, file_pause_ms);
        return XR_FSM_CONTINUE;
    }
    XrFsmResult register_component(const ComponentInfo& c)
    {
        XrString live, staging;
        if (component_folders(c, live, staging)) {
            if (!xr_update_commit_folder(live, staging))
                return install_failed(XrString("Failed to put the component folder in place."));
            staging_folder = XrString();
        }
        XrString path;
        const bool ok = (c.flags & 1) != 0 || register_version(c, path);
        if (!ok) {
            XrString text;
            text.format(400, L"Failed to register component `%ls'", c.id.c_str());
            report_status(text);
            return go(&XrUpdateManagerImpl::st_failed);
        }
        if ((c.flags & 2) != 0) {
            params->platform_restart();
            return go(&XrUpdateManagerImpl::st_completed);
        }
        ++component_index;
        file_index = 0;
        arm_timer(0, 2);
        return XR_FSM_CONTINUE;
    }
    bool register_version(const ComponentInfo& c, XrString& path)
    {
        path = card_base() + "versions/" + c.id;
        if ((c.flags & 4) != 0)
            return get_file_size(path) < 0 || delete_file(path);
        char text[512];
        std::string id;
        for (int i = 0; i < c.id.length(); ++i)
            id += char(c.id.char_at(i) & 0xff);
        const int n = std::snprintf(text, sizeof text, "Version: %d.%d.%d.%d\nGUID: %s\n", c.version[0],
                                    c.version[1], c.version[2], c.version[3], id.c_str());
        if (n <= 0 || n >= int(sizeof text) || !make_directories(path))
            return false;
        const XrString temp = xr_update_temp_path(path);
        if (!write_whole_file(temp, reinterpret_cast<const BYTE*>(text), n) || !rename_file(temp, path)) {
            delete_file(temp);
            return false;
        }
        sync_folder_of(path);
        return true;
    }
    XrFsmResult st_completed()
    {
        report_status(XrString("Update completed."));
        params->notify(XrString("Kestrova Update completed"), XrString("Your memory card is ready to use"));
        return go(&XrUpdateManagerImpl::st_finish);
    }
    XrFsmResult st_cancelled() { return go(&XrUpdateManagerImpl::st_stop_transfers); }
    XrFsmResult st_failed()
    {
        params->notify(XrString("Kestrova Update Failed"), XrString("Failed to install updates."));
        report_error(XrString("Kestrova Update Failed"));
        failed = true;
        return go(&XrUpdateManagerImpl::st_stop_transfers);
    }
    XrFsmResult st_download_cancelled()
    {
        if (transfers != nullptr)
            return park();
        clear_work_dir();
        return go(&XrUpdateManagerImpl::st_finish);
    }
    XrFsmResult st_stop_transfers()
    {
        if (transfers == nullptr)
            return go(&XrUpdateManagerImpl::st_finish);
        if (!stop_sent) {
            stop_sent = true;
            transfers->stop();
            transfers->delete_all_jobs();
        }
        return park();
    }
    XrFsmResult st_finish()
    {
        if (transfers != nullptr) {
            state = &XrUpdateManagerImpl::st_stop_transfers;
            return XR_FSM_CONTINUE;
        }
        // A failed download keeps its jobs and files for the next attempt
        // only when it was cut off; an ended update leaves nothing behind.
        clear_work_dir();
        return XR_FSM_FINISH;
    }

    static constexpr unsigned step_budget = 2097152;
    static constexpr int download_report_ms = 3000;
    static constexpr int file_pause_ms = 200;

    XrUpdateManagerListener* listener = nullptr;
    XrEventloopBase* loop;
    XrUpdateParamsBase* params;
    XrFsmWaitQueue wait_queue;
    State state;
    XrUpdateRpcClient* rpc = nullptr;
    XrRpcCall* request = nullptr;
    bool rpc_ok = false;
    XrBgxferService* transfers = nullptr;
    std::unique_ptr<XrListDownloads> lists;
    XrUpdatePlatformHooks hooks;
    XrPropertyBag* list_bag = nullptr;
    XrString download_list_path, restore_list_path, cookie, proxy_host;
    XrString staging_folder; // of the component being installed
    int proxy_port = 80;
    int pending_jobs = 0, failed_jobs = 0;
    long long construct_total = 0, construct_done = 0, install_total = 0, install_done = 0;
    int component_count = 0, component_index = 0, file_index = 0, card_rounds = 0;
    char drive_letter = 0;
    bool start_requested = false, cancel_requested = false, timer_pending = false, browser_opened = false;
    bool installer_update = false, done = false, finish_reported = false, stop_sent = false, failed = false;
};

} // namespace

XrUpdateManager* XrUpdateManager::create(XrEventloopBase* loop, XrUpdateParamsBase* params)
{
    if (loop == nullptr || params == nullptr || params->work_dir.is_empty())
        return nullptr;
    return new XrUpdateManagerImpl(loop, params);
}
