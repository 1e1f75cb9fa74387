// Green threads on the toolkit's task scheduler: thread records, top-level
// calls from C code, class requests, native completion and monitors.
#include "toolkit/jvm/kojvm_internal.h"
#include "toolkit/jvm/kojvm_class.h"
#include "lib/io/kofs.h"

#include <cstddef>

#include <cstdio>

namespace {

const std::int32_t kMarker = 0x42424242;

int thread_state(KoFsm*, KoFsmTask* task, void*, void* data);
void thread_finished(void*, void* data) { ko_jvm_destroy_thread(static_cast<KoJvmThread*>(data)); }

int run_class_request(KoJvmThread* t);
// A class initialiser's class and the request it runs for.
struct ClinitRequest {
    KoJvmClassRec* clazz;
    KoJvmSymbol* name;
    std::uint8_t mode;
    KoJvmContinuation done;
    void* data;
};

// ---- Rings and the VM task ------------------------------------------------------

void ring_add(KoJvmRec* vm, KoJvmThread* t, int ring)
{
    KoJvmThread*& head = vm->rings[ring];
    if (!head) {
        t->ring_next = t->ring_prev = t;
        head = t;
    } else {
        // At the end: the thread is picked after every thread already there.
        t->ring_next = head;
        t->ring_prev = head->ring_prev;
        head->ring_prev->ring_next = t;
        head->ring_prev = t;
    }
    t->ring = static_cast<std::uint8_t>(ring);
}

void ring_del(KoJvmRec* vm, KoJvmThread* t)
{
    if (t->ring == KO_JVM_RING_NONE)
        return;
    KoJvmThread*& head = vm->rings[t->ring];
    if (t->ring_next == t) {
        head = nullptr;
    } else {
        t->ring_prev->ring_next = t->ring_next;
        t->ring_next->ring_prev = t->ring_prev;
        if (head == t)
            head = t->ring_next;
    }
    t->ring_next = t->ring_prev = nullptr;
    t->ring = KO_JVM_RING_NONE;
}

// Out of the run ring into the blocked ring, or the suspended ring.
void leave_run_ring(KoJvmRec* vm, KoJvmThread* t, bool finished)
{
    if (t->runnable) {
        t->runnable = 0;
        --vm->runnable_count;
    }
    ring_del(vm, t);
    if (!finished)
        ring_add(vm, t, (t->flags & KO_JVM_THREAD_F_SUSPENDED) ? KO_JVM_RING_SUSPENDED : KO_JVM_RING_BLOCKED);
}

// The current thread's turn is over: the VM task picks the next one.
void end_turn(KoJvmRec* vm, KoJvmThread* t)
{
    if (vm->current == t)
        vm->current = nullptr;
    ko_jvm_wake_scheduler(vm);
}

int vm_task_state(KoFsm* fsm, KoFsmTask* task, void*, void* data)
{
    KoJvmRec* vm = static_cast<KoJvmRec*>(data);
    KoJvmThread* head = vm->rings[KO_JVM_RING_RUN];
    if (vm->current || vm->paused || (!head && !vm->exit_requested)) {
        vm->vm_task_waiting = true;
        ko_fsm_queue_append(&vm->vm_wait, task);
        return KO_FSM_WAIT;
    }
    if (!head)
        return KO_FSM_DONE; // exit requested and nothing left to run
    // Round robin: the head runs, the next thread is the new head.
    vm->current = head;
    vm->rings[KO_JVM_RING_RUN] = head->ring_next;
    ko_fsm_queue_append(&fsm->ready, &head->task);
    return KO_FSM_CONTINUE;
}

void vm_task_finished(void*, void* data)
{
    KoJvmRec* vm = static_cast<KoJvmRec*>(data);
    vm->vm_task_done = true;
    void (*fn)(void*) = vm->exit_fn;
    vm->exit_fn = nullptr;
    if (fn)
        fn(vm->exit_data);
}

} // namespace

void ko_jvm_scheduler_init(KoJvmRec* vm)
{
    ko_fsm_task_init(&vm->fsm, &vm->vm_task, vm_task_state, vm, vm_task_finished);
}

void ko_jvm_wake_scheduler(KoJvmRec* vm)
{
    if (!vm->vm_task_waiting)
        return;
    vm->vm_task_waiting = false;
    ko_fsm_queue_remove(&vm->vm_wait, &vm->vm_task);
    ko_fsm_queue_append(&vm->fsm.ready, &vm->vm_task);
}

KoJvmRec* ko_jvm_thread_vm(KoJvmThread* t) { return t->vm; }
KoJvmObjectRec* ko_jvm_thread_object(KoJvmThread* t) { return ko_obj(t->thread_object); }

KoJvmThread* ko_jvm_create_thread(KoJvmRec* vm, std::uint32_t stack_size, KoJvmObjectRec* obj)
{
    if (!stack_size)
        stack_size = vm->params.stack_size;
    std::uint32_t slots = stack_size / 5;
    if (slots < 16)
        return nullptr;
    KoJvmThread* t = static_cast<KoJvmThread*>(ko_jvm_arena_alloc(sizeof(KoJvmThread)));
    if (!t)
        return nullptr;
    t->vm = vm;
    t->stack_bytes = stack_size;
    t->stack_base = static_cast<KoJvmCat1ValueUnion*>(ko_jvm_arena_alloc(std::size_t(slots) * 4));
    t->tag_base = static_cast<std::uint8_t*>(ko_jvm_arena_alloc(slots));
    if (!t->stack_base || !t->tag_base) {
        ko_jvm_arena_free(t->stack_base, std::size_t(slots) * 4);
        ko_jvm_arena_free(t->tag_base, slots);
        ko_jvm_arena_free(t, sizeof(KoJvmThread));
        return nullptr;
    }
    t->stack_limit = t->stack_base + slots;
    t->sp = t->stack_base - 1;
    t->task.fsm = &vm->fsm;
    t->task.state = thread_state;
    t->task.data = t;
    t->task.finish = thread_finished;
    t->thread_object = ko_ref(obj);
    if (obj && vm->f_thread_native)
        ko_jvm_set_field_pointer(vm, obj, vm->f_thread_native, t);
    t->all_next = vm->threads;
    vm->threads = t;
    ring_add(vm, t, KO_JVM_RING_BLOCKED);
    return t;
}

KoJvmThread* ko_jvm_new_thread(KoJvmRec* vm, std::uint32_t stack_size)
{
    KoJvmClassRec* tc = ko_cls(vm->s_Thread->clazz);
    KoJvmObjectRec* obj = tc ? ko_jvm_new_object(vm, tc) : nullptr;
    return ko_jvm_create_thread(vm, stack_size, obj);
}

void ko_jvm_destroy_thread(KoJvmThread* t)
{
    KoJvmRec* vm = t->vm;
    for (KoJvmThread** p = &vm->threads; *p; p = &(*p)->all_next) {
        if (*p == t) {
            *p = t->all_next;
            break;
        }
    }
    for (KoJvmTimer* tm = vm->timers; tm; tm = tm->next)
        if (tm->thread == t)
            tm->thread = nullptr;
    leave_run_ring(vm, t, true);
    if (vm->current == t) {
        // Picked but not run yet.
        ko_fsm_queue_remove(&vm->fsm.ready, &t->task);
        end_turn(vm, t);
    }
    if (KoJvmObjectRec* obj = ko_obj(t->thread_object))
        if (vm->f_thread_native)
            ko_jvm_set_field_pointer(vm, obj, vm->f_thread_native, nullptr);
    std::uint32_t slots = t->stack_bytes / 5;
    ko_jvm_arena_free(t->stack_base, std::size_t(slots) * 4);
    ko_jvm_arena_free(t->tag_base, slots);
    ko_free(t->conts);
    ko_free(t->tops);
    ko_free(t->load_stack);
    ko_jvm_arena_free(t, sizeof(KoJvmThread));
}

