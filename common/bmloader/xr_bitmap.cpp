#include "common/bmloader/xr_bitmap.h"

#include "common/bmloader/xr_bitmap_loader.h"

// ---------------------------------------------------------------- XrBitmap

XrBitmap::XrBitmap(unsigned int id, bool is_private)
    : m_loader(is_private ? nullptr : XrBitmapLoader::get_instance()), m_id(id), m_private(is_private ? 1 : 0)
{
}

XrBitmap::XrBitmap(XrBitmapHandleRec* image, XrBitmapHandleRec* mask) : m_loaded(1), m_image(image), m_mask(mask)
{
    XrGDI::get_bitmap_size(image, &m_width, &m_height);
}

XrBitmap::XrBitmap(const XrBitmap& other) : m_owned(other.m_owned), m_private(other.m_private)
{
    if (m_owned == nullptr && other.m_loader != nullptr && other.m_loaded != 0)
        other.m_loader->add_reference(other.m_id);
    copy_fields(other);
}

XrBitmap::XrOwnedHandles::~XrOwnedHandles()
{
    XrGDI::delete_bitmap(image);
    XrGDI::delete_bitmap(mask);
}

void XrBitmap::set_owns_handles(bool owns)
{
    if (!owns) {
        if (m_owned != nullptr) {
            m_owned->image = nullptr;
            m_owned->mask = nullptr;
            m_owned.reset();
        }
        return;
    }
    if (m_owned == nullptr)
        m_owned = std::make_shared<XrOwnedHandles>();
    m_owned->image = m_image;
    m_owned->mask = m_mask;
}

XrBitmap& XrBitmap::operator=(const XrBitmap& other)
{
    if (this == &other)
        return *this;
    std::shared_ptr<XrOwnedHandles> owned = other.m_owned; // held before this lets go of its own
    if (owned == nullptr && other.m_loader != nullptr && other.m_loaded != 0)
        other.m_loader->add_reference(other.m_id);
    release_own();
    copy_fields(other);
    m_owned = std::move(owned);
    m_private = other.m_private;
    return *this;
}

XrBitmap::~XrBitmap()
{
    release_own();
}

void XrBitmap::copy_fields(const XrBitmap& other)
{
    m_loaded = other.m_loaded;
    m_loader = other.m_loader;
    m_id = other.m_id;
    m_image = other.m_image;
    m_mask = other.m_mask;
    m_width = other.m_width;
    m_height = other.m_height;
}

void XrBitmap::reset()
{
    m_loaded = 0;
    m_loader = nullptr;
    m_id = 0;
    m_owned.reset();
    m_image = nullptr;
    m_mask = nullptr;
    m_width = 0;
    m_height = 0;
}

void XrBitmap::release_own()
{
    if (m_owned != nullptr)
        m_owned.reset();
    else if (m_loader != nullptr && m_loaded != 0)
        m_loader->release(m_id);
    m_loaded = 0;
    m_image = nullptr;
    m_mask = nullptr;
}

void XrBitmap::free_handles()
{
    if (m_owned != nullptr) {
        m_owned.reset();
    } else if (m_loader == nullptr) {
        XrGDI::delete_bitmap(m_image);
        XrGDI::delete_bitmap(m_mask);
    } else if (m_loaded != 0) {
        m_loader->release(m_id);
    }
    m_loaded = 0;
    m_image = nullptr;
    m_mask = nullptr;
    m_width = 0;
    m_height = 0;
}

bool XrBitmap::load()
{
    if (m_loaded != 0)
        return true;
    if (m_id == 0)
        return false;
    XrIcon loaded;
    if (!XrBitmapLoader::load_bitmap_internal(m_id, loaded, m_private != 0))
        return false;
    copy_fields(loaded);
    m_owned = std::move(loaded.m_owned);
    loaded.reset();
    return true;
}

XrBitmapHandleRec* XrBitmap::bitmap()
{
    ensure_loaded();
    return m_image;
}

XrBitmapHandleRec* XrBitmap::mask()
{
    ensure_loaded();
    return m_mask;
}

int XrBitmap::width()
{
    ensure_loaded();
    return m_width;
}

int XrBitmap::height()
{
    ensure_loaded();
    return m_height;
}

// ---------------------------------------------------------------- XrIcon

XrIcon::XrIcon(unsigned int id, int icon_index, bool is_private, int icon_count)
    : XrBitmap(id, is_private), m_icon_index(icon_index), m_icon_count(icon_count)
{
}

XrIcon::~XrIcon() = default;

bool XrIcon::load()
{
    if (!XrBitmap::load())
        return false;
    m_icon_height = m_height;
    if (m_icon_count >= 1)
        m_icon_width = static_cast<int>(static_cast<float>(m_width) / static_cast<float>(m_icon_count) + 0.5f);
    else
        m_icon_width = m_height;
    m_x_offset = m_icon_index * m_icon_width;
    return true;
}

int XrIcon::x_offset()
{
    ensure_loaded();
    return m_x_offset;
}

int XrIcon::icon_width()
{
    ensure_loaded();
    return m_icon_width;
}

int XrIcon::icon_height()
{
    ensure_loaded();
    return m_icon_height;
}
