// The service aggregate (reply routing, services made per map, storages in
// the map) and the speed-camera service (check, download, verification,
// installation as a POI extension), on the demo card with the controller's
// providers.
#include "apps/apps_common/xr_serviceaggregate.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "apps/apps_common/xr_naviapp.h"
#include "apps/maemo_map/navigator_run.h"
#include "apps/services/xr_speedcamservice.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_mapsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_poiprovider.h"
#include "common/corvanel_core/interfaces/xr_serviceprovider.h"
#include "common/db/xr_aggregategeomstorage.h"
#include "common/db/xr_datasource.h"
#include "common/misc/xr_msgids.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/extension_writer.h"
#include "tools/mapgen/xrqt_writer.h"

namespace {

class TestApp : public XrNaviApp {
public:
    void create_position_provider() override {}
    void exit_application() override {}
};

std::wstring wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
std::string narrow(const XrString& s)
{
    const std::wstring w(s.c_str());
    return std::string(w.begin(), w.end());
}

// The file system's name of a resolved path.
std::string native(const XrString& path)
{
    std::string out = narrow(path);
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

struct Outcome {
    int code = -1;
    std::wstring text;
};

class RecordingListener : public XrServiceListener {
public:
    void service_result(int result, const TCHAR* text) override
    {
        results.push_back({result, text != nullptr ? text : L""});
        if (log != nullptr)
            log->push_back("listener " + std::to_string(result));
    }
    std::vector<Outcome> results;
    std::vector<std::string>* log = nullptr;
};

// A service that records what reaches it.
class RecordingService : public XrService {
public:
    RecordingService(int type, int server_id, std::vector<std::string>* log) : type(type), server_id(server_id), log(log)
    {
        name = XrString(L"recording");
    }
    bool configure(XrServiceHelper*, XrProjection*) override { return true; }
    int request(const XrString*, XrServComClient*, XrServiceListener*) override { return 1; }
    int get_type() const override { return type; }
    XrServiceStatus* get_status() override { return new XrServiceStatus(); }
    void receive_data(int a, int b, Status status, const XrString*, XrPropertyBag* payload,
                      XrServiceListener*) override
    {
        log->push_back("service " + std::to_string(server_id) + " status " + std::to_string(status) + " a " +
                       std::to_string(a) + " b " + std::to_string(b) + (payload != nullptr ? " payload" : ""));
    }
    int get_server_id() const override { return server_id; }

    int type;
    int server_id;
    std::vector<std::string>* log;
};

// An aggregate without a channel whose services are two recording ones.
class RoutingAggregate : public XrServiceAggregate {
public:
    std::vector<std::string> log;

protected:
    XrServCom* acquire_channel() override { return nullptr; }
    void create_services() override
    {
        add_service(new RecordingService(2, 2, &log));
        add_service(new RecordingService(3, 4, &log));
    }
};

// A further client that records the payload it is handed.
class FurtherClient : public XrServComClient {
public:
    void reply_received(int status, int, const XrString&, const XrString&, int id, int, int,
                        XrPropertyBag* payload) override
    {
        calls.push_back(std::to_string(status) + "/" + std::to_string(id));
        delete payload;
    }
    std::vector<std::string> calls;
};

TEST(ServiceAggregate, RepliesReachTheServiceOfTheirServerId)
{
    struct Case {
        const char* what;
        int status;
        int server_id;
        std::vector<std::string> expected; // service calls, then listener results
    } cases[] = {
        {"success to traffic", XR_SERVCOM_OK, 2, {"service 2 status 0 a 7 b 8 payload"}},
        {"success to speed cameras", XR_SERVCOM_OK, 4, {"service 4 status 0 a 7 b 8 payload"}},
        {"cancelled: service first, then the listener", XR_SERVCOM_CANCELLED, 4,
         {"service 4 status 1 a 7 b 8 payload", "listener 2"}},
        {"time-out counts as failed", XR_SERVCOM_TIMEOUT, 2, {"service 2 status 2 a 7 b 8 payload", "listener 1"}},
        {"an unknown server id reaches nobody", XR_SERVCOM_OK, 3, {}},
    };
    for (const Case& c : cases) {
        RoutingAggregate aggregate;
        aggregate.initialize_services(nullptr);
        RecordingListener listener;
        listener.log = &aggregate.log;
        aggregate.route_reply(c.status, XrString(L"title"), c.server_id, 7, 8, new XrPropertyBag(), nullptr,
                              &listener);
        EXPECT_EQ(aggregate.log, c.expected) << c.what;
        if (c.status == XR_SERVCOM_TIMEOUT) {
            ASSERT_EQ(listener.results.size(), 1u);
            EXPECT_EQ(listener.results[0].text, L"title"); // the failure's title
        }
    }
}

TEST(ServiceAggregate, AFurtherClientTakesThePayload)
{
    RoutingAggregate aggregate;
    aggregate.initialize_services(nullptr);
    FurtherClient further;
    aggregate.route_reply(XR_SERVCOM_OK, XrString(), 4, 1, 1, new XrPropertyBag(), &further, nullptr);
    aggregate.route_reply(XR_SERVCOM_OK, XrString(), 3, 1, 1, new XrPropertyBag(), &further, nullptr);
    EXPECT_EQ(further.calls, (std::vector<std::string>{"0/4", "0/3"}));
}

TEST(ServiceAggregate, FindCallAndListenersByType)
{
    RoutingAggregate aggregate;
    EXPECT_EQ(aggregate.find_service(3), nullptr);
    EXPECT_EQ(aggregate.call_service(3, nullptr, nullptr, nullptr), 0);
    aggregate.initialize_services(nullptr);
    ASSERT_NE(aggregate.find_service(3), nullptr);
    EXPECT_EQ(aggregate.find_service(3)->get_server_id(), 4);
    EXPECT_EQ(aggregate.call_service(3, nullptr, nullptr, nullptr), 1);

    RecordingListener traffic, cameras;
    aggregate.add_service_listener(2, &traffic);
    aggregate.add_service_listener(3, &cameras);
    aggregate.notify_service_listeners(aggregate.find_service(3));
    EXPECT_TRUE(traffic.results.empty());
    ASSERT_EQ(cameras.results.size(), 1u);
    EXPECT_EQ(cameras.results[0].code, XrServiceListener::DONE);
    aggregate.remove_service_listener(3, &cameras);
    aggregate.notify_service_listeners(aggregate.find_service(3));
    EXPECT_EQ(cameras.results.size(), 1u);
}

TEST(ServiceAggregate, Md5HexOfBytes)
{
    const std::string abc = "abc";
    char hex[33];
    XrServiceHelper::compute_md5_hex(reinterpret_cast<const BYTE*>(abc.data()), abc.size(), hex);
    EXPECT_STREQ(hex, "900150983cd24fb0d6963f7d28e17f72");
    struct Case {
        const wchar_t* text;
        bool ok;
    } cases[] = {{L"900150983cd24fb0d6963f7d28e17f72", true},
                 {L"900150983cd24fb0d6963f7d28e17f7", false},   // 31 characters
                 {L"900150983cd24fb0d6963f7d28e17f72a", false}, // 33
                 {L"900150983CD24FB0D6963F7D28E17F72", false},  // upper case
                 {L"", false}};
    for (const Case& c : cases)
        EXPECT_EQ(XrServiceHelper::check_md5_hex(reinterpret_cast<const BYTE*>(abc.data()), abc.size(),
                                                 XrString(c.text)),
                  c.ok)
            << std::wstring(c.text).size();
}

// ---- with the controller on the demo card

class ServicesOnCard : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(xr_own_process_display()); }
    void SetUp() override
    {
        xr_install_demo_card(root);
        app = std::make_unique<TestApp>();
        ASSERT_TRUE(app->construct());
        aggregate = app->get_service_aggregate();
        ASSERT_NE(aggregate, nullptr);
    }
    bool has_storage(const XrString& name)
    {
        XrAggregateGeomStorage* pois = xr_poi_layer_storage();
        for (int i = 0; pois != nullptr && i < pois->get_member_count(); ++i)
            if (pois->get_member(i)->get_name() == name)
                return true;
        return false;
    }
    XrTempRoot root;
    std::unique_ptr<TestApp> app;
    XrServiceAggregate* aggregate = nullptr;
};

