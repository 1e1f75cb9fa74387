// The controller as the POI layer's client and as the POI provider's
// extension handler, on the demo map.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "apps/apps_common/xr_naviapp.h"
#include "apps/maemo_map/navigator_run.h"
#include "common/bmloader/xr_bitmap_loader.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/db/xr_memorygeomstorage.h"
#include "common/corvanel_core/interfaces/xr_poiprovider.h"
#include "common/misc/xr_msgtable.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "support/xr_temp_root.h"

namespace fs = std::filesystem;

namespace {

class PoiApp : public XrNaviApp {
public:
    void create_position_provider() override {}
    void exit_application() override {}
    bool show_route_query(const char* title, const char* text, bool ask) override
    {
        notes.push_back(std::string(ask ? "ask " : "note ") + (title != nullptr ? title : "") + ": " + text);
        return answer;
    }
    void redraw_map(bool immediate) override
    {
        redraws += immediate ? 1 : 0;
        XrNaviApp::redraw_map(immediate);
    }
    std::vector<std::string> notes;
    bool answer = false;
    int redraws = 0;
};

class NaviAppPoiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(xr_own_process_display());
    }
    // The demo map on the card, as start-up leaves it.
    void SetUp() override
    {
        const std::string map = root.dir() + "/media/mmc2/map";
        const std::string shipped = XrTempRoot::stage_dir() + "/usr/share/kestrova";
        fs::create_directories(map + "/kestrova");
        fs::copy(shipped + "/atlantis", map + "/mapdata", fs::copy_options::recursive);
        fs::copy(shipped + "/atlantis/maemo.reg", map + "/kestrova/maemo.reg");
        fs::copy(shipped, root.dir() + "/usr/share/kestrova",
                 fs::copy_options::recursive | fs::copy_options::skip_existing);
    }
    XrPoiLayer* poi_layer() { return dynamic_cast<XrPoiLayer*>(XrMapProvider::get_instance()->get_poi_layer()); }

    XrTempRoot root;
};

TEST_F(NaviAppPoiTest, BuiltInIconSetsCoverTheClassesAndTheUsersPoints)
{
    PoiApp app;
    ASSERT_TRUE(app.construct());
    XrPoiLayer* layer = poi_layer();
    ASSERT_NE(layer, nullptr);
    // type, kind of the covering set, strip size asked, icon side, icon index
    const struct {
        int type, kind, size, side, index;
    } cases[] = {
        {0, 1, 0, 20, 0}, {4, 1, 1, 24, 4}, {69, 1, 2, 32, 69}, {92, 1, 0, 20, 92}, {93, 2, 0, 20, 0}, {94, 2, 2, 32, 1},
    };
    for (const auto& c : cases) {
        const XrPoiLayerIconSet* set = layer->find_icon_set(nullptr, c.type, false);
        ASSERT_NE(set, nullptr) << c.type;
        EXPECT_EQ(set->kind, c.kind) << c.type;
        XrBitmapHandleRec *bitmap = nullptr, *mask = nullptr;
        int offset = -1, width = 0, height = 0;
        ASSERT_TRUE(layer->get_poi_icon(c.type, c.size, bitmap, mask, offset, width, height)) << c.type;
        EXPECT_NE(bitmap, nullptr) << c.type;
        EXPECT_NE(mask, nullptr) << c.type;
        EXPECT_EQ(height, c.side) << c.type;
        EXPECT_EQ(offset, c.side * c.index) << c.type;
    }
    EXPECT_EQ(layer->find_icon_set(nullptr, 95, false), nullptr);
    EXPECT_EQ(layer->get_current_icon_set()->kind, 1);
    app.destroy_providers();
}

TEST_F(NaviAppPoiTest, IconRequestsPinTheStripsOfTheirKindOnly)
{
    PoiApp app;
    const struct {
        int kind;
        unsigned int small, medium, large;
    } cases[] = {
        {1, 0x49A7006B, 0x49A70069, 0x49A7006E},
        {2, 0x49A70073, 0x49A70071, 0x49A70072},
    };
    for (const auto& c : cases) {
        XrPoiLayerIconSet set;
        set.kind = c.kind;
        app.load_icon_set(set);
        EXPECT_EQ(set.small_id, c.small);
        EXPECT_EQ(set.medium_id, c.medium);
        EXPECT_EQ(set.large_id, c.large);
        EXPECT_NE(set.small, nullptr);
        EXPECT_NE(set.medium_mask, nullptr);
        EXPECT_NE(set.large, nullptr);
        for (unsigned int id : {c.small, c.medium, c.large})
            XrBitmapLoader::set_pinned(id, false);
    }
    // Sets of the POI provider (another kind, or kind 2 over a storage of
    // their own) keep what they were added with.
    XrMemoryGeomStorage storage;
    const struct {
        int kind;
        XrGeomStorage* storage;
    } own_sets[] = {{7, nullptr}, {2, &storage}};
    for (const auto& o : own_sets) {
        XrPoiLayerIconSet own;
        own.kind = o.kind;
        own.storage = o.storage;
        own.small_id = 42;
        app.load_icon_set(own);
        EXPECT_EQ(own.small_id, 42u) << o.kind;
        EXPECT_EQ(own.small, nullptr) << o.kind;
        EXPECT_EQ(own.medium_id, XrPoiLayerIconSet::PRIVATE_ID) << o.kind;
    }
}

