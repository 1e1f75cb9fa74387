// The operations natives use on the VM: fields by type, boxing, strings,
// arrays, handles, global references, class data, exceptions by name and
// completions that come later.
#include "jvm_test_vm.h"
#include "tools/mapgen/classfile_writer.h"
#include "toolkit/jvm/kojvm_class.h"
#include "toolkit/jvm/kojvm_classfile.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kojvm_classfile;

namespace {

KoJvmClassRec* define(TestVm& t, ClassFileWriter& w, const KoJvmNative* natives = nullptr, int count = 0)
{
    std::vector<std::uint8_t> bytes = w.bytes();
    return ko_jvm_define_built_in_class(t.vm, 0, bytes.data(), bytes.size(), natives, count);
}

// A class of the built-in set, loaded when it is not yet.
KoJvmClassRec* find(TestVm& t, const char* name)
{
    if (KoJvmClassRec* c = ko_jvm_find_class(t.vm, name, std::strlen(name)))
        return c;
    KoJvmObjectRec* e = nullptr;
    return ko_jvm_load_class(t.vm, ko_jvm_intern_cstr(t.vm, name, false), &e);
}

TEST(NativeInterface, FieldsByType)
{
    TestVm t;
    ClassFileWriter w("F");
    for (const char* d : {"Z", "B", "C", "S", "I", "F", "J", "D", "Ljava/lang/Object;"})
        w.add_static_field(std::string("f") + d[0], d);
    KoJvmClassRec* c = define(t, w);
    ASSERT_TRUE(c);
    auto field = [&](const char* name, const char* desc) {
        KoJvmFieldRec* f = ko_jvm_find_field(t.vm, c, name, desc);
        EXPECT_TRUE(f) << name;
        return f;
    };
    KoJvmFieldRec* fz = field("fZ", "Z");
    KoJvmFieldRec* fb = field("fB", "B");
    KoJvmFieldRec* fc = field("fC", "C");
    KoJvmFieldRec* fs = field("fS", "S");
    KoJvmFieldRec* ff = field("fF", "F");
    KoJvmFieldRec* fj = field("fJ", "J");
    KoJvmFieldRec* fd = field("fD", "D");
    KoJvmFieldRec* fl = field("fL", "Ljava/lang/Object;");
    ko_jvm_set_boolean_field(t.vm, nullptr, fz, 1);
    ko_jvm_set_byte_field(t.vm, nullptr, fb, -2);
    ko_jvm_set_char_field(t.vm, nullptr, fc, 0xFFFE);
    ko_jvm_set_short_field(t.vm, nullptr, fs, -3);
    ko_jvm_set_float_field(t.vm, nullptr, ff, 1.5f);
    ko_jvm_set_long_field(t.vm, nullptr, fj, 0x123456789ABCDEF0LL);
    ko_jvm_set_double_field(t.vm, nullptr, fd, -0.25);
    KoJvmObjectRec* o = ko_jvm_new_object(t.vm, find(t, "java/lang/Object"));
    ko_jvm_set_ref_field(t.vm, nullptr, fl, o);
    EXPECT_EQ(ko_jvm_get_boolean_field(t.vm, nullptr, fz), 1);
    EXPECT_EQ(ko_jvm_get_byte_field(t.vm, nullptr, fb), -2);
    EXPECT_EQ(ko_jvm_get_char_field(t.vm, nullptr, fc), 0xFFFE);
    EXPECT_EQ(ko_jvm_get_short_field(t.vm, nullptr, fs), -3);
    EXPECT_EQ(ko_jvm_get_float_field(t.vm, nullptr, ff), 1.5f);
    EXPECT_EQ(ko_jvm_get_long_field(t.vm, nullptr, fj), 0x123456789ABCDEF0LL);
    EXPECT_EQ(ko_jvm_get_double_field(t.vm, nullptr, fd), -0.25);
    EXPECT_EQ(ko_jvm_get_ref_field(t.vm, nullptr, fl), o);
    // The int accessor widens by the descriptor: signed byte and short, unsigned char.
    EXPECT_EQ(ko_jvm_get_int_field(t.vm, nullptr, fb), -2);
    EXPECT_EQ(ko_jvm_get_int_field(t.vm, nullptr, fc), 0xFFFE);
    EXPECT_EQ(ko_jvm_get_int_field(t.vm, nullptr, fs), -3);
    // Java code sees the same values.
    EXPECT_EQ(ko_jvm_get_int_field(t.vm, nullptr, fz), 1);
}

TEST(NativeInterface, FieldPointerKeepsAllBits)
{
    TestVm t;
    ClassFileWriter w("P");
    w.add_static_field("nativeHandle", "J");
    KoJvmClassRec* c = define(t, w);
    ASSERT_TRUE(c);
    KoJvmFieldRec* f = ko_jvm_find_field(t.vm, c, "nativeHandle", "J");
    int local = 0;
    ko_jvm_set_field_pointer(t.vm, nullptr, f, &local);
    EXPECT_EQ(ko_jvm_get_field_pointer(t.vm, nullptr, f), &local);
    EXPECT_EQ(ko_jvm_get_long_field(t.vm, nullptr, f), static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(&local)));
}

