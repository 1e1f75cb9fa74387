#include "common/update/xr_updatefiles.h"

#include "common/misc/xr_md5.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_file.h"
#include "common/storage/xr_gdiff.h"
#include "common/storage/xr_storageaccessor.h"
#include "common/update/xr_packagereader.h"
#include "common/misc/xr_textutil.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <new>
#include <string>

namespace {

constexpr std::uint32_t piece_size = 65536;

bool is_separator(TCHAR c)
{
    return c == L'/' || c == L'\\';
}

// Ends a build: the temporary file is checked, synced and renamed over
// destination; on any failure it is removed and destination stays as it was.
XrUpdateFileResult finish(XrFile& temp, const XrString& temp_path, const XrString& destination,
                          XrUpdateFileResult so_far, std::uint64_t written, std::uint32_t size, XrMD5Context& md5,
                          const XrString& expected, bool verify)
{
    XrUpdateFileResult result = so_far;
    BYTE digest[16];
    md5_final(md5, digest);
    if (result == XrUpdateFileResult::ok && verify && written != size)
        result = XrUpdateFileResult::size_mismatch;
    if (result == XrUpdateFileResult::ok && verify && !xr_update_digest_matches(expected, digest))
        result = XrUpdateFileResult::digest_mismatch;
    if (result == XrUpdateFileResult::ok && !temp.flush())
        result = XrUpdateFileResult::write_failed;
    temp.close();
    if (result == XrUpdateFileResult::ok) {
        if (rename_file(temp_path, destination))
            sync_folder_of(destination);
        else
            result = XrUpdateFileResult::rename_failed;
    }
    if (result != XrUpdateFileResult::ok)
        delete_file(temp_path);
    return result;
}

bool open_temp(XrFile& temp, const XrString& temp_path)
{
    delete_file(temp_path); // left by a build that was cut off
    return make_directories(temp_path) && temp.create(temp_path, true) == XrFile::OK &&
           temp.resize(0) == XrFile::OK;
}

struct DiffSink {
    XrMD5Context* md5;
    std::uint64_t written;
};

void diff_progress(const BYTE* bytes, std::uint32_t length, void* user)
{
    auto* sink = static_cast<DiffSink*>(user);
    md5_update(*sink->md5, bytes, length);
    sink->written += length;
}

} // namespace

bool xr_update_name_is_safe(const XrString& name, bool allow_empty)
{
    const int n = name.length();
    if (n == 0)
        return allow_empty;
    if (is_separator(name.char_at(0)) || (n >= 2 && name.char_at(1) == L':'))
        return false;
    int part_start = 0;
    for (int i = 0; i <= n; ++i) {
        const TCHAR c = i < n ? name.char_at(i) : L'/';
        if (c < 32 || c == 127)
            return false;
        if (!is_separator(c))
            continue;
        const int len = i - part_start;
        // An empty part is allowed only as the trailing separator of a folder.
        if (len == 0 && i < n)
            return false;
        if (len == 1 && name.char_at(part_start) == L'.')
            return false;
        if (len == 2 && name.char_at(part_start) == L'.' && name.char_at(part_start + 1) == L'.')
            return false;
        part_start = i + 1;
    }
    return true;
}

bool xr_update_join(const XrString& base, const XrString& folder, const XrString& name, XrString& out)
{
    if (!xr_update_name_is_safe(folder, true) || !xr_update_name_is_safe(name))
        return false;
    XrString path = base;
    if (path.length() > 0 && !is_separator(path.char_at(path.length() - 1)))
        path += L"/";
    if (folder.length() > 0) {
        path += folder.c_str();
        if (!is_separator(folder.char_at(folder.length() - 1)))
            path += L"/";
    }
    path += name.c_str();
    out = path;
    return true;
}

bool xr_update_digest_matches(const XrString& expected, const BYTE digest[16])
{
    if (expected.length() != 32)
        return false;
    for (int i = 0; i < 16; ++i) {
        const int hi = hex_value(expected.char_at(2 * i)), lo = hex_value(expected.char_at(2 * i + 1));
        if (hi < 0 || lo < 0 || ((hi << 4) | lo) != digest[i])
            return false;
    }
    return true;
}

const char* xr_update_file_result_text(XrUpdateFileResult result)
{
    switch (result) {
    case XrUpdateFileResult::ok:
        return "";
    case XrUpdateFileResult::no_source:
        return "Failed to open downloaded file `%s'.";
    case XrUpdateFileResult::bad_source:
        return "Failed to install compressed file `%s'";
    case XrUpdateFileResult::write_failed:
        return "Failed to install file `%s'";
    case XrUpdateFileResult::size_mismatch:
        return "Size mismatch for file `%s'.";
    case XrUpdateFileResult::digest_mismatch:
        return "Digest check failed for file `%s'.";
    case XrUpdateFileResult::rename_failed:
        return "Failed to install file `%s'";
    }
    return "";
}

XrString xr_update_temp_path(const XrString& destination)
{
    return destination + XrString(".xrnew");
}

