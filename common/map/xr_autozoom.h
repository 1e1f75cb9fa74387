// Automatic zoom: the map scale value for a speed and the way ahead, from a
// piecewise-linear table per view mode (0 flat, 1 perspective), slowed down
// near a manoeuvre, with a low-speed plateau (one working table per mode)
// tuned by "autozoom_2d_limit" and "autozoom_2d_scale" of
// "?:\kestrova\settings.txt".
#pragma once

#include "common/types/xr_autozoom.h"

// lookahead and distance_to_next: -1 when unknown.
int calculate_autozoom_scale(int mode, double speed, int lookahead, int distance_to_next);

// Forgets the settings and tables set up by the first call (the next call
// reads the settings again).
void reset_autozoom_state();

// The foundation's autozoom interface served by calculate_autozoom_scale.
class XrMapAutozoomScaler : public XrAutozoomScaler {
public:
    int calculate_autozoom_scale(int view_mode, int arg, double speed, int lookahead,
                                 int distance_to_next) const override;
};
