#include "common/container/xr_string.h"
#include "common/os/xr_inetconfiglistener.h"
#include "common/os/xr_windoweventhandler.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// A stand-in for the window manager: a stack of handlers and the cursor of
// the dispatch under way.
class XrMapWindowManager {
public:
    void add_handler(XrWindowEventHandler* h)
    {
        stack.push_back(h);
        h->set_manager(this);
    }
    XrWindowEventHandler* begin_dispatch()
    {
        cursor = static_cast<int>(stack.size()) - 1;
        return cursor >= 0 ? stack[cursor] : nullptr;
    }
    XrWindowEventHandler* next_handler()
    {
        --cursor;
        return cursor >= 0 ? stack[cursor] : nullptr;
    }
    std::vector<XrWindowEventHandler*> stack;
    int cursor = -1;
};

XrWindowEventHandler* xr_window_manager_next_handler(XrMapWindowManager* manager)
{
    return manager->next_handler();
}

namespace {

XrMapWindow* const window = reinterpret_cast<XrMapWindow*>(0x1234);

// Takes every event and answers with a per-operation result.
class TakingHandler : public XrWindowEventHandler {
public:
    TakingHandler() : XrWindowEventHandler(77) {}
    int handle_key(int key, XrMapWindow* w) override { return take("key", {key}, w, 1); }
    int pointer_down(int x, int y, int b, XrMapWindow* w) override { return take("down", {x, y, b}, w, 2); }
    int pointer_up(int x, int y, int f, XrMapWindow* w) override { return take("up", {x, y, f}, w, 3); }
    int pointer_event(int x, int y, int f, XrMapWindow* w) override { return take("event", {x, y, f}, w, 4); }
    int pointer_up_alt(int x, int y, int f, XrMapWindow* w) override { return take("up_alt", {x, y, f}, w, 5); }
    int held_press(int x, int y, int f, XrMapWindow* w) override { return take("held", {x, y, f}, w, 6); }
    int held_press_alt(int x, int y, int f, XrMapWindow* w) override { return take("held_alt", {x, y, f}, w, 7); }
    int pointer_move(int x, int y, int f, XrMapWindow* w) override { return take("move", {x, y, f}, w, 8); }
    int can_tap_and_hold(int x, int y, XrMapWindow* w) override { return take("can_tah", {x, y}, w, 9); }
    int tap_and_hold(XrMapWindow* w) override { return take("tah", {}, w, 10); }

    std::string last;

private:
    int take(const char* op, std::vector<int> args, XrMapWindow* w, int result)
    {
        EXPECT_EQ(w, window);
        last = op;
        for (int a : args)
            last += " " + std::to_string(a);
        return result;
    }
};

struct Op {
    const char* name;
    std::function<int(XrWindowEventHandler*)> call;
    const char* seen;
    int result;
};

const Op ops[] = {
    {"handle_key", [](XrWindowEventHandler* h) { return h->handle_key(65, window); }, "key 65", 1},
    {"pointer_down", [](XrWindowEventHandler* h) { return h->pointer_down(10, 20, 1, window); }, "down 10 20 1", 2},
    {"pointer_up", [](XrWindowEventHandler* h) { return h->pointer_up(11, 21, 1, window); }, "up 11 21 1", 3},
    {"pointer_event", [](XrWindowEventHandler* h) { return h->pointer_event(12, 22, 8, window); }, "event 12 22 8", 4},
    {"pointer_up_alt", [](XrWindowEventHandler* h) { return h->pointer_up_alt(13, 23, 2, window); }, "up_alt 13 23 2", 5},
    {"held_press", [](XrWindowEventHandler* h) { return h->held_press(14, 24, 1, window); }, "held 14 24 1", 6},
    {"held_press_alt", [](XrWindowEventHandler* h) { return h->held_press_alt(15, 25, 2, window); }, "held_alt 15 25 2", 7},
    {"pointer_move", [](XrWindowEventHandler* h) { return h->pointer_move(16, 26, 16, window); }, "move 16 26 16", 8},
    {"can_tap_and_hold", [](XrWindowEventHandler* h) { return h->can_tap_and_hold(17, 27, window); }, "can_tah 17 27", 9},
    {"tap_and_hold", [](XrWindowEventHandler* h) { return h->tap_and_hold(window); }, "tah", 10},
};

} // namespace

TEST(WindowEventHandler, DefaultsPassEveryEventDownTheStack)
{
    XrMapWindowManager manager;
    TakingHandler bottom;
    XrWindowEventHandler middle(2), top(3);
    manager.add_handler(&bottom);
    manager.add_handler(&middle);
    manager.add_handler(&top);
    for (const Op& op : ops) {
        SCOPED_TRACE(op.name);
        bottom.last.clear();
        EXPECT_EQ(op.call(manager.begin_dispatch()), op.result);
        EXPECT_EQ(bottom.last, op.seen);
    }
}

TEST(WindowEventHandler, WithoutNextHandlerTheResultIsZero)
{
    XrMapWindowManager manager;
    XrWindowEventHandler only(5), loose(6);
    manager.add_handler(&only);
    for (const Op& op : ops) {
        SCOPED_TRACE(op.name);
        EXPECT_EQ(op.call(manager.begin_dispatch()), 0); // bottom of the stack
        // In no manager: nothing handled, but a held press may go on.
        EXPECT_EQ(op.call(&loose), std::string(op.name) == "can_tap_and_hold" ? 1 : 0);
    }
    EXPECT_EQ(only.get_id(), 5);
    EXPECT_EQ(only.get_manager(), &manager);
    EXPECT_EQ(loose.get_manager(), nullptr);
}

TEST(InetConfigListener, ApplicationMayChooseTheAccessPoint)
{
    struct Chooser : XrInetConfigListener {
        int choose_iap(XrString& name, XrString& id) override
        {
            name = L"home-wlan";
            id = L"iap-1";
            return 1;
        }
        void iap_state_changed(int event, XrIap* iap) override { events.push_back({event, iap}); }
        std::vector<std::pair<int, XrIap*>> events;
    } chooser;
    XrInetConfigListener* listener = &chooser;
    XrString name, id;
    EXPECT_EQ(listener->choose_iap(name, id), 1);
    EXPECT_EQ(name, XrString(L"home-wlan"));
    EXPECT_EQ(id, XrString(L"iap-1"));
    listener->iap_state_changed(1, nullptr);
    ASSERT_EQ(chooser.events.size(), 1u);
    EXPECT_EQ(chooser.events[0].first, 1);
}
