#include "tools/mapgen/graph_writer.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <cmath>
#include <map>
#include <unordered_map>
#include <memory>
#include <span>

#include <zlib.h>

#include "common/container/xr_bytearray.h"
#include "common/container/xr_bytes.h"
#include "common/db/xr_datasource.h"
#include "common/db/xr_heapgeomstorage.h"
#include "common/db/xr_simplegeomstorage.h"
#include "common/geometry/xr_polygon.h"
#include "common/graph/xr_graphaccessor.h"
#include "common/graph/xr_graphlayout.h"
#include "common/storage/xr_storageaccessor.h"
#include "tools/mapgen/geom_tree.h"
#include "tools/mapgen/parallel.h"
#include "tools/mapgen/xrqt_writer.h"
#include "tools/mapgen/zlib_stream.h"

namespace {
using namespace xr_graph;

constexpr int S24_MIN = -0x800000;
constexpr int S24_MAX = 0x7FFFFF;
constexpr int MAX_TREE_DEPTH = 40;
constexpr std::uint32_t MAX_RECORD_ID = 0x20000000; // ids are signed 30-bit numbers
// The largest road geometry bucket: record places within it are 15-bit.
constexpr int LARGEST_GEOMETRY_BUCKET = 30 * 1024;
// Turns sharper than this (degrees off straight on) are reversals: turn
// class 3, which the search charges like a barred manoeuvre. A merely sharp
// turn is class 2: charged as a reversal it would send shortest routes on
// detours of kilometres.
constexpr double REVERSAL_DEGREES = 165;

std::string edge_error(int i, const char* what)
{
    return "edge " + std::to_string(i) + ": " + what;
}

int decoded_type(const XrNetworkEdge& e)
{
    if (e.road_type == 7 && e.speed_class != 6 && e.speed_class != 7)
        return ROAD_TYPE_8;
    return e.road_type;
}

struct Conn {
    int target = 0;
    int turn = 0; // turn byte
    bool wrong_way = false;
};

struct Placement {
    int leaf = -1;
    int sub = 0; // 0 main level, 1..4 quadrant + 1
    int number = 0;
};

// A node of the tile tree while it is built.
struct TreeNode {
    bool leaf = false;
    XrPoint centre;
    int children[4] = {-1, -1, -1, -1};
    std::vector<int> edges;
    int number = 0; // inner node number or leaf index
};

struct Leaf {
    XrPoint origin;
    std::vector<int> tiles[TILES_PER_LEAF];
    bool flag = false;
    int multiplier = 1;
    bool wide = false;
};

class GraphBuilder {
public:
    GraphBuilder(const XrNetwork& net, const XrGraphWriterOptions& opt, XrGraphWriterResult& result,
                 std::string& error)
        : net(net), opt(opt), result(result), error(error)
    {
    }

    bool run(std::vector<BYTE>& geometry, std::vector<BYTE>& out)
    {
        return check() && build_geometry(geometry) && connect() && build_tree() && encode(out);
    }

private:
    bool check()
    {
        if (opt.max_tile_edges < 1 || opt.max_tile_edges > MAX_TILE_EDGES) {
            error = "max_tile_edges must lie in 1..2048";
            return false;
        }
        if (opt.coord_bits != 0 && opt.coord_bits != 8 && opt.coord_bits != 12) {
            error = "coord_bits must be 0, 8 or 12";
            return false;
        }
        if (net.edges.empty()) {
            error = "the network has no edges";
            return false;
        }
        for (size_t i = 0; i < net.edges.size(); ++i) {
            const XrNetworkEdge& e = net.edges[i];
            if (e.points.size() < 2)
                return fail(edge_error(static_cast<int>(i), "fewer than two points"));
            if (e.category < 0 || e.category > 7 || e.road_type < 0 || e.road_type > 7 || e.speed_class < 0 ||
                e.speed_class > 7 || e.oneway < 0 || e.oneway > 2)
                return fail(edge_error(static_cast<int>(i), "category, road type, speed class or one-way out of range"));
            for (const XrPoint& p : e.points)
                if (p.x < S24_MIN || p.x > S24_MAX || p.y < S24_MIN || p.y > S24_MAX)
                    return fail(edge_error(static_cast<int>(i), "point outside the signed 24-bit range"));
        }
        return true;
    }

    bool fail(const std::string& text)
    {
        error = text;
        return false;
    }

    // The geometry file first: the gids are the records' places in it.
    // With name references each record carries its own gid as its id and
    // (named roads) in its attribute bytes; the ids and attribute bytes keep
    // their sizes, so setting them once the records are laid out leaves the
    // places as they are.
    bool build_geometry(std::vector<BYTE>& bytes)
    {
        make_records();
        XrGeomFileOptions gopt;
        gopt.kind = 2;
        gopt.name = "roads";
        gopt.bucket_bytes = opt.geometry_bucket_bytes;
        gopt.zlib_level = opt.zlib_level == Z_DEFAULT_COMPRESSION ? 9 : opt.zlib_level;
        if (opt.name_references) {
            gopt.attr_count = NAME_REFERENCE_BYTES;
            gopt.share_first_points = false;
        }
        bool ids_too_large = false;
        auto rekey = [&](const std::vector<XrGid>& gids, std::string& err) {
            for (size_t i = 0; i < gids.size(); ++i) {
                if ((gids[i] & 0xFFFF) >= 0x8000) {
                    err = "a road geometry bucket is too large for 15-bit gid offsets";
                    return false;
                }
                if (opt.name_references && gids[i] >= MAX_RECORD_ID) {
                    ids_too_large = true;
                    err = "a road gid does not fit a record id";
                    return false;
                }
            }
            result.gids = gids;
            if (opt.name_references)
                set_ids(true);
            return true;
        };
        // A gid is its bucket's number and the record's place in it: a large
        // region needs fewer, larger buckets for its gids to fit record ids.
        for (;;) {
            ids_too_large = false;
            if (build_xrqt(recs, gopt, bytes, error, rekey))
                break;
            if (!ids_too_large || gopt.bucket_bytes >= LARGEST_GEOMETRY_BUCKET)
                return false;
            gopt.bucket_bytes = std::min(gopt.bucket_bytes * 2, LARGEST_GEOMETRY_BUCKET);
        }
        // The records are not needed again: their memory goes to what follows.
        recs = std::vector<XrGeomRec*>();
        records = std::deque<XrPolypointGeomRec>();
        return read_back(bytes);
    }

