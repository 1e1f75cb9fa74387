// The embedded Java virtual machine: records, creation, the native interface
// and the entry points that run Java methods from C code.
#pragma once

#include "lib/fsm/kofsm.h"
#include "lib/io/kohandle.h"
#include "lib/rt/kolib.h"
#include "toolkit/jvm/kojvm_arena.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>

struct KoJvmRec;
struct KoJvmClassRec;
struct KoJvmThread;
struct KoJvmMethodRec;
struct KoJvmFieldRec;
struct KoHash;

union KoJvmCat1ValueUnion {
    std::int32_t i;
    float f;
    KoRef ref;
};
static_assert(sizeof(KoJvmCat1ValueUnion) == 4);

enum {
    KO_JVM_OBJECT_F_STRING = 0x01,
    KO_JVM_OBJECT_F_FINALIZE_PENDING = 0x02,
    KO_JVM_OBJECT_F_FINALIZER = 0x04,
    KO_JVM_OBJECT_F_VISITED = 0x08,
    KO_JVM_OBJECT_F_FORWARD = 0x10,
};

struct KoJvmObjectRec {
    KoRef classp;
    std::uint8_t flags;
    std::uint8_t generation;
    std::uint8_t remembered;
    std::uint8_t monitor_count;
    KoRef monitor_owner;
    KoRef monitor_queue;
    KoRef forward;
    std::uint32_t scan_pos;
};
static_assert(sizeof(KoJvmObjectRec) == 24);

struct KoJvmArrayRec {
    KoJvmObjectRec header;
    std::uint32_t length;
};
static_assert(sizeof(KoJvmArrayRec) == 28);

// Class states.
enum {
    KO_JVM_CLASS_LOADED = 0,
    KO_JVM_CLASS_LINKED = 1,
    KO_JVM_CLASS_CLAIMED = 2,
    KO_JVM_CLASS_INITIALIZING = 3,
    KO_JVM_CLASS_INITIALIZED = 4,
    KO_JVM_CLASS_ERRONEOUS = 5,
};
// Class VM flags.
enum {
    KO_JVM_CLASS_F_DEPRECATED = 0x0001,
    KO_JVM_CLASS_F_KEPT_BYTES = 0x0008,
    KO_JVM_CLASS_F_ARRAY = 0x0100,
    KO_JVM_CLASS_F_PRIMITIVE = 0x0200,
    KO_JVM_CLASS_F_FINALIZER = 0x0800,
    KO_JVM_CLASS_F_STATIC_REFS = 0x1000,
    KO_JVM_CLASS_F_STRINGS = 0x2000,
    KO_JVM_CLASS_F_INSTANCE_REFS = 0x4000,
    KO_JVM_CLASS_F_LISTED = 0x8000,
};
// Access flags of classes, fields and methods.
enum {
    KO_ACC_PUBLIC = 0x0001,
    KO_ACC_PRIVATE = 0x0002,
    KO_ACC_PROTECTED = 0x0004,
    KO_ACC_STATIC = 0x0008,
    KO_ACC_FINAL = 0x0010,
    KO_ACC_SUPER = 0x0020,
    KO_ACC_SYNCHRONIZED = 0x0020,
    KO_ACC_NATIVE = 0x0100,
    KO_ACC_INTERFACE = 0x0200,
    KO_ACC_ABSTRACT = 0x0400,
};

struct KoJvmSymbol {
    KoRef next;
    KoRef clazz;
    KoRef string;
    std::uint32_t length_flags; // length in the low 28 bits
    KoRef bytes;
};
enum { KO_JVM_SYMBOL_F_STATIC = 0x10, KO_JVM_SYMBOL_F_SEEN = 0x20 };
inline std::uint32_t ko_sym_len(const KoJvmSymbol* s) { return s->length_flags & 0x0FFFFFFF; }
inline const char* ko_sym_bytes(const KoJvmSymbol* s) { return ko_ptr<const char>(s->bytes); }

