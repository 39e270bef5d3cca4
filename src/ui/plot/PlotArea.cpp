#include "ui/plot/PlotArea.h"

#include "platform/system/WindowProcedure.h"
#include "ui/plot/PlotPalette.h"

#include <windowsx.h>

namespace {

// A class of the program's own module: no other module's class of this name is ever found through it.
constexpr const wchar_t* kClassName = L"Brannick_VeltoPlotArea";
constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

} // namespace

C_PlotArea::~C_PlotArea() {
    if (m_window)
        DestroyWindow(m_window);
}

bool C_PlotArea::RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, kClassName, &existing))
        return true;
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = OwnerWindowProcedure<C_PlotArea, &C_PlotArea::m_window, &C_PlotArea::HandleMessage>;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_CROSS);
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass) != 0;
}

bool C_PlotArea::Create(HWND dialog, int placeholderId, C_PlotAreaHost* host) {
    HWND placeholder = GetDlgItem(dialog, placeholderId);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!placeholder || m_window || !RegisterWindowClass(instance))
        return false;
    RECT place;
    GetWindowRect(placeholder, &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    DWORD exStyle = DWORD(GetWindowLongW(placeholder, GWL_EXSTYLE));
    DestroyWindow(placeholder);
    m_host = host;
    CreateWindowExW(exStyle, kClassName, L"", kStyle, place.left, place.top, place.right - place.left,
                    place.bottom - place.top, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(placeholderId)),
                    instance, this);
    return m_window != nullptr;
}

HDC C_PlotArea::BackBuffer() {
    RECT client{};
    if (!m_window || !GetClientRect(m_window, &client))
        return nullptr;
    SIZE size = {client.right > 0 ? client.right : 1, client.bottom > 0 ? client.bottom : 1};
    const SIZE made = m_backBuffer.Size();
    if ((size.cx != made.cx || size.cy != made.cy || !m_backBuffer) && !m_backBuffer.Make(m_window, size))
        return nullptr;
    return m_backBuffer.Get();
}

void C_PlotArea::Show() {
    if (m_window)
        InvalidateRect(m_window, nullptr, FALSE);
}

LRESULT C_PlotArea::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint covers everything
    case WM_MOUSEMOVE:
        OnMouseMove(point);
        return 0;
    case WM_MOUSELEAVE:
        m_tracking = false;
        m_host->OnPlotPointer(point, false);
        return 0;
    case WM_MOUSEWHEEL:
        ScreenToClient(m_window, &point);
        m_host->OnPlotWheel(double(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA, point);
        return 0;
    case WM_LBUTTONDOWN:
        SetCapture(m_window);
        m_dragging = true;
        m_dragX = point.x;
        return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        if (m_dragging && message == WM_LBUTTONUP)
            ReleaseCapture();
        m_dragging = false;
        return 0;
    default:
        return DefWindowProcW(m_window, message, wParam, lParam);
    }
}

void C_PlotArea::OnMouseMove(POINT point) {
    if (!m_tracking) {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, m_window, 0};
        m_tracking = TrackMouseEvent(&track) != FALSE;
    }
    if (m_dragging && point.x != m_dragX) {
        m_host->OnPlotDrag(point.x - m_dragX);
        m_dragX = point.x;
    }
    m_host->OnPlotPointer(point, true);
}

void C_PlotArea::OnPaint() {
    C_PaintDc paint(m_window);
    if (m_backBuffer) {
        const SIZE size = m_backBuffer.Size();
        BitBlt(paint.Get(), 0, 0, size.cx, size.cy, m_backBuffer.Get(), 0, 0, SRCCOPY);
        return;
    }
    SetBkColor(paint.Get(), PlotPalette::kBackground);
    ExtTextOutW(paint.Get(), 0, 0, ETO_OPAQUE, &paint.Dirty(), nullptr, 0, nullptr);
}
