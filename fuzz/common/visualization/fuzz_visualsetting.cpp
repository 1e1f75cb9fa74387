// Visual settings read from REGEDIT4 text of the map folder, then every
// style asked for, before and after a theme change. Pens and brushes allocate colours on the X display: with
// no DISPLAY the target runs its own Xvfb.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gdk/gdk.h>

#include "common/base/xr_singleton.h"
#include "common/config/xr_memoryconfiguration.h"
#include "common/gdi/xr_palette.h"
#include "common/storage/xr_storageaccessor.h"
#include "common/symbol/xr_drawablesymbol.h"
#include "common/symbol/xr_symbol.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "common/visualization/xr_visualsetting.h"
#include "tools/mapgen/symbol_writer.h"

namespace {

pid_t g_xvfb = -1;

void stop_xvfb()
{
    if (g_xvfb > 0) {
        kill(g_xvfb, SIGTERM);
        waitpid(g_xvfb, nullptr, 0);
        g_xvfb = -1;
    }
}

// Starts Xvfb on a display it picks itself and points DISPLAY at it.
bool start_xvfb()
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(fds[0]);
        const int null_fd = open("/dev/null", O_RDWR);
        if (null_fd >= 0) {
            dup2(null_fd, 0);
            dup2(null_fd, 1);
            dup2(null_fd, 2);
        }
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x480x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return false;
    }
    g_xvfb = pid;
    std::atexit(stop_xvfb);
    // Xvfb writes the display number once it accepts clients.
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty())
        return false;
    setenv("DISPLAY", (":" + number).c_str(), 1);
    return true;
}

XrPtrArray<XrSymbolLibrary*>* g_libraries = nullptr;
XrPalette* g_palette = nullptr;

void ask_every_style(const XrVisualSetting& vs);

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* display = std::getenv("DISPLAY");
    if ((display == nullptr || *display == 0) && !start_xvfb()) {
        std::fprintf(stderr, "fuzz_visualsetting: cannot start Xvfb\n");
        std::abort();
    }
    if (!gdk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "fuzz_visualsetting: no X display\n");
        std::abort();
    }
    auto* fonts = new XrFontRepositoryMaemo();
    fonts->initialize();
    XrSingleton::set_instance(XrString(L"XrFontRepository"), fonts);

    // Two libraries with symbols 1 to 3.
    g_libraries = new XrPtrArray<XrSymbolLibrary*>(2);
    for (int lib = 0; lib < 2; ++lib) {
        std::vector<XrSymbolDef> defs;
        for (int code = 1; code <= 3; ++code) {
            XrSymbolProgram program;
            program.select(0, 0).polygon({{-4, -4}, {4, -4}, {4, 4}, {-4, 4}});
            program.select(XrDrawableSymbol::KEEP, 0).filled_ellipse(0, 0, code, code).end();
            defs.push_back({static_cast<std::uint16_t>(code), program.bytes()});
        }
        std::vector<BYTE> bytes = symbol_library(defs);
        XrMemoryStorageAccessor storage(true, bytes.data(), static_cast<std::uint32_t>(bytes.size()), false);
        auto* library = new XrSymbolLibrary();
        if (library->load(&storage) != 0)
            std::abort();
        g_libraries->append(library);
    }
    g_palette = new XrPalette();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    XrMemoryConfiguration config(L"");
    config.open(data, size, true);
    config.open_key(L"\\");

    XrVisualSetting vs;
    const int theme = 1;
    vs.read(config, *g_palette, *g_libraries, size % 2 ? &theme : nullptr);
    ask_every_style(vs);
    // A theme change reads everything again; the styles must follow.
    XrVisualSetting::XrThemeColors colours;
    int applied = 0;
    vs.read_themes(static_cast<int>(size % 3), *g_palette, config, &colours, applied);
    ask_every_style(vs);
    return 0;
}

namespace {

void ask_every_style(const XrVisualSetting& vs)
{
    for (unsigned int scale : {0u, 1u, 100u, 5000u, 0x7FFFFFFFu, 0xFFFFFFFFu})
        (void)vs.get_scale_index(scale);
    for (int id = -2; id < 20; ++id) {
        const short s = static_cast<short>(id);
        for (int index = -1; index < 6; ++index) {
            XrPenHandle outer, inner, pen;
            XrBrushHandle brush;
            short value = 0;
            int r1, g1, b1, r2, g2, b2;
            XrFontHandleRec* font = nullptr;
            XrColorHandle color = 0;
            vs.get_line_info(s, index, outer, inner, value);
            vs.get_line_colors(s, index, r1, g1, b1, r2, g2, b2, value);
            vs.get_polygon_info(s, index, brush, pen);
            vs.get_font_info(s, index, font, color);
            if (XrDrawableSymbol* symbol = vs.get_symbol(s))
                (void)symbol->get_screen_bbox(30, index);
        }
    }
}

} // namespace
