#include "apps/corvanel/ui/dialogs/xr_addrdlg.h"

#include "common/container/xr_array.h"
#include "common/corvanel_core/interfaces/xr_favouritesprovider.h"
#include "common/corvanel_core/interfaces/xr_historyprovider.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/corvanel_core/interfaces/xr_poiprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/corvanel_core/interfaces/xr_mappoint.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "common/types/xr_coordinate.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <string>

namespace {

XrString text_of(int id)
{
    XrString text;
    get_translated_text(text, id);
    return text;
}

XrAddrSearchProvider* address_search()
{
    return static_cast<XrAddrSearchProvider*>(XrSingleton::get_instance(XrString(L"XrAddrSearchProvider")));
}

template <class T> T* registered(const wchar_t* name)
{
    return static_cast<T*>(XrSingleton::get_instance(XrString(name)));
}

// A name for sorting: lower case, letters and digits only.
std::wstring folded(const XrString& text)
{
    std::wstring out;
    for (const wchar_t* s = text.c_str(); s != nullptr && *s != 0; ++s)
        if (std::iswalnum(static_cast<wint_t>(*s)))
            out += static_cast<wchar_t>(std::towlower(static_cast<wint_t>(*s)));
    return out;
}

bool is_origin(const XrPoint& p) { return p.x == 0 && p.y == 0; }

// The whole text as a decimal number above 0, else 0.
int parse_number(const XrString& text)
{
    const wchar_t* s = text.c_str();
    if (s == nullptr || *s == 0)
        return 0;
    long value = 0;
    for (; *s != 0; ++s) {
        if (*s < L'0' || *s > L'9' || value > 1000000)
            return 0;
        value = value * 10 + (*s - L'0');
    }
    return static_cast<int>(value);
}

} // namespace

XrAddrDlg::XrAddrDlg(const XrString& title, XrCorvanelDialogFacade::AddressDlgType type, XrEventloopBase* loop,
                     XrProjection* projection, bool& chosen, XrPoint& point, XrString& name, const XrPoint* centre)
    : m_title(title), m_type(type), m_loop(loop), m_projection(projection), m_chosen(chosen), m_point(point),
      m_name(name)
{
    m_chosen = false;
    if (centre != nullptr) {
        m_reference_known = true;
        m_reference = *centre;
    }
    auto* history = registered<XrHistoryProvider>(L"XrHistoryProvider");
    if (history != nullptr && m_projection != nullptr) {
        XrArray<XrHistoryMapPoint> points(8);
        history->get_history(points);
        for (int i = 0; i < points.get_num_items() && i < MAX_AREA_WAYPOINTS; ++i) {
            const XrHistoryMapPoint& p = *points.get_item_ptr(i);
            m_area_waypoints.push_back(AreaWaypoint{p.get_name(), p.get_coordinate().to_point(m_projection)});
        }
    }
}

bool XrAddrDlg::route_has_waypoints()
{
    auto* route = registered<XrRouteProvider>(L"XrRouteProvider");
    return route != nullptr && route->has_route() && route->get_waypoint_count() > 0;
}

XrAddrDlg::~XrAddrDlg()
{
    // Whatever ended the dialog, only an accepted place counts.
    if (!m_accepted)
        m_chosen = false;
}

void XrAddrDlg::set_selected(int row, int index)
{
    if (row < 0 || row > 1)
        return;
    const int count = static_cast<int>(m_rows[row].size());
    m_selected[row] = count == 0 ? -1 : (index < 0 ? 0 : index >= count ? count - 1 : index);
}

void XrAddrDlg::set_focus(int row)
{
    m_focus = row;
    focus_changed();
}

void XrAddrDlg::set_text(int row, const XrString& text)
{
    m_text[row] = text;
    texts_changed();
}

