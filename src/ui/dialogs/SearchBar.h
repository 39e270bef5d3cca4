#pragma once
// C_SearchBar: the modeless bar that finds text in the terminal view. Typing searches once the keys have paused
// (incrementally, so the match under the selection stays while it still matches); ▼ and Enter search forward
// (Shift+Enter backward), ▲ backward. While it is open a message hook of the thread gives it its keys: Ctrl+F
// and F3 close it wherever the focus is, and Tab, Enter and Esc work in it although the program's only message
// loop belongs to the main window's modal dialog. While a filter narrows the text view the bar cannot be opened.
#include "foundation/base/TextString.h"
#include "platform/system/Handles.h"
#include "terminal/store/LineStore.h"
#include "ui/framework/Dialog.h"
#include "ui/framework/MessageWatch.h"
#include "ui/framework/StringTable.h"

#include <cstdint>

// The toolbar's Search button: pressed while the bar is open, greyed while a filter blocks it.
enum class SearchButtonState { Normal, Checked, Indeterminate };

// What the bar needs of the main window.
class C_SearchHost {
public:
    // Finds text in the view and selects it, wrapping around once; searchFlags are C_LineStore::SearchFlags,
    // start -1 is the current place.
    virtual bool Search(const wchar_t* text, uint32_t searchFlags, int64_t start) = 0;
    virtual void SetSearchButtonState(SearchButtonState state) = 0;

protected:
    ~C_SearchHost() = default;
};

class C_SearchBar : public C_Dialog {
public:
    // On the bar's own window.
    static constexpr UINT_PTR TIMER_SEARCH = 1;
    static constexpr UINT kTypingPauseMs = 300;
    static constexpr int64_t kFromCurrentPlace = -1;
    static constexpr wchar_t kCtrlF = 6;
    static constexpr const wchar_t* kNextText = L"\x25BC";
    static constexpr const wchar_t* kPreviousText = L"\x25B2";

    explicit C_SearchBar(C_SearchHost& host) : m_host(host) {}
    ~C_SearchBar() override;

    // Where the bar's position is kept ("Search" under the program's key unless a test says otherwise).
    void SetPlacementKey(HKEY root, const wchar_t* keyPath);

    // Closes the open bar; otherwise opens it over owner, unless the view cannot be searched.
    void Toggle(HINSTANCE instance, HWND owner);
    bool IsOpen() const { return GetWindow() != nullptr; }
    // Whether the view shown can be searched; a filtered text view cannot. Not searchable closes the bar and greys
    // the Search button; searchable makes the button usable again.
    void SetSearchable(bool searchable);

    // Kept for the life of the process, and put into the field at each opening.
    const C_String& GetLastSearchText() const { return m_lastText; }

protected:
    INT_PTR OnInitDialog() override;
    INT_PTR OnEnd(INT_PTR result) override;
    INT_PTR OnCommand(WORD id, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnDestroy() override;

private:
    friend class C_MessageWatch<C_SearchBar>;
    void TakeMessage(MSG& message);
    void PlaceOverOwner();
    void SearchFor(uint32_t searchFlags); // direction and kind; the case comes from the check box
    void KeepState();

    C_SearchHost& m_host;
    C_String m_lastText;
    bool m_lastCaseSensitive = false;
    bool m_searchable = true;
    C_MessageWatch<C_SearchBar> m_keyWatch;
    HKEY m_placementRoot = HKEY_CURRENT_USER;
    C_String m_placementPath;
    C_StringTable m_strings;
};
