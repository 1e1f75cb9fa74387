#include "common/bgxfer/xr_bgxferimpl.h"
#include "common/config/xr_configuration.h"
#include "common/types/xr_datetime.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

int now_utc()
{
    XrDatetime t;
    t.set_now();
    return t.get_utc();
}

} // namespace

XrBgxferJobImpl::XrBgxferJobImpl(XrBgxferServiceImpl* s, int i, int u)
    : XrFsmThread(s->get_scheduler(), "BgxferJob"), service(s), id(i), user_value(u), wait_queue(s->get_scheduler()), buffer(new BYTE[write_size])
{
    service->job_thread_started();
    activate();
}

XrBgxferJobImpl::~XrBgxferJobImpl()
{
    if (transfer != nullptr)
        transfer->release();
    output.close();
    for (int i = 0; i < pending.get_num_items(); ++i)
        delete pending.get_item(i);
    for (int i = 0; i < finished_files.get_num_items(); ++i)
        delete finished_files.get_item(i);
    service->job_thread_ended();
}

bool XrBgxferJobImpl::add_file(const XrString& source, const XrString& target, int size)
{
    if (status != UnderConstruction)
        return false;
    auto* file = new (std::nothrow) XrBgxferFile;
    if (file == nullptr)
        return false;
    file->source = source;
    file->target = target;
    file->size = size;
    file->index = get_file_count();
    if (!pending.append(file)) {
        delete file;
        return false;
    }
    if (size < 0 || total < 0)
        total = -1;
    else
        total += size;
    return true;
}

void XrBgxferJobImpl::start()
{
    if (status != UnderConstruction)
        std::abort(); // "status == UnderConstruction"
    bool ok = true;
    for (int k = 0; ok && k < pending.get_num_items(); ++k) {
        const XrBgxferFile* file = pending.get_item(k);
        auto info = xr_bgxfer_create_control(service->file_control_path(id, file->index, L"info"));
        ok = info != nullptr && info->set_string(L"source", file->source.c_str()) == XrConfiguration::OK &&
             info->set_string(L"target", file->target.c_str()) == XrConfiguration::OK &&
             info->set_int(L"size", file->size) == XrConfiguration::OK && info->save() == XrConfiguration::OK;
    }
    start_time = now_utc();
    if (ok) {
        auto st = xr_bgxfer_create_control(service->control_path(id, L"start"));
        ok = st != nullptr && st->set_int(L"time", start_time) == XrConfiguration::OK &&
             st->set_int(L"numfiles", pending.get_num_items()) == XrConfiguration::OK &&
             st->save() == XrConfiguration::OK;
    }
    if (ok) {
        status = Running;
    } else {
        error_message = XrString("Failed to access job control files.");
        status = Failed;
    }
    wake();
}

void XrBgxferJobImpl::cancel()
{
    if (status != UnderConstruction && status != Running)
        return;
    status = Cancelled;
    if (transfer != nullptr)
        transfer->cancel();
    wake();
}

int XrBgxferJobImpl::get_file_count() const
{
    return pending.get_num_items() + finished_files.get_num_items();
}

void XrBgxferJobImpl::get_progress(long long& r, long long& t) const
{
    r = received;
    t = total;
}

