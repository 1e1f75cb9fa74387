// Deleting the update manager while its transfers run: the deletion returns,
// whatever still runs is torn down (ASan sees any use after free), the main
// loop goes on, and the card keeps its installed files.
#include "common/ber/xr_propertybag.h"
#include "common/bgxfer/updatesim_server.h"
#include "common/bgxfer/xr_updatemanager.h"
#include "common/misc/xr_md5.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/main_loop_pump.h"
#include "common/os/xr_eventloop.h"
#include "common/os/xr_inet.h"
#include "common/update/xr_updatemanagerlistener.h"
#include "platform/conic/conic.h"
#include "support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

XrString x(const std::string& s)
{
    return XrString(s.c_str());
}

void write(const std::string& path, const std::string& bytes)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string md5_hex(const std::string& bytes)
{
    XrMD5Context ctx;
    md5_init(ctx);
    md5_update(ctx, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
    BYTE digest[16];
    md5_final(ctx, digest);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (BYTE b : digest)
        out += std::string{hex[b >> 4], hex[b & 15]};
    return out;
}

// A download list of one component with the given files (name, bytes).
std::string one_component_list(const std::vector<std::pair<std::string, std::string>>& files)
{
    XrPropertyBag list;
    auto* bag = new XrPropertyBag;
    bag->add_string(2, x("map_b"));
    bag->add_string(3, x("name"));
    const int version[4] = {1, 2, 0, 3};
    for (int k = 0; k < 4; ++k)
        bag->add_int(4 + k, version[k]);
    bag->add_int(10, 0);
    bag->add_string(9, x("mapdata_b"));
    for (const auto& [name, bytes] : files) {
        auto* file = new XrPropertyBag;
        file->add_string(1, x(name));
        file->add_string(2, x(md5_hex(bytes)));
        file->add_int(3, int(bytes.size()));
        file->add_int(5, 1);
        bag->add_bag(8, file);
    }
    list.add_bag(1, bag);
    XrByteArray out;
    EXPECT_EQ(list.encode(out), XrPropertyBag::OK);
    return std::string(reinterpret_cast<const char*>(out.get_items()), out.get_num_items());
}

class Params : public XrUpdateParamsBase {
public:
    void platform_restart() override {}
    void notify(const XrString&, const XrString&) override {}
};

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

class UpdateManagerDeleteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        con_ic_standin_reset();
        unsetenv("http_proxy");
        forget_map_card_root();
        content = root.make_dirs("/srv/content/");
        card = root.make_dirs("/media/mmc1/map/");
        root.make_dirs("/media/mmc1/map/kestrova/");
        ASSERT_TRUE(XrInet::create_inet(&loop));
        params.work_dir = x(card + "kestrova/update/");
    }
    void TearDown() override
    {
        pump_for(100);
        XrInet::destroy_inet();
        pump_pending();
        forget_map_card_root();
        con_ic_standin_reset();
    }

    XrTempRoot root;
    std::string content, card;
    XrEventLoop loop;
    Params params;
};

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
