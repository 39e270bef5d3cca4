#pragma once
// C_Thread: one operating-system thread at a time, with a cooperative stop flag and a wait that keeps the
// waiting thread's windows responsive. Background threads report to the main window with synchronous window
// messages, so whoever waits for one of them must go on dispatching its own messages while it waits, or the
// two threads dead-lock.
#include "connection/threads/Event.h"

#include <windows.h>

#include <atomic>

// What a thread runs; its result becomes the thread's exit code.
using ThreadFunction = DWORD (*)(void* context, DWORD argument);

// What a wait does with a quit message that arrives while it waits.
enum class QuitMessage {
    EndsWait, // the wait ends at once with false; the quit stays queued for the outer message loop
    // The quit is set aside and posted again when the wait ends, so the wait goes on: for waits after which the
    // waiter frees what the awaited thread uses.
    Deferred,
};

class C_Thread {
public:
    static constexpr DWORD kNoLimit = INFINITE; // 0 is accepted as "no limit" too
    // A thread still running when its owner is destroyed is asked to stop and given this long to end on its own.
    static constexpr DWORD kStopAtDestructionMs = 5000;

    C_Thread() = default;
    // Asks a thread that still runs to stop and waits for it (dispatching messages); only one that ignores the
    // request past kStopAtDestructionMs is terminated, with a trace line.
    ~C_Thread();
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
    // when not running, and on time-out; a quit message ends the wait with false or is deferred, as asked.
    bool WaitFinished(DWORD milliseconds = kNoLimit, QuitMessage quit = QuitMessage::EndsWait);
    // Last resort: ends a running thread forcibly (whatever lock or heap it holds stays held) and releases the
    // event.
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
    C_Handle m_finished; // manual-reset; signalled when the function has returned
    // Owned by whichever side takes it (exchanges it for null): the routine at its end, or Terminate.
    std::atomic<HANDLE> m_thread{nullptr};
    DWORD m_threadId = 0;
};
