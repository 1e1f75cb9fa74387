#include "common/config/xr_storageconfiguration.h"

#include "common/container/xr_bytearray.h"
#include "common/storage/xr_storageaccessor.h"

XrStorageConfiguration::XrStorageConfiguration(XrStorageAccessor* accessor, const TCHAR* root)
    : XrMemoryConfiguration(root), m_accessor(accessor)
{
}

XrStorageConfiguration::~XrStorageConfiguration()
{
    delete m_accessor;
}

XrConfiguration::Status XrStorageConfiguration::open(bool read_only)
{
    if (m_accessor == nullptr)
        return FAILED;
    const std::uint32_t size = m_accessor->get_size();
    const BYTE* data = nullptr;
    if (m_accessor->get_ptr(0, size, &data) != XrStorageAccessor::OK) {
        m_accessor->release_ptr(data);
        return FAILED;
    }
    Status s = XrMemoryConfiguration::open(data, size, read_only);
    m_accessor->release_ptr(data);
    return s;
}

XrConfiguration::Status XrStorageConfiguration::save()
{
    if (m_read_only)
        return READ_ONLY;
    if (m_accessor == nullptr)
        return FAILED;
    XrByteArray text(2048, 65536); // big steps: a large store is not copied over and over
    if (!write_text(text))
        return FAILED;
    const std::uint32_t n = static_cast<std::uint32_t>(text.get_num_items());
    return m_accessor->replace_all(text.get_items(), n) == XrStorageAccessor::OK ? OK : FAILED;
}
