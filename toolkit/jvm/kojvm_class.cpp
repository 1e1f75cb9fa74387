// Class files: parsing, field layout, member lookup, assignability, array
// classes and loading through the class loader.
#include "toolkit/jvm/kojvm_class.h"

#include "toolkit/jvm/kojvm_internal.h"

#include "common/container/xr_bytes.h"
#include "lib/adt/kohash.h"
#include "lib/unicode/kounicode.h"
#include "toolkit/jvm/kojvm_classfile.h"
#include "toolkit/jvm/kojvm_verify.h"

#include <cstdio>

namespace {

KoJvmObjectRec* format_error(KoJvmRec* vm) { return ko_jvm_new_known(vm, KO_K_ClassFormatError); }

std::uint32_t add_native(KoJvmRec* vm, KoJvmNative fn)
{
    if (!fn)
        return 0;
    if (vm->native_count == vm->native_capacity) {
        KoJvmNative* n = static_cast<KoJvmNative*>(
            ko_realloc(vm->native_fns, 0, sizeof(KoJvmNative) * vm->native_capacity * 2));
        if (!n)
            return 0;
        vm->native_fns = n;
        vm->native_capacity *= 2;
    }
    vm->native_fns[vm->native_count] = fn;
    return vm->native_count++;
}

KoJvmSymbol* utf8_at(KoJvmClassRec* c, unsigned index)
{
    if (index == 0 || index >= c->pool_count)
        return nullptr;
    KoJvmConst& e = ko_pool(c)[index];
    return e.tag == KO_CP_UTF8 ? ko_sym(e.u.sym) : nullptr;
}
KoJvmSymbol* class_at(KoJvmClassRec* c, unsigned index)
{
    if (index == 0 || index >= c->pool_count)
        return nullptr;
    KoJvmConst& e = ko_pool(c)[index];
    return e.tag == KO_CP_CLASS ? ko_sym(e.u.cls.name) : nullptr;
}

void* arena_array(std::size_t count, std::size_t size) { return count ? ko_jvm_arena_alloc(count * size) : nullptr; }

template <class T>
T* arena_new(std::size_t count) { return static_cast<T*>(arena_array(count, sizeof(T))); }

// Resolves count class indices from cur into out; false on an index that names no class.
bool read_class_refs(KoJvmClassRec* c, XrByteCursor& cur, unsigned count, KoRef* out)
{
    for (unsigned i = 0; i < count; ++i) {
        KoJvmSymbol* s = class_at(c, cur.u16_be());
        if (!s)
            return false;
        out[i] = ko_ref(s);
    }
    return true;
}

// Parses the attributes of one Code attribute body.
bool parse_code(KoJvmRec* vm, KoJvmClassRec* c, KoJvmMethodRec* m, XrByteCursor cur)
{
    if (cur.size() < 12)
        return false;
    m->max_stack = cur.u16_be();
    m->max_locals = cur.u16_be();
    std::uint32_t len = cur.u32_be();
    const BYTE* code = cur.take(len);
    if (!code)
        return false;
    m->code_length = len;
    m->code = ko_ref(code);
    std::uint16_t n = cur.u16_be();
    if (!cur.has(std::size_t(n) * 8))
        return false;
    KoJvmExceptionEntry* ex = arena_new<KoJvmExceptionEntry>(n);
    if (n && !ex)
        return false;
    for (unsigned i = 0; i < n; ++i) {
        ex[i].start_pc = cur.u16_be();
        ex[i].end_pc = cur.u16_be();
        ex[i].handler_pc = cur.u16_be();
        std::uint16_t type = cur.u16_be();
        if (type) {
            KoJvmSymbol* s = class_at(c, type);
            if (!s)
                return false;
            ex[i].catch_type = ko_ref(s);
        }
    }
    m->exceptions = ko_ref(ex);
    m->exception_count = n;
    std::uint16_t attrs = cur.u16_be();
    bool lines = false, locals = false;
    for (unsigned a = 0; a < attrs && cur.ok(); ++a) {
        KoJvmSymbol* name = utf8_at(c, cur.u16_be());
        std::uint32_t alen = cur.u32_be();
        XrByteCursor body = cur.sub(alen);
        if (!name || !cur.ok())
            return false;
        if (ko_sym_is(name, "LineNumberTable")) {
            if (lines)
                return false;
            lines = true;
            std::uint16_t k = body.u16_be();
            if (!body.has(std::size_t(k) * 4))
                return false;
            KoJvmLineEntry* l = arena_new<KoJvmLineEntry>(k);
            if (k && !l)
                return false;
            for (unsigned i = 0; i < k; ++i) {
                l[i].start_pc = body.u16_be();
                l[i].line = body.u16_be();
            }
            m->lines = ko_ref(l);
            m->line_count = k;
        } else if (ko_sym_is(name, "LocalVariableTable")) {
            if (locals)
                return false;
            locals = true;
            std::uint16_t k = body.u16_be();
            if (!body.has(std::size_t(k) * 10))
                return false;
            KoJvmLocalEntry* l = arena_new<KoJvmLocalEntry>(k);
            if (k && !l)
                return false;
            for (unsigned i = 0; i < k; ++i) {
                l[i].start_pc = body.u16_be();
                l[i].length = body.u16_be();
                KoJvmSymbol* ln = utf8_at(c, body.u16_be());
                KoJvmSymbol* ld = utf8_at(c, body.u16_be());
                l[i].index = body.u16_be();
                if (!ln || !ld)
                    return false;
                l[i].name = ko_ref(ln);
                l[i].desc = ko_ref(ld);
            }
            m->locals = ko_ref(l);
            m->local_count = k;
        }
    }
    (void)vm;
    return cur.ok() && cur.at_end();
}

bool constant_fits(KoJvmRec* vm, KoJvmClassRec* c, unsigned index, KoJvmSymbol* desc)
{
    if (index == 0 || index >= c->pool_count)
        return false;
    std::uint8_t tag = ko_pool(c)[index].tag;
    switch (ko_sym_bytes(desc)[0]) {
    case 'J': return tag == KO_CP_LONG;
    case 'F': return tag == KO_CP_FLOAT;
    case 'D': return tag == KO_CP_DOUBLE;
    case 'I': case 'S': case 'C': case 'B': case 'Z': return tag == KO_CP_INTEGER;
    default: return desc == vm->s_String_desc && tag == KO_CP_STRING;
    }
}

} // namespace

// ---- Descriptors ------------------------------------------------------------

