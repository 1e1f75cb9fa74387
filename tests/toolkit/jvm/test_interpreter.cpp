// The interpreter instruction by instruction: a table of hand-assembled
// methods and what each returns or throws.
#include "jvm_test_vm.h"
#include "tools/mapgen/classfile_writer.h"
#include "toolkit/jvm/kojvm_classfile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace kojvm_classfile;

namespace {

typedef std::vector<std::uint8_t> Code;

struct OpCase {
    const char* name;
    const char* desc; // ()I or ()J
    std::function<Code(ClassFileWriter&)> code;
    std::int64_t expect;
    const char* exception; // expected exception class, or null
    std::vector<ClassFileMethod::Handler> handlers = {};
};

std::uint8_t hi(std::uint16_t v) { return std::uint8_t(v >> 8); }
std::uint8_t lo(std::uint16_t v) { return std::uint8_t(v); }
Code ldc_w(std::uint16_t i) { return {LDC_W, hi(i), lo(i)}; }
Code ldc2(std::uint16_t i) { return {LDC2_W, hi(i), lo(i)}; }
Code cat(std::initializer_list<Code> parts)
{
    Code out;
    for (const Code& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
Code i32(std::int32_t v) { return {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)}; }

const OpCase kCases[] = {
    {"iadd_wraps", "()I", [](ClassFileWriter& w) { return cat({ldc_w(w.integer(INT32_MAX)), {ICONST_1, IADD, IRETURN}}); }, INT32_MIN, nullptr},
    {"idiv_min_by_minus_one", "()I", [](ClassFileWriter& w) { return cat({ldc_w(w.integer(INT32_MIN)), {ICONST_M1, IDIV, IRETURN}}); }, INT32_MIN, nullptr},
    {"irem_by_zero", "()I", [](ClassFileWriter&) { return Code{ICONST_5, ICONST_0, IREM, IRETURN}; }, 0, "java/lang/ArithmeticException"},
    {"ldiv_by_zero", "()J", [](ClassFileWriter&) { return Code{LCONST_1, LCONST_0, LDIV, LRETURN}; }, 0, "java/lang/ArithmeticException"},
    {"ishl_by_33", "()I", [](ClassFileWriter&) { return Code{ICONST_3, BIPUSH, 33, ISHL, IRETURN}; }, 6, nullptr},
    {"iushr_negative", "()I", [](ClassFileWriter&) { return Code{ICONST_M1, BIPUSH, 28, IUSHR, IRETURN}; }, 15, nullptr},
    {"lshl_by_65", "()J", [](ClassFileWriter&) { return Code{LCONST_1, BIPUSH, 65, LSHL, LRETURN}; }, 2, nullptr},
    {"lmul_wraps", "()J", [](ClassFileWriter& w) { return cat({ldc2(w.long_const(INT64_MAX)), {ICONST_2, I2L, LMUL, LRETURN}}); }, -2, nullptr},
    {"lcmp", "()I", [](ClassFileWriter& w) { return cat({ldc2(w.long_const(-5)), {LCONST_1, LCMP, IRETURN}}); }, -1, nullptr},
    {"fcmpg_nan", "()I", [](ClassFileWriter& w) { return cat({ldc_w(w.float_const(NAN)), {FCONST_1, FCMPG, IRETURN}}); }, 1, nullptr},
    {"fcmpl_nan", "()I", [](ClassFileWriter& w) { return cat({ldc_w(w.float_const(NAN)), {FCONST_1, FCMPL, IRETURN}}); }, -1, nullptr},
    {"dcmpg_nan", "()I", [](ClassFileWriter& w) { return cat({ldc2(w.double_const(NAN)), {DCONST_1, DCMPG, IRETURN}}); }, 1, nullptr},
    {"frem_7_5_by_2", "()I", [](ClassFileWriter& w) { return cat({ldc_w(w.float_const(7.5f)), {FCONST_2, FREM}, ldc_w(w.float_const(10.0f)), {FMUL, F2I, IRETURN}}); }, 15, nullptr},
    {"drem_large_quotient", "()J", [](ClassFileWriter& w) { return cat({ldc2(w.double_const(1e20)), ldc2(w.double_const(3.0)), {DREM, D2L, LRETURN}}); }, static_cast<std::int64_t>(std::fmod(1e20, 3.0)), nullptr},
    {"drem_by_infinity", "()J", [](ClassFileWriter& w) { return cat({ldc2(w.double_const(5.0)), ldc2(w.double_const(INFINITY)), {DREM, D2L, LRETURN}}); }, 5, nullptr},
    {"drem_infinity_is_nan", "()I", [](ClassFileWriter& w) { return cat({ldc2(w.double_const(INFINITY)), ldc2(w.double_const(2.0)), {DREM, DUP2, DCMPL, IRETURN}}); }, -1, nullptr},
    {"f2i_nan", "()I", [](ClassFileWriter& w) { return cat({ldc_w(w.float_const(NAN)), {F2I, IRETURN}}); }, 0, nullptr},
    {"f2i_saturates", "()I", [](ClassFileWriter& w) { return cat({ldc_w(w.float_const(1e20f)), {F2I, IRETURN}}); }, INT32_MAX, nullptr},
    {"d2i_saturates_low", "()I", [](ClassFileWriter& w) { return cat({ldc2(w.double_const(-1e20)), {D2I, IRETURN}}); }, INT32_MIN, nullptr},
    {"d2l_saturates", "()J", [](ClassFileWriter& w) { return cat({ldc2(w.double_const(-1e30)), {D2L, LRETURN}}); }, INT64_MIN, nullptr},
    {"f2l_nan", "()J", [](ClassFileWriter& w) { return cat({ldc_w(w.float_const(NAN)), {F2L, LRETURN}}); }, 0, nullptr},
    {"i2b_i2c_i2s", "()I", [](ClassFileWriter& w) { return cat({ldc_w(w.integer(0x1FF80)), {DUP, I2B, SWAP, DUP, I2C, SWAP, I2S, IADD, IADD, IRETURN}}); }, -128 + 0xFF80 + -128, nullptr},
    {"lookupswitch_hit", "()I", [](ClassFileWriter&) {
         // 2: lookupswitch (pad 1) default -> 38, -5 -> 36, 1 -> 36, 100 -> 41
         Code c = {BIPUSH, 100, LOOKUPSWITCH, 0};
         c = cat({c, i32(36), i32(3), i32(-5), i32(34), i32(1), i32(34), i32(100), i32(39)});
         return cat({c, {ICONST_1, IRETURN, BIPUSH, 9, IRETURN, ICONST_3, IRETURN}});
     }, 3, nullptr},
    {"lookupswitch_default", "()I", [](ClassFileWriter&) {
         Code c = {ICONST_2, NOP, LOOKUPSWITCH, 0};
         c = cat({c, i32(36), i32(3), i32(-5), i32(34), i32(1), i32(34), i32(100), i32(39)});
         return cat({c, {ICONST_1, IRETURN, BIPUSH, 9, IRETURN, ICONST_3, IRETURN}});
     }, 9, nullptr},
    {"tableswitch", "()I", [](ClassFileWriter&) {
         // 0: iconst_2; 1: tableswitch (pad 2) default -> 28, 1..3 -> 28, 30, 32
         Code c = {ICONST_2, TABLESWITCH, 0, 0};
         c = cat({c, i32(27), i32(1), i32(3), i32(27), i32(29), i32(31)});
         c.resize(28, NOP);
         return cat({c, {ICONST_0, IRETURN, ICONST_4, IRETURN, ICONST_5, IRETURN}});
     }, 4, nullptr},
    {"branch_into_operands", "()I", [](ClassFileWriter&) { return Code{ICONST_1, IFEQ, 0, 4, SIPUSH, 3, 232, IRETURN}; }, 0, "java/lang/VerifyError"},
    {"branch_outside_code", "()I", [](ClassFileWriter&) { return Code{ICONST_1, IFEQ, 0, 40, ICONST_0, IRETURN}; }, 0, "java/lang/VerifyError"},
    {"unknown_opcode", "()I", [](ClassFileWriter&) { return Code{ICONST_1, 0xBA, IRETURN}; }, 0, "java/lang/VerifyError"},
    {"ldc_of_a_method_ref", "()I", [](ClassFileWriter& w) { std::uint16_t m = w.method_ref("T", "run", "()I"); return Code{LDC_W, hi(m), lo(m), IRETURN}; }, 0, "java/lang/VerifyError"},
    {"ret_local_out_of_range", "()I", [](ClassFileWriter&) { return Code{RET, 200}; }, 0, "java/lang/VerifyError"},
    {"inconsistent_depth_at_join", "()I", [](ClassFileWriter&) { return Code{ICONST_0, IFEQ, 0, 4, ICONST_1, ICONST_2, IRETURN}; }, 0, "java/lang/VerifyError"},
    {"newarray_negative", "()I", [](ClassFileWriter&) { return Code{ICONST_M1, NEWARRAY, T_INT, ARRAYLENGTH, IRETURN}; }, 0, "java/lang/NegativeArraySizeException"},
    {"iaload_out_of_bounds", "()I", [](ClassFileWriter&) { return Code{ICONST_2, NEWARRAY, T_INT, ICONST_2, IALOAD, IRETURN}; }, 0, "java/lang/ArrayIndexOutOfBoundsException"},
    {"baload_sign_extends", "()I", [](ClassFileWriter&) { return Code{ICONST_1, NEWARRAY, T_BYTE, DUP, ICONST_0, SIPUSH, 0, 200, BASTORE, ICONST_0, BALOAD, IRETURN}; }, -56, nullptr},
    {"caload_zero_extends", "()I", [](ClassFileWriter&) { return Code{ICONST_1, NEWARRAY, T_CHAR, DUP, ICONST_0, ICONST_M1, CASTORE, ICONST_0, CALOAD, IRETURN}; }, 0xFFFF, nullptr},
    {"arraylength_null", "()I", [](ClassFileWriter&) { return Code{ACONST_NULL, ARRAYLENGTH, IRETURN}; }, 0, "java/lang/NullPointerException"},
    {"athrow_null", "()I", [](ClassFileWriter&) { return Code{ACONST_NULL, ATHROW}; }, 0, "java/lang/NullPointerException"},
    {"checkcast_null_unloaded", "()I", [](ClassFileWriter& w) { std::uint16_t c = w.class_ref("java/lang/Number"); return Code{ACONST_NULL, CHECKCAST, hi(c), lo(c), IFNULL, 0, 5, ICONST_0, IRETURN, ICONST_1, IRETURN}; }, 1, nullptr},
    {"instanceof_null", "()I", [](ClassFileWriter& w) { std::uint16_t c = w.class_ref("java/lang/Object"); return Code{ACONST_NULL, INSTANCEOF, hi(c), lo(c), IRETURN}; }, 0, nullptr},
    {"monitorexit_not_owner", "()I", [](ClassFileWriter& w) { std::uint16_t s = w.string("x"); return Code{LDC, std::uint8_t(s), MONITOREXIT, ICONST_0, IRETURN}; }, 0, "java/lang/IllegalMonitorStateException"},
    {"wide_iinc", "()I", [](ClassFileWriter&) { return Code{ICONST_0, ISTORE_0, WIDE, IINC, 0, 0, 0x03, 0xE8, ILOAD_0, IRETURN}; }, 1000, nullptr},
    {"jsr_ret", "()I", [](ClassFileWriter&) {
         // 0: iconst_1 istore_0; 2: jsr 8; 5: iload_0 ireturn; 7: nop; 8: astore_1 iinc 0 41 ret 1
         return Code{ICONST_1, ISTORE_0, JSR, 0, 6, ILOAD_0, IRETURN, NOP, ASTORE_0 + 1, IINC, 0, 41, RET, 1};
     }, 42, nullptr},
    // The last instruction inside a try range is covered (start <= pc < end).
    {"handler_covers_last_instruction", "()I", [](ClassFileWriter& w) {
         std::uint16_t c = w.class_ref("java/lang/ArithmeticException");
         (void)c;
         return Code{ICONST_1, ICONST_0, IDIV, IRETURN, POP, BIPUSH, 77, IRETURN};
     }, 77, nullptr, {{0, 3, 4, "java/lang/ArithmeticException"}}},
    // The instruction at end_pc is outside the range.
    {"handler_excludes_end", "()I", [](ClassFileWriter&) {
         return Code{ICONST_1, ICONST_0, IDIV, IRETURN, POP, BIPUSH, 77, IRETURN};
     }, 0, "java/lang/ArithmeticException", {{0, 2, 4, ""}}},
    // Values already on the stack are dropped; the handler sees the exception alone.
    {"handler_stack_holds_exception_only", "()I", [](ClassFileWriter&) {
         return Code{BIPUSH, 5, BIPUSH, 6, ICONST_1, ICONST_0, IDIV, IADD, IRETURN, POP, ICONST_2, IRETURN};
     }, 2, nullptr, {{0, 9, 9, ""}}},
};

class Opcode : public ::testing::TestWithParam<OpCase> {};

TEST_P(Opcode, ResultOrException)
{
    const OpCase& c = GetParam();
    TestVm t;
    ASSERT_TRUE(t.vm);
    ClassFileWriter w("T");
    ClassFileMethod m;
    m.name = "run";
    m.desc = c.desc;
    m.code = c.code(w);
    m.handlers = c.handlers;
    w.add_method(m);
    t.add_class("T", w.bytes());
    TestVm::Result r = t.call("T", "run", c.desc);
    ASSERT_TRUE(r.done);
    if (c.exception) {
        EXPECT_EQ(r.exception_class(), c.exception);
        return;
    }
    ASSERT_EQ(r.exception_class(), "");
    if (c.desc[2] == 'J')
        EXPECT_EQ(r.as_long(), c.expect);
    else
        EXPECT_EQ(r.value[0].i, static_cast<std::int32_t>(c.expect));
}

INSTANTIATE_TEST_SUITE_P(Table, Opcode, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<OpCase>& i) { return std::string(i.param.name); });

TEST(Interpreter, ExceptionFromCalleeIsCaughtByCaller)
{
    TestVm t;
    ClassFileWriter w("C");
    std::uint16_t callee = w.method_ref("C", "boom", "()I");
    ClassFileMethod boom;
    boom.name = "boom";
    boom.desc = "()I";
    boom.code = {ICONST_1, ICONST_0, IDIV, IRETURN};
    w.add_method(boom);
    ClassFileMethod run;
    run.name = "run";
    run.desc = "()I";
    run.code = {INVOKESTATIC, hi(callee), lo(callee), IRETURN, POP, BIPUSH, 9, IRETURN};
    run.handlers = {{0, 4, 4, "java/lang/ArithmeticException"}};
    w.add_method(run);
    t.add_class("C", w.bytes());
    TestVm::Result r = t.call("C", "run", "()I");
    ASSERT_EQ(r.exception_class(), "");
    EXPECT_EQ(r.value[0].i, 9);
}

TEST(Interpreter, ArgumentsFromC)
{
    TestVm t;
    ClassFileWriter w("A");
    ClassFileMethod m;
    m.name = "mix";
    m.desc = "(IJF)J";
    m.code = {ILOAD_0, I2L, LLOAD_0 + 1, LADD, FLOAD_0 + 3, F2L, LADD, LRETURN};
    w.add_method(m);
    t.add_class("A", w.bytes());
    TestVm::Result r = t.call("A", "mix", "(IJF)J", 5, static_cast<long long>(1) << 40, 1.5);
    ASSERT_EQ(r.exception_class(), "");
    EXPECT_EQ(r.as_long(), 5 + (std::int64_t(1) << 40) + 1);
}

TEST(Interpreter, DeepRecursionThrowsStackOverflowError)
{
    TestVm t;
    ClassFileWriter w("R");
    std::uint16_t self = w.method_ref("R", "run", "()I");
    ClassFileMethod m;
    m.name = "run";
    m.desc = "()I";
    m.code = {INVOKESTATIC, hi(self), lo(self), IRETURN};
    w.add_method(m);
    t.add_class("R", w.bytes());
    EXPECT_EQ(t.call("R", "run", "()I").exception_class(), "java/lang/StackOverflowError");
}

TEST(Interpreter, MissingClassGivesNoClassDefFoundError)
{
    TestVm t;
    EXPECT_EQ(t.call("Nowhere", "run", "()I").exception_class(), "java/lang/NoClassDefFoundError");
}

} // namespace
