// Reading OSM files through libosmium into the compiler's model.
#include "tools/mapgen/compile_osm.h"

#include <osmium/area/assembler.hpp>
#include <osmium/area/multipolygon_manager.hpp>
#include <osmium/handler.hpp>
#include <osmium/handler/check_order.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/relations/relations_manager.hpp>
#include <osmium/visitor.hpp>

#include <algorithm>
#include <exception>
#include <sys/stat.h>

namespace {

XrOsmTags tags_of(const osmium::TagList& list)
{
    XrOsmTags tags;
    for (const osmium::Tag& t : list)
        tags[t.key()] = t.value();
    return tags;
}

bool has_any(const osmium::TagList& tags, std::initializer_list<const char*> keys)
{
    for (const char* k : keys)
        if (tags.has_key(k))
            return true;
    return false;
}

class Collector : public osmium::handler::Handler {
public:
    explicit Collector(XrOsmData& data) : data(data) {}

    void node(const osmium::Node& n)
    {
        const osmium::Location loc = n.location();
        // Nodes without a valid position are dropped; ways that use them
        // lose those points.
        if (!loc.valid())
            return;
        const XrOsmLocation at{loc.lon(), loc.lat()};
        data.nodes.ids.push_back(n.id());
        data.nodes.at.push_back(at);
        if (has_any(n.tags(), {"place", "amenity", "shop", "tourism", "addr:housenumber", "highway", "leisure",
                               "historic"}))
            data.points.push_back(XrOsmPoint{n.id(), at, tags_of(n.tags())});
    }

    void way(const osmium::Way& w)
    {
        if (!has_any(w.tags(), {"highway", "natural", "waterway", "landuse", "leisure", "building",
                                "addr:interpolation", "amenity", "shop", "tourism", "historic"}))
            return;
        XrOsmWay way;
        way.id = w.id();
        for (const osmium::NodeRef& r : w.nodes())
            way.refs.push_back(r.ref());
        way.tags = tags_of(w.tags());
        data.ways.push_back(std::move(way));
    }

    void relation(const osmium::Relation& r)
    {
        const char* type = r.tags()["type"];
        const char* restriction = r.tags()["restriction"];
        if (type == nullptr || std::string(type) != "restriction" || restriction == nullptr)
            return;
        const std::string kind = restriction;
        XrOsmRestriction res;
        res.id = r.id();
        res.only = kind.rfind("only_", 0) == 0;
        if (!res.only && kind.rfind("no_", 0) != 0)
            return;
        int froms = 0, vias = 0, tos = 0;
        for (const osmium::RelationMember& m : r.members()) {
            const std::string role = m.role();
            if (role == "from" && m.type() == osmium::item_type::way) {
                res.from = m.ref();
                ++froms;
            } else if (role == "via") {
                // Restrictions over a way are not kept.
                if (m.type() != osmium::item_type::node)
                    return;
                res.via = m.ref();
                ++vias;
            } else if (role == "to" && m.type() == osmium::item_type::way) {
                res.to = m.ref();
                ++tos;
            }
        }
        if (froms == 1 && vias == 1 && tos == 1)
            data.restrictions.push_back(res);
    }

    // Areas of multipolygon relations (areas of closed ways are the ways').
    void area(const osmium::Area& a)
    {
        if (a.from_way())
            return;
        XrOsmArea area;
        area.id = a.orig_id();
        area.tags = tags_of(a.tags());
        for (const osmium::OuterRing& ring : a.outer_rings()) {
            std::vector<XrOsmLocation> pts;
            for (const osmium::NodeRef& r : ring)
                if (r.location().valid())
                    pts.push_back(XrOsmLocation{r.location().lon(), r.location().lat()});
            if (pts.size() >= 2 && pts.front().lon == pts.back().lon && pts.front().lat == pts.back().lat)
                pts.pop_back();
            if (pts.size() >= 3)
                area.outers.push_back(std::move(pts));
        }
        if (!area.outers.empty())
            data.areas.push_back(std::move(area));
    }

private:
    XrOsmData& data;
};

// The area keys whose multipolygons are assembled.
osmium::TagsFilter area_filter()
{
    osmium::TagsFilter filter{false};
    for (const char* key : {"natural", "waterway", "landuse", "leisure", "building"})
        filter.add_rule(true, osmium::TagMatcher{key});
    return filter;
}

template <typename T>
void sort_by_id(std::vector<T>& v)
{
    std::stable_sort(v.begin(), v.end(), [](const T& a, const T& b) { return a.id < b.id; });
    // Later copies of an id replace earlier ones.
    std::vector<T> out;
    for (T& t : v) {
        if (!out.empty() && out.back().id == t.id)
            out.back() = std::move(t);
        else
            out.push_back(std::move(t));
    }
    v.swap(out);
}

void read_osm_passes(const osmium::io::File& file, XrOsmData& data, bool with_areas)
{
    const auto entities =
        osmium::osm_entity_bits::node | osmium::osm_entity_bits::way | osmium::osm_entity_bits::relation;
    Collector collector(data);
    if (!with_areas) {
        osmium::io::Reader reader(file, entities);
        osmium::apply(reader, collector);
        reader.close();
        return;
    }
    // First pass: the multipolygon relations and their members.
    osmium::area::Assembler::config_type config;
    osmium::area::MultipolygonManager<osmium::area::Assembler> areas{config, area_filter()};
    osmium::relations::read_relations(file, areas);
    // Second pass: everything, with the node locations the assembler needs.
    using Index = osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location>;
    Index index;
    osmium::handler::NodeLocationsForWays<Index> locations{index};
    locations.ignore_errors();
    osmium::io::Reader reader(file, entities);
    osmium::apply(reader, locations, collector, areas.handler([&collector](osmium::memory::Buffer&& buffer) {
        osmium::apply(buffer, collector);
    }));
    reader.close();
}

} // namespace

long XrOsmNodes::index(std::int64_t id) const
{
    auto it = std::lower_bound(ids.begin(), ids.end(), id);
    return it != ids.end() && *it == id ? static_cast<long>(it - ids.begin()) : -1;
}

void XrOsmNodes::sort()
{
    bool ordered = true;
    for (size_t i = 1; i < ids.size() && ordered; ++i)
        ordered = ids[i - 1] < ids[i];
    if (ordered)
        return;
    std::vector<size_t> order(ids.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) { return ids[a] < ids[b]; });
    std::vector<std::int64_t> new_ids;
    std::vector<XrOsmLocation> new_at;
    for (size_t i : order) {
        if (!new_ids.empty() && new_ids.back() == ids[i]) {
            new_at.back() = at[i];
            continue;
        }
        new_ids.push_back(ids[i]);
        new_at.push_back(at[i]);
    }
    ids.swap(new_ids);
    at.swap(new_at);
}

bool xr_read_osm(const std::string& path, XrOsmData& data, std::string& error)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "cannot open " + path;
        return false;
    }
    try {
        osmium::io::File file(path);
        try {
            read_osm_passes(file, data, true);
        } catch (const osmium::out_of_order_error&) {
            // The area assembler needs input in id order; files out of order
            // are read again without multipolygon areas.
            data = XrOsmData();
            read_osm_passes(file, data, false);
        }
    } catch (const std::exception& e) {
        error = path + " is not valid OSM data: " + e.what();
        return false;
    }
    data.nodes.sort();
    sort_by_id(data.ways);
    sort_by_id(data.points);
    sort_by_id(data.restrictions);
    sort_by_id(data.areas);
    return true;
}
