#include "common/base/xr_singleton.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Service : XrSingleton {
    int id = 0;
};

TEST(SingletonDeathTest, LookupBeforeAnyRegistrationIsNull)
{
    // A fresh process: nothing was ever registered there.
    EXPECT_EXIT(
        {
            const bool ok = XrSingleton::get_instance(XrString(L"XrMapProvider")) == nullptr;
            XrSingleton::set_instance(XrString(L"XrMapProvider"), nullptr); // no registry: nothing to do
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(Singleton, RegisterLookUpUnregister)
{
    Service a, b;
    XrSingleton::set_instance(L"RegA", &a);
    XrSingleton::set_instance(L"RegB", &b);
    EXPECT_EQ(XrSingleton::get_instance(L"RegA"), &a);
    EXPECT_EQ(XrSingleton::get_instance(L"RegB"), &b);
    EXPECT_EQ(XrSingleton::get_instance(L"RegC"), nullptr);
    EXPECT_EQ(XrSingleton::get_instance(L"rega"), nullptr) << "names are case-sensitive";

    XrSingleton::set_instance(L"RegA", nullptr);
    EXPECT_EQ(XrSingleton::get_instance(L"RegA"), nullptr);
    EXPECT_EQ(XrSingleton::get_instance(L"RegB"), &b);

    // Registering the name again after unregistering it succeeds.
    XrSingleton::set_instance(L"RegA", &b);
    EXPECT_EQ(XrSingleton::get_instance(L"RegA"), &b);
    XrSingleton::set_instance(L"RegA", nullptr);
    XrSingleton::set_instance(L"RegB", nullptr);
}

TEST(Singleton, UnregisteringAnUnknownNameDoesNothing)
{
    Service a;
    XrSingleton::set_instance(L"Known", &a);
    XrSingleton::set_instance(L"NeverRegistered", nullptr);
    EXPECT_EQ(XrSingleton::get_instance(L"Known"), &a);
    XrSingleton::set_instance(L"Known", nullptr);
}

TEST(Singleton, ManyNamesSurviveRegistryGrowth)
{
    // The registry starts with 17 slots; 60 names make it grow twice.
    std::vector<Service> services(60);
    for (int i = 0; i < 60; ++i) {
        services[i].id = i;
        XrSingleton::set_instance(XrString(("Service" + std::to_string(i)).c_str()), &services[i]);
    }
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(XrSingleton::get_instance(XrString(("Service" + std::to_string(i)).c_str())), &services[i]);
    for (int i = 0; i < 60; i += 2)
        XrSingleton::set_instance(XrString(("Service" + std::to_string(i)).c_str()), nullptr);
    for (int i = 0; i < 60; ++i) {
        void* expected = (i % 2 == 0) ? nullptr : &services[i];
        EXPECT_EQ(XrSingleton::get_instance(XrString(("Service" + std::to_string(i)).c_str())), expected) << i;
    }
    for (int i = 1; i < 60; i += 2)
        XrSingleton::set_instance(XrString(("Service" + std::to_string(i)).c_str()), nullptr);
}

TEST(SingletonDeathTest, SecondRegistrationOfANameIsFatal)
{
    Service a, b;
    XrSingleton::set_instance(L"Twice", &a);
    EXPECT_DEATH(XrSingleton::set_instance(L"Twice", &b),
                 "static void XrSingleton::set_instance\\(const XrString ?&, void ?\\*\\): Assertion "
                 "`l_singletons->num_items_for_key\\( name \\) == 0' failed");
    EXPECT_EQ(XrSingleton::get_instance(L"Twice"), &a);
    XrSingleton::set_instance(L"Twice", nullptr);
}

// Observables ---------------------------------------------------------------

struct Listener {
    virtual ~Listener() = default;
    virtual void changed(int value) = 0;
};

struct Provider : XrObservable<Listener> {
    void fire(int value) { notify_listeners(&Listener::changed, value); }
};

struct Recorder : Listener {
    Recorder(std::string name, std::vector<std::string>& log) : name(std::move(name)), log(log) {}
    void changed(int value) override
    {
        log.push_back(name + ":" + std::to_string(value));
        if (action) {
            // One-shot: taken out before it runs, so it may set a new one.
            std::function<void()> once = std::move(action);
            action = nullptr;
            once();
        }
    }
    std::string name;
    std::vector<std::string>& log;
    std::function<void()> action; // run once, at the next call
};

using Log = std::vector<std::string>;

TEST(Observable, ListenersAreCalledInOrderOfAddition)
{
    Log log;
    Recorder a("a", log), b("b", log), c("c", log);
    Provider p;
    p.add_listener(&a);
    p.add_listener(nullptr); // ignored
    p.add_listener(&b);
    p.add_listener(&c);
    EXPECT_EQ(p.get_listener_count(), 3);
    p.fire(1);
    EXPECT_EQ(log, (Log{"a:1", "b:1", "c:1"}));

    log.clear();
    p.remove_listener(&b);
    p.fire(2);
    EXPECT_EQ(log, (Log{"a:2", "c:2"}));
    EXPECT_EQ(p.get_listener(0), &a);
    EXPECT_EQ(p.get_listener(1), &c);
}

TEST(Observable, RemoveTakesTheFirstEqualEntry)
{
    Log log;
    Recorder a("a", log), b("b", log), absent("x", log);
    Provider p;
    p.add_listener(&a);
    p.add_listener(&b);
    p.add_listener(&a);
    p.remove_listener(&a);
    p.fire(0);
    EXPECT_EQ(log, (Log{"b:0", "a:0"}));
    p.remove_listener(&absent); // not listed: nothing happens
    EXPECT_EQ(p.get_listener_count(), 2);
}

TEST(Observable, RemovalDuringNotification)
{
    // Table of who removes whom while being notified.
    struct Case {
        const char* what;
        int remover;  // index of the listener that acts
        int removed;  // index it removes
        Log first;    // calls of the notification during which it happens
        Log second;   // calls of the next notification
    } cases[] = {
        {"itself", 1, 1, {"0:1", "1:1", "2:1", "3:1"}, {"0:2", "2:2", "3:2"}},
        {"a later one", 1, 2, {"0:1", "1:1", "3:1"}, {"0:2", "1:2", "3:2"}},
        {"an earlier one", 2, 0, {"0:1", "1:1", "2:1", "3:1"}, {"1:2", "2:2", "3:2"}},
        {"the last one", 0, 3, {"0:1", "1:1", "2:1"}, {"0:2", "1:2", "2:2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Log log;
        std::vector<std::unique_ptr<Recorder>> r;
        Provider p;
        for (int i = 0; i < 4; ++i) {
            r.push_back(std::make_unique<Recorder>(std::to_string(i), log));
            p.add_listener(r.back().get());
        }
        Recorder* victim = r[c.removed].get();
        Recorder* actor = r[c.remover].get();
        actor->action = [&p, victim] { p.remove_listener(victim); };
        p.fire(1);
        EXPECT_EQ(log, c.first);
        EXPECT_EQ(p.get_listener_count(), 3);
        log.clear();
        p.fire(2);
        EXPECT_EQ(log, c.second);
    }
}

TEST(Observable, ListenerAddedDuringNotificationWaitsForTheNextOne)
{
    Log log;
    Recorder a("a", log), b("b", log);
    Provider p;
    p.add_listener(&a);
    a.action = [&] { p.add_listener(&b); };
    p.fire(1);
    EXPECT_EQ(log, (Log{"a:1"}));
    log.clear();
    p.fire(2);
    EXPECT_EQ(log, (Log{"a:2", "b:2"}));
}

TEST(Observable, NestedNotificationKeepsHolesUntilTheOuterOneEnds)
{
    Log log;
    Recorder a("a", log), b("b", log), c("c", log);
    Provider p;
    p.add_listener(&a);
    p.add_listener(&b);
    p.add_listener(&c);
    // a fires again from inside; b removes c during the inner round.
    a.action = [&] {
        b.action = [&] { p.remove_listener(&c); };
        p.fire(2);
    };
    p.fire(1);
    EXPECT_EQ(log, (Log{"a:1", "a:2", "b:2", "b:1"}));
    EXPECT_EQ(p.get_listener_count(), 2);
}

} // namespace
