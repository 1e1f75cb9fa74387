// Service replies: a ServCom reply body decoded and its payload handed to
// the speed-camera service as a check reply and then as a download reply.
#include "apps/services/xr_servcomreply.h"
#include "apps/services/xr_speedcamservice.h"
#include "common/ber/xr_propertybag.h"

#include <cstddef>
#include <cstdint>

namespace {

class SilentHelper : public XrServiceHelper {
public:
    XrServComMessage* send_request(XrService*, int, int, XrPropertyBag* payload, const XrString*, XrServComClient*,
                                   XrServiceListener*) override
    {
        delete payload;
        return nullptr;
    }
    void cancel_request(XrServComMessage**) override {}
    int get_country_count() override { return 1; }
    void get_country_name(int, XrString& name) override { name = XrString(L"Atlantis"); }
    XrStorageConfiguration* open_configuration(const XrString&) override { return nullptr; }
    bool add_timeout(XrEventHandler*, int, int, int) override { return false; }
    void remove_timeout(XrEventHandler*, int) override {}
    void redraw_map() override {}
};

class Listener : public XrServiceListener {
public:
    void service_result(int, const TCHAR*) override {}
};

XrPropertyBag* payload_of(const std::uint8_t* data, std::size_t size)
{
    XrPropertyBag* bag = servcom_decode_reply(data, static_cast<int>(size));
    XrServComReply reply = servcom_evaluate_reply(bag);
    delete bag;
    return reply.payload;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > (1u << 20))
        return 0;
    SilentHelper helper;
    Listener listener;
    XrSpeedCamService service;
    service.configure(&helper, nullptr);
    service.request(nullptr, nullptr, &listener);
    for (int exchange = 0; exchange < 2; ++exchange) {
        XrPropertyBag* payload = payload_of(data, size);
        service.receive_data(0, 0, XrService::SUCCEEDED, nullptr, payload, &listener);
        delete payload;
    }
    return 0;
}
