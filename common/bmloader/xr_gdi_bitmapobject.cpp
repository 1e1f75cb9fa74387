// The XrGDI operations on XrBitmap objects, kept beside XrBitmap so that the
// GDI itself knows bitmap handles only.
#include "common/bmloader/xr_bitmap.h"
#include "common/gdi/xr_gdi.h"

XrBitmap* XrGDI::load_bitmap_file(const TCHAR* path)
{
    XrBitmapHandleRec* image = nullptr;
    XrBitmapHandleRec* mask = nullptr;
    if (!load_image_file(path, image, mask))
        return nullptr;
    auto* bitmap = new XrBitmap(image, mask);
    bitmap->set_owns_handles(true);
    return bitmap;
}

void XrGDI::draw_bitmap_object(XrDCHandleRec* dc, int x, int y, XrBitmap* bitmap, bool transparent)
{
    if (bitmap == nullptr)
        return;
    const int w = bitmap->width(), h = bitmap->height();
    draw_bitmap_masked(dc, x, y, x + w, y + h, bitmap->bitmap(), 0, 0, transparent ? bitmap->mask() : nullptr);
}
