// Class files: bad input gives the right Java error, never a crash; constant
// values are in place at preparation; natives bind by position.
#include "jvm_test_vm.h"
#include "tools/mapgen/classfile_writer.h"
#include "toolkit/jvm/kojvm_classfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace kojvm_classfile;

namespace {

std::vector<std::uint8_t> simple_class(const std::string& name, const std::string& super = "java/lang/Object")
{
    ClassFileWriter w(name, super);
    ClassFileMethod m;
    m.name = "run";
    m.desc = "()I";
    m.code = {BIPUSH, 42, IRETURN};
    w.add_method(m);
    return w.bytes();
}

struct BadFile {
    const char* name;
    const char* error;
};

const BadFile kJasmin[] = {
    {"BadStack", "java/lang/VerifyError"},     // stack underflow
    {"BadLocal", "java/lang/VerifyError"},     // local index beyond max_locals
    {"FallsOff", "java/lang/VerifyError"},     // code runs past its end
    {"Overflow", "java/lang/VerifyError"},     // deeper than max_stack
    {"BadConstant", "java/lang/NoSuchFieldError"}, // well formed, the field is missing
    {"MissingSuper", "java/lang/NoClassDefFoundError"},
    {"UsesLoop", "java/lang/ClassCircularityError"},       // its interfaces extend each other
    {"ExtendsInterface", "java/lang/IncompatibleClassChangeError"},
    {"ImplementsClass", "java/lang/IncompatibleClassChangeError"},
    {"StaticCall", "java/lang/IncompatibleClassChangeError"},
    {"DuplicateField", "java/lang/ClassFormatError"},
    {"InitFails", "java/lang/ExceptionInInitializerError"},
    {"Good", ""},
};

class JasminFile : public ::testing::TestWithParam<BadFile> {};

TEST_P(JasminFile, GivesTheRightError)
{
    const BadFile& b = GetParam();
    TestVm t;
    t.add_folder(KOJVM_BAD);
    TestVm::Result r = t.call(b.name, "run", "()I");
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.exception_class(), b.error);
    if (!*b.error) {
        EXPECT_EQ(r.value[0].i, 42);
    }
}

INSTANTIATE_TEST_SUITE_P(Jasmin, JasminFile, ::testing::ValuesIn(kJasmin),
                         [](const ::testing::TestParamInfo<BadFile>& i) { return std::string(i.param.name); });

TEST(ClassFile, VersionLimits)
{
    struct {
        int major, minor;
        const char* error;
    } cases[] = {{44, 0, "java/lang/UnsupportedClassVersionError"}, {45, 3, ""}, {50, 0, ""},
                 {50, 1, "java/lang/UnsupportedClassVersionError"}, {51, 0, "java/lang/UnsupportedClassVersionError"}};
    for (auto& c : cases) {
        TestVm t;
        ClassFileWriter w("V");
        ClassFileMethod m;
        m.name = "run";
        m.desc = "()I";
        m.code = {BIPUSH, 42, IRETURN};
        w.add_method(m);
        w.set_version(std::uint16_t(c.major), std::uint16_t(c.minor));
        t.add_class("V", w.bytes());
        EXPECT_EQ(t.call("V", "run", "()I").exception_class(), c.error) << c.major << "." << c.minor;
    }
}

TEST(ClassFile, EveryTruncationIsAFormatError)
{
    std::vector<std::uint8_t> good = simple_class("Cut");
    for (std::size_t n = 1; n < good.size(); n += 3) {
        TestVm t;
        t.add_class("Cut", std::vector<std::uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(n)));
        EXPECT_EQ(t.call("Cut", "run", "()I").exception_class(), "java/lang/ClassFormatError") << n;
    }
}

TEST(ClassFile, TrailingBytesAndBadMagic)
{
    TestVm t;
    std::vector<std::uint8_t> extra = simple_class("Extra");
    extra.push_back(0);
    t.add_class("Extra", extra);
    EXPECT_EQ(t.call("Extra", "run", "()I").exception_class(), "java/lang/ClassFormatError");
    std::vector<std::uint8_t> magic = simple_class("Magic");
    magic[0] = 0xCB;
    t.add_class("Magic", magic);
    EXPECT_EQ(t.call("Magic", "run", "()I").exception_class(), "java/lang/ClassFormatError");
}

