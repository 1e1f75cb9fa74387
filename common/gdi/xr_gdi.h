// XrGDI: the program's own drawing interface over GDK, Pango and GdkPixbuf.
// A static facade: device contexts, pens, brushes, fonts, colours and
// bitmaps are opaque handles passed to static functions. Main thread only.
#pragma once

#include <cstdint>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gdk/gdk.h>
#include <pango/pango.h>

#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"
#include "common/geometry/xr_point.h"

class XrBitmap;
class XrMapWindow;
class XrPalette;

// 0x00BBGGRR.
typedef unsigned int XrColorHandle;

// A pen: colour (allocated in the system colormap, 16-bit channels = 8-bit
// channel << 8), width in pixels, style 0 solid, 1 dashed, 255 null pen.
struct XrPenHandle {
    enum { Solid = 0, Dashed = 1, Null = 255 };
    GdkColor color;
    int width;
    std::uint8_t style;
};

// A brush: fill 0 hollow, 1 solid; null_marker 255 for the null brush.
struct XrBrushHandle {
    enum { Hollow = 0, SolidFill = 1 };
    enum { NullMarker = 255 };
    std::uint32_t fill;
    std::uint8_t null_marker;
    GdkColor color;
};

// The angle of a rotated font in whole degrees. A type of its own, so that
// create_font_rotated's angle cannot take the place of the size or weight.
struct XrFontAngle {
    explicit constexpr XrFontAngle(unsigned int degrees_) : degrees(degrees_) {}
    unsigned int degrees;
};

// A font: owned by its creator, freed with XrGDI::delete_font.
struct XrFontHandleRec {
    PangoFontDescription* desc; // owned
    unsigned int angle;         // whole degrees, 0 = horizontal
};

// Ascent and descent of a font in pixels.
struct XrFontMetrics {
    int ascent = 0;
    int descent = 0;

    XrFontMetrics() = default;
    XrFontMetrics(int ascent_, int descent_) : ascent(ascent_), descent(descent_) {}
    int height() const { return ascent + descent; }
};

// The ten header fields of an MBM bitmap record, in file order; the size
// record of every bitmap handle (width and height are always set).
struct XrBitmapHeader {
    std::uint32_t record_length;
    std::uint32_t header_length;
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t twips_width;
    std::uint32_t twips_height;
    std::uint32_t bits_per_pixel; // 12 and 16 are reported as 32
    std::uint32_t color_flag;
    std::uint32_t palette_entries;
    std::uint32_t compression;
};

// A bitmap: any of its pixel sources may be absent. RGB buffer: 3 bytes a
// pixel (red, green, blue), rows of exactly width pixels, new[]-allocated.
struct XrBitmapHandleRec {
    XrBitmapHeader* header; // owned; new-allocated
    BYTE* buffer;           // owned RGB pixels or null
    GdkBitmap* mask;        // 1-bit bitmap (a reference) or null
    GdkPixmap* pixmap;      // a reference or null
    GdkPixbuf* pixbuf;      // a reference or null
};

// A device context.
struct XrDCHandleRec {
    GdkDrawable* drawable; // window or pixmap
    int owns_drawable;     // 1: the DC created its pixmap and releases it
    GdkGC* gc;             // never owned
    PangoLayout* layout;   // one reference held
    PangoContext* context; // the layout's context
    XrBrushHandle brush;
    XrPenHandle pen;
    XrFontHandleRec* font; // not owned; null = none
    GdkColor text_color;
    int transparent_text; // 1: text without background
    XrRectangle clip;     // right/bottom exclusive; all zero or left == right: none
};

// The font state of a DC saved around a layer's drawing; this platform
// keeps none.
struct XrDCState {
};

class XrGDI {
public:
    enum Align {
        LeftTop = 0,
        RightTop = 1,
        CentreTop = 2,
        LeftMiddle = 3,
        RightMiddle = 4,
        CentreMiddle = 5,
    };

    // Pen styles of create_pen, numbered as in the visual settings: SOLID
    // and DOT draw solid lines, DASH and DASHDOT dashed ones; 4 draws solid
    // too and any other value makes a null pen.
    enum PenStyle : int {
        PenSolid = 0,
        PenDash = 1,
        PenDot = 2,
        PenDashDot = 3,
        PenNull = 255, // one of the values that make a null pen
    };

