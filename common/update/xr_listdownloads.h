// The update manager's list downloads: the lists of maps and voice sets the
// update server offers, and the file list of one component, each fetched
// into a file of the card's map folder by an XrMapDownload. At most one runs
// at a time; its end goes to the manager's listener as on_download_result.
#pragma once

#include "common/container/xr_string.h"
#include "common/update/xr_mapdownload.h"

class XrEventloopBase;
class XrFsm;
class XrUpdateManagerListener;
class XrUpdateRpcClient;

class XrListDownloads : public XrMapDownloadOwner {
public:
    enum ListKind { MAPS = 0, SPEAKERS = 1 };

    // The downloads use the scheduler, the loop and the server and proxy of
    // the RPC client (read when a download is made); none is owned.
    XrListDownloads(XrFsm* fsm, XrEventloopBase* loop, const XrUpdateRpcClient& rpc);
    // A running download is cancelled; its end is not reported.
    ~XrListDownloads() override;
    XrListDownloads(const XrListDownloads&) = delete;
    XrListDownloads& operator=(const XrListDownloads&) = delete;

    void set_listener(XrUpdateManagerListener* listener) { this->listener = listener; }

    // Fetches the list of kind 0 (maps) or 1 (voice sets) into the file of
    // the map folder. A second request while one runs is ignored; a download
    // that cannot be made is reported as failed at once.
    void download_list(int kind, const XrString& file_name);
    // Ends the running download; its end is reported as a failure.
    void cancel_list_download();
    // Fetches the file list of the component with that GUID into the file.
    void download_component_files(const XrString& guid, const XrString& file_name);
    bool is_downloading() const { return download != nullptr; }

    // The end of the running download (called by it).
    void component_download_result(bool ok) override;

private:
    void start(const char* path, const XrString* guid, const XrString& file_name);
    void report(bool ok);

    XrFsm* fsm;
    XrEventloopBase* loop;
    const XrUpdateRpcClient& rpc;
    XrUpdateManagerListener* listener = nullptr;
    XrMapDownload* download = nullptr;
};
