// Reads of the staged Atlantis map shared by its tests: the projection of
// its mapdata.ini and the records of its road geometry.
#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/container/xr_bytes.h"
#include "common/db/xr_heapgeomstorage.h"
#include "common/geometry/xr_projection.h"
#include "common/storage/xr_storageaccessor.h"

// The map's projection; null when mapdata.ini names none.
inline std::unique_ptr<XrProjection> atlantis_projection(const std::string& map)
{
    std::ifstream ini(map + "/mapdata.ini");
    std::string line, text;
    while (std::getline(ini, line))
        if (line.rfind("projection=", 0) == 0)
            text = line.substr(11);
    return std::unique_ptr<XrProjection>(text.empty() ? nullptr : create_projection(XrString(text.c_str())));
}

// A road geometry record: its gid, id, name reference (its attribute bytes;
// has_reference false without them) and points.
struct XrAtlantisRoad {
    XrGid gid = 0;
    int id = 0;
    bool has_reference = false;
    std::uint32_t name_reference = 0;
    std::vector<XrPoint> points;
};

// The road records in file order; empty when the file cannot be read.
inline std::vector<XrAtlantisRoad> atlantis_roads(const std::string& map)
{
    std::vector<XrAtlantisRoad> roads;
    auto* file = new XrFileStorageAccessor();
    if (!file->open(XrString((map + "/roads.qt").c_str()), true)) {
        delete file;
        return roads;
    }
    XrSimpleGeomStorage storage(file, true, false, nullptr);
    if (storage.open() != 0)
        return roads;
    std::unique_ptr<XrGeomCursor> cur(storage.get_cursor(nullptr, 0));
    const BYTE* rec = nullptr;
    XrGeomStorage::XrRecordType kind;
    while (cur && cur->get_next_record(rec, kind) == XrGeomCursor::OK) {
        XrAtlantisRoad r;
        int x = 0, y = 0;
        short type = 0, aux = 0;
        const BYTE* pts = nullptr;
        const BYTE* attrs = nullptr;
        BYTE coding = 0;
        const int count = cur->get_pp(rec, r.id, x, y, type, aux, pts, coding, attrs);
        if (count < 1 || !cur->get_current_record_geom_id(r.gid))
            return {};
        r.has_reference = attrs != nullptr;
        r.name_reference = attrs != nullptr ? xr_bytes::get_u32_le(attrs) : 0;
        r.points.push_back(XrPoint(x, y));
        for (int k = 1; k < count; ++k) {
            cur->get_pp_next_pt(coding, x, y, pts);
            r.points.push_back(XrPoint(x, y));
        }
        roads.push_back(std::move(r));
    }
    return roads;
}
