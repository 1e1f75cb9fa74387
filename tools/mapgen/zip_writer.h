// Writes ZIP archives (stored or deflated members) for the archive tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ZipMember {
    std::string name;
    std::vector<std::uint8_t> data;
    int method = 8;         // 0 stored, 8 deflated, anything else as given
    bool corrupt_crc = false;
    std::uint32_t claimed_size = 0; // non-zero: the size the headers claim
};

std::vector<std::uint8_t> write_zip(const std::vector<ZipMember>& members, const std::string& comment = "");
