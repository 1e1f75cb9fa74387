// NMEA 0183 sentences to position data, one line at a time: "$GPRMC" gives a
// position message; "$GPGSA" and "$GPGSV" update the satellite lists; the
// receiver's "$PNOK" status and "$PNOKU" / "$GPNOK" values are kept. Every
// other sentence is ignored.
#pragma once

#include <cstdint>
#include <string>

#include "common/container/xr_array.h"
#include "common/container/xr_string.h"
#include "common/misc/xr_tokenparser.h"
#include "common/types/xr_positioninfo.h"

// One fix.
class XrPositionMessage {
public:
    virtual ~XrPositionMessage() = default;

    double longitude = 0; // degrees, west negative
    double latitude = 0;  // degrees, south negative
    double speed = 0;     // metres per second
    double course = 0;    // degrees, 0 <= course < 360
    bool moving = false;  // speed or course not 0
    std::uint8_t hours = 0, minutes = 0, seconds = 0; // UTC
    int year = 0;
    std::uint8_t month = 0, day = 0;
    bool valid = false;   // the status field was not "V"
};

// What "$GPRMC" yields.
class XrNMEAMessage : public XrPositionMessage {};

// A position message with a text; the NMEA parser never makes one.
class XrMPTPMessage : public XrPositionMessage {
public:
    virtual const XrString& get_text() const { return text; }
    XrString text;
};

class XrNMEAParser {
public:
    // Most satellites kept of one "$GPGSV" group; later ones are dropped.
    static constexpr int max_satellites_in_view = 64;
    // Most satellite numbers read from one "$GPGSA".
    static constexpr int max_used_satellites = 12;

    XrNMEAParser();
    XrNMEAParser(const XrNMEAParser&) = delete;
    XrNMEAParser& operator=(const XrNMEAParser&) = delete;
    virtual ~XrNMEAParser() = default;

    // A new message (the caller deletes it) for an accepted "$GPRMC"; null
    // for every other line. A line whose checksum is present and wrong is
    // skipped without touching any state.
    virtual XrPositionMessage* parse(const TCHAR* line);
    XrPositionMessage* parse(const XrString& line) { return parse(line.c_str()); }

    // Empties both satellite lists and zeroes the receiver values.
    void reset();

    const XrArray<int>& get_used_satellites() const { return used_satellites; }
    const XrArray<XrSVData>& get_satellites_in_view() const { return satellites_in_view; }
    int get_receiver_value_a() const { return receiver_a; }
    int get_receiver_value_b() const { return receiver_b; }
    int get_receiver_value_c() const { return receiver_c; }
    // UTC time of day and date of the last accepted "$GPRMC" (0 until one
    // carried them).
    int get_hours() const { return hours; }
    int get_minutes() const { return minutes; }
    int get_seconds() const { return seconds; }
    int get_day() const { return day; }
    int get_month() const { return month; }
    int get_year() const { return year; }
    // Counts the satellites-in-view lists published.
    unsigned get_sky_updates() const { return sky_updates; }

    // True when line carries no checksum or a right one.
    static bool checksum_ok(const TCHAR* line);

private:
    XrPositionMessage* parse_rmc();
    void parse_gsa();
    void parse_gsv();
    void parse_pnok();
    void parse_pnoku();
    void reset_gsv_group();
    // The next token as a number that is empty or finite; false otherwise.
    bool next_number(double& value);

    XrTokenParser tokens;
    std::wstring scratch;
    std::uint8_t hours = 0, minutes = 0, seconds = 0;
    std::uint8_t day = 0, month = 0;
    int year = 0;
    double speed = 0;
    double course = 0;
    int receiver_a = 0, receiver_b = 0, receiver_c = 0;
    XrArray<int> used_satellites{12};
    XrArray<XrSVData> satellites_in_view{12};
    XrArray<XrSVData> collecting{12};
    unsigned sky_updates = 0;
    int gsv_remaining = -1;
    int gsv_message_count = -1;
    int gsv_last_number = -1;
    bool last_values_valid = false;
    double last_speed_knots = 0;
    std::uint32_t last_speed_tick = 0;
    double last_course = 0;
    std::uint32_t last_course_tick = 0;
};
