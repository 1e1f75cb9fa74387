// The XrGDI operations on XrBitmap objects (kept apart from the rest, which
// only knows bitmap handles).
#include "common/bmloader/xr_bitmap.h"
#include "common/container/xr_bytearray.h"
#include "common/gdi/xr_gdi.h"
#include "common/gdi/xr_gdi_internal.h"

XrBitmap* XrGDI::load_bitmap_file(const TCHAR* path)
{
    XrByteArray utf8(64, 0);
    xr_gdi_to_utf8(path, -1, utf8);
    utf8.append_byte(0);
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(reinterpret_cast<const char*>(utf8.get_items()), nullptr);
    if (pixbuf == nullptr)
        return nullptr;
    const int width = gdk_pixbuf_get_width(pixbuf), height = gdk_pixbuf_get_height(pixbuf);
    XrBitmapHandleRec* image = xr_gdi_new_bitmap_handle(width, height);
    image->pixbuf = pixbuf;
    // Drawn where the image's alpha is at least 50.
    XrBitmapHandleRec* mask = xr_gdi_new_bitmap_handle(width, height);
    mask->mask = gdk_pixmap_new(nullptr, width, height, 1);
    gdk_pixbuf_render_threshold_alpha(pixbuf, mask->mask, 0, 0, 0, 0, width, height, 50);
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
