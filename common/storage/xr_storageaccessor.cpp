#include "common/storage/xr_storageaccessor.h"

#include <climits>
#include <cstring>
#include <memory>

#include "common/container/xr_bytearray.h"
#include "common/misc/xr_path_resolver.h"

namespace {

// True when [offset, offset + length) lies inside size bytes.
bool in_range(std::uint32_t offset, std::uint32_t length, std::uint64_t size)
{
    return static_cast<std::uint64_t>(offset) + length <= size;
}

XrStorageAccessor::Status map_file_status(XrFile::Status s)
{
    return s == XrFile::OK ? XrStorageAccessor::OK : XrStorageAccessor::FAILED;
}

// The path without its "file://" prefix; false for any other URL scheme.
bool local_path(const XrString& path, XrString& out)
{
    static const TCHAR file_scheme[] = L"file://";
    const int scheme_len = 7;
    if (wide_strncmp(path.c_str(), file_scheme, scheme_len) == 0) {
        out = XrString(path.c_str_at(scheme_len));
        return true;
    }
    if (path.find(L"://") >= 0)
        return false;
    out = path;
    return true;
}

} // namespace

// ------------------------------------------------------ XrStorageAccessor

XrStorageAccessor::Status XrStorageAccessor::replace_all(const BYTE* data, std::uint32_t length)
{
    Status s = set_size(length);
    if (s != OK)
        return s;
    return write(0, length, data);
}

// --------------------------------------------- XrBufferableStorageAccessor

XrStorageAccessor::Status XrBufferableStorageAccessor::get_all(std::size_t* size, const BYTE** out)
{
    std::uint32_t n = get_size();
    *size = n;
    return get_ptr(0, n, out);
}

XrStorageAccessor::Status XrBufferableStorageAccessor::get_buffer(std::uint32_t offset, std::uint32_t length,
                                                                  const BYTE** out)
{
    return get_ptr(offset, length, out);
}

// -------------------------------------------------- XrFileStorageAccessor

bool XrFileStorageAccessor::create(const XrString& path)
{
    return m_file.create(path, true) == XrFile::OK;
}

bool XrFileStorageAccessor::open(const XrString& path, bool read_only)
{
    return m_file.open_existing(path, read_only) == XrFile::OK;
}

XrStorageAccessor::Status XrFileStorageAccessor::get_ptr(std::uint32_t offset, std::uint32_t length,
                                                         const BYTE** out)
{
    *out = nullptr;
    BYTE* buffer = nullptr;
    XrFile::Status s = m_file.read_alloc(offset, length, buffer);
    if (s != XrFile::OK)
        return map_file_status(s);
    *out = buffer;
    return OK;
}

void XrFileStorageAccessor::release_ptr(const BYTE* ptr)
{
    delete[] ptr;
}

XrStorageAccessor::Status XrFileStorageAccessor::write(std::uint32_t offset, std::uint32_t length, const BYTE* data)
{
    if (m_file.is_read_only())
        return NOT_ALLOWED;
    return map_file_status(m_file.write(offset, length, data));
}

std::uint32_t XrFileStorageAccessor::get_size()
{
    return m_file.get_size();
}

XrStorageAccessor::Status XrFileStorageAccessor::set_size(std::uint32_t size)
{
    if (m_file.is_read_only())
        return NOT_ALLOWED;
    if (!m_file.is_open())
        return FAILED;
    return map_file_status(m_file.resize(size));
}

bool XrFileStorageAccessor::is_read_only()
{
    return m_file.is_read_only();
}

bool XrFileStorageAccessor::remove()
{
    return m_file.delete_file();
}

XrStorageAccessor::Status XrFileStorageAccessor::replace_all(const BYTE* data, std::uint32_t length)
{
    if (m_file.is_read_only())
        return NOT_ALLOWED;
    if (!m_file.is_open() || length > static_cast<std::uint32_t>(INT_MAX))
        return FAILED;
    XrString name = m_file.get_name();
    if (!write_whole_file(name, data, static_cast<int>(length)))
        return FAILED;
    // The old handle still reads the replaced file: open the new one.
    return m_file.open_existing(name, false) == XrFile::OK ? OK : FAILED;
}

// ------------------------------------------------ XrMemoryStorageAccessor

XrMemoryStorageAccessor::XrMemoryStorageAccessor(bool read_only, BYTE* data, std::uint32_t size, bool owner)
    : m_data(data), m_size(size), m_owner(owner), m_read_only(read_only)
{
}

XrMemoryStorageAccessor::~XrMemoryStorageAccessor()
{
    if (m_owner)
        delete[] m_data;
}

XrStorageAccessor::Status XrMemoryStorageAccessor::get_ptr(std::uint32_t offset, std::uint32_t length,
                                                           const BYTE** out)
{
    *out = nullptr;
    if (!in_range(offset, length, m_size))
        return FAILED;
    *out = m_data + offset;
    return OK;
}

