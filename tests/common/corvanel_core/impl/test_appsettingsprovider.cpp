#include "common/corvanel_core/impl/xr_appsettingsproviderimpl.h"
#include "common/corvanel_core/impl/provider_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

class AppSettingsTest : public ::testing::Test {
protected:
    // Reads a settings file with the given sections.
    void read(const std::string& body)
    {
        files.write(files.user_file("settings.txt"), "REGEDIT4\r\n" + body);
        settings.read_app_settings_file();
    }
    std::string saved() const { return ProviderFiles::read(files.user_file("settings.txt")); }

    ProviderFiles files;
    XrAppSettingsProviderImpl settings;
};

constexpr const char* current = "[\\settings]\r\nsettings_compatibility=2.2.8\r\n";

} // namespace

TEST_F(AppSettingsTest, TimeoutKeepsOnlyItsFourValues)
{
    const struct {
        const char* text;
        int expected;
    } cases[] = {{"45", 90}, {"30", 30}, {"60", 60}, {"120", 120}, {"x", 90}};
    for (const auto& c : cases) {
        read(std::string(current) + "[\\server]\r\ntimeout=" + c.text + "\r\n");
        EXPECT_EQ(settings.get_timeout(), c.expected) << c.text;
    }
}

TEST_F(AppSettingsTest, AnOlderFileReadsTimeoutAsNinety)
{
    read("[\\settings]\r\nsettings_compatibility=2.2.7\r\n[\\server]\r\ntimeout=30\r\n");
    EXPECT_EQ(settings.get_timeout(), 90);
    settings.save(true);
    EXPECT_NE(saved().find("settings_compatibility=2.2.8"), std::string::npos);
}

TEST_F(AppSettingsTest, UpdateIntervalOutsideItsSetIsZero)
{
    EXPECT_EQ(settings.get_update_interval(), 10); // never read
    read(std::string(current) + "[\\traffic]\r\nupdateinterval=20\r\n");
    EXPECT_EQ(settings.get_update_interval(), 0);
    read(std::string(current) + "[\\traffic]\r\nupdateinterval=30\r\n");
    EXPECT_EQ(settings.get_update_interval(), 30);
    read(current);
    EXPECT_EQ(settings.get_update_interval(), 0);
}

