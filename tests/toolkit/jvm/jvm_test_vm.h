// An in-process VM for tests: classes come from memory (added by the test),
// the built-in set, or the folders added; calls run to completion.
#pragma once

#include "toolkit/javart/javart_natives.h"

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

class TestVm {
public:
    explicit TestVm(std::uint32_t heap = 4u << 20)
    {
        KoJvmParams p{};
        p.loader = &TestVm::load;
        p.loader_data = this;
        p.heap_size = heap;
        p.stack_size = 64 * 1024;
        vm = ko_jvm_create(&p);
        if (vm)
            thread = ko_jvm_new_thread(vm, 0);
    }
    ~TestVm() { ko_jvm_destroy(vm); }
    TestVm(const TestVm&) = delete;
    TestVm& operator=(const TestVm&) = delete;

    void add_class(const std::string& name, std::vector<std::uint8_t> bytes) { classes[name] = std::move(bytes); }
    void add_folder(const std::string& dir) { folders.push_back(dir); }
    bool add_class_file(const std::string& name, const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return false;
        classes[name].assign(std::istreambuf_iterator<char>(in), {});
        return true;
    }

    struct Result {
        bool done = false;
        KoJvmCat1ValueUnion value[2]{};
        KoJvmObjectRec* exception = nullptr;
        std::string exception_class() const
        {
            if (!exception)
                return "";
            KoJvmSymbol* n = ko_jvm_class_name(ko_jvm_class(exception));
            return std::string(ko_sym_bytes(n), ko_sym_len(n));
        }
        std::int64_t as_long() const { return (std::int64_t(std::uint32_t(value[0].i)) << 32) | std::uint32_t(value[1].i); }
    };

    // Runs a static method with C arguments (see ko_jvm_invoke_static_async).
    template <typename... A>
    Result call(const char* cls, const char* name, const char* desc, A... args)
    {
        Result r;
        ko_jvm_invoke_static_async(thread, 0, cls, 0, name, 0, desc, 0, nullptr, &TestVm::done, &r, args...);
        ko_jvm_run(vm);
        return r;
    }

    KoJvmRec* vm = nullptr;
    KoJvmThread* thread = nullptr;
    std::map<std::string, std::vector<std::uint8_t>> classes;
    std::vector<std::string> folders;

private:
    static void done(KoJvmCat1ValueUnion* value, KoJvmObjectRec* e, void* data)
    {
        Result* r = static_cast<Result*>(data);
        r->done = true;
        r->exception = e;
        if (value && !e) {
            r->value[0] = value[0];
            r->value[1] = value[1];
        }
    }
    static void load(const char* path, std::size_t length, KoJvmLoaderCompletion completion, void* data, void* self)
    {
        TestVm* t = static_cast<TestVm*>(self);
        std::string name(path, length - 6);
        auto it = t->classes.find(name);
        if (it != t->classes.end()) {
            completion(it->second.data(), it->second.size(), 1, data);
            return;
        }
        for (int i = 0; i < ko_jvm_embedded_class_count; ++i)
            if (name == ko_jvm_embedded_classes[i].name) {
                completion(const_cast<unsigned char*>(ko_jvm_embedded_classes[i].bytes), ko_jvm_embedded_classes[i].length,
                           1, data);
                return;
            }
        for (const std::string& dir : t->folders)
            if (t->add_class_file(name, dir + "/" + name + ".class")) {
                std::vector<std::uint8_t>& bytes = t->classes[name];
                completion(bytes.data(), bytes.size(), 1, data);
                return;
            }
        completion(nullptr, 0, 0, data);
    }
};
