#pragma once
// Helpers shared by the thread tests: a message-only window owned by the test thread, and events with waits
// generous enough for a loaded machine.
#include "connection/threads/Event.h"
#include "connection/threads/Thread.h"

#include <windows.h>

#include <functional>

constexpr DWORD kGenerousWait = 30000;

// A message-only window whose procedure is a test-supplied function; messages it does not handle go to the
// default procedure.
class MessageWindow {
public:
    using Handler = std::function<bool(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)>;

    explicit MessageWindow(Handler handler);
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND Get() const { return m_window; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Handler m_handler;
    HWND m_window = nullptr;
};

inline bool IsSignalled(HANDLE event) {
    return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}
inline bool WaitSignalled(HANDLE event, DWORD milliseconds = kGenerousWait) {
    return WaitForSingleObject(event, milliseconds) == WAIT_OBJECT_0;
}

// WaitFinished answers false at once for a thread that is no longer running, which is a race in a test that
// releases a thread and then waits for it: finished either way is what counts.
inline bool WaitUntilFinished(C_Thread& thread, DWORD milliseconds = kGenerousWait) {
    return thread.WaitFinished(milliseconds) || thread.IsFinished();
}
