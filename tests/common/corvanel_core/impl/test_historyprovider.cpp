#include "common/corvanel_core/impl/xr_historyproviderimpl.h"
#include "common/corvanel_core/impl/provider_files.h"
#include "common/corvanel_core/impl/xr_providerutil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<XrString> g_notes;
void record_note(const XrString& text)
{
    g_notes.push_back(text);
}

class HistoryTest : public ::testing::Test {
protected:
    HistoryTest()
    {
        g_notes.clear();
        xr_set_note_function(record_note);
    }
    ~HistoryTest() override { xr_set_note_function(nullptr); }
    std::string path() const { return files.map_file("history.txt"); }
    std::vector<XrHistoryMapPoint> list()
    {
        XrArray<XrHistoryMapPoint> got(8, 0);
        history.get_history(got);
        return std::vector<XrHistoryMapPoint>(got.get_items(), got.get_items() + got.get_num_items());
    }
    static XrHistoryMapPoint place(double lat, const wchar_t* name)
    {
        return XrHistoryMapPoint(XrCoordinate(24.9, lat), XrString(name));
    }

    ProviderFiles files;
    XrHistoryProviderImpl history;
};

} // namespace

TEST_F(HistoryTest, AKnownPlaceMovesToTheFrontWithItsNewName)
{
    ASSERT_TRUE(history.add_history_point(place(60.1, L"a")));
    ASSERT_TRUE(history.add_history_point(place(60.2, L"b")));
    ASSERT_TRUE(history.add_history_point(place(60.1, L"renamed")));
    auto l = list();
    ASSERT_EQ(l.size(), 2u);
    EXPECT_EQ(l[0].get_name(), L"renamed");
    EXPECT_EQ(l[1].get_name(), L"b");
}

TEST_F(HistoryTest, TheTwentySixthPlaceDropsTheOldest)
{
    for (int i = 0; i < 26; ++i)
        ASSERT_TRUE(history.add_history_point(place(50.0 + i * 0.01, L"p")));
    auto l = list();
    ASSERT_EQ(l.size(), 25u);
    EXPECT_DOUBLE_EQ(l[0].get_coordinate().get_latitude(), 50.25);
    EXPECT_DOUBLE_EQ(l[24].get_coordinate().get_latitude(), 50.01);

    XrHistoryProviderImpl again;
    EXPECT_EQ(l.size(), 25u);
    again.load();
    XrArray<XrHistoryMapPoint> got(8, 0);
    again.get_history(got);
    EXPECT_EQ(got.get_num_items(), 25);
}

TEST_F(HistoryTest, ReaderTakesCommasSkipsBadLinesAndKeepsPipesInNames)
{
    files.write(path(), "# recent\n60.1|24.9|Home\n95|24.9|Far\n60,2|24,8|  Work | late \n60.3|24.7|\n");
    auto l = list();
    ASSERT_EQ(l.size(), 2u);
    EXPECT_EQ(l[0].get_name(), L"Home");
    EXPECT_DOUBLE_EQ(l[1].get_coordinate().get_latitude(), 60.2);
    EXPECT_DOUBLE_EQ(l[1].get_coordinate().get_longitude(), 24.8);
    EXPECT_EQ(l[1].get_name(), L"Work | late");
}

TEST_F(HistoryTest, WrittenFileHasTheMarkCrLfAndWholeNames)
{
    ASSERT_TRUE(history.add_history_point(place(60.1, L"two\nlines")));
    ASSERT_TRUE(history.add_history_point(place(60.2, L"Home")));
    const std::string text = ProviderFiles::read(path());
    ASSERT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(text.find("60.2000000000000028|24.8999999999999986|Home\r\n"), std::string::npos) << text;
    history.load();
    auto l = list();
    ASSERT_EQ(l.size(), 2u);
    EXPECT_EQ(l[1].get_name(), L"two\nlines");
}

TEST_F(HistoryTest, AFailedWriteIsReportedAndTheListKept)
{
    std::filesystem::create_directories(path()); // a folder in the way
    EXPECT_FALSE(history.add_history_point(place(60.1, L"a")));
    ASSERT_EQ(g_notes.size(), 1u);
    EXPECT_EQ(list().size(), 1u);
    EXPECT_FALSE(history.clear_history());
    EXPECT_EQ(list().size(), 0u);
}
