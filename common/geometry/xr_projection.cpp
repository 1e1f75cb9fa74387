#include "common/geometry/xr_projection.h"

#include <cmath>
#include <cstring>

#include "common/geometry/xr_point.h"
#include "common/misc/xr_tokenparser.h"
#include "common/types/xr_trig.h"

namespace {

// The truncated half turn used by the projections.
const double pi_t = 3.14159265;
const double full_turn_t = 6.2831853;
const double degrees_per_radian = 57.29577957855229;

// To the nearest map unit, halves upwards. (Truncating v + 0.5 would turn
// -1.7 into -1, and no negative map point would map back to itself.)
int round_map(double v)
{
    return xr_trunc_coord(std::floor(v + 0.5));
}

} // namespace

// ---- simple -------------------------------------------------------------

bool XrProjection::to_map(double x, double y, int& mx, int& my) const
{
    mx = round_map((x - x0) * scale);
    my = round_map((y - y0) * scale);
    return true;
}

bool XrProjection::from_map(int mx, int my, double& x, double& y) const
{
    x = mx / scale + x0;
    y = my / scale + y0;
    return true;
}

double XrProjection::get_meridian_offset(double) const
{
    return 0.0;
}

// ---- null ---------------------------------------------------------------

bool XrNullProjection::to_map(double x, double y, int& mx, int& my) const
{
    mx = round_map(x);
    my = round_map(y);
    return true;
}

bool XrNullProjection::from_map(int mx, int my, double& x, double& y) const
{
    x = mx;
    y = my;
    return true;
}

// ---- KKJ grid to the WGS84 grid ----------------------------------------

bool XrKKJ2WGSProjection::to_map(double x, double y, int& mx, int& my) const
{
    const double x1 = round_map((x - x0) * scale);
    const double y1 = round_map((y - y0) * scale);
    if (y1 > 7200000) {
        my = xr_trunc_coord((y1 * 0.9999993508 - 120.501 - x1 * 2.2469e-6) / 0.9996);
        mx = xr_trunc_coord(x1 * 0.9999993508 - 186.778 + y1 * 2.2469e-6);
    } else {
        mx = xr_trunc_coord((x1 * 0.9999955287 - 106.306 - y1 * 7.064e-6) / 0.9996);
        my = xr_trunc_coord(y1 * 0.9999955287 - 125.902 + x1 * 7.064e-6);
    }
    return true;
}

// ---- KKJ zones ----------------------------------------------------------

namespace {

// Central meridians of the KKJ zones 0..7 in radians.
const double kkj_meridians[XrKKJProjection::zone_count] = {
    0.314159265, 0.3665191425, 0.41887902, 0.4712388975, 0.523598775, 0.5759586525, 0.34906585, 0,
};

const double kkj_ep2 = 0.00676817019722;
const double kkj_degrees_per_radian = 57.2957795131;

} // namespace

XrKKJProjection::XrKKJProjection(int zone_, double scale_, double x0_, double y0_, bool zone_prefix_)
    : XrProjection(scale_, x0_, y0_), zone(zone_), zone_prefix(zone_prefix_ ? 1 : 0)
{
    XR_ASSERT(zone >= 0 && zone < zone_count);
}

bool XrKKJProjection::change_zone(double e, double n, int target, double& out_e, double& out_n)
{
    // The zone is trunc(e / 1000000): an easting outside (-1000000, 8000000)
    // (or not a number) names no zone of the table.
    if (!(e > -1000000.0 && e < 8000000.0) || target < 0 || target >= zone_count || !std::isfinite(n))
        return false;
    const int source = static_cast<int>(e / 1000000);
    if (source == target) {
        out_e = e;
        out_n = n;
        return true;
    }
    const double de = e - (source * 1000000.0 + 500000);
    const double mu = n / 6367654.5;
    const double phif = mu + (0.1449300705 * std::sin(2 * mu) + 0.0002138508 * std::sin(4 * mu)
                              + 4.322e-7 * std::sin(6 * mu)) / kkj_degrees_per_radian;
    const double cf = std::cos(phif);
    const double v = std::sqrt(1 + kkj_ep2 * cf * cf);
    const double dl = std::atan(hyperbolic_sine(de / 6399936.608) * v / cf);
    const double phi = std::atan(std::tan(phif) * std::cos(v * dl));

    const double dl2 = dl + kkj_meridians[source] - kkj_meridians[target];
    const double c = std::cos(phi);
    const double v2 = std::sqrt(1 + kkj_ep2 * c * c);
    const double phi2 = std::atan(std::tan(phi) / std::cos(v2 * dl2));

    out_n = 6367654.5 * phi2 - 16107.0347 * std::sin(2 * phi2) + 16.9762 * std::sin(4 * phi2)
            - 0.0223 * std::sin(6 * phi2);
    out_e = inverse_hyperbolic_sine(std::tan(dl2) * std::cos(phi2) / v2) * 6399936.608 + target * 1000000.0 + 500000;
    return true;
}

