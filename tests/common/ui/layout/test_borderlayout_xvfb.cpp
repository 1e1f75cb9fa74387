// Border layouts placing real GTK widgets: controls that move their widget
// inside a GtkFixed when they get a rectangle, measured by the allocations
// GTK gives them on a shown window.
#include "common/ui/layout/xr_borderlayout.h"

#include "common/ui/controls/xr_controlbase.h"
#include "../ui_test_support.h"

namespace {

// Moves and sizes its widget in the fixed container to its rectangle; its
// minimum size is the widget's requisition.
class FixedPlacedControl : public XrControlBase {
public:
    FixedPlacedControl(GtkWidget* fixed, GtkWidget* widget) : XrControlBase(widget), fixed(fixed)
    {
        gtk_fixed_put(GTK_FIXED(fixed), widget, 0, 0);
    }
    void size_changed() override
    {
        const XrRectangle r = get_rectangle();
        GtkWidget* widget = static_cast<GtkWidget*>(get_control());
        gtk_fixed_move(GTK_FIXED(fixed), widget, r.left, r.top);
        gtk_widget_set_size_request(widget, r.right - r.left, r.bottom - r.top);
    }
    XrSize get_minimum_size() const override
    {
        GtkRequisition req;
        gtk_widget_size_request(static_cast<GtkWidget*>(get_control()), &req);
        return XrSize(req.width, req.height);
    }
    GtkWidget* fixed;
};

XrRectangle allocation_of(GtkWidget* widget)
{
    const GtkAllocation& a = widget->allocation;
    return XrRectangle(a.x, a.y, a.x + a.width, a.y + a.height);
}

class BorderLayoutGtkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        XR_UI_REQUIRE_DISPLAY();
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        fixed = gtk_fixed_new();
        gtk_container_add(GTK_CONTAINER(window), fixed);
        gtk_widget_set_size_request(window, 400, 300);
    }
    void TearDown() override
    {
        if (window != nullptr)
            gtk_widget_destroy(window);
    }
    void show()
    {
        gtk_widget_show_all(window);
        xr_ui_run_for(150);
    }

    GtkWidget* window = nullptr;
    GtkWidget* fixed = nullptr;
};

TEST_F(BorderLayoutGtkTest, WidgetsAreAllocatedWhereTheLayoutPutsThem)
{
    GtkWidget* title = gtk_label_new("Favourites");
    GtkWidget* list = gtk_tree_view_new();
    GtkWidget* ok = gtk_button_new_with_label("OK");
    GtkWidget* cancel = gtk_button_new_with_label("Cancel");
    FixedPlacedControl north(fixed, title), centre(fixed, list), south(fixed, ok), east(fixed, cancel);
    const XrSize title_size = north.get_minimum_size();
    const XrSize ok_size = south.get_minimum_size();
    const XrSize cancel_size = east.get_minimum_size();

    XrBorderLayout layout;
    layout.set_margins(8, 6);
    layout.set_spacings(4, 4);
    layout.add_control(&north, XrBorderLayout::NORTH);
    layout.add_control(&south, XrBorderLayout::SOUTH);
    layout.add_control(&east, XrBorderLayout::EAST);
    layout.add_control(&centre, XrBorderLayout::CENTER);
    layout.layout_controls(XrRectangle(0, 0, 400, 300));
    show();

    EXPECT_EQ(allocation_of(title), XrRectangle(8, 6, 392, 6 + title_size.height));
    EXPECT_EQ(allocation_of(ok), XrRectangle(8, 294 - ok_size.height, 392, 294));
    const int top = 6 + title_size.height + 4;
    const int bottom = 294 - ok_size.height - 4;
    EXPECT_EQ(allocation_of(cancel), XrRectangle(392 - cancel_size.width, top, 392, bottom));
    EXPECT_EQ(allocation_of(list), XrRectangle(8, top, 392 - cancel_size.width - 4, bottom));
}

TEST_F(BorderLayoutGtkTest, CentredButtonRowKeepsItsNaturalWidth)
{
    GtkWidget* button = gtk_button_new_with_label("Navigate");
    GtkWidget* area = gtk_drawing_area_new();
    FixedPlacedControl south(fixed, button), centre(fixed, area);
    const XrSize size = south.get_minimum_size();

    XrBorderLayout layout;
    layout.set_alignment_style(XrBorderLayout::ALIGN_CENTER);
    layout.add_control(&south, XrBorderLayout::SOUTH);
    layout.add_control(&centre, XrBorderLayout::CENTER);
    layout.layout_controls(XrRectangle(0, 0, 400, 300));
    show();

    const XrRectangle r = allocation_of(button);
    EXPECT_EQ(r.top, 300 - size.height);
    EXPECT_EQ(r.bottom, 300);
    EXPECT_EQ(r.left, 200 - size.width / 2);
    EXPECT_EQ(r.right, 200 + size.width / 2);
    EXPECT_EQ(allocation_of(area), XrRectangle(0, 0, 400, 300 - size.height));
}

} // namespace
