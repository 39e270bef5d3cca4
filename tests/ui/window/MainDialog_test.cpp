// The real main window in the test process: what it asks of the maintenance services and when, and the status
// balloon that only a user looking at the program gets. The dialog runs modally as in the program; the checks run
// inside its message loop, and closing the window ends it.
#include "ui/window/MainDialog.h"

#include "ui/UiTestSupport.h"
#include "ui/window/MainWindowIds.h"
#include "ui/framework/ResourceIds.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kStoredValues[] = {
    L"Flags",      L"FontSize", L"BaudRate",   L"CharSendDelay", L"Parity",         L"StopBits", L"FontName",
    L"SerialPort", L"Filter",   L"TimeFormat", L"PowerLine",     L"AnimationChars", L"Main",     L"HexJournalSize"};

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

INT_PTR RunWithChecks(C_MainDialog& dialog, std::function<void(HWND)> checks) {
    constexpr UINT kLookIntervalMs = 50;
    g_checks = std::move(checks);
    SetTimer(nullptr, 0, kLookIntervalMs, RunChecks);
    const INT_PTR result = dialog.Run(GetModuleHandleW(nullptr));
    g_checks = nullptr;
    return result;
}

TEST(MainDialogTest, ConfiguresTheReportFirstAndStartsTheUpdateCheckOnlyWhenItIsOnAndStopsItAtTheEnd) {
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
        C_MainDialog dialog(services);
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

TEST(MainDialogTest, StartsReadyToTypeWithItsIconsTheFilterCueTheViewBetweenToolbarAndFieldAndAMinimumSize) {
    ProgramSettings stored(0);
    RecordingServices services;
    C_MainDialog dialog(services);
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
        RECT minimum = {0, 0, C_MainDialog::kMinimumWidth, C_MainDialog::kMinimumHeight}, client{};
        MapDialogRect(main, &minimum);
        GetClientRect(main, &client);
        EXPECT_GE(client.right, minimum.right);
        EXPECT_GE(client.bottom, minimum.bottom);
    });
}

TEST(MainDialogTest, StatusBalloonOnlyWhileTheProgramIsInTheForegroundAndGoneASecondLater) {
    ProgramSettings stored(0);
    RecordingServices services;
    bool hiddenWhileBehind = false, shownInFront = false, goneLater = false;
    C_MainDialog dialog(services);
    RunWithChecks(dialog, [&](HWND main) {
        // Another window in front, as another application's would be.
        HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                     nullptr, GetModuleHandleW(nullptr), nullptr);
        SetForegroundWindow(other);
        if (PumpUntil([&] { return GetForegroundWindow() == other; })) {
            SendMessageW(main, WM_SHOW_STATUS, reinterpret_cast<WPARAM>(L"Closed serial port"),
                         reinterpret_cast<LPARAM>(L"COM7"));
            hiddenWhileBehind = VisibleBalloon() == nullptr;
        }
        DestroyWindow(other);
        SetForegroundWindow(main);
        if (PumpUntil([&] { return GetForegroundWindow() == main; })) {
            SendMessageW(main, WM_SHOW_STATUS, reinterpret_cast<WPARAM>(L"Opening serial port"),
                         reinterpret_cast<LPARAM>(L"COM7"));
            shownInFront = VisibleBalloon() != nullptr;
            goneLater = PumpUntil([] { return VisibleBalloon() == nullptr; });
        }
    });
    EXPECT_TRUE(hiddenWhileBehind);
    EXPECT_TRUE(shownInFront);
    EXPECT_TRUE(goneLater);
}

} // namespace
