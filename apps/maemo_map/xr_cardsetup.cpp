#include "apps/maemo_map/xr_cardsetup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "apps/apps_common/xr_maprecovery.h"
#include "common/base/xr_root.h"
#include "common/container/xr_string.h"
#include "common/misc/xr_path_resolver.h"
#include "common/update/xr_mapcatalogue.h"

namespace fs = std::filesystem;

namespace {

const char* const shipped = "/usr/share/kestrova";
const char* const demo_map = "/usr/share/kestrova/atlantis";
// The shipped English voice set, and its folder below a card's map root:
// the voice root "kestrova/sounds" with the default voice folder.
const char* const shipped_voice = "/usr/share/kestrova/sounds/english";
const char* const card_voice = "kestrova/sounds/sound_eng";

// The program folder below a card's map folder, its sub-folders in creation
// order, and the marker written into it last: a program folder without the
// marker is a preparation that was cut off.
const char* const program_folder = "kestrova";
const char* const program_subfolders[] = {"legal", "fonts"};
const char* const prepared_marker = ".prepared";

// The shipped files copied into the program folder: source below the
// shipped folder ("*" names every file of the folder, "*.txt" those ending
// so), target folder below the program folder, and whether start-up needs it.
struct ShippedFile {
    const char* source;
    const char* target;
    bool required;
};
const ShippedFile shipped_files[] = {
    {"atlantis/maemo.reg", "", true},
    {"legal/*.txt", "legal", false},
    {"fonts/*", "fonts", false},
    {"penaltymap_DEFAULT.txt", "", false},
    {"strings_ENG.bin", "", false},
};

bool is_dir(const std::string& path)
{
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// The name with the 26 letters from `from` on turned into those from `to` on.
std::string fold_case(std::string name, char from, char to)
{
    for (char& c : name) {
        if (c >= from && c < from + 26)
            c = static_cast<char>(c - from + to);
    }
    return name;
}

std::string narrow(const TCHAR* wide)
{
    std::string out;
    for (const TCHAR* p = wide; *p != 0; ++p)
        out.push_back(static_cast<char>(*p));
    return out;
}

// fsync of a file or folder; folders of file systems that cannot sync them
// count as synced.
bool sync_path(const fs::path& path, bool folder)
{
    const int fd = ::open(path.c_str(), (folder ? O_RDONLY | O_DIRECTORY : O_WRONLY) | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0 || (folder && errno == EINVAL);
    ::close(fd);
    return ok;
}

// Copies one file to a new file (not yet synced).
bool copy_one_file(const fs::path& from, const fs::path& to)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    bool ok = out >= 0;
    char buffer[65536];
    while (ok) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            ok = w > 0;
            done += w > 0 ? w : 0;
        }
    }
    if (out >= 0 && ::close(out) != 0)
        ok = false;
    ::close(in);
    return ok;
}

// Copies a file, or a folder with its files and sub-folders (other kinds of
// entries are left out), to the new path `to` (not yet synced).
bool copy_tree(const fs::path& from, const fs::path& to)
{
    std::error_code ec;
    if (!fs::is_directory(from, ec))
        return copy_one_file(from, to);
    if (!fs::create_directory(to, ec))
        return false;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(it->path());
    if (ec)
        return false;
    std::sort(entries.begin(), entries.end());
    for (const fs::path& entry : entries) {
        const fs::file_status st = fs::symlink_status(entry, ec);
        if (fs::is_directory(st) || fs::is_regular_file(st)) {
            if (!copy_tree(entry, to / entry.filename()))
                return false;
        }
    }
    return true;
}

// Makes a copied file or tree durable: a file by its own sync, a tree by
// one sync of its file system (one flush for all its files, where a voice
// set has dozens); where the file system refuses that, each file and folder
// on its own.
bool sync_tree(const fs::path& path)
{
    std::error_code ec;
    if (fs::is_regular_file(path, ec))
        return sync_path(path, false);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::syncfs(fd) == 0;
    ::close(fd);
    if (synced)
        return true;
    if (!fs::is_directory(path, ec))
        return sync_path(path, false);
    for (fs::recursive_directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
        const bool folder = it->is_directory(ec);
        if (!sync_path(it->path(), folder))
            return false;
    }
    return !ec && sync_path(path, true);
}

