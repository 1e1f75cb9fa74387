// The user's favourite places, kept in the map folder's
// "?:\mapdata\favourites.txt" and shown on the map. Registered as
// "XrFavouritesProvider"; listeners are told after every change.
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_array.h"
#include "common/corvanel_core/interfaces/xr_mappoint.h"

class XrFavouritesListener {
public:
    virtual ~XrFavouritesListener() = default;
    virtual void favourites_changed() = 0;
};

class XrFavouritesProvider : public XrSingleton, public XrObservable<XrFavouritesListener> {
public:
    ~XrFavouritesProvider() override = default;

    // Empties out and appends the stored favourites in file order.
    virtual void get_favourites(XrArray<XrFavourite>& out) = 0;
    // Replaces the stored list (favourites without a uid get one, in the
    // caller's list too); false, with nothing changed, when the file cannot
    // be written or a name cannot be stored.
    virtual bool set_favourites(XrArray<XrFavourite>& list) = 0;
    // Puts a new favourite first.
    virtual bool add_favourite(const XrFavourite& favourite) = 0;
    // favourite_id: a position in the stored list.
    virtual bool remove_favourite(int favourite_id) = 0;
};
