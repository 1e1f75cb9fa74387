#include "apps/apps_common/xr_maprecovery.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "common/container/xr_string.h"
#include "common/misc/xr_path_resolver.h"
#include "common/update/xr_mapcatalogue.h"

namespace fs = std::filesystem;

namespace {

const char* const demo_name = "Atlantis";

std::string narrow(const XrString& wide)
{
    std::string out;
    for (const TCHAR* p = wide.c_str(); *p != 0; ++p)
        out.push_back(static_cast<char>(*p));
    return out;
}

bool sync_folder(const fs::path& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

// Writes a marker file (one line) through a temporary name.
bool write_marker(const fs::path& folder, const char* name, const std::string& line)
{
    const fs::path temporary = folder / (std::string(name) + ".partial");
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const std::string text = line + "\n";
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), (folder / name).c_str()) == 0 && sync_folder(folder);
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
}

// Copies the demo map into `active` (which must not exist): the copy grows
// under a hidden name that is no map folder, is synced and renamed last.
bool install_demo(const fs::path& demo, const fs::path& active, std::string& reason)
{
    const fs::path temporary = active.parent_path() / ".mapdata.partial";
    std::error_code ec;
    fs::remove_all(temporary, ec);
    fs::copy(demo, temporary, fs::copy_options::recursive, ec);
    bool ok = !ec && write_marker(temporary, xr_recovered_marker, "installed by the map recovery");
    if (ok) {
        const int fd = ::open(temporary.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ok = fd >= 0 && ::syncfs(fd) == 0;
        if (fd >= 0)
            ::close(fd);
    }
    ok = ok && ::rename(temporary.c_str(), active.c_str()) == 0 && sync_folder(active.parent_path());
    if (!ok) {
        reason = "the demo map could not be copied from " + demo.string() + ": " +
                 (ec ? ec.message() : std::string(std::strerror(errno)));
        fs::remove_all(temporary, ec);
    }
    return ok;
}

} // namespace

bool xr_map_marked_corrupted(const std::string& folder)
{
    std::error_code ec;
    return fs::exists(fs::path(folder) / xr_corrupted_marker, ec);
}

XrMapRecoveryResult xr_recover_corrupted_map(const std::string& card_root, const std::string& demo,
                                             std::string& reason)
{
    const fs::path root(card_root);
    const fs::path active = root / "mapdata";
    std::error_code ec;
    const bool has_active = fs::is_directory(active, ec);
    if (has_active && fs::exists(active / xr_recovered_marker, ec)) {
        reason = "the demo map put in place by the last recovery cannot be opened either";
        return XrMapRecoveryResult::GAVE_UP;
    }
    if (has_active && !write_marker(active, xr_corrupted_marker, "this map could not be opened")) {
        reason = "the damaged map could not be marked: " + std::string(std::strerror(errno));
        return XrMapRecoveryResult::GAVE_UP;
    }

    // An installed demo map, not itself damaged, is activated.
    XrMapCatalogue catalogue(from_platform_path(card_root.c_str()), XrString(L"mapdata"));
    for (int i = 0; i < catalogue.get_count(); ++i) {
        XrMapEntry* entry = catalogue.get_item(i);
        if (entry->is_active() || narrow(entry->get_name()) != demo_name ||
            xr_map_marked_corrupted(narrow(entry->get_path())))
            continue;
        if (!catalogue.activate_map(i, false) || !fs::is_directory(active, ec)) {
            reason = "the installed demo map could not be activated";
            return XrMapRecoveryResult::GAVE_UP;
        }
        if (!write_marker(active, xr_recovered_marker, "activated by the map recovery")) {
            reason = "the activated demo map could not be marked: " + std::string(std::strerror(errno));
            return XrMapRecoveryResult::GAVE_UP;
        }
        return XrMapRecoveryResult::RESTART;
    }

    // Otherwise the damaged folder moves aside, whole, and a copy comes in.
    if (has_active) {
        fs::path aside = root / "mapdata_Corrupted";
        for (int n = 2; fs::exists(aside, ec) || fs::is_symlink(aside, ec); ++n)
            aside = root / ("mapdata_Corrupted" + std::to_string(n));
        if (::rename(active.c_str(), aside.c_str()) != 0 || !sync_folder(root)) {
            reason = "the damaged map could not be moved to " + aside.string() + ": " + std::strerror(errno);
            return XrMapRecoveryResult::GAVE_UP;
        }
    }
    if (!fs::is_directory(demo, ec)) {
        reason = "no demo map in " + demo;
        return XrMapRecoveryResult::GAVE_UP;
    }
    return install_demo(demo, active, reason) ? XrMapRecoveryResult::RESTART : XrMapRecoveryResult::GAVE_UP;
}

void xr_map_recovery_confirm(const std::string& card_root)
{
    const fs::path marker = fs::path(card_root) / "mapdata" / xr_recovered_marker;
    std::error_code ec;
    if (fs::exists(marker, ec) && fs::remove(marker, ec))
        sync_folder(marker.parent_path());
}
