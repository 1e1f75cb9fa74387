// Reading visual settings from REGEDIT4 text and asking for their styles.
// Pens and brushes allocate their colours on the X display.
#include <gtest/gtest.h>

#include <gdk/gdk.h>

#include <memory>
#include <string>
#include <vector>

#include "common/base/xr_singleton.h"
#include "common/config/xr_memoryconfiguration.h"
#include "common/gdi/xr_palette.h"
#include "common/storage/xr_storageaccessor.h"
#include "common/symbol/xr_drawablesymbol.h"
#include "common/symbol/xr_symbol.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "common/visualization/xr_visualsetting.h"
#include "tools/mapgen/symbol_writer.h"

namespace {

// Sections of a visual setting under "\vs"; each may be replaced or left out.
struct Sections {
    std::string theme = "[\\vs\\themes\\0]\ntxt_halo=1,2,3\nmap_bg_color=10,20,30\n";
    std::string pens = "1=10,20,30,dot\n2=1,2,3,DASHDOT\n3=5,6,7,weird\n";
    std::string brushes = "1=9,9,9,SOLID\n2=40,50,60,null\n3=1,1,1,HATCH_CROSS\n";
    std::string fonts = "1=100,100,100\n2=102,101,102\n3=0,0,255\n";
    std::string scales = "a=0,100\nb=50,200\n";
    std::string lines = "1=1,2,7\n2=1,2,3,3,1\n3=0,3,-4,2,0,5\n";
    std::string polygons = "1=3,0,0,2\n2=1,1\n";
    std::string texts = "1=1,0,3\n";
    std::string symbols = "5=0,7,1,1,2,2,scales,1.0,0.5\n";
    bool with_symbols = true;

    std::string text() const
    {
        std::string t = "REGEDIT4\n[\\vs]\n[\\vs\\themes]\n" + theme;
        t += "[\\vs\\themes\\0\\pens]\n" + pens;
        t += "[\\vs\\themes\\0\\brushes]\n" + brushes;
        t += "[\\vs\\themes\\0\\fonts]\n" + fonts;
        t += "[\\vs\\scales]\n" + scales;
        t += "[\\vs\\lines]\n" + lines;
        t += "[\\vs\\polygons]\n" + polygons;
        t += "[\\vs\\texts]\n" + texts;
        if (with_symbols)
            t += "[\\vs\\symbols]\n" + symbols;
        return t;
    }
};

GdkColor color(int r, int g, int b)
{
    GdkColor c{};
    c.red = static_cast<guint16>(r << 8);
    c.green = static_cast<guint16>(g << 8);
    c.blue = static_cast<guint16>(b << 8);
    return c;
}

::testing::AssertionResult same_rgb(const GdkColor& a, const GdkColor& b)
{
    if (a.red == b.red && a.green == b.green && a.blue == b.blue)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << (a.red >> 8) << "," << (a.green >> 8) << "," << (a.blue >> 8)
                                         << ") != (" << (b.red >> 8) << "," << (b.green >> 8) << ","
                                         << (b.blue >> 8) << ")";
}

class VisualSettingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(gdk_init_check(nullptr, nullptr)) << "no X display";
        fonts = new XrFontRepositoryMaemo();
        fonts->initialize();
        XrSingleton::set_instance(XrString(L"XrFontRepository"), fonts);

