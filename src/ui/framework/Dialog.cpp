#include "ui/framework/Dialog.h"

#include "platform/window/DarkMode.h"
#include "platform/window/Dpi.h"
#include "platform/system/SystemFunction.h"
#include "ui/framework/DialogTemplate.h"
#include "ui/framework/Language.h"

#include <commctrl.h>
#include <cwchar>
#include <utility>

namespace {

constexpr DWORD kAllControlClasses = 0x7FFF;
constexpr DWORD kInitCommonControlsSize = 8;

using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);

// The process becomes DPI-aware (unless its manifest already made it so) and the common control classes are
// registered before any template that uses them is created.
void PrepareSystem() {
    Dpi::MakeProcessAware();
    auto initEx = LookupSystemFunction<InitCommonControlsExFn>(L"comctl32.dll", "InitCommonControlsEx");
    INITCOMMONCONTROLSEX controls = {kInitCommonControlsSize, kAllControlClasses};
    if (!initEx || !initEx(&controls))
        InitCommonControls();
}

} // namespace

C_Dialog::~C_Dialog() {
    // A window must not reach its object once that is gone; a modeless one goes with it.
    if (!m_window || !IsWindow(m_window))
        return;
    SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
    if (m_style & STYLE_MODELESS)
        DestroyWindow(m_window);
}

// --- running and ending ----------------------------------------------------------------------------------

void C_Dialog::Prepare(HINSTANCE instance, DWORD style) {
    m_instance = instance;
    m_style = style;
    PrepareSystem();
}

INT_PTR C_Dialog::RunModal(HINSTANCE instance, UINT templateId, DWORD style, HWND owner) {
    Prepare(instance, style & ~DWORD(STYLE_MODELESS));
    C_DialogTemplate dialogTemplate;
    if (!dialogTemplate.Load(instance, templateId, Language::GetInterfaceLanguage(),
                             (style & STYLE_PREFER_SHELL_DLG_2) != 0))
        return -1;
    // The object may have deleted itself by the time this returns.
    return DialogBoxIndirectParamW(instance, dialogTemplate.Get(), owner, DialogProcedure,
                                   reinterpret_cast<LPARAM>(this));
}

HWND C_Dialog::RunModeless(HINSTANCE instance, UINT templateId, DWORD style, HWND owner) {
    Prepare(instance, style | STYLE_MODELESS);
    C_DialogTemplate dialogTemplate;
    if (!dialogTemplate.Load(instance, templateId, Language::GetInterfaceLanguage(),
                             (style & STYLE_PREFER_SHELL_DLG_2) != 0))
        return nullptr;
    return CreateDialogIndirectParamW(instance, dialogTemplate.Get(), owner, DialogProcedure,
                                      reinterpret_cast<LPARAM>(this));
}

void C_Dialog::End(INT_PTR result) {
    if (!m_window || !OnEnd(result))
        return;
    HWND window = m_window;
    if (m_style & STYLE_MODELESS)
        DestroyWindow(window);
    else
        EndDialog(window, result);
    m_window = nullptr;
    if (m_style & STYLE_SELF_DELETE) {
        // An ended modal dialog still receives messages until its loop returns; they must not reach a deleted
        // object.
        if (IsWindow(window))
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        delete this;
    }
}

// --- dialog procedure ------------------------------------------------------------------------------------

INT_PTR CALLBACK C_Dialog::DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
        return reinterpret_cast<C_Dialog*>(lParam)->HandleInitDialog(window);
    }
    auto* dialog = reinterpret_cast<C_Dialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!dialog)
        return FALSE;
    INT_PTR result = dialog->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // Destroyed from outside (with its owner, say): the object stays usable and may run again.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (dialog->m_window == window)
            dialog->m_window = nullptr;
    }
    return result;
}

// Handlers may end a self-deleting dialog, so nothing here touches the object after calling one.
INT_PTR C_Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), wParam, lParam);
    case WM_CLOSE:
        return OnClose();
    case WM_DESTROY:
        return OnDestroy();
    default:
        return OnMessage(message, wParam, lParam);
    }
}

