// Reflection natives: the member lists and finders of java/lang/Class and
// the classes of java/lang/reflect. Member objects hold the address of the
// VM's field or method record in their long field nativePtr.
#include "toolkit/javart/javart_natives.h"
#include "toolkit/jvm/kojvm_class.h"

#include <cstddef>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

namespace {

#define U KO_UNUSED_NATIVE_ARGS

KoJvmObjectRec* obj(const KoJvmCat1ValueUnion* p) { return ko_obj(p->ref); }

enum Kind { K_FIELD, K_METHOD, K_CONSTRUCTOR };
const char* const kMemberClass[] = {"java/lang/reflect/Field", "java/lang/reflect/Method", "java/lang/reflect/Constructor"};
const char kPrimitives[] = "ZBCSIJFD";

struct MemberClass {
    KoJvmClassRec* clazz = nullptr;
    KoJvmFieldRec* ptr = nullptr;
};

bool member_class(KoJvmRec* vm, Kind k, MemberClass* out)
{
    const char* n = kMemberClass[k];
    out->clazz = ko_jvm_find_class(vm, n, std::strlen(n));
    out->ptr = out->clazz ? ko_jvm_find_field(vm, out->clazz, "nativePtr", "J") : nullptr;
    return out->ptr != nullptr;
}

KoJvmObjectRec* new_member(KoJvmRec* vm, const MemberClass& m, void* rec)
{
    KoJvmObjectRec* o = ko_jvm_new_object(vm, m.clazz);
    if (o)
        ko_jvm_set_field_pointer(vm, o, m.ptr, rec);
    return o;
}

// The record behind a member object (clazz: Field, Method or Constructor).
template <typename T> T* record(KoJvmRec* vm, KoJvmClassRec* clazz, KoJvmCat1ValueUnion* self)
{
    KoJvmFieldRec* f = ko_jvm_find_field(vm, clazz, "nativePtr", "J");
    return f ? static_cast<T*>(ko_jvm_get_field_pointer(vm, obj(self), f)) : nullptr;
}
#define RECORD(T, var)                                                                                           \
    T* var = record<T>(vm, clazz, self);                                                                         \
    if (!var) {                                                                                                  \
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");                                   \
        return;                                                                                                  \
    }

bool is_named(KoRef sym, const char* text) { return ko_sym_is(ko_sym(sym), text); }

// The wrapper class standing for a primitive type letter (V: java/lang/Void).
KoJvmClassRec* wrapper_class(KoJvmRec* vm, char letter)
{
    if (letter == 'V')
        return ko_cls(vm->s_wrappers[8]->clazz);
    const char* p = std::strchr(kPrimitives, letter);
    return p && *p ? ko_cls(vm->s_wrappers[p - kPrimitives]->clazz) : nullptr;
}

// Boxes a value of a primitive type into its wrapper; references pass as
// they are. False when the wrapper is missing or out of memory.
bool box(KoJvmRec* vm, char letter, const KoJvmCat1ValueUnion* value, KoJvmCat1ValueUnion* out)
{
    if (letter == 'L' || letter == '[') {
        out->ref = value[0].ref;
        return true;
    }
    if (letter == 'V') {
        out->ref = 0;
        return true;
    }
    KoJvmClassRec* w = wrapper_class(vm, letter);
    if (!w)
        return false;
    *out = ko_jvm_box(vm, w, value);
    return out->ref != 0;
}

void ret_object(KoJvmRec* vm, KoJvmCompletion complete, KoJvmThread* thread, KoJvmObjectRec* o)
{
    if (!o)
        complete(nullptr, vm->oom, thread);
    else
        ko_ret_ref(complete, thread, o);
}

// The parameter descriptors of a method descriptor "(...)R".
std::vector<std::pair<const char*, std::size_t>> parameters(KoJvmSymbol* desc)
{
    std::vector<std::pair<const char*, std::size_t>> out;
    const char* p = ko_sym_bytes(desc) + 1;
    const char* end = ko_sym_bytes(desc) + ko_sym_len(desc);
    while (p < end && *p != ')') {
        std::size_t n = ko_jvm_field_type_length(p, std::size_t(end - p));
        if (!n)
            break;
        out.emplace_back(p, n);
        p += n;
    }
    return out;
}

// ---- Finding members by parameter classes ------------------------------------

bool parameter_matches(KoJvmRec* vm, const char* d, std::size_t len, KoJvmObjectRec* class_object)
{
    KoJvmClassRec* given = class_object ? ko_jvm_class_of_object(vm, class_object) : nullptr;
    if (!given)
        return false;
    if (len == 1)
        return wrapper_class(vm, d[0]) == given;
    if (d[0] == 'L') {
        KoJvmClassRec* named = ko_jvm_find_class(vm, d + 1, len - 2);
        if (!named) {
            std::fprintf(stderr, "*** %s:%d: %s not implemented yet!!! ***\n", "toolkit/jvm/kojvm_reflection", 129,
                         "Class loading in reflection");
            return false;
        }
        return ko_jvm_is_assignable(vm, named, given);
    }
    KoJvmSymbol* n = ko_jvm_class_name(given);
    return ko_sym_len(n) == len && std::memcmp(ko_sym_bytes(n), d, len) == 0;
}

bool parameters_match(KoJvmRec* vm, KoJvmMethodRec* m, KoJvmObjectRec* types)
{
    auto params = parameters(ko_sym(m->desc));
    const std::size_t given = types ? std::size_t(ko_jvm_array_length(vm, types)) : 0;
    if (params.size() != given)
        return false;
    for (std::size_t i = 0; i < given; ++i)
        if (!parameter_matches(vm, params[i].first, params[i].second, ko_jvm_get_array_ref(vm, types, std::int32_t(i))))
            return false;
    return true;
}

// True when the argument array suits the method's parameters: as many
// elements, a wrapper object for each primitive parameter, null or an
// assignable object for each reference (unloaded classes are left to the call).
bool arguments_fit(KoJvmRec* vm, KoJvmMethodRec* m, KoJvmObjectRec* args)
{
    auto params = parameters(ko_sym(m->desc));
    const std::size_t given = args ? std::size_t(ko_jvm_array_length(vm, args)) : 0;
    if (params.size() != given)
        return false;
    for (std::size_t i = 0; i < given; ++i) {
        KoJvmObjectRec* a = ko_jvm_get_array_ref(vm, args, std::int32_t(i));
        const char* d = params[i].first;
        const std::size_t len = params[i].second;
        KoJvmClassRec* type = len == 1 ? wrapper_class(vm, d[0]) : ko_jvm_class_for_descriptor(vm, d, len);
        if (len == 1 && (!a || !type || ko_jvm_class(a) != type))
            return false;
        if (len > 1 && a && type && !ko_jvm_is_assignable(vm, type, ko_jvm_class(a)))
            return false;
    }
    return true;
}

// The first method of that name whose parameters take the given classes:
// the class's own methods in order, then (unless only the class itself is
// searched, as for constructors) those of its superclasses.
KoJvmMethodRec* find_by_types(KoJvmRec* vm, KoJvmClassRec* c, const char* name, std::size_t name_len,
                              KoJvmObjectRec* types, bool inherited)
{
    for (; c; c = inherited ? ko_jvm_superclass(c) : nullptr) {
        KoJvmMethodRec* m = ko_methods(c);
        for (unsigned i = 0; i < c->method_count; ++i) {
            KoJvmSymbol* n = ko_sym(m[i].name);
            if (ko_sym_len(n) == name_len && !std::memcmp(ko_sym_bytes(n), name, name_len) &&
                parameters_match(vm, &m[i], types))
                return &m[i];
        }
    }
    return nullptr;
}

// ---- Classes of type descriptors ----------------------------------------------

// Completion(class or null, exception); at once for loaded classes, later
// when the class has to be loaded on the thread.
void class_for_type(KoJvmThread* t, const char* d, std::size_t len, KoJvmLoadCompletion done, void* data)
{
    KoJvmRec* vm = t->vm;
    if (len == 1) {
        KoJvmClassRec* c = wrapper_class(vm, d[0]);
        done(c, c ? nullptr : ko_jvm_new_known(vm, KO_K_InternalError), data);
        return;
    }
    if (KoJvmClassRec* c = ko_jvm_class_for_descriptor(vm, d, len)) {
        done(c, nullptr, data);
        return;
    }
    std::string name = d[0] == 'L' ? std::string(d + 1, len - 2) : std::string(d, len);
    ko_jvm_load_class_async(t, name.data(), name.size(), false, done, data);
}

// The native call a context belongs to: work done for it later (a class
// load, a call into Java) may run other natives on the thread meanwhile.
struct NativeCall {
    KoJvmThread* t;
    KoJvmMethodRec* native_method;
    KoJvmCat1ValueUnion* native_args;
    explicit NativeCall(KoJvmThread* thread)
        : t(thread), native_method(thread->native_method), native_args(thread->native_args)
    {
    }
    // Makes the call the thread's current native again, for its completion.
    void resume() const
    {
        t->native_method = native_method;
        t->native_args = native_args;
    }
};

struct TypeCall : NativeCall {
    using NativeCall::NativeCall;
    KoJvmGlobalRef array{}; // the Class[] being filled, null for one type
    std::vector<std::pair<const char*, std::size_t>> params;
    std::size_t next = 0;
};

TypeCall* new_type_call(KoJvmThread* t) { return new (std::nothrow) TypeCall(t); }

void finish_type_call(TypeCall* c, KoJvmObjectRec* result, KoJvmObjectRec* e)
{
    KoJvmThread* t = c->t;
    KoJvmRec* vm = t->vm;
    c->resume();
    if (c->array.object)
        ko_jvm_remove_global_ref(vm, &c->array);
    delete c;
    if (e)
        ko_jvm_native_complete(nullptr, e, t);
    else
        ko_ret_ref(ko_jvm_native_complete, t, result);
}

void one_type_done(KoJvmClassRec* c, KoJvmObjectRec* e, void* data)
{
    TypeCall* call = static_cast<TypeCall*>(data);
    KoJvmRec* vm = call->t->vm;
    if (!c && !e)
        e = ko_jvm_new_known(vm, KO_K_NoSuchMethodError);
    KoJvmObjectRec* o = c ? ko_jvm_class_object(vm, c) : nullptr;
    finish_type_call(call, o, e ? e : (o ? nullptr : vm->oom));
}

void parameter_type_done(KoJvmClassRec* c, KoJvmObjectRec* e, void* data);

// Resolves the parameter types one at a time; a type that has to be loaded
// ends this loop and resumes it from its completion.
void next_parameter(TypeCall* call)
{
    KoJvmRec* vm = call->t->vm;
    while (call->next < call->params.size()) {
        const std::size_t i = call->next;
        const char* d = call->params[i].first;
        const std::size_t len = call->params[i].second;
        KoJvmClassRec* c = len == 1 ? wrapper_class(vm, d[0]) : ko_jvm_class_for_descriptor(vm, d, len);
        if (!c) {
            if (len == 1) {
                finish_type_call(call, nullptr, ko_jvm_new_known(vm, KO_K_InternalError));
                return;
            }
            class_for_type(call->t, d, len, parameter_type_done, call);
            return;
        }
        KoJvmObjectRec* o = ko_jvm_class_object(vm, c);
        if (!o) {
            finish_type_call(call, nullptr, vm->oom);
            return;
        }
        ko_jvm_set_array_ref(vm, call->array.object, std::int32_t(i), o);
        ++call->next;
    }
    finish_type_call(call, call->array.object, nullptr);
}

void parameter_type_done(KoJvmClassRec* c, KoJvmObjectRec* e, void* data)
{
    TypeCall* call = static_cast<TypeCall*>(data);
    KoJvmRec* vm = call->t->vm;
    if (!c) {
        finish_type_call(call, nullptr, e ? e : ko_jvm_new_known(vm, KO_K_NoSuchMethodError));
        return;
    }
    KoJvmObjectRec* o = ko_jvm_class_object(vm, c);
    if (!o) {
        finish_type_call(call, nullptr, vm->oom);
        return;
    }
    ko_jvm_set_array_ref(vm, call->array.object, std::int32_t(call->next++), o);
    next_parameter(call);
}

// ---- Calls into Java -------------------------------------------------------------

struct Invoke : NativeCall {
    Invoke(KoJvmThread* thread, KoJvmMethodRec* m, bool is_constructor)
        : NativeCall(thread), target(m), construct(is_constructor)
    {
    }
    KoJvmMethodRec* target;
    KoJvmGlobalRef receiver{}; // the object the call runs on (the new one for constructors)
    KoJvmGlobalRef args{};
    bool construct;
};

void invoke_done(KoJvmCat1ValueUnion* result, KoJvmObjectRec* e, void* data)
{
    Invoke* c = static_cast<Invoke*>(data);
    KoJvmThread* t = c->t;
    KoJvmRec* vm = t->vm;
    c->resume();
    KoJvmCat1ValueUnion r[2]{};
    if (!e) {
        if (c->construct) {
            r[0].ref = ko_ref(c->receiver.object);
        } else {
            KoJvmSymbol* d = ko_sym(c->target->desc);
            const char* ret = std::strchr(ko_sym_bytes(d), ')') + 1;
            if (!std::strchr("BCDFIJSZLV[", *ret))
                ko_fatal("%s:%d: Unreachable code reached", "toolkit/javart/java/lang/reflect/Method", 1);
            if (!box(vm, *ret, result, r))
                e = vm->oom;
        }
    }
    if (c->receiver.object)
        ko_jvm_remove_global_ref(vm, &c->receiver);
    if (c->args.object)
        ko_jvm_remove_global_ref(vm, &c->args);
    delete c;
    ko_jvm_native_complete(e ? nullptr : r, e, t);
}

// Invokes m with the argument array (static by class name, else on the
// receiver); the native completes with the boxed result.
void invoke(KoJvmRec* vm, KoJvmThread* t, KoJvmMethodRec* m, KoJvmObjectRec* receiver, KoJvmObjectRec* args,
            bool construct)
{
    if (!arguments_fit(vm, m, args)) {
        ko_jvm_native_complete(nullptr, ko_jvm_throw_by_name(vm, t, "java/lang/IllegalArgumentException", nullptr), t);
        return;
    }
    Invoke* c = new (std::nothrow) Invoke(t, m, construct);
    if (!c) {
        ko_jvm_native_complete(nullptr, vm->oom, t);
        return;
    }
    if (args) {
        c->args.object = args;
        ko_jvm_add_global_ref(vm, &c->args);
    }
    if (m->access & KO_ACC_STATIC) {
        KoJvmSymbol* cn = ko_jvm_class_name(ko_cls(m->clazz));
        KoJvmSymbol* n = ko_sym(m->name);
        KoJvmSymbol* d = ko_sym(m->desc);
        ko_jvm_invoke_static_async(t, 0, ko_sym_bytes(cn), ko_sym_len(cn), ko_sym_bytes(n), ko_sym_len(n), ko_sym_bytes(d),
                                   ko_sym_len(d), args, invoke_done, c);
        return;
    }
    c->receiver.object = receiver;
    ko_jvm_add_global_ref(vm, &c->receiver);
    KoJvmSymbol* n = ko_sym(m->name);
    KoJvmSymbol* d = ko_sym(m->desc);
    ko_jvm_invoke_virtual_async(t, 0, receiver, ko_sym_bytes(n), ko_sym_len(n), ko_sym_bytes(d), ko_sym_len(d), args,
                                invoke_done, c);
}

// A new instance of c, its constructor m run with the arguments.
void construct(KoJvmRec* vm, KoJvmCompletion complete, KoJvmThread* thread, KoJvmClassRec* c, KoJvmMethodRec* m,
               KoJvmObjectRec* args)
{
    if ((c->access & (KO_ACC_INTERFACE | KO_ACC_ABSTRACT)) || (c->vm_flags & KO_JVM_CLASS_F_ARRAY) || !m) {
        ko_ret_throw(vm, complete, thread, "java/lang/InstantiationException");
        return;
    }
    KoJvmObjectRec* o = ko_jvm_new_object(vm, c);
    if (!o) {
        complete(nullptr, vm->oom, thread);
        return;
    }
    invoke(vm, thread, m, o, args, true);
}

// ---- Member arrays ------------------------------------------------------------------

void member_array(KoJvmRec* vm, KoJvmCompletion complete, KoJvmThread* thread, KoJvmClassRec* c, Kind k, bool inherited)
{
    MemberClass mc;
    if (!member_class(vm, k, &mc)) {
        ko_ret_throw(vm, complete, thread, "java/lang/InternalError");
        return;
    }
    std::vector<void*> records;
    for (KoJvmClassRec* x = c; x; x = inherited ? ko_jvm_superclass(x) : nullptr) {
        if (k == K_FIELD) {
            for (unsigned i = 0; i < x->field_count; ++i)
                records.push_back(&ko_fields(x)[i]);
            continue;
        }
        KoJvmMethodRec* m = ko_methods(x);
        for (unsigned i = 0; i < x->method_count; ++i) {
            const bool init = is_named(m[i].name, "<init>");
            if (k == K_CONSTRUCTOR ? init : !init && !is_named(m[i].name, "<clinit>"))
                records.push_back(&m[i]);
        }
    }
    KoJvmObjectRec* a = ko_jvm_alloc_object_array(vm, mc.clazz, std::int32_t(records.size()));
    if (!a) {
        complete(nullptr, vm->oom, thread);
        return;
    }
    const int mark = ko_jvm_push_handle(vm, &a);
    for (std::size_t i = 0; i < records.size(); ++i) {
        KoJvmObjectRec* o = new_member(vm, mc, records[i]);
        if (!o) {
            ko_jvm_pop_handles(vm, mark);
            complete(nullptr, vm->oom, thread);
            return;
        }
        ko_jvm_set_array_ref(vm, a, std::int32_t(i), o);
    }
    ko_jvm_pop_handles(vm, mark);
    ko_ret_ref(complete, thread, a);
}

KoJvmClassRec* self_class(KoJvmRec* vm, KoJvmCat1ValueUnion* self) { return ko_jvm_class_of_object(vm, obj(self)); }

void found_member(KoJvmRec* vm, KoJvmCompletion complete, KoJvmThread* thread, Kind k, KoJvmMethodRec* m)
{
    MemberClass mc;
    if (!member_class(vm, k, &mc))
        ko_ret_throw(vm, complete, thread, "java/lang/InternalError");
    else if (!m)
        ko_ret_throw(vm, complete, thread, "java/lang/NoSuchMethodException");
    else
        ret_object(vm, complete, thread, new_member(vm, mc, m));
}

// ---- Field access ------------------------------------------------------------------------

enum FieldOp { F_GET, F_SET_BOOLEAN, F_SET_INT, F_SET_LONG, F_SET_REFERENCE };

struct FieldCall : NativeCall {
    FieldCall(KoJvmThread* thread, KoJvmFieldRec* field, FieldOp operation) : NativeCall(thread), f(field), op(operation) {}
    KoJvmFieldRec* f;
    FieldOp op;
    KoJvmCat1ValueUnion value[2]{};
    KoJvmGlobalRef ref_value{};
};

// Reads or writes the field; the native completes.
void field_access(KoJvmRec* vm, KoJvmThread* t, KoJvmFieldRec* f, FieldOp op, KoJvmObjectRec* o,
                  const KoJvmCat1ValueUnion* value, KoJvmObjectRec* ref_value)
{
    const char letter = ko_sym_bytes(ko_sym(f->desc))[0];
    KoJvmCompletion complete = ko_jvm_native_complete;
    unsigned char* p = static_cast<unsigned char*>(ko_jvm_field_address(vm, o, f));
    switch (op) {
    case F_GET: {
        KoJvmCat1ValueUnion v[2]{};
        if (letter == 'J' || letter == 'D' || letter == 'F') {
            if (letter == 'J') {
                std::int64_t l = ko_jvm_get_long_field(vm, o, f);
                v[0].i = std::int32_t(l >> 32);
                v[1].i = std::int32_t(l);
            } else {
                std::memcpy(v, p, letter == 'D' ? 8 : 4);
            }
        } else if (letter == 'L' || letter == '[') {
            v[0].ref = ko_ref(ko_jvm_get_ref_field(vm, o, f));
        } else {
            v[0].i = ko_jvm_get_int_field(vm, o, f);
        }
        KoJvmCat1ValueUnion r{};
        if (!box(vm, letter, v, &r))
            complete(nullptr, vm->oom, t);
        else
            ko_ret_ref(complete, t, ko_obj(r.ref));
        return;
    }
    case F_SET_BOOLEAN:
        if (letter != 'Z')
            break;
        ko_jvm_set_int_field(vm, o, f, value[0].i ? 1 : 0);
        ko_ret_void(complete, t);
        return;
    case F_SET_INT:
        if (letter == 'I')
            ko_jvm_set_int_field(vm, o, f, value[0].i);
        else if (letter == 'J')
            ko_jvm_set_long_field(vm, o, f, value[0].i);
        else
            break;
        ko_ret_void(complete, t);
        return;
    case F_SET_LONG:
        if (letter != 'J')
            break;
        ko_jvm_set_long_field(vm, o, f, ko_arg_long(value));
        ko_ret_void(complete, t);
        return;
    case F_SET_REFERENCE: {
        if (letter != 'L' && letter != '[')
            break;
        KoJvmSymbol* d = ko_sym(f->desc);
        KoJvmClassRec* type = ko_jvm_class_for_descriptor(vm, ko_sym_bytes(d), ko_sym_len(d));
        if (!type || (ref_value && !ko_jvm_is_assignable(vm, type, ko_jvm_class(ref_value))))
            break;
        ko_jvm_set_ref_field(vm, o, f, ref_value);
        ko_ret_void(complete, t);
        return;
    }
    }
    complete(nullptr, ko_jvm_throw_by_name(vm, t, "java/lang/IllegalArgumentException", nullptr), t);
}

void static_class_ready(KoJvmClassRec* c, KoJvmObjectRec* e, void* data)
{
    FieldCall* call = static_cast<FieldCall*>(data);
    KoJvmThread* t = call->t;
    KoJvmRec* vm = t->vm;
    call->resume();
    KoJvmObjectRec* ref_value = call->ref_value.object;
    if (ref_value)
        ko_jvm_remove_global_ref(vm, &call->ref_value);
    FieldCall copy = *call;
    delete call;
    if (!c)
        ko_jvm_native_complete(nullptr, e ? e : ko_jvm_new_known(vm, KO_K_NoSuchMethodError), t);
    else
        field_access(vm, t, copy.f, copy.op, nullptr, copy.value, ref_value);
}

// The checks common to Field.get and the setters, then the access (after
// the declaring class's initialisation for a static field).
void field_native(KoJvmRec* vm, KoJvmClassRec* clazz, KoJvmCat1ValueUnion* self, KoJvmCat1ValueUnion* args,
                  KoJvmCompletion complete, KoJvmThread* thread, FieldOp op)
{
    RECORD(KoJvmFieldRec, f);
    KoJvmObjectRec* o = obj(args);
    KoJvmCat1ValueUnion* value = args + 1;
    KoJvmObjectRec* ref_value = op == F_SET_REFERENCE ? obj(value) : nullptr;
    KoJvmClassRec* declaring = ko_cls(f->clazz);
    if (!(f->access & KO_ACC_STATIC)) {
        if (!o)
            ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        else if (!ko_jvm_is_assignable(vm, declaring, ko_jvm_class(o)))
            ko_ret_throw(vm, complete, thread, "java/lang/IllegalArgumentException");
        else
            field_access(vm, thread, f, op, o, value, ref_value);
        return;
    }
    if (declaring->state == KO_JVM_CLASS_INITIALIZED) {
        field_access(vm, thread, f, op, nullptr, value, ref_value);
        return;
    }
    FieldCall* call = new (std::nothrow) FieldCall(thread, f, op);
    if (!call) {
        complete(nullptr, vm->oom, thread);
        return;
    }
    call->value[0] = value[0];
    call->value[1] = op == F_SET_LONG ? value[1] : KoJvmCat1ValueUnion{};
    if (ref_value) {
        call->ref_value.object = ref_value;
        ko_jvm_add_global_ref(vm, &call->ref_value);
    }
    KoJvmSymbol* n = ko_jvm_class_name(declaring);
    ko_jvm_load_class_async(thread, ko_sym_bytes(n), ko_sym_len(n), true, static_class_ready, call);
}

} // namespace

// ---- java/lang/Class -------------------------------------------------------------------

KO_NATIVE(Class_newInstance)
{
    U;
    KoJvmClassRec* c = self_class(vm, self);
    KoJvmMethodRec* m = find_by_types(vm, c, "<init>", 6, nullptr, false);
    construct(vm, complete, thread, c, m, nullptr);
}
KO_NATIVE(Class_getFields) { U; member_array(vm, complete, thread, self_class(vm, self), K_FIELD, true); }
KO_NATIVE(Class_getMethods) { U; member_array(vm, complete, thread, self_class(vm, self), K_METHOD, true); }
KO_NATIVE(Class_getConstructors) { U; member_array(vm, complete, thread, self_class(vm, self), K_CONSTRUCTOR, false); }
KO_NATIVE(Class_getDeclaredFields) { U; member_array(vm, complete, thread, self_class(vm, self), K_FIELD, false); }
KO_NATIVE(Class_getDeclaredMethods) { U; member_array(vm, complete, thread, self_class(vm, self), K_METHOD, false); }
KO_NATIVE(Class_getMethod)
{
    U;
    KoJvmObjectRec* name = obj(args);
    if (!name) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    std::size_t len = 0;
    char* text = ko_jvm_string_to_utf8(vm, name, &len);
    if (!text) {
        complete(nullptr, vm->oom, thread);
        return;
    }
    KoJvmMethodRec* m = nullptr;
    if (std::strcmp(text, "<init>") != 0 && std::strcmp(text, "<clinit>") != 0)
        m = find_by_types(vm, self_class(vm, self), text, len, obj(args + 1), true);
    ko_jvm_free_utf8(text);
    found_member(vm, complete, thread, K_METHOD, m);
}
KO_NATIVE(Class_getConstructor)
{
    U;
    KoJvmObjectRec* types = obj(args);
    if (!types) {
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
        return;
    }
    found_member(vm, complete, thread, K_CONSTRUCTOR, find_by_types(vm, self_class(vm, self), "<init>", 6, types, false));
}

// ---- java/lang/reflect/Array ----------------------------------------------------------

KO_NATIVE(Array_newInstance)
{
    U;
    KoJvmClassRec* c = obj(args) ? ko_jvm_class_of_object(vm, obj(args)) : nullptr;
    if (!c)
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
    else if (args[1].i < 0)
        ko_ret_throw(vm, complete, thread, "java/lang/NegativeArraySizeException");
    else
        ret_object(vm, complete, thread, ko_jvm_alloc_object_array(vm, c, args[1].i));
}
KO_NATIVE(Array_getLength)
{
    U;
    KoJvmObjectRec* a = obj(args);
    if (!a)
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
    else if (!(ko_jvm_class(a)->vm_flags & KO_JVM_CLASS_F_ARRAY))
        ko_ret_throw(vm, complete, thread, "java/lang/IllegalArgumentException");
    else
        ko_ret_int(complete, thread, std::int32_t(ko_jvm_length(a)));
}

// ---- Members: Constructor, Method, Field ------------------------------------------------

KO_NATIVE(Member_getDeclaringClass)
{
    U;
    RECORD(KoJvmMethodRec, m);
    ret_object(vm, complete, thread, ko_jvm_class_object(vm, ko_cls(m->clazz)));
}
// Fields and methods both begin with class, flags, access and name.
KO_NATIVE(Member_getName)
{
    U;
    RECORD(KoJvmMethodRec, m);
    ret_object(vm, complete, thread, ko_jvm_symbol_string(vm, ko_sym(m->name)));
}
KO_NATIVE(Member_getModifiers)
{
    U;
    RECORD(KoJvmMethodRec, m);
    ko_ret_int(complete, thread, m->access);
}
KO_NATIVE(Member_isVarArgs)
{
    U;
    RECORD(KoJvmMethodRec, m);
    ko_ret_int(complete, thread, (m->access & 0x0080) != 0);
}
static_assert(offsetof(KoJvmFieldRec, name) == offsetof(KoJvmMethodRec, name), "member records share their head");
static_assert(offsetof(KoJvmFieldRec, access) == offsetof(KoJvmMethodRec, access), "member records share their head");

KO_NATIVE(Constructor_getName)
{
    U;
    RECORD(KoJvmMethodRec, m);
    KoJvmSymbol* n = ko_jvm_class_name(ko_cls(m->clazz));
    std::string s(ko_sym_bytes(n), ko_sym_len(n));
    const std::size_t slash = s.rfind('/');
    if (slash != std::string::npos)
        s.erase(0, slash + 1);
    ret_object(vm, complete, thread, ko_jvm_new_string_utf8(vm, s.data(), s.size()));
}
KO_NATIVE(Constructor_getParameterTypes)
{
    U;
    RECORD(KoJvmMethodRec, m);
    auto params = parameters(ko_sym(m->desc));
    KoJvmObjectRec* a = ko_jvm_alloc_object_array(vm, vm->known[KO_K_Class], std::int32_t(params.size()));
    if (!a) {
        complete(nullptr, vm->oom, thread);
        return;
    }
    for (std::size_t i = 0; i < params.size(); ++i) {
        const char* d = params[i].first;
        const std::size_t len = params[i].second;
        KoJvmClassRec* c = len == 1 ? wrapper_class(vm, d[0]) : ko_jvm_class_for_descriptor(vm, d, len);
        if (!c) {
            ko_ret_throw(vm, complete, thread, "java/lang/InternalError");
            return;
        }
        KoJvmObjectRec* o = ko_jvm_class_object(vm, c);
        if (!o) {
            complete(nullptr, vm->oom, thread);
            return;
        }
        ko_jvm_set_array_ref(vm, a, std::int32_t(i), o);
    }
    ko_ret_ref(complete, thread, a);
}
KO_NATIVE(Constructor_newInstance)
{
    U;
    RECORD(KoJvmMethodRec, m);
    construct(vm, complete, thread, ko_cls(m->clazz), m, obj(args));
}

KO_NATIVE(Method_getReturnType)
{
    U;
    RECORD(KoJvmMethodRec, m);
    KoJvmSymbol* d = ko_sym(m->desc);
    const char* ret = std::strchr(ko_sym_bytes(d), ')') + 1;
    TypeCall* call = new_type_call(thread);
    if (!call) {
        complete(nullptr, vm->oom, thread);
        return;
    }
    class_for_type(thread, ret, std::size_t(ko_sym_bytes(d) + ko_sym_len(d) - ret), one_type_done, call);
}
KO_NATIVE(Method_getParameterTypes)
{
    U;
    RECORD(KoJvmMethodRec, m);
    TypeCall* call = new_type_call(thread);
    KoJvmObjectRec* a = nullptr;
    if (call) {
        call->params = parameters(ko_sym(m->desc));
        a = ko_jvm_alloc_object_array(vm, vm->known[KO_K_Class], std::int32_t(call->params.size()));
    }
    if (!a) {
        delete call;
        complete(nullptr, vm->oom, thread);
        return;
    }
    call->array.object = a;
    ko_jvm_add_global_ref(vm, &call->array);
    next_parameter(call);
}
KO_NATIVE(Method_invoke)
{
    U;
    RECORD(KoJvmMethodRec, m);
    KoJvmObjectRec* receiver = obj(args);
    KoJvmObjectRec* arguments = obj(args + 1);
    if (!arguments || (!receiver && !(m->access & KO_ACC_STATIC)))
        ko_ret_throw(vm, complete, thread, "java/lang/NullPointerException");
    else if (!(m->access & KO_ACC_STATIC) && !ko_jvm_is_assignable(vm, ko_cls(m->clazz), ko_jvm_class(receiver)))
        ko_ret_throw(vm, complete, thread, "java/lang/IllegalArgumentException");
    else
        invoke(vm, thread, m, receiver, arguments, false);
}

KO_NATIVE(Field_getType)
{
    U;
    RECORD(KoJvmFieldRec, f);
    TypeCall* call = new_type_call(thread);
    if (!call) {
        complete(nullptr, vm->oom, thread);
        return;
    }
    KoJvmSymbol* d = ko_sym(f->desc);
    class_for_type(thread, ko_sym_bytes(d), ko_sym_len(d), one_type_done, call);
}
KO_NATIVE(Field_get) { (void)data; field_native(vm, clazz, self, args, complete, thread, F_GET); }
KO_NATIVE(Field_setBoolean) { (void)data; field_native(vm, clazz, self, args, complete, thread, F_SET_BOOLEAN); }
KO_NATIVE(Field_setInt) { (void)data; field_native(vm, clazz, self, args, complete, thread, F_SET_INT); }
KO_NATIVE(Field_setLong) { (void)data; field_native(vm, clazz, self, args, complete, thread, F_SET_LONG); }
KO_NATIVE(Field_setReference) { (void)data; field_native(vm, clazz, self, args, complete, thread, F_SET_REFERENCE); }
