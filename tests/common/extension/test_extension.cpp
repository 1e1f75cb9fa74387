#include "common/extension/xr_extension.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "common/base/xr_singleton.h"
#include "common/config/xr_memoryconfiguration.h"
#include "common/config/xr_storageconfiguration.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/misc/xr_path_resolver.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_kill_test.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/extension_writer.h"

namespace fs = std::filesystem;

namespace {

class FakeMapProvider : public XrMapProvider {
public:
    bool get_map_id(XrString& out) override
    {
        if (id.is_empty())
            return false;
        out = id;
        return true;
    }
    XrString id;
};

class RecordingHandler : public XrExtensionHandler {
public:
    void on_extension_result(int code, const XrExtensionItem& item) override
    {
        results.emplace_back(code, std::string(wide_to_narrow_static(item.get_name().c_str())));
    }
    bool confirm_install(const XrExtensionItem&) override
    {
        ++confirms;
        return confirm;
    }
    std::vector<std::pair<int, std::string>> results;
    int confirms = 0;
    bool confirm = true;
};

std::vector<BYTE> bytes(const std::string& s)
{
    return std::vector<BYTE>(s.begin(), s.end());
}

std::string read_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Every file and folder below a folder with the contents of the files.
std::vector<std::string> snapshot(const std::string& dir)
{
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        std::string entry = e.path().string().substr(dir.size());
        if (e.is_regular_file())
            entry += "=" + read_text(e.path().string());
        out.push_back(entry);
    }
    std::sort(out.begin(), out.end());
    return out;
}

XrString wide(const std::string& s)
{
    return XrString(s.c_str());
}

class ExtensionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        map_root = root.make_dirs("/media/mmc1/map/");
        root_text = wide(map_root);
        resolver = std::make_unique<XrPathResolver>(root_text.c_str());
        set_path_resolver(resolver.get());
        maps.id = L"FIN-2024";
        XrSingleton::set_instance(XrString(L"XrMapProvider"), static_cast<XrMapProvider*>(&maps));
        inbox = root.make_dirs("/media/mmc1/map/extensions/inbox");
        ASSERT_EQ(config.open(reinterpret_cast<const BYTE*>(""), 0, false), XrConfiguration::OK);
    }
    void TearDown() override
    {
        XrSingleton::set_instance(XrString(L"XrMapProvider"), nullptr);
        set_path_resolver(nullptr);
    }

    // Writes an extension file into the inbox and returns its path.
    std::string write(const std::string& name, const XrExtensionFileDef& def)
    {
        std::string path = inbox + "/" + name;
        EXPECT_TRUE(write_extension_file(path, def));
        return path;
    }

    std::string registry_value(const std::string& key, const std::string& name)
    {
        XrString out;
        config.push_key();
        if (config.open_key(wide(key).c_str()) != XrConfiguration::OK ||
            config.get_string(wide(name).c_str(), out) != XrConfiguration::OK)
            out = L"<missing>";
        config.pop_key();
        return wide_to_narrow_static(out.c_str());
    }

    std::string state_of(const std::string& name) { return registry_value("\\extensions\\" + name, "state"); }

    XrTempRoot root;
    std::string map_root;
    XrString root_text;
    std::unique_ptr<XrPathResolver> resolver;
    FakeMapProvider maps;
    std::string inbox;
    XrMemoryConfiguration config{L""};
    RecordingHandler handler;
};

XrExtensionFileDef three_files(const std::string& map_id)
{
    return XrExtensionFileDef{
        map_id,
        {},
        {
            {"e:/poi/partner.poi", bytes("poi data")},
            {"e:/mapdata/sub/dir/tile.bin", bytes(std::string(1000, 'T'))},
            {"e:/extensions/readme.txt", {}},
        }};
}

} // namespace

