#include "ui/dialogs/SearchBar.h"

#include "foundation/settings/Options.h"
#include "platform/window/Dpi.h"
#include "ui/framework/ProgramTitle.h"
#include "ui/framework/ResourceIds.h"
#include "ui/framework/WindowPlacement.h"

namespace {

constexpr uint32_t kSearchTextLimit = 0; // the whole field
// From the main window's client edges, at 96 DPI; the top one clears the toolbar.
constexpr int kOwnerMargin = 24;
constexpr int kOwnerTopMargin = 64;

using MessageWatch::Consume;
using MessageWatch::IsKeyHeld;

} // namespace

C_SearchBar::~C_SearchBar() {
    m_keyWatch.Remove();
}

void C_SearchBar::SetPlacementKey(HKEY root, const wchar_t* keyPath) {
    m_placementRoot = root;
    m_placementPath.Assign(keyPath);
}

// --- opening and closing ---------------------------------------------------------------------------------

void C_SearchBar::Toggle(HINSTANCE instance, HWND owner) {
    if (IsOpen()) {
        End(0);
        return;
    }
    // A check button checks itself when clicked: the state is set again whether or not the bar opens.
    if (!m_searchable) {
        m_host.SetSearchButtonState(SearchButtonState::Indeterminate);
        return;
    }
    m_strings.SetModule(instance);
    bool opened = RunModeless(instance, IDD_SEARCH_BAR, STYLE_DARK_MODE_ALLOWED, owner) != nullptr;
    m_host.SetSearchButtonState(opened ? SearchButtonState::Checked : SearchButtonState::Normal);
}

// The bar closes first, so the button stays greyed rather than being set back by the closing.
void C_SearchBar::SetSearchable(bool searchable) {
    m_searchable = searchable;
    if (!searchable) {
        if (IsOpen())
            End(0);
        m_host.SetSearchButtonState(SearchButtonState::Indeterminate);
    } else {
        m_host.SetSearchButtonState(IsOpen() ? SearchButtonState::Checked : SearchButtonState::Normal);
    }
}

INT_PTR C_SearchBar::OnInitDialog() {
    SetIcon(IDI_PROGRAM);
    SetProgramTitle(GetWindow(), GetInstance());
    SetItemText(IDC_SEARCH_NEXT, kNextText);
    SetItemText(IDC_SEARCH_PREVIOUS, kPreviousText);
    SetItemText(IDC_SEARCH_CASE, m_strings.LoadString(IDS_CASE_SENSITIVE));
    CheckItem(IDC_SEARCH_CASE, m_lastCaseSensitive);
    // Like any change of the field, this searches for the remembered text once the pause has passed.
    SetItemText(IDC_SEARCH_TEXT, m_lastText.c_str());
    const wchar_t* path = m_placementPath.IsEmpty() ? kSettingsKeyPath : m_placementPath.c_str();
    if (!WindowPlacement::Restore(GetWindow(), m_placementRoot, path, SettingName::SearchPlacement,
                                  WindowPlacement::OPTION_KEEP_SIZE))
        PlaceOverOwner();
    m_keyWatch.Install(this);
    return TRUE;
}