struct KoJvmConst {
    std::uint8_t tag;
    std::uint8_t resolved;
    std::uint16_t a; // class / string / name-and-type index
    std::uint16_t b; // name-and-type of a member reference
    std::uint16_t pad;
    union {
        KoRef sym;          // UTF-8
        std::int32_t i;     // Integer
        float f;            // Float
        std::int64_t l;     // Long
        double d;           // Double
        struct {
            KoRef name;     // Class: name symbol
            KoRef clazz;    // resolved class record
        } cls;
        KoRef string;       // String: interned java/lang/String
        struct {
            KoRef class_name;
            KoRef name;
            KoRef desc;
            KoRef rec;      // resolved field or method record
        } mem;
        struct {
            KoRef name;
            KoRef desc;
        } nat;
    } u;
};
static_assert(sizeof(KoJvmConst) == 24);

enum {
    KO_CP_UTF8 = 1,
    KO_CP_INTEGER = 3,
    KO_CP_FLOAT = 4,
    KO_CP_LONG = 5,
    KO_CP_DOUBLE = 6,
    KO_CP_CLASS = 7,
    KO_CP_STRING = 8,
    KO_CP_FIELDREF = 9,
    KO_CP_METHODREF = 10,
    KO_CP_INTERFACE_METHODREF = 11,
    KO_CP_NAME_AND_TYPE = 12,
};

struct KoJvmFieldRec {
    KoRef clazz;
    std::uint16_t flags;
    std::uint16_t access;
    KoRef name;
    KoRef desc;
    std::uint16_t constant; // constant-pool index of the ConstantValue, 0 for none
    std::uint16_t pad;
    std::uint32_t offset;
};
static_assert(sizeof(KoJvmFieldRec) == 24);

struct KoJvmExceptionEntry {
    std::uint16_t start_pc;
    std::uint16_t end_pc;
    std::uint16_t handler_pc;
    std::uint16_t pad;
    KoRef catch_type; // class name symbol, 0 for any
};

struct KoJvmLineEntry {
    std::uint16_t start_pc;
    std::uint16_t line;
};

struct KoJvmLocalEntry {
    std::uint16_t start_pc;
    std::uint16_t length;
    KoRef name;
    KoRef desc;
    std::uint16_t index;
    std::uint16_t pad;
};

enum { KO_JVM_METHOD_F_DEPRECATED = 0x01, KO_JVM_METHOD_F_SYNTHETIC = 0x02, KO_JVM_METHOD_F_OVERLOADED = 0x04 };

struct KoJvmMethodRec {
    KoRef clazz;
    std::uint16_t flags;
    std::uint16_t access;
    KoRef name;
    KoRef desc;
    KoRef return_type; // within the descriptor's bytes
    std::uint16_t return_type_length;
    std::uint16_t max_stack;
    std::uint16_t max_locals;
    std::uint16_t arg_slots;
    std::uint8_t return_slots;
    std::uint8_t return_is_ref;
    std::uint16_t exception_count;
    std::uint32_t code_length;
    KoRef code;
    std::uint32_t native_index; // into the VM's native function table, 0 for none
    KoRef exceptions;
    KoRef declared;
    std::uint16_t declared_count;
    std::uint16_t line_count;
    KoRef lines;
    KoRef locals;
    std::uint16_t local_count;
    std::uint16_t index; // position in its class
};
static_assert(sizeof(KoJvmMethodRec) == 60 || sizeof(KoJvmMethodRec) == 68, "method record size");

struct KoJvmCacheEntry {
    KoRef name;
    KoRef desc;
    KoRef rec;
};

typedef void (*KoJvmDataFree)(void* data);

struct KoJvmClassRec {
    std::int32_t refs;
    std::uint32_t id;
    KoRef class_object;
    KoRef next_static;
    std::uint8_t state;
    std::uint8_t element_size;
    std::uint16_t vm_flags;
    std::uint16_t access;
    std::uint16_t pool_count;
    std::uint16_t interface_count;
    std::uint16_t field_count;
    std::uint16_t method_count;
    std::uint8_t method_cache_count;
    std::uint8_t field_cache_count;
    void* native_data;
    KoJvmDataFree native_data_free;
    KoRef init_thread;
    KoRef waiters; // ring of threads waiting for loading or initialisation
    KoRef name;
    KoRef super_name;
    KoRef element_name;
    KoRef array_class;
    KoRef superclass;     // class record of super_name once linked
    KoRef element_class;  // arrays
    KoRef pool;
    KoRef interfaces; // name symbols
    KoRef fields;
    KoRef methods;
    KoRef source_file;
    std::uint32_t first_field_offset;
    std::uint32_t instance_size;
    KoRef statics;
    std::uint32_t statics_size;
    KoRef bytes; // class-file bytes referenced in place
    std::uint32_t bytes_length;
    KoJvmCacheEntry method_cache[10];
    KoJvmCacheEntry field_cache[10];
    KoRef ref_map; // the collector's offsets of reference fields: count, then offsets
};

