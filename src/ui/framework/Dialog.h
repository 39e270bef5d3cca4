#pragma once
// C_Dialog: the base of every window of the program. It turns the dialog procedure into virtual handlers, runs
// templates modally or modeless in the interface language, and adds a minimum window size, dark-mode painting and
// DPI handling. The window-facing parts of a dialog stay in its handlers; what can be decided without a window
// lives beside it (string table, placement, command line).
#include <windows.h>

#include "foundation/base/TextString.h"
#include "platform/system/Handles.h"

class C_Dialog {
public:
    enum StyleBit : DWORD {
        STYLE_MODELESS = 0x01,    // closed by destroying the window, not by ending the dialog
        STYLE_SELF_DELETE = 0x02, // the object deletes itself after closing
        STYLE_PREFER_SHELL_DLG_2 = 0x04,
        STYLE_START_HIDDEN = 0x08, // the first show is suppressed
        STYLE_DARK_MODE_ALLOWED = 0x10,
        STYLE_DARK_MODE_ACTIVE = 0x20,
    };
    // OnInitDialog's answer when it has set the focus itself.
    static constexpr INT_PTR kFocusSet = 2;
    // The command of the close entry of the system menu, besides IDCANCEL.
    static constexpr WORD kCloseCommand = 8;
    static constexpr COLORREF kDarkBackground = RGB(0x19, 0x19, 0x19);
    static constexpr COLORREF kDarkText = RGB(0xFF, 0xFF, 0xFF);
    // The one-shot timer that applies a theme change; far from the small ids the dialogs use themselves.
    static constexpr UINT_PTR kThemeTimer = 0x7E01;
    static constexpr UINT kThemeTimerDelay = 1;
    static constexpr UINT kDpiChangedMessage = 0x02E0; // WM_DPICHANGED
    static constexpr const wchar_t* kThemeSetting = L"ImmersiveColorSet";
    static constexpr int kNoMinimum = -1;

    C_Dialog() = default;
    virtual ~C_Dialog();
    C_Dialog(const C_Dialog&) = delete;
    C_Dialog& operator=(const C_Dialog&) = delete;

    // The dialog's result, or -1 when the template cannot be found or the dialog not be created.
    INT_PTR RunModal(HINSTANCE instance, UINT templateId, DWORD style, HWND owner);
    // The window, or null; the modeless style bit is added.
    HWND RunModeless(HINSTANCE instance, UINT templateId, DWORD style, HWND owner);
    // Ends (modal) or destroys (modeless) the dialog unless OnEnd vetoes it.
    void End(INT_PTR result);

    bool SetIcon(UINT iconId);
    void SetMinimumSize(int width, int height, bool dialogUnits);

    HWND GetWindow() const { return m_window; }
    HINSTANCE GetInstance() const { return m_instance; }
    DWORD GetStyle() const { return m_style; }
    int GetMinimumWidth() const { return m_minimumWidth; }
    int GetMinimumHeight() const { return m_minimumHeight; }
    bool IsDarkModeActive() const { return (m_style & STYLE_DARK_MODE_ACTIVE) != 0; }

    // Control utilities.
    HWND GetItem(int id) const { return m_window ? GetDlgItem(m_window, id) : nullptr; }
    bool SetItemText(int id, const wchar_t* text);
    // The whole text, or at most limit - 1 characters when a limit is given.
    bool GetItemText(int id, C_String& out, uint32_t limit = 0) const;
    void CheckItem(int id, bool checked);
    bool IsItemChecked(int id) const;
    LRESULT SendItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

protected:
    // The handlers, in this order. Each returns what the dialog procedure returns.
    // 0 aborts the dialog (it ends with -1); kFocusSet when the handler set the focus; else the system sets it.
    virtual INT_PTR OnInitDialog() { return TRUE; }
    // Called before the dialog ends or is destroyed; 0 keeps it open.
    virtual INT_PTR OnEnd(INT_PTR result);
    virtual INT_PTR OnCommand(WORD id, WPARAM wParam, LPARAM lParam);
    virtual INT_PTR OnClose();
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual INT_PTR OnDestroy();
    virtual void OnThemeChanged();

    // The result of a message whose answer is not the procedure's return value (DWLP_MSGRESULT).
    void SetMessageResult(LRESULT result);

private:
    static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleInitDialog(HWND window);
    void Prepare(HINSTANCE instance, DWORD style);
    bool IsCancelOrClose(WORD id) const { return id == IDCANCEL || id == kCloseCommand; }
    INT_PTR EraseDarkBackground(HDC dc);
    INT_PTR ColorDarkStatic(HDC dc);
    void OnSettingChange(const wchar_t* setting);
    void OnThemeTimer();
    void OnWindowPosChanging(WINDOWPOS* position);
    void ComputeMinimumSize();

    HWND m_window = nullptr;
    HINSTANCE m_instance = nullptr;
    C_Icon m_smallIcon;
    C_Icon m_largeIcon;
    UINT m_dpi = 0;
    int m_minimumWidth = kNoMinimum;
    int m_minimumHeight = kNoMinimum;
    int m_requestedWidth = kNoMinimum;
    int m_requestedHeight = kNoMinimum;
    bool m_minimumInDialogUnits = false;
    DWORD m_style = 0;
};
