// Road networks drawn as text: points from the grid, edges from the way
// table, and clear messages for maps that cannot be read.
#include "support/xr_text_network.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<XrPoint> pts(std::initializer_list<XrPoint> list) { return list; }

} // namespace

TEST(TextNetwork, LabelledLinesAndTagColumns)
{
    XrNetworkEdge street;
    street.road_type = 4;
    street.category = 3;
    const XrTextNetwork m = xr_text_network(R"(
        cell 250 50
        1000 |        I
         500 |        H     # the road north
          50 |  J-K-L
           0 |A-B-C-D-E-F-G
        way   type  oneway  speed
        AB    -     -       -
        EHI   1     2       0
        BJKL  -     1       -
    )",
                                            XrPoint(100000, 200000), street);
    EXPECT_EQ(m.at('A'), XrPoint(100000, 200000));
    EXPECT_EQ(m.at('G'), XrPoint(103000, 200000));
    EXPECT_EQ(m.at('J'), XrPoint(100500, 200050));
    EXPECT_EQ(m.at('I'), XrPoint(102000, 201000));
    ASSERT_EQ(m.net.edges.size(), 3u);
    EXPECT_EQ(m.way("AB"), 0u);
    EXPECT_EQ(m.way("EHI"), 1u);
    EXPECT_EQ(m.way("BJKL"), 2u);

    const XrNetworkEdge& plain = m.net.edges[0];
    EXPECT_EQ(plain.points, pts({m.at('A'), m.at('B')}));
    EXPECT_EQ(plain.road_type, 4);
    EXPECT_EQ(plain.category, 3);
    EXPECT_EQ(plain.oneway, 0);
    EXPECT_EQ(plain.speed_class, 3);

    const XrNetworkEdge& north = m.net.edges[1];
    EXPECT_EQ(north.points, pts({m.at('E'), m.at('H'), m.at('I')})); // direction 1 from E to I
    EXPECT_EQ(north.road_type, 1);
    EXPECT_EQ(north.category, 3);
    EXPECT_EQ(north.oneway, 2);
    EXPECT_EQ(north.speed_class, 0);
    EXPECT_EQ(m.net.edges[2].points.size(), 4u);
    EXPECT_THROW(m.at('Z'), std::out_of_range);
    EXPECT_THROW(m.way("AG"), std::out_of_range);
}

TEST(TextNetwork, UnlabelledLinesCountFromTheBottomAndBarsAreDrawing)
{
    const XrTextNetwork m = xr_text_network(R"(
        cell 1000
          C
          |
        A-B-D
        way tile named restricted level category
        AB  1    1     1          0     5
        BC  -    -     -          -     -
    )");
    EXPECT_EQ(m.at('A'), XrPoint(0, 0));
    EXPECT_EQ(m.at('B'), XrPoint(2000, 0));
    EXPECT_EQ(m.at('D'), XrPoint(4000, 0));
    EXPECT_EQ(m.at('C'), XrPoint(2000, 2000));
    ASSERT_EQ(m.net.edges.size(), 2u);
    const XrNetworkEdge& a = m.net.edges[0];
    EXPECT_TRUE(a.tile_flag);
    EXPECT_TRUE(a.named);
    EXPECT_TRUE(a.restricted);
    EXPECT_EQ(a.main_level, 0);
    EXPECT_EQ(a.category, 5);
    const XrNetworkEdge& b = m.net.edges[1];
    const XrNetworkEdge defaults;
    EXPECT_FALSE(b.tile_flag);
    EXPECT_FALSE(b.named);
    EXPECT_EQ(b.main_level, defaults.main_level);
    EXPECT_EQ(b.category, defaults.category);
    EXPECT_EQ(b.road_type, defaults.road_type);
}

TEST(TextNetwork, MapsThatCannotBeReadSayWhy)
{
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"A-B\nway\nAC\n", "line 3: way AC names C, which the grid lacks"},
        {"A-B\nway\nA\n", "line 3: a way needs two letters or more: A"},
        {"A-B\nway type\nAB\n", "line 3: way AB has 0 values for 1 columns"},
        {"A-B\nway type\nAB x\n", "line 3: way AB: type is not a number: x"},
        {"A-B\nway type\nAB 1\nAB 2\n", "line 4: way AB given twice"},
        {"A-B\nway colour\n", "line 2: unknown column colour"},
        {"A-A\nway\n", "line 1: letter A drawn twice"},
        {"0 | A\nB\nway\n", "line 2: either every grid line has a label or none has"},
        {"cell 0\nA-B\nway\n", "line 1: cell takes one or two sizes in metres"},
        {"cell 10 x\nA-B\nway\n", "line 1: cell takes one or two sizes in metres"},
        {"way\nAB\n", "line 1: no grid before the way table"},
        {"A-B\n", "line 1: no way table"},
        {"", "line 0: no grid"},
    };
    for (const Case& c : cases) {
        XrTextNetwork m;
        std::string error;
        EXPECT_FALSE(xr_parse_text_network(c.text, XrPoint(0, 0), XrNetworkEdge(), m, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}
