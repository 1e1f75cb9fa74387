// Recently used places, newest first, at most 25, in the map folder's
// "?:\mapdata\history.txt". Registered as "XrHistoryProvider".
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_array.h"
#include "common/corvanel_core/interfaces/xr_mappoint.h"

class XrHistoryProvider : public XrSingleton {
public:
    ~XrHistoryProvider() override = default;

    virtual void refresh() = 0;
    // Empties out and copies the list into it, newest first.
    virtual void get_history(XrArray<XrHistoryMapPoint>& out) = 0;
    // Puts the place first (dropping the same place under any name); false
    // when the file could not be written (the new list stays in memory).
    virtual bool add_history_point(const XrHistoryMapPoint& point) = 0;
    // Stores and writes an empty list; false when the file could not be
    // written.
    virtual bool clear_history() = 0;
    // Replaces the list by the file's contents.
    virtual void load() = 0;
};