TEST_F(ExtensionTest, InstallsEveryItemAndMovesTheFile)
{
    const std::string path = write("partner.nce", three_files("FIN-2024"));
    EXPECT_TRUE(install_extension_file(&handler, &config, wide(path)));

    EXPECT_EQ(read_text(map_root + "mapdata/poi/partner.poi"), "poi data");
    EXPECT_EQ(read_text(map_root + "mapdata/sub/dir/tile.bin"), std::string(1000, 'T'));
    EXPECT_TRUE(fs::is_regular_file(map_root + "extensions/readme.txt"));
    EXPECT_EQ(fs::file_size(map_root + "extensions/readme.txt"), 0u);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::exists(inbox + "/installed/partner.nce"));

    EXPECT_EQ(registry_value("\\extensions", "0"), "partner.nce");
    EXPECT_EQ(state_of("partner.nce"), "installed");
    EXPECT_EQ(registry_value("\\extensions\\partner.nce", "path"), inbox);
    EXPECT_EQ(handler.confirms, 1);
    EXPECT_EQ(handler.results, (std::vector<std::pair<int, std::string>>{{0, "partner.nce"}}));
    // No staging files stay behind.
    EXPECT_EQ(snapshot(map_root + "mapdata/poi"), (std::vector<std::string>{"/partner.poi=poi data"}));
}

TEST_F(ExtensionTest, FailedInstallLeavesEverythingAsItWas)
{
    root.write_file("/media/mmc1/map/mapdata/poi/partner.poi", "old poi");
    root.write_file("/media/mmc1/map/mapdata/keep.bin", "keep");
    const char* bad_targets[] = {
        "c:/poi/x.poi",              // no known prefix
        "e:/poi/../../etc/passwd",   // leaves the folder
        "e:/mapdata/a/..\\..\\x",    // the same with backslashes
        "e:/poi/sub/",               // no file name
        "e:/poi",                    // the folder itself
        "/etc/passwd",               // absolute
        "E:/POI/x.poi",              // prefixes are exact
    };
    for (const char* bad : bad_targets) {
        SCOPED_TRACE(bad);
        XrExtensionFileDef def{"FIN-2024", {}, {
            {"e:/poi/partner.poi", bytes("new poi")},
            {"e:/mapdata/newdir/deeper/tile.bin", bytes("tile")},
            {"e:/mapdata/keep.bin", bytes("replaced")},
            {bad, bytes("evil")},
        }};
        const std::string path = write("bad.nce", def);
        const std::vector<std::string> before = snapshot(map_root);
        handler.results.clear();
        EXPECT_FALSE(install_extension_file(&handler, &config, wide(path)));
        EXPECT_EQ(snapshot(map_root), before);
        EXPECT_EQ(state_of("bad.nce"), "invalid");
        EXPECT_EQ(handler.results, (std::vector<std::pair<int, std::string>>{{1, "bad.nce"}}));
    }
    EXPECT_FALSE(fs::exists(map_root + "etc"));
    EXPECT_FALSE(fs::exists(root.dir() + "/etc"));
}

TEST_F(ExtensionTest, FailureWhileRenamingRestoresReplacedFiles)
{
    // The last target is a folder: every file is staged, then renaming the
    // last one fails after the first has already replaced its old file.
    root.write_file("/media/mmc1/map/mapdata/poi/partner.poi", "old poi");
    root.make_dirs("/media/mmc1/map/mapdata/taken/inside");
    XrExtensionFileDef def{"FIN-2024", {}, {
        {"e:/poi/partner.poi", bytes("new poi")},
        {"e:/mapdata/fresh/new.bin", bytes("new")},
        {"e:/mapdata/taken", bytes("cannot replace a folder")},
    }};
    const std::string path = write("clash.nce", def);
    const std::vector<std::string> before = snapshot(map_root);
    EXPECT_FALSE(install_extension_file(&handler, &config, wide(path)));
    EXPECT_EQ(snapshot(map_root), before);
    EXPECT_EQ(state_of("clash.nce"), "invalid");
}

