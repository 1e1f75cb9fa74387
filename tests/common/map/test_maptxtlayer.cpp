// The map text layer: at most 80 labels chosen by class, upper case, cut at
// tab and "/", none overlapping on the 4-pixel grid.
#include <gtest/gtest.h>

#include <set>

#include "common/map/xr_maptxtlayer.h"
#include "map_test_support.h"

using namespace xr_map_test;

namespace {

struct Label {
    std::string text;
    XrRectangle rect;
};

// The labels drawn: the third of each text's three draws (the text itself).
std::vector<Label> labels()
{
    std::vector<Label> out;
    const auto calls = XrGdiRecording::instance().find("draw_bidi_text");
    for (size_t i = 2; i < calls.size(); i += 3) {
        Label l;
        for (wchar_t c : calls[i]->text)
            l.text += static_cast<char>(c);
        l.rect = XrRectangle(static_cast<int>(calls[i]->args[0]), static_cast<int>(calls[i]->args[1]),
                             static_cast<int>(calls[i]->args[2]), static_cast<int>(calls[i]->args[3]));
        out.push_back(l);
    }
    return out;
}

// Whether two labels share a cell of the 4-pixel grid.
bool share_cell(const XrRectangle& a, const XrRectangle& b)
{
    return a.left / 4 <= b.right / 4 && b.left / 4 <= a.right / 4 && a.top / 4 <= b.bottom / 4 &&
           b.top / 4 <= a.bottom / 4;
}

struct TextFixture : ::testing::Test {
    TextFixture() : view(&map)
    {
        vs = city_style(map.get_palette());
        layer = new XrMapTxtLayer(&map, vs.get(), false);
        storage = new XrMemoryGeomStorage();
        layer->get_storage()->add_storage(storage, 0);
        map.add_layer(layer, XrString(L"txt"));
        set_up_view(view);
        dc = xr_recording_dc(800, 480);
    }
    ~TextFixture() override { XrGDI::delete_dc(dc); }

    // Texts on a 10 x 10 grid 80 x 48 pixels apart, in cursor order.
    void grid(int count, int (*cls)(int))
    {
        for (int n = 0; n < count; ++n) {
            const std::string name = "t" + std::to_string(n);
            add_text(*storage, cls(n), at(-225 + (n % 10) * 50, 135 - (n / 10 % 10) * 30), name.c_str());
        }
    }
    std::vector<Label> draw()
    {
        XrGdiRecording::instance().clear();
        EXPECT_TRUE(layer->draw(dc, &view));
        return labels();
    }

