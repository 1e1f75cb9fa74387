// The address dialog's platform-neutral half: the address page's street,
// city and house-number search over "XrAddrSearchProvider", and the one
// result it hands back (chosen flag, map point, display name).
//
// Checking whether the page can be finished has no side effects: the
// caller's chosen flag, point and name are written only when the user
// accepts a place, and every other ending leaves chosen false.
#pragma once

#include "apps/corvanel/ui/dialogs/xr_corvaneldialogfacade.h"
#include "common/corvanel_core/interfaces/xr_addrsearchprovider.h"
#include "common/corvanel_core/interfaces/xr_citysearchprovider.h"
#include "common/corvanel_core/interfaces/xr_contactsearchprovider.h"
#include "common/corvanel_core/interfaces/xr_poisearchprovider.h"
#include "common/geometry/xr_point.h"
#include "common/ui/dialog/xr_corvaneldialog.h"

#include <vector>

class XrProjection;
class XrEventloopBase;

class XrAddrDlg : public XrCorvanelDialog,
                  public XrAddrSearchProviderObserver,
                  public XrCitySearchProviderObserver,
                  public XrPoiSearchProviderObserver,
                  public XrContactSearchProviderObserver {
public:
    enum Row { ROW_STREET = 0, ROW_CITY = 1, ROW_NUMBER = 2 };
    // Kinds of a street or city list row.
    enum RowKind { KIND_RESULT = 0, KIND_NO_RESULTS = 1, KIND_MORE = 3, KIND_CONTINUATION = 4 };
    static constexpr int RESULT_STEP = 20;

    struct AddrRow {
        XrString title;
        XrString subtitle;
        int kind = KIND_RESULT;
        XrAddrSearchResult result;
    };

    // What finishing the address page would give; computing it changes
    // nothing.
    struct AddrOutcome {
        bool complete = false;      // a street with one record and a city are chosen
        bool point_produced = false; // point and name hold a place
        bool exact = false;          // the typed number exists (or none was typed)
        int number = 0;              // the number used; the closest one when not exact, -1: street has none
        int typed = 0;               // the number as typed (1 when the field is empty)
        XrPoint point;
        XrString name;
    };

    XrAddrDlg(const XrString& title, XrCorvanelDialogFacade::AddressDlgType type, XrEventloopBase* loop,
              XrProjection* projection, bool& chosen, XrPoint& point, XrString& name, const XrPoint* centre);
    ~XrAddrDlg() override;

    // The address page's state.
    int get_focus_row() const { return m_focus; }
    bool in_list_mode() const { return m_list_mode; }
    const XrString& get_text(int row) const { return m_text[row]; }
    const std::vector<AddrRow>& get_rows(int row) const { return m_rows[row]; }
    int get_selected(int row) const { return m_selected[row]; }
    void set_selected(int row, int index);

    // A row's text was edited: list mode on (street and city rows) and the
    // search is due after the delay.
    void text_changed(int row, const XrString& text);
    // The delayed search of the focused row.
    void search_address();
    // Acts on row `index` of the focused list; a place that results ends
    // the dialog when `close` is set.
    void choose_item(int index, bool close);
    // Empties the three fields and both lists.
    void clear_address_page();
    // The address page's result for the typed number or, with
    // allow_closest, the closest existing number. No side effects.
    AddrOutcome addrcity_check(bool allow_closest) const;
    // The caption of the number row: "Number (low-high)" for a chosen street.
    XrString number_label() const;

    // Accepting ends here: chosen set, point and name written, the place
    // added to the history. Every other ending clears chosen.
    void accept_place(const XrPoint& point, const XrString& name);
    void reject();
    bool was_accepted() const { return m_accepted; }

    // The history page: the provider's places, most recent first, or one
    // information row when there are none.
    struct PointRow {
        XrString title;
        XrString subtitle;
        int kind = 0; // 0 a place, 1 an information row, 2 more results
        XrPoint point;
    };
    void fill_history_page();
    const std::vector<PointRow>& get_history_rows() const { return m_history; }
    // A place row of the history ends the dialog with that place.
    bool choose_history(int index);

    // The favourites page: every favourite in the provider's order, or one
    // information row when there are none.
    void fill_favourites_page();
    const std::vector<PointRow>& get_favourite_rows() const { return m_favourites; }
    bool choose_favourite(int index);

    // The city page: the towns matching the text, nearest first; an empty
    // text shows the type-to-search row. The same text and limit as the
    // last search run no new one.
    void search_cities(const XrString& text);
    const std::vector<PointRow>& get_city_rows() const { return m_cities; }
    // A town ends the dialog; the more-results row lists 20 more.
    bool choose_city(int index);
    int get_city_searches() const { return m_city_searches; }

    // The POI page: the class list first (all types, then the classes),
    // then, once a class is chosen or a name typed, the matching POIs.
    enum PoiKind { POI_PLACE = 0, POI_ALL_TYPES = 1, POI_CLASS = 2, POI_BACK = 3, POI_INFO = 4, POI_MORE = 5 };
    enum PoiArea {
        AREA_ANYWHERE = 0x1CEBACC,
        AREA_EN_ROUTE = 0x1CEBACD,
        AREA_IN_STATE = 0x1CEBACE, // the nearest ones of the state filter's state
        AREA_MAP_CENTRE = 0x1CEBACF,
        AREA_NEAR_ME = 0x1CEBAD0,
        AREA_NEAR_WAYPOINT = 0x1CEBAD1, // + the area waypoint's index
    };
    static constexpr int MAX_AREA_WAYPOINTS = 4;
    // The recent places (the history's first four) that POIs can be
    // searched near.
    struct AreaWaypoint {
        XrString name;
        XrPoint point;
    };
    const std::vector<AreaWaypoint>& get_area_waypoints() const { return m_area_waypoints; }
    // Whether the route provider has a route with waypoints.
    static bool route_has_waypoints();
    struct PoiRow {
        XrString title;
        XrString subtitle;
        int kind = POI_PLACE;
        int class_id = -1;
        XrPoint point;
        int icon = 12;
    };
    bool in_category_mode() const { return m_category_mode; }
    int get_poi_category() const { return m_category; }
    void set_poi_area(int area) { m_poi_area = area; }
    int get_poi_area() const { return m_poi_area; }
    // Typing a name leaves the class list (the search follows the delay).
    void poi_text_changed(const XrString& text);
    void search_pois();
    const std::vector<PoiRow>& get_poi_rows() const { return m_pois; }
    // Returns true when a place was chosen (and the dialog ends).
    bool choose_poi(int index);

    // The contacts page: first one row that starts the search, then the
    // contacts matching the text, then the chosen contact's addresses behind
    // a back row.
    enum ContactKind {
        CONTACT = 0,
        CONTACT_ADDRESS = 1, // an address with its place
        CONTACT_NUMBER = 2,  // an address by street record and house number
        CONTACT_INFO = 3,
        CONTACT_SEARCH = 4,
        CONTACT_BACK = 5
    };
    struct ContactRow {
        XrString title;
        XrString subtitle;
        int kind = CONTACT_INFO;
        int contact_id = -1;
        XrPoint point;
        int street_id = 0;
        int number = 0;
        int icon = 12;
    };
    bool in_contact_start_mode() const { return m_contact_start; }
    bool contact_addresses_shown() const { return m_contact_addresses; }
    // The contact edit's text; the page rewrites it when it shows or
    // leaves a contact's addresses.
    const XrString& get_contact_text() const { return m_contact_text; }
    // Typing leaves the start row (the search follows the delay).
    void contact_text_changed(const XrString& text);
    void search_contacts();
    // The rows of the list shown: the contacts or one contact's addresses.
    const std::vector<ContactRow>& get_contact_rows() const
    {
        return m_contact_addresses ? m_contact_address_rows : m_contact_rows;
    }
    // Returns true when a place was chosen (and the dialog ends).
    bool choose_contact(int index);

    // The coordinates page: degrees (required), minutes and seconds (empty:
    // 0) of one axis, as decimal degrees; false for an empty or malformed
    // field or a value outside the axis (max_degrees 90 or 180).
    static bool degrees_of(const XrString& degrees, const XrString& minutes, const XrString& seconds,
                           int max_degrees, double& out);

    // XrAddrSearchProviderObserver
    void matching_address_found(XrAddrSearchResult* result) override;
    // XrCitySearchProviderObserver
    void matching_city_found(XrCitySearchResult* result) override;
    // XrPoiSearchProviderObserver
    void matching_poi_found(XrPoiSearchResult* result) override;
    // XrContactSearchProviderObserver
    void matching_contact_found(XrContactSearchResult* result) override;

    static int get_search_delay() { return 2; }

protected:
    // Platform hooks: the focused row or its list changed, a field's text
    // was rewritten, the page's place is complete.
    virtual void rows_changed(int) {}
    virtual void texts_changed() {}
    virtual void focus_changed() {}
    virtual void arm_search_timer() {}
    virtual void disarm_search_timer() {}
    virtual void close_dialog() { hide(); }

    void set_focus(int row);
    void set_text(int row, const XrString& text);
    void add_row(int row, const XrString& title, const XrString& subtitle, int kind, const XrAddrSearchResult* r);
    void search_row(int row);
    bool search_streets(const XrString& text);
    // The street record the page's choice stands for, or null.
    const XrAddrSearchStreet* chosen_street() const;

    XrString m_title;
    XrCorvanelDialogFacade::AddressDlgType m_type;
    XrEventloopBase* m_loop;
    XrProjection* m_projection;
    bool& m_chosen;
    XrPoint& m_point;
    XrString& m_name;
    bool m_reference_known = false;
    XrPoint m_reference;
    bool m_accepted = false;

    int m_focus = ROW_STREET;
    bool m_list_mode = false;
    XrString m_text[3];
    std::vector<AddrRow> m_rows[2];
    int m_selected[2] = {-1, -1};
    int m_limit[2] = {RESULT_STEP, RESULT_STEP};
    int m_filling = ROW_STREET; // the list that search results go to
    std::vector<PointRow> m_history;
    std::vector<PointRow> m_favourites;

    bool choose_point(const std::vector<PointRow>& rows, int index);
    void fill_poi_categories();

    std::vector<PointRow> m_cities;
    XrString m_city_text;
    XrString m_city_last;
    int m_city_limit = RESULT_STEP;
    int m_city_last_limit = -1;
    int m_city_searches = 0;

    std::vector<PoiRow> m_pois;
    bool m_category_mode = true;
    int m_category = -1;
    int m_poi_area = AREA_MAP_CENTRE;
    int m_poi_limit = RESULT_STEP;
    int m_poi_offset = 0;
    XrString m_poi_text;
    XrString m_poi_last_text;
    int m_poi_last_area = -1;
    int m_poi_last_limit = -1;
    int m_poi_last_category = -2;
    std::vector<AreaWaypoint> m_area_waypoints;

    std::vector<ContactRow> m_contact_rows;
    std::vector<ContactRow> m_contact_address_rows;
    bool m_contact_start = true;
    bool m_contact_addresses = false;
    int m_contact_chosen = -1; // the contact row whose addresses are shown
    XrString m_contact_text;
    XrString m_contact_saved_text;
};