    // One record per edge, in edge order, numbered from 1; the type holds
    // the category and the one-way bits (XR_ROAD_ONEWAY_*).
    void make_records()
    {
        records.clear();
        recs.clear();
        recs.reserve(net.edges.size());
        for (const XrNetworkEdge& e : net.edges) {
            const int aux = e.oneway == 1 ? XR_ROAD_ONEWAY_FORWARD : e.oneway == 2 ? XR_ROAD_ONEWAY_BACKWARD : 0;
            records.emplace_back(false, 0, static_cast<unsigned short>(e.category | aux));
            XrPolypointGeomRec& r = records.back();
            for (const XrPoint& p : e.points)
                r.add_point(p);
        }
        for (XrPolypointGeomRec& r : records)
            recs.push_back(&r);
        set_ids(false);
    }

    // Ids and attribute bytes: numbers from 1 (and no name references), or
    // each record's own gid (keyed).
    void set_ids(bool keyed)
    {
        for (size_t i = 0; i < net.edges.size(); ++i) {
            XrPolypointGeomRec& r = records[i];
            r.id = keyed ? static_cast<int>(result.gids[i]) : static_cast<int>(i + 1);
            if (opt.name_references) {
                const std::uint32_t ref = keyed && net.edges[i].named ? result.gids[i] : 0;
                const BYTE bytes[NAME_REFERENCE_BYTES] = {static_cast<BYTE>(ref), static_cast<BYTE>(ref >> 8),
                                                          static_cast<BYTE>(ref >> 16), static_cast<BYTE>(ref >> 24)};
                r.set_attributes(bytes, NAME_REFERENCE_BYTES);
            }
        }
    }

    // Reads the road geometry file back as the map will (its points are
    // those of the half-unit coding): every record where it was laid out,
    // with its own id, and keyed records at least ROAD_RECORD_MIN_BYTES
    // apart. The polylines and their midpoints are kept. The geometry
    // readers share one working buffer in the process, so no other thread
    // may read geometry meanwhile.
    bool read_back(std::vector<BYTE>& bytes)
    {
        const size_t n = net.edges.size();
        lines.assign(n, std::vector<XrPoint>());
        XrSimpleGeomStorage storage(
            new XrMemoryStorageAccessor(true, bytes.data(), static_cast<std::uint32_t>(bytes.size()), false), true,
            false, nullptr);
        if (storage.open() != 0)
            return fail("cannot open the road geometry file");
        std::unique_ptr<XrGeomCursor> cur(storage.get_cursor(nullptr, 0));
        if (!cur)
            return fail("cannot walk the road geometry file");
        std::unordered_map<XrGid, size_t> edge_at;
        edge_at.reserve(n);
        for (size_t i = 0; i < n; ++i)
            edge_at.emplace(result.gids[i], i);
        const BYTE* rec = nullptr;
        XrGeomStorage::XrRecordType kind;
        size_t count = 0;
        XrGid prev = 0;
        while (cur->get_next_record(rec, kind) == XrGeomCursor::OK) {
            int id = 0, x = 0, y = 0;
            short type = 0, aux = 0;
            const BYTE* pts = nullptr;
            const BYTE* attrs = nullptr;
            BYTE coding = 0;
            const int points = cur->get_pp(rec, id, x, y, type, aux, pts, coding, attrs);
            XrGid gid = 0;
            if (points < 1 || !cur->get_current_record_geom_id(gid))
                return fail("the road geometry file does not read back");
            auto at = edge_at.find(gid);
            if (at == edge_at.end() || lines[at->second].size() != 0 ||
                id != (opt.name_references ? static_cast<int>(gid) : static_cast<int>(at->second + 1)))
                return fail("the road geometry file moved its records");
            if (opt.name_references && count > 0 && (gid >> 16) == (prev >> 16) &&
                (gid & 0xFFFF) - (prev & 0xFFFF) < ROAD_RECORD_MIN_BYTES)
                return fail("two road records lie too close for the address database");
            prev = gid;
            ++count;
            std::vector<XrPoint>& line = lines[at->second];
            line.reserve(static_cast<size_t>(points));
            line.emplace_back(x, y);
            for (int k = 1; k < points; ++k) {
                cur->get_pp_next_pt(coding, x, y, pts);
                line.emplace_back(x, y);
            }
        }
        for (size_t i = 0; i < n; ++i) {
            if (lines[i].size() < 2)
                return fail(edge_error(static_cast<int>(i), "lost in the road geometry file"));
        }
        // The midpoints as the map finds them, on all cores.
        mids.resize(n);
        std::vector<char> found(n, 0);
        xr_parallel_for(n, n * 64, [&](size_t i) {
            XrPolygon poly(true);
            for (const XrPoint& p : lines[i])
                poly.add_point(p);
            found[i] = XrGraphAccessor2::get_midpoint(poly, mids[i]);
        });
        for (size_t i = 0; i < n; ++i)
            if (!found[i])
                return fail(edge_error(static_cast<int>(i), "no midpoint"));
        return true;
    }

    static double heading(const XrPoint& a, const XrPoint& b)
    {
        return std::atan2(static_cast<double>(b.y) - a.y, static_cast<double>(b.x) - a.x);
    }

    // Leaving edge e at its end (dir 1) or start (dir 0); entering f forwards
    // (dir 1) or backwards.
    double turn_angle(int e, int edir, int f, int fdir) const
    {
        const double h1 = edir ? heading_out[e] : heading_back[e];
        const double h2 = fdir ? heading_in[f] : heading_in_back[f];
        double d = (h2 - h1) * 180.0 / M_PI;
        while (d > 180)
            d -= 360;
        while (d <= -180)
            d += 360;
        return d; // positive: to the left (y grows northwards)
    }

