#include "common/extension/xr_extension.h"

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <vector>

#include "common/ber/xr_berreader.h"
#include "common/ber/xr_berrecord.h"
#include "common/config/xr_configuration.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/misc/xr_path_resolver.h"
#include "common/misc/xr_textutil.h"
#include "common/os/xr_file.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

const TCHAR* const registry_key = L"\\extensions";

struct ExtensionPathPrefix {
    const TCHAR* prefix;
    const TCHAR* replacement;
};

const ExtensionPathPrefix path_prefixes[] = {
    {L"e:/poi", L"?:/mapdata/poi"},
    {L"e:/mapdata", L"?:/mapdata"},
    {L"e:/extensions", L"?:/extensions"},
};

const TCHAR* const state_texts[] = {
    nullptr, L"unhandled", L"installing", L"invalid", L"installed", L"ignored", L"deleted",
};

bool is_separator(TCHAR c)
{
    return c == L'/' || c == L'\\';
}

// The prefix entry a path begins with, or null.
const ExtensionPathPrefix* find_prefix(const XrString& path)
{
    for (const ExtensionPathPrefix& p : path_prefixes) {
        if (wide_strncmp(path.c_str(), p.prefix, static_cast<int>(std::wcslen(p.prefix))) == 0)
            return &p;
    }
    return nullptr;
}

// True when the text has no ".." component and ends with a file name.
bool is_confined(const TCHAR* rest)
{
    const TCHAR* segment = rest;
    for (const TCHAR* p = rest;; ++p) {
        if (*p == 0 || is_separator(*p)) {
            const long n = p - segment;
            if (n == 2 && segment[0] == L'.' && segment[1] == L'.')
                return false;
            if (*p == 0)
                return n > 0 && !(n == 1 && segment[0] == L'.');
            segment = p + 1;
        }
    }
}

XrString folder_of(const XrString& path)
{
    XrString folder(path_folder(path.c_str()));
    while (folder.length() > 1 && is_separator(folder.char_at(folder.length() - 1)))
        folder.truncate(folder.length() - 1);
    return folder;
}

XrString installed_copy(const XrExtensionItem& item)
{
    XrString folder = item.get_folder();
    if (folder.length() > 0 && !is_separator(folder.char_at(folder.length() - 1)))
        folder += L'/';
    return folder + L"installed/" + item.get_name();
}

bool file_exists(const XrString& path)
{
    XrFile f;
    return f.open_existing(path, true) == XrFile::OK;
}

// The top-level SET of an extension file; null when the file cannot be read
// or holds something else.
std::unique_ptr<XrBerRecord> read_extension_record(const XrString& path)
{
    XrFileStorageAccessor accessor;
    if (!accessor.open(path, true))
        return nullptr;
    XrBerReader reader(&accessor);
    XrBerRecord* read = nullptr;
    if (reader.read_record(&read) != XrBerReader::OK)
        return nullptr;
    std::unique_ptr<XrBerRecord> record(read);
    if (!record->is(XR_BER_UNIVERSAL, true, XR_BER_SET))
        return nullptr;
    return record;
}

// The next child of a record, owned; null when there is none or it is damaged.
std::unique_ptr<XrBerRecord> next_child(XrBerRecord* parent, int& result)
{
    XrBerRecord* child = nullptr;
    result = parent->read_next(&child);
    std::unique_ptr<XrBerRecord> owned(child);
    if (result != XR_BER_OK)
        owned.reset();
    return owned;
}

// The target path and contents of one item SEQUENCE of an extension.
bool read_item(XrBerRecord* sequence, XrString& target, const BYTE** contents, std::uint32_t* length)
{
    int r = XR_BER_OK;
    std::unique_ptr<XrBerRecord> path = next_child(sequence, r);
    if (path == nullptr || !path->is(XR_BER_UNIVERSAL, false, XR_BER_OCTET_STRING))
        return false;
    std::unique_ptr<XrBerRecord> data = next_child(sequence, r);
    if (data == nullptr || !data->is(XR_BER_UNIVERSAL, false, XR_BER_OCTET_STRING))
        return false;
    const BYTE* p;
    std::uint32_t n;
    path->get_content(&p, &n);
    // One character per byte; a 0 byte would cut the path short.
    if (n > static_cast<std::uint32_t>(XrString::max_length) || std::memchr(p, 0, n) != nullptr)
        return false;
    std::vector<TCHAR> wide(p, p + n);
    target.assign(wide.data(), static_cast<int>(n));
    data->get_content(contents, length);
    return true;
}

