// The route layer speaks through the audio player: voice-set detection,
// prompt paths, the lead-in, announcements, arrival prompts and the GPS and
// U-turn prompts, heard through the sound-daemon stand-in's capture.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/audio/xr_audioplayer.h"
#include "common/map/xr_routelayer.h"
#include "common/map/xr_routelayer_prompts.h"
#include "route_prompt_support.h"
#include "support/xr_temp_root.h"

using Directive = XrRouteInstructions::XrRouteDirective;

class XrRouteLayerTestAccess {
public:
    static void set_route(XrRouteLayer& l, XrRouteInstructions* route)
    {
        l.active_route = route;
    }
    static void set_directives(XrRouteLayer& l, const Directive* current, int index, const Directive* next)
    {
        l.current_directive = current;
        l.current_directive_index = index;
        l.next_directive = next;
    }
    static void set_follow_up(XrRouteLayer& l, bool close, bool announced, bool chain)
    {
        l.close_follow_up = close;
        l.follow_up_announced = announced;
        l.chain = chain;
    }
    static bool follow_up_spoken(XrRouteLayer& l) { return l.follow_up_spoken; }
    static bool announced_far(XrRouteLayer& l) { return l.announced_far; }
    static void set_guidance(XrRouteLayer& l, int state, double odometer)
    {
        l.guidance.set_state(state);
        l.odometer = odometer;
    }
    static const XrArray<XrString>& arrival_prompts(XrRouteLayer& l) { return l.get_speaker().get_arrival_prompts(); }
    static bool flags(XrRouteLayer& l, int i)
    {
        const XrPromptSpeaker::XrVoiceFlags& v = l.get_speaker().get_flags();
        const bool f[] = {v.has_after, v.has_herel2, v.has_700, v.has_700y, v.has_01mile};
        return f[i];
    }
};

namespace {

using A = XrRouteLayerTestAccess;

std::uint32_t g_now = 100000;
std::uint32_t test_clock()
{
    return g_now;
}

std::string narrow(const XrString& s)
{
    std::string out;
    for (const TCHAR* p = s.c_str(); p != nullptr && *p != 0; ++p)
        out += static_cast<char>(*p);
    return out;
}

// The player that also keeps the paths of every sentence it was given.
class RecordingPlayer : public XrAudioPlayer {
public:
    bool make_wav_buffer(const XrSimpleArray<XrString>& names, std::unique_ptr<BYTE[]>& buffer,
                         std::uint32_t& size) override
    {
        std::vector<std::string> p;
        for (int i = 0; i < names.get_count(); ++i) {
            XrString n;
            names.get_item(i, n);
            p.push_back(narrow(n));
        }
        paths.push_back(p);
        return XrAudioPlayer::make_wav_buffer(names, buffer, size);
    }
    std::vector<std::vector<std::string>> paths;
};

Directive dir(int code, int w2 = 0, int w3 = 0, int w5 = 0, int l = 0)
{
    Directive d;
    d.words[0] = static_cast<std::uint32_t>(code);
    d.words[1] = static_cast<std::uint32_t>(w2);
    d.words[2] = static_cast<std::uint32_t>(w3);
    d.words[4] = static_cast<std::uint32_t>(w5);
    d.words[7] = static_cast<std::uint32_t>(l);
    return d;
}

class RoutePromptsPlayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_now = 100000;
        sounds = root.make_dirs("/usr/share/kestrova/sounds");
        voice = std::make_unique<XrCodedVoiceSet>(sounds + "/eng");
        layer = std::make_unique<XrRouteLayer>(nullptr, nullptr, 1, &player, nullptr);
        layer->set_tick_source(test_clock);
        layer->set_voice_folder(XrString(L"eng"));
        route.route_mode = 0;
        A::set_route(*layer, &route);
    }
    void TearDown() override
    {
        A::set_route(*layer, nullptr);
        layer.reset();
    }

    std::vector<std::string> said() const { return voice->said(capture); }

    XrTempRoot root;
    XrEsdCapture capture{root.dir() + "/capture"};
    std::string sounds;
    XrTestRouteLayerHost host{root.dir() + "/usr/share/kestrova/sounds"};
    std::unique_ptr<XrCodedVoiceSet> voice;
    RecordingPlayer player;
    XrRouteInstructions route;
    std::unique_ptr<XrRouteLayer> layer;
};

