// A map provider stand-in for the providers that keep per-map data: a
// projection and a map with a "poi" layer, registered as "XrMapProvider".
#pragma once

#include <memory>
#include <vector>

#include "common/corvanel_core/interfaces/xr_maplayerparts.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/db/xr_aggregategeomstorage.h"
#include "common/geometry/xr_projection.h"
#include "common/map/xr_geomlayer.h"
#include "common/map/xr_map.h"

class FakeMapProvider : public XrMapProvider {
public:
    FakeMapProvider()
    {
        poi = new XrGeomLayer(&map, nullptr, false);
        map.add_layer(poi, XrString(L"poi"));
        XrSingleton::set_instance(XrString(L"XrMapProvider"), static_cast<XrMapProvider*>(this));
    }
    ~FakeMapProvider() override { XrSingleton::set_instance(XrString(L"XrMapProvider"), nullptr); }

    XrProjection* get_projection() override { return projection.get(); }
    XrProjection* find_projection() override { return projection.get(); }
    XrLayer* get_poi_layer() override { return poi; }
    XrMap* get_map() override { return &map; }
    XrMapOverlayLayer* get_overlay_layer() override { return overlay; }

    void open() { notify_listeners(&XrMapListener::map_initialized); }
    void close() { notify_listeners(&XrMapListener::map_closing); }

    // The records of the POI layer's storage: (type, id, x, y, text).
    struct Record {
        int type;
        int id;
        int x;
        int y;
        XrString text;
    };
    std::vector<Record> records()
    {
        std::vector<Record> out;
        std::unique_ptr<XrGeomCursor> cursor(poi->get_storage()->get_cursor(nullptr, 0));
        if (!cursor)
            return out;
        const BYTE* data = nullptr;
        XrGeomStorage::XrRecordType kind;
        while (cursor->get_next_record(data, kind) == XrGeomCursor::OK) {
            Record r{};
            short type = 0, aux = 0;
            const TCHAR* text = nullptr;
            const BYTE* attributes = nullptr;
            if (cursor->get_txt(data, r.id, r.x, r.y, type, aux, text, attributes, 0, nullptr)) {
                r.type = type;
                r.text = text;
                out.push_back(r);
            }
        }
        return out;
    }

    std::unique_ptr<XrProjection> projection{create_projection(XrString(L"simple://100000,0,0"))};
    XrMap map;
    XrGeomLayer* poi;
    XrMapOverlayLayer* overlay = nullptr; // not owned
};
