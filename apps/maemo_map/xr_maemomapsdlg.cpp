#include "apps/maemo_map/xr_maemomapsdlg.h"

#include "apps/apps_common/xr_naviapp.h"
#include "common/base/xr_singleton.h"
#include "common/bgxfer/xr_updatemanager.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_applicationprovider.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/map/xr_routelayer.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_file.h"
#include "common/ui/dialog/xr_busydlg_maemo.h"
#include "common/ui/dialog/xr_commondialogs.h"
#include "common/ui/dialog/xr_maemocommon.h"
#include "common/update/xr_mapcatalogue.h"
#include "common/update/xr_soundsetcatalogue.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

XrUpdateManager* g_manager = nullptr;
XrMaemoUpdateParams* g_params = nullptr;

XrString text_of(int id)
{
    XrString out;
    get_translated_text(out, id);
    return out;
}

XrString card_root()
{
    const TCHAR* root = find_map_card_root();
    XrString out = root != nullptr ? XrString(root) : XrString();
    if (!out.is_empty() && out.char_at(out.length() - 1) != L'/')
        out += L"/";
    return out;
}

std::string narrow(const XrString& text)
{
    XrByteArray bytes;
    XrMaemoCommon::to_utf8(text, bytes);
    return std::string(reinterpret_cast<const char*>(bytes.get_items()));
}

// A non-negative decimal number of at most 18 digits (an optional minus
// sign is read, and refused).
bool parse_count(const std::string& field, std::int64_t& out)
{
    std::size_t i = 0;
    const bool negative = !field.empty() && field[0] == '-';
    if (negative)
        ++i;
    if (i == field.size() || field.size() - i > 18)
        return false;
    std::int64_t v = 0;
    for (; i < field.size(); ++i) {
        if (field[i] < '0' || field[i] > '9')
            return false;
        v = v * 10 + (field[i] - '0');
    }
    if (negative && v != 0)
        return false;
    out = v;
    return true;
}

XrString latin1(const std::string& bytes)
{
    XrString out;
    out.assign_latin1(bytes.data(), int(bytes.size()));
    return out;
}

void delete_download_lists()
{
    const XrString root = card_root();
    if (root.is_empty())
        return;
    std::vector<XrString> names;
    for_each_folder_entry(root, XrFileFinder::FILES, [&](const XrString& name) {
        if (name.length() > 3 && XrString(name.c_str_at(name.length() - 3)) == XrString(L".dl"))
            names.push_back(name);
        return true;
    });
    for (const XrString& name : names)
        delete_file(root + name);
}

XrAppSettingsProvider* settings()
{
    return xr_registered<XrAppSettingsProvider>(L"XrAppSettingsProvider");
}

// The voice folder the settings name (the one the prompts play from).
XrString current_voice_folder()
{
    if (XrAppSettingsProvider* s = settings())
        return s->get_soundset();
    XrString name;
    get_content_folder(name, false);
    return name;
}

GtkTreeView* tree(GtkWidget* dialog, const char* name)
{
    return GTK_TREE_VIEW(XrMaemoCommon::lookup_widget(dialog, name));
}

void add_text_column(GtkTreeView* view, int column, float xalign, int xpad, bool visible = true)
{
    GtkCellRenderer* cell = gtk_cell_renderer_text_new();
    g_object_set(cell, "xalign", xalign, "xpad", xpad, nullptr);
    GtkTreeViewColumn* col = gtk_tree_view_column_new_with_attributes("", cell, "text", column, nullptr);
    gtk_tree_view_column_set_alignment(col, 0.5f);
    gtk_tree_view_column_set_visible(col, visible);
    gtk_tree_view_append_column(view, col);
}

} // namespace

XrUpdateManager* xr_maps_update_manager()
{
    return g_manager;
}

std::vector<XrContentRecord> xr_parse_content_list(const std::string& bytes, bool maps)
{
    std::vector<XrContentRecord> out;
    std::vector<std::string> fields;
    std::string field;
    for (const char c : bytes) {
        if (c != ';' && c != '\n') {
            field += c;
            continue;
        }
        fields.push_back(field);
        field.clear();
        if (c != '\n')
            continue;
        if (fields.size() < 3)
            break;
        XrContentRecord r;
        r.name = latin1(fields[0]);
        r.guid = latin1(fields[1]);
        bool ok = parse_count(fields[2], r.size);
        if (ok && fields.size() > 3 && !fields[3].empty())
            ok = parse_count(fields[3], r.need);
        else if (ok)
            r.need = r.size + r.size * 3 / 10; // the size times 1.3, truncated
        if (maps && fields.size() > 4)
            r.version = latin1(fields[4]);
        if (ok && !r.guid.is_empty())
            out.push_back(r);
        fields.clear();
    }
    return out;
}

