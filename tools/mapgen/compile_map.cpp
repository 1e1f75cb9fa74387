// The map compiler: OSM model -> map folder.
#include "tools/mapgen/compile_osm.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <system_error>
#include <thread>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>
#include <unordered_map>

#include "common/db/xr_datasource.h"
#include "common/geometry/xr_projection.h"
#include "tools/mapgen/addr_writer.h"
#include "tools/mapgen/geom_tree.h"
#include "tools/mapgen/graph_writer.h"
#include "tools/mapgen/signs_writer.h"
#include "tools/mapgen/tmc_writer.h"
#include "tools/mapgen/unicode_binmap.h"
#include "tools/mapgen/xrqt_writer.h"

namespace fs = std::filesystem;

namespace {

// Record types of the area file (styles of the "wa" layer).
constexpr int AREA_WATER = 10;
constexpr int AREA_GREEN = 11;
constexpr int AREA_BUILDING = 12;
constexpr int AREA_LANDUSE = 13;
constexpr int LINE_WATER = 9;

// Map coordinates are below this (24-bit fields of the road graph).
constexpr int MAX_COORD = 1 << 24;

// The zlib level of the large files (road graph and geometry, addresses):
// fast, for a few percent more bytes than the best.
constexpr int ZLIB_LEVEL = 1;

// Longest polyline that a geometry record holds.
constexpr size_t MAX_PIECE_POINTS = 2000;
// Parts of the road network apart from its largest one and shorter than
// this (metres of road) are left out.
constexpr double ISOLATED_PART_LENGTH = 1000;
// Places named at every scale, at least (where the map has as many).
constexpr size_t SMALL_SCALE_PLACES = 12;
// Text types of place labels (the place classes, and one more; see
// compile_style.cpp).
constexpr int PLACE_VILLAGE = 2;
constexpr int PLACE_VILLAGE_EVERYWHERE = 8;

const char* tag(const XrOsmTags& tags, const char* key)
{
    auto it = tags.find(key);
    return it == tags.end() ? nullptr : it->second.c_str();
}

bool tag_is(const XrOsmTags& tags, const char* key, std::initializer_list<const char*> values)
{
    const char* v = tag(tags, key);
    if (v == nullptr)
        return false;
    for (const char* x : values)
        if (std::strcmp(v, x) == 0)
            return true;
    return false;
}

struct RoadClass {
    const char* highway;
    int category;
    int kmh; // default speed
};

const RoadClass ROAD_CLASSES[] = {
    {"motorway", 0, 120},     {"motorway_link", 1, 60}, {"trunk", 1, 90},          {"trunk_link", 2, 50},
    {"primary", 2, 70},       {"primary_link", 3, 50},  {"secondary", 3, 60},      {"secondary_link", 4, 40},
    {"tertiary", 4, 50},      {"tertiary_link", 4, 40}, {"unclassified", 5, 50},   {"residential", 5, 30},
    {"living_street", 6, 10}, {"service", 6, 20},       {"road", 5, 30},
};

// Speed classes of the route search: 130, 75, 60, 50, 30, 20, 10 km/h.
int speed_class_of(int kmh)
{
    if (kmh >= 110)
        return 0;
    if (kmh >= 70)
        return 1;
    if (kmh >= 55)
        return 2;
    if (kmh >= 40)
        return 3;
    if (kmh >= 25)
        return 4;
    if (kmh >= 15)
        return 5;
    return 6;
}

// "50", "50 km/h", "30 mph"; 0 when not a number.
int parse_maxspeed(const char* text)
{
    if (text == nullptr)
        return 0;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || v <= 0 || v > 300)
        return 0;
    std::string rest(end);
    rest.erase(0, rest.find_first_not_of(' '));
    if (rest == "mph")
        return static_cast<int>(std::lround(v * 1.609344));
    return rest.empty() || rest == "km/h" || rest == "kmh" ? static_cast<int>(v) : 0;
}

struct Road {
    const XrOsmWay* way = nullptr;
    int category = 5;
    int speed_class = 4;
    int road_type = 0;
    int oneway = 0; // as XrNetworkEdge
};

bool road_of(const XrOsmWay& way, Road& road)
{
    XrOsmRoad r;
    if (!xr_osm_road(way.tags, r))
        return false;
    road.way = &way;
    road.category = r.category;
    road.speed_class = r.speed_class;
    road.road_type = r.road_type;
    road.oneway = r.oneway;
    return true;
}

struct PoiClass {
    int id;
    const char* key;
    const char* value; // nullptr: any value
    const char* name;
};

// POI classes by tag, the first match counts.
const PoiClass POI_CLASSES[] = {
    {1, "amenity", "fuel", "Petrol station"},
    {2, "amenity", "parking", "Parking"},
    {3, "amenity", "restaurant", "Restaurant"},
    {3, "amenity", "fast_food", "Restaurant"},
    {4, "amenity", "cafe", "Cafe"},
    {4, "amenity", "bar", "Cafe"},
    {4, "amenity", "pub", "Cafe"},
    {5, "tourism", "hotel", "Hotel"},
    {5, "tourism", "motel", "Hotel"},
    {5, "tourism", "guest_house", "Hotel"},
    {6, "amenity", "hospital", "Hospital"},
    {7, "amenity", "pharmacy", "Pharmacy"},
    {8, "shop", nullptr, "Shop"},
    {9, "amenity", "school", "School"},
    {9, "amenity", "university", "School"},
    {10, "tourism", "museum", "Sight"},
    {10, "tourism", "attraction", "Sight"},
    {10, "historic", nullptr, "Sight"},
    {11, "amenity", "townhall", "Public building"},
    {11, "amenity", "police", "Public building"},
    {11, "amenity", "post_office", "Public building"},
    {12, "amenity", "bank", "Bank"},
    {12, "amenity", "atm", "Bank"},
};

// The area record type of an area's or a line's tags (LINE_WATER for
// rivers); 0 when it is drawn as none. Areas must be closed.
int area_type(const XrOsmTags& tags, bool closed)
{
    if (tag_is(tags, "natural", {"water"}) || tag_is(tags, "waterway", {"riverbank", "dock"}) ||
        tag_is(tags, "landuse", {"reservoir", "basin"}))
        return closed ? AREA_WATER : 0;
    if (tag_is(tags, "waterway", {"river", "canal", "stream"}))
        return LINE_WATER;
    if (tag_is(tags, "leisure", {"park", "garden", "pitch", "playground"}) ||
        tag_is(tags, "landuse", {"grass", "forest", "meadow", "recreation_ground", "cemetery"}) ||
        tag_is(tags, "natural", {"wood", "grassland"}))
        return closed ? AREA_GREEN : 0;
    if (tag(tags, "building") != nullptr)
        return closed ? AREA_BUILDING : 0;
    if (tag_is(tags, "landuse", {"residential", "commercial", "industrial", "retail"}))
        return closed ? AREA_LANDUSE : 0;
    return 0;
}

// A road piece once the network is built: its points are those of the
// network edge of the same index.
struct PieceEnds {
    int road = 0; // index into the roads
    std::int64_t first_node = 0;
    std::int64_t last_node = 0;
};

// A road piece while the roads are cut.
struct Piece : PieceEnds {
    std::vector<XrPoint> points;
};

// One end of a piece at a node; kept sorted by node, then piece.
struct PieceAt {
    std::int64_t node = 0;
    int piece = 0;
    bool operator<(const PieceAt& o) const { return node < o.node || (node == o.node && piece < o.piece); }
};

// A stable identifier text of the input (FNV-1a over the compiled content).
struct Fnv {
    std::uint64_t h = 1469598103934665603ULL;
    void add(const void* data, size_t n)
    {
        const auto* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < n; ++i) {
            h ^= p[i];
            h *= 1099511628211ULL;
        }
    }
    void add(const std::string& s) { add(s.data(), s.size() + 1); }
};

double polygon_area(const std::vector<XrPoint>& p)
{
    double a = 0;
    for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++)
        a += static_cast<double>(p[j].x) * p[i].y - static_cast<double>(p[i].x) * p[j].y;
    return std::fabs(a) / 2;
}

// Every k-th point so that at most limit remain (first and last kept).
std::vector<XrPoint> thin(const std::vector<XrPoint>& p, size_t limit)
{
    if (p.size() <= limit)
        return p;
    const size_t step = (p.size() + limit - 3) / (limit - 2);
    std::vector<XrPoint> out;
    for (size_t i = 0; i + 1 < p.size(); i += step)
        out.push_back(p[i]);
    out.push_back(p.back());
    return out;
}

