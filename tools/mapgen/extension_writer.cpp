#include "tools/mapgen/extension_writer.h"

#include <cstdio>

namespace {

constexpr BYTE tag_integer = 0x02;
constexpr BYTE tag_octet_string = 0x04;
constexpr BYTE tag_utf8_string = 0x0C;
constexpr BYTE tag_sequence = 0x30;
constexpr BYTE tag_set = 0x31;

void append(std::vector<BYTE>& out, const std::vector<BYTE>& more)
{
    out.insert(out.end(), more.begin(), more.end());
}

std::vector<BYTE> integer(int value)
{
    std::vector<BYTE> b;
    for (int shift = 24; shift >= 0; shift -= 8)
        b.push_back(static_cast<BYTE>(static_cast<std::uint32_t>(value) >> shift));
    while (b.size() > 1 && ((b[0] == 0x00 && b[1] < 0x80) || (b[0] == 0xFF && b[1] >= 0x80)))
        b.erase(b.begin());
    return ber_item(tag_integer, b);
}

std::vector<BYTE> bytes(const std::string& s)
{
    return std::vector<BYTE>(s.begin(), s.end());
}

} // namespace

std::vector<BYTE> ber_item(BYTE tag, const std::vector<BYTE>& contents)
{
    std::vector<BYTE> out{tag};
    const std::uint32_t n = static_cast<std::uint32_t>(contents.size());
    if (n < 128) {
        out.push_back(static_cast<BYTE>(n));
    } else {
        int octets = 0;
        for (std::uint32_t v = n; v != 0; v >>= 8)
            ++octets;
        out.push_back(static_cast<BYTE>(0x80 | octets));
        for (int i = octets - 1; i >= 0; --i)
            out.push_back(static_cast<BYTE>(n >> (8 * i)));
    }
    append(out, contents);
    return out;
}

std::vector<BYTE> build_extension_file(const XrExtensionFileSpec& spec)
{
    std::vector<BYTE> header;
    if (!spec.map_id.empty()) {
        append(header, integer(1));
        append(header, ber_item(tag_utf8_string, bytes(spec.map_id)));
    }
    for (const auto& [key, text] : spec.header_strings) {
        append(header, integer(key));
        append(header, ber_item(tag_utf8_string, bytes(text)));
    }
    std::vector<BYTE> contents = ber_item(tag_set, header);
    for (const XrExtensionFileItem& item : spec.items) {
        std::vector<BYTE> pair = ber_item(tag_octet_string, bytes(item.target));
        append(pair, ber_item(tag_octet_string, item.contents));
        append(contents, ber_item(tag_sequence, pair));
    }
    return ber_item(tag_set, contents);
}

bool write_extension_file(const std::string& path, const XrExtensionFileSpec& spec)
{
    const std::vector<BYTE> data = build_extension_file(spec);
    const std::string tmp = path + ".tmp";
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool written = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    if (std::fclose(f) != 0 || !written || std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}
