// Settings changed in the settings window take effect in the running
// navigator, without a restart: the colour theme redraws the map in the
// other palette; a POI class switched off leaves the map; during a drive a new voice set speaks the next prompts and
// new units turn them into yards and miles; the route type chosen in the
// map's scroll menu searches the route again. The window is used as a person
// would (menu key, clicks and keys through the X server); what the program
// says is heard through the sound daemon stand-in's capture folder, every
// captured sample cut back into the prompt files it was joined from.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "navigator_run.h"
#include "prompt_capture.h"
#include "settings_window.h"

// The font and toolkit libraries keep their caches for the whole process.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

namespace fs = std::filesystem;

namespace {

using namespace prompt_capture;
using Prompts = std::map<std::string, Bytes>;

using namespace xr_settings_window;

// The demo destination: two right turns from the demo track's start (841 m).
const char* const destination = "30.995,-24.005";
const char* const card_voices = "/media/mmc2/map/kestrova/sounds";

// The captured files of "esd.log"'s play lines, in order, as paths.
std::vector<std::string> played_paths(const std::string& capture)
{
    std::vector<std::string> files = prompt_capture::played_files(capture);
    for (std::string& f : files)
        f = capture + "/" + f;
    return files;
}

// A captured file cut into prompts of a set, without the silent lead-in;
// false when it is not a run of that set's prompts.
bool heard_from(const std::string& file, const Prompts& prompts, Sentence& out)
{
    const std::string wav = XrTempRoot::read_file(file);
    const Bytes samples = samples_of(reinterpret_cast<const BYTE*>(wav.data()), wav.size());
    Sentence all;
    if (samples.empty() || !cut(samples, 0, prompts, all))
        return false;
    out.clear();
    for (const std::string& w : all)
        if (w != "delay")
            out.push_back(w);
    return true;
}

bool is_digits(const std::string& s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Distance prompts: "300", "1km" metric; "300y", "1ky", "qmile" imperial.
bool is_metric_distance(const std::string& w)
{
    return is_digits(w) || (w.size() > 2 && w.compare(w.size() - 2, 2, "km") == 0 && is_digits(w.substr(0, w.size() - 2)));
}
bool is_imperial_distance(const std::string& w)
{
    return w.find("mile") != std::string::npos ||
           (w.size() > 1 && w.back() == 'y' && is_digits(w.substr(0, w.size() - 1))) || w == "1ky";
}

std::string text(const std::vector<Sentence>& sentences)
{
    std::string out;
    for (const Sentence& s : sentences) {
        for (const std::string& w : s)
            out += w + " ";
        out += "| ";
    }
    return out;
}

class SettingsEffectsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.ok());
        root.make_dirs("/media/mmc2");
        app_file = root.dir() + "/home/user/.kestrova/settings.txt";
    }

    void open_settings() { ASSERT_TRUE(xr_settings_window::open_settings()) << run.output(); }

    void close_settings(bool keep) { ASSERT_TRUE(xr_settings_window::close_settings(keep)) << run.output(); }

    // The stored value of a key of the user settings ("" when absent).
    std::string stored(const std::string& key) const
    {
        std::istringstream in(XrTempRoot::read_file(app_file));
        for (std::string line; std::getline(in, line);)
            if (line.rfind(key + "=", 0) == 0)
                return line.substr(key.size() + 1);
        return "";
    }

    XrOwnDisplay display;
    XrSessionBus bus;
    XrTempRoot root;
    XrNavigatorRun run{root};
    std::string app_file;
};

// Land and night pixels of the map area (beside the controls).
struct Palette {
    int land = 0, dark = 0;
};

Palette palette_of(GdkPixbuf* pb)
{
    Palette p;
    for (int y = 40; y < 400; y += 10)
        for (int x = 300; x < 740; x += 10) {
            const XrRgb c = xr_pixel(pb, x, y);
            p.land += xr_is_land(c) ? 1 : 0;
            p.dark += c.r + c.g + c.b < 200 ? 1 : 0;
        }
    return p;
}