// Native methods.
typedef void (*KoJvmCompletion)(KoJvmCat1ValueUnion* result, KoJvmObjectRec* exception, KoJvmThread* thread);
typedef void (*KoJvmNative)(KoJvmRec* vm, KoJvmClassRec* clazz, KoJvmCat1ValueUnion* receiver,
                            KoJvmCat1ValueUnion* args, KoJvmCompletion complete, KoJvmThread* thread, void* class_data);

// Completion of a Java call made from C: result words (two), exception, data.
typedef void (*KoJvmCallCompletion)(KoJvmCat1ValueUnion* result, KoJvmObjectRec* exception, void* data);

// Class loader: completion(bytes or null, length, flags, data); flags 1: the
// VM must not free the bytes.
typedef void (*KoJvmLoaderCompletion)(unsigned char* bytes, std::size_t length, int flags, void* data);
typedef void (*KoJvmLoader)(const char* path, std::size_t length, KoJvmLoaderCompletion completion, void* data,
                            void* loader_data);
typedef void (*KoJvmTimerFn)(int fired, void* data);
typedef void (*KoJvmTimerHook)(std::int64_t delay_us, KoJvmTimerFn fn, void* data);

struct KoJvmParams {
    std::uint32_t options;
    std::uint32_t reserved1;
    KoJvmLoader loader;
    void* loader_data;
    std::uint32_t heap_size;
    std::uint32_t generations;
    std::uint32_t stack_size;
    KoJvmTimerHook timer;
    std::uint32_t reserved2;
    void* user_data;
};

// Thread flags.
enum {
    KO_JVM_THREAD_F_NATIVE = 0x00000001,
    KO_JVM_THREAD_F_EXCEPTION = 0x00000002,
    KO_JVM_THREAD_F_WAIT_SET = 0x00000004,
    KO_JVM_THREAD_F_TOP_EXCEPTION = 0x00000008,
    KO_JVM_THREAD_F_NATIVE_FRAME = 0x00000010,
    KO_JVM_THREAD_F_IN_WAIT = 0x00000010,
    KO_JVM_THREAD_F_SUSPENDED = 0x00000020,
    KO_JVM_THREAD_F_FINALIZER_WAIT = 0x00000040,
    KO_JVM_THREAD_F_BREAKPOINT = 0x40000000,
};

// ---- VM ---------------------------------------------------------------------
KoJvmRec* ko_jvm_create(const KoJvmParams* params);
void ko_jvm_destroy(KoJvmRec* vm);
void ko_jvm_exit(KoJvmRec* vm, void (*fn)(void*), void* data);
void* ko_jvm_user_data(KoJvmRec* vm);
KoJvmSymbol* ko_jvm_intern(KoJvmRec* vm, const char* bytes, std::size_t length, bool is_static);
KoJvmSymbol* ko_jvm_intern_cstr(KoJvmRec* vm, const char* text, bool is_static);
KoJvmClassRec* ko_jvm_find_class(KoJvmRec* vm, const char* name, std::size_t length);
// Loads a class (and initialises it when asked) on the thread; fn gets the
// class, or null with the exception that stopped the load (null when none
// was made). Length 0: NUL-terminated name.
typedef void (*KoJvmLoadCompletion)(KoJvmClassRec* clazz, KoJvmObjectRec* exception, void* data);
void ko_jvm_load_class_async(KoJvmThread* thread, const char* name, std::size_t length, bool initialise,
                             KoJvmLoadCompletion fn, void* data);
