// What the map engine asks of the providers built on top of it. The
// providers install an implementation; until then (and in tests) the
// default answers hold: text language 0, display scale factor 1.
#pragma once

class XrProjection;

class XrMapEngineServices {
public:
    virtual ~XrMapEngineServices() = default;
    // The language in which map texts are read (the map settings provider's).
    virtual int get_text_language() { return 0; }
    // The display scale factor (above 0).
    virtual double get_scale_factor() { return 1.0; }
    // The map's projection (not owned), for geographic input; null without one.
    virtual const XrProjection* get_projection() { return nullptr; }
    // Asks the main map window for a redraw.
    virtual void request_redraw() {}
    // Whether the route provider has a route.
    virtual bool has_route() { return false; }
    // The map settings' unit system of displayed distances (0 metric, 1
    // yards and miles, 2 feet and miles).
    virtual int get_distance_units() { return 0; }
};

// Installs the services (not owned; null restores the defaults).
void set_map_engine_services(XrMapEngineServices* services);
// The installed services, or the defaults.
XrMapEngineServices& get_map_engine_services();

// Problems met in map data (a record of an unknown kind, a record that
// cannot be decoded): the record is skipped and a warning written to
// standard error (the first few of a run, then only counted).
void xr_map_warning(const char* format, ...) __attribute__((format(printf, 1, 2)));
int xr_map_warning_count();
