#include "common/corvanel_core/impl/xr_routestatefile.h"

#include <vector>

#include "common/corvanel_core/impl/xr_providerutil.h"

namespace xr_route_state {

void fmt_wpt(const XrRouteProvider::XrWaypoint* wpt, XrString& text)
{
    XR_ASSERT_MSG(wpt != nullptr, "wpt");
    if (wpt->used == 0) {
        text = XrString(L"0|");
        return;
    }
    // The numbers fit any buffer; the name is appended without a limit.
    text.format(64, L"1|%d|%d|%d|", wpt->x, wpt->y, static_cast<int>(wpt->gid));
    // Only the two characters that split records are escaped: names
    // without them are written as they always were.
    for (int i = 0; i < wpt->name.length(); ++i) {
        const TCHAR c = wpt->name.char_at(i);
        if (c == L'|' || c == L'\\')
            text += L'\\';
        text += c;
    }
    text += L"|";
}

std::string format(const XrArray<XrRouteProvider::XrWaypoint>& list, int current_index)
{
    std::string out;
    XrString record;
    auto append = [&](int i) {
        fmt_wpt(list.get_item_ptr(i), record);
        for (int k = 0; k < record.length(); ++k)
            out.push_back(static_cast<char>(record.char_at(k) & 0xFF));
    };
    if (list.get_num_items() == 0)
        return out;
    append(0);
    for (int i = current_index > 0 ? current_index : 1; i < list.get_num_items(); ++i)
        append(i);
    return out;
}

namespace {

// Splits at every '|' not behind a '\'; the escapes are removed. A text
// after the last '|' is not a field.
std::vector<XrString> split(const BYTE* data, int size)
{
    std::vector<XrString> fields;
    XrString cur;
    for (int i = 0; i < size; ++i) {
        TCHAR c = static_cast<TCHAR>(data[i]);
        if (c == L'\\' && i + 1 < size) {
            cur += static_cast<TCHAR>(data[++i]);
            continue;
        }
        if (c == L'|') {
            fields.push_back(cur);
            cur = XrString();
            continue;
        }
        cur += c;
    }
    return fields;
}

} // namespace

bool parse(const BYTE* data, int size, XrArray<XrRouteProvider::XrWaypoint>& out)
{
    const std::vector<XrString> fields = split(data, size > 0 ? size : 0);
    std::size_t at = 0;
    while (at < fields.size()) {
        int used = 0;
        if (!xr_userfile::parse_int(xr_userfile::trimmed(fields[at]), used))
            return true; // no further record
        ++at;
        XrRouteProvider::XrWaypoint wp;
        if (used != 0) {
            int values[3];
            for (int& v : values) {
                if (at >= fields.size() || !xr_userfile::parse_int(xr_userfile::trimmed(fields[at]), v))
                    return false;
                ++at;
            }
            if (at >= fields.size())
                return false;
            wp.used = 1;
            wp.x = values[0];
            wp.y = values[1];
            wp.gid = static_cast<XrGid>(values[2]);
            wp.name = xr_userfile::trimmed(fields[at++]);
        } else {
            wp.used = 0;
        }
        out.append(wp);
    }
    return true;
}

} // namespace xr_route_state
