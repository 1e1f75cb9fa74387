#include "common/symbol/xr_symbol.h"

#include <cstring>
#include <new>

#include "common/storage/xr_storageaccessor.h"
#include "common/symbol/xr_drawablesymbol.h"

namespace {

constexpr std::uint32_t header_size = 12;

std::uint16_t get_u16(const BYTE* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t get_u32(const BYTE* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

} // namespace

// ---------------------------------------------------------------- XrSymbol

XrSymbol::XrSymbol(const XrSymbol& other) : m_code(other.m_code)
{
    int length = 0;
    const BYTE* data = other.get_data(length);
    set(data, length, (other.m_len & OWNED) != 0);
}

XrSymbol& XrSymbol::operator=(const XrSymbol& other)
{
    XR_ASSERT_MSG((m_len & OWNED) == 0, "(len & 0x8000) == 0");
    if (this == &other)
        return *this;
    int length = 0;
    const BYTE* data = other.get_data(length);
    set(data, length, (other.m_len & OWNED) != 0);
    m_code = other.m_code;
    return *this;
}

XrSymbol::~XrSymbol()
{
    free_owned();
}

void XrSymbol::free_owned()
{
    if ((m_len & OWNED) != 0)
        delete[] m_data;
    m_data = nullptr;
    m_len = 0;
}

void XrSymbol::set(const BYTE* data, int length, bool copy)
{
    XR_ASSERT(length >= 0 && length <= MAX_LENGTH);
    free_owned();
    if (copy) {
        BYTE* own = new BYTE[length > 0 ? length : 1];
        if (length > 0)
            std::memcpy(own, data, static_cast<std::size_t>(length));
        m_data = own;
        m_len = static_cast<std::uint16_t>(length | OWNED);
    } else {
        m_data = data;
        m_len = static_cast<std::uint16_t>(length);
    }
}

// ---------------------------------------------------------------- XrSymbolLibrary

XrSymbolLibrary::XrSymbolLibrary() : m_symbols(30, false, 80) {}

XrSymbolLibrary::~XrSymbolLibrary()
{
    clear();
}

void XrSymbolLibrary::clear()
{
    m_symbols.clear();
    delete[] m_data;
    m_data = nullptr;
    m_size = 0;
}

int XrSymbolLibrary::load(XrStorageAccessor* accessor)
{
    clear();
    if (accessor == nullptr)
        return 1;
    const std::uint32_t size = accessor->get_size();
    const BYTE* p = nullptr;
    if (size < header_size || accessor->get_ptr(0, header_size, &p) != XrStorageAccessor::OK)
        return 1;
    bool header_ok = std::memcmp(p, "XRSF", 4) == 0 && get_u32(p + 4) == 1;
    accessor->release_ptr(p);
    if (!header_ok)
        return 1;

    const std::uint32_t n = size - header_size;
    if (n > 0) {
        if (accessor->get_ptr(header_size, n, &p) != XrStorageAccessor::OK)
            return 1;
        m_data = new (std::nothrow) BYTE[n];
        if (m_data != nullptr)
            std::memcpy(m_data, p, n);
        accessor->release_ptr(p);
        if (m_data == nullptr)
            return 1;
        m_size = n;
    }

    std::uint32_t pos = 0;
    while (pos < n) {
        // A record needs its code, its length and at least one more byte.
        if (pos + 4 >= n)
            return 1;
        const std::uint16_t code = get_u16(m_data + pos);
        const std::uint16_t length = get_u16(m_data + pos + 2);
        const BYTE* program = m_data + pos + 4;
        bool sound = false;
        if (length > XrSymbol::MAX_LENGTH || pos + 4 + length > n)
            return 1;
        XrDrawableSymbol::check_program(program, length, sound);
        if (!sound)
            return 1;
        XrSymbol symbol;
        symbol.set(program, length, false);
        symbol.set_code(code);
        m_symbols.insert(code, symbol);
        pos += 4 + length;
    }
    return 0;
}

const XrSymbol* XrSymbolLibrary::find(std::uint16_t code) const
{
    return m_symbols.find_ptr(code);
}
