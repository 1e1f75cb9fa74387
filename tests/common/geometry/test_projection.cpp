#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "common/geometry/xr_projection.h"

namespace {

std::unique_ptr<XrProjection> make(const wchar_t* text)
{
    return std::unique_ptr<XrProjection>(create_projection(XrString(text)));
}

} // namespace

TEST(ProjectionFactory, MakesEachKind)
{
    struct Case {
        const wchar_t* text;
        const char* kind;
    } cases[] = {
        {L"simple://10,100,200", "simple"},  {L"SIMPLE://10, 100 ,200", "simple"},
        {L"null://", "null"},                {L"NuLL://", "null"},
        {L"kkj://3,1,0,0", "kkj"},           {L"Kkj://3,1,0,0", "kkj"},
        {L"kkj2wgs://1,0,0", "kkj2wgs"},     {L"KKJ2WGS://1,0,0", "kkj2wgs"},
        {L"rkkj://2,1,0,0", "rkkj"},         {L"wgs84://25,1,0,-7000000", "wgs84"},
        {L"WGS84://-155.5,0.5,10.5,20.25", "wgs84"},
    };
    for (const Case& c : cases) {
        auto p = make(c.text);
        ASSERT_NE(p, nullptr) << c.kind;
        std::string kind = dynamic_cast<XrRKKJProjection*>(p.get())       ? "rkkj"
                           : dynamic_cast<XrKKJProjection*>(p.get())       ? "kkj"
                           : dynamic_cast<XrKKJ2WGSProjection*>(p.get())   ? "kkj2wgs"
                           : dynamic_cast<XrWGS84Projection*>(p.get())     ? "wgs84"
                           : dynamic_cast<XrNullProjection*>(p.get())      ? "null"
                                                                           : "simple";
        EXPECT_EQ(kind, c.kind);
    }
}

TEST(ProjectionFactory, Values)
{
    auto kkj = make(L"kkj://3,2.5,1000,6500000");
    auto* k = dynamic_cast<XrKKJProjection*>(kkj.get());
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->get_zone(), 3);
    EXPECT_TRUE(k->has_zone_prefix());
    EXPECT_DOUBLE_EQ(k->get_scale(), 2.5);
    EXPECT_DOUBLE_EQ(k->get_x0(), 1000);
    EXPECT_DOUBLE_EQ(k->get_y0(), 6500000);

    auto wgs = make(L"wgs84://-155.5,0.5,10.5,20.25");
    auto* w = dynamic_cast<XrWGS84Projection*>(wgs.get());
    ASSERT_NE(w, nullptr);
    EXPECT_DOUBLE_EQ(w->get_central_meridian(), -155.5);
    EXPECT_DOUBLE_EQ(w->get_scale(), 0.5);
    EXPECT_DOUBLE_EQ(w->get_x0(), 10.5);
    EXPECT_DOUBLE_EQ(w->get_y0(), 20.25);

    auto null = make(L"null://");
    EXPECT_DOUBLE_EQ(null->get_scale(), 0);
}

TEST(ProjectionFactory, RefusesBadText)
{
    const std::wstring huge = L"simple://1" + std::wstring(400, L'0') + L",0,0";
    const wchar_t* cases[] = {
        L"",
        L"foo://1,2,3",
        L" simple://1,2,3", // the prefix must come first
        L"simple:/1,2,3",
        L"simple://",
        L"simple://1,2",
        L"simple://a,2,3",
        L"simple://1,,3",   // an empty value is a missing one
        L"simple://1,2,",
        L"simple://0,1,2",  // a zero scale
        L"simple://1e3,1,1", // no exponents
        L"simple://1,-,3",   // a sign or a point alone is no number
        L"simple://1,2,.",
        L"simple://1, + ,3",
        L"wgs84://-,1,0,0",
        huge.c_str(),       // a scale beyond the double range
        L"kkj://1.5,1,2,3", // the zone is an integer
        L"kkj://x,1,2,3",
        L"kkj://8,1,2,3",   // zones 0..7 only
        L"kkj://-1,1,2,3",
        L"kkj://-,1,2,3",
        L"kkj://99999999999,1,2,3",
        L"rkkj://x,1,2,3",
        L"rkkj://3",
        L"rkkj://12,1,2,3",
        L"kkj2wg://1,2,3",  // a shortened prefix
        L"kkj2wgs:/1,2,3",
        L"kkj2",
        L"wgs84://25,1,0",
        L"wgs84://,1,0,0",
    };
    for (const wchar_t* text : cases)
        EXPECT_EQ(make(text), nullptr) << std::string(text, text + std::wcslen(text));
}

