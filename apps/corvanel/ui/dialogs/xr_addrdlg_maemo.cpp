#include "apps/corvanel/ui/dialogs/xr_addrdlg_maemo.h"

#include "common/container/xr_bytearray.h"
#include "common/corvanel_core/interfaces/xr_locationdetailsprovider.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "common/types/xr_coordinate.h"
#include "common/ui/dialog/xr_builders.h"
#include "common/ui/dialog/xr_commondialogs.h"
#include "common/ui/dialog/xr_maemocommon.h"

#include <gdk/gdkkeysyms.h>

#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <string>

namespace {

constexpr int ICON_STRIP = 0x49A70015;
constexpr int ICON_RESULT = 0;
constexpr int ICON_INFO = 12;

XrString text_of(int id)
{
    XrString text;
    get_translated_text(text, id);
    return text;
}

// A catalogue text with one "%d" filled in.
XrString text_with_number(int id, int number)
{
    std::wstring text(text_of(id).c_str());
    const size_t at = text.find(L"%d");
    if (at != std::wstring::npos)
        text.replace(at, 2, std::to_wstring(number));
    return XrString(text.c_str());
}

std::string utf8(const XrString& text)
{
    XrByteArray bytes(16, 16);
    XrMaemoCommon::to_utf8(text, bytes);
    return bytes.get_num_items() > 0 ? std::string(reinterpret_cast<const char*>(bytes.get_items())) : std::string();
}

const char* const kEntryNames[3] = {"street_text", "county_text", "number_text"};
const char* const kListNames[2] = {"street_list", "county_list"};
const char* const kListRows[2] = {"street_list_row", "city_list_row"};

} // namespace

XrAddrDlgMaemo::XrAddrDlgMaemo(const XrString& title, XrCorvanelDialogFacade::AddressDlgType type,
                               XrEventloopBase* loop, XrProjection* projection, bool& chosen, XrPoint& point,
                               XrString& name, const XrPoint* centre)
    : XrAddrDlg(title, type, loop, projection, chosen, point, name, centre)
{
}

XrAddrDlgMaemo::~XrAddrDlgMaemo()
{
    if (m_timer != 0)
        g_source_remove(m_timer);
    if (m_ok_idle != 0)
        g_source_remove(m_ok_idle);
    if (m_page_timer != 0)
        g_source_remove(m_page_timer);
    release_impl();
    m_widget = nullptr;
}

void XrAddrDlgMaemo::create_dialog(int mode)
{
    m_widget = create_address_dlg();
    if (GtkWidget* top = XrMapWindow::get_toplevel())
        gtk_window_set_transient_for(GTK_WINDOW(m_widget), GTK_WINDOW(top));
    gtk_window_set_modal(GTK_WINDOW(m_widget), TRUE);
    XrDialogBase::construct(m_widget);
    set_display_mode(mode);
    show(true);
}