    // Brush styles of create_brush, numbered as in the visual settings: a
    // hollow brush draws unfilled, a solid one fills; the hatch styles and
    // any other value make a null brush, which drawing ignores.
    enum BrushStyle : int {
        BrushHollow = 0, // the word NULL
        BrushSolid = 1,
        BrushHatchDiagonal = 2,
        BrushHatchCross = 3,
        BrushHatchDiagCross = 4,
        BrushHatchFDiagonal = 5,
        BrushHatchHorizontal = 6,
        BrushHatchVertical = 7,
        BrushNull = 255, // one of the values that make a null brush
    };

    // The stock objects; any other value gives the last of each.
    enum StockPen : int { StockBlackPen = 0, StockWhitePen = 1 };
    enum StockBrush : int { StockBlackBrush = 0, StockWhiteBrush = 1, StockHollowBrush = 2 };

    // Raster operations of set_raster_op; any other value copies.
    enum RasterOp : int { RopCopy = 0, RopXor = 1, RopAnd = 2 };

    // Flags of the bidi text operations.
    enum BidiFlags {
        BidiHCentre = 1,
        BidiVCentre = 2,
        BidiWordWrap = 4,
        BidiEllipsize = 8,
        BidiMirror = 64,
    };

    // Text is drawn with the shipped fonts only: the font configuration
    // beside them ("/usr/share/kestrova/fonts.conf") names nothing of the
    // machine's. Call before anything draws text; false (the machine's
    // fonts stay) when the configuration is missing.
    static bool use_shipped_fonts();

    // Colours, pens and brushes.
    // The palette (may be null) is not needed on this true-colour platform.
    static XrColorHandle rgb(int r, int g, int b, XrPalette* palette = nullptr)
    {
        (void)palette;
        return r + (g << 8) + (b << 16);
    }
    static int get_r(XrColorHandle c) { return c & 0xFF; }
    static int get_g(XrColorHandle c) { return (c >> 8) & 0xFF; }
    static int get_b(XrColorHandle c) { return (c >> 16) & 0xFF; }
    static XrPenHandle create_pen(PenStyle style, int width, int r, int g, int b);
    static XrBrushHandle create_brush(BrushStyle style, int r, int g, int b);
    // The same into a caller's record; the palette (may be null) is not
    // needed on this true-colour platform.
    static void create_pen(XrPenHandle& out, PenStyle style, int width, int r, int g, int b, XrPalette* palette)
    {
        (void)palette;
        out = create_pen(style, width, r, g, b);
    }
    static void create_brush(XrBrushHandle& out, BrushStyle style, int r, int g, int b, XrPalette* palette)
    {
        (void)palette;
        out = create_brush(style, r, g, b);
    }
    static void delete_pen(XrPenHandle&) {}
    static void delete_brush(XrBrushHandle&) {}
    // Ignored for a null pen. The line width is width, or the pen's own for
    // -1; the DC's pen keeps the width in use. Dashes are (width x 30) / 9 + 7
    // pixels long, from width as passed.
    static void select_pen(XrDCHandleRec* dc, const XrPenHandle& pen, int width = -1);
    static void set_pen_width(XrDCHandleRec* dc, int width);
    static XrPenHandle get_pen(XrDCHandleRec* dc) { return dc->pen; }
    static XrBrushHandle get_brush(XrDCHandleRec* dc) { return dc->brush; }
    static void get_pen(XrDCHandleRec* dc, XrPenHandle& out) { out = dc->pen; }
    static void get_brush(XrDCHandleRec* dc, XrBrushHandle& out) { out = dc->brush; }
    static void restore_pen(XrDCHandleRec* dc, const XrPenHandle& pen);
    static void restore_brush(XrDCHandleRec* dc, const XrBrushHandle& brush);
    static void select_brush(XrDCHandleRec* dc, const XrBrushHandle& brush);
    static XrPenHandle get_stock_pen(StockPen which);
    static XrBrushHandle get_stock_brush(StockBrush which);
    static void init_stock_objects();
    static void free_stock_objects();
    static void set_pen_color(XrDCHandleRec* dc, int r, int g, int b);
    static void set_brush_color(XrDCHandleRec* dc, int r, int g, int b);
    static void set_raster_op(XrDCHandleRec* dc, RasterOp op);

