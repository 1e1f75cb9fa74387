// Loading runs on the requesting thread as scheduler states: a class loader
// may answer later, and threads that need a class another thread is loading
// wait for it.
#include "tools/mapgen/classfile_writer.h"
#include "toolkit/javart/javart_natives.h"
#include "toolkit/jvm/kojvm_classfile.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace kojvm_classfile;

namespace {

// Built-in classes are answered at once; the test's classes only when the
// test delivers them, as a loader reading a card would.
class LateLoader {
public:
    LateLoader()
    {
        KoJvmParams p{};
        p.loader = &LateLoader::load;
        p.loader_data = this;
        p.heap_size = 4u << 20;
        p.stack_size = 64 * 1024;
        vm = ko_jvm_create(&p);
    }
    ~LateLoader() { ko_jvm_destroy(vm); }

    struct Pending {
        std::string name;
        KoJvmLoaderCompletion completion;
        void* data;
    };
    void deliver(std::size_t i)
    {
        Pending p = pending[i];
        pending.erase(pending.begin() + std::ptrdiff_t(i));
        auto it = classes.find(p.name);
        if (it == classes.end())
            p.completion(nullptr, 0, 0, p.data);
        else
            p.completion(it->second.data(), it->second.size(), 1, p.data);
    }

    KoJvmRec* vm = nullptr;
    std::map<std::string, std::vector<std::uint8_t>> classes;
    std::vector<Pending> pending;
    std::vector<std::string> asked;

private:
    static void load(const char* path, std::size_t length, KoJvmLoaderCompletion completion, void* data, void* self)
    {
        LateLoader* l = static_cast<LateLoader*>(self);
        std::string name(path, length - 6);
        for (int i = 0; i < ko_jvm_embedded_class_count; ++i)
            if (name == ko_jvm_embedded_classes[i].name) {
                completion(const_cast<unsigned char*>(ko_jvm_embedded_classes[i].bytes), ko_jvm_embedded_classes[i].length,
                           1, data);
                return;
            }
        l->asked.push_back(name);
        l->pending.push_back({name, completion, data});
    }
};

std::vector<std::uint8_t> returning(const std::string& name, const std::string& super, int value)
{
    ClassFileWriter w(name, super);
    ClassFileMethod m;
    m.name = "run";
    m.desc = "()I";
    m.code = {BIPUSH, std::uint8_t(value), IRETURN};
    w.add_method(m);
    return w.bytes();
}

struct Outcome {
    bool done = false;
    int value = 0;
    std::string error;
};

void finished(KoJvmCat1ValueUnion* v, KoJvmObjectRec* e, void* data)
{
    Outcome* o = static_cast<Outcome*>(data);
    o->done = true;
    if (e) {
        KoJvmSymbol* n = ko_jvm_class_name(ko_jvm_class(e));
        o->error.assign(ko_sym_bytes(n), ko_sym_len(n));
    } else {
        o->value = v[0].i;
    }
}

void call(KoJvmThread* t, const char* cls, Outcome* o)
{
    ko_jvm_invoke_static_async(t, 0, cls, 0, "run", 0, "()I", 0, nullptr, finished, o);
}

TEST(Loading, LoaderAnswersLaterForTheClassAndItsSuperclass)
{
    LateLoader l;
    ASSERT_TRUE(l.vm);
    l.classes["A"] = returning("A", "java/lang/Object", 1);
    l.classes["B"] = returning("B", "A", 2);
    KoJvmThread* t = ko_jvm_new_thread(l.vm, 0);
    Outcome o;
    call(t, "B", &o);
    EXPECT_FALSE(o.done);
    ASSERT_EQ(l.asked, std::vector<std::string>{"B"});
    l.deliver(0); // B arrives; its superclass is asked for next
    EXPECT_FALSE(o.done);
    ASSERT_EQ(l.asked, (std::vector<std::string>{"B", "A"}));
    l.deliver(0);
    EXPECT_TRUE(o.done);
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.value, 2);
}

TEST(Loading, SecondThreadWaitsForTheLoadInProgress)
{
    LateLoader l;
    l.classes["C"] = returning("C", "java/lang/Object", 3);
    l.classes["D"] = returning("D", "C", 4);
    KoJvmThread* first = ko_jvm_new_thread(l.vm, 0);
    KoJvmThread* second = ko_jvm_new_thread(l.vm, 0);
    Outcome a, b;
    call(first, "D", &a);
    ASSERT_EQ(l.asked.size(), 1u);
    l.deliver(0); // D bound while its superclass C is asked for
    call(second, "D", &b);
    EXPECT_FALSE(b.done);
    EXPECT_EQ(l.asked, (std::vector<std::string>{"D", "C"})); // D is not asked for twice
    l.deliver(0);
    EXPECT_TRUE(a.done && b.done);
    EXPECT_EQ(a.value, 4);
    EXPECT_EQ(b.value, 4);
}

