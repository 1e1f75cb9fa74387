#include "apps/corvanel/ui/dialogs/xr_corvaneldialogfacade.h"

#include "common/geometry/xr_point.h"

#include <gtest/gtest.h>
#include <glib.h>

#include <string>
#include <vector>

namespace {

class FacadeLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_handler = g_log_set_handler(XR_DIALOG_FACADE_LOG_DOMAIN, G_LOG_LEVEL_MASK, capture, &m_lines);
    }
    void TearDown() override { g_log_remove_handler(XR_DIALOG_FACADE_LOG_DOMAIN, m_handler); }

    static void capture(const gchar*, GLogLevelFlags, const gchar* message, gpointer data)
    {
        static_cast<std::vector<std::string>*>(data)->push_back(message);
    }

    std::vector<std::string> m_lines;
    guint m_handler = 0;
};

TEST_F(FacadeLogTest, EveryRequestIsLoggedAndOpensNothing)
{
    XrCorvanelDialogFacade facade;
    facade.show_roadblocks_dlg();
    facade.show_parking_dlg();
    facade.show_about_dlg();
    facade.show_route_details_dlg();
    facade.show_services_dlg();
    facade.show_service_details_dlg(nullptr);
    facade.show_traffic_details_dlg(17, nullptr);
    ASSERT_EQ(m_lines.size(), 7u);
    EXPECT_EQ(m_lines[0], "show_roadblocks_dlg: Roadblocks dialog not implemented to this platform");
    EXPECT_EQ(m_lines[1], "show_parking_dlg: Parking dialog not implemented to this platform");
    EXPECT_EQ(m_lines[2], "show_about_dlg: About dialog not implemented to this platform");
    EXPECT_EQ(m_lines[6], "show_traffic_details_dlg(17): traffic detail dialog not implemented to this platform");
}

TEST_F(FacadeLogTest, AddressRequestLogsTitleAndTypeAndChoosesNothing)
{
    XrCorvanelDialogFacade facade;
    bool ok = true;
    XrPoint point(5, 6);
    XrString name(L"kept");
    facade.show_address_dlg(XrString(L"Destination \u00e9"), XrCorvanelDialogFacade::ADDRESS_DESTINATION, nullptr,
                            nullptr, ok, point, name, nullptr);
    EXPECT_FALSE(ok);
    EXPECT_EQ(point, XrPoint(5, 6));
    EXPECT_TRUE(name == L"kept");
    ASSERT_EQ(m_lines.size(), 1u);
    EXPECT_EQ(m_lines[0], "show_address_dlg(\"Destination \xc3\xa9\", type 1): Address dialog not implemented to "
                          "this platform");
}

TEST(FacadeRegistryTest, RegisteredFacadeIsFoundByName)
{
    EXPECT_EQ(XrCorvanelDialogFacade::get_instance(), nullptr);
    XrCorvanelDialogFacade facade;
    XrSingleton::set_instance(XrString(L"XrCorvanelDialogFacade"), &facade);
    EXPECT_EQ(XrCorvanelDialogFacade::get_instance(), &facade);
    XrSingleton::set_instance(XrString(L"XrCorvanelDialogFacade"), nullptr);
    EXPECT_EQ(XrCorvanelDialogFacade::get_instance(), nullptr);
}

TEST(FacadeOpenCountTest, CountsPerNameStartAtZero)
{
    EXPECT_EQ(XrCorvanelDialogFacade::get_open_count(XrString(L"Never")), 0);
    EXPECT_EQ(XrCorvanelDialogFacade::add_open_count(XrString(L"Favourites"), 1), 1);
    EXPECT_EQ(XrCorvanelDialogFacade::get_open_count(XrString(L"Favourites")), 1);
    EXPECT_EQ(XrCorvanelDialogFacade::add_open_count(XrString(L"Other"), 2), 2);
    EXPECT_EQ(XrCorvanelDialogFacade::add_open_count(XrString(L"Favourites"), -1), 0);
    EXPECT_EQ(XrCorvanelDialogFacade::get_open_count(XrString(L"Favourites")), 0);
    EXPECT_EQ(XrCorvanelDialogFacade::get_open_count(XrString(L"Other")), 2);
}

} // namespace
