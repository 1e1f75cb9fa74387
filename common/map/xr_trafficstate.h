// What the traffic box above the map shows: one state is current, draws
// itself and, when its time is up, names its successor.
#pragma once

#include <cstdint>

#include "common/container/xr_string.h"
#include "common/gdi/xr_gdi.h"
#include "common/geometry/xr_point.h"

// The event ahead on the route ("A") as the traffic service stored it.
struct XrTrafficARecord {
    bool present = false;
    int icon_kind = 0;
    int distance = 0; // metres ahead
    XrString text;
    int delay = 0; // seconds
    XrString sound;          // prompt file name
    XrString fallback_sound; // played when the prompt file does not load
    bool* played = nullptr;
    int id = 0;
    bool* shown = nullptr;
};

// The event on the current road ("C").
struct XrTrafficCRecord {
    bool present = false;
    int icon_kind = 0;
    XrString text;
    int distance = 0;
    int id = 0;
    bool* shown = nullptr;
};

// What the states ask of the route layer that owns them.
class XrTrafficHost {
public:
    virtual ~XrTrafficHost() = default;
    virtual const XrTrafficARecord& get_a_event() const = 0;
    virtual const XrTrafficCRecord& get_c_event() const = 0;
    // Milliseconds of a monotonic clock.
    virtual std::uint32_t get_tick_ms() const = 0;
    // A layout element in pixels (keys 5 to 9).
    virtual XrPoint layout_point_for_id(int key) const = 0;
    // The width in pixels of text in the ticker's font.
    virtual int measure_text(const XrString& text) const = 0;

    // Drawing services; without them the box is drawn without icon, timer
    // or sound.
    // The small POI icon of a type key: a strip, the icon's x in it, and its
    // size.
    virtual bool get_poi_icon(int type_key, XrBitmapHandleRec*& bitmap, XrBitmapHandleRec*& mask, int& offset,
                              int& width, int& height)
    {
        (void)type_key, (void)bitmap, (void)mask, (void)offset, (void)width, (void)height;
        return false;
    }
    // The unit system of displayed distances (0 metric, 1 yards, 2 feet).
    virtual int get_display_units() const { return 0; }
    // Seconds of traffic delay on the route up to metres ahead.
    virtual int get_traffic_delay_ahead(int metres)
    {
        (void)metres;
        return 0;
    }
    // Arms (ms > 0) or cancels (ms 0) the timer that redraws the box.
    virtual void set_box_timer(int ms) { (void)ms; }
    // Voice prompts: the voice root and set folders, whether a prompt plays,
    // whether a prompt file loads, and playing one by file name.
    virtual XrString get_voice_root() const { return XrString(); }
    virtual XrString get_voice_set() const { return XrString(); }
    virtual bool is_audio_playing() const { return false; }
    virtual bool prompt_file_loads(const XrString& path)
    {
        (void)path;
        return false;
    }
    virtual void play_prompt(const XrString& file) { (void)file; }
};

// Where the scrolling text stands: x0 pixels scrolled, and whether it shows.
struct XrTickerPosition {
    int x0 = 0;
    bool visible = false;
    bool restarted = false;
};

// The ticker of a box of width pixels: u is the disc radius (layout element
// 6), start the tick time the text began (0 = now). A radius or a rate of 0
// is taken as 1.
XrTickerPosition xr_traffic_ticker(std::uint32_t now, std::uint32_t& start, int u, int width, int text_width);

class XrTrafficVisualization {
public:
    XrTrafficVisualization(const XrTrafficVisualization&) = delete;
    XrTrafficVisualization& operator=(const XrTrafficVisualization&) = delete;
    virtual ~XrTrafficVisualization() = default;

    virtual bool draw(XrDCHandleRec* dc, XrPoint& top_left, XrPoint& bottom_right) = 0;
    // True once the state's duration has passed.
    bool is_done() const;
    virtual int get_value() const;
    // The successor, or this state when it stays.
    virtual XrTrafficVisualization* next_state() = 0;

    // Replaces a finished state by its successor; returns the state to keep.
    static XrTrafficVisualization* draw_state(XrTrafficVisualization* state, XrDCHandleRec* dc);
    // Deletes the state and returns a new Clear state on the same host.
    static XrTrafficVisualization* reset(XrTrafficVisualization* state, XrTrafficHost* host);
    static bool draw_in_rect(XrTrafficVisualization* state, XrDCHandleRec* dc, const XrRectangle& rect);

