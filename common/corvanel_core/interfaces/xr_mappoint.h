// The places the user can see, pick, navigate to or keep: a bare coordinate,
// a roadblock, a POI, the parked car, a favourite, a traffic location message
// and a history entry share one base with a kind code and a coordinate.
// Beside them: the settings of one POI class and the version texts.
#pragma once

#include "common/container/xr_string.h"
#include "common/geometry/xr_point.h"
#include "common/misc/xr_uid.h"
#include "common/types/xr_coordinate.h"
#include "common/types/xr_distance.h"

class XrGeomStorage;

class XrMapPoint {
public:
    enum Type : int {
        TypeCoordinate = 0,
        TypeRoadblock = 1,
        TypePoi = 2,
        TypeCarPark = 3,
        TypeFavourite = 4,
        TypeLocationMessage = 5,
        TypeHistory = 9,
    };

    explicit XrMapPoint(int type) : type(type) {}
    XrMapPoint(int type, const XrCoordinate& coordinate) : type(type), coordinate(coordinate) {}
    XrMapPoint(const XrMapPoint& other) = default;
    XrMapPoint& operator=(const XrMapPoint& other) = default;
    virtual ~XrMapPoint() = default;

    int& get_type() { return type; }
    int get_type() const { return type; }
    XrCoordinate& get_coordinate() { return coordinate; }
    const XrCoordinate& get_coordinate() const { return coordinate; }
    void set_coordinate(const XrCoordinate& c) { coordinate = c; }
    // The coordinate in map units through the registered map provider's
    // projection.
    XrPoint get_map_point() const;

protected:
    int type;
    XrCoordinate coordinate;
};

class XrCoordinateMapPoint : public XrMapPoint {
public:
    XrCoordinateMapPoint() : XrMapPoint(TypeCoordinate) {}
    explicit XrCoordinateMapPoint(const XrCoordinate& c) : XrMapPoint(TypeCoordinate, c) {}
};

class XrCarParkMapPoint : public XrMapPoint {
public:
    XrCarParkMapPoint() : XrMapPoint(TypeCarPark) {}
    explicit XrCarParkMapPoint(const XrCoordinate& c) : XrMapPoint(TypeCarPark, c) {}
};

class XrRoadblock : public XrMapPoint {
public:
    XrRoadblock() : XrMapPoint(TypeRoadblock) {}
    explicit XrRoadblock(const XrCoordinate& c) : XrMapPoint(TypeRoadblock, c) {}
    XrRoadblock(const XrRoadblock& other) = default;
    XrRoadblock& operator=(const XrRoadblock& other) = default;

    int get_id() const { return id; }
    // id >= 0.
    void set_id(int value);

private:
    int id = -1;
};

class XrPoi : public XrMapPoint {
public:
    // No record position.
    XrPoi(const XrCoordinate& c, int id) : XrMapPoint(TypePoi, c), id(id) {}
    // Made from map data: the record's position in the POI layer's storage.
    XrPoi(const XrCoordinate& c, int id, int record_position)
        : XrMapPoint(TypePoi, c), id(id), record_position(record_position), record_position_set(1)
    {
    }

    int get_id() const { return id; }
    int get_record_position() const { return record_position; }
    bool has_record_position() const { return record_position_set != 0; }
    int get_class_id() const { return class_id; }
    void set_class_id(int value) { class_id = value; }
    const XrString& get_name() const { return name; }
    void set_name(const XrString& value) { name = value; }
    const XrString& get_url() const { return url; }
    void set_url(const XrString& value) { url = value; }
    const XrString& get_phone_number() const { return phone_number; }
    void set_phone_number(const XrString& value) { phone_number = value; }
    // The storage that holds the POI's record; not owned.
    XrGeomStorage* get_storage() const { return storage; }
    void set_storage(XrGeomStorage* value) { storage = value; }

private:
    int id;
    int record_position = 0;
    unsigned char record_position_set = 0;
    int class_id = -1;
    XrString name;
    XrString url;
    XrString phone_number;
    XrGeomStorage* storage = nullptr;
};

class XrFavourite : public XrMapPoint {
public:
    XrFavourite() : XrMapPoint(TypeFavourite) {}
    explicit XrFavourite(int id) : XrMapPoint(TypeFavourite), id(id) {}
    XrFavourite(const XrCoordinate& c, int id, const XrString& name, int speed_dial)
        : XrMapPoint(TypeFavourite, c), id(id), name(name), speed_dial(speed_dial)
    {
    }
    XrFavourite(const XrFavourite& other) = default;
    XrFavourite& operator=(const XrFavourite& other) = default;

    int get_id() const { return id; }
    void set_id(int value) { id = value; }
    const XrString& get_name() const { return name; }
    void set_name(const XrString& value) { name = value; }
    int get_speed_dial() const { return speed_dial; }
    void set_speed_dial(int value) { speed_dial = value; }
    const XrUid& get_uid() const { return uid; }
    void set_uid(const XrUid& value) { uid = value; }

