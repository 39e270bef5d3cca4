#include "platform/window/StatusBalloon.h"

#include <commctrl.h>

namespace {

constexpr UINT_PTR kToolId = 1;
constexpr int kMaxTipWidth = 400; // pixels; longer texts wrap

} // namespace

bool C_StatusBalloon::Create(HWND owner) {
    Destroy();
    m_owner = owner;
    m_window.Reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                   WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP | TTS_BALLOON | TTS_CLOSE, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                                   GetModuleHandleW(nullptr), nullptr));
    if (!m_window)
        return false;
    TOOLINFOW tool = Tool(L"");
    SendMessageW(m_window.Get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(m_window.Get(), TTM_SETMAXTIPWIDTH, 0, kMaxTipWidth);
    return true;
}

void C_StatusBalloon::Destroy() {
    m_window.Reset();
    m_shown = false;
}

TOOLINFOW C_StatusBalloon::Tool(const wchar_t* text) const {
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = m_owner;
    tool.uId = kToolId;
    tool.lpszText = const_cast<wchar_t*>(text);
    return tool;
}

void C_StatusBalloon::Show(const wchar_t* title, const wchar_t* text, POINT tip) {
    if (!m_window)
        return;
    HWND balloon = m_window.Get();
    TOOLINFOW tool = Tool(text ? text : L"");
    // A balloon already up moves and changes text without flickering off.
    SendMessageW(balloon, TTM_SETTITLEW, TTI_INFO, reinterpret_cast<LPARAM>(title ? title : L""));
    SendMessageW(balloon, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(balloon, TTM_TRACKPOSITION, 0, MAKELPARAM(tip.x, tip.y));
    SendMessageW(balloon, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    m_shown = true;
}

void C_StatusBalloon::Hide() {
    if (!m_window)
        return;
    TOOLINFOW tool = Tool(nullptr);
    SendMessageW(m_window.Get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
    m_shown = false;
}
