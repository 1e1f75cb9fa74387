#include "common/corvanel_core/impl/xr_favouritesproviderimpl.h"

#include <cwchar>
#include <vector>

#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/db/xr_aggregategeomstorage.h"
#include "common/db/xr_memorygeomstorage.h"
#include "common/misc/xr_path_resolver.h"
#include "common/misc/xr_textutil.h"

namespace {

XrString uid_hex(const XrUid& uid)
{
    BYTE bytes[16];
    uid.get(bytes);
    XrString out;
    for (BYTE b : bytes) {
        XrString pair;
        pair.format(3, L"%02x", b);
        out += pair;
    }
    return out;
}

bool hex_uid(const XrString& text, XrUid& out)
{
    if (text.length() != 32)
        return false;
    BYTE bytes[16];
    for (int i = 0; i < 16; ++i) {
        int v = 0;
        for (int k = 0; k < 2; ++k) {
            const TCHAR c = text.char_at(2 * i + k);
            int d = -1;
            if (c >= L'0' && c <= L'9')
                d = c - L'0';
            else if (c >= L'a' && c <= L'f')
                d = c - L'a' + 10;
            else if (c >= L'A' && c <= L'F')
                d = c - L'A' + 10;
            if (d < 0)
                return false;
            v = v * 16 + d;
        }
        bytes[i] = static_cast<BYTE>(v);
    }
    out.set(bytes);
    return true;
}

// Gives every favourite without a uid a new one; true when one was given.
// The position goes into the digest, so names alike still differ.
bool assign_uids(XrArray<XrFavourite>& list)
{
    bool given = false;
    for (int i = 0; i < list.get_num_items(); ++i) {
        XrFavourite& f = *list.get_item_ptr(i);
        if (f.get_uid().is_set())
            continue;
        XrUidGenerator gen;
        gen.add_string(f.get_name());
        gen.add_int(static_cast<int>(get_tick_count_ms()));
        gen.add_int(i);
        XrUid uid;
        gen.get_uid(uid);
        f.set_uid(uid);
        given = true;
    }
    return given;
}

} // namespace

XrFavouritesProviderImpl::XrFavouritesProviderImpl(void* app) : app(app)
{
    if (XrMapProvider* maps = xr_map_provider())
        maps->add_listener(this);
}

XrFavouritesProviderImpl::~XrFavouritesProviderImpl()
{
    if (XrMapProvider* maps = xr_map_provider())
        maps->remove_listener(this);
}

void XrFavouritesProviderImpl::parse_lines(const std::vector<XrString>& lines, XrArray<XrFavourite>& out)
{
    for (const XrString& line : lines) {
        std::vector<XrString> f = xr_userfile::split_fields(line, 5);
        double lat = 0;
        double lon = 0;
        int speed_dial = 0;
        if (f.size() < 3 || !parse_latitude(xr_userfile::trimmed(f[0]), lat) ||
            !parse_longitude(xr_userfile::trimmed(f[1]), lon) ||
            !xr_userfile::parse_int(xr_userfile::trimmed(f[2]), speed_dial))
            continue;
        XrString name = f.size() > 3 ? xr_userfile::unescape(xr_userfile::trimmed(f[3])) : XrString();
        XrFavourite fav(XrCoordinate(lon, lat), out.get_num_items(), name, speed_dial);
        XrUid uid;
        if (f.size() > 4 && hex_uid(xr_userfile::trimmed(f[4]), uid))
            fav.set_uid(uid);
        out.append(fav);
    }
}

void XrFavouritesProviderImpl::get_favourites(XrArray<XrFavourite>& out)
{
    out.remove_all();
    std::vector<XrString> lines;
    if (xr_userfile::read_lines(XrPathResolver::resolve(file_path), lines))
        parse_lines(lines, out);
}

bool XrFavouritesProviderImpl::set_favourites(XrArray<XrFavourite>& list)
{
    assign_uids(list);
    std::vector<XrString> lines;
    for (int i = 0; i < list.get_num_items(); ++i) {
        const XrFavourite& f = *list.get_item_ptr(i);
        XrString line;
        line.format(50, L"%1.10f|%1.10f", f.get_coordinate().get_latitude(), f.get_coordinate().get_longitude());
        XrString rest;
        rest.format(16, L"|%d|", f.get_speed_dial());
        line += rest;
        line += xr_userfile::escape(f.get_name());
        line += L"|";
        line += uid_hex(f.get_uid());
        lines.push_back(line);
    }
    if (!xr_userfile::write_lines(XrPathResolver::resolve(file_path), lines))
        return false;
    rebuild_records(list);
    notify_listeners(&XrFavouritesListener::favourites_changed);
    return true;
}

bool XrFavouritesProviderImpl::add_favourite(const XrFavourite& favourite)
{
    XrArray<XrFavourite> list(8, 0);
    get_favourites(list);
    XrFavourite fresh(favourite.get_coordinate(), list.get_num_items(), favourite.get_name(),
                      favourite.get_speed_dial());
    list.insert_item(fresh, 0);
    return set_favourites(list);
}

bool XrFavouritesProviderImpl::remove_favourite(int favourite_id)
{
    XrArray<XrFavourite> list(8, 0);
    get_favourites(list);
    XR_ASSERT_MSG(favourite_id < list.get_num_items() && favourite_id >= 0,
                  "favourite_id < favourites.items() && favourite_id >= 0");
    list.remove_item(favourite_id);
    return set_favourites(list);
}

void XrFavouritesProviderImpl::rebuild_records(const XrArray<XrFavourite>& list)
{
    if (favourites_storage == nullptr)
        return;
    favourites_storage->clear();
    XrMapProvider* maps = xr_map_provider();
    XrProjection* projection = maps != nullptr ? maps->get_projection() : nullptr;
    for (int i = 0; i < list.get_num_items(); ++i) {
        const XrFavourite& f = *list.get_item_ptr(i);
        XrString label(f.get_name());
        if (f.get_speed_dial() != 0)
            label.format(260, L"%s [%d]", f.get_name().c_str(), f.get_speed_dial());
        xr_add_text_record(favourites_storage, i, f.get_coordinate().to_point(projection), MAP_RECORD_TYPE, label);
    }
}

void XrFavouritesProviderImpl::map_initialized()
{
    favourites_storage = new XrMemoryGeomStorage();
    if (XrAggregateGeomStorage* poi = xr_poi_layer_storage()) {
        poi->add_storage(favourites_storage);
    } else {
        delete favourites_storage; // no POI layer to show them in
        favourites_storage = nullptr;
    }
    XrArray<XrFavourite> list(8, 0);
    get_favourites(list);
    if (assign_uids(list))
        set_favourites(list);
    rebuild_records(list);
}

void XrFavouritesProviderImpl::map_closing()
{
    favourites_storage = nullptr; // the POI layer's storage disposes of it
}
