// The traffic service on the demo card: a round of requests over the
// map's countries, replies of every kind, updates of the data files, the
// status and the refresh after a failed exchange.
#include "apps/services/xr_trafficservice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "apps/apps_common/xr_naviapp.h"
#include "apps/maemo_map/navigator_run.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/misc/xr_msgids.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/gdiff_writer.h"
#include "tools/mapgen/trafficdata_writer.h"

#include "service_test_support.h"

namespace {

using namespace service_test;

// What the service asks of the application, without a server.
class RecordingHelper : public XrServiceHelper {
public:
    struct Sent {
        int header;
        std::string code;
    };
    XrServComMessage* send_request(XrService*, int, int, XrPropertyBag* payload, const XrString*, XrServComClient*,
                                   XrServiceListener*) override
    {
        std::int32_t header = -1;
        XrString code;
        payload->get_int(XrTrafficService::KEY_HEADER, 0, header);
        payload->get_string(XrTrafficService::KEY_CODE, 0, code);
        sent.push_back({header, narrow(code)});
        delete payload;
        return nullptr;
    }
    void cancel_request(XrServComMessage**) override {}
    int get_country_count() override { return 2; }
    void get_country_name(int index, XrString& name) override { name = index == 0 ? L"ATL" : L"LEM"; }
    XrStorageConfiguration* open_configuration(const XrString&) override { return nullptr; }
    bool add_timeout(XrEventHandler*, int seconds, int, int id) override
    {
        armed[id] = seconds;
        return true;
    }
    void remove_timeout(XrEventHandler*, int id) override { armed.erase(id); }
    void redraw_map() override {}
    std::vector<Sent> sent;
    std::map<int, int> armed;
};

XrPropertyBag* reply(int kind, const wchar_t* code, const std::vector<BYTE>* data = nullptr,
                     const std::string* digest = nullptr)
{
    auto* bag = new XrPropertyBag();
    bag->add_int(XrTrafficService::KEY_KIND, kind);
    bag->add_string(XrTrafficService::KEY_CODE, XrString(code));
    bag->add_string(XrTrafficService::KEY_LANGUAGE, XrString(L"eng"));
    if (data != nullptr) {
        auto* blob = new XrByteArray();
        blob->set(data->data(), static_cast<int>(data->size()));
        bag->add_blob(XrTrafficService::KEY_DATA, blob);
    }
    if (digest != nullptr)
        bag->add_string(XrTrafficService::KEY_DIGEST, XrString(std::wstring(digest->begin(), digest->end()).c_str()));
    return bag;
}

std::string md5(const std::vector<BYTE>& bytes)
{
    char hex[33];
    XrServiceHelper::compute_md5_hex(bytes.data(), bytes.size(), hex);
    return hex;
}

XrTrafficFileDef atlantis_events(std::uint32_t version, int count)
{
    XrTrafficFileDef f;
    f.header_value = version;
    f.country = "ATL";
    for (int i = 1; i <= count; ++i) {
        XrTrafficRecordDef r;
        r.event_id = static_cast<std::uint32_t>(i);
        r.flags = xr_trafficdata_layout::FLAG_COORDINATES;
        r.end = 0;
        r.name = "Jam";
        r.items = {{1, 101, 0, "", 0}};
        r.points = {{traffic_coordinate(-24.0), traffic_coordinate(31.0)}};
        f.records.push_back(r);
    }
    return f;
}

class TrafficService : public DemoCardAppTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(start_app());
        settings->set_traffic_enabled(true);
        settings->set_update_interval(10);
        service = std::make_unique<XrTrafficService>();
        service->configure(&helper, nullptr);
    }
    void TearDown() override { service.reset(); }
    void receive(XrService::Status status, XrPropertyBag* payload, const XrString* title = nullptr)
    {
        service->receive_data(2, 1, status, title, payload, &listener);
        delete payload;
    }
    std::vector<BYTE> file_bytes(const wchar_t* code)
    {
        std::ifstream in(native(XrTrafficService::data_path(XrString(code))), std::ios::binary);
        return std::vector<BYTE>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    RecordingHelper helper;
    Listener listener;
    std::unique_ptr<XrTrafficService> service;
};

