#include "ConnectionSession.h"

#include "Console.h"
#include "connection/discovery/TargetKind.h"
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
    m_settingsOpen = OpenProgramSettings(m_settings) != 0;
    if (m_settingsOpen)
        m_window.SetTagStore(&m_settings);
    m_started = m_connection.Start(m_window, m_window);
    return m_started;
}

C_ConnectionSession::OpenOutcome C_ConnectionSession::OpenAsAtStart(const wchar_t* target, DWORD limitMs) {
    m_window.SetCommandLinePort(target);
    m_window.SelectPort(target);
    m_isConnection = TargetKindOf(target) == TargetKind::Tcp;
    m_outcome = OpenOutcome::Pending;
    m_connection.RefreshPorts(PORTS_CHANGED_REOPEN);
    if (!PumpUntil([this] { return m_outcome != OpenOutcome::Pending; }, limitMs))
        return OpenOutcome::Failed;
    if (m_outcome != OpenOutcome::Opened || !m_isConnection)
        return m_outcome;
    // The open only started the connection; whether the peer took it shows as its socket, or as a close.
    if (!PumpUntil([this] { return m_connection.IsOpen() || m_closedSinceOpen; }, kOpenOutcomeLimitMs) ||
        !m_connection.IsOpen())
        return OpenOutcome::NotConnected;
    return OpenOutcome::Opened;
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
    PumpUntil([this] { return m_isConnection && !m_connection.IsOpen(); }, milliseconds);
}

bool C_ConnectionSession::ServeUntilSignalled(HANDLE event, DWORD limitMs) {
    if (!event) {
        RunFor(limitMs);
        return false;
    }
    return PumpUntil([] { return false; }, limitMs, event);
}

// Nothing tells the window when a condition of another thread comes true, so it is looked at again every so often.
void C_ConnectionSession::RunFor(DWORD milliseconds, const std::function<bool()>& done) {
    constexpr DWORD kLookAgainMs = 50;
    const auto over = [&] { return done() || (m_isConnection && !m_connection.IsOpen()); };
    const DWORD start = GetTickCount();
    for (DWORD elapsed = 0; !over() && elapsed < milliseconds; elapsed = GetTickCount() - start)
        PumpUntil(over, kLookAgainMs < milliseconds - elapsed ? kLookAgainMs : milliseconds - elapsed);
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

template <class Condition> bool C_ConnectionSession::PumpUntil(Condition done, DWORD limitMs, HANDLE event) {
    const DWORD start = GetTickCount();
    for (;;) {
        DispatchQueued();
        if (done())
            return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= limitMs)
            return false;
        // Everything the session waits for arrives as a message to this thread, or as the event. The wait itself
        // takes the signal of an auto-reset event, so its answer is the only word of it.
        const DWORD events = event ? 1 : 0;
        if (MsgWaitForMultipleObjects(events, &event, FALSE, limitMs - elapsed, QS_ALLINPUT) == WAIT_OBJECT_0 && events)
            return true;
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
        m_closedSinceOpen = false;
    } else if (text == C_StandInWindow::EnglishText(STATUS_OPENED)) {
        m_openSucceeded = true;
    } else if (text == C_StandInWindow::EnglishText(STATUS_CLOSED)) {
        m_closedSinceOpen = m_openSucceeded;
    } else if (text == C_StandInWindow::EnglishText(kRefusalTitleId)) {
        ++m_refusals;
        m_lastRefusal = name ? name : L"";
    }
    m_lastStatus = name ? text + L": " + name : text;
    if (!m_quiet)
        Console::Error(m_lastStatus);
}

void C_ConnectionSession::C_Feed::ProcessReceivedData(const uint8_t* data, uint32_t length) {
    first.ProcessReceivedData(data, length);
    if (second)
        second->ProcessReceivedData(data, length);
}

void C_ConnectionSession::C_Feed::FlushIfIdle() {
    first.FlushIfIdle();
    if (second)
        second->FlushIfIdle();
}

bool C_ConnectionSession::C_Feed::HasPendingLine() {
    return first.HasPendingLine() || (second && second->HasPendingLine());
}

void C_ConnectionSession::C_Feed::ResetFlushTime() {
    first.ResetFlushTime();
    if (second)
        second->ResetFlushTime();
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
