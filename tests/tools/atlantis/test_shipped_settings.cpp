// The shipped default settings file, as start-up copies it to a first-time
// user: it reads back as the values of a new settings object and needs no
// rewrite.
#include <gtest/gtest.h>

#include <string>

#include "common/corvanel_core/impl/provider_files.h"
#include "common/corvanel_core/impl/xr_appsettingsproviderimpl.h"

namespace {

TEST(ShippedSettings, ReadAsTheDefaultsOfANewObject)
{
    ProviderFiles files;
    const std::string shipped =
        ProviderFiles::read(std::string(XR_STAGE_DIR) + "/usr/share/kestrova/settings.txt");
    ASSERT_FALSE(shipped.empty());
    files.write(files.user_file("settings.txt"), shipped);
    XrAppSettingsProviderImpl fresh;
    XrAppSettingsProviderImpl read;
    read.read_app_settings_file();
    EXPECT_EQ(read.get_autozoom(), fresh.get_autozoom());
    EXPECT_EQ(read.get_volume(), fresh.get_volume());
    EXPECT_EQ(read.get_gps_autoconnect(), fresh.get_gps_autoconnect());
    EXPECT_EQ(read.get_gps_port(), fresh.get_gps_port());
    EXPECT_EQ(read.get_powersave(), fresh.get_powersave());
    EXPECT_EQ(read.get_trafficcam_alert(), fresh.get_trafficcam_alert());
    EXPECT_EQ(read.get_antialias_mode(), fresh.get_antialias_mode());
    EXPECT_EQ(read.get_tollroads(), fresh.get_tollroads());
    EXPECT_EQ(read.get_ferry(), fresh.get_ferry());
    EXPECT_EQ(read.get_theme(), fresh.get_theme());
    EXPECT_EQ(read.get_beacon_interval(), fresh.get_beacon_interval());
    EXPECT_EQ(read.get_beacon_radius().to_display_string(XrDistance::Metric, 0),
              fresh.get_beacon_radius().to_display_string(XrDistance::Metric, 0));
    EXPECT_EQ(read.get_server_port(), fresh.get_server_port());
    EXPECT_EQ(read.get_timeout(), fresh.get_timeout());
    EXPECT_EQ(read.get_routing_option(), fresh.get_routing_option());
    EXPECT_EQ(read.get_update_interval(), fresh.get_update_interval());
    EXPECT_EQ(read.get_route_type(), fresh.get_route_type());
    EXPECT_EQ(read.get_toolbar_visible(true), fresh.get_toolbar_visible(true));
    EXPECT_EQ(read.get_toolbar_visible(false), fresh.get_toolbar_visible(false));
    EXPECT_TRUE(read.get_server_address() == XrString(XrAppSettingsProviderImpl::default_server));
}

} // namespace
