#include "common/ui/controls/xr_textctrl.h"

#include "common/container/xr_bytearray.h"
#include "common/misc/xr_utf8.h"
#include "common/ui/fonts/xr_fontrepository.h"

#include <cstring>

XrTextCtrl* XrTextCtrl::create(const XrString& text)
{
    XrTextCtrl* control = new XrTextCtrlMaemo();
    control->set_text(text);
    return control;
}

void XrTextCtrl::set_text_color(int r, int g, int b)
{
    m_r = r;
    m_g = g;
    m_b = b;
}

XrSize XrTextCtrl::get_minimum_size() const
{
    auto* fonts = static_cast<XrFontRepository*>(XrSingleton::get_instance(XrString(L"XrFontRepository")));
    XrFontHandleRec* font = fonts != nullptr ? fonts->get_font(m_font) : nullptr;
    XR_ASSERT(font);
    const XrString text = get_text();
    const TCHAR* chars = text.length() > 0 ? text.c_str() : L"";
    if (m_wrap_width <= 0) {
        int width = 0, height = 0;
        XrGDI::get_text_size(font, chars, &width, &height);
        return XrSize(width, height);
    }
    const int flags = TEXT_FLAGS | (m_flag ? FLAG_EXTRA : 0);
    return XrSize(m_wrap_width, XrGDI::bidi_text_height(font, chars, m_wrap_width, flags));
}

void XrTextCtrl::draw(XrDCHandleRec* dc) const
{
    const XrRectangle rect = get_rectangle();
    draw_background(dc);
    XrGDI::set_text_color(dc, XrGDI::rgb(m_r, m_g, m_b));
    XrGDI::set_opaque_text(dc, false);
    XrFontRepository::select_font(dc, m_font);
    const XrString text = get_text();
    XrGDI::draw_bidi_text(dc, text.length() > 0 ? text.c_str() : L"", rect, TEXT_FLAGS | (m_flag ? FLAG_EXTRA : 0));
}

void XrTextCtrlMaemo::set_native_control(void* native)
{
    m_label = static_cast<GtkWidget*>(native);
    set_control(native);
}

void XrTextCtrlMaemo::set_text(const XrString& text)
{
    if (m_label == nullptr)
        return;
    XrByteArray utf8(16, 16);
    XrUTF8::encode_utf8(text.c_str(), text.length(), utf8);
    utf8.append_byte(0);
    gtk_label_set_text(GTK_LABEL(m_label), reinterpret_cast<const char*>(utf8.get_items()));
}

XrString XrTextCtrlMaemo::get_text() const
{
    XrString out;
    if (m_label == nullptr)
        return out;
    const char* text = gtk_label_get_text(GTK_LABEL(m_label));
    if (text != nullptr)
        XrUTF8::decode_utf8(reinterpret_cast<const BYTE*>(text), static_cast<int>(std::strlen(text)), out);
    return out;
}