TEST_F(RoutePromptsPlayTest, PromptsArePlayedFromTheVoiceSetFolderWithSlashes)
{
    layer->set_delay_prompt_on(false);
    layer->play_prompts(L"300.wav", L"left.wav", nullptr);
    ASSERT_EQ(player.paths.size(), 1u);
    const std::string folder = sounds + "/eng/";
    EXPECT_EQ(player.paths[0], (std::vector<std::string>{folder + "300.wav", folder + "left.wav"}));
    EXPECT_EQ(said(), std::vector<std::string>{"300 left"});
}

TEST_F(RoutePromptsPlayTest, NothingIsPlayedWithVoicePromptsOffOrAnEmptyList)
{
    layer->play_prompts(nullptr, nullptr, nullptr);
    layer->set_voice_prompts_on(false);
    layer->play_prompts(L"left.wav", nullptr, nullptr);
    EXPECT_TRUE(player.paths.empty());
    EXPECT_TRUE(said().empty());
}

TEST_F(RoutePromptsPlayTest, LeadInOnlyAfterAQuietWhile)
{
    // The last prompt was at time 0; the clock stands at 100 s.
    layer->play_prompts(L"left.wav", nullptr, nullptr);
    g_now += 3800;
    layer->play_prompts(L"right.wav", nullptr, nullptr);
    g_now += 3801;
    // The player is busy for the few milliseconds that a prompt plays.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    layer->play_prompts(L"uturn.wav", nullptr, nullptr);
    EXPECT_EQ(said(), (std::vector<std::string>{"delay left", "right", "delay uturn"}));
}

TEST_F(RoutePromptsPlayTest, VoiceSetFlagsFollowItsFiles)
{
    // The full set has every optional prompt.
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(A::flags(*layer, i)) << i;
    XrCodedVoiceSet(sounds + "/bare", {"left", "dest"});
    layer->set_voice_folder(XrString(L"bare"));
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(A::flags(*layer, i)) << i;
}

TEST_F(RoutePromptsPlayTest, PromptUnitsFollowTheSettingAndTheVoiceSet)
{
    XrCodedVoiceSet(sounds + "/yards", {"100y", "left"});
    XrCodedVoiceSet(sounds + "/metres", {"100", "left"});
    const struct {
        const wchar_t* set;
        int setting;
        int want;
    } cases[] = {
        {L"eng", 0, 0},    {L"eng", 1, 2},    {L"eng", 2, 2},     {L"yards", 2, 1},
        {L"metres", 2, 0}, {L"metres", 0, 0}, {L"missing", 1, 1}, {L"missing", 2, 2},
    };
    for (const auto& c : cases) {
        host.units = c.setting;
        layer->set_voice_folder(XrString(c.set));
        layer->update_prompt_units(c.setting);
        EXPECT_EQ(layer->get_prompt_units(), c.want) << narrow(XrString(c.set)) << " " << c.setting;
        EXPECT_EQ(layer->get_display_units(), c.want);
        EXPECT_EQ(layer->detect_prompt_units(), c.setting != 0 ? 1 : 0);
    }
}

TEST_F(RoutePromptsPlayTest, OggPromptsCountForTheUnits)
{
    // A set of Ogg Vorbis files only: "01mile.ogg" speaks miles.
    const std::string set = root.make_dirs("/usr/share/kestrova/sounds/ogg");
    std::filesystem::copy_file(sounds + "/eng/01mile.wav", set + "/01mile.ogg");
    host.units = 1;
    layer->set_voice_folder(XrString(L"ogg"));
    EXPECT_EQ(layer->get_prompt_units(), 2);
}

