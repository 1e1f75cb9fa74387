#include "tools/mapgen/extension_writer.h"

#include "common/extension/xr_extensionlayout.h"
#include "tools/mapgen/geom_tree.h"

namespace L = xr_extension_layout;

namespace {

void append(std::vector<BYTE>& out, const std::vector<BYTE>& more)
{
    out.insert(out.end(), more.begin(), more.end());
}

std::vector<BYTE> bytes(const std::string& s)
{
    return std::vector<BYTE>(s.begin(), s.end());
}

} // namespace

std::vector<BYTE> build_extension_file(const XrExtensionFileDef& file)
{
    std::vector<BYTE> header;
    if (!file.map_id.empty()) {
        append(header, ber_integer(L::KEY_MAP_ID));
        append(header, ber_item(L::TAG_UTF8_STRING, bytes(file.map_id)));
    }
    for (const auto& [key, text] : file.header_strings) {
        append(header, ber_integer(key));
        append(header, ber_item(L::TAG_UTF8_STRING, bytes(text)));
    }
    std::vector<BYTE> contents = ber_item(L::TAG_SET, header);
    for (const XrExtensionFileItem& item : file.items) {
        std::vector<BYTE> pair = ber_item(L::TAG_OCTET_STRING, bytes(item.target));
        append(pair, ber_item(L::TAG_OCTET_STRING, item.contents));
        append(contents, ber_item(L::TAG_SEQUENCE, pair));
    }
    return ber_item(L::TAG_SET, contents);
}

bool write_extension_file(const std::string& path, const XrExtensionFileDef& file)
{
    std::string error;
    return xr_write_file_atomic(path, build_extension_file(file), error);
}
