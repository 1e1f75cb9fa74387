// citygen DIR [LAT,LON]: writes a generated city map folder (geometry files
// and mapcfg.txt) centred on LAT,LON (default 60.17,24.94) of a transverse
// Mercator projection, for kestrova-probe render.
#include <cstdio>
#include <string>

#include "tools/mapstyle/city_gen.h"

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: citygen DIR [LAT,LON]\n");
        return 2;
    }
    double lat = 60.17, lon = 24.94;
    if (argc == 3 && std::sscanf(argv[2], "%lf,%lf", &lat, &lon) != 2) {
        std::fprintf(stderr, "citygen: bad LAT,LON\n");
        return 2;
    }
    XrCityOptions options;
    std::string error;
    if (!xr_centre_city(options, "wgs84://25,1,0,0", lon, lat) || !xr_write_city_map(argv[1], options, error)) {
        std::fprintf(stderr, "citygen: %s\n", error.empty() ? "bad centre" : error.c_str());
        return 1;
    }
    return 0;
}
