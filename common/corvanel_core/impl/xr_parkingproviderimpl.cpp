#include "common/corvanel_core/impl/xr_parkingproviderimpl.h"

#include <ctime>

#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/impl/xr_settingsfile.h"
#include "common/corvanel_core/interfaces/xr_locationdetailsprovider.h"
#include "common/db/xr_aggregategeomstorage.h"
#include "common/db/xr_memorygeomstorage.h"
#include "common/misc/xr_path_resolver.h"
#include "common/misc/xr_tokenparser.h"

XrParkingProviderImpl::XrParkingProviderImpl(void* owner) : path(XrPathResolver::resolve(file_path)), owner(owner)
{
    if (XrMapProvider* maps = xr_map_provider())
        maps->add_listener(this);
}

XrParkingProviderImpl::~XrParkingProviderImpl()
{
    if (storage_owned)
        delete carpark_storage;
    if (XrMapProvider* maps = xr_map_provider())
        maps->remove_listener(this);
}

bool XrParkingProviderImpl::get_car_coordinate(XrCoordinate& out)
{
    if (parked)
        out = car_coordinate;
    return parked;
}

bool XrParkingProviderImpl::get_park_time(int& hour, int& minute, int& second, int& day, int& month, int& year,
                                          int& elapsed)
{
    if (!parked)
        return false;
    park_time.get_fields(&hour, &minute, &second, &day, &month, &year);
    elapsed = XrDatetime() - park_time;
    return true;
}

void XrParkingProviderImpl::get_park_datetime(XrDatetime& out)
{
    if (parked)
        out = park_time;
    else
        out.set_now();
}

void XrParkingProviderImpl::set_park_datetime(const XrDatetime& value)
{
    if (parked)
        park_time = value;
}

bool XrParkingProviderImpl::get_car_address(XrString& out)
{
    if (!parked)
        return false;
    auto* details =
        static_cast<XrLocationDetailsProvider*>(XrSingleton::get_instance(XrString(L"XrLocationDetailsProvider")));
    XrLocationDetails d;
    if (details != nullptr)
        details->get_details_or_coordinates(car_coordinate, d);
    out = d.text;
    return true;
}

bool XrParkingProviderImpl::park_car(const XrCoordinate& coordinate, const XrDatetime* time)
{
    parked = true;
    car_coordinate = coordinate;
    if (time != nullptr)
        park_time = *time;
    else
        park_time.set_now();
    update_carpark_storage();
    notify_listeners(&XrParkingListener::parking_changed);
    return write_data();
}

bool XrParkingProviderImpl::unpark_car()
{
    parked = false;
    bool written = false;
    if (std::unique_ptr<XrStorageConfiguration> c = open_settings_file(path, false)) {
        written = c->open_key(L"\\parking") == XrConfiguration::OK && c->set_int(L"parked", 0) == XrConfiguration::OK &&
                  c->save() == XrConfiguration::OK;
    }
    update_carpark_storage();
    notify_listeners(&XrParkingListener::parking_changed);
    return written;
}

bool XrParkingProviderImpl::write_data()
{
    std::unique_ptr<XrStorageConfiguration> c = open_settings_file(path, false);
    if (!c || c->create_key_path(L"\\parking") != XrConfiguration::OK)
        return false;
    XrString time;
    time.format(16, L"%u", static_cast<unsigned int>(park_time.get_utc()));
    XrString position;
    position.format(50, L"%1.10f|%1.10f", car_coordinate.get_latitude(), car_coordinate.get_longitude());
    const bool set = c->set_int(L"parked", parked ? 1 : 0) == XrConfiguration::OK &&
                     c->set_string(L"time", time.c_str()) == XrConfiguration::OK &&
                     c->set_string(L"position", position.c_str()) == XrConfiguration::OK;
    return set && c->save() == XrConfiguration::OK;
}

void XrParkingProviderImpl::initialize()
{
    XR_ASSERT_MSG(carpark_storage == nullptr, "!carpark_storage");
    carpark_storage = new XrMemoryGeomStorage();
    storage_owned = true;
    parked = false;

    std::unique_ptr<XrStorageConfiguration> c = open_settings_file(path, true);
    bool flag = false;
    int seconds = 0;
    XrString position;
    if (c && c->open_key(L"\\parking") == XrConfiguration::OK && read_setting(*c, L"parked", flag) &&
        read_setting(*c, L"time", seconds) && read_setting(*c, L"position", position)) {
        XrTokenParser parser(position, L'|');
        const TCHAR* lat_text = parser.parse_next(true, true);
        const TCHAR* lon_text = lat_text != nullptr ? parser.parse_next(true, true) : nullptr;
        double lat = 0;
        double lon = 0;
        if (lon_text != nullptr && parse_latitude(XrString(lat_text), lat) && parse_longitude(XrString(lon_text), lon)) {
            parked = flag;
            car_coordinate = XrCoordinate(lon, lat);
            park_time = XrDatetime(seconds);
        }
    }
    update_carpark_storage();
}

void XrParkingProviderImpl::update_carpark_storage()
{
    if (carpark_storage == nullptr)
        return; // no map open: nothing shown
    carpark_storage->clear();
    if (!parked)
        return;
    XrMapProvider* maps = xr_map_provider();
    const XrPoint p = car_coordinate.to_point(maps != nullptr ? maps->get_projection() : nullptr);
    xr_add_text_record(carpark_storage, 0, p, MAP_RECORD_TYPE, XrString());
}

XrMemoryGeomStorage* XrParkingProviderImpl::take_carpark_storage()
{
    XR_ASSERT_MSG(carpark_storage != nullptr, "carpark_storage");
    XR_ASSERT_MSG(storage_owned, "carpark_storage_ownership");
    storage_owned = false;
    return carpark_storage;
}

void XrParkingProviderImpl::map_initialized()
{
    initialize();
    if (XrAggregateGeomStorage* poi = xr_poi_layer_storage())
        poi->add_storage(take_carpark_storage());
}

void XrParkingProviderImpl::map_closing()
{
    if (storage_owned)
        delete carpark_storage;
    storage_owned = true;
    carpark_storage = nullptr;
    car_coordinate = XrCoordinate();
    park_time.set_now();
    parked = false;
}
