// The update manager: runs one update on a private scheduler — reports the
// program version, opens a session, lets the server choose the card, fetches
// the download list and every file of it through background transfers,
// builds the final files, installs them on the card and registers each
// component with a version file. The same object carries the list downloads
// of the maps dialog. Everything runs on the main loop's thread.
#pragma once

#include "common/container/xr_string.h"

class XrEventloopBase;
class XrUpdateManagerListener;

// The caller's parameter record, kept by pointer.
class XrUpdateParamsBase {
public:
    virtual ~XrUpdateParamsBase() = default;
    // Called after a component whose flags ask for a restart.
    virtual void platform_restart() = 0;
    // A note for the user.
    virtual void notify(const XrString& title, const XrString& text) = 0;

    int reserved = 0;
    // The update's working folder (download list, transfer jobs, downloads);
    // ends with a separator.
    XrString work_dir;
    // The program version sent to the server; empty: no installer update.
    XrString version;
    XrString extra;
    // Keep each downloaded source after installing it.
    bool keep_downloads = true;
};

// The navigator's record: the working folder is "kestrova/update/" on the
// card that holds the map; empty when there is no such card.
class XrMaemoUpdateParams : public XrUpdateParamsBase {
public:
    XrMaemoUpdateParams();
    void platform_restart() override {}
    void notify(const XrString&, const XrString&) override {}
};

class XrUpdateManager {
public:
    enum ListKind { MAPS = 0, SPEAKERS = 1 };

    // The one manager, stopped until start(). Null when the parameter
    // record has no working folder.
    static XrUpdateManager* create(XrEventloopBase* loop, XrUpdateParamsBase* params);
    // Ends whatever runs (transfers, calls, list downloads, timers); their
    // ends are no longer reported. Not from inside a listener callback.
    virtual ~XrUpdateManager() = default;

    virtual void set_server(const XrString& host, int port) = 0;
    virtual void set_proxy(const XrString& host, int port) = 0;
    virtual void set_listener(XrUpdateManagerListener* listener) = 0;
    // Installs from this list file (BER download list) instead of a session.
    virtual void use_download_list(const XrString& path) = 0;
    // Starts the one update; false when already started.
    virtual bool start() = 0;
    virtual void cancel() = 0;
    virtual bool is_running() const = 0;

    // The list downloads: a list of maps or voice sets, or one component's
    // file list, into a file; the end goes to on_download_result.
    virtual void download_list(int kind, const XrString& file_name) = 0;
    virtual void download_component_files(const XrString& guid, const XrString& file_name) = 0;
    virtual void cancel_list_download() = 0;
    virtual bool is_downloading_list() const = 0;
};

// The largest number of one-second rounds the card selection waits for the
// server before the update fails.
constexpr int xr_update_max_card_rounds = 600;

// "http://HOST:PORT/update/PAGE?cookie=COOKIE" with the cookie
// form-escaped; false when it would exceed 256 characters.
bool xr_update_card_page_url(const XrString& host, int port, const char* page, const XrString& cookie,
                             XrString& url);
