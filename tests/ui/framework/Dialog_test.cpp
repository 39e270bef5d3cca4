#include "platform/system/Handles.h"
#include "ui/framework/Dialog.h"
#include "ui/framework/ResourceIds.h"

#include "ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr UINT kAllowAndClose = WM_APP + 10;
constexpr UINT kForeignTemplate = 4100; // stored in Japanese only (TestResources.rc)
constexpr UINT kMissingTemplate = 9999;

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

// A dialog that records what the framework asks of it and can refuse to end.
class RecordingDialog : public C_Dialog {
public:
    std::vector<INT_PTR> endRequests;
    bool allowEnd = true;
    INT_PTR initAnswer = TRUE;
    int themeChecks = 0;
    std::vector<std::pair<UINT, WPARAM>> postOnInit; // messages (and wParam) posted from OnInitDialog

protected:
    INT_PTR OnInitDialog() override {
        for (auto& message : postOnInit)
            PostMessageW(GetWindow(), message.first, message.second, 0);
        return initAnswer;
    }
    INT_PTR OnEnd(INT_PTR result) override {
        endRequests.push_back(result);
        return allowEnd;
    }
    INT_PTR OnCommand(WORD id, WPARAM wParam, LPARAM lParam) override {
        if (id == IDOK || id == IDC_OK) {
            End(1);
            return TRUE;
        }
        return C_Dialog::OnCommand(id, wParam, lParam);
    }
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kAllowAndClose) {
            allowEnd = true;
            PostMessageW(GetWindow(), WM_CLOSE, 0, 0);
            return TRUE;
        }
        return C_Dialog::OnMessage(message, wParam, lParam);
    }
    void OnThemeChanged() override {
        ++themeChecks;
        C_Dialog::OnThemeChanged();
    }
};

struct ExpectedControl {
    int id;
    const wchar_t* windowClass;
    RECT units; // x, y, width, height in dialog units
};

struct ExpectedTemplate {
    UINT id;
    SIZE units;
    DWORD requiredStyle;
    std::vector<ExpectedControl> controls;
};

const std::vector<ExpectedTemplate> kTemplates = {
    {IDD_MAIN,
     {525, 250},
     WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN,
     {{IDC_WEB_LINK, L"Static", {320, 5, 71, 14}}, {IDC_FILTER, L"Edit", {4, 232, 517, 14}}}},
    {IDD_OPTIONS,
     {337, 264},
     WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
     {{IDC_OPTIONS_SEND_DELAY_LABEL, L"Static", {5, 5, 100, 14}},
      {IDC_OPTIONS_SEND_DELAY, L"ComboBox", {110, 5, 60, 0}},
      {IDC_OPTIONS_BAUD_RATE_LABEL, L"Static", {5, 25, 100, 14}},
      {IDC_OPTIONS_BAUD_RATE, L"ComboBox", {110, 25, 60, 0}},
      {IDC_OPTIONS_PARITY_LABEL, L"Static", {5, 45, 100, 14}},
      {IDC_OPTIONS_PARITY, L"ComboBox", {110, 45, 60, 0}},
      {IDC_OPTIONS_STOP_BITS_LABEL, L"Static", {5, 65, 100, 14}},
      {IDC_OPTIONS_STOP_BITS, L"ComboBox", {110, 65, 60, 0}},
      {IDC_OPTIONS_FONT_LABEL, L"Static", {5, 85, 100, 14}},
      {IDC_OPTIONS_FONT, L"ComboBox", {110, 85, 124, 0}},
      {IDC_OPTIONS_FONT_SIZE, L"ComboBox", {239, 85, 45, 0}},
      {IDC_OPTIONS_BOLD, L"Button", {291, 85, 43, 14}},
      {IDC_OPTIONS_TIME_FORMAT_LABEL, L"Static", {5, 105, 100, 14}},
      {IDC_OPTIONS_TIME_FORMAT, L"ComboBox", {110, 105, 221, 0}},
      {IDC_OPTIONS_TEXT_FILES_LABEL, L"Static", {5, 125, 100, 14}},
      {IDC_OPTIONS_TEXT_FILES, L"ComboBox", {110, 125, 124, 0}},
      {IDC_OPTIONS_AUTO_UPDATE, L"Button", {5, 145, 325, 14}},
      {IDC_OK, L"Button", {208, 245, 60, 14}},
      {IDC_CANCEL, L"Button", {272, 245, 60, 14}}}},
    {IDD_SEARCH_BAR,
     {229, 45},
     WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE,
     {{IDC_SEARCH_TEXT, L"Edit", {5, 5, 180, 14}},
      {IDC_SEARCH_CASE, L"Button", {5, 25, 220, 14}},
      {IDC_SEARCH_PREVIOUS, L"Button", {190, 5, 15, 14}},
      {IDC_SEARCH_NEXT, L"Button", {210, 5, 15, 14}}}},
    {IDD_TAG,
     {181, 44},
     WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
     {{IDC_TAG_LABEL, L"Static", {5, 5, 40, 14}},
      {IDC_TAG_TEXT, L"Edit", {50, 5, 125, 14}},
      {IDC_OK, L"Button", {50, 25, 60, 14}},
      {IDC_CANCEL, L"Button", {115, 25, 60, 14}}}},
};

