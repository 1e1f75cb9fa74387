// XrRouteLayer: the safety screen (its pictures, and the layer's state and
// drawing as the safety-screen drawing asks for them) and the traffic box
// states' view of the layer.
#include <ctime>

#include "common/audio/xr_audiofile.h"
#include "common/audio/xr_audioplayer.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_poilayer.h"
#include "common/map/xr_routelayer.h"
#include "common/map/xr_routelayer_draw.h"
#include "common/map/xr_trafficlayout.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_eventloopbase.h"

namespace {

// The ticker's font of the traffic box.
constexpr int FONT_TICKER = 49;
// The traffic box's event icons: POI type keys from 51 on, small size.
constexpr int POI_ICON_SIZE = 0;
constexpr int SAFETY_PICTURES = 3;

void* event_data(int id) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(id)); }

} // namespace

// ---- Safety screen

void XrRouteLayer::load_safety_screen_images()
{
    const XrSafetyScreenLayout* layouts[2] = {&XrSafetyScreenLayout::for_width(XrSafetyScreenLayout::LARGE_WIDTH),
                                              &XrSafetyScreenLayout::for_width(0)};
    for (int half = 0; half < 2; ++half) {
        for (int i = 0; i < SAFETY_PICTURES; ++i) {
            const XrString path = XrPathResolver::resolve(XrString(layouts[half]->pictures[i]));
            std::unique_ptr<XrBitmap>& slot = safety_images[half * SAFETY_PICTURES + i];
            slot.reset(XrGDI::load_bitmap_file(path.c_str()));
            if (slot == nullptr)
                xr_map_warning("route layer: safety screen picture %ls missing", path.c_str());
        }
    }
}

XrBitmap* XrRouteLayer::get_safety_image(int index) const
{
    return index >= 0 && index < 2 * SAFETY_PICTURES ? safety_images[index].get() : nullptr;
}

void XrRouteLayer::draw_safety_screen(XrDCHandleRec* dc, const XrPoint& screen)
{
    xr_draw_safety_screen(dc, screen, safety_link, now(), static_cast<int>(std::time(nullptr)));
}

void XrRouteLayer::draw_street_boxes(XrDCHandleRec* dc, const XrPoint& screen, const XrString& next_street,
                                     const XrString& street)
{
    xr_draw_street_boxes(dc, screen, safety_link, next_street, street);
}

long long XrRouteLayer::get_later_legs_length() const
{
    long long sum = 0;
    if (active_route == nullptr)
        return 0;
    for (int r = active_index + 1; r < routes.get_num_items(); ++r)
        if (const XrRouteInstructions* next = routes.get_item(r))
            sum += next->total_length;
    return sum;
}

bool XrRouteLayer::draw_icon_number(XrDCHandleRec* dc, int number, const XrPoint& at)
{
    if (number < 0 || number >= DIRECTION_ICON_COUNT || direction_icons == nullptr)
        return false;
    XrBitmap icon(direction_icons[number], false);
    if (icon.bitmap() == nullptr) {
        xr_map_warning("route layer: direction icon %d (0x%08X) missing", number, direction_icons[number]);
        return false;
    }
    XrGDI::draw_bitmap_object(dc, at.x, at.y, &icon, icon.mask() != nullptr);
    return true;
}

