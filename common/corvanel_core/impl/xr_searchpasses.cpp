#include "common/corvanel_core/impl/xr_searchpasses.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "common/misc/xr_unicodeutil.h"

namespace xr_search {

namespace {

// A corner value truncated to an int, saturated at the int range.
int corner(double v)
{
    return xr_trunc_coord(v);
}

XrRectangle sorted(int l, int t, int r, int b)
{
    return XrRectangle(std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b));
}

} // namespace

int pass_rectangles(int x, int y, long long r, bool first, XrRectangle out[4])
{
    const double cx = x, cy = y, rr = static_cast<double>(r);
    const int left = corner(cx - rr), top = corner(cy - rr);
    const int right = corner(cx + rr + 1), bottom = corner(cy + rr + 1);
    if (first) {
        out[0] = sorted(left, top, right, bottom);
        return 1;
    }
    const double q = rr * INNER_SQUARE;
    const int il = corner(cx - q), it = corner(cy - q), ir = corner(cx + q), ib = corner(cy + q);
    out[0] = sorted(left, top, right, it);    // top band
    out[1] = sorted(left, ib, right, bottom); // bottom band
    out[2] = sorted(left, it, il, ib);        // left band
    out[3] = sorted(ir, it, right, ib);       // right band
    return 4;
}

void XrFoldedWords::split(const TCHAR* text, bool with_tags)
{
    chars.clear();
    starts.clear();
    lengths.clear();
    if (text == nullptr)
        return;
    const XrUnicodeUtil* uu = XrUnicodeUtil::get_instance();
    int start = 0;
    auto end_word = [&]() {
        const int len = static_cast<int>(chars.size()) - start;
        if (len > 0) {
            chars.push_back(0);
            starts.push_back(start);
            lengths.push_back(len);
        }
        start = static_cast<int>(chars.size());
    };
    bool in_tag = false;
    for (const TCHAR* p = text; *p != 0; ++p) {
        const TCHAR c = *p;
        if (with_tags) {
            if (in_tag) {
                if (c == L'>')
                    in_tag = false;
                continue;
            }
            if (c == L'\t')
                break;
            if (c == L'<') {
                in_tag = true;
                continue;
            }
        }
        if (c == L' ') {
            end_word();
            continue;
        }
        const TCHAR f = uu->fold_char(static_cast<TCHAR>(static_cast<unsigned int>(c) & 0xFFFF));
        if (f != 0)
            chars.push_back(f);
    }
    end_word();
}

bool XrFoldedWords::has_prefix(const TCHAR* w, int len) const
{
    for (size_t i = 0; i < starts.size(); ++i)
        if (lengths[i] >= len && std::wmemcmp(chars.data() + starts[i], w, static_cast<size_t>(len)) == 0)
            return true;
    return false;
}

} // namespace xr_search