        // Library 0 holds symbol 7: a square and a circle.
        XrSymbolProgram program;
        program.select(0, 0).polygon({{-4, -4}, {4, -4}, {4, 4}, {-4, 4}});
        program.select(1, 1).filled_ellipse(0, 0, 2, 2).end();
        library_bytes = symbol_library({{7, program.bytes()}});
        XrMemoryStorageAccessor storage(true, library_bytes.data(), static_cast<std::uint32_t>(library_bytes.size()),
                                        false);
        library = new XrSymbolLibrary();
        ASSERT_EQ(library->load(&storage), 0);
        libraries = new XrPtrArray<XrSymbolLibrary*>();
        libraries->append(library);
    }

    static void TearDownTestSuite()
    {
        XrSingleton::set_instance(XrString(L"XrFontRepository"), nullptr);
        delete fonts;
        delete libraries;
        delete library;
    }

    // Loads the text and reads "\vs" with the theme.
    int read(const std::string& text, const int* theme = nullptr)
    {
        config = std::make_unique<XrMemoryConfiguration>(L"");
        EXPECT_EQ(config->open(reinterpret_cast<const BYTE*>(text.data()), text.size(), true), XrConfiguration::OK);
        EXPECT_EQ(config->open_key(L"\\vs"), XrConfiguration::OK);
        const int result = vs.read(*config, palette, *libraries, theme);
        EXPECT_STREQ(config->get_current_key(), L"\\vs"); // the key is current again
        return result;
    }

    static XrFontRepositoryMaemo* fonts;
    static XrSymbolLibrary* library;
    static XrPtrArray<XrSymbolLibrary*>* libraries;
    static std::vector<BYTE> library_bytes;

    std::unique_ptr<XrMemoryConfiguration> config;
    XrPalette palette;
    XrVisualSetting vs;
};

XrFontRepositoryMaemo* VisualSettingTest::fonts = nullptr;
XrSymbolLibrary* VisualSettingTest::library = nullptr;
XrPtrArray<XrSymbolLibrary*>* VisualSettingTest::libraries = nullptr;
std::vector<BYTE> VisualSettingTest::library_bytes;

TEST_F(VisualSettingTest, PenStylesAndLineStyles)
{
    ASSERT_EQ(read(Sections().text()), 0);
    EXPECT_EQ(vs.get_pen_count(), 4);

    XrPenHandle outer, inner;
    short value = 0;
    ASSERT_EQ(vs.get_line_info(1, 0, outer, inner, value), 0);
    EXPECT_EQ(outer.style, XrPenHandle::Solid); // DOT, in lower case, draws solid
    EXPECT_EQ(outer.width, 1);
    EXPECT_TRUE(same_rgb(outer.color, color(10, 20, 30)));
    EXPECT_EQ(inner.style, XrPenHandle::Dashed); // DASHDOT draws dashed
    EXPECT_EQ(value, 7);

    // Five numbers: one record; the incomplete second triple is ignored.
    ASSERT_EQ(vs.get_line_info(2, 0, outer, inner, value), 0);
    EXPECT_EQ(value, 3);
    EXPECT_EQ(vs.get_line_info(2, 1, outer, inner, value), 1);
    EXPECT_EQ(outer.style, XrPenHandle::Null);
    EXPECT_EQ(inner.style, XrPenHandle::Null);

    // Pen 0 is no pen; an unknown style word draws solid.
    ASSERT_EQ(vs.get_line_info(3, 0, outer, inner, value), 0);
    EXPECT_EQ(outer.style, XrPenHandle::Null);
    EXPECT_EQ(inner.style, XrPenHandle::Solid);
    EXPECT_EQ(value, -4);
    ASSERT_EQ(vs.get_line_info(3, 1, outer, inner, value), 0);
    EXPECT_EQ(inner.style, XrPenHandle::Null);
    EXPECT_EQ(value, 5);

    int r1, g1, b1, r2, g2, b2;
    EXPECT_EQ(vs.get_line_colors(3, 0, r1, g1, b1, r2, g2, b2, value), 0);
    EXPECT_EQ((std::vector<int>{r1, g1, b1, r2, g2, b2, value}), (std::vector<int>{0, 0, 0, 5, 6, 7, -4}));
    EXPECT_EQ(vs.get_line_colors(3, 2, r1, g1, b1, r2, g2, b2, value), 1);
    EXPECT_EQ((std::vector<int>{r1, g1, b1, r2, g2, b2, value}), (std::vector<int>(7, 0)));

    EXPECT_EQ(vs.get_line_info(99, 0, outer, inner, value), 1);
    EXPECT_EQ(vs.get_line_info(1, -1, outer, inner, value), 1);
}