void XrAddrDlgMaemo::create_controls()
{
    GtkWidget* area = GTK_DIALOG(m_widget)->action_area;
    m_ok = gtk_button_new_with_label(utf8(text_of(R_STR_DLG_OK)).c_str());
    m_cancel = gtk_button_new_with_label(utf8(text_of(R_STR_DLG_CANCEL)).c_str());
    gtk_box_pack_start(GTK_BOX(area), m_ok, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(area), m_cancel, FALSE, FALSE, 0);
    gtk_widget_show(m_ok);
    gtk_widget_show(m_cancel);
    gtk_widget_set_sensitive(m_ok, FALSE);
    g_signal_connect(m_ok, "clicked", G_CALLBACK(&ok_clicked), this);
    g_signal_connect(m_cancel, "clicked", G_CALLBACK(&cancel_clicked), this);

    XrMaemoCommon::set_dialog_title(m_widget, m_title, true);
    const XrMaemoCommon::ItemText texts[] = {
        {"street_label", R_STR_POSDLG_STREET, 0},     {"county_label", R_STR_POSDLG_CITY_OR_POSTAL, 0},
        {"number_label", R_STR_POSDLG_NUMBER, 0},     {"address_button", R_STR_POSDLG_PAGE_ADDR, 1},
        {"city_button", R_STR_POSDLG_PAGE_CITY, 1},   {"history_button", R_STR_POSDLG_PAGE_HIST, 1},
        {"favourites_button", R_STR_POSDLG_PAGE_FAV, 1}, {"poi_button", R_STR_POSDLG_PAGE_POI, 1},
        {"coordinates_button", R_STR_POSDLG_PAGE_COORD, 1},
    };
    XrMaemoCommon::set_item_texts(m_widget, texts, static_cast<int>(sizeof texts / sizeof texts[0]));
    const XrMaemoCommon::ItemText page_texts[] = {
        {"city_label", R_STR_POSDLG_PAGE_CITY, 0},      {"poi_label_search", R_STR_SEARCH, 0},
        {"poi_label_where", R_STR_DISTANCE, 0},         {"poi_label_category", R_STR_POSDLG_POITYPE, 0},
    };
    XrMaemoCommon::set_item_texts(m_widget, page_texts, static_cast<int>(sizeof page_texts / sizeof page_texts[0]));
    gtk_widget_hide(XrMaemoCommon::lookup_widget(m_widget, "statefilter_placeholder_city"));
    g_signal_connect(XrMaemoCommon::lookup_widget(m_widget, "city_button"), "clicked", G_CALLBACK(&city_clicked),
                     this);
    g_signal_connect(XrMaemoCommon::lookup_widget(m_widget, "favourites_button"), "clicked",
                     G_CALLBACK(&favourites_clicked), this);
    g_signal_connect(XrMaemoCommon::lookup_widget(m_widget, "poi_button"), "clicked", G_CALLBACK(&poi_clicked), this);
    m_city_list = make_list("city_list", 1);
    m_favourite_list = make_list("favourite_list", 4);
    m_poi_list = make_list("poi_list", 3);
    for (const char* name : {"city_text", "poi_text"})
        g_signal_connect(XrMaemoCommon::lookup_widget(m_widget, name), "changed", G_CALLBACK(&page_text_changed),
                         this);
    // Where to look for POIs: near the map's cursor, along the route, near
    // a recent place, in the chosen state, or anywhere.
    std::wstring cursor(text_of(R_MENU_VIEW_CURSOR).c_str());
    for (wchar_t& c : cursor)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    std::wstring near(text_of(R_STR_POSDLG_NEAR).c_str());
    std::wstring near_cursor = near + L" " + cursor;
    auto* details = static_cast<XrLocationDetailsProvider*>(
        XrSingleton::get_instance(XrString(L"XrLocationDetailsProvider")));
    auto* view = static_cast<XrMapViewProvider*>(XrSingleton::get_instance(XrString(L"XrMapViewProvider")));
    XrLocationDetails place;
    if (details != nullptr && view != nullptr && details->get_details(view->get_center_coordinate(), place) &&
        !place.text.is_empty())
        near_cursor += L": " + std::wstring(place.text.c_str());
    add_where_row(XrString(near_cursor.c_str()), AREA_MAP_CENTRE);
    if (route_has_waypoints())
        add_where_row(text_of(R_STR_POSDLG_EN_ROUTE), AREA_EN_ROUTE);
    for (size_t i = 0; i < get_area_waypoints().size(); ++i)
        add_where_row(XrString((near + L" " + get_area_waypoints()[i].name.c_str()).c_str()),
                      AREA_NEAR_WAYPOINT + static_cast<int>(i));
    add_where_row(text_of(R_STR_POSDLG_POI_ANYWHERE), AREA_ANYWHERE);
    refresh_poi_state_row();
    g_signal_connect(XrMaemoCommon::lookup_widget(m_widget, "poisearch_combobox"), "changed",
                     G_CALLBACK(&poi_where_changed), this);
    g_signal_connect(XrMaemoCommon::lookup_widget(m_widget, "address_button"), "clicked",
                     G_CALLBACK(&address_clicked), this);

    for (int row = 0; row < 3; ++row) {
        m_entries[row] = XrMaemoCommon::lookup_widget(m_widget, kEntryNames[row]);
        g_signal_connect(m_entries[row], "changed", G_CALLBACK(&entry_changed), this);
        g_signal_connect(m_entries[row], "focus-in-event", G_CALLBACK(&entry_focused), this);
        g_signal_connect(m_entries[row], "key-press-event", G_CALLBACK(&entry_key), this);
    }
    XrMaemoCommon::set_numeric_input(m_widget, "number_text");
    // The state filter is not offered: its placeholder stays hidden.
    gtk_widget_hide(XrMaemoCommon::lookup_widget(m_widget, "statefilter_placeholder"));
    for (int row = 0; row < 2; ++row) {
        m_lists[row] = new XrContextualListCtrl<int>(XrSimpleListCtrl::STYLE_TWO_LINES);
        m_lists[row]->construct();
        m_lists[row]->add_listener(this);
        XrContextualListWidgets widgets;
        widgets.tree_view = XrMaemoCommon::lookup_widget(m_widget, kListNames[row]);
        m_lists[row]->set_native_control(&widgets);
        gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(widgets.tree_view), FALSE);
        g_signal_connect(widgets.tree_view, "row-activated", G_CALLBACK(&row_activated), this);
        add_control(0, m_lists[row], false);
    }
    g_signal_connect(XrMaemoCommon::lookup_widget(m_widget, "history_button"), "clicked",
                     G_CALLBACK(&history_clicked), this);
    m_history_list = new XrContextualListCtrl<int>(XrSimpleListCtrl::STYLE_TWO_LINES);
    m_history_list->construct();
    m_history_list->add_listener(this);
    XrContextualListWidgets history;
    history.tree_view = XrMaemoCommon::lookup_widget(m_widget, "history_list");
    m_history_list->set_native_control(&history);
    gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(history.tree_view), FALSE);
    g_signal_connect(history.tree_view, "row-activated", G_CALLBACK(&history_activated), this);
    add_control(7, m_history_list, false);

    g_signal_connect(XrMaemoCommon::lookup_widget(m_widget, "coordinates_button"), "clicked",
                     G_CALLBACK(&coordinates_clicked), this);
    for (const char* name : {"lat_options", "lon_options"}) {
        const bool lat = name[1] == 'a';
        XrMaemoCommon::combo_append_text(m_widget, name, XrString(lat ? L"N" : L"E"));
        XrMaemoCommon::combo_append_text(m_widget, name, XrString(lat ? L"S" : L"W"));
        XrMaemoCommon::set_combo_active(m_widget, name, 0);
    }
    for (const char* name : {"lat_h", "lat_min", "lat_sec", "lon_h", "lon_min", "lon_sec"}) {
        XrMaemoCommon::set_numeric_input(m_widget, name);
        // Room for a decimal fraction ("30.9950", "59.700").
        gtk_entry_set_max_length(GTK_ENTRY(XrMaemoCommon::lookup_widget(m_widget, name)), 10);
        g_signal_connect(XrMaemoCommon::lookup_widget(m_widget, name), "changed", G_CALLBACK(&coordinate_changed),
                         this);
        // Enter in a field is OK (the widget argument is not used).
        g_signal_connect(XrMaemoCommon::lookup_widget(m_widget, name), "activate", G_CALLBACK(&ok_clicked), this);
    }
    add_contacts_page();
    show_page(NB_START);
}

