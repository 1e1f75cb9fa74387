#include "common/bmloader/xr_bitmap_loader.h"

#include <cstring>
#include <cwchar>

#include "common/container/xr_array.h"
#include "common/container/xr_bytes.h"
#include "common/misc/xr_path_resolver.h"

namespace {

XrBitmapLoader* g_loader = nullptr;

// Longest index line; the character after a cut line is lost.
constexpr int max_line = 511;
// Largest index file read.
constexpr int max_index_size = 16 << 20;

// A field of blanks, decimal digits and blanks; false for anything else or
// a value above max.
bool parse_number(const char* s, const char* end, std::uint64_t max, std::uint64_t& value)
{
    while (s < end && xr_bytes::is_blank(*s))
        ++s;
    if (s == end || *s < '0' || *s > '9')
        return false;
    value = 0;
    for (; s < end && *s >= '0' && *s <= '9'; ++s) {
        value = value * 10 + std::uint64_t(*s - '0');
        if (value > max)
            return false;
    }
    while (s < end && xr_bytes::is_blank(*s))
        ++s;
    return s == end;
}

bool has_slash(const XrString& s)
{
    return s.find(L"/") >= 0;
}

} // namespace

XrBitmapLoader::XrBitmapLoader(const XrString& base_directory, const XrString& platform)
    : m_base_directory(base_directory), m_ids(10, false, 80), m_cache(10, false, 80), m_pinned(10, false, 80)
{
    m_platform_suffix = L"_";
    m_platform_suffix += platform;
}

XrBitmapLoader::~XrBitmapLoader()
{
    XrHash<unsigned int, XrLoadedBitmap>::XrHashIterator it(m_cache);
    while (auto* slot = it.get_next()) {
        XrIcon* icon = slot->value.icon;
        XrGDI::delete_bitmap(icon->m_image);
        XrGDI::delete_bitmap(icon->m_mask);
        icon->reset();
        delete icon;
    }
    if (g_loader == this)
        g_loader = nullptr;
}

XrBitmapLoader* XrBitmapLoader::get_instance()
{
    return g_loader;
}

bool XrBitmapLoader::initialize(const XrString& base_directory, const XrString& platform)
{
    if (g_loader == nullptr)
        g_loader = new XrBitmapLoader(base_directory, platform);
    return true;
}

void XrBitmapLoader::shutdown()
{
    XrBitmapLoader* loader = g_loader;
    if (loader == nullptr)
        return;
    g_loader = nullptr;
    // Nobody can unpin once the instance is gone: the pins go now.
    XrArray<std::pair<unsigned int, unsigned char>> pins;
    XrHash<unsigned int, unsigned char>::XrHashIterator it(loader->m_pinned);
    while (auto* slot = it.get_next())
        pins.append({slot->key, slot->value});
    loader->m_pinned.clear();
    for (int i = 0; i < pins.get_num_items(); ++i) {
        const auto& pin = *pins.get_item_ptr(i);
        if (pin.second != 0)
            loader->release(pin.first);
        else
            loader->unload_if_unused(pin.first);
    }
    if (loader->m_cache.get_count() == 0)
        delete loader;
    else
        loader->m_shutdown_pending = 1;
}

XrString XrBitmapLoader::full_path(const XrString& name) const
{
    if (has_slash(name))
        return name;
    XrString path = m_base_directory;
    path += L"/";
    path += name;
    return path;
}

bool XrBitmapLoader::load_index(const XrString& file_name)
{
    XrBitmapLoader* loader = g_loader;
    if (loader == nullptr)
        return false;
    BYTE* data = nullptr;
    int size = 0;
    if (!read_whole_file(loader->full_path(file_name), &data, &size, max_index_size))
        return false;
    loader->parse_index(data, size);
    delete[] data;
    return true;
}

bool XrBitmapLoader::load_index_text(const BYTE* data, int size)
{
    XrBitmapLoader* loader = g_loader;
    if (loader == nullptr)
        return false;
    loader->parse_index(data, size);
    return true;
}

void XrBitmapLoader::parse_index(const BYTE* data, int size)
{
    XrString current_file;
    char line[max_line + 1];
    int pos = 0;
    while (pos < size) {
        int n = 0;
        while (pos < size) {
            char c = static_cast<char>(data[pos++]);
            if (c == '\n' || c == '\0')
                break;
            if (c == '\r')
                continue;
            line[n++] = c;
            if (n == max_line) {
                ++pos;
                break;
            }
        }
        line[n] = '\0';
        parse_line(line, n, current_file);
    }
}