TEST_F(VisualSettingTest, BrushStylesAndPolygonStyles)
{
    ASSERT_EQ(read(Sections().text()), 0);
    XrBrushHandle brush;
    XrPenHandle pen;

    // Pen 3 with brush 0: the brush of index 0 (unset: hollow black) and a null pen.
    ASSERT_EQ(vs.get_polygon_info(1, 0, brush, pen), 0);
    EXPECT_EQ(brush.fill, XrBrushHandle::Hollow);
    EXPECT_EQ(brush.null_marker, 0);
    EXPECT_EQ(pen.style, XrPenHandle::Null);
    // Pen 0 with brush 2: pen 0 (unset: null) and the NULL brush, hollow.
    ASSERT_EQ(vs.get_polygon_info(1, 1, brush, pen), 0);
    EXPECT_EQ(brush.fill, XrBrushHandle::Hollow);
    EXPECT_EQ(brush.null_marker, 0);
    EXPECT_TRUE(same_rgb(brush.color, color(40, 50, 60)));
    EXPECT_EQ(pen.style, XrPenHandle::Null);
    // Pen 1, brush 1: solid.
    ASSERT_EQ(vs.get_polygon_info(2, 0, brush, pen), 0);
    EXPECT_EQ(brush.fill, XrBrushHandle::SolidFill);
    EXPECT_EQ(pen.style, XrPenHandle::Solid);
    EXPECT_TRUE(same_rgb(pen.color, color(10, 20, 30)));

    EXPECT_EQ(vs.get_polygon_info(2, 1, brush, pen), 1);
    EXPECT_EQ(brush.null_marker, XrBrushHandle::NullMarker);
    EXPECT_EQ(pen.style, XrPenHandle::Null);

    // A hatch brush is a null brush.
    Sections s;
    s.polygons = "1=1,3\n";
    ASSERT_EQ(read(s.text()), 0);
    ASSERT_EQ(vs.get_polygon_info(1, 0, brush, pen), 0);
    EXPECT_EQ(brush.null_marker, XrBrushHandle::NullMarker);
}

TEST_F(VisualSettingTest, FontsShareCloseColoursAndComeFromTheRepository)
{
    ASSERT_EQ(read(Sections().text()), 0);
    XrFontHandleRec* font = nullptr;
    XrColorHandle c1 = 1, c2 = 2;
    const short text1 = 1; // a style id (short); the scale index (int) follows
    ASSERT_EQ(vs.get_font_info(text1, 0, font, c1), 0);
    EXPECT_EQ(font, fonts->get_font(38));
    // Text style 1 has no font at scale index 1.
    ASSERT_EQ(vs.get_font_info(text1, 1, font, c2), 0);
    EXPECT_EQ(font, nullptr);
    ASSERT_EQ(vs.get_font_info(text1, 2, font, c2), 0);
    EXPECT_EQ(font, fonts->get_font(37));
    EXPECT_EQ(c2, XrGDI::rgb(0, 0, 255));
    EXPECT_EQ(vs.get_font_info(text1, 3, font, c2), 1);
    EXPECT_EQ(font, nullptr);

    // Font 2 (context 39) differs from font 1 by 5: the same palette colour.
    Sections s;
    s.texts = "1=1,2\n";
    ASSERT_EQ(read(s.text()), 0);
    ASSERT_EQ(vs.get_font_info(text1, 0, font, c1), 0);
    ASSERT_EQ(vs.get_font_info(text1, 1, font, c2), 0);
    EXPECT_EQ(font, fonts->get_font(39));
    EXPECT_EQ(c1, XrGDI::rgb(100, 100, 100));
    EXPECT_EQ(c2, c1);
}