void XrAddrDlg::text_changed(int row, const XrString& text)
{
    if (row < ROW_STREET || row > ROW_NUMBER)
        return;
    m_text[row] = text;
    if (row != ROW_NUMBER) {
        if (m_focus != row || !m_list_mode) {
            m_focus = row;
            m_list_mode = true;
            focus_changed();
        }
        // A changed street or city undoes what was chosen after it.
        if (row == ROW_STREET && !m_rows[ROW_CITY].empty() && m_rows[ROW_CITY][0].kind != KIND_RESULT) {
            m_rows[ROW_CITY].clear();
            m_selected[ROW_CITY] = -1;
            rows_changed(ROW_CITY);
        }
        arm_search_timer();
    }
}

void XrAddrDlg::clear_address_page()
{
    for (XrString& t : m_text)
        t = XrString(L"");
    for (int row = 0; row < 2; ++row) {
        m_rows[row].clear();
        m_selected[row] = -1;
        m_limit[row] = RESULT_STEP;
        rows_changed(row);
    }
    texts_changed();
}

void XrAddrDlg::add_row(int row, const XrString& title, const XrString& subtitle, int kind,
                        const XrAddrSearchResult* r)
{
    AddrRow item;
    item.title = title;
    item.subtitle = subtitle;
    item.kind = kind;
    if (r != nullptr)
        item.result = *r;
    m_rows[row].push_back(item);
}

void XrAddrDlg::matching_address_found(XrAddrSearchResult* result)
{
    if (result == nullptr) {
        add_row(m_filling, text_of(R_STR_POSDLG_MORE_RESULTS), text_of(R_STR_POSDLG_MORE_RESULTS2), KIND_MORE, nullptr);
        return;
    }
    add_row(m_filling, result->name, result->details, KIND_RESULT, result);
}

bool XrAddrDlg::search_streets(const XrString& text)
{
    XrAddrSearchProvider* provider = address_search();
    if (provider == nullptr)
        return false;
    XrPoint reference = m_reference;
    XrPoint* where = m_reference_known ? &reference : nullptr;
    m_filling = ROW_STREET;
    const int city = m_selected[ROW_CITY];
    if (city < 0 || m_rows[ROW_CITY][static_cast<size_t>(city)].kind != KIND_RESULT) {
        provider->search_streets(&text, where, nullptr, this, m_limit[ROW_STREET]);
        return !m_rows[ROW_STREET].empty();
    }
    XrBinaryString<XrAddrSearchStreet> filter = m_rows[ROW_CITY][static_cast<size_t>(city)].result.streets;
    XrArray<XrString> continuations(8);
    int block = -1, offset = -1;
    if (!provider->get_continuations(text, &filter, continuations, block, offset))
        return false;
    if (block != -1) {
        provider->search_exact_streets(block, offset, where, &filter, this);
    } else if (continuations.get_num_items() > 0) {
        for (int i = 0; i < continuations.get_num_items(); ++i)
            add_row(ROW_STREET, *continuations.get_item_ptr(i), XrString(L""), KIND_CONTINUATION, nullptr);
    } else {
        provider->search_streets(&text, where, &filter, this, m_limit[ROW_STREET]);
    }
    return !m_rows[ROW_STREET].empty();
}

void XrAddrDlg::search_row(int row)
{
    m_rows[row].clear();
    m_selected[row] = -1;
    XrAddrSearchProvider* provider = address_search();
    if (row == ROW_CITY && provider != nullptr) {
        XrPoint reference = m_reference;
        m_filling = ROW_CITY;
        const int street = m_selected[ROW_STREET];
        XrBinaryString<XrAddrSearchStreet> filter;
        const bool filtered = street >= 0 && m_rows[ROW_STREET][static_cast<size_t>(street)].kind == KIND_RESULT;
        if (filtered)
            filter = m_rows[ROW_STREET][static_cast<size_t>(street)].result.streets;
        provider->search_counties(m_text[ROW_CITY], m_reference_known ? &reference : nullptr,
                                  filtered ? &filter : nullptr, this, m_limit[ROW_CITY]);
    } else if (row == ROW_STREET && !search_streets(m_text[ROW_STREET])) {
        m_rows[ROW_STREET].clear();
    }
    if (m_rows[row].empty())
        add_row(row, text_of(R_STR_POSDLG_NO_RESULTS_FOUND), text_of(R_STR_POSDLG_CLICK_TO_GO_BACK), KIND_NO_RESULTS,
                nullptr);
    m_selected[row] = 0;
    rows_changed(row);
}

