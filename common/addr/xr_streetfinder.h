// Finds the road edges nearest to a map point: the plain nearest roads, or,
// for a moving vehicle, a heading- and speed-aware match that prefers roads
// running in the direction of travel and, given the previous match, keeps to
// the road just followed (map matching).
//
// Roads are the polyline records of a geometry storage (the road data
// source), named by their geometry ids; the first attribute byte of a record
// holds its one-way bits (0x20: drivable along its points only, 0x40:
// against them only). Points and radii are map units of the road data;
// headings and line directions are whole degrees 0..359 in the frame of
// XrPolygon::get_nearest_point, compared as they are; -1 = no heading.
#pragma once

#include <cstddef>

#include "common/container/xr_array.h"
#include "common/db/xr_gid.h"
#include "common/geometry/xr_point.h"

class XrGeomCursor;
class XrGeomStorage;
class XrEdgeDirections;
class XrPolygon;

class XrStreetFinder {
public:
    enum Status : int {
        OK = 0,
        NOT_FOUND = 1,
    };

    // Default tolerance of the one-way check, in degrees.
    static constexpr int DEFAULT_ANGLE_TOLERANCE = 90;

    // One found road.
    struct InternalResult {
        XrGid gid = 0;
        // Set when the nearest point lies in the first half of the polyline.
        BYTE first_half = 0;
        // The polyline segment that holds the nearest point.
        int segment = 0;
        XrPoint point;
        // Distance along the polyline to the nearest point.
        double along = 0.0;
        // Distance from the query point to the nearest point.
        double distance = 0.0;
    };

    // data_source: not owned; it must outlive the finder.
    explicit XrStreetFinder(XrGeomStorage* data_source);
    ~XrStreetFinder() = default;
    XrStreetFinder(const XrStreetFinder&) = delete;
    XrStreetFinder& operator=(const XrStreetFinder&) = delete;

    void set_angle_tolerance(int degrees) { angle_tolerance = degrees; }
    int get_angle_tolerance() const { return angle_tolerance; }

    // Fills the results with up to max_results roads within about 2 * radius
    // of point (one result in map matching); found = their number.
    // prev_point and prev_gid both given: map matching, with the previous
    // match as in/out state (gid 0 at (0, 0): none). graph null: no driving
    // directions. speed: metres per second, -1.0 = unknown. distance_margin:
    // how much farther than the new road the previous one may lie before the
    // vehicle is taken to have left it (callers without map matching leave it
    // out).
    Status find_street(const XrPoint& point, int radius, size_t max_results, size_t& found, XrPoint* prev_point,
                       XrGid* prev_gid, int heading, XrEdgeDirections* graph, double speed,
                       int distance_margin = 0);

    // Result i of the last search; along (optional) gets the distance along
    // the polyline. False when i is not below the result count.
    bool get_result(int i, XrGid& gid, bool& first_half, int& segment, XrPoint& point, double& distance,
                    double* along = nullptr) const;
    int get_result_count() const { return results.get_num_items(); }

    // The heading penalty of an angle at a speed in whole km/h.
    static int heading_penalty(int angle, int speed_kmh);
    // The angle 0..90 between the undirected line of direction a and the
    // heading h; 0 without a heading.
    static int undirected_angle(int a, int h);
    // Whether two polylines connect: angle at most 39 and an end point of
    // one equal to an end point of the other.
    static bool are_connected(const XrPolygon& a, const XrPolygon& b, int angle);

private:
    struct Candidate : InternalResult {
        double score = 0.0;
    };
    // What a search passes to every candidate collection.
    struct Query {
        int heading = -1;
        XrEdgeDirections* graph = nullptr;
        int speed_kmh = 0;
    };
    // A point matched onto a polyline.
    struct Match {
        XrPoint point;
        double distance = 0.0;
        double along = 0.0;
        int segment = 0;
        int direction = 0;
    };

    // The best max_results candidates around point, in score order; with a
    // graph, a pass with a heading that finds nothing is repeated without.
    void collect(const XrPoint& point, int radius, size_t max_results, const Query& query,
                 XrArray<Candidate>& out);
    void collect_pass(const XrPoint& point, int radius, size_t max_results, int heading, const Query& query,
                      XrArray<Candidate>& out);
    // The score penalty of a road for the heading; false when the road is
    // refused.
    bool rate(const XrPolygon& line, XrGid gid, BYTE attributes, const Match& m, int heading, const Query& query,
              int& penalty) const;
    bool best_single(const XrPoint& point, int radius, const Query& query, Candidate& out);
    // The polyline of a road by its gid.
    bool read_road(XrGid gid, XrPolygon& line);
    static bool match(const XrPolygon& line, const XrPoint& p, Match& out);
    static bool is_first_half(const XrPolygon& line, double along);
    // Map matching; false when no road is near the point.
    bool map_match(const XrPoint& point, int radius, XrPoint& prev_point, XrGid& prev_gid, const Query& query,
                   double speed, int distance_margin, InternalResult& out);

    XrGeomStorage* data_source;
    int angle_tolerance = DEFAULT_ANGLE_TOLERANCE;
    XrArray<InternalResult> results;
};
