#include "kestrova-gpsd-helper/xr_nmea_stream.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Reads `text` into the buffer as one read.
int feed(XrNmeaLineBuffer& buffer, const std::string& text)
{
    EXPECT_LE(static_cast<int>(text.size()), buffer.free_count());
    text.copy(buffer.free_space(), text.size());
    return buffer.add(static_cast<int>(text.size()));
}

std::string pending(XrNmeaLineBuffer& buffer)
{
    const char* data;
    int length;
    return buffer.pending_line(data, length) ? std::string(data, static_cast<size_t>(length)) : std::string();
}

TEST(XrNmeaLineBuffer, PartlyWrittenLineStaysPendingUntilWrittenWhole)
{
    XrNmeaLineBuffer buffer;
    feed(buffer, "$A,1*00\r\n$B,2");
    EXPECT_EQ(pending(buffer), "$A,1*00\r\n");
    buffer.consume(3);
    EXPECT_EQ(pending(buffer), "1*00\r\n");
    buffer.consume(6);
    EXPECT_EQ(buffer.pending(), 0);
    EXPECT_EQ(pending(buffer), "");
    EXPECT_EQ(buffer.fill(), 4);
    feed(buffer, "*00\n");
    EXPECT_EQ(pending(buffer), "$B,2*00\n");
}

TEST(XrNmeaLineBuffer, FullBufferKeepsOnlyThePendingLine)
{
    struct Case {
        std::string content;   // 128 bytes read while nothing could be written
        int discarded;
        int kept;
        std::string next_read;
        std::string next_line;
    };
    const std::string line40 = std::string(38, 'a') + "\r\n";
    const Case cases[] = {
        // No line end at all: everything goes, and the line's rest after it.
        {std::string(128, 'x'), 128, 0, "xx\r\n$N*00\r\n", "$N*00\r\n"},
        // A pending line, then the start of another: the start goes.
        {line40 + std::string(88, 'y'), 88, 40, "yy\n$N\n", line40},
        // A pending line and a complete one after it: the second is lost.
        {line40 + std::string(86, 'z') + "\r\n", 88, 40, "$N\n", line40},
        // The pending line fills the buffer: it goes too.
        {std::string(126, 'p') + "\r\n", 128, 0, "$N\n", "$N\n"},
    };
    for (const Case& c : cases) {
        XrNmeaLineBuffer buffer;
        feed(buffer, c.content);
        pending(buffer);
        EXPECT_EQ(buffer.make_room(), c.discarded) << c.content;
        EXPECT_EQ(buffer.fill(), c.kept) << c.content;
        feed(buffer, c.next_read);
        EXPECT_EQ(pending(buffer), c.next_line) << c.content;
    }
}

TEST(XrNmeaLineBuffer, RestOfAnOverlongLineIsDroppedOverSeveralReads)
{
    XrNmeaLineBuffer buffer;
    feed(buffer, std::string(128, 'x'));
    EXPECT_EQ(buffer.make_room(), 128);
    EXPECT_EQ(feed(buffer, std::string(50, 'x')), 50);
    EXPECT_EQ(buffer.fill(), 0);
    EXPECT_EQ(feed(buffer, "xx\n$GOOD\n$NE"), 3);
    EXPECT_EQ(pending(buffer), "$GOOD\n");
    buffer.consume(6);
    EXPECT_EQ(buffer.fill(), 3);
}

TEST(XrNmeaLog, TimingLineCarriesTheTimeAndItsChecksum)
{
    char line[256];
    const struct {
        timeval time;
        const char* expected;
    } cases[] = {
        {{1234567890, 42}, "$PKSTT,1234567890.000042*4D\r\n"},
        {{1700000000, 999999}, "$PKSTT,1700000000.999999*4C\r\n"},
    };
    for (const auto& c : cases) {
        const int n = XrNmeaLog::timing_line(line, sizeof(line), c.time);
        EXPECT_EQ(std::string(line, static_cast<size_t>(n)), c.expected);
    }
    EXPECT_EQ(XrNmeaLog::timing_line(line, 10, cases[0].time), 0);
}

} // namespace
