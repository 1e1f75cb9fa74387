// The generational collector on a small heap: promotion, the write barrier's
// remembered sets (and their overflow), a full next generation, stable
// identity hashes. The test build verifies the whole heap after every
// collection, so a damaged heap ends the test with a fatal error.
#include "jvm_test_vm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Three generations and a to-space of 64 KiB each.
const std::uint32_t kHeap = 4 * 65536;

struct GcTest : ::testing::Test {
    TestVm t{kHeap};
    KoJvmRec* vm = t.vm;
    KoJvmClassRec* object_class = nullptr;

    void SetUp() override
    {
        ASSERT_NE(vm, nullptr);
        object_class = ko_jvm_find_class(vm, "java/lang/Object", 16);
        ASSERT_NE(object_class, nullptr);
    }
    KoJvmObjectRec* string(const std::string& s) { return ko_jvm_new_string_utf8(vm, s.data(), s.size()); }
    std::string text(KoJvmObjectRec* s)
    {
        char* u = ko_jvm_string_to_utf8(vm, s, nullptr);
        std::string r = u ? u : "";
        ko_jvm_free_utf8(u);
        return r;
    }
    // An Object[] of n slots, promoted into generation 1 by one collection.
    KoJvmObjectRec* old_array(std::int32_t n)
    {
        KoJvmObjectRec* a = ko_jvm_alloc_object_array(vm, object_class, n);
        int mark = ko_jvm_push_handle(vm, &a);
        ko_jvm_collect(vm, 0, 0);
        ko_jvm_pop_handles(vm, mark);
        return a;
    }
};

TEST_F(GcTest, ObjectReachableOnlyFromAnOlderGenerationSurvives)
{
    KoJvmObjectRec* holder = old_array(2);
    int mark = ko_jvm_push_handle(vm, &holder);
    ASSERT_EQ(holder->generation, 1);
    std::int32_t hash = ko_jvm_identity_hash(vm, holder);
    ko_jvm_set_array_ref(vm, holder, 0, string("only from the old array"));
    EXPECT_EQ(holder->remembered & 1, 1) << "the barrier records the old holder";
    std::uint32_t before = ko_jvm_gc_count(vm);
    for (int i = 0; i < 2000; ++i) { // garbage, collected at safe points as the interpreter makes them
        ko_jvm_safepoint(vm, 128);
        ASSERT_NE(ko_jvm_new_char_array(vm, 50), nullptr);
    }
    EXPECT_GT(ko_jvm_gc_count(vm), before + 2);
    ko_jvm_collect(vm, 0, 0);
    KoJvmObjectRec* young = ko_jvm_get_array_ref(vm, holder, 0);
    ASSERT_NE(young, nullptr);
    EXPECT_EQ(young->generation, 1);
    EXPECT_EQ(text(young), "only from the old array");
    // Moving the holder keeps its identity hash.
    ko_jvm_collect(vm, 1, 0);
    EXPECT_EQ(holder->generation, 2);
    EXPECT_EQ(ko_jvm_identity_hash(vm, holder), hash);
    EXPECT_EQ(text(ko_jvm_get_array_ref(vm, holder, 0)), "only from the old array");
    ko_jvm_pop_handles(vm, mark);
}

TEST_F(GcTest, FullRememberedSetFallsBackToScanningOlderObjects)
{
    const int kHolders = 40;
    KoJvmObjectRec* holders = old_array(kHolders);
    int mark = ko_jvm_push_handle(vm, &holders);
    for (int i = 0; i < kHolders; ++i) {
        KoJvmObjectRec* h = ko_jvm_alloc_object_array(vm, object_class, 1);
        ASSERT_NE(h, nullptr);
        ko_jvm_set_array_ref(vm, holders, i, h);
    }
    ko_jvm_collect(vm, 0, 0); // the holders move to generation 1
    KoJvmObjectRec* targets = ko_jvm_alloc_object_array(vm, object_class, kHolders);
    ko_jvm_push_handle(vm, &targets);
    for (int i = 0; i < kHolders; ++i)
        ko_jvm_set_array_ref(vm, targets, i, string("target " + std::to_string(i)));
    // Fill generation 0 to the last byte: the set below its top cannot grow.
    KoJvmGeneration& young = vm->gens[0];
    while (young.free >= 1024)
        ASSERT_NE(ko_jvm_new_byte_array(vm, 1000), nullptr);
    ASSERT_NE(ko_jvm_new_byte_array(vm, static_cast<std::int32_t>(young.free) - 28), nullptr);
    ASSERT_EQ(young.free, 0u);
    for (int i = 0; i < kHolders; ++i) {
        KoJvmObjectRec* h = ko_jvm_get_array_ref(vm, holders, i);
        ASSERT_EQ(h->generation, 1);
        ko_jvm_set_array_ref(vm, h, 0, ko_jvm_get_array_ref(vm, targets, i));
    }
    EXPECT_TRUE(young.overflow);
    EXPECT_TRUE(vm->gc_wanted) << "the next safe point collects";
    ko_jvm_pop_handles(vm, mark + 1); // only the old holders keep the targets now
    ko_jvm_collect(vm, 0, 0);
    EXPECT_FALSE(vm->gens[0].overflow);
    for (int i = 0; i < kHolders; ++i) {
        KoJvmObjectRec* h = ko_jvm_get_array_ref(vm, holders, i);
        EXPECT_EQ(text(ko_jvm_get_array_ref(vm, h, 0)), "target " + std::to_string(i));
    }
    ko_jvm_pop_handles(vm, mark);
}