// Installs a shipped file or folder as `target`: the copy is made under the
// name `temporary` (in a folder of the same file system), synced, renamed
// to target and the folders of both synced, so that target is either whole
// or absent whenever the copy is cut off. What an earlier cut-off copy left
// at temporary is removed first. A file target is replaced; a folder target
// must not exist. Sync::later leaves the syncs to the caller, who syncs the
// whole folder before anything counts on its files (one flush for many).
enum class Sync { now, later };

bool install_copy(const fs::path& source, const fs::path& target, const fs::path& temporary, Sync sync = Sync::now)
{
    std::error_code ec;
    fs::remove_all(temporary, ec);
    if (ec) {
        std::fprintf(stderr, "kestrova-navigator: cannot remove %s: %s\n", temporary.c_str(), ec.message().c_str());
        return false;
    }
    if (!copy_tree(source, temporary) || (sync == Sync::now && !sync_tree(temporary))) {
        std::fprintf(stderr, "kestrova-navigator: cannot copy %s to %s: %s\n", source.c_str(), temporary.c_str(),
                     std::strerror(errno));
        fs::remove_all(temporary, ec);
        return false;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        std::fprintf(stderr, "kestrova-navigator: cannot rename %s to %s: %s\n", temporary.c_str(), target.c_str(),
                     std::strerror(errno));
        fs::remove_all(temporary, ec);
        return false;
    }
    return sync == Sync::later || (sync_path(target.parent_path(), true) &&
                                   (temporary.parent_path() == target.parent_path() ||
                                    sync_path(temporary.parent_path(), true)));
}

// The hidden temporary name ".<name>.partial" of a folder being installed.
std::string hidden_partial(const fs::path& folder)
{
    std::string name(1, '.');
    name += folder.filename().string();
    name += ".partial";
    return name;
}

// A file copied through the temporary name "<name>.partial" beside it.
bool install_file(const fs::path& source, const fs::path& target, Sync sync = Sync::now)
{
    return install_copy(source, target, target.parent_path() / (target.filename().string() + ".partial"), sync);
}

// The folders this start made, removed again (newest first) on failure.
class Made {
public:
    // Makes path (and missing parents), remembering each folder it made.
    bool make(const fs::path& path)
    {
        std::vector<fs::path> missing;
        for (fs::path p = path; !p.empty() && !is_dir(p.string()); p = p.parent_path()) {
            missing.push_back(p);
            if (p == p.parent_path())
                break;
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
            std::error_code ec;
            if (!fs::create_directory(*it, ec) && !is_dir(it->string())) {
                std::fprintf(stderr, "kestrova-navigator: cannot make %s: %s\n", it->c_str(), ec.message().c_str());
                return false;
            }
            folders.push_back(*it);
        }
        return true;
    }
    void add(const fs::path& p) { folders.push_back(p); }
    void undo()
    {
        for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
            std::error_code ec;
            fs::remove_all(*it, ec);
        }
        folders.clear();
    }

private:
    std::vector<fs::path> folders;
};

