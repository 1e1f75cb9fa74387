// Writer of the roadblock file "blks.bin".
#pragma once

#include <string>
#include <vector>

#include "common/container/xr_defs.h"

struct XrBlksRecord {
    int x = 0;
    int y = 0;
    unsigned char kind = 0; // 0 for every sound record
};

std::vector<BYTE> write_blks(const std::vector<XrBlksRecord>& records);
bool write_blks_file(const std::string& path, const std::vector<XrBlksRecord>& records);
