#include "common/corvanel_core/impl/xr_nmeapositionproducerimpl.h"
#include "common/corvanel_core/impl/xr_applicationproviderimpl.h"
#include "common/corvanel_core/impl/fake_loop.h"
#include "common/corvanel_core/impl/nmea_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using nmea_text::sentence;
using nmea_text::wide;

namespace {

std::uint32_t g_now = 5000;
std::uint32_t fake_ticks()
{
    return g_now;
}

void* const kStep = reinterpret_cast<void*>(XrNmeaPositionProducerImpl::extrapolation_timeout);

class TestProducer : public XrNmeaPositionProducerImpl {
public:
    using XrNmeaPositionProducerImpl::XrNmeaPositionProducerImpl;
    void connect() override {}
    void disconnect() override {}
    void reconnect() override {}
};

class Listener : public XrPositionProducerListener {
public:
    void producer_state_changed(XrPositionProducer*) override { ++states; }
    void position_updated(XrPositionProducer* p, bool* handled) override
    {
        EXPECT_FALSE(*handled);
        ++positions;
        last = p->get_position_info();
        if (set_handled)
            *handled = true;
    }
    int states = 0;
    int positions = 0;
    bool set_handled = false;
    XrPositionInfo last;
};

// A "$GPRMC" at 24.9 E, the latitude given in minutes past 60 N.
std::string rmc(double lat_minutes, double knots, double course, char status = 'A')
{
    char body[160];
    std::snprintf(body, sizeof(body), "GPRMC,120000,%c,60%07.4f,N,02454.000,E,%.4f,%.1f,101226,,", status, lat_minutes,
                  knots, course);
    return sentence(body);
}

constexpr double kKnots = 1 / 0.5144444444444445; // knots in one m/s

double heading_of(const XrPositionInfo& info)
{
    double h = -1;
    info.get_heading().get_value(h, XrAngle::Degrees);
    return h;
}

double speed_of(const XrPositionInfo& info)
{
    double v = -1;
    info.get_velocity().get_value(v, XrVelocity::MetresPerSecond);
    return v;
}

class NmeaProducerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_now = 5000;
        set_position_tick_source(fake_ticks);
        producer.add_listener(&listener);
    }
    void TearDown() override { set_position_tick_source(nullptr); }

    void line(const std::string& text, std::uint32_t after_ms = 1000)
    {
        g_now += after_ms;
        producer.handle_nmea_line(wide(text));
    }
    // Fires the pending step after ms.
    bool step(std::uint32_t ms = 200)
    {
        g_now += ms;
        return loop.fire(&producer, kStep) >= 0;
    }
    XrPoint shown() { return producer.get_position_info().get_coordinate().to_point(&map.projection); }

    FakeLoop loop;
    FakeMap map;
    TestProducer producer{true, &loop};
    Listener listener;
};

} // namespace

TEST_F(NmeaProducerTest, WithoutExtrapolationEveryFixIsShownAtOnce)
{
    TestProducer plain(false, &loop);
    plain.add_listener(&listener);
    plain.handle_nmea_line(wide(sentence("GPGSA,A,3,04,05,,09")));
    EXPECT_EQ(listener.positions, 0);
    plain.handle_nmea_line(wide(rmc(12.0, 10 * kKnots, 45)));
    ASSERT_EQ(listener.positions, 1);
    EXPECT_TRUE(listener.last.has_fix());
    EXPECT_NEAR(listener.last.get_coordinate().get_latitude(), 60.2, 1e-9);
    EXPECT_NEAR(listener.last.get_coordinate().get_longitude(), 24.9, 1e-9);
    EXPECT_NEAR(speed_of(listener.last), 10, 1e-4);
    EXPECT_EQ(heading_of(listener.last), 45);
    EXPECT_EQ(listener.last.get_used_satellites().get_num_items(), 3);
    EXPECT_TRUE(loop.timeouts.empty());
    // An invalid fix keeps the last coordinate and clears the fix flag.
    plain.handle_nmea_line(wide(rmc(0, 0, 0, 'V')));
    ASSERT_EQ(listener.positions, 2);
    EXPECT_FALSE(listener.last.has_fix());
    EXPECT_NEAR(listener.last.get_coordinate().get_latitude(), 60.2, 1e-9);
}