bool XrRouteLayer::XrSafetyLink::has_active_route() const { return layer->active_route != nullptr; }
int XrRouteLayer::XrSafetyLink::get_guidance_state() const { return layer->guidance.get_state(); }
int XrRouteLayer::XrSafetyLink::get_directive_distance() const { return layer->directive_distance; }
int XrRouteLayer::XrSafetyLink::get_largest_announcement() const { return layer->largest_announce; }
int XrRouteLayer::XrSafetyLink::get_display_units() const { return layer->display_units; }
bool XrRouteLayer::XrSafetyLink::is_right_hand_traffic() const { return layer->right_hand_traffic; }
XrString XrRouteLayer::XrSafetyLink::get_next_street_text() const { return layer->next_street_name; }
XrString XrRouteLayer::XrSafetyLink::get_street_name() const { return layer->street_name; }
bool XrRouteLayer::XrSafetyLink::shows_street_names() const { return layer->show_street_names; }
int XrRouteLayer::XrSafetyLink::get_route_length() const { return layer->route_length; }
int XrRouteLayer::XrSafetyLink::get_distance_travelled() const { return layer->distance_travelled; }
int XrRouteLayer::XrSafetyLink::get_remaining_minutes() const { return layer->remaining_minutes; }
bool XrRouteLayer::XrSafetyLink::is_uturn_announced() const { return layer->uturn_announced; }
void XrRouteLayer::XrSafetyLink::set_uturn_announced() { layer->uturn_announced = true; }
void XrRouteLayer::XrSafetyLink::set_guidance_box_height(int height) { layer->panel_sizes[0] = height; }
XrFontHandleRec* XrRouteLayer::XrSafetyLink::get_font(int context) { return xr_routelayer::font_of(context); }

int XrRouteLayer::XrSafetyLink::get_later_legs_length() const
{
    const long long sum = layer->get_later_legs_length();
    return sum > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(sum);
}

void XrRouteLayer::XrSafetyLink::play_prompt(const TCHAR* file) { layer->play_prompts(file, nullptr, nullptr); }

XrBitmap* XrRouteLayer::XrSafetyLink::get_picture(int index, bool half)
{
    if (index < 0 || index >= SAFETY_PICTURES)
        return nullptr;
    return layer->get_safety_image(index + (half ? SAFETY_PICTURES : 0));
}

int XrRouteLayer::XrSafetyLink::get_direction_icon()
{
    if (layer->current_directive == nullptr)
        return -1;
    return layer->get_direction_icon(layer->current_directive, nullptr, layer->directive_distance, -1);
}

int XrRouteLayer::XrSafetyLink::get_bend_ahead_icon()
{
    return layer->active_route != nullptr ? layer->get_bend_ahead_icon(layer->active_route) : -1;
}

void XrRouteLayer::XrSafetyLink::draw_guidance_sign(XrDCHandleRec* dc, const XrPoint& at, int icon)
{
    layer->draw_icon_number(dc, icon, at);
}

bool XrRouteLayer::XrSafetyLink::draw_direction_icon(XrDCHandleRec* dc, const XrRectangle& box, bool next)
{
    // The next one only while it follows closely.
    const XrRouteInstructions::XrRouteDirective* directive =
        next ? (layer->close_follow_up ? layer->next_directive : nullptr) : layer->current_directive;
    if (directive == nullptr || directive->code() == 0 ||
        directive->code() == XrRouteInstructions::CODE_DESTINATION)
        return false;
    const int number = next ? layer->get_direction_icon(directive, nullptr, -1, layer->current_directive_index - 1)
                            : layer->get_direction_icon(directive, nullptr, layer->directive_distance, -1);
    if (number < 0 || number >= DIRECTION_ICON_COUNT || layer->direction_icons == nullptr)
        return false;
    // Centred at the top of the box.
    XrBitmap icon(layer->direction_icons[number], false);
    const int x = box.left + (box.right - box.left - icon.width()) / 2;
    return layer->draw_icon_number(dc, number, XrPoint(x, box.top));
}

bool XrRouteLayer::XrSafetyLink::should_show_signpost()
{
    return layer->should_show_signpost(layer->current_directive, layer->directive_distance);
}

void XrRouteLayer::XrSafetyLink::draw_instruction_graphics(XrDCHandleRec* dc, const XrRectangle& box)
{
    int height = 0;
    const XrPoint origin(box.left, box.top);
    layer->draw_signpost_items(dc, XrPoint(box.right - box.left, box.bottom), height, true, &origin, true);
}

void XrRouteLayer::XrSafetyLink::draw_compass(XrDCHandleRec* dc)
{
    layer->draw_compass(dc, layer->host->get_map_view(), 0, 0);
}