std::size_t ko_jvm_field_type_length(const char* t, std::size_t avail)
{
    std::size_t i = 0;
    while (i < avail && t[i] == '[')
        ++i;
    if (i >= avail || i > 255)
        return 0;
    switch (t[i]) {
    case 'B': case 'C': case 'D': case 'F': case 'I': case 'J': case 'S': case 'Z':
        return i + 1;
    case 'L': {
        std::size_t j = i + 1;
        while (j < avail && t[j] != ';')
            ++j;
        if (j >= avail || j == i + 1)
            return 0;
        return j + 1;
    }
    default:
        return 0;
    }
}

int ko_jvm_descriptor_slots(const char* d, std::size_t len, int* return_slots, bool* return_ref, std::size_t* return_offset)
{
    if (len < 3 || d[0] != '(')
        return -1;
    std::size_t i = 1;
    int slots = 0;
    while (i < len && d[i] != ')') {
        std::size_t n = ko_jvm_field_type_length(d + i, len - i);
        if (!n)
            return -1;
        slots += (n == 1 && (d[i] == 'J' || d[i] == 'D')) ? 2 : 1;
        i += n;
    }
    if (i >= len)
        return -1;
    ++i;
    if (return_offset)
        *return_offset = i;
    if (i + 1 == len && d[i] == 'V') {
        if (return_slots)
            *return_slots = 0;
        if (return_ref)
            *return_ref = false;
        return slots;
    }
    std::size_t n = ko_jvm_field_type_length(d + i, len - i);
    if (!n || i + n != len)
        return -1;
    if (return_slots)
        *return_slots = (n == 1 && (d[i] == 'J' || d[i] == 'D')) ? 2 : 1;
    if (return_ref)
        *return_ref = d[i] == 'L' || d[i] == '[';
    return slots;
}

// ---- Records ------------------------------------------------------------------

KoJvmClassRec* ko_jvm_new_class_record(KoJvmRec* vm)
{
    KoJvmClassRec* c = static_cast<KoJvmClassRec*>(ko_jvm_arena_alloc(sizeof(KoJvmClassRec)));
    if (c) {
        c->refs = 1;
        c->id = ++vm->class_counter;
    }
    return c;
}

KoJvmClassRec* ko_jvm_superclass(KoJvmClassRec* c) { return ko_cls(c->superclass); }

void ko_jvm_release_class(KoJvmRec*, KoJvmClassRec* c)
{
    if (c->native_data_free)
        c->native_data_free(c->native_data);
    c->native_data_free = nullptr;
    c->native_data = nullptr;
    // The arena is given back as a whole when the VM goes; class records of a
    // VM that lives on stay (a failed load leaves a few hundred bytes).
}

void ko_jvm_set_class_data(KoJvmRec*, KoJvmClassRec* c, void* data, KoJvmDataFree destructor)
{
    if (c->native_data_free)
        c->native_data_free(c->native_data);
    c->native_data = data;
    c->native_data_free = destructor;
}

// ---- Parsing ------------------------------------------------------------------

