// Helpers shared by the source files of XrGDI.
#pragma once

#include "common/gdi/xr_gdi.h"

class XrByteArray;

// UTF-8 of len characters (-1: up to the terminator) into out (emptied
// first), cut at the first character that has no valid encoding; no
// terminator is added.
void xr_gdi_to_utf8(const TCHAR* str, int len, XrByteArray& out);
// A bitmap handle without pixels whose size record holds width x height.
XrBitmapHandleRec* xr_gdi_new_bitmap_handle(int width, int height);