// The style id comes first, then the scale index: swapped (or untyped)
// arguments do not compile.
template <class Style, class ScaleIndex>
concept FontInfoArgs = requires(const XrVisualSetting& v, Style style, ScaleIndex index, XrFontHandleRec*& font,
                                XrColorHandle& colour) { v.get_font_info(style, index, font, colour); };
static_assert(FontInfoArgs<short, int>);
static_assert(!FontInfoArgs<int, short>);
static_assert(!FontInfoArgs<int, int>);

TEST_F(VisualSettingTest, ScaleIndexes)
{
    EXPECT_EQ(vs.get_scale_index(60), -1); // no ranges
    ASSERT_EQ(read(Sections().text()), 0);
    EXPECT_EQ(vs.get_scale_index(60), 0);
    EXPECT_EQ(vs.get_scale_index(150), 1);
    EXPECT_EQ(vs.get_scale_index(500), 1); // the largest high bound

    // Bounds are unsigned; the fallback compares them signed.
    Sections s;
    s.scales = "a=10,4000000000\nb=0,5\n";
    ASSERT_EQ(read(s.text()), 0);
    EXPECT_EQ(vs.get_scale_index(3000000000u), 0);
    EXPECT_EQ(vs.get_scale_index(4294967295u), 1);
}

TEST_F(VisualSettingTest, ThemeValuesAndBackground)
{
    ASSERT_EQ(read(Sections().text()), 0);
    EXPECT_EQ(vs.get_text_halo_color(), XrGDI::rgb(1, 2, 3));
    EXPECT_EQ(vs.get_background_brush().fill, XrBrushHandle::SolidFill);
    EXPECT_TRUE(same_rgb(vs.get_background_brush().color, color(10, 20, 30)));
    EXPECT_EQ(vs.get_background_pen().style, XrPenHandle::Solid);
    EXPECT_EQ(vs.get_background_pen().width, 1);
    EXPECT_TRUE(same_rgb(vs.get_background_pen().color, color(10, 20, 30)));

    // Values that do not parse give the defaults.
    Sections s;
    s.theme = "[\\vs\\themes\\0]\ntxt_halo=1,2\nmap_bg_color=x\n";
    ASSERT_EQ(read(s.text()), 0);
    EXPECT_EQ(vs.get_text_halo_color(), XrGDI::rgb(212, 212, 212));
    EXPECT_TRUE(same_rgb(vs.get_background_brush().color, color(200, 255, 154)));
}

TEST_F(VisualSettingTest, ThemeSelection)
{
    Sections s;
    // Theme 2 brightens its pens; the background keeps its own colour.
    s.theme = "[\\vs\\themes\\0]\ntxt_halo=1,1,1\n[\\vs\\themes\\2]\ncontrast=50\nbrightness=100\n"
              "txt_halo=2,2,2\nmap_bg_color=200,40,40\n";
    s.pens = "1=200,40,40,SOLID\n";
    s.lines = "1=1,0,1\n";
    s.polygons = "";
    s.texts = "";
    s.symbols = "";
    const std::string text = s.text() + "[\\vs\\themes\\2\\pens]\n1=200,40,40,SOLID\n[\\vs\\themes\\2\\brushes]\n"
                                        "[\\vs\\themes\\2\\fonts]\n";
    const int two = 2, five = 5;
    int r1, g1, b1, r2, g2, b2;
    short value;

    ASSERT_EQ(read(text, &two), 0);
    EXPECT_EQ(vs.get_contrast(), 50);
    EXPECT_EQ(vs.get_text_halo_color(), XrGDI::rgb(2, 2, 2));
    ASSERT_EQ(vs.get_line_colors(1, 0, r1, g1, b1, r2, g2, b2, value), 0);
    EXPECT_EQ((std::vector<int>{r1, g1, b1}), (std::vector<int>{213, 43, 43}));
    EXPECT_TRUE(same_rgb(vs.get_background_brush().color, color(200, 40, 40)));

    // A missing theme falls back to "0".
    ASSERT_EQ(read(text, &five), 0);
    EXPECT_EQ(vs.get_contrast(), 0);
    EXPECT_EQ(vs.get_text_halo_color(), XrGDI::rgb(1, 1, 1));
    ASSERT_EQ(vs.get_line_colors(1, 0, r1, g1, b1, r2, g2, b2, value), 0);
    EXPECT_EQ((std::vector<int>{r1, g1, b1}), (std::vector<int>{200, 40, 40}));

    // Without "0" the values stand in "themes" itself.
    const std::string flat = "REGEDIT4\n[\\vs]\n[\\vs\\themes]\ntxt_halo=3,3,3\n[\\vs\\themes\\pens]\n"
                             "[\\vs\\themes\\brushes]\n[\\vs\\themes\\fonts]\n[\\vs\\scales]\n[\\vs\\lines]\n"
                             "[\\vs\\polygons]\n[\\vs\\texts]\n[\\vs\\symbols]\n";
    ASSERT_EQ(read(flat), 0);
    EXPECT_EQ(vs.get_text_halo_color(), XrGDI::rgb(3, 3, 3));
}