KoJvmObjectRec* ko_jvm_parse_class(KoJvmRec* vm, KoJvmClassRec* c, const unsigned char* in, std::size_t length,
                                   int flags, const KoJvmNative* natives, int count)
{
    using namespace kojvm_classfile;
    if (length < kMinSize || length > 0x3FFFFFFF)
        return format_error(vm);
    // Symbols, code and tables refer into the bytes, so they live in the arena.
    const unsigned char* bytes = in;
    if (!ko_jvm_arena_contains(in)) {
        unsigned char* copy = static_cast<unsigned char*>(ko_jvm_arena_alloc(length));
        if (!copy)
            return vm->oom;
        std::memcpy(copy, in, length);
        bytes = copy;
    }
    c->bytes = ko_ref(bytes);
    c->bytes_length = static_cast<std::uint32_t>(length);
    if (flags & 1)
        c->vm_flags |= KO_JVM_CLASS_F_KEPT_BYTES;
    vm->parsing = ko_ref(c);
    XrByteCursor cur(bytes, length);
    if (cur.u32_be() != kMagic)
        return format_error(vm);
    std::uint16_t minor = cur.u16_be();
    std::uint16_t major = cur.u16_be();
    if (major < kMinMajor || major > kMaxMajor || (major == kMaxMajor && minor != 0))
        return ko_jvm_new_known(vm, KO_K_UnsupportedClassVersionError);
    std::uint16_t pool_count = cur.u16_be();
    if (pool_count == 0)
        return format_error(vm);
    KoJvmConst* pool = static_cast<KoJvmConst*>(ko_jvm_arena_alloc(sizeof(KoJvmConst) * pool_count));
    if (!pool)
        return vm->oom;
    c->pool = ko_ref(pool);
    c->pool_count = pool_count;
    // Pass 1: read the entries.
    for (unsigned i = 1; i < pool_count; ++i) {
        KoJvmConst& e = pool[i];
        e.tag = cur.u8();
        switch (e.tag) {
        case KO_CP_UTF8: {
            std::uint16_t n = cur.u16_be();
            const BYTE* p = cur.take(n);
            if (!p || !ko_utf8_check(p, n, 0xFFFF, nullptr))
                return format_error(vm);
            KoJvmSymbol* s = ko_jvm_intern(vm, reinterpret_cast<const char*>(p), n, true);
            if (!s)
                return vm->oom;
            e.u.sym = ko_ref(s);
            e.resolved = 1;
            break;
        }
        case KO_CP_INTEGER: e.u.i = cur.i32_be(); e.resolved = 1; break;
        case KO_CP_FLOAT: {
            std::uint32_t bits = cur.u32_be();
            std::memcpy(&e.u.f, &bits, 4);
            e.resolved = 1;
            break;
        }
        case KO_CP_LONG: case KO_CP_DOUBLE: {
            std::uint64_t bits = cur.u64_be();
            std::memcpy(&e.u.l, &bits, 8);
            e.resolved = 1;
            if (++i >= pool_count)
                return format_error(vm);
            break;
        }
        case KO_CP_CLASS: case KO_CP_STRING: e.a = cur.u16_be(); break;
        case KO_CP_FIELDREF: case KO_CP_METHODREF: case KO_CP_INTERFACE_METHODREF: case KO_CP_NAME_AND_TYPE:
            e.a = cur.u16_be();
            e.b = cur.u16_be();
            break;
        default:
            return format_error(vm);
        }
        if (!cur.ok())
            return format_error(vm);
    }
    // Pass 2: link the entries that name others.
    for (int pass = 0; pass < 3; ++pass) {
        for (unsigned i = 1; i < pool_count; ++i) {
            KoJvmConst& e = pool[i];
            if (e.resolved || e.tag == 0)
                continue;
            switch (e.tag) {
            case KO_CP_CLASS: {
                KoJvmSymbol* s = utf8_at(c, e.a);
                if (!s)
                    return format_error(vm);
                e.u.cls.name = ko_ref(s);
                e.resolved = 1;
                break;
            }
            case KO_CP_STRING:
                if (!utf8_at(c, e.a))
                    return format_error(vm);
                if (vm->known[KO_K_String]) {
                    KoJvmObjectRec* s = ko_jvm_symbol_string(vm, utf8_at(c, e.a));
                    if (!s)
                        return vm->oom;
                    e.u.string = ko_ref(s);
                    e.resolved = 1;
                    c->vm_flags |= KO_JVM_CLASS_F_STRINGS;
                }
                break;
            case KO_CP_NAME_AND_TYPE: {
                KoJvmSymbol* n = utf8_at(c, e.a);
                KoJvmSymbol* d = utf8_at(c, e.b);
                if (!n || !d)
                    return format_error(vm);
                e.u.nat.name = ko_ref(n);
                e.u.nat.desc = ko_ref(d);
                e.resolved = 1;
                break;
            }
            default: { // member references
                if (e.a == 0 || e.a >= pool_count || e.b == 0 || e.b >= pool_count ||
                    pool[e.a].tag != KO_CP_CLASS || pool[e.b].tag != KO_CP_NAME_AND_TYPE)
                    return format_error(vm);
                if (!pool[e.a].resolved || !pool[e.b].resolved)
                    break;
                e.u.mem.class_name = pool[e.a].u.cls.name;
                e.u.mem.name = pool[e.b].u.nat.name;
                e.u.mem.desc = pool[e.b].u.nat.desc;
                e.resolved = 2; // names linked; the record is resolved on first use
                break;
            }
            }
        }
    }
    for (unsigned i = 1; i < pool_count; ++i)
        if (pool[i].tag && pool[i].tag != KO_CP_STRING && !pool[i].resolved)
            return format_error(vm);
    for (unsigned i = 1; i < pool_count; ++i)
        if (pool[i].tag == KO_CP_FIELDREF || pool[i].tag == KO_CP_METHODREF || pool[i].tag == KO_CP_INTERFACE_METHODREF)
            pool[i].resolved = 0;
    if (!cur.has(8))
        return format_error(vm);
    c->access = cur.u16_be();
    KoJvmSymbol* self = class_at(c, cur.u16_be());
    if (!self)
        return format_error(vm);
    c->name = ko_ref(self);
    std::uint16_t super_index = cur.u16_be();
    if (super_index) {
        KoJvmSymbol* s = class_at(c, super_index);
        if (!s)
            return format_error(vm);
        if (s == self)
            return ko_jvm_new_known(vm, KO_K_ClassCircularityError);
        c->super_name = ko_ref(s);
    }
    std::uint16_t icount = cur.u16_be();
    if (!cur.has(std::size_t(icount) * 2 + 6))
        return format_error(vm);
    KoRef* ifaces = arena_new<KoRef>(icount);
    if (icount && !ifaces)
        return vm->oom;
    if (!read_class_refs(c, cur, icount, ifaces))
        return format_error(vm);
    c->interfaces = ko_ref(ifaces);
    c->interface_count = icount;
    // Fields
    std::uint16_t fcount = cur.u16_be();
    KoJvmFieldRec* fields = arena_new<KoJvmFieldRec>(fcount);
    if (fcount && !fields)
        return vm->oom;
    c->fields = ko_ref(fields);
    c->field_count = fcount;
    for (unsigned i = 0; i < fcount; ++i) {
        KoJvmFieldRec& f = fields[i];
        f.clazz = ko_ref(c);
        f.access = cur.u16_be();
        KoJvmSymbol* name = utf8_at(c, cur.u16_be());
        KoJvmSymbol* desc = utf8_at(c, cur.u16_be());
        if (!name || !desc || ko_jvm_field_type_length(ko_sym_bytes(desc), ko_sym_len(desc)) != ko_sym_len(desc))
            return format_error(vm);
        f.name = ko_ref(name);
        f.desc = ko_ref(desc);
        char letter = ko_sym_bytes(desc)[0];
        if (letter == 'L' || letter == '[')
            c->vm_flags |= (f.access & KO_ACC_STATIC) ? KO_JVM_CLASS_F_STATIC_REFS : KO_JVM_CLASS_F_INSTANCE_REFS;
        std::uint16_t attrs = cur.u16_be();
        for (unsigned a = 0; a < attrs && cur.ok(); ++a) {
            KoJvmSymbol* an = utf8_at(c, cur.u16_be());
            std::uint32_t alen = cur.u32_be();
            XrByteCursor body = cur.sub(alen);
            if (!an || !cur.ok())
                return format_error(vm);
            if (ko_sym_is(an, "ConstantValue")) {
                if (!(f.access & KO_ACC_STATIC))
                    continue;
                if (alen != 2)
                    return format_error(vm);
                std::uint16_t ci = body.u16_be();
                if (!constant_fits(vm, c, ci, desc))
                    return format_error(vm);
                f.constant = ci;
            } else if (ko_sym_is(an, "Synthetic")) {
                f.flags |= 0x02;
            } else if (ko_sym_is(an, "Deprecated")) {
                f.flags |= 0x01;
            }
        }
        for (unsigned k = 0; k < i; ++k)
            if (fields[k].name == f.name && fields[k].desc == f.desc)
                return format_error(vm);
        if (!cur.ok())
            return format_error(vm);
    }
    // Methods
    std::uint16_t mcount = cur.u16_be();
    KoJvmMethodRec* methods = arena_new<KoJvmMethodRec>(mcount);
    if (mcount && !methods)
        return vm->oom;
    c->methods = ko_ref(methods);
    c->method_count = mcount;
    int native_seen = 0;
    for (unsigned i = 0; i < mcount; ++i) {
        KoJvmMethodRec& m = methods[i];
        m.clazz = ko_ref(c);
        m.index = static_cast<std::uint16_t>(i);
        m.access = cur.u16_be();
        KoJvmSymbol* name = utf8_at(c, cur.u16_be());
        KoJvmSymbol* desc = utf8_at(c, cur.u16_be());
        if (!name || !desc)
            return format_error(vm);
        m.name = ko_ref(name);
        m.desc = ko_ref(desc);
        int rs = 0;
        bool rref = false;
        std::size_t roff = 0;
        int slots = ko_jvm_descriptor_slots(ko_sym_bytes(desc), ko_sym_len(desc), &rs, &rref, &roff);
        if (slots < 0 || slots > 255)
            return format_error(vm);
        m.arg_slots = static_cast<std::uint16_t>(slots);
        m.return_slots = static_cast<std::uint8_t>(rs);
        m.return_is_ref = rref;
        m.return_type = ko_ref(ko_sym_bytes(desc) + roff);
        m.return_type_length = static_cast<std::uint16_t>(ko_sym_len(desc) - roff);
        if (name == vm->s_finalize && desc == vm->s_void_desc && self != vm->s_Object)
            c->vm_flags |= KO_JVM_CLASS_F_FINALIZER;
        if (m.access & KO_ACC_NATIVE) {
            KoJvmNative fn = nullptr;
            if (native_seen < count) {
                fn = natives[native_seen];
            } else {
                char key[1024];
                ko_snprintf(key, sizeof key, "%.*s.%.*s%.*s", int(ko_sym_len(self)), ko_sym_bytes(self),
                            int(ko_sym_len(name)), ko_sym_bytes(name), int(ko_sym_len(desc)), ko_sym_bytes(desc));
                KoJvmNativeEntry probe{};
                probe.key = key;
                if (KoJvmNativeEntry* e = static_cast<KoJvmNativeEntry*>(ko_hash_find(vm->registry, &probe)))
                    fn = e->fn;
            }
            ++native_seen;
            m.native_index = add_native(vm, fn);
        }
        std::uint16_t attrs = cur.u16_be();
        bool code_seen = false, exceptions_seen = false;
        for (unsigned a = 0; a < attrs && cur.ok(); ++a) {
            KoJvmSymbol* an = utf8_at(c, cur.u16_be());
            std::uint32_t alen = cur.u32_be();
            XrByteCursor body = cur.sub(alen);
            if (!an || !cur.ok())
                return format_error(vm);
            if (ko_sym_is(an, "Code")) {
                if (code_seen || !parse_code(vm, c, &m, body))
                    return format_error(vm);
                code_seen = true;
            } else if (ko_sym_is(an, "Exceptions")) {
                if (exceptions_seen)
                    return format_error(vm);
                exceptions_seen = true;
                std::uint16_t k = body.u16_be();
                if (!body.has(std::size_t(k) * 2))
                    return format_error(vm);
                KoRef* decl = arena_new<KoRef>(k);
                if (k && !decl)
                    return vm->oom;
                if (!read_class_refs(c, body, k, decl))
                    return format_error(vm);
                m.declared = ko_ref(decl);
                m.declared_count = k;
            } else if (ko_sym_is(an, "Synthetic")) {
                m.flags |= KO_JVM_METHOD_F_SYNTHETIC;
            } else if (ko_sym_is(an, "Deprecated")) {
                m.flags |= KO_JVM_METHOD_F_DEPRECATED;
            }
        }
        if (!cur.ok())
            return format_error(vm);
        // Concrete bytecode methods need code; native and abstract ones none.
        if (!(m.access & (KO_ACC_NATIVE | KO_ACC_ABSTRACT)) && !code_seen)
            return format_error(vm);
    }
    if (native_seen < count)
        ko_fatal("Excess native methods specified");
    for (unsigned i = 0; i < mcount; ++i)
        for (unsigned k = i + 1; k < mcount; ++k)
            if (methods[i].name == methods[k].name) {
                methods[i].flags |= KO_JVM_METHOD_F_OVERLOADED;
                methods[k].flags |= KO_JVM_METHOD_F_OVERLOADED;
            }
    std::uint16_t attrs = cur.u16_be();
    bool source_seen = false;
    for (unsigned a = 0; a < attrs && cur.ok(); ++a) {
        KoJvmSymbol* an = utf8_at(c, cur.u16_be());
        std::uint32_t alen = cur.u32_be();
        XrByteCursor body = cur.sub(alen);
        if (!an || !cur.ok())
            return format_error(vm);
        if (ko_sym_is(an, "Deprecated")) {
            c->vm_flags |= KO_JVM_CLASS_F_DEPRECATED;
        } else if (ko_sym_is(an, "SourceFile")) {
            if (alen != 2 || source_seen)
                return format_error(vm);
            source_seen = true;
            KoJvmSymbol* s = utf8_at(c, body.u16_be());
            if (!s)
                return format_error(vm);
            c->source_file = ko_ref(s);
        }
    }
    if (!cur.ok() || !cur.at_end())
        return format_error(vm);
    if (KoJvmObjectRec* e = ko_jvm_verify_class(vm, c))
        return e;
    vm->parsing = 0;
    return nullptr;
}

