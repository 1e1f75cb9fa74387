// XrSpeedCamService: keeps the speed-camera database up to date. A request
// is a check (the server's current checksum) and, when that differs from the
// installed database's, a download; the downloaded file is verified against
// the checksum, written under "?:\extensions\speedcams.nce" through a
// temporary file, installed as a POI extension and the POIs reloaded.
#pragma once

#include "apps/services/xr_service.h"

class XrSpeedCamService : public XrService {
public:
    // Request values of the two exchanges.
    static constexpr int CHECK_A = 1;
    static constexpr int DOWNLOAD_A = 2;
    static constexpr int REQUEST_B = 1;
    // Keys of the reply's data bag.
    static constexpr int KEY_DATA = 0;
    static constexpr int KEY_CHECKSUM = 1;
    static constexpr int KEY_DATABASE = 2;
    // The database file below the extensions folder.
    static constexpr const TCHAR* FOLDER = L"?:\\extensions";
    static constexpr const TCHAR* FILE_NAME = L"speedcams.nce";
    static constexpr const TCHAR* POI_SETTINGS = L"?:\\mapdata\\poi_settings.txt";

    XrSpeedCamService();
    ~XrSpeedCamService() override = default;

    bool configure(XrServiceHelper* helper, XrProjection* projection) override;
    int request(const XrString* text, XrServComClient* further, XrServiceListener* listener) override;
    int get_type() const override { return TYPE_SPEEDCAM; }
    XrServiceStatus* get_status() override;
    void receive_data(int value_a, int value_b, Status status, const XrString* title, XrPropertyBag* payload,
                      XrServiceListener* listener) override;
    int get_server_id() const override { return 4; }

    bool is_installed() const { return installed; }
    // The resolved path of the database file.
    static XrString database_path();

private:
    enum Kind { CHECK = 0, DOWNLOAD = 1 };

    void send(Kind kind);
    // Calls the listener (when there is one) and forgets the request.
    void finish(int result, int text_id);
    void handle_check(XrPropertyBag* payload);
    void handle_download(XrPropertyBag* payload);
    // Writes, registers and loads the database; the text id of the outcome
    // and whether it was a failure to report as such.
    int install(const XrByteArray& blob, bool& failed);

    XrServiceHelper* helper = nullptr;
    Kind kind = CHECK;
    bool installed = false;
    XrServiceListener* listener = nullptr;
    XrServComClient* further = nullptr;
    XrString request_text;
    // The checksum the check reply announced; the download must match it.
    XrString expected_checksum;
};