TEST(ClassFile, CircularSuperclasses)
{
    TestVm t;
    t.add_class("Self", simple_class("Self", "Self"));
    EXPECT_EQ(t.call("Self", "run", "()I").exception_class(), "java/lang/ClassCircularityError");
    t.add_class("A", simple_class("A", "B"));
    t.add_class("B", simple_class("B", "A"));
    EXPECT_EQ(t.call("A", "run", "()I").exception_class(), "java/lang/ClassCircularityError");
}

TEST(ClassFile, WrongNameIsNoClassDefFoundError)
{
    TestVm t;
    t.add_class("Asked", simple_class("Other"));
    EXPECT_EQ(t.call("Asked", "run", "()I").exception_class(), "java/lang/NoClassDefFoundError");
}

TEST(ClassFile, ConstantValueMustMatchTheFieldType)
{
    TestVm t;
    ClassFileWriter w("K");
    w.add_static_field("l", "J", w.integer(5));
    ClassFileMethod m;
    m.name = "run";
    m.desc = "()I";
    m.code = {ICONST_0, IRETURN};
    w.add_method(m);
    t.add_class("K", w.bytes());
    EXPECT_EQ(t.call("K", "run", "()I").exception_class(), "java/lang/ClassFormatError");
}

TEST(ClassFile, StaticConstantsAreSetAtPreparation)
{
    TestVm t;
    ClassFileWriter w("S");
    w.add_static_field("i", "I", w.integer(1234));
    w.add_static_field("j", "J", w.long_const(-5000000000LL));
    w.add_static_field("s", "Ljava/lang/String;", w.string("hello"));
    w.add_static_field("c", "C", w.integer(0x41));
    std::uint16_t fi = w.field_ref("S", "i", "I");
    std::uint16_t fj = w.field_ref("S", "j", "J");
    ClassFileMethod m;
    m.name = "run";
    m.desc = "()J";
    m.code = {GETSTATIC, std::uint8_t(fi >> 8), std::uint8_t(fi), I2L, GETSTATIC, std::uint8_t(fj >> 8), std::uint8_t(fj), LADD, LRETURN};
    w.add_method(m);
    t.add_class("S", w.bytes());
    TestVm::Result r = t.call("S", "run", "()J");
    ASSERT_EQ(r.exception_class(), "");
    EXPECT_EQ(r.as_long(), 1234 - 5000000000LL);
    KoJvmClassRec* c = ko_jvm_find_class(t.vm, "S", 1);
    ASSERT_TRUE(c);
    KoJvmFieldRec* s = ko_jvm_find_field(t.vm, c, "s", "Ljava/lang/String;");
    char* text = ko_jvm_string_to_utf8(t.vm, ko_jvm_get_ref_field(t.vm, nullptr, s), nullptr);
    EXPECT_STREQ(text, "hello");
    ko_jvm_free_utf8(text);
    EXPECT_EQ(ko_jvm_get_int_field(t.vm, nullptr, ko_jvm_find_field(t.vm, c, "c", "C")), 0x41);
}

TEST(Heap, ArraySizes)
{
    TestVm t;
    KoJvmClassRec* la = ko_jvm_class_for_descriptor(t.vm, "[J", 2);
    ASSERT_TRUE(la);
    KoJvmObjectRec* a = ko_jvm_new_array(t.vm, la, 3);
    KoJvmObjectRec* b = ko_jvm_new_byte_array(t.vm, 5);
    KoJvmObjectRec* c = ko_jvm_new_byte_array(t.vm, 1);
    ASSERT_TRUE(a && b && c);
    // long[3]: 32 + 24 bytes; byte[5]: 28 + 5 + 3 rounded down to 36.
    EXPECT_EQ(reinterpret_cast<unsigned char*>(b) - reinterpret_cast<unsigned char*>(a), 56);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(c) - reinterpret_cast<unsigned char*>(b), 36);
}