TEST(SimpleProjection, WorkedExample)
{
    auto p = make(L"simple://10,100,200");
    int mx = 0, my = 0;
    EXPECT_TRUE(p->to_map(101.04, 200.06, mx, my));
    EXPECT_EQ(mx, 10);
    EXPECT_EQ(my, 1);
    double x = 0, y = 0;
    EXPECT_TRUE(p->from_map(10, 1, x, y));
    EXPECT_DOUBLE_EQ(x, 101.0);
    EXPECT_DOUBLE_EQ(y, 200.1);
    EXPECT_DOUBLE_EQ(p->get_meridian_offset(42), 0.0);
}

TEST(SimpleProjection, RoundsToNearestAlsoBelowZero)
{
    XrProjection p(1, 0, 0);
    struct Case {
        double v;
        int m;
    } cases[] = {{1.7, 2}, {1.2, 1}, {-1.7, -2}, {-1.2, -1}, {-0.4, 0}, {0.5, 1}, {-0.5, 0}, {1e300, 2147483647}, {-1e300, -2147483647 - 1}};
    for (const Case& c : cases) {
        int mx = 0, my = 0;
        p.to_map(c.v, -c.v, mx, my);
        EXPECT_EQ(mx, c.m) << c.v;
    }
}

TEST(SimpleProjection, GridRoundTrip)
{
    XrProjection p(1e7, 0, 0);
    for (double lon = -180; lon <= 180; lon += 7.3)
        for (double lat = -90; lat <= 90; lat += 3.7) {
            int mx, my;
            double x, y;
            p.to_map(lon, lat, mx, my);
            p.from_map(mx, my, x, y);
            ASSERT_NEAR(x, lon, 1e-6);
            ASSERT_NEAR(y, lat, 1e-6);
            int bx, by;
            p.to_map(x, y, bx, by);
            ASSERT_EQ(bx, mx);
            ASSERT_EQ(by, my);
        }
}

TEST(NullProjection, RoundsAndReturnsMapUnits)
{
    XrNullProjection p;
    int mx, my;
    p.to_map(12.4, -3.6, mx, my);
    EXPECT_EQ(mx, 12);
    EXPECT_EQ(my, -4);
    double x = -1, y = -1;
    EXPECT_TRUE(p.from_map(12, -4, x, y));
    EXPECT_DOUBLE_EQ(x, 12.0) << "the zero scale is not divided by";
    EXPECT_DOUBLE_EQ(y, -4.0);
}

TEST(WGS84Projection, WorkedExamples)
{
    XrWGS84Projection p(25, 2, 1000, 0);
    int mx, my;
    p.to_map(25, 60, mx, my);
    EXPECT_EQ(mx, -2000) << "the central meridian gives E = -x0";

    // A difference of -180 degrees wraps to +180: the same as just under +180.
    XrWGS84Projection q(25, 1, 0, 0);
    int wrapped_x, wrapped_y, near_x, near_y;
    q.to_map(-155, 10, wrapped_x, wrapped_y);
    q.to_map(25 + 180 - 1e-9, 10, near_x, near_y);
    EXPECT_GT(wrapped_x, 0);
    EXPECT_NEAR(wrapped_x, near_x, 2);
    EXPECT_NEAR(wrapped_y, near_y, 2);

    // Metres along the equator: one degree of longitude at the central meridian.
    q.to_map(26, 0, mx, my);
    EXPECT_NEAR(mx, 111325, 1);
    EXPECT_EQ(my, 0);
}

TEST(WGS84Projection, MeridianOffset)
{
    XrWGS84Projection north(25, 1, 0, 0);
    EXPECT_DOUBLE_EQ(north.get_meridian_offset(25 + 190), 170.0);
    EXPECT_DOUBLE_EQ(north.get_meridian_offset(20), 5.0);
    EXPECT_DOUBLE_EQ(north.get_meridian_offset(25 - 200), -160.0);
    XrWGS84Projection south(25, 1, 0, -1);
    EXPECT_DOUBLE_EQ(south.get_meridian_offset(25 + 190), -170.0);
    EXPECT_DOUBLE_EQ(south.get_meridian_offset(20), -5.0);
}

TEST(WGS84Projection, GridRoundTrip)
{
    // Map units of 2 cm; within 3.6 degrees of the central meridian the
    // series inverse maps straight back.
    for (double lon0 : {25.0, -155.0, 0.0}) {
        XrWGS84Projection p(lon0, 50, 0, 0);
        for (double dlon = -3.6; dlon <= 3.6; dlon += 0.45)
            for (double lat = -80; lat <= 80; lat += 2.3) {
                int mx, my;
                double lon, la;
                p.to_map(lon0 + dlon, lat, mx, my);
                p.from_map(mx, my, lon, la);
                ASSERT_NEAR(lon, lon0 + dlon, 1e-6) << lon0 << " " << dlon << " " << lat;
                ASSERT_NEAR(la, lat, 1e-6) << lon0 << " " << dlon << " " << lat;
            }
    }
}

