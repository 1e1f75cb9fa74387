#include "common/corvanel_core/impl/xr_roadblocksproviderimpl.h"

#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/db/xr_aggregategeomstorage.h"
#include "common/db/xr_memorygeomstorage.h"
#include "common/graph/xr_dynpenaltymanager.h"
#include "common/misc/xr_path_resolver.h"

namespace {

XrProjection* projection()
{
    XrMapProvider* maps = xr_map_provider();
    return maps != nullptr ? maps->get_projection() : nullptr;
}

} // namespace

XrRoadblocksProviderImpl::XrRoadblocksProviderImpl()
{
    if (XrMapProvider* maps = xr_map_provider())
        maps->add_listener(this);
}

XrRoadblocksProviderImpl::~XrRoadblocksProviderImpl()
{
    if (XrMapProvider* maps = xr_map_provider())
        maps->remove_listener(this);
}

void XrRoadblocksProviderImpl::get_roadblocks(XrSimpleArray<XrRoadblock>& out)
{
    out.remove_all();
    if (!penalty_manager)
        return;
    const int count = penalty_manager->get_count();
    for (int i = 0; i < count; ++i) {
        XrRoadblock r;
        if (get_roadblock(i, r))
            out.append(r);
    }
}

bool XrRoadblocksProviderImpl::get_roadblock(int index, XrRoadblock& out)
{
    XrPoint p;
    if (!penalty_manager || penalty_manager->get_point(index, p) != XrDynPenaltyManager::Ok)
        return false;
    out = XrRoadblock(XrCoordinate(p, projection()));
    out.set_id(index);
    return true;
}

bool XrRoadblocksProviderImpl::add_roadblock(XrRoadblock& roadblock)
{
    if (!penalty_manager)
        return false;
    const XrPoint p = roadblock.get_coordinate().to_point(projection());
    const int count = penalty_manager->get_count();
    roadblock.set_id(count < 0 ? 0 : count);
    penalty_manager->add_point(p);
    return refresh_save_notify();
}

bool XrRoadblocksProviderImpl::remove_roadblock(const XrRoadblock& roadblock)
{
    // By index: a coordinate round trip could miss the stored point.
    if (!penalty_manager || roadblock.get_id() < 0 ||
        penalty_manager->remove_point(roadblock.get_id()) != XrDynPenaltyManager::Ok)
        return false;
    return refresh_save_notify();
}

bool XrRoadblocksProviderImpl::remove_all_roadblocks()
{
    if (!penalty_manager)
        return false;
    const XrDynPenaltyManager::Status s = penalty_manager->remove_all();
    XR_ASSERT_MSG(s == XrDynPenaltyManager::Ok, "status == XrDynPenaltyManager::Ok");
    return refresh_save_notify();
}

void XrRoadblocksProviderImpl::collect_blocked_edges(XrSimpleArray<XrGid>& out, XrGeomStorage* roads, int radius)
{
    if (penalty_manager)
        penalty_manager->collect_blocked_edges(out, roads, radius);
}

bool XrRoadblocksProviderImpl::is_roadblock_on_edge(const XrGid& edge, XrGeomStorage* roads)
{
    return penalty_manager && penalty_manager->is_roadblock_on_edge(edge, roads) == XrDynPenaltyManager::OnEdge;
}

bool XrRoadblocksProviderImpl::refresh_save_notify()
{
    if (roadblock_storage != nullptr)
        penalty_manager->rebuild_storage(roadblock_storage);
    const bool written = penalty_manager->save();
    notify_listeners(&XrRoadblocksListener::roadblocks_changed);
    return written;
}

void XrRoadblocksProviderImpl::map_initialized()
{
    XR_ASSERT_MSG(!penalty_manager, "!penalty_manager");
    penalty_manager = std::make_unique<XrDynPenaltyManager>(XrPathResolver::resolve(file_path));
    if (XrAggregateGeomStorage* poi = xr_poi_layer_storage()) {
        roadblock_storage = new XrMemoryGeomStorage();
        penalty_manager->rebuild_storage(roadblock_storage);
        poi->add_storage(roadblock_storage);
    }
}

void XrRoadblocksProviderImpl::map_closing()
{
    roadblock_storage = nullptr; // the POI layer's storage keeps it
    penalty_manager.reset();
}
