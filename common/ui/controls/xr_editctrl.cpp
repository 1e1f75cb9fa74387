#include "common/ui/controls/xr_editctrl.h"

#include "common/container/xr_bytearray.h"
#include "common/misc/xr_path_resolver.h"
#include "common/misc/xr_utf8.h"
#include "common/os/xr_eventloopbase.h"

#include <cstring>
#include <string>

namespace {

std::string utf8_of(const XrString& text)
{
    XrByteArray out(16, 16);
    XrUTF8::encode_utf8(text.c_str(), text.length(), out);
    return std::string(reinterpret_cast<const char*>(out.get_items()), out.get_num_items());
}

} // namespace

XrEditCtrlBase::XrEditCtrlBase(XrEventloopBase* loop, int setting1, int setting2)
    : XrObservable<XrEditCtrlObserver>(8), m_setting1(setting1), m_setting2(setting2), m_loop(loop)
{
    (void)m_setting1;
    (void)m_setting2;
    (void)m_extra1;
    (void)m_extra2;
}

XrEditCtrlBase::~XrEditCtrlBase()
{
    if (m_loop != nullptr)
        m_loop->remove_timeout(this, nullptr);
}

void XrEditCtrlBase::set_focus(bool focus)
{
    if (focus == m_focused)
        return;
    if (focus && m_loop != nullptr)
        m_loop->add_timeout(0, BLINK_MS, this, nullptr);
    m_focused = focus;
    m_phase = focus;
}

void XrEditCtrlBase::blink()
{
    if (m_focused) {
        m_phase = !m_phase;
        if (m_loop != nullptr)
            m_loop->add_timeout(0, BLINK_MS, this, nullptr);
    } else {
        m_phase = false;
    }
    refresh();
}

void XrEditCtrlBase::notify_text_changed()
{
    for_each_listener([this](XrEditCtrlObserver* observer) { observer->text_changed(this); });
}

XrEditCtrl::XrEditCtrl(XrEventloopBase* loop, int setting1, int setting2) : XrEditCtrlBase(loop, setting1, setting2)
{
    set_native_control(gtk_entry_new());
}

XrEditCtrl::~XrEditCtrl()
{
    release_entry();
}

void XrEditCtrl::release_entry()
{
    if (m_entry == nullptr)
        return;
    g_signal_handlers_disconnect_matched(m_entry, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, this);
    g_object_unref(m_entry);
    m_entry = nullptr;
}

void XrEditCtrl::set_native_control(void* native)
{
    release_entry();
    m_entry = static_cast<GtkWidget*>(native);
    set_control(m_entry);
    if (m_entry == nullptr)
        return;
    g_signal_connect(m_entry, "changed", G_CALLBACK(&edited), this);
    g_signal_connect(m_entry, "backspace", G_CALLBACK(&edited), this);
    g_signal_connect(m_entry, "activate", G_CALLBACK(&edited), this);
    g_signal_connect(m_entry, "delete-text", G_CALLBACK(&text_deleted), this);
    g_object_ref_sink(m_entry);
}

void XrEditCtrl::set_text(const XrString& text)
{
    XR_ASSERT_MSG(m_entry, "entry");
    gtk_entry_set_text(GTK_ENTRY(m_entry), utf8_of(text).c_str());
}

XrString XrEditCtrl::get_text() const
{
    XR_ASSERT_MSG(m_entry, "entry");
    XrString out;
    const char* text = gtk_entry_get_text(GTK_ENTRY(m_entry));
    if (text != nullptr)
        XrUTF8::decode_utf8(reinterpret_cast<const BYTE*>(text), static_cast<int>(std::strlen(text)), out);
    return out;
}

void XrEditCtrl::edited(GtkWidget*, gpointer control)
{
    static_cast<XrEditCtrl*>(control)->notify_text_changed();
}

void XrEditCtrl::text_deleted(GtkEditable*, gint, gint, gpointer control)
{
    static_cast<XrEditCtrl*>(control)->notify_text_changed();
}

XrCaptionedEditCtrl::XrCaptionedEditCtrl(XrEventloopBase* loop, const XrString& caption, const XrString& icon_path)
    : XrEditCtrl(loop, 0, 2)
{
    GtkWidget* entry = get_entry();
    m_box = gtk_hbox_new(FALSE, 5);
    if (icon_path.length() > 0) {
        const XrString path = XrPathResolver::resolve(icon_path);
        std::string file;
        for (int i = 0; i < path.length(); ++i)
            file.push_back(static_cast<char>(path.c_str()[i]));
        m_icon = gtk_image_new_from_file(file.c_str());
        gtk_box_pack_start(GTK_BOX(m_box), m_icon, FALSE, FALSE, 0);
    }
    if (caption.length() > 0) {
        m_caption = gtk_label_new(utf8_of(caption).c_str());
        gtk_box_pack_start(GTK_BOX(m_box), m_caption, FALSE, FALSE, 0);
    }
    gtk_box_pack_start(GTK_BOX(m_box), entry, TRUE, TRUE, 0);
    gtk_widget_set_size_request(m_box, 800, -1);
    g_object_ref_sink(m_box);
    set_control(m_box);
}

XrCaptionedEditCtrl::~XrCaptionedEditCtrl()
{
    gtk_widget_destroy(m_box);
    g_object_unref(m_box);
}
