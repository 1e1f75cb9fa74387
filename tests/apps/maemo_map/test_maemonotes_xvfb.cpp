// The application object's notes and queries: the providers' notes, the
// route questions and the timed notes stand on screen as notes with texts
// (never message keys) and wait for the answer.
#include "apps/maemo_map/xr_maemomapapp.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <clocale>
#include <functional>
#include <string>
#include <vector>

#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "navigator_run.h"
#include "platform/hildon/hildon.h"
#include "support/xr_temp_root.h"

extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

namespace {

// What a person saw and how they answered: each note's text, then the
// response given (none: the note is left to close itself).
struct Answers {
    std::vector<std::string> seen;
    std::vector<int> responses;
    size_t next = 0;
    guint source = 0;
};

gboolean answer_note(gpointer data)
{
    auto* a = static_cast<Answers*>(data);
    GtkWidget* note = hildon_find_toplevel(HILDON_NOTE_NAME);
    if (note == nullptr || !GTK_WIDGET_MAPPED(note))
        return TRUE;
    const char* text = hildon_note_get_text(note);
    if (a->seen.size() == a->next)
        a->seen.push_back(text != nullptr ? text : "");
    if (a->next < a->responses.size() && a->responses[a->next] != 0) {
        hildon_note_respond(a->responses[a->next]);
        ++a->next;
    }
    return TRUE;
}

class MaemoNotesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static XrOwnDisplay display;
        ASSERT_TRUE(display.ok());
        ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    }
    void SetUp() override
    {
        unsetenv("LANGUAGE");
        setenv("LC_ALL", "C", 1); // no catalogue of its own: English texts
        std::setlocale(LC_ALL, "");
        ASSERT_TRUE(bind_text_domain());
        answers.source = g_timeout_add(50, answer_note, &answers);
    }
    void TearDown() override
    {
        g_source_remove(answers.source);
        unsetenv("LC_ALL");
        std::setlocale(LC_ALL, "C");
    }

    XrTempRoot root;
    Answers answers;
};

TEST_F(MaemoNotesTest, ProviderNotesAreShownWhileTheApplicationLives)
{
    {
        XrMaemoMapApp app(nullptr);
        answers.responses = {GTK_RESPONSE_OK, GTK_RESPONSE_OK};
        xr_show_note(R_STR_MSG_NO_ROUTE_FOUND);
        xr_show_note_text(XrString(L"Set: could not be loaded"));
        ASSERT_EQ(answers.seen.size(), 2u);
        EXPECT_EQ(answers.seen[0], "No route found");
        EXPECT_EQ(answers.seen[1], "Set: could not be loaded");
    }
    // Without the application nothing opens (the text goes to standard error).
    xr_show_note(R_STR_MSG_NO_ROUTE_FOUND);
    EXPECT_EQ(answers.seen.size(), 2u);
}

TEST_F(MaemoNotesTest, RouteQuestionsAskAndRouteFailuresTell)
{
    XrMaemoMapApp app(nullptr);
    answers.responses = {GTK_RESPONSE_YES, GTK_RESPONSE_NO, GTK_RESPONSE_OK};
    EXPECT_TRUE(app.XrCommonDialogs_show_query_msg(XrRouteProvider::STR_ALLOW_TOLLROADS, true));
    EXPECT_FALSE(app.XrCommonDialogs_show_query_msg(XrRouteProvider::STR_ALLOW_FERRY, true));
    EXPECT_FALSE(app.XrCommonDialogs_show_query_msg(XrRouteProvider::STR_NO_ROUTE_FOUND, false));
    ASSERT_EQ(answers.seen.size(), 3u);
    for (const std::string& text : answers.seen)
        EXPECT_EQ(text.find("r_str_"), std::string::npos) << text;
    // A question shows its title, two line ends and its text; the failure
    // only its text.
    EXPECT_NE(answers.seen[0].find("\n\n"), std::string::npos) << answers.seen[0];
    EXPECT_EQ(answers.seen[2], "No route found");
}

TEST_F(MaemoNotesTest, ATimedNoteClosesItselfAndAnAnsweredOneAtOnce)
{
    answers.responses = {0};
    const gint64 start = g_get_monotonic_time();
    XrMaemoMapApp::show_note("r_str_no_mmc_title", "r_str_no_mmc_message", 1);
    const gint64 waited = g_get_monotonic_time() - start;
    EXPECT_GE(waited, 900000);
    EXPECT_LT(waited, 5000000);
    ASSERT_EQ(answers.seen.size(), 1u);
    EXPECT_EQ(answers.seen[0].rfind("No map card\n\nInsert a memory card", 0), 0u) << answers.seen[0];
    EXPECT_EQ(hildon_find_toplevel(HILDON_NOTE_NAME), nullptr);

    // Answered before its time is up: the timer goes with it.
    answers = Answers{{}, {GTK_RESPONSE_OK}, 0, answers.source};
    XrMaemoMapApp::show_note(nullptr, "r_str_newer_package_available", 30);
    ASSERT_EQ(answers.seen.size(), 1u);
    EXPECT_EQ(answers.seen[0], "A newer version of the application is available.");
}

gboolean timed_note_over_another(gpointer data)
{
    XrMaemoMapApp::show_note(nullptr, "r_str_mmc_unmount_warning", 1);
    // The note below it is still open; a person answers it now.
    *static_cast<bool*>(data) = hildon_find_toplevel(HILDON_NOTE_NAME) != nullptr;
    hildon_note_respond(GTK_RESPONSE_OK);
    return FALSE;
}

// A timed note that opens over another closes itself, not the one below.
TEST_F(MaemoNotesTest, ATimedNoteOverAnotherClosesItselfOnly)
{
    bool below_still_open = false;
    g_timeout_add(200, timed_note_over_another, &below_still_open);
    XrMaemoMapApp::show_note(nullptr, "r_str_newer_package_available");
    EXPECT_TRUE(below_still_open);
    EXPECT_EQ(hildon_find_toplevel(HILDON_NOTE_NAME), nullptr);
}

} // namespace