bool XrKKJProjection::to_map(double x, double y, int& mx, int& my) const
{
    double e, n;
    if (!change_zone(x, y, zone, e, n)) {
        mx = my = 0;
        return false;
    }
    if (zone_prefix)
        e -= std::trunc(e / 1000000) * 1000000;
    mx = round_map((e - x0) * scale);
    my = round_map((n - y0) * scale);
    return true;
}

bool XrRKKJProjection::to_map(double x, double y, int& mx, int& my) const
{
    double e = x / scale + x0;
    double n = y / scale + y0;
    if (zone_prefix)
        e += zone * 1000000.0;
    if (!change_zone(e, n, zone, e, n)) {
        mx = my = 0;
        return false;
    }
    mx = round_map(e);
    my = round_map(n);
    return true;
}

// ---- WGS84 transverse Mercator -----------------------------------------

namespace {

const double wgs_a = 6378137;
const double wgs_e2 = 0.0066943799901413165;
const double wgs_ep2 = 0.006739496742276434;

// Largest correction of one refinement round, in steps.
const double refine_limit = 30;
const double refine_step = 1.5;
const int refine_rounds = 13;
const double refine_tolerance = 0.4;

} // namespace

void XrWGS84Projection::project(double lon, double lat, double& e, double& n) const
{
    const double phi = lat * pi_t / 180;
    // The half-turn test is made in degrees: -180 * pi_t / 180 falls a
    // rounding error short of -pi_t.
    const double dlon = lon - lon0;
    double a0 = dlon * pi_t / 180;
    if (dlon >= 180)
        a0 -= full_turn_t;
    else if (dlon <= -180)
        a0 += full_turn_t;
    const double s = std::sin(phi), c = std::cos(phi), t = std::tan(phi);
    const double nphi = wgs_a / std::sqrt(1 - wgs_e2 * s * s);
    const double tt = t * t;
    const double cc = wgs_ep2 * c * c;
    const double a = a0 * c;
    const double m = wgs_a * (0.9983242984527954 * phi - 0.002514607060518705 * std::sin(2 * phi)
                              + 2.6390465943376213e-6 * std::sin(4 * phi) - 3.4180460865957878e-9 * std::sin(6 * phi));
    const double a2 = a * a, a3 = a2 * a, a4 = a2 * a2, a5 = a4 * a, a6 = a4 * a2;
    e = nphi * (a + (1 - tt + cc) * a3 / 6 + (5 - 18 * tt + tt * tt + 72 * cc - 0.39089081105203316) * a5 / 120);
    n = nphi * t * (a2 / 2 + (5 - tt + 9 * cc + 4 * cc * cc) * a4 / 24
                    + (61 - 58 * tt + tt * tt + 600 * cc - 2.224033924951223) * a6 / 720)
        + m;
}

bool XrWGS84Projection::to_map(double lon, double lat, int& mx, int& my) const
{
    double e, n;
    project(lon, lat, e, n);
    mx = round_map((e - x0) * scale);
    my = round_map((n - y0) * scale);
    return true;
}

