#include "common/update/xr_listdownloads.h"

#include "common/container/xr_defs.h"
#include "common/update/xr_updatemanagerlistener.h"
#include "common/update/xr_updaterpcclient.h"

XrListDownloads::XrListDownloads(XrFsm* fsm_, XrEventloopBase* loop_, const XrUpdateRpcClient& rpc_)
    : fsm(fsm_), loop(loop_), rpc(rpc_)
{
}

XrListDownloads::~XrListDownloads()
{
    if (download != nullptr)
        download->abandon();
}

void XrListDownloads::download_list(int kind, const XrString& file_name)
{
    start(kind == SPEAKERS ? XR_LIST_SPEAKERS_PATH : XR_LIST_MAPS_PATH, nullptr, file_name);
}

void XrListDownloads::download_component_files(const XrString& guid, const XrString& file_name)
{
    start(XR_COMPONENT_FILES_PATH, &guid, file_name);
}

void XrListDownloads::start(const char* path, const XrString* guid, const XrString& file_name)
{
    if (download != nullptr)
        return;
    XrRpcCall call{XrString(path)};
    if (guid != nullptr && !call.add_text_param("guid", *guid)) {
        report(false);
        return;
    }
    download = XrMapDownload::create(fsm, loop, rpc, this, file_name);
    if (download == nullptr) {
        report(false);
        return;
    }
    // A failure to start ends the download (and reports it) within start.
    download->start(call);
}

void XrListDownloads::cancel_list_download()
{
    if (download != nullptr)
        download->cancel();
}

void XrListDownloads::component_download_result(bool ok)
{
    XR_ASSERT_MSG(download != nullptr, "map_download");
    download = nullptr;
    report(ok);
}

void XrListDownloads::report(bool ok)
{
    if (listener != nullptr)
        listener->on_download_result(ok);
}
