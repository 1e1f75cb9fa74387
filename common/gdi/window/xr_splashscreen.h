// A message box painted straight into the map window: a bitmap (or a plain
// 150 x 75 box) centred in the view with a wrapped text inside, held on
// screen for a while.
#pragma once

#include "common/container/xr_string.h"
#include "common/gdi/xr_gdi.h"

class XrMapWindow;

// Paints the box into the window and holds it for wait_ms. font_id names a
// font context of the font repository (the current font when null or when
// no repository is registered); text_rect is relative to the box (its inner
// area less 5 pixels when null); centred centres each line. With redraw the
// window draws the map again afterwards. The box's top-left corner is
// returned through corner when given. Nothing happens without a window.
void draw_splash_screen(XrMapWindow* window, const TCHAR* text, const int* font_id, int wait_ms,
                        const XrRectangle* text_rect, bool centred, XrBitmapHandleRec* bitmap,
                        XrBitmapHandleRec* mask, bool redraw, XrPoint* corner);

// The same with the translated text of a message identifier.
void draw_splash_screen(XrMapWindow* window, int text_id, const int* font_id, int wait_ms,
                        const XrRectangle* text_rect, bool centred, XrBitmapHandleRec* bitmap,
                        XrBitmapHandleRec* mask, bool redraw, XrPoint* corner);