    bool connect()
    {
        const size_t n = net.edges.size();
        // The headings at both ends of every edge, each way.
        heading_out.resize(n);
        heading_back.resize(n);
        heading_in.resize(n);
        heading_in_back.resize(n);
        for (size_t i = 0; i < n; ++i) {
            const std::vector<XrPoint>& a = lines[i];
            heading_out[i] = heading(a[a.size() - 2], a.back());
            heading_back[i] = heading(a[1], a[0]);
            heading_in[i] = heading(a[0], a[1]);
            heading_in_back[i] = heading(a.back(), a[a.size() - 2]);
        }
        // Node numbers in the order of first use (edge i's start is use 2i,
        // its end 2i + 1): the ends sorted by point, each point numbered by
        // its first use.
        std::vector<int> start(n), end(n);
        size_t nodes = 0;
        {
            struct Use {
                std::uint64_t key;
                std::uint32_t use;
            };
            std::vector<Use> uses(2 * n);
            auto key_of = [](const XrPoint& p) {
                return static_cast<std::uint64_t>(static_cast<std::uint32_t>(p.x)) << 32 |
                       static_cast<std::uint32_t>(p.y);
            };
            for (size_t i = 0; i < n; ++i) {
                uses[2 * i] = Use{key_of(lines[i].front()), static_cast<std::uint32_t>(2 * i)};
                uses[2 * i + 1] = Use{key_of(lines[i].back()), static_cast<std::uint32_t>(2 * i + 1)};
            }
            std::sort(uses.begin(), uses.end(),
                      [](const Use& a, const Use& b) { return a.key < b.key || (a.key == b.key && a.use < b.use); });
            // Each point's first use, and the uses of its group.
            std::vector<std::uint32_t> first_use;
            std::vector<std::uint32_t> group_of(2 * n);
            for (size_t k = 0; k < uses.size(); ++k) {
                if (k == 0 || uses[k].key != uses[k - 1].key)
                    first_use.push_back(uses[k].use);
                group_of[uses[k].use] = static_cast<std::uint32_t>(first_use.size() - 1);
            }
            std::vector<Use>().swap(uses);
            std::vector<std::uint32_t> order(first_use.size());
            for (size_t g = 0; g < order.size(); ++g)
                order[g] = static_cast<std::uint32_t>(g);
            std::sort(order.begin(), order.end(),
                      [&](std::uint32_t a, std::uint32_t b) { return first_use[a] < first_use[b]; });
            std::vector<int> number(order.size());
            for (size_t r = 0; r < order.size(); ++r)
                number[order[r]] = static_cast<int>(r);
            for (size_t i = 0; i < n; ++i) {
                start[i] = number[group_of[2 * i]];
                end[i] = number[group_of[2 * i + 1]];
            }
            nodes = number.size();
        }
        // The edges at each node, in edge order: incident[first[k] .. first[k + 1]).
        std::vector<int> first(nodes + 1, 0);
        for (size_t i = 0; i < n; ++i) {
            ++first[start[i] + 1];
            if (end[i] != start[i])
                ++first[end[i] + 1];
        }
        for (size_t k = 1; k < first.size(); ++k)
            first[k] += first[k - 1];
        std::vector<int> incident(static_cast<size_t>(first.back()));
        {
            std::vector<int> fill(first.begin(), first.end() - 1);
            for (size_t i = 0; i < n; ++i) {
                incident[fill[start[i]]++] = static_cast<int>(i);
                if (end[i] != start[i])
                    incident[fill[end[i]]++] = static_cast<int>(i);
            }
        }
        std::map<std::pair<int, int>, const XrNetworkTurn*> given;
        for (const XrNetworkTurn& t : net.turns)
            given[{t.from, t.to}] = &t;
        // Every exit of every edge end, counted first so that the list is
        // made at its size.
        size_t total = 0;
        for (size_t ei = 0; ei < n; ++ei)
            for (const int node : {start[ei], end[ei]})
                for (int k = first[node]; k < first[node + 1]; ++k) {
                    const int f = incident[k];
                    if (f != static_cast<int>(ei))
                        total += (start[f] == node) + (end[f] == node);
                }
        conns.clear();
        conns.reserve(total);
        conn_first.assign(n + 1, 0);
        std::vector<std::pair<int, int>> exits;
        for (size_t ei = 0; ei < n; ++ei) {
            const int e = static_cast<int>(ei);
            // The legal end first: a one-way edge's first plain connection tells its direction.
            const int first_dir = net.edges[ei].oneway == 2 ? 0 : 1;
            for (int pass = 0; pass < 2; ++pass) {
                const int edir = pass == 0 ? first_dir : 1 - first_dir;
                const int node = edir ? end[e] : start[e];
                // Exits of e at this end: (edge, direction it is travelled).
                exits.clear();
                for (int k = first[node]; k < first[node + 1]; ++k) {
                    const int f = incident[k];
                    if (f == e)
                        continue;
                    if (start[f] == node)
                        exits.push_back({f, 1});
                    if (end[f] == node)
                        exits.push_back({f, 0});
                }
                int usable = 0;
                for (auto& x : exits)
                    if (!wrong_way(x.first, x.second))
                        ++usable;
                for (auto& x : exits) {
                    const int f = x.first, fdir = x.second;
                    const double a = turn_angle(e, edir, f, fdir);
                    const double m = std::fabs(a);
                    int cls = m <= 20 ? 0 : m <= 60 ? 1 : m <= REVERSAL_DEGREES ? 2 : 3;
                    const bool right = a < 0;
                    const int te = decoded_type(net.edges[e]), tf = decoded_type(net.edges[f]);
                    int kind = 0;
                    if ((te == ROAD_ROUNDABOUT) != (tf == ROAD_ROUNDABOUT))
                        kind = 4;
                    else if ((te == ROAD_MOTORWAY || te == ROAD_TYPE_8) && tf != ROAD_MOTORWAY && tf != ROAD_TYPE_8)
                        kind = 4;
                    else if ((tf == 3 || tf == ROAD_TYPE_8) && te != ROAD_MOTORWAY && te != ROAD_TYPE_8 && te != 3)
                        kind = 4;
                    else if (usable >= 2 && te != ROAD_ROUNDABOUT)
                        kind = cls == 0 ? 0 : (cls == 1 && usable == 2) ? 1 : 2;
                    int side = right ? TURN_SIDE : 0;
                    auto g = given.find({e, f});
                    if (g != given.end()) {
                        cls = g->second->turn_class & 3;
                        kind = g->second->kind & 7;
                        side = g->second->side ? TURN_SIDE : 0;
                    }
                    Conn c;
                    c.target = f;
                    c.wrong_way = wrong_way(f, fdir);
                    c.turn = cls | (kind << TURN_KIND_SHIFT) | side | (fdir ? TURN_TARGET_DIR : 0) |
                             (edir ? 0 : TURN_FROM_START);
                    conns.push_back(c);
                }
            }
            conn_first[ei + 1] = conns.size();
            if (connections(e).size() > HEAD0_CONNECTIONS)
                return fail(edge_error(e, "more than 15 connections"));
        }
        // The headings serve the turns only.
        for (std::vector<double>* h : {&heading_out, &heading_back, &heading_in, &heading_in_back})
            std::vector<double>().swap(*h);
        return true;
    }

    std::span<const Conn> connections(int e) const
    {
        return {conns.data() + conn_first[e], conns.data() + conn_first[e + 1]};
    }

    bool wrong_way(int f, int dir) const
    {
        const int ow = net.edges[f].oneway;
        return (ow == 1 && dir == 0) || (ow == 2 && dir == 1);
    }

