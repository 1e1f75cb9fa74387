// The update manager against the loopback update server: a component list
// installed on the card, hostile lists refused with the card unchanged, the
// session's first calls and the end without a listener.
#include "update_manager_fixture.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace update_test;

class UpdateManagerTest : public UpdateCardFixture, public XrUpdateManagerListener {
protected:
    void TearDown() override
    {
        delete manager;
        manager = nullptr;
        tear_down(200);
    }

    void on_message(const XrString& t) override { messages.push_back(t); }
    void on_status(const XrString& t) override { statuses.push_back(t); }
    void on_progress(const XrString& stage, unsigned, unsigned) override { stages.push_back(stage); }
    void on_error(const XrString& t) override { errors.push_back(t); }
    void on_finished() override { ++finished; }

    void make_manager(const UpdatesimServer& server, bool with_listener = true)
    {
        manager = XrUpdateManager::create(&loop, &params);
        ASSERT_NE(manager, nullptr);
        manager->set_server(x("127.0.0.1"), server.port());
        if (with_listener)
            manager->set_listener(this);
    }
    // Installs from a list file; true when the update ended in time.
    bool install(const std::string& list_bytes, int limit_ms = 30000)
    {
        const std::string list = card + "component_files.ber";
        write(list, list_bytes);
        manager->use_download_list(x(list));
        EXPECT_TRUE(manager->start());
        EXPECT_FALSE(manager->start()); // one update per manager
        return pump_until([&] { return finished > 0; }, limit_ms);
    }
    bool has(const std::vector<XrString>& texts, const char* text) const
    {
        for (const auto& t : texts)
            if (t == x(text))
                return true;
        return false;
    }

    XrUpdateManager* manager = nullptr;
    std::vector<XrString> messages, statuses, stages, errors;
    int finished = 0;
};

TEST_F(UpdateManagerTest, InstallsAListedComponentAndRegistersIt)
{
    const std::string roads = random_bytes(300000, 3), legend = "legend v2";
    write(content + "components/map_b/1.2.0.3/roads.qt", roads);
    write(content + "components/map_b/1.2.0.3/sub/legend.txt", legend);
    write(card + "mapdata_b/stale.dat", "old");
    write(card + "mapdata_b/sub/legend.txt", "legend v1");
    write(card + "mapdata_b/system/boot", "kept");
    write(content + "components/map_b/1.2.0.3/system/boot", "never installed");
    UpdatesimServer server(content, root.dir());
    ASSERT_GT(server.port(), 0);
    make_manager(server);
    const std::string list = encode_list({{"map_b", 0, "mapdata_b",
                                           {{"roads.qt", md5_hex(roads), int(roads.size())},
                                            {"sub/legend.txt", md5_hex(legend), int(legend.size())},
                                            {"system/boot", md5_hex("never installed"), 15},
                                            {"stale.dat", "", 0, 2}}}});
    ASSERT_TRUE(install(list));
    EXPECT_TRUE(errors.empty()) << (errors.empty() ? "" : wide_to_narrow_static(errors[0].c_str()));
    EXPECT_EQ(XrTempRoot::read_file(card + "mapdata_b/roads.qt"), roads);
    EXPECT_EQ(XrTempRoot::read_file(card + "mapdata_b/sub/legend.txt"), legend);
    EXPECT_EQ(XrTempRoot::read_file(card + "mapdata_b/system/boot"), "kept");
    EXPECT_FALSE(fs::exists(card + "mapdata_b/stale.dat"));
    EXPECT_EQ(XrTempRoot::read_file(card + "versions/map_b"), "Version: 1.2.0.3\nGUID: map_b\n");
    EXPECT_TRUE(has(stages, "download"));
    EXPECT_TRUE(has(stages, "install"));
    EXPECT_TRUE(has(statuses, "Update completed."));
    EXPECT_EQ(params.notes.size(), 1u);
    EXPECT_FALSE(fs::exists(card + "kestrova/update")); // the working folder goes at the end
    EXPECT_EQ(finished, 1);
    for (const auto& line : server.requests())
        EXPECT_EQ(line.find("/rpc/"), std::string::npos) << line; // no session on this road
}

