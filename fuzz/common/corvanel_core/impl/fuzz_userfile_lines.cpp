// The favourites and history readers over arbitrary file bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/corvanel_core/impl/xr_favouritesproviderimpl.h"
#include "common/corvanel_core/impl/xr_historyproviderimpl.h"
#include "common/corvanel_core/impl/xr_providerutil.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 1 << 20)
        return 0;
    std::vector<XrString> lines;
    xr_userfile::split_lines(data, static_cast<int>(size), lines);
    XrArray<XrFavourite> favourites(8, 0);
    XrFavouritesProviderImpl::parse_lines(lines, favourites);
    XrArray<XrHistoryMapPoint> history(8, 0);
    XrHistoryProviderImpl::parse_lines(lines, history);
    for (const XrString& line : lines)
        xr_userfile::unescape(xr_userfile::escape(line));
    return 0;
}
