// xr-imagegen DESC OUTDIR [STAMP]: draws the images DESC describes into OUTDIR
// (see imagegen.h for the description language). STAMP, when given, is
// touched after every image was written (for build rules).
#include "tools/imagegen/imagegen.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

// Fontconfig keeps its font patterns in caches that it never frees.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: xr-imagegen DESC OUTDIR [STAMP]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "xr-imagegen: cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    mkdir(argv[2], 0755);
    XrImageGenResult r = xr_generate_images(text.str(), argv[1], argv[2]);
    if (!r.ok) {
        std::fprintf(stderr, "xr-imagegen: %s\n", r.error.c_str());
        return 1;
    }
    if (argc == 4) {
        std::ofstream stamp(argv[3], std::ios::trunc);
        for (const auto& p : r.written)
            stamp << p << '\n';
        if (!stamp) {
            std::fprintf(stderr, "xr-imagegen: cannot write %s\n", argv[3]);
            return 1;
        }
    }
    return 0;
}