TEST_F(SettingsEffectsTest, ThemeRedrawsTheMapInItsPalette)
{
    run.start();
    ASSERT_TRUE(xr_wait_map(run)) << run.output();
    struct Case {
        const char* name;
        const char* keys; // from the stored row
        bool keep;
        bool night; // the map afterwards
        const char* stored;
    } cases[] = {
        {"night, back", "Down", false, false, "0"},
        {"night, ok", "Down", true, true, "1"},
        {"daylight again, ok", "Up", true, false, "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open_settings();
        choose(theme_y, c.keys);
        close_settings(c.keep);
        const bool redrawn = run.wait_screen(10, [&](GdkPixbuf* pb) {
            const Palette p = palette_of(pb);
            return c.night ? p.dark > 700 && p.land < 50 : p.land > 700 && p.dark < 50;
        });
        EXPECT_TRUE(redrawn) << run.output();
        if (c.keep) {
            EXPECT_EQ(stored("theme"), c.stored) << XrTempRoot::read_file(app_file);
        }
    }
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

// The parking icon's blue in the box where the demo map's parking lies
// once the start view is zoomed out three steps.
int parking_icon_pixels(GdkPixbuf* pb)
{
    int n = 0;
    for (int y = 306; y < 337; ++y)
        for (int x = 600; x < 631; ++x) {
            const XrRgb c = xr_pixel(pb, x, y);
            n += c.b - c.r > 100 ? 1 : 0;
        }
    return n;
}

// The POI page opens from the POI categories (the toolbar's third button)
// through its Configure button; a class switched off there leaves the map.
TEST_F(SettingsEffectsTest, PoiClassSwitchedOffLeavesTheMap)
{
    run.start();
    ASSERT_TRUE(xr_wait_map(run)) << run.output();
    xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
    pause(500);
    xdo("key --delay 1500 F8 F8 F8");
    ASSERT_TRUE(run.wait_screen(10, [](GdkPixbuf* pb) { return parking_icon_pixels(pb) > 40; })) << run.output();
    struct Case {
        const char* name;
        bool keep;
        bool shown; // the parking icon afterwards
        const char* stored; // the parking class's line of the POI settings, when kept
    } cases[] = {
        {"off, back", false, true, nullptr},
        {"off, ok", true, false, "2=0,0"},
        {"on again, ok", true, true, "2=1,0"},
    };
    const std::string poi_file = root.dir() + "/media/mmc2/map/mapdata/poi_settings.txt";
    int opened = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        xdo("mousemove 333 450 click 1");
        ASSERT_TRUE(run.wait_said("POI categories: ", ++opened)) << run.output();
        pause(1500);
        xdo("mousemove 657 437 click 1");
        ASSERT_TRUE(run.wait_said("settings window on page 1", opened)) << run.output();
        ASSERT_TRUE(window_shown("Settings", true)) << run.output();
        pause(800);
        click_in_settings(14, 126); // the parking row's check box
        close_settings(c.keep);
        const bool as_wanted = run.wait_screen(10, [&](GdkPixbuf* pb) {
            const int n = parking_icon_pixels(pb);
            return c.shown ? n > 40 : n == 0;
        });
        EXPECT_TRUE(as_wanted) << run.output();
        if (c.stored != nullptr) {
            EXPECT_NE(XrTempRoot::read_file(poi_file).find(c.stored), std::string::npos)
                << XrTempRoot::read_file(poi_file);
        }
    }
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

// The navigator drives the demo route (it follows the route at 12 m/s once
// the route is there) and plays its prompts into the capture folder.
class SettingsDriveTest : public SettingsEffectsTest {
protected:
    void SetUp() override
    {
        SettingsEffectsTest::SetUp();
        track = xr_write_demo_track(root);
        ASSERT_FALSE(track.empty());
        std::string line = XrTempRoot::read_file(track);
        line = line.substr(0, line.find('\n'));
        parked = root.write_file("/parked.csv", "0," + line.substr(line.find(',') + 1) + "\n");
        capture = root.make_dirs("/capture");
    }

    void start_drive()
    {
        run.start({"KESTROVA_DRIVE_TRACK=" + parked, std::string("KESTROVA_DRIVE_DESTINATION=") + destination,
                   "KESTROVA_ESD_CAPTURE=" + capture});
        ASSERT_TRUE(xr_wait_map(run)) << run.output();
    }

    // Waits until the arrival has been played (the drive takes about 70 s).
    void wait_arrival(const Prompts& prompts)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (std::chrono::steady_clock::now() < end) {
            const std::vector<std::string> files = played_paths(capture);
            Sentence last;
            if (!files.empty() && heard_from(files.back(), prompts, last) && !last.empty() &&
                last.front().rfind("dest", 0) == 0)
                return;
            pause(1000);
        }
    }

    // Waits until a prompt played from the `from`th on holds a word that
    // pred accepts.
    template <class Pred>
    bool wait_heard(const Prompts& prompts, Pred pred, std::size_t from, int seconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < end) {
            const std::vector<std::string> files = played_paths(capture);
            for (std::size_t i = from; i < files.size(); ++i) {
                Sentence s;
                if (heard_from(files[i], prompts, s) && std::any_of(s.begin(), s.end(), pred))
                    return true;
            }
            pause(300);
        }
        return false;
    }

    std::string track, parked, capture;
};

