// The map provider: the one object that opens the map folder and owns what
// is drawn from it (projection, map and layers, address database, geometry
// storages, visual settings, block cache). Registered in the singleton
// registry under "XrMapProvider" as a pointer to this interface. Every
// operation has a "no map" answer here, so stand-ins override only what
// they need.
#pragma once

#include <cstdint>

#include "common/base/xr_singleton.h"
#include "common/container/xr_array.h"
#include "common/container/xr_string.h"
#include "common/db/xr_heapgeomstorage.h"

class XrAddrAccessor;
class XrGeomStorage;
class XrLayer;
class XrMap;
class XrMapOverlayLayer;
class XrProjection;
class XrMapRouteLayer;

// A three-letter language code: first letter in the low byte.
typedef std::uint32_t XrLC;

inline XrLC xr_make_lc(char a, char b, char c)
{
    return static_cast<XrLC>(static_cast<unsigned char>(a)) | (static_cast<XrLC>(static_cast<unsigned char>(b)) << 8) |
           (static_cast<XrLC>(static_cast<unsigned char>(c)) << 16);
}

// Told after a map has been opened and before it is torn down.
class XrMapListener {
public:
    virtual ~XrMapListener() = default;
    virtual void map_initialized() = 0;
    virtual void map_closing() = 0;
};

class XrMapProvider : public XrSingleton, public XrObservable<XrMapListener> {
public:
    ~XrMapProvider() override = default;

    // The open map's projection.
    virtual XrProjection* get_projection() { return nullptr; }
    // The address database reader, or null.
    virtual XrAddrAccessor* get_addr_accessor() { return nullptr; }
    // The country names of the address database in index order; the caller
    // deletes the list. Null without an address database.
    virtual XrArray<XrString>* create_country_list() { return nullptr; }
    // The display name of the active installed map; empty when none.
    virtual XrString get_map_name() { return XrString(); }
    // Switches to installed map index; false when the switch failed (the
    // provider then holds the map it could open, or none).
    virtual bool select_map(int /*index*/) { return false; }
    virtual XrLayer* get_road_layer() { return nullptr; }
    virtual XrLayer* get_sm_layer() { return nullptr; }
    // Null while no map is open or routing made no route layer.
    virtual XrMapRouteLayer* get_route_layer() { return nullptr; }
    // The map's "poi" layer.
    virtual XrLayer* get_poi_layer() { return nullptr; }
    // Null while the map has no overlay layer.
    virtual XrMapOverlayLayer* get_overlay_layer() { return nullptr; }
    virtual XrMap* get_map() { return nullptr; }
    // One ageing tick of the geometry block cache (light: a small one).
    virtual void tick_block_cache(bool /*light*/) {}
    virtual XrStoredGeomStorage::XrBlockCache* get_block_cache() { return nullptr; }
    // Applies a colour theme; true on success.
    virtual bool set_theme(int /*theme*/) { return false; }
    // False when no projection name is held.
    virtual bool get_projection_name(XrString& /*out*/) { return false; }
    // Appends the items of mapdata.ini's "address_filter"; false when the
    // file, its key or the value is missing.
    virtual bool get_address_filter(XrArray<XrString>& /*out*/) { return false; }
    virtual bool are_country_names_included() { return false; }
    virtual XrSimpleGeomStorage* get_pb_storage() { return nullptr; }
    virtual XrSimpleGeomStorage* get_pc_storage() { return nullptr; }
    // The road layer's geometry, given to the route layer.
    virtual XrGeomStorage* get_road_geometry() { return nullptr; }
    // Empties out and copies the map's language codes into it.
    virtual void get_map_languages(XrArray<XrLC>& out) { out.remove_all(); }
    virtual void reload_layer_settings() {}
    // The projection, null while no map is open.
    virtual XrProjection* find_projection() { return nullptr; }
    // Copies the identifier of the open map into out; false (out untouched)
    // when the provider holds none.
    virtual bool get_map_id(XrString& /*out*/) { return false; }

    // The registered provider, or null.
    static XrMapProvider* get_instance();
};