    bool is_main(int e) const
    {
        const XrNetworkEdge& ed = net.edges[e];
        return ed.main_level >= 0 ? ed.main_level != 0 : ed.category <= opt.main_max_category;
    }

    // Splits the edges over the tree until every tile of a leaf holds few
    // enough edges.
    int make_node(std::vector<int>& edges, int depth)
    {
        XrRectangle box;
        bool first = true;
        for (int e : edges) {
            const XrPoint& p = mids[e];
            if (first) {
                box = XrRectangle{p.x, p.y, p.x, p.y};
                first = false;
            } else {
                box.left = std::min(box.left, p.x);
                box.right = std::max(box.right, p.x);
                box.top = std::min(box.top, p.y);
                box.bottom = std::max(box.bottom, p.y);
            }
        }
        XrPoint centre(static_cast<int>((static_cast<long long>(box.left) + box.right) / 2),
                       static_cast<int>((static_cast<long long>(box.top) + box.bottom) / 2));
        int counts[TILES_PER_LEAF] = {0, 0, 0, 0, 0};
        for (int e : edges)
            ++counts[is_main(e) ? 0 : 1 + quadrant(mids[e].x, mids[e].y, centre.x, centre.y)];
        const bool fits = *std::max_element(counts, counts + TILES_PER_LEAF) <= opt.max_tile_edges;
        const int idx = static_cast<int>(tree.size());
        tree.push_back(TreeNode());
        tree[idx].centre = centre;
        if (fits || edges.empty()) {
            tree[idx].leaf = true;
            tree[idx].edges = std::move(edges);
            return idx;
        }
        if (depth >= MAX_TREE_DEPTH) {
            error = "too many edges around (" + std::to_string(centre.x) + ", " + std::to_string(centre.y) + ")";
            return -1;
        }
        std::vector<int> parts[4];
        for (int e : edges)
            parts[quadrant(mids[e].x, mids[e].y, centre.x, centre.y)].push_back(e);
        edges.clear();
        for (int q = 0; q < 4; ++q) {
            const int c = make_node(parts[q], depth + 1);
            if (c < 0)
                return -1;
            tree[idx].children[q] = c;
        }
        return idx;
    }

    bool build_tree()
    {
        std::vector<int> all(net.edges.size());
        for (size_t i = 0; i < all.size(); ++i)
            all[i] = static_cast<int>(i);
        tree.clear();
        if (make_node(all, 0) < 0)
            return false;
        // The root is always an inner node, so that no tile number is 0.
        if (tree[0].leaf) {
            TreeNode root;
            // Every point lies at or below the root's centre: child 0.
            root.centre = XrPoint(S24_MAX, S24_MAX);
            std::vector<TreeNode> t;
            t.push_back(root);
            for (TreeNode& n : tree)
                t.push_back(std::move(n));
            for (size_t i = 1; i < t.size(); ++i)
                for (int& c : t[i].children)
                    if (c >= 0)
                        ++c;
            for (int q = 0; q < 4; ++q)
                t[0].children[q] = q == 0 ? 1 : -1;
            tree.swap(t);
        }
        // Empty children become empty leaves.
        for (size_t i = 0; i < tree.size(); ++i) {
            if (tree[i].leaf)
                continue;
            for (int q = 0; q < 4; ++q) {
                if (tree[i].children[q] < 0) {
                    TreeNode l;
                    l.leaf = true;
                    l.centre = tree[i].centre;
                    tree[i].children[q] = static_cast<int>(tree.size());
                    tree.push_back(l);
                }
            }
        }
        // Inner nodes in breadth-first order from the root, then the leaves.
        std::vector<int> order{0}, leaves_order;
        for (size_t k = 0; k < order.size(); ++k)
            for (int c : tree[order[k]].children)
                if (c >= 0) {
                    if (tree[c].leaf)
                        leaves_order.push_back(c);
                    else
                        order.push_back(c);
                }
        inner = static_cast<int>(order.size());
        for (size_t k = 0; k < order.size(); ++k)
            tree[order[k]].number = static_cast<int>(k);
        for (size_t k = 0; k < leaves_order.size(); ++k)
            tree[leaves_order[k]].number = static_cast<int>(k);
        inner_order = order;
        if (static_cast<long long>(inner) + 4LL * static_cast<long long>(leaves_order.size()) > 0xFFFF)
            return fail("too many tiles for 16-bit tile numbers");
        leaves.assign(leaves_order.size(), Leaf());
        place.assign(net.edges.size(), Placement());
        for (size_t k = 0; k < leaves_order.size(); ++k) {
            const TreeNode& node = tree[leaves_order[k]];
            Leaf& leaf = leaves[k];
            leaf.origin = node.centre;
            for (int e : node.edges) {
                const int sub = is_main(e) ? 0 : 1 + quadrant(mids[e].x, mids[e].y, leaf.origin.x, leaf.origin.y);
                leaf.tiles[sub].push_back(e);
                place[e].leaf = static_cast<int>(k);
                place[e].sub = sub;
                if (net.edges[e].tile_flag)
                    leaf.flag = true;
            }
        }
        result.inner_nodes = inner;
        result.leaves = static_cast<int>(leaves.size());
        return true;
    }

    // Tile number of an edge's tile (the group's first number for the main level).
    int tile_number(int e) const
    {
        const Placement& p = place[e];
        return inner + 4 * p.leaf + (p.sub == 0 ? 0 : p.sub - 1);
    }

    std::pair<int, int> head(int e, bool explicit_gid) const
    {
        const XrNetworkEdge& ed = net.edges[e];
        int h0 = static_cast<int>(connections(e).size()) | (ed.category << HEAD0_CATEGORY_SHIFT);
        if (ed.oneway != 0)
            h0 |= HEAD0_NOT_END;
        int h1 = ed.speed_class | (ed.road_type << HEAD1_TYPE_SHIFT);
        if (explicit_gid)
            h1 |= HEAD1_GID_EXPLICIT;
        if (lengths[e] > 255)
            h1 |= HEAD1_LONG_LENGTH;
        return {h0, h1};
    }

    int stored_length(int e) const
    {
        double len = 0;
        const std::vector<XrPoint>& l = lines[e];
        for (size_t i = 1; i < l.size(); ++i)
            len += l[i - 1].distance(l[i]);
        const long long units = std::llround(len / LENGTH_UNIT);
        if (units < LENGTH_LARGE_BASE)
            return static_cast<int>(units);
        const long long big = LENGTH_LARGE_BASE + std::llround(len / (LENGTH_UNIT * LENGTH_LARGE_FACTOR));
        return static_cast<int>(std::min<long long>(big, 0xFFFF));
    }

