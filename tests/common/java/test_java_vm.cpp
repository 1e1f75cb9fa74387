// The VM in the application: the class path, the Java text numbers, the
// timer hook, string conversion and the time slices that keep the main loop
// responsive while an add-on spins.
#include <gtest/gtest.h>
#include <glib.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "common/java/xr_java.h"
#include "common/java/xr_java_keys.h"
#include "common/java/xr_java_vm.h"
#include "common/os/xr_eventhandler.h"
#include "common/os/xr_eventloop.h"
#include "support/xr_temp_root.h"
#include "toolkit/javart/javart_natives.h"
#include "toolkit/jvm/kojvm_zip.h"

namespace {

struct ClassPathCase {
    const char* what;
    std::vector<const char*> share;  // files of the share folder
    std::vector<const char*> addons; // files of the card's add-on folder
    bool card;
    const char* expected; // with @S for the share folder, @A for the add-on folder
};

const ClassPathCase kClassPaths[] = {
    {"share archives, then add-on jars only", {"b.zip", "a.jar", "notes.txt"}, {"Z.jar", "Y.zip", "X"}, true,
     "@S/a.jar:@S/b.zip:@A/Z.jar:"},
    {"names holding .jar anywhere count", {"old.jar.bak"}, {"p.jar.off"}, true, "@S/old.jar.bak:@A/p.jar.off:"},
    {"no card: the share folder alone", {"rt.jar"}, {}, false, "@S/rt.jar:"},
    {"nothing anywhere", {}, {}, true, ""},
};

} // namespace

TEST(JavaVm, ClassPathTakesTheShareArchivesAndTheCardsAddOnJars)
{
    for (const ClassPathCase& c : kClassPaths) {
        SCOPED_TRACE(c.what);
        XrTempRoot root;
        const std::string share = root.make_dirs("/usr/share/kestrova");
        const std::string card = root.make_dirs("/media/mmc2/map") + "/";
        const std::string addons = root.make_dirs("/media/mmc2/map/extensions/addons");
        for (const char* f : c.share)
            root.write_file(std::string("/usr/share/kestrova/") + f, "x");
        for (const char* f : c.addons)
            root.write_file(std::string("/media/mmc2/map/extensions/addons/") + f, "x");
        std::string expected = c.expected;
        for (std::size_t at; (at = expected.find("@S")) != std::string::npos;)
            expected.replace(at, 2, share);
        for (std::size_t at; (at = expected.find("@A")) != std::string::npos;)
            expected.replace(at, 2, addons);
        EXPECT_EQ(xr_java_class_path(share, c.card ? card : std::string()), expected);
    }
}