void XrAddrDlgMaemo::add_contacts_page()
{
    // A page like the city page: the search text above the list.
    GtkWidget* page = gtk_vbox_new(FALSE, 0);
    GtkWidget* row = gtk_hbox_new(TRUE, 0);
    GtkWidget* label = gtk_label_new(utf8(text_of(R_STR_POSDLG_PAGE_CONTACTS)).c_str());
    GtkWidget* entry = gtk_entry_new();
    gtk_box_pack_start(GTK_BOX(row), label, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(row), entry, TRUE, TRUE, 2);
    gtk_box_pack_start(GTK_BOX(page), row, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(page), gtk_hseparator_new(), FALSE, TRUE, 5);
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    GtkWidget* view = gtk_tree_view_new();
    gtk_container_add(GTK_CONTAINER(scrolled), view);
    gtk_box_pack_start(GTK_BOX(page), scrolled, TRUE, TRUE, 0);
    gtk_widget_show_all(page);
    GtkNotebook* notebook = GTK_NOTEBOOK(XrMaemoCommon::lookup_widget(m_widget, "notebook"));
    gtk_notebook_append_page(notebook, page, nullptr);
    const std::pair<const char*, GtkWidget*> names[] = {
        {"contacts_page", page}, {"contact_text", entry}, {"contact_list", view}};
    for (const auto& name : names)
        g_object_set_data_full(G_OBJECT(m_widget), name.first, g_object_ref(name.second), g_object_unref);
    g_signal_connect(entry, "changed", G_CALLBACK(&page_text_changed), this);
    m_contact_list = make_list("contact_list", 5);

    // The start page gains a third row, lower than the two rows of large
    // buttons, with the contacts button in its middle cell.
    GtkWidget* table = XrMaemoCommon::lookup_widget(m_widget, "table8");
    gtk_table_set_homogeneous(GTK_TABLE(table), FALSE);
    gtk_table_resize(GTK_TABLE(table), 3, 3);
    GtkWidget* button = gtk_button_new_with_label(utf8(text_of(R_STR_POSDLG_PAGE_CONTACTS)).c_str());
    gtk_table_attach(GTK_TABLE(table), button, 1, 2, 2, 3, GTK_FILL, GTK_FILL, 0, 0);
    gtk_widget_show(button);
    g_object_set_data_full(G_OBJECT(m_widget), "contacts_button", g_object_ref(button), g_object_unref);
    g_signal_connect(button, "clicked", G_CALLBACK(&contacts_clicked), this);
}

void XrAddrDlgMaemo::add_where_row(const XrString& text, int code)
{
    XrMaemoCommon::combo_append_text(m_widget, "poisearch_combobox", text);
    m_where_codes.push_back(code);
}

void XrAddrDlgMaemo::refresh_poi_state_row()
{
    // At most one in-state row, the last one, while a state is chosen.
    ++m_quiet;
    GtkComboBox* combo = GTK_COMBO_BOX(XrMaemoCommon::lookup_widget(m_widget, "poisearch_combobox"));
    for (int i = static_cast<int>(m_where_codes.size()) - 1; i >= 0; --i)
        if (m_where_codes[static_cast<size_t>(i)] == AREA_IN_STATE) {
            gtk_combo_box_remove_text(combo, i);
            m_where_codes.erase(m_where_codes.begin() + i);
        }
    XrString state;
    auto* streets = static_cast<XrAddrSearchProvider*>(XrSingleton::get_instance(XrString(L"XrAddrSearchProvider")));
    if (streets != nullptr && streets->get_upper_county_filter(state) && !state.is_empty()) {
        std::wstring text(text_of(R_STR_STATEFILTER_REGION).c_str());
        text += L": " + std::wstring(state.c_str());
        add_where_row(XrString(text.c_str()), AREA_IN_STATE);
    }
    --m_quiet;
    gtk_combo_box_set_active(combo, 0);
}

void XrAddrDlgMaemo::show_contact_rows()
{
    m_contact_list->remove_all_items();
    const std::vector<ContactRow>& rows = get_contact_rows();
    for (size_t i = 0; i < rows.size(); ++i)
        m_contact_list->add_item(rows[i].title, rows[i].subtitle, static_cast<int>(i), rows[i].icon, ICON_STRIP);
    if (!rows.empty())
        m_contact_list->set_selection(0);
    // The edit shows the page's text (emptied for a contact's addresses,
    // restored on the way back).
    ++m_quiet;
    const std::string text = utf8(get_contact_text());
    GtkWidget* entry = XrMaemoCommon::lookup_widget(m_widget, "contact_text");
    if (text != gtk_entry_get_text(GTK_ENTRY(entry)))
        gtk_entry_set_text(GTK_ENTRY(entry), text.c_str());
    --m_quiet;
    schedule_ok_update();
}

