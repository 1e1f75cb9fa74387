// Traffic strings files "strings_<language>.bin" (the layout of
// apps/services/xr_trafficstringslayout.h).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The file of the texts (UTF-8) by event code (1 to 2047; others are left out).
std::vector<std::uint8_t> traffic_strings_file(const std::map<int, std::string>& texts);
