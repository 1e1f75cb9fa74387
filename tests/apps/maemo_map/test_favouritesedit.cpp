// The favourites window's working copy: name checks, the highlighted row
// after delete and move, and when the copy counts as changed.
#include "apps/maemo_map/xr_favouritesdlg_maemo.h"
#include "apps/maemo_map/xr_maemoaboutdlg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string narrow(const XrString& s) { return std::string(s.c_str(), s.c_str() + s.length()); }

void fill(XrFavouritesEdit& edit, const std::vector<const wchar_t*>& names)
{
    int id = 1;
    for (const wchar_t* n : names)
        edit.items().append(XrFavourite(XrCoordinate(), id++, XrString(n), 0));
}

std::vector<std::string> names_of(const XrFavouritesEdit& edit)
{
    std::vector<std::string> out;
    for (int i = 0; i < edit.count(); ++i)
        out.push_back(narrow(edit.at(i).get_name()));
    return out;
}

TEST(FavouritesEdit, NameChecks)
{
    struct Case {
        const wchar_t* offered;
        XrFavouritesEdit::NameCheck expected;
        const char* kept;
    } cases[] = {
        {L"  Harbour\t\n", XrFavouritesEdit::NAME_OK, "Harbour"},
        {L" \r\n\t ", XrFavouritesEdit::NAME_EMPTY, ""},
        {L"Home", XrFavouritesEdit::NAME_NOT_UNIQUE, "Home"}, // the row's own name too
        {L" Work ", XrFavouritesEdit::NAME_NOT_UNIQUE, "Work"},
        {L"home", XrFavouritesEdit::NAME_OK, "home"}, // exact comparison
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(narrow(XrString(c.offered)));
        XrFavouritesEdit edit;
        fill(edit, {L"Home", L"Work"});
        edit.set_active(0);
        EXPECT_EQ(edit.rename_active(XrString(c.offered)), c.expected);
        EXPECT_EQ(narrow(edit.at(0).get_name()), c.expected == XrFavouritesEdit::NAME_OK ? c.kept : "Home");
    }
}

TEST(FavouritesEdit, DeleteKeepsTheHighlightOnARow)
{
    struct Case {
        int rows;
        int active;
        int expected_active;
        std::vector<std::string> left;
    } cases[] = {
        {3, 1, 1, {"a", "c"}},
        {3, 2, 1, {"a", "b"}}, // the last row: the new last one
        {2, 1, 0, {"a"}},
        {1, 0, -1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows * 10 + c.active);
        XrFavouritesEdit edit;
        const std::vector<const wchar_t*> all = {L"a", L"b", L"c"};
        fill(edit, std::vector<const wchar_t*>(all.begin(), all.begin() + c.rows));
        edit.set_active(c.active);
        edit.delete_active();
        EXPECT_EQ(edit.get_active(), c.expected_active);
        EXPECT_EQ(names_of(edit), c.left);
    }
    XrFavouritesEdit empty;
    empty.delete_active(); // nothing highlighted: nothing happens
    EXPECT_EQ(empty.count(), 0);
    EXPECT_EQ(empty.get_active(), -1);
}

TEST(FavouritesEdit, MovesFollowTheRowAndStopAtTheEnds)
{
    XrFavouritesEdit edit;
    fill(edit, {L"a", L"b", L"c"});
    edit.set_active(0);
    EXPECT_FALSE(edit.move_active(-1));
    EXPECT_TRUE(edit.move_active(1));
    EXPECT_TRUE(edit.move_active(1));
    EXPECT_FALSE(edit.move_active(1));
    EXPECT_EQ(edit.get_active(), 2);
    EXPECT_EQ(names_of(edit), (std::vector<std::string>{"b", "c", "a"}));
    edit.add_first(XrFavourite(XrCoordinate(), 0, XrString(L"new"), 0));
    EXPECT_EQ(edit.get_active(), 0);
    EXPECT_EQ(names_of(edit), (std::vector<std::string>{"new", "b", "c", "a"}));
}

TEST(FavouritesEdit, ChangedWhenCountOrAnyFavouriteDiffersButNotTheCoordinate)
{
    XrFavouritesEdit edit;
    fill(edit, {L"a", L"b"});
    struct Case {
        const char* name;
        void (*change)(XrArray<XrFavourite>&);
        bool differs;
    } cases[] = {
        {"same", [](XrArray<XrFavourite>&) {}, false},
        {"coordinate moved", [](XrArray<XrFavourite>& s) { s.get_item_ptr(0)->set_coordinate(XrCoordinate(1.0, 2.0)); },
         false},
        {"renamed", [](XrArray<XrFavourite>& s) { s.get_item_ptr(1)->set_name(XrString(L"x")); }, true},
        {"speed dial", [](XrArray<XrFavourite>& s) { s.get_item_ptr(0)->set_speed_dial(5); }, true},
        {"one fewer", [](XrArray<XrFavourite>& s) { s.remove_item(1); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        XrArray<XrFavourite> stored(4, 0);
        for (int i = 0; i < edit.count(); ++i)
            stored.append(edit.at(i));
        c.change(stored);
        EXPECT_EQ(edit.differs_from(stored), c.differs);
    }
}

TEST(AboutDlg, FirstLineOfAVersionText)
{
    struct Case {
        const wchar_t* text;
        const char* first;
    } cases[] = {
        {L"2.2.7", "2.2.7"}, {L"2.2.7\nbeta", "2.2.7"}, {L"7\r\nx", "7"}, {L"\nx", ""}, {L"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(narrow(XrMaemoAboutDlg::first_line(XrString(c.text))), c.first);
}

} // namespace
