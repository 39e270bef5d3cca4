#pragma once
// C_Thread: one operating-system thread at a time, with a cooperative stop flag and a wait that keeps the
// waiting thread's windows responsive. Background threads report to the main window with synchronous window
// messages, so whoever waits for one of them must go on dispatching its own messages while it waits, or the
// two threads dead-lock.
#include "connection/Event.h"

#include <windows.h>

#include <atomic>

// What a thread runs; its result becomes the thread's exit code.
using ThreadFunction = DWORD (*)(void* context, DWORD argument);

class C_Thread {
public:
    static constexpr DWORD kNoLimit = INFINITE; // 0 is accepted as "no limit" too

    C_Thread() = default;
    ~C_Thread() { Terminate(); }
    C_Thread(const C_Thread&) = delete;
    C_Thread& operator=(const C_Thread&) = delete;

    // False when already running (nothing changes) or when the thread or its event cannot be created.
    bool Start(ThreadFunction function, void* context, DWORD argument = 0);
    // Sets the flag the function is expected to test; false when not running.
    bool RequestStop();
    bool StopRequested() const { return m_running && m_stopRequested; }
    bool IsRunning() const { return m_running; }
    // True (with the function's result) once the function has returned; false while it runs.
    bool IsFinished(DWORD* exitCode = nullptr) const;
    // Waits for the function to return while dispatching the calling thread's window messages. False at once
    // when not running, on time-out, and when a quit message arrives (which is posted again for the outer loop).
    bool WaitFinished(DWORD milliseconds = kNoLimit);
    // Last resort: ends a running thread forcibly (whatever it holds stays held) and releases the event.
    void Terminate();

    DWORD GetThreadId() const { return m_threadId; }

private:
    static DWORD WINAPI Routine(void* self);
    void ReleaseFinishedEvent();

    ThreadFunction m_function = nullptr;
    void* m_context = nullptr;
    DWORD m_argument = 0;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<DWORD> m_exitCode{0};
    HANDLE m_finished = nullptr;           // manual-reset; signalled when the function has returned
    std::atomic<HANDLE> m_thread{nullptr}; // taken (exchanged for null) by whichever side closes it
    DWORD m_threadId = 0;
};
