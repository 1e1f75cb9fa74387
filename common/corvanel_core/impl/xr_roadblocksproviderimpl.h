// The roadblocks of the open map, through the penalty manager that keeps
// "?:\mapdata\blks.bin", shown as records of type 93 in a storage of their
// own inside the POI layer's storage.
#pragma once

#include <memory>

#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_roadblocksprovider.h"

class XrDynPenaltyManager;
class XrMemoryGeomStorage;

class XrRoadblocksProviderImpl : public XrRoadblocksProvider, public XrMapListener {
public:
    static constexpr const TCHAR* file_path = L"?:\\mapdata\\blks.bin";

    // Listens to the registered map provider.
    XrRoadblocksProviderImpl();
    ~XrRoadblocksProviderImpl() override;

    void get_roadblocks(XrSimpleArray<XrRoadblock>& out) override;
    bool add_roadblock(XrRoadblock& roadblock) override;
    bool remove_roadblock(const XrRoadblock& roadblock) override;
    bool remove_all_roadblocks() override;
    void collect_blocked_edges(XrSimpleArray<XrGid>& out, XrGeomStorage* roads, int radius) override;
    bool is_roadblock_on_edge(const XrGid& edge, XrGeomStorage* roads) override;
    bool get_roadblock(int index, XrRoadblock& out) override;

    void map_initialized() override;
    void map_closing() override;

private:
    // Rebuilds the map records, writes the file, tells the listeners; the
    // write's result.
    bool refresh_save_notify();

    std::unique_ptr<XrDynPenaltyManager> penalty_manager;
    XrMemoryGeomStorage* roadblock_storage = nullptr;
};
