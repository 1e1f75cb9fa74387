// Records and helpers shared by the VM's own source files.
#pragma once

#include "toolkit/jvm/kojvm.h"

#include <cstring>

// Well-known classes, taken after the core classes are defined.
enum KoJvmKnown {
    KO_K_Throwable,
    KO_K_ClassCircularityError,
    KO_K_ClassFormatError,
    KO_K_UnsupportedClassVersionError,
    KO_K_ExceptionInInitializerError,
    KO_K_IncompatibleClassChangeError,
    KO_K_AbstractMethodError,
    KO_K_IllegalAccessError,
    KO_K_InstantiationError,
    KO_K_NoSuchFieldError,
    KO_K_NoSuchMethodError,
    KO_K_NoClassDefFoundError,
    KO_K_UnsatisfiedLinkError,
    KO_K_VerifyError,
    KO_K_InternalError,
    KO_K_OutOfMemoryError,
    KO_K_StackOverflowError,
    KO_K_UnknownError,
    KO_K_ArithmeticException,
    KO_K_ArrayStoreException,
    KO_K_ClassCastException,
    KO_K_IllegalThreadStateException,
    KO_K_NumberFormatException,
    KO_K_IllegalMonitorStateException,
    KO_K_IllegalStateException,
    KO_K_ArrayIndexOutOfBoundsException,
    KO_K_StringIndexOutOfBoundsException,
    KO_K_NegativeArraySizeException,
    KO_K_NullPointerException,
    KO_K_SecurityException,
    KO_K_UnsupportedOperationException,
    KO_K_ClassNotFoundException,
    KO_K_CloneNotSupportedException,
    KO_K_IllegalAccessException,
    KO_K_InstantiationException,
    KO_K_InterruptedException,
    KO_K_NoSuchFieldException,
    KO_K_NoSuchMethodException,
    KO_K_String,
    KO_K_Class,
    KO_K_COUNT
};
extern const char* const ko_jvm_known_names[KO_K_COUNT];

struct KoJvmGeneration {
    unsigned char* start;
    unsigned char* alloc;
    std::uint32_t free;
    std::uint32_t remembered_count;
    std::uint32_t pending;
    std::uint32_t objects;
    std::uint64_t bytes;
    std::uint32_t collections;
    std::uint32_t live_objects;
    std::uint64_t live_bytes;
    bool overflow; // the remembered set could not grow: older objects are scanned whole
};

// Slots that C code keeps across a collection (a pending call's arguments):
// the slots whose tag is 1 hold references.
struct KoJvmRootBlock {
    KoJvmRootBlock* next;
    KoJvmRootBlock* prev;
    KoJvmCat1ValueUnion* values;
    const std::uint8_t* tags;
    const int* count;
    void (*release)(KoJvmRootBlock* block); // frees the owner when the VM goes first
};
void ko_jvm_add_root_block(KoJvmRec* vm, KoJvmRootBlock* block);
void ko_jvm_remove_root_block(KoJvmRec* vm, KoJvmRootBlock* block);

struct KoJvmNativeEntry {
    void* link[2];
    char* key;
    KoJvmNative fn;
};

struct KoJvmTop {
    KoJvmCallCompletion completion;
    void* data;
    std::uint32_t options;
    KoJvmMethodRec* method;
    KoJvmCat1ValueUnion* args_base; // receiver or first argument slot
};

typedef int (*KoJvmContinuation)(KoJvmThread* thread, void* data);
enum { KO_JVM_NEXT_RUN = 0, KO_JVM_NEXT_BLOCK = 1, KO_JVM_NEXT_IDLE = 2 };

struct KoJvmContinuationEntry {
    KoJvmContinuation fn;
    void* data;
};

// The VM's rings of threads: runnable, blocked and suspended.
enum { KO_JVM_RING_NONE = 0, KO_JVM_RING_RUN = 1, KO_JVM_RING_BLOCKED = 2, KO_JVM_RING_SUSPENDED = 3 };

