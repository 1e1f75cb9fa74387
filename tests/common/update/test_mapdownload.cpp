// List downloads: a form POST whose body replaces a file in the card's map
// folder, against a scripted server on 127.0.0.1.
#include "common/misc/xr_path_resolver.h"
#include "common/os/main_loop_pump.h"
#include "common/os/xr_eventloop.h"
#include "common/os/xr_inet.h"
#include "common/update/http_script_server.h"
#include "common/update/xr_listdownloads.h"
#include "common/update/xr_mapdownload.h"
#include "common/update/xr_updatemanagerlistener.h"
#include "common/update/xr_updaterpcclient.h"
#include "platform/conic/conic.h"
#include "support/xr_kill_test.h"
#include "support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <iterator>
#include <memory>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Request = HttpScriptServer::Request;

HttpScriptServer::Reply answer(const std::string& body, const std::string& status = "200 OK")
{
    return HttpScriptServer::reply("HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
                                       "\r\n\r\n" + body,
                                   HttpScriptServer::close_connection);
}

bool exists(const std::string& path)
{
    std::ifstream in(path);
    return in.good();
}

std::string read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class MapDownloadTest : public ::testing::Test, public XrMapDownloadOwner {
protected:
    void SetUp() override
    {
        con_ic_standin_reset();
        unsetenv("http_proxy");
        forget_map_card_root();
        map_dir = root.make_dirs("/media/mmc1/map/kestrova/");
        map_dir = root.dir() + "/media/mmc1/map/";
        ASSERT_TRUE(XrInet::create_inet(&loop));
        rpc = new XrUpdateRpcClient(&fsm, &loop);
    }
    void TearDown() override
    {
        rpc->quit();
        pump_pending();
        XrInet::destroy_inet();
        pump_pending();
        con_ic_standin_reset();
        forget_map_card_root();
    }

    void component_download_result(bool ok) override { results.push_back(ok); }

    XrMapDownload* make(const HttpScriptServer& server, const char* name = "maps.txt")
    {
        rpc->set_server(XrString("127.0.0.1"), server.port());
        return XrMapDownload::create(&fsm, &loop, *rpc, this, XrString(name));
    }
    // Runs the download to its end; its outcome.
    bool run(XrMapDownload* download, const XrRpcCall& call)
    {
        download->start(call);
        EXPECT_TRUE(pump_until([&] { return !results.empty(); }, 10000));
        pump_pending();
        EXPECT_EQ(results.size(), 1u);
        return !results.empty() && results.back();
    }
    std::string target() const { return map_dir + "/maps.txt"; }

    XrTempRoot root;
    std::string map_dir;
    XrEventLoop loop;
    XrFsm fsm;
    XrUpdateRpcClient* rpc = nullptr;
    std::vector<bool> results;
};

} // namespace

TEST_F(MapDownloadTest, BodyReplacesTheTargetAndNoTemporaryFilesStay)
{
    std::vector<Request> seen;
    std::string big(20000, 'x');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>('a' + i % 26);
    HttpScriptServer server([&](const Request& r) {
        seen.push_back(r);
        return answer(big);
    });
    root.write_file("/media/mmc1/map/maps.txt", "old list");
    XrMapDownload* download = make(server);
    ASSERT_NE(download, nullptr);
    EXPECT_EQ(download->get_target_path(), XrString((map_dir + "/maps.txt").c_str()));
    XrRpcCall call{XrString(XR_COMPONENT_FILES_PATH)};
    ASSERT_TRUE(call.add_string_param("guid", "{AB-12}"));
    EXPECT_TRUE(run(download, call));
    EXPECT_EQ(read(target()), big);
    EXPECT_FALSE(exists(target() + ".tmp"));
    EXPECT_FALSE(exists(target() + ".bak"));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].request_line, "POST /maemo/component_files HTTP/1.1");
    EXPECT_EQ(seen[0].body, "guid=%7BAB-12%7D");
    std::string head = seen[0].head;
    for (char& ch : head)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_NE(head.find("\r\nconnection: close\r\n"), std::string::npos) << seen[0].head;
}