TEST_F(NmeaProducerTest, DeadReckoningMovesOnAndEndsThreeSecondsAfterTheLastLine)
{
    producer.set_status(0);
    line(rmc(12.0, 10 * kKnots, 0));
    EXPECT_EQ(listener.positions, 0); // shown by the first step
    EXPECT_EQ(loop.pending(&producer, kStep), 1);
    EXPECT_EQ(loop.timeouts[0].ms, 200);
    const XrPoint fix = XrCoordinate(24.9, 60.2).to_point(&map.projection);

    ASSERT_TRUE(step());
    EXPECT_EQ(listener.positions, 1);
    // 10 m/s north for 200 ms: 2 units.
    EXPECT_EQ(shown().x, fix.x);
    EXPECT_EQ(shown().y, fix.y + 2);
    EXPECT_NEAR(speed_of(listener.last), 10, 1e-4);
    EXPECT_TRUE(listener.last.has_fix());

    int steps = 1;
    while (step())
        ++steps;
    // Steps at 200, 400, ... 3000 ms: the one at 3000 shows and stops.
    EXPECT_EQ(steps, 15);
    EXPECT_EQ(shown().y, fix.y + 30);
    EXPECT_FALSE(producer.is_extrapolation_pending());

    // A redraw within 3 s of a line restarts the wait; later it does nothing.
    XrDCHandleRec* dc = reinterpret_cast<XrDCHandleRec*>(&steps);
    producer.map_drawn(dc);
    EXPECT_EQ(loop.pending(&producer, kStep), 0);
    line(rmc(12.0, 10 * kKnots, 0));
    producer.map_drawn(nullptr);
    EXPECT_EQ(loop.pending(&producer, kStep), 1);
    producer.map_drawn(dc);
    EXPECT_EQ(loop.pending(&producer, kStep), 1);
}

TEST_F(NmeaProducerTest, HeadingTurnsTheShortWayAcrossNorth)
{
    const struct {
        double from, to;
        double expected; // after 200 ms
    } cases[] = {
        {350, 10, 10 + 16.0 / 1000 * 200},  // +20, times 0.8
        {10, 350, 350 - 16.0 / 1000 * 200}, // -20
        {90, 100, 100 + 8.0 / 1000 * 200},
        {180, 181, 181},                    // 0.8 is below one degree: no turn
    };
    for (const auto& c : cases) {
        TestProducer p(true, &loop);
        Listener l;
        p.add_listener(&l);
        g_now += 1000;
        p.handle_nmea_line(wide(rmc(12.0, 10 * kKnots, c.from)));
        loop.fire(&p, kStep);
        g_now += 1000;
        p.handle_nmea_line(wide(rmc(12.01, 10 * kKnots, c.to)));
        g_now += 200;
        ASSERT_GE(loop.fire(&p, kStep), 0);
        EXPECT_NEAR(heading_of(l.last), c.expected, 1e-6) << c.from << " -> " << c.to;
        // It never passes the new course plus the turn.
        while (loop.fire(&p, kStep) >= 0)
            g_now += 200;
        double h = heading_of(l.last);
        double distance_from_course = std::fabs(std::remainder(h - c.to, 360.0));
        EXPECT_LE(distance_from_course, 20.0 + 1e-9) << c.from << " -> " << c.to << ": " << h;
        loop.remove_timeout(&p, nullptr);
    }
}

TEST_F(NmeaProducerTest, SlowingToAHaltStopsTheSpeedAtZero)
{
    line(rmc(12.0, 2 * kKnots, 90));
    ASSERT_TRUE(step());
    line(rmc(12.0, 0.5 * kKnots, 90));
    ASSERT_TRUE(step());
    // 0.5 + (0.5 - 2) / 2 is below zero: standing.
    EXPECT_EQ(speed_of(listener.last), 0);
}

TEST_F(NmeaProducerTest, StandingStillShowsTheFix)
{
    line(rmc(12.0, 0, 0));
    ASSERT_TRUE(step(2000));
    EXPECT_EQ(shown(), XrCoordinate(24.9, 60.2).to_point(&map.projection));
    EXPECT_EQ(speed_of(listener.last), 0);
    EXPECT_EQ(heading_of(listener.last), 0);
}

TEST_F(NmeaProducerTest, ElapsedTimeOfZeroCountsAsTwoMilliseconds)
{
    line(rmc(12.0, 10 * kKnots, 0));
    // Same tick, 20 degrees more: 20 x 0.8 over 2 ms is 8 degrees per ms.
    line(rmc(12.01, 10 * kKnots, 20), 0);
    ASSERT_TRUE(step(1));
    EXPECT_NEAR(heading_of(listener.last), 20 + 8, 1e-9);
}

