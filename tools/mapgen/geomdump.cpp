// geomdump: lists the records of a geometry file ("XRQT") or of a heap
// geometry storage ("XRHS") in the record-list form that mapgen reads.
//   geomdump <file> [<left> <top> <right> <bottom>]
// With a rectangle only the records that meet it are listed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

#include "common/db/xr_heapgeomstorage.h"
#include "common/storage/xr_heapstorage.h"
#include "common/storage/xr_heapstoragelayout.h"
#include "common/storage/xr_storageaccessor.h"
#include "tools/mapgen/geom_text.h"

namespace {

int usage()
{
    std::fprintf(stderr, "usage: geomdump <file> [<left> <top> <right> <bottom>]\n");
    return 2;
}

std::unique_ptr<XrStoredGeomStorage> open_storage(const char* path, std::string& error)
{
    auto accessor = std::make_unique<XrFileStorageAccessor>();
    XrStorageBytes magic;
    if (!accessor->open(XrString(path), true) || !magic.read(accessor.get(), 0, xr_heap_layout::MAGIC_SIZE)) {
        error = "cannot read the file";
        return nullptr;
    }
    const bool heap = std::memcmp(magic.get(), xr_heap_layout::MAGIC, xr_heap_layout::MAGIC_SIZE) == 0;
    magic.reset();
    if (!heap) {
        auto s = std::make_unique<XrSimpleGeomStorage>(accessor.release(), false, false, nullptr);
        if (s->open() == XrStoredGeomStorage::OPENED)
            return s;
        error = "not a geometry file";
        return nullptr;
    }
    auto* h = new XrHeapStorage(0);
    h->set_storage_accessor(accessor.release());
    auto s = std::make_unique<XrHeapGeomStorage>(h, false, false);
    if (h->open(false) == XrHeapStorage::OK && s->open() == XrStoredGeomStorage::OPENED)
        return s;
    error = "not a heap geometry storage";
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 6)
        return usage();
    XrRectangle rect;
    if (argc == 6) {
        int* fields[] = {&rect.left, &rect.top, &rect.right, &rect.bottom};
        for (int i = 0; i < 4; ++i) {
            char* end = nullptr;
            long v = std::strtol(argv[2 + i], &end, 0);
            if (*end != 0 || v < -2147483647L - 1 || v > 2147483647L)
                return usage();
            *fields[i] = static_cast<int>(v);
        }
    }
    std::string error;
    std::unique_ptr<XrStoredGeomStorage> storage = open_storage(argv[1], error);
    if (storage == nullptr || !xr_dump_geom_storage(*storage, argc == 6 ? &rect : nullptr, std::cout, error)) {
        std::fprintf(stderr, "geomdump: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    return 0;
}
