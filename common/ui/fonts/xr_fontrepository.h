// The fixed set of fonts of the map, its overlays and the controls, chosen by
// the font context of the place where text is drawn. Registered in the
// singleton registry under "XrFontRepository".
#pragma once

#include <cstdint>

#include "common/base/xr_singleton.h"
#include "common/gdi/xr_gdi.h"

namespace XrFntCtx {
// The place where a text is drawn (a label kind, a control, a dialog line).
typedef int FontContext;
} // namespace XrFntCtx

class XrFontRepository : public XrSingleton {
public:
    XrFontRepository() = default;
    ~XrFontRepository() override = default;
    XrFontRepository(const XrFontRepository&) = delete;
    XrFontRepository& operator=(const XrFontRepository&) = delete;

    // Creates the fonts; must run before the first get_font.
    virtual void initialize() { m_initialized = 1; }
    // The font of a context; owned by the repository.
    virtual XrFontHandleRec* get_font(XrFntCtx::FontContext context) = 0;

    bool is_initialized() const { return m_initialized != 0; }

    // Selects the font of the context of the registered repository into dc.
    static void select_font(XrDCHandleRec* dc, XrFntCtx::FontContext context);

private:
    std::uint8_t m_initialized = 0;
};