TEST(NativeInterface, FindFieldSearchesSuperclasses)
{
    TestVm t;
    ClassFileWriter base("Base");
    base.add_static_field("v", "I");
    ClassFileWriter sub("Sub", "Base");
    KoJvmClassRec* b = define(t, base);
    KoJvmClassRec* s = define(t, sub);
    ASSERT_TRUE(b && s);
    KoJvmFieldRec* f = ko_jvm_find_field(t.vm, b, "v", "I");
    ASSERT_TRUE(f);
    EXPECT_EQ(ko_jvm_find_field(t.vm, s, "v", "I"), f);
    EXPECT_EQ(ko_jvm_find_field(t.vm, s, "v", "J"), nullptr);
    // A second search is answered from the class's cache with the same record.
    EXPECT_EQ(ko_jvm_find_field(t.vm, s, "v", "I"), f);
}

TEST(NativeInterface, ResolveFailuresNameTheMember)
{
    TestVm t;
    KoJvmClassRec* object = find(t, "java/lang/Object");
    KoJvmFieldRec* f = nullptr;
    KoJvmObjectRec* e = ko_jvm_resolve_field(t.vm, object, ko_jvm_intern_cstr(t.vm, "x", false),
                                             ko_jvm_intern_cstr(t.vm, "I", false), &f);
    ASSERT_TRUE(e);
    EXPECT_EQ(ko_jvm_class(e), find(t, "java/lang/NoSuchFieldError"));
    char* m = ko_jvm_exception_message(t.vm, e);
    EXPECT_STREQ(m, "java/lang/Object.x I");
    ko_jvm_free_utf8(m);
    KoJvmMethodRec* meth = nullptr;
    e = ko_jvm_resolve_method(t.vm, object, ko_jvm_intern_cstr(t.vm, "y", false), ko_jvm_intern_cstr(t.vm, "()V", false),
                              false, &meth);
    ASSERT_TRUE(e);
    EXPECT_EQ(ko_jvm_class(e), find(t, "java/lang/NoSuchMethodError"));
    m = ko_jvm_exception_message(t.vm, e);
    EXPECT_STREQ(m, "java/lang/Object.y()V");
    ko_jvm_free_utf8(m);
    EXPECT_EQ(ko_jvm_resolve_method(t.vm, object, ko_jvm_intern_cstr(t.vm, "hashCode", false),
                                    ko_jvm_intern_cstr(t.vm, "()I", false), false, &meth),
              nullptr);
    EXPECT_TRUE(meth);
}

