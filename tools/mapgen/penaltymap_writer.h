// Writer of penalty maps "penaltymap_<country>.txt": a REGEDIT4 text whose
// key "penalty_table" maps event codes (value names) to penalty classes
// (texts), both decimal.
#pragma once

#include <string>
#include <utility>
#include <vector>

// rows: (event code, class) in the order written.
std::string build_penalty_map(const std::vector<std::pair<int, int>>& rows);
// Writes through a temporary file renamed over path.
bool write_penalty_map(const std::string& path, const std::vector<std::pair<int, int>>& rows);
