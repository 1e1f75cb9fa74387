// Writer of compiled message catalogues (".mo"), laid out as msgfmt lays
// them out without a hash table.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "common/container/xr_defs.h"

// The catalogue of the (key, text) pairs, in the order given; big_endian
// writes every number most significant byte first.
std::vector<BYTE> write_mo_catalogue(const std::vector<std::pair<std::string, std::string>>& pairs,
                                     bool big_endian = false);