void XrAddrDlg::search_address()
{
    disarm_search_timer();
    if (m_focus == ROW_NUMBER || !m_list_mode)
        return;
    search_row(m_focus);
}

void XrAddrDlg::choose_item(int index, bool close)
{
    if (m_focus == ROW_NUMBER)
        return;
    const int row = m_focus;
    if (index < 0 || index >= static_cast<int>(m_rows[row].size()))
        return;
    const AddrRow item = m_rows[row][static_cast<size_t>(index)];
    m_selected[row] = index;
    switch (item.kind) {
    case KIND_NO_RESULTS:
        clear_address_page();
        m_list_mode = false;
        set_focus(row);
        return;
    case KIND_MORE:
        m_limit[row] += RESULT_STEP;
        search_row(row);
        set_selected(row, index);
        rows_changed(row);
        return;
    case KIND_CONTINUATION: {
        std::wstring text(item.title.c_str());
        if (text.size() >= 3)
            text.resize(text.size() - 3);
        set_text(row, XrString(text.c_str()));
        search_row(row);
        return;
    }
    default:
        break;
    }
    switch (item.result.kind) {
    case XrAddrSearchResult::Street:
        set_text(ROW_STREET, item.title);
        search_row(ROW_CITY);
        if (!m_rows[ROW_CITY].empty() && m_rows[ROW_CITY][0].kind == KIND_RESULT)
            set_text(ROW_CITY, m_rows[ROW_CITY][0].title);
        m_list_mode = false;
        set_focus(ROW_NUMBER);
        break;
    case XrAddrSearchResult::MergedStreets:
        set_text(ROW_STREET, item.title);
        m_focus = ROW_CITY;
        search_row(ROW_CITY);
        m_list_mode = true;
        set_focus(ROW_CITY);
        break;
    case XrAddrSearchResult::County:
        if (row == ROW_STREET) {
            m_rows[ROW_CITY] = {item};
            m_selected[ROW_CITY] = 0;
            rows_changed(ROW_CITY);
        }
        set_text(ROW_CITY, item.title);
        m_focus = ROW_STREET;
        search_row(ROW_STREET);
        m_list_mode = true;
        set_focus(ROW_STREET);
        break;
    case XrAddrSearchResult::AllowedCounty:
        set_text(ROW_CITY, item.title);
        m_list_mode = false;
        set_focus(ROW_NUMBER);
        break;
    case XrAddrSearchResult::Place:
        if (is_origin(item.result.position))
            return;
        accept_place(item.result.position, item.title);
        if (close)
            close_dialog();
        break;
    default:
        break;
    }
}

const XrAddrSearchStreet* XrAddrDlg::chosen_street() const
{
    if (m_rows[ROW_STREET].empty() || m_rows[ROW_CITY].empty())
        return nullptr;
    for (int row : {ROW_STREET, ROW_CITY}) {
        const int sel = m_selected[row];
        if (sel < 0)
            continue;
        const AddrRow& item = m_rows[row][static_cast<size_t>(sel)];
        if (item.kind == KIND_RESULT && item.result.streets.items() == 1 &&
            (item.result.kind == XrAddrSearchResult::Street || item.result.kind == XrAddrSearchResult::AllowedCounty ||
             item.result.kind == XrAddrSearchResult::MergedStreets))
            return &item.result.streets.get(0);
    }
    return nullptr;
}

