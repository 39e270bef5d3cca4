#include "ThreadTestSupport.h"

namespace {
constexpr wchar_t kClassName[] = L"VeltoThreadTestWindow";
}

MessageWindow::MessageWindow(Handler handler) : m_handler(std::move(handler)) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &MessageWindow::Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass); // fails harmlessly when already registered
    m_window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, this);
}

MessageWindow::~MessageWindow() {
    if (m_window)
        DestroyWindow(m_window);
}

LRESULT CALLBACK MessageWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    LRESULT result = 0;
    if (self && self->m_handler && self->m_handler(message, wParam, lParam, result))
        return result;
    return DefWindowProcW(window, message, wParam, lParam);
}