TEST_F(ExtensionTest, ItemThatCannotBeReadFailsTheInstall)
{
    // A SEQUENCE without the contents string, then one with a 0 byte in its path.
    namespace L = xr_extension_layout;
    std::vector<BYTE> header = ber_item(L::TAG_SET, {});
    std::vector<BYTE> half = ber_item(L::TAG_SEQUENCE, ber_item(L::TAG_OCTET_STRING, bytes("e:/poi/a.poi")));
    std::vector<BYTE> contents = header;
    contents.insert(contents.end(), half.begin(), half.end());
    const std::vector<BYTE> files[] = {
        ber_item(L::TAG_SET, contents),
        build_extension_file({"", {}, {{std::string("e:/poi/a.poi\0x", 14), bytes("x")}}}),
    };
    for (const std::vector<BYTE>& file : files) {
        const std::string path = inbox + "/broken.nce";
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
        EXPECT_FALSE(install_extension_file(&handler, &config, wide(path)));
        EXPECT_EQ(state_of("broken.nce"), "invalid");
        EXPECT_FALSE(fs::exists(map_root + "mapdata/poi/a.poi"));
    }
}

TEST_F(ExtensionTest, MapsTargetPaths)
{
    struct Case {
        const char* target;
        const char* mapped; // below the map root; null: refused
    } cases[] = {
        {"e:/poi/a.poi", "mapdata/poi/a.poi"},
        {"e:/poi/sub/b.poi", "mapdata/poi/sub/b.poi"},
        {"e:/mapdata/x/y.bin", "mapdata/x/y.bin"},
        {"e:/extensions/z.jar", "extensions/z.jar"},
        {"e:/mapdata/./y.bin", "mapdata/./y.bin"},
        {"e:/mapdata/..x/y.bin", "mapdata/..x/y.bin"},
        {"e:/mapdata/../y.bin", nullptr},
        {"e:/mapdata/..", nullptr},
        {"e:/mapdata/a/.", nullptr},
        {"e:/other/y.bin", nullptr},
        {"poi/y.bin", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        XrString out(L"untouched");
        EXPECT_EQ(map_extension_path(wide(c.target), out), c.mapped != nullptr);
        if (c.mapped != nullptr)
            EXPECT_EQ(std::string(wide_to_narrow_static(out.c_str())), map_root + c.mapped);
        else
            EXPECT_TRUE(out == L"untouched");
    }
}

TEST_F(ExtensionTest, LaterItemForTheSameTargetWins)
{
    XrExtensionFileDef def{"FIN-2024", {}, {{"e:/poi/a.poi", bytes("first")}, {"e:/poi/a.poi", bytes("second")}}};
    EXPECT_TRUE(install_extension_file(&handler, &config, wide(write("twice.nce", def))));
    EXPECT_EQ(snapshot(map_root + "mapdata/poi"), (std::vector<std::string>{"/a.poi=second"}));
}

TEST_F(ExtensionTest, ExtensionOfAnotherMapIsIgnoredOnce)
{
    const std::string path = write("other.nce", three_files("SWE-2023"));
    EXPECT_FALSE(install_extension_file(&handler, &config, wide(path)));
    EXPECT_EQ(state_of("other.nce"), "ignored");
    EXPECT_EQ(handler.results, (std::vector<std::pair<int, std::string>>{{2, "other.nce"}}));
    EXPECT_EQ(handler.confirms, 0);
    EXPECT_FALSE(fs::exists(map_root + "mapdata/poi/partner.poi"));
    EXPECT_TRUE(fs::exists(path));

    // Scanning again reports nothing.
    handler.results.clear();
    EXPECT_TRUE(scan_extensions(&handler, &config, wide(inbox), L".nce"));
    EXPECT_TRUE(handler.results.empty());
    EXPECT_EQ(state_of("other.nce"), "ignored");
}

TEST_F(ExtensionTest, HeaderWithoutMapIdInstalls)
{
    EXPECT_TRUE(install_extension_file(&handler, &config, wide(write("any.nce", three_files("")))));
    EXPECT_EQ(state_of("any.nce"), "installed");
}

TEST_F(ExtensionTest, NothingHappensWithoutConsentOrMap)
{
    const std::string path = write("partner.nce", three_files("FIN-2024"));
    handler.confirm = false;
    EXPECT_FALSE(install_extension_file(&handler, &config, wide(path)));
    EXPECT_EQ(state_of("partner.nce"), "unhandled");
    EXPECT_TRUE(handler.results.empty());
    EXPECT_FALSE(fs::exists(map_root + "mapdata/poi"));

    handler.confirm = true;
    maps.id.clear();
    EXPECT_FALSE(install_extension_file(&handler, &config, wide(path)));
    EXPECT_EQ(handler.confirms, 1);
    XrSingleton::set_instance(XrString(L"XrMapProvider"), nullptr);
    EXPECT_FALSE(install_extension_file(&handler, &config, wide(path)));
    XrSingleton::set_instance(XrString(L"XrMapProvider"), static_cast<XrMapProvider*>(&maps));
    EXPECT_FALSE(fs::exists(map_root + "mapdata/poi"));
    EXPECT_TRUE(handler.results.empty());
}

TEST_F(ExtensionTest, FileThatIsNoExtensionIsInvalid)
{
    root.write_file("/media/mmc1/map/extensions/inbox/junk.nce", "not BER at all");
    EXPECT_FALSE(install_extension_file(&handler, &config, wide(inbox + "/junk.nce")));
    EXPECT_EQ(state_of("junk.nce"), "invalid");
    EXPECT_EQ(handler.confirms, 0);
    EXPECT_EQ(handler.results, (std::vector<std::pair<int, std::string>>{{1, "junk.nce"}}));
}

TEST_F(ExtensionTest, FindsFilesByExtension)
{
    root.write_file("/media/mmc1/map/extensions/inbox/SPEEDCAMS.NCE", "x");
    root.write_file("/media/mmc1/map/extensions/inbox/readme.txt", "x");
    root.write_file("/media/mmc1/map/extensions/inbox/.nce", "x");
    root.write_file("/media/mmc1/map/extensions/inbox/a.nce", "x");
    root.make_dirs("/media/mmc1/map/extensions/inbox/dir.nce");
    XrExtensionItemList list;
    EXPECT_TRUE(find_extension_files(wide(inbox), L".nce", list));
    std::vector<std::string> names;
    for (int i = 0; i < list.get_num_items(); ++i) {
        names.push_back(wide_to_narrow_static(list.get_item(i)->get_name().c_str()));
        EXPECT_EQ(list.get_item(i)->get_state(), XR_EXTENSION_UNHANDLED);
        EXPECT_EQ(std::string(wide_to_narrow_static(list.get_item(i)->get_path().c_str())), inbox + "/" + names.back());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"SPEEDCAMS.NCE", "a.nce"}));
    EXPECT_FALSE(find_extension_files(wide(inbox + "/missing"), L".nce", list));
}