TEST(ClassFile, NativesBindByPositionThenByRegistry)
{
    TestVm t;
    static int calls[3];
    KoJvmNative first = [](KoJvmRec*, KoJvmClassRec*, KoJvmCat1ValueUnion*, KoJvmCat1ValueUnion*, KoJvmCompletion c,
                           KoJvmThread* th, void*) { ++calls[0]; ko_ret_int(c, th, 1); };
    KoJvmNative second = [](KoJvmRec*, KoJvmClassRec*, KoJvmCat1ValueUnion*, KoJvmCat1ValueUnion*, KoJvmCompletion c,
                            KoJvmThread* th, void*) { ++calls[1]; ko_ret_int(c, th, 2); };
    KoJvmNative third = [](KoJvmRec*, KoJvmClassRec*, KoJvmCat1ValueUnion*, KoJvmCat1ValueUnion*, KoJvmCompletion c,
                           KoJvmThread* th, void*) { ++calls[2]; ko_ret_int(c, th, 3); };
    ClassFileWriter w("N");
    for (const char* n : {"a", "b", "c"}) {
        ClassFileMethod m;
        m.name = n;
        m.desc = "()I";
        m.access = 0x0109;
        w.add_method(m);
    }
    std::vector<std::uint8_t> bytes = w.bytes();
    ko_jvm_register_native(t.vm, "N.c()I", third);
    KoJvmNative table[] = {first, second};
    KoJvmClassRec* c = ko_jvm_define_built_in_class(t.vm, 0, bytes.data(), bytes.size(), table, 2);
    ASSERT_TRUE(c);
    EXPECT_EQ(t.call("N", "a", "()I").value[0].i, 1);
    EXPECT_EQ(t.call("N", "b", "()I").value[0].i, 2);
    EXPECT_EQ(t.call("N", "c", "()I").value[0].i, 3);
}

TEST(ClassFile, BuiltInNeedsItsSuperclassFirst)
{
    TestVm t;
    std::vector<std::uint8_t> bytes = simple_class("Child", "NotDefined");
    EXPECT_EQ(ko_jvm_define_built_in_class(t.vm, 0, bytes.data(), bytes.size(), nullptr, 0), nullptr);
}

TEST(Symbols, InterningIsIdempotent)
{
    TestVm t;
    KoJvmSymbol* a = ko_jvm_intern(t.vm, "abc", 3, false);
    KoJvmSymbol* b = ko_jvm_intern_cstr(t.vm, "abc", false);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, ko_jvm_intern(t.vm, "abd", 3, false));
}

TEST(Heap, AllocationBeyondGenerationZeroFails)
{
    TestVm t(131072);
    KoJvmClassRec* ba = ko_jvm_class_for_descriptor(t.vm, "[B", 2);
    EXPECT_EQ(ko_jvm_new_array(t.vm, ba, 40000), nullptr);
    EXPECT_NE(ko_jvm_new_array(t.vm, ba, 100), nullptr);
}

TEST(Monitors, RecursionLimitAndHandOver)
{
    TestVm t;
    KoJvmThread* other = ko_jvm_new_thread(t.vm, 0);
    KoJvmObjectRec* o = ko_jvm_new_object(t.vm, ko_jvm_find_class(t.vm, "java/lang/Object", 16));
    for (int i = 0; i < 255; ++i)
        ASSERT_TRUE(ko_jvm_monitor_enter(t.thread, o));
    EXPECT_FALSE(ko_jvm_monitor_enter(t.thread, o));
    EXPECT_TRUE(ko_jvm_monitor_enter(other, o));
    EXPECT_EQ(o->monitor_owner, ko_ref(t.thread));
    for (int i = 0; i < 255; ++i)
        ASSERT_TRUE(ko_jvm_monitor_exit(t.thread, o));
    EXPECT_EQ(o->monitor_owner, ko_ref(other));
    EXPECT_EQ(o->monitor_count, 1);
}

} // namespace

namespace {

void loaded(KoJvmClassRec* c, KoJvmObjectRec* e, void* data)
{
    *static_cast<KoJvmClassRec**>(data) = e ? nullptr : c;
}

std::uint8_t state_of(TestVm& t, const char* name)
{
    KoJvmClassRec* c = ko_jvm_find_class(t.vm, name, std::strlen(name));
    return c ? c->state : 0xFF;
}

} // namespace

