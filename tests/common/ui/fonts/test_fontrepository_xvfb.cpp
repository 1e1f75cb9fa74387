// Selecting repository fonts into a DC through the singleton registry.
#include <gtest/gtest.h>

#include "common/gdi/gdi_test_dc.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"

namespace {

TEST(FontRepositorySelectTest, SelectsTheFontOfTheContext)
{
    XR_REQUIRE_DISPLAY();
    XrFontRepositoryMaemo repository;
    repository.initialize();
    XrSingleton::set_instance(XrString(L"XrFontRepository"), static_cast<XrFontRepository*>(&repository));
    XrTestDC t;
    XrFontRepository::select_font(t.dc, 71);
    EXPECT_EQ(t.dc->font, repository.get_font(71));
    EXPECT_EQ(XrGDI::get_last_selected_font(), repository.get_font(71));
    int w30 = 0, h30 = 0, w10 = 0, h10 = 0;
    XrGDI::get_dc_text_size(t.dc, L"Text", &w30, &h30);
    XrFontRepository::select_font(t.dc, 39);
    XrGDI::get_dc_text_size(t.dc, L"Text", &w10, &h10);
    EXPECT_GT(h30, h10);
    XrGDI::deselect_font(t.dc);
    XrSingleton::set_instance(XrString(L"XrFontRepository"), nullptr);
}

} // namespace
