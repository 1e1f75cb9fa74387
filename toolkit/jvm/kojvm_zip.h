// ZIP archive reader (".jar" and ".zip" members, stored or deflated).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kojvm_zip {
const std::uint32_t kEndSignature = 0x06054b50;
const std::uint32_t kCentralSignature = 0x02014b50;
const std::uint32_t kLocalSignature = 0x04034b50;
const std::size_t kEndSize = 22;
const std::size_t kCentralSize = 46;
const std::size_t kLocalSize = 30;
const std::size_t kWindow = 4096;
// End record fields
const std::size_t kEndDiskEntries = 8, kEndTotalEntries = 10, kEndDirSize = 12, kEndDirOffset = 16, kEndCommentLength = 20;
// Central header fields
const std::size_t kCenFlags = 8, kCenMethod = 10, kCenCrc = 16, kCenCompressed = 20, kCenSize = 24, kCenNameLength = 28,
                  kCenExtraLength = 30, kCenCommentLength = 32, kCenLocalOffset = 42;
// Local header fields
const std::size_t kLocNameLength = 26, kLocExtraLength = 28;
const int kStored = 0, kDeflated = 8;
// Largest member the reader extracts (class files and resources).
const std::uint32_t kMaxMemberSize = 16u << 20;
} // namespace kojvm_zip

enum {
    KO_ZIP_OK = 0,
    KO_ZIP_END = 1,
    KO_ZIP_NO_MEMORY = 2,
    KO_ZIP_READ_ERROR = 3,
    KO_ZIP_MALFORMED = 4,
    KO_ZIP_NO_ENTRY = 5,
    KO_ZIP_UNSUPPORTED = 6,
    KO_ZIP_DATA_ERROR = 7,
};

typedef bool (*KoZipRead)(void* context, std::uint64_t offset, void* buffer, std::size_t length);

struct KoZipEntry {
    std::uint16_t flags;
    std::uint16_t method;
    std::uint32_t crc;
    std::uint32_t compressed_size;
    std::uint32_t size;
    const char* name;
    const char* comment;
};

struct KoZip;

KoZip* ko_zip_open(KoZipRead read, void* context, std::uint64_t archive_size);
int ko_zip_first(KoZip* zip, KoZipEntry* entry);
int ko_zip_next(KoZip* zip, KoZipEntry* entry);
int ko_zip_find(KoZip* zip, const char* name, KoZipEntry* entry);
int ko_zip_extract(KoZip* zip, void* buffer, std::size_t capacity);
void ko_zip_close(KoZip* zip);

// Class-path search over ':'-separated folders and archives.
struct KoJvmClassPath;
typedef void (*KoJvmLoaderCompletion)(unsigned char* bytes, std::size_t length, int flags, void* data);
void ko_jvm_class_path_load(const char* path, std::size_t length, KoJvmLoaderCompletion completion, void* data,
                            void* class_path);
void ko_jvm_class_path_load_verbose(const char* path, std::size_t length, KoJvmLoaderCompletion completion, void* data,
                                    void* class_path);
