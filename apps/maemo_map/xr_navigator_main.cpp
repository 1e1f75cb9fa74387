// kestrova-navigator: prepares the process and the memory card, opens the
// platform connection and runs the application object.
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/resource.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "apps/maemo_map/xr_cardsetup.h"
#include "apps/maemo_map/xr_maemomapapp.h"
#include "apps/oggvorbis/xr_oggvorbisfile.h"
#include "common/base/xr_root.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/gdi/xr_gdi.h"
#include "common/corvanel_core/interfaces/xr_applicationprovider.h"
#include "common/misc/xr_msgtable.h"
#include "common/misc/xr_path_resolver.h"
#include "common/ui/dialog/xr_commondialogs.h"

namespace {

// SIGTERM arrives here from the main loop (not inside the signal handler).
gboolean sigterm_handler(gpointer)
{
    g_print("sigterm_handler\n");
    auto* app = xr_registered<XrApplicationProvider>(L"XrApplicationProvider");
    if (app != nullptr)
        app->exit(0);
    std::exit(0);
    return G_SOURCE_REMOVE;
}

} // namespace

int main(int argc, char** argv)
{
    setlocale(LC_ALL, "");
    if (!bind_text_domain())
        g_printerr("kestrova-navigator: the message catalogue could not be bound\n");
    gtk_disable_setlocale();

    struct rlimit core = {RLIM_INFINITY, RLIM_INFINITY};
    setrlimit(RLIMIT_CORE, &core);
    signal(SIGPIPE, SIG_IGN);

    if (!XrGDI::use_shipped_fonts())
        g_printerr("kestrova-navigator: no shipped font configuration; the machine's fonts are used\n");
    gtk_init(&argc, &argv);
    g_unix_signal_add(SIGTERM, sigterm_handler, nullptr);

    xr_ensure_user_settings(g_first_start);

    osso_context_t* osso = osso_initialize("kestrova", "20060616", TRUE, nullptr);
    if (osso == nullptr) {
        g_print("Failed to initialize osso connection.\n");
        std::exit(1);
    }
    g_developer_mode = g_file_test(XrRoot::path("/media/mmc1/kestrova_rd_mode").c_str(), G_FILE_TEST_IS_DIR);

    XrCardSetup card;
    if (!xr_prepare_card(card)) {
        g_print("Failed to start without valid MMC\n");
        XrMaemoMapApp::show_note("r_str_no_mmc_title", "r_str_no_mmc_message", XrMaemoMapApp::closing_note_seconds,
                                 XrCommonDialogs::NOTE_ERROR);
        std::exit(0);
    }
    if (card.ambiguous)
        XrMaemoMapApp::show_note("r_str_ambiguous_mmc_title", "r_str_ambiguous_mmc_message");
    g_demo_map = card.demo_map;
    const XrString root = from_platform_path(card.map_root.c_str());
    auto* resolver = new XrPathResolver(root.c_str());
    set_path_resolver(resolver);
    if (!xr_ensure_active_map(card))
        g_printerr("kestrova-navigator: no active map could be installed\n");
    g_demo_map = g_demo_map || card.demo_map;
    if (xr_check_packages(card))
        XrMaemoMapApp::show_note(nullptr, "r_str_newer_package_available");

    g_hildon_program = hildon_program_get_instance();
    g_set_application_name(translate_key("r_str_app_name"));

    // Voice prompts may be Ogg Vorbis files.
    XrOggVorbisFile::install();

    int status = 0;
    {
        XrMaemoMapApp app(osso);
        g_app = &app;
        status = app.run(argc, argv);
        g_app = nullptr;
    }
    set_path_resolver(nullptr);
    delete resolver;
    return status;
}