TEST_F(NaviAppPoiTest, NoteRectanglesAreKeptAndClearedOneByOne)
{
    PoiApp app;
    const XrRectangle icon(1, 2, 3, 4), note(5, 6, 70, 80);
    app.set_note_rects(&icon, &note);
    ASSERT_NE(app.get_note_icon_rect(), nullptr);
    ASSERT_NE(app.get_note_rect(), nullptr);
    EXPECT_TRUE(*app.get_note_rect() == note);
    app.set_note_rects(nullptr, &note);
    EXPECT_EQ(app.get_note_icon_rect(), nullptr);
    EXPECT_NE(app.get_note_rect(), nullptr);
    app.set_note_rects(nullptr, nullptr);
    EXPECT_EQ(app.get_note_rect(), nullptr);
}

TEST_F(NaviAppPoiTest, ExtensionQuestionsAndErrorsGoThroughTheNotePath)
{
    PoiApp app;
    XrExtensionItem item(XrString(L"partner.nce"), XrString(L"/card/extensions"), XR_EXTENSION_UNHANDLED);
    EXPECT_FALSE(app.confirm_install(item));
    app.answer = true;
    EXPECT_TRUE(app.confirm_install(item));
    app.on_extension_result(XrExtensionHandler::RESULT_INSTALLED, item);
    app.on_extension_result(XrExtensionHandler::RESULT_FAILED, item);
    EXPECT_EQ(app.notes, (std::vector<std::string>{"ask r_str_msg_extension_install_title: partner.nce",
                                                   "ask r_str_msg_extension_install_title: partner.nce",
                                                   "note r_str_msg_extension_error_title: partner.nce"}));

    // Failed POI sets: one note, one line per set in the English catalogue.
    setenv("LANGUAGE", "en", 1);
    setenv("LC_ALL", "C.UTF-8", 1);
    std::setlocale(LC_ALL, "");
    ASSERT_TRUE(bind_text_domain());
    app.notes.clear();
    XrArray<XrPoiProvider::XrDynPoiFailedResult> failed(1);
    app.report_failed_poi_sets(failed);
    EXPECT_TRUE(app.notes.empty());
    XrPoiProvider::XrDynPoiFailedResult f;
    f.file = XrString(L"old.poi");
    f.reason = XrPoiProvider::XrDynPoiFailedResult::Unreadable;
    failed.append(f);
    f.file = XrString(L"new.poi");
    f.reason = XrPoiProvider::XrDynPoiFailedResult::VersionTooNew;
    failed.append(f);
    app.report_failed_poi_sets(failed);
    ASSERT_EQ(app.notes.size(), 1u);
    const std::string& note = app.notes[0];
    EXPECT_EQ(note.rfind("note r_str_msg_extension_install_title: ", 0), 0u) << note;
    EXPECT_NE(note.find("The POI set old.poi could not be loaded"), std::string::npos) << note;
    EXPECT_NE(note.find("\nThe POI set new.poi needs a newer version"), std::string::npos) << note;
    EXPECT_EQ(note.find("r_str_msg_dyn"), std::string::npos) << note;
    std::setlocale(LC_ALL, "C");
}

TEST_F(NaviAppPoiTest, PartnerFileOnTheCardReachesTheHandlerWhenTheMapOpens)
{
    // Not an extension file: the handler hears that it failed.
    root.write_file("/media/mmc2/map/extensions/broken.nce", "not a BER file");
    PoiApp app;
    ASSERT_TRUE(app.construct());
    EXPECT_NE(std::find(app.notes.begin(), app.notes.end(), "note r_str_msg_extension_error_title: broken.nce"),
              app.notes.end())
        << (app.notes.empty() ? std::string("no notes") : app.notes[0]);
    app.destroy_providers();
}

TEST_F(NaviAppPoiTest, SavedPoiSettingsRedrawTheMap)
{
    PoiApp app;
    ASSERT_TRUE(app.construct());
    XrPoiProvider* pois = static_cast<XrPoiProvider*>(XrSingleton::get_instance(XrString(L"XrPoiProvider")));
    ASSERT_NE(pois, nullptr);
    const int before = app.redraws;
    ASSERT_TRUE(pois->save_poi_settings(false));
    EXPECT_EQ(app.redraws, before + 1);
    ASSERT_TRUE(pois->save_poi_settings(true)); // silent: nobody told
    EXPECT_EQ(app.redraws, before + 1);
    app.destroy_providers();
}

} // namespace