// The points of a polygon record: one ring as it is; several rings (the
// outer one first, then its holes) each closed by repeating its first point,
// which is where the map reader ends a ring. At most limit points in all:
// rings are thinned alike and holes that would keep fewer than 3 points are
// left out.
std::vector<XrPoint> join_rings(const std::vector<std::vector<XrPoint>>& rings, size_t limit)
{
    if (rings.size() == 1)
        return thin(rings[0], limit);
    size_t total = 0;
    for (const auto& r : rings)
        total += r.size() + 1;
    std::vector<XrPoint> out;
    for (size_t i = 0; i < rings.size(); ++i) {
        const size_t room = limit - out.size();
        size_t keep = total <= limit ? rings[i].size() : rings[i].size() * limit / total;
        keep = std::min(keep, room > 0 ? room - 1 : 0);
        // thin() keeps 3 points of a longer ring only when it may keep 4.
        if (keep < (keep < rings[i].size() ? 4u : 3u)) {
            if (i == 0)
                return thin(rings[0], limit);
            continue;
        }
        const std::vector<XrPoint> ring = thin(rings[i], keep);
        out.insert(out.end(), ring.begin(), ring.end());
        out.push_back(ring.front());
    }
    return out;
}

// Leading digits of a house number ("12a" -> 12); 0 when none.
int house_number(const char* text)
{
    if (text == nullptr)
        return 0;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    return end != text && v > 0 && v < 100000 ? static_cast<int>(v) : 0;
}

// The street name of a road: its "name" without bytes below 16 (which end
// names in the address database); empty when it has none.
std::string street_name(const XrOsmWay& way)
{
    const char* tagged = tag(way.tags, "name");
    std::string name = tagged != nullptr ? tagged : "";
    name.erase(std::remove_if(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 16; }),
               name.end());
    return name;
}

// The files of a compiled map folder.
const char* const MAP_FILES[] = {"addr.dat",    "areas.qt",   "graph.bin", "labels.qt", "maemo.reg",      "mapdata.ini",
                                 "maplcs.dat",  "numbers.qt", "pb.qt",     "pc.qt",     "poi.reg",        "pois.qt",
                                 "roads.qt",    "signs.bin",  "tmc_locations.bin", "tmc_paths.bin", "unicode.binmap",
                                 "version.txt"};
// The files of a map folder written before the TMC tables were.
const char* const MAP_FILES_WITHOUT_TMC[] = {
    "addr.dat", "areas.qt", "graph.bin", "labels.qt", "maemo.reg", "mapdata.ini", "maplcs.dat", "numbers.qt",
    "pb.qt",    "pc.qt",    "poi.reg",   "pois.qt",   "roads.qt",  "signs.bin",   "unicode.binmap", "version.txt"};

// The folder a map is compiled into: made with its files under a temporary
// name next to the output, and moved into place once every file is
// written; removed when the compile does not get that far.
// The file that marks a folder as written by this compiler.
const char* const COMPILER_MARKER = ".mapgen-compiled";

// True when the folder is one this compiler wrote: it holds the marker, or
// (written before the marker existed) exactly the files of a map folder.
bool is_compiled_map(const fs::path& folder)
{
    std::error_code ec;
    if (fs::is_regular_file(folder / COMPILER_MARKER, ec))
        return true;
    std::set<std::string> names;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.insert(it->path().filename().string());
    if (ec)
        return false;
    return names == std::set<std::string>(std::begin(MAP_FILES), std::end(MAP_FILES)) ||
           names == std::set<std::string>(std::begin(MAP_FILES_WITHOUT_TMC), std::end(MAP_FILES_WITHOUT_TMC));
}

