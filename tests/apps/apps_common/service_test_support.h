// What the tests of the online services share: the application without a
// position source, texts as bytes, a listener that records results, and a
// fixture that builds the application on the demo card.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "apps/apps_common/xr_naviapp.h"
#include "apps/maemo_map/navigator_run.h"
#include "apps/services/xr_service.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "support/xr_temp_root.h"

namespace service_test {

class TestApp : public XrNaviApp {
public:
    void create_position_provider() override {}
    void exit_application() override {}
};

inline std::string narrow(const XrString& s)
{
    const std::wstring w(s.c_str());
    return std::string(w.begin(), w.end());
}

// The file system's name of a resolved path.
inline std::string native(const XrString& path)
{
    std::string out = narrow(path);
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

class Listener : public XrServiceListener {
public:
    void service_result(int result, const TCHAR* text) override
    {
        results.push_back(std::to_string(result) + " " + narrow(XrString(text)));
    }
    std::vector<std::string> results;
};

// The application built on the demo card below a root of its own.
class DemoCardAppTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(xr_own_process_display()); }
    void start_app()
    {
        xr_install_demo_card(root);
        app = std::make_unique<TestApp>();
        ASSERT_TRUE(app->construct());
        settings = xr_registered<XrAppSettingsProvider>(L"XrAppSettingsProvider");
        ASSERT_NE(settings, nullptr);
    }

    XrTempRoot root;
    std::unique_ptr<TestApp> app;
    XrAppSettingsProvider* settings = nullptr;
};

} // namespace service_test