XrUpdateFileResult xr_update_install_file(const XrString& source, bool compressed, const XrString& destination,
                                          std::uint32_t size, const XrString& md5_text, bool verify)
{
    XrFile input;
    XrPackageReader unpacker;
    if (compressed ? !unpacker.open(source) : input.open_existing(source, true) != XrFile::OK)
        return XrUpdateFileResult::no_source;
    const XrString temp_path = xr_update_temp_path(destination);
    XrFile temp;
    if (!open_temp(temp, temp_path))
        return XrUpdateFileResult::write_failed;
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[piece_size]);
    XrMD5Context md5;
    md5_init(md5);
    std::uint64_t written = 0;
    XrUpdateFileResult result = buffer ? XrUpdateFileResult::ok : XrUpdateFileResult::write_failed;
    while (result == XrUpdateFileResult::ok) {
        std::uint32_t n = 0;
        if (compressed) {
            const int got = unpacker.read(buffer.get(), static_cast<int>(piece_size));
            if (got < 0) {
                result = XrUpdateFileResult::bad_source;
                break;
            }
            n = static_cast<std::uint32_t>(got);
        } else {
            const std::uint64_t left = input.get_size() - written;
            n = static_cast<std::uint32_t>(left < piece_size ? left : piece_size);
            if (n > 0 && input.read(static_cast<std::uint32_t>(written), n, buffer.get()) != XrFile::OK) {
                result = XrUpdateFileResult::no_source;
                break;
            }
        }
        if (n == 0)
            break;
        // Data beyond the announced size is refused before it is written:
        // an endless unpacking cannot fill the card.
        if (verify && written + n > size) {
            result = XrUpdateFileResult::size_mismatch;
            break;
        }
        if (temp.resize(static_cast<std::uint32_t>(written + n)) != XrFile::OK ||
            temp.write(static_cast<std::uint32_t>(written), n, buffer.get()) != XrFile::OK) {
            result = XrUpdateFileResult::write_failed;
            break;
        }
        md5_update(md5, buffer.get(), n);
        written += n;
    }
    input.close();
    unpacker.close();
    return finish(temp, temp_path, destination, result, written, size, md5, md5_text, verify);
}

XrUpdateFileResult xr_update_apply_difference(const XrString& installed, const XrString& difference,
                                              const XrString& output, std::uint32_t size, const XrString& md5_text)
{
    std::unique_ptr<XrStorageAccessor> old_data(open_storage_accessor(installed, true));
    std::unique_ptr<XrStorageAccessor> diff(open_storage_accessor(difference, true));
    if (old_data == nullptr || diff == nullptr)
        return XrUpdateFileResult::no_source;
    const XrString temp_path = xr_update_temp_path(output);
    delete_file(temp_path);
    if (!make_directories(temp_path))
        return XrUpdateFileResult::write_failed;
    std::unique_ptr<XrStorageAccessor> out(create_storage_accessor(temp_path));
    if (out == nullptr)
        return XrUpdateFileResult::write_failed;
    XrMD5Context md5;
    md5_init(md5);
    DiffSink sink{&md5, 0};
    XrUpdateFileResult result = XrUpdateFileResult::ok;
    if (!apply_gdiff(old_data.get(), diff.get(), out.get(), false, diff_progress, &sink))
        result = XrUpdateFileResult::bad_source;
    else if (sink.written > size)
        result = XrUpdateFileResult::size_mismatch; // wrote past its target
    out.reset();
    XrFile temp;
    if (result == XrUpdateFileResult::ok && temp.open_existing(temp_path, false) != XrFile::OK)
        result = XrUpdateFileResult::write_failed;
    return finish(temp, temp_path, output, result, sink.written, size, md5, md5_text, true);
}

namespace {

std::string native(const XrString& path)
{
    return std::string(wide_to_narrow_static(path.c_str()));
}

std::string trimmed(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool sync_directory(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

XrString xr_update_staging_path(const XrString& folder)
{
    const std::filesystem::path p(trimmed(native(folder)));
    return XrString((p.parent_path() / ("." + p.filename().string() + ".staging")).c_str());
}

bool xr_update_stage_folder(const XrString& folder, const XrString& staging)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path from(trimmed(native(folder))), to(trimmed(native(staging)));
    fs::remove_all(to, ec);
    if (ec)
        return false;
    fs::create_directories(to, ec);
    if (ec)
        return false;
    if (!fs::is_directory(from, ec))
        return true;
    for (auto it = fs::recursive_directory_iterator(from, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::path target = to / fs::relative(it->path(), from, ec);
        if (ec)
            return false;
        if (it->is_directory(ec)) {
            fs::create_directories(target, ec);
        } else if (::link(it->path().c_str(), target.c_str()) != 0) {
            // Files are replaced by renames, never written in place: a link
            // shares nothing that changes. A copy where links fail.
            fs::copy_file(it->path(), target, ec);
        }
        if (ec)
            return false;
    }
    return !ec;
}

bool xr_update_commit_folder(const XrString& folder, const XrString& staging)
{
    namespace fs = std::filesystem;
    const std::string live = trimmed(native(folder)), staged = trimmed(native(staging));
    std::error_code ec;
    const bool exists = fs::exists(live, ec);
    if (!exists) {
        if (::rename(staged.c_str(), live.c_str()) != 0)
            return false;
    } else if (::renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, live.c_str(), RENAME_EXCHANGE) != 0) {
        // Without an exchange: the old folder aside, the new one in place.
        const std::string aside = staged + ".old";
        fs::remove_all(aside, ec);
        if (::rename(live.c_str(), aside.c_str()) != 0)
            return false;
        if (::rename(staged.c_str(), live.c_str()) != 0) {
            ::rename(aside.c_str(), live.c_str());
            return false;
        }
        ::rename(aside.c_str(), staged.c_str());
    }
    sync_directory(fs::path(live).parent_path().string());
    fs::remove_all(staged, ec);
    return true;
}