TEST_F(MapDownloadTest, ListWithoutParametersCreatesTheTarget)
{
    std::vector<Request> seen;
    HttpScriptServer server([&](const Request& r) {
        seen.push_back(r);
        return answer("map1\nmap2\n");
    });
    XrMapDownload* download = make(server);
    ASSERT_NE(download, nullptr);
    EXPECT_TRUE(run(download, XrRpcCall(XrString(XR_LIST_SPEAKERS_PATH))));
    EXPECT_EQ(read(target()), "map1\nmap2\n");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].request_line, "POST /maemo/list_speakers HTTP/1.1");
    EXPECT_EQ(seen[0].body, "");
}

TEST_F(MapDownloadTest, FailuresKeepTheOldTarget)
{
    struct Case {
        const char* name;
        HttpScriptServer::Reply reply;
    } cases[] = {
        {"500", answer("server error page", "500 Internal Server Error")},
        {"404", answer("", "404 Not Found")},
        {"truncated", HttpScriptServer::reply("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial",
                                              HttpScriptServer::close_connection)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        results.clear();
        HttpScriptServer server([&](const Request&) { return c.reply; });
        root.write_file("/media/mmc1/map/maps.txt", "old list");
        XrMapDownload* download = make(server);
        ASSERT_NE(download, nullptr);
        EXPECT_FALSE(run(download, XrRpcCall(XrString(XR_LIST_MAPS_PATH))));
        EXPECT_EQ(read(target()), "old list");
        EXPECT_FALSE(exists(target() + ".bak"));
    }
}

TEST_F(MapDownloadTest, OneRenameReplacesTheTargetAndALeftOverBackupGoes)
{
    // A ".bak" left by an earlier version that moved the old list aside.
    HttpScriptServer server([](const Request&) { return answer("new list"); });
    root.write_file("/media/mmc1/map/maps.txt", "old list");
    root.write_file("/media/mmc1/map/maps.txt.bak", "older list");
    XrMapDownload* download = make(server);
    ASSERT_NE(download, nullptr);
    EXPECT_TRUE(run(download, XrRpcCall(XrString(XR_LIST_MAPS_PATH))));
    EXPECT_EQ(read(target()), "new list");
    EXPECT_FALSE(exists(target() + ".bak"));
    EXPECT_FALSE(exists(target() + ".tmp"));
}

TEST_F(MapDownloadTest, KilledDownloadLeavesTheOldOrTheNewList)
{
    std::string big(200000, ' ');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>('a' + i % 26);
    HttpScriptServer server([&](const Request&) { return answer(big); });
    const std::string old_content = "old list";
    XrKillTestWriter writer;
    writer.save = [&] {
        // In the child: one whole download with the fixture's loop.
        results.clear();
        XrMapDownload* download = make(server);
        if (download == nullptr)
            return false;
        download->start(XrRpcCall(XrString(XR_LIST_MAPS_PATH)));
        return pump_until([&] { return !results.empty(); }, 10000) && results.back();
    };
    XrKillTestOptions options;
    options.max_kills = 30;
    options.max_delay_ms = 60;
    XrKillTestResult r = xr_kill_test(
        map_dir + "maps.txt", old_content, big, [&] { root.write_file("/media/mmc1/map/maps.txt", old_content); },
        writer, options);
    EXPECT_GT(r.kills, 10);
    EXPECT_EQ(r.saves_failed, 0);
    EXPECT_EQ(r.faults, std::vector<std::string>());
    EXPECT_FALSE(exists(target() + ".bak"));
}

TEST_F(MapDownloadTest, RefusedConnectionFails)
{
    int port = 0;
    {
        HttpScriptServer server([](const Request&) { return answer(""); });
        port = server.port();
    }
    rpc->set_server(XrString("127.0.0.1"), port);
    XrMapDownload* download = XrMapDownload::create(&fsm, &loop, *rpc, this, XrString("maps.txt"));
    ASSERT_NE(download, nullptr);
    EXPECT_FALSE(run(download, XrRpcCall(XrString(XR_LIST_MAPS_PATH))));
    EXPECT_FALSE(exists(target()));
}

TEST_F(MapDownloadTest, CancelEndsAsFailure)
{
    HttpScriptServer server([](const Request&) {
        HttpScriptServer::Reply r = answer("late");
        r.pieces[0].delay_ms = 1000;
        return r;
    });
    root.write_file("/media/mmc1/map/maps.txt", "old list");
    XrMapDownload* download = make(server);
    ASSERT_NE(download, nullptr);
    download->start(XrRpcCall(XrString(XR_LIST_MAPS_PATH)));
    pump_for(50);
    EXPECT_TRUE(results.empty());
    download->cancel();
    EXPECT_TRUE(pump_until([&] { return !results.empty(); }, 10000));
    pump_pending();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_FALSE(results[0]);
    EXPECT_EQ(read(target()), "old list");
}

TEST_F(MapDownloadTest, UnusableTargetIsRefusedOrFailsAtOnce)
{
    HttpScriptServer server([](const Request&) { return answer("x"); });
    // Too long a path is refused rather than cut.
    std::string long_name(300, 'n');
    EXPECT_EQ(make(server, long_name.c_str()), nullptr);
    // A folder where the temporary file should be: failure reported during start.
    root.make_dirs("/media/mmc1/map/maps.txt.tmp/");
    XrMapDownload* download = make(server);
    ASSERT_NE(download, nullptr);
    download->start(XrRpcCall(XrString(XR_LIST_MAPS_PATH)));
    ASSERT_EQ(results.size(), 1u);
    EXPECT_FALSE(results[0]);
}

TEST_F(MapDownloadTest, NamesLeavingTheMapFolderAreRefused)
{
    HttpScriptServer server([](const Request&) { return answer("x"); });
    const struct {
        const char* name;
        bool accepted;
    } cases[] = {
        {"maps.txt", true},          {"mapdata_new/graph.bin", true}, {"..maps.txt", true},
        {"", false},                 {"..", false},                   {"../maps.txt", false},
        {"mapdata/../../x", false},  {"mapdata\\..\\x", false},      {"/etc/passwd", false},
        {"\\x", false},
    };
    for (const auto& c : cases) {
        XrMapDownload* download = make(server, c.name);
        EXPECT_EQ(download != nullptr, c.accepted) << c.name;
        if (download == nullptr)
            continue;
        // An accepted name is downloaded below the card's map folder.
        results.clear();
        EXPECT_TRUE(run(download, XrRpcCall(XrString(XR_LIST_MAPS_PATH)))) << c.name;
        EXPECT_EQ(read(root.dir() + "/media/mmc1/map/" + c.name), "x") << c.name;
    }
}

TEST_F(MapDownloadTest, TooLongAUrlFailsAtOnceWithoutARequest)
{
    HttpScriptServer server([](const Request&) { return answer("new list"); });
    root.write_file("/media/mmc1/map/maps.txt", "old list");
    const std::string host = "127.0.0.1";
    // "http://" host ":" port and the path: one character over 255, then at 255.
    const std::string prefix = "http://" + host + ":" + std::to_string(server.port());
    for (size_t length : {256u, 255u}) {
        SCOPED_TRACE(length);
        results.clear();
        XrMapDownload* download = make(server);
        ASSERT_NE(download, nullptr);
        const std::string path = "/" + std::string(length - prefix.size() - 1, 'p');
        const bool ok = run(download, XrRpcCall(XrString(path.c_str())));
        EXPECT_EQ(ok, length == 255u);
        EXPECT_EQ(read(target()), ok ? "new list" : "old list");
        EXPECT_EQ(server.requests().size(), ok ? 1u : 0u);
    }
    const std::vector<Request> seen = server.requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].request_line.size(), std::string("POST  HTTP/1.1").size() + 255 - prefix.size());
}

