// Reading OSM files through libosmium into the compiler's model.
#include "tools/mapgen/compile_osm.h"

#include <osmium/area/assembler.hpp>
#include <osmium/builder/attr.hpp>
#include <osmium/handler.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/thread/pool.hpp>
#include <osmium/visitor.hpp>

#include <algorithm>
#include <cctype>
#include <exception>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

#include "tools/mapgen/parallel.h"

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
                                "addr:interpolation", "amenity", "shop", "tourism", "historic"})) {
            // A possible member of a multipolygon (their ways carry no tags).
            if (w.tags().empty()) {
                std::vector<std::int64_t>& refs = plain_ways[w.id()];
                for (const osmium::NodeRef& r : w.nodes())
                    refs.push_back(r.ref());
            }
            return;
        }
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
        if (type != nullptr && std::string(type) == "multipolygon" &&
            has_any(r.tags(), {"natural", "waterway", "landuse", "leisure", "building"})) {
            Multipolygon mp;
            mp.id = r.id();
            mp.tags = tags_of(r.tags());
            for (const osmium::RelationMember& m : r.members())
                if (m.type() == osmium::item_type::way)
                    mp.members.emplace_back(m.ref(), m.role());
            multipolygons.push_back(std::move(mp));
            return;
        }
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

    // Assembles the multipolygons (libosmium's area assembler) once the
    // whole file is read: the nodes and ways sorted. Multipolygons with
    // members outside the extract, and those that do not assemble, are
    // left out.
    void assemble()
    {
        osmium::area::Assembler::config_type config;
        for (const Multipolygon& mp : multipolygons) {
            osmium::memory::Buffer in(4096, osmium::memory::Buffer::auto_grow::yes);
            std::vector<size_t> offsets;
            bool complete = true;
            for (const auto& [id, role] : mp.members) {
                const std::vector<std::int64_t>* refs = way_refs(id);
                if (refs == nullptr) {
                    complete = false; // a member outside the extract
                    break;
                }
                std::vector<osmium::NodeRef> nodes;
                for (std::int64_t n : *refs) {
                    const long i = data.nodes.index(n);
                    if (i < 0)
                        break; // a node outside the extract
                    const XrOsmLocation& at = data.nodes.at[static_cast<size_t>(i)];
                    nodes.emplace_back(n, osmium::Location(at.lon, at.lat));
                }
                if (nodes.size() != refs->size()) {
                    complete = false;
                    break;
                }
                offsets.push_back(osmium::builder::add_way(in, osmium::builder::attr::_id(id),
                                                           osmium::builder::attr::_nodes(nodes)));
            }
            if (!complete || offsets.empty())
                continue;
            std::vector<osmium::builder::attr::member_type> members;
            for (const auto& [id, role] : mp.members)
                members.emplace_back(osmium::item_type::way, id, role.c_str());
            const size_t rel = osmium::builder::add_relation(in, osmium::builder::attr::_id(mp.id),
                                                             osmium::builder::attr::_members(members));
            std::vector<const osmium::Way*> ways;
            for (size_t o : offsets)
                ways.push_back(&in.get<osmium::Way>(o));
            osmium::memory::Buffer out(4096, osmium::memory::Buffer::auto_grow::yes);
            osmium::area::Assembler assembler{config};
            try {
                if (!assembler(in.get<osmium::Relation>(rel), ways, out))
                    continue;
            } catch (const std::exception&) {
                continue; // a multipolygon that cannot be assembled is left out
            }
            for (const osmium::Area& a : out.select<osmium::Area>()) {
                XrOsmArea area;
                area.id = mp.id;
                area.tags = mp.tags;
                auto ring_points = [](const osmium::NodeRefList& ring) {
                    std::vector<XrOsmLocation> pts;
                    for (const osmium::NodeRef& r : ring)
                        pts.push_back(XrOsmLocation{r.location().lon(), r.location().lat()});
                    if (pts.size() >= 2 && pts.front().lon == pts.back().lon && pts.front().lat == pts.back().lat)
                        pts.pop_back();
                    return pts;
                };
                for (const osmium::OuterRing& ring : a.outer_rings()) {
                    std::vector<XrOsmLocation> pts = ring_points(ring);
                    if (pts.size() < 3)
                        continue;
                    std::vector<std::vector<XrOsmLocation>> holes;
                    for (const osmium::InnerRing& inner : a.inner_rings(ring)) {
                        std::vector<XrOsmLocation> hole = ring_points(inner);
                        if (hole.size() >= 3)
                            holes.push_back(std::move(hole));
                    }
                    area.outers.push_back(std::move(pts));
                    area.inners.push_back(std::move(holes));
                }
                if (!area.outers.empty())
                    data.areas.push_back(std::move(area));
            }
        }
    }

    // Takes the results of a collector of a later part of the same file,
    // as if this collector had read on.
    void absorb(Collector& later)
    {
        XrOsmData& d = later.data;
        data.nodes.ids.insert(data.nodes.ids.end(), d.nodes.ids.begin(), d.nodes.ids.end());
        data.nodes.at.insert(data.nodes.at.end(), d.nodes.at.begin(), d.nodes.at.end());
        std::move(d.ways.begin(), d.ways.end(), std::back_inserter(data.ways));
        std::move(d.points.begin(), d.points.end(), std::back_inserter(data.points));
        data.restrictions.insert(data.restrictions.end(), d.restrictions.begin(), d.restrictions.end());
        std::move(later.multipolygons.begin(), later.multipolygons.end(), std::back_inserter(multipolygons));
        for (auto& [id, refs] : later.plain_ways) {
            std::vector<std::int64_t>& mine = plain_ways[id];
            mine.insert(mine.end(), refs.begin(), refs.end());
        }
    }