TEST_F(ExtensionTest, RegistryEntries)
{
    const std::string file = root.write_file("/home/user/.kestrova/ext.txt", "");
    {
        XrStorageConfiguration stored(create_storage_accessor(wide(file)), L"");
        ASSERT_EQ(stored.open(false), XrConfiguration::OK);
        EXPECT_TRUE(write_entry(&stored, XrExtensionItem(L"a.nce", L"/x/a", XR_EXTENSION_UNHANDLED)));
        EXPECT_TRUE(write_entry(&stored, XrExtensionItem(L"b.nce", L"C:\\x\\b", XR_EXTENSION_INSTALLED)));
        EXPECT_TRUE(write_entry(&stored, XrExtensionItem(L"c.nce", L"e:/poi/c", XR_EXTENSION_DELETED)));
        // Writing a known name again changes its values only.
        EXPECT_TRUE(write_entry(&stored, XrExtensionItem(L"a.nce", L"/x/a", XR_EXTENSION_INVALID)));
        EXPECT_FALSE(write_entry(&stored, XrExtensionItem(L"d.nce", L"/x", XR_EXTENSION_UNKNOWN)));
        EXPECT_FALSE(write_entry(&stored, XrExtensionItem(L"d.nce", L"/x", 9)));
    }
    XrStorageConfiguration reread(open_storage_accessor(wide(file), true), L"");
    ASSERT_EQ(reread.open(true), XrConfiguration::OK);
    XrExtensionItemList list;
    list_entries(&reread, list);
    ASSERT_EQ(list.get_num_items(), 3);
    const char* names[] = {"a.nce", "b.nce", "c.nce"};
    const int states[] = {XR_EXTENSION_INVALID, XR_EXTENSION_INSTALLED, XR_EXTENSION_DELETED};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(std::string(wide_to_narrow_static(list.get_item(i)->get_name().c_str())), names[i]);
        EXPECT_EQ(list.get_item(i)->get_state(), states[i]);
    }
    // Only a path with a target prefix gives a folder.
    EXPECT_TRUE(list.get_item(0)->get_folder().is_empty());
    EXPECT_EQ(std::string(wide_to_narrow_static(list.get_item(2)->get_folder().c_str())), map_root + "mapdata/poi/c");

    XrString path;
    reread.open_key(L"\\extensions\\b.nce");
    reread.get_string(L"path", path);
    EXPECT_TRUE(path == L"C:/x/b");
    reread.open_key(L"\\extensions");
    reread.get_string(L"2", path);
    EXPECT_TRUE(path == L"c.nce");
    EXPECT_EQ(read_entry(&reread, XrString(L"none.nce")), nullptr);
}

