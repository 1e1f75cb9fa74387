#include "apps/apps_common/xr_naviapp_java.h"

#include <cmath>
#include <string>

#include "apps/services/xr_servcom.h"
#include "common/base/xr_root.h"
#include "common/java/xr_java_dialogs.h"
#include "common/java/xr_java_keys.h"
#include "common/java/xr_java_net.h"
#include "common/java/xr_java_vm.h"
#include "common/map/xr_overlaylayer.h"
#include "common/misc/xr_path_resolver.h"
#include "common/ui/dialog/xr_listdlg.h"

namespace {

using ServComBridge = XrJavaServComBridge<XrServComImplementation, XrServCom, XrServComClient>;

// The add-ons' list choice: the application's list dialog over the map
// window, not modal (the Java thread waits for the listener).
void show_addon_list_dialog(const XrString& title, XrArray<XrListDlgItem>& items, int, XrListDlgListener* listener)
{
    auto* dialog = new XrListDlgMaemo(title, items, -1, listener);
    dialog->open(1, false);
}

} // namespace

XrNaviApp::JavaHost::JavaHost(XrNaviApp& app)
    : app(app), servcom(std::make_unique<ServComBridge>(&app.fsm, &app.event_loop))
{
}

XrNaviApp::JavaHost::~JavaHost() = default;

XrEventloopBase* XrNaviApp::JavaHost::java_event_loop() { return &app.event_loop; }

bool XrNaviApp::JavaHost::java_add_menu_item(const XrString& label, std::unique_ptr<XrMenuHandler>& handler)
{
    return app.add_addon_menu_item(label, handler);
}

void XrNaviApp::JavaHost::java_navigate_to(const XrPoint& destination, const XrString& name)
{
    app.app_navigate_to(nullptr, &destination, name);
}

void XrNaviApp::JavaHost::java_center_on(const XrPoint& point, double value)
{
    // The value is the scale to show; anything else keeps the scale.
    const int scale = std::isfinite(value) && value >= 1 && value <= 1e8 ? static_cast<int>(value) : 0;
    app.suspend_auto_follow(15000, 15000);
    app.map_view.set_center_and_scale(&point, static_cast<std::uint32_t>(scale), false);
    app.redraw_map_window();
}

void XrNaviApp::JavaHost::java_set_marker(const XrPoint* point, const XrString& label)
{
    XrOverlayLayer* overlay = app.get_overlay_layer();
    if (overlay == nullptr)
        return;
    if (point != nullptr)
        overlay->set_pin(*point, label);
    else
        overlay->clear_pin();
    app.redraw_map_window();
}

bool XrNaviApp::add_addon_menu_item(const XrString&, std::unique_ptr<XrMenuHandler>&) { return false; }

bool XrNaviApp::init_java()
{
    if (java)
        return true;
    java_host = std::make_unique<JavaHost>(*this);
    java = std::make_unique<XrJava>(java_host.get());
    const TCHAR* card = find_map_card_root();
    std::string card_root;
    if (card != nullptr)
        to_platform_path(XrString(card), false, card_root);
    const std::string cp = xr_java_class_path(XrRoot::path("/usr/share/kestrova/"), card_root);
    // The dialog and network natives are bound before the VM defines the
    // application classes.
    XrJavaDialogsEnv dialogs;
    dialogs.loop = &event_loop;
    dialogs.show_list_dialog = &show_addon_list_dialog;
    XrJavaNetEnv net;
    net.fsm = &fsm;
    net.loop = &event_loop;
    net.channel = java_host->servcom_channel();
    if (!xr_java_bind_dialogs(dialogs) || !xr_java_bind_net(net))
        return false;
    if (!xr_java_start(*java, cp))
        return false;
    // The add-ons see the map window's keys before the map's own handler.
    window_manager.add_handler(new XrJavaWindowEventHandler(java->get_vm()));
    return true;
}

void XrNaviApp::shutdown_java()
{
    if (java)
        xr_java_shutdown(*java);
}