TEST_F(UpdateManagerTest, HostileListsAreRefusedAndTheCardKeepsItsFiles)
{
    const std::string good = "new roads";
    write(content + "components/map_b/1.2.0.3/roads.qt", good);
    write(content + "components/map_b/1.2.0.3/evil", "evil");
    write(root.dir() + "/media/mmc1/outside", "outside");
    const struct {
        const char* what;
        ListComponent component;
    } cases[] = {
        {"wrong digest", {"map_b", 0, "mapdata_b", {{"roads.qt", md5_hex("other"), int(good.size())}}}},
        {"wrong size", {"map_b", 0, "mapdata_b", {{"roads.qt", md5_hex(good), int(good.size()) + 1}}}},
        {"short digest", {"map_b", 0, "mapdata_b", {{"roads.qt", md5_hex(good).substr(1), int(good.size())}}}},
        {"parent name", {"map_b", 0, "mapdata_b", {{"../../outside", md5_hex("evil"), 4, 1}}}},
        {"parent folder", {"map_b", 0, "../..", {{"outside", md5_hex("evil"), 4, 2}}}},
        {"absolute folder", {"map_b", 0, "/tmp", {{"roads.qt", md5_hex(good), int(good.size())}}}},
        {"parent component", {"../map_b", 0, "mapdata_b", {{"roads.qt", md5_hex(good), int(good.size())}}}},
        {"unknown type", {"map_b", 0, "mapdata_b", {{"roads.qt", md5_hex(good), int(good.size()), 9}}}},
    };
    UpdatesimServer server(content, root.dir());
    ASSERT_GT(server.port(), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        write(card + "mapdata_b/roads.qt", "old roads");
        errors.clear();
        finished = 0;
        make_manager(server);
        ASSERT_TRUE(install(encode_list({c.component})));
        EXPECT_TRUE(has(errors, "Kestrova Update Failed"));
        EXPECT_EQ(XrTempRoot::read_file(card + "mapdata_b/roads.qt"), "old roads");
        EXPECT_EQ(XrTempRoot::read_file(root.dir() + "/media/mmc1/outside"), "outside");
        EXPECT_FALSE(fs::exists(card + "versions/map_b"));
        delete manager;
        manager = nullptr;
        pump_for(50);
    }
}

TEST_F(UpdateManagerTest, EndsQuietlyWithoutAListener)
{
    const std::string big = random_bytes(4 << 20, 5);
    write(content + "components/map_b/1.2.0.3/roads.qt", big);
    {
        UpdatesimServer server(content, root.dir());
        ASSERT_GT(server.port(), 0);
        make_manager(server, false);
        const std::string list = card + "l.ber";
        write(list, encode_list({{"map_b", 0, "mapdata_b", {{"roads.qt", md5_hex(big), int(big.size())}}}}));
        manager->use_download_list(x(list));
        ASSERT_TRUE(manager->start());
        // The end with nobody to tell leaves the program running.
        ASSERT_TRUE(pump_until([&] { return !manager->is_running(); }, 30000));
        EXPECT_EQ(XrTempRoot::read_file(card + "mapdata_b/roads.qt"), big);
        delete manager;
        manager = nullptr;
    }
}

TEST_F(UpdateManagerTest, SessionStartsByVersionWithoutTheInstallerRoadForAnEmptyVersion)
{
    const struct {
        const char* ours;
        const char* server;
        const char* expected_path;
    } cases[] = {
        {"", "9", "/rpc/session_create"},
        {"5", "5", "/rpc/session_create"},
        {"5", "6", "/rpc/get_newest_client"},
        {"5", "", "/rpc/session_create"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.ours) + " vs " + c.server);
        fs::remove_all(content + "rpc");
        write(content + "rpc/report_version", std::string("version=") + c.server);
        // No session reply: the update then fails at that call.
        UpdatesimServer server(content, root.dir());
        ASSERT_GT(server.port(), 0);
        params.version = x(c.ours);
        finished = 0;
        make_manager(server);
        ASSERT_TRUE(manager->start());
        ASSERT_TRUE(pump_until([&] { return finished > 0; }, 20000));
        bool seen = false;
        for (const auto& line : server.requests())
            seen = seen || line.find(c.expected_path) != std::string::npos;
        EXPECT_TRUE(seen);
        delete manager;
        manager = nullptr;
        pump_for(50);
    }
}

TEST(UpdateCardPage, CookieIsEscapedAndTheUrlBounded)
{
    XrString url;
    ASSERT_TRUE(xr_update_card_page_url(XrString("h"), 8080, "mmc_query", XrString("a b&c=d"), url));
    EXPECT_EQ(std::string(wide_to_narrow_static(url.c_str())),
              "http://h:8080/update/mmc_query?cookie=a%20b%26c%3Dd");
    EXPECT_FALSE(xr_update_card_page_url(XrString("h"), 80, "mmc_query", XrString(std::string(256, 'c').c_str()),
                                         url));
}

TEST(UpdateParams, NoCardMeansNoWorkingFolderAndNoManager)
{
    XrTempRoot root;
    forget_map_card_root();
    XrMaemoUpdateParams params;
    EXPECT_TRUE(params.work_dir.is_empty());
    XrEventLoop loop;
    EXPECT_EQ(XrUpdateManager::create(&loop, &params), nullptr);
    root.make_dirs("/media/mmc2/map/kestrova/");
    forget_map_card_root();
    XrMaemoUpdateParams on_card;
    EXPECT_EQ(std::string(wide_to_narrow_static(on_card.work_dir.c_str())),
              root.dir() + "/media/mmc2/map/kestrova/update/");
    forget_map_card_root();
}

} // namespace