struct KoJvmThread {
    KoJvmRec* vm;
    KoRef thread_object;
    KoJvmThread* all_next;
    KoJvmThread* ring_next; // in the ring named by 'ring'
    KoJvmThread* ring_prev;
    std::uint8_t ring;
    std::uint32_t wait_seq; // counts waits and sleeps; a timer belongs to one of them
    KoRef mon_next;
    KoRef mon_prev;
    KoRef blocked_on;
    KoJvmContinuationEntry* conts;
    int cont_count;
    int cont_capacity;
    KoFsmTask task;
    KoJvmTop* tops;
    int top_count;
    int top_capacity;
    std::uint32_t options;
    std::uint32_t flags;
    // class request
    KoJvmSymbol* req_name;
    std::uint8_t req_mode;
    std::uint8_t runnable;
    std::uint8_t finished;
    std::uint8_t saved_instruction;
    KoJvmContinuation req_done;
    void* req_data;
    KoRef class_wait_next; // next thread waiting for the same class
    KoRef pending;
    KoJvmCat1ValueUnion* frame;
    KoJvmCat1ValueUnion* sp;
    const std::uint8_t* pc;
    KoJvmCat1ValueUnion* stack_base;
    std::uint8_t* tag_base;
    KoJvmCat1ValueUnion* stack_limit;
    std::uint32_t stack_bytes;
    KoJvmMethodRec* native_method;
    KoJvmCat1ValueUnion* native_args;
    KoJvmCat1ValueUnion result[2];
    std::uint8_t saved_count; // monitor count kept across wait
    std::uint8_t cont_ready;   // run the top continuation before interpreting
    std::uint8_t req_pending;  // (re)run the class request before interpreting
    std::uint8_t top_native;   // a top-level native call has not completed yet
    KoRef presync;             // synchronized method whose monitor is already held
    // loading: symbols still to load, the bytes of the top one once they arrived
    KoJvmSymbol** load_stack;
    int load_count;
    int load_capacity;
    std::uint8_t load_waiting; // the class loader has the request
    std::uint8_t load_in_call; // inside the class loader's call
    std::uint8_t load_arrived;
    int load_flags;
    unsigned char* load_bytes;
    std::size_t load_length;
};

// A timer armed through the embedding's hook for a sleep or a timed wait.
struct KoJvmTimer {
    KoJvmTimer* next;
    KoJvmRec* vm;        // null once the VM is gone
    KoJvmThread* thread; // null once the thread is gone
    std::uint32_t seq;   // the thread's wait_seq when armed
    std::uint8_t kind;
};

struct KoJvmRec {
    KoJvmParams params;
    KoHash* registry;
    KoJvmNative* native_fns;
    std::uint32_t native_count;
    std::uint32_t native_capacity;
    KoBuffer path;
    KoFsm fsm;
    KoFsmTask vm_task;    // picks the current thread from the run ring
    KoFsmQueue vm_wait;   // the VM task while it waits
    bool vm_task_waiting;
    bool vm_task_done;
    KoJvmThread* current;
    KoJvmThread* rings[4]; // heads, by KO_JVM_RING_*
    KoJvmTimer* timers;
    int runnable_count;
    bool exit_requested;
    void (*exit_fn)(void*);
    void* exit_data;
    KoJvmThread* threads;
    KoRef thread_group;
    KoRef static_classes;
    KoRef parsing;
    std::uint32_t class_counter;
    KoJvmObjectRec** handles[256];
    int handle_count;
    KoJvmGlobalRef* globals;
    unsigned char* heap;
    std::uint32_t heap_bytes;
    std::uint32_t area_size;
    std::uint32_t generation_count;
    KoJvmGeneration gens[9];
    KoRef symbols[256];
    // well-known symbols
    KoJvmSymbol* s_prim[8];  // B C D F I J S Z
    KoJvmSymbol* s_parr[8];  // [B [C [D [F [I [J [S [Z
    KoJvmSymbol* s_init;
    KoJvmSymbol* s_clinit;
    KoJvmSymbol* s_finalize;
    KoJvmSymbol* s_void_desc;
    KoJvmSymbol* s_Object;
    KoJvmSymbol* s_Cloneable;
    KoJvmSymbol* s_Serializable;
    KoJvmSymbol* s_ThreadGroup;
    KoJvmSymbol* s_Thread;
    KoJvmSymbol* s_String_desc;
    KoJvmSymbol* s_wrappers[9]; // Boolean Byte Character Short Integer Long Float Double Void
    KoJvmClassRec* known[KO_K_COUNT];
    KoJvmClassRec* prim_arrays[8]; // [B [C [D [F [I [J [S [Z
    KoJvmFieldRec* f_class_native;
    KoJvmFieldRec* f_thread_native;
    std::uint32_t string_chars_offset;
    KoJvmFieldRec* f_throwable_raw;
    KoJvmFieldRec* f_throwable_message;
    KoJvmFieldRec* f_eiie_exception;
    KoJvmObjectRec* oom;
    KoHandle* std_in;
    KoHandle* std_out;
    KoHandle* std_err;
    bool trace_calls;
    bool trace_instructions;
    bool core_defined;
    KoJvmMethodRec* m_uncaught;
    const std::uint8_t* return_code; // one 0xB1 byte in the arena
    // collector
    bool gc_running;
    bool gc_wanted;        // an allocation outside a safe point used older space
    bool gc_full;          // collect every generation at the next safe point
    std::int32_t gc_request; // older generation that copying asked for, -1 for none
    std::uint32_t gc_moved_objects;
    std::uint32_t gc_moved_bytes;
    bool gc_debug;
    std::uint32_t hash_seed;
    KoJvmRootBlock* root_blocks;
    KoJvmThread* finalizer;
    std::uint32_t finalizable; // objects queued for their finaliser
    // Collection pauses in microseconds, when asked for (ko_jvm_record_pauses).
    std::uint32_t* pauses;
    std::uint32_t pause_count;
    std::uint32_t pause_capacity;
    // With a limit, threads are suspended once the VM ran that many instructions.
    bool instruction_limited;
    std::int64_t instructions_left;
    // Time slices (ko_jvm_set_time_slice): a run that lasted slice_us pauses
    // the threads until ko_jvm_resume.
    std::int64_t slice_us;
    std::int64_t slice_deadline_us;
    bool paused;
    void (*pause_fn)(void*);
    void* pause_data;
};

