// The scheduler: the VM task gives turns to the runnable threads in round
// robin; exit waits for the runnable threads; timers of sleeps and timed waits.
#include "jvm_test_vm.h"
#include "tools/mapgen/classfile_writer.h"
#include "toolkit/jvm/kojvm_classfile.h"

#include <gtest/gtest.h>

using namespace kojvm_classfile;

namespace {

TEST(Scheduler, RunnableThreadsTakeTurns)
{
    TestVm t;
    ASSERT_TRUE(t.add_class_file("Spin", std::string(KOJVM_PROGRAMS) + "/Spin.class"));
    ASSERT_TRUE(t.add_class_file("Spin$1", std::string(KOJVM_PROGRAMS) + "/Spin$1.class"));
    ASSERT_TRUE(t.add_class_file("Spin$2", std::string(KOJVM_PROGRAMS) + "/Spin$2.class"));
    TestVm::Result r = t.call("Spin", "race", "()V");
    ASSERT_TRUE(r.done);
    ASSERT_EQ(r.exception, nullptr) << r.exception_class();
    KoJvmClassRec* spin = ko_jvm_find_class(t.vm, "Spin", 4);
    KoJvmObjectRec* log = ko_jvm_get_ref_field(t.vm, nullptr, ko_jvm_find_field(t.vm, spin, "log", "[I"));
    ASSERT_EQ(ko_jvm_array_length(t.vm, log), 2000);
    const std::int32_t* v = static_cast<const std::int32_t*>(ko_jvm_array_data(t.vm, log));
    // Runs of one thread's entries: the two alternate slice by slice. (The
    // shared index is not locked: a switch between its read and its write
    // loses entries, which stay 0 at the end.)
    std::vector<int> runs;
    for (int i = 0; i < 2000 && v[i] != 0; ++i) {
        if (i == 0 || v[i] != v[i - 1])
            runs.push_back(0);
        ++runs.back();
    }
    EXPECT_GT(runs.size(), 20u);
    for (std::size_t i = 1; i + 1 < runs.size(); ++i)
        EXPECT_LT(runs[i], 100) << "run " << i; // at most one slice of 100 instructions each
}

std::vector<std::string> g_events;

TEST(Scheduler, ExitWaitsForRunnableThreads)
{
    TestVm t;
    g_events.clear();
    // Without runnable threads the exit function runs at once.
    ko_jvm_exit(t.vm, [](void*) { g_events.push_back("exit"); }, nullptr);
    EXPECT_EQ(g_events, std::vector<std::string>{"exit"});
    // The scheduler has ended: a second request is answered at once too.
    ko_jvm_exit(t.vm, [](void*) { g_events.push_back("again"); }, nullptr);
    EXPECT_EQ(g_events, (std::vector<std::string>{"exit", "again"}));
}

TEST(Scheduler, ExitRequestedByANativeWaitsForTheThread)
{
    TestVm t;
    g_events.clear();
    KoJvmNative quit = [](KoJvmRec* vm, KoJvmClassRec*, KoJvmCat1ValueUnion*, KoJvmCat1ValueUnion*, KoJvmCompletion c,
                          KoJvmThread* th, void*) {
        ko_jvm_exit(vm, [](void*) { g_events.push_back("exit"); }, nullptr);
        g_events.push_back("native done");
        c(nullptr, nullptr, th);
    };
    ClassFileWriter w("Q");
    ClassFileMethod nat;
    nat.name = "quit";
    nat.desc = "()V";
    nat.access = 0x0109;
    w.add_method(nat);
    ClassFileMethod run;
    run.name = "run";
    run.desc = "()I";
    std::uint16_t q = w.method_ref("Q", "quit", "()V");
    // quit(); then 300 more instructions (several slices) before returning 5.
    run.code = {INVOKESTATIC, std::uint8_t(q >> 8), std::uint8_t(q), SIPUSH, 0, 150, ISTORE_0,
                IINC, 0, 0xFF, ILOAD_0, IFNE, 0xFF, 0xFC, ICONST_5, IRETURN};
    w.add_method(run);
    std::vector<std::uint8_t> bytes = w.bytes();
    KoJvmNative table[] = {quit};
    ASSERT_TRUE(ko_jvm_define_built_in_class(t.vm, 0, bytes.data(), bytes.size(), table, 1));
    TestVm::Result r;
    ko_jvm_invoke_static_async(
        t.thread, 0, "Q", 0, "run", 0, "()I", 0, nullptr,
        [](KoJvmCat1ValueUnion* v, KoJvmObjectRec* e, void*) {
            g_events.push_back(e ? "call failed" : "call done " + std::to_string(v[0].i));
        },
        &r);
    ko_jvm_run(t.vm);
    EXPECT_EQ(g_events, (std::vector<std::string>{"native done", "call done 5", "exit"}));
}

} // namespace
