// The street-type words the address search expands: each typed word that is
// one spelling of a street type ("ST", "STR", "STREET") is searched in every
// spelling of its group.
#pragma once

#include "common/container/xr_defs.h"

class XrStreetTypes {
public:
    static constexpr int MAX_SPELLINGS = 8;

    static int group_count();
    // The first group holding the folded, upper-case word; -1 for none.
    static int find_group(const TCHAR* word);
    // The spellings of a group, in table order; returns their count.
    static int spellings(int group, const TCHAR* const*& out);
};
