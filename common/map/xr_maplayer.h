// Layers of placed objects: kept in the map's second list, drawn after all
// layers in every pass and offered pointer events first.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/container/xr_string.h"

class XrMap;
class XrMapObject;
class XrMapView;
class SSGeoDataSearcher;
struct XrDCHandleRec;

// What the map asks of an entry of its second list.
class XrMapLayerBase {
public:
    virtual ~XrMapLayerBase() = default;
    virtual void draw(XrDCHandleRec* dc, XrMapView* view) = 0;
    // True when the layer took the event.
    virtual bool handle_event(int kind, int x, int y, XrMapView* view) = 0;
    // The map the layer is registered with is being destroyed.
    virtual void map_destroyed() {}
};

// Point objects placed at run time, possibly very many: kept in a point
// index in the temporary folder so that drawing and taps touch only the
// objects in the visible area. The layer owns its objects; the index holds
// their ids.
class XrMapLayer : public XrMapLayerBase {
public:
    // Registers the layer with the map (when given); scale bounds of 0 mean
    // none.
    XrMapLayer(XrMap* map, const XrString& name, int lowest_scale = 0, int highest_scale = 0);
    XrMapLayer(const XrMapLayer&) = delete;
    XrMapLayer& operator=(const XrMapLayer&) = delete;
    // Leaves the map's list and removes the index files.
    ~XrMapLayer() override;

    static XrMapLayer* create(XrMap* map, const XrString& name, int lowest_scale, int highest_scale);

    // Takes ownership of the object; its position is read now. Returns the
    // object's id (above 0), or 0 for a null object.
    int add_object(XrMapObject* object);
    // Deletes the object; false for an unknown id. During a draw or a tap
    // (an object's action may remove it) the deletion waits for its end.
    bool remove_object(int id);
    XrMapObject* get_object(int id) const;
    int get_object_count() const { return static_cast<int>(objects.size()); }
    // Deletes every object; the layer stays registered once.
    void clear();

    void draw(XrDCHandleRec* dc, XrMapView* view) override;
    bool handle_event(int kind, int x, int y, XrMapView* view) override;
    void map_destroyed() override { map = nullptr; }
    bool dispatch_event(int kind, int x, int y, XrMapView* view) { return handle_event(kind, x, y, view); }

    static void request_redraw();

    const XrString& get_name() const { return name; }
    // The index file: the name and a number in the temporary folder.
    const std::string& get_index_file() const { return index_file; }
    // Index rebuilds so far (for tests and diagnostics).
    int get_build_count() const { return build_count; }

private:
    struct Placed {
        std::unique_ptr<XrMapObject> object;
        int x;
        int y;
    };
    template <class F> bool query(XrMapView* view, bool for_drawing, F&& visit);
    // Writes the index of the current objects when they changed; false when
    // there is nothing to search.
    bool ensure_index();
    void drop_index();
    // Deletes what was removed during a draw or a tap once none runs.
    void release_removed();

    XrMap* map;
    XrString name;
    std::string index_file;
    int lowest_scale;
    int highest_scale;
    std::unordered_map<int, Placed> objects;
    // Objects removed while they may still be running.
    std::vector<std::unique_ptr<XrMapObject>> removed;
    int visiting = 0;
    int next_id = 1;
    bool built = true;
    SSGeoDataSearcher* searcher = nullptr;
    int build_count = 0;
};
