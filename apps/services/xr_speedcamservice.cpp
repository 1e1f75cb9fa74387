#include "apps/services/xr_speedcamservice.h"

#include <cerrno>
#include <climits>
#include <memory>

#include "common/base/xr_singleton.h"
#include "common/config/xr_storageconfiguration.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_mapsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_poiprovider.h"
#include "common/extension/xr_extension.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_file.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

template <class T>
T* registered(const TCHAR* name)
{
    return static_cast<T*>(XrSingleton::get_instance(XrString(name)));
}

// Installs without asking: the user asked for the database.
class XrSilentInstall : public XrExtensionHandler {
public:
    bool confirm_install(const XrExtensionItem&) override { return true; }
};

// The settings file of the POIs, made when missing; null when it can
// neither be opened nor made, or does not parse.
std::unique_ptr<XrStorageConfiguration> open_poi_settings()
{
    const XrString path = XrPathResolver::resolve(XrString(XrSpeedCamService::POI_SETTINGS));
    auto accessor = std::make_unique<XrFileStorageAccessor>();
    if (!accessor->open(path, false)) {
        make_directories(path);
        if (!accessor->create(path))
            return nullptr;
    }
    auto config = std::make_unique<XrStorageConfiguration>(accessor.release(), L"");
    if (config->open(false) != XrConfiguration::OK)
        return nullptr;
    return config;
}

} // namespace

XrSpeedCamService::XrSpeedCamService()
{
    name = XrString(R_STR_SPEED_CAMERAS);
}

XrString XrSpeedCamService::database_path()
{
    return XrPathResolver::resolve(XrString(FOLDER) + L"\\" + FILE_NAME);
}

bool XrSpeedCamService::configure(XrServiceHelper* value, XrProjection* /*projection*/)
{
    helper = value;
    installed = false;
    if (auto* map_settings = registered<XrMapSettingsProvider>(L"XrMapSettingsProvider"))
        installed = map_settings->get_speedcam_db_size() != 0 &&
                    map_settings->get_speedcam_latest_checksum().length() == 32;
    return true;
}

int XrSpeedCamService::request(const XrString* text, XrServComClient* further_client,
                               XrServiceListener* request_listener)
{
    request_text = text != nullptr ? *text : XrString();
    further = further_client;
    listener = request_listener;
    send(CHECK);
    return 1;
}

void XrSpeedCamService::send(Kind value)
{
    kind = value;
    auto* payload = new XrPropertyBag();
    const int countries = helper->get_country_count();
    for (int i = 0; i < countries; ++i) {
        XrString country;
        helper->get_country_name(i, country);
        payload->add_string(0, country);
    }
    helper->send_request(this, kind == CHECK ? CHECK_A : DOWNLOAD_A, REQUEST_B, payload,
                         request_text.is_empty() ? nullptr : &request_text, further, listener);
}

XrServiceStatus* XrSpeedCamService::get_status()
{
    auto* record = new XrServiceStatus();
    auto* map_settings = registered<XrMapSettingsProvider>(L"XrMapSettingsProvider");
    if (installed && map_settings != nullptr) {
        record->status = 3;
        record->text = XrString(R_STR_SAFETY_CAMERA_OK);
        record->value = map_settings->get_speedcam_db_size();
        record->date = std::make_unique<XrDatetime>(map_settings->get_speedcam_latest_update());
    } else {
        record->status = 5;
        record->text = XrString(R_STR_SAFETY_CAMERA_NOT_INSTALLED);
    }
    auto* settings = registered<XrAppSettingsProvider>(L"XrAppSettingsProvider");
    if (settings != nullptr && !settings->get_trafficcam_alert()) {
        record->status = -1;
        record->text = XrString(R_STR_DISABLED);
    }
    return record;
}

void XrSpeedCamService::finish(int result, int text_id)
{
    XrServiceListener* to_tell = listener;
    listener = nullptr;
    further = nullptr;
    request_text = XrString();
    expected_checksum = XrString();
    if (to_tell != nullptr) {
        XrString text;
        text.format_text(256, text_id);
        to_tell->service_result(result, text.c_str());
    }
}

void XrSpeedCamService::receive_data(int /*value_a*/, int /*value_b*/, Status status, const XrString* /*title*/,
                                     XrPropertyBag* payload, XrServiceListener* /*listener*/)
{
    if (status != SUCCEEDED) {
        // The aggregate has told the listener.
        listener = nullptr;
        further = nullptr;
        request_text = XrString();
        expected_checksum = XrString();
        return;
    }
    if (kind == CHECK)
        handle_check(payload);
    else
        handle_download(payload);
}

