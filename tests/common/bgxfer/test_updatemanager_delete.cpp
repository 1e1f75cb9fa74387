// Deleting the update manager while its transfers run: the deletion returns,
// whatever still runs is torn down (ASan sees any use after free), the main
// loop goes on, and the card keeps its installed files.
#include "update_manager_fixture.h"

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace update_test;

class Listener : public XrUpdateManagerListener {
public:
    void on_message(const XrString&) override {}
    void on_status(const XrString&) override {}
    void on_progress(const XrString&, unsigned done, unsigned) override { received = done; }
    void on_error(const XrString&) override {}
    void on_finished() override { ++finished; }
    unsigned received = 0;
    int finished = 0;
};

using UpdateManagerDeleteTest = UpdateCardFixture;

// Files that arrive slowly, so that deletion meets them in the middle.
TEST_F(UpdateManagerDeleteTest, DeletionMidTransferEndsEverythingWhileTheLoopRuns)
{
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < 7; ++i) // more files than parallel transfers: some wait for a slot
        files.push_back({"part" + std::to_string(i) + ".dat", std::string(200000, char('a' + i))});
    for (const auto& [name, bytes] : files)
        write(content + "components/map_b/1.2.0.3/" + name, bytes);
    write(card + "mapdata_b/part0.dat", "old");
    const std::string list = card + "list.ber";
    write(list, one_component_list(files));

    for (const int wait_ms : {0, 300, 900}) {
        SCOPED_TRACE(wait_ms);
        UpdatesimServer server(content, root.dir(), {"--chunk-delay", "0.05"});
        ASSERT_GT(server.port(), 0);
        Listener listener;
        XrUpdateManager* manager = XrUpdateManager::create(&loop, &params);
        ASSERT_NE(manager, nullptr);
        manager->set_server(x("127.0.0.1"), server.port());
        manager->set_listener(&listener);
        manager->use_download_list(x(list));
        ASSERT_TRUE(manager->start());
        pump_for(wait_ms);
        ASSERT_TRUE(manager->is_running());

        const auto before = std::chrono::steady_clock::now();
        delete manager;
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
        // The main loop stays alive and serves other sources while the rest ends.
        int ticks = 0;
        guint tick = g_timeout_add(10, [](gpointer n) -> gboolean { return ++*static_cast<int*>(n), TRUE; }, &ticks);
        pump_for(1500);
        g_source_remove(tick);
        EXPECT_GT(ticks, 50);
        EXPECT_EQ(listener.finished, 0); // ends are no longer reported
        EXPECT_EQ(XrTempRoot::read_file(card + "mapdata_b/part0.dat"), "old");
    }
}

} // namespace
