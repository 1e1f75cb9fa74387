// Checks of a Vorbis file's setup headers that the decoder library leaves
// out: a codebook of no dimension, no used entry or codeword lengths that
// make no complete prefix code is left half built, and decoding then divides
// by zero.
#pragma once

#include <cstddef>
#include <cstdint>

namespace xr_vorbis_setup {

// False when a setup header of any logical stream of the file (pages with a
// good checksum only, as the decoder reads them) holds such a codebook.
bool codebooks_sound(const std::uint8_t* data, std::size_t size);

// The same for one setup header packet ("\x05vorbis" and the rest).
bool setup_packet_sound(const std::uint8_t* packet, std::size_t size);

}  // namespace xr_vorbis_setup
