#include "common/ui/controls/xr_command.h"
#include "common/ui/controls/xr_controlbase.h"

#include "common/gdi/recording/xr_gdi_recording.h"

#include <gtest/gtest.h>

namespace {

class CountingControl : public XrControlBase {
public:
    using XrControlBase::XrControlBase;
    void size_changed() override { ++changes; }
    int changes = 0;
};

class FixedBackground : public XrBackgroundSource {
public:
    explicit FixedBackground(XrBitmapHandleRec* handle) : handle(handle) {}
    XrBitmap get_background_bitmap(XrDCHandleRec* dc) override
    {
        asked_with = dc;
        return XrBitmap(handle, nullptr);
    }
    XrBitmapHandleRec* handle;
    XrDCHandleRec* asked_with = nullptr;
};

TEST(ControlBaseTest, NewControlIsEmptyAndConsumesNothing)
{
    int widget = 0;
    XrControlBase control(&widget);
    EXPECT_EQ(control.get_control(), &widget);
    EXPECT_EQ(control.get_rectangle(), XrRectangle(0, 0, 0, 0));
    EXPECT_EQ(control.get_minimum_size(), XrSize(0, 0));
    EXPECT_FALSE(control.handle_pointer_event(XrPointerEvent{XrPointerEvent::POINTER_DOWN, 1, 1}));
    EXPECT_EQ(control.get_background(), nullptr);
}

TEST(ControlBaseTest, SetRectangleAlwaysReportsSizeChange)
{
    CountingControl control;
    control.set_rectangle(XrRectangle(1, 2, 30, 40));
    control.set_rectangle(XrRectangle(1, 2, 30, 40));
    EXPECT_EQ(control.changes, 2);
    EXPECT_EQ(control.get_rectangle(), XrRectangle(1, 2, 30, 40));
}

TEST(ControlBaseTest, BackgroundIsCopiedFromTheControlsOwnWindowPosition)
{
    XrGdiRecording& rec = XrGdiRecording::instance();
    XrDCHandleRec* dc = xr_recording_dc(200, 100);
    XrControlBase control;
    control.set_rectangle(XrRectangle(10, 20, 60, 45));

    rec.clear();
    control.draw_background(dc);
    EXPECT_EQ(rec.count("draw_bitmap_masked"), 0) << "no source: nothing drawn";

    FixedBackground empty(nullptr);
    control.set_background_source(&empty);
    control.draw_background(dc);
    EXPECT_EQ(rec.count("draw_bitmap_masked"), 0) << "no picture: nothing drawn";

    XrBitmapHeader header{};
    header.width = 200;
    header.height = 100;
    XrBitmapHandleRec handle{};
    handle.header = &header;
    FixedBackground source(&handle);
    control.set_background_source(&source);
    control.draw_background(dc);
    EXPECT_EQ(source.asked_with, dc);
    auto calls = rec.find("draw_bitmap_masked");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0]->dc, dc);
    // Rectangle, then the source position (the same), then no mask.
    EXPECT_EQ(calls[0]->args, (std::vector<long long>{10, 20, 60, 45, 10, 20, 0}));
    XrGDI::delete_dc(dc);
}

TEST(ControlBaseDeathTest, MisuseEndsTheProcess)
{
    XrControlBase control;
    EXPECT_DEATH(control.get_dc(), "Assertion `dc' failed");
    EXPECT_DEATH(control.activate_dc(), "activate_dc.*Assertion `false' failed");
    EXPECT_DEATH(control.deactivate_dc(), "deactivate_dc.*Assertion `false' failed");
}

TEST(ControlBaseTest, DrawingContextIsKept)
{
    XrControlBase control;
    XrDCHandleRec dc{};
    control.set_dc(&dc);
    EXPECT_EQ(control.get_dc(), &dc);
}

TEST(CommandTest, ValidityFollowsConstructionAndSet)
{
    XrCommandBase none;
    EXPECT_FALSE(none.is_valid());
    none.set(7, XrString(L"Go"), XrString(L"Go there"));
    EXPECT_TRUE(none.is_valid());
    EXPECT_EQ(none.get_id(), 7);
    EXPECT_TRUE(none.get_text() == L"Go");
    EXPECT_TRUE(none.get_secondary_text() == L"Go there");

    XrCommandBase with_data(0x1CEBABE, XrString(L"OK"), XrString(), 3);
    EXPECT_TRUE(with_data.is_valid());
    EXPECT_EQ(with_data.get_data(), 3);
    with_data.set(1, XrString(L"A"), XrString(L"B"));
    EXPECT_EQ(with_data.get_data(), 3) << "set keeps the data";
}

TEST(CommandTest, DefaultsAndTypedConstruction)
{
    XrCommand plain(1, XrString(L"OK"), XrString());
    EXPECT_EQ(plain.get_type(), 5);
    EXPECT_EQ(plain.get_value(), 0);
    EXPECT_EQ(plain.get_extra(), 0);
    EXPECT_FALSE(plain.is_disabled());
    EXPECT_TRUE(plain.is_available());
    EXPECT_EQ(plain.get_data(), 0);

    XrCommand typed(2, XrString(L"Back"), XrString(L"b"), 3, 42);
    EXPECT_EQ(typed.get_type(), 3);
    EXPECT_EQ(typed.get_parameter(), 42);
}

TEST(CommandTest, EnabledOnlyWhenAvailableAndNotDisabled)
{
    struct {
        bool available, disabled, enabled;
    } cases[] = {{true, false, true}, {true, true, false}, {false, false, false}, {false, true, false}};
    for (const auto& c : cases) {
        XrCommand command(1, XrString(L"X"), XrString());
        command.set_available(c.available);
        command.set_disabled(c.disabled);
        EXPECT_EQ(command.is_enabled(), c.enabled) << c.available << c.disabled;
    }
}

} // namespace
