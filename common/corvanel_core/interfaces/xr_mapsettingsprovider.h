// The settings that belong to the installed map: units, driving side, the
// start view, the POI category last searched, the speed-camera database
// state and the address search's upper-county list and filter. Registered as
// "XrMapSettingsProvider"; save() tells the listeners.
#pragma once

#include "common/container/xr_array.h"
#include "common/container/xr_string.h"
#include "common/corvanel_core/interfaces/xr_settingsprovider.h"
#include "common/types/xr_coordinate.h"
#include "common/types/xr_datetime.h"

class XrMapSettingsListener {
public:
    virtual ~XrMapSettingsListener() = default;
    virtual void map_settings_changed() = 0;
};

class XrMapSettingsProvider : public XrFileSettingsProvider, public XrObservable<XrMapSettingsListener> {
public:
    ~XrMapSettingsProvider() override = default;

    // 0 metric, 1 and 2 the two other systems; metric whenever the
    // translation does not allow a switch.
    virtual int get_measurement_system() = 0;
    virtual void set_measurement_system(int value) = 0;
    virtual bool get_right_side_traffic() = 0;
    virtual void get_default_view(XrCoordinate& centre, int& scale, int& perspective, int& rotation,
                                  int& view_mode) = 0;
    virtual void set_default_view(const XrCoordinate& centre, int scale, int perspective, int rotation,
                                  int view_mode) = 0;
    // The view mode of the start view: 1 = 3D.
    virtual void set_default_view_flag(int view_mode) = 0;
    virtual int get_latest_searched_poi_category() = 0;
    virtual void set_latest_searched_poi_category(int value) = 0;
    virtual int get_reserved_value() = 0;
    virtual const XrDatetime& get_speedcam_latest_update() = 0;
    virtual void set_speedcam_latest_update(const XrDatetime& value) = 0;
    virtual int get_speedcam_db_size() = 0;
    virtual void set_speedcam_db_size(int value) = 0;
    virtual const XrString& get_speedcam_latest_checksum() = 0;
    virtual void set_speedcam_latest_checksum(const XrString& value) = 0;
    // Takes ownership of the list (null allowed), deleting the one held.
    virtual void set_abbreviations(XrArray<XrString>* list) = 0;
    virtual XrArray<XrString>* get_abbreviations() = 0;
    virtual XrString get_last_filter() = 0;
    virtual void set_last_filter(const XrString& value) = 0;
};
