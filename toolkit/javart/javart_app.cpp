// The application's built-in classes (com/kestrovatech, its map and ui
// packages, javax/microedition/io/Connector): their definition and native
// tables. The application installs its bindings into the tables with
// ko_jvm_bind_application_native before it defines the classes; a native it
// has not bound raises java/lang/UnsatisfiedLinkError naming the method.
#include "toolkit/javart/javart_app.h"
#include "toolkit/javart/javart_natives.h"

#include <string>

KO_NATIVE(ko_jvm_unbound_native)
{
    (void)clazz, (void)self, (void)args, (void)data;
    KoJvmMethodRec* m = thread->native_method;
    std::string text;
    if (m) {
        KoJvmSymbol* c = ko_jvm_class_name(ko_cls(m->clazz));
        text.assign(ko_sym_bytes(c), ko_sym_len(c));
        for (char& ch : text)
            if (ch == '/')
                ch = '.';
        KoJvmSymbol* n = ko_sym(m->name);
        KoJvmSymbol* d = ko_sym(m->desc);
        text.append(".").append(ko_sym_bytes(n), ko_sym_len(n)).append(ko_sym_bytes(d), ko_sym_len(d));
    }
    ko_ret_throw(vm, complete, thread, "java/lang/UnsatisfiedLinkError", text.c_str());
}

namespace {

struct AppClass {
    const char* name;
    int natives; // how many, in class-file order
};

#define KO_JVM_APP_CLASS(fn, name, natives) {name, natives},
const AppClass kAppClasses[] = {KO_JVM_APP_CLASSES(KO_JVM_APP_CLASS)};
const AppClass kUiClasses[] = {KO_JVM_UI_CLASSES(KO_JVM_APP_CLASS)};
#undef KO_JVM_APP_CLASS
constexpr int kMaxNatives = 17;

struct Table {
    const char* name;
    KoJvmNative fns[kMaxNatives];
};

// One table per class (application and UI classes in one list), every entry
// unbound until the application binds it.
struct Tables {
    Table t[sizeof kAppClasses / sizeof kAppClasses[0] + sizeof kUiClasses / sizeof kUiClasses[0]];
    Tables()
    {
        int k = 0;
        for (const AppClass& c : kAppClasses)
            init(t[k++], c.name);
        for (const AppClass& c : kUiClasses)
            init(t[k++], c.name);
    }
    static void init(Table& table, const char* name)
    {
        table.name = name;
        for (KoJvmNative& f : table.fns)
            f = ko_jvm_unbound_native;
    }
    Table* find(const char* name)
    {
        for (Table& x : t)
            if (!std::strcmp(x.name, name))
                return &x;
        return nullptr;
    }
};
Tables& tables()
{
    static Tables t;
    return t;
}

bool define_class(KoJvmRec* vm, const AppClass& c)
{
    return ko_jvm_define_embedded(vm, ko_jvm_embedded_app_classes, ko_jvm_embedded_app_class_count, c.name,
                                  c.natives ? tables().find(c.name)->fns : nullptr, c.natives);
}

bool define_all(KoJvmRec* vm, const AppClass* list, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (!define_class(vm, list[i]))
            return false;
    return true;
}

const AppClass* find_class(const char* name)
{
    for (const AppClass& c : kAppClasses)
        if (!std::strcmp(c.name, name))
            return &c;
    for (const AppClass& c : kUiClasses)
        if (!std::strcmp(c.name, name))
            return &c;
    return nullptr;
}

} // namespace

bool ko_jvm_bind_application_native(const char* class_name, int index, KoJvmNative fn)
{
    const AppClass* c = find_class(class_name);
    if (!c || index < 0 || index >= c->natives || !fn)
        return false;
    tables().find(class_name)->fns[index] = fn;
    return true;
}

bool ko_jvm_define_application_classes(KoJvmRec* vm)
{
    return define_all(vm, kAppClasses, sizeof kAppClasses / sizeof kAppClasses[0]);
}

bool ko_jvm_define_ui_classes(KoJvmRec* vm) { return define_all(vm, kUiClasses, sizeof kUiClasses / sizeof kUiClasses[0]); }

// One registration function per class, named after it.
#define KO_JVM_DEFINE_BUILT_IN(fn, name, natives)                                                                       \
    bool ko_jvm_built_in_##fn(KoJvmRec* vm) { return define_class(vm, *find_class(name)); }
KO_JVM_APP_CLASSES(KO_JVM_DEFINE_BUILT_IN)
KO_JVM_UI_CLASSES(KO_JVM_DEFINE_BUILT_IN)
#undef KO_JVM_DEFINE_BUILT_IN
