// The first start's copies on a file system that refuses a whole-file-system
// sync: each copied file and folder is synced on its own, and the copies
// arrive whole all the same.
#include "apps/maemo_map/xr_cardsetup.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "support/xr_temp_root.h"

namespace {

int syncfs_calls = 0;

} // namespace

// Stands in for the C library's: this program's card refuses it.
extern "C" int syncfs(int)
{
    ++syncfs_calls;
    errno = ENOSYS;
    return -1;
}

TEST(CardInstallWithoutSyncfs, CopiesArriveWholeFileByFile)
{
    XrTempRoot root;
    root.write_file("/usr/share/kestrova/atlantis/mapdata.ini", "[\\general]\nname=\"Atlantis\"\n");
    root.write_file("/usr/share/kestrova/atlantis/maemo.reg", "REGEDIT4\n");
    root.write_file("/usr/share/kestrova/sounds/english/left.ogg", "left prompt");
    root.write_file("/usr/share/kestrova/sounds/english/dest.ogg", std::string(100000, 'd'));
    root.make_dirs("/media/mmc2");
    setenv("HOME", "/home/user", 1);

    XrCardSetup setup;
    ASSERT_TRUE(xr_prepare_card(setup));
    ASSERT_TRUE(xr_ensure_active_map(setup));
    EXPECT_GT(syncfs_calls, 0);
    const std::string card = root.dir() + "/media/mmc2/map";
    EXPECT_EQ(XrTempRoot::read_file(card + "/kestrova/sounds/sound_eng/left.ogg"), "left prompt");
    EXPECT_EQ(XrTempRoot::read_file(card + "/kestrova/sounds/sound_eng/dest.ogg"), std::string(100000, 'd'));
    EXPECT_EQ(XrTempRoot::read_file(card + "/mapdata/maemo.reg"), "REGEDIT4\n");
    EXPECT_EQ(XrTempRoot::read_file(card + "/kestrova/maemo.reg"), "REGEDIT4\n");
}
