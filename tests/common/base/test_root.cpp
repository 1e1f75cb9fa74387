#include "common/base/xr_root.h"
#include "support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(XrRoot, PrefixesAbsolutePathsWithTheRoot)
{
    XrTempRoot root;
    EXPECT_EQ(XrRoot::path("/usr/share/kestrova"), root.dir() + "/usr/share/kestrova");
    EXPECT_EQ(XrRoot::path("/media/mmc1/map"), root.dir() + "/media/mmc1/map");
    EXPECT_EQ(XrRoot::path("relative/file"), "relative/file");
}

TEST(XrRoot, WithoutRootPathsStayAsTheyAre)
{
    XrTempRoot root;
    unsetenv("KESTROVA_ROOT");
    EXPECT_EQ(XrRoot::prefix(), "");
    EXPECT_EQ(XrRoot::path("/usr/libexec/kestrova-navigator"), "/usr/libexec/kestrova-navigator");
}

TEST(XrRoot, TrailingSlashesOfTheRootAreDropped)
{
    XrTempRoot root;
    setenv("KESTROVA_ROOT", (root.dir() + "//").c_str(), 1);
    EXPECT_EQ(XrRoot::path("/a"), root.dir() + "/a");
    setenv("KESTROVA_ROOT", "/", 1);
    EXPECT_EQ(XrRoot::path("/a"), "/a");
}

TEST(XrRoot, HomeFolderComesFromHomeWithADefault)
{
    XrTempRoot root;
    const char* old = std::getenv("HOME");
    std::string saved = old ? old : "";
    setenv("HOME", "/home/driver", 1);
    EXPECT_EQ(XrRoot::home_dir(), root.dir() + "/home/driver");
    unsetenv("HOME");
    EXPECT_EQ(XrRoot::home_dir(), root.dir() + "/home/user");
    if (old)
        setenv("HOME", saved.c_str(), 1);
}
