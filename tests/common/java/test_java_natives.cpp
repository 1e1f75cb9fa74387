// The add-on bindings' native tables against the built-in classes: every
// entry names, in order and spelled as in the class file, the native at
// its position, and every native of a bound class has its entry.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "common/java/xr_java_natives.h"
#include "toolkit/javart/javart_app.h"
#include "toolkit/jvm/jvm_inventory.h"

namespace {

std::string sym(KoRef r) { return r ? std::string(ko_sym_bytes(ko_sym(r)), ko_sym_len(ko_sym(r))) : std::string(); }

// The natives of each class of a table, in the table's order.
std::map<std::string, std::vector<std::string>> by_class(const std::vector<XrJavaNative>& table)
{
    std::map<std::string, std::vector<std::string>> out;
    for (const XrJavaNative& n : table)
        out[n.class_name].push_back(n.method);
    return out;
}

const KoInventoryClass* inventory(const std::string& name)
{
    for (const KoInventoryClass& c : kBuiltInInventory)
        if (name == c.name)
            return &c;
    return nullptr;
}

struct Table {
    const char* what;
    const std::vector<XrJavaNative>& (*natives)();
    std::vector<std::string> classes; // every class the table must bind
};

const Table kTables[] = {
    {"navigator", &xr_java_navigator_natives,
     {"com/kestrovatech/Navigator", "com/kestrovatech/GPSLocation", "com/kestrovatech/Locale",
      "javax/microedition/io/Connector"}},
    {"map", &xr_java_map_natives,
     {"com/kestrovatech/map/Layer", "com/kestrovatech/map/MapObject", "com/kestrovatech/map/Point",
      "com/kestrovatech/map/Polyline", "com/kestrovatech/map/ImageLayer"}},
    {"network", &xr_java_net_natives,
     {"com/kestrovatech/Http", "com/kestrovatech/PropertyBag", "com/kestrovatech/ServCom"}},
    {"dialogs", &xr_java_dialog_natives,
     {"com/kestrovatech/CommonDialogs", "com/kestrovatech/BusyDlg", "com/kestrovatech/ui/Dialog",
      "com/kestrovatech/ui/Control", "com/kestrovatech/ui/EditControl", "com/kestrovatech/ui/ListControl",
      "com/kestrovatech/ui/ListModel", "com/kestrovatech/ui/ListRenderer", "com/kestrovatech/ui/ListRendererString",
      "com/kestrovatech/ui/ListRendererImage", "com/kestrovatech/ui/Command"}},
};

} // namespace

TEST(JavaNatives, EveryTableMatchesTheClassesNativesInOrder)
{
    KoJvmParams p{};
    p.heap_size = 8u << 20;
    KoJvmRec* vm = ko_jvm_create(&p);
    ASSERT_NE(vm, nullptr);
    for (const Table& t : kTables)
        EXPECT_TRUE(xr_java_bind_natives(t.natives())) << t.what;
    ASSERT_TRUE(ko_jvm_define_system_classes(vm));
    ASSERT_TRUE(ko_jvm_define_reflection_classes(vm));
    ASSERT_TRUE(ko_jvm_define_stream_classes(vm));
    ASSERT_TRUE(ko_jvm_define_application_classes(vm));
    ASSERT_TRUE(ko_jvm_define_ui_classes(vm));
    for (const Table& t : kTables) {
        const auto table = by_class(t.natives());
        EXPECT_EQ(table.size(), t.classes.size()) << t.what;
        for (const std::string& name : t.classes) {
            SCOPED_TRACE(name);
            KoJvmClassRec* c = ko_jvm_find_class(vm, name.c_str(), name.size());
            ASSERT_NE(c, nullptr);
            std::vector<std::string> natives;
            KoJvmMethodRec* m = ko_ptr<KoJvmMethodRec>(c->methods);
            for (unsigned i = 0; i < c->method_count; ++i)
                if (m[i].access & KO_ACC_NATIVE)
                    natives.push_back(sym(m[i].name) + sym(m[i].desc));
            ASSERT_TRUE(table.count(name));
            EXPECT_EQ(table.at(name), natives);
            const KoInventoryClass* inv = inventory(name);
            ASSERT_NE(inv, nullptr);
            EXPECT_EQ(table.at(name), inv->natives);
        }
    }
    ko_jvm_destroy(vm);
}

TEST(JavaNatives, APositionAClassDoesNotHaveIsRefused)
{
    const std::vector<XrJavaNative> too_many = {
        {"com/kestrovatech/Locale", "getString(I)Ljava/lang/String;", ko_jvm_unbound_native},
        {"com/kestrovatech/Locale", "extra()V", ko_jvm_unbound_native},
    };
    EXPECT_FALSE(xr_java_bind_natives(too_many));
    const std::vector<XrJavaNative> unknown = {{"com/kestrovatech/Nothing", "x()V", ko_jvm_unbound_native}};
    EXPECT_FALSE(xr_java_bind_natives(unknown));
}