    bool encode(std::vector<BYTE>& out)
    {
        const size_t n = net.edges.size();
        lengths.resize(n);
        for (size_t e = 0; e < n; ++e)
            lengths[e] = stored_length(static_cast<int>(e));
        // Gid high words per tile, most used first.
        std::vector<std::vector<int>> highs(leaves.size() * TILES_PER_LEAF);
        std::vector<bool> explicit_gid(n, false);
        std::vector<std::pair<int, int>> heads(n); // without HEAD1_GID_EXPLICIT
        std::map<std::pair<int, int>, int> freq;
        for (size_t l = 0; l < leaves.size(); ++l) {
            for (int s = 0; s < TILES_PER_LEAF; ++s) {
                std::map<int, int> count;
                for (int e : leaves[l].tiles[s])
                    ++count[static_cast<int>(result.gids[e] >> 16)];
                std::vector<std::pair<int, int>> v;
                for (auto& c : count)
                    v.push_back({-c.second, c.first});
                std::sort(v.begin(), v.end());
                std::vector<int>& h = highs[l * TILES_PER_LEAF + s];
                for (auto& x : v)
                    h.push_back(x.second);
                if (h.size() > MAX_GID_HIGHS)
                    return fail("a tile needs more than 255 gid high words");
                for (int e : leaves[l].tiles[s]) {
                    explicit_gid[e] = static_cast<int>(result.gids[e] >> 16) == h[0];
                    auto hd = head(e, explicit_gid[e]);
                    heads[e] = {hd.first, hd.second & ~HEAD1_GID_EXPLICIT};
                    ++freq[heads[e]];
                }
            }
        }
        // The dictionary: the 128 most used head pairs.
        std::vector<std::pair<int, std::pair<int, int>>> fv;
        for (auto& f : freq)
            fv.push_back({-f.second, f.first});
        std::sort(fv.begin(), fv.end());
        std::map<std::pair<int, int>, int> dict;
        dict_pairs.clear();
        for (size_t i = 0; i < fv.size() && i < DICTIONARY_ENTRIES; ++i) {
            dict[fv[i].second] = static_cast<int>(i);
            dict_pairs.push_back(fv[i].second);
        }
        // Each edge's dictionary entry, -1 when its head is not there.
        std::vector<int> dict_index(n, -1);
        for (size_t e = 0; e < n; ++e) {
            auto it = dict.find(heads[e]);
            if (it != dict.end())
                dict_index[e] = it->second;
        }
        // Edge numbers: dictionary heads first.
        std::vector<int> dict_count(leaves.size() * TILES_PER_LEAF, 0);
        result.tile_numbers.assign(n, 0);
        result.main_level.assign(n, false);
        result.edge_numbers.assign(n, 0);
        for (size_t l = 0; l < leaves.size(); ++l) {
            for (int s = 0; s < TILES_PER_LEAF; ++s) {
                std::vector<int>& t = leaves[l].tiles[s];
                const auto dict_end =
                    std::stable_partition(t.begin(), t.end(), [&](int e) { return dict_index[e] >= 0; });
                dict_count[l * TILES_PER_LEAF + s] = static_cast<int>(dict_end - t.begin());
                for (size_t i = 0; i < t.size(); ++i) {
                    place[t[i]].number = static_cast<int>(i);
                    result.tile_numbers[t[i]] = tile_number(t[i]);
                    result.main_level[t[i]] = s == 0;
                    result.edge_numbers[t[i]] = static_cast<int>(i);
                }
            }
        }
        // Leaf coding.
        for (Leaf& leaf : leaves) {
            long long maxabs = 0;
            for (int s = 0; s < TILES_PER_LEAF; ++s)
                for (int e : leaf.tiles[s]) {
                    maxabs = std::max(maxabs, std::llabs(static_cast<long long>(mids[e].x) - leaf.origin.x));
                    maxabs = std::max(maxabs, std::llabs(static_cast<long long>(mids[e].y) - leaf.origin.y));
                }
            const long long m8 = std::max(1LL, (maxabs + 126) / 127);
            const long long m12 = std::max(1LL, (maxabs + 2046) / 2047);
            leaf.wide = opt.coord_bits == 12 || (opt.coord_bits == 0 && m8 > 8);
            const long long m = leaf.wide ? m12 : m8;
            if (m > 0x7FFF)
                return fail("a leaf spans too far for its coordinate multiplier");
            leaf.multiplier = static_cast<int>(m);
        }
        // Tiles, coded and compressed on all cores.
        std::vector<std::vector<BYTE>> stored(leaves.size() * TILES_PER_LEAF);
        std::vector<std::string> errors(stored.size());
        // About 12 bytes an edge.
        xr_parallel_for(stored.size(), n * 12, [&](size_t t) {
            const int l = static_cast<int>(t / TILES_PER_LEAF), s = static_cast<int>(t % TILES_PER_LEAF);
            std::vector<BYTE> data;
            if (!encode_tile(l, s, highs[t], dict_count[t], dict_index, explicit_gid, data, errors[t]) ||
                data.empty())
                return;
            if (data.size() > 0xFFFF) {
                errors[t] = "a tile is larger than 65535 bytes; lower max_tile_edges";
                return;
            }
            const std::vector<BYTE> z = xr_zlib_stream(data, opt.zlib_level);
            if (z.empty()) {
                errors[t] = "zlib failed";
                return;
            }
            if (z.size() + 2 > 0xFFFF) {
                errors[t] = "a compressed tile is larger than 65535 bytes";
                return;
            }
            XrByteWriter w;
            w.u16_le(static_cast<std::uint16_t>(data.size()));
            w.bytes(z.data(), z.size());
            stored[t] = w.take();
        });
        for (const std::string& e : errors)
            if (!e.empty())
                return fail(e);
        std::vector<BYTE> m1, m2;
        int n1 = 0, n2 = 0;
        if (!encode_manoeuvres(m1, n1, m2, n2))
            return false;
        // The file.
        XrByteWriter w;
        w.u32_le(VERSION);
        w.zeros(4);
        w.u16_le(static_cast<std::uint16_t>(inner + static_cast<int>(leaves.size())));
        w.zeros(2);
        w.u16_le(static_cast<std::uint16_t>(n1));
        w.u16_le(static_cast<std::uint16_t>(n2));
        w.zeros(4);
        w.u16_le(static_cast<std::uint16_t>(inner));
        for (int i = 0; i < DICTIONARY_ENTRIES; ++i) {
            const auto pr = i < static_cast<int>(dict_pairs.size()) ? dict_pairs[i] : std::make_pair(0, 0);
            w.u8(static_cast<BYTE>(pr.second));
            w.u8(static_cast<BYTE>(pr.first));
        }
        w.u8(static_cast<BYTE>(opt.level_mode));
        w.u32_le(opt.level_distance);
        w.u8(opt.geom_opt ? 1 : 0);
        w.u8(opt.flag_b ? 1 : 0);
        w.u8(opt.flag_c ? 1 : 0);
        // File order: A1, B1, C1, A2, B2, C2.
        for (int t = 0; t < 6; ++t)
            for (int r = 0; r < PRUNING_ROWS; ++r)
                for (int c = 0; c < 3; ++c)
                    w.u32_le(opt.pruning[t][r][c]);
        for (int s = 0; s < 2; ++s)
            for (int c = 0; c < CATEGORY_LIMITS; ++c)
                w.u32_le(static_cast<std::uint32_t>(opt.category_limits[s][c]));
        for (int v = 0; v < 7; ++v)
            w.u32_le(static_cast<std::uint32_t>(opt.routing_values[v]));
        w.zeros(2);
        for (int v = 7; v < ROUTING_VALUES; ++v)
            w.u32_le(static_cast<std::uint32_t>(opt.routing_values[v]));
        XR_ASSERT(w.size() == HEADER_SIZE);
        // Index.
        for (int k = 0; k < inner; ++k) {
            const TreeNode& node = tree[inner_order[k]];
            w.u24_le(static_cast<std::uint32_t>(node.centre.x) & 0xFFFFFF);
            w.u24_le(static_cast<std::uint32_t>(node.centre.y) & 0xFFFFFF);
            for (int q = 0; q < 4; ++q) {
                const TreeNode& c = tree[node.children[q]];
                w.u16_le(static_cast<std::uint16_t>(c.leaf ? inner + c.number : c.number));
            }
        }
        const size_t leaf_start = w.size();
        for (size_t l = 0; l < leaves.size(); ++l) {
            const Leaf& leaf = leaves[l];
            w.u32_le(0); // group offset, patched below
            for (int s = 0; s < TILES_PER_LEAF; ++s)
                w.u16_le(static_cast<std::uint16_t>(stored[l * TILES_PER_LEAF + s].size()));
            w.u16_le(static_cast<std::uint16_t>(leaf.multiplier | (leaf.wide ? LEAF_CODING_12BIT : 0)));
            w.u24_le(static_cast<std::uint32_t>(leaf.origin.x) & 0xFFFFFF);
            w.u24_le(static_cast<std::uint32_t>(leaf.origin.y) & 0xFFFFFF);
        }
        w.bytes(m1);
        w.bytes(m2);
        for (size_t l = 0; l < leaves.size(); ++l) {
            if (w.size() > 0x7FFFFFFF)
                return fail("the graph is larger than 2 GB");
            std::uint32_t word = static_cast<std::uint32_t>(w.size());
            if (leaves[l].flag)
                word |= LEAF_TILE_FLAG;
            w.patch_le(leaf_start + l * LEAF_SIZE + LEAF_OFF_GROUP, word, 4);
            for (int s = 0; s < TILES_PER_LEAF; ++s)
                w.bytes(stored[l * TILES_PER_LEAF + s]);
        }
        out = w.take();
        return true;
    }