INT_PTR C_Dialog::HandleInitDialog(HWND window) {
    m_window = window;
    if (m_requestedWidth != kNoMinimum || m_requestedHeight != kNoMinimum)
        ComputeMinimumSize();
    OnThemeChanged();
    INT_PTR answer = OnInitDialog();
    if (answer == 0) {
        End(-1);
        return FALSE;
    }
    return answer == kFocusSet ? FALSE : TRUE;
}

void C_Dialog::SetMessageResult(LRESULT result) {
    if (m_window)
        SetWindowLongPtrW(m_window, DWLP_MSGRESULT, result);
}

// --- default handlers ------------------------------------------------------------------------------------

INT_PTR C_Dialog::OnEnd(INT_PTR) {
    return 1;
}

INT_PTR C_Dialog::OnCommand(WORD id, WPARAM, LPARAM) {
    if (!IsCancelOrClose(id))
        return FALSE;
    End(0);
    return TRUE;
}

INT_PTR C_Dialog::OnClose() {
    End(0);
    return TRUE;
}

INT_PTR C_Dialog::OnDestroy() {
    return OnMessage(WM_DESTROY, 0, 0);
}

void C_Dialog::OnThemeChanged() {
    if (!(m_style & STYLE_DARK_MODE_ALLOWED) || !m_window)
        return;
    bool dark = DarkMode::AppsUseDarkTheme();
    m_style = dark ? (m_style | STYLE_DARK_MODE_ACTIVE) : (m_style & ~DWORD(STYLE_DARK_MODE_ACTIVE));
    DarkMode::ApplyWindowTheme(m_window, dark);
}

INT_PTR C_Dialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return IsDarkModeActive() ? EraseDarkBackground(reinterpret_cast<HDC>(wParam)) : FALSE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: // edit fields, also those of combo boxes, and drop-down lists match the labels
    case WM_CTLCOLORLISTBOX:
        return IsDarkModeActive() ? ColorDarkStatic(reinterpret_cast<HDC>(wParam)) : FALSE;
    case WM_SETTINGCHANGE:
        OnSettingChange(reinterpret_cast<const wchar_t*>(lParam));
        return FALSE;
    case WM_TIMER:
        if (wParam != kThemeTimer)
            return FALSE;
        OnThemeTimer();
        return TRUE;
    case WM_WINDOWPOSCHANGING:
        OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
        return FALSE;
    case kDpiChangedMessage:
        ComputeMinimumSize();
        return FALSE;
    case WM_COMMAND:
        if (!IsCancelOrClose(LOWORD(wParam)))
            return FALSE;
        End(0);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR C_Dialog::EraseDarkBackground(HDC dc) {
    RECT client;
    GetClientRect(m_window, &client);
    SetDCBrushColor(dc, kDarkBackground);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SetMessageResult(TRUE);
    return TRUE;
}

// The stock DC brush takes its colour from the control's own device context, so no brush needs to be owned.
INT_PTR C_Dialog::ColorDarkStatic(HDC dc) {
    SetTextColor(dc, kDarkText);
    SetBkColor(dc, kDarkBackground);
    SetDCBrushColor(dc, kDarkBackground);
    return reinterpret_cast<INT_PTR>(GetStockObject(DC_BRUSH));
}

// The setting arrives while the system is still switching themes; the timer lets it finish first.
void C_Dialog::OnSettingChange(const wchar_t* setting) {
    if (setting && m_window && wcscmp(setting, kThemeSetting) == 0)
        SetTimer(m_window, kThemeTimer, kThemeTimerDelay, nullptr);
}