// Removes the ".part-PID" and ".old-PID" folders beside out that processes
// no longer running left behind.
void remove_stale_leftovers(const fs::path& out)
{
    std::error_code ec;
    const std::string base = out.filename().string();
    std::vector<fs::path> stale;
    for (fs::directory_iterator it(out.parent_path().empty() ? "." : out.parent_path(), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        for (const char* kind : {".part-", ".old-"}) {
            const std::string prefix = base + kind;
            if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
                continue;
            const std::string pid = name.substr(prefix.size());
            if (pid.find_first_not_of("0123456789") != std::string::npos || pid.size() > 9)
                continue;
            if (::kill(static_cast<pid_t>(std::stol(pid)), 0) != 0 && errno == ESRCH)
                stale.push_back(it->path());
        }
    }
    for (const fs::path& p : stale)
        fs::remove_all(p, ec);
}

class MapFolder {
public:
    MapFolder(const std::string& outdir, bool force) : outdir(outdir), force(force)
    {
        out = fs::path(outdir).lexically_normal();
        if (out.filename().empty())
            out = out.parent_path();
        const std::string suffix = std::to_string(static_cast<long>(getpid()));
        tmp = out.string() + ".part-" + suffix;
        old = out.string() + ".old-" + suffix;
    }
    MapFolder(const MapFolder&) = delete;
    MapFolder& operator=(const MapFolder&) = delete;
    ~MapFolder()
    {
        for (auto& [name, fd] : fds)
            if (fd >= 0)
                ::close(fd);
        std::error_code ec;
        if (made && !committed)
            fs::remove_all(tmp, ec);
    }

    // Makes the temporary folder and opens its (empty) files.
    bool create(std::string& error)
    {
        std::error_code ec;
        if (fs::exists(out, ec) && !fs::is_directory(out, ec)) {
            error = outdir + " exists and is not a folder";
            return false;
        }
        if (!force && fs::is_directory(out, ec) && !fs::is_empty(out, ec) && !is_compiled_map(out)) {
            error = outdir + " exists and is no map folder written by mapgen compile (--force replaces it)";
            return false;
        }
        remove_stale_leftovers(out);
        fs::remove_all(tmp, ec);
        if (!fs::create_directories(tmp, ec)) {
            error = "cannot make " + tmp.string() + ": " + ec.message();
            return false;
        }
        made = true;
        const int marker = ::open((tmp / COMPILER_MARKER).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (marker < 0 || ::close(marker) != 0) {
            error = "cannot write " + (tmp / COMPILER_MARKER).string();
            return false;
        }
        for (const char* name : MAP_FILES) {
            const int fd = ::open((tmp / name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0) {
                error = "cannot write " + (tmp / name).string();
                return false;
            }
            fds[name] = fd;
        }
        return true;
    }

    // The contents of one of the files.
    bool write(const std::string& name, const std::vector<BYTE>& bytes, std::string& error)
    {
        auto it = fds.find(name);
        if (it == fds.end() || it->second < 0) {
            error = "no file " + name + " in a map folder";
            return false;
        }
        const int fd = it->second;
        it->second = -1;
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        if (::close(fd) != 0 || done != bytes.size()) {
            error = "cannot write " + (tmp / name).string();
            return false;
        }
        return true;
    }

    // Adds the contents of a file already written to id, read back in
    // pieces.
    bool hash_written(const std::string& name, Fnv& id, std::string& error) const
    {
        const int fd = ::open((tmp / name).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            error = "cannot read " + (tmp / name).string();
            return false;
        }
        std::vector<unsigned char> buffer(size_t(1) << 16);
        ssize_t n;
        while ((n = ::read(fd, buffer.data(), buffer.size())) != 0) {
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                break;
            id.add(buffer.data(), static_cast<size_t>(n));
        }
        ::close(fd);
        if (n != 0) {
            error = "cannot read " + (tmp / name).string();
            return false;
        }
        return true;
    }

    // Moves the folder into place (replacing an older one) once every file
    // has been written.
    bool commit(std::string& error)
    {
        for (const auto& [name, fd] : fds)
            if (fd >= 0) {
                error = "the map folder lacks " + name;
                return false;
            }
        std::error_code ec;
        const bool had = fs::exists(out, ec);
        // One exchange where the file system has it: OUT is always the old
        // map or the new one, and the old one then lies at the temporary
        // name.
        if (had && ::renameat2(AT_FDCWD, tmp.c_str(), AT_FDCWD, out.c_str(), RENAME_EXCHANGE) == 0) {
            committed = true;
            fs::remove_all(tmp, ec);
            return true;
        }
        if (had && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
            error = "cannot move the map into " + out.string() + ": " + std::strerror(errno);
            return false;
        }
        if (had)
            fs::rename(out, old, ec);
        if (!ec)
            fs::rename(tmp, out, ec);
        if (ec) {
            error = "cannot move the map into " + out.string() + ": " + ec.message();
            if (had && !fs::exists(out))
                fs::rename(old, out, ec);
            return false;
        }
        committed = true;
        if (had)
            fs::remove_all(old, ec);
        return true;
    }

private:
    std::string outdir;
    bool force;
    fs::path out, tmp, old;
    std::map<std::string, int> fds; // -1 once written
    bool made = false;
    bool committed = false;
};

std::vector<BYTE> text_bytes(const std::string& text)
{
    return std::vector<BYTE>(text.begin(), text.end());
}

// The files that are the same in every map folder: the language list, the
// POI classes, the layer configuration and the character tables.
bool write_fixed_files(MapFolder& folder, std::string& error)
{
    return folder.write("maplcs.dat", text_bytes("eng\n"), error) &&
           folder.write("poi.reg", text_bytes(xr_poi_registry_text()), error) &&
           folder.write("maemo.reg", text_bytes(xr_compiled_map_configuration()), error) &&
           folder.write("unicode.binmap", built_in_unicode_binmap(), error);
}

class Compiler {
public:
    Compiler(const XrOsmData& data, const XrCompileOptions& options, XrCompileStats& stats)
        : data(data), options(options), stats(stats)
    {
    }

    bool run(MapFolder& folder, std::string& error)
    {
        out = &folder;
        if (!choose_projection(error) || !build_roads(error))
            return false;
        XrGraphWriterOptions graph_options;
        graph_options.zlib_level = ZLIB_LEVEL;
        // The address database keeps a street record at every road's gid.
        graph_options.name_references = true;
        xr_fit_category_limits(net, graph_options);
        // The road graph first, on its own: its working memory is the
        // largest of the compile, and none of the other files add to it.
        {
            std::vector<BYTE> graph_bytes, roads_bytes;
            if (!build_graph(net, graph_options, roads_bytes, graph_bytes, graph_result, error))
                return false;
            files["graph.bin"] = std::move(graph_bytes);
            files["roads.qt"] = std::move(roads_bytes);
            if (!write_files(error))
                return false;
        }
        if (!build_areas(error) || !build_labels(error) || !build_numbers(error) || !build_pois(error) ||
            !write_files(error) || !plan_addresses())
            return false;
        // Each stage's files go to the folder, and what no later stage
        // reads is freed, as soon as the stage is done.
        if (!build_addresses(error) || !write_files(error))
            return false;
        addresses.reset();
        std::vector<std::pair<XrAddrStreetDef, std::vector<int>>>().swap(planned_streets);
        if (!build_signposts(error) || !write_files(error))
            return false;
        std::vector<PieceAt>().swap(pieces_at);
        if (!build_tmc(error) || !write_files(error))
            return false;
        return build_settings(error) && write_files(error);
    }

private:
    const XrOsmData& data;
    const XrCompileOptions& options;
    XrCompileStats& stats;

    std::string projection_text;
    std::unique_ptr<XrProjection> projection;
    std::vector<Road> roads;
    std::vector<Piece> cut; // while the roads are cut
    std::vector<PieceEnds> pieces;
    XrNetwork net;
    XrGraphWriterResult graph_result;
    // The map folder, and the files of the stage at work by name (written
    // and freed at the end of each stage).
    MapFolder* out = nullptr;
    std::map<std::string, std::vector<BYTE>> files;
    // The address database from its planning to its build, and its streets with
    // their pieces.
    std::unique_ptr<XrAddrWriter> addresses;
    std::vector<std::pair<XrAddrStreetDef, std::vector<int>>> planned_streets;
    std::vector<PieceAt> pieces_at; // the pieces that end at each node
    std::unordered_map<std::int64_t, std::vector<int>> pieces_of_way;

    // Projected once per node: 0 not yet, 1 in the map, 2 outside.
    mutable std::vector<XrPoint> projected;
    mutable std::vector<char> projected_state;

    bool point_of(std::int64_t node, XrPoint& p) const
    {
        const long i = data.nodes.index(node);
        return i >= 0 && point_of_index(static_cast<size_t>(i), p);
    }

    // The same for the node at index k of the node table.
    bool point_of_index(size_t k, XrPoint& p) const
    {
        if (projected_state.empty()) {
            projected.resize(data.nodes.ids.size());
            projected_state.assign(data.nodes.ids.size(), 0);
        }
        if (projected_state[k] == 0)
            projected_state[k] = point_at(data.nodes.at[k], projected[k]) ? 1 : 2;
        p = projected[k];
        return projected_state[k] == 1;
    }

    // False for places that the map's coordinates cannot hold (24 bits in
    // the road graph: about 500 km either side of the middle meridian).
    bool point_at(const XrOsmLocation& at, XrPoint& p) const
    {
        return projection->to_map(at.lon, at.lat, p.x, p.y) && p.x >= 0 && p.x < MAX_COORD && p.y >= 0 &&
               p.y < MAX_COORD;
    }

    // Transverse Mercator in metres around the data's middle longitude.
    bool choose_projection(std::string& error)
    {
        double lon_min = 1e9, lon_max = -1e9, lat_sum = 0;
        int count = 0;
        for (const XrOsmWay& w : data.ways) {
            if (tag(w.tags, "highway") == nullptr)
                continue;
            for (std::int64_t r : w.refs) {
                const long i = data.nodes.index(r);
                if (i < 0)
                    continue;
                const XrOsmLocation& at = data.nodes.at[static_cast<size_t>(i)];
                lon_min = std::min(lon_min, at.lon);
                lon_max = std::max(lon_max, at.lon);
                lat_sum += at.lat;
                ++count;
            }
        }
        if (count == 0) {
            error = "the input holds no roads";
            return false;
        }
        const int lon0 = static_cast<int>(std::lround((lon_min + lon_max) / 2));
        const bool south = lat_sum / count < 0;
        projection_text = "wgs84://" + std::to_string(lon0) + ",1,-500000," + (south ? "-10000000" : "0");
        projection.reset(create_projection(XrString(projection_text.c_str())));
        if (!projection) {
            error = "cannot make the projection " + projection_text;
            return false;
        }
        return true;
    }

    bool build_roads(std::string& error)
    {
        for (const XrOsmWay& w : data.ways) {
            Road r;
            if (road_of(w, r))
                roads.push_back(r);
        }
        stats.roads = static_cast<int>(roads.size());
        // Each road node looked up once: its index in the node table, -1
        // when the file lacks it.
        std::vector<long> road_index;
        std::vector<size_t> road_start(roads.size() + 1, 0);
        for (size_t ri = 0; ri < roads.size(); ++ri) {
            road_start[ri] = road_index.size();
            for (std::int64_t ref : roads[ri].way->refs) {
                const long k = data.nodes.index(ref);
                road_index.push_back(k);
                XrPoint p;
                if (k >= 0 && !point_of_index(static_cast<size_t>(k), p)) {
                    error = "the roads span more than a map can hold (about 1000 km across): node " +
                            std::to_string(ref);
                    return false;
                }
            }
        }
        road_start[roads.size()] = road_index.size();
        cut.reserve(road_index.size() / 2 + roads.size());
        // Ways are cut at every node that two roads share and at their ends
        // (uses: 2 or more for such nodes).
        std::vector<std::uint8_t> uses(data.nodes.ids.size(), 0);
        for (size_t ri = 0; ri < roads.size(); ++ri) {
            const size_t first = road_start[ri], end = road_start[ri + 1];
            for (size_t j = first; j < end; ++j) {
                const long k = road_index[j];
                if (k >= 0)
                    uses[static_cast<size_t>(k)] = static_cast<std::uint8_t>(
                        std::min(2, uses[static_cast<size_t>(k)] + ((j == first || j + 1 == end) ? 2 : 1)));
            }
        }
        std::vector<std::int64_t> nodes_of_cur;
        for (size_t ri = 0; ri < roads.size(); ++ri) {
            const auto& refs = roads[ri].way->refs;
            const long* index = road_index.data() + road_start[ri];
            Piece cur;
            cur.road = static_cast<int>(ri);
            nodes_of_cur.clear();
            auto flush = [&]() {
                if (cur.points.size() >= 2)
                    add_piece(std::move(cur), nodes_of_cur);
                cur.points.clear();
                cur.road = static_cast<int>(ri);
                nodes_of_cur.clear();
            };
            for (size_t i = 0; i < refs.size(); ++i) {
                XrPoint p;
                if (index[i] < 0 || !point_of_index(static_cast<size_t>(index[i]), p))
                    continue; // a missing node: the way goes on from the next one
                if (cur.points.empty())
                    cur.first_node = refs[i];
                if (cur.points.empty() || !(cur.points.back() == p)) {
                    cur.points.push_back(p);
                    nodes_of_cur.push_back(refs[i]);
                } else {
                    nodes_of_cur.back() = refs[i];
                }
                cur.last_node = refs[i];
                const bool cut =
                    i + 1 < refs.size() && uses[static_cast<size_t>(index[i])] >= 2 && cur.points.size() >= 2;
                if (cut || cur.points.size() >= MAX_PIECE_POINTS) {
                    flush();
                    cur.points.push_back(p);
                    nodes_of_cur.push_back(refs[i]);
                    cur.first_node = refs[i];
                }
            }
            flush();
        }
        drop_isolated_pieces();
        if (cut.empty()) {
            error = "the input holds no roads for cars";
            return false;
        }
        net.edges.reserve(cut.size());
        pieces.reserve(cut.size());
        pieces_at.reserve(cut.size() * 2);
        pieces_of_way.reserve(roads.size());
        for (size_t i = 0; i < cut.size(); ++i) {
            Piece& pc = cut[i];
            const Road& r = roads[static_cast<size_t>(pc.road)];
            // The points move to the edge: piece i is edge i from here on.
            XrNetworkEdge e;
            e.points = std::move(pc.points);
            e.category = r.category;
            e.speed_class = r.speed_class;
            e.road_type = r.road_type;
            e.oneway = r.oneway;
            e.named = !street_name(*r.way).empty();
            net.edges.push_back(std::move(e));
            pieces.push_back(pc);
            pieces_at.push_back(PieceAt{pc.first_node, static_cast<int>(i)});
            if (pc.last_node != pc.first_node)
                pieces_at.push_back(PieceAt{pc.last_node, static_cast<int>(i)});
            pieces_of_way[r.way->id].push_back(static_cast<int>(i));
        }
        std::vector<Piece>().swap(cut);
        std::sort(pieces_at.begin(), pieces_at.end());
        stats.edges = static_cast<int>(pieces.size());
        add_restrictions();
        return true;
    }

    // Small parts of the network that no car reaches from its largest part
    // (a service road mapped without its access) are left out: a point
    // snapped onto one would find no route anywhere.
    void drop_isolated_pieces()
    {
        std::unordered_map<std::int64_t, int> node_set;
        std::vector<int> parent;
        auto find = [&](int a) {
            while (parent[static_cast<size_t>(a)] != a)
                a = parent[static_cast<size_t>(a)] = parent[static_cast<size_t>(parent[static_cast<size_t>(a)])];
            return a;
        };
        auto set_of = [&](std::int64_t node) {
            auto [it, added] = node_set.try_emplace(node, static_cast<int>(parent.size()));
            if (added)
                parent.push_back(it->second);
            return it->second;
        };
        for (const Piece& pc : cut) {
            const int a = find(set_of(pc.first_node)), b = find(set_of(pc.last_node));
            if (a != b)
                parent[static_cast<size_t>(a)] = b;
        }
        std::vector<double> length(parent.size(), 0.0);
        for (const Piece& pc : cut)
            length[static_cast<size_t>(find(node_set[pc.first_node]))] += polyline_length(pc.points);
        const auto largest = std::max_element(length.begin(), length.end());
        if (largest == length.end())
            return;
        const size_t main_part = static_cast<size_t>(largest - length.begin());
        size_t kept = 0;
        for (size_t i = 0; i < cut.size(); ++i) {
            const size_t part = static_cast<size_t>(find(node_set[cut[i].first_node]));
            if (part != main_part && length[part] < ISOLATED_PART_LENGTH) {
                ++stats.isolated_pieces;
                continue;
            }
            if (kept != i)
                cut[kept] = std::move(cut[i]);
            ++kept;
        }
        cut.resize(kept);
    }

    static double polyline_length(const std::vector<XrPoint>& points)
    {
        double l = 0;
        for (size_t i = 1; i < points.size(); ++i)
            l += std::hypot(static_cast<double>(points[i].x) - points[i - 1].x,
                            static_cast<double>(points[i].y) - points[i - 1].y);
        return l;
    }

    // A piece that starts and ends at one point is split in two, so that
    // every edge joins two different points.
    void add_piece(Piece&& piece, const std::vector<std::int64_t>& nodes)
    {
        if (piece.points.front() == piece.points.back()) {
            if (piece.points.size() < 4)
                return;
            const size_t mid = piece.points.size() / 2;
            Piece a = piece, b = piece;
            a.points.assign(piece.points.begin(), piece.points.begin() + static_cast<long>(mid) + 1);
            a.last_node = nodes[mid];
            b.points.assign(piece.points.begin() + static_cast<long>(mid), piece.points.end());
            b.first_node = nodes[mid];
            cut.push_back(std::move(a));
            cut.push_back(std::move(b));
            return;
        }
        cut.push_back(std::move(piece));
    }

    // The one piece of a way that ends at a node; -1 when none does or the
    // way passes through the node (two pieces end there).
    int piece_of_way_at(std::int64_t way, std::int64_t node) const
    {
        auto it = pieces_of_way.find(way);
        if (it == pieces_of_way.end())
            return -1;
        int found = -1;
        for (int p : it->second) {
            if (pieces[static_cast<size_t>(p)].first_node != node && pieces[static_cast<size_t>(p)].last_node != node)
                continue;
            if (found >= 0)
                return -1;
            found = p;
        }
        return found;
    }

    // The pieces that end at a node, in piece order.
    struct PieceAtRange {
        std::vector<PieceAt>::const_iterator first, last;
        auto begin() const { return first; }
        auto end() const { return last; }
    };
    PieceAtRange ending_at(std::int64_t node) const
    {
        const auto [first, last] = std::equal_range(pieces_at.begin(), pieces_at.end(), PieceAt{node, 0},
                                                    [](const PieceAt& a, const PieceAt& b) { return a.node < b.node; });
        return PieceAtRange{first, last};
    }

    void add_restrictions()
    {
        std::set<std::pair<int, int>> forbidden;
        for (const XrOsmRestriction& r : data.restrictions) {
            const int from = piece_of_way_at(r.from, r.via);
            const int to = piece_of_way_at(r.to, r.via);
            if (from < 0 || to < 0)
                continue;
            if (!r.only) {
                if (from != to)
                    forbidden.insert({from, to});
                continue;
            }
            for (const PieceAt& at : ending_at(r.via))
                if (at.piece != to && at.piece != from)
                    forbidden.insert({from, at.piece});
        }
        for (const auto& [from, to] : forbidden)
            net.manoeuvres.push_back(XrNetworkManoeuvre{{to, from}});
        stats.restrictions = static_cast<int>(forbidden.size());
    }

    bool build_areas(std::string& error)
    {
        struct Area {
            int type;
            double size;
            std::int64_t id;
            std::vector<XrPoint> points;
        };
        std::vector<Area> areas;
        for (const XrOsmWay& w : data.ways) {
            const bool closed = w.refs.size() >= 4 && w.refs.front() == w.refs.back();
            const int type = area_type(w.tags, closed);
            if (type == 0)
                continue;
            std::vector<XrPoint> pts;
            for (std::int64_t r : w.refs) {
                XrPoint p;
                if (point_of(r, p) && (pts.empty() || !(pts.back() == p)))
                    pts.push_back(p);
            }
            if (type != LINE_WATER) {
                if (pts.size() >= 2 && pts.front() == pts.back())
                    pts.pop_back();
                if (pts.size() < 3)
                    continue;
            } else if (pts.size() < 2) {
                continue;
            }
            pts = thin(pts, static_cast<size_t>(XrPolypointGeomRec::MAX_POINTS) - 1);
            areas.push_back(Area{type, type == LINE_WATER ? 0.0 : polygon_area(pts), w.id, std::move(pts)});
        }
        // Multipolygons: each outer ring is one area, its holes with it.
        auto ring_points = [&](const std::vector<XrOsmLocation>& ring) {
            std::vector<XrPoint> pts;
            for (const XrOsmLocation& at : ring) {
                XrPoint p;
                if (point_at(at, p) && (pts.empty() || !(pts.back() == p)))
                    pts.push_back(p);
            }
            if (pts.size() >= 2 && pts.front() == pts.back())
                pts.pop_back();
            return pts;
        };
        for (const XrOsmArea& a : data.areas) {
            const int type = area_type(a.tags, true);
            if (type == 0 || type == LINE_WATER)
                continue;
            for (size_t r = 0; r < a.outers.size(); ++r) {
                std::vector<std::vector<XrPoint>> rings{ring_points(a.outers[r])};
                if (rings[0].size() < 3)
                    continue;
                if (r < a.inners.size())
                    for (const auto& hole : a.inners[r]) {
                        std::vector<XrPoint> pts = ring_points(hole);
                        if (pts.size() >= 3)
                            rings.push_back(std::move(pts));
                    }
                const double size = polygon_area(rings[0]);
                // Relation ids after way ids in the ordering of equal sizes.
                areas.push_back(
                    Area{type, size, (std::int64_t(1) << 62) + a.id,
                         join_rings(rings, static_cast<size_t>(XrPolypointGeomRec::MAX_POINTS) - 1)});
            }
        }
        // Land use under green under water under buildings, rivers on top;
        // larger areas first.
        auto rank = [](int type) {
            switch (type) {
            case AREA_LANDUSE: return 0;
            case AREA_GREEN: return 1;
            case AREA_WATER: return 2;
            case LINE_WATER: return 3;
            default: return 4;
            }
        };
        std::sort(areas.begin(), areas.end(), [&](const Area& a, const Area& b) {
            if (rank(a.type) != rank(b.type))
                return rank(a.type) < rank(b.type);
            if (a.size != b.size)
                return a.size > b.size;
            return a.id < b.id;
        });
        std::vector<std::unique_ptr<XrGeomRec>> owned;
        std::vector<XrGeomRec*> recs;
        int id = 1;
        for (const Area& a : areas) {
            auto rec = std::make_unique<XrPolypointGeomRec>(a.type != LINE_WATER, id++,
                                                            static_cast<unsigned short>(a.type));
            for (const XrPoint& p : a.points)
                rec->add_point(p);
            recs.push_back(rec.get());
            owned.push_back(std::move(rec));
        }
        stats.areas = static_cast<int>(recs.size());
        return build_xrqt(recs, XrGeomFileOptions(), files["areas.qt"], error);
    }

    static int place_class(const char* place)
    {
        static const char* const order[] = {"city", "town", "village", "suburb", "neighbourhood", "hamlet",
                                            "quarter", "locality"};
        for (int i = 0; i < 8; ++i)
            if (std::strcmp(place, order[i]) == 0)
                return i;
        return -1;
    }

    // The text type of each place label (the places of build_labels in their
    // order): its place class, raised by its population (from 100,000 a
    // city's, from 10,000 a town's); and while the map names fewer than
    // SMALL_SCALE_PLACES places at every scale (types 0 and 1), its largest
    // villages become PLACE_VILLAGE_EVERYWHERE (a village's label that small
    // scales show too), so that a small country's map names its main
    // villages when the whole country is in view.
    std::vector<int> label_types() const
    {
        struct Place {
            int type;
            long population;
            size_t index;
        };
        std::vector<Place> places;
        for (const XrOsmPoint& pt : data.points) {
            const char* place = tag(pt.tags, "place");
            XrPoint p;
            if (place == nullptr || tag(pt.tags, "name") == nullptr || place_class(place) < 0 || !point_at(pt.at, p))
                continue;
            const char* pop = tag(pt.tags, "population");
            const long population = pop != nullptr ? std::max(0L, std::strtol(pop, nullptr, 10)) : 0;
            int type = place_class(place);
            if (population >= 100000)
                type = 0;
            else if (population >= 10000)
                type = std::min(type, 1);
            places.push_back(Place{type, population, places.size()});
        }
        std::vector<Place*> order;
        size_t everywhere = 0;
        for (Place& pl : places) {
            order.push_back(&pl);
            everywhere += pl.type <= 1;
        }
        std::stable_sort(order.begin(), order.end(), [](const Place* a, const Place* b) {
            return a->type != b->type ? a->type < b->type : a->population > b->population;
        });
        for (Place* pl : order) {
            if (everywhere >= SMALL_SCALE_PLACES)
                break;
            if (pl->type != PLACE_VILLAGE)
                continue;
            pl->type = PLACE_VILLAGE_EVERYWHERE;
            ++everywhere;
        }
        std::vector<int> types;
        for (const Place& pl : places)
            types.push_back(pl.type);
        return types;
    }

    // Settlement names: the map text layer ("labels.qt", the name and, behind
    // a TAB, the county), the place-name storage ("pc.qt") and the area
    // storage ("pb.qt": towns with the side of their square in three
    // big-endian attribute bytes).
    bool build_labels(std::string& error)
    {
        std::vector<std::unique_ptr<XrGeomRec>> owned;
        std::vector<XrGeomRec*> labels, names, areas;
        int id = 1;
        const std::vector<int> shown = label_types();
        size_t k = 0;
        for (const XrOsmPoint& pt : data.points) {
            const char* place = tag(pt.tags, "place");
            const char* name = tag(pt.tags, "name");
            XrPoint p;
            if (place == nullptr || name == nullptr || place_class(place) < 0 || !point_at(pt.at, p))
                continue;
            const auto cls = static_cast<unsigned short>(place_class(place));
            const auto label_type = static_cast<unsigned short>(shown[k++]);
            // The name field ends at the TAB; the region behind it ends with
            // one character that the readers drop ('/').
            std::string text = std::string(name) + "\t";
            if (const char* county = tag(pt.tags, "is_in:county"))
                text += std::string(county) + "/";
            owned.push_back(std::make_unique<XrTextGeomRec>(id++, p.x, p.y, label_type, 0, text.c_str()));
            labels.push_back(owned.back().get());
            owned.push_back(std::make_unique<XrTextGeomRec>(id++, p.x, p.y, cls, 0, name));
            names.push_back(owned.back().get());
            if (place_class(place) <= 2) {
                const int side = place_class(place) == 0 ? 20000 : place_class(place) == 1 ? 8000 : 3000;
                const BYTE bytes[3] = {static_cast<BYTE>(side >> 16), static_cast<BYTE>(side >> 8),
                                       static_cast<BYTE>(side)};
                auto area = std::make_unique<XrTextGeomRec>(id++, p.x, p.y, cls, 0, name);
                area->set_attributes(bytes, 3);
                areas.push_back(area.get());
                owned.push_back(std::move(area));
            }
        }
        stats.labels = static_cast<int>(labels.size());
        XrGeomFileOptions with_side;
        with_side.attr_count = 3;
        return build_xrqt(labels, XrGeomFileOptions(), files["labels.qt"], error) &&
               build_xrqt(names, XrGeomFileOptions(), files["pc.qt"], error) &&
               build_xrqt(areas, with_side, files["pb.qt"], error);
    }

    // One road number at the middle of each way with a "ref" (motorways and
    // trunk roads: scheme 1, others: scheme 2).
    bool build_numbers(std::string& error)
    {
        std::vector<std::unique_ptr<XrGeomRec>> owned;
        std::vector<XrGeomRec*> recs;
        int id = 1;
        for (const Road& r : roads) {
            const char* ref = tag(r.way->tags, "ref");
            auto it = pieces_of_way.find(r.way->id);
            if (ref == nullptr || *ref == 0 || it == pieces_of_way.end())
                continue;
            const auto& points = net.edges[static_cast<size_t>(it->second[it->second.size() / 2])].points;
            const XrPoint& p = points[points.size() / 2];
            const int cls = r.category <= 1 ? 1 : 2;
            owned.push_back(std::make_unique<XrTextGeomRec>(id++, p.x, p.y, static_cast<unsigned short>(cls), 0, ref));
            recs.push_back(owned.back().get());
        }
        stats.numbers = static_cast<int>(recs.size());
        return build_xrqt(recs, XrGeomFileOptions(), files["numbers.qt"], error);
    }

    // Named POIs: nodes, and areas at the middle of their outline.
    bool build_pois(std::string& error)
    {
        std::vector<std::unique_ptr<XrGeomRec>> owned;
        std::vector<XrGeomRec*> recs;
        int id = 1;
        auto add = [&](const XrOsmTags& tags, const XrPoint& p) {
            const int cls = xr_osm_poi_class(tags);
            const char* name = tag(tags, "name");
            if (cls == 0)
                return;
            // A POI's text is its name, phone number and web address,
            // separated by tabs; readers take a text without a tab as
            // having no name.
            const std::string text = std::string(name != nullptr ? name : "") + "\t\t";
            owned.push_back(
                std::make_unique<XrTextGeomRec>(id++, p.x, p.y, static_cast<unsigned short>(cls), 0, text.c_str()));
            recs.push_back(owned.back().get());
        };
        for (const XrOsmPoint& pt : data.points) {
            XrPoint p;
            if (point_at(pt.at, p))
                add(pt.tags, p);
        }
        for (const XrOsmWay& w : data.ways) {
            if (xr_osm_poi_class(w.tags) == 0 || tag(w.tags, "highway") != nullptr)
                continue;
            long long sx = 0, sy = 0, k = 0;
            for (std::int64_t r : w.refs) {
                XrPoint p;
                if (point_of(r, p)) {
                    sx += p.x;
                    sy += p.y;
                    ++k;
                }
            }
            if (k > 0)
                add(w.tags, XrPoint(static_cast<int>(sx / k), static_cast<int>(sy / k)));
        }
        stats.pois = static_cast<int>(recs.size());
        return build_xrqt(recs, XrGeomFileOptions(), files["pois.qt"], error);
    }

    // Settlements that name the counties of the streets.
    struct Town {
        std::string county; // "Town" or "Town#County"
        XrPoint at;
    };

    std::vector<Town> towns() const
    {
        std::vector<Town> out;
        for (const XrOsmPoint& pt : data.points) {
            const char* place = tag(pt.tags, "place");
            const char* name = tag(pt.tags, "name");
            XrPoint p;
            if (place == nullptr || name == nullptr || place_class(place) < 0 || place_class(place) > 2 ||
                !point_at(pt.at, p))
                continue;
            // Town, county and upper county, each part present (maybe
            // empty): the address search reads exactly three.
            std::string county = name;
            const char* c = tag(pt.tags, "is_in:county");
            county += std::string("#") + (c != nullptr ? c : "") + "#";
            out.push_back(Town{county, p});
        }
        return out;
    }

    std::string country_name() const
    {
        for (const XrOsmPoint& pt : data.points)
            if (const char* c = tag(pt.tags, "is_in:country"))
                return c;
        return map_name();
    }

    // The display name without the characters that REGEDIT4 values quote.
    std::string map_name() const
    {
        std::string n;
        for (char c : options.name)
            if (c != '"' && c != '\\' && static_cast<unsigned char>(c) >= 32)
                n += c;
        return n.empty() ? std::string("Map") : n;
    }

    // House numbers by street name: each number at its place.
    struct NumberAt {
        int number;
        XrPoint at;
    };

    std::map<std::string, std::vector<NumberAt>> house_numbers() const
    {
        std::map<std::string, std::vector<NumberAt>> out;
        for (const XrOsmPoint& pt : data.points) {
            const char* street = tag(pt.tags, "addr:street");
            const int n = house_number(tag(pt.tags, "addr:housenumber"));
            XrPoint p;
            if (street != nullptr && n > 0 && point_at(pt.at, p))
                out[street].push_back(NumberAt{n, p});
        }
        // Buildings with an address: the middle of their outline.
        for (const XrOsmWay& w : data.ways) {
            const char* street = tag(w.tags, "addr:street");
            const int n = house_number(tag(w.tags, "addr:housenumber"));
            if (street == nullptr || n == 0)
                continue;
            long long sx = 0, sy = 0, k = 0;
            for (std::int64_t r : w.refs) {
                XrPoint p;
                if (point_of(r, p)) {
                    sx += p.x;
                    sy += p.y;
                    ++k;
                }
            }
            if (k > 0)
                out[street].push_back(NumberAt{n, XrPoint(static_cast<int>(sx / k), static_cast<int>(sy / k))});
        }
        add_interpolated_numbers(out);
        return out;
    }

    // Interpolation ways: the numbers between each two address nodes of the
    // way, spread evenly along it ("odd" and "even" step by 2, others by 1),
    // so that the pieces of the street along the way carry the whole range
    // rather than its two ends only.
    void add_interpolated_numbers(std::map<std::string, std::vector<NumberAt>>& out) const
    {
        constexpr int MAX_NUMBERS = 2000; // of one stretch
        std::unordered_map<std::int64_t, std::pair<int, std::string>> numbered;
        for (const XrOsmPoint& pt : data.points) {
            const char* street = tag(pt.tags, "addr:street");
            const int n = house_number(tag(pt.tags, "addr:housenumber"));
            if (n > 0)
                numbered[pt.id] = {n, street != nullptr ? street : ""};
        }
        for (const XrOsmWay& w : data.ways) {
            const char* kind = tag(w.tags, "addr:interpolation");
            if (kind == nullptr || w.refs.size() < 2)
                continue;
            const int step = std::string(kind) == "odd" || std::string(kind) == "even" ? 2 : 1;
            std::vector<XrPoint> line(w.refs.size());
            std::vector<double> run(w.refs.size(), 0);
            bool whole = true;
            for (size_t i = 0; i < w.refs.size() && whole; ++i) {
                whole = point_of(w.refs[i], line[i]);
                if (i > 0)
                    run[i] = run[i - 1] + std::hypot(static_cast<double>(line[i].x) - line[i - 1].x,
                                                     static_cast<double>(line[i].y) - line[i - 1].y);
            }
            if (!whole)
                continue;
            size_t from = w.refs.size();
            for (size_t i = 0; i < w.refs.size(); ++i) {
                auto to = numbered.find(w.refs[i]);
                if (to == numbered.end())
                    continue;
                if (from < i) {
                    const auto& a = numbered.at(w.refs[from]);
                    const std::string street = !a.second.empty() ? a.second : to->second.second;
                    const int lo = a.first, hi = to->second.first;
                    const int dir = hi > lo ? 1 : -1;
                    const int count = (std::abs(hi - lo) / step) - 1;
                    for (int k = 1; !street.empty() && k <= count && k <= MAX_NUMBERS; ++k) {
                        // The place at the fraction k / (count + 1) of the stretch's length.
                        const double at = run[from] + (run[i] - run[from]) * k / (count + 1);
                        size_t j = from + 1;
                        while (j < i && run[j] < at)
                            ++j;
                        const double len = run[j] - run[j - 1];
                        const double t = len > 0 ? (at - run[j - 1]) / len : 0;
                        const XrPoint p(static_cast<int>(line[j - 1].x + t * (line[j].x - line[j - 1].x)),
                                        static_cast<int>(line[j - 1].y + t * (line[j].y - line[j - 1].y)));
                        out[street].push_back(NumberAt{lo + dir * k * step, p});
                    }
                }
                from = i;
            }
        }
    }

    // Where a point lies against a piece: distance, position along it and
    // side (true: left of direction 1).
    static void locate(const std::vector<XrPoint>& line, const XrPoint& p, double& dist, double& along, bool& left)
    {
        dist = 1e18;
        double run = 0;
        for (size_t i = 1; i < line.size(); ++i) {
            const double ax = line[i - 1].x, ay = line[i - 1].y, bx = line[i].x, by = line[i].y;
            const double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
            double t = len2 > 0 ? ((p.x - ax) * dx + (p.y - ay) * dy) / len2 : 0;
            t = std::clamp(t, 0.0, 1.0);
            const double qx = ax + t * dx, qy = ay + t * dy;
            const double d = std::hypot(p.x - qx, p.y - qy);
            if (d < dist) {
                dist = d;
                along = run + t * std::sqrt(len2);
                left = dx * (p.y - ay) - dy * (p.x - ax) > 0;
            }
            run += std::sqrt(len2);
        }
    }

    // The address database but the roads' gids: its counties, and its
    // streets with their pieces and house number ranges.
    bool plan_addresses()
    {
        XrAddrFileOptions fo;
        fo.countries = {country_name().substr(0, 32)};
        fo.languages = {'e' | 'n' << 8 | 'g' << 16};
        fo.zlib_level = ZLIB_LEVEL;
        addresses = std::make_unique<XrAddrWriter>(fo);
        XrAddrWriter& writer = *addresses;
        const std::vector<Town> town_list = towns();
        std::map<std::string, std::uint32_t> county_ids;
        std::vector<std::string> county_names;
        for (const Town& t : town_list)
            if (!county_ids.count(t.county))
                county_ids[t.county] = 0;
        if (county_ids.empty())
            county_ids[map_name()] = 0;
        for (auto& [name, cid] : county_ids)
            cid = writer.add_county(name);
        auto county_of = [&](const XrPoint& p) {
            if (town_list.empty())
                return county_ids.begin()->second;
            const Town* best = &town_list.front();
            double bd = 1e300;
            for (const Town& t : town_list) {
                const double dx = static_cast<double>(t.at.x) - p.x, dy = static_cast<double>(t.at.y) - p.y;
                const double d = dx * dx + dy * dy;
                if (d < bd) {
                    bd = d;
                    best = &t;
                }
            }
            return county_ids[best->county];
        };
        // Streets: named road pieces by name and county.
        std::map<std::pair<std::string, std::uint32_t>, std::vector<int>> streets;
        for (size_t i = 0; i < pieces.size(); ++i) {
            const std::string name = street_name(*roads[static_cast<size_t>(pieces[i].road)].way);
            if (name.empty())
                continue;
            const auto& points = net.edges[i].points;
            streets[{name, county_of(points[points.size() / 2])}].push_back(static_cast<int>(i));
        }
        // Each house number goes to the nearest piece named like its street
        // (whichever county that piece is in), within 150 m.
        struct Side {
            double lo_at = 1e18, hi_at = -1;
            int lo = 0, hi = 0;
            bool odd = false, even = false;
        };
        std::vector<Side> left(pieces.size()), right(pieces.size());
        std::map<std::string, std::vector<int>> pieces_named;
        for (const auto& [key, list] : streets)
            pieces_named[key.first].insert(pieces_named[key.first].end(), list.begin(), list.end());
        for (const auto& [name, list] : house_numbers()) {
            auto named = pieces_named.find(name);
            if (named == pieces_named.end())
                continue;
            for (const NumberAt& n : list) {
                double best = 150;
                int bi = -1;
                double b_along = 0;
                bool b_left = false;
                for (int p : named->second) {
                    double d = 0, along = 0;
                    bool l = false;
                    locate(net.edges[static_cast<size_t>(p)].points, n.at, d, along, l);
                    if (d < best) {
                        best = d;
                        bi = p;
                        b_along = along;
                        b_left = l;
                    }
                }
                if (bi < 0)
                    continue;
                Side& s = b_left ? left[static_cast<size_t>(bi)] : right[static_cast<size_t>(bi)];
                if (b_along < s.lo_at) {
                    s.lo_at = b_along;
                    s.lo = n.number;
                }
                if (b_along > s.hi_at) {
                    s.hi_at = b_along;
                    s.hi = n.number;
                }
                (n.number % 2 ? s.odd : s.even) = true;
            }
        }
        for (auto& [key, list] : streets) {
            XrAddrStreetDef street;
            street.name = key.first;
            street.county = key.second;
            street.type = 0;
            for (int p : list) {
                XrAddrSegmentDef seg;
                const Side& l = left[static_cast<size_t>(p)];
                const Side& r = right[static_cast<size_t>(p)];
                seg.numbers = l.hi_at >= 0 || r.hi_at >= 0;
                if (l.hi_at >= 0) {
                    seg.left_from = l.lo;
                    seg.left_to = l.hi;
                    seg.left_mixed = l.odd && l.even;
                    ++stats.house_ranges;
                }
                if (r.hi_at >= 0) {
                    seg.right_from = r.lo;
                    seg.right_to = r.hi;
                    seg.right_mixed = r.odd && r.even;
                    ++stats.house_ranges;
                }
                street.segments.push_back(seg);
            }
            planned_streets.emplace_back(std::move(street), std::move(list));
            ++stats.streets;
        }
        return true;
    }

    // The address database with the roads' gids.
    bool build_addresses(std::string& error)
    {
        XrAddrWriter& writer = *addresses;
        std::vector<int> street_of(pieces.size(), -1);
        for (auto& [street, list] : planned_streets) {
            for (size_t k = 0; k < list.size(); ++k)
                street.segments[k].gid = graph_result.gids[static_cast<size_t>(list[k])];
            const int index = writer.add_street(street);
            for (int p : list)
                street_of[static_cast<size_t>(p)] = index;
        }
        // Every road's own record at its gid: the key that the street labels
        // and the route guidance look names up with.
        for (size_t i = 0; i < pieces.size(); ++i)
            writer.add_road(graph_result.gids[i], street_of[i]);
        return writer.build(files["addr.dat"], error);
    }

    // Signposts from "destination" (and "destination:ref") of the slip roads
    // and roads that leave a motorway: on the motorway piece that reaches
    // the way's first node, the way's first piece follows.
    bool build_signposts(std::string& error)
    {
        XrSignsFile file;
        const BYTE blue[9] = {255, 255, 255, 0, 70, 160, 255, 255, 255};
        const BYTE green[9] = {255, 255, 255, 0, 120, 60, 255, 255, 255};
        const BYTE yellow[9] = {0, 0, 0, 250, 210, 40, 0, 0, 0};
        for (int i = 0; i < XrSignsFile::NUM_SCHEMES; ++i) {
            const BYTE* c = i == 0 ? blue : i == 1 ? yellow : green;
            std::copy(c, c + 9, file.schemes[i].colors);
            file.schemes[i].shape = 1;
        }
        std::map<XrGid, XrSignsEntry> entries;
        for (const Road& r : roads) {
            const char* dest = tag(r.way->tags, "destination");
            const char* dref = tag(r.way->tags, "destination:ref");
            if (dest == nullptr && dref == nullptr)
                continue;
            const int first = piece_of_way_at(r.way->id, r.way->refs.front());
            if (first < 0)
                continue;
            const std::int64_t node = pieces[static_cast<size_t>(first)].first_node;
            for (const PieceAt& at : ending_at(node)) {
                const int key = at.piece;
                if (key == first || roads[static_cast<size_t>(pieces[static_cast<size_t>(key)].road)].road_type != 1)
                    continue;
                // Only a motorway piece that leads into the node.
                const PieceEnds& kp = pieces[static_cast<size_t>(key)];
                const int ow = roads[static_cast<size_t>(kp.road)].oneway;
                if ((ow == 1 && kp.last_node != node) || (ow == 2 && kp.first_node != node))
                    continue;
                XrSignsRecord rec;
                rec.following.push_back(graph_result.gids[static_cast<size_t>(first)]);
                if (dref != nullptr)
                    rec.instructions.push_back(XrSignsInstruction{2, dref});
                if (dest != nullptr) {
                    std::string d = dest;
                    for (size_t s = 0; (s = d.find(';')) != std::string::npos;)
                        d.replace(s, 1, ", ");
                    rec.instructions.push_back(XrSignsInstruction{1, d});
                }
                XrSignsEntry& e = entries[graph_result.gids[static_cast<size_t>(key)]];
                e.gid = graph_result.gids[static_cast<size_t>(key)];
                e.records.push_back(std::move(rec));
                ++stats.signposts;
            }
        }
        for (auto& [gid, e] : entries)
            file.entries.push_back(std::move(e));
        return build_signs(file, files["signs.bin"], error);
    }

    // TMC tables of the roads, so that traffic messages can name places on
    // any map: every way is a path in each direction it may be driven (its
    // edges against the way carry the top bit), and every node where its
    // pieces meet or end is a location (tables from 1, codes from 1, in the
    // order the ways meet them) at its position along the path.
    bool build_tmc(std::string&)
    {
        constexpr std::uint32_t AGAINST = 0x80000000u;
        constexpr std::uint32_t CODES_PER_TABLE = 65535;
        constexpr std::uint32_t MAX_TABLES = 9; // table texts "001" .. "009"
        constexpr std::size_t MAX_PATHS = 65535;
        constexpr std::size_t MAX_PATH_EDGES = 65534;
        std::unordered_map<std::int64_t, std::uint32_t> location_of; // node -> index
        std::vector<TmcLocationDef> locations;
        std::vector<TmcPathLocationDef> records;
        std::vector<TmcPathDef> paths;
        auto location = [&](std::int64_t node, const XrPoint& at) -> int {
            auto [it, added] = location_of.try_emplace(node, static_cast<std::uint32_t>(locations.size()));
            if (added) {
                const std::uint32_t n = it->second;
                if (n >= CODES_PER_TABLE * MAX_TABLES) {
                    location_of.erase(it);
                    return -1;
                }
                TmcLocationDef def;
                def.key = ((n / CODES_PER_TABLE + 1) << 16) | (n % CODES_PER_TABLE + 1);
                def.x = at.x;
                def.y = at.y;
                locations.push_back(def);
                records.push_back(TmcPathLocationDef{def.key, {}});
            }
            return static_cast<int>(it->second);
        };
        // One run of consecutive pieces of a way, as a path both ways.
        auto add_run = [&](const std::vector<int>& run) {
            const int oneway = net.edges[static_cast<size_t>(run.front())].oneway;
            std::vector<int> at; // the locations of the run's nodes, in order
            std::vector<XrPoint> points;
            const XrNetworkEdge& first = net.edges[static_cast<size_t>(run.front())];
            at.push_back(location(pieces[static_cast<size_t>(run.front())].first_node, first.points.front()));
            points.push_back(first.points.front());
            for (int p : run) {
                const XrNetworkEdge& e = net.edges[static_cast<size_t>(p)];
                at.push_back(location(pieces[static_cast<size_t>(p)].last_node, e.points.back()));
                points.push_back(e.points.back());
            }
            for (int against = 0; against < 2; ++against) {
                if ((against == 0 && oneway == 2) || (against == 1 && oneway == 1) || paths.size() >= MAX_PATHS)
                    continue;
                const std::uint16_t id = static_cast<std::uint16_t>(paths.size());
                TmcPathDef path;
                for (size_t k = 0; k < run.size(); ++k) {
                    const size_t piece = static_cast<size_t>(against ? run[run.size() - 1 - k] : run[k]);
                    path.edges.push_back(graph_result.gids[piece] | (against ? AGAINST : 0));
                }
                for (size_t k = 0; k < at.size(); ++k) {
                    const size_t node = against ? at.size() - 1 - k : k;
                    const std::uint16_t position = static_cast<std::uint16_t>(k);
                    path.points.push_back(TmcPointDef{position, points[node].x, points[node].y});
                    if (at[node] < 0)
                        continue;
                    std::vector<TmcPathEntryDef>& entries = records[static_cast<size_t>(at[node])].entries;
                    if (entries.size() < xr_tmc_layout::MAX_RECORD_ENTRIES)
                        entries.push_back(TmcPathEntryDef{id, position, position});
                }
                paths.push_back(std::move(path));
            }
        };
        for (const Road& r : roads) {
            auto it = pieces_of_way.find(r.way->id);
            if (it == pieces_of_way.end())
                continue;
            std::vector<int> run;
            for (int p : it->second) {
                const PieceEnds& pc = pieces[static_cast<size_t>(p)];
                if (!run.empty() && (pieces[static_cast<size_t>(run.back())].last_node != pc.first_node ||
                                     run.size() >= MAX_PATH_EDGES)) {
                    add_run(run);
                    run.clear();
                }
                run.push_back(p);
            }
            if (!run.empty())
                add_run(run);
        }
        const std::uint32_t buckets = static_cast<std::uint32_t>(locations.size() / 8 + 1);
        files["tmc_paths.bin"] = tmc_paths_file(buckets, records, paths);
        files["tmc_locations.bin"] = tmc_locations_file(buckets, locations);
        return true;
    }

    void text_file(const char* name, const std::string& text) { files[name] = text_bytes(text); }

    bool build_settings(std::string& error)
    {
        Fnv id;
        for (const char* f : {"graph.bin", "roads.qt", "areas.qt", "labels.qt", "pc.qt", "pb.qt", "numbers.qt", "pois.qt",
                              "addr.dat"})
            if (!out->hash_written(f, id, error))
                return false;
        char guid[40];
        std::snprintf(guid, sizeof guid, "%016llx", static_cast<unsigned long long>(id.h));
        text_file("mapdata.ini", "REGEDIT4\n\n[\\general]\nprojection=" + projection_text + "\nname=" + map_name() +
                                     "\nversion=" + options.version + "\ncountry_names_included=0\n");
        text_file("version.txt", "GUID: " + std::string(guid) + "\nVersion: " + options.version +
                                     "\nMap version: 7\nVendor: OpenStreetMap contributors\n");
        return true;
    }

    bool write_files(std::string& error)
    {
        for (const auto& [name, bytes] : files)
            if (!out->write(name, bytes, error))
                return false;
        files.clear();
        return true;
    }
};

bool compile_into(const XrOsmData& data, MapFolder& folder, const XrCompileOptions& options, XrCompileStats& stats,
                  std::string& error)
{
    Compiler compiler(data, options, stats);
    return compiler.run(folder, error) && folder.commit(error);
}

} // namespace

int xr_osm_poi_class(const XrOsmTags& tags)
{
    // Rows of one key follow each other: the key is looked up once a run.
    const char* key = nullptr;
    const char* v = nullptr;
    for (const PoiClass& c : POI_CLASSES) {
        if (key == nullptr || std::strcmp(key, c.key) != 0) {
            key = c.key;
            v = tag(tags, key);
        }
        if (v != nullptr && (c.value == nullptr || std::strcmp(v, c.value) == 0))
            return c.id;
    }
    return 0;
}

std::string xr_poi_registry_text()
{
    std::string t = "REGEDIT4\n\n[\\poi]\n\n[\\poi\\default]\n";
    int last = 0;
    for (const PoiClass& c : POI_CLASSES) {
        if (c.id == last)
            continue;
        last = c.id;
        t += std::to_string(c.id) + "=" + c.name + "\n";
    }
    return t;
}

bool xr_osm_road(const XrOsmTags& tags, XrOsmRoad& road)
{
    const char* hw = tag(tags, "highway");
    if (hw == nullptr || tag_is(tags, "area", {"yes"}))
        return false;
    const RoadClass* rc = nullptr;
    for (const RoadClass& c : ROAD_CLASSES)
        if (std::strcmp(hw, c.highway) == 0)
            rc = &c;
    if (rc == nullptr)
        return false;
    const bool allowed = tag_is(tags, "motor_vehicle", {"yes", "designated", "destination", "permissive"}) ||
                         tag_is(tags, "motorcar", {"yes", "designated", "destination", "permissive"});
    if (!allowed && (tag_is(tags, "access", {"no", "private"}) || tag_is(tags, "motor_vehicle", {"no", "private"}) ||
                     tag_is(tags, "motorcar", {"no", "private"}) || tag_is(tags, "vehicle", {"no"})))
        return false;
    road = XrOsmRoad();
    road.category = rc->category;
    const int kmh = parse_maxspeed(tag(tags, "maxspeed"));
    road.speed_class = speed_class_of(kmh > 0 ? kmh : rc->kmh);
    const std::string h = hw;
    const bool roundabout = tag_is(tags, "junction", {"roundabout", "circular"});
    if (roundabout)
        road.road_type = 5;
    else if (h == "motorway")
        road.road_type = 1;
    else if (h == "motorway_link" || h == "trunk_link")
        road.road_type = 3;
    if (tag_is(tags, "oneway", {"yes", "true", "1"}))
        road.oneway = 1;
    else if (tag_is(tags, "oneway", {"-1", "reverse"}))
        road.oneway = 2;
    else if (!tag_is(tags, "oneway", {"no", "false", "0"}) && (roundabout || h == "motorway"))
        road.oneway = 1;
    return true;
}

bool xr_compile_map(const XrOsmData& data, const std::string& outdir, const XrCompileOptions& options,
                    XrCompileStats& stats, std::string& error)
{
    MapFolder folder(outdir, options.force);
    return folder.create(error) && write_fixed_files(folder, error) && compile_into(data, folder, options, stats, error);
}

bool xr_compile_osm_file(const std::string& input, const std::string& outdir, const XrCompileOptions& options,
                         XrCompileStats& stats, std::string& error)
{
    // The folder, its files and those of them that do not depend on the
    // input are made while the input is read.
    MapFolder folder(outdir, options.force);
    std::string folder_error;
    bool folder_made = false;
    std::thread maker([&] { folder_made = folder.create(folder_error) && write_fixed_files(folder, folder_error); });
    XrOsmData data;
    const bool read = xr_read_osm(input, data, error);
    maker.join();
    if (!read)
        return false;
    if (!folder_made) {
        error = folder_error;
        return false;
    }
    XrCompileOptions o = options;
    if (o.name.empty()) {
        std::string base = fs::path(input).filename().string();
        for (const char* ext : {".pbf", ".bz2", ".osm"})
            if (base.size() > std::strlen(ext) && base.compare(base.size() - std::strlen(ext), std::string::npos, ext) == 0)
                base.resize(base.size() - std::strlen(ext));
        if (!base.empty())
            base[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(base[0])));
        o.name = base;
    }
    return compile_into(data, folder, o, stats, error);
}
