// Recently used places in "?:\mapdata\history.txt", newest first.
#pragma once

#include <vector>

#include "common/corvanel_core/interfaces/xr_historyprovider.h"

class XrHistoryProviderImpl : public XrHistoryProvider {
public:
    static constexpr const TCHAR* file_path = L"?:\\mapdata\\history.txt";
    static constexpr int MAX_POINTS = 25;
    // Places this close in both latitude and longitude are the same place.
    static constexpr double SAME_PLACE = 2e-13;

    XrHistoryProviderImpl() = default;

    void refresh() override {}
    void get_history(XrArray<XrHistoryMapPoint>& out) override;
    // A failed write shows "r_str_memory_card_write_error".
    bool add_history_point(const XrHistoryMapPoint& point) override;
    bool clear_history() override;
    void load() override;

    // The places of the file's text lines.
    static void parse_lines(const std::vector<XrString>& lines, XrArray<XrHistoryMapPoint>& out);

private:
    void ensure_loaded();
    // Takes the list and writes the file; true when written.
    bool save_history(const XrArray<XrHistoryMapPoint>& list);

    XrArray<XrHistoryMapPoint> history{25, 0};
    bool loaded = false;
};