TEST_F(ServicesOnCard, TheProgramsAggregateMakesItsServicesPerMap)
{
    auto* provider = xr_registered<XrServiceProvider>(L"XrServiceProvider");
    ASSERT_NE(provider, nullptr);
    EXPECT_EQ(provider->get_service_aggregate(), aggregate);
    XrService* cameras = aggregate->find_service(XrService::TYPE_SPEEDCAM);
    ASSERT_NE(cameras, nullptr);
    EXPECT_EQ(cameras->get_name(), XrString(R_STR_SPEED_CAMERAS));
    EXPECT_TRUE(has_storage(cameras->get_name()));
    EXPECT_NE(aggregate->get_channel(), nullptr);

    // The map closing takes the services and their storages; the next map
    // makes them again with fresh storages.
    aggregate->map_closing();
    EXPECT_EQ(aggregate->find_service(XrService::TYPE_SPEEDCAM), nullptr);
    EXPECT_FALSE(has_storage(XrString(R_STR_SPEED_CAMERAS)));
    aggregate->map_initialized();
    ASSERT_NE(aggregate->find_service(XrService::TYPE_SPEEDCAM), nullptr);
    EXPECT_TRUE(has_storage(XrString(R_STR_SPEED_CAMERAS)));
    int storages = 0;
    XrAggregateGeomStorage* pois = xr_poi_layer_storage();
    for (int i = 0; i < pois->get_member_count(); ++i)
        storages += pois->get_member(i)->get_name() == XrString(R_STR_SPEED_CAMERAS) ? 1 : 0;
    EXPECT_EQ(storages, 1);
}

