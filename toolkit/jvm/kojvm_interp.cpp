// The bytecode interpreter: one slice of one thread, with calls, returns,
// monitors and exception dispatch.
#include "toolkit/jvm/kojvm_internal.h"
#include "toolkit/jvm/kojvm_class.h"

#include "common/container/xr_bytes.h"
#include "lib/unicode/kounicode.h"
#include "toolkit/jvm/kojvm_classfile.h"

#include <climits>
#include <cmath>

namespace {

using namespace kojvm_classfile;

const int kSlice = 100;

// Java's saturating conversions of NaN and out-of-range values.
std::int32_t f2i(double x)
{
    if (x != x)
        return 0;
    if (x >= 2147483647.0)
        return INT32_MAX;
    if (x <= -2147483648.0)
        return INT32_MIN;
    return static_cast<std::int32_t>(x);
}
std::int64_t f2l(double x)
{
    if (x != x)
        return 0;
    if (x >= 9223372036854775807.0)
        return INT64_MAX;
    if (x <= -9223372036854775808.0)
        return INT64_MIN;
    return static_cast<std::int64_t>(x);
}

std::int32_t fcmp(double a, double b, int nan)
{
    if (a != a || b != b)
        return nan;
    return a < b ? -1 : a > b ? 1 : 0;
}

// Bytes of an array of n elements (of 4 bytes when the class is not known yet).
std::uint32_t array_bytes(KoJvmRec* vm, KoJvmClassRec* ac, std::int32_t n)
{
    std::uint64_t b = (ac ? ac->instance_size : 28) + std::uint64_t(ac ? ac->element_size : 4) * std::uint32_t(n);
    return b > vm->area_size ? vm->area_size : static_cast<std::uint32_t>(b);
}

KoJvmClassRec* newarray_class(KoJvmRec* vm, int code)
{
    // "[B", "[C", "[D", "[F", "[I", "[J", "[S", "[Z"
    switch (code) {
    case T_BOOLEAN: return vm->prim_arrays[7];
    case T_CHAR: return vm->prim_arrays[1];
    case T_FLOAT: return vm->prim_arrays[3];
    case T_DOUBLE: return vm->prim_arrays[2];
    case T_BYTE: return vm->prim_arrays[0];
    case T_SHORT: return vm->prim_arrays[6];
    case T_INT: return vm->prim_arrays[4];
    case T_LONG: return vm->prim_arrays[5];
    default: ko_fatal("%s:%d: Unreachable code reached", "toolkit/jvm/kojvm_operands", 1);
    }
}

bool initialised_for(KoJvmClassRec* c, KoJvmThread* t)
{
    return c->state == KO_JVM_CLASS_INITIALIZED ||
           ((c->state == KO_JVM_CLASS_CLAIMED || c->state == KO_JVM_CLASS_INITIALIZING) && c->init_thread == ko_ref(t));
}

} // namespace

