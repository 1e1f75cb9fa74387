// Where the car was parked and when, kept in the map folder's
// "?:\mapdata\parking.txt". Registered as "XrParkingProvider".
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_string.h"
#include "common/types/xr_coordinate.h"
#include "common/types/xr_datetime.h"

class XrParkingListener {
public:
    virtual void parking_changed() = 0;

protected:
    ~XrParkingListener() = default;
};

class XrParkingProvider : public XrSingleton, public XrObservable<XrParkingListener> {
public:
    ~XrParkingProvider() override = default;

    virtual bool is_parked() = 0;
    // The car's coordinate when parked; returns the flag.
    virtual bool get_car_coordinate(XrCoordinate& out) = 0;
    // Clears the flag and stores it; true when written.
    virtual bool unpark_car() = 0;
    // The local time of parking (month 1..12, four-digit year) and the
    // seconds since; false when not parked.
    virtual bool get_park_time(int& hour, int& minute, int& second, int& day, int& month, int& year,
                               int& elapsed) = 0;
    // The park time, or now when not parked.
    virtual void get_park_datetime(XrDatetime& out) = 0;
    // Replaces the park time while parked (not stored, not told).
    virtual void set_park_datetime(const XrDatetime& value) = 0;
    // The address of the parked car; false (out untouched) when not parked.
    virtual bool get_car_address(XrString& out) = 0;
    // Parks at the coordinate at the time (now when null); the result is the
    // write's.
    virtual bool park_car(const XrCoordinate& coordinate, const XrDatetime* time) = 0;
    virtual bool write_data() = 0;
};