// What the service sends, without a server.
class SendingHelper : public XrServiceHelper {
public:
    XrServComMessage* send_request(XrService*, int a, int b, XrPropertyBag* payload, const XrString*,
                                   XrServComClient*, XrServiceListener*) override
    {
        sent.push_back(a * 10 + b);
        countries = payload->get_value_count(0);
        delete payload;
        return nullptr;
    }
    void cancel_request(XrServComMessage**) override {}
    int get_country_count() override { return 2; }
    void get_country_name(int index, XrString& name) override { name = index == 0 ? L"Atlantis" : L"Lemuria"; }
    XrStorageConfiguration* open_configuration(const XrString&) override { return nullptr; }
    bool add_timeout(XrEventHandler*, int, int, int) override { return false; }
    void remove_timeout(XrEventHandler*, int) override {}
    void redraw_map() override {}
    std::vector<int> sent;
    int countries = 0;
};

std::string md5_hex(const std::vector<BYTE>& bytes)
{
    char hex[33];
    XrServiceHelper::compute_md5_hex(bytes.data(), bytes.size(), hex);
    return hex;
}

// A check reply's payload.
XrPropertyBag* check_reply(const std::wstring& checksum)
{
    auto* data = new XrPropertyBag();
    data->add_string(XrSpeedCamService::KEY_CHECKSUM, XrString(checksum.c_str()));
    auto* payload = new XrPropertyBag();
    payload->add_bag(XrSpeedCamService::KEY_DATA, data);
    return payload;
}

XrPropertyBag* download_reply(const std::vector<BYTE>& bytes)
{
    auto* blob = new XrByteArray();
    blob->set(bytes.data(), static_cast<int>(bytes.size()));
    auto* data = new XrPropertyBag();
    data->add_blob(XrSpeedCamService::KEY_DATABASE, blob);
    auto* payload = new XrPropertyBag();
    payload->add_bag(XrSpeedCamService::KEY_DATA, data);
    return payload;
}