// Until the user has put it somewhere, the bar opens at the upper right of the main window, below the toolbar,
// where it hides the least of the newest output (the template alone would put it in the screen's corner).
void C_SearchBar::PlaceOverOwner() {
    HWND owner = ::GetWindow(GetWindow(), GW_OWNER);
    RECT client, bar;
    if (!owner || !GetClientRect(owner, &client) || !GetWindowRect(GetWindow(), &bar))
        return;
    MapWindowPoints(owner, nullptr, reinterpret_cast<POINT*>(&client), 2);
    UINT dpi = Dpi::ForWindow(owner);
    int x = client.right - (bar.right - bar.left) - Dpi::Scale(kOwnerMargin, dpi);
    int y = client.top + Dpi::Scale(kOwnerTopMargin, dpi);
    SetWindowPos(GetWindow(), nullptr, x > client.left ? x : client.left, y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR C_SearchBar::OnEnd(INT_PTR) {
    KillTimer(GetWindow(), TIMER_SEARCH);
    KeepState();
    m_keyWatch.Remove();
    const wchar_t* path = m_placementPath.IsEmpty() ? kSettingsKeyPath : m_placementPath.c_str();
    WindowPlacement::Save(GetWindow(), m_placementRoot, path, SettingName::SearchPlacement, 0);
    m_host.SetSearchButtonState(SearchButtonState::Normal);
    return 1;
}

// Destroyed with its owner rather than closed: the hook must not outlive the window.
INT_PTR C_SearchBar::OnDestroy() {
    if (m_keyWatch.IsInstalled()) {
        KeepState();
        m_keyWatch.Remove();
    }
    return C_Dialog::OnDestroy();
}

void C_SearchBar::KeepState() {
    GetItemText(IDC_SEARCH_TEXT, m_lastText, kSearchTextLimit);
    m_lastCaseSensitive = IsItemChecked(IDC_SEARCH_CASE);
}

// --- searching -------------------------------------------------------------------------------------------

INT_PTR C_SearchBar::OnCommand(WORD id, WPARAM wParam, LPARAM lParam) {
    switch (id) {
    case IDC_SEARCH_TEXT:
        if (HIWORD(wParam) == EN_CHANGE)
            SetTimer(GetWindow(), TIMER_SEARCH, kTypingPauseMs, nullptr);
        return TRUE;
    case IDC_SEARCH_NEXT: // also Enter, the bar's default button
        SearchFor(IsKeyHeld(VK_SHIFT) ? C_LineStore::SEARCH_BACKWARD : C_LineStore::SEARCH_FORWARD);
        return TRUE;
    case IDC_SEARCH_PREVIOUS:
        SearchFor(C_LineStore::SEARCH_BACKWARD);
        return TRUE;
    default:
        return C_Dialog::OnCommand(id, wParam, lParam);
    }
}

INT_PTR C_SearchBar::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == TIMER_SEARCH) {
        KillTimer(GetWindow(), TIMER_SEARCH);
        SearchFor(C_LineStore::SEARCH_FORWARD | C_LineStore::SEARCH_INCREMENTAL);
        return TRUE;
    }
    return C_Dialog::OnMessage(message, wParam, lParam);
}

void C_SearchBar::SearchFor(uint32_t searchFlags) {
    C_String text;
    GetItemText(IDC_SEARCH_TEXT, text, kSearchTextLimit);
    if (IsItemChecked(IDC_SEARCH_CASE))
        searchFlags |= C_LineStore::SEARCH_MATCH_CASE;
    m_host.Search(text.c_str(), searchFlags, kFromCurrentPlace);
}

// --- keyboard hook ---------------------------------------------------------------------------------------

// Ctrl+F and F3 close the bar wherever the focus is (the view would otherwise open it again at once); other keys
// for the bar go through the dialog manager. Whatever is taken becomes WM_NULL. Ctrl+Shift with a letter is one of
// the program's own keys, such as the plot's, which a watch installed before the bar takes wherever the focus is;
// the field has no use for it.
void C_SearchBar::TakeMessage(MSG& message) {
    HWND window = GetWindow();
    if (!window)
        return;
    bool programKey = message.message == WM_KEYDOWN && message.wParam >= 'A' && message.wParam <= 'Z' &&
                      IsKeyHeld(VK_CONTROL) && IsKeyHeld(VK_SHIFT);
    if (programKey)
        return;
    bool closeKey = (message.message == WM_CHAR && message.wParam == kCtrlF && IsKeyHeld(VK_CONTROL)) ||
                    (message.message == WM_KEYDOWN && message.wParam == VK_F3);
    if (closeKey) {
        Consume(message);
        End(0);
        return;
    }
    if (MessageWatch::IsKeyMessage(message.message) && IsDialogMessageW(window, &message))
        Consume(message);
}
