// Symbol library files ("XRSF"): arbitrary bytes as a library, then every
// symbol read made drawable, its boxes taken and drawn at several angles and
// scales through the recording drawing backend (no display needed).
#include <cstddef>
#include <cstdint>

#include "common/container/xr_bytes.h"
#include "common/gdi/recording/xr_gdi_recording.h"
#include "common/storage/xr_storageaccessor.h"
#include "common/symbol/xr_drawablesymbol.h"
#include "common/symbol/xr_symbol.h"
#include "common/symbol/xr_symbollayout.h"

namespace L = xr_symbol_layout;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static XrDCHandleRec* dc = [] {
        XrGdiRecording::instance().set_enabled(false);
        return xr_recording_dc(800, 480);
    }();
    XrMemoryStorageAccessor accessor(true, const_cast<std::uint8_t*>(data), static_cast<std::uint32_t>(size), false);
    XrSymbolLibrary library;
    library.load(&accessor);
    const double scales[] = {1.0, 0.25, 1e9};
    volatile unsigned int sink = 0;
    // The codes of the first records.
    XrByteCursor records(data, size);
    records.seek(L::HEADER_SIZE);
    while (records.has(L::RECORD_HEAD) && records.pos() < L::HEADER_SIZE + 4096) {
        const std::uint16_t code = records.u16_le();
        const std::uint16_t length = records.u16_le();
        if (const XrSymbol* symbol = library.find(code)) {
            int len = 0;
            const BYTE* program = symbol->get_data(len);
            const XrBrushHandle brushes[2] = {XrGDI::create_brush(XrGDI::BrushSolid, 1, 2, 3),
                                              XrGDI::create_brush(XrGDI::BrushHollow, 4, 5, 6)};
            const XrPenHandle pens[2] = {XrGDI::create_pen(XrGDI::PenSolid, 2, 7, 8, 9),
                                         XrGDI::create_pen(XrGDI::PenDash, 1, 10, 11, 12)};
            XrDrawableSymbol drawable(brushes, 2, pens, 2, true, scales, 3, program, len);
            for (int angle : {0, 33, 90, 271})
                for (int index : {0, 1, 2, 3}) {
                    XrRectangle r = drawable.get_screen_bbox(angle, index);
                    sink = sink + static_cast<unsigned int>(r.left) + static_cast<unsigned int>(r.bottom);
                    drawable.draw(dc, 400, 240, angle, index, nullptr);
                }
        }
        records.skip(length);
    }
    (void)sink;
    return 0;
}
