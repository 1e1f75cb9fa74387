// REGEDIT4 text of any kind: reading never fails hard, a saved store reads
// back without error, and a value of any text survives save and reload.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/config/xr_storageconfiguration.h"
#include "common/container/xr_bytearray.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

// Saves through a byte array and reads the text into a fresh store.
XrStorageConfiguration* save_and_reload(XrStorageConfiguration& c, XrByteArrayAccessor* target)
{
    if (c.save() != XrConfiguration::OK)
        std::abort();
    XrByteArray* text = target->get_array();
    auto* copy = new XrByteArrayAccessor();
    copy->get_array()->append(*text);
    auto* again = new XrStorageConfiguration(copy, L"");
    if (again->open(false) != XrConfiguration::OK)
        std::abort();
    return again;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 65536)
        return 0;

    // Whatever the input holds, the saved form is sound REGEDIT4.
    {
        auto* a = new XrByteArrayAccessor();
        a->get_array()->append(data, static_cast<int>(size));
        XrStorageConfiguration c(a, L"");
        if (c.open(false) == XrConfiguration::OK) {
            XrString name;
            XrConfigurationIterator* it = c.create_key_iterator();
            while (it->get_next(name))
                c.open_key(name.c_str());
            delete it;
            delete save_and_reload(c, a);
        }
    }

    // The input as a name and a value of 16-bit characters.
    std::wstring name, value;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        wchar_t ch = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
        if (ch != 0)
            (i < size / 4 ? name : value) += ch;
    }
    auto* a = new XrByteArrayAccessor();
    XrStorageConfiguration c(a, L"");
    if (c.open(false) != XrConfiguration::OK || c.create_key_path(L"\\k") != XrConfiguration::OK)
        std::abort();
    if (c.set_string(name.c_str(), value.c_str()) != XrConfiguration::OK)
        return 0; // a name that a file cannot hold
    XrStorageConfiguration* again = save_and_reload(c, a);
    XrString out;
    if (again->open_key(L"\\k") != XrConfiguration::OK || again->get_string(name.c_str(), out) != XrConfiguration::OK ||
        !(out == value.c_str()))
        std::abort();
    delete again;
    return 0;
}
