// Cooperative state machines on the main loop: XrFsm steps its runnable
// XrFsmThread objects from two run queues (priority 0 first) until none is
// runnable. No operating-system threads are involved.
#pragma once

#include "common/container/xr_string.h"
#include "common/os/xr_eventhandler.h"

#include <glib.h>

class XrFsm;
class XrFsmThread;

// What a step asks of the scheduler.
typedef int XrFsmResult;
enum : int {
    XR_FSM_CONTINUE = 0, // step the same thread again at once
    XR_FSM_YIELD = 1,    // back to the tail of its run queue
    XR_FSM_FINISH = 2,   // done: finished() is called, not requeued
    XR_FSM_SUSPEND = 3,  // (and any other value) off the run queues until woken
};

// "continue", "yield", "finish", "suspend"; "<???>" for other values.
const char* xr_fsm_result_name(XrFsmResult result);

// Intrusive doubly linked queue of threads; a thread is on one queue at most.
class XrFsmQueue {
public:
    XrFsmQueue() = default;
    // Unlinks the threads still on the queue.
    ~XrFsmQueue();
    XrFsmQueue(const XrFsmQueue&) = delete;
    XrFsmQueue& operator=(const XrFsmQueue&) = delete;

    // Appends at the tail; the thread must be on no queue.
    void add(XrFsmThread* thread);
    // Unlinks the thread from this queue.
    void remove(XrFsmThread* thread);
    XrFsmThread* get_head() const { return head; }
    XrFsmThread* get_tail() const { return tail; }

protected:
    friend class XrFsm;
    // Removes and returns the head; null when empty.
    XrFsmThread* take_head();
    // Puts the thread back in front.
    void add_head(XrFsmThread* thread);
    // Links the unlinked thread in before next (null: at the tail).
    void link(XrFsmThread* thread, XrFsmThread* next);

    XrFsmThread* head = nullptr;
    XrFsmThread* tail = nullptr;
};

// Told by a scheduler that found both run queues empty.
class XrFsmListener {
public:
    virtual ~XrFsmListener() = default;
    virtual void fsm_idle() = 0;
};

class XrFsm : public XrEventHandler {
public:
    // Steps one run() takes before it hands the main loop back to GLib; the
    // rest follows when the main loop is idle again, so a machine that never
    // stops stepping cannot freeze the user interface.
    static constexpr int max_steps_per_run = 1000;

    XrFsm() = default;
    XrFsm(const XrFsm&) = delete;
    XrFsm& operator=(const XrFsm&) = delete;
    // The run queues must be empty and the scheduler not running.
    ~XrFsm() override;

    void set_idle_listener(XrFsmListener* listener) { idle_listener = listener; }
    // Queues the thread at the tail of its priority's queue; does not run.
    void add_active(XrFsmThread* thread);
    // Steps runnable threads until none is left (or the step bound is
    // reached). A run from inside a step returns at once: the outer run
    // picks the newly runnable threads up.
    void run();
    bool is_running() const { return running; }
    const XrFsmQueue& get_queue(int priority) const { return active[priority]; }
    // Threads made on this scheduler and not yet deleted, wherever they wait.
    int get_thread_count() const { return threads; }

    // A zero-delay timeout posted to the scheduler runs it from the main loop.
    void execute(XrEventloopBase* loop, void* data) override;

private:
    friend class XrFsmThread;
    static gboolean resume(gpointer fsm);

    XrFsmQueue active[2];
    bool running = false;
    XrFsmListener* idle_listener = nullptr;
    guint resume_source = 0; // pending continuation of a bounded run
    int threads = 0;
};

class XrFsmThread {
public:
    // The name becomes "<name>:<address in hex>", or the address alone.
    explicit XrFsmThread(XrFsm* fsm, const char* name = nullptr);
    XrFsmThread(const XrFsmThread&) = delete;
    XrFsmThread& operator=(const XrFsmThread&) = delete;
    // Leaves the queue it is on and drops its posted callback, if any.
    virtual ~XrFsmThread();

    // Called once after a step returned XR_FSM_FINISH.
    virtual void finished() {}
    // One step of the machine.
    virtual XrFsmResult step() = 0;

    // Puts the thread on its scheduler's run queue (does not run it).
    void activate();
    void set_in_async_call(bool in_call) { thread_in_async_call = in_call; }
    // XR_FSM_SUSPEND while the asynchronous call of this step is still
    // outstanding (clearing the wait flag), else XR_FSM_CONTINUE.
    XrFsmResult take_wait_result();
    // Completion of the asynchronous call: before the step returned it only
    // clears the wait flag; later it makes the thread runnable and runs the
    // scheduler.
    void thread_async_callback();
    // Has thread_async_callback run from the main loop (zero-delay timeout).
    void post_async_callback(XrEventloopBase* loop);

    const XrString& get_name() const { return name; }
    XrFsm* get_fsm() const { return fsm; }
    int get_priority() const { return priority; }
    // 0 (served first) or 1; only while the thread is on no queue.
    void set_priority(int p) { priority = p; }

    // Runs thread_async_callback of the thread given as data.
    class EloopHandler : public XrEventHandler {
    public:
        void cancelled(XrEventloopBase* loop, void* data) override;
        void execute(XrEventloopBase* loop, void* data) override;
    };

protected:
    XrString name;
    XrFsm* fsm;

public:
    // Queue links, owned by XrFsmQueue.
    XrFsmThread* thread_next = nullptr;
    XrFsmThread* thread_prev = nullptr;
    XrFsmQueue* thread_queue = nullptr;
    bool thread_in_async_call = false;
    // Set with thread_in_async_call by a step that starts an asynchronous
    // call; cleared by take_wait_result or an early completion.
    bool thread_async_wait = false;

protected:
    int priority = 1;
    EloopHandler eloop_handler;

private:
    XrEventloopBase* posted_loop = nullptr;
    int posted_callbacks = 0;
};

// Threads waiting for something, bound to one scheduler. A step waits by
// adding its thread (add) and returning XR_FSM_SUSPEND.
class XrFsmWaitQueue : public XrFsmQueue {
public:
    explicit XrFsmWaitQueue(XrFsm* fsm_) : fsm(fsm_) {}
    // Makes the first waiting thread runnable and runs the scheduler.
    void wake_one();
    // Makes every waiting thread runnable, in order, and runs the scheduler once.
    void wake_all();

private:
    XrFsm* fsm;
};

// Arms a zero-delay timeout to handler with null data (a scheduler given as
// handler then runs from the main loop).
bool post_immediate_callback(XrEventHandler* handler, XrEventloopBase* loop);
