#include "platform/window/WebLink.h"

#include <shellapi.h>

#include <cwchar>

namespace {

constexpr DWORD kTextFormat = DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX;
// The colour of links in the system's own dialogs. COLOR_HOTLIGHT would be the system's choice, but some
// schemes (Wine's default among them) make it a pale grey that reads as disabled text.
constexpr COLORREF kLinkColour = RGB(0x00, 0x66, 0xCC);

} // namespace

void C_WebLink::OpenWithShell(const wchar_t* address) {
    ShellExecuteW(nullptr, L"open", address, nullptr, nullptr, SW_SHOWNORMAL);
}

bool C_WebLink::Attach(HWND staticControl, const wchar_t* text, const wchar_t* address, HCURSOR hand, Opener opener) {
    if (!staticControl || !text || !address || wcslen(address) > kMaxText || IsAttached())
        return false;
    wcscpy(m_address, address);
    m_hand = hand ? hand : LoadCursorW(nullptr, IDC_HAND);
    m_opener = opener ? opener : OpenWithShell;
    // Clicks need SS_NOTIFY (a plain static lets them through to its parent); the focus needs a tab stop.
    SetWindowLongPtrW(staticControl, GWL_STYLE, GetWindowLongPtrW(staticControl, GWL_STYLE) | SS_NOTIFY | WS_TABSTOP);
    SetWindowTextW(staticControl, text);
    if (!AttachTo(staticControl))
        return false;
    InvalidateRect(staticControl, nullptr, TRUE);
    return true;
}

void C_WebLink::Detach() {
    DetachFrom();
    m_font.Reset();
    m_fontMadeFrom = nullptr;
}

int C_WebLink::TextWidth() {
    HWND control = Control();
    C_WindowDc dc(control);
    if (!dc)
        return 0;
    wchar_t text[kMaxText + 1] = {};
    GetWindowTextW(control, text, int(kMaxText + 1));
    C_SelectedObject font(dc.Get(), LinkFont());
    SIZE size{};
    GetTextExtentPoint32W(dc.Get(), text, int(wcslen(text)), &size);
    return size.cx;
}

// The control's font may change (a DPI change sends WM_SETFONT), so the underlined copy follows it.
HFONT C_WebLink::LinkFont() {
    HFONT base = reinterpret_cast<HFONT>(SendMessageW(Control(), WM_GETFONT, 0, 0));
    if (!base)
        base = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (!m_font || base != m_fontMadeFrom) {
        LOGFONTW description{};
        GetObjectW(base, sizeof(description), &description);
        description.lfUnderline = TRUE;
        m_font.Reset(CreateFontIndirectW(&description));
        m_fontMadeFrom = base;
    }
    return m_font ? m_font.Get() : base;
}

void C_WebLink::Open() const {
    m_opener(m_address);
}

LRESULT C_WebLink::OnControlMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_SETCURSOR:
        SetCursor(m_hand);
        return TRUE;
    case WM_LBUTTONUP: {
        RECT client;
        GetClientRect(Control(), &client);
        POINT point{short(LOWORD(lParam)), short(HIWORD(lParam))};
        if (PtInRect(&client, point))
            Open();
        return 0;
    }
    case WM_GETDLGCODE: {
        // Enter would otherwise press the dialog's default button.
        LRESULT code = DefaultProcedure(message, wParam, lParam);
        const MSG* key = reinterpret_cast<const MSG*>(lParam);
        if (key && key->message == WM_KEYDOWN && (key->wParam == VK_RETURN || key->wParam == VK_SPACE))
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_KEYDOWN:
        if (wParam == VK_RETURN || wParam == VK_SPACE) {
            Open();
            return 0;
        }
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(Control(), nullptr, TRUE);
        break;
    default:
        break;
    }
    return DefaultProcedure(message, wParam, lParam);
}

void C_WebLink::Paint() {
    HWND control = Control();
    C_PaintDc paint(control);
    RECT client;
    GetClientRect(control, &client);
    // The parent chooses the background, as for any static control (dark mode included).
    HWND parent = GetParent(control);
    auto brush = reinterpret_cast<HBRUSH>(SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(paint.Get()),
                                                       reinterpret_cast<LPARAM>(control)));
    FillRect(paint.Get(), &client, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
    wchar_t text[kMaxText + 1] = {};
    GetWindowTextW(control, text, int(kMaxText + 1));
    C_SelectedObject font(paint.Get(), LinkFont());
    SetBkMode(paint.Get(), TRANSPARENT);
    SetTextColor(paint.Get(), kLinkColour);
    DrawTextW(paint.Get(), text, -1, &client, kTextFormat);
    if (GetFocus() == control) {
        RECT extent = client;
        DrawTextW(paint.Get(), text, -1, &extent, kTextFormat | DT_CALCRECT);
        extent.top = client.top;
        extent.bottom = client.bottom;
        DrawFocusRect(paint.Get(), &extent);
    }
}