// ---- Layout -------------------------------------------------------------------

namespace {
std::uint32_t type_size(char letter)
{
    switch (letter) {
    case 'B': case 'Z': return 1;
    case 'C': case 'S': return 2;
    case 'D': case 'J': return 8;
    case 'F': case 'I': case 'L': case '[': return 4;
    default: ko_fatal("%s:%d: Unreachable code reached", "toolkit/jvm/kojvm_class", 512);
    }
}

void apply_constant(KoJvmRec* vm, KoJvmClassRec* c, KoJvmFieldRec& f)
{
    KoJvmConst& e = ko_pool(c)[f.constant];
    unsigned char* p = ko_ptr<unsigned char>(c->statics) + f.offset;
    char letter = ko_sym_bytes(ko_sym(f.desc))[0];
    switch (letter) {
    case 'J': case 'D': std::memcpy(p, &e.u.l, 8); break;
    case 'F': std::memcpy(p, &e.u.f, 4); break;
    case 'I': std::memcpy(p, &e.u.i, 4); break;
    case 'S': case 'C': { std::uint16_t v = static_cast<std::uint16_t>(e.u.i); std::memcpy(p, &v, 2); break; }
    case 'B': case 'Z': *p = static_cast<unsigned char>(e.u.i); break;
    default:
        if (e.resolved) {
            KoRef r = e.u.string;
            std::memcpy(p, &r, 4);
        } else if (vm->known[KO_K_String]) {
            KoJvmObjectRec* s = ko_jvm_symbol_string(vm, ko_sym(ko_pool(c)[e.a].u.sym));
            KoRef r = ko_ref(s);
            std::memcpy(p, &r, 4);
        }
    }
}
}