void XrAddrDlgMaemo::contacts_clicked(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrAddrDlgMaemo*>(data);
    self->search_contacts();
    self->show_contact_rows();
    self->show_page(NB_CONTACTS);
    gtk_widget_grab_focus(XrMaemoCommon::lookup_widget(self->m_widget, "contact_text"));
}

XrContextualListCtrl<int>* XrAddrDlgMaemo::make_list(const char* view, int page)
{
    auto* list = new XrContextualListCtrl<int>(XrSimpleListCtrl::STYLE_TWO_LINES);
    list->construct();
    list->add_listener(this);
    XrContextualListWidgets widgets;
    widgets.tree_view = XrMaemoCommon::lookup_widget(m_widget, view);
    list->set_native_control(&widgets);
    gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(widgets.tree_view), FALSE);
    g_signal_connect(widgets.tree_view, "row-activated", G_CALLBACK(&page_row_activated), this);
    g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(widgets.tree_view)), "changed",
                     G_CALLBACK(&selection_changed), this);
    add_control(page, list, false);
    return list;
}

void XrAddrDlgMaemo::show_point_rows(XrContextualListCtrl<int>* list, const std::vector<PointRow>& rows, int icon)
{
    list->remove_all_items();
    for (size_t i = 0; i < rows.size(); ++i)
        list->add_item(rows[i].title, rows[i].subtitle, static_cast<int>(i), rows[i].kind == 0 ? icon : ICON_INFO,
                       ICON_STRIP);
    list->set_selection(0);
    schedule_ok_update();
}

void XrAddrDlgMaemo::show_poi_rows()
{
    m_poi_list->remove_all_items();
    const std::vector<PoiRow>& rows = get_poi_rows();
    for (size_t i = 0; i < rows.size(); ++i)
        m_poi_list->add_item(rows[i].title, rows[i].subtitle, static_cast<int>(i), rows[i].icon, ICON_STRIP);
    if (!rows.empty())
        m_poi_list->set_selection(0);
    schedule_ok_update();
}

void XrAddrDlgMaemo::city_clicked(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrAddrDlgMaemo*>(data);
    self->search_cities(XrMaemoCommon::get_entry_text(self->m_widget, "city_text"));
    self->show_point_rows(self->m_city_list, self->get_city_rows(), 1);
    self->show_page(NB_CITY);
    gtk_widget_grab_focus(XrMaemoCommon::lookup_widget(self->m_widget, "city_text"));
}

void XrAddrDlgMaemo::favourites_clicked(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrAddrDlgMaemo*>(data);
    self->fill_favourites_page();
    self->show_point_rows(self->m_favourite_list, self->get_favourite_rows(), 11);
    self->show_page(NB_FAVOURITES);
    gtk_widget_grab_focus(self->m_favourite_list->get_tree_view());
}

void XrAddrDlgMaemo::poi_clicked(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrAddrDlgMaemo*>(data);
    self->refresh_poi_state_row();
    self->search_pois();
    self->show_poi_rows();
    self->show_page(NB_POI);
    gtk_widget_grab_focus(XrMaemoCommon::lookup_widget(self->m_widget, "poi_text"));
}

void XrAddrDlgMaemo::page_text_changed(GtkEditable* entry, gpointer data)
{
    auto* self = static_cast<XrAddrDlgMaemo*>(data);
    if (self->m_quiet > 0)
        return;
    if (GTK_WIDGET(entry) == XrMaemoCommon::lookup_widget(self->m_widget, "contact_text"))
        self->contact_text_changed(XrMaemoCommon::from_utf8(gtk_entry_get_text(GTK_ENTRY(entry))));
    if (GTK_WIDGET(entry) == XrMaemoCommon::lookup_widget(self->m_widget, "poi_text")) {
        self->poi_text_changed(XrMaemoCommon::from_utf8(gtk_entry_get_text(GTK_ENTRY(entry))));
        self->show_poi_rows();
    }
    if (self->m_page_timer != 0)
        g_source_remove(self->m_page_timer);
    self->m_page_timer = g_timeout_add_seconds(static_cast<guint>(get_search_delay()), &page_search_timeout, self);
    self->schedule_ok_update();
}

gboolean XrAddrDlgMaemo::page_search_timeout(gpointer data)
{
    auto* self = static_cast<XrAddrDlgMaemo*>(data);
    self->m_page_timer = 0;
    self->run_page_search();
    return FALSE;
}

void XrAddrDlgMaemo::run_page_search()
{
    if (current_page() == NB_CITY) {
        search_cities(XrMaemoCommon::get_entry_text(m_widget, "city_text"));
        show_point_rows(m_city_list, get_city_rows(), 1);
    } else if (current_page() == NB_POI) {
        search_pois();
        show_poi_rows();
    } else if (current_page() == NB_CONTACTS) {
        search_contacts();
        show_contact_rows();
    }
}