TEST(Loading, FailureLeavesTheNameFreeAndWakesWaiters)
{
    LateLoader l;
    l.classes["E"] = returning("E", "Missing", 5);
    KoJvmThread* first = ko_jvm_new_thread(l.vm, 0);
    KoJvmThread* second = ko_jvm_new_thread(l.vm, 0);
    Outcome a, b;
    call(first, "E", &a);
    l.deliver(0); // E bound; Missing asked for
    call(second, "E", &b);
    l.deliver(0); // Missing is not there
    EXPECT_TRUE(a.done);
    EXPECT_EQ(a.error, "java/lang/NoClassDefFoundError");
    EXPECT_EQ(ko_jvm_find_class(l.vm, "E", 1), nullptr);
    // The waiter tries again itself, and fails the same way.
    while (!l.pending.empty())
        l.deliver(0);
    EXPECT_TRUE(b.done);
    EXPECT_EQ(b.error, "java/lang/NoClassDefFoundError");
}

TEST(Loading, CircleOfSuperclassesAnsweredLater)
{
    LateLoader l;
    l.classes["F"] = returning("F", "G", 6);
    l.classes["G"] = returning("G", "F", 7);
    KoJvmThread* t = ko_jvm_new_thread(l.vm, 0);
    Outcome o;
    call(t, "F", &o);
    while (!l.pending.empty())
        l.deliver(0);
    EXPECT_TRUE(o.done);
    EXPECT_EQ(o.error, "java/lang/ClassCircularityError");
    EXPECT_EQ(ko_jvm_find_class(l.vm, "F", 1), nullptr);
    EXPECT_EQ(ko_jvm_find_class(l.vm, "G", 1), nullptr);
}

} // namespace

namespace {

TEST(Loading, ForNameLoadsAndInitialisesOnTheCallingThread)
{
    LateLoader l;
    // H's initialiser sets v to 9.
    ClassFileWriter h("H");
    h.add_static_field("v", "I");
    ClassFileMethod clinit;
    clinit.name = "<clinit>";
    clinit.desc = "()V";
    clinit.access = 0x0008;
    std::uint16_t v = h.field_ref("H", "v", "I");
    clinit.code = {BIPUSH, 9, PUTSTATIC, std::uint8_t(v >> 8), std::uint8_t(v), RETURN};
    h.add_method(clinit);
    l.classes["H"] = h.bytes();
    // U.run: Class.forName("H"); return H.v. U.missing: Class.forName("Nowhere").
    ClassFileWriter u("U");
    std::uint16_t for_name = u.method_ref("java/lang/Class", "forName", "(Ljava/lang/String;)Ljava/lang/Class;");
    std::uint16_t hv = u.field_ref("H", "v", "I");
    for (auto [method, target] : {std::pair<const char*, const char*>{"run", "H"}, {"missing", "Nowhere"}}) {
        std::uint16_t name = u.string(target);
        ClassFileMethod m;
        m.name = method;
        m.desc = "()I";
        m.code = {LDC_W, std::uint8_t(name >> 8), std::uint8_t(name), INVOKESTATIC, std::uint8_t(for_name >> 8),
                  std::uint8_t(for_name), POP, GETSTATIC, std::uint8_t(hv >> 8), std::uint8_t(hv), IRETURN};
        u.add_method(m);
    }
    l.classes["U"] = u.bytes();
    KoJvmThread* t = ko_jvm_new_thread(l.vm, 0);
    Outcome o;
    call(t, "U", &o);
    while (!l.pending.empty())
        l.deliver(0);
    EXPECT_TRUE(o.done);
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.value, 9);
    EXPECT_EQ(l.asked, (std::vector<std::string>{"U", "H"}));

    Outcome missing;
    ko_jvm_invoke_static_async(t, 0, "U", 0, "missing", 0, "()I", 0, nullptr, finished, &missing);
    while (!l.pending.empty())
        l.deliver(0);
    EXPECT_TRUE(missing.done);
    EXPECT_EQ(missing.error, "java/lang/ClassNotFoundException");
}

} // namespace