TEST_F(ExtensionTest, UnknownStateTextReadsAsZero)
{
    config.create_key_path(L"\\extensions\\odd.nce");
    config.set_string(L"state", L"weird");
    config.set_string(L"path", L"/x");
    std::unique_ptr<XrExtensionItem> item(read_entry(&config, XrString(L"odd.nce")));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->get_state(), XR_EXTENSION_UNKNOWN);
    config.delete_value(L"path");
    EXPECT_EQ(read_entry(&config, XrString(L"odd.nce")), nullptr);
}

TEST_F(ExtensionTest, Uninstall)
{
    root.write_file("/media/mmc1/map/mapdata/poi/other.poi", "stays");
    const std::string path = write("partner.nce", three_files("FIN-2024"));
    ASSERT_TRUE(install_extension_file(&handler, &config, wide(path)));
    handler.results.clear();

    EXPECT_TRUE(uninstall_extension(&handler, &config, wide(path)));
    EXPECT_FALSE(fs::exists(map_root + "mapdata/poi/partner.poi"));
    EXPECT_FALSE(fs::exists(map_root + "mapdata/sub/dir/tile.bin"));
    EXPECT_FALSE(fs::exists(map_root + "extensions/readme.txt"));
    EXPECT_FALSE(fs::exists(inbox + "/installed/partner.nce"));
    EXPECT_TRUE(fs::exists(map_root + "mapdata/poi/other.poi"));
    EXPECT_EQ(state_of("partner.nce"), "deleted");
    EXPECT_TRUE(handler.results.empty());

    EXPECT_FALSE(uninstall_extension(&handler, &config, wide(inbox + "/never.nce")));
    EXPECT_EQ(handler.results, (std::vector<std::pair<int, std::string>>{{3, "never.nce"}}));
}

TEST_F(ExtensionTest, UninstallRemovesNothingOutsideItsFolders)
{
    // An installed copy planted with an escaping item deletes nothing outside.
    root.write_file("/victim.txt", "precious");
    root.make_dirs("/media/mmc1/map/extensions/inbox/installed");
    write_extension_file(inbox + "/installed/evil.nce",
                         {"FIN-2024", {}, {{"e:/poi/../../../../../victim.txt", bytes("")}}});
    write_entry(&config, XrExtensionItem(L"evil.nce", wide(inbox), XR_EXTENSION_INSTALLED));
    EXPECT_TRUE(uninstall_extension(&handler, &config, wide(inbox + "/evil.nce")));
    EXPECT_EQ(read_text(root.dir() + "/victim.txt"), "precious");
}

