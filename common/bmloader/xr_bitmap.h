// XrBitmap: a picture with its optional mask, either wrapping two bitmap
// handles or named by an icon id and loaded on first use through the bitmap
// loader; XrIcon: one cell of a horizontal strip of equal icons.
#pragma once

#include <cstdint>
#include <memory>

#include "common/gdi/xr_gdi.h"

class XrBitmapLoader;

class XrBitmap {
public:
    // Empty: no loader, id 0, not loaded, no handles, 0 x 0.
    XrBitmap() = default;
    // The picture of an icon id, loaded on first use: through the loader's
    // shared cache, or for this object alone when is_private is set.
    XrBitmap(unsigned int id, bool is_private);
    // Wraps existing handles (not owned unless set_owns_handles is called).
    XrBitmap(XrBitmapHandleRec* image, XrBitmapHandleRec* mask);
    // Copies share the picture: a loaded shared id takes one more reference;
    // owned handles are shared by the copies and deleted with the last one.
    XrBitmap(const XrBitmap& other);
    XrBitmap& operator=(const XrBitmap& other);
    virtual ~XrBitmap();

    // The accessors load a bitmap with an id first; while it cannot be
    // loaded they return null handles and 0 x 0.
    virtual XrBitmapHandleRec* bitmap();
    virtual XrBitmapHandleRec* mask();
    virtual int width();
    virtual int height();
    // Loads the id's picture; false (and not loaded) when that fails.
    virtual bool load();

    // Without a loader deletes both handles (owned ones once their last
    // holder lets go); with one releases the loaded id's reference. The
    // bitmap is then empty of handles and not loaded.
    void free_handles();

    // Set for bitmaps whose handles are theirs (image files, private loads):
    // the handles are deleted when the last bitmap holding them lets go.
    // Clearing it keeps the handles alive for every holder.
    void set_owns_handles(bool owns);
    bool owns_handles() const { return m_owned != nullptr; }
    bool is_loaded() const { return m_loaded != 0; }
    unsigned int get_id() const { return m_id; }
    XrBitmapLoader* get_loader() const { return m_loader; }

protected:
    friend class XrBitmapLoader;

    // Copies the fields of other, no references taken or released.
    void copy_fields(const XrBitmap& other);
    // Lets go of what this bitmap holds: owned handles are deleted, a
    // reference on a loaded id is released.
    void release_own();
    // Clears every field (no handles freed).
    void reset();
    // Loads a bitmap with an id that is not loaded yet.
    void ensure_loaded()
    {
        if (m_id != 0 && m_loaded == 0)
            load();
    }

    std::uint8_t m_loaded = 0;
    XrBitmapLoader* m_loader = nullptr;
    unsigned int m_id = 0;
    // Owned handles, shared by copies; deletes them with the last holder.
    struct XrOwnedHandles {
        XrBitmapHandleRec* image = nullptr;
        XrBitmapHandleRec* mask = nullptr;
        ~XrOwnedHandles();
    };

    std::shared_ptr<XrOwnedHandles> m_owned;
    std::uint8_t m_private = 0; // loaded past the loader's cache
    XrBitmapHandleRec* m_image = nullptr;
    XrBitmapHandleRec* m_mask = nullptr;
    int m_width = 0;
    int m_height = 0;
};

class XrIcon : public XrBitmap {
public:
    XrIcon() = default;
    // Icon icon_index of a strip of icon_count equal icons (0: square icons
    // as wide as the picture is high).
    XrIcon(unsigned int id, int icon_index, bool is_private, int icon_count);
    XrIcon(const XrIcon& other) = default;
    XrIcon& operator=(const XrIcon& other) = default;
    ~XrIcon() override;

    bool load() override;

    int x_offset();
    int icon_width();
    int icon_height();

private:
    int m_icon_index = 0;
    int m_icon_count = 0;
    int m_x_offset = 0;
    int m_icon_width = 0;
    int m_icon_height = 0;
};