    // One tile's bytes (nothing for an empty tile). It reads the builder's
    // state only, so tiles can be coded side by side.
    bool encode_tile(int l, int s, const std::vector<int>& gid_highs, int num_dict, const std::vector<int>& dict_index,
                     const std::vector<bool>& explicit_gid, std::vector<BYTE>& data, std::string& err) const
    {
        auto fail = [&err](const std::string& text) {
            err = text;
            return false;
        };
        const Leaf& leaf = leaves[l];
        const std::vector<int>& edges = leaf.tiles[s];
        if (edges.empty())
            return true;
        const int own_tile = inner + 4 * l + (s == 0 ? 0 : s - 1);
        std::vector<int> neighbours;
        // The records one after the other, and where each ends.
        XrByteWriter r;
        std::vector<size_t> ends;
        ends.reserve(edges.size());
        for (int e : edges) {
            const XrNetworkEdge& ed = net.edges[e];
            const size_t start = r.size();
            auto hd = head(e, explicit_gid[e]);
            if (place[e].number < num_dict) {
                const int idx = dict_index[e];
                r.u8(static_cast<BYTE>(idx | (explicit_gid[e] ? DICT_HEAD_EXPLICIT : 0)));
            } else {
                r.u8(static_cast<BYTE>(hd.first));
                r.u8(static_cast<BYTE>(hd.second));
            }
            const long long dx = std::llround(static_cast<double>(mids[e].x - leaf.origin.x) / leaf.multiplier);
            const long long dy = std::llround(static_cast<double>(mids[e].y - leaf.origin.y) / leaf.multiplier);
            if (leaf.wide) {
                const long long cx = std::clamp(dx, -2048LL, 2047LL), cy = std::clamp(dy, -2048LL, 2047LL);
                const unsigned ux = static_cast<unsigned>(cx) & 0xFFF, uy = static_cast<unsigned>(cy) & 0xFFF;
                r.u8(static_cast<BYTE>(ux & 0xFF));
                r.u8(static_cast<BYTE>(uy & 0xFF));
                r.u8(static_cast<BYTE>(((ux >> 4) & 0xF0) | ((uy >> 8) & 0x0F)));
            } else {
                r.u8(static_cast<BYTE>(std::clamp(dx, -128LL, 127LL)));
                r.u8(static_cast<BYTE>(std::clamp(dy, -128LL, 127LL)));
            }
            const int len = lengths[e];
            if (hd.second & HEAD1_LONG_LENGTH)
                r.u16_le(static_cast<std::uint16_t>(len));
            else
                r.u8(static_cast<BYTE>(len));
            std::uint16_t low = static_cast<std::uint16_t>(result.gids[e] & 0x7FFF);
            if (ed.restricted)
                low |= GID_RESTRICTED;
            if (explicit_gid[e]) {
                r.u16_le(low);
            } else {
                const int high = static_cast<int>(result.gids[e] >> 16);
                const int b = static_cast<int>(std::find(gid_highs.begin(), gid_highs.end(), high) - gid_highs.begin());
                r.u8(static_cast<BYTE>(b));
                r.u16_le(low);
            }
            for (const Conn& c : connections(e)) {
                const int f = c.target;
                const bool fmain = place[f].sub == 0;
                std::uint16_t word = static_cast<std::uint16_t>(place[f].number);
                if (c.wrong_way)
                    word |= CONN_WRONG_WAY;
                if (fmain)
                    word |= CONN_MAIN;
                const bool compact = (c.turn & 0x3F) == 0 && (c.turn & 0xC0) != 0;
                if (compact)
                    word |= static_cast<std::uint16_t>((c.turn & 0xC0) << 6);
                const int ftile = tile_number(f);
                // Short: a target on the main level of this leaf, or on the
                // detail level of this tile number (quadrant 0 from the main level).
                const bool same_leaf = place[f].leaf == l;
                const bool shorty = same_leaf && (fmain || ftile == own_tile);
                if (shorty) {
                    r.u16_be(word);
                } else {
                    int ni = static_cast<int>(std::find(neighbours.begin(), neighbours.end(), ftile) -
                                              neighbours.begin());
                    if (ni == static_cast<int>(neighbours.size())) {
                        if (ni >= MAX_NEIGHBOURS)
                            return fail("a tile has more than 128 neighbour tiles; lower max_tile_edges");
                        neighbours.push_back(ftile);
                    }
                    r.u8(static_cast<BYTE>(CONN_LONG | ni));
                    r.u16_be(word);
                }
                if (!compact)
                    r.u8(static_cast<BYTE>(c.turn));
            }
            if (r.size() - start > 255)
                return fail(edge_error(e, "record longer than 255 bytes"));
            ends.push_back(r.size());
        }
        auto record_size = [&](size_t i) { return ends[i] - (i == 0 ? 0 : ends[i - 1]); };
        const int groups = (static_cast<int>(edges.size()) + LOOKUP_GROUP_EDGES - 1) / LOOKUP_GROUP_EDGES;
        const int lookup_size = groups * LOOKUP_GROUP_SIZE;
        XrByteWriter w;
        w.u16_le(static_cast<std::uint16_t>(num_dict));
        w.u16_le(static_cast<std::uint16_t>(lookup_size));
        size_t offset = TILE_OFF_LOOKUP + lookup_size + 2 + 2 * neighbours.size() + 2 * gid_highs.size();
        for (int g = 0; g < groups; ++g) {
            if (offset > 0xFFFF)
                return fail("a tile is larger than 65535 bytes; lower max_tile_edges");
            w.u16_le(static_cast<std::uint16_t>(offset));
            for (int k = 0; k < 4; ++k) {
                const size_t i = static_cast<size_t>(g * LOOKUP_GROUP_EDGES + k);
                w.u8(i < ends.size() ? static_cast<BYTE>(record_size(i)) : 0);
            }
            for (int k = 0; k < LOOKUP_GROUP_EDGES; ++k) {
                const size_t i = static_cast<size_t>(g * LOOKUP_GROUP_EDGES + k);
                if (i < ends.size())
                    offset += record_size(i);
            }
        }
        w.u8(static_cast<BYTE>(neighbours.size()));
        w.u8(static_cast<BYTE>(gid_highs.size()));
        for (int t : neighbours)
            w.u16_le(static_cast<std::uint16_t>(t));
        for (int h : gid_highs)
            w.u16_le(static_cast<std::uint16_t>(h));
        w.bytes(r.bytes());
        data = w.take();
        return true;
    }

