// updatesim-content CONTENT MAPDIR VOICEDIR
//
// Fills the update server's content folder with two components it offers:
// the compiled map in MAPDIR as the map "Second" (GUID "map_second",
// installed into "mapdata_Second") and the voice set in VOICEDIR as the
// voice set "Second voice" (GUID "voice_second", installed into
// "kestrova/sounds/sound_second", described by its "version.txt"); with
// their component file lists ("components/<guid>.ber") and the lists
// "map.lst" and "speaker.lst". Each file is written under a temporary name
// and renamed into place.
#include "common/ber/xr_propertybag.h"
#include "common/misc/xr_md5.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string md5_hex(const std::string& bytes)
{
    XrMD5Context ctx;
    md5_init(ctx);
    md5_update(ctx, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
    BYTE digest[16];
    md5_final(ctx, digest);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (BYTE b : digest)
        out += std::string{hex[b >> 4], hex[b & 15]};
    return out;
}

bool read_file(const fs::path& path, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool write_file(const fs::path& path, const std::string& bytes)
{
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    const fs::path tmp = path.string() + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush())
            return false;
    }
    fs::rename(tmp, path, ec);
    return !ec;
}

struct Component {
    std::string guid, title, folder;
    // File names and bytes.
    std::vector<std::pair<std::string, std::string>> files;
};

// The component's files below components/<guid>/1.0.0.0/ and its file list.
bool write_component(const fs::path& content, const Component& c, std::int64_t& total)
{
    XrPropertyBag list;
    auto* bag = new XrPropertyBag;
    bag->add_string(2, XrString(c.guid.c_str()));
    bag->add_string(3, XrString(c.title.c_str()));
    const int version[4] = {1, 0, 0, 0};
    for (int k = 0; k < 4; ++k)
        bag->add_int(4 + k, version[k]);
    bag->add_int(10, 0);
    bag->add_string(9, XrString(c.folder.c_str()));
    total = 0;
    for (const auto& [name, bytes] : c.files) {
        if (!write_file(content / "components" / c.guid / "1.0.0.0" / name, bytes))
            return false;
        auto* file = new XrPropertyBag;
        file->add_string(1, XrString(name.c_str()));
        file->add_string(2, XrString(md5_hex(bytes).c_str()));
        file->add_int(3, static_cast<std::int32_t>(bytes.size()));
        file->add_int(5, 1);
        bag->add_bag(8, file);
        total += static_cast<std::int64_t>(bytes.size());
    }
    list.add_bag(1, bag);
    XrByteArray out;
    if (list.encode(out) != XrPropertyBag::OK)
        return false;
    return write_file(content / "components" / (c.guid + ".ber"),
                      std::string(reinterpret_cast<const char*>(out.get_items()), out.get_num_items()));
}

// The regular files directly in a folder, by name.
bool folder_files(const fs::path& folder, std::vector<std::pair<std::string, std::string>>& files)
{
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (!entry.is_regular_file())
            continue;
        std::string bytes;
        if (!read_file(entry.path(), bytes))
            return false;
        files.emplace_back(entry.path().filename().string(), std::move(bytes));
    }
    return !ec && !files.empty();
}

int fail(const std::string& what)
{
    std::fprintf(stderr, "updatesim-content: %s\n", what.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return fail("usage: updatesim-content CONTENT MAPDIR VOICEDIR");
    const fs::path content = argv[1];

    Component map{"map_second", "Second", "mapdata_Second", {}};
    if (!folder_files(argv[2], map.files))
        return fail(std::string(argv[2]) + ": no map files");
    bool named = false;
    for (auto& [name, bytes] : map.files) {
        if (name == "mapdata.ini") {
            // The map's name: the first "name=" line.
            const auto at = bytes.rfind("name=", 0) == 0 ? 0 : bytes.find("\nname=");
            if (at != std::string::npos) {
                const auto from = at == 0 ? 5 : at + 6;
                bytes.replace(from, bytes.find('\n', from) - from, "Second");
                named = true;
            }
        } else if (name == "version.txt") {
            bytes = "GUID: map_second\nVersion: 1.0\nMap version: 8\n";
        }
    }
    if (!named)
        return fail(std::string(argv[2]) + ": no \"name=\" in mapdata.ini");

    Component voice{"voice_second", "Second voice", "kestrova/sounds/sound_second", {}};
    if (!folder_files(argv[3], voice.files))
        return fail(std::string(argv[3]) + ": no voice files");
    voice.files.erase(std::remove_if(voice.files.begin(), voice.files.end(),
                                     [](const auto& f) { return f.first == "version.txt"; }),
                      voice.files.end());
    voice.files.emplace_back("version.txt", "Title: Soundset Second voice\nLanguage: English\nGUID: voice_second\n");

    std::int64_t map_total = 0, voice_total = 0;
    if (!write_component(content, map, map_total) || !write_component(content, voice, voice_total))
        return fail(content.string() + ": cannot write the components");
    // Records: name;GUID;size;bytes needed[;version].
    if (!write_file(content / "map.lst", "Second;map_second;" + std::to_string(map_total) + ";" +
                                             std::to_string(map_total * 2) + ";8\n") ||
        !write_file(content / "speaker.lst", "Second voice;voice_second;" + std::to_string(voice_total) + ";" +
                                                 std::to_string(voice_total * 2) + "\n"))
        return fail(content.string() + ": cannot write the lists");
    std::printf("update content in %s: map \"Second\" (%lld bytes), voice set \"Second voice\" (%lld bytes)\n",
                content.string().c_str(), static_cast<long long>(map_total), static_cast<long long>(voice_total));
    return 0;
}