int ko_jvm_printf(KoJvmRec* vm, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// Runs the VM's scheduler until no thread is runnable (or, with a time
// slice, until the slice is used up).
void ko_jvm_run(KoJvmRec* vm);
// With slice_us > 0, Java threads run at most that long per run of the
// scheduler: then they pause, fn(data) is called once (from inside the
// interpreter: it must only arrange for ko_jvm_resume to be called later) and
// the run returns. 0 turns slicing off (paused threads stay paused until
// ko_jvm_resume).
void ko_jvm_set_time_slice(KoJvmRec* vm, std::int64_t slice_us, void (*fn)(void*), void* data);
// Lets paused threads run for another slice.
void ko_jvm_resume(KoJvmRec* vm);
// Number of Java threads that are runnable or blocked (not finished).
int ko_jvm_live_threads(KoJvmRec* vm);
void ko_jvm_set_stdout(KoJvmRec* vm, KoHandle* out);

// ---- Heap -------------------------------------------------------------------
KoJvmObjectRec* ko_jvm_alloc(KoJvmRec* vm, KoJvmClassRec* clazz, std::uint32_t size);
KoJvmObjectRec* ko_jvm_new_object(KoJvmRec* vm, KoJvmClassRec* clazz);
KoJvmObjectRec* ko_jvm_new_array(KoJvmRec* vm, KoJvmClassRec* array_class, std::int32_t length);
KoJvmObjectRec* ko_jvm_alloc_object_array(KoJvmRec* vm, KoJvmClassRec* element_class, std::int32_t length);
KoJvmObjectRec* ko_jvm_new_object_array(KoJvmRec* vm, std::int32_t length, KoJvmClassRec* element_class,
                                        KoJvmObjectRec* fill);
KoJvmObjectRec* ko_jvm_new_byte_array(KoJvmRec* vm, std::int32_t length);
KoJvmObjectRec* ko_jvm_new_char_array(KoJvmRec* vm, std::int32_t length);
KoJvmObjectRec* ko_jvm_new_multi_array(KoJvmRec* vm, KoJvmClassRec* clazz, int dims, const std::int32_t* lengths,
                                       KoJvmObjectRec** exception);
std::int32_t ko_jvm_identity_hash(KoJvmRec* vm, KoJvmObjectRec* obj);
std::int32_t ko_jvm_array_length(KoJvmRec* vm, KoJvmObjectRec* array);
// The first element of an array, typed by its elements.
void* ko_jvm_array_data(KoJvmRec* vm, KoJvmObjectRec* array);
std::int8_t* ko_jvm_byte_array_data(KoJvmRec* vm, KoJvmObjectRec* array);
std::uint16_t* ko_jvm_char_array_data(KoJvmRec* vm, KoJvmObjectRec* array);
KoJvmObjectRec* ko_jvm_get_array_ref(KoJvmRec* vm, KoJvmObjectRec* array, std::int32_t index);
bool ko_jvm_set_array_ref(KoJvmRec* vm, KoJvmObjectRec* array, std::int32_t index, KoJvmObjectRec* value);
KoJvmObjectRec* ko_jvm_array_class_of(KoJvmRec* vm, KoJvmClassRec* element_class);

// ---- Strings ----------------------------------------------------------------
KoJvmObjectRec* ko_jvm_new_string(KoJvmRec* vm, std::int32_t length);
KoJvmObjectRec* ko_jvm_new_string_utf8(KoJvmRec* vm, const char* bytes, std::size_t length);
KoJvmObjectRec* ko_jvm_string_char_array(KoJvmRec* vm, KoJvmObjectRec* string);
std::uint16_t* ko_jvm_string_chars(KoJvmRec* vm, KoJvmObjectRec* string);
std::int32_t ko_jvm_string_length(KoJvmRec* vm, KoJvmObjectRec* string);
char* ko_jvm_string_to_utf8(KoJvmRec* vm, KoJvmObjectRec* string, std::size_t* length);
void ko_jvm_free_utf8(char* text);
KoJvmObjectRec* ko_jvm_symbol_string(KoJvmRec* vm, KoJvmSymbol* sym);

// ---- Classes and members ----------------------------------------------------
KoJvmClassRec* ko_jvm_define_built_in_class(KoJvmRec* vm, int flags, const unsigned char* bytes, std::size_t length,
                                            const KoJvmNative* natives, int count);
void ko_jvm_set_class_data(KoJvmRec* vm, KoJvmClassRec* clazz, void* data, KoJvmDataFree destructor);
KoJvmFieldRec* ko_jvm_find_field(KoJvmRec* vm, KoJvmClassRec* clazz, const char* name, const char* desc);
KoJvmMethodRec* ko_jvm_find_method(KoJvmRec* vm, KoJvmClassRec* clazz, const char* name, const char* desc);
KoJvmObjectRec* ko_jvm_resolve_field(KoJvmRec* vm, KoJvmClassRec* clazz, KoJvmSymbol* name, KoJvmSymbol* desc,
                                     KoJvmFieldRec** out);
KoJvmObjectRec* ko_jvm_resolve_method(KoJvmRec* vm, KoJvmClassRec* clazz, KoJvmSymbol* name, KoJvmSymbol* desc,
                                      bool interfaces, KoJvmMethodRec** out);
bool ko_jvm_is_assignable(KoJvmRec* vm, KoJvmClassRec* target, KoJvmClassRec* source);
bool ko_jvm_is_subclass(KoJvmRec* vm, KoJvmClassRec* clazz, KoJvmClassRec* ancestor);
bool ko_jvm_implements(KoJvmRec* vm, KoJvmClassRec* iface, KoJvmClassRec* clazz);
bool ko_jvm_instance_of(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmClassRec* clazz);
KoJvmObjectRec* ko_jvm_class_object(KoJvmRec* vm, KoJvmClassRec* clazz);
KoJvmClassRec* ko_jvm_class_of_object(KoJvmRec* vm, KoJvmObjectRec* class_object);
KoJvmClassRec* ko_jvm_class_by_id(KoJvmRec* vm, std::uint32_t id);
KoJvmClassRec* ko_jvm_array_class(KoJvmRec* vm, KoJvmSymbol* name);
KoJvmClassRec* ko_jvm_class_for_descriptor(KoJvmRec* vm, const char* desc, std::size_t length);
std::size_t ko_jvm_field_type_length(const char* text, std::size_t available);
inline KoJvmClassRec* ko_jvm_class(const KoJvmObjectRec* o) { return ko_ptr<KoJvmClassRec>(o->classp); }
inline KoJvmSymbol* ko_jvm_class_name(const KoJvmClassRec* c) { return ko_ptr<KoJvmSymbol>(c->name); }

// ---- Fields -----------------------------------------------------------------
// A static field is read from its class's statics (obj is ignored), an instance
// field from obj. ko_jvm_get_int_field widens by the field's descriptor.
void* ko_jvm_field_address(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field);
std::uint8_t ko_jvm_get_boolean_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field);
std::int8_t ko_jvm_get_byte_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field);
std::uint16_t ko_jvm_get_char_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field);
std::int16_t ko_jvm_get_short_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field);
float ko_jvm_get_float_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field);
double ko_jvm_get_double_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field);
void ko_jvm_set_boolean_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field, std::uint8_t value);
void ko_jvm_set_byte_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field, std::int8_t value);
void ko_jvm_set_char_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field, std::uint16_t value);
void ko_jvm_set_short_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field, std::int16_t value);
void ko_jvm_set_float_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field, float value);
void ko_jvm_set_double_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field, double value);
std::int32_t ko_jvm_get_int_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field);
void ko_jvm_set_int_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field, std::int32_t value);
std::int64_t ko_jvm_get_long_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field);
void ko_jvm_set_long_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field, std::int64_t value);
KoJvmObjectRec* ko_jvm_get_ref_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field);
void ko_jvm_set_ref_field(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field, KoJvmObjectRec* value);
void* ko_jvm_get_field_pointer(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field);
void ko_jvm_set_field_pointer(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmFieldRec* field, void* pointer);