// Symbols
inline bool ko_sym_is(const KoJvmSymbol* s, const char* text)
{
    std::size_t n = std::strlen(text);
    return ko_sym_len(s) == n && std::memcmp(ko_sym_bytes(s), text, n) == 0;
}
inline KoJvmSymbol* ko_sym(KoRef r) { return ko_ptr<KoJvmSymbol>(r); }

// Heap helpers
inline std::uint32_t ko_jvm_element_offset(const KoJvmClassRec* array_class) { return array_class->instance_size; }
inline unsigned char* ko_jvm_elements(KoJvmObjectRec* a)
{
    return reinterpret_cast<unsigned char*>(a) + ko_jvm_class(a)->instance_size;
}
inline std::uint32_t ko_jvm_length(KoJvmObjectRec* a) { return reinterpret_cast<KoJvmArrayRec*>(a)->length; }
inline KoJvmObjectRec* ko_obj(KoRef r) { return ko_ptr<KoJvmObjectRec>(r); }
inline KoJvmClassRec* ko_cls(KoRef r) { return ko_ptr<KoJvmClassRec>(r); }
inline KoJvmMethodRec* ko_meth(KoRef r) { return ko_ptr<KoJvmMethodRec>(r); }
inline KoJvmConst* ko_pool(KoJvmClassRec* c) { return ko_ptr<KoJvmConst>(c->pool); }
inline KoJvmMethodRec* ko_methods(KoJvmClassRec* c) { return ko_ptr<KoJvmMethodRec>(c->methods); }
inline KoJvmFieldRec* ko_fields(KoJvmClassRec* c) { return ko_ptr<KoJvmFieldRec>(c->fields); }
inline std::uint8_t* ko_tag(KoJvmThread* t, KoJvmCat1ValueUnion* slot) { return t->tag_base + (slot - t->stack_base); }

KoJvmObjectRec* ko_jvm_new_known(KoJvmRec* vm, int known);
void ko_jvm_store_ref(KoJvmRec* vm, KoJvmObjectRec* holder, KoRef* slot, KoJvmObjectRec* value);

// Collector (kojvm_gc)
// Bytes an object takes in the heap.
inline std::uint32_t ko_jvm_object_size(const KoJvmObjectRec* o)
{
    const KoJvmClassRec* c = ko_ptr<KoJvmClassRec>(o->classp);
    std::uint64_t n = c->instance_size;
    if (c->vm_flags & KO_JVM_CLASS_F_ARRAY)
        n += std::uint64_t(c->element_size) * reinterpret_cast<const KoJvmArrayRec*>(o)->length;
    return static_cast<std::uint32_t>((n + 3) & ~3ull);
}
// Collects generation g (and older ones when copying asks for it) until g has
// at least 'need' free bytes or nothing more can be done. Only called where
// every live reference is in a root: a thread's tagged stack slots, handles,
// global references, root blocks, classes and symbols.
void ko_jvm_collect(KoJvmRec* vm, std::uint32_t g, std::uint32_t need);
// At a safe point: the collection that an allocation or Runtime.gc asked for.
void ko_jvm_collect_requested(KoJvmRec* vm);