TEST(NativeInterface, BoxAndUnbox)
{
    TestVm t;
    // The long 0x0000000100000002 as the slot pair (1, 2).
    KoJvmCat1ValueUnion pair[2];
    pair[0].i = 1;
    pair[1].i = 2;
    KoJvmObjectRec* l = ko_obj(ko_jvm_box(t.vm, find(t, "java/lang/Long"), pair).ref);
    ASSERT_TRUE(l);
    std::int64_t lv = 0;
    ASSERT_TRUE(ko_jvm_unbox_long(t.vm, l, &lv));
    EXPECT_EQ(lv, 4294967298LL);
    std::int32_t iv = 0;
    EXPECT_FALSE(ko_jvm_unbox_int(t.vm, l, &iv));
    EXPECT_FALSE(ko_jvm_unbox_long(t.vm, nullptr, &lv));

    KoJvmCat1ValueUnion one[2];
    one[0].i = -5;
    bool z = false;
    std::int8_t b = 0;
    std::uint16_t ch = 0;
    std::int16_t s = 0;
    float f = 0;
    double d = 0;
    one[0].i = 1;
    EXPECT_TRUE(ko_jvm_unbox_boolean(t.vm, ko_obj(ko_jvm_box(t.vm, find(t, "java/lang/Boolean"), one).ref), &z));
    EXPECT_TRUE(z);
    one[0].i = -5;
    EXPECT_TRUE(ko_jvm_unbox_byte(t.vm, ko_obj(ko_jvm_box(t.vm, find(t, "java/lang/Byte"), one).ref), &b));
    EXPECT_EQ(b, -5);
    one[0].i = 0xFFFB;
    EXPECT_TRUE(ko_jvm_unbox_char(t.vm, ko_obj(ko_jvm_box(t.vm, find(t, "java/lang/Character"), one).ref), &ch));
    EXPECT_EQ(ch, 0xFFFB);
    one[0].i = -300;
    EXPECT_TRUE(ko_jvm_unbox_short(t.vm, ko_obj(ko_jvm_box(t.vm, find(t, "java/lang/Short"), one).ref), &s));
    EXPECT_EQ(s, -300);
    EXPECT_TRUE(ko_jvm_unbox_int(t.vm, ko_obj(ko_jvm_box(t.vm, find(t, "java/lang/Integer"), one).ref), &iv));
    EXPECT_EQ(iv, -300);
    one[0].f = 2.5f;
    EXPECT_TRUE(ko_jvm_unbox_float(t.vm, ko_obj(ko_jvm_box(t.vm, find(t, "java/lang/Float"), one).ref), &f));
    EXPECT_EQ(f, 2.5f);
    double dv = -1e300;
    std::memcpy(one, &dv, 8); // memory order
    EXPECT_TRUE(ko_jvm_unbox_double(t.vm, ko_obj(ko_jvm_box(t.vm, find(t, "java/lang/Double"), one).ref), &d));
    EXPECT_EQ(d, -1e300);
    // Any other class: the value word is the reference itself.
    KoJvmObjectRec* o = ko_jvm_new_object(t.vm, find(t, "java/lang/Object"));
    one[0].ref = ko_ref(o);
    EXPECT_EQ(ko_jvm_box(t.vm, find(t, "java/lang/Object"), one).ref, ko_ref(o));
    EXPECT_FALSE(ko_jvm_unbox_float(t.vm, o, &f));
}

TEST(NativeInterface, StringsAndArrays)
{
    TestVm t;
    const char text[] = "a\xC3\xA9\xE2\x82\xAC"; // a, e acute, euro sign
    KoJvmObjectRec* s = ko_jvm_new_string_utf8(t.vm, text, std::strlen(text));
    ASSERT_TRUE(s);
    ASSERT_EQ(ko_jvm_string_length(t.vm, s), 3);
    EXPECT_EQ(ko_jvm_string_chars(t.vm, s)[1], 0xE9);
    EXPECT_EQ(ko_jvm_string_chars(t.vm, s)[2], 0x20AC);
    std::size_t n = 0;
    char* back = ko_jvm_string_to_utf8(t.vm, s, &n);
    EXPECT_EQ(std::string(back, n), text);
    ko_jvm_free_utf8(back);

    KoJvmObjectRec* bytes = ko_jvm_new_byte_array(t.vm, 4);
    KoJvmObjectRec* chars = ko_jvm_new_char_array(t.vm, 2);
    ASSERT_TRUE(bytes && chars);
    EXPECT_EQ(ko_jvm_array_length(t.vm, bytes), 4);
    ko_jvm_byte_array_data(t.vm, bytes)[3] = -1;
    ko_jvm_char_array_data(t.vm, chars)[1] = 0xFFFF;
    EXPECT_EQ(static_cast<std::int8_t*>(ko_jvm_array_data(t.vm, bytes))[3], -1);
    EXPECT_EQ(static_cast<std::uint16_t*>(ko_jvm_array_data(t.vm, chars))[1], 0xFFFF);

    KoJvmClassRec* str = find(t, "java/lang/String");
    KoJvmObjectRec* filled = ko_jvm_new_object_array(t.vm, 3, str, s);
    ASSERT_TRUE(filled);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ko_jvm_get_array_ref(t.vm, filled, i), s);
    EXPECT_TRUE(ko_jvm_set_array_ref(t.vm, filled, 1, nullptr));
    EXPECT_EQ(ko_jvm_get_array_ref(t.vm, filled, 1), nullptr);
    KoJvmObjectRec* empty = ko_jvm_new_object_array(t.vm, 2, str, nullptr);
    ASSERT_TRUE(empty);
    EXPECT_EQ(ko_jvm_get_array_ref(t.vm, empty, 0), nullptr);
}