TEST_F(VisualSettingTest, ThemeChangeReadsEveryStyleAgain)
{
    // Theme 1 has more pens and brushes than theme 0 (its tables are
    // allocated anew) and other colours; lines point into the pen table and
    // polygon records and symbols hold copies, so all must follow.
    Sections s;
    s.theme = "[\\vs\\themes\\0]\nmap_bg_color=10,20,30\n[\\vs\\themes\\1]\ntxt_halo=4,5,6\nmap_bg_color=70,80,90\n";
    s.pens = "1=10,10,10,SOLID\n2=20,20,20,SOLID\n";
    s.brushes = "1=30,30,30,SOLID\n2=40,40,40,SOLID\n";
    s.lines = "1=1,2,7\n";
    s.polygons = "1=2,1\n";
    s.texts = "";
    const std::string text = s.text() + "[\\vs\\themes\\1\\pens]\n1=11,11,11,SOLID\n2=22,22,22,DASH\n"
                                        "9=99,99,99,SOLID\n[\\vs\\themes\\1\\brushes]\n1=33,33,33,SOLID\n"
                                        "2=44,44,44,SOLID\n8=88,88,88,SOLID\n[\\vs\\themes\\1\\fonts]\n";
    config = std::make_unique<XrMemoryConfiguration>(L"");
    ASSERT_EQ(config->open(reinterpret_cast<const BYTE*>(text.data()), text.size(), true), XrConfiguration::OK);
    ASSERT_EQ(config->open_key(L"\\vs"), XrConfiguration::OK);
    {
        // The caller's library list need not outlive the read.
        XrPtrArray<XrSymbolLibrary*> own_list;
        own_list.append(library);
        ASSERT_EQ(vs.read(*config, palette, own_list, nullptr), 0);
    }
    EXPECT_EQ(vs.get_theme(), 0);

    struct {
        int theme;
        int applied;
        int line_rgb[2];
        int polygon_brush, polygon_pen;
        XrColorHandle background, halo;
    } cases[] = {
        {1, 1, {11, 22}, 33, 22, XrGDI::rgb(70, 80, 90), XrGDI::rgb(4, 5, 6)},
        {0, 0, {10, 20}, 30, 20, XrGDI::rgb(10, 20, 30), XrGDI::rgb(212, 212, 212)},
        {7, 0, {10, 20}, 30, 20, XrGDI::rgb(10, 20, 30), XrGDI::rgb(212, 212, 212)}, // missing: theme 0
        {1, 1, {11, 22}, 33, 22, XrGDI::rgb(70, 80, 90), XrGDI::rgb(4, 5, 6)},
    };
    for (const auto& c : cases) {
        XrVisualSetting::XrThemeColors colours;
        int applied = -2;
        ASSERT_EQ(vs.read_themes(c.theme, palette, *config, &colours, applied), 0) << c.theme;
        EXPECT_STREQ(config->get_current_key(), L"\\vs");
        EXPECT_EQ(applied, c.applied) << c.theme;
        EXPECT_EQ(colours.background, c.background) << c.theme;
        EXPECT_EQ(colours.text_halo, c.halo) << c.theme;
        int r1, g1, b1, r2, g2, b2;
        short value = 0;
        ASSERT_EQ(vs.get_line_colors(1, 0, r1, g1, b1, r2, g2, b2, value), 0) << c.theme;
        EXPECT_EQ(r1, c.line_rgb[0]) << c.theme;
        EXPECT_EQ(r2, c.line_rgb[1]) << c.theme;
        EXPECT_EQ(value, 7);
        XrPenHandle outer{}, inner{};
        ASSERT_EQ(vs.get_line_info(1, 0, outer, inner, value), 0);
        EXPECT_TRUE(same_rgb(inner.color, color(c.line_rgb[1], c.line_rgb[1], c.line_rgb[1]))) << c.theme;
        XrBrushHandle brush{};
        XrPenHandle pen{};
        ASSERT_EQ(vs.get_polygon_info(1, 0, brush, pen), 0);
        EXPECT_TRUE(same_rgb(brush.color, color(c.polygon_brush, c.polygon_brush, c.polygon_brush))) << c.theme;
        EXPECT_TRUE(same_rgb(pen.color, color(c.polygon_pen, c.polygon_pen, c.polygon_pen))) << c.theme;
        // The symbols are built again from the libraries of the first read.
        ASSERT_NE(vs.get_symbol(5), nullptr) << c.theme;
    }
    EXPECT_EQ(vs.get_pen_count(), 10); // theme 1: pens 0 to 9
    // Without a place for the colours.
    int applied = -2;
    EXPECT_EQ(vs.read_themes(0, palette, *config, nullptr, applied), 0);
    EXPECT_EQ(applied, 0);
    EXPECT_EQ(vs.get_pen_count(), 3);
}

