// The lists the menu and toolbar open: the favourites list and the POI
// category list (then the POIs of the chosen class around the view's
// middle). Each listener acts on the user's choice and deletes itself when
// its work ends.
#pragma once

#include "common/container/xr_array.h"
#include "common/corvanel_core/interfaces/xr_poisearchprovider.h"
#include "common/ui/dialog/xr_listdlg.h"

class XrMaemoMapApp;

// The favourites list: a chosen favourite is shown on the map; its
// configure button opens the favourites dialog.
void xr_show_favourites_list(XrMaemoMapApp& app);
// The POI category list, then the POIs of the chosen class.
void xr_show_poi_categories(XrMaemoMapApp& app);

class XrFavouritesListDlgListener : public XrListDlgListener {
public:
    explicit XrFavouritesListDlgListener(XrMaemoMapApp& app) : app(app) {}
    void item_chosen(int index) override;

private:
    XrMaemoMapApp& app;
};

class XrPOIListDlgListener : public XrListDlgListener, public XrPoiSearchProviderObserver {
public:
    explicit XrPOIListDlgListener(XrMaemoMapApp& app);
    void item_chosen(int index) override;
    void matching_poi_found(XrPoiSearchResult* result) override;

    // Rows of the category list, each with its class in value.
    XrArray<XrListDlgItem>& get_items() { return items; }

private:
    XrMaemoMapApp& app;
    int stage = 0; // 0: the categories show, 1: the POIs of one class
    XrArray<XrListDlgItem> items;
    XrArray<XrPoiSearchResult> results;
    XrArray<XrListDlgItem> result_rows;
};
