// The POI layer over several member storages (the map's POIs, the user's
// favourites): a picked item is read back through a cursor on the layer's
// own storage, and its note is drawn, whichever member holds it.
#include <gtest/gtest.h>

#include <memory>

#include "common/db/xr_aggregategeomstorage.h"
#include "common/geometry/xr_polygon.h"
#include "common/map/xr_poilayer.h"
#include "map_test_support.h"

using namespace xr_map_test;

namespace {

struct Client : XrPoiLayerClient {
    XrDCHandleRec* dc = nullptr;
    bool has_rects = false;
    void set_note_rects(const XrRectangle* i, const XrRectangle* n) override { has_rects = i != nullptr && n != nullptr; }
    void load_icon_set(XrPoiLayerIconSet& set) override
    {
        if (set.small == nullptr)
            set.small = XrGDI::create_bitmap(dc, 16 * 100, 16);
        if (set.medium == nullptr)
            set.medium = XrGDI::create_bitmap(dc, 24 * 100, 24);
        if (set.large == nullptr)
            set.large = XrGDI::create_bitmap(dc, 32 * 100, 32);
    }
};

struct PoiMembers : ::testing::Test {
    PoiMembers() : view(&map)
    {
        register_fonts();
        dc = xr_recording_dc(800, 480);
        client.dc = dc;
        layer = new XrPoiLayer(&map, nullptr, false);
        pois = new XrMemoryGeomStorage();
        favourites = new XrMemoryGeomStorage();
        layer->get_storage()->add_storage(pois, 0);
        layer->get_storage()->add_storage(favourites, 0);
        layer->set_client(&client);
        XrPoiLayerIconSet builtin;
        builtin.kind = 1;
        builtin.count = 93;
        layer->add_icon_set(builtin, true);
        XrPoiLayerIconSet user;
        user.kind = 2;
        user.first_type = 93;
        user.count = 2;
        layer->add_icon_set(user, false);
        map.add_layer(layer, XrString(L"poi"));
        set_up_view(view);
    }
    ~PoiMembers() override { XrGDI::delete_dc(dc); }

    XrMap map;
    XrMapView view;
    XrPoiLayer* layer;
    XrMemoryGeomStorage* pois;
    XrMemoryGeomStorage* favourites;
    Client client;
    XrDCHandleRec* dc;
};

} // namespace

TEST_F(PoiMembers, PickedItemsOfEveryMemberReadBackThroughTheLayersStorage)
{
    add_text(*pois, 4, at(-40, 0), "Coral Cafe\t\t");
    add_text(*favourites, 94, at(40, 0), "Home");
    add_text(*favourites, 93, at(400, 0), "far away");
    XrPolygon area;
    for (const XrPoint& p : {at(-60, -20), at(60, -20), at(60, 20), at(-60, 20), at(-60, -20)})
        area.add_point(p);
    XrMapItems items;
    ASSERT_TRUE(layer->pick(area, &view, &items));
    ASSERT_EQ(items.get_count(), 2);

    std::unique_ptr<XrGeomCursor> cursor(layer->get_storage()->get_cursor(nullptr, 0));
    ASSERT_NE(cursor, nullptr);
    int types[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const auto* item = dynamic_cast<const XrLayerMapItem*>(items.get_item(i));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->layer, layer);
        XrGeomStorage::XrRecordType kind{};
        const BYTE* record = nullptr;
        ASSERT_EQ(cursor->get_record(item->inner, kind, record), XrGeomCursor::OK) << i;
        int id = 0, x = 0, y = 0;
        short type = 0, aux = 0;
        const TCHAR* text = nullptr;
        const BYTE* attributes = nullptr;
        ASSERT_TRUE(cursor->get_txt(record, id, x, y, type, aux, text, attributes, 0, nullptr));
        types[i] = type;
        // The note of either is drawn from its own member.
        EXPECT_EQ(layer->draw_picked_item(dc, &view, items.get_item(i)), 1) << type;
        EXPECT_TRUE(client.has_rects) << type;
    }
    EXPECT_EQ(types[0] + types[1], 4 + 94);
}
