// XrPromptSpeaker: the route layer's voice. It knows the voice folder (root
// and set), which optional prompts the set has (looked for when first
// needed), the set's arrival prompts, and plays prompt lists with the lead-in
// tone when the player has been quiet for a while.
#pragma once

#include <cstdint>

#include "common/container/xr_array.h"
#include "common/container/xr_string.h"

class XrAudioPlayer;
typedef XrArray<XrString> XrPromptList;

class XrPromptSpeaker {
public:
    // The optional prompts of a voice set.
    struct XrVoiceFlags {
        bool has_after = false, has_herel2 = false, has_700 = false, has_700y = false, has_01mile = false;
    };

    explicit XrPromptSpeaker(XrAudioPlayer* audio);

    XrAudioPlayer* get_audio() const { return audio; }
    void set_root(const XrString& root) { voice_root = root; }
    // Takes a new voice folder: the player's cache is cleared, the optional
    // prompts are looked for again and the arrival prompts collected.
    void set_voice(const XrString& root, const XrString& set);
    const XrString& get_root() const { return voice_root; }
    const XrString& get_set() const { return voice_set; }
    // Root "/" set "/" name.
    XrString path(const XrString& name) const;
    const XrVoiceFlags& get_flags() const;
    // "dest.wav" and the set's other arrival prompts, one per name.
    const XrArray<XrString>& get_arrival_prompts() const { return arrival_prompts; }

    void set_prompts_on(bool value) { prompts_on = value; }
    void set_lead_in_on(bool value) { lead_in_on = value; }
    // Whether a lead-in tone may be played at all.
    bool lead_in_allowed() const { return prompts_on && lead_in_on && audio != nullptr; }
    bool is_playing() const;
    // The player is busy at time t: the lead-in tone waits.
    void mark_busy(std::uint32_t t) { last_prompt_time = t; }
    // Plays the list at time t (nothing while prompts are off).
    void play_list(const XrPromptList& list, std::uint32_t t);
    void play_lead_in(std::uint32_t t);
    // Lists the voice folder again for its arrival prompts; an unreadable
    // folder leaves the list as it was.
    void collect_arrival_prompts();

private:

    XrAudioPlayer* audio;
    XrString voice_root;
    XrString voice_set;
    mutable bool flags_known = false;
    mutable XrVoiceFlags flags;
    XrArray<XrString> arrival_prompts;
    bool prompts_on = true;
    bool lead_in_on = true;
    std::uint32_t last_prompt_time = 0;
};
