// The application's side of the add-on bindings: what the natives ask of the
// navigator, answered by the controller.
#pragma once

#include "apps/apps_common/xr_naviapp.h"
#include "common/java/xr_java.h"

#include <memory>

class XrJavaServiceChannel;

class XrNaviApp::JavaHost : public XrJavaHost {
public:
    explicit JavaHost(XrNaviApp& app);
    ~JavaHost() override;
    XrEventloopBase* java_event_loop() override;
    bool java_add_menu_item(const XrString& label, std::unique_ptr<XrMenuHandler>& handler) override;
    void java_navigate_to(const XrPoint& destination, const XrString& name) override;
    void java_center_on(const XrPoint& point, double value) override;
    void java_set_marker(const XrPoint* point, const XrString& label) override;
    XrMapView* java_map_view() override { return &app.map_view; }
    XrMapWindowManager* java_window_manager() override { return &app.window_manager; }
    XrMapWindow* java_map_window() override { return app.get_map_window(); }
    void java_redraw_map() override { app.redraw_map_window(); }

    // The service channel as the add-ons' ServCom sees it: the controller's
    // own (one process-wide channel on the controller's scheduler and loop).
    XrJavaServiceChannel* servcom_channel() const { return servcom.get(); }

private:
    XrNaviApp& app;
    std::unique_ptr<XrJavaServiceChannel> servcom;
};
