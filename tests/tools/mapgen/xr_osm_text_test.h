// Test helper: OpenStreetMap XML written by tests, with nodes placed in
// metres east and north of a fixed point, and the shortest distance over its
// roads as a reference for the routes of the compiled map.
#pragma once

#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

constexpr double LAT0 = 60.0;
constexpr double LON0 = 25.0;

// OSM XML with nodes placed in metres east and north of LAT0, LON0.
class OsmText {
public:
    void node(int id, double east, double north, const std::map<std::string, std::string>& tags = {})
    {
        at_[id] = {east, north};
        char buf[160];
        std::snprintf(buf, sizeof buf, "  <node id=\"%d\" lat=\"%.7f\" lon=\"%.7f\"", id, lat(north), lon(east));
        body += buf;
        if (tags.empty()) {
            body += "/>\n";
            return;
        }
        body += ">\n" + tag_text(tags) + "  </node>\n";
    }
    void way(int id, const std::vector<int>& refs, const std::map<std::string, std::string>& tags)
    {
        if (tags.count("highway") != 0)
            roads_.push_back(refs);
        body += "  <way id=\"" + std::to_string(id) + "\">\n";
        for (int r : refs)
            body += "    <nd ref=\"" + std::to_string(r) + "\"/>\n";
        body += tag_text(tags) + "  </way>\n";
    }
    void restriction(int id, int from, int via, int to, const std::string& kind)
    {
        body += "  <relation id=\"" + std::to_string(id) + "\">\n    <member type=\"way\" ref=\"" +
                std::to_string(from) + "\" role=\"from\"/>\n    <member type=\"node\" ref=\"" + std::to_string(via) +
                "\" role=\"via\"/>\n    <member type=\"way\" ref=\"" + std::to_string(to) +
                "\" role=\"to\"/>\n" + tag_text({{"type", "restriction"}, {"restriction", kind}}) + "  </relation>\n";
    }
    // A multipolygon relation of outer and inner ways.
    void multipolygon(int id, const std::vector<int>& outer, const std::vector<int>& inner,
                      const std::map<std::string, std::string>& tags)
    {
        body += "  <relation id=\"" + std::to_string(id) + "\">\n";
        for (int w : outer)
            body += "    <member type=\"way\" ref=\"" + std::to_string(w) + "\" role=\"outer\"/>\n";
        for (int w : inner)
            body += "    <member type=\"way\" ref=\"" + std::to_string(w) + "\" role=\"inner\"/>\n";
        auto all = tags;
        all["type"] = "multipolygon";
        body += tag_text(all) + "  </relation>\n";
    }
    std::string text() const { return "<?xml version=\"1.0\"?>\n<osm version=\"0.6\">\n" + body + "</osm>\n"; }

    static double lat(double north) { return LAT0 + north / 111320.0; }
    static double lon(double east) { return LON0 + east / (111320.0 * std::cos(LAT0 * M_PI / 180)); }
    // "LAT,LON" for kestrova-probe route.
    static std::string at(double east, double north)
    {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.7f,%.7f", lat(north), lon(east));
        return buf;
    }

    // The shortest distance along the highway ways (both ways, in metres)
    // from node a to node b; -1 when b cannot be reached.
    double reference_length(int a, int b) const
    {
        std::map<int, std::vector<std::pair<int, double>>> next;
        for (const auto& refs : roads_)
            for (size_t i = 1; i < refs.size(); ++i) {
                const auto& p = at_.at(refs[i - 1]);
                const auto& q = at_.at(refs[i]);
                const double d = std::hypot(p.first - q.first, p.second - q.second);
                next[refs[i - 1]].push_back({refs[i], d});
                next[refs[i]].push_back({refs[i - 1], d});
            }
        std::map<int, double> best{{a, 0.0}};
        std::set<std::pair<double, int>> open{{0.0, a}};
        while (!open.empty()) {
            const auto [d, n] = *open.begin();
            open.erase(open.begin());
            if (n == b)
                return d;
            for (const auto& [m, l] : next[n]) {
                auto it = best.find(m);
                if (it != best.end() && it->second <= d + l)
                    continue;
                if (it != best.end())
                    open.erase({it->second, m});
                best[m] = d + l;
                open.insert({d + l, m});
            }
        }
        return -1;
    }
    // "LAT,LON" of a node.
    std::string at_node(int id) const { return at(at_.at(id).first, at_.at(id).second); }

private:
    static std::string tag_text(const std::map<std::string, std::string>& tags)
    {
        std::string t;
        for (const auto& [k, v] : tags)
            t += "    <tag k=\"" + k + "\" v=\"" + v + "\"/>\n";
        return t;
    }
    std::string body;
    std::map<int, std::pair<double, double>> at_;
    std::vector<std::vector<int>> roads_;
};
