#include "toolkit/jvm/kojvm_zip.h"

#include "common/container/xr_bytes.h"
#include "lib/io/kofs.h"
#include "lib/rt/kolib.h"

#include <cstdio>
#include <cstring>
#include <zlib.h>

using namespace kojvm_zip;

struct KoZip {
    KoZipRead read;
    void* context;
    std::uint64_t size;
    std::uint64_t dir_offset;
    std::uint64_t dir_end;
    std::uint32_t next_index;
    std::uint64_t next_offset;
    std::uint64_t local_offset;
    std::uint32_t count;
    bool have_entry;
    KoZipEntry entry;
    char* name;
    char* comment;
    unsigned char buffer[kWindow];
};

KoZip* ko_zip_open(KoZipRead read, void* context, std::uint64_t size)
{
    if (size < kEndSize)
        return nullptr;
    KoZip* z = static_cast<KoZip*>(ko_calloc(1, sizeof(KoZip)));
    if (!z)
        return nullptr;
    z->read = read;
    z->context = context;
    z->size = size;
    std::uint64_t end = size;
    for (;;) {
        std::uint64_t start = end > kWindow ? end - kWindow : 0;
        std::size_t n = static_cast<std::size_t>(end - start);
        if (n < kEndSize || !read(context, start, z->buffer, n))
            break;
        for (std::size_t i = n - kEndSize + 1; i-- > 0;) {
            XrByteCursor c(z->buffer + i, n - i);
            if (c.u32_le() != kEndSignature)
                continue;
            std::uint64_t p = start + i;
            std::uint16_t disk = c.u16_le_at(kEndDiskEntries), total = c.u16_le_at(kEndTotalEntries);
            std::uint32_t dsize = c.u32_le_at(kEndDirSize), doff = c.u32_le_at(kEndDirOffset);
            std::uint16_t clen = c.u16_le_at(kEndCommentLength);
            if (!c.ok() || p + kEndSize + clen != size || disk != total || std::uint64_t(doff) + dsize > p)
                continue;
            if (total) {
                unsigned char sig[4];
                if (!read(context, doff, sig, 4) || xr_bytes::get_u32_le(sig) != kCentralSignature)
                    continue;
            }
            z->dir_offset = doff;
            z->dir_end = std::uint64_t(doff) + dsize;
            z->count = total;
            return z;
        }
        if (start == 0)
            break;
        end = start + 20; // overlap so a record across the edge is seen
    }
    ko_free(z);
    return nullptr;
}

namespace {
int read_entry(KoZip* z, KoZipEntry* out)
{
    ko_free(z->name);
    ko_free(z->comment);
    z->name = z->comment = nullptr;
    z->have_entry = false;
    if (z->next_index >= z->count)
        return KO_ZIP_END;
    if (z->next_offset + kCentralSize > z->dir_end)
        return KO_ZIP_MALFORMED;
    if (!z->read(z->context, z->next_offset, z->buffer, kCentralSize))
        return KO_ZIP_READ_ERROR;
    XrByteCursor c(z->buffer, kCentralSize);
    if (c.u32_le() != kCentralSignature)
        return KO_ZIP_MALFORMED;
    KoZipEntry& e = z->entry;
    e.flags = c.u16_le_at(kCenFlags);
    e.method = c.u16_le_at(kCenMethod);
    e.crc = c.u32_le_at(kCenCrc);
    e.compressed_size = c.u32_le_at(kCenCompressed);
    e.size = c.u32_le_at(kCenSize);
    std::uint16_t nlen = c.u16_le_at(kCenNameLength), xlen = c.u16_le_at(kCenExtraLength),
                  clen = c.u16_le_at(kCenCommentLength);
    z->local_offset = c.u32_le_at(kCenLocalOffset);
    std::uint64_t at = z->next_offset + kCentralSize;
    if (at + nlen + xlen + clen > z->dir_end)
        return KO_ZIP_MALFORMED;
    z->name = static_cast<char*>(ko_malloc(nlen + 1u));
    z->comment = static_cast<char*>(ko_malloc(clen + 1u));
    if (!z->name || !z->comment)
        return KO_ZIP_NO_MEMORY;
    if (!z->read(z->context, at, z->name, nlen) || !z->read(z->context, at + nlen + xlen, z->comment, clen))
        return KO_ZIP_READ_ERROR;
    z->name[nlen] = 0;
    z->comment[clen] = 0;
    e.name = z->name;
    e.comment = z->comment;
    z->next_offset = at + nlen + xlen + clen;
    ++z->next_index;
    z->have_entry = true;
    if (out)
        *out = e;
    return KO_ZIP_OK;
}
}

