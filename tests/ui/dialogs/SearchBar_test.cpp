#include "ui/dialogs/SearchBar.h"

#include "foundation/settings/Options.h"
#include "ui/framework/Language.h"
#include "ui/framework/MessageWatch.h"
#include "ui/framework/ResourceIds.h"

#include "ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

constexpr uint32_t kForward = C_LineStore::SEARCH_FORWARD;
constexpr uint32_t kBackward = C_LineStore::SEARCH_BACKWARD;
constexpr uint32_t kMatchCase = C_LineStore::SEARCH_MATCH_CASE;
constexpr uint32_t kIncremental = C_LineStore::SEARCH_INCREMENTAL;

struct SearchCall {
    std::wstring text;
    uint32_t flags;
    int64_t start;
    DWORD at; // tick count
    bool operator==(const SearchCall& other) const {
        return text == other.text && flags == other.flags && start == other.start;
    }
};

std::ostream& operator<<(std::ostream& out, const SearchCall& call) {
    return out << std::string(call.text.begin(), call.text.end()) << (call.flags & kBackward ? " backward" : " forward")
               << (call.flags & kMatchCase ? " case" : "") << " from " << call.start
               << (call.flags & kIncremental ? " incremental" : "");
}

class RecordingHost : public C_SearchHost {
public:
    bool Search(const wchar_t* text, uint32_t searchFlags, int64_t start) override {
        searches.push_back({text, searchFlags, start, GetTickCount()});
        return true;
    }
    void SetSearchButtonState(SearchButtonState state) override { buttons.push_back(state); }

    std::vector<SearchCall> searches;
    std::vector<SearchButtonState> buttons;
};

// Holds modifier keys down in the thread's keyboard state, as GetKeyState sees them, for one scope.
class HeldKeys {
public:
    explicit HeldKeys(std::initializer_list<int> keys) {
        GetKeyboardState(m_saved);
        BYTE state[256];
        GetKeyboardState(state);
        for (int key : keys)
            state[key] |= 0x80;
        SetKeyboardState(state);
    }
    ~HeldKeys() { SetKeyboardState(m_saved); }

private:
    BYTE m_saved[256];
};

// A window standing in for the terminal view: it records the keys that reach it.
class ViewWindow {
public:
    ViewWindow() {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = Instance();
        windowClass.lpszClassName = L"SearchBarTestView";
        RegisterClassW(&windowClass);
        m_window = CreateWindowExW(0, L"SearchBarTestView", L"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                   nullptr, Instance(), nullptr);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~ViewWindow() { DestroyWindow(m_window); }
    HWND Get() const { return m_window; }

    std::vector<UINT> received; // keyboard messages

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<ViewWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message >= WM_KEYFIRST && message <= WM_KEYLAST)
            self->received.push_back(message);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    HWND m_window;
};

class SearchBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        Language::SetInterfaceLanguage(Language::kEnglishUk);
        bar.SetPlacementKey(HKEY_CURRENT_USER, key.Path());
    }
    void TearDown() override {
        if (bar.IsOpen())
            bar.Toggle(Instance(), owner.Get());
    }

    HWND Open() {
        bar.Toggle(Instance(), owner.Get());
        EXPECT_TRUE(bar.IsOpen());
        return bar.GetWindow();
    }
    HWND Field() const { return GetDlgItem(bar.GetWindow(), IDC_SEARCH_TEXT); }
    void Click(int id) {
        SendMessageW(bar.GetWindow(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(bar.GetWindow(), id)));
    }
    // A key as the message loop would take it from the queue (the hook sees it there).
    void PressKey(HWND target, UINT message, WPARAM key) {
        PostMessageW(target, message, key, 1);
        PumpPending();
    }
    bool WaitForSearches(size_t count) {
        return PumpUntil([&] { return host.searches.size() >= count; });
    }

    TestRegistryKey key;
    RecordingHost host;
    C_SearchBar bar{host};
    OwnerWindow owner;
};

TEST_F(SearchBarTest, ToggleOpensAndClosesAndTheButtonFollows) {
    HWND window = Open();
    bar.Toggle(Instance(), owner.Get());
    EXPECT_FALSE(bar.IsOpen());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(host.buttons, (std::vector<SearchButtonState>{SearchButtonState::Checked, SearchButtonState::Normal}));
    EXPECT_NE(key.Read(SettingName::SearchPlacement), L"<missing>");
}

// Unsaved, the bar opens at the main window's upper right; saved, the position comes back and the size stays
// the template's.
TEST_F(SearchBarTest, OpensAtTheOwnersUpperRightUntilAPositionIsSaved) {
    MoveWindow(owner.Get(), 100, 100, 800, 600, FALSE);
    RECT first, client;
    GetWindowRect(Open(), &first);
    GetClientRect(owner.Get(), &client);
    MapWindowPoints(owner.Get(), nullptr, reinterpret_cast<POINT*>(&client), 2);
    EXPECT_EQ(first.right, client.right - 24);
    EXPECT_EQ(first.top, client.top + 64);
    bar.Toggle(Instance(), owner.Get());
    ASSERT_TRUE(key.Write(SettingName::SearchPlacement, L"1,40,50,1040,1050"));
    RECT reopened;
    GetWindowRect(Open(), &reopened);
    EXPECT_EQ(reopened.left, 40);
    EXPECT_EQ(reopened.top, 50);
    EXPECT_EQ(reopened.right - reopened.left, first.right - first.left);
}

