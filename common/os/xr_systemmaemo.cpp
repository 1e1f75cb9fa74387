#include "common/os/xr_systemmaemo.h"

#include "common/misc/xr_utf8.h"
#include "common/base/xr_root.h"
#include "platform/osso/libosso.h"

#include <sys/sysinfo.h>

namespace {

osso_context_t* browser_context = nullptr;

void hw_event_callback(osso_hw_state_t* state, gpointer data)
{
    int flags = 0;
    if (state->shutdown_ind)
        flags |= XrSystemObserver::shutdown_requested;
    if (state->memory_low_ind)
        flags |= XrSystemObserver::memory_low;
    if (state->system_inactivity_ind)
        flags |= XrSystemObserver::system_inactive;
    static_cast<XrSystemMaemo*>(data)->handle_hw_event(flags, state->sig_device_mode_ind == OSSO_DEVMODE_NORMAL);
}

} // namespace

XrSystem* create_system()
{
    return new XrSystemMaemo();
}

XrSystemMaemo::~XrSystemMaemo()
{
    if (osso != nullptr)
        osso_hw_unset_event_cb(osso, nullptr);
}

bool XrSystemMaemo::start(osso_context_t* osso_)
{
    osso = osso_;
    device_mode = device_mode_unknown;
    return osso_hw_set_event_cb(osso, nullptr, hw_event_callback, this) == OSSO_OK;
}

void XrSystemMaemo::handle_hw_event(int flags, bool normal_mode)
{
    if (flags != 0) {
        if (auto* system = static_cast<XrSystem*>(XrSingleton::get_instance(XrString("XrSystem"))))
            system->notify_listeners(&XrSystemObserver::system_event, flags);
    }
    device_mode = normal_mode ? device_mode_normal : device_mode_offline;
    if (flags & XrSystemObserver::shutdown_requested) {
        if (auto* app = static_cast<XrApplicationExit*>(XrSingleton::get_instance(XrString("XrApplicationProvider"))))
            app->exit(0);
    }
}

unsigned long XrSystemMaemo::get_free_ram()
{
    struct sysinfo info;
    return sysinfo(&info) == 0 ? info.freeram : 0;
}

unsigned long XrSystemMaemo::get_total_ram()
{
    struct sysinfo info;
    return sysinfo(&info) == 0 ? info.totalram : 0;
}

void set_browser_context(osso_context_t* osso)
{
    browser_context = osso;
}

bool open_url_in_browser(const XrString& url)
{
    if (browser_context == nullptr)
        return false;
    return osso_rpc_run_with_defaults(browser_context, "osso_browser", "load_url", nullptr, DBUS_TYPE_STRING,
                                      wide_to_narrow_static(url.c_str()), DBUS_TYPE_INVALID) == OSSO_OK;
}

XrString get_card_root()
{
    std::string root = XrRoot::path("/media/mmc1/");
    XrString text;
    XrUTF8::decode_utf8(reinterpret_cast<const BYTE*>(root.data()), static_cast<int>(root.size()), text);
    return text;
}
