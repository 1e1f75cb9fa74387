// Bitmap index files (".def"): arbitrary bytes as index text read by a fresh
// loader, then every row that came of it looked at.
#include <cstddef>
#include <cstdint>

#include "common/bmloader/xr_bitmap_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    XrBitmapLoader::initialize(XrString("/nonexistent/pics"), XrString("maemo"));
    XrBitmapLoader::load_index_text(data, static_cast<int>(size));
    XrBitmapLoader* loader = XrBitmapLoader::get_instance();
    volatile unsigned int sink = 0;
    const unsigned int next = loader->get_next_free_id();
    for (unsigned int id = next > 64 ? next - 64 : 0; id < next; ++id) {
        if (const XrBitmapLoader::XrIconIdMap* row = loader->find_row(id))
            sink = sink + static_cast<unsigned int>(row->bitmap_file.length() + row->bitmap_number + row->masked);
    }
    (void)sink;
    XrBitmapLoader::shutdown();
    return 0;
}