// Each of x, y, width and height converted on its own, as the dialog manager places controls.
RECT InPixels(HWND dialog, RECT units) {
    RECT rect = units;
    MapDialogRect(dialog, &rect);
    return {rect.left, rect.top, rect.left + rect.right, rect.top + rect.bottom};
}

RECT ClientRectOf(HWND control, HWND dialog) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

LONG_PTR StyleOf(HWND window) {
    return GetWindowLongPtrW(window, GWL_STYLE);
}

TEST(DialogTemplateTest, EachTemplateShowsItsControlsInPlace) {
    for (const ExpectedTemplate& shape : kTemplates) {
        SCOPED_TRACE(shape.id);
        RecordingDialog dialog;
        HWND window = dialog.RunModeless(Instance(), shape.id, 0, nullptr);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(dialog.GetWindow(), window);
        EXPECT_EQ(StyleOf(window) & shape.requiredStyle, LONG_PTR(shape.requiredStyle));
        RECT client, size = InPixels(window, {0, 0, shape.units.cx, shape.units.cy});
        GetClientRect(window, &client);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);
        for (const ExpectedControl& control : shape.controls) {
            SCOPED_TRACE(control.id);
            HWND item = dialog.GetItem(control.id);
            ASSERT_NE(item, nullptr);
            EXPECT_EQ(ClassOf(item), control.windowClass);
            RECT expected = InPixels(window, control.units), actual = ClientRectOf(item, window);
            EXPECT_EQ(actual.left, expected.left);
            EXPECT_EQ(actual.top, expected.top);
            EXPECT_EQ(actual.right, expected.right);
            if (control.units.bottom) { // a combo box's height includes its list
                EXPECT_EQ(actual.bottom, expected.bottom);
            }
        }
        dialog.End(0);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(dialog.GetWindow(), nullptr);
    }
}