KoJvmObjectRec* ko_jvm_layout_fields(KoJvmRec* vm, KoJvmClassRec* c)
{
    std::uint32_t offset = 24;
    if (KoJvmClassRec* s = ko_jvm_superclass(c)) {
        c->vm_flags |= s->vm_flags & (KO_JVM_CLASS_F_INSTANCE_REFS | KO_JVM_CLASS_F_FINALIZER);
        offset = s->instance_size;
    }
    c->first_field_offset = offset;
    std::uint32_t statics = 0;
    KoJvmFieldRec* fields = ko_fields(c);
    for (unsigned i = 0; i < c->field_count; ++i) {
        KoJvmFieldRec& f = fields[i];
        std::uint32_t size = type_size(ko_sym_bytes(ko_sym(f.desc))[0]);
        std::uint32_t& at = (f.access & KO_ACC_STATIC) ? statics : offset;
        at = (at + size - 1) & ~(size - 1);
        f.offset = at;
        at += size;
    }
    c->instance_size = (offset + 3) & ~3u;
    c->statics_size = statics;
    if (statics) {
        void* area = ko_jvm_arena_alloc(statics);
        if (!area)
            return vm->oom;
        c->statics = ko_ref(area);
        // Constant values of static fields are in place before any code runs.
        for (unsigned i = 0; i < c->field_count; ++i)
            if ((fields[i].access & KO_ACC_STATIC) && fields[i].constant)
                apply_constant(vm, c, fields[i]);
    }
    if (c->vm_flags & (KO_JVM_CLASS_F_STATIC_REFS | KO_JVM_CLASS_F_STRINGS)) {
        c->vm_flags |= KO_JVM_CLASS_F_LISTED;
        c->next_static = vm->static_classes;
        vm->static_classes = ko_ref(c);
    }
    return nullptr;
}

void ko_jvm_resolve_strings(KoJvmRec* vm, KoJvmClassRec* c)
{
    KoJvmConst* pool = ko_pool(c);
    for (unsigned i = 1; i < c->pool_count; ++i) {
        if (pool[i].tag == KO_CP_STRING && !pool[i].resolved) {
            KoJvmObjectRec* s = ko_jvm_symbol_string(vm, ko_sym(pool[pool[i].a].u.sym));
            if (s) {
                pool[i].u.string = ko_ref(s);
                pool[i].resolved = 1;
                c->vm_flags |= KO_JVM_CLASS_F_STRINGS;
            }
        }
    }
    KoJvmFieldRec* fields = ko_fields(c);
    for (unsigned i = 0; i < c->field_count; ++i)
        if ((fields[i].access & KO_ACC_STATIC) && fields[i].constant && fields[i].desc == ko_ref(vm->s_String_desc))
            apply_constant(vm, c, fields[i]);
    if (!(c->vm_flags & KO_JVM_CLASS_F_LISTED)) {
        c->vm_flags |= KO_JVM_CLASS_F_LISTED;
        c->next_static = vm->static_classes;
        vm->static_classes = ko_ref(c);
    }
}

// ---- Lookup -------------------------------------------------------------------

namespace {
KoJvmFieldRec* own_field(KoJvmClassRec* c, KoRef name, KoRef desc)
{
    KoJvmFieldRec* f = ko_fields(c);
    for (unsigned i = 0; i < c->field_count; ++i)
        if (f[i].name == name && f[i].desc == desc)
            return &f[i];
    return nullptr;
}
KoJvmMethodRec* own_method(KoJvmClassRec* c, KoRef name, KoRef desc)
{
    KoJvmMethodRec* m = ko_methods(c);
    for (unsigned i = 0; i < c->method_count; ++i)
        if (m[i].name == name && m[i].desc == desc)
            return &m[i];
    return nullptr;
}
KoRef cache_find(KoJvmCacheEntry* cache, std::uint8_t& n, KoRef name, KoRef desc)
{
    for (unsigned i = 0; i < n; ++i) {
        if (cache[i].name == name && cache[i].desc == desc) {
            KoJvmCacheEntry hit = cache[i];
            std::memmove(cache + 1, cache, sizeof(KoJvmCacheEntry) * i);
            cache[0] = hit;
            return hit.rec;
        }
    }
    return 0;
}
void cache_put(KoJvmCacheEntry* cache, std::uint8_t& n, KoRef name, KoRef desc, KoRef rec)
{
    if (n < 10)
        ++n;
    std::memmove(cache + 1, cache, sizeof(KoJvmCacheEntry) * (n - 1));
    cache[0] = {name, desc, rec};
}
KoJvmFieldRec* search_field(KoJvmClassRec* c, KoRef name, KoRef desc)
{
    for (; c; c = ko_jvm_superclass(c)) {
        if (KoJvmFieldRec* f = own_field(c, name, desc))
            return f;
        KoRef* ifs = ko_ptr<KoRef>(c->interfaces);
        for (unsigned i = 0; i < c->interface_count; ++i)
            if (KoJvmClassRec* ic = ko_cls(ko_sym(ifs[i])->clazz))
                if (KoJvmFieldRec* f = search_field(ic, name, desc))
                    return f;
    }
    return nullptr;
}
KoJvmMethodRec* search_method(KoJvmClassRec* c, KoRef name, KoRef desc, bool interfaces)
{
    for (KoJvmClassRec* k = c; k; k = ko_jvm_superclass(k))
        if (KoJvmMethodRec* m = own_method(k, name, desc))
            return m;
    if (!interfaces)
        return nullptr;
    for (KoJvmClassRec* k = c; k; k = ko_jvm_superclass(k)) {
        KoRef* ifs = ko_ptr<KoRef>(k->interfaces);
        for (unsigned i = 0; i < k->interface_count; ++i)
            if (KoJvmClassRec* ic = ko_cls(ko_sym(ifs[i])->clazz))
                if (KoJvmMethodRec* m = search_method(ic, name, desc, true))
                    return m;
    }
    return nullptr;
}
}

KoJvmFieldRec* ko_jvm_lookup_field(KoJvmRec*, KoJvmClassRec* c, KoJvmSymbol* name, KoJvmSymbol* desc)
{
    KoRef n = ko_ref(name), d = ko_ref(desc);
    if (KoRef r = cache_find(c->field_cache, c->field_cache_count, n, d))
        return ko_ptr<KoJvmFieldRec>(r);
    KoJvmFieldRec* f = search_field(c, n, d);
    if (f)
        cache_put(c->field_cache, c->field_cache_count, n, d, ko_ref(f));
    return f;
}

