// The handler stack of the map window manager and the dispatch down it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/gdi/window/xr_mapwindowmanager.h"

namespace {

// Records every call in a shared log as "<name>:<operation>"; takes the
// operations named in `takes` (answering `result`), passes the rest on.
class RecordingHandler : public XrWindowEventHandler {
public:
    RecordingHandler(std::string name, std::vector<std::string>& log, std::vector<std::string>* deleted = nullptr)
        : m_name(std::move(name)), m_log(log), m_deleted(deleted)
    {
    }
    ~RecordingHandler() override
    {
        if (m_deleted != nullptr)
            m_deleted->push_back(m_name);
    }

    std::vector<std::string> takes;
    int result = 7;

    int handle_key(int key, XrMapWindow* w) override
    {
        return on("key", [&] { return XrWindowEventHandler::handle_key(key, w); });
    }
    int pointer_down(int x, int y, int b, XrMapWindow* w) override
    {
        return on("down", [&] { return XrWindowEventHandler::pointer_down(x, y, b, w); });
    }
    int can_tap_and_hold(int x, int y, XrMapWindow* w) override
    {
        return on("can_tah", [&] { return XrWindowEventHandler::can_tap_and_hold(x, y, w); });
    }
    int tap_and_hold(XrMapWindow* w) override
    {
        return on("tah", [&] { return XrWindowEventHandler::tap_and_hold(w); });
    }

private:
    template <class F>
    int on(const std::string& op, F pass_on)
    {
        m_log.push_back(m_name + ":" + op);
        for (const auto& t : takes)
            if (t == op)
                return result;
        return pass_on();
    }

    std::string m_name;
    std::vector<std::string>& m_log;
    std::vector<std::string>* m_deleted;
};

TEST(MapWindowManager, EmptyStackAnswersEveryDispatch)
{
    XrMapWindowManager m;
    struct {
        const char* what;
        int result;
        int expected;
    } cases[] = {
        {"key", m.dispatch_key(1, nullptr), 0},
        {"pointer_down", m.dispatch_pointer_down(1, 2, 1, nullptr), 0},
        {"pointer_up", m.dispatch_pointer_up(1, 2, 1, nullptr), 0},
        {"pointer_event", m.dispatch_pointer_event(1, 2, 1, nullptr), 0},
        {"pointer_up_alt", m.dispatch_pointer_up_alt(1, 2, 2, nullptr), 0},
        {"held_press", m.dispatch_held_press(1, 2, 1, nullptr), 0},
        {"held_press_alt", m.dispatch_held_press_alt(1, 2, 2, nullptr), 0},
        {"pointer_move", m.dispatch_pointer_move(1, 2, 0, nullptr), 0},
        {"can_tap_and_hold", m.dispatch_can_tap_and_hold(1, 2, nullptr), 1},
        {"tap_and_hold", m.dispatch_tap_and_hold(nullptr), 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.result, c.expected) << c.what;
    EXPECT_EQ(m.top_handler(), nullptr);
    EXPECT_EQ(m.pop_handler(), nullptr);
}

TEST(MapWindowManager, PopHandsBackAndStaleEntryIsOverwritten)
{
    std::vector<std::string> log, deleted;
    auto* b = new RecordingHandler("B", log, &deleted);
    {
        XrMapWindowManager m;
        auto* a = new RecordingHandler("A", log, &deleted);
        auto* c = new RecordingHandler("C", log, &deleted);
        m.add_handler(a);
        m.add_handler(b);
        EXPECT_EQ(b->get_manager(), &m);
        EXPECT_EQ(m.pop_handler(), b);
        EXPECT_EQ(b->get_manager(), nullptr);
        m.add_handler(c);
        EXPECT_EQ(m.get_depth(), 2);
        EXPECT_EQ(m.top_handler(), c);

        // The walk goes C then A: B is no longer on the stack.
        m.dispatch_key(3, nullptr);
        EXPECT_EQ(log, (std::vector<std::string>{"C:key", "A:key"}));
    }
    EXPECT_EQ(deleted, (std::vector<std::string>{"A", "C"}));
    delete b;
}

TEST(MapWindowManager, EventWalksDownUntilTaken)
{
    // Stack bottom, mid, top; the handler at index `taker` takes the press.
    struct {
        int taker; // -1 = nobody
        std::vector<std::string> walk;
        int result;
    } cases[] = {
        {2, {"top:down"}, 7},
        {1, {"top:down", "mid:down"}, 7},
        {0, {"top:down", "mid:down", "bottom:down"}, 7},
        {-1, {"top:down", "mid:down", "bottom:down"}, 0},
    };
    const char* names[3] = {"bottom", "mid", "top"};
    for (const auto& c : cases) {
        std::vector<std::string> log;
        XrMapWindowManager m;
        for (int i = 0; i < 3; ++i) {
            auto* h = new RecordingHandler(names[i], log);
            if (i == c.taker)
                h->takes.push_back("down");
            m.add_handler(h);
        }
        EXPECT_EQ(m.dispatch_pointer_down(5, 6, 1, nullptr), c.result) << c.taker;
        EXPECT_EQ(log, c.walk) << c.taker;
        // A second dispatch restarts at the top.
        log.clear();
        m.dispatch_pointer_down(5, 6, 1, nullptr);
        EXPECT_EQ(log, c.walk) << c.taker;
    }
}

TEST(MapWindowManager, CanTapAndHoldPassedOnByEveryoneIsZero)
{
    // With handlers that all pass the query on, the bottom's pass-on finds
    // no next handler and answers 0 (only an empty stack answers true).
    std::vector<std::string> log;
    XrMapWindowManager m;
    m.add_handler(new RecordingHandler("a", log));
    EXPECT_EQ(m.dispatch_can_tap_and_hold(1, 1, nullptr), 0);
}

TEST(MapWindowManager, WindowsListedOnce)
{
    XrMapWindowManager m;
    auto* w1 = reinterpret_cast<XrMapWindow*>(0x10);
    auto* w2 = reinterpret_cast<XrMapWindow*>(0x20);
    m.add_window(w1);
    m.add_window(w1);
    m.add_window(w2);
    EXPECT_EQ(m.get_window_count(), 2);
    m.remove_window(w1);
    EXPECT_EQ(m.get_window_count(), 1);
    m.remove_window(w1);
    EXPECT_EQ(m.get_window_count(), 1);
}

} // namespace
