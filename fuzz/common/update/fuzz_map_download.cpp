// List download reception: a status, body pieces and the end, fed to a
// download whose file lands in a temporary card folder; when the download
// reports success the target holds exactly the body.
#include "common/misc/xr_path_resolver.h"
#include "common/update/xr_mapdownload.h"
#include "common/update/xr_updaterpcclient.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

struct Owner : XrMapDownloadOwner {
    int calls = 0;
    bool ok = false;
    void component_download_result(bool r) override { ++calls, ok = r; }
};

std::string setup_root()
{
    char dir[] = "/tmp/fuzz_map_download_XXXXXX";
    if (mkdtemp(dir) == nullptr)
        abort();
    setenv("KESTROVA_ROOT", dir, 1);
    std::string path = dir;
    for (const char* part : {"/media", "/mmc1", "/map", "/kestrova"}) {
        path += part;
        mkdir(path.c_str(), 0700);
    }
    forget_map_card_root();
    return std::string(dir) + "/media/mmc1/map//list.txt";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string target = setup_root();
    // Kept for the whole run: the queued RPC client must outlive the exit.
    static XrFsm* fsm = new XrFsm;
    static XrUpdateRpcClient* rpc = new XrUpdateRpcClient(fsm, nullptr);
    if (size < 2)
        return 0;
    Owner owner;
    XrMapDownload* download = XrMapDownload::create(fsm, nullptr, *rpc, &owner, XrString("list.txt"));
    if (download == nullptr || !download->open_output())
        abort();
    // First two bytes: the status; then pieces, each a length byte and its bytes.
    int status = data[0] * 4 + (data[1] & 3);
    download->status_received(nullptr, status);
    std::string body;
    size_t i = 2;
    while (i < size) {
        size_t n = data[i++];
        if (n == 255) {
            download->request_failed(nullptr, XR_HTTP_ERROR_IO);
            continue;
        }
        n = std::min(n, size - i);
        download->data_received(nullptr, data + i, static_cast<int>(n));
        body.append(reinterpret_cast<const char*>(data + i), n);
        i += n;
    }
    download->request_done(nullptr);
    if (owner.calls != 1)
        abort();
    if (owner.ok) {
        FILE* f = fopen(target.c_str(), "rb");
        if (f == nullptr)
            abort();
        std::string got(body.size() + 1, '\0');
        size_t r = fread(got.data(), 1, got.size(), f);
        fclose(f);
        if (r != body.size() || memcmp(got.data(), body.data(), r) != 0)
            abort();
    }
    return 0;
}
