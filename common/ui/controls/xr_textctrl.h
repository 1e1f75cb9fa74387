// A static text (a caption or an information line). XrTextCtrlMaemo shows
// it in a GTK label bound with set_native_control.
#pragma once

#include "common/container/xr_string.h"
#include "common/ui/controls/xr_controlbase.h"

#include <gtk/gtk.h>

class XrTextCtrl : public XrControlBase {
public:
    // Text flag added by set_emphasis.
    static constexpr int FLAG_EXTRA = 16;
    static constexpr int TEXT_FLAGS = 12;

    XrTextCtrl() = default;

    // A new XrTextCtrlMaemo showing the text.
    static XrTextCtrl* create(const XrString& text);

    // Font, wrap width and colour must be set first: the font's one-line
    // size, or at a wrap width above 0 that width and the wrapped height.
    XrSize get_minimum_size() const override;

    virtual void set_text(const XrString& text) { m_text = text; }
    virtual XrString get_text() const { return m_text; }
    virtual void set_font(int font) { m_font = font; }
    virtual void set_text_color(int r, int g, int b);
    virtual void draw(XrDCHandleRec* dc) const;
    virtual void set_wrap_width(int width) { m_wrap_width = width; }

    void set_emphasis(bool on) { m_flag = on; }
    int get_font() const { return m_font; }

protected:
    XrString m_text;

private:
    int m_font = 0;
    bool m_flag = false;
    int m_wrap_width = 0;
    int m_r = 0, m_g = 0, m_b = 0;
};

class XrTextCtrlMaemo : public XrTextCtrl {
public:
    // native: the GtkLabel.
    void set_native_control(void* native) override;
    // On the label; nothing without one.
    void set_text(const XrString& text) override;
    // The label's text; empty without one.
    XrString get_text() const override;

private:
    GtkWidget* m_label = nullptr;
};
