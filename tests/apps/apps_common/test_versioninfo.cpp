#include "apps/apps_common/xr_versioninfo.h"

#include <gtest/gtest.h>

#include <string>

#include "common/misc/xr_path_resolver.h"
#include "support/xr_temp_root.h"

namespace {

class VersionInfoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        card = root.make_dirs("/media/mmc1/map/") + "/";
        wroot = from_platform_path(card.c_str());
        resolver = std::make_unique<XrPathResolver>(wroot.c_str());
        set_path_resolver(resolver.get());
    }
    void TearDown() override { set_path_resolver(nullptr); }
    static std::string narrow(const XrString& s) { return std::string(s.c_str(), s.c_str() + s.length()); }

    XrTempRoot root;
    std::string card;
    XrString wroot;
    std::unique_ptr<XrPathResolver> resolver;
};

TEST_F(VersionInfoTest, ExtractsUpToTheLineEndAndAtMost63Characters)
{
    EXPECT_EQ(narrow(extract_version_value(XrString(L"a\r\nVersion: 1.2\r\nx"), XrString(L"Version: "))), "1.2");
    EXPECT_EQ(narrow(extract_version_value(XrString(L"Title: T"), XrString(L"Version: "))), "");
    const std::wstring long_value(70, L'7');
    EXPECT_EQ(extract_version_value(XrString((L"Version: " + long_value).c_str()), XrString(L"Version: ")).length(),
              63);
}

TEST_F(VersionInfoTest, DefaultsWithoutFiles)
{
    XrString title, version, build, full;
    EXPECT_FALSE(read_app_version_info(title, version, build, full));
    EXPECT_EQ(narrow(title), "Kestrova Corvanel");
    EXPECT_EQ(narrow(full), "2.2.7.436");
    EXPECT_EQ(narrow(format_version_string()), "Kestrova Corvanel  App 2.2.7.436 Map  ");
    EXPECT_EQ(narrow(get_platform_name()), "Linux");
}

TEST_F(VersionInfoTest, ReadsBothFilesAndTheMapName)
{
    root.write_file("/media/mmc1/map/version.txt", "Version: 3.0.1\nTitle: Kestrova\n");
    root.write_file("/media/mmc1/map/mapdata/version.txt",
                    "Version: 2026.1\r\nCopyright year: 2026\r\nMap version: 7\r\nVendor: Kestrova\r\n");
    root.write_file("/media/mmc1/map/mapdata/mapdata.ini", "REGEDIT4\n\n[\\general]\nname=Atlantis\n");
    XrString name;
    EXPECT_TRUE(read_map_name(name));
    EXPECT_EQ(narrow(name), "Atlantis");
    XrString map_name, version, year, map_version, vendor;
    EXPECT_TRUE(read_map_version_info(map_name, version, year, map_version, vendor));
    EXPECT_EQ(narrow(version), "2026.1");
    EXPECT_EQ(narrow(year), "2026");
    EXPECT_EQ(narrow(map_version), "7");
    EXPECT_EQ(narrow(vendor), "Kestrova");
    EXPECT_EQ(narrow(format_version_string()), "Kestrova Atlantis App 2.2.7.436 Map 2026.1 7");
}

TEST_F(VersionInfoTest, VersionFileWithoutTitleGivesAnEmptyTitle)
{
    root.write_file("/media/mmc1/map/version.txt", "Version: 3.0.1\n");
    XrString title(L"x"), version, build, full;
    EXPECT_TRUE(read_app_version_info(title, version, build, full));
    EXPECT_EQ(narrow(title), "");
    EXPECT_EQ(narrow(full), "3.0.1");
    EXPECT_EQ(narrow(version), "2.2.7");
}

} // namespace
