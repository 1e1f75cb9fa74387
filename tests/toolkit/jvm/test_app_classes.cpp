// The application's built-in classes: defined in order at start-up, each
// with its natives bound by position in class-file order.
#include "jvm_inventory.h"
#include "jvm_run.h"
#include "jvm_test_vm.h"
#include "tests/support/xr_temp_root.h"
#include "toolkit/javart/javart_app.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

std::string sym(KoRef r) { return std::string(ko_sym_bytes(ko_sym(r)), ko_sym_len(ko_sym(r))); }

TEST(AppClasses, EveryClassIsDefinedLinkedWithItsNativesInOrder)
{
    TestVm t;
    ASSERT_TRUE(ko_jvm_define_system_classes(t.vm));
    ASSERT_TRUE(ko_jvm_define_application_classes(t.vm));
    ASSERT_TRUE(ko_jvm_define_ui_classes(t.vm));
    for (int i = 0; i < ko_jvm_embedded_app_class_count; ++i) {
        const char* name = ko_jvm_embedded_app_classes[i].name;
        SCOPED_TRACE(name);
        const KoInventoryClass* inv = nullptr;
        for (const KoInventoryClass& x : kBuiltInInventory)
            if (!std::strcmp(x.name, name))
                inv = &x;
        ASSERT_NE(inv, nullptr);
        KoJvmClassRec* c = ko_jvm_find_class(t.vm, name, std::strlen(name));
        ASSERT_NE(c, nullptr);
        EXPECT_GE(c->state, KO_JVM_CLASS_LINKED);
        std::vector<std::string> natives;
        KoJvmMethodRec* m = ko_ptr<KoJvmMethodRec>(c->methods);
        for (unsigned i = 0; i < c->method_count; ++i)
            if (m[i].access & KO_ACC_NATIVE) {
                natives.push_back(sym(m[i].name) + sym(m[i].desc));
                EXPECT_NE(m[i].native_index, 0u) << natives.back();
            }
        EXPECT_EQ(natives, inv->natives);
    }
    for (int i = 0; i < ko_jvm_embedded_app_class_count; ++i) {
        const KoJvmEmbeddedClass& e = ko_jvm_embedded_app_classes[i];
        EXPECT_EQ((e.bytes[6] << 8) | e.bytes[7], 48) << e.name; // version 48.0
    }
}

TEST(AppClasses, SubclassBeforeItsSuperclassFails)
{
    TestVm t;
    EXPECT_FALSE(ko_jvm_built_in_com_kestrovatech_map_Point(t.vm));
    EXPECT_TRUE(ko_jvm_built_in_com_kestrovatech_map_MapObject(t.vm));
    EXPECT_TRUE(ko_jvm_built_in_com_kestrovatech_map_Point(t.vm));
}

KO_NATIVE(locale_text)
{
    KO_UNUSED_NATIVE_ARGS;
    ko_ret_string(vm, complete, thread, args[0].i == 3 ? "three" : "other");
}

TEST(AppClasses, UnboundNativeNamesTheMethodAndABoundOneRuns)
{
    {
        TestVm t;
        ASSERT_TRUE(ko_jvm_built_in_com_kestrovatech_Locale(t.vm));
        TestVm::Result r = t.call("com/kestrovatech/Locale", "getString", "(I)Ljava/lang/String;", 3);
        ASSERT_TRUE(r.done);
        EXPECT_EQ(r.exception_class(), "java/lang/UnsatisfiedLinkError");
        char* msg = ko_jvm_exception_message(t.vm, r.exception);
        EXPECT_STREQ(msg, "com.kestrovatech.Locale.getString(I)Ljava/lang/String;");
        ko_free(msg);
    }
    EXPECT_FALSE(ko_jvm_bind_application_native("com/kestrovatech/Locale", 1, locale_text));
    EXPECT_FALSE(ko_jvm_bind_application_native("com/kestrovatech/Nothing", 0, locale_text));
    ASSERT_TRUE(ko_jvm_bind_application_native("com/kestrovatech/Locale", 0, locale_text));
    {
        TestVm t;
        ASSERT_TRUE(ko_jvm_built_in_com_kestrovatech_Locale(t.vm));
        TestVm::Result r = t.call("com/kestrovatech/Locale", "getString", "(I)Ljava/lang/String;", 3);
        ASSERT_TRUE(r.done);
        ASSERT_EQ(r.exception, nullptr);
        char* text = ko_jvm_string_to_utf8(t.vm, ko_obj(r.value[0].ref), nullptr);
        EXPECT_STREQ(text, "three");
        ko_jvm_free_utf8(text);
    }
    ko_jvm_bind_application_native("com/kestrovatech/Locale", 0, ko_jvm_unbound_native);
}