TEST_F(SearchBarTest, FilterClosesTheBarAndKeepsItClosedUntilCleared) {
    Open();
    bar.SetSearchable(false);
    EXPECT_FALSE(bar.IsOpen());
    EXPECT_EQ(host.buttons.back(), SearchButtonState::Indeterminate);
    host.buttons.clear();
    bar.Toggle(Instance(), owner.Get());
    EXPECT_FALSE(bar.IsOpen());
    // The click checked the button by itself; the bar greys it again.
    EXPECT_EQ(host.buttons, std::vector<SearchButtonState>{SearchButtonState::Indeterminate});
    bar.SetSearchable(true);
    EXPECT_EQ(host.buttons.back(), SearchButtonState::Normal);
    Open();
    bar.SetSearchable(true); // an empty filter applied again leaves the open bar's button pressed
    EXPECT_EQ(host.buttons.back(), SearchButtonState::Checked);
}

// Typing searches only once the keys have paused, incrementally from the current place.
TEST_F(SearchBarTest, TypingSearchesAfterThePause) {
    Open();
    DWORD lastKey = 0;
    for (const wchar_t* typed : {L"e", L"er", L"err"}) {
        SetWindowTextW(Field(), typed);
        lastKey = GetTickCount();
        PumpPending();
    }
    EXPECT_TRUE(host.searches.empty());
    ASSERT_TRUE(WaitForSearches(1));
    EXPECT_EQ(host.searches, (std::vector<SearchCall>{{L"err", kForward | kIncremental, -1, 0}}));
    // Timers do not fire early; the tick count's own granularity is allowed for.
    EXPECT_GE(host.searches[0].at - lastKey + 20, DWORD(C_SearchBar::kTypingPauseMs));
    PumpUntil([] { return false; }, 2 * C_SearchBar::kTypingPauseMs);
    EXPECT_EQ(host.searches.size(), 1u); // once per pause
}

TEST_F(SearchBarTest, ButtonsAndEnterSearchInTheirDirections) {
    HWND window = Open();
    SetWindowTextW(Field(), L"Boot");
    KillTimer(window, C_SearchBar::TIMER_SEARCH); // the typing search is another test's
    Click(IDC_SEARCH_NEXT);
    Click(IDC_SEARCH_PREVIOUS);
    CheckDlgButton(window, IDC_SEARCH_CASE, BST_CHECKED);
    SetFocus(Field());
    PressKey(Field(), WM_KEYDOWN, VK_RETURN);
    {
        HeldKeys shift({VK_SHIFT});
        PressKey(Field(), WM_KEYDOWN, VK_RETURN);
    }
    EXPECT_EQ(host.searches, (std::vector<SearchCall>{{L"Boot", kForward, -1, 0},
                                                      {L"Boot", kBackward, -1, 0},
                                                      {L"Boot", kForward | kMatchCase, -1, 0},
                                                      {L"Boot", kBackward | kMatchCase, -1, 0}}));
}

// The view's own Ctrl+F and F3 would open the bar again at once, so the hook takes them away from it.
TEST_F(SearchBarTest, CtrlFAndF3CloseTheBarAlsoFromTheView) {
    ViewWindow view;
    struct Case {
        UINT message;
        WPARAM key;
        bool control;
    };
    for (const Case& c : {Case{WM_KEYDOWN, VK_F3, false}, Case{WM_CHAR, C_SearchBar::kCtrlF, true}}) {
        Open();
        SetFocus(view.Get());
        view.received.clear();
        HeldKeys held(c.control ? std::initializer_list<int>{VK_CONTROL} : std::initializer_list<int>{});
        PressKey(view.Get(), c.message, c.key);
        EXPECT_FALSE(bar.IsOpen()) << c.key;
        EXPECT_TRUE(view.received.empty()) << c.key;
    }
    // Character 6 without Ctrl held is the device's.
    Open();
    PressKey(view.Get(), WM_CHAR, C_SearchBar::kCtrlF);
    EXPECT_TRUE(bar.IsOpen());
    EXPECT_EQ(view.received, std::vector<UINT>{WM_CHAR});
}

// A watch installed before the bar's, as the plot window's is, that records the Ctrl+Shift+P it is shown.
class PlotKeyWatch {
public:
    PlotKeyWatch() { watch.Install(this); }
    void TakeMessage(MSG& message) {
        if (message.message == WM_KEYDOWN && message.wParam == 'P')
            ++seen;
    }
    int seen = 0;

private:
    C_MessageWatch<PlotKeyWatch> watch;
};

TEST_F(SearchBarTest, LeavesTheProgramsCtrlShiftKeysToTheWatchesBeforeIt) {
    PlotKeyWatch plotKeys;
    Open();
    SetFocus(Field());
    {
        HeldKeys held{VK_CONTROL, VK_SHIFT};
        PressKey(Field(), WM_KEYDOWN, 'P');
    }
    EXPECT_EQ(plotKeys.seen, 1);
    EXPECT_TRUE(bar.IsOpen());
}

TEST_F(SearchBarTest, EscClosesAndTheTextIsThereAtTheNextOpening) {
    Open();
    SetWindowTextW(Field(), L"timeout");
    CheckDlgButton(bar.GetWindow(), IDC_SEARCH_CASE, BST_CHECKED);
    SetFocus(Field());
    PressKey(Field(), WM_KEYDOWN, VK_ESCAPE);
    ASSERT_FALSE(bar.IsOpen());
    EXPECT_STREQ(bar.GetLastSearchText().c_str(), L"timeout");
    host.searches.clear();

    HWND window = Open();
    wchar_t text[64] = {};
    GetWindowTextW(Field(), text, 64);
    EXPECT_STREQ(text, L"timeout");
    EXPECT_EQ(IsDlgButtonChecked(window, IDC_SEARCH_CASE), BST_CHECKED);
    ASSERT_TRUE(WaitForSearches(1)); // the remembered text is searched for once the pause has passed
    EXPECT_EQ(host.searches, (std::vector<SearchCall>{{L"timeout", kForward | kMatchCase | kIncremental, -1, 0}}));
}

} // namespace