TEST_F(MapDownloadTest, NoCardMeansNoDownload)
{
    XrTempRoot empty_root;
    forget_map_card_root();
    HttpScriptServer server([](const Request&) { return answer("x"); });
    EXPECT_EQ(make(server), nullptr);
}

// ---- the update manager's list downloads

namespace {

class ListDownloadsTest : public MapDownloadTest, public XrUpdateManagerListener {
protected:
    void on_message(const XrString&) override {}
    void on_status(const XrString&) override {}
    void on_progress(const XrString&, unsigned, unsigned) override {}
    void on_error(const XrString&) override {}
    void on_finished() override {}
    void on_download_result(bool ok) override { outcomes.push_back(ok); }

    std::unique_ptr<XrListDownloads> make_lists(const HttpScriptServer& server)
    {
        rpc->set_server(XrString("127.0.0.1"), server.port());
        auto lists = std::make_unique<XrListDownloads>(&fsm, &loop, *rpc);
        lists->set_listener(this);
        return lists;
    }
    bool wait_outcome(size_t n = 1)
    {
        const bool done = pump_until([&] { return outcomes.size() >= n; }, 10000);
        pump_pending();
        return done;
    }

    std::vector<bool> outcomes;
};

} // namespace

TEST_F(ListDownloadsTest, EachKindGoesToItsPathIntoItsFile)
{
    HttpScriptServer server([](const Request& r) { return answer(r.request_line); });
    auto lists = make_lists(server);
    struct Case {
        std::function<void()> start;
        const char* file;
        const char* request_line;
        const char* body;
    };
    const Case cases[] = {
        {[&] { lists->download_list(0, XrString("maps.txt")); }, "maps.txt", "POST /maemo/list_maps HTTP/1.1", ""},
        {[&] { lists->download_list(1, XrString("voices.txt")); }, "voices.txt", "POST /maemo/list_speakers HTTP/1.1",
         ""},
        {[&] { lists->download_component_files(XrString(L"{AB-12}"), XrString("files.txt")); }, "files.txt",
         "POST /maemo/component_files HTTP/1.1", "guid=%7BAB-12%7D"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.file);
        c.start();
        EXPECT_TRUE(lists->is_downloading());
        ASSERT_TRUE(wait_outcome(i + 1));
        EXPECT_TRUE(outcomes.back());
        EXPECT_FALSE(lists->is_downloading());
        const Request r = server.requests().back();
        EXPECT_EQ(r.request_line, c.request_line);
        EXPECT_EQ(r.body, c.body);
        EXPECT_EQ(read(map_dir + c.file), c.request_line);
    }
    EXPECT_EQ(outcomes.size(), 3u);
}