private:
    struct Multipolygon {
        std::int64_t id = 0;
        XrOsmTags tags;
        std::vector<std::pair<std::int64_t, std::string>> members; // ways and their roles
    };

    // The nodes of a way kept by id (data.ways sorted), null when none is.
    const std::vector<std::int64_t>* way_refs(std::int64_t id) const
    {
        auto plain = plain_ways.find(id);
        if (plain != plain_ways.end())
            return &plain->second;
        auto it = std::lower_bound(data.ways.begin(), data.ways.end(), id,
                                   [](const XrOsmWay& w, std::int64_t v) { return w.id < v; });
        return it != data.ways.end() && it->id == id ? &it->refs : nullptr;
    }

    XrOsmData& data;
    std::unordered_map<std::int64_t, std::vector<std::int64_t>> plain_ways;
    std::vector<Multipolygon> multipolygons;
};

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

// Files up to this size are mapped whole before parsing.
constexpr off_t WHOLE_FILE_LIMIT = 64 << 20;

// A read-only mapping of a whole file.
struct Mapping {
    void* data = nullptr;
    size_t size = 0;

    bool open(const std::string& path, off_t limit)
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        struct stat st;
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 || st.st_size > limit) {
            ::close(fd);
            return false;
        }
        const size_t bytes = static_cast<size_t>(st.st_size);
        void* p = mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        ::close(fd);
        if (p == MAP_FAILED)
            return false;
        data = p;
        size = bytes;
        return true;
    }
    ~Mapping()
    {
        if (data != nullptr)
            munmap(data, size);
    }
};

// Uncompressed XML files of some megabytes are read in parts side by side,
// each part a file of its own: the file's start up to the end of the "<osm>"
// start tag, the part's elements, and the end tag. Parts begin at a node,
// way or relation element; a file with comments, CDATA sections,
// declarations or processing instructions past its first line is read
// whole, as is any file whose parts do not all read.
constexpr size_t PART_BYTES = size_t(2) << 20;
constexpr size_t MAX_PARTS = 8;

// Where the parts begin (the first at 0), and in head the length of the
// common start; just {0} when the file is read whole.
std::vector<size_t> xml_parts(const char* text, size_t size, size_t& head)
{
    const size_t parts = std::min({xr_core_count(), MAX_PARTS, size / PART_BYTES});
    const std::string_view all(text, size);
    const size_t osm = all.find("<osm");
    const size_t first_pi = all.find("<?");
    if (parts < 2 || osm == std::string_view::npos || all.find("<!") != std::string_view::npos ||
        (first_pi != std::string_view::npos && (first_pi != 0 || all.find("<?", 2) != std::string_view::npos)))
        return {0};
    const size_t end_of_tag = all.find('>', osm);
    if (end_of_tag == std::string_view::npos)
        return {0};
    head = end_of_tag + 1;
    std::vector<size_t> starts{0};
    for (size_t k = 1; k < parts; ++k) {
        size_t at = std::max(head + (size - head) / parts * k, starts.back() + 1);
        while ((at = all.find('<', at)) != std::string_view::npos) {
            const std::string_view rest = all.substr(at + 1);
            const bool element = rest.starts_with("node") || rest.starts_with("way") || rest.starts_with("relation");
            const size_t name = rest.starts_with("node") ? 4 : rest.starts_with("way") ? 3 : 8;
            if (element && rest.size() > name && std::isspace(static_cast<unsigned char>(rest[name])))
                break;
            ++at;
        }
        if (at == std::string_view::npos)
            break;
        starts.push_back(at);
    }
    return starts.size() > 1 ? starts : std::vector<size_t>{0};
}