void XrBitmapLoader::parse_line(const char* line, int length, XrString& current_file)
{
    if (length >= 6 && std::memcmp(line, "BITMAP", 6) == 0) {
        // The name starts after one separator; without a name, the rows that
        // follow have no file and are skipped.
        current_file.clear();
        if (length > 7) {
            XrString name;
            name.assign_latin1(line + 7, length - 7);
            current_file = full_path(name);
        }
        return;
    }
    if (current_file.is_empty())
        return;

    const char* end = line + length;
    const char* comma1 = static_cast<const char*>(std::memchr(line, ',', length));
    if (comma1 == nullptr)
        return;
    const char* comma2 = static_cast<const char*>(std::memchr(comma1 + 1, ',', end - comma1 - 1));
    const char* number_end = comma2 != nullptr ? comma2 : end;
    std::uint64_t id = 0;
    std::uint64_t number = 0;
    if (!parse_number(line, comma1, 0xFFFFFFFFu, id) || !parse_number(comma1 + 1, number_end, 0x7FFFFFFF, number))
        return;
    XrIconIdMap row;
    row.bitmap_file = current_file;
    row.bitmap_number = static_cast<int>(number);
    if (comma2 != nullptr) {
        const char* s = comma2 + 1;
        while (s < end && xr_bytes::is_blank(*s))
            ++s;
        row.masked = (end - s >= 6 && std::memcmp(s, "masked", 6) == 0) ? 1 : 0;
    }
    add_row(static_cast<unsigned int>(id), row);
}

bool XrBitmapLoader::add_row(unsigned int id, const XrIconIdMap& row)
{
    // The first definition of an id wins.
    if (m_ids.find_ptr(id) != nullptr || !m_ids.insert(id, row))
        return false;
    if (id >= m_next_free_id)
        m_next_free_id = id == 0xFFFFFFFFu ? id : id + 1;
    return true;
}

unsigned int XrBitmapLoader::take_free_id()
{
    unsigned int id = m_next_free_id;
    if (m_next_free_id != 0xFFFFFFFFu)
        ++m_next_free_id;
    return id;
}

int XrBitmapLoader::add_icon(const XrIconIdMap& row)
{
    XrBitmapLoader* loader = g_loader;
    if (loader == nullptr)
        return -1;
    unsigned int id = loader->take_free_id();
    if (!loader->add_row(id, row))
        return -1;
    return static_cast<int>(id);
}

int XrBitmapLoader::add_bitmap(XrBitmapHandleRec* image, XrBitmapHandleRec* mask)
{
    XrBitmapLoader* loader = g_loader;
    if (loader == nullptr || loader->m_next_free_id > 0x7FFFFFFFu)
        return -1;
    unsigned int id = loader->take_free_id();
    XrIcon* icon = new XrIcon();
    icon->m_loaded = 1;
    icon->m_loader = loader;
    icon->m_id = id;
    icon->m_image = image;
    icon->m_mask = mask;
    XrGDI::get_bitmap_size(image, &icon->m_width, &icon->m_height);
    if (!loader->m_cache.insert(id, XrLoadedBitmap{icon, 1})) {
        icon->reset();
        delete icon;
        return -1;
    }
    loader->m_pinned.insert(id, 1);
    return static_cast<int>(id);
}

void XrBitmapLoader::set_pinned(unsigned int id, bool pinned)
{
    XrBitmapLoader* loader = g_loader;
    if (loader == nullptr)
        return;
    unsigned char* pin = loader->m_pinned.find_ptr(id);
    if (pinned) {
        if (pin != nullptr)
            return;
        unsigned char holds = loader->m_cache.find_ptr(id) != nullptr ? 1 : 0;
        if (holds != 0)
            loader->add_reference(id);
        loader->m_pinned.insert(id, holds);
        return;
    }
    if (pin == nullptr)
        return;
    unsigned char holds = *pin;
    loader->m_pinned.remove(id);
    if (holds != 0)
        loader->release(id);
    else
        loader->unload_if_unused(id);
}

bool XrBitmapLoader::is_pinned(unsigned int id) const
{
    return m_pinned.find_ptr(id) != nullptr;
}

const XrBitmapLoader::XrIconIdMap* XrBitmapLoader::find_row(unsigned int id) const
{
    return m_ids.find_ptr(id);
}

int XrBitmapLoader::get_reference_count(unsigned int id) const
{
    const XrLoadedBitmap* entry = m_cache.find_ptr(id);
    return entry != nullptr ? entry->ref_count : -1;
}

void XrBitmapLoader::add_reference(unsigned int id)
{
    XrLoadedBitmap* entry = m_cache.find_ptr(id);
    if (entry != nullptr)
        ++entry->ref_count;
}

void XrBitmapLoader::release(unsigned int id)
{
    XrLoadedBitmap* entry = m_cache.find_ptr(id);
    if (entry == nullptr)
        return;
    if (entry->ref_count > 0)
        --entry->ref_count;
    unload_if_unused(id);
}