TEST(DialogTemplateTest, OptionsControlsHaveTheirKinds) {
    RecordingDialog dialog;
    ASSERT_NE(dialog.RunModeless(Instance(), IDD_OPTIONS, 0, nullptr), nullptr);
    const LONG_PTR ownerDrawn = CBS_OWNERDRAWVARIABLE | CBS_HASSTRINGS;
    for (int id : {IDC_OPTIONS_SEND_DELAY, IDC_OPTIONS_BAUD_RATE, IDC_OPTIONS_TIME_FORMAT}) {
        EXPECT_EQ(StyleOf(dialog.GetItem(id)) & 3, CBS_DROPDOWN) << id;
        EXPECT_EQ(StyleOf(dialog.GetItem(id)) & ownerDrawn, ownerDrawn) << id;
    }
    for (int id : {IDC_OPTIONS_PARITY, IDC_OPTIONS_STOP_BITS, IDC_OPTIONS_FONT, IDC_OPTIONS_FONT_SIZE}) {
        EXPECT_EQ(StyleOf(dialog.GetItem(id)) & 3, CBS_DROPDOWNLIST) << id;
        EXPECT_EQ(StyleOf(dialog.GetItem(id)) & ownerDrawn, ownerDrawn) << id;
    }
    EXPECT_TRUE(StyleOf(dialog.GetItem(IDC_OPTIONS_FONT)) & CBS_SORT);
    EXPECT_EQ(StyleOf(dialog.GetItem(IDC_OK)) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(StyleOf(dialog.GetItem(IDC_OPTIONS_BOLD)) & BS_TYPEMASK, BS_AUTOCHECKBOX);
}

TEST(DialogTemplateTest, SearchBarArrowsSurviveTheResourceCompiler) {
    RecordingDialog dialog;
    ASSERT_NE(dialog.RunModeless(Instance(), IDD_SEARCH_BAR, 0, nullptr), nullptr);
    C_String text;
    dialog.GetItemText(IDC_SEARCH_NEXT, text);
    EXPECT_STREQ(text.c_str(), L"\x25BC");
    dialog.GetItemText(IDC_SEARCH_PREVIOUS, text);
    EXPECT_STREQ(text.c_str(), L"\x25B2");
    dialog.GetItemText(IDC_SEARCH_CASE, text);
    EXPECT_STREQ(text.c_str(), L"Groß-/Kleinschreibung");
}

TEST(DialogRunTest, EveryTemplateRunsModally) {
    for (const ExpectedTemplate& shape : kTemplates) {
        RecordingDialog dialog;
        dialog.postOnInit = {{WM_CLOSE, 0}};
        EXPECT_EQ(dialog.RunModal(Instance(), shape.id, 0, nullptr), 0) << shape.id;
        EXPECT_EQ(dialog.endRequests, std::vector<INT_PTR>({0}));
    }
}

TEST(DialogRunTest, MissingTemplateIsReportedNotShown) {
    RecordingDialog dialog;
    EXPECT_EQ(dialog.RunModal(Instance(), kMissingTemplate, 0, nullptr), -1);
    EXPECT_EQ(dialog.RunModeless(Instance(), kMissingTemplate, 0, nullptr), nullptr);
    EXPECT_TRUE(dialog.endRequests.empty());
}

TEST(DialogRunTest, TemplateOutsideTheLanguageOrderIsStillFound) {
    RecordingDialog dialog;
    dialog.postOnInit = {{WM_COMMAND, IDOK}};
    EXPECT_EQ(dialog.RunModal(Instance(), kForeignTemplate, 0, nullptr), 1);
}

TEST(DialogRunTest, InitAnswerZeroAbortsWithMinusOne) {
    RecordingDialog dialog;
    dialog.initAnswer = 0;
    EXPECT_EQ(dialog.RunModal(Instance(), IDD_TAG, 0, nullptr), -1);
    EXPECT_EQ(dialog.endRequests, std::vector<INT_PTR>({-1}));
}

TEST(DialogEndTest, OnEndVetoKeepsAModalDialogOpen) {
    RecordingDialog dialog;
    dialog.allowEnd = false;
    // OK, Cancel, the close box's command and the close box itself, all refused; then allowed.
    dialog.postOnInit = {{WM_COMMAND, IDC_OK},
                         {WM_COMMAND, IDCANCEL},
                         {WM_COMMAND, C_Dialog::kCloseCommand},
                         {WM_CLOSE, 0},
                         {kAllowAndClose, 0}};
    EXPECT_EQ(dialog.RunModal(Instance(), IDD_OPTIONS, 0, nullptr), 0);
    EXPECT_EQ(dialog.endRequests, std::vector<INT_PTR>({1, 0, 0, 0, 0}));
}

TEST(DialogEndTest, OnEndVetoKeepsAModelessDialogOpen) {
    RecordingDialog dialog;
    dialog.allowEnd = false;
    HWND window = dialog.RunModeless(Instance(), IDD_TAG, 0, nullptr);
    ASSERT_NE(window, nullptr);
    SendMessageW(window, WM_COMMAND, IDC_OK, 0);
    SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(dialog.GetWindow(), window);
    dialog.allowEnd = true;
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(dialog.GetWindow(), nullptr);
    EXPECT_EQ(dialog.endRequests, std::vector<INT_PTR>({1, 0, 0, 0}));
}

TEST(DialogEndTest, SelfDeletingDialogGoesWithItsWindow) {
    static bool s_deleted;
    struct SelfDeleting : RecordingDialog {
        ~SelfDeleting() override { s_deleted = true; }
    };
    s_deleted = false;
    auto* dialog = new SelfDeleting;
    HWND window = dialog->RunModeless(Instance(), IDD_TAG, C_Dialog::STYLE_SELF_DELETE, nullptr);
    ASSERT_NE(window, nullptr);
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(s_deleted);
    EXPECT_FALSE(IsWindow(window));

    s_deleted = false;
    dialog = new SelfDeleting;
    dialog->postOnInit = {{WM_CLOSE, 0}};
    EXPECT_EQ(dialog->RunModal(Instance(), IDD_TAG, C_Dialog::STYLE_SELF_DELETE, nullptr), 0);
    EXPECT_TRUE(s_deleted);
}

TEST(DialogEndTest, DestroyedFromOutsideTheObjectForgetsItsWindow) {
    RecordingDialog dialog;
    HWND window = dialog.RunModeless(Instance(), IDD_TAG, 0, nullptr);
    ASSERT_NE(window, nullptr);
    DestroyWindow(window);
    EXPECT_EQ(dialog.GetWindow(), nullptr);
    EXPECT_NE(dialog.RunModeless(Instance(), IDD_TAG, 0, nullptr), nullptr); // and may run again
}

TEST(DialogBehaviourTest, StartHiddenSuppressesOnlyTheFirstShow) {
    RecordingDialog dialog;
    HWND window = dialog.RunModeless(Instance(), IDD_SEARCH_BAR, C_Dialog::STYLE_START_HIDDEN, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window)); // the template says visible
    EXPECT_FALSE(dialog.GetStyle() & C_Dialog::STYLE_START_HIDDEN);
    ShowWindow(window, SW_SHOW);
    EXPECT_TRUE(IsWindowVisible(window));

    RecordingDialog normal;
    HWND shown = normal.RunModeless(Instance(), IDD_SEARCH_BAR, 0, nullptr);
    EXPECT_TRUE(IsWindowVisible(shown));
}

