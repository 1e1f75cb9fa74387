// One loaded voice prompt as a canonical WAV image (44-byte header, then the
// samples) at the player's sample width: from the Ogg Vorbis twin of the
// file when there is one and it decodes, else from the WAV file itself.
// Loaded prompts are also the entries of the player's cache.
#pragma once

#include <cstdint>
#include <memory>

#include "common/audio/xr_promptdecoder.h"
#include "common/audio/xr_wavreader.h"
#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"
#include "common/os/xr_file.h"

class XrAudioFile {
public:
    // Largest prompt image that is loaded (bytes).
    static constexpr std::uint32_t max_image_size = 32u << 20;

    XrAudioFile() = default;
    XrAudioFile(const XrAudioFile&) = delete;
    XrAudioFile& operator=(const XrAudioFile&) = delete;
    virtual ~XrAudioFile() = default;

    // Bytes of the WAV image.
    virtual std::uint32_t get_size() = 0;
    // The WAV image (get_size() bytes, valid as long as the object), or null
    // when the file can no longer be read.
    virtual const BYTE* get_data() = 0;

    // Loads the prompt name at width bits per sample (8 or 16): the file of
    // the same base name ending in ".ogg" when it exists and decodes, else
    // name as WAV. Null when neither loads. '\' separators in name count as
    // '/'.
    static std::unique_ptr<XrAudioFile> create_for_file(const XrString& name, int width);

    // The name of the Ogg Vorbis twin: the name up to its extension's dot
    // (the whole name when its last part has none) followed by ".ogg".
    static XrString ogg_name(const XrString& name);
    // The path of a prompt of a voice set: root "/" set "/" name, with every
    // '\' of the parts turned into '/'.
    static XrString prompt_path(const XrString& root, const XrString& set, const XrString& name);

    // The decoder used for Ogg twins; without one only WAV files load.
    static void set_decoder_factory(XrPromptDecoderFactory factory);

    const XrString& get_name() const { return m_name; }
    bool is_pinned() const { return m_pinned; }

private:
    friend class XrAudioPlayerBase;

    // Cache links and state, kept by the player.
    XrAudioFile* m_next = nullptr;
    XrAudioFile* m_prev = nullptr;
    XrString m_name;
    bool m_pinned = false;
};

// A WAV prompt: the header is read when loading, the samples (converted to
// the target width) on the first get_data.
class XrAudioWavFile : public XrAudioFile {
public:
    // Null when the file is missing or not a WAV file the player can play.
    static std::unique_ptr<XrAudioWavFile> load(const XrString& name, int width);

    std::uint32_t get_size() override { return m_converted_size; }
    const BYTE* get_data() override;

    const XrWavInfo& get_info() const { return m_info; }

private:
    XrAudioWavFile() = default;

    XrFile m_file;
    unsigned m_target_width = 0;
    unsigned m_source_width = 0;
    XrWavInfo m_info;
    std::unique_ptr<BYTE[]> m_image;
    std::uint32_t m_converted_size = 0;
};

// An Ogg Vorbis prompt, decoded whole when loaded.
class XrAudioOggFile : public XrAudioFile {
public:
    // Null when there is no decoder, the file does not open as a stream of
    // its kind, or it decodes to no samples.
    static std::unique_ptr<XrAudioOggFile> load(const XrString& name, int width);

    std::uint32_t get_size() override { return m_size; }
    const BYTE* get_data() override { return m_image.get(); }

private:
    XrAudioOggFile() = default;

    std::unique_ptr<BYTE[]> m_image;
    std::uint32_t m_size = 0;
};