XrAddrDlg::AddrOutcome XrAddrDlg::addrcity_check(bool allow_closest) const
{
    AddrOutcome out;
    const XrAddrSearchStreet* street = chosen_street();
    XrAddrSearchProvider* provider = address_search();
    if (m_list_mode || street == nullptr || provider == nullptr)
        return out;
    out.complete = true;
    const bool empty = m_text[ROW_NUMBER].is_empty();
    out.typed = empty ? 1 : parse_number(m_text[ROW_NUMBER]);
    if (out.typed <= 0)
        return out; // not a number: nothing to look up
    const int position = static_cast<int>(street->position);
    int number = out.typed;
    XrPoint point = provider->get_house_number_position(position, number, true);
    if (!is_origin(point)) {
        out.exact = true;
        out.number = out.typed;
    } else {
        // number is now the closest existing one, or -1.
        out.number = number;
        if (!allow_closest && !empty)
            return out;
        point = provider->get_house_number_position(position, number, false);
        if (is_origin(point))
            return out; // (0, 0) is no place: not found
        out.number = number;
    }
    out.point_produced = true;
    out.point = point;
    std::wstring name(m_text[ROW_STREET].c_str());
    if (out.number > 0)
        name += L" " + std::to_wstring(out.number);
    out.name = XrString(name.c_str());
    return out;
}

XrString XrAddrDlg::number_label() const
{
    XrString label = text_of(R_STR_POSDLG_NUMBER);
    const XrAddrSearchStreet* street = chosen_street();
    XrAddrSearchProvider* provider = address_search();
    if (street == nullptr || provider == nullptr)
        return label;
    int low = -1, high = -1;
    provider->get_house_number_range(static_cast<int>(street->position), low, high);
    if (low <= 0 || high <= 0)
        return label;
    std::wstring text(label.c_str());
    text += L" (" + std::to_wstring(low) + L"-" + std::to_wstring(high) + L")";
    return XrString(text.c_str());
}

void XrAddrDlg::accept_place(const XrPoint& point, const XrString& name)
{
    m_accepted = true;
    m_chosen = true;
    m_point = point;
    m_name = name;
    auto* history = static_cast<XrHistoryProvider*>(XrSingleton::get_instance(XrString(L"XrHistoryProvider")));
    if (history != nullptr && m_projection != nullptr)
        history->add_history_point(XrHistoryMapPoint(XrCoordinate(point, m_projection), name));
}

void XrAddrDlg::reject()
{
    m_accepted = false;
    m_chosen = false;
}

void XrAddrDlg::fill_history_page()
{
    m_history.clear();
    auto* history = static_cast<XrHistoryProvider*>(XrSingleton::get_instance(XrString(L"XrHistoryProvider")));
    if (history != nullptr && m_projection != nullptr) {
        XrArray<XrHistoryMapPoint> points(8);
        history->get_history(points);
        for (int i = 0; i < points.get_num_items(); ++i) {
            const XrHistoryMapPoint& p = *points.get_item_ptr(i);
            PointRow row;
            row.title = p.get_name();
            row.point = p.get_coordinate().to_point(m_projection);
            m_history.push_back(row);
        }
    }
    if (m_history.empty()) {
        PointRow info;
        info.title = text_of(R_STR_POSDLG_NO_HISTORY);
        info.kind = 1;
        m_history.push_back(info);
    }
}

bool XrAddrDlg::choose_history(int index)
{
    if (index < 0 || index >= static_cast<int>(m_history.size()) || m_history[static_cast<size_t>(index)].kind != 0)
        return false;
    const PointRow row = m_history[static_cast<size_t>(index)];
    accept_place(row.point, row.title);
    close_dialog();
    return true;
}