KoJvmMethodRec* ko_jvm_lookup_method(KoJvmRec* vm, KoJvmClassRec* c, KoJvmSymbol* name, KoJvmSymbol* desc, bool interfaces)
{
    KoRef n = ko_ref(name), d = ko_ref(desc);
    if (KoRef r = cache_find(c->method_cache, c->method_cache_count, n, d))
        return ko_meth(r);
    KoJvmMethodRec* m = name == vm->s_clinit ? own_method(c, n, d) : search_method(c, n, d, interfaces);
    if (m)
        cache_put(c->method_cache, c->method_cache_count, n, d, ko_ref(m));
    return m;
}

KoJvmFieldRec* ko_jvm_find_field(KoJvmRec* vm, KoJvmClassRec* c, const char* name, const char* desc)
{
    KoJvmSymbol* n = ko_jvm_intern_cstr(vm, name, false);
    KoJvmSymbol* d = ko_jvm_intern_cstr(vm, desc, false);
    return n && d ? ko_jvm_lookup_field(vm, c, n, d) : nullptr;
}
KoJvmMethodRec* ko_jvm_find_method(KoJvmRec* vm, KoJvmClassRec* c, const char* name, const char* desc)
{
    KoJvmSymbol* n = ko_jvm_intern_cstr(vm, name, false);
    KoJvmSymbol* d = ko_jvm_intern_cstr(vm, desc, false);
    return n && d ? ko_jvm_lookup_method(vm, c, n, d, true) : nullptr;
}

KoJvmObjectRec* ko_jvm_resolve_field(KoJvmRec* vm, KoJvmClassRec* c, KoJvmSymbol* name, KoJvmSymbol* desc, KoJvmFieldRec** out)
{
    *out = ko_jvm_lookup_field(vm, c, name, desc);
    if (*out)
        return nullptr;
    char msg[1024];
    KoJvmSymbol* cn = ko_jvm_class_name(c);
    ko_snprintf(msg, sizeof msg, "%.*s.%.*s %.*s", int(ko_sym_len(cn)), ko_sym_bytes(cn), int(ko_sym_len(name)),
                ko_sym_bytes(name), int(ko_sym_len(desc)), ko_sym_bytes(desc));
    return ko_jvm_new_exception(vm, nullptr, vm->known[KO_K_NoSuchFieldError], msg);
}

KoJvmObjectRec* ko_jvm_resolve_method(KoJvmRec* vm, KoJvmClassRec* c, KoJvmSymbol* name, KoJvmSymbol* desc,
                                      bool interfaces, KoJvmMethodRec** out)
{
    *out = ko_jvm_lookup_method(vm, c, name, desc, interfaces);
    if (*out)
        return nullptr;
    char msg[1024];
    KoJvmSymbol* cn = ko_jvm_class_name(c);
    ko_snprintf(msg, sizeof msg, "%.*s.%.*s%.*s", int(ko_sym_len(cn)), ko_sym_bytes(cn), int(ko_sym_len(name)),
                ko_sym_bytes(name), int(ko_sym_len(desc)), ko_sym_bytes(desc));
    return ko_jvm_new_exception(vm, nullptr, vm->known[KO_K_NoSuchMethodError], msg);
}

// ---- Type relations -------------------------------------------------------------

bool ko_jvm_is_subclass(KoJvmRec*, KoJvmClassRec* c, KoJvmClassRec* ancestor)
{
    for (; c; c = ko_jvm_superclass(c))
        if (c == ancestor)
            return true;
    return false;
}

bool ko_jvm_implements(KoJvmRec* vm, KoJvmClassRec* iface, KoJvmClassRec* c)
{
    for (; c; c = ko_jvm_superclass(c)) {
        if (c == iface)
            return true;
        KoRef* ifs = ko_ptr<KoRef>(c->interfaces);
        for (unsigned i = 0; i < c->interface_count; ++i) {
            KoJvmClassRec* ic = ko_cls(ko_sym(ifs[i])->clazz);
            if (ic && ko_jvm_implements(vm, iface, ic))
                return true;
        }
    }
    return false;
}

bool ko_jvm_is_assignable(KoJvmRec* vm, KoJvmClassRec* target, KoJvmClassRec* source)
{
    if (target == source)
        return true;
    bool target_array = target->vm_flags & KO_JVM_CLASS_F_ARRAY;
    if (source->vm_flags & KO_JVM_CLASS_F_ARRAY) {
        if (!target_array) {
            KoJvmSymbol* n = ko_jvm_class_name(target);
            return n == vm->s_Object || n == vm->s_Cloneable || n == vm->s_Serializable;
        }
        bool sp = source->vm_flags & KO_JVM_CLASS_F_PRIMITIVE, tp = target->vm_flags & KO_JVM_CLASS_F_PRIMITIVE;
        if (sp || tp)
            return false;
        KoJvmClassRec* se = ko_cls(source->element_class);
        KoJvmClassRec* te = ko_cls(target->element_class);
        return se && te && ko_jvm_is_assignable(vm, te, se);
    }
    if (target_array)
        return false;
    if (target->access & KO_ACC_INTERFACE) {
        if (source->access & KO_ACC_INTERFACE)
            return ko_jvm_implements(vm, target, source);
        return ko_jvm_implements(vm, target, source);
    }
    if (source->access & KO_ACC_INTERFACE)
        return ko_jvm_class_name(target) == vm->s_Object;
    return ko_jvm_is_subclass(vm, source, target);
}

bool ko_jvm_instance_of(KoJvmRec* vm, KoJvmObjectRec* obj, KoJvmClassRec* c)
{
    return obj && ko_jvm_is_assignable(vm, c, ko_jvm_class(obj));
}

// ---- Class objects, array classes, ids --------------------------------------------

KoJvmObjectRec* ko_jvm_class_object(KoJvmRec* vm, KoJvmClassRec* c)
{
    if (KoJvmObjectRec* o = ko_obj(c->class_object))
        return o;
    KoJvmClassRec* cc = vm->known[KO_K_Class];
    if (!cc || !vm->f_class_native)
        return nullptr;
    KoJvmObjectRec* o = ko_jvm_new_object(vm, cc);
    if (!o)
        return nullptr;
    ko_jvm_set_field_pointer(vm, o, vm->f_class_native, c);
    c->class_object = ko_ref(o);
    return o;
}

