// The controller as the POI layer's client (the two built-in icon sets and
// their bitmaps, the note rectangles) and as the extension handler of the
// POI provider (install questions and error notes).
#include <string>

#include "apps/apps_common/xr_naviapp.h"
#include "common/bmloader/xr_bitmap.h"
#include "common/bmloader/xr_bitmap_loader.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/misc/xr_msgids.h"

namespace {

constexpr int BUILTIN_CLASS_COUNT = 93; // kind 1: classes 0 to 92
constexpr int FIRST_USER_TYPE = 93;     // kind 2: roadblocks (93) and favourites (94)
constexpr int USER_TYPE_COUNT = 2;
constexpr int NOTE_LINE_CHARS = 100;

std::string utf8(const XrString& text)
{
    std::string out;
    xr_userfile::append_utf8(out, text);
    return out;
}

// Pins a loader id and fills the handles that are still empty; false when
// the id has no picture.
bool pin_strip(unsigned int id, XrBitmapHandleRec*& image, XrBitmapHandleRec*& mask)
{
    XrIcon icon;
    if (!XrBitmapLoader::load_bitmap_internal(id, icon, false) || icon.bitmap() == nullptr)
        return false;
    // The pin keeps the picture (and so the handles) after icon lets go.
    XrBitmapLoader::set_pinned(id, true);
    if (image == nullptr)
        image = icon.bitmap();
    if (mask == nullptr)
        mask = icon.mask();
    return true;
}

} // namespace

void XrNaviApp::register_poi_icon_sets()
{
    XrMapProvider* maps = XrMapProvider::get_instance();
    auto* poi = maps != nullptr ? dynamic_cast<XrPoiLayer*>(maps->get_poi_layer()) : nullptr;
    if (poi == nullptr)
        return;
    XrPoiLayerIconSet builtin;
    builtin.kind = 1;
    builtin.first_type = 0;
    builtin.count = BUILTIN_CLASS_COUNT;
    poi->add_icon_set(builtin, true);
    XrPoiLayerIconSet user;
    user.kind = 2;
    user.first_type = FIRST_USER_TYPE;
    user.count = USER_TYPE_COUNT;
    poi->add_icon_set(user, false);
}

void XrNaviApp::set_note_rects(const XrRectangle* icon, const XrRectangle* note)
{
    note_icon_rect.reset();
    note_rect.reset();
    if (icon != nullptr)
        note_icon_rect = *icon;
    if (note != nullptr)
        note_rect = *note;
}

void XrNaviApp::load_icon_set(XrPoiLayerIconSet& set)
{
    // Sets of other kinds keep the handles they came with; so do the POI
    // provider's sets of kind 2 (a storage of their own): the roadblock and
    // favourite strips are not their icons.
    if ((set.kind != 1 && set.kind != 2) || (set.kind == 2 && set.storage != nullptr))
        return;
    const unsigned int* ids = POI_STRIP_IDS[set.kind - 1];
    set.small_id = set.medium_id = set.large_id = XrPoiLayerIconSet::PRIVATE_ID;
    if (pin_strip(ids[0], set.small, set.small_mask))
        set.small_id = ids[0];
    if (pin_strip(ids[1], set.medium, set.medium_mask))
        set.medium_id = ids[1];
    if (pin_strip(ids[2], set.large, set.large_mask))
        set.large_id = ids[2];
    else if (set.kind == 1 && set.medium_id != XrPoiLayerIconSet::PRIVATE_ID &&
             pin_strip(set.medium_id, set.large, set.large_mask))
        set.large_id = set.medium_id;
}

void XrNaviApp::show_extension_error(const XrString& message)
{
    show_route_query("r_str_msg_extension_error_title", utf8(message).c_str(), false);
}

bool XrNaviApp::ask_extension_install(const XrString& question)
{
    return show_route_query("r_str_msg_extension_install_title", utf8(question).c_str(), true);
}

void XrNaviApp::on_extension_result(int code, const XrExtensionItem& item)
{
    if (code == RESULT_FAILED)
        show_extension_error(item.get_name());
}

bool XrNaviApp::confirm_install(const XrExtensionItem& item) { return ask_extension_install(item.get_name()); }

void XrNaviApp::report_failed_poi_sets(const XrArray<XrPoiProvider::XrDynPoiFailedResult>& failed)
{
    if (failed.get_num_items() == 0)
        return;
    XrString text;
    for (int i = 0; i < failed.get_num_items(); ++i) {
        const XrPoiProvider::XrDynPoiFailedResult& f = *failed.get_item_ptr(i);
        XrString line;
        line.format_text(NOTE_LINE_CHARS,
                         f.reason == XrPoiProvider::XrDynPoiFailedResult::VersionTooNew ? R_STR_MSG_DYN_POI_VERSION_ERROR
                                                                                       : R_STR_MSG_DYN_POI_LOAD_FAILED,
                         f.file.c_str(), f.detail.c_str());
        if (i > 0)
            text += L"\n";
        text += line;
    }
    show_route_query("r_str_msg_extension_install_title", utf8(text).c_str(), false);
}
