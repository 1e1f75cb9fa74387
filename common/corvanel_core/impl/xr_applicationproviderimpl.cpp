#include "common/corvanel_core/impl/xr_applicationproviderimpl.h"

#include <cstdlib>

#include "common/misc/xr_path_resolver.h"
#include "common/update/xr_versionfile.h"

namespace {

XrApplicationProviderImpl::ExitFunction g_exit = nullptr;

constexpr const TCHAR* default_version = L"2.2.7";
constexpr const TCHAR* default_build = L"436";
constexpr const TCHAR* default_title = L"Kestrova Corvanel";

} // namespace

XrApplicationProviderImpl::XrApplicationProviderImpl(XrEventloopBase* event_loop, void* owner)
    : event_loop(event_loop), owner(owner)
{
}

void XrApplicationProviderImpl::set_exit_function(ExitFunction f)
{
    g_exit = f;
}

void XrApplicationProviderImpl::get_version_info(XrVersionInfo& out)
{
    const XrString version(default_version);
    const XrString build(default_build);
    XrString title(default_title);
    XrString full = version + L"." + build;
    XrVersionFile app;
    if (app.load(XrPathResolver::resolve(L"?:\\version.txt"))) {
        title = app.get(L"Title");
        full = app.get(L"Version");
    }
    out.set_app_title(title);
    out.set_app_version(version + L"." + build);
    out.set_app_full_version(full);

    XrVersionFile map;
    if (map.load(XrPathResolver::resolve(L"?:\\mapdata\\version.txt"))) {
        out.set_map_data_version(map.get(L"Version"));
        out.set_map_vendor(map.get(L"Vendor"));
        out.set_map_copyright_year(map.get(L"Copyright year"));
        out.set_map_version(map.get(L"Map version"));
    }
}

void XrApplicationProviderImpl::run_exit_handlers()
{
    for (int i = 0; i < exit_handlers.get_num_items(); ++i)
        exit_handlers.get_item(i)->handle_exit();
    exit_handlers.remove_all();
}

void XrApplicationProviderImpl::exit(int status)
{
    run_exit_handlers();
    if (g_exit != nullptr)
        g_exit(status);
    else
        std::exit(status);
}

void XrApplicationProviderImpl::request_exit()
{
    exit_requested = true;
    if (XrApplicationProviderImpl::dialog_open != nullptr && XrApplicationProviderImpl::dialog_open())
        return;
    exit_if_requested();
}

void XrApplicationProviderImpl::exit_if_requested()
{
    if (exit_requested)
        exit(0);
}

void XrApplicationProviderImpl::add_exit_handler(XrExitHandler* handler)
{
    if (handler != nullptr)
        exit_handlers.append(handler);
}

void XrApplicationProviderImpl::remove_exit_handler(XrExitHandler* handler)
{
    exit_handlers.remove(handler);
}
