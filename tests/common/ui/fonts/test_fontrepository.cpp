// The font repository: eight fonts and the map from font contexts to them.
#include <gtest/gtest.h>

#include <glib.h>

#include <vector>

#include "common/ui/fonts/xr_fontrepository_maemo.h"

namespace {

TEST(FontRepositoryTest, MakesTheEightFonts)
{
    XrFontRepositoryMaemo repository;
    EXPECT_FALSE(repository.is_initialized());
    repository.initialize();
    EXPECT_TRUE(repository.is_initialized());
    const struct {
        XrFntCtx::FontContext context;
        int size;
        PangoWeight weight;
    } fonts[] = {{39, 10, PANGO_WEIGHT_NORMAL}, {0, 13, PANGO_WEIGHT_NORMAL}, {31, 14, PANGO_WEIGHT_BOLD},
                 {36, 15, PANGO_WEIGHT_BOLD},   {16, 18, PANGO_WEIGHT_BOLD},   {41, 22, PANGO_WEIGHT_BOLD},
                 {47, 26, PANGO_WEIGHT_BOLD},   {71, 30, PANGO_WEIGHT_BOLD}};
    for (const auto& f : fonts) {
        XrFontHandleRec* font = repository.get_font(f.context);
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(XrGDI::get_font_size(font), f.size) << f.context;
        EXPECT_EQ(pango_font_description_get_weight(font->desc), f.weight) << f.context;
        EXPECT_EQ(pango_font_description_get_style(font->desc), PANGO_STYLE_NORMAL);
        EXPECT_STREQ(pango_font_description_get_family(font->desc), "Arial");
    }
    // A second initialisation keeps the fonts.
    XrFontHandleRec* before = repository.get_font(0);
    repository.initialize();
    EXPECT_EQ(repository.get_font(0), before);
}

TEST(FontRepositoryTest, ContextTable)
{
    using F = XrFontRepositoryMaemo;
    const struct {
        F::Font font;
        std::vector<int> contexts;
    } table[] = {
        {F::F18B, {16, 17, 46, 49, 50, 68, 80, 81, 83, 90}},
        {F::F14B, {31, 33, 35, 48, 51, 65, 84}},
        {F::F15B, {36, 37}},
        {F::F10, {39, 53, 70, 74}},
        {F::F22B, {41, 44, 45, 64, 75, 76, 78}},
        {F::F26B, {47}},
        {F::F30B, {71}},
        {F::F13, {38, 1000, 0, -1, 15, 18, 32, 40, 66, 91}},
    };
    XrFontRepositoryMaemo repository;
    repository.initialize();
    for (const auto& row : table) {
        for (int context : row.contexts) {
            EXPECT_EQ(F::font_of_context(context), row.font) << context;
            EXPECT_EQ(repository.get_font(context), repository.get_font(row.contexts[0])) << context;
        }
    }
    EXPECT_NE(repository.get_font(16), repository.get_font(31));
}

TEST(FontRepositoryDeathTest, FontBeforeInitialize)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    XrFontRepositoryMaemo repository;
    EXPECT_DEATH(repository.get_font(16), "is_initialized\\(\\)");
}

TEST(FontRepositoryTest, SleepMs)
{
    const gint64 start = g_get_monotonic_time();
    sleep_ms(0);
    sleep_ms(-5);
    EXPECT_LT(g_get_monotonic_time() - start, 5000);
    sleep_ms(15);
    EXPECT_GE(g_get_monotonic_time() - start, 15000);
}

} // namespace