TEST(JavaVm, TextNumbersFollowTheMessageTable)
{
    const int cases[][2] = {{0, 0},     {10, 10},   {11, 13},  {12, 14},  {44, 46},  {45, 50},   {185, 190},
                            {186, 209}, {208, 238}, {231, 334}, {232, 336}, {731, 878}, {732, 24}, {733, 64},
                            {734, 80},  {735, 3905}, {-1, -1},  {736, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(xr_java_locale_message_id(c[0]), c[1]) << "number " << c[0];
}

namespace {

// An event loop that records the timeouts armed on it.
class RecordingLoop : public XrEventLoop {
public:
    bool add_timeout(int seconds, int milliseconds, XrEventHandler* handler, void* data) override
    {
        armed.push_back({seconds, milliseconds, handler, data});
        return accept;
    }
    struct Armed {
        int seconds, milliseconds;
        XrEventHandler* handler;
        void* data;
    };
    std::vector<Armed> armed;
    bool accept = true;
};

class LoopHost : public XrJavaHost {
public:
    explicit LoopHost(XrEventloopBase* loop) : loop(loop) {}
    XrEventloopBase* java_event_loop() override { return loop; }
    bool java_add_menu_item(const XrString&, std::unique_ptr<XrMenuHandler>&) override { return false; }
    void java_navigate_to(const XrPoint&, const XrString&) override {}
    void java_center_on(const XrPoint&, double) override {}
    void java_set_marker(const XrPoint*, const XrString&) override {}
    XrMapView* java_map_view() override { return nullptr; }
    XrMapWindowManager* java_window_manager() override { return nullptr; }
    XrMapWindow* java_map_window() override { return nullptr; }
    void java_redraw_map() override {}
    XrEventloopBase* loop;
};

std::vector<std::pair<int, void*>> g_fired;
void record_fire(int fired, void* data) { g_fired.emplace_back(fired, data); }

} // namespace

TEST(JavaVm, TimerHookSplitsTheDelayAndCallsBackOnce)
{
    RecordingLoop loop;
    LoopHost host(&loop);
    XrJava java(&host);
    java.start_time_slices(10000);
    g_fired.clear();
    const std::int64_t delays[] = {2500000, 999, 61000000};
    const int expected[][2] = {{2, 500}, {0, 0}, {61, 0}};
    for (std::int64_t d : delays)
        XrJava::timer_hook(d, record_fire, &loop);
    ASSERT_EQ(loop.armed.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(loop.armed[i].seconds, expected[i][0]);
        EXPECT_EQ(loop.armed[i].milliseconds, expected[i][1]);
    }
    EXPECT_TRUE(g_fired.empty());
    loop.armed[0].handler->execute(&loop, loop.armed[0].data);
    ASSERT_EQ(g_fired.size(), 1u);
    EXPECT_EQ(g_fired[0], std::make_pair(1, static_cast<void*>(&loop)));
    // A loop that refuses the timeout: the VM hears it at once.
    loop.accept = false;
    XrJava::timer_hook(1000, record_fire, nullptr);
    ASSERT_EQ(g_fired.size(), 2u);
    EXPECT_EQ(g_fired[1].first, 0);
    for (std::size_t i = 1; i < 3; ++i)
        loop.armed[i].handler->cancelled(&loop, loop.armed[i].data);
}

namespace {

// A VM of the system classes that loads classes from the test add-ons.
struct SliceVm {
    explicit SliceVm(XrJava& java)
    {
        // The add-on API's interfaces come from the shipped runtime jar.
        path = std::string(XR_TEST_ADDONS) + "/ZSpinner.jar:" + XrTempRoot::stage_dir() +
               "/usr/share/kestrova/kojvm-rt.jar";
        KoJvmParams p{};
        p.heap_size = 4u << 20;
        p.loader = [](const char* name, std::size_t n, KoJvmLoaderCompletion done, void* data, void* cp) {
            std::string cls(name, n);
            if (cls.size() > 6)
                cls.resize(cls.size() - 6);
            for (int i = 0; i < ko_jvm_embedded_class_count; ++i)
                if (cls == ko_jvm_embedded_classes[i].name) {
                    done(const_cast<unsigned char*>(ko_jvm_embedded_classes[i].bytes),
                         ko_jvm_embedded_classes[i].length, 1, data);
                    return;
                }
            ko_jvm_class_path_load(name, n, done, data, cp);
        };
        p.loader_data = path.data();
        p.timer = &XrJava::timer_hook;
        p.user_data = &java;
        vm = ko_jvm_create(&p);
        if (vm && ko_jvm_define_system_classes(vm) && ko_jvm_define_stream_classes(vm))
            thread = ko_jvm_new_thread(vm, 0);
        java.set_vm(vm, thread);
    }
    std::string path;
    KoJvmRec* vm = nullptr;
    KoJvmThread* thread = nullptr;
};

std::int64_t now_us()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Probe {
    std::int64_t due = 0;
    std::int64_t worst = 0;
    int ticks = 0;
    int redraws = 0;
};

} // namespace

TEST(JavaVm, ASpinningAddOnLeavesTheMainLoopResponsive)
{
    RecordingLoop loop;
    LoopHost host(&loop);
    XrJava java(&host);
    SliceVm s(java);
    ASSERT_NE(s.thread, nullptr);
    bool streams = false;
    ko_jvm_invoke_static_async(s.thread, 0, "org/kotools/kojvm/KoJvmSystemStreams", 36, "setSystemStreamsSync", 20,
                               "()V", 3, nullptr,
                               [](KoJvmCat1ValueUnion*, KoJvmObjectRec* e, void* d) { *static_cast<bool*>(d) = !e; },
                               &streams);
    ASSERT_TRUE(streams);
    java.start_time_slices(10000);
    bool finished = false;
    const std::int64_t started = now_us();
    ko_jvm_invoke_static_async(s.thread, 0, "ZSpinner", 8, "main", 4, "([Ljava/lang/String;)V", 22, nullptr,
                               [](KoJvmCat1ValueUnion*, KoJvmObjectRec*, void* d) { *static_cast<bool*>(d) = true; },
                               &finished, static_cast<KoJvmObjectRec*>(nullptr));
    // The call came back after one slice, not never.
    EXPECT_LT(now_us() - started, 500000);
    EXPECT_FALSE(finished);

    // A 20 ms timer and an idle at the redraw priority keep running on time
    // while Java spins.
    Probe probe;
    probe.due = now_us() + 20000;
    g_timeout_add(20, [](gpointer d) -> gboolean {
        auto* p = static_cast<Probe*>(d);
        const std::int64_t t = now_us();
        p->worst = std::max(p->worst, t - p->due);
        p->due = t + 20000;
        ++p->ticks;
        // What a map window's redraw waits for after each change.
        g_idle_add_full(G_PRIORITY_HIGH_IDLE + 20, [](gpointer q) -> gboolean {
            ++static_cast<Probe*>(q)->redraws;
            return G_SOURCE_REMOVE;
        }, p, nullptr);
        return G_SOURCE_CONTINUE;
    }, &probe);
    const std::int64_t end = now_us() + 1000000;
    while (now_us() < end)
        g_main_context_iteration(nullptr, TRUE);
    EXPECT_GT(probe.ticks, 25);
    EXPECT_GE(probe.redraws, probe.ticks - 1);
    EXPECT_LT(probe.worst, 100000) << "the main loop waited that long (us) for Java";

    // Java made progress meanwhile.
    KoJvmClassRec* c = ko_jvm_find_class(s.vm, "ZSpinner", 8);
    ASSERT_NE(c, nullptr);
    KoJvmFieldRec* f = ko_jvm_find_field(s.vm, c, "turns", "J");
    ASSERT_NE(f, nullptr);
    EXPECT_GT(ko_jvm_get_long_field(s.vm, nullptr, f), 10000);
    java.stop_time_slices();
    java.set_vm(nullptr, nullptr);
    ko_jvm_destroy(s.vm);
}

TEST(JavaVm, StringsConvertUnitByUnit)
{
    XrJava java(nullptr);
    KoJvmParams p{};
    p.heap_size = 2u << 20;
    p.user_data = &java;
    KoJvmRec* vm = ko_jvm_create(&p);
    ASSERT_NE(vm, nullptr);
    ASSERT_TRUE(ko_jvm_define_system_classes(vm));
    // "a" and U+1F600 as its surrogate pair: one code point, two units.
    KoJvmObjectRec* s = ko_jvm_new_string(vm, 3);
    ASSERT_NE(s, nullptr);
    const std::uint16_t units[] = {'a', 0xD83D, 0xDE00};
    std::memcpy(ko_jvm_string_chars(vm, s), units, sizeof units);
    XrString out;
    XrJava::unwrap_string(vm, s, out);
    ASSERT_EQ(out.length(), 3);
    EXPECT_EQ(out.c_str()[0], L'a');
    EXPECT_EQ(out.c_str()[1], 0xD83D);
    EXPECT_EQ(out.c_str()[2], 0xDE00);
    KoJvmObjectRec* back = XrJava::wrap_string(vm, out);
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(ko_jvm_string_length(vm, back), 3);
    EXPECT_EQ(std::memcmp(ko_jvm_string_chars(vm, back), ko_jvm_string_chars(vm, s), 6), 0);
    // An empty text is an empty Java string, and back.
    KoJvmObjectRec* empty = XrJava::wrap_string(vm, XrString());
    ASSERT_NE(empty, nullptr);
    XrJava::unwrap_string(vm, empty, out);
    EXPECT_EQ(out.length(), 0);
    ko_jvm_destroy(vm);
}
