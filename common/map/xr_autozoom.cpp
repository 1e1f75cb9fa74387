#include "common/map/xr_autozoom.h"

#include <cmath>
#include <memory>

#include "common/config/xr_storageconfiguration.h"
#include "common/misc/xr_path_resolver.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

struct XrZoomRow {
    double speed_from;
    double speed_to;
    double scale_from;
    double scale_to;
};

constexpr int kRows = 6; // five rows and the end row

const XrZoomRow kTables[2][kRows] = {
    {{0, 6, 2500, 3300}, {6, 15, 3300, 7000}, {15, 30, 7000, 15000}, {30, 50, 15000, 49900},
     {50, 10000, 49900, 49900}, {-1, 0, 0, 0}},
    {{0, 6, 9000, 9000}, {6, 15, 9000, 25000}, {15, 30, 25000, 75000}, {30, 50, 75000, 249000},
     {50, 10000, 249000, 249000}, {-1, 0, 0, 0}},
};

struct XrZoomState {
    bool set_up = false;
    int limit = 16;
    int plateau_scale = 12600;
    // One working table per mode; the plateau shapes the flat one.
    XrZoomRow tables[2][kRows];
};

XrZoomState g_state;

bool read_settings(int& limit, int& plateau)
{
    const XrString path = XrPathResolver::resolve(XrString(L"?:\\kestrova\\settings.txt"));
    XrStorageAccessor* accessor = open_storage_accessor(path, true);
    if (accessor == nullptr)
        return false;
    XrStorageConfiguration config(accessor, L"");
    if (config.open(true) != XrConfiguration::OK)
        return false;
    if (config.open_key(L"\\settings") != XrConfiguration::OK &&
        config.create_key_path(L"\\settings") != XrConfiguration::OK)
        return false;
    int value = 0;
    if (config.get_int(L"autozoom_2d_limit", &value) == XrConfiguration::OK)
        limit = value;
    if (config.get_int(L"autozoom_2d_scale", &value) == XrConfiguration::OK)
        plateau = value;
    return true;
}

// Flattens the rows up to the one holding the limit to the plateau scale;
// the next row rises from the plateau. Never walks past the end row.
void apply_plateau(XrZoomRow* rows, int limit, int plateau)
{
    for (int i = 0; i < kRows - 1 && rows[i].speed_from != -1; ++i) {
        rows[i].scale_from = plateau;
        rows[i].scale_to = plateau;
        if (rows[i].speed_from <= limit && limit < rows[i].speed_to) {
            rows[i].speed_to = limit + 1;
            if (rows[i + 1].speed_from != -1) {
                rows[i + 1].speed_from = limit + 1;
                rows[i + 1].scale_from = plateau;
            }
            return;
        }
    }
}

void set_up()
{
    g_state.set_up = true;
    g_state.limit = 16;
    g_state.plateau_scale = 12600;
    for (int m = 0; m < 2; ++m)
        for (int i = 0; i < kRows; ++i)
            g_state.tables[m][i] = kTables[m][i];
    if (read_settings(g_state.limit, g_state.plateau_scale))
        for (int m = 0; m < 2; ++m)
            apply_plateau(g_state.tables[m], g_state.limit, g_state.plateau_scale);
}

int look_up(const XrZoomRow* rows, double speed)
{
    for (int i = 0; i < kRows; ++i) {
        const XrZoomRow& r = rows[i];
        if (r.speed_from == -1)
            return i == 0 ? 0 : static_cast<int>(std::trunc(rows[i - 1].scale_to));
        if (r.speed_from <= speed && speed < r.speed_to)
            return static_cast<int>(std::trunc((r.scale_to - r.scale_from) * (speed - r.speed_from) /
                                               (r.speed_to - r.speed_from))) +
                   static_cast<int>(std::trunc(r.scale_from));
    }
    return 0;
}

} // namespace

void reset_autozoom_state() { g_state = XrZoomState(); }

int calculate_autozoom_scale(int mode, double speed, int lookahead, int distance_to_next)
{
    if (!g_state.set_up)
        set_up();
    const int m = mode == 1 ? 1 : 0;
    // The working copy (with the plateau) serves only when nothing is ahead.
    if (lookahead == -1 && distance_to_next == -1 && g_state.limit > speed)
        return look_up(g_state.tables[m], speed);
    if (speed >= 10) {
        double a = -1, b = -1;
        if (lookahead < 1000) {
            a = lookahead == -1 ? 0 : 1000 - lookahead;
            if (lookahead == -1)
                b = 0;
            else if (lookahead < 333)
                b = 333 - lookahead;
        } else if (distance_to_next < 100) {
            if (distance_to_next == -1) {
                a = 0;
                b = 0;
            } else {
                a = 1000 - 10.0 * distance_to_next;
                b = 333 - 3.33 * distance_to_next;
            }
        }
        if (a != -1) {
            speed = speed * (1000 - 0.45 * a) / 1000;
            if (b != -1)
                speed = speed * (333 - 0.25 * b) / 333;
        }
        if (speed < 10)
            speed = 10;
    }
    return look_up(kTables[m], speed);
}

int XrMapAutozoomScaler::calculate_autozoom_scale(int view_mode, int, double speed, int lookahead,
                                                  int distance_to_next) const
{
    return ::calculate_autozoom_scale(view_mode, speed, lookahead, distance_to_next);
}
