// Packages: gzip members or plain bytes from a file, read in varying sizes.
#include "common/update/xr_packagereader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::string path = [] {
        const char* tmp = std::getenv("TMPDIR");
        return std::string(tmp != nullptr ? tmp : "/tmp") + "/fuzz_package_reader." + std::to_string(getpid());
    }();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return 0;
    if (size > 0)
        std::fwrite(data, 1, size, f);
    std::fclose(f);

    XrPackageReader reader;
    if (!reader.open(XrString(path.c_str())))
        return 0;
    BYTE buffer[5000];
    int chunk = size > 0 ? 1 + data[0] * 19 % 4999 : 1;
    for (int total = 0; total < (1 << 24);) {
        int n = reader.read(buffer, chunk);
        if (n <= 0)
            break;
        total += n;
    }
    reader.read_byte();
    return 0;
}