XrString xr_format_content_size(std::uint64_t bytes)
{
    XrString out;
    if (bytes <= 1048576)
        out.format(40, L"%llu kB", static_cast<unsigned long long>(bytes / 1024));
    else
        out.format(40, L"%llu MB", static_cast<unsigned long long>(bytes / 1048576));
    return out;
}

std::uint64_t xr_content_folder_size(const XrString& folder)
{
    std::uint64_t total = 0;
    for_each_folder_entry(folder, XrFileFinder::FILES, [&](const XrString& name) {
        const auto size = get_file_size(folder + L"/" + name);
        if (size > 0)
            total += std::uint64_t(size);
        return true;
    });
    return total;
}

XrMaemoMapsDlg::XrMaemoMapsDlg(XrNaviApp* a, bool voices)
    : XrMaemoUpdateDlg(text_of(voices ? R_STR_GS_SOUNDSET_ITEM : R_STR_MAPS_DLG_TITLE),
                       text_of(voices ? R_STR_COMPONENTS_INSTALLED : R_STR_MAPS_IN_DEVICE),
                       text_of(voices ? R_STR_COMPONENTS_DOWNLOADABLE : R_STR_AVAILABLE_MAPS)),
      app(a), mode(voices ? VOICES : MAPS)
{
}

XrMaemoMapsDlg::~XrMaemoMapsDlg()
{
    if (finish_source != 0)
        g_source_remove(finish_source);
    if (g_manager != nullptr)
        g_manager->set_listener(nullptr);
    if (installed_store != nullptr)
        g_object_unref(installed_store);
    if (available_store != nullptr)
        g_object_unref(available_store);
}

XrString XrMaemoMapsDlg::list_file_name() const
{
    return XrString(mode == MAPS ? L"map.lst" : L"speaker.lst");
}

// ---- pages and lists ----

void XrMaemoMapsDlg::init_pages()
{
    GtkTreeView* installed = tree(dialog, "installed_list");
    GtkTreeView* available = tree(dialog, "available_list");
    g_signal_connect(available, "cursor-changed", G_CALLBACK(on_cursor_changed), this);
    XrMaemoCommon::set_widget_sensitive(dialog, "download", false);
    XrMaemoCommon::set_widget_sensitive(dialog, "remove", false);

    installed_store = gtk_list_store_new(4, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_INT);
    gtk_tree_view_set_model(installed, GTK_TREE_MODEL(installed_store));
    gtk_tree_view_set_headers_visible(installed, FALSE);
    gtk_tree_selection_set_mode(gtk_tree_view_get_selection(installed), GTK_SELECTION_SINGLE);
    add_text_column(installed, 0, 0.0f, 0);
    add_text_column(installed, 1, 1.0f, 0);
    add_text_column(installed, 2, 1.0f, 0);

    available_store = gtk_list_store_new(6, G_TYPE_STRING, G_TYPE_STRING, GDK_TYPE_PIXBUF, G_TYPE_STRING,
                                         G_TYPE_STRING, G_TYPE_INT64);
    gtk_tree_view_set_model(available, GTK_TREE_MODEL(available_store));
    gtk_tree_view_set_headers_visible(available, FALSE);
    add_text_column(available, 0, 0.0f, 0);
    add_text_column(available, 1, 1.0f, 20);
    GtkCellRenderer* image = gtk_cell_renderer_pixbuf_new();
    g_object_set(image, "xalign", 0.0f, "xpad", 20, nullptr);
    gtk_tree_view_append_column(available,
                                gtk_tree_view_column_new_with_attributes("", image, "pixbuf", 2, nullptr));
    add_text_column(available, 3, 0.5f, 0);
    add_text_column(available, 4, 0.0f, 0, false);

    fill_installed();
    fill_available();
}

