// Writer of packages (xr_packagelayout.h): gzip members appended back to
// back, with the optional header fields and a stored CRC-32 that can be
// falsified.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/container/xr_bytes.h"
#include "common/container/xr_defs.h"

class XrPackageWriter {
public:
    struct Member {
        std::vector<BYTE> data;
        std::string name;                 // FNAME when not empty
        std::string comment;              // FCOMMENT when not empty
        std::vector<BYTE> extra;          // FEXTRA when not empty
        bool header_crc = false;          // FHCRC
        std::uint32_t crc_xor = 0;        // falsifies the stored CRC-32 when not 0
        int level = 6;                    // deflate level
    };

    XrPackageWriter& add(const Member& member);
    XrPackageWriter& add(const std::vector<BYTE>& data);
    XrPackageWriter& add(const std::string& text);
    // Bytes appended as they are.
    XrPackageWriter& raw(const std::vector<BYTE>& bytes);

    const std::vector<BYTE>& bytes() const { return m_out.bytes(); }
    // Writes the bytes to a file; false on failure.
    bool save(const std::string& path) const;

private:
    XrByteWriter m_out;
};