// ---- Boxing, handles, global references, exceptions ---------------------------
KoJvmCat1ValueUnion ko_jvm_box(KoJvmRec* vm, KoJvmClassRec* clazz, const KoJvmCat1ValueUnion* value);
// True and the value when obj is an instance of that wrapper class.
bool ko_jvm_unbox_boolean(KoJvmRec* vm, KoJvmObjectRec* obj, bool* out);
bool ko_jvm_unbox_byte(KoJvmRec* vm, KoJvmObjectRec* obj, std::int8_t* out);
bool ko_jvm_unbox_char(KoJvmRec* vm, KoJvmObjectRec* obj, std::uint16_t* out);
bool ko_jvm_unbox_short(KoJvmRec* vm, KoJvmObjectRec* obj, std::int16_t* out);
bool ko_jvm_unbox_int(KoJvmRec* vm, KoJvmObjectRec* obj, std::int32_t* out);
bool ko_jvm_unbox_float(KoJvmRec* vm, KoJvmObjectRec* obj, float* out);
bool ko_jvm_unbox_long(KoJvmRec* vm, KoJvmObjectRec* obj, std::int64_t* out);
bool ko_jvm_unbox_double(KoJvmRec* vm, KoJvmObjectRec* obj, double* out);
int ko_jvm_push_handle(KoJvmRec* vm, KoJvmObjectRec** address);
void ko_jvm_pop_handles(KoJvmRec* vm, int mark);
struct KoJvmGlobalRef {
    KoJvmGlobalRef* next;
    KoJvmGlobalRef* prev;
    KoJvmObjectRec* object;
};
void ko_jvm_add_global_ref(KoJvmRec* vm, KoJvmGlobalRef* node);
void ko_jvm_remove_global_ref(KoJvmRec* vm, KoJvmGlobalRef* node);
KoJvmObjectRec* ko_jvm_new_exception(KoJvmRec* vm, KoJvmThread* thread, KoJvmClassRec* clazz, const char* message);
KoJvmObjectRec* ko_jvm_throw_by_name(KoJvmRec* vm, KoJvmThread* thread, const char* class_name, const char* message);
// The message of an exception object as UTF-8 (free with ko_jvm_free_utf8), or null.
char* ko_jvm_exception_message(KoJvmRec* vm, KoJvmObjectRec* exception);