bool XrBgxferJobImpl::load()
{
    if (xr_bgxfer_open_control(service->control_path(id, L"alloc")) == nullptr)
        return false;
    auto st = xr_bgxfer_open_control(service->control_path(id, L"start"));
    int numfiles = 0;
    if (st == nullptr || st->get_int(L"time", &start_time) != XrConfiguration::OK ||
        st->get_int(L"numfiles", &numfiles) != XrConfiguration::OK || numfiles < 0)
        return false;
    status = Running;
    if (auto done = xr_bgxfer_open_control(service->control_path(id, L"done"))) {
        int s = 0;
        if (done->get_int(L"time", &end_time) != XrConfiguration::OK ||
            done->get_int(L"status", &s) != XrConfiguration::OK || s < 0 || s > Cancelled)
            return false;
        status = s;
    }
    for (int k = 0; k < numfiles; ++k) {
        auto info = xr_bgxfer_open_control(service->file_control_path(id, k, L"info"));
        auto* file = new (std::nothrow) XrBgxferFile;
        if (file == nullptr)
            return false;
        file->index = k;
        if (info == nullptr || info->get_string(L"source", file->source) != XrConfiguration::OK ||
            info->get_string(L"target", file->target) != XrConfiguration::OK ||
            info->get_int(L"size", &file->size) != XrConfiguration::OK) {
            delete file;
            return false;
        }
        if (auto done = xr_bgxfer_open_control(service->file_control_path(id, k, L"done"))) {
            int time = 0, success = 0, size = 0;
            if (done->get_int(L"time", &time) != XrConfiguration::OK ||
                done->get_int(L"success", &success) != XrConfiguration::OK ||
                done->get_int(L"size", &size) != XrConfiguration::OK) {
                delete file;
                return false;
            }
            file->state = success != 0 ? XrBgxferFile::Succeeded : XrBgxferFile::Failed;
            file->received = size;
        }
        if (file->size < 0 || total < 0)
            total = -1;
        else
            total += file->size;
        received += file->received;
        if (!(file->state == XrBgxferFile::Pending ? pending.append(file) : finished_files.append(file))) {
            delete file;
            return false;
        }
    }
    // Queued since construction: it goes on when the scheduler next runs,
    // after the owner has added its listeners.
    return true;
}

void XrBgxferJobImpl::release()
{
    released = true;
    if (status == UnderConstruction || status == Running) {
        status = Cancelled;
        if (transfer != nullptr)
            transfer->cancel();
    }
    if (thread_done) {
        delete this;
        return;
    }
    // A runnable job ends at its next step, when the scheduler next runs.
    if (thread_queue != nullptr && thread_queue != &wait_queue && thread_queue != &service->get_slot_queue())
        return;
    wake(); // may end the thread and delete the job: nothing after this
}

void XrBgxferJobImpl::wake()
{
    if (thread_queue == &wait_queue)
        wait_queue.wake_one();
    else if (thread_queue == &service->get_slot_queue()) {
        thread_queue->remove(this);
        activate();
        fsm->run();
    } else if (thread_queue != nullptr)
        fsm->run();
}

XrFsmResult XrBgxferJobImpl::step()
{
    switch (state) {
    case State::start:
        if (status == UnderConstruction) {
            wait_queue.add(this);
            return XR_FSM_SUSPEND;
        }
        state = status == Running ? State::wait_slot : State::finish;
        return XR_FSM_CONTINUE;
    case State::wait_slot:
        if (status != Running) {
            state = State::finish;
            return XR_FSM_CONTINUE;
        }
        if (!service->take_slot()) {
            service->get_slot_queue().add(this);
            return XR_FSM_SUSPEND;
        }
        holds_slot = true;
        state = State::next_file;
        return XR_FSM_CONTINUE;
    case State::next_file:
        return st_next_file();
    case State::transferring:
        if (!transfer_ended) {
            wait_queue.add(this);
            return XR_FSM_SUSPEND;
        }
        state = State::file_ended;
        return XR_FSM_CONTINUE;
    case State::file_ended:
        return st_file_ended();
    case State::file_failed:
        return st_file_failed();
    case State::finish:
        return st_finish();
    }
    return XR_FSM_FINISH;
}

XrFsmResult XrBgxferJobImpl::st_next_file()
{
    if (status == Cancelled) {
        state = State::finish;
        return XR_FSM_CONTINUE;
    }
    if (pending.get_num_items() == 0) {
        status = Completed;
        state = State::finish;
        return XR_FSM_CONTINUE;
    }
    XrBgxferFile* file = pending.get_item(0);
    output.close();
    make_directories(file->target);
    if (output.create(file->target, true) != XrFile::OK) {
        state = State::file_failed;
        return XR_FSM_CONTINUE;
    }
    offset = xr_bgxfer_resume_offset(output.get_size());
    received += offset - file->received;
    file->received = offset;
    if (transfer == nullptr) {
        XrString host;
        int port = 0;
        service->get_proxy(host, port);
        transfer = XrBgxferHttp::create(service->get_scheduler(), service->get_loop(), host, port, this);
        if (transfer == nullptr) {
            state = State::file_failed;
            return XR_FSM_CONTINUE;
        }
    }
    buffered = 0;
    transfer_ok = true;
    writes_ok = true;
    transfer_ended = false;
    state = State::transferring;
    transfer->start(file->source, offset);
    return XR_FSM_CONTINUE;
}

