#include "common/update/xr_mapdownload.h"

#include "common/misc/xr_path_resolver.h"
#include "common/update/xr_updaterpcclient.h"

#include <cstdint>
#include <new>

XrMapDownload::XrMapDownload(XrFsm* f, XrEventloopBase* l, XrMapDownloadOwner* o)
    : XrFsmThread(f, "XrMapDownload"), fsm(f), loop(l), owner(o)
{
}

XrMapDownload::~XrMapDownload()
{
    if (http_client != nullptr)
        http_client->destroy();
    delete body;
    output.close();
}

namespace {

// A name below the card's map root: not empty, not absolute, and no part
// of it ".." (which would leave the card's map folder).
bool is_safe_file_name(const XrString& name)
{
    const TCHAR* p = name.c_str();
    if (*p == 0 || *p == L'/' || *p == L'\\')
        return false;
    while (*p != 0) {
        const TCHAR* end = p;
        while (*end != 0 && *end != L'/' && *end != L'\\')
            ++end;
        if (end - p == 2 && p[0] == L'.' && p[1] == L'.')
            return false;
        p = *end != 0 ? end + 1 : end;
    }
    return true;
}

} // namespace

XrMapDownload* XrMapDownload::create(XrFsm* fsm, XrEventloopBase* loop, const XrUpdateRpcClient& rpc,
                                     XrMapDownloadOwner* owner, const XrString& file_name)
{
    if (!is_safe_file_name(file_name))
        return nullptr;
    const TCHAR* root = find_map_card_root();
    if (root == nullptr)
        return nullptr;
    // A longer path is refused rather than cut, which would name another file.
    XrString target = XrString(root) + L"/" + file_name;
    if (target.length() > max_path)
        return nullptr;
    auto* download = new (std::nothrow) XrMapDownload(fsm, loop, owner);
    if (download == nullptr)
        return nullptr;
    download->target_path = target;
    rpc.get_server(download->server_host, download->server_port);
    rpc.get_proxy(download->proxy_host, download->proxy_port);
    return download;
}

void XrMapDownload::start(const XrRpcCall& call)
{
    if (!begin(call)) {
        if (request != nullptr) {
            // Not started yet: dropped without callbacks.
            request->destroy();
            request = nullptr;
        }
        ok = false;
        finish();
    }
}

bool XrMapDownload::open_output()
{
    output.close();
    return make_directories(target_path) && output.create(get_temp_path(), true, false) == XrFile::OK &&
           output.resize(0) == XrFile::OK;
}

bool XrMapDownload::begin(const XrRpcCall& call)
{
    // A longer URL is refused rather than cut, which would ask for another one.
    XrString port;
    port.format(16, L"%u", static_cast<unsigned>(server_port));
    const XrString url = XrString(L"http://") + server_host + L":" + port + call.get_path();
    if (url.length() > max_path)
        return false;
    if (!open_output())
        return false;
    if (http_client == nullptr) {
        http_client = XrHttpClient::create(fsm, loop);
        if (http_client == nullptr)
            return false;
        if (proxy_host.length() > 0)
            http_client->set_proxy(proxy_host, proxy_port);
    }
    request = http_client->create_request(url, XR_HTTP_POST, this, 0);
    if (request == nullptr)
        return false;
    if (!request->set_header(XrString("Connection"), XrString("close")))
        return false;
    body = new (std::nothrow) XrByteArray();
    if (body == nullptr || !call.encode_params(*body))
        return false;
    if (!request->set_body(body->get_items(), body->get_num_items()))
        return false;
    ok = true;
    request->start();
    return true;
}

void XrMapDownload::cancel()
{
    // Once: the request reports its end later and must not be given up twice.
    if (request != nullptr) {
        XrHttpRequest* r = request;
        request = nullptr;
        r->destroy();
    }
}

void XrMapDownload::abandon()
{
    owner = nullptr;
    cancel();
}

void XrMapDownload::request_failed(XrHttpRequest*, XrHttpError)
{
    ok = false;
}

void XrMapDownload::status_received(XrHttpRequest*, int status)
{
    if (status < 200 || status > 299)
        ok = false;
}

void XrMapDownload::data_received(XrHttpRequest*, const BYTE* bytes, int length)
{
    if (!ok || length <= 0)
        return;
    std::uint32_t old_size = output.get_size();
    if (static_cast<std::uint64_t>(old_size) + static_cast<std::uint32_t>(length) > UINT32_MAX ||
        output.resize(old_size + static_cast<std::uint32_t>(length)) != XrFile::OK ||
        output.write(old_size, static_cast<std::uint32_t>(length), bytes) != XrFile::OK)
        ok = false;
}

void XrMapDownload::request_done(XrHttpRequest*)
{
    request = nullptr;
    finish();
}

void XrMapDownload::finish()
{
    // Synced and closed before the rename, so that everything written is in
    // the file; one rename replaces the old list, which stays until then.
    if (ok && !output.flush())
        ok = false;
    output.close();
    if (ok) {
        if (rename_file(get_temp_path(), target_path)) {
            sync_folder_of(target_path);
            // Left by earlier versions that moved the old list aside first.
            delete_file(get_backup_path());
        } else {
            ok = false;
            delete_file(get_temp_path());
        }
    }
    if (owner != nullptr)
        owner->component_download_result(ok);
    delete this;
}
