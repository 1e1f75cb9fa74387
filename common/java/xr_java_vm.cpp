#include "common/java/xr_java_vm.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/java/xr_java.h"
#include "common/java/xr_java_natives.h"
#include "common/java/xr_java_net.h"
#include "toolkit/javart/javart_app.h"
#include "toolkit/jvm/kojvm_zip.h"

namespace {

constexpr std::uint32_t kHeapBytes = 0x400000;
constexpr std::uint32_t kMainStack = 8096;
// Java runs at most this long before the main loop gets its turn.
constexpr std::int64_t kSliceUs = 10000;

std::vector<std::string> sorted_names(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.' || (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")))
                names.emplace_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Built-in classes that start-up has not defined come from the embedded
// set, everything else from the class path.
void loader(const char* path, std::size_t length, KoJvmLoaderCompletion completion, void* data, void* cp)
{
    std::string name(path, length);
    if (name.size() > 6)
        name.resize(name.size() - 6);
    for (int i = 0; i < ko_jvm_embedded_class_count; ++i)
        if (name == ko_jvm_embedded_classes[i].name) {
            completion(const_cast<unsigned char*>(ko_jvm_embedded_classes[i].bytes), ko_jvm_embedded_classes[i].length,
                       1, data);
            return;
        }
    ko_jvm_class_path_load(path, length, completion, data, cp);
}

[[noreturn]] void fail(const char* message)
{
    std::fputs(message, stderr);
    std::exit(1);
}

void main_done(KoJvmCat1ValueUnion*, KoJvmObjectRec* e, void* data)
{
    xr_java::log_exception(static_cast<KoJvmRec*>(data), e, "start (Navigator.main)");
}

// Runs Navigator.main once the thread has left the class load that asked
// for it.
void start_main(void* data)
{
    auto* java = static_cast<XrJava*>(data);
    KoJvmRec* vm = java->get_vm();
    static const char kString[] = "java/lang/String";
    KoJvmObjectRec* args = ko_jvm_alloc_object_array(vm, ko_jvm_find_class(vm, kString, sizeof kString - 1), 0);
    if (args == nullptr)
        fail("Could not create argument array\n");
    static const char kNavigator[] = "com/kestrovatech/Navigator";
    ko_jvm_invoke_static_async(java->get_main_thread(), 0, kNavigator, sizeof kNavigator - 1, "main", 4,
                               "([Ljava/lang/String;)V", 22, nullptr, &main_done, vm, args);
}

void string_loaded(KoJvmClassRec* string_class, KoJvmObjectRec*, void* data)
{
    auto* java = static_cast<XrJava*>(data);
    if (string_class == nullptr)
        fail("Could not resolve java.lang.String class\n");
    if (!ko_jvm_post(java->get_vm(), &start_main, java))
        fail("Could not create argument array\n");
}

void streams_ready(KoJvmCat1ValueUnion*, KoJvmObjectRec* e, void* data)
{
    auto* java = static_cast<XrJava*>(data);
    if (e != nullptr)
        xr_java::log_exception(java->get_vm(), e, "system streams");
    ko_jvm_load_class_async(java->get_main_thread(), "java/lang/String", 16, false, &string_loaded, java);
}

std::string g_class_path;

} // namespace

std::string xr_java_class_path(const std::string& share_dir, const std::string& card_root)
{
    std::string cp;
    std::string share = share_dir;
    if (!share.empty() && share.back() != '/')
        share += '/';
    for (const std::string& n : sorted_names(share))
        if (n.find(".jar") != std::string::npos || n.find(".zip") != std::string::npos)
            cp += share + n + ":";
    if (!card_root.empty()) {
        const std::string addons = card_root + "extensions/addons/";
        for (const std::string& n : sorted_names(addons))
            if (n.find(".jar") != std::string::npos)
                cp += addons + n + ":";
    }
    return cp;
}

bool xr_java_start(XrJava& java, const std::string& class_path)
{
    static bool bound = false;
    if (!bound) {
        xr_java_bind_natives(xr_java_navigator_natives());
        xr_java_bind_natives(xr_java_map_natives());
        bound = true;
    }
    g_class_path = class_path;
    KoJvmParams params{};
    params.options = 1;
    params.loader = loader;
    params.loader_data = g_class_path.data();
    params.heap_size = kHeapBytes;
    params.generations = 3;
    params.stack_size = 0;
    params.timer = &XrJava::timer_hook;
    params.user_data = &java;
    KoJvmRec* vm = ko_jvm_create(&params);
    if (vm == nullptr)
        ko_fatal("%s", "jvm");
    KoJvmThread* thread = ko_jvm_new_thread(vm, kMainStack);
    if (thread == nullptr)
        ko_fatal("%s", "thread");
    java.set_vm(vm, thread);
    java.start_time_slices(kSliceUs);
    if (!ko_jvm_define_system_classes(vm))
        fail("Could not initialize system classes\n");
    if (!ko_jvm_define_reflection_classes(vm))
        fail("Could not initialize reflection\n");
    if (!ko_jvm_define_stream_classes(vm) || !ko_jvm_start_finalizer(vm))
        fail("Could not initialize finalizer\n");
    if (!ko_jvm_define_application_classes(vm))
        fail("Could not initialize Kestrova classes\n");
    if (!ko_jvm_define_ui_classes(vm))
        fail("Could not initialize Kestrova UI classes\n");
    KoJvmObjectRec* tobj = ko_jvm_thread_object(thread);
    if (KoJvmFieldRec* f = tobj ? ko_jvm_find_field(vm, ko_jvm_class(tobj), "name", "Ljava/lang/String;") : nullptr)
        if (KoJvmObjectRec* name = ko_jvm_new_string_utf8(vm, "main", 4))
            ko_jvm_set_ref_field(vm, ko_jvm_thread_object(thread), f, name);
    ko_jvm_invoke_static_async(thread, 0, "org/kotools/kojvm/KoJvmSystemStreams", 36, "setSystemStreamsSync", 20, "()V",
                               3, nullptr, &streams_ready, &java);
    return true;
}

void xr_java_shutdown(XrJava& java)
{
    KoJvmRec* vm = java.get_vm();
    if (vm == nullptr)
        return;
    java.stop_time_slices();
    xr_java_release_map_listeners();
    xr_java_release_net();
    ko_handle_flush(ko_stdout());
    ko_handle_flush(ko_stderr());
    java.set_vm(nullptr, nullptr);
    ko_jvm_destroy(vm);
}