void XrAddrDlgMaemo::poi_where_changed(GtkComboBox* combo, gpointer data)
{
    auto* self = static_cast<XrAddrDlgMaemo*>(data);
    if (self->m_quiet > 0)
        return;
    const int at = gtk_combo_box_get_active(combo);
    if (at < 0 || at >= static_cast<int>(self->m_where_codes.size()))
        return;
    const int area = self->m_where_codes[static_cast<size_t>(at)];
    if (area == self->get_poi_area())
        return;
    self->set_poi_area(area);
    const char* where = area == AREA_EN_ROUTE    ? "along the route"
                        : area == AREA_IN_STATE  ? "in the state"
                        : area == AREA_ANYWHERE  ? "anywhere"
                        : area == AREA_MAP_CENTRE ? "near the cursor"
                                                  : "near a recent place";
    std::fprintf(stderr, "kestrova-navigator: address dialog: POIs %s\n", where);
    if (!self->in_category_mode()) {
        self->search_pois();
        self->show_poi_rows();
    }
}

bool XrAddrDlgMaemo::choose_on_page(int index)
{
    const int page = current_page();
    if (page == NB_CITY) {
        const std::string title = index >= 0 && index < static_cast<int>(get_city_rows().size())
                                      ? utf8(get_city_rows()[static_cast<size_t>(index)].title)
                                      : std::string();
        if (choose_city(index)) {
            std::fprintf(stderr, "kestrova-navigator: address dialog: chosen \"%s\" from the cities\n", title.c_str());
            return true;
        }
        show_point_rows(m_city_list, get_city_rows(), 1);
        m_city_list->set_selection(index);
    } else if (page == NB_FAVOURITES) {
        const std::string title = index >= 0 && index < static_cast<int>(get_favourite_rows().size())
                                      ? utf8(get_favourite_rows()[static_cast<size_t>(index)].title)
                                      : std::string();
        if (choose_favourite(index)) {
            std::fprintf(stderr, "kestrova-navigator: address dialog: chosen \"%s\" from the favourites\n",
                         title.c_str());
            return true;
        }
    } else if (page == NB_POI) {
        const std::string title = index >= 0 && index < static_cast<int>(get_poi_rows().size())
                                      ? utf8(get_poi_rows()[static_cast<size_t>(index)].title)
                                      : std::string();
        if (choose_poi(index)) {
            std::fprintf(stderr, "kestrova-navigator: address dialog: chosen \"%s\" from the POIs\n", title.c_str());
            return true;
        }
        show_poi_rows();
    } else if (page == NB_CONTACTS) {
        if (choose_contact(index)) {
            std::fprintf(stderr, "kestrova-navigator: address dialog: chosen \"%s\" from the contacts\n",
                         utf8(m_name).c_str());
            return true;
        }
        show_contact_rows();
    }
    return false;
}

void XrAddrDlgMaemo::page_row_activated(GtkTreeView*, GtkTreePath* path, GtkTreeViewColumn*, gpointer data)
{
    gchar* text = gtk_tree_path_to_string(path);
    const int index = std::atoi(text);
    g_free(text);
    static_cast<XrAddrDlgMaemo*>(data)->choose_on_page(index);
}

void XrAddrDlgMaemo::selection_changed(GtkTreeSelection*, gpointer data)
{
    static_cast<XrAddrDlgMaemo*>(data)->schedule_ok_update();
}

void XrAddrDlgMaemo::coordinates_clicked(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrAddrDlgMaemo*>(data);
    self->show_page(NB_COORDINATES);
    gtk_widget_grab_focus(XrMaemoCommon::lookup_widget(self->m_widget, "lat_h"));
}

void XrAddrDlgMaemo::coordinate_changed(GtkEditable*, gpointer data)
{
    static_cast<XrAddrDlgMaemo*>(data)->schedule_ok_update();
}

void XrAddrDlgMaemo::accept_coordinates()
{
    auto field = [this](const char* name) { return XrMaemoCommon::get_entry_text(m_widget, name); };
    double lat = 0, lon = 0;
    const bool lat_ok = degrees_of(field("lat_h"), field("lat_min"), field("lat_sec"), 90, lat);
    const bool lon_ok = lat_ok && degrees_of(field("lon_h"), field("lon_min"), field("lon_sec"), 180, lon);
    if (!lat_ok || !lon_ok || m_projection == nullptr) {
        // The expected form of the axis that failed.
        std::fprintf(stderr, "kestrova-navigator: address dialog: %s refused\n", lat_ok ? "longitude" : "latitude");
        XrCommonDialogs::show_error_msg(text_of(R_STR_MSG_ERROR),
                                        text_of(lat_ok ? R_STR_COORD_FORMAT_LON1 : R_STR_COORD_FORMAT_LAT1),
                                        GTK_WINDOW(m_widget));
        return;
    }
    const bool south = XrMaemoCommon::get_combo_active(m_widget, "lat_options") == 1;
    const bool west = XrMaemoCommon::get_combo_active(m_widget, "lon_options") == 1;
    if (south)
        lat = -lat;
    if (west)
        lon = -lon;
    // "(31°00'16\" N,024°00'20\" W)", "(30.995° N,024.005° W)": the fields
    // as typed, padded.
    auto axis = [&](const char* d, const char* m, const char* s, int width, const char* hemisphere) {
        auto num = [&](const char* name, int w) {
            std::string t = utf8(field(name));
            if (t.empty())
                t = "0";
            while (static_cast<int>(t.size()) < w)
                t.insert(0, "0");
            return t;
        };
        auto decimal = [&](const char* name) { return utf8(field(name)).find_first_of(".,") != std::string::npos; };
        if (decimal(d))
            return num(d, width) + "\u00b0 " + hemisphere;
        if (decimal(m))
            return num(d, width) + "\u00b0" + num(m, 2) + "' " + hemisphere;
        return num(d, width) + "\u00b0" + num(m, 2) + "'" + num(s, 2) + "\" " + hemisphere;
    };
    const std::string name = "(" + axis("lat_h", "lat_min", "lat_sec", 2, south ? "S" : "N") + "," +
                             axis("lon_h", "lon_min", "lon_sec", 3, west ? "W" : "E") + ")";
    std::fprintf(stderr, "kestrova-navigator: address dialog: chosen \"%s\" at %.6f,%.6f\n", name.c_str(), lat, lon);
    accept_place(XrCoordinate(lon, lat).to_point(m_projection), XrMaemoCommon::from_utf8(name.c_str()));
    close_dialog();
}