TEST(NativeInterface, HandlesNestTo256)
{
    TestVm t;
    KoJvmObjectRec* locals[256] = {};
    int first = ko_jvm_push_handle(t.vm, &locals[0]);
    for (int i = 1; i < 256; ++i)
        EXPECT_EQ(ko_jvm_push_handle(t.vm, &locals[i]), first + i);
    ko_jvm_pop_handles(t.vm, first);
    EXPECT_EQ(ko_jvm_push_handle(t.vm, &locals[0]), first);
    ko_jvm_pop_handles(t.vm, first);
}

TEST(NativeInterfaceDeathTest, TooManyHandlesOrNatives)
{
    TestVm t;
    KoJvmObjectRec* locals[257] = {};
    EXPECT_DEATH(
        {
            for (auto& l : locals)
                ko_jvm_push_handle(t.vm, &l);
        },
        "FATAL");
    KoJvmNative ret = [](KoJvmRec*, KoJvmClassRec*, KoJvmCat1ValueUnion*, KoJvmCat1ValueUnion*, KoJvmCompletion c,
                         KoJvmThread* th, void*) { ko_ret_void(c, th); };
    ClassFileWriter w("X");
    for (const char* n : {"a", "b", "c"}) {
        ClassFileMethod m;
        m.name = n;
        m.desc = "()V";
        m.access = 0x0109;
        w.add_method(m);
    }
    KoJvmNative table[] = {ret, ret, ret, ret};
    EXPECT_DEATH(define(t, w, table, 4), "Excess native methods specified");
}

TEST(NativeInterface, GlobalReferencesAndClassData)
{
    TestVm t;
    KoJvmGlobalRef a{}, b{};
    a.object = ko_jvm_new_object(t.vm, find(t, "java/lang/Object"));
    ko_jvm_add_global_ref(t.vm, &a);
    ko_jvm_add_global_ref(t.vm, &b);
    ko_jvm_remove_global_ref(t.vm, &a);
    EXPECT_EQ(b.next, nullptr);
    ko_jvm_remove_global_ref(t.vm, &b);
    EXPECT_EQ(a.next, nullptr);

    static std::vector<int> freed;
    freed.clear();
    KoJvmClassRec* c = find(t, "java/lang/Object");
    static int one = 1, two = 2;
    ko_jvm_set_class_data(t.vm, c, &one, [](void* p) { freed.push_back(*static_cast<int*>(p)); });
    EXPECT_EQ(c->native_data, &one);
    ko_jvm_set_class_data(t.vm, c, &two, nullptr);
    EXPECT_EQ(freed, std::vector<int>{1});
    EXPECT_EQ(c->native_data, &two);
    ko_jvm_set_class_data(t.vm, c, nullptr, nullptr);
}

TEST(NativeInterface, ThrowByName)
{
    TestVm t;
    KoJvmObjectRec* e = ko_jvm_throw_by_name(t.vm, nullptr, "java/lang/IllegalStateException", "bad state");
    ASSERT_TRUE(e);
    EXPECT_EQ(ko_jvm_class(e), find(t, "java/lang/IllegalStateException"));
    char* m = ko_jvm_exception_message(t.vm, e);
    EXPECT_STREQ(m, "bad state");
    ko_jvm_free_utf8(m);
    e = ko_jvm_throw_by_name(t.vm, t.thread, "no/such/Error", nullptr);
    EXPECT_EQ(ko_jvm_class(e), find(t, "java/lang/NoClassDefFoundError"));
    EXPECT_EQ(ko_jvm_exception_message(t.vm, e), nullptr);
}

