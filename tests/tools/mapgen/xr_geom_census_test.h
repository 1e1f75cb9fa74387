// Test helper: the records of a geometry file counted by record kind and
// type (type & 15).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "common/db/xr_heapgeomstorage.h"
#include "common/storage/xr_storageaccessor.h"

// {kind, type & 15} -> number of records; most_points (when given) gets the
// most points of one record of each key. Empty when the file cannot be read.
inline std::map<std::pair<int, int>, int> xr_geom_census(const std::string& path,
                                                         std::map<std::pair<int, int>, int>* most_points = nullptr)
{
    std::map<std::pair<int, int>, int> census;
    auto* file = new XrFileStorageAccessor();
    if (!file->open(XrString(path.c_str()), true)) {
        delete file;
        return census;
    }
    XrSimpleGeomStorage storage(file, true, false, nullptr);
    if (storage.open() != 0)
        return census;
    std::unique_ptr<XrGeomCursor> cur(storage.get_cursor(nullptr, 0));
    const BYTE* rec = nullptr;
    XrGeomStorage::XrRecordType kind;
    while (cur && cur->get_next_record(rec, kind) == XrGeomCursor::OK) {
        int id = 0, x = 0, y = 0, points = 1;
        short type = 0, aux = 0;
        if (kind == XrGeomStorage::RecText) {
            const TCHAR* text = nullptr;
            const BYTE* attributes = nullptr;
            if (!cur->get_txt(rec, id, x, y, type, aux, text, attributes, 0, nullptr))
                continue;
        } else {
            const BYTE* pts = nullptr;
            const BYTE* attrs = nullptr;
            BYTE coding = 0;
            points = cur->get_pp(rec, id, x, y, type, aux, pts, coding, attrs);
            if (points < 2)
                continue;
        }
        const std::pair<int, int> key{static_cast<int>(kind), type & 15};
        ++census[key];
        if (most_points != nullptr)
            (*most_points)[key] = std::max((*most_points)[key], points);
    }
    return census;
}