// Copies the matching files of a shipped pattern into the program folder
// `folder`, each through a temporary name (synced with the folder later). A missing optional source is
// only reported; so is a missing required one whose target the folder
// already holds (whole, by the way it was copied).
bool copy_shipped(const ShippedFile& f, const fs::path& folder)
{
    const fs::path source = fs::path(XrRoot::path(shipped)) / f.source;
    const fs::path target = folder / f.target;
    const std::string name = source.filename().string();
    std::vector<fs::path> files;
    std::error_code ec;
    if (name.find('*') == std::string::npos) {
        if (fs::is_regular_file(source, ec))
            files.push_back(source);
    } else {
        const std::string suffix = name.substr(name.find('*') + 1);
        for (fs::directory_iterator it(source.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
            const std::string n = it->path().filename().string();
            if (it->is_regular_file() && n.size() >= suffix.size() &&
                n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0)
                files.push_back(it->path());
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "kestrova-navigator: no shipped %s\n", source.c_str());
        return !f.required || (name.find('*') == std::string::npos && fs::is_regular_file(target / name, ec));
    }
    for (const fs::path& file : files) {
        if (!install_file(file, target / file.filename(), Sync::later))
            return false;
    }
    return true;
}

// Writes the empty marker file into the program folder through a
// temporary name; the folder is complete once it is there.
bool write_marker(const fs::path& folder)
{
    const fs::path marker = folder / prepared_marker;
    const fs::path temporary = folder / (std::string(prepared_marker) + ".partial");
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(temporary.c_str(), marker.c_str()) != 0 ||
        !sync_path(folder, true)) {
        std::fprintf(stderr, "kestrova-navigator: cannot write %s: %s\n", marker.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

bool is_prepared(const fs::path& folder)
{
    std::error_code ec;
    return fs::is_regular_file(folder / prepared_marker, ec);
}

// Fills a program folder (sub-folders, shipped files), syncs it and writes
// its marker last. Every file arrives whole or not at all, so a folder
// filled before is finished in place; the marker counts on synced files.
bool fill_program_folder(const fs::path& folder)
{
    std::error_code ec;
    for (const char* sub : program_subfolders) {
        if (!fs::create_directories(folder / sub, ec) && !is_dir((folder / sub).string())) {
            std::fprintf(stderr, "kestrova-navigator: cannot make %s: %s\n", (folder / sub).c_str(),
                         ec.message().c_str());
            return false;
        }
    }
    for (const ShippedFile& f : shipped_files) {
        if (!copy_shipped(f, folder))
            return false;
    }
    return sync_tree(folder) && write_marker(folder);
}

// Copies the shipped demo map into folder (made here; it must not exist).
bool copy_demo_map(const fs::path& folder, Made& made)
{
    const fs::path source = XrRoot::path(demo_map);
    if (!is_dir(source.string())) {
        std::fprintf(stderr, "kestrova-navigator: no demo map in %s\n", source.c_str());
        return false;
    }
    // A cut-off copy must not pass for a map at the next start: the
    // temporary name does not begin with "mapdata".
    if (!install_copy(source, folder, folder.parent_path() / hidden_partial(folder)))
        return false;
    made.add(folder);
    return true;
}

} // namespace

bool xr_ensure_user_settings(bool& first_start)
{
    const fs::path folder = XrRoot::home_dir() + "/.kestrova";
    first_start = !is_dir(folder.string());
    const fs::path file = folder / "settings.txt";
    std::error_code ec;
    // An empty file (created by a start that found no room) holds no
    // settings: the shipped ones replace it.
    if (fs::is_regular_file(file, ec) && fs::file_size(file, ec) > 0 && !ec)
        return true;
    fs::create_directories(folder, ec);
    const fs::path source = XrRoot::path("/usr/share/kestrova/settings.txt");
    if (!install_file(source, file)) {
        std::fprintf(stderr, "kestrova-navigator: no settings file copied from %s\n", source.c_str());
        return false;
    }
    return true;
}

bool xr_folder_holds_map_data(const std::string& folder)
{
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_directory(ec) && fold_case(it->path().filename().string(), 'A', 'a').rfind("mapdata", 0) == 0)
            return true;
    }
    return false;
}

bool xr_prepare_card(XrCardSetup& setup)
{
    forget_map_card_root();
    if (const TCHAR* root = find_map_card_root()) {
        setup.map_root = narrow(root);
        setup.ambiguous = xr_folder_holds_map_data(XrRoot::path("/media/mmc1/map")) &&
                          xr_folder_holds_map_data(XrRoot::path("/media/mmc2/map"));
        const fs::path folder = fs::path(setup.map_root) / program_folder;
        if (!is_prepared(folder)) {
            // Made by a start that was cut off (or by hand): finished here.
            std::error_code ec;
            fs::remove_all(fs::path(setup.map_root) / hidden_partial(folder), ec);
            if (!fill_program_folder(folder)) {
                forget_map_card_root();
                return false;
            }
        }
        xr_install_voice_set(setup.map_root);
        xr_install_addons(setup.map_root);
        return true;
    }
    // The program folder is filled under a hidden name and renamed into
    // place last, after the demo map: a card is found only once both are
    // whole, and a cut-off preparation is made again at the next start.
    bool ok = false;
    for (const char* card : {"/media/mmc2", "/media/mmc1"}) {
        // Only a mounted card is prepared: its mount point must exist.
        if (!is_dir(XrRoot::path(card)))
            continue;
        Made made;
        const fs::path map = XrRoot::path(std::string(card) + "/map");
        const fs::path folder = map / program_folder;
        const fs::path partial = map / hidden_partial(folder);
        std::error_code ec;
        fs::remove_all(partial, ec);
        const bool begun = made.make(map) && made.make(partial);
        ok = begun && fill_program_folder(partial);
        // A map the user already has stays as it is.
        if (ok && !is_dir((map / "mapdata").string()))
            ok = copy_demo_map(map / "mapdata", made);
        if (ok && ::rename(partial.c_str(), folder.c_str()) != 0) {
            std::fprintf(stderr, "kestrova-navigator: cannot rename %s: %s\n", partial.c_str(), std::strerror(errno));
            ok = false;
        }
        ok = ok && sync_path(map, true);
        if (ok)
            break;
        made.undo();
        // Another card is tried only when this one could not even be begun.
        if (begun)
            break;
    }
    forget_map_card_root();
    const TCHAR* root = ok ? find_map_card_root() : nullptr;
    if (root == nullptr) {
        std::fprintf(stderr, "kestrova-navigator: no memory card to prepare\n");
        return false;
    }
    setup.map_root = narrow(root);
    setup.demo_map = true;
    xr_install_voice_set(setup.map_root);
    xr_install_addons(setup.map_root);
    return true;
}