bool XrWGS84Projection::from_map(int mx, int my, double& lon, double& lat) const
{
    const double e = mx / scale + x0;
    const double n = my / scale + y0;

    const double r = std::sqrt(0.9933056200098587);
    const double e1 = (1 - r) / (1 + r);
    const double e1_2 = e1 * e1, e1_3 = e1_2 * e1, e1_4 = e1_2 * e1_2;
    const double mu = n / 6367449.145960817;
    const double phi1 = mu + (3 * e1 / 2 - 27 * e1_3 / 32) * std::sin(2 * mu)
                        + (21 * e1_2 / 16 - 55 * e1_4 / 32) * std::sin(4 * mu) + (151 * e1_3 / 96) * std::sin(6 * mu);
    const double s = std::sin(phi1), c = std::cos(phi1), t = std::tan(phi1);
    const double w = 1 - wgs_e2 * s * s;
    const double n1 = wgs_a / std::sqrt(w);
    const double t1 = t * t;
    const double c1 = wgs_ep2 * c * c;
    const double r1 = 6335439.3272928195 / std::pow(w, 1.5);
    const double d = e / n1;
    const double d2 = d * d, d3 = d2 * d, d4 = d2 * d2, d5 = d4 * d, d6 = d4 * d2;

    const double lat_rad = phi1 - (n1 * t / r1) * (d2 / 2 - (5 + 3 * t1 + 10 * c1 - 4 * c1 * c1 - 0.060655470680487905) * d4 / 24
                                                  + (61 + 90 * t1 + 298 * c1 + 45 * t1 * t1 - 1.6983531790536615 - 3 * c1 * c1) * d6 / 720);
    lat = lat_rad * 180 / pi_t;
    lon = lon0 + (d - (1 + 2 * t1 + c1) * d3 / 6 + (5 - 2 * c1 + 28 * t1 - 3 * c1 * c1 + 0.05391597393821147 + 24 * t1 * t1) * d5 / 120)
                     / c * 180 / pi_t;

    int back_x, back_y;
    to_map(lon, lat, back_x, back_y);
    if (back_x != mx || back_y != my)
        refine(e, n, lon, lat);
    return true;
}

void XrWGS84Projection::refine(double target_e, double target_n, double& lon, double& lat) const
{
    auto nonzero = [](double v) { return v == 0 ? 0.001 : v; };
    auto limit = [](double v) { return v > refine_limit ? refine_limit : (v < -refine_limit ? -refine_limit : v); };
    lon = lon0 + (target_e >= 0 ? 40 : -40);
    lat = target_n >= 0 ? 40 : -40;
    for (int round = 0; round < refine_rounds; ++round) {
        double e, n;
        project(lon, lat, e, n);
        const double de = target_e - e, dn = target_n - n;
        if (std::fabs(de) <= refine_tolerance && std::fabs(dn) <= refine_tolerance)
            return;
        double e_lon, n_lon, e_lat, n_lat;
        project(lon + refine_step, lat, e_lon, n_lon);
        project(lon, lat + refine_step, e_lat, n_lat);
        const double a11 = nonzero(e_lon - e), a12 = nonzero(e_lat - e);
        const double a21 = nonzero(n_lon - n), a22 = nonzero(n_lat - n);
        const double det = a11 * a22 - a12 * a21;
        if (det == 0 || !std::isfinite(det))
            return;
        lon += limit((de * a22 - a12 * dn) / det) * refine_step;
        lat += limit((a11 * dn - a21 * de) / det) * refine_step;
    }
}

double XrWGS84Projection::get_meridian_offset(double longitude) const
{
    double d = y0 < 0 ? longitude - lon0 : lon0 - longitude;
    if (d > 180)
        d -= 360;
    else if (d < -180)
        d += 360;
    return d;
}

// ---- KKJ to WGS84 datum -------------------------------------------------

void kkj_geodetic_to_geocentric(double lon, double lat, double h, double& x, double& y, double& z)
{
    const double a = 6378388, e2 = 0.006722670022333322;
    const double l = lon / degrees_per_radian, p = lat / degrees_per_radian;
    const double s = std::sin(p);
    const double nphi = a / std::sqrt(1 - e2 * s * s);
    x = (nphi + h) * std::cos(p) * std::cos(l);
    y = (nphi + h) * std::cos(p) * std::sin(l);
    z = ((1 - e2) * nphi + h) * s;
}

void kkj_shift_to_wgs84(double x, double y, double z, double& wx, double& wy, double& wz)
{
    const double k = 1.000001496;
    const double rx = -2.3275904803472224e-5, ry = -1.6726071979166667e-6, rz = 6.671036244444444e-6;
    wx = k * (x + rz * y - ry * z) - 96.062;
    wy = k * (-rz * x + y + rx * z) - 82.428;
    wz = k * (ry * x - rx * y + z) - 121.754;
}

