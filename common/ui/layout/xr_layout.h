// Layouts place controls in a rectangle.
#pragma once

#include "common/geometry/xr_point.h"

class XrControlBase;

class XrLayout {
public:
    virtual ~XrLayout() = default;
    // Places the content in rect.
    virtual void layout_controls(const XrRectangle& rect) = 0;
    virtual int minimum_height() { return 0; }
    virtual int minimum_width() { return 0; }
};

// The content of one layout region: a control (not owned, or made and owned
// by the item around a native widget), a nested layout (not owned), or
// nothing. At most one of control and layout is set.
class XrLayoutItem {
public:
    XrLayoutItem() = default;
    // Makes and owns a control around the native widget.
    explicit XrLayoutItem(void* native);
    // The control must have a native widget.
    explicit XrLayoutItem(XrControlBase* control);
    explicit XrLayoutItem(XrLayout* layout);
    XrLayoutItem(const XrLayoutItem&) = delete;
    XrLayoutItem& operator=(const XrLayoutItem&) = delete;
    virtual ~XrLayoutItem();

    // Each replaces a control: one the item made itself is deleted first.
    // Putting a control into an item holding a layout (or the reverse) is a
    // programming error.
    void init(void* native);
    void init(XrControlBase* control);
    void init(XrLayout* layout);

    // A control gets the rectangle, a layout lays its content out in it.
    void layout_item(const XrRectangle& rect);
    XrSize minimum_size() const;
    bool has_content() const { return m_control != nullptr || m_layout != nullptr; }

    XrControlBase* get_control() const { return m_control; }
    XrLayout* get_layout() const { return m_layout; }

private:
    void drop_owned_control();

    XrControlBase* m_control = nullptr;
    XrLayout* m_layout = nullptr;
    bool m_owns_control = false;
};
