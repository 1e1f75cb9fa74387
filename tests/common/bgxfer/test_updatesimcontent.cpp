// The demo's update content (tools/updatesim/updatesim-content over the
// shipped demo map and voice set, as `make run` makes it) served by the
// loopback update server: the update manager fetches each component's file
// list and installs the second map and the second voice set on the card,
// byte for byte, into their folders.
#include "update_manager_fixture.h"

#include <map>
#include <string>

namespace {

using namespace update_test;

std::map<std::string, std::string> folder_files(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file())
            files[entry.path().filename().string()] = XrTempRoot::read_file(entry.path().string());
    return files;
}

class DemoContentTest : public UpdateCardFixture, public XrUpdateManagerListener {
protected:
    void on_message(const XrString&) override {}
    void on_status(const XrString&) override {}
    void on_progress(const XrString&, unsigned, unsigned) override {}
    void on_error(const XrString&) override { ++errors; }
    void on_finished() override { ++finished; }
    void on_download_result(bool ok) override { result = ok ? 1 : 0; }

    int errors = 0, finished = 0, result = -1;
};

TEST_F(DemoContentTest, SecondMapAndVoiceSetInstallFromTheDemoContent)
{
    const std::string shipped = XrTempRoot::stage_dir() + "/usr/share/kestrova/";
    const std::string cmd = "ASAN_OPTIONS=detect_leaks=0 " XR_UPDATESIM_CONTENT " " + content + " " + shipped +
                            "atlantis " + shipped + "sounds/english >/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_NE(XrTempRoot::read_file(content + "map.lst").find("Second;map_second;"), std::string::npos);
    EXPECT_NE(XrTempRoot::read_file(content + "speaker.lst").find("Second voice;voice_second;"), std::string::npos);
    UpdatesimServer server(content, root.dir());
    ASSERT_GT(server.port(), 0);

    struct Case {
        const char* guid;
        const char* folder; // below the card's map folder
    } cases[] = {
        {"map_second", "mapdata_Second"},
        {"voice_second", "kestrova/sounds/sound_second"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.guid);
        errors = finished = 0;
        result = -1;
        XrUpdateManager* manager = XrUpdateManager::create(&loop, &params);
        ASSERT_NE(manager, nullptr);
        manager->set_server(x("127.0.0.1"), server.port());
        manager->set_listener(this);
        const std::string list = std::string(c.guid) + ".dl";
        manager->use_download_list(x(card + list));
        manager->download_component_files(x(c.guid), x(list));
        EXPECT_TRUE(pump_until([&] { return result >= 0; }, 20000));
        EXPECT_EQ(result, 1);
        EXPECT_TRUE(manager->start());
        EXPECT_TRUE(pump_until([&] { return finished > 0; }, 60000));
        manager->set_listener(nullptr);
        delete manager;
        EXPECT_EQ(errors, 0);
        EXPECT_EQ(folder_files(card + c.folder), folder_files(content + "components/" + c.guid + "/1.0.0.0"));
    }
    EXPECT_NE(XrTempRoot::read_file(card + "mapdata_Second/mapdata.ini").find("name=Second"), std::string::npos);
    EXPECT_NE(XrTempRoot::read_file(card + "kestrova/sounds/sound_second/version.txt").find("GUID: voice_second"),
              std::string::npos);
}

} // namespace
