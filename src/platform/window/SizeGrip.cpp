#include "platform/window/SizeGrip.h"

#include "platform/window/Dpi.h"
#include "platform/system/SystemFunction.h"

namespace {

// The visual style's status-bar gripper: class "STATUS", part SP_GRIPPER, the part's true size (TS_TRUE).
constexpr const wchar_t* kThemeClass = L"STATUS";
constexpr int kGripperPart = 3;
constexpr int kTrueSize = 1;
constexpr const wchar_t* kThemeLibrary = L"uxtheme.dll";

using HTHEME = HANDLE;
using OpenThemeDataFn = HTHEME(WINAPI*)(HWND, LPCWSTR);
using CloseThemeDataFn = HRESULT(WINAPI*)(HTHEME);
using GetThemePartSizeFn = HRESULT(WINAPI*)(HTHEME, HDC, int, int, const RECT*, int, SIZE*);
using DrawThemeBackgroundFn = HRESULT(WINAPI*)(HTHEME, HDC, int, int, const RECT*, const RECT*);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);

// The window's theme data for the status bar class while it exists; none without visual styles.
class C_GripTheme {
public:
    explicit C_GripTheme(HWND window) {
        static const auto open = LookupSystemFunction<OpenThemeDataFn>(kThemeLibrary, "OpenThemeData");
        m_theme = open && window ? open(window, kThemeClass) : nullptr;
    }
    ~C_GripTheme() {
        static const auto close = LookupSystemFunction<CloseThemeDataFn>(kThemeLibrary, "CloseThemeData");
        if (m_theme && close)
            close(m_theme);
    }
    C_GripTheme(const C_GripTheme&) = delete;
    C_GripTheme& operator=(const C_GripTheme&) = delete;

    bool PartSize(SIZE& size) const {
        static const auto partSize = LookupSystemFunction<GetThemePartSizeFn>(kThemeLibrary, "GetThemePartSize");
        return m_theme && partSize &&
               SUCCEEDED(partSize(m_theme, nullptr, kGripperPart, 0, nullptr, kTrueSize, &size)) && size.cx > 0 &&
               size.cy > 0;
    }
    bool Draw(HDC dc, const RECT& area) const {
        static const auto draw = LookupSystemFunction<DrawThemeBackgroundFn>(kThemeLibrary, "DrawThemeBackground");
        return m_theme && draw && SUCCEEDED(draw(m_theme, dc, kGripperPart, 0, &area, nullptr));
    }

private:
    HTHEME m_theme = nullptr;
};

int ScrollBarWidth(UINT dpi) {
    static const auto forDpi = LookupSystemFunction<GetSystemMetricsForDpiFn>(L"user32.dll", "GetSystemMetricsForDpi");
    return forDpi ? forDpi(SM_CXVSCROLL, dpi) : GetSystemMetrics(SM_CXVSCROLL);
}

} // namespace

void C_SizeGrip::Attach(HWND window) {
    m_window = window;
    Measure();
    m_lastArea = Area();
}

void C_SizeGrip::Measure() {
    if (!m_window)
        return;
    C_GripTheme theme(m_window);
    if (theme.PartSize(m_size)) {
        const UINT dpi = Dpi::ForWindow(m_window);
        m_size.cx = Dpi::Scale(m_size.cx, dpi);
        m_size.cy = Dpi::Scale(m_size.cy, dpi);
    } else {
        const int side = ScrollBarWidth(Dpi::ForWindow(m_window));
        m_size = {side, side};
    }
}

RECT C_SizeGrip::Area() const {
    RECT client{};
    if (!m_window || IsZoomed(m_window) || !GetClientRect(m_window, &client))
        return RECT{};
    return RECT{client.right - m_size.cx, client.bottom - m_size.cy, client.right, client.bottom};
}

void C_SizeGrip::Paint(HDC dc) const {
    RECT area = Area();
    if (IsRectEmpty(&area))
        return;
    C_GripTheme theme(m_window);
    if (!theme.Draw(dc, area))
        DrawFrameControl(dc, &area, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
}

void C_SizeGrip::Invalidate() {
    if (!m_window)
        return;
    InvalidateRect(m_window, &m_lastArea, TRUE);
    m_lastArea = Area();
    InvalidateRect(m_window, &m_lastArea, TRUE);
}

LRESULT C_SizeGrip::HitTest(LRESULT defaultAnswer, POINT screenPoint) const {
    if (defaultAnswer != HTCLIENT && defaultAnswer != HTBORDER)
        return defaultAnswer;
    RECT area = Area();
    POINT point = screenPoint;
    if (!m_window || !ScreenToClient(m_window, &point))
        return defaultAnswer;
    return PtInRect(&area, point) ? HTBOTTOMRIGHT : defaultAnswer;
}