void XrRouteLayer::XrSafetyLink::update_signpost_height(XrDCHandleRec* dc, const XrPoint& screen)
{
    layer->update_signpost_height(dc, screen);
}

void XrRouteLayer::XrSafetyLink::draw_street_box(XrDCHandleRec* dc, const XrRectangle& box)
{
    const XrPenHandle old_pen = XrGDI::get_pen(dc);
    const XrBrushHandle old_brush = XrGDI::get_brush(dc);
    int border = layer->line_width;
    XrRectangle outer(box.left - border, box.top - border, box.right + border, box.bottom + border);
    XrGDI::select_brush(dc, layer->brushes[BrushGreenDark]);
    XrGDI::select_pen(dc, layer->pens[PenGreenLight1]);
    layer->draw_rounded_frame(dc, outer, border);
    XrRectangle inner = box;
    XrGDI::select_pen(dc, layer->pens[PenGreenDark]);
    layer->draw_rounded_frame(dc, inner, border);
    XrGDI::restore_pen(dc, old_pen);
    XrGDI::restore_brush(dc, old_brush);
}

// ---- The traffic box states' view of the layer

const XrTrafficARecord& XrRouteLayer::XrTrafficLink::get_a_event() const { return layer->a_event; }
const XrTrafficCRecord& XrRouteLayer::XrTrafficLink::get_c_event() const { return layer->c_event; }
std::uint32_t XrRouteLayer::XrTrafficLink::get_tick_ms() const { return layer->now(); }

XrPoint XrRouteLayer::XrTrafficLink::layout_point_for_id(int key) const
{
    return key < 0 ? XrPoint(0, 0) : xr_traffic_metric_point(static_cast<unsigned>(key));
}

int XrRouteLayer::XrTrafficLink::measure_text(const XrString& text) const
{
    if (text.is_empty())
        return 0;
    return XrGDI::measure_text(xr_routelayer::font_of(FONT_TICKER), text.c_str()).width;
}

bool XrRouteLayer::XrTrafficLink::get_poi_icon(int type_key, XrBitmapHandleRec*& bitmap, XrBitmapHandleRec*& mask,
                                               int& offset, int& width, int& height)
{
    auto* pois = layer->map != nullptr ? dynamic_cast<XrPoiLayer*>(layer->map->get_layer(XrString(L"poi"))) : nullptr;
    return pois != nullptr && pois->get_poi_icon(type_key, POI_ICON_SIZE, bitmap, mask, offset, width, height);
}

int XrRouteLayer::XrTrafficLink::get_display_units() const { return layer->display_units; }

int XrRouteLayer::XrTrafficLink::get_traffic_delay_ahead(int metres) { return layer->get_traffic_delay_ahead(metres); }

void XrRouteLayer::XrTrafficLink::set_box_timer(int ms)
{
    if (layer->event_loop == nullptr)
        return;
    layer->event_loop->remove_timeout(layer, event_data(EVENT_TRAFFIC));
    if (ms > 0)
        layer->event_loop->add_timeout(ms / 1000, ms % 1000, layer, event_data(EVENT_TRAFFIC));
}

XrString XrRouteLayer::XrTrafficLink::get_voice_root() const { return layer->speaker.get_root(); }
XrString XrRouteLayer::XrTrafficLink::get_voice_set() const { return layer->speaker.get_set(); }

bool XrRouteLayer::XrTrafficLink::is_audio_playing() const
{
    return layer->audio != nullptr && layer->audio->is_playing();
}

bool XrRouteLayer::XrTrafficLink::prompt_file_loads(const XrString& path)
{
    return XrAudioFile::create_for_file(path, 8) != nullptr;
}

void XrRouteLayer::XrTrafficLink::play_prompt(const XrString& file)
{
    if (!file.is_empty())
        layer->play_prompts(file.c_str(), nullptr, nullptr);
}
