#include "ui/framework/WindowPlacement.h"

#include "ui/framework/Dialog.h"
#include "ui/framework/ResourceIds.h"

#include "ui/UiTestSupport.h"

#include <gtest/gtest.h>

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
