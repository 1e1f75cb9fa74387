// The user's roadblocks: listed, added and removed, kept in the map folder's
// "?:\mapdata\blks.bin" and shown on the map. Registered as
// "XrRoadblocksProvider"; valid between map_initialized and map_closing.
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_simplearray.h"
#include "common/corvanel_core/interfaces/xr_mappoint.h"
#include "common/db/xr_gid.h"

class XrGeomStorage;

class XrRoadblocksListener {
public:
    virtual void roadblocks_changed() = 0;

protected:
    ~XrRoadblocksListener() = default;
};

class XrRoadblocksProvider : public XrSingleton, public XrObservable<XrRoadblocksListener> {
public:
    ~XrRoadblocksProvider() override = default;

    // Empties out and appends every roadblock (ids 0, 1, ...).
    virtual void get_roadblocks(XrSimpleArray<XrRoadblock>& out) = 0;
    // Adds one; its id becomes its index. False when it could not be stored
    // (the list in memory keeps it).
    virtual bool add_roadblock(XrRoadblock& roadblock) = 0;
    // Removes the roadblock at its id; nothing changes (false) when there
    // is none there.
    virtual bool remove_roadblock(const XrRoadblock& roadblock) = 0;
    virtual bool remove_all_roadblocks() = 0;
    // The road edges blocked, for the route search.
    virtual void collect_blocked_edges(XrSimpleArray<XrGid>& out, XrGeomStorage* roads, int radius) = 0;
    virtual bool is_roadblock_on_edge(const XrGid& edge, XrGeomStorage* roads) = 0;
    virtual bool get_roadblock(int index, XrRoadblock& out) = 0;
};
