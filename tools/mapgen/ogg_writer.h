// Writer of Ogg Vorbis voice prompts: the samples of a WAV definition encoded
// with Debian's oggenc (package vorbis-tools).
#pragma once

#include <string>

#include "tools/mapgen/wav_writer.h"

// Encodes the definition's samples into an Ogg Vorbis file at path (quality -1 to
// 10); false when the encoder cannot be run or fails.
bool write_ogg_file(const std::string& path, const XrWavDef& def, int quality = 3);