bool XrAddrDlg::degrees_of(const XrString& degrees, const XrString& minutes, const XrString& seconds, int max_degrees,
                           double& out)
{
    // Digits with an optional decimal fraction ("." or ","); an empty field
    // is -1, a malformed one -2.
    struct Field {
        double value = -1;
        bool fraction = false;
    };
    auto field = [](const XrString& text) {
        Field f;
        const wchar_t* s = text.c_str();
        if (s == nullptr || *s == 0)
            return f;
        double value = 0, scale = 1;
        int digits = 0;
        for (; *s != 0; ++s) {
            if ((*s == L'.' || *s == L',') && !f.fraction) {
                f.fraction = true;
                continue;
            }
            if (*s < L'0' || *s > L'9' || value > 1000 || digits > 12) {
                f.value = -2;
                return f;
            }
            ++digits;
            if (f.fraction)
                value += (*s - L'0') * (scale /= 10);
            else
                value = value * 10 + (*s - L'0');
        }
        f.value = digits == 0 ? -2 : value;
        return f;
    };
    const Field d = field(degrees), m = field(minutes), sec = field(seconds);
    if (d.value < 0 || m.value < -1 || sec.value < -1 || m.value >= 60 || sec.value >= 60)
        return false;
    // A fraction ends the value: no finer field may follow it.
    if ((d.fraction && (m.value >= 0 || sec.value >= 0)) || (m.fraction && sec.value >= 0))
        return false;
    const double value = d.value + (m.value < 0 ? 0 : m.value) / 60.0 + (sec.value < 0 ? 0 : sec.value) / 3600.0;
    if (value > max_degrees)
        return false;
    out = value;
    return true;
}

bool XrAddrDlg::choose_point(const std::vector<PointRow>& rows, int index)
{
    if (index < 0 || index >= static_cast<int>(rows.size()) || rows[static_cast<size_t>(index)].kind != 0)
        return false;
    const PointRow row = rows[static_cast<size_t>(index)];
    accept_place(row.point, row.title);
    close_dialog();
    return true;
}

void XrAddrDlg::fill_favourites_page()
{
    m_favourites.clear();
    auto* favourites = registered<XrFavouritesProvider>(L"XrFavouritesProvider");
    if (favourites != nullptr && m_projection != nullptr) {
        XrArray<XrFavourite> all(10);
        favourites->get_favourites(all);
        for (int i = 0; i < all.get_num_items(); ++i) {
            const XrFavourite& f = *all.get_item_ptr(i);
            PointRow row;
            row.title = f.get_name();
            row.point = f.get_coordinate().to_point(m_projection);
            m_favourites.push_back(row);
        }
    }
    if (m_favourites.empty()) {
        PointRow info;
        info.title = text_of(R_STR_LIST_NO_FAVOURITES);
        info.kind = 1;
        m_favourites.push_back(info);
    }
}

bool XrAddrDlg::choose_favourite(int index) { return choose_point(m_favourites, index); }

void XrAddrDlg::search_cities(const XrString& text)
{
    m_city_text = text;
    if (text.is_empty()) {
        m_cities.clear();
        PointRow info;
        info.title = text_of(R_STR_POSDLG_TYPE_TO_SEARCH);
        info.kind = 1;
        m_cities.push_back(info);
        m_city_last = XrString(L"");
        m_city_last_limit = -1;
        return;
    }
    if (text == m_city_last && m_city_limit == m_city_last_limit)
        return;
    m_city_last = text;
    m_city_last_limit = m_city_limit;
    m_cities.clear();
    ++m_city_searches;
    if (auto* cities = registered<XrCitySearchProvider>(L"XrCitySearchProvider"))
        cities->search_cities(text, m_reference_known ? &m_reference : nullptr, this, m_city_limit);
    if (m_cities.empty()) {
        PointRow info;
        info.title = text_of(R_STR_POSDLG_NO_RESULTS_FOUND);
        info.subtitle = text_of(R_STR_POSDLG_TRY_AGAIN);
        info.kind = 1;
        m_cities.push_back(info);
    }
}