void ko_jvm_make_runnable(KoJvmThread* t)
{
    KoJvmRec* vm = t->vm;
    if (t->runnable || t->finished)
        return;
    ring_del(vm, t);
    if (t->flags & KO_JVM_THREAD_F_SUSPENDED) {
        ring_add(vm, t, KO_JVM_RING_SUSPENDED);
        return;
    }
    t->runnable = 1;
    ++vm->runnable_count;
    ring_add(vm, t, KO_JVM_RING_RUN);
    ko_jvm_wake_scheduler(vm);
}

void ko_jvm_run(KoJvmRec* vm)
{
    if (vm->slice_us && !vm->paused && !(vm->fsm.flags & KO_FSM_F_RUNNING))
        vm->slice_deadline_us = ko_time_now() + vm->slice_us;
    ko_fsm_run(&vm->fsm);
}

bool ko_jvm_slice_expired(KoJvmRec* vm)
{
    if (vm->paused)
        return true;
    if (ko_time_now() < vm->slice_deadline_us)
        return false;
    vm->paused = true;
    if (vm->pause_fn)
        vm->pause_fn(vm->pause_data);
    return true;
}

void ko_jvm_set_time_slice(KoJvmRec* vm, std::int64_t slice_us, void (*fn)(void*), void* data)
{
    vm->slice_us = slice_us > 0 ? slice_us : 0;
    vm->pause_fn = fn;
    vm->pause_data = data;
}

void ko_jvm_resume(KoJvmRec* vm)
{
    if (!vm->paused)
        return;
    vm->paused = false;
    vm->slice_deadline_us = ko_time_now() + vm->slice_us;
    ko_jvm_wake_scheduler(vm);
    ko_jvm_run(vm);
}

int ko_jvm_live_threads(KoJvmRec* vm)
{
    int n = 0;
    for (KoJvmThread* t = vm->threads; t; t = t->all_next)
        if (t != vm->finalizer && !t->finished && (t->runnable || t->top_count > 0))
            ++n;
    return n;
}

namespace {
void finalizer_ended(KoJvmCat1ValueUnion*, KoJvmObjectRec*, void* data)
{
    KoJvmRec* vm = static_cast<KoJvmRec*>(data);
    KoJvmThread* t = vm->finalizer;
    vm->finalizer = nullptr;
    if (t)
        t->finished = 1;
    ko_jvm_wake_scheduler(vm);
}
}

// The finaliser thread runs org/kotools/kojvm/KoJvm.finalizer, which takes
// the objects the collector queues and runs their finalize methods.
bool ko_jvm_start_finalizer(KoJvmRec* vm)
{
    if (vm->finalizer)
        return true;
    if (!ko_jvm_find_class(vm, "java/lang/ThreadGroup", 21))
        return false;
    KoJvmThread* t = ko_jvm_new_thread(vm, 8192);
    if (!t)
        return false;
    vm->finalizer = t;
    ko_jvm_invoke_static_async(t, 1, "org/kotools/kojvm/KoJvm", 0, "finalizer", 0, "()V", 0, nullptr, finalizer_ended,
                               vm);
    return true;
}

bool ko_jvm_post(KoJvmRec* vm, void (*fn)(void*), void* arg) { return ko_fsm_post(&vm->fsm, fn, arg); }

void ko_jvm_thread_push_cont(KoJvmThread* t, KoJvmContinuation fn, void* data)
{
    if (t->cont_count == t->cont_capacity) {
        int cap = t->cont_capacity ? t->cont_capacity * 2 : 8;
        auto* n = static_cast<KoJvmContinuationEntry*>(ko_realloc(t->conts, 0, sizeof(KoJvmContinuationEntry) * cap));
        if (!n)
            ko_fatal("Out of memory for thread continuations");
        t->conts = n;
        t->cont_capacity = cap;
    }
    t->conts[t->cont_count++] = {fn, data};
}

bool ko_jvm_push_top_level(KoJvmThread* t, KoJvmCallCompletion completion, void* data, std::uint32_t options,
                           KoJvmMethodRec* method)
{
    if (t->sp + 10 >= t->stack_limit)
        return false;
    if (t->top_count == t->top_capacity) {
        int cap = t->top_capacity ? t->top_capacity * 2 : 8;
        auto* n = static_cast<KoJvmTop*>(ko_realloc(t->tops, 0, sizeof(KoJvmTop) * cap));
        if (!n)
            return false;
        t->tops = n;
        t->top_capacity = cap;
    }
    t->tops[t->top_count] = {completion, data, t->options, method, nullptr};
    KoJvmCat1ValueUnion words[10];
    std::memset(words, 0, sizeof words);
    words[0].ref = ko_ref(t->frame);
    words[1].ref = ko_ref(t->pc);
    words[2].i = t->top_count;
    words[5].ref = ko_ref(method);
    words[7].i = static_cast<std::int32_t>(t->options);
    words[8].ref = ko_ref(t->frame);
    words[9].i = kMarker;
    for (auto& w : words) {
        *++t->sp = w;
        *ko_tag(t, t->sp) = 0;
    }
    ++t->top_count;
    t->frame = nullptr;
    t->pc = nullptr;
    t->options = options;
    return true;
}

void ko_jvm_pop_top_level(KoJvmThread* t)
{
    if (t->sp - 9 < t->stack_base || t->sp->i != kMarker || t->top_count == 0)
        ko_fatal("No top-level at the top of the thread stack");
    KoJvmCat1ValueUnion* w = t->sp - 9;
    t->frame = ko_ptr<KoJvmCat1ValueUnion>(w[0].ref);
    t->pc = ko_ptr<const std::uint8_t>(w[1].ref);
    t->options = static_cast<std::uint32_t>(w[7].i);
    t->sp = w - 1;
    --t->top_count;
}

bool ko_jvm_push_method_frame(KoJvmThread* t, KoJvmMethodRec* m, KoJvmCat1ValueUnion* caller, const std::uint8_t* ret)
{
    int own = m->arg_slots + ((m->access & KO_ACC_STATIC) ? 0 : 1);
    int extra = m->max_locals - own;
    if (t->sp + extra + 3 + m->max_stack + 1 >= t->stack_limit)
        return false;
    for (int i = 0; i < extra; ++i) {
        ++t->sp;
        *ko_tag(t, t->sp) = 0;
    }
    KoJvmCat1ValueUnion* f = t->sp + 1;
    f[0].ref = ko_ref(caller);
    f[1].ref = ko_ref(ret);
    f[2].ref = ko_ref(m);
    *ko_tag(t, f) = *ko_tag(t, f + 1) = *ko_tag(t, f + 2) = 0;
    t->sp = f + 2;
    t->frame = f;
    t->pc = ko_ptr<const std::uint8_t>(m->code);
    return true;
}

void ko_jvm_native_complete(KoJvmCat1ValueUnion* result, KoJvmObjectRec* exception, KoJvmThread* t)
{
    KoJvmMethodRec* m = t->native_method;
    if (exception) {
        t->pending = ko_ref(exception);
        t->flags |= KO_JVM_THREAD_F_EXCEPTION;
    } else {
        t->sp = t->native_args - 1;
        for (int i = 0; m && i < m->return_slots; ++i) {
            *++t->sp = result[i];
            *ko_tag(t, t->sp) = m->return_is_ref ? 1 : 0;
        }
    }
    if (t->flags & KO_JVM_THREAD_F_NATIVE) {
        t->flags &= ~KO_JVM_THREAD_F_NATIVE;
        return;
    }
    if (t->top_native) {
        t->top_native = 0;
        t->cont_ready = 1;
        if (exception) {
            t->flags = (t->flags & ~KO_JVM_THREAD_F_EXCEPTION) | KO_JVM_THREAD_F_TOP_EXCEPTION;
        } else {
            for (int i = 0; m && i < m->return_slots; ++i)
                t->result[i] = t->native_args[i];
            t->sp = t->native_args - 1;
        }
    }
    ko_jvm_make_runnable(t);
    ko_jvm_run(t->vm);
}