TEST(WGS84Projection, FarFromTheMeridianIsRefined)
{
    // Here the series inverse misses; the refinement gets within 0.4 m.
    const double scale = 10;
    XrWGS84Projection p(25, scale, 0, 0);
    for (double dlon = 12; dlon <= 36; dlon += 3.1)
        for (double lat = -70; lat <= 70; lat += 7.7) {
            int mx, my, bx, by;
            double lon, la;
            p.to_map(25 + dlon, lat, mx, my);
            p.from_map(mx, my, lon, la);
            p.to_map(lon, la, bx, by);
            ASSERT_LE(std::abs(bx - mx), 0.4 * scale + 1) << dlon << " " << lat;
            ASSERT_LE(std::abs(by - my), 0.4 * scale + 1) << dlon << " " << lat;
        }
}

TEST(KKJProjection, ZoneChange)
{
    double e = 0, n = 0;
    // Already in the target zone: unchanged, bit for bit.
    ASSERT_TRUE(XrKKJProjection::change_zone(3123456.789, 6712345.678, 3, e, n));
    EXPECT_EQ(e, 3123456.789);
    EXPECT_EQ(n, 6712345.678);

    // Zone 3's central meridian (27 degrees) three degrees east of zone 2's:
    // about 165 km at 60.4 degrees north.
    ASSERT_TRUE(XrKKJProjection::change_zone(3500000, 6700000, 2, e, n));
    EXPECT_NEAR(e, 2665290, 2);
    EXPECT_NEAR(n, 6703764, 2);

    // Neighbouring zones and back, within 100 km of the central meridian.
    for (int src = 1; src <= 4; ++src)
        for (int dst : {src - 1, src + 1})
            for (double off = -100000; off <= 100000; off += 12500)
                for (double north = 6600000; north <= 7800000; north += 75000) {
                    double e1, n1, e2, n2;
                    const double e0 = src * 1000000.0 + 500000 + off;
                    ASSERT_TRUE(XrKKJProjection::change_zone(e0, north, dst, e1, n1));
                    ASSERT_TRUE(XrKKJProjection::change_zone(e1, n1, src, e2, n2));
                    ASSERT_NEAR(e2, e0, 1.5);
                    ASSERT_NEAR(n2, north, 1.5);
                }
}

TEST(KKJProjection, ZonesOutsideTheTableAreRefused)
{
    double e = 1, n = 1;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(XrKKJProjection::change_zone(8500000, 6700000, 3, e, n));
    EXPECT_FALSE(XrKKJProjection::change_zone(-1500000, 6700000, 3, e, n));
    EXPECT_FALSE(XrKKJProjection::change_zone(nan, 6700000, 3, e, n));
    EXPECT_FALSE(XrKKJProjection::change_zone(3500000, nan, 2, e, n));
    EXPECT_FALSE(XrKKJProjection::change_zone(3500000, 6700000, 8, e, n));
    EXPECT_FALSE(XrKKJProjection::change_zone(3500000, 6700000, -1, e, n));
    EXPECT_TRUE(XrKKJProjection::change_zone(7500000, 6700000, 7, e, n)) << "zone 7 is the last";

    XrKKJProjection p(3, 1, 0, 0, true);
    int mx = 5, my = 5;
    EXPECT_FALSE(p.to_map(9000000, 6700000, mx, my));
    EXPECT_EQ(mx, 0);
    EXPECT_EQ(my, 0);
}

TEST(KKJProjectionDeathTest, ZoneOutsideTheTable)
{
    EXPECT_DEATH(XrKKJProjection(8, 1, 0, 0, true), "zone");
    EXPECT_DEATH(XrRKKJProjection(-1, 1, 0, 0, true), "zone");
}

TEST(KKJProjection, ZonePrefix)
{
    int mx, my;
    XrKKJProjection prefixed(3, 1, 0, 0, true);
    ASSERT_TRUE(prefixed.to_map(3500000, 6700000, mx, my));
    EXPECT_EQ(mx, 500000);
    EXPECT_EQ(my, 6700000);
    XrKKJProjection plain(3, 1, 0, 0, false);
    ASSERT_TRUE(plain.to_map(3500000, 6700000, mx, my));
    EXPECT_EQ(mx, 3500000);
    XrKKJProjection scaled(3, 10, 1000, 6500000, true);
    ASSERT_TRUE(scaled.to_map(3501000.25, 6700000.04, mx, my));
    EXPECT_EQ(mx, 5000003);
    EXPECT_EQ(my, 2000000);
}

TEST(KKJProjection, ReverseUsesBothOrigins)
{
    XrRKKJProjection p(3, 1, 100, 6000000, true);
    int mx, my;
    ASSERT_TRUE(p.to_map(500, 700000, mx, my));
    EXPECT_EQ(mx, 3000600);
    EXPECT_EQ(my, 6700000);

    XrRKKJProjection last(7, 1, 0, 0, true);
    EXPECT_FALSE(last.to_map(2000000, 0, mx, my)) << "the easting leaves the zone table";
}

