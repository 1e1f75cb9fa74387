#include "common/corvanel_core/impl/xr_poiproviderimpl.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/bmloader/xr_bitmap.h"
#include "common/bmloader/xr_bitmap_loader.h"
#include "common/config/xr_storageconfiguration.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/impl/xr_settingsfile.h"
#include "common/db/xr_simplegeomstorage.h"
#include "common/extension/xr_extension.h"
#include "common/gdi/xr_gdi.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_path_resolver.h"
#include "common/misc/xr_textutil.h"
#include "common/misc/xr_unicodeutil.h"
#include "common/os/xr_file.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

constexpr int LANGUAGE_KEY_CHARS = 9;
constexpr int NOTE_CHARS = 100;
constexpr const TCHAR* VISIBILITY_KEY = L"\\poi\\visibility";
constexpr const TCHAR* DYN_VISIBILITY_KEY = L"\\poi\\dyn_visibility";

struct Saved {
    bool visible = true;
    XrDistance alert;
};

// Calls store(name, saved) for every "visible,alert" value of the key (an
// unreadable value: hidden, no alert); false when there is no such key.
template <class Store>
bool read_saved(XrConfiguration* config, const TCHAR* key, Store store)
{
    if (config == nullptr || config->open_key(key) != XrConfiguration::OK)
        return false;
    std::unique_ptr<XrConfigurationIterator> it(config->create_value_iterator());
    XrString name;
    while (it && it->get_next(name)) {
        XrString value;
        config->get_string(name.c_str(), value);
        Saved s;
        XrPoiProviderImpl::parse_visibility(value, s.visible, s.alert);
        store(name, s);
    }
    return true;
}

// Names of a folder's entries of one mode, sorted so that loading is repeatable.
std::vector<XrString> sorted_entries(const XrString& folder, XrFileFinder::Mode mode)
{
    std::vector<XrString> names;
    for_each_folder_entry(folder, mode, [&](const XrString& name) {
        names.push_back(name);
        return true;
    });
    std::sort(names.begin(), names.end(),
              [](const XrString& a, const XrString& b) { return std::wcscmp(a.c_str(), b.c_str()) < 0; });
    return names;
}

bool has_poi_extension(const XrString& name)
{
    const int n = name.length();
    if (n <= 4)
        return false;
    return XrUnicodeUtil::get_instance()->compare(name.c_str() + n - 4, L".poi") == 0;
}