TEST_F(RoutePromptsPlayTest, NearAnnouncementChainsTheNextInstruction)
{
    layer->set_delay_prompt_on(false);
    const Directive right = dir(5, 0, 0, 1150);
    const Directive left = dir(3, 0, 0, 1000);
    A::set_directives(*layer, &left, 3, &right);
    A::set_follow_up(*layer, true, true, true);
    layer->announce_near(&left);
    EXPECT_TRUE(A::follow_up_spoken(*layer));
    // Spoken: no far announcement of the follow-up any more.
    layer->announce_far(&right, 150);
    EXPECT_EQ(said(), std::vector<std::string>{"herel then2 right"});
}

TEST_F(RoutePromptsPlayTest, AnnouncementsNeedTheOptionAndARouteThatIsNotOfKind2)
{
    layer->set_delay_prompt_on(false);
    const Directive left = dir(3, 0, 0, 1000);
    A::set_directives(*layer, &left, 1, nullptr);
    layer->set_option1(XrRouteLayer::OPTION_OFF);
    layer->announce_far(&left, 300);
    layer->announce_near(&left);
    layer->set_option1(XrRouteLayer::OPTION_ON);
    route.route_mode = 2;
    layer->announce_far(&left, 300);
    layer->announce_near(&left);
    EXPECT_TRUE(said().empty());
    route.route_mode = 0;
    layer->announce_far(&left, 300);
    g_now = 104500; // picks the second of the variants
    layer->announce_near(&left);
    EXPECT_EQ(said(), (std::vector<std::string>{"300 left", "herel2"}));
}

TEST_F(RoutePromptsPlayTest, FarAnnouncementOfAUturnSilencesTheNearOne)
{
    layer->set_delay_prompt_on(false);
    const Directive uturn = dir(6, 0, 0, 1000);
    A::set_directives(*layer, &uturn, 1, nullptr);
    layer->announce_far(&uturn, 300);
    layer->announce_near(&uturn);
    layer->announce_near(&uturn);
    EXPECT_EQ(said(), (std::vector<std::string>{"uturn", "uturn"}));
}

TEST_F(RoutePromptsPlayTest, LeadInCheckPlaysTheLeadInBeforeARoundaboutExit)
{
    const Directive exit = dir(14, 0, 0, 1000);
    A::set_directives(*layer, &exit, 1, nullptr);
    layer->check_lead_in();
    layer->set_delay_prompt_on(false);
    layer->check_lead_in();
    EXPECT_EQ(said(), std::vector<std::string>{"delay"});
}

TEST_F(RoutePromptsPlayTest, ArrivalPromptsOfTheVoiceSet)
{
    const std::string folder = sounds + "/arrive";
    XrCodedVoiceSet set(folder, {"dest"});
    set.write(folder, "dest01", 200);
    set.write(folder, "DEST02", 201);
    std::filesystem::copy_file(folder + "/dest01.wav", folder + "/dest01.ogg"); // the same prompt
    std::filesystem::copy_file(folder + "/dest01.wav", folder + "/dest9.ogg");
    std::filesystem::copy_file(folder + "/dest01.wav", folder + "/dest001.wav");
    std::filesystem::copy_file(folder + "/dest01.wav", folder + "/dest01.mp3");
    layer->set_voice_folder(XrString(L"arrive"));
    // Base names, as the directory order and the twin found first vary.
    std::vector<std::string> names;
    const auto& list = A::arrival_prompts(*layer);
    for (int i = 0; i < list.get_num_items(); ++i) {
        const std::string n = narrow(*list.get_item_ptr(i));
        names.push_back(i == 0 ? n : n.substr(0, n.size() - 4));
    }
    ASSERT_FALSE(names.empty());
    std::sort(names.begin() + 1, names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"dest.wav", "DEST02", "dest01", "dest9"}))
        << "dest01.ogg is the twin of dest01.wav";
    // One of them at random ("dest9.ogg" holds the samples of "dest01").
    layer->set_delay_prompt_on(false);
    layer->play_prompts(layer->choose_prompt(list, nullptr), nullptr, nullptr);
    const auto s = set.said(capture);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_TRUE(s[0] == "dest" || s[0] == "dest01" || s[0] == "DEST02") << s[0];
}

