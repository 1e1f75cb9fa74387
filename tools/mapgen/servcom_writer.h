// The body of a ServCom reply (the layout of xr_servcomlayout.h).
#pragma once

#include <cstdint>
#include <vector>

#include "apps/services/xr_servcomlayout.h"

// The reply body of a bag encoding.
std::vector<std::uint8_t> servcom_reply_body(const std::vector<std::uint8_t>& encoding);
// The same with another announced length (for damaged replies).
std::vector<std::uint8_t> servcom_reply_body(const std::vector<std::uint8_t>& encoding, std::int32_t announced);
// The zlib stream of bytes (the request body of an encoding).
std::vector<std::uint8_t> servcom_compress(const std::vector<std::uint8_t>& bytes);
