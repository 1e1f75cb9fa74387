// The map configuration of a map folder (REGEDIT4 text) read into a map,
// which is then drawn once. Inputs that name files (a path separator or a
// "?:" path outside the section lines) are passed over: the target reads
// the configuration, not the file system.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/base/xr_singleton.h"
#include "common/config/xr_memoryconfiguration.h"
#include "common/gdi/recording/xr_gdi_recording.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapconfig.h"
#include "common/map/xr_mapview.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"

namespace {

bool names_files(const std::string& text)
{
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        const bool section = !line.empty() && line[0] == '[';
        if (line.find('/') != std::string::npos || line.find("?:") != std::string::npos ||
            (!section && line.find('\\') != std::string::npos))
            return true;
        start = end + 1;
    }
    return false;
}

void set_up_once()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    XrGdiRecording::instance().set_enabled(false);
    XrGDI::init_stock_objects();
    auto* fonts = new XrFontRepositoryMaemo();
    fonts->initialize();
    XrSingleton::set_instance(XrString(L"XrFontRepository"), fonts);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (size > 65536 || names_files(text))
        return 0;
    set_up_once();
    XrMemoryConfiguration config(L"");
    if (config.open(data, size, true) != XrConfiguration::OK)
        return 0;
    config.open_key(L"\\map");
    XrMapConfigContext context;
    XrMap map;
    if (read_map_configuration(&map, &config, context, nullptr) == MapConfigFailed)
        return 0;
    XrMapView view(nullptr);
    view.set_map(&map);
    view.set_screen_size(XrSize(800, 480));
    view.set_visible_rect(XrRectangle(0, 0, 800, 480));
    view.set_default_scale_reference();
    const XrPoint centre(1000, 1000);
    view.set_center_and_scale(&centre, 20000, true);
    XrDCHandleRec* dc = xr_recording_dc(800, 480);
    view.draw(dc, nullptr, XrMap::AllLayers, -1, -1);
    XrGDI::delete_dc(dc);
    if (map.get_layer_count() > 0)
        reload_layer(&map, map.get_layer_info_at(0)->name, &config, context, nullptr);
    return 0;
}
