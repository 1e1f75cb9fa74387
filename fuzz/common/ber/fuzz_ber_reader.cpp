// BER items from outside: arbitrary bytes read item by item, each item's
// children walked recursively and every decoder applied.
#include <cstddef>
#include <cstdint>

#include "common/ber/xr_berreader.h"
#include "common/ber/xr_berrecord.h"
#include "common/container/xr_bytearray.h"
#include "common/container/xr_string.h"
#include "common/storage/xr_storageaccessor.h"
#include "common/types/xr_datetime.h"

namespace {

void walk(XrBerRecord* record, int depth)
{
    bool b;
    std::int32_t i;
    XrString s;
    XrDatetime t(0);
    XrByteArray bytes;
    record->get_bool(b);
    record->get_int(i);
    record->get_utf8_string(s);
    record->get_datetime(t);
    record->get_content(bytes);
    if (depth > 64)
        return;
    XrBerRecord* child = nullptr;
    while (record->read_next(&child) == XR_BER_OK) {
        walk(child, depth + 1);
        delete child;
    }
    record->rewind();
    if (record->find(XR_BER_INTEGER, &child, 1) == XR_BER_OK)
        delete child;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    XrMemoryStorageAccessor accessor(true, const_cast<BYTE*>(data), static_cast<std::uint32_t>(size), false);
    XrBerReader reader(&accessor);
    XrBerRecord* record = nullptr;
    while (reader.read_record(&record) == XrBerReader::OK) {
        walk(record, 0);
        delete record;
    }
    return 0;
}