bool xr_install_voice_set(const std::string& map_root)
{
    const fs::path target = fs::path(map_root) / card_voice;
    // A voice set on the card, whole by the way it is installed, is kept.
    if (is_dir(target.string()))
        return true;
    const fs::path source = XrRoot::path(shipped_voice);
    if (!is_dir(source.string())) {
        std::fprintf(stderr, "kestrova-navigator: no shipped voice set in %s; guidance is silent\n", source.c_str());
        return false;
    }
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    // The copy grows beside the voice root, where no voice set is looked for.
    const fs::path temporary = target.parent_path().parent_path() / hidden_partial(target);
    return install_copy(source, target, temporary);
}

bool xr_install_addons(const std::string& map_root)
{
    const fs::path target = fs::path(map_root) / "extensions" / "addons";
    // A card with an add-on folder keeps it as it is (add-ons removed by
    // the user stay removed).
    if (is_dir(target.string()))
        return true;
    const fs::path source = XrRoot::path("/usr/share/kestrova-addons");
    if (!is_dir(source.string()))
        return true;
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    return install_copy(source, target, target.parent_path() / hidden_partial(target));
}

bool xr_ensure_active_map(XrCardSetup& setup)
{
    const fs::path active = fs::path(setup.map_root) / "mapdata";
    if (is_dir(active.string()))
        return true;
    setup.demo_map = true;
    {
        // The first installed map that is not marked damaged.
        XrMapCatalogue catalogue(from_platform_path(setup.map_root.c_str()), XrString(L"mapdata"));
        for (int i = 0; i < catalogue.get_count(); ++i) {
            if (xr_map_marked_corrupted(narrow(catalogue.get_item(i)->get_path().c_str())))
                continue;
            if (catalogue.activate_map(i, true) && is_dir(active.string()))
                return true;
            break;
        }
    }
    Made made;
    if (copy_demo_map(active, made))
        return true;
    made.undo();
    return false;
}

bool xr_check_packages(const XrCardSetup& setup)
{
    struct stat program;
    if (stat(XrRoot::path("/usr/bin/kestrova").c_str(), &program) != 0)
        return false;
    const time_t threshold = program.st_mtime + 86400;
    bool announce = false;
    std::error_code ec;
    const fs::path top = fs::path(setup.map_root).parent_path().parent_path();
    for (fs::directory_iterator it(top, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec))
            continue;
        const std::string n = fold_case(it->path().filename().string(), 'a', 'A');
        if (n.size() < 12 || n.compare(0, 8, "KESTROVA") != 0 || n.compare(n.size() - 4, 4, ".DEB") != 0)
            continue;
        struct stat package;
        if (stat(it->path().c_str(), &package) != 0 || package.st_mtime <= threshold)
            continue;
        struct utimbuf stamp = {threshold, threshold};
        announce = utime(it->path().c_str(), &stamp) == 0;
    }
    const fs::path version = XrRoot::path("/usr/share/kestrova/version.txt");
    if (fs::is_regular_file(version, ec))
        install_file(version, fs::path(setup.map_root) / "version.txt");
    return announce;
}
