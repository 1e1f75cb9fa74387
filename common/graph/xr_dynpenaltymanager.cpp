#include "common/graph/xr_dynpenaltymanager.h"

#include <memory>

#include "common/addr/xr_streetfinder.h"
#include "common/container/xr_bytearray.h"
#include "common/container/xr_bytes.h"
#include "common/db/xr_datasource.h"
#include "common/db/xr_geomstorage.h"
#include "common/graph/xr_blkslayout.h"
#include "common/misc/xr_path_resolver.h"

XrDynPenaltyManager::XrDynPenaltyManager(const XrString& path) : path(path) {}

bool XrDynPenaltyManager::parse(const unsigned char* data, int size, XrArray<XrPoint>& out)
{
    XrByteCursor cursor(data, size > 0 ? static_cast<std::size_t>(size) : 0);
    while (!cursor.at_end()) {
        if (!cursor.has(xr_blks::RECORD_SIZE))
            return false;
        XrByteCursor record = cursor.sub(xr_blks::RECORD_SIZE);
        if (record.at(xr_blks::KIND_OFFSET, 1)[0] != xr_blks::KIND_POINT)
            return false;
        const int x = static_cast<int>(record.u32_le_at(xr_blks::X_OFFSET));
        const int y = static_cast<int>(record.u32_le_at(xr_blks::Y_OFFSET));
        out.append(XrPoint(x, y));
    }
    return true;
}

bool XrDynPenaltyManager::load()
{
    if (loaded)
        return !load_failed;
    loaded = true;
    points.remove_all();
    damaged = false;
    if (get_file_size(path) < 0)
        return true; // no file: no roadblocks
    BYTE* raw = nullptr;
    int size = 0;
    if (!read_whole_file(path, &raw, &size, MAX_FILE_SIZE)) {
        load_failed = true;
        return false;
    }
    std::unique_ptr<BYTE[]> data(raw);
    damaged = !parse(data.get(), size, points);
    return true;
}

int XrDynPenaltyManager::get_count()
{
    return load() ? points.get_num_items() : -1;
}

XrDynPenaltyManager::Status XrDynPenaltyManager::get_point(int index, XrPoint& out)
{
    if (!load() || index < 0 || index >= points.get_num_items())
        return PastEnd;
    out = *points.get_item_ptr(index);
    return Ok;
}

XrDynPenaltyManager::Status XrDynPenaltyManager::add_point(const XrPoint& point)
{
    load();
    load_failed = false; // the list is ours from now on
    points.append(point);
    return Ok;
}

XrDynPenaltyManager::Status XrDynPenaltyManager::remove_point(int index)
{
    if (!load() || index < 0 || index >= points.get_num_items())
        return PastEnd;
    points.remove_item(index);
    return Ok;
}

XrDynPenaltyManager::Status XrDynPenaltyManager::remove_all()
{
    loaded = true;
    load_failed = false;
    points.remove_all();
    return Ok;
}

bool XrDynPenaltyManager::save()
{
    XrByteWriter w;
    for (int i = 0; i < points.get_num_items(); ++i) {
        const XrPoint& p = *points.get_item_ptr(i);
        const std::size_t start = w.size();
        w.zeros(xr_blks::RECORD_SIZE);
        BYTE* r = w.bytes().data() + start;
        r[xr_blks::KIND_OFFSET] = xr_blks::KIND_POINT;
        xr_bytes::put_u32_le(r + xr_blks::X_OFFSET, static_cast<std::uint32_t>(p.x));
        xr_bytes::put_u32_le(r + xr_blks::Y_OFFSET, static_cast<std::uint32_t>(p.y));
    }
    return write_whole_file(path, w.bytes().data(), static_cast<int>(w.size()));
}

void XrDynPenaltyManager::rebuild_storage(XrGeomStorage* storage)
{
    if (storage == nullptr)
        return;
    storage->clear();
    load();
    for (int i = 0; i < points.get_num_items(); ++i) {
        const XrPoint& p = *points.get_item_ptr(i);
        XrTextGeomRec rec(i, p.x, p.y, xr_blks::MAP_RECORD_TYPE, 0, "");
        XrGeomStorage::XrRecordType kind;
        XrByteArray blob(32, 32);
        if (rec.get_blob(kind, blob))
            storage->add_record(kind, blob.get_items(), static_cast<size_t>(blob.get_num_items()));
    }
}

void XrDynPenaltyManager::collect_blocked_edges(XrSimpleArray<XrGid>& out, XrGeomStorage* roads, int radius)
{
    if (roads == nullptr || !load())
        return;
    XrStreetFinder finder(roads);
    for (int i = 0; i < points.get_num_items(); ++i) {
        size_t found = 0;
        if (finder.find_street(*points.get_item_ptr(i), radius, 1, found, nullptr, nullptr, -1, nullptr, -1.0, 0) !=
                XrStreetFinder::OK ||
            found == 0)
            continue;
        XrGid gid = 0;
        bool first_half = false;
        int segment = 0;
        XrPoint nearest;
        double distance = 0;
        if (finder.get_result(0, gid, first_half, segment, nearest, distance))
            out.append(gid);
    }
}

XrDynPenaltyManager::Status XrDynPenaltyManager::is_roadblock_on_edge(const XrGid& edge, XrGeomStorage* roads)
{
    if (!load())
        return NoList;
    XrSimpleArray<XrGid> edges;
    collect_blocked_edges(edges, roads, SNAP_RADIUS);
    for (int i = 0; i < edges.get_count(); ++i) {
        if (edges.get_items()[i] == edge)
            return OnEdge;
    }
    return NotOnEdge;
}