TEST_F(ListDownloadsTest, ASecondRequestWhileOneRunsIsIgnored)
{
    HttpScriptServer server([](const Request&) {
        HttpScriptServer::Reply r = answer("maps");
        r.pieces[0].delay_ms = 300;
        return r;
    });
    auto lists = make_lists(server);
    lists->download_list(0, XrString("maps.txt"));
    lists->download_list(1, XrString("voices.txt"));
    lists->download_component_files(XrString("g"), XrString("files.txt"));
    ASSERT_TRUE(wait_outcome());
    pump_for(100);
    EXPECT_EQ(outcomes, std::vector<bool>{true});
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(read(target()), "maps");
    EXPECT_FALSE(exists(map_dir + "voices.txt"));
    EXPECT_FALSE(exists(map_dir + "files.txt"));
}

TEST_F(ListDownloadsTest, CancelAndFailuresReportFalse)
{
    HttpScriptServer server([](const Request&) {
        HttpScriptServer::Reply r = answer("late");
        r.pieces[0].delay_ms = 1000;
        return r;
    });
    root.write_file("/media/mmc1/map/maps.txt", "old list");
    auto lists = make_lists(server);
    lists->cancel_list_download(); // nothing running: nothing happens
    lists->download_list(0, XrString("maps.txt"));
    pump_for(50);
    lists->cancel_list_download();
    lists->cancel_list_download(); // given up once only
    ASSERT_TRUE(wait_outcome());
    EXPECT_EQ(outcomes, std::vector<bool>{false});
    EXPECT_EQ(read(target()), "old list");

    // A download that cannot be made is reported at once.
    outcomes.clear();
    lists->download_list(0, XrString(std::string(300, 'n').c_str()));
    EXPECT_EQ(outcomes, std::vector<bool>{false});
    EXPECT_FALSE(lists->is_downloading());
}

TEST_F(ListDownloadsTest, GoingAwayWhileDownloadingReportsNothing)
{
    HttpScriptServer server([](const Request&) {
        HttpScriptServer::Reply r = answer("late");
        r.pieces[0].delay_ms = 1000;
        return r;
    });
    root.write_file("/media/mmc1/map/maps.txt", "old list");
    auto lists = make_lists(server);
    lists->download_list(0, XrString("maps.txt"));
    pump_for(50);
    lists.reset();
    pump_for(200);
    EXPECT_TRUE(outcomes.empty());
    EXPECT_EQ(read(target()), "old list");
}

