#include "common/base/xr_memorynotifier.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

struct Cache : XrMemoryNotifierClient {
    Cache(std::string name, Log& log) : name(std::move(name)), log(log) {}
    void free_memory() override
    {
        log.push_back(name);
        if (on_free)
            on_free();
    }
    std::string name;
    Log& log;
    std::function<void()> on_free;
};

// Installs a notifier as the application's for the test.
struct NotifierFixture : ::testing::Test {
    NotifierFixture() { XrMemoryNotifier::set_instance(&notifier); }
    ~NotifierFixture() override { XrMemoryNotifier::set_instance(nullptr); }
    XrMemoryNotifier notifier;
    Log log;
};

TEST(MemoryNotifier, ClientBeforeTheNotifierIsNotRegistered)
{
    ASSERT_EQ(XrMemoryNotifier::get_instance(), nullptr);
    Log log;
    Cache c("c", log);
    EXPECT_FALSE(c.register_client());
    EXPECT_EQ(c.get_notifier(), nullptr);
}

TEST_F(NotifierFixture, ClientsAreCalledInRegistrationOrder)
{
    auto a = std::make_unique<Cache>("a", log);
    auto b = std::make_unique<Cache>("b", log);
    auto c = std::make_unique<Cache>("c", log);
    for (Cache* x : {a.get(), b.get(), c.get()}) {
        EXPECT_TRUE(x->register_client());
        EXPECT_EQ(x->get_notifier(), &notifier);
    }
    notifier.notify_clients();
    EXPECT_EQ(log, (Log{"a", "b", "c"}));

    // Destroying the second client takes it off the list.
    b.reset();
    log.clear();
    notifier.notify_clients();
    EXPECT_EQ(log, (Log{"a", "c"}));
    EXPECT_EQ(notifier.get_client_count(), 2);
}

TEST_F(NotifierFixture, DestroyingAnUnregisteredClientLeavesTheNotifierAlone)
{
    Cache a("a", log);
    a.register_client();
    { Cache loose("loose", log); }
    EXPECT_EQ(notifier.get_client_count(), 1);
    notifier.notify_clients();
    EXPECT_EQ(log, (Log{"a"}));
}

TEST_F(NotifierFixture, RemoveClientAndDoubleRegistration)
{
    Cache a("a", log), b("b", log);
    notifier.add_client(&a);
    notifier.add_client(&a); // already registered here: not listed twice
    notifier.add_client(&b);
    EXPECT_EQ(notifier.get_client_count(), 2);
    notifier.remove_client(&a);
    EXPECT_EQ(a.get_notifier(), nullptr);
    notifier.notify_clients();
    EXPECT_EQ(log, (Log{"b"}));

    // A client moving to another notifier leaves the first one.
    XrMemoryNotifier other;
    other.add_client(&b);
    EXPECT_EQ(b.get_notifier(), &other);
    EXPECT_EQ(notifier.get_client_count(), 0);
    EXPECT_EQ(other.get_client_count(), 1);
}

TEST_F(NotifierFixture, ClientDestroyedDuringNotificationIsSkipped)
{
    auto a = std::make_unique<Cache>("a", log);
    auto b = std::make_unique<Cache>("b", log);
    auto c = std::make_unique<Cache>("c", log);
    a->register_client();
    b->register_client();
    c->register_client();
    // a drops b, as an owner freeing a cache object would.
    bool dropped = false;
    a->on_free = [&] {
        if (!dropped) {
            dropped = true;
            b.reset();
        }
    };
    notifier.notify_clients();
    EXPECT_EQ(log, (Log{"a", "c"}));
    EXPECT_EQ(notifier.get_client_count(), 2);
}

TEST(MemoryNotifier, ClientOutlivingItsNotifierIsDetached)
{
    Log log;
    Cache c("c", log);
    {
        XrMemoryNotifier n;
        XrMemoryNotifier::set_instance(&n);
        c.register_client();
    }
    EXPECT_EQ(c.get_notifier(), nullptr);
    EXPECT_EQ(XrMemoryNotifier::get_instance(), nullptr);
}

TEST(MemoryNotifier, LowMemoryCallback)
{
    EXPECT_EQ(call_low_memory_callback(0), 0) << "nothing registered";
    struct App {
        std::vector<int> levels;
    } app;
    set_low_memory_callback(
        [](void* data, int level) {
            static_cast<App*>(data)->levels.push_back(level);
            return level == 0 ? 1 : 0;
        },
        &app);
    EXPECT_EQ(call_low_memory_callback(0), 1);
    EXPECT_EQ(call_low_memory_callback(1), 0);
    EXPECT_EQ(app.levels, (std::vector<int>{0, 1}));
    set_low_memory_callback(nullptr, nullptr);
}

} // namespace
