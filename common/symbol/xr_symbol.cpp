#include "common/symbol/xr_symbol.h"

#include <cstring>
#include <new>

#include "common/container/xr_bytes.h"
#include "common/storage/xr_storageaccessor.h"
#include "common/symbol/xr_drawablesymbol.h"
#include "common/symbol/xr_symbollayout.h"

namespace L = xr_symbol_layout;

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
    m_owned.reset();
    m_data = nullptr;
    m_len = 0;
}

void XrSymbol::set(const BYTE* data, int length, bool copy)
{
    XR_ASSERT(length >= 0 && length <= MAX_LENGTH);
    free_owned();
    if (copy) {
        m_owned = std::make_unique<BYTE[]>(length > 0 ? length : 1);
        if (length > 0)
            std::memcpy(m_owned.get(), data, static_cast<std::size_t>(length));
        m_data = m_owned.get();
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
    m_data.reset();
    m_size = 0;
}

int XrSymbolLibrary::load(XrStorageAccessor* accessor)
{
    clear();
    if (accessor == nullptr)
        return 1;
    const std::uint32_t size = accessor->get_size();
    const BYTE* p = nullptr;
    if (size < L::HEADER_SIZE || accessor->get_ptr(0, L::HEADER_SIZE, &p) != XrStorageAccessor::OK)
        return 1;
    bool header_ok = std::memcmp(p, L::MAGIC, L::MAGIC_SIZE) == 0 &&
                     xr_bytes::get_u32_le(p + L::VERSION_OFFSET) == L::VERSION;
    accessor->release_ptr(p);
    if (!header_ok)
        return 1;

    const std::uint32_t n = size - L::HEADER_SIZE;
    if (n > 0) {
        if (accessor->get_ptr(L::HEADER_SIZE, n, &p) != XrStorageAccessor::OK)
            return 1;
        m_data.reset(new (std::nothrow) BYTE[n]);
        if (m_data != nullptr)
            std::memcpy(m_data.get(), p, n);
        accessor->release_ptr(p);
        if (m_data == nullptr)
            return 1;
        m_size = n;
    }

    XrByteCursor records(m_data.get(), n);
    while (!records.at_end()) {
        // A record needs its code, its length and at least one more byte.
        if (records.remaining() <= L::RECORD_HEAD)
            return 1;
        const std::uint16_t code = records.u16_le();
        const std::uint16_t length = records.u16_le();
        if (length > XrSymbol::MAX_LENGTH)
            return 1;
        const BYTE* program = records.take(length);
        if (program == nullptr)
            return 1;
        bool sound = false;
        XrDrawableSymbol::check_program(program, length, sound);
        if (!sound)
            return 1;
        XrSymbol symbol;
        symbol.set(program, length, false);
        symbol.set_code(code);
        m_symbols.insert(code, symbol);
    }
    return 0;
}

const XrSymbol* XrSymbolLibrary::find(std::uint16_t code) const
{
    return m_symbols.find_ptr(code);
}