TEST_F(GcTest, FullNextGenerationKeepsSurvivorsAndIsCollectedNext)
{
    // Generation 1 filled with live arrays, each promoted by a collection.
    KoJvmObjectRec* keep = old_array(64);
    int mark = ko_jvm_push_handle(vm, &keep);
    for (int i = 0; i < 64 && vm->gens[1].free >= 2500; ++i) {
        ko_jvm_set_array_ref(vm, keep, i, ko_jvm_new_char_array(vm, 1000));
        ko_jvm_collect(vm, 0, 0);
    }
    ASSERT_LT(vm->gens[1].free, 2500u);
    std::uint32_t gen1_before = vm->gens[1].collections;
    KoJvmObjectRec* survivor = ko_jvm_new_char_array(vm, 1400);
    ko_jvm_push_handle(vm, &survivor);
    ko_jvm_collect(vm, 0, 0);
    EXPECT_EQ(survivor->generation, 0) << "no room in generation 1";
    EXPECT_EQ(vm->gens[1].collections, gen1_before + 1);
    EXPECT_EQ(ko_jvm_array_length(vm, survivor), 1400);
    for (int i = 0; i < 64; ++i) {
        if (KoJvmObjectRec* a = ko_jvm_get_array_ref(vm, keep, i)) {
            EXPECT_EQ(a->generation, 2) << "generation 1's objects went on to generation 2";
        }
    }
    ko_jvm_pop_handles(vm, mark);
}

TEST_F(GcTest, IdentityHashesAreDistinctAndStable)
{
    KoJvmObjectRec* a = ko_jvm_alloc_object_array(vm, object_class, 100);
    int mark = ko_jvm_push_handle(vm, &a);
    std::vector<std::int32_t> hashes;
    for (int i = 0; i < 100; ++i) {
        KoJvmObjectRec* o = ko_jvm_new_object(vm, object_class);
        ko_jvm_set_array_ref(vm, a, i, o);
        hashes.push_back(ko_jvm_identity_hash(vm, o));
        EXPECT_GT(hashes.back(), 0);
    }
    std::vector<std::int32_t> sorted = hashes;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (std::uint32_t g = 0; g < 3; ++g)
        ko_jvm_collect(vm, g, 0);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(ko_jvm_identity_hash(vm, ko_jvm_get_array_ref(vm, a, i)), hashes[std::size_t(i)]);
    ko_jvm_pop_handles(vm, mark);
}

TEST_F(GcTest, CollectionRequestedWhileOneRunsDoesNothing)
{
    vm->gc_running = true;
    std::uint32_t before = ko_jvm_gc_count(vm);
    ko_jvm_collect(vm, 0, 0);
    EXPECT_EQ(ko_jvm_gc_count(vm), before);
    vm->gc_running = false;
    ko_jvm_collect(vm, 0, 0);
    EXPECT_EQ(ko_jvm_gc_count(vm), before + 1);
}

TEST_F(GcTest, AllocationOutsideASafePointTakesOlderRoomAndAsksForACollection)
{
    KoJvmGeneration& young = vm->gens[0];
    while (young.free >= 256)
        ASSERT_NE(ko_jvm_new_char_array(vm, 100), nullptr);
    std::uint32_t before = ko_jvm_gc_count(vm);
    KoJvmObjectRec* o = ko_jvm_new_char_array(vm, 100);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->generation, 1) << "no object moves outside a safe point";
    EXPECT_EQ(ko_jvm_gc_count(vm), before);
    EXPECT_TRUE(vm->gc_wanted);
    ko_jvm_safepoint(vm, 0);
    EXPECT_EQ(ko_jvm_gc_count(vm), before + 1);
    EXPECT_FALSE(vm->gc_wanted);
}

} // namespace