// ---- Natives ----------------------------------------------------------------
void ko_jvm_register_native(KoJvmRec* vm, const char* key, KoJvmNative fn);
void ko_jvm_native_args(KoJvmThread* thread, KoJvmRec** vm, KoJvmClassRec** clazz, KoJvmCat1ValueUnion** receiver,
                        KoJvmCat1ValueUnion** args, KoJvmCompletion* complete, void** class_data);

// ---- Threads, calls and monitors ----------------------------------------------
KoJvmThread* ko_jvm_create_thread(KoJvmRec* vm, std::uint32_t stack_size, KoJvmObjectRec* thread_object);
KoJvmThread* ko_jvm_new_thread(KoJvmRec* vm, std::uint32_t stack_size);
void ko_jvm_destroy_thread(KoJvmThread* thread);
KoJvmRec* ko_jvm_thread_vm(KoJvmThread* thread);
KoJvmObjectRec* ko_jvm_thread_object(KoJvmThread* thread);
// Arguments: an Object[] (args_array) or, when it is null, C arguments:
// 32-bit ints, doubles for float, 64-bit long long / double, pointers for references.
void ko_jvm_invoke_static_async(KoJvmThread* thread, std::uint32_t options, const char* class_name, std::size_t class_len,
                                const char* name, std::size_t name_len, const char* desc, std::size_t desc_len,
                                KoJvmObjectRec* args_array, KoJvmCallCompletion completion, void* data, ...);
void ko_jvm_invoke_virtual_async(KoJvmThread* thread, std::uint32_t options, KoJvmObjectRec* receiver,
                                 const char* name, std::size_t name_len, const char* desc, std::size_t desc_len,
                                 KoJvmObjectRec* args_array, KoJvmCallCompletion completion, void* data, ...);
bool ko_jvm_monitor_enter(KoJvmThread* thread, KoJvmObjectRec* obj);
bool ko_jvm_monitor_exit(KoJvmThread* thread, KoJvmObjectRec* obj);
bool ko_jvm_monitor_wait(KoJvmThread* thread, KoJvmObjectRec* obj);
bool ko_jvm_monitor_notify(KoJvmThread* thread, KoJvmObjectRec* obj, bool all, bool check_owner);
void ko_jvm_make_runnable(KoJvmThread* thread);
bool ko_jvm_post(KoJvmRec* vm, void (*fn)(void*), void* arg);
int ko_jvm_interpret(KoJvmRec* vm, KoJvmThread* thread);
// Keeps the duration of every collection from now on; the summary gives their
// number, the longest and the 99th percentile in microseconds.
void ko_jvm_record_pauses(KoJvmRec* vm);
void ko_jvm_pause_summary(KoJvmRec* vm, std::uint32_t* count, std::uint32_t* max_us, std::uint32_t* p99_us);
// Starts the finaliser thread (java/lang/ThreadGroup must be defined).
bool ko_jvm_start_finalizer(KoJvmRec* vm);
