#include "connection/Thread.h"

#include "connection/GuardedDispatch.h"

namespace {

// Signed difference, so the comparison survives the tick count wrapping after 49.7 days.
bool TickReached(DWORD tick, DWORD since) { return static_cast<LONG>(tick - since) >= 0; }

enum class DispatchResult { Done, Quit };

// Dispatches what is queued for the calling thread. Stops at a message that was posted after this round began,
// so a sender faster than our handling cannot keep us from waiting. A quit message is put back for the outer
// message loop, which owns it.
DispatchResult DispatchQueuedMessages() {
    const DWORD roundStart = GetTickCount();
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return DispatchResult::Quit;
        }
        DispatchGuarded(message);
        if (TickReached(message.time, roundStart))
            break;
    }
    return DispatchResult::Done;
}

} // namespace

bool C_Thread::Start(ThreadFunction function, void* context, DWORD argument) {
    if (m_running || !function)
        return false;
    // A finished routine clears the running flag just before it signals its event; wait out those last steps
    // so the old routine can never signal the new run's event.
    ReleaseFinishedEvent();
    m_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!m_finished)
        return false;
    m_function = function;
    m_context = context;
    m_argument = argument;
    m_stopRequested = false;
    m_exitCode = 0;
    m_running = true;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, &C_Thread::Routine, this, CREATE_SUSPENDED, &id);
    if (!thread) {
        m_running = false;
        CloseHandle(m_finished);
        m_finished = nullptr;
        return false;
    }
    // Created suspended so the handle is stored before the routine can look for it.
    m_threadId = id;
    m_thread = thread;
    ResumeThread(thread);
    return true;
}

DWORD WINAPI C_Thread::Routine(void* self) {
    C_Thread& thread = *static_cast<C_Thread*>(self);
    const DWORD result = thread.m_function(thread.m_context, thread.m_argument);
    // The exit code is stored before running is cleared, so IsFinished never reports a stale one. After running
    // is cleared the owner may start again or be destroyed: only locals are used from then on.
    thread.m_exitCode = result;
    HANDLE own = thread.m_thread.exchange(nullptr);
    HANDLE finished = thread.m_finished;
    thread.m_running = false;
    SetEvent(finished);
    if (own)
        CloseHandle(own);
    return result;
}

bool C_Thread::RequestStop() {
    if (!m_running)
        return false;
    m_stopRequested = true;
    return true;
}

bool C_Thread::IsFinished(DWORD* exitCode) const {
    if (m_running)
        return false;
    if (exitCode)
        *exitCode = m_exitCode;
    return true;
}

bool C_Thread::WaitFinished(DWORD milliseconds) {
    if (!m_running)
        return false;
    const bool limited = milliseconds != 0 && milliseconds != INFINITE;
    const DWORD deadline = GetTickCount() + milliseconds;
    for (;;) {
        DWORD remaining = INFINITE;
        if (limited) {
            const DWORD now = GetTickCount();
            if (TickReached(now, deadline))
                return false;
            remaining = deadline - now;
        }
        if (DispatchQueuedMessages() == DispatchResult::Quit)
            return false;
        if (WaitForSingleObject(m_finished, 0) == WAIT_OBJECT_0)
            return true;
        const DWORD result = MsgWaitForMultipleObjectsEx(1, &m_finished, remaining, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED_0)
            return true;
        if (result != WAIT_OBJECT_0 + 1)
            return false;
    }
}

void C_Thread::Terminate() {
    if (m_running) {
        HANDLE thread = m_thread.exchange(nullptr);
        if (thread) {
            m_running = false;
            TerminateThread(thread, 0);
            // Termination is asynchronous; the object must not go away under a thread that still runs.
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
            CloseHandle(m_finished);
            m_finished = nullptr;
            return;
        }
        // The routine already took its handle: it is in its last steps and signals the event next.
    }
    ReleaseFinishedEvent();
}

void C_Thread::ReleaseFinishedEvent() {
    if (!m_finished)
        return;
    WaitForSingleObject(m_finished, INFINITE);
    CloseHandle(m_finished);
    m_finished = nullptr;
}