TEST_F(VisualSettingTest, Symbols)
{
    ASSERT_EQ(read(Sections().text()), 0);
    EXPECT_EQ(vs.get_symbol(6), nullptr);
    XrDrawableSymbol* symbol = vs.get_symbol(5);
    ASSERT_NE(symbol, nullptr);
    EXPECT_TRUE(symbol->get_flag());
    EXPECT_EQ(symbol->get_bbox(), XrRectangle(-4, -4, 4, 4));
    // One factor per scale index: 1.0, then 0.5.
    EXPECT_EQ(symbol->get_screen_bbox(0, 0), XrRectangle(-4, -4, 4, 4));
    EXPECT_EQ(symbol->get_screen_bbox(0, 1), XrRectangle(-2, -2, 2, 2));

    // The same id twice: the later definition replaces the earlier one.
    Sections s;
    s.symbols = "5=0,7,1,1,scales,2\n5=0,7,1,1,scales,3\n";
    ASSERT_EQ(read(s.text()), 0);
    ASSERT_NE(vs.get_symbol(5), nullptr);
}

// Sections that make the whole read fail; what came before them stays.
struct FailCase {
    const char* name;
    void (*change)(Sections&);
};

class VisualSettingFailure : public VisualSettingTest, public ::testing::WithParamInterface<FailCase> {};