int XrAddrDlgMaemo::current_page() const
{
    return gtk_notebook_get_current_page(GTK_NOTEBOOK(XrMaemoCommon::lookup_widget(m_widget, "notebook")));
}

void XrAddrDlgMaemo::history_clicked(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrAddrDlgMaemo*>(data);
    self->fill_history_page();
    self->m_history_list->remove_all_items();
    for (size_t i = 0; i < self->get_history_rows().size(); ++i) {
        const PointRow& row = self->get_history_rows()[i];
        self->m_history_list->add_item(row.title, XrString(L""), static_cast<int>(i), row.kind == 0 ? ICON_RESULT : ICON_INFO,
                                       ICON_STRIP);
    }
    self->m_history_list->set_selection(0);
    self->show_page(NB_HISTORY);
    // Enter on the list takes the first place.
    GtkTreePath* first = gtk_tree_path_new_first();
    gtk_tree_view_set_cursor(GTK_TREE_VIEW(self->m_history_list->get_tree_view()), first, nullptr, FALSE);
    gtk_tree_path_free(first);
    gtk_widget_grab_focus(self->m_history_list->get_tree_view());
}

void XrAddrDlgMaemo::history_activated(GtkTreeView*, GtkTreePath* path, GtkTreeViewColumn*, gpointer data)
{
    auto* self = static_cast<XrAddrDlgMaemo*>(data);
    gchar* text = gtk_tree_path_to_string(path);
    const int index = std::atoi(text);
    g_free(text);
    if (self->choose_history(index))
        std::fprintf(stderr, "kestrova-navigator: address dialog: chosen \"%s\" from the history\n",
                     utf8(self->get_history_rows()[static_cast<size_t>(index)].title).c_str());
}

void XrAddrDlgMaemo::handle_command(int)
{
    // The window's own responses (Escape, the close button) end the run
    // with nothing chosen; the destructor clears the caller's flag.
}

void XrAddrDlgMaemo::show_page(int page)
{
    GtkNotebook* notebook = GTK_NOTEBOOK(XrMaemoCommon::lookup_widget(m_widget, "notebook"));
    gtk_notebook_set_show_tabs(notebook, FALSE);
    gtk_notebook_set_current_page(notebook, page);
    XrMaemoCommon::set_window_title(m_widget, page == NB_START ? text_of(R_STR_POSDLG_TITLE_LOCATION) : m_title);
    if (page == NB_START)
        gtk_widget_grab_focus(XrMaemoCommon::lookup_widget(m_widget, "address_button"));
    if (page == NB_ADDRESS) {
        show_lists();
        gtk_widget_grab_focus(entry_of(get_focus_row()));
    }
    schedule_ok_update();
}

GtkWidget* XrAddrDlgMaemo::entry_of(int row) const { return m_entries[row < 0 || row > 2 ? 0 : row]; }

int XrAddrDlgMaemo::row_of(GtkWidget* entry) const
{
    for (int row = 0; row < 3; ++row)
        if (m_entries[row] == entry)
            return row;
    return -1;
}

void XrAddrDlgMaemo::show_lists()
{
    for (int row = 0; row < 2; ++row) {
        GtkWidget* box = XrMaemoCommon::lookup_widget(m_widget, kListRows[row]);
        if (in_list_mode() && get_focus_row() == row)
            gtk_widget_show(box);
        else
            gtk_widget_hide(box);
    }
}

void XrAddrDlgMaemo::rows_changed(int row)
{
    XrContextualListCtrl<int>* list = m_lists[row];
    if (list == nullptr)
        return;
    list->remove_all_items();
    const std::vector<AddrRow>& rows = get_rows(row);
    for (size_t i = 0; i < rows.size(); ++i) {
        const bool info = rows[i].kind == KIND_NO_RESULTS || rows[i].kind == KIND_MORE;
        const bool plain = rows[i].kind == KIND_CONTINUATION;
        list->add_item(rows[i].title, rows[i].subtitle, static_cast<int>(i), plain ? -1 : info ? ICON_INFO : ICON_RESULT,
                       plain ? -1 : ICON_STRIP);
    }
    if (get_selected(row) >= 0)
        list->set_selection(get_selected(row));
    show_lists();
    schedule_ok_update();
}