// A safe point before an allocation of 'need' bytes: collects generation 0
// when it is short of room or an earlier allocation asked for a collection.
inline void ko_jvm_safepoint(KoJvmRec* vm, std::uint32_t need)
{
    if (vm->gc_wanted)
        ko_jvm_collect_requested(vm);
    if (vm->gens[0].free < need + 4 && need < vm->area_size / 2)
        ko_jvm_collect(vm, 0, need + 4);
}
// Checks every object and remembered set of the heap; ends the process on damage.
void ko_jvm_verify_heap(KoJvmRec* vm);
void ko_jvm_print_gc_statistics(KoJvmRec* vm);
// The next object whose finaliser is to run, or null.
KoJvmObjectRec* ko_jvm_next_finalizable(KoJvmRec* vm);
bool ko_jvm_has_finalizable(KoJvmRec* vm);
// The write barrier: records a holder of an older generation that refers to
// a younger object.
bool ko_jvm_remember(KoJvmRec* vm, KoJvmObjectRec* holder, KoJvmObjectRec* target);
// Wakes the finaliser thread waiting for queued objects.
void ko_jvm_wake_finalizer(KoJvmRec* vm);
std::uint32_t ko_jvm_gc_count(KoJvmRec* vm);

// Threads (kojvm_thread)
// True when the thread must give up the processor at the end of its slice:
// another thread or task is waiting for its turn.
inline bool ko_jvm_slice_over(KoJvmRec* vm, KoJvmThread* t)
{
    return t->ring_next != t || vm->fsm.ready.head != nullptr;
}
// With time slices: true once the run's slice is used up (the VM is then
// paused and its pause hook told).
bool ko_jvm_slice_expired(KoJvmRec* vm);
// Sets up the VM's scheduler task (at creation).
void ko_jvm_scheduler_init(KoJvmRec* vm);
// Puts the VM's scheduler task back into the ready queue when it waits.
void ko_jvm_wake_scheduler(KoJvmRec* vm);
// Gives up the pending timers of a VM that goes away.
void ko_jvm_orphan_timers(KoJvmRec* vm);
// Object.wait with a time limit: the thread leaves the wait set after millis.
void ko_jvm_wait_timeout(KoJvmThread* thread, std::int64_t millis);
void ko_jvm_thread_push_cont(KoJvmThread* t, KoJvmContinuation fn, void* data);
bool ko_jvm_push_top_level(KoJvmThread* t, KoJvmCallCompletion completion, void* data, std::uint32_t options,
                           KoJvmMethodRec* method);
void ko_jvm_pop_top_level(KoJvmThread* t);
// Pushes the frame of a bytecode method whose arguments lie on the stack.
bool ko_jvm_push_method_frame(KoJvmThread* t, KoJvmMethodRec* m, KoJvmCat1ValueUnion* caller_frame,
                              const std::uint8_t* return_pc);
void ko_jvm_native_complete(KoJvmCat1ValueUnion* result, KoJvmObjectRec* exception, KoJvmThread* thread);
void ko_jvm_fill_stack_trace(KoJvmRec* vm, KoJvmThread* thread, KoJvmObjectRec* exception);
KoJvmObjectRec* ko_jvm_raw_stack_trace(KoJvmRec* vm, KoJvmThread* thread);
void ko_jvm_start_thread_object(KoJvmRec* vm, KoJvmThread* caller, KoJvmObjectRec* thread_object);
void ko_jvm_thread_sleep(KoJvmThread* thread, std::int64_t millis);

// Built-in classes (toolkit/javart)
bool ko_jvm_define_core_classes(KoJvmRec* vm);
bool ko_jvm_define_system_classes(KoJvmRec* vm);
bool ko_jvm_define_stream_classes(KoJvmRec* vm);
bool ko_jvm_define_reflection_classes(KoJvmRec* vm);