void ko_jvm_native_args(KoJvmThread* t, KoJvmRec** vm, KoJvmClassRec** clazz, KoJvmCat1ValueUnion** receiver,
                        KoJvmCat1ValueUnion** args, KoJvmCompletion* complete, void** class_data)
{
    KoJvmMethodRec* m = t->native_method;
    KoJvmClassRec* c = m ? ko_cls(m->clazz) : nullptr;
    bool is_static = m && (m->access & KO_ACC_STATIC);
    if (vm)
        *vm = t->vm;
    if (clazz)
        *clazz = c;
    if (receiver)
        *receiver = is_static ? nullptr : t->native_args;
    if (args)
        *args = is_static ? t->native_args : t->native_args + 1;
    if (complete)
        *complete = ko_jvm_native_complete;
    if (class_data)
        *class_data = c ? c->native_data : nullptr;
}

// ---- Stack traces -------------------------------------------------------------

// The raw stack trace of a thread: one long per frame, innermost first
// (class identity, method index, offset in the code); frames of throwables'
// constructors are left out. Null when the array cannot be made.
KoJvmObjectRec* ko_jvm_raw_stack_trace(KoJvmRec* vm, KoJvmThread* t)
{
    KoJvmClassRec* throwable = vm->known[KO_K_Throwable];
    std::int64_t buf[64];
    int n = 0;
    const std::uint8_t* pc = t->pc;
    for (KoJvmCat1ValueUnion* f = t->frame; f && n < 64;) {
        KoJvmMethodRec* m = ko_meth(f[2].ref);
        KoJvmClassRec* c = ko_cls(m->clazz);
        if (!(throwable && ko_jvm_is_subclass(vm, c, throwable))) {
            std::uint32_t off = pc ? static_cast<std::uint32_t>(pc - ko_ptr<const std::uint8_t>(m->code)) : 0;
            buf[n++] = (std::int64_t(c->id) << 32) | (std::int64_t(m->index) << 16) | (off & 0xFFFF);
        }
        // A caller's frame is recorded at its call instruction, not at the
        // instruction the call returns to (which may begin the next line).
        pc = ko_ptr<const std::uint8_t>(f[1].ref);
        if (pc)
            --pc;
        f = ko_ptr<KoJvmCat1ValueUnion>(f[0].ref);
    }
    KoJvmObjectRec* a = ko_jvm_new_array(vm, vm->prim_arrays[5], n);
    if (a)
        std::memcpy(ko_jvm_elements(a), buf, sizeof(std::int64_t) * n);
    return a;
}

void ko_jvm_fill_stack_trace(KoJvmRec* vm, KoJvmThread* t, KoJvmObjectRec* e)
{
    if (!vm->f_throwable_raw || !e || e == vm->oom || ko_jvm_get_ref_field(vm, e, vm->f_throwable_raw))
        return;
    int mark = ko_jvm_push_handle(vm, &e);
    KoJvmObjectRec* a = ko_jvm_raw_stack_trace(vm, t);
    ko_jvm_pop_handles(vm, mark);
    if (a)
        ko_jvm_set_ref_field(vm, e, vm->f_throwable_raw, a);
}

// ---- Calls from C ---------------------------------------------------------------

