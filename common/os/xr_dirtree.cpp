#include "common/os/xr_dirtree.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "common/os/xr_file.h"

namespace {

// Entry names are at most 255 bytes, so at most 255 characters.
constexpr int name_capacity = 260;

using XrPathTable = XrHash<XrString, XrString>;

void normalise(XrString& path)
{
    if (path.find(L"\\") >= 0)
        path.replace(L"\\", L"/");
    int n = path.length();
    if (n > 0 && path.char_at(n - 1) == L'/')
        path.truncate(n - 1);
}

// The next entry name of the finder; false at the end and when a name would
// have been cut.
bool next_name(XrFileFinder& finder, TCHAR* name, bool& cut)
{
    if (!finder.get_next(name, name_capacity))
        return false;
    cut = wcslen(name) >= static_cast<std::size_t>(name_capacity - 1);
    return !cut;
}

// Index of the last '.' of the text, -1 when there is none.
int last_dot(const TCHAR* text)
{
    const TCHAR* dot = wcsrchr(text, L'.');
    return dot != nullptr ? static_cast<int>(dot - text) : -1;
}

} // namespace

bool collect_directory_tree(const XrString& from, const XrString& to, XrPathTable& directories, XrPathTable& files)
{
    if (!is_directory(from))
        return false;
    XrFileFinder finder;
    TCHAR name[name_capacity];
    bool cut = false;
    if (!finder.open(from, XrFileFinder::DIRECTORIES))
        return false;
    while (next_name(finder, name, cut)) {
        XrString source = from + L"/" + name;
        XrString destination = to + L"/" + name;
        if (!directories.insert(destination, source))
            return false;
        if (!collect_directory_tree(source, destination, directories, files))
            return false;
    }
    if (cut || !finder.open(from, XrFileFinder::FILES))
        return false;
    while (next_name(finder, name, cut)) {
        if (!files.insert(from + L"/" + name, to + L"/" + name))
            return false;
    }
    return !cut;
}

bool move_directory_tree(XrString& from, XrString& to)
{
    XrPathTable directories(100, false, 80);
    XrPathTable files(100, false, 80);
    normalise(from);
    normalise(to);
    if (!collect_directory_tree(XrString(from), XrString(to), directories, files))
        return false;

    XrPathTable::XrHashIterator dirs(directories);
    while (XrPathTable::XrHashSlot* s = dirs.get_next()) {
        if (!make_directories(s->key + L"/"))
            return false;
    }
    XrPathTable::XrHashIterator moves(files);
    while (XrPathTable::XrHashSlot* s = moves.get_next()) {
        if (!rename_file(s->key, s->value))
            return false;
    }

    // Emptied source folders go, the deepest first so that parents are empty
    // when their turn comes.
    std::vector<XrString> emptied;
    XrPathTable::XrHashIterator sources(directories);
    while (XrPathTable::XrHashSlot* s = sources.get_next()) {
        if (directories.find_ptr(s->value) == nullptr)
            emptied.push_back(s->value);
    }
    std::sort(emptied.begin(), emptied.end(),
              [](const XrString& a, const XrString& b) { return a.length() > b.length(); });
    for (const XrString& dir : emptied)
        remove_directory(dir);
    return true;
}

bool file_exists_ignoring_extension(const TCHAR* path)
{
    // The folder part (up to and including the last separator) and the file
    // name without its extension.
    const TCHAR* file_name = path;
    for (const TCHAR* p = path + (path[0] != 0 ? 1 : 0); *p != 0; ++p) {
        if (*p == L'/' || *p == L'\\')
            file_name = p + 1;
    }
    XrString folder(path, static_cast<int>(file_name - path));
    int dot = last_dot(file_name);
    XrString key(file_name, dot >= 0 ? dot : -1);

    XrFileFinder finder;
    if (!finder.open(folder, XrFileFinder::FILES))
        return false;
    TCHAR name[500];
    while (finder.get_next(name, 500)) {
        int d = last_dot(name);
        if (d >= 0)
            name[d] = 0;
        if (key == name)
            return true;
    }
    return false;
}