int ko_zip_first(KoZip* z, KoZipEntry* out)
{
    z->next_index = 0;
    z->next_offset = z->dir_offset;
    return read_entry(z, out);
}
int ko_zip_next(KoZip* z, KoZipEntry* out) { return read_entry(z, out); }

int ko_zip_find(KoZip* z, const char* name, KoZipEntry* out)
{
    for (int r = ko_zip_first(z, out); ; r = ko_zip_next(z, out)) {
        if (r != KO_ZIP_OK)
            return r;
        if (std::strcmp(z->name, name) == 0)
            return KO_ZIP_OK;
    }
}

int ko_zip_extract(KoZip* z, void* buffer, std::size_t capacity)
{
    if (!z->have_entry)
        return KO_ZIP_NO_ENTRY;
    const KoZipEntry& e = z->entry;
    if (capacity < e.size || e.size > kMaxMemberSize)
        return KO_ZIP_DATA_ERROR;
    if (z->local_offset + kLocalSize > z->size || !z->read(z->context, z->local_offset, z->buffer, kLocalSize))
        return KO_ZIP_MALFORMED;
    XrByteCursor c(z->buffer, kLocalSize);
    if (c.u32_le() != kLocalSignature)
        return KO_ZIP_MALFORMED;
    std::uint64_t data = z->local_offset + kLocalSize + c.u16_le_at(kLocNameLength) + c.u16_le_at(kLocExtraLength);
    if (data > z->size || std::uint64_t(e.compressed_size) > z->size - data)
        return KO_ZIP_MALFORMED;
    unsigned char* out = static_cast<unsigned char*>(buffer);
    if (e.method == kStored) {
        if (e.compressed_size != e.size)
            return KO_ZIP_MALFORMED;
        if (!z->read(z->context, data, out, e.size))
            return KO_ZIP_READ_ERROR;
    } else if (e.method == kDeflated) {
        z_stream s;
        std::memset(&s, 0, sizeof s);
        if (inflateInit2(&s, -15) != Z_OK)
            return KO_ZIP_NO_MEMORY;
        s.next_out = out;
        s.avail_out = e.size;
        std::uint32_t left = e.compressed_size;
        std::uint64_t at = data;
        int zr = Z_OK;
        unsigned char in[1024];
        while (zr == Z_OK) {
            if (s.avail_in == 0) {
                if (left == 0)
                    break;
                std::uint32_t n = left < sizeof in ? left : std::uint32_t(sizeof in);
                if (!z->read(z->context, at, in, n)) {
                    inflateEnd(&s);
                    return KO_ZIP_READ_ERROR;
                }
                at += n;
                left -= n;
                s.next_in = in;
                s.avail_in = n;
            }
            zr = inflate(&s, Z_NO_FLUSH);
        }
        uLong produced = s.total_out;
        inflateEnd(&s);
        if (zr == Z_MEM_ERROR)
            return KO_ZIP_NO_MEMORY;
        if (zr == Z_BUF_ERROR)
            return KO_ZIP_DATA_ERROR;
        if (zr != Z_STREAM_END || produced != e.size)
            return zr == Z_OK ? KO_ZIP_DATA_ERROR : KO_ZIP_MALFORMED;
    } else {
        return KO_ZIP_UNSUPPORTED;
    }
    if (crc32(0L, out, e.size) != e.crc)
        return KO_ZIP_DATA_ERROR;
    return KO_ZIP_OK;
}

void ko_zip_close(KoZip* z)
{
    if (!z)
        return;
    ko_free(z->name);
    ko_free(z->comment);
    ko_free(z);
}

// ---- Class path -----------------------------------------------------------------