TEST(ClassStates, LoadingLinksAndTheFirstCallInitialises)
{
    TestVm t;
    t.add_folder(KOJVM_BAD);
    KoJvmClassRec* c = nullptr;
    ko_jvm_load_class_async(t.thread, "ReentrantInit", 13, false, loaded, &c);
    ko_jvm_run(t.vm);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->state, KO_JVM_CLASS_LINKED);
    // The initialiser's own call into the class goes on at once and sees
    // the field before the initialiser set it.
    TestVm::Result r = t.call("ReentrantInit", "run", "()I");
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.exception_class(), "");
    EXPECT_EQ(r.value[0].i, 5);
    EXPECT_EQ(state_of(t, "ReentrantInit"), KO_JVM_CLASS_INITIALIZED);
}

TEST(ClassStates, AFailedInitialiserLeavesTheClassErroneous)
{
    TestVm t;
    t.add_folder(KOJVM_BAD);
    // The superclass's initialiser runs first and fails.
    EXPECT_EQ(t.call("SubOfFailed", "run", "()I").exception_class(), "java/lang/ExceptionInInitializerError");
    EXPECT_EQ(state_of(t, "InitFails"), KO_JVM_CLASS_ERRONEOUS);
    EXPECT_EQ(t.call("InitFails", "run", "()I").exception_class(), "java/lang/NoClassDefFoundError");
    EXPECT_EQ(t.call("SubOfFailed", "run", "()I").exception_class(), "java/lang/NoClassDefFoundError");
    EXPECT_NE(state_of(t, "SubOfFailed"), KO_JVM_CLASS_INITIALIZED);
}

TEST(ClassStates, FieldsAreLaidOutInFileOrderEachAlignedToItsSize)
{
    TestVm t;
    t.add_folder(KOJVM_BAD);
    ASSERT_EQ(t.call("Layout", "run", "()I").exception_class(), "");
    KoJvmClassRec* c = ko_jvm_find_class(t.vm, "Layout", 6);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(ko_jvm_find_field(t.vm, c, "b", "B")->offset, 24u);
    EXPECT_EQ(ko_jvm_find_field(t.vm, c, "i", "I")->offset, 28u);
    EXPECT_EQ(ko_jvm_find_field(t.vm, c, "c", "B")->offset, 32u);
    EXPECT_EQ(ko_jvm_find_field(t.vm, c, "l", "J")->offset, 40u);
    EXPECT_EQ(c->instance_size, 48u);
}

// Modified UTF-8 in the constant pool: code points up to U+FFFF, the
// two-byte NUL and three-byte surrogates pass; anything else is a format
// error.
TEST(ClassFile, ConstantTextMustBeWellFormedUtf8)
{
    struct {
        const char* bytes; // four bytes in place of "QQQQ"
        const char* error;
    } cases[] = {
        {"QQQQ", ""},
        {"\xC0\x80QQ", ""},
        {"\xED\xA0\xBDQ", ""},
        {"Q\xE2\x82\xAC", ""},
        {"\xFEQQQ", "java/lang/ClassFormatError"},
        {"\xFFQQQ", "java/lang/ClassFormatError"},
        {"\x80QQQ", "java/lang/ClassFormatError"},
        {"Q\xE2\x82Q", "java/lang/ClassFormatError"},
        {"QQQ\xC3", "java/lang/ClassFormatError"},
        {"\xF0\x9F\x98\x80", "java/lang/ClassFormatError"},
    };
    std::ifstream in(std::string(KOJVM_BAD) + "/Utf.class", std::ios::binary);
    const std::vector<std::uint8_t> original{std::istreambuf_iterator<char>(in), {}};
    const std::string marker = "QQQQ";
    auto at = std::search(original.begin(), original.end(), marker.begin(), marker.end());
    ASSERT_NE(at, original.end());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        std::vector<std::uint8_t> bytes = original;
        std::memcpy(bytes.data() + (at - original.begin()), c.bytes, 4);
        TestVm t;
        t.add_class("Utf", bytes);
        EXPECT_EQ(t.call("Utf", "run", "()I").exception_class(), c.error);
    }
}
