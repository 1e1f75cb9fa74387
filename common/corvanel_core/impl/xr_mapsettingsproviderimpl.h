// The map settings kept in the map folder's "?:\mapdata\map_settings_v2.txt":
// read when a map has been opened, back to their defaults when it closes.
#pragma once

#include <memory>

#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_mapsettingsprovider.h"

class XrConfiguration;

class XrMapSettingsProviderImpl : public XrMapSettingsProvider, public XrMapListener {
public:
    static constexpr const TCHAR* file_path = L"?:\\mapdata\\map_settings_v2.txt";

    // Listens to the registered map provider.
    XrMapSettingsProviderImpl();
    ~XrMapSettingsProviderImpl() override;

    bool save(bool silent) override;

    int get_measurement_system() override;
    void set_measurement_system(int value) override { measurement_system = value; }
    bool get_right_side_traffic() override { return right_side_traffic; }
    void get_default_view(XrCoordinate& centre, int& scale, int& perspective, int& rotation, int& view_mode) override;
    void set_default_view(const XrCoordinate& centre, int scale, int perspective, int rotation,
                          int view_mode) override;
    void set_default_view_flag(int view_mode) override { default_view_flag = view_mode; }
    int get_latest_searched_poi_category() override { return latest_searched_poi_category; }
    void set_latest_searched_poi_category(int v) override { latest_searched_poi_category = v; }
    int get_reserved_value() override { return 0; }
    const XrDatetime& get_speedcam_latest_update() override { return speedcam_latest_update; }
    void set_speedcam_latest_update(const XrDatetime& v) override { speedcam_latest_update = v; }
    int get_speedcam_db_size() override { return speedcam_db_size; }
    void set_speedcam_db_size(int v) override { speedcam_db_size = v; }
    const XrString& get_speedcam_latest_checksum() override { return speedcam_latest_checksum; }
    void set_speedcam_latest_checksum(const XrString& v) override { speedcam_latest_checksum = v; }
    void set_abbreviations(XrArray<XrString>* list) override { abbreviations.reset(list); }
    XrArray<XrString>* get_abbreviations() override { return abbreviations.get(); }
    XrString get_last_filter() override { return last_filter; }
    void set_last_filter(const XrString& v) override { last_filter = v; }

    // Reads the file.
    void map_initialized() override;
    // Back to the defaults.
    void map_closing() override;

    // Reads the file (made empty when missing); a file that cannot be read
    // leaves the values set before the read.
    void read_map_settings_file();

private:
    void read_default_view(const XrString& text);
    bool write_file();

    int measurement_system = 0;
    bool right_side_traffic = true;
    XrCoordinate default_view_coordinate;
    int default_view_scale = 7650;
    int default_view_perspective = 2;
    int default_view_rotation = 0;
    int default_view_flag = 0;
    int latest_searched_poi_category = 0;
    XrDatetime speedcam_latest_update;
    int speedcam_db_size = 0;
    XrString speedcam_latest_checksum;
    std::unique_ptr<XrArray<XrString>> abbreviations;
    XrString last_filter;
};