// A second voice set on the card: the English prompts spoken by another
// voice, so that every prompt differs from the shipped set's.
TEST_F(SettingsDriveTest, NewVoiceSetSpeaksTheNextPrompts)
{
    const std::string spoken = root.dir() + "/sound_usa";
    const std::string cmd = "sh " + XrNavigatorRun::source("tools/voice/make_voice.sh") + " " +
                            XrNavigatorRun::source("data/voice/english.tsv") + " " + spoken + " en-us";
    ASSERT_EQ(std::system(cmd.c_str()), 0);

    start_drive();
    // The shipped set is on the card once the map is up; the second set joins it.
    const std::string voices = root.dir() + card_voices;
    ASSERT_TRUE(fs::is_directory(voices + "/sound_eng")) << run.output();
    fs::rename(spoken, voices + "/sound_usa");
    const Prompts shipped = load_prompts(voices + "/sound_eng");
    const Prompts other = load_prompts(voices + "/sound_usa");
    ASSERT_GE(shipped.size(), 60u);
    ASSERT_EQ(other.size(), shipped.size());

    // The start prompt in the shipped voice, then the other set is chosen.
    ASSERT_TRUE(wait_heard(shipped, [](const std::string&) { return true; }, 0, 60)) << run.output();
    const std::size_t before = played_paths(capture).size();
    open_settings();
    // The window lists both sets; the stored one is selected. The other is
    // the first or the last row.
    choose(voice_y, "End");
    close_settings(true);
    if (stored("soundset") != "sound_usa") {
        open_settings();
        choose(voice_y, "Home");
        close_settings(true);
    }
    ASSERT_EQ(stored("soundset"), "sound_usa") << XrTempRoot::read_file(app_file);
    const std::size_t after = played_paths(capture).size();

    wait_arrival(other);
    EXPECT_EQ(run.terminate(), 0) << run.output();

    const std::vector<std::string> files = played_paths(capture);
    std::vector<Sentence> old_voice, new_voice;
    for (std::size_t i = 0; i < files.size(); ++i) {
        Sentence s;
        if (i < before) {
            EXPECT_TRUE(heard_from(files[i], shipped, s)) << files[i] << " is not of the shipped set";
            if (!s.empty())
                old_voice.push_back(s);
        } else if (i >= after) {
            EXPECT_TRUE(heard_from(files[i], other, s)) << files[i] << " is not of the chosen set";
            if (s.empty())
                continue; // the silent lead-in alone is the same in both sets
            new_voice.push_back(s);
            EXPECT_FALSE(heard_from(files[i], shipped, s)) << files[i] << " is of the shipped set";
        }
    }
    // The first turn taken, the second announced and taken, the arrival.
    ASSERT_GE(new_voice.size(), 3u) << text(new_voice) << run.output();
    EXPECT_EQ(new_voice.back().front().substr(0, 4), "dest") << text(new_voice);
    EXPECT_FALSE(old_voice.empty());
}