// A native that keeps its completion; the test completes it later, as an
// event handler would.
struct Later {
    KoJvmCompletion complete = nullptr;
    KoJvmThread* thread = nullptr;
};
Later g_later;

TEST(NativeInterface, CompletionLaterResumesTheThread)
{
    TestVm t;
    g_later = {};
    KoJvmNative keep = [](KoJvmRec* vm, KoJvmClassRec*, KoJvmCat1ValueUnion*, KoJvmCat1ValueUnion*, KoJvmCompletion c,
                          KoJvmThread* th, void*) {
        g_later.complete = c;
        g_later.thread = th;
        // The same call, unpacked from the thread.
        KoJvmRec* v = nullptr;
        KoJvmCompletion c2 = nullptr;
        ko_jvm_native_args(th, &v, nullptr, nullptr, nullptr, &c2, nullptr);
        EXPECT_EQ(v, vm);
        EXPECT_EQ(c2, c);
    };
    ClassFileWriter w("L");
    ClassFileMethod nat;
    nat.name = "slow";
    nat.desc = "()I";
    nat.access = 0x0109;
    w.add_method(nat);
    ClassFileMethod run;
    run.name = "run";
    run.desc = "()I";
    std::uint16_t slow = w.method_ref("L", "slow", "()I");
    run.code = {INVOKESTATIC, std::uint8_t(slow >> 8), std::uint8_t(slow), ICONST_1, IADD, IRETURN};
    w.add_method(run);
    KoJvmNative table[] = {keep};
    ASSERT_TRUE(define(t, w, table, 1));
    TestVm::Result r;
    ko_jvm_invoke_static_async(t.thread, 0, "L", 0, "run", 0, "()I", 0, nullptr,
                               [](KoJvmCat1ValueUnion* v, KoJvmObjectRec* e, void* d) {
                                   auto* res = static_cast<TestVm::Result*>(d);
                                   res->done = true;
                                   res->exception = e;
                                   if (v && !e)
                                       res->value[0] = v[0];
                               },
                               &r);
    ko_jvm_run(t.vm);
    EXPECT_FALSE(r.done);
    ASSERT_TRUE(g_later.complete);
    EXPECT_EQ(ko_jvm_live_threads(t.vm), 1);
    KoJvmCat1ValueUnion v[1];
    v[0].i = 41;
    g_later.complete(v, nullptr, g_later.thread);
    EXPECT_TRUE(r.done);
    EXPECT_EQ(r.exception, nullptr);
    EXPECT_EQ(r.value[0].i, 42);
}

} // namespace

namespace {

std::string text_of(TestVm& t, const TestVm::Result& r)
{
    if (!r.done || r.exception)
        return "(failed)";
    char* s = ko_jvm_string_to_utf8(t.vm, ko_obj(r.value[0].ref), nullptr);
    std::string out = s ? s : "(null)";
    ko_jvm_free_utf8(s);
    return out;
}

TEST(BuiltInClasses, NativesBindInClassFileOrder)
{
    TestVm t;
    ASSERT_TRUE(ko_jvm_define_system_classes(t.vm));
    // Byte's table: toString(B), parseByte(String), parseByte(String, int).
    EXPECT_EQ(text_of(t, t.call("java/lang/Byte", "toString", "(B)Ljava/lang/String;", -5)), "-5");
    KoJvmObjectRec* twelve = ko_jvm_new_string_utf8(t.vm, "12", 2);
    EXPECT_EQ(t.call("java/lang/Byte", "parseByte", "(Ljava/lang/String;)B", twelve).value[0].i, 12);
    KoJvmObjectRec* hex = ko_jvm_new_string_utf8(t.vm, "7f", 2);
    EXPECT_EQ(t.call("java/lang/Byte", "parseByte", "(Ljava/lang/String;I)B", hex, 16).value[0].i, 127);
}

} // namespace

