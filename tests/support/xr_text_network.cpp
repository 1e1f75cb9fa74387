#include "support/xr_text_network.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <sstream>
#include <vector>

namespace {

std::vector<std::string> words_of(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

bool parse_int(const std::string& s, int& value)
{
    if (s.empty())
        return false;
    size_t used = 0;
    try {
        value = std::stoi(s, &used);
    } catch (const std::exception&) {
        return false;
    }
    return used == s.size();
}

bool is_blank(const std::string& s) { return s.find_first_not_of(" \t") == std::string::npos; }

struct GridLine {
    int number;         // line number in the text, for messages
    std::string cells;  // the characters after the bar, or the whole line
    bool labelled;
    int y;
};

// Sets the tag named column of e; false for an unknown column.
bool set_tag(XrNetworkEdge& e, const std::string& column, int v)
{
    if (column == "type")
        e.road_type = v;
    else if (column == "category")
        e.category = v;
    else if (column == "speed")
        e.speed_class = v;
    else if (column == "oneway")
        e.oneway = v;
    else if (column == "restricted")
        e.restricted = v != 0;
    else if (column == "tile")
        e.tile_flag = v != 0;
    else if (column == "named")
        e.named = v != 0;
    else if (column == "level")
        e.main_level = v;
    else
        return false;
    return true;
}

} // namespace

bool xr_parse_text_network(const std::string& text, const XrPoint& origin, const XrNetworkEdge& defaults,
                           XrTextNetwork& out, std::string& error)
{
    out = XrTextNetwork();
    auto fail = [&](int line, const std::string& message) {
        error = "line " + std::to_string(line) + ": " + message;
        return false;
    };
    int cell_w = 100, cell_h = 100;
    std::vector<GridLine> grid;
    std::vector<std::string> columns;
    bool in_table = false;
    // The points of the grid, once its last line is read.
    auto finish_grid = [&](int line) {
        if (grid.empty())
            return fail(line, "no grid before the way table");
        // Unlabelled lines keep their common indentation out of the columns.
        size_t indent = std::string::npos;
        if (!grid.front().labelled)
            for (const GridLine& g : grid)
                indent = std::min(indent, g.cells.find_first_not_of(" \t"));
        for (size_t row = 0; row < grid.size(); ++row) {
            GridLine& g = grid[row];
            if (!g.labelled) {
                g.cells.erase(0, indent);
                g.y = static_cast<int>(grid.size() - 1 - row) * cell_h;
            }
            for (size_t col = 0; col < g.cells.size(); ++col) {
                const char c = g.cells[col];
                if (!std::isalpha(static_cast<unsigned char>(c)))
                    continue;
                if (!out.points.emplace(c, XrPoint(origin.x + static_cast<int>(col) * cell_w, origin.y + g.y)).second)
                    return fail(g.number, std::string("letter ") + c + " drawn twice");
            }
        }
        return true;
    };
    std::istringstream in(text);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        const size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        if (is_blank(line))
            continue;
        const std::vector<std::string> words = words_of(line);
        if (in_table) {
            const std::string& letters = words[0];
            if (letters.size() < 2)
                return fail(number, "a way needs two letters or more: " + letters);
            if (words.size() != columns.size() + 1)
                return fail(number, "way " + letters + " has " + std::to_string(words.size() - 1) +
                                        " values for " + std::to_string(columns.size()) + " columns");
            if (out.ways.count(letters) != 0)
                return fail(number, "way " + letters + " given twice");
            XrNetworkEdge e = defaults;
            e.points.clear();
            for (char c : letters) {
                auto it = out.points.find(c);
                if (it == out.points.end())
                    return fail(number, std::string("way ") + letters + " names " + c + ", which the grid lacks");
                e.points.push_back(it->second);
            }
            for (size_t k = 0; k < columns.size(); ++k) {
                const std::string& value = words[k + 1];
                if (value == "-")
                    continue;
                int v = 0;
                if (!parse_int(value, v))
                    return fail(number, "way " + letters + ": " + columns[k] + " is not a number: " + value);
                set_tag(e, columns[k], v);
            }
            out.ways[letters] = out.net.edges.size();
            out.net.edges.push_back(std::move(e));
            continue;
        }
        if (words[0] == "way") {
            if (!finish_grid(number))
                return false;
            columns.assign(words.begin() + 1, words.end());
            XrNetworkEdge probe;
            for (const std::string& c : columns)
                if (!set_tag(probe, c, 0))
                    return fail(number, "unknown column " + c);
            in_table = true;
            continue;
        }
        if (words[0] == "cell" && grid.empty()) {
            if (words.size() < 2 || words.size() > 3 || !parse_int(words[1], cell_w) ||
                (words.size() == 3 && !parse_int(words[2], cell_h)) || cell_w <= 0)
                return fail(number, "cell takes one or two sizes in metres");
            if (words.size() == 2)
                cell_h = cell_w;
            if (cell_h <= 0)
                return fail(number, "cell takes one or two sizes in metres");
            continue;
        }
        // A number and a bar before the first drawn character label the line.
        GridLine g{number, line, false, 0};
        const size_t bar = line.find('|');
        if (bar != std::string::npos) {
            const std::vector<std::string> label = words_of(line.substr(0, bar));
            if (label.size() == 1 && parse_int(label[0], g.y)) {
                g.labelled = true;
                g.cells = line.substr(bar + 1);
            }
        }
        if (!grid.empty() && grid.front().labelled != g.labelled)
            return fail(number, "either every grid line has a label or none has");
        grid.push_back(g);
    }
    if (!in_table)
        return fail(number, grid.empty() ? "no grid" : "no way table");
    error.clear();
    return true;
}

XrTextNetwork xr_text_network(const std::string& text, const XrPoint& origin, const XrNetworkEdge& defaults)
{
    XrTextNetwork net;
    std::string error;
    if (!xr_parse_text_network(text, origin, defaults, net, error)) {
        ADD_FAILURE() << "road map: " << error;
        return XrTextNetwork();
    }
    return net;
}
