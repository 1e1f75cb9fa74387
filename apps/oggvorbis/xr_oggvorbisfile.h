// Ogg Vorbis voice prompts decoded whole into canonical WAV images of the
// player's sample width, with Tremor (the integer Vorbis decoder) reading
// through this object's callbacks over its own file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/audio/xr_promptdecoder.h"
#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"

class XrFile;
struct OggVorbis_File;

class XrOggVorbisFile : public XrPromptDecoder {
public:
    // Bytes asked of the decoder at a time.
    static constexpr int chunk_size = 4096;
    // Failed decoder reads in a row after which decoding ends.
    static constexpr int max_read_errors = 64;

    XrOggVorbisFile();
    // The file must be closed (it is after every operation).
    ~XrOggVorbisFile() override;

    // Bytes of the WAV image computed by open.
    std::uint32_t get_size() override { return m_wav_size; }
    // Decodes the file again into a new WAV image: null when it no longer
    // opens or its length changed since open. Decoding ends at the end of
    // the stream, when the image is full, at a change of channels or rate,
    // or after max_read_errors failed reads in a row; the header's data size
    // is what was decoded.
    std::unique_ptr<BYTE[]> get_wav_data() override;
    // True when the file exists and holds an Ogg Vorbis stream of one or two
    // channels whose image fits a prompt; computes the image size
    // (samples per channel * channels * width / 8 + 44). The file is closed
    // again.
    bool open(const XrString& name, int width) override;

    // The decoder's data source over the file.
    std::size_t ogg_read(void* buffer, std::size_t size, std::size_t count);
    int ogg_seek(std::int64_t offset, int whence);
    int ogg_close();
    long ogg_tell();

    // Makes the audio layer decode the Ogg twins of prompts with this class.
    static void install();
    static std::unique_ptr<XrPromptDecoder> create();

protected:
    // One read of decoded 16-bit samples (native order) from the stream:
    // bytes read, 0 at the end, below 0 for a gap or damaged data.
    virtual long read_pcm(char* buffer, int length);

private:
    // Opens the file and the stream: false (file closed) when either fails.
    bool open_stream();
    // Reads the stream's format and length and computes the image size.
    bool read_stream_info(std::uint32_t& wav_size);
    void close_stream();

    int m_width = 16;
    std::uint32_t m_wav_size = 0;
    XrString m_name;
    std::unique_ptr<XrFile> m_file;
    std::uint32_t m_file_size = 0;
    std::uint32_t m_position = 0;
    std::unique_ptr<OggVorbis_File> m_vf;
    bool m_stream_open = false;
    unsigned m_channels = 0;
    std::uint32_t m_rate = 0;
};