TEST_F(ExtensionTest, InstallationCutOffIsFinishedOnTheNextScan)
{
    // Killed during the commit: one target replaced, one still old, one
    // missing, and the registry still says "installing".
    const std::string path = write("partner.nce", three_files("FIN-2024"));
    write_entry(&config, XrExtensionItem(L"partner.nce", wide(inbox), XR_EXTENSION_INSTALLING));
    root.write_file("/media/mmc1/map/mapdata/poi/partner.poi", "poi data");
    root.write_file("/media/mmc1/map/mapdata/sub/dir/tile.bin", "old tile");
    handler.confirm = false; // confirmed before the kill: not asked again

    EXPECT_TRUE(scan_extensions(&handler, &config, wide(inbox), L".nce"));
    EXPECT_EQ(handler.confirms, 0);
    EXPECT_EQ(handler.results, (std::vector<std::pair<int, std::string>>{{0, "partner.nce"}}));
    EXPECT_EQ(state_of("partner.nce"), "installed");
    EXPECT_EQ(read_text(map_root + "mapdata/poi/partner.poi"), "poi data");
    EXPECT_EQ(read_text(map_root + "mapdata/sub/dir/tile.bin"), std::string(1000, 'T'));
    EXPECT_TRUE(fs::is_regular_file(map_root + "extensions/readme.txt"));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::exists(inbox + "/installed/partner.nce"));
}

