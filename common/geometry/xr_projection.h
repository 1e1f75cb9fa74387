// Map projections: conversion between the coordinates of a map's reference
// system (WGS84 degrees or metres of the Finnish KKJ grid) and integer map
// units. One projection per map folder, made from its projection text.
#pragma once

#include "common/container/xr_string.h"

// The simple projection and the base of the others: map units are the
// reference coordinates less the origin, times the scale.
class XrProjection {
public:
    XrProjection(double scale, double x0, double y0) : scale(scale), x0(x0), y0(y0) {}
    virtual ~XrProjection() = default;

    // Reference coordinates to map units (rounded).
    virtual bool to_map(double x, double y, int& mx, int& my) const;
    // Map units to reference coordinates.
    virtual bool from_map(int mx, int my, double& x, double& y) const;
    // A longitude difference in degrees from the central meridian.
    virtual double get_meridian_offset(double longitude) const;

    double get_scale() const { return scale; }
    double get_x0() const { return x0; }
    double get_y0() const { return y0; }

protected:
    double scale; // map units per reference unit
    double x0;
    double y0;
};

// Map units are the reference coordinates rounded.
class XrNullProjection : public XrProjection {
public:
    XrNullProjection() : XrProjection(0, 0, 0) {}
    bool to_map(double x, double y, int& mx, int& my) const override;
    // The identity (the zero scale of this projection is not divided by).
    bool from_map(int mx, int my, double& x, double& y) const override;
};

// KKJ grid metres, scaled and moved by the origin, then taken to the WGS84
// grid by a linear fit (one fit north of northing 7 200 000, one south).
class XrKKJ2WGSProjection : public XrProjection {
public:
    using XrProjection::XrProjection;
    bool to_map(double x, double y, int& mx, int& my) const override;
};

// KKJ grid metres (the zone in the easting's millions) moved into the
// projection's zone, then scaled.
class XrKKJProjection : public XrProjection {
public:
    static constexpr int zone_count = 8;

    // zone: 0..7. zone_prefix: the easting carries the zone in its millions.
    XrKKJProjection(int zone, double scale, double x0, double y0, bool zone_prefix);
    // False (map point 0, 0) when the easting names no zone 0..7.
    bool to_map(double x, double y, int& mx, int& my) const override;

    int get_zone() const { return zone; }
    bool has_zone_prefix() const { return zone_prefix != 0; }

    // Moves a Gauss-Krueger point (easting with the zone in its millions) on
    // the Hayford ellipsoid into the target zone. A point already there comes
    // back unchanged; false for a source or target zone outside 0..7.
    static bool change_zone(double e, double n, int target, double& out_e, double& out_n);

protected:
    int zone;
    unsigned char zone_prefix;
};

// The reverse: map units back to KKJ metres of the projection's zone.
class XrRKKJProjection : public XrKKJProjection {
public:
    using XrKKJProjection::XrKKJProjection;
    bool to_map(double x, double y, int& mx, int& my) const override;
};

// Transverse Mercator on WGS84 (scale factor 1) about a central meridian.
class XrWGS84Projection : public XrProjection {
public:
    XrWGS84Projection(double lon0, double scale, double x0, double y0) : XrProjection(scale, x0, y0), lon0(lon0) {}

    // Longitude and latitude in degrees to map units.
    bool to_map(double lon, double lat, int& mx, int& my) const override;
    bool from_map(int mx, int my, double& lon, double& lat) const override;
    double get_meridian_offset(double longitude) const override;

    double get_central_meridian() const { return lon0; }

private:
    // Easting and northing in metres, before origin and scale.
    void project(double lon, double lat, double& e, double& n) const;
    // Newton refinement of an estimate whose series inverse does not map back.
    void refine(double target_e, double target_n, double& lon, double& lat) const;

    double lon0;
};

// Makes a projection from its text: "simple://" scale, x0, y0; "null://";
// "kkj://" zone, scale, x0, y0; "kkj2wgs://" scale, x0, y0; "rkkj://" zone,
// scale, x0, y0; "wgs84://" lon0, scale, x0, y0 (prefix case ignored, values
// separated by commas). Null for an unknown prefix, a missing or bad value,
// a zero scale or a zone outside 0..7. The caller owns the result.
XrProjection* create_projection(const XrString& text);

// KKJ geodetic degrees (Hayford ellipsoid) to WGS84 degrees through the
// seven-parameter datum shift, at height 0.
void kkj_to_wgs84(double lon, double lat, double& wgs_lon, double& wgs_lat);

// The three steps of kkj_to_wgs84.
void kkj_geodetic_to_geocentric(double lon, double lat, double h, double& x, double& y, double& z);
void kkj_shift_to_wgs84(double x, double y, double z, double& wx, double& wy, double& wz);
void wgs84_geocentric_to_geodetic(double x, double y, double z, double& lon, double& lat, double& h);
