#include "platform/window/EditIcon.h"

namespace {

constexpr int kSizeStep = 8;
constexpr int kSizeAddition = 4;
constexpr int kSizeFactorTenths = 7;
constexpr int kTextGap = 2; // pixels between the text and the icon

} // namespace

bool C_EditIcon::Attach(HWND edit, HINSTANCE instance, UINT iconId) {
    m_instance = instance;
    m_iconId = iconId;
    if (!AttachTo(edit))
        return false;
    Resize();
    return true;
}

void C_EditIcon::Detach() {
    HWND edit = Control();
    DetachFrom();
    if (edit && IsWindow(edit)) {
        SendMessageW(edit, EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, 0));
        InvalidateRect(edit, nullptr, TRUE);
    }
    for (int i = 0; i < m_iconCount; ++i)
        m_icons[i].icon.Reset();
    m_iconCount = 0;
}

int C_EditIcon::IconSize(int fieldHeight) {
    const int size = (fieldHeight * kSizeFactorTenths / 10 + kSizeAddition) / kSizeStep * kSizeStep;
    return size < kSizeStep ? kSizeStep : size;
}

void C_EditIcon::SetIcon(UINT iconId) {
    if (iconId == m_iconId)
        return;
    m_iconId = iconId;
    RECT area = IconArea();
    InvalidateRect(Control(), &area, FALSE);
}

RECT C_EditIcon::IconArea() const {
    RECT client{};
    GetClientRect(Control(), &client);
    const int top = (client.bottom - m_size) / 2;
    return RECT{client.right - m_size - kTextGap, top, client.right - kTextGap, top + m_size};
}

void C_EditIcon::Resize() {
    RECT window{};
    GetWindowRect(Control(), &window);
    const int size = IconSize(window.bottom - window.top);
    if (size != m_size) {
        m_size = size;
        // Icons loaded at the old size would be stretched.
        for (int i = 0; i < m_iconCount; ++i)
            m_icons[i].icon.Reset();
        m_iconCount = 0;
    }
    SendMessageW(Control(), EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, m_size + 2 * kTextGap));
}

HICON C_EditIcon::Icon(UINT iconId) {
    for (int i = 0; i < m_iconCount; ++i)
        if (m_icons[i].id == iconId)
            return m_icons[i].icon.Get();
    HICON icon = static_cast<HICON>(
        LoadImageW(m_instance, MAKEINTRESOURCEW(iconId), IMAGE_ICON, m_size, m_size, LR_DEFAULTCOLOR));
    if (!icon)
        return nullptr;
    if (m_iconCount == kMaxIcons) {
        // Not expected (the filter field uses four); the oldest makes room.
        m_icons[0].icon.Reset();
        for (int i = 1; i < kMaxIcons; ++i)
            m_icons[i - 1] = {m_icons[i].id, std::move(m_icons[i].icon)};
        --m_iconCount;
    }
    m_icons[m_iconCount].id = iconId;
    m_icons[m_iconCount].icon.Reset(icon);
    ++m_iconCount;
    return icon;
}

void C_EditIcon::PaintIcon() {
    HWND edit = Control();
    HICON icon = Icon(m_iconId);
    C_WindowDc dc(edit);
    if (!icon || !dc)
        return;
    RECT area = IconArea();
    // The field's own background behind the icon, so a changed icon leaves nothing of the previous one.
    auto brush = reinterpret_cast<HBRUSH>(
        SendMessageW(GetParent(edit), IsWindowEnabled(edit) ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC,
                     reinterpret_cast<WPARAM>(dc.Get()), reinterpret_cast<LPARAM>(edit)));
    FillRect(dc.Get(), &area, brush ? brush : GetSysColorBrush(COLOR_WINDOW));
    DrawIconEx(dc.Get(), area.left, area.top, icon, m_size, m_size, 0, nullptr, DI_NORMAL);
}

bool C_EditIcon::OverIcon(LPARAM clientPoint) const {
    RECT area = IconArea();
    POINT point{short(LOWORD(clientPoint)), short(HIWORD(clientPoint))};
    return PtInRect(&area, point) != FALSE;
}

LRESULT C_EditIcon::OnControlMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND edit = Control();
    switch (message) {
    case WM_PAINT: {
        LRESULT result = DefaultProcedure(message, wParam, lParam);
        PaintIcon();
        return result;
    }
    case WM_SIZE:
    case WM_SETFONT: {
        LRESULT result = DefaultProcedure(message, wParam, lParam);
        Resize();
        return result;
    }
    case WM_SETCURSOR: {
        POINT point;
        GetCursorPos(&point);
        ScreenToClient(edit, &point);
        RECT area = IconArea();
        if (PtInRect(&area, point)) {
            SetCursor(LoadCursorW(nullptr, IDC_ARROW));
            return TRUE;
        }
        break;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (OverIcon(lParam)) {
            m_pressed = true;
            SetCapture(edit);
            return 0;
        }
        break;
    case WM_LBUTTONUP:
        if (m_pressed) {
            m_pressed = false;
            ReleaseCapture();
            if (OverIcon(lParam))
                SendMessageW(GetParent(edit), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(edit), kClicked),
                             reinterpret_cast<LPARAM>(edit));
            return 0;
        }
        break;
    case WM_CAPTURECHANGED:
        m_pressed = false;
        break;
    default:
        break;
    }
    return DefaultProcedure(message, wParam, lParam);
}