    std::uint32_t reference(int e) const
    {
        return static_cast<std::uint32_t>(tile_number(e)) << 16 | (place[e].sub == 0 ? HANDLE_MAIN : 0) |
               static_cast<std::uint32_t>(place[e].number);
    }

    // Open addressing with steps 1, 2, 3, ... (sizes are powers of two, so
    // the probes reach every slot).
    static bool insert_probe(std::vector<std::vector<std::uint32_t>>& table, std::uint32_t r0, std::uint32_t r1,
                             const std::vector<std::uint32_t>& words)
    {
        const std::uint32_t m = static_cast<std::uint32_t>(table.size());
        std::uint32_t slot = manoeuvre_slot(r0, r1, m);
        const std::uint32_t probes = m > 1 ? m - 1 : 1;
        for (std::uint32_t probe = 0; probe < probes; ++probe) {
            if (table[slot].empty()) {
                table[slot] = words;
                return true;
            }
            slot = (slot + probe + 1) % m;
        }
        return false;
    }

    bool encode_manoeuvres(std::vector<BYTE>& m1, int& n1, std::vector<BYTE>& m2, int& n2)
    {
        std::vector<std::vector<std::uint32_t>> t1, t2;
        for (const XrNetworkManoeuvre& m : net.manoeuvres) {
            if (m.edges.size() < 2 || m.edges.size() > 4)
                return fail("a manoeuvre names two to four edges");
            std::vector<std::uint32_t> refs;
            for (int e : m.edges) {
                if (e < 0 || static_cast<size_t>(e) >= net.edges.size())
                    return fail("a manoeuvre names an unknown edge");
                refs.push_back(reference(e));
            }
            const bool compact = refs.size() == 3 && (refs[1] >> 18) == (refs[0] >> 18) &&
                                 (refs[2] >> 18) == (refs[0] >> 18);
            (compact ? t2 : t1).push_back(refs);
        }
        // Table 2 is looked at only when table 1 has entries.
        if (t1.empty() && !t2.empty()) {
            t1.swap(t2);
        }
        auto size_for = [](size_t count) {
            size_t m = 0;
            if (count)
                for (m = 4; m < 2 * count + 1; m *= 2) {
                }
            return m;
        };
        auto v = [](std::uint32_t r) { return static_cast<std::uint16_t>((r & 0xCFFF) | ((r >> 4) & 0x3000)); };
        std::vector<std::vector<std::uint32_t>> h1, h2;
        for (size_t s1 = size_for(t1.size());; s1 *= 2) {
            if (s1 > 0x8000)
                return fail("too many manoeuvres");
            h1.assign(s1, std::vector<std::uint32_t>());
            bool all = true;
            for (auto& refs : t1)
                all = all && insert_probe(h1, refs[0], refs[1], refs);
            if (all)
                break;
        }
        for (size_t s2 = size_for(t2.size());; s2 *= 2) {
            if (s2 > 0x8000)
                return fail("too many manoeuvres");
            h2.assign(s2, std::vector<std::uint32_t>());
            bool all = true;
            for (auto& refs : t2) {
                const std::uint32_t a = refs[0];
                std::vector<std::uint32_t> packed{a, v(refs[1]), v(refs[2])};
                all = all && insert_probe(h2, a, combine_reference(a, packed[1]), packed);
            }
            if (all)
                break;
        }
        const size_t s1 = h1.size(), s2 = h2.size();
        XrByteWriter w1, w2;
        for (auto& e : h1)
            for (int k = 0; k < 4; ++k)
                w1.u32_le(k < static_cast<int>(e.size()) ? e[k] : 0);
        for (auto& e : h2) {
            w2.u32_le(e.empty() ? 0 : e[0]);
            w2.u16_le(static_cast<std::uint16_t>(e.empty() ? 0 : e[1]));
            w2.u16_le(static_cast<std::uint16_t>(e.empty() ? 0 : e[2]));
        }
        m1 = w1.take();
        m2 = w2.take();
        n1 = static_cast<int>(s1);
        n2 = static_cast<int>(s2);
        return true;
    }

