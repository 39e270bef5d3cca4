// The real main window in the test process: what it asks of the maintenance services and when, and the status
// balloon that only a user looking at the program gets. The dialog runs modally as in the program; the checks run
// inside its message loop, and closing the window ends it.
#include "ui/window/MainFrame.h"

#include "ui/UiTestSupport.h"
#include "ui/window/MainWindowIds.h"
#include "ui/framework/ResourceIds.h"

#include "support/VirtualPort.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kStoredValues[] = {L"Flags",  L"FontSize",   L"BaudRate",    L"CharSendDelay",
                                            L"Parity", L"StopBits",   L"FontName",    L"SerialPort",
                                            L"Filter", L"TimeFormat", L"PowerLine",   L"AnimationChars",
                                            L"Main",   L"DataBits",   L"FlowControl", L"HexJournalSize"};

// The program's own key: the main window knows no other. Only the values it writes are removed afterwards;
// other tests keep subkeys there.
class ProgramSettings {
public:
    explicit ProgramSettings(uint32_t flags) {
        Clear();
        C_RegistryKey key;
        const DWORD value = flags;
        if (key.Create(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_SET_VALUE))
            RegSetValueExW(key.Get(), L"Flags", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }
    ~ProgramSettings() { Clear(); }
    ProgramSettings(const ProgramSettings&) = delete;
    ProgramSettings& operator=(const ProgramSettings&) = delete;

private:
    static void Clear() {
        C_RegistryKey key;
        if (key.Open(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_SET_VALUE))
            for (const wchar_t* name : kStoredValues)
                RegDeleteValueW(key.Get(), name);
    }
};

// Records every request.
class RecordingServices final : public C_ServiceHooks {
public:
    std::vector<std::wstring> calls;

