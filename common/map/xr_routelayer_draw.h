// Layout and text arithmetic of the route layer's drawing: the scale bar,
// the speed display, the alert signs, the remaining-time text, the guidance
// box height and the colour-scheme prefixes of signpost texts. Pure
// functions, shared by the route layer's drawing files and their tests.
#pragma once

#include <functional>

#include "common/container/xr_string.h"
#include "common/gdi/xr_gdi.h"
#include "common/types/xr_distance.h"

namespace xr_routelayer {

// "<2 min", "%d min" or "%d h %d min"; from 16 minutes on rounded to 5.
XrString format_remaining_time(int minutes);

// The colour-scheme prefix of a signpost text: one digit and "|", or two
// digits and "|". start: index of the first character after the prefix,
// never past the end of the text; index: the scheme index 0..19 (0 when
// out of range). A text too short for its prefix gives start = its length.
void parse_scheme_prefix(const XrString& text, int& start, int& index);

// One length the scale bar can show.
struct XrScaleCandidate {
    float value;
    XrDistance::XrDistanceUnit unit;
};

// The candidates of a display unit system (0 metric, 1 yards, 2 feet).
const XrScaleCandidate* scale_bar_candidates(int units, int& count);

// The length of a candidate in metres.
double scale_candidate_metres(const XrScaleCandidate& c);

// The pixel length of a distance in metres at a view scale value, through
// the view's scale reference (reference_units map units on
// reference_pixels pixels at scale 1000).
double scale_metres_to_pixels(double metres, unsigned scale_value, int reference_units, int reference_pixels);

// The index of the candidate whose pixel length is nearest the target
// (the first on equal distance); to_pixels gives a length in metres in pixels.
int choose_scale_candidate(int units, double target_pixels, const std::function<double(double)>& to_pixels);

// The label of a candidate: one decimal for fractions of a kilometre or a
// mile, else none; "500 m", "0.2 mi".
XrString scale_candidate_label(const XrScaleCandidate& c);

// The bar's thickness: 4 x factor, made even when above 4.
int scale_bar_thickness(double factor);

// A speed in metres per second in the display units: km/h (units 0) or mph.
double display_speed(double metres_per_second, int units);
// The unit text of display_speed.
const TCHAR* display_speed_unit(int units);

// The sign of a proximity alert: the icon of the sign strip (-1: none) and
// the value text on it. Kinds 1-4 and 11 show the speed limit (m/s) in the
// display units, only when it is above 0.
int alert_sign_icon(int kind, double speed_limit, int units, XrString& value_text);
// The horizontal offset of a value text on the sign: 16 below 3 characters, else 25.
int alert_value_offset(const XrString& value_text);

// The width factor of the turn arrow by the view's scale value.
int turn_arrow_width_factor(unsigned scale_value);

// The height the guidance box reserves: 0; 49 (narrow) or 56 with a next
// street within 1000 m; 95 with a signpost.
int guidance_box_height(bool next_street, int distance_m, int screen_width, bool signpost);

// The font of a font context of the registered font repository; null
// without a repository.
XrFontHandleRec* font_of(int context);

// A text with a halo: the halo colour at its place and 2 pixels up and
// left, then the text colour 1 pixel up and left.
void draw_halo_text(XrDCHandleRec* dc, const XrString& text, int x, int y, XrColorHandle colour,
                    XrColorHandle halo);

// The U-turn icon number.
inline int uturn_icon(bool right_hand_traffic) { return right_hand_traffic ? 6 : 28; }

} // namespace xr_routelayer
