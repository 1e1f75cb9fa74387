#include "common/update/xr_cataloguehost.h"

#include <cstdio>
#include <memory>
#include <string>

#include "common/misc/xr_utf8.h"

namespace {

class DefaultHost : public XrCatalogueHost {
public:
    XrString get_voice_folder_name() override { return XrString(L"sound_eng"); }
    void show_error_msg(const XrString& title, const XrString& message) override
    {
        std::fprintf(stderr, "%s: %s\n", utf8(title).c_str(), utf8(message).c_str());
    }

private:
    static std::string utf8(const XrString& text)
    {
        BYTE* bytes = nullptr;
        const int n = XrUTF8::wide_to_utf8_alloc(text, &bytes);
        std::unique_ptr<BYTE[]> held(bytes);
        return held != nullptr && n > 0 ? std::string(reinterpret_cast<const char*>(held.get()), n) : std::string();
    }
};

DefaultHost g_default;
XrCatalogueHost* g_host = nullptr;

} // namespace

void XrCatalogueHost::set_instance(XrCatalogueHost* host)
{
    g_host = host;
}

XrCatalogueHost* XrCatalogueHost::get_instance()
{
    return g_host != nullptr ? g_host : &g_default;
}

XrCatalogueHost* XrCatalogueHost::get_default()
{
    return &g_default;
}