void XrAddrDlg::matching_city_found(XrCitySearchResult* result)
{
    PointRow row;
    if (result == nullptr) {
        row.title = text_of(R_STR_POSDLG_MORE_RESULTS);
        row.subtitle = text_of(R_STR_POSDLG_MORE_RESULTS2);
        row.kind = 2;
    } else {
        row.title = result->name;
        row.subtitle = result->details;
        row.point = result->position;
    }
    m_cities.push_back(row);
}

bool XrAddrDlg::choose_city(int index)
{
    if (index >= 0 && index < static_cast<int>(m_cities.size()) && m_cities[static_cast<size_t>(index)].kind == 2) {
        m_city_limit += RESULT_STEP;
        search_cities(m_city_text);
        return false;
    }
    return choose_point(m_cities, index);
}

void XrAddrDlg::poi_text_changed(const XrString& text)
{
    m_poi_text = text;
    m_category_mode = false;
    m_pois.clear();
}

void XrAddrDlg::fill_poi_categories()
{
    m_pois.clear();
    PoiRow all;
    all.title = text_of(R_STR_POSDLG_ALL_TYPES);
    all.kind = POI_ALL_TYPES;
    all.icon = 16;
    m_pois.push_back(all);
    auto* provider = registered<XrPoiProvider>(L"XrPoiProvider");
    if (provider == nullptr)
        return;
    XrArray<XrPoiSettings*>& classes = provider->get_poi_settings();
    std::vector<XrPoiSettings*> first, rest;
    for (int id : {0, 3, 46, 13})
        for (int i = 0; i < classes.get_num_items(); ++i)
            if ((*classes.get_item_ptr(i)) != nullptr && (*classes.get_item_ptr(i))->get_class_id() == id)
                first.push_back((*classes.get_item_ptr(i)));
    for (int i = 0; i < classes.get_num_items(); ++i) {
        XrPoiSettings* c = (*classes.get_item_ptr(i));
        if (c != nullptr && std::find(first.begin(), first.end(), c) == first.end())
            rest.push_back(c);
    }
    std::stable_sort(rest.begin(), rest.end(),
                     [](XrPoiSettings* a, XrPoiSettings* b) { return folded(a->get_name()) < folded(b->get_name()); });
    first.insert(first.end(), rest.begin(), rest.end());
    for (XrPoiSettings* c : first) {
        PoiRow row;
        row.title = c->get_name();
        row.kind = POI_CLASS;
        row.class_id = c->get_class_id();
        row.icon = c->get_small_bm_data().icon_index;
        m_pois.push_back(row);
    }
}

