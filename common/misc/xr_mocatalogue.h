// A compiled gettext catalogue read into memory: message key -> text. The
// program's texts fall back to the English catalogue through it wherever
// gettext itself has no translation (the C and POSIX locales, a locale
// without a catalogue of its own, a key the catalogue lacks).
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>

#include "common/container/xr_defs.h"

class XrMoCatalogue {
public:
    // Reads a catalogue from its bytes; false (and empty) when they are not
    // one: wrong magic, a table or string outside the bytes, a string without
    // its NUL.
    bool parse(const BYTE* data, std::size_t size);
    // Reads the file; false when it cannot be read or is not a catalogue.
    bool load(const std::string& path);

    // The text of a key; null when the catalogue lacks it or its text is
    // empty. Valid while the catalogue lives.
    const char* find(const char* key) const;
    std::size_t size() const { return texts.size(); }

private:
    std::unordered_map<std::string, std::string> texts;
};
