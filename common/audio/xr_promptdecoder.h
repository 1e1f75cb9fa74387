// A decoder of compressed voice prompts into canonical WAV images. The audio
// layer knows decoders only through this interface; the application installs
// the Ogg Vorbis decoder (apps/oggvorbis) with XrAudioFile::set_decoder_factory.
#pragma once

#include <cstdint>
#include <memory>

#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"

class XrPromptDecoder {
public:
    virtual ~XrPromptDecoder() = default;

    // Bytes of the WAV image (known after a successful open).
    virtual std::uint32_t get_size() = 0;
    // The whole prompt decoded into a canonical WAV image of the width
    // given to open (its data size says how many bytes were decoded), or
    // null.
    virtual std::unique_ptr<BYTE[]> get_wav_data() = 0;
    // True when the file exists and holds a stream of this kind; width is
    // the output's bits per sample, 8 or 16.
    virtual bool open(const XrString& name, int width) = 0;
};

// Makes a fresh decoder.
typedef std::unique_ptr<XrPromptDecoder> (*XrPromptDecoderFactory)();
