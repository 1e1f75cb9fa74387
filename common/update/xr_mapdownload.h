// One list download from the update server: a form-encoded POST whose whole
// response body replaces a file in the map folder of the memory card. The
// download reports its outcome to its owner and then deletes itself.
#pragma once

#include "common/container/xr_bytearray.h"
#include "common/container/xr_string.h"
#include "common/fsm/xr_fsm.h"
#include "common/os/xr_file.h"
#include "common/update/xr_httpclient.h"

class XrEventloopBase;
class XrRpcCall;
class XrUpdateRpcClient;

// Update server paths of the list downloads.
#define XR_LIST_MAPS_PATH "/maemo/list_maps"
#define XR_LIST_SPEAKERS_PATH "/maemo/list_speakers"
#define XR_COMPONENT_FILES_PATH "/maemo/component_files"

// Told once at the end of a download (the update manager).
class XrMapDownloadOwner {
public:
    virtual ~XrMapDownloadOwner() = default;
    virtual void component_download_result(bool ok) = 0;
};

class XrMapDownload : public XrFsmThread, public XrHttpRequestListener {
public:
    static constexpr int max_path = 255;

    // A download of the file name into the map folder of the card, to the
    // server and proxy of the RPC client; null when the name is empty,
    // absolute or has a ".." part, when no card holds a map folder, or when
    // the target path is too long.
    static XrMapDownload* create(XrFsm* fsm, XrEventloopBase* loop, const XrUpdateRpcClient& rpc,
                                 XrMapDownloadOwner* owner, const XrString& file_name);

    // Posts the call's parameters to its path. On any failure the download
    // ends at once: the owner is told (false) and the object is gone when
    // start returns.
    void start(const XrRpcCall& call);
    // Creates the target's folders and opens the temporary file emptied;
    // false on failure (start begins with it).
    bool open_output();
    // Destroys the running request; the download then ends as a failure.
    void cancel();
    // Cancels with no one to tell: for an owner that goes away first.
    void abandon();

    const XrString& get_target_path() const { return target_path; }
    XrString get_temp_path() const { return target_path + XrString(".tmp"); }
    // Where earlier versions moved the old file during the swap.
    XrString get_backup_path() const { return target_path + XrString(".bak"); }

    // The thread is never queued: all work happens in the request callbacks.
    XrFsmResult step() override { return XR_FSM_FINISH; }

    void request_failed(XrHttpRequest* request, XrHttpError error) override;
    void status_received(XrHttpRequest* request, int status) override;
    void data_received(XrHttpRequest* request, const BYTE* bytes, int length) override;
    void request_done(XrHttpRequest* request) override;

private:
    XrMapDownload(XrFsm* fsm, XrEventloopBase* loop, XrMapDownloadOwner* owner);
    ~XrMapDownload() override;

    bool begin(const XrRpcCall& call);
    // Renames the temporary file over the target when ok, tells the owner,
    // deletes this.
    void finish();

    XrFsm* fsm;
    XrEventloopBase* loop;
    XrMapDownloadOwner* owner;
    XrString server_host;
    int server_port = 80;
    XrString proxy_host;
    int proxy_port = 80;
    XrString target_path;
    XrFile output;
    XrHttpClient* http_client = nullptr;
    XrHttpRequest* request = nullptr;
    XrByteArray* body = nullptr;
    bool ok = false;
};
