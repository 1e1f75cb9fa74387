// Stand-ins for the searches' tests: a map provider with a POI layer and a
// settlement layer over memory storages, and a POI provider with a fixed
// class list; both registered while they live.
#pragma once

#include <memory>
#include <vector>

#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_poiprovider.h"
#include "common/db/xr_memorygeomstorage.h"
#include "common/map/xr_geomlayer.h"
#include "common/map/xr_map.h"
#include "common/map/xr_poilayer.h"

class SearchMapProvider : public XrMapProvider {
public:
    SearchMapProvider()
    {
        poi = new XrPoiLayer(&map, nullptr, false);
        poi_storage = new XrMemoryGeomStorage();
        poi->get_storage()->add_storage(poi_storage, 0);
        map.add_layer(poi, XrString(L"poi"));
        sm = new XrGeomLayer(&map, nullptr, false);
        sm_storage = new XrMemoryGeomStorage();
        sm->get_storage()->add_storage(sm_storage, 0);
        map.add_layer(sm, XrString(L"sm"));
        XrSingleton::set_instance(XrString(L"XrMapProvider"), static_cast<XrMapProvider*>(this));
    }
    ~SearchMapProvider() override { XrSingleton::set_instance(XrString(L"XrMapProvider"), nullptr); }

    XrLayer* get_poi_layer() override { return poi; }
    XrLayer* get_sm_layer() override { return sm; }
    XrMap* get_map() override { return &map; }

    void add_poi(int x, int y, int type, const wchar_t* text)
    {
        xr_add_text_record(poi_storage, next_id++, XrPoint(x, y), type, XrString(text));
    }
    void add_city(int x, int y, const wchar_t* text)
    {
        xr_add_text_record(sm_storage, next_id++, XrPoint(x, y), 1, XrString(text));
    }

    XrMap map;
    XrPoiLayer* poi;
    XrMemoryGeomStorage* poi_storage;
    XrGeomLayer* sm;
    XrMemoryGeomStorage* sm_storage;
    int next_id = 1;
};

class FixedPoiProvider : public XrPoiProvider {
public:
    FixedPoiProvider() { XrSingleton::set_instance(XrString(L"XrPoiProvider"), static_cast<XrPoiProvider*>(this)); }
    ~FixedPoiProvider() override
    {
        XrSingleton::set_instance(XrString(L"XrPoiProvider"), nullptr);
        for (int i = 0; i < list.get_num_items(); ++i)
            delete *list.get_item_ptr(i);
    }

    void add_class(int id, const wchar_t* name)
    {
        auto* s = new XrStaticPoiSettings();
        s->set_class_id(id);
        s->set_name(XrString(name));
        s->get_small_bm_data().icon_index = id;
        list.append(s);
    }

    bool save_poi_settings(bool) override { return true; }
    void initialize() override {}
    void unload_dynamic_pois() override {}
    XrArray<XrDynPoiFailedResult>* reload_extensions() override { return new XrArray<XrDynPoiFailedResult>(); }
    void reload_bitmaps(XrPoiLayerIconSet&) override {}
    XrArray<XrPoiSettings*>& get_poi_settings() override { return list; }
    void set_visible_poi_classes(const XrArray<int>&) override {}
    bool set_poi_class_proximity_alert(int, const XrDistance&) override { return true; }
    bool set_poi_class_visibility(int, bool) override { return true; }
    void load_poi_bitmaps() override {}
    void release_dynamic_bitmaps() override {}

    XrArray<XrPoiSettings*> list;
};