void XrAddrDlg::search_pois()
{
    if (m_category_mode) {
        m_poi_offset = 0;
        m_poi_last_limit = -1;
        fill_poi_categories();
        return;
    }
    if (m_poi_text == m_poi_last_text && m_poi_area == m_poi_last_area && m_poi_limit == m_poi_last_limit &&
        m_category == m_poi_last_category)
        return;
    m_poi_last_text = m_poi_text;
    m_poi_last_area = m_poi_area;
    m_poi_last_limit = m_poi_limit;
    m_poi_last_category = m_category;
    m_pois.clear();
    PoiRow back;
    back.title = text_of(R_STR_DLG_BACK);
    back.kind = POI_BACK;
    back.icon = 15;
    m_pois.push_back(back);
    auto* search = registered<XrPoiSearchProvider>(L"XrPoiSearchProvider");
    const XrPoint* centre = m_reference_known ? &m_reference : nullptr;
    if (m_poi_area == AREA_MAP_CENTRE) {
        XrPoint map_centre;
        auto* view = registered<XrMapViewProvider>(L"XrMapViewProvider");
        auto* map = registered<XrMapProvider>(L"XrMapProvider");
        if (view != nullptr && map != nullptr && map->get_projection() != nullptr) {
            map_centre = view->get_center_coordinate().to_point(map->get_projection());
            centre = &map_centre;
        }
        if (search != nullptr)
            search->search_pois(m_poi_text, false, centre, 100000, nullptr, nullptr, m_category, this, m_poi_limit, 200,
                                m_poi_offset, false);
    } else if (m_poi_area == AREA_ANYWHERE && m_poi_text.is_empty()) {
        // Every POI of the map would be too many to list.
        PoiRow info;
        info.title = text_of(R_STR_POSDLG_DEFINE_MORE_DETAILED_SEARCH_CRITERIA);
        info.subtitle = text_of(R_STR_POSDLG_TYPE_TO_SEARCH);
        info.kind = POI_INFO;
        m_pois.push_back(info);
    } else if (search != nullptr) {
        // Near a recent place: its point is the centre, and the results
        // tell their distance from it.
        const XrString* reference_name = nullptr;
        const XrPoint* reference_point = nullptr;
        const int waypoint = m_poi_area - AREA_NEAR_WAYPOINT;
        if (waypoint >= 0 && waypoint < static_cast<int>(m_area_waypoints.size())) {
            const AreaWaypoint& w = m_area_waypoints[static_cast<size_t>(waypoint)];
            centre = &w.point;
            reference_name = &w.name;
            reference_point = &w.point;
        }
        const bool many = m_poi_area == AREA_ANYWHERE || m_poi_area == AREA_IN_STATE;
        search->search_pois(m_poi_text, m_poi_area == AREA_EN_ROUTE, centre, 0, reference_name, reference_point,
                            m_category, this, m_poi_limit, many ? 200 : -1, m_poi_offset, m_poi_area == AREA_IN_STATE);
    }
    if (m_pois.size() == 1) {
        PoiRow info;
        info.title = text_of(R_STR_POSDLG_NO_RESULTS_FOUND);
        info.subtitle = text_of(R_STR_POSDLG_TRY_AGAIN);
        info.kind = POI_INFO;
        m_pois.push_back(info);
    }
}

void XrAddrDlg::matching_poi_found(XrPoiSearchResult* result)
{
    PoiRow row;
    if (result == nullptr) {
        row.title = text_of(R_STR_POSDLG_MORE_RESULTS);
        row.subtitle = text_of(R_STR_POSDLG_MORE_RESULTS2);
        row.kind = POI_MORE;
    } else {
        row.title = result->name;
        row.subtitle = result->description;
        row.point = result->position;
        row.icon = result->bm_data.icon_index;
    }
    m_pois.push_back(row);
}

bool XrAddrDlg::choose_poi(int index)
{
    if (index < 0 || index >= static_cast<int>(m_pois.size()))
        return false;
    const PoiRow row = m_pois[static_cast<size_t>(index)];
    switch (row.kind) {
    case POI_PLACE:
        accept_place(row.point, row.title);
        close_dialog();
        return true;
    case POI_ALL_TYPES:
    case POI_CLASS:
        m_category_mode = false;
        m_category = row.kind == POI_CLASS ? row.class_id : -1;
        break;
    case POI_BACK:
        m_category_mode = true;
        m_poi_offset = 0;
        m_category = -1;
        break;
    case POI_MORE:
        m_poi_offset += RESULT_STEP;
        m_poi_limit += RESULT_STEP;
        break;
    default:
        return false;
    }
    search_pois();
    return false;
}

void XrAddrDlg::contact_text_changed(const XrString& text)
{
    m_contact_text = text;
    m_contact_start = false;
}

