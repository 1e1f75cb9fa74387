#include "common/update/xr_match.h"

#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"

#include <climits>
#include <cstdarg>
#include <cstring>

namespace {

bool kind_admits(unsigned char kind, unsigned char c)
{
    switch (kind) {
    case 'd':
        return is_digit(c);
    case 'D':
        return !is_digit(c);
    default:
        return true;
    }
}

bool is_capture_kind(char c)
{
    return c == 'd' || c == 'D' || c == 's';
}

} // namespace

bool xr_match_capture_i(XrMatchDataRec* ctx, bool continuing, const unsigned char* str, size_t str_len,
                        size_t str_pos, const char* pattern, size_t pattern_len, size_t pattern_pos)
{
    // Literals are matched in a loop; only captures recurse, once per capture.
    for (;;) {
        if (pattern_pos >= pattern_len)
            return str_pos >= str_len;
        char p = pattern[pattern_pos];
        if (p == '~' && pattern_pos + 1 < pattern_len && is_capture_kind(pattern[pattern_pos + 1]))
            break;
        if (p == '~') {
            // "~~" is one tilde; a lone trailing '~' or an unknown escape matches nothing.
            if (pattern_pos + 1 >= pattern_len || pattern[pattern_pos + 1] != '~')
                return false;
            ++pattern_pos;
        }
        if (str_pos >= str_len || str[str_pos] != (unsigned char)pattern[pattern_pos])
            return false;
        ++str_pos;
        ++pattern_pos;
    }

    unsigned char kind = (unsigned char)pattern[pattern_pos + 1];
    if (!continuing) {
        XR_ASSERT(ctx->num_matches < XrMatchDataRec::max_matches);
        XrMatchDataRec::Match& m = ctx->matches[ctx->num_matches++];
        m.start = str_pos;
        m.end = str_pos;
        m.kind = kind;
    }
    int index = ctx->num_matches - 1;
    // Shortest run first: try the rest of the pattern after each admitted byte.
    for (size_t end = str_pos;; ++end) {
        ctx->matches[index].end = end;
        if (xr_match_capture_i(ctx, false, str, str_len, end, pattern, pattern_len, pattern_pos + 2))
            return true;
        if (end >= str_len || !kind_admits(kind, str[end]))
            break;
    }
    if (!continuing)
        ctx->num_matches--;
    return false;
}

bool xr_match_capture(const unsigned char* str, size_t len, const char* pattern, ...)
{
    XrMatchDataRec ctx;
    ctx.num_matches = 0;
    if (str == nullptr && len != 0)
        return false;
    if (!xr_match_capture_i(&ctx, false, str, len, 0, pattern, std::strlen(pattern), 0))
        return false;

    // Values first, so that a failed match hands nothing out.
    unsigned int values[XrMatchDataRec::max_matches];
    for (int i = 0; i < ctx.num_matches; ++i) {
        const XrMatchDataRec::Match& m = ctx.matches[i];
        if (m.kind != 'd')
            continue;
        unsigned long long v = 0;
        for (size_t k = m.start; k < m.end; ++k) {
            v = v * 10 + (str[k] - '0');
            if (v > UINT_MAX)
                return false;
        }
        values[i] = (unsigned int)v;
    }

    va_list ap;
    va_start(ap, pattern);
    for (int i = 0; i < ctx.num_matches; ++i) {
        const XrMatchDataRec::Match& m = ctx.matches[i];
        if (m.kind == 'd') {
            *va_arg(ap, unsigned int*) = values[i];
        } else {
            *va_arg(ap, const unsigned char**) = str + m.start;
            *va_arg(ap, size_t*) = m.end - m.start;
        }
    }
    va_end(ap);
    return true;
}
