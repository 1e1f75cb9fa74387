#include "common/corvanel_core/impl/xr_favouritesproviderimpl.h"
#include "common/corvanel_core/impl/map_doubles.h"
#include "common/corvanel_core/impl/provider_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <string>
#include <vector>

namespace {

class Counter : public XrFavouritesListener {
public:
    void favourites_changed() override { ++calls; }
    int calls = 0;
};

class FavouritesTest : public ::testing::Test {
protected:
    FavouritesTest() { favourites.add_listener(&counter); }
    std::string path() const { return files.map_file("favourites.txt"); }
    void write(const std::string& text) const { files.write(path(), text); }
    std::vector<XrFavourite> list()
    {
        XrArray<XrFavourite> got(8, 0);
        favourites.get_favourites(got);
        return std::vector<XrFavourite>(got.get_items(), got.get_items() + got.get_num_items());
    }

    ProviderFiles files;
    FakeMapProvider maps;
    XrFavouritesProviderImpl favourites{nullptr};
    Counter counter;
};

void names(XrArray<XrFavourite>& out, std::initializer_list<const wchar_t*> names)
{
    double lat = 60.0;
    for (const wchar_t* n : names)
        out.append(XrFavourite(XrCoordinate(24.9, lat += 0.1), 0, XrString(n), 0));
}

} // namespace

TEST_F(FavouritesTest, FourFieldsReadWithoutUidAndTheMapGivesOne)
{
    write("52.5|13.4|0|Berlin\r\n");
    std::vector<XrFavourite> before = list();
    ASSERT_EQ((int)before.size(), 1);
    EXPECT_FALSE(before[0].get_uid().is_set());
    EXPECT_EQ(before[0].get_name(), L"Berlin");

    maps.open();
    std::vector<XrFavourite> after = list();
    ASSERT_EQ((int)after.size(), 1);
    EXPECT_TRUE(after[0].get_uid().is_set());
    const std::string text = ProviderFiles::read(path());
    EXPECT_EQ(std::count(text.begin(), text.end(), '|'), 4);
}

TEST_F(FavouritesTest, BadLinesAreSkippedAndIdsFollowTheKeptOnes)
{
    write("60|24|0|a\n91|24|0|bad\nx|24|0|bad\n60|24|z|bad\n61|25|3|b\n");
    std::vector<XrFavourite> l = list();
    ASSERT_EQ((int)l.size(), 2);
    EXPECT_EQ(l[1].get_name(), L"b");
    EXPECT_EQ(l[1].get_id(), 1);
    EXPECT_EQ(l[1].get_speed_dial(), 3);
}

TEST_F(FavouritesTest, AddingPutsTheNewOneFirst)
{
    XrArray<XrFavourite> three(8, 0);
    names(three, {L"a", L"b", L"c"});
    ASSERT_TRUE(favourites.set_favourites(three));
    ASSERT_TRUE(favourites.add_favourite(XrFavourite(XrCoordinate(1, 2), 0, XrString(L"new"), 0)));
    std::vector<XrFavourite> l = list();
    ASSERT_EQ((int)l.size(), 4);
    EXPECT_EQ(l[0].get_name(), L"new");
    EXPECT_EQ(l[1].get_name(), L"a");
    EXPECT_EQ(l[1].get_id(), 1);
    EXPECT_EQ(counter.calls, 2);

    ASSERT_TRUE(favourites.remove_favourite(0));
    EXPECT_EQ(list().size(), 3u);
    EXPECT_DEATH(favourites.remove_favourite(3), "favourite_id");
}

TEST_F(FavouritesTest, OtherEditorsFilesReadTheSame)
{
    XrArray<XrFavourite> one(8, 0);
    one.append(XrFavourite(XrCoordinate(24.5, 60.25), 0, XrString(L"Home"), 2));
    ASSERT_TRUE(favourites.set_favourites(one));
    const std::string ours = ProviderFiles::read(path());
    ASSERT_EQ(ours.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(ours.find("60.2500000000|24.5000000000|2|Home|"), std::string::npos);
    EXPECT_NE(ours.find("\r\n"), std::string::npos);

    write("# mine\n\n  60,25 | 24,5 |2| Home \n");
    std::vector<XrFavourite> theirs = list();
    ASSERT_EQ((int)theirs.size(), 1);
    const XrFavourite& f = *&theirs[0];
    EXPECT_DOUBLE_EQ(f.get_coordinate().get_latitude(), 60.25);
    EXPECT_DOUBLE_EQ(f.get_coordinate().get_longitude(), 24.5);
    EXPECT_EQ(f.get_name(), L"Home");
    EXPECT_EQ(f.get_speed_dial(), 2);
}

TEST_F(FavouritesTest, TwoSavesOfOneListAreByteIdentical)
{
    XrArray<XrFavourite> l(8, 0);
    names(l, {L"a", L"b"});
    ASSERT_TRUE(favourites.set_favourites(l));
    const std::string first = ProviderFiles::read(path());
    ASSERT_TRUE(favourites.set_favourites(l));
    EXPECT_EQ(ProviderFiles::read(path()), first);
}

TEST_F(FavouritesTest, NamesWithSeparatorsStayWholeAndGetTheirOwnUids)
{
    XrArray<XrFavourite> l(8, 0);
    names(l, {L"Bar | Grill", L"two\r\nlines", L"back\\slash", L"same", L"same"});
    ASSERT_TRUE(favourites.set_favourites(l));
    std::vector<XrFavourite> back = list();
    ASSERT_EQ((int)back.size(), 5);
    EXPECT_EQ(back[0].get_name(), L"Bar | Grill");
    EXPECT_EQ(back[1].get_name(), L"two\r\nlines");
    EXPECT_EQ(back[2].get_name(), L"back\\slash");
    EXPECT_TRUE(back[3].get_uid() != back[4].get_uid());
    EXPECT_TRUE(l.get_item_ptr(3)->get_uid() == back[3].get_uid()); // the caller's list got it
}

TEST_F(FavouritesTest, MapRecordsAreLabelledWithTheSpeedDial)
{
    XrArray<XrFavourite> l(8, 0);
    l.append(XrFavourite(XrCoordinate(24.9, 60.1), 0, XrString(L"Home"), 5));
    l.append(XrFavourite(XrCoordinate(25.0, 60.2), 0, XrString(L"Work"), 0));
    ASSERT_TRUE(favourites.set_favourites(l));
    maps.open();
    auto records = maps.records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].type, 94);
    EXPECT_EQ(records[0].text, L"Home [5]");
    EXPECT_EQ(records[1].text, L"Work");
    EXPECT_EQ(records[0].x, XrCoordinate(24.9, 60.1).to_point(maps.projection.get()).x);
}

TEST_F(FavouritesTest, AFailedWriteChangesNothing)
{
    XrArray<XrFavourite> l(8, 0);
    names(l, {L"a"});
    ASSERT_TRUE(favourites.set_favourites(l));
    const std::string before = ProviderFiles::read(path());
    std::filesystem::remove(path());
    std::filesystem::create_directories(path()); // a folder in the way
    XrArray<XrFavourite> other(8, 0);
    names(other, {L"b"});
    EXPECT_FALSE(favourites.set_favourites(other));
    EXPECT_EQ(counter.calls, 1);
}