// The names beside a target of the file staged for it and of the file it
// replaces while an installation commits. They are fixed, so that a later
// scan finds what a killed installation left.
XrString staged_name(const XrString& target)
{
    return target + L".staged";
}

XrString replaced_name(const XrString& target)
{
    return target + L".replaced";
}

// Files of one installation, written beside their targets and renamed into
// place together only when every item was written.
class XrStagedInstall {
public:
    ~XrStagedInstall() { roll_back(); }

    bool stage(const XrString& target, const BYTE* contents, std::uint32_t length);
    bool commit();

private:
    struct Staged {
        XrString target;
        XrString staged;
        XrString backup; // the replaced file, while the commit runs
        bool committed = false;
    };

    bool make_folders(const XrString& target);
    void roll_back();

    std::vector<Staged> m_files;
    std::vector<XrString> m_created_folders;
    bool m_done = false;
};

bool XrStagedInstall::make_folders(const XrString& target)
{
    // Note the folders that are missing, shallowest first, to remove them
    // again when the installation fails.
    std::vector<XrString> missing;
    XrString folder = folder_of(target);
    while (folder.length() > 1 && !is_directory(folder)) {
        missing.insert(missing.begin(), folder);
        folder = folder_of(folder);
    }
    if (missing.empty())
        return true;
    const bool ok = make_directories(target);
    for (const XrString& f : missing) {
        if (is_directory(f))
            m_created_folders.push_back(f);
    }
    return ok;
}

bool XrStagedInstall::stage(const XrString& target, const BYTE* contents, std::uint32_t length)
{
    if (!make_folders(target))
        return false;
    const XrString name = staged_name(target);
    // A later item for the same target replaces the earlier one's file.
    bool known = false;
    for (const Staged& s : m_files)
        known = known || s.target == target;
    if (!known)
        m_files.push_back(Staged{target, name, XrString(), false});
    XrFile file;
    if (file.create(name, true) != XrFile::OK || file.resize(length) != XrFile::OK ||
        (length > 0 && file.write(0, length, contents) != XrFile::OK) || !file.flush())
        return false;
    return true;
}

bool XrStagedInstall::commit()
{
    for (Staged& s : m_files) {
        if (file_exists(s.target)) {
            if (!rename_file(s.target, replaced_name(s.target)))
                return false;
            s.backup = replaced_name(s.target);
        }
        if (!rename_file(s.staged, s.target))
            return false;
        s.committed = true;
    }
    for (Staged& s : m_files) {
        if (!s.backup.is_empty())
            delete_file(s.backup);
    }
    m_done = true;
    return true;
}

void XrStagedInstall::roll_back()
{
    if (m_done)
        return;
    for (auto it = m_files.rbegin(); it != m_files.rend(); ++it) {
        if (it->committed)
            delete_file(it->target);
        else
            delete_file(it->staged);
        if (!it->backup.is_empty())
            rename_file(it->backup, it->target);
    }
    for (auto it = m_created_folders.rbegin(); it != m_created_folders.rend(); ++it)
        remove_directory(*it);
    m_done = true;
}

// Writes every item of the extension file, all or nothing.
bool install_items(const XrString& path)
{
    std::unique_ptr<XrBerRecord> record = read_extension_record(path);
    if (!record)
        return false;
    XrStagedInstall install;
    for (;;) {
        int r = XR_BER_OK;
        std::unique_ptr<XrBerRecord> item = next_child(record.get(), r);
        if (r == XR_BER_MISSING)
            break;
        if (r != XR_BER_OK)
            return false;
        if (!item->is(XR_BER_UNIVERSAL, true, XR_BER_SEQUENCE))
            continue;
        XrString target;
        XrString mapped;
        const BYTE* contents = nullptr;
        std::uint32_t length = 0;
        if (!read_item(item.get(), target, &contents, &length) || !map_extension_path(target, mapped) ||
            !install.stage(mapped, contents, length))
            return false;
    }
    return install.commit();
}

