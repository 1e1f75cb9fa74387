// Symbol library files ("XRSF"): arbitrary bytes as a library, then every
// symbol read made drawable and its boxes taken.
#include <cstddef>
#include <cstdint>

#include "common/container/xr_bytes.h"
#include "common/storage/xr_storageaccessor.h"
#include "common/symbol/xr_drawablesymbol.h"
#include "common/symbol/xr_symbol.h"
#include "common/symbol/xr_symbollayout.h"

namespace L = xr_symbol_layout;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
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
            XrDrawableSymbol drawable(nullptr, 0, nullptr, 0, true, scales, 3, program, len);
            for (int angle : {0, 33, 90, 271})
                for (int index : {0, 1, 2, 3}) {
                    XrRectangle r = drawable.get_screen_bbox(angle, index);
                    sink = sink + static_cast<unsigned int>(r.left) + static_cast<unsigned int>(r.bottom);
                }
        }
        records.skip(length);
    }
    (void)sink;
    return 0;
}