class SpeedCams : public ServicesOnCard {
protected:
    void SetUp() override
    {
        ServicesOnCard::SetUp();
        map_settings = xr_registered<XrMapSettingsProvider>(L"XrMapSettingsProvider");
        ASSERT_NE(map_settings, nullptr);
        service.configure(&helper, nullptr);
    }
    // A speed-camera set as the server sends it: an extension file with a
    // POI set and its geometry.
    std::vector<BYTE> camera_database()
    {
        XrTextGeomRec rec(1, 100, 100, 0, 0, "Camera");
        std::vector<XrGeomRec*> recs = {&rec};
        const std::string qt = root.dir() + "/cameras.qt";
        std::string error;
        EXPECT_TRUE(write_xrqt(qt, recs, XrGeomFileOptions(), error)) << error;
        std::ifstream in(qt, std::ios::binary);
        std::vector<BYTE> geometry((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string poi = "REGEDIT4\r\n[\\data]\r\n0=Speed cameras\r\ndata=speedcams.qt\r\ninternal_type=1\r\n";
        XrExtensionFileDef def;
        def.items = {{"e:/poi/speedcams/speedcams.poi", std::vector<BYTE>(poi.begin(), poi.end())},
                     {"e:/poi/speedcams/speedcams.qt", geometry}};
        return build_extension_file(def);
    }
    bool camera_set_loaded()
    {
        auto* pois = xr_registered<XrPoiProvider>(L"XrPoiProvider");
        for (int i = 0; i < pois->get_poi_settings().get_num_items(); ++i)
            if ((*pois->get_poi_settings().get_item_ptr(i))->get_name() == XrString(L"Speed cameras"))
                return true;
        return false;
    }
    void receive(XrPropertyBag* payload)
    {
        service.receive_data(0, 0, XrService::SUCCEEDED, nullptr, payload, &listener);
        delete payload;
    }
    void mark_installed(const std::string& checksum)
    {
        map_settings->set_speedcam_db_size(1234);
        map_settings->set_speedcam_latest_checksum(XrString(wide(checksum).c_str()));
        service.configure(&helper, nullptr);
    }

    SendingHelper helper;
    XrSpeedCamService service;
    RecordingListener listener;
    XrMapSettingsProvider* map_settings = nullptr;
};

TEST_F(SpeedCams, CheckRepliesDecideTheDownload)
{
    const std::string known(32, 'a');
    struct Case {
        const char* what;
        bool installed;
        std::wstring checksum; // empty: no data bag
        std::vector<int> sent; // check 11, download 21
        int result;            // -1: none yet
        int text;
    } cases[] = {
        {"same checksum, installed: up to date", true, std::wstring(32, L'a'), {11}, XrServiceListener::DONE,
         R_STR_DATABASE_IS_UPTODATE},
        {"same checksum, nothing installed: download", false, std::wstring(32, L'a'), {11, 21}, -1, 0},
        {"another checksum: download", true, std::wstring(32, L'b'), {11, 21}, -1, 0},
        {"31 characters: corrupt", true, std::wstring(31, L'a'), {11}, XrServiceListener::FAILED,
         R_STR_SAFETY_CAMERA_CORRUPT_DATA},
        {"no data bag", true, L"", {11}, XrServiceListener::FAILED, R_STR_SAFETY_CAMERA_NO_DATA},
    };
    for (const Case& c : cases) {
        helper.sent.clear();
        listener.results.clear();
        map_settings->set_speedcam_db_size(c.installed ? 1234 : 0);
        map_settings->set_speedcam_latest_checksum(XrString(wide(known).c_str()));
        service.configure(&helper, nullptr);
        service.request(nullptr, nullptr, &listener);
        EXPECT_EQ(helper.countries, 2) << c.what; // every country of the map
        receive(c.checksum.empty() ? new XrPropertyBag() : check_reply(c.checksum));
        EXPECT_EQ(helper.sent, c.sent) << c.what;
        if (c.result < 0) {
            EXPECT_TRUE(listener.results.empty()) << c.what;
        } else {
            ASSERT_EQ(listener.results.size(), 1u) << c.what;
            EXPECT_EQ(listener.results[0].code, c.result) << c.what;
            EXPECT_EQ(XrString(listener.results[0].text.c_str()), XrString(c.text)) << c.what;
        }
    }
}

TEST_F(SpeedCams, AVerifiedDownloadIsInstalledAndLoaded)
{
    const std::vector<BYTE> database = camera_database();
    service.request(nullptr, nullptr, &listener);
    receive(check_reply(wide(md5_hex(database))));
    receive(download_reply(database));
    ASSERT_EQ(listener.results.size(), 1u);
    EXPECT_EQ(listener.results[0].code, XrServiceListener::DONE);
    EXPECT_EQ(XrString(listener.results[0].text.c_str()), XrString(R_STR_UPDATE_SUCCESSFUL));
    EXPECT_TRUE(service.is_installed());
    EXPECT_EQ(map_settings->get_speedcam_db_size(), static_cast<int>(database.size()));
    EXPECT_EQ(map_settings->get_speedcam_latest_checksum(), XrString(wide(md5_hex(database)).c_str()));
    EXPECT_TRUE(camera_set_loaded());
    XrServiceStatus* status = service.get_status();
    EXPECT_EQ(status->value, static_cast<int>(database.size()));
    delete status;
}

TEST_F(SpeedCams, AFailedDownloadKeepsTheInstalledDatabase)
{
    const std::vector<BYTE> database = camera_database();
    std::vector<BYTE> damaged = database;
    damaged.resize(damaged.size() / 2);
    const std::string garbage_text = "not an extension file";
    const std::vector<BYTE> garbage(garbage_text.begin(), garbage_text.end());
    struct Case {
        const char* what;
        std::string announced;
        std::vector<BYTE> sent;
        int text;
    } cases[] = {
        {"bytes that are not the announced database", md5_hex(database), damaged,
         R_STR_SAFETY_CAMERA_CORRUPT_DATA},
        {"a verified file that does not install", md5_hex(garbage), garbage, R_STR_SAFETY_CAMERA_CORRUPT_DATA},
    };
    for (const Case& c : cases) {
        mark_installed(std::string(32, 'c'));
        listener.results.clear();
        service.request(nullptr, nullptr, &listener);
        receive(check_reply(wide(c.announced)));
        receive(download_reply(c.sent));
        ASSERT_EQ(listener.results.size(), 1u) << c.what;
        // Reported as a failure, never as done.
        EXPECT_EQ(listener.results[0].code, XrServiceListener::FAILED) << c.what;
        EXPECT_EQ(XrString(listener.results[0].text.c_str()), XrString(c.text)) << c.what;
        EXPECT_EQ(map_settings->get_speedcam_db_size(), 1234) << c.what;
        EXPECT_EQ(map_settings->get_speedcam_latest_checksum(), XrString(wide(std::string(32, 'c')).c_str()))
            << c.what;
        EXPECT_FALSE(std::filesystem::exists(native(XrSpeedCamService::database_path()))) << c.what;
    }
}

TEST_F(SpeedCams, StatusFollowsInstallationAndTheAlertSetting)
{
    auto* settings = xr_registered<XrAppSettingsProvider>(L"XrAppSettingsProvider");
    struct Case {
        bool installed;
        bool alerts;
        int status;
        int text;
    } cases[] = {{true, true, 3, R_STR_SAFETY_CAMERA_OK},
                 {false, true, 5, R_STR_SAFETY_CAMERA_NOT_INSTALLED},
                 {true, false, -1, R_STR_DISABLED},
                 {false, false, -1, R_STR_DISABLED}};
    for (const Case& c : cases) {
        map_settings->set_speedcam_db_size(c.installed ? 99 : 0);
        map_settings->set_speedcam_latest_checksum(XrString(wide(std::string(32, 'd')).c_str()));
        settings->set_trafficcam_alert(c.alerts);
        service.configure(&helper, nullptr);
        std::unique_ptr<XrServiceStatus> status(service.get_status());
        EXPECT_EQ(status->status, c.status);
        EXPECT_EQ(status->text, XrString(c.text));
        EXPECT_EQ(status->date != nullptr, c.installed);
    }
}

} // namespace