void C_Dialog::OnThemeTimer() {
    KillTimer(m_window, kThemeTimer);
    DWORD before = m_style & STYLE_DARK_MODE_ACTIVE;
    OnThemeChanged();
    if ((m_style & STYLE_DARK_MODE_ACTIVE) != before)
        RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void C_Dialog::OnWindowPosChanging(WINDOWPOS* position) {
    if ((m_style & STYLE_START_HIDDEN) && (position->flags & SWP_SHOWWINDOW)) {
        position->flags &= ~UINT(SWP_SHOWWINDOW);
        m_style &= ~DWORD(STYLE_START_HIDDEN);
    }
    if ((position->flags & SWP_NOSIZE) || (m_minimumWidth == kNoMinimum && m_minimumHeight == kNoMinimum))
        return;
    // After a DPI change the minimum is measured again and holds from the next change on.
    if (Dpi::ForWindow(m_window) != m_dpi) {
        ComputeMinimumSize();
        return;
    }
    if (m_minimumWidth != kNoMinimum && position->cx < m_minimumWidth)
        position->cx = m_minimumWidth;
    if (m_minimumHeight != kNoMinimum && position->cy < m_minimumHeight)
        position->cy = m_minimumHeight;
}

// --- minimum size ----------------------------------------------------------------------------------------

void C_Dialog::SetMinimumSize(int width, int height, bool dialogUnits) {
    m_requestedWidth = width < 0 ? kNoMinimum : width;
    m_requestedHeight = height < 0 ? kNoMinimum : height;
    m_minimumInDialogUnits = dialogUnits;
    if (m_window)
        ComputeMinimumSize();
}

void C_Dialog::ComputeMinimumSize() {
    if (!m_window)
        return;
    m_dpi = Dpi::ForWindow(m_window);
    int width, height;
    if (m_minimumInDialogUnits) {
        RECT rect = {0, 0, m_requestedWidth < 0 ? 0 : m_requestedWidth, m_requestedHeight < 0 ? 0 : m_requestedHeight};
        MapDialogRect(m_window, &rect);
        DWORD style = DWORD(GetWindowLongPtrW(m_window, GWL_STYLE));
        DWORD exStyle = DWORD(GetWindowLongPtrW(m_window, GWL_EXSTYLE));
        Dpi::AdjustWindowRect(&rect, style, GetMenu(m_window) != nullptr, exStyle, m_dpi);
        width = rect.right - rect.left;
        height = rect.bottom - rect.top;
    } else {
        width = Dpi::Scale(m_requestedWidth, m_dpi);
        height = Dpi::Scale(m_requestedHeight, m_dpi);
    }
    m_minimumWidth = m_requestedWidth == kNoMinimum ? kNoMinimum : width;
    m_minimumHeight = m_requestedHeight == kNoMinimum ? kNoMinimum : height;
}

// --- icon and controls -----------------------------------------------------------------------------------

bool C_Dialog::SetIcon(UINT iconId) {
    auto load = [this, iconId](int widthMetric, int heightMetric) {
        return static_cast<HICON>(LoadImageW(m_instance, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                             GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric),
                                             LR_DEFAULTCOLOR));
    };
    C_Icon small(load(SM_CXSMICON, SM_CYSMICON));
    C_Icon large(load(SM_CXICON, SM_CYICON));
    if (m_window) {
        SendMessageW(m_window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.Get()));
        SendMessageW(m_window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large.Get()));
    }
    bool loaded = small && large;
    m_smallIcon = std::move(small);
    m_largeIcon = std::move(large);
    return loaded;
}

bool C_Dialog::SetItemText(int id, const wchar_t* text) {
    return m_window && SetDlgItemTextW(m_window, id, text ? text : L"");
}

bool C_Dialog::GetItemText(int id, C_String& out, uint32_t limit) const {
    HWND item = GetItem(id);
    if (!item) {
        out.Assign(L"");
        return false;
    }
    uint32_t length = uint32_t(GetWindowTextLengthW(item));
    if (limit && length >= limit)
        length = limit - 1;
    if (!out.SetCapacity(length + 1))
        return false;
    int copied = GetWindowTextW(item, out.GetBuffer(), int(length + 1));
    out.GetBuffer()[copied > 0 ? copied : 0] = 0;
    out.UpdateLength();
    return true;
}

void C_Dialog::CheckItem(int id, bool checked) {
    if (m_window)
        CheckDlgButton(m_window, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool C_Dialog::IsItemChecked(int id) const {
    return m_window && IsDlgButtonChecked(m_window, id) == BST_CHECKED;
}

LRESULT C_Dialog::SendItemMessage(int id, UINT message, WPARAM wParam, LPARAM lParam) {
    return m_window ? SendDlgItemMessageW(m_window, id, message, wParam, lParam) : 0;
}