KoJvmClassRec* ko_jvm_class_of_object(KoJvmRec* vm, KoJvmObjectRec* o)
{
    if (!o || !vm->f_class_native)
        return nullptr;
    return static_cast<KoJvmClassRec*>(ko_jvm_get_field_pointer(vm, o, vm->f_class_native));
}

KoJvmClassRec* ko_jvm_class_by_id(KoJvmRec* vm, std::uint32_t id)
{
    for (KoRef head : vm->symbols)
        for (KoJvmSymbol* s = ko_sym(head); s; s = ko_sym(s->next))
            if (KoJvmClassRec* c = ko_cls(s->clazz))
                if (c->id == id)
                    return c;
    return nullptr;
}

KoJvmClassRec* ko_jvm_array_class(KoJvmRec* vm, KoJvmSymbol* name)
{
    const char* n = ko_sym_bytes(name);
    std::size_t len = ko_sym_len(name);
    if (len < 2 || n[0] != '[' || ko_jvm_field_type_length(n, len) != len)
        return nullptr;
    KoJvmClassRec* object = ko_cls(vm->s_Object->clazz);
    if (!object)
        return nullptr;
    KoJvmSymbol* element;
    KoJvmClassRec* element_class = nullptr;
    std::uint8_t esize = 4;
    bool primitive = false;
    if (n[1] == 'L') {
        element = ko_jvm_intern(vm, n + 2, len - 3, false);
        if (!element || !(element_class = ko_cls(element->clazz)))
            return nullptr;
    } else if (n[1] == '[') {
        element = ko_jvm_intern(vm, n + 1, len - 1, false);
        if (!element)
            return nullptr;
        element_class = ko_cls(element->clazz);
        if (!element_class && !(element_class = ko_jvm_array_class(vm, element)))
            return nullptr;
    } else {
        element = ko_jvm_intern(vm, n + 1, 1, false);
        primitive = true;
        switch (n[1]) {
        case 'Z': case 'B': esize = 1; break;
        case 'C': case 'S': esize = 2; break;
        case 'J': case 'D': esize = 8; break;
        default: esize = 4;
        }
    }
    if (KoJvmClassRec* have = ko_cls(name->clazz))
        return have;
    KoJvmClassRec* c = ko_jvm_new_class_record(vm);
    if (!c)
        return nullptr;
    c->state = KO_JVM_CLASS_INITIALIZED;
    c->name = ko_ref(name);
    c->super_name = ko_ref(vm->s_Object);
    c->superclass = ko_ref(object);
    c->element_name = ko_ref(element);
    c->element_class = ko_ref(element_class);
    c->element_size = esize;
    c->instance_size = esize == 8 ? 32 : 28;
    c->first_field_offset = c->instance_size;
    c->access = 0x0011;
    c->vm_flags = KO_JVM_CLASS_F_ARRAY | (primitive ? KO_JVM_CLASS_F_PRIMITIVE : 0);
    static const char* const kArrayIfaces[2] = {"java/lang/Cloneable", "java/io/Serializable"};
    (void)kArrayIfaces;
    ++object->refs;
    name->clazz = ko_ref(c);
    if (element_class)
        element_class->array_class = ko_ref(c);
    return c;
}

KoJvmClassRec* ko_jvm_class_for_descriptor(KoJvmRec* vm, const char* d, std::size_t len)
{
    static const char letters[] = "ZBCSIJFD";
    if (len == 1) {
        const char* p = std::strchr(letters, d[0]);
        return p && *p ? ko_cls(vm->s_wrappers[p - letters]->clazz) : nullptr;
    }
    KoJvmSymbol* s = d[0] == 'L' && len > 2 ? ko_jvm_intern(vm, d + 1, len - 2, false) : ko_jvm_intern(vm, d, len, false);
    if (!s)
        return nullptr;
    if (KoJvmClassRec* c = ko_cls(s->clazz))
        return c;
    return d[0] == '[' ? ko_jvm_array_class(vm, s) : nullptr;
}

// ---- Loading ------------------------------------------------------------------

namespace {
struct LoadResult {
    unsigned char* bytes;
    std::size_t length;
    int flags;
    bool called;
};
void load_done(unsigned char* bytes, std::size_t length, int flags, void* data)
{
    LoadResult* r = static_cast<LoadResult*>(data);
    r->bytes = bytes;
    r->length = length;
    r->flags = flags;
    r->called = true;
}

KoJvmObjectRec* no_class(KoJvmRec* vm, KoJvmSymbol* name)
{
    char msg[1024];
    ko_snprintf(msg, sizeof msg, "%.*s", int(ko_sym_len(name)), ko_sym_bytes(name));
    return ko_jvm_new_exception(vm, nullptr, vm->known[KO_K_NoClassDefFoundError], msg);
}

struct LoadStack {
    KoJvmSymbol* items[64];
    int count;
};

KoJvmClassRec* load(KoJvmRec* vm, KoJvmSymbol* name, LoadStack* stack, KoJvmObjectRec** exception);

KoJvmClassRec* load_super(KoJvmRec* vm, KoJvmSymbol* name, LoadStack* stack, KoJvmObjectRec** exception)
{
    if (KoJvmClassRec* c = ko_cls(name->clazz))
        return c;
    for (int i = 0; i < stack->count; ++i) {
        if (stack->items[i] == name) {
            *exception = ko_jvm_new_known(vm, KO_K_ClassCircularityError);
            return nullptr;
        }
    }
    return load(vm, name, stack, exception);
}

KoJvmClassRec* load(KoJvmRec* vm, KoJvmSymbol* name, LoadStack* stack, KoJvmObjectRec** exception)
{
    if (KoJvmClassRec* c = ko_cls(name->clazz)) {
        if (c->state != KO_JVM_CLASS_LOADED)
            return c;
        // A thread is loading it: not available to a synchronous load.
        *exception = no_class(vm, name);
        return nullptr;
    }
    const char* n = ko_sym_bytes(name);
    std::size_t len = ko_sym_len(name);
    if (len && n[0] == '[') {
        std::size_t d = 0;
        while (d < len && n[d] == '[')
            ++d;
        if (d < len && n[d] == 'L' && len > d + 2) {
            KoJvmSymbol* base = ko_jvm_intern(vm, n + d + 1, len - d - 2, false);
            if (!base || !load(vm, base, stack, exception))
                return nullptr;
        } else if (d + 1 != len || !std::strchr("BCDFIJSZ", n[d])) {
            ko_fatal("Invalid base array type %.*s", int(len), n);
        }
        KoJvmClassRec* a = ko_jvm_array_class(vm, name);
        if (!a)
            *exception = vm->oom;
        return a;
    }
    if (stack->count >= 64) {
        *exception = ko_jvm_new_known(vm, KO_K_ClassCircularityError);
        return nullptr;
    }
    stack->items[stack->count++] = name;
    ko_buffer_clear(&vm->path);
    if (!ko_buffer_append(&vm->path, n, len) || !ko_buffer_append(&vm->path, ".class", 6) ||
        !ko_buffer_append(&vm->path, "", 1)) {
        --stack->count;
        *exception = vm->oom;
        return nullptr;
    }
    LoadResult r{};
    vm->params.loader(reinterpret_cast<const char*>(ko_buffer_data(&vm->path)), len + 6, load_done, &r,
                      vm->params.loader_data);
    if (!r.called || !r.bytes) {
        --stack->count;
        *exception = no_class(vm, name);
        return nullptr;
    }
    KoJvmObjectRec* e = nullptr;
    KoJvmClassRec* c = ko_jvm_class_from_bytes(vm, name, r.bytes, r.length, r.flags, &e);
    if (c && c->super_name)
        load_super(vm, ko_sym(c->super_name), stack, &e);
    KoRef* ifs = c ? ko_ptr<KoRef>(c->interfaces) : nullptr;
    for (unsigned i = 0; c && !e && i < c->interface_count; ++i)
        load_super(vm, ko_sym(ifs[i]), stack, &e);
    --stack->count;
    if (!c) {
        *exception = e;
        return nullptr;
    }
    if (!e && ko_cls(name->clazz)) {
        ko_jvm_release_class(vm, c);
        return ko_cls(name->clazz);
    }
    if (!e)
        e = ko_jvm_link_class(vm, c);
    if (e) {
        ko_jvm_release_class(vm, c);
        *exception = e;
        return nullptr;
    }
    name->clazz = ko_ref(c);
    return c;
}
} // namespace

