#include "common/update/xr_soundsetcatalogue.h"

#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_file.h"
#include "common/update/xr_cataloguehost.h"
#include "common/update/xr_versionfile.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

const TCHAR soundset_prefix[] = L"Soundset ";
constexpr int soundset_prefix_len = 9;

bool has_files(const XrString& folder)
{
    bool found = false;
    for_each_folder_entry(folder, XrFileFinder::FILES, [&](const XrString&) {
        found = true;
        return false;
    });
    return found;
}

// The two steps of the voice folder search below one root; 1 found, 0 not
// found, -1 the root cannot be listed.
int search_voice_folder(const XrString& root, XrString& name)
{
    if (name.length() > 0 && has_files(root + L"/" + name))
        return 1;
    XrString first;
    if (!for_each_folder_entry(root, XrFileFinder::DIRECTORIES, [&](const XrString& sub) {
            first = sub;
            return false;
        }))
        return -1;
    if (first.length() == 0)
        return 0;
    name = first;
    return 1;
}

} // namespace

XrSoundsetCatalogue::XrSoundsetCatalogue(const XrString& root) : m_root(root)
{
    scan();
}

XrSoundsetCatalogue::~XrSoundsetCatalogue()
{
    for (int i = 0; i < m_entries.get_num_items(); ++i)
        delete m_entries.get_item(i);
}

void XrSoundsetCatalogue::scan()
{
    std::vector<XrSoundsetEntry*> found;
    // An entry for the folder when its "version.txt" can be read.
    auto add = [&](const XrString& path) {
        XrVersionFile version;
        if (!version.load(path + L"/version.txt"))
            return false;
        XrString title = version.get(L"Title");
        if (title.length() > soundset_prefix_len
            && wide_strncmp(title.c_str(), soundset_prefix, soundset_prefix_len) == 0)
            title = XrString(title.c_str_at(soundset_prefix_len));
        XrSoundsetEntry* entry = new (std::nothrow)
            XrSoundsetEntry(path, title, version.get(L"Language"), version.get(L"GUID"));
        if (entry != nullptr)
            found.push_back(entry);
        return true;
    };
    for_each_folder_entry(m_root, XrFileFinder::DIRECTORIES, [&](const XrString& language_folder) {
        const XrString language_path = m_root + L"/" + language_folder;
        // A described folder right below the root is a voice set itself:
        // the folder the voice settings name and the prompts play from.
        if (add(language_path))
            return true;
        for_each_folder_entry(language_path, XrFileFinder::DIRECTORIES, [&](const XrString& voice_folder) {
            add(language_path + L"/" + voice_folder);
            return true;
        });
        return true;
    });
    std::stable_sort(found.begin(), found.end(), [](const XrSoundsetEntry* a, const XrSoundsetEntry* b) {
        return wide_strcmp(a->get_title().c_str(), b->get_title().c_str()) < 0;
    });
    for (XrSoundsetEntry* entry : found) {
        if (!m_entries.append(entry))
            delete entry;
    }
}

XrSoundsetEntry* XrSoundsetCatalogue::get_item(int i) const
{
    if (i < 0 || i >= m_entries.get_num_items())
        return nullptr;
    return m_entries.get_item(i);
}

XrString XrSoundsetCatalogue::get_voice_root()
{
    XrString path((int)R_STR_PATH_SOUNDS);
    // Without a catalogue for the locale the text is the message key: the
    // voice root is then the English one.
    const char* key = get_message_key(R_STR_PATH_SOUNDS);
    if (path.is_empty() || (key != nullptr && path == XrString(key)))
        path = XrString(L"?:\\kestrova\\sounds");
    return XrPathResolver::resolve(path);
}

XrString XrSoundsetCatalogue::get_default_voice_folder()
{
    return XrPathResolver::resolve(XrString(L"?:\\kestrova\\sounds\\sound_eng"));
}

bool XrSoundsetCatalogue::find_voice_folder(XrString& name, bool search)
{
    XrCatalogueHost* host = XrCatalogueHost::get_instance();
    name = host != nullptr ? host->get_voice_folder_name() : XrString();
    if (!search)
        return true;
    int found = search_voice_folder(get_voice_root(), name);
    if (found < 0)
        found = search_voice_folder(get_default_voice_folder(), name);
    return found > 0;
}

bool XrSoundsetCatalogue::list_voice_folders(XrArray<XrString>& names)
{
    auto add = [&](const XrString& sub) {
        names.append(sub);
        return true;
    };
    return for_each_folder_entry(get_voice_root(), XrFileFinder::DIRECTORIES, add) ||
           for_each_folder_entry(get_default_voice_folder(), XrFileFinder::DIRECTORIES, add);
}

bool get_content_folder(XrString& folder, bool search)
{
    return XrSoundsetCatalogue::find_voice_folder(folder, search);
}

bool get_content_folder(XrString* folder, bool search)
{
    return folder != nullptr && XrSoundsetCatalogue::find_voice_folder(*folder, search);
}

bool list_soundset_folders(XrArray<XrString>& names)
{
    return XrSoundsetCatalogue::list_voice_folders(names);
}