    const XrNetwork& net;
    const XrGraphWriterOptions& opt;
    XrGraphWriterResult& result;
    std::string& error;

    std::deque<XrPolypointGeomRec> records;
    std::vector<XrGeomRec*> recs;
    std::vector<std::vector<XrPoint>> lines;
    std::vector<XrPoint> mids;
    // The connections of edge e: conns[conn_first[e] .. conn_first[e + 1]).
    std::vector<Conn> conns;
    std::vector<size_t> conn_first;
    std::vector<TreeNode> tree;
    std::vector<int> inner_order;
    int inner = 0;
    std::vector<Leaf> leaves;
    std::vector<Placement> place;
    std::vector<std::pair<int, int>> dict_pairs;
    std::vector<int> lengths; // stored length of each edge
    // Leaving an edge at its end (out) or start (back); entering it at its
    // start (in) or end (in_back). Radians.
    std::vector<double> heading_out, heading_back, heading_in, heading_in_back;
};

} // namespace

namespace {

struct Extent {
    std::int64_t left = 0, top = 0, right = -1, bottom = -1;
    void add(const XrPoint& p)
    {
        if (right < left) {
            left = right = p.x;
            top = bottom = p.y;
            return;
        }
        left = std::min<std::int64_t>(left, p.x);
        right = std::max<std::int64_t>(right, p.x);
        top = std::min<std::int64_t>(top, p.y);
        bottom = std::max<std::int64_t>(bottom, p.y);
    }
    void add(const Extent& e)
    {
        if (e.right < e.left)
            return;
        add(XrPoint(static_cast<int>(e.left), static_cast<int>(e.top)));
        add(XrPoint(static_cast<int>(e.right), static_cast<int>(e.bottom)));
    }
    double diagonal() const
    {
        return right < left ? 0.0 : std::hypot(static_cast<double>(right - left), static_cast<double>(bottom - top));
    }
};

struct PointHash {
    size_t operator()(const XrPoint& p) const
    {
        return std::hash<std::uint64_t>()((static_cast<std::uint64_t>(static_cast<std::uint32_t>(p.x)) << 32) ^
                                          static_cast<std::uint32_t>(p.y));
    }
};

// The extent of the largest connected part (by extent) of the edges of
// category up to max_category; edges meet at equal end points.
double largest_part_diagonal(const XrNetwork& net, int max_category)
{
    std::unordered_map<XrPoint, int, PointHash> ends;
    std::vector<int> parent;
    auto find = [&](int a) {
        while (parent[static_cast<size_t>(a)] != a)
            a = parent[static_cast<size_t>(a)] = parent[static_cast<size_t>(parent[static_cast<size_t>(a)])];
        return a;
    };
    auto node = [&](const XrPoint& p) {
        auto [it, added] = ends.try_emplace(p, static_cast<int>(parent.size()));
        if (added)
            parent.push_back(it->second);
        return it->second;
    };
    std::vector<std::pair<int, const XrNetworkEdge*>> used;
    for (const XrNetworkEdge& e : net.edges) {
        if (e.category > max_category || e.points.size() < 2)
            continue;
        const int a = find(node(e.points.front())), b = find(node(e.points.back()));
        if (a != b)
            parent[static_cast<size_t>(a)] = b;
        used.emplace_back(b, &e);
    }
    std::unordered_map<int, Extent> parts;
    for (const auto& [n, e] : used) {
        Extent& x = parts[find(n)];
        for (const XrPoint& p : e->points)
            x.add(p);
    }
    double best = 0;
    for (const auto& [n, x] : parts)
        best = std::max(best, x.diagonal());
    return best;
}

Extent network_extent(const XrNetwork& net)
{
    Extent x;
    for (const XrNetworkEdge& e : net.edges)
        for (const XrPoint& p : e.points)
            x.add(p);
    return x;
}

} // namespace

int xr_backbone_category(const XrNetwork& net)
{
    const double whole = network_extent(net).diagonal();
    for (int c = 0; c < 7; ++c)
        if (largest_part_diagonal(net, c) >= 0.75 * whole && whole > 0)
            return c;
    return 7;
}

void xr_fit_category_limits(const XrNetwork& net, XrGraphWriterOptions& options)
{
    // 1 km beyond the extent, so that rounding never matters.
    const double span = network_extent(net).diagonal() + 1000;
    const int unlimited = span >= 2e9 ? 2000000000 : static_cast<int>(span);
    const int backbone = std::max(4, xr_backbone_category(net));
    for (int c = 0; c < 9; ++c) {
        int& first = options.category_limits[0][c];
        if (c <= backbone || first == -1 || first >= unlimited)
            first = unlimited;
        options.category_limits[1][c] = unlimited;
    }
}

bool build_graph(const XrNetwork& net, const XrGraphWriterOptions& options, std::vector<BYTE>& geometry,
                 std::vector<BYTE>& graph, XrGraphWriterResult& result, std::string& error)
{
    result = XrGraphWriterResult();
    GraphBuilder b(net, options, result, error);
    return b.run(geometry, graph);
}

bool build_graph(const XrNetwork& net, const XrGraphWriterOptions& options, const std::string& geometry_path,
                 std::vector<BYTE>& graph, XrGraphWriterResult& result, std::string& error)
{
    std::vector<BYTE> geometry;
    return build_graph(net, options, geometry, graph, result, error) &&
           xr_write_file_atomic(geometry_path, geometry, error);
}

bool write_graph(const std::string& graph_path, const std::string& geometry_path, const XrNetwork& net,
                 const XrGraphWriterOptions& options, XrGraphWriterResult& result, std::string& error)
{
    std::vector<BYTE> bytes;
    if (!build_graph(net, options, geometry_path, bytes, result, error))
        return false;
    return xr_write_file_atomic(graph_path, bytes, error);
}
