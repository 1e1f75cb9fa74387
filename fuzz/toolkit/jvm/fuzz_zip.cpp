// ZIP archive reader on arbitrary bytes: open, walk and extract every member.
#include "toolkit/jvm/kojvm_zip.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {
struct Input {
    const std::uint8_t* data;
    std::size_t size;
};
bool read(void* ctx, std::uint64_t off, void* buf, std::size_t n)
{
    Input* in = static_cast<Input*>(ctx);
    if (off > in->size || n > in->size - off)
        return false;
    std::memcpy(buf, in->data + off, n);
    return true;
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Input in{data, size};
    KoZip* z = ko_zip_open(read, &in, size);
    if (!z)
        return 0;
    KoZipEntry e;
    int n = 0;
    for (int r = ko_zip_first(z, &e); r == KO_ZIP_OK && n < 64; r = ko_zip_next(z, &e), ++n) {
        if (e.size > (1u << 20))
            continue;
        std::vector<std::uint8_t> buf(e.size + 1);
        ko_zip_extract(z, buf.data(), e.size);
    }
    ko_zip_close(z);
    return 0;
}
