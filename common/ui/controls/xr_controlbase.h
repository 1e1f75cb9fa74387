// The root of every own control: a platform widget (a GtkWidget here, or
// none until bound) tied to an object with a rectangle in the coordinates of
// the window that draws it, a minimum size, a drawing context and an
// optional background taken from the window's background image.
#pragma once

#include "common/bmloader/xr_bitmap.h"
#include "common/geometry/xr_point.h"

struct XrDCHandleRec;

// Gives the image that lies behind the controls of a window, in window
// coordinates.
class XrBackgroundSource {
public:
    virtual ~XrBackgroundSource() = default;
    virtual XrBitmap get_background_bitmap(XrDCHandleRec* dc) = 0;
};

// A pointer event handed to a control, in its window's coordinates.
struct XrPointerEvent {
    enum Kind { POINTER_DOWN = 0 };
    int kind = POINTER_DOWN;
    int x = 0;
    int y = 0;
};

class XrControlBase {
public:
    explicit XrControlBase(void* native = nullptr) : m_native(native) {}
    XrControlBase(const XrControlBase&) = delete;
    XrControlBase& operator=(const XrControlBase&) = delete;
    // Owns neither the native widget nor the background source.
    virtual ~XrControlBase() = default;

    virtual XrRectangle get_rectangle() const { return m_rect; }
    // Stores the rectangle and always calls size_changed().
    virtual void set_rectangle(const XrRectangle& rect);
    // Controls that cache geometry recompute it here.
    virtual void size_changed() {}
    virtual XrSize get_minimum_size() const { return XrSize(); }
    // Redraw after a content change; GTK redraws its widgets itself.
    virtual void refresh() {}
    // True when the control consumed the event.
    virtual bool handle_pointer_event(const XrPointerEvent& event);
    // Binds the widget(s) a builder created.
    virtual void set_native_control(void* native);
    // A control that draws into a context of its own must override both;
    // calling them on the base is a programming error.
    virtual void activate_dc() const;
    virtual void deactivate_dc() const;

    void* get_control() const { return m_native; }
    void set_control(void* native) { m_native = native; }
    // Asserts that a drawing context is set.
    XrDCHandleRec* get_dc() const;
    void set_dc(XrDCHandleRec* dc) { m_dc = dc; }
    XrBackgroundSource* get_background() const { return m_background; }
    void set_background_source(XrBackgroundSource* source) { m_background = source; }
    // Copies the part of the background image under the control's
    // rectangle into dc; nothing without a source or image.
    void draw_background(XrDCHandleRec* dc) const;
    // Marks the control for redrawing; GTK does this itself here.
    void invalidate() {}

private:
    void* m_native;
    XrDCHandleRec* m_dc = nullptr;
    XrRectangle m_rect;
    XrBackgroundSource* m_background = nullptr;
};