int ko_jvm_interpret(KoJvmRec* vm, KoJvmThread* t)
{
    // Threaded dispatch: every instruction jumps through this table to the
    // next one's code; the switch below only gives the code its structure.
    static void* const tbl[256] = {
        &&op_NOP, &&op_ACONST_NULL, &&op_ICONST_M1, &&op_ICONST_M1, &&op_ICONST_M1, &&op_ICONST_M1,
        &&op_ICONST_M1, &&op_ICONST_M1, &&op_ICONST_M1, &&op_LCONST_0, &&op_LCONST_0, &&op_FCONST_0,
        &&op_FCONST_0, &&op_FCONST_0, &&op_DCONST_0, &&op_DCONST_0, &&op_BIPUSH, &&op_SIPUSH,
        &&op_LDC, &&op_LDC, &&op_LDC, &&op_ILOAD, &&op_LLOAD, &&op_ILOAD,
        &&op_LLOAD, &&op_ILOAD, &&op_0x1A, &&op_0x1A, &&op_0x1A, &&op_0x1A,
        &&op_0x1E, &&op_0x1E, &&op_0x1E, &&op_0x1E, &&op_0x1A, &&op_0x1A,
        &&op_0x1A, &&op_0x1A, &&op_0x1E, &&op_0x1E, &&op_0x1E, &&op_0x1E,
        &&op_0x1A, &&op_0x1A, &&op_0x1A, &&op_0x1A, &&op_IALOAD, &&op_IALOAD,
        &&op_IALOAD, &&op_IALOAD, &&op_IALOAD, &&op_IALOAD, &&op_IALOAD, &&op_IALOAD,
        &&op_ISTORE, &&op_LSTORE, &&op_ISTORE, &&op_LSTORE, &&op_ISTORE, &&op_0x3B,
        &&op_0x3B, &&op_0x3B, &&op_0x3B, &&op_0x3F, &&op_0x3F, &&op_0x3F,
        &&op_0x3F, &&op_0x3B, &&op_0x3B, &&op_0x3B, &&op_0x3B, &&op_0x3F,
        &&op_0x3F, &&op_0x3F, &&op_0x3F, &&op_0x3B, &&op_0x3B, &&op_0x3B,
        &&op_0x3B, &&op_IASTORE, &&op_LASTORE, &&op_IASTORE, &&op_LASTORE, &&op_IASTORE,
        &&op_IASTORE, &&op_IASTORE, &&op_IASTORE, &&op_POP, &&op_POP2, &&op_DUP,
        &&op_DUP_X1, &&op_DUP_X2, &&op_DUP2, &&op_DUP2_X1, &&op_DUP2_X2, &&op_SWAP,
        &&op_IADD, &&op_LADD, &&op_FADD, &&op_DADD, &&op_ISUB, &&op_LADD,
        &&op_FSUB, &&op_DADD, &&op_IMUL, &&op_LADD, &&op_FMUL, &&op_DADD,
        &&op_IDIV, &&op_LADD, &&op_FDIV, &&op_DADD, &&op_IDIV, &&op_LADD,
        &&op_FREM, &&op_DADD, &&op_INEG, &&op_LNEG, &&op_FNEG, &&op_DNEG,
        &&op_ISHL, &&op_LSHL, &&op_ISHR, &&op_LSHL, &&op_IUSHR, &&op_LSHL,
        &&op_IAND, &&op_LADD, &&op_IOR, &&op_LADD, &&op_IXOR, &&op_LADD,
        &&op_IINC, &&op_I2L, &&op_I2F, &&op_I2D, &&op_L2I, &&op_L2F,
        &&op_L2D, &&op_F2I, &&op_F2L, &&op_F2D, &&op_D2I, &&op_D2L,
        &&op_D2F, &&op_I2B, &&op_I2C, &&op_I2S, &&op_LCMP, &&op_FCMPL,
        &&op_FCMPL, &&op_DCMPL, &&op_DCMPL, &&op_IFEQ, &&op_IFEQ, &&op_IFEQ,
        &&op_IFEQ, &&op_IFEQ, &&op_IFEQ, &&op_IF_ICMPEQ, &&op_IF_ICMPEQ, &&op_IF_ICMPEQ,
        &&op_IF_ICMPEQ, &&op_IF_ICMPEQ, &&op_IF_ICMPEQ, &&op_IF_ACMPEQ, &&op_IF_ACMPEQ, &&op_GOTO,
        &&op_JSR, &&op_RET, &&op_TABLESWITCH, &&op_LOOKUPSWITCH, &&op_IRETURN, &&op_IRETURN,
        &&op_IRETURN, &&op_IRETURN, &&op_IRETURN, &&op_IRETURN, &&op_GETSTATIC, &&op_GETSTATIC,
        &&op_GETSTATIC, &&op_GETSTATIC, &&op_INVOKEVIRTUAL, &&op_INVOKEVIRTUAL, &&op_INVOKEVIRTUAL, &&op_INVOKEVIRTUAL,
        &&op_default, &&op_NEW, &&op_NEWARRAY, &&op_ANEWARRAY, &&op_ARRAYLENGTH, &&op_ATHROW,
        &&op_CHECKCAST, &&op_CHECKCAST, &&op_MONITORENTER, &&op_MONITOREXIT, &&op_WIDE, &&op_MULTIANEWARRAY,
        &&op_IFNULL, &&op_IFNULL, &&op_GOTO_W, &&op_JSR, &&op_BREAKPOINT, &&op_default,
        &&op_default, &&op_default, &&op_default, &&op_default, &&op_default, &&op_default,
        &&op_default, &&op_default, &&op_default, &&op_default, &&op_default, &&op_default,
        &&op_default, &&op_default, &&op_default, &&op_default, &&op_default, &&op_default,
        &&op_default, &&op_default, &&op_default, &&op_default, &&op_default, &&op_default,
        &&op_default, &&op_default, &&op_default, &&op_default, &&op_default, &&op_default,
        &&op_default, &&op_default, &&op_default, &&op_default, &&op_default, &&op_default,
        &&op_default, &&op_default, &&op_default, &&op_default, &&op_default, &&op_default,
        &&op_default, &&op_default, &&op_default, &&op_default, &&op_default, &&op_default,
        &&op_default, &&op_default, &&op_default, &&op_default,
    };
    // Tag of slot p: one byte per 4-byte slot, found from the slot's address.
    const std::uintptr_t tagb = reinterpret_cast<std::uintptr_t>(t->tag_base) -
                                (reinterpret_cast<std::uintptr_t>(t->stack_base) >> 2);
    KoJvmCat1ValueUnion* sp = t->sp;
    KoJvmCat1ValueUnion* frame = t->frame;
    const std::uint8_t* pc = t->pc;
    KoJvmMethodRec* method = ko_meth(frame[2].ref);
    KoJvmClassRec* clazz = ko_cls(method->clazz);
    KoJvmConst* pool = ko_pool(clazz);
    KoJvmCat1ValueUnion* lv = frame - method->max_locals;
    const std::uint8_t* code = ko_ptr<const std::uint8_t>(method->code);
    const std::uint8_t* op_pc = pc;
    KoJvmObjectRec* exc = nullptr;
    int budget = kSlice;
    std::uint8_t op;
    // Tag stores alias everything; a local copy of the arena base stays in a register.
    unsigned char* const abase = ko_jvm_arena_base;

#define TAG(p) (*reinterpret_cast<std::uint8_t*>(tagb + (reinterpret_cast<std::uintptr_t>(p) >> 2)))
#define SAVE() (t->sp = sp, t->frame = frame, t->pc = pc)
#define OP(name) case name: op_##name
#define NEXT() do { if (__builtin_expect(--budget == 0, 0)) goto slice_end; op_pc = pc; op = *pc++; goto *tbl[op]; } while (0)
#define PUSH_I(v) do { std::int32_t v_ = (v); (++sp)->i = v_; TAG(sp) = 0; } while (0)
#define PUSH_F(v) do { float v_ = (v); (++sp)->f = v_; TAG(sp) = 0; } while (0)
#define PUSH_R(r) do { KoRef r_ = (r); (++sp)->ref = r_; TAG(sp) = 1; } while (0)
#define PUSH_L(v) do { std::int64_t v_ = (v); sp[1].i = static_cast<std::int32_t>(v_ >> 32); sp[2].i = static_cast<std::int32_t>(v_); TAG(sp + 1) = TAG(sp + 2) = 0; sp += 2; } while (0)
#define PUSH_D(v) do { double v_ = (v); std::memcpy(sp + 1, &v_, 8); TAG(sp + 1) = TAG(sp + 2) = 0; sp += 2; } while (0)
#define GET_L(p) ((std::int64_t(std::uint32_t((p)[0].i)) << 32) | std::uint32_t((p)[1].i))
#define POP_I() ((sp--)->i)
#define POP_F() ((sp--)->f)
#define POP_R() ((sp--)->ref ? reinterpret_cast<KoJvmObjectRec*>(abase + sp[1].ref) : nullptr)
#define THROW(e) do { exc = (e); goto dispatch_exception; } while (0)
#define THROW_KNOWN(k) THROW(ko_jvm_new_known(vm, (k)))
#define U16(at) xr_bytes::get_u16_be(pc + (at))
#define I16(at) xr_bytes::get_i16_be(pc + (at))
#define I32(at) xr_bytes::get_i32_be(pc + (at))
#define LOAD_FRAME() do { method = ko_meth(frame[2].ref); clazz = ko_cls(method->clazz); pool = ko_pool(clazz); \
        lv = frame - method->max_locals; code = ko_ptr<const std::uint8_t>(method->code); } while (0)