TEST_F(NmeaProducerTest, AbsurdSpeedsAndLongWaitsStayInTheMap)
{
    const std::string huge(300, '9');
    for (const char* course : {"0.0", "90.0", "45.0"}) {
        TestProducer p(true, &loop);
        Listener l;
        p.add_listener(&l);
        g_now += 1000;
        p.handle_nmea_line(wide(sentence("GPRMC,1,A,6012.000,N,02454.000,E," + huge + "," + course + ",101226,,")));
        g_now += 2999;
        ASSERT_GE(loop.fire(&p, kStep), 0);
        EXPECT_EQ(l.positions, 1);
        loop.remove_timeout(&p, nullptr);
    }
}

TEST_F(NmeaProducerTest, AnInvalidFixClearsTheShownPositionAtOnce)
{
    line(rmc(12.0, 10 * kKnots, 0));
    ASSERT_TRUE(step());
    line(rmc(0, 0, 0, 'V'));
    EXPECT_EQ(listener.positions, 2);
    EXPECT_FALSE(listener.last.has_fix());
    EXPECT_FALSE(listener.last.get_coordinate().is_valid());
    EXPECT_FALSE(listener.last.get_velocity().is_valid());
    EXPECT_FALSE(listener.last.get_heading().is_valid());
    // Lines that are no fix change nothing.
    line("garbage");
    line(sentence("GPGGA,1,2,3"));
    EXPECT_EQ(listener.positions, 2);
}

TEST_F(NmeaProducerTest, AHandledPositionStopsTheChain)
{
    line(rmc(12.0, 10 * kKnots, 0));
    listener.set_handled = true;
    ASSERT_TRUE(step());
    EXPECT_EQ(loop.pending(&producer, kStep), 0);
}

TEST_F(NmeaProducerTest, StatusChangesAndDeactivation)
{
    producer.set_status(0);
    EXPECT_EQ(listener.states, 1);
    producer.set_status(0);
    EXPECT_EQ(listener.states, 1);
    producer.handle_nmea_line(wide(sentence("GPGSA,A,3,04")));
    line(rmc(12.0, 10 * kKnots, 0));
    EXPECT_EQ(loop.pending(&producer, kStep), 1);
    producer.set_status(1);
    EXPECT_EQ(listener.states, 2);
    EXPECT_EQ(loop.pending(&producer, kStep), 0);
    EXPECT_EQ(producer.get_parser().get_used_satellites().get_num_items(), 0);

    producer.activate();
    EXPECT_EQ(map.listeners.size(), 1u);
    producer.set_status(0);
    line(rmc(12.0, 10 * kKnots, 0));
    producer.deactivate();
    EXPECT_FALSE(producer.is_active());
    EXPECT_TRUE(map.listeners.empty());
    EXPECT_EQ(producer.get_status(), 1);
    EXPECT_EQ(listener.states, 3); // not told
    EXPECT_EQ(loop.pending(&producer, kStep), 0);
}

TEST_F(NmeaProducerTest, DestructionLeavesNoTimeoutOrDrawListenerBehind)
{
    {
        TestProducer p(true, &loop);
        p.activate();
        g_now += 1000;
        p.handle_nmea_line(wide(rmc(12.0, 10 * kKnots, 0)));
        EXPECT_EQ(loop.timeouts.size(), 1u);
        EXPECT_EQ(map.listeners.size(), 1u);
    }
    EXPECT_TRUE(loop.timeouts.empty());
    EXPECT_TRUE(map.listeners.empty());
}

TEST_F(NmeaProducerTest, WithoutAMapTheStepShowsTheFix)
{
    map.open = false;
    line(rmc(12.0, 10 * kKnots, 0));
    ASSERT_TRUE(step());
    EXPECT_NEAR(listener.last.get_coordinate().get_latitude(), 60.2, 1e-9);
}

namespace {

class App : public XrApplicationProviderImpl {
public:
    App() : XrApplicationProviderImpl(nullptr, nullptr) {}
    XrEventloopBase* get_event_loop() override { return loop; }
    XrEventloopBase* loop = nullptr;
};

} // namespace

TEST_F(NmeaProducerTest, TakesTheApplicationsLoopByDefault)
{
    App app;
    app.loop = &loop;
    XrSingleton::set_instance(XrString("XrApplicationProvider"), &app);
    TestProducer p(true);
    XrSingleton::set_instance(XrString("XrApplicationProvider"), nullptr);
    g_now += 1000;
    p.handle_nmea_line(wide(rmc(12.0, 10 * kKnots, 0)));
    EXPECT_EQ(loop.pending(&p, kStep), 1);
}