void XrAddrDlgMaemo::texts_changed()
{
    ++m_quiet;
    for (int row = 0; row < 3; ++row) {
        const std::string now = utf8(get_text(row));
        if (now != gtk_entry_get_text(GTK_ENTRY(m_entries[row])))
            gtk_entry_set_text(GTK_ENTRY(m_entries[row]), now.c_str());
    }
    --m_quiet;
    XrMaemoCommon::set_label_text(m_widget, "number_label", number_label());
    schedule_ok_update();
}

void XrAddrDlgMaemo::focus_changed()
{
    show_lists();
    ++m_quiet;
    if (!gtk_widget_has_focus(entry_of(get_focus_row())))
        gtk_widget_grab_focus(entry_of(get_focus_row()));
    gtk_editable_set_position(GTK_EDITABLE(entry_of(get_focus_row())), -1);
    --m_quiet;
    XrMaemoCommon::set_label_text(m_widget, "number_label", number_label());
    schedule_ok_update();
}

void XrAddrDlgMaemo::arm_search_timer()
{
    disarm_search_timer();
    m_timer = g_timeout_add_seconds(static_cast<guint>(get_search_delay()), &search_timeout, this);
    schedule_ok_update();
}

void XrAddrDlgMaemo::disarm_search_timer()
{
    if (m_timer != 0)
        g_source_remove(m_timer);
    m_timer = 0;
}

gboolean XrAddrDlgMaemo::search_timeout(gpointer data)
{
    auto* self = static_cast<XrAddrDlgMaemo*>(data);
    self->m_timer = 0;
    self->m_limit[0] = self->m_limit[1] = RESULT_STEP;
    self->search_address();
    return FALSE;
}

void XrAddrDlgMaemo::schedule_ok_update()
{
    if (m_ok_idle == 0)
        m_ok_idle = g_idle_add(&update_ok_idle, this);
}

gboolean XrAddrDlgMaemo::update_ok_idle(gpointer data)
{
    auto* self = static_cast<XrAddrDlgMaemo*>(data);
    self->m_ok_idle = 0;
    // The check only reads: nothing is chosen until OK.
    bool ready = self->current_page() == NB_COORDINATES;
    if (self->current_page() == NB_ADDRESS)
        ready = self->m_timer == 0 && self->addrcity_check(true).point_produced;
    else if (self->current_page() == NB_CITY || self->current_page() == NB_FAVOURITES) {
        const bool city = self->current_page() == NB_CITY;
        const std::vector<PointRow>& rows = city ? self->get_city_rows() : self->get_favourite_rows();
        const int at = (city ? self->m_city_list : self->m_favourite_list)->get_selected_index();
        ready = at >= 0 && at < static_cast<int>(rows.size()) && rows[static_cast<size_t>(at)].kind != 1;
    } else if (self->current_page() == NB_POI) {
        const int at = self->m_poi_list->get_selected_index();
        ready = at >= 0 && at < static_cast<int>(self->get_poi_rows().size()) &&
                self->get_poi_rows()[static_cast<size_t>(at)].kind != POI_INFO;
    } else if (self->current_page() == NB_CONTACTS) {
        // A contact opens its addresses; an address is a place.
        const int at = self->m_contact_list->get_selected_index();
        const std::vector<ContactRow>& rows = self->get_contact_rows();
        ready = at >= 0 && at < static_cast<int>(rows.size()) &&
                (rows[static_cast<size_t>(at)].kind == CONTACT || rows[static_cast<size_t>(at)].kind == CONTACT_ADDRESS ||
                 rows[static_cast<size_t>(at)].kind == CONTACT_NUMBER || rows[static_cast<size_t>(at)].kind == CONTACT_SEARCH);
    } else if (self->current_page() == NB_HISTORY && self->m_history_list != nullptr) {
        const int at = self->m_history_list->get_selected_index();
        ready = at >= 0 && at < static_cast<int>(self->get_history_rows().size()) &&
                self->get_history_rows()[static_cast<size_t>(at)].kind == 0;
    }
    gtk_widget_set_sensitive(self->m_ok, ready);
    return FALSE;
}

