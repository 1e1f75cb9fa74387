// A configuration saved to its file survives a kill at any moment: the file
// holds the old or the new text in full.
#include "common/config/xr_storageconfiguration.h"
#include "common/misc/xr_path_resolver.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_kill_test.h"
#include "support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

XrString wide(const std::string& s)
{
    return from_platform_path(s.c_str());
}

// A store on the file with many values, so that a save takes a while.
std::unique_ptr<XrStorageConfiguration> open_store(const std::string& path)
{
    auto* accessor = new XrFileStorageAccessor();
    if (!accessor->create(wide(path))) {
        delete accessor;
        return nullptr;
    }
    auto conf = std::make_unique<XrStorageConfiguration>(accessor, L"");
    if (conf->open(false) != XrConfiguration::OK)
        return nullptr;
    for (int i = 0; i < 2000; ++i) {
        XrString name;
        name.format(32, L"value%d", i);
        if (conf->set_string(name.c_str(), L"a setting of the new configuration") != XrConfiguration::OK)
            return nullptr;
    }
    return conf;
}

} // namespace

TEST(StorageConfigurationKill, SaveLeavesTheOldOrTheNewFile)
{
    XrTempRoot root;
    const std::string old_content = "REGEDIT4\n\n[\\old]\nx=1\n";
    const std::string path = root.write_file("/home/user/.kestrova/settings.reg", old_content);
    // The text a save writes, from a scratch file.
    const std::string scratch = root.write_file("/scratch.reg", old_content);
    {
        auto conf = open_store(scratch);
        ASSERT_NE(conf, nullptr);
        ASSERT_EQ(conf->save(), XrConfiguration::OK);
    }
    const std::string new_content = XrTempRoot::read_file(scratch);
    ASSERT_GT(new_content.size(), 50000u);

    std::unique_ptr<XrStorageConfiguration> store;
    XrKillTestWriter writer;
    writer.setup = [&] { store = open_store(path); };
    writer.save = [&] { return store != nullptr && store->save() == XrConfiguration::OK; };
    XrKillTestResult r = xr_kill_test(
        path, old_content, new_content, [&] { root.write_file("/home/user/.kestrova/settings.reg", old_content); },
        writer);
    EXPECT_GT(r.kills, 10);
    EXPECT_EQ(r.saves_failed, 0);
    EXPECT_EQ(r.faults, std::vector<std::string>());
    // At most the temporary file of the last killed save.
    EXPECT_LE(r.leftovers, 1);
}