void XrMemoryStorageAccessor::release_ptr(const BYTE* ptr)
{
    (void)ptr;
}

XrStorageAccessor::Status XrMemoryStorageAccessor::write(std::uint32_t offset, std::uint32_t length,
                                                         const BYTE* data)
{
    if (m_read_only)
        return NOT_ALLOWED;
    if (!in_range(offset, length, m_size))
        return FAILED;
    if (length > 0)
        std::memmove(m_data + offset, data, length);
    return OK;
}

std::uint32_t XrMemoryStorageAccessor::get_size()
{
    return m_size;
}

XrStorageAccessor::Status XrMemoryStorageAccessor::set_size(std::uint32_t size)
{
    if (m_read_only || !m_owner || size > m_size)
        return NOT_ALLOWED;
    // The block keeps its allocation; only the visible size shrinks.
    m_size = size;
    return OK;
}

bool XrMemoryStorageAccessor::is_read_only()
{
    return m_read_only;
}

bool XrMemoryStorageAccessor::remove()
{
    return true;
}

// --------------------------------------------------- XrByteArrayAccessor

XrByteArrayAccessor::XrByteArrayAccessor() : m_array(new XrByteArray(16, 16)) {}

XrByteArrayAccessor::~XrByteArrayAccessor()
{
    if (!m_callers)
        delete m_array;
}

void XrByteArrayAccessor::attach(XrByteArray* array)
{
    if (!m_callers)
        delete m_array;
    m_array = array;
    m_callers = true;
}

XrStorageAccessor::Status XrByteArrayAccessor::get_ptr(std::uint32_t offset, std::uint32_t length, const BYTE** out)
{
    *out = nullptr;
    const std::uint32_t count = get_size();
    if ((offset >= count && length > 0) || !in_range(offset, length, count))
        return FAILED;
    *out = m_array->get_items() == nullptr ? nullptr : m_array->get_items() + offset;
    return OK;
}

void XrByteArrayAccessor::release_ptr(const BYTE* ptr)
{
    (void)ptr;
}

XrStorageAccessor::Status XrByteArrayAccessor::write(std::uint32_t offset, std::uint32_t length, const BYTE* data)
{
    if (m_callers)
        return FAILED;
    const std::uint32_t count = get_size();
    if (offset > count || static_cast<std::uint64_t>(count) + length > static_cast<std::uint64_t>(INT_MAX))
        return FAILED;
    if (length == 0)
        return OK;
    bool ok = offset == count ? m_array->append(data, static_cast<int>(length))
                              : m_array->insert(static_cast<int>(offset), data, static_cast<int>(length));
    return ok ? OK : FAILED;
}

std::uint32_t XrByteArrayAccessor::get_size()
{
    return static_cast<std::uint32_t>(m_array->get_num_items());
}

XrStorageAccessor::Status XrByteArrayAccessor::set_size(std::uint32_t size)
{
    const std::uint32_t count = get_size();
    if (size >= count)
        return OK;
    if (m_callers)
        return NOT_ALLOWED;
    return m_array->remove_range(static_cast<int>(size), static_cast<int>(count - size)) ? OK : FAILED;
}

bool XrByteArrayAccessor::is_read_only()
{
    return false;
}

bool XrByteArrayAccessor::remove()
{
    return true;
}

XrStorageAccessor::Status XrByteArrayAccessor::replace_all(const BYTE* data, std::uint32_t length)
{
    if (m_callers)
        return FAILED;
    if (length > static_cast<std::uint32_t>(INT_MAX))
        return FAILED;
    return m_array->set(data, static_cast<int>(length)) ? OK : FAILED;
}

// ---------------------------------------------------------------- factories

XrStorageAccessor* create_storage_accessor(const XrString& path)
{
    XrString local;
    if (!local_path(path, local))
        return nullptr;
    auto a = std::make_unique<XrFileStorageAccessor>();
    return a->create(local) ? a.release() : nullptr;
}

XrStorageAccessor* open_storage_accessor(const XrString& path, bool read_only)
{
    XrString local;
    if (!local_path(path, local))
        return nullptr;
    auto a = std::make_unique<XrFileStorageAccessor>();
    return a->open(XrPathResolver::resolve(local), read_only) ? a.release() : nullptr;
}

// ------------------------------------------------------- XrStorageBytes

bool XrStorageBytes::read(XrStorageAccessor* accessor, std::uint32_t offset, std::uint32_t length)
{
    reset();
    if (accessor == nullptr)
        return false;
    const BYTE* p = nullptr;
    if (accessor->get_ptr(offset, length, &p) != XrStorageAccessor::OK) {
        accessor->release_ptr(p);
        return false;
    }
    m_accessor = accessor;
    m_ptr = p;
    return true;
}

void XrStorageBytes::reset()
{
    if (m_accessor != nullptr)
        m_accessor->release_ptr(m_ptr);
    m_accessor = nullptr;
    m_ptr = nullptr;
}
