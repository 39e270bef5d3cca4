// The session's mailbox: the hidden window its connection reports to, and what the session makes of each report.
#include "session/port/PortSession.h"

namespace {

constexpr const wchar_t* kMailboxClass = L"VeltoSessionMailbox";

// Replaced per window by the session's own, once the session is attached.
void RegisterMailboxClass() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kMailboxClass;
    RegisterClassW(&windowClass); // fails harmlessly when already registered
}

} // namespace

// A message-only window: it is never shown, and the frame hears of devices for every session.
bool C_PortSession::CreateMailbox() {
    RegisterMailboxClass();
    m_mailbox = CreateWindowExW(0, kMailboxClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                                nullptr);
    if (!m_mailbox)
        return false;
    SetWindowLongPtrW(m_mailbox, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(m_mailbox, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&C_PortSession::MailboxProcedure));
    return true;
}

void C_PortSession::DestroyMailbox() {
    if (!m_mailbox)
        return;
    SetWindowLongPtrW(m_mailbox, GWLP_USERDATA, 0);
    DestroyWindow(m_mailbox);
    m_mailbox = nullptr;
}

LRESULT CALLBACK C_PortSession::MailboxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (auto* session = reinterpret_cast<C_PortSession*>(GetWindowLongPtrW(window, GWLP_USERDATA)))
        return session->OnMailMessage(message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT C_PortSession::OnMailMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SHOW_STATUS:
        m_host.ShowSessionStatus(m_id, reinterpret_cast<const wchar_t*>(wParam),
                                 reinterpret_cast<const wchar_t*>(lParam));
        return 1;
    case WM_SESSION_TEXT:
        OnText(wParam, reinterpret_cast<const wchar_t*>(lParam));
        return 0;
    case WM_SESSION_TIMER:
        if (wParam)
            SetTimer(m_mailbox, TIMER_REOPEN, kReopenIntervalMs, nullptr);
        else
            KillTimer(m_mailbox, TIMER_REOPEN);
        return 0;
    case WM_TIMER:
        if (wParam == TIMER_REOPEN)
            OnReopenTimer();
        return 0;
    case WM_SESSION_FILE_SEND:
        m_fileNoticePending = false;
        Tell(SessionEvent::FileSend);
        return 0;
    case WM_SESSION_ACTIVITY:
        m_activityPending = false;
        // Seen meanwhile (the session came to the front): nothing to mark.
        if (m_unseen)
            Tell(SessionEvent::Activity);
        return 0;
    case WM_SESSION_HIDDEN_LINE:
        m_hiddenNoticePending = false;
        Tell(SessionEvent::HiddenLine);
        return 0;
    case WM_SESSION_LOG_FAILED:
        OnLogFailed(uint32_t(wParam));
        return 0;
    case WM_SESSION_NOTICE:
        m_host.OnSessionNotice(m_id, uint32_t(wParam));
        return 0;
    default:
        return DefWindowProcW(m_mailbox, message, wParam, lParam);
    }
}

// The Options text is the last thing every open does, whether it succeeded or not.
void C_PortSession::OnText(WPARAM kind, const wchar_t* text) {
    if (kind == TEXT_OPTIONS && m_opensUnderWay > 0)
        --m_opensUnderWay;
    C_String& kept = kind == TEXT_TITLE ? m_titleSuffix : m_optionsText;
    kept.Assign(text ? text : L"");
    Tell(kind == TEXT_TITLE ? SessionEvent::State : SessionEvent::OptionsText);
}

// An open refused with access denied is tried again, as the connection asked; OpenTarget stops the timer.
void C_PortSession::OnReopenTimer() {
    if (m_wanted && !m_target.IsEmpty())
        OpenTarget();
    else
        KillTimer(m_mailbox, TIMER_REOPEN);
}

// A failure of a log the user has stopped (or replaced) since is old news.
void C_PortSession::OnLogFailed(uint32_t logNumber) {
    if (!m_logging || logNumber != m_log.Session())
        return;
    StopLog();
    Tell(SessionEvent::LogFailed);
}

void C_PortSession::Tell(SessionEvent event) {
    m_host.OnSessionEvent(m_id, event);
}