TEST_F(ExtensionTest, WhatAKilledInstallationLeftIsRolledBackThenInstalled)
{
    // Killed while committing: the poi file was moved aside and its new
    // file put in place, the tile still waits staged (half written), the old
    // tile is aside; the readme was never reached.
    const std::string path = write("partner.nce", three_files("FIN-2024"));
    write_entry(&config, XrExtensionItem(L"partner.nce", wide(inbox), XR_EXTENSION_INSTALLING));
    root.write_file("/media/mmc1/map/mapdata/poi/partner.poi", "poi data");
    root.write_file("/media/mmc1/map/mapdata/poi/partner.poi.replaced", "old poi");
    root.write_file("/media/mmc1/map/mapdata/sub/dir/tile.bin.staged", "TTT");
    root.write_file("/media/mmc1/map/mapdata/sub/dir/tile.bin.replaced", "old tile");
    root.write_file("/media/mmc1/map/extensions/readme.txt.staged", "");

    EXPECT_TRUE(scan_extensions(&handler, &config, wide(inbox), L".nce"));
    EXPECT_EQ(state_of("partner.nce"), "installed");
    EXPECT_EQ(snapshot(map_root + "mapdata"),
              (std::vector<std::string>{"/poi", "/poi/partner.poi=poi data", "/sub", "/sub/dir",
                                        "/sub/dir/tile.bin=" + std::string(1000, 'T')}));
    EXPECT_EQ(snapshot(map_root + "extensions"),
              (std::vector<std::string>{"/inbox", "/inbox/installed", "/inbox/installed/partner.nce=" +
                                                                           read_text(inbox + "/installed/partner.nce"),
                                        "/readme.txt="}));
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(ExtensionTest, InstallationSurvivesAKillAtAnyMoment)
{
    // A child installs an extension of three larger files and is killed at
    // a random moment; the next scan (in this process) must leave every
    // target new and complete, the extension installed and no staging file.
    const std::string poi(300000, 'P'), tile(400000, 'T');
    const XrExtensionFileDef def{"FIN-2024", {}, {
        {"e:/poi/partner.poi", bytes(poi)},
        {"e:/mapdata/sub/tile.bin", bytes(tile)},
        {"e:/extensions/readme.txt", bytes("read me")},
    }};
    const std::string settings = root.write_file("/home/user/.kestrova/extensions.reg", "REGEDIT4\n\n");
    const std::string poi_path = map_root + "mapdata/poi/partner.poi";
    const std::string tile_path = map_root + "mapdata/sub/tile.bin";
    const std::string readme_path = map_root + "extensions/readme.txt";
    auto open_settings = [&] {
        auto conf = std::make_unique<XrStorageConfiguration>(new XrFileStorageAccessor(), L"");
        auto* accessor = static_cast<XrFileStorageAccessor*>(conf->get_storage_accessor());
        if (!accessor->open(wide(settings), false) || conf->open(false) != XrConfiguration::OK)
            return std::unique_ptr<XrStorageConfiguration>();
        return conf;
    };
    auto reset = [&] {
        root.write_file("/media/mmc1/map/mapdata/poi/partner.poi", "old poi");
        root.write_file("/media/mmc1/map/mapdata/sub/tile.bin", "old tile");
        fs::remove(readme_path);
        fs::remove(inbox + "/installed/partner.nce");
        write("partner.nce", def);
        root.write_file("/home/user/.kestrova/extensions.reg", "REGEDIT4\n\n");
    };
    std::vector<std::string> faults;
    XrKillTestWriter writer;
    writer.save = [&] {
        std::unique_ptr<XrStorageConfiguration> conf = open_settings();
        if (!conf || !install_extension_file(&handler, conf.get(), wide(inbox + "/partner.nce")))
            return false;
        for (;;)
            pause(); // installed: wait for the kill
    };
    writer.recover = [&] {
        std::unique_ptr<XrStorageConfiguration> conf = open_settings();
        if (!conf || !scan_extensions(&handler, conf.get(), wide(inbox), L".nce")) {
            faults.push_back("scan failed");
            return;
        }
        if (read_text(tile_path) != tile || read_text(readme_path) != "read me")
            faults.push_back("tile or readme not installed");
        for (const auto& e : fs::recursive_directory_iterator(map_root)) {
            const std::string name = e.path().filename().string();
            if (name.find(".staged") != std::string::npos || name.find(".replaced") != std::string::npos)
                faults.push_back("left behind: " + name);
        }
        XrString state;
        conf->push_key();
        if (conf->open_key(L"\\extensions\\partner.nce") != XrConfiguration::OK ||
            conf->get_string(L"state", state) != XrConfiguration::OK || !(state == XrString(L"installed")))
            faults.push_back("not registered as installed");
        conf->pop_key();
    };
    XrKillTestOptions options;
    options.max_kills = 40;
    options.max_ms = 5000;
    options.max_delay_ms = 30;
    // After the recovering scan the poi file is always the new one.
    XrKillTestResult r = xr_kill_test(poi_path, poi, poi, reset, writer, options);
    // Each round forks, installs and scans: a loaded machine gets few.
    EXPECT_GE(r.kills, 3);
    EXPECT_EQ(r.saves_failed, 0);
    EXPECT_EQ(r.faults, std::vector<std::string>());
    EXPECT_EQ(faults, std::vector<std::string>());
    EXPECT_EQ(r.leftovers, 0);
}

TEST_F(ExtensionTest, ScanProcessesTheFolder)
{
    write("good.nce", three_files("FIN-2024"));
    write("foreign.nce", three_files("SWE-2023"));
    root.write_file("/media/mmc1/map/extensions/inbox/notes.txt", "x");
    // A registered file that was ignored before is not reported again.
    write_entry(&config, XrExtensionItem(L"foreign.nce", wide(inbox), XR_EXTENSION_IGNORED));

    EXPECT_TRUE(scan_extensions(&handler, &config, wide(inbox), L".NCE"));
    EXPECT_EQ(handler.results, (std::vector<std::pair<int, std::string>>{{0, "good.nce"}}));
    EXPECT_EQ(state_of("good.nce"), "installed");
    EXPECT_EQ(state_of("foreign.nce"), "ignored");
    EXPECT_EQ(registry_value("\\extensions", "0"), "foreign.nce");
    EXPECT_EQ(registry_value("\\extensions", "1"), "good.nce");
    EXPECT_TRUE(fs::exists(inbox + "/installed/good.nce"));
    EXPECT_TRUE(fs::exists(inbox + "/foreign.nce"));
}
