// The favourites kept in "?:\mapdata\favourites.txt"; every operation reads
// the file anew. Each favourite is a labelled point (type 94) in a storage
// of its own inside the POI layer's storage.
#pragma once

#include <vector>

#include "common/corvanel_core/interfaces/xr_favouritesprovider.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"

class XrMemoryGeomStorage;

class XrFavouritesProviderImpl : public XrFavouritesProvider, public XrMapListener {
public:
    static constexpr const TCHAR* file_path = L"?:\\mapdata\\favourites.txt";
    static constexpr int MAP_RECORD_TYPE = 94;

    // Listens to the registered map provider.
    explicit XrFavouritesProviderImpl(void* app);
    ~XrFavouritesProviderImpl() override;

    void get_favourites(XrArray<XrFavourite>& out) override;
    bool set_favourites(XrArray<XrFavourite>& list) override;
    bool add_favourite(const XrFavourite& favourite) override;
    bool remove_favourite(int favourite_id) override;

    // Adds the favourites' storage to the POI layer, gives every favourite a
    // uid (storing the file when one was missing) and fills the records.
    void map_initialized() override;
    void map_closing() override;

    // The application object that made the provider.
    void* get_app() const { return app; }

    // The favourites of the file's text lines.
    static void parse_lines(const std::vector<XrString>& lines, XrArray<XrFavourite>& out);

private:
    void rebuild_records(const XrArray<XrFavourite>& list);

    void* app;
    XrMemoryGeomStorage* favourites_storage = nullptr;
};