    XrMap map;
    XrMapView view;
    std::unique_ptr<XrVisualSetting> vs;
    XrMapTxtLayer* layer;
    XrMemoryGeomStorage* storage;
    XrDCHandleRec* dc;
};

TEST_F(TextFixture, AtMost80OfTheFirstClass)
{
    grid(100, [](int) { return 0; });
    const std::vector<Label> drawn = draw();
    ASSERT_EQ(drawn.size(), 80u);
    std::set<std::string> names;
    for (const Label& l : drawn)
        names.insert(l.text);
    for (int n = 0; n < 80; ++n)
        EXPECT_EQ(names.count("T" + std::to_string(n)), 1u) << n;
}

TEST_F(TextFixture, BudgetSpillsIntoTheNextClass)
{
    // Even indices class 0, odd class 1 (50 each); class 2 never shows.
    grid(100, [](int n) { return n % 2; });
    add_text(*storage, 2, at(0, 0), "never");
    const std::vector<Label> drawn = draw();
    ASSERT_EQ(drawn.size(), 80u);
    int odd = 0;
    std::set<int> odd_taken;
    for (const Label& l : drawn) {
        const int n = std::stoi(l.text.substr(1));
        if (n % 2 == 1) {
            ++odd;
            odd_taken.insert(n);
        }
    }
    EXPECT_EQ(odd, 30);
    EXPECT_EQ(*odd_taken.rbegin(), 59); // the first 30 of class 1 in cursor order
}

TEST_F(TextFixture, AllClassesThatFit)
{
    for (int c = 0; c < 16; ++c)
        add_text(*storage, c, at(-225 + (c % 8) * 60, 100 - (c / 8) * 60), ("c" + std::to_string(c)).c_str());
    add_text(*storage, 16, at(0, 0), "outside the classes");
    add_text(*storage, -1, at(10, 0), "negative");
    EXPECT_EQ(draw().size(), 16u);
}

TEST_F(TextFixture, SortedByClassThenRowThenColumn)
{
    add_text(*storage, 1, at(0, 0), "second");
    add_text(*storage, 0, at(100, -100), "first");
    add_text(*storage, 1, at(-100, 0), "left");
    add_text(*storage, 1, at(100, 50), "top");
    std::vector<std::string> order;
    for (const Label& l : draw())
        order.push_back(l.text);
    EXPECT_EQ(order, (std::vector<std::string>{"FIRST", "TOP", "LEFT", "SECOND"}));
}

TEST_F(TextFixture, OverlappingLabelsDropTheLaterOne)
{
    add_text(*storage, 3, at(0, 0), "lower");
    add_text(*storage, 2, at(2, 1), "higher");
    add_text(*storage, 3, at(30, 3), "below");
    add_text(*storage, 3, at(30, 4), "above");
    const std::vector<Label> drawn = draw();
    std::vector<std::string> names;
    for (const Label& l : drawn)
        names.push_back(l.text);
    // Class 2 wins the first spot; at the second the upper one is drawn.
    EXPECT_EQ(names, (std::vector<std::string>{"HIGHER", "ABOVE"}));
    for (size_t i = 0; i < drawn.size(); ++i)
        for (size_t j = i + 1; j < drawn.size(); ++j)
            EXPECT_FALSE(share_cell(drawn[i].rect, drawn[j].rect));
}

TEST_F(TextFixture, HaloThenColourCentredOnThePoint)
{
    add_text(*storage, 5, at(0, 0), "Harbour");
    draw();
    const auto calls = XrGdiRecording::instance().find("draw_bidi_text");
    ASSERT_EQ(calls.size(), 3u);
    const XrSize size = xr_recording_text_size(calls[2]->font, L"HARBOUR", -1);
    EXPECT_EQ(calls[2]->args[0], 400 - size.width / 2);
    EXPECT_EQ(calls[2]->args[1], 240 - size.height / 2);
    EXPECT_EQ(calls[0]->args[0], calls[2]->args[0] - 1);
    EXPECT_EQ(calls[1]->args[1], calls[2]->args[1] + 1);
    EXPECT_EQ(calls[2]->args[4], XrGDI::BidiHCentre | XrGDI::BidiVCentre);
    EXPECT_EQ(calls[0]->text_color, static_cast<XrColorHandle>(xr_city_style::HALO));
    EXPECT_EQ(calls[2]->text_color, static_cast<XrColorHandle>(xr_city_style::TEXT));
}

TEST_F(TextFixture, ClassWithoutFontDrawsNothing)
{
    add_text(*storage, 15, at(0, 0), "small");
    view.set_center_and_scale(&kCentre, 200000, true);
    EXPECT_TRUE(draw().empty());
    view.set_center_and_scale(&kCentre, 10000, true);
    EXPECT_EQ(draw().size(), 1u);
}

TEST(MapTextLabel, CutAndUpperCase)
{
    struct {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"Old Town/Altstadt\tx", L"OLD TOWN"}, {L"Old Town\tAlt/stadt", L"OLD TOWN"},
        {L"Old Town/Altstadt", L"OLD TOWN/ALTSTADT"}, {L"", L""},
        {L"abcdefghijklmnopqrstuvwxyzabcdefghij", L"ABCDEFGHIJKLMNOPQRSTUVWXYZABCDE"},
    };
    for (const auto& c : cases) {
        wchar_t out[XrMapTxtLayer::MAX_CHARS + 1];
        const int n = XrMapTxtLayer::label_text(c.in, out);
        EXPECT_STREQ(out, c.out);
        EXPECT_EQ(n, static_cast<int>(wcslen(c.out)));
    }
}

} // namespace
