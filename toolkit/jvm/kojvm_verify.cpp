// Structural check of method code at load time: instruction boundaries,
// operands, local indexes, constant-pool indexes and tags, branch and handler
// targets, and the operand-stack depth along every path.
#include "toolkit/jvm/kojvm_verify.h"

#include "toolkit/jvm/kojvm_class.h"
#include "toolkit/jvm/kojvm_internal.h"

#include "common/container/xr_bytes.h"
#include "toolkit/jvm/kojvm_classfile.h"

#include <vector>

namespace {

using namespace kojvm_classfile;

struct Check {
    KoJvmRec* vm;
    KoJvmClassRec* c;
    KoJvmMethodRec* m;
    const BYTE* code;
    std::uint32_t len;
    const char* why;
};

bool fail(Check& k, const char* why)
{
    k.why = why;
    return false;
}

std::uint8_t cp_tag(Check& k, unsigned index)
{
    if (index == 0 || index >= k.c->pool_count)
        return 0;
    return ko_pool(k.c)[index].tag;
}

int value_slots(const KoJvmSymbol* desc)
{
    char t = ko_sym_bytes(desc)[0];
    return t == 'J' || t == 'D' ? 2 : 1;
}

// Length of the instruction at pc, 0 when it is malformed or unknown.
std::uint32_t insn_length(Check& k, std::uint32_t pc)
{
    const BYTE* p = k.code + pc;
    std::uint32_t left = k.len - pc;
    std::uint8_t op = p[0];
    switch (op) {
    case BIPUSH: case LDC: case ILOAD: case LLOAD: case FLOAD: case DLOAD: case ALOAD: case ISTORE: case LSTORE:
    case FSTORE: case DSTORE: case ASTORE: case RET: case NEWARRAY:
        return 2;
    case SIPUSH: case LDC_W: case LDC2_W: case IINC: case IFEQ: case IFNE: case IFLT: case IFGE: case IFGT: case IFLE:
    case IF_ICMPEQ: case IF_ICMPNE: case IF_ICMPLT: case IF_ICMPGE: case IF_ICMPGT: case IF_ICMPLE: case IF_ACMPEQ:
    case IF_ACMPNE: case GOTO: case JSR: case GETSTATIC: case PUTSTATIC: case GETFIELD: case PUTFIELD:
    case INVOKEVIRTUAL: case INVOKESPECIAL: case INVOKESTATIC: case NEW: case ANEWARRAY: case CHECKCAST:
    case INSTANCEOF: case IFNULL: case IFNONNULL:
        return 3;
    case MULTIANEWARRAY:
        return 4;
    case INVOKEINTERFACE: case GOTO_W: case JSR_W:
        return 5;
    case WIDE:
        if (left < 2)
            return 0;
        if (p[1] == IINC)
            return 6;
        if ((p[1] >= ILOAD && p[1] <= ALOAD) || (p[1] >= ISTORE && p[1] <= ASTORE) || p[1] == RET)
            return 4;
        return 0;
    case TABLESWITCH: case LOOKUPSWITCH: {
        std::uint32_t base = (pc + 4) & ~3u;
        if (base + 12 > k.len)
            return 0;
        if (op == TABLESWITCH) {
            std::int32_t lo = xr_bytes::get_i32_be(k.code + base + 4);
            std::int32_t hi = xr_bytes::get_i32_be(k.code + base + 8);
            if (lo > hi)
                return 0;
            std::uint64_t n = std::uint64_t(std::int64_t(hi) - lo + 1);
            std::uint64_t end = base + 12 + n * 4;
            return end > k.len ? 0 : static_cast<std::uint32_t>(end - pc);
        }
        std::int32_t n = xr_bytes::get_i32_be(k.code + base + 4);
        if (n < 0)
            return 0;
        std::uint64_t end = base + 8 + std::uint64_t(n) * 8;
        return end > k.len ? 0 : static_cast<std::uint32_t>(end - pc);
    }
    default:
        if (op <= JSR_W && op != XXXUNUSEDXXX)
            return 1;
        return 0; // unknown code (0xBA, breakpoint and above)
    }
}

struct Effect {
    int pop;
    int push;
};

// Operand checks and stack effect of one instruction; false on a bad operand.
bool effect(Check& k, std::uint32_t pc, Effect& e)
{
    const BYTE* p = k.code + pc;
    std::uint8_t op = p[0];
    auto local = [&](unsigned index, int width) { return index + width <= k.m->max_locals; };
    auto u16 = [&](int at) { return xr_bytes::get_u16_be(p + at); };
    e = {0, 0};
    switch (op) {
    case NOP: return true;
    case ACONST_NULL: case ICONST_M1: case ICONST_0: case ICONST_1: case ICONST_2: case ICONST_3: case ICONST_4:
    case ICONST_5: case FCONST_0: case FCONST_1: case FCONST_2: case BIPUSH: case SIPUSH:
        e.push = 1;
        return true;
    case LCONST_0: case LCONST_1: case DCONST_0: case DCONST_1:
        e.push = 2;
        return true;
    case LDC: case LDC_W: {
        unsigned i = op == LDC ? p[1] : u16(1);
        std::uint8_t t = cp_tag(k, i);
        if (t != KO_CP_INTEGER && t != KO_CP_FLOAT && t != KO_CP_STRING && t != KO_CP_CLASS)
            return fail(k, "ldc of a bad constant");
        e.push = 1;
        return true;
    }
    case LDC2_W: {
        std::uint8_t t = cp_tag(k, u16(1));
        if (t != KO_CP_LONG && t != KO_CP_DOUBLE)
            return fail(k, "ldc2_w of a bad constant");
        e.push = 2;
        return true;
    }
    case ILOAD: case FLOAD: case ALOAD:
        e.push = 1;
        return local(p[1], 1) || fail(k, "bad local");
    case LLOAD: case DLOAD:
        e.push = 2;
        return local(p[1], 2) || fail(k, "bad local");
    case ISTORE: case FSTORE: case ASTORE:
        e.pop = 1;
        return local(p[1], 1) || fail(k, "bad local");
    case LSTORE: case DSTORE:
        e.pop = 2;
        return local(p[1], 2) || fail(k, "bad local");
    case RET:
        return local(p[1], 1) || fail(k, "bad local");
    case IINC:
        return local(p[1], 1) || fail(k, "bad local");
    case WIDE: {
        unsigned i = u16(2);
        std::uint8_t w = p[1];
        int width = (w == LLOAD || w == DLOAD || w == LSTORE || w == DSTORE) ? 2 : 1;
        if (!local(i, width))
            return fail(k, "bad local");
        if (w >= ILOAD && w <= ALOAD)
            e.push = width;
        else if (w >= ISTORE && w <= ASTORE)
            e.pop = width;
        return true;
    }
    default:
        break;
    }
    if (op >= 0x1A && op <= 0x2D) { // xload_n
        int kind = (op - 0x1A) / 4, n = (op - 0x1A) % 4;
        int width = kind == 1 || kind == 3 ? 2 : 1;
        e.push = width;
        return local(n, width) || fail(k, "bad local");
    }
    if (op >= 0x3B && op <= 0x4E) { // xstore_n
        int kind = (op - 0x3B) / 4, n = (op - 0x3B) % 4;
        int width = kind == 1 || kind == 3 ? 2 : 1;
        e.pop = width;
        return local(n, width) || fail(k, "bad local");
    }
    switch (op) {
    case IALOAD: case FALOAD: case AALOAD: case BALOAD: case CALOAD: case SALOAD: e = {2, 1}; return true;
    case LALOAD: case DALOAD: e = {2, 2}; return true;
    case IASTORE: case FASTORE: case AASTORE: case BASTORE: case CASTORE: case SASTORE: e = {3, 0}; return true;
    case LASTORE: case DASTORE: e = {4, 0}; return true;
    case POP: e = {1, 0}; return true;
    case POP2: e = {2, 0}; return true;
    case DUP: e = {1, 2}; return true;
    case DUP_X1: e = {2, 3}; return true;
    case DUP_X2: e = {3, 4}; return true;
    case DUP2: e = {2, 4}; return true;
    case DUP2_X1: e = {3, 5}; return true;
    case DUP2_X2: e = {4, 6}; return true;
    case SWAP: e = {2, 2}; return true;
    case IADD: case ISUB: case IMUL: case IDIV: case IREM: case ISHL: case ISHR: case IUSHR: case IAND: case IOR:
    case IXOR: case FADD: case FSUB: case FMUL: case FDIV: case FREM: case FCMPL: case FCMPG:
        e = {2, 1}; return true;
    case LADD: case LSUB: case LMUL: case LDIV: case LREM: case LAND: case LOR: case LXOR: case DADD: case DSUB:
    case DMUL: case DDIV: case DREM:
        e = {4, 2}; return true;
    case LSHL: case LSHR: case LUSHR: e = {3, 2}; return true;
    case INEG: case FNEG: case I2F: case F2I: case I2B: case I2C: case I2S: e = {1, 1}; return true;
    case LNEG: case DNEG: case L2D: case D2L: e = {2, 2}; return true;
    case I2L: case I2D: case F2L: case F2D: e = {1, 2}; return true;
    case L2I: case L2F: case D2I: case D2F: e = {2, 1}; return true;
    case LCMP: case DCMPL: case DCMPG: e = {4, 1}; return true;
    case IFEQ: case IFNE: case IFLT: case IFGE: case IFGT: case IFLE: case IFNULL: case IFNONNULL: e = {1, 0}; return true;
    case IF_ICMPEQ: case IF_ICMPNE: case IF_ICMPLT: case IF_ICMPGE: case IF_ICMPGT: case IF_ICMPLE: case IF_ACMPEQ:
    case IF_ACMPNE:
        e = {2, 0}; return true;
    case GOTO: case GOTO_W: return true;
    case JSR: case JSR_W: e = {0, 1}; return true;
    case TABLESWITCH: case LOOKUPSWITCH: e = {1, 0}; return true;
    case IRETURN: case FRETURN: case ARETURN: e = {1, 0}; return true;
    case LRETURN: case DRETURN: e = {2, 0}; return true;
    case RETURN: return true;
    case ATHROW: e = {1, 0}; return true;
    case ARRAYLENGTH: e = {1, 1}; return true;
    case MONITORENTER: case MONITOREXIT: e = {1, 0}; return true;
    case GETSTATIC: case PUTSTATIC: case GETFIELD: case PUTFIELD: {
        unsigned i = u16(1);
        if (cp_tag(k, i) != KO_CP_FIELDREF)
            return fail(k, "field access to a bad constant");
        KoJvmSymbol* d = ko_sym(ko_pool(k.c)[i].u.mem.desc);
        if (ko_jvm_field_type_length(ko_sym_bytes(d), ko_sym_len(d)) != ko_sym_len(d))
            return fail(k, "bad field descriptor");
        int w = value_slots(d);
        if (op == GETSTATIC) e = {0, w};
        else if (op == PUTSTATIC) e = {w, 0};
        else if (op == GETFIELD) e = {1, w};
        else e = {1 + w, 0};
        return true;
    }
    case INVOKEVIRTUAL: case INVOKESPECIAL: case INVOKESTATIC: case INVOKEINTERFACE: {
        unsigned i = u16(1);
        std::uint8_t want = op == INVOKEINTERFACE ? KO_CP_INTERFACE_METHODREF : KO_CP_METHODREF;
        if (cp_tag(k, i) != want)
            return fail(k, "invoke of a bad constant");
        KoJvmSymbol* d = ko_sym(ko_pool(k.c)[i].u.mem.desc);
        KoJvmSymbol* n = ko_sym(ko_pool(k.c)[i].u.mem.name);
        int rs = 0;
        int slots = ko_jvm_descriptor_slots(ko_sym_bytes(d), ko_sym_len(d), &rs, nullptr, nullptr);
        if (slots < 0)
            return fail(k, "bad method descriptor");
        if (n == k.vm->s_clinit || (n == k.vm->s_init && op != INVOKESPECIAL))
            return fail(k, "bad call of an initialiser");
        if (op == INVOKEINTERFACE && (p[3] == 0 || p[4] != 0))
            return fail(k, "bad invokeinterface operands");
        e = {slots + (op == INVOKESTATIC ? 0 : 1), rs};
        return true;
    }
    case NEW: case ANEWARRAY: case CHECKCAST: case INSTANCEOF: {
        if (cp_tag(k, u16(1)) != KO_CP_CLASS)
            return fail(k, "class operand of a bad constant");
        e = op == NEW ? Effect{0, 1} : Effect{1, 1};
        return true;
    }
    case MULTIANEWARRAY:
        if (cp_tag(k, u16(1)) != KO_CP_CLASS || p[3] == 0)
            return fail(k, "bad multianewarray operands");
        e = {p[3], 1};
        return true;
    case NEWARRAY:
        if (p[1] < T_BOOLEAN || p[1] > T_LONG)
            return fail(k, "bad newarray type");
        e = {1, 1};
        return true;
    default:
        return fail(k, "unknown instruction");
    }
}

bool verify_method(Check& k)
{
    KoJvmMethodRec* m = k.m;
    if (m->access & (KO_ACC_NATIVE | KO_ACC_ABSTRACT))
        return true;
    k.code = ko_ptr<const BYTE>(m->code);
    k.len = m->code_length;
    if (k.len == 0 || k.len >= 65536)
        return fail(k, "bad code length");
    unsigned need = m->arg_slots + ((m->access & KO_ACC_STATIC) ? 0 : 1);
    if (m->max_locals < need)
        return fail(k, "too few locals for the arguments");
    std::vector<std::uint8_t> start(k.len + 1, 0);
    for (std::uint32_t pc = 0; pc < k.len;) {
        std::uint32_t n = insn_length(k, pc);
        if (n == 0 || pc + n > k.len)
            return fail(k, n == 0 ? "unknown or malformed instruction" : "instruction runs past the code");
        start[pc] = 1;
        pc += n;
    }
    start[k.len] = 2;
    auto target_ok = [&](std::int64_t t) { return t >= 0 && t < std::int64_t(k.len) && start[t] == 1; };
    const KoJvmExceptionEntry* ex = ko_ptr<const KoJvmExceptionEntry>(m->exceptions);
    for (unsigned i = 0; i < m->exception_count; ++i) {
        if (ex[i].start_pc >= ex[i].end_pc || ex[i].end_pc > k.len || !start[ex[i].start_pc] || !start[ex[i].end_pc] ||
            !target_ok(ex[i].handler_pc))
            return fail(k, "bad exception handler range");
    }
    // Stack depth along every path.
    std::vector<int> depth(k.len, -1);
    std::vector<std::uint32_t> work;
    auto reach = [&](std::int64_t t, int d) {
        if (!target_ok(t))
            return fail(k, "bad branch target");
        if (depth[t] < 0) {
            depth[t] = d;
            work.push_back(static_cast<std::uint32_t>(t));
        } else if (depth[t] != d) {
            return fail(k, "inconsistent stack depth");
        }
        return true;
    };
    if (!reach(0, 0))
        return false;
    for (unsigned i = 0; i < m->exception_count; ++i)
        if (!reach(ex[i].handler_pc, 1))
            return false;
    while (!work.empty()) {
        std::uint32_t pc = work.back();
        work.pop_back();
        int d = depth[pc];
        Effect e;
        if (!effect(k, pc, e))
            return false;
        if (d < e.pop)
            return fail(k, "operand stack underflow");
        int nd = d - e.pop + e.push;
        if (nd > m->max_stack)
            return fail(k, "operand stack overflow");
        const BYTE* p = k.code + pc;
        std::uint8_t op = p[0];
        std::uint32_t next = pc + insn_length(k, pc);
        auto fall = [&]() { return next < k.len ? reach(next, nd) : fail(k, "code falls off its end"); };
        switch (op) {
        case IFEQ: case IFNE: case IFLT: case IFGE: case IFGT: case IFLE: case IF_ICMPEQ: case IF_ICMPNE:
        case IF_ICMPLT: case IF_ICMPGE: case IF_ICMPGT: case IF_ICMPLE: case IF_ACMPEQ: case IF_ACMPNE: case IFNULL:
        case IFNONNULL:
            if (!reach(std::int64_t(pc) + xr_bytes::get_i16_be(p + 1), nd) || !fall())
                return false;
            break;
        case GOTO:
            if (!reach(std::int64_t(pc) + xr_bytes::get_i16_be(p + 1), nd))
                return false;
            break;
        case GOTO_W:
            if (!reach(std::int64_t(pc) + xr_bytes::get_i32_be(p + 1), nd))
                return false;
            break;
        case JSR: case JSR_W: {
            std::int64_t t = std::int64_t(pc) + (op == JSR ? xr_bytes::get_i16_be(p + 1) : xr_bytes::get_i32_be(p + 1));
            // The subroutine returns (ret) behind the jsr with the depth it had.
            if (!reach(t, nd) || (next < k.len && !reach(next, d)))
                return false;
            break;
        }
        case TABLESWITCH: case LOOKUPSWITCH: {
            std::uint32_t base = (pc + 4) & ~3u;
            if (!reach(std::int64_t(pc) + xr_bytes::get_i32_be(k.code + base), nd))
                return false;
            if (op == TABLESWITCH) {
                std::int64_t n = std::int64_t(xr_bytes::get_i32_be(k.code + base + 8)) - xr_bytes::get_i32_be(k.code + base + 4) + 1;
                for (std::int64_t i = 0; i < n; ++i)
                    if (!reach(std::int64_t(pc) + xr_bytes::get_i32_be(k.code + base + 12 + 4 * i), nd))
                        return false;
            } else {
                std::int32_t n = xr_bytes::get_i32_be(k.code + base + 4);
                for (std::int32_t i = 0; i < n; ++i)
                    if (!reach(std::int64_t(pc) + xr_bytes::get_i32_be(k.code + base + 12 + 8 * i), nd))
                        return false;
            }
            break;
        }
        case IRETURN: case LRETURN: case FRETURN: case DRETURN: case ARETURN: case RETURN: case ATHROW: case RET:
            break;
        default:
            if (!fall())
                return false;
        }
    }
    return true;
}

} // namespace

KoJvmObjectRec* ko_jvm_verify_class(KoJvmRec* vm, KoJvmClassRec* c)
{
    KoJvmMethodRec* methods = ko_methods(c);
    for (unsigned i = 0; i < c->method_count; ++i) {
        Check k{vm, c, &methods[i], nullptr, 0, nullptr};
        if (!verify_method(k)) {
            char msg[512];
            KoJvmSymbol* cn = ko_jvm_class_name(c);
            KoJvmSymbol* mn = ko_sym(methods[i].name);
            KoJvmSymbol* md = ko_sym(methods[i].desc);
            ko_snprintf(msg, sizeof msg, "%.*s.%.*s%.*s: %s", int(ko_sym_len(cn)), ko_sym_bytes(cn), int(ko_sym_len(mn)),
                        ko_sym_bytes(mn), int(ko_sym_len(md)), ko_sym_bytes(md), k.why);
            if (!vm->known[KO_K_VerifyError])
                return ko_jvm_new_known(vm, KO_K_VerifyError);
            return ko_jvm_new_exception(vm, nullptr, vm->known[KO_K_VerifyError], msg);
        }
    }
    return nullptr;
}