bool XrBgxferJobImpl::flush()
{
    if (buffered == 0 || !writes_ok)
        return writes_ok;
    XrBgxferFile* file = pending.get_item(0);
    // The resize also cuts off an old tail beyond what was fetched again.
    if (output.resize(offset + buffered) != XrFile::OK || output.write(offset, buffered, buffer.get()) != XrFile::OK) {
        writes_ok = false;
        return false;
    }
    offset += buffered;
    file->received += buffered;
    received += buffered;
    buffered = 0;
    return true;
}

void XrBgxferJobImpl::data_received(const void* data, int length)
{
    if (state != State::transferring || !writes_ok || length <= 0 || pending.get_num_items() == 0)
        return;
    const XrBgxferFile* file = pending.get_item(0);
    const BYTE* bytes = static_cast<const BYTE*>(data);
    while (length > 0) {
        // A body longer than the file's known size is refused, not stored.
        if (file->size >= 0 && static_cast<long long>(offset) + buffered + length > file->size) {
            writes_ok = false;
            transfer->cancel();
            return;
        }
        const unsigned n = std::min<unsigned>(write_size - buffered, static_cast<unsigned>(length));
        std::memcpy(buffer.get() + buffered, bytes, n);
        buffered += n;
        bytes += n;
        length -= static_cast<int>(n);
        if (buffered == write_size && !flush()) {
            // A body that should stop (endless or too long) is cut off.
            transfer->cancel();
            return;
        }
    }
}

void XrBgxferJobImpl::transfer_done()
{
    transfer_ended = true;
    wake();
}

void XrBgxferJobImpl::transfer_failed()
{
    transfer_ok = false;
    transfer_ended = true;
    wake();
}

bool XrBgxferJobImpl::write_file_done(const XrBgxferFile& file, bool success)
{
    auto done = xr_bgxfer_create_control(service->file_control_path(id, file.index, L"done"));
    return done != nullptr && done->set_int(L"time", now_utc()) == XrConfiguration::OK &&
           done->set_int(L"success", success ? 1 : 0) == XrConfiguration::OK &&
           done->set_int(L"size", static_cast<int>(file.received)) == XrConfiguration::OK &&
           done->save() == XrConfiguration::OK;
}

XrFsmResult XrBgxferJobImpl::st_file_ended()
{
    flush();
    XrBgxferFile* file = pending.get_item(0);
    // A file of known size must have arrived whole.
    if (transfer_ok && writes_ok && file->size >= 0 && file->received != file->size)
        transfer_ok = false;
    if (writes_ok && !output.flush())
        writes_ok = false;
    output.close();
    if (status == Cancelled) {
        state = State::finish;
        return XR_FSM_CONTINUE;
    }
    if (!transfer_ok || !writes_ok || !write_file_done(*file, true)) {
        state = State::file_failed;
        return XR_FSM_CONTINUE;
    }
    file->state = XrBgxferFile::Succeeded;
    pending.remove_item(0);
    finished_files.append(file);
    state = State::next_file;
    return XR_FSM_CONTINUE;
}

XrFsmResult XrBgxferJobImpl::st_file_failed()
{
    error_message = XrString("File HTTP transfer failed.");
    output.close();
    if (!released && pending.get_num_items() > 0)
        write_file_done(*pending.get_item(0), false);
    status = Failed;
    state = State::finish;
    return XR_FSM_CONTINUE;
}

XrFsmResult XrBgxferJobImpl::st_finish()
{
    if (holds_slot) {
        holds_slot = false;
        service->give_slot();
    }
    // A released job's control files are gone and stay gone.
    if (!released && xr_bgxfer_open_control(service->control_path(id, L"done")) == nullptr) {
        end_time = now_utc();
        auto done = xr_bgxfer_create_control(service->control_path(id, L"done"));
        if (done == nullptr || done->set_int(L"time", end_time) != XrConfiguration::OK ||
            done->set_int(L"status", status) != XrConfiguration::OK || done->save() != XrConfiguration::OK) {
            error_message = XrString("Failed to store job completion status.");
            status = Failed;
        }
    }
    if (!released)
        service->job_finished(this);
    return XR_FSM_FINISH;
}

void XrBgxferJobImpl::finished()
{
    thread_done = true;
    if (released)
        delete this;
}