void wgs84_geocentric_to_geodetic(double x, double y, double z, double& lon, double& lat, double& h)
{
    const double a = 6378137, e2 = 0.006694380022900787;
    // atan2 keeps the longitude right on every side of the globe.
    const double l = std::atan2(y, x);
    const double p = std::sqrt(x * x + y * y);
    double phi = std::atan(z / ((1 - e2) * p));
    const bool low = -0.7853981625 < phi && phi < 0.7853981625;
    h = 0;
    for (int i = 0; i < 10; ++i) {
        const double s = std::sin(phi);
        const double nphi = a / std::sqrt(1 - e2 * s * s);
        h = low ? p / std::cos(phi) - nphi : z / s - (1 - e2) * nphi;
        phi = std::atan((z / p) / (1 - e2 * nphi / (nphi + h)));
    }
    lon = l * degrees_per_radian;
    lat = phi * degrees_per_radian;
}

void kkj_to_wgs84(double lon, double lat, double& wgs_lon, double& wgs_lat)
{
    double x, y, z, wx, wy, wz, h;
    kkj_geodetic_to_geocentric(lon, lat, 0, x, y, z);
    kkj_shift_to_wgs84(x, y, z, wx, wy, wz);
    wgs84_geocentric_to_geodetic(wx, wy, wz, wgs_lon, wgs_lat, h);
}

// ---- factory ------------------------------------------------------------

namespace {

// Whether text starts with prefix, ASCII case ignored.
bool has_prefix(const TCHAR* text, const char* prefix)
{
    for (; *prefix; ++prefix, ++text) {
        TCHAR c = *text;
        if (c >= 'A' && c <= 'Z')
            c += 'a' - 'A';
        if (c != static_cast<TCHAR>(*prefix))
            return false;
    }
    return true;
}

// The next comma-separated value, or null when it holds no digit: an empty
// value is a missing one, and a sign or a point alone is no number (the
// token parser would read them as 0).
const TCHAR* next_value(XrTokenParser& parser)
{
    const TCHAR* token = parser.parse_next(true, true);
    if (token == nullptr)
        return nullptr;
    for (const TCHAR* p = token; *p != 0; ++p) {
        if (*p >= L'0' && *p <= L'9')
            return token;
    }
    return nullptr;
}

bool next_int(XrTokenParser& parser, int& value)
{
    const TCHAR* token = next_value(parser);
    if (token == nullptr)
        return false;
    XrTokenParser single(token, L',');
    return single.parse_int(value);
}

bool next_double(XrTokenParser& parser, double& value)
{
    const TCHAR* token = next_value(parser);
    if (token == nullptr)
        return false;
    XrTokenParser single(token, L',');
    return single.parse_double(value) && std::isfinite(value);
}

// scale, x0, y0 as the projections take them; a zero scale is refused.
bool parse_scale_origin(XrTokenParser& parser, double& scale, double& x0, double& y0)
{
    return next_double(parser, scale) && scale != 0 && next_double(parser, x0) && next_double(parser, y0);
}

enum Kind { Kkj, Kkj2Wgs, Rkkj, Simple, Wgs84, Null };

} // namespace

XrProjection* create_projection(const XrString& text)
{
    static const struct {
        const char* prefix;
        Kind kind;
    } kinds[] = {
        {"kkj://", Kkj}, {"kkj2wgs://", Kkj2Wgs}, {"rkkj://", Rkkj}, {"simple://", Simple}, {"wgs84://", Wgs84}, {"null://", Null},
    };
    const TCHAR* s = text.c_str();
    for (const auto& k : kinds) {
        if (!has_prefix(s, k.prefix))
            continue;
        XrTokenParser parser(s + std::strlen(k.prefix), L',');
        int zone = 0;
        double lon0 = 0, scale = 0, x0 = 0, y0 = 0;
        switch (k.kind) {
        case Null:
            return new XrNullProjection();
        case Simple:
            return parse_scale_origin(parser, scale, x0, y0) ? new XrProjection(scale, x0, y0) : nullptr;
        case Kkj2Wgs:
            return parse_scale_origin(parser, scale, x0, y0) ? new XrKKJ2WGSProjection(scale, x0, y0) : nullptr;
        case Wgs84:
            if (!next_double(parser, lon0) || !parse_scale_origin(parser, scale, x0, y0))
                return nullptr;
            return new XrWGS84Projection(lon0, scale, x0, y0);
        case Kkj:
        case Rkkj:
            if (!next_int(parser, zone) || zone < 0 || zone >= XrKKJProjection::zone_count
                || !parse_scale_origin(parser, scale, x0, y0))
                return nullptr;
            if (k.kind == Kkj)
                return new XrKKJProjection(zone, scale, x0, y0, true);
            return new XrRKKJProjection(zone, scale, x0, y0, true);
        }
    }
    return nullptr;
}