// Undoes what an installation killed before it ended left of the items of
// the extension file: replaced files go back, staged files go.
void roll_back_items(const XrString& path)
{
    std::unique_ptr<XrBerRecord> record = read_extension_record(path);
    if (!record)
        return;
    int r = XR_BER_OK;
    while (std::unique_ptr<XrBerRecord> item = next_child(record.get(), r)) {
        if (!item->is(XR_BER_UNIVERSAL, true, XR_BER_SEQUENCE))
            continue;
        XrString target;
        XrString mapped;
        const BYTE* contents;
        std::uint32_t length;
        if (!read_item(item.get(), target, &contents, &length) || !map_extension_path(target, mapped))
            continue;
        if (file_exists(replaced_name(mapped)))
            rename_file(replaced_name(mapped), mapped);
        delete_file(staged_name(mapped));
    }
}

// Deletes the targets named by the items of an installed extension file.
void remove_items(const XrString& path)
{
    std::unique_ptr<XrBerRecord> record = read_extension_record(path);
    if (!record)
        return;
    int r = XR_BER_OK;
    while (std::unique_ptr<XrBerRecord> item = next_child(record.get(), r)) {
        if (!item->is(XR_BER_UNIVERSAL, true, XR_BER_SEQUENCE))
            continue;
        XrString target;
        XrString mapped;
        const BYTE* contents;
        std::uint32_t length;
        if (read_item(item.get(), target, &contents, &length) && map_extension_path(target, mapped))
            delete_file(mapped);
    }
}

void report(XrExtensionHandler* handler, int code, const XrExtensionItem& item)
{
    if (handler != nullptr)
        handler->on_extension_result(code, item);
}

// Sets the state, writes the entry and reports the code (unless the state
// was that already and report_once is set).
bool change_state(XrExtensionHandler* handler, XrConfiguration* config, XrExtensionItem& item, int state, int code,
                  bool report_once)
{
    const bool changed = item.get_state() != state;
    item.set_state(state);
    const bool written = write_entry(config, item);
    if (changed || !report_once)
        report(handler, code, item);
    return written;
}

} // namespace

// ------------------------------------------------------------ states, items

const TCHAR* extension_state_text(int state)
{
    if (state < 0 || state >= static_cast<int>(sizeof state_texts / sizeof state_texts[0]))
        return nullptr;
    return state_texts[state];
}

int extension_state_from_text(const TCHAR* text)
{
    for (int s = 1; s < static_cast<int>(sizeof state_texts / sizeof state_texts[0]); ++s) {
        if (text != nullptr && wide_strcmp(text, state_texts[s]) == 0)
            return s;
    }
    return XR_EXTENSION_UNKNOWN;
}

XrString XrExtensionItem::get_path() const
{
    XrString path = m_folder;
    if (path.length() > 0 && !is_separator(path.char_at(path.length() - 1)))
        path += L'/';
    return path + m_name;
}

void XrExtensionItemList::remove_all_items()
{
    for (int i = 0; i < get_num_items(); ++i)
        delete get_item(i);
    remove_all();
}

XrExtensionItem* XrExtensionItemList::find_name(const XrString& name) const
{
    for (int i = 0; i < get_num_items(); ++i) {
        if (get_item(i)->get_name() == name)
            return get_item(i);
    }
    return nullptr;
}

bool XrExtensionHeader::read(const XrString& path)
{
    std::unique_ptr<XrBerRecord> record = read_extension_record(path);
    if (!record)
        return false;
    XrBerRecord* found = nullptr;
    if (record->find(XR_BER_SET, &found, 0, XR_BER_UNIVERSAL, 1) != XR_BER_OK)
        return false;
    const std::unique_ptr<XrBerRecord> header(found);
    return decode_record(header.get()) == OK;
}