namespace {

struct Call {
    KoJvmSymbol* name;
    KoJvmSymbol* desc;
    KoJvmRec* vm;
    int slots;
    KoJvmCat1ValueUnion values[64];
    std::uint8_t tags[64];
    KoJvmRootBlock roots; // the argument slots stay roots until the call starts
};

void free_call(Call* call)
{
    ko_jvm_remove_root_block(call->vm, &call->roots);
    ko_free(call);
}

// A call still waiting (for its class) when the VM is destroyed.
void release_call(KoJvmRootBlock* b)
{
    ko_free(reinterpret_cast<char*>(b) - offsetof(Call, roots));
}

int finish_top(KoJvmThread* t, void*);

// Ends the current top level with an exception before its method ran.
int fail_top(KoJvmThread* t, KoJvmObjectRec* e)
{
    t->pending = ko_ref(e);
    t->flags |= KO_JVM_THREAD_F_TOP_EXCEPTION;
    return finish_top(t, nullptr);
}

struct Uncaught {
    KoJvmCallCompletion completion;
    void* data;
    KoJvmRec* vm;
    KoJvmGlobalRef exception; // kept while the handler runs
};
void uncaught_done(KoJvmCat1ValueUnion* result, KoJvmObjectRec*, void* data)
{
    Uncaught* u = static_cast<Uncaught*>(data);
    KoJvmCallCompletion c = u->completion;
    void* d = u->data;
    KoJvmObjectRec* e = u->exception.object;
    ko_jvm_remove_global_ref(u->vm, &u->exception);
    ko_free(u);
    if (c)
        c(result, e, d);
}

int finish_top(KoJvmThread* t, void*)
{
    KoJvmRec* vm = t->vm;
    KoJvmObjectRec* e = nullptr;
    if (t->flags & KO_JVM_THREAD_F_TOP_EXCEPTION) {
        e = ko_obj(t->pending);
        t->pending = 0;
        t->flags &= ~KO_JVM_THREAD_F_TOP_EXCEPTION;
    }
    KoJvmCat1ValueUnion result[2] = {t->result[0], t->result[1]};
    KoJvmTop top = t->tops[t->top_count - 1];
    std::uint32_t options = t->options;
    ko_jvm_pop_top_level(t);
    KoJvmObjectRec* group = ko_obj(vm->thread_group);
    if (e && (options & 1) && vm->m_uncaught && group && ko_obj(t->thread_object)) {
        Uncaught* u = static_cast<Uncaught*>(ko_malloc(sizeof(Uncaught)));
        if (u) {
            *u = {top.completion, top.data, vm, {nullptr, nullptr, e}};
            ko_jvm_add_global_ref(vm, &u->exception);
            ko_jvm_invoke_virtual_async(t, 0, group, "uncaughtException", 0,
                                        "(Ljava/lang/Thread;Ljava/lang/Throwable;)V", 0, nullptr, uncaught_done, u,
                                        ko_obj(t->thread_object), e);
            return KO_JVM_NEXT_RUN;
        }
    }
    if (top.completion)
        top.completion(result, e, top.data);
    if (t->finished)
        return KO_JVM_NEXT_IDLE;
    return t->top_count > 0 || t->frame ? KO_JVM_NEXT_RUN : KO_JVM_NEXT_IDLE;
}

int start_call(KoJvmThread* t, Call* call, KoJvmMethodRec* m)
{
    KoJvmRec* vm = t->vm;
    if (m->access & KO_ACC_ABSTRACT) {
        free_call(call);
        return fail_top(t, ko_jvm_new_known(vm, KO_K_AbstractMethodError));
    }
    t->tops[t->top_count - 1].method = m;
    KoJvmCat1ValueUnion* base = t->sp + 1;
    if (t->sp + call->slots + 1 >= t->stack_limit) {
        free_call(call);
        return fail_top(t, ko_jvm_new_known(vm, KO_K_StackOverflowError));
    }
    for (int i = 0; i < call->slots; ++i) {
        *++t->sp = call->values[i];
        *ko_tag(t, t->sp) = call->tags[i];
    }
    free_call(call);
    t->tops[t->top_count - 1].args_base = base;
    ko_jvm_thread_push_cont(t, finish_top, nullptr);
    if (m->access & KO_ACC_NATIVE) {
        KoJvmNative fn = vm->native_fns[m->native_index];
        if (!m->native_index || !fn)
            ko_fatal("XXX No native method implementation specified!!!");
        bool is_static = m->access & KO_ACC_STATIC;
        t->native_method = m;
        t->native_args = base;
        t->flags |= KO_JVM_THREAD_F_NATIVE;
        t->top_native = 1;
        KoJvmClassRec* c = ko_cls(m->clazz);
        fn(vm, c, is_static ? nullptr : base, is_static ? base : base + 1, ko_jvm_native_complete, t, c->native_data);
        if (t->flags & KO_JVM_THREAD_F_NATIVE) {
            t->flags &= ~KO_JVM_THREAD_F_NATIVE;
            return KO_JVM_NEXT_BLOCK; // the completion comes later
        }
        t->top_native = 0;
        if (t->flags & KO_JVM_THREAD_F_EXCEPTION) {
            t->flags = (t->flags & ~KO_JVM_THREAD_F_EXCEPTION) | KO_JVM_THREAD_F_TOP_EXCEPTION;
        } else {
            for (int i = 0; i < m->return_slots; ++i)
                t->result[i] = base[i];
        }
        t->sp = base - 1;
        --t->cont_count;
        return finish_top(t, nullptr);
    }
    if (!ko_jvm_push_method_frame(t, m, nullptr, nullptr)) {
        t->sp = base - 1;
        --t->cont_count;
        return fail_top(t, ko_jvm_new_known(vm, KO_K_StackOverflowError));
    }
    return KO_JVM_NEXT_RUN;
}

int static_after_class(KoJvmThread* t, void* data)
{
    Call* call = static_cast<Call*>(data);
    KoJvmRec* vm = t->vm;
    if (t->pending) {
        KoJvmObjectRec* e = ko_obj(t->pending);
        t->flags &= ~KO_JVM_THREAD_F_EXCEPTION;
        free_call(call);
        return fail_top(t, e);
    }
    KoJvmClassRec* c = ko_cls(t->req_name->clazz);
    KoJvmMethodRec* m = nullptr;
    KoJvmObjectRec* e = ko_jvm_resolve_method(vm, c, call->name, call->desc, false, &m);
    if (!e && !(m->access & KO_ACC_STATIC))
        e = ko_jvm_new_known(vm, KO_K_IncompatibleClassChangeError);
    if (e) {
        free_call(call);
        return fail_top(t, e);
    }
    return start_call(t, call, m);
}

// Converts the arguments of a call from C into slots.
bool convert_args(KoJvmRec* vm, Call* call, KoJvmSymbol* desc, KoJvmObjectRec* array, va_list ap)
{
    const char* d = ko_sym_bytes(desc);
    std::size_t len = ko_sym_len(desc);
    std::size_t i = 1;
    std::int32_t index = 0;
    while (i < len && d[i] != ')') {
        std::size_t n = ko_jvm_field_type_length(d + i, len - i);
        if (!n || call->slots > 60)
            return false;
        char letter = d[i];
        if (array) {
            if (index >= static_cast<std::int32_t>(ko_jvm_length(array)))
                return false;
            KoJvmObjectRec* v = ko_jvm_get_array_ref(vm, array, index++);
            if (letter == 'L' || letter == '[') {
                call->tags[call->slots] = 1;
                call->values[call->slots++].ref = ko_ref(v);
            } else if (letter == 'J') {
                std::int64_t l;
                if (!ko_jvm_unbox_long(vm, v, &l))
                    return false;
                call->values[call->slots].i = static_cast<std::int32_t>(l >> 32);
                call->tags[call->slots++] = 0;
                call->values[call->slots].i = static_cast<std::int32_t>(l);
                call->tags[call->slots++] = 0;
            } else if (letter == 'D') {
                double x;
                if (!ko_jvm_unbox_double(vm, v, &x))
                    return false;
                std::memcpy(&call->values[call->slots], &x, 8);
                call->tags[call->slots] = call->tags[call->slots + 1] = 0;
                call->slots += 2;
            } else {
                std::int32_t x = 0;
                if (!v)
                    return false;
                KoJvmClassRec* vc = ko_jvm_class(v);
                KoJvmFieldRec* f = nullptr;
                char vd[2] = {letter, 0};
                f = ko_jvm_find_field(vm, vc, "value", vd);
                if (!f)
                    return false;
                if (letter == 'F')
                    std::memcpy(&x, ko_jvm_field_address(vm, v, f), 4);
                else
                    x = ko_jvm_get_int_field(vm, v, f);
                call->values[call->slots].i = x;
                call->tags[call->slots++] = 0;
            }
        } else {
            switch (letter) {
            case 'L': case '[':
                call->values[call->slots].ref = ko_ref(va_arg(ap, KoJvmObjectRec*));
                call->tags[call->slots++] = 1;
                break;
            case 'J': {
                std::int64_t l = va_arg(ap, long long);
                call->values[call->slots].i = static_cast<std::int32_t>(l >> 32);
                call->tags[call->slots++] = 0;
                call->values[call->slots].i = static_cast<std::int32_t>(l);
                call->tags[call->slots++] = 0;
                break;
            }
            case 'D': {
                double x = va_arg(ap, double);
                std::memcpy(&call->values[call->slots], &x, 8);
                call->tags[call->slots] = call->tags[call->slots + 1] = 0;
                call->slots += 2;
                break;
            }
            case 'F':
                call->values[call->slots].f = static_cast<float>(va_arg(ap, double));
                call->tags[call->slots++] = 0;
                break;
            default:
                call->values[call->slots].i = va_arg(ap, int);
                call->tags[call->slots++] = 0;
            }
        }
        i += n;
    }
    return i < len;
}

Call* prepare(KoJvmThread* t, const char* name, std::size_t name_len, const char* desc, std::size_t desc_len,
              KoJvmObjectRec* receiver, KoJvmObjectRec* array, va_list ap, KoJvmObjectRec** error)
{
    KoJvmRec* vm = t->vm;
    Call* call = static_cast<Call*>(ko_calloc(1, sizeof(Call)));
    if (!call) {
        *error = vm->oom;
        return nullptr;
    }
    call->vm = vm;
    call->name = ko_jvm_intern(vm, name, name_len ? name_len : std::strlen(name), false);
    call->desc = ko_jvm_intern(vm, desc, desc_len ? desc_len : std::strlen(desc), false);
    call->roots.values = call->values;
    call->roots.tags = call->tags;
    call->roots.count = &call->slots;
    call->roots.release = release_call;
    ko_jvm_add_root_block(vm, &call->roots);
    if (receiver) {
        call->values[0].ref = ko_ref(receiver);
        call->tags[0] = 1;
        call->slots = 1;
    }
    if (!call->name || !call->desc) {
        free_call(call);
        *error = vm->oom;
        return nullptr;
    }
    if (!convert_args(vm, call, call->desc, array, ap)) {
        free_call(call);
        *error = ko_jvm_new_known(vm, KO_K_VerifyError);
        return nullptr;
    }
    return call;
}

struct DeferredCall {
    KoJvmThread* t;
    std::uint32_t options;
    Call* call;
    KoJvmMethodRec* m;
    KoJvmCallCompletion completion;
    void* data;
};
void start_virtual_call(KoJvmThread* t, std::uint32_t options, Call* call, KoJvmMethodRec* m,
                        KoJvmCallCompletion completion, void* data);
void start_deferred_call(void* p);

} // namespace

