// mapgen: writes the binary data files of a map folder.
//   mapgen <format> <output file>
//   mapgen compile <IN.osm|IN.osm.pbf> <OUTDIR> [--name NAME] [--force]
//   mapgen bitmaps <IDS> <PNGDIR> <OUT.def> <OUT.mbm>
//   mapgen --help   the formats and the syntax of the text inputs
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>
#include <malloc.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/mapgen/bitmap_set.h"
#include "tools/mapgen/compile_osm.h"
#include "tools/mapgen/geom_text.h"
#include "tools/mapgen/map_text.h"
#include "tools/mapgen/ogg_writer.h"
#include "tools/mapgen/qt_index.h"
#include "tools/mapgen/trafficstrings_writer.h"
#include "tools/mapgen/unicode_binmap.h"
#include "tools/mapgen/wav_writer.h"

namespace {

struct Format {
    const char* name;
    const char* help;
    bool (*write)(const std::string& path);
};

bool write_unicode(const std::string& path)
{
    return write_unicode_binmap(path);
}

bool write_xrqt_file(const std::string& path)
{
    return xr_write_geom_from_stdin(path, false);
}

bool write_heap_geom_file(const std::string& path)
{
    return xr_write_geom_from_stdin(path, true);
}

// Half a second of a 440 Hz tone, 16-bit mono at 22050 Hz.
XrWavDef tone_prompt()
{
    XrWavDef def;
    def.samples = wav_tone16(def.rate, 1, def.rate / 2, 440.0);
    return def;
}

bool write_wav_prompt(const std::string& path)
{
    return write_wav_file(path, tone_prompt());
}

bool write_ogg_prompt(const std::string& path)
{
    return write_ogg_file(path, tone_prompt());
}

const Format formats[] = {
    {"unicode", "the character tables (mapdata/unicode.binmap)", write_unicode},
    {"qtindex", "a sample quadtree point index (and its .data file)", write_demo_qt_index},
    {"xrqt", "a geometry file (mapdata/pb.qt, pc.qt) from a record list on stdin", write_xrqt_file},
    {"heapgeom", "a heap geometry storage from a record list on stdin", write_heap_geom_file},
    {"wav", "a voice prompt: half a second of a tone, 16-bit mono WAV", write_wav_prompt},
    {"ogg", "the same voice prompt as Ogg Vorbis (runs oggenc)", write_ogg_prompt},
    {"addr", "the address database (mapdata/addr.dat) from an address text on stdin", xr_write_addr_from_stdin},
    {"signs", "the signpost file (mapdata/signs.bin) from a signpost text on stdin", xr_write_signs_from_stdin},
    {"tmc", "the TMC tables into the output folder from a TMC text on stdin", xr_write_tmc_from_stdin},
};

void print_usage(std::FILE* out)
{
    std::fprintf(out, "usage: mapgen <format> <output file>\n"
                      "       mapgen compile <IN.osm|IN.osm.pbf> <OUTDIR> [--name NAME] [--force]\n"
                      "       mapgen bitmaps <IDS> <PNGDIR> <OUT.def> <OUT.mbm>\n"
                      "       mapgen trafficstrings <TEXTS.tsv> <OUT.bin>\n"
                      "       mapgen --help\nformats:\n");
    for (const Format& f : formats)
        std::fprintf(out, "  %-10s %s\n", f.name, f.help);
}

int usage()
{
    print_usage(stderr);
    return 2;
}

// The block that keeps the start of the heap's free end on a huge page
// boundary (see prepare_heap); it is never used.
void* heap_filler = nullptr;

// A compile fills about 5 bytes of fresh heap for each byte of input, and
// with 4 KiB pages every page costs the kernel a page fault (dearly on
// virtual machines). All threads share the one heap, freed memory stays with
// the process, and the heap is grown once in advance, by 6 times the input
// (64 MiB to 768 MiB), and marked for transparent huge pages where the
// kernel has them.
void prepare_heap(const char* input)
{
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_TOP_PAD, 16 << 20);
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's allocator has a heap of its own, and would mark the
    // whole reserve in its shadow memory.
    return;
#endif
    struct stat st;
    const size_t RESERVE = std::clamp<size_t>(stat(input, &st) == 0 ? static_cast<size_t>(st.st_size) * 6 : 0,
                                              size_t(64) << 20, size_t(768) << 20);
    constexpr uintptr_t HUGE_PAGE = uintptr_t(2) << 20;
    const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || page <= 0 || static_cast<unsigned long long>(pages) * page / 4 < RESERVE)
        return;
    // Huge pages cover whole aligned 2 MiB only: a block up to the next
    // boundary moves the free end of the heap there. A block larger than
    // any that the allocator keeps aside at start shows where that end is.
    void* probe = malloc(size_t(256) << 10);
    if (probe == nullptr)
        return;
    const uintptr_t at = reinterpret_cast<uintptr_t>(probe);
    free(probe);
    const uintptr_t boundary = (at + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
    if (boundary - at >= 64)
        heap_filler = malloc(boundary - at - 8); // the next block's header ends at the boundary
    void* block = malloc(RESERVE);
    if (block == nullptr)
        return;
    const uintptr_t start = reinterpret_cast<uintptr_t>(block);
    const uintptr_t end = reinterpret_cast<uintptr_t>(sbrk(0));
    free(block);
    // Only a block from the program break (not a mapping of its own) leaves
    // the heap this large. With the filler in place the block starts at the
    // boundary, and nothing after it has been written to yet (a page written
    // to before the advice would keep its 2 MiB in small pages).
    const uintptr_t from = (start + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
    if (end > from && end - start >= RESERVE)
        madvise(reinterpret_cast<void*>(from), end - from, MADV_HUGEPAGE);
}

// Compiles OpenStreetMap data into a map folder.
int compile(int argc, char** argv)
{
    XrCompileOptions options;
    if (argc < 4)
        return usage();
    for (int i = 4; i < argc; ++i) {
        if (std::strcmp(argv[i], "--name") == 0 && i + 1 < argc)
            options.name = argv[++i];
        else if (std::strcmp(argv[i], "--force") == 0)
            options.force = true;
        else
            return usage();
    }
    prepare_heap(argv[2]);
    XrCompileStats stats;
    std::string error;
    if (!xr_compile_osm_file(argv[2], argv[3], options, stats, error)) {
        std::fprintf(stderr, "mapgen compile: %s\n", error.c_str());
        return 1;
    }
    std::printf("roads %d edges %d turn restrictions %d areas %d labels %d road numbers %d streets %d "
                "house number ranges %d signposts %d POIs %d\n",
                stats.roads, stats.edges, stats.restrictions, stats.areas, stats.labels, stats.numbers, stats.streets,
                stats.house_ranges, stats.signposts, stats.pois);
    return 0;
}

// PNG images to an MBM file with its bitmap index.
int bitmaps(int argc, char** argv)
{
    if (argc != 6)
        return usage();
    std::string error;
    if (!xr_write_bitmap_set(argv[2], argv[3], argv[4], argv[5], error)) {
        std::fprintf(stderr, "mapgen bitmaps: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

// A traffic strings file from "code<TAB>text" lines ("#" lines aside),
// written under a temporary name and renamed.
int trafficstrings(int argc, char** argv)
{
    if (argc != 4)
        return usage();
    std::FILE* in = std::fopen(argv[2], "r");
    if (in == nullptr) {
        std::fprintf(stderr, "mapgen trafficstrings: cannot read %s\n", argv[2]);
        return 1;
    }
    std::map<int, std::string> texts;
    char line[1024];
    while (std::fgets(line, sizeof line, in) != nullptr) {
        std::string l(line);
        while (!l.empty() && (l.back() == '\n' || l.back() == '\r'))
            l.pop_back();
        const std::size_t tab = l.find('\t');
        if (l.empty() || l[0] == '#' || tab == std::string::npos)
            continue;
        texts[std::atoi(l.substr(0, tab).c_str())] = l.substr(tab + 1);
    }
    std::fclose(in);
    const std::vector<std::uint8_t> bytes = traffic_strings_file(texts);
    const std::string tmp = std::string(argv[3]) + ".tmp";
    std::FILE* out = std::fopen(tmp.c_str(), "wb");
    const bool ok = out != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() &&
                    std::fflush(out) == 0 && fsync(fileno(out)) == 0;
    if (out != nullptr)
        std::fclose(out);
    if (!ok || std::rename(tmp.c_str(), argv[3]) != 0) {
        std::fprintf(stderr, "mapgen trafficstrings: cannot write %s\n", argv[3]);
        std::remove(tmp.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "compile") == 0)
        return compile(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "bitmaps") == 0)
        return bitmaps(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "trafficstrings") == 0)
        return trafficstrings(argc, argv);
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        print_usage(stdout);
        std::fprintf(stdout, "\n%s", xr_map_text_help());
        return 0;
    }
    if (argc != 3)
        return usage();
    for (const Format& f : formats) {
        if (std::strcmp(argv[1], f.name) != 0)
            continue;
        if (!f.write(argv[2])) {
            std::fprintf(stderr, "mapgen: cannot write %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
    return usage();
}