TEST(AppClasses, UsedFromJavaUnderKojvm)
{
    JvmOutcome r = kojvm_run("AppClasses");
    EXPECT_EQ(r.status, 0);
    const std::string& out = r.out;
    EXPECT_EQ(out, "location 52.5 13.25 0.0\n"
                   "gps true 12.5 270.0 3.0\n"
                   "javax.microedition.io.ConnectionNotFoundException: Connections not supported.\n"
                   "java.lang.IllegalArgumentException: Non-supported URL.\n"
                   "java.lang.UnsatisfiedLinkError: javax.microedition.io.Connector.getDefaultPath()Ljava/lang/String;\n"
                   "java.lang.UnsatisfiedLinkError: com.kestrovatech.Locale.getString(I)Ljava/lang/String;\n");
}

std::string g_addon_data;

KO_NATIVE(addon_data_path)
{
    KO_UNUSED_NATIVE_ARGS;
    ko_ret_string(vm, complete, thread, g_addon_data.c_str());
}

TEST(AppClasses, ConnectorDataStreamsReadAndWriteUnderTheAddonFolder)
{
    XrTempRoot root;
    g_addon_data = root.make_dirs("/addons/data") + "/";
    ASSERT_TRUE(ko_jvm_bind_application_native("javax/microedition/io/Connector", 0, addon_data_path));
    {
        TestVm t(16u << 20);
        t.add_folder(KOJVM_PROGRAMS);
        t.add_folder(KOJVM_JAR_CLASSES);
        ASSERT_TRUE(ko_jvm_define_system_classes(t.vm));
        ASSERT_TRUE(ko_jvm_define_application_classes(t.vm));
        TestVm::Result r = t.call("ConnectorData", "run", "()Ljava/lang/String;");
        ASSERT_TRUE(r.done);
        ASSERT_EQ(r.exception, nullptr) << r.exception_class();
        char* text = ko_jvm_string_to_utf8(t.vm, ko_obj(r.value[0].ref), nullptr);
        EXPECT_STREQ(text, "22 1020304 6 -2.5 eof Non-supported URL. java.io.FileNotFoundException");
        ko_jvm_free_utf8(text);
    }
    ko_jvm_bind_application_native("javax/microedition/io/Connector", 0, ko_jvm_unbound_native);
    // Big-endian int, modified UTF-8 with its 16-bit length, IEEE double.
    const unsigned char expected[] = {1, 2, 3, 4, 0, 8, 'r', 0xc3, 0xa9, 's', 'u', 'm', 0xc3, 0xa9, 0xc0, 4, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(XrTempRoot::read_file(g_addon_data + "notes.bin"),
              std::string(reinterpret_cast<const char*>(expected), sizeof expected));
}

// Reflection where this VM differs from OpenJDK by design (see ReflectVm.java).
TEST(Reflection, ListsEveryMemberTakesWrappersAndPassesExceptionsUnwrapped)
{
    JvmOutcome r = kojvm_run("ReflectVm");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "fields c d e a b\n"
                     "instance double 1.25 float 0.5\n"
                     "only initialisers: methods 0 constructors 1\n"
                     "f by Integer 5\n"
                     "f by Integer.TYPE 2, TYPE is the wrapper true\n"
                     "unwrapped boom\n"
                     "null argument array: NullPointerException\n"
                     "constructor of String named String\n");
}

} // namespace
