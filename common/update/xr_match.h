// Pattern matching with captures over byte strings. In a pattern "~d"
// captures a run of decimal digits, "~D" a run of non-digits, "~s" a run of
// any bytes (each run may be empty, shortest first), "~~" matches one '~' and
// every other byte matches itself. The whole string must match.
#pragma once

#include <cstddef>

struct XrMatchDataRec {
    static constexpr int max_matches = 256;
    struct Match {
        size_t start;
        size_t end;
        unsigned char kind; // 'd', 'D' or 's'
    };
    Match matches[max_matches];
    int num_matches;
};

// On success the captures go to the variable arguments in pattern order: an
// unsigned int* for "~d" (its decimal value), a const unsigned char** and a
// size_t* for "~s" and "~D" (start within str and length). A "~d" run whose
// value does not fit an unsigned int makes the match fail.
bool xr_match_capture(const unsigned char* str, size_t len, const char* pattern, ...);

// The worker: matches str from str_pos against pattern from pattern_pos,
// recording captures in ctx; continuing extends the capture begun last.
bool xr_match_capture_i(XrMatchDataRec* ctx, bool continuing, const unsigned char* str, size_t str_len,
                        size_t str_pos, const char* pattern, size_t pattern_len, size_t pattern_pos);