void XrMaemoMapsDlg::fill_installed()
{
    if (installed_store == nullptr)
        return;
    GtkTreeView* view = tree(dialog, "installed_list");
    gtk_list_store_clear(installed_store);
    int cursor = -1, row = 0;
    auto add = [&](const XrString& a, const XrString& b, std::uint64_t size) {
        GtkTreeIter it;
        gtk_list_store_append(installed_store, &it);
        gtk_list_store_set(installed_store, &it, 0, narrow(a).c_str(), 1, narrow(b).c_str(), 2,
                           narrow(xr_format_content_size(size)).c_str(), -1);
        ++row;
    };
    if (mode == MAPS) {
        XrMapCatalogue maps(card_root(), XrString(L"mapdata"));
        for (int i = 0; i < maps.get_count(); ++i) {
            XrMapEntry* e = maps.get_item(i);
            if (e->get_name() == XrString(L"Atlantis"))
                continue;
            if (e->is_active())
                cursor = row;
            add(e->get_name(), e->get_version(), xr_content_folder_size(e->get_path()));
        }
    } else {
        XrSoundsetCatalogue voices(XrSoundsetCatalogue::get_voice_root());
        const XrString current = current_voice_folder();
        const XrString root = XrSoundsetCatalogue::get_voice_root() + XrString(L"/");
        for (int i = 0; i < voices.get_count(); ++i) {
            XrSoundsetEntry* e = voices.get_item(i);
            XrString language;
            if (!e->get_language().is_empty())
                language = XrString(L"(") + e->get_language() + XrString(L") ");
            if (!current.is_empty() && (e->get_title() == current || e->get_path() == current ||
                                        e->get_path() == root + current))
                cursor = row;
            add(e->get_title(), language, xr_content_folder_size(e->get_path()));
        }
    }
    if (cursor >= 0) {
        GtkTreePath* path = gtk_tree_path_new_from_indices(cursor, -1);
        gtk_tree_view_set_cursor(view, path, nullptr, FALSE);
        gtk_tree_path_free(path);
    }
}

void XrMaemoMapsDlg::fill_available()
{
    if (available_store == nullptr)
        return;
    gtk_list_store_clear(available_store);
    const XrString file = card_root() + list_file_name();
    std::ifstream in(narrow(file), std::ios::binary);
    if (in) {
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const auto records = xr_parse_content_list(bytes, mode == MAPS);
        XrMapCatalogue maps(card_root(), XrString(L"mapdata"));
        XrSoundsetCatalogue voices(XrSoundsetCatalogue::get_voice_root());
        GdkPixbuf* new_image = nullptr;
        for (const auto& r : records) {
            bool listed = true, newer = false;
            if (mode == MAPS) {
                for (int i = 0; i < maps.get_count(); ++i) {
                    const XrMapEntry* e = maps.get_item(i);
                    if (e->get_guid() != r.guid)
                        continue;
                    if (e->get_version() == r.version)
                        listed = false;
                    else
                        newer = true;
                }
            } else {
                for (int i = 0; i < voices.get_count(); ++i)
                    if (voices.get_item(i)->get_guid() == r.guid)
                        listed = false;
            }
            if (!listed)
                continue;
            if (newer && new_image == nullptr)
                new_image = gdk_pixbuf_new_from_file(
                    narrow(XrPathResolver::resolve(XrString(L"?:/kestrova/images/new_map.png"))).c_str(), nullptr);
            const std::string size = narrow(xr_format_content_size(std::uint64_t(r.size)));
            GtkTreeIter it;
            gtk_list_store_append(available_store, &it);
            gtk_list_store_set(available_store, &it, 0, narrow(r.name).c_str(), 4, narrow(r.guid).c_str(), 5,
                               gint64(r.need), -1);
            if (mode == MAPS) {
                gtk_list_store_set(available_store, &it, 1, narrow(r.version).c_str(), 3, size.c_str(), -1);
                if (newer && new_image != nullptr)
                    gtk_list_store_set(available_store, &it, 2, new_image, -1);
            } else {
                gtk_list_store_set(available_store, &it, 1, size.c_str(), -1);
            }
        }
        if (new_image != nullptr)
            g_object_unref(new_image);
    }
    update_download_button();
}

int XrMaemoMapsDlg::installed_map_count() const
{
    return XrMapCatalogue(card_root(), XrString(L"mapdata")).get_count();
}

