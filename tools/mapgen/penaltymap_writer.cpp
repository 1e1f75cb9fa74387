#include "tools/mapgen/penaltymap_writer.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

std::string build_penalty_map(const std::vector<std::pair<int, int>>& rows)
{
    std::string text = "REGEDIT4\r\n\r\n[\\penalty_table]\r\n";
    for (const auto& row : rows)
        text += std::to_string(row.first) + "=" + std::to_string(row.second) + "\r\n";
    return text;
}

bool write_penalty_map(const std::string& path, const std::vector<std::pair<int, int>>& rows)
{
    const std::string text = build_penalty_map(rows);
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
