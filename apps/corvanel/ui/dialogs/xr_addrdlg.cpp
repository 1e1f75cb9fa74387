#include "apps/corvanel/ui/dialogs/xr_addrdlg.h"

#include "common/container/xr_array.h"
#include "common/corvanel_core/interfaces/xr_historyprovider.h"
#include "common/corvanel_core/interfaces/xr_mappoint.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "common/types/xr_coordinate.h"

#include <cwchar>
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
    // Digits only; an empty field is -1.
    auto field = [](const XrString& text) {
        const wchar_t* s = text.c_str();
        if (s == nullptr || *s == 0)
            return -1;
        int value = 0;
        for (; *s != 0; ++s) {
            if (*s < L'0' || *s > L'9' || value > 1000)
                return -2;
            value = value * 10 + (*s - L'0');
        }
        return value;
    };
    const int d = field(degrees), m = field(minutes), sec = field(seconds);
    if (d < 0 || m < -1 || sec < -1 || m >= 60 || sec >= 60)
        return false;
    const double value = d + (m < 0 ? 0 : m) / 60.0 + (sec < 0 ? 0 : sec) / 3600.0;
    if (value > max_degrees)
        return false;
    out = value;
    return true;
}