    // Milliseconds the state lasts.
    int get_duration_ms() const { return duration_ms; }
    std::uint32_t get_start() const { return start; }

protected:
    XrTrafficVisualization(XrTrafficHost* host, int duration_ms);
    std::uint32_t now() const { return host->get_tick_ms(); }
    std::uint32_t since_start() const { return now() - start; }
    bool a_near() const;
    int base_value() const { return host->layout_point_for_id(5).y; }
    // Runs the ticker over the text and draws it with the icon and the
    // delay disc scrolling ahead of it; sets visible.
    bool tick(XrDCHandleRec* dc, const XrString& text, const XrPoint& top_left, const XrPoint& bottom_right,
              int kind, int delay);

    // Makes the pens and brushes on the first drawing (colours need the
    // display, which states without drawing do not).
    void make_tools();
    // The elements of the box.
    // Cancels the box timer and moves both corners down while sliding in.
    void slide(XrPoint& top_left, XrPoint& bottom_right);
    // The box with a margin of 100 pixels each side; arms the box timer.
    void draw_box(XrDCHandleRec* dc, const XrPoint& top_left, const XrPoint& bottom_right);
    // The icon of an event kind at x, vertically centred in the box; the
    // icon's width (0 without one).
    int draw_icon(XrDCHandleRec* dc, int kind, int x, const XrPoint& top_left, const XrPoint& bottom_right);
    int icon_width(int kind) const;
    // The clock-like disc of a delay in seconds left of centre x.
    void draw_delay_disc(XrDCHandleRec* dc, int x, int middle, int delay);
    void draw_distance(XrDCHandleRec* dc, int metres, int icon_w, const XrPoint& top_left,
                       const XrPoint& bottom_right);
    void draw_chevrons(XrDCHandleRec* dc, int icon_w, const XrPoint& top_left, const XrPoint& bottom_right);
    // The icon, disc and distance of an event.
    void draw_event(XrDCHandleRec* dc, int kind, int delay, int metres, const XrPoint& top_left,
                    const XrPoint& bottom_right);
    // Plays the A-event's sound once when it is the one shown.
    void play_sound(int shown_id);
    XrString distance_text(int metres) const;

    XrTrafficHost* host;
    int duration_ms;
    std::uint32_t start;
    std::uint32_t ticker_start = 0;
    bool* shown = nullptr;
    bool visible = true;
    bool sliding = false;
    int slide_offset = 0;
    bool tools_made = false;
    XrPenHandle black_pen{};
    XrBrushHandle white_brush{};
    XrBrushHandle dark_red_brush{};
};

class XrTrafficVisualizationClear : public XrTrafficVisualization {
public:
    XrTrafficVisualizationClear(XrTrafficHost* host, bool clear_flag = false);
    bool draw(XrDCHandleRec* dc, XrPoint& top_left, XrPoint& bottom_right) override;
    int get_value() const override { return 0; }
    XrTrafficVisualization* next_state() override;
    bool get_clear_flag() const { return clear_flag; }

private:
    bool clear_flag;
};

// The A-event's icon, delay and distance; count ms are taken off its 3 s.
class XrTrafficVisualizationAI : public XrTrafficVisualization {
public:
    XrTrafficVisualizationAI(XrTrafficHost* host, int count, bool sliding, bool byte);
    bool draw(XrDCHandleRec* dc, XrPoint& top_left, XrPoint& bottom_right) override;
    XrTrafficVisualization* next_state() override;
    int get_value() const override { return base_value(); }

private:
    int shown_id;
    int c_seen;
    bool byte;
};

// The A-event's text scrolling.
class XrTrafficVisualizationAS : public XrTrafficVisualization {
public:
    XrTrafficVisualizationAS(XrTrafficHost* host, bool byte);
    bool draw(XrDCHandleRec* dc, XrPoint& top_left, XrPoint& bottom_right) override;
    XrTrafficVisualization* next_state() override;
    int get_value() const override { return visible ? base_value() : 0; }

private:
    int shown_id;
    std::uint32_t first_check = 0;
    bool byte;
};

// The C-event's icon, delay and distance; allowance ms shorten the wait for
// its text.
class XrTrafficVisualizationCI : public XrTrafficVisualization {
public:
    XrTrafficVisualizationCI(XrTrafficHost* host, int allowance);
    bool draw(XrDCHandleRec* dc, XrPoint& top_left, XrPoint& bottom_right) override;
    XrTrafficVisualization* next_state() override;
    int get_value() const override { return base_value(); }

private:
    int shown_id;
    int allowance;
};

// The C-event's text scrolling.
class XrTrafficVisualizationCS : public XrTrafficVisualization {
public:
    explicit XrTrafficVisualizationCS(XrTrafficHost* host);
    bool draw(XrDCHandleRec* dc, XrPoint& top_left, XrPoint& bottom_right) override;
    XrTrafficVisualization* next_state() override;
    int get_value() const override { return visible ? base_value() : 0; }

private:
    int shown_id;
    std::uint32_t first_check = 0;
};
