// The route-edit window's working copy: what a selection allows, the
// current index after delete and move, and the index handed over on OK.
#include "apps/maemo_map/xr_maemowayptdlg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Waypoints named by letters; '*' is the current position.
void make(XrWaypointEdit& edit, const std::string& names, int current)
{
    for (char c : names) {
        XrWaypointEdit::Waypoint w;
        w.used = c == '*' ? 0 : 1;
        w.name = XrString(std::wstring(1, static_cast<wchar_t>(c)).c_str());
        edit.append(w);
    }
    edit.set_current(current);
}

std::string names(const XrWaypointEdit& edit)
{
    std::string out;
    for (int i = 0; i < edit.count(); ++i)
        out += static_cast<char>(edit.at(i).name.c_str()[0]);
    return out;
}

TEST(WaypointEdit, SelectionRules)
{
    struct Case {
        const char* list;
        int selected;
        bool del, up, down;
    } cases[] = {
        {"*AB", 0, false, false, false}, // the current position start stays put
        {"*AB", 1, true, false, true},
        {"*AB", 2, true, true, false},
        {"XAB", 0, true, false, true},
        {"XAB", 1, true, true, true},
        {"XAB", -1, false, false, false},
        {"", -1, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.list) + " row " + std::to_string(c.selected));
        XrWaypointEdit edit;
        make(edit, c.list, 0);
        EXPECT_EQ(edit.can_delete(c.selected), c.del);
        EXPECT_EQ(edit.can_move_up(c.selected), c.up);
        EXPECT_EQ(edit.can_move_down(c.selected), c.down);
    }
}

TEST(WaypointEdit, CurrentIndexAfterDeleteStaysOnARow)
{
    struct Case {
        const char* list;
        int current;
        int removed;
        const char* left;
        int expected_current;
        int handed_over; // on OK; -1: no route
    } cases[] = {
        {"ABCD", 2, 0, "BCD", 1, 1},  // before the current: same waypoint
        {"ABCD", 2, 3, "ABC", 2, 2},  // after it: unchanged
        {"ABCD", 3, 3, "ABC", 2, 2},  // the current and last: the new last
        {"AB", 1, 1, "A", 0, -1},     // one waypoint left: within the rows, no route
        {"AB", 1, 0, "B", 0, -1},
        {"ABC", 0, 1, "AC", 0, 1},    // index 0 goes over as 1
        {"A", 0, 0, "", 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.list) + " current " + std::to_string(c.current) + " delete " +
                     std::to_string(c.removed));
        XrWaypointEdit edit;
        make(edit, c.list, c.current);
        edit.remove(c.removed);
        EXPECT_EQ(names(edit), c.left);
        EXPECT_EQ(edit.get_current(), c.expected_current);
        EXPECT_LE(edit.get_current(), std::max(edit.count() - 1, 0));
        EXPECT_EQ(edit.index_for_route(), c.handed_over);
    }
}

TEST(WaypointEdit, CurrentFollowsAMovedWaypoint)
{
    XrWaypointEdit edit;
    make(edit, "ABCD", 2);
    edit.move(2, -1); // the current one up
    EXPECT_EQ(names(edit), "ACBD");
    EXPECT_EQ(edit.get_current(), 1);
    edit.move(0, 1); // its neighbour swapped with it
    EXPECT_EQ(names(edit), "CABD");
    EXPECT_EQ(edit.get_current(), 0);
    edit.move(3, 1); // past the end: nothing
    EXPECT_EQ(names(edit), "CABD");
}

} // namespace