TEST_P(VisualSettingFailure, ReadFails)
{
    Sections s;
    GetParam().change(s);
    EXPECT_EQ(read(s.text()), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VisualSettingFailure,
    ::testing::Values(
        FailCase{"pen_without_style", [](Sections& s) { s.pens = "1=1,2,3\n"; }},
        FailCase{"pen_index_not_a_number", [](Sections& s) { s.pens = "x=1,2,3,SOLID\n"; }},
        FailCase{"pen_index_negative", [](Sections& s) { s.pens = "-1=1,2,3,SOLID\n"; }},
        FailCase{"pen_index_huge", [](Sections& s) { s.pens = "2000000000=1,2,3,SOLID\n"; }},
        FailCase{"brush_without_style", [](Sections& s) { s.brushes = "1=1,2,3\n"; }},
        FailCase{"font_index_4", [](Sections& s) { s.fonts = "4=1,2,3\n"; }},
        FailCase{"font_index_0", [](Sections& s) { s.fonts = "0=1,2,3\n"; }},
        FailCase{"font_short_colour", [](Sections& s) { s.fonts = "1=1,2\n"; }},
        FailCase{"scale_one_number", [](Sections& s) { s.scales = "a=5\n"; }},
        FailCase{"scale_too_large", [](Sections& s) { s.scales = "a=0,4294967296\n"; }},
        FailCase{"line_pen_past_table", [](Sections& s) { s.lines = "1=4,1,1\n"; }},
        FailCase{"line_pen_negative", [](Sections& s) { s.lines = "1=-1,1,1\n"; }},
        FailCase{"line_style_id_not_a_number", [](Sections& s) { s.lines = "one=1,1,1\n"; }},
        FailCase{"polygon_brush_past_table", [](Sections& s) { s.polygons = "1=1,4\n"; }},
        FailCase{"polygon_pen_negative", [](Sections& s) { s.polygons = "1=-2,0\n"; }},
        FailCase{"text_font_past_table", [](Sections& s) { s.texts = "1=4\n"; }},
        FailCase{"text_font_negative", [](Sections& s) { s.texts = "1=-1\n"; }},
        FailCase{"symbol_library_negative", [](Sections& s) { s.symbols = "5=-1,7,scales\n"; }},
        FailCase{"symbol_library_past_end", [](Sections& s) { s.symbols = "5=1,7,scales\n"; }},
        FailCase{"symbol_code_missing", [](Sections& s) { s.symbols = "5=0,8,scales\n"; }},
        FailCase{"symbol_without_scales", [](Sections& s) { s.symbols = "5=0,7,1,1\n"; }},
        FailCase{"symbol_pen_past_table", [](Sections& s) { s.symbols = "5=0,7,4,1,scales,1\n"; }},
        FailCase{"symbol_bad_factor", [](Sections& s) { s.symbols = "5=0,7,1,1,scales,1e3\n"; }},
        FailCase{"symbols_missing", [](Sections& s) { s.with_symbols = false; }}),
    [](const ::testing::TestParamInfo<FailCase>& info) { return std::string(info.param.name); });

TEST_F(VisualSettingTest, FailedReadKeepsEarlierSections)
{
    Sections s;
    s.with_symbols = false;
    EXPECT_EQ(read(s.text()), 1);
    XrPenHandle outer, inner;
    short value;
    EXPECT_EQ(vs.get_line_info(1, 0, outer, inner, value), 0);
    EXPECT_EQ(vs.get_symbol(5), nullptr);

    // A missing "themes" key fails at once.
    EXPECT_EQ(read("REGEDIT4\n[\\vs]\n[\\vs\\scales]\na=1,2\n"), 1);
    EXPECT_EQ(vs.get_scale_count(), 0);
}

TEST_F(VisualSettingTest, ReadingAgainReplacesEverything)
{
    ASSERT_EQ(read(Sections().text()), 0);
    ASSERT_NE(vs.get_symbol(5), nullptr);
    Sections s;
    s.lines = "9=1,1,0\n";
    s.symbols = "";
    ASSERT_EQ(read(s.text()), 0);
    XrPenHandle outer, inner;
    short value;
    EXPECT_EQ(vs.get_line_info(1, 0, outer, inner, value), 1);
    EXPECT_EQ(vs.get_line_info(9, 0, outer, inner, value), 0);
    EXPECT_EQ(vs.get_symbol(5), nullptr);
}

} // namespace
