#include "common/corvanel_core/impl/xr_nmeaparser.h"
#include "common/corvanel_core/impl/xr_stopwatch.h"
#include "common/corvanel_core/interfaces/xr_gpsprovider.h"
#include "common/corvanel_core/impl/nmea_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using nmea_text::sentence;
using nmea_text::wide;

namespace {

std::uint32_t g_now = 1000;
std::uint32_t fake_ticks()
{
    return g_now;
}

class NmeaParserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_now = 1000;
        set_position_tick_source(fake_ticks);
    }
    void TearDown() override { set_position_tick_source(nullptr); }

    std::unique_ptr<XrPositionMessage> parse(const std::string& line) { return std::unique_ptr<XrPositionMessage>(parser.parse(wide(line))); }

    std::vector<int> used() const
    {
        std::vector<int> out;
        for (int i = 0; i < parser.get_used_satellites().get_num_items(); ++i)
            out.push_back(*parser.get_used_satellites().get_item_ptr(i));
        return out;
    }
    std::vector<int> in_view_numbers() const
    {
        std::vector<int> out;
        const auto& sv = parser.get_satellites_in_view();
        for (int i = 0; i < sv.get_num_items(); ++i)
            out.push_back(sv.get_item_ptr(i)->number);
        return out;
    }

    XrNMEAParser parser;
};

const std::string kRmc = "GPRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W";

} // namespace