TEST_F(TrafficService, ARoundAsksEveryCountryAndAppliesItsData)
{
    ASSERT_EQ(service->get_countries().size(), 2u);
    // The data files are missing: the refresh is due at once, and the
    // settings change already started a round.
    EXPECT_EQ(helper.armed[XrTrafficService::TIMER_REFRESH], 0);
    ASSERT_EQ(helper.sent.size(), 1u);
    helper.sent.clear();
    service->receive_data(0, 0, XrService::CANCELLED, nullptr, nullptr, nullptr);

    service->request(nullptr, nullptr, &listener);
    ASSERT_EQ(helper.sent.size(), 1u);
    EXPECT_EQ(helper.sent[0].code, "ATL");
    EXPECT_EQ(helper.sent[0].header, 0);
    EXPECT_TRUE(service->is_request_in_flight());

    const std::vector<BYTE> data = build_traffic_file(atlantis_events(5, 3));
    const std::vector<BYTE> diff = make_gdiff({}, data);
    const std::string digest = md5(data);
    receive(XrService::SUCCEEDED, reply(2, L"ATL", &diff, &digest));
    EXPECT_EQ(file_bytes(L"ATL"), data);
    ASSERT_EQ(helper.sent.size(), 2u); // the next country
    EXPECT_EQ(helper.sent[1].code, "LEM");
    EXPECT_TRUE(listener.results.empty()); // told once the round ends

    receive(XrService::SUCCEEDED, reply(XrTrafficService::KIND_UP_TO_DATE, L"LEM"));
    EXPECT_EQ(listener.results, (std::vector<std::string>{"0 " + narrow(XrString(R_STR_DATABASE_IS_UPTODATE))}));
    EXPECT_FALSE(service->is_request_in_flight());
    service->recompute_status();
    EXPECT_EQ(service->get_status_value(), XrTrafficService::STATUS_CURRENT);
    EXPECT_EQ(narrow(settings->get_last_locale()), "ENG");

    // The next request sends the version held.
    service->request(nullptr, nullptr, &listener);
    ASSERT_EQ(helper.sent.size(), 3u);
    EXPECT_EQ(helper.sent[2].header, 5);
    std::unique_ptr<XrServiceStatus> status(service->get_status());
    EXPECT_EQ(status->status, 3);
    EXPECT_EQ(narrow(status->text2), "3 active events");
}

TEST_F(TrafficService, BadUpdatesKeepTheDataHeld)
{
    const std::vector<BYTE> old_data = build_traffic_file(atlantis_events(5, 2));
    const std::vector<BYTE> new_data = build_traffic_file(atlantis_events(6, 4));
    const std::vector<BYTE> diff = make_gdiff(old_data, new_data);
    std::vector<BYTE> cut = diff;
    cut.resize(cut.size() / 2);
    const std::string right = md5(new_data), wrong = md5(old_data);
    const std::string failed = "1 " + narrow(XrString(R_STR_UPDATE_FAILED)).replace(
                                          narrow(XrString(R_STR_UPDATE_FAILED)).find("%s"), 2,
                                          narrow(XrString(R_STR_TRAFFIC_STATUS_NOT_FOUND)));
    struct Case {
        const char* what;
        const std::vector<BYTE>* data;
        const std::string* digest;
        const wchar_t* code;
    } cases[] = {
        {"digest of other bytes", &diff, &wrong, L"ATL"},
        {"a cut difference", &cut, &right, L"ATL"},
        {"a country the map does not have", &diff, &right, L"XYZ"},
    };
    for (const Case& c : cases) {
        service.reset();
        std::ofstream(native(XrTrafficService::data_path(XrString(L"ATL"))), std::ios::binary)
            .write(reinterpret_cast<const char*>(old_data.data()), static_cast<std::streamsize>(old_data.size()));
        settings->set_traffic_enabled(false); // no round on configure
        service = std::make_unique<XrTrafficService>();
        service->configure(&helper, nullptr);
        settings->set_traffic_enabled(true);
        service->settings_changed();
        listener.results.clear();
        helper.sent.clear();
        service->receive_data(0, 0, XrService::CANCELLED, nullptr, nullptr, nullptr);
        service->request(nullptr, nullptr, &listener);
        receive(XrService::SUCCEEDED, reply(XrTrafficService::KIND_UP_TO_DATE, L"ATL"));
        receive(XrService::SUCCEEDED, reply(2, c.code, c.data, c.digest));
        EXPECT_EQ(listener.results, std::vector<std::string>{failed}) << c.what;
        EXPECT_EQ(service->get_status_value(), XrTrafficService::STATUS_FAILED) << c.what;
        EXPECT_EQ(file_bytes(L"ATL"), old_data) << c.what;
        EXPECT_EQ(service->find_country(XrString(L"ATL"))->file->get_event_count(), 2) << c.what;
    }
}

TEST_F(TrafficService, AFailedExchangeEndsTheRoundAndTheRefreshStartsAnother)
{
    for (XrService::Status status : {XrService::FAILED, XrService::CANCELLED}) {
        helper.sent.clear();
        service->receive_data(0, 0, XrService::CANCELLED, nullptr, nullptr, nullptr);
        service->request(nullptr, nullptr, &listener);
        ASSERT_EQ(helper.sent.size(), 1u);
        EXPECT_EQ(service->queued_requests(), 1u);
        XrString title(L"Server gone");
        receive(status, nullptr, &title);
        EXPECT_FALSE(service->is_request_in_flight());
        EXPECT_EQ(service->queued_requests(), 0u); // nothing left waiting for ever
        EXPECT_EQ(helper.armed.count(XrTrafficService::TIMER_REFRESH), 1u);
        // Not at once, although the data is missing: a failing server is not
        // asked again and again.
        EXPECT_EQ(helper.armed[XrTrafficService::TIMER_REFRESH], XrTrafficService::RETRY_SECONDS);
        // The refresh timer starts a new round.
        service->execute(nullptr, reinterpret_cast<void*>(static_cast<std::intptr_t>(XrTrafficService::TIMER_REFRESH)));
        EXPECT_EQ(helper.sent.size(), 2u);
    }
    std::unique_ptr<XrServiceStatus> status(service->get_status());
    settings->set_traffic_enabled(false);
    service->settings_changed();
    status.reset(service->get_status());
    EXPECT_EQ(status->status, -1);
    EXPECT_TRUE(service->get_countries().empty());
}

} // namespace