    // Shapes; rectangles and ellipses take inclusive corners.
    static void draw_line(XrDCHandleRec* dc, int x1, int y1, int x2, int y2);
    static void draw_polyline(XrDCHandleRec* dc, const XrPoint* points, int count);
    // The rings follow one another in points. Shapes are filled only with a
    // solid brush: a hollow brush, like none, draws no fill.
    static void draw_polygon(XrDCHandleRec* dc, const XrPoint* points, const int* ring_sizes, int ring_count);
    // The map's 3D view outlines its areas the same way as the flat one.
    static void draw_polygon_outlined(XrDCHandleRec* dc, const XrPoint* points, const int* ring_sizes,
                                      int ring_count, bool outline, bool is_3d = false);
    static void draw_rectangle(XrDCHandleRec* dc, int left, int top, int right, int bottom);
    static void draw_rectangle(XrDCHandleRec* dc, const XrRectangle& r)
    {
        draw_rectangle(dc, r.left, r.top, r.right, r.bottom);
    }
    static void draw_ellipse(XrDCHandleRec* dc, int left, int top, int right, int bottom);
    static void draw_round_rect(XrDCHandleRec* dc, int left, int top, int right, int bottom, int border,
                                int radius);
    static void draw_round_rect(XrDCHandleRec* dc, const XrRectangle& r, int border, int radius)
    {
        draw_round_rect(dc, r.left, r.top, r.right, r.bottom, border, radius);
    }
    static void draw_textured_triangle(XrDCHandleRec* dc, const XrPoint* screen, const XrPoint* texture,
                                       XrBitmapHandleRec* bitmap);

    // Text and fonts. Text lengths: -1 = up to the terminator.
    static XrFontHandleRec* create_font(const TCHAR* family, int size, int weight, bool italic);
    static XrFontHandleRec* create_font_rotated(const TCHAR* family, int size, int weight, bool italic,
                                                XrFontAngle angle);
    static void set_font_angle(XrFontHandleRec* font, unsigned int degrees);
    static void delete_font(XrFontHandleRec* font);
    static void select_font(XrDCHandleRec* dc, XrFontHandleRec* font);
    static void deselect_font(XrDCHandleRec* dc);
    // The font selected last in the process (not owned), or null.
    static XrFontHandleRec* get_last_selected_font();
    static int get_font_size(const XrFontHandleRec* font);
    static XrFontMetrics get_font_metrics(const XrFontHandleRec* font);
    static void set_text_color(XrDCHandleRec* dc, XrColorHandle color);
    static void set_opaque_text(XrDCHandleRec* dc, bool opaque);
    // Not available on this platform (fatal).
    static void set_text_underline(XrDCHandleRec* dc, bool on);
    // Right and bottom exclusive.
    static void draw_text(XrDCHandleRec* dc, const TCHAR* str, const XrRectangle& rect, int align,
                          int str_len = -1);
    static void draw_text(XrDCHandleRec* dc, const TCHAR* str, const XrPoint& point, int str_len = -1);
    static void draw_text_rect(XrDCHandleRec* dc, const TCHAR* str, int left, int top, int right, int bottom,
                               int align, int str_len);
    static void draw_bidi_text(XrDCHandleRec* dc, const TCHAR* str, const XrRectangle& rect, int flags);
    static void draw_bidi_text(XrDCHandleRec* dc, const TCHAR* str, const XrPoint& point, int flag);
    static int bidi_text_height(XrFontHandleRec* font, const TCHAR* str, int width, int flag);
    static void bidi_text_rect(XrFontHandleRec* font, const TCHAR* str, XrRectangle& rect, int flag);
    static XrSize measure_text(XrFontHandleRec* font, const TCHAR* str, int str_len = -1);
    static void get_text_size(XrFontHandleRec* font, const TCHAR* str, int* width, int* height,
                              int str_len = -1);
    static void get_dc_text_size(XrDCHandleRec* dc, const TCHAR* str, int* width, int* height,
                                 int str_len = -1);
    // Shortens the text in place until it fits max_width, ending in "...".
    static void ellipsize_text(XrDCHandleRec* dc, XrString& text, int max_width);