void XrBitmapLoader::unload_if_unused(unsigned int id)
{
    XrLoadedBitmap* entry = m_cache.find_ptr(id);
    if (entry == nullptr || entry->ref_count > 0 || is_pinned(id))
        return;
    XrIcon* icon = entry->icon;
    m_cache.remove(id);
    XrGDI::delete_bitmap(icon->m_image);
    XrGDI::delete_bitmap(icon->m_mask);
    icon->reset();
    delete icon;
    if (m_shutdown_pending != 0 && m_cache.get_count() == 0)
        delete this;
}

bool XrBitmapLoader::load_bitmap_internal(unsigned int id, XrIcon& out, bool is_private)
{
    XrBitmapLoader* loader = g_loader;
    return loader != nullptr && loader->load(id, out, is_private);
}

int XrBitmapLoader::candidate_files(const XrString& file, XrString (&out)[2]) const
{
    const int at = file.find(PLATFORM_TOKEN);
    if (at < 0) {
        out[0] = file;
        return 1;
    }
    const int token_length = static_cast<int>(std::wcslen(PLATFORM_TOKEN));
    const XrString suffixes[] = {m_platform_suffix, XrString()};
    for (int i = 0; i < 2; ++i) {
        out[i] = XrString(file.c_str(), at);
        out[i] += suffixes[i];
        out[i] += file.c_str_at(at + token_length);
    }
    return 2;
}

XrBitmapHandleRec* XrBitmapLoader::load_handle(const XrString& file, int number) const
{
    XrString files[2];
    const int count = candidate_files(file, files);
    for (int i = 0; i < count; ++i) {
        if (XrBitmapHandleRec* handle = XrGDI::load_bitmap(files[i].c_str(), number))
            return handle;
    }
    return nullptr;
}

bool XrBitmapLoader::get_bitmap_size(unsigned int id, int& width, int& height)
{
    XrBitmapLoader* loader = g_loader;
    return loader != nullptr && loader->size_of(id, width, height);
}

bool XrBitmapLoader::size_of(unsigned int id, int& width, int& height)
{
    if (const XrLoadedBitmap* cached = m_cache.find_ptr(id)) {
        width = cached->icon->m_width;
        height = cached->icon->m_height;
        return true;
    }
    const XrIconIdMap* row = m_ids.find_ptr(id);
    if (row == nullptr)
        return false;
    XrString files[2];
    const int count = candidate_files(row->bitmap_file, files);
    for (int i = 0; i < count; ++i) {
        if (XrGDI::read_bitmap_size(files[i].c_str(), row->bitmap_number, width, height))
            return true;
    }
    // Pictures of other kinds (JPEG) are measured by loading them.
    XrIcon icon;
    if (!load(id, icon, true))
        return false;
    width = icon.m_width;
    height = icon.m_height;
    return true;
}

bool XrBitmapLoader::load(unsigned int id, XrIcon& out, bool is_private)
{
    if (!is_private) {
        if (XrLoadedBitmap* cached = m_cache.find_ptr(id)) {
            out.copy_fields(*cached->icon);
            out.m_owned.reset();
            add_reference(id);
            return true;
        }
    }
    const XrIconIdMap* row = m_ids.find_ptr(id);
    if (row == nullptr)
        return false;
    XR_ASSERT_MSG(row->bitmap_file.length() > 0, "set->bitmap_file.len()");

    XrBitmapHandleRec* image = load_handle(row->bitmap_file, row->bitmap_number);
    if (image == nullptr)
        return false;
    XrBitmapHandleRec* mask = nullptr;
    if (row->masked != 0) {
        mask = row->bitmap_number < 0x7FFFFFFF ? load_handle(row->bitmap_file, row->bitmap_number + 1) : nullptr;
        if (mask == nullptr) {
            XrGDI::delete_bitmap(image);
            return false;
        }
    }
    XrIcon loaded;
    loaded.m_loaded = 1;
    loaded.m_id = id;
    loaded.m_image = image;
    loaded.m_mask = mask;
    XrGDI::get_bitmap_size(image, &loaded.m_width, &loaded.m_height);
    if (is_private) {
        // Loaded for out alone: out owns the handles.
        out.copy_fields(loaded);
        out.set_owns_handles(true);
    } else {
        loaded.m_loader = this;
        XrIcon* icon = new XrIcon();
        icon->copy_fields(loaded);
        if (!m_cache.insert(id, XrLoadedBitmap{icon, 1})) {
            XrGDI::delete_bitmap(image);
            XrGDI::delete_bitmap(mask);
            icon->reset();
            delete icon;
            loaded.reset();
            return false;
        }
        out.copy_fields(loaded);
        out.m_owned.reset();
    }
    loaded.reset();
    return true;
}
