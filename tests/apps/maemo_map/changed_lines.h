// Settings files compared line by line: what a save changed.
#pragma once

#include <sstream>
#include <string>
#include <vector>

// The lines of a text, without their carriage returns.
inline std::vector<std::string> xr_lines_of(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out.push_back(line);
    }
    return out;
}

// The lines of `after` that are not at the same place in `before`; a line
// of `before` with nothing after it at its place shows as "<lost: line>".
inline std::vector<std::string> xr_changed_lines(const std::string& before, const std::string& after)
{
    const std::vector<std::string> a = xr_lines_of(before);
    const std::vector<std::string> b = xr_lines_of(after);
    std::vector<std::string> out;
    for (size_t i = 0; i < b.size() || i < a.size(); ++i)
        if (i >= a.size() || i >= b.size() || a[i] != b[i])
            out.push_back(i < b.size() ? b[i] : "<lost: " + a[i] + ">");
    return out;
}
