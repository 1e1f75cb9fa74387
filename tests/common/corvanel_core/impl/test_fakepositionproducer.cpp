#include "common/corvanel_core/impl/xr_fakepositionproducer.h"
#include "common/corvanel_core/impl/fake_loop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

class Recorder : public XrPositionProducerListener {
public:
    void producer_state_changed(XrPositionProducer* p) override { statuses.push_back(p->get_status()); }
    void position_updated(XrPositionProducer* p, bool*) override
    {
        const XrPositionInfo& info = p->get_position_info();
        lons.push_back(info.get_coordinate().get_longitude());
        lats.push_back(info.get_coordinate().get_latitude());
        double h = -1;
        info.get_heading().get_value(h, XrAngle::Degrees);
        headings.push_back(h);
        double v = -1;
        info.get_velocity().get_value(v, XrVelocity::MetresPerSecond);
        speeds.push_back(v);
    }
    std::vector<int> statuses;
    std::vector<double> lons, lats, headings, speeds;
};

} // namespace

TEST(FakePositionProducer, DrivesBackAndForthAtOneSecondSteps)
{
    FakeLoop loop;
    XrFakePositionProducer producer(&loop);
    Recorder rec;
    producer.add_listener(&rec);
    EXPECT_EQ(producer.get_status(), 1);
    EXPECT_EQ(producer.get_position_info().get_coordinate(), XrCoordinate(24.9, 60.2));
    EXPECT_FALSE(producer.get_position_info().has_fix());

    producer.reconnect();
    EXPECT_EQ(rec.statuses, std::vector<int>{0});
    ASSERT_EQ(loop.timeouts.size(), 1u);
    EXPECT_EQ(loop.fire(&producer, nullptr), 5000);
    for (int i = 0; i < 403; ++i)
        ASSERT_EQ(loop.fire(&producer, nullptr), 1000);
    ASSERT_EQ(rec.lats.size(), 404u);
    // Steps 1..200, 200 again, back down to 0, 0 again, then up.
    auto step_of = [&](size_t i) { return static_cast<int>(std::lround((rec.lats[i] - 60.2) * 800)); };
    EXPECT_EQ(step_of(0), 1);
    EXPECT_EQ(step_of(199), 200);
    EXPECT_EQ(step_of(200), 200);
    EXPECT_EQ(step_of(201), 199);
    EXPECT_EQ(step_of(400), 0);
    EXPECT_EQ(step_of(401), 0);
    EXPECT_EQ(step_of(402), 1);
    EXPECT_NEAR(rec.lons[199], 25.0667, 1e-4);
    EXPECT_NEAR(rec.lats[199], 60.45, 1e-9);
    // The heading is that of the step before the update.
    EXPECT_EQ(rec.headings[0], 0);
    EXPECT_EQ(rec.headings[1], 4);
    EXPECT_EQ(rec.headings[200], (200 * 4) % 360);
    for (double v : rec.speeds) {
        EXPECT_GE(v, 0);
        EXPECT_LT(v, 50);
    }
}

TEST(FakePositionProducer, ConnectAloneDoesNotMoveAndReconnectNeverDoublesTheSteps)
{
    FakeLoop loop;
    {
        XrFakePositionProducer producer(&loop);
        producer.connect();
        EXPECT_EQ(producer.get_status(), 0);
        EXPECT_TRUE(loop.timeouts.empty());
        producer.disconnect();
        EXPECT_EQ(producer.get_status(), 0);
        producer.reconnect();
        producer.reconnect();
        EXPECT_EQ(loop.timeouts.size(), 1u);
    }
    // The destroyed producer's step is gone.
    EXPECT_TRUE(loop.timeouts.empty());
}