namespace {
bool file_read(void* ctx, std::uint64_t off, void* buf, std::size_t n)
{
    FILE* f = static_cast<FILE*>(ctx);
    if (std::fseek(f, static_cast<long>(off), SEEK_SET) != 0)
        return false;
    return std::fread(buf, 1, n, f) == n;
}

bool is_archive(const char* e, std::size_t n)
{
    if (n <= 4)
        return false;
    const char* x = e + n - 4;
    return !std::memcmp(x, ".zip", 4) || !std::memcmp(x, ".ZIP", 4) || !std::memcmp(x, ".jar", 4) || !std::memcmp(x, ".JAR", 4);
}

void search(const char* path, std::size_t length, KoJvmLoaderCompletion completion, void* data, const char* cp, bool verbose)
{
    (void)length;
    if (verbose)
        std::printf("Loading class `%s'...\n", path);
    if (!cp || !*cp) {
        if (verbose)
            std::printf("Class not found\n");
        completion(nullptr, 0, 0, data);
        return;
    }
    for (const char* e = cp; *e;) {
        const char* end = std::strchr(e, ':');
        std::size_t n = end ? std::size_t(end - e) : std::strlen(e);
        if (verbose)
            std::printf("  %.*s => ", int(n), e);
        char* elem = ko_strndup(e, n);
        e += n + (end ? 1 : 0);
        if (!elem)
            break;
        if (is_archive(elem, n)) {
            KoStat st;
            FILE* f = ko_stat(elem, &st) == 0 ? std::fopen(elem, "rb") : nullptr;
            ko_free(elem);
            if (!f) {
                if (verbose)
                    std::printf("not found\n");
                continue;
            }
            KoZip* z = ko_zip_open(file_read, f, std::uint64_t(st.size));
            KoZipEntry entry;
            if (z && ko_zip_find(z, path, &entry) == KO_ZIP_OK) {
                if (entry.size > kMaxMemberSize) {
                    ko_zip_close(z);
                    std::fclose(f);
                    continue;
                }
                unsigned char* bytes = static_cast<unsigned char*>(ko_malloc(entry.size ? entry.size : 1));
                if (!bytes) {
                    if (verbose)
                        std::printf("out of memory\n");
                    ko_zip_close(z);
                    std::fclose(f);
                    completion(nullptr, 0, 0, data);
                    return;
                }
                int r = ko_zip_extract(z, bytes, entry.size);
                ko_zip_close(z);
                std::fclose(f);
                if (r == KO_ZIP_OK) {
                    if (verbose)
                        std::printf("success\n");
                    completion(bytes, entry.size, 0, data);
                    return;
                }
                ko_free(bytes);
                if (r == KO_ZIP_NO_MEMORY) {
                    if (verbose)
                        std::printf("out of memory\n");
                    completion(nullptr, 0, 0, data);
                    return;
                }
                continue;
            }
            ko_zip_close(z);
            std::fclose(f);
            if (verbose)
                std::printf("not found\n");
            continue;
        }
        KoBuffer name;
        ko_buffer_init(&name);
        bool ok = ko_buffer_append(&name, elem, n) && ko_buffer_append(&name, "/", 1) &&
                  ko_buffer_append(&name, path, 0) && ko_buffer_append(&name, "", 1);
        ko_free(elem);
        FILE* f = ok ? std::fopen(reinterpret_cast<char*>(name.data), "rb") : nullptr;
        ko_buffer_release(&name);
        if (!f) {
            if (verbose)
                std::printf("not found\n");
            continue;
        }
        KoBuffer bytes;
        ko_buffer_init(&bytes);
        for (;;) {
            unsigned char* p = ko_buffer_reserve(&bytes, 1024);
            if (!p) {
                std::fclose(f);
                ko_buffer_release(&bytes);
                if (verbose)
                    std::printf("out of memory\n");
                completion(nullptr, 0, 0, data);
                return;
            }
            std::size_t got = std::fread(p, 1, 1024, f);
            ko_buffer_drop(&bytes, 1024 - got);
            if (got < 1024)
                break;
        }
        std::fclose(f);
        if (verbose)
            std::printf("success\n");
        completion(bytes.data, bytes.length, 0, data);
        return;
    }
    if (verbose)
        std::printf("Class not found\n");
    completion(nullptr, 0, 0, data);
}
}

void ko_jvm_class_path_load(const char* path, std::size_t length, KoJvmLoaderCompletion completion, void* data, void* cp)
{
    search(path, length, completion, data, static_cast<const char*>(cp), false);
}
void ko_jvm_class_path_load_verbose(const char* path, std::size_t length, KoJvmLoaderCompletion completion, void* data,
                                    void* cp)
{
    search(path, length, completion, data, static_cast<const char*>(cp), true);
}