void ko_jvm_invoke_static_async(KoJvmThread* t, std::uint32_t options, const char* class_name, std::size_t class_len,
                                const char* name, std::size_t name_len, const char* desc, std::size_t desc_len,
                                KoJvmObjectRec* array, KoJvmCallCompletion completion, void* data, ...)
{
    KoJvmRec* vm = t->vm;
    va_list ap;
    va_start(ap, data);
    KoJvmObjectRec* error = nullptr;
    Call* call = prepare(t, name, name_len, desc, desc_len, nullptr, array, ap, &error);
    va_end(ap);
    KoJvmSymbol* cs = ko_jvm_intern(vm, class_name, class_len ? class_len : std::strlen(class_name), false);
    if (call && !cs) {
        free_call(call);
        call = nullptr;
        error = vm->oom;
    }
    if (!call) {
        if (completion)
            completion(t->result, error, data);
        return;
    }
    if (!ko_jvm_push_top_level(t, completion, data, options, nullptr)) {
        free_call(call);
        if (completion)
            completion(t->result, ko_jvm_new_known(vm, KO_K_StackOverflowError), data);
        return;
    }
    t->req_name = cs;
    t->req_mode = 1;
    t->req_done = static_after_class;
    t->req_data = call;
    t->req_pending = 1;
    ko_jvm_make_runnable(t);
    ko_jvm_run(vm);
}

void ko_jvm_invoke_virtual_async(KoJvmThread* t, std::uint32_t options, KoJvmObjectRec* receiver, const char* name,
                                 std::size_t name_len, const char* desc, std::size_t desc_len, KoJvmObjectRec* array,
                                 KoJvmCallCompletion completion, void* data, ...)
{
    KoJvmRec* vm = t->vm;
    va_list ap;
    va_start(ap, data);
    KoJvmObjectRec* error = nullptr;
    Call* call = prepare(t, name, name_len, desc, desc_len, receiver, array, ap, &error);
    va_end(ap);
    KoJvmMethodRec* m = nullptr;
    if (call && !receiver)
        error = ko_jvm_new_known(vm, KO_K_NullPointerException);
    else if (call)
        error = ko_jvm_resolve_method(vm, ko_jvm_class(receiver), call->name, call->desc, true, &m);
    if (error) {
        free_call(call);
        if (completion)
            completion(t->result, error, data);
        return;
    }
    if (t->flags & KO_JVM_THREAD_F_NATIVE) {
        // Asked by a native running on this thread: the call starts once the
        // native has returned and the thread waits for its completion.
        auto* d = static_cast<DeferredCall*>(ko_malloc(sizeof(DeferredCall)));
        if (!d || !ko_jvm_post(vm, start_deferred_call, d)) {
            ko_free(d);
            free_call(call);
            if (completion)
                completion(t->result, vm->oom, data);
            return;
        }
        *d = {t, options, call, m, completion, data};
        return;
    }
    start_virtual_call(t, options, call, m, completion, data);
}

namespace {

void start_virtual_call(KoJvmThread* t, std::uint32_t options, Call* call, KoJvmMethodRec* m,
                        KoJvmCallCompletion completion, void* data)
{
    KoJvmRec* vm = t->vm;
    if (!ko_jvm_push_top_level(t, completion, data, options, m)) {
        free_call(call);
        if (completion)
            completion(t->result, ko_jvm_new_known(vm, KO_K_StackOverflowError), data);
        return;
    }
    int r = start_call(t, call, m);
    if (r == KO_JVM_NEXT_BLOCK)
        return;
    if (t->top_count > 0 || t->frame)
        ko_jvm_make_runnable(t);
    ko_jvm_run(vm);
}

void start_deferred_call(void* p)
{
    DeferredCall d = *static_cast<DeferredCall*>(p);
    ko_free(p);
    start_virtual_call(d.t, d.options, d.call, d.m, d.completion, d.data);
}

} // namespace

// ---- Class requests --------------------------------------------------------------

