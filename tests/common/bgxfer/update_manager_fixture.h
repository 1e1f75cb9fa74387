// What the update manager's tests share: content for the loopback update
// server (files, their MD5s, BER download lists), a parameter record that
// counts what the manager asks of the platform, and a fixture with a card,
// a content folder and the network layer on a main loop.
#pragma once

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

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace update_test {

namespace fs = std::filesystem;

inline void write(const std::string& path, const std::string& bytes)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

inline XrString x(const std::string& s)
{
    return XrString(s.c_str());
}

inline std::string md5_hex(const std::string& bytes)
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

inline std::string random_bytes(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(gen());
    return s;
}

struct ListFile {
    std::string name, md5;
    int size = 0;
    int type = 1;
};

struct ListComponent {
    std::string id;
    int flags = 0;
    std::string folder; // empty: none
    std::vector<ListFile> files;
};

// The BER download list the server builds, version 1.2.0.3 for every component.
inline std::string encode_list(const std::vector<ListComponent>& components)
{
    XrPropertyBag list;
    for (const auto& c : components) {
        auto* bag = new XrPropertyBag;
        bag->add_string(2, x(c.id));
        bag->add_string(3, x("name"));
        const int version[4] = {1, 2, 0, 3};
        for (int k = 0; k < 4; ++k)
            bag->add_int(4 + k, version[k]);
        bag->add_int(10, c.flags);
        if (!c.folder.empty())
            bag->add_string(9, x(c.folder));
        for (const auto& f : c.files) {
            auto* file = new XrPropertyBag;
            file->add_string(1, x(f.name));
            file->add_string(2, x(f.md5));
            file->add_int(3, f.size);
            file->add_int(5, f.type);
            bag->add_bag(8, file);
        }
        list.add_bag(1, bag);
    }
    XrByteArray out;
    EXPECT_EQ(list.encode(out), XrPropertyBag::OK);
    return std::string(reinterpret_cast<const char*>(out.get_items()), out.get_num_items());
}

// A download list of one component "map_b" into "mapdata_b" with the given
// files (name, bytes).
inline std::string one_component_list(const std::vector<std::pair<std::string, std::string>>& files)
{
    ListComponent c{"map_b", 0, "mapdata_b", {}};
    for (const auto& [name, bytes] : files)
        c.files.push_back({name, md5_hex(bytes), int(bytes.size()), 1});
    return encode_list({c});
}

class Params : public XrUpdateParamsBase {
public:
    void platform_restart() override { ++restarts; }
    void notify(const XrString& title, const XrString&) override { notes.push_back(title); }
    int restarts = 0;
    std::vector<XrString> notes;
};

// A card in /media/mmc1 with the manager's work folder on it, a content
// folder for the server and the network layer on a main loop.
class UpdateCardFixture : public ::testing::Test {
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
    // Runs the main loop for settle_ms, then takes the network layer down.
    void tear_down(int settle_ms)
    {
        pump_for(settle_ms);
        XrInet::destroy_inet();
        pump_pending();
        forget_map_card_root();
        con_ic_standin_reset();
    }
    void TearDown() override { tear_down(100); }

    XrTempRoot root;
    std::string content, card;
    XrEventLoop loop;
    Params params;
};

} // namespace update_test