KoJvmClassRec* ko_jvm_class_from_bytes(KoJvmRec* vm, KoJvmSymbol* name, unsigned char* bytes, std::size_t length,
                                       int flags, KoJvmObjectRec** exception)
{
    if (!bytes) {
        *exception = no_class(vm, name);
        return nullptr;
    }
    KoJvmClassRec* c = ko_jvm_new_class_record(vm);
    if (!c) {
        if (!(flags & 1))
            ko_free(bytes);
        *exception = vm->oom;
        return nullptr;
    }
    KoJvmObjectRec* e = ko_jvm_parse_class(vm, c, bytes, length, 0, nullptr, 0);
    vm->parsing = 0;
    if (!(flags & 1))
        ko_free(bytes);
    if (!e && ko_ptr<KoJvmSymbol>(c->name) != name)
        e = no_class(vm, name);
    if (!e && !c->super_name && name != vm->s_Object)
        e = format_error(vm);
    if (e) {
        ko_jvm_release_class(vm, c);
        *exception = e;
        return nullptr;
    }
    return c;
}

KoJvmObjectRec* ko_jvm_link_class(KoJvmRec* vm, KoJvmClassRec* c)
{
    KoJvmClassRec* super = nullptr;
    if (c->super_name) {
        super = ko_cls(ko_sym(c->super_name)->clazz);
        if (!super || super->state == KO_JVM_CLASS_LOADED)
            return ko_jvm_new_known(vm, KO_K_ClassCircularityError);
        if (super->state == KO_JVM_CLASS_ERRONEOUS || (super->access & KO_ACC_INTERFACE))
            return ko_jvm_new_known(vm, KO_K_IncompatibleClassChangeError);
    }
    KoRef* ifs = ko_ptr<KoRef>(c->interfaces);
    for (unsigned i = 0; i < c->interface_count; ++i) {
        KoJvmClassRec* ic = ko_cls(ko_sym(ifs[i])->clazz);
        if (!ic || ic->state == KO_JVM_CLASS_LOADED)
            return ko_jvm_new_known(vm, KO_K_ClassCircularityError);
        if (!(ic->access & KO_ACC_INTERFACE))
            return ko_jvm_new_known(vm, KO_K_IncompatibleClassChangeError);
    }
    c->superclass = ko_ref(super);
    if (KoJvmObjectRec* e = ko_jvm_layout_fields(vm, c))
        return e;
    if (super)
        ++super->refs;
    for (unsigned i = 0; i < c->interface_count; ++i)
        ++ko_cls(ko_sym(ifs[i])->clazz)->refs;
    c->state = KO_JVM_CLASS_LINKED;
    return nullptr;
}

KoJvmClassRec* ko_jvm_load_class(KoJvmRec* vm, KoJvmSymbol* name, KoJvmObjectRec** exception)
{
    *exception = nullptr;
    LoadStack stack;
    stack.count = 0;
    return load(vm, name, &stack, exception);
}

KoJvmClassRec* ko_jvm_define_built_in_class(KoJvmRec* vm, int flags, const unsigned char* bytes, std::size_t length,
                                            const KoJvmNative* natives, int count)
{
    KoJvmClassRec* c = ko_jvm_new_class_record(vm);
    if (!c)
        return nullptr;
    KoJvmObjectRec* e = ko_jvm_parse_class(vm, c, bytes, length, flags, natives, count);
    vm->parsing = 0;
    if (e)
        return nullptr;
    KoJvmSymbol* name = ko_jvm_class_name(c);
    if (name->clazz)
        return nullptr;
    KoJvmClassRec* super = nullptr;
    if (c->super_name) {
        super = ko_cls(ko_sym(c->super_name)->clazz);
        if (!super)
            return nullptr;
    }
    KoRef* ifs = ko_ptr<KoRef>(c->interfaces);
    for (unsigned i = 0; i < c->interface_count; ++i)
        if (!ko_sym(ifs[i])->clazz)
            return nullptr;
    c->superclass = ko_ref(super);
    if (ko_jvm_layout_fields(vm, c))
        return nullptr;
    if (super)
        ++super->refs;
    for (unsigned i = 0; i < c->interface_count; ++i)
        ++ko_cls(ko_sym(ifs[i])->clazz)->refs;
    c->state = KO_JVM_CLASS_LINKED;
    name->clazz = ko_ref(c);
    return c;
}
