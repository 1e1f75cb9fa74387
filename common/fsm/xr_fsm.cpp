#include "common/fsm/xr_fsm.h"

#include "common/container/xr_defs.h"
#include "common/os/xr_eventloop.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>

const char* xr_fsm_result_name(XrFsmResult result)
{
    switch (result) {
    case XR_FSM_CONTINUE:
        return "continue";
    case XR_FSM_YIELD:
        return "yield";
    case XR_FSM_FINISH:
        return "finish";
    case XR_FSM_SUSPEND:
        return "suspend";
    default:
        return "<\?\?\?>";
    }
}

// ---- XrFsmQueue

XrFsmQueue::~XrFsmQueue()
{
    while (head != nullptr)
        remove(head);
}

void XrFsmQueue::add(XrFsmThread* thread)
{
    XR_ASSERT(thread->thread_next == 0);
    XR_ASSERT(thread->thread_prev == 0);
    XR_ASSERT(thread->thread_queue == 0);
    link(thread, nullptr);
}

void XrFsmQueue::add_head(XrFsmThread* thread)
{
    XR_ASSERT(thread->thread_next == 0);
    XR_ASSERT(thread->thread_prev == 0);
    XR_ASSERT(thread->thread_queue == 0);
    link(thread, head);
}

void XrFsmQueue::link(XrFsmThread* thread, XrFsmThread* next)
{
    XrFsmThread* prev = next != nullptr ? next->thread_prev : tail;
    thread->thread_prev = prev;
    thread->thread_next = next;
    if (prev != nullptr)
        prev->thread_next = thread;
    else
        head = thread;
    if (next != nullptr)
        next->thread_prev = thread;
    else
        tail = thread;
    thread->thread_queue = this;
}

void XrFsmQueue::remove(XrFsmThread* thread)
{
    if (thread->thread_next != nullptr)
        XR_ASSERT(thread->thread_next->thread_prev == thread);
    else
        XR_ASSERT(tail == thread);
    if (thread->thread_prev != nullptr)
        XR_ASSERT(thread->thread_prev->thread_next == thread);
    else
        XR_ASSERT(head == thread);
    if (thread->thread_next != nullptr)
        thread->thread_next->thread_prev = thread->thread_prev;
    else
        tail = thread->thread_prev;
    if (thread->thread_prev != nullptr)
        thread->thread_prev->thread_next = thread->thread_next;
    else
        head = thread->thread_next;
    thread->thread_next = nullptr;
    thread->thread_prev = nullptr;
    thread->thread_queue = nullptr;
}

XrFsmThread* XrFsmQueue::take_head()
{
    XrFsmThread* thread = head;
    if (thread != nullptr)
        remove(thread);
    return thread;
}

// ---- XrFsm

XrFsm::~XrFsm()
{
    XR_ASSERT(active[0].get_head() == 0);
    XR_ASSERT(active[1].get_head() == 0);
    XR_ASSERT(!running);
    if (resume_source != 0)
        g_source_remove(resume_source);
    // Zero-delay callbacks posted to this scheduler must not fire later.
    if (xr_global_event_loop != nullptr)
        xr_global_event_loop->remove_timeout(this, nullptr);
}

void XrFsm::add_active(XrFsmThread* thread)
{
    XR_ASSERT_MSG(thread->get_priority() < 2, "priority < 2");
    XR_ASSERT_MSG(thread->get_priority() >= 0, "priority >= 0");
    active[thread->get_priority()].add(thread);
}

void XrFsm::execute(XrEventloopBase*, void*)
{
    run();
}

gboolean XrFsm::resume(gpointer data)
{
    auto* fsm = static_cast<XrFsm*>(data);
    fsm->resume_source = 0;
    // Another run may have emptied the queues (and told the idle listener).
    if (fsm->active[0].get_head() != nullptr || fsm->active[1].get_head() != nullptr)
        fsm->run();
    return FALSE;
}

void XrFsm::run()
{
    if (running)
        return;
    running = true;
    int steps = 0;
    for (;;) {
        XrFsmThread* thread = active[0].take_head();
        if (thread == nullptr)
            thread = active[1].take_head();
        if (thread == nullptr) {
            running = false;
            if (idle_listener != nullptr)
                idle_listener->fsm_idle();
            return;
        }
        XrFsmResult result;
        do {
            if (steps == max_steps_per_run) {
                // Hand the main loop back; the thread goes on first later.
                active[thread->get_priority()].add_head(thread);
                running = false;
                if (resume_source == 0)
                    resume_source = g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, resume, this, nullptr);
                return;
            }
            ++steps;
            result = thread->step();
        } while (result == XR_FSM_CONTINUE);
        if (result == XR_FSM_YIELD)
            add_active(thread);
        else if (result == XR_FSM_FINISH)
            thread->finished();
    }
}

// ---- XrFsmThread

XrFsmThread::XrFsmThread(XrFsm* fsm_, const char* name_) : fsm(fsm_)
{
    char text[513];
    auto address = reinterpret_cast<std::uintptr_t>(this);
    if (name_ != nullptr && *name_ != '\0')
        std::snprintf(text, sizeof(text), "%s:%08" PRIxPTR, name_, address);
    else
        std::snprintf(text, sizeof(text), "%08" PRIxPTR, address);
    name = XrString(text);
    if (fsm != nullptr)
        ++fsm->threads;
}

XrFsmThread::~XrFsmThread()
{
    if (fsm != nullptr)
        --fsm->threads;
    if (thread_queue != nullptr)
        thread_queue->remove(this);
    if (posted_callbacks > 0)
        posted_loop->remove_timeout(&eloop_handler, this);
}

void XrFsmThread::activate()
{
    fsm->add_active(this);
}

XrFsmResult XrFsmThread::take_wait_result()
{
    if (thread_async_wait) {
        thread_async_wait = false;
        return XR_FSM_SUSPEND;
    }
    return XR_FSM_CONTINUE;
}

void XrFsmThread::thread_async_callback()
{
    XR_ASSERT(thread_in_async_call);
    thread_in_async_call = false;
    if (thread_async_wait) {
        // The step that started the call has not returned yet.
        thread_async_wait = false;
        return;
    }
    activate();
    fsm->run();
}

void XrFsmThread::post_async_callback(XrEventloopBase* loop)
{
    if (loop->add_timeout(0, 0, &eloop_handler, this)) {
        posted_loop = loop;
        ++posted_callbacks;
    }
}

void XrFsmThread::EloopHandler::cancelled(XrEventloopBase*, void* data)
{
    --static_cast<XrFsmThread*>(data)->posted_callbacks;
}

void XrFsmThread::EloopHandler::execute(XrEventloopBase*, void* data)
{
    auto* thread = static_cast<XrFsmThread*>(data);
    --thread->posted_callbacks;
    thread->thread_async_callback();
}

// ---- XrFsmWaitQueue

void XrFsmWaitQueue::wake_one()
{
    XrFsmThread* thread = take_head();
    if (thread == nullptr)
        return;
    thread->activate();
    fsm->run();
}

void XrFsmWaitQueue::wake_all()
{
    if (head == nullptr)
        return;
    while (XrFsmThread* thread = take_head())
        thread->activate();
    fsm->run();
}

bool post_immediate_callback(XrEventHandler* handler, XrEventloopBase* loop)
{
    return loop->add_timeout(0, 0, handler, nullptr);
}