void XrAddrDlg::search_contacts()
{
    auto* provider = registered<XrContactSearchProvider>(L"XrContactSearchProvider");
    if (m_contact_start) {
        m_contact_rows.clear();
        ContactRow start;
        start.title = text_of(R_STR_POSDLG_CLICK_TO_SEARCH_CONTACTS);
        start.kind = CONTACT_SEARCH;
        m_contact_rows.push_back(start);
        return;
    }
    if (!m_contact_addresses) {
        m_contact_rows.clear();
        if (provider != nullptr)
            provider->search_contacts(m_contact_text, this);
        if (m_contact_rows.empty()) {
            ContactRow info;
            info.title = text_of(R_STR_POSDLG_NO_RESULTS_FOUND);
            info.subtitle = text_of(R_STR_POSDLG_TRY_AGAIN);
            m_contact_rows.push_back(info);
        }
        return;
    }
    m_contact_address_rows.clear();
    ContactRow back;
    back.title = text_of(R_STR_DLG_BACK);
    back.subtitle = text_of(R_STR_POSDLG_CLICK_TO_GO_BACK);
    back.kind = CONTACT_BACK;
    back.icon = 14;
    m_contact_address_rows.push_back(back);
    const int id = m_contact_chosen >= 0 && m_contact_chosen < static_cast<int>(m_contact_rows.size())
                       ? m_contact_rows[static_cast<size_t>(m_contact_chosen)].contact_id
                       : -1;
    if (provider != nullptr)
        provider->search_addresses(m_contact_text, id, this);
    if (m_contact_address_rows.size() == 1) {
        ContactRow info;
        info.title = text_of(R_STR_POSDLG_NO_RESULTS_FOUND);
        info.subtitle = text_of(R_STR_POSDLG_TRY_AGAIN);
        m_contact_address_rows.push_back(info);
    }
}

void XrAddrDlg::matching_contact_found(XrContactSearchResult* result)
{
    if (result == nullptr)
        return;
    ContactRow row;
    row.title = result->text1;
    row.subtitle = result->text2;
    row.contact_id = result->contact_id;
    switch (result->type) {
    case XrContactSearchResult::Contact:
        row.kind = CONTACT;
        row.icon = 4;
        m_contact_rows.push_back(row);
        break;
    case XrContactSearchResult::AddressPoint:
        row.kind = CONTACT_ADDRESS;
        row.point = XrPoint(result->x, result->y);
        row.icon = 7;
        m_contact_address_rows.push_back(row);
        break;
    case XrContactSearchResult::AddressNumber:
        row.kind = CONTACT_NUMBER;
        row.street_id = result->street_id;
        row.number = result->house_number;
        row.icon = 5;
        m_contact_address_rows.push_back(row);
        break;
    default:
        break;
    }
}

bool XrAddrDlg::choose_contact(int index)
{
    const std::vector<ContactRow>& rows = get_contact_rows();
    if (index < 0 || index >= static_cast<int>(rows.size()))
        return false;
    const ContactRow row = rows[static_cast<size_t>(index)];
    const XrString name = m_contact_chosen >= 0 && m_contact_chosen < static_cast<int>(m_contact_rows.size())
                              ? m_contact_rows[static_cast<size_t>(m_contact_chosen)].title
                              : row.title;
    switch (row.kind) {
    case CONTACT_SEARCH:
        m_contact_start = false;
        if (auto* provider = registered<XrContactSearchProvider>(L"XrContactSearchProvider"))
            provider->prepare();
        break;
    case CONTACT:
        m_contact_chosen = index;
        m_contact_addresses = true;
        m_contact_saved_text = m_contact_text;
        m_contact_text = XrString(L"");
        break;
    case CONTACT_BACK:
        m_contact_addresses = false;
        m_contact_text = m_contact_saved_text;
        break;
    case CONTACT_ADDRESS:
        if (is_origin(row.point))
            return false;
        accept_place(row.point, name);
        close_dialog();
        return true;
    case CONTACT_NUMBER: {
        auto* streets = address_search();
        int number = row.number;
        const XrPoint point =
            streets != nullptr ? streets->get_house_number_position(row.street_id, number, false) : XrPoint(0, 0);
        if (is_origin(point))
            return false; // (0, 0) is no place
        accept_place(point, name);
        close_dialog();
        return true;
    }
    default:
        return false;
    }
    search_contacts();
    return false;
}
