// The font repository of this platform: eight "Arial" fonts.
#pragma once

#include "common/ui/fonts/xr_fontrepository.h"

class XrFontRepositoryMaemo : public XrFontRepository {
public:
    enum Font { F10 = 0, F13, F14B, F15B, F18B, F22B, F26B, F30B, FontCount };

    XrFontRepositoryMaemo() = default;
    ~XrFontRepositoryMaemo() override;

    void initialize() override;
    XrFontHandleRec* get_font(XrFntCtx::FontContext context) override;

    // The font that a context maps to.
    static Font font_of_context(XrFntCtx::FontContext context);

private:
    XrFontHandleRec* m_fonts[FontCount] = {};
};

// Sleeps ms milliseconds.
void sleep_ms(int ms);