TEST_F(RoutePromptsPlayTest, ArrivalPromptsAreKeptWhenTheFolderCannotBeRead)
{
    const auto before = A::arrival_prompts(*layer).get_num_items();
    ASSERT_GE(before, 2); // "dest.wav" and "dest2.wav"
    layer->set_voice_folder(XrString(L"missing"));
    EXPECT_EQ(A::arrival_prompts(*layer).get_num_items(), before);
}

TEST_F(RoutePromptsPlayTest, ChooseVariantReturnsTheArgument)
{
    const wchar_t* a = L"herel.wav";
    const wchar_t* b = L"herel2.wav";
    const wchar_t* c = L"herel.wav";
    const wchar_t* d = L"herel3.wav";
    const struct {
        std::uint32_t tick;
        const wchar_t* want;
    } cases[] = {{0, a}, {4000, b}, {5000, a}, {9500, d}};
    for (const auto& t : cases) {
        g_now = t.tick;
        EXPECT_EQ(layer->choose_variant(a, b, c, d, 4000, 1000, 4000, 1000), t.want) << t.tick;
    }
}

TEST_F(RoutePromptsPlayTest, GpsPresenceChanges)
{
    layer->set_delay_prompt_on(false);
    EXPECT_FALSE(layer->set_gps_present(false, true)); // unchanged
    EXPECT_TRUE(layer->set_gps_present(true, true));
    EXPECT_FALSE(layer->set_gps_present(true, true));
    EXPECT_TRUE(layer->set_gps_present(false, false)); // lost, quietly
    EXPECT_TRUE(layer->set_gps_present(true, true));
    EXPECT_TRUE(layer->set_gps_present(false, true));
    EXPECT_FALSE(layer->get_gps_fix_valid());
    EXPECT_EQ(said(), std::vector<std::string>{"nogps"});
}

TEST_F(RoutePromptsPlayTest, NoFixEventPlaysItsPrompt)
{
    layer->set_delay_prompt_on(false);
    layer->execute(nullptr, reinterpret_cast<void*>(XrRouteLayer::EVENT_NO_FIX));
    layer->execute(nullptr, reinterpret_cast<void*>(7));
    EXPECT_EQ(said(), std::vector<std::string>{"nogpsfix"});
}

TEST_F(RoutePromptsPlayTest, UturnWhenDrivingAwayFromTheRouteOncePerInstruction)
{
    layer->set_delay_prompt_on(false);
    const Directive left = dir(3, 0, 0, 1000);
    A::set_directives(*layer, &left, 1, nullptr);
    const struct {
        const char* what;
        int state;
        double odometer;
        bool want_far;
    } cases[] = {
        {"on the route", XrRouteLayer::STATE_ON_ROUTE, 100, false},
        {"off the route before 21 m", XrRouteLayer::STATE_OFF_ROUTE, 20, false},
        {"off the route after 21 m", XrRouteLayer::STATE_OFF_ROUTE, 21, true},
        {"again", XrRouteLayer::STATE_OFF_ROUTE, 40, true},
    };
    for (const auto& c : cases) {
        A::set_guidance(*layer, c.state, c.odometer);
        layer->check_uturn();
        EXPECT_EQ(A::announced_far(*layer), c.want_far) << c.what;
    }
    EXPECT_EQ(said(), std::vector<std::string>{"uturn"});
}

} // namespace
