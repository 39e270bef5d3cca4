#include "ui/framework/WindowPlacement.h"

#include "ui/framework/Dialog.h"
#include "ui/framework/ResourceIds.h"

#include "ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

// RECT lives in the global namespace, so its comparison and printing must too.
static bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

static std::ostream& operator<<(std::ostream& out, const RECT& r) {
    return out << r.left << "," << r.top << "," << r.right << "," << r.bottom;
}

namespace {

using namespace WindowPlacement;

constexpr const wchar_t* kValue = L"Main";

TEST(WindowPlacementTextTest, FiveNumbersOrNothing) {
    Record record = {};
    EXPECT_TRUE(Parse(L"1,10,-20,310,280", record));
    EXPECT_EQ(record.showCommand, 1);
    EXPECT_EQ(record.normal, (RECT{10, -20, 310, 280}));

    Record untouched = {3, {1, 2, 3, 4}};
    for (const wchar_t* bad : {L"1,10,20,310", L"", L"1;10;20;310;280", L"x,1,2,3,4"}) {
        Record kept = untouched;
        EXPECT_FALSE(Parse(bad, kept)) << bad;
        EXPECT_EQ(kept.normal, untouched.normal);
    }

    C_String text;
    ASSERT_TRUE(Format({2, {-1600, 0, -800, 600}}, text));
    EXPECT_STREQ(text.c_str(), L"2,-1600,0,-800,600");
    ASSERT_TRUE(Parse(text.c_str(), record));
    EXPECT_EQ(record.normal, (RECT{-1600, 0, -800, 600}));
}

TEST(WindowPlacementRulesTest, ShowCommandAfterOptions) {
    EXPECT_EQ(RestoredShowCommand(SW_SHOWMINIMIZED, 0), SW_SHOWNORMAL);
    EXPECT_EQ(RestoredShowCommand(SW_SHOWMINIMIZED, OPTION_ALLOW_MINIMIZED), SW_SHOWMINIMIZED);
    EXPECT_EQ(RestoredShowCommand(SW_HIDE, 0), SW_SHOWNORMAL);
    EXPECT_EQ(RestoredShowCommand(SW_HIDE, OPTION_ALLOW_HIDDEN), SW_HIDE);
    EXPECT_EQ(RestoredShowCommand(SW_SHOWMAXIMIZED, 0), SW_SHOWMAXIMIZED);
    EXPECT_EQ(RestoredShowCommand(SW_SHOWMAXIMIZED, OPTION_FORCE_HIDDEN), SW_HIDE);
    EXPECT_EQ(RestoredShowCommand(SW_SHOWNORMAL, OPTION_FORCE_MINIMIZED), SW_SHOWMINNOACTIVE);
    EXPECT_EQ(RestoredShowCommand(99, 0), SW_SHOWNORMAL); // hand-edited nonsense
    EXPECT_EQ(RestoredShowCommand(-5, 0), SW_SHOWNORMAL);
}

TEST(WindowPlacementRulesTest, RectangleAfterOptions) {
    RECT saved = {100, 200, 500, 500}, current = {10, 20, 110, 70};
    EXPECT_EQ(RestoredRectangle(saved, current, 0), saved);
    EXPECT_EQ(RestoredRectangle(saved, current, OPTION_KEEP_SIZE), (RECT{100, 200, 200, 250}));
    EXPECT_EQ(RestoredRectangle(saved, current, OPTION_KEEP_POSITION), (RECT{10, 20, 410, 320}));
    EXPECT_EQ(RestoredRectangle(saved, current, OPTION_KEEP_SIZE | OPTION_KEEP_POSITION), current);
}

// Hand-edited extremes give a rectangle without overflow, and a place off every screen moves onto the work area
// as little as it takes, shrinking only what does not fit.
TEST(WindowPlacementRulesTest, ExtremesAndThePlaceOnAMonitor) {
    const RECT extreme = {INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    EXPECT_EQ(RestoredRectangle(extreme, extreme, 0), (RECT{INT_MIN, INT_MIN, -1, -1}));
    EXPECT_EQ(RestoredRectangle({10, 10, 5, 5}, extreme, 0), (RECT{10, 10, 10, 10})) << "no negative size";

    const RECT work = {0, 0, 1280, 770};
    struct Case {
        RECT rect;
        RECT moved;
    } cases[] = {
        {{100, 50, 700, 450}, {100, 50, 700, 450}},           // on it: stays
        {{-5000, -5000, -4400, -4600}, {0, 0, 600, 400}},     // far up and left
        {{1500, 900, 2100, 1300}, {680, 370, 1280, 770}},     // far down and right
        {{-100, 600, 500, 1000}, {0, 370, 600, 770}},         // partly off two edges
        {{INT_MIN, INT_MIN, -1, -1}, {0, 0, 1280, 770}},      // larger than the work area
        {{-32768, -32768, -32460, -32516}, {0, 0, 308, 252}}, // where another system put the extreme
    };
    for (const Case& c : cases)
        EXPECT_EQ(MovedOntoWorkArea(c.rect, work), c.moved) << c.rect;
}

class WindowPlacementTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = dialog.RunModeless(GetModuleHandleW(nullptr), IDD_MAIN, 0, nullptr);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOWNORMAL);
    }

    RECT NormalRect() {
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof placement;
        GetWindowPlacement(window, &placement);
        return placement.rcNormalPosition;
    }

    void MoveTo(int x, int y, int width, int height) {
        SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    C_Dialog dialog;
    HWND window = nullptr;
    TestRegistryKey key;
};

