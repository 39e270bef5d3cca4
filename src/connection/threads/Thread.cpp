#include "connection/threads/Thread.h"

#include "connection/threads/GuardedDispatch.h"
#include "foundation/base/Trace.h"

namespace {

// Signed difference, so the comparison survives the tick count wrapping after 49.7 days.
bool TickReached(DWORD tick, DWORD since) {
    return static_cast<LONG>(tick - since) >= 0;
}

// A quit message taken off the queue during a wait. It belongs to the outer message loop, so whoever takes it
// posts it again, once.
class C_HeldQuit {
public:
    C_HeldQuit() = default;
    ~C_HeldQuit() { Release(); }
    C_HeldQuit(const C_HeldQuit&) = delete;
    C_HeldQuit& operator=(const C_HeldQuit&) = delete;

    void Hold(WPARAM exitCode) {
        m_held = true;
        m_exitCode = static_cast<int>(exitCode);
    }
    bool IsHeld() const { return m_held; }
    void Release() {
        if (m_held)
            PostQuitMessage(m_exitCode);
        m_held = false;
    }

private:
    bool m_held = false;
    int m_exitCode = 0;
};

// Dispatches what is queued for the calling thread. Stops at a message that was posted after this round began,
// so a sender faster than our handling cannot keep us from waiting, and at a quit message, which it holds.
void DispatchQueuedMessages(C_HeldQuit& quit) {
    const DWORD roundStart = GetTickCount();
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit.Hold(message.wParam);
            return;
        }
        DispatchGuarded(message);
        if (TickReached(message.time, roundStart))
            return;
    }
}

} // namespace

bool C_Thread::Start(ThreadFunction function, void* context, DWORD argument) {
    if (m_running || !function)
        return false;
    // A finished routine clears the running flag just before it signals its event; wait out those last steps
    // so the old routine can never signal the new run's event.
    ReleaseFinishedEvent();
    m_finished = CreateManualResetEvent();
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
        m_finished.Reset();
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
    const C_Handle own(thread.m_thread.exchange(nullptr));
    HANDLE finished = thread.m_finished.Get(); // the owner closes it only after it has been signalled
    thread.m_running = false;
    SetEvent(finished);
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

C_Thread::~C_Thread() {
    if (m_running) {
        // An owner that forgot to stop its thread. Killing the thread could leave a lock or the heap taken for
        // the rest of the process, so it is asked first.
        RequestStop();
        WaitFinished(kStopAtDestructionMs, QuitMessage::Deferred);
        if (m_running)
            Trace("C_Thread: thread %lu ignored its stop request for %lu ms and is terminated",
                  static_cast<unsigned long>(m_threadId), static_cast<unsigned long>(kStopAtDestructionMs));
    }
    Terminate();
}

bool C_Thread::WaitFinished(DWORD milliseconds, QuitMessage quitHandling) {
    if (!m_running)
        return false;
    const bool limited = milliseconds != 0 && milliseconds != INFINITE;
    const DWORD deadline = GetTickCount() + milliseconds;
    // Posted again when the wait ends, whichever way.
    C_HeldQuit quit;
    for (;;) {
        DWORD remaining = INFINITE;
        if (limited) {
            const DWORD now = GetTickCount();
            if (TickReached(now, deadline))
                return false;
            remaining = deadline - now;
        }
        DispatchQueuedMessages(quit);
        if (quit.IsHeld() && quitHandling == QuitMessage::EndsWait)
            return false;
        if (WaitForSingleObject(m_finished.Get(), 0) == WAIT_OBJECT_0)
            return true;
        HANDLE finished = m_finished.Get();
        const DWORD result = MsgWaitForMultipleObjectsEx(1, &finished, remaining, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED_0)
            return true;
        if (result != WAIT_OBJECT_0 + 1)
            return false;
    }
}

void C_Thread::Terminate() {
    if (m_running) {
        const C_Handle thread(m_thread.exchange(nullptr));
        if (thread) {
            m_running = false;
            TerminateThread(thread.Get(), 0);
            // Termination is asynchronous; the object must not go away under a thread that still runs.
            WaitForSingleObject(thread.Get(), INFINITE);
            m_finished.Reset();
            return;
        }
        // The routine already took its handle: it is in its last steps and signals the event next.
    }
    ReleaseFinishedEvent();
}

void C_Thread::ReleaseFinishedEvent() {
    if (!m_finished)
        return;
    WaitForSingleObject(m_finished.Get(), INFINITE);
    m_finished.Reset();
}
