// Map symbols: small drawing programs stored in symbol library files
// ("XRSF", version 1), looked up by a 16-bit code.
#pragma once

#include <cstdint>
#include <memory>

#include "common/container/xr_defs.h"
#include "common/container/xr_hash.h"

class XrStorageAccessor;

// A drawing program and its code. The program is the caller's (pointing
// into a library's data) or an owned copy, marked by the top bit of the
// length.
class XrSymbol {
public:
    static constexpr std::uint16_t OWNED = 0x8000;
    // Longest program (the top bit of the length is the owned mark).
    static constexpr int MAX_LENGTH = 0x7FFF;

    XrSymbol() = default;
    // A copy of an owned program owns a copy of its own.
    XrSymbol(const XrSymbol& other);
    // The destination must not own a program; copies pointer, length and
    // code (an owned program is copied).
    XrSymbol& operator=(const XrSymbol& other);
    ~XrSymbol();

    // Points at data, or owns a copy of it when copy is set; length must not
    // exceed MAX_LENGTH.
    void set(const BYTE* data, int length, bool copy);
    const BYTE* get_data(int& length) const
    {
        length = m_len & MAX_LENGTH;
        return m_data;
    }
    std::uint16_t get_code() const { return m_code; }
    void set_code(std::uint16_t code) { m_code = code; }

private:
    void free_owned();

    const BYTE* m_data = nullptr;
    std::unique_ptr<BYTE[]> m_owned; // m_data when the program is owned
    std::uint16_t m_len = 0;
    std::uint16_t m_code = 0;
};

// A loaded symbol library: the file's data and the symbols pointing into it.
class XrSymbolLibrary {
public:
    XrSymbolLibrary();
    ~XrSymbolLibrary();
    XrSymbolLibrary(const XrSymbolLibrary&) = delete;
    XrSymbolLibrary& operator=(const XrSymbolLibrary&) = delete;

    // Reads the library: 0 on success, 1 on failure (empty or short storage,
    // wrong magic or version, a record that runs past the end or is longer
    // than XrSymbol::MAX_LENGTH, a trailing fragment, or a drawing program
    // that is not sound). The symbols read before a failure stay; the first
    // definition of a code wins.
    int load(XrStorageAccessor* accessor);
    // The symbol of a code, or null.
    const XrSymbol* find(std::uint16_t code) const;
    unsigned int get_count() const { return m_symbols.get_count(); }

private:
    void clear();

    std::unique_ptr<BYTE[]> m_data;
    std::uint32_t m_size = 0;
    XrHash<unsigned short, XrSymbol> m_symbols;
};