// The start prompt gives the first turn in metres; imperial units chosen
// during the drive, the route searched again (the quick menu's detour
// button) announces its turn in yards or miles.
TEST_F(SettingsDriveTest, NewUnitsTurnTheNextPromptsImperial)
{
    start_drive();
    const Prompts prompts = load_prompts(root.dir() + card_voices + "/sound_eng");
    ASSERT_GE(prompts.size(), 60u);
    ASSERT_TRUE(wait_heard(prompts, is_metric_distance, 0, 60)) << run.output();

    const std::size_t before = played_paths(capture).size();
    open_settings();
    choose(units_y, "Down");
    close_settings(true);
    const std::size_t after = played_paths(capture).size();
    // The detour: the grip of the side panel opens the quick menu.
    xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
    pause(500);
    xdo("mousemove 772 156 click 1");
    pause(1500);
    xdo("mousemove 421 169 click 1");
    EXPECT_TRUE(run.wait_said("quick menu: 2")) << run.output();
    EXPECT_TRUE(wait_heard(prompts, is_imperial_distance, after, 60)) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();

    std::vector<Sentence> metric, imperial;
    const std::vector<std::string> files = played_paths(capture);
    for (std::size_t i = 0; i < files.size(); ++i) {
        Sentence s;
        ASSERT_TRUE(heard_from(files[i], prompts, s)) << files[i] << " is not a run of prompts";
        if (s.empty())
            continue;
        if (i < before)
            metric.push_back(s);
        else if (i >= after)
            imperial.push_back(s);
    }
    for (const Sentence& s : imperial)
        for (const std::string& w : s)
            EXPECT_FALSE(is_metric_distance(w)) << text(imperial);
    EXPECT_FALSE(metric.empty());
    EXPECT_FALSE(imperial.empty()) << run.output();
}

} // namespace

namespace {

// The route line's blue.
bool is_route(const XrRgb& c) { return std::abs(c.r - 60) < 25 && std::abs(c.g - 130) < 25 && std::abs(c.b - 240) < 25; }

int route_pixels(GdkPixbuf* pb, int x0 = 0, int y0 = 0, int x1 = 800, int y1 = 420)
{
    int n = 0;
    for (int y = y0; y < y1; y += 2)
        for (int x = x0; x < x1; x += 2)
            n += is_route(xr_pixel(pb, x, y)) ? 1 : 0;
    return n;
}

// White pixels of the turn panel's arrow (the box at the top left): a right
// turn's head points right, straight on's head points up.
struct TurnArrow {
    int right = 0, up = 0;
};

TurnArrow turn_arrow(GdkPixbuf* pb)
{
    const auto white = [pb](int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const XrRgb c = xr_pixel(pb, x, y);
                n += c.r + c.g + c.b > 600 ? 1 : 0;
            }
        return n;
    };
    return {white(52, 80, 68, 102), white(26, 62, 50, 76)};
}

bool turns_right(GdkPixbuf* pb)
{
    const TurnArrow a = turn_arrow(pb);
    return a.right > 80 && a.up == 0;
}

bool goes_straight(GdkPixbuf* pb)
{
    const TurnArrow a = turn_arrow(pb);
    return a.up > 50 && a.right == 0;
}

// The drive to the demo destination: on the quickest route the next turn is
// right into South-West Boulevard; the shortest goes straight on into
// Marble Street. The grip of the side panel opens the quick menu, its
// settings button the scroll menu, whose third row is the route type; the
// route is searched again from where the car is.
TEST_F(SettingsDriveTest, RouteTypeChosenInTheScrollMenuRecalculatesTheRoute)
{
    start_drive();
    ASSERT_TRUE(run.wait_screen(40, [](GdkPixbuf* pb) { return route_pixels(pb) > 300 && turns_right(pb); }))
        << run.output();
    struct Case {
        const char* name;
        const char* key; // on the route type row
        const char* stored;
        bool right; // the next turn afterwards
    } cases[] = {
        {"shortest", "Right", "1", false},
        {"quickest again", "Left", "0", true},
    };
    int opened = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GdkPixbuf* before = run.screenshot();
        ASSERT_NE(before, nullptr);
        xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
        xdo("mousemove 772 156 click 1");
        const bool quick =
            run.wait_screen(10, [&](GdkPixbuf* pb) { return xr_differing_pixels(before, pb) > 30000; });
        g_object_unref(before);
        ASSERT_TRUE(quick) << run.output();
        pause(800); // slid in
        xdo("mousemove 518 287 click 1");
        ASSERT_TRUE(run.wait_said("quick menu: 26", ++opened)) << run.output();
        pause(1200);
        xdo(std::string("key --delay 150 Down Down ") + c.key);
        pause(500);
        xdo("key Return");
        ASSERT_TRUE(run.wait_said("scroll menu: confirmed", opened)) << run.output();
        EXPECT_TRUE(run.wait_screen(20, [&](GdkPixbuf* pb) { return c.right ? turns_right(pb) : goes_straight(pb); }))
            << run.output();
        EXPECT_EQ(stored("route_type"), c.stored) << XrTempRoot::read_file(app_file);
    }
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
