// The automatic zoom level: the map engine's automatic map scale banded into
// five levels.
#pragma once

// Implemented by the map engine.
class XrAutozoomScaler {
public:
    virtual ~XrAutozoomScaler() = default;
    // The automatic map scale for the view mode (0 or 1), the speed and the
    // way ahead (lookahead and distance to the next manoeuvre; -1: unknown).
    virtual int calculate_autozoom_scale(int view_mode, int arg, double speed, int lookahead,
                                         int distance_to_next) const = 0;
};

// 1 below 6000, 2 up to 9999, 3 below 14000, 4 below 18000, else 5, for the
// scale the scaler gives for the same arguments.
int get_autozoom_level(const XrAutozoomScaler& scaler, int view_mode, int arg, double speed, int lookahead,
                       int distance_to_next);
