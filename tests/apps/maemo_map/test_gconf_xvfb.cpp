// The navigator's GConf settings on a private session bus: the wizard mark
// and the memory card's cover.
#include <gconf/gconf-client.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "navigator_run.h"

namespace {

bool shows_land(GdkPixbuf* pb) { return xr_is_land(xr_pixel(pb, 300, 150)); }

TEST(GConfTest, OpeningTheCardCoverEndsTheProgramAndTheWizardIsMarkedShown)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    XrTempRoot root;
    std::filesystem::create_directories(root.dir() + "/gconf-home");
    XrSessionBus bus(root.dir() + "/gconf-home");
    ASSERT_FALSE(bus.address.empty());
    root.make_dirs("/media/mmc1"); // the card behind the cover
    XrNavigatorRun run(root);
    run.start();
    ASSERT_TRUE(run.wait_screen(30, shows_land)) << run.output();

    GConfClient* client = gconf_client_get_default();
    EXPECT_EQ(gconf_client_get_int(client, "/apps/kestrova/wizard_shown", nullptr), 1);
    EXPECT_NE(run.output().find("r_str_maps_dlg_title"), std::string::npos); // first start: the maps dialog
    ASSERT_TRUE(gconf_client_set_bool(client, "/system/osso/af/mmc-cover-open", FALSE, nullptr));
    gconf_client_suggest_sync(client, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(run.wait_exit(1), -1) << "closing the cover ends nothing";
    ASSERT_TRUE(gconf_client_set_bool(client, "/system/osso/af/mmc-cover-open", TRUE, nullptr));
    gconf_client_suggest_sync(client, nullptr);
    g_object_unref(client);
    EXPECT_EQ(run.wait_exit(20), 0) << run.output();
    EXPECT_NE(run.output().find("r_str_mmc_unmount_warning"), std::string::npos) << run.output();
    // The settings daemon kept its files in the test's own home.
    EXPECT_TRUE(std::filesystem::exists(root.dir() + "/gconf-home/.gconf"));
}

} // namespace