namespace {

void wake_class_waiters(KoJvmClassRec* c)
{
    KoRef r = c->waiters;
    c->waiters = 0;
    while (KoJvmThread* w = ko_ptr<KoJvmThread>(r)) {
        r = w->class_wait_next;
        w->class_wait_next = 0;
        w->req_pending = 1;
        ko_jvm_make_runnable(w);
    }
}

int request_done(KoJvmThread* t)
{
    KoJvmContinuation done = t->req_done;
    void* data = t->req_data;
    t->req_done = nullptr;
    t->req_data = nullptr;
    return done ? done(t, data) : KO_JVM_NEXT_RUN;
}

int request_failed(KoJvmThread* t, KoJvmObjectRec* e)
{
    // The interpreter dispatches it as raised behind the instruction's code.
    if (!t->req_done && t->frame && t->pc)
        ++t->pc;
    t->pending = ko_ref(e);
    t->flags |= KO_JVM_THREAD_F_EXCEPTION;
    return request_done(t);
}

int clinit_done(KoJvmThread* t, void* data)
{
    KoJvmRec* vm = t->vm;
    // The request that started the initialiser: class requests of its code
    // used the thread's request fields meanwhile.
    ClinitRequest* saved = static_cast<ClinitRequest*>(data);
    KoJvmClassRec* c = saved->clazz;
    t->req_name = saved->name;
    t->req_mode = saved->mode;
    t->req_done = saved->done;
    t->req_data = saved->data;
    ko_free(saved);
    KoJvmObjectRec* e = nullptr;
    if (t->flags & KO_JVM_THREAD_F_TOP_EXCEPTION) {
        e = ko_obj(t->pending);
        t->pending = 0;
        t->flags &= ~KO_JVM_THREAD_F_TOP_EXCEPTION;
    }
    ko_jvm_pop_top_level(t);
    c->init_thread = 0;
    if (e) {
        c->state = KO_JVM_CLASS_ERRONEOUS;
        wake_class_waiters(c);
        KoJvmClassRec* error = ko_cls(ko_jvm_intern_cstr(vm, "java/lang/Error", false)->clazz);
        if (!(error && ko_jvm_is_subclass(vm, ko_jvm_class(e), error))) {
            int mark = ko_jvm_push_handle(vm, &e);
            KoJvmObjectRec* w = ko_jvm_new_known(vm, KO_K_ExceptionInInitializerError);
            ko_jvm_pop_handles(vm, mark);
            if (w != vm->oom && vm->f_eiie_exception)
                ko_jvm_set_ref_field(vm, w, vm->f_eiie_exception, e);
            e = w;
        }
        return request_failed(t, e);
    }
    c->state = KO_JVM_CLASS_INITIALIZED;
    wake_class_waiters(c);
    return run_class_request(t);
}

// ---- Loading states ---------------------------------------------------------------

enum { kLoadDone, kLoadBlocked, kLoadFailed };

bool load_push(KoJvmThread* t, KoJvmSymbol* s)
{
    if (t->load_count == t->load_capacity) {
        int cap = t->load_capacity + 10;
        auto* n = static_cast<KoJvmSymbol**>(ko_realloc(t->load_stack, 0, sizeof(KoJvmSymbol*) * cap));
        if (!n)
            return false;
        t->load_stack = n;
        t->load_capacity = cap;
    }
    t->load_stack[t->load_count++] = s;
    return true;
}

bool on_load_stack(KoJvmThread* t, KoJvmSymbol* s)
{
    for (int i = 0; i < t->load_count; ++i)
        if (t->load_stack[i] == s)
            return true;
    return false;
}

// The class loader's completion: during its call the loading goes on at once,
// later it re-queues the thread.
void class_bytes_arrived(unsigned char* bytes, std::size_t length, int flags, void* data)
{
    KoJvmThread* t = static_cast<KoJvmThread*>(data);
    t->load_bytes = bytes;
    t->load_length = length;
    t->load_flags = flags;
    t->load_arrived = 1;
    if (t->load_in_call)
        return;
    t->req_pending = 1;
    ko_jvm_make_runnable(t);
    ko_jvm_run(t->vm);
}

// Gives up the classes this thread had bound but not linked; their waiters retry.
void load_abandon(KoJvmThread* t)
{
    KoJvmRec* vm = t->vm;
    for (int i = t->load_count - 1; i >= 0; --i) {
        KoJvmSymbol* s = t->load_stack[i];
        KoJvmClassRec* c = ko_cls(s->clazz);
        if (c && c->state == KO_JVM_CLASS_LOADED && c->init_thread == ko_ref(t)) {
            s->clazz = 0;
            c->init_thread = 0;
            wake_class_waiters(c);
            ko_jvm_release_class(vm, c);
        }
    }
    t->load_count = 0;
}

// Pushes a supertype still to load; a circle gives ClassCircularityError.
int need(KoJvmThread* t, KoJvmSymbol* s, KoJvmObjectRec** error)
{
    KoJvmClassRec* c = ko_cls(s->clazz);
    if (on_load_stack(t, s) || (c && c->state == KO_JVM_CLASS_LOADED && c->init_thread == ko_ref(t))) {
        *error = ko_jvm_new_known(t->vm, KO_K_ClassCircularityError);
        return kLoadFailed;
    }
    if (!load_push(t, s)) {
        *error = t->vm->oom;
        return kLoadFailed;
    }
    return -1; // go on with the new top
}

// Loads and links the requested class with its supertypes, one symbol of the
// load stack at a time; waits for class bytes and for other threads' loads.
int load_states(KoJvmThread* t, KoJvmObjectRec** error)
{
    KoJvmRec* vm = t->vm;
    if (t->load_count == 0) {
        // The requested symbol, then an array's element types down to the base.
        KoJvmSymbol* s = t->req_name;
        for (;;) {
            if (!load_push(t, s)) {
                *error = vm->oom;
                return kLoadFailed;
            }
            const char* n = ko_sym_bytes(s);
            std::size_t len = ko_sym_len(s);
            if (len < 2 || n[0] != '[')
                break;
            if (n[1] == 'L') {
                if (len < 4 || n[len - 1] != ';')
                    ko_fatal("Invalid base array type %.*s", int(len), n);
                s = ko_jvm_intern(vm, n + 2, len - 3, false);
            } else if (n[1] == '[') {
                s = ko_jvm_intern(vm, n + 1, len - 1, false);
            } else {
                if (len != 2 || !std::strchr("BCDFIJSZ", n[1]))
                    ko_fatal("Invalid base array type %.*s", int(len), n);
                break;
            }
            if (!s) {
                *error = vm->oom;
                return kLoadFailed;
            }
        }
    }
    while (t->load_count > 0) {
        KoJvmSymbol* s = t->load_stack[t->load_count - 1];
        KoJvmClassRec* c = ko_cls(s->clazz);
        if (!c) {
            if (ko_sym_bytes(s)[0] == '[') {
                if (!ko_jvm_array_class(vm, s)) {
                    *error = vm->oom;
                    return kLoadFailed;
                }
                --t->load_count;
                continue;
            }
            if (!t->load_arrived) {
                if (t->load_waiting)
                    return kLoadBlocked;
                std::size_t len = ko_sym_len(s);
                ko_buffer_clear(&vm->path);
                if (!ko_buffer_append(&vm->path, ko_sym_bytes(s), len) || !ko_buffer_append(&vm->path, ".class", 6) ||
                    !ko_buffer_append(&vm->path, "", 1)) {
                    *error = vm->oom;
                    return kLoadFailed;
                }
                t->load_waiting = 1;
                t->load_in_call = 1;
                vm->params.loader(reinterpret_cast<const char*>(ko_buffer_data(&vm->path)), len + 6, class_bytes_arrived,
                                  t, vm->params.loader_data);
                t->load_in_call = 0;
                if (!t->load_arrived)
                    return kLoadBlocked;
            }
            t->load_waiting = 0;
            t->load_arrived = 0;
            if (ko_cls(s->clazz)) {
                // Bound by another thread meanwhile.
                if (t->load_bytes && !(t->load_flags & 1))
                    ko_free(t->load_bytes);
                continue;
            }
            c = ko_jvm_class_from_bytes(vm, s, t->load_bytes, t->load_length, t->load_flags, error);
            t->load_bytes = nullptr;
            if (!c)
                return kLoadFailed;
            // Bound in state 0: other threads that need it wait for this one.
            c->init_thread = ko_ref(t);
            s->clazz = ko_ref(c);
            continue;
        }
        if (c->state != KO_JVM_CLASS_LOADED) {
            --t->load_count;
            continue;
        }
        if (c->init_thread != ko_ref(t)) {
            t->class_wait_next = c->waiters;
            c->waiters = ko_ref(t);
            return kLoadBlocked;
        }
        int r = -2;
        if (c->super_name) {
            KoJvmSymbol* ss = ko_sym(c->super_name);
            KoJvmClassRec* sc = ko_cls(ss->clazz);
            if (!sc || sc->state == KO_JVM_CLASS_LOADED)
                r = need(t, ss, error);
        }
        KoRef* ifs = ko_ptr<KoRef>(c->interfaces);
        for (unsigned i = 0; r == -2 && i < c->interface_count; ++i) {
            KoJvmClassRec* ic = ko_cls(ko_sym(ifs[i])->clazz);
            if (!ic || ic->state == KO_JVM_CLASS_LOADED)
                r = need(t, ko_sym(ifs[i]), error);
        }
        if (r == kLoadFailed)
            return r;
        if (r == -1)
            continue;
        // Everything it needs is there: link it.
        KoJvmObjectRec* e = ko_jvm_link_class(vm, c);
        c->init_thread = 0;
        --t->load_count;
        if (e) {
            s->clazz = 0;
            wake_class_waiters(c);
            ko_jvm_release_class(vm, c);
            *error = e;
            return kLoadFailed;
        }
        wake_class_waiters(c);
    }
    return kLoadDone;
}

int run_class_request(KoJvmThread* t)
{
    KoJvmRec* vm = t->vm;
    KoJvmSymbol* name = t->req_name;
    KoJvmClassRec* c = ko_cls(name->clazz);
    if (!c || c->state == KO_JVM_CLASS_LOADED || t->load_count > 0) {
        KoJvmObjectRec* e = nullptr;
        int r = load_states(t, &e);
        if (r == kLoadBlocked)
            return KO_JVM_NEXT_BLOCK;
        if (r == kLoadFailed) {
            load_abandon(t);
            return request_failed(t, e);
        }
        c = ko_cls(name->clazz);
        if (!c)
            return request_failed(t, vm->oom);
    }
    if (t->req_mode == 0)
        return request_done(t);
    for (;;) {
        KoJvmClassRec* chain[256];
        int n = 0;
        for (KoJvmClassRec* k = c; k && n < 256; k = ko_jvm_superclass(k))
            chain[n++] = k;
        KoJvmClassRec* todo = nullptr;
        for (int i = n - 1; i >= 0; --i) {
            KoJvmClassRec* k = chain[i];
            if (k->state == KO_JVM_CLASS_INITIALIZED)
                continue;
            if ((k->state == KO_JVM_CLASS_CLAIMED || k->state == KO_JVM_CLASS_INITIALIZING) &&
                k->init_thread == ko_ref(t))
                continue;
            todo = k;
            break;
        }
        if (!todo)
            return request_done(t);
        if (todo->state == KO_JVM_CLASS_ERRONEOUS) {
            KoJvmSymbol* cn = ko_jvm_class_name(todo);
            char msg[512];
            ko_snprintf(msg, sizeof msg, "%.*s", int(ko_sym_len(cn)), ko_sym_bytes(cn));
            return request_failed(t, ko_jvm_new_exception(vm, nullptr, vm->known[KO_K_NoClassDefFoundError], msg));
        }
        if (todo->state == KO_JVM_CLASS_CLAIMED || todo->state == KO_JVM_CLASS_INITIALIZING) {
            t->class_wait_next = todo->waiters;
            todo->waiters = ko_ref(t);
            return KO_JVM_NEXT_BLOCK;
        }
        todo->state = KO_JVM_CLASS_CLAIMED;
        todo->init_thread = ko_ref(t);
        KoJvmMethodRec* m = ko_jvm_lookup_method(vm, todo, vm->s_clinit, vm->s_void_desc, false);
        if (!m) {
            todo->state = KO_JVM_CLASS_INITIALIZED;
            todo->init_thread = 0;
            wake_class_waiters(todo);
            continue;
        }
        todo->state = KO_JVM_CLASS_INITIALIZING;
        if (!ko_jvm_push_top_level(t, nullptr, nullptr, 0, m)) {
            todo->state = KO_JVM_CLASS_LINKED;
            todo->init_thread = 0;
            return request_failed(t, ko_jvm_new_known(vm, KO_K_StackOverflowError));
        }
        auto* saved = static_cast<ClinitRequest*>(ko_malloc(sizeof(ClinitRequest)));
        if (!saved) {
            ko_jvm_pop_top_level(t);
            todo->state = KO_JVM_CLASS_LINKED;
            todo->init_thread = 0;
            return request_failed(t, vm->oom);
        }
        *saved = {todo, t->req_name, t->req_mode, t->req_done, t->req_data};
        ko_jvm_thread_push_cont(t, clinit_done, saved);
        if (!ko_jvm_push_method_frame(t, m, nullptr, nullptr)) {
            --t->cont_count;
            ko_free(saved);
            ko_jvm_pop_top_level(t);
            todo->state = KO_JVM_CLASS_LINKED;
            todo->init_thread = 0;
            return request_failed(t, ko_jvm_new_known(vm, KO_K_StackOverflowError));
        }
        return KO_JVM_NEXT_RUN;
    }
}

struct AsyncLoad {
    KoJvmSymbol* name;
    KoJvmLoadCompletion fn;
    void* data;
    // The native call that asked, if any: initialisers may run natives meanwhile.
    KoJvmMethodRec* native_method;
    KoJvmCat1ValueUnion* native_args;
};

int async_loaded(KoJvmThread* t, void* data)
{
    AsyncLoad a = *static_cast<AsyncLoad*>(data);
    ko_free(data);
    KoJvmClassRec* c = nullptr;
    KoJvmObjectRec* e = nullptr;
    if (t->flags & KO_JVM_THREAD_F_EXCEPTION) {
        // The requester gets the exception (it is no longer pending here).
        e = ko_obj(t->pending);
        t->flags &= ~KO_JVM_THREAD_F_EXCEPTION;
        t->pending = 0;
    } else {
        c = ko_cls(a.name->clazz);
    }
    t->native_method = a.native_method;
    t->native_args = a.native_args;
    a.fn(c, e, a.data);
    return KO_JVM_NEXT_RUN;
}

int run_cont(KoJvmThread* t)
{
    if (t->cont_count == 0)
        ko_fatal("%s:%d: Unreachable code reached", "toolkit/jvm/kojvm_thread", 590);
    KoJvmContinuationEntry e = t->conts[--t->cont_count];
    return e.fn(t, e.data);
}

// Runs when the VM task picked this thread: one turn, up to the end of its
// slice or until it blocks or has nothing left to do.
int thread_state(KoFsm*, KoFsmTask*, void*, void* data)
{
    KoJvmThread* t = static_cast<KoJvmThread*>(data);
    KoJvmRec* vm = t->vm;
    for (;;) {
        int next = KO_JVM_NEXT_RUN;
        if (t->req_pending) {
            t->req_pending = 0;
            next = run_class_request(t);
        } else if (t->cont_ready) {
            t->cont_ready = 0;
            next = run_cont(t);
        } else if (!t->frame) {
            next = t->top_count > 0 && t->cont_count > 0 ? run_cont(t) : KO_JVM_NEXT_IDLE;
        } else {
            int r = ko_jvm_interpret(vm, t);
            switch (r) {
            case 0:
                end_turn(vm, t);
                return KO_FSM_WAIT;
            case 1:
                next = KO_JVM_NEXT_BLOCK;
                break;
            case 2:
                t->flags |= KO_JVM_THREAD_F_SUSPENDED;
                next = KO_JVM_NEXT_BLOCK;
                break;
            case 3:
                next = run_cont(t);
                break;
            case 4:
                next = run_class_request(t);
                break;
            default:
                ko_fatal("%s:%d: Unreachable code reached", "toolkit/jvm/kojvm_thread", 630);
            }
        }
        if (t->finished) {
            leave_run_ring(vm, t, true);
            end_turn(vm, t);
            return KO_FSM_DONE;
        }
        if (next == KO_JVM_NEXT_BLOCK || next == KO_JVM_NEXT_IDLE) {
            // A class request made meanwhile (by a native of this thread) runs first.
            if (t->cont_ready || t->req_pending)
                continue;
            leave_run_ring(vm, t, false);
            end_turn(vm, t);
            return KO_FSM_WAIT;
        }
    }
}

} // namespace

