// kojvm -cp DIR|JAR[:...] Main [args]: runs a main class on the embedded VM.
#include "toolkit/javart/javart_app.h"
#include "toolkit/javart/javart_natives.h"
#include "toolkit/jvm/kojvm_zip.h"

#include "lib/io/kofs.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Timer {
    std::int64_t due_us;
    KoJvmTimerFn fn;
    void* data;
};
std::vector<Timer> g_timers;

void add_timer(std::int64_t delay_us, KoJvmTimerFn fn, void* data)
{
    g_timers.push_back({ko_time_now() + delay_us, fn, data});
}

// Built-in classes that start-up leaves undefined come from the embedded set,
// everything else from the class path.
void loader(const char* path, std::size_t length, KoJvmLoaderCompletion completion, void* data, void* cp)
{
    std::string name(path, length);
    if (name.size() > 6)
        name.resize(name.size() - 6);
    for (int i = 0; i < ko_jvm_embedded_class_count; ++i) {
        if (name == ko_jvm_embedded_classes[i].name) {
            completion(const_cast<unsigned char*>(ko_jvm_embedded_classes[i].bytes), ko_jvm_embedded_classes[i].length, 1,
                       data);
            return;
        }
    }
    ko_jvm_class_path_load(path, length, completion, data, cp);
}

struct MainState {
    bool done;
    int status;
};

void streams_done(KoJvmCat1ValueUnion*, KoJvmObjectRec* e, void* data)
{
    static_cast<MainState*>(data)->status = e ? 1 : 0;
    static_cast<MainState*>(data)->done = true;
}

void print_exception(KoJvmRec* vm, KoJvmObjectRec* e)
{
    KoJvmSymbol* n = ko_jvm_class_name(ko_jvm_class(e));
    std::string name(ko_sym_bytes(n), ko_sym_len(n));
    for (char& c : name)
        if (c == '/')
            c = '.';
    char* msg = ko_jvm_exception_message(vm, e);
    std::fprintf(stderr, "Exception in thread \"main\" %s%s%s\n", name.c_str(), msg ? ": " : "", msg ? msg : "");
    ko_jvm_free_utf8(msg);
}

KoJvmRec* g_vm;
void main_done(KoJvmCat1ValueUnion*, KoJvmObjectRec* e, void* data)
{
    MainState* s = static_cast<MainState*>(data);
    s->done = true;
    s->status = 0;
    if (e) {
        KoHandle* out = ko_stdout();
        ko_handle_flush(out);
        print_exception(g_vm, e);
        s->status = 1;
    }
}

void run_until(KoJvmRec* vm, MainState* state, bool all_threads)
{
    for (;;) {
        ko_jvm_run(vm);
        if (state->done && (!all_threads || ko_jvm_live_threads(vm) == 0))
            return;
        if (g_timers.empty())
            return; // nothing can wake a thread any more
        std::size_t first = 0;
        for (std::size_t i = 1; i < g_timers.size(); ++i)
            if (g_timers[i].due_us < g_timers[first].due_us)
                first = i;
        std::int64_t wait = g_timers[first].due_us - ko_time_now();
        if (wait > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(wait));
        Timer t = g_timers[first];
        g_timers.erase(g_timers.begin() + std::ptrdiff_t(first));
        t.fn(1, t.data);
    }
}