TEST_F(NmeaParserTest, RecommendedMinimumSentences)
{
    struct Case {
        std::string line;
        double lat, lon, speed, course;
        bool valid;
        int hours, minutes, seconds, day, month, year;
    };
    const Case cases[] = {
        {sentence(kRmc), 48.1173, 11.516666666666667, 22.4 * 0.5144444444444445, 84.4, true, 12, 35, 19, 23, 3, 1994},
        // No checksum at all, south and west.
        {"$GPRMC,000000,A,3351.000,S,15112.600,W,0.0,0.0,010170,,\r\n", -33.85, -151.21, 0, 0, true, 0, 0, 0, 1, 1,
         1970},
        // Receivers that leave fields empty; a two-digit year 69 is 2069.
        {sentence("GPRMC,235960,A,0000.000,N,00000.000,E,,,311269,,"), 0, 0, 0, 0, true, 23, 59, 60, 31, 12, 2069},
        // Lower-case checksum digits; course 360 is north, a negative one 0.
        {"$GPRMC,1,A,9000.000,N,18000.000,E,1,360.0,,,*" + [] {
             char b[3];
             unsigned s = 0;
             for (char c : std::string("GPRMC,1,A,9000.000,N,18000.000,E,1,360.0,,,"))
                 s ^= static_cast<unsigned char>(c);
             std::snprintf(b, sizeof(b), "%02x", s);
             return std::string(b);
         }(),
         90, 180, 0.5144444444444445, 0, true, 0, 0, 0, 0, 0, 0},
        {sentence("GPRMC,,A,4807.038,N,01131.000,E,1,-5,,0,"), 48.1173, 11.516666666666667, 0.5144444444444445, 0, true,
         0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        XrNMEAParser p;
        std::unique_ptr<XrPositionMessage> m(p.parse(wide(c.line)));
        ASSERT_NE(m, nullptr) << c.line;
        EXPECT_NE(dynamic_cast<XrNMEAMessage*>(m.get()), nullptr);
        EXPECT_NEAR(m->latitude, c.lat, 1e-9) << c.line;
        EXPECT_NEAR(m->longitude, c.lon, 1e-9) << c.line;
        EXPECT_NEAR(m->speed, c.speed, 1e-9) << c.line;
        EXPECT_DOUBLE_EQ(m->course, c.course) << c.line;
        EXPECT_EQ(m->valid, c.valid);
        EXPECT_EQ(m->moving, c.speed != 0 || c.course != 0 || c.line.find(",360.0,") != std::string::npos ||
                                 c.line.find(",-5,") != std::string::npos)
            << c.line;
        EXPECT_EQ(m->hours, c.hours) << c.line;
        EXPECT_EQ(m->minutes, c.minutes);
        EXPECT_EQ(m->seconds, c.seconds);
        EXPECT_EQ(m->day, c.day) << c.line;
        EXPECT_EQ(m->month, c.month);
        EXPECT_EQ(m->year, c.year);
    }
}

TEST_F(NmeaParserTest, BadCutAndOutOfRangeSentencesGiveNoFix)
{
    const std::string good = sentence(kRmc);
    std::string flipped = good;
    flipped[good.find('*') + 1] = flipped[good.find('*') + 1] == '0' ? '1' : '0';
    const std::string lines[] = {
        flipped,                                                           // wrong checksum
        good.substr(0, good.find('*') + 2) + "\r\n",                        // one checksum digit
        good.substr(0, good.find('*') + 1) + "G1\r\n",                      // not hexadecimal
        good.substr(0, good.find('*')) + "*6A6A\r\n",                       // trailing garbage
        sentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394"), // ends after the date
        sentence("GPRMC,123519,A,4807.038,N"),                              // cut short
        "$GPRMC,123519,A,4807.0",                                           // cut inside a field
        sentence("GPRMC,123519,A,4860.000,N,01131.000,E,1,1,230394,,"),     // minutes of 60
        sentence("GPRMC,123519,A,9100.000,N,01131.000,E,1,1,230394,,"),     // latitude above 90
        sentence("GPRMC,123519,A,4807.038,N,18030.000,E,1,1,230394,,"),     // longitude above 180
        sentence("GPRMC,123519,A,48a7.038,N,01131.000,E,1,1,230394,,"),     // not a number
        sentence("GPRMC,123519,A,480.038,N,01131.000,E,1,1,230394,,"),      // three digits before the point
        sentence("GPRMC,123519,A,,N,01131.000,E,1,1,230394,,"),             // empty latitude of a valid fix
        sentence("GPRMC,253519,A,4807.038,N,01131.000,E,1,1,230394,,"),     // hour 25
        sentence("GPRMC,126119,A,4807.038,N,01131.000,E,1,1,230394,,"),     // minute 61
        sentence("GPRMC,123519,A,4807.038,N,01131.000,E,1,1,231394,,"),     // month 13
        sentence("GPRMC,123519,A,4807.038,N,01131.000,E,1,1,000394,,"),     // day 0
        sentence("GPRMC,123519,A,4807.038,N,01131.000,E,-1,1,230394,,"),    // negative speed
        sentence("GPRMC,123519,A,4807.038,N,01131.000,E,1x,1,230394,,"),    // speed not a number
        sentence("GPRMC,123519,A,4807.038,N,01131.000,E,1,1,230394,abc,"),  // variation not a number
        sentence("GPRMC,123519,A,4807.038,N,01131.000,E,1," + std::string(400, '9') + ",230394,,"), // endless
        sentence("GPRMc,123519,A,4807.038,N,01131.000,E,1,1,230394,,"),     // other case
        sentence("GNRMC,123519,A,4807.038,N,01131.000,E,1,1,230394,,"),     // other talker
        "",
        "*",
        "$",
    };
    for (const std::string& line : lines)
        EXPECT_EQ(parse(line), nullptr) << line;
    // None of them moved the time of day.
    auto m = parse(sentence("GPRMC,,A,4807.038,N,01131.000,E,1,1,,,"));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->hours, 0);
    EXPECT_EQ(m->month, 0);
}

TEST_F(NmeaParserTest, InvalidFixStillGivesAMessage)
{
    auto m = parse(sentence("GPRMC,081836,V,,,,,,,130998,,"));
    ASSERT_NE(m, nullptr);
    EXPECT_FALSE(m->valid);
    EXPECT_EQ(m->latitude, 0.0);
    EXPECT_EQ(m->longitude, 0.0);
    EXPECT_FALSE(m->moving);
    EXPECT_EQ(m->year, 1998);
}