TEST_F(AppSettingsTest, ReceiverAddress)
{
    read(std::string(current) + "[\\gps]\r\nautoconnect=0\r\nport=3\r\naddr=001122334455\r\n");
    const unsigned char want[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    EXPECT_EQ(std::memcmp(settings.get_gps_address(), want, 6), 0);
    EXPECT_FALSE(settings.get_gps_autoconnect());
    EXPECT_EQ(settings.get_gps_port(), 3);

    for (const char* bad : {"00112233445", "0011zz334455", "00112233445566"}) {
        read(std::string(current) + "[\\gps]\r\nautoconnect=0\r\nport=3\r\naddr=" + bad + "\r\n");
        EXPECT_TRUE(settings.get_gps_autoconnect()) << bad;
        EXPECT_EQ(settings.get_gps_port(), -1) << bad;
    }
    read(std::string(current) + "[\\gps]\r\nautoconnect=0\r\nname=car\r\n");
    EXPECT_TRUE(settings.get_gps_autoconnect());
    EXPECT_EQ(settings.get_gps_port(), -1);
    EXPECT_EQ(settings.get_gps_name(), L"car");
}

TEST_F(AppSettingsTest, ServerPortOutsideTheRangeIsEighty)
{
    const int cases[][2] = {{0, 80}, {70000, 80}, {-1, 80}, {65535, 65535}, {1, 1}};
    for (const auto& c : cases) {
        settings.set_server_port(c[0]);
        EXPECT_EQ(settings.get_server_port(), c[1]) << c[0];
    }
}

TEST_F(AppSettingsTest, AtMostEightBeaconRecipients)
{
    std::string body = std::string(current) + "[\\beacon\\recipients]\r\n";
    for (int i = 0; i < 9; ++i)
        body += std::to_string(i) + "=+35840000000" + std::to_string(i) + "\r\n";
    read(body);
    ASSERT_EQ(settings.get_beacon_recipients().get_num_items(), 8);
    EXPECT_EQ(*settings.get_beacon_recipients().get_item_ptr(7), L"+358400000007");
}

TEST_F(AppSettingsTest, ClampedValuesOfTheSettingsSection)
{
    read("[\\settings]\r\nsettings_compatibility=2.2.8\r\ntollroads=5\r\nferry=1\r\ntheme=3\r\nsounds=7\r\n"
         "route_type=9\r\nantialias=0\r\n[\\beacon]\r\nautostart=4\r\n");
    EXPECT_EQ(settings.get_tollroads(), 2);
    EXPECT_EQ(settings.get_ferry(), 1);
    EXPECT_EQ(settings.get_theme(), 0);
    EXPECT_EQ(settings.get_volume(), XrAppSettingsProvider::VolumeHigh);
    EXPECT_EQ(settings.get_route_type(), 0);
    EXPECT_EQ(settings.get_antialias_mode(), 1);
    EXPECT_EQ(settings.get_beacon_autostart(), 2);
}

TEST_F(AppSettingsTest, RoundTripKeepsUnknownKeysAndWritesTheValues)
{
    read(std::string(current) + "future_option=on\r\n[\\vendor]\r\nanswer=42\r\n[\\server]\r\naddress=example.net\r\n");
    settings.set_beacon_radius(XrDistance(250.0, XrDistance::Metres));
    settings.clear_beacon_recipients();
    settings.add_beacon_recipient(XrString(L"a"));
    settings.add_beacon_recipient(XrString(L"b"));
    const unsigned char addr[6] = {0xab, 1, 2, 3, 4, 0xff};
    settings.set_gps_address(addr);
    settings.set_positioning_provider(XrString(L"GPSD"));
    ASSERT_TRUE(settings.save(true));

    const std::string text = saved();
    for (const char* line : {"future_option=on", "answer=42", "radius=25000", "addr=ab01020304ff", "provider=GPSD",
                             "address=example.net", "0=a", "1=b"})
        EXPECT_NE(text.find(line), std::string::npos) << line;

    XrAppSettingsProviderImpl again;
    again.read_app_settings_file();
    double m = 0;
    ASSERT_TRUE(again.get_beacon_radius().get_value(m, XrDistance::Metres));
    EXPECT_DOUBLE_EQ(m, 250.0);
    EXPECT_EQ(again.get_beacon_recipients().get_num_items(), 2);
    EXPECT_EQ(again.get_positioning_provider(), L"GPSD");
    EXPECT_EQ(std::memcmp(again.get_gps_address(), addr, 6), 0);
    EXPECT_EQ(again.get_string(XrString(L"future_option"), XrString()), L"on");
}

TEST_F(AppSettingsTest, AMissingFileIsMadeAndTheDefaultsHold)
{
    settings.read_app_settings_file();
    EXPECT_TRUE(std::filesystem::exists(files.user_file("settings.txt")));
    EXPECT_EQ(settings.get_timeout(), 90);
    EXPECT_EQ(settings.get_update_interval(), 0);
    EXPECT_FALSE(settings.get_powersave());
    EXPECT_EQ(settings.get_server_address(), XrAppSettingsProviderImpl::default_server);
}

namespace {

class Listener : public XrAppSettingsListener {
public:
    Listener(std::vector<int>& log, int id) : log(log), id(id) {}
    void settings_changed() override { log.push_back(id); }
    std::vector<int>& log;
    int id;
};

} // namespace

TEST_F(AppSettingsTest, SaveTellsListenersInOrderUnlessSilent)
{
    std::vector<int> log;
    Listener a(log, 1), b(log, 2);
    settings.add_listener(&a);
    settings.add_listener(&b);
    settings.save(true);
    EXPECT_TRUE(log.empty());
    settings.save(false);
    EXPECT_EQ(log, (std::vector<int>{1, 2}));
}

TEST_F(AppSettingsTest, AFailedWriteIsReportedAndListenersAreStillTold)
{
    std::vector<int> log;
    Listener a(log, 1);
    settings.add_listener(&a);
    std::filesystem::create_directories(files.user_file("settings.txt")); // a folder in the way
    EXPECT_FALSE(settings.save(false));
    EXPECT_EQ(log.size(), 1u);
}