// ---- Monitors ------------------------------------------------------------------

namespace {

KoJvmThread* thr(KoRef r) { return ko_ptr<KoJvmThread>(r); }

void ring_remove(KoJvmObjectRec* o, KoJvmThread* t)
{
    KoJvmThread* head = thr(o->monitor_queue);
    if (!head)
        return;
    if (t->mon_next == ko_ref(t)) {
        o->monitor_queue = 0;
    } else {
        thr(t->mon_prev)->mon_next = t->mon_next;
        thr(t->mon_next)->mon_prev = t->mon_prev;
        if (head == t)
            o->monitor_queue = t->mon_next;
    }
    t->mon_next = t->mon_prev = 0;
    t->blocked_on = 0;
}

// Inserts t before 'before' (null: at the end of the ring).
void ring_insert(KoJvmObjectRec* o, KoJvmThread* t, KoJvmThread* before)
{
    KoJvmThread* head = thr(o->monitor_queue);
    t->blocked_on = ko_ref(o);
    if (!head) {
        t->mon_next = t->mon_prev = ko_ref(t);
        o->monitor_queue = ko_ref(t);
        return;
    }
    KoJvmThread* at = before ? before : head;
    KoJvmThread* prev = thr(at->mon_prev);
    t->mon_next = ko_ref(at);
    t->mon_prev = ko_ref(prev);
    prev->mon_next = ko_ref(t);
    at->mon_prev = ko_ref(t);
    if (before == head)
        o->monitor_queue = ko_ref(t);
}

KoJvmThread* first_waiter(KoJvmObjectRec* o)
{
    KoJvmThread* head = thr(o->monitor_queue);
    if (!head)
        return nullptr;
    KoJvmThread* t = head;
    do {
        if (t->flags & KO_JVM_THREAD_F_WAIT_SET)
            return t;
        t = thr(t->mon_next);
    } while (t != head);
    return nullptr;
}

KoJvmThread* first_contender(KoJvmObjectRec* o)
{
    KoJvmThread* head = thr(o->monitor_queue);
    if (!head || (head->flags & KO_JVM_THREAD_F_WAIT_SET))
        return nullptr;
    return head;
}

// Makes t the owner; a thread back from wait() gets its count and its wait completed.
void grant(KoJvmObjectRec* o, KoJvmThread* t)
{
    o->monitor_owner = ko_ref(t);
    if (t->flags & KO_JVM_THREAD_F_IN_WAIT) {
        t->flags &= ~KO_JVM_THREAD_F_IN_WAIT;
        o->monitor_count = t->saved_count ? t->saved_count : 1;
        ko_jvm_native_complete(nullptr, nullptr, t);
    } else {
        o->monitor_count = 1;
        ko_jvm_make_runnable(t);
    }
}

void release(KoJvmObjectRec* o)
{
    KoJvmThread* next = first_contender(o);
    if (!next) {
        o->monitor_owner = 0;
        o->monitor_count = 0;
        return;
    }
    ring_remove(o, next);
    grant(o, next);
}

} // namespace

