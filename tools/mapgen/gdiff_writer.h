// Writer of GDIFF difference files: the header D1 FF D1 FF, a version byte,
// then DATA and COPY commands in their shortest form and the end command.
#pragma once

#include <cstdint>
#include <vector>

#include "common/container/xr_bytes.h"
#include "common/container/xr_defs.h"
#include "common/storage/xr_gdifflayout.h"

class XrGdiffWriter {
public:
    // version: the fifth header byte (4 is the one the reader takes).
    explicit XrGdiffWriter(BYTE version = xr_gdiff_layout::FORMAT_VERSION);

    // Literal bytes: commands 1-246 inline, 247 (u16 length), 248 (u32).
    XrGdiffWriter& data(const std::vector<BYTE>& bytes);
    // A range of the old data: commands 249-254 by the widths needed.
    XrGdiffWriter& copy(std::uint32_t position, std::uint32_t length);
    // A command byte followed by raw field bytes, as given.
    XrGdiffWriter& raw(BYTE command, const std::vector<BYTE>& fields = {});
    // Command 0.
    XrGdiffWriter& end();

    const std::vector<BYTE>& bytes() const { return m_out.bytes(); }

private:
    XrByteWriter m_out;
};

// The difference that turns old into new_data: COPY for every run of at
// least min_copy bytes that also stands at the same place of the old data,
// DATA for the rest; ends with the end command.
std::vector<BYTE> make_gdiff(const std::vector<BYTE>& old, const std::vector<BYTE>& new_data,
                             std::uint32_t min_copy = 8);