// Reads one part, given whole, into its collector; false when it does not
// read.
bool read_part(const std::string& part, Collector& collector)
{
    try {
        osmium::io::File file(part.data(), part.size(), "osm");
        osmium::thread::Pool pool(1);
        osmium::io::Reader reader(file, pool, osmium::osm_entity_bits::node | osmium::osm_entity_bits::way |
                                                  osmium::osm_entity_bits::relation);
        osmium::apply(reader, collector);
        reader.close();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// Reads a mapped XML file in parts side by side into collector; false (and
// nothing read) when it is not cut into parts or a part does not read.
bool read_in_parts(const char* text, size_t size, Collector& collector)
{
    size_t head = 0;
    const std::vector<size_t> starts = xml_parts(text, size, head);
    if (starts.size() < 2)
        return false;
    const size_t n = starts.size();
    std::vector<XrOsmData> datas(n);
    std::vector<std::unique_ptr<Collector>> collectors;
    for (XrOsmData& d : datas)
        collectors.push_back(std::make_unique<Collector>(d));
    std::vector<char> read(n, 0);
    std::vector<std::thread> threads;
    for (size_t k = 0; k < n; ++k)
        threads.emplace_back([&, k] {
            const size_t from = starts[k], to = k + 1 < n ? starts[k + 1] : size;
            std::string part;
            part.reserve(head + (to - from) + 8);
            if (k > 0)
                part.append(text, head);
            part.append(text + from, to - from);
            if (k + 1 < n)
                part.append("</osm>\n");
            read[k] = read_part(part, *collectors[k]);
        });
    for (std::thread& t : threads)
        t.join();
    if (std::find(read.begin(), read.end(), 0) != read.end())
        return false;
    for (std::unique_ptr<Collector>& c : collectors)
        collector.absorb(*c);
    return true;
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

namespace {

// Puts what was read in id order and assembles the multipolygons.
bool finish(XrOsmData& data, Collector& collector)
{
    data.nodes.sort();
    sort_by_id(data.ways);
    sort_by_id(data.points);
    sort_by_id(data.restrictions);
    collector.assemble();
    sort_by_id(data.areas);
    return true;
}

} // namespace

bool xr_read_osm(const std::string& path, XrOsmData& data, std::string& error)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "cannot open " + path;
        return false;
    }
    Collector collector(data);
    try {
        osmium::io::File file(path);
        // A file of moderate size is mapped and parsed in place: the
        // reader's own reads take a fresh megabyte buffer each.
        Mapping mapping;
        if (mapping.open(path, WHOLE_FILE_LIMIT)) {
            if (file.format() == osmium::io::file_format::xml &&
                file.compression() == osmium::io::file_compression::none &&
                read_in_parts(static_cast<const char*>(mapping.data), mapping.size, collector))
                return finish(data, collector);
            osmium::io::File whole(static_cast<const char*>(mapping.data), mapping.size);
            whole.set_format(file.format());
            whole.set_compression(file.compression());
            file = whole;
        }
        // PBF blocks are decoded by a pool of threads; XML is parsed by the
        // reader's own thread, so it gets a pool of one.
        std::unique_ptr<osmium::thread::Pool> small_pool;
        if (file.format() != osmium::io::file_format::pbf)
            small_pool = std::make_unique<osmium::thread::Pool>(1);
        osmium::thread::Pool& pool = small_pool ? *small_pool : osmium::thread::Pool::default_instance();
        osmium::io::Reader reader(file, pool, osmium::osm_entity_bits::node | osmium::osm_entity_bits::way |
                                                  osmium::osm_entity_bits::relation);
        osmium::apply(reader, collector);
        reader.close();
    } catch (const std::exception& e) {
        error = path + " is not valid OSM data: " + e.what();
        return false;
    }
    return finish(data, collector);
}
