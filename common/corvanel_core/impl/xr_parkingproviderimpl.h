// The parked car in "?:\mapdata\parking.txt", shown on the map as one record
// of type 69 in a storage of its own.
#pragma once

#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_parkingprovider.h"

class XrMemoryGeomStorage;

class XrParkingProviderImpl : public XrParkingProvider, public XrMapListener {
public:
    static constexpr const TCHAR* file_path = L"?:\\mapdata\\parking.txt";
    static constexpr int MAP_RECORD_TYPE = 69;

    // Listens to the registered map provider.
    explicit XrParkingProviderImpl(void* owner);
    ~XrParkingProviderImpl() override;

    bool is_parked() override { return parked; }
    bool get_car_coordinate(XrCoordinate& out) override;
    bool unpark_car() override;
    bool get_park_time(int& hour, int& minute, int& second, int& day, int& month, int& year, int& elapsed) override;
    void get_park_datetime(XrDatetime& out) override;
    void set_park_datetime(const XrDatetime& value) override;
    bool get_car_address(XrString& out) override;
    bool park_car(const XrCoordinate& coordinate, const XrDatetime* time) override;
    // Writes the three values; the time is stored as UTC seconds.
    bool write_data() override;

    void map_initialized() override;
    void map_closing() override;

    // The application object that made the provider.
    void* get_owner() const { return owner; }

    // Reads the file (a file that cannot be used leaves the car not parked).
    void initialize();

private:
    void update_carpark_storage();
    XrMemoryGeomStorage* take_carpark_storage();

    XrCoordinate car_coordinate;
    XrDatetime park_time;
    bool parked = false;
    XrString path;
    void* owner;
    XrMemoryGeomStorage* carpark_storage = nullptr;
    bool storage_owned = true;
};