SIZE OuterSize(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

TEST(DialogBehaviourTest, MinimumSizeInDialogUnits) {
    RecordingDialog dialog;
    HWND window = dialog.RunModeless(Instance(), IDD_MAIN, 0, nullptr);
    ASSERT_NE(window, nullptr);
    dialog.SetMinimumSize(200, 150, true);
    RECT expected = InPixels(window, {0, 0, 200, 150});
    AdjustWindowRectEx(&expected, DWORD(StyleOf(window)), FALSE, DWORD(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    EXPECT_EQ(dialog.GetMinimumWidth(), expected.right - expected.left);
    EXPECT_EQ(dialog.GetMinimumHeight(), expected.bottom - expected.top);

    SetWindowPos(window, nullptr, 0, 0, 50, 40, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SIZE size = OuterSize(window);
    EXPECT_EQ(size.cx, dialog.GetMinimumWidth());
    EXPECT_EQ(size.cy, dialog.GetMinimumHeight());

    SetWindowPos(window, nullptr, 0, 0, dialog.GetMinimumWidth() + 40, 30, SWP_NOMOVE | SWP_NOZORDER);
    size = OuterSize(window);
    EXPECT_EQ(size.cx, dialog.GetMinimumWidth() + 40); // only the dimension below the minimum is raised
    EXPECT_EQ(size.cy, dialog.GetMinimumHeight());
}

TEST(DialogBehaviourTest, MinimumSizeInPixelsScalesWithTheDpi) {
    RecordingDialog dialog;
    HWND window = dialog.RunModeless(Instance(), IDD_TAG, 0, nullptr);
    ASSERT_NE(window, nullptr);
    dialog.SetMinimumSize(300, -1, false);
    const int dpi = GetDeviceCaps(C_WindowDc(nullptr).Get(), LOGPIXELSY);
    EXPECT_EQ(dialog.GetMinimumWidth(), MulDiv(300, dpi, 96));
    EXPECT_EQ(dialog.GetMinimumHeight(), C_Dialog::kNoMinimum);
    SetWindowPos(window, nullptr, 0, 0, 10, 10, SWP_NOMOVE | SWP_NOZORDER);
    SIZE size = OuterSize(window);
    EXPECT_EQ(size.cx, dialog.GetMinimumWidth());
    EXPECT_EQ(size.cy, 10);
}

COLORREF PixelAfterErase(HWND window) {
    const C_WindowDc screen(nullptr);
    const C_MemoryDc memory(CreateCompatibleDC(screen.Get()));
    const C_Bitmap bitmap(CreateCompatibleBitmap(screen.Get(), 8, 8));
    const C_SelectedObject selected(memory.Get(), bitmap.Get());
    RECT all = {0, 0, 8, 8};
    FillRect(memory.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory.Get()), 0);
    return GetPixel(memory.Get(), 2, 2);
}

TEST(DialogBehaviourTest, DarkModePaintsBackgroundAndStatics) {
    RecordingDialog dark;
    HWND window = dark.RunModeless(Instance(), IDD_TAG, C_Dialog::STYLE_DARK_MODE_ACTIVE, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(PixelAfterErase(window), C_Dialog::kDarkBackground);
    const C_WindowDc dc(window);
    LRESULT brush = SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.Get()),
                                 reinterpret_cast<LPARAM>(dark.GetItem(IDC_TAG_LABEL)));
    EXPECT_NE(brush, 0);
    EXPECT_EQ(GetTextColor(dc.Get()), C_Dialog::kDarkText);
    EXPECT_EQ(GetBkColor(dc.Get()), C_Dialog::kDarkBackground);

    RecordingDialog light;
    HWND lightWindow = light.RunModeless(Instance(), IDD_TAG, 0, nullptr);
    EXPECT_NE(PixelAfterErase(lightWindow), C_Dialog::kDarkBackground);
}

TEST(DialogBehaviourTest, ColourSchemeChangeChecksTheThemeAgain) {
    RecordingDialog dialog;
    HWND window = dialog.RunModeless(Instance(), IDD_TAG, C_Dialog::STYLE_DARK_MODE_ALLOWED, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(dialog.themeChecks, 1);
    SendMessageW(window, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
    EXPECT_TRUE(PumpUntil([&] { return dialog.themeChecks == 2; }));
    SendMessageW(window, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"intl"));
    SendMessageW(window, WM_SETTINGCHANGE, 0, 0);
    PumpPending();
    EXPECT_EQ(dialog.themeChecks, 2);
}

TEST(DialogControlsTest, TextAndCheckUtilities) {
    RecordingDialog dialog;
    ASSERT_NE(dialog.RunModeless(Instance(), IDD_OPTIONS, 0, nullptr), nullptr);
    EXPECT_TRUE(dialog.SetItemText(IDC_OPTIONS_SEND_DELAY, L"250 ms"));
    C_String text;
    EXPECT_TRUE(dialog.GetItemText(IDC_OPTIONS_SEND_DELAY, text));
    EXPECT_STREQ(text.c_str(), L"250 ms");
    EXPECT_TRUE(dialog.GetItemText(IDC_OPTIONS_SEND_DELAY, text, 4));
    EXPECT_STREQ(text.c_str(), L"250");
    EXPECT_FALSE(dialog.GetItemText(12345, text));
    EXPECT_STREQ(text.c_str(), L"");

    EXPECT_FALSE(dialog.IsItemChecked(IDC_OPTIONS_BOLD));
    dialog.CheckItem(IDC_OPTIONS_BOLD, true);
    EXPECT_TRUE(dialog.IsItemChecked(IDC_OPTIONS_BOLD));
    EXPECT_EQ(dialog.SendItemMessage(IDC_OPTIONS_BOLD, BM_GETCHECK), BST_CHECKED);
}

TEST(DialogControlsTest, IconsAreLoadedAtBothSystemSizes) {
    RecordingDialog dialog;
    HWND window = dialog.RunModeless(Instance(), IDD_TAG, 0, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(dialog.SetIcon(IDI_PROGRAM));
    auto small = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0));
    auto large = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0));
    ASSERT_NE(small, nullptr);
    ASSERT_NE(large, nullptr);
    ICONINFO info;
    BITMAP bitmap;
    ASSERT_TRUE(GetIconInfo(small, &info));
    const C_Bitmap colour(info.hbmColor), mask(info.hbmMask);
    GetObjectW(colour.Get(), sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(SM_CXSMICON));
    EXPECT_TRUE(dialog.SetIcon(IDI_PORT_FTDI)); // replacing frees the old pair
    EXPECT_FALSE(dialog.SetIcon(kMissingTemplate));
}

} // namespace