#define REQUEST(sym, mode) do { pc = op_pc; SAVE(); t->req_name = (sym); t->req_mode = (mode); t->req_done = nullptr; return 4; } while (0)

    if (t->flags & KO_JVM_THREAD_F_EXCEPTION) {
        t->flags &= ~KO_JVM_THREAD_F_EXCEPTION;
        exc = ko_obj(t->pending);
        t->pending = 0;
        op_pc = pc - 1; // behind the instruction that raised it
        goto dispatch_exception;
    }
    if (t->flags & KO_JVM_THREAD_F_BREAKPOINT) {
        // The instruction that a breakpoint replaced runs in its place.
        t->flags &= ~KO_JVM_THREAD_F_BREAKPOINT;
        op_pc = pc;
        op = t->saved_instruction;
        ++pc;
        goto *tbl[op];
    }
    goto dispatch;

    for (;;) {
        switch (op) {
        OP(NOP): NEXT();
        OP(ACONST_NULL): PUSH_R(0); NEXT();
        OP(ICONST_M1): case ICONST_0: case ICONST_1: case ICONST_2: case ICONST_3: case ICONST_4: case ICONST_5:
            PUSH_I(op - ICONST_0);
            break;
        OP(LCONST_0): case LCONST_1: PUSH_L(op - LCONST_0); NEXT();
        OP(FCONST_0): case FCONST_1: case FCONST_2: PUSH_F(static_cast<float>(op - FCONST_0)); NEXT();
        OP(DCONST_0): case DCONST_1: PUSH_D(op - DCONST_0); NEXT();
        OP(BIPUSH): PUSH_I(static_cast<std::int8_t>(pc[0])); pc += 1; NEXT();
        OP(SIPUSH): PUSH_I(I16(0)); pc += 2; NEXT();
        OP(LDC): case LDC_W: case LDC2_W: {
            unsigned index = op == LDC ? pc[0] : U16(0);
            KoJvmConst& e = pool[index];
            switch (e.tag) {
            case KO_CP_INTEGER: PUSH_I(e.u.i); break;
            case KO_CP_FLOAT: PUSH_F(e.u.f); break;
            case KO_CP_LONG: PUSH_L(e.u.l); break;
            case KO_CP_DOUBLE: PUSH_D(e.u.d); break;
            case KO_CP_STRING:
                if (!e.resolved) {
                    SAVE();
                    ko_jvm_resolve_strings(vm, clazz);
                    if (!e.resolved)
                        THROW(vm->oom);
                }
                PUSH_R(e.u.string);
                break;
            case KO_CP_CLASS: {
                KoJvmSymbol* s = ko_sym(e.u.cls.name);
                KoJvmClassRec* c = ko_cls(s->clazz);
                if (!c || c->state == KO_JVM_CLASS_LOADED)
                    REQUEST(s, 0);
                if (c->state == KO_JVM_CLASS_ERRONEOUS)
                    ko_fatal(op == LDC ? "XXX ldc: KO_JVM_CLASS_ERRONEOUS" : "XXX ldc_w: KO_JVM_CLASS_ERRONEOUS");
                SAVE();
                KoJvmObjectRec* o = ko_jvm_class_object(vm, c);
                if (!o)
                    THROW(vm->oom);
                PUSH_R(ko_ref(o));
                break;
            }
            default:
                ko_fatal("%s:%d: Unreachable code reached", "toolkit/jvm/kojvm_operands", 2);
            }
            pc += op == LDC ? 1 : 2;
            NEXT();
        }
        OP(ILOAD): case FLOAD: case ALOAD: { KoJvmCat1ValueUnion* l = lv + pc[0]; *++sp = *l; TAG(sp) = TAG(l); pc += 1; NEXT(); }
        OP(LLOAD): case DLOAD: { KoJvmCat1ValueUnion* l = lv + pc[0]; sp[1] = l[0]; sp[2] = l[1]; TAG(sp + 1) = TAG(sp + 2) = 0; sp += 2; pc += 1; NEXT(); }
        OP(0x1A): case 0x1B: case 0x1C: case 0x1D: case 0x22: case 0x23: case 0x24: case 0x25:
        case 0x2A: case 0x2B: case 0x2C: case 0x2D: {
            KoJvmCat1ValueUnion* l = lv + ((op - 0x1A) & 3);
            *++sp = *l;
            TAG(sp) = TAG(l);
            NEXT();
        }
        OP(0x1E): case 0x1F: case 0x20: case 0x21: case 0x26: case 0x27: case 0x28: case 0x29: {
            KoJvmCat1ValueUnion* l = lv + ((op - 0x1E) & 3);
            sp[1] = l[0]; sp[2] = l[1]; TAG(sp + 1) = TAG(sp + 2) = 0; sp += 2;
            NEXT();
        }
        OP(ISTORE): case FSTORE: case ASTORE: { KoJvmCat1ValueUnion* l = lv + pc[0]; *l = *sp; TAG(l) = TAG(sp); --sp; pc += 1; NEXT(); }
        OP(LSTORE): case DSTORE: { KoJvmCat1ValueUnion* l = lv + pc[0]; l[0] = sp[-1]; l[1] = sp[0]; TAG(l) = TAG(l + 1) = 0; sp -= 2; pc += 1; NEXT(); }
        OP(0x3B): case 0x3C: case 0x3D: case 0x3E: case 0x43: case 0x44: case 0x45: case 0x46:
        case 0x4B: case 0x4C: case 0x4D: case 0x4E: {
            KoJvmCat1ValueUnion* l = lv + ((op - 0x3B) & 3);
            *l = *sp; TAG(l) = TAG(sp); --sp;
            NEXT();
        }
        OP(0x3F): case 0x40: case 0x41: case 0x42: case 0x47: case 0x48: case 0x49: case 0x4A: {
            KoJvmCat1ValueUnion* l = lv + ((op - 0x3F) & 3);
            l[0] = sp[-1]; l[1] = sp[0]; TAG(l) = TAG(l + 1) = 0; sp -= 2;
            NEXT();
        }
        OP(IALOAD): case LALOAD: case FALOAD: case DALOAD: case AALOAD: case BALOAD: case CALOAD: case SALOAD: {
            std::int32_t i = POP_I();
            KoJvmObjectRec* a = POP_R();
            if (!a)
                THROW_KNOWN(KO_K_NullPointerException);
            if (std::uint32_t(i) >= ko_jvm_length(a))
                THROW_KNOWN(KO_K_ArrayIndexOutOfBoundsException);
            unsigned char* el = ko_jvm_elements(a);
            switch (op) {
            case IALOAD: case FALOAD: { std::int32_t v; std::memcpy(&v, el + 4 * i, 4); PUSH_I(v); break; }
            case AALOAD: { KoRef v; std::memcpy(&v, el + 4 * i, 4); PUSH_R(v); break; }
            case LALOAD: case DALOAD: { std::int64_t v; std::memcpy(&v, el + 8 * std::size_t(i), 8);
                if (op == LALOAD) PUSH_L(v); else { double d; std::memcpy(&d, &v, 8); PUSH_D(d); } break; }
            case BALOAD: PUSH_I(static_cast<std::int8_t>(el[i])); break;
            case CALOAD: { std::uint16_t v; std::memcpy(&v, el + 2 * i, 2); PUSH_I(v); break; }
            default: { std::int16_t v; std::memcpy(&v, el + 2 * i, 2); PUSH_I(v); break; }
            }
            NEXT();
        }
        OP(IASTORE): case FASTORE: case AASTORE: case BASTORE: case CASTORE: case SASTORE: {
            KoJvmCat1ValueUnion v = *sp--;
            std::int32_t i = POP_I();
            KoJvmObjectRec* a = POP_R();
            if (!a)
                THROW_KNOWN(KO_K_NullPointerException);
            if (std::uint32_t(i) >= ko_jvm_length(a))
                THROW_KNOWN(KO_K_ArrayIndexOutOfBoundsException);
            unsigned char* el = ko_jvm_elements(a);
            switch (op) {
            case IASTORE: case FASTORE: std::memcpy(el + 4 * i, &v, 4); break;
            case AASTORE: {
                KoJvmObjectRec* o = ko_obj(v.ref);
                if (o) {
                    KoJvmClassRec* ec = ko_cls(ko_jvm_class(a)->element_class);
                    if (ec && !ko_jvm_is_assignable(vm, ec, ko_jvm_class(o)))
                        THROW_KNOWN(KO_K_ArrayStoreException);
                }
                ko_jvm_store_ref(vm, a, reinterpret_cast<KoRef*>(el) + i, o);
                break;
            }
            case BASTORE: el[i] = static_cast<unsigned char>(v.i); break;
            default: { std::uint16_t s = static_cast<std::uint16_t>(v.i); std::memcpy(el + 2 * i, &s, 2); break; }
            }
            NEXT();
        }
        OP(LASTORE): case DASTORE: {
            KoJvmCat1ValueUnion v[2] = {sp[-1], sp[0]};
            sp -= 2;
            std::int32_t i = POP_I();
            KoJvmObjectRec* a = POP_R();
            if (!a)
                THROW_KNOWN(KO_K_NullPointerException);
            if (std::uint32_t(i) >= ko_jvm_length(a))
                THROW_KNOWN(KO_K_ArrayIndexOutOfBoundsException);
            unsigned char* el = ko_jvm_elements(a) + 8 * std::size_t(i);
            if (op == LASTORE) {
                std::int64_t l = GET_L(v);
                std::memcpy(el, &l, 8);
            } else {
                std::memcpy(el, v, 8);
            }
            NEXT();
        }
        OP(POP): --sp; NEXT();
        OP(POP2): sp -= 2; NEXT();
        OP(DUP): sp[1] = sp[0]; TAG(sp + 1) = TAG(sp); ++sp; NEXT();
        OP(DUP_X1): {
            KoJvmCat1ValueUnion a = sp[0], b = sp[-1];
            std::uint8_t ta = TAG(sp), tb = TAG(sp - 1);
            sp[-1] = a; TAG(sp - 1) = ta; sp[0] = b; TAG(sp) = tb; sp[1] = a; TAG(sp + 1) = ta; ++sp;
            NEXT();
        }
        OP(DUP_X2): {
            KoJvmCat1ValueUnion a = sp[0], b = sp[-1], c = sp[-2];
            std::uint8_t ta = TAG(sp), tb = TAG(sp - 1), tc = TAG(sp - 2);
            sp[-2] = a; TAG(sp - 2) = ta; sp[-1] = c; TAG(sp - 1) = tc; sp[0] = b; TAG(sp) = tb; sp[1] = a; TAG(sp + 1) = ta; ++sp;
            NEXT();
        }
        OP(DUP2): sp[1] = sp[-1]; sp[2] = sp[0]; TAG(sp + 1) = TAG(sp - 1); TAG(sp + 2) = TAG(sp); sp += 2; NEXT();
        OP(DUP2_X1): {
            KoJvmCat1ValueUnion a = sp[0], b = sp[-1], c = sp[-2];
            std::uint8_t ta = TAG(sp), tb = TAG(sp - 1), tc = TAG(sp - 2);
            sp[-2] = b; TAG(sp - 2) = tb; sp[-1] = a; TAG(sp - 1) = ta; sp[0] = c; TAG(sp) = tc;
            sp[1] = b; TAG(sp + 1) = tb; sp[2] = a; TAG(sp + 2) = ta; sp += 2;
            NEXT();
        }
        OP(DUP2_X2): {
            KoJvmCat1ValueUnion a = sp[0], b = sp[-1], c = sp[-2], d = sp[-3];
            std::uint8_t ta = TAG(sp), tb = TAG(sp - 1), tc = TAG(sp - 2), td = TAG(sp - 3);
            sp[-3] = b; TAG(sp - 3) = tb; sp[-2] = a; TAG(sp - 2) = ta; sp[-1] = d; TAG(sp - 1) = td; sp[0] = c; TAG(sp) = tc;
            sp[1] = b; TAG(sp + 1) = tb; sp[2] = a; TAG(sp + 2) = ta; sp += 2;
            NEXT();
        }
        OP(SWAP): {
            KoJvmCat1ValueUnion a = sp[0];
            std::uint8_t ta = TAG(sp);
            sp[0] = sp[-1]; TAG(sp) = TAG(sp - 1); sp[-1] = a; TAG(sp - 1) = ta;
            NEXT();
        }
        OP(IADD): sp[-1].i = std::int32_t(std::uint32_t(sp[-1].i) + std::uint32_t(sp[0].i)); --sp; NEXT();
        OP(ISUB): sp[-1].i = std::int32_t(std::uint32_t(sp[-1].i) - std::uint32_t(sp[0].i)); --sp; NEXT();
        OP(IMUL): sp[-1].i = std::int32_t(std::uint32_t(sp[-1].i) * std::uint32_t(sp[0].i)); --sp; NEXT();
        OP(IDIV): case IREM: {
            std::int32_t b = POP_I(), a = POP_I();
            if (b == 0)
                THROW_KNOWN(KO_K_ArithmeticException);
            if (b == -1)
                PUSH_I(op == IDIV ? std::int32_t(0u - std::uint32_t(a)) : 0);
            else
                PUSH_I(op == IDIV ? a / b : a % b);
            NEXT();
        }
        OP(INEG): sp[0].i = std::int32_t(0u - std::uint32_t(sp[0].i)); NEXT();
        OP(ISHL): sp[-1].i = std::int32_t(std::uint32_t(sp[-1].i) << (sp[0].i & 31)); --sp; NEXT();
        OP(ISHR): sp[-1].i = sp[-1].i >> (sp[0].i & 31); --sp; NEXT();
        OP(IUSHR): sp[-1].i = std::int32_t(std::uint32_t(sp[-1].i) >> (sp[0].i & 31)); --sp; NEXT();
        OP(IAND): sp[-1].i &= sp[0].i; --sp; NEXT();
        OP(IOR): sp[-1].i |= sp[0].i; --sp; NEXT();
        OP(IXOR): sp[-1].i ^= sp[0].i; --sp; NEXT();
        OP(LADD): case LSUB: case LMUL: case LDIV: case LREM: case LAND: case LOR: case LXOR: {
            std::uint64_t b = std::uint64_t(GET_L(sp - 1)), a = std::uint64_t(GET_L(sp - 3));
            sp -= 4;
            std::uint64_t r;
            switch (op) {
            case LADD: r = a + b; break;
            case LSUB: r = a - b; break;
            case LMUL: r = a * b; break;
            case LAND: r = a & b; break;
            case LOR: r = a | b; break;
            case LXOR: r = a ^ b; break;
            default:
                if (b == 0)
                    THROW_KNOWN(KO_K_ArithmeticException);
                if (std::int64_t(b) == -1)
                    r = op == LDIV ? 0 - a : 0;
                else
                    r = std::uint64_t(op == LDIV ? std::int64_t(a) / std::int64_t(b) : std::int64_t(a) % std::int64_t(b));
            }
            PUSH_L(std::int64_t(r));
            NEXT();
        }
        OP(LNEG): { std::int64_t a = GET_L(sp - 1); sp -= 2; PUSH_L(std::int64_t(0 - std::uint64_t(a))); NEXT(); }
        OP(LSHL): case LSHR: case LUSHR: {
            int s = POP_I() & 63;
            std::int64_t a = GET_L(sp - 1);
            sp -= 2;
            if (op == LSHL) PUSH_L(std::int64_t(std::uint64_t(a) << s));
            else if (op == LSHR) PUSH_L(a >> s);
            else PUSH_L(std::int64_t(std::uint64_t(a) >> s));
            NEXT();
        }
        OP(FADD): sp[-1].f = sp[-1].f + sp[0].f; --sp; NEXT();
        OP(FSUB): sp[-1].f = sp[-1].f - sp[0].f; --sp; NEXT();
        OP(FMUL): sp[-1].f = sp[-1].f * sp[0].f; --sp; NEXT();
        OP(FDIV): sp[-1].f = sp[-1].f / sp[0].f; --sp; NEXT();
        OP(FREM): sp[-1].f = std::fmod(sp[-1].f, sp[0].f); --sp; NEXT();
        OP(FNEG): sp[0].f = -sp[0].f; NEXT();
        OP(DADD): case DSUB: case DMUL: case DDIV: case DREM: {
            double b, a;
            std::memcpy(&b, sp - 1, 8);
            std::memcpy(&a, sp - 3, 8);
            sp -= 4;
            double r = op == DADD ? a + b : op == DSUB ? a - b : op == DMUL ? a * b : op == DDIV ? a / b : std::fmod(a, b);
            PUSH_D(r);
            NEXT();
        }
        OP(DNEG): { double a; std::memcpy(&a, sp - 1, 8); a = -a; std::memcpy(sp - 1, &a, 8); NEXT(); }
        OP(IINC): lv[pc[0]].i = std::int32_t(std::uint32_t(lv[pc[0]].i) + std::uint32_t(std::int8_t(pc[1]))); TAG(lv + pc[0]) = 0; pc += 2; NEXT();
        OP(I2L): { std::int32_t a = POP_I(); PUSH_L(a); NEXT(); }
        OP(I2F): sp[0].f = static_cast<float>(sp[0].i); NEXT();
        OP(I2D): { std::int32_t a = POP_I(); PUSH_D(a); NEXT(); }
        OP(L2I): { std::int64_t a = GET_L(sp - 1); sp -= 2; PUSH_I(static_cast<std::int32_t>(a)); NEXT(); }
        OP(L2F): { std::int64_t a = GET_L(sp - 1); sp -= 2; PUSH_F(static_cast<float>(a)); NEXT(); }
        OP(L2D): { std::int64_t a = GET_L(sp - 1); sp -= 2; PUSH_D(static_cast<double>(a)); NEXT(); }
        OP(F2I): sp[0].i = f2i(sp[0].f); NEXT();
        OP(F2L): { float a = POP_F(); PUSH_L(f2l(a)); NEXT(); }
        OP(F2D): { float a = POP_F(); PUSH_D(a); NEXT(); }
        OP(D2I): { double a; std::memcpy(&a, sp - 1, 8); sp -= 2; PUSH_I(f2i(a)); NEXT(); }
        OP(D2L): { double a; std::memcpy(&a, sp - 1, 8); sp -= 2; PUSH_L(f2l(a)); NEXT(); }
        OP(D2F): { double a; std::memcpy(&a, sp - 1, 8); sp -= 2; PUSH_F(static_cast<float>(a)); NEXT(); }
        OP(I2B): sp[0].i = static_cast<std::int8_t>(sp[0].i); NEXT();
        OP(I2C): sp[0].i = static_cast<std::uint16_t>(sp[0].i); NEXT();
        OP(I2S): sp[0].i = static_cast<std::int16_t>(sp[0].i); NEXT();
        OP(LCMP): {
            std::int64_t b = GET_L(sp - 1), a = GET_L(sp - 3);
            sp -= 4;
            PUSH_I(a < b ? -1 : a > b ? 1 : 0);
            NEXT();
        }
        OP(FCMPL): case FCMPG: { float b = POP_F(), a = POP_F(); PUSH_I(fcmp(a, b, op == FCMPL ? -1 : 1)); NEXT(); }
        OP(DCMPL): case DCMPG: {
            double b, a;
            std::memcpy(&b, sp - 1, 8);
            std::memcpy(&a, sp - 3, 8);
            sp -= 4;
            PUSH_I(fcmp(a, b, op == DCMPL ? -1 : 1));
            NEXT();
        }
        OP(IFEQ): case IFNE: case IFLT: case IFGE: case IFGT: case IFLE: {
            std::int32_t a = POP_I();
            bool take = op == IFEQ ? a == 0 : op == IFNE ? a != 0 : op == IFLT ? a < 0 : op == IFGE ? a >= 0 : op == IFGT ? a > 0 : a <= 0;
            pc = take ? op_pc + I16(0) : pc + 2;
            NEXT();
        }
        OP(IF_ICMPEQ): case IF_ICMPNE: case IF_ICMPLT: case IF_ICMPGE: case IF_ICMPGT: case IF_ICMPLE: {
            std::int32_t b = POP_I(), a = POP_I();
            bool take = op == IF_ICMPEQ ? a == b : op == IF_ICMPNE ? a != b : op == IF_ICMPLT ? a < b
                      : op == IF_ICMPGE ? a >= b : op == IF_ICMPGT ? a > b : a <= b;
            pc = take ? op_pc + I16(0) : pc + 2;
            NEXT();
        }
        OP(IF_ACMPEQ): case IF_ACMPNE: {
            KoRef b = (sp--)->ref, a = (sp--)->ref;
            pc = ((a == b) == (op == IF_ACMPEQ)) ? op_pc + I16(0) : pc + 2;
            NEXT();
        }
        OP(IFNULL): case IFNONNULL: {
            KoRef a = (sp--)->ref;
            pc = ((a == 0) == (op == IFNULL)) ? op_pc + I16(0) : pc + 2;
            NEXT();
        }
        OP(GOTO): pc = op_pc + I16(0); NEXT();
        OP(GOTO_W): pc = op_pc + I32(0); NEXT();
        OP(JSR): case JSR_W: {
            const std::uint8_t* next = pc + (op == JSR ? 2 : 4);
            PUSH_I(static_cast<std::int32_t>(next - code));
            pc = op_pc + (op == JSR ? I16(0) : I32(0));
            NEXT();
        }
        OP(RET): pc = code + lv[pc[0]].i; NEXT();
        OP(TABLESWITCH): {
            const std::uint8_t* base = code + ((op_pc - code + 4) & ~std::ptrdiff_t(3));
            std::int32_t key = POP_I();
            std::int32_t lo = xr_bytes::get_i32_be(base + 4), hi = xr_bytes::get_i32_be(base + 8);
            std::int32_t off = key < lo || key > hi ? xr_bytes::get_i32_be(base)
                                                    : xr_bytes::get_i32_be(base + 12 + 4 * std::size_t(std::int64_t(key) - lo));
            pc = op_pc + off;
            NEXT();
        }
        OP(LOOKUPSWITCH): {
            const std::uint8_t* base = code + ((op_pc - code + 4) & ~std::ptrdiff_t(3));
            std::int32_t key = POP_I();
            std::int32_t n = xr_bytes::get_i32_be(base + 4);
            std::int32_t off = xr_bytes::get_i32_be(base);
            std::int32_t lo = 0, hi = n;
            while (lo < hi) {
                std::int32_t mid = (lo + hi) / 2;
                std::int32_t k = xr_bytes::get_i32_be(base + 8 + 8 * std::size_t(mid));
                if (k == key) {
                    off = xr_bytes::get_i32_be(base + 12 + 8 * std::size_t(mid));
                    break;
                }
                if (k < key)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            pc = op_pc + off;
            NEXT();
        }
        OP(IRETURN): case LRETURN: case FRETURN: case DRETURN: case ARETURN: case RETURN: {
            int n = method->return_slots;
            KoJvmCat1ValueUnion r[2] = {sp[n == 2 ? -1 : 0], sp[0]};
            std::uint8_t rt = op == ARETURN ? 1 : 0;
            if (method->access & KO_ACC_SYNCHRONIZED) {
                KoJvmObjectRec* lock = (method->access & KO_ACC_STATIC) ? ko_obj(clazz->class_object) : ko_obj(lv[0].ref);
                if (!lock || !ko_jvm_monitor_exit(t, lock))
                    ko_fatal("Failed to unlock object");
            }
            KoJvmCat1ValueUnion* caller = ko_ptr<KoJvmCat1ValueUnion>(frame[0].ref);
            sp = lv - 1;
            if (!caller) {
                t->result[0] = r[0];
                t->result[1] = r[1];
                frame = nullptr;
                pc = nullptr;
                SAVE();
                return 3;
            }
            pc = ko_ptr<const std::uint8_t>(frame[1].ref);
            frame = caller;
            LOAD_FRAME();
            for (int i = 0; i < n; ++i) {
                *++sp = r[i];
                TAG(sp) = rt;
            }
            NEXT();
        }
        OP(GETSTATIC): case PUTSTATIC: case GETFIELD: case PUTFIELD: {
            KoJvmConst& e = pool[U16(0)];
            if (!e.resolved) {
                KoJvmSymbol* cs = ko_sym(e.u.mem.class_name);
                KoJvmClassRec* c = ko_cls(cs->clazz);
                if (!c || c->state == KO_JVM_CLASS_LOADED)
                    REQUEST(cs, 0);
                if (c->state == KO_JVM_CLASS_ERRONEOUS)
                    ko_fatal(op == GETSTATIC ? "XXX getstatic: KO_JVM_CLASS_ERRONEOUS" : op == PUTSTATIC ? "XXX putstatic: KO_JVM_CLASS_ERRONEOUS"
                             : op == GETFIELD ? "XXX getfield: KO_JVM_CLASS_ERRONEOUS" : "XXX putfield: KO_JVM_CLASS_ERRONEOUS");
                KoJvmFieldRec* f = nullptr;
                SAVE();
                if (KoJvmObjectRec* x = ko_jvm_resolve_field(vm, c, ko_sym(e.u.mem.name), ko_sym(e.u.mem.desc), &f))
                    THROW(x);
                e.u.mem.rec = ko_ref(f);
                e.resolved = 1;
            }
            KoJvmFieldRec* f = ko_ptr<KoJvmFieldRec>(e.u.mem.rec);
            char letter = ko_sym_bytes(ko_sym(f->desc))[0];
            unsigned char* p;
            KoJvmObjectRec* holder = nullptr;
            bool is_static = f->access & KO_ACC_STATIC;
            if (op == GETSTATIC || op == PUTSTATIC) {
                if (!is_static)
                    THROW_KNOWN(KO_K_IncompatibleClassChangeError);
                KoJvmClassRec* fc = ko_cls(f->clazz);
                if (!initialised_for(fc, t)) {
                    if (fc->state == KO_JVM_CLASS_ERRONEOUS)
                        THROW_KNOWN(KO_K_NoClassDefFoundError);
                    REQUEST(ko_jvm_class_name(fc), 1);
                }
                p = ko_ptr<unsigned char>(fc->statics) + f->offset;
            } else {
                if (is_static)
                    THROW_KNOWN(KO_K_IncompatibleClassChangeError);
                int w = letter == 'J' || letter == 'D' ? 2 : 1;
                KoJvmObjectRec* o = ko_obj(op == GETFIELD ? sp[0].ref : sp[-w].ref);
                if (!o)
                    THROW_KNOWN(KO_K_NullPointerException);
                if (ko_jvm_class(o)->vm_flags & KO_JVM_CLASS_F_ARRAY)
                    THROW_KNOWN(KO_K_IncompatibleClassChangeError);
                p = reinterpret_cast<unsigned char*>(o) + f->offset;
                holder = o;
                if (op == GETFIELD)
                    --sp;
            }
            if (op == GETSTATIC || op == GETFIELD) {
                switch (letter) {
                case 'Z': PUSH_I(*p); break;
                case 'B': PUSH_I(static_cast<std::int8_t>(*p)); break;
                case 'C': { std::uint16_t v; std::memcpy(&v, p, 2); PUSH_I(v); break; }
                case 'S': { std::int16_t v; std::memcpy(&v, p, 2); PUSH_I(v); break; }
                case 'J': { std::int64_t v; std::memcpy(&v, p, 8); PUSH_L(v); break; }
                case 'D': { double v; std::memcpy(&v, p, 8); PUSH_D(v); break; }
                case 'L': case '[': { KoRef v; std::memcpy(&v, p, 4); PUSH_R(v); break; }
                default: { std::int32_t v; std::memcpy(&v, p, 4); PUSH_I(v); break; }
                }
            } else {
                switch (letter) {
                case 'Z': case 'B': *p = static_cast<unsigned char>(sp[0].i); --sp; break;
                case 'C': case 'S': { std::uint16_t v = static_cast<std::uint16_t>(sp[0].i); std::memcpy(p, &v, 2); --sp; break; }
                case 'J': { std::int64_t v = GET_L(sp - 1); std::memcpy(p, &v, 8); sp -= 2; break; }
                case 'D': std::memcpy(p, sp - 1, 8); sp -= 2; break;
                case 'L': case '[': {
                    KoRef v = sp[0].ref;
                    std::memcpy(p, &v, 4);
                    --sp;
                    if (v && holder) {
                        KoJvmObjectRec* target = reinterpret_cast<KoJvmObjectRec*>(abase + v);
                        if (target->generation < holder->generation)
                            ko_jvm_remember(vm, holder, target);
                    }
                    break;
                }
                default: std::memcpy(p, sp, 4); --sp; break;
                }
                if (op == PUTFIELD)
                    --sp;
            }
            pc += 2;
            NEXT();
        }
        OP(INVOKEVIRTUAL): case INVOKESPECIAL: case INVOKESTATIC: case INVOKEINTERFACE: {
            KoJvmConst& e = pool[U16(0)];
            if (!e.resolved) {
                KoJvmSymbol* cs = ko_sym(e.u.mem.class_name);
                KoJvmClassRec* c = ko_cls(cs->clazz);
                if (!c || c->state == KO_JVM_CLASS_LOADED)
                    REQUEST(cs, 0);
                if (c->state == KO_JVM_CLASS_ERRONEOUS)
                    ko_fatal(op == INVOKEVIRTUAL ? "XXX invokevirtual: KO_JVM_CLASS_ERRONEOUS" : op == INVOKESPECIAL ? "XXX invokespecial: KO_JVM_CLASS_ERRONEOUS"
                             : op == INVOKESTATIC ? "XXX invokestatic: KO_JVM_CLASS_ERRONEOUS" : "XXX invokeinterface: KO_JVM_CLASS_ERRONEOUS");
                KoJvmMethodRec* m = nullptr;
                SAVE();
                if (KoJvmObjectRec* x = ko_jvm_resolve_method(vm, c, ko_sym(e.u.mem.name), ko_sym(e.u.mem.desc),
                                                              op == INVOKEINTERFACE || (c->access & KO_ACC_INTERFACE) ||
                                                                  (c->access & KO_ACC_ABSTRACT), &m))
                    THROW(x);
                e.u.mem.rec = ko_ref(m);
                e.resolved = 1;
            }
            KoJvmMethodRec* m = ko_meth(e.u.mem.rec);
            KoJvmCat1ValueUnion* args = sp - m->arg_slots + 1;
            if (op == INVOKESTATIC) {
                if (!(m->access & KO_ACC_STATIC))
                    THROW_KNOWN(KO_K_IncompatibleClassChangeError);
                KoJvmClassRec* mc = ko_cls(m->clazz);
                if (!initialised_for(mc, t)) {
                    if (mc->state == KO_JVM_CLASS_ERRONEOUS)
                        THROW_KNOWN(KO_K_NoClassDefFoundError);
                    REQUEST(ko_jvm_class_name(mc), 1);
                }
            } else {
                --args;
                if (m->access & KO_ACC_STATIC)
                    THROW_KNOWN(KO_K_IncompatibleClassChangeError);
                KoJvmObjectRec* recv = ko_obj(args->ref);
                if (!recv)
                    THROW_KNOWN(KO_K_NullPointerException);
                if (op == INVOKESPECIAL) {
                    KoJvmClassRec* mc = ko_cls(m->clazz);
                    if ((clazz->access & KO_ACC_SUPER) && ko_sym(m->name) != vm->s_init && mc != clazz &&
                        ko_jvm_is_subclass(vm, clazz, mc)) {
                        KoJvmClassRec* s = ko_jvm_superclass(clazz);
                        KoJvmMethodRec* found = s ? ko_jvm_lookup_method(vm, s, ko_sym(m->name), ko_sym(m->desc), false) : nullptr;
                        if (!found) {
                            SAVE();
                            THROW(ko_jvm_resolve_method(vm, s ? s : clazz, ko_sym(m->name), ko_sym(m->desc), false, &found));
                        }
                        m = found;
                    }
                } else {
                    KoJvmClassRec* rc = ko_jvm_class(recv);
                    if (rc != ko_cls(m->clazz) && !(m->access & (KO_ACC_PRIVATE | KO_ACC_FINAL))) {
                        KoJvmMethodRec* found = ko_jvm_lookup_method(vm, rc, ko_sym(m->name), ko_sym(m->desc), true);
                        if (!found) {
                            SAVE();
                            THROW(ko_jvm_resolve_method(vm, rc, ko_sym(m->name), ko_sym(m->desc), true, &found));
                        }
                        m = found;
                    }
                }
            }
            const std::uint8_t* ret = pc + (op == INVOKEINTERFACE ? 4 : 2);
            if (m->access & KO_ACC_ABSTRACT)
                THROW_KNOWN(KO_K_AbstractMethodError);
            if (vm->trace_calls) {
                KoJvmSymbol* cn = ko_jvm_class_name(ko_cls(m->clazz));
                ko_jvm_printf(vm, "%.*s.%.*s%.*s%s\n", int(ko_sym_len(cn)), ko_sym_bytes(cn), int(ko_sym_len(ko_sym(m->name))),
                              ko_sym_bytes(ko_sym(m->name)), int(ko_sym_len(ko_sym(m->desc))), ko_sym_bytes(ko_sym(m->desc)),
                              (m->access & KO_ACC_NATIVE) ? " (native)" : "");
            }
            if (m->access & KO_ACC_SYNCHRONIZED) {
                if (t->presync == ko_ref(m)) {
                    t->presync = 0;
                } else {
                    KoJvmObjectRec* lock;
                    if (m->access & KO_ACC_STATIC) {
                        SAVE();
                        lock = ko_jvm_class_object(vm, ko_cls(m->clazz));
                        if (!lock)
                            THROW(vm->oom);
                    } else {
                        lock = ko_obj(args->ref);
                    }
                    if (!ko_jvm_monitor_enter(t, lock))
                        THROW_KNOWN(KO_K_InternalError);
                    if (lock->monitor_owner != ko_ref(t)) {
                        // Runs the call again once the monitor is handed over.
                        t->presync = ko_ref(m);
                        pc = op_pc;
                        SAVE();
                        return 1;
                    }
                }
            }
            if (m->access & KO_ACC_NATIVE) {
                KoJvmNative fn = m->native_index ? vm->native_fns[m->native_index] : nullptr;
                if (!fn)
                    ko_fatal("XXX No native method implementation specified!!!");
                pc = ret;
                SAVE();
                t->flags |= KO_JVM_THREAD_F_NATIVE;
                t->native_method = m;
                t->native_args = args;
                KoJvmClassRec* mc = ko_cls(m->clazz);
                bool is_static = m->access & KO_ACC_STATIC;
                fn(vm, mc, is_static ? nullptr : args, is_static ? args : args + 1, ko_jvm_native_complete, t, mc->native_data);
                if (t->flags & KO_JVM_THREAD_F_NATIVE) {
                    t->flags &= ~KO_JVM_THREAD_F_NATIVE;
                    return 1;
                }
                // Synchronized natives give the monitor back at once.
                if (m->access & KO_ACC_SYNCHRONIZED) {
                    KoJvmObjectRec* lock = (m->access & KO_ACC_STATIC) ? ko_obj(ko_cls(m->clazz)->class_object) : ko_obj(args->ref);
                    if (lock)
                        ko_jvm_monitor_exit(t, lock);
                }
                if (t->flags & KO_JVM_THREAD_F_EXCEPTION) {
                    t->flags &= ~KO_JVM_THREAD_F_EXCEPTION;
                    exc = ko_obj(t->pending);
                    t->pending = 0;
                    sp = t->sp;
                    goto dispatch_exception;
                }
                sp = t->sp;
                if (t->frame != frame) {
                    frame = t->frame;
                    pc = t->pc;
                    LOAD_FRAME();
                }
                break;
            }
            // A bytecode method: its arguments become its first locals.
            int own = m->arg_slots + ((m->access & KO_ACC_STATIC) ? 0 : 1);
            int extra = m->max_locals - own;
            if (sp + extra + 3 + m->max_stack + 1 >= t->stack_limit)
                THROW_KNOWN(KO_K_StackOverflowError);
            for (int i = 0; i < extra; ++i) {
                ++sp;
                TAG(sp) = 0;
            }
            KoJvmCat1ValueUnion* f = sp + 1;
            f[0].ref = ko_ref(frame);
            f[1].ref = ko_ref(ret);
            f[2].ref = ko_ref(m);
            TAG(f) = TAG(f + 1) = TAG(f + 2) = 0;
            sp = f + 2;
            frame = f;
            LOAD_FRAME();
            pc = code;
            NEXT();
        }
        OP(NEW): {
            KoJvmSymbol* s = ko_sym(pool[U16(0)].u.cls.name);
            KoJvmClassRec* c = ko_cls(s->clazz);
            if (!c || !initialised_for(c, t)) {
                if (c && c->state == KO_JVM_CLASS_ERRONEOUS)
                    THROW_KNOWN(KO_K_NoClassDefFoundError);
                REQUEST(s, 1);
            }
            if (c->access & (KO_ACC_INTERFACE | KO_ACC_ABSTRACT))
                THROW_KNOWN(KO_K_InstantiationError);
            SAVE();
            ko_jvm_safepoint(vm, c->instance_size);
            KoJvmObjectRec* o = ko_jvm_new_object(vm, c);
            if (!o)
                THROW(vm->oom);
            // A throwable's trace starts at the method that made it.
            if (vm->known[KO_K_Throwable] && ko_jvm_is_subclass(vm, c, vm->known[KO_K_Throwable]))
                ko_jvm_fill_stack_trace(vm, t, o);
            PUSH_R(ko_ref(o));
            pc += 2;
            NEXT();
        }
        OP(NEWARRAY): {
            std::int32_t n = POP_I();
            if (n < 0)
                THROW_KNOWN(KO_K_NegativeArraySizeException);
            SAVE();
            KoJvmClassRec* ac = newarray_class(vm, pc[0]);
            ko_jvm_safepoint(vm, array_bytes(vm, ac, n));
            KoJvmObjectRec* a = ko_jvm_new_array(vm, ac, n);
            if (!a)
                THROW(vm->oom);
            PUSH_R(ko_ref(a));
            pc += 1;
            NEXT();
        }
        OP(ANEWARRAY): {
            KoJvmSymbol* s = ko_sym(pool[U16(0)].u.cls.name);
            KoJvmClassRec* c = ko_cls(s->clazz);
            if (!c || c->state == KO_JVM_CLASS_LOADED)
                REQUEST(s, 0);
            if (c->state == KO_JVM_CLASS_ERRONEOUS)
                ko_fatal("XXX anewarray: KO_JVM_CLASS_ERRONEOUS");
            std::int32_t n = sp[0].i;
            if (n < 0)
                THROW_KNOWN(KO_K_NegativeArraySizeException);
            SAVE();
            ko_jvm_safepoint(vm, array_bytes(vm, nullptr, n));
            KoJvmObjectRec* a = ko_jvm_alloc_object_array(vm, c, n);
            if (!a)
                THROW(vm->oom);
            sp[0].ref = ko_ref(a);
            TAG(sp) = 1;
            pc += 2;
            NEXT();
        }
        OP(MULTIANEWARRAY): {
            KoJvmSymbol* s = ko_sym(pool[U16(0)].u.cls.name);
            KoJvmClassRec* c = ko_cls(s->clazz);
            if (!c || c->state == KO_JVM_CLASS_LOADED)
                REQUEST(s, 0);
            if (c->state == KO_JVM_CLASS_ERRONEOUS)
                ko_fatal("XXX multinewarray: KO_JVM_CLASS_ERRONEOUS");
            int dims = pc[2];
            std::int32_t lengths[255];
            for (int i = 0; i < dims; ++i)
                lengths[i] = sp[i - dims + 1].i;
            for (int i = 0; i < dims; ++i)
                if (lengths[i] < 0)
                    THROW_KNOWN(KO_K_NegativeArraySizeException);
            SAVE();
            ko_jvm_safepoint(vm, 0);
            sp -= dims;
            SAVE();
            KoJvmObjectRec* x = nullptr;
            KoJvmObjectRec* a = ko_jvm_new_multi_array(vm, c, dims, lengths, &x);
            if (x)
                THROW(x);
            PUSH_R(ko_ref(a));
            pc += 3;
            NEXT();
        }
        OP(ARRAYLENGTH): {
            KoJvmObjectRec* a = ko_obj(sp[0].ref);
            if (!a)
                THROW_KNOWN(KO_K_NullPointerException);
            sp[0].i = static_cast<std::int32_t>(ko_jvm_length(a));
            TAG(sp) = 0;
            NEXT();
        }
        OP(ATHROW): {
            KoJvmObjectRec* o = ko_obj(sp[0].ref);
            if (!o)
                THROW_KNOWN(KO_K_NullPointerException);
            THROW(o);
        }
        OP(CHECKCAST): case INSTANCEOF: {
            KoJvmSymbol* s = ko_sym(pool[U16(0)].u.cls.name);
            KoJvmClassRec* c = ko_cls(s->clazz);
            if (!c || c->state == KO_JVM_CLASS_LOADED)
                REQUEST(s, 0);
            KoJvmObjectRec* o = ko_obj(sp[0].ref);
            if (op == CHECKCAST) {
                if (o && !ko_jvm_is_assignable(vm, c, ko_jvm_class(o)))
                    THROW_KNOWN(KO_K_ClassCastException);
            } else {
                sp[0].i = o && ko_jvm_is_assignable(vm, c, ko_jvm_class(o)) ? 1 : 0;
                TAG(sp) = 0;
            }
            pc += 2;
            NEXT();
        }
        OP(MONITORENTER): {
            KoJvmObjectRec* o = ko_obj(sp[0].ref);
            if (!o)
                THROW_KNOWN(KO_K_NullPointerException);
            --sp;
            if (!ko_jvm_monitor_enter(t, o))
                THROW_KNOWN(KO_K_InternalError);
            if (o->monitor_owner != ko_ref(t)) {
                SAVE();
                return 1;
            }
            NEXT();
        }
        OP(MONITOREXIT): {
            KoJvmObjectRec* o = ko_obj(sp[0].ref);
            if (!o)
                THROW_KNOWN(KO_K_NullPointerException);
            if (o->monitor_owner != ko_ref(t))
                THROW_KNOWN(KO_K_IllegalMonitorStateException);
            --sp;
            SAVE();
            if (!ko_jvm_monitor_exit(t, o))
                ko_fatal("Failed to unlock object");
            NEXT();
        }
        OP(WIDE): {
            std::uint8_t w = pc[0];
            unsigned index = U16(1);
            KoJvmCat1ValueUnion* l = lv + index;
            switch (w) {
            case ILOAD: case FLOAD: case ALOAD: *++sp = *l; TAG(sp) = TAG(l); break;
            case LLOAD: case DLOAD: sp[1] = l[0]; sp[2] = l[1]; TAG(sp + 1) = TAG(sp + 2) = 0; sp += 2; break;
            case ISTORE: case FSTORE: case ASTORE: *l = *sp; TAG(l) = TAG(sp); --sp; break;
            case LSTORE: case DSTORE: l[0] = sp[-1]; l[1] = sp[0]; TAG(l) = TAG(l + 1) = 0; sp -= 2; break;
            case RET: pc = code + l->i; goto next;
            case IINC:
                l->i = std::int32_t(std::uint32_t(l->i) + std::uint32_t(std::int32_t(I16(3))));
                TAG(l) = 0;
                pc += 2;
                break;
            default:
                pc += 1;
                goto next;
            }
            pc += 3;
            NEXT();
        }
        OP(BREAKPOINT):
            t->saved_instruction = BREAKPOINT;
            t->flags |= KO_JVM_THREAD_F_BREAKPOINT;
            THROW(ko_jvm_throw_by_name(vm, nullptr, "java/lang/InternalError", "no debugger"));
        default: op_default:
            // Unassigned codes are passed over without using the budget.
            goto dispatch;
        }
    next:
        NEXT();
    slice_end:
        if (vm->gc_wanted) {
            SAVE();
            ko_jvm_collect_requested(vm);
        }
        if (vm->instruction_limited && (vm->instructions_left -= kSlice) <= 0) {
            SAVE();
            return 2;
        }
        if (vm->slice_us && ko_jvm_slice_expired(vm)) {
            SAVE();
            return 0;
        }
        // With no other thread or task ready the scheduler would pick this
        // thread again at once: carry on with a new slice.
        if (!ko_jvm_slice_over(vm, t)) {
            budget = kSlice;
            goto dispatch;
        }
        SAVE();
        return 0;
    dispatch:
        op_pc = pc;
        op = *pc++;
        goto *tbl[op];

    dispatch_exception:
        SAVE();
        if (exc == nullptr)
            exc = vm->oom;
        if (vm->f_throwable_raw && exc != vm->oom && !ko_jvm_get_ref_field(vm, exc, vm->f_throwable_raw)) {
            const std::uint8_t* saved = t->pc;
            t->pc = op_pc;
            ko_jvm_fill_stack_trace(vm, t, exc);
            t->pc = saved;
        }
        if (vm->trace_instructions) {
            KoJvmSymbol* cn = ko_jvm_class_name(ko_jvm_class(exc));
            ko_jvm_printf(vm, "Exception %.*s\n", int(ko_sym_len(cn)), ko_sym_bytes(cn));
        }
        for (;;) {
            std::uint32_t at = static_cast<std::uint32_t>(op_pc - code);
            const KoJvmExceptionEntry* ex = ko_ptr<const KoJvmExceptionEntry>(method->exceptions);
            const KoJvmExceptionEntry* hit = nullptr;
            for (unsigned i = 0; i < method->exception_count; ++i) {
                if (at < ex[i].start_pc || at >= ex[i].end_pc)
                    continue;
                if (ex[i].catch_type) {
                    KoJvmClassRec* cc = ko_cls(ko_sym(ex[i].catch_type)->clazz);
                    if (!cc || !ko_jvm_is_assignable(vm, cc, ko_jvm_class(exc)))
                        continue;
                }
                hit = &ex[i];
                break;
            }
            if (hit) {
                sp = frame + 2;
                PUSH_R(ko_ref(exc));
                pc = code + hit->handler_pc;
                break;
            }
            if (method->access & KO_ACC_SYNCHRONIZED) {
                KoJvmObjectRec* lock = (method->access & KO_ACC_STATIC) ? ko_obj(clazz->class_object) : ko_obj(lv[0].ref);
                if (!lock || !ko_jvm_monitor_exit(t, lock))
                    ko_fatal("Failed to unlock object");
            }
            KoJvmCat1ValueUnion* caller = ko_ptr<KoJvmCat1ValueUnion>(frame[0].ref);
            sp = lv - 1;
            if (!caller) {
                frame = nullptr;
                pc = nullptr;
                SAVE();
                t->pending = ko_ref(exc);
                t->flags |= KO_JVM_THREAD_F_TOP_EXCEPTION;
                return 3;
            }
            pc = ko_ptr<const std::uint8_t>(frame[1].ref);
            op_pc = pc - 1; // inside the invoke instruction
            frame = caller;
            LOAD_FRAME();
        }
        NEXT();
    }
}