// A file name of a POI set that stays inside the set's folder.
bool is_plain_relative(const XrString& path)
{
    if (path.is_empty() || path.char_at(0) == L'/' || path.char_at(0) == L'\\' || path.find(L":") >= 0)
        return false;
    const std::wstring p = path.c_str();
    size_t start = 0;
    while (start <= p.size()) {
        size_t end = p.find_first_of(L"/\\", start);
        if (end == std::wstring::npos)
            end = p.size();
        if (p.compare(start, end - start, L"..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

XrString join(const XrString& folder, const XrString& name)
{
    XrString out = folder;
    if (!out.is_empty() && out.char_at(out.length() - 1) != L'/')
        out += L"/";
    out += name;
    return out;
}

XrString language_key()
{
    XrString lang;
    lang.load_text(R_STR_LANGUAGE);
    if (lang.length() > LANGUAGE_KEY_CHARS)
        lang.truncate(LANGUAGE_KEY_CHARS);
    lang.to_lower();
    return lang;
}

XrString format_value(const XrPoiSettings& s)
{
    double cm = 0;
    if (!s.get_distance().get_value(cm, XrDistance::Centimetres))
        cm = 0;
    XrString v;
    v.format(32, L"%d,%d", s.is_visible() ? 1 : 0, static_cast<int>(cm));
    return v;
}

} // namespace

struct XrPoiProviderImpl::SavedVisibility {
    std::unordered_map<int, Saved> by_class;
    std::unordered_map<std::wstring, Saved> by_set;
};

XrPoiProviderImpl::XrPoiProviderImpl(const XrString& root, XrExtensionHandler* handler)
    : root(root), extension_handler(handler)
{
    if (XrMapProvider* maps = xr_map_provider())
        maps->add_listener(this);
}

XrPoiProviderImpl::~XrPoiProviderImpl()
{
    if (XrMapProvider* maps = xr_map_provider())
        maps->remove_listener(this);
    clear();
}

bool XrPoiProviderImpl::parse_visibility(const XrString& value, bool& visible, XrDistance& alert)
{
    visible = false;
    alert = XrDistance();
    const std::wstring text = value.c_str();
    const size_t comma = text.find(L',');
    int first = 0, second = 0;
    if (!xr_userfile::parse_int(XrString(text.substr(0, comma).c_str()), first))
        return false;
    visible = first != 0;
    if (comma != std::wstring::npos && xr_userfile::parse_int(XrString(text.substr(comma + 1).c_str()), second) &&
        second > 0)
        alert = XrDistance(second, XrDistance::Centimetres);
    return true;
}

int XrPoiProviderImpl::layer_value(const XrPoiSettings& s)
{
    if (s.get_class_id() == ALWAYS_SHOWN_CLASS)
        return 1;
    if (!s.is_visible())
        return -1;
    double cm = 0;
    if (!s.get_distance().get_value(cm, XrDistance::Centimetres) || cm <= 0)
        return 1;
    // 1 means "no alert": alerts below 2 m enter as 2 m.
    return std::max(2, static_cast<int>(cm / 100));
}

void XrPoiProviderImpl::clear()
{
    release_dynamic_bitmaps();
    for (int i = 0; i < classes.get_num_items(); ++i)
        delete *classes.get_item_ptr(i);
    classes.remove_all();
    icon_sets.remove_all();
    dynamic_serial = 0;
}

XrPoiSettings* XrPoiProviderImpl::find_class(int class_id)
{
    for (int i = 0; i < classes.get_num_items(); ++i)
        if ((*classes.get_item_ptr(i))->get_class_id() == class_id)
            return *classes.get_item_ptr(i);
    return nullptr;
}

std::unique_ptr<XrStorageConfiguration> XrPoiProviderImpl::open_settings()
{
    return open_settings_file(XrPathResolver::resolve(XrString(SETTINGS_PATH)), false);
}

int XrPoiProviderImpl::standard_icon_count()
{
    int counts[3] = {0, 0, 0};
    const unsigned int ids[3] = {SMALL_STRIP, NORMAL_STRIP, LARGE_STRIP};
    for (int i = 0; i < 3; ++i) {
        int w = 0, h = 0;
        if (!XrBitmapLoader::get_bitmap_size(ids[i], w, h) || h <= 0)
            return 0;
        counts[i] = w / h;
    }
    // Strips of different sizes cannot be indexed alike: no standard icons.
    return counts[0] == counts[1] && counts[1] == counts[2] ? counts[0] : 0;
}

void XrPoiProviderImpl::initialize()
{
    failed = std::make_unique<XrArray<XrDynPoiFailedResult>>(1);
    if (poi_layer != nullptr && icon_sets.get_num_items() > 0)
        unload_dynamic_pois();
    clear();

    SavedVisibility saved;
    std::unique_ptr<XrStorageConfiguration> config = open_settings();
    if (config && extension_handler != nullptr)
        scan_extensions(extension_handler, config.get(), XrPathResolver::resolve(XrString(EXTENSIONS_PATH)),
                        L".nce");
    default_visible = !read_saved(config.get(), VISIBILITY_KEY, [&](const XrString& name, const Saved& s) {
        int id = 0;
        if (xr_userfile::parse_int(name, id))
            saved.by_class[id] = s;
    });
    read_saved(config.get(), DYN_VISIBILITY_KEY,
               [&](const XrString& name, const Saved& s) { saved.by_set[name.c_str()] = s; });

    // The catalogue is read only: never made when it is missing.
    // Without the installed one, the active map's own copy (the map compiler
    // writes the same classes into every map folder).
    XrString catalogue_path = XrPathResolver::resolve(XrString(CATALOGUE_PATH));
    std::unique_ptr<XrStorageAccessor> exists(open_storage_accessor(catalogue_path, true));
    if (!exists) {
        catalogue_path = XrPathResolver::resolve(XrString(L"?:\\mapdata\\")) + XrString(L"poi.reg");
        exists.reset(open_storage_accessor(catalogue_path, true));
    }
    std::unique_ptr<XrStorageConfiguration> catalogue =
        exists ? open_settings_file(catalogue_path, true) : nullptr;
    exists.reset();
    if (catalogue) {
        const XrString lang = XrString(L"\\poi\\") + language_key();
        if (catalogue->open_key(lang.c_str()) == XrConfiguration::OK ||
            catalogue->open_key(L"\\poi\\default") == XrConfiguration::OK) {
            std::unique_ptr<XrConfigurationIterator> it(catalogue->create_value_iterator());
            XrString name;
            while (it && it->get_next(name)) {
                int id = 0;
                if (!xr_userfile::parse_int(name, id))
                    continue;
                XrString display;
                catalogue->get_string(name.c_str(), display);
                auto* s = new XrStaticPoiSettings();
                s->set_name(display);
                s->set_class_id(id);
                s->set_visible(1);
                auto found = saved.by_class.find(id);
                if (!default_visible)
                    s->set_visible(found != saved.by_class.end() && found->second.visible ? 1 : 0);
                if (found != saved.by_class.end())
                    s->set_distance(found->second.alert);
                classes.append(s);
            }
        }
    }

    next_dynamic_class = FIRST_DYNAMIC_CLASS;
    load_dynamic_sets(saved);
    sort_classes();
    set_poi_layer_visibilities();

    for (int i = 0; i < failed->get_num_items(); ++i) {
        const XrDynPoiFailedResult& f = *failed->get_item_ptr(i);
        XrString text;
        text.format_text(NOTE_CHARS,
                         f.reason == XrDynPoiFailedResult::VersionTooNew ? R_STR_MSG_DYN_POI_VERSION_ERROR
                                                                          : R_STR_MSG_DYN_POI_LOAD_FAILED,
                         f.file.c_str(), f.detail.c_str());
        XrString title(R_STR_MSG_EXTENSION_INSTALL_TITLE);
        xr_show_note_text(title + L": " + text);
    }
}

void XrPoiProviderImpl::load_dynamic_sets(const SavedVisibility& saved)
{
    for (const XrString& folder : sorted_entries(root, XrFileFinder::DIRECTORIES)) {
        const XrString dir = join(root, folder);
        for (const XrString& file : sorted_entries(dir, XrFileFinder::FILES))
            if (has_poi_extension(file))
                load_set(dir, file, saved);
    }
}

void XrPoiProviderImpl::load_set(const XrString& folder, const XrString& file, const SavedVisibility& saved)
{
    const XrString path = join(folder, file);
    std::unique_ptr<XrStorageConfiguration> set = open_settings_file(path, true);
    if (!set) {
        // A file that opens but is not a configuration is damaged; one that
        // cannot be opened is skipped.
        std::unique_ptr<XrStorageAccessor> probe(open_storage_accessor(path, true));
        if (!probe)
            return;
    }
    auto fail = [&](int reason) {
        XrDynPoiFailedResult f;
        f.file = file;
        f.reason = reason;
        failed->append(f);
    };
    if (!set || set->open_key(L"\\data") != XrConfiguration::OK) {
        fail(XrDynPoiFailedResult::Unreadable);
        return;
    }
    XrString version;
    if (set->get_string(L"version", version) == XrConfiguration::OK && !version.is_empty()) {
        int major = 1, minor = 0;
        if (!parse_version_string(version.c_str(), &major, &minor, nullptr, nullptr)) {
            fail(XrDynPoiFailedResult::Unreadable);
            return;
        }
        if (major > 1) {
            fail(XrDynPoiFailedResult::VersionTooNew);
            return;
        }
    }
    XrString data, icons;
    int internal_type = 0;
    if (set->get_string(L"data", data) != XrConfiguration::OK || !is_plain_relative(data)) {
        fail(XrDynPoiFailedResult::Unreadable);
        return;
    }
    const bool has_icons = set->get_string(L"icons", icons) == XrConfiguration::OK && !icons.is_empty();
    if (has_icons ? !is_plain_relative(icons) : set->get_int(L"internal_type", &internal_type) != XrConfiguration::OK) {
        fail(XrDynPoiFailedResult::Unreadable);
        return;
    }
    int ids[4] = {1, 3, 0, 2}; // small, small mask, large, large mask
    const TCHAR* id_names[4] = {L"small_id", L"small_mask_id", L"large_id", L"large_mask_id"};
    for (int i = 0; i < 4; ++i) {
        const int def = ids[i];
        set->get_int(id_names[i], &ids[i], &def);
    }
    XrString name;
    {
        // The deepest of "\data\name\<language>", "\data\name", "\data" that exists.
        const XrString lang(R_STR_LANGUAGE);
        const XrString deepest = XrString(L"\\data\\name\\") + lang;
        if (set->open_key(deepest.c_str()) != XrConfiguration::OK && set->open_key(L"\\data\\name") != XrConfiguration::OK)
            set->open_key(L"\\data");
        if (set->get_string(L"0", name) != XrConfiguration::OK || name.is_empty())
            name.format(128, L"%s %d", file.c_str(), 0);
    }
    if (poi_layer == nullptr)
        return;
    XrMapProvider* maps = xr_map_provider();
    XrStorageAccessor* accessor = open_storage_accessor(join(folder, data), true);
    std::unique_ptr<XrSimpleGeomStorage> storage;
    if (accessor != nullptr)
        storage = std::make_unique<XrSimpleGeomStorage>(accessor, false, false,
                                                        maps != nullptr ? maps->get_block_cache() : nullptr);
    if (!storage || storage->open() != XrStoredGeomStorage::OPENED) {
        fail(XrDynPoiFailedResult::Unreadable);
        return;
    }
    XrSimpleGeomStorage* member = storage.release();
    poi_layer->get_storage()->add_storage(member);

    XrPoiLayerIconSet icon_set;
    icon_set.storage = member;
    icon_set.reserved = dynamic_serial; // the set's number
    icon_set.first_type = 0;
    icon_set.count = 1;
    icon_set.type_shift = next_dynamic_class;
    icon_set.kind = !has_icons && internal_type == 1 ? 1 : 2;

    auto* cls = new XrDynamicPoiSettings(dynamic_serial++);
    cls->set_source(file);
    cls->set_name(name);
    cls->set_class_id(next_dynamic_class);
    auto found = saved.by_set.find(file.c_str());
    cls->set_visible(found == saved.by_set.end() || found->second.visible ? 1 : 0);
    if (found != saved.by_set.end())
        cls->set_distance(found->second.alert);
    if (has_icons) {
        const XrString icon_path = join(folder, icons);
        auto record = [&](int bitmap, int mask) {
            XrPoiSettings::XrBitmapData d;
            d.file = icon_path;
            d.bitmap = bitmap;
            d.mask = mask;
            return d;
        };
        cls->set_small_bm_data(record(ids[0], ids[1]));
        cls->set_normal_bm_data(record(ids[2], ids[3]));
        cls->set_large_bm_data(record(4, 5));
    } else if (internal_type == 1) {
        XrPoiSettings::XrBitmapData d;
        d.icon_index = STANDARD_ICON;
        cls->set_small_bm_data(d);
        cls->set_normal_bm_data(d);
        cls->set_large_bm_data(d);
    }
    classes.append(cls);
    ++next_dynamic_class;
    poi_layer->add_icon_set(icon_set, false);
    icon_sets.append(icon_set);
}

void XrPoiProviderImpl::sort_classes()
{
    XrPoiSettings** items = classes.get_items();
    std::stable_sort(items, items + classes.get_num_items(), [](const XrPoiSettings* a, const XrPoiSettings* b) {
        return XrUnicodeUtil::get_instance()->compare(a->get_name().c_str(), b->get_name().c_str()) < 0;
    });
}

void XrPoiProviderImpl::set_poi_layer_visibilities()
{
    if (poi_layer == nullptr)
        return;
    poi_layer->clear_visibility();
    for (int i = 0; i < classes.get_num_items(); ++i) {
        const XrPoiSettings* s = *classes.get_item_ptr(i);
        poi_layer->set_visibility(s->get_class_id(), layer_value(*s));
    }
}

bool XrPoiProviderImpl::save_poi_settings(bool silent)
{
    std::unique_ptr<XrStorageConfiguration> config = open_settings();
    if (!config)
        return false;
    auto write = [&](const TCHAR* key, bool dynamic) {
        if (config->create_key_path(key) != XrConfiguration::OK)
            return false;
        for (int i = 0; i < classes.get_num_items(); ++i) {
            const XrPoiSettings* s = *classes.get_item_ptr(i);
            if ((s->get_kind() == XrPoiSettings::KindDynamic) != dynamic)
                continue;
            XrString name;
            if (dynamic)
                name = static_cast<const XrDynamicPoiSettings*>(s)->get_source();
            else
                name.format(16, L"%d", s->get_class_id());
            if (config->set_string(name.c_str(), format_value(*s).c_str()) != XrConfiguration::OK)
                return false;
        }
        return true;
    };
    if (!write(VISIBILITY_KEY, false) || !write(DYN_VISIBILITY_KEY, true) || config->save() != XrConfiguration::OK)
        return false;
    set_poi_layer_visibilities();
    if (!silent)
        notify_listeners(&XrPoiListener::poi_settings_changed);
    return true;
}

void XrPoiProviderImpl::unload_dynamic_pois()
{
    for (int i = 0; i < icon_sets.get_num_items(); ++i) {
        XrPoiLayerIconSet set = *icon_sets.get_item_ptr(i);
        if (poi_layer != nullptr) {
            poi_layer->remove_icon_set(set);
            poi_layer->get_storage()->remove_storage(set.storage);
        }
    }
    icon_sets.remove_all();
    release_dynamic_bitmaps();
    for (int i = classes.get_num_items() - 1; i >= 0; --i) {
        XrPoiSettings* s = *classes.get_item_ptr(i);
        if (s->get_kind() == XrPoiSettings::KindDynamic) {
            delete s;
            classes.remove_item(i);
        }
    }
}

XrArray<XrPoiProvider::XrDynPoiFailedResult>* XrPoiProviderImpl::reload_extensions()
{
    unload_dynamic_pois();
    SavedVisibility saved;
    std::unique_ptr<XrStorageConfiguration> config = open_settings();
    read_saved(config.get(), DYN_VISIBILITY_KEY,
               [&](const XrString& name, const Saved& s) { saved.by_set[name.c_str()] = s; });
    failed = std::make_unique<XrArray<XrDynPoiFailedResult>>(1);
    dynamic_serial = 0;
    next_dynamic_class = FIRST_DYNAMIC_CLASS;
    load_dynamic_sets(saved);
    sort_classes();
    load_poi_bitmaps();
    auto* out = new XrArray<XrDynPoiFailedResult>(1);
    for (int i = 0; i < failed->get_num_items(); ++i)
        out->append(*failed->get_item_ptr(i));
    return out;
}

void XrPoiProviderImpl::reload_bitmaps(XrPoiLayerIconSet& set)
{
    bool mine = false;
    for (int i = 0; i < icon_sets.get_num_items() && !mine; ++i)
        mine = icon_sets.get_item_ptr(i)->same_set(set);
    if (!mine)
        return;
    for (int i = 0; i < classes.get_num_items(); ++i) {
        XrPoiSettings* s = *classes.get_item_ptr(i);
        if (s->get_kind() != XrPoiSettings::KindDynamic ||
            static_cast<XrDynamicPoiSettings*>(s)->get_number() != set.reserved)
            continue;
        auto handles = [](int id, XrBitmapHandleRec*& image, XrBitmapHandleRec*& mask) {
            XrIcon icon;
            if (id > 0 && XrBitmapLoader::load_bitmap_internal(static_cast<unsigned int>(id), icon, false)) {
                // The id is pinned, so the handles outlive this reference.
                image = icon.bitmap();
                mask = icon.mask();
            }
        };
        handles(s->get_large_bm_data().bm_id, set.large, set.large_mask);
        handles(s->get_normal_bm_data().bm_id, set.medium, set.medium_mask);
        handles(s->get_small_bm_data().bm_id, set.small, set.small_mask);
        return;
    }
}

void XrPoiProviderImpl::set_visible_poi_classes(const XrArray<int>& ids)
{
    for (int i = 0; i < classes.get_num_items(); ++i) {
        XrPoiSettings* s = *classes.get_item_ptr(i);
        bool in = false;
        for (int j = 0; j < ids.get_num_items() && !in; ++j)
            in = *ids.get_item_ptr(j) == s->get_class_id();
        s->set_visible(in ? 1 : 0);
    }
}

bool XrPoiProviderImpl::set_poi_class_proximity_alert(int class_id, const XrDistance& distance)
{
    XrPoiSettings* s = find_class(class_id);
    if (s == nullptr)
        return false;
    s->set_distance(distance);
    return true;
}

bool XrPoiProviderImpl::set_poi_class_visibility(int class_id, bool visible)
{
    XrPoiSettings* s = find_class(class_id);
    if (s == nullptr)
        return false;
    s->set_visible(visible ? 1 : 0);
    return true;
}

void XrPoiProviderImpl::load_poi_bitmaps()
{
    const int icon_count = standard_icon_count();
    auto standard = [](XrPoiSettings* s, int index) {
        const unsigned int strips[3] = {SMALL_STRIP, NORMAL_STRIP, LARGE_STRIP};
        XrPoiSettings::XrBitmapData* data[3] = {&s->get_small_bm_data(), &s->get_normal_bm_data(),
                                                &s->get_large_bm_data()};
        for (int i = 0; i < 3; ++i) {
            data[i]->bm_id = static_cast<int>(strips[i]);
            data[i]->icon_index = index;
        }
    };
    for (int i = 0; i < classes.get_num_items(); ++i) {
        XrPoiSettings* s = *classes.get_item_ptr(i);
        const int id = s->get_class_id();
        if (s->get_kind() == XrPoiSettings::KindStatic) {
            if (id == CLASS_WITH_OWN_BITMAPS) {
                const unsigned int own[3] = {CLASS94_SMALL, CLASS94_NORMAL, CLASS94_LARGE};
                XrPoiSettings::XrBitmapData* data[3] = {&s->get_small_bm_data(), &s->get_normal_bm_data(),
                                                        &s->get_large_bm_data()};
                for (int k = 0; k < 3; ++k) {
                    data[k]->bm_id = static_cast<int>(own[k]);
                    data[k]->icon_index = 1;
                }
            } else if (id >= 0 && id < icon_count) {
                standard(s, id);
            }
            continue;
        }
        XrPoiSettings::XrBitmapData* data[3] = {&s->get_small_bm_data(), &s->get_normal_bm_data(),
                                                &s->get_large_bm_data()};
        for (XrPoiSettings::XrBitmapData* d : data) {
            if (d->file.is_empty() || d->bm_id != 0)
                continue;
            XrBitmapHandleRec* image = XrGDI::load_bitmap(d->file.c_str(), d->bitmap);
            XrBitmapHandleRec* mask = image != nullptr ? XrGDI::load_bitmap(d->file.c_str(), d->mask) : nullptr;
            const int bm = image != nullptr ? XrBitmapLoader::add_bitmap(image, mask) : -1;
            if (bm == -1) {
                XrGDI::delete_bitmap(image);
                XrGDI::delete_bitmap(mask);
                continue;
            }
            d->bm_id = bm;
            poi_bm_ids.append(static_cast<unsigned int>(bm));
        }
        if (data[2]->bm_id == 0)
            data[2]->bm_id = data[1]->bm_id;
        if ((data[0]->bm_id == 0 || data[1]->bm_id == 0 || data[2]->bm_id == 0) &&
            data[0]->icon_index == STANDARD_ICON)
            standard(s, STANDARD_ICON);
    }
}

void XrPoiProviderImpl::release_dynamic_bitmaps()
{
    for (int i = 0; i < classes.get_num_items(); ++i) {
        XrPoiSettings* s = *classes.get_item_ptr(i);
        if (s->get_kind() != XrPoiSettings::KindDynamic)
            continue;
        s->get_small_bm_data().bm_id = 0;
        s->get_normal_bm_data().bm_id = 0;
        s->get_large_bm_data().bm_id = 0;
    }
    for (int i = 0; i < poi_bm_ids.get_num_items(); ++i)
        XrBitmapLoader::set_pinned(*poi_bm_ids.get_item_ptr(i), false);
    poi_bm_ids.remove_all();
}

void XrPoiProviderImpl::map_initialized()
{
    XrMapProvider* maps = xr_map_provider();
    poi_layer = maps != nullptr ? dynamic_cast<XrPoiLayer*>(maps->get_poi_layer()) : nullptr;
    initialize();
    load_poi_bitmaps();
}

void XrPoiProviderImpl::map_closing()
{
    clear();
    poi_layer = nullptr;
    default_visible = true;
    next_dynamic_class = 0;
}
