#include "common/types/xr_autozoom.h"

int get_autozoom_level(const XrAutozoomScaler& scaler, int view_mode, int arg, double speed, int lookahead,
                       int distance_to_next)
{
    const int scale = scaler.calculate_autozoom_scale(view_mode, arg, speed, lookahead, distance_to_next);
    if (scale < 6000)
        return 1;
    if (scale <= 9999)
        return 2;
    if (scale < 14000)
        return 3;
    if (scale < 18000)
        return 4;
    return 5;
}