void XrMaemoMapsDlg::update_download_button()
{
    if (dialog == nullptr)
        return;
    GtkTreePath* path = nullptr;
    gtk_tree_view_get_cursor(tree(dialog, "available_list"), &path, nullptr);
    XrMaemoCommon::set_widget_sensitive(dialog, "download", page == 1 && path != nullptr && !busy);
    if (path != nullptr)
        gtk_tree_path_free(path);
}

void XrMaemoMapsDlg::on_cursor_changed(GtkTreeView*, gpointer self)
{
    static_cast<XrMaemoMapsDlg*>(self)->update_download_button();
}

void XrMaemoMapsDlg::update_buttons()
{
    XrMaemoUpdateDlg::update_buttons();
    if (dialog == nullptr)
        return;
    // The last map stays; voice sets have no such rule.
    if (mode == MAPS && page == 0 && installed_map_count() == 1)
        XrMaemoCommon::set_widget_sensitive(dialog, "remove", false);
    update_download_button();
}

// ---- removal and closing ----

namespace {

bool cursor_texts(GtkWidget* dialog, const char* list, XrString& first, XrString& second)
{
    GtkTreeView* view = tree(dialog, list);
    GtkTreePath* path = nullptr;
    gtk_tree_view_get_cursor(view, &path, nullptr);
    if (path == nullptr)
        return false;
    GtkTreeIter it;
    GtkTreeModel* model = gtk_tree_view_get_model(view);
    const bool ok = gtk_tree_model_get_iter(model, &it, path);
    gtk_tree_path_free(path);
    if (!ok)
        return false;
    gchar* a = nullptr;
    gchar* b = nullptr;
    gtk_tree_model_get(model, &it, 0, &a, 1, &b, -1);
    first = XrMaemoCommon::from_utf8(a != nullptr ? a : "");
    second = XrMaemoCommon::from_utf8(b != nullptr ? b : "");
    g_free(a);
    g_free(b);
    return true;
}

int find_map(const XrMapCatalogue& maps, const XrString& name, const XrString& version)
{
    for (int i = 0; i < maps.get_count(); ++i)
        if (maps.get_item(i)->get_name() == name && maps.get_item(i)->get_version() == version)
            return i;
    return -1;
}

} // namespace

void XrMaemoMapsDlg::remove_selected()
{
    XrString name, second;
    if (!cursor_texts(dialog, "installed_list", name, second))
        return;
    if (mode == VOICES) {
        XrSoundsetCatalogue voices(XrSoundsetCatalogue::get_voice_root());
        const XrSoundsetEntry* entry = nullptr;
        for (int i = 0; i < voices.get_count() && entry == nullptr; ++i)
            if (voices.get_item(i)->get_title() == name)
                entry = voices.get_item(i);
        if (entry == nullptr ||
            !XrCommonDialogs::show_query_msg(text_of(R_STR_SPEAKER_REMOVE_CONFIRMATION_TITLE),
                                             text_of(R_STR_SPEAKER_REMOVE_CONFIRMATION), GTK_WINDOW(dialog)))
            return;
        const XrString current = current_voice_folder();
        const XrString path = entry->get_path();
        const bool was_current =
            !current.is_empty() && (current == path || current == name ||
                                    XrSoundsetCatalogue::get_voice_root() + XrString(L"/") + current == path);
        remove_directory_tree(path);
        // The setting must not name a folder that is gone, nor the prompts
        // play from it: they go to the voice set the search finds.
        if (was_current) {
            if (XrAppSettingsProvider* s = settings()) {
                s->set_soundset(XrString());
                s->save(true);
            }
            XrString left;
            XrRouteLayer* layer = app != nullptr ? app->get_route_layer() : nullptr;
            if (layer != nullptr && get_content_folder(left, true))
                layer->set_voice_folder(left);
        }
    } else {
        XrMapCatalogue maps(card_root(), XrString(L"mapdata"));
        const int index = find_map(maps, name, second);
        if (index < 0 ||
            !XrCommonDialogs::show_query_msg(text_of(R_STR_MAP_REMOVE_CONFIRMATION_TITLE),
                                             text_of(R_STR_MAP_REMOVE_CONFIRMATION), GTK_WINDOW(dialog)))
            return;
        const bool active = maps.get_item(index)->is_active();
        remove_directory_tree(maps.get_item(index)->get_path());
        if (active)
            if (XrMapProvider* provider = XrMapProvider::get_instance())
                provider->select_map(0);
    }
    fill_installed();
    fill_available();
    set_page(0);
}