    // Bitmaps.
    static XrBitmapHandleRec* create_bitmap(XrDCHandleRec* dc, int width, int height);
    // A ".jpg" path through GdkPixbuf, else bitmap number index of an MBM
    // file; null when unreadable; unsupported_bitmap() for an unsupported
    // colour depth.
    static XrBitmapHandleRec* load_bitmap(const TCHAR* path, int index);
    // The size of bitmap number index of an MBM file from its header, the
    // pixels not decoded; false when load_bitmap would find no such bitmap
    // there (and for other kinds of files).
    static bool read_bitmap_size(const TCHAR* path, int index, int& width, int& height);
    // An image file loaded whole: the image handle and its mask, set where
    // the image's alpha is at least 50. False (both null) when unreadable.
    static bool load_image_file(const TCHAR* path, XrBitmapHandleRec*& image, XrBitmapHandleRec*& mask);
    // A new XrBitmap owning load_image_file's two handles; null when
    // unreadable. Defined with XrBitmap in common/bmloader.
    static XrBitmap* load_bitmap_file(const TCHAR* path);
    static void delete_bitmap(XrBitmapHandleRec* bitmap);
    // False only for null; the placeholder reads 0 x 0.
    static bool get_bitmap_size(const XrBitmapHandleRec* bitmap, int* width, int* height);
    // The placeholder of an MBM bitmap of an unsupported colour depth.
    static XrBitmapHandleRec* unsupported_bitmap();
    static void draw_bitmap_masked(XrDCHandleRec* dc, int left, int top, int right, int bottom,
                                   XrBitmapHandleRec* bitmap, int sx, int sy, XrBitmapHandleRec* mask);
    static void draw_bitmap(XrDCHandleRec* dc, int left, int top, int right, int bottom,
                            XrBitmapHandleRec* bitmap, int sx, int sy)
    {
        draw_bitmap_masked(dc, left, top, right, bottom, bitmap, sx, sy, nullptr);
    }
    // An XrBitmap at its own size, through its mask when transparent.
    // Defined with XrBitmap in common/bmloader.
    static void draw_bitmap_object(XrDCHandleRec* dc, int x, int y, XrBitmap* bitmap, bool transparent);
    static void draw_to_bitmap(XrBitmapHandleRec* bm, int x, int y, int width, int height, XrDCHandleRec* dc,
                               int sx, int sy, void* window);
    // Coordinates are clamped to the bitmap.
    static XrColorHandle get_bitmap_pixel(const XrBitmapHandleRec* bitmap, int x, int y);
    // A new pixbuf (the caller's reference), with alpha when the bitmap has a pixbuf.
    static GdkPixbuf* bitmap_to_pixbuf(const XrBitmapHandleRec* bitmap, int x, int y, int width, int height);

    // Device contexts. Without a reference DC the application's map window
    // gives its DC (see xr_app_map_window.h).
    static XrDCHandleRec* create_memory_dc(XrDCHandleRec* reference, int width, int height, int flag = 0,
                                           int x = 0, int y = 0);
    static void delete_dc(XrDCHandleRec* dc);
    static void get_dc_size(XrDCHandleRec* dc, int* width, int* height);
    static void bit_blt(XrDCHandleRec* dc, int left, int top, int right, int bottom, XrDCHandleRec* source,
                        int sx, int sy);
    static void set_clip_rect(XrDCHandleRec* dc, const XrRectangle& rect);
    static void clear_clip_rect(XrDCHandleRec* dc);
    static void flush_and_wait(XrDCHandleRec* dc, int ms);
    // The same for a DC of the window (which this platform does not need).
    static void flush_and_wait(XrMapWindow* window, XrDCHandleRec* dc, int ms)
    {
        (void)window;
        flush_and_wait(dc, ms);
    }
    // The map window's DC; it borrows the window's drawable and GC. The
    // flag is the callers' and has no effect on this platform.
    static XrDCHandleRec* get_window_dc(XrMapWindow* window, int flag = 0);
    static void release_window_dc(XrMapWindow* window, XrDCHandleRec* dc, int flag = 0);

    // Hooks without effect on this platform, called at their documented points.
    static void get_dc_state(XrDCHandleRec*, XrDCState&) {}
    static void set_dc_state(XrDCHandleRec*, const XrDCState&) {}
    static void begin_draw(XrDCHandleRec*) {}
    static void end_draw(XrDCHandleRec*) {}
    static void reset_pen(XrDCHandleRec*) {}
    static void flush_text(XrDCHandleRec*) {}
    static void map_draw_hook(XrDCHandleRec*, XrPalette*, int) {}
};
