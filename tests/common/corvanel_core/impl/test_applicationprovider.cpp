#include "common/corvanel_core/impl/xr_applicationproviderimpl.h"
#include "common/corvanel_core/impl/provider_files.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string g_log;
int g_status = -1;

void fake_exit(int status)
{
    g_status = status;
}

class Handler : public XrExitHandler {
public:
    explicit Handler(char id) : id(id) {}
    void handle_exit() override { g_log += id; }
    char id;
};

class ApplicationTest : public ::testing::Test {
protected:
    ApplicationTest()
    {
        g_log.clear();
        g_status = -1;
        XrApplicationProviderImpl::set_exit_function(fake_exit);
    }
    ~ApplicationTest() override
    {
        XrApplicationProviderImpl::set_exit_function(nullptr);
        XrApplicationProviderImpl::dialog_open = nullptr;
    }
    XrApplicationProviderImpl app{nullptr, nullptr};
};

} // namespace

TEST_F(ApplicationTest, HandlersRunInOrderOnce)
{
    Handler a('A'), b('B');
    app.add_exit_handler(&a);
    app.add_exit_handler(&b);
    app.add_exit_handler(nullptr);
    app.exit(3);
    EXPECT_EQ(g_log, "AB");
    EXPECT_EQ(g_status, 3);
    app.exit(0);
    EXPECT_EQ(g_log, "AB"); // the list was emptied
}

TEST_F(ApplicationTest, ARemovedHandlerDoesNotRun)
{
    Handler a('A'), b('B');
    app.add_exit_handler(&a);
    app.add_exit_handler(&b);
    app.remove_exit_handler(&a);
    app.remove_exit_handler(&a);
    app.exit(0);
    EXPECT_EQ(g_log, "B");
}

TEST_F(ApplicationTest, ExitOnlyWhenRequested)
{
    Handler a('A');
    app.add_exit_handler(&a);
    app.exit_if_requested();
    EXPECT_EQ(g_status, -1);
    XrApplicationProviderImpl::dialog_open = [] { return true; };
    app.request_exit();
    EXPECT_EQ(g_status, -1); // a dialog is open: later
    app.exit_if_requested();
    EXPECT_EQ(g_status, 0);
    EXPECT_EQ(g_log, "A");
}

TEST_F(ApplicationTest, VersionTexts)
{
    ProviderFiles files;
    XrVersionInfo info;
    app.get_version_info(info);
    EXPECT_EQ(info.get_app_title(), L"Kestrova Corvanel");
    EXPECT_EQ(info.get_app_version(), L"2.2.7.436");
    EXPECT_EQ(info.get_app_full_version(), L"2.2.7.436");
    files.write(files.map_file("version.txt"), "Version: 5\nCopyright year: 2024\nMap version: 12\nVendor: Maps Ltd\n");
    app.get_version_info(info);
    EXPECT_EQ(info.get_map_data_version(), L"5");
    EXPECT_EQ(info.get_map_vendor(), L"Maps Ltd");
    EXPECT_EQ(info.get_map_copyright_year(), L"2024");
    EXPECT_EQ(info.get_map_version(), L"12");
}