bool XrExtensionHeader::get_map_id(XrString& out)
{
    return get_string(KEY_MAP_ID, 0, out) == OK;
}

bool map_extension_path(const XrString& target, XrString& out)
{
    const ExtensionPathPrefix* prefix = find_prefix(target);
    if (prefix == nullptr)
        return false;
    const TCHAR* rest = target.c_str_at(static_cast<int>(std::wcslen(prefix->prefix)));
    if (!is_confined(rest))
        return false;
    const XrString folder = XrPathResolver::resolve(XrString(prefix->replacement));
    XrString resolved = XrPathResolver::resolve(XrString(prefix->replacement) + rest);
    // The resolver may send a well-known name elsewhere; the item must stay
    // below its prefix's folder.
    if (wide_strncmp(resolved.c_str(), folder.c_str(), folder.length()) != 0)
        return false;
    out = resolved;
    return true;
}

// ------------------------------------------------------------ folder scan

bool find_extension_files(const XrString& folder, const TCHAR* file_extension, XrExtensionItemList& list)
{
    XrFileFinder finder;
    if (!finder.open(folder, XrFileFinder::FILES))
        return false;
    const int ext_len = static_cast<int>(std::wcslen(file_extension));
    TCHAR name[256];
    while (finder.get_next(name, 256)) {
        const int n = static_cast<int>(std::wcslen(name));
        if (n < 5 || n < ext_len || wide_stricmp(name + n - ext_len, file_extension) != 0)
            continue;
        list.append(new XrExtensionItem(XrString(name), folder, XR_EXTENSION_UNHANDLED));
    }
    return true;
}

// ------------------------------------------------------------ registry

void list_entries(XrConfiguration* config, XrExtensionItemList& list)
{
    config->push_key();
    if (config->open_key(registry_key) == XrConfiguration::OK) {
        for (int i = 0;; ++i) {
            TCHAR number[16];
            std::swprintf(number, 16, L"%d", i);
            XrString name;
            if (config->get_string(number, name) != XrConfiguration::OK)
                break;
            if (XrExtensionItem* item = read_entry(config, name))
                list.append(item);
        }
    }
    config->pop_key();
}

XrExtensionItem* read_entry(XrConfiguration* config, const XrString& name)
{
    if (name.is_empty())
        return nullptr;
    config->push_key();
    XrString state;
    XrString path;
    const bool found = config->open_key((XrString(registry_key) + L"\\" + name).c_str()) == XrConfiguration::OK &&
                       config->get_string(L"state", state) == XrConfiguration::OK &&
                       config->get_string(L"path", path) == XrConfiguration::OK;
    config->pop_key();
    if (!found)
        return nullptr;
    XrString folder;
    if (const ExtensionPathPrefix* prefix = find_prefix(path))
        folder = XrPathResolver::resolve(XrString(prefix->replacement) + path.c_str_at(static_cast<int>(std::wcslen(prefix->prefix))));
    return new XrExtensionItem(name, folder, extension_state_from_text(state.c_str()));
}

bool write_entry(XrConfiguration* config, const XrExtensionItem& item)
{
    const TCHAR* state = extension_state_text(item.get_state());
    if (state == nullptr || item.get_name().is_empty())
        return false;
    const XrString key = XrString(registry_key) + L"\\" + item.get_name();
    config->push_key();
    bool ok = true;
    if (config->open_key(key.c_str()) != XrConfiguration::OK) {
        // Register the name under the first free number.
        ok = config->create_key_path(registry_key) == XrConfiguration::OK;
        for (int i = 0; ok; ++i) {
            TCHAR number[16];
            std::swprintf(number, 16, L"%d", i);
            XrString existing;
            if (config->get_string(number, existing) == XrConfiguration::OK)
                continue;
            ok = config->set_string(number, item.get_name().c_str()) == XrConfiguration::OK;
            break;
        }
        ok = ok && config->create_key_path(key.c_str()) == XrConfiguration::OK;
    }
    if (ok) {
        XrString folder = backslashes_to_slashes(item.get_folder());
        ok = config->set_string(L"state", state) == XrConfiguration::OK &&
             config->set_string(L"path", folder.c_str()) == XrConfiguration::OK;
    }
    config->pop_key();
    return ok && config->save() == XrConfiguration::OK;
}

