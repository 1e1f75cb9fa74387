#include "common/symbol/xr_symbol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/storage/xr_storageaccessor.h"
#include "common/symbol/xr_drawablesymbol.h"
#include "tools/mapgen/symbol_writer.h"

namespace {

using Bytes = std::vector<BYTE>;

int load(XrSymbolLibrary& lib, Bytes file)
{
    XrMemoryStorageAccessor acc(true, file.data(), static_cast<std::uint32_t>(file.size()), false);
    return lib.load(&acc);
}

Bytes program_of(const XrSymbol* s)
{
    int len = 0;
    const BYTE* p = s->get_data(len);
    return Bytes(p, p + len);
}

const Bytes square = XrSymbolProgram().select(0, 0).polygon({{-2, -2}, {2, -2}, {2, 2}, {-2, 2}}).end().bytes();
const Bytes circle = XrSymbolProgram().filled_ellipse(1, 2, 3, 4).bytes();

TEST(SymbolLibraryTest, LoadsEverySymbolByCode)
{
    XrSymbolLibrary lib;
    ASSERT_EQ(load(lib, symbol_library({{7, square}, {9, {}}, {300, circle}, {7, circle}})), 0);
    EXPECT_EQ(lib.get_count(), 3u);
    ASSERT_NE(lib.find(7), nullptr);
    EXPECT_EQ(program_of(lib.find(7)), square); // the first definition wins
    EXPECT_EQ(lib.find(7)->get_code(), 7);
    EXPECT_EQ(program_of(lib.find(300)), circle);
    EXPECT_EQ(program_of(lib.find(9)), Bytes());
    EXPECT_EQ(lib.find(8), nullptr);
}

TEST(SymbolLibraryTest, HeaderWithoutSymbolsLoads)
{
    XrSymbolLibrary lib;
    EXPECT_EQ(load(lib, symbol_library({})), 0);
    EXPECT_EQ(lib.get_count(), 0u);
}

TEST(SymbolLibraryTest, BadFilesFail)
{
    Bytes good = symbol_library({{1, circle}});
    Bytes bad_magic = good;
    bad_magic[3] = 'G';
    Bytes long_length = symbol_library({{1, Bytes(0x8000, 0)}});
    struct Case {
        const char* what;
        Bytes file;
    };
    const Case cases[] = {
        {"empty", {}},
        {"shorter than the header", Bytes(good.begin(), good.begin() + 10)},
        {"magic", bad_magic},
        {"version", symbol_library({{1, circle}}, 2)},
        {"record past the end", Bytes(good.begin(), good.end() - 1)},
        {"program longer than a symbol holds", long_length},
        {"unknown command", symbol_library({{1, XrSymbolProgram().raw({7, 0}).bytes()}})},
        {"command cut short", symbol_library({{1, Bytes(circle.begin(), circle.end() - 2)}})},
    };
    for (const Case& c : cases) {
        XrSymbolLibrary lib;
        EXPECT_EQ(load(lib, c.file), 1) << c.what;
        EXPECT_EQ(lib.find(1), nullptr) << c.what;
    }
    XrSymbolLibrary lib;
    EXPECT_EQ(lib.load(nullptr), 1);
}

TEST(SymbolLibraryTest, TrailingFragmentFailsButKeepsWhatWasRead)
{
    Bytes file = symbol_library({{1, circle}, {2, square}});
    XrSymbolLibrary exact;
    EXPECT_EQ(load(exact, file), 0);
    for (std::size_t extra = 1; extra <= 4; ++extra) {
        Bytes longer = file;
        longer.resize(file.size() + extra, 0);
        XrSymbolLibrary lib;
        EXPECT_EQ(load(lib, longer), 1) << extra;
        EXPECT_NE(lib.find(1), nullptr);
        EXPECT_NE(lib.find(2), nullptr);
    }
}

TEST(SymbolLibraryTest, LoadingAgainReplacesTheSymbols)
{
    XrSymbolLibrary lib;
    ASSERT_EQ(load(lib, symbol_library({{1, circle}})), 0);
    ASSERT_EQ(load(lib, symbol_library({{2, square}})), 0);
    EXPECT_EQ(lib.find(1), nullptr);
    EXPECT_EQ(program_of(lib.find(2)), square);
}

TEST(SymbolTest, OwnedCopies)
{
    Bytes data = {1, 2, 3};
    XrSymbol pointing;
    pointing.set(data.data(), 3, false);
    int len = 0;
    EXPECT_EQ(pointing.get_data(len), data.data());
    EXPECT_EQ(len, 3);

    XrSymbol owned;
    owned.set(data.data(), 3, true);
    EXPECT_NE(owned.get_data(len), data.data());
    EXPECT_EQ(len, 3);
    XrSymbol copy(owned);
    XrSymbol assigned;
    assigned = owned;
    for (const XrSymbol* s : {&owned, &copy, &assigned}) {
        EXPECT_EQ(program_of(s), data);
        EXPECT_NE(s->get_data(len), data.data());
    }
    EXPECT_NE(copy.get_data(len), owned.get_data(len));
}

TEST(SymbolDeathTest, AssigningOverAnOwnedCopyIsFatal)
{
    Bytes data = {1, 2, 3};
    XrSymbol owned;
    owned.set(data.data(), 3, true);
    XrSymbol other;
    EXPECT_DEATH(owned = other, "\\(len & 0x8000\\) == 0");
}

XrDrawableSymbol make(const Bytes& program, std::vector<double> scales = {1.0})
{
    return XrDrawableSymbol(nullptr, 0, nullptr, 0, true, scales.data(), static_cast<int>(scales.size()),
                            program.data(), static_cast<int>(program.size()));
}

TEST(DrawableSymbolTest, BoundingBoxOfPointsAndEllipses)
{
    Bytes p = XrSymbolProgram()
                  .select(0, 0)
                  .polyline({{-5, 2}, {3, 8}})
                  .ellipse(10, 0, 4, 3)
                  .polygon({{0, -9}})
                  .end()
                  .polygon({{100, 100}}) // after the end
                  .bytes();
    XrDrawableSymbol s(nullptr, 0, nullptr, 0, true, nullptr, 0, p.data(), static_cast<int>(p.size()));
    EXPECT_EQ(s.get_bbox(), XrRectangle(-5, -9, 14, 8));
    EXPECT_TRUE(s.get_flag());
}

TEST(DrawableSymbolTest, ScreenBoxIsRotatedAndScaled)
{
    Bytes p = XrSymbolProgram().polyline({{-10, -4}, {20, 6}}).bytes();
    XrDrawableSymbol s = make(p, {1.0, 0.5, 0.0});
    EXPECT_EQ(s.get_screen_bbox(0, 0), XrRectangle(-10, -4, 20, 6));
    EXPECT_EQ(s.get_screen_bbox(0, 1), XrRectangle(-5, -2, 10, 3));
    // 90 degrees: (x, y) -> (y, -x).
    EXPECT_EQ(s.get_screen_bbox(90, 0), XrRectangle(-4, -20, 6, 10));
    EXPECT_EQ(s.get_screen_bbox(0, 2), XrRectangle(0, 0, 0, 0));
    EXPECT_EQ(s.get_screen_bbox(0, 3), XrRectangle(0, 0, 0, 0));
}

TEST(DrawableSymbolTest, CheckProgramFindsTheSoundHead)
{
    struct Case {
        const char* what;
        Bytes program;
        int length;
        bool ok;
    };
    const Bytes line = XrSymbolProgram().polyline({{1, 1}, {2, 2}}).bytes(); // 20 bytes
    const Case cases[] = {
        {"empty", {}, 0, true},
        {"ends at END", XrSymbolProgram().select(1, 1).end().select(0, 0).bytes(), 10, true},
        {"ends with the data", line, 20, true},
        {"unknown code", XrSymbolProgram().select(1, 1).raw({2, 0}).end().bytes(), 8, false},
        {"points cut short", Bytes(line.begin(), line.end() - 1), 0, false},
        {"count cut short", Bytes{1, 0, 2}, 0, false},
        {"odd byte", Bytes{0}, 0, false},
    };
    for (const Case& c : cases) {
        bool ok = !c.ok;
        EXPECT_EQ(XrDrawableSymbol::check_program(c.program.data(), static_cast<int>(c.program.size()), ok),
                  c.length)
            << c.what;
        EXPECT_EQ(ok, c.ok) << c.what;
    }
}

TEST(DrawableSymbolDeathTest, BrushAndPenCountsMustMatch)
{
    XrBrushHandle brushes[2] = {};
    XrPenHandle pens[1] = {};
    EXPECT_DEATH(XrDrawableSymbol(brushes, 2, pens, 1, true, nullptr, 0, nullptr, 0), "num_br == num_pn");
}

} // namespace