    void ConfigureProblemReport(UINT iconId, const wchar_t* reportPath) override {
        calls.push_back(L"configure " + std::to_wstring(iconId) + L" " + reportPath);
    }
    void StartUpdateCheck(HWND main, HKEY root, const wchar_t* keyPath, const wchar_t* valueName) override {
        calls.push_back(std::wstring(L"start ") + (main ? L"window " : L"none ") +
                        (root == HKEY_CURRENT_USER ? L"HKCU " : L"? ") + keyPath + L" " + valueName);
    }
    void StopUpdateCheck() override { calls.push_back(L"stop"); }
};

// A visible window of this thread with the class (and, when given, the style bits).
struct WindowSearch {
    const wchar_t* className;
    LONG style;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (wcscmp(className, search->className) != 0 || !IsWindowVisible(window) ||
        (GetWindowLongW(window, GWL_STYLE) & search->style) != search->style)
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindThreadWindow(const wchar_t* className, LONG style = 0) {
    WindowSearch search{className, style, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND MainWindow() {
    return FindThreadWindow(L"#32770");
}

HWND VisibleBalloon() {
    return FindThreadWindow(TOOLTIPS_CLASSW, TTS_BALLOON);
}

// Runs the dialog modally; once its window shows, checks(main) runs inside its message loop and the window is
// closed afterwards, as its close box would.
std::function<void(HWND)> g_checks;

void CALLBACK RunChecks(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND main = MainWindow();
    if (!main)
        return;
    KillTimer(nullptr, timer);
    if (g_checks)
        g_checks(main);
    PostMessageW(main, WM_CLOSE, 0, 0);
}

INT_PTR RunWithChecks(C_MainFrame& dialog, std::function<void(HWND)> checks) {
    constexpr UINT kLookIntervalMs = 50;
    g_checks = std::move(checks);
    SetTimer(nullptr, 0, kLookIntervalMs, RunChecks);
    const INT_PTR result = dialog.Run(GetModuleHandleW(nullptr));
    g_checks = nullptr;
    return result;
}

TEST(MainFrameTest, ConfiguresTheReportFirstAndStartsTheUpdateCheckOnlyWhenItIsOnAndStopsItAtTheEnd) {
    const struct {
        uint32_t flags;
        std::vector<std::wstring> calls;
    } cases[] = {
        {FLAG_AUTO_UPDATE,
         {L"configure 101 /services/quarle/report.php", L"start window HKCU Software\\Brannick\\Velto LastCheck",
          L"stop"}},
        {0, {L"configure 101 /services/quarle/report.php", L"stop"}},
    };
    for (const auto& c : cases) {
        ProgramSettings stored(c.flags);
        RecordingServices services;
        C_MainFrame dialog(services);
        EXPECT_EQ(RunWithChecks(dialog, nullptr), 0);
        EXPECT_EQ(services.calls, c.calls) << "flags " << c.flags;
    }
}

RECT ChildRect(HWND main, HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

TEST(MainFrameTest, StartsReadyToTypeWithItsIconsTheFilterCueTheViewBetweenToolbarAndFieldAndAMinimumSize) {
    ProgramSettings stored(0);
    RecordingServices services;
    C_MainFrame dialog(services);
    RunWithChecks(dialog, [&](HWND main) {
        HWND view = GetDlgItem(main, IDC_MAIN_VIEW);
        HWND field = GetDlgItem(main, IDC_FILTER);
        HWND bands = FindWindowExW(main, nullptr, REBARCLASSNAMEW, nullptr);
        ASSERT_TRUE(view && field && bands);
        EXPECT_EQ(GetFocus(), view);
        EXPECT_TRUE(SendMessageW(main, WM_GETICON, ICON_BIG, 0));
        EXPECT_TRUE(SendMessageW(main, WM_GETICON, ICON_SMALL, 0));

        wchar_t cue[256] = {};
        SendMessageW(field, EM_GETCUEBANNER, reinterpret_cast<WPARAM>(cue), 256);
        C_StringTable strings;
        EXPECT_STREQ(cue, strings.LoadString(IDS_FILTER_CUE));

        const RECT viewRect = ChildRect(main, view), fieldRect = ChildRect(main, field),
                   bandRect = ChildRect(main, bands);
        EXPECT_GE(viewRect.top, bandRect.bottom);
        EXPECT_LE(viewRect.bottom, fieldRect.top);

        // Sizing below the minimum stops at 200 x 150 dialog units of client area.
        SetWindowPos(main, nullptr, 0, 0, 1, 1, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT minimum = {0, 0, C_MainFrame::kMinimumWidth, C_MainFrame::kMinimumHeight}, client{};
        MapDialogRect(main, &minimum);
        GetClientRect(main, &client);
        EXPECT_GE(client.right, minimum.right);
        EXPECT_GE(client.bottom, minimum.bottom);
    });
}

TEST(MainFrameTest, StatusBalloonOnlyWhileTheProgramIsInTheForegroundAndGoneASecondLater) {
    ProgramSettings stored(0);
    RecordingServices services;
    bool hiddenWhileBehind = false, shownInFront = false, goneLater = false;
    C_MainFrame dialog(services);
    RunWithChecks(dialog, [&](HWND main) {
        // Another window in front, as another application's would be.
        HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                     nullptr, GetModuleHandleW(nullptr), nullptr);
        SetForegroundWindow(other);
        // The statuses come from the tab's session, through its mailbox.
        HWND mailbox = FindWindowExW(HWND_MESSAGE, nullptr, L"VeltoSessionMailbox", nullptr);
        ASSERT_TRUE(mailbox);
        if (PumpUntil([&] { return GetForegroundWindow() == other; })) {
            SendMessageW(mailbox, WM_SHOW_STATUS, reinterpret_cast<WPARAM>(L"Closed serial port"),
                         reinterpret_cast<LPARAM>(L"COM7"));
            hiddenWhileBehind = VisibleBalloon() == nullptr;
        }
        DestroyWindow(other);
        SetForegroundWindow(main);
        if (PumpUntil([&] { return GetForegroundWindow() == main; })) {
            SendMessageW(mailbox, WM_SHOW_STATUS, reinterpret_cast<WPARAM>(L"Opening serial port"),
                         reinterpret_cast<LPARAM>(L"COM7"));
            shownInFront = VisibleBalloon() != nullptr;
            goneLater = PumpUntil([] { return VisibleBalloon() == nullptr; });
        }
    });
    EXPECT_TRUE(hiddenWhileBehind);
    EXPECT_TRUE(shownInFront);
    EXPECT_TRUE(goneLater);
}

// The port menu as the user sees it, read from the real menu while it is up: "text|" with g (greyed) and c
// (checked), separators as "-".
std::vector<std::wstring> g_menuItems;

void CALLBACK ReadAndCloseMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND menuWindow = FindThreadWindow(L"#32768");
    HMENU menu = menuWindow ? reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0)) : nullptr;
    if (!menu)
        return;
    KillTimer(nullptr, timer);
    for (int item = 0; item < GetMenuItemCount(menu); ++item) {
        const UINT state = GetMenuState(menu, UINT(item), MF_BYPOSITION);
        wchar_t text[100] = {};
        GetMenuStringW(menu, UINT(item), text, 100, MF_BYPOSITION);
        g_menuItems.push_back((state & MF_SEPARATOR) ? L"-"
                                                     : std::wstring(text) + L"|" + ((state & MF_GRAYED) ? L"g" : L"") +
                                                           ((state & MF_CHECKED) ? L"c" : L""));
    }
    EndMenu();
}

std::vector<std::wstring> PortMenuOf(HWND main, HWND toolbar, int command) {
    constexpr UINT kLookIntervalMs = 20;
    g_menuItems.clear();
    NMMOUSE click{};
    click.hdr.hwndFrom = toolbar;
    click.hdr.idFrom = IDC_MAIN_TOOLBAR;
    click.hdr.code = NM_RCLICK;
    click.dwItemSpec = DWORD_PTR(command);
    const UINT_PTR timer = SetTimer(nullptr, 0, kLookIntervalMs, ReadAndCloseMenu);
    SendMessageW(main, WM_NOTIFY, IDC_MAIN_TOOLBAR, reinterpret_cast<LPARAM>(&click));
    KillTimer(nullptr, timer); // when no menu came up
    return g_menuItems;
}

// The command of the port button showing text; 0 when there is none.
int PortCommand(HWND toolbar, const std::wstring& text) {
    for (int command = CMD_PORT_FIRST; command <= CMD_PORT_LAST; ++command) {
        wchar_t shown[100] = {};
        if (SendMessageW(toolbar, TB_GETBUTTONTEXTW, WPARAM(command), reinterpret_cast<LPARAM>(shown)) < 0)
            return 0;
        if (text == shown)
            return command;
    }
    return 0;
}

TEST(MainFrameTest, ThePortMenuOffersTheLineOnlyForTheOpenPortAndShowsItsModemLines) {
    VirtualPort port(50); // the user-interface tests' own; other test programs use other numbers
    ASSERT_TRUE(port.IsReady()) << port.Problem();
    ProgramSettings stored(0);
    {
        C_RegistryKey key;
        const std::wstring name = port.Name();
        ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_SET_VALUE));
        RegSetValueExW(key.Get(), L"SerialPort", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                       DWORD((name.size() + 1) * sizeof(wchar_t)));
    }
    RecordingServices services;
    C_MainFrame dialog(services);
    std::vector<std::wstring> open, closed, other;
    RunWithChecks(dialog, [&](HWND main) {
        HWND bands = FindWindowExW(main, nullptr, REBARCLASSNAMEW, nullptr);
        HWND toolbar = bands ? FindWindowExW(bands, nullptr, TOOLBARCLASSNAMEW, nullptr) : nullptr;
        ASSERT_TRUE(toolbar);
        int command = 0;
        auto pressed = [&] {
            command = PortCommand(toolbar, port.Name());
            return command && (SendMessageW(toolbar, TB_GETSTATE, WPARAM(command), 0) & TBSTATE_PRESSED);
        };
        ASSERT_TRUE(PumpUntil(pressed, 60000)) << "the port opened";
        open = PortMenuOf(main, toolbar, command);
        SendMessageW(main, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), reinterpret_cast<LPARAM>(toolbar));
        ASSERT_TRUE(PumpUntil([&] { return !pressed(); }, 60000)) << "the port closed";
        closed = PortMenuOf(main, toolbar, command);
        const int otherCommand = PortCommand(toolbar, L"COM1"); // every prefix lists it
        ASSERT_NE(otherCommand, 0);
        other = PortMenuOf(main, toolbar, otherCommand);
    });
    const std::vector<std::wstring> expectedOpen = {
        L"Line settings\x2026|", L"Tag\x2026|", L"-", L"DTR|c", L"RTS|c", L"-", L"Send break|", L"Reset pulse|"};
    const std::vector<std::wstring> expectedClosed = {
        L"Line settings\x2026|", L"Tag\x2026|", L"-", L"DTR|g", L"RTS|g", L"-", L"Send break|g", L"Reset pulse|g"};
    EXPECT_EQ(open, expectedOpen);
    EXPECT_EQ(closed, expectedClosed);
    EXPECT_EQ(other, expectedClosed) << "another port's line cannot be reached through the open one";
}

} // namespace