// ------------------------------------------------------------ processing

bool process_extension(XrExtensionHandler* handler, XrConfiguration* config, XrExtensionItem& item)
{
    XrMapProvider* maps = XrMapProvider::get_instance();
    XrString map_id;
    if (maps == nullptr || !maps->get_map_id(map_id))
        return false;

    const int old_state = item.get_state();
    XrExtensionHeader header;
    if (!header.read(item.get_path())) {
        // Not an extension file: nothing to confirm.
        change_state(handler, config, item, XR_EXTENSION_INVALID, XrExtensionHandler::RESULT_FAILED, true);
        return false;
    }
    XrString header_map;
    if (header.get_map_id(header_map) && !(header_map == map_id)) {
        if (old_state != XR_EXTENSION_IGNORED)
            change_state(handler, config, item, XR_EXTENSION_IGNORED, XrExtensionHandler::RESULT_IGNORED, false);
        return false;
    }
    // An installation cut off before it ended (the process was killed) was
    // confirmed then: what it left is rolled back, and it is done again.
    if (old_state == XR_EXTENSION_INSTALLING)
        roll_back_items(item.get_path());
    else if (handler != nullptr && !handler->confirm_install(item))
        return false;

    item.set_state(XR_EXTENSION_INSTALLING);
    if (!write_entry(config, item))
        return false;

    if (!install_items(item.get_path())) {
        item.set_state(XR_EXTENSION_INVALID);
        write_entry(config, item);
        if (old_state != XR_EXTENSION_INVALID)
            report(handler, XrExtensionHandler::RESULT_FAILED, item);
        return false;
    }
    item.set_state(XR_EXTENSION_INSTALLED);
    write_entry(config, item);
    const XrString copy = installed_copy(item);
    make_directories(copy);
    rename_file(item.get_path(), copy);
    report(handler, XrExtensionHandler::RESULT_INSTALLED, item);
    return true;
}

bool install_extension_file(XrExtensionHandler* handler, XrConfiguration* config, const XrString& path)
{
    const XrString name(path_file_name(path.c_str()));
    std::unique_ptr<XrExtensionItem> item(read_entry(config, name));
    if (!item || item->get_name().is_empty() || item->get_folder().is_empty()) {
        item = std::make_unique<XrExtensionItem>(name, folder_of(path), XR_EXTENSION_UNHANDLED);
        if (!write_entry(config, *item))
            return false;
    }
    return process_extension(handler, config, *item);
}

bool scan_extensions(XrExtensionHandler* handler, XrConfiguration* config, const XrString& folder,
                     const TCHAR* file_extension)
{
    XrExtensionItemList registered;
    list_entries(config, registered);
    XrExtensionItemList found;
    if (!find_extension_files(folder, file_extension, found))
        return false;
    for (int i = 0; i < found.get_num_items(); ++i) {
        XrExtensionItem* item = found.get_item(i);
        if (const XrExtensionItem* known = registered.find_name(item->get_name()))
            item->set_state(known->get_state());
        process_extension(handler, config, *item);
    }
    return true;
}

bool uninstall_extension(XrExtensionHandler* handler, XrConfiguration* config, const XrString& path)
{
    const XrString name(path_file_name(path.c_str()));
    std::unique_ptr<XrExtensionItem> item(read_entry(config, name));
    if (!item) {
        XrExtensionItem unknown(name, folder_of(path), XR_EXTENSION_UNKNOWN);
        report(handler, XrExtensionHandler::RESULT_UNKNOWN, unknown);
        return false;
    }
    if (item->get_folder().is_empty())
        item->set_folder(folder_of(path));
    const XrString copy = installed_copy(*item);
    remove_items(copy);
    delete_file(item->get_path());
    delete_file(copy);
    item->set_state(XR_EXTENSION_DELETED);
    return write_entry(config, *item);
}
