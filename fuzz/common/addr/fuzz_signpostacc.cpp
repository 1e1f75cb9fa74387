// The signpost reader on arbitrary bytes: the colour schemes, then the paths
// and instructions of gids taken from every position of the input (so that
// the keys a bucket holds are among them).
#include <cstdint>
#include <cstring>

#include "common/addr/xr_signpostacc.h"
#include "common/container/xr_bytes.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

void read_gid(XrSignpostAccessor& acc, XrGid gid, XrLC language)
{
    XrArray<XrGid> path;
    XrPtrArray<XrSignpostAccessor::XrInstruction*> list;
    bool more = acc.get_first_path(gid, path);
    for (int n = 0; more && n < 1000; ++n) {
        acc.get_instructions(list, language);
        more = acc.get_next_path(path);
    }
    acc.get_instructions(list, language);
    for (int i = 0; i < list.get_num_items(); ++i)
        delete list.get_item(i);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    BYTE* copy = new BYTE[size + 1];
    if (size != 0)
        std::memcpy(copy, data, size);
    XrSignpostAccessor acc;
    if (!acc.open(new XrMemoryStorageAccessor(true, copy, static_cast<std::uint32_t>(size), true)))
        return 0;
    BYTE c[9];
    XrSignpostAccessor::Shape shape;
    for (int i = 0; i <= XrSignpostAccessor::NUM_SP_COLORS + 1; ++i)
        acc.get_sp_colors(i, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], shape);

    const XrLC languages[] = {0, 0x676e65 /* eng */, 0x617261 /* ara */};
    for (size_t at = 0; at + 4 <= size && at < 4096; ++at) {
        read_gid(acc, xr_bytes::get_u32_le(data + at), languages[at % 3]);
    }
    return 0;
}
