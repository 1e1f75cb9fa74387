// The voice-prompt player: prompts are loaded through a small cache of the
// most recently used ones, the prompts of one announcement are joined into
// one WAV image, and the image is played through the sound daemon as a
// cached sample.
#pragma once

#include <cstdint>
#include <memory>

#include "common/audio/xr_audiofile.h"
#include "common/base/xr_memorynotifier.h"
#include "common/container/xr_defs.h"
#include "common/container/xr_simplearray.h"
#include "common/container/xr_string.h"

class XrAudioPlayerBase : public XrMemoryNotifierClient {
public:
    enum Status {
        PLAYED = 0, // played, or muted
        FAILED = 1,
    };

    // Unpinned prompts kept beyond the ones in use.
    static constexpr int cache_limit = 10;

    // mode 0: 8-bit samples, registered with the memory notifier; mode 1:
    // 16-bit samples, not registered. The volume starts at level 3 (100 %),
    // the settings' default, until the owner sets the settings' level.
    explicit XrAudioPlayerBase(int mode);
    ~XrAudioPlayerBase() override;

    // Drops every unpinned cached prompt.
    void free_memory() override;
    virtual bool is_playing() = 0;
    // Joins the prompts into one WAV image; false when a prompt cannot be
    // loaded, the prompts differ in rate or channels, or there is nothing
    // to play (buffer is then null).
    virtual bool make_wav_buffer(const XrSimpleArray<XrString>& names, std::unique_ptr<BYTE[]>& buffer,
                                 std::uint32_t& size);
    // Plays a WAV image of size bytes, taking it over.
    virtual Status play_buffer(std::unique_ptr<BYTE[]> image, std::uint32_t size) = 0;
    virtual void stop() = 0;

    // Stops what plays and plays the prompts as one sentence.
    Status play_files(const XrSimpleArray<XrString>& names);
    Status play_file(const XrString& name);

    // Loads a prompt into the cache and pins it there; false when it cannot
    // be loaded.
    bool preload(const XrString& name);
    // Drops every cached prompt, pinned or not.
    void clear_cache();
    int get_cache_count() const { return m_cache_count; }

    // Levels 0 to 3 set 0, 15, 50 and 100 %; other levels are ignored.
    void set_volume_level(int level);
    // 0 % -> 0, 15 % -> 1, 50 % -> 2, anything else -> 3.
    int get_volume_level() const;
    int get_volume() const { return m_volume; }
    void set_muted(bool muted) { m_muted = muted; }
    bool is_muted() const { return m_muted; }
    int get_sample_width() const { return m_sample_width; }

private:
    // The cached prompt of that name, taken out of the cache, or the prompt
    // freshly loaded; null when it cannot be loaded.
    std::unique_ptr<XrAudioFile> take(const XrString& name);
    // Puts a prompt back at the head of the cache and trims the cache.
    void put_back(std::unique_ptr<XrAudioFile> file);
    void unlink(XrAudioFile* file);

    int m_sample_width;
    int m_volume;
    bool m_muted = false;
    XrAudioFile* m_audio_lru_head = nullptr; // owned, most recently used first
    XrAudioFile* m_audio_lru_tail = nullptr;
    int m_cache_count = 0;
};

// The player on the sound daemon (platform/esd).
class XrAudioPlayer : public XrAudioPlayerBase {
public:
    explicit XrAudioPlayer(int mode = 0);
    // Closes the connection to the daemon.
    ~XrAudioPlayer() override;

    // True until the last prompt's end.
    bool is_playing() override;
    // Refuses images whose header is not a canonical one the daemon can
    // play; connects to the daemon on first use.
    Status play_buffer(std::unique_ptr<BYTE[]> image, std::uint32_t size) override;
    void stop() override;

    // Milliseconds that sample_bytes of frames of that format play.
    static std::uint32_t duration_ms(std::uint32_t sample_bytes, unsigned channels, std::uint32_t rate,
                                     unsigned bits);

private:
    void close_connection();

    int m_esd_fd = -1;
    int m_sample_id = -1;
    std::uint32_t m_play_end = 0; // tick time in ms
};