void XrAddrDlgMaemo::accept()
{
    if (current_page() == NB_COORDINATES) {
        accept_coordinates();
        return;
    }
    if (current_page() == NB_HISTORY) {
        const int at = m_history_list->get_selected_index();
        if (choose_history(at))
            std::fprintf(stderr, "kestrova-navigator: address dialog: chosen \"%s\" from the history\n",
                         utf8(get_history_rows()[static_cast<size_t>(at)].title).c_str());
        return;
    }
    if (current_page() == NB_CITY || current_page() == NB_FAVOURITES || current_page() == NB_POI ||
        current_page() == NB_CONTACTS) {
        // A search still waiting runs first; OK then takes its selected row.
        if (m_page_timer != 0) {
            g_source_remove(m_page_timer);
            m_page_timer = 0;
            run_page_search();
            return;
        }
        XrContextualListCtrl<int>* list = current_page() == NB_CITY         ? m_city_list
                                          : current_page() == NB_FAVOURITES ? m_favourite_list
                                          : current_page() == NB_CONTACTS   ? m_contact_list
                                                                            : m_poi_list;
        choose_on_page(list->get_selected_index());
        return;
    }
    if (current_page() != NB_ADDRESS || m_timer != 0)
        return;
    AddrOutcome outcome = addrcity_check(false);
    if (!outcome.complete)
        return;
    if (!outcome.point_produced && outcome.typed > 0) {
        const XrString title = text_with_number(R_STR_POSDLG_NUMBER_WAS_NOT_FOUND, outcome.typed);
        const XrString text = outcome.number == -1 ? text_of(R_STR_POSDLG_USE_ANY_POINT_ON_STREET)
                                                   : text_with_number(R_STR_POSDLG_CLOSEST_NUMBER_WAS, outcome.number);
        std::fprintf(stderr, "kestrova-navigator: address dialog: number %d not found, closest %d\n", outcome.typed,
                     outcome.number);
        if (!XrCommonDialogs::show_query_msg(title, text, GTK_WINDOW(m_widget)))
            return;
        outcome = addrcity_check(true);
    }
    if (!outcome.point_produced)
        return;
    std::fprintf(stderr, "kestrova-navigator: address dialog: chosen \"%s\" at %d,%d\n",
                 utf8(outcome.name).c_str(), outcome.point.x, outcome.point.y);
    accept_place(outcome.point, outcome.name);
    close_dialog();
}

void XrAddrDlgMaemo::ok_clicked(GtkButton*, gpointer data) { static_cast<XrAddrDlgMaemo*>(data)->accept(); }

void XrAddrDlgMaemo::cancel_clicked(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrAddrDlgMaemo*>(data);
    GtkNotebook* notebook = GTK_NOTEBOOK(XrMaemoCommon::lookup_widget(self->m_widget, "notebook"));
    if (gtk_notebook_get_current_page(notebook) != NB_START) {
        self->show_page(NB_START);
        return;
    }
    self->reject();
    gtk_dialog_response(GTK_DIALOG(self->m_widget), GTK_RESPONSE_CANCEL);
}

void XrAddrDlgMaemo::address_clicked(GtkButton*, gpointer data)
{
    static_cast<XrAddrDlgMaemo*>(data)->show_page(NB_ADDRESS);
}

void XrAddrDlgMaemo::entry_changed(GtkEditable* entry, gpointer data)
{
    auto* self = static_cast<XrAddrDlgMaemo*>(data);
    if (self->m_quiet > 0)
        return;
    const int row = self->row_of(GTK_WIDGET(entry));
    self->text_changed(row, XrMaemoCommon::from_utf8(gtk_entry_get_text(GTK_ENTRY(entry))));
    self->schedule_ok_update();
}

gboolean XrAddrDlgMaemo::entry_focused(GtkWidget* entry, GdkEventFocus*, gpointer data)
{
    auto* self = static_cast<XrAddrDlgMaemo*>(data);
    const int row = self->row_of(entry);
    if (self->m_quiet == 0 && row >= 0 && row != self->m_focus) {
        self->m_focus = row;
        self->m_list_mode = false;
        self->show_lists();
        self->schedule_ok_update();
    }
    return FALSE;
}

gboolean XrAddrDlgMaemo::entry_key(GtkWidget* entry, GdkEventKey* event, gpointer data)
{
    auto* self = static_cast<XrAddrDlgMaemo*>(data);
    const int row = self->row_of(entry);
    const bool list = row >= 0 && row < 2 && self->in_list_mode() && row == self->get_focus_row();
    switch (event->keyval) {
    case GDK_Up:
    case GDK_Down: {
        if (!list) {
            // Outside the list the arrows move between the three rows.
            const int next = row + (event->keyval == GDK_Down ? 1 : -1);
            if (row < 0 || next < 0 || next > 2)
                return FALSE;
            self->m_focus = next;
            self->m_list_mode = false;
            self->focus_changed();
            return TRUE;
        }
        const int count = static_cast<int>(self->get_rows(row).size());
        if (count == 0)
            return TRUE;
        int at = self->get_selected(row) + (event->keyval == GDK_Down ? 1 : -1);
        at = at < 0 ? count - 1 : at >= count ? 0 : at;
        self->set_selected(row, at);
        self->m_lists[row]->set_selection(at);
        return TRUE;
    }
    case GDK_Return:
    case GDK_KP_Enter:
        if (list) {
            // A search still waiting runs now, and Enter then picks from it.
            if (self->m_timer != 0) {
                self->search_address();
                return TRUE;
            }
            self->choose_item(self->get_selected(row), true);
        } else {
            self->accept();
        }
        return TRUE;
    default:
        return FALSE;
    }
}

void XrAddrDlgMaemo::row_activated(GtkTreeView* view, GtkTreePath* path, GtkTreeViewColumn*, gpointer data)
{
    auto* self = static_cast<XrAddrDlgMaemo*>(data);
    const int row = self->m_lists[0] != nullptr && self->m_lists[0]->get_tree_view() == GTK_WIDGET(view) ? 0 : 1;
    gchar* text = gtk_tree_path_to_string(path);
    const int index = std::atoi(text);
    g_free(text);
    if (row != self->m_focus)
        return;
    self->choose_item(index, true);
}
