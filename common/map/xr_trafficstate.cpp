#include "common/map/xr_trafficstate.h"

#include <algorithm>

namespace {

// An A-event closer than this is shown.
constexpr int kNearMetres = 2500;

} // namespace

XrTickerPosition xr_traffic_ticker(std::uint32_t now, std::uint32_t& start, int u, int width, int text_width)
{
    XrTickerPosition out;
    if (start == 0)
        start = now;
    // Milliseconds a pixel: a radius of 0 (no layout yet) must not divide by
    // zero, nor a rate that truncates to 0.
    const int radius = std::max(u, 1);
    const std::int64_t per_pixel = std::max<std::int64_t>(static_cast<std::int64_t>(10.0 / radius * 40.0), 1);
    std::int64_t x0 = static_cast<std::int64_t>(now - start) / per_pixel - (width - 2);
    if (x0 > text_width) {
        const std::int64_t after = static_cast<std::int64_t>(now) - (start + text_width * per_pixel);
        if (after / 60000 > 1) {
            start = now;
            x0 = 0;
            out.restarted = true;
        } else {
            out.x0 = static_cast<int>(std::min<std::int64_t>(x0, INT32_MAX));
            return out;
        }
    }
    out.x0 = static_cast<int>(x0);
    out.visible = true;
    return out;
}

XrTrafficVisualization::XrTrafficVisualization(XrTrafficHost* host, int duration_ms)
    : host(host), duration_ms(std::max(duration_ms, 0)), start(host->get_tick_ms())
{
}

bool XrTrafficVisualization::is_done() const
{
    return static_cast<std::int64_t>(since_start()) > duration_ms;
}

int XrTrafficVisualization::get_value() const { return base_value(); }

bool XrTrafficVisualization::a_near() const
{
    const XrTrafficARecord& a = host->get_a_event();
    return a.present && a.distance < kNearMetres;
}

XrTrafficVisualization* XrTrafficVisualization::draw_state(XrTrafficVisualization* state, XrDCHandleRec*)
{
    if (state == nullptr || !state->is_done())
        return state;
    XrTrafficVisualization* next = state->next_state();
    if (next != nullptr && next != state) {
        delete state;
        return next;
    }
    return state;
}

XrTrafficVisualization* XrTrafficVisualization::reset(XrTrafficVisualization* state, XrTrafficHost* host)
{
    if (state != nullptr && host == nullptr)
        host = state->host;
    delete state;
    return new XrTrafficVisualizationClear(host, false);
}

bool XrTrafficVisualization::draw_in_rect(XrTrafficVisualization* state, XrDCHandleRec* dc, const XrRectangle& rect)
{
    if (state == nullptr)
        return false;
    XrPoint top_left(rect.left, rect.top);
    XrPoint bottom_right(rect.right, rect.bottom);
    return state->draw(dc, top_left, bottom_right);
}

XrTrafficVisualizationClear::XrTrafficVisualizationClear(XrTrafficHost* host, bool clear_flag)
    : XrTrafficVisualization(host, 3000), clear_flag(clear_flag)
{
}

bool XrTrafficVisualizationClear::draw(XrDCHandleRec*, XrPoint& top_left, XrPoint& bottom_right)
{
    slide(top_left, bottom_right);
    return false;
}

XrTrafficVisualization* XrTrafficVisualizationClear::next_state()
{
    if (host->get_c_event().present)
        return new XrTrafficVisualizationCI(host, 0);
    if (a_near())
        return new XrTrafficVisualizationAI(host, 0, true, false);
    return this;
}

XrTrafficVisualizationAI::XrTrafficVisualizationAI(XrTrafficHost* host, int count, bool sliding, bool byte)
    : XrTrafficVisualization(host, 3000 - count), shown_id(host->get_a_event().id),
      c_seen(host->get_c_event().present ? host->get_c_event().id : -1), byte(byte)
{
    shown = host->get_a_event().shown;
    this->sliding = sliding;
}

bool XrTrafficVisualizationAI::draw(XrDCHandleRec* dc, XrPoint& top_left, XrPoint& bottom_right)
{
    const XrTrafficARecord& a = host->get_a_event();
    play_sound(shown_id);
    slide(top_left, bottom_right);
    draw_box(dc, top_left, bottom_right);
    draw_event(dc, a.icon_kind, a.delay, a.distance, top_left, bottom_right);
    if (shown != nullptr)
        *shown = true;
    return true;
}

XrTrafficVisualization* XrTrafficVisualizationAI::next_state()
{
    const XrTrafficARecord& a = host->get_a_event();
    const XrTrafficCRecord& c = host->get_c_event();
    if (c.present && c.id != shown_id && c.id != c_seen)
        return new XrTrafficVisualizationCI(host, 0);
    if (a_near()) {
        if (a.id != shown_id)
            return new XrTrafficVisualizationAI(host, 0, false, false);
        if (since_start() <= 10000)
            return this;
        return new XrTrafficVisualizationAS(host, byte);
    }
    if (c.present && c.id == shown_id && c.id != c_seen)
        return new XrTrafficVisualizationCI(host, 0);
    return new XrTrafficVisualizationClear(host);
}

