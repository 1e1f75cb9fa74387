#include "common/ber/xr_streams.h"

#include <climits>
#include <new>

#include "common/ber/xr_berrecord.h"
#include "common/ber/xr_propertybag.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_file.h"
#include "common/base/xr_root.h"

// ------------------------------------------------------------ input

XrByteArrayInputStream::~XrByteArrayInputStream()
{
    if (m_owns)
        delete m_array;
}

bool XrByteArrayInputStream::get_size(std::size_t* out)
{
    *out = m_array != nullptr ? static_cast<std::size_t>(m_array->get_num_items()) : 0;
    return true;
}

const BYTE* XrByteArrayInputStream::read(std::size_t* size)
{
    std::size_t total;
    get_size(&total);
    const std::size_t left = total - m_position;
    if (*size > left)
        *size = left;
    if (m_array == nullptr || m_array->get_items() == nullptr)
        return nullptr;
    const BYTE* p = m_array->get_items() + m_position;
    m_position += *size;
    return p;
}

XrBagInputStream::XrBagInputStream(const XrPropertyBag& bag)
{
    m_owns = true;
    m_array = new XrByteArray(16, 16);
    XrByteArray encoded(static_cast<int>(bag.get_encoded_size() < INT_MAX / 2 ? bag.get_encoded_size() + 16 : 16), 0);
    if (bag.encode(encoded) != XrPropertyBag::OK)
        return;
    const long long n = encoded.get_num_items();
    const long long room = n + n / 10 + 12;
    if (room > INT_MAX)
        return;
    int out_len = static_cast<int>(room);
    BYTE* out = m_array->append_space(out_len);
    if (out == nullptr)
        return;
    if (!zlib_compress(encoded.get_items(), static_cast<int>(n), out, out_len)) {
        m_array->remove_all();
        return;
    }
    m_array->remove_range(out_len, m_array->get_num_items() - out_len);
}

// ------------------------------------------------------------ output

XrByteArrayOutputStream::XrByteArrayOutputStream()
{
    reset();
}

XrByteArrayOutputStream::~XrByteArrayOutputStream()
{
    delete m_array;
}

void XrByteArrayOutputStream::reset()
{
    delete m_array;
    m_array = new (std::nothrow) XrByteArray(16, 16);
}

std::size_t XrByteArrayOutputStream::get_size()
{
    return m_array != nullptr ? static_cast<std::size_t>(m_array->get_num_items()) : 0;
}

std::size_t XrByteArrayOutputStream::write(const void* data, std::size_t n)
{
    if (m_array == nullptr)
        reset();
    if (m_array == nullptr)
        return 0;
    if (n > static_cast<std::size_t>(INT_MAX))
        return 0;
    // Geometric growth: steps of 16 bytes would copy a large body over and over.
    if (!ber_reserve(*m_array, static_cast<int>(n)) || !m_array->append(data, static_cast<int>(n)))
        return 0;
    return n;
}

XrByteArray* XrByteArrayOutputStream::detach_byte_array()
{
    XrByteArray* a = m_array;
    m_array = nullptr;
    return a;
}

// ------------------------------------------------------------ spilling

XrSwappingOutputStream::XrSwappingOutputStream(std::size_t limit) : m_limit(limit) {}

XrSwappingOutputStream::~XrSwappingOutputStream()
{
    delete_file();
}

void XrSwappingOutputStream::delete_file()
{
    if (m_file == nullptr)
        return;
    m_file->delete_file();
    delete m_file;
    m_file = nullptr;
}

void XrSwappingOutputStream::reset()
{
    delete_file();
    XrByteArrayOutputStream::reset();
}

std::size_t XrSwappingOutputStream::get_size()
{
    return (m_file != nullptr ? m_file->get_size() : 0) + XrByteArrayOutputStream::get_size();
}

std::size_t XrSwappingOutputStream::write(const void* data, std::size_t n)
{
    const std::size_t written = XrByteArrayOutputStream::write(data, n);
    if (written != 0 && XrByteArrayOutputStream::get_size() > m_limit) {
        // When the file cannot take them the bytes stay in memory.
        spill();
    }
    return written;
}

// Moves the bytes in memory to the end of the temporary file.
bool XrSwappingOutputStream::spill()
{
    if (m_file == nullptr) {
        m_file = XrFile::make_temp(from_platform_path(XrRoot::path("/tmp").c_str()), true);
        if (m_file == nullptr)
            return false;
    }
    const std::uint32_t old_size = m_file->get_size();
    const std::uint32_t n = static_cast<std::uint32_t>(m_array->get_num_items());
    if (n > UINT32_MAX - old_size)
        return false;
    if (m_file->resize(old_size + n) != XrFile::OK)
        return false;
    if (m_file->write(old_size, n, m_array->get_items()) != XrFile::OK) {
        m_file->resize(old_size);
        return false;
    }
    m_array->remove_all();
    return true;
}

// Brings the file's bytes back in front of the bytes in memory.
bool XrSwappingOutputStream::unspill()
{
    if (m_file == nullptr)
        return true;
    if (m_array == nullptr)
        XrByteArrayOutputStream::reset();
    if (m_array == nullptr)
        return false;
    const std::uint32_t size = m_file->get_size();
    const long long total = static_cast<long long>(size) + m_array->get_num_items();
    if (total > INT_MAX)
        return false;
    XrByteArray* joined = new (std::nothrow) XrByteArray(static_cast<int>(total > 0 ? total : 1), 16);
    if (joined == nullptr)
        return false;
    BYTE* p = size > 0 ? joined->append_space(static_cast<int>(size)) : nullptr;
    if ((size > 0 && (p == nullptr || m_file->read(0, size, p) != XrFile::OK)) || !joined->append(*m_array)) {
        delete joined;
        return false;
    }
    delete m_array;
    m_array = joined;
    delete_file();
    return true;
}

XrByteArray* XrSwappingOutputStream::get_byte_array()
{
    return unspill() ? m_array : nullptr;
}

XrByteArray* XrSwappingOutputStream::detach_byte_array()
{
    return unspill() ? XrByteArrayOutputStream::detach_byte_array() : nullptr;
}