bool ko_jvm_monitor_enter(KoJvmThread* t, KoJvmObjectRec* o)
{
    if (o->monitor_owner == ko_ref(t)) {
        if (o->monitor_count == 255)
            return false;
        ++o->monitor_count;
        return true;
    }
    if (!o->monitor_owner) {
        o->monitor_owner = ko_ref(t);
        o->monitor_count = 1;
        return true;
    }
    ring_insert(o, t, first_waiter(o));
    return true;
}

bool ko_jvm_monitor_exit(KoJvmThread* t, KoJvmObjectRec* o)
{
    if (o->monitor_owner == ko_ref(t)) {
        if (--o->monitor_count == 0)
            release(o);
        return true;
    }
    if (t->blocked_on == ko_ref(o)) {
        ring_remove(o, t);
        return true;
    }
    return false;
}

bool ko_jvm_monitor_wait(KoJvmThread* t, KoJvmObjectRec* o)
{
    if (o->monitor_owner != ko_ref(t) || t->blocked_on)
        return false;
    // The whole recursion count is given up and taken back afterwards.
    ++t->wait_seq;
    t->saved_count = o->monitor_count;
    o->monitor_count = 0;
    release(o);
    t->flags |= KO_JVM_THREAD_F_WAIT_SET | KO_JVM_THREAD_F_IN_WAIT;
    ring_insert(o, t, nullptr);
    return true;
}

bool ko_jvm_monitor_notify(KoJvmThread* t, KoJvmObjectRec* o, bool all, bool check_owner)
{
    if (check_owner && o->monitor_owner != ko_ref(t))
        return false;
    while (KoJvmThread* w = first_waiter(o)) {
        ring_remove(o, w);
        w->flags &= ~KO_JVM_THREAD_F_WAIT_SET;
        if (!o->monitor_owner)
            grant(o, w);
        else
            ring_insert(o, w, first_waiter(o));
        if (!all)
            break;
    }
    return true;
}

// ---- Thread start and sleep ----------------------------------------------------------

namespace {
void thread_run_done(KoJvmCat1ValueUnion*, KoJvmObjectRec*, void* data)
{
    KoJvmThread* t = static_cast<KoJvmThread*>(data);
    KoJvmRec* vm = t->vm;
    KoJvmObjectRec* obj = ko_obj(t->thread_object);
    if (obj) {
        if (KoJvmFieldRec* f = ko_jvm_find_field(vm, ko_jvm_class(obj), "alive", "Z"))
            ko_jvm_set_int_field(vm, obj, f, 0);
        ko_jvm_monitor_notify(t, obj, true, false);
    }
    t->finished = 1;
}

enum { kTimerSleep, kTimerWait };

KoJvmTimer* arm_timer(KoJvmThread* t, std::int64_t millis, int kind);

// A timer of the embedding fired (1) or could not be kept (0).
void timer_fired(int fired, void* data)
{
    KoJvmTimer* tm = static_cast<KoJvmTimer*>(data);
    KoJvmRec* vm = tm->vm;
    KoJvmThread* t = tm->thread;
    if (vm) {
        for (KoJvmTimer** p = &vm->timers; *p; p = &(*p)->next) {
            if (*p == tm) {
                *p = tm->next;
                break;
            }
        }
    }
    bool current = t && t->wait_seq == tm->seq;
    int kind = tm->kind;
    ko_free(tm);
    if (!vm || !current)
        return; // the VM, the thread or its wait is gone
    if (kind == kTimerSleep) {
        if (fired)
            ko_jvm_native_complete(nullptr, nullptr, t);
        else
            ko_jvm_native_complete(nullptr, ko_jvm_new_known(vm, KO_K_InterruptedException), t);
        return;
    }
    if (!fired || !(t->flags & KO_JVM_THREAD_F_WAIT_SET))
        return; // notified already, or the wait goes on without a limit
    KoJvmObjectRec* o = ko_obj(t->blocked_on);
    if (!o)
        return;
    // As if notified: out of the wait set, back as a contender for the monitor.
    ring_remove(o, t);
    t->flags &= ~KO_JVM_THREAD_F_WAIT_SET;
    if (!o->monitor_owner)
        grant(o, t);
    else
        ring_insert(o, t, first_waiter(o));
    ko_jvm_run(vm);
}

KoJvmTimer* arm_timer(KoJvmThread* t, std::int64_t millis, int kind)
{
    KoJvmRec* vm = t->vm;
    KoJvmTimer* tm = static_cast<KoJvmTimer*>(ko_calloc(1, sizeof(KoJvmTimer)));
    if (!tm)
        return nullptr;
    tm->vm = vm;
    tm->thread = t;
    tm->seq = t->wait_seq;
    tm->kind = static_cast<std::uint8_t>(kind);
    tm->next = vm->timers;
    vm->timers = tm;
    std::int64_t us = millis > INT64_MAX / 1000 ? INT64_MAX : millis * 1000;
    vm->params.timer(us, timer_fired, tm);
    return tm;
}
}

void ko_jvm_orphan_timers(KoJvmRec* vm)
{
    // The embedding still calls them; they find no VM and only free themselves.
    while (KoJvmTimer* tm = vm->timers) {
        vm->timers = tm->next;
        tm->vm = nullptr;
        tm->thread = nullptr;
    }
}

void ko_jvm_wait_timeout(KoJvmThread* t, std::int64_t millis)
{
    if (t->vm->params.timer && millis > 0)
        arm_timer(t, millis, kTimerWait);
}

void ko_jvm_start_thread_object(KoJvmRec* vm, KoJvmThread*, KoJvmObjectRec* obj)
{
    KoJvmThread* t = ko_jvm_create_thread(vm, 0, obj);
    if (!t)
        return;
    if (KoJvmFieldRec* f = ko_jvm_find_field(vm, ko_jvm_class(obj), "alive", "Z"))
        ko_jvm_set_int_field(vm, obj, f, 1);
    ko_jvm_invoke_virtual_async(t, 1, obj, "run", 0, "()V", 0, nullptr, thread_run_done, t);
}

void ko_jvm_thread_sleep(KoJvmThread* t, std::int64_t millis)
{
    KoJvmRec* vm = t->vm;
    ++t->wait_seq;
    if (!vm->params.timer || millis <= 0 || !arm_timer(t, millis, kTimerSleep))
        ko_jvm_native_complete(nullptr, nullptr, t);
}

void ko_jvm_load_class_async(KoJvmThread* t, const char* name, std::size_t length, bool initialise,
                             KoJvmLoadCompletion fn, void* data)
{
    KoJvmRec* vm = t->vm;
    KoJvmSymbol* s = ko_jvm_intern(vm, name, length ? length : std::strlen(name), false);
    KoJvmClassRec* c = s ? ko_cls(s->clazz) : nullptr;
    if (c && (initialise ? c->state == KO_JVM_CLASS_INITIALIZED : c->state != KO_JVM_CLASS_LOADED)) {
        fn(c, nullptr, data);
        return;
    }
    AsyncLoad* a = s ? static_cast<AsyncLoad*>(ko_malloc(sizeof(AsyncLoad))) : nullptr;
    if (!a) {
        fn(nullptr, vm->oom, data);
        return;
    }
    *a = {s, fn, data, t->native_method, t->native_args};
    // Runs on the thread: at once when it is idle, after the current native
    // call when a native of this thread asks.
    t->req_name = s;
    t->req_mode = initialise ? 1 : 0;
    t->req_done = async_loaded;
    t->req_data = a;
    t->req_pending = 1;
    ko_jvm_make_runnable(t);
    ko_jvm_run(vm);
}