XrTrafficVisualizationAS::XrTrafficVisualizationAS(XrTrafficHost* host, bool byte)
    : XrTrafficVisualization(host, 10000), shown_id(host->get_a_event().id), byte(byte)
{
    shown = host->get_a_event().shown;
}

bool XrTrafficVisualizationAS::draw(XrDCHandleRec* dc, XrPoint& top_left, XrPoint& bottom_right)
{
    const XrTrafficARecord& a = host->get_a_event();
    const XrTrafficCRecord& c = host->get_c_event();
    play_sound(shown_id);
    int metres = 0;
    if (c.present && c.id == shown_id)
        metres = c.distance;
    else if (a.present && a.id == shown_id)
        metres = a.distance;
    XrString text = a.text;
    if (metres != 0)
        text = text + L" --- " + distance_text(metres);
    slide(top_left, bottom_right);
    return tick(dc, text, top_left, bottom_right, a.icon_kind, a.delay);
}

XrTrafficVisualization* XrTrafficVisualizationAS::next_state()
{
    if (visible)
        return this;
    if (first_check == 0)
        first_check = std::max<std::uint32_t>(now(), 1);
    const XrTrafficARecord& a = host->get_a_event();
    if (host->get_c_event().present)
        return new XrTrafficVisualizationCI(host, 0);
    if (!a.present)
        return new XrTrafficVisualizationClear(host);
    if (!a_near())
        return this;
    if (now() - first_check <= 30000 && a.id == shown_id)
        return this;
    return new XrTrafficVisualizationAI(host, 0, false, byte || a.id == shown_id);
}

XrTrafficVisualizationCI::XrTrafficVisualizationCI(XrTrafficHost* host, int allowance)
    : XrTrafficVisualization(host, 0), shown_id(host->get_c_event().id), allowance(allowance)
{
    shown = host->get_c_event().shown;
}

bool XrTrafficVisualizationCI::draw(XrDCHandleRec* dc, XrPoint& top_left, XrPoint& bottom_right)
{
    const XrTrafficCRecord& c = host->get_c_event();
    slide(top_left, bottom_right);
    draw_box(dc, top_left, bottom_right);
    draw_event(dc, c.icon_kind, host->get_traffic_delay_ahead(c.distance), c.distance, top_left, bottom_right);
    draw_chevrons(dc, icon_width(c.icon_kind), top_left, bottom_right);
    if (shown != nullptr)
        *shown = true;
    return true;
}

XrTrafficVisualization* XrTrafficVisualizationCI::next_state()
{
    const XrTrafficCRecord& c = host->get_c_event();
    if (c.present && c.id != shown_id)
        return new XrTrafficVisualizationCI(host, 0);
    if (!c.present) {
        if (a_near()) {
            const bool same = host->get_a_event().id == shown_id;
            return new XrTrafficVisualizationAI(host, same ? static_cast<int>(since_start()) : 0, false, false);
        }
        return new XrTrafficVisualizationClear(host);
    }
    if (static_cast<std::int64_t>(since_start()) > 10000 - allowance)
        return new XrTrafficVisualizationCS(host);
    return this;
}

XrTrafficVisualizationCS::XrTrafficVisualizationCS(XrTrafficHost* host)
    : XrTrafficVisualization(host, 10000), shown_id(host->get_c_event().id)
{
    shown = host->get_c_event().shown;
}

bool XrTrafficVisualizationCS::draw(XrDCHandleRec* dc, XrPoint& top_left, XrPoint& bottom_right)
{
    const XrTrafficCRecord& c = host->get_c_event();
    slide(top_left, bottom_right);
    const XrString text = c.text + L" --- " + distance_text(c.distance);
    return tick(dc, text, top_left, bottom_right, c.icon_kind, host->get_traffic_delay_ahead(c.distance));
}

XrTrafficVisualization* XrTrafficVisualizationCS::next_state()
{
    if (visible)
        return this;
    if (first_check == 0)
        first_check = std::max<std::uint32_t>(now(), 1);
    const XrTrafficCRecord& c = host->get_c_event();
    if (c.present && c.id != shown_id)
        return new XrTrafficVisualizationCI(host, 0);
    if (a_near())
        return new XrTrafficVisualizationAI(host, 0, false, false);
    if (c.present && now() - first_check > 30000)
        return new XrTrafficVisualizationCI(host, 0);
    if (!c.present)
        return new XrTrafficVisualizationClear(host);
    return this;
}