    // Id, name, speed dial and uid; the coordinate is not compared.
    bool operator==(const XrFavourite& o) const
    {
        return id == o.id && name == o.name && speed_dial == o.speed_dial && uid == o.uid;
    }
    bool operator!=(const XrFavourite& o) const { return !(*this == o); }

private:
    int id = 0;
    XrString name;
    int speed_dial = 0;
    XrUid uid;
};

class XrLocationMessage : public XrMapPoint {
public:
    XrLocationMessage() : XrMapPoint(TypeLocationMessage) {}
    XrLocationMessage(const XrCoordinate& c, int id) : XrMapPoint(TypeLocationMessage, c), id(id) {}

    int get_id() const { return id; }

private:
    int id = -1;
};

class XrHistoryMapPoint : public XrMapPoint {
public:
    XrHistoryMapPoint() : XrMapPoint(TypeHistory) {}
    XrHistoryMapPoint(const XrCoordinate& c, const XrString& name) : XrMapPoint(TypeHistory, c), name(name) {}
    XrHistoryMapPoint(const XrHistoryMapPoint& other) = default;
    XrHistoryMapPoint& operator=(const XrHistoryMapPoint& other) = default;

    const XrString& get_name() const { return name; }

    // Longitude and latitude exactly equal and the names equal; the
    // validity flag is not compared.
    bool operator==(const XrHistoryMapPoint& o) const
    {
        return coordinate.get_longitude() == o.coordinate.get_longitude() &&
               coordinate.get_latitude() == o.coordinate.get_latitude() && name == o.name;
    }
    bool operator!=(const XrHistoryMapPoint& o) const { return !(*this == o); }

private:
    XrString name;
};

// The settings of one POI class.
class XrPoiSettings {
public:
    enum Kind : int { KindStatic = 0, KindDynamic = 1 };

    // One icon: the loaded bitmap (0: none yet), the icon index (62: the
    // standard POI icon strip), the icon file and the bitmap and mask numbers
    // in it.
    struct XrBitmapData {
        int bm_id = 0;
        int icon_index = 0;
        XrString file;
        int bitmap = 0;
        int mask = 0;
    };

    explicit XrPoiSettings(int kind) : kind(kind) {}
    virtual ~XrPoiSettings() = default;

    int get_kind() const { return kind; }
    void set_kind(int value) { kind = value; }
    int get_class_id() const { return class_id; }
    void set_class_id(int value) { class_id = value; }
    const XrString& get_name() const { return name; }
    void set_name(const XrString& value) { name = value; }
    int is_visible() const { return visible; }
    void set_visible(int value) { visible = value; }
    XrDistance get_distance() const { return distance; }
    void set_distance(const XrDistance& value) { distance = value; }
    XrBitmapData& get_small_bm_data() { return small_bm_data; }
    XrBitmapData& get_normal_bm_data() { return normal_bm_data; }
    XrBitmapData& get_large_bm_data() { return large_bm_data; }
    void set_small_bm_data(const XrBitmapData& d) { small_bm_data = d; }
    void set_normal_bm_data(const XrBitmapData& d) { normal_bm_data = d; }
    void set_large_bm_data(const XrBitmapData& d) { large_bm_data = d; }

private:
    int kind;
    int class_id = -1;
    XrString name;
    int visible = 1;
    XrDistance distance;
    XrBitmapData small_bm_data;
    XrBitmapData normal_bm_data;
    XrBitmapData large_bm_data;
};

class XrStaticPoiSettings : public XrPoiSettings {
public:
    XrStaticPoiSettings() : XrPoiSettings(KindStatic) {}
};

// A POI class made at run time for a dynamic POI set.
class XrDynamicPoiSettings : public XrPoiSettings {
public:
    explicit XrDynamicPoiSettings(int number) : XrPoiSettings(KindDynamic), number(number) {}

    const XrString& get_source() const { return source; }
    void set_source(const XrString& value) { source = value; }
    int get_number() const { return number; }

private:
    XrString source;
    int number;
};

// The version texts of the about dialog.
class XrVersionInfo {
public:
    const XrString& get_app_title() const { return app_title; }
    void set_app_title(const XrString& v) { app_title = v; }
    // The version, "." and the build number.
    const XrString& get_app_version() const { return app_version; }
    void set_app_version(const XrString& v) { app_version = v; }
    const XrString& get_app_full_version() const { return app_full_version; }
    void set_app_full_version(const XrString& v) { app_full_version = v; }
    const XrString& get_map_data_version() const { return map_data_version; }
    void set_map_data_version(const XrString& v) { map_data_version = v; }
    const XrString& get_map_vendor() const { return map_vendor; }
    void set_map_vendor(const XrString& v) { map_vendor = v; }
    const XrString& get_map_copyright_year() const { return map_copyright_year; }
    void set_map_copyright_year(const XrString& v) { map_copyright_year = v; }
    const XrString& get_map_version() const { return map_version; }
    void set_map_version(const XrString& v) { map_version = v; }

private:
    XrString app_title;
    XrString app_version;
    XrString app_full_version;
    XrString map_data_version;
    XrString map_vendor;
    XrString map_copyright_year;
    XrString map_version;
};
