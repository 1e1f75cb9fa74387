// Display helpers for the user's unit settings and fixed-point degrees.
#pragma once

#include "common/container/xr_defs.h"

// A distance as "<value> <unit>" into buf of size characters (terminator
// included): metres / kilometres when metric, else yards / miles ("ml").
// value_in_metres: a non-metric value is given in metres and converted to
// yards first. The large unit is used above 999 or when forced; precision 2
// and 3 choose the decimals of the large unit.
void format_distance_text(TCHAR* buf, int size, double value, bool metric, bool force_large_unit, int precision,
                          bool value_in_metres);

// A speed in km/h for display: unchanged with "km/h", or in miles per hour
// with "mph".
double convert_speed_for_display(double kmh, bool metric, const TCHAR** label);

int yards_to_metres(int yards);
int metres_to_yards(int metres);

// Degrees as (degrees + 180) x 5000000, and back.
int degrees_to_fixed(double degrees);
double fixed_to_degrees(int value);
