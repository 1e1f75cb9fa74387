// The body of a ServCom reply: a BER INTEGER holding the length of the reply
// bag's BER encoding, then the zlib stream of that encoding.
#pragma once

#include <cstdint>
#include <vector>

// The reply body of a bag encoding.
std::vector<std::uint8_t> servcom_reply_body(const std::vector<std::uint8_t>& encoding);
// The same with another announced length (for damaged replies).
std::vector<std::uint8_t> servcom_reply_body(const std::vector<std::uint8_t>& encoding, std::int32_t announced);
// The zlib stream of bytes (the request body of an encoding).
std::vector<std::uint8_t> servcom_compress(const std::vector<std::uint8_t>& bytes);