namespace {

TEST(BuiltInClasses, NeedNoClassOutsideTheBuiltInSet)
{
    // The test VM's loader knows only the built-in classes: texts made by
    // them (names of threads, objects, exceptions) must not need the jar.
    TestVm t;
    ASSERT_TRUE(ko_jvm_define_system_classes(t.vm));
    KoJvmObjectRec* o = ko_jvm_new_object(t.vm, ko_jvm_find_class(t.vm, "java/lang/Object", 16));
    TestVm::Result r;
    auto done = [](KoJvmCat1ValueUnion* v, KoJvmObjectRec* e, void* d) {
        auto* res = static_cast<TestVm::Result*>(d);
        res->done = true;
        res->exception = e;
        if (v && !e)
            res->value[0] = v[0];
    };
    ko_jvm_invoke_virtual_async(t.thread, 0, o, "toString", 0, "()Ljava/lang/String;", 0, nullptr, done, &r);
    ko_jvm_run(t.vm);
    EXPECT_EQ(r.exception_class(), "");
    EXPECT_EQ(text_of(t, r).rfind("java.lang.Object@", 0), 0u) << text_of(t, r);

    KoJvmObjectRec* e = ko_jvm_throw_by_name(t.vm, nullptr, "java/lang/ArrayIndexOutOfBoundsException", "x");
    TestVm::Result s;
    ko_jvm_invoke_virtual_async(t.thread, 0, e, "toString", 0, "()Ljava/lang/String;", 0, nullptr, done, &s);
    ko_jvm_run(t.vm);
    EXPECT_EQ(text_of(t, s), "java.lang.ArrayIndexOutOfBoundsException: x");
}

} // namespace

namespace {

// A native that calls back into Java on its own thread: the call runs once
// the native has returned, and the native completes from its completion.
struct Callback {
    KoJvmThread* thread;
    KoJvmCompletion complete;
};

TEST(NativeInterface, NativeCallsIntoJavaOnItsOwnThread)
{
    TestVm t;
    ASSERT_TRUE(ko_jvm_define_system_classes(t.vm));
    KoJvmNative call_back = [](KoJvmRec*, KoJvmClassRec*, KoJvmCat1ValueUnion*, KoJvmCat1ValueUnion* args,
                               KoJvmCompletion c, KoJvmThread* th, void*) {
        auto* cb = static_cast<Callback*>(ko_malloc(sizeof(Callback)));
        *cb = {th, c};
        // Integer.intValue() of the argument, plus one.
        ko_jvm_invoke_virtual_async(th, 0, ko_obj(args[0].ref), "intValue", 0, "()I", 0, nullptr,
                                    [](KoJvmCat1ValueUnion* v, KoJvmObjectRec* e, void* d) {
                                        Callback b = *static_cast<Callback*>(d);
                                        ko_free(d);
                                        if (e) {
                                            b.complete(nullptr, e, b.thread);
                                            return;
                                        }
                                        KoJvmCat1ValueUnion r[1];
                                        r[0].i = v[0].i + 1;
                                        b.complete(r, nullptr, b.thread);
                                    },
                                    cb);
    };
    ClassFileWriter w("CB");
    ClassFileMethod nat;
    nat.name = "next";
    nat.desc = "(Ljava/lang/Integer;)I";
    nat.access = 0x0109;
    w.add_method(nat);
    ClassFileMethod run;
    run.name = "run";
    run.desc = "()I";
    std::uint16_t integer = w.class_ref("java/lang/Integer");
    std::uint16_t init = w.method_ref("java/lang/Integer", "<init>", "(I)V");
    std::uint16_t next = w.method_ref("CB", "next", "(Ljava/lang/Integer;)I");
    run.code = {NEW,         std::uint8_t(integer >> 8), std::uint8_t(integer), DUP, BIPUSH, 41,
                INVOKESPECIAL, std::uint8_t(init >> 8),  std::uint8_t(init),    INVOKESTATIC, std::uint8_t(next >> 8),
                std::uint8_t(next), ICONST_2, IMUL, IRETURN};
    w.add_method(run);
    KoJvmNative table[] = {call_back};
    ASSERT_TRUE(define(t, w, table, 1));
    TestVm::Result r = t.call("CB", "run", "()I");
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.exception_class(), "");
    EXPECT_EQ(r.value[0].i, 84);
}

} // namespace
