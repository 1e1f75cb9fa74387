// Whole-degree trigonometry from a table of 91 cosines, and the hyperbolic
// functions of the projections.
#pragma once

// Builds the table (cos of 0..90 degrees); sin_deg and cos_deg build it on
// first use when this was not called.
void init_trig_table();
void free_trig_table();
// Sine and cosine of a whole number of degrees (any range).
double sin_deg(int deg);
double cos_deg(int deg);

double hyperbolic_sine(double x);
double inverse_hyperbolic_sine(double x);
