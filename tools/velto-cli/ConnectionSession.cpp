#include "ConnectionSession.h"

#include "Console.h"
#include "foundation/settings/Options.h"

#include <string>

C_ConnectionSession::C_ConnectionSession() : m_window(*this), m_connection(m_tap) {
    m_window.Attach(&m_connection);
}

C_ConnectionSession::~C_ConnectionSession() {
    Close();
}

bool C_ConnectionSession::Start() {
    if (!m_window.IsValid())
        return false;
    // Tags are only read: nothing is written to the program's settings.
    if (OpenProgramSettings(m_settings))
        m_window.SetTagStore(&m_settings);
    m_started = m_connection.Start(m_window, m_window);
    return m_started;
}

C_ConnectionSession::OpenOutcome C_ConnectionSession::OpenAsAtStart(const wchar_t* target) {
    m_window.SetCommandLinePort(target);
    m_window.SelectPort(target);
    m_outcome = OpenOutcome::Pending;
    m_connection.RefreshPorts(PORTS_CHANGED_REOPEN);
    if (!PumpUntil([this] { return m_outcome != OpenOutcome::Pending; }, kOpenOutcomeLimitMs))
        return OpenOutcome::Failed;
    return m_outcome;
}

bool C_ConnectionSession::RefreshAndProbe() {
    const uint32_t before = m_redraws;
    m_connection.RefreshPorts(PORTS_CHANGED_REDRAW);
    return PumpUntil([&] { return m_redraws >= before + 2; }, kPortListLimitMs);
}

bool C_ConnectionSession::FinishCommands(DWORD limitMs) {
    // Nothing tells the window when a command has ended, so the queue is looked at again every so often.
    constexpr DWORD kLookAgainMs = 10;
    const DWORD start = GetTickCount();
    while (!m_connection.CommandsDone()) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= limitMs)
            return false;
        PumpUntil([] { return false; }, kLookAgainMs < limitMs - elapsed ? kLookAgainMs : limitMs - elapsed);
    }
    return true;
}

void C_ConnectionSession::RunFor(DWORD milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

// Nothing tells the window when a condition of another thread comes true, so it is looked at again every so often.
void C_ConnectionSession::RunFor(DWORD milliseconds, const std::function<bool()>& done) {
    constexpr DWORD kLookAgainMs = 50;
    const DWORD start = GetTickCount();
    for (DWORD elapsed = 0; !done() && elapsed < milliseconds; elapsed = GetTickCount() - start)
        PumpUntil(done, kLookAgainMs < milliseconds - elapsed ? kLookAgainMs : milliseconds - elapsed);
}

void C_ConnectionSession::Close() {
    if (!m_started)
        return;
    m_started = false;
    m_window.SelectPort(nullptr);
    m_window.SetReopenTimer(false);
    m_connection.CloseTarget();
    m_connection.Stop();
}

template <class Condition> bool C_ConnectionSession::PumpUntil(Condition done, DWORD limitMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        DispatchQueued();
        if (done())
            return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= limitMs)
            return false;
        // Everything the session waits for arrives as a message to this thread.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, limitMs - elapsed, QS_ALLINPUT);
    }
}

void C_ConnectionSession::DispatchQueued() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void C_ConnectionSession::OnStatus(const wchar_t* title, const wchar_t* name) {
    const std::wstring text = title ? title : L"";
    if (text == C_StandInWindow::EnglishText(STATUS_SEARCHING)) {
        m_openSucceeded = false;
        m_retryStarted = false;
    } else if (text == C_StandInWindow::EnglishText(STATUS_OPENED)) {
        m_openSucceeded = true;
    }
    if (!m_quiet)
        Console::Error(name ? text + L": " + name : text);
}

void C_ConnectionSession::OnPortsChanged(WPARAM number) {
    if (number == PORTS_CHANGED_REDRAW)
        ++m_redraws;
}

// The Options text is the last thing every open does, successful or not.
void C_ConnectionSession::OnOptionsText(const wchar_t*) {
    if (m_outcome != OpenOutcome::Pending)
        return;
    if (m_openSucceeded)
        m_outcome = OpenOutcome::Opened;
    else if (!m_retryStarted)
        m_outcome = OpenOutcome::Failed;
}

void C_ConnectionSession::OnReopenTimer(bool running) {
    if (running)
        m_retryStarted = true;
}
