// Drawable road signs: one text in the look of a kind of road sign (a plain
// or rounded plate, or a national number shield). A sign measures itself
// for its text, is placed by its user and draws itself into its rectangle.
// Signs refer to the caller's fonts and colours; they own neither.
#pragma once

#include "common/container/xr_string.h"
#include "common/gdi/xr_gdi.h"

class XrDrawable {
public:
    virtual ~XrDrawable() = default;
};

class XrRoadSign : public XrDrawable {
public:
    explicit XrRoadSign(const XrString& text) : text(text) {}
    // Width and height in pixels.
    virtual XrPoint get_size() = 0;
    virtual void draw(XrDCHandleRec* dc) = 0;
    void set_rect(const XrRectangle& r) { rect = r; }
    const XrRectangle& get_rect() const { return rect; }
    const XrString& get_text() const { return text; }

protected:
    // The text's size in a font.
    XrSize text_size(XrFontHandleRec* font) const;
    // Draws the text centred on one line into r.
    void draw_text(XrDCHandleRec* dc, XrFontHandleRec* font, XrColorHandle colour, const XrRectangle& r) const;
    // Fills and outlines a mirrored outline (right half, percent of w x h).
    static void draw_mirrored(XrDCHandleRec* dc, const XrRectangle& r, int w, int h, const int (*pts)[2], int n,
                              bool round);
    // Fills and outlines an outline given whole (percent).
    static void draw_outline(XrDCHandleRec* dc, const XrRectangle& r, int w, int h, const int (*pts)[2], int n,
                             bool round);

    XrRectangle rect;
    XrString text;
};

class XrRoadNameSign : public XrRoadSign {
public:
    // A null font is refused: the sign then measures 0 x 0 and draws nothing.
    XrRoadNameSign(const XrString& text, XrFontHandleRec*& font, XrColorHandle& colour)
        : XrRoadSign(text), font(font), colour(colour)
    {
    }
    XrPoint get_size() override;
    void draw(XrDCHandleRec* dc) override;

private:
    XrFontHandleRec*& font;
    XrColorHandle& colour;
};

class XrExitNumberSign : public XrRoadSign {
public:
    XrExitNumberSign(const XrString& text, XrBrushHandle& brush, XrPenHandle& pen, int border, XrColorHandle& colour,
                     XrFontHandleRec*& font, bool rounded)
        : XrRoadSign(text), brush(brush), pen(pen), d(border), colour(colour), font(font), rounded(rounded)
    {
    }
    XrPoint get_size() override;
    void draw(XrDCHandleRec* dc) override;

private:
    XrBrushHandle& brush;
    XrPenHandle& pen;
    int d;
    XrColorHandle& colour;
    XrFontHandleRec*& font;
    bool rounded;
};

class XrRoadNumberSign : public XrRoadSign {
public:
    using XrRoadSign::XrRoadSign;
};

class XrRoadNumberSignDefault : public XrRoadNumberSign {
public:
    XrRoadNumberSignDefault(const XrString& text, XrBrushHandle& brush, XrPenHandle& pen, int border,
                            XrColorHandle& colour, XrFontHandleRec*& font, bool frame, bool rounded)
        : XrRoadNumberSign(text), brush(brush), pen(pen), d(border), colour(colour), font(font), frame(frame),
          rounded(rounded)
    {
    }
    XrPoint get_size() override;
    void draw(XrDCHandleRec* dc) override;

private:
    XrBrushHandle& brush;
    XrPenHandle& pen;
    int d;
    XrColorHandle& colour;
    XrFontHandleRec*& font;
    bool frame;
    bool rounded;
};

// The shields of fixed colours.
class XrRoadNumberSignShield : public XrRoadNumberSign {
public:
    enum Kind { UsaHighway, UsaInterState, CanAutoRoute, CanHighway };
    XrRoadNumberSignShield(Kind kind, const XrString& text, int border, XrFontHandleRec*& font)
        : XrRoadNumberSign(text), kind(kind), d(border), font(font)
    {
    }
    XrPoint get_size() override;
    void draw(XrDCHandleRec* dc) override;

private:
    Kind kind;
    int d;
    XrFontHandleRec*& font;
};

class XrRoadNumberSignUSAHighway : public XrRoadNumberSignShield {
public:
    XrRoadNumberSignUSAHighway(const XrString& text, int border, XrFontHandleRec*& font)
        : XrRoadNumberSignShield(UsaHighway, text, border, font)
    {
    }
};
class XrRoadNumberSignUSAInterState : public XrRoadNumberSignShield {
public:
    XrRoadNumberSignUSAInterState(const XrString& text, int border, XrFontHandleRec*& font)
        : XrRoadNumberSignShield(UsaInterState, text, border, font)
    {
    }
};
class XrRoadNumberSignCanAutoRoute : public XrRoadNumberSignShield {
public:
    XrRoadNumberSignCanAutoRoute(const XrString& text, int border, XrFontHandleRec*& font)
        : XrRoadNumberSignShield(CanAutoRoute, text, border, font)
    {
    }
};
class XrRoadNumberSignCanHighway : public XrRoadNumberSignShield {
public:
    XrRoadNumberSignCanHighway(const XrString& text, int border, XrFontHandleRec*& font)
        : XrRoadNumberSignShield(CanHighway, text, border, font)
    {
    }
};

class XrRoadNumberSignCanTcHighway : public XrRoadNumberSign {
public:
    XrRoadNumberSignCanTcHighway(const XrString& text, const XrBrushHandle& brush, const XrPenHandle& pen, int border,
                                 XrColorHandle colour, XrFontHandleRec*& font)
        : XrRoadNumberSign(text), d(border), font(font), colour(colour), brush(brush), pen(pen)
    {
    }
    XrPoint get_size() override;
    void draw(XrDCHandleRec* dc) override;

private:
    int d;
    XrFontHandleRec*& font;
    XrColorHandle colour;
    XrBrushHandle brush;
    XrPenHandle pen;
};