TEST_F(WindowPlacementTest, SaveAndRestoreRoundTrip) {
    MoveTo(60, 70, 640, 400);
    RECT saved = NormalRect();
    ASSERT_TRUE(Save(window, HKEY_CURRENT_USER, key.Path(), kValue, 0));
    C_String expected;
    Format({SW_SHOWNORMAL, saved}, expected);
    EXPECT_EQ(key.Read(kValue), expected.c_str());

    MoveTo(5, 5, 900, 600);
    ASSERT_TRUE(Restore(window, HKEY_CURRENT_USER, key.Path(), kValue, 0));
    EXPECT_EQ(NormalRect(), saved);
    EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(WindowPlacementTest, KeepSizeUsesOnlyThePosition) {
    ASSERT_TRUE(key.Write(kValue, L"1,30,40,330,240"));
    MoveTo(200, 200, 700, 450);
    ASSERT_TRUE(Restore(window, HKEY_CURRENT_USER, key.Path(), kValue, OPTION_KEEP_SIZE));
    EXPECT_EQ(NormalRect(), (RECT{30, 40, 730, 490}));
}

TEST_F(WindowPlacementTest, MinimisedWindowSavesItsNormalRectangleAndComesBackNormal) {
    MoveTo(80, 90, 600, 420);
    RECT normal = NormalRect();
    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(Save(window, HKEY_CURRENT_USER, key.Path(), kValue, 0));
    Record record;
    ASSERT_TRUE(Parse(key.Read(kValue).c_str(), record));
    EXPECT_EQ(record.normal, normal);

    ShowWindow(window, SW_RESTORE);
    MoveTo(0, 0, 500, 300);
    ASSERT_TRUE(key.Write(kValue, L"2,80,90,680,510")); // a minimised state, whatever the host did above
    ASSERT_TRUE(Restore(window, HKEY_CURRENT_USER, key.Path(), kValue, 0));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(NormalRect(), (RECT{80, 90, 680, 510}));
}

TEST_F(WindowPlacementTest, HiddenWindowIsSavedHiddenAndRestoredShown) {
    ShowWindow(window, SW_HIDE);
    ASSERT_TRUE(Save(window, HKEY_CURRENT_USER, key.Path(), kValue, 0));
    EXPECT_EQ(key.Read(kValue).substr(0, 2), L"0,");
    ASSERT_TRUE(Save(window, HKEY_CURRENT_USER, key.Path(), kValue, OPTION_SAVE_HIDDEN_AS_SHOWN));
    EXPECT_NE(key.Read(kValue).substr(0, 2), L"0,");

    ASSERT_TRUE(key.Write(kValue, L"0,50,50,550,450"));
    ASSERT_TRUE(Restore(window, HKEY_CURRENT_USER, key.Path(), kValue, 0));
    EXPECT_TRUE(IsWindowVisible(window));
}

// The window comes back where its title bar can be reached, and its place is stored that way at the next close.
TEST_F(WindowPlacementTest, APlaceOffEveryScreenIsMovedOntoTheNearestMonitor) {
    MONITORINFO primary = {};
    primary.cbSize = sizeof primary;
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &primary));
    const RECT& work = primary.rcWork;
    for (const wchar_t* stored : {L"1,-2147483648,-2147483648,2147483647,2147483647", L"1,-5000,-4000,-4400,-3600",
                                  L"1,100000,100,100600,500"}) {
        ASSERT_TRUE(key.Write(kValue, stored));
        ASSERT_TRUE(Restore(window, HKEY_CURRENT_USER, key.Path(), kValue, 0)) << stored;
        RECT shown{};
        GetWindowRect(window, &shown);
        EXPECT_TRUE(shown.left >= work.left && shown.top >= work.top && shown.right <= work.right &&
                    shown.bottom <= work.bottom)
            << stored << ": " << shown;
        ASSERT_TRUE(Save(window, HKEY_CURRENT_USER, key.Path(), kValue, 0));
        Record record;
        ASSERT_TRUE(Parse(key.Read(kValue).c_str(), record));
        EXPECT_EQ(record.normal, NormalRect()) << stored;
    }
    // Partly off the screen with the title bar still on it: left as stored.
    ASSERT_TRUE(key.Write(kValue, L"1,-100,10,500,400"));
    ASSERT_TRUE(Restore(window, HKEY_CURRENT_USER, key.Path(), kValue, 0));
    EXPECT_EQ(NormalRect(), (RECT{-100, 10, 500, 400}));
}

TEST_F(WindowPlacementTest, UnusableValuesLeaveTheWindowAlone) {
    MoveTo(110, 120, 610, 410);
    RECT before = NormalRect();
    EXPECT_FALSE(Restore(window, HKEY_CURRENT_USER, key.Path(), kValue, 0)); // no value
    ASSERT_TRUE(key.Write(kValue, L"1,10,10,300"));
    EXPECT_FALSE(Restore(window, HKEY_CURRENT_USER, key.Path(), kValue, 0));
    ASSERT_TRUE(key.Write(kValue, L"1,10,10,300,200" + std::wstring(200, L' ')));
    EXPECT_FALSE(Restore(window, HKEY_CURRENT_USER, key.Path(), kValue, 0)); // beyond 260 bytes
    EXPECT_EQ(NormalRect(), before);
}

} // namespace
