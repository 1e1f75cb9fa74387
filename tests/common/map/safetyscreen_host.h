// A route layer's state for safety-screen tests, with a log of what the
// screen asked it to draw.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/base/xr_singleton.h"
#include "common/bmloader/xr_bitmap.h"
#include "common/map/xr_safetyscreendrawer.h"
#include "common/ui/fonts/xr_fontrepository.h"

struct FakeSafetyHost : XrSafetyScreenHost {
    bool route = true;
    int state = 1;
    int distance = 700;
    int largest = 1000;
    int units = 0;
    bool right_hand = true;
    XrString next_street = L"Main Street";
    XrString street = L"Harbour Road";
    bool street_names = true;
    int route_length = 12000;
    int travelled = 2000;
    int later_legs = 500;
    int minutes = 75;
    bool uturn = false;
    bool signpost = false;
    bool has_current = true;
    bool has_next = true;
    int direction_icon = 3;
    int bend_icon = 17;
    std::vector<std::string> log;
    // Six pictures (route_01 to route_03, then the half ones), each of its
    // own size so that the tests tell them apart.
    std::vector<std::unique_ptr<XrBitmap>> pictures;

    // with_pictures: memory bitmaps of the recording backend.
    explicit FakeSafetyHost(bool with_pictures = true)
    {
        for (int i = 0; with_pictures && i < 6; ++i) {
            auto bitmap = std::make_unique<XrBitmap>(XrGDI::create_bitmap(nullptr, 10 + i, 10 + i), nullptr);
            bitmap->set_owns_handles(true);
            pictures.push_back(std::move(bitmap));
        }
    }

    bool has_active_route() const override { return route; }
    int get_guidance_state() const override { return state; }
    int get_directive_distance() const override { return distance; }
    int get_largest_announcement() const override { return largest; }
    int get_display_units() const override { return units; }
    bool is_right_hand_traffic() const override { return right_hand; }
    XrString get_next_street_text() const override { return next_street; }
    XrString get_street_name() const override { return street; }
    bool shows_street_names() const override { return street_names; }
    int get_route_length() const override { return route_length; }
    int get_distance_travelled() const override { return travelled; }
    int get_later_legs_length() const override { return later_legs; }
    int get_remaining_minutes() const override { return minutes; }
    bool is_uturn_announced() const override { return uturn; }
    void set_uturn_announced() override { uturn = true; }
    void play_prompt(const TCHAR* file) override { log.push_back("play " + narrow(file)); }
    XrBitmap* get_picture(int index, bool half) override
    {
        const size_t i = static_cast<size_t>(index + (half ? 3 : 0));
        return i < pictures.size() ? pictures[i].get() : nullptr;
    }
    int get_direction_icon() override { return direction_icon; }
    int get_bend_ahead_icon() override { return bend_icon; }
    void draw_guidance_sign(XrDCHandleRec*, const XrPoint& at, int icon) override
    {
        log.push_back("sign " + std::to_string(icon) + " at " + std::to_string(at.x) + "," + std::to_string(at.y));
    }
    bool draw_direction_icon(XrDCHandleRec*, const XrRectangle&, bool next) override
    {
        if (!(next ? has_next : has_current))
            return false;
        log.push_back(next ? "direction icon of the next" : "direction icon");
        return true;
    }
    bool should_show_signpost() override { return signpost; }
    void draw_instruction_graphics(XrDCHandleRec*, const XrRectangle& box) override
    {
        log.push_back("instructions " + std::to_string(box.left) + "," + std::to_string(box.top) + " " +
                      std::to_string(box.right) + "," + std::to_string(box.bottom));
    }
    void set_guidance_box_height(int height) override { log.push_back("box height " + std::to_string(height)); }
    void draw_compass(XrDCHandleRec*) override { log.push_back("compass"); }
    void update_signpost_height(XrDCHandleRec*, const XrPoint&) override { log.push_back("signpost height"); }
    void draw_street_box(XrDCHandleRec*, const XrRectangle& box) override
    {
        log.push_back("street box " + std::to_string(box.left) + "," + std::to_string(box.top) + " " +
                      std::to_string(box.right) + "," + std::to_string(box.bottom));
    }
    XrFontHandleRec* get_font(int context) override
    {
        auto* fonts = static_cast<XrFontRepository*>(XrSingleton::get_instance(XrString(L"XrFontRepository")));
        return fonts != nullptr ? fonts->get_font(context) : nullptr;
    }

    static std::string narrow(const TCHAR* s)
    {
        std::string out;
        for (; s != nullptr && *s != 0; ++s)
            out += static_cast<char>(*s);
        return out;
    }
};