int usage()
{
    std::fprintf(stderr, "usage: kojvm [-cp CLASSPATH] [-Xmx<MB>m|-Xmx<KB>k] [-Xgc:stress] [-Xgc:report] [-Xgc:pauses] [-verbose] "
                         "MainClass [args...]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string cp = ".";
    const char* env = std::getenv("KOJVM_CLASSPATH");
    std::uint32_t heap_bytes = 1024u << 20;
    std::uint32_t options = 0;
    bool pauses = false;
    bool verbose = false;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        std::string a = argv[i];
        if ((a == "-cp" || a == "-classpath") && i + 1 < argc) {
            cp = argv[++i];
        } else if (a.rfind("-Xmx", 0) == 0) {
            long n = std::atol(a.c_str() + 4);
            bool kb = a.back() == 'k';
            if (n < 1 || n > (kb ? 3000L * 1024 : 3000L) || (kb && n < 64))
                return usage();
            heap_bytes = static_cast<std::uint32_t>(kb ? n << 10 : n << 20);
        } else if (a == "-Xgc:stress") {
            options |= 0x10000; // collect at every safe point that allocates
        } else if (a == "-Xgc:pauses") {
            pauses = true;
        } else if (a == "-Xgc:report") {
            options |= 0x100;
        } else if (a == "-verbose") {
            verbose = true;
        } else {
            return usage();
        }
    }
    if (i >= argc)
        return usage();
    if (env && *env)
        cp += std::string(":") + env;
#ifdef KOJVM_RT_JAR
    cp += ":" KOJVM_RT_JAR;
#endif
    std::string main_class = argv[i++];
    for (char& c : main_class)
        if (c == '.')
            c = '/';

    KoJvmParams params{};
    params.loader = verbose ? [](const char* p, std::size_t n, KoJvmLoaderCompletion c, void* d, void* x) {
        ko_jvm_class_path_load_verbose(p, n, c, d, x);
    } : loader;
    params.loader_data = const_cast<char*>(cp.c_str());
    // Three generations and a to-space share the heap; generation 0 takes a quarter.
    params.heap_size = heap_bytes;
    params.options = options;
    params.stack_size = 256 * 1024;
    params.timer = add_timer;
    KoJvmRec* vm = ko_jvm_create(&params);
    if (!vm || !ko_jvm_define_system_classes(vm) || !ko_jvm_define_reflection_classes(vm) ||
        !ko_jvm_define_stream_classes(vm) || !ko_jvm_define_application_classes(vm) || !ko_jvm_define_ui_classes(vm)) {
        std::fprintf(stderr, "kojvm: cannot start the virtual machine\n");
        return 1;
    }
    g_vm = vm;
    if (pauses)
        ko_jvm_record_pauses(vm);
    KoJvmThread* t = ko_jvm_new_thread(vm, 0);
    if (!t) {
        std::fprintf(stderr, "kojvm: cannot create the main thread\n");
        return 1;
    }
    KoJvmObjectRec* tobj = ko_jvm_thread_object(t);
    if (KoJvmFieldRec* f = ko_jvm_find_field(vm, ko_jvm_class(tobj), "name", "Ljava/lang/String;"))
        ko_jvm_set_ref_field(vm, tobj, f, ko_jvm_new_string_utf8(vm, "main", 4));
    MainState streams{false, 0};
    ko_jvm_invoke_static_async(t, 0, "org/kotools/kojvm/KoJvmSystemStreams", 0, "setSystemStreamsSync", 0, "()V", 0,
                               nullptr, streams_done, &streams);
    run_until(vm, &streams, false);
    if (!streams.done || streams.status) {
        std::fprintf(stderr, "kojvm: cannot set up the system streams\n");
        return 1;
    }
    if (!ko_jvm_start_finalizer(vm)) {
        std::fprintf(stderr, "kojvm: cannot start the finaliser thread\n");
        return 1;
    }
    KoJvmClassRec* string_class = ko_jvm_find_class(vm, "java/lang/String", 16);
    KoJvmObjectRec* jargs = ko_jvm_alloc_object_array(vm, string_class, argc - i);
    if (!jargs) {
        std::fprintf(stderr, "kojvm: out of memory\n");
        return 1;
    }
    for (int k = 0; i + k < argc; ++k)
        ko_jvm_set_array_ref(vm, jargs, k, ko_jvm_new_string_utf8(vm, argv[i + k], std::strlen(argv[i + k])));
    MainState state{false, 0};
    ko_jvm_invoke_static_async(t, 0, main_class.c_str(), 0, "main", 0, "([Ljava/lang/String;)V", 0, nullptr, main_done,
                               &state, jargs);
    run_until(vm, &state, true);
    ko_handle_flush(ko_stdout());
    ko_handle_flush(ko_stderr());
    int status = state.done ? state.status : 1;
    if (!state.done)
        std::fprintf(stderr, "kojvm: the main thread did not finish (deadlock)\n");
    if (pauses) {
        std::uint32_t n, max_us, p99_us;
        ko_jvm_pause_summary(vm, &n, &max_us, &p99_us);
        std::fprintf(stderr, "kojvm: %u collections, pause max %u us, p99 %u us\n", n, max_us, p99_us);
    }
    ko_jvm_destroy(vm);
    return status;
}