void XrMaemoMapsDlg::show_busy(int text_id)
{
    busy_note = std::make_unique<XrBusyDlgMaemo>();
    busy_note->show(text_of(text_id), nullptr);
}

void XrMaemoMapsDlg::drop_busy()
{
    busy_note.reset();
}

void XrMaemoMapsDlg::close()
{
    show_busy(R_STR_OPENING_MAP);
    set_busy(true);
    if (mode == MAPS) {
        XrMapCatalogue maps(card_root(), XrString(L"mapdata"));
        XrString name, version;
        int index = -1;
        if (cursor_texts(dialog, "installed_list", name, version))
            index = find_map(maps, name, version);
        if (index < 0 && maps.get_count() == 2) {
            index = 1;
            if (maps.get_item(1)->get_name() == XrString(L"Atlantis"))
                index = 0;
        }
        XrMaemoUpdateDlg::close();
        // Without a choice the active map stays.
        if (index >= 0 && index != maps.find_active_index())
            if (XrMapProvider* provider = XrMapProvider::get_instance())
                provider->select_map(index);
    } else {
        XrMaemoUpdateDlg::close();
    }
    drop_busy();
}

void XrMaemoMapsDlg::run_ended()
{
    // Closing the window ends what still runs: the manager goes with it.
    if (g_manager != nullptr) {
        g_manager->set_listener(nullptr);
        delete g_manager;
        g_manager = nullptr;
    }
    if (progress != nullptr)
        progress->close(GTK_RESPONSE_ACCEPT);
    drop_busy();
}

// ---- operations through the update manager ----

bool XrMaemoMapsDlg::ensure_update_manager()
{
    if (g_manager == nullptr) {
        delete g_params;
        g_params = new XrMaemoUpdateParams;
        auto* application = xr_registered<XrApplicationProvider>(L"XrApplicationProvider");
        XrEventloopBase* loop = application != nullptr ? application->get_event_loop() : nullptr;
        g_manager = XrUpdateManager::create(loop, g_params);
        if (g_manager == nullptr)
            return false;
        XrAppSettingsProvider* s = settings();
        g_manager->set_server(s != nullptr ? s->get_update_address() : XrString(L"update.kestrova.example"),
                              s != nullptr ? s->get_update_port() : 80);
    }
    g_manager->set_listener(this);
    return true;
}

void XrMaemoMapsDlg::new_progress(int title_text_id)
{
    if (progress != nullptr)
        closed_progress.push_back(std::move(progress));
    progress = std::make_unique<XrUpdateProgress>(this, title_text_id);
}

void XrMaemoMapsDlg::refresh_list()
{
    if (state != IDLE)
        return; // the running operation clears the busy flag when it ends
    if (!ensure_update_manager()) {
        operation_done(FAILURE, 0);
        return;
    }
    new_progress(mode == VOICES ? R_STR_GS_SOUNDSET_ITEM : R_STR_MAPS_DLG_TITLE);
    progress->set_status(text_of(R_STR_UPDATING));
    state = LIST;
    errors = 0;
    g_manager->download_list(mode, list_file_name());
}

void XrMaemoMapsDlg::download_selected()
{
    if (state != IDLE)
        return;
    GtkTreeView* view = tree(dialog, "available_list");
    GtkTreePath* path = nullptr;
    gtk_tree_view_get_cursor(view, &path, nullptr);
    GtkTreeIter it;
    GtkTreeModel* model = gtk_tree_view_get_model(view);
    const bool have = path != nullptr && gtk_tree_model_get_iter(model, &it, path);
    if (path != nullptr)
        gtk_tree_path_free(path);
    if (!have) {
        set_busy(false);
        return;
    }
    gchar* guid_text = nullptr;
    gint64 need = 0;
    gtk_tree_model_get(model, &it, 4, &guid_text, 5, &need, -1);
    const XrString guid = XrMaemoCommon::from_utf8(guid_text != nullptr ? guid_text : "");
    g_free(guid_text);
    // Free space that cannot be read is no shortage: the installation
    // checks every write.
    const std::int64_t free = free_space(card_root());
    if (free >= 0 && free < need) {
        operation_done(NO_SPACE, std::uint64_t(need - free));
        return;
    }
    if (!ensure_update_manager()) {
        operation_done(FAILURE, 0);
        return;
    }
    errors = 0;
    state = COMPONENT;
    const XrString name = guid + XrString(L".dl");
    g_manager->use_download_list(card_root() + name);
    g_manager->download_component_files(guid, name);
}

