// A VM for the binding tests: the built-in classes with the dialog and
// network natives bound, the runtime jar's classes and the test add-ons
// from their class folders. Calls start on a thread of their own and may end
// later (natives that wait for the user or the network).
#pragma once

#include "common/java/xr_java_dialogs.h"
#include "common/java/xr_java_net.h"
#include "toolkit/javart/javart_app.h"
#include "toolkit/javart/javart_natives.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

class AddonVm {
public:
    explicit AddonVm(std::uint32_t heap = 8u << 20)
    {
        KoJvmParams p{};
        p.loader = &AddonVm::load;
        p.loader_data = this;
        p.heap_size = heap;
        p.stack_size = 64 * 1024;
        vm = ko_jvm_create(&p);
        ok = vm && ko_jvm_define_system_classes(vm) && ko_jvm_define_reflection_classes(vm) &&
             ko_jvm_define_stream_classes(vm) && ko_jvm_define_application_classes(vm) &&
             ko_jvm_define_ui_classes(vm) && ko_jvm_start_finalizer(vm);
    }
    ~AddonVm()
    {
        xr_java_release_net();
        ko_jvm_destroy(vm);
    }
    AddonVm(const AddonVm&) = delete;
    AddonVm& operator=(const AddonVm&) = delete;

    struct Call {
        bool done = false;
        KoJvmCat1ValueUnion value[2]{};
        KoJvmObjectRec* exception = nullptr;
        KoJvmRec* vm = nullptr;
        std::string exception_class() const
        {
            if (!exception)
                return "";
            KoJvmSymbol* n = ko_jvm_class_name(ko_jvm_class(exception));
            return std::string(ko_sym_bytes(n), ko_sym_len(n));
        }
        std::string message() const
        {
            char* m = exception ? ko_jvm_exception_message(vm, exception) : nullptr;
            std::string s = m ? m : "";
            ko_jvm_free_utf8(m);
            return s;
        }
        // The result as a Java string's text ("<null>" for null).
        std::string text() const
        {
            KoJvmObjectRec* s = ko_obj(value[0].ref);
            if (!s)
                return "<null>";
            std::size_t n = 0;
            char* u = ko_jvm_string_to_utf8(vm, s, &n);
            std::string out(u, n);
            ko_jvm_free_utf8(u);
            return out;
        }
    };

    // Starts a static method (C arguments as ko_jvm_invoke_static_async
    // takes them) on a new thread and runs the VM until nothing is runnable.
    template <typename... A>
    void start(Call& c, const char* cls, const char* name, const char* desc, A... args)
    {
        c.vm = vm;
        KoJvmThread* t = ko_jvm_new_thread(vm, 0);
        ASSERT_NE(t, nullptr);
        ko_jvm_invoke_static_async(t, 0, cls, 0, name, 0, desc, 0, nullptr, &AddonVm::done, &c, args...);
        ko_jvm_run(vm);
    }
    template <typename... A>
    Call call(const char* cls, const char* name, const char* desc, A... args)
    {
        Call c;
        start(c, cls, name, desc, args...);
        return c;
    }
    // Collects and runs the finalisers of what became unreachable.
    void collect()
    {
        for (int i = 0; i < 3; ++i) {
            call("java/lang/System", "gc", "()V");
            call("java/lang/System", "runFinalization", "()V");
        }
    }
    KoJvmObjectRec* string(const std::string& s) { return ko_jvm_new_string_utf8(vm, s.data(), s.size()); }

    KoJvmRec* vm = nullptr;
    bool ok = false;

private:
    static void done(KoJvmCat1ValueUnion* value, KoJvmObjectRec* e, void* data)
    {
        Call* c = static_cast<Call*>(data);
        c->done = true;
        c->exception = e;
        if (value && !e) {
            c->value[0] = value[0];
            c->value[1] = value[1];
        }
    }
    static void load(const char* path, std::size_t length, KoJvmLoaderCompletion completion, void* data, void* self)
    {
        AddonVm* a = static_cast<AddonVm*>(self);
        std::string name(path, length - 6);
        for (int i = 0; i < ko_jvm_embedded_class_count; ++i)
            if (name == ko_jvm_embedded_classes[i].name)
                return completion(const_cast<unsigned char*>(ko_jvm_embedded_classes[i].bytes),
                                  ko_jvm_embedded_classes[i].length, 1, data);
        // A test add-on's classes lie in the folder of its main class (the
        // name before any '$'); the runtime jar's classes in their own.
        const std::string outer = name.substr(0, name.find('$'));
        for (const std::string& dir : {std::string(XR_TEST_ADDONS) + "/" + outer, std::string(XR_JAVA_JAR_CLASSES)}) {
            std::ifstream in(dir + "/" + name + ".class", std::ios::binary);
            if (!in)
                continue;
            std::vector<std::uint8_t>& bytes = a->m_classes[name];
            bytes.assign(std::istreambuf_iterator<char>(in), {});
            return completion(bytes.data(), bytes.size(), 1, data);
        }
        completion(nullptr, 0, 0, data);
    }
    std::map<std::string, std::vector<std::uint8_t>> m_classes;
};
