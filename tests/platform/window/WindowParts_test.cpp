// Window components: the layout manager's placements, the edit field icon's size and click, the web link's
// ways of opening its address, the back buffer's pixels.
#include "platform/window/BackBuffer.h"
#include "platform/window/EditIcon.h"
#include "platform/window/LayoutManager.h"
#include "platform/window/WebLink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(LayoutManagerTest, EdgesKeepTheirDistancesToTheEdgesTheyFollow) {
    using L = C_LayoutManager;
    const RECT original{10, 40, 390, 260};
    const SIZE before{400, 300}, after{600, 500};
    const struct {
        unsigned rules;
        RECT expected;
    } cases[] = {
        {0, {10, 40, 390, 260}},
        {L::RULE_STRETCH_WIDTH | L::RULE_STRETCH_HEIGHT, {10, 40, 590, 460}}, // the terminal view
        {L::RULE_STRETCH_WIDTH | L::RULE_MOVE_DOWN, {10, 240, 590, 460}},     // the filter field
        {L::RULE_MOVE_RIGHT, {210, 40, 590, 260}},
        {L::RULE_MOVE_RIGHT | L::RULE_MOVE_DOWN, {210, 240, 590, 460}},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(L::Place(original, before, c.rules, after) == c.expected) << "rules " << c.rules;
    // Made smaller than the layout allows, a stretched control shrinks to nothing rather than turning over.
    const RECT tiny = L::Place(original, before, L::RULE_STRETCH_WIDTH | L::RULE_STRETCH_HEIGHT, SIZE{5, 5});
    EXPECT_EQ(tiny.right, tiny.left);
    EXPECT_EQ(tiny.bottom, tiny.top);
}

TEST(EditIconTest, SizeIsSevenTenthsOfTheFieldPlusFourCutToEights) {
    const struct {
        int height;
        int size;
    } cases[] = {{21, 16}, {24, 16}, {29, 24}, {40, 32}, {5, 8}, {0, 8}};
    for (const auto& c : cases)
        EXPECT_EQ(C_EditIcon::IconSize(c.height), c.size) << "height " << c.height;
}

// The pixels are read as an image file stores them (the plot saves them so): the first row is the top one.
TEST(BackBufferTest, PixelsRunTopDownInBlueGreenRedOrderAndAnotherSizeIsANewPicture) {
    C_BackBuffer buffer;
    ASSERT_TRUE(buffer.Make(nullptr, {4, 3}));
    SetPixelV(buffer.Get(), 1, 0, RGB(0x10, 0x20, 0x30));
    GdiFlush();
    const uint8_t* top = buffer.Pixels() + 1 * 4;
    EXPECT_EQ(top[0], 0x30);
    EXPECT_EQ(top[1], 0x20);
    EXPECT_EQ(top[2], 0x10);
    ASSERT_TRUE(buffer.Make(nullptr, {2, 5}));
    EXPECT_EQ(buffer.Size().cx, 2);
    EXPECT_EQ(buffer.Size().cy, 5);
    EXPECT_EQ(GetPixel(buffer.Get(), 1, 0), RGB(0, 0, 0));
}

// A parent window that records the commands its children send.
std::vector<WPARAM> s_commands;
std::vector<std::wstring> s_opened;

LRESULT CALLBACK RecordingParent(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND)
        s_commands.push_back(wParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

void RecordOpen(const wchar_t* address) {
    s_opened.push_back(address);
}

class ChildControlTest : public ::testing::Test {
protected:
    static constexpr int kChildId = 1044;

    void SetUp() override {
        s_commands.clear();
        s_opened.clear();
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = RecordingParent;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"VeltoWindowPartsTest";
        RegisterClassW(&windowClass);
        parent = CreateWindowExW(0, L"VeltoWindowPartsTest", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent, nullptr);
    }
    void TearDown() override { DestroyWindow(parent); }

    HWND Child(const wchar_t* className, int height) {
        return CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 300, height, parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kChildId)), GetModuleHandleW(nullptr),
                               nullptr);
    }
    static LPARAM At(LONG x, LONG y) { return MAKELPARAM(x, y); }

    HWND parent = nullptr;
};

TEST_F(ChildControlTest, AClickReleasedOnTheEditIconIsTheFieldsCommandWithCodeZeroAndTheTextStopsBeforeIt) {
    HWND edit = Child(L"EDIT", 24);
    C_EditIcon icon;
    ASSERT_TRUE(icon.Attach(edit, GetModuleHandleW(nullptr), 1));
    const RECT area = icon.IconArea();
    EXPECT_EQ(area.right - area.left, C_EditIcon::IconSize(24));
    EXPECT_GE(HIWORD(SendMessageW(edit, EM_GETMARGINS, 0, 0)), WORD(area.right - area.left));
    const LONG x = (area.left + area.right) / 2, y = (area.top + area.bottom) / 2;
    SendMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
    SendMessageW(edit, WM_LBUTTONUP, 0, At(5, y)); // released beside it: nothing
    SendMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
    SendMessageW(edit, WM_LBUTTONUP, 0, At(x, y));
    SendMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, At(5, y)); // in the text: the edit's own
    SendMessageW(edit, WM_LBUTTONUP, 0, At(5, y));
    std::vector<WPARAM> clicks; // the edit's own notifications (focus, changes) aside
    for (WPARAM command : s_commands)
        if (HIWORD(command) == C_EditIcon::kClicked)
            clicks.push_back(command);
    EXPECT_EQ(clicks, std::vector<WPARAM>{MAKEWPARAM(kChildId, C_EditIcon::kClicked)});
}

TEST_F(ChildControlTest, TheWebLinkOpensItsAddressOnAClickEnterOrSpaceOnly) {
    HWND label = Child(L"STATIC", 20);
    C_WebLink link;
    ASSERT_TRUE(link.Attach(label, L"www.example.org", L"https://www.example.org/x", nullptr, RecordOpen));
    EXPECT_GT(link.TextWidth(), 0);
    SendMessageW(label, WM_LBUTTONUP, 0, At(5, 5));
    SendMessageW(label, WM_LBUTTONUP, 0, At(5, 500)); // released outside
    SendMessageW(label, WM_KEYDOWN, VK_RETURN, 0);
    SendMessageW(label, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(label, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(s_opened, std::vector<std::wstring>(3, L"https://www.example.org/x"));
    MSG enter{label, WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    EXPECT_TRUE(SendMessageW(label, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)) & DLGC_WANTMESSAGE);
}

} // namespace