void XrMaemoMapsDlg::operation_done(int kind, std::uint64_t missing)
{
    drop_busy();
    set_busy(false);
    if (progress != nullptr)
        progress->close(GTK_RESPONSE_ACCEPT);
    if (kind == SUCCESS && state == LIST) {
        fill_available();
        state = IDLE;
    } else if (kind == SUCCESS && state == COMPONENT) {
        new_progress(R_STR_MAP_DL_TITLE);
        progress->set_status(XrString(L"prepare"));
        progress->set_fraction(0);
        if (g_manager == nullptr || !g_manager->start()) {
            progress->close(GTK_RESPONSE_ACCEPT);
            show_error(FAILURE, 0);
            state = IDLE;
        }
    } else {
        show_error(kind, missing);
        state = IDLE;
    }
}

void XrMaemoMapsDlg::show_error(int kind, std::uint64_t missing)
{
    XrString message;
    if (state == LIST)
        message = text_of(mode == MAPS ? R_STR_MAP_DL_ERROR_UPDATE : R_STR_SPEAKER_DL_ERROR_UPDATE);
    else if (kind != NO_SPACE)
        message = text_of(mode == MAPS ? R_STR_MAP_DL_ERROR_DOWNLOAD : R_STR_SPEAKER_DL_ERROR_DOWNLOAD);
    else {
        XrString root = card_root(), card;
        XrString uri = root;
        const int cut = uri.find(L"map/");
        if (cut >= 0)
            uri = XrString(uri.c_str(), cut);
        if (!get_display_name(XrString(L"file://") + uri, card))
            card = root;
        message.format(600, text_of(R_STR_DL_OUT_OF_SPACE).c_str(), card.c_str(),
                       xr_format_content_size(missing).c_str());
    }
    XrByteArray utf8(64, 64);
    XrMaemoCommon::to_utf8(message, utf8);
    std::fprintf(stderr, "kestrova-navigator: update note: %.*s\n", utf8.get_num_items(),
                 reinterpret_cast<const char*>(utf8.get_items()));
    XrCommonDialogs::show_error_msg(text_of(R_STR_MAP_DL_TITLE), message, GTK_WINDOW(dialog));
}

void XrMaemoMapsDlg::on_download_result(bool ok)
{
    operation_done(ok ? SUCCESS : FAILURE, 0);
}

void XrMaemoMapsDlg::on_progress(const XrString& stage, unsigned done, unsigned total)
{
    if (progress == nullptr)
        return;
    progress->set_status(stage);
    if (stage == XrString(L"construct"))
        progress->set_cancel_sensitive(false);
    progress->set_fraction(total == 0 ? 0.0 : double(done) / double(total));
}

void XrMaemoMapsDlg::on_error(const XrString&)
{
    ++errors;
}

void XrMaemoMapsDlg::on_finished()
{
    // Reported from inside the manager's scheduler: the manager goes, and
    // the notes run, once that call has returned.
    if (finish_source == 0)
        finish_source = g_idle_add(on_finish_later, this);
}

gboolean XrMaemoMapsDlg::on_finish_later(gpointer self)
{
    auto* dlg = static_cast<XrMaemoMapsDlg*>(self);
    dlg->finish_source = 0;
    dlg->finish_update();
    return FALSE;
}

void XrMaemoMapsDlg::finish_update()
{
    if (g_manager != nullptr) {
        g_manager->set_listener(nullptr);
        delete g_manager;
        g_manager = nullptr;
    }
    if (progress != nullptr)
        progress->close(GTK_RESPONSE_ACCEPT);
    delete_download_lists();
    drop_busy();
    set_busy(false);
    // The lists show the card as it now is before any note appears.
    fill_installed();
    fill_available();
    if (errors != 0)
        show_error(FAILURE, 0);
    state = IDLE;
}

void XrMaemoMapsDlg::cancel_operation()
{
    if (g_manager == nullptr)
        return;
    show_busy(R_STR_CANCELING);
    set_busy(true);
    if (g_manager->is_downloading_list())
        g_manager->cancel_list_download();
    else
        g_manager->cancel();
}
