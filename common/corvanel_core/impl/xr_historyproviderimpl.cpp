#include "common/corvanel_core/impl/xr_historyproviderimpl.h"

#include <cmath>

#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_path_resolver.h"

namespace {

void copy_list(const XrArray<XrHistoryMapPoint>& from, XrArray<XrHistoryMapPoint>& to)
{
    to.remove_all();
    for (int i = 0; i < from.get_num_items(); ++i)
        to.append(*from.get_item_ptr(i));
}

} // namespace

void XrHistoryProviderImpl::parse_lines(const std::vector<XrString>& lines, XrArray<XrHistoryMapPoint>& out)
{
    for (const XrString& line : lines) {
        std::vector<XrString> f = xr_userfile::split_fields(line, 3);
        double lat = 0;
        double lon = 0;
        if (f.size() < 3 || !parse_latitude(xr_userfile::trimmed(f[0]), lat) ||
            !parse_longitude(xr_userfile::trimmed(f[1]), lon))
            continue;
        XrString name = f[2];
        name.trim(L" \t\r\n");
        name = xr_userfile::unescape(name);
        if (name.is_empty())
            continue;
        out.append(XrHistoryMapPoint(XrCoordinate(lon, lat), name));
    }
}

void XrHistoryProviderImpl::load()
{
    history.remove_all();
    std::vector<XrString> lines;
    if (xr_userfile::read_lines(XrPathResolver::resolve(file_path), lines))
        parse_lines(lines, history);
    loaded = true;
}

void XrHistoryProviderImpl::ensure_loaded()
{
    if (!loaded)
        load();
}

void XrHistoryProviderImpl::get_history(XrArray<XrHistoryMapPoint>& out)
{
    ensure_loaded();
    copy_list(history, out);
}

bool XrHistoryProviderImpl::add_history_point(const XrHistoryMapPoint& point)
{
    ensure_loaded();
    XrArray<XrHistoryMapPoint> list(MAX_POINTS, 0);
    copy_list(history, list);
    const XrCoordinate& c = point.get_coordinate();
    for (int i = list.get_num_items() - 1; i >= 0; --i) {
        const XrCoordinate& o = list.get_item_ptr(i)->get_coordinate();
        if (std::fabs(o.get_latitude() - c.get_latitude()) <= SAME_PLACE &&
            std::fabs(o.get_longitude() - c.get_longitude()) <= SAME_PLACE)
            list.remove_item(i);
    }
    list.insert_item(point, 0);
    while (list.get_num_items() > MAX_POINTS)
        list.remove_item(list.get_num_items() - 1);
    if (save_history(list))
        return true;
    xr_show_note(R_STR_MEMORY_CARD_WRITE_ERROR);
    return false;
}

bool XrHistoryProviderImpl::clear_history()
{
    XrArray<XrHistoryMapPoint> empty(1, 0);
    return save_history(empty);
}

bool XrHistoryProviderImpl::save_history(const XrArray<XrHistoryMapPoint>& list)
{
    copy_list(list, history);
    loaded = true;
    std::vector<XrString> lines;
    for (int i = 0; i < history.get_num_items(); ++i) {
        const XrHistoryMapPoint& p = *history.get_item_ptr(i);
        XrString line;
        line.format(80, L"%1.16f|%1.16f|", p.get_coordinate().get_latitude(), p.get_coordinate().get_longitude());
        line += xr_userfile::escape(p.get_name());
        lines.push_back(line);
    }
    return xr_userfile::write_lines(XrPathResolver::resolve(file_path), lines);
}