TEST(KKJProjection, GridRoundTrip)
{
    // Forward into zone 3's map units and back with the reverse projection.
    XrKKJProjection forward(3, 10, 1000, 6500000, true);
    XrRKKJProjection reverse(3, 10, 1000, 6500000, true);
    for (double e = 3200000; e <= 3800000; e += 37500)
        for (double n = 6600000; n <= 7800000; n += 62500) {
            int mx, my, ex, ny;
            ASSERT_TRUE(forward.to_map(e, n, mx, my));
            ASSERT_TRUE(reverse.to_map(mx, my, ex, ny));
            ASSERT_NEAR(ex, e, 1);
            ASSERT_NEAR(ny, n, 1);
        }
    // Points of zone 2's eastern half go through zone 3 and back.
    for (double e = 2550000; e <= 2800000; e += 25000)
        for (double n = 6600000; n <= 7800000; n += 62500) {
            int mx, my, ex, ny;
            double be, bn;
            ASSERT_TRUE(forward.to_map(e, n, mx, my));
            ASSERT_TRUE(reverse.to_map(mx, my, ex, ny));
            ASSERT_TRUE(XrKKJProjection::change_zone(ex, ny, 2, be, bn));
            ASSERT_NEAR(be, e, 4);
            ASSERT_NEAR(bn, n, 4);
        }
}

TEST(KKJ2WGSProjection, WorkedValues)
{
    XrKKJ2WGSProjection p(1, 0, 0);
    int mx, my;
    ASSERT_TRUE(p.to_map(3500000, 7000000, mx, my));
    EXPECT_EQ(mx, 3501229);
    EXPECT_EQ(my, 6999867);
    ASSERT_TRUE(p.to_map(3400000, 7500000, mx, my)) << "north of 7 200 000";
    EXPECT_EQ(mx, 3399827);
    EXPECT_EQ(my, 7502868);
    XrKKJ2WGSProjection scaled(2, 1000, 500);
    ASSERT_TRUE(scaled.to_map(1751000, 3500500, mx, my));
    EXPECT_EQ(mx, 3501229);
    EXPECT_EQ(my, 6999867);
}

TEST(KKJDatum, Steps)
{
    const double a = 6378388, e2 = 0.006722670022333322;
    double x, y, z;
    kkj_geodetic_to_geocentric(0, 0, 0, x, y, z);
    EXPECT_NEAR(x, a, 1e-6);
    EXPECT_NEAR(y, 0, 1e-6);
    EXPECT_NEAR(z, 0, 1e-6);
    kkj_geodetic_to_geocentric(90, 90, 100, x, y, z);
    EXPECT_NEAR(z, a * std::sqrt(1 - e2) + 100, 1e-6);

    double wx, wy, wz;
    kkj_shift_to_wgs84(0, 0, 0, wx, wy, wz);
    EXPECT_DOUBLE_EQ(wx, -96.062);
    EXPECT_DOUBLE_EQ(wy, -82.428);
    EXPECT_DOUBLE_EQ(wz, -121.754);

    // Geocentric WGS84 points built here from geodetic ones come back.
    const double wa = 6378137, we2 = 0.006694380022900787, rad = 57.29577957855229;
    for (double lat : {-60.0, -10.0, 0.0, 35.5, 60.17, 80.0})
        for (double lon : {-170.0, -45.0, 0.0, 24.94, 120.0})
            for (double h : {0.0, 850.0}) {
                const double p = lat / rad, l = lon / rad;
                const double nphi = wa / std::sqrt(1 - we2 * std::sin(p) * std::sin(p));
                double rlon, rlat, rh;
                wgs84_geocentric_to_geodetic((nphi + h) * std::cos(p) * std::cos(l), (nphi + h) * std::cos(p) * std::sin(l),
                                             ((1 - we2) * nphi + h) * std::sin(p), rlon, rlat, rh);
                EXPECT_NEAR(rlon, lon, 1e-9) << lat << " " << lon;
                EXPECT_NEAR(rlat, lat, 1e-9) << lat << " " << lon;
                EXPECT_NEAR(rh, h, 1e-3) << lat << " " << lon;
            }
}

TEST(KKJDatum, HelsinkiShift)
{
    // KKJ lies some 175 m east and 19 m south of WGS84 in Helsinki.
    double lon, lat;
    kkj_to_wgs84(24.94, 60.17, lon, lat);
    const double east_m = (lon - 24.94) * 111320 * std::cos(60.17 / 57.29577957855229);
    const double north_m = (lat - 60.17) * 111320;
    EXPECT_NEAR(east_m, -175, 5);
    EXPECT_NEAR(north_m, 19, 5);
}