TEST_F(NmeaParserTest, EmptySpeedAndCourseRepeatTheLastForTenSeconds)
{
    ASSERT_NE(parse(sentence("GPRMC,1,A,4807.038,N,01131.000,E,10,90,,,")), nullptr);
    g_now += 5000;
    auto m = parse(sentence("GPRMC,2,A,4807.038,N,01131.000,E,,,,,"));
    ASSERT_NE(m, nullptr);
    EXPECT_NEAR(m->speed, 5.144444, 1e-6);
    EXPECT_EQ(m->course, 90);
    g_now += 6000;
    m = parse(sentence("GPRMC,3,A,4807.038,N,01131.000,E,,,,,"));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->speed, 0);
    EXPECT_EQ(m->course, 0);
    EXPECT_FALSE(m->moving);

    // A "V" status forgets the values.
    ASSERT_NE(parse(sentence("GPRMC,4,A,4807.038,N,01131.000,E,10,90,,,")), nullptr);
    ASSERT_NE(parse(sentence("GPRMC,5,V,,,,,,,,,")), nullptr);
    m = parse(sentence("GPRMC,6,A,4807.038,N,01131.000,E,,,,,"));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->speed, 0);
}

TEST_F(NmeaParserTest, UsedSatellites)
{
    EXPECT_EQ(parse(sentence("GPGSA,A,3,04,05,,09,12,,,,,,,,2.5,1.3,2.1")), nullptr);
    EXPECT_EQ(used(), (std::vector<int>{4, 5, 9, 12}));
    // Twelve fields at most; the dilutions are not satellites.
    parse(sentence("GPGSA,A,3,1,2,3,4,5,6,7,8,9,10,11,12,2.5,1.3,2.1"));
    EXPECT_EQ(used(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    // A cut sentence keeps what came before the cut.
    parse("$GPGSA,A,3,07,08");
    EXPECT_EQ(used(), (std::vector<int>{7, 8}));
    // A bad checksum changes nothing.
    parse("$GPGSA,A,3,01,02*00");
    EXPECT_EQ(used(), (std::vector<int>{7, 8}));
    parse(sentence("GPGSA,A"));
    EXPECT_EQ(used(), (std::vector<int>{7, 8}));
}

namespace {

// A GSV group of `count` sentences for `sats` satellites numbered 1..; odd
// satellites leave their signal-to-noise field empty.
std::vector<std::string> gsv_group(int count, int sats)
{
    std::vector<std::string> out;
    for (int m = 1; m <= count; ++m) {
        std::string body = "GPGSV," + std::to_string(count) + "," + std::to_string(m) + "," + std::to_string(sats);
        for (int n = (m - 1) * 4 + 1; n <= std::min(m * 4, sats); ++n)
            body += "," + std::to_string(n) + "," + std::to_string(n % 90) + "," + std::to_string(n * 7 % 360) + "," +
                    (n % 2 ? "" : "40");
        out.push_back(sentence(body));
    }
    return out;
}

} // namespace

TEST_F(NmeaParserTest, SatelliteGroupsOfOneToFiveSentences)
{
    for (int count = 1; count <= 5; ++count) {
        const int sats = count * 4 - 1;
        const auto group = gsv_group(count, sats);
        for (size_t i = 0; i < group.size(); ++i) {
            EXPECT_EQ(parse(group[i]), nullptr);
            // Published only when the last sentence arrived.
            if (i + 1 < group.size() && count > 1) {
                EXPECT_NE(parser.get_satellites_in_view().get_num_items(), sats) << count;
            }
        }
        std::vector<int> expected;
        for (int n = 1; n <= sats; ++n)
            expected.push_back(n);
        EXPECT_EQ(in_view_numbers(), expected) << count;
    }
    const XrSVData& first = *parser.get_satellites_in_view().get_item_ptr(0);
    EXPECT_EQ(first.elevation, 1);
    EXPECT_EQ(first.azimuth, 7);
}

TEST_F(NmeaParserTest, BrokenSatelliteGroupsAreDropped)
{
    const auto ten = gsv_group(3, 10);
    for (const auto& line : ten)
        parse(line);
    ASSERT_EQ(in_view_numbers().size(), 10u);

    const auto four = gsv_group(3, 12);
    // 1/3, 3/3: out of order, nothing published.
    parse(four[0]);
    parse(four[2]);
    EXPECT_EQ(in_view_numbers().size(), 10u);
    // A group that does not start at 1.
    parse(four[1]);
    parse(four[2]);
    EXPECT_EQ(in_view_numbers().size(), 10u);
    // The message count changes inside a group.
    parse(four[0]);
    parse(gsv_group(2, 8)[1]);
    EXPECT_EQ(in_view_numbers().size(), 10u);
    // A cut sentence.
    parse(four[0]);
    parse("$GPGSV,3,2,12,05,40,083");
    parse(four[2]);
    EXPECT_EQ(in_view_numbers().size(), 10u);
    // A satellite value that does not fit its field.
    parse(sentence("GPGSV,1,1,1,70000,1,1,1"));
    EXPECT_EQ(in_view_numbers().size(), 10u);
    // The next whole group is taken.
    for (const auto& line : four)
        parse(line);
    EXPECT_EQ(in_view_numbers().size(), 12u);
}

TEST_F(NmeaParserTest, SatelliteCountBoundsTheEntriesRead)
{
    // The first sentence says 6; the second carries four more entries.
    parse(sentence("GPGSV,2,1,6,1,1,1,1,2,2,2,2,3,3,3,3,4,4,4,4"));
    parse(sentence("GPGSV,2,2,6,5,5,5,5,6,6,6,6,7,7,7,7,8,8,8,8"));
    EXPECT_EQ(in_view_numbers(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    // A group of more sentences than any receiver sends is bounded.
    for (int m = 1; m <= 30; ++m) {
        std::string body = "GPGSV,30," + std::to_string(m) + ",120";
        for (int i = 0; i < 4; ++i)
            body += "," + std::to_string(m * 4 + i) + ",10,10,10";
        parse(sentence(body));
    }
    EXPECT_EQ(in_view_numbers().size(), static_cast<size_t>(XrNMEAParser::max_satellites_in_view));
}

namespace {

class RecordingGpsProvider : public XrGpsProvider {
public:
    void set_receiver_state(int s) override { state = s; }
    int get_receiver_state() override { return state; }
    int state = -1;
};

} // namespace

TEST_F(NmeaParserTest, ReceiverSentences)
{
    RecordingGpsProvider gps;
    XrSingleton::set_instance(XrString("XrGpsProvider"), &gps);
    parse(sentence("PNOK,STAT,3,0,0,0"));
    EXPECT_EQ(gps.state, 3);
    parse(sentence("PNOK,STAT,4,0,0"));   // too few numbers
    parse(sentence("PNOK,STATE,5,0,0,0")); // another word
    EXPECT_EQ(gps.state, 3);
    XrSingleton::set_instance(XrString("XrGpsProvider"), nullptr);
    parse(sentence("PNOK,STAT,6,0,0,0")); // nobody to tell

    parse(sentence("PNOKU,1,2,3,4,5,6"));
    EXPECT_EQ(parser.get_receiver_value_a(), 1);
    EXPECT_EQ(parser.get_receiver_value_b(), 5);
    EXPECT_EQ(parser.get_receiver_value_c(), 6);
    parse(sentence("GPNOK,7,0,0,0,8,9"));
    EXPECT_EQ(parser.get_receiver_value_a(), 7);
    parse(sentence("GPNOK,1,0,0,0,x,9"));
    EXPECT_EQ(parser.get_receiver_value_a(), 7);

    parse(sentence("GPGSA,A,3,04"));
    for (const auto& line : gsv_group(1, 2))
        parse(line);
    parser.reset();
    EXPECT_EQ(parser.get_receiver_value_a(), 0);
    EXPECT_EQ(parser.get_receiver_value_c(), 0);
    EXPECT_TRUE(used().empty());
    EXPECT_TRUE(in_view_numbers().empty());
}
