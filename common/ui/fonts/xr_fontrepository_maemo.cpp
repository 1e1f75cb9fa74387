#include "common/ui/fonts/xr_fontrepository_maemo.h"

#include <unistd.h>

namespace {

struct XrFontSpec {
    int size;
    int weight;
};

// In the order of XrFontRepositoryMaemo::Font.
const XrFontSpec font_specs[XrFontRepositoryMaemo::FontCount] = {
    {10, 0}, {13, 0}, {14, 1}, {15, 1}, {18, 1}, {22, 1}, {26, 1}, {30, 1},
};

} // namespace

void XrFontRepository::select_font(XrDCHandleRec* dc, XrFntCtx::FontContext context)
{
    auto* repository = static_cast<XrFontRepository*>(XrSingleton::get_instance(XrString(L"XrFontRepository")));
    XR_ASSERT(repository);
    XrGDI::select_font(dc, repository->get_font(context));
}

XrFontRepositoryMaemo::~XrFontRepositoryMaemo()
{
    for (XrFontHandleRec*& font : m_fonts) {
        XrGDI::delete_font(font);
        font = nullptr;
    }
}

void XrFontRepositoryMaemo::initialize()
{
    // A second call keeps the fonts made by the first.
    if (is_initialized())
        return;
    XrFontRepository::initialize();
    for (int i = 0; i < FontCount; ++i)
        m_fonts[i] = XrGDI::create_font(L"Arial", font_specs[i].size, font_specs[i].weight, false);
}

XrFontRepositoryMaemo::Font XrFontRepositoryMaemo::font_of_context(XrFntCtx::FontContext context)
{
    switch (context) {
    case 16: case 17: case 46: case 49: case 50: case 68: case 80: case 81: case 83: case 90:
        return F18B;
    case 31: case 33: case 35: case 48: case 51: case 65: case 84:
        return F14B;
    case 36: case 37:
        return F15B;
    case 39: case 53: case 70: case 74:
        return F10;
    case 41: case 44: case 45: case 64: case 75: case 76: case 78:
        return F22B;
    case 47:
        return F26B;
    case 71:
        return F30B;
    default:
        return F13;
    }
}

XrFontHandleRec* XrFontRepositoryMaemo::get_font(XrFntCtx::FontContext context)
{
    XR_ASSERT(is_initialized());
    return m_fonts[font_of_context(context)];
}

void sleep_ms(int ms)
{
    if (ms > 0)
        usleep(static_cast<useconds_t>(ms) * 1000);
}