void XrSpeedCamService::handle_check(XrPropertyBag* payload)
{
    XrPropertyBag* data = nullptr;
    if (payload == nullptr || payload->get_bag(KEY_DATA, 0, data, true) != 0 || data == nullptr) {
        finish(XrServiceListener::FAILED, R_STR_SAFETY_CAMERA_NO_DATA);
        return;
    }
    std::unique_ptr<XrPropertyBag> owned(data);
    XrString checksum;
    if (data->get_string(KEY_CHECKSUM, 0, checksum) != 0 || checksum.length() != 32) {
        finish(XrServiceListener::FAILED, R_STR_SAFETY_CAMERA_CORRUPT_DATA);
        return;
    }
    auto* map_settings = registered<XrMapSettingsProvider>(L"XrMapSettingsProvider");
    bool same = installed && map_settings != nullptr;
    if (same) {
        const XrString& known = map_settings->get_speedcam_latest_checksum();
        for (int i = 0; i < 32 && same; ++i)
            same = known.length() == 32 && (checksum.c_str()[i] & 0xFF) == (known.c_str()[i] & 0xFF);
    }
    if (!same) {
        expected_checksum = checksum;
        send(DOWNLOAD);
        return;
    }
    XrDatetime now;
    now.set_now();
    map_settings->set_speedcam_latest_update(now);
    map_settings->save(true);
    finish(XrServiceListener::DONE, R_STR_DATABASE_IS_UPTODATE);
}

void XrSpeedCamService::handle_download(XrPropertyBag* payload)
{
    XrPropertyBag* data = nullptr;
    if (payload == nullptr || payload->get_bag(KEY_DATA, 0, data, true) != 0 || data == nullptr) {
        finish(XrServiceListener::FAILED, R_STR_SAFETY_CAMERA_CORRUPT_DATA);
        return;
    }
    std::unique_ptr<XrPropertyBag> owned(data);
    XrByteArray* taken = nullptr;
    if (data->get_blob(KEY_DATABASE, 0, taken, true) != 0 || taken == nullptr) {
        finish(XrServiceListener::FAILED, R_STR_SAFETY_CAMERA_CORRUPT_DATA);
        return;
    }
    std::unique_ptr<XrByteArray> blob(taken);
    // A database that is not the one the check announced is not installed:
    // the one in place stays.
    if (!XrServiceHelper::check_md5_hex(blob->get_items(), static_cast<std::size_t>(blob->get_num_items()),
                                        expected_checksum)) {
        finish(XrServiceListener::FAILED, R_STR_SAFETY_CAMERA_CORRUPT_DATA);
        return;
    }
    bool failed = false;
    const int text_id = install(*blob, failed);
    finish(failed ? XrServiceListener::FAILED : XrServiceListener::DONE, text_id);
}

int XrSpeedCamService::install(const XrByteArray& blob, bool& failed)
{
    failed = true;
    const XrString path = database_path();
    if (!make_directories(path))
        return R_STR_SAFETY_CAMERA_CORRUPT_DATA;
    // Written aside, synced and renamed over the old file: a failure leaves
    // the old file whole.
    errno = 0;
    if (!write_whole_file(path, blob.get_items(), blob.get_num_items()))
        return errno == ENOSPC ? R_STR_SAFETY_CAMERA_NOT_ENOUGH_SPACE : R_STR_SAFETY_CAMERA_CORRUPT_DATA;

    bool ok = false;
    if (std::unique_ptr<XrStorageConfiguration> config = open_poi_settings()) {
        XrSilentInstall handler;
        ok = install_extension_file(&handler, config.get(), path);
    }
    if (ok) {
        if (auto* pois = registered<XrPoiProvider>(L"XrPoiProvider")) {
            std::unique_ptr<XrArray<XrPoiProvider::XrDynPoiFailedResult>> errors(pois->reload_extensions());
            ok = errors == nullptr || errors->get_num_items() == 0;
        }
    }
    auto* map_settings = registered<XrMapSettingsProvider>(L"XrMapSettingsProvider");
    if (!ok) {
        delete_file(path);
        installed = false;
        return R_STR_SAFETY_CAMERA_CORRUPT_DATA;
    }
    if (map_settings != nullptr) {
        char digest[33];
        XrServiceHelper::compute_md5_hex(blob, digest);
        map_settings->set_speedcam_latest_checksum(XrString(digest));
        XrDatetime now;
        now.set_now();
        map_settings->set_speedcam_latest_update(now);
        map_settings->set_speedcam_db_size(blob.get_num_items());
        map_settings->save(true);
    }
    installed = true;
    failed = false;
    return R_STR_UPDATE_SUCCESSFUL;
}
